// The contour dialog and the cross-section settings dialog, run headless
// from their templates with scripted answers.
#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "plugin_state.h"
#include "section/crosssetting.h"
#include "section/dlgcontour.h"
#include "ui/helppages.h"
#include "window_control.h"

namespace {

class SectionDialogTest : public testing::Test {
protected:
    void SetUp() override { velktest::ResetPluginState(); }
    void TearDown() override { velktest::ResetPluginState(); }
};

std::wstring Caption(HWND dlg)
{
    wchar_t buf[64] = {};
    GetWindowTextW(dlg, buf, 64);
    return buf;
}

void Click(HWND dlg, int id) { SendMessageW(dlg, WM_COMMAND, (WPARAM)id, 0); }

TEST_F(SectionDialogTest, ContourDialogOffersLevelsFiveToTwelveAndDefaultsToTwelveAndTen)
{
    std::wstring caption, shownLevel;
    std::vector<std::wstring> levels, precisions;
    int rectangleChecked = -1;
    standin::QueueDialogAnswer(CDlg_Contour::IDD, [&](HWND dlg) {
        caption = Caption(dlg);
        levels = standin::DialogItem(dlg, 8143).items;
        shownLevel = standin::DialogItem(dlg, 8143).text;
        precisions = standin::DialogItem(dlg, 8213).items;
        rectangleChecked = standin::DialogItem(dlg, 8214).check;
        return IDOK;
    });
    CDlg_Contour unchanged;
    ASSERT_EQ(unchanged.DoModal(), IDOK);
    EXPECT_EQ(caption, L"下载等高线");
    EXPECT_EQ(levels, (std::vector<std::wstring>{L"5级", L"6级", L"7级", L"8级", L"9级", L"10级", L"11级", L"12级"}));
    EXPECT_EQ(shownLevel, L"12级");
    EXPECT_EQ(precisions, (std::vector<std::wstring>{L"10", L"50", L"100"}));
    EXPECT_EQ(rectangleChecked, 1);
    EXPECT_EQ(unchanged.level, 12);
    EXPECT_EQ(unchanged.precision, 10);
    EXPECT_EQ(unchanged.rangeMode, 0);

    // The first row, a precision from the list, the entity option.
    standin::QueueDialogAnswer(CDlg_Contour::IDD, [](HWND dlg) {
        standin::DialogItem(dlg, 8143).selection = 0;
        standin::DialogItem(dlg, 8213).text = L"100";
        standin::DialogItem(dlg, 8214).check = 0;
        standin::DialogItem(dlg, 8215).check = 1;
        return IDOK;
    });
    CDlg_Contour changed;
    ASSERT_EQ(changed.DoModal(), IDOK);
    EXPECT_EQ(changed.level, 5);
    EXPECT_EQ(changed.precision, 100);
    EXPECT_EQ(changed.rangeMode, 1);
    EXPECT_TRUE(standin::MessageBoxes().empty());
}

TEST_F(SectionDialogTest, ContourDialogKeepsItselfOpenUntilThePrecisionIsAPositiveInteger)
{
    std::vector<std::wstring> afterRefusal;
    standin::QueueDialogAnswer(CDlg_Contour::IDD, [&](HWND dlg) {
        for (const wchar_t* typed : {L"0", L"-5", L"", L"abc"}) {
            standin::DialogItem(dlg, 8213).text = typed;
            Click(dlg, IDOK);
            afterRefusal.push_back(standin::DialogItem(dlg, 8213).text);
        }
        standin::DialogItem(dlg, 8213).text = L"25米";
        return IDOK;
    });
    CDlg_Contour dialog;
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.precision, 25);
    EXPECT_EQ(afterRefusal, (std::vector<std::wstring>{L"10", L"10", L"10", L"10"}));
    ASSERT_EQ(standin::MessageBoxes().size(), 4u);
    for (auto& box : standin::MessageBoxes()) EXPECT_EQ(box.text, L"请输入一个大于0的整数！");

    // Leading blanks and a sign are read; a value beyond 32 bits stays positive.
    EXPECT_EQ(ParsePrecisionText(L"  +7"), 7);
    EXPECT_EQ(ParsePrecisionText(L"99999999999"), 2147483647);
    EXPECT_LT(ParsePrecisionText(L"-99999999999"), 1);
}

TEST_F(SectionDialogTest, ContourDialogOpensOnAPresetEntityOptionAndExplainsTheDownload)
{
    int entityChecked = -1, rectangleChecked = -1;
    standin::QueueDialogAnswer(CDlg_Contour::IDD, [&](HWND dlg) {
        entityChecked = standin::DialogItem(dlg, 8215).check;
        rectangleChecked = standin::DialogItem(dlg, 8214).check;
        Click(dlg, 8216);
        return IDCANCEL;
    });
    std::wstring helpTitle, helpText;
    standin::QueueDialogAnswer(8219, [&](HWND dlg) {
        helpTitle = Caption(dlg);
        helpText = standin::DialogItem(dlg, 8217).text;
        return IDOK;
    });
    CDlg_Contour dialog;
    dialog.rangeMode = 1;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(entityChecked, 1);
    EXPECT_EQ(rectangleChecked, 0);
    EXPECT_EQ(helpTitle, L"如何在Velk中下载高程数据");
    EXPECT_EQ(helpText.rfind(L"方法一：\r\n", 0), 0u);
    EXPECT_NE(helpText.find(L"【高程数据管理】"), std::wstring::npos);
    EXPECT_EQ(standin::DialogsShown(), (std::vector<UINT>{8218, 8219}));
}

TEST_F(SectionDialogTest, CrossSettingStartsWithARectangleOrTheWholeDrawing)
{
    std::wstring caption;
    standin::QueueDialogAnswer(CCrossSetting::IDD, [&](HWND dlg) {
        caption = Caption(dlg);
        return IDOK;
    });
    CCrossSetting unchanged;
    ASSERT_EQ(unchanged.DoModal(), IDOK);
    EXPECT_EQ(caption, L"断面设置");
    EXPECT_EQ(unchanged.orientation, 0);
    EXPECT_EQ(unchanged.swapEnds, 0);
    EXPECT_EQ(unchanged.useRectangle, 1);

    standin::QueueDialogAnswer(CCrossSetting::IDD, [](HWND dlg) {
        standin::DialogItem(dlg, 8192).check = 0;
        standin::DialogItem(dlg, 8195).check = 1;
        standin::DialogItem(dlg, 8358).check = 1;
        return 8201;
    });
    CCrossSetting whole;
    ASSERT_EQ(whole.DoModal(), IDOK);
    EXPECT_EQ(whole.orientation, 3);
    EXPECT_EQ(whole.swapEnds, 1);
    EXPECT_EQ(whole.useRectangle, 0);

    // A preset orientation is the one checked when the dialog opens.
    int checked[4] = {};
    standin::QueueDialogAnswer(CCrossSetting::IDD, [&](HWND dlg) {
        for (int i = 0; i < 4; ++i) checked[i] = standin::DialogItem(dlg, 8192 + i).check;
        return IDOK;
    });
    CCrossSetting preset;
    preset.orientation = 2;
    ASSERT_EQ(preset.DoModal(), IDOK);
    EXPECT_EQ(checked[0] + checked[1] + checked[3], 0);
    EXPECT_EQ(checked[2], 1);
    EXPECT_EQ(preset.orientation, 2);
}

TEST_F(SectionDialogTest, CrossSettingCancelsAndOpensTheVideoWithoutEnding)
{
    standin::QueueDialogAnswer(CCrossSetting::IDD, [](HWND dlg) {
        Click(dlg, 8199);
        return IDCANCEL;
    });
    CCrossSetting dialog;
    dialog.useRectangle = 7;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.useRectangle, 7);
    ASSERT_EQ(standin::ShellExecutes().size(), 1u);
    EXPECT_EQ(standin::ShellExecutes()[0].verb, L"open");
    EXPECT_EQ(standin::ShellExecutes()[0].file, kSectionVideoPage);
}

}  // namespace
