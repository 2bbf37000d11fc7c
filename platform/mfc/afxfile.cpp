#include "afxfile.h"

#include <cerrno>
#include <string>

#include "win32_file.h"

namespace {

int CauseOf(int err)
{
    switch (err) {
    case ENOENT: return CFileException::fileNotFound;
    case EACCES:
    case EPERM: return CFileException::accessDenied;
    case ENOTDIR: return CFileException::badPath;
    default: return CFileException::genericException;
    }
}

}  // namespace

void AfxThrowFileException(int cause, LONG osError, LPCWSTR fileName)
{
    throw new CFileException(cause, osError, fileName);
}

CStdioFile::CStdioFile(LPCWSTR fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, fileName);
}

CStdioFile::~CStdioFile()
{
    if (f_) fclose(f_);
}

BOOL CStdioFile::Open(LPCWSTR fileName, UINT flags, CFileException* error)
{
    Close();
    const wchar_t* mode = L"rb";
    if (flags & (modeWrite | modeReadWrite)) {
        bool keep = !(flags & modeCreate) || (flags & modeNoTruncate);
        if (keep) {
            FILE* probe = _wfopen(fileName, L"rb");
            if (probe) fclose(probe);
            mode = probe || !(flags & modeCreate) ? L"r+b" : L"w+b";
        } else {
            mode = L"w+b";
        }
    }
    errno = 0;
    f_ = fileName ? _wfopen(fileName, mode) : nullptr;
    if (!f_) {
        if (error) *error = CFileException(CauseOf(errno), errno, fileName);
        return FALSE;
    }
    text_ = !(flags & typeBinary);
    name_ = fileName;
    return TRUE;
}

void CStdioFile::WriteString(LPCWSTR text)
{
    std::wstring t = text ? text : L"";
    std::string bytes;
    size_t start = 0;
    while (start <= t.size()) {
        size_t nl = t.find(L'\n', start);
        std::wstring piece = t.substr(start, nl == std::wstring::npos ? std::wstring::npos : nl - start);
        if (!piece.empty()) {
            int n = WideCharToMultiByte(CP_ACP, 0, piece.c_str(), (int)piece.size(), nullptr, 0, nullptr, nullptr);
            std::string mb((size_t)n, '\0');
            WideCharToMultiByte(CP_ACP, 0, piece.c_str(), (int)piece.size(), &mb[0], n, nullptr, nullptr);
            bytes += mb;
        }
        if (nl == std::wstring::npos) break;
        bytes += text_ ? "\r\n" : "\n";
        start = nl + 1;
    }
    if (!f_ || fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size())
        AfxThrowFileException(CFileException::genericException, errno, name_);
}

BOOL CStdioFile::ReadString(CString& line)
{
    line.Empty();
    if (!f_) AfxThrowFileException(CFileException::genericException, -1, name_);
    std::string bytes;
    int c;
    bool any = false;
    while ((c = fgetc(f_)) != EOF) {
        if (text_ && c == 0x1A) break;  // end of file in text mode
        any = true;
        if (c == '\n') break;
        bytes += (char)c;
    }
    if (!any) return FALSE;
    if (text_ && !bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    if (!bytes.empty()) {
        int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
        std::wstring w((size_t)n, L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &w[0], n);
        line = w.c_str();
    }
    return TRUE;
}

void CStdioFile::Close()
{
    if (f_) fclose(f_);
    f_ = nullptr;
}
