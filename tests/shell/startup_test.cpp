// Start-up and unload against the stand-in host and peer: what exists in
// between, the peer's traffic, the refusals, and the framework's tables.
#include <gtest/gtest.h>

#include <memory>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "gcrx_app.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "machine_control.h"
#include "plugin_state.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/moduleentry.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "test_support.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace {

using velktest::ReadAt;

class StartUpTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        AfxSetResourceHandle(gcedGetGcadResourceInstance());
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    // The peer installed, running and ready.
    void RunPeer()
    {
        velktest::InstallStandinPeer(900, peer);
        peer = std::make_unique<velkpeer::StandinPeer>();
        peer->Config().statusWord = 0x100;
    }
    std::vector<uint32_t> Actions(uint32_t code)
    {
        std::vector<uint32_t> actions;
        for (auto& m : peer->Messages())
            if (m.code == code) actions.push_back(ReadAt<uint32_t>(m.bytes, 20));
        return actions;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
};

TEST_F(StartUpTest, StartUpBuildsEverythingAndUnloadTakesItDownInOrder)
{
    RunPeer();
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dwg", false);
    standin::SetSysVarShort(L"ZOOMFACTOR", 60);
    theApp.StartPlugin();

    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);
    EXPECT_FALSE(std::wstring(g_settingsFile).empty());
    EXPECT_EQ(standin::EditorReactorCount(), 1);
    EXPECT_EQ(gcDocManagerPtr()->reactorCount(), 1);
    for (GcApDocument* doc : {a, b}) {
        EXPECT_EQ(standin::SSGetFilterCount(doc), 2);
        EXPECT_EQ(doc->database()->reactorCount(), 1u);
    }
    EXPECT_EQ(drawingRecords.size(), 2u);
    // Every drawing was loaded, and the one the user works in is active.
    EXPECT_EQ(g_ptagDocIdManager, GetDrawingData(drawingRecords, L"C:\\dwg\\a.dwg", a));
    ASSERT_NE(GetToolBarWnd(), nullptr);
    ASSERT_NE(g_pMessageDlg, nullptr);
    HWND receiver = g_pMessageDlg->GetSafeHwnd();
    EXPECT_FALSE(IsWindowVisible(receiver));
    wchar_t cls[32] = {};
    GetClassNameW(receiver, cls, 32);
    EXPECT_EQ(std::wstring(cls), L"VelkArxWin");
    for (UINT_PTR id : {5000u, 1003u, 1007u, 1009u, 1006u, 1008u}) EXPECT_TRUE(standin::HasTimer(receiver, id)) << id;
    // Registration with the peer came with the first request: the status check.
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20501, 20401}));
    EXPECT_TRUE(peer->ButtonPresent());
    EXPECT_EQ(peer->ButtonCaption(), "发送所选对象到CAD");
    EXPECT_EQ(standin::CommandGroup(L"VELK"), L"VELK");
    EXPECT_EQ(standin::CommandGroup(L"TESTCONNECT"), L"VELK");

    HWND bar = GetToolBarWnd()->toolBar->GetSafeHwnd();
    theApp.StopPlugin();
    EXPECT_EQ(peer->Codes()[4], 20013u);
    EXPECT_EQ(ReadAt<int32_t>(peer->Messages()[4].bytes, 0), 1);
    EXPECT_EQ(peer->Codes().back(), 20401u);
    EXPECT_EQ(Actions(20401).back(), 0u);
    EXPECT_FALSE(peer->ButtonPresent());
    EXPECT_FALSE(standin::HasCommand(L"VELK"));
    EXPECT_FALSE(standin::HasCommand(L"testConnect"));
    EXPECT_EQ(standin::EditorReactorCount(), 0);
    EXPECT_EQ(gcDocManagerPtr()->reactorCount(), 0);
    for (GcApDocument* doc : {a, b}) {
        EXPECT_EQ(standin::SSGetFilterCount(doc), 0);
        EXPECT_EQ(doc->database()->reactorCount(), 0u);
    }
    EXPECT_EQ(g_pMessageDlg, nullptr);
    EXPECT_FALSE(IsWindow(receiver));
    EXPECT_EQ(GetToolBarWnd(), nullptr);
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_TRUE(standin::ToolBars().empty());
}

TEST_F(StartUpTest, APeerNotInstalledStillGetsOneButtonRequestAndOneReport)
{
    theApp.StartPlugin();
    EXPECT_EQ(standin::MessageBoxes().back().text, L"您尚未安装拓岚地图，请到官网下载！");
    std::wstring line = standin::CommandLineText();
    const std::wstring report = L"SetVelkButtonErr:\n没有找到拓岚地图程序窗口";
    ASSERT_NE(line.find(report), std::wstring::npos);
    EXPECT_EQ(line.find(report, line.find(report) + 1), std::wstring::npos);
    // No drawing: no record, no base map; the reactors are there all the same.
    EXPECT_TRUE(drawingRecords.empty());
    EXPECT_EQ(standin::EditorReactorCount(), 1);
    theApp.StopPlugin();
}

TEST_F(StartUpTest, APeerOfferedToStartGetsItsButtonFromTheFiveSecondTimer)
{
    velktest::InstallStandinPeer(900, peer);
    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
    theApp.StartPlugin();
    ASSERT_TRUE(peer);  // started by the offer
    EXPECT_TRUE(peer->Messages().empty());
    EXPECT_EQ(standin::CommandLineText().find(L"SetVelkButtonErr"), std::wstring::npos);
    standin::AdvanceClockMs(5000);
    EXPECT_TRUE(peer->ButtonPresent());
    theApp.StopPlugin();
}

TEST_F(StartUpTest, WithoutTheReceiverWindowTheFailureIsSaidAndNoTimerIsSet)
{
    RunPeer();
    // The dialog class is gone: the receiver's class cannot be made, nor its window.
    UnregisterClassW(L"#32770", nullptr);
    theApp.StartPlugin();
    EXPECT_EQ(g_pMessageDlg, nullptr);
    std::wstring line = standin::CommandLineText();
    EXPECT_NE(line.find(L"无法注册窗口类VelkArxWin"), std::wstring::npos);
    EXPECT_NE(line.find(L"无法创建消息接收窗口"), std::wstring::npos);
    // The rest of the start-up went on.
    EXPECT_TRUE(standin::HasCommand(L"VELK"));
    EXPECT_NE(GetToolBarWnd(), nullptr);
    standin::AdvanceClockMs(10000);
    theApp.StopPlugin();
}

TEST_F(StartUpTest, UnloadClearsTheCacheWhenAskedAndFreesTheLineTypes)
{
    RunPeer();
    theApp.StartPlugin();
    g_settings.clearCacheOnExit = 1;
    g_cacheRoot = L"D:\\cache";
    velktest::WriteNativeFile(standin::NativePath(L"D:\\cache\\MapTemp\\1\\t.png"), "x");
    velktest::WriteNativeFile(standin::NativePath(L"D:\\cache\\keep.txt"), "x");
    g_pLinetypeTable = (LinetypeTable*)calloc(1, sizeof(LinetypeTable));
    theApp.StopPlugin();
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"D:\\cache\\MapTemp")));
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(L"D:\\cache\\keep.txt")));
    EXPECT_EQ(g_pLinetypeTable, nullptr);
}

TEST_F(StartUpTest, AFolderThatFailsTheCheckStopsTheLoadWithThree)
{
    standin::SetDiskFreeBytes(1ull << 30);
    g_hModuleInstance = (HINSTANCE)standin::ModuleHandle();
    velktest::WriteNativeFile(standin::NativePath(L"C:\\Program Files\\CadHost\\Plugins\\Velk\\x"), "");
    standin::QueueMessageBoxAnswer(IDYES);
    EXPECT_EQ(theApp.DispatchAppMessage(kInitAppMsg, nullptr), (unsigned)kRetError);
    EXPECT_FALSE(standin::HasCommand(L"VELK"));
    EXPECT_EQ(GetToolBarWnd(), nullptr);
    EXPECT_EQ(g_pMessageDlg, nullptr);
    EXPECT_EQ(standin::EditorReactorCount(), 0);
}

// A plug-in that fills the framework's tables.
int g_registered = 0;
int g_lispCalls = 0;
void RegisterOne() { ++g_registered; }
OdRxClass* ParentClass()
{
    static OdRxClass c(L"VkParent", nullptr);
    return &c;
}
OdRxClass* ChildClass()
{
    static OdRxClass c(L"VkChild", ParentClass());
    return &c;
}
void Command() {}
int Lisp()
{
    ++g_lispCalls;
    return 0;
}

TEST(FrameworkTables, ClassesCommandsAndLispFunctionsAreRegisteredAndRemoved)
{
    velktest::ResetPluginState();
    g_registered = g_lispCalls = 0;
    GcRxClassEntry child{&RegisterOne, &ChildClass, 0, nullptr};
    GcRxClassEntry parent{&RegisterOne, &ParentClass, 0, &child};
    GcRxCommandEntry named{L"VKGROUP", L"VKNAMED", L"VKLOCAL", 0, &Command, nullptr, 0, nullptr};
    // The local name comes from the string table: 32768's tooltip string.
    GcRxCommandEntry fromTable{L"VKGROUP", L"VKTABLE", nullptr, GCRX_CMD_NO_RESOURCE, &Command, nullptr, 32768,
                               &named};
    GcRxLispEntry lisp{L"vkfn", &Lisp, 0, 0, nullptr};
    HINSTANCE instance = velktest::TestModuleInstance();
    GcRxArxApp app(instance);
    app.classInitTable = &parent;
    app.commandTable = &fromTable;
    app.lispFunctionTable = &lisp;

    EXPECT_EQ(app.On_kInitAppMsg(nullptr), 0u);
    EXPECT_EQ(app.moduleInstance, instance);
    EXPECT_EQ(g_registered, 2);
    EXPECT_EQ(parent.done + child.done, 2);
    EXPECT_EQ(standin::ClassHierarchyBuilds(), 1);
    EXPECT_EQ(standin::CommandGroup(L"VKNAMED"), L"VKGROUP");
    EXPECT_EQ(standin::CommandGroup(L"\n发送所选对象到拓岚"), L"VKGROUP");

    EXPECT_EQ(app.On_kLoadDwgMsg(nullptr), 0u);
    int code = -1;
    ASSERT_TRUE(standin::LispFunctionCode(L"vkfn", code));
    EXPECT_EQ(code, 0);
    static GcRxArxApp* current = nullptr;
    current = &app;
    ASSERT_TRUE(standin::InvokeLispFunction(L"vkfn", [] {
        current->On_kInvkSubrMsg(nullptr);
        return 0;
    }));
    EXPECT_EQ(g_lispCalls, 1);
    EXPECT_EQ(app.On_kUnloadDwgMsg(nullptr), 0u);
    EXPECT_FALSE(standin::LispFunctionCode(L"vkfn", code));

    EXPECT_EQ(app.On_kUnloadAppMsg(nullptr), 0u);
    EXPECT_EQ(parent.done + child.done, 0);
    EXPECT_EQ(standin::DeletedClasses(), 2);
    EXPECT_FALSE(standin::HasCommand(L"VKNAMED"));
    EXPECT_FALSE(standin::HasCommand(L"VKTABLE"));
}

}  // namespace
