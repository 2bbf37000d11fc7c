// Finding and starting the peer: the installed version's thresholds, the
// status word, the offer to start it, and the hints that come once.
#include <gtest/gtest.h>

#include <memory>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "machine_control.h"
#include "plugin_state.h"
#include "standin_peer.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;

class PeerCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        velktest::RegisterPluginWindowClass();
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenRegistryKeyCount(), 0);
    }
    // The peer installed with that version and running, ready by default.
    void Run(DWORD version, int32_t status = 0x101)
    {
        velktest::InstallStandinPeer(version, peer);
        peer = std::make_unique<StandinPeer>();
        peer->Config().statusWord = status;
    }
    std::vector<std::wstring> Boxes()
    {
        std::vector<std::wstring> texts;
        for (auto& b : standin::MessageBoxes()) texts.push_back(b.text);
        return texts;
    }
    size_t Pages() { return standin::ShellExecutes().size(); }

    std::unique_ptr<StandinPeer> peer;
};

TEST_F(PeerCheckTest, InstalledVersionsBelow772AreRefusedAndFrom772To831HintedOncePerLoad)
{
    Run(771);
    EXPECT_FALSE(CheckVelkStatus());
    EXPECT_EQ(Boxes().back(), L"您安装拓岚地图版本太低，请到官网下载！");
    ASSERT_EQ(Pages(), 1u);
    EXPECT_EQ(standin::ShellExecutes()[0].file, kPeerDownloadPage);
    EXPECT_TRUE(peer->Messages().empty());

    for (DWORD version : {772u, 831u}) {
        velktest::ResetPluginState();
        velktest::RegisterPluginWindowClass();
        Run(version);
        size_t shown = standin::DialogsShown().size();
        standin::QueueDialogAnswer(8353, [](HWND) { return IDCANCEL; });
        EXPECT_TRUE(CheckVelkStatus()) << version;
        EXPECT_EQ(standin::DialogsShown().size(), shown + 1) << version;
        EXPECT_EQ(g_settings.peerVersionWarned, 832);
        EXPECT_TRUE(CheckVelkStatus());
        EXPECT_EQ(standin::DialogsShown().size(), shown + 1) << version;  // once per load
        peer.reset();
    }
}

TEST_F(PeerCheckTest, TheTooOldHintCanSendTheUserToTheDownloadPage)
{
    Run(800);
    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
    EXPECT_FALSE(CheckVelkStatus());
    ASSERT_EQ(Pages(), 1u);
    EXPECT_EQ(standin::ShellExecutes()[0].file, kPeerDownloadPage);
}

TEST_F(PeerCheckTest, A832PeerIsReadyWithoutHintsAndItsVersionIsNotReadAgain)
{
    Run(832);
    EXPECT_TRUE(CheckVelkStatus());
    EXPECT_TRUE(standin::DialogsShown().empty());
    EXPECT_EQ(g_installedPeerVersion, 832);
    standin::DeleteRegistryKey(HKEY_CURRENT_USER, velkpeer::kPeerRegistryKey);
    EXPECT_TRUE(CheckVelkStatus());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(PeerCheckTest, TheStatusWordMustBePositiveWithBit8)
{
    Run(900, 0x100);
    EXPECT_TRUE(CheckVelkStatus());
    peer->Config().statusWord = 0x0FF;
    EXPECT_FALSE(CheckVelkStatus());
    EXPECT_EQ(Boxes(), (std::vector<std::wstring>{L"拓岚正在处理事务，本消息处理失败！"}));
    peer->QueueAnswer(20501, -6);
    EXPECT_FALSE(CheckVelkStatus());
    EXPECT_EQ(Boxes().back(), L"GetStatusInfoErr:消息处理失败");
    EXPECT_EQ(Boxes().size(), 2u);
    peer->Config().statusWord = 0;
    EXPECT_FALSE(CheckVelkStatus());
    EXPECT_EQ(Boxes().size(), 2u);

    peer.reset();
    EXPECT_FALSE(CheckVelkStatus());
    EXPECT_EQ(Boxes().back(), L"您尚未打开拓岚互动地图，无法使用插件功能！");
}

TEST_F(PeerCheckTest, StartUpAnswersOneZeroOrMinusOne)
{
    // Not installed.
    EXPECT_EQ(StartVelkProgram(), -1);
    EXPECT_EQ(Boxes().back(), L"您尚未安装拓岚地图，请到官网下载！");
    EXPECT_EQ(Pages(), 1u);
    // Installed but too old.
    velktest::InstallStandinPeer(700, peer);
    EXPECT_EQ(StartVelkProgram(), -1);
    EXPECT_EQ(Boxes().back(), L"您安装拓岚地图版本太低，请到官网下载！");
    EXPECT_FALSE(peer);
    // Running and ready; running and busy.
    Run(900);
    EXPECT_EQ(StartVelkProgram(), 1);
    peer->Config().statusWord = 0x0FF;
    EXPECT_EQ(StartVelkProgram(), 0);
}

TEST_F(PeerCheckTest, AnOldInstalledPeerIsStartedAfterTheHintAndAQuestion)
{
    velktest::InstallStandinPeer(800, peer);
    standin::QueueDialogAnswer(8353, [](HWND) { return IDCANCEL; });
    standin::QueueMessageBoxAnswer(IDYES);
    EXPECT_EQ(StartVelkProgram(), 0);
    EXPECT_EQ(Boxes().back(), L"是否打开拓岚程序？");
    ASSERT_TRUE(peer);
    EXPECT_EQ(standin::ShellExecutes().back().file, velkpeer::kPeerProgramPath);

    // The user goes to the download page from the hint: not started.
    velktest::ResetPluginState();
    velktest::RegisterPluginWindowClass();
    peer.reset();
    velktest::InstallStandinPeer(800, peer);
    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
    EXPECT_EQ(StartVelkProgram(), -1);
    EXPECT_FALSE(peer);
}

TEST_F(PeerCheckTest, TheStartOfferIsSilencedOnlyByNoMoreAndCancel)
{
    velktest::InstallStandinPeer(900, peer);
    std::wstring title;
    standin::QueueDialogAnswer(8353, [&](HWND dlg) {
        wchar_t text[64] = {};
        GetWindowTextW(dlg, text, 64);
        title = text;
        standin::DialogItem(dlg, 8351).check = 1;
        return IDOK;
    });
    EXPECT_EQ(StartVelkProgram(), 0);
    EXPECT_EQ(title, L"提示");
    ASSERT_TRUE(peer);  // started: OK wins over the tick
    EXPECT_EQ(g_settings.startPeerPromptOff, 0);

    peer.reset();
    standin::QueueDialogAnswer(8353, [](HWND dlg) {
        standin::DialogItem(dlg, 8351).check = 1;
        return IDCANCEL;
    });
    EXPECT_EQ(StartVelkProgram(), 0);
    EXPECT_FALSE(peer);
    EXPECT_EQ(g_settings.startPeerPromptOff, 1);
    // Saved at once, and asked no more.
    PluginSettings saved{};
    ASSERT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", &saved, sizeof saved, g_settingsFile));
    EXPECT_EQ(saved.startPeerPromptOff, 1);
    EXPECT_EQ(StartVelkProgram(), 0);
    EXPECT_EQ(standin::DialogsShown().size(), 2u);
}

TEST_F(PeerCheckTest, TheInstallationIsReadWithoutAskingForWriteAccess)
{
    velktest::InstallStandinPeer(900, peer);
    standin::SetRegistryKeyReadOnly(HKEY_CURRENT_USER, velkpeer::kPeerRegistryKey, true);
    EXPECT_EQ(StartVelkProgram(), 0);  // offered, not "not installed"
    EXPECT_EQ(g_installedPeerVersion, 900);
    EXPECT_EQ(standin::DialogsShown().size(), 1u);
}

TEST_F(PeerCheckTest, UpdateNoticesComeOncePerLoadAndComeBackForANewerVersion)
{
    std::wstring shown;
    standin::QueueDialogAnswer(8353, [&](HWND dlg) {
        shown = standin::DialogItem(dlg, 8137).text;
        standin::DialogItem(dlg, 8351).check = 1;
        return IDCANCEL;
    });
    g_settings.updateHint = 1;
    EXPECT_EQ(UpdateNotice(L"", 170), 1);
    EXPECT_EQ(shown, L"系统发现插件有更新(v1.7.0)，请到官网下载！");
    EXPECT_EQ(g_settings.updateHint, 0);
    EXPECT_EQ(g_settings.lastAnnouncedVersion, 170);
    EXPECT_EQ(UpdateNotice(L"", 171), 1);
    EXPECT_EQ(standin::DialogsShown().size(), 1u);

    // Next load: 165 is not newer than what was announced; 172 is.
    g_bUpdateNoticeArmed = true;
    EXPECT_EQ(UpdateNotice(L"", 165), 1);
    EXPECT_EQ(standin::DialogsShown().size(), 1u);
    g_bUpdateNoticeArmed = true;
    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
    EXPECT_EQ(UpdateNotice(L"新功能", 172), 0);
    EXPECT_EQ(standin::ShellExecutes().back().file, kPluginUpdatePage);
}

TEST_F(PeerCheckTest, ActivationRestoresAMinimisedPeerAndRaisesIt)
{
    EXPECT_EQ(ActivateVelkWindow(), 0);
    Run(900);
    ShowWindow(peer->Window(), SW_MINIMIZE);
    EXPECT_TRUE(ActivateVelkWindow());
    EXPECT_FALSE(IsIconic(peer->Window()));
    EXPECT_EQ(GetForegroundWindow(), peer->Window());
}

}  // namespace
