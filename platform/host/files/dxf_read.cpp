// Drawing files: a DXF file read into an empty database. The file's
// structure is checked first (groups, sections, records); only a file that
// passes is built into the database, so a refused file leaves it untouched.
// Objects keep the file's handles; what the file lacks (tables, the
// named-objects dictionary, the standard records) is added with new ones.
// Values a setter refuses leave the host's default; records that cannot be
// made into an object (unknown kinds, broken geometry, references to blocks
// that do not exist or that would contain themselves) are left out.
#include <algorithm>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <set>

#include "dxf_access.h"
#include "dxf_internal.h"
#include "oddbdimension.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {
namespace {

const double kDegToRad = M_PI / 180.0;
// A hatch loop of more edges than this is left out: putting edges in ring
// order costs the square of their number.
const int64_t kMaxLoopEdges = 10000;
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

// The anonymous blocks of dimension graphics; the database makes no such
// graphics, so it keeps none of them.
bool IsDimensionBlock(const std::wstring& name) { return name.size() >= 2 && name[0] == L'*' && (name[1] == L'D' || name[1] == L'd'); }

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// One record's groups, with its application groups ("{ACAD_XDICTIONARY",
// "{ACAD_REACTORS") and extended data set apart from its own values.
class View {
public:
    View(const std::vector<Group>& g, const Rec& r, const TextCodec& codec, bool dataRecord = false)
        : g_(g), b_(r.b), e_(r.e), recordEnd_(r.e), codec_(codec)
    {
        bool seenSubclass = false;
        for (size_t i = b_; i < e_; ++i) {
            const Group& x = g_[i];
            if (x.code == 100) seenSubclass = true;
            if (dataRecord && seenSubclass) break;
            if (x.code == 1001 && !dataRecord) {
                e_ = i;
                break;
            }
            if (x.code == 102 && !x.text.empty() && x.text[0] == '{') {
                std::string_view name = TrimView(x.text.substr(1));
                size_t j = i + 1;
                for (; j < e_ && !(g_[j].code == 102 && TrimView(g_[j].text) == "}"); ++j) {
                    if (name == "ACAD_XDICTIONARY" && g_[j].code == 360 && !xdict_) xdict_ = g_[j].handle;
                    if (name == "ACAD_REACTORS" && g_[j].code == 330 && g_[j].handle) reactors_.push_back(g_[j].handle);
                }
                skip_.push_back({i, std::min(j + 1, e_)});
                i = j;
                continue;
            }
            if (!seenSubclass && (x.code == 5 || x.code == 105) && handleAt_ == SIZE_MAX) {
                handle_ = x.handle;
                handleAt_ = i;
            }
            if (!seenSubclass && x.code == 330 && ownerAt_ == SIZE_MAX) {
                owner_ = x.handle;
                ownerAt_ = i;
            }
        }
    }

    uint64_t handle() const { return handle_; }
    uint64_t owner() const { return owner_; }
    uint64_t xdict() const { return xdict_; }
    const std::vector<uint64_t>& reactors() const { return reactors_; }
    size_t begin() const { return b_; }
    size_t end() const { return e_; }
    const Group& at(size_t i) const { return g_[i]; }
    size_t indexOf(const Group* x) const { return (size_t)(x - g_.data()); }
    bool skipped(size_t i) const
    {
        for (const auto& [s, t] : skip_)
            if (i >= s && i < t) return true;
        return false;
    }

    // The n-th group of the code in the record's own values, within the
    // segments of that subclass when the record has such a marker.
    const Group* find(int code, const char* subclass = nullptr, int nth = 0, size_t from = 0, size_t to = SIZE_MAX) const
    {
        bool useSub = subclass && hasSubclass(subclass);
        bool inSub = !useSub;
        for (size_t i = std::max(b_, from); i < std::min(e_, to); ++i) {
            if (skipped(i)) continue;
            const Group& x = g_[i];
            if (x.code == 100 && useSub) {
                inSub = TrimView(x.text) == subclass;
                continue;
            }
            if (inSub && x.code == code && nth-- == 0) return &x;
        }
        return nullptr;
    }
    // The groups of an application's extended data, after its 1001 group.
    std::pair<size_t, size_t> xdata(std::string_view app) const
    {
        for (size_t i = e_; i < recordEnd_; ++i) {
            if (g_[i].code != 1001 || TrimView(g_[i].text) != app) continue;
            size_t j = i + 1;
            while (j < recordEnd_ && g_[j].code != 1001) ++j;
            return {i + 1, j};
        }
        return {recordEnd_, recordEnd_};
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

private:
    const std::vector<Group>& g_;
    size_t b_, e_, recordEnd_;
    const TextCodec& codec_;
    uint64_t handle_ = 0, owner_ = 0, xdict_ = 0;
    size_t handleAt_ = SIZE_MAX, ownerAt_ = SIZE_MAX;
    friend class Loader;
    std::vector<uint64_t> reactors_;
    std::vector<std::pair<size_t, size_t>> skip_;
};

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

class Loader {
public:
    Loader(OdDbDatabase* db, const std::vector<Group>& g) : db_(db), g_(g) {}
    // Checks the file's sections and records; false for a malformed file.
    bool split(std::string& why);
    void build();

private:
    // ---- the database being built ----
    OdDbObjectId place(OdDbObject* o, const View& v, OdDbObjectId owner);
    OdDbObject* obj(OdDbObjectId id) const { return DxfAccess::object(id); }
    OdDbObjectId idOf(uint64_t h) const
    {
        auto it = ids_.find(h);
        return h && it != ids_.end() ? it->second : OdDbObjectId();
    }
    OdDbObjectId record(std::map<std::wstring, OdDbObjectId>& names, const std::wstring& name) const
    {
        auto it = names.find(Lower(name));
        return it == names.end() ? OdDbObjectId() : it->second;
    }
    OdDbObjectId newTable(OdDbSymbolTable* t, const Rec* head);
    OdDbObjectId addRecord(OdDbObjectId table, std::map<std::wstring, OdDbObjectId>& names,
                           OdDbSymbolTableRecord* r, const std::wstring& name, const Rec* rec);
    OdDbObjectId layerNamed(const std::wstring& name);
    // The text style a text names: none when it names none, the current
    // style when the name is not in the drawing.
    OdDbObjectId styleNamed(const View& v, const char* subclass)
    {
        if (!v.has(7, subclass)) return OdDbObjectId();
        OdDbObjectId id = record(styles_, v.text(7, subclass));
        return id.isNull() ? roots_.textstyle : id;
    }

    void readHeader();
    void readTables();
    void readBlocks();
    void readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block);
    size_t readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block);
    OdDbEntity* makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                           std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs);
    void common(OdDbEntity* e, const View& v);
    OdDbEntity* makeText(const View& v, std::string_view type);
    OdDbEntity* makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to);
    OdDbEntity* makeHatch(const View& v, uint64_t entityHandle);
    OdDbEntity* makeDimension(const View& v);
    void readObjects();
    // What the file holds of an object of a kind the database does not
    // know, from `from` on, kept for writing it back.
    void keepFileRecord(const Rec& r, const View& v, size_t from, OdDbProxyFileRecord& f);
    void dropCyclicReferences();
    void finish();

    OdDbDatabase* db_;
    const std::vector<Group>& g_;
    TextCodec codec_;
    std::map<std::string, size_t> header_;  // variable -> index of its first value group
    std::vector<Rec> tables_, blocks_, entities_, objects_, classes_;
    std::map<uint64_t, OdDbObjectId> ids_;
    std::set<uint64_t> fileHandles_;
    std::vector<std::function<void()>> fixups_;
    std::map<std::wstring, OdDbObjectId> layers_, linetypes_, styles_, blockNames_, vports_, views_, apps_;
    DxfAccess::Roots roots_;
    // Block references by the block they are in, for the nesting check.
    std::vector<std::pair<OdDbObjectId, OdDbObjectId>> references_;  // (reference, its block)
};

// ---- structure ----

bool Loader::split(std::string& why)
{
    size_t i = 0, n = g_.size();
    auto isZero = [&](size_t k, std::string_view s) { return k < n && g_[k].code == 0 && TrimView(g_[k].text) == s; };
    while (i < n && !isZero(i, "EOF")) {
        if (!isZero(i, "SECTION") || i + 1 >= n || g_[i + 1].code != 2) {
            why = "line " + std::to_string(g_[i].line) + ": a section was expected";
            return false;
        }
        std::string_view name = TrimView(g_[i + 1].text);
        i += 2;
        if (name == "HEADER") {
            while (i < n && g_[i].code != 0) {
                if (g_[i].code == 9) header_.emplace(std::string(TrimView(g_[i].text)), i + 1);
                ++i;
            }
        } else {
            std::vector<Rec>* out = name == "TABLES"     ? &tables_
                                    : name == "BLOCKS"   ? &blocks_
                                    : name == "ENTITIES" ? &entities_
                                    : name == "OBJECTS"  ? &objects_
                                    : name == "CLASSES"  ? &classes_
                                                         : nullptr;
            // Sections the database keeps nothing of (classes, thumbnail,
            // data stores) are passed over whatever they hold.
            while (!out && i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF")) ++i;
            if (i < n && g_[i].code != 0) {
                why = "line " + std::to_string(g_[i].line) + ": a section holds values outside its records";
                return false;
            }
            while (i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF")) {
                Rec r;
                r.type = TrimView(g_[i].text);
                r.b = ++i;
                while (i < n && g_[i].code != 0) ++i;
                r.e = i;
                if (out) out->push_back(r);
            }
        }
        if (!isZero(i, "ENDSEC")) {
            why = "section " + std::string(name) + " does not end";
            return false;
        }
        ++i;
    }
    return true;
}

void Loader::readHeader()
{
    auto value = [this](const char* var) -> const Group* {
        auto it = header_.find(var);
        return it != header_.end() && it->second < g_.size() ? &g_[it->second] : nullptr;
    };
    const Group* ver = value("$ACADVER");
    std::string_view v = ver ? TrimView(ver->text) : std::string_view("AC1009");
    int number = 0;
    if (v.size() == 6 && v.substr(0, 2) == "AC")
        for (char c : v.substr(2)) number = number * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    codec_.utf8 = number >= 1021;
    const Group* cp = value("$DWGCODEPAGE");
    unsigned page = cp ? CodePageOfName(cp->text) : 0;
    codec_.codePage = page ? page : 936;
    const Group* seed = value("$HANDSEED");
    if (seed && seed->kind == Kind::kHandle && seed->handle < kMaxHandle) DxfAccess::setHandseed(db_, seed->handle);
}

OdDbObjectId Loader::place(OdDbObject* o, const View& v, OdDbObjectId owner)
{
    uint64_t h = v.handle();
    if (!h || h >= kMaxHandle || DxfAccess::hasHandle(db_, h)) h = 0;
    OdDbObjectId id = DxfAccess::add(db_, o, h ? h : DxfAccess::nextHandle(db_));
    if (h) ids_[h] = id;
    DxfAccess::setOwner(o, owner);
    uint64_t xdict = v.xdict(), ownerHandle = v.owner();
    std::vector<uint64_t> reactors = v.reactors();
    bool ownerFromFile = owner.isNull();
    fixups_.push_back([this, o, xdict, reactors, ownerHandle, ownerFromFile] {
        if (auto* d = OdRxCast<OdDbDictionary>(obj(idOf(xdict)))) {
            DxfAccess::setExtensionDictionary(o, d->objectId());
            if (d->ownerId().isNull()) DxfAccess::setOwner(d, o->objectId());
        }
        std::set<OdDbObjectId> seen;
        for (uint64_t r : reactors)
            if (OdDbObjectId rid = idOf(r); !rid.isNull() && seen.insert(rid).second) DxfAccess::appendReactor(o, rid);
        if (ownerFromFile && o->ownerId().isNull()) DxfAccess::setOwner(o, idOf(ownerHandle));
    });
    return id;
}

OdDbObjectId Loader::newTable(OdDbSymbolTable* t, const Rec* head)
{
    if (head) return place(t, View(g_, *head, codec_), OdDbObjectId());
    OdDbObjectId id = DxfAccess::add(db_, t, DxfAccess::nextHandle(db_));
    return id;
}

OdDbObjectId Loader::addRecord(OdDbObjectId table, std::map<std::wstring, OdDbObjectId>& names,
                               OdDbSymbolTableRecord* r, const std::wstring& name, const Rec* rec)
{
    // Nameless records and second records of a name are left out.
    if (name.empty() || !record(names, name).isNull()) {
        delete r;
        return OdDbObjectId();
    }
    r->setName(name);
    OdDbObjectId id = rec ? place(r, View(g_, *rec, codec_), table) : DxfAccess::add(db_, r, DxfAccess::nextHandle(db_));
    DxfAccess::setOwner(r, table);
    DxfAccess::addRecord(static_cast<OdDbSymbolTable*>(obj(table)), id);
    names[Lower(name)] = id;
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
    std::map<std::string_view, const Rec*> heads;
    std::map<std::string_view, std::vector<const Rec*>> records;
    std::string_view current;
    for (const auto& r : tables_) {
        if (r.type == "TABLE") {
            View v(g_, r, codec_);
            const Group* name = v.find(2);
            current = name ? TrimView(name->text) : std::string_view();
            if (!current.empty() && !heads.count(current)) heads[current] = &r;
        } else if (r.type == "ENDTAB") {
            current = std::string_view();
        } else if (!current.empty() && r.type == current) {
            records[current].push_back(&r);
        }
    }
    auto table = [&](std::string_view name, OdDbSymbolTable* t) {
        auto it = heads.find(name);
        return newTable(t, it == heads.end() ? nullptr : it->second);
    };
    roots_.linetypeTable = table("LTYPE", new OdDbLinetypeTable());
    roots_.layerTable = table("LAYER", new OdDbLayerTable());
    roots_.textStyleTable = table("STYLE", new OdDbTextStyleTable());
    roots_.viewportTable = table("VPORT", new OdDbViewportTable());
    roots_.viewTable = table("VIEW", new OdDbViewTable());
    roots_.regAppTable = table("APPID", new OdDbRegAppTable());
    roots_.blockTable = table("BLOCK_RECORD", new OdDbBlockTable());

    for (const Rec* r : records["LTYPE"]) {
        View v(g_, *r, codec_);
        auto* lt = new OdDbLinetypeTableRecord();
        lt->setComments(v.text(3));
        OdGeDoubleArray dashes;
        for (size_t i = v.begin(); i < v.end(); ++i)
            if (!v.skipped(i) && v.at(i).code == 49) dashes.append(v.at(i).real);
        lt->setDashes(dashes);
        addRecord(roots_.linetypeTable, linetypes_, lt, v.text(2), r);
    }
    auto standardLinetype = [&](const wchar_t* name) {
        OdDbObjectId id = record(linetypes_, name);
        return id.isNull() ? addRecord(roots_.linetypeTable, linetypes_, new OdDbLinetypeTableRecord(), name, nullptr) : id;
    };
    roots_.ltByBlock = standardLinetype(L"ByBlock");
    roots_.ltByLayer = standardLinetype(L"ByLayer");
    roots_.ltContinuous = standardLinetype(L"Continuous");

    for (const Rec* r : records["LAYER"]) {
        View v(g_, *r, codec_);
        auto* la = new OdDbLayerTableRecord();
        int64_t flags = v.integer(70, 0);
        int64_t aci = v.integer(62, 7);
        OdCmColor c;
        if (v.has(420)) c.setRGB((uint8_t)(v.integer(420, 0) >> 16), (uint8_t)(v.integer(420, 0) >> 8), (uint8_t)v.integer(420, 0));
        else c.setColorIndex((int16_t)(std::abs(aci) >= 1 && std::abs(aci) <= 255 ? std::abs(aci) : 7));
        la->setColor(c);
        la->setIsOff(aci < 0);
        la->setIsFrozen(flags & 1);
        la->setIsLocked(flags & 4);
        OdDbObjectId lt = record(linetypes_, v.text(6));
        la->setLinetypeObjectId(lt.isNull() ? roots_.ltContinuous : lt);
        addRecord(roots_.layerTable, layers_, la, v.text(2), r);
    }
    roots_.layerZero = layerNamed(L"0");

    for (const Rec* r : records["STYLE"]) {
        View v(g_, *r, codec_);
        auto* st = new OdDbTextStyleTableRecord();
        st->setTextSize(v.real(40, 0));
        st->setXScale(v.real(41, 1));
        if (v.has(3)) st->setFileName(v.text(3));
        st->setBigFontFileName(v.text(4));
        addRecord(roots_.textStyleTable, styles_, st, v.text(2), r);
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
        View v(g_, *r, codec_);
        auto* vp = new OdDbViewportTableRecord();
        viewSettings(vp, v, true);
        addRecord(roots_.viewportTable, vports_, vp, v.text(2), r);
    }
    if (record(vports_, L"*ACTIVE").isNull())
        addRecord(roots_.viewportTable, vports_, new OdDbViewportTableRecord(), L"*ACTIVE", nullptr);
    for (const Rec* r : records["VIEW"]) {
        View v(g_, *r, codec_);
        auto* vw = new OdDbViewTableRecord();
        viewSettings(vw, v, false);
        vw->setIsPaperspaceView(v.integer(70, 0) & 1);
        addRecord(roots_.viewTable, views_, vw, v.text(2), r);
    }
    for (const Rec* r : records["APPID"]) {
        View v(g_, *r, codec_);
        addRecord(roots_.regAppTable, apps_, new OdDbRegAppTableRecord(), v.text(2), r);
    }
    for (const Rec* r : records["BLOCK_RECORD"]) {
        View v(g_, *r, codec_);
        if (!IsDimensionBlock(v.text(2))) addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), v.text(2), r);
    }
}

// ---- blocks and entities ----

void Loader::readBlocks()
{
    // Files of the oldest form have no block records: their blocks make
    // them.
    for (const auto& r : blocks_) {
        if (r.type != "BLOCK") continue;
        View v(g_, r, codec_);
        std::wstring name = v.text(2);
        if (!name.empty() && !IsDimensionBlock(name) && record(blockNames_, name).isNull())
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, nullptr);
    }
    for (const wchar_t* name : {L"*Model_Space", L"*Paper_Space"})
        if (record(blockNames_, name).isNull())
            addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), name, nullptr);
    roots_.modelSpace = record(blockNames_, L"*Model_Space");

    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].type != "BLOCK") continue;
        View v(g_, blocks_[i], codec_);
        OdDbObjectId block = record(blockNames_, v.text(2));
        size_t end = i + 1;
        while (end < blocks_.size() && blocks_[end].type != "ENDBLK" && blocks_[end].type != "BLOCK") ++end;
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(block));
        // A block defined twice keeps its first definition.
        if (btr && btr->entityIds().empty()) {
            DxfAccess::setOrigin(btr, v.point(10));
            readEntities(blocks_, i + 1, end, block);
        }
        i = end < blocks_.size() && blocks_[end].type == "ENDBLK" ? end : end - 1;
    }
}

void Loader::readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block)
{
    for (size_t i = from; i < to;) i = readEntity(recs, i, to, block);
}

size_t Loader::readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block)
{
    View v(g_, recs[i], codec_);
    OdDbObjectId owner = block;
    if (owner.isNull()) {
        // Entities of the entities section: the block their owner names,
        // else paper or model space.
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(v.owner())));
        owner = btr ? btr->objectId()
                    : v.integer(67, 0) == 1 ? record(blockNames_, L"*Paper_Space") : roots_.modelSpace;
    }
    size_t next = i;
    std::vector<OdDbAttribute*> attrs;
    std::vector<const Rec*> attrRecs;
    OdDbEntity* e = makeEntity(v, recs, next, to, attrs, attrRecs);
    if (next == i) ++next;
    if (!e) {
        for (auto* a : attrs) delete a;
        return next;
    }
    common(e, v);
    OdDbObjectId id = place(e, v, owner);
    DxfAccess::addEntity(static_cast<OdDbBlockTableRecord*>(obj(owner)), id);
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        references_.emplace_back(id, owner);
        for (size_t k = 0; k < attrs.size(); ++k) {
            View av(g_, *attrRecs[k], codec_);
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
}

OdDbEntity* Loader::makeText(const View& v, std::string_view type)
{
    OdDbText* t;
    const char* sub = type == "ATTDEF" ? "AcDbAttributeDefinition" : type == "ATTRIB" ? "AcDbAttribute" : "AcDbText";
    if (type == "ATTDEF") {
        auto* d = new OdDbAttributeDefinition();
        d->setTag(v.text(2, sub).c_str());
        d->setPrompt(v.text(3, sub).c_str());
        int64_t flags = v.integer(70, 0, sub);
        d->setInvisible(flags & 1);
        d->setConstant(flags & 2);
        d->setFieldLength((int)v.integer(73, 0, sub));
        t = d;
    } else if (type == "ATTRIB") {
        auto* a = new OdDbAttribute();
        a->setTag(v.text(2, sub).c_str());
        a->setInvisible(v.integer(70, 0, sub) & 1);
        a->setFieldLength((int)v.integer(73, 0, sub));
        t = a;
    } else {
        t = new OdDbText();
    }
    t->setPosition(v.point(10, "AcDbText"));
    t->setAlignmentPoint(v.point(11, "AcDbText"));
    t->setHeight(v.real(40, 0, "AcDbText"));
    t->setTextString(v.text(1, "AcDbText").c_str());
    t->setRotation(v.real(50, 0, "AcDbText") * kDegToRad);
    t->setWidthFactor(v.real(41, 1, "AcDbText"));
    t->setOblique(v.real(51, 0, "AcDbText") * kDegToRad);
    t->setTextStyle(styleNamed(v, "AcDbText"));
    int64_t h = v.integer(72, 0, "AcDbText");
    int64_t vm = type == "TEXT" ? v.integer(73, 0, "AcDbText") : v.integer(74, 0, sub);
    t->setHorizontalMode(h >= 0 && h <= 5 ? (OdDb::TextHorzMode)h : OdDb::kTextLeft);
    t->setVerticalMode(vm >= 0 && vm <= 3 ? (OdDb::TextVertMode)vm : OdDb::kTextBase);
    return t;
}

OdDbEntity* Loader::makePolyline(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to)
{
    int64_t flags = v.integer(70, 0);
    // The vertices and the end of the sequence follow the polyline.
    std::vector<View> verts;
    size_t k = i + 1;
    for (; k < to && recs[k].type == "VERTEX"; ++k) verts.emplace_back(g_, recs[k], codec_);
    if (k < to && recs[k].type == "SEQEND") ++k;
    i = k;
    if (flags & (16 | 64)) return nullptr;  // meshes and face sets are not kept
    // Spline-fit polylines keep their frame: the generated points are left.
    bool frame = std::any_of(verts.begin(), verts.end(), [](const View& x) { return x.integer(70, 0) & 16; });
    auto keep = [frame](const View& x) { return !frame || (x.integer(70, 0) & 16); };
    int64_t curve = v.integer(75, 0);
    if (flags & 8) {
        OdGePoint3dArray pts;
        for (const auto& x : verts)
            if (keep(x)) pts.append(x.point(10));
        auto type = (flags & 4) ? (curve == 5 ? OdDb::k3dQuadSplinePoly : OdDb::k3dCubicSplinePoly) : OdDb::k3dSimplePoly;
        return new OdDb3dPolyline(type, pts, flags & 1);
    }
    OdDb::Poly2dType type = (flags & 4) ? (curve == 5 ? OdDb::k2dQuadSplinePoly : OdDb::k2dCubicSplinePoly)
                            : (flags & 2) ? OdDb::k2dFitCurvePoly
                                          : OdDb::k2dSimplePoly;
    double elevation = v.point(10).z;
    double sw = v.real(40, 0), ew = v.real(41, 0);
    auto* p = new OdDb2dPolyline(type, OdGePoint3dArray(), elevation, flags & 1);
    for (const auto& x : verts) {
        if (!keep(x)) continue;
        OdGePoint3d pt = x.point(10);
        p->appendVertex(OdGePoint3d(pt.x, pt.y, elevation), x.real(42, 0), x.real(40, sw), x.real(41, ew));
    }
    return p;
}

// A hatch's boundary loops are positional: each loop's groups follow its
// type in a fixed order, so they are read with a cursor.
class Cursor {
public:
    Cursor(const View& v, size_t from) : v_(&v), i_(from) {}
    bool at(int code) const { return i_ < v_->end() && v_->at(i_).code == code; }
    const Group* take(int code)
    {
        if (!at(code)) return nullptr;
        return &v_->at(i_++);
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
    void skipTo(int code)
    {
        while (i_ < v_->end() && v_->at(i_).code != code) ++i_;
    }

private:
    const View* v_;
    size_t i_;
};

// One edge of a boundary loop, or null when its groups are broken.
OdGeCurve2d* ReadEdge(Cursor& c, int64_t type, bool lastEdge)
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
            }
            OdGePoint2d t;
            if (c.at(12)) c.point2(12, t);
            if (c.at(13)) c.point2(13, t);
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

OdDbEntity* Loader::makeHatch(const View& v, uint64_t)
{
    auto* h = new OdDbHatch();
    const char* sub = "AcDbHatch";
    h->setElevation(v.real(30, 0, sub));
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
    for (int64_t l = 0, nl = c.bound(loops, 2); l < nl; ++l) {
        int64_t type = 0;
        if (!c.integer(92, type)) break;
        std::vector<uint64_t> src;
        if (type & OdDbHatch::kPolyline) {
            int64_t bulged = 0, closed = 0, nv = 0;
            c.integer(72, bulged);
            c.integer(73, closed);
            if (!c.integer(93, nv)) break;
            OdGePoint2dArray verts;
            OdGeDoubleArray bulges;
            for (int64_t k = 0, n = c.bound(nv, 2); k < n; ++k) {
                OdGePoint2d p;
                if (!c.point2(10, p)) break;
                double b = 0;
                if (c.at(42)) c.real(42, b);
                verts.append(p);
                bulges.append(b);
            }
            h->appendLoop((int)type, verts, bulges);
        } else {
            int64_t ne = 0;
            if (!c.integer(93, ne) || ne > kMaxLoopEdges) break;
            OdGeVoidPointerArray edges;
            OdGeIntArray types;
            bool broken = false;
            for (int64_t k = 0, n = c.bound(ne, 2); k < n && !broken; ++k) {
                int64_t et = 0;
                OdGeCurve2d* edge = c.integer(72, et) ? ReadEdge(c, et, k + 1 == n) : nullptr;
                if (!edge) {
                    broken = true;
                    break;
                }
                edges.append(edge);
                types.append((int)et);
            }
            if (!broken && !edges.isEmpty()) h->appendLoop((int)type, edges, types);
            for (void* e : edges) delete static_cast<OdGeCurve2d*>(e);
            if (broken) break;
        }
        int64_t ns = 0;
        if (c.integer(97, ns))
            for (int64_t k = 0, n = c.bound(ns, 1); k < n; ++k)
                if (const Group* x = c.take(330)) src.push_back(x->handle);
        sources.push_back(src);
    }
    size_t after = std::max(c.pos(), start);
    auto later = [&](int code) { return v.find(code, nullptr, 0, after); };
    if (solid || Lower(pattern) == L"solid") {
        h->setPattern(OdDbHatch::kPreDefined, L"SOLID");
    } else if (!pattern.empty()) {
        auto type = patternType == 0 ? OdDbHatch::kUserDefined : patternType == 2 ? OdDbHatch::kCustomDefined
                                                                                  : OdDbHatch::kPreDefined;
        if (h->setPattern(type, pattern.c_str()) != eOk) h->setPattern(OdDbHatch::kCustomDefined, pattern.c_str());
    }
    if (const Group* a = later(52); a && a->kind == Kind::kReal) h->setPatternAngle(a->real * kDegToRad);
    // The pattern's origin: the base point of its first line.
    if (const Group* lines = later(78); lines && lines->integer > 0) {
        const Group* x = v.find(43, nullptr, 0, v.indexOf(lines));
        const Group* y = v.find(44, nullptr, 0, v.indexOf(lines));
        if (x && y) h->setOriginPoint(OdGePoint2d(x->real, y->real));
    }
    if (const Group* s = later(41); s && s->kind == Kind::kReal) h->setPatternScale(s->real);
    if (const Group* g = later(450); g && g->integer == 1) {
        h->setHatchObjectType(OdDbHatch::kGradientObject);
        const Group* name = later(470);
        const Group* kind = later(451);
        auto gtype = kind && kind->integer == 1 ? OdDbHatch::kUserDefinedGradient : OdDbHatch::kPreDefinedGradient;
        if (!name || h->setGradient(gtype, v.decode(*name).c_str()) != eOk) h->setGradient(gtype, L"LINEAR");
        if (const Group* a = later(460)) h->setGradientAngle(a->real);
        if (const Group* one = later(452)) h->setGradientOneColorMode(one->integer != 0);
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        for (size_t i = after; i < v.end(); ++i) {
            if (v.skipped(i)) continue;
            const Group& x = v.at(i);
            if (x.code == 463) {
                colors.append(OdCmColor(OdCmEntityColor::kByACI));
                colors.last().setColorIndex(7);
                values.append(x.real);
            } else if (x.code == 63 && !colors.isEmpty() && x.integer >= 1 && x.integer <= 255) {
                colors.last().setColorIndex((int16_t)x.integer);
            } else if (x.code == 421 && !colors.isEmpty()) {
                colors.last().setRGB((uint8_t)(x.integer >> 16), (uint8_t)(x.integer >> 8), (uint8_t)x.integer);
            }
        }
        if (colors.length() >= 2) h->setGradientColors((unsigned)colors.length(), colors.asArrayPtr(), values.asArrayPtr());
    }
    auto [xb, xe] = v.xdata("HATCHBACKGROUNDCOLOR");
    for (size_t i = xb; i < xe; ++i) {
        if (v.at(i).code != 1071) continue;
        // The colour's method in the top byte, its index or value below.
        uint32_t value = (uint32_t)v.at(i).integer;
        OdCmColor back;
        if (value >> 24 == OdCmEntityColor::kByColor) back.setRGB((uint8_t)(value >> 16), (uint8_t)(value >> 8), (uint8_t)value);
        else if (value >> 24 == OdCmEntityColor::kByACI && (value & 0xFFFFFF) <= 255) back.setColorIndex((int16_t)(value & 0xFF));
        else if (value >> 24 == OdCmEntityColor::kByBlock) back.setColorMethod(OdCmEntityColor::kByBlock);
        else break;
        h->setBackgroundColor(back);
        break;
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
    case 0:
        if (v.hasSubclass("AcDbRotatedDimension") || v.has(50, "AcDbAlignedDimension"))
            d = new OdDbRotatedDimension(v.real(50, 0, "AcDbAlignedDimension") * kDegToRad, p13, p14, p10, t);
        else
            d = new OdDbAlignedDimension(p13, p14, p10, t);
        break;
    case 1: d = new OdDbAlignedDimension(p13, p14, p10, t); break;
    case 2: d = new OdDb2LineAngularDimension(p13, p14, p15, p10, p16, t); break;
    case 3: d = new OdDbDiametricDimension(p15, p10, v.real(40, 0), t); break;
    case 4: d = new OdDbRadialDimension(p10, p15, v.real(40, 0), t); break;
    case 5: d = new OdDb3PointAngularDimension(p15, p13, p14, p10, t); break;
    case 6: d = new OdDbOrdinateDimension((type & 64) != 0, p13, p14, t); break;
    default: return nullptr;
    }
    if (v.has(11)) d->setTextPosition(v.point(11));
    // The host's overrides of the dimension's style: (code, value) pairs.
    auto [xb, xe] = v.xdata("ACAD");
    for (size_t i = xb; i + 1 < xe; ++i)
        if (v.at(i).code == 1070 && v.at(i).integer == 279 && v.at(i + 1).code == 1070) {
            d->setDimtmove((int)v.at(i + 1).integer);
            break;
        }
    return d;
}

OdDbEntity* Loader::makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                               std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs)
{
    std::string_view type = recs[i].type;
    if (type == "LINE") return new OdDbLine(v.point(10), v.point(11));
    if (type == "POINT") return new OdDbPoint(v.point(10));
    if (type == "CIRCLE" || type == "ARC") {
        OdGeVector3d n = v.vector(210, nullptr, OdGeVector3d(0, 0, 1));
        if (n.isZeroLength()) n = OdGeVector3d(0, 0, 1);
        OdGePoint3d c = OcsToWcs(v.point(10), n);
        double r = v.real(40, 0);
        if (!(r > 0)) return nullptr;
        if (type == "CIRCLE") return new OdDbCircle(c, n, r);
        return new OdDbArc(c, n, r, OdGeNormalizeAngle(v.real(50, 0) * kDegToRad),
                           OdGeNormalizeAngle(v.real(51, 0) * kDegToRad));
    }
    if (type == "ELLIPSE") {
        OdGeVector3d n = v.vector(210, nullptr, OdGeVector3d(0, 0, 1));
        OdGeVector3d maj = v.vector(11, nullptr, OdGeVector3d(1, 0, 0));
        if (n.isZeroLength()) n = OdGeVector3d(0, 0, 1);
        n = n.normal();
        maj = maj - n * maj.dotProduct(n);  // square to the normal
        if (!Finite(maj)) return nullptr;
        double ratio = v.real(40, 1);
        double t0 = v.real(41, 0), t1 = v.real(42, 2 * M_PI);
        if (!(std::fabs(t1 - t0) <= 4 * M_PI)) return nullptr;
        auto* e = new OdDbEllipse();
        if (e->set(v.point(10), n, maj, ratio, EllipseAngleOfParam(ratio, t0), EllipseAngleOfParam(ratio, t1)) != eOk) {
            delete e;
            return nullptr;
        }
        return e;
    }
    if (type == "LWPOLYLINE") {
        auto* p = new OdDbPolyline();
        const char* sub = "AcDbPolyline";
        OdGeVector3d n = v.vector(210, sub, OdGeVector3d(0, 0, 1));
        if (n.isZeroLength()) n = OdGeVector3d(0, 0, 1);
        double constWidth = v.real(43, 0, sub);
        if (!(constWidth >= 0)) constWidth = 0;
        double elevation = v.real(38, 0, sub);
        p->setClosed(v.integer(70, 0, sub) & 1);
        // The vertices are in the plane of the normal; the polyline keeps
        // them in the world plane, a mirrored plane turning the bulges.
        double turn = OdGeVector3d(0, 0, 1).dotProduct(n.normal()) < 0 ? -1 : 1;
        p->setElevation(OcsToWcs(OdGePoint3d(0, 0, elevation), n).z);
        size_t from = v.subclassStart(sub);
        for (size_t k = from; k < v.end(); ++k) {
            if (v.skipped(k) || v.at(k).code != 10) continue;
            double x = v.at(k).real, y = 0, sw = constWidth, ew = constWidth, b = 0;
            size_t m = k + 1;
            for (; m < v.end() && v.at(m).code != 10 && v.at(m).code != 100; ++m) {
                const Group& gm = v.at(m);
                if (gm.code == 20) y = gm.real;
                else if (gm.code == 40 && gm.real >= 0) sw = gm.real;
                else if (gm.code == 41 && gm.real >= 0) ew = gm.real;
                else if (gm.code == 42) b = gm.real;
            }
            OdGePoint3d w = OcsToWcs(OdGePoint3d(x, y, elevation), n);
            p->addVertexAt(p->numVerts(), OdGePoint2d(w.x, w.y), b * turn, sw, ew);
            k = m - 1;
        }
        return p;
    }
    if (type == "POLYLINE") return makePolyline(v, recs, i, to);
    if (type == "SPLINE") {
        const char* sub = "AcDbSpline";
        int64_t flags = v.integer(70, 0, sub), degree = v.integer(71, 3, sub);
        OdGeDoubleArray knots, weights;
        OdGePoint3dArray ctrl, fit;
        size_t from = v.subclassStart(sub);
        for (size_t k = from; k < v.end(); ++k) {
            if (v.skipped(k)) continue;
            const Group& x = v.at(k);
            auto pointAt = [&](int code) {
                OdGePoint3d p(x.real, 0, 0);
                if (k + 1 < v.end() && v.at(k + 1).code == code + 10) p.y = v.at(++k).real;
                if (k + 1 < v.end() && v.at(k + 1).code == code + 20) p.z = v.at(++k).real;
                return p;
            };
            if (x.code == 40) knots.append(x.real);
            else if (x.code == 41) weights.append(x.real);
            else if (x.code == 10) ctrl.append(pointAt(10));
            else if (x.code == 11) fit.append(pointAt(11));
        }
        bool rational = (flags & 4) && weights.length() == ctrl.length();
        if (degree < 1 || degree > 25) return nullptr;
        OdDbSpline* s;
        if (ctrl.isEmpty() && fit.length() >= 2) {
            s = new OdDbSpline(fit, OdGeVector3d(), OdGeVector3d(), (int)degree + 1);
        } else {
            s = new OdDbSpline((int)degree, rational, flags & 1, flags & 2, ctrl, knots,
                               rational ? weights : OdGeDoubleArray());
            DxfAccess::setSplineData(s, rational ? weights : OdGeDoubleArray(), fit);
        }
        if (s->isNull()) {
            delete s;
            return nullptr;
        }
        return s;
    }
    if (type == "TEXT" || type == "ATTDEF") return makeText(v, type);
    if (type == "MTEXT") {
        const char* sub = "AcDbMText";
        auto* m = new OdDbMText();
        m->setLocation(v.point(10, sub));
        m->setTextHeight(v.real(40, 2.5, sub));
        m->setWidth(v.real(41, 0, sub));
        int64_t a = v.integer(71, 1, sub), f = v.integer(72, 1, sub);
        m->setAttachment(a >= 1 && a <= 9 ? (OdDbMText::AttachmentPoint)a : OdDbMTextEnums::kTopLeft);
        m->setFlowDirection(f >= 1 && f <= 5 ? (OdDbMText::FlowDirection)f : OdDbMTextEnums::kLtoR);
        // The contents: the pieces in order, up to an embedded object.
        std::string raw;
        for (size_t k = v.subclassStart(sub); k < v.end() && v.at(k).code != 101 && v.at(k).code != 100; ++k)
            if (!v.skipped(k) && (v.at(k).code == 1 || v.at(k).code == 3)) raw += v.at(k).text;
        m->setContents(codec_.decode(raw).c_str());
        m->setTextStyle(styleNamed(v, sub));
        if (v.has(11, sub)) {
            OdGeVector3d d = v.vector(11, sub, OdGeVector3d(1, 0, 0));
            m->setRotation(d.isZeroLength() ? 0 : std::atan2(d.y, d.x));
        } else {
            m->setRotation(v.real(50, 0, sub) * kDegToRad);
        }
        return m;
    }
    if (type == "INSERT") {
        OdDbObjectId block = record(blockNames_, v.text(2, "AcDbBlockReference"));
        // Attributes follow the reference up to the end of the sequence.
        size_t k = i + 1;
        for (; k < to && recs[k].type == "ATTRIB"; ++k) {
            attrs.push_back(static_cast<OdDbAttribute*>(makeText(View(g_, recs[k], codec_), "ATTRIB")));
            attrRecs.push_back(&recs[k]);
        }
        if (k < to && recs[k].type == "SEQEND") ++k;
        i = k;
        if (block.isNull() || block == roots_.modelSpace) return nullptr;
        auto* r = new OdDbBlockReference(v.point(10), block);
        r->setScaleFactors(OdGeScale3d(v.real(41, 1), v.real(42, 1), v.real(43, 1)));
        r->setRotation(v.real(50, 0) * kDegToRad);
        return r;
    }
    if (type == "HATCH") return makeHatch(v, v.handle());
    if (type == "SOLID") {
        OdGePoint3d p[4] = {v.point(10), v.point(11), v.point(12), v.point(13, nullptr, v.point(12))};
        return new OdDbSolid(p[0], p[1], p[2], p[3]);
    }
    if (type == "IMAGE") {
        auto* img = new OdDbRasterImage();
        double w = v.real(13, 1), h = v.real(23, 1);
        OdGeVector3d u = v.vector(11, nullptr, OdGeVector3d(1, 0, 0)) * w;
        OdGeVector3d vv = v.vector(12, nullptr, OdGeVector3d(0, 1, 0)) * h;
        if (!(w > 0 && h > 0) || !Finite(u) || !Finite(vv) || !img->setOrientation(v.point(10), u, vv)) {
            delete img;
            return nullptr;
        }
        int64_t display = v.integer(70, OdDbRasterImage::kShow);
        for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                         OdDbRasterImage::kTransparent})
            img->setDisplayOpt(opt, (display & opt) != 0);
        uint64_t def = v.ref(340);
        fixups_.push_back([this, img, def] {
            if (auto* d = OdRxCast<OdDbRasterImageDef>(obj(idOf(def)))) DxfAccess::setImageDefId(img, d->objectId());
        });
        return img;
    }
    if (type == "DIMENSION") return makeDimension(v);
    if (type == "MLINE") {
        const char* sub = "AcDbMline";
        auto* m = new OdDbMline();
        for (size_t k = v.subclassStart(sub); k < v.end(); ++k) {
            if (v.skipped(k) || v.at(k).code != 11) continue;
            OdGePoint3d p(v.at(k).real, 0, 0);
            if (k + 1 < v.end() && v.at(k + 1).code == 21) p.y = v.at(++k).real;
            if (k + 1 < v.end() && v.at(k + 1).code == 31) p.z = v.at(++k).real;
            m->appendSeg(p);
        }
        m->setClosedMline(v.integer(71, 0, sub) & 2);
        double scale = v.real(40, 1, sub);
        if (std::isfinite(scale) && scale != 0) m->setScale(scale);
        return m;
    }
    // Other kinds are kept as proxies carrying what the file says of them
    // after their entity values (parts of sequences excepted).
    if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB" || !v.hasSubclass("AcDbEntity")) return nullptr;
    auto* proxy = new OdDbProxyEntity();
    size_t from = v.subclassStart("AcDbEntity");
    while (from < recs[i].e && g_[from].code != 100) ++from;
    keepFileRecord(recs[i], v, from, DxfAccess::fileRecord(proxy));
    return proxy;
}

void Loader::keepFileRecord(const Rec& r, const View& v, size_t from, OdDbProxyFileRecord& f)
{
    auto groups = [this](size_t b, size_t e, const View* own, std::vector<std::pair<int, std::wstring>>& out) {
        for (size_t i = b; i < e; ++i) {
            if (own && (own->skipped(i) || i == own->handleAt_ || i == own->ownerAt_)) continue;
            const Group& x = g_[i];
            out.emplace_back(x.code, x.kind == Kind::kText ? codec_.decode(x.text)
                                                           : std::wstring(x.text.begin(), x.text.end()));
        }
    };
    f.dxfName = std::wstring(r.type.begin(), r.type.end());
    groups(from, r.e, &v, f.groups);
    for (const auto& c : classes_) {
        View cv(g_, c, codec_);
        if (cv.text(1) == f.dxfName) {
            groups(c.b, c.e, nullptr, f.classGroups);
            break;
        }
    }
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
    for (const auto& [ref, block] : references_) {
        OdDbObjectId target = static_cast<OdDbBlockReference*>(obj(ref))->blockTableRecord();
        refsIn[block].emplace_back(ref, target);
        blocks.insert(block);
        blocks.insert(target);
    }
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
            if (state[target] == kOnPath) DxfAccess::markErased(obj(ref));
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
            if (level[block] + 1 > kMaxBlockDepth) DxfAccess::markErased(obj(ref));
            else level[target] = std::max(level[target], level[block] + 1);
            if (--pending[target] == 0) ready.push_back(target);
        }
    }
}

void Loader::readObjects()
{
    bool nodSeen = false;
    for (const auto& r : objects_) {
        bool xrecord = r.type == "XRECORD";
        View v(g_, r, codec_, xrecord);
        if (r.type == "DICTIONARY" || r.type == "ACDBDICTIONARYWDFLT") {
            auto* d = new OdDbDictionary();
            OdDbObjectId id = place(d, v, OdDbObjectId());
            if (!nodSeen && v.owner() == 0) {
                roots_.nod = id;
                nodSeen = true;
            }
            std::vector<std::pair<std::wstring, uint64_t>> entries;
            for (size_t k = v.begin(); k + 1 < v.end(); ++k)
                if (!v.skipped(k) && v.at(k).code == 3 && (v.at(k + 1).code == 350 || v.at(k + 1).code == 360))
                    entries.emplace_back(v.decode(v.at(k)), v.at(k + 1).handle);
            fixups_.push_back([this, d, entries] {
                std::set<std::wstring> keys;  // keys compare without case
                for (const auto& [key, h] : entries) {
                    OdDbObjectId e = idOf(h);
                    if (key.empty() || e.isNull() || e == d->objectId() || !keys.insert(Lower(key)).second) continue;
                    DxfAccess::addEntry(d, key, e);
                    if (obj(e)->ownerId().isNull()) DxfAccess::setOwner(obj(e), d->objectId());
                }
            });
        } else if (xrecord) {
            auto* x = new OdDbXrecord();
            place(x, v, OdDbObjectId());
            // The data: every group after the subclass marker and the
            // cloning flag, points gathered from their coordinates.
            size_t k = v.end();
            for (size_t i = r.b; i < r.e; ++i)
                if (g_[i].code == 100 && TrimView(g_[i].text) == "AcDbXrecord") {
                    k = i + 1;
                    break;
                }
            if (k < r.e && g_[k].code == 280) ++k;
            size_t from = k, to = r.e;
            fixups_.push_back([this, x, from, to] {
                OdResBuf head;
                OdResBuf* tail = &head;
                for (size_t i = from; i < to; ++i) {
                    const Group& gr = g_[i];
                    auto* rb = new OdResBuf(gr.code);
                    bool pointCode = (gr.code >= 10 && gr.code <= 18) || (gr.code >= 1010 && gr.code <= 1013);
                    if (pointCode) {
                        OdGePoint3d p(gr.real, 0, 0);
                        if (i + 1 < to && g_[i + 1].code == gr.code + 10) p.y = g_[++i].real;
                        if (i + 1 < to && g_[i + 1].code == gr.code + 20) p.z = g_[++i].real;
                        rb->setPoint3d(p);
                    } else if (gr.kind == Kind::kText) {
                        rb->setString(codec_.decode(gr.text));
                    } else if (gr.kind == Kind::kReal) {
                        rb->setDouble(gr.real);
                    } else if (gr.kind == Kind::kInt) {
                        rb->setInt32((int32_t)gr.integer);
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
        } else if (r.type != "SORTENTSTABLE") {
            auto* proxy = new OdDbProxyObject();
            keepFileRecord(r, v, r.b, DxfAccess::fileRecord(proxy));
            place(proxy, v, OdDbObjectId());
        } else {
            auto* t = new OdDbSortentsTable();
            place(t, v, OdDbObjectId());
            uint64_t block = v.ref(330, "AcDbSortentsTable");
            std::vector<std::pair<uint64_t, uint64_t>> pairs;
            size_t from = v.subclassStart("AcDbSortentsTable");
            for (size_t k = from; k + 1 < v.end(); ++k)
                if (v.at(k).code == 331 && v.at(k + 1).code == 5) pairs.emplace_back(v.at(k).handle, v.at(k + 1).handle);
            fixups_.push_back([this, t, block, pairs] {
                auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(block)));
                if (!btr) return;
                // Each entity sorts by its sort handle, its own handle when
                // the table gives none; equal ones keep their block order.
                std::map<uint64_t, uint64_t> sortOf;
                for (const auto& [e, s] : pairs) sortOf[e] = s;
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
            });
        }
    }
}

void Loader::finish()
{
    if (roots_.nod.isNull()) roots_.nod = DxfAccess::add(db_, new OdDbDictionary(), DxfAccess::nextHandle(db_));
    auto header = [this](const char* var) -> std::wstring {
        auto it = header_.find(var);
        return it != header_.end() && it->second < g_.size() && g_[it->second].kind == Kind::kText
                   ? codec_.decode(g_[it->second].text)
                   : std::wstring();
    };
    OdDbObjectId clayer = record(layers_, header("$CLAYER"));
    roots_.clayer = clayer.isNull() || clayer.isErased() ? roots_.layerZero : clayer;
    OdDbObjectId celtype = record(linetypes_, header("$CELTYPE"));
    roots_.celtype = celtype.isNull() ? roots_.ltByLayer : celtype;
    OdDbObjectId style = record(styles_, header("$TEXTSTYLE"));
    if (!style.isNull()) roots_.textstyle = style;
    DxfAccess::setRoots(db_, roots_);
}

void Loader::build()
{
    // Handles the database gives out while loading must not meet a handle
    // that the file uses further on.
    uint64_t top = 0;
    for (const auto& x : g_)
        if ((x.code == 5 || x.code == 105) && x.handle < kMaxHandle) top = std::max(top, x.handle);
    DxfAccess::setHandseed(db_, top + 1);
    readHeader();
    readTables();
    readBlocks();
    readEntities(entities_, 0, entities_.size(), OdDbObjectId());
    readObjects();
    for (auto& f : fixups_) f();
    dropCyclicReferences();
    finish();
}

}  // namespace

OdResult ReadDxf(OdDbDatabase* db, std::string_view bytes)
{
    if (!db) return eInvalidInput;
    // Drawings in the binary forms are not read by the stand-in: the
    // drawing form starts with its version code, the binary exchange form
    // has control bytes in its first line or right after it, which text
    // never has.
    if (bytes.substr(0, 4) == "AC10" ||
        bytes.substr(0, 32).find_first_of(std::string_view("\0\x1a", 2)) != std::string_view::npos)
        return eNotImplemented;
    if (!DxfAccess::isEmpty(db)) return eNotApplicable;
    std::vector<Group> groups;
    std::string why;
    if (!ReadGroups(bytes, groups, why)) return eInvalidInput;
    Loader loader(db, groups);
    if (!loader.split(why)) return eInvalidInput;
    loader.build();
    return eOk;
}

}  // namespace dxf
}  // namespace standin
