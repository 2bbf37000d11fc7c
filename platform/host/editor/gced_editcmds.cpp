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

#include "block_graphics.h"
#include "db_undo.h"
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

// A move of a command: the entities in the order it moved them, its vector,
// and each coordinate it changed as it was (OdGeMoveJournal), which is all
// undo needs to put them back exactly: redo moves them again, which gives
// the very values the command gave.
struct MoveRecord {
    std::vector<OdDbObjectId> ids;
    OdGeVector3d offset;
    std::vector<double> before;
    std::vector<uint32_t> places;  // groups the move put in (OdGeMoveJournal)
};

// One reversible change of a step.
struct UndoStep {
    // kChanged: `state` is the object's whole state before the change, a
    // copy holding what only the object may name too
    // (OdDbObject::copyTiesTo), which undo and redo exchange with the
    // drawing's; kUnreacted: `id` no longer names `other` as a reactor;
    // kReacted: it names it now; kCurrentLayer: `id` became the current
    // layer instead of `other`.
    enum Kind : uint8_t { kCreated, kErased, kMoved, kChanged, kUnreacted, kReacted, kCurrentLayer } kind;
    OdDbObjectId id;
    OdDbObjectId other;
    std::unique_ptr<OdDbObject> state;  // kChanged
    std::unique_ptr<MoveRecord> move;   // kMoved
    // kChanged, kCreated: the object's erased flag before the change (a
    // made object was not there) and where the step left it, which undo
    // and redo give it with its state.
    bool erasedBefore = false, erasedAfter = false;
};

// The drawing's header values a step may change.
struct HeaderState {
    OdDbObjectId clayer, textstyle;
    double ltscale = 1;
};

HeaderState CurrentHeader(OdDbDatabase* db) { return {db->clayer(), db->textstyle(), db->getLTSCALE()}; }

void SetHeader(OdDbDatabase* db, const HeaderState& h)
{
    if (db->clayer() != h.clayer && !h.clayer.isErased()) db->setClayer(h.clayer);
    if (db->textstyle() != h.textstyle && !h.textstyle.isErased()) db->setTextstyle(h.textstyle);
    if (db->getLTSCALE() != h.ltscale) db->setLTSCALE(h.ltscale);
}

// What a command sets of the editor that undo puts back: the view and
// IMAGEFRAME.
struct EditorState {
    OdGePoint3d centre;
    double height = 0;
    short imageFrame = 0;
    bool sameView(const EditorState& o) const { return centre == o.centre && height == o.height; }
};

EditorState CurrentEditorState()
{
    return {standin::SysVarPoint(L"VIEWCTR"), standin::SysVarReal(L"VIEWSIZE"), standin::SysVarShort(L"IMAGEFRAME")};
}

// Puts back `to` where the command changed it (`other` is the state at
// its other end); a view put back is told to the editor's reactors as
// every change of the view is.
void SetEditorState(const EditorState& to, const EditorState& other)
{
    if (to.imageFrame != other.imageFrame) standin::SetSysVarShort(L"IMAGEFRAME", to.imageFrame);
    if (to.sameView(other)) return;
    standin::SetSysVarPoint(L"VIEWCTR", to.centre);
    standin::SetSysVarReal(L"VIEWSIZE", to.height);
    standin::FireViewChanged();
}

// A command's steps, named by the command; the drawing's handle seed and
// the editor's state before and after it, which undo and redo put back
// with them so that a save after an undo writes what it wrote before the
// command.
struct UndoGroup {
    std::wstring command;
    std::vector<UndoStep> steps;
    uint64_t seedBefore = 0, seedAfter = 0;
    EditorState before, after;
    HeaderState headerBefore, headerAfter;
    uint64_t changesBefore = 0;  // OdDbDatabase::changeCount
};

struct UndoHistory {
    std::vector<UndoGroup> done;
    std::vector<UndoGroup> undone;
    // The blocks of graphics made for copies (of dimensions), which go
    // with their copy.
    std::set<OdDbObjectId> madeBlocks;
};

std::map<const GcApDocument*, UndoHistory> g_history;
// The step being recorded: a command's, kept open until the reactors heard
// that it ended (what they change then is undone with it); a document
// locked under a command name, until the lock ends; or the changes made
// outside any command, until the next command, UNDO or REDO.
struct OpenGroup {
    GcApDocument* doc = nullptr;
    int depth = 0;  // the command's (standin::CommandDepth); 0 for the others
    int lockLevel = -1;  // the document's lock count under a named lock
    bool outside = false;
    UndoGroup group;
    // The objects of the drawing whose whole state before the step (or
    // since the move that last reached them) the group keeps, with their
    // entry in it.
    std::map<OdDbObjectId, size_t> held;
};
std::unique_ptr<OpenGroup> g_open;
// What the step open changes of other documents' drawings: a step of each
// of them, of its name, that ends with it.
std::vector<std::unique_ptr<OpenGroup>> g_others;
// Above 0 while nothing is recorded: UNDO and REDO putting states back, the
// commands that open and close drawings, a drawing being opened.
int g_quiet = 0;
int g_quietDepth = 0;  // the command that made it quiet (standin::CommandDepth)
// What a step of its own keeps now: what the move running reaches, an
// entity being erased.
std::set<OdDbObjectId> g_keptOtherwise;
std::function<bool(const std::wstring&)> g_appLoader;

void StopRecording()
{
    g_open.reset();
    g_others.clear();
    g_keptOtherwise.clear();
}

standin::ResetHook g_reset([] {
    g_history.clear();
    StopRecording();
    g_quiet = g_quietDepth = 0;
    g_appLoader = nullptr;
});

// The entry of a held object gets the erased flag the object has now, as
// its state after the step (or after what came before the move that
// reaches it next).
void Release(OpenGroup& open, std::map<OdDbObjectId, size_t>::iterator it)
{
    if (it->second >= open.group.steps.size()) return;
    open.group.steps[it->second].erasedAfter = it->first.isErased();
}

// What no step can bring back any more goes: the redo branch a new step
// drops, and the objects only its steps made, freed.
void DropRedo(UndoHistory& h, OdDbDatabase* db)
{
    std::vector<OdDbObjectId> made;
    for (const UndoGroup& g : h.undone)
        for (const UndoStep& s : g.steps)
            if (s.kind == UndoStep::kCreated) made.push_back(s.id);
    h.undone.clear();
    h.undone.shrink_to_fit();
    // Last made first: what an object owns goes before it.
    size_t freed = 0;
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        h.madeBlocks.erase(*it);
        freed += db->freeErasedObject(*it);
    }
    // The record of erasures would otherwise grow with every cycle of
    // making, undoing and dropping.
    if (freed) db->restartRecords();
}

std::unique_ptr<OpenGroup> NewGroup(GcApDocument* doc, const std::wstring& command, int depth, bool outside)
{
    auto open = std::make_unique<OpenGroup>();
    open->doc = doc;
    open->depth = depth;
    open->outside = outside;
    open->group.command = command;
    open->group.seedBefore = doc->database()->handseed();
    open->group.before = CurrentEditorState();
    open->group.headerBefore = CurrentHeader(doc->database());
    open->group.changesBefore = doc->database()->changeCount();
    return open;
}

// A step kept only once it changed the drawing: changes outside a command,
// a document locked under a command name (the module's timer locks and
// often changes nothing), another document's drawing a command changes.
bool KeptIfChanged(const OpenGroup& open) { return open.outside || open.lockLevel >= 0 || &open != g_open.get(); }

void StartGroup(GcApDocument* doc, const std::wstring& command, int depth, bool outside, int lockLevel = -1)
{
    g_open = NewGroup(doc, command, depth, outside);
    g_open->lockLevel = lockLevel;
    g_others.clear();
    g_keptOtherwise.clear();
    // A new command leaves nothing to redo; what only the redo branch could
    // bring back is freed before the command makes anything, so that what
    // it makes may take the handles again. The other steps drop it once
    // they changed something.
    if (!KeptIfChanged(*g_open)) DropRedo(g_history[doc], doc->database());
}

// Keeps a step that ended in its document's history.
void Keep(OpenGroup& open, bool keptIfChanged, bool ownDocument)
{
    for (auto it = open.held.begin(); it != open.held.end(); ++it) Release(open, it);
    GcApDocument* doc = open.doc;
    GcApDocManager* m = gcDocManagerPtr();
    bool alive = false;
    for (int i = 0; i < m->documentCount(); ++i) alive = alive || m->documentAt(i) == doc;
    if (!alive) return;
    UndoGroup& group = open.group;
    group.seedAfter = doc->database()->handseed();
    // The view is the current document's: another drawing's step has none.
    group.after = ownDocument ? CurrentEditorState() : group.before;
    group.headerAfter = CurrentHeader(doc->database());
    group.steps.shrink_to_fit();
    UndoHistory& h = g_history[doc];
    if (keptIfChanged) {
        // Code that opened objects for write and changed none made no step;
        // one still open may change it yet.
        bool open = false;
        for (const UndoStep& s : group.steps) {
            const OdDbStub* stub = s.id.stub();
            open = open || (stub && stub->object && stub->object->isWriteEnabled());
        }
        if (!open && doc->database()->changeCount() == group.changesBefore) return;
        DropRedo(h, doc->database());
    }
    h.done.push_back(std::move(group));
}

// Ends the step being recorded, and the steps of the other drawings it
// changed, and keeps them in their documents' histories.
void CloseGroup()
{
    if (!g_open) return;
    const bool keptIfChanged = KeptIfChanged(*g_open);
    std::unique_ptr<OpenGroup> open = std::move(g_open);
    std::vector<std::unique_ptr<OpenGroup>> others = std::move(g_others);
    StopRecording();
    Keep(*open, keptIfChanged, true);
    for (auto& other : others) Keep(*other, true, false);
}

void CloseOutsideGroup()
{
    if (g_open && g_open->outside) CloseGroup();
}

// The name of the step of the changes made outside any command.
const wchar_t kOutsideStep[] = L"Changes outside a command";

// The group that records a change of the database: the step open for its
// document; for another document's drawing, that drawing's step of the
// open step's name (a command's, a named lock's, the changes outside a
// command); or a new step of the changes made outside any command. Null
// when nothing is recorded (UNDO at work, a database of no document).
OpenGroup* RecordingFor(OdDbDatabase* db)
{
    if (g_quiet || !db) return nullptr;
    if (g_open && g_open->doc->database() == db) return g_open.get();
    GcApDocument* doc = gcDocManagerPtr()->document(db);
    if (!doc) return nullptr;
    if (g_open) {
        for (auto& other : g_others)
            if (other->doc == doc) return other.get();
        g_others.push_back(NewGroup(doc, g_open->group.command, 0, g_open->outside));
        return g_others.back().get();
    }
    StartGroup(doc, kOutsideStep, 0, true);
    return g_open.get();
}

// The step open for the document's drawing, its own or another's.
const OpenGroup* OpenFor(const GcApDocument* doc)
{
    if (g_open && g_open->doc == doc) return g_open.get();
    for (const auto& other : g_others)
        if (other->doc == doc) return other.get();
    return nullptr;
}

void Cancelled() { standin::SetCommandOutcome(standin::CommandOutcome::kCancelled); }
void Failed() { standin::SetCommandOutcome(standin::CommandOutcome::kFailed); }

// Records a change of the object's drawing in that drawing's step.
void Record(UndoStep::Kind kind, OdDbObjectId id, OdDbObjectId other = OdDbObjectId())
{
    OpenGroup* open = RecordingFor(id.database());
    // What the database added it recorded as made already.
    if (!open || (kind == UndoStep::kCreated && open->held.count(id))) return;
    open->group.steps.push_back({kind, id, other, nullptr, nullptr});
}

// Whatever is opened for write, by a command, a reactor that hears it, an
// application under a locked document or outside any command, is kept as
// it was before the step first changed it, its erased flag included,
// unless a step of its own keeps the change (a move, an erasure); what is
// added UNDO erases.
void KeepBeforeWrite(OdDbObject* o)
{
    if (o->isNewObject()) return;
    OpenGroup* open = RecordingFor(o->database());
    if (!open || g_keptOtherwise.count(o->objectId()) || open->held.count(o->objectId())) return;
    OdDbObject* copy = standin::StateCopy(o);
    if (!copy) return;
    UndoGroup* g = &open->group;
    open->held.emplace(o->objectId(), g->steps.size());
    g->steps.push_back({UndoStep::kChanged, o->objectId(), OdDbObjectId(), std::unique_ptr<OdDbObject>(copy), nullptr});
    g->steps.back().erasedBefore = o->isErased();
}

void NoteAdded(OdDbObject* o)
{
    OpenGroup* open = RecordingFor(o->database());
    if (!open) return;
    UndoGroup* g = &open->group;
    open->held[o->objectId()] = g->steps.size();
    g->steps.push_back({UndoStep::kCreated, o->objectId(), OdDbObjectId(), nullptr, nullptr});
    g->steps.back().erasedBefore = true;
}

// A header value about to change opens a step outside a command, which
// keeps the values before it.
void NoteHeaderChange(OdDbDatabase* db) { RecordingFor(db); }

// The hooks stay set: the database's changes are recorded whoever makes
// them.
struct SetHooks {
    SetHooks() { OdDbDatabase::setUndoHooks(KeepBeforeWrite, NoteAdded, NoteHeaderChange); }
} g_setHooks;

// Runs a command body that changes the current drawing, in the undo group
// the command opened (standin::OpenUndoGroup).
void Changing(void (*body)(OdDbDatabase*))
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return Failed();
    body(doc->database());
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

// Visits what a move of the entity changes: the entity, its attributes,
// the entities of the graphics block it moves and what moving those
// reaches; a block in `blocks` (moved already by the same move) is passed
// over, as the move passes it over. False when the blocks nest deeper than
// a move goes.
bool ForEachMoved(const OdDbEntity* ent, std::set<OdDbObjectId>& blocks,
                  const std::function<void(const OdDbEntity*)>& visit)
{
    constexpr int kDeepest = 16;
    std::vector<std::pair<OdDbObjectId, int>> todo;
    auto along = [&](const OdDbEntity* e, int depth) {
        if (auto* ref = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(e))) {
            OdDbObjectIterator* it = ref->attributeIterator();
            for (; it && !it->done(); it->step()) todo.push_back({it->objectId(), depth});
            delete it;
        }
        const OdDbObjectId graphics = standin::MovedGraphicsBlock(e);
        OdDbBlockTableRecord* block = nullptr;
        if (graphics.isNull() || !blocks.insert(graphics).second ||
            oddbOpenObject(block, graphics, OdDb::kForRead) != eOk)
            return;
        for (const OdDbObjectId& id : block->entityIds()) todo.push_back({id, depth + 1});
        block->close();
    };
    visit(ent);
    along(ent, 0);
    while (!todo.empty()) {
        const auto [id, depth] = todo.back();
        todo.pop_back();
        if (depth > kDeepest) return false;
        OdDbEntity* e = nullptr;
        if (oddbOpenOdDbEntity(e, id, OdDb::kForRead) != eOk) continue;
        visit(e);
        along(e, depth);
        e->close();
    }
    return true;
}

// Moves each entity by the vector, with what moving it reaches (its
// attributes, the graphics block it moves, once however many of them name
// it), and counts those that refuse. A command's record keeps the values
// the move changed, not copies of what it moved.
void MoveEach(const OdDbObjectIdArray& ids, const OdGeVector3d& offset, KindCounts* notMoved = nullptr)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    OpenGroup* open = doc ? RecordingFor(doc->database()) : nullptr;
    std::unique_ptr<MoveRecord> record(open ? new MoveRecord{{}, offset, {}, {}} : nullptr);
    standin::MoveEachBlockOnce once;
    std::set<OdDbObjectId> reachedBlocks;
    const OdGeMatrix3d m = OdGeMatrix3d::translation(offset);
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* ent = nullptr;
        if (record && oddbOpenOdDbEntity(ent, id, OdDb::kForRead) == eOk) {
            ForEachMoved(ent, reachedBlocks, [](const OdDbEntity* e) { g_keptOtherwise.insert(e->objectId()); });
            ent->close();
        }
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) continue;
        OdGeMoveJournal journal;
        if (record) {
            journal.kept = &record->before;
            journal.keptPlaces = &record->places;
            g_odgeMoveJournal = &journal;
        }
        const size_t mark = record ? record->before.size() : 0;
        const size_t placesMark = record ? record->places.size() : 0;
        const OdResult res = ent->transformBy(m);
        g_odgeMoveJournal = nullptr;
        if (record && res == eOk) {
            record->ids.push_back(id);
        } else if (record) {
            record->before.resize(mark);
            record->places.resize(placesMark);
        }
        if (res != eOk && notMoved) ++(*notMoved)[KindName(ent)];
        ent->close();
        // A later change of what moved keeps its state after the move.
        for (const OdDbObjectId& moved : g_keptOtherwise) {
            if (!open) break;
            auto held = open->held.find(moved);
            if (held == open->held.end()) continue;
            Release(*open, held);
            open->held.erase(held);
        }
        g_keptOtherwise.clear();
    }
    if (!record || record->ids.empty()) return;
    record->ids.shrink_to_fit();
    record->before.shrink_to_fit();
    record->places.shrink_to_fit();
    open->group.steps.push_back({UndoStep::kMoved, OdDbObjectId(), OdDbObjectId(), nullptr, std::move(record)});
}

// Undoing a move runs it again taking back the values it kept; redoing
// it moves again. False when the move did not reach the values it kept.
bool ReplayMove(const MoveRecord& move, bool undo)
{
    standin::MoveEachBlockOnce once;
    OdGeMoveJournal journal;
    journal.back = &move.before;
    journal.backPlaces = &move.places;
    const OdGeMatrix3d m = OdGeMatrix3d::translation(move.offset);
    for (const OdDbObjectId& id : move.ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) continue;
        if (undo) g_odgeMoveJournal = &journal;
        ent->transformBy(m);
        g_odgeMoveJournal = nullptr;
        ent->close();
    }
    return !undo || (journal.next == move.before.size() && journal.nextPlace == move.places.size() &&
                     !journal.overrun);
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

// The block an entity names: a reference's, a dimension's graphics.
OdDbObjectId BlockNamedBy(const OdDbEntity* e)
{
    if (auto* ref = OdRxCast<OdDbBlockReference>(const_cast<OdDbEntity*>(e))) return ref->blockTableRecord();
    if (auto* dim = OdRxCast<OdDbDimension>(const_cast<OdDbEntity*>(e))) return dim->dimBlockId();
    if (auto* kept = OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(e))) return kept->geometryBlockId();
    return OdDbObjectId();
}

// The blocks of graphics the host made for copies go with them: erased
// when no entity of the drawing names them any more. Blocks a file gave
// stay as it wrote them.
void EraseMadeBlocks(OdDbDatabase* db, std::set<OdDbObjectId> blocks)
{
    OdDbSymbolTable* table = nullptr;
    if (blocks.empty() || oddbOpenObject(table, db->getBlockTableId(), OdDb::kForRead) != eOk) return;
    const std::vector<OdDbObjectId> records = table->recordIds();
    table->close();
    for (const OdDbObjectId& r : records) {
        OdDbBlockTableRecord* block = nullptr;
        if (r.isErased() || oddbOpenObject(block, r, OdDb::kForRead) != eOk) continue;
        for (const OdDbObjectId& id : block->entityIds()) {
            OdDbEntity* e = nullptr;
            if (id.isErased() || oddbOpenOdDbEntity(e, id, OdDb::kForRead) != eOk) continue;
            blocks.erase(BlockNamedBy(e));
            e->close();
        }
        block->close();
    }
    for (const OdDbObjectId& id : blocks) {
        SetErased(id, true);
        Record(UndoStep::kErased, id);
    }
}

void Erase(OdDbDatabase* db)
{
    OdDbObjectIdArray ids;
    if (!AskSelection(ids)) return Cancelled();
    const std::set<OdDbObjectId>& made = g_history[gcDocManagerPtr()->curDocument()].madeBlocks;
    std::set<OdDbObjectId> unnamed;
    for (const OdDbObjectId& id : Unlocked(ids)) {
        OdDbEntity* ent = nullptr;
        g_keptOtherwise.insert(id);
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) == eOk) {
            if (ent->erase(true) == eOk) {
                Record(UndoStep::kErased, id);
                if (made.count(BlockNamedBy(ent))) unnamed.insert(BlockNamedBy(ent));
            }
            ent->close();
        }
        g_keptOtherwise.erase(id);
    }
    EraseMadeBlocks(db, unnamed);
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
    hatch->takeCopiedBoundary([](OdDbObjectId) { return OdDbObjectId(); });
    hatch->setAssociative(false);
    hatch->close();
    for (const OdDbObjectId& id : boundary) {
        OdDbObject* b = nullptr;
        if (oddbOpenObject(b, id, OdDb::kForWrite) != eOk) continue;
        const OdDbObjectIdArray& reactors = b->getPersistentReactors();
        const bool named = std::find(reactors.begin(), reactors.end(), hatchId) != reactors.end();
        if (named) b->removePersistentReactor(hatchId);
        b->close();
        if (named) Record(UndoStep::kUnreacted, id, hatchId);
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

// Each thing the move reaches is tried on a copy of its own: a copy names
// no attributes and no block, so trying it changes nothing in the drawing.
Trial TryTransform(const OdDbEntity* ent, const OdGeMatrix3d& m, std::set<OdDbObjectId>& blocks)
{
    Trial t = Trial::kOk;
    const bool reached = ForEachMoved(ent, blocks, [&](const OdDbEntity* e) {
        OdDbEntity* copy = t == Trial::kOk ? e->clone() : nullptr;
        if (t == Trial::kOk) t = copy ? TryOn(copy, m) : Trial::kRefused;
    });
    return reached ? t : Trial::kRefused;
}

// Tries every object by the vector first, with everything moving it
// reaches; when one of them refuses, or a coordinate would pass the largest
// number, names them by kind ("moved", "copied") and says `nothing`: the
// command then changes nothing there.
bool AllTransformable(const OdDbObjectIdArray& ids, const OdGeVector3d& by, const wchar_t* verb, const wchar_t* nothing)
{
    KindCounts refused, overflowing;
    std::set<OdDbObjectId> blocks;
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) continue;
        const Trial t = TryTransform(ent, OdGeMatrix3d::translation(by), blocks);
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
    MoveEach(ids, to - base, &notMoved);
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
    // UNDO erases the block with its copy, and so does ERASE.
    Record(UndoStep::kCreated, madeId);
    g_history[gcDocManagerPtr()->curDocument()].madeBlocks.insert(madeId);
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
                for (const auto& [o, reactor] : reacted) Record(UndoStep::kReacted, o, reactor);
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

// What refused to be erased or restored while a step was put back.
std::vector<std::pair<OdDbObjectId, bool>> g_eraseLater;

void SetErasedOrLater(const OdDbObjectId& id, bool erased)
{
    SetErased(id, erased);
    if (id.isValid() && id.isErased() != erased) g_eraseLater.emplace_back(id, erased);
}

// Undoing takes the last group off `from`, reverses its steps in reverse
// order and keeps it in `to`; redoing plays a group forward again. The
// command line names the command taken back or done again.
void Replay(bool undo)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return Failed();
    CloseOutsideGroup();
    // What another command changed would be undone under it.
    if (g_open) {
        gcutPrintf(undo ? L"\nUNDO cannot be used inside another command." : L"\nREDO cannot be used inside another command.");
        return Failed();
    }
    UndoHistory& h = g_history[doc];
    std::vector<UndoGroup>& from = undo ? h.done : h.undone;
    std::vector<UndoGroup>& to = undo ? h.undone : h.done;
    if (from.empty()) {
        gcutPrintf(undo ? L"\nNothing to undo." : L"\nNothing to redo.");
        return;
    }
    // A state is put back only in the place of a closed object: one left
    // open would keep its values, and the step would then undo the wrong
    // way at every UNDO and REDO after.
    for (const UndoStep& s : from.back().steps) {
        const OdDbStub* stub = s.id.stub();
        if (s.kind == UndoStep::kMoved)
            for (const OdDbObjectId& id : s.move->ids)
                if (id.stub()->object && id.stub()->object->isReadEnabled()) stub = id.stub();
        if (stub && stub->object && stub->object->isReadEnabled()) {
            gcutPrintf(undo ? L"\nUNDO cannot be used while object %s is open."
                            : L"\nREDO cannot be used while object %s is open.",
                       stub->handle.ascii().c_str());
            return Failed();
        }
    }
    UndoGroup group = std::move(from.back());
    from.pop_back();
    bool whole = true;
    OdDbDatabase* db = doc->database();
    // Putting states back changes nothing that a step records.
    ++g_quiet;
    const HeaderState& header = undo ? group.headerBefore : group.headerAfter;
    SetHeader(db, header);
    const size_t n = group.steps.size();
    for (size_t i = 0; i < n; ++i) {
        UndoStep& s = group.steps[undo ? n - 1 - i : i];
        if (s.kind == UndoStep::kCreated) SetErasedOrLater(s.id, undo || s.erasedAfter);
        if (s.kind == UndoStep::kErased) SetErased(s.id, !undo);
        if (s.kind == UndoStep::kMoved) whole = ReplayMove(*s.move, undo) && whole;
        if (s.kind == UndoStep::kChanged) {
            OdDbObject* state = s.state.release();
            OdDbDatabase::exchangeState(s.id, state);
            s.state.reset(state);
            SetErasedOrLater(s.id, undo ? s.erasedBefore : s.erasedAfter);
        }
        if (s.kind == UndoStep::kCurrentLayer) doc->database()->setClayer(undo ? s.other : s.id);
        if (s.kind == UndoStep::kUnreacted || s.kind == UndoStep::kReacted) {
            OdDbObject* o = nullptr;
            if (oddbOpenObject(o, s.id, OdDb::kForWrite) != eOk) continue;
            if (undo == (s.kind == UndoStep::kUnreacted)) o->addPersistentReactor(s.other);
            else o->removePersistentReactor(s.other);
            o->close();
        }
    }
    // An object may refuse its erasure while what the step changed later
    // still names it (a layer an entity made before it was moved onto):
    // it is tried again once the rest is put back.
    for (size_t tries = g_eraseLater.size(); !g_eraseLater.empty() && tries > 0; --tries) {
        std::vector<std::pair<OdDbObjectId, bool>> later;
        later.swap(g_eraseLater);
        for (const auto& [id, erased] : later) SetErasedOrLater(id, erased);
        if (g_eraseLater.size() == later.size()) break;
    }
    g_eraseLater.clear();
    SetHeader(db, header);
    db->setHandseed(undo ? group.seedBefore : group.seedAfter);
    SetEditorState(undo ? group.before : group.after, undo ? group.after : group.before);
    --g_quiet;
    gcutPrintf(undo ? L"\nUndone: %s" : L"\nRedone: %s", group.command.c_str());
    if (!whole) {
        gcutPrintf(L"\nThe values %s moved could not all be put back.", group.command.c_str());
        Failed();
    }
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
    // Loaded once: a second load would start it twice.
    for (const standin::LoadedModuleRecord& m : standin::LoadedModules())
        if (wcscasecmp(m.path.c_str(), path) == 0) {
            gcutPrintf(L"\n%s is loaded already.", path);
            return;
        }
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
            if (id != db->clayer()) Record(UndoStep::kCurrentLayer, id, db->clayer());
            db->setClayer(id);
        } else if (chosen == L"ON" || chosen == L"OFF") {
            OdDbLayerTableRecord* layer = nullptr;
            if (oddbOpenObject(layer, id, OdDb::kForWrite) != eOk) return Failed();
            layer->setIsOff(chosen == L"OFF");
            layer->close();
        } else if (chosen == L"Lock" || chosen == L"Unlock" || chosen == L"Freeze" || chosen == L"Thaw") {
            // The current layer cannot be frozen.
            if (chosen == L"Freeze" && id == db->clayer()) {
                gcutPrintf(L"\nCannot freeze layer \"%s\". It is the CURRENT layer.", name.c_str());
                return Failed();
            }
            OdDbLayerTableRecord* layer = nullptr;
            if (oddbOpenObject(layer, id, OdDb::kForWrite) != eOk) return Failed();
            if (chosen == L"Lock" || chosen == L"Unlock") layer->setIsLocked(chosen == L"Lock");
            else layer->setIsFrozen(chosen == L"Freeze");
            layer->close();
        }
    }
}

template <void (*Body)(OdDbDatabase*)>
void Changes()
{
    Changing(Body);
}

const standin::HostCommandEntry kEditCommands[] = {
    {L"LINE", Changes<Line>},   {L"POINT", Changes<Point>}, {L"TEXT", Changes<Text>},
    {L"DTEXT", Changes<Text>},  {L"MTEXT", Changes<MText>}, {L"RECTANG", Changes<Rectang>},
    {L"HATCH", Changes<Hatch>}, {L"BHATCH", Changes<Hatch>}, {L"ERASE", Changes<Erase>},
    {L"MOVE", Changes<Move>},   {L"COPY", Changes<Copy>},   {L"UNDO", Undo},
    {L"REDO", Redo},            {L"QUIT", Quit},            {L"APPLOAD", AppLoad},
    {L"IMAGEFRAME", ImageFrame}, {L"ZOOM", Zoom},          {L"-LAYER", Changes<Layer>},
    {L"LAYER", Changes<Layer>}};

}  // namespace

namespace standin {

GcRxFunctionPtr EditHostCommand(const std::wstring& name)
{
    return FindHostCommand(kEditCommands, sizeof kEditCommands / sizeof kEditCommands[0], name);
}

std::vector<std::wstring> EditHostCommands()
{
    return HostCommandNames(kEditCommands, sizeof kEditCommands / sizeof kEditCommands[0]);
}

void ForgetDocumentHistory(const GcApDocument* doc)
{
    g_history.erase(doc);
    for (auto it = g_others.begin(); it != g_others.end();)
        it = (*it)->doc == doc ? g_others.erase(it) : it + 1;
    if (g_open && g_open->doc == doc) {
        // What the step changed of other drawings stays theirs to undo.
        std::vector<std::unique_ptr<OpenGroup>> others = std::move(g_others);
        StopRecording();
        for (auto& other : others) Keep(*other, true, false);
    }
}

void OpenUndoGroup(const std::wstring& command, bool hostCommand, int depth)
{
    // A command run by another, or under a document locked under a command
    // name, is part of it; UNDO and REDO are no steps, nor are the
    // commands that open and close documents, and what they change is not
    // recorded.
    static const wchar_t* const kNoStep[] = {L"UNDO", L"REDO", L"OPEN", L"CLOSE", L"QUIT"};
    CloseOutsideGroup();
    if (g_open || g_quiet) return;
    if (hostCommand)
        for (const wchar_t* name : kNoStep)
            if (command == name) {
                ++g_quiet;
                g_quietDepth = depth;
                return;
            }
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return;
    StartGroup(doc, command, depth, false);
}

void CloseUndoGroup(int depth)
{
    if (g_quiet && g_quietDepth == depth) {
        --g_quiet;
        g_quietDepth = 0;
        return;
    }
    if (g_open && !g_open->outside && g_open->lockLevel < 0 && g_open->depth == depth) CloseGroup();
}

void OpenLockStep(GcApDocument* doc, const std::wstring& command)
{
    CloseOutsideGroup();
    if (g_open || g_quiet || !doc || command.empty()) return;
    StartGroup(doc, command, 0, false, doc->lockCount());
}

void CloseLockStep(GcApDocument* doc)
{
    if (g_open && g_open->doc == doc && g_open->lockLevel >= 0 && doc->lockCount() < g_open->lockLevel) CloseGroup();
}

void QuietWhile(bool on) { on ? ++g_quiet : --g_quiet; }

size_t UndoDepth(const GcApDocument* doc, bool redo)
{
    auto it = g_history.find(doc);
    // Changes made outside a command are a step already, which left
    // nothing to redo.
    const OpenGroup* open = OpenFor(doc);
    const bool outside = open && open->outside && doc->database()->changeCount() != open->group.changesBefore;
    if (redo && outside) return 0;
    return outside + (it == g_history.end() ? 0 : redo ? it->second.undone.size() : it->second.done.size());
}

void SetAppLoader(std::function<bool(const std::wstring&)> loader) { g_appLoader = std::move(loader); }

}  // namespace standin
