// Splitting and joining strings, numbers and narrow text to CString.
#pragma once

#include <vector>

#include "afxstr.h"

class CStringUtil {
public:
    CStringUtil() = default;
    virtual ~CStringUtil() = default;

    // Appends the pieces of the text (trailing blanks removed) between the
    // separators; empty pieces only when keepEmpty. An empty separator
    // counts as absent.
    static void Split(const CString& text, const wchar_t* separator, std::vector<CString>& pieces, bool keepEmpty);
    // The items, each followed by the separator, without the last one.
    static CString Join(const std::vector<CString>& items, const wchar_t* separator);
    static CString IntToString(int value);
    // Six decimals.
    static CString DoubleToString(double value);
    // Narrow text in the ANSI code page.
    static CString AnsiToCString(const char* text);
    static float ToFloat(CString text);
};
