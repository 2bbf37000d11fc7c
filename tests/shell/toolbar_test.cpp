// The floating toolbar and its owner window: the toolbar as built, the
// one-second activity check, the buttons' refusals, the icon rescale and
// the VELK command.
#include <gtest/gtest.h>

#include <memory>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbtext.h"
#include "plugin_state.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/velkarxapp.h"
#include "standin_peer.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/settings.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace {

class ToolBarTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        RegisterPluginWindowClass();
        AfxSetResourceHandle(gcedGetGcadResourceInstance());
        ASSERT_TRUE(CreateToolBarWnd());
        window = GetToolBarWnd();
        ASSERT_NE(window, nullptr);
        bar = window->toolBar->GetSafeHwnd();
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    standin::ToolBarState State()
    {
        standin::ToolBarState s;
        EXPECT_TRUE(standin::GetToolBarState(bar, s));
        return s;
    }
    void OpenDrawing()
    {
        doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        g_ptagDocIdManager = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
    }

    CAcToolBarWnd* window = nullptr;
    HWND bar = nullptr;
    GcApDocument* doc = nullptr;
};

TEST_F(ToolBarTest, TheToolbarFloatsWithItsSevenButtonsAndNineIcons)
{
    standin::ToolBarState s = State();
    EXPECT_EQ(s.caption, L"拓岚工具栏(V1.6.2)");
    ASSERT_EQ(s.buttons.size(), 7u);
    const UINT ids[] = {32768, 32769, 32770, 32771, 32772, 32781, 32773};
    const int images[] = {0, 7, 2, 3, 4, 5, 6};  // the online base map is off
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(s.buttons[i].id, ids[i]);
        EXPECT_EQ(s.buttons[i].image, images[i]);
    }
    // The icons came from the module's own resources, under its own handle.
    EXPECT_EQ(s.imageCount, 9);
    EXPECT_TRUE(standin::MfcMisuses().empty());
    // LoadIcon's icons are shared with the module: the list keeps copies,
    // and nobody may destroy the originals.
    EXPECT_EQ(standin::SharedIconDestroyAttempts(), 0);
    EXPECT_EQ(AfxGetResourceHandle(), gcedGetGcadResourceInstance());
    EXPECT_EQ(s.notify, window->GetSafeHwnd());
    EXPECT_EQ(s.controlStyle & 0x8800u, 0x8800u);
    EXPECT_EQ(s.barStyle, 0xA834u);
    EXPECT_TRUE(s.floating);
    EXPECT_EQ(s.floatPoint.x, 1920 - 300);
    EXPECT_EQ(s.floatPoint.y, 70);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(standin::ToolBarTooltip(bar, 32781), L"设置断面参数");
    // The owner handles every button: the idle update enables them all.
    standin::IdleUpdateToolBar(bar);
    for (auto& b : State().buttons) EXPECT_TRUE(b.enabled) << b.id;
    EXPECT_TRUE(standin::HasTimer(window->GetSafeHwnd(), 1011));
    // The window itself is a hidden child of the host's frame.
    EXPECT_FALSE(IsWindowVisible(window->GetSafeHwnd()));
    EXPECT_EQ(GetParent(window->GetSafeHwnd()), gcedGetGcadFrame()->GetSafeHwnd());
}

TEST_F(ToolBarTest, HidingTheToolbarSwitchesTheLinkOffAndAsksOnce)
{
    standin::SetModalDwellMs(3000);  // ticks keep coming while the question is open
    ASSERT_TRUE(standin::CloseFloatingToolBar(bar));
    standin::QueueMessageBoxAnswer(IDNO);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(g_bLinkActive, 0);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"VelkArx即将隐藏，可运行命令【VELK】重启！\n是否不再提示？");

    CmdShowToolBar();
    EXPECT_EQ(State().floatPoint.x, 1920 - 235);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(g_bLinkActive, 1);

    // Yes: never asked again, and kept in the settings file.
    standin::CloseFloatingToolBar(bar);
    standin::QueueMessageBoxAnswer(IDYES);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(standin::MessageBoxes().size(), 2u);
    PluginSettings saved{};
    ASSERT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", &saved, sizeof saved, g_settingsFile));
    EXPECT_EQ(saved.hideNoticeOff, 1);
    CmdShowToolBar();
    standin::AdvanceClockMs(1000);
    standin::CloseFloatingToolBar(bar);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(g_bLinkActive, 0);
    EXPECT_EQ(standin::MessageBoxes().size(), 2u);
}

TEST_F(ToolBarTest, MinimisingTheHostHidesTheToolbarWithoutAQuestion)
{
    gcedGetGcadFrame()->ShowWindow(SW_MINIMIZE);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(g_bLinkActive, 0);
    EXPECT_TRUE(standin::MessageBoxes().empty());
    gcedGetGcadFrame()->ShowWindow(SW_RESTORE);
    standin::AdvanceClockMs(1000);
    EXPECT_EQ(g_bLinkActive, 1);
}

TEST_F(ToolBarTest, TheOnlineMapButtonRefusesInOrderThenTogglesAndSaves)
{
    ASSERT_TRUE(standin::ClickToolBarButton(bar, 32769));
    EXPECT_EQ(standin::MessageBoxes().back().text, L"g_ptagDocIdManager 为空，请打开文档后再操作。");
    OpenDrawing();
    g_ptagDocIdManager->crossSection.sectionActive = 1;
    standin::ClickToolBarButton(bar, 32769);
    EXPECT_EQ(standin::CommandLineText(), L"\n当前为断面模式，不支持浏览地图！");
    g_ptagDocIdManager->crossSection.sectionActive = 0;
    g_ptagDocIdManager->baseMap.currentCapture.meterShown = 1;
    standin::ClickToolBarButton(bar, 32769);
    EXPECT_NE(standin::CommandLineText().find(L"当前系统正在进行取图(耗时)"), std::wstring::npos);
    EXPECT_EQ(g_settings.onlineBaseMap, 0);

    g_ptagDocIdManager->baseMap.currentCapture.meterShown = 0;
    standin::SetSysVarShort(L"ZOOMFACTOR", 60);
    standin::ClickToolBarButton(bar, 32769);
    EXPECT_EQ(g_settings.onlineBaseMap, 1);
    EXPECT_EQ(State().buttons[1].image, 1);
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);
    PluginSettings saved{};
    ASSERT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", &saved, sizeof saved, g_settingsFile));
    EXPECT_EQ(saved.onlineBaseMap, 1);
    // Off again: a capture running does not stop switching off.
    g_ptagDocIdManager->baseMap.currentCapture.meterShown = 1;
    standin::ClickToolBarButton(bar, 32769);
    EXPECT_EQ(g_settings.onlineBaseMap, 0);
    EXPECT_EQ(State().buttons[1].image, 7);
}

TEST_F(ToolBarTest, SendingRefusesAPeerInLongitudeAndLatitude)
{
    OpenDrawing();
    std::unique_ptr<velkpeer::StandinPeer> peer;
    velktest::InstallStandinPeer(900, peer);
    // Without the peer the check itself says so.
    standin::ClickToolBarButton(bar, 32768);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"您尚未打开拓岚互动地图，无法使用插件功能！");

    peer = std::make_unique<velkpeer::StandinPeer>();
    peer->Config().statusWord = 0x100;
    peer->Config().coordKind = 2;
    // The answer comes to the receiver window.
    g_pMessageDlg = new CMessageDlg(gcedGetGcadFrame());
    ASSERT_TRUE(g_pMessageDlg->Create(CMessageDlg::IDD, gcedGetGcadFrame()));
    standin::ClickToolBarButton(bar, 32768);
    EXPECT_EQ(peer->Codes().back(), 20202u);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"拓岚当前的坐标系为经纬度，不支持该操作！");
    // A binding check waits for its answer: the system is not asked again.
    g_coordBinding.checkPending = true;
    standin::ClickToolBarButton(bar, 32768);
    EXPECT_EQ(peer->Codes().back(), 20501u);
}

TEST_F(ToolBarTest, TheSendButtonAndTheResendMessageReachThePeer)
{
    OpenDrawing();
    std::unique_ptr<velkpeer::StandinPeer> peer;
    velktest::InstallStandinPeer(900, peer);
    peer = std::make_unique<velkpeer::StandinPeer>();
    peer->Config().statusWord = 0x100;
    g_pMessageDlg = new CMessageDlg(gcedGetGcadFrame());
    ASSERT_TRUE(g_pMessageDlg->Create(CMessageDlg::IDD, gcedGetGcadFrame()));
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* line = new OdDbLine(OdGePoint3d(10, 10, 0), OdGePoint3d(20, 10, 0));
    OdDbObjectId id;
    ASSERT_EQ(ms->appendOdDbEntity(id, line), eOk);
    line->close();
    ms->close();
    OdDbObjectIdArray selection;
    selection.append(id);
    standin::SetPickFirst(selection);

    standin::ClickToolBarButton(bar, 32768);
    auto tracks = [&peer] {
        int n = 0;
        for (auto& [oid, o] : peer->Objects()) n += o.kind == 8;
        return n;
    };
    EXPECT_EQ(tracks(), 1);
    // The link came back through the receiver: a resend replaces that object.
    ASSERT_NE(FindEntityLink(g_ptagDocIdManager->links, (uint64_t)id.getHandle()), nullptr);
    size_t sends = 0;
    for (auto& m : peer->Messages()) sends += m.code == 20112;
    auto* ids = new OdDbObjectIdArray(selection);
    PostMessageW(g_pMessageDlg->GetSafeHwnd(), WM_RESEND_OBJECTS, 0, (LPARAM)ids);
    standin::PumpMessages();
    size_t after = 0;
    for (auto& m : peer->Messages()) after += m.code == 20112;
    EXPECT_EQ(after, sends + 1);
    EXPECT_EQ(tracks(), 1);
}

TEST_F(ToolBarTest, TheSectionButtonSwitchesTheModeOffOrAsksForThePeer)
{
    OpenDrawing();
    standin::ClickToolBarButton(bar, 32781);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"没有找到Velk程序");
    g_ptagDocIdManager->crossSection.sectionActive = 1;
    window->SetSectionButtonState(1);
    EXPECT_EQ(State().buttons[5].image, 8);
    standin::ClickToolBarButton(bar, 32781);
    EXPECT_EQ(g_ptagDocIdManager->crossSection.sectionActive, 0);
    EXPECT_EQ(State().buttons[5].image, 5);
    EXPECT_EQ(State().buttons[5].id, 32781u);
}

class RescaleTest : public ToolBarTest {
protected:
    void SetUp() override
    {
        ToolBarTest::SetUp();
        OpenDrawing();
        g_settings.textLevelMetres = 60;
    }
    uint64_t Append(OdDbEntity* e)
    {
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, e), eOk);
        e->close();
        ms->close();
        return (uint64_t)id.getHandle();
    }
    uint64_t Image(double x, double y, double width, double height)
    {
        auto* image = new OdDbRasterImage();
        image->setOrientation(OdGePoint3d(x, y, 0), OdGeVector3d(width, 0, 0), OdGeVector3d(0, height, 0));
        return Append(image);
    }
    void Link(uint64_t handle, uint32_t peerId, uint64_t companion = 0)
    {
        auto* link = new MapObjInfo();
        link->handle = handle;
        link->peerId = peerId;
        link->companion = companion;
        SetEntityLink(g_ptagDocIdManager->links, handle, link, 1);
    }
    void Orientation(uint64_t handle, OdGePoint3d& origin, OdGeVector3d& u, OdGeVector3d& v)
    {
        OdDbObjectId id;
        doc->database()->getOdDbObjectId(id, false, OdDbHandle(handle));
        OdDbRasterImage* image = nullptr;
        ASSERT_EQ(oddbOpenObject(image, id, OdDb::kForRead), eOk);
        image->getOrientation(origin, u, v);
        image->close();
    }
};

TEST_F(RescaleTest, OnlyIconsReceivedFromThePeerTakeTheNewSize)
{
    uint64_t icon = Image(100, 200, 30, 30);
    auto* label = new OdDbText();
    label->setHorizontalMode(OdDb::kTextCenter);
    label->setVerticalMode(OdDb::kTextTop);
    uint64_t text = Append(label);
    Link(icon, 501, text);
    uint64_t tile = Image(0, 0, 256, 128);          // a base-map tile: no link
    uint64_t picture = Image(1000, 1000, 640, 480);  // the user's own, linked to nothing in the peer
    Link(picture, 0);
    window->PostMessage(WM_RESCALE_ICONS);
    standin::PumpMessages();

    OdGePoint3d origin;
    OdGeVector3d u, v;
    Orientation(icon, origin, u, v);
    EXPECT_TRUE(origin.isEqualTo(OdGePoint3d(115 - 30, 200, 0)));
    EXPECT_DOUBLE_EQ(u.x, 60);
    EXPECT_DOUBLE_EQ(v.y, 60);
    Orientation(tile, origin, u, v);
    EXPECT_DOUBLE_EQ(u.x, 256);
    EXPECT_DOUBLE_EQ(v.y, 128);
    Orientation(picture, origin, u, v);
    EXPECT_DOUBLE_EQ(u.x, 640);
    // The label follows its icon.
    OdDbObjectId textId;
    doc->database()->getOdDbObjectId(textId, false, OdDbHandle(text));
    OdDbText* back = nullptr;
    ASSERT_EQ(oddbOpenObject(back, textId, OdDb::kForRead), eOk);
    EXPECT_TRUE(back->alignmentPoint().isEqualTo(OdGePoint3d(115, 200, 0)));
    back->close();
    EXPECT_EQ(doc->lockCount(), 0);
    EXPECT_EQ(standin::StatusBarProgress().label, L"");
}

TEST_F(RescaleTest, ManyImagesShowTheMeterAndAnImageThatDoesNotOpenIsSkipped)
{
    for (int i = 0; i < 101; ++i) Link(Image(i * 10.0, 0, 5, 5), 1000 + i);
    standin::FailHostCall("openWrite", 83, 3, 1);
    window->PostMessage(WM_RESCALE_ICONS);
    standin::PumpMessages();
    EXPECT_EQ(standin::StatusBarProgress().label, L"调整图标大小");
    EXPECT_EQ(standin::StatusBarProgress().maxPos, 101);
    EXPECT_EQ(standin::StatusBarProgress().pos, 100);
    EXPECT_EQ(standin::RestoreStatusBarCount(), 1);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"Wproc Update ICon ErrorCode:83");
    EXPECT_EQ(doc->lockCount(), 0);
}

TEST_F(RescaleTest, ChangingOnlyAnotherSettingPostsNoRescale)
{
    standin::QueueDialogAnswer(8133, [](HWND) { return IDOK; });
    standin::ClickToolBarButton(bar, 32773);
    EXPECT_EQ(standin::DialogsShown(), (std::vector<UINT>{8133}));
    EXPECT_EQ(standin::QueuedMessageCount(), 0u);
}

}  // namespace
