// A receiver window over a current drawing, with the stand-in peer running
// and the plug-in's state fresh; payloads are built byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gcapdocmanager.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "peer/peerapi.h"
#include "plugin_state.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "standin_peer.h"
#include "state/drawingdata.h"

class ReceiverTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        peer = std::make_unique<velkpeer::StandinPeer>();
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        receiver = g_pMessageDlg->GetSafeHwnd();
        g_pEditorReactor = new CEditorReactor();
        doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
        g_ptagDocIdManager = drawing;
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }

    LRESULT Send(uint32_t code, const std::vector<uint8_t>& bytes, uint32_t connection = 7)
    {
        COPYDATASTRUCT cds;
        cds.dwData = ((ULONG_PTR)connection << 16) | code;
        cds.cbData = (DWORD)bytes.size();
        cds.lpData = bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data());
        return SendMessageW(receiver, WM_COPYDATA, 1001, (LPARAM)&cds);
    }
    static void Put32(std::vector<uint8_t>& b, size_t at, int32_t v) { memcpy(b.data() + at, &v, 4); }
    static void PutF64(std::vector<uint8_t>& b, size_t at, double v) { memcpy(b.data() + at, &v, 8); }
    bool Posted(UINT message)
    {
        MSG m;
        return PeekMessageW(&m, receiver, message, message, PM_NOREMOVE) != FALSE;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    HWND receiver = nullptr;
    GcApDocument* doc = nullptr;
    CDrawingData* drawing = nullptr;
};
