#include <gtest/gtest.h>

#include <windows.h>

#include "dialog_control.h"
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

namespace {

class FolderChooserTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::WriteNativeFile(standin::NativePath(L"C:\\maps\\old\\a.txt"), "x");
        velktest::WriteNativeFile(standin::NativePath(L"C:\\maps\\new\\a.txt"), "x");
    }
    static standin::DialogControl& Item(HWND browser, int id) { return standin::DialogItem(browser, id); }
};

TEST_F(FolderChooserTest, TheBrowserOpensOnTheInitialFolderWithTheEditBoxAboveTheTree)
{
    std::wstring caption, typed, status;
    bool okEnabled = false, labelShown = true, editShown = false;
    standin::QueueFolderBrowse([&](HWND browser) {
        wchar_t text[64] = {};
        GetWindowTextW(browser, text, 64);
        caption = text;
        typed = Item(browser, 14148).text;
        status = Item(browser, 14146).text;
        okEnabled = Item(browser, IDOK).enabled;
        labelShown = Item(browser, 14147).visible;
        editShown = Item(browser, 14148).visible;
        standin::ClickDialogItem(browser, IDOK);
    });
    CPathDialog chooser(L"文件夹选择", L"选择要打开的地图临时路径", L"C:\\maps\\old");
    EXPECT_EQ(chooser.DoModal(), 1);
    EXPECT_EQ(caption, L"文件夹选择");
    EXPECT_EQ(typed, L"C:\\maps\\old");
    EXPECT_EQ(status, L"C:\\maps\\old");
    EXPECT_TRUE(okEnabled);
    EXPECT_FALSE(labelShown);
    EXPECT_TRUE(editShown);
    EXPECT_EQ(chooser.GetPath(), L"C:\\maps\\old");
    EXPECT_EQ(chooser.m_hWnd, nullptr);

    // Without an initial folder the browser starts at the current one.
    WCHAR current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    standin::QueueFolderBrowse([&](HWND browser) { typed = Item(browser, 14148).text; });
    CPathDialog plain(nullptr, nullptr, nullptr);
    EXPECT_EQ(plain.DoModal(), -1);
    EXPECT_EQ(CString(plain.initialPath), CString(current));
    EXPECT_EQ(typed, current);
}

TEST_F(FolderChooserTest, OkFollowsTheEditBoxAndAVirtualItemDisablesIt)
{
    std::vector<bool> enabled;
    std::vector<bool> openAfterOk;
    int focus = 0;
    standin::QueueFolderBrowse([&](HWND browser) {
        standin::SelectBrowserFolder(browser, L"");  // a virtual item
        enabled.push_back(Item(browser, IDOK).enabled);
        EXPECT_EQ(Item(browser, 14148).text, L"");
        standin::ClickDialogItem(browser, IDOK);  // disabled: nothing happens
        openAfterOk.push_back(!standin::FolderBrowserEnded(browser));
        standin::TypeIntoDialogItem(browser, 14148, L"C");
        enabled.push_back(Item(browser, IDOK).enabled);
        standin::ClickDialogItem(browser, IDOK);  // no such folder
        openAfterOk.push_back(!standin::FolderBrowserEnded(browser));
        focus = standin::DialogFocus(browser);
        standin::TypeIntoDialogItem(browser, 14148, L"C:\\maps\\old\\a.txt");  // a file
        standin::ClickDialogItem(browser, IDOK);
        openAfterOk.push_back(!standin::FolderBrowserEnded(browser));
        standin::TypeIntoDialogItem(browser, 14148, L"");
        enabled.push_back(Item(browser, IDOK).enabled);
        standin::SelectBrowserFolder(browser, L"C:\\maps");
        standin::TypeIntoDialogItem(browser, 14148, L"C:\\maps\\new");
        standin::ClickDialogItem(browser, IDOK);
        openAfterOk.push_back(!standin::FolderBrowserEnded(browser));
    });
    CPathDialog chooser(L"文件夹选择", L"提示", L"C:\\maps\\old");
    EXPECT_EQ(chooser.DoModal(), 1);
    EXPECT_EQ(enabled, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(openAfterOk, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(focus, CPathDialog::kPathEdit);
    // The typed folder, not the tree's selection.
    EXPECT_EQ(chooser.GetPath(), L"C:\\maps\\new");
}

TEST_F(FolderChooserTest, CancelGivesMinusOneAndKeepsTheLastTextAndALongTextIsNotCut)
{
    standin::QueueFolderBrowse([](HWND browser) {
        standin::TypeIntoDialogItem(browser, 14148, L"C:\\maps\\ne");
        standin::ClickDialogItem(browser, IDCANCEL);
    });
    CPathDialog chooser(L"c", L"p", L"C:\\maps\\old");
    EXPECT_EQ(chooser.DoModal(), -1);
    EXPECT_EQ(chooser.GetPath(), L"C:\\maps\\ne");

    // The buffer would hold an existing folder's path, the text is longer.
    std::wstring folder = L"C:\\maps\\new";
    while (folder.size() < MAX_PATH - 1) folder += L"x";
    velktest::WriteNativeFile(standin::NativePath(folder.substr(0, MAX_PATH - 1) + L"\\a.txt"), "x");
    bool open = false;
    standin::QueueFolderBrowse([&](HWND browser) {
        standin::TypeIntoDialogItem(browser, 14148, folder.substr(0, MAX_PATH - 1) + L"zz");
        standin::ClickDialogItem(browser, IDOK);
        open = !standin::FolderBrowserEnded(browser);
    });
    CPathDialog longer(L"c", L"p", L"C:\\maps\\old");
    EXPECT_EQ(longer.DoModal(), -1);
    EXPECT_TRUE(open);
}

}  // namespace
