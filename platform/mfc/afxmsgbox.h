// MFC stand-in: message boxes. Nothing is shown: each box is recorded, and
// its answer is taken from answers queued by the test or the stand-in host
// (the default button when none is queued).
#pragma once

#include <string>
#include <vector>

#include "windows.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);

namespace standin {

struct MessageBoxRecord {
    std::wstring text;
    UINT type;
    int answer;
};

// Answers for the next boxes, in order.
void QueueMessageBoxAnswer(int answer);
const std::vector<MessageBoxRecord>& MessageBoxes();
// Forgets the boxes shown so far (a long run of fuzz inputs).
void ClearMessageBoxes();
// Called while a box is "open", as a modal loop would run posted messages
// and timers; the stand-in window manager installs it.
void SetModalLoopHook(void (*hook)());

}  // namespace standin
