#include "oddbdatabase.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <cwchar>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "gcapdocmanager.h"
#include "oddbdictionary.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "dxf_kept.h"
#include "hostdb_control.h"
#include "standin_control.h"

const OdDbObjectId OdDbObjectId::kNull;

namespace {

// Objects open now, with their open counts. Never destroyed: documents
// still open at exit destroy their objects after other statics are gone.
std::map<const OdDbObject*, int>& OpenSet()
{
    static auto* s = new std::map<const OdDbObject*, int>();
    return *s;
}

int g_openCount = 0;
OdDbDatabase* g_explicitWorkingDb = nullptr;
bool g_requireLock = false;

void NoteObjectOpen(const OdDbObject* o, int delta)
{
    auto& s = OpenSet();
    int& n = s[o];
    n += delta;
    if (n <= 0) s.erase(o);
    g_openCount += delta;
}

void ResetDatabaseState()
{
    gcDocManagerPtr()->closeAll();
    g_explicitWorkingDb = nullptr;
    OpenSet().clear();
    g_openCount = 0;
    g_requireLock = false;
}

standin::ResetHook g_reset(&ResetDatabaseState);

}  // namespace

namespace standin {
int OpenObjectCount() { return g_openCount; }
void RequireDocumentLock(bool on) { g_requireLock = on; }

std::vector<std::wstring> OpenObjects()
{
    std::vector<std::wstring> out;
    for (const auto& [obj, n] : OpenSet()) {
        wchar_t buf[160];
        swprintf(buf, 160, L"%ls #%llX %ls x%d", obj->isA()->name().c_str(), (unsigned long long)obj->handle(),
                 obj->isWriteEnabled() ? L"write" : L"read", n);
        out.push_back(buf);
    }
    return out;
}
}  // namespace standin

OdString OdDbHandle::ascii() const
{
    wchar_t buf[24];
    swprintf(buf, 24, L"%llX", (unsigned long long)v_);
    return OdString(buf);
}

void OdDbDatabase::listAgain(OdDbObject* o)
{
    o->stub_->unlisted = false;
    OdDbStub* owner = o->owner_.stub();
    if (auto* block = owner ? OdRxCast<OdDbBlockTableRecord>(owner->object) : nullptr)
        block->entities_.push_back(o->objectId());
}

OdDbStub* standin::NewStub(OdDbDatabase* db, uint64_t handle, OdDbObject* o)
{
    auto* stub = new OdDbStub{db, OdDbHandle(handle), o};
    // An id keeps the generation above the address.
    if (reinterpret_cast<uintptr_t>(stub) >> 48) {
        delete stub;
        throw std::runtime_error("an object's record lies above the addresses an id holds");
    }
    return stub;
}

bool OdDbObjectId::operator<(const OdDbObjectId& o) const
{
    const OdDbStub *a = record(), *b = o.record();
    if (!a || !b) return a < b;
    if (a->db != b->db) return a->db < b->db;
    if (a->handle != b->handle) return (uint64_t)a->handle < (uint64_t)b->handle;
    // Ids of a handle's objects one after another; records of a handle
    // in turn (retired and new) by their address.
    if (a != b) return a < b;
    return generation() < o.generation();
}

ODRX_DEFINE_MEMBERS(OdDbObject, OdRxObject, L"AcDbObject")

// Objects in memory, in a database or not, for the tests' leak counts.
static int g_liveObjects = 0;
int standin::LiveObjectCount() { return g_liveObjects; }

OdDbObject::OdDbObject() { ++g_liveObjects; }

// A copy is a new object: no id, owner, dictionary or reactors; it keeps
// the extended data and what a drawing file held of the object, as the
// host's copies do.
OdDbObject::OdDbObject(const OdDbObject& o)
    : OdRxObject(), xdata_(OdResBuf::copyChain(o.xdata_)), kept_(standin::CopyKept(o.kept_)),
      copiedFrom_(o.copiedFrom_ ? o.copiedFrom_ : o.stub_ ? (uint64_t)o.objectId().getHandle() : 0)
{
    ++g_liveObjects;
}

void OdDbObject::copyTiesTo(OdDbObject& copy) const
{
    if (copy.isA() != isA() || copy.stub_) return;
    standin::DeleteKept(copy.kept_);
    copy.kept_ = standin::CopyKept(kept_, true);
    copy.xdict_ = xdict_;
    copy.reactors_ = reactors_;
    copy.copiedFrom_ = copiedFrom_;
    subCopyTiesTo(copy);
}

void OdDbObject::setKeptRecord(standin::DxfKept* k)
{
    standin::DeleteKept(kept_);
    kept_ = k;
}

bool OdDbDatabase::exchangeState(OdDbObjectId id, OdDbObject*& state)
{
    OdDbStub* stub = id.stub();
    OdDbObject* live = stub ? stub->object : nullptr;
    if (!live || !state || state->stub_ || state->isA() != live->isA()) return false;
    if (live->readers_ || live->writer_ || state->readers_ || state->writer_) return false;
    // A block's state keeps the live list's first ids by their number only.
    if (auto* b = OdRxCast<OdDbBlockTableRecord>(state))
        if (b->listFrom_ > static_cast<OdDbBlockTableRecord*>(live)->entities_.size()) return false;
    state->stub_ = stub;
    if (state->owner_.isNull()) state->owner_ = live->owner_;
    state->erased_ = live->erased_;
    state->heldBy_ = live->heldBy_;
    state->swapOwned(*live);
    live->stub_ = nullptr;
    live->heldBy_ = nullptr;
    stub->object = state;
    std::swap(state, live);
    stub->db->fireModified(live);
    return true;
}

OdDbObject::~OdDbObject()
{
    --g_liveObjects;
    if (readers_ || writer_) OpenSet().erase(this);
    OdResBuf::releaseChain(xdata_);
    standin::DeleteKept(kept_);
}

namespace {

// The application a 1001 group names, for comparing without case.
std::wstring AppKey(const OdResBuf* rb)
{
    std::wstring k = rb->getString().str();
    for (auto& c : k) c = (wchar_t)std::towupper(c);
    return k;
}

// The chain cut into its applications' parts (each from its 1001 group up
// to the next).
std::vector<std::pair<std::wstring, std::vector<const OdResBuf*>>> AppParts(const OdResBuf* chain)
{
    std::vector<std::pair<std::wstring, std::vector<const OdResBuf*>>> parts;
    for (const OdResBuf* rb = chain; rb; rb = rb->next()) {
        if (rb->restype() == 1001) parts.emplace_back(AppKey(rb), std::vector<const OdResBuf*>());
        if (!parts.empty()) parts.back().second.push_back(rb);
    }
    return parts;
}

}  // namespace

OdResBuf* OdDbObject::xData(const OdString& regappName) const
{
    if (regappName.isEmpty()) return OdResBuf::copyChain(xdata_);
    std::wstring key = regappName.str();
    for (auto& c : key) c = (wchar_t)std::towupper(c);
    OdResBuf head;
    OdResBuf* tail = &head;
    for (const auto& [app, items] : AppParts(xdata_)) {
        if (app != key) continue;
        for (const OdResBuf* rb : items) {
            auto* copy = new OdResBuf(*rb);
            copy->setNext(nullptr);
            tail = tail->setNext(copy);
        }
        break;
    }
    return head.next();
}

OdResult OdDbObject::setXData(const OdResBuf* xdata)
{
    if (int s = standin::TakeHostFault("setXData")) return (OdResult)s;
    if (!xdata || xdata->restype() != 1001) return eInvalidInput;
    if (OdDbDatabase* db = database()) {
        OdDbRegAppTable* apps = nullptr;
        if (db->getRegAppTable(apps, OdDb::kForRead) != eOk) return eRegappIdNotFound;
        bool known = true;
        for (const auto& part : AppParts(xdata)) known = known && apps->has(part.second.front()->getString());
        apps->close();
        if (!known) return eRegappIdNotFound;
    }
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    putXData(xdata);
    return eOk;
}

void OdDbObject::putXData(const OdResBuf* xdata)
{
    auto mine = AppParts(xdata_);
    auto given = AppParts(xdata);
    OdResBuf head;
    OdResBuf* tail = &head;
    auto append = [&](const std::vector<const OdResBuf*>& items) {
        if (items.size() < 2) return;  // a name alone removes the data
        for (const OdResBuf* rb : items) {
            auto* copy = new OdResBuf(*rb);
            copy->setNext(nullptr);
            tail = tail->setNext(copy);
        }
    };
    auto find = [](const auto& parts, const std::wstring& app) {
        for (const auto& p : parts)
            if (p.first == app) return &p.second;
        return (const std::vector<const OdResBuf*>*)nullptr;
    };
    for (const auto& [app, items] : mine) {
        const auto* replacement = find(given, app);
        append(replacement ? *replacement : items);
    }
    for (const auto& [app, items] : given)
        if (!find(mine, app)) append(items);
    OdResBuf::releaseChain(xdata_);
    xdata_ = head.next();
}

OdDbDatabase* OdDbObject::database() const { return stub_ ? stub_->db : nullptr; }
OdDbHandle OdDbObject::handle() const { return stub_ ? stub_->handle : OdDbHandle(); }

OdResult OdDbObject::setOwnerId(OdDbObjectId id)
{
    owner_ = id;
    return eOk;
}

bool OdDbObject::isReadEnabled() const { return !stub_ || readers_ > 0 || writer_; }
bool OdDbObject::isWriteEnabled() const { return !stub_ || writer_; }

bool OdDbObject::assertWriteEnabled()
{
    if (!isWriteEnabled()) {
        standin::RecordHostViolation(std::string("change of an object not open for write: ") +
                                     std::string(isA()->name().str().begin(), isA()->name().str().end()));
        return false;
    }
    modified_ = true;
    return true;
}

OdResult OdDbObject::close()
{
    if (!stub_) {
        if (!heldBy_) delete this;
        return eOk;
    }
    OdDbDatabase* db = stub_->db;
    if (writer_) {
        writer_ = false;
        NoteObjectOpen(this, -1);
        // A new object is reported appended and then modified when it is
        // first closed (commands that create entities are seen that way).
        bool appended = appendPending_;
        bool modified = appended || modified_;
        appendPending_ = false;
        modified_ = false;
        if (appended) db->fireAppended(this);
        if (modified) db->fireModified(this);
        return eOk;
    }
    if (readers_ > 0) {
        --readers_;
        NoteObjectOpen(this, -1);
        return eOk;
    }
    standin::RecordHostViolation("close of an object that is not open");
    return eNotApplicable;
}

OdResult OdDbObject::erase(bool erasing)
{
    if (!isWriteEnabled() || !stub_) return stub_ ? eNotOpenForWrite : eNotInDatabase;
    if (erased_ == erasing) return eOk;
    OdResult res = subErase(erasing);
    if (res != eOk) return res;
    erased_ = erasing;
    stub_->erased = erasing;
    if (!erasing && stub_->unlisted) stub_->db->listAgain(this);
    if (stub_->entity) {
        std::vector<OdDbObjectId>& erasures = stub_->db->erasures_;
        // Erasing and restoring again and again (ERASE, UNDO, REDO) frees
        // nothing: the record starts anew once it outgrows the drawing.
        if (erasures.size() >= 2 * stub_->db->stubs_.size() + 1024) stub_->db->restartRecords();
        erasures.push_back(OdDbObjectId(stub_));
    }
    stub_->db->fireErased(this, erasing);
    return eOk;
}

OdResult OdDbObject::createExtensionDictionary()
{
    if (!xdict_.isNull()) return eOk;
    if (!stub_) return eNotInDatabase;
    if (!isWriteEnabled()) return eNotOpenForWrite;
    auto* dict = new OdDbDictionary();
    xdict_ = stub_->db->addOdDbObject(dict, objectId());
    dict->close();
    modified_ = true;
    return eOk;
}

void OdDbObject::addPersistentReactor(OdDbObjectId id)
{
    if (assertWriteEnabled() && !reactors_.contains(id)) reactors_.append(id);
}

void OdDbObject::removePersistentReactor(OdDbObjectId id)
{
    int i;
    if (assertWriteEnabled() && reactors_.find(id, i)) reactors_.removeAt(i);
}

namespace {
void (*g_beforeWrite)(OdDbObject*) = nullptr;
void (*g_added)(OdDbObject*) = nullptr;
void (*g_headerChange)(OdDbDatabase*) = nullptr;
}  // namespace

void OdDbDatabase::setUndoHooks(void (*beforeWrite)(OdDbObject*), void (*added)(OdDbObject*),
                                void (*headerChange)(OdDbDatabase*))
{
    g_beforeWrite = beforeWrite;
    g_added = added;
    g_headerChange = headerChange;
}

bool OdDbDatabase::freeErasedObject(OdDbObjectId id)
{
    OdDbStub* stub = id.stub();
    if (!stub || stub->db != this || !stub->object) return false;
    OdDbObject* o = stub->object;
    if (!o->erased_ || o->readers_ || o->writer_) return false;
    auto it = stubs_.find(stub->handle);
    if (it == stubs_.end() || it->second != stub) return false;
    stubs_.erase(it);
    stub->object = nullptr;
    delete o;
    freedStubs_.emplace(stub->handle, stub);
    return true;
}

OdResult oddbOpenObjectImpl(OdDbObject*& obj, OdDbObjectId id, OdDb::OpenMode mode, bool openErased)
{
    obj = nullptr;
    standin::CountHostCall("open");
    if (id.isNull()) return eNullObjectId;
    if (int s = standin::TakeHostFault("open")) return (OdResult)s;
    if (int s = standin::TakeHostFault(mode == OdDb::kForWrite ? "openWrite" : "openRead")) return (OdResult)s;
    OdDbObject* o = id.stub()->object;
    if (!o) return eKeyNotFound;
    if (o->erased_ && !openErased) return eWasErased;
    if (mode == OdDb::kForWrite) {
        if (o->writer_) return eWasOpenForWrite;
        if (o->readers_ > 0) return eWasOpenForRead;
        if (g_requireLock) {
            GcApDocument* doc = gcDocManagerPtr()->document(id.database());
            if (doc && doc->lockCount() == 0) return eLockViolation;
        }
        if (g_beforeWrite) g_beforeWrite(o);
        o->writer_ = true;
    } else {
        if (o->writer_) return eWasOpenForWrite;
        ++o->readers_;
    }
    NoteObjectOpen(o, 1);
    obj = o;
    return eOk;
}

// ---- database ----

namespace {
uint64_t g_serials = 0;
}  // namespace

OdDbDatabase::OdDbDatabase(bool buildDefault) : tm_(new OdDbTransactionManager())
{
    serial_ = ++g_serials;
    if (buildDefault) buildDefaultDrawing();
}

void OdDbDatabase::restartRecords()
{
    erasures_.clear();
    erasures_.shrink_to_fit();
    serial_ = ++g_serials;
}

OdDbDatabase::~OdDbDatabase()
{
    for (auto& [h, stub] : stubs_) {
        delete stub->object;
        delete stub;
    }
    for (auto& [h, stub] : freedStubs_) delete stub;
    for (OdDbStub* stub : retiredStubs_) delete stub;
    delete tm_;
    delete fileKept_;
    if (g_explicitWorkingDb == this) g_explicitWorkingDb = nullptr;
}

void OdDbDatabase::setHandseed(OdDbHandle seed)
{
    // A seed of 0 is past the last handle, above every other.
    uint64_t floor = 1;
    for (auto it = stubs_.rbegin(); it != stubs_.rend(); ++it)
        if (it->second->object && !it->second->object->isErased()) {
            floor = it->first + 1;
            break;
        }
    nextHandle_ = (uint64_t)seed - 1 >= floor - 1 ? (uint64_t)seed : floor;
}

uint64_t OdDbDatabase::freeHandle(uint64_t from, const std::function<bool(uint64_t)>& taken, bool erasedFree) const
{
    uint64_t h = from ? from : 1;
    // Above every object and reserved handle: the common case, asked once a
    // record a save writes, costs no search.
    if ((stubs_.empty() || stubs_.rbegin()->first < h) && (reserved_.empty() || reserved_.back() < h) &&
        !(taken && taken(h)))
        return h;
    const uint64_t start = h;
    auto stub = stubs_.lower_bound(h);
    auto reserved = std::lower_bound(reserved_.begin(), reserved_.end(), h);
    for (;;) {
        while (stub != stubs_.end() && stub->first < h) ++stub;
        while (reserved != reserved_.end() && *reserved < h) ++reserved;
        const bool held = (stub != stubs_.end() && stub->first == h && !(erasedFree && stub->second->erased)) ||
                          (reserved != reserved_.end() && *reserved == h) || (taken && taken(h));
        if (!held) return h;
        // Past the last handle, on from the first: free ones lie below.
        if (++h == 0) {
            h = 1;
            stub = stubs_.begin();
            reserved = reserved_.begin();
        }
        if (h == start) throw std::length_error("every handle of the drawing is taken");
    }
}

uint64_t OdDbDatabase::takeHandle()
{
    // After an undo set the seed back, the handles of the objects it
    // erased stay theirs.
    const uint64_t h = freeHandle(nextHandle_);
    nextHandle_ = h + 1;  // 0 past the last handle
    return h;
}

OdDbObjectId OdDbDatabase::addOdDbObject(OdDbObject* obj, OdDbObjectId ownerId)
{
    const uint64_t handle = takeHandle();
    // The record of a freed object of that handle names the new one: ids
    // still held of the old name what its handle names now.
    OdDbStub* stub = nullptr;
    auto freed = freedStubs_.find(handle);
    if (freed != freedStubs_.end()) {
        stub = freed->second;
        freedStubs_.erase(freed);
        const uint32_t generation = stub->generation + 1u;
        if (generation < OdDbObjectId::kGenerations) {
            *stub = OdDbStub{this, OdDbHandle(handle), obj};
            stub->generation = (uint16_t)generation;
        } else {
            // Served every generation an id tells apart: held ids of it
            // keep naming no object.
            retiredStubs_.push_back(stub);
            stub = nullptr;
        }
    }
    if (!stub) stub = standin::NewStub(this, handle, obj);
    stub->entity = OdRxCast<OdDbEntity>(obj) != nullptr;
    stub->erased = obj->erased_;
    stubs_[stub->handle] = stub;
    obj->stub_ = stub;
    obj->owner_ = ownerId;
    obj->writer_ = true;
    obj->appendPending_ = true;
    NoteObjectOpen(obj, 1);
    obj->subAddHeldObjects();
    if (g_added) g_added(obj);
    return OdDbObjectId(stub);
}

void OdDbDatabase::buildDefaultDrawing()
{
    auto addClosed = [this](OdDbObject* o, OdDbObjectId owner) {
        OdDbObjectId id = addOdDbObject(o, owner);
        o->appendPending_ = false;
        o->close();
        return id;
    };
    auto addRecord = [&](OdDbObjectId table, OdDbSymbolTableRecord* rec, const wchar_t* name) {
        rec->setName(name);
        OdDbSymbolTable* t = nullptr;
        oddbOpenObject(t, table, OdDb::kForWrite);
        OdDbObjectId id;
        t->add(id, rec);
        rec->appendPending_ = false;
        rec->close();
        t->close();
        return id;
    };
    blockTable_ = addClosed(new OdDbBlockTable(), {});
    layerTable_ = addClosed(new OdDbLayerTable(), {});
    textStyleTable_ = addClosed(new OdDbTextStyleTable(), {});
    linetypeTable_ = addClosed(new OdDbLinetypeTable(), {});
    viewTable_ = addClosed(new OdDbViewTable(), {});
    regAppTable_ = addClosed(new OdDbRegAppTable(), {});
    viewportTable_ = addClosed(new OdDbViewportTable(), {});
    nod_ = addClosed(new OdDbDictionary(), {});
    ltByBlock_ = addRecord(linetypeTable_, new OdDbLinetypeTableRecord(), L"ByBlock");
    ltByLayer_ = addRecord(linetypeTable_, new OdDbLinetypeTableRecord(), L"ByLayer");
    auto* cont = new OdDbLinetypeTableRecord();
    cont->setComments(L"Solid line");
    ltContinuous_ = addRecord(linetypeTable_, cont, L"Continuous");
    auto* zero = new OdDbLayerTableRecord();
    zero->setLinetypeObjectId(ltContinuous_);
    layerZero_ = addRecord(layerTable_, zero, L"0");
    modelSpace_ = addRecord(blockTable_, new OdDbBlockTableRecord(), L"*Model_Space");
    addRecord(blockTable_, new OdDbBlockTableRecord(), L"*Paper_Space");
    textstyle_ = addRecord(textStyleTable_, new OdDbTextStyleTableRecord(), L"Standard");
    addRecord(viewportTable_, new OdDbViewportTableRecord(), L"*ACTIVE");

    clayer_ = layerZero_;
    celtype_ = ltByLayer_;
}

template <class T>
OdResult OdDbDatabase::openTable(OdDbObjectId id, T*& table, OdDb::OpenMode mode)
{
    return oddbOpenObject(table, id, mode);
}

OdResult OdDbDatabase::getBlockTable(OdDbBlockTable*& t, OdDb::OpenMode m) { return openTable(blockTable_, t, m); }
OdResult OdDbDatabase::getLayerTable(OdDbLayerTable*& t, OdDb::OpenMode m) { return openTable(layerTable_, t, m); }
OdResult OdDbDatabase::getLinetypeTable(OdDbLinetypeTable*& t, OdDb::OpenMode m)
{
    return openTable(linetypeTable_, t, m);
}
OdResult OdDbDatabase::getTextStyleTable(OdDbTextStyleTable*& t, OdDb::OpenMode m)
{
    return openTable(textStyleTable_, t, m);
}
OdResult OdDbDatabase::getViewTable(OdDbViewTable*& t, OdDb::OpenMode m) { return openTable(viewTable_, t, m); }
OdResult OdDbDatabase::getViewportTable(OdDbViewportTable*& t, OdDb::OpenMode m)
{
    return openTable(viewportTable_, t, m);
}
OdResult OdDbDatabase::getRegAppTable(OdDbRegAppTable*& t, OdDb::OpenMode m) { return openTable(regAppTable_, t, m); }
OdResult OdDbDatabase::getDimStyleTable(OdDbDimStyleTable*& t, OdDb::OpenMode m)
{
    return openTable(dimStyleTable_, t, m);
}
OdResult OdDbDatabase::getUCSTable(OdDbUCSTable*& t, OdDb::OpenMode m) { return openTable(ucsTable_, t, m); }
OdResult OdDbDatabase::getNamedObjectsDictionary(OdDbDictionary*& d, OdDb::OpenMode m) { return openTable(nod_, d, m); }

OdResult OdDbDatabase::setClayer(OdDbObjectId id)
{
    if (id.database() != this || !id.isValid()) return eInvalidInput;
    if (id.isErased()) return eWasErased;
    if (!OdRxCast<OdDbLayerTableRecord>(id.stub()->object)) return eNotThatKindOfClass;
    if (g_headerChange) g_headerChange(this);
    ++changes_;
    clayer_ = id;
    return eOk;
}

OdResult OdDbDatabase::setLTSCALE(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale)) return eInvalidInput;
    if (g_headerChange) g_headerChange(this);
    ++changes_;
    ltscale_ = scale;
    return eOk;
}

OdResult OdDbDatabase::setTextstyle(OdDbObjectId id)
{
    if (id.database() != this || !id.isValid()) return eInvalidInput;
    if (id.isErased()) return eWasErased;
    if (!OdRxCast<OdDbTextStyleTableRecord>(id.stub()->object)) return eNotThatKindOfClass;
    if (g_headerChange) g_headerChange(this);
    ++changes_;
    textstyle_ = id;
    return eOk;
}

OdResult OdDbDatabase::getOdDbObjectId(OdDbObjectId& id, bool, const OdDbHandle& h, uint32_t)
{
    id = OdDbObjectId();
    auto it = stubs_.find(h);
    if (it == stubs_.end()) return eUnknownHandle;
    id = OdDbObjectId(it->second);
    return eOk;
}

bool OdDbDatabase::newRegApp(const OdString& name)
{
    OdDbRegAppTable* t = nullptr;
    if (getRegAppTable(t, OdDb::kForWrite) != eOk) return false;
    bool added = false;
    if (!t->has(name)) {
        auto* rec = new OdDbRegAppTableRecord();
        rec->setName(name);
        added = t->add(rec) == eOk;
        if (added) rec->close();
        else delete rec;
    }
    t->close();
    return added;
}

void OdDbDatabase::addReactor(OdDbDatabaseReactor* r)
{
    if (std::find(reactors_.begin(), reactors_.end(), r) == reactors_.end()) reactors_.push_back(r);
}

void OdDbDatabase::removeReactor(OdDbDatabaseReactor* r)
{
    reactors_.erase(std::remove(reactors_.begin(), reactors_.end(), r), reactors_.end());
}

OdDbObjectIdArray OdDbDatabase::allObjectIds() const
{
    OdDbObjectIdArray ids;
    for (const auto& [h, stub] : stubs_) ids.append(OdDbObjectId(stub));
    return ids;
}

OdDbObjectId OdDbDatabase::lastObjectWhere(const std::function<bool(const OdDbObject*)>& test) const
{
    for (auto it = stubs_.rbegin(); it != stubs_.rend(); ++it)
        if (it->second->object && test(it->second->object)) return OdDbObjectId(it->second);
    return OdDbObjectId();
}

// Reactors may remove themselves while called: walk a copy.
void OdDbDatabase::fireAppended(const OdDbObject* o)
{
    ++changes_;
    for (auto* r : std::vector<OdDbDatabaseReactor*>(reactors_)) r->objectAppended(this, o);
}

void OdDbDatabase::fireModified(const OdDbObject* o)
{
    ++changes_;
    for (auto* r : std::vector<OdDbDatabaseReactor*>(reactors_)) r->objectModified(this, o);
}

void OdDbDatabase::fireErased(const OdDbObject* o, bool erased)
{
    ++changes_;
    for (auto* r : std::vector<OdDbDatabaseReactor*>(reactors_)) r->objectErased(this, o, erased);
}

bool OdDbDatabase::isLayerInUse(OdDbObjectId layerId) const
{
    for (const auto& [h, stub] : stubs_) {
        auto* ent = OdRxCast<OdDbEntity>(stub->object);
        if (ent && !ent->isErased() && ent->layerId() == layerId) return true;
    }
    return false;
}

OdResult OdDbTransactionManager::endTransaction()
{
    if (active_ == 0) return eNotApplicable;
    --active_;
    return eOk;
}

void OdDbTransactionManager::flushGraphics()
{
    ++flushes_;
    queued_ = 0;
}

OdDbTransactionManager* odTransactionManagerPtr()
{
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    return db ? db->transactionManager() : nullptr;
}

OdDbDatabase* OdDbHostAppServices::workingDatabase() const
{
    if (g_explicitWorkingDb) return g_explicitWorkingDb;
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    return doc ? doc->database() : nullptr;
}

void OdDbHostAppServices::setWorkingDatabase(OdDbDatabase* db) { g_explicitWorkingDb = db; }

OdDbHostAppServices* oddbHostApplicationServices()
{
    static OdDbHostAppServices s;
    return &s;
}
