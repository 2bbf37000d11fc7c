// The exchange against the stand-in peer: a receiver window of the module's
// class hands the peer's answers to the exchange's answer functions, as the
// module's receiver window does.
#pragma once

#include <cstring>
#include <memory>

#include "exchange/exchangeglobals.h"
#include "exchange_fixture.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "test_support.h"
#include "standin_peer.h"

inline LRESULT CALLBACK ExchangeReceiverProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_COPYDATA) return DefWindowProcW(h, msg, wp, lp);
    auto* cds = (const COPYDATASTRUCT*)lp;
    auto* p = (const uint8_t*)cds->lpData;
    uint32_t n = cds->cbData;
    switch (cds->dwData & 0xFFFF) {
    case 20100: ApplyFolderListAnswer(p, n); break;
    case 20101: ApplyFolderLookupAnswer(p, n); break;
    case 20107: ApplyFolderSearchAnswer(p, n); break;
    case 20112: ApplyObjectAnswer(p, n); break;
    case 20211:
        // The map origin and the resolution of each level go to the active
        // drawing's base-map state, as the module's receiver puts them.
        if (g_ptagDocIdManager && n >= 40) {
            double x, y;
            memcpy(&x, p + 24, 8);
            memcpy(&y, p + 32, 8);
            g_ptagDocIdManager->baseMap.grid.origin = OdGePoint3d(x, y, 0);
        }
        break;
    case 20212:
        for (uint32_t i = 0; g_ptagDocIdManager && i < n / 104 && i < 28; ++i) {
            memcpy(&g_ptagDocIdManager->baseMap.xResolution[i + 1], p + 104 * i, 8);
            memcpy(&g_ptagDocIdManager->baseMap.yResolution[i + 1], p + 104 * i + 8, 8);
        }
        break;
    default: break;
    }
    return 1;
}

class PeerExchangeTest : public ExchangeTest {
protected:
    void SetUp() override
    {
        ExchangeTest::SetUp();
        velktest::CreateReceiverWindow(&ExchangeReceiverProc);
        g_peerApi = PeerApiState{};
        PeerApiSetClientName(&g_peerApi, L"VelkArxWin");
        peer = std::make_unique<velkpeer::StandinPeer>();
    }
    void TearDown() override
    {
        peer.reset();
        g_peerApi = PeerApiState{};
        ExchangeTest::TearDown();
    }

    // Messages of one code the peer received, in order.
    std::vector<velkpeer::PeerMessage> Sent(uint32_t code) const
    {
        std::vector<velkpeer::PeerMessage> out;
        for (auto& m : peer->Messages())
            if (m.code == code) out.push_back(m);
        return out;
    }
    // Folders of that name the peer holds.
    int FoldersNamed(const std::string& name) const
    {
        int n = 0;
        for (auto& [id, o] : peer->Objects()) n += o.kind == 30 && o.name == name;
        return n;
    }
    uint32_t PutFolder(const char* name, uint32_t parent)
    {
        std::vector<uint8_t> body(176, 0);
        memcpy(body.data(), name, strlen(name));
        body[111] = 1;
        return peer->ObjectStore().Put(30, parent, body);
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
};
