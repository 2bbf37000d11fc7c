// Several drawings open: each drawing's edits touch its own record, links
// and peer objects; commands that save or close write the links first; the
// first command, APPLOAD and RECTANG do their one-off work.
#include "afxmsgbox.h"
#include "exchange/documentrecord.h"
#include "gcedinput.h"
#include "reactor_fixture.h"
#include "shell/actoolbarwnd.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace {

using Resends = std::vector<std::vector<uint64_t>>;

class DocumentsTest : public ReactorTest {};

TEST_F(DocumentsTest, EditsOfADrawingThatIsNotActiveGoToItsOwnRecord)
{
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dwg");
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    // The same handle in both drawings, linked to different peer objects.
    uint32_t inA = PeerObject(), inB = PeerObject();
    uint64_t h = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), inA, a);
    ASSERT_EQ(Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(9, 0, 0)), inB, b), h);
    Start();
    standin::ActivateDocument(a);
    ASSERT_EQ(g_ptagDocIdManager, Record(a));

    // Another application changes and erases B's line while A is active.
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, Id(h, b), OdDb::kForWrite), eOk);
    line->setEndPoint(OdGePoint3d(7, 0, 0));
    line->erase();
    line->close();
    EXPECT_TRUE(Record(b)->editTrack.m_modifiedLines.contains(Id(h, b)));
    EXPECT_TRUE(Record(a)->editTrack.m_modifiedLines.isEmpty());
    EXPECT_EQ(PeerDeletions(), std::vector<uint32_t>{inB});
    EXPECT_EQ(FindEntityLink(Record(b)->links, h), nullptr);
    ASSERT_NE(FindEntityLink(Record(a)->links, h), nullptr);
    EXPECT_EQ(peer->Objects().count(inA), 1u);

    // And brings it back: it is not sent as if it were A's line.
    const std::vector<uint8_t> shownInA = peer->Objects().at(inA).body;
    OdDbObject* back = nullptr;
    ASSERT_EQ(oddbOpenObjectImpl(back, Id(h, b), OdDb::kForWrite, true), eOk);
    back->erase(false);
    back->close();
    standin::PumpMessages();
    EXPECT_EQ(PeerMessagesOf(20112), 0u);
    ASSERT_EQ(peer->Objects().count(inA), 1u);
    EXPECT_EQ(peer->Objects().at(inA).body, shownInA);
    EXPECT_EQ(FindEntityLink(Record(a)->links, h)->peerId, inA);
}

TEST_F(DocumentsTest, AnUnnamedDrawingNeverWorksOnAnotherDrawingsRecord)
{
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint32_t inA = PeerObject();
    uint64_t h = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), inA, a);
    Start();
    GcApDocument* unnamed = standin::CreateDocument(L"");
    EXPECT_EQ(g_ptagDocIdManager, nullptr);
    EXPECT_EQ(standin::SSGetFilterCount(unnamed), 2);
    EXPECT_EQ(unnamed->database()->reactorCount(), 1u);
    ASSERT_EQ(Line(0, 0, 1, 1, unnamed), h);
    Erase({h});
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(3, 3, 0));
    standin::QueueEnter();
    Run(L"LINE");
    EXPECT_TRUE(PeerDeletions().empty());
    EXPECT_TRUE(TakeResends().empty());
    EXPECT_NE(FindEntityLink(Record(a)->links, h), nullptr);
    // Nor is an erase undone there sent without a record to link it in.
    Run(L"UNDO");
    Run(L"UNDO");
    EXPECT_FALSE(Id(h, unnamed).isErased());
    EXPECT_TRUE(TakeResends().empty());
    // Back in A its record is active again.
    standin::ActivateDocument(a);
    EXPECT_EQ(g_ptagDocIdManager, Record(a));
}

TEST_F(DocumentsTest, TheSectionButtonShowsTheActiveDrawingsMode)
{
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    CAcToolBarWnd* window = GetToolBarWnd();
    ASSERT_NE(window, nullptr);
    auto image = [&] {
        standin::ToolBarState state;
        EXPECT_TRUE(standin::GetToolBarState(window->toolBar->GetSafeHwnd(), state));
        for (const auto& button : state.buttons)
            if (button.id == 32781) return button.image;
        return -1;
    };
    Record(a)->crossSection.sectionActive = 1;
    standin::ActivateDocument(a);
    const int on = image();
    // An unnamed drawing runs no section of its own.
    GcApDocument* unnamed = standin::CreateDocument(L"");
    EXPECT_NE(image(), on);
    standin::ActivateDocument(a);
    EXPECT_EQ(image(), on);
    standin::ActivateDocument(unnamed);
    EXPECT_NE(image(), on);
}

TEST_F(DocumentsTest, OpeningClosingAndSavingKeepTheRecordsAndWriteTheLinksFirst)
{
    CreateDirectoryW(L"C:\\dwg", nullptr);
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dwg");
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dxf");
    uint64_t h = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), PeerObject(), a);
    Start();
    // A link changed in memory only: QSAVE writes it, then the base map goes.
    uint32_t renumbered = PeerObject();
    UpdateEntityLink(g_ptagDocIdManager, h, renumbered, false);
    g_settings.onlineBaseMap = 1;
    Run(L"QSAVE");
    EXPECT_EQ(StoredLink(h).peerId, renumbered);
    EXPECT_EQ(g_settings.onlineBaseMap, 0);

    // Closing drops the record and asks the peer's system for its binding.
    size_t asked = PeerMessagesOf(20202);
    Run(L"CLOSE");
    EXPECT_EQ(drawingRecords.size(), 1u);
    EXPECT_EQ(g_ptagDocIdManager, Record(b));
    EXPECT_EQ(g_coordBinding.bindingName, CString(L"C:\\dwg\\a.dxf"));
    EXPECT_EQ(PeerMessagesOf(20202), asked + 1);

    // OPEN switches the base map off first; the drawing opened again gets a
    // record of its own with the saved link.
    g_settings.onlineBaseMap = 1;
    standin::QueueText(L"C:\\dwg\\a.dxf");
    Run(L"OPEN");
    EXPECT_EQ(g_settings.onlineBaseMap, 0);
    GcApDocument* reopened = gcDocManagerPtr()->curDocument();
    ASSERT_NE(reopened, b);
    ASSERT_EQ(g_ptagDocIdManager, Record(reopened));
    uint64_t linked = 0;
    EXPECT_TRUE(FindPeerEntity(g_ptagDocIdManager->peerEntities, renumbered, linked));
    EXPECT_EQ(linked, h);
    EXPECT_EQ(standin::SSGetFilterCount(reopened), 2);
    EXPECT_EQ(g_bNewDocument, 1);
    EXPECT_TRUE(standin::HasTimer(g_pMessageDlg->GetSafeHwnd(), 1008));
}

TEST_F(DocumentsTest, ResendsStillQueuedForAClosingDrawingGoWithIt)
{
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dwg");
    const uint64_t inB = Line(0, 0, 5, 0, b);
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    const uint64_t inA = Line(0, 0, 5, 0, a);
    Start();
    standin::ActivateDocument(b);
    MoveBy({inB}, 1, 0);
    standin::ActivateDocument(a);
    MoveBy({inA}, 1, 0);
    // Closed before the host's loop ran the re-sends.
    Run(L"CLOSE");
    EXPECT_EQ(TakeResends(), (Resends{{inB}}));
}

TEST_F(DocumentsTest, ADrawingSavedUnderANewNameKeepsItsLinksWhenActivatedAgain)
{
    CreateDirectoryW(L"C:\\dwg", nullptr);
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dxf");
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dxf");
    const uint32_t saved = PeerObject();
    const uint64_t h = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), saved, a);
    Start();
    standin::QueueText(L"C:\\dwg\\renamed.dxf");
    Run(L"SAVEAS");
    ASSERT_EQ(a->fileName(), OdString(L"C:\\dwg\\renamed.dxf"));
    // Linked after the save, in memory only, as a received object is.
    const uint32_t later = PeerObject();
    const uint64_t received = Line(0, 5, 5, 5, a);
    UpdateEntityLink(g_ptagDocIdManager, received, later, false);
    SetPeerEntity(g_ptagDocIdManager->peerEntities, later, received);

    standin::ActivateDocument(b);
    standin::ActivateDocument(a);
    EXPECT_EQ(drawingRecords.size(), 2u);
    uint64_t found = 0;
    EXPECT_TRUE(FindPeerEntity(g_ptagDocIdManager->peerEntities, saved, found));
    EXPECT_EQ(found, h);
    EXPECT_TRUE(FindPeerEntity(g_ptagDocIdManager->peerEntities, later, found));
    EXPECT_EQ(found, received);
    // The user's edits reach the peer through that record.
    MoveBy({h, received}, 1, 0);
    TakeResends();
    Run(L"UNDO");
    EXPECT_EQ(TakeResends(), (Resends{{received, h}}));
    Erase({received});
    EXPECT_EQ(PeerDeletions(), std::vector<uint32_t>{later});

    // A drawing opened unnamed after the load has no record; saved under a
    // name, it gets one with the links its entities carry.
    GcApDocument* unnamed = standin::CreateDocument(L"");
    const uint32_t pasted = PeerObject();
    const uint64_t carried = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(2, 0, 0)), pasted, unnamed);
    standin::QueueText(L"C:\\dwg\\new.dxf");
    Run(L"QSAVE");
    standin::ActivateDocument(a);
    standin::ActivateDocument(unnamed);
    ASSERT_NE(g_ptagDocIdManager, nullptr);
    EXPECT_TRUE(FindPeerEntity(g_ptagDocIdManager->peerEntities, pasted, found));
    EXPECT_EQ(found, carried);
    Run(L"CLOSE");
    EXPECT_EQ(drawingRecords.size(), 2u);
}

TEST_F(DocumentsTest, CommandStartsSetTheFlagsOnceAndOnlyWhileTheLinkIsActive)
{
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    standin::SetSysVarShort(L"ZOOMFACTOR", 60);
    Start();
    g_bFirstCommand = 1;
    g_coordBinding.checkPending = false;
    size_t asked = PeerMessagesOf(20202);
    odedRegCmds()->addCommand(L"TEST", L"RIBBON", L"RIBBON", 0, [] {});
    Run(L"RIBBON");
    EXPECT_EQ(g_bFirstCommand, 1);
    EXPECT_EQ(PeerMessagesOf(20202), asked);
    standin::QueueSelection(Ids({Line(0, 0, 1, 0, a)}));
    Run(L"BHATCH");
    EXPECT_EQ(g_bFirstCommand, 0);
    EXPECT_EQ(PeerMessagesOf(20202), asked + 1);
    EXPECT_EQ(g_bBhatchRunning, 1);
    EXPECT_EQ(g_pEditorReactor->m_bSuspendInsert, 0);

    // A cancelled command clears the pending rectangles but leaves the
    // suspend flag as the start set it.
    g_pEditorReactor->m_nPendingRect = 1;
    g_pEditorReactor->m_bPendingSection = 1;
    standin::QueueCancel();
    Run(L"MOVE");
    EXPECT_EQ(g_pEditorReactor->m_nPendingRect, 0);
    EXPECT_EQ(g_pEditorReactor->m_bPendingSection, 0);
    EXPECT_EQ(g_pEditorReactor->m_bSuspendInsert, 1);
    EXPECT_EQ(g_bBhatchRunning, 0);
    EXPECT_EQ(g_ptagDocIdManager->editTrack.m_bMoveActive, 0);

    // While the link is off a command changes nothing but COPY's tracking.
    g_bLinkActive = 0;
    g_bSuppressReactors = 1;
    standin::QueueCancel();
    Run(L"HATCH");
    EXPECT_EQ(g_bSuppressReactors, 1);
    EXPECT_EQ(g_pEditorReactor->m_bSuspendInsert, 1);

    // HATCH lets BHATCH's flag go 300 ms after it ends; QUIT gives the host
    // its view variables back.
    g_bLinkActive = 1;
    g_bBhatchRunning = 1;
    standin::QueueSelection(Ids({Line(0, 0, 1, 0, a)}));
    Run(L"HATCH");
    EXPECT_EQ(standin::TimerInterval(g_pMessageDlg->GetSafeHwnd(), 1002), 300u);
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);
    Run(L"QUIT");
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 60);
    EXPECT_TRUE(drawingRecords.empty());
}

TEST_F(DocumentsTest, AViewChangeIsTakenUnlessTheBaseMapMadeIt)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(500, 300, 0));
    standin::SetSysVarReal(L"VIEWSIZE", 100);
    g_pEditorReactor->m_bViewGuard = 0;
    standin::FireViewChanged();
    EXPECT_EQ(g_pEditorReactor->m_viewExtents.maxY, 0.0);
    EXPECT_EQ(g_pEditorReactor->m_bViewGuard, 1);
    standin::FireViewChanged();
    EXPECT_EQ(g_pEditorReactor->m_viewExtents.maxY, 350.0);
}

TEST_F(DocumentsTest, AppLoadThatLoadsThePluginChecksTheBindingLater)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    standin::SetAppLoader([](const std::wstring&) {
        theApp.StartPlugin();
        return true;
    });
    standin::QueueText(L"C:\\Program Files\\CadHost\\Plugins\\Velk\\VelkGrx2020(x64).grx");
    g_coordBinding.checkPending = false;
    Run(L"APPLOAD");
    ASSERT_NE(g_pEditorReactor, nullptr);
    EXPECT_EQ(g_bFirstCommand, 0);
    EXPECT_EQ(g_bCommandSeen, 0);
    EXPECT_TRUE(g_coordBinding.checkPending);
    EXPECT_EQ(standin::TimerInterval(g_pMessageDlg->GetSafeHwnd(), 1001), 3000u);
}

TEST_F(DocumentsTest, ARectangleAwaitedGoesToItsOwnerOnlyWhenRectangDrewIt)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    const uint64_t userLine = Line(0, 0, 50, 50);
    TakeResends();
    auto rectang = [this](double size) {
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(size, size, 0));
        Run(L"_rectang");
        OdDbObjectId id;
        for (const OdDbObjectId& o : Db()->allObjectIds())
            if (OdRxCast<OdDbEntity>(o.stub()->object)) id = o;
        return (uint64_t)id.getHandle();
    };
    // The cross-section takes the rectangle drawn and erases it; it is not
    // sent. The user declines to pick a base line now.
    g_pEditorReactor->m_bPendingSection = 1;
    standin::QueueMessageBoxAnswer(IDNO);
    uint64_t drawn = rectang(20);
    EXPECT_TRUE(Id(drawn).isErased());
    EXPECT_EQ(g_pEditorReactor->m_bPendingSection, 0);
    // RECTANG ended without drawing: the user's last entity stays.
    g_pEditorReactor->m_bPendingSection = 1;
    RunAs(L"RECTANG", [] {});
    EXPECT_FALSE(Id(userLine).isErased());
    EXPECT_EQ(g_pEditorReactor->m_bPendingSection, 0);
    // The contour download asks the peer for the rectangle's contours.
    g_pEditorReactor->m_nPendingRect = 2;
    rectang(100);
    EXPECT_EQ(PeerMessagesOf(20303), 1u);
    EXPECT_EQ(g_pEditorReactor->m_nPendingRect, 0);
    g_pEditorReactor->m_nPendingRect = 1;
    rectang(100);
    EXPECT_EQ(g_pEditorReactor->m_nPendingRect, 0);
    EXPECT_TRUE(TakeResends().empty());

    // Not awaited: RECTANG goes to the peer like any drawing command.
    drawn = rectang(10);
    EXPECT_EQ(TakeResends(), (Resends{{drawn}}));
}

}  // namespace
