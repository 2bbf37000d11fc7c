// The stand-in window manager: nested sends, copied WM_COPYDATA, scripted
// send time-outs, the posted queue, timers on the virtual clock, modal loops,
// CWnd and CDialog over it, the shell launcher and the command stack.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "afxwin.h"
#include "dialog_control.h"
#include "gced_cmd.h"
#include "standin_control.h"
#include "window_control.h"
#include "windows.h"

namespace {

// Everything the test windows receive, as "window:message:wParam".
std::vector<std::string> g_log;
std::vector<std::string> g_copies;
const void* g_copyPointer = nullptr;
HWND g_forward = nullptr;

LRESULT CALLBACK RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    wchar_t title[32] = {};
    GetWindowTextW(h, title, 32);
    std::string name(title, title + wcslen(title));
    if (msg == WM_COPYDATA) {
        auto* cds = (const COPYDATASTRUCT*)lp;
        g_copyPointer = cds->lpData;
        g_copies.emplace_back((const char*)cds->lpData, cds->cbData);
        // An answer sent back while the sender still waits.
        if (g_forward) SendMessageW(g_forward, WM_USER + 1, 7, 0);
        return (LRESULT)cds->cbData;
    }
    if (msg == WM_NCCREATE || msg == WM_CREATE) return DefWindowProcW(h, msg, wp, lp);
    g_log.push_back(name + ":" + std::to_string(msg) + ":" + std::to_string(wp));
    return 0;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        g_copies.clear();
        g_forward = nullptr;
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = L"TestWin";
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    HWND Make(const wchar_t* title, HWND parent = nullptr, DWORD style = 0)
    {
        return CreateWindowExW(0, L"TestWin", title, style, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    }
};

TEST_F(WindowTest, CopyDataIsACopyAndAnswersNestInsideTheSend)
{
    HWND a = Make(L"a");
    HWND b = Make(L"b");
    g_forward = a;
    char data[] = "payload";
    COPYDATASTRUCT cds{42, 7, data};
    EXPECT_EQ(SendMessageW(b, WM_COPYDATA, 1001, (LPARAM)&cds), 7);
    ASSERT_EQ(g_copies.size(), 1u);
    EXPECT_EQ(g_copies[0], "payload");
    EXPECT_NE(g_copyPointer, (const void*)data);
    // The nested answer reached a before the send returned.
    EXPECT_EQ(g_log, (std::vector<std::string>{"a:1025:7"}));
}

#ifdef __SANITIZE_ADDRESS__
TEST_F(WindowTest, AReceiverThatKeepsTheCopyIsCaught)
{
    HWND b = Make(L"b");
    char data[] = "kept";
    COPYDATASTRUCT cds{1, 4, data};
    SendMessageW(b, WM_COPYDATA, 1001, (LPARAM)&cds);
    EXPECT_DEATH(printf("%c", *(volatile const char*)g_copyPointer), "heap-use-after-free");
}
#endif

TEST_F(WindowTest, SendTimeoutOutcomesAreScriptedPerWindow)
{
    HWND b = Make(L"b");
    DWORD_PTR result = 99;
    std::string bytes = "late";
    COPYDATASTRUCT cds{1, 4, bytes.data()};

    EXPECT_EQ(SendMessageTimeoutW(b, WM_COPYDATA, 1001, (LPARAM)&cds, SMTO_NORMAL, 1, &result), 1);
    EXPECT_EQ(result, 4u);

    standin::SetSendTimeoutOutcome(b, standin::SendTimeoutOutcome::TimeOut);
    result = 99;
    EXPECT_EQ(SendMessageTimeoutW(b, WM_COPYDATA, 1001, (LPARAM)&cds, SMTO_NORMAL, 1, &result), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    EXPECT_EQ(result, 99u);
    bytes = "gone";  // the sender's block changes; the late delivery keeps what was sent
    EXPECT_EQ(g_copies.size(), 1u);
    standin::PumpMessages();
    ASSERT_EQ(g_copies.size(), 2u);
    EXPECT_EQ(g_copies[1], "late");

    standin::SetSendTimeoutOutcome(b, standin::SendTimeoutOutcome::Fail);
    EXPECT_EQ(SendMessageTimeoutW(b, WM_COPYDATA, 1001, (LPARAM)&cds, SMTO_NORMAL, 1, &result), 0);
    EXPECT_NE(GetLastError(), (DWORD)ERROR_TIMEOUT);
    standin::PumpMessages();
    EXPECT_EQ(g_copies.size(), 2u);
}

TEST_F(WindowTest, PostedMessagesAndTimersRunInOrderOnTheVirtualClock)
{
    HWND a = Make(L"a");
    HWND gone = Make(L"gone");
    SetTimer(a, 5, 100, nullptr);
    SetTimer(a, 6, 250, nullptr);
    PostMessageW(a, WM_USER, 1, 0);
    PostMessageW(gone, WM_USER, 2, 0);
    PostMessageW(a, WM_USER, 3, 0);
    DestroyWindow(gone);
    g_log.clear();
    standin::AdvanceClockMs(300);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a:1024:1", "a:1024:3", "a:275:5", "a:275:5", "a:275:6", "a:275:5"}));
    EXPECT_EQ(standin::ClockMs(), 300u);

    // Setting a timer again restarts it; killing it stops it.
    g_log.clear();
    SetTimer(a, 5, 1000, nullptr);
    KillTimer(a, 6);
    standin::AdvanceClockMs(999);
    EXPECT_TRUE(g_log.empty());
    standin::AdvanceClockMs(1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a:275:5"}));
    DestroyWindow(a);
    EXPECT_FALSE(standin::HasTimer(a, 5));
}

TEST_F(WindowTest, MessageBoxRunsTheModalLoop)
{
    HWND a = Make(L"a");
    SetTimer(a, 1, 1000, nullptr);
    standin::SetModalDwellMs(2500);
    AfxMessageBox(L"question", MB_YESNO);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a:275:1", "a:275:1"}));
}

TEST_F(WindowTest, DestroyReachesChildrenAndFindWindowSeesTopLevelOnly)
{
    HWND parent = Make(L"parent", nullptr, WS_VISIBLE);
    HWND child = Make(L"child", parent, WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(FindWindowW(L"testwin", L"parent"), parent);
    EXPECT_EQ(FindWindowW(L"TestWin", L"child"), nullptr);
    // A pop-up with an owner (the receiver window under the host's frame) is
    // top-level: found by its class, and hidden or shown on its own.
    HWND owned = Make(L"owned", parent, WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(FindWindowW(L"TestWin", L"owned"), owned);
    ShowWindow(parent, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowVisible(owned));
    g_log.clear();
    DestroyWindow(parent);
    EXPECT_EQ(g_log, (std::vector<std::string>{"parent:2:0", "child:2:0", "child:130:0", "owned:2:0", "owned:130:0",
                                               "parent:130:0"}));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(FindWindowW(L"TestWin", nullptr), nullptr);
}

TEST_F(WindowTest, IconicWindowIsRestoredByShowNormal)
{
    HWND a = CreateWindowExW(0, L"TestWin", L"a", WS_VISIBLE | WS_MINIMIZE, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                             nullptr);
    EXPECT_TRUE(IsIconic(a));
    EXPECT_TRUE(ShowWindow(a, SW_SHOWNORMAL));
    EXPECT_FALSE(IsIconic(a));
    EXPECT_TRUE(BringWindowToTop(a));
    EXPECT_EQ(GetForegroundWindow(), a);
}

TEST(RegisteredMessages, SameNameSameIdAcrossMachines)
{
    UINT id = RegisterWindowMessageW(L"R_TEST_PROGRESS");
    EXPECT_GE(id, 0xC000u);
    standin::ResetMachine(standin::MachineRoot());
    EXPECT_EQ(RegisterWindowMessageW(L"r_test_progress"), id);
    EXPECT_NE(RegisterWindowMessageW(L"R_OTHER"), id);
}

TEST(Shell, LauncherStandsInForAProgram)
{
    int started = 0;
    standin::RegisterLauncher(L"C:\\Apps\\peer.exe", [&](const std::wstring&) { return ++started == 1; });
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = L"c:\\apps\\PEER.exe";
    EXPECT_TRUE(ShellExecuteExW(&info));
    EXPECT_EQ(started, 1);
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_LE((INT_PTR)ShellExecuteW(nullptr, L"open", L"C:\\missing.exe", nullptr, nullptr, SW_SHOW), 32);
    ASSERT_EQ(standin::ShellExecutes().size(), 3u);
    EXPECT_EQ(standin::ShellExecutes()[2].file, L"C:\\missing.exe");
}

// A window object that owns itself, as modeless windows do.
class SelfOwned : public CWnd {
public:
    explicit SelfOwned(std::vector<std::string>* log) : log_(log) {}
    static SelfOwned* g_alive;

protected:
    int OnCreate(LPCREATESTRUCT cs) override
    {
        log_->push_back("create");
        SetTimer(9, 100, nullptr);
        return CWnd::OnCreate(cs);
    }
    void OnTimer(UINT_PTR id) override { log_->push_back("timer " + std::to_string(id)); }
    void OnClose() override
    {
        log_->push_back("close");
        CWnd::OnClose();  // the default closes the window
    }
    void OnDestroy() override { log_->push_back("destroy"); }
    void PostNcDestroy() override
    {
        log_->push_back("post");
        g_alive = nullptr;
        delete this;
    }

private:
    std::vector<std::string>* log_;
};
SelfOwned* SelfOwned::g_alive = nullptr;

TEST(MfcWindows, HandlersRunAndTheObjectDeletesItselfAfterItsLastMessage)
{
    std::vector<std::string> log;
    SelfOwned::g_alive = new SelfOwned(&log);
    RECT rc{0, 0, 1, 1};
    ASSERT_TRUE(SelfOwned::g_alive->Create(nullptr, L"owned", WS_CHILD, rc, nullptr, 1));
    HWND h = SelfOwned::g_alive->m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(h), SelfOwned::g_alive);
    standin::AdvanceClockMs(100);
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"create", "timer 9", "close", "destroy", "post"}));
    EXPECT_EQ(SelfOwned::g_alive, nullptr);
    EXPECT_FALSE(IsWindow(h));
}

class NameDialog : public CDialog {
public:
    NameDialog() : CDialog(8200) {}
    CString name = L"start";
    int check = 1;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Text(dx, 1001, name);
        DDX_Check(dx, 1002, check);
    }
};

TEST(MfcDialogs, ModalRunTakesTheScriptedAnswer)
{
    NameDialog cancelled;
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);  // nothing queued
    EXPECT_EQ(cancelled.name, L"start");

    standin::QueueDialogAnswer(8200, [](HWND dlg) {
        EXPECT_EQ(standin::DialogItem(dlg, 1001).text, L"start");
        standin::DialogItem(dlg, 1001).text = L"new";
        standin::DialogItem(dlg, 1002).check = 0;
        return IDOK;
    });
    NameDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.name, L"new");
    EXPECT_EQ(dlg.check, 0);
    EXPECT_FALSE(IsWindow(dlg.m_hWnd));
    EXPECT_EQ(standin::DialogsShown(), (std::vector<UINT>{8200, 8200}));
}

TEST(MfcDialogs, ModelessCreateUsesTheTemplatesClassAndCaption)
{
    WNDCLASSW wc{};
    GetClassInfoW(AfxGetInstanceHandle(), L"#32770", &wc);
    wc.lpszClassName = L"ReceiverClass";
    ASSERT_TRUE(AfxRegisterClass(&wc));
    standin::SetDialogTemplate(8103, L"ReceiverClass", L"DialogMODELESS");
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(8103));
    EXPECT_EQ(FindWindowW(L"ReceiverClass", L"DialogMODELESS"), dlg.m_hWnd);
    EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST(MfcExtensionModules, ResourceChainCountsLibraries)
{
    size_t before = standin::DynLinkLibraryCount();
    AFX_EXTENSION_MODULE rec{};
    ASSERT_TRUE(AfxInitExtensionModule(rec, (HMODULE)0x1234));
    new CDynLinkLibrary(rec);
    EXPECT_EQ(standin::DynLinkLibraryCount(), before + 1);
    AfxTermExtensionModule(rec);
    EXPECT_EQ(standin::DynLinkLibraryCount(), before);
}

int g_runs = 0;
void CountRun() { ++g_runs; }

TEST(CommandStack, GroupsRegisterRunAndGo)
{
    g_runs = 0;
    OdEdCommandStack* stack = odedRegCmds();
    EXPECT_EQ(stack->addCommand(L"G", L"ONE", L"eins", 0, &CountRun), 0);
    EXPECT_NE(stack->addCommand(L"G", L"one", L"x", 0, &CountRun), 0);
    EXPECT_EQ(stack->addCommand(L"G", L"TWO", L"TWO", 0, &CountRun), 0);
    EXPECT_TRUE(standin::InvokeCommand(L"Eins"));
    EXPECT_TRUE(standin::InvokeCommand(L"two"));
    EXPECT_EQ(g_runs, 2);
    EXPECT_EQ(standin::CommandGroup(L"ONE"), L"G");
    EXPECT_EQ(stack->removeGroup(L"g"), 0);
    EXPECT_FALSE(standin::HasCommand(L"ONE"));
    EXPECT_FALSE(standin::InvokeCommand(L"TWO"));
}

}  // namespace
