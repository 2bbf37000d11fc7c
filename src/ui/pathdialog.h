// The folder chooser: the shell's folder browser with an edit box in which
// the user may also type or paste a path.
#pragma once

#include "afxstr.h"

// OK in the browser accepts the edit box's text only when it is the full
// path of an existing folder: not empty, not a file, not a missing folder,
// not relative (it would be taken against whatever the current folder is),
// and short enough for the browser's path buffer of MAX_PATH characters,
// since a longer text would be cut to another path.
bool PathDialogAcceptsFolder(const CString& typed);
