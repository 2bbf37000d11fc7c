// The settings record and file: migration of older records, repairs of
// zero fields, the old file beside the module, and the drawings' bindings
// and random ids that live beside them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "machine_control.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/randomid.h"
#include "state/settings.h"
#include "test_support.h"
#include "windows.h"

namespace {

const wchar_t kFile[] = L"C:\\Users\\user\\AppData\\Local\\VelkArx_setting.ini";

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { velktest::ResetPluginState(); }
    void TearDown() override { velktest::ResetPluginState(); }

    static void Store(const PluginSettings& s, const wchar_t* file = kFile)
    {
        ASSERT_TRUE(WritePrivateProfileStructW(L"VelkArx", L"ini", &s, sizeof s, file));
    }
    static PluginSettings Stored()
    {
        PluginSettings s{};
        EXPECT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", &s, sizeof s, kFile));
        return s;
    }
    static std::wstring CacheRootInFile()
    {
        wchar_t root[300] = {};
        GetPrivateProfileStringW(L"TempPath", L"MapTemp", L"(none)", root, 300, kFile);
        return root;
    }
};

TEST_F(SettingsTest, ANewFileGetsTheDefaultsAndTheTemporaryFolderAsCacheRoot)
{
    LoadSettings();
    EXPECT_EQ(std::wstring(g_settingsFile), kFile);
    PluginSettings s = Stored();
    EXPECT_EQ(s.settingsVersion, 162);
    EXPECT_EQ(s.textLevelMetres, 60);
    EXPECT_EQ(s.maxBaseMapLevel, 20);
    EXPECT_EQ(s.roundedValue, 1000);
    EXPECT_EQ(s.receivedSignLevel, 18);
    EXPECT_EQ(s.viewFactor1, 1.0);
    EXPECT_EQ(s.viewFactor2, 2.0);
    EXPECT_EQ(s.peerTooOldHint, 1);
    EXPECT_EQ(s.updateHint, 1);
    EXPECT_EQ(s.followMode, 0);
    for (uint8_t b : s.unused) EXPECT_EQ(b, 0);
    EXPECT_EQ(std::wstring(g_cacheRoot), L"C:\\Temp");
    EXPECT_EQ(CacheRootInFile(), L"C:\\Temp");
}

TEST_F(SettingsTest, OlderRecordsAreMigratedAndZeroFieldsRepaired)
{
    PluginSettings v0{};
    v0.textLevelMetres = 30;
    v0.viewFactor2 = 7.0;
    Store(v0);
    LoadSettings();
    EXPECT_EQ(g_settings.settingsVersion, 162);
    EXPECT_EQ(g_settings.viewFactor2, 2.0);  // version 0 resets it
    EXPECT_EQ(g_settings.viewFactor1, 1.0);
    EXPECT_EQ(g_settings.maxBaseMapLevel, 20);
    EXPECT_EQ(g_settings.textLevelMetres, 30);
    EXPECT_EQ(Stored().maxBaseMapLevel, 20);

    PluginSettings v140{};
    v140.settingsVersion = 140;
    v140.viewFactor1 = 1.5;
    v140.viewFactor2 = 7.0;
    v140.maxBaseMapLevel = 18;
    v140.colourByLayer = 1;
    v140.receivedSignLevel = 12;
    Store(v140);
    LoadSettings();
    EXPECT_EQ(g_settings.viewFactor2, 7.0);
    EXPECT_EQ(g_settings.peerTooOldHint, 1);
    EXPECT_EQ(g_settings.updateHint, 1);
    EXPECT_EQ(g_settings.receivedSignLevel, 18);
    EXPECT_EQ(g_settings.colourByLayer, 0);
    EXPECT_EQ(g_settings.maxBaseMapLevel, 18);

    // A version above 2^31 is below 162 compared as unsigned: not migrated.
    PluginSettings future{};
    future.settingsVersion = -5;
    future.viewFactor1 = future.viewFactor2 = 3.0;
    future.receivedSignLevel = 9;
    future.maxBaseMapLevel = 25;
    future.colourByLayer = 1;
    Store(future);
    LoadSettings();
    EXPECT_EQ(g_settings.settingsVersion, -5);
    EXPECT_EQ(g_settings.colourByLayer, 1);
}

TEST_F(SettingsTest, AHighestMapLevelOutsideTheDialogsChoicesIsRepairedAndSaved)
{
    for (int32_t level : {-1, 15, 29, 0x7FFFFFFF}) {
        SCOPED_TRACE(level);
        velktest::ResetPluginState();
        PluginSettings s{};
        SetDefaultSettings(s);
        s.maxBaseMapLevel = level;
        Store(s);
        LoadSettings();
        EXPECT_EQ(g_settings.maxBaseMapLevel, 20);
        EXPECT_EQ(Stored().maxBaseMapLevel, 20);
    }
    PluginSettings s{};
    SetDefaultSettings(s);
    s.maxBaseMapLevel = 28;
    Store(s);
    velktest::ResetPluginState();
    LoadSettings();
    EXPECT_EQ(g_settings.maxBaseMapLevel, 28);
}

TEST_F(SettingsTest, ABadRecordOrAnEmptyFileKeepsTheRecordAndRepairsIt)
{
    velktest::WriteNativeFile(standin::NativePath(kFile), "");
    g_settings.followMode = 3;
    LoadSettings();
    EXPECT_EQ(g_settings.followMode, 3);
    EXPECT_EQ(g_settings.maxBaseMapLevel, 20);
    EXPECT_EQ(std::wstring(g_cacheRoot), L"C:\\Temp");  // no key: the default

    // A value whose checksum does not match is refused.
    velktest::WriteNativeFile(standin::NativePath(kFile), "[VelkArx]\r\nini=0102\r\n[TempPath]\r\nMapTemp=D:\\tiles\r\n");
    velktest::ResetPluginState();
    LoadSettings();
    EXPECT_EQ(g_settings.settingsVersion, 162);
    EXPECT_EQ(std::wstring(g_cacheRoot), L"D:\\tiles");
}

TEST_F(SettingsTest, TheOldFileBesideTheModuleIsMovedAndReadAtOnce)
{
    const std::wstring old = L"C:\\Program Files\\CadHost\\Plugins\\Velk\\setting.ini";
    velktest::WriteNativeFile(standin::NativePath(old), "");
    PluginSettings kept{};
    kept.settingsVersion = 162;
    kept.textLevelMetres = 120;
    kept.followMode = 1;
    kept.viewFactor1 = 1.0;
    kept.viewFactor2 = 2.0;
    kept.receivedSignLevel = 18;
    Store(kept, old.c_str());
    standin::SetModulePath(L"C:\\Program Files\\CadHost\\Plugins\\Velk\\VelkGrx2020(x64).grx");
    g_hModuleInstance = (HINSTANCE)standin::ModuleHandle();
    LoadSettings();
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(old)));
    EXPECT_EQ(g_settings.textLevelMetres, 120);
    EXPECT_EQ(g_settings.followMode, 1);
    // maxBaseMapLevel was 0 in the old record: repaired and saved.
    EXPECT_EQ(g_settings.maxBaseMapLevel, 20);
    EXPECT_EQ(Stored().maxBaseMapLevel, 20);
    EXPECT_EQ(CacheRootInFile(), L"C:\\Temp");

    // An empty old file is left where it is, and the defaults are written.
    velktest::ResetPluginState();
    velktest::WriteNativeFile(standin::NativePath(kFile + std::wstring()), "");
    std::remove(standin::NativePath(kFile).c_str());
    velktest::WriteNativeFile(standin::NativePath(old), "");
    g_hModuleInstance = (HINSTANCE)standin::ModuleHandle();
    LoadSettings();
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(old)));
    EXPECT_EQ(Stored().textLevelMetres, 60);
}

TEST(CoordinateBindingKeys, KeysAre63BitDecimalTextsOfTheAnsiName)
{
    // MD5 of "" is d41d8cd98f00b204e9800998ecf8427e; little-endian first 8
    // bytes with bit 63 cleared.
    EXPECT_EQ(StringToId64(L""), 0x04b2008fd98c1dd4ull);
    EXPECT_EQ(DrawingNameKey(L""), 0x04b2008fd98c1dd4ull);
    EXPECT_NE(DrawingNameKey(L"C:\\dwg\\Site.dwg"), DrawingNameKey(L"C:\\dwg\\site.dwg"));
    // A name the ANSI code page cannot hold still gets a key.
    EXPECT_NE(DrawingNameKey(L"C:\\dwg\\\U0001F600.dwg"), 0u);
    uint8_t digest[16];
    memset(digest, 0xFF, sizeof digest);
    EXPECT_EQ(DigestToId64(digest), 0x7FFFFFFFFFFFFFFFull);
    // The UTF-8 form is cut at 259 bytes without splitting a character.
    CString longName;
    for (int i = 0; i < 100; ++i) longName += L"图";
    CString cut;
    for (int i = 0; i < 86; ++i) cut += L"图";
    EXPECT_EQ(StringToId64(longName), StringToId64(cut));
}

TEST(CoordinateBindingKeys, BindingsAreStoredPerDrawingAndMissingOnesReadZero)
{
    velktest::ResetPluginState();
    LoadSettings();
    uint8_t identifier[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    SaveCoordinateBinding(L"C:\\dwg\\a.dwg", identifier);
    uint64_t key = 99;
    LoadCoordinateBinding(L"C:\\dwg\\a.dwg", key);
    EXPECT_EQ(key, DigestToId64(identifier));
    LoadCoordinateBinding(L"C:\\dwg\\b.dwg", key);
    EXPECT_EQ(key, 0u);
    // The file holds the decimal texts.
    wchar_t value[32] = {};
    CString name;
    name.Format(L"%llu", (unsigned long long)DrawingNameKey(L"C:\\dwg\\a.dwg"));
    GetPrivateProfileStringW(L"FILE_MD5", name, L"", value, 32, g_settingsFile);
    EXPECT_EQ(std::wstring(value), L"578437695752307201");
    velktest::ResetPluginState();
}

int g_counter = 0;
int Counting() { return g_counter++; }

TEST(RandomIds, ThePoolComesFromTheSourceAndEachIdChainsTheLastDigest)
{
    g_counter = 0;
    RandomIdGenerator a(&Counting);
    RandomIdGenerator b(&Counting);
    // The second generator took the next 32 values: its ids differ.
    EXPECT_NE(a.NextId64(), b.NextId64());

    g_counter = 0;
    RandomIdGenerator c(&Counting);
    uint8_t pool[32];
    for (int i = 0; i < 32; ++i) pool[i] = (uint8_t)i;
    uint8_t d1[16];
    RandomIdGenerator::Digest(d1, pool, 32);
    uint64_t first = c.NextId64();
    uint64_t expect1 = 0;
    for (int i = 7; i >= 0; --i) expect1 = expect1 << 8 | d1[i];
    EXPECT_EQ(first, expect1 & 0x7FFFFFFFFFFFFFFFull);
    uint8_t next[32];
    memcpy(next, pool + 16, 16);
    memcpy(next + 16, d1, 16);
    uint8_t d2[16];
    RandomIdGenerator::Digest(d2, next, 32);
    uint64_t expect2 = 0;
    for (int i = 7; i >= 0; --i) expect2 = expect2 << 8 | d2[i];
    EXPECT_EQ(c.NextId64(), expect2 & 0x7FFFFFFFFFFFFFFFull);

    // rand() itself: top bits always clear, and no repeats in a short run.
    RandomIdGenerator r;
    std::set<uint64_t> seen;
    for (int i = 0; i < 200; ++i) {
        uint64_t id = r.NextId64();
        EXPECT_EQ(id >> 63, 0u);
        EXPECT_EQ(r.NextId31() >> 31, 0u);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
