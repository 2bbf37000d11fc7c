#include <gtest/gtest.h>

#include <windows.h>

#include "standin_control.h"
#include "test_support.h"
#include "ui/pathdialog.h"

TEST(PathDialog, OkAcceptsOnlyTheFullPathOfAnExistingFolder)
{
    velktest::WriteNativeFile(standin::NativePath(L"C:\\地图缓存\\tiles.dat"), "x");
    EXPECT_TRUE(PathDialogAcceptsFolder(L"C:\\地图缓存"));
    EXPECT_TRUE(PathDialogAcceptsFolder(L"C:\\地图缓存\\"));
    EXPECT_TRUE(PathDialogAcceptsFolder(L"C:\\Temp"));

    EXPECT_FALSE(PathDialogAcceptsFolder(L"C:\\地图缓存\\tiles.dat"));  // a file
    EXPECT_FALSE(PathDialogAcceptsFolder(L"C:\\地图缓存\\missing"));
    EXPECT_FALSE(PathDialogAcceptsFolder(L"D:\\"));
    EXPECT_FALSE(PathDialogAcceptsFolder(L""));
    EXPECT_FALSE(PathDialogAcceptsFolder(L"地图缓存"));  // relative
    EXPECT_FALSE(PathDialogAcceptsFolder(L"C:"));
    EXPECT_FALSE(PathDialogAcceptsFolder(L"C:地图缓存"));

    // a folder whose path does not fit the browser's buffer
    CString deep = L"C:\\Temp";
    while (deep.GetLength() < MAX_PATH + 5) deep += L"\\folder";
    velktest::WriteNativeFile(standin::NativePath((deep + L"\\f.txt").GetString()), "x");
    ASSERT_TRUE(velktest::NativeExists(standin::NativePath(deep.GetString())));
    EXPECT_FALSE(PathDialogAcceptsFolder(deep));
    CString shorter = deep.Left(200);
    shorter = shorter.Left(shorter.ReverseFind(L'\\'));
    EXPECT_TRUE(PathDialogAcceptsFolder(shorter)) << shorter.GetString();
}
