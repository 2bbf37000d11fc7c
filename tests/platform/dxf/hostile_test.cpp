// Drawing files are hostile input: refused files fail with a status and
// leave the database empty, damaged ones never crash, and what a file
// declares (counts, handles, nesting) cannot make the reader or the drawing
// run away.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

using dxftest::Groups;

std::string Text(const Groups& groups) { return dxftest::GroupText(groups); }

// A file of the 2010 form with the given entities, blocks, objects and
// tables.
std::string File(const Groups& entities, const Groups& blocks = {}, const Groups& objects = {},
                 const Groups& tables = {})
{
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}},
                                 {{"TABLES", tables}, {"BLOCKS", blocks}, {"ENTITIES", entities}, {"OBJECTS", objects}});
}

struct Read {
    OdResult status;
    std::unique_ptr<OdDbDatabase> db;
};

Read ReadBytes(const std::string& bytes)
{
    Read r{eOk, std::make_unique<OdDbDatabase>(false)};
    r.status = standin::ReadDxfBytes(r.db.get(), bytes);
    return r;
}

// The live entities of model space.
std::vector<OdDbEntity*> ModelSpace(OdDbDatabase* db)
{
    std::vector<OdDbEntity*> out;
    OdDbBlockTableRecord* ms = nullptr;
    EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    for (const auto& id : ms->entityIds())
        if (!id.isErased()) out.push_back(static_cast<OdDbEntity*>(id.stub()->object));
    ms->close();
    return out;
}

OdDbObjectId BlockNamed(OdDbDatabase* db, const wchar_t* name)
{
    OdDbBlockTable* bt = nullptr;
    db->getBlockTable(bt, OdDb::kForRead);
    OdDbObjectId id;
    bt->getAt(name, id);
    bt->close();
    return id;
}

Groups Block(const char* name, const Groups& entities)
{
    Groups g{{0, "BLOCK"}, {2, name}, {10, "0"}, {20, "0"}, {30, "0"}};
    g.insert(g.end(), entities.begin(), entities.end());
    g.push_back({0, "ENDBLK"});
    return g;
}

std::wstring NameOf(OdDbObjectId id)
{
    auto* r = OdRxCast<OdDbSymbolTableRecord>(id.stub()->object);
    return r ? r->getName().str() : std::wstring();
}

Groups Insert(const char* block) { return {{0, "INSERT"}, {2, block}, {10, "0"}, {20, "0"}, {30, "0"}}; }

}  // namespace

TEST(DxfHostile, RefusedFilesFailWithAStatusAndLeaveTheDatabaseEmpty)
{
    OdDbDatabase db(false);
    EXPECT_EQ(db.readDwgFile(L"C:\\none.dxf"), eFileNotFound);
    const std::pair<std::string, OdResult> cases[] = {
        {"AC1032\x00\x00\x00", eNotImplemented},                     // a drawing in the binary form
        {std::string("Binary DXF\r\n\x1a\x00\x00\x00", 16), eNotImplemented},  // the binary exchange form
        {"", eInvalidInput},
        {"hello\nworld\n", eInvalidInput},
        // Values their codes cannot hold are no reason to refuse: the
        // drawing is read without them (DxfUnreadable).
        {File({{0, "LINE"}, {10, "abc"}}), eOk},            // a value that is no number
        {File({{0, "LINE"}, {10, "nan"}}), eOk},
        {File({{0, "LINE"}, {10, "1e999"}}), eOk},          // beyond a double
        {File({{0, "LWPOLYLINE"}, {70, "99999999"}}), eOk}, // beyond 16 bits
        {File({{0, "LINE"}, {5, "XYZ"}}), eOk},             // a handle that is no hex number
        {File({{0, "LINE"}, {5000, "1"}}), eOk},                      // a code no file defines, kept
        {File({{0, "LINE"}, {-1, "1"}}), eOk},
        {File({{0, "LINE"}, {70000, "1"}}), eInvalidInput},           // no group code at all
        {File({{0, "TEXT"}, {1, std::string(300 << 10, 'x')}}), eInvalidInput},  // a line too long
        {Text({{0, "LINE"}, {0, "EOF"}}), eInvalidInput},             // no section
        {Text({{0, "SECTION"}, {2, "ENTITIES"}, {10, "1"}, {0, "ENDSEC"}, {0, "EOF"}}), eInvalidInput},
    };
    for (const auto& [bytes, status] : cases) {
        std::string path = standin::NativePath(L"C:\\bad.dxf");
        velktest::WriteNativeFile(path, bytes);
        OdDbDatabase fresh(false);
        EXPECT_EQ(fresh.readDwgFile(L"C:\\bad.dxf"), status) << bytes.substr(0, 60);
        EXPECT_EQ(fresh.allObjectIds().isEmpty(), status != eOk);
    }
    // A whole file (its EOF there) whose last section runs into the EOF, or
    // whose lines end otherwise than in LF, is read.
    const std::string whole = Text({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {0, "EOF"}});
    std::string cr = whole, crcrlf;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    for (char c : whole) crcrlf += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
    for (const std::string& bytes : {whole, cr, crcrlf}) {
        velktest::WriteNativeFile(standin::NativePath(L"C:\\whole.dxf"), bytes);
        OdDbDatabase read(false);
        EXPECT_EQ(read.readDwgFile(L"C:\\whole.dxf"), eOk);
        EXPECT_EQ(ModelSpace(&read).size(), 1u);
    }
    // A database that holds a drawing is not read into.
    velktest::WriteNativeFile(standin::NativePath(L"C:\\good.dxf"), File({}));
    OdDbDatabase full(true);
    OdDbHandle seed = full.handseed();
    EXPECT_EQ(full.readDwgFile(L"C:\\good.dxf"), eNotApplicable);
    EXPECT_EQ(full.handseed(), seed);
    OdDbDatabase empty(false);
    EXPECT_EQ(empty.readDwgFile(L"C:\\good.dxf"), eOk);
}

TEST(DxfHostile, RefusalsSayWhatTheFileIsOrWhereItCannotBeRead)
{
    std::unique_ptr<OdDbDatabase> sample(new OdDbDatabase(true));
    dxftest::BuildSampleDrawing(sample.get());
    std::string good = dxftest::Save(sample.get());
    size_t entities = good.find("ENTITIES");
    const std::pair<std::string, std::string> cases[] = {
        {std::string("AutoCAD Binary DXF\r\n\x1a\x00", 22) + "rest", "binary DXF is not read; save it as an ASCII DXF"},
        {std::string("AC1032\x00\x00\x00\x00", 10), "it is a DWG drawing (version AC1032), which is not read; save it as an ASCII DXF"},
        {"\x89PNG\r\n\x1a\n....", "it is a PNG image, not a DXF file"},
        {"\xFF\xD8\xFF\xE0 JFIF", "it is a JPEG image, not a DXF file"},
        {"PK\x03\x04 zipped", "it is a ZIP archive, not a DXF file"},
        {"%PDF-1.4\n", "it is a PDF document, not a DXF file"},
        {"hello\nworld\n", "not a DXF file (line 1: \"hello\" is not a group code)"},
        {"", "the file is empty"},
        {good.substr(0, good.find('\n', entities + 400) + 1), "the file is cut short: it ends at line "},
        {File({{0, "LINE"}, {70000, "1"}}), "line 29: \"70000\" is not a group code"},
        // In a file of CR lines a line feed is part of a line.
        {"0\rSECTION\r2\rENTITIES\r0\rLINE\r1\n0\r1\r0\rENDSEC\r0\rEOF\r",
         "line 7: \"1?0\" is not a group code"},
    };
    for (const auto& [bytes, reason] : cases) {
        OdDbDatabase db(false);
        std::string why;
        EXPECT_NE(standin::ReadDxfBytes(&db, bytes, &why), eOk);
        EXPECT_EQ(why.substr(0, reason.size()), reason) << bytes.substr(0, 40);
    }
    // A cut file names the line where it ends and the section it was in.
    std::string cut = good.substr(0, good.find('\n', entities + 400) + 1);
    OdDbDatabase db(false);
    std::string why;
    standin::ReadDxfBytes(&db, cut, &why);
    size_t lines = (size_t)std::count(cut.begin(), cut.end(), '\n');
    EXPECT_EQ(why, "the file is cut short: it ends at line " + std::to_string(lines) + ", inside section ENTITIES");
    // One cut after a section ended may have lost whole sections.
    const std::string noEof = good.substr(0, good.rfind("EOF"));
    OdDbDatabase cutAfter(false);
    EXPECT_NE(standin::ReadDxfBytes(&cutAfter, noEof, &why), eOk);
    ASSERT_NE(why.find(','), std::string::npos) << why;
    EXPECT_EQ(why.substr(why.find(',')), ", after section OBJECTS (no EOF ends it)");
    OdDbDatabase fine(false);
    EXPECT_EQ(standin::ReadDxfBytes(&fine, good, &why), eOk);
    EXPECT_EQ(why, "");
}

TEST(DxfHostile, AFileCutShortIsRefusedWhereverItEnds)
{
    std::unique_ptr<OdDbDatabase> sample(new OdDbDatabase(true));
    dxftest::BuildSampleDrawing(sample.get());
    std::string bytes = dxftest::Save(sample.get());
    size_t eofEnd = bytes.rfind("EOF") + 3;
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 2000 ? 7 : 331) {
        Read r = ReadBytes(bytes.substr(0, cut));
        EXPECT_EQ(r.status, cut >= eofEnd ? eOk : eInvalidInput) << "cut at " << cut;
        if (r.status != eOk) {
            EXPECT_TRUE(r.db->allObjectIds().isEmpty());
        }
    }
    EXPECT_EQ(ReadBytes(bytes.substr(0, eofEnd)).status, eOk);
}

TEST(DxfHostile, DamagedFilesAreReadOrRefusedAndWhatIsReadCanBeSavedAgain)
{
    std::unique_ptr<OdDbDatabase> sample(new OdDbDatabase(true));
    dxftest::BuildSampleDrawing(sample.get());
    std::string bytes = dxftest::Save(sample.get());
    std::mt19937 rng(20240613);
    const char noise[] = "0123456789-.eE\n\r ^\\{}ABCF\xE4\xFF";
    int read = 0;
    for (int round = 0; round < 150; ++round) {
        std::string damaged = bytes;
        int changes = 1 + (int)(rng() % 4);
        for (int k = 0; k < changes; ++k) {
            size_t at = rng() % damaged.size();
            switch (rng() % 3) {
            case 0: damaged[at] = noise[rng() % (sizeof noise - 1)]; break;
            case 1: damaged.erase(at, 1 + rng() % 40); break;
            default: damaged.insert(at, damaged.substr(rng() % damaged.size(), 1 + rng() % 60)); break;
            }
        }
        // Saving what was read and reading that again must work; the fuzz
        // entry point aborts otherwise.
        int status = standin::FuzzReadDxf(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size());
        EXPECT_TRUE(status == eOk || status == eInvalidInput) << status;
        read += status == eOk;
    }
    EXPECT_GT(read, 0);  // damage in values alone leaves a readable file
}

TEST(DxfHostile, DeclaredCountsDoNotOutgrowTheGroupsThatFollow)
{
    Read r = ReadBytes(File({
        {0, "LWPOLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "2000000000"},
        {70, "0"}, {10, "1"}, {20, "2"}, {10, "3"}, {20, "4"},
        {0, "HATCH"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {2, "SOLID"}, {70, "1"},
        {71, "0"}, {91, "2000000000"}, {92, "1"}, {93, "2000000000"},
        {72, "1"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"},
        {72, "4"}, {94, "3"}, {73, "0"}, {74, "0"}, {95, "2000000000"}, {96, "2000000000"}, {40, "0"},
        {0, "SPLINE"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbSpline"}, {70, "8"}, {71, "3"},
        {72, "30000"}, {73, "30000"}, {40, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
    }));
    ASSERT_EQ(r.status, eOk);
    std::vector<OdDbEntity*> ents = ModelSpace(r.db.get());
    // The polyline has the vertices the file holds; the hatch and spline,
    // whose groups end early, are kept as the file wrote them.
    ASSERT_EQ(ents.size(), 3u);
    auto* pl = OdRxCast<OdDbPolyline>(ents[0]);
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->numVerts(), 2u);
    for (int i : {1, 2}) {
        auto* kept = OdRxCast<OdDbProxyEntity>(ents[(size_t)i]);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->originalDxfName(), i == 1 ? L"HATCH" : L"SPLINE");
    }
    // Saved, they go back with every group they had.
    std::string saved = dxftest::Save(r.db.get());
    EXPECT_NE(saved.find("2000000000\r\n 92\r\n1\r\n 93\r\n2000000000"), std::string::npos);
    EXPECT_NE(saved.find(" 72\r\n30000\r\n 73\r\n30000"), std::string::npos);

    // A hatch's arc edges whose start is beyond their end by more turns
    // than a double can count, circular and elliptical: kept, not read.
    for (const char* edge : {"2", "3"}) {
        std::vector<std::pair<int, std::string>> groups = {
            {0, "HATCH"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {10, "0"}, {20, "0"},
            {30, "0"}, {210, "0"}, {220, "0"}, {230, "1"}, {2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "1"},
            {92, "1"}, {93, "1"}, {72, edge}, {10, "0"}, {20, "0"}};
        if (std::string(edge) == "3") groups.insert(groups.end(), {{11, "2"}, {21, "0"}});
        groups.insert(groups.end(), {{40, "1"}, {50, "1e300"}, {51, "0"}, {73, "1"}, {97, "0"}, {75, "0"},
                                     {76, "1"}, {98, "0"}});
        Read hatch = ReadBytes(File(groups));
        ASSERT_EQ(hatch.status, eOk);
        std::vector<OdDbEntity*> one = ModelSpace(hatch.db.get());
        ASSERT_EQ(one.size(), 1u);
        auto* kept = OdRxCast<OdDbProxyEntity>(one[0]);
        ASSERT_NE(kept, nullptr) << edge;
        EXPECT_EQ(kept->originalDxfName(), L"HATCH");
    }
}

TEST(DxfHostile, BlocksThatContainThemselvesOrNestTooDeepLoseThoseReferences)
{
    Groups blocks = Block("A", Insert("A"));  // itself
    Groups b = Block("B", Insert("C")), c = Block("C", Insert("B"));  // each other
    blocks.insert(blocks.end(), b.begin(), b.end());
    blocks.insert(blocks.end(), c.begin(), c.end());
    // A chain of 200 blocks, each holding the next and a line.
    for (int i = 0; i < 200; ++i) {
        std::string name = "N" + std::to_string(i), next = "N" + std::to_string(i + 1);
        Groups n = Block(name.c_str(), i + 1 < 200 ? Insert(next.c_str()) : Groups{});
        n.insert(n.end() - 1, {{0, "LINE"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, std::to_string(i)}});
        blocks.insert(blocks.end(), n.begin(), n.end());
    }
    Groups ents = Insert("A");
    for (const char* n : {"B", "N0", "missing"}) {
        Groups i = Insert(n);
        ents.insert(ents.end(), i.begin(), i.end());
    }
    Read r = ReadBytes(File(ents, blocks));
    ASSERT_EQ(r.status, eOk);
    std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
    // The reference to a block the file does not define is kept, and the
    // block is added, empty.
    ASSERT_EQ(ms.size(), 4u);
    auto* missing = OdRxCast<OdDbBlockReference>(ms[3]);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(NameOf(missing->blockTableRecord()), L"missing");
    for (OdDbEntity* e : ms) {
        OdGeExtents3d ext;
        e->getGeomExtents(ext);  // finishes: no block holds itself
    }
    OdDbBlockTableRecord* a = nullptr;
    ASSERT_EQ(oddbOpenObject(a, BlockNamed(r.db.get(), L"A"), OdDb::kForRead), eOk);
    EXPECT_TRUE(a->entityIds()[0].isErased());
    a->close();
    // Of B and C one keeps its reference: the cycle is cut once.
    int live = 0;
    for (const wchar_t* n : {L"B", L"C"}) {
        OdDbBlockTableRecord* blk = nullptr;
        oddbOpenObject(blk, BlockNamed(r.db.get(), n), OdDb::kForRead);
        live += !blk->entityIds()[0].isErased();
        blk->close();
    }
    EXPECT_EQ(live, 1);
    // The chain is cut where drawing model space would go deeper than 64
    // levels.
    int depth = 0;
    for (OdDbObjectId block = r.db->getModelSpaceId();; ++depth) {
        OdDbBlockTableRecord* blk = nullptr;
        oddbOpenObject(blk, block, OdDb::kForRead);
        OdDbObjectId next;
        for (const auto& id : blk->entityIds()) {
            auto* ref = OdRxCast<OdDbBlockReference>(id.stub()->object);
            if (!id.isErased() && ref && (block != r.db->getModelSpaceId() || NameOf(ref->blockTableRecord()) == L"N0"))
                next = ref->blockTableRecord();
        }
        blk->close();
        if (next.isNull()) break;
        block = next;
    }
    EXPECT_EQ(depth, 64);
}

TEST(DxfHostile, HandlesTheFileGetsWrongAreReplaced)
{
    Read r = ReadBytes(File({
        {0, "LINE"}, {5, "FFFFFFFFFFFFFFFF"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"},
        {0, "LINE"}, {5, "40"}, {10, "0"}, {20, "0"}, {11, "2"}, {21, "2"},
        {0, "LINE"}, {5, "40"}, {10, "0"}, {20, "0"}, {11, "3"}, {21, "3"},  // the same handle again
        {0, "LINE"}, {10, "0"}, {20, "0"}, {11, "4"}, {21, "4"},              // none at all
    }));
    ASSERT_EQ(r.status, eOk);
    std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
    ASSERT_EQ(ms.size(), 4u);
    std::set<uint64_t> handles;
    for (OdDbEntity* e : ms) handles.insert(e->handle());
    EXPECT_EQ(handles.size(), 4u);
    EXPECT_EQ(handles.count(0), 0u);
    // The last handle is a handle like any other.
    EXPECT_EQ((uint64_t)ms[0]->handle(), ~uint64_t(0));
    EXPECT_EQ((uint64_t)ms[1]->handle(), 0x40u);
    // Each replaced handle is named, with the one the record has instead;
    // the records are read, not left out.
    EXPECT_TRUE(standin::DxfNotRead(r.db.get()).empty());
    const std::vector<std::wstring> notes = standin::DxfRenumbered(r.db.get());
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find(L"its handle 40 is an earlier record's; it has handle " +
                            std::wstring(ms[2]->handle().ascii().str()) + L" instead"),
              std::wstring::npos);
    // New objects get handles none of them has.
    OdDbBlockTableRecord* msr = nullptr;
    ASSERT_EQ(oddbOpenObject(msr, r.db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* line = new OdDbLine();
    OdDbObjectId id;
    ASSERT_EQ(msr->appendOdDbEntity(id, line), eOk);
    EXPECT_NE((uint64_t)line->handle(), 0u);
    EXPECT_EQ(handles.count(line->handle()), 0u);
    line->close();
    msr->close();
}

// A layout names its block record (330) and the record its layout (340).
// Where one names no record of that kind (block records without handles,
// as a file of the oldest form gives them; a handle of a line), the save
// names the one that alone names it back; where two name it back, neither
// is guessed.
TEST(DxfHostile, ALayoutAndItsBlockRecordNameEachOtherWhereTheFileNamedNone)
{
    auto layout = [](const char* handle, const char* name, const char* record) {
        return Groups{{0, "LAYOUT"}, {5, handle}, {330, "1A"}, {100, "AcDbPlotSettings"}, {1, ""}, {70, "0"},
                      {100, "AcDbLayout"}, {1, name}, {70, "1"}, {71, "0"}, {330, record}};
    };
    auto record = [](const char* handle, const char* name, const char* layout) {
        Groups g{{0, "BLOCK_RECORD"}};
        if (*handle) g.push_back({5, handle});
        g.insert(g.end(), {{100, "AcDbSymbolTableRecord"}, {100, "AcDbBlockTableRecord"}, {2, name}, {340, layout}});
        return g;
    };
    Groups tables{{0, "TABLE"}, {2, "BLOCK_RECORD"}, {70, "6"}};
    for (const Groups& g : {record("", "*Model_Space", "22"), record("", "*Paper_Space", "1E"),
                            record("", "*Paper_Space0", "26"), record("", "TWICE1", "2A"), record("", "TWICE2", "2A"),
                            record("40", "BACK", "99")})
        tables.insert(tables.end(), g.begin(), g.end());
    tables.push_back({0, "ENDTAB"});
    Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_LAYOUT"}, {350, "1A"},
                   {0, "DICTIONARY"}, {5, "1A"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "Model"}, {350, "22"},
                   {3, "Layout1"}, {350, "1E"}, {3, "Layout2"}, {350, "26"}, {3, "Layout3"}, {350, "2A"},
                   {3, "Layout4"}, {350, "2E"}};
    for (const Groups& g : {layout("22", "Model", "1F"), layout("1E", "Layout1", "1B"), layout("26", "Layout2", "30"),
                            layout("2A", "Layout3", "77"), layout("2E", "Layout4", "40")})
        objects.insert(objects.end(), g.begin(), g.end());
    Read r = ReadBytes(File({{0, "LINE"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"},
                             {20, "0"}, {11, "1"}, {21, "1"}},
                            {}, objects, tables));
    ASSERT_EQ(r.status, eOk);
    const std::vector<std::string> saved = dxftest::GroupLines(dxftest::Save(r.db.get()));
    // Each record's handle and what it names of the other kind.
    std::map<std::string, std::string> recordOf, layoutOf, nameOf;
    std::string type, handle, name, marker;
    for (const std::string& g : saved) {
        const std::string value = g.substr(g.find(' ') + 1);
        if (g.rfind("0 ", 0) == 0) type = value, handle.clear(), marker.clear();
        else if (g.rfind("5 ", 0) == 0 && handle.empty()) handle = value;
        else if (g.rfind("100 ", 0) == 0) marker = value;
        else if (g.rfind("2 ", 0) == 0 && type == "BLOCK_RECORD") nameOf[handle] = value;
        else if (g.rfind("1 ", 0) == 0 && type == "LAYOUT" && marker == "AcDbLayout") nameOf[handle] = value;
        else if (g.rfind("340 ", 0) == 0 && type == "BLOCK_RECORD") layoutOf[handle] = value;
        else if (g.rfind("330 ", 0) == 0 && type == "LAYOUT" && marker == "AcDbLayout") recordOf[handle] = value;
    }
    auto recordNamed = [&](const std::string& n) {
        for (const auto& [h, v] : nameOf)
            if (v == n && layoutOf.count(h)) return h;
        return std::string("none");
    };
    for (const auto& [layoutName, recordName] : {std::pair<const char*, const char*>{"Model", "*Model_Space"},
                                                 {"Layout1", "*Paper_Space"}, {"Layout2", "*Paper_Space0"}}) {
        SCOPED_TRACE(layoutName);
        const std::string h = recordNamed(recordName);
        ASSERT_NE(h, "none");
        EXPECT_EQ(nameOf[layoutOf[h]], layoutName);
        EXPECT_EQ(recordOf[layoutOf[h]], h);
    }
    // Two records name Layout3 back: neither is guessed, and a layout
    // naming a record the save does not hold is left out, and said.
    EXPECT_EQ(recordOf.count("2A"), 0u);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "350 2A"), 0);
    const std::vector<std::wstring> lost = standin::DxfNotRead(r.db.get());
    EXPECT_EQ(std::count_if(lost.begin(), lost.end(),
                            [](const std::wstring& w) { return w.find(L"a layout whose block record (77)") != w.npos; }),
              1);
    // BACK named no layout; Layout4 names it: they name each other.
    EXPECT_EQ(recordOf["2E"], "40");
    EXPECT_EQ(layoutOf["40"], "2E");
}

// The model layout names model space, for a save read back takes the
// record it names as model space: where its own names no record and the
// one record naming it back is another block, it is left out (and said),
// not paired with that block; model space keeps its entities and a second
// save is the first.
TEST(DxfHostile, TheModelLayoutIsNotPairedWithABlockOtherThanModelSpace)
{
    Groups tables{{0, "TABLE"}, {2, "BLOCK_RECORD"}, {70, "3"}};
    for (const auto& [name, layout] : {std::pair<const char*, const char*>{"*Model_Space", "22"},
                                       {"*Paper_Space", "1E"}, {"OTHER", "26"}})
        tables.insert(tables.end(), {{0, "BLOCK_RECORD"}, {100, "AcDbSymbolTableRecord"},
                                     {100, "AcDbBlockTableRecord"}, {2, name}, {340, layout}});
    tables.push_back({0, "ENDTAB"});
    const Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_LAYOUT"},
                         {350, "1A"},
                         {0, "DICTIONARY"}, {5, "1A"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "Model"},
                         {350, "26"},
                         {0, "LAYOUT"}, {5, "26"}, {330, "1A"}, {100, "AcDbPlotSettings"}, {1, ""}, {70, "0"},
                         {100, "AcDbLayout"}, {1, "Model"}, {70, "1"}, {71, "0"}, {330, "1F"}};
    const Groups line{{0, "LINE"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}};
    Read r = ReadBytes(File(line, {}, objects, tables));
    ASSERT_EQ(r.status, eOk);
    EXPECT_EQ(NameOf(r.db->getModelSpaceId()), L"*Model_Space");
    EXPECT_FALSE(BlockNamed(r.db.get(), L"OTHER").isNull());
    const std::vector<std::wstring> lost = standin::DxfNotRead(r.db.get());
    EXPECT_EQ(std::count_if(lost.begin(), lost.end(),
                            [](const std::wstring& w) { return w.find(L"a layout whose block record (1F)") != w.npos; }),
              1);
    const std::string once = dxftest::Save(r.db.get());
    const std::vector<std::string> saved = dxftest::GroupLines(once);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "0 LAYOUT"), 0);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(once));
    EXPECT_EQ(NameOf(again->getModelSpaceId()), L"*Model_Space");
    EXPECT_EQ(ModelSpace(again.get()).size(), 1u);
    EXPECT_FALSE(BlockNamed(again.get(), L"OTHER").isNull());
    const std::string twice = dxftest::Save(again.get());
    EXPECT_TRUE(twice == once) << dxftest::FirstDifferingLine(once, twice);
}

// Model space and paper space are the records the file's records say they
// are, whatever they are named: in a file of the form before layouts, the
// owner the entities of the ENTITIES section name (an R14 file naming it
// "*U"); in the oldest form, the blocks "$MODEL_SPACE" and "$PAPER_SPACE".
// Read, the entities are in model space, and the save names the spaces as
// the drawing does, with no block beside them under the file's name.
TEST(DxfHostile, TheSpacesAreWhatTheRecordsSayWhateverTheirNames)
{
    auto record = [](const char* handle, const char* name) {
        return Groups{{0, "BLOCK_RECORD"}, {5, handle}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                      {100, "AcDbBlockTableRecord"}, {2, name}};
    };
    auto block = [](const char* handle, const char* owner, const char* name, bool paper) {
        Groups g{{0, "BLOCK"}, {5, handle}, {330, owner}, {100, "AcDbEntity"}};
        if (paper) g.push_back({67, "1"});
        g.insert(g.end(), {{8, "0"}, {100, "AcDbBlockBegin"}, {2, name}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
                           {3, name}, {0, "ENDBLK"}, {5, std::to_string(std::stoi(handle, nullptr, 16) + 1)}});
        return g;
    };
    Groups tables{{0, "TABLE"}, {2, "BLOCK_RECORD"}, {5, "1"}, {100, "AcDbSymbolTable"}, {70, "2"}};
    for (const Groups& g : {record("1F", "*U"), record("1B", "*U2")}) tables.insert(tables.end(), g.begin(), g.end());
    tables.push_back({0, "ENDTAB"});
    Groups blocks = block("20", "1F", "*U", false);
    const Groups paperBlock = block("30", "1B", "*U2", true);
    blocks.insert(blocks.end(), paperBlock.begin(), paperBlock.end());
    const Groups entities{{0, "LINE"}, {5, "40"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"},
                          {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
                          {0, "CIRCLE"}, {5, "41"}, {330, "1B"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"},
                          {100, "AcDbCircle"}, {10, "0"}, {20, "0"}, {30, "0"}, {40, "1"}};
    const std::string r14 = dxftest::SectionsFile(
        {{9, "$ACADVER"}, {1, "AC1014"}}, {{"TABLES", tables}, {"BLOCKS", blocks}, {"ENTITIES", entities}});
    const Groups r12Blocks{{0, "BLOCK"}, {8, "0"}, {2, "$MODEL_SPACE"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
                           {3, "$MODEL_SPACE"}, {0, "ENDBLK"}, {8, "0"},
                           {0, "BLOCK"}, {67, "1"}, {8, "0"}, {2, "$PAPER_SPACE"}, {70, "0"}, {10, "0"}, {20, "0"},
                           {30, "0"}, {3, "$PAPER_SPACE"}, {0, "ENDBLK"}, {67, "1"}, {8, "0"}};
    const std::string r12 = dxftest::SectionsFile(
        {{9, "$ACADVER"}, {1, "AC1009"}},
        {{"BLOCKS", r12Blocks}, {"ENTITIES", {{0, "LINE"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}}});
    for (const auto& [name, bytes, models] : {std::tuple{"R14", r14, "*U"}, std::tuple{"R12", r12, "$MODEL_SPACE"}}) {
        SCOPED_TRACE(name);
        Read r = ReadBytes(bytes);
        ASSERT_EQ(r.status, eOk);
        const std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
        ASSERT_EQ(ms.size(), 1u);
        EXPECT_NE(OdRxCast<OdDbLine>(ms[0]), nullptr);
        EXPECT_EQ(BlockNamed(r.db.get(), L"*Model_Space"), r.db->getModelSpaceId());
        EXPECT_FALSE(BlockNamed(r.db.get(), L"*Paper_Space").isNull());
        EXPECT_TRUE(standin::DxfNotRead(r.db.get()).empty());
        const std::string saved = dxftest::Save(r.db.get());
        const std::vector<std::string> groups = dxftest::GroupLines(saved);
        for (const char* stray : {"2 *U", "2 *U2", "2 $MODEL_SPACE", "2 $PAPER_SPACE"})
            EXPECT_EQ(std::count(groups.begin(), groups.end(), stray), 0) << stray << " (" << models << ")";
        EXPECT_EQ(std::count(groups.begin(), groups.end(), "2 *Model_Space"), 2);  // its record and its block
        EXPECT_EQ(std::count(groups.begin(), groups.end(), "2 *Paper_Space"), 2);
        std::unique_ptr<OdDbDatabase> back(dxftest::Reopen(saved));
        EXPECT_EQ(ModelSpace(back.get()).size(), 1u);
        EXPECT_TRUE(dxftest::Save(back.get()) == saved);
    }
    // The R14 file's paper space holds its circle, under its handle.
    Read r = ReadBytes(r14);
    EXPECT_EQ(BlockNamed(r.db.get(), L"*Paper_Space").getHandle(), OdDbHandle(0x1B));
    EXPECT_EQ(BlockNamed(r.db.get(), L"*Model_Space").getHandle(), OdDbHandle(0x1F));
}

// A table whose head the file lost (its TABLE and ENDTAB left out) has its
// records read into the table the drawing makes, so the layouts that name
// them still name records the save holds; a layout naming a record the
// drawing does not hold is left out, and said (above).
TEST(DxfHostile, ATableThatLostItsHeadIsReadIntoTheDrawingsTable)
{
    auto record = [](const char* handle, const char* name, const char* layout) {
        return Groups{{0, "BLOCK_RECORD"}, {5, handle}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                      {100, "AcDbBlockTableRecord"}, {2, name}, {340, layout}};
    };
    auto layout = [](const char* handle, const char* name, const char* block) {
        return Groups{{0, "LAYOUT"}, {5, handle}, {330, "1A"}, {100, "AcDbPlotSettings"}, {1, ""}, {70, "0"},
                      {100, "AcDbLayout"}, {1, name}, {70, "1"}, {71, "0"}, {330, block}};
    };
    Groups tables;
    for (const Groups& g : {record("1F", "*Model_Space", "22"), record("1B", "*Paper_Space", "1E")})
        tables.insert(tables.end(), g.begin(), g.end());
    Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_LAYOUT"}, {350, "1A"},
                   {0, "DICTIONARY"}, {5, "1A"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "Model"}, {350, "22"},
                   {3, "Layout1"}, {350, "1E"}};
    for (const Groups& g : {layout("22", "Model", "1F"), layout("1E", "Layout1", "1B")})
        objects.insert(objects.end(), g.begin(), g.end());
    Read r = ReadBytes(File({{0, "LINE"}, {5, "30"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"},
                             {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}},
                            {}, objects, tables));
    ASSERT_EQ(r.status, eOk);
    EXPECT_TRUE(standin::DxfNotRead(r.db.get()).empty());
    EXPECT_EQ(r.db->getModelSpaceId().getHandle(), OdDbHandle(0x1F));
    EXPECT_EQ(ModelSpace(r.db.get()).size(), 1u);
    const std::vector<std::string> saved = dxftest::GroupLines(dxftest::Save(r.db.get()));
    // Each layout's block record is among the saved records.
    for (const char* handle : {"1F", "1B"}) {
        const std::vector<std::string> rec = dxftest::Record(saved, "BLOCK_RECORD", handle);
        EXPECT_FALSE(rec.empty()) << handle;
    }
}

TEST(DxfHostile, CommentsAreNamedAsNotKept)
{
    std::string bytes = File({{0, "LINE"}, {999, "a note"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    bytes = "999\nmade by hand\n" + bytes;
    Read r = ReadBytes(bytes);
    ASSERT_EQ(r.status, eOk);
    EXPECT_EQ(ModelSpace(r.db.get()).size(), 1u);
    const std::vector<std::wstring> notes = standin::DxfNotRead(r.db.get());
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], L"2 comments (999) from line 1: a drawing keeps no comments");
}

// Groups keep no line numbers: the line a message names is counted in the
// file again, whatever its lines end in, after comments and a byte-order
// mark.
TEST(DxfHostile, MessagesNameTheLinesOfTheFileWhateverItsLinesEndIn)
{
    const std::string lf = "999\nnote\n0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n"
                           "0\nSECTION\n2\nENTITIES\n0\nVERTEX\n5\n21\n10\n0\n20\n0\n"
                           "0\nLINE\n5\n20\n10\n0\n20\n0\n11\n1\n21\n1\n"
                           "0\nVERTEX\n5\n22\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
    const std::string broken = "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nLINE\n0\nEOF\n";
    auto ending = [](std::string text, const std::string& end) {
        std::string out;
        for (char c : text) out += c == '\n' ? end : std::string(1, c);
        return out;
    };
    for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")})
        for (const std::string end : {"\n", "\r\n", "\r"}) {
            SCOPED_TRACE(testing::Message() << "line end " << (end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF")
                                            << (prefix.empty() ? "" : ", with a byte-order mark"));
            Read r = ReadBytes(prefix + ending(lf, end));
            ASSERT_EQ(r.status, eOk);
            const std::vector<std::wstring> notes = standin::DxfNotRead(r.db.get());
            auto said = [&notes](const std::wstring& start) {
                return std::any_of(notes.begin(), notes.end(),
                                   [&start](const std::wstring& n) { return n.rfind(start, 0) == 0; });
            };
            EXPECT_TRUE(said(L"a comment (999) at line 1:"));
            EXPECT_TRUE(said(L"VERTEX at line 17:"));
            EXPECT_TRUE(said(L"VERTEX at line 37:"));
            std::string why;
            auto db = std::make_unique<OdDbDatabase>(false);
            EXPECT_NE(standin::ReadDxfBytes(db.get(), prefix + ending(broken, end), &why), eOk);
            EXPECT_EQ(why, "line 7: a section was expected");
        }
}

TEST(DxfHostile, BrokenGeometryIsKeptAsWrittenAndTheRestIsRead)
{
    Read r = ReadBytes(File({
        {0, "CIRCLE"}, {10, "0"}, {20, "0"}, {40, "-1"},
        {0, "ELLIPSE"}, {10, "0"}, {20, "0"}, {11, "0"}, {21, "0"}, {31, "0"}, {40, "0.5"},
        {0, "ELLIPSE"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}, {31, "0"}, {40, "5"},
        {0, "IMAGE"}, {10, "0"}, {20, "0"}, {11, "0"}, {21, "0"}, {12, "0"}, {22, "0"}, {13, "10"}, {23, "10"},
        {0, "IMAGE"}, {11, "1e300"}, {22, "1e300"}, {13, "1e300"}, {23, "1e300"},  // corners beyond a double
        {0, "SPLINE"}, {70, "8"}, {71, "3"}, {40, "1"}, {40, "0"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "1"},
        {0, "ACAD_PROXY_ENTITY"}, {90, "1"},
        {0, "VERTEX"}, {10, "1"},
        {0, "TEXT"}, {10, "1"}, {20, "2"}, {40, "-3"}, {1, "a^Jb^ c\\U+4E2D\\U+D800\\U+0001F600"}, {72, "99"},
    }));
    ASSERT_EQ(r.status, eOk);
    std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
    // What cannot be made into an entity is kept as the file wrote it; a
    // vertex outside any polyline belongs to nothing and is left out.
    ASSERT_EQ(ms.size(), 8u);
    const wchar_t* kept[] = {L"CIRCLE", L"ELLIPSE", L"ELLIPSE", L"IMAGE", L"IMAGE", L"SPLINE", L"ACAD_PROXY_ENTITY"};
    for (size_t i = 0; i < 7; ++i) {
        auto* p = OdRxCast<OdDbProxyEntity>(ms[i]);
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(p->originalDxfName(), kept[i]);
    }
    auto* text = OdRxCast<OdDbText>(ms[7]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->textString().str(), std::wstring(L"a\nb^c中\xFFFD") + (wchar_t)0x1F600);
    EXPECT_EQ(text->horizontalMode(), OdDb::kTextLeft);  // refused values keep the defaults
    EXPECT_EQ(text->height(), 0.0);
}

TEST(DxfHostile, ReferencesToObjectsThatAreNotThereComeBackNull)
{
    Read r = ReadBytes(File({{0, "LINE"}, {5, "30"}, {102, "{ACAD_XDICTIONARY"}, {360, "31"}, {102, "}"},
                             {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}},
                            {},
                            {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {3, "SELF"}, {350, "C"}, {3, "GONE"},
                             {350, "999"}, {3, "X"}, {350, "32"},
                             {0, "DICTIONARY"}, {5, "31"}, {330, "30"}, {3, "VelkArx"}, {350, "32"},
                             {0, "XRECORD"}, {5, "32"}, {330, "31"}, {100, "AcDbXrecord"}, {280, "1"},
                             {1, "12"}, {330, "777"}, {330, "30"}, {10, "1"}, {20, "2"}, {30, "3"}, {90, "7"}}));
    ASSERT_EQ(r.status, eOk);
    OdDbDictionary* nod = nullptr;
    ASSERT_EQ(r.db->getNamedObjectsDictionary(nod, OdDb::kForRead), eOk);
    EXPECT_EQ(nod->numEntries(), 1);  // neither itself nor a missing object
    EXPECT_TRUE(nod->has(L"X"));
    nod->close();
    OdDbEntity* line = ModelSpace(r.db.get())[0];
    OdDbDictionary* xdict = nullptr;
    ASSERT_EQ(oddbOpenObject(xdict, line->extensionDictionary(), OdDb::kForRead), eOk);
    EXPECT_EQ(xdict->ownerId(), line->objectId());
    OdDbXrecord* x = nullptr;
    ASSERT_EQ(xdict->getAt(L"VelkArx", x, OdDb::kForRead), eOk);
    OdResBuf* chain = x->rbChain();
    OdResBuf* rb = chain;
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->getString().str(), L"12");
    rb = rb->next();
    EXPECT_TRUE(rb->getObjectId().isNull());
    rb = rb->next();
    EXPECT_EQ(rb->getObjectId(), line->objectId());
    rb = rb->next();
    EXPECT_EQ(rb->restype(), 10);
    EXPECT_EQ(rb->getPoint3d(), OdGePoint3d(1, 2, 3));
    EXPECT_EQ(rb->next()->getInt32(), 7);
    EXPECT_EQ(rb->next()->next(), nullptr);
    OdResBuf::releaseChain(chain);
    x->close();
    xdict->close();
}

TEST(DxfHostile, LargeStructuresAreReadAndSavedWithoutGoingQuadratic)
{
    const int n = 20000;
    Groups entities, objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {3, "CHAIN"}, {350, "100000"}};
    // Model space: many lines, drawn in reverse by a draw-order table.
    for (int i = 0; i < n; ++i) {
        char h[16];
        snprintf(h, sizeof h, "%X", 0x1000 + i);
        entities.insert(entities.end(), {{0, "LINE"}, {5, h}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    }
    // One dictionary holding every key twice (once in other case) and
    // naming the same reactor again and again.
    Groups big{{0, "DICTIONARY"}, {5, "50000"}, {102, "{ACAD_REACTORS"}};
    for (int i = 0; i < n; ++i) big.push_back({330, "C"});
    big.insert(big.end(), {{102, "}"}, {330, "C"}});
    for (int i = 0; i < n; ++i) {
        char h[16];
        snprintf(h, sizeof h, "%X", 0x1000 + i);
        big.push_back({3, "key" + std::to_string(i)});
        big.push_back({350, h});
        big.push_back({3, "KEY" + std::to_string(i)});
        big.push_back({350, h});
    }
    // A chain of dictionaries, each owned by the one after it, the last by
    // the named-objects dictionary.
    const int chain = 5000;
    for (int i = 0; i < chain; ++i) {
        char h[16], owner[16];
        snprintf(h, sizeof h, "%X", 0x100000 - i);
        snprintf(owner, sizeof owner, "%X", i == 0 ? 0xC : 0x100000 - i + 1);
        objects.insert(objects.end(), {{0, "DICTIONARY"}, {5, h}, {330, owner}});
        if (i + 1 < chain) {
            char next[16];
            snprintf(next, sizeof next, "%X", 0x100000 - i - 1);
            objects.insert(objects.end(), {{3, "NEXT"}, {350, next}});
        }
    }
    objects.insert(objects.end(), big.begin(), big.end());
    Groups sortents{{0, "SORTENTSTABLE"}, {5, "60000"}, {330, "C"}, {100, "AcDbSortentsTable"}, {330, "1F"}};
    for (int i = 0; i < n; ++i) {
        char h[16], key[16];
        snprintf(h, sizeof h, "%X", 0x1000 + i);
        snprintf(key, sizeof key, "%X", 0x1000 + n - 1 - i);
        sortents.insert(sortents.end(), {{331, h}, {5, key}});
    }
    objects.insert(objects.end(), sortents.begin(), sortents.end());
    Groups tables{{0, "TABLE"}, {2, "BLOCK_RECORD"}, {5, "1"}, {0, "BLOCK_RECORD"}, {5, "1F"}, {2, "*Model_Space"},
                  {0, "ENDTAB"}};
    Read r = ReadBytes(File(entities, {}, objects, tables));
    ASSERT_EQ(r.status, eOk);
    EXPECT_EQ(ModelSpace(r.db.get()).size(), (size_t)n);
    OdDbObjectId bigId;
    ASSERT_EQ(r.db->getOdDbObjectId(bigId, false, OdDbHandle(0x50000)), eOk);
    auto* dict = OdRxCast<OdDbDictionary>(bigId.stub()->object);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->numEntries(), n);
    EXPECT_EQ(dict->getPersistentReactors().length(), 1);
    OdDbObjectId sortId;
    ASSERT_EQ(r.db->getOdDbObjectId(sortId, false, OdDbHandle(0x60000)), eOk);
    OdDbObjectIdArray order;
    ASSERT_EQ(static_cast<OdDbSortentsTable*>(sortId.stub()->object)->getFullDrawOrder(order), eOk);
    ASSERT_EQ(order.length(), n);
    EXPECT_EQ((uint64_t)order[0].getHandle(), 0x1000u + n - 1);  // reversed

    // Saved and read again, the whole chain is still there.
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(dxftest::Save(r.db.get())));
    OdDbObjectId last;
    ASSERT_EQ(again->getOdDbObjectId(last, false, OdDbHandle(0x100000 - chain + 1)), eOk);
    EXPECT_FALSE(last.isErased());
    EXPECT_EQ(ModelSpace(again.get()).size(), (size_t)n);
}

// One record holding very many groups of other applications (and of its
// reactors), and extended data of very many applications the file does
// not register beside as many it does: reading and saving take time in
// proportion (the loops over them were once nested).
TEST(DxfHostile, ManyApplicationGroupsAndApplicationsDoNotGoQuadratic)
{
    const int n = 40000;
    Groups line{{0, "LINE"}, {5, "100"}, {100, "AcDbEntity"}, {8, "0"}};
    for (int i = 0; i < n; ++i) {
        line.insert(line.end(), {{102, "{APP" + std::to_string(i)}, {1, "x"}, {102, "}"}});
        line.insert(line.end(), {{102, "{ACAD_REACTORS"}, {330, "100"}, {102, "}"}});
    }
    line.insert(line.end(), {{100, "AcDbLine"}, {10, "1"}, {20, "2"}, {11, "3"}, {21, "4"}});
    Groups apps{{0, "TABLE"}, {2, "APPID"}, {5, "9"}, {100, "AcDbSymbolTable"}};
    Groups point{{0, "POINT"}, {5, "101"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPoint"}, {10, "5"}, {20, "6"}};
    for (int i = 0; i < n; ++i) {
        char h[16];
        snprintf(h, sizeof h, "%X", 0x1000 + i);
        apps.insert(apps.end(), {{0, "APPID"}, {5, h}, {100, "AcDbSymbolTableRecord"},
                                 {100, "AcDbRegAppTableRecord"}, {2, "KNOWN" + std::to_string(i)}, {70, "0"}});
        point.insert(point.end(), {{1001, "OTHER" + std::to_string(i)}, {1000, "v"}});
    }
    apps.push_back({0, "ENDTAB"});
    Groups entities = line;
    entities.insert(entities.end(), point.begin(), point.end());
    Read r = ReadBytes(File(entities, {}, {}, apps));
    ASSERT_EQ(r.status, eOk);
    std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
    ASSERT_EQ(ms.size(), 2u);
    auto* l = OdRxCast<OdDbLine>(ms[0]);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->endPoint(), OdGePoint3d(3, 4, 0));

    // Saved: every application of the point's data is registered once, and
    // the line's groups of other applications are all there.
    std::string saved = dxftest::Save(r.db.get());
    size_t registered = 0, groups = 0;
    for (size_t at = saved.find("\nOTHER"); at != std::string::npos; at = saved.find("\nOTHER", at + 1)) ++registered;
    for (size_t at = saved.find("\n{APP"); at != std::string::npos; at = saved.find("\n{APP", at + 1)) ++groups;
    EXPECT_EQ(registered, 2u * n);  // in the table and in the data
    EXPECT_EQ(groups, (size_t)n);
    // The table counts more records than a 16-bit count holds; the file gave
    // it no count, and it goes back with none. The file reads back.
    EXPECT_NE(saved.find("APPID\r\n  5\r\n9\r\n330\r\n0\r\n100\r\nAcDbSymbolTable\r\n  0\r\nAPPID\r\n"),
              std::string::npos);
    Read again = ReadBytes(saved);
    ASSERT_EQ(again.status, eOk);
    EXPECT_EQ(ModelSpace(again.db.get()).size(), 2u);
}

namespace {

OdDbObject* DxfObject(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    return db->getOdDbObjectId(id, false, OdDbHandle(handle)) == eOk ? id.stub()->object : nullptr;
}

}  // namespace

// A dictionary whose entry names the named-objects dictionary does not make
// the root an entry of it: the root stays without an owner, and what hangs
// from it is still there after two saves.
TEST(DxfHostile, AnEntryNamingTheRootDictionaryIsLeftOut)
{
    Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_LAYOUT"},
                   {350, "D"}, {3, "DATA"}, {350, "E"},
                   {0, "DICTIONARY"}, {5, "D"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "Model"}, {350, "C"},
                   {0, "XRECORD"}, {5, "E"}, {330, "C"}, {100, "AcDbXrecord"}, {280, "1"}, {1, "kept"}};
    Read r = ReadBytes(File({}, {}, objects));
    ASSERT_EQ(r.status, eOk);
    OdDbObjectId nod = r.db->getNamedObjectsDictionaryId();
    ASSERT_EQ((uint64_t)nod.getHandle(), 0xCu);
    EXPECT_TRUE(nod.stub()->object->ownerId().isNull());
    auto* layouts = OdRxCast<OdDbDictionary>(DxfObject(r.db.get(), 0xD));
    ASSERT_NE(layouts, nullptr);
    EXPECT_EQ(layouts->numEntries(), 0);
    std::unique_ptr<OdDbDatabase> once(dxftest::Reopen(dxftest::Save(r.db.get())));
    std::unique_ptr<OdDbDatabase> twice(dxftest::Reopen(dxftest::Save(once.get())));
    EXPECT_EQ((uint64_t)twice->getNamedObjectsDictionaryId().getHandle(), 0xCu);
    EXPECT_NE(OdRxCast<OdDbXrecord>(DxfObject(twice.get(), 0xE)), nullptr);
}

// A reference to a block the file never defines keeps its attributes and
// comes back from a save with the block, empty.
TEST(DxfHostile, AReferenceToABlockTheFileDoesNotDefineIsKeptWithItsAttributes)
{
    Groups ents{{0, "INSERT"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}, {66, "1"},
                {2, "GHOST"}, {10, "1"}, {20, "2"}, {30, "0"},
                {0, "ATTRIB"}, {5, "51"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "1"}, {20, "3"},
                {30, "0"}, {40, "1"}, {1, "kept"}, {100, "AcDbAttribute"}, {2, "TAG"}, {70, "0"},
                {0, "SEQEND"}, {5, "52"}, {100, "AcDbEntity"}, {8, "0"}};
    Read r = ReadBytes(File(ents));
    ASSERT_EQ(r.status, eOk);
    for (int round = 0; round < 2; ++round) {
        std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
        ASSERT_EQ(ms.size(), 1u);
        auto* ref = OdRxCast<OdDbBlockReference>(ms[0]);
        ASSERT_NE(ref, nullptr);
        EXPECT_EQ(NameOf(ref->blockTableRecord()), L"GHOST");
        OdDbObjectIterator* it = ref->attributeIterator();
        ASSERT_FALSE(it->done());
        auto* a = OdRxCast<OdDbAttribute>(it->objectId().stub()->object);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->textString(), OdString(L"kept"));
        delete it;
        r = ReadBytes(dxftest::Save(r.db.get()));
        ASSERT_EQ(r.status, eOk);
    }
}

// A polyline the database cannot make (a face naming a vertex it does not
// have) is kept whole with its vertices and sequence end, not as a head
// without them.
TEST(DxfHostile, APolylineKeptWholeKeepsItsVertices)
{
    Groups ents{{0, "POLYLINE"}, {5, "60"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyFaceMesh"}, {66, "1"},
                {10, "0"}, {20, "0"}, {30, "0"}, {70, "64"}, {71, "3"}, {72, "1"}};
    for (const char* x : {"0", "1", "2"})
        ents.insert(ents.end(), {{0, "VERTEX"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                 {100, "AcDbPolyFaceMeshVertex"}, {10, x}, {20, "0"}, {30, "0"}, {70, "192"}});
    ents.insert(ents.end(), {{0, "VERTEX"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbFaceRecord"}, {10, "0"},
                             {20, "0"}, {30, "0"}, {70, "128"}, {71, "1"}, {72, "2"}, {73, "9"},
                             {0, "SEQEND"}, {100, "AcDbEntity"}, {8, "0"}});
    std::string bytes = File(ents);
    for (int round = 0; round < 3; ++round) {
        Read r = ReadBytes(bytes);
        ASSERT_EQ(r.status, eOk);
        std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
        ASSERT_EQ(ms.size(), 1u);
        EXPECT_NE(OdRxCast<OdDbProxyEntity>(ms[0]), nullptr);
        bytes = dxftest::Save(r.db.get());
        size_t vertices = 0, ends = 0;
        for (size_t at = bytes.find("\nVERTEX\r\n"); at != std::string::npos; at = bytes.find("\nVERTEX\r\n", at + 1))
            ++vertices;
        for (size_t at = bytes.find("\nSEQEND\r\n"); at != std::string::npos; at = bytes.find("\nSEQEND\r\n", at + 1))
            ++ends;
        EXPECT_EQ(vertices, 4u) << round;
        EXPECT_EQ(ends, 1u) << round;
        EXPECT_NE(bytes.find("\r\n 73\r\n9\r\n"), std::string::npos) << round;
    }
}

// Text of a file before the 2007 form is in the code page its header
// names, by any of the names files use; a name the reader does not know is
// said, and its text read as the default page.
TEST(DxfHostile, TextIsReadInTheCodePageTheFileNames)
{
    auto textOf = [](const char* page, const std::string& bytes, std::wstring* assumed = nullptr) {
        const std::string file = Text({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1015"},
                                       {9, "$DWGCODEPAGE"}, {3, page}, {0, "ENDSEC"}, {0, "SECTION"},
                                       {2, "ENTITIES"}, {0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"},
                                       {1, bytes}, {0, "ENDSEC"}, {0, "EOF"}});
        Read r = ReadBytes(file);
        EXPECT_EQ(r.status, eOk) << page;
        if (assumed) *assumed = standin::DxfCodePageAssumed(r.db.get());
        std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
        auto* t = ms.empty() ? nullptr : OdRxCast<OdDbText>(ms[0]);
        return t ? std::wstring(t->textString().c_str()) : std::wstring(L"(none)");
    };
    EXPECT_EQ(textOf("ISO8859-1", "\xE9t\xE9"), L"\u00E9t\u00E9");
    EXPECT_EQ(textOf("dos850", "\x82t\x82"), L"\u00E9t\u00E9");
    EXPECT_EQ(textOf("ANSI_65001", "caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_EQ(textOf("ANSI_950", "\xB4\xFA\xB6q"), L"\u6E2C\u91CF");
    EXPECT_EQ(textOf("GB2312", "\xB2\xE2\xC1\xBF"), L"\u6D4B\u91CF");
    // Bytes a Windows page leaves undefined read as Windows reads them.
    EXPECT_EQ(textOf("ANSI_1252", "a\x81z"), L"a\u0081z");
    std::wstring assumed;
    EXPECT_EQ(textOf("KLINGON", "\xB2\xE2\xC1\xBF", &assumed), L"\u6D4B\u91CF");
    EXPECT_EQ(assumed.rfind(L"ANSI_936 (the file's code page \"KLINGON\"", 0), 0u);
}

// A file of CR lines may hold a line feed inside a line (a comment, a text,
// values the drawing keeps as written): it is read, and saves write the
// line feed as ^J, never as it is, so what they write reads back the same.
TEST(DxfHostile, ALineFeedInsideALineOfCRLinesIsSavedAsACaretCode)
{
    const Groups groups{{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1024"}, {9, "$VELKNOTE"},
                        {1, "x\ny"}, {9, "$VELK\nNAME"}, {1, "v"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ODD\nPART"},
                        {1, "kept"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}, {999, "a\nnote"},
                        {0, "TEXT"}, {5, "30"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, "A\nB"},
                        {0, "LINE"}, {5, "31"}, {8, "L\n1"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}, {1, "kept\nas read"},
                        {0, "ODD\nKIND"}, {5, "32"}, {8, "0"},
                        {0, "ENDSEC"}, {0, "EOF"}};
    std::string bytes;
    for (const auto& [code, value] : groups) bytes += std::to_string(code) + "\r" + value + "\r";
    std::string first;
    for (int round = 0; round < 2; ++round) {
        Read r = ReadBytes(round == 0 ? bytes : first);
        ASSERT_EQ(r.status, eOk) << round;
        std::vector<OdDbEntity*> ms = ModelSpace(r.db.get());
        ASSERT_EQ(ms.size(), 3u);
        auto* text = OdRxCast<OdDbText>(ms[0]);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::wstring(text->textString().c_str()), L"A\nB");
        EXPECT_EQ(std::wstring(ms[1]->layer().c_str()), L"L\n1");
        const std::string saved = dxftest::Save(r.db.get());
        for (const char* escaped : {"\nA^JB\r", "\nL^J1\r", "\nkept^Jas read\r", "\nx^Jy\r", "\nODD^JKIND\r",
                                    "\n$VELK^JNAME\r", "\nODD^JPART\r"})
            EXPECT_NE(saved.find(escaped), std::string::npos) << escaped << " " << round;
        if (round == 0) first = saved;
        else EXPECT_EQ(saved, first);
    }
}
