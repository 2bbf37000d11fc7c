// A drawing saved by the stand-in and opened again is the same drawing, and
// an independent reader (ezdxf) reads the same from the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "dxf_control.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbblockreference.h"
#include "oddbdimension.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
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

// Dimensions made in memory have no block: the save gives each one, named
// and listed in the order it meets the dimensions, whatever their places in
// memory (here falling as the drawing goes).
TEST(DxfRoundTrip, BlocksMadeForDimensionsAreListedAsTheDimensionsCome)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\dims.dwg")->database();
    std::vector<OdDbAlignedDimension*> dims;
    for (int i = 0; i < 6; ++i)
        dims.push_back(new OdDbAlignedDimension(OdGePoint3d(0, i, 0), OdGePoint3d(10, i, 0), OdGePoint3d(5, i + 1, 0)));
    std::sort(dims.begin(), dims.end(), std::greater<OdDbAlignedDimension*>());
    for (auto* d : dims) dxftest::Append(db, d);
    const std::string saved = dxftest::Save(db);
    const size_t records = saved.find("BLOCK_RECORD"), blocks = saved.find("\nBLOCKS\r\n");
    ASSERT_NE(records, std::string::npos);
    ASSERT_NE(blocks, std::string::npos);
    size_t previous = records;
    for (int n = 1; n <= 6; ++n) {
        const size_t at = saved.find("\n*D" + std::to_string(n) + "\r\n", records);
        ASSERT_LT(at, blocks) << "*D" << n << " is not among the block records";
        EXPECT_GT(at, previous) << "*D" << n << " is listed before *D" << n - 1;
        previous = at;
    }
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

// A value that is not finite has no number a file can hold: the save is
// refused, naming the record and group, rather than write another number.
TEST(DxfRoundTrip, ASaveRefusesAValueThatIsNotFinite)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\inf.dwg")->database();
    dxftest::Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0)));
    const OdDbObjectId id = dxftest::Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(HUGE_VAL, 1, 0)));
    std::string bytes;
    EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eInvalidInput);
    EXPECT_TRUE(bytes.empty());
    const std::filesystem::path out = standin::NativePath(L"C:\\dwg\\inf.dxf");
    std::filesystem::create_directories(out.parent_path());
    EXPECT_EQ(db->saveAs(L"C:\\dwg\\inf.dxf"), eInvalidInput);
    EXPECT_EQ(standin::LastDxfSaveRefusal(), L"LINE " + std::wstring(id.getHandle().ascii().c_str()) + L" (group 11)");
    EXPECT_TRUE(standin::LastDxfSaveLosses().empty());
    EXPECT_FALSE(std::filesystem::exists(out));
    // A NaN the same.
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);
    line->setEndPoint(OdGePoint3d(1, std::nan(""), 0));
    line->close();
    EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eInvalidInput);
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);
    line->setEndPoint(OdGePoint3d(1, 2, 0));
    line->close();
    EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
}

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

TEST(DxfRoundTrip, ADrawingSavedOnceReadsBackToTheSameFile)
{
    // Byte for byte, handles and all: the handles of the records the
    // database does not keep, and the defaults a save writes where a file
    // gives none, come back the same from the file they were saved in.
    OdDbDatabase* sample = SampleDrawing();
    const std::string once = dxftest::Save(sample);
    std::unique_ptr<OdDbDatabase> second(dxftest::Reopen(once));
    const std::string twice = dxftest::Save(second.get());
    EXPECT_TRUE(twice == once) << FirstDifference(once, twice);
    std::unique_ptr<OdDbDatabase> third(dxftest::Reopen(twice));
    const std::string thrice = dxftest::Save(third.get());
    EXPECT_TRUE(thrice == twice) << FirstDifference(twice, thrice);

    // A circle in a tilted plane, moved, goes where it was moved.
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, third->getModelSpaceId(), OdDb::kForRead), eOk);
    OdDbObjectId tilted;
    for (const auto& id : ms->entityIds())
        if (auto* c = OdRxCast<OdDbCircle>(id.stub()->object); c && c->normal().z < 0.99) tilted = id;
    ms->close();
    ASSERT_FALSE(tilted.isNull());
    OdDbCircle* circle = nullptr;
    ASSERT_EQ(oddbOpenObject(circle, tilted, OdDb::kForWrite), eOk);
    const OdGePoint3d to = circle->center() + OdGeVector3d(1, 2, 3);
    ASSERT_EQ(circle->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 2, 3))), eOk);
    circle->close();
    std::unique_ptr<OdDbDatabase> moved(dxftest::Reopen(dxftest::Save(third.get())));
    OdDbObjectId back;
    ASSERT_EQ(moved->getOdDbObjectId(back, false, tilted.getHandle()), eOk);
    EXPECT_LT(static_cast<OdDbCircle*>(back.stub()->object)->center().distanceTo(to), 1e-12);
}

namespace {

namespace fs = std::filesystem;

const std::string kCorpus = std::string(VELK_TEST_DATA_DIR) + "/../../../fuzz/corpus/dxf_read";

// A record of a file: its type and its groups in order, codes read as
// numbers, values as written.
struct Record {
    std::string type;
    std::vector<std::pair<int, std::string>> groups;

    std::vector<std::string> values(int code) const
    {
        std::vector<std::string> out;
        for (const auto& [c, v] : groups)
            if (c == code) out.push_back(v);
        return out;
    }
};

std::vector<Record> Records(const std::string& bytes)
{
    std::vector<Record> records;
    size_t pos = 0;
    auto next = [&](std::string& line) {
        if (pos >= bytes.size()) return false;
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        return true;
    };
    std::string code, value;
    while (next(code) && next(value)) {
        int c = std::atoi(code.c_str());
        if (c == 0) records.push_back({value, {}});
        else if (!records.empty()) records.back().groups.push_back({c, value});
    }
    return records;
}

uint64_t HandleOf(const std::string& value)
{
    char* end = nullptr;
    uint64_t h = std::strtoull(value.c_str(), &end, 16);
    return end && *end == 0 && !value.empty() ? h : ~uint64_t(0);
}

double NumberOf(const std::string& value)
{
    char* end = nullptr;
    double v = std::strtod(value.c_str(), &end);
    return end && *end == 0 && !value.empty() ? v : std::nan("");
}

// The record of the type with the handle (group 5, or 105 of a dimension
// style), or the one of the name (group 2); null when there is none.
const Record* WithHandle(const std::vector<Record>& records, const std::string& type, uint64_t handle)
{
    for (const Record& r : records)
        if (r.type == type)
            for (int code : {5, 105})
                for (const std::string& v : r.values(code))
                    if (HandleOf(v) == handle) return &r;
    return nullptr;
}

const Record* Named(const std::vector<Record>& records, const std::string& type, const std::string& name)
{
    for (const Record& r : records)
        if (r.type == type && r.values(2) == std::vector<std::string>{name}) return &r;
    return nullptr;
}

// The one value of a code in a record ("missing" when the record is not
// there, "none" or "several" when the code is not there once).
std::string One(const Record* r, int code)
{
    if (!r) return "missing";
    std::vector<std::string> v = r->values(code);
    return v.size() == 1 ? v[0] : v.empty() ? "none" : "several";
}

// A number in the fewest digits that read back as it, so that "12" and
// "12.0" compare equal and 12.000000000000002 does not.
std::string Shortest(double v)
{
    char buf[40];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A code's values in a record as numbers, each spelled as Shortest does.
std::vector<std::string> Numbers(const Record* r, int code)
{
    std::vector<std::string> out;
    if (r)
        for (const std::string& v : r->values(code)) out.push_back(Shortest(NumberOf(v)));
    return out;
}

using Spelled = std::vector<std::string>;

// The owner a record names first (its group 330 before any subclass).
uint64_t OwnerOf(const Record* r)
{
    if (!r) return ~uint64_t(0);
    for (const auto& [code, value] : r->groups) {
        if (code == 100) break;
        if (code == 330) return HandleOf(value);
    }
    return ~uint64_t(0);
}

// A dictionary's entries as (name, handle), from its 3 and 350/360 pairs.
using Listing = std::vector<std::pair<std::string, uint64_t>>;
Listing Entries(const Record* r)
{
    Listing out;
    if (!r) return out;
    std::string name;
    for (const auto& [code, value] : r->groups) {
        if (code == 3) name = value;
        if ((code == 350 || code == 360) && !name.empty()) out.push_back({name, HandleOf(value)});
        if (code == 350 || code == 360) name.clear();
    }
    return out;
}

// The groups of a record from the first group of a code on.
std::vector<std::pair<int, std::string>> From(const Record* r, int code)
{
    if (!r) return {};
    auto at = std::find_if(r->groups.begin(), r->groups.end(), [&](const auto& g) { return g.first == code; });
    return {at, r->groups.end()};
}

// A file opened and saved three times: the file's records, each save's,
// and the losses the first save named.
struct Saved {
    std::vector<Record> input;
    std::vector<std::vector<Record>> saves;
    std::vector<std::wstring> losses;
    bool namedLoss(const std::string& handle) const
    {
        const std::wstring h(handle.begin(), handle.end());
        for (const std::wstring& l : losses)
            if (l.find(h) != std::wstring::npos) return true;
        return false;
    }
};

// Opens and saves three times: the saves after each read, or the reason
// the file was refused.
bool SaveThrice(const std::string& bytes, std::vector<std::string>& saves, std::vector<std::wstring>& losses,
                std::string& why)
{
    saves.clear();
    std::string current = bytes;
    for (int i = 0; i < 3; ++i) {
        OdDbDatabase db(false);
        if (standin::ReadDxfBytes(&db, current, &why) != eOk) {
            if (i > 0) why = "save " + std::to_string(i) + " is refused: " + why;
            return false;
        }
        std::string out;
        if (standin::WriteDxfBytes(&db, out, i == 0 ? &losses : nullptr) != eOk) {
            why = "save " + std::to_string(i + 1) + " fails";
            return false;
        }
        saves.push_back(out);
        current = out;
    }
    return true;
}

}  // namespace

TEST(DxfRoundTrip, EveryDrawingOfTheTestsSavesToTheSameFileEveryTime)
{
    // The drawings of the tests, and each input of the reader's fuzz corpus
    // it accepts: a save of the save is the save, byte for byte.
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(VELK_TEST_DATA_DIR, ec))
        if (e.path().extension() == ".dxf") files.push_back(e.path());
    const size_t ownFiles = files.size();
    for (const auto& e : fs::directory_iterator(kCorpus, ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin() + ownFiles, files.end());
    ASSERT_GE(ownFiles, 2u);
    size_t read = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string name = files[i].filename().string();
        std::vector<std::string> saves;
        std::vector<std::wstring> losses;
        std::string why;
        if (!SaveThrice(velktest::ReadNativeFile(files[i].string()), saves, losses, why)) {
            // The tests' own drawings must be read; a corpus input may be
            // refused, a save never.
            EXPECT_TRUE(i >= ownFiles && saves.empty()) << name << ": " << why;
            continue;
        }
        ++read;
        for (size_t n : {1, 2})
            EXPECT_TRUE(saves[n] == saves[0])
                << name << ", save " << n + 1 << ": " << dxftest::FirstDifferingLine(saves[0], saves[n]);
    }
    EXPECT_GE(read, ownFiles + 8);
}

TEST(DxfRoundTrip, WhatADamagedFileSaysGoesBackAsItWasWritten)
{
    // The corpus's hand-made inputs, one for each way a file has come back
    // changed: the value each is about survives the first save (across all
    // three, where a second save changed it).
    using Check = std::function<void(const Saved&)>;
    auto inSaves = [](const Saved& s, const std::function<void(const std::vector<Record>&, int)>& f) {
        for (size_t i = 0; i < s.saves.size(); ++i) f(s.saves[i], int(i + 1));
    };
    const std::pair<const char*, Check> cases[] = {
        {"second_marker_before_vertices.dxf",
         [&](const Saved& s) {
             inSaves(s, [](const std::vector<Record>& r, int n) {
                 const Record* pl = WithHandle(r, "LWPOLYLINE", 0x30);
                 EXPECT_EQ(Numbers(pl, 90), Spelled{"1"}) << "save " << n;
                 EXPECT_EQ(Numbers(pl, 10), Spelled{"3.5"}) << "save " << n;
                 EXPECT_EQ(Numbers(pl, 20), Spelled{"4.25"}) << "save " << n;
             });
         }},
        {"second_marker_before_spline_fit_points.dxf",
         [&](const Saved& s) {
             inSaves(s, [](const std::vector<Record>& r, int n) {
                 const Record* sp = WithHandle(r, "SPLINE", 0x30);
                 EXPECT_EQ(Numbers(sp, 74), Spelled{"4"}) << "save " << n;
                 EXPECT_EQ(Numbers(sp, 11), (Spelled{"0", "2", "5", "8"})) << "save " << n;
             });
         }},
        {"second_marker_before_mline_vertices.dxf",
         [&](const Saved& s) {
             inSaves(s, [](const std::vector<Record>& r, int n) {
                 const Record* ml = WithHandle(r, "MLINE", 0x30);
                 EXPECT_EQ(Numbers(ml, 72), Spelled{"2"}) << "save " << n;
                 EXPECT_EQ(Numbers(ml, 11), (Spelled{"0", "10"})) << "save " << n;
             });
         }},
        {"ownerless_image_definition.dxf",
         [&](const Saved& s) {
             const Record* def = WithHandle(s.saves[0], "IMAGEDEF", 0x40);
             EXPECT_EQ(One(def, 1), "C:\\Maps\\ownerless.png");
             EXPECT_EQ(HandleOf(One(WithHandle(s.saves[0], "IMAGE", 0x30), 340)), 0x40u);
             inSaves(s, [](const std::vector<Record>& r, int n) {
                 const Record* image = WithHandle(r, "IMAGE", 0x30);
                 EXPECT_EQ(Numbers(image, 11), Spelled{"1"}) << "save " << n;
                 EXPECT_EQ(Numbers(image, 13), Spelled{"64"}) << "save " << n;
             });
         }},
        {"dictionary_with_missing_owner.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             EXPECT_EQ(Entries(WithHandle(r, "DICTIONARY", 0x40)),
                       (Listing{{"FIRST", 0x41}, {"SECOND", 0x42}, {"ORDER", 0x43}}));
             EXPECT_EQ(One(WithHandle(r, "XRECORD", 0x41), 1), "first value");
             EXPECT_EQ(Numbers(WithHandle(r, "XRECORD", 0x42), 40), Spelled{"2.5"});
             const Record* order = WithHandle(r, "SORTENTSTABLE", 0x43);
             ASSERT_NE(order, nullptr);
             std::vector<uint64_t> sorted;
             for (const std::string& v : order->values(331)) sorted.push_back(HandleOf(v));
             EXPECT_EQ(sorted, (std::vector<uint64_t>{0x30, 0x31}));
         }},
        {"empty_record_type.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             EXPECT_NE(WithHandle(r, "LINE", 0x30), nullptr);
             EXPECT_NE(WithHandle(r, "LINE", 0x32), nullptr);
             EXPECT_EQ(One(WithHandle(r, "XRECORD", 0x41), 1), "named");
             // A record without a type either goes back or is named lost.
             for (const char* h : {"31", "40"})
                 EXPECT_TRUE(WithHandle(r, "", HandleOf(h)) || s.namedLoss(h)) << "the record " << h;
         }},
        {"embedded_marker_in_dictionary_and_sequence_end.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             const Record* dict = WithHandle(r, "DICTIONARY", 0x40);
             EXPECT_EQ(Numbers(dict, 281), Spelled{"1"});
             EXPECT_EQ(Entries(dict), (Listing{{"NOTE", 0x41}}));
             EXPECT_EQ(One(WithHandle(r, "XRECORD", 0x41), 1), "kept note");
             EXPECT_NE(WithHandle(r, "VERTEX", 0x32), nullptr);
             EXPECT_EQ(One(WithHandle(r, "SEQEND", 0x33), 8), "Walls");
         }},
        {"mline_element_count_disagrees.dxf",
         [&](const Saved& s) {
             // Every element's data of each vertex, as many as the file gave.
             auto data = [](const Record* r) {
                 std::vector<std::pair<int, std::string>> out;
                 for (const auto& g : From(r, 74))
                     if (g.first == 74 || g.first == 75 || g.first == 41)
                         out.push_back({g.first, Shortest(NumberOf(g.second))});
                 return out;
             };
             const Record* in = WithHandle(s.input, "MLINE", 0x30);
             const Record* out = WithHandle(s.saves[0], "MLINE", 0x30);
             EXPECT_EQ(Numbers(out, 73), Numbers(in, 73));
             EXPECT_EQ(data(out), data(in));
         }},
        {"xrecord_in_two_dictionaries.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             EXPECT_EQ(OwnerOf(WithHandle(r, "XRECORD", 0x42)), 0x41u);
             EXPECT_EQ(Entries(WithHandle(r, "DICTIONARY", 0x41)),
                       (Listing{{"SHARED", 0x42}}));
         }},
        {"mtext_rotation_only.dxf",
         [&](const Saved& s) {
             for (auto [handle, angle] : {std::pair<uint64_t, const char*>{0x30, "12"}, {0x31, "292.5"}}) {
                 const Record* mt = WithHandle(s.saves[0], "MTEXT", handle);
                 EXPECT_EQ(Numbers(mt, 50), Spelled{angle}) << std::hex << handle;
                 EXPECT_TRUE(mt && mt->values(11).empty()) << std::hex << handle;
             }
         }},
        {"mtext_stacked_fraction.dxf",
         [&](const Saved& s) { EXPECT_EQ(One(WithHandle(s.saves[0], "MTEXT", 0x30), 1), "\\S5^6;"); }},
        {"r12_dimstyle_arrow_blocks.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             const Record* arch = Named(r, "DIMSTYLE", "ARCH");
             ASSERT_NE(arch, nullptr);
             // The arrow goes by its name, or by the handle of its block.
             const Record* block = Named(r, "BLOCK_RECORD", "ARCHTICK");
             bool named = false;
             for (const auto& [code, value] : arch->groups)
                 named = named || value == "ARCHTICK" ||
                         (code == 342 && block && HandleOf(value) == HandleOf(One(block, 5)));
             EXPECT_TRUE(named);
             EXPECT_NE(Named(r, "STYLE", "STANDARD"), nullptr);
             EXPECT_EQ(Numbers(Named(r, "LTYPE", "DASHED"), 49), (Spelled{"0.5", "-0.25"}));
         }},
        {"line_colour_index_and_true_colour.dxf",
         [&](const Saved& s) {
             const Record* both = WithHandle(s.saves[0], "LINE", 0x30);
             const Record* trueOnly = WithHandle(s.saves[0], "LINE", 0x31);
             EXPECT_EQ(Numbers(both, 62), Spelled{"4"});
             EXPECT_EQ(Numbers(both, 420), Spelled{"16744448"});
             EXPECT_EQ(Numbers(trueOnly, 62), Spelled{});
             EXPECT_EQ(Numbers(trueOnly, 420), Spelled{"255"});
         }},
        {"layer_colour_and_missing_linetype.dxf",
         [&](const Saved& s) {
             const Record* survey = Named(s.saves[0], "LAYER", "Survey");
             EXPECT_EQ(Numbers(survey, 62), Spelled{"5"});
             EXPECT_EQ(Numbers(survey, 420), Spelled{"1193046"});
             EXPECT_EQ(One(Named(s.saves[0], "LAYER", "Kerbs"), 6), "HIDDEN_NOT_DEFINED");
         }},
        {"linetype_length_not_dash_sum.dxf",
         [&](const Saved& s) {
             const Record* lt = Named(s.saves[0], "LTYPE", "INCH_DASH");
             EXPECT_EQ(Numbers(lt, 40), Spelled{"2.54"});
             EXPECT_EQ(Numbers(lt, 49), (Spelled{"2", "-0.541"}));
         }},
        {"spline_flags_and_plane.dxf",
         [&](const Saved& s) {
             const auto& r = s.saves[0];
             EXPECT_EQ(Numbers(WithHandle(r, "SPLINE", 0x30), 70), Spelled{"0"});
             const Record* fit = WithHandle(r, "SPLINE", 0x31);
             EXPECT_EQ(Numbers(fit, 71), Spelled{"3"});
             EXPECT_EQ(Numbers(fit, 11), (Spelled{"0", "2", "5"}));
             EXPECT_EQ(Numbers(WithHandle(r, "SPLINE", 0x32), 230), Spelled{"2"});
         }},
    };
    for (const auto& [file, check] : cases) {
        SCOPED_TRACE(file);
        const std::string bytes = velktest::ReadNativeFile(kCorpus + "/" + file);
        ASSERT_FALSE(bytes.empty());
        Saved saved;
        saved.input = Records(bytes);
        std::vector<std::string> saves;
        std::string why;
        if (!SaveThrice(bytes, saves, saved.losses, why)) {
            ADD_FAILURE() << (saves.empty() ? "refused: " : "") << why;
            if (saves.empty()) continue;
        }
        for (const std::string& save : saves) saved.saves.push_back(Records(save));
        check(saved);
    }
}

TEST(DxfRoundTrip, ARecordOfATypeKindsShareIsOfTheKindItsFlagsSay)
{
    // No flags a record of a shared type can have make it two kinds, or none.
    EXPECT_EQ(standin::DxfKindFormFaults(), std::vector<std::string>{});

    // A polyline's kind, whatever other bits its flags carry: a mesh's bit
    // first, then a polyface mesh's, then a 3-D polyline's.
    auto polyline = [](int flags, const std::vector<int>& vertexFlags) {
        std::string s = "0\nPOLYLINE\n8\n0\n66\n1\n10\n0\n20\n0\n30\n0\n70\n" +
                        std::to_string(flags) + "\n71\n2\n72\n2\n";
        for (size_t i = 0; i < vertexFlags.size(); ++i) {
            s += "0\nVERTEX\n8\n0\n10\n" + std::to_string(i % 2) + "\n20\n" +
                 std::to_string(i / 2) + "\n30\n0\n70\n" + std::to_string(vertexFlags[i]) + "\n";
            if (vertexFlags[i] == 128) s += "71\n1\n72\n2\n73\n3\n";
        }
        return s + "0\nSEQEND\n8\n0\n";
    };
    const std::vector<int> plain(3, 0), in3d(3, 32), mesh(4, 64), faces{192, 192, 192, 128};
    const struct {
        int flags;
        std::vector<int> vertices;
        OdRxClass* (*cls)();
    } cases[] = {
        {0, plain, &OdDb2dPolyline::desc},      {1 | 4 | 128, plain, &OdDb2dPolyline::desc},
        {8, in3d, &OdDb3dPolyline::desc},       {8 | 1 | 4, in3d, &OdDb3dPolyline::desc},
        {16, mesh, &OdDbPolygonMesh::desc},     {16 | 8, mesh, &OdDbPolygonMesh::desc},
        {16 | 64, mesh, &OdDbPolygonMesh::desc}, {64, faces, &OdDbPolyFaceMesh::desc},
        {64 | 8, faces, &OdDbPolyFaceMesh::desc},
    };
    std::string entities;
    for (const auto& c : cases) entities += polyline(c.flags, c.vertices);
    std::unique_ptr<OdDbDatabase> db(dxftest::Reopen("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n"
                                                     "0\nSECTION\n2\nENTITIES\n" +
                                                     entities + "0\nENDSEC\n0\nEOF\n"));
    auto* ms = OdRxCast<OdDbBlockTableRecord>(db->getModelSpaceId().stub()->object);
    ASSERT_EQ(ms->entityIds().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        OdDbObject* e = ms->entityIds()[i].stub()->object;
        EXPECT_TRUE(e->isA() == cases[i].cls()) << "flags " << cases[i].flags << ": " << e->isA()->name().c_str();
    }
}

TEST(DxfRoundTrip, EachKindIsReadAndWrittenInExactlyTheCodesItLists)
{
    // Over drawings holding every kind of entity (a polyline's vertex
    // records with them), with the values a kind writes only when they are
    // not the default: each code a kind lists is taken by its reader and
    // written by its writer, and neither uses one it does not list. A code named in one of them alone fails here
    // instead of moving a value on save.
    std::vector<std::string> inputs;
    for (const char* name : {"drawing_r2010.dxf", "drawing_r2000.dxf"})
        inputs.push_back(velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR) + "/" + name));
    OdDbDatabase* sample = SampleDrawing();
    dxftest::AppendEveryKindsValues(sample);
    inputs.push_back(dxftest::Save(sample));

    // Hatches as files give them: associative loops of a polyline with
    // bulges and of each kind of edge (a rational spline with fit data), a
    // pattern of its own lines, a pixel size and a seed point; and a
    // gradient of a numbered colour and a true one.
    std::string hatches = "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
                          "0\nLINE\n5\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n";
    const std::string hatchHead = "100\nAcDbEntity\n8\n0\n100\nAcDbHatch\n10\n0\n20\n0\n30\n0\n210\n0\n220\n0\n230\n1\n";
    hatches += "0\nHATCH\n5\n41\n" + hatchHead + "2\nANSI31\n70\n0\n71\n1\n91\n2\n" +
               // A polyline loop.
               "92\n2\n72\n1\n73\n1\n93\n3\n10\n0\n20\n0\n42\n0.5\n10\n10\n20\n0\n42\n0\n10\n10\n20\n10\n42\n0\n"
               "97\n1\n330\n40\n"
               // A loop of a line, an arc, an elliptic arc and a spline.
               "92\n1\n93\n4\n72\n1\n10\n0\n20\n0\n11\n10\n21\n0\n"
               "72\n2\n10\n5\n20\n5\n40\n2\n50\n0\n51\n90\n73\n1\n"
               "72\n3\n10\n5\n20\n5\n11\n3\n21\n0\n40\n0.5\n50\n0\n51\n180\n73\n1\n"
               "72\n4\n94\n3\n73\n1\n74\n0\n95\n8\n96\n4\n40\n0\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n40\n1\n"
               "10\n0\n20\n0\n42\n1\n10\n1\n20\n1\n42\n2\n10\n2\n20\n1\n42\n1\n10\n3\n20\n0\n42\n1\n"
               "97\n2\n11\n0\n21\n0\n11\n3\n21\n0\n12\n1\n22\n0\n13\n1\n23\n0\n97\n0\n"
               // The pattern with a line of dashes, the pixel size, a seed.
               "75\n1\n76\n1\n52\n15\n41\n2\n77\n1\n78\n1\n53\n45\n43\n0\n44\n0\n45\n-0.1\n46\n0.1\n79\n2\n49\n0.2\n49\n-0.1\n"
               "47\n0.5\n98\n1\n10\n1\n20\n1\n";
    hatches += "0\nHATCH\n5\n42\n" + hatchHead + "2\nSOLID\n70\n1\n71\n0\n91\n1\n" +
               "92\n2\n72\n0\n73\n1\n93\n3\n10\n0\n20\n0\n10\n1\n20\n0\n10\n1\n20\n1\n97\n0\n"
               "75\n0\n76\n1\n98\n0\n450\n1\n451\n0\n452\n0\n453\n2\n463\n0\n63\n5\n421\n255\n"
               "463\n1\n63\n2\n421\n1193046\n460\n0.5\n461\n0.25\n462\n1\n470\nCYLINDER\n";
    inputs.push_back(hatches + "0\nENDSEC\n0\nEOF\n");

    // A multiline whose elements have fills, as only a file gives them.
    std::string mline = "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
                        "0\nMLINE\n5\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbMline\n2\nSTANDARD\n40\n1\n70\n0\n"
                        "71\n1\n72\n2\n73\n2\n10\n0\n20\n0\n30\n0\n210\n0\n220\n0\n230\n1\n";
    for (const char* x : {"0", "10"})
        mline += std::string("11\n") + x + "\n21\n0\n31\n0\n12\n1\n22\n0\n32\n0\n13\n0\n23\n1\n33\n0\n" +
                 "74\n2\n41\n0\n41\n0.5\n75\n1\n42\n0.25\n74\n1\n41\n-0.5\n75\n0\n";
    inputs.push_back(mline + "0\nENDSEC\n0\nEOF\n");

    standin::NoteDxfKindCodes(true);
    for (const std::string& input : inputs) {
        ASSERT_FALSE(input.empty());
        // Read, written, and what was written read again.
        std::unique_ptr<OdDbDatabase> db(dxftest::Reopen(input));
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(dxftest::Save(db.get())));
    }
    const std::vector<std::string> mismatches = standin::DxfKindCodeMismatches();
    standin::NoteDxfKindCodes(false);
    std::string all;
    for (const std::string& m : mismatches) all += m + "\n";
    EXPECT_EQ(all, "");
}

TEST(DxfRoundTrip, EachTableRecordBlockAndObjectIsReadAndWrittenInExactlyTheCodesItLists)
{
    // The same of the tables' records, a block's begin and end and the
    // objects the database models: what their lists name (and nothing
    // else) is read and written.
    std::vector<std::string> inputs;
    for (const char* name : {"drawing_r2010.dxf", "drawing_r2000.dxf"})
        inputs.push_back(velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR) + "/" + name));
    inputs.push_back(dxftest::Save(SampleDrawing()));
    // What those leave out: a layer of a true colour left out of plots, a
    // linetype with a shape and a text in its dashes, a view, a coordinate
    // system, and a dictionary owning its entry hard.
    const std::string record = "100\nAcDbSymbolTableRecord\n100\n";
    inputs.push_back(
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n"
        "0\nTABLE\n2\nSTYLE\n5\n3\n100\nAcDbSymbolTable\n70\n1\n"
        "0\nSTYLE\n5\n31\n330\n3\n" + record + "AcDbTextStyleTableRecord\n2\n\n70\n1\n40\n0\n41\n1\n50\n0\n"
        "71\n0\n42\n1\n3\nltypeshp.shx\n4\n\n0\nENDTAB\n"
        "0\nTABLE\n2\nLTYPE\n5\n5\n100\nAcDbSymbolTable\n70\n1\n"
        "0\nLTYPE\n5\n32\n330\n5\n" + record + "AcDbLinetypeTableRecord\n2\nMIXED\n70\n0\n3\nMixed\n72\n65\n"
        "73\n2\n40\n1.5\n49\n1\n74\n4\n75\n132\n340\n31\n46\n0.1\n50\n0\n44\n0\n45\n0\n"
        "49\n-0.5\n74\n2\n75\n0\n340\n31\n46\n0.1\n50\n0\n44\n-0.1\n45\n-0.05\n9\nGAS\n0\nENDTAB\n"
        "0\nTABLE\n2\nLAYER\n5\n2\n100\nAcDbSymbolTable\n70\n1\n"
        "0\nLAYER\n5\n33\n330\n2\n" + record + "AcDbLayerTableRecord\n2\nKerbs\n70\n0\n62\n5\n420\n16711680\n"
        "6\nMIXED\n290\n0\n370\n-3\n0\nENDTAB\n"
        "0\nTABLE\n2\nVIEW\n5\n6\n100\nAcDbSymbolTable\n70\n1\n"
        "0\nVIEW\n5\n34\n330\n6\n" + record + "AcDbViewTableRecord\n2\nFront\n70\n0\n40\n10\n10\n5\n20\n5\n"
        "41\n20\n11\n0\n21\n0\n31\n1\n12\n0\n22\n0\n32\n0\n42\n50\n43\n0\n44\n0\n50\n0\n71\n0\n0\nENDTAB\n"
        "0\nTABLE\n2\nUCS\n5\n7\n100\nAcDbSymbolTable\n70\n1\n"
        "0\nUCS\n5\n35\n330\n7\n" + record + "AcDbUCSTableRecord\n2\nTilted\n70\n0\n10\n1\n20\n2\n30\n0\n"
        "11\n0\n21\n1\n31\n0\n12\n-1\n22\n0\n32\n0\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nOBJECTS\n0\nDICTIONARY\n5\nC\n330\n0\n100\nAcDbDictionary\n280\n1\n3\nMYDATA\n360\n40\n"
        "0\nXRECORD\n5\n40\n330\nC\n100\nAcDbXrecord\n280\n1\n1\nx\n0\nENDSEC\n0\nEOF\n");
    standin::NoteDxfKindCodes(true);
    for (const std::string& input : inputs) {
        ASSERT_FALSE(input.empty());
        std::unique_ptr<OdDbDatabase> db(dxftest::Reopen(input));
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(dxftest::Save(db.get())));
    }
    const std::vector<std::string> mismatches = standin::DxfRecordCodeMismatches();
    standin::NoteDxfKindCodes(false);
    std::string all;
    for (const std::string& m : mismatches) all += m + "\n";
    EXPECT_EQ(all, "");
}
