// The coordinate window: the projected-coordinate hint, picking a relate
// point in the drawing and in the peer's map, and what "完成" and the
// binding button send and save.
#include <cstring>

#include "../ui/dialog_fixture.h"
#include "editor_control.h"
#include "shell/actoolbarwnd.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/relatepoint.h"
#include "toolbar_control.h"
#include "ui/helppages.h"
#include "ui/peercheck.h"
#include "ui/setcoordlg.h"
#include "window_control.h"

namespace {

const int kX = 8112, kY = 8111, kLng = 8320, kLat = 8114, kSimplified = 8335, kHelp = 8336, kNoPrompt = 8150;

class CoordDialogTest : public DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        // A peer new enough and ready for requests.
        g_installedPeerVersion = 900;
        peer->Config().statusWord = 0x100;
        ASSERT_TRUE(CreateToolBarWnd());
        ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32772));
        ASSERT_NE(g_pSetCoorDlg, nullptr);
        dlg = g_pSetCoorDlg->GetSafeHwnd();
    }
    standin::DialogControl& Item(int id) { return standin::DialogItem(dlg, id); }
    bool HintShown() { return Item(kSimplified).visible && Item(kHelp).visible; }
    void Type(int id, const std::wstring& text) { standin::TypeIntoDialogItem(dlg, id, text); }
    void Click(int id) { standin::ClickDialogItem(dlg, id); }
    // The place the user clicks in the peer's map, as the peer reports it.
    int64_t PeerReportsPlace(double lat, double lng, size_t size = 24)
    {
        std::vector<uint8_t> bytes(size);
        if (size >= 16) {
            memcpy(bytes.data(), &lat, 8);
            memcpy(bytes.data() + 8, &lng, 8);
        }
        return peer->SendToClient(20001, bytes);
    }
    std::vector<RelatePoint> SentRelatePoints(std::vector<uint32_t>* modes = nullptr)
    {
        std::vector<RelatePoint> points;
        for (auto& r : peer->ShellCodes().RelateRequests()) {
            if (modes) modes->push_back(r.mode);
            for (auto& p : r.points) {
                RelatePoint point{};
                memcpy(&point, p.data(), std::min(p.size(), sizeof point));
                points.push_back(point);
            }
        }
        return points;
    }
    HWND dlg = nullptr;
};

TEST_F(CoordDialogTest, OpensWithThePeerSystemTheHintHiddenAndSimplifiedTicked)
{
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(Item(8334).text, L"当前拓岚地图系统坐信息：\r\nCGCS2000 3-degree CM 114E");
    EXPECT_EQ(Item(8107).text, L"关联点");
    EXPECT_FALSE(Item(kSimplified).visible);
    EXPECT_FALSE(Item(kHelp).visible);
    EXPECT_EQ(Item(kSimplified).check, 1);
    EXPECT_EQ(g_bFollow3Enabled, 0);
    EXPECT_EQ(g_pSetCoorDlg->m_toolTip.TipFor(kHelp), L"单击此处了解更多关于“坐标系”");
    EXPECT_EQ(SendMessageW(dlg, WM_GCAD_KEEPFOCUS, 0, 0), 1);

    // "了解更多关于坐标系" opens the help page in the browser.
    const size_t launched = standin::ShellExecutes().size();
    Click(8348);
    ASSERT_EQ(standin::ShellExecutes().size(), launched + 1);
    EXPECT_EQ(standin::ShellExecutes().back().verb, L"open");
    EXPECT_EQ(standin::ShellExecutes().back().file, kCoordinateHelpPage);
    EXPECT_EQ(standin::ShellExecutes().back().show, SW_SHOWNORMAL);
    EXPECT_TRUE(IsWindowVisible(dlg));
}

TEST_F(CoordDialogTest, TheWindowIsMadeFromTheModulesTemplateThoughTheHostHasOneOfTheSameId)
{
    Click(8106);
    ASSERT_EQ(g_pSetCoorDlg, nullptr);
    AddHostTemplate(CSetCoorDlg::IDD, L"主机的对话框");
    const HINSTANCE before = AfxGetResourceHandle();
    ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32772));
    ASSERT_NE(g_pSetCoorDlg, nullptr);
    dlg = g_pSetCoorDlg->GetSafeHwnd();
    wchar_t caption[32] = {};
    GetWindowTextW(dlg, caption, 32);
    EXPECT_STREQ(caption, L"设置关联点");
    EXPECT_EQ(Item(8106).text, L"完成");
    EXPECT_EQ(AfxGetResourceHandle(), before);
}

TEST_F(CoordDialogTest, TheHintShowsOnlyForProjectedLookingXAndY)
{
    Type(kY, L"3500000");
    Type(kX, L"38500000");  // zone 38, easting 500000
    EXPECT_TRUE(HintShown());
    Type(kX, L"500000");
    EXPECT_TRUE(HintShown());
    Type(kX, L"12500000");  // zone 12 is none of the 3-degree zones used
    EXPECT_FALSE(HintShown());
    Type(kX, L"38900000");  // easting beyond the zone
    EXPECT_FALSE(HintShown());
    Type(kX, L"500000");
    Type(kY, L"1999999");
    EXPECT_FALSE(HintShown());
    for (const wchar_t* odd : {L"1e300", L"nan", L"-inf", L"x", L""}) {
        Type(kX, odd);
        EXPECT_FALSE(HintShown()) << odd;
    }
    Type(kX, L"500000");
    Type(kY, L"6000000");
    EXPECT_TRUE(HintShown());
    Click(8322);  // 清除
    for (int id : {kX, kY, kLng, kLat}) EXPECT_EQ(Item(id).text, L"");
    EXPECT_FALSE(HintShown());
}

TEST_F(CoordDialogTest, APickedPointAndThePeersPlaceFillTheBoxesAndAShortAnswerIsIgnored)
{
    standin::QueuePoint(OdGePoint3d(512345.25, 3456789.5, 0));
    Click(8105);
    EXPECT_FALSE(IsWindowVisible(dlg));
    EXPECT_EQ(Item(kX).text, L"512345.250000");
    EXPECT_EQ(Item(kY).text, L"3456789.500000");
    EXPECT_TRUE(HintShown());
    ASSERT_FALSE(PeerCodes().empty());
    EXPECT_EQ(PeerCodes().back(), 20001u);

    PeerReportsPlace(30.5, 114.25, 23);  // one byte short of a whole answer
    EXPECT_FALSE(IsWindowVisible(dlg));
    EXPECT_EQ(Item(kLng).text, L"");

    PeerReportsPlace(30.5, 114.25);
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(Item(kLng).text, L"114.250000");
    EXPECT_EQ(Item(kLat).text, L"30.500000");
    EXPECT_DOUBLE_EQ(g_pSetCoorDlg->relateLng, 114.25);
    EXPECT_DOUBLE_EQ(g_pSetCoorDlg->relateX, 512345.25);
}

TEST_F(CoordDialogTest, ACancelledPickOrAMissingPeerKeepsTheWindowInReach)
{
    standin::QueueCancel();
    Click(8105);
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(Item(kX).text, L"");

    peer.reset();
    Click(8105);
    EXPECT_EQ(LastBox(), L"拓岚程序没有打开！");
    EXPECT_TRUE(IsWindowVisible(dlg));
    Click(8346);
    EXPECT_EQ(LastBox(), L"拓岚程序没有打开！");
}

TEST_F(CoordDialogTest, DoneSendsTheRelatePointInSimplifiedModeUnlessTheUserClearsIt)
{
    Type(kX, L"38500000");
    Type(kY, L"3500000");
    Type(kLng, L"114.5");
    Type(kLat, L"30.25");
    Click(8106);
    EXPECT_EQ(g_pSetCoorDlg, nullptr);
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_EQ(g_bFollow3Enabled, 1);
    std::vector<uint32_t> modes;
    auto points = SentRelatePoints(&modes);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(modes, (std::vector<uint32_t>{4}));
    EXPECT_DOUBLE_EQ(points[0].longitude, 114.5);
    EXPECT_DOUBLE_EQ(points[0].latitude, 30.25);
    EXPECT_EQ(points[0].flag, 1);
    EXPECT_DOUBLE_EQ(points[0].x, 38500000);
    EXPECT_DOUBLE_EQ(points[0].y, 3500000);
    EXPECT_EQ(memcmp(&points[0], &g_relatePoint, sizeof g_relatePoint), 0);

    // Shown, the box can be cleared: full parameters.
    ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32772));
    dlg = g_pSetCoorDlg->GetSafeHwnd();
    Type(kX, L"500000");
    Type(kY, L"3500000");
    ASSERT_TRUE(HintShown());
    Item(kSimplified).check = 0;
    Type(kLng, L"114.5");
    Type(kLat, L"30.25");
    Click(8106);
    modes.clear();
    SentRelatePoints(&modes);
    EXPECT_EQ(modes, (std::vector<uint32_t>{4, 3}));
}

TEST_F(CoordDialogTest, DoneWithoutAPlaceBindsTheDrawingToAPlaneSystem)
{
    Type(kX, L"100");
    Type(kLat, L"30.25");  // longitude missing
    Click(8106);
    EXPECT_TRUE(SentRelatePoints().empty());
    uint64_t binding = 0;
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", binding);
    EXPECT_NE(binding, 0u);
    EXPECT_EQ(binding, g_coordBinding.currentKey);

    // A peer in longitude and latitude: nothing is bound.
    WritePrivateProfileStringW(L"FILE_MD5", nullptr, nullptr, g_settingsFile);
    peer->Config().coordKind = 2;
    ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32772));
    Click(8106);
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", binding);
    EXPECT_EQ(binding, 0u);
}

TEST_F(CoordDialogTest, UseCurrentSystemBindsAPlaneSystemAndRefusesLongitudeAndLatitude)
{
    peer->Config().coordKind = 2;
    PeerCodes();
    Click(8345);
    EXPECT_EQ(LastBox(), L"当前系统坐标系为经纬度！请设置平面坐标系！");
    EXPECT_NE(g_pSetCoorDlg, nullptr);

    peer->Config().coordKind = 1;
    Click(8345);
    EXPECT_EQ(g_pSetCoorDlg, nullptr);
    uint64_t binding = 0;
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", binding);
    EXPECT_NE(binding, 0u);
}

TEST_F(CoordDialogTest, AChangedNoPromptBoxIsSavedOnce)
{
    ASSERT_EQ(Item(kNoPrompt).check, 0);
    Item(kNoPrompt).check = 1;
    Click(8106);
    EXPECT_EQ(g_settings.noCoordinatePrompt, 1);
    EXPECT_EQ(SavedSettings().noCoordinatePrompt, 1);

    // Unchanged, the record is not written again: a mark put into the file
    // stays.
    PluginSettings marked = SavedSettings();
    marked.roundedValue = 4321;
    WritePrivateProfileStructW(L"VelkArx", L"ini", &marked, sizeof marked, g_settingsFile);
    ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32772));
    dlg = g_pSetCoorDlg->GetSafeHwnd();
    EXPECT_EQ(Item(kNoPrompt).check, 1);
    Click(8106);
    EXPECT_EQ(SavedSettings().roundedValue, 4321);
}

}  // namespace
