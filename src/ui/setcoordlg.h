// The coordinate window, in which the user ties the drawing to the peer's
// coordinate system: a drawing point and the matching place in the peer's
// map become a relate point, or the drawing is bound to the peer's current
// plane system. It hints from the typed X and Y whether they look like
// projected plane coordinates.
#pragma once

#include <cstdint>

#include "afxcmn.h"
#include "gcuidialog.h"

class CSetCoorDlg : public CGcUiDialog {
public:
    explicit CSetCoorDlg(CWnd* parent);
    enum { IDD = 8115 };

    double relateX = 0, relateY = 0;      // drawing units
    double relateLat = 0, relateLng = 0;  // degrees
    CButton m_groupRelate;                // 8107
    CEdit m_editX, m_editY, m_editLng, m_editLat;
    CButton m_btnSetRelatePoint, m_btnDone, m_btnClear;
    CString infoText;                     // shown in static 8334
    int useSimplified = 0;                // check 8335
    CButton m_checkSimplified;
    uint8_t xLooksProjected = 0, yLooksProjected = 0;
    CToolTipCtrl m_toolTip;
    CButton m_btnHelp;                    // 8336
    int noPrompt = 0;                     // check 8150

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnClose() override;

    LRESULT OnKeepFocus(WPARAM wParam, LPARAM lParam);
    void OnBnClickedDone();
    void OnBnClickedSetRelatePoint();
    void OnBnClickedClear();
    void OnEnChangeX();
    void OnEnChangeY();
    void OnBnClickedHelp();
    void OnBnClickedUseCurrentSystem();
    void OnBnClickedGoToPeer();
    void OnBnClickedLearnMore();
    // The four edit boxes as numbers (0 for empty or unreadable text).
    void ReadValues();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    void ShowProjectedHint();
};

// The coordinate window while it exists.
extern CSetCoorDlg* g_pSetCoorDlg;
