#include "oddbsymboltable.h"

#include <cwchar>

#include "gcdbutil.h"
#include "oddbentity.h"
#include "hostdb_control.h"

ODRX_DEFINE_MEMBERS(OdDbSymbolTableRecord, OdDbObject, L"AcDbSymbolTableRecord")
ODRX_DEFINE_MEMBERS(OdDbSymbolTable, OdDbObject, L"AcDbSymbolTable")
ODRX_DEFINE_MEMBERS(OdDbBlockTable, OdDbSymbolTable, L"AcDbBlockTable")
ODRX_DEFINE_MEMBERS(OdDbLayerTable, OdDbSymbolTable, L"AcDbLayerTable")
ODRX_DEFINE_MEMBERS(OdDbLinetypeTable, OdDbSymbolTable, L"AcDbLinetypeTable")
ODRX_DEFINE_MEMBERS(OdDbTextStyleTable, OdDbSymbolTable, L"AcDbTextStyleTable")
ODRX_DEFINE_MEMBERS(OdDbViewTable, OdDbSymbolTable, L"AcDbViewTable")
ODRX_DEFINE_MEMBERS(OdDbViewportTable, OdDbSymbolTable, L"AcDbViewportTable")
ODRX_DEFINE_MEMBERS(OdDbRegAppTable, OdDbSymbolTable, L"AcDbRegAppTable")
ODRX_DEFINE_MEMBERS(OdDbBlockTableRecord, OdDbSymbolTableRecord, L"AcDbBlockTableRecord")
ODRX_DEFINE_MEMBERS(OdDbLayerTableRecord, OdDbSymbolTableRecord, L"AcDbLayerTableRecord")
ODRX_DEFINE_MEMBERS(OdDbLinetypeTableRecord, OdDbSymbolTableRecord, L"AcDbLinetypeTableRecord")
ODRX_DEFINE_MEMBERS(OdDbTextStyleTableRecord, OdDbSymbolTableRecord, L"AcDbTextStyleTableRecord")
ODRX_DEFINE_MEMBERS(OdDbAbstractViewTableRecord, OdDbSymbolTableRecord, L"AcDbAbstractViewTableRecord")
ODRX_DEFINE_MEMBERS(OdDbViewTableRecord, OdDbAbstractViewTableRecord, L"AcDbViewTableRecord")
ODRX_DEFINE_MEMBERS(OdDbViewportTableRecord, OdDbAbstractViewTableRecord, L"AcDbViewportTableRecord")
ODRX_DEFINE_MEMBERS(OdDbRegAppTableRecord, OdDbSymbolTableRecord, L"AcDbRegAppTableRecord")
ODRX_DEFINE_MEMBERS(OdDbDimStyleTable, OdDbSymbolTable, L"AcDbDimStyleTable")
ODRX_DEFINE_MEMBERS(OdDbDimStyleTableRecord, OdDbSymbolTableRecord, L"AcDbDimStyleTableRecord")
ODRX_DEFINE_MEMBERS(OdDbUCSTable, OdDbSymbolTable, L"AcDbUCSTable")
ODRX_DEFINE_MEMBERS(OdDbUCSTableRecord, OdDbSymbolTableRecord, L"AcDbUCSTableRecord")

#define OD_ACCEPTS(Table, Record) \
    bool Table::acceptsRecord(const OdDbSymbolTableRecord* rec) const { return rec->isKindOf(Record::desc()); }
OD_ACCEPTS(OdDbBlockTable, OdDbBlockTableRecord)
OD_ACCEPTS(OdDbLayerTable, OdDbLayerTableRecord)
OD_ACCEPTS(OdDbLinetypeTable, OdDbLinetypeTableRecord)
OD_ACCEPTS(OdDbTextStyleTable, OdDbTextStyleTableRecord)
OD_ACCEPTS(OdDbViewTable, OdDbViewTableRecord)
OD_ACCEPTS(OdDbViewportTable, OdDbViewportTableRecord)
OD_ACCEPTS(OdDbRegAppTable, OdDbRegAppTableRecord)
OD_ACCEPTS(OdDbDimStyleTable, OdDbDimStyleTableRecord)
OD_ACCEPTS(OdDbUCSTable, OdDbUCSTableRecord)

namespace {
OdDbObject* ObjectOf(OdDbObjectId id) { return id.isNull() ? nullptr : id.stub()->object; }

OdString NameOf(OdDbObjectId id)
{
    auto* rec = static_cast<OdDbSymbolTableRecord*>(ObjectOf(id));
    return rec ? rec->getName() : OdString();
}
}  // namespace

OdResult OdDbSymbolTableRecord::setName(const OdString& name)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (name.isEmpty()) return eInvalidInput;
    if (!ownerId().isNull()) {
        auto* table = static_cast<OdDbSymbolTable*>(ObjectOf(ownerId()));
        OdDbObjectId other;
        if (table && table->getAt(name, other) == eOk && other != objectId()) return eDuplicateRecordName;
    }
    name_ = name;
    return eOk;
}

OdResult OdDbSymbolTable::getAt(const wchar_t* name, OdDbObjectId& id, bool getErased) const
{
    id = OdDbObjectId();
    if (!name) return eInvalidInput;
    for (const auto& r : records_) {
        if (NameOf(r).iCompare(name) != 0) continue;
        if (r.isErased() && !getErased) continue;
        id = r;
        return eOk;
    }
    return eKeyNotFound;
}

bool OdDbSymbolTable::has(const wchar_t* name) const
{
    OdDbObjectId id;
    return getAt(name, id) == eOk;
}

bool OdDbSymbolTable::has(OdDbObjectId id) const
{
    for (const auto& r : records_)
        if (r == id && !r.isErased()) return true;
    return false;
}

OdResult OdDbSymbolTable::add(OdDbSymbolTableRecord* rec)
{
    OdDbObjectId id;
    return add(id, rec);
}

OdResult OdDbSymbolTable::add(OdDbObjectId& id, OdDbSymbolTableRecord* rec)
{
    id = OdDbObjectId();
    if (!rec) return eInvalidInput;
    if (!isWriteEnabled()) return eNotOpenForWrite;
    if (!rec->isNewObject()) return eAlreadyInDb;
    if (!acceptsRecord(rec)) return eNotThatKindOfClass;
    if (rec->getName().isEmpty()) return eInvalidInput;
    if (has(rec->getName())) return eDuplicateRecordName;
    if (int s = standin::TakeHostFault("add")) return (OdResult)s;
    assertWriteEnabled();
    id = database()->addOdDbObject(rec, objectId());
    records_.push_back(id);
    return eOk;
}

OdResult OdDbSymbolTable::newIterator(OdDbSymbolTableIterator*& it, bool atBeginning, bool skipDeleted) const
{
    it = new OdDbSymbolTableIterator(&records_, atBeginning, skipDeleted);
    return eOk;
}

OdDbSymbolTableIterator::OdDbSymbolTableIterator(const std::vector<OdDbObjectId>* ids, bool atBeginning,
                                                 bool skipDeleted)
    : ids_(ids)
{
    start(atBeginning, skipDeleted);
}

void OdDbSymbolTableIterator::start(bool atBeginning, bool skipDeleted)
{
    pos_ = atBeginning ? 0 : (long)ids_->size() - 1;
    skip(atBeginning, skipDeleted);
}

bool OdDbSymbolTableIterator::done() const { return pos_ < 0 || pos_ >= (long)ids_->size(); }

void OdDbSymbolTableIterator::step(bool forward, bool skipDeleted)
{
    pos_ += forward ? 1 : -1;
    skip(forward, skipDeleted);
}

void OdDbSymbolTableIterator::skip(bool forward, bool skipDeleted)
{
    while (skipDeleted && !done() && (*ids_)[(size_t)pos_].isErased()) pos_ += forward ? 1 : -1;
}

OdResult OdDbSymbolTableIterator::getRecordId(OdDbObjectId& id) const
{
    if (done()) return eInvalidIndex;
    id = (*ids_)[(size_t)pos_];
    return eOk;
}

// ---- blocks ----

OdResult OdDbBlockTableRecord::appendOdDbEntity(OdDbObjectId& id, OdDbEntity* ent)
{
    id = OdDbObjectId();
    standin::CountHostCall("append");
    if (!ent) return eInvalidInput;
    if (!isWriteEnabled()) return eNotOpenForWrite;
    if (!ent->isNewObject() || ent->isHeld()) return eAlreadyInDb;
    if (int s = standin::TakeHostFault("append")) return (OdResult)s;
    assertWriteEnabled();
    id = database()->addOdDbObject(ent, objectId());
    ent->applyAppendDefaults(database());
    entities_.push_back(id);
    return eOk;
}

void OdDbBlockTableRecord::swapOwned(OdDbObject& other)
{
    auto& live = static_cast<OdDbBlockTableRecord&>(other);
    std::vector<OdDbObjectId>& list = live.entities_;
    const size_t from = listFrom_;
    // Of the ids after the first ones, what the step put back erased goes
    // with the live record's state; an entity that no step of this drawing
    // appended (another drawing's command, a reactor while the step is put
    // back) stays, after this state's ids: no live entity is left in no
    // block.
    std::vector<OdDbObjectId> gone, stay;
    for (size_t i = from; i < list.size(); ++i) (list[i].isErased() ? gone : stay).push_back(list[i]);
    list.resize(from);
    // What was restored since went back into the list then.
    for (const OdDbObjectId& id : entities_)
        if (id.stub()->unlisted) {
            id.stub()->unlisted = false;
            list.push_back(id);
        }
    for (const OdDbObjectId& id : gone) id.stub()->unlisted = true;
    list.insert(list.end(), stay.begin(), stay.end());
    entities_.swap(list);
    live.entities_ = std::move(gone);
    live.listFrom_ = from;
    listFrom_ = 0;
}

OdResult OdDbBlockTableRecord::newIterator(OdDbBlockTableRecordIterator*& it, bool atBeginning,
                                           bool skipDeleted) const
{
    it = new OdDbBlockTableRecordIterator(&entities_, atBeginning, skipDeleted);
    return eOk;
}

bool OdDbBlockTableRecord::hasAttributeDefinitions() const
{
    for (const auto& id : entities_) {
        OdDbObject* o = ObjectOf(id);
        if (o && !o->isErased() && o->isA()->name() == L"AcDbAttributeDefinition") return true;
    }
    return false;
}

void OdDbBlockTableRecord::setOrigin(const OdGePoint3d& p)
{
    if (assertWriteEnabled()) origin_ = p;
}

OdResult OdDbExtents::addBlockExt(OdDbBlockTableRecord* btr)
{
    if (!btr) return eInvalidInput;
    if (int s = standin::TakeHostFault("addBlockExt")) return (OdResult)s;
    for (const auto& id : btr->entityIds()) {
        auto* ent = id.isErased() ? nullptr : OdRxCast<OdDbEntity>(ObjectOf(id));
        OdGeExtents3d e;
        if (ent && ent->getGeomExtents(e) == eOk) addExt(e);
    }
    return eOk;
}

OdDbBlockTableRecordIterator::OdDbBlockTableRecordIterator(const std::vector<OdDbObjectId>* ids, bool atBeginning,
                                                           bool skipDeleted)
    : ids_(ids)
{
    start(atBeginning, skipDeleted);
}

void OdDbBlockTableRecordIterator::start(bool atBeginning, bool skipDeleted)
{
    pos_ = atBeginning ? 0 : (long)ids_->size() - 1;
    skip(atBeginning, skipDeleted);
}

bool OdDbBlockTableRecordIterator::done() const { return pos_ < 0 || pos_ >= (long)ids_->size(); }

void OdDbBlockTableRecordIterator::step(bool forward, bool skipDeleted)
{
    pos_ += forward ? 1 : -1;
    skip(forward, skipDeleted);
}

void OdDbBlockTableRecordIterator::skip(bool forward, bool skipDeleted)
{
    while (skipDeleted && !done() && (*ids_)[(size_t)pos_].isErased()) pos_ += forward ? 1 : -1;
}

OdResult OdDbBlockTableRecordIterator::getEntityId(OdDbObjectId& id) const
{
    if (done()) return eInvalidIndex;
    id = (*ids_)[(size_t)pos_];
    return eOk;
}

OdResult OdDbBlockTableRecordIterator::getEntity(OdDbEntity*& ent, OdDb::OpenMode mode, bool openErased) const
{
    ent = nullptr;
    if (done()) return eInvalidIndex;
    return oddbOpenObject(ent, (*ids_)[(size_t)pos_], mode, openErased);
}

// ---- layers ----

OdDbLayerTableRecord::OdDbLayerTableRecord() : lineWeight_(OdDb::kLnWtByLwDefault) { color_.setColorIndex(7); }

OdResult OdDbLayerTableRecord::setLineWeight(OdDb::LineWeight w)
{
    // A layer's weight is a weight or the default, never taken from elsewhere.
    if (!standin::IsLineWeight(w) || w == OdDb::kLnWtByLayer || w == OdDb::kLnWtByBlock) return eInvalidInput;
    OD_SET(lineWeight_, w);
}

OdResult OdDbLayerTableRecord::setIsPlottable(bool v) { OD_SET(plottable_, v); }

void OdDbLayerTableRecord::setColor(const OdCmColor& c)
{
    if (assertWriteEnabled()) color_ = c;
}

void OdDbLayerTableRecord::setLinetypeObjectId(OdDbObjectId id)
{
    if (assertWriteEnabled()) linetype_ = id;
}

void OdDbLayerTableRecord::setIsOff(bool v)
{
    if (assertWriteEnabled()) off_ = v;
}

void OdDbLayerTableRecord::setIsFrozen(bool v)
{
    if (assertWriteEnabled()) frozen_ = v;
}

void OdDbLayerTableRecord::setIsLocked(bool v)
{
    if (assertWriteEnabled()) locked_ = v;
}

void OdDbLayerTableRecord::setIsHidden(bool v)
{
    if (assertWriteEnabled()) hidden_ = v;
}

OdResult OdDbLayerTableRecord::subErase(bool erasing)
{
    if (!erasing) return eOk;
    OdDbDatabase* db = database();
    if (getName() == L"0" || db->clayer() == objectId() || db->isLayerInUse(objectId()))
        return eCannotBeErasedByCaller;
    return eOk;
}

// ---- linetypes ----

void OdDbLinetypeTableRecord::setComments(const OdString& s)
{
    if (assertWriteEnabled()) comments_ = s;
}

void OdDbLinetypeTableRecord::setDashes(const OdGeDoubleArray& d)
{
    if (!assertWriteEnabled()) return;
    dashes_.clear();
    for (double length : d) {
        dashes_.emplace_back();
        dashes_.back().length = length;
    }
}

void OdDbLinetypeTableRecord::setNumDashes(int n)
{
    if (n >= 0 && assertWriteEnabled()) dashes_.resize((size_t)n);
}

OdResult OdDbLinetypeTableRecord::setDash(int i, const std::function<void(Dash&)>& change)
{
    if (i < 0 || i >= numDashes()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    change(dashes_[(size_t)i]);
    return eOk;
}

OdResult OdDbLinetypeTableRecord::setDashLengthAt(int i, double v)
{
    return setDash(i, [v](Dash& d) { d.length = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeStyleAt(int i, OdDbObjectId v)
{
    return setDash(i, [v](Dash& d) { d.style = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeNumberAt(int i, int v)
{
    return setDash(i, [v](Dash& d) { d.shape = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeOffsetAt(int i, const OdGeVector2d& v)
{
    return setDash(i, [v](Dash& d) { d.offset = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeScaleAt(int i, double v)
{
    return setDash(i, [v](Dash& d) { d.scale = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeRotationAt(int i, double v)
{
    return setDash(i, [v](Dash& d) { d.rotation = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeIsUcsOrientedAt(int i, bool v)
{
    return setDash(i, [v](Dash& d) { d.ucsOriented = v; });
}
OdResult OdDbLinetypeTableRecord::setShapeIsUprightAt(int i, bool v)
{
    return setDash(i, [v](Dash& d) { d.upright = v; });
}
OdResult OdDbLinetypeTableRecord::setTextAt(int i, const OdString& v)
{
    return setDash(i, [v](Dash& d) { d.text = v; });
}

void OdDbLinetypeTableRecord::setIsScaledToFit(bool v)
{
    if (assertWriteEnabled()) scaledToFit_ = v;
}

double OdDbLinetypeTableRecord::patternLength() const
{
    double l = 0;
    for (const Dash& d : dashes_) l += std::fabs(d.length);
    return l;
}

namespace {

struct LinFileEntry {
    const wchar_t* name;
    const wchar_t* comments;
    std::initializer_list<double> dashes;
};

// The linetypes the stand-in's metric linetype file defines: name, a short
// description, dash lengths (negative for gaps, 0 for dots).
const LinFileEntry kAcadIsoLin[] = {
    {L"BORDER", L"Border", {10, -5, 10, -5, 0, -5}},
    {L"CENTER", L"Centre line", {30, -5, 5, -5}},
    {L"DASHDOT", L"Dash dot", {10, -5, 0, -5}},
    {L"DASHDOTX2", L"Dash dot, twice as long", {20, -10, 0, -10}},
    {L"DASHED", L"Dashed", {10, -5}},
    {L"DASHEDX2", L"Dashed, twice as long", {20, -10}},
    {L"DIVIDE", L"Dash and two dots", {10, -5, 0, -5, 0, -5}},
    {L"DIVIDEX2", L"Dash and two dots, twice as long", {20, -10, 0, -10, 0, -10}},
    {L"DOT", L"Dotted", {0, -5}},
    {L"DOTX2", L"Dotted, twice as wide", {0, -10}},
    {L"HIDDEN", L"Hidden", {5, -2.5}},
    {L"PHANTOM", L"Phantom", {30, -5, 5, -5, 5, -5}},
    {L"JIS_02_1.0", L"Short dash 1.0", {1.0, -0.5}},
    {L"JIS_02_2.0", L"Short dash 2.0", {2.0, -0.5}},
    {L"ACAD_ISO02W100", L"ISO dash", {12, -3}},
    {L"ACAD_ISO03W100", L"ISO dash space", {12, -18}},
    {L"ACAD_ISO04W100", L"ISO long dash dot", {24, -3, 0.5, -3}},
    {L"ACAD_ISO07W100", L"ISO dot", {0.5, -3}},
};

OdResult LoadOne(OdDbLinetypeTable* table, const LinFileEntry& e)
{
    if (table->has(e.name)) return eDuplicateRecordName;
    auto* rec = new OdDbLinetypeTableRecord();
    rec->setName(e.name);
    rec->setComments(e.comments);
    rec->setDashes(OdGeDoubleArray(e.dashes));
    OdResult res = table->add(rec);
    if (res == eOk) rec->close();
    else delete rec;
    return res;
}

}  // namespace

int gcdbLoadLineTypeFile(const wchar_t* name, const wchar_t* fileName, OdDbDatabase* db)
{
    standin::CountHostCall("loadLineType");
    if (!name || !fileName || !db) return eInvalidInput;
    if (int s = standin::TakeHostFault("loadLineType")) return s;
    if (wcscasecmp(fileName, L"ACADISO.LIN") != 0) return eFileNotFound;
    OdDbLinetypeTable* table = nullptr;
    OdResult res = db->getLinetypeTable(table, OdDb::kForWrite);
    if (res != eOk) return res;
    bool all = wcscmp(name, L"*") == 0;
    res = all ? eOk : eUndefinedLineType;
    for (const auto& e : kAcadIsoLin) {
        if (all) {
            LoadOne(table, e);
        } else if (wcscasecmp(e.name, name) == 0) {
            res = LoadOne(table, e);
            break;
        }
    }
    table->close();
    return res;
}

// ---- text styles ----

OdResult OdDbTextStyleTableRecord::setFileName(const OdString& s)
{
    OD_SET(file_, s);
}

OdResult OdDbTextStyleTableRecord::setBigFontFileName(const OdString& s)
{
    OD_SET(bigFont_, s);
}

OdResult OdDbTextStyleTableRecord::setXScale(double s)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (!(s > 0)) return eInvalidInput;
    xScale_ = s;
    return eOk;
}

OdResult OdDbTextStyleTableRecord::setObliquingAngle(double a) { OD_SET(oblique_, a); }

OdResult OdDbTextStyleTableRecord::setPriorSize(double s)
{
    if (!(s >= 0)) return eInvalidInput;
    OD_SET(prior_, s);
}

void OdDbTextStyleTableRecord::setFlagBits(uint8_t bits)
{
    if (assertWriteEnabled()) generation_ = bits;
}

void OdDbTextStyleTableRecord::setIsVertical(bool v)
{
    if (assertWriteEnabled()) vertical_ = v;
}

void OdDbTextStyleTableRecord::setIsShapeFile(bool v)
{
    if (assertWriteEnabled()) shapeFile_ = v;
}

OdResult OdDbTextStyleTableRecord::setTextSize(double s)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (s < 0) return eInvalidInput;
    size_ = s;
    return eOk;
}
