// Drawings made by ezdxf (data/make_fixtures.py) are read as ezdxf reads
// them (data/*.summary), keep their handles when saved again, and hold
// links the module reads.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "dxf_test_support.h"
#include "exchange/entitylink.h"
#include "hostdb_control.h"
#include "standin_control.h"
#include "state/drawingdata.h"
#include "test_support.h"

namespace {

std::vector<std::string> ExpectedSummary(const std::string& name)
{
    std::ifstream f(std::string(VELK_TEST_DATA_DIR) + "/" + name + ".summary");
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
}

// The fixture copied into the machine and read as the host reads a drawing.
std::unique_ptr<OdDbDatabase> ReadFixture(const std::string& name)
{
    std::string bytes = velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR) + "/" + name + ".dxf");
    EXPECT_FALSE(bytes.empty());
    velktest::WriteNativeFile(standin::NativePath(L"C:\\Drawings\\fixture.dxf"), bytes);
    auto db = std::make_unique<OdDbDatabase>(false);
    EXPECT_EQ(db->readDwgFile(L"C:\\Drawings\\fixture.dxf"), eOk);
    return db;
}

}  // namespace

class DxfFixtures : public testing::TestWithParam<const char*> {};

TEST_P(DxfFixtures, ReadAsEzdxfReadsThemAndSavedWithTheSameHandles)
{
    std::unique_ptr<OdDbDatabase> db = ReadFixture(GetParam());
    std::vector<std::string> expected = ExpectedSummary(GetParam());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(dxftest::LineDiff(expected, dxftest::Summary(db.get())), "");

    std::vector<std::string> described = dxftest::Describe(db.get());
    std::string saved = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
    EXPECT_EQ(dxftest::LineDiff(described, dxftest::Describe(again.get())), "");

    // ezdxf reads the same from the saved file as from its own.
    std::string path = velktest::MachineRoot() + "/saved.dxf";
    velktest::WriteNativeFile(path, saved);
    std::vector<std::string> theirs;
    std::string why;
    if (!dxftest::EzdxfSummary(path, theirs, why)) GTEST_SKIP() << why;
    EXPECT_EQ(dxftest::LineDiff(expected, theirs), "");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    EXPECT_TRUE(standin::HostViolations().empty());
}

INSTANTIATE_TEST_SUITE_P(Ezdxf, DxfFixtures, testing::Values("drawing_r2010", "drawing_r2000"));

TEST(DxfFixtureLinks, TheModuleReadsTheLinksEzdxfWrote)
{
    std::unique_ptr<OdDbDatabase> db = ReadFixture("drawing_r2010");
    // The text's link as make_fixtures.py wrote it: join 11 reads as 1; of
    // the companion the file holds the low 32 bits.
    OdDbObjectId text;
    ASSERT_EQ(db->getOdDbObjectId(text, false, OdDbHandle(0x4F)), eOk);
    std::unique_ptr<MapObjInfo> link(ReadEntityLink(text));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->peerId, 4000000001u);
    EXPECT_EQ(link->name, L"河流");
    EXPECT_EQ(link->remark, L"line one\r\nline two");
    EXPECT_EQ(link->join, 1);
    EXPECT_EQ((uint32_t)link->companion, (uint32_t)-5);
    EXPECT_EQ(link->iconNumber, 12);
    EXPECT_EQ(link->labelPos, OdGePoint3d(1234.5, -0.125, 0));
}
