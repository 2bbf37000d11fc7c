// A fresh plug-in with its settings file, a current drawing, the receiver
// window and the stand-in peer running, for the dialogs that talk to the
// peer and save settings.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/drawingdata.h"
#include "state/settings.h"
#include "test_support.h"

class DialogFixture : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        LoadSettings();
        peer = std::make_unique<velkpeer::StandinPeer>();
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
        g_ptagDocIdManager = drawing;
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        if (!hostTemplates.empty()) standin::RemoveModuleResources(GetModuleHandleW(nullptr));
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }

    // Gives the host a dialog template of its own under `id`, caption only.
    // The host's resources come first unless the module puts its own first.
    void AddHostTemplate(WORD id, const std::wstring& caption)
    {
        std::vector<BYTE> t = {1, 0, 0xFF, 0xFF};  // DLGTEMPLATEEX
        t.resize(t.size() + 4 + 4 + 4 + 2 + 8 + 2 + 2);  // help id, styles, no items, place, no menu, no class
        for (wchar_t c : caption + L'\0') t.insert(t.end(), {(BYTE)c, (BYTE)(c >> 8)});
        hostTemplates.push_back(std::move(t));
        hostTable.push_back({RT_DIALOG, id, 0x804, nullptr, 0});
        for (size_t i = 0; i < hostTable.size(); ++i) {
            hostTable[i].bytes = hostTemplates[i].data();
            hostTable[i].size = (DWORD)hostTemplates[i].size();
        }
        standin::RemoveModuleResources(GetModuleHandleW(nullptr));
        standin::AddModuleResources(GetModuleHandleW(nullptr), hostTable.data(), hostTable.size());
    }

    static std::string Native(const std::wstring& path) { return standin::NativePath(path); }
    static void MakeFolder(const std::wstring& path) { velktest::WriteNativeFile(Native(path) + "/.keep", ""); }
    static bool Exists(const std::wstring& path) { return velktest::NativeExists(Native(path)); }
    static std::wstring LastBox()
    {
        return standin::MessageBoxes().empty() ? L"" : standin::MessageBoxes().back().text;
    }
    // The codes the peer received, registration and version asks left out.
    std::vector<uint32_t> PeerCodes() const
    {
        std::vector<uint32_t> codes;
        for (uint32_t c : peer->Codes())
            if (c != 20000 && c != 20006) codes.push_back(c);
        return codes;
    }
    // The settings record as the file holds it now.
    PluginSettings SavedSettings() const
    {
        PluginSettings s{};
        GetPrivateProfileStructW(L"VelkArx", L"ini", &s, sizeof s, g_settingsFile);
        return s;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    GcApDocument* doc = nullptr;
    CDrawingData* drawing = nullptr;
    std::vector<std::vector<BYTE>> hostTemplates;
    std::vector<standin::ModuleResource> hostTable;
};
