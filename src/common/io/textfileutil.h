// Saving lines to a text file and loading them back.
#pragma once

#include <vector>

#include "afxstr.h"

class CTextFileUtil {
public:
    CTextFileUtil() = default;
    virtual ~CTextFileUtil() = default;

    // Creates or truncates the file and writes each line followed by a line
    // end; false when the file cannot be created or written.
    static bool Save(const wchar_t* fileName, const std::vector<CString>& lines);
    // Replaces lines with the file's lines, without their line ends; false
    // (lines empty) when the file cannot be opened or read.
    static bool Load(const wchar_t* fileName, std::vector<CString>& lines);
};
