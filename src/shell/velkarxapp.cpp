#include "shell/velkarxapp.h"

#include <cstring>

#include "afxwin.h"
#include "peer/peerapi.h"
#include "peer/peerhelpers.h"
#include "peer/peerrequests.h"
#include "peer/peerstatus.h"
#include "shell/moduleentry.h"
#include "windows.h"

CVelkArxApp theApp;

namespace {

const wchar_t kCommandGroup[] = L"VELK";
const wchar_t kReceiverClass[] = L"VelkArxWin";

}  // namespace

CVelkArxApp::CVelkArxApp() : GcRxArxApp(g_hModuleInstance) {}

unsigned CVelkArxApp::DispatchAppMessage(unsigned message, void* packet)
{
    switch (message) {
    case 0: return On_kNullMsg(packet);
    case 1: return On_kInitAppMsg(packet);
    case 2: return On_kUnloadAppMsg(packet);
    case 3: return On_kLoadDwgMsg(packet);
    case 4: return On_kUnloadDwgMsg(packet);
    case 5: return On_kInvkSubrMsg(packet);
    case 6: return On_kAppMsg6(packet);
    case 7: return On_kAppMsg7(packet);
    case 8: return On_kAppMsg8(packet);
    case 9: return On_kAppMsg9(packet);
    case 10: return On_kAppMsg10(packet);
    case 11: return On_kAppMsg11(packet);
    case 12: return On_kAppMsg12(packet);
    case 13: return On_kAppMsg13(packet);
    case 14: return On_kAppMsg14(packet);
    case 15: return On_kAppMsg15(packet);
    default: return kRetOK;
    }
}

unsigned CVelkArxApp::On_kInitAppMsg(void* packet)
{
    unsigned result = GcRxArxApp::On_kInitAppMsg(packet);
    odrxDynamicLinker()->unlockApplication(packet);
    odrxDynamicLinker()->registerAppMDIAware(packet);
    // The plug-in folder check comes here with the dialogs and reactors; its
    // failure returns kRetError before anything starts.
    StartPlugin();
    // So does the end-of-start-up hook.
    return result;
}

unsigned CVelkArxApp::On_kUnloadAppMsg(void* packet)
{
    unsigned result = GcRxArxApp::On_kUnloadAppMsg(packet);
    StopPlugin();
    return result;
}

void CVelkArxApp::StartPlugin()
{
    // The host view variables are remembered here once the view helpers exist.
    InitDebugLog();
    RegisterPluginWindowClass();
    // The selection filters and reactors, the toolbar, the receiver window
    // with its timers and the peer check with the plug-in's button in the
    // peer come here with their subsystems.
    OdEdCommandStack* commands = odedRegCmds();
    commands->addCommand(kCommandGroup, L"VELK", L"VELK", GCRX_CMD_MODAL, &CmdShowToolBar);
    commands = odedRegCmds();
    commands->addCommand(kCommandGroup, L"testConnect", L"testConnect", GCRX_CMD_MODAL, &CmdTestConnect);
}

void CVelkArxApp::StopPlugin()
{
    // The peer stops following the CAD view; its answer does not matter.
    PeerApiSetFollowWinMap(&g_peerApi, 1);
    // The base-map cache and the peer's line-type table are released here
    // with the settings and the receiver window.
    odedRegCmds()->removeGroup(kCommandGroup);
    // The reactors, selection filters and the plug-in's windows go here.
    PeerApiSetButton(&g_peerApi, kButtonRemove, nullptr, 1);
    CloseDebugLog();
}

void RegisterPluginWindowClass()
{
    WNDCLASSW wc{};
    GetClassInfoW(AfxGetInstanceHandle(), L"#32770", &wc);
    wc.lpszClassName = kReceiverClass;
    wc.style = CS_GLOBALCLASS;
    AfxRegisterClass(&wc);
    PeerApiSetClientName(&g_peerApi, kReceiverClass);
    // The settings record is loaded here once the settings file exists.
}

void CmdShowToolBar()
{
    ModuleResourceOverride resources;
    // The toolbar floats at (screen width - 235, 70) and shows again once its
    // window exists.
}

void CmdTestConnect()
{
    static const char kTestText[] = "ABCDEF12344xyz";
    CString folder = GetSpecialFolderPath();
    CString answerFile = folder + L"\\TestData.txt";

    uint8_t record[kTestRecordSize] = {};
    record[0] = 1;
    const int64_t value = 123456789101112;
    memcpy(record + 8, &value, sizeof value);
    WideToUtf8(answerFile, (char*)record + 16, 256);
    const int32_t textLength = sizeof kTestText;  // with its NUL
    memcpy(record + 272, &textLength, sizeof textLength);
    const char* text = kTestText;
    memcpy(record + 280, &text, sizeof text);

    int result = PeerApiSendTestData(&g_peerApi, record);
    AfxMessageBox(result == -1 ? L"测试数据接收失败！" : L"测试数据接收成功！", MB_OK);

    // The folder the peer writes "TestData.txt" into, opened for the user.
    char ansiFolder[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_THREAD_ACP, 0, folder, -1, ansiFolder, sizeof ansiFolder, nullptr, nullptr);
    ShellExecuteA(nullptr, "open", ansiFolder, nullptr, nullptr, SW_SHOWNORMAL);
}
