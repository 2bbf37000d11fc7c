#include "image/pxfileaccess.h"

#include <string>

#include "standin_control.h"

// Until the runtime offers _wfopen and _wremove, the Windows path is mapped
// to the machine's own and opened with the narrow calls.
FILE* PxOpenFile(const wchar_t* path, const wchar_t* mode)
{
    if (!path || !mode) return nullptr;
    std::string narrowMode;
    for (const wchar_t* m = mode; *m; ++m) narrowMode += (char)*m;
    return fopen(standin::NativePath(path).c_str(), narrowMode.c_str());
}

bool PxRemoveFile(const wchar_t* path)
{
    return path && remove(standin::NativePath(path).c_str()) == 0;
}
