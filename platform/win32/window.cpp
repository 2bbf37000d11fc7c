// The in-process window manager behind win32_window.h.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "afxmsgbox.h"
#include "standin_control.h"
#include "window_control.h"
#include "windows.h"

namespace {

struct WindowClass {
    std::wstring name;
    WNDCLASSW wc;
};

struct Window {
    std::wstring className;
    std::wstring title;
    HWND parent = nullptr;
    DWORD style = 0;
    bool visible = false;
    bool iconic = false;
    bool topmost = false;
    bool destroying = false;
    bool hiddenWithOwner = false;  // an owned pop-up hidden while its owner is minimised
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    standin::SendTimeoutOutcome timeoutOutcome = standin::SendTimeoutOutcome::Answer;
};

// A posted message, or the late delivery of a timed-out send (which then
// owns a copy of its WM_COPYDATA block).
struct Queued {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool hasCopy = false;
    ULONG_PTR copyData = 0;
    std::vector<unsigned char> copyBytes{};
};

struct Timer {
    UINT period;
    uint64_t due;
    uint64_t seq;
    TIMERPROC proc;
};

std::map<std::wstring, WindowClass> g_classes;
std::map<HWND, Window> g_windows;
std::deque<Queued> g_queue;
std::map<std::pair<HWND, UINT_PTR>, Timer> g_timers;
uint64_t g_timerSeq = 0;
uintptr_t g_nextHandle = 0x10010;
UINT_PTR g_nextThreadTimer = 1;
HWND g_foreground = nullptr;
uint64_t g_modalDwellMs = 0;
WORD g_nextAtom = 0xC000;
std::vector<std::pair<HHOOK, HOOKPROC>> g_cbtHooks;
uintptr_t g_nextHook = 1;

std::wstring Lower(const wchar_t* s)
{
    std::wstring out = s ? s : L"";
    for (auto& c : out) c = (wchar_t)towlower((wint_t)c);
    return out;
}

void RegisterSystemClasses()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    g_classes[L"#32770"] = {L"#32770", wc};
}


int g_screenWidth = 1920;
int g_screenHeight = 1080;

void Reset()
{
    g_classes.clear();
    RegisterSystemClasses();
    g_windows.clear();
    g_queue.clear();
    g_timers.clear();
    g_foreground = nullptr;
    g_modalDwellMs = 0;
    g_cbtHooks.clear();
    g_screenWidth = 1920;
    g_screenHeight = 1080;
}

standin::ResetHook g_reset(&Reset);

struct InstallModalHook {
    InstallModalHook()
    {
        RegisterSystemClasses();
        standin::SetModalLoopHook(&standin::RunModalLoop);
    }
} g_installModalHook;

Window* Find(HWND h)
{
    auto it = g_windows.find(h);
    return it == g_windows.end() ? nullptr : &it->second;
}

LRESULT Dispatch(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = Find(h);
    if (!w || !w->proc) return 0;
    return w->proc(h, msg, wParam, lParam);
}

// The receiver of WM_COPYDATA gets its own copy, freed when the call ends, so
// a receiver that keeps the pointer reads freed memory, as across processes.
LRESULT DispatchCopyData(HWND h, WPARAM wParam, ULONG_PTR dwData, const void* bytes, DWORD size)
{
    auto* cds = (COPYDATASTRUCT*)malloc(sizeof(COPYDATASTRUCT));
    void* copy = size ? malloc(size) : nullptr;
    if (copy) memcpy(copy, bytes, size);
    cds->dwData = dwData;
    cds->cbData = size;
    cds->lpData = copy;
    LRESULT r = Dispatch(h, WM_COPYDATA, wParam, (LPARAM)cds);
    free(copy);
    free(cds);
    return r;
}

LRESULT Deliver(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA && lParam) {
        auto* cds = (const COPYDATASTRUCT*)lParam;
        return DispatchCopyData(h, wParam, cds->dwData, cds->lpData, cds->lpData ? cds->cbData : 0);
    }
    return Dispatch(h, msg, wParam, lParam);
}

bool DeliverOneQueued()
{
    if (g_queue.empty()) return false;
    Queued q = std::move(g_queue.front());
    g_queue.pop_front();
    if (!Find(q.hwnd)) return true;
    if (q.hasCopy)
        DispatchCopyData(q.hwnd, q.wParam, q.copyData, q.copyBytes.data(), (DWORD)q.copyBytes.size());
    else
        Dispatch(q.hwnd, q.msg, q.wParam, q.lParam);
    return true;
}

// The due timer that fires next: earliest due time, then earliest set.
std::map<std::pair<HWND, UINT_PTR>, Timer>::iterator NextTimer()
{
    auto best = g_timers.end();
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it)
        if (best == g_timers.end() || it->second.due < best->second.due ||
            (it->second.due == best->second.due && it->second.seq < best->second.seq))
            best = it;
    return best;
}

bool FireOneDueTimer()
{
    auto it = NextTimer();
    if (it == g_timers.end() || it->second.due > standin::ClockMs()) return false;
    HWND h = it->first.first;
    UINT_PTR id = it->first.second;
    TIMERPROC proc = it->second.proc;
    it->second.due = standin::ClockMs() + it->second.period;
    it->second.seq = ++g_timerSeq;
    if (proc) proc(h, WM_TIMER, id, (DWORD)standin::ClockMs());
    else Dispatch(h, WM_TIMER, id, 0);
    return true;
}

void DropWindowState(HWND h)
{
    for (auto it = g_timers.begin(); it != g_timers.end();)
        it = it->first.first == h ? g_timers.erase(it) : std::next(it);
    g_queue.erase(std::remove_if(g_queue.begin(), g_queue.end(), [h](const Queued& q) { return q.hwnd == h; }),
                  g_queue.end());
    if (g_foreground == h) g_foreground = nullptr;
    g_windows.erase(h);
}

}  // namespace

WORD RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) { SetLastError(ERROR_INVALID_PARAMETER); return 0; }
    std::wstring key = Lower(wc->lpszClassName);
    if (g_classes.count(key)) { SetLastError(ERROR_CLASS_ALREADY_EXISTS); return 0; }
    WindowClass c{wc->lpszClassName, *wc};
    c.wc.lpszClassName = nullptr;
    c.wc.lpszMenuName = nullptr;
    g_classes[key] = c;
    return g_nextAtom++;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    if (!g_classes.erase(Lower(className))) { SetLastError(ERROR_CLASS_DOES_NOT_EXIST); return FALSE; }
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, LPWNDCLASSW out)
{
    auto it = g_classes.find(Lower(className));
    if (it == g_classes.end() || !out) { SetLastError(ERROR_CLASS_DOES_NOT_EXIST); return FALSE; }
    *out = it->second.wc;
    out->lpszClassName = className;
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto cls = g_classes.find(Lower(className));
    if (cls == g_classes.end()) { SetLastError(ERROR_CANNOT_FIND_WND_CLASS); return nullptr; }
    if (parent && !Find(parent)) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return nullptr; }
    HWND h = (HWND)g_nextHandle;
    g_nextHandle += 4;
    Window w;
    w.className = cls->second.name;
    w.title = title ? title : L"";
    w.parent = parent;
    w.style = style;
    w.visible = (style & WS_VISIBLE) != 0;
    w.iconic = (style & WS_MINIMIZE) != 0;
    w.proc = cls->second.wc.lpfnWndProc;
    g_windows[h] = w;

    CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, (LONG)style, title, className, exStyle};
    CBT_CREATEWNDW cbt{&cs, nullptr};
    auto hooks = g_cbtHooks;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) it->second(HCBT_CREATEWND, (WPARAM)h, (LPARAM)&cbt);
    if (!Dispatch(h, WM_NCCREATE, 0, (LPARAM)&cs) || Dispatch(h, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    return Find(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND h)
{
    Window* w = Find(h);
    if (!w) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return FALSE; }
    if (w->destroying) return TRUE;
    w->destroying = true;
    w->visible = false;
    Dispatch(h, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    for (auto& [ch, cw] : g_windows)
        if (cw.parent == h) children.push_back(ch);
    for (HWND ch : children) DestroyWindow(ch);
    Dispatch(h, WM_NCDESTROY, 0, 0);
    DropWindowState(h);
    return TRUE;
}

BOOL IsWindow(HWND h) { return Find(h) != nullptr; }

HWND FindWindowW(LPCWSTR className, LPCWSTR title)
{
    std::wstring cls = Lower(className);
    // Top-level windows, owned pop-ups included: only child windows are passed over.
    for (auto& [h, w] : g_windows) {
        if ((w.style & WS_CHILD) || w.destroying) continue;
        if (className && Lower(w.className.c_str()) != cls) continue;
        if (title && w.title != title) continue;
        return h;
    }
    return nullptr;
}

HWND GetParent(HWND h)
{
    Window* w = Find(h);
    return w ? w->parent : nullptr;
}

BOOL ShowWindow(HWND h, int command)
{
    Window* w = Find(h);
    if (!w) return FALSE;
    bool was = w->visible;
    switch (command) {
    case SW_HIDE: w->visible = false; break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: w->visible = true; w->iconic = true; break;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_RESTORE: w->visible = true; w->iconic = false; break;
    default: w->visible = true; break;
    }
    bool now = w->visible;
    bool iconic = w->iconic;
    if (now != was) Dispatch(h, WM_SHOWWINDOW, now ? TRUE : FALSE, 0);
    // A minimised window hides the pop-ups it owns, and shows them again when
    // it is restored.
    if (!(w->style & WS_CHILD)) {
        std::vector<HWND> owned;
        for (auto& [oh, ow] : g_windows)
            if (ow.parent == h && !(ow.style & WS_CHILD) && (iconic ? ow.visible : ow.hiddenWithOwner))
                owned.push_back(oh);
        for (HWND oh : owned) {
            Window* o = Find(oh);
            if (!o) continue;
            o->visible = !iconic;
            o->hiddenWithOwner = iconic;
            Dispatch(oh, WM_SHOWWINDOW, iconic ? FALSE : TRUE, 0);
        }
    }
    return was ? TRUE : FALSE;
}

HWND SetParent(HWND child, HWND parent)
{
    Window* w = Find(child);
    if (!w || (parent && !Find(parent))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND old = w->parent;
    w->parent = parent;
    return old;
}

BOOL IsWindowVisible(HWND h)
{
    // A child shows only while its parents do; an owner's state does not matter.
    for (Window* w = Find(h); w; w = (w->style & WS_CHILD) && w->parent ? Find(w->parent) : nullptr)
        if (!w->visible) return FALSE;
    return Find(h) ? TRUE : FALSE;
}

BOOL IsIconic(HWND h)
{
    Window* w = Find(h);
    return w && w->iconic;
}

BOOL BringWindowToTop(HWND h)
{
    if (!Find(h)) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return FALSE; }
    g_foreground = h;
    return TRUE;
}

BOOL SetForegroundWindow(HWND h) { return BringWindowToTop(h); }
HWND GetForegroundWindow() { return g_foreground; }

BOOL SetWindowPos(HWND h, HWND insertAfter, int, int, int, int, UINT flags)
{
    Window* w = Find(h);
    if (!w) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return FALSE; }
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) w->topmost = true;
        else if (insertAfter == HWND_NOTOPMOST) w->topmost = false;
    }
    if (flags & SWP_SHOWWINDOW) w->visible = true;
    if (flags & SWP_HIDEWINDOW) w->visible = false;
    return TRUE;
}

BOOL SetWindowTextW(HWND h, LPCWSTR text)
{
    Window* w = Find(h);
    if (!w) return FALSE;
    w->title = text ? text : L"";
    return TRUE;
}

namespace {
int CopyOut(const std::wstring& s, LPWSTR buf, int cap)
{
    if (!buf || cap <= 0) return 0;
    int n = std::min((int)s.size(), cap - 1);
    wmemcpy(buf, s.data(), (size_t)n);
    buf[n] = 0;
    return n;
}
}  // namespace

int GetWindowTextW(HWND h, LPWSTR buf, int cap)
{
    Window* w = Find(h);
    return w ? CopyOut(w->title, buf, cap) : 0;
}

int GetClassNameW(HWND h, LPWSTR buf, int cap)
{
    Window* w = Find(h);
    return w ? CopyOut(w->className, buf, cap) : 0;
}

LONG_PTR SetWindowLongPtrW(HWND h, int index, LONG_PTR value)
{
    Window* w = Find(h);
    if (!w) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return 0; }
    LONG_PTR old = 0;
    if (index == GWLP_WNDPROC) {
        old = (LONG_PTR)w->proc;
        w->proc = (WNDPROC)value;
    } else if (index == GWLP_USERDATA) {
        old = w->userData;
        w->userData = value;
    }
    return old;
}

LONG_PTR GetWindowLongPtrW(HWND h, int index)
{
    Window* w = Find(h);
    if (!w) return 0;
    if (index == GWLP_WNDPROC) return (LONG_PTR)w->proc;
    if (index == GWLP_USERDATA) return w->userData;
    return 0;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN: return g_screenWidth;
    case SM_CYSCREEN: return g_screenHeight;
    default: return 0;
    }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove)
{
    for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
        if (it->hasCopy || (hwnd && it->hwnd != hwnd)) continue;
        if ((filterMin || filterMax) && (it->msg < filterMin || it->msg > filterMax)) continue;
        if (msg) *msg = MSG{it->hwnd, it->msg, it->wParam, it->lParam, (DWORD)standin::ClockMs(), {0, 0}};
        if (remove & PM_REMOVE) g_queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

LRESULT DefWindowProcW(HWND h, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(h); return 0;
    default: return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(h, msg, wParam, lParam) : 0;
}

LRESULT SendMessageW(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!Find(h)) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return 0; }
    return Deliver(h, msg, wParam, lParam);
}

LRESULT SendMessageTimeoutW(HWND h, UINT msg, WPARAM wParam, LPARAM lParam, UINT, UINT, PDWORD_PTR result)
{
    Window* w = Find(h);
    if (!w) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return 0; }
    switch (w->timeoutOutcome) {
    case standin::SendTimeoutOutcome::Answer: {
        LRESULT r = Deliver(h, msg, wParam, lParam);
        if (result) *result = (DWORD_PTR)r;
        return 1;
    }
    case standin::SendTimeoutOutcome::TimeOut: {
        Queued q{h, msg, wParam, lParam};
        if (msg == WM_COPYDATA && lParam) {
            auto* cds = (const COPYDATASTRUCT*)lParam;
            q.hasCopy = true;
            q.copyData = cds->dwData;
            if (cds->lpData && cds->cbData)
                q.copyBytes.assign((const unsigned char*)cds->lpData, (const unsigned char*)cds->lpData + cds->cbData);
        }
        g_queue.push_back(std::move(q));
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    case standin::SendTimeoutOutcome::Fail:
    default:
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
}

BOOL PostMessageW(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!Find(h)) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return FALSE; }
    g_queue.push_back(Queued{h, msg, wParam, lParam});
    return TRUE;
}

UINT RegisterWindowMessageW(LPCWSTR name)
{
    // Registered names outlive a machine reset, like the system's atom table:
    // ids cached by static objects stay valid.
    static std::map<std::wstring, UINT> ids;
    static UINT next = 0xC000;
    if (!name || !*name) { SetLastError(ERROR_INVALID_PARAMETER); return 0; }
    auto [it, added] = ids.emplace(Lower(name), next);
    if (added) ++next;
    return it->second;
}

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    if (h && !Find(h)) { SetLastError(ERROR_INVALID_WINDOW_HANDLE); return 0; }
    if (!h) id = g_nextThreadTimer++;
    UINT period = std::max<UINT>(elapseMs, 10);  // the system's minimum
    g_timers[{h, id}] = Timer{period, standin::ClockMs() + period, ++g_timerSeq, proc};
    return id;
}

BOOL KillTimer(HWND h, UINT_PTR id) { return g_timers.erase({h, id}) ? TRUE : FALSE; }

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD)
{
    if (idHook != WH_CBT || !proc) { SetLastError(ERROR_INVALID_PARAMETER); return nullptr; }
    HHOOK h = (HHOOK)g_nextHook++;
    g_cbtHooks.emplace_back(h, proc);
    return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook)
{
    for (auto it = g_cbtHooks.begin(); it != g_cbtHooks.end(); ++it)
        if (it->first == hook) {
            g_cbtHooks.erase(it);
            return TRUE;
        }
    return FALSE;
}

// Hooks are told newest first, each on its own; there is no chain to pass on.
LRESULT CallNextHookEx(HHOOK, int, WPARAM, LPARAM) { return 0; }

DWORD GetCurrentThreadId() { return 1; }

namespace standin {

void PumpMessages()
{
    while (DeliverOneQueued() || FireOneDueTimer()) {
    }
}

void AdvanceClockMs(uint64_t ms)
{
    uint64_t end = ClockMs() + ms;
    PumpMessages();
    for (;;) {
        auto it = NextTimer();
        if (it == g_timers.end() || it->second.due > end) break;
        if (it->second.due > ClockMs()) SetClockMs(it->second.due);
        PumpMessages();
    }
    if (ClockMs() < end) SetClockMs(end);
    PumpMessages();
}

void SetModalDwellMs(uint64_t ms) { g_modalDwellMs = ms; }

void SetScreenSize(int width, int height)
{
    g_screenWidth = width;
    g_screenHeight = height;
}

void RunModalLoop()
{
    if (g_modalDwellMs) AdvanceClockMs(g_modalDwellMs);
    else PumpMessages();
}
size_t QueuedMessageCount() { return g_queue.size(); }
bool HasTimer(HWND h, UINT_PTR id) { return g_timers.count({h, id}) != 0; }
UINT TimerInterval(HWND h, UINT_PTR id)
{
    auto it = g_timers.find({h, id});
    return it == g_timers.end() ? 0 : it->second.period;
}

void SetSendTimeoutOutcome(HWND h, SendTimeoutOutcome outcome)
{
    if (Window* w = Find(h)) w->timeoutOutcome = outcome;
}

}  // namespace standin
