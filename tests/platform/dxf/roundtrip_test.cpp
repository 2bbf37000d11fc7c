// A drawing saved by the stand-in and opened again is the same drawing, and
// an independent reader (ezdxf) reads the same from the file.
#include <gtest/gtest.h>

#include <memory>

#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
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

TEST(DxfRoundTrip, ApplicationsOfExtendedDataAreRegisteredInTheFile)
{
    // A hatch's background colour is kept as the host keeps it, under an
    // application the drawing has not registered yet.
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\b.dwg")->database();
    auto* h = new OdDbHatch();
    h->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{0, 0}, {1, 0}, {1, 1}}, OdGeDoubleArray{0, 0, 0});
    OdCmColor back;
    back.setColorIndex(4);
    h->setBackgroundColor(back);
    OdDbObjectId id = dxftest::Append(db, h);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(dxftest::Save(db)));
    OdDbRegAppTable* apps = nullptr;
    ASSERT_EQ(again->getRegAppTable(apps, OdDb::kForRead), eOk);
    EXPECT_TRUE(apps->has(L"HATCHBACKGROUNDCOLOR"));
    apps->close();
    OdDbObjectId hatchId;
    ASSERT_EQ(again->getOdDbObjectId(hatchId, false, id.getHandle()), eOk);
    EXPECT_EQ(static_cast<OdDbHatch*>(hatchId.stub()->object)->backgroundColor(), back);
}
