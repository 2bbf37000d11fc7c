// A drawing saved by the stand-in and opened again is the same drawing, and
// an independent reader (ezdxf) reads the same from the file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "dxf_control.h"
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
    std::vector<std::string> read = dxftest::Describe(again.get());
    // Everything comes back; what the file form adds is the tables of
    // dimension styles (with "Standard") and coordinate systems, and each
    // dimension's block of graphics.
    std::string diff = dxftest::LineDiff(before, read);
    for (const char* added : {"AcDbUCSTable ", "AcDbDimStyleTable ", "AcDbDimStyleTableRecord ", "name=*D"}) {
        size_t at;
        while ((at = diff.find(added)) != std::string::npos) {
            size_t from = diff.rfind('\n', at), to = diff.find('\n', at);
            from = from == std::string::npos ? 0 : from + 1;
            if (diff.compare(from, 2, "+ ") != 0) break;
            diff.erase(from, to == std::string::npos ? std::string::npos : to - from + 1);
        }
    }
    EXPECT_EQ(diff, "");
    std::unique_ptr<OdDbDatabase> third(dxftest::Reopen(dxftest::Save(again.get())));
    EXPECT_EQ(dxftest::LineDiff(read, dxftest::Describe(third.get())), "");
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

namespace {

// The file's groups with the values of handles left out (records the
// database does not keep get new handles on every save) and reals to 12
// digits (points kept in world coordinates and written in an entity's own
// move by rounding).
std::vector<std::string> Groups(const std::string& bytes)
{
    std::vector<std::string> lines, groups;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        int code = std::atoi(lines[i].c_str());
        bool handle = code == 5 || code == 105 || (code >= 320 && code <= 369) || (code >= 390 && code <= 399);
        std::string value = handle ? std::string("#") : lines[i + 1];
        bool real = (code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
                    (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059);
        if (real) {
            char buf[40];
            double v = std::atof(value.c_str());
            snprintf(buf, sizeof buf, "%.12g", std::fabs(v) < 1e-12 ? 0.0 : v);
            value = buf;
        }
        groups.push_back(std::to_string(code) + " " + value);
    }
    return groups;
}

std::string FirstDifference(const std::string& a, const std::string& b)
{
    std::vector<std::string> ga = Groups(a), gb = Groups(b);
    size_t i = 0;
    while (i < ga.size() && i < gb.size() && ga[i] == gb[i]) ++i;
    std::string s = "group " + std::to_string(i) + ":";
    for (size_t k = i >= 3 ? i - 3 : 0; k < i + 4; ++k)
        s += "\n  " + (k < ga.size() ? ga[k] : "-") + "   |   " + (k < gb.size() ? gb[k] : "-");
    return s;
}

}  // namespace

TEST(DxfRoundTrip, SavingWhatWasReadAgainGivesTheSameFile)
{
    // Whatever a file kept, a saved file read and saved again is the same
    // file: nothing kept goes back twice or moves.
    std::vector<std::string> inputs;
    for (const char* name : {"drawing_r2010.dxf", "drawing_r2000.dxf"})
        inputs.push_back(velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR) + "/" + name));
    for (const char* seed : {"seed-demo.dxf", "seed-part.dxf", "seed-drawing_r2010.dxf"})
        inputs.push_back(velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR) + "/../../../fuzz/corpus/dxf_read/" + seed));
    OdDbDatabase* sample = SampleDrawing();
    inputs.push_back(dxftest::Save(sample));
    for (const std::string& input : inputs) {
        ASSERT_FALSE(input.empty());
        std::unique_ptr<OdDbDatabase> first(dxftest::Reopen(input));
        std::string once = dxftest::Save(first.get());
        std::unique_ptr<OdDbDatabase> second(dxftest::Reopen(once));
        std::string twice = dxftest::Save(second.get());
        EXPECT_TRUE(Groups(once) == Groups(twice)) << FirstDifference(once, twice);
    }
    EXPECT_TRUE(standin::DxfWriteSchemaViolations().empty()) << standin::DxfWriteSchemaViolations().front();
}
