// The plug-in's hidden receiver window: the peer's answers and notices
// (WM_COPYDATA), the plug-in's private messages, the peer's progress
// messages and the link timers, each handed to the part that owns it.
#pragma once

#include <cstdint>

#include "afxwin.h"

// Private messages of the receiver window.
const UINT WM_FETCH_OBJECTS = WM_APP + 43;        // the peer has objects ready: fetch them
const UINT WM_SUPPRESS_ONCE = WM_APP + 44;        // the first one mutes the reactors for 100 ms
const UINT WM_SUPPRESS_SHORT = WM_APP + 45;       // timer 1005
const UINT WM_FLUSH_GRAPHICS = WM_APP + 46;
const UINT WM_RESEND_OBJECTS = WM_APP + 48;       // lParam: new OdDbObjectIdArray, deleted here
const UINT WM_SIGN_AT_POINT = WM_APP + 49;        // lParam: malloc'd x, y, freed here
const UINT WM_SHOW_COORD_INFO = WM_APP + 50;
const UINT WM_SHOW_UPDATE_NOTICE = WM_APP + 51;

const UINT kReceiverTemplate = 8103;

class CMessageDlg : public CDialog {
public:
    explicit CMessageDlg(CWnd* owner);
    ~CMessageDlg() override;
    enum { IDD = 8103 };

    BOOL OnInitDialog() override;
    void OnClose() override;
    void OnTimer(UINT_PTR id) override;
    // Ends the window as the unload does.
    void Close() { OnClose(); }

protected:
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnPeerMessage(const COPYDATASTRUCT* cds);
    bool OnPrivateMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnMessageTimer(UINT_PTR id);
    CString values_[6];
    bool flags_[2] = {false, false};
};

// The receiver window while it exists.
extern CMessageDlg* g_pMessageDlg;

// The newest plug-in version a 20203 notice announced, shown once.
struct UpdateNoticeRecord {
    bool shown = false;
    int32_t version = 0;
    int32_t value0 = 0;  // the notice's first i32, kept unread
    CString text;
};
extern UpdateNoticeRecord g_updateNotice;

// Link state the answers keep: the button-present value (the last 20401
// answer). What the features read of the answers is in state/modulestate.h.
extern int32_t g_buttonPresent;
// Set while a relate-point resend waits for its answer: an "ask again"
// inside it is not resent again.
extern bool g_bRelateResendRunning;

// Opens the coordinate window unless the peer's plane system is the one the
// drawing is bound to; the coordinate-binding flag is cleared either way.
void PostShowCoordInfo(CMessageDlg* receiver);
