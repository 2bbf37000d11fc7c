// UNDO across drawings and documents: each drawing's changes are steps of
// that drawing, whatever document's command or lock made them; objects an
// UNDO would put back while they are open, or restored by hand after it;
// documents closed while their step is open; a handle taken again past
// every generation of its record.
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
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "undo_drawing.h"

namespace {

using undotest::AddLine;
using undotest::InModelSpace;

GcApDocument* g_home = nullptr;
GcApDocument* g_away = nullptr;
OdDbObjectId g_awayLine;
OdDbObjectId g_made;

// An application's command that erases an entity of another drawing with
// the host's ERASE, run in that drawing.
void EraseAway()
{
    gcDocManagerPtr()->activate(g_away);
    standin::QueueSelection(OdDbObjectIdArray{g_awayLine});
    standin::InvokeCommand(L"ERASE");
    gcDocManagerPtr()->activate(g_home);
}

void Nothing() {}

// An application's command that sets a header value of another drawing.
void ScaleAway() { g_away->database()->setLTSCALE(4); }

// An application's command that draws in another drawing, closes it, and
// draws in its own.
OdDbObjectId g_drawnHere;
void DrawAndCloseAway()
{
    AddLine(g_away->database(), 11);
    standin::CloseDocument(g_away);
    g_away = nullptr;
    g_drawnHere = AddLine(g_home->database(), 12);
}

void Make() { g_made = AddLine(gcDocManagerPtr()->curDocument()->database(), 60); }

class UndoAcrossDrawings : public testing::Test {
protected:
    void SetUp() override
    {
        away = standin::CreateDocument(L"C:\\away.dwg");
        g_awayLine = AddLine(away->database(), 5);
        standin::ForgetDocumentHistory(away);
        home = standin::CreateDocument(L"C:\\home.dwg");
        AddLine(home->database(), 1);
        standin::ForgetDocumentHistory(home);
        g_home = home;
        g_away = away;
        odedRegCmds()->addCommand(L"UAD", L"ERASEAWAY", L"ERASEAWAY", GCRX_CMD_MODAL, &EraseAway);
        odedRegCmds()->addCommand(L"UAD", L"MAKE", L"MAKE", GCRX_CMD_MODAL, &Make);
        odedRegCmds()->addCommand(L"UAD", L"NOTHING", L"NOTHING", GCRX_CMD_MODAL, &Nothing);
        odedRegCmds()->addCommand(L"UAD", L"SCALEAWAY", L"SCALEAWAY", GCRX_CMD_MODAL, &ScaleAway);
        odedRegCmds()->addCommand(L"UAD", L"DRAWCLOSE", L"DRAWCLOSE", GCRX_CMD_MODAL, &DrawAndCloseAway);
    }
    void TearDown() override
    {
        odedRegCmds()->removeGroup(L"UAD");
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    std::wstring Run(const wchar_t* command)
    {
        const size_t from = standin::CommandLineText().size();
        standin::InvokeCommand(command);
        return standin::CommandLineText().substr(from);
    }
    std::string Saved(OdDbDatabase* db)
    {
        std::string bytes;
        EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
        return bytes;
    }
    GcApDocument* home = nullptr;
    GcApDocument* away = nullptr;
};

// A host command that an application's command runs in another drawing
// changes that drawing: the change is a step there, and UNDO of the
// application's drawing leaves the other drawing alone.
TEST_F(UndoAcrossDrawings, AHostCommandRunInAnotherDrawingIsAStepThere)
{
    gcDocManagerPtr()->activate(home);
    ASSERT_TRUE(standin::InvokeCommand(L"ERASEAWAY"));
    ASSERT_TRUE(g_awayLine.isErased());
    Run(L"UNDO");
    EXPECT_TRUE(g_awayLine.isErased()) << "UNDO of one drawing put back an entity of another";
    gcDocManagerPtr()->activate(away);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: ERASEAWAY"), std::wstring::npos);
    EXPECT_FALSE(g_awayLine.isErased()) << "UNDO of the drawing the entity was erased in did not bring it back";
}

// The same under a named lock of one document while another is current:
// ERASE acts on the current drawing, whose history has the step.
TEST_F(UndoAcrossDrawings, AHostCommandUnderAnotherDocumentsNamedLockIsAStepOfItsDrawing)
{
    gcDocManagerPtr()->activate(away);
    GcApDocManager* m = gcDocManagerPtr();
    ASSERT_EQ(m->lockDocument(home, GcAp::kWrite, L"SYNC", L"SYNC", false), eOk);
    standin::QueueSelection(OdDbObjectIdArray{g_awayLine});
    standin::InvokeCommand(L"ERASE");
    ASSERT_EQ(m->unlockDocument(home), eOk);
    ASSERT_TRUE(g_awayLine.isErased());
    EXPECT_NE(Run(L"UNDO").find(L"Undone:"), std::wstring::npos);
    EXPECT_FALSE(g_awayLine.isErased()) << "UNDO where ERASE ran did not bring the entity back";
    gcDocManagerPtr()->activate(home);
    Run(L"UNDO");
    EXPECT_FALSE(g_awayLine.isErased());
}

// What a named lock of one document changed in another drawing is a step
// of that drawing, even when the locked document is closed before the
// unlock.
TEST_F(UndoAcrossDrawings, ClosingALockedDocumentKeepsTheStepItMadeInAnotherDrawing)
{
    GcApDocManager* m = gcDocManagerPtr();
    ASSERT_EQ(m->lockDocument(home, GcAp::kWrite, L"SYNC", L"SYNC", false), eOk);
    const OdDbObjectId drawn = AddLine(away->database(), 9);
    ASSERT_TRUE(drawn.isValid());
    standin::CloseDocument(home);
    gcDocManagerPtr()->activate(away);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: SYNC"), std::wstring::npos);
    EXPECT_TRUE(drawn.isErased()) << "the other drawing's change was lost from its history";
}

// UNDO does not claim a step back while an object it would erase or
// restore is open: either it refuses, or the object ends as the step had
// it before.
TEST_F(UndoAcrossDrawings, UndoOfAMadeEntityLeftOpenDoesNotClaimItWasUndone)
{
    gcDocManagerPtr()->activate(home);
    OdDbDatabase* db = home->database();
    const std::string before = Saved(db);
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId made = g_made;
    OdDbLine* open = nullptr;
    ASSERT_EQ(oddbOpenObject(open, made, OdDb::kForRead), eOk);
    const std::wstring said = Run(L"UNDO");
    open->close();
    const bool refused = said.find(L"Undone: MAKE") == std::wstring::npos;
    EXPECT_TRUE(refused || made.isErased()) << "UNDO said it took MAKE back; the line it made is still there";
    // A new step drops the redo branch: the drawing is as before MAKE or
    // MAKE is still a step to undo.
    if (!refused) {
        standin::InvokeCommand(L"NOTHING");
        EXPECT_TRUE(Saved(db) == before) << "a line no step accounts for stays in the drawing";
    }
}

// An entity an undone step made, restored by an application, is in its
// block again: no live entity in no block.
TEST_F(UndoAcrossDrawings, AnUndoneEntityRestoredByAnApplicationIsInItsBlock)
{
    gcDocManagerPtr()->activate(home);
    OdDbDatabase* db = home->database();
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId made = g_made;
    Run(L"UNDO");
    ASSERT_TRUE(made.isErased());
    OdDbObject* o = nullptr;
    ASSERT_EQ(oddbOpenObject(o, made, OdDb::kForWrite, true), eOk);
    EXPECT_EQ(o->erase(false), eOk);
    o->close();
    ASSERT_TRUE(made.isValid() && !made.isErased());
    EXPECT_TRUE(InModelSpace(db, made)) << "a live entity is in no block";
}


// Work outside any command that changes two drawings at once (an entity of
// each open for write together, as code that keeps two drawings alike
// does) is a step in each: UNDO of either takes its change back.
TEST_F(UndoAcrossDrawings, WorkOutsideACommandOnTwoDrawingsAtOnceIsUndoneInEach)
{
    gcDocManagerPtr()->activate(home);
    OdDbDatabase* db = home->database();
    const OdDbObjectId mine = AddLine(db, 3);
    standin::ForgetDocumentHistory(home);
    standin::ForgetDocumentHistory(away);
    const std::string before = Saved(db);
    OdDbLine* here = nullptr;
    OdDbLine* there = nullptr;
    ASSERT_EQ(oddbOpenObject(here, mine, OdDb::kForWrite), eOk);
    here->setStartPoint(OdGePoint3d(100, 3, 0));
    ASSERT_EQ(oddbOpenObject(there, g_awayLine, OdDb::kForWrite), eOk);
    there->setStartPoint(OdGePoint3d(100, 5, 0));
    here->close();
    there->close();
    EXPECT_NE(Run(L"UNDO").find(L"Undone: Changes outside a command"), std::wstring::npos);
    EXPECT_TRUE(Saved(db) == before) << "the change of this drawing was not taken back";
    gcDocManagerPtr()->activate(away);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: Changes outside a command"), std::wstring::npos);
}


// A handle taken again and again past every generation an id tells apart:
// ids held of each of its objects name none of the later ones.
TEST_F(UndoAcrossDrawings, IdsOfAHandleTakenAgainPastItsGenerationsNameNoOtherObject)
{
    gcDocManagerPtr()->activate(home);
    std::vector<OdDbObjectId> held;
    for (uint32_t i = 0; i < OdDbObjectId::kGenerations + 2; ++i) {
        ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
        if (i < 2 || i + 3 > OdDbObjectId::kGenerations) held.push_back(g_made);
        standin::InvokeCommand(L"UNDO");
    }
    ASSERT_TRUE(standin::InvokeCommand(L"MAKE"));
    const OdDbObjectId made = g_made;
    ASSERT_EQ(held.front().getHandle(), made.getHandle());
    for (const OdDbObjectId& id : held) {
        EXPECT_NE(id, made);
        EXPECT_FALSE(id.isValid());
    }
    EXPECT_EQ(std::set<OdDbObjectId>(held.begin(), held.end()).size(), held.size());
    EXPECT_TRUE(made.isValid() && InModelSpace(home->database(), made));
}


// A drawing closed while the step of what a command drew in it is open:
// the command's own step is whole, and nothing is kept of the closed one.
TEST_F(UndoAcrossDrawings, ADrawingClosedWhileItsStepIsOpen)
{
    gcDocManagerPtr()->activate(home);
    ASSERT_TRUE(standin::InvokeCommand(L"DRAWCLOSE"));
    ASSERT_TRUE(g_drawnHere.isValid() && !g_drawnHere.isErased());
    EXPECT_NE(Run(L"UNDO").find(L"Undone: DRAWCLOSE"), std::wstring::npos);
    EXPECT_TRUE(g_drawnHere.isErased());
    EXPECT_NE(Run(L"REDO").find(L"Redone: DRAWCLOSE"), std::wstring::npos);
    EXPECT_FALSE(g_drawnHere.isErased());
    // Under a named lock too.
    GcApDocument* third = standin::CreateDocument(L"C:\\third.dwg", false);
    GcApDocManager* m = gcDocManagerPtr();
    ASSERT_EQ(m->lockDocument(home, GcAp::kWrite, L"SYNC", L"SYNC", false), eOk);
    AddLine(third->database(), 13);
    const OdDbObjectId here = AddLine(home->database(), 14);
    standin::CloseDocument(third);
    ASSERT_EQ(m->unlockDocument(home), eOk);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: SYNC"), std::wstring::npos);
    EXPECT_TRUE(here.isErased());
}


// A header value a command sets in another drawing is taken back by UNDO
// there, and the bytes come back each way; the command's own drawing keeps
// its step.
TEST_F(UndoAcrossDrawings, AHeaderValueSetInAnotherDrawingIsUndoneThere)
{
    gcDocManagerPtr()->activate(home);
    const std::string before = Saved(away->database());
    ASSERT_TRUE(standin::InvokeCommand(L"SCALEAWAY"));
    const std::string after = Saved(away->database());
    ASSERT_EQ(away->database()->getLTSCALE(), 4.0);
    gcDocManagerPtr()->activate(away);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: SCALEAWAY"), std::wstring::npos);
    EXPECT_EQ(away->database()->getLTSCALE(), 1.0);
    EXPECT_TRUE(Saved(away->database()) == before);
    EXPECT_NE(Run(L"REDO").find(L"Redone: SCALEAWAY"), std::wstring::npos);
    EXPECT_TRUE(Saved(away->database()) == after);
    gcDocManagerPtr()->activate(home);
    EXPECT_NE(Run(L"UNDO").find(L"Undone: SCALEAWAY"), std::wstring::npos);
    EXPECT_EQ(away->database()->getLTSCALE(), 4.0);
}

}  // namespace
