// The cross-section settings dialog: the side and orientation of the
// section, whether the base line's ends are swapped, and whether the frame
// is a rectangle to be drawn or the whole drawing.
#pragma once

#include "afxwin.h"

class CCrossSetting : public CDialog {
public:
    explicit CCrossSetting(CWnd* owner = nullptr);
    enum { IDD = 8202 };

    int useRectangle = 0;  // 1: started with a rectangle, 0: the whole drawing
    int orientation = 0;   // 0 right upright, 1 right inverted, 2 left upright, 3 left inverted
    int swapEnds = 0;      // use the base line's points in reverse order

    BOOL OnInitDialog() override;
    void OnBnClickedOk();
    void OnBnClickedCancel();
    void OnBnClickedVideoHelp();
    void OnBnClickedStartWholeDocument();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    DECLARE_MESSAGE_MAP()
};
