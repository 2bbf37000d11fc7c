// Small helpers of the peer link's callers.
#pragma once

#include "afxstr.h"

// The user's local application-data folder in short form; empty when it
// cannot be found.
CString GetSpecialFolderPath();
