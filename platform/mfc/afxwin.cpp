// CWnd, CDialog, resource handles and extension modules over the stand-in
// window manager.
#include "afxwin.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <memory>

#include "commctrl.h"

#include "dialog_control.h"
#include "standin_control.h"
#include "window_control.h"

namespace {

std::map<HWND, CWnd*> g_wndMap;
CWnd* g_creating = nullptr;
HINSTANCE g_resource = nullptr;
std::vector<CDynLinkLibrary*> g_dynLinkLibraries;
std::vector<std::wstring> g_misuses;

struct Template {
    std::wstring className = L"#32770";
    std::wstring caption;
    struct Item {
        int id;
        std::wstring text;
        WORD kind;   // class ordinal, 0 for a class given by name
        DWORD style;
    };
    std::vector<Item> items{};
};

// Reads a DLGTEMPLATEEX: its class, caption and each item's id and text.
// A template that breaks its own layout gives what was read before.
class TemplateReader {
public:
    TemplateReader(const BYTE* p, DWORD n) : p_(p), n_(p ? n : 0) {}
    bool Word(WORD& v)
    {
        if (at_ + 2 > n_) return false;
        v = (WORD)(p_[at_] | (p_[at_ + 1] << 8));
        at_ += 2;
        return true;
    }
    bool Skip(DWORD bytes)
    {
        if (bytes > n_ - at_) return false;
        at_ += bytes;
        return true;
    }
    bool Dword(DWORD& v)
    {
        WORD lo, hi;
        if (!Word(lo) || !Word(hi)) return false;
        v = lo | ((DWORD)hi << 16);
        return true;
    }
    // A string, an ordinal (0xFFFF then a WORD) or nothing (0).
    bool SzOrOrd(std::wstring& text, WORD* ordinal = nullptr)
    {
        text.clear();
        WORD w;
        if (!Word(w)) return false;
        if (w == 0xFFFF) {
            if (!Word(w)) return false;
            if (ordinal) *ordinal = w;
            return true;
        }
        while (w) {
            text += (wchar_t)w;
            if (!Word(w)) return false;
        }
        return true;
    }
    bool Align4() { return Skip((4 - at_ % 4) % 4); }

private:
    const BYTE* p_;
    DWORD n_;
    DWORD at_ = 0;
};

void ParseTemplate(const BYTE* bytes, DWORD size, Template& t)
{
    TemplateReader r(bytes, size);
    WORD version, signature, count;
    DWORD style;
    std::wstring menu, cls, caption;
    if (!r.Word(version) || !r.Word(signature) || version != 1 || signature != 0xFFFF) return;
    if (!r.Skip(8) || !r.Dword(style) || !r.Word(count) || !r.Skip(8)) return;
    if (!r.SzOrOrd(menu) || !r.SzOrOrd(cls) || !r.SzOrOrd(caption)) return;
    if (!cls.empty()) t.className = cls;
    t.caption = caption;
    const DWORD DS_SETFONT_ = 0x40;
    std::wstring face;
    if ((style & DS_SETFONT_) && (!r.Skip(6) || !r.SzOrOrd(face))) return;
    for (WORD i = 0; i < count; ++i) {
        DWORD id, itemStyle;
        WORD extra, kind = 0;
        std::wstring itemClass, title;
        if (!r.Align4() || !r.Skip(8) || !r.Dword(itemStyle) || !r.Skip(8) || !r.Dword(id) ||
            !r.SzOrOrd(itemClass, &kind) || !r.SzOrOrd(title) || !r.Word(extra) || !r.Skip(extra))
            return;
        t.items.push_back({(int)(int16_t)id, title, kind, itemStyle});
    }
}
std::map<UINT, Template> g_templates;
std::map<UINT, std::deque<standin::DialogScript>> g_dialogAnswers;
std::vector<UINT> g_dialogsShown;
std::map<HWND, std::map<int, standin::DialogControl>> g_controls;
std::map<HWND, int> g_focus;
// The objects GetDlgItem hands out, until their dialog goes.
std::map<std::pair<HWND, int>, std::unique_ptr<CWnd>> g_dlgItems;

void ForgetDialog(HWND dialog)
{
    g_controls.erase(dialog);
    g_focus.erase(dialog);
    for (auto it = g_dlgItems.begin(); it != g_dlgItems.end();)
        it = it->first.first == dialog ? g_dlgItems.erase(it) : std::next(it);
}

const WORD kEditClass = 0x0081;

// A control's new text; an edit box tells its dialog when the text changed.
void SetItemText(HWND dialog, int id, const std::wstring& text)
{
    standin::DialogControl& c = g_controls[dialog][id];
    if (c.text == text) return;
    c.text = text;
    if (c.kind == kEditClass) SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), 0);
}

standin::ResetHook g_reset([] {
    g_wndMap.clear();
    g_creating = nullptr;
    g_resource = nullptr;
    g_templates.clear();
    g_dialogAnswers.clear();
    g_dialogsShown.clear();
    g_controls.clear();
    g_focus.clear();
    g_dlgItems.clear();
    g_misuses.clear();
});

const wchar_t kDefaultClass[] = L"AfxWnd";

}  // namespace

HINSTANCE AfxGetInstanceHandle() { return (HINSTANCE)GetModuleHandleW(nullptr); }
HINSTANCE AfxGetResourceHandle() { return g_resource ? g_resource : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE resource)
{
    // MFC asserts on a null handle; the resources then come from nowhere.
    if (!resource) g_misuses.push_back(L"AfxSetResourceHandle(NULL)");
    g_resource = resource;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type)
{
    // The current resource handle first, then each extension module.
    HINSTANCE current = AfxGetResourceHandle();
    if (FindResourceW((HMODULE)current, name, type)) return current;
    for (CDynLinkLibrary* lib : g_dynLinkLibraries)
        if (FindResourceW(lib->m_hResource, name, type)) return (HINSTANCE)lib->m_hResource;
    return current;
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
    w->m_current = MSG{h, msg, wParam, lParam, 0, POINT{0, 0}};
    LRESULT r = w->WindowProc(msg, wParam, lParam);
    // A handler may have destroyed and deleted the object.
    if (CWnd::FromHandlePermanent(h) != w) return r;
    w->m_current = saved;
    if (msg == WM_NCDESTROY) {
        ForgetDialog(h);
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
    CREATESTRUCT cs{param,          AfxGetInstanceHandle(), (HMENU)(UINT_PTR)id, parent ? parent->m_hWnd : nullptr,
                    rect.bottom - rect.top, rect.right - rect.left, rect.top, rect.left, (LONG)style, title,
                    className, exStyle};
    if (!PreCreateWindow(cs)) return FALSE;
    HHOOK hook = SetWindowsHookExW(WH_CBT, &AfxCbtHook, nullptr, GetCurrentThreadId());
    g_creating = this;
    HWND h = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, (DWORD)cs.style, cs.x, cs.y, cs.cx, cs.cy,
                             cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
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
BOOL CWnd::ShowWindow(int command)
{
    if (!m_itemDialog) return ::ShowWindow(m_hWnd, command);
    standin::DialogControl& c = standin::DialogItem(m_itemDialog, m_itemId);
    const BOOL was = c.visible;
    c.visible = command != SW_HIDE;
    return was;
}

BOOL CWnd::IsWindowVisible() const
{
    if (!m_itemDialog) return ::IsWindowVisible(m_hWnd);
    return standin::DialogItem(m_itemDialog, m_itemId).visible && ::IsWindowVisible(m_itemDialog);
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    if (!m_itemDialog) return FALSE;
    standin::DialogControl& c = standin::DialogItem(m_itemDialog, m_itemId);
    const BOOL wasDisabled = !c.enabled;
    c.enabled = enable != FALSE;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return !m_itemDialog || standin::DialogItem(m_itemDialog, m_itemId).enabled; }

CWnd* CWnd::SetFocus()
{
    if (!m_itemDialog) return nullptr;
    const int previous = standin::DialogFocus(m_itemDialog);
    g_focus[m_itemDialog] = m_itemId;
    return previous ? FromHandlePermanent(m_itemDialog)->GetDlgItem(previous) : nullptr;
}

int CWnd::GetDlgCtrlID() const { return m_itemId; }

CWnd* CWnd::GetDlgItem(int id) const
{
    if (!m_hWnd) return nullptr;
    std::unique_ptr<CWnd>& item = g_dlgItems[{m_hWnd, id}];
    if (!item) {
        item.reset(new CWnd());
        item->m_itemDialog = m_hWnd;
        item->m_itemId = id;
    }
    return item.get();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    // A control whose dialog is gone may serve the next one.
    if (!parent || !parent->m_hWnd || m_hWnd || (m_itemDialog && IsWindow(m_itemDialog))) return FALSE;
    m_itemDialog = parent->m_hWnd;
    m_itemId = (int)id;
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (m_hWnd || !IsWindow(hwnd) || FromHandlePermanent(hwnd)) return FALSE;
    m_hWnd = hwnd;
    g_wndMap[hwnd] = this;
    m_superProc = (WNDPROC)SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)&AfxWndProc);
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND h = m_hWnd;
    if (!h) return nullptr;
    SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)m_superProc);
    m_superProc = nullptr;
    g_wndMap.erase(h);
    m_hWnd = nullptr;
    return h;
}
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

void CWnd::SetWindowText(LPCWSTR text)
{
    if (m_itemDialog) SetItemText(m_itemDialog, m_itemId, text ? text : L"");
    else ::SetWindowTextW(m_hWnd, text);
}

void CWnd::GetWindowText(CString& text) const
{
    if (m_itemDialog) {
        text = standin::DialogItem(m_itemDialog, m_itemId).text;
        return;
    }
    wchar_t buf[1024];
    ::GetWindowTextW(m_hWnd, buf, 1024);
    text = buf;
}

int CWnd::GetWindowText(LPWSTR text, int cap) const
{
    if (!text || cap <= 0) return 0;
    CString whole;
    GetWindowText(whole);
    const int n = std::min(whole.GetLength(), cap - 1);
    wmemcpy(text, whole.GetString(), (size_t)n);
    text[n] = 0;
    return n;
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
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, &result)) return result;
        break;
    }
    default: break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

int CWnd::OnCreate(LPCREATESTRUCT) { return (int)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr); }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};
const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
        if (c == base) return TRUE;
    return FALSE;
}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

namespace {
const AFX_MSGMAP_ENTRY kNoEntries[] = {{0, 0, 0, 0, nullptr, nullptr}};

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT id, UINT code)
{
    for (; map; map = map->pBaseMap)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->nMessage; ++e)
            if (e->nMessage == WM_COMMAND && e->nCode == code && e->nID <= id && id <= e->nLastID) return e;
    return nullptr;
}
}  // namespace

const AFX_MSGMAP CCmdTarget::messageMap = {nullptr, kNoEntries};
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return &messageMap; }

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code, void* extra)
{
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), id, code);
    if (!e) return FALSE;
    if (code == CN_UPDATE_COMMAND_UI) (this->*(e->pfnUI))(static_cast<CCmdUI*>(extra));
    else (this->*(e->pfn))();
    return TRUE;
}

BOOL CCmdTarget::HasCommandHandler(UINT id) const { return FindEntry(GetMessageMap(), id, CN_COMMAND) != nullptr; }

void CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler)
{
    if (!target) return;
    if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this)) return;
    Enable(target->HasCommandHandler(m_nID) || !disableIfNoHandler);
}

namespace {
standin::DialogControl& Control(CDataExchange* dx, int id) { return standin::DialogItem(dx->m_pDlgWnd->m_hWnd, id); }
}  // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) value = c.text;
    else SetItemText(dx->m_pDlgWnd->m_hWnd, id, value.str());
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) {
        // On Windows (32-bit long) a number beyond an int never wraps into
        // range; here it stops at the limit.
        const long long v = wcstoll(c.text.c_str(), nullptr, 10);
        value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v;
    }
    else SetItemText(dx->m_pDlgWnd->m_hWnd, id, std::to_wstring(value));
}

void DDX_Text(CDataExchange* dx, int id, double& value)
{
    auto& c = Control(dx, id);
    if (dx->m_bSaveAndValidate) {
        value = wcstod(c.text.c_str(), nullptr);
    } else {
        wchar_t buf[64];
        swprintf(buf, 64, L"%.15g", value);
        SetItemText(dx->m_pDlgWnd->m_hWnd, id, buf);
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

namespace {
const WORD kButtonClass = 0x0080;

bool IsRadioButton(const standin::DialogControl& c)
{
    const DWORD type = c.style & BS_TYPEMASK;
    return c.kind == kButtonClass && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

// The radio buttons of the group that starts at `first`, up to the next
// control that starts a group. Headless, the walk follows the control ids
// upward where the dialog manager follows the template's order.
std::vector<standin::DialogControl*> RadioGroup(HWND dialog, int first)
{
    std::vector<standin::DialogControl*> group;
    for (int id = first;; ++id) {
        standin::DialogControl* c = standin::FindDialogItem(dialog, id);
        if (!c || !IsRadioButton(*c) || (id != first && (c->style & WS_GROUP))) break;
        group.push_back(c);
    }
    return group;
}
}  // namespace

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    std::vector<standin::DialogControl*> group = RadioGroup(dx->m_pDlgWnd->m_hWnd, id);
    if (dx->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->check) {
                value = (int)i;
                break;
            }
    } else {
        for (size_t i = 0; i < group.size(); ++i) group[i]->check = (int)i == value ? BST_CHECKED : BST_UNCHECKED;
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd || (control.m_itemDialog && IsWindow(control.m_itemDialog))) return;
    control.m_itemDialog = dx->m_pDlgWnd->m_hWnd;
    control.m_itemId = id;
}

INT_PTR CDialog::DoModal()
{
    m_modal = true;
    // A handler may end the dialog from OnInitDialog on.
    m_result = 0;
    if (!Create(m_nIDHelp, m_pParentWnd)) {
        m_modal = false;
        return -1;
    }
    g_dialogsShown.push_back(m_nIDHelp);
    ShowWindow(SW_SHOW);
    standin::RunModalLoop();
    int answer = IDCANCEL;
    auto& queue = g_dialogAnswers[m_nIDHelp];
    if (!queue.empty()) {
        auto script = std::move(queue.front());
        queue.pop_front();
        if (m_result == 0) answer = script(m_hWnd);
    }
    // A dialog that a handler ended while the script ran is over: the
    // script's answer would go to a closed dialog.
    if (m_result == 0) {
        if (answer == IDOK) {
            OnOK();
        } else if (answer == IDCANCEL) {
            OnCancel();
        } else {
            // Any other button is clicked: its handler may end the dialog.
            SendMessage(WM_COMMAND, (WPARAM)(UINT)answer, 0);
            if (m_result == 0 && m_hWnd) EndDialog(answer);
        }
    }
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
    if (it != g_templates.end()) {
        t = it->second;
    } else {
        // The template the resource chain holds, as the dialog manager reads it.
        LPCWSTR name = MAKEINTRESOURCEW(templateId);
        HMODULE module = (HMODULE)AfxFindResourceHandle(name, RT_DIALOG);
        HRSRC res = FindResourceW(module, name, RT_DIALOG);
        if (res) ParseTemplate((const BYTE*)LockResource(LoadResource(module, res)), SizeofResource(module, res), t);
    }
    RECT rc{0, 0, 1, 1};
    if (!CreateEx(0, t.className.c_str(), t.caption.c_str(), WS_POPUP, rc, parent, 0)) return FALSE;
    for (const Template::Item& i : t.items) {
        standin::DialogControl& c = standin::DialogItem(m_hWnd, i.id);
        c.text = i.text;
        c.kind = i.kind;
        c.style = i.style;
        c.visible = (i.style & WS_VISIBLE) != 0;
        c.enabled = (i.style & WS_DISABLED) == 0;
    }
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
    case WM_NCDESTROY: ForgetDialog(m_hWnd); break;
    default: break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

CString CDialog::GetDlgItemText(int id) const { return CString(standin::DialogItem(m_hWnd, id).text); }
void CDialog::SetDlgItemText(int id, LPCWSTR text) { SetItemText(m_hWnd, id, text ? text : L""); }
UINT CDialog::IsDlgButtonChecked(int id) const { return (UINT)standin::DialogItem(m_hWnd, id).check; }
void CDialog::CheckDlgButton(int id, UINT check) { standin::DialogItem(m_hWnd, id).check = (int)check; }

namespace standin {

DialogControl& DialogItem(HWND dialog, int id) { return g_controls[dialog][id]; }

DialogControl* FindDialogItem(HWND dialog, int id)
{
    auto d = g_controls.find(dialog);
    if (d == g_controls.end()) return nullptr;
    auto c = d->second.find(id);
    return c == d->second.end() ? nullptr : &c->second;
}

int DialogFocus(HWND dialog)
{
    auto it = g_focus.find(dialog);
    return it == g_focus.end() ? 0 : it->second;
}

void TypeIntoDialogItem(HWND dialog, int id, const std::wstring& text)
{
    DialogItem(dialog, id).text = text;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), 0);
}

void ClickDialogItem(HWND dialog, int id, bool toggle)
{
    const DialogControl& c = DialogItem(dialog, id);
    if (!c.enabled || !c.visible) return;
    // A clicked button takes the focus first, as under the mouse.
    MoveDialogFocus(dialog, id);
    if (toggle) DialogItem(dialog, id).check ^= 1;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void MoveDialogFocus(HWND dialog, int id)
{
    const int previous = DialogFocus(dialog);
    g_focus[dialog] = id;
    if (previous && previous != id && DialogItem(dialog, previous).kind == kEditClass)
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(previous, EN_KILLFOCUS), 0);
}

LRESULT DoubleClickListCell(HWND dialog, int id, int row, int column)
{
    MoveDialogFocus(dialog, id);
    NMITEMACTIVATE note{};
    note.hdr.idFrom = (UINT_PTR)id;
    note.hdr.code = NM_DBLCLK;
    note.iItem = row;
    note.iSubItem = column;
    return SendMessageW(dialog, WM_NOTIFY, (WPARAM)id, (LPARAM)&note);
}

void SetDialogTemplate(UINT templateId, const std::wstring& className, const std::wstring& caption)
{
    g_templates[templateId] = Template{className, caption};
}

void QueueDialogAnswer(UINT templateId, DialogScript script) { g_dialogAnswers[templateId].push_back(std::move(script)); }
const std::vector<UINT>& DialogsShown() { return g_dialogsShown; }
const std::vector<std::wstring>& MfcMisuses() { return g_misuses; }
size_t DynLinkLibraryCount() { return g_dynLinkLibraries.size(); }

}  // namespace standin
