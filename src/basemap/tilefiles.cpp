#include "basemap/tilefiles.h"

#include <vector>

#include "base/basefile.h"
#include "state/peerhelpers.h"
#include "windows.h"

namespace {

std::vector<char> Utf8Path(const CString& path)
{
    std::vector<char> utf8((size_t)path.GetLength() * 4 + 1);
    CStringToUtf8Buf(path, utf8.data(), (int)utf8.size(), 0);
    return utf8;
}

bool EndsWithPng(const CString& name)
{
    return name.GetLength() >= 3 && name.Right(3).CompareNoCase(L"png") == 0;
}

}  // namespace

void ForEachCachedTileFile(const CString& folder, int depth, const std::function<void(const CString&)>& visit)
{
    CString base = folder;
    if (base.IsEmpty()) return;
    if (base[base.GetLength() - 1] != L'\\') base += L"\\";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(base + L"*.*", &found);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<CString> subfolders;
    do {
        CString name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(base + name);
        } else if (EndsWithPng(name)) {
            visit(base + name);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    if (depth > 0)
        for (const CString& sub : subfolders) ForEachCachedTileFile(sub, depth - 1, visit);
}

int32_t PathFileSize(const CString& path) { return GetFileSizeUtf8(Utf8Path(path).data()); }

void DeletePathFile(const CString& path) { DeleteFileUtf8(Utf8Path(path).data()); }
