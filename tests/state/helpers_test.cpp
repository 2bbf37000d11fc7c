// The small helpers: the host's view variables, the cache folder, text
// conversions, default names, line types and coordinate tests.
#include <gtest/gtest.h>

#include <ctime>

#include "afxmsgbox.h"
#include "common/entity/entityutil.h"
#include "common/symboltable/viewutil.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcgsmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbtext.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
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
    // Without a time the name carries the time of day, whatever the
    // machine's virtual clock says.
    standin::SetClockMs(0);
    const time_t before = time(nullptr);
    const CString now = MakeDefaultObjectName(8);
    const time_t after = time(nullptr);
    struct tm a {}, b {};
    localtime_r(&before, &a);
    localtime_r(&after, &b);
    EXPECT_TRUE(now == MakeDefaultObjectName(8, a) || now == MakeDefaultObjectName(8, b)) << now.GetString();
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

}  // namespace
