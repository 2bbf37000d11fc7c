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

// The window class and caption a dialog template gives its window ("#32770"
// and no caption for templates not set).
void SetDialogTemplate(UINT templateId, const std::wstring& className, const std::wstring& caption);

// The next modal run of the template calls the script with the dialog window
// after OnInitDialog; the script may change the controls and returns the
// button pressed (IDOK, IDCANCEL, ...).
using DialogScript = std::function<int(HWND dialog)>;
void QueueDialogAnswer(UINT templateId, DialogScript script);
// Templates of the modal runs so far, in order.
const std::vector<UINT>& DialogsShown();
// CDynLinkLibrary objects in MFC's resource chain.
size_t DynLinkLibraryCount();

}  // namespace standin
