// The options dialog: the plug-in's settings and the tile cache folder.
// The record changes only on OK or reset, and each writes it back.
#pragma once

#include "afxwin.h"

class CDlgSetting : public CDialog {
public:
    explicit CDlgSetting(CWnd* parent = nullptr);
    enum { IDD = 8133 };

    int m_autoSync = 0;
    int m_pointsAsIcons = 0;
    CComboBox m_textLevel;
    int m_maxLevel = 20;
    int m_colourByLayer = 0;
    int m_doubleClick = 0;
    int m_autoLoad = 0;
    CComboBox m_followMode;
    CStatic m_cacheFolder;
    CButton m_btnAutoLoad;
    int m_clearCache = 0;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnBnClickedChooseFolder();
    void OnBnClickedIcons();
    void OnBnClickedReset();
    void OnBnClickedTutorial();
    DECLARE_MESSAGE_MAP()
};

// The metres of text-level row `row`, or 0 for no row; the row of a metre
// value (row 2, 60 m, for a value no row has).
int TextLevelMetresOfRow(int row);
int TextLevelRowOfMetres(int metres);
// Rounds to the nearest multiple of 100, halves upward, within int range.
int32_t RoundToHundred(int32_t value);
// Makes `root` the cache root: saved, the active drawing's base map
// restarted, the old root's "MapTemp" deleted unless the new root is that
// folder or lies inside it (or names the old root again).
void ChangeCacheRoot(const CString& root);
