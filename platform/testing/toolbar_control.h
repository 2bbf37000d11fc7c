// Control of the toolbar stand-in, for tests and the stand-in host: what a
// toolbar shows, the user's clicks, and the close box of a floating bar.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace standin {

struct ToolBarButton {
    UINT id;
    UINT style;
    int image;
    bool enabled;
};
struct ToolBarState {
    std::vector<ToolBarButton> buttons;
    int imageCount = 0;        // images in the list the control was given
    SIZE buttonSize{0, 0};
    SIZE imageSize{0, 0};
    DWORD barStyle = 0;        // the control-bar style of Create
    DWORD controlStyle = 0;    // TBSTYLE_* of the control
    HWND notify = nullptr;     // where clicks go (TB_SETPARENT, else the parent)
    bool floating = false;
    POINT floatPoint{0, 0};
    DWORD dockStyle = 0;
    std::wstring caption;
};
// The state of a toolbar window; false when it is none.
bool GetToolBarState(HWND toolbar, ToolBarState& out);
// Every toolbar window that exists, in creation order.
std::vector<HWND> ToolBars();
// The user clicks the button of that id: WM_COMMAND to the bar's owner.
bool ClickToolBarButton(HWND toolbar, UINT id);
// The framework's idle update of the bar's buttons for its frame.
void IdleUpdateToolBar(HWND toolbar);
// The close box of a floating bar: the bar is hidden, as ShowControlBar
// with FALSE hides it.
bool CloseFloatingToolBar(HWND toolbar);
// The tooltip of a button: the text after "\n" of the string of its id,
// from the resource chain.
std::wstring ToolBarTooltip(HWND toolbar, UINT id);

}  // namespace standin
