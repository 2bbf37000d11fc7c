// Control of the headless dialogs: their templates, their control tables and
// the scripted answers of modal runs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace standin {

// What a dialog's controls hold. `kind` is the template's class ordinal
// (0x80 button, 0x81 edit, 0x82 static, 0x85 combo box; 0 for others):
// an edit box tells its dialog of every change of its text (EN_CHANGE).
// A list view keeps its column titles and rows of cells.
struct DialogControl {
    std::wstring text;
    int check = 0;
    int selection = -1;
    std::vector<std::wstring> items;
    bool visible = true;
    bool enabled = true;
    WORD kind = 0;
    std::vector<std::wstring> columns;
    std::vector<std::vector<std::wstring>> rows;
    DWORD style = 0;  // the template's style (button kinds, WS_GROUP)
};
// The control `id` of a dialog window (created empty on first use).
DialogControl& DialogItem(HWND dialog, int id);
// The control `id` when the dialog has it; null otherwise (nothing created).
DialogControl* FindDialogItem(HWND dialog, int id);

// The control that has the focus in the dialog (0 for none).
int DialogFocus(HWND dialog);

// What a user does to a control: each sends the dialog what Windows would.
// Typing replaces an edit box's text (EN_CHANGE); a click on an enabled,
// visible control moves the focus to it and sends BN_CLICKED (an automatic
// check box toggles first when `toggle` is set); moving the focus sends the
// edit box that loses it EN_KILLFOCUS; a double click on a cell of a list
// view moves the focus to the list and sends NM_DBLCLK with the row and
// column hit (row -1: below the rows).
void TypeIntoDialogItem(HWND dialog, int id, const std::wstring& text);
void ClickDialogItem(HWND dialog, int id, bool toggle = false);
void MoveDialogFocus(HWND dialog, int id);
LRESULT DoubleClickListCell(HWND dialog, int id, int row, int column);

// The window class and caption a dialog template gives its window, in
// place of the dialog resource the resource chain holds (a DLGTEMPLATEEX
// whose class, caption and item texts are used); "#32770" and no caption for
// templates that are neither set nor in a resource.
void SetDialogTemplate(UINT templateId, const std::wstring& className, const std::wstring& caption);

// The next modal run of the template calls the script with the dialog window
// after OnInitDialog; the script may change the controls and returns the
// button pressed: IDOK and IDCANCEL run OnOK and OnCancel, any other id is
// clicked (WM_COMMAND) and ends the dialog with that id unless its handler
// ended it.
using DialogScript = std::function<int(HWND dialog)>;
void QueueDialogAnswer(UINT templateId, DialogScript script);
// The next folder browser (SHBrowseForFolderW) runs the script with its
// window once its callback has seen BFFM_INITIALIZED; the script acts as
// the user (selects folders, types into the controls, clicks OK or
// Cancel). A browser that has not ended when the script returns is
// cancelled; without a script it is cancelled at once.
using FolderBrowseScript = std::function<void(HWND browser)>;
void QueueFolderBrowse(FolderBrowseScript script);
// The user selects a folder in the tree; an empty path is a virtual item
// (one without a file-system path).
void SelectBrowserFolder(HWND browser, const std::wstring& path);
bool FolderBrowserEnded(HWND browser);
// Templates of the modal runs so far, in order.
const std::vector<UINT>& DialogsShown();
// CDynLinkLibrary objects in MFC's resource chain.
size_t DynLinkLibraryCount();
// Calls that MFC's debug build would assert on, since the reset.
const std::vector<std::wstring>& MfcMisuses();

}  // namespace standin
