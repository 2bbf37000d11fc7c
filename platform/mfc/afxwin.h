// MFC stand-in: windows, dialogs, resource handles and extension modules.
//
// CWnd wraps a window of the stand-in window manager; its messages reach the
// virtual WindowProc, which calls the overridable handlers (in place of MFC's
// message maps). Dialogs are headless: a control table per dialog holds what
// the controls would show, and DoModal takes its answer from a script that
// the test or the stand-in host queues (dialog_control.h).
#pragma once

#include <map>
#include <vector>

#include "afxmsgbox.h"
#include "afxstr.h"
#include "windows.h"

class CWnd;

// Resource handles and the application instance.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resource);
// The module that holds a resource: the first of the resource chain (the
// current resource handle, then each extension module), or the current one.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
// Registers the class unless a class of that name exists already.
BOOL AfxRegisterClass(WNDCLASSW* wc);

// Extension modules (an extension DLL's record and its place in the chain).
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
};
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module);
// Removes the module's CDynLinkLibrary objects from the resource chain.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all = FALSE);

class CDynLinkLibrary {
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state);
    ~CDynLinkLibrary();
    HMODULE m_hModule;
    HMODULE m_hResource;
};

// Run-time class information: the class name and the base class.
struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* cls) const;
    static const CRuntimeClass classCObject;
};

#define RUNTIME_CLASS(name) (&name::class##name)
#define DECLARE_DYNAMIC(name)                                 \
public:                                                       \
    static const CRuntimeClass class##name;                  \
    const CRuntimeClass* GetRuntimeClass() const override;
#define IMPLEMENT_DYNAMIC(name, base)                                          \
    const CRuntimeClass name::class##name = {#name, RUNTIME_CLASS(base)};     \
    const CRuntimeClass* name::GetRuntimeClass() const { return RUNTIME_CLASS(name); }

// Command routing through message maps: WM_COMMAND ids and command-UI
// updates reach the handlers a class lists in its map, then its bases'.
class CCmdTarget;
class CCmdUI;
typedef void (CCmdTarget::*AFX_PMSG)();
typedef void (CCmdTarget::*AFX_PMSG_UI)(CCmdUI*);
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // 0 ends the map
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_PMSG pfn;         // commands
    AFX_PMSG_UI pfnUI;    // command-UI updates
};
struct AFX_MSGMAP {
    const AFX_MSGMAP* pBaseMap;
    const AFX_MSGMAP_ENTRY* lpEntries;
};
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))

class CCmdTarget : public CObject {
public:
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Calls the handler of `id` for `code` (CN_COMMAND, or
    // CN_UPDATE_COMMAND_UI with the CCmdUI as `extra`); FALSE when there is none.
    virtual BOOL OnCmdMsg(UINT id, UINT code, void* extra);
    // Whether the map has a command handler for `id`.
    BOOL HasCommandHandler(UINT id) const;
    static const AFX_MSGMAP messageMap;
};

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP_ENTRY _messageEntries[];  \
                                                      \
public:                                               \
    static const AFX_MSGMAP messageMap;               \
    const AFX_MSGMAP* GetMessageMap() const override;
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; }   \
    const AFX_MSGMAP theClass::messageMap = {&baseClass::messageMap, &theClass::_messageEntries[0]}; \
    const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {
#define ON_COMMAND(id, memberFn) \
    {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), static_cast<AFX_PMSG>(memberFn), nullptr},
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, memberFn) \
    {WM_COMMAND, CN_UPDATE_COMMAND_UI, (UINT)(first), (UINT)(last), nullptr, static_cast<AFX_PMSG_UI>(memberFn)},
// Notifications of controls: WM_COMMAND with the control id and the code.
#define ON_CONTROL(code, id, memberFn) \
    {WM_COMMAND, (UINT)(WORD)(code), (UINT)(id), (UINT)(id), static_cast<AFX_PMSG>(memberFn), nullptr},
#define ON_BN_CLICKED(id, memberFn) ON_CONTROL(BN_CLICKED, id, memberFn)
#define ON_EN_CHANGE(id, memberFn) ON_CONTROL(EN_CHANGE, id, memberFn)
#define ON_EN_KILLFOCUS(id, memberFn) ON_CONTROL(EN_KILLFOCUS, id, memberFn)
#define CBN_EDITCHANGE 5
#define ON_CBN_EDITCHANGE(id, memberFn) ON_CONTROL(CBN_EDITCHANGE, id, memberFn)
#define END_MESSAGE_MAP() {0, 0, 0, 0, nullptr, nullptr}};

// The state of one user-interface item (a toolbar button) while its
// command's handlers are asked whether it is enabled.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    CCmdTarget* m_pOther = nullptr;  // the control bar of the item
    BOOL m_bEnabled = TRUE;
    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL on = TRUE) { m_bEnabled = on; }
    // Asks the target's update handler; without one the item is enabled when
    // the target handles the command, or when handler-less items stay enabled.
    void DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    // The special places of SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }
    // The CWnd attached to a window, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id, LPVOID param = nullptr);
    // A null class name gives MFC's default window class.
    virtual BOOL Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent,
                        UINT id, LPVOID param = nullptr);
    // Lets a class change the creation values before the window is made.
    virtual BOOL PreCreateWindow(CREATESTRUCT& /*cs*/) { return TRUE; }
    virtual BOOL DestroyWindow();

    // On a control of a dialog (GetDlgItem, SubclassDlgItem, DDX_Control)
    // these act on the dialog's control table.
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    // The previous focus when it is a control of the same dialog, else null.
    CWnd* SetFocus();
    int GetDlgCtrlID() const;
    // A control of this dialog; the object lives as long as the dialog.
    CWnd* GetDlgItem(int id) const;
    // Makes this object a control of the parent dialog.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Attaches this object to an existing window, whose messages then reach
    // its WindowProc first; UnsubclassWindow gives the window back.
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();
    BOOL IsIconic() const;
    BOOL BringWindowToTop();
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void SetWindowText(LPCWSTR text);
    void GetWindowText(CString& text) const;
    // At most cap - 1 characters and the terminator; the count copied.
    int GetWindowText(LPWSTR text, int cap) const;
    CWnd* GetParent() const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc);
    BOOL KillTimer(UINT_PTR id);
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Moves data between the members and the controls: save TRUE reads the
    // controls into the members.
    BOOL UpdateData(BOOL save = TRUE);

protected:
    // The default handling of the message being handled now.
    LRESULT Default();
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after the window's last message; the place where windows that
    // own themselves delete themselves.
    virtual void PostNcDestroy() {}
    virtual void DoDataExchange(class CDataExchange* /*dx*/) {}

    virtual int OnCreate(LPCREATESTRUCT cs);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: TRUE when handled, the result in *result.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

public:
    // Lets a window look at a message before its loop dispatches it; TRUE
    // when it took the message.
    virtual BOOL PreTranslateMessage(MSG* /*msg*/) { return FALSE; }

private:
    explicit CWnd(HWND place) : m_hWnd(place) {}
    friend void DDX_Control(class CDataExchange* dx, int id, CWnd& control);

protected:
    // Set on a control of a headless dialog: the dialog and the control id.
    HWND m_itemDialog = nullptr;
    int m_itemId = 0;

private:
    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT AfxCbtHook(int, WPARAM, LPARAM);
    WNDPROC m_superProc = nullptr;
    MSG m_current{};
};

class CControlBar;
// A main frame: it docks and floats control bars (afxext.h).
class CFrameWnd : public CWnd {
public:
    void EnableDocking(DWORD dockStyle);
    // Floats the bar in a small frame of its own at the screen point.
    void FloatControlBar(CControlBar* bar, POINT point, DWORD style = 0x2000);
    void ShowControlBar(CControlBar* bar, BOOL show, BOOL delay);
    DWORD m_dwDockStyle = 0;
};

// Moves values between a dialog's members and its controls.
class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& value);
// Makes `control` the control `id` of the dialog (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// The index of the checked button of the radio group that starts at `id`
// (-1 when none is checked); loading checks that one and clears the others.
void DDX_Radio(CDataExchange* dx, int id, int& value);

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

    // Runs the dialog: OnInitDialog, then the scripted answer (IDCANCEL when
    // none is queued) chooses OnOK or OnCancel; the window is gone afterwards.
    virtual INT_PTR DoModal();
    // Creates the dialog as a modeless window from its template.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    using CWnd::Create;
    virtual BOOL OnInitDialog();
    void EndDialog(int result);

    // The control table.
    CString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, LPCWSTR text);
    UINT IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, UINT check);

    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool m_modal = false;
    int m_result = 0;
};

// Controls. Headless, each is an entry of its dialog's control table.
class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int check);
};

class CEdit : public CWnd {
public:
    // Adds the control `id` to the parent dialog's table.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;
    // The caret, or the selection, from `start` to `end` (-1: the end).
    void SetSel(int start, int end, BOOL noScroll = FALSE);
};

class CStatic : public CWnd {};

class CComboBox : public CWnd {
public:
    int AddString(LPCWSTR text);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    // The row's text shows in the edit part. CB_ERR (-1) for a row that does
    // not exist, which clears the selection and the edit part.
    int SetCurSel(int row);
};
#define CB_ERR (-1)

#define IDC_STATIC (-1)
#define BST_UNCHECKED 0
#define BST_CHECKED 1
