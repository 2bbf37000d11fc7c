// UNDO belongs to the drawing: whoever changes an object (a host command,
// an application's command, code under a locked document, code outside
// any command), the step puts back its state before the change, its erased
// flag included; a new step frees what no step can bring back.
#include <gtest/gtest.h>

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

namespace {

OdDbObjectId g_target;  // what the application's commands work on
OdDbObjectId g_madeAndErased;

OdDbDatabase* Db() { return gcDocManagerPtr()->curDocument()->database(); }

OdDbObjectId AddLine(OdDbDatabase* db, double y)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) != eOk) return id;
    auto* line = new OdDbLine(OdGePoint3d(0, y, 0), OdGePoint3d(1, y, 0));
    if (ms->appendOdDbEntity(id, line) == eOk) line->close();
    else delete line;
    ms->close();
    return id;
}

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

}  // namespace
