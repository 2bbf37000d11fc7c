// The link timers of the receiver window on the virtual clock.
#include "receiver_fixture.h"

#include "afxmsgbox.h"
#include "common/symboltable/viewutil.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "exchange/exchangeglobals.h"
#include "gcutprint.h"
#include "shell/actoolbarwnd.h"
#include "state/modulestate.h"
#include "state/settings.h"
#include "test_support.h"
#include "window_control.h"

namespace {

using velktest::ReadAt;

class TimerTest : public ReceiverTest {
protected:
    size_t CountOf(uint32_t code)
    {
        size_t n = 0;
        for (uint32_t c : peer->Codes()) n += c == code;
        return n;
    }
    void Tick(UINT_PTR id) { SendMessageW(receiver, WM_TIMER, id, 0); }
    ViewExtents CurrentView()
    {
        ViewExtents v;
        CViewUtil::GetViewExtents(v, 1.0);
        return v;
    }
};

TEST_F(TimerTest, TheButtonIsQueriedEveryFiveSecondsAndAddedOnlyWhenMissing)
{
    standin::AdvanceClockMs(5000);
    // Missing: asked, then added with its caption.
    ASSERT_EQ(CountOf(20401), 2u);
    EXPECT_TRUE(peer->ButtonPresent());
    EXPECT_EQ(peer->ButtonCaption(), "发送所选对象到CAD");
    EXPECT_EQ(g_buttonPresent, 0);  // the query's answer came before the add
    standin::AdvanceClockMs(5000);
    EXPECT_EQ(g_buttonPresent, 1);
    EXPECT_EQ(CountOf(20401), 3u);  // present: only the query
    EXPECT_EQ(CountOf(20013), 0u);

    // CAD follows the peer: the peer is asked to report its moves.
    g_settings.followMode = 2;
    peer->Config().followAnswer = -6;
    standin::AdvanceClockMs(5000);
    ASSERT_EQ(CountOf(20013), 1u);
    EXPECT_NE(standin::CommandLineText().find(L"FollowWinMapErr:\n消息处理失败"), std::wstring::npos);
    EXPECT_EQ(peer->FollowMode(), 1000);
}

TEST_F(TimerTest, ThePluginVersionIsAskedOnceThePeerIsThere)
{
    auto running = std::move(peer);
    running.reset();
    standin::AdvanceClockMs(15000);
    EXPECT_TRUE(standin::HasTimer(receiver, 1003));
    peer = std::make_unique<velkpeer::StandinPeer>();
    peer->ShellCodes().newestPluginVersion = 170;
    g_settings.updateHint = 1;
    standin::AdvanceClockMs(5000);
    EXPECT_EQ(CountOf(20204), 1u);
    EXPECT_FALSE(standin::HasTimer(receiver, 1003));
    EXPECT_EQ(standin::DialogsShown(), (std::vector<UINT>{8353}));
    standin::AdvanceClockMs(20000);
    EXPECT_EQ(CountOf(20204), 1u);
}

TEST_F(TimerTest, TheViewPollMovesThePeerOnlyForARealMoveAndInTheRightFollowMode)
{
    g_settings.followMode = 1;
    g_pMessageDlg->SetTimer(1006, 1000, nullptr);
    ViewExtents now = CurrentView();
    // Not ready yet (timer 1008 has not run): the view is not even recorded.
    g_pEditorReactor->m_viewExtents = now;
    g_pEditorReactor->m_viewExtents.minX -= 50;
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(CountOf(20011), 0u);
    EXPECT_DOUBLE_EQ(g_pEditorReactor->m_viewExtents.minX, now.minX - 50);

    drawing->baseMap.ready = 1;
    g_pEditorReactor->m_viewExtentsNow = now;
    g_pEditorReactor->m_viewExtents = now;
    for (double* v : {&g_pEditorReactor->m_viewExtents.minX, &g_pEditorReactor->m_viewExtents.maxY}) *v += 0.1;
    g_pEditorReactor->m_viewExtents.minY -= 0.1;
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(CountOf(20011), 0u);
    // Recorded anew either way: both rectangles are the current view.
    EXPECT_DOUBLE_EQ(g_pEditorReactor->m_viewExtents.minX, now.minX);
    EXPECT_DOUBLE_EQ(g_pEditorReactor->m_viewExtentsNow.maxY, now.maxY);

    g_pEditorReactor->m_bEcho = 1;
    g_pEditorReactor->m_viewExtents.maxX += 0.1001;
    standin::AdvanceClockMs(1000);
    ASSERT_EQ(CountOf(20011), 1u);
    const auto& move = peer->Messages().back().bytes;
    EXPECT_DOUBLE_EQ(ReadAt<double>(move, 8), (now.minX + now.maxX) / 2);
    EXPECT_DOUBLE_EQ(ReadAt<double>(move, 0), (now.minY + now.maxY) / 2);
    EXPECT_EQ(ReadAt<uint8_t>(move, 16), 2);
    EXPECT_EQ(g_pEditorReactor->m_bEcho, 0);

    // Both directions, but the coordinate window holds the gate shut.
    g_settings.followMode = 3;
    g_bFollow3Enabled = 0;
    g_pEditorReactor->m_viewExtents.minY += 5;
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(CountOf(20011), 1u);
    g_bFollow3Enabled = 1;
    g_pEditorReactor->m_viewExtents.minY += 5;
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(CountOf(20011), 2u);
    // CAD follows the peer only: no move the other way.
    g_settings.followMode = 2;
    g_pEditorReactor->m_viewExtents.minY += 5;
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(CountOf(20011), 2u);
}

TEST_F(TimerTest, OneShotTimersEndAfterTheirActionWithOrWithoutADrawing)
{
    g_bSuppressReactors = 1;
    g_bBhatchRunning = 1;
    for (UINT_PTR id : {1001u, 1002u, 1005u, 1008u, 1010u}) g_pMessageDlg->SetTimer(id, 10, nullptr);
    g_ptagDocIdManager = nullptr;
    standin::AdvanceClockMs(10);
    for (UINT_PTR id : {1001u, 1002u, 1005u, 1008u, 1010u}) EXPECT_FALSE(standin::HasTimer(receiver, id)) << id;
    EXPECT_EQ(CountOf(20202), 1u);
    EXPECT_EQ(g_bSuppressReactors, 0);
    EXPECT_EQ(g_bBhatchRunning, 0);
    EXPECT_TRUE(standin::SentCommandStrings().empty());

    // With a drawing the image frames are toggled and the drawing is ready.
    g_ptagDocIdManager = drawing;
    g_pMessageDlg->SetTimer(1008, 2000, nullptr);
    standin::AdvanceClockMs(2000);
    EXPECT_EQ(standin::SentCommandStrings(), (std::vector<std::wstring>{L"IMAGEFRAME 1 ", L"IMAGEFRAME 0 "}));
    EXPECT_EQ(drawing->baseMap.ready, 1);
    EXPECT_FALSE(standin::HasTimer(receiver, 1008));
}

TEST_F(TimerTest, WaitingTilesWaitWhileACommandRunsOrTheGuardIsOn)
{
    g_settings.onlineBaseMap = 1;
    MapImageRecord image;
    image.level = 7;
    drawing->baseMap.imageQueue.push_back(image);
    g_pEditorReactor->m_bSuspendInsert = 1;
    Tick(1009);
    EXPECT_EQ(drawing->baseMap.imageQueue.size(), 1u);
    g_pEditorReactor->m_bSuspendInsert = 0;
    g_bTileGuard = true;
    Tick(1009);
    EXPECT_EQ(drawing->baseMap.imageQueue.size(), 1u);
    g_bTileGuard = false;
    g_settings.onlineBaseMap = 0;
    Tick(1009);
    EXPECT_EQ(drawing->baseMap.imageQueue.size(), 1u);
    // The images of another level are dropped with the rest.
    g_settings.onlineBaseMap = 1;
    Tick(1009);
    EXPECT_TRUE(drawing->baseMap.imageQueue.empty());
    EXPECT_FALSE(g_bTileGuard);
}

TEST_F(TimerTest, NothingRunsWhileTheLinkIsOff)
{
    g_bLinkActive = 0;
    g_bSuppressReactors = 1;
    g_pMessageDlg->SetTimer(1005, 100, nullptr);
    standin::AdvanceClockMs(10000);
    EXPECT_TRUE(peer->Messages().empty());
    EXPECT_EQ(g_bSuppressReactors, 1);
    EXPECT_TRUE(standin::HasTimer(receiver, 1005));
    g_bLinkActive = 1;
    standin::AdvanceClockMs(100);
    EXPECT_EQ(g_bSuppressReactors, 0);
}

}  // namespace
