// Drawing files (stand-in internals): the loader that builds a database
// from a file's groups. Its parts are in the files of the file's parts:
// dxf_read.cpp (sections, placing objects, the finish), dxf_read_tables.cpp
// (the header, tables and blocks), dxf_read_entities.cpp (each entity kind
// by its reader in its family's dxf_kind_*.cpp), dxf_read_objects.cpp and
// dxf_read_kept.cpp (what is kept as read and noted for the saves).
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dxf_access.h"
#include "dxf_kinds.h"
#include "dxf_view.h"
#include "handle_table.h"
#include "mostly_sorted.h"
#include "text_internal.h"

namespace standin {
namespace dxf {

// Block references nested deeper than this are left out: drawing them
// would recurse that deep.
const int kMaxBlockDepth = 64;
// A file whose handles leave fewer than this above them may see new
// objects take handles below its seed (no session makes 2^32 objects).
const uint64_t kSeedRoom = uint64_t(1) << 32;

// Values read are finite; products of them may not be.
inline bool Finite(const OdGeVector3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A point of object coordinates (with that normal) in world coordinates.
inline OdGePoint3d OcsToWcs(const OdGePoint3d& p, const OdGeVector3d& normal)
{
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    OdGeVector3d n = normal.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal.normal();
    return OdGePoint3d::kOrigin + x * p.x + y * p.y + n * p.z;
}

inline OdDb::LineWeight AsLineWeight(int64_t v) { return (OdDb::LineWeight)v; }

// The handle a text value names (extended data's 1005), 0 for none.
inline uint64_t HandleOfText(std::string_view text)
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

// A normal as given, of unit length; +Z for one zero or not finite
// (dxf_read_entities.cpp).
OdGeVector3d UnitNormal(const OdGeVector3d& n);
// A point of the entity's plane in world coordinates.
OdGePoint3d ToWorld(const OdGePoint3d& p, const OdGeVector3d& n);

// Frees a container's room, not only its elements.
template <class T>
void Release(T& container)
{
    T().swap(container);
}

// Room for a large list of the reading straight from the system, given
// back when the list goes: freed inside the heap, it would leave a hole
// whose pages stay resident through the open's peak.
template <class T>
struct SystemAllocator {
    using value_type = T;
    SystemAllocator() = default;
    template <class U>
    SystemAllocator(const SystemAllocator<U>&)
    {
    }
    T* allocate(size_t n)
    {
        void* p = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) { munmap(p, n * sizeof(T)); }
    bool operator==(const SystemAllocator&) const { return true; }
    bool operator!=(const SystemAllocator&) const { return false; }
};

// The objects the file's handles name, as read: flat tables, so that a
// million objects make no million nodes to allocate and free. A file's
// handles are mostly one dense run: that run indexes a list directly, in
// the order the objects come, instead of a hashed table whose every slot
// is a miss of the cache. Handles outside it go to a HandleTable, which
// hostile handles do not slow (handle_table.h).
class HandleIds {
public:
    // Makes room for the handles to come (sorted, without repeats). The
    // run indexed directly is the part of them densest in a window twice
    // as long as they are many, where at least every second handle is one
    // of them: a high handle or a few far ones keep the rest in it.
    template <class List>
    void reserve(const List& handles)
    {
        const size_t n = handles.size();
        size_t best = 0, bestFrom = 0;
        for (size_t from = 0, to = 0; to < n; ++to) {
            while (handles[to] - handles[from] >= 2 * (uint64_t)n) ++from;
            if (to - from + 1 > best) best = to - from + 1, bestFrom = from;
        }
        if (best > 0 && handles[bestFrom + best - 1] - handles[bestFrom] < 2 * (uint64_t)best) {
            first_ = handles[bestFrom];
            direct_.assign((size_t)(handles[bestFrom + best - 1] - first_) + 1, OdDbObjectId());
        } else {
            best = 0;
        }
        spread_.reserve(n - best);
    }
    void set(uint64_t h, OdDbObjectId id)
    {
        if (!h) return;
        if (h - first_ < direct_.size()) direct_[h - first_] = id;
        else spread_.set(h, id);
    }
    // The object named, null for none.
    OdDbObjectId get(uint64_t h) const
    {
        if (h - first_ < direct_.size()) return h ? direct_[h - first_] : OdDbObjectId();
        const OdDbObjectId* id = spread_.find(h);
        return id ? *id : OdDbObjectId();
    }
    // For the tests: whether the handles went to the ordered map, whether
    // a handle is in the run indexed directly, and how far the hashed
    // table placed a handle from its own slot at most.
    bool ordered() const { return spread_.ordered(); }
    bool direct(uint64_t h) const { return h - first_ < direct_.size(); }
    size_t longestProbe() const { return spread_.longestProbe(); }

private:
    uint64_t first_ = 0;                // the dense run's first handle
    std::vector<OdDbObjectId, SystemAllocator<OdDbObjectId>> direct_;  // the run, by handle - first_
    HandleTable<OdDbObjectId> spread_;  // the others
};

// An entity's record and, for kinds with records after it (a reference's
// attributes, a polyline's vertices), those that follow: `i` moves past the
// ones its reader takes. A reader that leaves out the record (a reference
// to no block) says it is `done` with it.
struct EntityRecord {
    const View& v;
    const std::vector<Rec>& recs;
    size_t& i;
    size_t to;
    std::vector<OdDbAttribute*>& attrs;
    std::vector<const Rec*>& attrRecs;
    mutable bool done = false;
};

class Loader {
public:
    Loader(OdDbDatabase* db, const std::vector<Group>& g, std::string_view bytes)
        : db_(db), g_(g), bytes_(bytes), state_(g.size(), 0)
    {
    }
    // A read cut short leaves the database every object it made.
    ~Loader() { DxfAccess::placeAll(db_, unplaced_); }
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
    // The line of a group's code, counted from 1 (groups keep no line of
    // their own: messages are few, groups many).
    size_t lineOf(size_t group) const;
    // What a save needs to put back values as the file wrote them; its
    // bytes are not yet copied.
    std::unique_ptr<DxfFileRecords> takeRecords() { return std::move(records_); }

private:
    struct Pending;
    // ---- the database being built ----
    OdDbObjectId place(OdDbObject* o, const View& v, OdDbObjectId owner);
    OdDbObject* obj(OdDbObjectId id) const { return DxfAccess::object(id); }
    OdDbObjectId idOf(uint64_t h) const { return ids_.get(h); }
    // The object the handle h of the group at `at` names: a record given a
    // new handle where the reference names it without doubt
    // (settleClaims), else the one that has h.
    OdDbObjectId idAt(size_t at, uint64_t h) const;
    // The handle of what the group at `at` names, h given there: another
    // where it names a record given a new handle.
    uint64_t handleNamed(size_t at, uint64_t h) const;
    OdDbObjectId record(const std::map<std::wstring, OdDbObjectId>& names, const std::wstring& name) const
    {
        auto it = names.find(Lower(name));
        return it == names.end() ? OdDbObjectId() : it->second;
    }
    OdDbObjectId newTable(OdDbSymbolTable* t, const Rec* head);
    OdDbObjectId addRecord(OdDbObjectId table, std::map<std::wstring, OdDbObjectId>& names,
                           OdDbSymbolTableRecord* r, const std::wstring& name, const View* v, bool nameless = false);
    OdDbObjectId layerNamed(const std::wstring& name);
    // The layer an entity named last, as spelled (Loader::common).
    std::string lastLayerSpelled_;
    OdDbObjectId lastLayer_;
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
        return View(g_, r, codec_, state_.data(), std::move(written), dataRecord, &silent_);
    }
    // The subclasses of the object a record of the entities or objects is
    // read into, told from the record itself.
    std::vector<const char*> expected(const Rec& r, bool entity) const;
    int64_t peekFlags(const Rec& r) const;
    // Says what of the file the drawing leaves out (the save names it).
    void leaveOut(const Rec& r, const std::string& why) { notRead_.push_back(said(r, why)); }
    // The line a message names a record at, 0 for none.
    uint64_t lineSaid(const Rec& r) const { return r.b > 0 && r.b - 1 < g_.size() ? lineOf(r.b - 1) : 0; }
    // "TYPE at line N: why".
    std::wstring said(const Rec& r, const std::string& why) const;
    // A record tied to another (a block's begin or end, a vertex, a
    // sequence's end) has the layer and space of what it belongs to: the
    // first of each the file gave is the one the writer's is compared
    // with, a second is kept.
    void takeTiedValues(const Rec& r, const std::vector<const char*>& written)
    {
        if (written.empty()) return;
        View v = view(r, written);
        for (int code : EntityCodes::kOfSubRecords) v.find(code);
    }

    // ---- what is kept ----
    // The groups of the record the object does not hold (null when there
    // are none), in runs by where they go back.
    std::unique_ptr<DxfKept> keep(const View& v);
    static void SplitByCode(const std::vector<const Subclass*>& later, std::vector<KeptRun>& runs);
    static void KeepHalvesApart(std::vector<KeptGroup>& groups);
    // Keeps what every record read holds beyond its object's values, once
    // the whole file is read (the objects may refuse values until then).
    void keepAll();
    KeptGroup keptGroup(const Group& g);
    void resolveLater(std::vector<KeptGroup>& groups);
    OdResBuf* xdataOf(const View& v);
    // An item of data (extended data, an Xrecord's) of the group at `i`: a
    // point takes the coordinates that follow (`i` moves past them; only
    // groups `inData`). A value its code cannot hold, and a point with
    // one, goes group by group as the file wrote it (items chained).
    OdResBuf* dataItem(size_t& i, size_t to, bool pointCode, const std::function<bool(size_t)>& inData);
    DxfKept& keptOf(OdDbObject* o)
    {
        if (!DxfAccess::kept(o)) DxfAccess::setKept(o, new DxfKept);
        return *DxfAccess::kept(o);
    }
    // The colour number a file gave beside a true colour.
    void keepColourNumber(OdDbObject* o, const View& v, const OdCmColor& c)
    {
        const Group* number = v.find(EntityCodes::kColour);
        if (!number || number->kind != Kind::kInt) return;
        DxfKept& k = keptOf(o);
        k.colourNumber = (int)number->integer;
        k.colourRgb = (int64_t)c.red() << 16 | (int64_t)c.green() << 8 | c.blue();
    }
    // Goes through what the writer makes of every record read, keeps the
    // values that are none of its object's, and notes the records for the
    // saves that put back values as the file wrote them (DxfFileRecords).
    void noteRecords();
    void noteHeldOtherwise(const Pending& p, const std::vector<GroupWriter::HashedValue>& written);
    void keepPastWhatIsWritten(const Pending& p, const std::vector<GroupWriter::HashedValue>& written,
                               std::vector<size_t>& groups);
    // The values marked, by group, with what the writer wrote of them.
    std::vector<std::pair<size_t, DxfFileRecords::Correction>> corrections_;
    // Where the line of the group's code starts in the file.
    size_t codeLineAt(size_t group) const;
    DxfKept& keptFor(const Pending& p);
    // Keeps these groups of the record, in its runs in file order.
    void keepInPlace(const Pending& p, const View& v, std::vector<size_t> groups);

    void readHeader();
    // The handles of the block records that are model space and paper
    // space by what the file's records say (0: none says), whatever they
    // are named.
    void findSpaces(const std::vector<const Rec*>& blockRecords);
    uint64_t spaceHandles_[2] = {0, 0};
    // A record that is a space under a name of its own is named as the
    // drawing names it; its file's name (and its block's) goes to no save.
    void nameSpace(const std::wstring& fileName, const wchar_t* name, OdDbObjectId id, const Group* given);
    void readTables();
    void readBlocks();
    void readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block);
    size_t readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block);
    OdDbEntity* makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                           std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs);
    void common(OdDbEntity* e, const View& v);
    // Each kind's reader is named in its description (dxf_kinds.h).
    friend const std::vector<EntityKind>& EntityKinds();
    DXF_KIND_FAMILIES(DXF_FRIEND_KIND_FAMILY)
    OdDbEntity* readLine(const EntityRecord& item);
    OdDbEntity* readPoint(const EntityRecord& item);
    OdDbEntity* readCircle(const EntityRecord& item);
    OdDbEntity* readEllipse(const EntityRecord& item);
    OdDbEntity* readLightPolyline(const EntityRecord& item);
    OdDbEntity* readPolyline(const EntityRecord& item);
    OdDbEntity* readSpline(const EntityRecord& item);
    OdDbEntity* readText(const EntityRecord& item);
    OdDbEntity* readMText(const EntityRecord& item);
    OdDbEntity* readInsert(const EntityRecord& item);
    OdDbEntity* readHatch(const EntityRecord& item);
    OdDbEntity* readSolid(const EntityRecord& item);
    OdDbEntity* readImage(const EntityRecord& item);
    OdDbEntity* readDimension(const EntityRecord& item);
    OdDbEntity* readMline(const EntityRecord& item);
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
    // Where lineOf last counted to: messages come mostly in file order.
    mutable size_t countedTo_ = 0, countedLines_ = 0;
    std::unique_ptr<DxfFileRecords> records_;
    // What each group is to its record (GroupState). Its room comes from
    // the system: it goes before the records for the saves are made, at
    // the open's peak, and freed inside the heap its pages would stay.
    std::vector<uint8_t, SystemAllocator<uint8_t>> state_;
    TextCodec codec_;
    std::vector<std::pair<std::string, size_t>> header_;  // variable -> index of its first value group
    std::map<std::string, size_t> headerIndex_;
    std::vector<std::pair<size_t, size_t>> headerSpans_;  // the groups of header sections
    std::vector<Rec> tables_, blocks_, entities_, objects_, classes_;
    // Sections the database is not built from: name, first and end group.
    std::vector<std::tuple<std::string, size_t, size_t>> otherSections_;
    HandleIds ids_;
    // The records placed under the file's handles, not yet among the
    // database's by handle (DxfAccess::unplaced).
    std::vector<OdDbStub*, SystemAllocator<OdDbStub*>> unplaced_;
    // Of the handles several records claim, those a later record keeps
    // (dxf_read_handles.cpp): the first record keeps the others.
    struct Keeper {
        uint64_t handle;
        size_t at;  // the group of the keeper's own handle
        const Rec* rec;
    };
    std::vector<Keeper> keepers_;  // by handle
    void settleClaims(const std::vector<uint64_t>& contested);
    // References that name a claimant given a new handle: (the group of
    // the reference, that of the claimant's own handle), sorted; and the
    // claimants given new handles, by the group of their own (sorted once
    // all are placed).
    std::vector<std::pair<size_t, size_t>> redirects_;
    std::vector<std::pair<size_t, OdDbObjectId>> renumberedIds_;
    // Handles given at the open to the records of blocks and sequences
    // the file gave none.
    std::vector<uint64_t> given_;
    void giveBlocksHandles();
    // A layout and its block record name each other (the layout's 330, the
    // record's 340). Where one names no record of that kind (a file of the
    // oldest form gives its block records no handles), it names the one
    // that alone names it back. A layout left naming none is left out, and
    // said: a save names no record it does not write.
    void pairLayoutsWithBlockRecords();
    const Keeper* keeperOf(uint64_t h) const
    {
        auto k = std::lower_bound(keepers_.begin(), keepers_.end(), h,
                                  [](const Keeper& a, uint64_t b) { return a.handle < b; });
        return k != keepers_.end() && k->handle == h ? &*k : nullptr;
    }
    // Every handle a record of the file gives itself.
    std::vector<uint64_t, SystemAllocator<uint64_t>> defined_;  // sorted
    // The subclass lists records are read by, each held once: a large file
    // has a record read for every object, and few lists.
    const std::vector<const char*>* intern(const std::vector<const char*>& written)
    {
        auto it = lists_.find(written);
        if (it == lists_.end()) it = lists_.emplace(written, std::make_unique<std::vector<const char*>>(written)).first;
        return it->second.get();
    }
    std::map<std::vector<const char*>, std::unique_ptr<std::vector<const char*>>> lists_;
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
        uint32_t count;  // a sequence's records (a file holds far fewer than 2^32)
        const Rec* rec;
        const std::vector<const char*>* written;  // interned (`intern`)
        bool dataRecord;
        bool keptWhole;  // a sequence's record kept whole: its type goes back with it
        bool met = false;  // the writer met it (noteRecords)
        // Where its values end (its extended data) and its owner, once
        // its groups have been kept (a file holds far fewer than 2^32
        // groups). A large file is a million of these at the open's peak.
        uint32_t valuesEnd = UINT32_MAX, ownerAt = UINT32_MAX;
    };
    static_assert(sizeof(Pending) <= 48, "a record pending is 48 bytes");
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
        std::string_view dxfType;
    };
    std::vector<SubRecord> subRecs_;
    // A sequence end after a reference without attributes.
    const Rec* strayEnd_ = nullptr;
    // A record of the entity's sequence (an attribute, a vertex) whose
    // values cannot be told apart where it gives them: the entity is kept
    // whole with it.
    bool untoldPart_ = false;
    // Values no save puts back (noteRecords): what the file says against
    // the records that follow (attributes follow a reference that has none).
    std::vector<size_t> dropped_;
    // Of those, the ones the save writes nothing in place of (a view reads
    // strays of their codes as the next read will).
    std::set<size_t> silent_;
    std::vector<uint64_t> subHandles_;
    // What of the file the drawing does not hold, and the objects it
    // erased.
    std::vector<std::wstring> notRead_;
    RenumberedRecords renumbered_;
    std::wstring codePageAssumed_;
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

}  // namespace dxf
}  // namespace standin
