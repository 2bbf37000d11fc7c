// The shell's helpers: the host's view variables, the cache folder, text
// conversions, default names, line types, coordinate tests, and the placing
// of linked texts and icons.
#include <gtest/gtest.h>

#include <ctime>

#include "afxmsgbox.h"
#include "state/coordbinding.h"
#include "state/settings.h"
#include "common/entity/entityutil.h"
#include "common/symboltable/viewutil.h"
#include "editor_control.h"
#include "state/drawingdata.h"
#include "exchange/entitylink.h"
#include "gcapdocmanager.h"
#include "gcgsmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbtext.h"
#include "shell/messagedlg.h"
#include "state/peerhelpers.h"
#include "plugin_state.h"
#include "shell/actoolbarwnd.h"
#include "shell/velkarxapp.h"
#include "gcedview.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

class HelperTest : public testing::Test {
protected:
    void SetUp() override { velktest::ResetPluginState(); }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
};

TEST_F(HelperTest, ViewVariablesComeBackToTheirStartUpValues)
{
    standin::SetSysVarShort(L"RTDISPLAY", 1);
    standin::SetSysVarShort(L"ZOOMFACTOR", 40);
    standin::SetGsDeviceSetting(true);
    SaveHostViewVars();
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);

    SetHostViewVars(false, false, true);
    EXPECT_EQ(standin::SysVarShort(L"RTDISPLAY"), 0);
    EXPECT_FALSE(standin::GsDeviceSetting());
    EXPECT_FALSE(g_hostViewVars.onlinePending);
    int updates = standin::GsDeviceUpdates();

    SetHostViewVars(false, false, false);
    EXPECT_EQ(standin::SysVarShort(L"RTDISPLAY"), 1);
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 40);
    EXPECT_TRUE(standin::GsDeviceSetting());
    EXPECT_EQ(standin::GsDeviceUpdates(), updates + 1);
    // Already in place: the device is not asked again.
    SetHostViewVars(false, false, false);
    EXPECT_EQ(standin::GsDeviceUpdates(), updates + 1);
    // Without a device only the variables change.
    standin::SetGsDevicePresent(false);
    SetHostViewVars(true, false, true);
    EXPECT_EQ(standin::SysVarShort(L"RTDISPLAY"), 1);
}

TEST_F(HelperTest, TheCacheFolderGoesWithItsContentsButAnEmptyRootIsRefused)
{
    const std::string root = velktest::MachineRoot();
    velktest::WriteNativeFile(root + "/D/cache/MapTemp/1/2/3_4.png", "png");
    velktest::WriteNativeFile(root + "/C/MapTemp/keep.txt", "keep");
    DeleteMapTempFolder(L"");
    EXPECT_TRUE(velktest::NativeExists(root + "/C/MapTemp/keep.txt"));
    DeleteMapTempFolder(L"D:\\cache");
    EXPECT_FALSE(velktest::NativeExists(root + "/D/cache/MapTemp"));
    EXPECT_TRUE(velktest::NativeExists(root + "/D/cache"));
    EXPECT_EQ(std::wstring(GetTempFolder()), L"C:\\Temp");
}

TEST_F(HelperTest, TextsAreCutOnACharacterBoundary)
{
    char buf[16];
    CStringToUtf8Buf(L"地图ab", buf, sizeof buf, 4);
    EXPECT_STREQ(buf, "地");
    CStringToUtf8Buf(L"地图ab", buf, sizeof buf, 0);
    EXPECT_STREQ(buf, "地图ab");
    EXPECT_EQ(Utf8ToCString((const char*)nullptr), L"");
    const uint8_t field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(Utf8ToCString(field, sizeof field), L"abcd");
}

TEST_F(HelperTest, DefaultNamesArePrefixAndLocalTime)
{
    struct tm t {};
    t.tm_mon = 4, t.tm_mday = 17, t.tm_hour = 14, t.tm_min = 3, t.tm_sec = 59;
    EXPECT_EQ(MakeDefaultObjectName(7, t), L"Sign_05_17_14_03_59");
    EXPECT_EQ(MakeDefaultObjectName(22, t), L"Proxy_05_17_14_03_59");
    EXPECT_EQ(MakeDefaultObjectName(9, t), L"05_17_14_03_59");
}

TEST_F(HelperTest, ProjectedEastingsWithAndWithoutZone)
{
    for (double v : {500000.0, 38500000.0, 160000.0, 840000.0, 13160000.0}) EXPECT_TRUE(IsProjectedEasting(v)) << v;
    for (double v : {38100000.0, 46500000.0, 100000.0, 1000000.0, 12500000.0, -500000.0})
        EXPECT_FALSE(IsProjectedEasting(v)) << v;
}

TEST_F(HelperTest, PointsInsideAPolygonByTheCrossingCount)
{
    std::vector<OdGePoint3d> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    EXPECT_TRUE(PolygonContainsPoints(square, {{0.5, 0.5, 0}}));
    EXPECT_FALSE(PolygonContainsPoints(square, {{1.5, 0.5, 0}}));
    EXPECT_FALSE(PolygonContainsPoints(square, {{0.5, 0.5, 0}, {0.5, -0.5, 0}}));
    EXPECT_TRUE(PolygonContainsPoints(square, {}));
    EXPECT_FALSE(PolygonContainsPoints({}, {{0, 0, 0}}));
    std::vector<OdGePoint3d> triangle = {{0, 0, 0}, {4, 0, 0}, {2, 3, 0}};
    EXPECT_TRUE(PolygonContainsPoints(triangle, {{2, 1, 0}, {1, 0.5, 0}}));
    EXPECT_FALSE(PolygonContainsPoints(triangle, {{0.5, 2, 0}}));
    EXPECT_TRUE(GetEntityExtents(square, {{0.25, 0.75, 0}}));
}

TEST_F(HelperTest, LinetypeLookupsAskThePeerOnceAndFallBack)
{
    EXPECT_STREQ(GetLinetypeNameById(3), "SOLID");
    char name[] = "DASHED,__ __ __";
    EXPECT_EQ(GetLinetypeIdByName(name), 0u);
    EXPECT_STREQ(name, "DASHED");

    auto* table = (LinetypeTable*)calloc(1, sizeof(LinetypeTable));
    table->count = 2;
    table->items = (LinetypeItem*)calloc(2, sizeof(LinetypeItem));
    strcpy(table->items[0].name, "CONTINUOUS");
    table->items[0].id = 5;
    strcpy(table->items[1].name, "DASHED");
    table->items[1].id = 8;
    g_pLinetypeTable = table;
    char dashed[] = "DASHED,pattern";
    EXPECT_EQ(GetLinetypeIdByName(dashed), 8u);
    char unknown[] = "HIDDEN";
    EXPECT_EQ(GetLinetypeIdByName(unknown), 5u);
    EXPECT_STREQ(GetLinetypeNameById(8), "DASHED");
    EXPECT_EQ(GetLinetypeEntryById(9), nullptr);
}

class LinkedEntityTest : public HelperTest {
protected:
    void SetUp() override
    {
        HelperTest::SetUp();
        g_settings.textLevelMetres = 60;
        doc_ = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        g_ptagDocIdManager = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc_);
    }
    int64_t Append(OdDbEntity* e)
    {
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, doc_->database()->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, e), eOk);
        e->close();
        ms->close();
        return (int64_t)(uint64_t)id.getHandle();
    }
    int64_t Image(const OdGePoint3d& origin, double side)
    {
        auto* image = new OdDbRasterImage();
        image->setOrientation(origin, OdGeVector3d(side, 0, 0), OdGeVector3d(0, side, 0));
        return Append(image);
    }
    GcApDocument* doc_ = nullptr;
};

TEST_F(LinkedEntityTest, ALinkedTextFollowsItsIconByItsAlignment)
{
    struct Case {
        OdDb::TextHorzMode h;
        OdDb::TextVertMode v;
        double dx, dy;
    };
    const Case cases[] = {{OdDb::kTextLeft, OdDb::kTextTop, 30, 30},     {OdDb::kTextRight, OdDb::kTextTop, -30, 30},
                          {OdDb::kTextLeft, OdDb::kTextBottom, 30, 30},  {OdDb::kTextRight, OdDb::kTextBottom, -30, 30},
                          {OdDb::kTextCenter, OdDb::kTextBottom, 0, 60}, {OdDb::kTextCenter, OdDb::kTextTop, 0, 0},
                          {OdDb::kTextMid, OdDb::kTextBase, 30, 30}};
    for (const Case& c : cases) {
        auto* text = new OdDbText();
        text->setTextString(L"A");
        text->setHorizontalMode(c.h);
        text->setVerticalMode(c.v);
        int64_t handle = Append(text);
        ASSERT_TRUE(UpdateLinkedTextEntity(handle, OdGePoint3d(100, 200, 0)));
        OdDbText* back = nullptr;
        ASSERT_EQ(oddbOpenObject(back, CEntityUtil::HandleToObjectId(OdDbHandle((uint64_t)handle)), OdDb::kForRead), eOk);
        EXPECT_TRUE(back->alignmentPoint().isEqualTo(OdGePoint3d(100 + c.dx, 200 + c.dy, 0))) << c.h << "," << c.v;
        MapObjInfo* link = GetEntityLink(back, true, false);
        EXPECT_TRUE(link->labelPos.isEqualTo(OdGePoint3d(100, 200, 0)));
        EXPECT_EQ(link->saved, 1);
        back->close();
    }
    EXPECT_FALSE(UpdateLinkedTextEntity(0x7FFFFF, OdGePoint3d()));
}

TEST_F(LinkedEntityTest, IconImagesArePlacedAndRecognisedAtTheStandardOffset)
{
    int64_t image = Image(OdGePoint3d(0, 0, 0), 10);
    ASSERT_TRUE(UpdateLinkedImageEntity(image, OdGePoint3d(100, 200, 0)));
    // Lower-edge middle at (100, 200): L/2 right of and L above (70, 140).
    EXPECT_TRUE(IsRasterIconSized(image, OdGePoint3d(70, 140, 0)));
    EXPECT_TRUE(GetImageEntityExtents(image, OdGePoint3d(40, 140, 0)));   // ratio 2 in x
    EXPECT_FALSE(IsRasterIconSized(image, OdGePoint3d(100, 140, 0)));     // no x offset
    EXPECT_FALSE(IsRasterIconSized(image, OdGePoint3d(75, 140, 0)));
    auto* text = new OdDbText();
    int64_t notImage = Append(text);
    EXPECT_FALSE(UpdateLinkedImageEntity(notImage, OdGePoint3d()));
    EXPECT_FALSE(IsRasterIconSized(notImage, OdGePoint3d()));
    EXPECT_FALSE(IsRasterIconSized(0x7FFFFF, OdGePoint3d()));
}

}  // namespace

namespace {

class MatchTest : public HelperTest {
protected:
    void SetUp() override
    {
        HelperTest::SetUp();
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        standin::CreateDocument(L"C:\\dwg\\site.dwg");
        velktest::InstallStandinPeer(900, peer);
        peer = std::make_unique<velkpeer::StandinPeer>();
        peer->Config().statusWord = 0x100;
        standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(1000, 2000, 0));
        standin::SetSysVarReal(L"VIEWSIZE", 600);
        standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(800, 600, 0));
        standin::SetSysVarShort(L"ZOOMFACTOR", 40);
    }
    std::unique_ptr<velkpeer::StandinPeer> peer;
};

TEST_F(MatchTest, TheViewIsZoomedToThePeersScaleWhenTheRequestWasAnswered)
{
    peer->ShellCodes().matchSize = 300;  // s = 3, halved to 1.5
    MatchVelk();
    ASSERT_EQ(peer->Codes().back(), 20301u);
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
    EXPECT_EQ(standin::SysVarShort(L"ZOOMFACTOR"), 100);
    EXPECT_FALSE(g_bMatchOnly);

    // A scale of 0 leaves the view as it is.
    peer->ShellCodes().matchSize = 0;
    MatchVelk();
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
}

TEST_F(MatchTest, ARequestWithoutItsAnswerNeitherZoomsNorTakesTheNextAnswer)
{
    peer->ShellCodes().matchSize = 300;
    MatchVelk();
    ASSERT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);

    // Taken, but no answer comes: the view stays, and the last match's
    // values are not used again.
    peer->QueueAnswer(20301, 0);
    MatchVelk();
    EXPECT_NEAR(standin::SysVarReal(L"VIEWSIZE"), 400, 1e-6);
    EXPECT_FALSE(g_bMatchOnly);

    // The next answer, to a view-based request, is judged as such.
    g_lastViewMatchExtents.screenWidth = 800;
    std::vector<uint8_t> answer(120);
    const int32_t imageSize = 300;
    memcpy(answer.data() + 68, &imageSize, 4);
    COPYDATASTRUCT cds{20301, (DWORD)answer.size(), answer.data()};
    SendMessageW(g_pMessageDlg->GetSafeHwnd(), WM_COPYDATA, 1001, (LPARAM)&cds);
    EXPECT_NE(standin::CommandLineText().find(L"当前视图缩放比例可能太大"), std::wstring::npos);
}

TEST_F(MatchTest, NoRequestForAViewWithoutWidthOrAPeerInLongitudeAndLatitude)
{
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(0, 600, 0));
    MatchVelk();
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_FALSE(g_bMatchOnly);
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(800, 600, 0));
    g_coordBinding.geographic = true;
    MatchVelk();
    EXPECT_EQ(peer->Codes().back(), 20501u);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"拓岚当前的坐标系为经纬度，不支持该操作！");
}

}  // namespace
