// "> peer ..." lines of host scripts: what happens in the stand-in peer: its
// user makes objects and sends them, accepts relate points, clicks its
// map, moves its view; and how the peer is set up (its tiles, its
// elevation, its answers).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host_script.h"
#include "host_session.h"
#include "peer_encode.h"
#include "peer_objects.h"
#include "window_control.h"

namespace velkhost {

namespace {

bool Real(const std::string& text, double& v)
{
    char* end = nullptr;
    v = strtod(text.c_str(), &end);
    return !text.empty() && end && *end == 0 && std::isfinite(v);
}

bool Whole(const std::string& text, long& v)
{
    char* end = nullptr;
    v = strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == 0;
}

bool Hex(const std::string& text, uint32_t& v)
{
    char* end = nullptr;
    v = (uint32_t)strtoul(text.c_str(), &end, 16);
    return !text.empty() && text.size() <= 8 && end && *end == 0;
}

// The newest object of that name (folders when asked), or "#ID".
uint32_t FindObject(const velkpeer::StandinPeer& peer, const std::string& name, bool folderOnly)
{
    long id = 0;
    if (name.size() > 1 && name[0] == '#' && Whole(name.substr(1), id))
        return peer.Objects().count((uint32_t)id) ? (uint32_t)id : 0;
    uint32_t found = 0;
    for (const auto& [oid, o] : peer.Objects())
        if (o.name == name && (!folderOnly || o.kind == 30)) found = oid;
    return found;
}

// The points of a track, shape or multi-part object: X,Y or X,Y,Z (Z the
// elevation), each with /BULGE after it where it has one; "/" alone opens
// the next ring or piece.
bool ReadPoints(const std::vector<std::string>& words, size_t& i, std::vector<velkpeer::PeerPoint>& points,
                size_t& rings)
{
    bool breakNext = false;
    rings = 1;
    for (; i < words.size(); ++i) {
        if (words[i] == "/") {
            if (breakNext || points.empty()) return false;  // a ring without points
            breakNext = true;
            ++rings;
            continue;
        }
        const size_t slash = words[i].find('/');
        OdGePoint3d p;
        if (!ParsePoint(words[i].substr(0, slash), p) || !(std::fabs(p.z) < 2e9)) break;
        velkpeer::PeerPoint point;
        point.x = p.x;
        point.y = p.y;
        point.elevation = (int32_t)std::lround(p.z);
        if (slash != std::string::npos && !Real(words[i].substr(slash + 1), point.angle)) return false;
        if (breakNext) point.elevation = velkpeer::kBreakMark;
        breakNext = false;
        points.push_back(point);
    }
    return !points.empty() && !breakNext;
}

}  // namespace

void ScriptRunner::Peer(const std::vector<std::string>& words, int n)
{
    velkpeer::StandinPeer* peer = session_.peer.get();
    if (!peer) return Fail(n, "the peer is not running");
    Transcript& log = session_.log;
    const std::string what = words.size() > 1 ? words[1] : std::string();
    velkpeer::PeerObjectStore& store = peer->ObjectStore();
    // These reach the plug-in through the window it registered.
    const bool messages = what == "send" || what == "relate-ok" || what == "place" || what == "zoom" ||
                          what == "notice";
    if (messages && !peer->ClientWindow())
        return Fail(n, "the peer knows no plug-in window yet (the module registers with its first request; "
                       "\"> wait 5 s\" lets its timer make one)");

    if (what == "folder" || what == "sign" || what == "track" || what == "shape" || what == "multipart") {
        if (words.size() < 3) return Fail(n, "> peer " + what + " takes a name");
        const std::string name = words[2];
        size_t i = 3;
        OdGePoint3d at;
        std::vector<velkpeer::PeerPoint> points;
        size_t rings = 0;
        if (what == "sign") {
            if (i + 1 >= words.size() || words[i] != "at" || !ParsePoint(words[i + 1], at))
                return Fail(n, "> peer sign takes NAME at X,Y");
            i += 2;
        } else if (what != "folder") {
            if (!ReadPoints(words, i, points, rings))
                return Fail(n, "> peer " + what + " takes its points X,Y[,Z] or X,Y[,Z]/BULGE, \"/\" between " +
                                   (what == "shape" ? "rings" : "pieces"));
        }
        uint32_t parent = 0;
        if (i + 1 < words.size() && words[i] == "in") {
            parent = FindObject(*peer, words[i + 1], true);
            if (!parent) return Fail(n, "the peer has no folder " + words[i + 1]);
            i += 2;
        }
        velkpeer::PeerSign sign;
        velkpeer::PeerTrack track;
        velkpeer::PeerShape shape;
        velkpeer::PeerMultiPart multi;
        sign.name = track.name = shape.name = multi.name = name;
        sign.x = at.x, sign.y = at.y;
        track.points = shape.points = points;
        for (const velkpeer::PeerPoint& p : points) {
            if (multi.parts.empty() || p.elevation == velkpeer::kBreakMark) multi.parts.emplace_back();
            multi.parts.back().emplace_back(p.x, p.y);
        }
        shape.outerRingCount = (uint16_t)(rings > 0 ? 1 : 0);
        for (; i < words.size(); ++i) {
            const size_t eq = words[i].find('=');
            if (eq == std::string::npos || what == "folder")
                return Fail(n, "\"" + words[i] + "\" is no KEY=VALUE of a " + what);
            const std::string key = words[i].substr(0, eq), value = words[i].substr(eq + 1);
            long v = 0;
            double r = 0;
            uint32_t colour = 0;
            bool ok = true;
            if (key == "remark") sign.remark = track.remark = shape.remark = multi.remark = value;
            else if (key == "colour" && (ok = Hex(value, colour)))
                sign.colour = track.colour = shape.colour = multi.colour = colour;
            else if (what == "sign" && key == "text-colour" && (ok = Hex(value, colour))) sign.textColour = colour;
            else if (what == "sign" && key == "icon" && (ok = Whole(value, v))) sign.iconNumber = (uint32_t)v;
            else if (what == "sign" && key == "type" && (ok = Whole(value, v))) sign.signType = (uint8_t)v;
            else if (what == "sign" && key == "level" && (ok = Whole(value, v))) sign.level = (uint8_t)v;
            else if (what == "sign" && key == "font" && (ok = Whole(value, v))) sign.fontSize = (uint32_t)v;
            else if (what == "sign" && key == "rotation" && (ok = Real(value, r))) sign.rotation = (float)r;
            else if (what == "sign" && key == "multi-line" && (ok = Whole(value, v))) sign.multiLine = (uint8_t)v;
            else if (what == "track" && key == "style" && (ok = Whole(value, v))) track.lineStyle = (uint8_t)v;
            else if (what == "track" && key == "width" && (ok = Whole(value, v))) track.width = (uint32_t)v;
            else if (what == "track" && key == "type" && (ok = Whole(value, v) && v >= 0 && v <= 255))
                track.shapeType = (uint8_t)v;
            else if (key == "opacity" && what != "sign" && (ok = Whole(value, v))) track.opacity = shape.opacity = (uint8_t)v;
            else if (what == "shape" && key == "fill-colour" && (ok = Hex(value, colour))) shape.fillColour = colour;
            else if (what == "shape" && key == "pattern" && (ok = Whole(value, v))) shape.patternId = (uint32_t)v;
            else if (what == "shape" && key == "outline" && (ok = Whole(value, v))) shape.outline = (uint8_t)v;
            else if (what == "shape" && key == "start" && (ok = Real(value, r))) shape.startAngle = r;
            else if (what == "shape" && key == "end" && (ok = Real(value, r))) shape.endAngle = r;
            else if (what == "shape" && key == "fill")
                ok = (value == "solid" && ((shape.fillType = 0), true)) ||
                     (value == "pattern" && ((shape.fillType = 3), true)) ||
                     (value == "gradient" && ((shape.fillType = 1), true));
            else return Fail(n, "\"" + key + "\" is no key of a peer " + what);
            if (!ok) return Fail(n, "\"" + words[i] + "\": the value cannot be read");
        }
        uint32_t id = 0;
        if (what == "folder") id = store.Put(30, parent, velkpeer::EncodeFolder(name));
        else if (what == "sign") id = store.Put(7, parent, velkpeer::EncodeSign(sign));
        else if (what == "track") id = store.Put(8, parent, velkpeer::EncodeTrack(track));
        else if (what == "shape") id = store.Put(13, parent, velkpeer::EncodeShape(shape));
        else id = store.Put(11, parent, velkpeer::EncodeMultiPart(multi));
        const std::vector<velkpeer::DecodedObject> all = velkpeer::DecodeAll(store);
        for (const auto& o : all)
            if (o.id == id)
                log.Detail() << "  the peer made "
                             << (o.kind == 30 ? velkpeer::DescribeFolder(o, all) : velkpeer::DescribeObject(o)) << "\n";
        return;
    }

    if (what == "send") {
        if (words.size() < 3) return Fail(n, "> peer send takes the names of objects or folders");
        std::vector<uint32_t> ids;
        for (size_t i = 2; i < words.size(); ++i) {
            const uint32_t id = FindObject(*peer, words[i], false);
            if (!id) return Fail(n, "the peer has no object " + words[i]);
            ids.push_back(id);
        }
        log.Detail() << "  the peer's user chooses";
        for (uint32_t id : ids) {
            const auto& o = peer->Objects().at(id);
            log.Detail() << " " << (o.kind == 30 ? "the folder " : "") << o.name << " (" << id << ")";
        }
        log.Detail() << " and presses \"发送所选对象到CAD\"\n";
        store.ChooseForCad(ids);
        peer->SendToClient(20402, {});
        standin::PumpMessages();
        return;
    }

    if (what == "relate-ok" && words.size() == 2) {
        peer->SendToClient(20201, std::vector<uint8_t>(4, 0));
        return;
    }

    if (what == "place" && words.size() == 3) {
        OdGePoint3d p;
        if (!ParsePoint(words[2], p)) return Fail(n, "> peer place takes LAT,LNG");
        std::vector<uint8_t> place(24);
        memcpy(place.data(), &p.x, 8);
        memcpy(place.data() + 8, &p.y, 8);
        peer->SendToClient(20001, place);
        return;
    }

    if (what == "notice" && words.size() == 4) {
        long version = 0;
        if (!Whole(words[2], version)) return Fail(n, "> peer notice takes a version number and a text");
        peer->SendToClient(20203, velkpeer::PeerShellCodes::UpdateNotice((int32_t)version, words[3]));
        standin::PumpMessages();
        return;
    }

    if (what == "zoom" && words.size() == 4) {
        OdGePoint3d p;
        long level = 0;
        if (!ParsePoint(words[2], p) || !Whole(words[3], level) || level < 1 || level > 28)
            return Fail(n, "> peer zoom takes X,Y and a level from 1 to 28");
        peer->SendToClient(20012, peer->Tiles().MoveView(peer->Config(), p.x, p.y, (int32_t)level));
        standin::PumpMessages();
        return;
    }

    if (what == "hills" && words.size() == 4) {
        OdGePoint3d a, b;
        if (!ParsePoint(words[2], a) || !ParsePoint(words[3], b)) return Fail(n, "> peer hills takes X0,Y0 X1,Y1");
        peer->ContourCodes().hills = velkpeer::PeerContourCodes::HillsOver(std::min(a.x, b.x), std::min(a.y, b.y),
                                                                           std::max(a.x, b.x), std::max(a.y, b.y));
        log.Detail() << "  the peer's elevation: " << peer->ContourCodes().baseElevation << " m with "
                     << peer->ContourCodes().hills.size() << " hills over " << PointText(a.x, a.y) << " to "
                     << PointText(b.x, b.y) << "\n";
        return;
    }

    if (what == "set" && words.size() > 2) {
        for (size_t i = 2; i < words.size(); ++i) {
            const size_t eq = words[i].find('=');
            const std::string key = words[i].substr(0, eq), value = eq == std::string::npos ? "" : words[i].substr(eq + 1);
            long v = 0;
            const bool whole = Whole(value, v);
            if (key == "resolution") {
                const size_t at = value.find('@');
                double units = 0;
                long level = 0;
                if (at == std::string::npos || !Real(value.substr(0, at), units) || units <= 0 ||
                    !Whole(value.substr(at + 1), level) || level < 1 || level > 28)
                    return Fail(n, "resolution takes UNITS@LEVEL, a pixel's size at that level");
                peer->Config().levelResolutions.clear();
                for (int l = 1; l <= 28; ++l) {
                    const double size = units * std::pow(2.0, (double)(level - l));
                    peer->Config().levelResolutions.emplace_back(size, size);
                }
                continue;
            }
            if (!whole) return Fail(n, "\"" + words[i] + "\": a KEY=NUMBER of the peer");
            if (key == "status") peer->Config().statusWord = (int32_t)v;
            else if (key == "map-level") peer->Config().mapLevel = (int32_t)v;
            else if (key == "tiles-pending-every") peer->Tiles().Config().pendingEvery = (int32_t)v;
            else if (key == "tiles-fail-every") peer->Tiles().Config().failEvery = (int32_t)v;
            else if (key == "contour-data") peer->ContourCodes().dataState = (int32_t)v;
            else if (key == "contour-answers") peer->ContourCodes().answers = (int)v;
            else if (key == "contour-progress") peer->ContourCodes().progressTotal = (uint32_t)v;
            else return Fail(n, "\"" + key + "\" is no setting of the peer");
        }
        return;
    }
    Fail(n, "> peer takes folder, sign, track, shape, multipart, send, relate-ok, place, zoom, notice, hills or set");
}

}  // namespace velkhost
