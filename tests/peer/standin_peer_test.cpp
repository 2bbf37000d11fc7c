// The stand-in peer itself: its installation, its store of objects sent in
// an exchange buffer, and the data answers it sends to the client's window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "peer/peerrequests.h"
#include "standin_peer.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> g_received;
PeerApiState* g_clientState = nullptr;
int g_statusFromInside = 0;

LRESULT CALLBACK ClientProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_COPYDATA) return DefWindowProcW(h, msg, wp, lp);
    auto* cds = (const COPYDATASTRUCT*)lp;
    auto* p = (const uint8_t*)cds->lpData;
    uint32_t code = (uint32_t)(cds->dwData & 0xFFFF);
    g_received.emplace_back(code, std::vector<uint8_t>(p, p + cds->cbData));
    // The button press asks the peer's status while the peer's own send waits.
    if (code == 20402) g_statusFromInside = PeerApiGetStatusInfo(g_clientState);
    return 1;
}

class StandinPeerTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_received.clear();
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
    uint8_t search[kFolderSearchSize] = {};
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
    EXPECT_EQ(g_received[1].second.size(), 208u);
    double x;
    memcpy(&x, g_received[2].second.data() + 24, 8);
    EXPECT_EQ(x, 500000.0);
    EXPECT_EQ(g_received[3].first, 20401u);
    EXPECT_EQ(g_received[3].second, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(StandinPeerTest, TakesRequestsWhileItsOwnSendWaits)
{
    ASSERT_EQ(PeerApiGetCoordSystem(&state), 0);
    peer->Config().statusWord = 3;
    EXPECT_EQ(peer->SendToClient(20402, {}), 1);
    EXPECT_EQ(g_statusFromInside, 3);
    EXPECT_EQ(peer->Codes().back(), 20501u);
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
    SHELLEXECUTEINFOW info{sizeof info};
    info.lpVerb = L"open";
    info.lpFile = path;
    EXPECT_TRUE(ShellExecuteExW(&info));
    ASSERT_TRUE(peer);
    EXPECT_EQ(FindWindowW(L"velkWin", nullptr), peer->Window());
}

}  // namespace
