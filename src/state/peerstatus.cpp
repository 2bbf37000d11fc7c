#include "state/peerstatus.h"

#include <cstdarg>
#include <string>

#include "afxmsgbox.h"
#include "base/baselog.h"
#include "gcutprint.h"
#include "state/modulestate.h"
#include "windows.h"

namespace {

// Log lines can be written from nested message handlers: one writer at a time.
HANDLE g_logGuard = nullptr;
// The log file's path in UTF-8, as the line writer takes it; empty when the
// module's folder is not known.
char g_logPath[1024];

// The text in the ANSI code page.
std::string AnsiText(const wchar_t* text)
{
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? (size_t)n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    if (!out.empty()) out.pop_back();
    return out;
}

CString StatusText(int status)
{
    switch (status) {
    case -1: return L"没有找到拓岚地图程序窗口";
    case -2: return L"向拓岚地图程序注册失败";
    case -3: return L"拓岚地图程序版本太低";
    case -4: return L"参数非法";
    case -6: return L"消息处理失败";
    default: {
        CString text;
        text.Format(L"VelkMsgErrRet:%d", status);
        return text;
    }
    }
}

}  // namespace

void ReportVelkMsgError(int status, CString tag, bool showInBox)
{
    if (status >= 0) return;
    CString text = StatusText(status);
    if (showInBox) AfxMessageBox(tag + text, MB_OK, 0);
    else gcutPrintf(L"%s\n%s", tag.GetString(), text.GetString());
}

CString ReportVelkJobResult(int result)
{
    if (result >= 0) return CString();
    switch (result) {
    case -106: return L"\n地图扭曲太大！请纠正位置或重新设置平面坐标系。";
    case -105: return L"\n创建地图失败！";
    case -104: return L"\n地图像素太高！";
    case -103: return L"\n地图尺寸太大！";
    case -102: return CString();
    case -101: return L"\n坐标系设置错误(或位置偏差过大)！";
    case -5: return L"\n内存异常！";
    case -4: return L"\n参数错误！";
    case -3: return L"\n坐标系错误！";
    default: return L"\n其他错误！";
    }
}

void InitDebugLog()
{
    if (!g_logGuard) g_logGuard = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    g_logPath[0] = 0;
    // The module's folder; the folder utility of the host helpers takes this over.
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_hModuleInstance, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    CString path(module);
    path = path.Left(path.ReverseFind(L'\\')) + L"\\DebugLog.txt";
    if (!WideCharToMultiByte(CP_UTF8, 0, path, -1, g_logPath, sizeof g_logPath, nullptr, nullptr)) g_logPath[0] = 0;
}

void CloseDebugLog()
{
    if (g_logGuard) CloseHandle(g_logGuard);
    g_logGuard = nullptr;
}

void WriteDebugLog(const char* format, ...)
{
    if (!g_logGuard || !g_logPath[0]) return;
    WaitForSingleObject(g_logGuard, INFINITE);
    va_list args;
    va_start(args, format);
    WriteLogLineV(g_logPath, format, args);
    va_end(args);
    SetEvent(g_logGuard);
}

void WriteDebugLogText(CString text)
{
    if (!g_logGuard || !g_logPath[0]) return;
    WaitForSingleObject(g_logGuard, INFINITE);
    WriteLogLine(g_logPath, "%s", AnsiText(text).c_str());
    SetEvent(g_logGuard);
}
