// Tracks from curves and polylines, point sets and the pieces of split
// tracks.
#include <cmath>

#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "send_fixture.h"

namespace {

using velkpeer::DecodedObject;

TEST_F(SendTest, CurvesGiveTheirDefiningPoints)
{
    OdDbLine nothing(OdGePoint3d(0, 0, 0), OdGePoint3d(0, 0, 0));
    EXPECT_TRUE(Convert(&nothing).empty());
    OdDbLine line(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 2.7));
    DecodedObject l = ConvertOne(&line);
    ASSERT_EQ(l.points.size(), 2u);
    EXPECT_EQ(l.points[1].x, 1.0);
    EXPECT_EQ(l.points[1].elevation, 2);
    EXPECT_TRUE(StartsWith(l.name, "Track_"));
    EXPECT_EQ(l.coordMode, 2);

    // A full ellipse runs from 0 to just short of 360 degrees.
    OdDbEllipse full(OdGePoint3d(10, 20, 0), OdGeVector3d(0, 0, 1), OdGeVector3d(4, 0, 0), 0.5);
    DecodedObject e = ConvertOne(&full);
    EXPECT_EQ(e.shapeType, 9);
    ASSERT_EQ(e.points.size(), 3u);
    EXPECT_EQ(e.points[1].x, 14.0);
    EXPECT_EQ(e.points[2].y, 22.0);
    EXPECT_EQ(e.points[0].angle, 0.0);
    EXPECT_NEAR(e.points[1].angle, 359.99998998, 1e-7);
    // Seen from below, the parameters are mirrored and swapped.
    OdDbEllipse below(OdGePoint3d(0, 0, 0), OdGeVector3d(0, 0, -1), OdGeVector3d(4, 0, 0), 0.5, 0.5, 1.0);
    double s = 0, t = 0;
    below.getStartParam(s);
    below.getEndParam(t);
    e = ConvertOne(&below);
    const double turn = 6.2831854820251465, toDegrees = 180.0 / 3.1415927410125732;
    EXPECT_NEAR(e.points[0].angle, (turn - t) * toDegrees, 1e-9);
    EXPECT_NEAR(e.points[1].angle, (turn - s) * toDegrees, 1e-9);

    OdGePoint3dArray control;
    for (int i = 0; i < 5; ++i) control.append(OdGePoint3d(i, i % 2, 0));
    OdGeDoubleArray knots;
    for (double k : {0., 0., 0., 0., 0.5, 1., 1., 1., 1.}) knots.append(k);
    OdDbSpline spline(3, false, false, false, control, knots, OdGeDoubleArray());
    DecodedObject sp = ConvertOne(&spline);
    EXPECT_EQ(sp.shapeType, 10);
    ASSERT_EQ(sp.points.size(), 5u);
    EXPECT_EQ(sp.points[3].y, 1.0);
}

TEST_F(SendTest, PolylinesSendVerticesBulgesAndWidths)
{
    OdDbPolyline open;
    open.addVertexAt(0, OdGePoint2d(0, 0), 0.5, 0.5, 0.5);
    open.addVertexAt(1, OdGePoint2d(10, 0), 0, 0.5, 0.5);
    DecodedObject o = ConvertOne(&open);
    EXPECT_EQ(o.width, 50u);
    ASSERT_EQ(o.points.size(), 2u);
    EXPECT_EQ(o.points[0].angle, 0.5);
    EXPECT_EQ(o.points[1].angle, 0.0);
    open.setWidthsAt(1, 0, 0);  // no longer constant: the first segment's start
    EXPECT_EQ(ConvertOne(&open).width, 50u);
    open.setWidthsAt(0, 0, 0);
    EXPECT_EQ(ConvertOne(&open).width, 3u);

    // Closed: the first vertex again at the end, the closing arc kept on the
    // last vertex. A repeated last vertex keeps its place.
    OdDbPolyline closed;
    const double xs[] = {0, 10, 10, 0}, ys[] = {0, 0, 10, 10};
    for (unsigned i = 0; i < 4; ++i) closed.addVertexAt(i, OdGePoint2d(xs[i], ys[i]), i == 3 ? 0.25 : 0.0);
    closed.setClosed(true);
    DecodedObject c = ConvertOne(&closed);
    ASSERT_EQ(c.points.size(), 5u);
    EXPECT_EQ(c.points[4].x, 0.0);
    EXPECT_EQ(c.points[4].y, 0.0);
    EXPECT_EQ(c.points[3].angle, 0.25);
    OdDbPolyline repeated;
    repeated.addVertexAt(0, OdGePoint2d(0, 0));
    repeated.addVertexAt(1, OdGePoint2d(5, 0));
    repeated.addVertexAt(2, OdGePoint2d(5, 0));
    DecodedObject r = ConvertOne(&repeated);
    ASSERT_EQ(r.points.size(), 2u);
    EXPECT_EQ(r.points[1].x, 5.0);

    // 2-D and 3-D polylines need three vertices; the control vertices of a
    // spline frame only shape the curve and stay home, the vertices fitted
    // on the curve go.
    OdGePoint3dArray two;
    two.append(OdGePoint3d(1, 1, 0));
    two.append(OdGePoint3d(2, 2, 0));
    OdDb2dPolyline short2d(OdDb::k2dSimplePoly, two, 0.0, false, 2.0, 2.0);
    EXPECT_TRUE(Convert(&short2d).empty());
    short2d.appendVertex(OdGePoint3d(3, 1, 0), 0.0, 0, 0, OdDb::k2dSplineCtlVertex);
    EXPECT_TRUE(Convert(&short2d).empty());
    short2d.appendVertex(OdGePoint3d(4, 4, 0), 0.3, 0, 0, OdDb::k2dCurveFitVertex);
    DecodedObject p2 = ConvertOne(&short2d);
    EXPECT_EQ(p2.width, 3u);
    ASSERT_EQ(p2.points.size(), 3u);
    EXPECT_EQ(p2.points[2].x, 4.0);
    EXPECT_EQ(p2.points[2].angle, 0.3);
    OdDb3dPolyline spatial(OdDb::k3dSimplePoly, two, true);
    spatial.appendVertex(OdGePoint3d(9, 9, 9), OdDb::k3dControlVertex);
    DecodedObject p3 = ConvertOne(&spatial);
    ASSERT_EQ(p3.points.size(), 3u);  // two vertices and the closing copy
    EXPECT_EQ(p3.points[2].x, 1.0);

    OdDbMline mline;
    for (double x : {0., 5., 9.}) mline.appendSeg(OdGePoint3d(x, 1, 0));
    mline.setClosedMline(true);
    EXPECT_EQ(ConvertOne(&mline).points.size(), 4u);
}

TEST_F(SendTest, NewPointsSelectedTogetherBecomeOnePointSet)
{
    uint64_t a = AddEntity(new OdDbPoint(OdGePoint3d(500000, 3000000, 0)));
    uint64_t b = AddEntity(new OdDbPoint(OdGePoint3d(500010, 3000020, 4)));
    SendSelected({a, b});
    DecodedObject set = OnlyObject();
    EXPECT_EQ(set.shapeType, 6);
    EXPECT_TRUE(StartsWith(set.name, "Track_"));
    EXPECT_EQ(set.colour, 0u);
    ASSERT_EQ(set.points.size(), 2u);
    EXPECT_EQ(set.points[1].y, 3000020.0);
    // The answer moves the temporary group to the peer's id: both points
    // are linked to the set as its pieces.
    ASSERT_TRUE(LinkOf(a) && LinkOf(b));
    EXPECT_EQ(LinkOf(a)->peerId, set.id);
    EXPECT_EQ(LinkOf(b)->join, 1);
    ASSERT_EQ(g_ptagDocIdManager->pointGroups.count(set.id), 1u);
    EXPECT_EQ(g_ptagDocIdManager->pointGroups.size(), 1u);
    EXPECT_EQ(set.handle, set.handle & 0x7FFFFFFF);
    // The set's name stays with the group and the points' links (which the
    // drawing saves), so a later resend, or one after reopening the
    // drawing, does not rename it.
    MapObjInfo* group = g_ptagDocIdManager->pointGroups[set.id]->info;
    ASSERT_NE(group, nullptr);
    const std::wstring sentName(set.name.begin(), set.name.end());  // ASCII
    EXPECT_STREQ(group->name.GetString(), sentName.c_str());
    EXPECT_STREQ(LinkOf(a)->name.GetString(), sentName.c_str());
    EXPECT_STREQ(LinkOf(b)->name.GetString(), sentName.c_str());

    // Sent again, the set keeps its object and its name.
    std::string name = set.name;
    SendSelected({a});
    DecodedObject again = OnlyObject();
    EXPECT_EQ(again.id, set.id);
    EXPECT_EQ(again.name, name);
    EXPECT_EQ(again.handle, set.id);
}

TEST_F(SendTest, ALoneNewPointIsNeitherSentNorErased)
{
    uint64_t a = AddEntity(new OdDbPoint(OdGePoint3d(5, 5, 0)));
    uint64_t line = AddLine(0, 0, 10, 10);
    SendSelected({a, line});
    ASSERT_EQ(MapObjects().size(), 1u);
    EXPECT_EQ(MapObjects()[0].shapeType, 5);
    EXPECT_FALSE(IdOf(a).isErased());
    EXPECT_TRUE(g_ptagDocIdManager->pointGroups.empty());
    EXPECT_EQ(LinkOf(a), nullptr);
}

TEST_F(SendTest, PiecesOfASplitTrackGoAsOneTrackWithBreakMarks)
{
    // A track the peer knows as 4711, drawn as three polylines.
    const uint32_t track = 4711;
    std::vector<uint64_t> pieces;
    for (int i = 0; i < 3; ++i) {
        auto* pl = new OdDbPolyline();
        pl->addVertexAt(0, OdGePoint2d(i * 10, 0));
        pl->addVertexAt(1, OdGePoint2d(i * 10 + 5, 5), 0.1 * i);
        pl->addVertexAt(2, OdGePoint2d(i * 10 + 8, 0));
        pieces.push_back(AddEntity(pl));
        auto* link = new MapObjInfo();
        link->handle = pieces.back();
        link->peerId = track;
        link->join = 1;
        SetEntityLink(g_ptagDocIdManager->links, link->handle, link, 1);
        MapObjInfo member = *link;
        member.name = L"河道";
        member.remark = L"三段";
        SetLinkGroup(g_ptagDocIdManager->pieceGroups, track, &member, 0);
    }
    SendSelected({pieces[2], pieces[0]});
    DecodedObject t = OnlyObject();
    EXPECT_EQ(t.handle, track);
    EXPECT_EQ(t.name, "河道");
    EXPECT_EQ(t.remark, "三段");
    EXPECT_EQ(t.shapeType, 5);
    ASSERT_EQ(t.points.size(), 9u);
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(t.points[i].elevation, i == 3 || i == 6 ? 65536 : 0) << i;
    EXPECT_EQ(t.points[4].angle, 0.1);
    // The peer's id comes back to every piece.
    for (uint64_t h : pieces) EXPECT_EQ(LinkOf(h)->peerId, t.id);
}

TEST_F(SendTest, AFlatPolylinePieceOfASplitTrackGoesWithItsTrack)
{
    // A track the peer knows as 4711, drawn as a lightweight polyline and a
    // 2-D polyline (one the user converted).
    const uint32_t track = 4711;
    auto* light = new OdDbPolyline();
    light->addVertexAt(0, OdGePoint2d(0, 0));
    light->addVertexAt(1, OdGePoint2d(5, 5));
    OdGePoint3dArray vertices;
    vertices.append(OdGePoint3d(10, 0, 0));
    vertices.append(OdGePoint3d(15, 5, 0));
    OdGeDoubleArray bulges;
    bulges.append(0.2);
    bulges.append(0.0);
    auto* flat = new OdDb2dPolyline(OdDb::k2dSimplePoly, vertices, 0.0, false, 0.0, 0.0, &bulges);
    std::vector<uint64_t> pieces = {AddEntity(light), AddEntity(flat)};
    for (uint64_t h : pieces) {
        auto* link = new MapObjInfo();
        link->handle = h;
        link->peerId = track;
        link->join = 1;
        SetEntityLink(g_ptagDocIdManager->links, h, link, 1);
        MapObjInfo member = *link;
        member.name = L"渠";
        SetLinkGroup(g_ptagDocIdManager->pieceGroups, track, &member, 0);
    }
    // The edited 2-D piece alone brings the whole track, not a track of its
    // own under the track's id.
    SendSelected({pieces[1]});
    DecodedObject t = OnlyObject();
    EXPECT_EQ(t.handle, track);
    EXPECT_EQ(t.name, "渠");
    ASSERT_EQ(t.points.size(), 4u);
    EXPECT_EQ(t.points[2].x, 10.0);
    EXPECT_EQ(t.points[2].elevation, 65536);
    EXPECT_EQ(t.points[2].angle, 0.2);
    EXPECT_EQ(LinkOf(pieces[1])->peerId, t.id);
    EXPECT_EQ(LinkOf(pieces[1])->join, 1);
}

}  // namespace
