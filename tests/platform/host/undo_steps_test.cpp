// UNDO belongs to the drawing: whoever changes an object (a host command,
// an application's command, code under a locked document, code outside
// any command), the step puts back its state before the change, its erased
// flag included; a new step frees what no step can bring back.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "dxf_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "undo_drawing.h"

namespace {

using undotest::AddLine;
using undotest::InModelSpace;

OdDbObjectId g_target;  // what the application's commands work on
OdDbObjectId g_madeAndErased;

OdDbDatabase* Db() { return gcDocManagerPtr()->curDocument()->database(); }

void SetErased(OdDbObjectId id, bool erased)
{
    OdDbObject* o = nullptr;
    ASSERT_EQ(oddbOpenObject(o, id, OdDb::kForWrite, true), eOk);
    EXPECT_EQ(o->erase(erased), eOk);
    o->close();
}

// An application's command as a module's receipt does it: erases the
// entity it replaces, makes its new one, and makes one it erases again.
void Replace()
{
    SetErased(g_target, true);
    AddLine(Db(), 7);
    g_madeAndErased = AddLine(Db(), 8);
    SetErased(g_madeAndErased, true);
}

// An application's command that takes an entry out of the named-objects
// dictionary and erases what it named.
void Forget()
{
    OdDbDictionary* nod = nullptr;
    ASSERT_EQ(oddbOpenObject(nod, Db()->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
    OdDbObjectId id;
    EXPECT_EQ(nod->remove(L"LINKS", id), eOk);
    nod->close();
    SetErased(id, true);
}

// An application's command that files the entry under a dictionary of its
// own.
void Refile()
{
    OdDbDictionary* nod = nullptr;
    ASSERT_EQ(oddbOpenObject(nod, Db()->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
    auto* own = new OdDbDictionary();
    OdDbObjectId ownId, id;
    ASSERT_EQ(nod->setAt(L"OWN", own, ownId), eOk);
    EXPECT_EQ(nod->remove(L"LINKS", id), eOk);
    nod->close();
    OdDbObject* x = nullptr;
    EXPECT_EQ(oddbOpenObject(x, id, OdDb::kForWrite), eOk);
    if (x) {
        EXPECT_EQ(own->setAt(L"LINKS", x, id), eOk);
        x->close();
    }
    own->close();
}

// An application's command that moves the entity's start.
void Stretch()
{
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, g_target, OdDb::kForWrite), eOk);
    line->setStartPoint(OdGePoint3d(100, 100, 0));
    line->close();
}

// An application's command that draws into the drawing of another
// document.
OdDbDatabase* g_otherDb = nullptr;
OdDbObjectId g_drawnElsewhere;
void DrawElsewhere() { g_drawnElsewhere = AddLine(g_otherDb, 50); }

// An application's command that makes an entity, whose id it keeps.
OdDbObjectId g_made;
void Make() { g_made = AddLine(Db(), 60); }

double StartX(OdDbObjectId id)
{
    OdDbLine* line = nullptr;
    if (oddbOpenObject(line, id, OdDb::kForRead) != eOk) return -1;
    const double x = line->startPoint().x;
    line->close();
    return x;
}

class DrawingUndo : public testing::Test {
protected:
    void SetUp() override
    {
        doc = standin::CreateDocument(L"C:\\steps.dwg");
        db = doc->database();
        g_target = AddLine(db, 1);
        OdDbDictionary* nod = nullptr;
        ASSERT_EQ(oddbOpenObject(nod, db->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
        auto* x = new OdDbXrecord();
        ASSERT_EQ(nod->setAt(L"LINKS", x, links), eOk);
        x->close();
        nod->close();
        // The drawing as built is where its history starts.
        standin::ForgetDocumentHistory(doc);
        odedRegCmds()->addCommand(L"APP", L"REPLACE", L"REPLACE", GCRX_CMD_MODAL, &Replace);
        odedRegCmds()->addCommand(L"APP", L"FORGET", L"FORGET", GCRX_CMD_MODAL, &Forget);
        odedRegCmds()->addCommand(L"APP", L"REFILE", L"REFILE", GCRX_CMD_MODAL, &Refile);
        odedRegCmds()->addCommand(L"APP", L"STRETCH", L"STRETCH", GCRX_CMD_MODAL, &Stretch);
        odedRegCmds()->addCommand(L"APP", L"DRAWELSEWHERE", L"DRAWELSEWHERE", GCRX_CMD_MODAL, &DrawElsewhere);
        odedRegCmds()->addCommand(L"APP", L"MAKE", L"MAKE", GCRX_CMD_MODAL, &Make);
    }
    void TearDown() override
    {
        odedRegCmds()->removeGroup(L"APP");
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    std::string Saved()
    {
        std::string bytes;
        EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
        return bytes;
    }
    // What UNDO or REDO said.
    std::wstring Run(const wchar_t* command)
    {
        const size_t from = standin::CommandLineText().size();
        standin::InvokeCommand(command);
        return standin::CommandLineText().substr(from);
    }
    bool HasLinks()
    {
        OdDbDictionary* nod = nullptr;
        if (oddbOpenObject(nod, db->getNamedObjectsDictionaryId(), OdDb::kForRead) != eOk) return false;
        OdDbObjectId id;
        const bool has = nod->getAt(L"LINKS", id) == eOk && id == links;
        nod->close();
        return has && !links.isErased();
    }

    GcApDocument* doc = nullptr;
    OdDbDatabase* db = nullptr;
    OdDbObjectId links;
};

// What an application's command erases comes back with UNDO, and what it
// made and erased stays erased at REDO; the save is the same bytes each way.
TEST_F(DrawingUndo, ErasedFlagsGoBackWhoeverErased)
{
    const std::string before = Saved();
    ASSERT_TRUE(standin::InvokeCommand(L"REPLACE"));
    const std::string after = Saved();
    ASSERT_TRUE(g_target.isErased());
    EXPECT_NE(Run(L"UNDO").find(L"Undone: REPLACE"), std::wstring::npos);
    EXPECT_FALSE(g_target.isErased());
    EXPECT_TRUE(g_madeAndErased.isErased());
    EXPECT_TRUE(Saved() == before);
    EXPECT_NE(Run(L"REDO").find(L"Redone: REPLACE"), std::wstring::npos);
    EXPECT_TRUE(g_target.isErased());
    EXPECT_TRUE(g_madeAndErased.isErased());
    EXPECT_TRUE(Saved() == after);
}

// A dictionary's entry a command removes is put back by UNDO with the
// object it named, and taken out again by REDO.
TEST_F(DrawingUndo, ADictionaryEntryRemovedComesBack)
{
    const std::string before = Saved();
    ASSERT_TRUE(standin::InvokeCommand(L"FORGET"));
    ASSERT_FALSE(HasLinks());
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(HasLinks());
    EXPECT_TRUE(Saved() == before);
    standin::InvokeCommand(L"REDO");
    EXPECT_FALSE(HasLinks());
}

// An entry a command moved to another dictionary goes back with its owner,
// so that the save names the dictionary that holds it; REDO moves it again.
TEST_F(DrawingUndo, AnEntryMovedToAnotherDictionaryGoesBackWithItsOwner)
{
    auto ownerOf = [](OdDbObjectId id) {
        OdDbObject* o = nullptr;
        if (oddbOpenObject(o, id, OdDb::kForRead) != eOk) return OdDbObjectId();
        const OdDbObjectId owner = o->ownerId();
        o->close();
        return owner;
    };
    const std::string before = Saved();
    ASSERT_TRUE(standin::InvokeCommand(L"REFILE"));
    const OdDbObjectId moved = ownerOf(links);
    ASSERT_NE(moved, db->getNamedObjectsDictionaryId());
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(ownerOf(links), db->getNamedObjectsDictionaryId());
    EXPECT_TRUE(HasLinks());
    EXPECT_TRUE(Saved() == before);
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(ownerOf(links), moved);
    EXPECT_FALSE(HasLinks());
}

// A state is not put back over an object left open: UNDO says so and
// changes nothing, and once it is closed UNDO and REDO go the right way.
TEST_F(DrawingUndo, AStepIsNotTakenBackOverAnOpenObject)
{
    ASSERT_TRUE(standin::InvokeCommand(L"STRETCH"));
    OdDbLine* open = nullptr;
    ASSERT_EQ(oddbOpenObject(open, g_target, OdDb::kForRead), eOk);
    EXPECT_NE(Run(L"UNDO").find(L"UNDO cannot be used while object " + std::wstring(g_target.getHandle().ascii().c_str()) +
                                L" is open."),
              std::wstring::npos);
    open->close();
    EXPECT_EQ(StartX(g_target), 100);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: STRETCH"), std::wstring::npos);
    EXPECT_EQ(StartX(g_target), 0);
    EXPECT_NE(Run(L"REDO").find(L"Redone: STRETCH"), std::wstring::npos);
    EXPECT_EQ(StartX(g_target), 100);
}

// Changes made outside any command are a step of their own, until the next
// command: UNDO takes them back alone and names them; a document locked
// under a command name is that command; a header value is recorded as an
// object is. A new step leaves nothing to redo.
TEST_F(DrawingUndo, WorkOutsideACommandIsAStepOfItsOwn)
{
    standin::QueueSelection(OdDbObjectIdArray{g_target});
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(0, 10, 0));
    ASSERT_TRUE(standin::InvokeCommand(L"MOVE"));
    const std::string moved = Saved();
    AddLine(db, 20);
    SetErased(g_target, true);
    EXPECT_EQ(db->setLTSCALE(3), eOk);
    EXPECT_EQ(standin::UndoDepth(doc), 2u);
    const std::string outside = Saved();
    EXPECT_NE(Run(L"UNDO").find(L"Undone: Changes outside a command"), std::wstring::npos);
    EXPECT_TRUE(Saved() == moved);
    EXPECT_FALSE(g_target.isErased());
    EXPECT_EQ(db->getLTSCALE(), 1.0);
    EXPECT_NE(Run(L"REDO").find(L"Redone: Changes outside a command"), std::wstring::npos);
    EXPECT_TRUE(Saved() == outside);
    EXPECT_EQ(db->getLTSCALE(), 3.0);
    standin::InvokeCommand(L"UNDO");

    // Under a named lock: one step of that name, from the lock to the unlock.
    GcApDocManager* m = gcDocManagerPtr();
    ASSERT_EQ(m->lockDocument(doc, GcAp::kWrite, L"SENDLINKS", L"SENDLINKS", false), eOk);
    AddLine(db, 30);
    ASSERT_EQ(m->lockDocument(doc, GcAp::kWrite), eOk);
    AddLine(db, 31);
    ASSERT_EQ(m->unlockDocument(doc), eOk);
    ASSERT_EQ(m->unlockDocument(doc), eOk);
    EXPECT_EQ(standin::UndoDepth(doc, true), 0u);
    AddLine(db, 40);
    EXPECT_EQ(standin::UndoDepth(doc), 3u);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: Changes outside a command"), std::wstring::npos);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: SENDLINKS"), std::wstring::npos);
    EXPECT_TRUE(Saved() == moved);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: MOVE"), std::wstring::npos);
}

// COPY then UNDO, again and again: each COPY drops the copy the UNDO
// before took back, its objects freed, so the cycles hold what one does
// and each COPY saves the same bytes.
TEST_F(DrawingUndo, ACopyTakenBackIsFreedByTheNextStep)
{
    OdDbObjectIdArray ids;
    for (int i = 0; i < 400; ++i) ids.append(AddLine(db, 100 + i));
    standin::ForgetDocumentHistory(doc);
    const std::string before = Saved();
    const double heapBefore = standin::HeapBytesInUse();
    std::string copied;
    double heapAfterFirst = 0, copyBytes = 0;
    int objectsAfterFirst = 0;
    for (int cycle = 0; cycle < 6; ++cycle) {
        standin::QueueSelection(ids);
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(5, 0, 0));
        standin::QueueEnter();
        ASSERT_TRUE(standin::InvokeCommand(L"COPY"));
        if (cycle == 0) {
            copied = Saved();
            copyBytes = standin::HeapBytesInUse() - heapBefore;
        } else {
            EXPECT_TRUE(Saved() == copied) << cycle;
        }
        standin::InvokeCommand(L"UNDO");
        EXPECT_TRUE(Saved() == before) << cycle;
        if (cycle == 1) {
            heapAfterFirst = standin::HeapBytesInUse();
            objectsAfterFirst = standin::LiveObjectCount();
        }
        // The objects of one copy, no more, however many cycles ran.
        if (cycle > 1) {
            EXPECT_EQ(standin::LiveObjectCount(), objectsAfterFirst) << cycle;
        }
    }
    // Four cycles more add less than a tenth of what one copy took.
    EXPECT_GT(copyBytes, 400 * 100.0);
    EXPECT_LT(standin::HeapBytesInUse() - heapAfterFirst, copyBytes / 10);
    EXPECT_EQ(standin::UndoDepth(doc, true), 1u);
}

// A step that adds to model space keeps what it added, not model space's
// list of entities: its history is as large on a drawing of thousands of
// entities as on one of a few, and UNDO and REDO of such steps, one on
// another, give back the very bytes.
TEST_F(DrawingUndo, AddingToALargeModelSpaceKeepsWhatWasAdded)
{
    auto copyOne = [&](const OdDbObjectId& id, double dx) {
        OdDbObjectIdArray one;
        one.append(id);
        standin::QueueSelection(one);
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(dx, 0, 0));
        standin::QueueEnter();
        return standin::InvokeCommand(L"COPY");
    };
    auto historyOfOneCopy = [&]() {
        standin::ForgetDocumentHistory(doc);
        EXPECT_TRUE(copyOne(g_target, 3));
        const double kept = standin::HeapBytesInUse();
        standin::ForgetDocumentHistory(doc);
        return kept - standin::HeapBytesInUse();
    };
    const double small = historyOfOneCopy();
    for (int i = 0; i < 20000; ++i) AddLine(db, 10 + i);
    const double large = historyOfOneCopy();
    EXPECT_GT(small, 0);
    // The list of the large drawing's ids alone is 160,000 bytes.
    EXPECT_LT(large, small + 4000) << small;

    standin::ForgetDocumentHistory(doc);
    const std::string s0 = Saved();
    ASSERT_TRUE(copyOne(g_target, 5));
    const std::string s1 = Saved();
    ASSERT_TRUE(standin::InvokeCommand(L"REPLACE"));
    const std::string s2 = Saved();
    Run(L"UNDO");
    EXPECT_TRUE(Saved() == s1);
    Run(L"UNDO");
    EXPECT_TRUE(Saved() == s0);
    Run(L"REDO");
    EXPECT_TRUE(Saved() == s1);
    Run(L"REDO");
    EXPECT_TRUE(Saved() == s2);
    // A step made after an UNDO drops the redo branch and appends anew.
    Run(L"UNDO");
    ASSERT_TRUE(copyOne(g_target, 6));
    const std::string s3 = Saved();
    Run(L"UNDO");
    EXPECT_TRUE(Saved() == s1);
    Run(L"REDO");
    EXPECT_TRUE(Saved() == s3);
}

// A command that draws into another document's drawing is a step of that
// drawing too, named by the command, which that document's UNDO takes back
// in its turn; an entity appended where no step records it (code run while
// UNDO puts a step back) stays in model space through UNDO and REDO.
TEST_F(DrawingUndo, WhatACommandDrawsInAnotherDrawingIsAStepThere)
{
    gcDocManagerPtr()->activate(doc);
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId mine = g_made;
    const std::string made = Saved();
    GcApDocument* other = standin::CreateDocument(L"C:\\other.dwg");
    gcDocManagerPtr()->activate(other);
    g_otherDb = db;
    ASSERT_TRUE(standin::InvokeCommand(L"DRAWELSEWHERE"));
    const OdDbObjectId drawn = g_drawnElsewhere;
    ASSERT_TRUE(InModelSpace(db, drawn));
    const std::string drawnThere = Saved();

    gcDocManagerPtr()->activate(doc);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: DRAWELSEWHERE"), std::wstring::npos);
    EXPECT_TRUE(drawn.isErased());
    EXPECT_FALSE(mine.isErased());
    EXPECT_TRUE(Saved() == made);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: MAKE"), std::wstring::npos);
    EXPECT_TRUE(mine.isErased());
    Run(L"REDO");
    Run(L"REDO");
    EXPECT_TRUE(Saved() == drawnThere);
    EXPECT_TRUE(InModelSpace(db, drawn) && InModelSpace(db, mine));

    // Appended unrecorded after MAKE's step: UNDO of MAKE takes out only
    // what MAKE made.
    standin::QuietWhile(true);
    const OdDbObjectId unrecorded = AddLine(db, 70);
    standin::QuietWhile(false);
    Run(L"UNDO");
    Run(L"UNDO");
    EXPECT_TRUE(mine.isErased());
    EXPECT_FALSE(unrecorded.isErased());
    EXPECT_TRUE(InModelSpace(db, unrecorded));
    EXPECT_FALSE(InModelSpace(db, mine));
    Run(L"REDO");
    EXPECT_TRUE(InModelSpace(db, unrecorded) && InModelSpace(db, mine));
    // A new step drops the redo branch: still there.
    ASSERT_TRUE(standin::InvokeCommand(L"STRETCH"));
    EXPECT_TRUE(InModelSpace(db, unrecorded));
    gcDocManagerPtr()->activate(other);
    standin::CloseDocument(other);
}

// An id an application keeps of what a command made names nothing once the
// step is taken back and a new one takes its handle: it does not name the
// new object, which it cannot open or erase.
TEST_F(DrawingUndo, AnIdOfAFreedObjectNamesNoOtherObject)
{
    gcDocManagerPtr()->activate(doc);
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId held = g_made;
    Run(L"UNDO");
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId made = g_made;
    ASSERT_EQ(held.getHandle(), made.getHandle()) << "the new object should take the freed handle";
    EXPECT_NE(held, made);
    EXPECT_TRUE(held < made || made < held);
    EXPECT_EQ((std::set<OdDbObjectId>{held, made}.size()), 2u);
    EXPECT_FALSE(held.isValid());
    EXPECT_FALSE(held.isErased());
    EXPECT_EQ(held.database(), db);
    OdDbObject* o = nullptr;
    EXPECT_NE(oddbOpenObject(o, held, OdDb::kForWrite, true), eOk);
    EXPECT_EQ(o, nullptr);
    EXPECT_TRUE(made.isValid() && !made.isErased());
    EXPECT_TRUE(InModelSpace(db, made));
}

// The module's timer locks the document under its command's name and may
// change nothing: no step, and what there is to redo stays.
TEST_F(DrawingUndo, ANamedLockThatChangesNothingKeepsRedo)
{
    gcDocManagerPtr()->activate(doc);
    ASSERT_TRUE(standin::InvokeCommand(L"STRETCH"));
    const std::string stretched = Saved();
    Run(L"UNDO");
    GcApDocManager* m = gcDocManagerPtr();
    ASSERT_EQ(m->lockDocument(doc, GcAp::kWrite, L"FOLLOW", L"FOLLOW", false), eOk);
    OdDbObject* o = nullptr;
    ASSERT_EQ(oddbOpenObject(o, g_target, OdDb::kForWrite), eOk);
    o->close();
    ASSERT_EQ(m->unlockDocument(doc), eOk);
    EXPECT_EQ(standin::UndoDepth(doc, true), 1u);
    EXPECT_NE(Run(L"REDO").find(L"Redone: STRETCH"), std::wstring::npos);
    EXPECT_TRUE(Saved() == stretched);
}

// ERASE, UNDO, again and again, frees nothing; the drawing's record of
// erased flags stays within the drawing's size.
TEST_F(DrawingUndo, ErasingAndRestoringAgainKeepsNoGrowingRecord)
{
    size_t most = 0;
    for (int cycle = 0; cycle < 5000; ++cycle) {
        SetErased(g_target, true);
        SetErased(g_target, false);
        most = std::max(most, db->erasedFlagChanges().size());
    }
    EXPECT_LT(most, 2500u);
}

}  // namespace
