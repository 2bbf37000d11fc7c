#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/entity/lineutil.h"
#include "common/symboltable/viewutil.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"

namespace {

void SetView(double cx, double cy, double height, double sx, double sy)
{
    standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(cx, cy, 0));
    standin::SetSysVarReal(L"VIEWSIZE", height);
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(sx, sy, 0));
}

OdDbObjectId Line(double x1, double y1, double x2, double y2)
{
    return CLineUtil::Add(OdGePoint3d(x1, y1, 0), OdGePoint3d(x2, y2, 0), EntityProps(),
                          oddbHostApplicationServices()->workingDatabase());
}

}  // namespace

TEST(ViewExtents, The800By600Example)
{
    SetView(100, 50, 30, 800.7, 600.2);
    ViewExtents e;
    CViewUtil::GetViewExtents(e, 1.0);
    EXPECT_DOUBLE_EQ(e.minX, 100 - 800.7 / 600.2 * 15);
    EXPECT_EQ(e.screenWidth, 800);  // truncated, not rounded
    EXPECT_EQ(e.screenHeight, 600);
    SetView(100, 50, 30, 800, 600);
    CViewUtil::GetViewExtents(e, 1.0);
    EXPECT_DOUBLE_EQ(e.minX, 80);
    EXPECT_DOUBLE_EQ(e.maxX, 120);
    EXPECT_DOUBLE_EQ(e.minY, 35);
    EXPECT_DOUBLE_EQ(e.maxY, 65);
    EXPECT_EQ(e.screenWidth, 800);
    EXPECT_EQ(e.screenHeight, 600);
    CViewUtil::GetViewExtents(e, 2.0);
    EXPECT_DOUBLE_EQ(e.minX, 60);
    EXPECT_DOUBLE_EQ(e.maxX, 140);
    EXPECT_DOUBLE_EQ(e.minY, 20);
    EXPECT_DOUBLE_EQ(e.maxY, 80);
    EXPECT_EQ(e.screenWidth, 800);
    EXPECT_DOUBLE_EQ(CViewUtil::PixelsToDrawingUnits(600), 30);
}

TEST(ViewExtents, AMinimisedHostKeepsTheEdges)
{
    SetView(100, 50, 30, 800, 600);
    ViewExtents e;
    CViewUtil::GetViewExtents(e, 1.0);
    SetView(0, 0, 30, 0, 0);
    CViewUtil::GetViewExtents(e, 1.0);
    EXPECT_DOUBLE_EQ(e.minX, 80);
    EXPECT_DOUBLE_EQ(e.maxY, 65);
    EXPECT_EQ(e.screenWidth, 0);
    EXPECT_EQ(e.screenHeight, 0);
    EXPECT_EQ(CViewUtil::PixelsToDrawingUnits(10), 0);
    OdDbViewTableRecord view;
    CViewUtil::GetCurrentView(view);
    EXPECT_TRUE(std::isfinite(view.width()));
}

TEST(ZoomWindow, ReadingBackGivesTheRectangle)
{
    standin::CreateDocument(L"C:\\d\\a.dwg");
    CViewUtil::ZoomWindow(OdGePoint3d(40, 30, 0), OdGePoint3d(0, 0, 0), 1.0);
    ViewExtents e;
    CViewUtil::GetViewExtents(e, 1.0);
    EXPECT_DOUBLE_EQ(e.minX, 0);
    EXPECT_DOUBLE_EQ(e.minY, 0);
    EXPECT_DOUBLE_EQ(e.maxX, 40);
    EXPECT_DOUBLE_EQ(e.maxY, 30);

    CViewUtil::ZoomWindow(OdGePoint3d(0, 0, 0), OdGePoint3d(40, 30, 0), 2.0);
    CViewUtil::GetViewExtents(e, 1.0);
    EXPECT_DOUBLE_EQ(e.minX, -20);
    EXPECT_DOUBLE_EQ(e.maxY, 45);

    CViewUtil::ZoomWindow(OdGePoint3d(5, 5, 0), OdGePoint3d(5, 5, 0), 1.0);
    EXPECT_EQ(standin::SysVarReal(L"VIEWSIZE"), 0);
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), OdGePoint3d(5, 5, 0));
}

TEST(ZoomWindow, RefusesCornersBeyondTheLimitOrNotFinite)
{
    standin::CreateDocument(L"a");
    CViewUtil::ZoomWindow(OdGePoint3d(1e10, 0, 0), OdGePoint3d(0, 0, 0), 1.0);
    EXPECT_EQ(standin::SetCurrentViewCount(), 1);
    CViewUtil::ZoomWindow(OdGePoint3d(1.0000001e10, 0, 0), OdGePoint3d(0, 0, 0), 1.0);
    CViewUtil::ZoomWindow(OdGePoint3d(0, -1.0000001e10, 0), OdGePoint3d(0, 0, 0), 1.0);
    CViewUtil::ZoomWindow(OdGePoint3d(std::nan(""), 0, 0), OdGePoint3d(1, 1, 0), 1.0);
    CViewUtil::ZoomWindow(OdGePoint3d(0, 0, 0), OdGePoint3d(1, std::numeric_limits<double>::infinity(), 0), 1.0);
    EXPECT_EQ(standin::SetCurrentViewCount(), 1);
}

TEST(ZoomWindow, CornersGoThroughTheDisplaySystem)
{
    standin::CreateDocument(L"a");
    // The display system turned by 90 degrees: world x runs up the screen.
    standin::SetDcs(OdGePoint3d(0, 0, 0), OdGeVector3d(0, -1, 0), OdGeVector3d(1, 0, 0));
    standin::SetUcs(OdGePoint3d(0, 0, 0), OdGeVector3d(0, -1, 0), OdGeVector3d(1, 0, 0));
    CViewUtil::ZoomWindow(OdGePoint3d(0, 0, 0), OdGePoint3d(30, -40, 0), 1.0);
    EXPECT_DOUBLE_EQ(standin::SysVarReal(L"VIEWSIZE"), 30);
}

TEST(ModelSpaceExtents, EmptyGivesTheOriginAndZoomsNowhere)
{
    standin::CreateDocument(L"a");
    EXPECT_EQ(CViewUtil::GetModelSpaceExtents(), OdGePoint3d(0, 0, 0));
    CViewUtil::ZoomExtents();
    EXPECT_EQ(standin::SetCurrentViewCount(), 0);
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    double height = 0;
    {
        OdDbSymbolTableRecordPointer<OdDbViewportTableRecord> vp(L"*ACTIVE", db, OdDb::kForRead);
        ASSERT_EQ(vp.openStatus(), eOk);
        height = vp->height();
    }
    CViewUtil::ZoomActiveViewportExtents(db);  // no extents: not the nonsense of an empty box
    {
        OdDbSymbolTableRecordPointer<OdDbViewportTableRecord> vp(L"*ACTIVE", db, OdDb::kForRead);
        EXPECT_EQ(vp->height(), height);
    }

    Line(0, 0, 40, 10);
    Line(0, 30, 4, 4);
    EXPECT_EQ(CViewUtil::GetModelSpaceExtents(), OdGePoint3d(20, 15, 0));
    CViewUtil::ZoomExtents();
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), OdGePoint3d(20, 15, 0));
    EXPECT_DOUBLE_EQ(standin::SysVarReal(L"VIEWSIZE"), 30);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(ModelSpaceExtents, ActiveViewportGetsTheEnlargedExtents)
{
    OdDbDatabase* db = standin::CreateDocument(L"a")->database();
    Line(0, 0, 40, 10);
    CViewUtil::ZoomActiveViewportExtents(db);
    OdDbSymbolTableRecordPointer<OdDbViewportTableRecord> vp(L"*ACTIVE", db, OdDb::kForRead);
    ASSERT_EQ(vp.openStatus(), eOk);
    EXPECT_EQ(vp->centerPoint(), OdGePoint2d(20, 5));
    EXPECT_DOUBLE_EQ(vp->height(), 12);
    EXPECT_DOUBLE_EQ(vp->width(), 48);
}

TEST(CurrentView, ModeBitsAndPaperSpaceClipDistances)
{
    standin::SetSysVarShort(L"VIEWMODE", 1 | 4 | 16);
    standin::SetSysVarReal(L"FRONTZ", 3);
    standin::SetSysVarReal(L"BACKZ", -2);
    OdDbViewTableRecord view;
    CViewUtil::GetCurrentView(view);
    EXPECT_TRUE(view.perspectiveEnabled());
    EXPECT_FALSE(view.frontClipEnabled());
    EXPECT_TRUE(view.backClipEnabled());
    EXPECT_FALSE(view.frontClipAtEye());
    EXPECT_FALSE(view.isPaperspaceView());
    EXPECT_EQ(view.frontClipDistance(), 3);
    EXPECT_EQ(view.backClipDistance(), -2);

    standin::SetSysVarShort(L"TILEMODE", 0);
    standin::SetSysVarShort(L"CVPORT", 1);
    OdDbViewTableRecord paper;
    CViewUtil::GetCurrentView(paper);
    EXPECT_TRUE(paper.isPaperspaceView());
    EXPECT_EQ(paper.frontClipDistance(), 0);
    EXPECT_EQ(paper.backClipDistance(), 0);
}

TEST(CurrentView, CentreTargetAndDirectionAreConvertedFromTheUserSystem)
{
    // A user system at (100, 0) turned by 90 degrees; the display system is the world's.
    standin::SetUcs(OdGePoint3d(100, 0, 0), OdGeVector3d(0, 1, 0), OdGeVector3d(-1, 0, 0));
    SetView(1, 2, 30, 800, 600);
    standin::SetSysVarPoint(L"TARGET", OdGePoint3d(1, 2, 0));
    standin::SetSysVarPoint(L"VIEWDIR", OdGePoint3d(1, 0, 0));
    standin::SetSysVarReal(L"VIEWTWIST", 0.5);
    OdDbViewTableRecord view;
    CViewUtil::GetCurrentView(view);
    EXPECT_TRUE(view.centerPoint().isEqualTo(OdGePoint2d(98, 1)));
    EXPECT_TRUE(view.target().isEqualTo(OdGePoint3d(98, 1, 0)));
    EXPECT_TRUE(view.viewDirection().isEqualTo(OdGeVector3d(0, 1, 0)));
    EXPECT_DOUBLE_EQ(view.height(), 30);
    EXPECT_DOUBLE_EQ(view.width(), 40);
    EXPECT_EQ(view.lensLength(), 50);
    EXPECT_EQ(view.viewTwist(), 0.5);

    // Centring keeps the size; the host reports the centre in the user system.
    CViewUtil::SetViewCenter(OdGePoint3d(10, 20, 0));
    EXPECT_TRUE(standin::SysVarPoint(L"VIEWCTR").isEqualTo(OdGePoint3d(20, 90, 0)));
    EXPECT_DOUBLE_EQ(standin::SysVarReal(L"VIEWSIZE"), 30);
}

TEST(CurrentDwgFileName, LastComponentBareNameAndNoDocument)
{
    EXPECT_EQ(CViewUtil::GetCurrentDwgFileName(), L"");
    GcApDocument* doc = standin::CreateDocument(L"C:\\work\\plans\\site.dwg");
    EXPECT_EQ(CViewUtil::GetCurrentDwgFileName(), L"site.dwg");
    standin::CloseDocument(doc);
    standin::CreateDocument(L"Drawing1.dwg");
    EXPECT_EQ(CViewUtil::GetCurrentDwgFileName(), L"Drawing1.dwg");
}

namespace {

// The answer is kept for the life of the module, so each case runs in a
// process of its own, where the first call decides. The exit code is the
// first answer times 2 plus the answer after the frame title changed.
void ExpectHostVariant(const wchar_t* prefix, const wchar_t* title, const wchar_t* laterTitle, int first, int later)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            standin::SetSysVarString(L"ACADPREFIX", prefix);
            standin::SetFrameTitle(title);
            int answer = CViewUtil::IsNotCivilHost();
            standin::SetFrameTitle(laterTitle);
            std::exit(answer * 2 + CViewUtil::IsNotCivilHost());
        },
        testing::ExitedWithCode(first * 2 + later), "");
}

}  // namespace

TEST(HostVariant, AMatchAtTheFirstCharacterDoesNotCountAndTheAnswerIsKept)
{
    ExpectHostVariant(L"Civil\\support;", L"Civil", L"Host Civil 2020", 1, 1);
}

TEST(HostVariant, CivilInThePrefixOrElseInTheFrameTitle)
{
    ExpectHostVariant(L"C:\\Civil 3D\\support;", L"Host", L"Host", 0, 0);
    ExpectHostVariant(L"C:\\CADHost\\support;", L"Host Civil 2020", L"Host", 0, 0);
}

TEST(Display, RefreshFlushesThenUpdates)
{
    CViewUtil::RefreshDisplay();  // no drawing: no transaction manager
    EXPECT_EQ(standin::UpdateDisplayCount(), 1);
    OdDbDatabase* db = standin::CreateDocument(L"a")->database();
    CViewUtil::FlushGraphics();
    EXPECT_EQ(db->transactionManager()->flushCount(), 1);
    EXPECT_EQ(standin::UpdateDisplayCount(), 2);
}
