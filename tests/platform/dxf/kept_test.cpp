// What the database models for drawing files and what it keeps: pattern
// lines from the pattern file, extended data, groups it does not model
// going back where they were read with their handles remapped, object
// coordinates, references in rows and columns, loops kept as written, and
// what a save cannot carry said on the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "editor_control.h"
#include "oddbblockreference.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

using Groups = std::vector<std::pair<int, std::string>>;

std::string File(const Groups& entities, const Groups& blocks = {}, const Groups& tables = {})
{
    Groups g{{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1024"}, {0, "ENDSEC"},
             {0, "SECTION"}, {2, "TABLES"}};
    g.insert(g.end(), tables.begin(), tables.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "SECTION"}, {2, "BLOCKS"}});
    g.insert(g.end(), blocks.begin(), blocks.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
    g.insert(g.end(), entities.begin(), entities.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "EOF"}});
    std::string s;
    for (const auto& [code, value] : g) s += std::to_string(code) + "\n" + value + "\n";
    return s;
}

std::unique_ptr<OdDbDatabase> Read(const std::string& bytes)
{
    auto db = std::make_unique<OdDbDatabase>(false);
    std::string why;
    EXPECT_EQ(standin::ReadDxfBytes(db.get(), bytes, &why), eOk) << why;
    return db;
}

std::vector<OdDbEntity*> ModelSpace(OdDbDatabase* db)
{
    std::vector<OdDbEntity*> out;
    auto* ms = OdRxCast<OdDbBlockTableRecord>(db->getModelSpaceId().stub()->object);
    for (const auto& id : ms->entityIds())
        if (!id.isErased()) out.push_back(static_cast<OdDbEntity*>(id.stub()->object));
    return out;
}

// The saved file's groups as "code value" lines, values trimmed.
std::vector<std::string> GroupLines(const std::string& bytes)
{
    std::vector<std::string> lines, out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string l = bytes.substr(pos, end - pos);
        while (!l.empty() && (l.back() == '\r' || l.back() == ' ')) l.pop_back();
        while (!l.empty() && l.front() == ' ') l.erase(0, 1);
        lines.push_back(l);
        pos = end + 1;
    }
    for (size_t i = 0; i + 1 < lines.size(); i += 2) out.push_back(lines[i] + " " + lines[i + 1]);
    return out;
}

// The groups of the record that starts with "0 type" and "5 handle".
std::vector<std::string> Record(const std::vector<std::string>& groups, const std::string& type, const std::string& handle)
{
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
        if (groups[i] != "0 " + type || groups[i + 1] != "5 " + handle) continue;
        size_t end = i + 1;
        while (end < groups.size() && groups[end].rfind("0 ", 0) != 0) ++end;
        return std::vector<std::string>(groups.begin() + (long)i, groups.begin() + (long)end);
    }
    return {};
}

bool Near(const OdGePoint3d& a, const OdGePoint3d& b) { return a.distanceTo(b) < 1e-9; }

}  // namespace

TEST(DxfModel, PredefinedPatternsTakeTheirLinesFromThePatternFileAndFollowAngleScaleAndOrigin)
{
    OdDbHatch h;
    ASSERT_EQ(h.setPattern(OdDbHatch::kPreDefined, L"ANSI31"), eOk);
    ASSERT_EQ(h.numPatternDefinitions(), 1);
    double angle, bx, by, ox, oy;
    OdGeDoubleArray dashes;
    ASSERT_EQ(h.getPatternDefinitionAt(0, angle, bx, by, ox, oy, dashes), eOk);
    // Lines at 45 degrees 3.175 apart, solid.
    EXPECT_NEAR(angle, M_PI / 4, 1e-12);
    EXPECT_NEAR(ox, -3.175 * std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(oy, 3.175 * std::sqrt(0.5), 1e-12);
    EXPECT_TRUE(dashes.isEmpty());
    h.setPatternScale(2);
    h.setPatternAngle(M_PI / 2);
    h.setOriginPoint(OdGePoint2d(5, -1));
    h.getPatternDefinitionAt(0, angle, bx, by, ox, oy, dashes);
    EXPECT_NEAR(angle, 3 * M_PI / 4, 1e-12);
    EXPECT_NEAR(ox, -6.35 * std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(oy, -6.35 * std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(bx, 5, 1e-12);
    EXPECT_NEAR(by, -1, 1e-12);

    OdDbHatch net, dashed, solid;
    net.setPattern(OdDbHatch::kPreDefined, L"NET");
    EXPECT_EQ(net.numPatternDefinitions(), 2);
    dashed.setPattern(OdDbHatch::kPreDefined, L"ACAD_ISO02W100");
    ASSERT_EQ(dashed.getPatternDefinitionAt(0, angle, bx, by, ox, oy, dashes), eOk);
    EXPECT_EQ(dashes, (OdGeDoubleArray{12, -3}));
    // The pattern file defines every pattern the host names.
    for (const wchar_t* name : {L"ANSI37", L"BRICK", L"HONEY", L"GRAVEL", L"ACAD_ISO15W100"}) {
        OdDbHatch p;
        ASSERT_EQ(p.setPattern(OdDbHatch::kPreDefined, name), eOk) << name;
        EXPECT_GT(p.numPatternDefinitions(), 0) << name;
    }
    solid.setPattern(OdDbHatch::kPreDefined, L"SOLID");
    EXPECT_EQ(solid.numPatternDefinitions(), 0);
}

TEST(DxfModel, ExtendedDataIsKeptPerApplicationAndOnlyForRegisteredOnes)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\x.dwg")->database();
    OdDbObjectId id = dxftest::Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0)));
    OdDbEntity* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);
    auto chain = [](std::initializer_list<std::pair<int, const wchar_t*>> items) {
        OdResBuf head;
        OdResBuf* tail = &head;
        for (const auto& [code, text] : items)
            tail = tail->setNext(code == 1071 ? OdResBuf::newRb(code, (int32_t)std::wcstol(text, nullptr, 10))
                                              : OdResBuf::newRb(code, OdString(text)));
        return head.next();
    };
    OdResBuf* a = chain({{1001, L"APP_A"}, {1000, L"first"}, {1071, L"7"}});
    EXPECT_EQ(line->setXData(a), eRegappIdNotFound);
    db->newRegApp(L"APP_A");
    db->newRegApp(L"APP_B");
    EXPECT_EQ(line->setXData(a), eOk);
    OdResBuf* b = chain({{1001, L"APP_B"}, {1000, L"second"}});
    EXPECT_EQ(line->setXData(b), eOk);
    OdResBuf* got = line->xData(L"app_b");
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->getString(), L"APP_B");
    EXPECT_EQ(got->next()->getString(), L"second");
    EXPECT_EQ(got->next()->next(), nullptr);
    OdResBuf::releaseChain(got);
    // A name alone removes that application's data; the other stays.
    OdResBuf* removeA = chain({{1001, L"APP_A"}});
    EXPECT_EQ(line->setXData(removeA), eOk);
    EXPECT_EQ(line->xData(L"APP_A"), nullptr);
    OdResBuf* all = line->xData();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->getString(), L"APP_B");
    for (OdResBuf* c : {a, b, removeA, all}) OdResBuf::releaseChain(c);
    line->close();

    // A hatch's background colour is extended data of the host's name.
    auto* h = new OdDbHatch();
    OdCmColor back;
    back.setRGB(1, 2, 3);
    h->setBackgroundColor(back);
    OdResBuf* hx = h->xData(L"HATCHBACKGROUNDCOLOR");
    ASSERT_NE(hx, nullptr);
    EXPECT_EQ(hx->next()->restype(), 1071);
    OdResBuf::releaseChain(hx);
    EXPECT_EQ(h->backgroundColor(), back);
    delete h;
}

TEST(DxfModel, LoopsOfManyEdgesInAnyOrderAreJoinedIntoTheirRing)
{
    // 20,000 edges of a polygon, shuffled and half of them turned round.
    const int n = 20000;
    std::vector<OdGeLineSeg2d> segs;
    for (int i = 0; i < n; ++i) {
        double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        OdGePoint2d p(100 * std::cos(a0), 100 * std::sin(a0)), q(100 * std::cos(a1), 100 * std::sin(a1));
        segs.emplace_back(i % 2 ? q : p, i % 2 ? p : q);
    }
    std::shuffle(segs.begin(), segs.end(), std::mt19937(5));
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    for (auto& s : segs) {
        edges.append(&s);
        types.append(OdDbHatch::kLine);
    }
    OdDbHatch h;
    ASSERT_EQ(h.appendLoop(OdDbHatch::kExternal, edges, types), eOk);
    OdGeVoidPointerArray ring;
    int type;
    ASSERT_EQ(h.getLoopAt(0, type, ring, types), eOk);
    ASSERT_EQ(ring.length(), n);
    for (int i = 0; i < n; ++i) {
        auto* cur = static_cast<OdGeCurve2d*>(ring[i]);
        auto* next = static_cast<OdGeCurve2d*>(ring[(i + 1) % n]);
        ASSERT_LT(cur->endPoint().distanceTo(next->startPoint()), 1e-6) << i;
    }
    // A gap is refused by the interface; a file's loop with one is kept as
    // written (below).
    segs[0] = OdGeLineSeg2d(OdGePoint2d(500, 500), OdGePoint2d(501, 500));
    OdDbHatch gap;
    EXPECT_EQ(gap.appendLoop(OdDbHatch::kExternal, edges, types), eInvalidInput);
}

TEST(DxfKept, GroupsTheDatabaseDoesNotModelGoBackInTheirSubclassWithTheirHandles)
{
    // The point names the second line, in a padded lower-case handle, from
    // a subclass the database does not know and from its extended data,
    // which also names an object the file does not hold.
    std::string bytes = File({
        {0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {284, "1"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
        {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}, {91, "77"},
        {0, "LINE"}, {5, "4B"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
        {30, "0"}, {11, "2"}, {21, "2"}, {31, "0"},
        {0, "POINT"}, {5, "42"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPoint"}, {10, "5"}, {20, "5"},
        {30, "0"}, {100, "AcDbSomethingElse"}, {300, "kept text"}, {340, "  4b"}, {1001, "ACAD"},
        {1000, "named"}, {1005, " 4b"}, {1005, "999"},
    }, {}, {{0, "TABLE"}, {2, "APPID"}, {5, "9"}, {0, "APPID"}, {5, "12"}, {2, "ACAD"}, {70, "0"}, {0, "ENDTAB"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 3u);
    // The point's extended data names the line by its object.
    OdResBuf* xd = ms[2]->xData(L"ACAD");
    ASSERT_NE(xd, nullptr);
    EXPECT_EQ(xd->next()->next()->getObjectId(), ms[1]->objectId());
    OdResBuf::releaseChain(xd);

    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> first = Record(saved, "LINE", "40");
    ASSERT_FALSE(first.empty());
    auto at = [](const std::vector<std::string>& r, const std::string& g) {
        return std::find(r.begin(), r.end(), g) - r.begin();
    };
    // 284 stays in the entity part, 91 in the line part.
    EXPECT_LT(at(first, "284 1"), at(first, "100 AcDbLine"));
    EXPECT_GT(at(first, "91 77"), at(first, "100 AcDbLine"));
    EXPECT_LT(at(first, "91 77"), (long)first.size());
    std::vector<std::string> point = Record(saved, "POINT", "42");
    ASSERT_FALSE(point.empty());
    long sub = at(point, "100 AcDbSomethingElse");
    EXPECT_GT(sub, at(point, "100 AcDbPoint"));
    ASSERT_LT((size_t)sub + 6, point.size());
    EXPECT_EQ(point[(size_t)sub + 1], "300 kept text");
    EXPECT_EQ(point[(size_t)sub + 2], "340 4B");
    EXPECT_EQ(point[(size_t)sub + 3], "1001 ACAD");
    EXPECT_EQ(point[(size_t)sub + 5], "1005 4B");
    EXPECT_EQ(point[(size_t)sub + 6], "1005 0");  // nothing to name
}

TEST(DxfKept, ObjectCoordinatesAreAppliedBothWays)
{
    // TEXT and INSERT at (1,2,3) in the plane seen from below lie at
    // (-1,2,-3) in the world, and go back where they came from.
    Groups block{{0, "BLOCK"}, {2, "B"}, {10, "0"}, {20, "0"}, {30, "0"}, {0, "LINE"}, {10, "0"}, {20, "0"},
                 {11, "1"}, {21, "0"}, {0, "ENDBLK"}};
    std::string bytes = File({
        {0, "TEXT"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "1"}, {20, "2"}, {30, "3"},
        {40, "1"}, {1, "down"}, {50, "30"}, {210, "0"}, {220, "0"}, {230, "-1"}, {100, "AcDbText"},
        {0, "INSERT"}, {5, "51"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}, {2, "B"}, {10, "1"},
        {20, "2"}, {30, "3"}, {50, "90"}, {210, "0"}, {220, "0"}, {230, "-1"},
    }, block);
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<OdDbDatabase> db = Read(bytes);
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 2u);
        auto* text = OdRxCast<OdDbText>(ms[0]);
        auto* ref = OdRxCast<OdDbBlockReference>(ms[1]);
        ASSERT_TRUE(text && ref);
        EXPECT_TRUE(Near(text->position(), OdGePoint3d(-1, 2, -3)));
        EXPECT_TRUE(Near(ref->position(), OdGePoint3d(-1, 2, -3)));
        // The block's x axis turned by 90 degrees in the mirrored plane
        // points along -y of the world... seen from below: along +y.
        OdGePoint3d end(1, 0, 0);
        end.transformBy(ref->blockTransform());
        EXPECT_TRUE(Near(end, OdGePoint3d(-1, 3, -3))) << end.x << "," << end.y << "," << end.z;
        bytes = dxftest::Save(db.get());
        std::vector<std::string> saved = GroupLines(bytes);
        EXPECT_NE(std::find(saved.begin(), saved.end(), "230 -1.0"), saved.end());
        std::vector<std::string> textRecord = Record(saved, "TEXT", "50");
        auto marker = std::find(textRecord.begin(), textRecord.end(), "100 AcDbText");
        ASSERT_NE(marker, textRecord.end());
        EXPECT_NE(std::find(marker, textRecord.end(), "10 1.0"), textRecord.end());
        EXPECT_NE(std::find(marker, textRecord.end(), "30 3.0"), textRecord.end());
    }
}

TEST(DxfKept, ReferencesInRowsAndColumnsAndLoopsAsWrittenComeBack)
{
    Groups block{{0, "BLOCK"}, {2, "B"}, {10, "0"}, {20, "0"}, {30, "0"}, {0, "LINE"}, {10, "0"}, {20, "0"},
                 {11, "1"}, {21, "1"}, {0, "ENDBLK"}};
    Groups ents{{0, "INSERT"}, {5, "60"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMInsertBlock"}, {2, "B"},
                {10, "0"}, {20, "0"}, {30, "0"}, {70, "3"}, {71, "2"}, {44, "10"}, {45, "5"},
                // A loop of four lines with a gap between the second and third.
                {0, "HATCH"}, {5, "61"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {10, "0"}, {20, "0"},
                {30, "0"}, {210, "0"}, {220, "0"}, {230, "1"}, {2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "1"},
                {92, "1"}, {93, "4"}};
    const double gap[5][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    for (int k = 0; k < 4; ++k) {
        ents.insert(ents.end(), {{72, "1"}, {10, std::to_string(gap[k][0])}, {20, std::to_string(gap[k][1] + (k == 2 ? 0.001 : 0))},
                                 {11, std::to_string(gap[k + 1][0])}, {21, std::to_string(gap[k + 1][1])}});
    }
    ents.insert(ents.end(), {{97, "0"}, {75, "1"}, {76, "1"}, {98, "0"}});
    std::unique_ptr<OdDbDatabase> db = Read(File(ents, block));
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    auto* m = OdRxCast<OdDbMInsertBlock>(ms[0]);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->columns(), 3);
    EXPECT_EQ(m->rows(), 2);
    OdGeExtents3d ext;
    ASSERT_EQ(m->getGeomExtents(ext), eOk);
    EXPECT_TRUE(Near(ext.maxPoint(), OdGePoint3d(21, 6, 0)));
    auto* h = OdRxCast<OdDbHatch>(ms[1]);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->numLoops(), 1);
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    int type;
    ASSERT_EQ(h->getLoopAt(0, type, edges, types), eOk);
    ASSERT_EQ(edges.length(), 4);
    EXPECT_NEAR(static_cast<OdGeCurve2d*>(edges[2])->startPoint().y, 10.001, 1e-12);
    EXPECT_EQ(h->hatchStyle(), OdDbHatch::kOuter);
    // Saved and read again: the same.
    std::unique_ptr<OdDbDatabase> again = Read(dxftest::Save(db.get()));
    EXPECT_EQ(dxftest::LineDiff(dxftest::Describe(db.get()), dxftest::Describe(again.get())), "");
}

TEST(DxfKept, WhatASaveCannotCarryIsSaidOnTheCommandLine)
{
    velktest::WriteNativeFile(standin::NativePath(L"C:\\dwg\\old.txt"), "");
    GcApDocument* doc = standin::CreateDocument(L"C:\\dwg\\r.dxf");
    auto* region = new OdDbRegion();
    OdDbObjectId id = dxftest::Append(doc->database(), region);
    standin::ClearCommandLine();
    standin::QueueText(L"C:\\dwg\\r.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"SAVEAS"));
    std::wstring handle = id.getHandle().ascii().str();
    EXPECT_EQ(standin::CommandLineText(), L"\nNot saved in C:\\dwg\\r.dxf: AcDbRegion (handle " + handle +
                                              L"): a region made in memory has no modeller data to save; it is not "
                                              L"saved");
}
