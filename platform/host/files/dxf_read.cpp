// Drawing files: a DXF file read into an empty database. The file's
// structure is checked first (groups, sections, records); only a file that
// passes is built into the database, so a refused file leaves it untouched
// and the reason names the file's fault (what the file seems to be when it
// is no DXF file, the line where it cannot be read, where it was cut).
// Objects keep the file's handles; what the file lacks (tables, the
// named-objects dictionary, the standard records) is added with new ones.
// What the database does not model is kept as read (dxf_kept.h): every
// record's other groups, its extended data, header variables, classes and
// other sections. Records the database cannot make into an object (kinds
// it does not know, broken geometry) are kept whole as proxies; only block
// references that would make a block contain itself are left out.
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

#include "dxf_access.h"
#include "dxf_internal.h"
#include "dxf_schema.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"

namespace standin {
namespace dxf {
namespace {

const double kDegToRad = M_PI / 180.0;
// Block references nested deeper than this are left out: drawing them
// would recurse that deep.
const int kMaxBlockDepth = 64;
// Handles at or above this are taken as missing, so that the database's
// handle seed cannot run out.
const uint64_t kMaxHandle = uint64_t(1) << 60;

struct Rec {
    std::string_view type;
    size_t b = 0, e = 0;  // the groups after the record's 0 group
};

std::wstring Lower(const std::wstring& s)
{
    std::wstring l = s;
    for (auto& c : l) c = (wchar_t)std::towlower(c);
    return l;
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// What the reader makes of each group of the file (Loader::state_): a group
// is a value of the object, kept as read, or the record's frame; never two
// of them.
enum GroupState : uint8_t {
    kObjectValue = 0,  // a value of the object, in a code the writer writes
    kKept = 1,         // goes back as it was read (dxf_kept.h)
    kFrame = 2,        // the record's handle and owner, the markers the
                       // writer writes, the object's own application groups
    kClassMask = 3,
    kTaken = 4,        // a value the object took
    kRefused = 8,      // a value the object cannot hold or found no place
                       // for: kept instead
    // Where the group is, for comparing a record at a save without
    // walking it again (Respellings).
    kWhole = 16,       // in a subclass kept whole
    kOtherApp = 32,    // in another application's group
};

// The kinds of markerless records (the oldest form) kept whole, with the
// marker their values go under in the form the writer writes.
const char* MarkerOfKeptKind(std::string_view type)
{
    if (type == "TRACE") return "AcDbTrace";
    if (type == "3DFACE") return "AcDbFace";
    if (type == "SHAPE") return "AcDbShape";
    if (type == "VIEWPORT") return "AcDbViewport";
    return nullptr;
}

// A record's first flags (group 70) before its extended data, as the file
// has them, for telling what the record is before it is read.
int64_t PeekFlags(const std::vector<Group>& g, size_t b, size_t e)
{
    for (size_t i = b; i < e && g[i].code != 1001; ++i)
        if (g[i].code == 70 && g[i].kind == Kind::kInt) return g[i].integer;
    return 0;
}

// The marker the values of a markerless record kept whole go back under,
// after the entity's own: the kind's (TRACE's "AcDbTrace"), or that of the
// object it would have been read into (an ELLIPSE's "AcDbEllipse"), so that
// read back they are where they were read and the record is kept whole
// again.
const char* MarkerOfKeptWhole(std::string_view type, int64_t flags)
{
    if (const char* marker = MarkerOfKeptKind(type)) return marker;
    const std::vector<const char*> would = SubclassesOfRecord(type, (int)flags, true);
    return would.size() > 1 ? would[1] : nullptr;
}

// A code's place in a CodeSet (codes past its end share the last).
size_t CodeSlot(int code) { return (size_t)std::clamp(code, 0, 1071); }

class View;
template <class F>
void Walk(const View& v, F f);

// One record's groups, with its application groups ("{ACAD_XDICTIONARY",
// "{ACAD_REACTORS") and extended data set apart from its own values. The
// record is split as the writer writes the object it is read into (the
// subclasses `written`): the reader sees only the values of those
// subclasses in the codes the writer writes there, and what it takes of
// them is marked, so that all the rest is kept.
class View {
public:
    View(const std::vector<Group>& g, const Rec& r, const TextCodec& codec, std::vector<uint8_t>& state,
         std::vector<const char*> written, bool dataRecord = false)
        : g_(g), rec_(&r), b_(r.b), e_(r.e), recordEnd_(r.e), codec_(codec), state_(state), type_(r.type),
          written_(std::move(written)), dataRecord_(dataRecord)
    {
        bool seenSubclass = false;
        for (size_t i = b_; i < e_; ++i) {
            const Group& x = g_[i];
            if (x.code == 100) seenSubclass = true;
            // A record of data (an Xrecord's) has its head, then data:
            // whatever follows its marker, or the first group that is no
            // part of a head, is data, application groups included. The
            // head holds the handle, the owner and application groups.
            if (dataRecord && (seenSubclass || !(x.code == 5 || x.code == 105 || x.code == 330 ||
                                                 (x.code == 102 && !x.text.empty() && x.text[0] == '{'))))
                break;
            if (x.code == 1001 && !dataRecord) {
                e_ = i;
                break;
            }
            if (x.code == 102 && !x.text.empty() && x.text[0] == '{') {
                const std::string_view name = TrimView(x.text.substr(1));
                const bool own = name == "ACAD_XDICTIONARY" || name == "ACAD_REACTORS";
                const int handles = name == "ACAD_XDICTIONARY" ? 360 : 330;
                // A group left open ends where the record goes on: at a
                // marker or another group, or, of the object's own, at a
                // value that is none of its handles.
                size_t j = i + 1;
                bool closed = false;
                for (; j < e_; ++j) {
                    const Group& y = g_[j];
                    if (y.code == 102 && TrimView(y.text) == "}") {
                        closed = true;
                        break;
                    }
                    if (y.code == 100 || (y.code == 102 && !y.text.empty() && y.text[0] == '{') ||
                        (own && y.code != handles))
                        break;
                    if (name == "ACAD_XDICTIONARY" && y.code == 360 && !xdict_) xdict_ = y.handle;
                    if (name == "ACAD_REACTORS" && y.code == 330 && y.handle) reactors_.push_back(y.handle);
                }
                const size_t end = closed ? j + 1 : j;
                // The object keeps its dictionary and reactors itself;
                // other applications' groups stay with the record, whole.
                (own ? skip_ : apps_).push_back({i, end});
                i = end - 1;
                continue;
            }
            if (!seenSubclass && (x.code == 5 || x.code == 105) && x.kind == Kind::kHandle && handleAt_ == SIZE_MAX) {
                handle_ = x.handle;
                handleAt_ = i;
            }
            if (!seenSubclass && x.code == 330 && ownerAt_ == SIZE_MAX) {
                owner_ = x.handle;
                ownerAt_ = i;
            }
        }
        Walk(*this, [this](size_t i, uint8_t cls, const std::string&, int, bool whole, bool) {
            const bool other = g_[i].code == 102 || otherAppGroup(i);
            state_[i] = (uint8_t)((state_[i] & ~(kClassMask | kWhole | kOtherApp)) | cls | (whole ? kWhole : 0) |
                                  (other ? kOtherApp : 0));
        });
    }

    uint64_t handle() const { return handle_; }
    uint64_t owner() const { return owner_; }
    uint64_t xdict() const { return xdict_; }
    const std::vector<uint64_t>& reactors() const { return reactors_; }
    size_t begin() const { return b_; }
    size_t end() const { return e_; }
    const Group& at(size_t i) const { return g_[i]; }
    const std::vector<Group>& groups() const { return g_; }
    size_t indexOf(const Group* x) const { return (size_t)(x - g_.data()); }
    // Only the object's own dictionary and reactors.
    bool modelledAppGroup(size_t i) const { return Within(skip_, i); }
    // Within another application's group.
    bool otherAppGroup(size_t i) const { return Within(apps_, i); }
    std::string_view type() const { return type_; }
    const Rec& rec() const { return *rec_; }
    const std::vector<const char*>& written() const { return written_; }
    bool dataRecord() const { return dataRecord_; }
    size_t recordEnd() const { return recordEnd_; }
    size_t handleAt() const { return handleAt_; }
    size_t ownerAt() const { return ownerAt_; }

    // Whether the group is a value the object may take.
    bool readable(size_t i) const { return (state_[i] & kClassMask) == kObjectValue; }
    bool taken(size_t i) const { return (state_[i] & kTaken) != 0; }
    // The object takes the value (or, refused, it is kept).
    const Group& take(size_t i) const
    {
        state_[i] = (uint8_t)((state_[i] | kTaken) & ~kRefused);
        return g_[i];
    }
    void refuse(const Group* x) const
    {
        if (x) state_[indexOf(x)] |= kRefused;
    }

    // The n-th value of the code, within the subclasses of that name when
    // the record has such a marker; taken.
    const Group* find(int code, const char* subclass = nullptr, int nth = 0, size_t from = 0, size_t to = SIZE_MAX) const
    {
        bool useSub = subclass && hasSubclass(subclass);
        bool inSub = !useSub;
        for (size_t i = std::max(b_, from); i < std::min(e_, to); ++i) {
            const Group& x = g_[i];
            const uint8_t cls = state_[i] & kClassMask;
            if (cls == kFrame && x.code == 100) {
                inSub = !useSub || TrimView(x.text) == subclass;
                continue;
            }
            if (cls != kObjectValue) continue;
            if (inSub && x.code == code && nth-- == 0) return &take(i);
        }
        refuseOthers(code);
        return nullptr;
    }
    // A value of the code that a look found no place for is kept as read
    // (unless another look takes it), so that it is not put in the place
    // the writer writes the code in.
    void refuseOthers(int code) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == code && (state_[i] & (kClassMask | kTaken)) == kObjectValue) state_[i] |= kRefused;
    }
    // The first value of the code in the n-th subclass of that name, taken;
    // as `find` when the record has fewer such subclasses.
    const Group* findIn(int code, const char* subclass, int occurrence) const
    {
        int seen = -1;
        bool inSub = false;
        for (size_t i = b_; i < e_; ++i) {
            const Group& x = g_[i];
            const uint8_t cls = state_[i] & kClassMask;
            if (cls == kFrame && x.code == 100) {
                inSub = TrimView(x.text) == subclass && ++seen == occurrence;
                continue;
            }
            if (inSub && cls == kObjectValue && x.code == code) return &take(i);
        }
        if (seen < occurrence) return find(code, subclass);
        refuseOthers(code);
        return nullptr;
    }
    bool hasSubclass(const char* name) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == 100 && TrimView(g_[i].text) == name) return true;
        return false;
    }
    // The index of the first group of a subclass's values (the whole record
    // when it has no such marker).
    size_t subclassStart(const char* name) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == 100 && TrimView(g_[i].text) == name) return i + 1;
        return b_;
    }
    double real(int code, double def, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kReal ? x->real : def;
    }
    int64_t integer(int code, int64_t def, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kInt ? x->integer : def;
    }
    uint64_t ref(int code, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kHandle ? x->handle : 0;
    }
    bool has(int code, const char* sub = nullptr) const { return find(code, sub) != nullptr; }
    std::wstring text(int code, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x ? codec_.decode(x->text) : std::wstring();
    }
    std::wstring decode(const Group& x) const { return codec_.decode(x.text); }
    OdGePoint3d point(int code, const char* sub = nullptr, OdGePoint3d def = OdGePoint3d()) const
    {
        return OdGePoint3d(real(code, def.x, sub), real(code + 10, def.y, sub), real(code + 20, def.z, sub));
    }
    OdGeVector3d vector(int code, const char* sub, OdGeVector3d def) const
    {
        OdGePoint3d p = point(code, sub, OdGePoint3d(def.x, def.y, def.z));
        return OdGeVector3d(p.x, p.y, p.z);
    }
    // A point's coordinates after its x value at k (taken, k moved past
    // them): y and z when they follow.
    OdGePoint3d pointAt(size_t& k) const
    {
        const int code = g_[k].code;
        OdGePoint3d p(take(k).real, 0, 0);
        if (k + 1 < e_ && g_[k + 1].code == code + 10 && readable(k + 1)) p.y = take(++k).real;
        if (k + 1 < e_ && g_[k + 1].code == code + 20 && readable(k + 1)) p.z = take(++k).real;
        return p;
    }

private:
    // Whether a group lies in one of the spans, which are in file order and
    // do not overlap: a record may hold any number of them.
    static bool Within(const std::vector<std::pair<size_t, size_t>>& spans, size_t i)
    {
        auto it = std::upper_bound(spans.begin(), spans.end(), i,
                                   [](size_t x, const std::pair<size_t, size_t>& s) { return x < s.first; });
        return it != spans.begin() && i < std::prev(it)->second;
    }

    const std::vector<Group>& g_;
    const Rec* rec_;
    size_t b_, e_, recordEnd_;
    const TextCodec& codec_;
    std::vector<uint8_t>& state_;
    uint64_t handle_ = 0, owner_ = 0, xdict_ = 0;
    size_t handleAt_ = SIZE_MAX, ownerAt_ = SIZE_MAX;
    std::string_view type_;
    std::vector<const char*> written_;
    bool dataRecord_;
    std::vector<uint64_t> reactors_;
    // The object's own application groups, and other applications'.
    std::vector<std::pair<size_t, size_t>> skip_, apps_;
};

// Walks a record's groups as the writer writes the object: the subclasses
// it writes hold the object's values in the codes it writes there (by
// marker and which occurrence of it); everything else of the record is
// kept, in the subclass it was read in, or whole after the subclass before
// it for a subclass the writer does not write and an embedded object (from
// its 101 group on). Records without markers (the oldest form) have their
// values wherever they are. For each group: f(index, class, subclass and
// occurrence it goes back in, whole, whether it starts a whole subclass).
template <class F>
void Walk(const View& v, F f)
{
    const std::vector<Group>& g = v.groups();
    const std::vector<const char*>& written = v.written();
    // A table's head names its table before any marker; a record of that
    // type kept whole does not.
    const bool tableHead = v.type() == "TABLE" && written.size() == 1 && std::string_view(written[0]) == "AcDbSymbolTable";
    const std::string_view type = v.type() == "TABLE" && !tableHead ? std::string_view() : v.type();
    bool markers = false;
    for (size_t i = v.begin(); i < v.end() && !markers; ++i) markers = g[i].code == 100;
    auto writtenCount = [&](const std::string& name) {
        int n = 0;
        for (const char* w : written) n += name == w;
        return n;
    };
    auto has = [&](const char* name) { return writtenCount(name) > 0; };
    std::unordered_map<std::string, int> seen;  // markers so far, by name
    auto seenBefore = [&](const std::string& name) -> int { return seen[name]++; };
    CodeSet any;
    if (!markers) {
        any = OwnedCodes(type, "");
        for (const char* w : written) any |= OwnedCodes(type, w);
    }
    // Markerless records of kinds kept whole go back under a marker of
    // their own (made by the keeper) after the writer's last subclass.
    const bool kindMarker =
        !markers && written.size() == 1 && MarkerOfKeptWhole(type, PeekFlags(g, v.begin(), v.end()));
    std::string sub = written.empty() || markers ? std::string() : std::string(written.front()), anchor = sub;
    int occurrence = 0, anchorOccurrence = 0;
    // An Xrecord without its marker: its data follows its head.
    bool whole = false, data = v.dataRecord() && !markers;
    int lastIndex = -1;
    const CodeSet* owned = &OwnedCodes(type, "");
    for (size_t i = v.begin(); i < v.end(); ++i) {
        const Group& x = g[i];
        if (v.modelledAppGroup(i) || i == v.handleAt() || i == v.ownerAt()) {
            f(i, kFrame, sub, occurrence, false, false);
            continue;
        }
        // An Xrecord's data: everything after its marker, up to an
        // embedded object.
        if (data && x.code != 101) {
            f(i, kObjectValue, sub, occurrence, false, false);
            continue;
        }
        if (x.code == 101 || (markers && x.code == 100)) {
            std::string name(TrimView(x.text));
            if (x.code == 100) {
                // A plain reference's marker where the writer writes the
                // one of references in rows and columns, and the other way.
                if (!has(name.c_str())) {
                    if (name == "AcDbBlockReference" && has("AcDbMInsertBlock")) name = "AcDbMInsertBlock";
                    else if (name == "AcDbMInsertBlock" && has("AcDbBlockReference")) name = "AcDbBlockReference";
                }
                // Its place among the writer's subclasses: a subclass the
                // file gives out of the writer's order is not one of them.
                const int n = seenBefore(name);
                int index = -1;
                for (int w = 0, k = 0; w < (int)written.size() && index < 0; ++w)
                    if (name == written[(size_t)w] && k++ == n) index = w;
                if (index > lastIndex) {
                    lastIndex = index;
                    sub = anchor = name;
                    occurrence = anchorOccurrence = n;
                    whole = false;
                    owned = &OwnedCodes(type, sub);
                    f(i, kFrame, sub, occurrence, false, false);
                    data = owned->all();
                    continue;
                }
            }
            whole = true;
            data = false;
            f(i, kKept, anchor, anchorOccurrence, true, true);
            continue;
        }
        if (whole) {
            f(i, kKept, anchor, anchorOccurrence, true, false);
            continue;
        }
        const bool appGroup = x.code == 102 || v.otherAppGroup(i);  // another application's group
        if (!markers) {
            if (!appGroup && any.test((size_t)x.code)) {
                for (const char* w : written)
                    if (OwnedCodes(type, w).test((size_t)x.code)) {
                        sub = anchor = w;
                        break;
                    }
                f(i, kObjectValue, sub, 0, false, false);
            } else {
                f(i, kKept, kindMarker ? anchor : sub, 0, kindMarker, false);
            }
            continue;
        }
        f(i, !appGroup && owned->test((size_t)x.code) ? kObjectValue : kKept, sub, occurrence, false, false);
    }
}

// Values read are finite; products of them may not be.
bool Finite(const OdGeVector3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A point of object coordinates (with that normal) in world coordinates.
OdGePoint3d OcsToWcs(const OdGePoint3d& p, const OdGeVector3d& normal)
{
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    OdGeVector3d n = normal.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal.normal();
    return OdGePoint3d::kOrigin + x * p.x + y * p.y + n * p.z;
}

OdDb::LineWeight AsLineWeight(int64_t v) { return (OdDb::LineWeight)v; }

// The handle a text value names (extended data's 1005), 0 for none.
uint64_t HandleOfText(std::string_view text)
{
    uint64_t h = 0;
    for (char ch : TrimView(text)) {
        int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1;
        if (d < 0 || h >> 60) return 0;
        h = h << 4 | (uint64_t)d;
    }
    return h;
}

class Loader {
public:
    Loader(OdDbDatabase* db, const std::vector<Group>& g, std::string_view bytes)
        : db_(db), g_(g), bytes_(bytes), state_(g.size(), 0)
    {
    }
    // Checks the file's sections and records; false for a malformed file.
    bool split(std::string& why);
    // Comments (999) a drawing has no place for, by the lines of their codes.
    void noteComments(const std::vector<uint32_t>& lines)
    {
        if (lines.empty()) return;
        std::string what = lines.size() == 1 ? "a comment (999) at line " + std::to_string(lines[0])
                                              : std::to_string(lines.size()) + " comments (999) from line " +
                                                    std::to_string(lines[0]);
        notRead_.push_back(Utf8ToWide(what + ": a drawing keeps no comments"));
    }
    void build();
    // What a save needs to put back values as the file wrote them; its
    // bytes are not yet copied.
    std::unique_ptr<DxfFileRecords> takeRecords() { return std::move(records_); }

private:
    struct Pending;
    // ---- the database being built ----
    OdDbObjectId place(OdDbObject* o, const View& v, OdDbObjectId owner);
    OdDbObject* obj(OdDbObjectId id) const { return DxfAccess::object(id); }
    OdDbObjectId idOf(uint64_t h) const
    {
        auto it = ids_.find(h);
        return h && it != ids_.end() ? it->second : OdDbObjectId();
    }
    OdDbObjectId record(const std::map<std::wstring, OdDbObjectId>& names, const std::wstring& name) const
    {
        auto it = names.find(Lower(name));
        return it == names.end() ? OdDbObjectId() : it->second;
    }
    OdDbObjectId newTable(OdDbSymbolTable* t, const Rec* head);
    OdDbObjectId addRecord(OdDbObjectId table, std::map<std::wstring, OdDbObjectId>& names,
                           OdDbSymbolTableRecord* r, const std::wstring& name, const View* v, bool nameless = false);
    OdDbObjectId layerNamed(const std::wstring& name);
    // The text style a text names: none when it names none, the current
    // style when the name is not in the drawing.
    OdDbObjectId styleNamed(const View& v, const char* subclass) { return styleOf(v, v.find(7, subclass)); }
    OdDbObjectId styleOf(const View& v, const Group* name)
    {
        if (!name) return OdDbObjectId();
        OdDbObjectId id = record(styles_, v.decode(*name));
        return id.isNull() ? roots_.textstyle : id;
    }

    // ---- records ----
    // The record split as the writer writes the object it is read into.
    View view(const Rec& r, std::vector<const char*> written, bool dataRecord = false)
    {
        return View(g_, r, codec_, state_, std::move(written), dataRecord);
    }
    // The subclasses of the object a record of the entities or objects is
    // read into, told from the record itself.
    std::vector<const char*> expected(const Rec& r, bool entity) const;
    int64_t peekFlags(const Rec& r) const;
    // Says what of the file the drawing leaves out (the save names it).
    void leaveOut(const Rec& r, const std::string& why);
    // A record tied to another (a block's begin or end, a vertex, a
    // sequence's end) has the layer and space of what it belongs to: the
    // first of each the file gave is the one the writer's is compared
    // with, a second is kept.
    void takeTiedValues(const Rec& r, const std::vector<const char*>& written)
    {
        if (written.empty()) return;
        View v = view(r, written);
        v.find(8);
        v.find(67);
    }

    // ---- what is kept ----
    // The groups of the record the object does not hold (null when there
    // are none), in runs by where they go back.
    std::unique_ptr<DxfKept> keep(const View& v);
    // Keeps what every record read holds beyond its object's values, once
    // the whole file is read (the objects may refuse values until then).
    void keepAll();
    KeptGroup keptGroup(const Group& g);
    void resolveLater(std::vector<KeptGroup>& groups);
    OdResBuf* xdataOf(const View& v);
    DxfKept& keptOf(OdDbObject* o)
    {
        if (!DxfAccess::kept(o)) DxfAccess::setKept(o, new DxfKept);
        return *DxfAccess::kept(o);
    }
    // The colour number a file gave beside a true colour.
    void keepColourNumber(OdDbObject* o, const View& v, const OdCmColor& c)
    {
        const Group* number = v.find(62);
        if (!number || number->kind != Kind::kInt) return;
        DxfKept& k = keptOf(o);
        k.colourNumber = (int)number->integer;
        k.colourRgb = (int64_t)c.red() << 16 | (int64_t)c.green() << 8 | c.blue();
    }
    // Hashes what the writer makes of every record read, keeps the values
    // that are none of its object's, and notes the records for the saves
    // that put back values as the file wrote them (DxfFileRecords).
    void noteRecords();
    // Where the line of the group's code starts in the file.
    size_t codeLineAt(size_t group) const;
    DxfKept& keptFor(const Pending& p);
    // Keeps these groups of the record, in its runs in file order.
    void keepInPlace(const Pending& p, const View& v, std::vector<size_t> groups);

    void readHeader();
    void readTables();
    void readBlocks();
    void readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block);
    size_t readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block);
    OdDbEntity* makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                           std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs);
    void common(OdDbEntity* e, const View& v);
    OdDbEntity* makeText(const View& v, std::string_view type);
    OdDbEntity* makeMText(const View& v);
    OdDbEntity* makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to);
    OdDbEntity* makeSpline(const View& v);
    OdDbEntity* makeHatch(const View& v);
    OdDbEntity* makeDimension(const View& v);
    OdDbEntity* makeMline(const View& v);
    OdDbEntity* proxy(const View& v);
    // The record and those of its sequence (first to next), kept whole.
    OdDbEntity* keptWhole(const View& v, const std::vector<Rec>& recs, size_t first, size_t next, size_t to);
    void readObjects();
    void dropCyclicReferences();
    void finish();

    OdDbDatabase* db_;
    const std::vector<Group>& g_;
    std::string_view bytes_;
    std::unique_ptr<DxfFileRecords> records_;
    // What each group is to its record (GroupState).
    std::vector<uint8_t> state_;
    TextCodec codec_;
    std::vector<std::pair<std::string, size_t>> header_;  // variable -> index of its first value group
    std::map<std::string, size_t> headerIndex_;
    std::vector<std::pair<size_t, size_t>> headerSpans_;  // the groups of header sections
    std::vector<Rec> tables_, blocks_, entities_, objects_, classes_;
    // Sections the database is not built from: name, first and end group.
    std::vector<std::tuple<std::string, size_t, size_t>> otherSections_;
    std::unordered_map<uint64_t, OdDbObjectId> ids_;
    // Every handle a record of the file gives itself.
    std::unordered_set<uint64_t> defined_;
    std::vector<std::function<void()>> fixups_;
    // Run after the fixups: dictionaries own what names no owner.
    std::vector<std::function<void()>> adoptions_;
    std::map<std::wstring, OdDbObjectId> layers_, linetypes_, styles_, blockNames_, vports_, views_, apps_, dimstyles_,
        ucss_;
    DxfAccess::Roots roots_;
    // Block references by the block they are in, for the nesting check.
    struct Reference {
        OdDbObjectId ref, block;            // the reference, the block it is in
        std::vector<const Rec*> records;    // its record and its attributes'
    };
    std::vector<Reference> references_;
    // Kept handles to resolve once every object is there: (group, handle).
    std::vector<std::pair<KeptGroup*, uint64_t>> handles_;
    // Records read, to keep what their objects do not hold: the object, and
    // which of its records (itself, a block's begin or end, or the n-th of
    // the records of its sequence, of `count`).
    enum : int { kSelf = kObjectRecord, kBlockBegin = kBlockBeginRecord, kBlockEnd = kBlockEndRecord };
    struct Pending {
        OdDbObject* object;
        int sub;
        size_t count;
        const Rec* rec;
        std::vector<const char*> written;
        bool dataRecord;
        std::string dxfType;  // a sequence's record kept whole: its type
        // Where its values end (its extended data) and its owner, once
        // its groups have been kept.
        size_t valuesEnd = SIZE_MAX, ownerAt = SIZE_MAX;
    };
    std::vector<Pending> pending_;
    // Arrow blocks a dimension style of the oldest form names: kept as the
    // records the saved form names (the style, the code, the block).
    struct ArrowBlock {
        OdDbObject* style;
        int code;
        OdDbObjectId block;
    };
    std::vector<ArrowBlock> arrowBlocks_;
    // The records of the sequence of the entity being read (its vertices
    // and sequence end), and their handles.
    struct SubRecord {
        const Rec* rec;
        std::vector<const char*> written;
        std::string dxfType;
    };
    std::vector<SubRecord> subRecs_;
    // A sequence end after a reference without attributes.
    const Rec* strayEnd_ = nullptr;
    std::vector<uint64_t> subHandles_;
    // What of the file the drawing does not hold, and the objects it
    // erased.
    std::vector<std::wstring> notRead_;
    std::vector<uint64_t> leftOut_;
    // The extension dictionaries records name.
    std::vector<uint64_t> xdicts_;
    // Points read in the planes of entities not yet placed (an attribute is
    // made before its reference is placed), by the entity.
    std::unordered_map<const OdDbObject*, std::pair<OdGeVector3d, std::vector<DxfKept::PlanePoint>>> planePoints_;
    // Remembers the file's plane points of an entity (world: as the entity
    // now has them), for a save of the same points; in the world's plane
    // they need no conversion, except when `always`.
    void rememberPlane(const OdDbObject* e, const OdGeVector3d& normal, std::vector<DxfKept::PlanePoint> points,
                       bool always = false)
    {
        if (always || !IsPlusZNormal(normal)) planePoints_[e] = {normal, std::move(points)};
    }
    static bool IsPlusZNormal(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }
    int keptFlags_ = 0;
};

// ---- structure ----

bool Loader::split(std::string& why)
{
    size_t i = 0, n = g_.size();
    auto isZero = [&](size_t k, std::string_view s) { return k < n && g_[k].code == 0 && TrimView(g_[k].text) == s; };
    // A section that runs into the next one (its ENDSEC damaged or left
    // out) ends where the next begins, as files are read.
    auto sectionStart = [&](size_t k) { return isZero(k, "SECTION") && k + 1 < n && g_[k + 1].code == 2; };
    while (i < n && !isZero(i, "EOF")) {
        if (!isZero(i, "SECTION") || i + 1 >= n || g_[i + 1].code != 2) {
            why = "line " + std::to_string(g_[i].line) + ": a section was expected";
            return false;
        }
        std::string_view name = TrimView(g_[i + 1].text);
        i += 2;
        if (name == "HEADER") {
            headerSpans_.emplace_back(i, i);
            while (i < n && g_[i].code != 0) {
                if (g_[i].code == 9) {
                    std::string var(TrimView(g_[i].text));
                    header_.emplace_back(var, i + 1);
                    headerIndex_.emplace(var, i + 1);
                }
                ++i;
            }
            headerSpans_.back().second = i;
        } else {
            std::vector<Rec>* out = name == "TABLES"     ? &tables_
                                    : name == "BLOCKS"   ? &blocks_
                                    : name == "ENTITIES" ? &entities_
                                    : name == "OBJECTS"  ? &objects_
                                    : name == "CLASSES"  ? &classes_
                                                         : nullptr;
            if (!out) {
                // Sections the database keeps nothing of (thumbnail, data
                // stores) are kept whole, whatever they hold.
                size_t from = i;
                while (i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF") && !sectionStart(i)) ++i;
                otherSections_.emplace_back(std::string(name), from, i);
            }
            if (i < n && g_[i].code != 0) {
                why = "line " + std::to_string(g_[i].line) + ": section " + std::string(name) +
                      " holds values outside its records";
                return false;
            }
            while (out && i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF") && !sectionStart(i)) {
                Rec r;
                r.type = TrimView(g_[i].text);
                r.b = ++i;
                while (i < n && g_[i].code != 0) ++i;
                r.e = i;
                out->push_back(r);
            }
        }
        // A section without its end ends where the next begins, or the file.
        if (sectionStart(i) || isZero(i, "EOF")) continue;
        if (!isZero(i, "ENDSEC")) {
            why = "section " + std::string(name) + " does not end (no ENDSEC before the end of the file)";
            return false;
        }
        ++i;
    }
    return true;
}

// ---- kept groups ----

KeptGroup Loader::keptGroup(const Group& g)
{
    KeptGroup k;
    k.at = &g >= g_.data() && &g < g_.data() + g_.size() ? (size_t)(&g - g_.data()) : SIZE_MAX;
    k.code = g.code;
    k.kind = (uint8_t)g.kind;
    switch (g.kind) {
    case Kind::kText:
        k.text = codec_.decode(g.text);
        k.spelled = codec_.transcode(g.text);
        break;
    case Kind::kReal: k.real = g.real; break;
    case Kind::kInt: k.integer = g.integer; break;
    case Kind::kHandle: k.integer = (int64_t)g.handle; break;
    }
    return k;
}

// Handles of kept groups are turned into the objects they name once the
// whole file is read; the groups no longer move by then.
void Loader::resolveLater(std::vector<KeptGroup>& groups)
{
    for (KeptGroup& k : groups)
        if ((Kind)k.kind == Kind::kHandle) handles_.emplace_back(&k, (uint64_t)k.integer);
}

std::unique_ptr<DxfKept> Loader::keep(const View& v)
{
    std::unique_ptr<DxfKept> k;
    KeptRun* run = nullptr;
    auto runFor = [&](const std::string& s, int occ, bool whole, bool fresh) -> KeptRun& {
        if (!k) k = std::make_unique<DxfKept>();
        if (!fresh && run && run->subclass == s && run->occurrence == occ && run->whole == whole) return *run;
        k->runs.push_back(KeptRun{s, occ, whole, {}});
        run = &k->runs.back();
        return *run;
    };
    // Markerless records of kinds kept whole go back under a marker of
    // their own, after the writer's last subclass.
    bool markers = false;
    for (size_t i = v.begin(); i < v.end() && !markers; ++i) markers = g_[i].code == 100;
    if (const char* marker = !markers && v.written().size() == 1
                                 ? MarkerOfKeptWhole(v.type(), PeekFlags(g_, v.begin(), v.end()))
                                 : nullptr) {
        Group m;
        m.code = 100;
        m.kind = Kind::kText;
        m.text = marker;
        runFor(v.written().front(), 0, true, true).groups.push_back(keptGroup(m));
    }
    // A value the object did not take is kept when it took another of that
    // code (a value given twice) or refused it. One of a code it took none
    // of is the writer's to write (a count): while the object is unchanged
    // the file's value goes back through the respellings.
    CodeSet taken;
    for (size_t i = v.begin(); i < v.end(); ++i)
        if ((state_[i] & (kClassMask | kTaken)) == (kObjectValue | kTaken)) taken.set((size_t)g_[i].code);
    Walk(v, [&](size_t i, uint8_t cls, const std::string& sub, int occ, bool whole, bool starts) {
        if (cls == kFrame) return;
        if (cls == kObjectValue) {
            const uint8_t s = state_[i];
            if (!(s & kRefused) && ((s & kTaken) || !taken.test((size_t)g_[i].code))) return;
            state_[i] = (uint8_t)(s | kRefused);
        }
        runFor(sub, occ, whole, starts).groups.push_back(keptGroup(g_[i]));
    });
    return k;
}

void Loader::keepAll()
{
    for (Pending& p : pending_) {
        View v = view(*p.rec, p.written, p.dataRecord);
        p.valuesEnd = v.end();
        p.ownerAt = v.ownerAt();
        std::unique_ptr<DxfKept> runs = keep(v);
        if (!runs && p.dxfType.empty()) continue;
        DxfKept* target = &keptFor(p);
        if (!p.dxfType.empty()) target->dxfType = p.dxfType;
        if (runs) {
            target->runs = std::move(runs->runs);
            for (KeptRun& r : target->runs) resolveLater(r.groups);
        }
    }
    // The extended data of records the database does not keep (a block's
    // begin and end, vertices, sequence ends) goes back with them, last.
    for (const Pending& p : pending_) {
        if (p.sub == kSelf || p.rec->e <= p.rec->b) continue;
        View v = view(*p.rec, p.written, p.dataRecord);
        if (v.end() == v.recordEnd()) continue;
        KeptRun extended{"\x01", 0, false, {}};
        for (size_t i = v.end(); i < v.recordEnd(); ++i) extended.groups.push_back(keptGroup(g_[i]));
        DxfKept& target = keptFor(p);
        target.runs.push_back(std::move(extended));
        resolveLater(target.runs.back().groups);
    }
    for (const ArrowBlock& a : arrowBlocks_) {
        KeptGroup k;
        k.code = a.code;
        k.kind = (uint8_t)Kind::kHandle;
        k.id = a.block;
        keptOf(a.style).runs.push_back(KeptRun{"AcDbDimStyleTableRecord", 0, false, {k}});
    }
}

void Loader::keepInPlace(const Pending& p, const View& v, std::vector<size_t> groups)
{
    std::sort(groups.begin(), groups.end());
    DxfKept& kept = keptFor(p);
    Walk(v, [&](size_t i, uint8_t, const std::string& sub, int occ, bool, bool) {
        if (!std::binary_search(groups.begin(), groups.end(), i)) return;
        state_[i] |= kRefused;
        KeptGroup k = keptGroup(g_[i]);
        if ((Kind)k.kind == Kind::kHandle) k.id = idOf((uint64_t)k.integer);
        auto run = std::find_if(kept.runs.begin(), kept.runs.end(), [&](const KeptRun& r) {
            return !r.whole && r.subclass == sub && r.occurrence == occ;
        });
        if (run == kept.runs.end()) run = kept.runs.insert(kept.runs.end(), KeptRun{sub, occ, false, {}});
        auto place = std::find_if(run->groups.begin(), run->groups.end(), [i](const KeptGroup& g) { return g.at > i; });
        run->groups.insert(place, std::move(k));
    });
}

DxfKept& Loader::keptFor(const Pending& p)
{
    if (p.sub == kSelf) return keptOf(p.object);
    if (p.sub == kBlockBegin || p.sub == kBlockEnd) {
        auto& slot = p.sub == kBlockBegin ? keptOf(p.object).blockBegin : keptOf(p.object).blockEnd;
        if (!slot) slot = std::make_unique<DxfKept>();
        return *slot;
    }
    auto& subs = keptOf(p.object).subRecords;
    if (subs.size() != p.count) subs.resize(p.count);
    auto& slot = subs[(size_t)p.sub];
    if (!slot) slot = std::make_unique<DxfKept>();
    return *slot;
}

void Loader::noteRecords()
{
    // The records read, by object and which of its records: the first
    // read of each is the one compared.
    auto before = [](const Pending* a, const Pending* b) {
        return a->object != b->object ? std::less<const OdDbObject*>()(a->object, b->object) : a->sub < b->sub;
    };
    std::vector<const Pending*> records;
    records.reserve(pending_.size());
    for (const Pending& p : pending_) records.push_back(&p);
    std::stable_sort(records.begin(), records.end(), before);
    std::vector<std::pair<const Pending*, uint64_t>> hashed;
    hashed.reserve(pending_.size());
    std::vector<std::pair<const Pending*, std::vector<size_t>>> notValues;
    HashRecords(db_, [&](const OdDbObject* of, int sub, uint64_t hash, const CodeSet& codes) {
        Pending key{};
        key.object = const_cast<OdDbObject*>(of);
        key.sub = sub;
        auto it = std::lower_bound(records.begin(), records.end(), &key, before);
        if (it == records.end() || (*it)->object != of || (*it)->sub != sub) return;
        const Pending& p = **it;
        hashed.emplace_back(&p, hash);
        // Values the object did not take, of a code the writer does not
        // write for it, are none of its values: they are kept where they
        // were. A record's own values end at its extended data.
        bool any = false;
        for (size_t i = p.rec->b; i < std::min(p.rec->e, p.valuesEnd) && !any; ++i)
            any = (state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code));
        if (!any) return;
        View v = view(*p.rec, p.written, p.dataRecord);
        std::vector<size_t> groups;
        for (size_t i = v.begin(); i < v.end(); ++i)
            if ((state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code)))
                groups.push_back(i);
        if (!groups.empty()) notValues.emplace_back(&p, std::move(groups));
    });
    for (auto& [p, groups] : notValues) keepInPlace(*p, view(*p->rec, p->written, p->dataRecord), std::move(groups));
    std::vector<const Pending*>().swap(records);

    // The records, by where they are in the file and what the reader made
    // of their groups, for the saves.
    auto out = std::make_unique<DxfFileRecords>();
    out->utf8 = codec_.utf8;
    out->codePage = codec_.codePage;
    const std::map<std::wstring, OdDbObjectId>* tables[4] = {&linetypes_, &styles_, &dimstyles_, &layers_};
    for (int t = 0; t < 4; ++t)
        for (const auto& named : *tables[t]) out->names[t].push_back(named.first);
    std::map<std::vector<const char*>, uint16_t> lists;
    out->records.reserve(hashed.size());
    for (const auto& [p, hash] : hashed) {
        const size_t first = p->rec->b - 1, end = p->rec->e;
        if (p->rec->b == 0 || first >= g_.size() || g_[first].code != 0 || end > g_.size()) continue;
        auto list = lists.emplace(p->written, (uint16_t)lists.size()).first;
        if (list->second >= UINT16_MAX) continue;
        if (list->second == out->written.size()) out->written.push_back(p->written);
        DxfFileRecords::Record r;
        r.of = p->object;
        r.sub = p->sub;
        r.from = (uint32_t)codeLineAt(first);
        r.to = (uint32_t)(end < g_.size() ? codeLineAt(end) : bytes_.size());
        r.state = (uint32_t)out->states.size();
        r.groups = (uint32_t)(end - first);
        r.written = list->second;
        r.dataRecord = p->dataRecord;
        r.hash = hash;
        r.valuesEnd = (uint32_t)(std::min(p->valuesEnd, end) - first);
        r.ownerAt = p->ownerAt >= first && p->ownerAt < end ? (uint32_t)(p->ownerAt - first) : UINT32_MAX;
        out->states.insert(out->states.end(), state_.begin() + (long)first, state_.begin() + (long)end);
        out->records.push_back(r);
    }
    std::sort(out->records.begin(), out->records.end(), [](const DxfFileRecords::Record& a, const DxfFileRecords::Record& b) {
        return a.of != b.of ? std::less<const OdDbObject*>()(a.of, b.of) : a.sub < b.sub;
    });
    // A record read twice into one object counts as read once.
    out->records.erase(std::unique(out->records.begin(), out->records.end(),
                                   [](const DxfFileRecords::Record& a, const DxfFileRecords::Record& b) {
                                       return a.of == b.of && a.sub == b.sub;
                                   }),
                       out->records.end());
    out->states.shrink_to_fit();
    if (!out->records.empty()) records_ = std::move(out);
}

size_t Loader::codeLineAt(size_t group) const
{
    if (group == 0) return 0;
    // The line after the value of the group before.
    const std::string_view value = g_[group - 1].text;
    size_t at = (size_t)(value.data() - bytes_.data()) + value.size();
    while (at < bytes_.size() && bytes_[at] == '\r') ++at;
    if (at < bytes_.size() && bytes_[at] == '\n') ++at;
    return at;
}

std::vector<const char*> Loader::expected(const Rec& r, bool entity) const
{
    int flags = 0;
    if (r.type == "INSERT") {
        // In rows and columns: the marker says so, or (in the oldest form)
        // counts of more than one.
        for (size_t i = r.b; i < r.e && !flags && g_[i].code != 1001; ++i)
            flags = (g_[i].code == 100 && TrimView(g_[i].text) == "AcDbMInsertBlock") ||
                    ((g_[i].code == 70 || g_[i].code == 71) && g_[i].kind == Kind::kInt && g_[i].integer > 1);
    } else if (r.type == "POLYLINE" || r.type == "DIMENSION") {
        flags = (int)peekFlags(r);
    }
    return SubclassesOfRecord(r.type, flags, entity);
}

int64_t Loader::peekFlags(const Rec& r) const { return PeekFlags(g_, r.b, r.e); }

void Loader::leaveOut(const Rec& r, const std::string& why)
{
    std::string type = r.type.empty() ? std::string("a record without a type") : std::string(r.type);
    for (char& c : type)
        if ((unsigned char)c < 0x20) c = '?';
    std::string where = r.b > 0 && r.b - 1 < g_.size() ? " at line " + std::to_string(g_[r.b - 1].line) : "";
    notRead_.push_back(Utf8ToWide(type + where + ": " + why));
}

OdResBuf* Loader::xdataOf(const View& v)
{
    OdResBuf head;
    OdResBuf* tail = &head;
    bool inApp = false;
    for (size_t i = v.end(); i < v.recordEnd(); ++i) {
        const Group& x = g_[i];
        if (x.code == 1001) inApp = true;
        if (!inApp || x.code < 1000) continue;
        auto* rb = new OdResBuf(x.code);
        if (x.code >= 1010 && x.code <= 1013) {
            OdGePoint3d p(x.real, 0, 0);
            if (i + 1 < v.recordEnd() && g_[i + 1].code == x.code + 10) p.y = g_[++i].real;
            if (i + 1 < v.recordEnd() && g_[i + 1].code == x.code + 20) p.z = g_[++i].real;
            rb->setPoint3d(p);
        } else if (x.code == 1005) {
            rb->setString(codec_.decode(x.text));
            const uint64_t h = HandleOfText(x.text);
            fixups_.push_back([this, rb, h] { rb->setObjectId(idOf(h)); });
            rb->setInt32(0);
        } else if (x.kind == Kind::kText) {
            rb->setString(codec_.decode(x.text));
        } else if (x.kind == Kind::kReal) {
            rb->setDouble(x.real);
        } else if (x.kind == Kind::kInt) {
            DxfAccess::setFileInteger(rb, x.integer);
        }
        tail = tail->setNext(rb);
    }
    return head.next();
}

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
    // A code page the reader cannot read is said, not guessed at silently.
    if (cp && (!page || !CodePageReadable(page)) && !codec_.utf8) {
        std::string name(TrimView(cp->text).substr(0, 40));
        for (char& c : name)
            if ((unsigned char)c < 0x20) c = '?';
        notRead_.push_back(Utf8ToWide("the code page \"" + name + "\" ($DWGCODEPAGE at line " +
                                      std::to_string(cp->line - 1) + "): it is not one the reader knows; " +
                                      "text is read as ANSI_936"));
        page = 0;
    }
    codec_.codePage = page ? page : 936;
    // The line type scale is the drawing's; one that is no positive number
    // leaves the default.
    if (const Group* lts = value("$LTSCALE"); lts && lts->kind == Kind::kReal) db_->setLTSCALE(lts->real);
    const Group* seed = value("$HANDSEED");
    if (seed && seed->kind == Kind::kHandle && seed->handle < kMaxHandle) DxfAccess::setHandseed(db_, seed->handle);
}

OdDbObjectId Loader::place(OdDbObject* o, const View& v, OdDbObjectId owner)
{
    uint64_t h = v.handle();
    const bool taken = h && (h >= kMaxHandle || DxfAccess::hasHandle(db_, h));
    if (!h || taken) h = 0;
    OdDbObjectId id = DxfAccess::add(db_, o, h ? h : DxfAccess::nextHandle(db_));
    // A handle given twice, or past what a drawing holds, names another
    // object or none: the record gets a handle of its own, and says so.
    if (taken)
        leaveOut(v.rec(), "its handle " + GroupWriter::HandleValue(v.handle()) +
                              (v.handle() >= kMaxHandle ? " is past what a drawing holds" : " is an earlier record's") +
                              "; it has handle " + GroupWriter::HandleValue((uint64_t)id.getHandle()) + " instead");
    if (h) ids_[h] = id;
    DxfAccess::setOwner(o, owner);
    // What the writer does not write of the record is kept with the object
    // once the file is read.
    std::string type;
    std::vector<const char*> written = WrittenSubclasses(o, type);
    pending_.push_back(Pending{o, kSelf, 0, &v.rec(), written, v.dataRecord(), {}});
    if (type != v.type() && !(v.type() == "TABLE")) keptOf(o).dxfType = std::string(v.type());
    if (std::all_of(subHandles_.begin(), subHandles_.end(), [](uint64_t h) { return h == 0; })) subHandles_.clear();
    if (keptFlags_ || !subHandles_.empty()) {
        DxfKept& kept = keptOf(o);
        kept.flags = keptFlags_;
        kept.subHandles = std::move(subHandles_);
    }
    for (size_t s = 0; s < subRecs_.size(); ++s) {
        if (subRecs_[s].rec->type == "VERTEX" || subRecs_[s].rec->type == "SEQEND")
            takeTiedValues(*subRecs_[s].rec, subRecs_[s].written);
        pending_.push_back(
            Pending{o, (int)s, subRecs_.size(), subRecs_[s].rec, subRecs_[s].written, false, subRecs_[s].dxfType});
    }
    subRecs_.clear();
    subHandles_.clear();
    keptFlags_ = 0;
    if (auto pp = planePoints_.find(o); pp != planePoints_.end()) {
        DxfKept& kept = keptOf(o);
        kept.planeNormal = pp->second.first;
        kept.planePoints = std::move(pp->second.second);
        planePoints_.erase(pp);
    }
    // The object takes the chain itself: its handles are set once every
    // object is there.
    if (OdResBuf* data = xdataOf(v)) DxfAccess::takeXData(o, data);
    uint64_t xdict = v.xdict(), ownerHandle = v.owner();
    if (xdict) xdicts_.push_back(xdict);
    std::vector<uint64_t> reactors = v.reactors();
    bool ownerFromFile = owner.isNull();
    // Most objects need none of it: a large drawing holds no closure each.
    if (xdict || !reactors.empty() || ownerFromFile) {
        fixups_.push_back([this, o, xdict, reactors, ownerHandle, ownerFromFile] {
            if (auto* d = OdRxCast<OdDbDictionary>(obj(idOf(xdict)))) DxfAccess::setExtensionDictionary(o, d->objectId());
            std::set<OdDbObjectId> seen;
            for (uint64_t r : reactors)
                if (OdDbObjectId rid = idOf(r); !rid.isNull() && seen.insert(rid).second) DxfAccess::appendReactor(o, rid);
            if (ownerFromFile && o->ownerId().isNull()) DxfAccess::setOwner(o, idOf(ownerHandle));
        });
    }
    // An extension dictionary that names no owner of its own is the
    // object's.
    if (xdict)
        adoptions_.push_back([this, o, xdict] {
            if (auto* d = OdRxCast<OdDbDictionary>(obj(idOf(xdict))); d && d->ownerId().isNull())
                DxfAccess::setOwner(d, o->objectId());
        });
    return id;
}

OdDbObjectId Loader::newTable(OdDbSymbolTable* t, const Rec* head)
{
    if (head) return place(t, view(*head, {"AcDbSymbolTable"}), OdDbObjectId());
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

void Loader::readTables()
{
    // The records of each table, taken in the order the tables depend on
    // each other (layers name linetypes).
    static const std::set<std::string_view> kTables = {"LTYPE", "LAYER", "STYLE", "VPORT", "VIEW",
                                                       "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    std::map<std::string_view, const Rec*> heads;
    std::map<std::string_view, std::vector<const Rec*>> records;
    std::string_view current;
    for (const auto& r : tables_) {
        if (r.type == "TABLE") {
            View v = view(r, {"AcDbSymbolTable"});
            const Group* name = v.find(2);
            current = name ? TrimView(name->text) : std::string_view();
            if (!current.empty() && !heads.count(current)) heads[current] = &r;
            else leaveOut(r, current.empty() ? "a table head without a name"
                                             : "a second head of a table (its records are read into the first)");
        } else if (r.type == "ENDTAB") {
            current = std::string_view();
        } else if (!current.empty() && r.type == current) {
            records[current].push_back(&r);
        } else {
            leaveOut(r, "a record outside a table of its kind");
        }
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
        if (auto* r = OdRxCast<OdDbSymbolTableRecord>(DxfAccess::object(id))) DxfAccess::setFileFlags(r, (int)v.integer(70, 0));
    };

    std::vector<std::pair<OdDbLinetypeTableRecord*, std::vector<std::pair<int, uint64_t>>>> shapeStyles;
    auto recordView = [this](const Rec* r) { return view(*r, SubclassesOfRecord(r->type, 0, false)); };
    for (const Rec* r : records["LTYPE"]) {
        View v = recordView(r);
        auto* lt = new OdDbLinetypeTableRecord();
        lt->setComments(v.text(3));
        lt->setIsScaledToFit(v.integer(72, 65) == 83);
        // Each dash, with what follows it up to the next.
        std::vector<std::pair<int, uint64_t>> styles;
        int dash = -1;
        // A dash: its length (49), its flags (74) and, when they say it
        // carries a shape or a text, what places it (a text only when it
        // says text). Of each a dash holds one; a value out of its place is
        // kept as read, so that it is out of place again when read back.
        static const int kDashCodes[] = {74, 75, 340, 46, 50, 44, 45, 9};
        bool seen[8] = {};
        int64_t carries = 0;
        for (size_t i = v.subclassStart("AcDbLinetypeTableRecord"); i < v.end(); ++i) {
            if (!v.readable(i)) continue;
            const Group& x = v.at(i);
            const int* slot = std::find(std::begin(kDashCodes), std::end(kDashCodes), x.code);
            if (x.code != 49 && slot == std::end(kDashCodes)) continue;
            if (x.code == 49) {
                std::fill(std::begin(seen), std::end(seen), false);
                carries = 0;
            } else {
                const size_t k = (size_t)(slot - kDashCodes);
                const bool inPlace = dash >= 0 && !seen[k] &&
                                     (x.code == 74 || (x.code == 9 ? (carries & 2) != 0 : (carries & 6) != 0));
                if (!inPlace) {
                    v.refuse(&x);
                    continue;
                }
                seen[k] = true;
                if (x.code == 74) carries = x.integer;
            }
            v.take(i);
            if (x.code == 49) {
                lt->setNumDashes(++dash + 1);
                lt->setDashLengthAt(dash, x.real);
                continue;
            }
            switch (x.code) {
            case 74:
                lt->setShapeIsUcsOrientedAt(dash, x.integer & 1);
                lt->setShapeIsUprightAt(dash, x.integer & 8);
                break;
            case 75: lt->setShapeNumberAt(dash, (int)x.integer); break;
            case 340: styles.emplace_back(dash, x.handle); break;
            case 46: lt->setShapeScaleAt(dash, x.real); break;
            case 50: lt->setShapeRotationAt(dash, x.real * kDegToRad); break;
            case 44: lt->setShapeOffsetAt(dash, OdGeVector2d(x.real, lt->shapeOffsetAt(dash).y)); break;
            case 45: lt->setShapeOffsetAt(dash, OdGeVector2d(lt->shapeOffsetAt(dash).x, x.real)); break;
            case 9: lt->setTextAt(dash, v.decode(x)); break;
            default: break;
            }
        }
        flagsOf(addRecord(roots_.linetypeTable, linetypes_, lt, v.text(2), &v), v);
        if (!styles.empty()) shapeStyles.emplace_back(lt, styles);
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
        View v = recordView(r);
        auto* la = new OdDbLayerTableRecord();
        int64_t flags = v.integer(70, 0);
        int64_t aci = v.integer(62, 7);
        OdCmColor c;
        if (v.has(420)) {
            c.setRGB((uint8_t)(v.integer(420, 0) >> 16), (uint8_t)(v.integer(420, 0) >> 8), (uint8_t)v.integer(420, 0));
            keepColourNumber(la, v, c);
        } else {
            c.setColorIndex((int16_t)(std::abs(aci) >= 1 && std::abs(aci) <= 255 ? std::abs(aci) : 7));
        }
        la->setColor(c);
        la->setIsOff(aci < 0);
        la->setIsFrozen(flags & 1);
        la->setIsLocked(flags & 4);
        OdDbObjectId lt = record(linetypes_, v.text(6));
        la->setLinetypeObjectId(lt.isNull() ? roots_.ltContinuous : lt);
        la->setLineWeight(AsLineWeight(v.integer(370, OdDb::kLnWtByLwDefault)));
        la->setIsPlottable(v.integer(290, 1) != 0);
        flagsOf(addRecord(roots_.layerTable, layers_, la, v.text(2), &v), v);
    }
    roots_.layerZero = layerNamed(L"0");

    for (const Rec* r : records["STYLE"]) {
        View v = recordView(r);
        auto* st = new OdDbTextStyleTableRecord();
        st->setTextSize(v.real(40, 0));
        st->setXScale(v.real(41, 1));
        if (v.has(3)) st->setFileName(v.text(3));
        st->setBigFontFileName(v.text(4));
        st->setObliquingAngle(v.real(50, 0) * kDegToRad);
        st->setFlagBits((uint8_t)v.integer(71, 0));
        st->setPriorSize(v.real(42, 2.5));
        int64_t flags = v.integer(70, 0);
        st->setIsShapeFile(flags & 1);
        st->setIsVertical(flags & 4);
        flagsOf(addRecord(roots_.textStyleTable, styles_, st, v.text(2), &v, (flags & 1) != 0), v);
    }
    roots_.textstyle = record(styles_, L"Standard");
    if (roots_.textstyle.isNull())
        roots_.textstyle = addRecord(roots_.textStyleTable, styles_, new OdDbTextStyleTableRecord(), L"Standard", nullptr);

    auto viewSettings = [](OdDbAbstractViewTableRecord* rec, const View& v, bool viewport) {
        double h = v.real(40, 1);
        rec->setHeight(h);
        rec->setWidth(viewport ? v.real(41, 1) * h : v.real(41, 1));
        OdGePoint3d c = v.point(viewport ? 12 : 10);
        rec->setCenterPoint(OdGePoint2d(c.x, c.y));
        OdGeVector3d dir = v.vector(viewport ? 16 : 11, nullptr, OdGeVector3d(0, 0, 1));
        rec->setViewDirection(dir.isZeroLength() ? OdGeVector3d(0, 0, 1) : dir);
        rec->setTarget(v.point(viewport ? 17 : 12));
        rec->setLensLength(v.real(42, 50));
        rec->setFrontClipDistance(v.real(43, 0));
        rec->setBackClipDistance(v.real(44, 0));
        rec->setViewTwist(v.real(viewport ? 51 : 50, 0));
        int64_t mode = v.integer(71, 0);
        rec->setPerspectiveEnabled(mode & 1);
        rec->setFrontClipEnabled(mode & 2);
        rec->setBackClipEnabled(mode & 4);
        rec->setFrontClipAtEye(!(mode & 16));
    };
    for (const Rec* r : records["VPORT"]) {
        View v = recordView(r);
        auto* vp = new OdDbViewportTableRecord();
        viewSettings(vp, v, true);
        flagsOf(addRecord(roots_.viewportTable, vports_, vp, v.text(2), &v), v);
    }
    if (record(vports_, L"*ACTIVE").isNull())
        addRecord(roots_.viewportTable, vports_, new OdDbViewportTableRecord(), L"*ACTIVE", nullptr);
    for (const Rec* r : records["VIEW"]) {
        View v = recordView(r);
        auto* vw = new OdDbViewTableRecord();
        viewSettings(vw, v, false);
        vw->setIsPaperspaceView(v.integer(70, 0) & 1);
        flagsOf(addRecord(roots_.viewTable, views_, vw, v.text(2), &v), v);
    }
    for (const Rec* r : records["UCS"]) {
        View v = recordView(r);
        auto* u = new OdDbUCSTableRecord();
        u->setOrigin(v.point(10));
        u->setXAxis(v.vector(11, nullptr, OdGeVector3d(1, 0, 0)));
        u->setYAxis(v.vector(12, nullptr, OdGeVector3d(0, 1, 0)));
        flagsOf(addRecord(roots_.ucsTable, ucss_, u, v.text(2), &v), v);
    }
    for (const Rec* r : records["APPID"]) {
        View v = recordView(r);
        flagsOf(addRecord(roots_.regAppTable, apps_, new OdDbRegAppTableRecord(), v.text(2), &v), v);
    }
    for (const Rec* r : records["DIMSTYLE"]) {
        View v = recordView(r);
        OdDbObjectId id = addRecord(roots_.dimStyleTable, dimstyles_, new OdDbDimStyleTableRecord(), v.text(2), &v);
        flagsOf(id, v);
        // The oldest form names a style's arrow blocks (groups 5, 6, 7);
        // the form saved names their records (342, 343, 344). Both go.
        std::vector<std::pair<int, std::wstring>> arrows;
        bool named[3] = {false, false, false};
        for (size_t i = v.begin(); i < v.end(); ++i) {
            const Group& x = v.at(i);
            if (x.code >= 342 && x.code <= 344) named[x.code - 342] = true;
            if (x.code >= 5 && x.code <= 7 && x.kind == Kind::kText && !TrimView(x.text).empty())
                arrows.emplace_back(x.code + 337, v.decode(x));
        }
        auto* style = obj(id);
        if (style)
            for (const auto& [code, name] : arrows)
                if (!named[code - 342])
                    fixups_.push_back([this, style, code = code, name = name] {
                        OdDbObjectId block = record(blockNames_, name);
                        if (block.isNull()) block = record(blockNames_, L"_" + name);
                        if (!block.isNull()) arrowBlocks_.push_back({style, code, block});
                    });
    }
    if (record(dimstyles_, L"Standard").isNull())
        addRecord(roots_.dimStyleTable, dimstyles_, new OdDbDimStyleTableRecord(), L"Standard", nullptr);
    for (const Rec* r : records["BLOCK_RECORD"]) {
        View v = recordView(r);
        addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), v.text(2), &v);
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
        std::wstring name = v.text(2);
        if (!name.empty() && record(blockNames_, name).isNull())
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, nullptr);
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
        View v = view(blocks_[i], begin);
        OdDbObjectId block = record(blockNames_, v.text(2));
        size_t last = i + 1;
        while (last < blocks_.size() && blocks_[last].type != "ENDBLK" && blocks_[last].type != "BLOCK") ++last;
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(block));
        // A block defined twice keeps its first definition.
        if (btr && defined.insert(block).second) {
            DxfAccess::setOrigin(btr, v.point(10));
            DxfAccess::setFileFlags(btr, (int)v.integer(70, 0));
            keptOf(btr).blockBegin = std::make_unique<DxfKept>();
            keptOf(btr).blockBegin->handle = v.handle();
            takeTiedValues(blocks_[i], begin);
            pending_.push_back(Pending{btr, kBlockBegin, 0, &blocks_[i], begin, false, {}});
            if (last < blocks_.size() && blocks_[last].type == "ENDBLK") {
                View ev = view(blocks_[last], end);
                if (ev.handle()) {
                    keptOf(btr).blockEnd = std::make_unique<DxfKept>();
                    keptOf(btr).blockEnd->handle = ev.handle();
                }
                takeTiedValues(blocks_[last], end);
                pending_.push_back(Pending{btr, kBlockEnd, 0, &blocks_[last], end, false, {}});
            }
            readEntities(blocks_, i + 1, last, block);
        } else {
            const std::string why = btr ? "a second definition of a block" : "a block without a name";
            for (size_t k = i; k <= last && k < blocks_.size(); ++k) leaveOut(blocks_[k], why);
        }
        i = last < blocks_.size() && blocks_[last].type == "ENDBLK" ? last : last - 1;
    }
}

void Loader::readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block)
{
    for (size_t i = from; i < to;) i = readEntity(recs, i, to, block);
}

size_t Loader::readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block)
{
    std::optional<View> view1;
    view1.emplace(view(recs[i], expected(recs[i], true)));
    OdDbObjectId owner = block;
    if (owner.isNull()) {
        // Entities of the entities section: the block their owner names,
        // else paper or model space.
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(view1->owner())));
        owner = btr ? btr->objectId()
                    : view1->integer(67, 0) == 1 ? record(blockNames_, L"*Paper_Space") : roots_.modelSpace;
    }
    size_t next = i;
    std::vector<OdDbAttribute*> attrs;
    std::vector<const Rec*> attrRecs;
    OdDbEntity* e = nullptr;
    for (int attempt = 0;; ++attempt) {
        strayEnd_ = nullptr;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        next = i;
        const size_t fixups = fixups_.size();
        e = makeEntity(*view1, recs, next, to, attrs, attrRecs);
        if (!e || DxfAccess::fileRecordOf(e)) break;
        // What the record turned out to be once read (a polyline's kind
        // told by flags in a part the writer does not write) is read again
        // as such, so that what it holds is split as it will be written; a
        // record that is read as one kind and says it is another is kept
        // whole.
        std::string type;
        std::vector<const char*> actual = WrittenSubclasses(e, type);
        if (actual == view1->written()) break;
        delete e;
        e = nullptr;
        for (auto* a : attrs) delete a;
        attrs.clear();
        attrRecs.clear();
        fixups_.resize(fixups);
        if (attempt == 1) {
            e = keptWhole(*view1, recs, i, next, to);
            break;
        }
        for (size_t k = i; k < std::max(next, i + 1) && k < to; ++k)
            for (size_t g = recs[k].b; g < recs[k].e; ++g) state_[g] &= (uint8_t)~(kTaken | kRefused);
        view1.emplace(view(recs[i], actual));
    }
    const View& v = *view1;
    if (next == i) ++next;
    if (!e) {
        for (auto* a : attrs) delete a;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        if (recs[i].type == "INSERT") {
            leaveOut(recs[i], "a block reference that names no block it can draw");
            for (size_t k = i + 1; k < next; ++k)
                leaveOut(recs[k], recs[k].type == "ATTRIB" ? "an attribute of that block reference"
                                                           : "the end of that block reference's attributes");
        } else {
            for (size_t k = i; k < next; ++k) leaveOut(recs[k], "a record of a sequence that follows no entity of its own");
        }
        strayEnd_ = nullptr;
        return next;
    }
    if (strayEnd_) leaveOut(*strayEnd_, "the end of a sequence of attributes after a reference without any");
    strayEnd_ = nullptr;
    common(e, v);
    OdDbObjectId id = place(e, v, owner);
    DxfAccess::addEntity(static_cast<OdDbBlockTableRecord*>(obj(owner)), id);
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        references_.push_back(Reference{id, owner, {&recs[i]}});
        references_.back().records.insert(references_.back().records.end(), attrRecs.begin(), attrRecs.end());
        for (size_t k = 0; k < attrs.size(); ++k) {
            View av = view(*attrRecs[k], expected(*attrRecs[k], true));
            common(attrs[k], av);
            DxfAccess::addAttribute(ref, place(attrs[k], av, id));
        }
    }
    return next;
}

void Loader::common(OdDbEntity* e, const View& v)
{
    e->setLayer(layerNamed(v.text(8)), false, true);
    std::wstring lt = v.text(6);
    OdDbObjectId ltId = lt.empty() ? OdDbObjectId() : record(linetypes_, lt);
    e->setLinetype(ltId.isNull() ? roots_.ltByLayer : ltId, false);
    OdCmColor c;
    int64_t aci = v.integer(62, 256);
    if (v.has(420)) {
        int64_t rgb = v.integer(420, 0);
        c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
        keepColourNumber(e, v, c);
    } else if (aci >= 0 && aci <= 256) {
        c.setColorIndex((int16_t)aci);
    }
    e->setColor(c, false);
    double s = v.real(48, 1);
    if (s > 0) e->setLinetypeScale(s, false);
    if (v.has(440)) {
        auto t = OdCmTransparency::fromSerialized((uint32_t)v.integer(440, 0));
        if (t.method() != OdCmTransparency::kErrorValue) e->setTransparency(t, false);
    }
    if (v.has(370)) DxfAccess::setLineWeight(e, (int)v.integer(370, OdDb::kLnWtByLayer));
    if (v.integer(60, 0) == 1) e->setVisibility(OdDb::kInvisible, false);
}
// A hatch's boundary loops are positional: each loop's groups follow its
// type in a fixed order, so they are read with a cursor.
class Cursor {
public:
    // Groups that are not the object's values (kept, the record's frame)
    // are passed over.
    Cursor(const View& v, size_t from) : v_(&v), i_(from) { skip(); }
    bool at(int code) const { return i_ < v_->end() && v_->at(i_).code == code; }
    const Group* take(int code)
    {
        if (!at(code)) return nullptr;
        const Group* x = &v_->take(i_++);
        skip();
        return x;
    }
    bool real(int code, double& out)
    {
        const Group* x = take(code);
        if (x && x->kind == Kind::kReal) out = x->real;
        return x != nullptr;
    }
    bool integer(int code, int64_t& out)
    {
        const Group* x = take(code);
        if (x && x->kind == Kind::kInt) out = x->integer;
        return x != nullptr;
    }
    bool point2(int code, OdGePoint2d& p) { return real(code, p.x) && real(code + 10, p.y); }
    // Up to `n` items, never more than the groups left could hold.
    int64_t bound(int64_t n, int groupsEach) const
    {
        int64_t left = (int64_t)(v_->end() - std::min(i_, v_->end()));
        return std::max<int64_t>(0, std::min(n, left / std::max(1, groupsEach)));
    }
    size_t pos() const { return i_; }
private:
    void skip()
    {
        while (i_ < v_->end() && !v_->readable(i_)) ++i_;
    }

    const View* v_;
    size_t i_;
};

// One edge of a boundary loop, or null when its groups are broken; a
// spline's fit data goes to `fit`.
OdGeCurve2d* ReadEdge(Cursor& c, int64_t type, bool lastEdge, OdDbHatch::SplineFit& fit)
{
    OdGePoint2d p, q;
    double r = 0, s = 0, e = 0;
    int64_t ccw = 1;
    switch (type) {
    case OdDbHatch::kLine:
        if (!c.point2(10, p) || !c.point2(11, q)) return nullptr;
        return new OdGeLineSeg2d(p, q);
    case OdDbHatch::kCirArc: {
        if (!c.point2(10, p) || !c.real(40, r) || !c.real(50, s) || !c.real(51, e) || !c.integer(73, ccw)) return nullptr;
        double a0 = s * kDegToRad, a1 = e * kDegToRad;
        while (a1 < a0) a1 += 2 * M_PI;
        if (!(r > 0) || a1 - a0 > 4 * M_PI) return nullptr;
        return new OdGeCircArc2d(p, r, a0, a1, OdGeVector2d::kXAxis, ccw == 0);
    }
    case OdDbHatch::kEllArc: {
        double ratio = 1;
        if (!c.point2(10, p) || !c.point2(11, q) || !c.real(40, ratio) || !c.real(50, s) || !c.real(51, e) ||
            !c.integer(73, ccw))
            return nullptr;
        OdGeVector2d maj(q.x, q.y);
        if (maj.length() <= 0 || !(ratio > 0)) return nullptr;
        double t0 = EllipseParamOfAngle(ratio, s * kDegToRad), t1 = EllipseParamOfAngle(ratio, e * kDegToRad);
        while (t1 < t0) t1 += 2 * M_PI;
        if (t1 - t0 > 4 * M_PI) return nullptr;
        OdGeVector2d minor(-maj.y, maj.x);
        if (ccw == 0) minor = minor * -1.0;
        return new OdGeEllipArc2d(p, maj, minor, maj.length(), maj.length() * ratio, t0, t1);
    }
    case OdDbHatch::kSpline: {
        int64_t degree = 0, rational = 0, periodic = 0, nKnots = 0, nCtrl = 0;
        if (!c.integer(94, degree) || !c.integer(73, rational) || !c.integer(74, periodic) || !c.integer(95, nKnots) ||
            !c.integer(96, nCtrl))
            return nullptr;
        OdGeDoubleArray knots, weights;
        OdGePoint2dArray ctrl;
        for (int64_t k = 0, n = c.bound(nKnots, 1); k < n; ++k) {
            double x = 0;
            if (!c.real(40, x)) return nullptr;
            knots.append(x);
        }
        for (int64_t k = 0, n = c.bound(nCtrl, 2); k < n; ++k) {
            OdGePoint2d cp;
            if (!c.point2(10, cp)) return nullptr;
            ctrl.append(cp);
            double w = 1;
            if (rational && c.real(42, w)) weights.append(w);
        }
        if (knots.length() != nKnots || ctrl.length() != nCtrl) return nullptr;
        // Fit data: its count shares the code of the loop's source count,
        // which follows the last edge; fit points or a second count tell
        // them apart.
        int64_t nFit = 0;
        Cursor look = c;
        if (look.integer(97, nFit) && (look.at(11) || (nFit == 0 && (look.at(97) || !lastEdge)))) {
            c = look;
            for (int64_t k = 0, n = c.bound(nFit, 2); k < n; ++k) {
                OdGePoint2d fp;
                if (!c.point2(11, fp)) return nullptr;
                fit.points.append(fp);
            }
            OdGePoint2d t;
            if (c.at(12) && c.point2(12, t)) {
                fit.hasStart = true;
                fit.start = OdGeVector2d(t.x, t.y);
            }
            if (c.at(13) && c.point2(13, t)) {
                fit.hasEnd = true;
                fit.end = OdGeVector2d(t.x, t.y);
            }
        }
        if (degree < 1 || degree > 25 || !OdGeIsValidBSpline((int)degree, knots, ctrl.length(),
                                                                weights.length() == ctrl.length() ? weights : OdGeDoubleArray()))
            return nullptr;
        if (weights.length() == ctrl.length()) return new OdGeNurbCurve2d((int)degree, knots, ctrl, weights);
        return new OdGeNurbCurve2d((int)degree, knots, ctrl);
    }
    default: return nullptr;
    }
}

// A normal as read (a zero one, or one not finite, is +Z), of unit length.
// A normal as given, of unit length; +Z for none.
OdGeVector3d UnitNormal(const OdGeVector3d& n)
{
    return n.isZeroLength() || !Finite(n) ? OdGeVector3d(0, 0, 1) : n.normal();
}

OdGeVector3d NormalOf(const View& v, const char* sub) { return UnitNormal(v.vector(210, sub, OdGeVector3d(0, 0, 1))); }

bool IsPlusZ(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

OdGePoint3d ToWorld(const OdGePoint3d& p, const OdGeVector3d& n) { return IsPlusZ(n) ? p : OcsToWcs(p, n); }

OdDbEntity* Loader::makeText(const View& v, std::string_view type)
{
    OdDbText* t;
    const char* sub = type == "ATTDEF" ? "AcDbAttributeDefinition" : type == "ATTRIB" ? "AcDbAttribute" : "AcDbText";
    int64_t flags = v.integer(70, 0, sub);
    if (type == "ATTDEF") {
        auto* d = new OdDbAttributeDefinition();
        d->setTag(v.text(2, sub).c_str());
        d->setPrompt(v.text(3, sub).c_str());
        d->setInvisible(flags & 1);
        d->setConstant(flags & 2);
        d->setVerifiable(flags & 4);
        d->setPreset(flags & 8);
        d->setFieldLength((int)v.integer(73, 0, sub));
        t = d;
    } else if (type == "ATTRIB") {
        auto* a = new OdDbAttribute();
        a->setTag(v.text(2, sub).c_str());
        a->setInvisible(flags & 1);
        a->setConstant(flags & 2);
        a->setVerifiable(flags & 4);
        a->setPreset(flags & 8);
        a->setFieldLength((int)v.integer(73, 0, sub));
        t = a;
    } else {
        t = new OdDbText();
    }
    // An attribute's text values are read from its text subclass, or where
    // a file gives them after the attribute's own marker (as its tag, before
    // its vertical alignment, lock flag or embedded text: what follows those
    // means other things in multi-line attributes, and is kept).
    const bool ownMarker = type != "TEXT" && v.hasSubclass(sub);
    size_t from = v.subclassStart(sub), to = from;
    if (ownMarker)
        for (bool tag = false; to < v.end(); tag |= v.at(to).code == 2, ++to) {
            const int c = v.at(to).code;
            if (c == 100 || c == 101 || c == 74 || (c == 280 && tag)) break;
        }
    auto value = [&](int code) {
        const Group* x = v.find(code, "AcDbText");
        return x || to == from ? x : v.find(code, nullptr, 0, from, to);
    };
    auto real = [&](int code, double def) {
        const Group* x = value(code);
        return x && x->kind == Kind::kReal ? x->real : def;
    };
    auto integer = [&](int code, int64_t def) {
        const Group* x = value(code);
        return x && x->kind == Kind::kInt ? x->integer : def;
    };
    // Positions are in the text's own plane.
    const OdGeVector3d n = UnitNormal(OdGeVector3d(real(210, 0), real(220, 0), real(230, 1)));
    t->setNormal(n);
    const OdGePoint3d at = v.point(10, "AcDbText"), align(real(11, 0), real(21, 0), real(31, 0));
    t->setPosition(ToWorld(at, n));
    t->setAlignmentPoint(ToWorld(align, n));
    rememberPlane(t, t->normal(), {{at, t->position()}, {align, t->alignmentPoint()}});
    t->setHeight(v.real(40, 0, "AcDbText"));
    t->setTextString(v.text(1, "AcDbText").c_str());
    t->setRotation(real(50, 0) * kDegToRad);
    t->setWidthFactor(real(41, 1));
    t->setOblique(real(51, 0) * kDegToRad);
    t->setThickness(real(39, 0));
    int64_t generation = integer(71, 0);
    t->mirrorInX(generation & 2);
    t->mirrorInY(generation & 4);
    t->setTextStyle(styleOf(v, value(7)));
    int64_t h = integer(72, 0);
    // Text values after the attribute's marker that were not read are kept
    // where they are, none of them in the place of one the writer writes.
    static const std::set<int> kTextCodes{50, 41, 51, 7, 71, 72, 11, 21, 31, 39, 210, 220, 230};
    for (size_t k = from; ownMarker && k < v.end() && v.at(k).code != 100 && v.at(k).code != 101; ++k)
        if (v.readable(k) && !v.taken(k) && kTextCodes.count(v.at(k).code)) v.refuse(&v.at(k));
    // A text's vertical alignment is in its second text subclass, where it
    // is written.
    const Group* vertical = type == "TEXT" ? v.findIn(73, "AcDbText", 1) : v.find(74, sub);
    int64_t vm = vertical && vertical->kind == Kind::kInt ? vertical->integer : 0;
    t->setHorizontalMode(h >= 0 && h <= 5 ? (OdDb::TextHorzMode)h : OdDb::kTextLeft);
    t->setVerticalMode(vm >= 0 && vm <= 3 ? (OdDb::TextVertMode)vm : OdDb::kTextBase);
    return t;
}

OdDbEntity* Loader::makeMText(const View& v)
{
    const char* sub = "AcDbMText";
    auto* m = new OdDbMText();
    m->setLocation(v.point(10, sub));
    m->setTextHeight(v.real(40, 2.5, sub));
    m->setWidth(v.real(41, 0, sub));
    int64_t a = v.integer(71, 1, sub), f = v.integer(72, 1, sub);
    m->setAttachment(a >= 1 && a <= 9 ? (OdDbMText::AttachmentPoint)a : OdDbMTextEnums::kTopLeft);
    m->setFlowDirection(f >= 1 && f <= 5 ? (OdDbMText::FlowDirection)f : OdDbMTextEnums::kLtoR);
    // The contents: the pieces (3) in order and the last (1), up to an
    // embedded object; a second 1, and a piece after the last, are kept as
    // read.
    std::string raw;
    bool last = false;
    for (size_t k = v.subclassStart(sub); k < v.end() && v.at(k).code != 101 && v.at(k).code != 100; ++k) {
        if (!v.readable(k) || (v.at(k).code != 1 && v.at(k).code != 3)) continue;
        if (last) {
            if (v.at(k).code == 3) v.refuse(&v.at(k));
            continue;
        }
        raw += v.take(k).text;
        last = v.at(k).code == 1;
    }
    m->setContents(codec_.decode(raw).c_str());
    m->setTextStyle(styleNamed(v, sub));
    OdGeVector3d n = NormalOf(v, sub);
    m->setNormal(n);
    if (v.has(11, sub) || !v.has(50, sub)) {
        // The direction is a world vector; the rotation is taken in the
        // text's plane. A file that gives neither a direction nor a
        // rotation means the world's x axis, as in a plane of its own.
        const OdGeVector3d given = v.vector(11, sub, OdGeVector3d(1, 0, 0));
        OdGeVector3d d = given, ax, ay;
        OdGePlaneAxes(n, ax, ay);
        d = d - n * d.dotProduct(n);
        m->setRotation(d.isZeroLength() || !Finite(d) ? 0 : std::atan2(d.dotProduct(ay), d.dotProduct(ax)));
        // The direction goes back as the file gave it while the rotation
        // holds (it is the one saving would work out).
        if (v.has(11, sub)) {
            const OdGeVector3d now = ax * std::cos(m->rotation()) + ay * std::sin(m->rotation());
            rememberPlane(m, m->normal(), {{OdGePoint3d(given.x, given.y, given.z), OdGePoint3d(now.x, now.y, now.z)}},
                          true);
        }
    } else {
        m->setRotation(v.real(50, 0, sub) * kDegToRad);
    }
    int64_t spacing = v.integer(73, 1, sub);
    if (spacing == 2) m->setLineSpacingStyle(OdDb::kExactly);
    m->setLineSpacingFactor(v.real(44, 1, sub));
    int64_t fill = v.integer(90, 0, sub);
    if (fill) {
        DxfAccess::setMTextFill(m, (int)fill);
        OdCmColor c;
        if (v.has(421, sub)) {
            int64_t rgb = v.integer(421, 0, sub);
            c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
        } else {
            c.setColorIndex((int16_t)std::clamp<int64_t>(v.integer(63, 7, sub), 0, 256));
        }
        m->setBackgroundFillColor(c);
        double scale = v.real(45, 1.5, sub);
        if (m->setBackgroundScaleFactor(scale) != eOk) m->setBackgroundScaleFactor(std::clamp(scale, 1.0, 5.0));
        auto t = OdCmTransparency::fromSerialized((uint32_t)v.integer(441, 0, sub));
        if (t.method() != OdCmTransparency::kErrorValue) m->setBackgroundTransparency(t);
    }
    return m;
}

OdDbEntity* Loader::makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to)
{
    int64_t flags = v.integer(70, 0);
    // The vertices and the end of the sequence follow the polyline.
    const std::string_view parent = v.written().size() > 1 ? v.written()[1] : "";
    std::vector<View> verts;
    size_t k = i + 1;
    for (; k < to && recs[k].type == "VERTEX"; ++k)
        verts.push_back(view(recs[k], SubRecordSubclasses(parent, "VERTEX", (int)peekFlags(recs[k]))));
    const Rec* seqend = k < to && recs[k].type == "SEQEND" ? &recs[k] : nullptr;
    if (seqend) ++k;
    i = k;
    // Each vertex is written as the kind its flags make it, a mesh's
    // vertices before its faces: records that read otherwise are kept
    // whole.
    bool faces = false;
    for (const auto& x : verts) {
        const int vf = (int)x.integer(70, 0);
        if (SubRecordSubclasses(parent, "VERTEX", vf) != x.written()) return nullptr;
        if ((flags & 64) && !(flags & 16) && !(vf & 64)) faces = true;
        else if (faces && (flags & 64) && !(flags & 16)) return nullptr;
    }
    OdDbEntity* made = nullptr;
    if (flags & 16) {
        int64_t m = v.integer(71, 0), n = v.integer(72, 0);
        OdGePoint3dArray pts;
        for (const auto& x : verts) pts.append(x.point(10));
        if (m < 2 || n < 2 || m * n != pts.length()) return nullptr;
        auto type = (OdDb::PolyMeshType)v.integer(75, 0);
        if (type != OdDb::kQuadSurfaceMesh && type != OdDb::kCubicSurfaceMesh && type != OdDb::kBezierSurfaceMesh)
            type = OdDb::kSimpleMesh;
        auto* mesh = new OdDbPolygonMesh(type, (int)m, (int)n, pts, flags & 1, flags & 32);
        mesh->setMSurfaceDensity((int)std::max<int64_t>(0, v.integer(73, 0)));
        mesh->setNSurfaceDensity((int)std::max<int64_t>(0, v.integer(74, 0)));
        made = mesh;
    } else if (flags & 64) {
        auto* mesh = new OdDbPolyFaceMesh();
        for (const auto& x : verts)
            if (x.integer(70, 0) & 64) mesh->appendVertex(x.point(10));
        for (const auto& x : verts) {
            if (x.integer(70, 0) & 64) continue;
            int16_t f[4];
            for (int q = 0; q < 4; ++q) f[q] = (int16_t)x.integer(71 + q, 0);
            if (mesh->appendFaceRecord(f[0], f[1], f[2], f[3]) != eOk) {
                delete mesh;
                return nullptr;
            }
        }
        made = mesh;
    } else if (flags & 8) {
        // Spline-fit polylines keep their frame as vertices; the generated
        // points are kept as the file gave them.
        OdGePoint3dArray pts;
        auto* p3 = new OdDb3dPolyline((flags & 4) ? (v.integer(75, 0) == 5 ? OdDb::k3dQuadSplinePoly : OdDb::k3dCubicSplinePoly)
                                                  : OdDb::k3dSimplePoly,
                                      pts, flags & 1);
        for (const auto& x : verts) {
            int64_t vf = x.integer(70, 0);
            p3->appendVertex(x.point(10), (vf & 16) ? OdDb::k3dControlVertex : (vf & 8) ? OdDb::k3dFitVertex
                                                                                        : OdDb::k3dSimpleVertex);
        }
        made = p3;
    } else {
        OdDb::Poly2dType type = (flags & 4) ? (v.integer(75, 0) == 5 ? OdDb::k2dQuadSplinePoly : OdDb::k2dCubicSplinePoly)
                                : (flags & 2) ? OdDb::k2dFitCurvePoly
                                              : OdDb::k2dSimplePoly;
        double elevation = v.point(10).z;
        double sw = v.real(40, 0), ew = v.real(41, 0);
        auto* p = new OdDb2dPolyline(type, OdGePoint3dArray(), elevation, flags & 1, sw, ew);
        p->setNormal(NormalOf(v, nullptr));
        p->setThickness(v.real(39, 0));
        p->setLinetypeGenerationOn(flags & 128);
        for (const auto& x : verts) {
            OdGePoint3d pt = x.point(10);
            int64_t vf = x.integer(70, 0);
            auto vt = (vf & 16) ? OdDb::k2dSplineCtlVertex : (vf & 8) ? OdDb::k2dSplineFitVertex
                      : (vf & 1) ? OdDb::k2dCurveFitVertex : OdDb::k2dVertex;
            p->appendVertex(OdGePoint3d(pt.x, pt.y, elevation), x.real(42, 0), x.real(40, sw), x.real(41, ew), vt);
        }
        made = p;
    }
    // What each vertex and the sequence end hold beyond what is modelled
    // is kept with them.
    for (const auto& x : verts) {
        subRecs_.push_back(SubRecord{&x.rec(), x.written(), {}});
        subHandles_.push_back(x.handle());
    }
    if (seqend) {
        View sv = view(*seqend, SubRecordSubclasses(parent, "SEQEND", 0));
        subRecs_.push_back(SubRecord{seqend, sv.written(), {}});
        subHandles_.push_back(sv.handle());
    }
    return made;
}

OdDbEntity* Loader::makeSpline(const View& v)
{
    const char* sub = "AcDbSpline";
    int64_t flags = v.integer(70, 0, sub), degree = v.integer(71, 3, sub);
    OdGeDoubleArray knots, weights;
    OdGePoint3dArray ctrl, fit;
    size_t from = v.subclassStart(sub);
    for (size_t k = from; k < v.end(); ++k) {
        if (!v.readable(k)) continue;
        const Group& x = v.at(k);
        if (x.code == 40) knots.append(v.take(k).real);
        else if (x.code == 41) weights.append(v.take(k).real);
        else if (x.code == 10) ctrl.append(v.pointAt(k));
        else if (x.code == 11) fit.append(v.pointAt(k));
    }
    bool rational = (flags & 4) && weights.length() == ctrl.length();
    if (degree < 1 || degree > 25) return nullptr;
    OdDbSpline* s;
    if (ctrl.isEmpty() && fit.length() >= 2) {
        // Through the fit points, of the degree the file gave; saved again
        // by its fit points alone.
        s = new OdDbSpline(fit, OdGeVector3d(), OdGeVector3d(), (int)degree + 1);
        DxfAccess::setSplineFile(s, (int)flags, true, (int)degree);
    } else {
        s = new OdDbSpline((int)degree, rational, flags & 1, flags & 2, ctrl, knots,
                           rational ? weights : OdGeDoubleArray());
        DxfAccess::setSplineData(s, rational ? weights : OdGeDoubleArray(), fit);
        DxfAccess::setSplineFile(s, (int)flags, false);
        // Weights the file gave but the spline does not use are not lost.
        if (!rational && !weights.isEmpty()) {
            delete s;
            return nullptr;
        }
    }
    if (s->isNull()) {
        delete s;
        return nullptr;
    }
    return s;
}

OdDbEntity* Loader::makeHatch(const View& v)
{
    auto* h = new OdDbHatch();
    const char* sub = "AcDbHatch";
    h->setElevation(v.point(10, sub).z);
    OdGeVector3d n = v.vector(210, sub, OdGeVector3d(0, 0, 1));
    if (!n.isZeroLength()) h->setNormal(n);
    std::wstring pattern = v.text(2, sub);
    int64_t patternType = v.integer(76, 1, sub);
    bool solid = v.integer(70, 0, sub) & 1;
    // The values before the loops, the loops, and the values after them.
    size_t start = v.subclassStart(sub);
    const Group* count = v.find(91, sub);
    Cursor c(v, count ? v.indexOf(count) : v.end());
    int64_t loops = 0;
    c.integer(91, loops);
    std::vector<std::vector<uint64_t>> sources;
    bool broken = false;
    for (int64_t l = 0, nl = c.bound(loops, 2); l < nl && !broken; ++l) {
        int64_t type = 0;
        if (!c.integer(92, type)) {
            broken = true;
            break;
        }
        std::vector<uint64_t> src;
        if (type & OdDbHatch::kPolyline) {
            int64_t bulged = 0, closed = 1, nv = 0;
            c.integer(72, bulged);
            c.integer(73, closed);
            if (!c.integer(93, nv)) {
                broken = true;
                break;
            }
            OdGePoint2dArray verts;
            OdGeDoubleArray bulges;
            for (int64_t k = 0, cnt = c.bound(nv, 2); k < cnt; ++k) {
                OdGePoint2d p;
                if (!c.point2(10, p)) break;
                double b = 0;
                if (c.at(42)) c.real(42, b);
                verts.append(p);
                bulges.append(b);
            }
            if (verts.length() != nv || h->appendLoop((int)type, verts, bulges) != eOk) {
                broken = true;
                break;
            }
            DxfAccess::setLoopClosed(h, h->numLoops() - 1, closed != 0);
        } else {
            int64_t ne = 0;
            if (!c.integer(93, ne)) {
                broken = true;
                break;
            }
            std::vector<OdGeCurve2d*> edges;
            OdGeIntArray types;
            std::vector<OdDbHatch::SplineFit> fits;
            bool anyFit = false;
            for (int64_t k = 0, cnt = c.bound(ne, 2); k < cnt; ++k) {
                int64_t et = 0;
                OdDbHatch::SplineFit fit;
                OdGeCurve2d* edge = c.integer(72, et) ? ReadEdge(c, et, k + 1 == cnt, fit) : nullptr;
                if (!edge) break;
                edges.push_back(edge);
                types.append((int)et);
                anyFit = anyFit || !fit.points.isEmpty() || fit.hasStart || fit.hasEnd;
                fits.push_back(fit);
            }
            broken = (int64_t)edges.size() != ne || edges.empty();
            if (!broken) {
                // Kept in the order the file gave, joined or not: a loop
                // with a gap is the file's to mend.
                DxfAccess::appendLoopAsRead(h, (int)type, edges, types, anyFit ? fits : std::vector<OdDbHatch::SplineFit>());
            }
            for (auto* e : edges) delete e;
            if (broken) break;
        }
        int64_t ns = 0;
        if (c.integer(97, ns))
            for (int64_t k = 0, cnt = c.bound(ns, 1); k < cnt; ++k)
                if (const Group* x = c.take(330)) src.push_back(x->handle);
        // A boundary object the file does not hold cannot be one of the
        // hatch's: the record is kept whole.
        for (uint64_t s : src)
            if (!defined_.count(s)) broken = true;
        sources.push_back(src);
    }
    if (broken || h->numLoops() != loops) {
        // Loops the hatch cannot hold as read: the file's record is kept
        // whole instead.
        delete h;
        return nullptr;
    }
    // Without a count of loops there are none, and what follows them is
    // the whole subclass.
    size_t after = count ? std::max(c.pos(), start) : start;
    auto later = [&](int code) { return v.find(code, nullptr, 0, after); };
    if (const Group* st = later(75); st && st->integer >= 0 && st->integer <= 2)
        h->setHatchStyle((OdDbHatch::HatchStyle)st->integer);
    // A solid fill has no pattern: a pattern's angle, scale and doubling
    // given with one are kept as the file wrote them, wherever they are.
    const bool solidFill = solid || Lower(pattern) == L"solid";
    double angle = 0, scale = 1;
    if (const Group* a = solidFill ? nullptr : later(52); a && a->kind == Kind::kReal) angle = a->real * kDegToRad;
    if (const Group* s = solidFill ? nullptr : later(41); s && s->kind == Kind::kReal && s->real > 0) scale = s->real;
    if (const Group* d = solidFill ? nullptr : later(77)) h->setPatternDouble(d->integer != 0);
    // The pattern's lines as the file gives them.
    OdHatchPattern lines;
    if (const Group* nlines = later(78); nlines && nlines->integer > 0) {
        Cursor lc(v, v.indexOf(nlines) + 1);
        for (int64_t l = 0, cnt = lc.bound(nlines->integer, 6); l < cnt; ++l) {
            OdHatchPatternLine line;
            double ang = 0, bx = 0, by = 0, ox = 0, oy = 0;
            int64_t dashes = 0;
            if (!lc.real(53, ang) || !lc.real(43, bx) || !lc.real(44, by) || !lc.real(45, ox) || !lc.real(46, oy) ||
                !lc.integer(79, dashes))
                break;
            line.m_dLineAngle = ang * kDegToRad;
            line.m_basePoint.set(bx, by);
            line.m_patternOffset = OdGeVector2d(ox, oy);
            for (int64_t d = 0, nd = lc.bound(dashes, 1); d < nd; ++d) {
                double len = 0;
                if (!lc.real(49, len)) break;
                line.m_dashes.append(len);
            }
            lines.append(line);
        }
        if (lines.length() != nlines->integer) {
            delete h;
            return nullptr;
        }
    }
    // The pattern's origin: the base point of its first line (set first:
    // the lines are the file's as they are).
    if (!lines.isEmpty()) h->setOriginPoint(lines[0].m_basePoint);
    if (solidFill) {
        h->setPattern(OdDbHatch::kPreDefined, L"SOLID");
    } else if (!pattern.empty()) {
        auto type = patternType == 0 ? OdDbHatch::kUserDefined : patternType == 2 ? OdDbHatch::kCustomDefined
                                                                                  : OdDbHatch::kPreDefined;
        h->setPattern(type, pattern.c_str(), angle, scale, lines);
    }
    if (h->isSolidFill()) {
        h->setPatternAngle(angle);
        h->setPatternScale(scale);
    }
    if (const Group* px = later(47); px && px->kind == Kind::kReal) h->setPixelSize(px->real);
    if (const Group* seeds = later(98); seeds && seeds->integer > 0) {
        Cursor sc(v, v.indexOf(seeds) + 1);
        for (int64_t s = 0, cnt = sc.bound(seeds->integer, 2); s < cnt; ++s) {
            OdGePoint2d p;
            if (!sc.point2(10, p)) break;
            h->appendSeedPoint(p);
        }
    }
    if (const Group* g = later(450); g && g->integer == 1) {
        h->setHatchObjectType(OdDbHatch::kGradientObject);
        const Group* name = later(470);
        const Group* kind = later(451);
        auto gtype = kind && kind->integer == 1 ? OdDbHatch::kUserDefinedGradient : OdDbHatch::kPreDefinedGradient;
        if (!name || h->setGradient(gtype, v.decode(*name).c_str()) != eOk) h->setGradient(gtype, L"LINEAR");
        if (const Group* a = later(460)) h->setGradientAngle(a->real);
        if (const Group* one = later(452)) h->setGradientOneColorMode(one->integer != 0);
        if (const Group* shift = later(461)) h->setGradientShift(std::clamp(shift->real, 0.0, 1.0));
        if (const Group* tint = later(462)) h->setShadeTintValue(std::clamp(tint->real, 0.0, 1.0));
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        for (size_t i = after; i < v.end(); ++i) {
            if (!v.readable(i)) continue;
            const Group& x = v.at(i);
            if (x.code == 463 || x.code == 63 || x.code == 421) v.take(i);
            if (x.code == 463) {
                colors.append(OdCmColor(OdCmEntityColor::kByACI));
                colors.last().setColorIndex(7);
                values.append(x.real);
            } else if (x.code == 63 && !colors.isEmpty() && x.integer >= 1 && x.integer <= 255) {
                colors.last().setColorIndex((int16_t)x.integer);
            } else if (x.code == 421 && !colors.isEmpty()) {
                // A colour index with its own value (as files give both)
                // stays an index.
                OdCmColor& c = colors.last();
                const uint32_t bgr = c.isByACI() ? gcedGetRGB(c.colorIndex()) : 0;
                const int64_t aciRgb = (int64_t)(bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
                if (!c.isByACI() || aciRgb != (x.integer & 0xFFFFFF))
                    c.setRGB((uint8_t)(x.integer >> 16), (uint8_t)(x.integer >> 8), (uint8_t)x.integer);
            }
        }
        if (colors.length() >= 2) h->setGradientColors((unsigned)colors.length(), colors.asArrayPtr(), values.asArrayPtr());
    }
    bool assoc = v.integer(71, 0, sub) != 0;
    h->setAssociative(assoc);
    if (assoc && !sources.empty()) {
        fixups_.push_back([this, h, sources] {
            for (int l = 0; l < h->numLoops() && l < (int)sources.size(); ++l) {
                OdDbObjectIdArray ids;
                for (uint64_t s : sources[(size_t)l])
                    if (OdDbObjectId id = idOf(s); !id.isNull()) ids.append(id);
                DxfAccess::setLoopIds(h, l, ids);
            }
        });
    }
    return h;
}

OdDbEntity* Loader::makeDimension(const View& v)
{
    int64_t type = v.integer(70, 0, "AcDbDimension");
    std::wstring text = v.text(1, "AcDbDimension");
    const wchar_t* t = text.empty() ? nullptr : text.c_str();
    OdGePoint3d p10 = v.point(10), p13 = v.point(13), p14 = v.point(14), p15 = v.point(15), p16 = v.point(16);
    OdDbDimension* d = nullptr;
    switch (type & 7) {
    case 0: d = new OdDbRotatedDimension(v.real(50, 0, "AcDbAlignedDimension") * kDegToRad, p13, p14, p10, t); break;
    case 1: d = new OdDbAlignedDimension(p13, p14, p10, t); break;
    case 2: d = new OdDb2LineAngularDimension(p13, p14, p15, p10, p16, t); break;
    case 3: d = new OdDbDiametricDimension(p15, p10, v.real(40, 0), t); break;
    case 4: d = new OdDbRadialDimension(p10, p15, v.real(40, 0), t); break;
    case 5: d = new OdDb3PointAngularDimension(p15, p13, p14, p10, t); break;
    case 6: {
        auto* o = new OdDbOrdinateDimension((type & 64) != 0, p13, p14, t);
        o->setOrigin(p10);
        d = o;
        break;
    }
    default: return nullptr;
    }
    if (v.has(11)) d->setTextPosition(v.point(11));
    d->setDimensionStyle(record(dimstyles_, v.has(3, "AcDbDimension") ? v.text(3, "AcDbDimension") : L"Standard"));
    // The block of its graphics: one the file names without defining it is
    // added, empty, as for references; a name that is empty is kept as
    // read, and the writer gives the dimension a block of its own.
    const Group* graphics = v.find(2, "AcDbDimension");
    const std::wstring blockName = graphics ? v.decode(*graphics) : std::wstring();
    OdDbObjectId block = record(blockNames_, blockName);
    if (block.isNull() && !blockName.empty())
        block = addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), blockName, nullptr);
    if (block.isNull()) v.refuse(graphics);
    d->setDimBlockId(block);
    keptFlags_ = (int)type;
    return d;
}

OdDbEntity* Loader::makeMline(const View& v)
{
    const char* sub = "AcDbMline";
    auto* m = new OdDbMline();
    size_t from = v.subclassStart(sub);
    int64_t lines = v.integer(73, 0, sub);
    std::vector<OdDbMline::Segment> segs;
    // Each vertex holds the element count's elements: data that does not
    // fit it, or that comes before any vertex, is kept whole, as the file
    // wrote it.
    bool fits = lines >= 0 && lines <= 1024;
    for (size_t k = from; k < v.end() && !(v.at(k).code == 11 && v.readable(k)); ++k) {
        const int code = v.at(k).code;
        if (v.readable(k) && (code == 12 || code == 13 || code == 22 || code == 23 || code == 32 || code == 33 ||
                              code == 74 || code == 41 || code == 75 || code == 42 || code == 21 || code == 31))
            fits = false;
    }
    for (size_t k = from; k < v.end() && fits; ++k) {
        if (!v.readable(k) || v.at(k).code != 11) continue;
        m->appendSeg(v.pointAt(k));
        // The vertex's direction, mitre and each line's distances, up to
        // the next vertex.
        OdDbMline::Segment seg;
        Cursor c(v, k + 1);
        OdGePoint2d xy;
        double z = 0;
        if (c.point2(12, xy) && c.real(32, z)) seg.direction = OdGeVector3d(xy.x, xy.y, z);
        if (c.point2(13, xy) && c.real(33, z)) seg.miter = OdGeVector3d(xy.x, xy.y, z);
        for (int64_t e = 0; e < lines && fits; ++e) {
            int64_t np = 0, nf = 0;
            OdGeDoubleArray params, fills;
            fits = c.integer(74, np) && np >= 0;
            for (int64_t q = 0; fits && q < np; ++q) {
                double x = 0;
                fits = c.real(41, x);
                params.append(x);
            }
            fits = fits && c.integer(75, nf) && nf >= 0;
            for (int64_t q = 0; fits && q < nf; ++q) {
                double x = 0;
                fits = c.real(42, x);
                fills.append(x);
            }
            seg.params.push_back(params);
            seg.fills.push_back(fills);
        }
        // An element more than the count says does not fit either.
        fits = fits && !c.at(74);
        segs.push_back(seg);
        k = c.pos() - 1;
    }
    const Group* count = v.find(72, sub);
    if (!fits || (count && count->integer != (int64_t)segs.size())) {
        delete m;
        return nullptr;
    }
    m->setClosedMline(v.integer(71, 0, sub) & 2);
    double scale = v.real(40, 1, sub);
    if (std::isfinite(scale) && scale != 0) m->setScale(scale);
    int64_t j = v.integer(70, 0, sub);
    if (j >= 0 && j <= 2) m->setJustification((Mline::MlineJustification)j);
    m->setNormal(NormalOf(v, sub));
    DxfAccess::mlineStyleName(m) = v.has(2, sub) ? OdString(v.text(2, sub)) : OdString(L"Standard");
    DxfAccess::mlineSegments(m) = segs;
    uint64_t style = v.ref(340, sub);
    fixups_.push_back([this, m, style] {
        if (OdDbObjectId id = idOf(style); !id.isNull()) DxfAccess::setMlineStyle(m, id);
    });
    return m;
}

// A record the database cannot make into an entity of its own, kept whole.
OdDbEntity* Loader::proxy(const View& v)
{
    auto* p = new OdDbProxyEntity();
    std::string_view type = v.type();
    DxfAccess::fileRecord(p).dxfName = std::wstring(type.begin(), type.end());
    DxfAccess::fileRecord(p).fromFile = true;
    return p;
}

OdDbEntity* Loader::makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                               std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs)
{
    std::string_view type = recs[i].type;
    const size_t first = i;
    OdDbEntity* made = nullptr;
    if (type == "LINE") {
        auto* l = new OdDbLine(v.point(10), v.point(11));
        l->setThickness(v.real(39, 0));
        l->setNormal(NormalOf(v, nullptr));
        made = l;
    } else if (type == "POINT") {
        auto* p = new OdDbPoint(v.point(10));
        p->setThickness(v.real(39, 0));
        p->setNormal(NormalOf(v, nullptr));
        p->setEcsRotation(v.real(50, 0) * kDegToRad);
        made = p;
    } else if (type == "CIRCLE" || type == "ARC") {
        OdGeVector3d n = NormalOf(v, nullptr);
        const OdGePoint3d plane = v.point(10);
        OdGePoint3d c = OcsToWcs(plane, n);
        double r = v.real(40, 0);
        if (r > 0) {
            if (type == "CIRCLE") {
                auto* ci = new OdDbCircle(c, n, r);
                ci->setThickness(v.real(39, 0));
                rememberPlane(ci, ci->normal(), {{plane, ci->center()}});
                made = ci;
            } else {
                auto* a = new OdDbArc(c, n, r, OdGeNormalizeAngle(v.real(50, 0) * kDegToRad),
                                      OdGeNormalizeAngle(v.real(51, 0) * kDegToRad));
                a->setThickness(v.real(39, 0));
                rememberPlane(a, a->normal(), {{plane, a->center()}});
                made = a;
            }
        }
    } else if (type == "ELLIPSE") {
        OdGeVector3d n = NormalOf(v, nullptr);
        OdGeVector3d maj = v.vector(11, nullptr, OdGeVector3d(1, 0, 0));
        maj = maj - n * maj.dotProduct(n);  // square to the normal
        double ratio = v.real(40, 1);
        double t0 = v.real(41, 0), t1 = v.real(42, 2 * M_PI);
        if (Finite(maj) && std::fabs(t1 - t0) <= 4 * M_PI) {
            auto* e = new OdDbEllipse();
            if (e->set(v.point(10), n, maj, ratio, EllipseAngleOfParam(ratio, t0), EllipseAngleOfParam(ratio, t1)) == eOk)
                made = e;
            else
                delete e;
        }
    } else if (type == "LWPOLYLINE") {
        auto* p = new OdDbPolyline();
        const char* sub = "AcDbPolyline";
        double constWidth = v.real(43, 0, sub);
        if (!(constWidth >= 0)) constWidth = 0;
        int64_t flags = v.integer(70, 0, sub);
        p->setClosed(flags & 1);
        p->setPlinegen(flags & 128);
        // The vertices stay in the polyline's plane, as the file gives them.
        p->setNormal(NormalOf(v, sub));
        p->setElevation(v.real(38, 0, sub));
        p->setThickness(v.real(39, 0, sub));
        size_t from = v.subclassStart(sub);
        // A vertex holds each of its values once, after its 10: one given
        // twice, or before any vertex, would be another vertex's once saved,
        // so such a polyline is kept whole.
        bool twice = false;
        for (size_t k = from; k < v.end() && !(v.at(k).code == 10 && v.readable(k)); ++k) {
            const int code = v.at(k).code;
            twice = twice || (v.readable(k) && (code == 20 || code == 40 || code == 41 || code == 42));
        }
        for (size_t k = from; k < v.end() && !twice; ++k) {
            if (!v.readable(k) || v.at(k).code != 10) continue;
            double x = v.take(k).real, y = 0, sw = constWidth, ew = constWidth, b = 0;
            // The vertex's values up to the next vertex.
            bool seen[4] = {false, false, false, false};
            size_t m = k + 1;
            for (; m < v.end() && v.at(m).code != 100 && !(v.at(m).code == 10 && v.readable(m)); ++m) {
                const Group& gm = v.at(m);
                const int slot = gm.code == 20 ? 0 : gm.code == 40 ? 1 : gm.code == 41 ? 2 : gm.code == 42 ? 3 : -1;
                if (slot < 0 || !v.readable(m)) continue;
                twice = twice || seen[slot];
                seen[slot] = true;
                const double value = v.take(m).real;
                if (slot == 0) y = value;
                else if (slot == 1 && value >= 0) sw = value;
                else if (slot == 2 && value >= 0) ew = value;
                else if (slot == 3) b = value;
            }
            p->addVertexAt(p->numVerts(), OdGePoint2d(x, y), b, sw, ew);
            k = m - 1;
        }
        if (v.has(43, sub)) keptFlags_ = 1;  // a constant width of its own
        if (twice) delete p;
        else made = p;
    } else if (type == "POLYLINE") {
        made = makePolyline(v, recs, i, to);
    } else if (type == "SPLINE") {
        made = makeSpline(v);
    } else if (type == "TEXT" || type == "ATTDEF") {
        made = makeText(v, type);
    } else if (type == "MTEXT") {
        made = makeMText(v);
    } else if (type == "INSERT") {
        const char* sub = v.hasSubclass("AcDbMInsertBlock") ? "AcDbMInsertBlock" : "AcDbBlockReference";
        OdDbObjectId block = record(blockNames_, v.text(2, sub));
        // Attributes follow the reference up to the end of the sequence.
        size_t k = i + 1;
        for (; k < to && recs[k].type == "ATTRIB"; ++k) {
            attrs.push_back(static_cast<OdDbAttribute*>(makeText(view(recs[k], expected(recs[k], true)), "ATTRIB")));
            attrRecs.push_back(&recs[k]);
        }
        if (k < to && recs[k].type == "SEQEND") {
            View sv = view(recs[k], SubRecordSubclasses("", "SEQEND", 0));
            if (!attrs.empty()) {
                subRecs_.push_back(SubRecord{&recs[k], sv.written(), {}});
                subHandles_.push_back(sv.handle());
            } else {
                strayEnd_ = &recs[k];  // said once the reference is read
            }
            ++k;
        }
        i = k;
        // A block the file names without defining it is added, empty, as
        // layers are: the reference and its attributes are not lost.
        if (block.isNull() && !v.text(2, sub).empty())
            block = addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), v.text(2, sub), nullptr);
        if (block.isNull() || block == roots_.modelSpace) return nullptr;
        int64_t columns = v.integer(70, 1, sub), rows = v.integer(71, 1, sub);
        OdDbBlockReference* r;
        OdGeVector3d n = NormalOf(v, sub);
        const OdGePoint3d plane = v.point(10, sub);
        OdGePoint3d at = ToWorld(plane, n);
        if (columns > 1 || rows > 1 || v.hasSubclass("AcDbMInsertBlock"))
            r = new OdDbMInsertBlock(at, block, (uint16_t)std::clamp<int64_t>(columns, 1, 32767),
                                     (uint16_t)std::clamp<int64_t>(rows, 1, 32767), v.real(44, 0, sub),
                                     v.real(45, 0, sub));
        else
            r = new OdDbBlockReference(at, block);
        r->setNormal(n);
        rememberPlane(r, r->normal(), {{plane, r->position()}});
        r->setScaleFactors(OdGeScale3d(v.real(41, 1, sub), v.real(42, 1, sub), v.real(43, 1, sub)));
        r->setRotation(v.real(50, 0, sub) * kDegToRad);
        return r;
    } else if (type == "HATCH") {
        made = makeHatch(v);
    } else if (type == "SOLID") {
        OdGeVector3d n = NormalOf(v, nullptr);
        OdGePoint3d p[4] = {v.point(10), v.point(11), v.point(12), v.point(13, nullptr, v.point(12))};
        auto* so = new OdDbSolid(ToWorld(p[0], n), ToWorld(p[1], n), ToWorld(p[2], n), ToWorld(p[3], n));
        so->setNormal(n);
        std::vector<DxfKept::PlanePoint> points;
        for (int k = 0; k < 4; ++k) {
            OdGePoint3d w;
            so->getPointAt(k, w);
            points.push_back({p[k], w});
        }
        rememberPlane(so, so->normal(), std::move(points));
        so->setThickness(v.real(39, 0));
        made = so;
    } else if (type == "IMAGE") {
        auto* img = new OdDbRasterImage();
        double w = v.real(13, 1), h = v.real(23, 1);
        OdGeVector3d u = v.vector(11, nullptr, OdGeVector3d(1, 0, 0)) * w;
        OdGeVector3d vv = v.vector(12, nullptr, OdGeVector3d(0, 1, 0)) * h;
        if (w > 0 && h > 0 && Finite(u) && Finite(vv) && img->setOrientation(v.point(10), u, vv)) {
            int64_t display = v.integer(70, OdDbRasterImage::kShow);
            for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                             OdDbRasterImage::kTransparent})
                img->setDisplayOpt(opt, (display & opt) != 0);
            uint64_t def = v.ref(340);
            fixups_.push_back([this, img, def] {
                if (auto* d = OdRxCast<OdDbRasterImageDef>(obj(idOf(def)))) DxfAccess::setImageDefId(img, d->objectId());
            });
            made = img;
        } else {
            delete img;
        }
    } else if (type == "DIMENSION") {
        made = makeDimension(v);
    } else if (type == "MLINE") {
        made = makeMline(v);
    }
    if (made) return made;
    // Parts of sequences belong to the entity before them, and a block's
    // begin and end are no entities: kept among a block's entities they
    // would end it early when the file is read again. Everything else the
    // database cannot make is kept whole.
    if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB" || type == "BLOCK" || type == "ENDBLK")
        return nullptr;
    return keptWhole(v, recs, first, i, to);
}

OdDbEntity* Loader::keptWhole(const View& v, const std::vector<Rec>& recs, size_t first, size_t next, size_t to)
{
    keptFlags_ = 0;
    subRecs_.clear();
    subHandles_.clear();
    planePoints_.clear();
    // The records of its sequence (a polyline's vertices and end) go with
    // it, each kept whole.
    for (size_t k = first + 1; k < next && k < to; ++k) {
        View sv = view(recs[k], {});
        subRecs_.push_back(SubRecord{&recs[k], {}, std::string(recs[k].type)});
        subHandles_.push_back(sv.handle());
    }
    return proxy(v);
}
// Block references that would draw a block inside itself, or nest deeper
// than drawing can follow, are erased: first the references that close a
// cycle, then, going down from the blocks nothing refers to, those below
// the deepest level. Both walks keep their own stacks: a file may chain any
// number of blocks.
void Loader::dropCyclicReferences()
{
    std::map<OdDbObjectId, std::vector<std::pair<OdDbObjectId, OdDbObjectId>>> refsIn;  // block -> (ref, target)
    std::set<OdDbObjectId> blocks;
    std::map<OdDbObjectId, const Reference*> recordsOf;
    for (const Reference& r : references_) recordsOf[r.ref] = &r;
    for (const auto& [ref, block, records] : references_) {
        OdDbObjectId target = static_cast<OdDbBlockReference*>(obj(ref))->blockTableRecord();
        refsIn[block].emplace_back(ref, target);
        blocks.insert(block);
        blocks.insert(target);
    }
    // Said with its attributes, which go with it.
    auto drop = [&](OdDbObjectId ref, const char* why) {
        DxfAccess::markErased(obj(ref));
        leftOut_.push_back((uint64_t)ref.getHandle());
        const std::vector<const Rec*>& records = recordsOf[ref]->records;
        leaveOut(*records.front(), std::string("a block reference left out as ") + why);
        for (size_t k = 1; k < records.size(); ++k) leaveOut(*records[k], "an attribute of that block reference");
    };
    enum { kNew, kOnPath, kDone };
    std::map<OdDbObjectId, int> state;
    for (OdDbObjectId root : blocks) {
        if (state[root] != kNew) continue;
        std::vector<std::pair<OdDbObjectId, size_t>> stack{{root, 0}};
        state[root] = kOnPath;
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            const auto& refs = refsIn[block];
            if (next == refs.size()) {
                state[block] = kDone;
                stack.pop_back();
                continue;
            }
            auto [ref, target] = refs[next++];
            if (state[target] == kOnPath) drop(ref, "it would draw its block inside itself");
            else if (state[target] == kNew) {
                state[target] = kOnPath;
                stack.emplace_back(target, 0);
            }
        }
    }
    auto live = [this](OdDbObjectId ref) { return !obj(ref)->isErased(); };
    std::map<OdDbObjectId, int> pending, level;
    for (const auto& [block, refs] : refsIn)
        for (const auto& [ref, target] : refs)
            if (live(ref)) ++pending[target];
    std::vector<OdDbObjectId> ready;
    for (OdDbObjectId b : blocks)
        if (pending[b] == 0) ready.push_back(b);
    while (!ready.empty()) {
        OdDbObjectId block = ready.back();
        ready.pop_back();
        for (const auto& [ref, target] : refsIn[block]) {
            if (!live(ref)) continue;
            if (level[block] + 1 > kMaxBlockDepth) drop(ref, "blocks nest too deep below it to be drawn");
            else level[target] = std::max(level[target], level[block] + 1);
            if (--pending[target] == 0) ready.push_back(target);
        }
    }
}


void Loader::readObjects()
{
    std::vector<OdDbObjectId> ownerless;
    for (const auto& r : objects_) {
        bool xrecord = r.type == "XRECORD";
        View v = view(r, expected(r, false), xrecord);
        if (r.type == "DICTIONARY" || r.type == "ACDBDICTIONARYWDFLT") {
            auto* d = new OdDbDictionary();
            d->setTreatElementsAsHard(v.integer(280, 0) != 0);
            OdDbObjectId id = place(d, v, OdDbObjectId());
            if (v.owner() == 0) ownerless.push_back(id);
            // Entries: a key and the object it names (index of the key).
            std::vector<std::pair<size_t, uint64_t>> entries;
            std::vector<uint64_t> hard;
            for (size_t k = v.begin(); k < v.end(); ++k) {
                const int code = v.at(k).code;
                if (!v.readable(k) || (code != 3 && code != 350 && code != 360)) continue;
                if (code == 3 && k + 1 < v.end() && v.readable(k + 1) &&
                    (v.at(k + 1).code == 350 || v.at(k + 1).code == 360)) {
                    entries.emplace_back(k, v.at(k + 1).handle);
                    if (v.at(k + 1).code == 360) hard.push_back(v.at(k + 1).handle);
                    v.take(k);
                    v.take(++k);
                } else {
                    v.refuse(&v.at(k));  // a key or an object without the other half
                }
            }
            // Objects name their owners themselves: the dictionary owns the
            // entries that name none it has.
            adoptions_.push_back([this, d, entries, hard] {
                for (uint64_t h : hard)
                    if (OdDbObjectId e = idOf(h); !e.isNull()) keptOf(d).hardOwned.push_back(e);
                std::set<std::wstring> keys;  // keys compare without case
                for (const auto& [at, h] : entries) {
                    const std::wstring key = codec_.decode(g_[at].text);
                    OdDbObjectId e = idOf(h);
                    // The named-objects dictionary is the root: no entry.
                    // An entry the dictionary cannot hold goes back as read.
                    if (key.empty() || e.isNull() || e == d->objectId() || e == roots_.nod ||
                        !keys.insert(Lower(key)).second) {
                        state_[at] |= kRefused;
                        state_[at + 1] |= kRefused;
                        continue;
                    }
                    DxfAccess::addEntry(d, key, e);
                    if (obj(e)->ownerId().isNull()) DxfAccess::setOwner(obj(e), d->objectId());
                }
            });
        } else if (xrecord) {
            auto* x = new OdDbXrecord();
            // The data: every group after the subclass marker and the
            // cloning flag, points gathered from their coordinates.
            size_t k = r.e;
            for (size_t i = r.b; i < r.e; ++i)
                if (g_[i].code == 100 && TrimView(g_[i].text) == "AcDbXrecord") {
                    k = i + 1;
                    break;
                }
            // Without its marker, the data follows the head.
            for (size_t i = r.b; i < r.e && k == r.e; ++i)
                if ((state_[i] & kClassMask) != kFrame) k = i;
            if (k < r.e && g_[k].code == 280) x->setMergeStyle((int)g_[k++].integer);
            else keptFlags_ = kNoCloningFlag;
            place(x, v, OdDbObjectId());
            size_t from = k, to = r.e;
            fixups_.push_back([this, x, from, to] {
                OdResBuf head;
                OdResBuf* tail = &head;
                auto readable = [this](size_t i) { return (state_[i] & kClassMask) == kObjectValue; };
                for (size_t i = from; i < to; ++i) {
                    if (!readable(i)) continue;
                    const Group& gr = g_[i];
                    auto* rb = new OdResBuf(gr.code);
                    bool pointCode = (gr.code >= 10 && gr.code <= 18) || (gr.code >= 1010 && gr.code <= 1013);
                    if (pointCode) {
                        OdGePoint3d p(gr.real, 0, 0);
                        if (i + 1 < to && g_[i + 1].code == gr.code + 10 && readable(i + 1)) p.y = g_[++i].real;
                        if (i + 1 < to && g_[i + 1].code == gr.code + 20 && readable(i + 1)) p.z = g_[++i].real;
                        rb->setPoint3d(p);
                    } else if (gr.kind == Kind::kText) {
                        rb->setString(codec_.decode(gr.text));
                    } else if (gr.kind == Kind::kReal) {
                        rb->setDouble(gr.real);
                    } else if (gr.kind == Kind::kInt) {
                        DxfAccess::setFileInteger(rb, gr.integer);
                    } else {
                        rb->setObjectId(idOf(gr.handle));
                    }
                    tail = tail->setNext(rb);
                }
                DxfAccess::setChain(x, head.next());
                OdResBuf::releaseChain(head.next());
            });
        } else if (r.type == "IMAGEDEF") {
            auto* d = new OdDbRasterImageDef();
            d->setSourceFileName(v.text(1));
            double w = v.real(10, 0), h = v.real(20, 0);
            DxfAccess::setImageDef(d, v.integer(280, 0) != 0, OdGeVector2d(w >= 1 ? w : 0, h >= 1 ? h : 0));
            place(d, v, OdDbObjectId());
        } else if (r.type == "SORTENTSTABLE") {
            auto* t = new OdDbSortentsTable();
            place(t, v, OdDbObjectId());
            uint64_t block = v.ref(330, "AcDbSortentsTable");
            // (entity, sort handle, index of the pair)
            std::vector<std::tuple<uint64_t, uint64_t, size_t>> pairs;
            size_t from = v.subclassStart("AcDbSortentsTable");
            for (size_t k = from; k + 1 < v.end(); ++k)
                if (v.readable(k) && v.readable(k + 1) && v.at(k).code == 331 && v.at(k + 1).code == 5) {
                    pairs.emplace_back(v.at(k).handle, v.at(k + 1).handle, k);
                    v.take(k);
                    v.take(++k);
                }
            fixups_.push_back([this, t, block, pairs] {
                auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(block)));
                // Pairs naming no entity of the block go back as read.
                for (const auto& [e, s, at] : pairs)
                    if (!btr || obj(idOf(e)) == nullptr || obj(idOf(e))->ownerId() != btr->objectId()) {
                        state_[at] |= kRefused;
                        state_[at + 1] |= kRefused;
                    }
                if (!btr) return;
                // Each entity sorts by its sort handle, its own handle when
                // the table gives none; equal ones keep their block order.
                std::map<uint64_t, uint64_t> sortOf;
                for (const auto& [e, s, at] : pairs) sortOf[e] = s;
                std::vector<std::pair<uint64_t, OdDbObjectId>> keyed;
                for (const auto& id : btr->entityIds()) {
                    auto it = sortOf.find(id.getHandle());
                    keyed.emplace_back(it == sortOf.end() ? (uint64_t)id.getHandle() : it->second, id);
                }
                std::stable_sort(keyed.begin(), keyed.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                OdDbObjectIdArray order;
                for (const auto& k : keyed) order.append(k.second);
                DxfAccess::setSortents(t, btr->objectId(), order);
                // The file's own sort handles go back while the order holds.
                DxfKept& kept = keptOf(t);
                for (const auto& [e, s, at] : pairs)
                    if (OdDbObjectId id = idOf(e); !(state_[at] & kRefused)) kept.sortHandles.emplace_back(id, s);
                t->getFullDrawOrder(kept.sortOrder);
            });
        } else {
            // Objects of kinds the database does not know are kept whole.
            auto* p = new OdDbProxyObject();
            DxfAccess::fileRecord(p).dxfName = std::wstring(r.type.begin(), r.type.end());
            DxfAccess::fileRecord(p).fromFile = true;
            place(p, v, OdDbObjectId());
        }
    }
    // The root is the first dictionary without an owner that no record
    // names as its extension dictionary.
    std::unordered_set<OdDbObjectId, ObjectIdHash> claimed;
    for (uint64_t h : xdicts_) claimed.insert(idOf(h));
    for (OdDbObjectId id : ownerless)
        if (!claimed.count(id)) {
            roots_.nod = id;
            break;
        }
}

void Loader::finish()
{
    if (roots_.nod.isNull()) roots_.nod = DxfAccess::add(db_, new OdDbDictionary(), DxfAccess::nextHandle(db_));
    auto header = [this](const char* var) -> std::wstring {
        auto it = headerIndex_.find(var);
        return it != headerIndex_.end() && it->second < g_.size() && g_[it->second].kind == Kind::kText
                   ? codec_.decode(g_[it->second].text)
                   : std::wstring();
    };
    OdDbObjectId clayer = record(layers_, header("$CLAYER"));
    roots_.clayer = clayer.isNull() || clayer.isErased() ? roots_.layerZero : clayer;
    OdDbObjectId celtype = record(linetypes_, header("$CELTYPE"));
    roots_.celtype = celtype.isNull() ? roots_.ltByLayer : celtype;
    OdDbObjectId style = record(styles_, header("$TEXTSTYLE"));
    if (!style.isNull()) roots_.textstyle = style;
    OdDbObjectId dimstyle = record(dimstyles_, header("$DIMSTYLE"));
    roots_.dimstyle = dimstyle.isNull() ? record(dimstyles_, L"Standard") : dimstyle;
    DxfAccess::setRoots(db_, roots_);

    // The header, classes and other sections, kept as read.
    auto* file = new DxfFileKept;
    for (size_t h = 0; h < header_.size(); ++h) {
        std::vector<KeptGroup> groups;
        for (size_t i = header_[h].second; i < g_.size() && g_[i].code != 9 && g_[i].code != 0; ++i)
            groups.push_back(keptGroup(g_[i]));
        file->header.emplace_back(header_[h].first, std::move(groups));
    }
    for (const Rec& c : classes_) {
        std::vector<KeptGroup> groups;
        for (size_t i = c.b; i < c.e; ++i) groups.push_back(keptGroup(g_[i]));
        file->classes.emplace_back(std::string(c.type), std::move(groups));
    }
    for (const auto& [name, from, to] : otherSections_) {
        std::vector<KeptGroup> groups;
        for (size_t i = from; i < to; ++i) groups.push_back(keptGroup(g_[i]));
        file->sections.emplace_back(name, std::move(groups));
    }
    for (auto& h : file->header) resolveLater(h.second);
    for (auto& c : file->classes) resolveLater(c.second);
    for (auto& s : file->sections) resolveLater(s.second);
    DxfAccess::setFileKept(db_, file);
}

void Loader::build()
{
    // Handles the database gives out while loading must not meet a handle
    // that the file uses further on.
    // (The header's handle seed is a value of code 5 too: it is the next
    // handle to give, not one that is taken.)
    // References to handles no object has go back as written, so no new
    // object may take one of them either.
    uint64_t top = 0;
    for (size_t i = 0, span = 0; i < g_.size(); ++i) {
        if (span < headerSpans_.size() && i == headerSpans_[span].first) {
            i = headerSpans_[span++].second;
            if (i >= g_.size()) break;
        }
        const Group& x = g_[i];
        if (x.kind == Kind::kHandle && x.handle < kMaxHandle) top = std::max(top, x.handle);
        if ((x.code == 5 || x.code == 105) && x.kind == Kind::kHandle) defined_.insert(x.handle);
        if (x.code == 1005)
            if (uint64_t h = HandleOfText(x.text); h < kMaxHandle) top = std::max(top, h);
    }
    DxfAccess::setHandseed(db_, top + 1);
    ids_.reserve(g_.size() / 8);
    readHeader();
    readTables();
    readBlocks();
    readEntities(entities_, 0, entities_.size(), OdDbObjectId());
    readObjects();
    finish();
    for (auto& f : fixups_) f();
    for (auto& f : adoptions_) f();
    keepAll();
    for (auto& [group, h] : handles_) group->id = idOf(h);
    dropCyclicReferences();
    DxfAccess::fileKept(db_)->notRead = std::move(notRead_);
    DxfAccess::fileKept(db_)->leftOut = std::move(leftOut_);
    noteRecords();
}

// What bytes that are no DXF file seem to be; empty when they may be one.
std::string NotDxf(std::string_view bytes)
{
    auto starts = [&](std::string_view s) { return bytes.substr(0, s.size()) == s; };
    if (bytes.substr(0, 32).find("Binary DXF") != std::string_view::npos)
        return "binary DXF is not read; save it as an ASCII DXF";
    if (bytes.size() >= 6 && starts("AC") && std::isdigit((unsigned char)bytes[2]) &&
        std::isdigit((unsigned char)bytes[3]) && std::isdigit((unsigned char)bytes[4]) &&
        std::isdigit((unsigned char)bytes[5]))
        return "it is a DWG drawing (version " + std::string(bytes.substr(0, 6)) +
               "), which is not read; save it as an ASCII DXF";
    const std::pair<std::string_view, const char*> kinds[] = {
        {"\x89PNG", "a PNG image"}, {"\xFF\xD8\xFF", "a JPEG image"}, {"GIF8", "a GIF image"},
        {"BM", "a BMP image"}, {std::string_view("II*\0", 4), "a TIFF image"}, {std::string_view("MM\0*", 4), "a TIFF image"},
        {"PK\x03\x04", "a ZIP archive"}, {"%PDF", "a PDF document"}, {"\x1F\x8B", "a gzip archive"},
        {"7z\xBC\xAF", "a 7-Zip archive"}, {"Rar!", "a RAR archive"}, {"\xD0\xCF\x11\xE0", "an Office document"},
        {"\xFF\xFE", "a UTF-16 text file"}, {"\xFE\xFF", "a UTF-16 text file"}, {"\x7F" "ELF", "a program"}};
    for (const auto& [magic, what] : kinds)
        if (starts(magic)) return std::string("it is ") + what + ", not a DXF file";
    if (bytes.substr(0, 64).find('\0') != std::string_view::npos) return "not a DXF file (it holds binary data)";
    return std::string();
}

}  // namespace

// Compares the values of a record as the file wrote them with those the
// writer writes of the object, code by code: a value spelled otherwise is
// replaced, one the file did not have is dropped, one the writer left out
// is added back. A record whose values differ in number (the object holds
// fewer or more than the file gave) is written as the object holds it.
std::vector<DxfKept::Respelling> Respellings(const DxfFileRecords& file, const DxfFileRecords::Record& record,
                                             const OdDbObject* of, std::string_view text,
                                             const std::vector<GroupWriter::Noted>& noted, size_t start)
{
    using R = DxfKept::Respelling;
    std::vector<R> out;
    // The record's groups again, as the reader split them, and what it
    // made of each. Every save compares every record read: nothing here
    // allocates while the record is as the writer writes it.
    if (record.to > file.bytes.size() || record.from >= record.to || record.written >= file.written.size() ||
        (size_t)record.state + record.groups > file.states.size())
        return out;
    thread_local std::vector<Group> g;
    SplitGroups(std::string_view(file.bytes).substr(record.from, record.to - record.from), g);
    if (g.size() != record.groups || g.empty() || g[0].code != 0) return out;
    const uint8_t* state = file.states.data() + record.state;
    TextCodec codec;
    codec.utf8 = file.utf8;
    codec.codePage = file.codePage;
    const size_t b = 1, e = std::min<size_t>(record.valuesEnd, g.size());
    const size_t ownerAt = record.ownerAt < g.size() ? record.ownerAt : SIZE_MAX;

    // Per (owner or value, code) a side: the file's groups and the
    // writer's noted groups of it, in order, in two flat lists.
    struct Side {
        uint8_t tag;
        int code;
        uint32_t fileAt, fileCount, writtenAt, writtenCount;
    };
    thread_local std::vector<int> sideAt(2 * 1072, -1);
    thread_local std::vector<Side> sides;
    thread_local std::vector<uint32_t> files, writtens;
    sides.clear();
    auto slot = [](uint8_t tag, int code) { return (size_t)(tag == GroupWriter::kOwner) * 1072 + CodeSlot(code); };
    auto sideOf = [&](uint8_t tag, int code) -> Side& {
        int& at = sideAt[slot(tag, code)];
        if (at < 0) {
            at = (int)sides.size();
            sides.push_back(Side{tag, code, 0, 0, 0, 0});
        }
        return sides[(size_t)at];
    };
    struct Reset {
        ~Reset()
        {
            for (const Side& s : sides) sideAt[(size_t)(s.tag == GroupWriter::kOwner) * 1072 + CodeSlot(s.code)] = -1;
        }
    } reset;
    auto isFileValue = [&](size_t i) { return (state[i] & (kClassMask | kRefused)) == kObjectValue; };
    auto isWritten = [&](size_t n) { return noted[n].tag == GroupWriter::kValue || noted[n].tag == GroupWriter::kOwner; };
    // Counted, then placed.
    for (size_t i = b; i < e; ++i)
        if (isFileValue(i)) sideOf(GroupWriter::kValue, g[i].code).fileCount++;
    if (ownerAt != SIZE_MAX) sideOf(GroupWriter::kOwner, 330).fileCount++;
    for (size_t n = 0; n < noted.size(); ++n)
        if (isWritten(n)) sideOf(noted[n].tag, noted[n].code).writtenCount++;
    uint32_t f = 0, w = 0;
    for (Side& s : sides) {
        s.fileAt = f;
        s.writtenAt = w;
        f += s.fileCount;
        w += s.writtenCount;
        s.fileCount = s.writtenCount = 0;
    }
    files.resize(f);
    writtens.resize(w);
    for (size_t i = b; i < e; ++i)
        if (isFileValue(i)) {
            Side& s = sideOf(GroupWriter::kValue, g[i].code);
            files[s.fileAt + s.fileCount++] = (uint32_t)i;
        }
    if (ownerAt != SIZE_MAX) {
        Side& s = sideOf(GroupWriter::kOwner, 330);
        files[s.fileAt + s.fileCount++] = (uint32_t)ownerAt;
    }
    for (size_t n = 0; n < noted.size(); ++n)
        if (isWritten(n)) {
            Side& s = sideOf(noted[n].tag, noted[n].code);
            writtens[s.writtenAt + s.writtenCount++] = (uint32_t)n;
        }
    // Values the object did not take, of a code the writer does not write
    // for it, were kept where they were when the file was read.
    for (Side& s : sides) {
        if (s.tag != GroupWriter::kValue || s.writtenCount) continue;
        uint32_t kept = 0;
        for (uint32_t k = 0; k < s.fileCount; ++k)
            if (state[files[s.fileAt + k]] & kTaken) files[s.fileAt + kept++] = files[s.fileAt + k];
        s.fileCount = kept;
    }
    // Values replaced only where every code has as many values as the
    // file gave it: a count spelled as the file did must still count the
    // values written with it. Values the file did not have, or that the
    // writer leaves out, are dropped or added back whatever the count.
    bool replace = true;
    for (const Side& s : sides) {
        if (s.fileCount && s.writtenCount && s.fileCount != s.writtenCount) replace = false;
        // Several values the writer gives in another form (a width each
        // vertex gave, written as one for all) would not come back where
        // they were: the record goes as the object holds it.
        if (s.fileCount > 1 && !s.writtenCount && s.tag == GroupWriter::kValue) return out;
    }
    // An MTEXT's contents are its chunks (3) and then its last part (1):
    // cut otherwise than the writer cuts them, a chunk added back would
    // come after the part it goes before. They go as the object holds them.
    bool contentsAsHeld = false;
    if (record.sub == kObjectRecord && OdRxCast<OdDbMText>(const_cast<OdDbObject*>(of)))
        for (const Side& s : sides)
            if (s.tag == GroupWriter::kValue && s.code == 3 && s.fileCount != s.writtenCount) contentsAsHeld = true;
    // The file's value as the writer spells it; text as the file wrote it
    // where that can go in a file of UTF-8 text.
    auto spelling = [&codec](const Group& x, int code) {
        switch (x.kind) {
        case Kind::kText: return codec.transcode(x.text);
        case Kind::kReal: return GroupWriter::RealValue(x.real);
        case Kind::kInt: return GroupWriter::IntegerValue(code, x.integer);
        case Kind::kHandle: return GroupWriter::HandleValue(x.handle);
        }
        return std::string(x.text);
    };
    auto same = [&codec](const Group& x, std::string_view w) {
        if (w == x.text && (codec.utf8 || x.kind != Kind::kText)) return true;
        switch (x.kind) {
        case Kind::kReal: {
            double d = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), d);
            return r.ec == std::errc() && d == x.real;
        }
        case Kind::kInt: {
            int64_t n = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), n);
            return r.ec == std::errc() && n == x.integer;
        }
        case Kind::kHandle: {
            uint64_t h = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), h, 16);
            return r.ec == std::errc() && h == x.handle;
        }
        default: return w == codec.transcode(x.text);
        }
    };
    auto entry = [](R::Kind kind, uint8_t tag, int code, int occurrence, std::string written, std::string file,
                    std::string subclass = {}, int subOccurrence = 0) {
        R r;
        r.kind = kind;
        r.tag = tag;
        r.code = code;
        r.occurrence = occurrence;
        r.written = std::move(written);
        r.file = std::move(file);
        r.subclass = std::move(subclass);
        r.subOccurrence = subOccurrence;
        return r;
    };
    // Names of records the drawing had none of go back only while it has
    // none (the writer checks).
    const std::string_view type = TrimView(g[0].text);
    auto names = [&](int code, const Group& x, R r) {
        const bool text = type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF";
        const bool part = type == "BLOCK" || type == "ENDBLK" || type == "VERTEX" || type == "SEQEND";
        r.names = code == 6                         ? R::kLinetype
                  : code == 7 && text               ? R::kTextStyle
                  : code == 3 && type == "DIMENSION" ? R::kDimensionStyle
                  : code == 8 && part               ? R::kLayer
                                                    : R::kNoName;
        if (r.names == R::kNoName || x.kind != Kind::kText) {
            r.names = R::kNoName;
            return r;
        }
        const std::vector<std::wstring>& known = file.names[r.names == R::kLinetype         ? 0
                                                           : r.names == R::kTextStyle      ? 1
                                                           : r.names == R::kDimensionStyle ? 2
                                                                                           : 3];
        r.named = std::binary_search(known.begin(), known.end(), Lower(codec.decode(x.text)));
        return r;
    };
    // Every code the record's own subclasses hold, kept groups too; not
    // what another application's group holds, which is never a value.
    CodeSet present;
    bool presentKnown = false;
    auto isPresent = [&](int code) {
        if (!presentKnown) {
            for (size_t i = b; i < e; ++i)
                if ((state[i] & kClassMask) != kFrame && !(state[i] & (kWhole | kOtherApp))) present.set(CodeSlot(g[i].code));
            presentKnown = true;
        }
        return present.test(CodeSlot(code));
    };
    std::vector<size_t> added;  // file groups the writer leaves out
    for (const Side& s : sides) {
        if (s.fileCount && s.writtenCount && s.fileCount != s.writtenCount) continue;
        if (contentsAsHeld && s.tag == GroupWriter::kValue && (s.code == 1 || s.code == 3)) continue;
        if (s.fileCount == s.writtenCount) {
            if (!replace) continue;
            for (uint32_t k = 0; k < s.fileCount; ++k) {
                const Group& x = g[files[s.fileAt + k]];
                const GroupWriter::Noted& n = noted[writtens[s.writtenAt + k]];
                std::string_view wv = text.substr(n.at - start, n.length);
                // An owner names where the object is: only one the object
                // does not have (none, or one that is not there) goes back
                // as the file wrote it.
                if (s.tag == GroupWriter::kOwner && wv != "0") continue;
                if (!same(x, wv))
                    out.push_back(names(s.code, x, entry(R::kReplace, s.tag, s.code, (int)k, std::string(wv), spelling(x, s.code))));
            }
        } else if (s.tag == GroupWriter::kOwner) {
            continue;  // an owner is always written
        } else if (!s.fileCount) {
            // Only what the record has none of at all: dropping the writer's
            // value would put one the record kept in its place.
            if (isPresent(s.code)) continue;
            for (uint32_t k = 0; k < s.writtenCount; ++k) {
                const GroupWriter::Noted& n = noted[writtens[s.writtenAt + k]];
                out.push_back(entry(R::kDrop, s.tag, s.code, (int)k, std::string(text.substr(n.at - start, n.length)), {}));
            }
        } else {
            for (uint32_t k = 0; k < s.fileCount; ++k) added.push_back(files[s.fileAt + k]);
        }
    }
    if (!added.empty()) {
        // In file order, each at the end of the subclass it was read in:
        // the record is walked as when it was read.
        std::vector<Group> groups(g);
        std::vector<uint8_t> states(state, state + record.groups);
        Rec rec;
        rec.type = type;
        rec.b = b;
        rec.e = groups.size();
        View v(groups, rec, codec, states, file.written[record.written], record.dataRecord);
        std::sort(added.begin(), added.end());
        Walk(v, [&](size_t i, uint8_t, const std::string& sub, int occ, bool, bool) {
            if (std::binary_search(added.begin(), added.end(), i))
                out.push_back(names(groups[i].code, groups[i],
                                    entry(R::kAdd, GroupWriter::kValue, groups[i].code, 0, {},
                                          spelling(groups[i], groups[i].code), sub, occ)));
        });
    }
    // Replacements and drops by (tag, code, occurrence), for the writer's
    // lookup; additions after them in file order.
    std::stable_sort(out.begin(), out.end(), [](const R& a, const R& b) {
        if ((a.kind == R::kAdd) != (b.kind == R::kAdd)) return b.kind == R::kAdd;
        if (a.kind == R::kAdd) return false;
        return std::tie(a.tag, a.code, a.occurrence) < std::tie(b.tag, b.code, b.occurrence);
    });
    return out;
}

OdResult ReadDxf(OdDbDatabase* db, std::string_view bytes, std::string& why)
{
    why.clear();
    if (!db) return eInvalidInput;
    // Drawings in the binary forms are not read by the stand-in.
    std::string other = NotDxf(bytes);
    if (!other.empty()) {
        why = other;
        bool drawing = other.find("DWG") != std::string::npos || other.find("binary DXF") != std::string::npos;
        return drawing ? eNotImplemented : eInvalidInput;
    }
    if (!DxfAccess::isEmpty(db)) {
        why = "the database already holds a drawing";
        return eNotApplicable;
    }
    if (bytes.empty()) {
        why = "the file is empty";
        return eInvalidInput;
    }
    std::vector<Group> groups;
    std::vector<uint32_t> comments;
    if (!ReadGroups(bytes, groups, why, &comments)) {
        // A first line that is no group code: not a DXF file at all.
        if (groups.empty() && why.rfind("line 1:", 0) == 0) why = "not a DXF file (" + why + ")";
        return eInvalidInput;
    }
    std::unique_ptr<DxfFileRecords> records;
    {
        Loader loader(db, groups, bytes);
        if (!loader.split(why)) return eInvalidInput;
        loader.noteComments(comments);
        loader.build();
        records = loader.takeRecords();
    }
    // The groups go before the file's text is kept: a drawing holds one
    // copy of the file's text, never the groups too.
    std::vector<Group>().swap(groups);
    if (records) {
        records->bytes.assign(bytes.data(), bytes.size());
        DxfAccess::fileKept(db)->records = std::move(records);
    }
    return eOk;
}

}  // namespace dxf
}  // namespace standin
