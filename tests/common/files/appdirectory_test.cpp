// Module folders of paths of any length.
#include <gtest/gtest.h>

#include <string>

#include "common/io/appdirectoryutil.h"
#include "machine_control.h"

namespace {

// A module path of exactly `length` characters whose file name is
// "velk.grx", below a chain of folders named "d...".
std::wstring ModulePathOfLength(size_t length, std::wstring& folder)
{
    folder = L"C:\\plugins";
    const std::wstring file = L"\\velk.grx";
    while (folder.size() + file.size() < length) {
        size_t room = length - folder.size() - file.size();
        folder += room > 20 ? L"\\dddddddddddddddddd" : L"\\" + std::wstring(room - 1, L'd');
    }
    return folder + file;
}

}  // namespace

TEST(AppDirectory, ModuleFoldersOfLongPathsAreWhole)
{
    // Around the first buffer's size, and well beyond the 260 of old paths.
    for (size_t length : {255u, 256u, 257u, 300u, 1100u}) {
        std::wstring folder;
        std::wstring path = ModulePathOfLength(length, folder);
        ASSERT_EQ(path.size(), length);
        standin::SetModulePath(path);
        EXPECT_EQ(CAppDirectoryUtil::GetModuleFolder(standin::ModuleHandle()), folder.c_str()) << length;
        EXPECT_EQ(CAppDirectoryUtil::GetParentFolder(standin::ModuleHandle()),
                  folder.substr(0, folder.rfind(L'\\')).c_str())
            << length;
    }
}
