// Received tracks and multi-part objects: the kinds of curve each makes,
// pieces and point sets linked as groups, and degenerate input.
#include <cmath>

#include "receive_fixture.h"

namespace {

using velkpeer::PeerPoint;
using velkpeer::PeerTrack;
using ReceiveTrackTest = ReceiveTest;

PeerTrack Track(uint8_t type, std::vector<PeerPoint> points)
{
    PeerTrack t;
    t.name = "river";
    t.remark = "north bank";
    t.shapeType = type;
    t.points = std::move(points);
    return t;
}

const double kDegree = 3.1415927410125732 / 180;

}  // namespace

TEST_F(ReceiveTrackTest, BreakMarksSplitATrackIntoLinkedPieces)
{
    uint32_t id = Put(Track(5, {{0, 0}, {10, 0}, {10, 5, 65536}, {20, 5}}));
    ASSERT_TRUE(Receive({id}));
    auto pieces = All<OdDbPolyline>();
    ASSERT_EQ(pieces.size(), 2u);
    {
        Reading<OdDbPolyline> first(pieces[0]), second(pieces[1]);
        ASSERT_EQ(first->numVerts(), 2u);
        ASSERT_EQ(second->numVerts(), 2u);
        OdGePoint2d p;
        second->getPointAt(0, p);
        EXPECT_EQ(p, OdGePoint2d(10, 5));
    }
    // The pieces are linked through the group of the peer id, not as the
    // track's one entity.
    EXPECT_EQ(drawing->peerEntities.count(id), 0u);
    ASSERT_EQ(drawing->pieceGroups.count(id), 1u);
    const MapObjGroup* group = drawing->pieceGroups.at(id);
    EXPECT_EQ(group->handles, (std::vector<uint64_t>{HandleOf(pieces[0]), HandleOf(pieces[1])}));
    for (auto piece : pieces) {
        const MapObjInfo* link = LinkOf(piece);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->peerId, id);
        EXPECT_EQ(link->join, 1);
        EXPECT_EQ(link->saved, 0);
        EXPECT_EQ(link->name, L"river");
        EXPECT_EQ(link->remark, L"north bank");
    }

    // With heights the pieces are 3-D; the mark stands where the first
    // point's height would be, so that point takes its neighbour's.
    id = Put(Track(5, {{0, 0, 7}, {1, 0, 8}, {2, 0, 65536}, {3, 0, 9}}));
    ASSERT_TRUE(Receive({id}));
    auto solid = All<OdDb3dPolyline>();
    ASSERT_EQ(solid.size(), 2u);
    Reading<OdDb3dPolyline> second(solid[1]);
    OdGePoint3d v;
    second->getVertexAt(0, v);
    EXPECT_EQ(v, OdGePoint3d(2, 0, 9));
}

TEST_F(ReceiveTrackTest, HeightsAndBulgesChooseThePolyline)
{
    uint32_t flat = Put(Track(5, {{0, 0, 10}, {10, 0, 20}}));
    PeerTrack curved = Track(5, {{0, 0, 10}, {10, 0, 20}});
    curved.points[0].angle = 0.5;
    uint32_t bulged = Put(curved);
    ASSERT_TRUE(Receive({flat, bulged}));

    auto solid = All<OdDb3dPolyline>();
    ASSERT_EQ(solid.size(), 1u);
    EXPECT_EQ(drawing->peerEntities.at(flat), HandleOf(solid[0]));
    {
        Reading<OdDb3dPolyline> pl(solid[0]);
        OdGePoint3d a, b;
        pl->getVertexAt(0, a);
        pl->getVertexAt(1, b);
        EXPECT_EQ(a, OdGePoint3d(0, 0, 10));
        EXPECT_EQ(b, OdGePoint3d(10, 0, 20));
    }
    auto plane = All<OdDbPolyline>();
    ASSERT_EQ(plane.size(), 1u);
    Reading<OdDbPolyline> pl(plane[0]);
    EXPECT_DOUBLE_EQ(pl->elevation(), 15);
    EXPECT_DOUBLE_EQ(pl->getBulgeAt(0), 0.5);
    EXPECT_FALSE(pl->hasWidth());
}

TEST_F(ReceiveTrackTest, CirclesAndArcsComeFromTheirAngles)
{
    PeerTrack circle = Track(7, {{5, 5, 3}, {8, 9}});
    circle.points[1].angle = 360;
    PeerTrack sent = circle;  // a full turn as this module writes it
    sent.points[1].angle = 359.99998998;
    PeerTrack arc = circle;
    arc.points[0].angle = 30;
    arc.points[1].angle = 120;
    PeerTrack ellipseArc = arc;  // two points: the same as type 7
    ellipseArc.shapeType = 9;
    ASSERT_TRUE(Receive({Put(circle), Put(sent), Put(arc), Put(ellipseArc)}));

    auto circles = All<OdDbCircle>();
    auto arcs = All<OdDbArc>();
    ASSERT_EQ(circles.size(), 2u);
    ASSERT_EQ(arcs.size(), 2u);
    for (auto id : circles) {
        Reading<OdDbCircle> c(id);
        EXPECT_EQ(c->center(), OdGePoint3d(5, 5, 3));
        EXPECT_DOUBLE_EQ(c->radius(), 5);
    }
    for (auto id : arcs) {
        Reading<OdDbArc> a(id);
        EXPECT_DOUBLE_EQ(a->radius(), 5);
        EXPECT_NEAR(a->startAngle(), 30 * kDegree, 1e-12);
        EXPECT_NEAR(a->endAngle(), 120 * kDegree, 1e-12);
    }
}

TEST_F(ReceiveTrackTest, AnArcThroughThreePointsRunsCounterClockwise)
{
    // Clockwise points are taken in reverse, so both give the same arc.
    uint32_t cw = Put(Track(7, {{0, 10}, {10, 0}, {0, -10}}));
    uint32_t ccw = Put(Track(7, {{0, -10}, {10, 0}, {0, 10}}));
    uint32_t four = Put(Track(7, {{0, -10}, {10, 0}, {0, 10}, {-10, 0}}));
    ASSERT_TRUE(Receive({cw, ccw, four}));
    auto arcs = All<OdDbArc>();
    ASSERT_EQ(arcs.size(), 2u);
    for (auto id : arcs) {
        Reading<OdDbArc> a(id);
        OdGePoint3d s, e;
        a->getStartPoint(s);
        a->getEndPoint(e);
        EXPECT_TRUE(s.isEqualTo(OdGePoint3d(0, -10, 0), OdGeTol(1e-9)));
        EXPECT_TRUE(e.isEqualTo(OdGePoint3d(0, 10, 0), OdGeTol(1e-9)));
    }
    // Four points make no circle or arc, and no link.
    EXPECT_EQ(drawing->peerEntities.count(four), 0u);
}

TEST_F(ReceiveTrackTest, EllipsesFromCentreAndAxisEnds)
{
    PeerTrack wide = Track(9, {{0, 0}, {10, 0}, {0, 4}});
    wide.points[1].angle = 359.99998998;  // a full ellipse as this module sends it
    // The second axis is the longer one: it becomes the major axis and the
    // arc's angles turn by a quarter with it.
    PeerTrack tall = Track(9, {{0, 0}, {4, 0}, {0, 10}});
    tall.points[0].angle = 10;
    tall.points[1].angle = 100;
    PeerTrack flat = Track(9, {{0, 0}, {0, 0}, {0, 4}});
    ASSERT_TRUE(Receive({Put(wide), Put(tall), Put(flat)}));
    auto ellipses = All<OdDbEllipse>();
    ASSERT_EQ(ellipses.size(), 2u);
    {
        Reading<OdDbEllipse> e(ellipses[0]);
        EXPECT_TRUE(e->majorAxis().isEqualTo(OdGeVector3d(10, 0, 0)));
        EXPECT_DOUBLE_EQ(e->radiusRatio(), 0.4);
        EXPECT_DOUBLE_EQ(e->startAngle(), 0);
        EXPECT_DOUBLE_EQ(e->endAngle(), 2 * M_PI);
    }
    Reading<OdDbEllipse> e(ellipses[1]);
    EXPECT_TRUE(e->majorAxis().isEqualTo(OdGeVector3d(0, 10, 0), OdGeTol(1e-9)));
    EXPECT_DOUBLE_EQ(e->radiusRatio(), 0.4);
    EXPECT_NEAR(e->startAngle(), 10 * kDegree - 1.5707963705062866, 1e-12);
    EXPECT_NEAR(e->endAngle(), 100 * kDegree - 1.5707963705062866, 1e-12);
}

TEST_F(ReceiveTrackTest, WidthStyleAndOpacityReachTheEntity)
{
    PeerTrack wide = Track(1, {{0, 0}, {10, 0}, {10, 10}});
    wide.width = 250;
    wide.lineStyle = 5;
    wide.opacity = 40;
    wide.colour = 0x0000FF;
    PeerTrack thin = wide;
    thin.width = 99;
    thin.lineStyle = 9;  // beyond the table
    ASSERT_TRUE(Receive({Put(wide), Put(thin)}));
    auto lines = All<OdDbPolyline>();
    ASSERT_EQ(lines.size(), 2u);
    Reading<OdDbPolyline> a(lines[0]), b(lines[1]);
    double w = -1;
    ASSERT_EQ(a->getConstantWidth(w), eOk);
    EXPECT_DOUBLE_EQ(w, 2);
    ASSERT_EQ(b->getConstantWidth(w), eOk);
    EXPECT_DOUBLE_EQ(w, 0);
    EXPECT_EQ(a->linetype(), L"DASHED");
    EXPECT_EQ(b->linetype(), L"Continuous");
    EXPECT_EQ(a->transparency().alpha(), 102);  // 254 x 40 %
    EXPECT_EQ(a->color().red(), 0xFF);
    EXPECT_EQ(a->color().blue(), 0);
}

TEST_F(ReceiveTrackTest, APointSetReceivedTwiceKeepsOnlyTheSecond)
{
    PeerTrack set = Track(6, {{1, 1}, {2, 2}, {3, 3, 4}});
    uint32_t id = Put(set);
    ASSERT_TRUE(Receive({id}));
    ASSERT_EQ(All<OdDbPoint>().size(), 3u);
    ASSERT_TRUE(Receive({id}));
    auto points = All<OdDbPoint>();
    ASSERT_EQ(points.size(), 3u);
    const MapObjGroup* group = drawing->pointGroups.at(id);
    ASSERT_EQ(group->handles.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(group->handles[i], HandleOf(points[i]));
        EXPECT_EQ(LinkOf(points[i])->peerId, id);
    }
    Reading<OdDbPoint> last(points[2]);
    EXPECT_EQ(last->position(), OdGePoint3d(3, 3, 4));
}

TEST_F(ReceiveTrackTest, MultiPartObjectsBecomeOneOpenPolyline)
{
    velkpeer::PeerMultiPart m;
    m.name = "parcel";
    m.parts = {{{0, 0}, {1, 0}, {1, 1}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}};
    m.colour = 0x00FF00;
    velkpeer::PeerMultiPart none;
    uint32_t id = Put(m);
    uint32_t empty = Put(none);
    ASSERT_TRUE(Receive({id, empty}));
    auto lines = All<OdDbPolyline>();
    ASSERT_EQ(lines.size(), 1u);
    Reading<OdDbPolyline> pl(lines[0]);
    EXPECT_EQ(pl->numVerts(), 7u);
    EXPECT_FALSE(pl->isClosed());
    OdGePoint2d p;
    pl->getPointAt(3, p);
    EXPECT_EQ(p, OdGePoint2d(5, 5));
    EXPECT_EQ(pl->color().green(), 0xFF);
    EXPECT_EQ(pl->transparency().alpha(), 254);
    EXPECT_EQ(LinkOf(lines[0])->name, L"parcel");
    EXPECT_EQ(drawing->peerEntities.count(empty), 0u);
}

TEST_F(ReceiveTrackTest, DegenerateTracksMakeNothing)
{
    std::vector<uint32_t> ids = {
        Put(Track(5, {})),
        Put(Track(5, {{1, 1}})),
        Put(Track(7, {{1, 1}, {1, 1}})),             // no radius
        Put(Track(9, {{1, 1}, {4, 1}, {1, 1}})),     // no second axis
        Put(Track(10, {{1, 1}})),
    };
    ASSERT_TRUE(Receive(ids));
    EXPECT_EQ(EntityCount(), 0u);
    EXPECT_TRUE(drawing->peerEntities.empty());
    EXPECT_TRUE(drawing->links.empty());
}

TEST_F(ReceiveTrackTest, ATrackThatChangesItsFormReplacesWhatShowedItBefore)
{
    // Pieces, then one line, then a point set, then pieces again: each
    // receipt leaves only what the last one made, all linked to the id.
    const PeerTrack forms[] = {Track(5, {{0, 0}, {1, 0}, {2, 0, 65536}, {3, 0}}), Track(5, {{0, 0}, {5, 5}}),
                               Track(6, {{1, 1}, {2, 2}, {3, 3}}), Track(5, {{0, 0}, {1, 0}, {2, 0, 65536}, {3, 0}})};
    const size_t made[] = {2, 1, 3, 2};
    uint32_t id = Put(forms[0]);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(peer->ObjectStore().Change(id, velkpeer::EncodeTrack(forms[i])));
        ASSERT_TRUE(Receive({id}));
        ASSERT_EQ(EntityCount(), made[i]);
        EXPECT_EQ(drawing->links.size(), made[i]);
        for (const auto& [handle, link] : drawing->links) EXPECT_EQ(link->peerId, id);
    }
}
