// ShellExecute stand-in: records every start; registered launchers stand in
// for programs.
#include <cwctype>
#include <filesystem>
#include <map>

#include "standin_control.h"
#include "text_internal.h"
#include "window_control.h"
#include "windows.h"

namespace {

std::vector<standin::ShellExecuteRecord> g_records;
std::map<std::wstring, standin::Launcher> g_launchers;

standin::ResetHook g_reset([] {
    g_records.clear();
    g_launchers.clear();
});

std::wstring Lower(const std::wstring& s)
{
    std::wstring out = s;
    for (auto& c : out) c = (wchar_t)towlower((wint_t)c);
    return out;
}

std::wstring Text(LPCWSTR s) { return s ? s : L""; }

// True when started: a registered launcher that agrees, a web address, or an
// existing file or folder (opened by its associated program).
bool Start(const std::wstring& verb, const std::wstring& file, const std::wstring& params,
           const std::wstring& dir, int show)
{
    g_records.push_back({verb, file, params, dir, show});
    auto it = g_launchers.find(Lower(file));
    if (it != g_launchers.end()) return it->second(params);
    if (Lower(file).rfind(L"http", 0) == 0) return true;
    std::error_code ec;
    return !file.empty() && std::filesystem::exists(standin::NativePath(file), ec);
}

HINSTANCE Result(bool started) { return (HINSTANCE)(INT_PTR)(started ? 42 : ERROR_FILE_NOT_FOUND); }

}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR dir, int show)
{
    return Result(Start(Text(verb), Text(file), Text(params), Text(dir), show));
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR params, LPCSTR dir, int show)
{
    // Narrow texts are in the ANSI code page.
    auto wide = [](LPCSTR s) {
        if (!s) return std::wstring();
        int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
        std::wstring w(n > 0 ? (size_t)n : 0, L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
        if (!w.empty()) w.pop_back();
        return w;
    };
    return Result(Start(wide(verb), wide(file), wide(params), wide(dir), show));
}

BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info)
{
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW)) { SetLastError(ERROR_INVALID_PARAMETER); return FALSE; }
    bool started = Start(Text(info->lpVerb), Text(info->lpFile), Text(info->lpParameters),
                         Text(info->lpDirectory), info->nShow);
    info->hInstApp = Result(started);
    info->hProcess = nullptr;
    if (!started) SetLastError(ERROR_FILE_NOT_FOUND);
    return started ? TRUE : FALSE;
}

namespace standin {
const std::vector<ShellExecuteRecord>& ShellExecutes() { return g_records; }
void RegisterLauncher(const std::wstring& programPath, Launcher launcher) { g_launchers[Lower(programPath)] = std::move(launcher); }
}  // namespace standin
