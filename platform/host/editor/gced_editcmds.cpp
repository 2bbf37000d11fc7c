// Host SDK stand-in: the host's own drawing and editing commands. They take
// the scripted user's input (gcedinput.h), change the current drawing
// through the database (so its reactors hear appended, modified and erased
// objects as the host raises them) and keep an undo history per document.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "odrx_module.h"
#include "standin_control.h"

namespace {

// The values of the objects a move changed (an entity, a block reference's
// attributes): undo and redo exchange them with the drawing's, so that
// both give back exactly what was there. Each is a copy holding the whole
// state of its object (OdDbObject::copyTiesTo): its block of graphics,
// what its file record owned and the handles of its records are the
// object's again after the exchange.
struct States {
    std::vector<std::pair<OdDbObjectId, OdDbObject*>> held;
    States() = default;
    States(const States&) = delete;
    States& operator=(const States&) = delete;
    ~States()
    {
        for (auto& h : held) delete h.second;
    }
};

// One reversible change of a command.
struct UndoStep {
    // kUnreacted: `id` no longer names `other` as a reactor; kReacted: it
    // names it now; kCurrentLayer: `id` became the current layer instead of
    // `other`.
    enum Kind { kCreated, kErased, kMoved, kChanged, kUnreacted, kReacted, kCurrentLayer } kind;
    OdDbObjectId id;
    OdDbObjectId other;
    OdGeVector3d offset;             // kMoved
    std::shared_ptr<States> states;  // kMoved, kChanged: the values before
};
// A command's steps, and the drawing's handle seed before and after it,
// which undo and redo put back with them so that a save after an undo
// writes what it wrote before the command.
struct UndoGroup {
    std::vector<UndoStep> steps;
    uint64_t seedBefore = 0, seedAfter = 0;
};

struct UndoHistory {
    std::vector<UndoGroup> done;
    std::vector<UndoGroup> undone;
};

std::map<const GcApDocument*, UndoHistory> g_history;
// The steps of the command running now, and the objects whose state before
// it they keep.
UndoGroup* g_recording = nullptr;
std::set<OdDbObjectId> g_held;
// The group of the command running, kept open until the reactors heard
// that it ended: what they change then is undone with it.
struct OpenGroup {
    const GcApDocument* doc = nullptr;
    int depth = 0;  // the command's (standin::CommandDepth)
    UndoGroup group;
};
std::unique_ptr<OpenGroup> g_open;
std::function<bool(const std::wstring&)> g_appLoader;

standin::ResetHook g_reset([] {
    g_history.clear();
    g_recording = nullptr;
    g_held.clear();
    g_open.reset();
    OdDbDatabase::setUndoHooks(nullptr, nullptr);
    g_appLoader = nullptr;
});

void Cancelled() { standin::SetCommandOutcome(standin::CommandOutcome::kCancelled); }
void Failed() { standin::SetCommandOutcome(standin::CommandOutcome::kFailed); }

void Record(UndoStep::Kind kind, OdDbObjectId id, const OdGeVector3d& offset = OdGeVector3d(),
            std::shared_ptr<States> states = nullptr)
{
    if (g_recording) g_recording->steps.push_back({kind, id, OdDbObjectId(), offset, std::move(states)});
}

// A copy of an object of a kind whose state undo can put back; null for
// other kinds.
OdDbObject* CopyOf(const OdDbObject* o)
{
    OdDbObject* copy = nullptr;
    if (auto* e = OdRxCast<OdDbEntity>(const_cast<OdDbObject*>(o))) copy = e->clone();
    else if (auto* x = OdRxCast<OdDbXrecord>(const_cast<OdDbObject*>(o))) copy = new OdDbXrecord(*x);
    else if (auto* l = OdRxCast<OdDbLayerTableRecord>(const_cast<OdDbObject*>(o))) copy = new OdDbLayerTableRecord(*l);
    if (copy) o->copyTiesTo(*copy);
    return copy;
}

// Whatever a command opens for write, itself or through a reactor that
// hears it (an application's data), is kept as it was before the command
// first changed it; what it adds UNDO erases.
void KeepBeforeWrite(OdDbObject* o)
{
    if (!g_recording || o->isNewObject() || (uint64_t)o->objectId().getHandle() >= g_recording->seedBefore) return;
    if (!g_held.insert(o->objectId()).second) return;
    OdDbObject* copy = CopyOf(o);
    if (!copy) return;
    auto states = std::make_shared<States>();
    states->held.push_back({o->objectId(), copy});
    g_recording->steps.push_back({UndoStep::kChanged, o->objectId(), OdDbObjectId(), OdGeVector3d(), std::move(states)});
}

void NoteAdded(OdDbObject* o)
{
    if (g_recording) g_recording->steps.push_back({UndoStep::kCreated, o->objectId(), OdDbObjectId(), OdGeVector3d(), nullptr});
}

// Runs a command body that changes the current drawing: what it changed
// becomes one undo group, and the redo list is dropped.
void Changing(void (*body)(OdDbDatabase*))
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return Failed();
    if (g_open) standin::CloseUndoGroup(g_open->depth);
    g_open = std::make_unique<OpenGroup>();
    g_open->doc = doc;
    g_open->depth = standin::CommandDepth();
    g_open->group.seedBefore = doc->database()->handseed();
    g_recording = &g_open->group;
    g_held.clear();
    OdDbDatabase::setUndoHooks(KeepBeforeWrite, NoteAdded);
    body(doc->database());
    // Run outside a command, nothing more is heard of it.
    if (g_open && g_open->depth == 0) standin::CloseUndoGroup(0);
}

OdGePoint3d ToWorld(const ads_point p)
{
    ads_point w;
    resbuf from{nullptr, RTSHORT, {}}, to{nullptr, RTSHORT, {}};
    from.resval.rint = 1;
    to.resval.rint = 0;
    gcedTrans(p, &from, &to, 0, w);
    return OdGePoint3d(w[0], w[1], w[2]);
}

// A point from the user: RTNORM, RTNONE (Enter) or RTCAN.
int AskPoint(const wchar_t* prompt, OdGePoint3d& point, const OdGePoint3d* base = nullptr)
{
    ads_point p, b;
    if (base) b[0] = base->x, b[1] = base->y, b[2] = base->z;
    int r = gcedGetPoint(base ? b : nullptr, prompt, p);
    if (r == RTNORM) point = ToWorld(p);
    return r;
}

bool AskCorners(const wchar_t* first, const wchar_t* second, OdGePoint3d& a, OdGePoint3d& b)
{
    return AskPoint(first, a) == RTNORM && AskPoint(second, b, &a) == RTNORM;
}

// The text typed; false when the user cancels.
bool AskText(std::wstring& text)
{
    wchar_t typed[1024];
    if (gcedGetString(1, L"Enter text: ", typed, 1024) != RTNORM) return false;
    text = typed;
    return true;
}

bool AskSelection(OdDbObjectIdArray& ids)
{
    ads_name ss;
    int r = gcedSSGet(nullptr, nullptr, nullptr, nullptr, ss);
    if (r != RTNORM) return false;
    int32_t n = 0;
    gcedSSLength(ss, &n);
    for (int32_t i = 0; i < n; ++i) {
        ads_name e;
        OdDbObjectId id;
        if (gcedSSName(ss, i, e) == RTNORM && oddbGetObjectId(id, e) == eOk) ids.append(id);
    }
    gcedSSFree(ss);
    return true;
}

OdDbObjectId Append(OdDbDatabase* db, OdDbEntity* entity)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) != eOk) {
        delete entity;
        return id;
    }
    if (ms->appendOdDbEntity(id, entity) == eOk) {
        entity->close();
        Record(UndoStep::kCreated, id);
    } else {
        delete entity;
    }
    ms->close();
    return id;
}

// The copy's extension dictionary holds copies of what the source's
// holds (its Xrecords, its dictionaries with all they hold), as the host's
// deep clone makes them.
void CopyExtensionDictionary(const OdDbObject* source, OdDbObject* copy)
{
    OdDbDictionary* from = nullptr;
    if (source->extensionDictionary().isNull() ||
        oddbOpenObject(from, source->extensionDictionary(), OdDb::kForRead) != eOk)
        return;
    OdDbDictionary* to = nullptr;
    if (copy->createExtensionDictionary() == eOk &&
        oddbOpenObject(to, copy->extensionDictionary(), OdDb::kForWrite) == eOk) {
        to->setTreatElementsAsHard(from->isTreatElementsAsHard());
        to->copyEntriesFrom(from);
        to->close();
    }
    from->close();
}

// The kind of an entity as the user knows it: a kept record's own type.
std::wstring KindName(const OdDbEntity* ent)
{
    auto* proxy = OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(ent));
    if (proxy && !proxy->originalDxfName().isEmpty()) return proxy->originalDxfName().c_str();
    return ent->isA()->name().c_str();
}

// Entities an edit could not transform, counted by kind.
using KindCounts = std::map<std::wstring, int>;

// Names what could not be done ("2 objects could not be moved: 1
// 3DSOLID, 1 ACAD_PROXY_ENTITY."); the command then fails, so that a script
// does not go on as if they had moved.
void ReportNotTransformed(const KindCounts& kinds, const wchar_t* verb, const wchar_t* why = L"")
{
    if (kinds.empty()) return;
    int total = 0;
    std::wstring list;
    for (const auto& [kind, n] : kinds) {
        total += n;
        list += (list.empty() ? L"" : L", ") + std::to_wstring(n) + L" " + kind;
    }
    gcutPrintf(L"\n%d %s could not be %s%s: %s.", total, total == 1 ? L"object" : L"objects", verb, why, list.c_str());
    Failed();
}

// Copies of the values of the entity and of what moves with it (a block
// reference's attributes, the graphics of a dimension's block); false when
// one cannot be copied.
bool Snapshot(const OdDbEntity* ent, States& states, int depth = 0)
{
    OdDbEntity* copy = ent->clone();
    if (!copy || depth > 8) {
        delete copy;
        return false;
    }
    ent->copyTiesTo(*copy);
    // What the command kept already is not kept twice.
    if (g_held.insert(ent->objectId()).second || !g_recording) states.held.push_back({ent->objectId(), copy});
    else delete copy;
    OdDbObjectIdArray along;
    if (auto* ref = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(ent))) {
        OdDbObjectIterator* it = ref->attributeIterator();
        for (; it && !it->done(); it->step()) along.append(it->objectId());
        delete it;
    }
    auto* dim = OdRxCast<OdDbDimension>(const_cast<OdDbEntity*>(ent));
    auto* kept = OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(ent));
    const OdDbObjectId graphics = dim ? dim->dimBlockId() : kept ? kept->geometryBlockId() : OdDbObjectId();
    OdDbBlockTableRecord* block = nullptr;
    if (!graphics.isNull() && oddbOpenObject(block, graphics, OdDb::kForRead) == eOk) {
        for (const OdDbObjectId& id : block->entityIds()) along.append(id);
        block->close();
    }
    for (const OdDbObjectId& id : along) {
        OdDbEntity* e = nullptr;
        if (oddbOpenOdDbEntity(e, id, OdDb::kForRead) != eOk) return false;
        const bool ok = Snapshot(e, states, depth + 1);
        e->close();
        if (!ok) return false;
    }
    return true;
}

std::shared_ptr<States> StatesOf(const OdDbEntity* ent)
{
    auto states = std::make_shared<States>();
    return Snapshot(ent, *states) ? states : nullptr;
}

void MoveBy(const OdDbObjectIdArray& ids, const OdGeVector3d& offset, KindCounts* notMoved = nullptr)
{
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) continue;
        std::shared_ptr<States> before = g_recording ? StatesOf(ent) : nullptr;
        if (ent->transformBy(OdGeMatrix3d::translation(offset)) == eOk)
            Record(UndoStep::kMoved, id, offset, std::move(before));
        else if (notMoved) ++(*notMoved)[KindName(ent)];
        ent->close();
    }
}

// Undoing or redoing a move: the values held are exchanged with the
// drawing's; without them the entity moves back by the offset.
void Exchange(const UndoStep& s, bool undo)
{
    if (!s.states) return MoveBy(OdDbObjectIdArray().append(s.id), undo ? -s.offset : s.offset);
    for (auto& h : s.states->held) OdDbDatabase::exchangeState(h.first, h.second);
}

// The host's editing commands leave out what is on a locked layer, and say
// how much that was.
OdDbObjectIdArray Unlocked(const OdDbObjectIdArray& ids)
{
    OdDbObjectIdArray kept;
    int locked = 0;
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        OdDbLayerTableRecord* layer = nullptr;
        bool isLocked = false;
        if (oddbOpenObject(layer, ent->layerId(), OdDb::kForRead) == eOk) {
            isLocked = layer->isLocked();
            layer->close();
        }
        ent->close();
        if (isLocked) ++locked;
        else kept.append(id);
    }
    if (locked) gcutPrintf(L"\n%d %s on a locked layer.", locked, locked == 1 ? L"was" : L"were");
    return kept;
}

void SetErased(const OdDbObjectId& id, bool erased)
{
    OdDbObject* obj = nullptr;
    if (oddbOpenObjectImpl(obj, id, OdDb::kForWrite, true) != eOk) return;
    obj->erase(erased);
    obj->close();
}

// ---- the commands ----

void Line(OdDbDatabase* db)
{
    OdGePoint3d from, to;
    int r = AskPoint(L"Specify first point: ", from);
    if (r == RTCAN) return Cancelled();
    if (r != RTNORM) return;
    while ((r = AskPoint(L"Specify next point: ", to, &from)) == RTNORM) {
        Append(db, new OdDbLine(from, to));
        from = to;
    }
    if (r == RTCAN) Cancelled();
}

void Point(OdDbDatabase* db)
{
    OdGePoint3d p;
    if (AskPoint(L"Specify a point: ", p) != RTNORM) return Cancelled();
    Append(db, new OdDbPoint(p));
}

void Text(OdDbDatabase* db)
{
    OdGePoint3d p;
    if (AskPoint(L"Specify start point of text: ", p) != RTNORM) return Cancelled();
    double height = 2.5;
    if (gcedGetReal(L"Specify height <2.5000>: ", &height) == RTCAN) return Cancelled();
    std::wstring text;
    if (!AskText(text)) return Cancelled();
    if (text.empty()) return;
    auto* t = new OdDbText(p, text.c_str());
    t->setHeight(height);
    Append(db, t);
}

void MText(OdDbDatabase* db)
{
    OdGePoint3d a, b;
    std::wstring text;
    if (!AskCorners(L"Specify first corner: ", L"Specify opposite corner: ", a, b) || !AskText(text))
        return Cancelled();
    if (text.empty()) return;
    auto* m = new OdDbMText();
    m->setLocation(a);
    m->setWidth(b.x > a.x ? b.x - a.x : a.x - b.x);
    m->setContents(text.c_str());
    Append(db, m);
}

void Rectang(OdDbDatabase* db)
{
    OdGePoint3d a, b;
    if (!AskCorners(L"Specify first corner point: ", L"Specify other corner point: ", a, b)) return Cancelled();
    auto* pl = new OdDbPolyline();
    pl->addVertexAt(0, OdGePoint2d(a.x, a.y));
    pl->addVertexAt(1, OdGePoint2d(b.x, a.y));
    pl->addVertexAt(2, OdGePoint2d(b.x, b.y));
    pl->addVertexAt(3, OdGePoint2d(a.x, b.y));
    pl->setClosed(true);
    Append(db, pl);
}

// Boundaries are closed polylines the user selects; one hatch each.
void Hatch(OdDbDatabase* db)
{
    OdDbObjectIdArray ids;
    if (!AskSelection(ids)) return Cancelled();
    for (const OdDbObjectId& id : ids) {
        OdDbPolyline* pl = nullptr;
        if (oddbOpenObject(pl, id, OdDb::kForRead) != eOk) continue;
        OdGePoint2dArray vertices;
        OdGeDoubleArray bulges;
        for (unsigned i = 0; i < pl->numVerts(); ++i) {
            OdGePoint2d p;
            pl->getPointAt(i, p);
            vertices.append(p);
            bulges.append(pl->getBulgeAt(i));
        }
        bool closed = pl->isClosed();
        pl->close();
        if (!closed || vertices.length() < 3) continue;
        auto* hatch = new OdDbHatch();
        hatch->appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, vertices, bulges);
        Append(db, hatch);
    }
}

void Erase(OdDbDatabase*)
{
    OdDbObjectIdArray ids;
    if (!AskSelection(ids)) return Cancelled();
    for (const OdDbObjectId& id : Unlocked(ids)) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) continue;
        if (ent->erase(true) == eOk) Record(UndoStep::kErased, id);
        ent->close();
    }
}

bool AskDisplacement(OdDbObjectIdArray& ids, OdGePoint3d& base)
{
    if (!AskSelection(ids)) return false;
    ids = Unlocked(ids);
    return AskPoint(L"Specify base point: ", base) == RTNORM;
}

// An associative hatch is associative no more: its loops keep their shapes
// and its boundary objects no longer name it.
void Dissociate(const OdDbObjectId& hatchId)
{
    OdDbHatch* hatch = nullptr;
    if (oddbOpenObject(hatch, hatchId, OdDb::kForWrite) != eOk) return;
    OdDbObjectIdArray boundary;
    if (!hatch->associative() || hatch->getAssocObjIds(boundary) != eOk) {
        hatch->close();
        return;
    }
    auto before = std::make_shared<States>();
    if (g_held.insert(hatchId).second) {
        before->held.push_back({hatchId, new OdDbHatch(*hatch)});
        hatch->copyTiesTo(*before->held.back().second);
    }
    hatch->takeCopiedBoundary([](OdDbObjectId) { return OdDbObjectId(); });
    hatch->setAssociative(false);
    hatch->close();
    Record(UndoStep::kChanged, hatchId, OdGeVector3d(), std::move(before));
    for (const OdDbObjectId& id : boundary) {
        OdDbObject* b = nullptr;
        if (oddbOpenObject(b, id, OdDb::kForWrite) != eOk) continue;
        const OdDbObjectIdArray& reactors = b->getPersistentReactors();
        const bool named = std::find(reactors.begin(), reactors.end(), hatchId) != reactors.end();
        if (named) b->removePersistentReactor(hatchId);
        b->close();
        if (named && g_recording) g_recording->steps.push_back({UndoStep::kUnreacted, id, hatchId, OdGeVector3d(), nullptr});
    }
}

// A hatch moved without its whole boundary, or a boundary moved without
// its hatch, would leave the hatch associated with what no longer bounds
// it: the association is dropped, as the host does.
void DissociateMovedApart(const OdDbObjectIdArray& moved)
{
    const std::set<OdDbObjectId> in(moved.begin(), moved.end());
    std::set<OdDbObjectId> apart;
    for (const OdDbObjectId& id : moved) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        OdDbObjectIdArray boundary;
        auto* hatch = OdRxCast<OdDbHatch>(ent);
        if (hatch && hatch->associative() && hatch->getAssocObjIds(boundary) == eOk)
            for (const OdDbObjectId& b : boundary)
                if (!in.count(b)) apart.insert(id);
        for (const OdDbObjectId& r : ent->getPersistentReactors()) {
            if (in.count(r)) continue;
            OdDbHatch* other = nullptr;
            if (oddbOpenObject(other, r, OdDb::kForRead) != eOk) continue;
            OdDbObjectIdArray its;
            if (other->associative() && other->getAssocObjIds(its) == eOk &&
                std::find(its.begin(), its.end(), id) != its.end())
                apart.insert(r);
            other->close();
        }
        ent->close();
    }
    for (const OdDbObjectId& id : apart) Dissociate(id);
}

void CopyAttributes(const OdDbEntity* source, OdDbEntity* copy);

// What a transformation would do to an entity and to what goes with it (its
// attributes, the graphics of its block), tried on copies that the drawing
// does not hold.
enum class Trial { kOk, kRefused, kOverflow };

Trial TryOn(OdDbEntity* copy, const OdGeMatrix3d& m)
{
    const unsigned long before = OdGeMovedOverflows();
    const OdResult res = copy->transformBy(m);
    delete copy;
    return res != eOk ? Trial::kRefused : OdGeMovedOverflows() != before ? Trial::kOverflow : Trial::kOk;
}

Trial TryTransform(const OdDbEntity* ent, const OdGeMatrix3d& m)
{
    OdDbEntity* copy = ent->clone();
    if (!copy) return Trial::kRefused;
    CopyAttributes(ent, copy);
    // The copy would move the block it shares with the entity: the block's
    // parts are tried one by one.
    OdDbObjectId graphics;
    if (auto* dim = OdRxCast<OdDbDimension>(copy)) {
        graphics = dim->dimBlockId();
        dim->setDimBlockId(OdDbObjectId());
    } else if (auto* kept = OdRxCast<OdDbProxyEntity>(copy)) {
        graphics = kept->geometryBlockId();
        kept->setGeometryBlockId(OdDbObjectId());
    }
    Trial t = TryOn(copy, m);
    OdDbBlockTableRecord* block = nullptr;
    if (t != Trial::kOk || graphics.isNull() || oddbOpenObject(block, graphics, OdDb::kForRead) != eOk) return t;
    for (const OdDbObjectId& id : block->entityIds()) {
        OdDbEntity* part = nullptr;
        if (t != Trial::kOk || oddbOpenOdDbEntity(part, id, OdDb::kForRead) != eOk) continue;
        OdDbEntity* partCopy = part->clone();
        part->close();
        if (partCopy) t = TryOn(partCopy, m);
    }
    block->close();
    return t;
}

// Tries every object by the vector first; when one of them refuses, or a
// coordinate would pass the largest number, names them by kind ("moved",
// "copied") and says `nothing`: the command then changes nothing there.
bool AllTransformable(const OdDbObjectIdArray& ids, const OdGeVector3d& by, const wchar_t* verb, const wchar_t* nothing)
{
    KindCounts refused, overflowing;
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        const Trial t = TryTransform(ent, OdGeMatrix3d::translation(by));
        if (t != Trial::kOk) ++(t == Trial::kRefused ? refused : overflowing)[KindName(ent)];
        ent->close();
    }
    if (refused.empty() && overflowing.empty()) return true;
    ReportNotTransformed(refused, verb);
    ReportNotTransformed(overflowing, verb, L" (a coordinate would pass the largest number)");
    gcutPrintf(nothing);
    return false;
}

void Move(OdDbDatabase*)
{
    OdDbObjectIdArray ids;
    OdGePoint3d base, to;
    if (!AskDisplacement(ids, base) || AskPoint(L"Specify second point: ", to, &base) != RTNORM) return Cancelled();
    // Every object is tried first: a move that one of them refuses moves none.
    if (!AllTransformable(ids, to - base, L"moved", L"\nNothing was moved.")) return;
    KindCounts notMoved;
    MoveBy(ids, to - base, &notMoved);
    if (to != base) DissociateMovedApart(ids);
    ReportNotTransformed(notMoved, L"moved");
}

// A copy of a block reference's attributes, held by the copy until it is
// added to the drawing.
void CopyAttributes(const OdDbEntity* source, OdDbEntity* copy)
{
    auto* from = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(source));
    auto* to = OdRxCast<OdDbBlockReference>(copy);
    if (!from || !to) return;
    OdDbObjectIterator* it = from->attributeIterator();
    if (!it) return;
    for (; !it->done(); it->step()) {
        OdDbAttribute* attr = nullptr;
        if (oddbOpenObject(attr, it->objectId(), OdDb::kForRead) != eOk) continue;
        auto* clone = new OdDbAttribute(*attr);
        attr->close();
        OdDbObjectId none;
        if (to->appendAttribute(none, clone) != eOk) delete clone;
    }
    delete it;
}

// What the attributes of a copied block reference own: their extension
// dictionaries, copied once they are in the drawing.
void CopyAttributeDictionaries(const OdDbEntity* source, const OdDbEntity* copy)
{
    auto* from = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(source));
    auto* to = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(copy));
    if (!from || !to) return;
    OdDbObjectIterator* a = from->attributeIterator();
    OdDbObjectIterator* b = to->attributeIterator();
    for (; a && b && !a->done() && !b->done(); a->step(), b->step()) {
        OdDbObject* s = nullptr;
        OdDbObject* c = nullptr;
        if (oddbOpenObject(s, a->objectId(), OdDb::kForRead) == eOk) {
            if (oddbOpenObject(c, b->objectId(), OdDb::kForWrite) == eOk) {
                CopyExtensionDictionary(s, c);
                c->close();
            }
            s->close();
        }
    }
    delete a;
    delete b;
}

// A copied associative hatch follows the copy of its boundary when that was
// copied with it, and is associative no more when it was not.
void AssociateCopiedHatches(const std::map<OdDbObjectId, OdDbObjectId>& copies)
{
    auto copyOf = [&](OdDbObjectId id) {
        auto it = copies.find(id);
        return it == copies.end() ? OdDbObjectId() : it->second;
    };
    for (const auto& [source, copyId] : copies) {
        OdDbHatch* hatch = nullptr;
        if (oddbOpenObject(hatch, copyId, OdDb::kForWrite) != eOk) continue;
        OdDbObjectIdArray boundary;
        if (hatch->associative() && hatch->getAssocObjIds(boundary) == eOk && !boundary.isEmpty()) {
            hatch->takeCopiedBoundary(copyOf);
            hatch->getAssocObjIds(boundary);
            for (const OdDbObjectId& id : boundary) {
                OdDbObject* b = nullptr;
                if (oddbOpenObject(b, id, OdDb::kForWrite) != eOk) continue;
                b->addPersistentReactor(copyId);
                b->close();
            }
        }
        hatch->close();
    }
}

// A copied dimension has graphics of its own, as the source's are its:
// a new anonymous block of copies of them, which move with the copy.
void CopyDimensionBlock(OdDbDatabase* db, const OdDbEntity* source, OdDbEntity* copy)
{
    auto* from = OdRxCast<OdDbDimension>(const_cast<OdDbEntity*>(source));
    auto* to = OdRxCast<OdDbDimension>(copy);
    // A record kept as the file gave it may have one too (an ARC_DIMENSION).
    auto* keptFrom = OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(source));
    auto* keptTo = OdRxCast<OdDbProxyEntity>(copy);
    const OdDbObjectId sourceBlock = from && to           ? from->dimBlockId()
                                     : keptFrom && keptTo ? keptFrom->geometryBlockId()
                                                          : OdDbObjectId();
    OdDbBlockTableRecord* block = nullptr;
    if (sourceBlock.isNull() || oddbOpenObject(block, sourceBlock, OdDb::kForRead) != eOk) return;
    const std::vector<OdDbObjectId> parts = block->entityIds();
    block->close();
    OdDbSymbolTable* table = nullptr;
    if (oddbOpenObject(table, db->getBlockTableId(), OdDb::kForWrite) != eOk) return;
    std::wstring name;
    for (int n = 1; name.empty() || table->has(name.c_str()); ++n) name = L"*D" + std::to_wstring(n);
    auto* made = new OdDbBlockTableRecord();
    made->setName(name.c_str());
    OdDbObjectId madeId;
    if (table->add(madeId, made) != eOk) {
        delete made;
        table->close();
        return;
    }
    table->close();
    // UNDO erases the block with its copy.
    Record(UndoStep::kCreated, madeId);
    for (const OdDbObjectId& id : parts) {
        OdDbEntity* part = nullptr;
        if (oddbOpenOdDbEntity(part, id, OdDb::kForRead) != eOk) continue;
        OdDbEntity* c = part->clone();
        part->close();
        OdDbObjectId cid;
        if (c && made->appendOdDbEntity(cid, c) == eOk) {
            c->close();
            Record(UndoStep::kCreated, cid);
        } else {
            delete c;
        }
    }
    made->close();
    if (to) to->setDimBlockId(madeId);
    else keptTo->setGeometryBlockId(madeId);
}

// A copied record kept as the file gave it, and a copy's extended data,
// name the copies of the entities they name (a LEADER its annotation's, a
// text its columns) when they were copied with it, and none of the
// originals; an annotation copied with its leader
// names the copied leader.
void FollowCopiedReferences(const std::map<OdDbObjectId, OdDbObjectId>& copies)
{
    auto copyOf = [&](OdDbObjectId id) {
        auto it = copies.find(id);
        return it == copies.end() ? OdDbObjectId() : it->second;
    };
    for (const auto& [source, copyId] : copies) {
        OdDbObject* copy = nullptr;
        if (oddbOpenObject(copy, copyId, OdDb::kForWrite) == eOk) {
            standin::FollowCopiedData(copy, copyOf);
            copy->close();
        }
        OdDbProxyEntity* kept = nullptr;
        if (oddbOpenObject(kept, copyId, OdDb::kForWrite) != eOk) continue;
        kept->takeCopiedReferences(copyOf);
        kept->close();
        // What named the source as a reactor and was copied with it names
        // the copy.
        for (const auto& [other, otherCopy] : copies) {
            OdDbObject* o = nullptr;
            if (oddbOpenObject(o, other, OdDb::kForRead) != eOk) continue;
            const OdDbObjectIdArray& reactors = o->getPersistentReactors();
            const bool names = std::find(reactors.begin(), reactors.end(), source) != reactors.end();
            o->close();
            OdDbObject* c = nullptr;
            if (names && oddbOpenObject(c, otherCopy, OdDb::kForWrite) == eOk) {
                c->addPersistentReactor(copyId);
                c->close();
            }
        }
    }
}

// Copies until the user presses Enter.
void Copy(OdDbDatabase* db)
{
    OdDbObjectIdArray ids;
    OdGePoint3d base, to;
    if (!AskDisplacement(ids, base)) return Cancelled();
    int r;
    KindCounts notCopied;
    // What could not be copied is counted once, however many copies were asked.
    std::set<OdDbObjectId> refused;
    while ((r = AskPoint(L"Specify second point <exit>: ", to, &base)) == RTNORM) {
        // Every object is tried first: a copy that one of them refuses, or
        // that would put a coordinate past the largest number, makes none
        // (the command then fails, whatever the other points make).
        if (!AllTransformable(ids, to - base, L"copied", L"\nNothing was copied to that point.")) continue;
        std::map<OdDbObjectId, OdDbObjectId> copies;
        for (const OdDbObjectId& id : ids) {
            OdDbEntity* source = nullptr;
            if (oddbOpenOdDbEntity(source, id, OdDb::kForRead) != eOk) continue;
            OdDbEntity* copy = source->clone();
            if (copy) CopyAttributes(source, copy);
            if (copy) CopyDimensionBlock(db, source, copy);
            // A copy left where its source is would be no copy.
            if (!copy || copy->transformBy(OdGeMatrix3d::translation(to - base)) != eOk) {
                if (refused.insert(id).second) ++notCopied[KindName(source)];
                delete copy;
                source->close();
                continue;
            }
            OdDbBlockTableRecord* ms = nullptr;
            OdDbObjectId copyId;
            if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) == eOk &&
                ms->appendOdDbEntity(copyId, copy) == eOk) {
                CopyExtensionDictionary(source, copy);
                CopyAttributeDictionaries(source, copy);
                copy->close();
                Record(UndoStep::kCreated, copyId);
                copies[id] = copyId;
                std::vector<OdDbObjectId> owned;
                std::vector<std::pair<OdDbObjectId, OdDbObjectId>> reacted;
                standin::CopyOwnedRecords(id, copyId, owned, reacted);
                for (const OdDbObjectId& o : owned) Record(UndoStep::kCreated, o);
                for (const auto& [o, reactor] : reacted)
                    if (g_recording) g_recording->steps.push_back({UndoStep::kReacted, o, reactor, OdGeVector3d(), nullptr});
            } else {
                delete copy;
            }
            if (ms) ms->close();
            source->close();
        }
        AssociateCopiedHatches(copies);
        FollowCopiedReferences(copies);
    }
    ReportNotTransformed(notCopied, L"copied");
    if (r == RTCAN) Cancelled();
}

// Undoing takes the last group off `from`, reverses its steps in reverse
// order and keeps it in `to`; redoing plays a group forward again.
void Replay(bool undo)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return;
    UndoHistory& h = g_history[doc];
    std::vector<UndoGroup>& from = undo ? h.done : h.undone;
    std::vector<UndoGroup>& to = undo ? h.undone : h.done;
    if (from.empty()) return;
    UndoGroup group = std::move(from.back());
    from.pop_back();
    const size_t n = group.steps.size();
    for (size_t i = 0; i < n; ++i) {
        const UndoStep& s = group.steps[undo ? n - 1 - i : i];
        if (s.kind == UndoStep::kCreated) SetErased(s.id, undo);
        if (s.kind == UndoStep::kErased) SetErased(s.id, !undo);
        if (s.kind == UndoStep::kMoved || s.kind == UndoStep::kChanged) Exchange(s, undo);
        if (s.kind == UndoStep::kCurrentLayer) doc->database()->setClayer(undo ? s.other : s.id);
        if (s.kind == UndoStep::kUnreacted || s.kind == UndoStep::kReacted) {
            OdDbObject* o = nullptr;
            if (oddbOpenObject(o, s.id, OdDb::kForWrite) != eOk) continue;
            if (undo == (s.kind == UndoStep::kUnreacted)) o->addPersistentReactor(s.other);
            else o->removePersistentReactor(s.other);
            o->close();
        }
    }
    doc->database()->setHandseed(undo ? group.seedBefore : group.seedAfter);
    to.push_back(std::move(group));
}

void Undo() { Replay(true); }
void Redo() { Replay(false); }

void Quit()
{
    GcApDocManager* m = gcDocManagerPtr();
    while (m->documentCount() > 0) m->close(m->documentAt(m->documentCount() - 1));
}

void AppLoad()
{
    wchar_t path[1024];
    if (gcedGetString(1, L"Enter the application to load: ", path, 1024) != RTNORM || !path[0]) return Cancelled();
    bool loaded = g_appLoader ? g_appLoader(path) : odrxDynamicLinker()->loadModule(path) != nullptr;
    if (!loaded) Failed();
}

// IMAGEFRAME: whether image frames are shown (0 no, 1 shown and plotted,
// 2 shown, not plotted).
void ImageFrame()
{
    gcedInitGet(RSG_NONULL, nullptr);
    double value = 0;
    const std::wstring prompt =
        L"Enter new value for IMAGEFRAME <" + std::to_wstring(standin::SysVarShort(L"IMAGEFRAME")) + L">: ";
    const int r = gcedGetReal(prompt.c_str(), &value);
    if (r == RTCAN) return Cancelled();
    if (r != RTNORM || !(value >= 0 && value <= 2) || value != (int)value) {
        gcutPrintf(L"\nRequires an integer between 0 and 2.");
        return Failed();
    }
    standin::SetSysVarShort(L"IMAGEFRAME", (short)value);
}

// The view: centre and height in drawing units.
void ShowView(const OdGePoint3d& centre, double height)
{
    standin::SetSysVarPoint(L"VIEWCTR", centre);
    standin::SetSysVarReal(L"VIEWSIZE", height);
    standin::FireViewChanged();
}

// The height of a view that shows the box whole in the window.
double FittingHeight(double width, double height)
{
    const OdGePoint3d screen = standin::SysVarPoint(L"SCREENSIZE");
    const double aspect = screen.x > 0 && screen.y > 0 ? screen.x / screen.y : 1.0;
    return std::max(height, width / aspect);
}

// ZOOM Center (a point and a height), Window (two corners) or Extents
// (model space).
void Zoom()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return Failed();
    gcedInitGet(0, L"Center Extents Window");
    wchar_t option[32];
    const int r = gcedGetKword(L"Enter an option [Center/Extents/Window] <Extents>: ", option, 32);
    if (r == RTCAN || r == RTERROR) return Cancelled();
    const std::wstring chosen = r == RTNONE ? L"Extents" : option;
    if (chosen == L"Center") {
        OdGePoint3d centre;
        if (AskPoint(L"Specify center point: ", centre) != RTNORM) return Cancelled();
        double height = standin::SysVarReal(L"VIEWSIZE");
        gcedInitGet(0, nullptr);
        if (gcedGetReal(L"Enter height: ", &height) == RTCAN) return Cancelled();
        if (!(height > 0)) return Failed();
        return ShowView(centre, height);
    }
    OdGePoint3d a, b;
    if (chosen == L"Window") {
        if (!AskCorners(L"Specify first corner: ", L"Specify opposite corner: ", a, b)) return Cancelled();
    } else {
        OdGeExtents3d box;
        OdDbBlockTableRecord* ms = nullptr;
        if (oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForRead) == eOk) {
            for (const OdDbObjectId& id : ms->entityIds()) {
                OdDbEntity* e = nullptr;
                if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
                OdGeExtents3d ext;
                if (e->getGeomExtents(ext) == eOk && ext.isValidExtents()) box.addExt(ext);
                e->close();
            }
            ms->close();
        }
        if (!box.isValidExtents()) return;  // nothing to show: the view stays
        a = box.minPoint();
        b = box.maxPoint();
    }
    const double w = std::fabs(b.x - a.x), h = std::fabs(b.y - a.y);
    if (w <= 0 && h <= 0) return Failed();
    ShowView(OdGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2, 0), FittingHeight(w, h));
}

OdDbObjectId FindLayer(OdDbDatabase* db, const std::wstring& name)
{
    OdDbSymbolTable* table = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(table, db->getLayerTableId(), OdDb::kForRead) != eOk) return id;
    table->getAt(name.c_str(), id);
    table->close();
    return id;
}

// -LAYER: Make (made when missing, then current), Set (current), New,
// ON and OFF, Lock and Unlock, Freeze and Thaw, until Enter. What it does
// to a layer's state is undone with the command.
void Layer(OdDbDatabase* db)
{
    while (true) {
        gcedInitGet(0, L"Make Set New ON OFF Lock Unlock Freeze Thaw");
        wchar_t option[32];
        const int r = gcedGetKword(L"Enter an option [Make/Set/New/ON/OFF/Lock/Unlock/Freeze/Thaw]: ", option, 32);
        if (r == RTNONE) return;
        if (r != RTNORM) return Cancelled();
        wchar_t typed[256];
        if (gcedGetString(1, L"Enter layer name: ", typed, 256) != RTNORM) return Cancelled();
        const std::wstring name = typed, chosen = option;
        if (name.empty()) continue;
        OdDbObjectId id = FindLayer(db, name);
        if (id.isNull() && (chosen == L"Make" || chosen == L"New")) {
            OdDbSymbolTable* table = nullptr;
            if (oddbOpenObject(table, db->getLayerTableId(), OdDb::kForWrite) != eOk) return Failed();
            auto* layer = new OdDbLayerTableRecord();
            layer->setName(name.c_str());
            if (table->add(id, layer) == eOk) {
                layer->close();
                Record(UndoStep::kCreated, id);
            } else {
                delete layer;
            }
            table->close();
        }
        if (id.isNull()) {
            gcutPrintf(L"\nCannot find layer \"%s\".", name.c_str());
            return Failed();
        }
        if (chosen == L"Make" || chosen == L"Set") {
            OdDbLayerTableRecord* layer = nullptr;
            bool frozen = false;
            if (oddbOpenObject(layer, id, OdDb::kForRead) == eOk) {
                frozen = layer->isFrozen();
                layer->close();
            }
            // As the current layer cannot be frozen, a frozen one cannot
            // be made current.
            if (frozen) {
                gcutPrintf(L"\nCannot set frozen layer \"%s\" current.", name.c_str());
                return Failed();
            }
            if (g_recording && id != db->clayer())
                g_recording->steps.push_back({UndoStep::kCurrentLayer, id, db->clayer(), OdGeVector3d(), nullptr});
            db->setClayer(id);
        } else if (chosen == L"ON" || chosen == L"OFF") {
            OdDbLayerTableRecord* layer = nullptr;
            if (oddbOpenObject(layer, id, OdDb::kForWrite) != eOk) return Failed();
            auto before = std::make_shared<States>();
            if (g_held.insert(id).second) {
                before->held.push_back({id, new OdDbLayerTableRecord(*layer)});
                layer->copyTiesTo(*before->held.back().second);
            }
            layer->setIsOff(chosen == L"OFF");
            layer->close();
            Record(UndoStep::kChanged, id, OdGeVector3d(), std::move(before));
        } else if (chosen == L"Lock" || chosen == L"Unlock" || chosen == L"Freeze" || chosen == L"Thaw") {
            // The current layer cannot be frozen.
            if (chosen == L"Freeze" && id == db->clayer()) {
                gcutPrintf(L"\nCannot freeze layer \"%s\". It is the CURRENT layer.", name.c_str());
                return Failed();
            }
            OdDbLayerTableRecord* layer = nullptr;
            if (oddbOpenObject(layer, id, OdDb::kForWrite) != eOk) return Failed();
            auto before = std::make_shared<States>();
            if (g_held.insert(id).second) {
                before->held.push_back({id, new OdDbLayerTableRecord(*layer)});
                layer->copyTiesTo(*before->held.back().second);
            }
            if (chosen == L"Lock" || chosen == L"Unlock") layer->setIsLocked(chosen == L"Lock");
            else layer->setIsFrozen(chosen == L"Freeze");
            layer->close();
            Record(UndoStep::kChanged, id, OdGeVector3d(), std::move(before));
        }
    }
}

template <void (*Body)(OdDbDatabase*)>
void Changes()
{
    Changing(Body);
}

}  // namespace

namespace standin {

GcRxFunctionPtr EditHostCommand(const std::wstring& name)
{
    static const HostCommandEntry kCommands[] = {
        {L"LINE", Changes<Line>},   {L"POINT", Changes<Point>}, {L"TEXT", Changes<Text>},
        {L"DTEXT", Changes<Text>},  {L"MTEXT", Changes<MText>}, {L"RECTANG", Changes<Rectang>},
        {L"HATCH", Changes<Hatch>}, {L"BHATCH", Changes<Hatch>}, {L"ERASE", Changes<Erase>},
        {L"MOVE", Changes<Move>},   {L"COPY", Changes<Copy>},   {L"UNDO", Undo},
        {L"REDO", Redo},            {L"QUIT", Quit},            {L"APPLOAD", AppLoad},
        {L"IMAGEFRAME", ImageFrame}, {L"ZOOM", Zoom},          {L"-LAYER", Changes<Layer>},
        {L"LAYER", Changes<Layer>}};
    return FindHostCommand(kCommands, sizeof kCommands / sizeof kCommands[0], name);
}

void ForgetDocumentHistory(const GcApDocument* doc)
{
    g_history.erase(doc);
    if (g_open && g_open->doc == doc) {
        g_open.reset();
        g_recording = nullptr;
        g_held.clear();
        OdDbDatabase::setUndoHooks(nullptr, nullptr);
    }
}

void CloseUndoGroup(int depth)
{
    if (!g_open || g_open->depth != depth) return;
    OdDbDatabase::setUndoHooks(nullptr, nullptr);
    g_recording = nullptr;
    g_held.clear();
    std::unique_ptr<OpenGroup> open = std::move(g_open);
    const GcApDocument* doc = open->doc;
    GcApDocManager* m = gcDocManagerPtr();
    bool alive = false;
    for (int i = 0; i < m->documentCount(); ++i) alive = alive || m->documentAt(i) == doc;
    if (!alive) return;
    UndoGroup& group = open->group;
    group.seedAfter = const_cast<GcApDocument*>(doc)->database()->handseed();
    if (group.steps.empty()) return;
    UndoHistory& h = g_history[doc];
    h.done.push_back(std::move(group));
    h.undone.clear();
}

size_t UndoDepth(const GcApDocument* doc, bool redo)
{
    auto it = g_history.find(doc);
    return it == g_history.end() ? 0 : redo ? it->second.undone.size() : it->second.done.size();
}

void SetAppLoader(std::function<bool(const std::wstring&)> loader) { g_appLoader = std::move(loader); }

}  // namespace standin
