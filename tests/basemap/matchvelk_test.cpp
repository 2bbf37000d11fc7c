// MATCHVELK: the view zoomed to the peer's scale, and an answer that did
// not come in time.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "afxmsgbox.h"
#include "basemap/matchvelk.h"
#include "editor_control.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/shellservices.h"
#include "test_support.h"

namespace {

class MatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        standin::CreateDocument(L"C:\\dwg\\site.dwg");
        velktest::InstallStandinPeer(900, peer);
        peer = std::make_unique<velkpeer::StandinPeer>();
        peer->Config().statusWord = 0x100;
        standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(1000, 2000, 0));
        standin::SetSysVarReal(L"VIEWSIZE", 600);
        standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(800, 600, 0));
        standin::SetSysVarShort(L"ZOOMFACTOR", 40);
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    std::unique_ptr<velkpeer::StandinPeer> peer;
};

TEST_F(MatchTest, TheViewIsZoomedToThePeersScaleWhenTheRequestWasAnswered)
{
    peer->ShellCodes().matchSize = 300;  // s = 3, halved to 1.5
    MatchVelk();
    ASSERT_EQ(peer->Codes().back(), 20301u);
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);
    EXPECT_FALSE(g_bMatchOnly);

    // A scale of 0 leaves the view as it is.
    peer->ShellCodes().matchSize = 0;
    MatchVelk();
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
}

TEST_F(MatchTest, ARequestWithoutItsAnswerNeitherZoomsNorTakesTheNextAnswer)
{
    peer->ShellCodes().matchSize = 300;
    MatchVelk();
    ASSERT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);

    // Taken, but no answer comes: the view stays, and the last match's
    // values are not used again.
    peer->QueueAnswer(20301, 0);
    MatchVelk();
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
    EXPECT_FALSE(g_bMatchOnly);

    // The next answer, to a view-based request, is judged as such.
    g_lastViewMatchExtents.screenWidth = 800;
    std::vector<uint8_t> answer(120);
    const int32_t imageSize = 300;
    memcpy(answer.data() + 68, &imageSize, 4);
    COPYDATASTRUCT cds{20301, (DWORD)answer.size(), answer.data()};
    SendMessageW(ReceiverWindow(), WM_COPYDATA, 1001, (LPARAM)&cds);
    EXPECT_NE(standin::CommandLineText().find(L"当前视图缩放比例可能太大"), std::wstring::npos);
}

TEST_F(MatchTest, NoRequestForAViewWithoutWidthOrAPeerInLongitudeAndLatitude)
{
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(0, 600, 0));
    MatchVelk();
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_FALSE(g_bMatchOnly);
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(800, 600, 0));
    g_coordBinding.geographic = true;
    MatchVelk();
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"拓岚当前的坐标系为经纬度，不支持该操作！");
}

}  // namespace
