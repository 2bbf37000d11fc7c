// Host SDK stand-in: object ids, handles and the database object root with
// its open/close protocol (many readers or one writer).
#pragma once

#include <cstdint>

#include "odarray.h"
#include "odrxobject.h"

class OdDbDatabase;
class OdDbObject;
class OdResBuf;
struct OdDbStub;

namespace standin {
// Drawing files read and write the objects' stored state (dxf_read.cpp, dxf_write.cpp).
struct DxfAccess;
// A copy of an object's whole state, for the host's undo (db_undo.h).
OdDbObject* StateCopy(const OdDbObject* o);
// What a drawing file held of an object that the database does not model
// (dxf_kept.h), kept to be written back.
struct DxfKept;
}

namespace OdDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
}

// A database handle: unique and stable within its database, increasing in
// the order objects were added.
class OdDbHandle {
public:
    OdDbHandle() = default;
    OdDbHandle(uint64_t v) : v_(v) {}
    operator uint64_t() const { return v_; }
    bool isNull() const { return v_ == 0; }
    // Upper-case hexadecimal, as the host prints handles.
    OdString ascii() const;

private:
    uint64_t v_ = 0;
};

class OdDbObjectId {
public:
    OdDbObjectId() = default;
    static const OdDbObjectId kNull;

    bool isNull() const { return bits_ == 0; }
    // Names an object that exists (erased or not).
    bool isValid() const;
    bool isErased() const;
    OdDbDatabase* database() const;
    OdDbHandle getHandle() const;
    void setNull() { bits_ = 0; }

    bool operator==(const OdDbObjectId& o) const { return bits_ == o.bits_; }
    bool operator!=(const OdDbObjectId& o) const { return bits_ != o.bits_; }
    bool operator<(const OdDbObjectId& o) const;

    // Stand-in internals. An id is its object's record and the record's
    // generation: a record freed with its object serves the next object of
    // its handle under the next generation, so that an id still held of
    // the freed one names no object rather than the new one.
    explicit OdDbObjectId(OdDbStub* s);
    // The record the id names; for an id of an object freed since, a record
    // of no object.
    OdDbStub* stub() const;
    // Generations a record serves before it is retired.
    static constexpr uint32_t kGenerations = 1u << 16;

private:
    static constexpr int kGenerationShift = 48;
    OdDbStub* record() const
    {
        return reinterpret_cast<OdDbStub*>(static_cast<uintptr_t>(bits_ & ((uint64_t(1) << kGenerationShift) - 1)));
    }
    uint32_t generation() const { return static_cast<uint32_t>(bits_ >> kGenerationShift); }
    // The record's address in the low 48 bits (every address a process
    // on this platform is given), its generation above them.
    uint64_t bits_ = 0;
};

typedef OdArray<OdDbObjectId> OdDbObjectIdArray;

// The database's record of one object (stand-in internals).
struct OdDbStub {
    OdDbDatabase* db;
    OdDbHandle handle;
    OdDbObject* object;
    // Marks a walk over the whole drawing (a save) leaves on the object, so
    // that it asks no table about each one.
    uint32_t mark = 0, visit = 0;
    bool entity = false;  // the object is an entity
    uint16_t generation = 0;  // OdDbObjectId
    // An erased entity UNDO took out of its block's list, which restoring
    // it puts back (OdDbBlockTableRecord::swapOwned).
    bool unlisted = false;
    // The object's erased flag, held here too (set wherever the object's
    // is), so that a walk over a block's entities reads no object.
    bool erased = false;
};

class OdDbObject : public OdRxObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbObject)

    OdDbObject();
    // Copies the object's data; the copy is a new object in no database.
    OdDbObject(const OdDbObject&);
    OdDbObject& operator=(const OdDbObject&) = delete;
    ~OdDbObject() override;
    // Stand-in: makes `copy` (a copy of this object, in no database) hold
    // this object's whole state, for an undo to put back into its place
    // (OdDbDatabase::exchangeState): what a copy leaves out because only
    // the original may name it (its reactors and extension dictionary, a
    // dimension's block of graphics, what its file record owned, the
    // handles of its records) is taken too.
    void copyTiesTo(OdDbObject& copy) const;
    // Stand-in: the handle of the object this one was copied from, or that
    // one's source (0: none); a drawing file's writer compares a copy with
    // the record the file gave its source.
    uint64_t copiedFrom() const { return copiedFrom_; }

    OdDbObjectId objectId() const { return OdDbObjectId(stub_); }
    OdDbObjectId ownerId() const { return owner_; }
    OdResult setOwnerId(OdDbObjectId id);
    OdDbDatabase* database() const;
    OdDbHandle handle() const;

    // Ends one open. An object that is in no database is deleted.
    OdResult close();
    bool isReadEnabled() const;
    bool isWriteEnabled() const;
    bool isNewObject() const { return stub_ == nullptr; }
    // A new object held by an owner that is in no database yet (an
    // attribute of a new block reference): close() leaves it to its owner,
    // and it enters the database with it.
    bool isHeld() const { return heldBy_ != nullptr; }
    bool isErased() const { return erased_; }
    // Erases (true) or restores (false); needs a write open.
    OdResult erase(bool erasing = true);

    OdDbObjectId extensionDictionary() const { return xdict_; }
    // Creates the extension dictionary when there is none; needs a write open.
    OdResult createExtensionDictionary();
    void addPersistentReactor(OdDbObjectId id);
    void removePersistentReactor(OdDbObjectId id);
    const OdDbObjectIdArray& getPersistentReactors() const { return reactors_; }

    // Extended data: a chain of each application's values, each starting
    // with its name (group 1001). With a name, that application's part
    // only (null when it has none); without, all of it. The caller
    // releases the chain.
    OdResBuf* xData(const OdString& regappName = OdString()) const;
    // Replaces the values of every application the chain names; a name
    // with nothing after it removes that application's values. Needs a
    // write open; an object in a database takes only registered
    // applications (eRegappIdNotFound). eInvalidInput when the chain does
    // not start with a 1001 group.
    OdResult setXData(const OdResBuf* xdata);

protected:
    // Setters call it: false (and a recorded violation) when the object is
    // resident and not open for write; marks the object modified.
    bool assertWriteEnabled();
    // Refusal hook of erase().
    virtual OdResult subErase(bool /*erasing*/) { return eOk; }
    // What the object owns beyond its values (a block reference's
    // attributes) stays with the object when its values are exchanged.
    virtual void swapOwned(OdDbObject& /*other*/) {}
    // What copyTiesTo takes of a subclass (`copy` is of its class).
    virtual void subCopyTiesTo(OdDbObject& /*copy*/) const {}
    // Marks `held` as held by `owner` (null: no longer held).
    static void setHeldBy(OdDbObject* held, const OdDbObject* owner) { held->heldBy_ = owner; }
    // Called when the object has been added to a database: the objects it
    // holds follow it there.
    virtual void subAddHeldObjects() {}
    // setXData without its checks, for the host's own settings kept as
    // extended data.
    void putXData(const OdResBuf* xdata);
    // The extended data in place, for an entity's transformation.
    OdResBuf* xDataInPlace() { return xdata_; }
    // What the object keeps of its file record, for a record kept whole
    // that moves with its entity.
    standin::DxfKept* keptRecord() const { return kept_; }
    void setKeptRecord(standin::DxfKept* k);

private:
    friend class OdDbDatabase;
    friend struct standin::DxfAccess;
    friend OdResult oddbOpenObjectImpl(OdDbObject*&, OdDbObjectId, OdDb::OpenMode, bool);

    OdDbStub* stub_ = nullptr;
    OdDbObjectId owner_;
    OdDbObjectId xdict_;
    OdDbObjectIdArray reactors_;
    OdResBuf* xdata_ = nullptr;
    standin::DxfKept* kept_ = nullptr;
    uint64_t copiedFrom_ = 0;
    const OdDbObject* heldBy_ = nullptr;
    // The flags together: a drawing holds a million objects.
    int readers_ = 0;
    bool erased_ = false;
    bool writer_ = false;
    bool modified_ = false;
    bool appendPending_ = false;
};

// Asked of every object a walk over a drawing meets: inline.
namespace standin {
// The record a stale id names: of no object, in no database.
inline OdDbStub g_goneStub{nullptr, OdDbHandle(), nullptr};
// A new record of an object (whose address an id can hold).
OdDbStub* NewStub(OdDbDatabase* db, uint64_t handle, OdDbObject* o);
}  // namespace standin

inline OdDbObjectId::OdDbObjectId(OdDbStub* s)
    : bits_(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(s)) | (s ? uint64_t(s->generation) << kGenerationShift : 0))
{
}
inline OdDbStub* OdDbObjectId::stub() const
{
    OdDbStub* s = record();
    return !s || s->generation == generation() ? s : &standin::g_goneStub;
}
inline bool OdDbObjectId::isValid() const
{
    const OdDbStub* s = stub();
    return s && s->object;
}
inline bool OdDbObjectId::isErased() const { return isValid() && record()->erased; }
// A stale id keeps its database and handle: a record serves one handle.
inline OdDbDatabase* OdDbObjectId::database() const { return record() ? record()->db : nullptr; }
inline OdDbHandle OdDbObjectId::getHandle() const { return record() ? record()->handle : OdDbHandle(); }

namespace standin {
int TakeHostFault(const char* op);
}

// The body of a plain setter of an object's member: it fails when a test
// asked it to (by the setter's name), refuses when the object is not open
// for write.
#define OD_SET(member, value)                                                 \
    do {                                                                      \
        if (int fault_ = standin::TakeHostFault(__func__)) return (OdResult)fault_; \
        if (!assertWriteEnabled()) return eNotOpenForWrite;                   \
        member = value;                                                       \
        return eOk;                                                           \
    } while (0)

// Opens an object of a database. Statuses: 0, eNullObjectId, eWasErased (80)
// for an erased object unless openErased, eWasOpenForWrite/eWasOpenForRead
// when the open conflicts, eLockViolation for a write open of a drawing that
// requires a document lock, eNotThatKindOfClass for the typed form.
OdResult oddbOpenObjectImpl(OdDbObject*& obj, OdDbObjectId id, OdDb::OpenMode mode, bool openErased);

template <class T>
OdResult oddbOpenObject(T*& obj, OdDbObjectId id, OdDb::OpenMode mode, bool openErased = false)
{
    obj = nullptr;
    OdDbObject* o = nullptr;
    OdResult res = oddbOpenObjectImpl(o, id, mode, openErased);
    if (res != eOk) return res;
    obj = OdRxCast<T>(o);
    if (!obj) {
        o->close();
        return eNotThatKindOfClass;
    }
    return eOk;
}
