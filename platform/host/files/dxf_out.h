// Drawing files (stand-in internals): the writer that puts a database into
// a file. Its parts are in the files of the file's parts: dxf_write.cpp
// (what goes, the run), dxf_write_kept.cpp (records, their kept groups and
// the values put back as the file wrote them), dxf_write_tables.cpp (the
// header, classes, tables and blocks), dxf_write_entities.cpp and
// dxf_write_objects.cpp.
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dxf_access.h"
#include "dxf_internal.h"
#include "dxf_kinds.h"
#include "dxf_schema.h"
#include "handle_table.h"
#include "oddbproxy.h"

namespace standin {
namespace dxf {

const double kRadToDeg = 180.0 / M_PI;

// An angle in radians as degrees: the shortest decimal that reads back as
// the same radians, so that 12 degrees read goes back as 12, not as
// 12.000000000000002, and nothing drifts from save to save.
inline double Degrees(double radians)
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

// The angle in degrees of an ellipse's parameter, for the ratio of its
// radii: the shortest decimal whose parameter is the same, as Degrees.
inline double EllipseDegrees(double ratio, double param)
{
    const double d = EllipseAngleOfParam(ratio, param) * kRadToDeg;
    if (!std::isfinite(d)) return d;
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
        double back = 0;
        if (std::from_chars(buf, r.ptr, back).ec == std::errc() && EllipseParamOfAngle(ratio, back * kDegToRad) == param)
            return back;
    }
    return d;
}

// 0x00RRGGBB of a colour given by index or by value.
inline int64_t RgbOf(const OdCmColor& c)
{
    if (c.isByColor()) return (int64_t)c.red() << 16 | (int64_t)c.green() << 8 | c.blue();
    uint32_t bgr = gcedGetRGB(c.isByACI() ? c.colorIndex() : 7);
    return (int64_t)(bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

// A world point in the object coordinates of the plane with that normal.
inline OdGePoint3d WcsToOcs(const OdGePoint3d& p, const OdGeVector3d& normal)
{
    if (normal.x == 0 && normal.y == 0 && normal.z > 0) return p;
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    OdGeVector3d n = normal.normal();
    const OdGeVector3d v = p - OdGePoint3d::kOrigin;
    return OdGePoint3d(v.dotProduct(x), v.dotProduct(y), v.dotProduct(n));
}

inline OdGePoint3d AsPoint(const OdGeVector3d& v) { return OdGePoint3d(v.x, v.y, v.z); }

// An integer of extended or Xrecord data as the file gave it where a file
// can hold it (65535 for a 16-bit code), else as the host's type reads it.
inline int64_t FileInteger(const OdResBuf* rb)
{
    const int code = rb->restype();
    const int64_t held = DxfAccess::fileInteger(rb);
    if (GroupWriter::Holds(code, held)) return held;
    const bool narrow = (code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
                        (code >= 370 && code <= 409) || (code >= 1060 && code <= 1070);
    return narrow ? rb->getInt16() : rb->getInt32();
}


inline bool IsPlusZ(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

// A proxy that came from a file goes back as it came.
inline bool IsFileProxy(const OdDbObject* o)
{
    const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o);
    return f && f->fromFile;
}

inline bool IsWrittenObject(const OdDbObject* o)
{
    auto* mo = const_cast<OdDbObject*>(o);
    return OdRxCast<OdDbDictionary>(mo) || OdRxCast<OdDbXrecord>(mo) || OdRxCast<OdDbRasterImageDef>(mo) ||
           OdRxCast<OdDbSortentsTable>(mo) || (OdRxCast<OdDbProxyObject>(mo) && IsFileProxy(o));
}

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
    // The first value `run` met that is not finite ("LINE 2F (group 11)");
    // empty when there was none.
    const std::string& notFinite() const { return notFinite_; }

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
    // A handle for a record the drawing has no object of: the next free
    // one from the seed up that no record of this save has.
    uint64_t nextSynthetic() const
    {
        return db_->freeHandle(synthetic_, [this](uint64_t x) { return recordHandles_.contains(x); }, true);
    }
    uint64_t synthetic()
    {
        const uint64_t h = nextSynthetic();
        synthetic_ = h + 1;  // 0 past the last handle
        return h;
    }
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
    // block's begin or end, or the n-th record of its sequence of `count`.
    void open(const std::string& type, const OdDbObject* o = nullptr, const DxfKept* kept = nullptr,
              const OdDbObject* of = nullptr, int sub = kObjectRecord, size_t count = 0);
    void close();
    // Puts back the values of the record the list names as the file wrote
    // them (Respellings).
    void applyRespellings(const std::vector<Respelling>& list);
    // The groups of the object's head: handle, extension dictionary,
    // reactors, owner.
    void begin(const std::string& type, const OdDbObject* o, OdDbObjectId owner, int handleCode = 5);
    void marker(const char* subclass);
    void flushRuns(bool all);
    // A record kept whole that lacks its kind's subclass markers (written
    // without them, or without its own) is written with them: `marked_`
    // stands for what it keeps while it is written.
    void markKeptWhole(bool entity);
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
    void text(int code, const std::wstring& s, int next = -1) { check(code); w_.text(code, s, next); }
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
    // Each kind's writer is named in its description (dxf_kinds.h).
    friend const std::vector<EntityKind>& EntityKinds();
    DXF_KIND_FAMILIES(DXF_FRIEND_KIND_FAMILY)
    void writeLine(const OdDbEntity* e);
    void writeCircle(const OdDbEntity* e);
    void writeArc(const OdDbEntity* e);
    void writeEllipse(const OdDbEntity* e);
    void writePolyline(const OdDbEntity* e);
    void write2dPolyline(const OdDbEntity* e);
    void write3dPolyline(const OdDbEntity* e);
    void writePolygonMesh(const OdDbEntity* e);
    void writePolyFaceMesh(const OdDbEntity* e);
    void writeSpline(const OdDbEntity* e);
    void writePoint(const OdDbEntity* e);
    void writeText(const OdDbEntity* e);
    void writeMText(const OdDbEntity* e);
    void writeBlockReference(const OdDbEntity* e);
    void writeHatch(const OdDbEntity* e);
    void writeSolid(const OdDbEntity* e);
    void writeRasterImage(const OdDbEntity* e);
    void writeDimension(const OdDbEntity* e);
    void writeMline(const OdDbEntity* e);
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
    // A colour: its number under aciCode, a true colour's value too under
    // rgbCode.
    void color(int aciCode, int rgbCode, const OdCmColor& c);
    void color(int aciCode, const OdCmColor& c) { color(aciCode, aciCode == 62 ? 420 : 421, c); }
    void text(const OdDbText* t, const char* type);
    void mtext(const OdDbMText* m);
    void insert(const OdDbBlockReference* r);
    void polyline2d(const OdDb2dPolyline* p);
    void polyline3d(const OdDb3dPolyline* p);
    void polygonMesh(const OdDbPolygonMesh* m);
    void polyFaceMesh(const OdDbPolyFaceMesh* m);
    void seqend(const OdDbEntity* parent, size_t count);
    void polylineHead(const OdDbEntity* polyline, const char* subclass, const OdGePoint3d& point);
    // A vertex record's head and markers, as the polyline's kind has them
    // for a vertex with those flags.
    void vertexHead(const OdDbEntity* polyline, size_t index, size_t count, int flags);
    void spline(const OdDbSpline* s);
    void hatch(const OdDbHatch* h);
    void hatchEdges(const OdGeVoidPointerArray& edges, const OdGeIntArray& edgeTypes,
                    const std::vector<OdDbHatch::SplineFit>& fits);
    void dimension(const OdDbDimension* d);
    void mline(const OdDbMline* m);
    void xrecordData(const OdResBuf* chain);
    OdString nameOf(OdDbObjectId id) const;
    // The names of a table's records, without case, as of this save (a
    // record without a name, a shape file's style, is named by none).
    // (Ordered: the names are the file's, which a hash's chosen collisions
    // would make slow.)
    const std::set<std::wstring>& namesOf(OdDbObjectId table)
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
    std::string notFinite_;
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
    // In the order they were made: a file must not depend on where the
    // dimensions lie in memory.
    std::vector<DimensionBlock> dimensionBlocks_;
    std::unordered_map<const OdDbObject*, size_t> dimensionBlockOf_;
    std::set<std::wstring> blockNames_;
    int nextDimensionBlock_ = 1;
    // Applications of extended data the file must register.
    std::set<std::wstring> apps_;
    uint64_t dimstyleHandle_ = 0;
    // The file's handles given to records in this save.
    HandleTable<bool> recordHandles_;
    std::map<OdDbObjectId, std::set<std::wstring>> tableNames_;

    // Records of objects have their values noted for this instead of
    // written, when set.
    const RecordHashed* hashed_;
    // The records of the file the drawing was read from.
    const DxfFileRecords* fileRecords_ = nullptr;

    // The record being written.
    struct Record {
        bool open = false;
        std::string type;
        const OdDbObject* obj = nullptr;
        const DxfKept* kept = nullptr;
        const DxfFileRecords::Record* file = nullptr;  // as read
        const OdDbObject* of = nullptr;
        bool copy = false;  // `file` is the record of the object `of` was copied from
        int sub = kObjectRecord;
        size_t start = 0;  // where its text begins
        std::string subclass;
        int occurrence = 0;
        std::vector<std::pair<const char*, int>> seen;  // markers written, how often
        std::vector<char> flushed;
        const CodeSet* owned = nullptr;
        CodeSet here;  // codes of values written in the current subclass
    } rec_;
    DxfKept marked_;

    static uint32_t NextMark()
    {
        static uint32_t mark = 0;
        return ++mark;
    }
};

}  // namespace dxf
}  // namespace standin
