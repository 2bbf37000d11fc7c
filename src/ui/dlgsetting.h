// The options dialog. Not built yet: it opens and closes without changing
// a setting.
#pragma once

#include "afxwin.h"

class CDlgSetting : public CDialog {
public:
    CDlgSetting() : CDialog(IDD, nullptr) {}
    enum { IDD = 8133 };
};
