// The plug-in folder check, the icon files written from the module's PNG
// resources, and the drawing support set up at start-up.
#include <gtest/gtest.h>

#include <climits>

#include "afxmsgbox.h"
#include "common/geometry/mathutil.h"
#include "common/symboltable/viewutil.h"
#include "hostdb_control.h"
#include "machine_control.h"
#include "oddbblockreference.h"
#include "oddbdictionary.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "state/modulestate.h"
#include "state/settings.h"
#include "test_support.h"
#include "ui/pluginfolder.h"

namespace {

class FolderCheckTest : public testing::Test {
protected:
    void SetUp() override { velktest::ResetPluginState(); }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    std::string Native(const std::wstring& w) { return standin::NativePath(w); }
    void MakeFolder(const std::wstring& w) { velktest::WriteNativeFile(Native(w) + "/.keep", ""); }
    std::wstring LastBox() { return standin::MessageBoxes().empty() ? L"" : standin::MessageBoxes().back().text; }
};

TEST_F(FolderCheckTest, RootsLongPathsAndUnwritableFoldersAreRefused)
{
    EXPECT_FALSE(CheckPluginFolder(L"C:\\"));
    EXPECT_EQ(LastBox(), L"不能选择根目录！请将插件移到其他目录！");
    MakeFolder(L"C:\\a");
    EXPECT_TRUE(CheckPluginFolder(L"C:\\a"));
    EXPECT_FALSE(velktest::NativeExists(Native(L"C:\\a\\t__Arx.txt")));

    std::wstring folder190 = L"C:\\" + std::wstring(187, L'f');
    MakeFolder(folder190);
    EXPECT_TRUE(CheckPluginFolder(folder190.c_str()));
    std::wstring folder191 = L"C:\\" + std::wstring(188, L'f');
    EXPECT_FALSE(CheckPluginFolder(folder191.c_str()));
    EXPECT_EQ(LastBox(), L"插件所在的路径太长，请移到其他目录再加载。");

    // The test file cannot be written: a read-only file of its name is in the way.
    MakeFolder(L"C:\\locked");
    velktest::WriteNativeFile(Native(L"C:\\locked\\t__Arx.txt"), "old");
    standin::SetReadOnly(L"C:\\locked\\t__Arx.txt", true);
    EXPECT_FALSE(CheckPluginFolder(L"C:\\locked"));
    EXPECT_EQ(LastBox(), L"该目录没有读写权限！请将插件移到其他目录！");
    EXPECT_FALSE(CheckPluginFolder(L"C:\\missing"));

    // An empty text is the module's own folder.
    MakeFolder(L"C:\\Program Files\\CadHost\\Plugins\\Velk");
    g_hModuleInstance = (HINSTANCE)standin::ModuleHandle();
    EXPECT_TRUE(CheckPluginFolder(L""));
}

TEST_F(FolderCheckTest, ALowDiskAsksWhetherToMoveAndTheShareItselfIsAsked)
{
    MakeFolder(L"C:\\plugins");
    standin::SetDiskFreeBytes((2ull << 30) - 1);
    standin::QueueMessageBoxAnswer(IDYES);
    EXPECT_FALSE(CheckPluginFolder(L"C:\\plugins"));
    EXPECT_EQ(LastBox(), L"插件所在的磁盘空间不足，是否切换到其他目录再加载？");
    standin::QueueMessageBoxAnswer(IDNO);
    EXPECT_TRUE(CheckPluginFolder(L"C:\\plugins"));

    // On a share the first three characters name no volume: the folder does.
    MakeFolder(L"\\\\server\\share\\velk");
    size_t boxes = standin::MessageBoxes().size();
    standin::QueueMessageBoxAnswer(IDYES);
    EXPECT_FALSE(CheckPluginFolder(L"\\\\server\\share\\velk"));
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 1);

    standin::SetDiskFreeBytes(2ull << 30);
    EXPECT_TRUE(CheckPluginFolder(L"C:\\plugins"));
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 1);
    // A volume that cannot be asked is not held against the folder.
    standin::SetDiskFreeBytes(0);
    standin::SetDiskFreeSpaceQueryFails(true);
    EXPECT_TRUE(CheckPluginFolder(L"C:\\plugins"));
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 1);
}

class IconFileTest : public FolderCheckTest {
protected:
    void SetUp() override
    {
        FolderCheckTest::SetUp();
        g_cacheRoot = L"C:\\Temp";
        standin::CreateDocument(L"C:\\dwg\\site.dwg");
    }
    CString DefinitionFile(OdDbObjectId id)
    {
        OdDbRasterImageDef* def = nullptr;
        if (oddbOpenObject(def, id, OdDb::kForRead) != eOk) return CString();
        CString file = def->sourceFileName().c_str();
        def->close();
        return file;
    }
};

TEST_F(IconFileTest, IconsAreWrittenOnceFromTheResourcesAndNumbers500To900UseIcon4)
{
    OdDbObjectId id = GetIconImageDefId(600);
    ASSERT_FALSE(id.isNull());
    EXPECT_EQ(std::wstring(DefinitionFile(id)), L"C:\\Temp\\VelkArxIcon\\Icon0004.png");
    std::string png = velktest::ReadNativeFile(Native(L"C:\\Temp\\VelkArxIcon\\Icon0004.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(CViewUtil::GetRasterImgDefId(L"ICON0004_PNG", L"C:\\Temp\\VelkArxIcon\\Icon0004.png", false), id);

    // A file already there is used as it is.
    velktest::WriteNativeFile(Native(L"C:\\Temp\\VelkArxIcon\\Icon0007.png"), "mine");
    EXPECT_FALSE(GetIconImageDefId(7).isNull());
    EXPECT_EQ(velktest::ReadNativeFile(Native(L"C:\\Temp\\VelkArxIcon\\Icon0007.png")), "mine");

    // No resource and no file: nothing.
    EXPECT_TRUE(GetIconImageDefId(190).isNull());
    EXPECT_FALSE(velktest::NativeExists(Native(L"C:\\Temp\\VelkArxIcon\\Icon0190.png")));

    // Numbers the peer sends beyond the resource numbers name no icon, not
    // one whose number wraps round to a real one.
    EXPECT_TRUE(GetIconImageDefId(65536 + 7).isNull());
    EXPECT_TRUE(GetIconImageDefId(INT_MAX).isNull());
    EXPECT_TRUE(GetIconImageDefId(-9993).isNull());
}

TEST_F(IconFileTest, TheDefaultIconGetsItsFolderMadeFirst)
{
    OdDbObjectId id = EnsureDefaultIconImageDef();
    ASSERT_FALSE(id.isNull());
    EXPECT_EQ(std::wstring(DefinitionFile(id)), L"C:\\Temp\\VelkArxIocn\\Icon.png");
    EXPECT_GT(velktest::ReadNativeFile(Native(L"C:\\Temp\\VelkArxIocn\\Icon.png")).size(), 8u);
    EXPECT_EQ(CViewUtil::GetRasterImgDefId(L"IconDef", L"C:\\Temp\\VelkArxIocn\\Icon.png", false), id);
}

TEST_F(FolderCheckTest, InsertedImagesGetTheInverseOfColourSeven)
{
    InitPluginDrawingSupport();
    const OdCmColor& c = DefaultImageColor();
    EXPECT_EQ(c.colorMethod(), OdCmEntityColor::kByColor);
    int rgb = CMathUtil::ColorIndexToRGB(7);
    EXPECT_EQ(c.red(), 255 - (rgb & 0xFF));
    EXPECT_EQ(c.blue(), 255 - ((rgb >> 16) & 0xFF));
}

}  // namespace
