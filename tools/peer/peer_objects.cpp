#include "peer_objects.h"

#include <cstdio>

#include "peer_wire.h"

namespace velkpeer {

namespace {

float F32(const std::vector<uint8_t>& b, size_t at)
{
    uint32_t bits = U32(b, at);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

uint8_t U8(const std::vector<uint8_t>& b, size_t at) { return at < b.size() ? b[at] : 0; }

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return (uint16_t)(U8(b, at) | (U8(b, at + 1) << 8)); }

// The text that follows the fixed part: a u32 length, then the bytes.
std::string TailText(const std::vector<uint8_t>& b, size_t fixed)
{
    uint32_t n = U32(b, fixed);
    if (fixed + 4 > b.size() || n > b.size() - fixed - 4) return std::string();
    return std::string((const char*)b.data() + fixed + 4, n);
}

void DecodePoints(const std::vector<uint8_t>& b, DecodedObject& o)
{
    uint32_t count = U32(b, 120);
    uint64_t at = (204 + (uint64_t)U32(b, 200) + 7) / 8 * 8;
    for (uint32_t i = 0; i < count && at + 48 <= b.size(); ++i, at += 48)
        o.points.push_back({F64(b, at + 8), F64(b, at), I32(b, at + 20), F64(b, at + 24)});
}

}  // namespace

DecodedObject DecodeObject(const StoredObject& s)
{
    DecodedObject o;
    o.id = s.id;
    o.kind = s.kind;
    o.parent = s.parent;
    o.handle = s.handle;
    o.name = s.name;
    const std::vector<uint8_t>& b = s.body;
    switch (s.kind) {
    case 30:
        o.childCount = U32(b, 100);
        o.sentFlag = U8(b, 115);
        break;
    case 7:
        o.remark = TailText(b, 416);
        o.y = F64(b, 112);
        o.x = F64(b, 120);
        o.coordMode = U8(b, 128);
        o.elevation = I32(b, 132);
        o.iconNumber = U32(b, 144);
        o.colour = U32(b, 148);
        o.signType = U8(b, 153);
        o.textOnly = U8(b, 260);
        o.transparency = U8(b, 262);
        o.level = U8(b, 265);
        o.fontSize = U32(b, 268);
        o.textColour = U32(b, 272);
        o.rotation = F32(b, 280);
        o.multiLine = U8(b, 376);
        break;
    case 8:
        o.remark = TailText(b, 200);
        o.coordMode = U8(b, 124);
        o.colour = U32(b, 144);
        o.width = U32(b, 148);
        o.opacity = U8(b, 152);
        o.shapeType = U8(b, 153);
        o.lineStyle = U8(b, 154);
        DecodePoints(b, o);
        break;
    case 13:
        o.remark = TailText(b, 200);
        o.coordMode = U8(b, 124);
        o.outline = U8(b, 145);
        o.opacity = U8(b, 146);
        o.outerRingCount = U16(b, 150);
        o.colour = U32(b, 152);
        o.fillColour = U32(b, 156);
        o.fillType = U32(b, 160);
        o.fillKind = U32(b, 164);
        o.patternId = U32(b, 168);
        o.secondColour = U32(b, 172);
        o.fillAngle = F32(b, 176);
        o.fillScale = F32(b, 180);
        o.originX = F64(b, 184);
        o.originY = F64(b, 192);
        DecodePoints(b, o);
        break;
    default: break;
    }
    return o;
}

std::vector<DecodedObject> DecodeAll(const PeerObjectStore& store)
{
    std::vector<DecodedObject> out;
    for (const auto& [id, o] : store.Objects()) out.push_back(DecodeObject(o));
    return out;
}

std::string DescribeFolder(const DecodedObject& folder, const std::vector<DecodedObject>& all)
{
    size_t folders = 0, objects = 0;
    for (const DecodedObject& o : all) {
        if (o.parent != folder.id || o.id == folder.id) continue;
        (o.kind == 30 ? folders : objects) += 1;
    }
    std::string line = DescribeObject(folder) + ": " + std::to_string(objects) + (objects == 1 ? " object" : " objects");
    if (folders) line += ", " + std::to_string(folders) + (folders == 1 ? " folder" : " folders");
    return line;
}

std::string OneLine(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') out += " | ";
        else out += text[i];
    }
    return out;
}

std::string DescribeObject(const DecodedObject& object)
{
    DecodedObject o = object;
    o.name = OneLine(o.name);
    char line[512];
    switch (o.kind) {
    case 30:
        // The count its record carries is the sender's; the store knows
        // what the folder holds (DescribeFolder).
        snprintf(line, sizeof line, "folder %u \"%s\" in %u", o.id, o.name.c_str(), o.parent);
        break;
    case 7:
        snprintf(line, sizeof line, "sign %u \"%s\" in %u at (%.3f, %.3f), type %u, icon %u, colour %06X, level %u, "
                 "font %u, rotation %.2f%s",
                 o.id, o.name.c_str(), o.parent, o.x, o.y, o.signType, o.iconNumber, o.colour, o.level, o.fontSize,
                 o.rotation, o.multiLine ? ", multi-line" : "");
        break;
    case 8:
        snprintf(line, sizeof line, "track %u \"%s\" in %u, sub-type %u, %zu points, colour %06X, width %u, "
                 "line style %u",
                 o.id, o.name.c_str(), o.parent, o.shapeType, o.points.size(), o.colour, o.width, o.lineStyle);
        break;
    case 13:
        snprintf(line, sizeof line, "shape %u \"%s\" in %u, %zu points, %u outer ring%s, outline %06X, fill %06X "
                 "(type %u)",
                 o.id, o.name.c_str(), o.parent, o.points.size(), o.outerRingCount, o.outerRingCount == 1 ? "" : "s",
                 o.colour, o.fillColour, o.fillType);
        break;
    default: snprintf(line, sizeof line, "object %u of kind %u \"%s\" in %u", o.id, o.kind, o.name.c_str(), o.parent);
    }
    return line;
}

}  // namespace velkpeer
