// CWnd, CDialog, resource handles and extension modules over the stand-in
// window manager.
#include "afxwin.h"

#include <algorithm>
#include <deque>

#include "dialog_control.h"
#include "standin_control.h"
#include "window_control.h"

namespace {

std::map<HWND, CWnd*> g_wndMap;
CWnd* g_creating = nullptr;
HINSTANCE g_resource = nullptr;
std::vector<CDynLinkLibrary*> g_dynLinkLibraries;

struct Template {
    std::wstring className = L"#32770";
    std::wstring caption;
};
std::map<UINT, Template> g_templates;
std::map<UINT, std::deque<standin::DialogScript>> g_dialogAnswers;
std::vector<UINT> g_dialogsShown;
std::map<HWND, std::map<int, standin::DialogControl>> g_controls;

standin::ResetHook g_reset([] {
    g_wndMap.clear();
    g_creating = nullptr;
    g_resource = nullptr;
    g_templates.clear();
    g_dialogAnswers.clear();
    g_dialogsShown.clear();
    g_controls.clear();
});

const wchar_t kDefaultClass[] = L"AfxWnd";

}  // namespace

HINSTANCE AfxGetInstanceHandle() { return (HINSTANCE)GetModuleHandleW(nullptr); }
HINSTANCE AfxGetResourceHandle() { return g_resource ? g_resource : AfxGetInstanceHandle(); }
void AfxSetResourceHandle(HINSTANCE resource) { g_resource = resource; }

HINSTANCE AfxFindResourceHandle(LPCWSTR, LPCWSTR)
{
    // Resources are not looked up by name here: the current handle is the
    // first of the chain, and the chain always has it.
    return AfxGetResourceHandle();
}

BOOL AfxRegisterClass(WNDCLASSW* wc)
{
    WNDCLASSW existing;
    if (GetClassInfoW(wc->hInstance, wc->lpszClassName, &existing)) return TRUE;
    return RegisterClassW(wc) != 0;
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module)
{
    if (state.bInitialized) return TRUE;
    state.hModule = module;
    state.hResource = module;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL)
{
    auto libs = g_dynLinkLibraries;
    for (CDynLinkLibrary* lib : libs)
        if (lib->m_hModule == state.hModule) delete lib;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state) : m_hModule(state.hModule), m_hResource(state.hResource)
{
    g_dynLinkLibraries.push_back(this);
}

CDynLinkLibrary::~CDynLinkLibrary()
{
    g_dynLinkLibraries.erase(std::remove(g_dynLinkLibraries.begin(), g_dynLinkLibraries.end(), this),
                             g_dynLinkLibraries.end());
}

// Every CWnd window's procedure: hands the message to the object's virtual
// WindowProc and, after the window's last message, detaches the object.
LRESULT AfxWndProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* w = CWnd::FromHandlePermanent(h);
    if (!w) return DefWindowProcW(h, msg, wParam, lParam);
    MSG saved = w->m_current;
    w->m_current = MSG{h, msg, wParam, lParam};
    LRESULT r = w->WindowProc(msg, wParam, lParam);
    // A handler may have destroyed and deleted the object.
    if (CWnd::FromHandlePermanent(h) != w) return r;
    w->m_current = saved;
    if (msg == WM_NCDESTROY) {
        g_wndMap.erase(h);
        w->m_hWnd = nullptr;
        w->PostNcDestroy();
    }
    return r;
}

// Attaches the object being created before its window's first message.
LRESULT AfxCbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_creating) {
        CWnd* w = g_creating;
        g_creating = nullptr;
        HWND h = (HWND)wParam;
        w->m_hWnd = h;
        g_wndMap[h] = w;
        w->m_superProc = (WNDPROC)SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)&AfxWndProc);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

CWnd::~CWnd()
{
    // Only a window this object is attached to goes with it.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
        ::DestroyWindow(m_hWnd);
        g_wndMap.erase(m_hWnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    auto it = g_wndMap.find(hwnd);
    return it == g_wndMap.end() ? nullptr : it->second;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param)
{
    HHOOK hook = SetWindowsHookExW(WH_CBT, &AfxCbtHook, nullptr, GetCurrentThreadId());
    g_creating = this;
    HWND h = CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                             (HMENU)(UINT_PTR)id, AfxGetInstanceHandle(), param);
    g_creating = nullptr;
    UnhookWindowsHookEx(hook);
    return h != nullptr;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  LPVOID param)
{
    if (!className) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.lpszClassName = kDefaultClass;
        AfxRegisterClass(&wc);
        className = kDefaultClass;
    }
    return CreateEx(0, className, title, style, rect, parent, id, param);
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
BOOL CWnd::BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : HWND_TOP, x, y, cx, cy, flags);
}

void CWnd::SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }

void CWnd::GetWindowText(CString& text) const
{
    wchar_t buf[1024];
    ::GetWindowTextW(m_hWnd, buf, 1024);
    text = buf;
}

CWnd* CWnd::GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapseMs, proc); }
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return ::PostMessageW(m_hWnd, msg, wParam, lParam); }
LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(m_hWnd, msg, wParam, lParam); }

BOOL CWnd::UpdateData(BOOL save)
{
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return TRUE;
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return m_superProc ? CallWindowProcW(m_superProc, m_hWnd, msg, wParam, lParam)
                       : ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return OnCreate((LPCREATESTRUCT)lParam);
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_TIMER: OnTimer((UINT_PTR)wParam); return 0;
    case WM_SHOWWINDOW: OnShowWindow((BOOL)wParam, (UINT)lParam); return 0;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) return 0;
        break;
    default: break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

int CWnd::OnCreate(LPCREATESTRUCT) { return (int)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

namespace {
standin::DialogControl& Control(CDataExchange* dx, int id) { return standin::DialogItem(dx->m_pDlgWnd->m_hWnd, id); }
}  // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) value = c.text;
    else c.text = value.str();
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) value = (int)wcstol(c.text.c_str(), nullptr, 10);
    else c.text = std::to_wstring(value);
}

void DDX_Text(CDataExchange* dx, int id, double& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) {
        value = wcstod(c.text.c_str(), nullptr);
    } else {
        wchar_t buf[64];
        swprintf(buf, 64, L"%.15g", value);
        c.text = buf;
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) value = c.check;
    else c.check = value;
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) value = c.selection;
    else c.selection = value;
}

INT_PTR CDialog::DoModal()
{
    m_modal = true;
    m_result = -1;
    if (!Create(m_nIDHelp, m_pParentWnd)) return -1;
    g_dialogsShown.push_back(m_nIDHelp);
    standin::RunModalLoop();
    int answer = IDCANCEL;
    auto& queue = g_dialogAnswers[m_nIDHelp];
    if (!queue.empty()) {
        auto script = std::move(queue.front());
        queue.pop_front();
        answer = script(m_hWnd);
    }
    m_result = 0;
    if (answer == IDOK) OnOK();
    else if (answer == IDCANCEL) OnCancel();
    else EndDialog(answer);
    // A dialog whose OnOK refused stays open; headless, it ends cancelled.
    if (m_result == 0) OnCancel();
    DestroyWindow();
    m_modal = false;
    return m_result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDHelp = templateId;
    m_pParentWnd = parent;
    Template t;
    auto it = g_templates.find(templateId);
    if (it != g_templates.end()) t = it->second;
    RECT rc{0, 0, 1, 1};
    if (!CreateEx(0, t.className.c_str(), t.caption.c_str(), WS_POPUP, rc, parent, 0)) return FALSE;
    SendMessage(WM_INITDIALOG, 0, 0);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    if (!m_modal) ShowWindow(SW_HIDE);
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) { OnOK(); return 0; }
        if (LOWORD(wParam) == IDCANCEL) { OnCancel(); return 0; }
        break;
    case WM_NCDESTROY: g_controls.erase(m_hWnd); break;
    default: break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

CString CDialog::GetDlgItemText(int id) const { return CString(standin::DialogItem(m_hWnd, id).text); }
void CDialog::SetDlgItemText(int id, LPCWSTR text) { standin::DialogItem(m_hWnd, id).text = text ? text : L""; }
UINT CDialog::IsDlgButtonChecked(int id) const { return (UINT)standin::DialogItem(m_hWnd, id).check; }
void CDialog::CheckDlgButton(int id, UINT check) { standin::DialogItem(m_hWnd, id).check = (int)check; }

namespace standin {

DialogControl& DialogItem(HWND dialog, int id) { return g_controls[dialog][id]; }

void SetDialogTemplate(UINT templateId, const std::wstring& className, const std::wstring& caption)
{
    g_templates[templateId] = Template{className, caption};
}

void QueueDialogAnswer(UINT templateId, DialogScript script) { g_dialogAnswers[templateId].push_back(std::move(script)); }
const std::vector<UINT>& DialogsShown() { return g_dialogsShown; }
size_t DynLinkLibraryCount() { return g_dynLinkLibraries.size(); }

}  // namespace standin
