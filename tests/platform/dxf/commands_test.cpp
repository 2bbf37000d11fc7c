// The host's drawing-file commands run through the command stack: SAVEAS,
// QSAVE, CLOSE and OPEN keep the document's file name and its drawing, and
// report what they cannot do on the command line.
#include <gtest/gtest.h>

#include <vector>

#include "dxf_test_support.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedreactor.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "machine_control.h"
#include "oddbcurves.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

struct DocEvents : GcApDocManagerReactor {
    std::vector<std::wstring> events;
    void documentCreated(GcApDocument* d) override { events.push_back(L"created " + d->fileName().str()); }
    void documentToBeDestroyed(GcApDocument* d) override { events.push_back(L"destroyed " + d->fileName().str()); }
};

OdDbObjectId AddLine(OdDbDatabase* db, double len)
{
    return dxftest::Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(len, 0, 0)));
}

int ModelSpaceCount(OdDbDatabase* db)
{
    OdDbBlockTableRecord* ms = nullptr;
    EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    int n = (int)ms->entityIds().size();
    ms->close();
    return n;
}

struct CommandEvents : OdEditorReactor {
    std::vector<std::wstring> events;
    void commandWillStart(const OdString& c) override { events.push_back(L"start " + c.str()); }
    void commandEnded(const OdString& c) override { events.push_back(L"ended " + c.str()); }
    void commandCancelled(const OdString& c) override { events.push_back(L"cancelled " + c.str()); }
    void commandFailed(const OdString& c) override { events.push_back(L"failed " + c.str()); }
};

bool g_moduleQsave = false;

}  // namespace

TEST(HostFileCommands, SaveCloseAndOpenKeepTheDrawingAndItsName)
{
    DocEvents events;
    gcDocManagerPtr()->addReactor(&events);
    GcApDocument* doc = standin::CreateDocument(L"Drawing1.dwg");
    OdDbHandle line = AddLine(doc->database(), 10).getHandle();
    CreateDirectoryW(L"C:\\dwg", nullptr);

    // An unsaved drawing is saved under the name the user types.
    standin::QueueText(L"C:\\dwg\\one.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"qsave"));
    EXPECT_EQ(standin::Prompts().back(), L"Save drawing as <Drawing1.dwg>: ");
    EXPECT_EQ(doc->fileName(), L"C:\\dwg\\one.dxf");
    AddLine(doc->database(), 20);
    size_t prompts = standin::Prompts().size();
    ASSERT_TRUE(standin::InvokeCommand(L"QSAVE"));  // a named drawing is saved without asking
    EXPECT_EQ(standin::Prompts().size(), prompts);

    ASSERT_TRUE(standin::InvokeCommand(L"CLOSE"));
    EXPECT_EQ(gcDocManagerPtr()->curDocument(), nullptr);
    standin::QueueText(L"C:\\dwg\\one.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    GcApDocument* opened = gcDocManagerPtr()->curDocument();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->fileName(), L"C:\\dwg\\one.dxf");
    EXPECT_EQ(ModelSpaceCount(opened->database()), 2);
    OdDbObjectId again;
    ASSERT_EQ(opened->database()->getOdDbObjectId(again, false, line), eOk);
    EXPECT_NE(OdRxCast<OdDbLine>(again.stub()->object), nullptr);
    EXPECT_EQ(oddbHostApplicationServices()->workingDatabase(), opened->database());

    // Enter keeps the name; another name becomes the document's.
    standin::QueueEnter();
    ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
    standin::QueueText(L"C:\\dwg\\two.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
    EXPECT_EQ(opened->fileName(), L"C:\\dwg\\two.dxf");
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(L"C:\\dwg\\two.dxf")));
    EXPECT_EQ(standin::CommandLineText(), L"");
    EXPECT_EQ(events.events, (std::vector<std::wstring>{L"created Drawing1.dwg", L"destroyed C:\\dwg\\one.dxf",
                                                        L"created C:\\dwg\\one.dxf"}));
    gcDocManagerPtr()->removeReactor(&events);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(HostFileCommands, WhatCannotBeDoneIsReportedAndChangesNothing)
{
    GcApDocument* doc = standin::CreateDocument(L"C:\\dwg\\a.dxf");
    AddLine(doc->database(), 1);
    standin::QueueText(L"C:\\missing\\b.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
    EXPECT_EQ(standin::CommandLineText(), L"\nThe drawing cannot be saved as C:\\missing\\b.dxf: its folder does not exist.");
    EXPECT_EQ(doc->fileName(), L"C:\\dwg\\a.dxf");

    // A read-only file is not written over.
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\ro.dxf"), "old");
    ASSERT_TRUE(standin::SetReadOnly(L"C:\\dwg\\ro.dxf", true));
    standin::ClearCommandLine();
    standin::QueueText(L"C:\\dwg\\ro.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
    EXPECT_EQ(standin::CommandLineText(),
              L"\nThe drawing cannot be saved as C:\\dwg\\ro.dxf: the file cannot be written (read-only, or no access).");
    EXPECT_EQ(velktest::ReadNativeFile(standin::NativePath(L"C:\\dwg\\ro.dxf")), "old");

    // A drawing that cannot be read opens no document; a cancelled OPEN
    // does nothing.
    standin::ClearCommandLine();
    standin::QueueText(L"C:\\dwg\\ro.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    EXPECT_EQ(standin::CommandLineText(),
              L"\nThe drawing C:\\dwg\\ro.dxf cannot be opened: not a DXF file (line 1: \"old\" is not a group code).");
    standin::QueueCancel();
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    EXPECT_EQ(gcDocManagerPtr()->documentCount(), 1);
    EXPECT_FALSE(standin::InvokeCommand(L"NOSUCHCOMMAND"));

    // What of a file the drawing does not hold is said when it is opened
    // and by every save: here a vertex outside any polyline (line 27).
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\stray.dxf"),
                              "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n"
                              "0\nSECTION\n2\nENTITIES\n0\nLINE\n5\n20\n10\n0\n20\n0\n11\n1\n21\n1\n"
                              "0\nVERTEX\n5\n21\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n");
    standin::ClearCommandLine();
    standin::QueueText(L"C:\\dwg\\stray.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    const std::wstring why = L"VERTEX at line 27: a record of a sequence that follows no entity of its own";
    EXPECT_EQ(standin::CommandLineText(), L"\nNot read from C:\\dwg\\stray.dxf: " + why);
    GcApDocument* opened = gcDocManagerPtr()->curDocument();
    ASSERT_NE(opened, doc);
    EXPECT_EQ(ModelSpaceCount(opened->database()), 1);
    for (const wchar_t* out : {L"C:\\dwg\\once.dxf", L"C:\\dwg\\twice.dxf"}) {
        standin::ClearCommandLine();
        standin::QueueText(out);
        ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
        EXPECT_EQ(standin::CommandLineText(),
                  L"\nNot saved in " + std::wstring(out) + L": left out when C:\\dwg\\stray.dxf was read: " + why);
    }
}

TEST(HostFileCommands, AModuleCommandOfTheSameNameComesFirstAndTheDotRunsTheHostOne)
{
    GcApDocument* doc = standin::CreateDocument(L"C:\\dwg\\a.dxf");
    CreateDirectoryW(L"C:\\dwg", nullptr);
    g_moduleQsave = false;
    odedRegCmds()->addCommand(L"T", L"QSAVE", L"QSAVE", GCRX_CMD_MODAL, [] { g_moduleQsave = true; });
    ASSERT_TRUE(standin::InvokeCommand(L"QSAVE"));
    EXPECT_TRUE(g_moduleQsave);
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(doc->fileName().str())));
    ASSERT_TRUE(standin::InvokeCommand(L".QSAVE"));
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(doc->fileName().str())));
}

TEST(HostFileCommands, EditorReactorsHearHowEachCommandEnded)
{
    CommandEvents events;
    odedEditor->addReactor(&events);
    standin::CreateDocument(L"Drawing1.dwg");
    CreateDirectoryW(L"C:\\dwg", nullptr);
    standin::QueueText(L"C:\\dwg\\a.dxf");
    standin::InvokeCommand(L"qsave");  // asks for a name, saves
    standin::QueueCancel();
    standin::InvokeCommand(L"SAVEAS");
    standin::QueueText(L"C:\\missing\\a.dxf");
    standin::InvokeCommand(L".saveas");
    odedRegCmds()->addCommand(L"T", L"MINE", L"我的", GCRX_CMD_MODAL, [] { standin::InvokeCommand(L"QSAVE"); });
    standin::InvokeCommand(L"我的");  // a module command that runs another
    standin::InvokeCommand(L"CLOSE");
    odedEditor->removeReactor(&events);
    EXPECT_EQ(events.events, (std::vector<std::wstring>{
                                 L"start QSAVE", L"ended QSAVE", L"start SAVEAS", L"cancelled SAVEAS", L"start SAVEAS",
                                 L"failed SAVEAS", L"start MINE", L"start QSAVE", L"ended QSAVE", L"ended MINE",
                                 L"start CLOSE", L"ended CLOSE"}));
}
