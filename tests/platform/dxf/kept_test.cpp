// What the database models for drawing files and what it keeps: pattern
// lines from the pattern file, extended data, groups it does not model
// going back where they were read with their handles remapped, object
// coordinates, references in rows and columns, loops kept as written, and
// what a save cannot carry said on the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "dxf_access.h"
#include "dxf_control.h"
#include "dxf_internal.h"
#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "editor_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

using dxftest::Groups;
using dxftest::GroupLines;
using dxftest::Record;

std::string File(const Groups& entities, const Groups& blocks = {}, const Groups& tables = {})
{
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}},
                                 {{"TABLES", tables}, {"BLOCKS", blocks}, {"ENTITIES", entities}});
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
    // which also names an object the file does not hold: that handle goes
    // back as written, and no new object takes it.
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
    EXPECT_EQ(point[(size_t)sub + 6], "1005 999");
    OdDbBlockTableRecord* msp = nullptr;
    ASSERT_EQ(oddbOpenObject(msp, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    OdDbObjectId added;
    ASSERT_EQ(msp->appendOdDbEntity(added, new OdDbLine(OdGePoint3d(), OdGePoint3d(1, 0, 0))), eOk);
    msp->close();
    EXPECT_GT((uint64_t)added.getHandle(), 0x999u);
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

TEST(DxfKept, AnEmbeddedObjectsValuesAreNotTheRecordsOwn)
{
    // An MTEXT in columns: its own values give a rotation of 30 degrees and
    // no flow direction or line spacing; the embedded object after "101"
    // has values of its own under the same codes (a direction of nothing,
    // three columns, columns 2.5 wide).
    std::string bytes = File({
        {0, "MTEXT"}, {5, "70"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1"}, {20, "2"}, {30, "0"},
        {40, "2.5"}, {41, "10"}, {71, "1"}, {1, "a\\Nb\\Nc"}, {50, "30"}, {101, "Embedded Object"}, {70, "1"},
        {10, "1"}, {20, "0"}, {30, "0"}, {11, "0"}, {21, "0"}, {31, "0"}, {40, "10"}, {41, "20"}, {71, "1"},
        {72, "3"}, {44, "2.5"}, {45, "1"}, {73, "0"}, {74, "0"},
    });
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    auto* m = OdRxCast<OdDbMText>(ms[0]);
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->rotation(), M_PI / 6, 1e-12);
    EXPECT_EQ(m->flowDirection(), OdDbMTextEnums::kLtoR);
    EXPECT_EQ(m->lineSpacingFactor(), 1.0);
    EXPECT_EQ(m->width(), 10.0);

    // Saved, the record's own values come first, as the file gave them and
    // none added, and the embedded object follows whole, as it was.
    std::vector<std::string> saved = Record(GroupLines(dxftest::Save(db.get())), "MTEXT", "70");
    auto at = [&](const std::string& g) { return std::find(saved.begin(), saved.end(), g) - saved.begin(); };
    const long own = at("100 AcDbMText"), embedded = at("101 Embedded Object");
    ASSERT_LT(embedded, (long)saved.size());
    const std::vector<std::string> values(saved.begin() + own + 1, saved.begin() + embedded);
    const std::vector<std::string> given{"10 1.0", "20 2.0", "30 0.0", "40 2.5", "41 10.0", "71 1", "1 a\\Nb\\Nc", "50 30.0"};
    EXPECT_EQ(values, given);
    const std::vector<std::string> tail(saved.begin() + embedded + 1, saved.end());
    const std::vector<std::string> asRead{"70 1", "10 1",  "20 0", "30 0", "11 0", "21 0", "31 0", "40 10",
                                          "41 20", "71 1", "72 3", "44 2.5", "45 1", "73 0", "74 0"};
    EXPECT_EQ(tail, asRead);
}

TEST(DxfKept, AHatchInAPlaneOfItsOwnIsMeasuredAndMovedInTheWorld)
{
    // A square of 3 in the plane seen from below, 2 along its normal: in the
    // world it spans x -3..0 and y 0..3 at z -2.
    std::string bytes = File({
        {0, "HATCH"}, {5, "80"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {10, "0"}, {20, "0"},
        {30, "2"}, {210, "0"}, {220, "0"}, {230, "-1"}, {2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "2"},
        {92, "3"}, {72, "0"}, {73, "1"}, {93, "4"}, {10, "0"}, {20, "0"}, {10, "3"}, {20, "0"}, {10, "3"}, {20, "3"},
        {10, "0"}, {20, "3"}, {97, "0"},
        {92, "1"}, {93, "1"}, {72, "2"}, {10, "1.5"}, {20, "1.5"}, {40, "1"}, {50, "0"}, {51, "360"}, {73, "1"},
        {97, "0"}, {75, "0"}, {76, "1"}, {98, "1"}, {10, "1"}, {20, "1"},
    });
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    auto* h = OdRxCast<OdDbHatch>(ms[0]);
    ASSERT_NE(h, nullptr);
    OdGeExtents3d ext;
    ASSERT_EQ(h->getGeomExtents(ext), eOk);
    EXPECT_TRUE(Near(ext.minPoint(), OdGePoint3d(-3, 0, -2))) << ext.minPoint().x << "," << ext.minPoint().z;
    EXPECT_TRUE(Near(ext.maxPoint(), OdGePoint3d(0, 3, -2))) << ext.maxPoint().x << "," << ext.maxPoint().z;

    // Moved 10 along the world's x, it goes there, and so does its seed
    // point; saved and read again, it is where it went.
    ASSERT_EQ(oddbOpenObject(h, h->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(h->transformBy(OdGeMatrix3d::translation(OdGeVector3d(10, 0, 1))), eOk);
    h->close();
    ASSERT_EQ(h->getGeomExtents(ext), eOk);
    EXPECT_TRUE(Near(ext.minPoint(), OdGePoint3d(7, 0, -1)));
    EXPECT_TRUE(Near(ext.maxPoint(), OdGePoint3d(10, 3, -1)));
    EXPECT_NEAR(h->getSeedPointAt(0).x, -9, 1e-12);  // in the plane's coordinates
    std::unique_ptr<OdDbDatabase> again = Read(dxftest::Save(db.get()));
    ms = ModelSpace(again.get());
    ASSERT_EQ(ms.size(), 1u);
    ASSERT_EQ(ms[0]->getGeomExtents(ext), eOk);
    EXPECT_TRUE(Near(ext.minPoint(), OdGePoint3d(7, 0, -1)));
    EXPECT_TRUE(Near(ext.maxPoint(), OdGePoint3d(10, 3, -1)));

    // Turned half a turn about the world's x axis, it faces up: its plane
    // is the world's, its square at y -3..0, z 1.
    ASSERT_EQ(oddbOpenObject(h, ms[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(h->transformBy(OdGeMatrix3d::rotation(M_PI, OdGeVector3d::kXAxis)), eOk);
    h->close();
    EXPECT_LT((h->normal() - OdGeVector3d(0, 0, 1)).length(), 1e-12);
    ASSERT_EQ(h->getGeomExtents(ext), eOk);
    EXPECT_TRUE(Near(ext.minPoint(), OdGePoint3d(7, -3, 1)));
    EXPECT_TRUE(Near(ext.maxPoint(), OdGePoint3d(10, 0, 1)));
}

TEST(DxfModel, TheDrawingsLinetypeScaleIsReadSetAndSaved)
{
    OdDbDatabase fresh(true);
    EXPECT_EQ(fresh.getLTSCALE(), 1.0);
    EXPECT_EQ(fresh.setLTSCALE(0), eInvalidInput);
    EXPECT_EQ(fresh.setLTSCALE(-2), eInvalidInput);
    EXPECT_EQ(fresh.setLTSCALE(std::nan("")), eInvalidInput);
    EXPECT_EQ(fresh.getLTSCALE(), 1.0);

    std::string bytes = File({});
    bytes.insert(bytes.find("0\nENDSEC\n"), "9\n$LTSCALE\n40\n2.5\n");
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    EXPECT_EQ(db->getLTSCALE(), 2.5);
    ASSERT_EQ(db->setLTSCALE(0.25), eOk);
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    const auto var = std::find(saved.begin(), saved.end(), "9 $LTSCALE");
    ASSERT_NE(var, saved.end());
    EXPECT_EQ(*(var + 1), "40 0.25");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "9 $LTSCALE"), 1);
    EXPECT_EQ(Read(dxftest::Save(db.get()))->getLTSCALE(), 0.25);
    // A file without one, or with one that is no scale, has the default.
    EXPECT_EQ(Read(File({}))->getLTSCALE(), 1.0);
    bytes = File({});
    bytes.insert(bytes.find("0\nENDSEC\n"), "9\n$LTSCALE\n40\n-3\n");
    EXPECT_EQ(Read(bytes)->getLTSCALE(), 1.0);
    // Given twice, the first is the drawing's and the second goes back.
    bytes = File({});
    bytes.insert(bytes.find("0\nENDSEC\n"), "9\n$LTSCALE\n40\n2.5\n9\n$LTSCALE\n40\n3.5\n");
    db = Read(bytes);
    EXPECT_EQ(db->getLTSCALE(), 2.5);
    saved = GroupLines(dxftest::Save(db.get()));
    const auto first = std::find(saved.begin(), saved.end(), "9 $LTSCALE");
    ASSERT_NE(first, saved.end());
    EXPECT_EQ(*(first + 1), "40 2.5");
    const auto second = std::find(first + 1, saved.end(), "9 $LTSCALE");
    ASSERT_NE(second, saved.end());
    EXPECT_EQ(*(second + 1), "40 3.5");
    EXPECT_EQ(Read(dxftest::Save(db.get()))->getLTSCALE(), 2.5);
}

TEST(DxfKept, RecordsTheDatabaseDoesNotKeepKeepTheirHandlesFromSaveToSave)
{
    // A block's BLOCK and ENDBLK, a polyline's vertices and end, and the
    // end of a reference's attributes: the file's handles go back, and a
    // saved file saved again is the same file, its handle seed too. The
    // third vertex's handle is the line's: it gets a new one.
    Groups block{{0, "BLOCK"}, {5, "A1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, "B"},
                 {70, "2"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "B"},
                 {0, "ATTDEF"}, {5, "A2"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
                 {30, "0"}, {40, "1"}, {1, "v"}, {100, "AcDbAttributeDefinition"}, {3, "?"}, {2, "T"}, {70, "0"},
                 {0, "ENDBLK"}, {5, "A3"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}};
    Groups ents{{0, "LINE"}, {5, "B4"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
                {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
                {0, "POLYLINE"}, {5, "B0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"},
                {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"}};
    for (const char* h : {"B1", "B2", "B4"})
        ents.insert(ents.end(), {{0, "VERTEX"}, {5, h}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                 {100, "AcDb2dVertex"}, {10, std::string(h, 1, 1)}, {20, "0"}, {30, "0"}});
    ents.insert(ents.end(), {{0, "SEQEND"}, {5, "B3"}, {100, "AcDbEntity"}, {8, "0"},
                             {0, "INSERT"}, {5, "C0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"},
                             {66, "1"}, {2, "B"}, {10, "0"}, {20, "0"}, {30, "0"},
                             {0, "ATTRIB"}, {5, "C1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"},
                             {20, "0"}, {30, "0"}, {40, "1"}, {1, "w"}, {100, "AcDbAttribute"}, {2, "T"}, {70, "0"},
                             {0, "SEQEND"}, {5, "C2"}, {100, "AcDbEntity"}, {8, "0"}});
    std::string bytes = File(ents, block);
    bytes.insert(bytes.find("0\nENDSEC\n"), "9\n$HANDSEED\n5\nD0\n");
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    const std::string once = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(once);
    for (const char* record : {"BLOCK", "ENDBLK", "VERTEX", "SEQEND"})
        for (const char* h : {"A1", "A3", "B1", "B2", "B3", "C2"}) {
            const bool expected = (std::string(record) == "BLOCK" && std::string(h) == "A1") ||
                                  (std::string(record) == "ENDBLK" && std::string(h) == "A3") ||
                                  (std::string(record) == "VERTEX" && h[0] == 'B' && h[1] != '3') ||
                                  (std::string(record) == "SEQEND" && (std::string(h) == "B3" || std::string(h) == "C2"));
            EXPECT_EQ(!Record(saved, record, h).empty(), expected) << record << " " << h;
        }
    std::set<std::string> handles;
    for (size_t i = 0; i < saved.size(); ++i)
        if (saved[i].rfind("5 ", 0) == 0 && i > 0 && saved[i - 1].rfind("0 ", 0) == 0) {
            EXPECT_TRUE(handles.insert(saved[i]).second) << saved[i] << " twice";
        }
    std::unique_ptr<OdDbDatabase> second = Read(once);
    const std::string twice = dxftest::Save(second.get());
    std::unique_ptr<OdDbDatabase> again = Read(twice);
    EXPECT_EQ(dxftest::Save(again.get()), twice);

    // A copy of the polyline is another entity: its vertices get handles of
    // their own.
    std::vector<OdDbEntity*> ms = ModelSpace(again.get());
    ASSERT_EQ(ms.size(), 3u);
    dxftest::Append(again.get(), static_cast<OdDbEntity*>(ms[1]->clone()));
    saved = GroupLines(dxftest::Save(again.get()));
    handles.clear();
    size_t vertices = 0;
    for (size_t i = 1; i < saved.size(); ++i)
        if (saved[i].rfind("5 ", 0) == 0 && saved[i - 1].rfind("0 ", 0) == 0) {
            EXPECT_TRUE(handles.insert(saved[i]).second) << saved[i] << " twice";
            vertices += saved[i - 1] == "0 VERTEX";
        }
    EXPECT_EQ(vertices, 6u);
}

TEST(DxfKept, ABlocksBeginAndEndAmongTheEntitiesAreNoEntities)
{
    // Kept as unknown entities of paper space they would be saved inside
    // its block and cut it short on the next read, losing what follows.
    Groups ents{{0, "BLOCK"}, {5, "E1"}, {330, "1B"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                {2, "*Paper_Space"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
                {0, "LINE"}, {5, "E2"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"},
                {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
                {0, "ENDBLK"}, {5, "E3"}, {330, "1B"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"},
                {0, "LINE"}, {5, "E4"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"}, {100, "AcDbLine"}, {10, "2"},
                {20, "0"}, {30, "0"}, {11, "3"}, {21, "1"}, {31, "0"}};
    std::unique_ptr<OdDbDatabase> db = Read(File(ents));
    const std::string once = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(once);
    EXPECT_TRUE(Record(saved, "BLOCK", "E1").empty());
    EXPECT_TRUE(Record(saved, "ENDBLK", "E3").empty());
    EXPECT_FALSE(Record(saved, "LINE", "E2").empty());
    EXPECT_FALSE(Record(saved, "LINE", "E4").empty());
    std::unique_ptr<OdDbDatabase> again = Read(once);
    const std::string twice = dxftest::Save(again.get());
    EXPECT_EQ(twice, once);
    EXPECT_FALSE(Record(GroupLines(twice), "LINE", "E4").empty());
}

// Attributes are a reference's where it says they follow (66 1), as
// readers take them; the ATTRIBs after one that does not say so are
// entities of their own, kept whole and saved as they came, with no
// sequence end invented for them.
TEST(DxfKept, AttributesAreAReferencesOnlyWhereItSaysTheyFollow)
{
    auto insert = [](const char* handle, bool follow) {
        Groups g{{0, "INSERT"}, {5, handle}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}};
        if (follow) g.push_back({66, "1"});
        g.insert(g.end(), {{2, "MARK"}, {10, "1"}, {20, "2"}, {30, "0"}});
        return g;
    };
    auto attrib = [](const char* handle, const char* tag) {
        return Groups{{0, "ATTRIB"}, {5, handle}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "1"},
                      {20, "2"}, {30, "0"}, {40, "1"}, {1, "value"}, {100, "AcDbAttribute"}, {2, tag}, {70, "0"}};
    };
    Groups ents;
    for (const Groups& g : {insert("E1", false), attrib("E2", "LOOSE"), insert("E3", true), attrib("E4", "OWN"),
                            Groups{{0, "SEQEND"}, {5, "E5"}, {100, "AcDbEntity"}, {8, "0"}}})
        ents.insert(ents.end(), g.begin(), g.end());
    const Groups blocks{{0, "BLOCK"}, {5, "B1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, "MARK"},
                        {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "MARK"}, {0, "ENDBLK"}, {5, "B2"},
                        {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}};
    std::unique_ptr<OdDbDatabase> db = Read(File(ents, blocks));
    EXPECT_TRUE(standin::DxfNotRead(db.get()).empty());
    auto attributes = [&](const char* handle) {
        OdDbObjectId id;
        if (db->getOdDbObjectId(id, false, OdDbHandle(std::strtoull(handle, nullptr, 16))) != eOk) return -1;
        auto* ref = OdRxCast<OdDbBlockReference>(id.stub()->object);
        if (!ref) return -1;
        return (int)standin::DxfAccess::attributes(ref).size();
    };
    EXPECT_EQ(attributes("E1"), 0);
    EXPECT_EQ(attributes("E3"), 1);
    // The loose ATTRIB is an entity of model space, after the reference.
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 3u);
    EXPECT_EQ((uint64_t)ms[1]->handle(), 0xE2u);
    const std::string once = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(once);
    EXPECT_FALSE(Record(saved, "ATTRIB", "E2").empty());
    const std::vector<std::string> loose = Record(saved, "INSERT", "E1");
    EXPECT_EQ(std::count(loose.begin(), loose.end(), "66 1"), 0);
    // One sequence end, the reference's that has attributes.
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(), [](const std::string& g) { return g == "0 SEQEND"; }), 1);
    const std::vector<std::string> own = Record(saved, "INSERT", "E3");
    EXPECT_EQ(std::count(own.begin(), own.end(), "66 1"), 1);
    std::unique_ptr<OdDbDatabase> again = Read(once);
    EXPECT_EQ(dxftest::Save(again.get()), once);

    // A loose ATTRIB without markers, as files of the oldest form give
    // one: saved with a marker for each subclass, its tag, field length
    // and alignment under the attribute's, where readers by marker look
    // for them, also where a value given twice cuts what it keeps apart.
    for (const Groups& layers : {Groups{{8, "0"}}, Groups{{8, "0"}, {8, "TWICE"}}}) {
        Groups bare{{0, "INSERT"}, {8, "0"}, {2, "MARK"}, {10, "1"}, {20, "2"}, {30, "0"}, {0, "ATTRIB"}};
        bare.insert(bare.end(), layers.begin(), layers.end());
        bare.insert(bare.end(), {{10, "1"}, {20, "2"}, {30, "0"}, {40, "1"}, {1, "value"}, {2, "LOOSE"}, {73, "5"},
                                 {74, "2"}, {72, "1"}, {11, "1"}, {21, "2"}, {31, "0"}});
        const std::string bareSaved = dxftest::Save(Read(File(bare, blocks)).get());
        std::vector<std::string> lines = GroupLines(bareSaved);
        auto at = std::find(lines.begin(), lines.end(), "0 ATTRIB");
        ASSERT_NE(at, lines.end()) << bareSaved;
        const std::vector<std::string> record(
            at, std::find_if(at + 1, lines.end(), [](const std::string& g) { return g.rfind("0 ", 0) == 0; }));
        auto place = [&](const char* group) {
            auto x = std::find(record.begin(), record.end(), group);
            EXPECT_NE(x, record.end()) << group << "\n" << bareSaved;
            return x;
        };
        auto text = place("100 AcDbText");
        auto its = place("100 AcDbAttribute");
        EXPECT_TRUE(text < its);
        for (const char* g : {"2 LOOSE", "73 5", "74 2"}) {
            auto x = place(g);
            EXPECT_TRUE(x != record.end() && x > its) << g;
        }
        for (const char* g : {"1 value", "72 1", "11 1"}) {
            auto x = place(g);
            EXPECT_TRUE(x > text && x < its) << g;
        }
        EXPECT_EQ(dxftest::Save(Read(bareSaved).get()), bareSaved);
    }
}

TEST(DxfKept, AnUnknownKindWhoseNameHoldsANulByteGoesBackWhole)
{
    // Written through a C string the name came back empty, and the next
    // read left the record out.
    const std::string kind("\0FOO", 4);
    Groups ents{{0, kind}, {5, "E1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbFoo"}, {10, "1"}, {20, "2"},
                {30, "0"}};
    std::unique_ptr<OdDbDatabase> db = Read(File(ents));
    const std::string once = dxftest::Save(db.get());
    EXPECT_FALSE(Record(GroupLines(once), kind, "E1").empty());
    std::unique_ptr<OdDbDatabase> again = Read(once);
    EXPECT_EQ(dxftest::Save(again.get()), once);
}

// A light polyline's vertex value after a marker the writer does not
// write is saved after the vertex, where the next read takes it: it is
// the vertex's in the first read too, and both saves are the same.
TEST(DxfKept, ALightPolylinesValueAfterAStrangeMarkerIsItsVertexsInEveryRead)
{
    for (const char* marker : {"", "AcDbFoo"}) {
        SCOPED_TRACE(marker);
        for (const char* width : {"0", "0.5"}) {
            Groups ents{{0, "LWPOLYLINE"}, {5, "E1"}, {10, "1"}, {20, "2"}, {100, marker}, {41, width}};
            std::unique_ptr<OdDbDatabase> db = Read(File(ents));
            const std::string first = dxftest::Save(db.get());
            std::unique_ptr<OdDbDatabase> again = Read(first);
            for (OdDbDatabase* read : {db.get(), again.get()}) {
                std::vector<OdDbEntity*> ms = ModelSpace(read);
                ASSERT_EQ(ms.size(), 1u);
                auto* p = OdRxCast<OdDbPolyline>(ms[0]);
                ASSERT_NE(p, nullptr);
                ASSERT_EQ(p->numVerts(), 1u);
                double start = -1, end = -1;
                p->getWidthsAt(0, start, end);
                EXPECT_EQ(end, std::stod(width)) << first;
            }
            EXPECT_EQ(dxftest::Save(again.get()), first);
        }
    }
}

// A reference that says attributes follow and has none is saved without
// the flag; a flag after a marker the writer does not write (the next
// read's only one) is then the reference's in the first read too: saved
// in the reference's subclass, once, and both saves are the same. One that
// says attributes follow goes as the first did.
TEST(DxfKept, AReferencesFlagAfterAStrangeMarkerIsReadAsOnceItsOwnFlagIsGone)
{
    const Groups blocks{{0, "BLOCK"}, {5, "B1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, "MARK"},
                        {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "MARK"}, {0, "ENDBLK"}, {5, "B2"},
                        {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}};
    for (bool markers : {false, true})
        for (const char* marker : {"", "AcDbFoo"})
            for (const char* stray : {"", "0", "1"}) {
                SCOPED_TRACE(std::string(markers ? "markers " : "") + marker + " / 66 " + stray);
                Groups ents{{0, "INSERT"}, {5, "E1"}};
                if (markers) ents.insert(ents.end(), {{100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}});
                ents.insert(ents.end(), {{66, "1"}, {2, "MARK"}, {100, marker}, {66, stray}});
                std::unique_ptr<OdDbDatabase> db = Read(File(ents, blocks));
                const std::string first = dxftest::Save(db.get());
                const std::vector<std::string> insert = Record(GroupLines(first), "INSERT", "E1");
                ASSERT_FALSE(insert.empty()) << first;
                const std::string given = std::string("66 ") + stray;
                EXPECT_EQ(std::count(insert.begin(), insert.end(), "66 1"), 0) << first;
                if (std::string(stray) != "1") {
                    EXPECT_EQ(std::count(insert.begin(), insert.end(), given), 1) << first;
                    auto at = std::find(insert.begin(), insert.end(), given);
                    EXPECT_TRUE(at > std::find(insert.begin(), insert.end(), "100 AcDbBlockReference")) << first;
                }
                std::unique_ptr<OdDbDatabase> again = Read(first);
                EXPECT_EQ(dxftest::Save(again.get()), first);
            }
}

TEST(DxfKept, WhatAPolylinesRecordsKeptGoesBackOnlyWhileTheyFit)
{
    // Each vertex keeps a tangent direction and the sequence end a colour;
    // once a vertex is added, they no longer fit the records and are not
    // saved (and a save says so), rather than going to other records.
    Groups ents{{0, "POLYLINE"}, {5, "B0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"},
                {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"}};
    for (const char* x : {"1", "2"})
        ents.insert(ents.end(), {{0, "VERTEX"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                 {100, "AcDb2dVertex"}, {10, x}, {20, "0"}, {30, "0"}, {50, "33"}});
    ents.insert(ents.end(), {{0, "SEQEND"}, {100, "AcDbEntity"}, {8, "0"}, {62, "3"}});
    std::unique_ptr<OdDbDatabase> db = Read(File(ents));
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "50 33"), 2);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "62 3"), 1);

    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    OdDb2dPolyline* p = nullptr;
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(p->appendVertex(OdGePoint3d(3, 0, 0)), eOk);
    p->close();
    std::vector<std::wstring> losses;
    std::string bytes;
    ASSERT_EQ(standin::WriteDxfBytes(db.get(), bytes, &losses), eOk);
    saved = GroupLines(bytes);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "0 VERTEX"), 3);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "50 33"), 0);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "62 3"), 0);
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_NE(losses[0].find(L"no longer fits"), std::wstring::npos);
}

TEST(DxfKept, ADimensionsGraphicsMoveWithItAndACopyHasNone)
{
    // The dimension's block holds its graphics in world coordinates: moved,
    // they go along; a copy draws itself from its points.
    Groups block{{0, "BLOCK"}, {2, "*D1"}, {70, "1"}, {10, "0"}, {20, "0"}, {30, "0"},
                 {0, "LINE"}, {5, "90"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "2"},
                 {30, "0"}, {11, "10"}, {21, "2"}, {31, "0"}, {0, "ENDBLK"}};
    std::string bytes = File({
        {0, "DIMENSION"}, {5, "91"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbDimension"}, {2, "*D1"}, {10, "0"},
        {20, "2"}, {30, "0"}, {11, "5"}, {21, "2"}, {31, "0"}, {70, "33"}, {100, "AcDbAlignedDimension"}, {13, "0"},
        {23, "0"}, {33, "0"}, {14, "10"}, {24, "0"}, {34, "0"},
    }, block);
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    OdDbDimension* d = nullptr;
    ASSERT_EQ(oddbOpenObject(d, ms[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_FALSE(d->dimBlockId().isNull());
    ASSERT_EQ(d->transformBy(OdGeMatrix3d::translation(OdGeVector3d(100, 50, 0))), eOk);
    OdDbEntity* copy = static_cast<OdDbEntity*>(d->clone());
    d->close();
    OdDbObjectId lineId;
    ASSERT_EQ(db->getOdDbObjectId(lineId, false, OdDbHandle(0x90)), eOk);
    auto* line = OdRxCast<OdDbLine>(lineId.stub()->object);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(Near(line->startPoint(), OdGePoint3d(100, 52, 0)));
    EXPECT_TRUE(Near(line->endPoint(), OdGePoint3d(110, 52, 0)));
    ASSERT_NE(OdRxCast<OdDbDimension>(copy), nullptr);
    EXPECT_TRUE(static_cast<OdDbDimension*>(copy)->dimBlockId().isNull());
    // Moving the copy leaves the first one's graphics where they are.
    OdDbEntity* moved = nullptr;
    EXPECT_EQ(copy->getTransformedCopy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0)), moved), eOk);
    EXPECT_TRUE(Near(line->startPoint(), OdGePoint3d(100, 52, 0)));
    delete moved;
    delete copy;
}

TEST(DxfKept, AnMTextWithNeitherDirectionNorRotationRunsAlongTheWorldsXAxis)
{
    // Seen from below, the plane's own x axis is the world's -x: a text
    // that names no direction still runs along the world's +x. One that
    // gives a rotation turns from the plane's x axis.
    std::string bytes = File({
        {0, "MTEXT"}, {5, "A0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1"}, {20, "2"}, {30, "3"},
        {40, "1"}, {1, "down"}, {210, "0"}, {220, "0"}, {230, "-1"},
        {0, "MTEXT"}, {5, "A1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1"}, {20, "2"}, {30, "3"},
        {40, "1"}, {1, "turned"}, {50, "90"}, {210, "0"}, {220, "0"}, {230, "-1"},
    });
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<OdDbDatabase> db = Read(bytes);
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 2u);
        auto* plain = OdRxCast<OdDbMText>(ms[0]);
        auto* turned = OdRxCast<OdDbMText>(ms[1]);
        ASSERT_TRUE(plain && turned);
        EXPECT_NEAR(std::fabs(plain->rotation()), M_PI, 1e-12);
        EXPECT_NEAR(turned->rotation(), M_PI / 2, 1e-12);
        // Saved, it still names neither: no direction or rotation is added.
        bytes = dxftest::Save(db.get());
        std::vector<std::string> record = Record(GroupLines(bytes), "MTEXT", "A0");
        ASSERT_FALSE(record.empty());
        EXPECT_EQ(std::count_if(record.begin(), record.end(),
                                [](const std::string& g) { return g.rfind("11 ", 0) == 0 || g.rfind("50 ", 0) == 0; }),
                  0);
    }
}

TEST(DxfKept, ValuesInAPlaneOfTheirOwnGoBackAsTheFileGaveThem)
{
    // Converted to the world and back, a tilted circle's centre, a full
    // ellipse's end and an MTEXT's direction would each move by rounding;
    // saved unchanged they are the file's own, however often.
    std::string bytes = File({
        {0, "CIRCLE"}, {5, "B0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbCircle"}, {10, "1.0"}, {20, "2.0"},
        {30, "3.0"}, {40, "2.0"}, {210, "0.3"}, {220, "0.4"}, {230, "0.866"},
        {0, "ELLIPSE"}, {5, "B1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbEllipse"}, {10, "1.0"}, {20, "2.0"},
        {30, "0.0"}, {11, "4.0"}, {21, "0.0"}, {31, "0.0"}, {40, "0.4"}, {41, "0.0"}, {42, "6.283185307179586"},
        {0, "MTEXT"}, {5, "B2"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1.0"}, {20, "2.0"},
        {30, "0.0"}, {40, "2.5"}, {1, "turned"}, {11, "0.9781476007338057"}, {21, "0.20791169081775931"},
        {31, "0.0"},
    });
    for (int round = 0; round < 3; ++round) {
        std::unique_ptr<OdDbDatabase> db = Read(bytes);
        bytes = dxftest::Save(db.get());
        std::vector<std::string> saved = GroupLines(bytes);
        std::vector<std::string> circle = Record(saved, "CIRCLE", "B0");
        for (const char* g : {"10 1.0", "20 2.0", "30 3.0"})
            EXPECT_NE(std::find(circle.begin(), circle.end(), g), circle.end()) << g << " round " << round;
        std::vector<std::string> ellipse = Record(saved, "ELLIPSE", "B1");
        EXPECT_NE(std::find(ellipse.begin(), ellipse.end(), "42 6.283185307179586"), ellipse.end()) << round;
        std::vector<std::string> mtext = Record(saved, "MTEXT", "B2");
        EXPECT_NE(std::find(mtext.begin(), mtext.end(), "21 0.20791169081775931"), mtext.end()) << round;
    }
}

// Values a file spells otherwise than the writer would (a colour number
// beside its true colour, an angle in degrees, a declared count, a layer's
// linetype the file does not define) go back as the file wrote them while
// the object is as it was read; an object edited since is written as it
// now is, and the others still as written.
TEST(DxfKept, ValuesNobodyChangedGoBackAsWrittenAndEditedOnesAsTheyAre)
{
    const std::string bytes = File(
        {{0, "LINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {62, "4"}, {420, "1193046"}, {100, "AcDbLine"},
         {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
         {0, "LWPOLYLINE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "Kerbs"}, {100, "AcDbPolyline"}, {90, "7"}, {70, "0"},
         {10, "0"}, {20, "0"}, {10, "5"}, {20, "0"},
         {0, "MTEXT"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"}, {20, "0"}, {30, "0"},
         {40, "2.5"}, {1, "\\S5^6;"}, {50, "12"}},
        {},
        {{0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "LAYER"}, {5, "10"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"}, {2, "Kerbs"},
         {70, "0"}, {62, "5"}, {420, "255"}, {6, "NO_SUCH_LINETYPE"}, {0, "ENDTAB"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    auto starts = [](const std::vector<std::string>& record, const std::string& code) {
        return std::count_if(record.begin(), record.end(), [&](const std::string& g) { return g.rfind(code, 0) == 0; });
    };
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> line = Record(saved, "LINE", "20"), poly = Record(saved, "LWPOLYLINE", "21"),
                             text = Record(saved, "MTEXT", "22"), layer = Record(saved, "LAYER", "10");
    EXPECT_TRUE(has(line, "62 4") && has(line, "420 1193046"));
    EXPECT_TRUE(has(poly, "90 7"));
    EXPECT_TRUE(has(text, "50 12.0") && has(text, "1 \\S5^6;"));
    EXPECT_EQ(starts(text, "11 "), 0);
    EXPECT_TRUE(has(layer, "62 5") && has(layer, "6 NO_SUCH_LINETYPE"));

    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 3u);
    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
    e->setColorIndex(1);
    e->close();
    OdDbPolyline* p = nullptr;
    ASSERT_EQ(oddbOpenObject(p, ms[1]->objectId(), OdDb::kForWrite), eOk);
    p->addVertexAt(2, OdGePoint2d(5, 5));
    p->close();
    OdDbMText* m = nullptr;
    ASSERT_EQ(oddbOpenObject(m, ms[2]->objectId(), OdDb::kForWrite), eOk);
    m->setRotation(M_PI / 2);
    m->close();
    saved = GroupLines(dxftest::Save(db.get()));
    line = Record(saved, "LINE", "20"), poly = Record(saved, "LWPOLYLINE", "21"), text = Record(saved, "MTEXT", "22"),
    layer = Record(saved, "LAYER", "10");
    EXPECT_TRUE(has(line, "62 1"));
    EXPECT_EQ(starts(line, "420 "), 0);
    EXPECT_TRUE(has(poly, "90 3"));
    EXPECT_TRUE(has(text, "50 90.0"));
    EXPECT_TRUE(has(layer, "62 5") && has(layer, "6 NO_SUCH_LINETYPE"));
}

// Values of a code the object takes none of go back paired with those the
// writer writes of it; a file may give more of them (an MTEXT's direction y
// twice beside a rotation, which says the direction; a light polyline's
// count twice): each goes back, and the save of the save is the save, the
// drawing read from it the one saved.
TEST(DxfKept, ACodeGivenMoreOftenThanWrittenKeepsEachValueFromSaveToSave)
{
    const std::string bytes = File({
        {0, "MTEXT"}, {5, "B3"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"}, {20, "0"}, {30, "0"},
        {40, "2.5"}, {1, "a"}, {50, "30"}, {21, "2"}, {21, "3"},
        // Without markers, a rotation that is no number: the direction's y
        // says where it points; its second y is none.
        {0, "MTEXT"}, {5, "B4"}, {50, ""}, {21, "2"}, {21, ""},
        {0, "LWPOLYLINE"}, {5, "B5"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "7"}, {90, "8"},
        {70, "0"}, {10, "0"}, {20, "0"}, {10, "5"}, {20, "0"},
    });
    auto count = [](const std::vector<std::string>& record, const std::string& group) {
        return std::count(record.begin(), record.end(), group);
    };
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    const std::string first = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(first);
    const std::vector<std::string> turned = Record(saved, "MTEXT", "B3"), bare = Record(saved, "MTEXT", "B4"),
                                   poly = Record(saved, "LWPOLYLINE", "B5");
    EXPECT_EQ(count(turned, "21 2.0") + count(turned, "21 2"), 1);
    EXPECT_EQ(count(turned, "21 3"), 1);
    EXPECT_EQ(count(bare, "21 2.0") + count(bare, "21 2"), 1);
    EXPECT_EQ(count(bare, "21 "), 1);
    EXPECT_EQ(count(poly, "90 7"), 1);
    EXPECT_EQ(count(poly, "90 8"), 1);

    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    ASSERT_TRUE(again);
    const std::string second = dxftest::Save(again.get());
    EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
    std::map<uint64_t, double> rotations;
    for (OdDbEntity* e : ModelSpace(again.get()))
        if (auto* m = OdRxCast<OdDbMText>(e)) rotations[(uint64_t)m->handle()] = m->rotation();
    EXPECT_NEAR(rotations[0xB3], M_PI / 6, 1e-12);
    EXPECT_NEAR(rotations[0xB4], std::atan2(2.0, 1.0), 1e-12);
}

// What a file spelled otherwise than the writer (a declared count, a
// default it left out) is found at every save from the drawing's own copy
// of the file, so the bytes read need not outlive the reading; it goes back
// while the writer writes that value as when the file was read, whatever
// else was edited: a count goes once it counts otherwise, and an edit
// undone puts it back.
TEST(DxfKept, ValuesAsWrittenAreFoundAtEachSaveWhileTheObjectHoldsWhatItRead)
{
    std::unique_ptr<OdDbDatabase> db;
    {
        const std::string bytes = File(
            {{0, "LWPOLYLINE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "7"},
             {70, "0"}, {10, "0"}, {20, "0"}, {10, "5"}, {20, "0"},
             {0, "MTEXT"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"}, {20, "0"},
             {30, "0"}, {40, "2.5"}, {1, "note"}});
        db = Read(bytes);
    }
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    auto direction = [](const std::vector<std::string>& record) {
        return std::count_if(record.begin(), record.end(), [](const std::string& g) { return g.rfind("11 ", 0) == 0; });
    };
    const std::string first = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(first);
    EXPECT_TRUE(has(Record(saved, "LWPOLYLINE", "21"), "90 7"));
    EXPECT_EQ(direction(Record(saved, "MTEXT", "22")), 0);
    EXPECT_EQ(dxftest::Save(db.get()), first);

    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    OdDbPolyline* p = nullptr;
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->setPointAt(1, OdGePoint2d(6, 0));
    p->close();
    saved = GroupLines(dxftest::Save(db.get()));
    EXPECT_TRUE(has(Record(saved, "LWPOLYLINE", "21"), "90 7"));
    EXPECT_EQ(direction(Record(saved, "MTEXT", "22")), 0);
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->addVertexAt(2, OdGePoint2d(9, 0));
    p->close();
    EXPECT_TRUE(has(Record(GroupLines(dxftest::Save(db.get())), "LWPOLYLINE", "21"), "90 3"));
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->removeVertexAt(2);
    p->close();
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->setPointAt(1, OdGePoint2d(5, 0));
    p->close();
    EXPECT_EQ(dxftest::Save(db.get()), first);
}

namespace {

std::string Raw(const Groups& g) { return dxftest::GroupText(g); }

OdDbObject* ObjectOf(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    return db->getOdDbObjectId(id, false, OdDbHandle(handle)) == eOk ? id.stub()->object : nullptr;
}

// A file of that form with these entities and objects.
std::string FileOf(const char* version, const Groups& entities, const Groups& objects = {})
{
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, version}},
                                 {{"BLOCKS",
                                   {{0, "BLOCK"}, {2, "CELL"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {0, "ENDBLK"}}},
                                  {"ENTITIES", entities},
                                  {"OBJECTS", objects}});
}

}  // namespace

// What the writer writes in another form than the file (widths each vertex
// gave, written as one for all) comes back as the object holds it, not
// moved; a record of a kind written as another (a dictionary with a
// default, references in rows and columns in the oldest form) is read as
// what it is; a name of a record the drawing had none of goes back only
// while it has none; a text's value out of its place is read by its code
// and saved in its place.
TEST(DxfKept, WhatTheWriterWritesOtherwiseComesBackAsTheObjectHoldsIt)
{
    const std::string bytes = FileOf(
        "AC1024",
        {{0, "LWPOLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "3"}, {70, "0"},
         {10, "0"}, {20, "0"}, {40, "0.5"}, {41, "0.5"}, {10, "10"}, {20, "0"}, {40, "0.5"}, {41, "0.5"},
         {10, "10"}, {20, "10"}, {40, "0.5"}, {41, "0.5"},
         {0, "LINE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {6, "DASHED"}, {100, "AcDbLine"}, {10, "0"},
         {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
         {0, "TEXT"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"}, {30, "0"},
         {40, "1"}, {1, "t"}, {73, "2"}, {100, "AcDbText"}},
        {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_PLOTSTYLENAME"}, {350, "E"},
         {0, "ACDBDICTIONARYWDFLT"}, {5, "E"}, {330, "C"}, {100, "AcDbDictionary"}, {281, "1"}, {3, "Normal"},
         {350, "F"}, {100, "AcDbDictionaryWithDefault"}, {340, "F"},
         {0, "ACDBPLACEHOLDER"}, {5, "F"}, {330, "E"}});
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<OdDbDatabase> db = Read(round == 0 ? bytes : dxftest::Save(Read(bytes).get()));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 3u);
        auto* pl = OdRxCast<OdDbPolyline>(ms[0]);
        ASSERT_NE(pl, nullptr);
        for (unsigned i = 0; i < 3; ++i) {
            double sw = 0, ew = 0;
            pl->getWidthsAt(i, sw, ew);
            EXPECT_EQ(sw, 0.5) << round << " " << i;
            EXPECT_EQ(ew, 0.5) << round << " " << i;
        }
        auto* text = OdRxCast<OdDbText>(ms[2]);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->verticalMode(), OdDb::kTextVertMid) << round;  // its only 73, in its first subclass
        auto* styles = OdRxCast<OdDbDictionary>(ObjectOf(db.get(), 0xE));
        ASSERT_NE(styles, nullptr);
        EXPECT_TRUE(styles->has(L"Normal")) << round;
    }

    // Edited, the dictionary keeps the entry it read; a linetype of the name
    // the line gave, added since, does not become the line's.
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    OdDbDictionary* styles = nullptr;
    ASSERT_EQ(oddbOpenObject(styles, OdDbObjectId(ObjectOf(db.get(), 0xE)->objectId()), OdDb::kForWrite), eOk);
    OdDbObjectId added;
    ASSERT_EQ(styles->setAt(L"Added", new OdDbXrecord(), added), eOk);
    styles->close();
    OdDbLinetypeTable* linetypes = nullptr;
    ASSERT_EQ(db->getLinetypeTable(linetypes, OdDb::kForWrite), eOk);
    auto* dashed = new OdDbLinetypeTableRecord();
    dashed->setName(L"DASHED");
    ASSERT_EQ(linetypes->add(dashed), eOk);
    dashed->close();
    linetypes->close();
    const std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    const std::vector<std::string> dict = Record(saved, "ACDBDICTIONARYWDFLT", "E");
    EXPECT_NE(std::find(dict.begin(), dict.end(), "3 Normal"), dict.end());
    EXPECT_NE(std::find(dict.begin(), dict.end(), "3 Added"), dict.end());
    const std::vector<std::string> line = Record(saved, "LINE", "21");
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(std::find(line.begin(), line.end(), "6 DASHED"), line.end());

    // References in rows and columns of the oldest form, markers or none.
    std::unique_ptr<OdDbDatabase> old = Read(FileOf(
        "AC1009", {{0, "INSERT"}, {8, "0"}, {2, "CELL"}, {10, "0"}, {20, "0"}, {30, "0"}, {70, "3"}, {71, "2"},
                   {44, "5"}, {45, "6"}}));
    auto* grid = OdRxCast<OdDbMInsertBlock>(ModelSpace(old.get()).at(0));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columns(), 3);
    EXPECT_EQ(grid->rows(), 2);
    EXPECT_EQ(grid->columnSpacing(), 5.0);
}

// A dictionary's default is read by its code wherever the record gives it
// (no markers, or before its own) and saved after its own marker, naming
// what the object names: nothing once that is erased, and as the file gave
// it when it named nothing the file holds.
TEST(DxfKept, ADictionarysDefaultIsReadWhereverGivenAndSavedAfterItsMarker)
{
    auto file = [](const Groups& dictionary) {
        Groups objects = {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"},
                          {3, "ACAD_PLOTSTYLENAME"}, {350, "E"}, {0, "ACDBDICTIONARYWDFLT"}, {5, "E"}, {330, "C"}};
        objects.insert(objects.end(), dictionary.begin(), dictionary.end());
        objects.insert(objects.end(), {{0, "ACDBPLACEHOLDER"}, {5, "F"}, {330, "E"}});
        return FileOf("AC1024", {}, objects);
    };
    auto after = [](const std::vector<std::string>& record, const std::string& group) {
        auto marker = std::find(record.begin(), record.end(), "100 AcDbDictionaryWithDefault");
        return marker != record.end() && std::find(marker, record.end(), group) != record.end() &&
               std::count(record.begin(), record.end(), group) == 1;
    };
    for (const Groups& spelled : std::vector<Groups>{
             {{281, "1"}, {3, "Normal"}, {350, "F"}, {340, "F"}},
             {{100, "AcDbDictionary"}, {281, "1"}, {3, "Normal"}, {350, "F"}, {340, "F"}},
             {{100, "AcDbDictionary"}, {340, "F"}, {281, "1"}, {3, "Normal"}, {350, "F"}}}) {
        const std::string bytes = file(spelled);
        std::unique_ptr<OdDbDatabase> db = Read(bytes);
        const std::string saved = dxftest::Save(db.get());
        const std::vector<std::string> record = Record(GroupLines(saved), "ACDBDICTIONARYWDFLT", "E");
        EXPECT_TRUE(after(record, "340 F")) << Raw(spelled) << saved;
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
        EXPECT_EQ(dxftest::Save(again.get()), saved) << Raw(spelled);

        // The placeholder erased, the default names nothing the save holds.
        OdDbObject* placeholder = nullptr;
        ASSERT_EQ(oddbOpenObject(placeholder, ObjectOf(db.get(), 0xF)->objectId(), OdDb::kForWrite), eOk);
        ASSERT_EQ(placeholder->erase(), eOk);
        placeholder->close();
        const std::vector<std::string> erased = Record(GroupLines(dxftest::Save(db.get())), "ACDBDICTIONARYWDFLT", "E");
        EXPECT_EQ(std::count(erased.begin(), erased.end(), "340 F"), 0) << Raw(spelled);
    }
    // A default naming a record the file lacks goes back as the file gave it.
    const std::string bytes = file({{100, "AcDbDictionary"}, {3, "Normal"}, {350, "F"}, {340, "7A"}});
    const std::string saved = dxftest::Save(Read(bytes).get());
    const std::vector<std::string> record = Record(GroupLines(saved), "ACDBDICTIONARYWDFLT", "E");
    EXPECT_EQ(std::count(record.begin(), record.end(), "340 7A"), 1) << saved;
}

// Application groups stay as written, one left open included, and their
// groups are never an object's values; extended data of the records the
// database does not keep goes back with them; a hatch naming a boundary
// object the file does not hold is kept whole.
TEST(DxfKept, ApplicationGroupsAndExtendedDataOfEveryRecordStayAsWritten)
{
    const std::string bytes = FileOf(
        "AC1024",
        {{0, "LINE"}, {5, "20"}, {102, "{ACAD_REACTORS"}, {330, "0"}, {100, "AcDbEntity"}, {8, "L1"},
         {100, "AcDbLine"}, {10, "5"}, {20, "5"}, {30, "0"}, {11, "9"}, {21, "9"}, {31, "0"},
         {0, "LINE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {102, "{FOO"}, {10, "5"},
         {102, "}"}, {10, "1"}, {20, "2"}, {30, "0"}, {11, "3"}, {21, "4"}, {31, "0"},
         {0, "POLYLINE"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"}, {10, "0"},
         {20, "0"}, {30, "0"}, {70, "0"},
         {0, "VERTEX"}, {5, "23"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"}, {100, "AcDb2dVertex"},
         {10, "1"}, {20, "1"}, {30, "0"}, {70, "0"}, {1001, "APP"}, {1000, "vertex data"},
         {0, "SEQEND"}, {5, "24"}, {100, "AcDbEntity"}, {8, "0"}, {1001, "APP"}, {1000, "end data"},
         {0, "HATCH"}, {5, "25"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {10, "0"}, {20, "0"},
         {30, "0"}, {210, "0"}, {220, "0"}, {230, "1"}, {2, "SOLID"}, {70, "1"}, {71, "1"}, {91, "1"}, {92, "1"},
         {93, "1"}, {72, "1"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}, {97, "1"}, {330, "FF"}, {75, "0"},
         {76, "1"}, {98, "0"}},
        {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}});
    std::string saved = bytes;
    for (int round = 0; round < 3; ++round) {
        std::unique_ptr<OdDbDatabase> db = Read(saved);
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 4u);
        auto* open = OdRxCast<OdDbLine>(ms[0]);
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(open->layer(), OdString(L"L1"));
        EXPECT_EQ(open->startPoint(), OdGePoint3d(5, 5, 0));
        auto* foo = OdRxCast<OdDbLine>(ms[1]);
        ASSERT_NE(foo, nullptr);
        EXPECT_EQ(foo->startPoint(), OdGePoint3d(1, 2, 0));
        EXPECT_NE(OdRxCast<OdDbProxyEntity>(ms[3]), nullptr);
        saved = dxftest::Save(db.get());
        const std::vector<std::string> groups = GroupLines(saved);
        const std::vector<std::string> line = Record(groups, "LINE", "21");
        const long app = std::find(line.begin(), line.end(), "102 {FOO") - line.begin();
        ASSERT_LT(app + 2, (long)line.size());
        EXPECT_EQ(line[(size_t)app + 1], "10 5");
        EXPECT_EQ(line[(size_t)app + 2], "102 }");
        for (const char* data : {"1000 vertex data", "1000 end data"})
            EXPECT_NE(std::find(groups.begin(), groups.end(), data), groups.end()) << data << " " << round;
        const std::vector<std::string> hatch = Record(groups, "HATCH", "25");
        EXPECT_NE(std::find(hatch.begin(), hatch.end(), "330 FF"), hatch.end());
    }
}

// An object's own application group holding what the object cannot (two
// dictionaries, in one group or two, a null reactor beside a real one), or
// given out of the record's head, is kept as written where it was, as
// another application's is: nothing of it is lost or moved, from save to
// save. A copy names none of it.
TEST(DxfKept, AnOwnApplicationGroupHoldingMoreThanTheObjectGoesBackAsWritten)
{
    const std::string bytes = FileOf(
        "AC1024",
        {{0, "LINE"}, {5, "20"}, {102, "{ACAD_XDICTIONARY"}, {360, "30"}, {360, "31"}, {102, "}"}, {330, "1F"},
         {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"},
         {31, "0"},
         {0, "LINE"}, {5, "21"}, {102, "{ACAD_REACTORS"}, {330, "0"}, {330, "C"}, {102, "}"}, {330, "1F"},
         {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"},
         {31, "0"},
         {0, "LINE"}, {5, "22"}, {102, "{ACAD_XDICTIONARY"}, {360, "30"}, {102, "}"}, {102, "{ACAD_XDICTIONARY"},
         {360, "31"}, {102, "}"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"},
         {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
         {0, "LINE"}, {5, "23"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {102, "{ACAD_REACTORS"}, {330, "C"},
         {102, "}"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
         // Reactors again after the owner, and after a layer given twice.
         {0, "LINE"}, {5, "24"}, {102, "{ACAD_REACTORS"}, {330, "C"}, {102, "}"}, {330, "1F"},
         {102, "{ACAD_REACTORS"}, {330, "C"}, {102, "}"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"},
         {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"},
         {0, "LINE"}, {5, "25"}, {102, "{ACAD_REACTORS"}, {330, "C"}, {102, "}"}, {8, "0"}, {8, "1"},
         {102, "{ACAD_REACTORS"}, {330, "C"}, {102, "}"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {11, "1"},
         {21, "1"},
         // The same reactor named again.
         {0, "LINE"}, {5, "26"}, {102, "{ACAD_REACTORS"}, {330, "C"}, {102, "}"}, {102, "{ACAD_REACTORS"}, {330, "C"},
         {102, "}"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {11, "1"},
         {21, "1"}},
        {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "A"}, {350, "30"}, {3, "B"},
         {350, "31"},
         {0, "DICTIONARY"}, {5, "30"}, {330, "C"}, {100, "AcDbDictionary"},
         {0, "DICTIONARY"}, {5, "31"}, {330, "C"}, {100, "AcDbDictionary"}});
    using Lines = std::vector<std::string>;
    const Lines dictionaries = {"102 {ACAD_XDICTIONARY", "360 30", "360 31", "102 }"},
                reactors = {"102 {ACAD_REACTORS", "330 0", "330 C", "102 }"},
                second = {"102 {ACAD_XDICTIONARY", "360 31", "102 }"},
                afterMarker = {"100 AcDbEntity", "8 0", "102 {ACAD_REACTORS", "330 C", "102 }"};
    std::string saved = bytes, first;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::unique_ptr<OdDbDatabase> db = Read(saved);
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 7u);
        saved = dxftest::Save(db.get());
        if (round == 0) first = saved;
        else EXPECT_EQ(saved, first);
        const Lines groups = GroupLines(saved);
        // A group of the object's own after its owner was one it kept: the
        // writer writes its own before the owner.
        const Lines again = {"102 {ACAD_REACTORS", "330 C", "102 }", "100 AcDbEntity"},
                    again2 = {"102 {ACAD_REACTORS", "330 C", "102 }"};
        for (const auto& [handle, expected, count] :
             {std::tuple{"20", dictionaries, 1}, std::tuple{"21", reactors, 1}, std::tuple{"22", second, 2},
              std::tuple{"23", afterMarker, 1}, std::tuple{"24", again, 2}, std::tuple{"25", again2, 2},
              std::tuple{"26", again, 2}}) {
            const Lines line = Record(groups, "LINE", handle);
            auto at = std::search(line.begin(), line.end(), expected.begin(), expected.end());
            EXPECT_TRUE(at != line.end()) << handle;
            EXPECT_EQ(std::count(line.begin(), line.end(), expected[0]), count) << handle;
        }
        // The line whose second dictionary was kept still names its first.
        const Lines both = Record(groups, "LINE", "22");
        EXPECT_NE(std::find(both.begin(), both.end(), "360 30"), both.end());

        // Copies of the lines name neither dictionaries nor reactors.
        std::vector<OdDbObjectId> copies;
        for (OdDbEntity* e : ms) {
            OdDbEntity* copy = nullptr;
            ASSERT_EQ(e->getTransformedCopy(OdGeMatrix3d::translation(OdGeVector3d(0, 10, 0)), copy), eOk);
            copies.push_back(dxftest::Append(db.get(), copy));
        }
        const Lines withCopies = GroupLines(dxftest::Save(db.get()));
        for (const OdDbObjectId& id : copies) {
            const std::wstring h = id.getHandle().ascii().str();
            const Lines copied = Record(withCopies, "LINE", std::string(h.begin(), h.end()));
            ASSERT_FALSE(copied.empty());
            for (const char* own : {"102 {ACAD_XDICTIONARY", "102 {ACAD_REACTORS"})
                EXPECT_EQ(std::find(copied.begin(), copied.end(), own), copied.end()) << own;
        }
    }
}

// What the file gave a record that belongs to another (a polyline's
// vertices, their layer) goes back as written while that other writes it
// as read, whatever else of it was edited; a spline given by fit points
// keeps its degree when edited; a text
// style of a shape file, nameless as linetypes name it, is read and kept;
// a polyline with a vertex's value before any vertex is kept whole.
TEST(DxfKept, RecordsTiedToOthersFollowThemWhenEdited)
{
    const std::string bytes = File(
        {{0, "POLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"}, {10, "0"},
         {20, "0"}, {30, "0"}, {70, "0"}, {40, "0.5"}, {41, "0.5"},
         {0, "VERTEX"}, {5, "21"}, {100, "AcDbEntity"}, {8, "Kerbs"}, {100, "AcDbVertex"}, {100, "AcDb2dVertex"},
         {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"},
         {0, "VERTEX"}, {5, "22"}, {100, "AcDbEntity"}, {8, "Kerbs"}, {100, "AcDbVertex"}, {100, "AcDb2dVertex"},
         {10, "5"}, {20, "0"}, {30, "0"}, {70, "0"},
         {0, "SEQEND"}, {5, "23"}, {100, "AcDbEntity"}, {8, "Kerbs"},
         {0, "SPLINE"}, {5, "24"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbSpline"}, {70, "8"}, {71, "3"},
         {72, "0"}, {73, "0"}, {74, "3"}, {11, "0"}, {21, "0"}, {31, "0"}, {11, "1"}, {21, "1"}, {31, "0"}, {11, "2"},
         {21, "0"}, {31, "0"},
         {0, "LWPOLYLINE"}, {5, "25"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "2"}, {70, "0"},
         {42, "0.5"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "0"}},
        {{0, "BLOCK"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, "*Model_Space"},
         {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "*Model_Space"}, {1, ""},
         {0, "LINE"}, {5, "31"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
         {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
         {0, "ENDBLK"}, {5, "32"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}},
        {{0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "LAYER"}, {5, "10"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"}, {2, "Kerbs"},
         {70, "0"}, {62, "5"}, {6, "Continuous"},
         {0, "LAYER"}, {5, "13"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"}, {2, "Walls"},
         {70, "0"}, {62, "1"}, {6, "Continuous"}, {0, "ENDTAB"},
         {0, "TABLE"}, {2, "LTYPE"}, {5, "4"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "LTYPE"}, {5, "12"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"}, {2, "Kerb"},
         {70, "0"}, {3, ""}, {72, "65"}, {73, "2"}, {40, "0.75"}, {49, "0.5"}, {74, "0"}, {46, "2.0"},
         {49, "-0.25"}, {74, "0"}, {0, "ENDTAB"},
         {0, "TABLE"}, {2, "STYLE"}, {5, "3"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "STYLE"}, {5, "11"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbTextStyleTableRecord"}, {2, ""},
         {70, "1"}, {40, "0"}, {41, "1"}, {50, "0"}, {71, "0"}, {42, "2.5"}, {3, "ltypeshp.shx"}, {4, ""},
         {0, "ENDTAB"}});
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 4u);
    EXPECT_NE(OdRxCast<OdDbProxyEntity>(ms[3]), nullptr);  // the bulge before its vertices
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    // A shape scale on a dash that carries no shape is no value of the
    // dash, but it is the file's: it goes back with the record.
    const std::vector<std::string> dashes = Record(saved, "LTYPE", "12");
    EXPECT_EQ(std::count(dashes.begin(), dashes.end(), "46 2.0"), 1);
    EXPECT_EQ(std::count_if(dashes.begin(), dashes.end(), [](const std::string& g) { return g.rfind("49 ", 0) == 0; }), 2);
    // A model-space entity that says it is in paper space: the flag is not
    // the entity's, but the file's.
    EXPECT_TRUE(has(Record(saved, "LINE", "31"), "67 1"));
    EXPECT_TRUE(has(Record(saved, "VERTEX", "21"), "8 Kerbs"));
    EXPECT_FALSE(has(Record(saved, "VERTEX", "21"), "40 0.5"));
    EXPECT_TRUE(has(Record(saved, "STYLE", "11"), "3 ltypeshp.shx"));
    EXPECT_TRUE(has(Record(saved, "LWPOLYLINE", "25"), "42 0.5"));

    OdDb2dPolyline* pl = nullptr;
    ASSERT_EQ(oddbOpenObject(pl, ms[1]->objectId(), OdDb::kForWrite), eOk);
    pl->setDefaultStartWidth(2);
    pl->setLayer(L"0");
    pl->close();
    OdDbSpline* sp = nullptr;
    ASSERT_EQ(oddbOpenObject(sp, ms[2]->objectId(), OdDb::kForWrite), eOk);
    sp->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0)));
    sp->close();
    saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> vertex = Record(saved, "VERTEX", "21");
    EXPECT_TRUE(has(vertex, "8 Kerbs"));  // the polyline is on the layer it was read on
    EXPECT_TRUE(has(vertex, "40 0.5"));  // the width it has, not the polyline's new default
    EXPECT_TRUE(has(Record(saved, "SPLINE", "24"), "71 3"));
    ASSERT_EQ(oddbOpenObject(pl, ms[1]->objectId(), OdDb::kForWrite), eOk);
    pl->setLayer(L"Walls");
    pl->close();
    vertex = Record(GroupLines(dxftest::Save(db.get())), "VERTEX", "21");
    EXPECT_TRUE(has(vertex, "8 Walls"));  // the polyline's layer now
    std::unique_ptr<OdDbDatabase> again = Read(dxftest::Save(db.get()));
    auto* reread = OdRxCast<OdDb2dPolyline>(ModelSpace(again.get()).at(1));
    ASSERT_NE(reread, nullptr);
    OdGePoint3d p;
    double bulge = 0, sw = 0, ew = 0;
    reread->getVertexAt(0, p, bulge, sw, ew);
    EXPECT_EQ(sw, 0.5);
}

// A value a record gives twice, or that another application's group holds,
// is not taken for another: a sequence end keeps its layer past the
// attributes before it, a vertex its second layer, a line the z it never
// gave; a text naming no style keeps naming none though a shape file's
// style has no name; an Xrecord keeps the owner it names after another
// application's group and gains no cloning flag it did not give; a
// handle in the classes section stays, though an entity has it too; what
// a left out reference owns is named to the last object; a piece of a
// text's contents after its last is kept, and not put before it; an
// integer of extended data goes back as the file wrote it.
TEST(DxfKept, NoValueIsTakenForAnotherOrLeftOutUnnamed)
{
    const std::string tables = Raw(
        {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1024"}, {0, "ENDSEC"}, {0, "SECTION"},
         {2, "CLASSES"}, {0, "LINE"}, {5, "15"}, {330, "1F"}, {8, "0"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "TABLES"},
         {0, "TABLE"}, {2, "STYLE"}, {5, "3"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "STYLE"}, {5, "11"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbTextStyleTableRecord"}, {2, ""},
         {70, "1"}, {40, "0"}, {41, "1"}, {50, "0"}, {71, "0"}, {42, "2.5"}, {3, "ltypeshp.shx"}, {4, ""},
         {0, "ENDTAB"}, {0, "TABLE"}, {2, "APPID"}, {5, "9"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "APPID"}, {5, "12"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbRegAppTableRecord"}, {2, "MYAPP"},
         {70, "0"}, {0, "ENDTAB"}, {0, "ENDSEC"},
         {0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}, {2, "B1"}, {70, "2"}, {10, "0"}, {20, "0"}, {30, "0"},
         {0, "INSERT"}, {5, "50"}, {102, "{ACAD_XDICTIONARY"}, {360, "60"}, {102, "}"}, {100, "AcDbEntity"},
         {8, "0"}, {100, "AcDbBlockReference"}, {2, "B1"}, {10, "0"}, {20, "0"}, {30, "0"},
         {0, "ENDBLK"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
    const std::string bytes =
        tables +
        Raw({{0, "INSERT"}, {5, "15"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}, {66, "1"},
             {2, "B1"}, {10, "0"}, {20, "0"}, {30, "0"},
             {0, "ATTRIB"}, {5, "16"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
             {30, "0"}, {40, "1"}, {1, "v"}, {100, "AcDbAttribute"}, {2, "TAG"}, {70, "0"},
             {0, "SEQEND"}, {5, "18"}, {100, "AcDbEntity"}, {8, "Bar"},
             {0, "POLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"},
             {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"},
             {0, "VERTEX"}, {5, "21"}, {100, "AcDbEntity"}, {8, "Bar"}, {8, "Qux"}, {100, "AcDbVertex"},
             {100, "AcDb2dVertex"}, {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"},
             {0, "VERTEX"}, {5, "22"}, {100, "AcDbEntity"}, {8, "Bar"}, {100, "AcDbVertex"}, {100, "AcDb2dVertex"},
             {10, "5"}, {20, "0"}, {30, "0"}, {70, "0"},
             {0, "SEQEND"}, {5, "23"}, {100, "AcDbEntity"}, {8, "Bar"},
             {0, "LINE"}, {5, "30"}, {102, "{MYAPP"}, {30, "7"}, {31, "7"}, {102, "}"}, {100, "AcDbEntity"},
             {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}, {1001, "MYAPP"},
             {1070, "65535"}, {1071, "4294967295"},
             {0, "TEXT"}, {5, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
             {40, "1"}, {1, "hi"}, {7, ""}, {100, "AcDbText"},
             {0, "MTEXT"}, {5, "32"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"}, {20, "0"},
             {40, "1"}, {1, std::string(300, 'm')}, {3, "NOTES"},
             {0, "ENDSEC"}, {0, "SECTION"}, {2, "OBJECTS"},
             {0, "DICTIONARY"}, {5, "C"}, {100, "AcDbDictionary"}, {3, "A"}, {350, "D"}, {3, "F1"}, {350, "F"},
             {0, "DICTIONARY"}, {5, "D"}, {330, "C"}, {100, "AcDbDictionary"}, {3, "F2"}, {350, "F"},
             {0, "XRECORD"}, {5, "F"}, {102, "{MYAPP"}, {1, "z"}, {102, "}"}, {330, "D"}, {100, "AcDbXrecord"},
             {1, "hi"},
             {0, "DICTIONARY"}, {5, "60"}, {330, "50"}, {100, "AcDbDictionary"}, {3, "E"}, {350, "61"},
             {0, "XRECORD"}, {5, "61"}, {330, "60"}, {100, "AcDbXrecord"}, {1, "x"},
             {0, "ENDSEC"}, {0, "EOF"}});
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::string out;
    std::vector<std::wstring> losses;
    ASSERT_EQ(standin::WriteDxfBytes(db.get(), out, &losses), eOk);
    const std::vector<std::string> saved = GroupLines(out);
    EXPECT_TRUE(has(Record(saved, "SEQEND", "18"), "8 Bar"));
    const std::vector<std::string> vertex = Record(saved, "VERTEX", "21");
    EXPECT_TRUE(has(vertex, "8 Bar"));
    EXPECT_TRUE(has(vertex, "8 Qux"));
    const std::vector<std::string> line = Record(saved, "LINE", "30");
    EXPECT_EQ(std::count(line.begin(), line.end(), "30 7"), 1);
    // Integers of extended data written unsigned read as the host's types
    // and go back as written.
    EXPECT_TRUE(has(line, "1070 65535"));
    EXPECT_TRUE(has(line, "1071 4294967295"));
    OdResBuf* data = ObjectOf(db.get(), 0x30)->xData(L"MYAPP");
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->next(), nullptr);
    EXPECT_EQ(data->next()->getInt16(), -1);
    OdResBuf::releaseChain(data);
    EXPECT_EQ(std::count_if(line.begin(), line.end(), [](const std::string& g) { return g.rfind("30 ", 0) == 0; }), 1);
    const std::vector<std::string> text = Record(saved, "TEXT", "31");
    EXPECT_TRUE(has(text, "7 "));
    EXPECT_FALSE(has(text, "7 Standard"));
    // A record in the classes section with the handle of an entity.
    EXPECT_TRUE(has(Record(saved, "LINE", "15"), "330 1F"));
    for (const wchar_t* handle : {L"(handle 60)", L"(handle 61)"}) {
        const auto named = std::count_if(losses.begin(), losses.end(), [&](const std::wstring& l) {
            return l.find(handle) != std::wstring::npos && l.find(L"left out when the drawing was read") != std::wstring::npos;
        });
        EXPECT_EQ(named, 1) << handle;
    }

    std::unique_ptr<OdDbDatabase> again = Read(out);
    OdDbObject* xrecord = ObjectOf(again.get(), 0xF);
    ASSERT_NE(xrecord, nullptr);
    EXPECT_EQ(xrecord->ownerId().getHandle(), OdDbHandle(0xD));
    EXPECT_FALSE(has(Record(saved, "XRECORD", "F"), "280 1"));  // it gave no cloning flag
    // A piece after the last part is none of the contents, before or after.
    auto* mtext = OdRxCast<OdDbMText>(ObjectOf(again.get(), 0x32));
    ASSERT_NE(mtext, nullptr);
    EXPECT_EQ(mtext->contents(), OdString(std::wstring(300, L'm').c_str()));
    EXPECT_TRUE(has(Record(saved, "MTEXT", "32"), "3 NOTES"));
    EXPECT_EQ(dxftest::Save(again.get()), out);
}

// Some files give an attribute's text values after its own marker, as its
// tag: they are its values. What follows its vertical alignment or lock
// flag there means other things in multi-line attributes and is kept.
TEST(DxfKept, AnAttributesTextValuesAfterItsMarkerAreItsOwn)
{
    const std::string bytes = File(
        {{0, "INSERT"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockReference"}, {66, "1"},
         {2, "B"}, {10, "0"}, {20, "0"}, {30, "0"},
         {0, "ATTRIB"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "1"}, {20, "0"},
         {30, "0"}, {40, "2.5"}, {1, "val"}, {100, "AcDbAttribute"}, {2, "T"}, {70, "0"}, {73, "0"}, {50, "30"},
         {41, "0.8"}, {7, "Standard"}, {72, "2"}, {11, "5"}, {21, "0"}, {31, "0"}, {74, "0"},
         {0, "ATTRIB"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
         {30, "0"}, {40, "2.5"}, {1, "a"}, {100, "AcDbAttribute"}, {280, "0"}, {2, "ML"}, {70, "0"}, {74, "0"},
         {280, "0"}, {71, "4"}, {72, "2"}, {11, "0"}, {21, "0"}, {31, "0"},
         {0, "SEQEND"}, {5, "23"}, {100, "AcDbEntity"}, {8, "0"}},
        {{0, "BLOCK"}, {2, "B"}, {70, "2"}, {10, "0"}, {20, "0"}, {30, "0"}, {0, "ENDBLK"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    auto* a = OdRxCast<OdDbAttribute>(ObjectOf(db.get(), 0x21));
    ASSERT_NE(a, nullptr);
    EXPECT_NEAR(a->rotation(), M_PI / 6, 1e-12);
    EXPECT_EQ(a->widthFactor(), 0.8);
    EXPECT_EQ(a->horizontalMode(), OdDb::kTextRight);
    EXPECT_TRUE(Near(a->alignmentPoint(), OdGePoint3d(5, 0, 0)));
    auto* ml = OdRxCast<OdDbAttribute>(ObjectOf(db.get(), 0x22));
    ASSERT_NE(ml, nullptr);
    EXPECT_FALSE(ml->isMirroredInY());
    EXPECT_EQ(ml->horizontalMode(), OdDb::kTextLeft);

    const std::string saved = dxftest::Save(db.get());
    const std::vector<std::string> groups = GroupLines(saved);
    const std::vector<std::string> first = Record(groups, "ATTRIB", "21");
    EXPECT_EQ(std::count_if(first.begin(), first.end(), [](const std::string& g) { return g.rfind("72 ", 0) == 0; }), 1);
    EXPECT_NE(std::find(first.begin(), first.end(), "72 2"), first.end());
    // The multi-line attribute's flags stay after its own marker.
    const std::vector<std::string> second = Record(groups, "ATTRIB", "22");
    const auto marker = std::find(second.begin(), second.end(), "100 AcDbAttribute");
    EXPECT_NE(std::find(marker, second.end(), "71 4"), second.end());
    EXPECT_NE(std::find(marker, second.end(), "72 2"), second.end());
    EXPECT_EQ(std::find(second.begin(), marker, "71 4"), marker);

    // Moved, the attribute's alignment point moves with it.
    OdDbAttribute* open = nullptr;
    ASSERT_EQ(oddbOpenObject(open, a->objectId(), OdDb::kForWrite), eOk);
    open->transformBy(OdGeMatrix3d::translation(OdGeVector3d(10, 0, 0)));
    open->close();
    std::unique_ptr<OdDbDatabase> again = Read(dxftest::Save(db.get()));
    auto* moved = OdRxCast<OdDbAttribute>(ObjectOf(again.get(), 0x21));
    ASSERT_NE(moved, nullptr);
    EXPECT_TRUE(Near(moved->alignmentPoint(), OdGePoint3d(15, 0, 0)));
    EXPECT_EQ(dxftest::Save(Read(saved).get()), saved);
}

// A value given twice whose first is the default the writer leaves out:
// after an edit the default still stands before the kept second, so the
// second never becomes the value.
TEST(DxfKept, AValueGivenTwiceKeepsItsFirstAfterAnEdit)
{
    const std::string bytes = File(
        {{0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {39, "0.0"}, {10, "0"},
         {20, "0"}, {30, "0"}, {11, "5"}, {21, "0"}, {31, "0"}, {39, "7.0"},
         {0, "TEXT"}, {5, "41"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "10"},
         {30, "0"}, {40, "2"}, {1, "T"}, {50, "0"}, {41, "1"}, {50, "45"}, {41, "3"}, {100, "AcDbText"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    for (OdDbEntity* e : ModelSpace(db.get())) {
        OdDbEntity* open = nullptr;
        ASSERT_EQ(oddbOpenObject(open, e->objectId(), OdDb::kForWrite), eOk);
        open->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 1, 0)));
        open->close();
    }
    const std::string saved = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> again = Read(saved);
    auto* line = OdRxCast<OdDbLine>(ObjectOf(again.get(), 0x40));
    auto* text = OdRxCast<OdDbText>(ObjectOf(again.get(), 0x41));
    ASSERT_NE(line, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(line->thickness(), 0.0);
    EXPECT_EQ(line->startPoint(), OdGePoint3d(1, 1, 0));
    EXPECT_EQ(text->rotation(), 0.0);
    EXPECT_EQ(text->widthFactor(), 1.0);
    const std::vector<std::string> groups = Record(GroupLines(saved), "LINE", "40");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "39 7.0"), groups.end());
    EXPECT_EQ(dxftest::Save(again.get()), saved);
}

// A record kept whole (its marker is none the kind has) that gives its
// entity's colour twice: the first is the entity's in every read, the
// second goes back as given.
TEST(DxfKept, AColourGivenTwiceInARecordKeptWholeIsTheFirstInEveryRead)
{
    const std::string bytes = File({{0, "ATTDEF"}, {5, "40"}, {100, "AcDbEntitle"}, {62, "1"}, {71, "2"},
                                    {62, "5"}, {6, "BYLAYER"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    auto* kept = OdRxCast<OdDbEntity>(ObjectOf(db.get(), 0x40));
    ASSERT_NE(kept, nullptr);
    EXPECT_NE(OdRxCast<OdDbProxyEntity>(kept), nullptr);
    EXPECT_EQ(kept->color().colorIndex(), 1);
    const std::string saved = dxftest::Save(db.get());
    const std::vector<std::string> groups = Record(GroupLines(saved), "ATTDEF", "40");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "62 1"), groups.end());
    EXPECT_NE(std::find(groups.begin(), groups.end(), "62 5"), groups.end());
    std::unique_ptr<OdDbDatabase> again = Read(saved);
    auto* reread = OdRxCast<OdDbEntity>(ObjectOf(again.get(), 0x40));
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->color().colorIndex(), 1);
    EXPECT_EQ(dxftest::Save(again.get()), saved);
}

// What a record owns through a kept handle (360) stays the original's: a
// copy does not name it. One that names nothing owns nothing, and the copy
// keeps it as written.
TEST(DxfKept, ACopyDoesNotOwnWhatTheOriginalOwns)
{
    const std::string bytes = FileOf(
        "AC1024",
        {{0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"},
         {11, "5"}, {21, "0"}, {31, "0"}, {360, "41"},
         {0, "LINE"}, {5, "42"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "1"}, {30, "0"},
         {11, "5"}, {21, "1"}, {31, "0"}, {360, "7F"}, {360, "0"}},
        {{0, "XRECORD"}, {5, "41"}, {330, "40"}, {100, "AcDbXrecord"}, {1, "owned"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    std::vector<std::string> copies;
    for (OdDbEntity* e : ms) {
        OdDbEntity* copy = nullptr;
        ASSERT_EQ(e->getTransformedCopy(OdGeMatrix3d::translation(OdGeVector3d(0, 10, 0)), copy), eOk);
        const std::wstring handle = dxftest::Append(db.get(), copy).getHandle().ascii().str();
        copies.emplace_back(handle.begin(), handle.end());
    }
    const std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    auto owned = [](const std::vector<std::string>& record) {
        std::vector<std::string> out;
        for (const std::string& g : record)
            if (g.rfind("360 ", 0) == 0) out.push_back(g);
        return out;
    };
    EXPECT_EQ(owned(Record(saved, "LINE", "40")), std::vector<std::string>{"360 41"});
    const std::vector<std::string> copied = Record(saved, "LINE", copies[0]);
    ASSERT_FALSE(copied.empty());
    EXPECT_TRUE(owned(copied).empty());
    const std::vector<std::string> nothing = {"360 7F", "360 0"};
    EXPECT_EQ(owned(Record(saved, "LINE", "42")), nothing);
    EXPECT_EQ(owned(Record(saved, "LINE", copies[1])), nothing);
}

// A default the writer leaves out goes back where the file gave it, before
// the vertices as after them; the value a move changes stays in that place,
// and the record moved back is the file's again.
TEST(DxfKept, ADefaultTheWriterLeavesOutGoesBackInItsPlace)
{
    const std::string bytes =
        File({{0, "LWPOLYLINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "2"},
              {70, "0"}, {38, "0.0"}, {39, "0.0"}, {10, "1.0"}, {20, "2.0"}, {10, "5.0"}, {20, "2.0"},
              {0, "LWPOLYLINE"}, {5, "41"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "2"},
              {70, "0"}, {10, "1.0"}, {20, "2.0"}, {10, "5.0"}, {20, "2.0"}, {39, "0.0"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    auto codes = [](const std::vector<std::string>& record) {
        std::string out;
        for (const std::string& g : record) out += g.substr(0, g.find(' ')) + " ";
        return out;
    };
    const std::string first = dxftest::Save(db.get());
    std::vector<std::string> saved = GroupLines(first);
    EXPECT_EQ(codes(Record(saved, "LWPOLYLINE", "40")), "0 5 330 100 8 100 90 70 38 39 10 20 10 20 ");
    EXPECT_EQ(codes(Record(saved, "LWPOLYLINE", "41")), "0 5 330 100 8 100 90 70 10 20 10 20 39 ");
    auto move = [&](double x, double y, double z) {
        for (OdDbEntity* e : ms) {
            OdDbEntity* open = nullptr;
            ASSERT_EQ(oddbOpenObject(open, e->objectId(), OdDb::kForWrite), eOk);
            open->transformBy(OdGeMatrix3d::translation(OdGeVector3d(x, y, z)));
            open->close();
        }
    };
    move(0.5, 0.25, 0.75);
    saved = GroupLines(dxftest::Save(db.get()));
    const std::vector<std::string> moved = Record(saved, "LWPOLYLINE", "40");
    EXPECT_EQ(codes(moved), "0 5 330 100 8 100 90 70 38 39 10 20 10 20 ");
    EXPECT_EQ(moved[8], "38 0.75");
    EXPECT_EQ(moved[9], "39 0.0");
    EXPECT_EQ(codes(Record(saved, "LWPOLYLINE", "41")), "0 5 330 100 8 100 90 70 38 10 20 10 20 39 ");
    move(-0.5, -0.25, -0.75);
    EXPECT_EQ(dxftest::Save(db.get()), first);
}

// The colour number a file gives beside a true colour stays while the
// entity or layer has that colour, edited or not; a new colour gets white.
TEST(DxfKept, AColourNumberBesideATrueColourStaysWhileTheColourDoes)
{
    const std::string bytes = File(
        {{0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "Kerbs"}, {62, "5"}, {420, "16711935"},
         {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "5"}, {21, "0"}, {31, "0"}},
        {},
        {{0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
         {0, "LAYER"}, {5, "10"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"}, {2, "Kerbs"},
         {70, "0"}, {62, "-3"}, {420, "255"}, {6, "Continuous"}, {0, "ENDTAB"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    OdDbEntity* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, ms[0]->objectId(), OdDb::kForWrite), eOk);
    line->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0)));
    line->close();
    OdDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(oddbOpenObject(layer, OdDbObjectId(ObjectOf(db.get(), 0x10)->objectId()), OdDb::kForWrite), eOk);
    layer->setIsLocked(true);
    layer->close();
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> groups = Record(saved, "LINE", "40");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "62 5"), groups.end());
    groups = Record(saved, "LAYER", "10");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "62 -3"), groups.end());

    OdCmColor other;
    other.setRGB(1, 2, 3);
    ASSERT_EQ(oddbOpenObject(line, ms[0]->objectId(), OdDb::kForWrite), eOk);
    line->setColor(other);
    line->close();
    saved = GroupLines(dxftest::Save(db.get()));
    groups = Record(saved, "LINE", "40");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "62 7"), groups.end());
}

// A record is as read while it writes as read: a zero the file gave as
// "0", moved away and back, is written "0.0", so the file's spelling goes
// back; its points given by x and y alone stay so while they lie in the
// plane z = 0, moved or not. (A "-0.0" moved away and back is +0, another
// value, written "0.0": DxfKept.ANumberKeepsItsExactValueAndTheSignOfItsZero.)
TEST(DxfKept, ARecordMovedAwayAndBackWritesAsRead)
{
    std::unique_ptr<OdDbDatabase> db =
        Read(File({{0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"},
                   {20, "0.5"}, {11, "1.0"}, {21, "1.0"}}));
    const std::string first = dxftest::Save(db.get());
    auto elevations = [](const std::string& bytes) {
        std::vector<std::string> line = Record(GroupLines(bytes), "LINE", "40");
        return std::count_if(line.begin(), line.end(),
                             [](const std::string& g) { return g.rfind("30 ", 0) == 0 || g.rfind("31 ", 0) == 0; });
    };
    EXPECT_EQ(elevations(first), 0);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    auto move = [&](double dx) {
        OdDbEntity* line = nullptr;
        ASSERT_EQ(oddbOpenObject(line, ms[0]->objectId(), OdDb::kForWrite), eOk);
        line->transformBy(OdGeMatrix3d::translation(OdGeVector3d(dx, 0, 0)));
        line->close();
    };
    move(10);
    EXPECT_EQ(elevations(dxftest::Save(db.get())), 0);
    OdDbEntity* lifted = nullptr;
    ASSERT_EQ(oddbOpenObject(lifted, ms[0]->objectId(), OdDb::kForWrite), eOk);
    lifted->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0, 0, 0.5)));
    lifted->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0, 0, -0.5)));
    lifted->close();
    EXPECT_EQ(elevations(dxftest::Save(db.get())), 0);
    ASSERT_EQ(oddbOpenObject(lifted, ms[0]->objectId(), OdDb::kForWrite), eOk);
    lifted->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0, 0, 0.5)));
    lifted->close();
    EXPECT_EQ(elevations(dxftest::Save(db.get())), 2);
    ASSERT_EQ(oddbOpenObject(lifted, ms[0]->objectId(), OdDb::kForWrite), eOk);
    lifted->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0, 0, -0.5)));
    lifted->close();
    move(-10);
    const std::string back = dxftest::Save(db.get());
    EXPECT_TRUE(back == first) << dxftest::FirstDifferingLine(first, back);
}

// A record edited is compared value by value with the file's: a value it
// still holds keeps the file's spelling, a default the file left out stays
// out, and a value that changed is written as the object holds it, never
// put back as the file had it.
TEST(DxfKept, AnEditedRecordKeepsTheSpellingsOfWhatItStillHolds)
{
    std::unique_ptr<OdDbDatabase> db = Read(File(
        {{0, "CIRCLE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {62, "1.0"}, {100, "AcDbCircle"}, {10, "1.50"},
         {20, "2"}, {30, "0"}, {40, "3"},
         {0, "TEXT"}, {5, "41"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "1.50"}, {20, "2"},
         {30, "0"}, {40, "2.5"}, {1, "note"}, {50, "30"}, {71, "0.0"}, {100, "AcDbText"},
         {0, "MTEXT"}, {5, "42"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1.50"}, {20, "2"},
         {30, "0"}, {40, "2.5"}, {1, "note"},
         {0, "MTEXT"}, {5, "43"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "1.50"}, {20, "2"},
         {30, "0"}, {40, "2.5"}, {1, "note"}, {50, "-12"}}));
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 4u);
    for (OdDbEntity* e : ms) {
        OdDbEntity* open = nullptr;
        ASSERT_EQ(oddbOpenObject(open, e->objectId(), OdDb::kForWrite), eOk);
        open->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0.1, 0, 0)));
        open->close();
    }
    auto codes = [](const std::vector<std::string>& record) {
        std::string out;
        for (const std::string& g : record) out += g.substr(0, g.find(' ')) + " ";
        return out;
    };
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> circle = Record(saved, "CIRCLE", "40"), text = Record(saved, "TEXT", "41"),
                             mtext = Record(saved, "MTEXT", "42");
    // Moved: the positions as the writer writes them, the rest as read.
    EXPECT_EQ(codes(circle), "0 5 330 100 8 62 100 10 20 30 40 ");
    EXPECT_TRUE(has(circle, "62 1.0") && has(circle, "10 1.6") && has(circle, "40 3.0"));
    EXPECT_EQ(codes(text), "0 5 330 100 8 100 10 20 30 40 1 50 71 100 ");
    EXPECT_TRUE(has(text, "10 1.6") && has(text, "50 30.0") && has(text, "71 0.0"));
    EXPECT_EQ(codes(mtext), "0 5 330 100 8 100 10 20 30 40 1 ");
    // The rotation alone gave the direction, and an angle goes back as the
    // file gave it outside a turn.
    const std::vector<std::string> turned = Record(saved, "MTEXT", "43");
    EXPECT_EQ(codes(turned), "0 5 330 100 8 100 10 20 30 40 1 50 ");
    EXPECT_TRUE(has(turned, "50 -12.0"));

    // A copy is compared with its source's record as an edited one: the
    // text's copy, moved, keeps the spellings and the defaults left out,
    // and its own handle and owner are its own.
    auto* copy = static_cast<OdDbEntity*>(ms[1]->clone());
    copy->transformBy(OdGeMatrix3d::translation(OdGeVector3d(0, 5, 0)));
    const OdDbObjectId copyId = dxftest::Append(db.get(), copy);
    saved = GroupLines(dxftest::Save(db.get()));
    const std::wstring copyHandle = copyId.getHandle().ascii().str();
    const std::vector<std::string> copied = Record(saved, "TEXT", std::string(copyHandle.begin(), copyHandle.end()));
    EXPECT_EQ(codes(copied), "0 5 330 100 8 100 10 20 30 40 1 50 71 100 ");
    EXPECT_TRUE(has(copied, "10 1.6") && has(copied, "20 7.0") && has(copied, "50 30.0") && has(copied, "71 0.0"));
    EXPECT_FALSE(has(copied, "5 41"));
    EXPECT_EQ(Record(saved, "TEXT", "41"), text);

    // Values changed are written as held, beside those kept as read: a
    // colour, and a rotation back to the default the writer leaves out.
    OdDbCircle* c = nullptr;
    ASSERT_EQ(oddbOpenObject(c, ms[0]->objectId(), OdDb::kForWrite), eOk);
    c->setColorIndex(3);
    c->setRadius(4);
    c->close();
    OdDbText* t = nullptr;
    ASSERT_EQ(oddbOpenObject(t, ms[1]->objectId(), OdDb::kForWrite), eOk);
    t->setRotation(0);
    t->close();
    saved = GroupLines(dxftest::Save(db.get()));
    circle = Record(saved, "CIRCLE", "40"), text = Record(saved, "TEXT", "41");
    EXPECT_EQ(codes(circle), "0 5 330 100 8 62 100 10 20 30 40 ");
    EXPECT_TRUE(has(circle, "62 3") && has(circle, "40 4.0") && has(circle, "10 1.6"));
    EXPECT_EQ(codes(text), "0 5 330 100 8 100 10 20 30 40 1 71 100 ");
    EXPECT_TRUE(has(text, "71 0.0"));
}

// An edit is never put back as the file had it for being near what it
// was: a line's end moved by a unit in the last place, and a text whose
// file gives an angle far past a turn (50 100000000) turned by 0.05
// degrees, are saved with their new values, exactly.
TEST(DxfKept, AnEditIsNeverLostToATolerance)
{
    std::unique_ptr<OdDbDatabase> db = Read(File(
        {{0, "LINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
         {30, "0"}, {11, "1.00000"}, {21, "1"}, {31, "0.0"},
         {0, "TEXT"}, {5, "51"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
         {30, "0"}, {40, "1"}, {1, "far"}, {50, "100000000"}, {100, "AcDbText"}}));
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    ASSERT_NE(OdRxCast<OdDbLine>(ms[0]), nullptr);
    ASSERT_NE(OdRxCast<OdDbText>(ms[1]), nullptr);
    auto value = [](const std::vector<std::string>& record, const std::string& code) {
        for (const std::string& g : record)
            if (g.rfind(code + " ", 0) == 0) return std::stod(g.substr(code.size() + 1));
        return std::nan("");
    };
    // Unedited, the angle goes back as the file gave it.
    EXPECT_EQ(value(Record(GroupLines(dxftest::Save(db.get())), "TEXT", "51"), "50"), 100000000.0);
    const double x = std::nextafter(1.0, 2.0);
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, ms[0]->objectId(), OdDb::kForWrite), eOk);
    line->setEndPoint(OdGePoint3d(x, 1, 0));
    line->close();
    OdDbText* text = nullptr;
    ASSERT_EQ(oddbOpenObject(text, ms[1]->objectId(), OdDb::kForWrite), eOk);
    const double turned = text->rotation() + 0.05 * M_PI / 180;
    text->setRotation(turned);
    text->close();
    const std::string bytes = dxftest::Save(db.get());
    EXPECT_EQ(value(Record(GroupLines(bytes), "LINE", "50"), "11"), x);
    const double angle = value(Record(GroupLines(bytes), "TEXT", "51"), "50");
    EXPECT_GT(std::fabs(std::remainder(angle - 100000000.0, 360.0)), 0.04) << angle;
    std::unique_ptr<OdDbDatabase> back = Read(bytes);
    ASSERT_EQ(ModelSpace(back.get()).size(), 2u);
    EXPECT_EQ(OdRxCast<OdDbLine>(ModelSpace(back.get())[0])->endPoint().x, x);
    EXPECT_NEAR(std::remainder(OdRxCast<OdDbText>(ModelSpace(back.get())[1])->rotation() - turned, 2 * M_PI), 0,
                1e-9);
}

namespace {

// Edits the line and moves its end off where it was; the end it took.
std::optional<OdGePoint3d> EditAndMove(OdDbEntity* line, const std::function<void(OdDbLine*)>& edit)
{
    OdDbLine* open = nullptr;
    if (oddbOpenObject(open, line->objectId(), OdDb::kForWrite) != eOk) return std::nullopt;
    edit(open);
    const OdGePoint3d end(1.375, 1, 0.25);
    open->setEndPoint(end);
    open->close();
    return end;
}

}  // namespace

// What a file left out goes back to being left out, and a value it gave
// that the writer leaves out goes back, only where the value written is
// what that means: an edit of them, beside a moved end, is written as
// edited.
TEST(DxfKept, AnEditOfWhatTheFileLeftOutIsWrittenAsEdited)
{
    struct Case {
        const char* what;
        Groups line;
        std::function<void(OdDbLine*)> edit;
        std::function<void(const OdDbLine*)> check;
        std::vector<std::string> written, leftOut;
    };
    const Groups head{{0, "LINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}};
    auto with = [&head](Groups values) {
        Groups g = head;
        g.insert(g.end(), values.begin(), values.end());
        return g;
    };
    const std::vector<Case> cases = {
        // A thickness the file left out, now not the default.
        {"thickness given", with({{10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}}),
         [](OdDbLine* l) { l->setThickness(2.5); },
         [](const OdDbLine* l) { EXPECT_EQ(l->thickness(), 2.5); }, {"39 2.5"}, {}},
        // A start given by x and y alone, now off the plane z = 0.
        {"start lifted", with({{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}, {31, "0"}}),
         [](OdDbLine* l) { l->setStartPoint(OdGePoint3d(0, 0, 0.5)); },
         [](const OdDbLine* l) { EXPECT_EQ(l->startPoint().z, 0.5); }, {"30 0.5"}, {}},
        // A thickness the file gave, now the default the writer leaves out.
        {"thickness taken away", with({{39, "5.0"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}}),
         [](OdDbLine* l) { l->setThickness(0); },
         [](const OdDbLine* l) { EXPECT_EQ(l->thickness(), 0.0); }, {}, {"39"}},
        // A colour number the file gave, now another.
        {"colour changed",
         {{0, "LINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {62, "5"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"},
          {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}},
         [](OdDbLine* l) { l->setColorIndex(6); },
         [](const OdDbLine* l) { EXPECT_EQ(l->colorIndex(), 6); }, {"62 6"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<OdDbDatabase> db = Read(File(c.line));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        ASSERT_NE(OdRxCast<OdDbLine>(ms[0]), nullptr);
        const std::optional<OdGePoint3d> end = EditAndMove(ms[0], c.edit);
        ASSERT_TRUE(end.has_value());

        const std::string bytes = dxftest::Save(db.get());
        const std::vector<std::string> saved = Record(GroupLines(bytes), "LINE", "50");
        for (const std::string& w : c.written) {
            EXPECT_NE(std::find(saved.begin(), saved.end(), w), saved.end()) << w;
            const std::string code = w.substr(0, w.find(' ') + 1);
            EXPECT_EQ(std::count_if(saved.begin(), saved.end(),
                                    [&code](const std::string& g) { return g.rfind(code, 0) == 0; }),
                      1)
                << w;
        }
        for (const std::string& code : c.leftOut)
            EXPECT_TRUE(std::none_of(saved.begin(), saved.end(),
                                     [&code](const std::string& g) { return g.rfind(code + " ", 0) == 0; }))
                << code;
        std::unique_ptr<OdDbDatabase> back = Read(bytes);
        ASSERT_EQ(ModelSpace(back.get()).size(), 1u);
        const auto* line = OdRxCast<OdDbLine>(ModelSpace(back.get())[0]);
        ASSERT_NE(line, nullptr);
        c.check(line);
        EXPECT_TRUE(line->endPoint() == *end);
    }
}

// A value a save compares by what it is: an edit of a name, a handle or a
// flag the object works out, beside a moved position, is written as
// edited, not put back as the file had it.
TEST(DxfKept, AnEditOfANameAHandleOrAFlagIsWrittenAsEdited)
{
    const Groups linetypes{
        {0, "TABLE"}, {2, "LTYPE"}, {5, "5"}, {100, "AcDbSymbolTable"}, {70, "2"},
        {0, "LTYPE"}, {5, "14"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"}, {2, "Continuous"},
        {70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"},
        {0, "LTYPE"}, {5, "15"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"}, {2, "DASHED"},
        {70, "0"}, {3, ""}, {72, "65"}, {73, "2"}, {40, "0.75"}, {49, "0.5"}, {74, "0"}, {49, "-0.25"}, {74, "0"},
        {0, "ENDTAB"}};
    {
        SCOPED_TRACE("a linetype's name");
        std::unique_ptr<OdDbDatabase> db = Read(File(
            {{0, "LINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {6, "DASHED"}, {100, "AcDbLine"}, {10, "0"},
             {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}},
            {}, linetypes));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        const OdDbObjectId continuous = ObjectOf(db.get(), 0x14)->objectId();
        const std::optional<OdGePoint3d> end = EditAndMove(ms[0], [&](OdDbLine* l) { l->setLinetype(continuous); });
        ASSERT_TRUE(end.has_value());
        const std::vector<std::string> saved = Record(GroupLines(dxftest::Save(db.get())), "LINE", "50");
        EXPECT_NE(std::find(saved.begin(), saved.end(), "6 Continuous"), saved.end());
        EXPECT_EQ(std::find(saved.begin(), saved.end(), "6 DASHED"), saved.end());
    }
    // An image's definition (a handle) and its clipping flag (worked out
    // from its display options), its origin moved.
    const Groups image{{0, "IMAGE"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbRasterImage"},
                       {90, "0"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {11, "1.0"}, {21, "0.0"}, {31, "0.0"},
                       {12, "0.0"}, {22, "1.0"}, {32, "0.0"}, {13, "64.0"}, {23, "32.0"}, {340, "40"}, {70, "3"},
                       {280, "0"}};
    auto definition = [](const char* handle) {
        return Groups{{0, "IMAGEDEF"}, {5, handle}, {100, "AcDbRasterImageDef"}, {90, "0"}, {1, "C:\\Maps\\a.png"},
                      {10, "64.0"}, {20, "32.0"}, {11, "1.0"}, {21, "1.0"}, {280, "1"}, {281, "0"}};
    };
    Groups objects = definition("40");
    const Groups other = definition("41");
    objects.insert(objects.end(), other.begin(), other.end());
    struct Case {
        const char* what;
        std::function<void(OdDbRasterImage*, OdDbDatabase*)> edit;
        const char* written;
    };
    const Case cases[] = {
        {"its definition", [](OdDbRasterImage* i, OdDbDatabase* db) { i->setImageDefId(ObjectOf(db, 0x41)->objectId()); },
         "340 41"},
        {"its clipping", [](OdDbRasterImage* i, OdDbDatabase*) { standin::DxfAccess::setImageClipping(i, 1); },
         "280 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<OdDbDatabase> db(
            dxftest::Reopen(dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}}, {{"ENTITIES", image}, {"OBJECTS", objects}})));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        OdDbRasterImage* i = nullptr;
        ASSERT_EQ(oddbOpenObject(i, ms[0]->objectId(), OdDb::kForWrite), eOk);
        c.edit(i, db.get());
        OdGePoint3d origin;
        OdGeVector3d u, v;
        i->getOrientation(origin, u, v);
        i->setOrientation(OdGePoint3d(1.375, 0, 0.25), u, v);
        i->close();
        const std::vector<std::string> saved = Record(GroupLines(dxftest::Save(db.get())), "IMAGE", "30");
        EXPECT_NE(std::find(saved.begin(), saved.end(), c.written), saved.end()) << c.written;
    }
}

// A table record says what leaving some of its codes out means: edited,
// a layer without a weight and a viewport without lens, clips and twist
// keep them out while it holds those values, and write any other.
TEST(DxfKept, AnEditedTableRecordLeavesOutWhatTheFileLeftOutWhileItMeansTheSame)
{
    const std::string bytes =
        File({}, {},
             {{0, "TABLE"}, {2, "VPORT"}, {5, "8"}, {100, "AcDbSymbolTable"}, {70, "1"}, {0, "VPORT"}, {5, "23"},
              {100, "AcDbSymbolTableRecord"}, {100, "AcDbViewportTableRecord"}, {2, "*Active"}, {70, "0"},
              {12, "5.0"}, {22, "5.0"}, {40, "10.0"}, {41, "1.5"}, {0, "ENDTAB"},
              {0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"}, {0, "LAYER"}, {5, "10"},
              {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"}, {2, "Kerbs"}, {70, "0"}, {62, "3"},
              {6, "Continuous"}, {0, "ENDTAB"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    auto codes = [](const std::vector<std::string>& record) {
        std::set<int> out;
        for (const std::string& g : record) out.insert(std::stoi(g.substr(0, g.find(' '))));
        return out;
    };
    auto edit = [&](double lens, OdDb::LineWeight weight) {
        OdDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(oddbOpenObject(layer, ObjectOf(db.get(), 0x10)->objectId(), OdDb::kForWrite), eOk);
        layer->setIsLocked(true);
        layer->setLineWeight(weight);
        layer->close();
        OdDbViewportTableRecord* vport = nullptr;
        ASSERT_EQ(oddbOpenObject(vport, ObjectOf(db.get(), 0x23)->objectId(), OdDb::kForWrite), eOk);
        vport->setHeight(20);
        vport->setLensLength(lens);
        vport->close();
    };
    edit(50, OdDb::kLnWtByLwDefault);
    std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    std::set<int> layer = codes(Record(saved, "LAYER", "10")), vport = codes(Record(saved, "VPORT", "23"));
    EXPECT_EQ(layer.count(370), 0u);
    for (int code : {42, 43, 44, 51}) EXPECT_EQ(vport.count(code), 0u) << code;
    EXPECT_EQ(vport.count(40), 1u);

    edit(35, OdDb::kLnWt050);
    saved = GroupLines(dxftest::Save(db.get()));
    std::vector<std::string> record = Record(saved, "LAYER", "10");
    EXPECT_NE(std::find(record.begin(), record.end(), "370 50"), record.end());
    record = Record(saved, "VPORT", "23");
    EXPECT_NE(std::find(record.begin(), record.end(), "42 35.0"), record.end());
    for (int code : {43, 44, 51}) EXPECT_EQ(codes(record).count(code), 0u) << code;
}

// A vertex (or sequence end) is compared with the file's, value by value,
// only while its sequence has as many records as the file gave: otherwise
// it is written as the object holds it, never as another record of the
// file.
TEST(DxfKept, AVertexIsRespelledOnlyWhileItsEntityAndSequenceAreAsRead)
{
    // The groups of each vertex saved, in order.
    auto vertices = [](const std::string& bytes) {
        std::vector<std::vector<std::string>> out;
        for (const std::string& g : GroupLines(bytes)) {
            if (g.rfind("0 ", 0) == 0) out.emplace_back();
            if (!out.empty()) out.back().push_back(g);
        }
        out.erase(std::remove_if(out.begin(), out.end(), [](const auto& r) { return r[0] != "0 VERTEX"; }), out.end());
        return out;
    };
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    // A vertex with no values and no sequence end: two records are written
    // where the file had one, so the vertex gets its layer, point and flags.
    std::unique_ptr<OdDbDatabase> bare =
        Read(File({{0, "POLYLINE"}, {5, "A0"}, {0, "VERTEX"}, {5, "A1"}}));
    std::vector<std::vector<std::string>> saved = vertices(dxftest::Save(bare.get()));
    ASSERT_EQ(saved.size(), 1u);
    const std::vector<std::string>& vertex = saved[0];
    EXPECT_TRUE(has(vertex, "8 0") && has(vertex, "10 0.0") && has(vertex, "20 0.0") && has(vertex, "30 0.0") &&
                has(vertex, "70 0"));

    // Vertices that gave no elevation (30): left out while it is 0, the
    // polyline edited or not.
    Groups ents{{0, "POLYLINE"}, {5, "B0"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"},
                {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"}};
    for (const char* handle : {"B1", "B2"})
        ents.insert(ents.end(), {{0, "VERTEX"}, {5, handle}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                 {100, "AcDb2dVertex"}, {10, handle[1] == '1' ? "1" : "2"}, {20, "0"}, {70, "0"}});
    ents.insert(ents.end(), {{0, "SEQEND"}, {5, "B3"}, {100, "AcDbEntity"}, {8, "0"}});
    std::unique_ptr<OdDbDatabase> db = Read(File(ents));
    auto elevations = [&](const std::string& bytes) {
        int n = 0;
        for (const auto& v : vertices(bytes))
            n += (int)std::count_if(v.begin(), v.end(), [](const std::string& g) { return g.rfind("30 ", 0) == 0; });
        return n;
    };
    const std::string first = dxftest::Save(db.get());
    EXPECT_EQ(elevations(first), 0);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    OdDb2dPolyline* p = nullptr;
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->setColorIndex(1);
    p->close();
    EXPECT_EQ(elevations(dxftest::Save(db.get())), 0);
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->setColorIndex(256);
    p->close();
    const std::string back = dxftest::Save(db.get());
    EXPECT_TRUE(back == first) << dxftest::FirstDifferingLine(first, back);
    // A vertex more: the file's records no longer are the sequence's.
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(p->appendVertex(OdGePoint3d(3, 0, 0)), eOk);
    p->close();
    EXPECT_EQ(elevations(dxftest::Save(db.get())), 3);
}

// A file of an older form is in the code page it names, but its structure
// and its ASCII are ASCII in every page: a page that reads letters
// otherwise is named and not used, and a byte below 0x80 that starts a
// character is itself. Otherwise a name read one way and put back as the
// file spelled it reads as another name, and a record is made twice.
TEST(DxfKept, ASCIIIsReadAsItselfWhateverCodePageTheFileNames)
{
    for (const char* page : {"ANSI_935", "JOHAB"}) {
        SCOPED_TRACE(page);
        const std::string file = "0\r\nSECTION\r\n2\r\nHEADER\r\n9\r\n$ACADVER\r\n1\r\nAC1015\r\n9\r\n$DWGCODEPAGE\r\n3\r\n" +
                                 std::string(page) +
                                 "\r\n0\r\nENDSEC\r\n0\r\nSECTION\r\n2\r\nTABLES\r\n0\r\nTABLE\r\n2\r\nVPORT\r\n"
                                 "0\r\nVPORT\r\n5\r\n23\r\n2\r\n*Active\r\n0\r\nENDTAB\r\n0\r\nENDSEC\r\n"
                                 "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nTEXT\r\n5\r\n30\r\n8\r\n0\r\n10\r\n0\r\n20\r\n0\r\n"
                                 "40\r\n1\r\n1\r\n\x88\x61\\P\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n";
        std::unique_ptr<OdDbDatabase> db = Read(file);
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        auto* text = OdRxCast<OdDbText>(ms[0]);
        ASSERT_NE(text, nullptr);
        const std::wstring value = text->textString().c_str();
        if (std::string(page) == "JOHAB") EXPECT_EQ(value, L"\uAC00\\P");
        else EXPECT_EQ(value.substr(std::max<size_t>(value.size(), 2) - 2), L"\\P");
        EXPECT_EQ(standin::DxfCodePageAssumed(db.get()).empty(), std::string(page) == "JOHAB");

        const std::string first = dxftest::Save(db.get());
        const std::vector<std::string> groups = GroupLines(first);
        EXPECT_EQ(std::count(groups.begin(), groups.end(), "0 VPORT"), 1);
        EXPECT_FALSE(Record(groups, "VPORT", "23").empty());
        EXPECT_EQ(std::count(groups.begin(), groups.end(), "2 *Active"), 1);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
    }
}

// A caret that is a character of a text is written "^ " only where a
// reader would take it and what follows for a caret code. A text moved
// is written as the writer spells it and still reads as it was read; an
// MTEXT's long contents go in pieces the reader joins before it reads the
// codes, so a caret ending a piece is written for what starts the next.
TEST(DxfKept, ACaretInATextKeepsItsMeaningInEverySave)
{
    std::unique_ptr<OdDbDatabase> db =
        Read(File({{0, "TEXT"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"},
                   {40, "1"}, {1, "a^ b^ ^ J^ "}}));
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    const std::wstring read = OdRxCast<OdDbText>(ms[0])->textString().c_str();
    EXPECT_EQ(read, L"a^b^^J^");
    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
    e->transformBy(OdGeMatrix3d::translation(OdGeVector3d(5, 0, 0)));
    e->close();

    // Carets at both piece ends: one before a space, a run of them across
    // the second.
    const std::wstring contents = std::wstring(249, L'a') + L"^ x" + std::wstring(246, L'b') + L"^^^^A^";
    auto* m = new OdDbMText();
    m->setContents(contents.c_str());
    dxftest::Append(db.get(), m);

    const std::string first = dxftest::Save(db.get());
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    ms = ModelSpace(again.get());
    ASSERT_EQ(ms.size(), 2u);
    auto* text = OdRxCast<OdDbText>(ms[0]);
    auto* mtext = OdRxCast<OdDbMText>(ms[1]);
    ASSERT_TRUE(text && mtext);
    EXPECT_EQ(std::wstring(text->textString().c_str()), read);
    EXPECT_TRUE(std::wstring(mtext->contents().c_str()) == contents) << mtext->contents().c_str();
    const std::string second = dxftest::Save(again.get());
    EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
}

// Another program cuts a long MTEXT after 250 bytes of its escapes, not
// after 250 characters, here once inside an escape and once between a
// caret and its letter: while the contents are as read, every piece goes
// back as the file spelled it, escapes and all, as a short text's do.
// Changed, the contents are cut as the writer cuts them.
TEST(DxfKept, ALongMTextKeepsItsEscapesInThePiecesItWasCutInto)
{
    std::string raw;
    for (int i = 0; i < 60; ++i) raw += "\\U+03B1bc ";
    raw.insert(400, "^");
    raw.insert(401, "J");
    raw += "end";
    const std::vector<std::string> pieces = {raw.substr(0, 245), raw.substr(245, 156), raw.substr(401)};
    std::string bytes = File({{0, "MTEXT"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"},
                              {20, "0"}, {40, "1"}, {3, pieces[0]}, {3, pieces[1]}, {1, pieces[2]},
                              {0, "MTEXT"}, {5, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"},
                              {10, "0"}, {20, "9"}, {40, "1"}, {1, "short \\U+03B1"}});
    bytes.replace(bytes.find("AC1024"), 6, "AC1015");
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    std::wstring contents;
    for (int i = 0; i < 60; ++i) contents += L"\u03b1bc ";
    contents.insert(160, L"\n");
    contents += L"end";
    EXPECT_TRUE(std::wstring(OdRxCast<OdDbMText>(ms[0])->contents().c_str()) == contents);

    const std::string first = dxftest::Save(db.get());
    const std::vector<std::string> mtext = Record(GroupLines(first), "MTEXT", "30");
    std::vector<std::string> contentGroups;
    for (const std::string& g : mtext)
        if (g.rfind("3 ", 0) == 0 || g.rfind("1 ", 0) == 0) contentGroups.push_back(g);
    EXPECT_EQ(contentGroups, (std::vector<std::string>{"3 " + pieces[0], "3 " + pieces[1], "1 " + pieces[2]}));
    const std::vector<std::string> shortText = Record(GroupLines(first), "MTEXT", "31");
    EXPECT_EQ(std::count(shortText.begin(), shortText.end(), "1 short \\U+03B1"), 1);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    ASSERT_EQ(ModelSpace(again.get()).size(), 2u);
    EXPECT_TRUE(std::wstring(OdRxCast<OdDbMText>(ModelSpace(again.get())[0])->contents().c_str()) == contents);
    const std::string second = dxftest::Save(again.get());
    EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);

    // Changed, the contents (under 250 characters) are one part.
    OdDbMText* m = nullptr;
    ASSERT_EQ(oddbOpenObject(m, ms[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(m->setContents((contents + L"x").c_str()), eOk);
    m->close();
    const std::vector<std::string> changed = Record(GroupLines(dxftest::Save(db.get())), "MTEXT", "30");
    EXPECT_EQ(std::count_if(changed.begin(), changed.end(), [](const std::string& g) { return g.rfind("3 ", 0) == 0; }),
              0);
    std::unique_ptr<OdDbDatabase> edited(dxftest::Reopen(dxftest::Save(db.get())));
    EXPECT_TRUE(std::wstring(OdRxCast<OdDbMText>(ModelSpace(edited.get())[0])->contents().c_str()) == contents + L"x");
}

// A number nobody models goes back as the file spelled it (the header's,
// an application's group, a record kept whole), and one that was moved as
// it now is: a spelling never stands for another value.
TEST(DxfKept, KeptNumbersGoBackAsSpelledUntilTheirValueChanges)
{
    const std::string bytes =
        Raw({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1024"}, {9, "$USERR1"}, {40, "1.50"},
             {9, "$USERI1"}, {70, "+007"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"},
             {0, "LINE"}, {5, "20"}, {102, "{FOO"}, {40, "2.50"}, {70, "01"}, {102, "}"}, {100, "AcDbEntity"},
             {8, "0"}, {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
             {0, "3DFACE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbFace"}, {10, "1"}, {20, "2"},
             {30, "0"}, {11, "3"}, {21, "2"}, {31, "0"}, {12, "3"}, {22, "4"}, {32, "0"}, {13, "1"}, {23, "4"},
             {33, "0"}, {0, "ENDSEC"}, {0, "EOF"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 2u);
    const std::string first = dxftest::Save(db.get());
    const std::vector<std::string> saved = GroupLines(first);
    auto count = [](const std::vector<std::string>& lines, const char* g) {
        return std::count(lines.begin(), lines.end(), g);
    };
    EXPECT_EQ(count(saved, "40 1.50"), 1);
    EXPECT_EQ(count(saved, "70 +007"), 1);
    const std::vector<std::string> line = Record(saved, "LINE", "20");
    EXPECT_EQ(count(line, "40 2.50"), 1);
    EXPECT_EQ(count(line, "70 01"), 1);
    EXPECT_EQ(count(Record(saved, "3DFACE", "21"), "10 1"), 1);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    EXPECT_TRUE(dxftest::Save(again.get()) == first);

    // Moved along x, the face's x values are its new ones; its y values
    // are what they were, as spelled.
    OdDbEntity* face = nullptr;
    ASSERT_EQ(oddbOpenObject(face, ms[1]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(face->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0))), eOk);
    face->close();
    const std::vector<std::string> moved = Record(GroupLines(dxftest::Save(db.get())), "3DFACE", "21");
    for (const char* g : {"10 2.0", "11 4.0", "12 4.0", "13 2.0", "20 2", "22 4"}) EXPECT_EQ(count(moved, g), 1) << g;
    EXPECT_EQ(count(moved, "10 1"), 0);
}

// A curve type a polyline cannot hold (one on a polyline that is not spline
// fit, a surface type no mesh has) goes back once, as the file gave it; a
// polyline changed is written with its own type where the writer writes
// one, the file's after it, and changed again it still holds just those.
TEST(DxfKept, ACurveTypeAPolylineCannotHoldGoesBackOnceAsGiven)
{
    struct Case {
        const char* flags;
        Groups counts;
        const char* vertexFlags;
        const char* type;
    };
    const Case cases[] = {
        {"1", {}, "0", "6"},                         // a closed 2-D polyline
        {"8", {}, "32", "5"},                        // a 3-D one
        {"16", {{71, "2"}, {72, "2"}}, "64", "7"},   // a mesh
    };
    auto types = [](const std::string& bytes) {
        std::vector<std::string> out;
        for (const std::string& g : Record(GroupLines(bytes), "POLYLINE", "20"))
            if (g.rfind("75 ", 0) == 0) out.push_back(g);
        return out;
    };
    // A value of the polyline's own record changed, so that it is no
    // longer as read.
    auto changed = [](OdDbDatabase* db) {
        std::vector<OdDbEntity*> ms = ModelSpace(db);
        OdDbEntity* e = nullptr;
        if (ms.size() != 1 || oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite) != eOk) return std::string();
        if (auto* p2 = OdRxCast<OdDb2dPolyline>(e)) p2->setThickness(p2->thickness() + 1);
        else if (auto* p3 = OdRxCast<OdDb3dPolyline>(e)) p3->isClosed() ? p3->makeOpen() : p3->makeClosed();
        else if (auto* m = OdRxCast<OdDbPolygonMesh>(e)) m->setMSurfaceDensity(m->mSurfaceDensity() + 1);
        e->close();
        return dxftest::Save(db);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        Groups ents{{0, "POLYLINE"}, {5, "20"}, {8, "0"}, {66, "1"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"},
                    {70, c.flags}};
        ents.insert(ents.end(), c.counts.begin(), c.counts.end());
        ents.push_back({75, c.type});
        const char* xy[4][2] = {{"0.0", "0.0"}, {"1.0", "0.0"}, {"0.0", "1.0"}, {"1.0", "1.0"}};
        for (int k = 0; k < 4; ++k)
            ents.insert(ents.end(), {{0, "VERTEX"}, {5, std::to_string(21 + k)}, {8, "0"}, {10, xy[k][0]},
                                     {20, xy[k][1]}, {30, "0.0"}, {70, c.vertexFlags}});
        ents.insert(ents.end(), {{0, "SEQEND"}, {5, "25"}, {8, "0"}});
        std::unique_ptr<OdDbDatabase> db = Read(FileOf("AC1009", ents));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        EXPECT_EQ(OdRxCast<OdDbProxyEntity>(ms[0]), nullptr);
        const std::string given = std::string("75 ") + c.type;
        const std::string first = dxftest::Save(db.get());
        EXPECT_EQ(types(first), std::vector<std::string>{given});
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);

        const std::string once = changed(again.get());
        const std::vector<std::string> onceTypes = types(once);
        EXPECT_EQ(std::count(onceTypes.begin(), onceTypes.end(), given), 1);
        std::unique_ptr<OdDbDatabase> third(dxftest::Reopen(once));
        EXPECT_EQ(types(changed(third.get())), onceTypes);
    }
}

// A paper-space record read as a proxy (a mesh without its counts) that
// gives its paper-space flag twice keeps both in every save, whether the
// record names its owner or not, and stays in paper space.
TEST(DxfKept, APaperSpaceFlagGivenTwiceGoesBackTwiceInEverySave)
{
    Groups ents{{0, "POLYLINE"}, {5, "20"}, {67, "1"}, {8, "0"}, {66, "1"}, {10, "0.0"}, {20, "0.0"},
                {30, "0.0"}, {70, "16"}, {67, "1"}, {72, "3"},
                {0, "VERTEX"}, {5, "21"}, {67, "1"}, {8, "0"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {70, "64"},
                {0, "SEQEND"}, {5, "22"}, {67, "1"}, {8, "0"}};
    std::unique_ptr<OdDbDatabase> db = Read(FileOf("AC1009", ents));
    auto paperFlags = [](const std::string& bytes) {
        const std::vector<std::string> head = Record(GroupLines(bytes), "POLYLINE", "20");
        return std::count(head.begin(), head.end(), "67 1");
    };
    const std::string first = dxftest::Save(db.get());
    EXPECT_EQ(paperFlags(first), 2);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    const std::string second = dxftest::Save(again.get());
    EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
    auto* e = OdRxCast<OdDbEntity>(ObjectOf(again.get(), 0x20));
    ASSERT_NE(e, nullptr);
    auto* owner = OdRxCast<OdDbBlockTableRecord>(e->ownerId().stub()->object);
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(owner->getName().iCompare(L"*Paper_Space") == 0) << owner->getName().c_str();

    // One that says otherwise than the block the entity is in is the
    // file's: it stays after the entity is moved.
    std::unique_ptr<OdDbDatabase> named = Read(
        File({}, {{0, "BLOCK"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"}, {2, "*Model_Space"},
                  {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "*Model_Space"},
                  {0, "LINE"}, {5, "31"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"}, {100, "AcDbLine"}, {10, "0"},
                  {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
                  {0, "ENDBLK"}, {5, "32"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}}));
    OdDbEntity* line = nullptr;
    ASSERT_NE(ObjectOf(named.get(), 0x31), nullptr);
    ASSERT_EQ(oddbOpenObject(line, ObjectOf(named.get(), 0x31)->objectId(), OdDb::kForWrite), eOk);
    line->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0)));
    line->close();
    const std::vector<std::string> moved = Record(GroupLines(dxftest::Save(named.get())), "LINE", "31");
    EXPECT_EQ(std::count(moved.begin(), moved.end(), "67 1"), 1);
}

// A flag that says an entity is not in paper space (0, or any number but
// 1), given where no owner is named, places it in model space; saved with
// its owner, it is read the same, and goes back where the file gave it,
// before the layer, in every save, a second flag after it kept.
TEST(DxfKept, AFlagSayingModelSpaceGoesBackWhereGivenInEverySave)
{
    const Groups cases[] = {
        {{0, "LINE"}, {5, "20"}, {67, "0"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}},
        {{0, "LINE"}, {5, "20"}, {67, "9"}, {8, "0"}, {67, "1"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}},
    };
    for (const Groups& ents : cases) {
        SCOPED_TRACE(ents[2].second);
        std::unique_ptr<OdDbDatabase> db = Read(FileOf("AC1009", ents));
        const std::string first = dxftest::Save(db.get());
        const std::vector<std::string> record = Record(GroupLines(first), "LINE", "20");
        const auto flag = std::find(record.begin(), record.end(), "67 " + ents[2].second);
        ASSERT_NE(flag, record.end());
        EXPECT_EQ(*(flag + 1), "8 0");
        EXPECT_EQ(std::count(record.begin(), record.end(), "67 1"), ents.size() > 8 ? 1 : 0);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        auto* e = OdRxCast<OdDbEntity>(ObjectOf(again.get(), 0x20));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->ownerId(), again->getModelSpaceId());
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
    }
}

// A linetype dash's shape number (or what else places a shape or a text)
// has a place only in a dash that carries a shape or a text: one before the
// flags of a dash whose flags say text but that gives none is kept, and
// stays out of place where it goes back, after the last dash.
TEST(DxfKept, WhatPlacesAShapeInADashThatCarriesNoneStaysKept)
{
    const Groups table{{0, "TABLE"}, {2, "LTYPE"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
                       {0, "LTYPE"}, {5, "30"}, {330, "2"}, {100, "AcDbSymbolTableRecord"},
                       {100, "AcDbLinetypeTableRecord"}, {2, "DASHED"}, {70, "0"}, {3, "D"}, {72, "65"}, {73, "1"},
                       {40, "15.0"}, {49, "10.0506"}, {41, "0.0"}, {75, "0"}, {74, "2"}, {0, "ENDTAB"}};
    std::unique_ptr<OdDbDatabase> db = Read(File({}, {}, table));
    const std::string first = dxftest::Save(db.get());
    const std::vector<std::string> record = Record(GroupLines(first), "LTYPE", "30");
    EXPECT_EQ(std::count(record.begin(), record.end(), "75 0"), 1);
    EXPECT_EQ(std::count(record.begin(), record.end(), "74 2"), 1);
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    const std::string second = dxftest::Save(again.get());
    EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
}

// A dash's shape number given before its flags is the dash's, as one given
// after them: it is read, not kept to go back after the last dash's flags,
// where the next read would take it. One kept elsewhere (before the first
// dash) that goes back there when the last dash's flags say it carries a
// shape it gives none of is read there already. An empty offset before the
// first dash stays kept. Each save is the first.
TEST(DxfKept, AShapeNumberBeforeTheDashFlagsIsTheDashs)
{
    struct Case {
        const char* what;
        Groups before, last;
    };
    const Case cases[] = {
        {"the dash alone", {}, {{49, "1.0"}, {75, "7"}, {74, "4"}}},
        {"an empty offset before the dashes", {{44, ""}}, {{49, "1.0"}, {75, "7"}, {74, "4"}}},
        {"a stray number before the dashes", {{44, ""}, {75, "7"}}, {{49, "1.0"}, {74, "4"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Groups table{{0, "TABLE"}, {2, "LTYPE"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
                     {0, "LTYPE"}, {5, "30"}, {330, "2"}, {100, "AcDbSymbolTableRecord"},
                     {100, "AcDbLinetypeTableRecord"}, {2, "SHAPED"}, {70, "0"}, {3, "S"}, {72, "65"}, {73, "2"},
                     {40, "1.5"}};
        table.insert(table.end(), c.before.begin(), c.before.end());
        table.insert(table.end(), {{49, "-0.5"}, {74, "0"}});
        table.insert(table.end(), c.last.begin(), c.last.end());
        table.push_back({0, "ENDTAB"});
        std::unique_ptr<OdDbDatabase> db = Read(File({}, {}, table));
        const auto* lt = OdRxCast<OdDbLinetypeTableRecord>(ObjectOf(db.get(), 0x30));
        ASSERT_NE(lt, nullptr);
        ASSERT_EQ(lt->numDashes(), 2);
        EXPECT_EQ(lt->shapeNumberAt(0), 0);
        EXPECT_EQ(lt->shapeNumberAt(1), 7);
        const std::string first = dxftest::Save(db.get());
        const std::vector<std::string> record = Record(GroupLines(first), "LTYPE", "30");
        EXPECT_EQ(std::count(record.begin(), record.end(), "75 7"), 1);
        EXPECT_EQ(std::count(record.begin(), record.end(), "44 "), c.before.empty() ? 0 : 1);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        const auto* back = OdRxCast<OdDbLinetypeTableRecord>(ObjectOf(again.get(), 0x30));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->shapeNumberAt(0), 0);
        EXPECT_EQ(back->shapeNumberAt(1), 7);
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(second == first) << dxftest::FirstDifferingLine(first, second);
    }
}

// A normal the file gave as a vector of another length is held as a unit
// vector: unedited, the file's spelling goes back, as it points the same
// way; given in part, it is written whole, as the object holds it, so
// that it points the same way read back; turned, it is written as it now
// is.
TEST(DxfKept, ANormalOfAnotherLengthKeepsItsSpellingWhileItPointsTheSameWay)
{
    const std::string bytes = File({{0, "POLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDb2dPolyline"},
                                    {66, "1"}, {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"}, {210, "0"}, {220, "7"},
                                    {230, "1"},
                                    {0, "VERTEX"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                    {100, "AcDb2dVertex"}, {10, "0"}, {20, "0"}, {30, "0"},
                                    {0, "VERTEX"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                                    {100, "AcDb2dVertex"}, {10, "5"}, {20, "0"}, {30, "0"},
                                    {0, "SEQEND"}, {5, "23"}, {100, "AcDbEntity"}, {8, "0"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    const std::string first = dxftest::Save(db.get());
    const std::vector<std::string> polyline = Record(GroupLines(first), "POLYLINE", "20");
    for (const char* given : {"210 0.0", "220 7.0", "230 1.0"})
        EXPECT_NE(std::find(polyline.begin(), polyline.end(), given), polyline.end()) << given;
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    EXPECT_EQ(dxftest::Save(again.get()), first);

    // Given in part: its y alone.
    std::string partBytes = bytes;
    const std::string whole = "210\n0\n220\n7\n230\n1\n";
    ASSERT_NE(partBytes.find(whole), std::string::npos);
    partBytes.replace(partBytes.find(whole), whole.size(), "220\n7\n");
    std::unique_ptr<OdDbDatabase> part = Read(partBytes);
    const std::string partSaved = dxftest::Save(part.get());
    std::unique_ptr<OdDbDatabase> partAgain(dxftest::Reopen(partSaved));
    auto* read = OdRxCast<OdDb2dPolyline>(ModelSpace(partAgain.get())[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->normal().isEqualTo(OdGeVector3d(0, 7, 1).normal(), OdGeTol(1e-12)));

    OdDb2dPolyline* p = nullptr;
    ASSERT_EQ(oddbOpenObject(p, ms[0]->objectId(), OdDb::kForWrite), eOk);
    p->setNormal(OdGeVector3d(0, 1, 0));
    p->close();
    const std::vector<std::string> turned = Record(GroupLines(dxftest::Save(db.get())), "POLYLINE", "20");
    EXPECT_EQ(std::find(turned.begin(), turned.end(), "220 7.0"), turned.end());
    EXPECT_NE(std::find(turned.begin(), turned.end(), "220 1.0"), turned.end());
}

// A value the object refused or bounded is its reader's correction, not an
// edit: the file's value goes back and saves again alike, whatever else of
// the record is edited, while the object writes it as when it was read;
// that value edited, it is written as the object holds it.
TEST(DxfKept, AValueTheObjectRefusedGoesBackWhileTheRecordIsAsRead)
{
    struct Case {
        const char* what;
        Groups entity;
        const char* type;
        std::vector<std::string> given;  // the file's groups a save keeps
        std::function<void(OdDbEntity*)> edit;  // of those values
    };
    auto width = [](double w) { return [w](OdDbEntity* e) { static_cast<OdDbText*>(e)->setWidthFactor(w); }; };
    const std::vector<Case> cases = {
        {"a text's width factor of 0, left out as the default",
         {{0, "TEXT"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {1, "ab"}, {41, "0"}},
         "TEXT", {"41 0.0"}, width(0.5)},
        {"a text's negative width factor",
         {{0, "TEXT"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {1, "ab"}, {41, "-2.0"}},
         "TEXT", {"41 -2.0"}, width(2)},
        {"an MTEXT's negative width and a spacing past its bound",
         {{0, "MTEXT"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {1, "ab"}, {41, "-5.0"},
          {44, "9.0"}},
         "MTEXT", {"41 -5.0", "44 9.0"},
         [](OdDbEntity* e) {
             static_cast<OdDbMText*>(e)->setWidth(3);
             static_cast<OdDbMText*>(e)->setLineSpacingFactor(2);
         }},
        // Paired with the writer's second and third values of the code.
        {"a light polyline's negative widths at its second and third vertices",
         {{0, "LWPOLYLINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "3"}, {70, "0"},
          {10, "0"}, {20, "0"}, {40, "0.5"}, {41, "0.5"}, {10, "5"}, {20, "0"}, {40, "-1.5"}, {41, "0.5"},
          {10, "9"}, {20, "0"}, {40, "0.25"}, {41, "-2.5"}},
         "LWPOLYLINE", {"40 -1.5", "41 -2.5"},
         [](OdDbEntity* e) {
             static_cast<OdDbPolyline*>(e)->setWidthsAt(1, 1.5, 0.5);
             static_cast<OdDbPolyline*>(e)->setWidthsAt(2, 0.25, 2.5);
         }},
    };
    auto has = [](const std::vector<std::string>& record, const std::string& g) {
        return std::find(record.begin(), record.end(), g) != record.end();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<OdDbDatabase> db = Read(File(c.entity));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        const std::string first = dxftest::Save(db.get());
        const std::vector<std::string> saved = Record(GroupLines(first), c.type, "50");
        for (const std::string& g : c.given) EXPECT_TRUE(has(saved, g)) << g;
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        EXPECT_EQ(dxftest::Save(again.get()), first);

        OdDbEntity* e = nullptr;
        ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
        e->setColorIndex(3);
        e->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1.5, 2, 0)));
        e->close();
        std::vector<std::string> edited = Record(GroupLines(dxftest::Save(db.get())), c.type, "50");
        ASSERT_TRUE(has(edited, "62 3"));
        for (const std::string& g : c.given) EXPECT_TRUE(has(edited, g)) << g;
        ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
        c.edit(e);
        e->close();
        edited = Record(GroupLines(dxftest::Save(db.get())), c.type, "50");
        for (const std::string& g : c.given) EXPECT_FALSE(has(edited, g)) << g;
    }
}

// An elevation (38) is a value of its own, not the z of a point 18: one the
// file gave as the default stays in the record when it is edited.
TEST(DxfKept, AnElevationGivenAsTheDefaultStaysThroughAnEdit)
{
    const std::string bytes =
        File({{0, "LWPOLYLINE"}, {5, "50"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "2"},
              {70, "0"}, {38, "0.0"}, {10, "0"}, {20, "0"}, {10, "5"}, {20, "0"}});
    std::unique_ptr<OdDbDatabase> db = Read(bytes);
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    auto has = [](const std::string& saved, const char* g) {
        const std::vector<std::string> record = Record(GroupLines(saved), "LWPOLYLINE", "50");
        return std::find(record.begin(), record.end(), g) != record.end();
    };
    EXPECT_TRUE(has(dxftest::Save(db.get()), "38 0.0"));
    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
    e->setColorIndex(3);
    e->close();
    const std::string edited = dxftest::Save(db.get());
    EXPECT_TRUE(has(edited, "62 3"));
    EXPECT_TRUE(has(edited, "38 0.0"));
}

// A record read as the writer writes it but for the defaults the file left
// out (a circle's normal, a text's alignments, a reference's scales) goes
// back without them; one whose left-out codes mean more than their
// subclass says (a point's z, a normal given in part) is compared group by
// group. Either way the save is the one a file of CR lines gives, whose
// records are always compared group by group.
TEST(DxfKept, DefaultsTheFileLeftOutStayOutWhetherOrNotTheRecordIsComparedGroupByGroup)
{
    auto entity = [](const char* type, const char* handle, const char* subclass, Groups values,
                     const char* second = nullptr, Groups more = {}) {
        Groups g{{0, type}, {5, handle}, {100, "AcDbEntity"}, {8, "0"}, {100, subclass}};
        g.insert(g.end(), values.begin(), values.end());
        if (second) g.push_back({100, second});
        g.insert(g.end(), more.begin(), more.end());
        return g;
    };
    const std::vector<Groups> records = {
        entity("CIRCLE", "30", "AcDbCircle", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "3"}}),
        entity("CIRCLE", "31", "AcDbCircle", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "3"}, {230, "-1"}}),
        entity("CIRCLE", "32", "AcDbCircle", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "3"}, {210, "0"}, {220, "0"}}),
        entity("ARC", "33", "AcDbCircle", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "3"}}, "AcDbArc",
               {{50, "15"}, {51, "200"}}),
        entity("TEXT", "34", "AcDbText", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "2.5"}, {1, "a"}}, "AcDbText"),
        entity("TEXT", "35", "AcDbText",
               {{10, "1"}, {20, "2"}, {30, "0"}, {40, "2.5"}, {1, "b"}, {72, "1"}, {11, "4"}, {21, "2"}, {31, "0"}},
               "AcDbText"),
        entity("INSERT", "36", "AcDbBlockReference", {{2, "MARK"}, {10, "1"}, {20, "2"}, {30, "0"}, {50, "30"}}),
        entity("INSERT", "37", "AcDbBlockReference", {{2, "MARK"}, {10, "1"}, {20, "2"}, {30, "0"}, {41, "2"}}),
        entity("LWPOLYLINE", "38", "AcDbPolyline", {{90, "2"}, {70, "1"}, {10, "0"}, {20, "0"}, {10, "5"}, {20, "0"}}),
        entity("LINE", "39", "AcDbLine", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}),
        entity("LINE", "3A", "AcDbLine", {{10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "0"}}),
        entity("ELLIPSE", "3B", "AcDbEllipse", {{10, "1"}, {20, "2"}, {30, "0"}, {11, "4"}, {21, "0"}, {31, "0"},
                                                {40, "0.5"}}),
        entity("POINT", "3C", "AcDbPoint", {{10, "1"}, {20, "2"}, {30, "0"}}),
        entity("SOLID", "3D", "AcDbTrace", {{10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
                                            {12, "0"}, {22, "1"}, {32, "0"}}),
        entity("MTEXT", "3E", "AcDbMText", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "2.5"}, {1, "c"}}),
    };
    // Records whose values the object works out from others, compared with
    // those of a file of CR lines alone.
    const std::vector<Groups> derived = {
        entity("TEXT", "40", "AcDbText", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "2.5"}, {1, "d"}, {72, "1"}},
               "AcDbText"),
        entity("TEXT", "41", "AcDbText", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "2.5"}, {1, "e"}, {50, "400"}},
               "AcDbText"),
        entity("ARC", "42", "AcDbCircle", {{10, "1"}, {20, "2"}, {30, "0"}, {40, "3"}}, "AcDbArc", {{50, "-15"}}),
        entity("INSERT", "43", "AcDbBlockReference", {{2, "MARK"}, {10, "1"}, {20, "2"}, {30, "0"}, {43, "0"}}),
        entity("LWPOLYLINE", "44", "AcDbPolyline",
               {{90, "2"}, {70, "0"}, {10, "0"}, {20, "0"}, {40, "1"}, {41, "1"}, {10, "5"}, {20, "0"}, {40, "1"},
                {41, "1"}}),
    };
    Groups entities;
    for (const Groups& r : records) entities.insert(entities.end(), r.begin(), r.end());
    for (const Groups& r : derived) entities.insert(entities.end(), r.begin(), r.end());
    const Groups blocks = {{0, "BLOCK"}, {5, "20"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                           {2, "MARK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "MARK"},
                           {0, "ENDBLK"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}};
    // Saved once, the records name their owners, as most files' do.
    std::unique_ptr<OdDbDatabase> db = Read(File(entities, blocks));
    ASSERT_EQ(ModelSpace(db.get()).size(), records.size() + derived.size());
    const std::string first = dxftest::Save(db.get());

    // Each record as the file gave it, the z of a point given by its x and
    // y alone left out too.
    const std::vector<std::string> groups = GroupLines(first);
    auto codes = [](const std::vector<std::string>& record) {
        std::vector<std::string> out;
        for (const std::string& g : record)
            if (g.rfind("330 ", 0) != 0) out.push_back(g.substr(0, g.find(' ')));
        return out;
    };
    for (const Groups& r : records) {
        SCOPED_TRACE(r[0].second + " " + r[1].second);
        std::vector<std::string> given;
        for (const auto& [code, value] : r) given.push_back(std::to_string(code));
        EXPECT_EQ(codes(Record(groups, r[0].second, r[1].second)), given);
    }

    std::string cr;
    for (size_t i = 0; i < first.size(); ++i)
        if (!(first[i] == '\r' && i + 1 < first.size() && first[i + 1] == '\n')) cr += first[i] == '\n' ? '\r' : first[i];
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first)), fromCr(dxftest::Reopen(cr));
    EXPECT_EQ(dxftest::Save(again.get()), first);
    EXPECT_EQ(dxftest::Save(fromCr.get()), first);
}

// A record kept whole of a kind the database does not model, given without
// its kind's marker (none at all, or only the entity's), is saved with it
// where readers by marker look for its values: after the entity's values
// (proxy graphics, their size first, included), before the kind's own, an
// application's group of the entity's left before it. An object kept whole
// gets its marker after its head. A record that has its own marker, one of
// a kind nobody describes, goes back as written; so does a moved one, with
// the marker it was saved with. The second save is the first.
TEST(DxfKept, AKeptRecordWithoutItsKindsMarkerIsSavedWithIt)
{
    const Groups entities = {
        {0, "RAY"}, {5, "20"}, {8, "0"}, {10, "3"}, {20, "4"}, {30, "0"}, {11, "0"}, {21, "1"}, {31, "0"},
        {0, "XLINE"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}, {92, "2"}, {310, "ABCD"}, {102, "{ACME"},
        {10, "5"}, {102, "}"}, {10, "1"}, {20, "2"}, {30, "0"}, {11, "0.6"}, {21, "0.8"}, {31, "0"},
        {0, "TOLERANCE"}, {5, "22"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbFcf"}, {3, "Standard"}, {10, "7"},
        {20, "8"}, {30, "0"}, {1, "x"}, {11, "1"}, {21, "0"}, {31, "0"},
        {0, "ACME_SHAPE"}, {5, "23"}, {100, "AcDbEntity"}, {8, "0"}, {10, "1"}, {20, "1"}, {30, "0"}};
    const Groups objects = {{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "ACAD_MLINESTYLE"},
                            {350, "30"}, {0, "MLINESTYLE"}, {5, "30"}, {330, "C"}, {2, "Standard"}, {70, "0"},
                            {3, ""}, {62, "256"}, {51, "90.0"}, {52, "90.0"}, {71, "1"}, {49, "0.5"}, {62, "256"},
                            {6, "BYLAYER"}};
    std::unique_ptr<OdDbDatabase> db = Read(FileOf("AC1024", entities, objects));
    const std::string first = dxftest::Save(db.get());
    const std::vector<std::string> saved = GroupLines(first);
    // The groups of a record from its entity marker on (its head, for an
    // object: from its owner on).
    auto from = [&saved](const char* type, const char* handle, const char* start) {
        std::vector<std::string> r = Record(saved, type, handle);
        auto at = std::find(r.begin(), r.end(), start);
        return at == r.end() ? std::vector<std::string>() : std::vector<std::string>(at, r.end());
    };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(from("RAY", "20", "100 AcDbEntity"),
              (Lines{"100 AcDbEntity", "8 0", "100 AcDbRay", "10 3", "20 4", "30 0", "11 0", "21 1", "31 0"}));
    EXPECT_EQ(from("XLINE", "21", "100 AcDbEntity"),
              (Lines{"100 AcDbEntity", "8 0", "92 2", "310 ABCD", "102 {ACME", "10 5", "102 }", "100 AcDbXline",
                     "10 1", "20 2", "30 0", "11 0.6", "21 0.8", "31 0"}));
    EXPECT_EQ(from("TOLERANCE", "22", "100 AcDbEntity"),
              (Lines{"100 AcDbEntity", "8 0", "100 AcDbFcf", "3 Standard", "10 7", "20 8", "30 0", "1 x", "11 1",
                     "21 0", "31 0"}));
    EXPECT_EQ(from("ACME_SHAPE", "23", "100 AcDbEntity"), (Lines{"100 AcDbEntity", "8 0", "10 1", "20 1", "30 0"}));
    EXPECT_EQ(from("MLINESTYLE", "30", "330 C"),
              (Lines{"330 C", "100 AcDbMlineStyle", "2 Standard", "70 0", "3 ", "62 256", "51 90.0", "52 90.0", "71 1",
                     "49 0.5", "62 256", "6 BYLAYER"}));
    // Read back by its marker, the ray's values are where its kind has them.
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
    std::vector<OdDbEntity*> ms = ModelSpace(again.get());
    ASSERT_EQ(ms.size(), 4u);
    auto* ray = OdRxCast<OdDbProxyEntity>(ms[0]);
    ASSERT_NE(ray, nullptr);
    EXPECT_EQ(ray->fileNumbers("AcDbRay"),
              (std::vector<std::pair<int, double>>{{10, 3}, {20, 4}, {30, 0}, {11, 0}, {21, 1}, {31, 0}}));
    EXPECT_TRUE(dxftest::Save(again.get()) == first) << dxftest::FirstDifferingLine(first, dxftest::Save(again.get()));

    // Moved, the ray's point moves where the file gave it, under the marker.
    OdDbEntity* moved = nullptr;
    ASSERT_EQ(oddbOpenObject(moved, ModelSpace(db.get())[0]->objectId(), OdDb::kForWrite), eOk);
    ASSERT_EQ(moved->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0))), eOk);
    moved->close();
    const std::vector<std::string> ray2 = Record(GroupLines(dxftest::Save(db.get())), "RAY", "20");
    auto marker = std::find(ray2.begin(), ray2.end(), "100 AcDbRay");
    ASSERT_NE(marker, ray2.end());
    EXPECT_EQ(std::find(marker, ray2.end(), "10 4.0") - marker, 1);
}

// A linetype without its subclass marker whose dash flags the file pads
// ("     0") is saved, and saved again, alike: the second save is the first.
TEST(DxfKept, ALinetypeWithoutItsMarkerIsSavedAlikeTwice)
{
    for (const bool marker : {false, true}) {
        SCOPED_TRACE(marker ? "without its own marker" : "without any marker");
        Groups record{{0, "LTYPE"}, {5, "15"}, {100, "AcDbSymbolTableRecord"}};
        if (!marker) record.pop_back();
        record.insert(record.end(), {{2, "DASHED"}, {70, "0"}, {3, ""}, {72, "    65"}, {73, "     2"}, {40, "0.75"},
                                     {49, "0.5"}, {74, "     0"}, {49, "-0.25"}, {74, "     0"}});
        Groups tables{{0, "TABLE"}, {2, "LTYPE"}, {5, "5"}, {100, "AcDbSymbolTable"}, {70, "1"}};
        tables.insert(tables.end(), record.begin(), record.end());
        tables.push_back({0, "ENDTAB"});
        std::unique_ptr<OdDbDatabase> db = Read(File({}, {}, tables));
        const std::string first = dxftest::Save(db.get());
        // Its dashes are read: none kept.
        const auto* lt = OdRxCast<OdDbLinetypeTableRecord>(ObjectOf(db.get(), 0x15));
        ASSERT_NE(lt, nullptr);
        EXPECT_EQ(lt->numDashes(), 2);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(first == second) << dxftest::FirstDifferingLine(first, second);
    }
}

// A number goes back as its exact value, the sign of a zero included, in
// the writer's form ("2.50" as 2.5, "+2" as 2.0, "-0.0" as -0.0); and the
// header's code page as the file named it.
TEST(DxfKept, ANumberKeepsItsExactValueAndTheSignOfItsZero)
{
    const std::string file = dxftest::SectionsFile(
        {{9, "$ACADVER"}, {1, "AC1015"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}},
        {{"ENTITIES", {{0, "LINE"}, {5, "40"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"}, {10, "-0.0"},
                       {20, "2.50"}, {30, "+2"}, {11, "1"}, {21, "-0"}, {31, "0"}}}});
    std::unique_ptr<OdDbDatabase> db(dxftest::Reopen(file));
    std::vector<OdDbEntity*> ms = ModelSpace(db.get());
    ASSERT_EQ(ms.size(), 1u);
    const auto* line = OdRxCast<OdDbLine>(ms[0]);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(std::signbit(line->startPoint().x));
    const std::vector<std::string> saved = GroupLines(dxftest::Save(db.get()));
    const std::vector<std::string> record = Record(saved, "LINE", "40");
    for (const char* g : {"10 -0.0", "20 2.5", "30 2.0", "11 1.0", "21 -0.0", "31 0.0"})
        EXPECT_NE(std::find(record.begin(), record.end(), g), record.end()) << g;
    const auto page = std::find(saved.begin(), saved.end(), "9 $DWGCODEPAGE");
    ASSERT_NE(page, saved.end());
    EXPECT_EQ(*(page + 1), "3 ANSI_1252");
    // Moved away and back, the x is +0: another value, written so.
    for (double dx : {1.0, -1.0}) {
        OdDbEntity* e = nullptr;
        ASSERT_EQ(oddbOpenObject(e, ms[0]->objectId(), OdDb::kForWrite), eOk);
        e->transformBy(OdGeMatrix3d::translation(OdGeVector3d(dx, 0, 0)));
        e->close();
    }
    const std::vector<std::string> moved = Record(GroupLines(dxftest::Save(db.get())), "LINE", "40");
    EXPECT_NE(std::find(moved.begin(), moved.end(), "10 0.0"), moved.end());
}

// A record without the marker of its kind's subclass: the values it gives
// before the first marker are that subclass's, read in one run. A value of
// the same code given again after a group kept between (a count given
// twice, empty; a second run of knots) stays where it stands: written in
// the subclass it would be read there as the object's, and the next save
// would lose it or the object would change.
TEST(DxfKept, AValueGivenAgainApartFromItsRunStaysWhereItStands)
{
    auto count = [](const std::vector<std::string>& r, const std::string& g) {
        return std::count(r.begin(), r.end(), g);
    };
    struct Case {
        const char* name;
        Groups record;
        std::string twice;  // a group every save gives twice
    };
    const Case cases[] = {
        {"empty counts",
         {{0, "SPLINE"}, {5, "50"}, {72, ""}, {1, ""}, {72, ""}, {100, ""}, {11, "0"}, {11, "2"}},
         "72 "},
        {"counts",
         {{0, "SPLINE"}, {5, "50"}, {72, "4"}, {1, "x"}, {72, "4"}, {100, ""}, {71, "1"}, {40, "0"}, {40, "0"},
          {40, "1"}, {40, "1"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "0"}},
         "72 4"},
        {"knots",
         {{0, "SPLINE"}, {5, "50"}, {71, "1"}, {40, "0"}, {40, "0"}, {40, "1"}, {40, "1"}, {1, "x"}, {40, "2"},
          {40, "2"}, {100, ""}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "0"}},
         "40 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<OdDbDatabase> db = Read(File(c.record));
        const std::string first = dxftest::Save(db.get());
        EXPECT_EQ(count(Record(GroupLines(first), "SPLINE", "50"), c.twice), 2);
        // Read back, the spline is the one the file gave.
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        const auto* read = OdRxCast<OdDbSpline>(ObjectOf(db.get(), 0x50));
        const auto* spline = OdRxCast<OdDbSpline>(ObjectOf(again.get(), 0x50));
        ASSERT_NE(read, nullptr);
        ASSERT_NE(spline, nullptr);
        EXPECT_EQ(spline->knots(), read->knots());
        EXPECT_EQ(spline->numControlPoints(), read->numControlPoints());
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(first == second) << dxftest::FirstDifferingLine(first, second);
    }
}
// A dictionary's key and entry the file gives apart, under a marker the
// writer does not write, are no entry: a save keeps them apart where they
// stood, and no save pairs them into one. An entry the dictionary takes
// from there is written as its own.
TEST(DxfKept, ADictionarysKeyAndEntryGivenApartStayApartInEverySave)
{
    auto file = [](const char* marker, const Groups& values) {
        Groups objects{{0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, marker}};
        objects.insert(objects.end(), values.begin(), values.end());
        objects.insert(objects.end(), {{0, "XRECORD"}, {5, "F"}, {330, "C"}, {100, "AcDbXrecord"},
                                       {0, "XRECORD"}, {5, "E"}, {330, "C"}, {100, "AcDbXrecord"}});
        return FileOf("AC1024", {}, objects);
    };
    struct Case {
        const char* name;
        const char* marker;
        Groups values;
        std::vector<std::wstring> entries;  // keys the dictionary holds
    };
    const Case cases[] = {
        {"a name between", "AcDxictionary", {{3, "A"}, {350, "D"}, {3, "F1"}, {2, "F2"}, {350, "F"}}, {}},
        {"an entry between", "AcDxictionary", {{3, "F1"}, {3, "G"}, {350, "F"}, {350, "E"}}, {L"G"}},
        // Under its own marker the refused halves go back after the
        // entries, where a lone key must not come to stand before a lone
        // entry.
        {"its marker, a name between", "AcDbDictionary", {{3, "A"}, {350, "D"}, {3, "F1"}, {2, "F2"}, {350, "F"}}, {}},
        {"its marker, an entry between", "AcDbDictionary", {{3, "F1"}, {3, "G"}, {350, "F"}, {350, "E"}}, {L"G"}},
        {"its marker, halves around a refused entry", "AcDbDictionary",
         {{3, "F1"}, {3, "G"}, {350, "F"}, {350, "E"}, {3, "g"}, {350, "F"}}, {L"G"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<OdDbDatabase> db = Read(file(c.marker, c.values));
        const std::string first = dxftest::Save(db.get());
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        for (OdDbDatabase* read : {db.get(), again.get()}) {
            auto* d = OdRxCast<OdDbDictionary>(ObjectOf(read, 0xC));
            ASSERT_NE(d, nullptr);
            std::vector<std::wstring> keys;
            std::unique_ptr<OdDbDictionaryIterator> it(d->newIterator());
            for (; !it->done(); it->next()) keys.push_back(it->name().c_str());
            EXPECT_TRUE(keys == c.entries) << first;
        }
        // Every group the file gave goes back, the lone halves where they
        // stood under a marker the writer does not write.
        const std::vector<std::string> record = Record(GroupLines(first), "DICTIONARY", "C");
        for (const auto& [code, value] : c.values) {
            const std::string group = std::to_string(code) + " " + value;
            const Groups& v = c.values;
            const auto given = std::count_if(v.begin(), v.end(), [&](const auto& g) { return g == std::make_pair(code, value); });
            EXPECT_EQ(std::count(record.begin(), record.end(), group), given) << group << "\n" << first;
        }
        if (std::string_view(c.marker) != "AcDbDictionary") {
            const auto misspelt = std::find(record.begin(), record.end(), "100 AcDxictionary");
            const auto marker = std::find(record.begin(), record.end(), "100 AcDbDictionary");
            ASSERT_TRUE(misspelt < marker) << first;
            EXPECT_EQ(std::count(misspelt, marker, "3 F1"), 1) << first;
        }
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(first == second) << dxftest::FirstDifferingLine(first, second);
    }
}

// A polyline's kind is told by the flags under its kind's marker: flags
// kept before it, in the entity's subclass (a second value given there, as
// a save writes it back), tell nothing. A polyface mesh whose second flags
// are kept so is one again once saved, with them where they were.
TEST(DxfKept, FlagsKeptBeforeAPolylinesKindMarkerDoNotTellItsKind)
{
    const Groups tail{{0, "SEQEND"}, {5, "21"}, {100, "AcDbEntity"}, {8, "0"}};
    Groups given{{0, "POLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {70, "64"}, {3, ""}, {70, "0"}};
    // The form a save writes it in, as a generator may have.
    Groups saved{{0, "POLYLINE"}, {5, "20"}, {100, "AcDbEntity"}, {3, ""}, {70, "0"}, {100, "AcDbPolyFaceMesh"},
                 {70, "64"}};
    for (Groups* g : {&given, &saved}) {
        g->insert(g->end(), tail.begin(), tail.end());
        std::unique_ptr<OdDbDatabase> db = Read(File(*g));
        std::vector<OdDbEntity*> ms = ModelSpace(db.get());
        ASSERT_EQ(ms.size(), 1u);
        EXPECT_NE(OdRxCast<OdDbPolyFaceMesh>(ms[0]), nullptr) << (g == &given ? "given" : "saved");
        const std::string first = dxftest::Save(db.get());
        std::vector<std::string> polyline = Record(GroupLines(first), "POLYLINE", "20");
        auto at = [&](const char* group) { return std::find(polyline.begin(), polyline.end(), group) - polyline.begin(); };
        ASSERT_LT(at("70 0"), (long)polyline.size()) << first;
        EXPECT_EQ(at("3 "), at("70 0") - 1);
        EXPECT_LT(at("70 0"), at("100 AcDbPolyFaceMesh"));
        EXPECT_EQ(at("70 64"), at("100 AcDbPolyFaceMesh") + 1);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(first));
        ASSERT_EQ(ModelSpace(again.get()).size(), 1u);
        EXPECT_NE(OdRxCast<OdDbPolyFaceMesh>(ModelSpace(again.get())[0]), nullptr);
        EXPECT_EQ(dxftest::Save(again.get()), first) << dxftest::FirstDifferingLine(first, dxftest::Save(again.get()));
    }
}

// A record the save writes line for line as the file spelled it needs no
// second look; one whose line differs anywhere, in its first eight bytes or
// past them, or that the file ended with a CR, is compared value by value.
// A layer's name in other letters than its record is as long as the one
// written, so only its bytes tell it: it goes back as the file spelled it,
// and each save repeats the last. The file is a save's own text in LF
// lines, so that every other line is as the writer writes it.
TEST(DxfKept, ALineThatDiffersAnywhereIsComparedAndGoesBackAsTheFileSpelledIt)
{
    const std::string name = "ABCDEFGHijklmnopqrst";
    Groups entities, tables = {{0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
                               {0, "LAYER"}, {5, "10"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"},
                               {2, name}, {70, "0"}, {62, "7"}, {6, "CONTINUOUS"}, {0, "ENDTAB"}};
    for (const char* handle : {"31", "32", "33", "34"}) {
        const Groups line = {{0, "LINE"}, {5, handle}, {100, "AcDbEntity"}, {8, name}, {100, "AcDbLine"},
                             {10, "1.5"}, {20, "2.25"}, {30, "0"}, {11, "3"}, {21, "4"}, {31, "0"}};
        entities.insert(entities.end(), line.begin(), line.end());
    }
    auto db = Read(File(entities, {}, tables));
    std::string file = dxftest::Save(db.get());
    for (size_t at; (at = file.find("\r\n")) != std::string::npos;) file.erase(at, 1);
    // The layer line of the record of that handle, spelled otherwise.
    auto respell = [&file, &name](const std::string& handle, const std::string& spelled) {
        const size_t record = file.find("\n  5\n" + handle + "\n");
        ASSERT_NE(record, std::string::npos) << handle;
        const size_t layer = file.find("\n  8\n" + name + "\n", record);
        ASSERT_NE(layer, std::string::npos) << handle;
        file.replace(layer + 5, name.size(), spelled);
    };
    respell("31", "ABCDEFGHIJKLMNOPQRST");
    respell("32", "ABCdefghijklmnopqrst");
    respell("33", name + "\r");
    auto read = Read(file);
    const std::string saved = dxftest::Save(read.get());
    const std::vector<std::string> groups = GroupLines(saved);
    auto has = [](const std::vector<std::string>& record, const std::string& group) {
        return std::find(record.begin(), record.end(), group) != record.end();
    };
    EXPECT_TRUE(has(Record(groups, "LINE", "31"), "8 ABCDEFGHIJKLMNOPQRST"));
    EXPECT_TRUE(has(Record(groups, "LINE", "32"), "8 ABCdefghijklmnopqrst"));
    EXPECT_TRUE(has(Record(groups, "LINE", "33"), "8 " + name));
    EXPECT_TRUE(has(Record(groups, "LINE", "34"), "8 " + name));
    std::vector<OdDbEntity*> ms = ModelSpace(read.get());
    ASSERT_EQ(ms.size(), 4u);
    for (OdDbEntity* e : ms) EXPECT_EQ(e->layerId(), ms[3]->layerId());
    auto again = Read(saved);
    EXPECT_EQ(dxftest::Save(again.get()), saved);
}
