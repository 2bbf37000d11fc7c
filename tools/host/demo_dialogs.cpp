#include "demo_dialogs.h"

#include <cstring>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "machine_control.h"
#include "shell_demo.h"
#include "standin_control.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace velkhost {

namespace {

void ClickToolBar(UINT id)
{
    for (HWND bar : standin::ToolBars()) standin::ClickToolBarButton(bar, id);
    standin::PumpMessages();
}

std::wstring SettingsValue(const wchar_t* section, const wchar_t* key)
{
    const std::wstring file = std::wstring(standin::kLocalAppDataFolder) + L"\\VelkArx_setting.ini";
    wchar_t value[300] = {};
    GetPrivateProfileStringW(section, key, L"", value, 300, file.c_str());
    return value;
}

}  // namespace

void RunDialogsDemo(velkpeer::StandinPeer* peer, std::ostream& out)
{
    if (!peer) return;
    out << "\nToolbar: 设置属性\n";
    const std::wstring cache = L"C:\\VelkCache";
    CreateDirectoryW(cache.c_str(), nullptr);
    standin::QueueFolderBrowse([&](HWND browser) {
        standin::TypeIntoDialogItem(browser, 14148, cache);
        out << "  folder browser: typed " << Utf8(cache) << "\n";
        standin::ClickDialogItem(browser, IDOK);
    });
    standin::QueueDialogAnswer(8133, [&](HWND d) {
        standin::DialogItem(d, 8135).selection = 3;
        standin::DialogItem(d, 8330).text = L"22";
        standin::ClickDialogItem(d, 8141);
        out << "  options: follow mode 相互跟随, highest level 22, cache folder shown as "
            << Utf8(standin::DialogItem(d, 8139).text) << "\n";
        return IDOK;
    });
    ClickToolBar(32773);
    out << "  the peer's follow value: " << FollowValue(peer->FollowMode()) << "\n";
    out << "  cache root saved: " << Utf8(SettingsValue(L"TempPath", L"MapTemp")) << "\n";

    out << "\nToolbar: 设置关联点\n";
    ClickToolBar(32772);
    HWND coord = FindWindowW(L"#32770", L"设置关联点");
    if (!coord) {
        out << "  the coordinate window did not open\n";
        return;
    }
    std::wstring info = standin::DialogItem(coord, 8334).text;
    for (size_t at = info.find(L"\r\n"); at != std::wstring::npos; at = info.find(L"\r\n")) info.replace(at, 2, L" ");
    out << "  " << Utf8(info) << "\n";
    // A corner of the site plan, and where it lies on the peer's map.
    standin::QueuePoint(OdGePoint3d(500100, 3000050, 0));
    standin::ClickDialogItem(coord, 8105);
    out << "  picked X=" << Utf8(standin::DialogItem(coord, 8112).text)
        << " Y=" << Utf8(standin::DialogItem(coord, 8111).text) << "; window "
        << (IsWindowVisible(coord) ? "shown" : "hidden while the user clicks the map") << "\n";
    // The user clicks the matching place in the peer's map.
    std::vector<uint8_t> place(24);
    const double lat = 27.1183, lng = 114.0010;
    memcpy(place.data(), &lat, 8);
    memcpy(place.data() + 8, &lng, 8);
    peer->SendToClient(20001, place);
    out << "  the peer reports 经度=" << Utf8(standin::DialogItem(coord, 8320).text)
        << " 纬度=" << Utf8(standin::DialogItem(coord, 8114).text) << "; simplified parameters "
        << (standin::DialogItem(coord, 8335).visible ? "offered" : "not offered") << "\n";
    standin::ClickDialogItem(coord, 8106);
    standin::PumpMessages();
    for (auto& r : peer->ShellCodes().RelateRequests())
        out << "  relate point sent in mode " << r.mode << " (" << r.points.size() << " point)\n";
    out << "  coordinate window " << (IsWindow(coord) ? "still open" : "closed") << "\n";
}

}  // namespace velkhost
