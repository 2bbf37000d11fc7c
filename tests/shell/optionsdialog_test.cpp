// The options dialog as the toolbar opens it.
#include "../basemap/setting_dialog_fixture.h"
#include "shell/actoolbarwnd.h"
#include "toolbar_control.h"
#include "ui/helppages.h"
#include "window_control.h"

namespace {

const int kCache = 8139;

TEST_F(SettingDialogTest, TheToolbarOpensItWithTheModulesTemplateThoughTheHostHasOneOfTheSameId)
{
    AddHostTemplate(CDlgSetting::IDD, L"主机的对话框");
    ASSERT_TRUE(CreateToolBarWnd());
    const HINSTANCE before = AfxGetResourceHandle();
    std::wstring caption;
    std::wstring cacheShown;
    standin::QueueDialogAnswer(CDlgSetting::IDD, [&](HWND d) {
        wchar_t text[32] = {};
        GetWindowTextW(d, text, 32);
        caption = text;
        cacheShown = Item(d, kCache).text;
        return IDCANCEL;
    });
    ASSERT_TRUE(standin::ClickToolBarButton(GetToolBarWnd()->toolBar->GetSafeHwnd(), 32773));
    EXPECT_EQ(caption, L"设置");
    EXPECT_EQ(cacheShown, g_cacheRoot.str());
    EXPECT_EQ(AfxGetResourceHandle(), before);

    // "视频教程" opens the tutorial page and leaves the dialog open.
    const size_t launched = standin::ShellExecutes().size();
    bool open = false;
    EXPECT_EQ(Run([&](HWND d) {
                  standin::ClickDialogItem(d, 8325);
                  open = IsWindow(d);
                  return IDCANCEL;
              }),
              IDCANCEL);
    ASSERT_EQ(standin::ShellExecutes().size(), launched + 1);
    EXPECT_EQ(standin::ShellExecutes().back().verb, L"open");
    EXPECT_EQ(standin::ShellExecutes().back().file, kVideoTutorialPage);
    EXPECT_EQ(standin::ShellExecutes().back().show, SW_SHOWNORMAL);
    EXPECT_TRUE(open);
}

}  // namespace
