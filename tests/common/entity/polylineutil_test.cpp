#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/lineutil.h"
#include "common/entity/polylineutil.h"
#include "common/entity/regionutil.h"
#include "common/entity/splineutil.h"
#include "drawing_fixture.h"
#include "oddbhatch.h"

namespace {

using PolylineTest = DrawingTest;

std::vector<OdGePoint2d> Vertices(const OdDbPolyline* pl)
{
    std::vector<OdGePoint2d> v;
    for (unsigned int i = 0; i < pl->numVerts(); ++i) {
        OdGePoint2d p;
        pl->getPointAt(i, p);
        v.push_back(p);
    }
    return v;
}

OdDbPolyline Square(double size)
{
    OdDbPolyline pl;
    OdGePoint2d c[4] = {{0, 0}, {size, 0}, {size, size}, {0, size}};
    for (unsigned int i = 0; i < 4; ++i) pl.addVertexAt(i, c[i]);
    pl.setClosed(true);
    return pl;
}

}  // namespace

TEST_F(PolylineTest, ShapesHaveTheirVerticesWidthsAndBulges)
{
    EntityProps props;
    auto* pl = OpenRead<OdDbPolyline>(CPolylineUtil::AddRectangle(OdGePoint2d(5, 1), OdGePoint2d(0, 3), 0.5, props));
    EXPECT_EQ(Vertices(pl), (std::vector<OdGePoint2d>{{0, 1}, {5, 1}, {5, 3}, {0, 3}}));
    EXPECT_TRUE(pl->isClosed());
    double sw, ew;
    pl->getWidthsAt(3, sw, ew);
    EXPECT_EQ(sw, 0.5);
    EXPECT_EQ(ew, 0.5);
    pl->close();

    pl = OpenRead<OdDbPolyline>(CPolylineUtil::AddPolyArc(OdGePoint2d(1, 1), 2, 0, M_PI, 0, props));
    EXPECT_NEAR(pl->getBulgeAt(0), 1.0, 1e-12);
    EXPECT_FALSE(pl->isClosed());
    EXPECT_NEAR(Vertices(pl)[1].x, -1, 1e-12);
    pl->close();

    pl = OpenRead<OdDbPolyline>(CPolylineUtil::AddPolyCircle(OdGePoint2d(0, 0), 2, 0, props));
    EXPECT_EQ(pl->numVerts(), 3u);
    EXPECT_TRUE(pl->isClosed() && pl->getBulgeAt(2) == 1.0);
    double length;
    double end;
    pl->getEndParam(end);
    pl->getDistAtParam(end, length);
    EXPECT_NEAR(length, 4 * M_PI, 1e-9);  // the closing segment has length 0
    pl->close();

    OdDbObjectId seg = CPolylineUtil::AddSegment(OdGePoint2d(0, 0), OdGePoint2d(3, 4), props, 0);
    pl = OpenRead<OdDbPolyline>(seg);
    EXPECT_EQ(pl->numVerts(), 2u);
    pl->close();

    auto* p3 = OpenRead<OdDb3dPolyline>(
        CPolylineUtil::Add3dPolyline(OdGePoint3dArray{{0, 0, 0}, {1, 1, 1}, {2, 0, 5}}, props));
    EXPECT_EQ(p3->numVerts(), 3);
    EXPECT_FALSE(p3->isClosed());
    EXPECT_EQ(p3->polyType(), OdDb::k3dSimplePoly);
    p3->close();
}

TEST_F(PolylineTest, PolygonIsClosedThenRotated)
{
    EntityProps props;
    auto* pl = OpenRead<OdDbPolyline>(CPolylineUtil::AddPolygon(OdGePoint2d(1, 1), 4, 2, M_PI / 2, 0, props));
    EXPECT_TRUE(pl->isClosed());
    auto v = Vertices(pl);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0].x, 1, 1e-12);  // (3, 1) turned a quarter about (1, 1)
    EXPECT_NEAR(v[0].y, 3, 1e-12);
    pl->close();
    EXPECT_TRUE(CPolylineUtil::AddPolygon(OdGePoint2d(), 2, 1, 0, 0, props).isNull());
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds().length(), 1);
}

TEST_F(PolylineTest, PointRelationToAClosedPolyline)
{
    OdDbPolyline sq = Square(10);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(5, 5), 1e-6), 1);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(15, 5), 1e-6), -1);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(10, 5.0000001), 1e-6), 0);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(10, 10), 1e-6), 0);
    // The ray from (-5, -5) away from the nearest point (0, 0) goes through
    // no edge; from (15, 15) likewise; (5, 9) meets the top edge only.
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(-5, -5), 1e-6), -1);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&sq, OdGePoint2d(5, 9), 1e-6), 1);

    // Inside a triangle the ray away from the base runs through the apex:
    // it is turned and meets one slanted edge.
    OdDbPolyline tri;
    OdGePoint2d t[3] = {{0, 0}, {10, 0}, {5, 10}};
    for (unsigned int i = 0; i < 3; ++i) tri.addVertexAt(i, t[i]);
    tri.setClosed(true);
    OdGePoint3dArray hits;
    CPolylineUtil::IntersectWithRay(&tri, OdGeRay2d(OdGePoint2d(5, 2), OdGePoint2d(5, 3)), hits, 1e-4);
    ASSERT_EQ(hits.length(), 1);  // both slanted edges meet it there, counted once
    EXPECT_TRUE(CPolylineUtil::IsVertex(&tri, OdGePoint2d(hits[0].x, hits[0].y), 1e-4));
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&tri, OdGePoint2d(5, 2), 1e-6), 1);
    EXPECT_EQ(CPolylineUtil::PtRelationToPoly(&tri, OdGePoint2d(5, 10), 1e-6), 0);
}

TEST_F(PolylineTest, RayIntersectionsCoverBulgesAndTheClosingSegment)
{
    OdDbPolyline pl;
    pl.addVertexAt(0, OdGePoint2d(0, 0), -1.0);  // half circle above (1, 0)
    pl.addVertexAt(1, OdGePoint2d(2, 0));
    pl.setElevation(3);
    OdGePoint3dArray hits;
    OdGeRay2d up(OdGePoint2d(1, -5), OdGePoint2d(1, 0));
    CPolylineUtil::IntersectWithRay(&pl, up, hits, 1e-4);
    ASSERT_EQ(hits.length(), 1);  // open: the chord is no segment
    ExpectNear(hits[0], 1, 1, 3);
    pl.setClosed(true);
    CPolylineUtil::IntersectWithRay(&pl, up, hits, 1e-4);
    EXPECT_EQ(hits.length(), 2);
}

TEST_F(PolylineTest, SplineKnotsFollowTheFixedScheme)
{
    EntityProps props;
    auto knotsOf = [&](int n, int order) {
        OdGePoint3dArray ctrl;
        for (int i = 0; i < n; ++i) ctrl.append(OdGePoint3d(i, i % 2, 0));
        OdDbObjectId id = CSplineUtil::Add(ctrl, props, order);
        if (id.isNull()) return std::vector<double>{-1};
        auto* sp = OpenRead<OdDbSpline>(id);
        std::vector<double> k(sp->knots().begin(), sp->knots().end());
        sp->close();
        return k;
    };
    EXPECT_EQ(knotsOf(3, 3), (std::vector<double>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(knotsOf(6, 4), (std::vector<double>{0, 0, 0, 0, 1, 2, 3, 3, 3, 3}));
    EXPECT_EQ(knotsOf(4, 4), (std::vector<double>{0, 0, 0, 0, 1, 1, 1, 1}));
    // Tracks of two or three points at order 4 get a lower degree.
    EXPECT_EQ(knotsOf(2, 4), (std::vector<double>{0, 0, 1, 1}));
    EXPECT_EQ(knotsOf(3, 4), (std::vector<double>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(knotsOf(1, 4), (std::vector<double>{-1}));
    EXPECT_EQ(knotsOf(4, 3), (std::vector<double>{-1}));  // the host refuses these knots
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds().length(), 5);

    OdDbObjectId fit = CSplineUtil::AddByFitPoints(OdGePoint3dArray{{0, 0, 0}, {1, 2, 0}, {3, 1, 0}},
                                                   OdGeVector3d(), OdGeVector3d(), props, 4, 0.0);
    auto* sp = OpenRead<OdDbSpline>(fit);
    EXPECT_EQ(sp->numFitPoints(), 3);
    sp->close();
}

TEST(SplinePoints, ThirtySamplesPerControlPoint)
{
    OdGeNurbCurve2d spline(3, OdGeDoubleArray{0, 0, 0, 0, 1, 1, 1, 1},
                           OdGePoint2dArray{{0, 0}, {1, 2}, {3, 2}, {4, 0}});
    OdGePoint3dArray pts;
    CSplineUtil::GetSplinePoints(spline, pts, true);
    ASSERT_EQ(pts.length(), 120);
    ExpectNear(pts[0], 0, 0, 0);
    ExpectNear(pts.last(), 4, 0, 0);
    pts.clear();
    CSplineUtil::GetSplinePoints(spline, pts, false);
    EXPECT_EQ(pts.length(), 119);
}

TEST_F(PolylineTest, LinesAndSides)
{
    EntityProps props;
    OdDbDatabase other;
    OdDbObjectId id = CLineUtil::Add(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 2, 3), props, &other);
    EXPECT_EQ(id.database(), &other);
    OdGePoint3d a(0, 0, 0), b(1, 0, 0);
    EXPECT_EQ(CLineUtil::GetPointSide(a, b, OdGePoint3d(0, 1, 0), 1e-9), 1);
    EXPECT_EQ(CLineUtil::GetPointSide(a, b, OdGePoint3d(0, -1, 0), 1e-9), -1);
    EXPECT_EQ(CLineUtil::GetPointSide(a, b, OdGePoint3d(2, 0, 0), 1e-9), 0);
    EXPECT_TRUE(CLineUtil::IsCollinear(a, b, OdGePoint3d(5, 0.000001, 9)));
    EXPECT_FALSE(CLineUtil::IsCollinear(a, b, OdGePoint3d(5, 0.001, 0)));
}

TEST_F(PolylineTest, RegionsFromCurvesKeepTheCurvesAndSkipOtherEntities)
{
    EntityProps props;
    props.layer = L"Areas";
    EntityProps plain;
    OdDbObjectIdArray ids;
    ids.append(CLineUtil::Add(OdGePoint3d(0, 0, 0), OdGePoint3d(4, 0, 0), plain, db_));
    ids.append(CLineUtil::Add(OdGePoint3d(4, 0, 0), OdGePoint3d(0, 3, 0), plain, db_));
    ids.append(CLineUtil::Add(OdGePoint3d(0, 3, 0), OdGePoint3d(0, 0, 0), plain, db_));
    ids.append(CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), plain));
    OdDbObjectIdArray regions = CRegionUtil::Add(ids, props);
    ASSERT_EQ(regions.length(), 1);
    auto* region = OpenRead<OdDbRegion>(regions[0]);
    EXPECT_NEAR(region->area(), 6, 1e-9);
    EXPECT_EQ(region->layer(), L"Areas");
    region->close();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(ids[i].isErased());

    OdDbObjectIdArray open{ids[0], ids[1]};
    EXPECT_TRUE(CRegionUtil::Add(open, props).isEmpty());
}
