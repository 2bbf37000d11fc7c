// The hint and message dialogs, run headless with scripted answers.
#include <gtest/gtest.h>

#include "dialog_control.h"
#include "plugin_state.h"
#include "ui/hintdialogs.h"

namespace {

class DialogTest : public testing::Test {
protected:
    void SetUp() override { velktest::ResetPluginState(); }
    void TearDown() override { velktest::ResetPluginState(); }
};

TEST_F(DialogTest, TheHintShowsItsTextsAndKeepsTheCheckBoxAfterEitherButton)
{
    std::wstring title, check, text;
    standin::QueueDialogAnswer(8353, [&](HWND dlg) {
        wchar_t buf[64] = {};
        GetWindowTextW(dlg, buf, 64);
        title = buf;
        check = standin::DialogItem(dlg, 8351).text;
        text = standin::DialogItem(dlg, 8137).text;
        standin::DialogItem(dlg, 8351).check = 1;
        return IDCANCEL;
    });
    CDlgHint hint;
    hint.m_strText = L"正文";
    EXPECT_EQ(hint.DoModal(), IDCANCEL);
    EXPECT_EQ(hint.m_bNoMore, 1);
    EXPECT_EQ(title, L"更新提示");
    EXPECT_EQ(check, L"不再提示(不更新)");
    EXPECT_EQ(text, L"正文");

    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
    CDlgHint plain;
    EXPECT_EQ(plain.DoModal(), IDOK);
    EXPECT_EQ(plain.m_bNoMore, 0);
}

TEST_F(DialogTest, TheMessageEndsWithOkWhicheverButtonIsUsed)
{
    standin::QueueDialogAnswer(8314, [](HWND) { return 8354; });
    CDlgMsg noMore;
    noMore.m_strText = L"忽略的对象";
    EXPECT_EQ(noMore.DoModal(), IDOK);
    EXPECT_EQ(noMore.m_bNoMore, 1);
    standin::QueueDialogAnswer(8314, [](HWND dlg) {
        return standin::DialogItem(dlg, 8138).text == L"x" ? IDOK : IDCANCEL;
    });
    CDlgMsg ok;
    ok.m_strText = L"x";
    EXPECT_EQ(ok.DoModal(), IDOK);
    EXPECT_EQ(ok.m_bNoMore, 0);
}

TEST_F(DialogTest, ShownTextAndHelpCarryTheirTexts)
{
    std::wstring title, shown;
    standin::QueueDialogAnswer(8219, [&](HWND dlg) {
        wchar_t buf[64] = {};
        GetWindowTextW(dlg, buf, 64);
        title = buf;
        shown = standin::DialogItem(dlg, 8217).text;
        return IDOK;
    });
    CDlgShowMSg message;
    message.m_strTitle = L"说明";
    message.m_strText = L"等高线的精度";
    EXPECT_EQ(message.DoModal(), IDOK);
    EXPECT_EQ(title, L"说明");
    EXPECT_EQ(shown, L"等高线的精度");

    std::wstring help, caption;
    standin::QueueDialogAnswer(8134, [&](HWND dlg) {
        wchar_t buf[64] = {};
        GetWindowTextW(dlg, buf, 64);
        caption = buf;
        help = standin::DialogItem(dlg, 8326).text;
        return IDOK;
    });
    CDlgHelp dialog;
    dialog.DoModal();
    EXPECT_EQ(caption, L"VelkArx使用帮助");
    EXPECT_EQ(help.rfind(L"VelkArx插件（V1.6.2）", 0), 0u);
}

}  // namespace
