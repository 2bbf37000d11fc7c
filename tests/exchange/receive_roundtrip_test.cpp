// Entities sent to the peer, received back and sent again: the peer keeps
// the same objects, and the records of the second send carry what the first
// carried.
#include <map>

#include "peer_objects.h"
#include "receive_fixture.h"

namespace {

using velkpeer::DecodedObject;
using ReceiveRoundTripTest = ReceiveTest;

// The objects the peer holds that came from entities, by id.
std::map<uint32_t, DecodedObject> SentObjects(const velkpeer::StandinPeer& peer)
{
    std::map<uint32_t, DecodedObject> out;
    for (const DecodedObject& o : velkpeer::DecodeAll(const_cast<velkpeer::StandinPeer&>(peer).ObjectStore()))
        if (o.kind != 30) out[o.id] = o;
    return out;
}

// A received text is half a unit taller than the sign said (kept as the
// peer's texts have always been drawn): its size grows by that much and a
// font step at most.
void ExpectTextSize(const DecodedObject& a, const DecodedObject& b)
{
    EXPECT_EQ(b.level, a.level);
    double step = g_levelResolutionY[a.level] / 1.414;  // one font size in drawing units
    EXPECT_NEAR(b.fontSize * step, a.fontSize * step + 0.5, step);
}

void ExpectSame(const DecodedObject& a, const DecodedObject& b)
{
    SCOPED_TRACE(a.name);
    EXPECT_EQ(b.kind, a.kind);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.remark, a.remark);
    EXPECT_EQ(b.colour, a.colour);
    EXPECT_NEAR(b.x, a.x, 1e-6);
    EXPECT_NEAR(b.y, a.y, 1e-6);
    EXPECT_EQ(b.elevation, a.elevation);
    EXPECT_EQ(b.iconNumber, a.iconNumber);
    EXPECT_EQ(b.textOnly, a.textOnly);
    EXPECT_EQ(b.transparency, a.transparency);
    if (a.kind == 7 && a.signType == kPointSign) {
        // A point sign comes back as the text beside its icon, and goes
        // again as that text: a text sign of the icon's label size.
        EXPECT_EQ(b.signType, kTextSign);
        EXPECT_EQ(b.fontSize, 14u);
        EXPECT_EQ(b.textColour, 0xFFFFFFu);
    } else {
        EXPECT_EQ(b.signType, a.signType);
        EXPECT_EQ(b.textColour, a.textColour);
        if (a.kind == 7) ExpectTextSize(a, b);
    }
    EXPECT_NEAR(b.rotation, a.rotation, 1e-4);
    EXPECT_EQ(b.multiLine, a.multiLine);
    EXPECT_EQ(b.width, a.width);
    EXPECT_EQ(b.opacity, a.opacity);
    EXPECT_EQ(b.shapeType, a.shapeType);
    EXPECT_EQ(b.lineStyle, a.lineStyle);
    EXPECT_EQ(b.outline, a.outline);
    EXPECT_EQ(b.outerRingCount, a.outerRingCount);
    EXPECT_EQ(b.fillColour, a.fillColour);
    EXPECT_EQ(b.fillType, a.fillType);
    EXPECT_EQ(b.fillKind, a.fillKind);
    EXPECT_EQ(b.patternId, a.patternId);
    EXPECT_EQ(b.secondColour, a.secondColour);
    EXPECT_NEAR(b.fillAngle, a.fillAngle, 1e-4);
    EXPECT_NEAR(b.fillScale, a.fillScale, 1e-6);
    ASSERT_EQ(b.points.size(), a.points.size());
    // An arc is drawn again through its three points: its middle moves by
    // the rounding of the circle through them.
    for (size_t i = 0; i < a.points.size(); ++i) {
        EXPECT_NEAR(b.points[i].x, a.points[i].x, 1e-4) << i;
        EXPECT_NEAR(b.points[i].y, a.points[i].y, 1e-4) << i;
        EXPECT_EQ(b.points[i].elevation, a.points[i].elevation) << i;
        EXPECT_NEAR(b.points[i].angle, a.points[i].angle, 1e-6) << i;
    }
}

}  // namespace

TEST_F(ReceiveRoundTripTest, SendReceiveSendKeepsTheObjectsAndTheirFields)
{
    g_settings.pointsAsIcons = 1;
    const double x0 = 500000, y0 = 3000000;
    OdDbObjectIdArray drawn;
    auto add = [&](OdDbEntity* e) {
        e->setDatabaseDefaults(db);
        drawn.append(AppendToModelSpace(db, e));
    };
    add(new OdDbText(OdGePoint3d(x0 + 5, y0 + 15, 0), L"滨江路", OdDbObjectId::kNull, 4.0, 0.0));
    auto* note = new OdDbMText();
    note->setContents(L"一号楼\\P六层");
    note->setLocation(OdGePoint3d(x0 + 140, y0 + 90, 0));
    note->setTextHeight(3);
    add(note);
    add(new OdDbPoint(OdGePoint3d(x0 + 10, y0 + 60, 12)));
    auto* road = new OdDbPolyline();
    road->addVertexAt(0, OdGePoint2d(x0, y0 + 80), 0);
    road->addVertexAt(1, OdGePoint2d(x0 + 40, y0 + 80), 0.4);
    road->addVertexAt(2, OdGePoint2d(x0 + 80, y0 + 95), 0);
    add(road);
    OdGePoint3dArray slope;
    slope.append(OdGePoint3d(x0, y0 + 200, 10)).append(OdGePoint3d(x0 + 30, y0 + 210, 20));
    slope.append(OdGePoint3d(x0 + 60, y0 + 230, 35));
    add(new OdDb3dPolyline(OdDb::k3dSimplePoly, slope));
    add(new OdDbCircle(OdGePoint3d(x0 + 150, y0 + 60, 0), OdGeVector3d(0, 0, 1), 12));
    add(new OdDbArc(OdGePoint3d(x0 + 60, y0 + 40, 0), 25, 0.2, 2.4));
    add(new OdDbEllipse(OdGePoint3d(x0 + 300, y0 + 40, 0), OdGeVector3d(0, 0, 1), OdGeVector3d(20, 0, 0), 0.5));
    auto* yard = new OdDbHatch();
    yard->setPattern(OdDbHatch::kPreDefined, L"ANSI31");
    yard->setPatternScale(2);
    yard->setPatternAngle(M_PI / 4);
    yard->appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, Square(x0 + 20, y0 + 20, 40), OdGeDoubleArray());
    yard->appendLoop(OdDbHatch::kPolyline | OdDbHatch::kDerived | OdDbHatch::kOutermost, Square(x0 + 30, y0 + 28, 10),
                     OdGeDoubleArray());
    add(yard);

    ASSERT_TRUE(ArxOperation::SendObjectsToPeer(drawn));
    std::map<uint32_t, DecodedObject> first = SentObjects(*peer);
    ASSERT_EQ(first.size(), (size_t)drawn.length());
    size_t stored = peer->Objects().size();

    // The peer sends them all back: each replaces the entity it came from.
    std::vector<uint32_t> ids;
    for (auto& [id, o] : first) ids.push_back(id);
    ASSERT_TRUE(Receive(ids));
    OdDbObjectIdArray received;
    for (auto& [peerId, handle] : drawing->peerEntities) received.append(CEntityUtil::HandleToObjectId(OdDbHandle(handle)));
    ASSERT_EQ(received.length(), drawn.length());
    for (auto id : drawn) EXPECT_TRUE(Reading<OdDbEntity>(id) ? false : true);  // the drawn ones are replaced

    ASSERT_TRUE(ArxOperation::SendObjectsToPeer(received));
    EXPECT_EQ(peer->Objects().size(), stored);
    std::map<uint32_t, DecodedObject> second = SentObjects(*peer);
    ASSERT_EQ(second.size(), first.size());
    for (auto& [id, a] : first) {
        ASSERT_EQ(second.count(id), 1u);
        ExpectSame(a, second.at(id));
    }
}

TEST_F(ReceiveRoundTripTest, RotatedTextsComeBackWhereTheyWere)
{
    // One text in each quarter of the turn, and one past the last quarter.
    const double turns[] = {0.5, 2.0, 3.5, 5.0, 6.282};
    OdDbObjectIdArray drawn;
    for (double r : turns) {
        auto* text = new OdDbText(OdGePoint3d(1000 + 100 * r, 2000, 0), L"桥梁", OdDbObjectId::kNull, 6.0, r);
        text->setDatabaseDefaults(db);
        drawn.append(AppendToModelSpace(db, text));
    }
    for (double r : turns) {
        auto* note = new OdDbMText();
        note->setContents(L"一号楼\\P六层");
        note->setLocation(OdGePoint3d(3000 + 100 * r, 2000, 0));
        note->setTextHeight(3);
        note->setRotation(r);
        note->setDatabaseDefaults(db);
        drawn.append(AppendToModelSpace(db, note));
    }
    ASSERT_TRUE(ArxOperation::SendObjectsToPeer(drawn));
    std::map<uint32_t, DecodedObject> sent = SentObjects(*peer);
    std::vector<uint32_t> ids;
    for (auto& [id, o] : sent) ids.push_back(id);

    // Received and sent again, three times over: the sign stays put.
    for (int trip = 0; trip < 3; ++trip) {
        ASSERT_TRUE(Receive(ids));
        OdDbObjectIdArray received;
        for (uint32_t id : ids) received.append(CEntityUtil::HandleToObjectId(OdDbHandle(drawing->peerEntities.at(id))));
        ASSERT_TRUE(ArxOperation::SendObjectsToPeer(received));
        std::map<uint32_t, DecodedObject> again = SentObjects(*peer);
        for (auto& [id, a] : sent) {
            EXPECT_NEAR(again.at(id).x, a.x, 1e-6) << a.rotation << " trip " << trip;
            EXPECT_NEAR(again.at(id).y, a.y, 1e-6) << a.rotation << " trip " << trip;
        }
    }
}
