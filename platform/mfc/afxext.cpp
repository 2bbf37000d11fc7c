// Control bars, toolbars and image lists over the stand-in window manager.
#include "afxext.h"

#include <algorithm>
#include <map>

#include "standin_control.h"
#include "toolbar_control.h"

struct IMAGELIST {
    int cx, cy;
    UINT flags;
    int count;
};

namespace {

struct Bar {
    std::vector<standin::ToolBarButton> buttons;
    HIMAGELIST images = nullptr;
    SIZE buttonSize{0, 0};
    SIZE imageSize{0, 0};
    DWORD barStyle = 0;
    DWORD controlStyle = 0;
    HWND notify = nullptr;
    HWND miniFrame = nullptr;
    POINT floatPoint{0, 0};
};
std::map<HWND, Bar> g_bars;
std::vector<HWND> g_barOrder;

standin::ResetHook g_reset([] {
    g_bars.clear();
    g_barOrder.clear();
});

const wchar_t kToolBarClass[] = L"ToolbarWindow32";
const wchar_t kMiniFrameClass[] = L"AfxMiniFrame";
const DWORD kBarStyles = 0x0040FFFF;  // the control-bar bits of a Create style

void RegisterClassOnce(const wchar_t* name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.lpszClassName = name;
    AfxRegisterClass(&wc);
}

Bar* FindBar(HWND h)
{
    auto it = g_bars.find(h);
    return it == g_bars.end() ? nullptr : &it->second;
}

CToolBar* ToolBarObject(HWND h) { return dynamic_cast<CToolBar*>(CWnd::FromHandlePermanent(h)); }

}  // namespace

CImageList::~CImageList() { DeleteImageList(); }

BOOL CImageList::Create(int cx, int cy, UINT flags, int, int)
{
    if (m_hImageList || cx <= 0 || cy <= 0) return FALSE;
    m_hImageList = new IMAGELIST{cx, cy, flags, 0};
    return TRUE;
}

int CImageList::Add(HICON icon)
{
    if (!m_hImageList || standin::IconWidth(icon) <= 0) return -1;
    return m_hImageList->count++;
}

int CImageList::GetImageCount() const { return m_hImageList ? m_hImageList->count : 0; }

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList) return FALSE;
    for (auto& [h, bar] : g_bars)
        if (bar.images == m_hImageList) bar.images = nullptr;
    delete m_hImageList;
    m_hImageList = nullptr;
    return TRUE;
}

void CControlBar::EnableDocking(DWORD dockStyle)
{
    m_dwDockStyle = dockStyle;
}

BOOL CControlBar::DestroyWindow()
{
    Bar* bar = FindBar(m_hWnd);
    HWND mini = bar ? bar->miniFrame : nullptr;
    BOOL done = CWnd::DestroyWindow();
    if (mini && IsWindow(mini)) ::DestroyWindow(mini);
    return done;
}

LRESULT CControlBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    Bar* bar = FindBar(m_hWnd);
    if (bar) {
        switch (msg) {
        case TB_SETPARENT: {
            HWND old = bar->notify;
            bar->notify = (HWND)wParam;
            return (LRESULT)old;
        }
        case TB_SETIMAGELIST: {
            HIMAGELIST old = bar->images;
            bar->images = (HIMAGELIST)lParam;
            return (LRESULT)old;
        }
        case TB_GETIMAGELIST: return (LRESULT)bar->images;
        case TB_SETSTYLE: bar->controlStyle = (DWORD)lParam; return 0;
        case TB_GETSTYLE: return bar->controlStyle;
        case WM_NCDESTROY: {
            HWND h = m_hWnd;
            LRESULT r = CWnd::WindowProc(msg, wParam, lParam);
            g_bars.erase(h);
            g_barOrder.erase(std::remove(g_barOrder.begin(), g_barOrder.end(), h), g_barOrder.end());
            return r;
        }
        default: break;
        }
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

CToolBar::~CToolBar()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

BOOL CToolBar::Create(CWnd* parent, DWORD style, UINT id)
{
    if (!parent || !parent->m_hWnd) return FALSE;
    RegisterClassOnce(kToolBarClass);
    RECT rc{0, 0, 0, 0};
    if (!CreateEx(0, kToolBarClass, nullptr, style & ~kBarStyles, rc, parent, id)) return FALSE;
    m_pDockSite = dynamic_cast<CFrameWnd*>(parent);
    Bar& bar = g_bars[m_hWnd];
    bar.barStyle = style & kBarStyles;
    g_barOrder.push_back(m_hWnd);
    return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* ids, int count)
{
    Bar* bar = FindBar(m_hWnd);
    if (!bar || count < 0) return FALSE;
    bar->buttons.clear();
    for (int i = 0; i < count; ++i) bar->buttons.push_back({ids ? ids[i] : 0, TBBS_BUTTON, i, true});
    return TRUE;
}

void CToolBar::SetSizes(SIZE button, SIZE image)
{
    if (Bar* bar = FindBar(m_hWnd)) {
        bar->buttonSize = button;
        bar->imageSize = image;
    }
}

int CToolBar::GetCount() const
{
    const Bar* bar = FindBar(m_hWnd);
    return bar ? (int)bar->buttons.size() : 0;
}

UINT CToolBar::GetItemID(int index) const
{
    const Bar* bar = FindBar(m_hWnd);
    return bar && index >= 0 && index < (int)bar->buttons.size() ? bar->buttons[(size_t)index].id : 0;
}

void CToolBar::GetButtonInfo(int index, UINT& id, UINT& style, int& image) const
{
    const Bar* bar = FindBar(m_hWnd);
    if (!bar || index < 0 || index >= (int)bar->buttons.size()) return;
    const standin::ToolBarButton& b = bar->buttons[(size_t)index];
    id = b.id;
    style = b.style;
    image = b.image;
}

void CToolBar::SetButtonInfo(int index, UINT id, UINT style, int image)
{
    Bar* bar = FindBar(m_hWnd);
    if (!bar || index < 0 || index >= (int)bar->buttons.size()) return;
    standin::ToolBarButton& b = bar->buttons[(size_t)index];
    b.id = id;
    b.style = style;
    b.image = image;
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler)
{
    Bar* bar = FindBar(m_hWnd);
    if (!bar) return;
    for (size_t i = 0; i < bar->buttons.size(); ++i) {
        CCmdUI ui;
        ui.m_nID = bar->buttons[i].id;
        ui.m_nIndex = (UINT)i;
        ui.m_pOther = this;
        ui.m_bEnabled = bar->buttons[i].enabled;
        // The bar's own update handlers first, then the target's.
        if (!OnCmdMsg(ui.m_nID, CN_UPDATE_COMMAND_UI, &ui)) ui.DoUpdate(target, disableIfNoHandler);
        if (Bar* still = FindBar(m_hWnd); still && i < still->buttons.size()) still->buttons[i].enabled = ui.m_bEnabled;
    }
}

void CFrameWnd::EnableDocking(DWORD dockStyle) { m_dwDockStyle = dockStyle; }

void CFrameWnd::FloatControlBar(CControlBar* control, POINT point, DWORD)
{
    Bar* bar = control ? FindBar(control->m_hWnd) : nullptr;
    if (!bar) return;
    if (!bar->miniFrame || !IsWindow(bar->miniFrame)) {
        RegisterClassOnce(kMiniFrameClass);
        bar->miniFrame = CreateWindowExW(0, kMiniFrameClass, nullptr, WS_POPUP | WS_CAPTION, point.x, point.y, 1, 1,
                                         m_hWnd, nullptr, nullptr, nullptr);
        ::SetParent(control->m_hWnd, bar->miniFrame);
    }
    bar->floatPoint = point;
    wchar_t title[256] = {};
    ::GetWindowTextW(control->m_hWnd, title, 256);
    ::SetWindowTextW(bar->miniFrame, title);
    // The small frame shows unless the main frame is minimised.
    if (!IsIconic()) ::ShowWindow(bar->miniFrame, SW_SHOWNOACTIVATE);
}

void CFrameWnd::ShowControlBar(CControlBar* control, BOOL show, BOOL)
{
    if (!control || !control->m_hWnd) return;
    ::ShowWindow(control->m_hWnd, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    Bar* bar = FindBar(control->m_hWnd);
    if (bar && bar->miniFrame) ::ShowWindow(bar->miniFrame, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

namespace standin {

bool GetToolBarState(HWND toolbar, ToolBarState& out)
{
    const Bar* bar = FindBar(toolbar);
    CToolBar* object = ToolBarObject(toolbar);
    if (!bar) return false;
    out = ToolBarState();
    out.buttons = bar->buttons;
    out.imageCount = bar->images ? bar->images->count : 0;
    out.buttonSize = bar->buttonSize;
    out.imageSize = bar->imageSize;
    out.barStyle = bar->barStyle;
    out.controlStyle = bar->controlStyle;
    out.notify = bar->notify ? bar->notify : GetParent(toolbar);
    out.floating = bar->miniFrame != nullptr;
    out.floatPoint = bar->floatPoint;
    out.dockStyle = object ? object->m_dwDockStyle : 0;
    wchar_t title[256] = {};
    ::GetWindowTextW(toolbar, title, 256);
    out.caption = title;
    return true;
}

std::vector<HWND> ToolBars() { return g_barOrder; }

bool ClickToolBarButton(HWND toolbar, UINT id)
{
    const Bar* bar = FindBar(toolbar);
    if (!bar || !IsWindowVisible(toolbar)) return false;
    auto b = std::find_if(bar->buttons.begin(), bar->buttons.end(), [id](const ToolBarButton& x) { return x.id == id; });
    if (b == bar->buttons.end() || !b->enabled) return false;
    HWND target = bar->notify ? bar->notify : GetParent(toolbar);
    SendMessageW(target, WM_COMMAND, (WPARAM)id, (LPARAM)toolbar);
    return true;
}

void IdleUpdateToolBar(HWND toolbar)
{
    CToolBar* object = ToolBarObject(toolbar);
    if (object) object->OnUpdateCmdUI(object->m_pDockSite, TRUE);
}

bool CloseFloatingToolBar(HWND toolbar)
{
    CToolBar* object = ToolBarObject(toolbar);
    const Bar* bar = FindBar(toolbar);
    if (!object || !bar || !bar->miniFrame || !object->m_pDockSite) return false;
    object->m_pDockSite->ShowControlBar(object, FALSE, FALSE);
    return true;
}

std::wstring ToolBarTooltip(HWND toolbar, UINT id)
{
    if (!FindBar(toolbar)) return std::wstring();
    wchar_t text[256] = {};
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (!LoadStringW(module, id, text, 256)) return std::wstring();
    const wchar_t* tip = wcschr(text, L'\n');
    return tip ? std::wstring(tip + 1) : std::wstring();
}

}  // namespace standin
