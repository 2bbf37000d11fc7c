// The module's door: entry dispatch, the module object, the extension module,
// start-up and unload with the two commands, testConnect, and the built
// module loaded through dlopen by the host's dynamic linker.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcui_dll.h"
#include "machine_control.h"
#include "peer/peerapi.h"
#include "shell/moduleentry.h"
#include "shell/velkarxapp.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/modulestate.h"
#include "state/pluginresourcescope.h"
#include "test_support.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;
using velktest::ReadAt;

// Records which handler each entry message reaches.
class RecordingApp : public CVelkArxApp {
public:
    std::vector<std::string> calls;
    unsigned On_kInitAppMsg(void*) override { return Note("init", 0); }
    unsigned On_kUnloadAppMsg(void*) override { return Note("unload", 0); }
    unsigned On_kLoadDwgMsg(void*) override { return Note("loaddwg", 0); }
    unsigned On_kAppMsg15(void*) override { return Note("msg15", 0); }
    unsigned On_kNullMsg(void*) override { return Note("null", 0); }

private:
    unsigned Note(const char* name, unsigned result)
    {
        calls.push_back(name);
        return result;
    }
};

TEST(EntryDispatch, MessagesReachTheirHandlers)
{
    RecordingApp app;
    for (unsigned message : {1u, 2u, 3u, 15u, 0u, 16u, 1000u, 0xFFFFFFFFu}) EXPECT_EQ(app.DispatchAppMessage(message, nullptr), 0u);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"init", "unload", "loaddwg", "msg15", "null"}));
    EXPECT_EQ(app.DispatchAppMessage(4, nullptr), 0u);
    EXPECT_EQ(app.calls.size(), 5u);
}

TEST(ModuleObject, MadeOnceOwnsTheHandleAndForwardsToTheEntryPoint)
{
    HMODULE cell = (HMODULE)0x1000;
    OdRxModule* first = CreatePluginModuleObject(&cell);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cell, nullptr);
    EXPECT_EQ(first->sysData(), (void*)0x1000);
    HMODULE second = (HMODULE)0x2000;
    EXPECT_EQ(CreatePluginModuleObject(&second), first);
    EXPECT_EQ(second, (HMODULE)0x2000);

    auto* module = static_cast<Arx2DrxModule*>(first);
    module->addRef();
    module->addRef();
    module->release();
    EXPECT_EQ(module->referenceCount(), 1);
    module->release();
    // A module without an entry point answers 3.
    EXPECT_EQ(module->forwardAppMessage(1, module), 3u);
    module->deleteModule();

    HMODULE program = GetModuleHandleW(nullptr);
    OdRxModule* fresh = CreatePluginModuleObject(&program);
    EXPECT_EQ(static_cast<Arx2DrxModule*>(fresh)->forwardAppMessage(2, fresh), 3u);
    fresh->deleteModule();
}

TEST(ExtensionModule, AttachesOnceIntoTheResourceChain)
{
    size_t before = standin::DynLinkLibraryCount();
    PluginExtensionModule ext{};
    HINSTANCE instance = (HINSTANCE)0x4242;
    EXPECT_TRUE(ext.AttachInstance(instance));
    EXPECT_FALSE(ext.AttachInstance(instance));
    EXPECT_EQ(standin::DynLinkLibraryCount(), before + 1);
    EXPECT_EQ(ext.moduleResource, instance);
    ext.DetachInstance();
    EXPECT_FALSE(ext.attached);
    EXPECT_EQ(standin::DynLinkLibraryCount(), before);
}

TEST(ResourceOverride, PutsTheModuleResourcesFirstOnTheHostStackWhileItLives)
{
    const HINSTANCE host = (HINSTANCE)0x100;
    const HINSTANCE module = (HINSTANCE)0x4242;
    const HINSTANCE other = (HINSTANCE)0x300;
    PluginExtensionModule saved = g_pluginExtension;
    g_pluginExtension.moduleResource = module;
    AfxSetResourceHandle(host);
    {
        ModuleResourceOverride outer;
        EXPECT_EQ(AfxGetResourceHandle(), module);
        gcDocManagerPtr()->pushResourceHandle(other);
        {
            ModuleResourceOverride inner;
            EXPECT_EQ(AfxGetResourceHandle(), module);
        }
        EXPECT_EQ(AfxGetResourceHandle(), other);
        gcDocManagerPtr()->popResourceHandle();
        EXPECT_EQ(AfxGetResourceHandle(), module);
    }
    EXPECT_EQ(AfxGetResourceHandle(), host);
    {
        // The guard's push is the host's to undo: a pop by the host while
        // the guard lives brings back the host's resources.
        ModuleResourceOverride guard;
        gcDocManagerPtr()->popResourceHandle();
        EXPECT_EQ(AfxGetResourceHandle(), host);
    }
    g_pluginExtension = saved;
}

class ShellTest : public testing::Test {
protected:
    void SetUp() override { g_peerApi = PeerApiState{}; }
    void TearDown() override { g_peerApi = PeerApiState{}; }
};

TEST_F(ShellTest, StartRegistersTheCommandsAndStopTakesThemAwayTellingThePeer)
{
    auto peer = std::make_unique<StandinPeer>();
    theApp.StartPlugin();
    EXPECT_EQ(standin::CommandGroup(L"VELK"), L"VELK");
    EXPECT_EQ(standin::CommandGroup(L"TESTCONNECT"), L"VELK");
    WNDCLASSW wc;
    ASSERT_TRUE(GetClassInfoW(nullptr, L"VelkArxWin", &wc));
    EXPECT_EQ(wc.style, (UINT)CS_GLOBALCLASS);
    EXPECT_EQ(std::wstring(g_peerApi.clientName), L"VelkArxWin");
    // Registration waits for the first request.
    EXPECT_TRUE(peer->Messages().empty());

    standin::SetSendTimeoutOutcome(peer->Window(), standin::SendTimeoutOutcome::TimeOut);
    theApp.StopPlugin();
    EXPECT_FALSE(standin::HasCommand(L"VELK"));
    EXPECT_FALSE(standin::HasCommand(L"testConnect"));
    standin::PumpMessages();
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20013, 20401}));
    EXPECT_EQ(ReadAt<int32_t>(peer->Messages()[2].bytes, 0), 1);
    EXPECT_EQ(ReadAt<int32_t>(peer->Messages()[3].bytes, 20), 0);
}

TEST_F(ShellTest, TestConnectSendsTheTestRecordAndOpensTheFolder)
{
    PeerApiSetClientName(&g_peerApi, L"VelkArxWin");
    auto peer = std::make_unique<StandinPeer>();
    CmdTestConnect();
    ASSERT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20020}));
    const auto& block = peer->Messages()[2].bytes;
    ASSERT_EQ(block.size(), 803u);
    EXPECT_EQ(block[100], 1);
    EXPECT_EQ(ReadAt<int64_t>(block, 108), 123456789101112);
    std::string path((const char*)block.data() + 116);
    EXPECT_EQ(path, "C:\\Users\\user\\AppData\\Local\\TestData.txt");
    EXPECT_EQ(block[116 + 255], 0);
    EXPECT_EQ(ReadAt<int32_t>(block, 372), 15);
    EXPECT_EQ(std::string((const char*)block.data() + 788), "ABCDEF12344xyz");
    EXPECT_EQ(block[802], 0);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"测试数据接收成功！");
    ASSERT_EQ(standin::ShellExecutes().size(), 1u);
    EXPECT_EQ(standin::ShellExecutes()[0].file, standin::kLocalAppDataFolder);
    EXPECT_EQ(standin::ShellExecutes()[0].verb, L"open");

    // Without the peer the test fails, and the folder is opened all the same.
    peer.reset();
    CmdTestConnect();
    EXPECT_EQ(standin::MessageBoxes().back().text, L"测试数据接收失败！");
    EXPECT_EQ(standin::ShellExecutes().size(), 2u);
}

// The module as the build made it, loaded the way the host loads it.
class BuiltModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::path built = std::string(VELK_BINARY_DIR) + "/module/VelkGrx2020(x64).grx";
        if (!std::filesystem::exists(built)) GTEST_SKIP() << "the module is not built";
        std::filesystem::path installed = standin::NativePath(standin::kModulePath);
        std::filesystem::create_directories(installed.parent_path());
        std::filesystem::copy_file(built, installed);
    }
};

TEST_F(BuiltModuleTest, LoadsReportsItsVersionRunsTestConnectAndUnloads)
{
    auto peer = std::make_unique<StandinPeer>();
    size_t libraries = standin::DynLinkLibraryCount();
    OdRxModule* module = odrxDynamicLinker()->loadModule(standin::kModulePath);
    ASSERT_NE(module, nullptr);
    const auto& loaded = standin::LoadedModules().back();
    EXPECT_EQ(std::vector<OdUInt32>(loaded.apiVersion, loaded.apiVersion + 4), (std::vector<OdUInt32>{3, 5, 0, 0}));
    EXPECT_EQ(module->moduleName(), OdString(standin::kModulePath));
    // The module carries its PNG resources while it is loaded.
    EXPECT_NE(FindResourceW(standin::ModuleHandle(), MAKEINTRESOURCEW(8315), L"PNG"), nullptr);
    EXPECT_EQ(standin::GcUiInitCalls(), 1);
    EXPECT_EQ(standin::DynLinkLibraryCount(), libraries + 1);
    // The framework unlocks the application and declares it MDI-aware, and
    // the plug-in does both once more.
    EXPECT_EQ(standin::UnlockApplicationCalls(), 2);
    EXPECT_EQ(standin::RegisterAppMDIAwareCalls(), 2);
    EXPECT_EQ(standin::CommandGroup(L"VELK"), L"VELK");
    EXPECT_EQ(standin::CommandGroup(L"testConnect"), L"VELK");

    ASSERT_TRUE(standin::InvokeCommand(L"testConnect"));
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20020}));
    EXPECT_EQ(peer->Messages()[2].answer, 803);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"测试数据接收成功！");
    ASSERT_TRUE(standin::InvokeCommand(L"VELK"));

    EXPECT_TRUE(odrxDynamicLinker()->unloadModule(module));
    EXPECT_EQ(FindResourceW(standin::ModuleHandle(), MAKEINTRESOURCEW(8315), L"PNG"), nullptr);
    EXPECT_FALSE(standin::HasCommand(L"VELK"));
    EXPECT_FALSE(standin::HasCommand(L"testConnect"));
    EXPECT_EQ(peer->Codes().back(), 20401u);
    EXPECT_FALSE(peer->ButtonPresent());
    EXPECT_EQ(standin::DynLinkLibraryCount(), libraries);
    EXPECT_TRUE(standin::LoadedModules().empty());
}

}  // namespace
