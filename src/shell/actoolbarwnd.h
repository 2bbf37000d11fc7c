// The plug-in's floating toolbar and the hidden child window of the host's
// main frame that owns it: the buttons' commands, the one-second check that
// keeps the link-active flag equal to the toolbar's visibility, and the
// rescale of icon images after the text level changed.
#pragma once

#include <cstdint>

#include "afxext.h"
#include "common/symboltable/viewextents.h"
#include "oddbobject.h"

// The link-active flag, the plug-in's version and the follow switch are in
// state/modulestate.h.

// The message that asks the toolbar window to rescale the icon images.
const UINT WM_RESCALE_ICONS = WM_APP + 47;

class CAcToolBar : public CToolBar {
    DECLARE_DYNAMIC(CAcToolBar)
public:
    // `owner` (the parent when null) receives the commands.
    BOOL Create(CWnd* parent, CWnd* owner, DWORD style, UINT id);
    using CToolBar::OnUpdateCmdUI;
    CWnd* ownerWnd = nullptr;

protected:
    // Every button stays enabled: its handler lives in the owner.
    void OnUpdateCmdUI(CCmdUI* ui);
    void OnClose() override;
    void OnShowWindow(BOOL show, UINT status) override;
    DECLARE_MESSAGE_MAP()
};

class CAcToolBarWnd : public CWnd {
    DECLARE_DYNAMIC(CAcToolBarWnd)
public:
    ~CAcToolBarWnd() override;
    CAcToolBar* toolBar = nullptr;
    // Scratch list of the images the rescale handles.
    OdDbObjectIdArray imageIds;

    void OnSendSelected();
    void OnLoadOnlineMap();
    void OnDownloadMap();
    void OnDownloadDem();
    void OnSetRelatePoints();
    void OnSectionMode();
    void OnSettings();
    void OnPickEntity();
    void OnCommand32780();
    // Button 32781 shows image 8 while the drawing is in cross-section mode.
    void SetSectionButtonState(int on);
    // The coordinate window with the peer's coordinate-system name.
    void ShowCoordInfoWindow();

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCT cs) override;
    void OnDestroy() override;
    void OnClose() override;
    void OnTimer(UINT_PTR id) override;
    DECLARE_MESSAGE_MAP()

private:
    void RescaleIcons();
};

// Creates the toolbar window (and so the toolbar) once; nonzero on success.
int CreateToolBarWnd();
void DestroyToolBarWnd();
// The toolbar window when it exists and has a window, else null.
CAcToolBarWnd* GetToolBarWnd();
// Builds the floating toolbar with its icons and buttons for `owner`.
CAcToolBar* BuildToolBar(UINT resourceId, CWnd* owner, const CString& title);
// Button 32769: image 1 while the online base map is on, else 7.
void SetOnlineMapButtonImage(CAcToolBar* toolBar, int online);
