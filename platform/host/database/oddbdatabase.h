// Host SDK stand-in: the drawing database, its reactors, transactions and the
// host application services that name the working database.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "oddbobject.h"

class OdDbBlockTable;
class OdDbLayerTable;
class OdDbLinetypeTable;
class OdDbTextStyleTable;
class OdDbViewTable;
class OdDbViewportTable;
class OdDbRegAppTable;
class OdDbDimStyleTable;
class OdDbUCSTable;
class OdDbDictionary;
namespace standin {
struct DxfFileKept;
}
class OdDbDatabase;
class OdDbTransactionManager;

class OdDbDatabaseReactor {
public:
    virtual ~OdDbDatabaseReactor() = default;
    // At the first close after the object was added to the database.
    virtual void objectAppended(const OdDbDatabase* /*db*/, const OdDbObject* /*obj*/) {}
    // At the close of a write open that changed the object, and after
    // objectAppended at the first close of a new object.
    virtual void objectModified(const OdDbDatabase* /*db*/, const OdDbObject* /*obj*/) {}
    // When the object is erased (erased true) or restored (false).
    virtual void objectErased(const OdDbDatabase* /*db*/, const OdDbObject* /*obj*/, bool /*erased*/) {}
};

class OdDbDatabase : public OdRxObject {
public:
    // With a default drawing: "*Model_Space" and "*Paper_Space", layer "0"
    // (current), the linetypes ByBlock, ByLayer and Continuous, text style
    // "Standard", viewport "*ACTIVE", the named-objects dictionary.
    explicit OdDbDatabase(bool buildDefaultDrawing = true);
    ~OdDbDatabase() override;
    OdDbDatabase(const OdDbDatabase&) = delete;
    OdDbDatabase& operator=(const OdDbDatabase&) = delete;

    OdResult getBlockTable(OdDbBlockTable*& table, OdDb::OpenMode mode);
    OdResult getLayerTable(OdDbLayerTable*& table, OdDb::OpenMode mode);
    OdResult getLinetypeTable(OdDbLinetypeTable*& table, OdDb::OpenMode mode);
    OdResult getTextStyleTable(OdDbTextStyleTable*& table, OdDb::OpenMode mode);
    OdResult getViewTable(OdDbViewTable*& table, OdDb::OpenMode mode);
    OdResult getViewportTable(OdDbViewportTable*& table, OdDb::OpenMode mode);
    OdResult getRegAppTable(OdDbRegAppTable*& table, OdDb::OpenMode mode);
    OdResult getDimStyleTable(OdDbDimStyleTable*& table, OdDb::OpenMode mode);
    OdResult getUCSTable(OdDbUCSTable*& table, OdDb::OpenMode mode);
    OdResult getNamedObjectsDictionary(OdDbDictionary*& dict, OdDb::OpenMode mode);

    OdDbObjectId getBlockTableId() const { return blockTable_; }
    OdDbObjectId getLayerTableId() const { return layerTable_; }
    OdDbObjectId getLinetypeTableId() const { return linetypeTable_; }
    OdDbObjectId getTextStyleTableId() const { return textStyleTable_; }
    OdDbObjectId getViewTableId() const { return viewTable_; }
    OdDbObjectId getViewportTableId() const { return viewportTable_; }
    OdDbObjectId getRegAppTableId() const { return regAppTable_; }
    // The tables of dimension styles and coordinate systems: a drawing read
    // from a file has them; a new drawing has none until one is read (a
    // file saved from it gets the style "Standard").
    OdDbObjectId getDimStyleTableId() const { return dimStyleTable_; }
    OdDbObjectId getUCSTableId() const { return ucsTable_; }
    // The current dimension style; null when the drawing has no styles.
    OdDbObjectId dimstyle() const { return dimstyle_; }
    OdDbObjectId getNamedObjectsDictionaryId() const { return nod_; }
    OdDbObjectId getModelSpaceId() const { return modelSpace_; }
    OdDbObjectId getLinetypeByLayerId() const { return ltByLayer_; }
    OdDbObjectId getLinetypeByBlockId() const { return ltByBlock_; }
    OdDbObjectId getLinetypeContinuousId() const { return ltContinuous_; }
    OdDbObjectId getLayerZeroId() const { return layerZero_; }

    OdDbObjectId clayer() const { return clayer_; }
    // The id must name a layer of this database that is not erased.
    OdResult setClayer(OdDbObjectId layerId);
    OdDbObjectId textstyle() const { return textstyle_; }
    OdResult setTextstyle(OdDbObjectId styleId);
    OdDbObjectId celtype() const { return celtype_; }
    // The drawing's line type scale ($LTSCALE): every dash of every entity
    // is drawn this much longer, on top of the entity's own scale. 1 by
    // default; eInvalidInput for a scale that is not a positive number.
    double getLTSCALE() const { return ltscale_; }
    OdResult setLTSCALE(double scale);

    // The id of a handle; eUnknownHandle when the database has no such object
    // (no id is ever created for it).
    OdResult getOdDbObjectId(OdDbObjectId& id, bool createIfNotFound, const OdDbHandle& h, uint32_t xRefId = 0);
    // Adds a new object: it gets the next handle and stays open for write.
    OdDbObjectId addOdDbObject(OdDbObject* obj, OdDbObjectId ownerId = OdDbObjectId::kNull);
    // Adds the application name to the registered applications; true when it
    // was added, false when it was there already.
    bool newRegApp(const OdString& name);

    // Drawing files (oddbdwgfile.cpp); the stand-in's drawings are DXF
    // files. Reading needs a database made without a default drawing
    // (eNotApplicable otherwise): eFileNotFound for a missing or unreadable
    // file, eNotImplemented for a binary drawing, eInvalidInput for a
    // malformed one, which leaves the database empty.
    OdResult readDwgFile(const wchar_t* fileName, int shareMode = 0x40, bool allowCPConversion = false,
                         const wchar_t* password = nullptr);
    // Writes the drawing to the file, replacing it whole or not at all:
    // eFileNotFound when its folder does not exist, eNotApplicable when the
    // file cannot be written (read-only, no access).
    OdResult saveAs(const wchar_t* fileName);
    // A new database whose model space holds copies of the block's entities.
    OdResult wblock(OdDbDatabase*& output, OdDbObjectId blockId);
    // A new block definition of that name holding copies of the source's
    // model-space entities, on layers of the same names.
    OdResult insert(OdDbObjectId& blockId, const wchar_t* name, OdDbDatabase* source,
                    bool preserveSourceDatabase = true);

    void addReactor(OdDbDatabaseReactor* r);
    void removeReactor(OdDbDatabaseReactor* r);
    // Stand-in record: reactors added and not removed.
    size_t reactorCount() const { return reactors_.size(); }

    // Every object in handle order, for walking the whole drawing.
    OdDbObjectIdArray allObjectIds() const;
    // The object of the highest handle that passes the test (null when none),
    // found from the end without a list of every object.
    OdDbObjectId lastObjectWhere(const std::function<bool(const OdDbObject*)>& test) const;
    // The handle the next new object is given from: 0 once the handles
    // above it ran out (a file may give its records the highest handles),
    // where new objects take free ones from 1 up.
    OdDbHandle handseed() const { return nextHandle_; }
    // Stand-in: the seed an undo or a redo puts back (what it was when the
    // drawing was as it is again), so that a save writes what it wrote
    // then. Never below the handle of an object that is not erased; new
    // objects still take handles no object has.
    void setHandseed(OdDbHandle seed);
    // Stand-in: the first handle from `from` up (from 1 for 0, on from 1
    // past the last) that no object has, none the file read reserved
    // holds, and `taken` (when given) does not name; a handle is any 64-bit
    // value but 0. With `erasedFree`, an erased object's handle counts as
    // free (a save's records may take it: the file holds no erased object).
    // Throws std::length_error when every handle is taken.
    uint64_t freeHandle(uint64_t from, const std::function<bool(uint64_t)>& taken = nullptr,
                        bool erasedFree = false) const;
    // Stand-in: what the host's undo hears: `beforeWrite` with each object
    // of a database about to be opened for write, `added` with each object
    // added to one, `headerChange` with a database whose header values
    // (current layer, text style, line type scale) are about to change.
    // Null for none.
    static void setUndoHooks(void (*beforeWrite)(OdDbObject*), void (*added)(OdDbObject*),
                             void (*headerChange)(OdDbDatabase*) = nullptr);
    // Stand-in: frees an erased object that no undo can bring back any more
    // (made only by steps a new step dropped): its memory is returned and
    // its handle is free again. Ids of it that are still held stay safe to
    // ask: they name nothing (isValid false) until a new object takes the
    // handle, and then that object. False, and nothing done, for
    // an object that is not erased, open, or of another database.
    bool freeErasedObject(OdDbObjectId id);
    // Stand-in records for the stand-in host, to follow the drawing without
    // walking it: a number no other database of the process has (taken
    // anew when the records restart), and the entities whose erased flag
    // changed, in the order they changed.
    uint64_t serial() const { return serial_; }
    // Stand-in: empties the record of erased flags and takes a new serial,
    // so that what followed the old record starts again; for the host's
    // undo once it freed objects, whose erasures no one need follow, and
    // once the record outgrows the drawing.
    void restartRecords();
    // Stand-in: how many changes the database told of (objects appended,
    // modified, erased or restored, header values set), for the host's
    // undo to tell a step that changed nothing.
    uint64_t changeCount() const { return changes_; }
    const std::vector<OdDbObjectId>& erasedFlagChanges() const { return erasures_; }
    OdDbTransactionManager* transactionManager() const { return tm_; }

    // Stand-in internals used by the objects.
    void fireAppended(const OdDbObject* o);
    void fireModified(const OdDbObject* o);
    void fireErased(const OdDbObject* o, bool erased);
    // Whether a live entity refers to the layer.
    bool isLayerInUse(OdDbObjectId layerId) const;
    // Puts `state` (a copy of the object holding its whole state, made by
    // OdDbObject::copyTiesTo, in no database) in the object's place and
    // hands back what was there, so that an undo restores values exactly
    // instead of recomputing them, its reactors and extension dictionary
    // included, and its owner when `state` names one. The object keeps its
    // id, erased flag and what it owns. False (nothing changed) when the
    // object is open or `state` is of another class.
    static bool exchangeState(OdDbObjectId id, OdDbObject*& state);

private:
    friend struct standin::DxfAccess;
    friend class OdDbObject;
    // Puts an entity UNDO took out of its block's list back at the list's
    // end, when it is restored.
    void listAgain(OdDbObject* o);
    template <class T>
    OdResult openTable(OdDbObjectId id, T*& table, OdDb::OpenMode mode);
    void buildDefaultDrawing();

    // The next handle given from the seed up (freeHandle).
    uint64_t takeHandle();

    uint64_t serial_;
    uint64_t changes_ = 0;
    uint64_t nextHandle_ = 1;
    // Handles the file read names that no object has (the records of
    // blocks and sequences, references to nothing), sorted: kept only
    // where new objects may come to take handles below the seed.
    std::vector<uint64_t> reserved_;
    std::vector<OdDbObjectId> erasures_;
    double ltscale_ = 1.0;
    std::map<uint64_t, OdDbStub*> stubs_;
    // The records of objects freed (freeErasedObject), by handle, which ids
    // held elsewhere may still point to; a new object of the handle takes
    // its record under the next generation (OdDbObjectId), or a new one
    // when the record served them all and is retired.
    std::map<uint64_t, OdDbStub*> freedStubs_;
    std::vector<OdDbStub*> retiredStubs_;
    standin::DxfFileKept* fileKept_ = nullptr;
    OdDbObjectId dimStyleTable_, ucsTable_, dimstyle_;
    std::vector<OdDbDatabaseReactor*> reactors_;
    OdDbTransactionManager* tm_;
    OdDbObjectId blockTable_, layerTable_, linetypeTable_, textStyleTable_, viewTable_, viewportTable_,
        regAppTable_, nod_, modelSpace_, ltByLayer_, ltByBlock_, ltContinuous_, layerZero_, clayer_, textstyle_,
        celtype_;
};

// Transactions of the working drawing, and the graphics flush that the view
// code asks for.
class OdDbTransactionManager {
public:
    void startTransaction() { ++active_; }
    // eNotApplicable when no transaction is active.
    OdResult endTransaction();
    int numActiveTransactions() const { return active_; }
    void queueForGraphicsFlush() { ++queued_; }
    void flushGraphics();
    // Stand-in records for tests.
    int queuedFlushes() const { return queued_; }
    int flushCount() const { return flushes_; }

private:
    int active_ = 0;
    int queued_ = 0;
    int flushes_ = 0;
};

// The transaction manager of the working database; null when there is none.
OdDbTransactionManager* odTransactionManagerPtr();

class OdDbHostAppServices {
public:
    // The database of the current drawing (null when no drawing is open), or
    // the one set explicitly.
    OdDbDatabase* workingDatabase() const;
    void setWorkingDatabase(OdDbDatabase* db);
};

OdDbHostAppServices* oddbHostApplicationServices();
