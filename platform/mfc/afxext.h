// MFC stand-in: control bars, toolbars and image lists. A toolbar is a
// child window holding its buttons (id, style, image index) and the image
// list it was given; a frame floats it in a small pop-up frame of its own,
// which the frame owns, so it hides while the frame is minimised. Headless:
// nothing is drawn; tests click buttons and close the bar through
// toolbar_control.h.
#pragma once

#include <vector>

#include "afxwin.h"

// Control-bar styles.
#define CBRS_ALIGN_LEFT 0x1000L
#define CBRS_ALIGN_TOP 0x2000L
#define CBRS_ALIGN_RIGHT 0x4000L
#define CBRS_ALIGN_BOTTOM 0x8000L
#define CBRS_ALIGN_ANY 0xF000L
#define CBRS_BORDER_BOTTOM 0x0800L
#define CBRS_TOOLTIPS 0x0010L
#define CBRS_FLYBY 0x0020L
#define CBRS_SIZE_DYNAMIC 0x0004L
#define AFX_IDW_TOOLBAR 0xE800

// Toolbar control messages and styles.
#define TB_SETSTYLE (WM_USER + 56)
#define TB_GETSTYLE (WM_USER + 57)
#define TB_SETPARENT (WM_USER + 37)
#define TB_SETIMAGELIST (WM_USER + 48)
#define TB_GETIMAGELIST (WM_USER + 49)
#define TBSTYLE_FLAT 0x0800
#define TBSTYLE_TRANSPARENT 0x8000
#define TBBS_BUTTON 0x0000

// Image-list flags.
#define ILC_MASK 0x0001
#define ILC_COLOR32 0x0020

struct IMAGELIST;
typedef IMAGELIST* HIMAGELIST;

class CImageList {
public:
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // The new image's index, -1 for a null icon or a list not created.
    int Add(HICON icon);
    int GetImageCount() const;
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }
    HIMAGELIST m_hImageList = nullptr;
};

class CControlBar : public CWnd {
public:
    // Enables the items of the bar for the target (the frame); called at
    // idle time (toolbar_control.h).
    virtual void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) = 0;
    void EnableDocking(DWORD dockStyle);
    BOOL DestroyWindow() override;
    CFrameWnd* m_pDockSite = nullptr;
    DWORD m_dwDockStyle = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CToolBar : public CControlBar {
public:
    ~CToolBar() override;
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, UINT id = AFX_IDW_TOOLBAR);
    using CWnd::Create;
    // Button i gets id ids[i] and image i.
    BOOL SetButtons(const UINT* ids, int count);
    void SetSizes(SIZE button, SIZE image);
    int GetCount() const;
    UINT GetItemID(int index) const;
    void GetButtonInfo(int index, UINT& id, UINT& style, int& image) const;
    void SetButtonInfo(int index, UINT id, UINT style, int image);
    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;
};
