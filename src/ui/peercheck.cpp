#include "ui/peercheck.h"

#include <cstring>

#include "afxmsgbox.h"
#include "peer/peerrequests.h"
#include "state/modulestate.h"
#include "state/peerstatus.h"
#include "state/settings.h"
#include "ui/hintdialogs.h"

int32_t g_installedPeerVersion = 0;
bool g_bPeerTooOldHintArmed = true;
bool g_bUpdateNoticeArmed = true;
const wchar_t* const kPeerDownloadPage = L"https://download.example.com/velk/";
const wchar_t* const kPluginUpdatePage = L"https://download.example.com/velk/plugin/";

namespace {

const wchar_t kPeerClass[] = L"velkWin";
const wchar_t kInstallKey[] = L"Software\\Brisan Software\\velk\\MainFrm";
const int32_t kNewEnough = 832;
const int32_t kOldestUsable = 772;

HWND PeerWindow() { return FindWindowW(kPeerClass, nullptr); }

void OpenPage(const wchar_t* page) { ShellExecuteW((HWND)g_hModuleInstance, L"open", page, nullptr, nullptr, SW_SHOW); }

// Reads the installation values; false when the key does not open. Values
// of the wrong type or size leave what they would set as it was. The key
// is opened for reading: the plug-in never writes it.
bool ReadInstallation(CString* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kInstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    BYTE buffer[1024];
    DWORD type = 0, size = sizeof buffer;
    memset(buffer, 0, sizeof buffer);
    if (RegQueryValueExW(key, L"LastVersion", nullptr, &type, buffer, &size) == ERROR_SUCCESS && type == REG_DWORD &&
        size == 4) {
        int32_t version;
        memcpy(&version, buffer, 4);
        g_installedPeerVersion = version;
    }
    if (path) {
        memset(buffer, 0, sizeof buffer);
        type = 0;
        size = sizeof buffer;
        // At most 259 characters and the NUL; the zeroed buffer ends the text.
        if (RegQueryValueExW(key, L"LastRunPath", nullptr, &type, buffer, &size) == ERROR_SUCCESS && type == REG_SZ &&
            size < MAX_PATH * sizeof(WCHAR)) {
            WCHAR text[MAX_PATH + 1] = {};
            memcpy(text, buffer, size);
            *path = text;
        }
    }
    RegCloseKey(key);
    return true;
}

void Say(bool report, const wchar_t* text)
{
    if (report) AfxMessageBox(text, MB_OK);
}

}  // namespace

bool CheckVelkStatus(bool report)
{
    if (!PeerWindow()) {
        Say(report, L"您尚未打开拓岚互动地图，无法使用插件功能！");
        return false;
    }
    if (g_installedPeerVersion < kNewEnough && !ReadInstallation(nullptr)) return false;
    if (g_installedPeerVersion < kNewEnough) {
        if (g_installedPeerVersion < kOldestUsable) {
            Say(report, L"您安装拓岚地图版本太低，请到官网下载！");
            if (report) OpenPage(kPeerDownloadPage);
            return false;
        }
        if (report && PeerTooOldHint() == 0) return false;
    }
    int status = PeerApiGetStatusInfo(&g_peerApi);
    if (report) ReportVelkMsgError(status, L"GetStatusInfoErr:", true);
    if (status <= 0) return false;
    if (!(status & 0x100)) {
        Say(report, L"拓岚正在处理事务，本消息处理失败！");
        return false;
    }
    return true;
}

int StartVelkProgram()
{
    if (PeerWindow()) return CheckVelkStatus() ? 1 : 0;
    CString path;
    if (!ReadInstallation(&path)) {
        AfxMessageBox(L"您尚未安装拓岚地图，请到官网下载！", MB_OK);
        OpenPage(kPeerDownloadPage);
        return -1;
    }
    if (g_installedPeerVersion < kOldestUsable) {
        AfxMessageBox(L"您安装拓岚地图版本太低，请到官网下载！", MB_OK);
        OpenPage(kPeerDownloadPage);
        return -1;
    }
    if (g_installedPeerVersion < kNewEnough) {
        if (PeerTooOldHint() == 0) return -1;
        if (AfxMessageBox(L"是否打开拓岚程序？", MB_YESNO) == IDYES) StartPeerProgram(path, nullptr);
        return 0;
    }
    if (!g_settings.startPeerPromptOff) {
        CDlgHint hint(nullptr);
        hint.m_strTitle = L"提示";
        hint.m_strText = L"是否打开拓岚程序？";
        hint.m_strCheckText = L"不再提示";
        if (hint.DoModal() == IDOK) {
            StartPeerProgram(path, nullptr);
        } else if (hint.m_bNoMore) {
            g_settings.startPeerPromptOff = 1;
            SaveSettings();
        }
    }
    return 0;
}

BOOL ActivateVelkWindow()
{
    HWND peer = PeerWindow();
    if (!peer) return 0;
    if (IsIconic(peer)) ShowWindow(peer, SW_SHOWNORMAL);
    return BringWindowToTop(peer);
}

void StartPeerProgram(const CString& path, HWND owner)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = path;
    info.nShow = SW_SHOW;
    // The program's window comes later; nothing waits for it.
    ShellExecuteExW(&info);
}

int ShowHintOnce(uint8_t& hintFlag, const CString& text, const CString& page)
{
    if (!hintFlag) return 1;
    CDlgHint hint(nullptr);
    hint.m_strText = text;
    if (hint.DoModal() == IDOK) {
        OpenPage(page);
        return 0;
    }
    if (hint.m_bNoMore) {
        hintFlag = 0;
        SaveSettings();
    }
    return 1;
}

int PeerTooOldHint()
{
    if (!g_bPeerTooOldHintArmed) return 1;
    g_bPeerTooOldHintArmed = false;
    // A hint switched off comes back once for a version step not warned yet.
    if (g_settings.peerVersionWarned < kNewEnough) {
        g_settings.peerTooOldHint = 1;
        g_settings.peerVersionWarned = kNewEnough;
        SaveSettings();
    }
    return ShowHintOnce(g_settings.peerTooOldHint, L"您安装的拓岚版本太低，请到官网重新下载！", kPeerDownloadPage);
}

int UpdateNotice(const CString& text, int32_t version)
{
    if (!g_bUpdateNoticeArmed) return 1;
    g_bUpdateNoticeArmed = false;
    CString message;
    message.Format(L"系统发现插件有更新(v%d.%d.%d)，请到官网下载！", version / 100, version % 100 / 10, version % 10);
    if (!text.IsEmpty()) message += L"\r\n更新内容：\r\n" + text;
    if (version > g_settings.lastAnnouncedVersion) {
        // An announcement switched off earlier comes back for a newer version.
        if (version > g_pluginVersion) g_settings.updateHint = 1;
        g_settings.lastAnnouncedVersion = version;
        SaveSettings();
    }
    return ShowHintOnce(g_settings.updateHint, message, kPluginUpdatePage);
}

void OnPluginVersionAnswer(const uint8_t* payload, uint32_t size)
{
    if (!payload || size < 408) return;
    int32_t version;
    memcpy(&version, payload + 4, 4);
    if (version > g_pluginVersion) UpdateNotice(CString(), version);
}
