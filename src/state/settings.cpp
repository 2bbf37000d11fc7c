#include "state/settings.h"

#include <cstring>

#include "base/basefile.h"
#include "common/io/appdirectoryutil.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "windows.h"

PluginSettings g_settings{};
CString g_cacheRoot;
CString g_settingsFile;

namespace {

const wchar_t kSection[] = L"VelkArx";
const wchar_t kKey[] = L"ini";
const wchar_t kCacheSection[] = L"TempPath";
const wchar_t kCacheKey[] = L"MapTemp";

// -1 when the file is missing; an empty file has size 0 and exists.
int32_t FileSize(const CString& path)
{
    char utf8[1000];
    CStringToUtf8Buf(path, utf8, sizeof utf8, 0);
    return GetFileSizeUtf8(utf8);
}

void ReadCacheRoot()
{
    wchar_t root[MAX_PATH + 1] = {};
    GetPrivateProfileStringW(kCacheSection, kCacheKey, GetTempFolder(), root, MAX_PATH + 1, g_settingsFile);
    g_cacheRoot = root;
}

// Older records get the fields later versions added; zero fields that no
// record may hold are repaired. Each change is saved at once.
void MigrateAndRepair()
{
    PluginSettings& s = g_settings;
    if (s.settingsVersion == 0 || (uint32_t)s.settingsVersion < (uint32_t)kSettingsVersion) {
        if (s.settingsVersion == 0) s.viewFactor2 = 2.0;
        s.peerTooOldHint = 1;
        s.updateHint = 1;
        s.settingsVersion = kSettingsVersion;
        s.receivedSignLevel = 18;
        s.colourByLayer = 0;
        SaveSettings();
    }
    if (s.viewFactor2 == 0.0) {
        s.viewFactor2 = 2.0;
        SaveSettings();
    }
    if (s.viewFactor1 == 0.0) {
        s.viewFactor1 = 1.0;
        SaveSettings();
    }
    if (s.receivedSignLevel == 0) {
        s.receivedSignLevel = 18;
        SaveSettings();
    }
    // A level outside the dialog's choices bounds the capture dialog's level
    // list and the tile requests: a damaged file must not make either run
    // away.
    if (s.maxBaseMapLevel < 16 || s.maxBaseMapLevel > 28) {
        s.maxBaseMapLevel = 20;
        SaveSettings();
    }
}

void ReadRecord()
{
    // A value of the wrong length or checksum is refused and the record
    // keeps what it held.
    PluginSettings read;
    if (GetPrivateProfileStructW(kSection, kKey, &read, sizeof read, g_settingsFile)) g_settings = read;
    MigrateAndRepair();
}

}  // namespace

void SetDefaultSettings(PluginSettings& s)
{
    memset(&s, 0, sizeof s);
    s.viewFactor1 = 1.0;
    s.viewFactor2 = 2.0;
    s.peerTooOldHint = 1;
    s.updateHint = 1;
    s.roundedValue = 1000;
    s.textLevelMetres = 60;
    s.maxBaseMapLevel = 20;
    s.settingsVersion = kSettingsVersion;
    s.receivedSignLevel = 18;
}

void LoadSettings()
{
    g_settingsFile = GetSpecialFolderPath() + L"\\VelkArx_setting.ini";
    if (FileSize(g_settingsFile) >= 0) {
        ReadCacheRoot();
        ReadRecord();
        return;
    }
    CString oldFile = CAppDirectoryUtil::GetModuleFolder(g_hModuleInstance) + L"\\setting.ini";
    bool moved = false;
    if (FileSize(oldFile) > 0) {
        char from[1000], to[1000];
        CStringToUtf8Buf(oldFile, from, sizeof from, 0);
        CStringToUtf8Buf(g_settingsFile, to, sizeof to, 0);
        moved = MoveFileUtf8(from, to) != 0;
    }
    // The old record is read at once rather than left zero for this run;
    // when it could not be moved the defaults are written instead.
    if (moved) {
        ReadRecord();
    } else {
        SetDefaultSettings(g_settings);
        SaveSettings();
    }
    g_cacheRoot = GetTempFolder();
    SaveCachePath();
}

void SaveSettings()
{
    if (g_settingsFile.IsEmpty()) return;
    WritePrivateProfileStructW(kSection, kKey, &g_settings, sizeof g_settings, g_settingsFile);
}

void SaveCachePath()
{
    if (g_settingsFile.IsEmpty()) return;
    WritePrivateProfileStringW(kCacheSection, kCacheKey, g_cacheRoot, g_settingsFile);
}
