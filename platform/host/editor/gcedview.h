// Host SDK stand-in: system variables, the current view, coordinate-system
// conversion, display updates, the status-bar progress meter and the main
// frame window.
#pragma once

#include "afxwin.h"
#include "gcedinput.h"
#include "oddbsymboltable.h"

class OdDbViewport;

// Reads a system variable (name without regard to case) into the buffer:
// RTSHORT, RTREAL, RTPOINT (2-D), RT3DPOINT or RTSTR, whose text the caller
// frees with free(). RTERROR for an unknown name.
int gcedGetVar(const wchar_t* name, resbuf* result);
// RTERROR for an unknown or read-only variable or a buffer of another type.
int gcedSetVar(const wchar_t* name, const resbuf* value);

// Shows the view of the record in the current viewport: VIEWCTR becomes its
// centre (display coordinates to UCS) and VIEWSIZE its height, enlarged
// where needed so that its width fits the viewport's aspect. The viewport
// argument is not used.
OdResult gcedSetCurrentView(const OdDbViewTableRecord* view, OdDbViewport* viewport);

// Converts a point (disp 0) or a displacement (disp 1) between coordinate
// systems named by RTSHORT buffers: 0 world, 1 user, 2 display.
int gcedTrans(const ads_point pt, const resbuf* from, const resbuf* to, int disp, ads_point result);

void gcedUpdateDisplay();
int gcedRedraw(const ads_name entity, int mode);

int gcedSetStatusBarProgressMeter(const wchar_t* label, int minPos, int maxPos);
int gcedSetStatusBarProgressMeterPos(int pos);
void gcedRestoreStatusBar();

// The host's main frame window.
CFrameWnd* gcedGetGcadFrame();
// Its window handle.
HWND gds_getmainhwnd();
// The module that holds the host's own resources.
HINSTANCE gcedGetGcadResourceInstance();
// Shows the command prompt again after a window took the focus.
void gcedPostCommandPrompt();
