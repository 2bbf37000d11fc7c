// The one-off capture: its dialog, its request, the peer's progress, the
// image placed beside the drawing, and clearing what was captured.
#include "basemap_fixture.h"

#include "afxmsgbox.h"
#include "basemap/capture.h"
#include "basemap/capturemapsetting.h"
#include "dialog_control.h"
#include "gcedinput.h"
#include "state/peerhelpers.h"

namespace {

using velktest::ReadAt;

class CaptureTest : public BaseMapTest {
protected:
    void SetUp() override
    {
        BaseMapTest::SetUp();
        g_settings.onlineBaseMap = 0;
        // The saved drawing's folder.
        std::filesystem::create_directories(standin::NativePath(L"C:\\dwg"));
        // A drawing of 200 x 100 units.
        line = AddLine(500000, 3000000, 500200, 3000100);
    }
    // The dialog's next run: the level row, the range mode and the name.
    static void Answer(int row, int rangeMode, const wchar_t* name, int button = IDOK)
    {
        standin::QueueDialogAnswer(CCaptureMapSetting::IDD, [=](HWND dialog) {
            standin::DialogItem(dialog, 8144).selection = row;
            standin::DialogItem(dialog, 8146).check = rangeMode == 0;
            standin::DialogItem(dialog, 8147).check = rangeMode == 1;
            standin::DialogItem(dialog, 8148).text = name;
            return button;
        });
    }
    // Captures the line with the dialog's row and name.
    void CaptureLine(int row = 0, const wchar_t* name = L"")
    {
        Answer(row, 1, name);
        standin::QueuePick(line, OdGePoint3d(500100, 3000050, 0));
        CaptureMapCommand(&drawing->baseMap);
    }
    std::vector<velkpeer::ServedImage> ServedCaptures() const
    {
        std::vector<velkpeer::ServedImage> captures;
        for (const auto& s : peer->Tiles().Served())
            if (s.capture) captures.push_back(s);
        return captures;
    }
    static CString HashedName(uint64_t tick, int mapType, double minX, double minY, double maxX, double maxY)
    {
        CString text;
        text.Format(L"%d_%d_%f_%f_%f_%f", (int)tick, mapType, minX, minY, maxX, maxY);
        CString path;
        path.Format(L"C:\\dwg\\site_REFMAP\\%I64d_LoactionMap.jpg", (int64_t)StringToId64(text));
        return path;
    }
    OdDbObjectId line;
};

TEST_F(CaptureTest, ACaptureGoesOutRepeatsWhileThePeerWorksAndLandsAtTheBottomOfTheDrawing)
{
    const uint64_t tick = standin::ClockMs();
    CaptureLine(12);  // row 12: level 16
    BaseMapState& s = drawing->baseMap;
    MapImageRecord& c = s.currentCapture;
    ASSERT_EQ(standin::DialogsShown(), (std::vector<UINT>{8145}));
    EXPECT_EQ(standin::Prompts().back(), L"\n请选择一个实体：");
    EXPECT_EQ(c.busy, 1);
    EXPECT_EQ(c.level, 16u);
    const CString path = HashedName(tick, 1, 500000, 3000000, 500200, 3000100);
    EXPECT_EQ(c.imagePath, path);

    // The request: the line's extents in pixels of level 16.
    const auto& request = peer->Messages().back().bytes;
    ASSERT_EQ(request.size(), 16 + 472u);
    std::vector<uint8_t> r(request.begin() + 16, request.end());
    EXPECT_EQ(ReadAt<uint64_t>(r, 0), StringToId64(path));
    EXPECT_EQ(ReadAt<int32_t>(r, 16), 1);
    EXPECT_EQ(ReadAt<int32_t>(r, 20), 0);
    EXPECT_EQ(Utf8ToCString((const uint8_t*)r.data() + 24, 260), path);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 304), 500000);
    EXPECT_DOUBLE_EQ(ReadAt<double>(r, 328), 3000100);
    ExpectImageFields(r, 16, 1, 3200, 1600, 20);

    // Not ready (25 of 100 done): the meter for the 75 to go, a repeat in 3 s.
    EXPECT_TRUE(standin::HasTimer(ReceiverWindow(), 1010));
    EXPECT_EQ(c.meterShown, 1);
    EXPECT_EQ(c.meterSpan, 75u);
    EXPECT_EQ(standin::StatusBarProgress().label, L"正在从网络取图");
    // The posted progress message shows on the command line.
    standin::PumpMessages();
    EXPECT_NE(CommandLine().find(L"\nCreate:25,Total:100"), std::wstring::npos);
    standin::AdvanceClockMs(3000);
    standin::AdvanceClockMs(3000);
    std::vector<velkpeer::ServedImage> captures = ServedCaptures();
    ASSERT_EQ(captures.size(), 3u);
    for (const auto& served : captures) {
        EXPECT_EQ(served.id, StringToId64(path));
        EXPECT_EQ(served.tileFlag, 1);
    }
    EXPECT_LT(captures[0].sequence, captures[2].sequence);
    EXPECT_TRUE(captures.back().written);

    // Finished: inserted on the current layer, at the bottom, remembered.
    EXPECT_EQ(c.busy, 0);
    EXPECT_FALSE(standin::HasTimer(ReceiverWindow(), 1010));
    EXPECT_NE(CommandLine().find(L"Begin Insert Captured Image!\n"), std::wstring::npos);
    ASSERT_EQ(s.capturedImages.size(), 1u);
    const OdDbObjectId image = s.capturedImages.begin()->first;
    EXPECT_EQ(s.capturedImages.begin()->second, path);
    EXPECT_EQ(LayerOf(image), L"0");
    std::vector<OdDbObjectId> order = DrawOrder();
    EXPECT_EQ(order.front(), image);
    EXPECT_EQ(order.back(), line);
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(path.GetString())));
    // A repeated answer does not insert it twice.
    TileRequest again;
    memcpy(&again, r.data(), sizeof again);
    again.status = 1;
    InsertCapturedImage(&s, again);
    EXPECT_EQ(s.capturedImages.size(), 1u);
}

TEST_F(CaptureTest, ProgressThatStopsMovingMarksLaterRepeatsAndANewCaptureStartsAfresh)
{
    peer->Tiles().Config().captureProgress = {30, 30, 30};
    CaptureLine(0, L"site plan");
    const CString path = L"C:\\dwg\\site_REFMAP\\site plan.jpg";
    EXPECT_EQ(drawing->baseMap.currentCapture.imagePath, path);
    for (int i = 0; i < 3; ++i) standin::AdvanceClockMs(3000);
    std::vector<velkpeer::ServedImage> captures = ServedCaptures();
    ASSERT_EQ(captures.size(), 4u);
    // 30, then 30 again: stalled; the repeats after that carry 0.
    EXPECT_EQ(captures[0].tileFlag, 1);
    EXPECT_EQ(captures[1].tileFlag, 1);
    EXPECT_EQ(captures[2].tileFlag, 0);
    EXPECT_EQ(captures[3].tileFlag, 0);
    EXPECT_EQ(drawing->baseMap.currentCapture.busy, 0);
    // The view level went into the dialog's first row.
    EXPECT_EQ(captures[0].level, 16);

    // The next capture is not taken for stalled, not even when its first
    // count repeats the last capture's last one.
    peer->Tiles().Config().captureProgress = {30, 60};
    CaptureLine();
    standin::AdvanceClockMs(3000);
    captures = ServedCaptures();
    ASSERT_EQ(captures.size(), 6u);
    EXPECT_EQ(captures[4].tileFlag, 1);
    EXPECT_EQ(captures[5].tileFlag, 1);
    EXPECT_NE(captures[5].path, captures[0].path);
}

TEST_F(CaptureTest, ACaptureAsWideAsATileIsStillTheCapture)
{
    // 32 units at level 16 are 512 pixels, the tile size of this screen.
    line = AddLine(500000, 3000000, 500032, 3000100);
    CaptureLine(12);
    BaseMapState& s = drawing->baseMap;
    ASSERT_EQ(ServedCaptures().size(), 1u);
    ASSERT_EQ(ServedCaptures()[0].width, s.tilePixelSize);
    standin::AdvanceClockMs(3000);
    standin::AdvanceClockMs(3000);
    ASSERT_TRUE(ServedCaptures().back().written);
    EXPECT_EQ(s.currentCapture.busy, 0);
    ASSERT_EQ(s.capturedImages.size(), 1u);
    EXPECT_EQ(s.capturedImages.begin()->second, s.currentCapture.imagePath);
    // A tile's size both ways, while the base map is on: its progress is
    // no tile to retry either.
    ClearAllCapturedMaps(&s);
    line = AddLine(500000, 3000000, 500032, 3000032);
    CaptureLine(12);
    g_settings.onlineBaseMap = 1;
    standin::AdvanceClockMs(3000);
    standin::AdvanceClockMs(3000);
    EXPECT_EQ(s.capturedImages.size(), 1u);
    for (const auto& served : peer->Tiles().Served()) {
        if (served.id == s.currentCapture.id) {
            EXPECT_TRUE(served.capture);
        }
    }
}

TEST_F(CaptureTest, RangesSmallInBothDirectionsAreRefusedAndOnlyANormalPickGoesOn)
{
    BaseMapState& s = drawing->baseMap;
    s.currentCapture.level = 16;
    s.currentCapture.mapType = 1;
    AskOriginAndResolutions(&s);
    ads_name name;
    // 9 wide and 200 high is enough.
    OdDbObjectId narrow = AddLine(500000, 3000000, 500009, 3000200);
    oddbGetAdsName(name, narrow);
    EXPECT_TRUE(CaptureFromExtents(&s, name, false));
    EXPECT_EQ(ServedCaptures().size(), 1u);
    EXPECT_EQ(ServedCaptures().back().width, 144);
    s.currentCapture = MapImageRecord();
    s.currentCapture.level = 16;
    // 9 by 9: refused, nothing sent; the temporary rectangle is gone anyway.
    OdDbObjectId small = AddLine(500000, 3000000, 500009, 3000009);
    oddbGetAdsName(name, small);
    EXPECT_FALSE(CaptureFromExtents(&s, name, true));
    EXPECT_NE(CommandLine().find(L"\n您选择的范围太小，无法生成地图！\\"), std::wstring::npos);
    EXPECT_EQ(s.currentCapture.busy, 0);
    EXPECT_EQ(ServedCaptures().size(), 1u);
    EXPECT_TRUE(small.isErased());
    // An entity that is gone.
    EXPECT_FALSE(CaptureFromExtents(&s, name, false));

    // The user cancels the pick: the command ends there.
    Answer(0, 1, L"");
    standin::QueueCancel();
    CaptureMapCommand(&s);
    EXPECT_EQ(ServedCaptures().size(), 1u);
    EXPECT_EQ(s.currentCapture.busy, 0);
    // A rectangle instead: the host draws it, the editor reactor goes on.
    Answer(0, 0, L"");
    CaptureMapCommand(&s);
    EXPECT_EQ(standin::SentCommandStrings().back(), L"_rectang ");
    EXPECT_EQ(g_pEditorReactor->m_nPendingRect, 1);
    EXPECT_EQ(ServedCaptures().size(), 1u);
}

TEST_F(CaptureTest, PixelSizesUseEachAxissResolutionAndAZeroResolutionIsRefused)
{
    // Units per pixel twice as large in y as in x.
    peer->Config().levelResolutions.clear();
    for (int level = 1; level <= 28; ++level)
        peer->Config().levelResolutions.emplace_back(Resolution(level), 2 * Resolution(level));
    CaptureLine(12);
    ASSERT_EQ(ServedCaptures().size(), 1u);
    EXPECT_EQ(ServedCaptures()[0].width, 3200);
    EXPECT_EQ(ServedCaptures()[0].height, 800);

    // No resolution for the level: said, nothing sent, the capture idle.
    BaseMapState& s = drawing->baseMap;
    s.currentCapture.busy = 0;
    s.xResolution[16] = 0;
    s.yResolution[16] = 0;
    CaptureLine(12);
    EXPECT_EQ(ServedCaptures().size(), 1u);
    EXPECT_EQ(s.currentCapture.busy, 0);
    EXPECT_NE(CommandLine().find(L"无法生成地图"), std::wstring::npos);
}

TEST_F(CaptureTest, TheCaptureIsRefusedForAnUnsavedOrBusyDrawingAndEndsOnAFailure)
{
    BaseMapState& s = drawing->baseMap;
    // Busy: said so, no dialog.
    s.currentCapture.busy = 1;
    CaptureMapCommand(&s);
    EXPECT_EQ(CommandLine(), L"\n当前正在取图中！\n");
    EXPECT_TRUE(standin::DialogsShown().empty());
    s.currentCapture.busy = 0;

    // A failure answer ends it with the job's text.
    peer->Tiles().Config().captureFailure = -103;
    CaptureLine();
    EXPECT_EQ(s.currentCapture.busy, 0);
    EXPECT_NE(CommandLine().find(L"\n地图尺寸太大！"), std::wstring::npos);
    EXPECT_TRUE(s.capturedImages.empty());

    // An answer carrying the capture's id but another path: the image is
    // the module's own file.
    peer->Tiles().Config().captureFailure = 0;
    peer->Tiles().Config().holdAnswers = true;
    CaptureLine();
    peer->Tiles().Config().holdAnswers = false;
    ASSERT_EQ(s.currentCapture.busy, 1);
    const CString own = s.currentCapture.imagePath;
    velkpeer::WritePngFile(standin::NativePath(own.GetString()), 4, 4, std::vector<uint8_t>(48, 90));
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\keep.jpg"), "keep");
    TileRequest forged;
    memset(&forged, 0, sizeof forged);
    forged.id = s.currentCapture.id;
    forged.status = 1;
    SetTileRequestPath(forged, L"C:\\dwg\\keep.jpg");
    forged.id = s.currentCapture.id;
    forged.pixelWidth = forged.pixelHeight = 900;
    InsertCapturedImage(&s, forged);
    ASSERT_EQ(s.capturedImages.size(), 1u);
    EXPECT_EQ(s.capturedImages.begin()->second, own);
    ClearAllCapturedMaps(&s);
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(L"C:\\dwg\\keep.jpg")));
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(own.GetString())));

    // A drawing never saved: a box, and nothing asked.
    OpenDrawing(L"Drawing1.dwg");
    AddLine(0, 0, 100, 100);
    const size_t asked = peer->Messages().size();
    CaptureMapCommand(&drawing->baseMap);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"当前文档为临时文档(没有路径)，请保存后再进行取图操作！\n");
    EXPECT_EQ(peer->Messages().size(), asked + 1);  // the status check only
    // Asked all the same (the editor reactor's rectangle): said, not sent.
    drawing->baseMap.currentCapture.level = 16;
    drawing->baseMap.currentCapture.maxX = drawing->baseMap.currentCapture.maxY = 100;
    drawing->baseMap.currentCapture.busy = 1;
    AskOriginAndResolutions(&drawing->baseMap);
    RequestCapture(&drawing->baseMap, 20);
    EXPECT_NE(CommandLine().find(L"\nDrawing1.dwg为临时文档，请保存后再进行取图操作！\n"), std::wstring::npos);
    EXPECT_EQ(drawing->baseMap.currentCapture.busy, 0);
}

TEST_F(CaptureTest, TheDialogListsTheLevelsAndChecksTheFileTheCaptureWouldWrite)
{
    g_settings.maxBaseMapLevel = 20;
    CCaptureMapSetting dialog;
    dialog.m_nMapType = 12;
    dialog.m_nLevel = 16;
    std::vector<std::wstring> rows;
    std::wstring typeName;
    standin::QueueDialogAnswer(8145, [&](HWND d) {
        rows = standin::DialogItem(d, 8144).items;
        typeName = standin::DialogItem(d, 8142).text;
        EXPECT_EQ(standin::DialogItem(d, 8144).selection, 0);
        EXPECT_EQ(standin::DialogItem(d, 8146).check, 1);
        standin::DialogItem(d, 8144).selection = 3;
        return IDOK;
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(rows[0], L"当前级别(16)");
    EXPECT_EQ(rows[1], L"级别:5");
    EXPECT_EQ(rows[16], L"级别:20");
    EXPECT_EQ(typeName, L"自定义地图");
    EXPECT_EQ(dialog.m_nLevel, 7);
    EXPECT_EQ(CCaptureMapSetting::MapTypeName(7), L"Bing卫星图");

    // A new name: accepted, and the dialog makes no folder.
    CCaptureMapSetting unnamed;
    Answer(0, 0, L"new");
    EXPECT_EQ(unnamed.DoModal(), IDOK);
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"C:\\dwg\\site")));
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"C:\\dwg\\site_REFMAP")));

    // A name whose capture exists already keeps the dialog open; a picture
    // of that name elsewhere does not matter.
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\site_REFMAP\\plan.jpg"), "jpeg");
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\site\\other.png"), "png");
    CCaptureMapSetting taken;
    Answer(0, 0, L"plan");
    EXPECT_EQ(taken.DoModal(), IDCANCEL);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"该文件已存在，请更换名称！");
    CCaptureMapSetting fresh;
    Answer(0, 0, L"other");
    EXPECT_EQ(fresh.DoModal(), IDOK);
    EXPECT_EQ(fresh.m_strImageName, L"other");

    // An unsaved drawing with a name: said, and the dialog stays.
    OpenDrawing(L"Drawing2.dwg");
    CCaptureMapSetting unsaved;
    Answer(0, 0, L"x");
    EXPECT_EQ(unsaved.DoModal(), IDCANCEL);
    EXPECT_NE(CommandLine().find(L"\nDrawing2.dwg为临时文档，请保存后再进行取图操作！\n"), std::wstring::npos);
}

TEST_F(CaptureTest, ClearingErasesEveryCapturedImageAndDeletesOnlyFilesWithContent)
{
    CaptureLine(0, L"one");
    standin::AdvanceClockMs(6000);
    CaptureLine(0, L"two");
    standin::AdvanceClockMs(6000);
    BaseMapState& s = drawing->baseMap;
    ASSERT_EQ(s.capturedImages.size(), 2u);
    const std::string one = standin::NativePath(L"C:\\dwg\\site_REFMAP\\one.jpg");
    const std::string two = standin::NativePath(L"C:\\dwg\\site_REFMAP\\two.jpg");
    // One file is gone, the other was emptied.
    std::filesystem::remove(one);
    velktest::WriteNativeFile(two, "");
    // The dialog's button does it, and the dialog stays.
    standin::QueueDialogAnswer(8145, [](HWND d) {
        SendMessageW(d, WM_COMMAND, 8140, 0);
        return IDCANCEL;
    });
    CCaptureMapSetting dialog;
    dialog.DoModal();
    EXPECT_TRUE(s.capturedImages.empty());
    EXPECT_EQ(DrawOrder(), (std::vector<OdDbObjectId>{line}));
    EXPECT_TRUE(velktest::NativeExists(two));
}

}  // namespace

TEST(CaptureFiles, OnlyADotInTheFileNameStartsItsExtension)
{
    EXPECT_EQ(CaptureFolder(L"C:\\dwg\\site.dwg"), L"C:\\dwg\\site_REFMAP");
    // A dot in a folder's name is no extension: the file keeps its name.
    EXPECT_EQ(CaptureFolder(L"C:\\v1.2\\site"), L"C:\\v1.2\\site_REFMAP");
    EXPECT_EQ(CaptureFolder(L"C:\\v1.2\\plan.v2.dwg"), L"C:\\v1.2\\plan.v2_REFMAP");
    EXPECT_EQ(NamedCaptureImagePath(L"D:\\a.b\\c\\site", L"north"), L"D:\\a.b\\c\\site_REFMAP\\north.jpg");
}
