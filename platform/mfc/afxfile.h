// MFC stand-in: files and MFC's file exceptions.
//
// CStdioFile in text mode writes "\n" as CR LF and reads CR LF back as "\n";
// text on disk is in the ANSI code page, as the runtime's text mode does in a
// wide build. Failures throw a heap CFileException*, which the catcher
// releases with Delete().
#pragma once

#include <cstdio>

#include "afxstr.h"
#include "windows.h"

class CException {
public:
    virtual ~CException() = default;
    // Frees the exception object (MFC exceptions are thrown by pointer).
    void Delete() { delete this; }
};

class CFileException : public CException {
public:
    enum { none = 0, genericException = 1, fileNotFound = 2, badPath = 3, accessDenied = 5, endOfFile = 14 };
    CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : L"")
    {
    }
    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

void AfxThrowFileException(int cause, LONG osError = -1, LPCWSTR fileName = nullptr);

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x2000,
        modeCreate = 0x1000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
};

class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    // Opens or throws CFileException*.
    CStdioFile(LPCWSTR fileName, UINT openFlags);
    ~CStdioFile();
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // FALSE on failure; the cause goes into the exception record when given.
    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    // Throws CFileException* when the file cannot be written.
    void WriteString(LPCWSTR text);
    // The next line without its line end; FALSE at the end of the file.
    BOOL ReadString(CString& line);
    void Close();

private:
    FILE* f_ = nullptr;
    bool text_ = true;
    CString name_;
};
