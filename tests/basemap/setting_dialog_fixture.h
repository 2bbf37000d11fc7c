// The options dialog run once with a scripted user, for the tests of the
// dialog itself and of the toolbar that opens it.
#pragma once

#include <functional>

#include "../ui/dialog_fixture.h"
#include "basemap/dlgsetting.h"
#include "dialog_control.h"

class SettingDialogTest : public DialogFixture {
protected:
    // Runs the dialog once; `act` plays the user and returns the button.
    INT_PTR Run(std::function<int(HWND)> act)
    {
        standin::QueueDialogAnswer(CDlgSetting::IDD, std::move(act));
        CDlgSetting dialog;
        return dialog.DoModal();
    }
    static standin::DialogControl& Item(HWND d, int id) { return standin::DialogItem(d, id); }
};
