// Host SDK stand-in: the host's dialog base class. A plug-in's dialog built
// on it keeps the host's focus handling: the host asks with
// WM_GCAD_KEEPFOCUS whether the dialog keeps the focus.
#pragma once

#include "afxwin.h"

#define WM_GCAD_KEEPFOCUS (WM_USER + 0x6D01)

class CGcUiDialog : public CDialog {
public:
    // The template is looked up in `dialogResource` when given, else along
    // MFC's resource chain.
    explicit CGcUiDialog(UINT templateId, CWnd* parent = nullptr, HINSTANCE dialogResource = nullptr)
        : CDialog(templateId, parent), m_hDialogResource(dialogResource)
    {
    }
    HINSTANCE m_hDialogResource;
};
