// Drawing files: the database written as DXF of the 2010 form (UTF-8 text,
// real handles, owners, extension dictionaries, extended data and
// Xrecords). What a file held that the database does not model (header
// variables, classes, sections, the groups of records, whole records of
// kinds it does not know) was kept when it was read and goes back in place
// (dxf_kept.h): each record's kept groups at the end of the subclass they
// were read in. Records a file needs but the database does not keep (block
// begin and end, vertex and sequence ends, a graphics block for a dimension
// made in memory, the default dimension style) get handles above the
// database's, and the file's handle seed is set past them.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_access.h"
#include "dxf_internal.h"
#include "dxf_schema.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {
namespace {

const double kRadToDeg = 180.0 / M_PI;
const double kDegToRad = M_PI / 180.0;

// An angle in radians as degrees: the shortest decimal that reads back as
// the same radians, so that 12 degrees read goes back as 12, not as
// 12.000000000000002, and nothing drifts from save to save.
double Degrees(double radians)
{
    const double d = radians * kRadToDeg;
    if (!std::isfinite(d)) return d;
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
        double back = 0;
        if (std::from_chars(buf, r.ptr, back).ec == std::errc() && back * kDegToRad == radians) return back;
    }
    return d;
}

// 0x00RRGGBB of a colour given by index or by value.
int64_t RgbOf(const OdCmColor& c)
{
    if (c.isByColor()) return (int64_t)c.red() << 16 | (int64_t)c.green() << 8 | c.blue();
    uint32_t bgr = gcedGetRGB(c.isByACI() ? c.colorIndex() : 7);
    return (int64_t)(bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

// A world point in the object coordinates of the plane with that normal.
OdGePoint3d WcsToOcs(const OdGePoint3d& p, const OdGeVector3d& normal)
{
    if (normal.x == 0 && normal.y == 0 && normal.z > 0) return p;
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    OdGeVector3d n = normal.normal();
    const OdGeVector3d v = p - OdGePoint3d::kOrigin;
    return OdGePoint3d(v.dotProduct(x), v.dotProduct(y), v.dotProduct(n));
}

OdGePoint3d AsPoint(const OdGeVector3d& v) { return OdGePoint3d(v.x, v.y, v.z); }

// An integer of extended or Xrecord data as the file gave it where a file
// can hold it (65535 for a 16-bit code), else as the host's type reads it.
int64_t FileInteger(const OdResBuf* rb)
{
    const int code = rb->restype();
    const int64_t held = DxfAccess::fileInteger(rb);
    if (GroupWriter::Holds(code, held)) return held;
    const bool narrow = (code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
                        (code >= 370 && code <= 409) || (code >= 1060 && code <= 1070);
    return narrow ? rb->getInt16() : rb->getInt32();
}

// The value the writer leaves out of a subclass as the default, spelled as
// it writes it; null for codes it always writes or that repeat.
const char* DefaultWrittenAs(const std::string& subclass, int code)
{
    static const std::map<std::pair<std::string, int>, const char*> kDefaults = {
        {{"AcDbEntity", 48}, "1.0"},       {{"AcDbEntity", 60}, "0"},
        {{"AcDbLine", 39}, "0.0"},         {{"AcDbLine", 210}, ""},
        {{"AcDbCircle", 39}, "0.0"},       {{"AcDbCircle", 210}, ""},
        {{"AcDbPoint", 39}, "0.0"},        {{"AcDbPoint", 50}, "0.0"},      {{"AcDbPoint", 210}, ""},
        {{"AcDbTrace", 39}, "0.0"},        {{"AcDbTrace", 210}, ""},
        {{"AcDbText", 39}, "0.0"},         {{"AcDbText", 50}, "0.0"},       {{"AcDbText", 41}, "1.0"},
        {{"AcDbText", 51}, "0.0"},         {{"AcDbText", 71}, "0"},         {{"AcDbText", 210}, ""},
        {{"AcDbMText", 50}, "0.0"},        {{"AcDbMText", 90}, "0"},
        {{"AcDb2dPolyline", 39}, "0.0"},   {{"AcDb2dPolyline", 40}, "0.0"}, {{"AcDb2dPolyline", 41}, "0.0"},
        {{"AcDb2dPolyline", 75}, "0"},     {{"AcDb2dPolyline", 210}, ""},
        {{"AcDbPolyline", 38}, "0.0"},     {{"AcDbPolyline", 39}, "0.0"},   {{"AcDbPolyline", 210}, ""},
        {{"AcDb2dVertex", 40}, "0.0"},     {{"AcDb2dVertex", 41}, "0.0"},   {{"AcDb2dVertex", 42}, "0.0"},
        {{"AcDbPolygonMesh", 73}, "0"},    {{"AcDbPolygonMesh", 74}, "0"},  {{"AcDbPolygonMesh", 75}, "0"},
    };
    auto it = kDefaults.find({subclass, code});
    return it == kDefaults.end() ? nullptr : it->second;
}

std::wstring Lower(std::wstring s)
{
    for (auto& c : s) c = (wchar_t)std::towlower(c);
    return s;
}

bool IsPlusZ(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

class DxfOut {
public:
    DxfOut(OdDbDatabase* db, std::vector<std::wstring>& losses, const RecordHashed* hashed = nullptr)
        : db_(db), synthetic_(db->handseed()), losses_(losses), hashed_(hashed)
    {
        const DxfFileKept* k = DxfAccess::fileKept(db);
        fileRecords_ = k && !hashed ? k->records.get() : nullptr;
        w_.setHashOnly(hashed != nullptr);
    }
    std::string run();

private:
    OdDbObject* obj(OdDbObjectId id) const { return DxfAccess::object(id); }
    // Whether the object goes to the file: its stub carries this save's
    // mark, or it is an entity that goes (decided when asked, so that
    // saving walks the entities once, as it writes them).
    bool written(OdDbObjectId id) const
    {
        if (id.database() != db_ || !obj(id)) return false;
        OdDbStub* stub = id.stub();
        return stub->mark == mark_ || (stub->entity && entityGoes(static_cast<const OdDbEntity*>(stub->object)));
    }
    bool entityGoes(const OdDbEntity* e) const;
    // Why an entity of a live block cannot go; null when it can.
    static const wchar_t* cannotGo(const OdDbObject* o);
    bool goes(const OdDbObject* o) const { return o && o->objectId().stub() && o->objectId().stub()->mark == mark_; }
    void add(const OdDbObject* o) { o->objectId().stub()->mark = mark_; }
    uint64_t synthetic() { return synthetic_++; }
    uint64_t handleOf(OdDbObjectId id) const { return written(id) ? (uint64_t)id.getHandle() : 0; }
    void collect();
    void header(GroupWriter& w);
    void classes();
    void tables();
    void blocks();
    void objects();
    void extraSections();

    // ---- records ----
    // Ends the record being written (its kept groups and extended data go
    // out) and starts a new one: "0 type".
    // `of` and `sub` name the record: the object's own (kObjectRecord), its
    // block's begin or end, or the n-th record of its sequence.
    void open(const std::string& type, const OdDbObject* o = nullptr, const DxfKept* kept = nullptr,
              const OdDbObject* of = nullptr, int sub = kObjectRecord);
    void close();
    // Puts back the values of the record that nobody changed as the file
    // wrote them.
    void applyRespellings(const std::vector<DxfKept::Respelling>& list);
    // The groups of the object's head: handle, extension dictionary,
    // reactors, owner.
    void begin(const std::string& type, const OdDbObject* o, OdDbObjectId owner, int handleCode = 5);
    void marker(const char* subclass);
    void flushRuns(bool all);
    void keptGroup(const KeptGroup& g);
    uint64_t keptHandle(const KeptGroup& g) const;
    // A record's head: its handle (code 5 or 105) and owner.
    void head(uint64_t handle, uint64_t owner, int handleCode = 5)
    {
        w_.setTag(GroupWriter::kFrame);
        w_.handle(handleCode, handle);
        w_.setTag(GroupWriter::kOwner);
        w_.handle(330, owner);
        w_.setTag(GroupWriter::kValue);
    }
    bool keptHas(int code) const;
    void check(int code);
    // Groups of the current subclass; soft ones only when the file gave no
    // value of its own.
    void text(int code, const std::wstring& s) { check(code); w_.text(code, s); }
    void ascii(int code, std::string_view s) { check(code); w_.ascii(code, s); }
    void integer(int code, int64_t v) { check(code); w_.integer(code, v); }
    void real(int code, double v) { check(code); w_.real(code, v); }
    void handle(int code, uint64_t h) { check(code); w_.handle(code, h); }
    void point(int code, const OdGePoint3d& p) { check(code); w_.point(code, p); }
    void point2(int code, double x, double y) { check(code); w_.point2(code, x, y); }
    void softInteger(int code, int64_t v)
    {
        if (!keptHas(code)) w_.integer(code, v);
    }
    void softReal(int code, double v)
    {
        if (!keptHas(code)) w_.real(code, v);
    }
    void softText(int code, const std::wstring& s)
    {
        if (!keptHas(code)) w_.text(code, s);
    }
    void xdata(const OdResBuf* chain);

    // Gives the table's handle.
    uint64_t beginTable(const char* name, OdDbObjectId tableId, int count);
    void symbolRecord(const char* type, const char* subclass, const OdDbSymbolTableRecord* r);
    int recordFlags(const OdDbSymbolTableRecord* r, int modelled, int mask);
    void entity(const OdDbEntity* e);
    void writeEntities(const OdDbBlockTableRecord* block);
    void entityCommon(const std::string& type, const OdDbEntity* e);
    // `count`: how many such records the entity is written with now; what
    // the file gave them goes back only when that is as many as it gave.
    void subRecordHead(const char* type, const OdDbEntity* parent, size_t index, size_t count);
    // The handle of a record the database does not keep: the one the file
    // gave it when that is free, else a new one.
    uint64_t recordHandle(uint64_t fromFile);
    // Says so when what the file gave the records of the entity's sequence
    // no longer fits how many it is written with.
    void checkSubRecords(const OdDbEntity* parent, size_t count);
    void circleBody(const OdDbEntity* e, const OdGePoint3d& center, double radius, const OdGeVector3d& normal,
                    double thickness);
    // A world point of the entity in its plane's coordinates: the file's
    // own values while the entity still has the point and normal it read.
    OdGePoint3d inPlane(const OdDbEntity* e, size_t slot, const OdGePoint3d& world, const OdGeVector3d& normal) const
    {
        return asRead(e, slot, world, normal, WcsToOcs(world, normal));
    }
    // The file's value in that slot while the entity has `now` and the
    // normal it read them with, else `otherwise`.
    OdGePoint3d asRead(const OdDbEntity* e, size_t slot, const OdGePoint3d& now, const OdGeVector3d& normal,
                       const OdGePoint3d& otherwise) const;
    void color(int aciCode, const OdCmColor& c);
    void text(const OdDbText* t, const char* type);
    void mtext(const OdDbMText* m);
    void insert(const OdDbBlockReference* r);
    void polyline2d(const OdDb2dPolyline* p);
    void polyline3d(const OdDb3dPolyline* p);
    void polygonMesh(const OdDbPolygonMesh* m);
    void polyFaceMesh(const OdDbPolyFaceMesh* m);
    void seqend(const OdDbEntity* parent, size_t count);
    void spline(const OdDbSpline* s);
    void hatch(const OdDbHatch* h);
    void dimension(const OdDbDimension* d);
    void mline(const OdDbMline* m);
    void xrecordData(const OdResBuf* chain);
    OdString nameOf(OdDbObjectId id) const;
    // The names of a table's records, without case, as of this save (a
    // record without a name, a shape file's style, is named by none).
    const std::unordered_set<std::wstring>& namesOf(OdDbObjectId table)
    {
        auto [it, made] = tableNames_.try_emplace(table);
        if (made)
            if (auto* t = OdRxCast<OdDbSymbolTable>(obj(table)))
                for (const auto& r : DxfAccess::records(t))
                    if (!r.isErased() && !nameOf(r).isEmpty()) it->second.insert(Lower(nameOf(r).str()));
        return it->second;
    }
    void lose(const OdDbObject* o, const std::wstring& what);

    OdDbDatabase* db_;
    uint64_t synthetic_;
    std::vector<std::wstring>& losses_;
    GroupWriter w_;
    uint32_t mark_ = NextMark();
    std::vector<const OdDbObject*> out_;  // objects that go, entities aside
    std::vector<OdDbObjectId> blocks_;
    OdDbObjectId paperSpace_;
    // Dimensions made in memory have no block of graphics; files must give
    // each one: an empty anonymous block.
    struct DimensionBlock {
        std::wstring name;
        uint64_t record = 0;
    };
    std::map<const OdDbObject*, DimensionBlock> dimensionBlocks_;
    std::set<std::wstring> blockNames_;
    int nextDimensionBlock_ = 1;
    // Applications of extended data the file must register.
    std::set<std::wstring> apps_;
    uint64_t dimstyleHandle_ = 0;
    std::unordered_set<uint64_t> recordHandles_;  // given to records in this save
    std::map<OdDbObjectId, std::unordered_set<std::wstring>> tableNames_;

    // Records of objects are hashed for this instead of written, when set.
    const RecordHashed* hashed_;
    // The records of the file the drawing was read from.
    const DxfFileRecords* fileRecords_ = nullptr;
    // The entity whose sequence is being written, and whether its values
    // are as read.
    const OdDbObject* sequenceOf_ = nullptr;
    bool sequenceHeld_ = false;

    // The record being written.
    struct Record {
        bool open = false;
        std::string type;
        const OdDbObject* obj = nullptr;
        const DxfKept* kept = nullptr;
        const DxfFileRecords::Record* file = nullptr;  // as read
        const OdDbObject* of = nullptr;
        int sub = kObjectRecord;
        size_t start = 0;  // where its text begins
        std::string subclass;
        int occurrence = 0;
        std::vector<std::pair<const char*, int>> seen;  // markers written, how often
        std::vector<char> flushed;
        const CodeSet* owned = nullptr;
        CodeSet here;  // codes of values written in the current subclass
    } rec_;

    static uint32_t NextMark()
    {
        static uint32_t mark = 0;
        return ++mark;
    }
};

OdString DxfOut::nameOf(OdDbObjectId id) const
{
    auto* r = OdRxCast<OdDbSymbolTableRecord>(obj(id));
    return r ? r->getName() : OdString();
}

void DxfOut::lose(const OdDbObject* o, const std::wstring& what)
{
    const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o);
    std::wstring kind = f && !f->dxfName.empty() ? f->dxfName : o->isA()->name().str();
    losses_.push_back(kind + L" (handle " + o->handle().ascii().str() + L"): " + what);
}

// ---- records and their kept groups ----

void DxfOut::open(const std::string& type, const OdDbObject* o, const DxfKept* kept, const OdDbObject* of, int sub)
{
    close();
    rec_ = Record();
    rec_.open = true;
    rec_.obj = o;
    rec_.kept = kept ? kept : o ? DxfAccess::kept(o) : nullptr;
    rec_.of = of ? of : o;
    rec_.sub = sub;
    rec_.type = rec_.kept && !rec_.kept->dxfType.empty() ? rec_.kept->dxfType : type;
    if (rec_.kept) rec_.flushed.assign(rec_.kept->runs.size(), 0);
    rec_.start = w_.bytes().size();
    // A record's groups are noted when it may respell what the file wrote,
    // or when the records are being hashed.
    rec_.file = fileRecords_ && rec_.of ? fileRecords_->find(rec_.of, sub) : nullptr;
    if ((hashed_ && rec_.of) || rec_.file) w_.startNoting();
    w_.setTag(GroupWriter::kFrame);
    w_.ascii(0, rec_.type);
    w_.setTag(GroupWriter::kValue);
}

void DxfOut::close()
{
    if (!rec_.open) return;
    flushRuns(true);
    if (rec_.obj) {
        const OdResBuf* data = DxfAccess::xdata(rec_.obj);
        for (const OdResBuf* rb = data; rb; rb = rb->next())
            if (rb->restype() == 1001) apps_.insert(rb->getString().str());
        w_.setTag(GroupWriter::kExtended);
        xdata(data);
        w_.setTag(GroupWriter::kValue);
    }
    rec_.open = false;
    if (hashed_ && rec_.of) {
        (*hashed_)(rec_.of, rec_.sub, w_.valuesHash(), w_.valueCodes());
    } else if (rec_.file) {
        const uint64_t hash = w_.valuesHash();
        // The records of a sequence (vertices, its end) are as read only
        // while the entity they belong to is; records written between
        // (its attributes) have no say in it.
        if (rec_.sub == kObjectRecord && fileRecords_->find(rec_.of, 0)) {
            sequenceOf_ = rec_.of;
            sequenceHeld_ = hash == rec_.file->hash;
        }
        const bool held = hash == rec_.file->hash && (rec_.sub < 0 || (sequenceOf_ == rec_.of && sequenceHeld_));
        if (held) {
            const std::vector<DxfKept::Respelling> list =
                Respellings(*fileRecords_, *rec_.file, rec_.of, std::string_view(w_.bytes()).substr(rec_.start),
                            w_.noted(), rec_.start);
            if (!list.empty()) applyRespellings(list);
        }
    }
    w_.stopNoting();
}

void DxfOut::applyRespellings(const std::vector<DxfKept::Respelling>& list)
{
    using R = DxfKept::Respelling;
    const std::vector<GroupWriter::Noted> noted = w_.noted();
    const std::string text = w_.bytes().substr(rec_.start);
    w_.cut(rec_.start);
    // How many groups of each code (values, then the owner) so far.
    std::vector<int> counts(2 * 1072, 0);
    auto occurrence = [&counts](int tag, int code) {
        return code >= 0 && code < 1072 ? counts[(size_t)(tag == GroupWriter::kOwner) * 1072 + (size_t)code]++ : 0;
    };
    // A name the drawing did not have goes back only while it still has
    // none.
    auto stands = [this](const R& r) {
        if (r.names == R::kNoName) return true;
        TextCodec utf8;
        const OdDbObjectId table = r.names == R::kLinetype    ? db_->getLinetypeTableId()
                                   : r.names == R::kTextStyle ? db_->getTextStyleTableId()
                                   : r.names == R::kLayer     ? db_->getLayerTableId()
                                                              : db_->getDimStyleTableId();
        return (namesOf(table).count(Lower(utf8.decode(r.file))) != 0) == r.named;
    };
    // Replacements and drops come sorted by (tag, code, occurrence), the
    // additions after them.
    const auto adds = std::find_if(list.begin(), list.end(), [](const R& r) { return r.kind == R::kAdd; });
    // The subclass being written, and the groups the file had there that
    // the writer left out, added at its end.
    std::vector<std::pair<std::string, int>> markers;
    std::string sub;
    int subOccurrence = 0;
    auto addMissing = [&] {
        for (auto r = adds; r != list.end(); ++r)
            if (r->subclass == sub && r->subOccurrence == subOccurrence && stands(*r)) w_.put(r->code, r->file);
    };
    // Added where the subclass's values end: before the groups it keeps
    // and the next marker.
    bool added = false;
    for (const auto& n : noted) {
        // The file's own value goes back in its place instead.
        if (n.tag == GroupWriter::kDefault) continue;
        std::string_view value(text.data() + (n.at - rec_.start), n.length);
        const bool frameMarker = n.code == 100 && n.tag == GroupWriter::kFrame;
        if (!added && (frameMarker || n.tag == GroupWriter::kKeptGroup || n.tag == GroupWriter::kExtended)) {
            addMissing();
            added = true;
        }
        if (frameMarker) {
            sub = std::string(value);
            subOccurrence = 0;
            for (auto& m : markers)
                if (m.first == sub) subOccurrence = ++m.second;
            if (subOccurrence == 0) markers.emplace_back(sub, 0);
            added = false;
        }
        if (n.tag == GroupWriter::kValue || n.tag == GroupWriter::kOwner) {
            const int k = occurrence(n.tag, n.code);
            const auto key = std::make_tuple((uint8_t)n.tag, n.code, k);
            auto found = std::lower_bound(list.begin(), adds, key, [](const R& r, const auto& want) {
                return std::make_tuple(r.tag, r.code, r.occurrence) < want;
            });
            if (found != adds && std::make_tuple(found->tag, found->code, found->occurrence) == key &&
                found->written == value && stands(*found)) {
                if (found->kind == R::kDrop) continue;
                value = found->file;
            }
        }
        w_.put(n.code, value);
    }
    if (!added) addMissing();
}

// The kept runs that belong where the writer now is: those of the current
// subclass, then whole subclasses that followed it; with `all`, every run
// not written yet.
void DxfOut::flushRuns(bool all)
{
    if (!rec_.kept) return;
    const auto& runs = rec_.kept->runs;
    auto here = [&](const KeptRun& r) { return r.subclass == rec_.subclass && r.occurrence == rec_.occurrence; };
    for (int pass = 0; pass < 3; ++pass)
        for (size_t i = 0; i < runs.size(); ++i) {
            if (rec_.flushed[i]) continue;
            bool take = pass == 0 ? !runs[i].whole && here(runs[i]) : pass == 1 ? runs[i].whole && here(runs[i]) : all;
            if (!take) continue;
            rec_.flushed[i] = 1;
            // A kept value of a code the writer left out as the default
            // (the second of two thicknesses) would be read as the value:
            // the default goes first, as the object holds it. A record put
            // back as read puts the file's own value there instead.
            if (pass == 0)
                for (const KeptGroup& g : runs[i].groups) {
                    // Only a code the record's subclass holds values of can
                    // be read as one.
                    if (g.code < 0 || g.code >= 1072 || rec_.here.test((size_t)g.code)) continue;
                    if (!OwnedCodes(rec_.type, rec_.subclass).test((size_t)g.code)) continue;
                    const char* value = DefaultWrittenAs(rec_.subclass, g.code);
                    if (!value) continue;
                    rec_.here.set((size_t)g.code);
                    w_.setTag(GroupWriter::kDefault);
                    if (g.code == 210) w_.point(210, OdGePoint3d(0, 0, 1));
                    else w_.put(g.code, value);
                    w_.setTag(GroupWriter::kValue);
                }
            for (const KeptGroup& g : runs[i].groups) keptGroup(g);
        }
}

void DxfOut::keptGroup(const KeptGroup& g)
{
    w_.setTag(GroupWriter::kKeptGroup);
    switch ((Kind)g.kind) {
    case Kind::kText: w_.put(g.code, g.spelled); break;
    case Kind::kReal: w_.real(g.code, g.real); break;
    case Kind::kInt: w_.integer(g.code, g.integer); break;
    case Kind::kHandle: w_.handle(g.code, keptHandle(g)); break;
    }
    w_.setTag(GroupWriter::kValue);
}

// A kept handle names the object it named when read; one that named no
// object goes back as written (no object is given such a handle).
uint64_t DxfOut::keptHandle(const KeptGroup& g) const
{
    if (g.id.isNull() && g.integer > 0 && !DxfAccess::hasHandle(db_, (uint64_t)g.integer)) return (uint64_t)g.integer;
    return handleOf(g.id);
}

bool DxfOut::keptHas(int code) const
{
    if (!rec_.kept) return false;
    // Any part of a point the file gave is its own point, if half of one.
    const bool point = dxf::IsPointCode(code);
    for (const KeptRun& r : rec_.kept->runs)
        if (!r.whole && r.subclass == rec_.subclass && r.occurrence == rec_.occurrence)
            for (const KeptGroup& g : r.groups)
                if (g.code == code || (point && (g.code == code + 10 || g.code == code + 20))) return true;
    return false;
}

void DxfOut::marker(const char* subclass)
{
    flushRuns(false);
    rec_.subclass = subclass;
    int* count = nullptr;
    for (auto& s : rec_.seen)
        if (std::strcmp(s.first, subclass) == 0) count = &s.second;
    if (!count) {
        rec_.seen.emplace_back(subclass, 0);
        count = &rec_.seen.back().second;
    }
    rec_.occurrence = (*count)++;
    rec_.owned = &OwnedCodes(rec_.type, rec_.subclass);
    rec_.here.reset();
    w_.setTag(GroupWriter::kFrame);
    w_.ascii(100, subclass);
    w_.setTag(GroupWriter::kValue);
}

void DxfOut::check(int code)
{
    if (code >= 0 && code < 1072) rec_.here.set((size_t)code);
    if (!rec_.owned) rec_.owned = &OwnedCodes(rec_.type, rec_.subclass);
    if (rec_.owned->test((size_t)code)) return;
    SchemaViolations().push_back(rec_.type + "/" + rec_.subclass + ": " + std::to_string(code));
}

void DxfOut::xdata(const OdResBuf* rb)
{
    for (; rb; rb = rb->next()) {
        int code = rb->restype();
        switch (code) {
        case 1001: case 1000: case 1002: case 1003: case 1004: case 1006: case 1007: case 1008: case 1009:
            w_.text(code, rb->getString().str());
            break;
        case 1005: {
            // A handle that named no object when read goes back as written.
            uint64_t h = handleOf(rb->getObjectId());
            const std::wstring asRead = rb->getString().str();
            uint64_t raw = 0;
            bool hex = !asRead.empty() && asRead.size() <= 15;
            for (wchar_t c : asRead) {
                const int d = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10
                              : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
                hex = hex && d >= 0;
                raw = raw << 4 | (uint64_t)std::max(d, 0);
            }
            if (rb->getObjectId().isNull() && hex && raw && !DxfAccess::hasHandle(db_, raw)) h = raw;
            w_.handle(code, h);
            break;
        }
        case 1010: case 1011: case 1012: case 1013: w_.point(code, rb->getPoint3d()); break;
        case 1040: case 1041: case 1042: w_.real(code, rb->getDouble()); break;
        case 1070:
        case 1071: w_.integer(code, FileInteger(rb)); break;
        default: break;
        }
    }
}

// ---- what goes to the file ----

// A proxy that came from a file goes back as it came.
bool IsFileProxy(const OdDbObject* o)
{
    const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o);
    return f && f->fromFile;
}

const wchar_t* DxfOut::cannotGo(const OdDbObject* o)
{
    // Proxies made in memory keep graphics the file cannot describe;
    // regions made in memory have no modeller data to write (those read
    // from a file are kept as they came).
    auto* m = const_cast<OdDbObject*>(o);
    if (OdRxCast<OdDbProxyEntity>(m) && !IsFileProxy(o))
        return L"an entity made in memory of a kind drawing files cannot describe is not saved";
    if (OdRxCast<OdDbRegion>(m)) return L"a region made in memory has no modeller data to save; it is not saved";
    return nullptr;
}

bool DxfOut::entityGoes(const OdDbEntity* e) const
{
    if (e->isErased() || cannotGo(e)) return false;
    OdDbObjectId owner = e->ownerId();
    if (owner.database() != db_ || !obj(owner)) return false;
    OdDbStub* stub = owner.stub();
    // In a block that goes, or an attribute of a reference that goes.
    if (stub->mark == mark_) return OdRxCast<OdDbBlockTableRecord>(stub->object) != nullptr;
    return stub->entity && OdRxCast<OdDbBlockReference>(stub->object) &&
           entityGoes(static_cast<const OdDbEntity*>(stub->object));
}

bool IsWrittenObject(const OdDbObject* o)
{
    auto* mo = const_cast<OdDbObject*>(o);
    return OdRxCast<OdDbDictionary>(mo) || OdRxCast<OdDbXrecord>(mo) || OdRxCast<OdDbRasterImageDef>(mo) ||
           OdRxCast<OdDbSortentsTable>(mo) || (OdRxCast<OdDbProxyObject>(mo) && IsFileProxy(o));
}

// Which objects go to the file: the live tables, records, blocks and their
// entities, and every dictionary, Xrecord, image definition, draw-order
// table and kept object whose owner goes (the named-objects dictionary
// always). Entities that cannot go are named in the losses.
void DxfOut::collect()
{
    auto live = [this](OdDbObjectId id) { return id.database() == db_ && id.isValid() && !id.isErased(); };
    for (OdDbObjectId t : {db_->getViewportTableId(), db_->getLinetypeTableId(), db_->getLayerTableId(),
                           db_->getTextStyleTableId(), db_->getViewTableId(), db_->getUCSTableId(),
                           db_->getRegAppTableId(), db_->getDimStyleTableId(), db_->getBlockTableId()}) {
        auto* table = OdRxCast<OdDbSymbolTable>(obj(t));
        if (!table) continue;
        add(table);
        for (const auto& r : DxfAccess::records(table))
            if (live(r)) add(obj(r));
    }
    auto* bt = OdRxCast<OdDbSymbolTable>(obj(db_->getBlockTableId()));
    for (const auto& b : bt ? DxfAccess::records(bt) : std::vector<OdDbObjectId>())
        if (OdRxCast<OdDbBlockTableRecord>(obj(b)) && live(b)) blocks_.push_back(b);
    for (const auto& b : blocks_) blockNames_.insert(nameOf(b).str());
    if (auto* nod = obj(db_->getNamedObjectsDictionaryId())) add(nod);
    // Each owner chain is walked once: objects on it are decided together
    // (an owner cycle leads to nothing that goes). A visited object that
    // does not go carries the visit mark alone. Entities were decided with
    // their blocks; the objects that go besides them are kept in handle
    // order for the objects section.
    // An object whose chain ends without an owner (none, one that is not
    // there, or a ring of owners) goes as it is: a drawing read keeps
    // everything it held. One whose chain ends at an object that does not
    // go (erased, or of a kind files do not carry) goes with it.
    std::vector<const OdDbObject*> path;
    std::unordered_set<const OdDbStub*> onPath;
    std::unordered_set<uint64_t> leftOut;
    std::unordered_map<const OdDbStub*, std::wstring> lostWhy;  // objects named as lost, why
    if (const DxfFileKept* k = DxfAccess::fileKept(db_)) leftOut.insert(k->leftOut.begin(), k->leftOut.end());
    DxfAccess::forEachStub(db_, [&](OdDbStub* first) {
        OdDbObjectId id(first);
        // Entities are decided as they are written. Marked and not visited:
        // a table, a record or the named-objects dictionary; objects put in
        // the list with their owner chain carry both marks.
        if (first->entity) return;
        if (first->mark == mark_ && first->visit != mark_ && first->object) out_.push_back(first->object);
        if (first->mark == mark_ || first->visit == mark_) return;
        for (const OdDbObject* o : path) onPath.erase(o->objectId().stub());
        path.clear();
        bool going = false;
        for (const OdDbObject* cur = obj(id);;) {
            if (!cur) {
                going = !path.empty();
                break;
            }
            OdDbStub* stub = cur->objectId().stub();
            if (stub->mark == mark_ || (stub->entity && written(cur->objectId()))) {
                going = true;
                break;
            }
            if (onPath.count(stub)) {
                going = true;
                break;
            }
            if (stub->visit == mark_) {
                // Below something named as lost: lost for the same reason.
                if (auto l = lostWhy.find(stub); l != lostWhy.end()) {
                    const std::wstring why = l->second;
                    for (const OdDbObject* o : path) {
                        lose(o, why);
                        lostWhy.emplace(o->objectId().stub(), why);
                    }
                }
                break;
            }
            if (cur->isErased() && leftOut.count((uint64_t)cur->handle())) {
                const std::wstring why = L"it belongs to a block reference left out when the drawing was read (handle " +
                                         std::wstring(cur->handle().ascii().str()) + L")";
                for (const OdDbObject* o : path) {
                    lose(o, why);
                    lostWhy.emplace(o->objectId().stub(), why);
                }
            }
            if (cur->isErased() || !IsWrittenObject(cur)) break;
            stub->visit = mark_;
            onPath.insert(stub);
            path.push_back(cur);
            cur = cur->ownerId().database() == db_ ? obj(cur->ownerId()) : nullptr;
        }
        if (going)
            for (const OdDbObject* o : path) {
                add(o);
                out_.push_back(o);
            }
    });
    std::sort(out_.begin(), out_.end(),
              [](const OdDbObject* a, const OdDbObject* b) { return (uint64_t)a->handle() < (uint64_t)b->handle(); });
    // The applications of the extended data that goes.
    auto apps = [this](const OdDbObject* o) {
        for (const OdResBuf* rb = DxfAccess::xdata(o); rb; rb = rb->next())
            if (rb->restype() == 1001) apps_.insert(rb->getString().str());
    };
    for (const OdDbObject* o : out_) apps(o);
    paperSpace_ = OdDbObjectId();
    if (auto* bt = OdRxCast<OdDbBlockTable>(obj(db_->getBlockTableId()))) bt->getAt(L"*Paper_Space", paperSpace_);
}

void DxfOut::begin(const std::string& type, const OdDbObject* o, OdDbObjectId owner, int handleCode)
{
    // A dimension style's group 5 is the name of a block: its handle is 105
    // (a record of that type kept whole included).
    if (type == "DIMSTYLE") handleCode = 105;
    open(type, o);
    w_.setTag(GroupWriter::kFrame);
    w_.handle(handleCode, o->handle());
    if (written(o->extensionDictionary())) {
        w_.ascii(102, "{ACAD_XDICTIONARY");
        w_.handle(360, o->extensionDictionary().getHandle());
        w_.ascii(102, "}");
    }
    std::vector<uint64_t> reactors;
    for (const auto& r : DxfAccess::reactors(o))
        if (written(r)) reactors.push_back(r.getHandle());
    if (!reactors.empty()) {
        w_.ascii(102, "{ACAD_REACTORS");
        for (uint64_t h : reactors) w_.handle(330, h);
        w_.ascii(102, "}");
    }
    w_.setTag(GroupWriter::kOwner);
    w_.handle(330, handleOf(owner));
    w_.setTag(GroupWriter::kValue);
}

// ---- header, classes and other sections ----

void DxfOut::header(GroupWriter& w)
{
    w.ascii(0, "SECTION");
    w.ascii(2, "HEADER");
    w.ascii(9, "$ACADVER");
    w.ascii(1, "AC1024");
    w.ascii(9, "$DWGCODEPAGE");
    w.ascii(3, "ANSI_936");
    w.ascii(9, "$HANDSEED");
    w.handle(5, synthetic_);
    w.ascii(9, "$CLAYER");
    w.text(8, nameOf(db_->clayer()).str());
    w.ascii(9, "$CELTYPE");
    w.text(6, nameOf(db_->celtype()).str());
    w.ascii(9, "$TEXTSTYLE");
    w.text(7, nameOf(db_->textstyle()).str());
    w.ascii(9, "$LTSCALE");
    w.real(40, db_->getLTSCALE());
    // The current dimension style as the file named it (a file may name
    // one it does not define), else the drawing's.
    const DxfFileKept* k = DxfAccess::fileKept(db_);
    bool fileNamesDimstyle =
        k && std::any_of(k->header.begin(), k->header.end(), [](const auto& h) { return h.first == "$DIMSTYLE"; });
    if (!fileNamesDimstyle) {
        w.ascii(9, "$DIMSTYLE");
        w.text(2, written(db_->dimstyle()) ? nameOf(db_->dimstyle()).str() : std::wstring(L"Standard"));
    }
    // What says the file's form is this file's own; the drawing's values
    // above are the first the file gave, and a second goes back as read.
    static const std::set<std::string> kForm = {"$ACADVER", "$DWGCODEPAGE", "$HANDSEED"};
    std::set<std::string> own = {"$CLAYER", "$CELTYPE", "$TEXTSTYLE", "$LTSCALE"};
    if (k)
        for (const auto& [name, groups] : k->header) {
            if (kForm.count(name) || own.erase(name)) continue;
            w.ascii(9, name);
            for (const KeptGroup& g : groups) {
                switch ((Kind)g.kind) {
                case Kind::kText: w.put(g.code, g.spelled); break;
                case Kind::kReal: w.real(g.code, g.real); break;
                case Kind::kInt: w.integer(g.code, g.integer); break;
                case Kind::kHandle: w.handle(g.code, handleOf(g.id)); break;
                }
            }
        }
    w.ascii(0, "ENDSEC");
}

void DxfOut::classes()
{
    struct Class {
        const char* record;
        const char* cppName;
        const char* app;
        int flags;
        int isEntity;
    };
    const Class kClasses[] = {{"IMAGE", "AcDbRasterImage", "ISM", 2175, 1},
                              {"IMAGEDEF", "AcDbRasterImageDef", "ISM", 0, 0},
                              {"SORTENTSTABLE", "AcDbSortentsTable", "ObjectDBX Classes", 0, 0}};
    w_.ascii(0, "SECTION");
    w_.ascii(2, "CLASSES");
    std::set<std::wstring> done;
    if (const DxfFileKept* k = DxfAccess::fileKept(db_))
        // Every record as read, of whatever kind; the host's own classes
        // follow where the file has none of their names.
        for (const auto& [type, groups] : k->classes) {
            if (type == "CLASS")
                for (const KeptGroup& g : groups)
                    if (g.code == 1) done.insert(g.text);
            open(type);
            for (const KeptGroup& g : groups) keptGroup(g);
        }
    for (const auto& c : kClasses) {
        std::string r = c.record;
        if (!done.insert(std::wstring(r.begin(), r.end())).second) continue;
        open("CLASS");
        w_.ascii(1, c.record);
        w_.ascii(2, c.cppName);
        w_.ascii(3, c.app);
        w_.integer(90, c.flags);
        w_.integer(91, 0);
        w_.integer(280, 0);
        w_.integer(281, c.isEntity);
    }
    open("ENDSEC");
    rec_.open = false;
}

void DxfOut::extraSections()
{
    const DxfFileKept* k = DxfAccess::fileKept(db_);
    if (!k) return;
    for (const auto& [name, groups] : k->sections) {
        w_.ascii(0, "SECTION");
        w_.ascii(2, name);
        for (const KeptGroup& g : groups) keptGroup(g);
        w_.ascii(0, "ENDSEC");
    }
}

// ---- tables ----

uint64_t DxfOut::beginTable(const char* name, OdDbObjectId tableId, int count)
{
    open("TABLE", obj(tableId));
    w_.ascii(2, name);
    uint64_t h = 0;
    w_.setTag(GroupWriter::kFrame);
    if (auto* t = obj(tableId)) {
        w_.handle(5, h = t->handle());
        if (written(t->extensionDictionary())) {
            w_.ascii(102, "{ACAD_XDICTIONARY");
            w_.handle(360, t->extensionDictionary().getHandle());
            w_.ascii(102, "}");
        }
    } else {
        w_.handle(5, h = synthetic());
    }
    w_.setTag(GroupWriter::kOwner);
    w_.handle(330, 0);
    w_.setTag(GroupWriter::kValue);
    marker("AcDbSymbolTable");
    // The count only tells readers what to expect; past what a signed
    // 16-bit value holds it is written as the most that does.
    integer(70, std::min(count, 32767));
    return h;
}

void DxfOut::symbolRecord(const char* type, const char* subclass, const OdDbSymbolTableRecord* r)
{
    begin(type, r, r->ownerId(), std::string(type) == "DIMSTYLE" ? 105 : 5);
    marker("AcDbSymbolTableRecord");
    marker(subclass);
    text(2, r->getName().str());
}

// A record's flags: those the database models, the rest as the file gave
// them.
int DxfOut::recordFlags(const OdDbSymbolTableRecord* r, int modelled, int mask)
{
    return (DxfAccess::fileFlags(r) & ~mask) | (modelled & mask);
}

void DxfOut::color(int aciCode, const OdCmColor& c)
{
    switch (c.colorMethod()) {
    case OdCmEntityColor::kByLayer: break;
    case OdCmEntityColor::kByBlock: integer(aciCode, 0); break;
    case OdCmEntityColor::kByACI: integer(aciCode, c.colorIndex()); break;
    case OdCmEntityColor::kByColor: {
        // The number the file gave beside the colour, while it has that
        // colour; else white, as readers without true colours show it.
        const DxfKept* k = aciCode == 62 ? rec_.kept : nullptr;
        const bool asRead = k && k->colourNumber >= 0 && k->colourRgb == RgbOf(c);
        integer(aciCode, asRead ? k->colourNumber : 7);
        integer(aciCode == 62 ? 420 : 421, RgbOf(c));
        break;
    }
    default: integer(aciCode, 7); break;
    }
}

void DxfOut::tables()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "TABLES");
    auto liveRecords = [this](OdDbObjectId tableId) {
        std::vector<const OdDbSymbolTableRecord*> recs;
        if (auto* t = OdRxCast<OdDbSymbolTable>(obj(tableId)))
            for (const auto& r : DxfAccess::records(t))
                if (written(r)) recs.push_back(static_cast<const OdDbSymbolTableRecord*>(obj(r)));
        return recs;
    };
    auto endTable = [this] {
        open("ENDTAB");
        rec_.open = false;
    };
    auto viewSettings = [this](const OdDbAbstractViewTableRecord* v, bool viewport) {
        int mode = (v->perspectiveEnabled() ? 1 : 0) | (v->frontClipEnabled() ? 2 : 0) |
                   (v->backClipEnabled() ? 4 : 0) | (v->frontClipAtEye() ? 0 : 16);
        if (viewport) {
            point2(12, v->centerPoint().x, v->centerPoint().y);
        } else {
            real(40, v->height());
            point2(10, v->centerPoint().x, v->centerPoint().y);
            real(41, v->width());
        }
        OdGeVector3d d = v->viewDirection();
        point(viewport ? 16 : 11, AsPoint(d));
        point(viewport ? 17 : 12, v->target());
        if (viewport) {
            real(40, v->height());
            real(41, v->height() > 0 ? v->width() / v->height() : 1.0);
        }
        real(42, v->lensLength());
        real(43, v->frontClipDistance());
        real(44, v->backClipDistance());
        real(viewport ? 51 : 50, v->viewTwist());
        integer(71, mode);
        // Defaults go where the values a file gave go back: at the end.
        if (viewport && !keptHas(10)) w_.point2(10, 0, 0);
        if (viewport && !keptHas(11)) w_.point2(11, 1, 1);
    };

    auto vports = liveRecords(db_->getViewportTableId());
    beginTable("VPORT", db_->getViewportTableId(), (int)vports.size());
    for (auto* r : vports) {
        symbolRecord("VPORT", "AcDbViewportTableRecord", r);
        integer(70, DxfAccess::fileFlags(r));
        viewSettings(static_cast<const OdDbAbstractViewTableRecord*>(r), true);
    }
    endTable();

    auto ltypes = liveRecords(db_->getLinetypeTableId());
    beginTable("LTYPE", db_->getLinetypeTableId(), (int)ltypes.size());
    for (auto* r : ltypes) {
        auto* lt = static_cast<const OdDbLinetypeTableRecord*>(r);
        symbolRecord("LTYPE", "AcDbLinetypeTableRecord", r);
        integer(70, DxfAccess::fileFlags(r));
        text(3, lt->comments().str());
        integer(72, lt->isScaledToFit() ? 83 : 65);
        integer(73, lt->numDashes());
        real(40, lt->patternLength());
        for (int i = 0; i < lt->numDashes(); ++i) {
            real(49, lt->dashLengthAt(i));
            bool shape = lt->shapeNumberAt(i) != 0, words = !lt->textAt(i).isEmpty();
            int flags = (lt->shapeIsUcsOrientedAt(i) ? 1 : 0) | (words ? 2 : 0) | (shape ? 4 : 0) |
                        (lt->shapeIsUprightAt(i) ? 8 : 0);
            integer(74, flags);
            if (!shape && !words) continue;
            integer(75, shape ? lt->shapeNumberAt(i) : 0);
            handle(340, handleOf(lt->shapeStyleAt(i)));
            real(46, lt->shapeScaleAt(i));
            real(50, Degrees(lt->shapeRotationAt(i)));
            real(44, lt->shapeOffsetAt(i).x);
            real(45, lt->shapeOffsetAt(i).y);
            if (words) text(9, lt->textAt(i).str());
        }
    }
    endTable();

    auto layers = liveRecords(db_->getLayerTableId());
    beginTable("LAYER", db_->getLayerTableId(), (int)layers.size());
    for (auto* r : layers) {
        auto* la = static_cast<const OdDbLayerTableRecord*>(r);
        symbolRecord("LAYER", "AcDbLayerTableRecord", r);
        integer(70, recordFlags(r, (la->isFrozen() ? 1 : 0) | (la->isLocked() ? 4 : 0), 1 | 4));
        OdCmColor c = la->color();
        int aci = c.isByACI() ? c.colorIndex() : 7;
        // Beside a true colour, the number the file gave while the layer
        // has that colour.
        if (const DxfKept* k = rec_.kept; c.isByColor() && k && k->colourRgb >= 0 && k->colourRgb == RgbOf(c))
            aci = std::abs(k->colourNumber);
        if (aci < 1 || aci > 255) aci = 7;
        integer(62, la->isOff() ? -aci : aci);
        if (c.isByColor()) integer(420, RgbOf(c));
        OdString lt = nameOf(la->linetypeObjectId());
        text(6, lt.isEmpty() ? L"Continuous" : lt.str());
        if (!la->isPlottable()) integer(290, 0);
        integer(370, la->lineWeight());
    }
    endTable();

    auto styles = liveRecords(db_->getTextStyleTableId());
    beginTable("STYLE", db_->getTextStyleTableId(), (int)styles.size());
    for (auto* r : styles) {
        auto* st = static_cast<const OdDbTextStyleTableRecord*>(r);
        symbolRecord("STYLE", "AcDbTextStyleTableRecord", r);
        integer(70, recordFlags(r, (st->isShapeFile() ? 1 : 0) | (st->isVertical() ? 4 : 0), 1 | 4));
        real(40, st->textSize());
        real(41, st->xScale());
        real(50, Degrees(st->obliquingAngle()));
        integer(71, st->flagBits());
        real(42, st->priorSize());
        text(3, st->fileName().str());
        text(4, st->bigFontFileName().str());
    }
    endTable();

    auto views = liveRecords(db_->getViewTableId());
    beginTable("VIEW", db_->getViewTableId(), (int)views.size());
    for (auto* r : views) {
        auto* v = static_cast<const OdDbViewTableRecord*>(r);
        symbolRecord("VIEW", "AcDbViewTableRecord", r);
        integer(70, recordFlags(r, v->isPaperspaceView() ? 1 : 0, 1));
        viewSettings(v, false);
    }
    endTable();

    auto ucss = liveRecords(db_->getUCSTableId());
    beginTable("UCS", db_->getUCSTableId(), (int)ucss.size());
    for (auto* r : ucss) {
        auto* u = static_cast<const OdDbUCSTableRecord*>(r);
        symbolRecord("UCS", "AcDbUCSTableRecord", r);
        integer(70, DxfAccess::fileFlags(r));
        point(10, u->origin());
        point(11, AsPoint(u->xAxis()));
        point(12, AsPoint(u->yAxis()));
    }
    endTable();

    auto apps = liveRecords(db_->getRegAppTableId());
    std::set<std::wstring> registered;  // names compare without case
    for (auto* r : apps) registered.insert(Lower(r->getName().str()));
    // (A table record needs a name: data under an empty one stays as it is.)
    std::vector<std::wstring> missing;
    for (const auto& name : apps_)
        if (!name.empty() && registered.insert(Lower(name)).second) missing.push_back(name);
    beginTable("APPID", db_->getRegAppTableId(), (int)(apps.size() + missing.size()));
    for (auto* r : apps) {
        symbolRecord("APPID", "AcDbRegAppTableRecord", r);
        integer(70, DxfAccess::fileFlags(r));
    }
    // An application the extended data needs is registered in the file, as
    // the host registers it when the data is set.
    for (const auto& name : missing) {
        open("APPID");
        head(synthetic(), db_->getRegAppTableId().getHandle());
        marker("AcDbSymbolTableRecord");
        marker("AcDbRegAppTableRecord");
        text(2, name);
        integer(70, 0);
    }
    endTable();

    auto dimstyles = liveRecords(db_->getDimStyleTableId());
    const uint64_t dimstyleTable =
        beginTable("DIMSTYLE", db_->getDimStyleTableId(), (int)std::max<size_t>(1, dimstyles.size()));
    for (auto* r : dimstyles) {
        symbolRecord("DIMSTYLE", "AcDbDimStyleTableRecord", r);
        integer(70, DxfAccess::fileFlags(r));
    }
    if (dimstyles.empty()) {
        // Dimensions name a style: a drawing with none gets the host's
        // default one.
        open("DIMSTYLE");
        dimstyleHandle_ = synthetic();
        head(dimstyleHandle_, dimstyleTable, 105);
        marker("AcDbSymbolTableRecord");
        marker("AcDbDimStyleTableRecord");
        text(2, L"Standard");
        integer(70, 0);
    }
    endTable();

    beginTable("BLOCK_RECORD", db_->getBlockTableId(), (int)(blocks_.size() + dimensionBlocks_.size()));
    for (const auto& b : blocks_) {
        symbolRecord("BLOCK_RECORD", "AcDbBlockTableRecord", static_cast<OdDbSymbolTableRecord*>(obj(b)));
        softInteger(70, 0);
        softInteger(280, 1);
        softInteger(281, 0);
    }
    for (auto& [dim, block] : dimensionBlocks_) {
        open("BLOCK_RECORD");
        head(block.record, db_->getBlockTableId().getHandle());
        marker("AcDbSymbolTableRecord");
        marker("AcDbBlockTableRecord");
        text(2, block.name);
        w_.integer(70, 0);
        w_.integer(280, 1);
        w_.integer(281, 0);
    }
    endTable();
    w_.ascii(0, "ENDSEC");
}

// ---- blocks and entities ----

// Model space's entities are written first: dimensions among them may need
// blocks of graphics, which the blocks section then holds.
void DxfOut::blocks()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "ENTITIES");
    if (auto* ms = OdRxCast<OdDbBlockTableRecord>(obj(db_->getModelSpaceId()))) writeEntities(ms);
    close();
    w_.ascii(0, "ENDSEC");
    std::string entities = w_.take();

    w_.ascii(0, "SECTION");
    w_.ascii(2, "BLOCKS");
    for (const auto& b : blocks_) {
        auto* block = static_cast<OdDbBlockTableRecord*>(obj(b));
        const DxfKept* kept = DxfAccess::kept(block);
        OdString name = block->getName();
        bool paper = name.iCompare(L"*Paper_Space") == 0;
        bool model = b == db_->getModelSpaceId();
        open("BLOCK", nullptr, kept ? kept->blockBegin.get() : nullptr, block, kBlockBeginRecord);
        head(recordHandle(kept && kept->blockBegin ? kept->blockBegin->handle : 0), block->handle());
        marker("AcDbEntity");
        if (paper) integer(67, 1);
        text(8, L"0");
        marker("AcDbBlockBegin");
        text(2, name.str());
        bool anonymous = !model && !paper && name.getLength() > 0 && name.c_str()[0] == L'*';
        // Spaces hold no attribute definitions of their own to flag.
        bool attdefs = !model && !paper && block->hasAttributeDefinitions();
        integer(70, (DxfAccess::fileFlags(block) & ~3) | (anonymous ? 1 : 0) | (attdefs ? 2 : 0));
        point(10, block->origin());
        text(3, name.str());
        softText(1, L"");
        if (!model) writeEntities(block);
        open("ENDBLK", nullptr, kept ? kept->blockEnd.get() : nullptr, block, kBlockEndRecord);
        head(recordHandle(kept && kept->blockEnd ? kept->blockEnd->handle : 0), block->handle());
        marker("AcDbEntity");
        if (paper) integer(67, 1);
        text(8, L"0");
        marker("AcDbBlockEnd");
    }
    for (const auto& [dim, block] : dimensionBlocks_) {
        for (const char* type : {"BLOCK", "ENDBLK"}) {
            bool first = type[0] == 'B';
            open(type);
            head(synthetic(), block.record);
            marker("AcDbEntity");
            w_.ascii(8, "0");
            marker(first ? "AcDbBlockBegin" : "AcDbBlockEnd");
            if (!first) continue;
            text(2, block.name);
            integer(70, 1);
            point(10, OdGePoint3d());
            text(3, block.name);
            w_.ascii(1, "");
        }
    }
    close();
    w_.ascii(0, "ENDSEC");
    w_.append(entities);
}

// The block's live entities; those a file cannot carry are named in the
// losses instead.
void DxfOut::writeEntities(const OdDbBlockTableRecord* block)
{
    for (const auto& e : block->entityIds()) {
        OdDbObject* o = obj(e);
        if (!o || o->isErased()) continue;
        if (const wchar_t* why = cannotGo(o)) {
            lose(o, why);
            continue;
        }
        if (auto* ent = OdRxCast<OdDbEntity>(o)) entity(ent);
    }
}

OdGePoint3d DxfOut::asRead(const OdDbEntity* e, size_t slot, const OdGePoint3d& now, const OdGeVector3d& normal,
                           const OdGePoint3d& otherwise) const
{
    auto same = [](const OdGePoint3d& a, const OdGePoint3d& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    const DxfKept* k = DxfAccess::kept(e);
    if (k && slot < k->planePoints.size() && same(k->planePoints[slot].world, now) &&
        normal.x == k->planeNormal.x && normal.y == k->planeNormal.y && normal.z == k->planeNormal.z)
        return k->planePoints[slot].plane;
    return otherwise;
}

// A circle's or an arc's centre goes in the coordinates of its own plane.
void DxfOut::circleBody(const OdDbEntity* e, const OdGePoint3d& center, double radius, const OdGeVector3d& normal,
                        double thickness)
{
    marker("AcDbCircle");
    if (thickness != 0) real(39, thickness);
    point(10, inPlane(e, 0, center, normal));
    real(40, radius);
    point(210, AsPoint(normal));
}

void DxfOut::entityCommon(const std::string& type, const OdDbEntity* e)
{
    begin(type, e, e->ownerId());
    marker("AcDbEntity");
    if (e->ownerId() == paperSpace_) integer(67, 1);
    OdString layer = nameOf(e->layerId());
    text(8, layer.isEmpty() ? L"0" : layer.str());
    OdString lt = nameOf(e->linetypeId());
    if (!lt.isEmpty() && lt.iCompare(L"ByLayer") != 0) text(6, lt.str());
    color(62, e->color());
    if (e->linetypeScale() != 1.0) real(48, e->linetypeScale());
    if (e->transparency().method() != OdCmTransparency::kByLayer) integer(440, e->transparency().serializeOut());
    if (e->lineWeight() != OdDb::kLnWtByLayer) integer(370, e->lineWeight());
    if (e->visibility() == OdDb::kInvisible) integer(60, 1);
}

void DxfOut::checkSubRecords(const OdDbEntity* parent, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    if (!kept || kept->subRecords.empty() || kept->subRecords.size() == count) return;
    if (std::any_of(kept->subRecords.begin(), kept->subRecords.end(), [](const auto& s) { return s && !s->runs.empty(); }))
        lose(parent, L"what the file gave its vertices beyond their points no longer fits them and is not saved");
}

uint64_t DxfOut::recordHandle(uint64_t fromFile)
{
    // Handles below the seed that no object has are the file's; each goes
    // to one record.
    if (fromFile && fromFile < (uint64_t)db_->handseed() && !DxfAccess::hasHandle(db_, fromFile) &&
        recordHandles_.insert(fromFile).second)
        return fromFile;
    return synthetic();
}

// The head of a record a sequence is made of (vertices, its end): it goes
// with the entity, under the handle the file gave it or one of its own.
void DxfOut::subRecordHead(const char* type, const OdDbEntity* parent, size_t index, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    const DxfKept* mine = kept && kept->subRecords.size() == count ? kept->subRecords[index].get() : nullptr;
    const uint64_t fromFile = kept && kept->subHandles.size() == count ? kept->subHandles[index] : 0;
    open(type, nullptr, mine, parent, (int)index);
    head(recordHandle(fromFile), parent->handle());
    marker("AcDbEntity");
    if (parent->ownerId() == paperSpace_) integer(67, 1);
    text(8, nameOf(parent->layerId()).str());
}

void DxfOut::seqend(const OdDbEntity* parent, size_t count) { subRecordHead("SEQEND", parent, count - 1, count); }

void DxfOut::text(const OdDbText* t, const char* type)
{
    entityCommon(type, t);
    OdGeVector3d n = t->normal();
    marker("AcDbText");
    if (t->thickness() != 0) real(39, t->thickness());
    point(10, inPlane(t, 0, t->position(), n));
    real(40, t->height());
    text(1, t->textString().str());
    if (t->rotation() != 0) real(50, Degrees(t->rotation()));
    if (t->widthFactor() != 1) real(41, t->widthFactor());
    if (t->oblique() != 0) real(51, Degrees(t->oblique()));
    OdString style = nameOf(t->textStyle());
    if (!style.isEmpty()) text(7, style.str());
    int generation = (t->isMirroredInX() ? 2 : 0) | (t->isMirroredInY() ? 4 : 0);
    if (generation) integer(71, generation);
    integer(72, t->horizontalMode());
    if (!t->isDefaultAlignment()) point(11, inPlane(t, 1, t->alignmentPoint(), n));
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    if (auto* def = OdRxCast<OdDbAttributeDefinition>(const_cast<OdDbText*>(t))) {
        marker("AcDbAttributeDefinition");
        text(3, def->prompt().str());
        text(2, def->tag().str());
        integer(70, (def->isInvisible() ? 1 : 0) | (def->isConstant() ? 2 : 0) | (def->isVerifiable() ? 4 : 0) |
                        (def->isPreset() ? 8 : 0));
        integer(73, def->fieldLength());
        integer(74, t->verticalMode());
    } else if (auto* att = OdRxCast<OdDbAttribute>(const_cast<OdDbText*>(t))) {
        marker("AcDbAttribute");
        text(2, att->tag().str());
        integer(70, (att->isInvisible() ? 1 : 0) | (att->isConstant() ? 2 : 0) | (att->isVerifiable() ? 4 : 0) |
                        (att->isPreset() ? 8 : 0));
        integer(73, att->fieldLength());
        integer(74, t->verticalMode());
    } else {
        marker("AcDbText");
        integer(73, t->verticalMode());
    }
}

void DxfOut::mtext(const OdDbMText* mt)
{
    entityCommon("MTEXT", mt);
    marker("AcDbMText");
    point(10, mt->location());
    real(40, mt->textHeight());
    real(41, mt->width());
    integer(71, mt->attachment());
    integer(72, mt->flowDirection());
    std::wstring s = mt->contents().str();
    // Long contents go in pieces of 250 characters, the last under 1.
    size_t pos = 0;
    for (; s.size() - pos > 250; pos += 250) text(3, s.substr(pos, 250));
    text(1, s.substr(pos));
    OdString style = nameOf(mt->textStyle());
    if (!style.isEmpty()) text(7, style.str());
    OdGeVector3d n = mt->normal(), ax, ay;
    OdGePlaneAxes(n, ax, ay);
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    const OdGePoint3d direction = AsPoint(ax * std::cos(mt->rotation()) + ay * std::sin(mt->rotation()));
    point(11, asRead(mt, 0, direction, n, direction));
    if (mt->rotation() != 0) real(50, Degrees(mt->rotation()));
    integer(73, mt->lineSpacingStyle());
    real(44, mt->lineSpacingFactor());
    int fill = DxfAccess::mtextFill(mt);
    if (fill != 0) {
        integer(90, fill);
        double scale = 1.5;
        mt->getBackgroundScaleFactor(scale);
        OdCmColor c;
        mt->getBackgroundFillColor(c);
        color(63, c);
        real(45, scale);
        OdCmTransparency t;
        mt->getBackgroundTransparency(t);
        integer(441, t.serializeOut());
    }
}

void DxfOut::insert(const OdDbBlockReference* r)
{
    std::vector<const OdDbAttribute*> attrs;
    for (const auto& a : DxfAccess::attributes(r))
        if (written(a)) attrs.push_back(static_cast<const OdDbAttribute*>(obj(a)));
    auto* minsert = OdRxCast<OdDbMInsertBlock>(const_cast<OdDbBlockReference*>(r));
    OdGeVector3d n = r->normal();
    entityCommon("INSERT", r);
    marker(minsert ? "AcDbMInsertBlock" : "AcDbBlockReference");
    if (!attrs.empty()) integer(66, 1);
    text(2, nameOf(r->blockTableRecord()).str());
    point(10, inPlane(r, 0, r->position(), n));
    real(41, r->scaleFactors().sx);
    real(42, r->scaleFactors().sy);
    real(43, r->scaleFactors().sz);
    real(50, Degrees(r->rotation()));
    if (minsert) {
        integer(70, minsert->columns());
        integer(71, minsert->rows());
        real(44, minsert->columnSpacing());
        real(45, minsert->rowSpacing());
    }
    if (!IsPlusZ(n)) point(210, AsPoint(n));
    if (attrs.empty()) return;
    for (auto* a : attrs) text(a, "ATTRIB");
    seqend(r, 1);
}

void DxfOut::polyline2d(const OdDb2dPolyline* p2)
{
    const int kFlags[] = {0, 2, 4, 4}, kCurve[] = {0, 0, 5, 6};
    int type = p2->polyType();
    entityCommon("POLYLINE", p2);
    marker("AcDb2dPolyline");
    integer(66, 1);
    point(10, OdGePoint3d(0, 0, p2->elevation()));
    if (p2->thickness() != 0) real(39, p2->thickness());
    integer(70, (p2->isClosed() ? 1 : 0) | kFlags[type & 3] | (p2->isLinetypeGenerationOn() ? 128 : 0));
    if (p2->defaultStartWidth() != 0) real(40, p2->defaultStartWidth());
    if (p2->defaultEndWidth() != 0) real(41, p2->defaultEndWidth());
    if (kCurve[type & 3]) integer(75, kCurve[type & 3]);
    if (!IsPlusZ(p2->normal())) point(210, AsPoint(p2->normal()));
    const size_t records = (size_t)p2->numVerts() + 1;
    checkSubRecords(p2, records);
    for (int i = 0; i < p2->numVerts(); ++i) {
        OdGePoint3d p;
        double b, sw, ew;
        p2->getVertexAt(i, p, b, sw, ew);
        subRecordHead("VERTEX", p2, (size_t)i, records);
        marker("AcDbVertex");
        marker("AcDb2dVertex");
        // The polyline gives the elevation.
        point(10, OdGePoint3d(p.x, p.y, 0));
        if (sw != 0) real(40, sw);
        if (ew != 0) real(41, ew);
        if (b != 0) real(42, b);
        int vt = p2->vertexTypeAt(i);
        integer(70, vt == OdDb::k2dSplineCtlVertex ? 16 : vt == OdDb::k2dSplineFitVertex ? 8 : vt == OdDb::k2dCurveFitVertex ? 1 : 0);
    }
    seqend(p2, records);
}

void DxfOut::polyline3d(const OdDb3dPolyline* p3)
{
    const int kCurve[] = {0, 5, 6};
    int type = p3->polyType();
    entityCommon("POLYLINE", p3);
    marker("AcDb3dPolyline");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 8 | (p3->isClosed() ? 1 : 0) | (type != 0 ? 4 : 0));
    if (type >= 1 && type <= 2) integer(75, kCurve[type]);
    checkSubRecords(p3, (size_t)p3->numVerts() + 1);
    for (int i = 0; i < p3->numVerts(); ++i) {
        OdGePoint3d p;
        p3->getVertexAt(i, p);
        subRecordHead("VERTEX", p3, (size_t)i, (size_t)p3->numVerts() + 1);
        marker("AcDbVertex");
        marker("AcDb3dPolylineVertex");
        point(10, p);
        int vt = p3->vertexTypeAt(i);
        integer(70, 32 | (vt == OdDb::k3dControlVertex ? 16 : vt == OdDb::k3dFitVertex ? 8 : 0));
    }
    seqend(p3, (size_t)p3->numVerts() + 1);
}

void DxfOut::polygonMesh(const OdDbPolygonMesh* m)
{
    entityCommon("POLYLINE", m);
    marker("AcDbPolygonMesh");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 16 | (m->isMClosed() ? 1 : 0) | (m->isNClosed() ? 32 : 0) |
                    (m->polyMeshType() != OdDb::kSimpleMesh ? 4 : 0));
    integer(71, m->mSize());
    integer(72, m->nSize());
    if (m->mSurfaceDensity()) integer(73, m->mSurfaceDensity());
    if (m->nSurfaceDensity()) integer(74, m->nSurfaceDensity());
    if (m->polyMeshType() != OdDb::kSimpleMesh) integer(75, m->polyMeshType());
    checkSubRecords(m, (size_t)m->numVertices() + 1);
    for (int i = 0; i < m->numVertices(); ++i) {
        subRecordHead("VERTEX", m, (size_t)i, (size_t)m->numVertices() + 1);
        marker("AcDbVertex");
        marker("AcDbPolygonMeshVertex");
        point(10, m->vertexAt(i));
        integer(70, 64);
    }
    seqend(m, (size_t)m->numVertices() + 1);
}

void DxfOut::polyFaceMesh(const OdDbPolyFaceMesh* m)
{
    entityCommon("POLYLINE", m);
    marker("AcDbPolyFaceMesh");
    integer(66, 1);
    point(10, OdGePoint3d());
    integer(70, 64);
    integer(71, m->numVertices());
    integer(72, m->numFaces());
    size_t index = 0;
    const size_t records = (size_t)m->numVertices() + (size_t)m->numFaces() + 1;
    checkSubRecords(m, records);
    for (int i = 0; i < m->numVertices(); ++i) {
        subRecordHead("VERTEX", m, index++, records);
        marker("AcDbVertex");
        marker("AcDbPolyFaceMeshVertex");
        point(10, m->vertexAt(i));
        integer(70, 64 | 128);
    }
    for (int i = 0; i < m->numFaces(); ++i) {
        int16_t v[4];
        m->getFaceAt(i, v);
        subRecordHead("VERTEX", m, index++, records);
        marker("AcDbFaceRecord");
        point(10, OdGePoint3d());
        integer(70, 128);
        for (int k = 0; k < 4; ++k)
            if (v[k] != 0) integer(71 + k, v[k]);
    }
    seqend(m, records);
}

void DxfOut::spline(const OdDbSpline* sp)
{
    const OdGeDoubleArray& weights = DxfAccess::weights(sp);
    const OdGePoint3dArray& fit = DxfAccess::fitPoints(sp);
    bool fitOnly = DxfAccess::splineFitOnly(sp);
    entityCommon("SPLINE", sp);
    marker("AcDbSpline");
    int flags = (DxfAccess::splineFlags(sp) & ~(1 | 4)) | (sp->isClosed() && !fitOnly ? 1 : 0) |
                (weights.isEmpty() ? 0 : 4);
    if (!fitOnly && DxfAccess::splineFlags(sp) == 0) flags |= 8;
    if (fitOnly) flags = DxfAccess::splineFlags(sp);
    integer(70, flags);
    integer(71, fitOnly && DxfAccess::splineFitDegree(sp) > 0 ? DxfAccess::splineFitDegree(sp) : sp->degree());
    integer(72, fitOnly ? 0 : sp->numKnots());
    integer(73, fitOnly ? 0 : sp->numControlPoints());
    integer(74, fit.length());
    if (!fitOnly) {
        for (double k : sp->knots()) real(40, k);
        for (double wt : weights) real(41, wt);
        for (int i = 0; i < sp->numControlPoints(); ++i) {
            OdGePoint3d p;
            sp->getControlPointAt(i, p);
            point(10, p);
        }
    }
    for (const auto& p : fit) point(11, p);
}

void DxfOut::hatch(const OdDbHatch* h)
{
    entityCommon("HATCH", h);
    marker("AcDbHatch");
    point(10, OdGePoint3d(0, 0, h->elevation()));
    point(210, AsPoint(h->normal()));
    bool gradient = h->hatchObjectType() == OdDbHatch::kGradientObject;
    text(2, gradient ? L"SOLID" : h->patternName().str());
    integer(70, gradient || h->isSolidFill() ? 1 : 0);
    integer(71, h->associative() ? 1 : 0);
    integer(91, h->numLoops());
    for (int i = 0; i < h->numLoops(); ++i) {
        int type = h->loopTypeAt(i);
        integer(92, type);
        OdGePoint2dArray verts;
        OdGeDoubleArray bulges;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (h->getLoopAt(i, type, verts, bulges) == eOk) {
            bool hasBulge = false;
            for (double b : bulges) hasBulge = hasBulge || b != 0;
            integer(72, hasBulge ? 1 : 0);
            integer(73, DxfAccess::loopClosed(h, i) ? 1 : 0);
            integer(93, verts.length());
            for (int k = 0; k < verts.length(); ++k) {
                point2(10, verts[k].x, verts[k].y);
                if (hasBulge) real(42, k < bulges.length() ? bulges[k] : 0.0);
            }
        } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
            const auto& fits = DxfAccess::loopFits(h, i);
            integer(93, edges.length());
            for (int k = 0; k < edges.length(); ++k) {
                auto* c = static_cast<const OdGeCurve2d*>(edges[k]);
                int et = edgeTypes[k];
                integer(72, et);
                if (et == OdDbHatch::kLine) {
                    OdGePoint2d s = c->startPoint(), e = c->endPoint();
                    point2(10, s.x, s.y);
                    point2(11, e.x, e.y);
                } else if (et == OdDbHatch::kCirArc) {
                    // A clockwise arc is stored by the complements of its
                    // angles, as drawing files keep them.
                    auto* a = static_cast<const OdGeCircArc2d*>(c);
                    double base = a->refVec().angle();
                    double sign = a->isClockWise() ? -1 : 1;
                    point2(10, a->center().x, a->center().y);
                    real(40, a->radius());
                    double s = (a->startAng() + sign * base) * kRadToDeg, e = (a->endAng() + sign * base) * kRadToDeg;
                    // Angles past a whole turn go back as files write them.
                    if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
                    real(50, s);
                    real(51, e);
                    integer(73, a->isClockWise() ? 0 : 1);
                } else if (et == OdDbHatch::kEllArc) {
                    auto* a = static_cast<const OdGeEllipArc2d*>(c);
                    OdGeVector2d maj = a->majorAxis() * a->majorRadius();
                    double ratio = a->majorRadius() > 0 ? a->minorRadius() / a->majorRadius() : 1.0;
                    point2(10, a->center().x, a->center().y);
                    point2(11, maj.x, maj.y);
                    real(40, ratio);
                    double s = EllipseAngleOfParam(ratio, a->startAng()) * kRadToDeg;
                    double e = EllipseAngleOfParam(ratio, a->endAng()) * kRadToDeg;
                    if (e >= 360 && e - s < 360 - 1e-9) e -= 360;
                    real(50, s);
                    real(51, e);
                    integer(73, a->majorAxis().crossProduct(a->minorAxis()) >= 0 ? 1 : 0);
                } else {
                    auto* s = static_cast<const OdGeSplineEnt2d*>(c);
                    integer(94, s->degree());
                    integer(73, s->isRational() ? 1 : 0);
                    integer(74, 0);
                    integer(95, s->numKnots());
                    integer(96, s->numControlPoints());
                    for (int j = 0; j < s->numKnots(); ++j) real(40, s->knotAt(j));
                    for (int j = 0; j < s->numControlPoints(); ++j) {
                        point2(10, s->controlPointAt(j).x, s->controlPointAt(j).y);
                        if (s->isRational()) real(42, s->weightAt(j));
                    }
                    const OdDbHatch::SplineFit* fit = (size_t)k < fits.size() ? &fits[(size_t)k] : nullptr;
                    integer(97, fit ? fit->points.length() : 0);
                    if (fit) {
                        for (const auto& p : fit->points) point2(11, p.x, p.y);
                        if (fit->hasStart) point2(12, fit->start.x, fit->start.y);
                        if (fit->hasEnd) point2(13, fit->end.x, fit->end.y);
                    }
                }
            }
        }
        std::vector<uint64_t> sources;
        for (const auto& id : DxfAccess::loopIds(h, i))
            if (written(id)) sources.push_back(id.getHandle());
        integer(97, (int64_t)sources.size());
        for (uint64_t s : sources) handle(330, s);
    }
    integer(75, h->hatchStyle());
    integer(76, h->patternType());
    if (!h->isSolidFill() && !gradient) {
        real(52, Degrees(h->patternAngle()));
        real(41, h->patternScale());
        integer(77, h->patternDouble() ? 1 : 0);
        integer(78, h->numPatternDefinitions());
        for (int i = 0; i < h->numPatternDefinitions(); ++i) {
            double angle, bx, by, ox, oy;
            OdGeDoubleArray dashes;
            h->getPatternDefinitionAt(i, angle, bx, by, ox, oy, dashes);
            real(53, Degrees(angle));
            real(43, bx);
            real(44, by);
            real(45, ox);
            real(46, oy);
            integer(79, dashes.length());
            for (double d : dashes) real(49, d);
        }
    }
    if (h->pixelSize() != 0) real(47, h->pixelSize());
    integer(98, h->numSeedPoints());
    for (int i = 0; i < h->numSeedPoints(); ++i) point2(10, h->getSeedPointAt(i).x, h->getSeedPointAt(i).y);
    if (gradient) {
        unsigned count = 0;
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        h->getGradientColors(count, colors, values);
        integer(450, 1);
        integer(451, h->gradientType());
        integer(452, h->getGradientOneColorMode() ? 1 : 0);
        integer(453, colors.length());
        for (int i = 0; i < colors.length(); ++i) {
            real(463, i < values.length() ? values[i] : 0.0);
            color(63, colors[i]);
            if (!colors[i].isByColor()) integer(421, RgbOf(colors[i]));
        }
        real(460, h->gradientAngle());
        real(461, h->gradientShift());
        real(462, h->shadeTintValue());
        text(470, h->gradientName().str());
    }
}

void DxfOut::dimension(const OdDbDimension* d)
{
    entityCommon("DIMENSION", d);
    marker("AcDbDimension");
    OdDbObjectId block = d->dimBlockId();
    if (!written(block) || !OdRxCast<OdDbBlockTableRecord>(obj(block))) {
        // A dimension without a block of its own gets an empty one.
        DimensionBlock& made = dimensionBlocks_[d];
        do made.name = L"*D" + std::to_wstring(nextDimensionBlock_++);
        while (blockNames_.count(made.name));
        made.record = synthetic();
        // It names the block made for it whatever the file named.
        w_.setTag(GroupWriter::kFrame);
        text(2, made.name);
        w_.setTag(GroupWriter::kValue);
    } else {
        text(2, nameOf(block).str());
    }
    int type = 0;
    OdGePoint3d defPoint;
    const char* sub = nullptr;
    auto* md = const_cast<OdDbDimension*>(d);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        type = 1, defPoint = a->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        type = 0, defPoint = r->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        type = 2, defPoint = a2->xLine2End(), sub = "AcDb2LineAngularDimension";
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        type = 3, defPoint = dd->farChordPoint(), sub = "AcDbDiametricDimension";
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        type = 4, defPoint = rd->center(), sub = "AcDbRadialDimension";
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        type = 5, defPoint = a3->arcPoint(), sub = "AcDb3PointAngularDimension";
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        type = 6 | (o->isUsingXAxis() ? 64 : 0), defPoint = o->origin(), sub = "AcDbOrdinateDimension";
    }
    point(10, defPoint);
    point(11, d->textPosition());
    // The type, and of the file's flags those the type does not say.
    const DxfKept* k = DxfAccess::kept(d);
    int flags = k ? k->flags : 128;
    integer(70, type | (flags & ~(7 | 64)));
    text(1, d->dimensionText().str());
    OdString style = nameOf(d->dimensionStyle());
    text(3, style.isEmpty() ? L"Standard" : style.str());
    if (!sub) return;
    marker(sub);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        point(13, a->xLine1Point());
        point(14, a->xLine2Point());
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        point(13, r->xLine1Point());
        point(14, r->xLine2Point());
        real(50, Degrees(r->rotation()));
        marker("AcDbRotatedDimension");
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        point(13, a2->xLine1Start());
        point(14, a2->xLine1End());
        point(15, a2->xLine2Start());
        point(16, a2->arcPoint());
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        point(15, dd->chordPoint());
        real(40, dd->leaderLength());
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        point(15, rd->chordPoint());
        real(40, rd->leaderLength());
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        point(13, a3->xLine1Point());
        point(14, a3->xLine2Point());
        point(15, a3->centerPoint());
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        point(13, o->definingPoint());
        point(14, o->leaderEndPoint());
    }
}

// A multiline as the file gave it, or, made in memory, of the host's
// standard style (two lines half a unit either side, times the scale).
void DxfOut::mline(const OdDbMline* m)
{
    int n = m->numVertices();
    uint64_t style = handleOf(m->style());
    if (!style)
        if (auto* nod = OdRxCast<OdDbDictionary>(obj(db_->getNamedObjectsDictionaryId()))) {
            OdDbObjectId styles, standard;
            auto* dict = nod->getAt(L"ACAD_MLINESTYLE", styles) == eOk ? OdRxCast<OdDbDictionary>(obj(styles)) : nullptr;
            if (dict && dict->getAt(L"Standard", standard) == eOk) style = handleOf(standard);
        }
    const auto& segs = DxfAccess::mlineSegments(m);
    bool asRead = (int)segs.size() == n && n > 0;
    size_t lines = asRead ? segs[0].params.size() : 2;
    entityCommon("MLINE", m);
    marker("AcDbMline");
    text(2, DxfAccess::mlineStyleName(m).str());
    if (style) handle(340, style);
    real(40, m->scale());
    integer(70, m->justification());
    integer(71, (n > 0 ? 1 : 0) | (m->closedMline() ? 2 : 0));
    integer(72, n);
    integer(73, (int64_t)lines);
    point(10, n > 0 ? m->vertexAt(0) : OdGePoint3d());
    point(210, AsPoint(m->normal()));
    for (int i = 0; i < n; ++i) {
        OdGePoint3d p = m->vertexAt(i);
        point(11, p);
        if (asRead) {
            const auto& seg = segs[(size_t)i];
            point(12, AsPoint(seg.direction));
            point(13, AsPoint(seg.miter));
            for (size_t k = 0; k < seg.params.size(); ++k) {
                integer(74, seg.params[k].length());
                for (double v : seg.params[k]) real(41, v);
                const OdGeDoubleArray none;
                const OdGeDoubleArray& fill = k < seg.fills.size() ? seg.fills[k] : none;
                integer(75, fill.length());
                for (double v : fill) real(42, v);
            }
            continue;
        }
        int next = i + 1 < n ? i + 1 : m->closedMline() ? 0 : i - 1;
        OdGeVector3d dir = next >= 0 && next != i ? m->vertexAt(next) - p : OdGeVector3d(1, 0, 0);
        if (next < i && !m->closedMline()) dir = -dir;
        dir = dir.isZeroLength() ? OdGeVector3d(1, 0, 0) : dir.normal();
        point(12, AsPoint(dir));
        point(13, OdGePoint3d(-dir.y, dir.x, 0));
        for (double offset : {0.5, -0.5}) {
            integer(74, 1);
            real(41, offset * m->scale());
            integer(75, 0);
        }
    }
}

void DxfOut::entity(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    if (auto* l = OdRxCast<OdDbLine>(ent)) {
        entityCommon("LINE", e);
        marker("AcDbLine");
        if (l->thickness() != 0) real(39, l->thickness());
        point(10, l->startPoint());
        point(11, l->endPoint());
        if (!IsPlusZ(l->normal())) point(210, AsPoint(l->normal()));
    } else if (auto* c = OdRxCast<OdDbCircle>(ent)) {
        entityCommon("CIRCLE", e);
        circleBody(e, c->center(), c->radius(), c->normal(), c->thickness());
    } else if (auto* a = OdRxCast<OdDbArc>(ent)) {
        entityCommon("ARC", e);
        circleBody(e, a->center(), a->radius(), a->normal(), a->thickness());
        marker("AcDbArc");
        real(50, Degrees(a->startAngle()));
        real(51, Degrees(a->endAngle()));
    } else if (auto* el = OdRxCast<OdDbEllipse>(ent)) {
        double s, t;
        el->getStartParam(s);
        el->getEndParam(t);
        OdGeVector3d maj = el->majorAxis(), n = el->normal();
        entityCommon("ELLIPSE", e);
        marker("AcDbEllipse");
        point(10, el->center());
        point(11, AsPoint(maj));
        point(210, AsPoint(n));
        real(40, el->radiusRatio());
        real(41, s);
        real(42, t);
    } else if (auto* pl = OdRxCast<OdDbPolyline>(ent)) {
        entityCommon("LWPOLYLINE", e);
        marker("AcDbPolyline");
        integer(90, pl->numVerts());
        integer(70, (pl->isClosed() ? 1 : 0) | (pl->isPlinegen() ? 128 : 0));
        double width = 0;
        bool constant = pl->getConstantWidth(width) == eOk;
        if (constant) real(43, width);
        if (pl->elevation() != 0) real(38, pl->elevation());
        if (pl->thickness() != 0) real(39, pl->thickness());
        for (unsigned i = 0; i < pl->numVerts(); ++i) {
            OdGePoint2d p;
            double sw = 0, ew = 0;
            pl->getPointAt(i, p);
            pl->getWidthsAt(i, sw, ew);
            point2(10, p.x, p.y);
            if (!constant) {
                real(40, sw);
                real(41, ew);
            }
            if (pl->getBulgeAt(i) != 0) real(42, pl->getBulgeAt(i));
        }
        if (!IsPlusZ(pl->normal())) point(210, AsPoint(pl->normal()));
    } else if (auto* p2 = OdRxCast<OdDb2dPolyline>(ent)) {
        polyline2d(p2);
    } else if (auto* p3 = OdRxCast<OdDb3dPolyline>(ent)) {
        polyline3d(p3);
    } else if (auto* pm = OdRxCast<OdDbPolygonMesh>(ent)) {
        polygonMesh(pm);
    } else if (auto* pf = OdRxCast<OdDbPolyFaceMesh>(ent)) {
        polyFaceMesh(pf);
    } else if (auto* sp = OdRxCast<OdDbSpline>(ent)) {
        spline(sp);
    } else if (auto* pt = OdRxCast<OdDbPoint>(ent)) {
        entityCommon("POINT", e);
        marker("AcDbPoint");
        point(10, pt->position());
        if (pt->thickness() != 0) real(39, pt->thickness());
        if (!IsPlusZ(pt->normal())) point(210, AsPoint(pt->normal()));
        if (pt->ecsRotation() != 0) real(50, Degrees(pt->ecsRotation()));
    } else if (auto* t = OdRxCast<OdDbText>(ent)) {
        text(t, OdRxCast<OdDbAttributeDefinition>(ent) ? "ATTDEF" : OdRxCast<OdDbAttribute>(ent) ? "ATTRIB" : "TEXT");
    } else if (auto* mt = OdRxCast<OdDbMText>(ent)) {
        mtext(mt);
    } else if (auto* r = OdRxCast<OdDbBlockReference>(ent)) {
        insert(r);
    } else if (auto* h = OdRxCast<OdDbHatch>(ent)) {
        hatch(h);
    } else if (auto* so = OdRxCast<OdDbSolid>(ent)) {
        entityCommon("SOLID", e);
        marker("AcDbTrace");
        for (int i = 0; i < 4; ++i) {
            OdGePoint3d p;
            so->getPointAt(i, p);
            point(10 + i, inPlane(so, (size_t)i, p, so->normal()));
        }
        if (so->thickness() != 0) real(39, so->thickness());
        if (!IsPlusZ(so->normal())) point(210, AsPoint(so->normal()));
    } else if (auto* img = OdRxCast<OdDbRasterImage>(ent)) {
        OdGePoint3d origin;
        OdGeVector3d u, v;
        img->getOrientation(origin, u, v);
        auto* def = OdRxCast<OdDbRasterImageDef>(obj(img->imageDefId()));
        OdGeVector2d size = def ? def->size() : OdGeVector2d();
        if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
        entityCommon("IMAGE", e);
        marker("AcDbRasterImage");
        integer(90, 0);
        point(10, origin);
        point(11, AsPoint(u / size.x));
        point(12, AsPoint(v / size.y));
        point2(13, size.x, size.y);
        handle(340, handleOf(img->imageDefId()));
        int display = 0;
        for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                         OdDbRasterImage::kTransparent})
            if (img->isSetDisplayOpt(opt)) display |= opt;
        integer(70, display);
        integer(280, img->isSetDisplayOpt(OdDbRasterImage::kClip) ? 1 : 0);
        softInteger(281, 50);
        softInteger(282, 50);
        softInteger(283, 0);
        if (!keptHas(71) && !keptHas(91) && !keptHas(14)) {
            w_.integer(71, 1);
            w_.integer(91, 2);
            w_.point2(14, -0.5, -0.5);
            w_.point2(14, size.x - 0.5, size.y - 0.5);
        }
    } else if (auto* d = OdRxCast<OdDbDimension>(ent)) {
        dimension(d);
    } else if (auto* ml = OdRxCast<OdDbMline>(ent)) {
        mline(ml);
    } else if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(e)) {
        std::string type(f->dxfName.begin(), f->dxfName.end());
        entityCommon(type, e);
        // The records of its sequence, as they came.
        const DxfKept* kept = DxfAccess::kept(e);
        const size_t n = kept ? kept->subRecords.size() : 0;
        for (size_t i = 0; i < n; ++i) {
            const DxfKept* record = kept->subRecords[i].get();
            if (!record || record->dxfType.empty()) continue;
            open(record->dxfType, nullptr, record, e, (int)i);
            head(recordHandle(kept->subHandles.size() == n ? kept->subHandles[i] : 0), e->handle());
        }
    }
}

void DxfOut::xrecordData(const OdResBuf* rb)
{
    for (; rb; rb = rb->next()) {
        int code = rb->restype();
        Kind kind;
        // Code 0 would end the record; codes the file form does not know
        // cannot be stored.
        if (code <= 0 || code > 1071 || !KindOfCode(code, kind) || code == 999) continue;
        bool pointCode = (code >= 10 && code <= 18) || (code >= 1010 && code <= 1013);
        switch (kind) {
        case Kind::kText: text(code, rb->getString().str()); break;
        case Kind::kReal:
            if (pointCode) point(code, rb->getPoint3d());
            else real(code, rb->getDouble());
            break;
        case Kind::kInt: integer(code, FileInteger(rb)); break;
        case Kind::kHandle: handle(code, handleOf(rb->getObjectId())); break;
        }
    }
}

void DxfOut::objects()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "OBJECTS");
    std::vector<const OdDbObject*> list;
    for (const OdDbObject* o : out_)
        if (IsWrittenObject(o)) list.push_back(o);
    // The named-objects dictionary comes first, as readers expect.
    std::stable_partition(list.begin(), list.end(),
                          [this](const OdDbObject* o) { return o->objectId() == db_->getNamedObjectsDictionaryId(); });
    for (const OdDbObject* o : list) {
        auto* mo = const_cast<OdDbObject*>(o);
        if (auto* d = OdRxCast<OdDbDictionary>(mo)) {
            begin("DICTIONARY", o, o->ownerId());
            marker("AcDbDictionary");
            if (d->isTreatElementsAsHard()) integer(280, 1);
            const DxfKept* k = DxfAccess::kept(d);
            std::unordered_set<OdDbObjectId, ObjectIdHash> hard;
            if (k) hard.insert(k->hardOwned.begin(), k->hardOwned.end());
            for (const auto& [key, id] : DxfAccess::entries(d)) {
                if (!written(id)) continue;
                text(3, key.str());
                handle(hard.count(id) ? 360 : 350, id.getHandle());
            }
            softInteger(281, 1);
        } else if (auto* x = OdRxCast<OdDbXrecord>(mo)) {
            begin("XRECORD", o, o->ownerId());
            marker("AcDbXrecord");
            // A file's data need not start with the cloning flag: none is
            // added while the record has the one that means.
            if (!(rec_.kept && (rec_.kept->flags & kNoCloningFlag) && x->mergeStyle() == 1)) integer(280, x->mergeStyle());
            xrecordData(DxfAccess::chain(x));
        } else if (auto* def = OdRxCast<OdDbRasterImageDef>(mo)) {
            OdGeVector2d size = def->size();
            if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
            begin("IMAGEDEF", o, o->ownerId());
            marker("AcDbRasterImageDef");
            text(1, def->sourceFileName().str());
            point2(10, size.x, size.y);
            integer(280, def->isLoaded() ? 1 : 0);
            softInteger(90, 0);
            if (!keptHas(11)) w_.point2(11, 1, 1);
            softInteger(281, 0);
        } else if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o)) {
            std::string type(f->dxfName.begin(), f->dxfName.end());
            begin(type, o, o->ownerId());
        } else if (auto* st = OdRxCast<OdDbSortentsTable>(mo)) {
            begin("SORTENTSTABLE", o, o->ownerId());
            marker("AcDbSortentsTable");
            handle(330, handleOf(st->blockId()));
            // The whole draw order: the entities' own handles, sorted, given
            // out in drawing order as their sort handles.
            OdDbObjectIdArray order;
            st->getFullDrawOrder(order);
            const DxfKept* k = DxfAccess::kept(st);
            if (k && !k->sortHandles.empty() && k->sortOrder == order) {
                // Unchanged since it was read: the file's own sort handles.
                for (const auto& [id, sortHandle] : k->sortHandles)
                    if (written(id)) {
                        handle(331, id.getHandle());
                        handle(5, sortHandle);
                    }
                continue;
            }
            std::vector<uint64_t> handles;
            for (const auto& id : order)
                if (written(id)) handles.push_back(id.getHandle());
            std::vector<uint64_t> sorted = handles;
            std::sort(sorted.begin(), sorted.end());
            for (size_t i = 0; i < handles.size(); ++i) {
                handle(331, handles[i]);
                handle(5, sorted[i]);
            }
        }
    }
    close();
    w_.ascii(0, "ENDSEC");
}

// The sections are made in the order their contents are known (the
// entities name the applications and dimension blocks the tables list) and
// put together in the order files have.
std::string DxfOut::run()
{
    collect();
    blocks();
    std::string blocksAndEntities = w_.take();
    classes();
    tables();
    std::string classesAndTables = w_.take();
    objects();
    extraSections();
    w_.ascii(0, "EOF");
    GroupWriter head;
    header(head);
    std::string out;
    out.reserve(head.bytes().size() + classesAndTables.size() + blocksAndEntities.size() + w_.bytes().size());
    out += head.bytes();
    out += classesAndTables;
    out += blocksAndEntities;
    out += w_.bytes();
    return out;
}

}  // namespace

std::vector<const char*> SubclassesOfRecord(std::string_view type, int flags, bool entity)
{
    const char* e = "AcDbEntity";
    using List = std::vector<const char*>;
    static const std::map<std::string_view, List> kFixed = {
        {"LINE", {e, "AcDbLine"}},
        {"CIRCLE", {e, "AcDbCircle"}},
        {"ARC", {e, "AcDbCircle", "AcDbArc"}},
        {"ELLIPSE", {e, "AcDbEllipse"}},
        {"LWPOLYLINE", {e, "AcDbPolyline"}},
        {"SPLINE", {e, "AcDbSpline"}},
        {"POINT", {e, "AcDbPoint"}},
        {"ATTDEF", {e, "AcDbText", "AcDbAttributeDefinition"}},
        {"ATTRIB", {e, "AcDbText", "AcDbAttribute"}},
        {"TEXT", {e, "AcDbText", "AcDbText"}},
        {"MTEXT", {e, "AcDbMText"}},
        {"HATCH", {e, "AcDbHatch"}},
        {"SOLID", {e, "AcDbTrace"}},
        {"IMAGE", {e, "AcDbRasterImage"}},
        {"MLINE", {e, "AcDbMline"}},
        {"DICTIONARY", {"AcDbDictionary"}},
        {"ACDBDICTIONARYWDFLT", {"AcDbDictionary"}},
        {"XRECORD", {"AcDbXrecord"}},
        {"IMAGEDEF", {"AcDbRasterImageDef"}},
        {"SORTENTSTABLE", {"AcDbSortentsTable"}},
        {"TABLE", {"AcDbSymbolTable"}},
    };
    const char* r = "AcDbSymbolTableRecord";
    static const std::map<std::string_view, const char*> kRecords = {
        {"LAYER", "AcDbLayerTableRecord"},         {"LTYPE", "AcDbLinetypeTableRecord"},
        {"STYLE", "AcDbTextStyleTableRecord"},     {"VPORT", "AcDbViewportTableRecord"},
        {"VIEW", "AcDbViewTableRecord"},           {"UCS", "AcDbUCSTableRecord"},
        {"APPID", "AcDbRegAppTableRecord"},        {"DIMSTYLE", "AcDbDimStyleTableRecord"},
        {"BLOCK_RECORD", "AcDbBlockTableRecord"}};
    // A record of an entity kind among the objects, or the other way, is
    // kept whole.
    if (auto it = kFixed.find(type); it != kFixed.end())
        return (!it->second.empty() && std::string_view(it->second.front()) == e) == entity ? it->second
                                                                                          : entity ? List{e} : List{};
    if (auto it = kRecords.find(type); it != kRecords.end()) return entity ? List{e} : List{r, it->second};
    if (!entity) return {};
    if (type == "INSERT") return {e, (flags & 1) ? "AcDbMInsertBlock" : "AcDbBlockReference"};
    if (type == "POLYLINE") {
        if (flags & 16) return {e, "AcDbPolygonMesh"};
        if (flags & 64) return {e, "AcDbPolyFaceMesh"};
        if (flags & 8) return {e, "AcDb3dPolyline"};
        return {e, "AcDb2dPolyline"};
    }
    if (type == "DIMENSION") {
        const char* d = "AcDbDimension";
        switch (flags & 7) {
        case 0: return {e, d, "AcDbAlignedDimension", "AcDbRotatedDimension"};
        case 1: return {e, d, "AcDbAlignedDimension"};
        case 2: return {e, d, "AcDb2LineAngularDimension"};
        case 3: return {e, d, "AcDbDiametricDimension"};
        case 4: return {e, d, "AcDbRadialDimension"};
        case 5: return {e, d, "AcDb3PointAngularDimension"};
        case 6: return {e, d, "AcDbOrdinateDimension"};
        default: return {e, d};
        }
    }
    // Kinds the database keeps whole.
    return entity ? List{e} : List{};
}

std::vector<const char*> WrittenSubclasses(const OdDbObject* o, std::string& type)
{
    auto* m = const_cast<OdDbObject*>(o);
    auto is = [m](OdRxClass* c) { return m->isKindOf(c); };
    const bool entity = is(OdDbEntity::desc());
    if (auto* f = DxfAccess::fileRecordOf(o)) {
        type.assign(f->dxfName.begin(), f->dxfName.end());
        return entity ? std::vector<const char*>{"AcDbEntity"} : std::vector<const char*>{};
    }
    // The type, and what of the object the record's flags would say.
    int flags = 0;
    const std::pair<OdRxClass*, const char*> kTypes[] = {
        {OdDbLine::desc(), "LINE"}, {OdDbCircle::desc(), "CIRCLE"}, {OdDbArc::desc(), "ARC"},
        {OdDbEllipse::desc(), "ELLIPSE"}, {OdDbPolyline::desc(), "LWPOLYLINE"}, {OdDbSpline::desc(), "SPLINE"},
        {OdDbPoint::desc(), "POINT"}, {OdDbAttributeDefinition::desc(), "ATTDEF"},
        {OdDbAttribute::desc(), "ATTRIB"}, {OdDbText::desc(), "TEXT"}, {OdDbMText::desc(), "MTEXT"},
        {OdDbHatch::desc(), "HATCH"}, {OdDbSolid::desc(), "SOLID"}, {OdDbRasterImage::desc(), "IMAGE"},
        {OdDbMline::desc(), "MLINE"}, {OdDbDictionary::desc(), "DICTIONARY"}, {OdDbXrecord::desc(), "XRECORD"},
        {OdDbRasterImageDef::desc(), "IMAGEDEF"}, {OdDbSortentsTable::desc(), "SORTENTSTABLE"},
        {OdDbSymbolTable::desc(), "TABLE"}, {OdDbLayerTableRecord::desc(), "LAYER"},
        {OdDbLinetypeTableRecord::desc(), "LTYPE"}, {OdDbTextStyleTableRecord::desc(), "STYLE"},
        {OdDbViewportTableRecord::desc(), "VPORT"}, {OdDbViewTableRecord::desc(), "VIEW"},
        {OdDbUCSTableRecord::desc(), "UCS"}, {OdDbRegAppTableRecord::desc(), "APPID"},
        {OdDbDimStyleTableRecord::desc(), "DIMSTYLE"}, {OdDbBlockTableRecord::desc(), "BLOCK_RECORD"}};
    type.clear();
    if (is(OdDbBlockReference::desc())) {
        type = "INSERT";
        flags = is(OdDbMInsertBlock::desc()) ? 1 : 0;
    } else if (is(OdDb2dPolyline::desc()) || is(OdDb3dPolyline::desc()) || is(OdDbPolygonMesh::desc()) ||
               is(OdDbPolyFaceMesh::desc())) {
        type = "POLYLINE";
        flags = is(OdDb3dPolyline::desc()) ? 8 : is(OdDbPolygonMesh::desc()) ? 16 : is(OdDbPolyFaceMesh::desc()) ? 64 : 0;
    } else if (is(OdDbDimension::desc())) {
        type = "DIMENSION";
        flags = is(OdDbRotatedDimension::desc())        ? 0
                : is(OdDbAlignedDimension::desc())      ? 1
                : is(OdDb2LineAngularDimension::desc()) ? 2
                : is(OdDbDiametricDimension::desc())    ? 3
                : is(OdDbRadialDimension::desc())       ? 4
                : is(OdDb3PointAngularDimension::desc()) ? 5
                : is(OdDbOrdinateDimension::desc())     ? 6
                                                        : 7;
    } else {
        for (const auto& [cls, name] : kTypes)
            if (is(cls)) {
                type = name;
                break;
            }
    }
    if (type.empty()) return {};
    return SubclassesOfRecord(type, flags, entity);
}

std::vector<const char*> SubRecordSubclasses(std::string_view parentSubclass, std::string_view type, int vertexFlags)
{
    const char* e = "AcDbEntity";
    if (type == "BLOCK") return {e, "AcDbBlockBegin"};
    if (type == "ENDBLK") return {e, "AcDbBlockEnd"};
    if (type != "VERTEX") return {e};
    if (parentSubclass == "AcDb3dPolyline") return {e, "AcDbVertex", "AcDb3dPolylineVertex"};
    if (parentSubclass == "AcDbPolygonMesh") return {e, "AcDbVertex", "AcDbPolygonMeshVertex"};
    if (parentSubclass == "AcDbPolyFaceMesh")
        return (vertexFlags & 64) ? std::vector<const char*>{e, "AcDbVertex", "AcDbPolyFaceMeshVertex"}
                                  : std::vector<const char*>{e, "AcDbFaceRecord"};
    return {e, "AcDbVertex", "AcDb2dVertex"};
}

OdResult WriteDxf(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses)
{
    if (!db || DxfAccess::object(db->getBlockTableId()) == nullptr) return eInvalidInput;
    std::vector<std::wstring> lost;
    // What the file held that the drawing never did is named by every save.
    if (const DxfFileKept* k = DxfAccess::fileKept(db))
        for (const std::wstring& what : k->notRead)
            lost.push_back(L"left out when " + (k->source.empty() ? std::wstring(L"it") : k->source) + L" was read: " + what);
    bytes = DxfOut(db, lost).run();
    if (losses) *losses = std::move(lost);
    return eOk;
}

void HashRecords(OdDbDatabase* db, const RecordHashed& hashed)
{
    if (!db || DxfAccess::object(db->getBlockTableId()) == nullptr) return;
    std::vector<std::wstring> lost;
    DxfOut(db, lost, &hashed).run();
}

}  // namespace dxf
}  // namespace standin
