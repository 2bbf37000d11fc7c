// Host SDK stand-in: printing on the host's command line.
#pragma once

#include <string>

#include "windows.h"

// Formats with the Microsoft wide rules and appends to the command line.
int gcutPrintf(const wchar_t* fmt, ...);

namespace standin {
// Everything printed on the command line since the machine was reset.
const std::wstring& CommandLineText();
void ClearCommandLine();
}  // namespace standin
