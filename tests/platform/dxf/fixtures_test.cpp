// Drawings made by ezdxf (data/make_fixtures.py) are read as ezdxf reads
// them (data/*.summary), and keep their handles when saved again.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "dxf_test_support.h"
#include "hostdb_control.h"
#include "standin_control.h"
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
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(dxftest::Save(db.get())));
    EXPECT_EQ(dxftest::LineDiff(described, dxftest::Describe(again.get())), "");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    EXPECT_TRUE(standin::HostViolations().empty());
}

INSTANTIATE_TEST_SUITE_P(Ezdxf, DxfFixtures, testing::Values("drawing_r2010", "drawing_r2000"));
