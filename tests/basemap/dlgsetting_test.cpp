// The options dialog: what it shows, what OK and reset store, the follow
// mode it tells the peer, and the cache root it moves.
#include "setting_dialog_fixture.h"
#include "editor_control.h"
#include "machine_control.h"
#include "ui/helppages.h"
#include "window_control.h"

namespace {

const int kFollow = 8135, kTextLevel = 8127, kMaxLevel = 8330, kCache = 8139, kIcons = 8191, kDoubleClick = 8355;

TEST_F(SettingDialogTest, OpeningShowsTheRecordAndRoundsTheKeptValueInMemoryOnly)
{
    g_settings.textLevelMetres = 100;  // no row has it
    g_settings.followMode = 3;
    g_settings.doubleClickProperties = 2;  // only 1 counts as on
    g_settings.colourByLayer = 5;          // any non-zero counts
    g_settings.roundedValue = 1049;
    g_settings.maxBaseMapLevel = 23;
    SaveSettings();
    g_settings.roundedValue = 1050;
    std::wstring cache;
    int textRow = -1, followRow = -1, dbl = -1, colour = -1;
    size_t textRows = 0;
    std::wstring maxLevel;
    EXPECT_EQ(Run([&](HWND d) {
                  textRow = Item(d, kTextLevel).selection;
                  textRows = Item(d, kTextLevel).items.size();
                  followRow = Item(d, kFollow).selection;
                  dbl = Item(d, kDoubleClick).check;
                  colour = Item(d, 8332).check;
                  maxLevel = Item(d, kMaxLevel).text;
                  cache = Item(d, kCache).text;
                  return IDCANCEL;
              }),
              IDCANCEL);
    EXPECT_EQ(textRow, 2);
    EXPECT_EQ(textRows, 7u);
    EXPECT_EQ(followRow, 3);
    EXPECT_EQ(dbl, 0);
    EXPECT_EQ(colour, 1);
    EXPECT_EQ(maxLevel, L"23");
    EXPECT_EQ(cache, g_cacheRoot.str());
    EXPECT_EQ(g_settings.roundedValue, 1100);
    EXPECT_EQ(SavedSettings().roundedValue, 1049);
    EXPECT_TRUE(PeerCodes().empty());

    EXPECT_EQ(RoundToHundred(1049), 1000);
    EXPECT_EQ(RoundToHundred(INT32_MAX), 2147483600);
    // Below zero too, to the nearest multiple, halves upward.
    EXPECT_EQ(RoundToHundred(-170), -200);
    EXPECT_EQ(RoundToHundred(-150), -100);
    EXPECT_EQ(RoundToHundred(-130), -100);
    EXPECT_EQ(RoundToHundred(INT32_MIN), -2147483600);
}

TEST_F(SettingDialogTest, LevelsOutsideSixteenToTwentyEightKeepTheDialogOpen)
{
    const PluginSettings before = g_settings;
    // 2^32 + 16 does not fit an int: it must not come out as 16.
    for (const wchar_t* level : {L"15", L"29", L"abc", L"4294967312", L"-4294967280"}) {
        standin::QueueDialogAnswer(CDlgSetting::IDD, [&](HWND d) {
            Item(d, kMaxLevel).text = level;
            Item(d, kFollow).selection = 2;
            SendMessageW(d, WM_COMMAND, IDOK, 0);
            // Still open: the user can correct the level.
            EXPECT_TRUE(IsWindow(d));
            return IDCANCEL;
        });
        CDlgSetting dialog;
        EXPECT_EQ(dialog.DoModal(), IDCANCEL) << level;
        EXPECT_EQ(LastBox(), L"底图最大级别请设置在16-28之间！");
    }
    EXPECT_EQ(memcmp(&before, &g_settings, sizeof before), 0);
    EXPECT_TRUE(PeerCodes().empty());
    for (const wchar_t* level : {L"16", L"28"})
        EXPECT_EQ(Run([&](HWND d) {
                      Item(d, kMaxLevel).text = level;
                      return IDOK;
                  }),
                  IDOK);
    EXPECT_EQ(g_settings.maxBaseMapLevel, 28);
}

TEST_F(SettingDialogTest, OkStoresEveryFieldTellsThePeerTheFollowModeAndSavesOnce)
{
    g_settings.textLevelMetres = 100;
    g_settings.doubleClickProperties = 1;
    standin::SetSysVarShort(L"DBLCLKEDIT", 1);
    EXPECT_EQ(Run([](HWND d) {
                  Item(d, kFollow).selection = 2;
                  Item(d, 8181).check = 1;
                  Item(d, 8332).check = 1;
                  Item(d, 8357).check = 1;
                  Item(d, 8359).check = 1;
                  Item(d, kDoubleClick).check = 0;
                  Item(d, kMaxLevel).text = L"18";
                  return IDOK;
              }),
              IDOK);
    const PluginSettings saved = SavedSettings();
    EXPECT_EQ(memcmp(&saved, &g_settings, sizeof saved), 0);
    EXPECT_EQ(saved.followMode, 2);
    EXPECT_EQ(saved.textLevelMetres, 60);  // the row shown for 100
    EXPECT_EQ(saved.maxBaseMapLevel, 18);
    EXPECT_EQ(saved.autoSync, 1);
    EXPECT_EQ(saved.colourByLayer, 1);
    EXPECT_EQ(saved.autoLoad, 1);
    EXPECT_EQ(saved.clearCacheOnExit, 1);
    EXPECT_EQ(saved.doubleClickProperties, 0);
    EXPECT_EQ(standin::SysVarShort(L"DBLCLKEDIT"), 0);
    EXPECT_EQ(peer->FollowMode(), 1000);

    EXPECT_EQ(Run([](HWND d) {
                  Item(d, kFollow).selection = 1;
                  Item(d, kTextLevel).selection = 6;
                  return IDOK;
              }),
              IDOK);
    EXPECT_EQ(peer->FollowMode(), 1);
    EXPECT_EQ(SavedSettings().textLevelMetres, 4);

    // A refused request is reported; the mode is saved all the same.
    peer.reset();
    standin::ClearCommandLine();
    EXPECT_EQ(Run([](HWND d) {
                  Item(d, kFollow).selection = 3;
                  return IDOK;
              }),
              IDOK);
    EXPECT_NE(standin::CommandLineText().find(L"SetFollowWinMapErr:"), std::wstring::npos);
    EXPECT_EQ(SavedSettings().followMode, 3);
}

TEST_F(SettingDialogTest, TickingIconsAsksTwiceAndANoUnticksTheBox)
{
    auto tick = [&](std::vector<int> answers) {
        for (int a : answers) standin::QueueMessageBoxAnswer(a);
        int check = -1;
        Run([&](HWND d) {
            standin::ClickDialogItem(d, kIcons, true);
            check = Item(d, kIcons).check;
            return IDCANCEL;
        });
        return check;
    };
    size_t boxes = standin::MessageBoxes().size();
    EXPECT_EQ(tick({IDYES, IDYES}), 1);
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 2);
    EXPECT_EQ(tick({IDYES, IDNO}), 0);
    boxes = standin::MessageBoxes().size();
    EXPECT_EQ(tick({IDNO}), 0);
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(g_settings.pointsAsIcons, 0);  // cancelled each time
}

TEST_F(SettingDialogTest, AChosenFolderIsShownAndOnlyOkMovesTheCacheAndDeletesTheOldTiles)
{
    const CString oldRoot = g_cacheRoot;
    velktest::WriteNativeFile(Native(oldRoot.str() + L"\\MapTemp\\1\\16\\1_2.png"), "tile");
    MakeFolder(L"D:\\cache");
    auto choose = [](const std::wstring& typed) {
        standin::QueueFolderBrowse([typed](HWND browser) {
            standin::TypeIntoDialogItem(browser, 14148, typed);
            standin::ClickDialogItem(browser, IDOK);
        });
    };
    std::wstring shown;
    choose(L"D:\\cache");
    EXPECT_EQ(Run([&](HWND d) {
                  standin::ClickDialogItem(d, 8141);
                  shown = Item(d, kCache).text;
                  return IDCANCEL;
              }),
              IDCANCEL);
    EXPECT_EQ(shown, L"D:\\cache");
    EXPECT_EQ(g_cacheRoot, oldRoot);

    // A drive root fails the folder check and is not shown.
    choose(L"D:\\");
    Run([&](HWND d) {
        standin::ClickDialogItem(d, 8141);
        shown = Item(d, kCache).text;
        return IDCANCEL;
    });
    EXPECT_EQ(shown, oldRoot.str());

    // OK without a new folder moves and deletes nothing.
    EXPECT_EQ(Run([](HWND) { return IDOK; }), IDOK);
    EXPECT_TRUE(Exists(oldRoot.str() + L"\\MapTemp\\1\\16\\1_2.png"));

    choose(L"D:\\cache");
    EXPECT_EQ(Run([&](HWND d) {
                  standin::ClickDialogItem(d, 8141);
                  return IDOK;
              }),
              IDOK);
    EXPECT_EQ(g_cacheRoot, L"D:\\cache");
    EXPECT_FALSE(Exists(oldRoot.str() + L"\\MapTemp"));
    wchar_t stored[300] = {};
    GetPrivateProfileStringW(L"TempPath", L"MapTemp", L"", stored, 300, g_settingsFile);
    EXPECT_STREQ(stored, L"D:\\cache");
}

TEST_F(SettingDialogTest, ANewRootInsideTheOldTileFolderKeepsIt)
{
    g_cacheRoot = L"D:\\cache";
    velktest::WriteNativeFile(Native(L"D:\\cache\\MapTemp\\inner\\MapTemp\\t.png"), "tile");
    ChangeCacheRoot(L"D:\\cache\\MapTemp\\inner");
    EXPECT_TRUE(Exists(L"D:\\cache\\MapTemp\\inner\\MapTemp\\t.png"));
    // The same folder written another way is no move either.
    ChangeCacheRoot(L"d:\\Cache\\MapTemp\\Inner\\");
    EXPECT_TRUE(Exists(L"D:\\cache\\MapTemp\\inner\\MapTemp\\t.png"));
    // A folder beside "MapTemp" is elsewhere: the old tiles go.
    g_cacheRoot = L"D:\\cache\\MapTemp\\inner";
    velktest::WriteNativeFile(Native(L"D:\\cache\\MapTemp\\inner\\MapTemp\\u.png"), "tile");
    ChangeCacheRoot(L"D:\\cache\\MapTempOther");
    EXPECT_FALSE(Exists(L"D:\\cache\\MapTemp\\inner\\MapTemp"));
}

TEST_F(SettingDialogTest, ResetRestoresTheDefaultsButKeepsTheVersionFieldsAndAsksFirst)
{
    // Every byte set, so that a field the reset forgets shows.
    memset(&g_settings, 0x11, sizeof g_settings);
    g_settings.followMode = 2;
    g_settings.textLevelMetres = 240;
    g_settings.peerVersionWarned = 777;
    g_settings.lastAnnouncedVersion = 170;
    g_cacheRoot = L"D:\\cache";
    velktest::WriteNativeFile(Native(L"D:\\cache\\MapTemp\\t.png"), "tile");
    SaveSettings();

    standin::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(Run([](HWND d) {
                  standin::ClickDialogItem(d, 8198);
                  return IDCANCEL;
              }),
              IDCANCEL);
    EXPECT_EQ(LastBox(), L"确定重置配置吗？");
    EXPECT_EQ(g_settings.followMode, 2);

    standin::QueueMessageBoxAnswer(IDOK);
    EXPECT_EQ(Run([](HWND d) {
                  standin::ClickDialogItem(d, 8198);
                  return IDCANCEL;  // never reached: the reset ends the dialog
              }),
              IDOK);
    PluginSettings expected{};
    expected.viewFactor1 = 1.0;
    expected.viewFactor2 = 2.0;
    expected.roundedValue = 1000;
    expected.textLevelMetres = 60;
    expected.maxBaseMapLevel = 20;
    expected.receivedSignLevel = 18;
    expected.settingsVersion = 162;
    expected.peerTooOldHint = 1;
    expected.updateHint = 1;
    expected.peerVersionWarned = 777;
    expected.lastAnnouncedVersion = 170;
    EXPECT_EQ(memcmp(&expected, &g_settings, sizeof expected), 0);
    const PluginSettings saved = SavedSettings();
    EXPECT_EQ(memcmp(&expected, &saved, sizeof saved), 0);
    CString temp(standin::kTempFolder);
    temp.TrimRight(L'\\');
    EXPECT_EQ(g_cacheRoot, temp);
    EXPECT_FALSE(Exists(L"D:\\cache\\MapTemp"));
    EXPECT_TRUE(PeerCodes().empty());  // no follow request
}

}  // namespace
