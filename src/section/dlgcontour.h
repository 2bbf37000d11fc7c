// The contour dialog: the download level, the contour precision and how the
// range is chosen. The contour command reads the three values after IDOK.
#pragma once

#include "afxwin.h"

class CDlg_Contour : public CDialog {
public:
    explicit CDlg_Contour(CWnd* owner = nullptr);
    enum { IDD = 8218 };
    // The first and last level offered.
    enum { kFirstLevel = 5, kLastLevel = 12 };

    CComboBox m_comboLevel;      // 8143, drop-down list
    CComboBox m_comboPrecision;  // 8213, editable
    int rangeMode = 0;           // 0 draw a rectangle, 1 pick an entity (its outline)
    int level = kLastLevel;      // set on OK
    int precision = 10;          // metres, at least 1; set on OK

    BOOL OnInitDialog() override;
    void OnBnClickedOk();
    void OnCbnEditchangePrecision();
    void OnBnClickedHowToDownload();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    DECLARE_MESSAGE_MAP()
};

// The precision typed or chosen: its leading decimal integer (after blanks
// and a sign), 0 when there is none; values beyond the 32-bit range are cut
// to it.
int ParsePrecisionText(const CString& text);
