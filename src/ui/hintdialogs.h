// Small modal dialogs that callers fill with a text and show: a yes/no hint
// with a check box that stops further asking, a message with a button that
// stops further showing, a titled text, and the help text.
#pragma once

#include "afxwin.h"

class CDlgHint : public CDialog {
public:
    explicit CDlgHint(CWnd* owner = nullptr);
    enum { IDD = 8353 };
    CString m_strTitle;
    int m_bNoMore = 0;          // the check box, current after either button
    CString m_strText;
    CWnd m_btnNoMore;           // the check box 8351
    CString m_strCheckText;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;       // "是": IDOK
    void OnCancel() override;   // "否": IDCANCEL
};

class CDlgMsg : public CDialog {
public:
    explicit CDlgMsg(CWnd* owner = nullptr);
    enum { IDD = 8314 };
    uint8_t m_bNoMore = 0;      // 1 after "不再提示"; both buttons end with IDOK
    CString m_strText;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};

class CDlgShowMSg : public CDialog {
public:
    explicit CDlgShowMSg(CWnd* owner = nullptr);
    enum { IDD = 8219 };
    CString m_strTitle;
    CString m_strText;
    CString m_strShown;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};

class CDlgHelp : public CDialog {
public:
    explicit CDlgHelp(CWnd* owner = nullptr);
    enum { IDD = 8134 };
    CString m_strText;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};

// "V%d.%d.%d" digit by digit: 162 is V1.6.2.
CString VersionText(int version);
