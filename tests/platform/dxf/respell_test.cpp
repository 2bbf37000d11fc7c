// A move changes positions only: saved, a moved record of a drawing other
// programs wrote keeps every other group as the file spelled it, in its
// place, as the save without the move has it (explicit defaults and
// normals, names in other letters than their records, an MTEXT by its
// direction, vertices on layers of their own, a style the drawing lacks, a
// dimension without a text of its own). Checked group by group in the
// files, and value by value against ezdxf's own translation of the save
// without the move (data/moved_groups.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "hostdb_control.h"
#include "oddbsymboltable.h"
#include "test_support.h"

namespace {

using dxftest::Groups;

// Records of a saved file that have a handle: their group codes and the
// values as spelled, by handle.
std::map<std::string, Groups> Records(const std::string& bytes)
{
    const std::vector<std::string> lines = dxftest::FileLines(bytes);
    std::map<std::string, Groups> out;
    Groups* current = nullptr;
    for (size_t i = 0; i + 3 < lines.size(); i += 2) {
        const int code = std::atoi(lines[i].c_str());
        if (code == 0) {
            current = nullptr;
            if (std::atoi(lines[i + 2].c_str()) == 5) current = &out[lines[i + 3]];
        }
        if (current) current->emplace_back(code, lines[i + 1]);
    }
    return out;
}

Groups Entity(const char* type, const char* handle, Groups entity, Groups values)
{
    Groups g{{0, type}, {5, handle}, {100, "AcDbEntity"}};
    g.insert(g.end(), entity.begin(), entity.end());
    g.insert(g.end(), values.begin(), values.end());
    return g;
}

void Add(Groups& to, const Groups& g) { to.insert(to.end(), g.begin(), g.end()); }

// A drawing in the spellings other programs write.
std::string OtherWritersDrawing()
{
    Groups tables{{0, "TABLE"}, {2, "LTYPE"}, {5, "5"}, {100, "AcDbSymbolTable"}, {70, "2"}};
    for (auto [handle, name] : {std::pair{"14", "Continuous"}, std::pair{"15", "DASHED"}})
        Add(tables, {{0, "LTYPE"}, {5, handle}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"},
                     {2, name}, {70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}});
    Add(tables, {{0, "ENDTAB"}, {0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "3"}});
    for (auto [handle, name] : {std::pair{"10", "0"}, std::pair{"11", "WALLS"}, std::pair{"12", "Kerbs"}})
        Add(tables, {{0, "LAYER"}, {5, handle}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"},
                     {2, name}, {70, "0"}, {62, "7"}, {6, "Continuous"}});
    Add(tables, {{0, "ENDTAB"}, {0, "TABLE"}, {2, "STYLE"}, {5, "3"}, {100, "AcDbSymbolTable"}, {70, "1"},
                 {0, "STYLE"}, {5, "16"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbTextStyleTableRecord"},
                 {2, "Standard"}, {70, "0"}, {40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"},
                 {3, "txt"}, {4, ""}, {0, "ENDTAB"},
                 {0, "TABLE"}, {2, "DIMSTYLE"}, {5, "6"}, {100, "AcDbSymbolTable"}, {70, "1"},
                 {0, "DIMSTYLE"}, {105, "17"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbDimStyleTableRecord"},
                 {2, "Standard"}, {70, "0"}, {0, "ENDTAB"}});
    Groups blocks;
    for (auto [begin, end, name] : {std::tuple{"20", "21", "MARK"}, std::tuple{"22", "23", "*D1"}}) {
        Add(blocks, {{0, "BLOCK"}, {5, begin}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, name},
                     {70, name[0] == '*' ? "1" : "2"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {3, name}});
        if (name[0] == 'M')
            Add(blocks, {{0, "ATTDEF"}, {5, "24"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0.5"},
                         {20, "-1.0"}, {30, "0.0"}, {40, "0.75"}, {1, ""}, {100, "AcDbAttributeDefinition"},
                         {3, "Tag?"}, {2, "TAG"}, {70, "0"}});
        Add(blocks, {{0, "ENDBLK"}, {5, end}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    }
    const Groups normal{{210, "0.0"}, {220, "0.0"}, {230, "1.0"}};
    const Groups byLayer{{6, "ByLayer"}, {62, "256"}, {370, "-1"}};
    auto with = [](Groups a, const Groups& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    Groups ents;
    // Explicit defaults and normals, an elevation of 0.
    Add(ents, Entity("LWPOLYLINE", "30", with({{8, "0"}}, byLayer),
                     with({{100, "AcDbPolyline"}, {90, "3"}, {70, "0"}, {43, "0.0"}, {38, "0.0"}, {10, "0.0"},
                           {20, "0.0"}, {10, "1.0"}, {20, "1.0"}, {10, "2.0"}, {20, "0.0"}},
                          normal)));
    // Names in other letters than their records; points without z.
    Add(ents, Entity("LINE", "31", {{8, "walls"}, {6, "continuous"}, {62, "256"}, {370, "-1"}},
                     with({{100, "AcDbLine"}, {39, "0.0"}, {10, "5.0"}, {20, "0.0"}, {11, "6.0"}, {21, "2.0"}},
                          normal)));
    Add(ents, Entity("CIRCLE", "32", {{8, "kerbs"}, {6, "BYLAYER"}, {62, "256"}},
                     with({{100, "AcDbCircle"}, {39, "0.0"}, {10, "1.0"}, {20, "1.0"}, {30, "0.0"}, {40, "2.0"}},
                          normal)));
    Add(ents, Entity("ARC", "33", {{8, "0"}, {6, "dashed"}},
                     with(with({{100, "AcDbCircle"}, {10, "1.0"}, {20, "2.0"}, {30, "0.0"}, {40, "3.0"}}, normal),
                          {{100, "AcDbArc"}, {50, "10.0"}, {51, "370.0"}})));
    Add(ents, Entity("ELLIPSE", "34", {{8, "0"}, {370, "-1"}},
                     with(with({{100, "AcDbEllipse"}, {10, "1.0"}, {20, "2.0"}, {30, "0.0"}, {11, "3.0"},
                                {21, "0.0"}, {31, "0.0"}},
                               normal),
                          {{40, "0.5"}, {41, "0.0"}, {42, "3.0"}})));
    Add(ents, Entity("POINT", "35", {{8, "0"}, {370, "-1"}},
                     with({{100, "AcDbPoint"}, {10, "1.0"}, {20, "2.0"}, {30, "0.0"}, {39, "0.0"}},
                          with(normal, {{50, "0.0"}}))));
    Add(ents, Entity("SOLID", "36", {{8, "0"}, {62, "256"}},
                     with({{100, "AcDbTrace"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {11, "1.0"}, {21, "0.0"},
                           {31, "0.0"}, {12, "0.0"}, {22, "1.0"}, {32, "0.0"}, {13, "0.0"}, {23, "1.0"},
                           {33, "0.0"}, {39, "0.0"}},
                          normal)));
    // A text of a style the drawing lacks, given by x and y alone.
    Add(ents, Entity("TEXT", "37", {{8, "0"}},
                     {{100, "AcDbText"}, {10, "1.0"}, {20, "1.0"}, {40, "1.0"}, {1, "flat"}, {7, "NOSUCH"},
                      {100, "AcDbText"}}));
    // Multiline texts by their direction, by their rotation, in a plane of
    // their own; a style in other letters.
    Add(ents, Entity("MTEXT", "38", {{8, "WALLS"}},
                     with({{100, "AcDbMText"}, {10, "3.0"}, {20, "4.0"}, {30, "0.0"}, {40, "1.0"}, {41, "0.0"},
                           {71, "1"}, {72, "5"}, {1, "by direction"}, {7, "STANDARD"}},
                          with(normal, {{11, "0.6"}, {21, "0.8"}, {31, "0.0"}}))));
    Add(ents, Entity("MTEXT", "39", {{8, "0"}},
                     {{100, "AcDbMText"}, {10, "3.0"}, {20, "4.0"}, {30, "0.0"}, {40, "1.0"}, {1, "by rotation"},
                      {50, "30.0"}}));
    Add(ents, Entity("MTEXT", "3A", {{8, "0"}},
                     {{100, "AcDbMText"}, {10, "3.0"}, {20, "4.0"}, {30, "0.5"}, {40, "1.0"}, {1, "tilted"},
                      {210, "0.0"}, {220, "0.6"}, {230, "0.8"}, {11, "0.6"}, {21, "0.64"}, {31, "-0.48"}}));
    // A polyline whose vertices are on layers of their own, its end on its
    // layer in other letters.
    Add(ents, Entity("POLYLINE", "3B", {{8, "WALLS"}},
                     with({{100, "AcDb2dPolyline"}, {66, "1"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {70, "0"}},
                          normal)));
    Add(ents, Entity("VERTEX", "3C", {{8, "0"}},
                     {{100, "AcDbVertex"}, {100, "AcDb2dVertex"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {70, "0"}}));
    Add(ents, Entity("VERTEX", "3D", {{8, "Kerbs"}},
                     {{100, "AcDbVertex"}, {100, "AcDb2dVertex"}, {10, "1.0"}, {20, "3.0"}, {30, "0.0"}, {70, "0"}}));
    Add(ents, Entity("SEQEND", "3E", {{8, "walls"}}, {}));
    // A reference naming its block in other letters, with an attribute.
    Add(ents, Entity("INSERT", "3F", {{8, "0"}},
                     with({{100, "AcDbBlockReference"}, {66, "1"}, {2, "mark"}, {10, "4.0"}, {20, "5.0"},
                           {30, "0.0"}, {41, "1.0"}, {42, "1.0"}, {43, "1.0"}, {50, "0.0"}},
                          normal)));
    Add(ents, Entity("ATTRIB", "40", {{8, "kerbs"}},
                     {{100, "AcDbText"}, {10, "4.5"}, {20, "4.0"}, {30, "0.0"}, {40, "0.75"}, {1, "value"},
                      {7, "standard"}, {100, "AcDbAttribute"}, {2, "TAG"}, {70, "0"}}));
    Add(ents, Entity("SEQEND", "41", {{8, "0"}}, {}));
    // A dimension without a text of its own, its style in other letters.
    Add(ents, Entity("DIMENSION", "42", {{8, "0"}},
                     with(with({{100, "AcDbDimension"}, {2, "*d1"}, {10, "0.3"}, {20, "-6.0"}, {30, "0.0"},
                                {11, "4.0"}, {21, "-6.0"}, {31, "0.0"}, {70, "32"}, {3, "STANDARD"}},
                               normal),
                          {{100, "AcDbAlignedDimension"}, {13, "0.3"}, {23, "-4.0"}, {33, "0.0"}, {14, "7.7"},
                           {24, "-4.1"}, {34, "0.0"}, {100, "AcDbRotatedDimension"}})));
    Add(ents, Entity("SPLINE", "43", {{8, "0"}, {6, "ByLayer"}},
                     with(with({{100, "AcDbSpline"}}, normal),
                          {{70, "8"}, {71, "3"}, {72, "8"}, {73, "4"}, {74, "0"}, {40, "0.0"}, {40, "0.0"},
                           {40, "0.0"}, {40, "0.0"}, {40, "1.0"}, {40, "1.0"}, {40, "1.0"}, {40, "1.0"},
                           {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {10, "1.0"}, {20, "2.0"}, {30, "0.0"},
                           {10, "2.0"}, {20, "2.0"}, {30, "0.0"}, {10, "3.0"}, {20, "0.0"}, {30, "0.0"}})));
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}, {9, "$HANDSEED"}, {5, "100"}},
                                 {{"TABLES", tables}, {"BLOCKS", blocks}, {"ENTITIES", ents}});
}

}  // namespace

TEST(DxfRespell, AMovedRecordKeepsEveryGroupButItsPositionsAsTheFileSpelledIt)
{
    std::unique_ptr<OdDbDatabase> db(dxftest::Reopen(OtherWritersDrawing()));
    const std::string plain = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> moving(dxftest::Reopen(OtherWritersDrawing()));
    auto* ms = OdRxCast<OdDbBlockTableRecord>(moving->getModelSpaceId().stub()->object);
    ASSERT_NE(ms, nullptr);
    size_t n = 0;
    for (const auto& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        ASSERT_EQ(oddbOpenObject(e, id, OdDb::kForWrite), eOk);
        EXPECT_EQ(e->transformBy(OdGeMatrix3d::translation(OdGeVector3d(10.1, -20.2, 0))), eOk);
        e->close();
        ++n;
    }
    EXPECT_EQ(n, 15u);
    const std::string moved = dxftest::Save(moving.get());

    // Every record holds the groups it held, in their order.
    const std::map<std::string, Groups> before = Records(plain), after = Records(moved);
    EXPECT_GE(before.size(), 23u);
    for (const auto& [handle, groups] : before) {
        auto it = after.find(handle);
        ASSERT_NE(it, after.end()) << handle;
        std::string codes, saved;
        for (const auto& g : groups) codes += std::to_string(g.first) + " ";
        for (const auto& g : it->second) saved += std::to_string(g.first) + " ";
        EXPECT_EQ(saved, codes) << groups[0].second << " " << handle;
    }
    // The names as the file spelled them, unedited and moved.
    for (const std::string& bytes : {plain, moved}) {
        const std::map<std::string, Groups> r = Records(bytes);
        auto has = [&r](const char* handle, const std::pair<int, std::string>& g) {
            auto it = r.find(handle);
            return it != r.end() && std::find(it->second.begin(), it->second.end(), g) != it->second.end();
        };
        EXPECT_TRUE(has("31", {8, "walls"}) && has("31", {6, "continuous"}));
        EXPECT_TRUE(has("3F", {2, "mark"}) && has("42", {3, "STANDARD"}) && has("37", {7, "NOSUCH"}));
        EXPECT_TRUE(has("3C", {8, "0"}) && has("3D", {8, "Kerbs"}) && has("3E", {8, "walls"}));
    }

    // Value by value, as ezdxf translates the save without the move.
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const std::filesystem::path folder = std::filesystem::path(VELK_BINARY_DIR) / "respell";
    std::filesystem::create_directories(folder);
    const std::string plainFile = (folder / "plain.dxf").string(), movedFile = (folder / "moved.dxf").string();
    velktest::WriteNativeFile(plainFile, plain);
    velktest::WriteNativeFile(movedFile, moved);
    const std::string cmd = "/usr/bin/python3 '" VELK_TEST_DATA_DIR "/moved_groups.py' '" + plainFile + "' '" +
                            movedFile + "' 10.1 -20.2 0 2>&1";
    std::string report;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    for (size_t got; (got = fread(buf, 1, sizeof buf, p)) > 0;) report.append(buf, got);
    EXPECT_EQ(pclose(p), 0) << report;
}

// Every position a record holds moves with it, as ezdxf's translate moves
// it: a start given twice (the second kept where it was), a left-aligned
// text's alignment point the file gave; and a moved record keeps its groups
// in the file's order (an LWPOLYLINE's elevation before its count and
// flags, moved up).
TEST(DxfRespell, EveryPositionARecordHoldsMovesWithIt)
{
    Groups ents;
    Add(ents, Entity("LINE", "50", {{8, "0"}},
                     {{100, "AcDbLine"}, {10, "1.5"}, {20, "2.5"}, {30, "0.0"}, {11, "3.0"}, {21, "4.0"}, {31, "0.0"},
                      {10, "1.75"}, {20, "2.75"}, {30, "0.0"}}));
    Add(ents, Entity("TEXT", "51", {{8, "0"}},
                     {{100, "AcDbText"}, {10, "5.0"}, {20, "6.0"}, {30, "0.0"}, {40, "1.0"}, {1, "left"},
                      {11, "9.0"}, {21, "8.0"}, {31, "0.0"}, {100, "AcDbText"}}));
    Add(ents, Entity("LWPOLYLINE", "52", {{8, "0"}},
                     {{100, "AcDbPolyline"}, {38, "0.0"}, {90, "2"}, {70, "0"}, {10, "0.0"}, {20, "0.0"},
                      {10, "1.0"}, {20, "1.0"}}));
    const std::string file = dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}}, {{"ENTITIES", ents}});
    std::unique_ptr<OdDbDatabase> db(dxftest::Reopen(file));
    const std::string plain = dxftest::Save(db.get());
    auto* ms = OdRxCast<OdDbBlockTableRecord>(db->getModelSpaceId().stub()->object);
    ASSERT_NE(ms, nullptr);
    for (const auto& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        ASSERT_EQ(oddbOpenObject(e, id, OdDb::kForWrite), eOk);
        EXPECT_EQ(e->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 2, 0.25))), eOk);
        e->close();
    }
    const std::map<std::string, Groups> before = Records(plain), after = Records(dxftest::Save(db.get()));
    auto values = [](const Groups& g, int code) {
        std::vector<std::string> out;
        for (const auto& [c, v] : g)
            if (c == code) out.push_back(v);
        return out;
    };
    ASSERT_TRUE(after.count("50") && after.count("51") && after.count("52"));
    EXPECT_EQ(values(after.at("50"), 10), (std::vector<std::string>{"2.5", "2.75"}));
    EXPECT_EQ(values(after.at("50"), 20), (std::vector<std::string>{"4.5", "4.75"}));
    EXPECT_EQ(values(after.at("50"), 30), (std::vector<std::string>{"0.25", "0.25"}));
    EXPECT_EQ(values(after.at("51"), 11), (std::vector<std::string>{"10.0"}));
    EXPECT_EQ(values(after.at("51"), 21), (std::vector<std::string>{"10.0"}));
    EXPECT_EQ(values(after.at("52"), 38), (std::vector<std::string>{"0.25"}));
    for (const auto& [handle, groups] : before) {
        std::string codes, saved;
        for (const auto& g : groups) codes += std::to_string(g.first) + " ";
        for (const auto& g : after.at(handle)) saved += std::to_string(g.first) + " ";
        EXPECT_EQ(saved, codes) << handle;
    }
}
