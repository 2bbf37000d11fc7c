// The dialog the capture command shows first: the peer's map type, the
// level of the capture, whether a rectangle or an object's outline gives
// the range, and an optional image name; it also clears all captured maps.
#pragma once

#include "afxwin.h"

class CCaptureMapSetting : public CDialog {
public:
    explicit CCaptureMapSetting(CWnd* owner = nullptr);
    enum { IDD = 8145 };

    int m_nMapType = 0;      // set by the caller
    int m_nLevel = 0;        // set by the caller; the chosen level after OK
    CComboBox m_cbLevel;
    int m_nRangeMode = 0;    // 0 rectangle, 1 an object's outline
    CString m_strImageName;
    CString m_strMapTypeName;

    BOOL OnInitDialog() override;

    // The name shown for a map type (types outside the table show as 3).
    static CString MapTypeName(int mapType);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};
