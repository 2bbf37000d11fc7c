// What the features ask of the shell: a toolbar button pressed or shown in
// a state, and a timer of the receiver window. The shell puts its services
// here when it makes its toolbar or its receiver window
// (shell/shellservices.h); until then there is neither, and each call
// below does nothing.
#pragma once

#include "windows.h"

class ShellServices {
public:
    // The toolbar's online-map button, as if clicked.
    virtual void OnLoadOnlineMap() = 0;
    // Button 32781 shows image 8 while the drawing is in cross-section mode.
    virtual void SetSectionButtonState(int on) = 0;
    // The receiver window's handle; null without one.
    virtual HWND ReceiverWindow() = 0;
    // Sets timer `id` of the receiver window when there is one.
    virtual void SetReceiverTimer(UINT_PTR id, UINT elapseMs) = 0;

protected:
    ~ShellServices() = default;
};

// The shell's services; null until the shell made a window.
extern ShellServices* g_pShellServices;

// The calls the features make; each does nothing before the shell is there.
void PressOnlineMapButton();
void SetSectionButtonState(int on);
void SetReceiverTimer(UINT_PTR id, UINT elapseMs);
HWND ReceiverWindow();
