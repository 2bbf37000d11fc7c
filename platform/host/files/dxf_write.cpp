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

#include "dxf_out.h"
#include "dxf_record_codes.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

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

// ---- what goes to the file ----

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
    // The file's handles, sorted: a hash of them is what a file may choose
    // to make slow.
    std::vector<uint64_t> leftOut;
    std::unordered_map<const OdDbStub*, std::wstring> lostWhy;  // objects named as lost, why
    if (const DxfFileKept* k = DxfAccess::fileKept(db_)) leftOut = k->leftOut;
    std::sort(leftOut.begin(), leftOut.end());
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
            if (cur->isErased() && std::binary_search(leftOut.begin(), leftOut.end(), (uint64_t)cur->handle())) {
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

// The sections are made in the order their contents are known (the
// entities name the applications and dimension blocks the tables list) and
// put together in the order files have.
std::string DxfOut::run()
{
    collect();
    // The blocks and entities are most of the file: their text gets room
    // for a save of the file read (CR LF lines, codes padded: 1.2 times
    // the size of a file of LF lines) and the rest of the file, so that it
    // neither moves as it grows nor when the sections before it go in.
    if (fileRecords_) {
        std::string room;
        room.reserve(fileRecords_->bytes.size() / 2 * 3 + (size_t(1) << 20));
        w_.continueIn(std::move(room));
    }
    blocks();
    std::string out = w_.take();
    classes();
    tables();
    std::string classesAndTables = w_.take();
    objects();
    extraSections();
    w_.ascii(0, "EOF");
    GroupWriter head;
    header(head);
    const size_t before = head.bytes().size() + classesAndTables.size();
    out.reserve(before + out.size() + w_.bytes().size());
    out.insert(0, before, '\0');
    std::memcpy(&out[0], head.bytes().data(), head.bytes().size());
    std::memcpy(&out[head.bytes().size()], classesAndTables.data(), classesAndTables.size());
    out += w_.bytes();
    notFinite_ = !head.notFinite().empty() ? "the header " + head.notFinite() : w_.notFinite();
    return out;
}

namespace {

// An entity of the kind is written in these, its own first.
std::vector<const char*> MarkersOf(const EntityKind& kind)
{
    std::vector<const char*> list;
    list.reserve(kind.subclasses.size() + 1);
    list.push_back(EntityCodes::kMarker);
    for (const Subclass* sub : kind.subclasses) list.push_back(sub->marker);
    return list;
}

}  // namespace

std::vector<const char*> SubclassesOfRecord(std::string_view type, int flags, bool entity)
{
    const char* e = EntityCodes::kMarker;
    using List = std::vector<const char*>;
    static const std::map<std::string_view, List> kFixed = {
        {"DICTIONARY", {DictionaryCodes::kMarker}},
        {"ACDBDICTIONARYWDFLT", {DictionaryCodes::kMarker, DictionaryWithDefaultCodes::kMarker}},
        {"XRECORD", {XrecordCodes::kMarker}},
        {"IMAGEDEF", {ImageDefCodes::kMarker}},
        {"SORTENTSTABLE", {SortentsCodes::kMarker}},
        {"TABLE", {TableCodes::kMarker}},
    };
    const char* r = TableRecordCodes::kMarker;
    static const std::map<std::string_view, const char*> kRecords = {
        {"LAYER", LayerCodes::kMarker},         {"LTYPE", LinetypeCodes::kMarker},
        {"STYLE", TextStyleCodes::kMarker},     {"VPORT", ViewportCodes::kMarker},
        {"VIEW", ViewCodes::kMarker},           {"UCS", UcsCodes::kMarker},
        {"APPID", RegAppCodes::kMarker},        {"DIMSTYLE", DimStyleCodes::kMarker},
        {"BLOCK_RECORD", BlockRecordCodes::kMarker}};
    // A record of an entity kind among the objects, or the other way, is
    // kept whole.
    if (const EntityKind* kind = KindOfRecord(type, flags)) return entity ? MarkersOf(*kind) : List{};
    if (auto it = kFixed.find(type); it != kFixed.end())
        return (!it->second.empty() && std::string_view(it->second.front()) == e) == entity ? it->second
                                                                                          : entity ? List{e} : List{};
    if (auto it = kRecords.find(type); it != kRecords.end()) return entity ? List{e} : List{r, it->second};
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
        return entity ? std::vector<const char*>{EntityCodes::kMarker} : std::vector<const char*>{};
    }
    type.clear();
    // An entity is written as its kind (dxf_kinds.h) says.
    if (entity) {
        const EntityKind* kind = KindOfEntity(static_cast<const OdDbEntity*>(o));
        if (!kind) return {};
        type = kind->type;
        return MarkersOf(*kind);
    }
    const std::pair<OdRxClass*, const char*> kTypes[] = {
        {OdDbDictionary::desc(), "DICTIONARY"}, {OdDbXrecord::desc(), "XRECORD"},
        {OdDbRasterImageDef::desc(), "IMAGEDEF"}, {OdDbSortentsTable::desc(), "SORTENTSTABLE"},
        {OdDbSymbolTable::desc(), "TABLE"}, {OdDbLayerTableRecord::desc(), "LAYER"},
        {OdDbLinetypeTableRecord::desc(), "LTYPE"}, {OdDbTextStyleTableRecord::desc(), "STYLE"},
        {OdDbViewportTableRecord::desc(), "VPORT"}, {OdDbViewTableRecord::desc(), "VIEW"},
        {OdDbUCSTableRecord::desc(), "UCS"}, {OdDbRegAppTableRecord::desc(), "APPID"},
        {OdDbDimStyleTableRecord::desc(), "DIMSTYLE"}, {OdDbBlockTableRecord::desc(), "BLOCK_RECORD"}};
    for (const auto& [cls, name] : kTypes)
        if (is(cls)) {
            type = name;
            // A dictionary read as one with a default is written as one.
            const DxfKept* k = DxfAccess::kept(o);
            if (cls == OdDbDictionary::desc() && k && k->dxfType == "ACDBDICTIONARYWDFLT") type = k->dxfType;
            return SubclassesOfRecord(type, 0, false);
        }
    return {};
}

std::vector<const char*> SubRecordSubclasses(std::string_view parentSubclass, std::string_view type, int vertexFlags)
{
    const char* e = EntityCodes::kMarker;
    if (type == "BLOCK") return {e, BlockBeginCodes::kMarker};
    if (type == "ENDBLK") return {e, BlockEndCodes::kMarker};
    if (type != "VERTEX") return {e};
    const std::vector<const Subclass*>& form = VertexSubclasses(parentSubclass, vertexFlags);
    std::vector<const char*> list;
    list.reserve(form.size() + 1);
    list.push_back(e);
    for (const Subclass* sub : form) list.push_back(sub->marker);
    return list;
}

OdResult WriteDxf(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses, std::string* refused)
{
    if (!db || DxfAccess::object(db->getBlockTableId()) == nullptr) return eInvalidInput;
    std::vector<std::wstring> lost;
    // What the file held that the drawing never did is named by every save.
    if (const DxfFileKept* k = DxfAccess::fileKept(db))
        for (const std::wstring& what : k->notRead)
            lost.push_back(L"left out when " + (k->source.empty() ? std::wstring(L"it") : k->source) + L" was read: " + what);
    DxfOut out(db, lost);
    bytes = out.run();
    if (!out.notFinite().empty()) {
        bytes.clear();
        if (refused) *refused = out.notFinite();
        return eInvalidInput;
    }
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
