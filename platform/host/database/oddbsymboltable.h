// Host SDK stand-in: symbol tables (blocks, layers, linetypes, text styles,
// views, viewports, registered applications) and their records.
#pragma once

#include <functional>
#include <vector>

#include "odcmcolor.h"
#include "oddbdatabase.h"
#include "odgegeometry.h"

class OdDbEntity;
class OdDbSymbolTableIterator;
namespace OdDb {
enum LineWeight : int;
}
class OdDbBlockTableRecordIterator;
class OdDbSortentsTable;

class OdDbSymbolTableRecord : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbSymbolTableRecord)
    OdResult getName(OdString& name) const { name = name_; return eOk; }
    OdString getName() const { return name_; }
    OdResult setName(const OdString& name);

private:
    friend struct standin::DxfAccess;
    OdString name_;
    // The record's flags as a drawing file gave them, beyond what the
    // record's own properties say.
    int fileFlags_ = 0;
};

class OdDbSymbolTable : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbSymbolTable)
    // Names compare without regard to case. Erased records are looked at
    // only when asked.
    OdResult getAt(const wchar_t* name, OdDbObjectId& id, bool getErased = false) const;
    bool has(const wchar_t* name) const;
    bool has(OdDbObjectId id) const;
    // The record must be new and have a name no live record has; the table
    // must be open for write. The record stays open for write.
    OdResult add(OdDbSymbolTableRecord* rec);
    OdResult add(OdDbObjectId& id, OdDbSymbolTableRecord* rec);
    OdResult newIterator(OdDbSymbolTableIterator*& it, bool atBeginning = true, bool skipDeleted = true) const;
    const std::vector<OdDbObjectId>& recordIds() const { return records_; }

protected:
    template <class R>
    OdResult getRecord(const wchar_t* name, R*& rec, OdDb::OpenMode mode, bool openErased) const
    {
        rec = nullptr;
        OdDbObjectId id;
        OdResult res = getAt(name, id, openErased);
        return res != eOk ? res : oddbOpenObject(rec, id, mode, openErased);
    }
    virtual bool acceptsRecord(const OdDbSymbolTableRecord* rec) const = 0;

private:
    friend struct standin::DxfAccess;
    std::vector<OdDbObjectId> records_;
};

class OdDbSymbolTableIterator {
public:
    OdDbSymbolTableIterator(const std::vector<OdDbObjectId>* ids, bool atBeginning, bool skipDeleted);
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    OdResult getRecordId(OdDbObjectId& id) const;
    template <class R>
    OdResult getRecord(R*& rec, OdDb::OpenMode mode = OdDb::kForRead, bool openErased = false) const
    {
        rec = nullptr;
        if (done()) return eInvalidIndex;
        return oddbOpenObject(rec, (*ids_)[(size_t)pos_], mode, openErased);
    }

private:
    void skip(bool forward, bool skipDeleted);
    const std::vector<OdDbObjectId>* ids_;
    long pos_ = 0;
};

#define OD_SYMBOL_TABLE(Table, Record)                                                          \
    class Record;                                                                               \
    class Table : public OdDbSymbolTable {                                                      \
    public:                                                                                     \
        ODRX_DECLARE_MEMBERS(Table)                                                             \
        using OdDbSymbolTable::getAt;                                                           \
        OdResult getAt(const wchar_t* name, Record*& rec, OdDb::OpenMode mode,                  \
                       bool openErased = false) const                                           \
        {                                                                                       \
            return getRecord(name, rec, mode, openErased);                                      \
        }                                                                                       \
                                                                                                \
    protected:                                                                                  \
        bool acceptsRecord(const OdDbSymbolTableRecord* rec) const override;                    \
    };

OD_SYMBOL_TABLE(OdDbBlockTable, OdDbBlockTableRecord)
OD_SYMBOL_TABLE(OdDbLayerTable, OdDbLayerTableRecord)
OD_SYMBOL_TABLE(OdDbLinetypeTable, OdDbLinetypeTableRecord)
OD_SYMBOL_TABLE(OdDbTextStyleTable, OdDbTextStyleTableRecord)
OD_SYMBOL_TABLE(OdDbViewTable, OdDbViewTableRecord)
OD_SYMBOL_TABLE(OdDbViewportTable, OdDbViewportTableRecord)
OD_SYMBOL_TABLE(OdDbRegAppTable, OdDbRegAppTableRecord)
OD_SYMBOL_TABLE(OdDbDimStyleTable, OdDbDimStyleTableRecord)
OD_SYMBOL_TABLE(OdDbUCSTable, OdDbUCSTableRecord)

typedef OdDbSymbolTableIterator OdDbLayerTableIterator;
typedef OdDbSymbolTableIterator OdDbTextStyleTableIterator;
typedef OdDbSymbolTableIterator OdDbLinetypeTableIterator;
typedef OdDbSymbolTableIterator OdDbBlockTableIterator;

class OdDbBlockTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbBlockTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getBlockTableId(); }
    // Appends a new entity (needs a write open). The entity becomes resident
    // with a new handle and stays open for write; properties it has not set
    // take the database's defaults. On failure the entity stays with the
    // caller.
    OdResult appendOdDbEntity(OdDbObjectId& id, OdDbEntity* ent);
    // Entities in append order; erased entities are skipped unless asked.
    OdResult newIterator(OdDbBlockTableRecordIterator*& it, bool atBeginning = true, bool skipDeleted = true) const;
    bool hasAttributeDefinitions() const;
    // The block's draw-order table (oddbsortents.cpp); eKeyNotFound when it
    // has none and none is to be created.
    OdResult getSortentsTable(OdDbSortentsTable*& table, OdDb::OpenMode mode, bool createIfNotFound = false);
    OdGePoint3d origin() const { return origin_; }
    void setOrigin(const OdGePoint3d& p);
    const std::vector<OdDbObjectId>& entityIds() const { return entities_; }
    OdDbBlockTableRecord() = default;
    OdDbBlockTableRecord(const OdDbBlockTableRecord&) = default;

private:
    friend struct standin::DxfAccess;
    friend class OdDbDatabase;
    friend OdDbObject* standin::StateCopy(const OdDbObject*);
    // A copy of the record's state that leaves its entities to the live
    // record: the list only grows while the record is open, so that its
    // first ids stay the live record's until the state is put back.
    struct KeepListPrefix {};
    OdDbBlockTableRecord(const OdDbBlockTableRecord& o, KeepListPrefix)
        : OdDbSymbolTableRecord(o), origin_(o.origin_), listFrom_(o.entities_.size())
    {
    }
    // Gives this state the live record's list (its first `listFrom_` ids,
    // then this state's own, then the live ids it had beyond them) and
    // leaves the live record, now a state, the erased ids it had beyond
    // them.
    void swapOwned(OdDbObject& other) override;
    std::vector<OdDbObjectId> entities_;
    OdGePoint3d origin_;
    // A state's list is the live record's first `listFrom_` ids followed by
    // `entities_`; always 0 for a record in a database.
    size_t listFrom_ = 0;
};

// Extents with the host's way of measuring a whole block.
class OdDbExtents : public OdGeExtents3d {
public:
    OdDbExtents() = default;
    OdDbExtents(const OdGeExtents3d& e) : OdGeExtents3d(e) {}
    // Adds the extents of every entity of the block (erased ones excepted;
    // entities without extents are passed over).
    OdResult addBlockExt(OdDbBlockTableRecord* btr);
};

class OdDbBlockTableRecordIterator {
public:
    OdDbBlockTableRecordIterator(const std::vector<OdDbObjectId>* ids, bool atBeginning, bool skipDeleted);
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    OdResult getEntityId(OdDbObjectId& id) const;
    OdResult getEntity(OdDbEntity*& ent, OdDb::OpenMode mode = OdDb::kForRead, bool openErased = false) const;

private:
    void skip(bool forward, bool skipDeleted);
    const std::vector<OdDbObjectId>* ids_;
    long pos_ = 0;
};

class OdDbLayerTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbLayerTableRecord)
    OdDbLayerTableRecord();
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getLayerTableId(); }
    OdCmColor color() const { return color_; }
    void setColor(const OdCmColor& c);
    OdDbObjectId linetypeObjectId() const { return linetype_; }
    void setLinetypeObjectId(OdDbObjectId id);
    bool isOff() const { return off_; }
    void setIsOff(bool v);
    bool isFrozen() const { return frozen_; }
    void setIsFrozen(bool v);
    bool isLocked() const { return locked_; }
    void setIsLocked(bool v);
    bool isHidden() const { return hidden_; }
    void setIsHidden(bool v);
    // Default unless set.
    OdDb::LineWeight lineWeight() const { return lineWeight_; }
    OdResult setLineWeight(OdDb::LineWeight w);
    bool isPlottable() const { return plottable_; }
    OdResult setIsPlottable(bool v);

protected:
    // Layer "0", the current layer and layers in use cannot be erased.
    OdResult subErase(bool erasing) override;

private:
    OdCmColor color_;
    OdDbObjectId linetype_;
    bool off_ = false, frozen_ = false, locked_ = false, hidden_ = false, plottable_ = true;
    OdDb::LineWeight lineWeight_;
};

// A linetype: dashes (negative lengths are gaps, 0 a dot), each of which
// may carry a shape of a shape file or a text in a text style, placed by
// an offset, scale and rotation.
class OdDbLinetypeTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbLinetypeTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getLinetypeTableId(); }
    OdString comments() const { return comments_; }
    void setComments(const OdString& s);
    int numDashes() const { return (int)dashes_.size(); }
    // Keeps the first n dashes, adding plain ones of length 0.
    void setNumDashes(int n);
    double dashLengthAt(int i) const { return dashes_[(size_t)i].length; }
    OdResult setDashLengthAt(int i, double length);
    // Plain dashes of these lengths.
    void setDashes(const OdGeDoubleArray& dashes);
    double patternLength() const;
    // The shape file's text style (null: none), the shape's number in it.
    OdDbObjectId shapeStyleAt(int i) const { return dashes_[(size_t)i].style; }
    OdResult setShapeStyleAt(int i, OdDbObjectId style);
    int shapeNumberAt(int i) const { return dashes_[(size_t)i].shape; }
    OdResult setShapeNumberAt(int i, int number);
    OdGeVector2d shapeOffsetAt(int i) const { return dashes_[(size_t)i].offset; }
    OdResult setShapeOffsetAt(int i, const OdGeVector2d& offset);
    double shapeScaleAt(int i) const { return dashes_[(size_t)i].scale; }
    OdResult setShapeScaleAt(int i, double scale);
    double shapeRotationAt(int i) const { return dashes_[(size_t)i].rotation; }
    OdResult setShapeRotationAt(int i, double rotation);
    // Turned with the drawing (true) rather than along the line.
    bool shapeIsUcsOrientedAt(int i) const { return dashes_[(size_t)i].ucsOriented; }
    OdResult setShapeIsUcsOrientedAt(int i, bool v);
    // Kept upright whichever way the line runs.
    bool shapeIsUprightAt(int i) const { return dashes_[(size_t)i].upright; }
    OdResult setShapeIsUprightAt(int i, bool v);
    // A text drawn in the dash (in the text style of shapeStyleAt).
    OdString textAt(int i) const { return dashes_[(size_t)i].text; }
    OdResult setTextAt(int i, const OdString& text);
    bool isScaledToFit() const { return scaledToFit_; }
    void setIsScaledToFit(bool v);

private:
    struct Dash {
        double length = 0;
        OdDbObjectId style;
        int shape = 0;
        OdGeVector2d offset;
        double scale = 1, rotation = 0;
        bool ucsOriented = false, upright = false;
        OdString text;
    };
    friend struct standin::DxfAccess;
    OdResult setDash(int i, const std::function<void(Dash&)>& change);
    OdString comments_;
    std::vector<Dash> dashes_;
    bool scaledToFit_ = false;
};

class OdDbTextStyleTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbTextStyleTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getTextStyleTableId(); }
    OdString fileName() const { return file_; }
    OdResult setFileName(const OdString& s);
    OdString bigFontFileName() const { return bigFont_; }
    OdResult setBigFontFileName(const OdString& s);
    double xScale() const { return xScale_; }
    OdResult setXScale(double s);
    double textSize() const { return size_; }
    OdResult setTextSize(double s);
    double obliquingAngle() const { return oblique_; }
    OdResult setObliquingAngle(double a);
    // The height last used with the style.
    double priorSize() const { return prior_; }
    OdResult setPriorSize(double s);
    // Text generation: 2 backwards, 4 upside down.
    uint8_t flagBits() const { return generation_; }
    void setFlagBits(uint8_t bits);
    bool isVertical() const { return vertical_; }
    void setIsVertical(bool v);
    // A style that only names a shape file.
    bool isShapeFile() const { return shapeFile_; }
    void setIsShapeFile(bool v);

private:
    OdString file_ = L"txt";
    OdString bigFont_;
    double xScale_ = 1.0;
    double size_ = 0.0, oblique_ = 0.0, prior_ = 2.5;
    uint8_t generation_ = 0;
    bool vertical_ = false, shapeFile_ = false;
};

// The view settings that view and viewport records share.
class OdDbAbstractViewTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbAbstractViewTableRecord)
    OdGePoint2d centerPoint() const { return center_; }
    void setCenterPoint(const OdGePoint2d& p) { if (assertWriteEnabled()) center_ = p; }
    double height() const { return height_; }
    void setHeight(double h) { if (assertWriteEnabled()) height_ = h; }
    double width() const { return width_; }
    void setWidth(double w) { if (assertWriteEnabled()) width_ = w; }
    OdGePoint3d target() const { return target_; }
    void setTarget(const OdGePoint3d& p) { if (assertWriteEnabled()) target_ = p; }
    OdGeVector3d viewDirection() const { return dir_; }
    void setViewDirection(const OdGeVector3d& v) { if (assertWriteEnabled()) dir_ = v; }
    double viewTwist() const { return twist_; }
    void setViewTwist(double a) { if (assertWriteEnabled()) twist_ = a; }
    double lensLength() const { return lens_; }
    void setLensLength(double l) { if (assertWriteEnabled()) lens_ = l; }
    double frontClipDistance() const { return front_; }
    void setFrontClipDistance(double d) { if (assertWriteEnabled()) front_ = d; }
    double backClipDistance() const { return back_; }
    void setBackClipDistance(double d) { if (assertWriteEnabled()) back_ = d; }
    bool perspectiveEnabled() const { return persp_; }
    void setPerspectiveEnabled(bool v) { if (assertWriteEnabled()) persp_ = v; }
    bool frontClipEnabled() const { return frontOn_; }
    void setFrontClipEnabled(bool v) { if (assertWriteEnabled()) frontOn_ = v; }
    bool backClipEnabled() const { return backOn_; }
    void setBackClipEnabled(bool v) { if (assertWriteEnabled()) backOn_ = v; }
    bool frontClipAtEye() const { return atEye_; }
    void setFrontClipAtEye(bool v) { if (assertWriteEnabled()) atEye_ = v; }

private:
    OdGePoint2d center_;
    double height_ = 1, width_ = 1, twist_ = 0, lens_ = 50, front_ = 0, back_ = 0;
    OdGePoint3d target_;
    OdGeVector3d dir_{0, 0, 1};
    bool persp_ = false, frontOn_ = false, backOn_ = false, atEye_ = true;
};

class OdDbViewTableRecord : public OdDbAbstractViewTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbViewTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getViewTableId(); }
    bool isPaperspaceView() const { return paper_; }
    void setIsPaperspaceView(bool v) { if (assertWriteEnabled()) paper_ = v; }

private:
    bool paper_ = false;
};

class OdDbViewportTableRecord : public OdDbAbstractViewTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbViewportTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getViewportTableId(); }
};

class OdDbRegAppTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbRegAppTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getRegAppTableId(); }
};

// A dimension style. Dimensions name their style; its settings are kept as
// a drawing file gave them.
class OdDbDimStyleTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbDimStyleTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getDimStyleTableId(); }
};

// A named user coordinate system.
class OdDbUCSTableRecord : public OdDbSymbolTableRecord {
public:
    ODRX_DECLARE_MEMBERS(OdDbUCSTableRecord)
    static OdDbObjectId tableId(OdDbDatabase* db) { return db->getUCSTableId(); }
    OdGePoint3d origin() const { return origin_; }
    void setOrigin(const OdGePoint3d& p) { if (assertWriteEnabled()) origin_ = p; }
    OdGeVector3d xAxis() const { return x_; }
    void setXAxis(const OdGeVector3d& v) { if (assertWriteEnabled()) x_ = v; }
    OdGeVector3d yAxis() const { return y_; }
    void setYAxis(const OdGeVector3d& v) { if (assertWriteEnabled()) y_ = v; }

private:
    OdGePoint3d origin_;
    OdGeVector3d x_{1, 0, 0}, y_{0, 1, 0};
};

// Opens the record of that name in its table of the database for the life
// of the pointer; the record is closed when the pointer goes.
template <class R>
class OdDbSymbolTableRecordPointer {
public:
    OdDbSymbolTableRecordPointer(const wchar_t* name, OdDbDatabase* db, OdDb::OpenMode mode, bool openErased = false)
    {
        if (!db) {
            status_ = eNullObjectId;
            return;
        }
        OdDbSymbolTable* table = nullptr;
        status_ = oddbOpenObject(table, R::tableId(db), OdDb::kForRead);
        if (status_ != eOk) return;
        OdDbObjectId id;
        status_ = table->getAt(name, id, openErased);
        table->close();
        if (status_ == eOk) status_ = oddbOpenObject(rec_, id, mode, openErased);
    }
    ~OdDbSymbolTableRecordPointer()
    {
        if (rec_) rec_->close();
    }
    OdDbSymbolTableRecordPointer(const OdDbSymbolTableRecordPointer&) = delete;
    OdDbSymbolTableRecordPointer& operator=(const OdDbSymbolTableRecordPointer&) = delete;
    OdResult openStatus() const { return status_; }
    R* object() const { return rec_; }
    R* operator->() const { return rec_; }

private:
    R* rec_ = nullptr;
    OdResult status_ = eOk;
};
