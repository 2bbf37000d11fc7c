#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "odgeplane.h"
#include "win32_curdir.h"
#include "windows.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"

namespace {

OdDbObjectId AddLine(OdDbDatabase* db, const wchar_t* layer)
{
    OdDbBlockTableRecord* ms = nullptr;
    EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* line = new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0));
    if (layer) {
        OdDbLayerTable* lt = nullptr;
        db->getLayerTable(lt, OdDb::kForWrite);
        if (!lt->has(layer)) {
            auto* rec = new OdDbLayerTableRecord();
            rec->setName(layer);
            lt->add(rec);
            rec->close();
        }
        lt->close();
    }
    OdDbObjectId id;
    EXPECT_EQ(ms->appendOdDbEntity(id, line), eOk);
    if (layer) line->setLayer(layer);
    line->close();
    ms->close();
    return id;
}

std::vector<uint64_t> Handles(const OdDbObjectIdArray& ids)
{
    std::vector<uint64_t> out;
    for (const auto& id : ids) out.push_back(id.getHandle());
    return out;
}

std::vector<uint64_t> Members(const ads_name ss)
{
    OdDbObjectIdArray ids;
    int32_t n = 0;
    gcedSSLength(ss, &n);
    for (int32_t i = 0; i < n; ++i) {
        ads_name e;
        OdDbObjectId id;
        gcedSSName(ss, i, e);
        oddbGetObjectId(id, e);
        ids.append(id);
    }
    return Handles(ids);
}


double StartX(const OdDbObjectId& id)
{
    OdDbLine* line = nullptr;
    if (oddbOpenObject(line, id, OdDb::kForRead) != eOk) return NAN;
    const double x = line->startPoint().x;
    line->close();
    return x;
}

}  // namespace

TEST(EditorSelection, WholeDatabaseModeWithBlanksFiltersByLayerPattern)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\d\\a.dwg")->database();
    OdDbObjectId a = AddLine(db, L"MapLayer");
    AddLine(db, L"Other");
    OdDbObjectId c = AddLine(db, L"maplayer2");
    resbuf* filter = gcutBuildList(8, L"MAP*", 0);
    ads_name ss;
    ASSERT_EQ(gcedSSGet(L" X ", nullptr, nullptr, filter, ss), RTNORM);
    EXPECT_EQ(Members(ss), Handles({a, c}));
    EXPECT_EQ(gcedSSFree(ss), RTNORM);
    gcutRelRb(filter);

    filter = gcutBuildList(8, L"none", 0);
    EXPECT_EQ(gcedSSGet(L"X", nullptr, nullptr, filter, ss), RTERROR);
    gcutRelRb(filter);
    EXPECT_EQ(standin::LiveSelectionSets(), 0);
}

TEST(EditorSelection, PickFirstAndFreeingANameThatIsNoSet)
{
    OdDbDatabase* db = standin::CreateDocument(L"a")->database();
    ads_name ss{};
    EXPECT_EQ(gcedSSGet(L"I", nullptr, nullptr, nullptr, ss), RTERROR);
    EXPECT_EQ(gcedSSFree(ss), RTERROR);
    EXPECT_EQ(standin::HostViolations().size(), 1u);

    OdDbObjectId a = AddLine(db, nullptr);
    standin::SetPickFirst({a});
    ASSERT_EQ(gcedSSGet(L"I", nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(Members(ss), Handles({a}));
    gcedSSFree(ss);
    gcedSSSetFirst(nullptr, nullptr);
    EXPECT_TRUE(standin::PickFirst().isEmpty());
}

// A selection set holds each object once, in the order it was first named,
// whoever names it twice: the user picking it again, the pick-first set.
// So MOVE of an object picked twice moves it once, and UNDO and REDO put
// it back and forth between its two places. A hundred thousand objects
// named twice each are taken as fast as they are read.
TEST(EditorSelection, ASetHoldsEachObjectOnceInTheOrderFirstNamed)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\d\\once.dwg")->database();
    const OdDbObjectId a = AddLine(db, nullptr), b = AddLine(db, nullptr), c = AddLine(db, nullptr);
    ads_name ss;
    standin::QueueSelection({b, a, b, c, a});
    ASSERT_EQ(gcedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(Members(ss), Handles({b, a, c}));
    gcedSSFree(ss);
    standin::SetPickFirst({c, c, a});
    EXPECT_EQ(Handles(standin::PickFirst()), Handles({c, a}));
    ASSERT_EQ(gcedSSGet(L"I", nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(Members(ss), Handles({c, a}));
    gcedSSFree(ss);

    standin::QueueSelection({a, a});
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(10, 0, 0));
    ASSERT_TRUE(standin::InvokeCommand(L"MOVE"));
    EXPECT_EQ(StartX(a), 10);
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(StartX(a), 0);
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(StartX(a), 10);
    EXPECT_EQ(StartX(b), 0);

    OdDbObjectIdArray twice;
    for (int i = 0; i < 100000; ++i) twice.append(AddLine(db, nullptr));
    const size_t n = twice.size();
    for (size_t i = 0; i < n; ++i) twice.append(twice[i]);
    standin::QueueSelection(twice);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(gcedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    // Once each takes milliseconds; a scan of the set for each would take
    // minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    int32_t length = 0;
    gcedSSLength(ss, &length);
    EXPECT_EQ((size_t)length, n);
    ads_name last;
    OdDbObjectId id;
    ASSERT_EQ(gcedSSName(ss, length - 1, last), RTNORM);
    oddbGetObjectId(id, last);
    EXPECT_EQ(id, twice[n - 1]);
    gcedSSFree(ss);
}

TEST(EditorInput, KeywordsExpandAbbreviationsAndRefuseEmptyInputUnderNoNull)
{
    wchar_t word[32];
    standin::QueueEnter();
    standin::QueueText(L"xyz");
    standin::QueueText(L"ye");
    gcedInitGet(RSG_NONULL, L"Yes No");
    EXPECT_EQ(gcedGetKword(L"Go?", word, 32), RTNORM);
    EXPECT_EQ(std::wstring(word), L"Yes");
    EXPECT_EQ(standin::Prompts().size(), 3u);

    // The flags held for one call only.
    standin::QueueEnter();
    EXPECT_EQ(gcedGetKword(L"Go?", word, 32), RTNONE);
    standin::QueueText(L"LongKeyword");
    gcedInitGet(0, L"LongKeyword");
    EXPECT_EQ(gcedGetKword(L"Go?", word, 5), RTERROR);
    EXPECT_EQ(gcedGetKword(L"Go?", word, 32), RTCAN);
}

TEST(EditorInput, RealKeepsTheValueOnEnterAndAsksAgainForText)
{
    double v = 2.5;
    standin::QueueEnter();
    EXPECT_EQ(gcedGetReal(L"n", &v), RTNONE);
    EXPECT_EQ(v, 2.5);
    standin::QueueText(L"abc");
    standin::QueueText(L"7.25");
    EXPECT_EQ(gcedGetReal(L"n", &v), RTNORM);
    EXPECT_EQ(v, 7.25);
}

TEST(EditorView, TransRoundTripsThroughATurnedUcs)
{
    standin::SetUcs(OdGePoint3d(10, 20, 0), OdGeVector3d(0, 1, 0), OdGeVector3d(-1, 0, 0));
    resbuf wcs{nullptr, RTSHORT, {}}, ucs{nullptr, RTSHORT, {}};
    wcs.resval.rint = 0;
    ucs.resval.rint = 1;
    ads_point p{1, 0, 0}, w, back;
    ASSERT_EQ(gcedTrans(p, &ucs, &wcs, 0, w), RTNORM);
    EXPECT_DOUBLE_EQ(w[0], 10);
    EXPECT_DOUBLE_EQ(w[1], 21);
    gcedTrans(p, &ucs, &wcs, 1, w);
    EXPECT_DOUBLE_EQ(w[0], 0);
    EXPECT_DOUBLE_EQ(w[1], 1);
    gcedTrans(w, &wcs, &ucs, 1, back);
    EXPECT_DOUBLE_EQ(back[0], 1);
    EXPECT_NEAR(back[1], 0, 1e-12);
}

TEST(EditorView, SetCurrentViewFitsTheWidthToTheScreenAspect)
{
    OdDbViewTableRecord view;
    view.setCenterPoint(OdGePoint2d(5, 6));
    view.setHeight(30);
    view.setWidth(80);  // wider than 800x600 allows for height 30
    EXPECT_EQ(gcedSetCurrentView(&view, nullptr), eOk);
    resbuf rb;
    gcedGetVar(L"viewsize", &rb);
    EXPECT_DOUBLE_EQ(rb.resval.rreal, 60);
    gcedGetVar(L"VIEWCTR", &rb);
    EXPECT_EQ(rb.restype, RT3DPOINT);
    EXPECT_DOUBLE_EQ(rb.resval.rpoint[0], 5);
    EXPECT_DOUBLE_EQ(rb.resval.rpoint[1], 6);

    rb.restype = RTREAL;
    rb.resval.rreal = 1;
    EXPECT_EQ(gcedSetVar(L"VIEWSIZE", &rb), RTERROR);
    gcedGetVar(L"acadprefix", &rb);
    ASSERT_EQ(rb.restype, RTSTR);
    free(rb.resval.rstring);
}

TEST(EditorView, FrameTitleIsConfigurable)
{
    standin::SetFrameTitle(L"Host Civil 2020");
    CString title;
    gcedGetGcadFrame()->GetWindowText(title);
    EXPECT_EQ(std::wstring(title.GetString()), L"Host Civil 2020");
}

TEST(SortentsTable, MovesKeepRelativeOrderAndRefuseForeignIds)
{
    OdDbDatabase* db = standin::CreateDocument(L"a")->database();
    OdDbObjectId a = AddLine(db, nullptr), b = AddLine(db, nullptr), c = AddLine(db, nullptr);
    OdDbBlockTableRecord* ms = nullptr;
    oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite);
    OdDbSortentsTable* st = nullptr;
    EXPECT_EQ(ms->getSortentsTable(st, OdDb::kForWrite, false), eKeyNotFound);
    ASSERT_EQ(ms->getSortentsTable(st, OdDb::kForWrite, true), eOk);
    ms->close();
    EXPECT_EQ(st->moveToBottom({c, b}), eOk);
    OdDbObjectIdArray order;
    st->getFullDrawOrder(order);
    EXPECT_EQ(Handles(order), Handles({b, c, a}));
    EXPECT_EQ(st->moveToTop({b}), eOk);
    st->getFullDrawOrder(order);
    EXPECT_EQ(Handles(order), Handles({c, a, b}));
    EXPECT_EQ(st->moveToBottom({db->getLayerZeroId()}), eInvalidInput);
    st->close();
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(Intersections, LineWithArcRespectsTheArcsSpanUnlessExtended)
{
    OdDbArc arc(OdGePoint3d(0, 0, 0), 5, 0, 3.14159265358979 / 2);  // first quadrant
    OdDbLine vertical(OdGePoint3d(3, -10, 0), OdGePoint3d(3, 10, 0));
    OdGePoint3dArray pts;
    EXPECT_EQ(arc.intersectWith(&vertical, OdDb::kOnBothOperands, pts), eOk);
    ASSERT_EQ(pts.length(), 1);
    EXPECT_TRUE(pts[0].isEqualTo(OdGePoint3d(3, 4, 0), OdGeTol(1e-9)));
    pts.clear();
    arc.intersectWith(&vertical, OdDb::kExtendThis, pts);
    EXPECT_EQ(pts.length(), 2);

    OdDbLine raised(OdGePoint3d(3, -10, 1), OdGePoint3d(3, 10, 1));
    pts.clear();
    arc.intersectWith(&raised, OdDb::kOnBothOperands, pts);
    EXPECT_TRUE(pts.isEmpty());
    arc.intersectWith(&raised, OdDb::kOnBothOperands, OdGePlane::kXYPlane, pts);
    EXPECT_EQ(pts.length(), 1);
}

TEST(DrawingFiles, InsertCopiesModelSpaceIntoANewBlockWithItsLayers)
{
    OdDbDatabase* db = standin::CreateDocument(L"a")->database();
    OdDbDatabase source;
    AddLine(&source, L"Walls");
    OdDbObjectId blockId;
    ASSERT_EQ(db->insert(blockId, L"Part", &source), eOk);
    OdDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(oddbOpenObject(block, blockId, OdDb::kForRead), eOk);
    ASSERT_EQ(block->entityIds().size(), 1u);
    OdDbEntity* copy = nullptr;
    oddbOpenObject(copy, block->entityIds()[0], OdDb::kForRead);
    EXPECT_EQ(copy->layer().str(), L"Walls");
    EXPECT_EQ(copy->database(), db);
    copy->close();
    block->close();

    OdDbDatabase* out = nullptr;
    ASSERT_EQ(db->wblock(out, blockId), eOk);
    OdDbBlockTableRecord* ms = nullptr;
    oddbOpenObject(ms, out->getModelSpaceId(), OdDb::kForRead);
    EXPECT_EQ(ms->entityIds().size(), 1u);
    ms->close();
    delete out;
    EXPECT_EQ(source.readDwgFile(L"C:\\none.dwg"), eFileNotFound);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(CurrentDirectory, WindowsPathsInsideTheMachineAndAccess)
{
    CreateDirectoryW(L"C:\\work", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\work"));
    WCHAR buf[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, buf), 0u);
    EXPECT_EQ(std::wstring(buf), L"C:\\work");
    EXPECT_FALSE(SetCurrentDirectoryW(L"C:\\missing"));
    EXPECT_EQ(_waccess(L"C:\\work", 0), 0);
    EXPECT_EQ(_waccess(L"C:\\work\\none.txt", 0), -1);
}

TEST(EditorView, ProgressMeterAndStatusBarAreRecorded)
{
    EXPECT_EQ(gcedSetStatusBarProgressMeterPos(3), -1);  // no meter shown
    gcedSetStatusBarProgressMeter(L"下载", 0, 10);
    gcedSetStatusBarProgressMeterPos(4);
    EXPECT_TRUE(standin::StatusBarProgress().shown);
    EXPECT_EQ(standin::StatusBarProgress().pos, 4);
    EXPECT_EQ(standin::StatusBarProgress().label, L"下载");
    gcedRestoreStatusBar();
    EXPECT_FALSE(standin::StatusBarProgress().shown);
    EXPECT_EQ(standin::RestoreStatusBarCount(), 1);
}
