// The plug-in's settings file as the load reads, migrates and repairs it:
// whatever the file holds, the record loaded has no field the repairs
// leave out of range, the cache root fits a path, and what the load saved
// loads again unchanged.
//
// The first byte sets the options: bit 0, the rest is the record (160
// bytes, then the cache root's text) stored as the module stores it
// rather than the file's own bytes; bit 1, the file is missing and the
// old file beside the module holds it.
#include <cstring>
#include <fstream>

#include "fuzz_support.h"
#include "machine_control.h"
#include "standin_control.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "windows.h"

VELK_FUZZ_WITH_MACHINE()

namespace {

const CString& SettingsPath()
{
    static const CString path = CString(standin::kLocalAppDataFolder) + L"\\VelkArx_setting.ini";
    return path;
}

const CString& OldSettingsPath()
{
    static const CString path = [] {
        CString module(standin::kModulePath);
        return module.Left(module.ReverseFind(L'\\')) + L"\\setting.ini";
    }();
    return path;
}

void WriteFileBytes(const CString& path, const void* data, size_t size)
{
    std::ofstream file(standin::NativePath(path.GetString()), std::ios::binary | std::ios::trunc);
    file.write((const char*)data, (std::streamsize)size);
}

void ClearSettings()
{
    g_settings = PluginSettings{};
    g_cacheRoot.Empty();
    g_settingsFile.Empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_hModuleInstance = standin::ModuleHandle();
    DeleteFileW(SettingsPath());
    DeleteFileW(OldSettingsPath());
    ClearSettings();

    velkfuzz::Input input(data, size);
    const uint8_t options = input.Byte();
    const CString& file = (options & 2) ? OldSettingsPath() : SettingsPath();
    if (options & 1) {
        PluginSettings record;
        uint8_t* bytes = (uint8_t*)&record;
        for (size_t i = 0; i < sizeof record; ++i) bytes[i] = input.Byte();
        const std::string root = input.Text();
        WriteFileBytes(file, "", 0);
        WritePrivateProfileStructW(L"VelkArx", L"ini", &record, sizeof record, file);
        if (!root.empty())
            WritePrivateProfileStringW(L"TempPath", L"MapTemp", CString(std::wstring(root.begin(), root.end()).c_str()),
                                       file);
    } else {
        const velkfuzz::Input::Bytes rest = input.Rest();
        WriteFileBytes(file, rest.data, rest.size);
    }

    LoadSettings();
    const PluginSettings& s = g_settings;
    FUZZ_CHECK((uint32_t)s.settingsVersion >= (uint32_t)kSettingsVersion);
    FUZZ_CHECK(s.viewFactor1 != 0.0 && s.viewFactor2 != 0.0);
    FUZZ_CHECK(s.receivedSignLevel != 0);
    FUZZ_CHECK(s.maxBaseMapLevel >= 16 && s.maxBaseMapLevel <= 28);
    FUZZ_CHECK(g_cacheRoot.GetLength() <= MAX_PATH);

    const PluginSettings first = g_settings;
    // A byte the code page cannot decode reads as U+FFFD, which the save
    // (rewriting the whole file) writes back as "?", as Windows does.
    CString firstRoot = g_cacheRoot;
    firstRoot.Replace(L'\xFFFD', L'?');
    ClearSettings();
    LoadSettings();
    FUZZ_CHECK(memcmp(&first, &g_settings, sizeof first) == 0);
    CString secondRoot = g_cacheRoot;
    secondRoot.Replace(L'\xFFFD', L'?');
    FUZZ_CHECK(firstRoot == secondRoot);
    return 0;
}
