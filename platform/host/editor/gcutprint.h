// Host SDK stand-in: printing on the host's command line.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

// Formats with the Microsoft wide rules and appends to the command line.
int gcutPrintf(const wchar_t* fmt, ...);

namespace standin {
// Everything printed on the command line since the machine was reset.
const std::wstring& CommandLineText();
void ClearCommandLine();
// Places in CommandLineText where a transcript starts a new line: where a
// command starts and ends and where each printed message starts (a
// plug-in's messages printed without line breaks then stand on lines of
// their own).
const std::vector<size_t>& CommandLineBreaks();
void BreakCommandLine();
}  // namespace standin
