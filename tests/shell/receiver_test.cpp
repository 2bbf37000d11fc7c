// The receiver window: the least length of every code and what a shorter
// payload gets, the tail step, the coordinate-system, level, notice, echo
// and relate-point answers, the private messages and the object fetch.
#include "receiver_fixture.h"

#include <algorithm>
#include <functional>
#include <string>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "exchange/exchangeglobals.h"
#include "gcutprint.h"
#include "machine_control.h"
#include "shell/actoolbarwnd.h"
#include "shell/moduleentry.h"
#include "standin_control.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/relatepoint.h"
#include "state/settings.h"
#include "test_support.h"
#include "ui/peercheck.h"
#include "window_control.h"

namespace {

using velktest::ReadAt;

std::vector<uint8_t> Bytes(size_t n, uint8_t fill = 0) { return std::vector<uint8_t>(n, fill); }

struct MinimumCase {
    uint32_t code;
    size_t min;
    LRESULT shortResult;
    // Fills a payload of the given size that would have an effect.
    std::function<void(std::vector<uint8_t>&)> fill;
    // Whether the effect happened.
    std::function<bool()> happened;
};

TEST_F(ReceiverTest, APayloadOneByteShortOfItsMinimumIsRefusedWithoutEffect)
{
    g_buttonPresent = 5;
    g_searchAnswer = 55;
    g_searchName = L"site";
    const OdGePoint3d origin(1, 2, 0);
    drawing->baseMap.grid.origin = origin;
    drawing->baseMap.grid.peerLevel = 3;
    g_coordBinding.coordinateText = L"before";
    int restores = standin::RestoreStatusBarCount();

    std::vector<MinimumCase> cases = {
        {20110, 144, 1, [](auto&) {}, [&] { return standin::RestoreStatusBarCount() == restores; }},
        {20401, 4, 1, [](auto& b) { b.assign(b.size(), 1); }, [] { return g_buttonPresent != 5; }},
        {20203, 64, 1, [](auto& b) { Put32(b, 4, 999); }, [&] { return !standin::HasTimer(receiver, 1003); }},
        {20204, 408, 1, [](auto& b) { Put32(b, 4, 999); }, [] { return !standin::DialogsShown().empty(); }},
        {20020, 788, -1, [](auto&) {}, [] { return false; }},
        {20211, 40, 1, [](auto& b) { PutF64(b, 24, 9); },
         [&] { return !drawing->baseMap.grid.origin.isEqualTo(origin); }},
        {20012, 52, 1, [](auto& b) { Put32(b, 44, 12); }, [&] { return drawing->baseMap.grid.peerLevel != 3; }},
        {20302, 472, 0, [](auto&) {}, [] { return false; }},
        {20301, 1, 0, [](auto&) {}, [] { return false; }},
        {20107, 536, 1, [](auto& b) { b.assign(b.size(), 0); }, [] { return g_searchAnswer != 55; }},
        {20105, 1, 0, [](auto&) {}, [] { return g_searchAnswer != 55; }},
        {20101, 16, 1, [](auto& b) { b[2] = 30; }, [] { return g_searchAnswer != 55; }},
        {20100, 1, 0, [](auto&) {}, [] { return false; }},
        {20201, 4, 0, [](auto&) {}, [&] { return peer->Codes().size() > 0; }},
        {20202, 72, 0, [](auto& b) { Put32(b, 40, 2); }, [] { return g_coordBinding.coordinateText != L"before"; }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.code);
        drawing->crossSection.waitingForBaseLine = 1;
        std::vector<uint8_t> payload = Bytes(c.min - 1);
        if (!payload.empty()) c.fill(payload);
        EXPECT_EQ(Send(c.code, payload), c.shortResult);
        EXPECT_FALSE(c.happened());
        // A refused payload never reaches the tail step.
        EXPECT_EQ(drawing->crossSection.waitingForBaseLine, 1);
        standin::PumpMessages();
    }
    // 20110 alone restores the status bar when it is short.
    EXPECT_EQ(standin::RestoreStatusBarCount(), restores + 1);
}

TEST_F(ReceiverTest, EachCodeActsAtItsMinimum)
{
    g_searchAnswer = 55;
    std::vector<uint8_t> button = Bytes(4);
    Put32(button, 0, 1);
    EXPECT_EQ(Send(20401, button), 1);
    EXPECT_EQ(g_buttonPresent, 1);

    std::vector<uint8_t> search = Bytes(536);
    Put32(search, 532, 4242);
    EXPECT_EQ(Send(20107, search), 1);
    EXPECT_EQ(g_searchAnswer, 4242u);

    std::vector<uint8_t> folder = Bytes(16);
    folder[2] = 30;
    Put32(folder, 8, 77);
    EXPECT_EQ(Send(20101, folder), 1);
    EXPECT_EQ(g_searchAnswer, 77u);

    std::vector<uint8_t> origin = Bytes(40);
    PutF64(origin, 24, 500100.5);
    PutF64(origin, 32, 3000200.25);
    EXPECT_EQ(Send(20211, origin), 1);
    EXPECT_TRUE(drawing->baseMap.grid.origin.isEqualTo(OdGePoint3d(500100.5, 3000200.25, 0)));

    std::vector<uint8_t> state = Bytes(52);
    Put32(state, 44, 14);
    Put32(state, 48, 3);
    EXPECT_EQ(Send(20012, state), 1);
    EXPECT_EQ(drawing->baseMap.grid.peerLevel, 14);
    EXPECT_EQ(drawing->baseMap.grid.mapType, 3);
    // The first report only arms the echo flag; later reports may move the view.
    EXPECT_EQ(g_pEditorReactor->m_bEcho, 1);

    // Without an active drawing these are answered and do nothing.
    g_ptagDocIdManager = nullptr;
    EXPECT_EQ(Send(20211, origin), 1);
    EXPECT_EQ(Send(20302, Bytes(472)), 0);
    EXPECT_EQ(Send(20012, state), 1);
}

TEST_F(ReceiverTest, TailStepClearsTheWaitForTheBaseLineExceptAfterTheLinkCodes)
{
    for (uint32_t code : {20401u, 20402u, 20501u, 20202u, 20211u, 20212u, 20302u}) {
        drawing->crossSection.waitingForBaseLine = 1;
        std::vector<uint8_t> payload = Bytes(code == 20302 ? 472 : code == 20202 ? 80 : 40);
        EXPECT_NE(Send(code, payload), -1) << code;
        EXPECT_EQ(drawing->crossSection.waitingForBaseLine, 1) << code;
    }
    for (uint32_t code : {20009u, 20100u, 20105u, 20112u, 20001u, 20601u, 12345u}) {
        drawing->crossSection.waitingForBaseLine = 1;
        EXPECT_EQ(Send(code, Bytes(20)), 1) << code;
        EXPECT_EQ(drawing->crossSection.waitingForBaseLine, 0) << code;
    }
    // The code is the low 16 bits whatever connection id is above it.
    drawing->crossSection.waitingForBaseLine = 1;
    EXPECT_EQ(Send(20009, {}, 0x7FFF), 1);
    EXPECT_EQ(drawing->crossSection.waitingForBaseLine, 0);
}

TEST_F(ReceiverTest, OtherMessagesTakeTheDefaultWay)
{
    std::vector<uint8_t> button = Bytes(4, 1);
    COPYDATASTRUCT cds{20401, 4, button.data()};
    EXPECT_EQ(SendMessageW(receiver, WM_COPYDATA, 1002, (LPARAM)&cds), 0);
    EXPECT_EQ(g_buttonPresent, 0);
    EXPECT_EQ(SendMessageW(receiver, WM_COMMAND, IDOK, 0), 0);
    EXPECT_TRUE(IsWindow(receiver));
}

std::vector<uint8_t> CoordAnswer(int32_t kind, const char* identifier, const char* name)
{
    std::vector<uint8_t> b(72 + strlen(name) + 1);  // the name and its NUL behind 72 bytes
    memcpy(b.data() + 40, &kind, 4);
    memcpy(b.data() + 44, identifier, strnlen(identifier, 16));
    memcpy(b.data() + 72, name, strlen(name));
    return b;
}

TEST_F(ReceiverTest, CoordinateSystemAnswersKeepTheSystemAndSaveBindingsOnlyForPlaneSystems)
{
    g_coordBinding.savePending = true;
    g_coordBinding.bindingName = L"C:\\dwg\\site.dwg";
    std::vector<uint8_t> geographic = CoordAnswer(2, "wgs84-geographic", "WGS 84");
    EXPECT_EQ(Send(20202, geographic), 1);
    EXPECT_TRUE(g_coordBinding.geographic);
    EXPECT_EQ(g_coordBinding.coordinateType, 2);
    EXPECT_EQ(g_coordBinding.coordinateText, L"WGS 84");
    EXPECT_FALSE(g_coordBinding.savePending);
    uint64_t stored = 1;
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", stored);
    EXPECT_EQ(stored, 0u);
    // The drawing had no key: the first one is stored without a restart.
    EXPECT_EQ(drawing->baseMap.coordKey, DigestToId64((const uint8_t*)"wgs84-geographic"));

    g_coordBinding.savePending = true;
    std::vector<uint8_t> plane = CoordAnswer(1, "cgcs2000-114e-3d", "CGCS2000 / 3-degree Gauss-Kruger CM 114E");
    EXPECT_EQ(Send(20202, plane), 1);
    EXPECT_FALSE(g_coordBinding.geographic);
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", stored);
    EXPECT_EQ(stored, DigestToId64(plane.data() + 44));
    EXPECT_EQ(g_coordBinding.currentKey, stored);

    // A name that fills the payload without its terminator is read to the end.
    std::vector<uint8_t> unterminated = CoordAnswer(1, "abc", "");
    unterminated.back() = 'Z';
    EXPECT_EQ(Send(20202, unterminated), 1);
    EXPECT_EQ(g_coordBinding.coordinateText, L"Z");
}

TEST_F(ReceiverTest, APendingBindingCheckOpensTheCoordinateWindowUnlessBoundToThisPlaneSystem)
{
    std::vector<uint8_t> plane = CoordAnswer(1, "cgcs2000-114e-3d", "CGCS2000");
    g_coordBinding.checkPending = true;
    g_coordBinding.storedBinding = DigestToId64(plane.data() + 44);
    Send(20202, plane);
    EXPECT_FALSE(g_coordBinding.checkPending);
    EXPECT_FALSE(Posted(WM_SHOW_COORD_INFO));

    // Bound to this system, but the peer works in longitude and latitude.
    std::vector<uint8_t> geographic = CoordAnswer(2, "cgcs2000-114e-3d", "CGCS2000 geographic");
    g_coordBinding.checkPending = true;
    Send(20202, geographic);
    EXPECT_TRUE(Posted(WM_SHOW_COORD_INFO));
    EXPECT_FALSE(g_coordBinding.checkPending);
}

TEST_F(ReceiverTest, LevelResolutionsFillLevelsOneTo28AndClearTheRest)
{
    std::vector<uint8_t> thirty(30 * 104);
    for (int i = 0; i < 30; ++i) {
        PutF64(thirty, 104 * i, 1000.0 / (i + 1));
        PutF64(thirty, 104 * i + 8, 2000.0 / (i + 1));
    }
    EXPECT_EQ(Send(20212, thirty), 1);
    EXPECT_EQ(g_levelResolutionX[0], 0);
    EXPECT_DOUBLE_EQ(g_levelResolutionX[1], 1000.0);
    EXPECT_DOUBLE_EQ(g_levelResolutionY[28], 2000.0 / 28);
    EXPECT_DOUBLE_EQ(drawing->baseMap.xResolution[28], 1000.0 / 28);

    std::vector<uint8_t> three(3 * 104 + 50);
    for (int i = 0; i < 3; ++i) PutF64(three, 104 * i, 7.0 + i);
    EXPECT_EQ(Send(20212, three), 1);
    EXPECT_DOUBLE_EQ(g_levelResolutionX[3], 9.0);
    for (int level = 4; level <= 28; ++level) {
        EXPECT_EQ(g_levelResolutionX[level], 0) << level;
        EXPECT_EQ(g_levelResolutionY[level], 0) << level;
    }
}

TEST_F(ReceiverTest, AnUpdateNoticeIsShownOncePerLoad)
{
    g_settings.updateHint = 1;
    std::vector<uint8_t> old = Bytes(64);
    Put32(old, 4, 162);
    EXPECT_EQ(Send(20203, old), 1);
    EXPECT_FALSE(standin::HasTimer(receiver, 1003));
    EXPECT_FALSE(Posted(WM_SHOW_UPDATE_NOTICE));

    std::vector<uint8_t> notice = Bytes(64);
    Put32(notice, 4, 170);
    const char text[] = "修复了若干问题";
    notice.insert(notice.end(), text, text + sizeof text - 1);  // no terminator: read to the end
    std::wstring shownText;
    standin::QueueDialogAnswer(8353, [&](HWND dlg) {
        shownText = standin::DialogItem(dlg, 8137).text;
        return IDCANCEL;
    });
    EXPECT_EQ(Send(20203, notice), 1);
    standin::PumpMessages();
    EXPECT_EQ(standin::DialogsShown(), (std::vector<UINT>{8353}));
    EXPECT_NE(shownText.find(L"v1.7.0"), std::wstring::npos);
    EXPECT_NE(shownText.find(L"更新内容：\r\n修复了若干问题"), std::wstring::npos);

    Put32(notice, 4, 180);
    EXPECT_EQ(Send(20203, notice), 1);
    standin::PumpMessages();
    EXPECT_EQ(standin::DialogsShown().size(), 1u);
}

std::vector<uint8_t> TestEcho(const std::string& file, int32_t declared, const std::string& text)
{
    std::vector<uint8_t> b(788 + text.size());
    b[100] = 1;
    int64_t value = 123456789101112;
    memcpy(b.data() + 108, &value, 8);
    memcpy(b.data() + 116, file.data(), std::min<size_t>(file.size(), 256));
    memcpy(b.data() + 372, &declared, 4);
    std::copy(text.begin(), text.end(), b.begin() + 788);
    return b;
}

TEST_F(ReceiverTest, TheTestEchoIsWrittenOnlyToTheFileTestConnectNamedAndBoundedByThePayload)
{
    const std::string file = "C:\\Users\\user\\AppData\\Local\\TestData.txt";
    const std::string native = standin::NativePathUtf8(file);
    const std::string other = "C:\\Windows\\evil.txt";

    // Before testConnect ran no file is named.
    EXPECT_EQ(Send(20020, TestEcho(file, 15, "ABCDEF12344xyz")), 1);
    EXPECT_FALSE(velktest::NativeExists(native));

    g_testDataFile = file;
    EXPECT_EQ(Send(20020, TestEcho(other, 15, "x")), 1);
    EXPECT_FALSE(velktest::NativeExists(standin::NativePathUtf8(other)));

    // A declared length far beyond the payload, and a text without its end.
    EXPECT_EQ(Send(20020, TestEcho(file, 0x7FFFFFFF, std::string(40, 'T'))), 1);
    std::string written = velktest::ReadNativeFile(native);
    EXPECT_NE(written.find("Recive From Velk DataLen:828."), std::string::npos);
    EXPECT_NE(written.find("bool:true;"), std::string::npos);
    EXPECT_NE(written.find("iData:2147483647;"), std::string::npos);
    EXPECT_NE(written.find("INT64:123456789101112,strData:" + std::string(40, 'T')), std::string::npos);

    // A name that fills its whole field has no terminator to find.
    std::vector<uint8_t> unnamed = TestEcho(std::string(256, 'n'), 1, "");
    EXPECT_EQ(Send(20020, unnamed), 1);
}

TEST_F(ReceiverTest, AskAgainResendsTheRelatePointOnceAndAcceptanceAsksTheSystemToSave)
{
    g_relatePoint.longitude = 114.3;
    g_relatePoint.latitude = 30.5;
    g_relatePoint.flag = 1;
    g_relatePoint.x = 500123;
    g_relatePoint.y = 3376543;
    // A peer that asks again every time.
    for (int i = 0; i < 5; ++i) peer->ShellCodes().relateResults.push_back(-1);
    std::vector<uint8_t> askAgain = Bytes(4);
    Put32(askAgain, 0, -1);
    EXPECT_EQ(Send(20201, askAgain), 1);
    ASSERT_EQ(peer->ShellCodes().RelateRequests().size(), 1u);
    const auto& resent = peer->ShellCodes().RelateRequests()[0];
    EXPECT_EQ(resent.mode, 3u);
    ASSERT_EQ(resent.points.size(), 1u);
    EXPECT_DOUBLE_EQ(ReadAt<double>(resent.points[0], 0), 114.3);
    EXPECT_DOUBLE_EQ(ReadAt<double>(resent.points[0], 24), 500123);

    peer->ShellCodes().relateResults.clear();
    std::vector<uint8_t> accepted = Bytes(4);
    EXPECT_EQ(Send(20201, accepted), 1);
    EXPECT_EQ(peer->Codes().back(), 20202u);
    uint64_t stored = 0;
    LoadCoordinateBinding(L"C:\\dwg\\site.dwg", stored);
    EXPECT_NE(stored, 0u);
    EXPECT_FALSE(g_coordBinding.savePending);
}

std::vector<uint8_t> LinetypeAnswer(uint32_t id, const char* name)
{
    std::vector<uint8_t> b(96 + 384);
    uint32_t one = 1;
    memcpy(b.data() + 4, &one, 4);
    memcpy(b.data() + 96, name, strlen(name));
    memcpy(b.data() + 96 + 328, &id, 4);
    return b;
}

TEST_F(ReceiverTest, ANewLinetypeTableReplacesAndFreesTheOldOne)
{
    EXPECT_EQ(Send(20601, LinetypeAnswer(3, "DASHED")), 1);
    ASSERT_NE(g_pLinetypeTable, nullptr);
    EXPECT_EQ(g_pLinetypeTable->items[0].id, 3u);
    EXPECT_EQ(Send(20601, LinetypeAnswer(9, "DOTTED")), 1);
    EXPECT_EQ(g_pLinetypeTable->items[0].id, 9u);
    EXPECT_STREQ(GetLinetypeNameById(9), "DOTTED");
    // The first table is gone (the leak checker would say otherwise).

    // A name that fills its field ends there, not in the scale and id behind it.
    std::vector<uint8_t> full = LinetypeAnswer(0x41414141, "");
    memset(full.data() + 96, 'N', 320);
    PutF64(full, 96 + 320, 1.1);
    EXPECT_EQ(Send(20601, full), 1);
    EXPECT_EQ(std::string(GetLinetypeNameById(0x41414141)), std::string(319, 'N'));
}

TEST_F(ReceiverTest, SearchListMatchesTheFolderNameWithinItsField)
{
    g_searchName = CString(std::wstring(100, L'a').c_str());
    std::vector<uint8_t> list = Bytes(16 + 2 * 108);
    Put32(list, 16, 11);
    Put32(list, 20, 8);  // a track of that name does not count
    memset(list.data() + 24, 'a', 100);
    Put32(list, 124, 12);
    Put32(list, 128, 30);
    memset(list.data() + 132, 'a', 100);  // the name fills the field
    EXPECT_EQ(Send(20105, list), 1);
    EXPECT_EQ(g_searchAnswer, 12u);
    g_searchName = L"other";
    EXPECT_EQ(Send(20105, list), 1);
    EXPECT_EQ(g_searchAnswer, 0u);
}

TEST_F(ReceiverTest, ResendPayloadsAreAlwaysFreedAndIgnoredWhileTheLinkIsOff)
{
    auto* ids = new OdDbObjectIdArray();
    ids->append(OdDbObjectId());
    PostMessageW(receiver, WM_RESEND_OBJECTS, 0, (LPARAM)ids);
    PostMessageW(receiver, WM_RESEND_OBJECTS, 0, (LPARAM) new OdDbObjectIdArray());
    auto* point = (double*)malloc(2 * sizeof(double));
    point[0] = 10, point[1] = 20;
    PostMessageW(receiver, WM_SIGN_AT_POINT, 0, (LPARAM)point);
    standin::PumpMessages();

    g_bLinkActive = 0;
    PostMessageW(receiver, WM_RESEND_OBJECTS, 0, (LPARAM) new OdDbObjectIdArray());
    PostMessageW(receiver, WM_SIGN_AT_POINT, 0, (LPARAM)malloc(16));
    standin::PumpMessages();
    // While off, a peer message is answered 1 and not acted on.
    EXPECT_EQ(Send(20401, Bytes(4, 1)), 1);
    EXPECT_EQ(g_buttonPresent, 0);

    // Payloads still queued when the window ends go with it.
    g_bLinkActive = 1;
    PostMessageW(receiver, WM_RESEND_OBJECTS, 0, (LPARAM) new OdDbObjectIdArray());
    PostMessageW(receiver, WM_SIGN_AT_POINT, 0, (LPARAM)malloc(16));
    g_pMessageDlg->Close();
    EXPECT_EQ(g_pMessageDlg, nullptr);
    EXPECT_FALSE(IsWindow(receiver));
}

TEST_F(ReceiverTest, AFailedOrShortObjectFetchLetsTheReactorsGoAndRestoresTheStatusBar)
{
    // The peer refuses the fetch.
    peer->QueueAnswer(20110, -6);
    int restores = standin::RestoreStatusBarCount();
    PostMessageW(receiver, WM_FETCH_OBJECTS, 0, 0);
    standin::PumpMessages();
    EXPECT_EQ(g_bSuppressReactors, 1);
    EXPECT_EQ(standin::StatusBarProgress().label, L"接收数据");
    EXPECT_EQ(standin::RestoreStatusBarCount(), restores + 1);
    EXPECT_NE(standin::CommandLineText().find(L"GetObjTreeErr:\n消息处理失败"), std::wstring::npos);
    standin::AdvanceClockMs(100);
    EXPECT_EQ(g_bSuppressReactors, 0);
    EXPECT_FALSE(standin::HasTimer(receiver, 1005));

    // The answer is too short to hold objects.
    peer->Config().objectTree = std::vector<uint8_t>(100, 0);
    restores = standin::RestoreStatusBarCount();
    PostMessageW(receiver, WM_FETCH_OBJECTS, 0, 0);
    standin::PumpMessages();
    EXPECT_EQ(standin::RestoreStatusBarCount(), restores + 1);
    standin::AdvanceClockMs(100);
    EXPECT_EQ(g_bSuppressReactors, 0);

    // The answer is the cross-section's base line: no meter at all.
    drawing->crossSection.waitingForBaseLine = 1;
    peer->Config().objectTree = std::vector<uint8_t>(200, 0);
    restores = standin::RestoreStatusBarCount();
    PostMessageW(receiver, WM_FETCH_OBJECTS, 0, 0);
    standin::PumpMessages();
    EXPECT_EQ(standin::RestoreStatusBarCount(), restores);
    EXPECT_EQ(drawing->crossSection.waitingForBaseLine, 0);
    standin::AdvanceClockMs(100);
    EXPECT_EQ(g_bSuppressReactors, 0);
}

TEST_F(ReceiverTest, MatchViewAnswersStoreTheMatchOrJudgeTheScale)
{
    std::vector<uint8_t> answer = Bytes(120);
    Put32(answer, 68, 1600);
    Put32(answer, 72, 900);
    g_bMatchOnly = true;
    EXPECT_EQ(Send(20301, answer), 1);
    EXPECT_EQ(g_matchValues[0], 1600);
    EXPECT_EQ(g_matchValues[1], 900);
    EXPECT_FALSE(g_bMatchOnly);

    // 1600 / 800 halves to 1.0: nothing to say. 1000 / 800 = 1.25.
    g_lastViewMatchExtents.screenWidth = 800;
    standin::ClearCommandLine();
    EXPECT_EQ(Send(20301, answer), 1);
    EXPECT_EQ(standin::CommandLineText(), L"");
    Put32(answer, 68, 1000);
    EXPECT_EQ(Send(20301, answer), 1);
    EXPECT_NE(standin::CommandLineText().find(L"125.00%"), std::wstring::npos);
    Put32(answer, 68, 300);
    standin::ClearCommandLine();
    EXPECT_EQ(Send(20301, answer), 1);
    EXPECT_NE(standin::CommandLineText().find(L"当前视图缩放比例可能太大"), std::wstring::npos);
    // No point data after the record: answered, nothing judged.
    standin::ClearCommandLine();
    EXPECT_EQ(Send(20301, Bytes(112)), 1);
    EXPECT_EQ(standin::CommandLineText(), L"");
}

TEST_F(ReceiverTest, TheButtonPressFetchesTheObjectsOnceThePeerIsReady)
{
    velktest::InstallStandinPeer(900, peer);
    peer->Config().statusWord = 0x100;
    EXPECT_EQ(peer->SendToClient(20402, {}), 0);  // the client is not registered yet
    ASSERT_EQ(PeerApiGetCoordSystem(&g_peerApi), 0);
    EXPECT_EQ(peer->SendToClient(20402, {}), 1);
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_TRUE(Posted(WM_FETCH_OBJECTS));
    standin::PumpMessages();
    EXPECT_EQ(peer->Codes().back(), 20110u);
    EXPECT_EQ(ReadAt<uint8_t>(peer->Messages().back().bytes, 3), 3);

    // A busy peer: told, and nothing is fetched.
    peer->Config().statusWord = 0x0FF;
    size_t sent = peer->Codes().size();
    EXPECT_EQ(peer->SendToClient(20402, {}), 1);
    standin::PumpMessages();
    EXPECT_EQ(peer->Codes().size(), sent + 1);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"拓岚正在处理事务，本消息处理失败！");
}

}  // namespace

namespace {

TEST_F(ReceiverTest, ThePeersOwnMessagesReachTheirHandlers)
{
    ASSERT_EQ(PeerApiGetCoordSystem(&g_peerApi), 0);
    // Its map state, sent unsolicited in the follow modes.
    EXPECT_EQ(peer->SendToClient(20012, velkpeer::PeerShellCodes::MapState(15, 2)), 1);
    EXPECT_EQ(drawing->baseMap.grid.peerLevel, 15);
    EXPECT_EQ(drawing->baseMap.grid.mapType, 2);
    // The progress of its long jobs arrives as the registered messages.
    velkpeer::PeerShellCodes::PostProgress(peer->ClientWindow(), false, 40, 7);
    MSG m{};
    ASSERT_TRUE(PeekMessageW(&m, receiver, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, g_mapFileProgressMsg);
    EXPECT_EQ(m.wParam, 40u);
    EXPECT_EQ(m.lParam, 7);
    standin::PumpMessages();
    velkpeer::PeerShellCodes::PostProgress(peer->ClientWindow(), true, 9, 9);
    ASSERT_TRUE(PeekMessageW(&m, receiver, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, g_contourProgressMsg);
    standin::PumpMessages();
    // A malformed relate-point request is refused by the peer.
    std::vector<uint8_t> broken(16 + 40 + 79);
    broken[0] = 101;
    EXPECT_EQ(PeerApiRequest(&g_peerApi, 20201, broken.data(), (uint32_t)broken.size(), nullptr, 0), -4);
    EXPECT_TRUE(peer->ShellCodes().RelateRequests().empty());
}

}  // namespace

namespace {

TEST_F(ReceiverTest, ABindingCheckAsksTheSystemAndArmsTheComparison)
{
    // Nothing for a drawing without a name, or while the link is off.
    CheckDrawingBinding(L"", 5);
    g_bLinkActive = 0;
    CheckDrawingBinding(L"C:\\dwg\\site.dwg", 5);
    g_bLinkActive = 1;
    EXPECT_TRUE(peer->Messages().empty());

    // A plane peer with the prompt switched off: asked, not armed.
    g_settings.noCoordinatePrompt = 1;
    CheckDrawingBinding(L"C:\\dwg\\site.dwg", 5);
    EXPECT_EQ(peer->Codes().back(), 20202u);
    EXPECT_FALSE(g_coordBinding.checkPending);
    EXPECT_FALSE(standin::HasTimer(receiver, 1001));

    // A geographic peer is always compared, the switch notwithstanding.
    peer->Config().coordKind = 2;
    CheckDrawingBinding(L"C:\\dwg\\site.dwg", 5);
    EXPECT_TRUE(g_coordBinding.checkPending);
    EXPECT_EQ(std::wstring(g_coordBinding.bindingName), L"C:\\dwg\\site.dwg");
    EXPECT_TRUE(standin::HasTimer(receiver, 1001));
    size_t asked = peer->Codes().size();
    CheckDrawingBinding(L"C:\\dwg\\other.dwg", 5);  // one check at a time
    EXPECT_EQ(peer->Codes().size(), asked);
    standin::AdvanceClockMs(10);  // the shortest a window timer waits
    EXPECT_EQ(peer->Codes().size(), asked + 1);
    EXPECT_FALSE(g_coordBinding.checkPending);
}

}  // namespace
