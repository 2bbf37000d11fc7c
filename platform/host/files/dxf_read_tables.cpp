// Drawing files: the header, the tables and the blocks of a file read.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_loader.h"
#include "dxf_record_codes.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"
#include "windows.h"

namespace standin {
namespace dxf {

void Loader::readHeader()
{
    auto value = [this](const char* var) -> const Group* {
        auto it = headerIndex_.find(var);
        return it != headerIndex_.end() && it->second < g_.size() ? &g_[it->second] : nullptr;
    };
    const Group* ver = value("$ACADVER");
    std::string_view v = ver ? TrimView(ver->text) : std::string_view("AC1009");
    int number = 0;
    if (v.size() == 6 && v.substr(0, 2) == "AC")
        for (char c : v.substr(2)) number = number * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    codec_.utf8 = number >= 1021;
    const Group* cp = value("$DWGCODEPAGE");
    unsigned page = cp ? CodePageOfName(cp->text) : 0;
    if (page && !CodePageReadable(page)) page = 0;
    codec_.codePage = page ? page : GetACP();
    if (!page && !codec_.utf8) {
        // A file that names no code page the reader can read is read in
        // one its texts fit, which is said, not guessed at silently.
        std::string why;
        codec_.codePage = AssumedCodePage(g_, why);
        codec_.assumed = true;
        std::string named = "the file names no code page";
        if (cp) {
            std::string name(TrimView(cp->text).substr(0, 40));
            for (char& c : name)
                if ((unsigned char)c < 0x20) c = '?';
            if (why.empty()) why = "its texts are ASCII, which every code page reads alike";
            named = "the file's code page \"" + name + "\" ($DWGCODEPAGE at line " +
                    std::to_string(lineOf((size_t)(cp - g_.data())) - 1) + ") is not one the reader knows";
        }
        // Nothing needs saying of a file whose texts every page reads alike.
        if (cp || !why.empty())
            codePageAssumed_ = Utf8ToWide(CodePageName(codec_.codePage) + " (" + named + "; " + why + ")");
    }
    // The line type scale is the drawing's; one that is no positive number
    // leaves the default.
    if (const Group* lts = value("$LTSCALE"); lts && lts->kind == Kind::kReal) db_->setLTSCALE(lts->real);
    const Group* seed = value("$HANDSEED");
    if (seed && seed->kind == Kind::kHandle && seed->handle) DxfAccess::raiseHandseed(db_, seed->handle);
}

OdDbObjectId Loader::newTable(OdDbSymbolTable* t, const Rec* head)
{
    if (head) return place(t, view(*head, {TableCodes::kMarker}), OdDbObjectId());
    OdDbObjectId id = DxfAccess::add(db_, t, DxfAccess::nextHandle(db_));
    return id;
}

OdDbObjectId Loader::addRecord(OdDbObjectId table, std::map<std::wstring, OdDbObjectId>& names,
                               OdDbSymbolTableRecord* r, const std::wstring& name, const View* v, bool nameless)
{
    // A table holds one record of a name, and none without a name (but a
    // text style of a shape file, which linetypes name by handle): others
    // are left out, and said.
    if ((name.empty() && !nameless) || (!name.empty() && !record(names, name).isNull())) {
        if (v) leaveOut(v->rec(), name.empty() ? "a table record without a name"
                                               : "a second table record of the name " + WideToUtf8(name));
        delete r;
        return OdDbObjectId();
    }
    if (!name.empty()) r->setName(name);
    OdDbObjectId id = v ? place(r, *v, table) : DxfAccess::add(db_, r, DxfAccess::nextHandle(db_));
    DxfAccess::setOwner(r, table);
    DxfAccess::addRecord(static_cast<OdDbSymbolTable*>(obj(table)), id);
    if (!name.empty()) names[Lower(name)] = id;
    return id;
}

OdDbObjectId Loader::layerNamed(const std::wstring& name)
{
    std::wstring n = name.empty() ? L"0" : name;
    OdDbObjectId id = record(layers_, n);
    if (!id.isNull()) return id;
    // A layer the file uses without defining it is added, as the host does.
    auto* la = new OdDbLayerTableRecord();
    la->setLinetypeObjectId(roots_.ltContinuous);
    return addRecord(roots_.layerTable, layers_, la, n, nullptr);
}

namespace {

const wchar_t* const kSpaceNames[2] = {L"*Model_Space", L"*Paper_Space"};
// What the oldest form names them.
const wchar_t* const kOldSpaceNames[2] = {L"$Model_Space", L"$Paper_Space"};

}  // namespace

void Loader::findSpaces(const std::vector<const Rec*>& blockRecords)
{
    std::map<uint64_t, std::wstring> records;  // handle -> name, lower case
    for (const Rec* r : blockRecords) {
        // (A record without a name is none the drawing can hold.)
        View v = view(*r, SubclassesOfRecord(r->type, 0, false));
        const std::wstring name = v.text(NamedRecordCodes::kName);
        if (v.handle() && !name.empty()) records.emplace(v.handle(), Lower(name));
    }
    auto named = [&](const wchar_t* name) -> uint64_t {
        for (const auto& [h, n] : records)
            if (n == Lower(name)) return h;
        return 0;
    };
    auto isRecord = [&](uint64_t h) { return h && records.count(h); };
    // A record named as one space is no other.
    auto namedOther = [&](uint64_t h, int space) {
        auto it = records.find(h);
        return it != records.end() && (it->second == Lower(kSpaceNames[1 - space]) ||
                                       it->second == Lower(kOldSpaceNames[1 - space]));
    };
    // Model space is what the model layout names (its 330 after its
    // AcDbLayout marker, the layout named Model).
    for (const Rec& r : objects_) {
        if (r.type != "LAYOUT" || spaceHandles_[0]) continue;
        bool layout = false, model = false;
        uint64_t block = 0;
        for (size_t i = r.b; i < r.e; ++i) {
            const Group& x = g_[i];
            if (x.code == 100) layout = TrimView(x.text) == "AcDbLayout";
            else if (layout && x.code == 1 && x.kind == Kind::kText) model = Lower(codec_.decode(x.text)) == L"model";
            else if (layout && x.code == 330 && x.kind == Kind::kHandle && !block) block = x.handle;
        }
        if (model && isRecord(block) && !namedOther(block, 0)) spaceHandles_[0] = block;
    }
    if (!spaceHandles_[0]) spaceHandles_[0] = named(kSpaceNames[0]);
    spaceHandles_[1] = named(kSpaceNames[1]);
    // One record is one space: model space, as the model layout says.
    if (spaceHandles_[1] == spaceHandles_[0]) spaceHandles_[1] = 0;
    if (spaceHandles_[0] && spaceHandles_[1]) return;
    // Else the owner the entities of the ENTITIES section name: paper
    // space where they say they are in it (67 1), model space otherwise.
    for (const Rec& r : entities_) {
        uint64_t owner = 0;
        bool paper = false, app = false, marked = false;
        for (size_t i = r.b; i < r.e; ++i) {
            const Group& x = g_[i];
            if (x.code == 102) app = x.kind == Kind::kText && TrimView(x.text).substr(0, 1) == "{";
            else if (x.code == 100) marked = true;
            else if (x.code == 330 && !app && !marked && !owner && x.kind == Kind::kHandle) owner = x.handle;
            else if (x.code == 67 && x.kind == Kind::kInt) paper = x.integer == 1;
        }
        if (!isRecord(owner) || owner == spaceHandles_[paper ? 0 : 1] || namedOther(owner, paper)) continue;
        if (!spaceHandles_[paper]) spaceHandles_[paper] = owner;
        if (spaceHandles_[0] && spaceHandles_[1]) break;
    }
}

void Loader::nameSpace(const std::wstring& fileName, const wchar_t* name, OdDbObjectId id, const Group* given)
{
    // The other space's name stays that space's.
    const std::wstring file = Lower(fileName);
    bool other = false;
    for (const wchar_t* const* names : {kSpaceNames, kOldSpaceNames})
        for (int space = 0; space < 2; ++space)
            other = other || (file == Lower(names[space]) && Lower(name) != Lower(kSpaceNames[space]));
    if (!other) blockNames_[file] = id;
    blockNames_[Lower(name)] = id;
    if (given && given >= g_.data() && given < g_.data() + g_.size()) dropped_.push_back((size_t)(given - g_.data()));
}

void Loader::readTables()
{
    // The records of each table, taken in the order the tables depend on
    // each other (layers name linetypes).
    static const std::set<std::string_view> kTables = {"LTYPE", "LAYER", "STYLE", "VPORT", "VIEW",
                                                       "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    std::map<std::string_view, const Rec*> heads;
    std::map<std::string_view, std::vector<const Rec*>> records;
    std::vector<const Rec*> outside;
    std::string_view current;
    for (const auto& r : tables_) {
        if (r.type == "TABLE") {
            View v = view(r, {TableCodes::kMarker});
            const Group* name = v.find(TableCodes::kName);
            current = name ? TrimView(name->text) : std::string_view();
            if (!current.empty() && !heads.count(current)) heads[current] = &r;
            else leaveOut(r, current.empty() ? "a table head without a name"
                                             : "a second head of a table (its records are read into the first)");
        } else if (r.type == "ENDTAB") {
            current = std::string_view();
        } else if (!current.empty() && r.type == current) {
            records[current].push_back(&r);
        } else {
            outside.push_back(&r);
        }
    }
    // The records of a table whose head the file lost are read into the
    // table the drawing makes: what names them (a layout its block record)
    // still names a record the save holds.
    for (const Rec* r : outside) {
        if (kTables.count(r->type) && !heads.count(r->type)) records[r->type].push_back(r);
        else leaveOut(*r, "a record outside a table of its kind");
    }
    for (const auto& [name, recs] : records)
        if (!kTables.count(name))
            for (const Rec* r : recs) leaveOut(*r, "a record of a table the drawing does not have");
    auto table = [&](std::string_view name, OdDbSymbolTable* t) {
        auto it = heads.find(name);
        return newTable(t, it == heads.end() ? nullptr : it->second);
    };
    roots_.linetypeTable = table("LTYPE", new OdDbLinetypeTable());
    roots_.layerTable = table("LAYER", new OdDbLayerTable());
    roots_.textStyleTable = table("STYLE", new OdDbTextStyleTable());
    roots_.viewportTable = table("VPORT", new OdDbViewportTable());
    roots_.viewTable = table("VIEW", new OdDbViewTable());
    roots_.ucsTable = table("UCS", new OdDbUCSTable());
    roots_.regAppTable = table("APPID", new OdDbRegAppTable());
    roots_.dimStyleTable = table("DIMSTYLE", new OdDbDimStyleTable());
    roots_.blockTable = table("BLOCK_RECORD", new OdDbBlockTable());
    auto flagsOf = [](OdDbObjectId id, const View& v) {
        if (auto* r = OdRxCast<OdDbSymbolTableRecord>(DxfAccess::object(id)))
            DxfAccess::setFileFlags(r, (int)v.integer(NamedRecordCodes::kFlags, 0));
    };
    auto nameOf = [](const View& v) { return v.text(NamedRecordCodes::kName); };

    std::vector<std::pair<OdDbLinetypeTableRecord*, std::vector<std::pair<int, uint64_t>>>> shapeStyles;
    auto recordView = [this](const Rec* r) { return view(*r, SubclassesOfRecord(r->type, 0, false)); };
    for (const Rec* r : records["LTYPE"]) {
        using C = LinetypeCodes;
        using D = LinetypeDashCodes;
        View v = recordView(r);
        auto* lt = new OdDbLinetypeTableRecord();
        // The record's own values first: what is left goes back kept.
        const std::wstring name = nameOf(v);
        const int64_t fileFlags = v.integer(C::kFlags, 0);
        lt->setComments(v.text(C::kDescription));
        lt->setIsScaledToFit(v.integer(C::kAlignment, 'A') == 'S');
        // Each dash, with what follows it up to the next.
        std::vector<std::pair<int, uint64_t>> styles;
        int dash = -1;
        // A dash: its length, its flags and, when they say it carries a
        // shape or a text, what places it (a text only when it says text).
        // Of each a dash holds one; a value out of its place is kept as
        // read, so that it is out of place again when read back.
        const auto& kDashCodes = D::kOfDash;
        // Only a dash that is written carrying a shape (a number other than
        // 0) or a text (not empty) has a place for them: kept at the end of
        // the record, after the last dash, they are out of place there too.
        // Whether it carries one, and what its flags say, is the dash's
        // whatever the order of its groups: a shape number given before the
        // flags is the dash's as one given after them is, so that it is not
        // kept and then read, after the last dash's flags, as that dash's.
        std::vector<char> carrying;
        std::vector<int64_t> dashFlags;
        {
            bool flags = false, number = false, words = false;
            int64_t shape = 0;
            bool text = false;
            auto close = [&] {
                if (carrying.empty()) return;
                const int64_t bits = dashFlags.back();
                carrying.back() = ((bits & 6) && shape != 0) || ((bits & 2) && text);
            };
            // A value its code cannot hold fills its place as nothing
            // (no flags, no shape, no text): one given after it is out of
            // place, as it is when the save writes them back in order.
            for (size_t i = v.subclassStart(C::kMarker); i < v.end(); ++i) {
                const bool stands = v.unreadableValue(i);
                if (!v.readable(i) && !stands) continue;
                const Group& x = v.at(i);
                if (x.code == D::kLength) {
                    if (stands) continue;
                    close();
                    carrying.push_back(0);
                    dashFlags.push_back(0);
                    flags = number = words = text = false;
                    shape = 0;
                } else if (carrying.empty()) {
                    continue;
                } else if (x.code == D::kFlags && !flags) {
                    flags = true;
                    dashFlags.back() = stands ? 0 : x.integer;
                } else if (x.code == D::kShape && !number) {
                    number = true;
                    shape = stands ? 0 : x.integer;
                } else if (x.code == D::kText && !words) {
                    words = true;
                    text = !stands && !v.decode(x).empty();
                }
            }
            close();
        }
        // A value of the current dash.
        auto dashValue = [&](const Group& x) {
            switch (x.code) {
            case D::kFlags:
                lt->setShapeIsUcsOrientedAt(dash, x.integer & 1);
                lt->setShapeIsUprightAt(dash, x.integer & 8);
                break;
            case D::kShape: lt->setShapeNumberAt(dash, (int)x.integer); break;
            case D::kStyle: styles.emplace_back(dash, x.handle); break;
            case D::kScale: lt->setShapeScaleAt(dash, x.real); break;
            case D::kRotation: lt->setShapeRotationAt(dash, x.real * kDegToRad); break;
            case D::kOffsetX: lt->setShapeOffsetAt(dash, OdGeVector2d(x.real, lt->shapeOffsetAt(dash).y)); break;
            case D::kOffsetY: lt->setShapeOffsetAt(dash, OdGeVector2d(lt->shapeOffsetAt(dash).x, x.real)); break;
            case D::kText: lt->setTextAt(dash, v.decode(x)); break;
            default: break;
            }
        };
        bool seen[std::size(D::kOfDash)] = {};
        // The writer writes what places a shape or a text together, after
        // the flags: one with another group than the dash's before it is
        // out of place (a
        // group kept out of place, written after the last dash, then stays
        // out of place).
        bool together = false;
        // Values their codes cannot hold standing in their places in a dash
        // (the writer writes a value there): not kept.
        std::vector<size_t> standing;
        for (size_t i = v.subclassStart(C::kMarker); i < v.end(); ++i) {
            const bool follows = together;
            together = false;
            const bool stands = v.unreadableValue(i);
            if (!v.readable(i) && !stands) continue;
            const Group& x = v.at(i);
            const int* slot = std::find(std::begin(kDashCodes), std::end(kDashCodes), x.code);
            if (x.code != D::kLength && slot == std::end(kDashCodes)) continue;
            if (x.code == D::kLength) {
                if (stands) continue;
                std::fill(std::begin(seen), std::end(seen), false);
            } else {
                const size_t k = (size_t)(slot - kDashCodes);
                const bool inPlace = dash >= 0 && !seen[k] &&
                                     (x.code == D::kFlags ||
                                      (follows && carrying[(size_t)dash] &&
                                       (dashFlags[(size_t)dash] & (x.code == D::kText ? 2 : 6)) != 0));
                if (!inPlace) {
                    if (!stands) v.refuse(&x);
                    continue;
                }
                seen[k] = true;
                if (stands) {
                    standing.push_back(i);
                    together = true;
                    continue;
                }
            }
            v.take(i);
            together = true;
            if (x.code == D::kLength) {
                lt->setNumDashes(++dash + 1);
                lt->setDashLengthAt(dash, x.real);
                continue;
            }
            dashValue(x);
        }
        // A last dash whose flags say it carries a shape or a text but that
        // gives none is written with its flags alone, and what the record
        // keeps goes back right after them: the next read takes there what
        // fits in the dash, as the writer writes it. It is the dash's now,
        // so that the save reads back as it was read.
        if (dash >= 0 && !carrying[(size_t)dash] && (dashFlags[(size_t)dash] & 6)) {
            const int64_t bits = dashFlags[(size_t)dash];
            // What goes back after the dash: what the record keeps, and a
            // value its code cannot hold where the writer writes none.
            auto goesBack = [&](size_t i) {
                return !v.taken(i) &&
                       (v.kept(i) ||
                        (v.unreadableValue(i) && !std::binary_search(standing.begin(), standing.end(), i)));
            };
            bool number = false, words = false, carries = false;
            for (size_t i = v.subclassStart(C::kMarker); i < v.end() && !carries; ++i) {
                if (!goesBack(i) || (!v.readable(i) && !v.unreadableValue(i))) continue;
                const Group& x = v.at(i);
                const bool stands = v.unreadableValue(i);
                if (x.code == D::kShape && !number) {
                    number = true;
                    carries = (bits & 6) && !stands && x.integer != 0;
                } else if (x.code == D::kText && !words) {
                    words = true;
                    carries = (bits & 2) && !stands && !v.decode(x).empty();
                }
            }
            std::fill(std::begin(seen), std::end(seen), false);
            seen[0] = true;  // the flags
            for (size_t i = v.subclassStart(C::kMarker); carries && i < v.end(); ++i) {
                if (!goesBack(i)) continue;
                const bool stands = v.unreadableValue(i);
                if (!v.readable(i) && !stands) break;
                const Group& x = v.at(i);
                const int* slot = std::find(std::begin(kDashCodes), std::end(kDashCodes), x.code);
                if (slot == std::end(kDashCodes)) break;
                const size_t k = (size_t)(slot - kDashCodes);
                if (seen[k] || (bits & (x.code == D::kText ? 2 : 6)) == 0) break;
                seen[k] = true;
                if (stands) continue;
                v.take(i);
                dashValue(x);
            }
        }
        const OdDbObjectId id = addRecord(roots_.linetypeTable, linetypes_, lt, name, &v);
        if (!id.isNull()) DxfAccess::setFileFlags(lt, (int)fileFlags);
        // A record the table refused is gone: its dashes name no style.
        if (!id.isNull() && !styles.empty()) shapeStyles.emplace_back(lt, styles);
    }
    fixups_.push_back([this, shapeStyles] {
        for (const auto& [lt, styles] : shapeStyles)
            for (const auto& [dash, h] : styles) DxfAccess::setShapeStyle(lt, dash, idOf(h));
    });
    auto standardLinetype = [&](const wchar_t* name) {
        OdDbObjectId id = record(linetypes_, name);
        return id.isNull() ? addRecord(roots_.linetypeTable, linetypes_, new OdDbLinetypeTableRecord(), name, nullptr) : id;
    };
    roots_.ltByBlock = standardLinetype(L"ByBlock");
    roots_.ltByLayer = standardLinetype(L"ByLayer");
    roots_.ltContinuous = standardLinetype(L"Continuous");

    for (const Rec* r : records["LAYER"]) {
        using C = LayerCodes;
        View v = recordView(r);
        auto* la = new OdDbLayerTableRecord();
        int64_t flags = v.integer(C::kFlags, 0);
        int64_t aci = v.integer(C::kColour, 7);
        OdCmColor c;
        if (v.has(C::kTrueColour)) {
            const int64_t rgb = v.integer(C::kTrueColour, 0);
            c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
            keepColourNumber(la, v, c);
        } else {
            c.setColorIndex((int16_t)(std::abs(aci) >= 1 && std::abs(aci) <= 255 ? std::abs(aci) : 7));
        }
        la->setColor(c);
        la->setIsOff(aci < 0);
        la->setIsFrozen(flags & 1);
        la->setIsLocked(flags & 4);
        OdDbObjectId lt = record(linetypes_, v.text(C::kLinetype));
        la->setLinetypeObjectId(lt.isNull() ? roots_.ltContinuous : lt);
        la->setLineWeight(AsLineWeight(v.integer(C::kLineWeight, kDefaultIntegerOf<C, C::kLineWeight>)));
        la->setIsPlottable(v.integer(C::kPlottable, 1) != 0);
        flagsOf(addRecord(roots_.layerTable, layers_, la, nameOf(v), &v), v);
    }
    roots_.layerZero = layerNamed(L"0");

    for (const Rec* r : records["STYLE"]) {
        using C = TextStyleCodes;
        View v = recordView(r);
        auto* st = new OdDbTextStyleTableRecord();
        st->setTextSize(v.real(C::kHeight, 0));
        st->setXScale(v.real(C::kWidth, 1));
        if (v.has(C::kFont)) st->setFileName(v.text(C::kFont));
        st->setBigFontFileName(v.text(C::kBigFont));
        st->setObliquingAngle(v.real(C::kOblique, 0) * kDegToRad);
        st->setFlagBits((uint8_t)v.integer(C::kGeneration, 0));
        st->setPriorSize(v.real(C::kPriorSize, 2.5));
        int64_t flags = v.integer(C::kFlags, 0);
        st->setIsShapeFile(flags & 1);
        st->setIsVertical(flags & 4);
        flagsOf(addRecord(roots_.textStyleTable, styles_, st, nameOf(v), &v, (flags & 1) != 0), v);
    }
    roots_.textstyle = record(styles_, L"Standard");
    if (roots_.textstyle.isNull())
        roots_.textstyle = addRecord(roots_.textStyleTable, styles_, new OdDbTextStyleTableRecord(), L"Standard", nullptr);

    // A viewport's or a view's settings, of the codes of its subclass
    // (ViewportCodes or ViewCodes).
    auto viewSettings = [](auto codes, OdDbAbstractViewTableRecord* rec, const View& v) {
        using C = typename decltype(codes)::type;
        double h = v.real(C::kHeight, 1);
        rec->setHeight(h);
        // A viewport's width is its aspect.
        const double width = v.real(C::kWidth, 1);
        rec->setWidth(std::is_same_v<C, ViewportCodes> ? width * h : width);
        OdGePoint3d c = v.point(C::kCenter);
        rec->setCenterPoint(OdGePoint2d(c.x, c.y));
        OdGeVector3d dir = v.vector(C::kDirection, nullptr, OdGeVector3d(0, 0, 1));
        rec->setViewDirection(dir.isZeroLength() ? OdGeVector3d(0, 0, 1) : dir);
        rec->setTarget(v.point(C::kTarget));
        rec->setLensLength(v.real(C::kLens, kDefaultOf<C, C::kLens>));
        rec->setFrontClipDistance(v.real(C::kFrontClip, kDefaultOf<C, C::kFrontClip>));
        rec->setBackClipDistance(v.real(C::kBackClip, kDefaultOf<C, C::kBackClip>));
        rec->setViewTwist(v.real(C::kTwist, kDefaultOf<C, C::kTwist>));
        int64_t mode = v.integer(C::kMode, 0);
        rec->setPerspectiveEnabled(mode & 1);
        rec->setFrontClipEnabled(mode & 2);
        rec->setBackClipEnabled(mode & 4);
        rec->setFrontClipAtEye(!(mode & 16));
    };
    for (const Rec* r : records["VPORT"]) {
        View v = recordView(r);
        auto* vp = new OdDbViewportTableRecord();
        viewSettings(std::common_type<ViewportCodes>{}, vp, v);
        flagsOf(addRecord(roots_.viewportTable, vports_, vp, nameOf(v), &v), v);
    }
    if (record(vports_, L"*ACTIVE").isNull())
        addRecord(roots_.viewportTable, vports_, new OdDbViewportTableRecord(), L"*ACTIVE", nullptr);
    for (const Rec* r : records["VIEW"]) {
        View v = recordView(r);
        auto* vw = new OdDbViewTableRecord();
        viewSettings(std::common_type<ViewCodes>{}, vw, v);
        vw->setIsPaperspaceView(v.integer(ViewCodes::kFlags, 0) & 1);
        flagsOf(addRecord(roots_.viewTable, views_, vw, nameOf(v), &v), v);
    }
    for (const Rec* r : records["UCS"]) {
        View v = recordView(r);
        using C = UcsCodes;
        auto* u = new OdDbUCSTableRecord();
        u->setOrigin(v.point(C::kOrigin));
        u->setXAxis(v.vector(C::kXAxis, nullptr, OdGeVector3d(1, 0, 0)));
        u->setYAxis(v.vector(C::kYAxis, nullptr, OdGeVector3d(0, 1, 0)));
        flagsOf(addRecord(roots_.ucsTable, ucss_, u, nameOf(v), &v), v);
    }
    for (const Rec* r : records["APPID"]) {
        View v = recordView(r);
        flagsOf(addRecord(roots_.regAppTable, apps_, new OdDbRegAppTableRecord(), nameOf(v), &v), v);
    }
    for (const Rec* r : records["DIMSTYLE"]) {
        using C = DimStyleCodes;
        View v = recordView(r);
        OdDbObjectId id = addRecord(roots_.dimStyleTable, dimstyles_, new OdDbDimStyleTableRecord(), nameOf(v), &v);
        flagsOf(id, v);
        // The oldest form names a style's arrow blocks; the form saved names
        // their records. Both go, each as the code of the record.
        std::vector<std::pair<int, std::wstring>> arrows;
        bool named[C::kArrows] = {false, false, false};
        for (size_t i = v.begin(); i < v.end(); ++i) {
            const Group& x = v.at(i);
            if (x.code >= C::kArrowRecord && x.code < C::kArrowRecord + C::kArrows)
                named[x.code - C::kArrowRecord] = true;
            if (x.code >= C::kArrowName && x.code < C::kArrowName + C::kArrows && x.kind == Kind::kText &&
                !TrimView(x.text).empty())
                arrows.emplace_back(x.code - C::kArrowName + C::kArrowRecord, v.decode(x));
        }
        auto* style = obj(id);
        if (style)
            for (const auto& [code, name] : arrows)
                if (!named[code - C::kArrowRecord])
                    fixups_.push_back([this, style, code = code, name = name] {
                        OdDbObjectId block = record(blockNames_, name);
                        if (block.isNull()) block = record(blockNames_, L"_" + name);
                        if (!block.isNull()) arrowBlocks_.push_back({style, code, block});
                    });
    }
    if (record(dimstyles_, L"Standard").isNull())
        addRecord(roots_.dimStyleTable, dimstyles_, new OdDbDimStyleTableRecord(), L"Standard", nullptr);
    findSpaces(records["BLOCK_RECORD"]);
    for (const Rec* r : records["BLOCK_RECORD"]) {
        View v = recordView(r);
        const std::wstring name = nameOf(v);
        // (A record without a name is none: it is left out, as any is.)
        const int space = !v.handle() || name.empty()            ? -1
                          : v.handle() == spaceHandles_[0] ? 0
                          : v.handle() == spaceHandles_[1] ? 1
                                                           : -1;
        if (space < 0) {
            // A record named as a space the records say is another.
            const int claims = Lower(name) == Lower(kSpaceNames[0]) ? 0 : Lower(name) == Lower(kSpaceNames[1]) ? 1 : -1;
            if (claims >= 0 && spaceHandles_[claims]) {
                leaveOut(*r, "a block record named " + WideToUtf8(name) + " while the file's records say another is " +
                                 (claims ? "paper space" : "model space"));
                continue;
            }
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, &v);
            continue;
        }
        const OdDbObjectId id =
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), kSpaceNames[space], &v);
        if (!id.isNull() && Lower(name) != Lower(kSpaceNames[space]))
            nameSpace(name, kSpaceNames[space], id, v.find(NamedRecordCodes::kName));
    }
}

// ---- blocks and entities ----

void Loader::readBlocks()
{
    const std::vector<const char*> begin = SubRecordSubclasses("", "BLOCK", 0), end = SubRecordSubclasses("", "ENDBLK", 0);
    // Files of the oldest form have no block records: their blocks make
    // them.
    for (const auto& r : blocks_) {
        if (r.type != "BLOCK") continue;
        View v = view(r, begin);
        std::wstring name = v.text(BlockBeginCodes::kName);
        if (name.empty() || !record(blockNames_, name).isNull()) continue;
        // The oldest form's names of the spaces name them.
        for (int space = 0; space < 2 && !name.empty(); ++space)
            if (Lower(name) == Lower(kOldSpaceNames[space]) && record(blockNames_, kSpaceNames[space]).isNull()) {
                const OdDbObjectId id = addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(),
                                                  kSpaceNames[space], nullptr);
                nameSpace(name, kSpaceNames[space], id, nullptr);
                name.clear();
            }
        if (!name.empty()) addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, nullptr);
    }
    for (const wchar_t* name : {L"*Model_Space", L"*Paper_Space"})
        if (record(blockNames_, name).isNull())
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, nullptr);
    roots_.modelSpace = record(blockNames_, L"*Model_Space");

    std::set<OdDbObjectId> defined;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].type != "BLOCK") {
            leaveOut(blocks_[i], "a record outside any block");
            continue;
        }
        using C = BlockBeginCodes;
        View v = view(blocks_[i], begin);
        const std::wstring name = v.text(C::kName);
        OdDbObjectId block = record(blockNames_, name);
        // A space's block under a name of its own is written under the
        // space's name.
        if (const auto* named = OdRxCast<OdDbBlockTableRecord>(obj(block));
            named && !name.empty() && Lower(named->getName().str()) != Lower(name))
            for (int code : {C::kName, C::kNameAgain})
                if (const Group* given = v.find(code)) dropped_.push_back((size_t)(given - g_.data()));
        size_t last = i + 1;
        while (last < blocks_.size() && blocks_[last].type != "ENDBLK" && blocks_[last].type != "BLOCK") ++last;
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(block));
        // A block defined twice keeps its first definition.
        if (btr && defined.insert(block).second) {
            DxfAccess::setOrigin(btr, v.point(C::kBase));
            DxfAccess::setFileFlags(btr, (int)v.integer(C::kFlags, 0));
            keptOf(btr).blockBegin = std::make_unique<DxfKept>();
            keptOf(btr).blockBegin->handle = v.handle();
            takeTiedValues(blocks_[i], begin);
            pending_.push_back(Pending{btr, kBlockBegin, 0, &blocks_[i], intern(begin), false, {}});
            if (last < blocks_.size() && blocks_[last].type == "ENDBLK") {
                View ev = view(blocks_[last], end);
                if (ev.handle()) {
                    keptOf(btr).blockEnd = std::make_unique<DxfKept>();
                    keptOf(btr).blockEnd->handle = ev.handle();
                }
                takeTiedValues(blocks_[last], end);
                pending_.push_back(Pending{btr, kBlockEnd, 0, &blocks_[last], intern(end), false, {}});
            }
            readEntities(blocks_, i + 1, last, block);
        } else {
            const std::string why = btr ? "a second definition of a block" : "a block without a name";
            for (size_t k = i; k <= last && k < blocks_.size(); ++k) leaveOut(blocks_[k], why);
        }
        i = last < blocks_.size() && blocks_[last].type == "ENDBLK" ? last : last - 1;
    }
}

void Loader::giveBlocksHandles()
{
    // A block's BLOCK and ENDBLK records the file gave no handles (or has
    // not: the spaces of a file of the oldest form) get theirs now, once:
    // given at each save, a handle of one save would name what a new
    // object took of the seed by the next.
    auto* table = OdRxCast<OdDbSymbolTable>(obj(roots_.blockTable));
    if (!table) return;
    for (const OdDbObjectId& id : DxfAccess::records(table)) {
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(id));
        if (!btr) continue;
        DxfKept& kept = keptOf(btr);
        for (auto* record : {&kept.blockBegin, &kept.blockEnd}) {
            if (!*record) *record = std::make_unique<DxfKept>();
            if (!(*record)->handle) given_.push_back((*record)->handle = DxfAccess::nextHandle(db_));
        }
    }
}

}  // namespace dxf
}  // namespace standin
