// The stand-in peer itself: its installation, its store of objects sent in
// an exchange buffer, and the data answers it sends to the client's window.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "peer/peerrequests.h"
#include "standin_peer.h"
#include "test_support.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> g_received;
PeerApiState* g_clientState = nullptr;
int g_statusFromInside = 0;
StandinPeer* g_forgetFromInside = nullptr;
bool g_forgotInside = false;

LRESULT CALLBACK ClientProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_COPYDATA) return DefWindowProcW(h, msg, wp, lp);
    auto* cds = (const COPYDATASTRUCT*)lp;
    auto* p = (const uint8_t*)cds->lpData;
    uint32_t code = (uint32_t)(cds->dwData & 0xFFFF);
    g_received.emplace_back(code, std::vector<uint8_t>(p, p + cds->cbData));
    // The button press asks the peer's status while the peer's own send waits.
    if (code == 20402) g_statusFromInside = PeerApiGetStatusInfo(g_clientState);
    if (code == 20402 && g_forgetFromInside) g_forgotInside = g_forgetFromInside->ForgetRecords();
    return 1;
}

class StandinPeerTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_received.clear();
        g_forgetFromInside = nullptr;
        g_forgotInside = false;
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ClientProc;
        wc.lpszClassName = L"VelkArxWin";
        RegisterClassW(&wc);
        client = CreateWindowExW(0, L"VelkArxWin", L"DialogMODELESS", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                 nullptr);
        state = PeerApiState{};
        PeerApiSetClientName(&state, L"VelkArxWin");
        peer = std::make_unique<StandinPeer>();
        g_clientState = &state;
    }

    HWND client = nullptr;
    PeerApiState state;
    std::unique_ptr<StandinPeer> peer;
};

void AppendRecord(PeerBuffer* b, uint32_t kind, uint64_t handle, const void* body, uint32_t size)
{
    uint8_t header[64] = {};
    memcpy(header, &size, 4);
    memcpy(header + 4, &kind, 4);
    memcpy(header + 16, &handle, 8);
    ASSERT_TRUE(AppendPeerBuffer(b, header, 64, true));
    ASSERT_TRUE(AppendPeerBuffer(b, body, (int)size, true));
}

TEST_F(StandinPeerTest, KeepsAnExchangeBuffersFoldersAndChildrenAndAnswersTheirIds)
{
    PeerBuffer buffer{(uint8_t*)calloc(1000, 1), 80, 1000};
    buffer.data[0] = 101;
    uint32_t target = 1;
    memcpy(buffer.data + 4, &target, 4);

    FolderRecord* folder = NewFolderRecord(&state);
    strcpy(folder->name, "drawing");
    folder->childCount = 1;
    uint32_t size = 0;
    uint8_t* body = SerializeMapObjRecord(&state, folder, kMapObjFolder, &size);
    AppendRecord(&buffer, kMapObjFolder, 0x10, body, size);
    free(body);
    SignRecord* sign = NewSignRecord(&state);
    strcpy(sign->name, "Sign_1");
    body = SerializeMapObjRecord(&state, sign, kMapObjSign, &size);
    AppendRecord(&buffer, kMapObjSign, 0x20, body, size);
    free(body);
    FreeMapObjRecord(&state, folder, kMapObjFolder);
    FreeMapObjRecord(&state, sign, kMapObjSign);
    // The root header: the bytes after it and the target folder.
    uint32_t rest = (uint32_t)buffer.length - 80;
    memcpy(buffer.data + 16, &rest, 4);
    memcpy(buffer.data + 28, &target, 4);

    ASSERT_EQ(PeerApiSendBuffer(&state, kReqSetObjTree, &buffer, true), 0);
    ASSERT_EQ(peer->Objects().size(), 2u);
    const auto& stored = peer->Objects().at(1000);
    EXPECT_EQ(stored.name, "drawing");
    EXPECT_EQ(stored.parent, 1u);
    EXPECT_EQ(peer->Objects().at(1001).parent, 1000u);

    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].first, 20112u);
    const auto& answer = g_received[0].second;
    ASSERT_EQ(answer.size(), 128u);
    uint32_t id;
    uint64_t handle;
    memcpy(&id, answer.data() + 64 + 8, 4);
    memcpy(&handle, answer.data() + 64 + 16, 8);
    EXPECT_EQ(id, 1001u);
    EXPECT_EQ(handle, 0x20u);

    // The folder is found by its name below its parent.
    uint8_t search[kFolderSearchSize] = {0, 0, 0, 0, 5, 0, 0, 0, 30};
    search[20] = 1;
    memcpy(search + 12, &target, 4);
    strcpy((char*)search + 28, "drawing");
    EXPECT_EQ(PeerApiSearchObject(&state, search), 0);
    ASSERT_EQ(g_received.back().first, 20107u);
    memcpy(&id, g_received.back().second.data() + 532, 4);
    EXPECT_EQ(id, 1000u);

    // Listing folder 1000 gives the sign as a 108-byte item.
    EXPECT_EQ(PeerApiGetObjList(&state, 1000), 0);
    ASSERT_EQ(g_received.back().second.size(), 16u + 108);
    EXPECT_STREQ((const char*)g_received.back().second.data() + 16 + 8, "Sign_1");

    uint32_t ids[] = {1001};
    EXPECT_EQ(PeerApiDeleteObjects(&state, ids, 1, false, false), 0);
    EXPECT_EQ(peer->Objects().size(), 1u);
}

TEST_F(StandinPeerTest, AnswersQuestionsFromItsConfiguration)
{
    peer->Config().coordKind = 2;
    peer->Config().coordIdentifier = std::string(30, 'k');  // longer than its field
    peer->Config().levelResolutions = {{1.0, 2.0}, {0.5, 1.0}};
    EXPECT_EQ(PeerApiGetCoordSystem(&state), 0);
    EXPECT_EQ(PeerApiGetLevelResolutions(&state, 0, 0), 0);
    EXPECT_EQ(PeerApiGetOrigin(&state), 0);
    EXPECT_EQ(PeerApiSetButton(&state, kButtonQuery, nullptr, 1), 1);
    ASSERT_EQ(g_received.size(), 4u);
    int32_t kind;
    memcpy(&kind, g_received[0].second.data() + 40, 4);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(std::string((const char*)g_received[0].second.data() + 72), peer->Config().coordName);
    // The identifier has 16 bytes at 44; 60 to 71 stay clear.
    EXPECT_EQ(std::string((const char*)g_received[0].second.data() + 44, 16), std::string(16, 'k'));
    EXPECT_EQ(std::vector<uint8_t>(g_received[0].second.begin() + 60, g_received[0].second.begin() + 72),
              std::vector<uint8_t>(12, 0));
    EXPECT_EQ(g_received[1].second.size(), 208u);
    double x;
    memcpy(&x, g_received[2].second.data() + 24, 8);
    EXPECT_EQ(x, 500000.0);
    EXPECT_EQ(g_received[3].first, 20401u);
    EXPECT_EQ(g_received[3].second, (std::vector<uint8_t>{0, 0, 0, 0}));

    // The map state comes as its 104-byte record: level at 44, type at 48.
    peer->Config().mapLevel = 12;
    peer->Config().mapType = 3;
    EXPECT_EQ(PeerApiGetMapState(&state, 1), 0);
    const auto& mapState = g_received.back().second;
    ASSERT_EQ(mapState.size(), 104u);
    EXPECT_EQ(mapState[44], 12);
    EXPECT_EQ(mapState[48], 3);

    // A folder search comes back as the request with the id (none: 0) at 532.
    uint8_t search[kFolderSearchSize] = {0, 0, 0, 0, 5, 0, 0, 0, 30, 0, 0, 0, 9};
    search[20] = 1;
    strcpy((char*)search + 28, "nowhere");
    EXPECT_EQ(PeerApiSearchObject(&state, search), 0);
    const auto& found = g_received.back().second;
    ASSERT_EQ(found.size(), 536u);
    EXPECT_EQ(std::vector<uint8_t>(found.begin(), found.begin() + 532), std::vector<uint8_t>(search, search + 532));
    EXPECT_EQ(std::vector<uint8_t>(found.begin() + 532, found.end()), std::vector<uint8_t>(4, 0));
}

// Payloads the peer must refuse, built by hand: each breaks one rule of a
// layout that the peer reads.
TEST_F(StandinPeerTest, RefusesPayloadsThatBreakTheirLayouts)
{
    // Registration: a record without its NUL, and one with a byte in the head.
    auto registerWith = [this](std::vector<uint8_t> record) {
        COPYDATASTRUCT cds{20000, (DWORD)record.size(), record.data()};
        return SendMessageW(peer->Window(), WM_COPYDATA, 1001, (LPARAM)&cds);
    };
    std::vector<uint8_t> record(100);
    record[96] = 'V';
    record[98] = 'W';
    EXPECT_EQ(registerWith(record), 0);
    record.resize(102);
    EXPECT_EQ(registerWith(record), 1);
    record[0] = 1;
    EXPECT_EQ(registerWith(record), 0);
    // A WM_COPYDATA under another wParam is not a message of the protocol.
    record[0] = 0;
    COPYDATASTRUCT other{20000, (DWORD)record.size(), record.data()};
    size_t seen = peer->Messages().size();
    EXPECT_EQ(SendMessageW(peer->Window(), WM_COPYDATA, 1000, (LPARAM)&other), 0);
    EXPECT_EQ(peer->Messages().size(), seen);

    // Uploads: a sign one byte short of 420 + t, and a track whose text is
    // not padded to 8 (204 + 5 needs 216 bytes).
    std::vector<uint8_t> sign(16 + 420 + 3);
    sign[0] = 101;
    sign[2] = 7;
    sign[16 + 416] = 3;
    int64_t id = 0;
    EXPECT_EQ(PeerApiRequest(&state, kReqUploadObject, sign.data(), (uint32_t)sign.size() - 1, &id, 0), -4);
    std::vector<uint8_t> track(16 + 209);
    track[0] = 101;
    track[2] = 8;
    track[16 + 200] = 5;
    EXPECT_EQ(PeerApiRequest(&state, kReqUploadObject, track.data(), (uint32_t)track.size(), &id, 0), -4);
    track.resize(16 + 216);
    EXPECT_EQ(PeerApiRequest(&state, kReqUploadObject, track.data(), (uint32_t)track.size(), &id, 0), 0);
    EXPECT_EQ(peer->Objects().size(), 1u);

    // An exchange buffer whose record header gives the wrong body size
    // stores nothing at all.
    std::vector<uint8_t> buffer(80 + 64 + 176 + 64 + 176);
    buffer[0] = 101;
    buffer[16] = (uint8_t)(buffer.size() - 80);
    buffer[17] = (uint8_t)((buffer.size() - 80) >> 8);
    buffer[80] = 176;
    buffer[84] = 30;
    buffer[80 + 64 + 176] = 175;
    buffer[80 + 64 + 176 + 4] = 30;
    EXPECT_EQ(PeerApiRequest(&state, kReqSetObjTree, buffer.data(), (uint32_t)buffer.size(), nullptr, 0), -4);
    EXPECT_EQ(peer->Objects().size(), 1u);
    buffer[80 + 64 + 176] = 176;
    EXPECT_EQ(PeerApiRequest(&state, kReqSetObjTree, buffer.data(), (uint32_t)buffer.size(), nullptr, 0), 0);
    EXPECT_EQ(peer->Objects().size(), 3u);

    // The fixed records: location 80 bytes, map state 104, level query 80.
    std::vector<uint8_t> fixed(103);
    EXPECT_EQ(PeerApiRequest(&state, kReqSetLocation, fixed.data(), 79, nullptr, 0), -4);
    EXPECT_EQ(PeerApiRequest(&state, kReqSetLocation, fixed.data(), 80, nullptr, 0), 0);
    EXPECT_EQ(PeerApiRequest(&state, kReqGetMapState, fixed.data(), 103, nullptr, 0), -4);
    EXPECT_EQ(PeerApiRequest(&state, kReqGetLevelResolutions, fixed.data(), 81, nullptr, 0), -4);

    // A button record must be 320 bytes.
    std::vector<uint8_t> button(319);
    button[0] = 101;
    button[20] = 1;
    EXPECT_EQ(PeerApiRequest(&state, kReqSetButton, button.data(), (uint32_t)button.size(), nullptr, 0), -4);
    EXPECT_FALSE(peer->ButtonPresent());
}

TEST_F(StandinPeerTest, TakesRequestsWhileItsOwnSendWaits)
{
    ASSERT_EQ(PeerApiGetCoordSystem(&state), 0);
    peer->Config().statusWord = 3;
    EXPECT_EQ(peer->SendToClient(20402, {}), 1);
    EXPECT_EQ(g_statusFromInside, 3);
    EXPECT_EQ(peer->Codes().back(), 20501u);
}

// A reader that has reported the records lets the peer forget them, so that
// a long run keeps none; the counts go on, and nothing is forgotten while a
// message is under way (its record is still to be completed).
TEST_F(StandinPeerTest, ForgetsReportedRecordsButNotWhileHandlingAndCountsOn)
{
    ASSERT_EQ(PeerApiGetCoordSystem(&state), 0);
    const size_t messages = peer->Messages().size(), answers = peer->Answers().size();
    ASSERT_GT(messages, 0u);
    ASSERT_GT(answers, 0u);
    EXPECT_TRUE(peer->ForgetRecords());
    EXPECT_TRUE(peer->Messages().empty());
    EXPECT_TRUE(peer->Answers().empty());
    EXPECT_EQ(peer->MessageCount(), messages);
    EXPECT_EQ(peer->AnswerCount(), answers);

    // The client tries it from inside the peer's button press, after asking
    // the peer's status there.
    g_forgetFromInside = peer.get();
    peer->Config().statusWord = 3;
    EXPECT_EQ(peer->SendToClient(20402, {}), 1);
    EXPECT_FALSE(g_forgotInside);
    ASSERT_EQ(peer->Messages().size(), 1u);
    EXPECT_EQ(peer->Messages()[0].code, 20501u);
    EXPECT_EQ(peer->Messages()[0].answer, 3);
    ASSERT_EQ(peer->Answers().size(), 1u);
    EXPECT_EQ(peer->Answers()[0].code, 20402u);
    EXPECT_EQ(peer->Answers()[0].result, 1);
    EXPECT_EQ(peer->MessageCount(), messages + 1);
    EXPECT_EQ(peer->AnswerCount(), answers + 1);
}

TEST_F(StandinPeerTest, RefusesClientsUnderItsOwnClass)
{
    PeerApiState self{};
    PeerApiSetClientName(&self, L"VELKWIN");
    // Its answers would reach its own window and answer themselves again.
    EXPECT_EQ(PeerApiGetCoordSystem(&self), kPeerRegisterFailed);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000}));
    EXPECT_TRUE(peer->Answers().empty());
}

TEST_F(StandinPeerTest, WritesTheTestFileOnlyInsideTheMachineFolder)
{
    auto send = [&](const std::string& path) {
        static const char text[] = "xyz";
        uint8_t record[kTestRecordSize] = {};
        memcpy(record + 16, path.c_str(), path.size() + 1);
        int32_t n = sizeof text;
        memcpy(record + 272, &n, 4);
        const char* p = text;
        memcpy(record + 280, &p, sizeof p);
        return PeerApiSendTestData(&state, record);
    };
    const std::string root = velktest::MachineRoot();
    const std::string outside = std::filesystem::path(root).parent_path().string() + "/escaped.txt";
    std::filesystem::remove(outside);
    for (const std::string& path : {std::string("C:\\..\\..\\escaped.txt"), outside,
                                    std::string("\\\\server\\share\\escaped.txt")}) {
        // The block itself is still confirmed; only the file is not written.
        EXPECT_NE(send(path), -1) << path;
        EXPECT_FALSE(velktest::NativeExists(outside)) << path;
    }
    std::error_code ec;
    std::filesystem::create_directory_symlink(std::filesystem::path(root).parent_path(), root + "/C/link", ec);
    ASSERT_FALSE(ec);
    EXPECT_NE(send("C:\\link\\escaped.txt"), -1);
    EXPECT_FALSE(velktest::NativeExists(outside));

    EXPECT_NE(send("C:\\Users\\user\\TestData.txt"), -1);
    EXPECT_NE(velktest::ReadNativeFile(root + "/C/Users/user/TestData.txt").find("strData:xyz"), std::string::npos);
}

TEST(PeerInstallation, RegistryValuesAndLauncher)
{
    std::unique_ptr<StandinPeer> peer;
    velkpeer::InstallPeer(832, [&peer] {
        peer = std::make_unique<StandinPeer>();
        return true;
    });
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, velkpeer::kPeerRegistryKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD version = 0, size = sizeof version, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"LastVersion", nullptr, &type, (LPBYTE)&version, &size), ERROR_SUCCESS);
    EXPECT_EQ(version, 832u);
    wchar_t path[260] = {};
    size = sizeof path;
    EXPECT_EQ(RegQueryValueExW(key, L"LastRunPath", nullptr, &type, (LPBYTE)path, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(path), velkpeer::kPeerProgramPath);
    RegCloseKey(key);
    EXPECT_EQ(FindWindowW(L"velkWin", nullptr), nullptr);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = path;
    EXPECT_TRUE(ShellExecuteExW(&info));
    ASSERT_TRUE(peer);
    EXPECT_EQ(FindWindowW(L"velkWin", nullptr), peer->Window());
}

}  // namespace
