// A file's handles: any 64-bit value but 0 is kept, up to the last, and
// new objects then take free handles below; a record given a new handle
// (one handle claimed twice) is still named by what named it without
// doubt; records without handles get theirs at the open, so that one save
// of a session names what the next does; and the writer's set of handles
// holds against handles chosen to meet in one bucket.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "handle_table.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "text_internal.h"

namespace {

using dxftest::Groups;

std::string File(const char* version, const Groups& tables, const Groups& blocks, const Groups& entities,
                 const Groups& objects = {})
{
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, version}},
                                 {{"TABLES", tables}, {"BLOCKS", blocks}, {"ENTITIES", entities}, {"OBJECTS", objects}});
}

std::unique_ptr<OdDbDatabase> Open(const std::string& bytes)
{
    auto db = std::make_unique<OdDbDatabase>(false);
    EXPECT_EQ(standin::ReadDxfBytes(db.get(), bytes), eOk);
    return db;
}

OdDbObject* ObjectOf(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    return db->getOdDbObjectId(id, false, OdDbHandle(handle)) == eOk ? id.stub()->object : nullptr;
}

OdDbObjectId AddLine(OdDbDatabase* db)
{
    return dxftest::Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0)));
}

std::string TrimText(std::string s)
{
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

std::string Hex(OdDbObjectId id)
{
    char h[24];
    snprintf(h, sizeof h, "%llX", (unsigned long long)(uint64_t)id.getHandle());
    return h;
}

// The handles a save gives its records ("0 TYPE" then "5 H"), by type.
std::multimap<std::string, std::string> SavedHandles(const std::string& bytes)
{
    std::multimap<std::string, std::string> out;
    const std::vector<std::string> g = dxftest::GroupLines(bytes);
    for (size_t i = 0; i + 1 < g.size(); ++i)
        if (g[i].rfind("0 ", 0) == 0 && g[i + 1].rfind("5 ", 0) == 0) out.emplace(g[i].substr(2), g[i + 1].substr(2));
    return out;
}

// The value of the group `code` after the marker in the record.
std::string After(const std::vector<std::string>& record, const std::string& marker, int code)
{
    bool in = false;
    for (const std::string& g : record) {
        if (g == "100 " + marker) in = true;
        else if (in && g.rfind(std::to_string(code) + " ", 0) == 0) return g.substr(std::to_string(code).size() + 1);
    }
    return std::string();
}

TEST(DxfFileHandles, HandlesUpToTheLastAreKeptAndNewObjectsTakeFreeOnesBelow)
{
    // Lines up to the last handle, two low ones, and extended data naming a
    // handle no record has (3), which no new object may take.
    const Groups entities{
        {0, "LINE"}, {5, "FFFFFFFFFFFFFFFF"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"},
        {0, "LINE"}, {5, "FFFFFFFFFFFFFFFE"}, {10, "0"}, {20, "0"}, {11, "2"}, {21, "2"},
        {0, "LINE"}, {5, "1"}, {10, "0"}, {20, "0"}, {11, "3"}, {21, "3"}, {340, "F000000000000001"},
        {0, "LINE"}, {5, "2"}, {10, "0"}, {20, "0"}, {11, "4"}, {21, "4"}, {1001, "ACAD"}, {1005, "3"},
        {0, "LINE"}, {5, "8000000000000000"}, {10, "0"}, {20, "0"}, {11, "5"}, {21, "5"}, {1001, "ACAD"},
        {1005, "FFFFFFFFFFFFFFFF"}};
    std::unique_ptr<OdDbDatabase> db = Open(File("AC1024", {}, {}, entities));
    const uint64_t fileHandles[] = {~uint64_t(0), ~uint64_t(0) - 1, 1, 2, uint64_t(1) << 63};
    for (uint64_t h : fileHandles) EXPECT_NE(OdRxCast<OdDbLine>(ObjectOf(db.get(), h)), nullptr) << std::hex << h;
    EXPECT_TRUE(standin::DxfRenumbered(db.get()).empty());
    // None is left above the last: what the reader made (the tables, model
    // space) took free handles from 1 up.
    EXPECT_LT((uint64_t)db->handseed(), 0x100u);
    // What the file named is taken; every new object gets a handle of its
    // own, none 0.
    std::set<uint64_t> taken(std::begin(fileHandles), std::end(fileHandles));
    taken.insert(3);
    for (const OdDbObjectId& id : db->allObjectIds()) taken.insert((uint64_t)id.getHandle());
    for (int i = 0; i < 20; ++i) {
        const uint64_t h = (uint64_t)AddLine(db.get()).getHandle();
        EXPECT_NE(h, 0u);
        EXPECT_TRUE(taken.insert(h).second) << std::hex << h;
    }
    // The extended data still names the high line; saved and read again,
    // every line is there under its handle.
    const std::string saved = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
    for (uint64_t h : taken) {
        if (h != 3) {
            EXPECT_NE(ObjectOf(again.get(), h), nullptr) << std::hex << h;
        }
    }
    const std::vector<std::string> g = dxftest::GroupLines(saved);
    const std::vector<std::string> high = dxftest::Record(g, "LINE", "8000000000000000");
    EXPECT_NE(std::find(high.begin(), high.end(), "1005 FFFFFFFFFFFFFFFF"), high.end());
    // A handle kept that names nothing goes back as given, high ones too.
    const std::vector<std::string> first = dxftest::Record(g, "LINE", "1");
    EXPECT_NE(std::find(first.begin(), first.end(), "340 F000000000000001"), first.end()) << saved;
    const std::vector<std::string> low = dxftest::Record(g, "LINE", "2");
    EXPECT_NE(std::find(low.begin(), low.end(), "1005 3"), low.end());
    // The seed a save gives is a free handle, not 0.
    auto seed = std::find(g.begin(), g.end(), "9 $HANDSEED");
    ASSERT_NE(seed, g.end());
    ASSERT_NE(seed + 1, g.end());
    EXPECT_NE(seed[1], "5 0");
    const uint64_t written = std::stoull(seed[1].substr(2), nullptr, 16);
    EXPECT_EQ(taken.count(written), 0u);
    // An undo may put the seed back to past the last; new objects still
    // take free handles.
    db->setHandseed(OdDbHandle(0));
    EXPECT_TRUE(taken.insert((uint64_t)AddLine(db.get()).getHandle()).second);
}

// Of POINTs that give each handle twice, the second of each pair gets a
// new handle; each is said, in file order, with the line of its record,
// the handle it gave and the one it has, which is that POINT's. A record
// whose handle is none is said with its text. Asked one by one, each line
// is what the whole list says.
TEST(DxfFileHandles, EachRecordGivenANewHandleIsSaidWithItsLineAndItsHandles)
{
    const int points = 300;
    Groups entities;
    std::vector<std::string> given;
    for (int k = 0; k < points; ++k) {
        char h[24];
        snprintf(h, sizeof h, "%X", 0x100 + k / 2);
        given.push_back(h);
        entities.insert(entities.end(), {{0, "POINT"}, {5, given.back()}, {8, "0"}, {10, std::to_string(k)},
                                         {20, "0"}, {30, "0"}});
    }
    entities.insert(entities.end(), {{0, "LINE"}, {5, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    const std::string bytes = File("AC1024", {}, {}, entities);
    std::unique_ptr<OdDbDatabase> db = Open(bytes);
    // The lines of the file, counted from 1.
    std::vector<std::string> lines(1);
    for (size_t at = 0, next; at < bytes.size(); at = next + 1) {
        next = bytes.find('\n', at);
        if (next == std::string::npos) next = bytes.size();
        std::string line = bytes.substr(at, next - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    const std::vector<std::wstring> all = standin::DxfRenumbered(db.get());
    ASSERT_EQ(standin::DxfRenumberedCount(db.get()), size_t(points / 2 + 1));
    ASSERT_EQ(all.size(), size_t(points / 2 + 1));
    size_t lastLine = 0;
    std::set<uint64_t> now;
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(standin::DxfRenumberedSaid(db.get(), i), all[i]) << i;
    for (int pair = 0; pair < points / 2; ++pair) {
        const std::string said = standin::WideToUtf8(all[pair]);
        unsigned long line = 0;
        char handle[24] = {}, instead[24] = {};
        ASSERT_EQ(sscanf(said.c_str(), "POINT at line %lu: its handle %23[0-9A-F] is an earlier record's; it has handle "
                                       "%23[0-9A-F] instead",
                         &line, handle, instead),
                  3)
            << said;
        EXPECT_EQ(said.substr(said.size() - 8), " instead");
        // The record of that line is the second POINT of the pair.
        ASSERT_LT(line + 3, lines.size());
        EXPECT_GT(line, lastLine);
        lastLine = line;
        EXPECT_EQ(TrimText(lines[line]), "0");
        EXPECT_EQ(lines[line + 1], "POINT");
        EXPECT_EQ(lines[line + 3], given[2 * pair + 1]);
        EXPECT_EQ(handle, given[2 * pair + 1]);
        // Its new handle is that POINT's, and no other's.
        auto* point = OdRxCast<OdDbPoint>(ObjectOf(db.get(), std::stoull(instead, nullptr, 16)));
        ASSERT_NE(point, nullptr) << said;
        EXPECT_EQ(point->position().x, 2 * pair + 1);
        EXPECT_TRUE(now.insert(std::stoull(instead, nullptr, 16)).second);
        auto* first = OdRxCast<OdDbPoint>(ObjectOf(db.get(), std::stoull(handle, nullptr, 16)));
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->position().x, 2 * pair);
    }
    const std::wstring none = all.back();
    EXPECT_EQ(none.rfind(L"LINE at line ", 0), 0u) << standin::WideToUtf8(none);
    EXPECT_NE(none.find(L": its handle \"0\" is no handle; it has handle "), std::wstring::npos);
    // Past the last, and of no drawing, nothing is said.
    EXPECT_EQ(standin::DxfRenumberedSaid(db.get(), all.size()), L"");
    EXPECT_EQ(standin::DxfRenumberedCount(nullptr), 0u);
    EXPECT_EQ(standin::DxfRenumberedSaid(nullptr, 0), L"");
}

// A header seed at the last handle leaves no room above it, though the
// records' handles are low: what the reader makes takes free handles that
// no record of the file has, and the save is one a second save repeats.
TEST(DxfFileHandles, ASeedAtTheLastHandleLeavesTheFileItsHandles)
{
    for (const char* seed : {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFF0"}) {
        SCOPED_TRACE(seed);
        const Groups entities{{0, "LINE"}, {5, "10"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"},
                              {0, "LINE"}, {5, "1"},  {8, "0"}, {10, "0"}, {20, "0"}, {11, "2"}, {21, "2"}};
        const std::string bytes = dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}, {9, "$HANDSEED"}, {5, seed}},
                                                        {{"ENTITIES", entities}});
        std::unique_ptr<OdDbDatabase> db = Open(bytes);
        EXPECT_TRUE(standin::DxfRenumbered(db.get()).empty());
        EXPECT_NE(OdRxCast<OdDbLine>(ObjectOf(db.get(), 0x10)), nullptr);
        EXPECT_NE(OdRxCast<OdDbLine>(ObjectOf(db.get(), 1)), nullptr);
        const std::string once = dxftest::Save(db.get());
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(once));
        EXPECT_NE(OdRxCast<OdDbLine>(ObjectOf(again.get(), 0x10)), nullptr);
        EXPECT_EQ(dxftest::Save(again.get()), once);
    }
}

// Handles that reach the last, and an owner naming a handle no record has
// (2), which the save does not write again: the handles the reader gives
// skip it at the first open and may take it at the next, yet the seed the
// first save wrote is where the next open starts, so both saves are alike.
TEST(DxfFileHandles, ASaveOfHandlesReachingTheLastIsOneTheNextSaveRepeats)
{
    const Groups entities{{0, "LINE"}, {5, "FFFFFFFFFFFFFFFF"}, {330, "2"}, {8, "0"}, {10, "0"}, {20, "0"},
                          {11, "1"}, {21, "1"}};
    std::unique_ptr<OdDbDatabase> db = Open(File("AC1024", {}, {}, entities));
    const std::string once = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(once));
    EXPECT_NE(OdRxCast<OdDbLine>(ObjectOf(again.get(), ~uint64_t(0))), nullptr);
    const std::string twice = dxftest::Save(again.get());
    EXPECT_TRUE(twice == once) << dxftest::FirstDifferingLine(once, twice);
}

// A BLOCK_RECORD and a LAYOUT claim handle 40; the record keeps it (as many
// references name a record there as a layout, and it comes first). The
// layout, given a new handle, is still the one its dictionary and the
// record name, since they name a layout there and so it without doubt.
TEST(DxfFileHandles, ARecordGivenANewHandleIsStillNamedByWhatNamedItWithoutDoubt)
{
    const Groups tables{{0, "TABLE"}, {2, "BLOCK_RECORD"}, {5, "1"}, {100, "AcDbSymbolTable"},
                        {0, "BLOCK_RECORD"}, {5, "1F"}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                        {100, "AcDbBlockTableRecord"}, {2, "*Model_Space"},
                        {0, "BLOCK_RECORD"}, {5, "40"}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                        {100, "AcDbBlockTableRecord"}, {2, "*Paper_Space"}, {340, "40"},
                        {0, "ENDTAB"}};
    const Groups blocks{{0, "BLOCK"}, {5, "41"}, {330, "40"}, {100, "AcDbEntity"}, {8, "0"},
                        {100, "AcDbBlockBegin"}, {2, "*Paper_Space"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
                        {0, "ENDBLK"}, {5, "42"}, {330, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}};
    const Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_LAYOUT"},
                         {350, "1A"},
                         {0, "DICTIONARY"}, {5, "1A"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "Layout1"},
                         {350, "40"},
                         {0, "LAYOUT"}, {5, "40"}, {330, "1A"}, {100, "AcDbPlotSettings"}, {1, ""}, {70, "0"},
                         {100, "AcDbLayout"}, {1, "Layout1"}, {70, "1"}, {71, "1"}, {330, "40"}};
    std::unique_ptr<OdDbDatabase> db = Open(File("AC1024", tables, blocks, {}, objects));
    ASSERT_EQ(standin::DxfRenumbered(db.get()).size(), 1u);
    EXPECT_NE(standin::DxfRenumbered(db.get())[0].find(L"LAYOUT"), std::wstring::npos);
    auto* layouts = OdRxCast<OdDbDictionary>(ObjectOf(db.get(), 0x1A));
    ASSERT_NE(layouts, nullptr);
    OdDbObjectId layout;
    ASSERT_EQ(layouts->getAt(L"Layout1", layout), eOk);
    ASSERT_FALSE(layout.isNull());
    EXPECT_NE((uint64_t)layout.getHandle(), 0x40u);
    EXPECT_EQ(OdRxCast<OdDbBlockTableRecord>(ObjectOf(db.get(), 0x40))->getName(), OdString(L"*Paper_Space"));
    // Saved: the layout names the record, the record the layout.
    const std::vector<std::string> g = dxftest::GroupLines(dxftest::Save(db.get()));
    const std::vector<std::string> saved = dxftest::Record(g, "LAYOUT", Hex(layout));
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(After(saved, "AcDbLayout", 330), "40");
    EXPECT_EQ(After(dxftest::Record(g, "BLOCK_RECORD", "40"), "AcDbBlockTableRecord", 340), Hex(layout));
    EXPECT_EQ(After(dxftest::Record(g, "DICTIONARY", "1A"), "AcDbDictionary", 350), Hex(layout));
}

// An R12 file without handles: its blocks' BLOCK and ENDBLK and a
// polyline's vertices get handles at the open, so a save after a new
// object names them as the save before it did, and the new object takes
// none of them.
TEST(DxfFileHandles, RecordsWithoutHandlesKeepTheHandlesTheOpenGaveThem)
{
    const Groups blocks{{0, "BLOCK"}, {8, "0"}, {2, "MARK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "MARK"},
                        {0, "CIRCLE"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"},
                        {0, "ENDBLK"}, {8, "0"}};
    const Groups entities{{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {10, "0"}, {20, "0"}, {30, "0"},
                          {0, "VERTEX"}, {8, "0"}, {10, "0"}, {20, "0"},
                          {0, "VERTEX"}, {8, "0"}, {10, "5"}, {20, "0"},
                          {0, "SEQEND"}, {8, "0"},
                          {0, "INSERT"}, {8, "0"}, {2, "MARK"}, {10, "3"}, {20, "3"}};
    std::unique_ptr<OdDbDatabase> db = Open(File("AC1009", {}, blocks, entities));
    const std::string first = dxftest::Save(db.get());
    const std::string second = dxftest::Save(db.get());
    EXPECT_EQ(first, second);
    const OdDbObjectId line = AddLine(db.get());
    const std::string third = dxftest::Save(db.get());
    const auto before = SavedHandles(first), after = SavedHandles(third);
    for (const char* type : {"BLOCK", "ENDBLK", "VERTEX", "SEQEND"}) {
        auto a = before.equal_range(type), b = after.equal_range(type);
        std::multiset<std::string> was, is;
        for (auto it = a.first; it != a.second; ++it) was.insert(it->second);
        for (auto it = b.first; it != b.second; ++it) is.insert(it->second);
        EXPECT_EQ(was, is) << type;
        EXPECT_FALSE(was.empty()) << type;
        EXPECT_EQ(was.count(Hex(line)), 0u) << type;
    }
}

// The handles of a polyline's vertices and its end chosen to meet in one
// bucket of the standard hash (the identity, under the prime count of
// buckets a set of that many handles has), against the same polylines
// with their vertices' handles in a run: opening and saving each looks at
// about as many slots of the handle tables (a chain of all of them in one
// bucket would look at each handle once for every one before it).
TEST(DxfFileHandles, VertexHandlesChosenForOneBucketCostWhatARunCosts)
{
    const int polylines = 3000, records = 4;  // three vertices and the end
    std::unordered_set<uint64_t> standard;
    for (int i = 0; i < polylines * records; ++i) standard.insert((uint64_t)i + 1);
    const uint64_t buckets = standard.bucket_count();
    auto file = [&](bool colliding) {
        Groups entities;
        for (int p = 0; p < polylines; ++p) {
            char h[32];
            snprintf(h, sizeof h, "%X", 0x100 + p);
            entities.insert(entities.end(), {{0, "POLYLINE"}, {5, h}, {8, "0"}, {66, "1"}, {10, "0"}, {20, "0"}, {30, "0"}});
            for (int r = 0; r < records; ++r) {
                const uint64_t n = (uint64_t)p * records + r + 1;
                snprintf(h, sizeof h, "%llX", (unsigned long long)(colliding ? n * buckets : 0x100000 + n));
                entities.insert(entities.end(), {{0, r + 1 < records ? "VERTEX" : "SEQEND"}, {5, h}, {8, "0"}});
                if (r + 1 < records) entities.insert(entities.end(), {{10, std::to_string(r)}, {20, "1"}});
            }
        }
        return File("AC1009", {}, {}, entities);
    };
    auto probes = [](const std::string& bytes, std::string& saved) {
        const uint64_t before = standin::dxf::HandleTableProbes();
        std::unique_ptr<OdDbDatabase> db = Open(bytes);
        saved = dxftest::Save(db.get());
        return standin::dxf::HandleTableProbes() - before;
    };
    std::string chosenSave, runSave;
    const uint64_t chosen = probes(file(true), chosenSave), run = probes(file(false), runSave);
    // Each vertex's handle goes back as the file gave it.
    EXPECT_EQ(SavedHandles(chosenSave).count("VERTEX"), (size_t)polylines * (records - 1));
    const std::vector<std::string> g = dxftest::GroupLines(chosenSave);
    char last[32];
    snprintf(last, sizeof last, "%llX", (unsigned long long)((uint64_t)polylines * records * buckets));
    EXPECT_FALSE(dxftest::Record(g, "SEQEND", last).empty());
    ASSERT_GT(run, (uint64_t)polylines);
    EXPECT_LT((double)chosen / (double)run, 2.0) << chosen << " against " << run;
    // The table itself: the pattern, and multiples of powers of two, each
    // within its bound, and found.
    for (uint64_t step : {buckets, uint64_t(1) << 12, uint64_t(1) << 40}) {
        standin::dxf::HandleTable<int> table;
        for (int i = 1; i <= 50000; ++i) EXPECT_TRUE(table.set((uint64_t)i * step, i));
        EXPECT_FALSE(table.ordered());
        EXPECT_LE(table.longestProbe(), 128u);
        EXPECT_EQ(table.size(), 50000u);
        for (int i = 1; i <= 50000; i += 997) ASSERT_EQ(*table.find((uint64_t)i * step), i);
        EXPECT_EQ(table.find(step + 1), nullptr);
        EXPECT_FALSE(table.insert(step, 7));
        EXPECT_EQ(*table.find(step), 1);
    }
}

}  // namespace
