// The folder of a module file and the folder above it.
#pragma once

#include "afxstr.h"
#include "windows.h"

class CAppDirectoryUtil {
public:
    CAppDirectoryUtil() = default;
    virtual ~CAppDirectoryUtil() = default;

    // The module's full path without its last backslash and file name.
    static CString GetModuleFolder(HMODULE module);
    // The folder above the module's folder.
    static CString GetParentFolder(HMODULE module);
};
