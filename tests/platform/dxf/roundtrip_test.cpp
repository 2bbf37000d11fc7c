// A drawing saved by the stand-in and opened again is the same drawing, and
// an independent reader (ezdxf) reads the same from the file.
#include <gtest/gtest.h>

#include <memory>

#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

OdDbDatabase* SampleDrawing()
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\sample.dwg")->database();
    dxftest::BuildSampleDrawing(db);
    return db;
}

}  // namespace

TEST(DxfRoundTrip, EveryObjectComesBackWithItsHandleAndProperties)
{
    OdDbDatabase* db = SampleDrawing();
    std::vector<std::string> before = dxftest::Describe(db);
    std::string bytes = dxftest::Save(db);

    // Opened on a fresh machine, then saved and opened once more.
    standin::ResetMachine(velktest::MachineRoot() + "/fresh");
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(bytes));
    EXPECT_EQ(dxftest::LineDiff(before, dxftest::Describe(again.get())), "");
    std::unique_ptr<OdDbDatabase> third(dxftest::Reopen(dxftest::Save(again.get())));
    EXPECT_EQ(dxftest::LineDiff(before, dxftest::Describe(third.get())), "");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    EXPECT_TRUE(standin::HostViolations().empty());
}

TEST(DxfRoundTrip, EzdxfReadsWhatTheStandInWrote)
{
    OdDbDatabase* db = SampleDrawing();
    std::string path = velktest::MachineRoot() + "/sample.dxf";
    velktest::WriteNativeFile(path, dxftest::Save(db));
    std::vector<std::string> theirs;
    std::string why;
    if (!dxftest::EzdxfSummary(path, theirs, why)) GTEST_SKIP() << why;
    EXPECT_EQ(dxftest::LineDiff(dxftest::Summary(db), theirs), "");
}
