// Control of the headless dialogs: their templates, their control tables and
// the scripted answers of modal runs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace standin {

// What a dialog's controls hold.
struct DialogControl {
    std::wstring text;
    int check = 0;
    int selection = -1;
    std::vector<std::wstring> items;
};
// The control `id` of a dialog window (created empty on first use).
DialogControl& DialogItem(HWND dialog, int id);

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
// Templates of the modal runs so far, in order.
const std::vector<UINT>& DialogsShown();
// CDynLinkLibrary objects in MFC's resource chain.
size_t DynLinkLibraryCount();
// Calls that MFC's debug build would assert on, since the reset.
const std::vector<std::wstring>& MfcMisuses();

}  // namespace standin
