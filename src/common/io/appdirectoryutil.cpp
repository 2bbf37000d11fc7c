#include "common/io/appdirectoryutil.h"

#include <vector>

namespace {

// The module's full path, however long: the buffer grows until the path fits.
CString ModulePath(HMODULE module)
{
    std::vector<WCHAR> buf(256);
    while (true) {
        DWORD n = GetModuleFileNameW(module, buf.data(), (DWORD)buf.size());
        if (n == 0) return CString();
        if (n < buf.size()) return CString(buf.data());
        buf.resize(buf.size() * 2);
    }
}

CString CutAtLastBackslash(const CString& path)
{
    int pos = path.ReverseFind(L'\\');
    return pos < 0 ? path : path.Left(pos);
}

}  // namespace

CString CAppDirectoryUtil::GetModuleFolder(HMODULE module) { return CutAtLastBackslash(ModulePath(module)); }

CString CAppDirectoryUtil::GetParentFolder(HMODULE module)
{
    return CutAtLastBackslash(CutAtLastBackslash(ModulePath(module)));
}
