// The coordinate window, in which the user relates the drawing to the
// peer's coordinate system. Not built yet beyond what the shell needs: it
// is created, shows the peer's coordinate-system text, and closes.
#pragma once

#include "afxwin.h"

class CSetCoorDlg : public CDialog {
public:
    explicit CSetCoorDlg(CWnd* parent);
    enum { IDD = 8115 };
    CString infoText;  // shown in static 8334

    void OnClose() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;
};

// The coordinate window while it exists.
extern CSetCoorDlg* g_pSetCoorDlg;
