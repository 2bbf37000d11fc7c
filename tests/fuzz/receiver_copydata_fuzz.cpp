// The plug-in's receiver window as the peer reaches it: WM_COPYDATA of any
// code the window accepts, with any bytes, in any order, over a current
// drawing with the stand-in peer running and the link active; the messages
// they post are run, and the window's timers now and then. Whatever comes,
// the window lives on, no object stays open, the document is unlocked and
// no transaction is left running.
//
// The first byte sets the options (bit 0 points as icons, bits 1-2 the
// follow mode, bit 3 a cross-section waits for its base line, bit 4 a
// view match waits, bit 5 a coordinate check and save wait, bit 6 the test
// echo file is named, bit 7 the coordinate window is open); then steps, each a 32-bit selector, a 16-bit length
// and that many bytes. A selector below the number of accepted codes picks
// one; the next value lets a second of virtual time pass; any other is
// sent as the code in its low 16 bits.
#include <cstring>
#include <memory>

#include "afxmsgbox.h"
#include "fuzz_support.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbdatabase.h"
#include "plugin_state.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "ui/setcoordlg.h"
#include "window_control.h"

VELK_FUZZ_WITH_MACHINE()

namespace {

const uint32_t kCodes[] = {20001, 20012, 20020, 20100, 20101, 20105, 20107, 20110, 20112, 20201, 20202,
                           20203, 20204, 20211, 20212, 20301, 20302, 20303, 20401, 20402, 20601};
const uint32_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
const wchar_t kDrawing[] = L"C:\\dwg\\site.dwg";
const char kEchoFile[] = "C:\\Temp\\echo.txt";

uint16_t Length(velkfuzz::Input& input)
{
    uint16_t low = input.Byte();
    return (uint16_t)(low | (input.Byte() << 8));
}

LRESULT Send(HWND receiver, uint32_t code, const std::vector<uint8_t>& bytes)
{
    COPYDATASTRUCT cds;
    cds.dwData = ((ULONG_PTR)7 << 16) | code;
    cds.cbData = (DWORD)bytes.size();
    cds.lpData = bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data());
    return SendMessageW(receiver, WM_COPYDATA, 1001, (LPARAM)&cds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input input(data, size);
    const uint8_t options = input.Byte();

    velktest::ResetPluginState();
    auto peer = std::make_unique<velkpeer::StandinPeer>();
    RegisterPluginWindowClass();
    g_pMessageDlg = new CMessageDlg(gcedGetGcadFrame());
    FUZZ_CHECK(g_pMessageDlg->Create(CMessageDlg::IDD, gcedGetGcadFrame()));
    const HWND receiver = g_pMessageDlg->GetSafeHwnd();
    g_pEditorReactor = new CEditorReactor();
    g_pEditorReactor->m_bEcho = 1;
    GcApDocument* doc = standin::CreateDocument(kDrawing);
    CDrawingData* drawing = GetDrawingData(drawingRecords, kDrawing, doc);
    g_ptagDocIdManager = drawing;
    SetDefaultSettings(g_settings);
    g_settings.pointsAsIcons = options & 1;
    g_settings.followMode = (options >> 1) & 3;
    g_cacheRoot = L"C:\\Temp";
    // The installation read at start-up: the peer is new enough.
    g_installedPeerVersion = 900;
    drawing->crossSection.waitingForBaseLine = (options >> 3) & 1;
    g_bMatchOnly = (options >> 4) & 1;
    g_coordBinding.checkPending = g_coordBinding.savePending = (options >> 5) & 1;
    if (options & 0x40) g_testDataFile = kEchoFile;
    if (options & 0x80) {
        g_pSetCoorDlg = new CSetCoorDlg(gcedGetGcadFrame());
        FUZZ_CHECK(g_pSetCoorDlg->Create(CSetCoorDlg::IDD, gcedGetGcadFrame()));
    }

    while (input.Left() > 0) {
        const uint32_t selector = input.U32();
        std::vector<uint8_t> payload(Length(input));
        for (uint8_t& b : payload) b = input.Byte();
        if (selector == kCodeCount) {
            standin::AdvanceClockMs(1000);
        } else {
            Send(receiver, selector < kCodeCount ? kCodes[selector] : selector & 0xFFFF, payload);
            standin::PumpMessages();
        }
        FUZZ_CHECK(IsWindow(receiver) && g_pMessageDlg && g_pMessageDlg->GetSafeHwnd() == receiver);
        FUZZ_CHECK(standin::OpenObjectCount() == 0);
        FUZZ_CHECK(doc->lockCount() == 0);
        FUZZ_CHECK(odTransactionManagerPtr()->numActiveTransactions() == 0);
    }

    velktest::ResetPluginState();
    FUZZ_CHECK(standin::OpenObjectCount() == 0);
    peer.reset();
    standin::CloseDocument(doc);
    DeleteFileW(L"C:\\Temp\\echo.txt");
    standin::ClearMessageBoxes();
    standin::ClearCommandLine();
    return 0;
}
