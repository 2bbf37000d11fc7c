// Special folders of the stand-in machine.
#include <cstdlib>
#include <cwchar>
#include <deque>
#include <map>

#include "dialog_control.h"
#include "standin_control.h"

#include "machine_control.h"
#include "windows.h"

// An item list here is just the folder's path.
struct _ITEMIDLIST {
    WCHAR path[MAX_PATH];
};

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* result)
{
    if (!result) return E_INVALIDARG;
    *result = nullptr;
    const wchar_t* path = folder == CSIDL_LOCAL_APPDATA ? standin::kLocalAppDataFolder
                          : folder == CSIDL_APPDATA     ? standin::kAppDataFolder
                                                        : nullptr;
    if (!path) return E_INVALIDARG;
    LPITEMIDLIST list = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(sizeof(ITEMIDLIST)));
    if (!list) return E_FAIL;
    wcsncpy(list->path, path, MAX_PATH - 1);
    list->path[MAX_PATH - 1] = 0;
    *result = list;
    return S_OK;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path)
{
    // An item without a path is a virtual one of the shell.
    if (!list || !path || !list->path[0]) return FALSE;
    wcscpy(path, list->path);
    return TRUE;
}

void ILFree(LPITEMIDLIST list) { CoTaskMemFree(list); }

LPVOID CoTaskMemAlloc(SIZE_T size) { return malloc(size); }

void CoTaskMemFree(LPVOID block) { free(block); }

namespace {

class TaskAllocator : public IMalloc {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return refs_ > 1 ? --refs_ : 1; }
    void* Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
    void Free(void* block) override { CoTaskMemFree(block); }

private:
    ULONG refs_ = 1;
};
TaskAllocator g_allocator;

const int kTree = 14145, kStatus = 14146, kLabel = 14147;
const int IDOK = 1, IDCANCEL = 2;

struct Browser {
    LPBROWSEINFOW info;
    std::wstring selected{};  // empty: a virtual item
    bool ended = false;
    bool accepted = false;
};
std::map<HWND, Browser> g_browsers;
std::deque<standin::FolderBrowseScript> g_browseScripts;

void ResetBrowsers()
{
    g_browsers.clear();
    g_browseScripts.clear();
}
standin::ResetHook g_resetBrowsers(&ResetBrowsers);

LPITEMIDLIST NewItemList(const std::wstring& path)
{
    LPITEMIDLIST list = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(sizeof(ITEMIDLIST)));
    if (!list) return nullptr;
    wcsncpy(list->path, path.c_str(), MAX_PATH - 1);
    list->path[MAX_PATH - 1] = 0;
    return list;
}

// The tree's selection moved: the callback hears of it.
void Select(HWND hwnd, const std::wstring& path)
{
    auto it = g_browsers.find(hwnd);
    if (it == g_browsers.end()) return;
    it->second.selected = path;
    standin::DialogItem(hwnd, kTree).text = path;
    LPITEMIDLIST list = NewItemList(path);
    if (it->second.info->lpfn) it->second.info->lpfn(hwnd, BFFM_SELCHANGED, (LPARAM)list, it->second.info->lParam);
    ILFree(list);
}

void End(HWND hwnd, bool accepted)
{
    auto it = g_browsers.find(hwnd);
    if (it == g_browsers.end() || it->second.ended) return;
    it->second.ended = true;
    it->second.accepted = accepted;
}

LRESULT BrowserProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case BFFM_SETSELECTIONW:
        // wParam TRUE: lParam is a path; the tree selects it when it exists.
        if (wParam && lParam) {
            const DWORD a = GetFileAttributesW((LPCWSTR)lParam);
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) Select(hwnd, (LPCWSTR)lParam);
        }
        return 0;
    case BFFM_ENABLEOK: standin::DialogItem(hwnd, IDOK).enabled = lParam != 0; return 0;
    case BFFM_SETSTATUSTEXTW: standin::DialogItem(hwnd, kStatus).text = lParam ? (LPCWSTR)lParam : L""; return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return 0;
        if (LOWORD(wParam) == IDOK && standin::DialogItem(hwnd, IDOK).enabled) End(hwnd, true);
        if (LOWORD(wParam) == IDCANCEL) End(hwnd, false);
        return 0;
    case WM_CLOSE: End(hwnd, false); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

HRESULT SHGetMalloc(LPMALLOC* malloc)
{
    if (!malloc) return E_INVALIDARG;
    g_allocator.AddRef();
    *malloc = &g_allocator;
    return S_OK;
}

LPITEMIDLIST SHBrowseForFolderW(LPBROWSEINFOW info)
{
    if (!info) return nullptr;
    static const wchar_t kClass[] = L"VelkStandinFolderBrowser";
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, kClass, &wc)) {
        wc.lpfnWndProc = &BrowserProc;
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
    }
    HWND hwnd = CreateWindowExW(0, kClass, L"浏览文件夹", WS_POPUP | WS_VISIBLE, 0, 0, 320, 400, info->hwndOwner,
                                nullptr, nullptr, nullptr);
    if (!hwnd) return nullptr;
    g_browsers[hwnd] = Browser{info};
    for (int id : {kTree, kStatus, kLabel, IDOK, IDCANCEL}) standin::DialogItem(hwnd, id).kind = 0x0080;
    standin::DialogItem(hwnd, kStatus).kind = standin::DialogItem(hwnd, kLabel).kind = 0x0082;
    standin::DialogItem(hwnd, kTree).kind = 0;
    standin::DialogItem(hwnd, kLabel).text = info->lpszTitle ? info->lpszTitle : L"";
    if (info->lpfn) info->lpfn(hwnd, BFFM_INITIALIZED, 0, info->lParam);
    if (!g_browseScripts.empty()) {
        standin::FolderBrowseScript script = std::move(g_browseScripts.front());
        g_browseScripts.pop_front();
        script(hwnd);
    }
    const Browser b = g_browsers[hwnd];
    g_browsers.erase(hwnd);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    // A window that subclassed the browser has let it go by now.
    if (!b.accepted) return nullptr;
    if (info->pszDisplayName) {
        const size_t slash = b.selected.find_last_of(L"\\/");
        wcsncpy(info->pszDisplayName, b.selected.substr(slash == std::wstring::npos ? 0 : slash + 1).c_str(),
                MAX_PATH - 1);
        info->pszDisplayName[MAX_PATH - 1] = 0;
    }
    return NewItemList(b.selected);
}

namespace standin {

void QueueFolderBrowse(FolderBrowseScript script) { g_browseScripts.push_back(std::move(script)); }
void SelectBrowserFolder(HWND browser, const std::wstring& path) { Select(browser, path); }
bool FolderBrowserEnded(HWND browser)
{
    auto it = g_browsers.find(browser);
    return it == g_browsers.end() || it->second.ended;
}

}  // namespace standin
