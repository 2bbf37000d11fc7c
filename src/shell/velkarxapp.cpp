#include "shell/velkarxapp.h"

#include <cstring>

#include "afxwin.h"
#include "basemap/basemap.h"
#include "exchange/documentrecord.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/moduleentry.h"
#include "shell/reactors.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/pluginresourcescope.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "ui/pluginfolder.h"
#include "ui/setcoordlg.h"
#include "windows.h"

CVelkArxApp theApp;
AcEdContextReactor* g_pSelectionFilter = nullptr;
CEntHilightReactor* g_pHighlightFilter = nullptr;
CDocReactor* g_pDocReactor = nullptr;
CDbReactor* g_pDbReactor = nullptr;
std::string g_testDataFile;

namespace {

const wchar_t kCommandGroup[] = L"VELK";
const wchar_t kReceiverClass[] = L"VelkArxWin";
const wchar_t kButtonCaption[] = L"发送所选对象到CAD";

// Walks the open documents in the document manager's order.
template <class Fn>
void ForEachDocument(Fn fn)
{
    GcApDocumentIterator* it = gcDocManagerPtr()->newGcApDocumentIterator();
    for (; !it->done(); it->step()) fn(it->document());
    delete it;
}

// The receiver window, hidden; false when its window cannot be made.
bool CreateReceiverWindow()
{
    if (!g_pMessageDlg) {
        auto* receiver = new CMessageDlg(gcedGetGcadFrame());
        if (!receiver->Create(CMessageDlg::IDD, gcedGetGcadFrame())) {
            delete receiver;
            return false;
        }
        g_pMessageDlg = receiver;
    }
    g_pMessageDlg->ShowWindow(SW_HIDE);
    return true;
}

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
    if (!CheckPluginFolder(CString())) return kRetError;
    StartPlugin();
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
    SaveHostViewVars();
    InitDebugLog();
    RegisterPluginWindowClass();
    g_pSelectionFilter = new AcEdContextReactor();
    g_pHighlightFilter = new CEntHilightReactor();
    g_pEditorReactor = new CEditorReactor();
    odedEditor->addReactor(g_pEditorReactor);
    g_pDocReactor = new CDocReactor();
    gcDocManagerPtr()->addReactor(g_pDocReactor);
    g_pDbReactor = new CDbReactor();
    ForEachDocument([](GcApDocument* doc) {
        addSSgetFilterInputContextReactor(doc, g_pSelectionFilter);
        addSSgetFilterInputContextReactor(doc, g_pHighlightFilter);
        LoadDocumentRecord(doc->fileName().c_str(), doc);
        doc->database()->addReactor(g_pDbReactor);
    });
    // Loading each drawing made it active in turn; the drawing the user works
    // in is the active one, or received objects would be linked in another
    // drawing's record until the user switched drawings.
    if (GcApDocument* current = gcDocManagerPtr()->curDocument())
        g_ptagDocIdManager = GetDrawingData(drawingRecords, current->fileName().c_str(), current);
    CreateToolBarWnd();
    InitPluginDrawingSupport();
    // Without the receiver window nothing answers the peer and no timer
    // runs: said on the command line, and the timers are not set.
    bool receiver = CreateReceiverWindow();
    if (!receiver) gcutPrintf(L"\nVelkArx: 无法创建消息接收窗口，插件不能接收拓岚地图的消息！");
    if (receiver) g_pMessageDlg->SetTimer(1006, 1000, nullptr);
    if (StartVelkProgram() != 0) {
        char caption[256];
        CStringToUtf8Buf(kButtonCaption, caption, sizeof caption, 0);
        ReportVelkMsgError(PeerApiSetButton(&g_peerApi, kButtonAdd, caption, 1), L"SetVelkButtonErr:", false);
        if (g_settings.onlineBaseMap == 1) {
            SetHostViewVars(false, false, true);
            if (g_ptagDocIdManager) RefreshBaseMap(&g_ptagDocIdManager->baseMap);
        }
    }
    if (receiver) g_pMessageDlg->SetTimer(1008, 2000, nullptr);
    OdEdCommandStack* commands = odedRegCmds();
    commands->addCommand(kCommandGroup, L"VELK", L"VELK", GCRX_CMD_MODAL, &CmdShowToolBar);
    commands = odedRegCmds();
    commands->addCommand(kCommandGroup, L"testConnect", L"testConnect", GCRX_CMD_MODAL, &CmdTestConnect);
}

void CVelkArxApp::StopPlugin()
{
    // The peer stops following the CAD view; its answer does not matter.
    PeerApiSetFollowWinMap(&g_peerApi, 1);
    if (g_settings.clearCacheOnExit == 1) DeleteMapTempFolder(CString(g_cacheRoot));
    if (g_pLinetypeTable) {
        FreeLinetypeTable(g_pLinetypeTable, true);
        g_pLinetypeTable = nullptr;
    }
    odedRegCmds()->removeGroup(kCommandGroup);
    if (g_pEditorReactor) {
        odedEditor->removeReactor(g_pEditorReactor);
        delete g_pEditorReactor;
        g_pEditorReactor = nullptr;
    }
    if (g_pDocReactor) {
        gcDocManagerPtr()->removeReactor(g_pDocReactor);
        delete g_pDocReactor;
        g_pDocReactor = nullptr;
    }
    ForEachDocument([](GcApDocument* doc) {
        doc->database()->removeReactor(g_pDbReactor);
        removeSSgetFilterInputContextReactor(doc, g_pSelectionFilter);
        removeSSgetFilterInputContextReactor(doc, g_pHighlightFilter);
    });
    delete g_pDbReactor;
    g_pDbReactor = nullptr;
    delete g_pSelectionFilter;
    g_pSelectionFilter = nullptr;
    delete g_pHighlightFilter;
    g_pHighlightFilter = nullptr;
    DestroyToolBarWnd();
    if (g_pMessageDlg) g_pMessageDlg->Close();
    if (g_pSetCoorDlg) g_pSetCoorDlg->OnClose();
    PeerApiSetButton(&g_peerApi, kButtonRemove, nullptr, 1);
    CloseDebugLog();
}

void RegisterPluginWindowClass()
{
    WNDCLASSW wc{};
    GetClassInfoW(AfxGetInstanceHandle(), L"#32770", &wc);
    wc.lpszClassName = kReceiverClass;
    wc.style = CS_GLOBALCLASS;
    if (!AfxRegisterClass(&wc)) gcutPrintf(L"\nVelkArx: 无法注册窗口类VelkArxWin！");
    PeerApiSetClientName(&g_peerApi, kReceiverClass);
    LoadSettings();
}

void CmdShowToolBar()
{
    ModuleResourceOverride resources;
    CAcToolBarWnd* window = GetToolBarWnd();
    if (!window || !window->toolBar) return;
    CFrameWnd* frame = gcedGetGcadFrame();
    frame->FloatControlBar(window->toolBar, POINT{GetSystemMetrics(SM_CXSCREEN) - 235, 70}, CBRS_ALIGN_TOP);
    frame->ShowControlBar(window->toolBar, TRUE, TRUE);
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
    g_testDataFile = (const char*)record + 16;
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
