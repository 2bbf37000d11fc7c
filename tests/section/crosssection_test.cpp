// The cross-section mode: the base line from the peer, its refusals, the
// frame and strips it leaves, the relate point of a geographic peer, and
// objects mapped both ways while the mode is on; the command with its
// dialog and frame.
#include <random>

#include "contour_fixture.h"
#include "exchange/crosssectionmode.h"
#include "peer_objects.h"
#include "section/crosssection.h"
#include "state/relatepoint.h"
#include "state/sectiongeometry.h"

namespace {

const UINT kSettingDialog = 8202;
const wchar_t kFailed[] = L"选择断面基线失败！请重新操作！";
const wchar_t kOffer[] = L"断面参数初始化完毕！\n是否将数据发送到拓岚？";

struct XY {
    double x, y;
    int32_t elevation = 0;
};

class SectionTest : public PeerJobTest {
protected:
    void SetUp() override
    {
        PeerJobTest::SetUp();
        state = &drawing->crossSection;
    }

    uint32_t PutTrack(const std::vector<XY>& points, uint32_t parent = 0)
    {
        velkpeer::PeerTrack t;
        t.name = "基线";
        for (const XY& p : points) t.points.push_back({p.x, p.y, p.elevation, 0});
        return Put(t, parent);
    }
    // The user sends the chosen objects while the mode waits for its base
    // line, and answers the offer to send the drawing's objects.
    void SendBaseLine(const std::vector<uint32_t>& ids, const OdGeExtents3d& range, int mode = 0, int answer = IDNO)
    {
        state->range = range;
        state->chosenMode = mode;
        state->waitingForBaseLine = 1;
        peer->ObjectStore().ChooseForCad(ids);
        standin::QueueMessageBoxAnswer(answer);
        PeerApiGetObjTree(&g_peerApi, 3);
    }
    static OdGeExtents3d Range(double x0, double y0, double x1, double y1)
    {
        return OdGeExtents3d(OdGePoint3d(x0, y0, 0), OdGePoint3d(x1, y1, 0));
    }
    static TrackPoint* Points(const std::vector<XY>& xy)
    {
        auto* p = (TrackPoint*)calloc(xy.size(), sizeof(TrackPoint));
        for (size_t i = 0; i < xy.size(); ++i) {
            p[i].x = xy[i].x;
            p[i].y = xy[i].y;
            p[i].elevation = xy[i].elevation;
        }
        return p;
    }
    static std::vector<XY> Read(const TrackPoint* p, uint32_t n)
    {
        std::vector<XY> out;
        for (uint32_t i = 0; i < n; ++i) out.push_back({p[i].x, p[i].y, p[i].elevation});
        return out;
    }
    // The section of the hand-checked example: base line (1,1)-(11,1), the
    // frame 10 wide (scale 1) with its origin at (100, 230).
    void HandExample()
    {
        SendBaseLine({PutTrack({{1, 1}, {11, 1}})}, Range(100, 200, 110, 230));
        ASSERT_EQ(state->sectionActive, 1);
    }

    CrossSectionState* state = nullptr;
};

void ExpectNear(const XY& a, const XY& b, double tolerance = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_EQ(a.elevation, b.elevation);
}

TEST_F(SectionTest, TheFirstTrackAfterAFolderBecomesTheBaseLine)
{
    uint32_t folder = PutFolder("断面");
    PutTrack({{1, 1}, {11, 1}}, folder);
    SendBaseLine({folder}, Range(100, 200, 110, 230));
    EXPECT_EQ(state->sectionActive, 1);
    EXPECT_EQ(state->waitingForBaseLine, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kOffer});
    EXPECT_EQ(g_sectionFrame.origin, OdGePoint3d(100, 230, 0));
    EXPECT_EQ(g_sectionFrame.farCorner, OdGePoint3d(110, 200, 0));
    EXPECT_EQ(g_sectionFrame.scale, 1.0);
    EXPECT_EQ(g_sectionFrame.width, 10.0);
    EXPECT_EQ(g_sectionFrame.height, 30.0);
    EXPECT_EQ(state->baseLine.totalLength, 10.0);
    ASSERT_EQ(state->strips.size(), 1u);
    EXPECT_EQ(state->strips.front().start, OdGePoint3d(1, 1, 0));

    // The hand-checked point: 3 below the middle of the base line.
    TrackPoint* p = Points({{6, -2, 5}});
    uint32_t n = 1;
    ASSERT_TRUE(MapPointsToSection(state, p, n));
    ASSERT_EQ(n, 1u);
    ExpectNear(Read(p, n)[0], {105, 227, 5});
    ASSERT_TRUE(SectionPointsToPeer(state, p, n));
    ExpectNear(Read(p, n)[0], {6, -2, 5});
    free(p);
}

TEST_F(SectionTest, RefusedBaseLinesLeaveTheModeOffAndTheFrameAsItWas)
{
    HandExample();
    const SectionFrame before = g_sectionFrame;
    const size_t strips = state->strips.size();
    state->sectionActive = 0;
    struct Case {
        std::vector<XY> track;
        OdGeExtents3d range;
        std::wstring message;
    };
    const std::wstring hint = L"\n请点[轨迹设置]-[高级]，然后进行设置";
    const std::vector<Case> cases = {
        {{{0, 0}, {0, 0}, {5, 0}}, Range(0, 0, 50, 10), L"您选择的基线存在重复的轨迹点(第2附近)，请修改轨迹！" + hint},
        {{{0, 0}, {5, 0}, {10, 0}, {10, 0}}, Range(0, 0, 50, 10),
         L"您选择的基线存在重复的轨迹点(第3附近)，请修改轨迹！" + hint},
        // A hairpin folding back on the section's side.
        {{{0, 0}, {10, 0}, {0, -0.5}}, Range(0, 0, 50, 10), L"您选择的基线存在拐角过大的轨迹点(第2附近)，请修改轨迹！" + hint},
        // A frame without width, a base line without length or of one point.
        {{{0, 0}, {10, 0}}, Range(5, 0, 5, 50), kFailed},
        {{{3, 3}, {3, 3}}, Range(0, 0, 50, 10), kFailed},
        {{{3, 3}}, Range(0, 0, 50, 10), kFailed},
    };
    for (const Case& c : cases) {
        const size_t boxes = standin::MessageBoxes().size();
        SendBaseLine({PutTrack(c.track)}, c.range);
        ASSERT_EQ(standin::MessageBoxes().size(), boxes + 1);
        EXPECT_EQ(BoxTexts().back(), c.message);
        EXPECT_EQ(state->sectionActive, 0);
        EXPECT_EQ(g_sectionFrame.origin, before.origin);
        EXPECT_EQ(g_sectionFrame.scale, before.scale);
        EXPECT_EQ(state->strips.size(), strips);
    }

    // Nothing that is a track.
    velkpeer::PeerSign sign;
    sign.name = "点";
    SendBaseLine({Put(sign)}, Range(0, 0, 50, 10));
    EXPECT_EQ(BoxTexts().back(), kFailed);
    EXPECT_EQ(state->sectionActive, 0);
}

TEST_F(SectionTest, BaseLineBuffersAreReadWithinTheirBytes)
{
    // A record header that claims more than the payload holds, and a
    // negative body size: the walk stops inside the payload.
    std::vector<uint8_t> frame(16 + 64 + 64 + 40);
    frame[0] = 101;
    uint32_t total = 64 + 40, huge = 0x7FFFFFF0, kind = 8;
    memcpy(frame.data() + 16, &total, 4);
    memcpy(frame.data() + 80, &huge, 4);
    memcpy(frame.data() + 84, &kind, 4);
    state->range = Range(0, 0, 10, 10);
    OnCrossSectionBaseLine(state, frame.data(), (uint32_t)frame.size());
    EXPECT_EQ(BoxTexts().back(), kFailed);
    int32_t negative = -64;
    memcpy(frame.data() + 80, &negative, 4);
    OnCrossSectionBaseLine(state, frame.data(), (uint32_t)frame.size());
    EXPECT_EQ(BoxTexts().back(), kFailed);
    // The root header's own count beyond the payload.
    uint32_t beyond = 1u << 30;
    memcpy(frame.data() + 16, &beyond, 4);
    OnCrossSectionBaseLine(state, frame.data(), (uint32_t)frame.size());
    OnCrossSectionBaseLine(state, frame.data(), 90);
    EXPECT_EQ(standin::MessageBoxes().size(), 4u);
    EXPECT_EQ(state->sectionActive, 0);
}

TEST_F(SectionTest, SwappedEndsAndABaseLineSentAgainReplaceTheStrips)
{
    state->chosenSwapEnds = 1;
    SendBaseLine({PutTrack({{0, 0}, {10, 0}, {20, 5}})}, Range(0, 0, 40, 20), 2);
    ASSERT_EQ(state->sectionActive, 1);
    EXPECT_EQ(g_sectionFrame.mode, 2);
    EXPECT_EQ(g_sectionFrame.swapEnds, 1);
    ASSERT_EQ(state->strips.size(), 2u);
    EXPECT_EQ(state->strips.front().start, OdGePoint3d(20, 5, 0));
    EXPECT_EQ(state->strips.back().end, OdGePoint3d(0, 0, 0));

    state->chosenSwapEnds = 0;
    SendBaseLine({PutTrack({{0, 0}, {10, 0}})}, Range(0, 0, 40, 20), 0);
    ASSERT_EQ(state->strips.size(), 1u);
    EXPECT_EQ(state->strips.front().start, OdGePoint3d(0, 0, 0));
    EXPECT_EQ(g_sectionFrame.scale, 0.25);
}

TEST_F(SectionTest, ASectionKeepsItsFrameWhenAnotherDrawingAcceptsOne)
{
    // Drawing A's section: the hand-checked example.
    HandExample();
    CrossSectionState a = *state;
    // Drawing B accepts another base line, on the left, in another frame.
    SendBaseLine({PutTrack({{0, 0}, {40, 0}})}, Range(0, 0, 10, 5), 2);
    ASSERT_EQ(state->sectionActive, 1);
    ASSERT_EQ(g_sectionFrame.mode, 2);

    // A still converts with its own frame, both ways.
    TrackPoint* p = Points({{6, -2, 5}});
    uint32_t n = 1;
    ASSERT_TRUE(MapPointsToSection(&a, p, n));
    ASSERT_EQ(n, 1u);
    ExpectNear(Read(p, n)[0], {105, 227, 5});
    ASSERT_TRUE(SectionPointsToPeer(&a, p, n));
    ASSERT_EQ(n, 1u);
    ExpectNear(Read(p, n)[0], {6, -2, 5});
    free(p);
    // Sizes go by A's scale (1), not B's (4).
    TrackRecord* track = NewTrackRecord(&g_peerApi);
    track->width = 7;
    SectionObjectToPeer(&a, track, kMapObjTrack);
    EXPECT_EQ(track->width, 7u);
    FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);
    SignRecord* sign = NewSignRecord(&g_peerApi);
    sign->x = 6;
    sign->y = -2;
    sign->fontSize = 12;
    ASSERT_TRUE(MapSignToSection(&a, sign));
    EXPECT_EQ(sign->fontSize, 12u);
    FreeMapObjRecord(&g_peerApi, sign, kMapObjSign);

    // B's own receipt maps into B's frame.
    velkpeer::PeerTrack wide;
    wide.points = {{10, 4, 0, 0}, {30, 4, 0, 0}};
    ASSERT_TRUE(Receive({Put(wide)}));
    std::vector<OdDbObjectId> lines = All<OdDbPolyline>();
    ASSERT_EQ(lines.size(), 1u);
    OdGePoint3d first;
    Reading<OdDbPolyline>(lines[0])->getPointAt(0, first);
    EXPECT_NEAR(first.x, 2.5, 1e-9);
    EXPECT_NEAR(first.y, 1, 1e-9);
}

TEST_F(SectionTest, AGeographicPeerGetsTheWesternmostPointAsRelatePoint)
{
    peer->Config().coordKind = 2;
    SendBaseLine({PutTrack({{114.30, 30.52}, {114.10, 30.61}, {114.20, 30.40}})}, Range(0, 0, 40, 20), 1);
    ASSERT_EQ(state->sectionActive, 1);
    const auto& relates = peer->ShellCodes().RelateRequests();
    ASSERT_EQ(relates.size(), 1u);
    EXPECT_EQ(relates[0].mode, 3u);
    ASSERT_EQ(relates[0].points.size(), 1u);
    const std::vector<uint8_t>& r = relates[0].points[0];
    EXPECT_EQ(At<double>(r, 0), 114.10);
    EXPECT_EQ(At<double>(r, 8), 30.61);
    EXPECT_EQ(r[16], 1);
    EXPECT_EQ(At<double>(r, 24), g_sectionFrame.origin.x);
    EXPECT_EQ(At<double>(r, 32), g_sectionFrame.farCorner.y);
    EXPECT_EQ(At<double>(r, 32), 20.0);
    EXPECT_EQ(g_relatePoint.longitude, 114.10);

    // A plane peer gets none.
    peer->Config().coordKind = 1;
    SendBaseLine({PutTrack({{0, 0}, {10, 0}})}, Range(0, 0, 40, 20));
    EXPECT_EQ(peer->ShellCodes().RelateRequests().size(), 1u);
}

TEST_F(SectionTest, ReceivedPointsAndSignsAreMappedIntoTheFrame)
{
    // Frame 5 wide: 2 map units per drawing unit.
    SendBaseLine({PutTrack({{1, 1}, {11, 1}})}, Range(100, 200, 105, 230));
    ASSERT_EQ(g_sectionFrame.scale, 2.0);
    // Crossings coming back (elevation 1) and points behind the start or on
    // the other side are not drawn.
    TrackPoint* p = Points({{6, -2, 7}, {7, -2, 1}, {-5, -2, 7}, {6, 4, 7}, {11, -9, 65536}});
    uint32_t n = 5;
    ASSERT_TRUE(MapPointsToSection(state, p, n));
    std::vector<XY> kept = Read(p, n);
    ASSERT_EQ(kept.size(), 2u);
    ExpectNear(kept[0], {102.5, 228.5, 7});
    ExpectNear(kept[1], {105, 225, 65536});
    free(p);

    SignRecord* sign = NewSignRecord(&g_peerApi);
    sign->x = 6;
    sign->y = -2;
    sign->fontSize = 19;
    sign->rotation = 30;
    ASSERT_TRUE(MapSignToSection(state, sign));
    EXPECT_EQ(sign->x, 102.5);
    EXPECT_EQ(sign->y, 228.5);
    EXPECT_EQ(sign->fontSize, 9u);
    EXPECT_EQ(sign->rotation, 0.0f);
    // Outside every strip the sign stays as it came.
    sign->x = -4;
    sign->fontSize = 19;
    EXPECT_FALSE(MapSignToSection(state, sign));
    EXPECT_EQ(sign->x, -4);
    EXPECT_EQ(sign->fontSize, 19u);
    FreeMapObjRecord(&g_peerApi, sign, kMapObjSign);

    // Through the receipt: the polyline lies in the frame.
    velkpeer::PeerTrack track;
    track.points = {{3, -2, 0, 0}, {9, -2, 0, 0}};
    ASSERT_TRUE(Receive({Put(track)}));
    std::vector<OdDbObjectId> lines = All<OdDbPolyline>();
    ASSERT_EQ(lines.size(), 1u);
    OdGePoint3d a, b;
    Reading<OdDbPolyline>(lines[0])->getPointAt(0, a);
    Reading<OdDbPolyline>(lines[0])->getPointAt(1, b);
    EXPECT_NEAR(a.x, 101, 1e-9);
    EXPECT_NEAR(b.x, 104, 1e-9);
    EXPECT_NEAR(a.y, 228.5, 1e-9);
}

TEST_F(SectionTest, SentTracksCrossStripBoundariesWithMarkedPoints)
{
    // Three straight segments along x; the frame is 30 wide (scale 1), its
    // origin at (0, 10) and the corridor below it.
    SendBaseLine({PutTrack({{0, 0}, {10, 0}, {20, 0}, {30, 0}})}, Range(0, 0, 30, 10));
    ASSERT_EQ(state->strips.size(), 3u);
    TrackPoint* p = Points({{5, 8, 3}, {25, 6, 3}, {12, 6, 3}, {2, 6, 65536}, {-1, 6, 3}, {4, 12, 3}});
    uint32_t n = 6;
    ASSERT_TRUE(SectionPointsToPeer(state, p, n));
    std::vector<XY> sent = Read(p, n);
    // Strip 0 to strip 2: crossings at the starts of strips 1 and 2; back
    // to strip 1: at the start of strip 2; a new piece gets none; points
    // left of the frame or above its base-line edge are dropped.
    ASSERT_EQ(sent.size(), 7u);
    ExpectNear(sent[0], {5, -2, 3});
    ExpectNear(sent[1], {10, -2 - 2 * 0.25, 1});
    ExpectNear(sent[2], {20, -2 - 2 * 0.75, 1});
    ExpectNear(sent[3], {25, -4, 3});
    ExpectNear(sent[4], {20, -4, 1});
    ExpectNear(sent[5], {12, -4, 3});
    ExpectNear(sent[6], {2, -4, 65536});
    free(p);

    // Signs turn along their strip and grow with the scale.
    SendBaseLine({PutTrack({{0, 0}, {10, 10}})}, Range(0, 0, 7.0710678118654755, 10));
    SignRecord* sign = NewSignRecord(&g_peerApi);
    sign->x = 3.5355339059327378;
    sign->y = 8;
    sign->fontSize = 9;
    EXPECT_EQ(SectionObjectToPeer(state, sign, kMapObjSign), 0);
    EXPECT_NEAR(sign->rotation, 45.0f, 1e-4);
    EXPECT_EQ(sign->fontSize, 18u);
    EXPECT_NEAR(sign->x, 5 + 2 * 0.7071067811865476 * 2, 1e-9);
    EXPECT_NEAR(sign->y, 5 - 2 * 0.7071067811865476 * 2, 1e-9);
    // Outside the frame it is left as it is.
    sign->x = -3;
    sign->fontSize = 9;
    EXPECT_EQ(SectionObjectToPeer(state, sign, kMapObjSign), -1);
    EXPECT_EQ(sign->fontSize, 9u);
    FreeMapObjRecord(&g_peerApi, sign, kMapObjSign);
    // Widths and fill scales grow too; other kinds are not touched.
    TrackRecord* track = NewTrackRecord(&g_peerApi);
    track->width = 7;
    EXPECT_EQ(SectionObjectToPeer(state, track, kMapObjTrack), 1);
    EXPECT_EQ(track->width, 14u);
    FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);
    ShapeRecord* shape = NewShapeRecord(&g_peerApi);
    shape->fillScale = 1.5f;
    EXPECT_EQ(SectionObjectToPeer(state, shape, kMapObjShape), 1);
    EXPECT_EQ(shape->fillScale, 3.0f);
    FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
    FolderRecord* folder = NewFolderRecord(&g_peerApi);
    EXPECT_EQ(SectionObjectToPeer(state, folder, kMapObjFolder), 0);
    FreeMapObjRecord(&g_peerApi, folder, kMapObjFolder);
}

TEST_F(SectionTest, AcceptedSectionSendsTheFramesObjectsInMapCoordinates)
{
    OdDbObjectId inside = Rectangle(2, 1, 8, 4);
    OdDbObjectId outside = Rectangle(50, 50, 60, 60);
    (void)outside;
    // Yes to the offer: what overlaps the frame goes to the peer.
    SendBaseLine({PutTrack({{100, 100}, {120, 100}})}, Range(0, 0, 10, 5), 1, IDYES);
    ASSERT_EQ(state->sectionActive, 1);
    std::vector<velkpeer::DecodedObject> sent;
    for (auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
        if (o.kind == 8 && o.name != "基线") sent.push_back(o);
    ASSERT_EQ(sent.size(), 1u);
    // Mode 1: the corridor lies right of the base line, upwards from the
    // frame's bottom edge; 2 map units per drawing unit.
    ASSERT_GE(sent[0].points.size(), 4u);
    EXPECT_NEAR(sent[0].points[0].x, 104, 1e-9);
    EXPECT_NEAR(sent[0].points[0].y, 98, 1e-9);
    EXPECT_NEAR(sent[0].points[2].x, 116, 1e-9);
    EXPECT_NEAR(sent[0].points[2].y, 92, 1e-9);
    EXPECT_TRUE(Exists(inside));
}

TEST_F(SectionTest, PointListsGoIntoTheSectionAndBackInEveryMode)
{
    std::mt19937 random(20240515);
    std::uniform_real_distribution<double> unit(0, 1);
    int compared = 0;
    for (int round = 0; round < 60; ++round) {
        const int mode = round % 4;
        // A base line of 2 to 5 points turning gently.
        std::vector<XY> base{{unit(random) * 100, unit(random) * 100}};
        double heading = unit(random) * 6.283185307179586;
        const int count = 2 + round % 4;
        for (int i = 1; i < count; ++i) {
            heading += (unit(random) - 0.5) * 1.2;
            const double length = 20 + unit(random) * 40;
            base.push_back({base.back().x + length * cos(heading), base.back().y + length * sin(heading)});
        }
        const double depth = 2 + unit(random) * 6;
        const double width = 10 + unit(random) * 90;
        state->strips.clear();
        state->sectionActive = 0;
        SendBaseLine({PutTrack(base)}, Range(-50, 20, -50 + width, 20 + depth), mode);
        if (!state->sectionActive) continue;  // a corner too sharp for the depth
        // Points near the base line on the section's side.
        std::vector<XY> original;
        const double side = mode < 2 ? -1 : 1;
        for (int k = 0; k < 12; ++k) {
            size_t s = (size_t)(unit(random) * (base.size() - 1));
            const XY& a = base[s];
            const XY& b = base[s + 1];
            const double t = 0.1 + 0.8 * unit(random), dx = b.x - a.x, dy = b.y - a.y;
            const double len = std::hypot(dx, dy), d = unit(random) * depth * g_sectionFrame.scale * 0.3;
            original.push_back({a.x + t * dx - side * d * dy / len, a.y + t * dy + side * d * dx / len, 9});
        }
        TrackPoint* p = Points(original);
        uint32_t n = (uint32_t)original.size();
        ASSERT_TRUE(MapPointsToSection(state, p, n));
        std::vector<XY> inSection = Read(p, n);
        ASSERT_TRUE(SectionPointsToPeer(state, p, n));
        std::vector<XY> back;
        for (const XY& q : Read(p, n))
            if (q.elevation != 1) back.push_back(q);
        free(p);
        ASSERT_EQ(back.size(), inSection.size()) << "round " << round;
        // Each point kept comes back where it was.
        for (const XY& q : back) {
            bool found = false;
            for (const XY& o : original)
                found = found || (std::fabs(o.x - q.x) < 1e-6 && std::fabs(o.y - q.y) < 1e-6);
            EXPECT_TRUE(found) << "round " << round << " (" << q.x << ", " << q.y << ")";
            ++compared;
        }
    }
    EXPECT_GT(compared, 300);
}

TEST_F(SectionTest, TheCommandTakesTheDialogThenARectangleOrTheWholeDrawing)
{
    // Cancelled: nothing.
    CrossSectionCommand(state);
    EXPECT_TRUE(standin::SentCommandStrings().empty());

    // A rectangle to draw: the reactor waits for RECTANG; the chosen kind
    // waits for the base line.
    standin::QueueDialogAnswer(kSettingDialog, [](HWND dlg) {
        standin::DialogItem(dlg, 8192).check = 0;
        standin::DialogItem(dlg, 8193).check = 1;
        standin::DialogItem(dlg, 8358).check = 1;
        return IDOK;
    });
    CrossSectionCommand(state);
    EXPECT_EQ(g_pEditorReactor->m_bPendingSection, 1);
    EXPECT_EQ(standin::SentCommandStrings(), std::vector<std::wstring>{L"_rectang "});
    EXPECT_EQ(state->chosenMode, 1);
    EXPECT_EQ(state->chosenSwapEnds, 1);
    EXPECT_EQ(g_sectionFrame.mode, 0);

    // The rectangle drawn ends the wait: erased, the frame exactly it.
    OdDbObjectId big = Rectangle(0, 0, 400, 300);
    ads_name name;
    oddbGetAdsName(name, big);
    standin::QueueMessageBoxAnswer(IDYES);
    ASSERT_TRUE(CrossSectionFromRectangle(state, name, true));
    EXPECT_FALSE(Exists(big));
    EXPECT_EQ(state->waitingForBaseLine, 1);
    EXPECT_EQ(BoxTexts().back(), L"请到拓岚选择一条轨迹作为断面的基线！\n然后发送到CAD。");
    // A second, smaller one replaces it.
    OdDbObjectId small = Rectangle(10, 20, 60, 45);
    oddbGetAdsName(name, small);
    standin::QueueMessageBoxAnswer(IDNO);
    ASSERT_TRUE(CrossSectionFromRectangle(state, name, true));
    EXPECT_EQ(state->waitingForBaseLine, 0);
    EXPECT_EQ(state->range.minPoint(), OdGePoint3d(10, 20, 0));
    EXPECT_EQ(state->range.maxPoint(), OdGePoint3d(60, 45, 0));
    // Too small both ways: refused, nothing asked.
    OdDbObjectId tiny = Rectangle(0, 0, 9, 9);
    oddbGetAdsName(name, tiny);
    const size_t boxes = standin::MessageBoxes().size();
    EXPECT_FALSE(CrossSectionFromRectangle(state, name, true));
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n您选择的范围太小，无法生成地图！\\"));
    EXPECT_EQ(standin::MessageBoxes().size(), boxes);

    // The whole drawing: its extents, when they reach 1 unit both ways.
    standin::QueueDialogAnswer(kSettingDialog, [](HWND) { return 8201; });
    CrossSectionCommand(state);
    EXPECT_EQ(BoxTexts().back(), L"您选择的矩形框太小(数据不足)！初始化失败！");
    Rectangle(-5, 100, 95, 100.5);
    standin::QueueDialogAnswer(kSettingDialog, [](HWND) { return 8201; });
    CrossSectionCommand(state);
    EXPECT_EQ(BoxTexts().back(), L"您选择的矩形框太小(数据不足)！初始化失败！");
    Rectangle(0, 0, 3, 2);
    standin::QueueDialogAnswer(kSettingDialog, [](HWND) { return 8201; });
    standin::QueueMessageBoxAnswer(IDYES);
    CrossSectionCommand(state);
    EXPECT_EQ(state->waitingForBaseLine, 1);
    EXPECT_EQ(state->range.minPoint().x, -5);
    EXPECT_EQ(state->range.maxPoint().y, 100.5);
    EXPECT_EQ(standin::SentCommandStrings().size(), 1u);
}

TEST_F(SectionTest, BeginningTheModeStopsTheFollowingInMemoryOnly)
{
    g_settings.followMode = 2;
    BeginCrossSectionMode(state);
    EXPECT_EQ(g_settings.followMode, 0);
    EXPECT_EQ(peer->FollowMode(), 1);
    ASSERT_EQ(Sent(20013).size(), 1u);
    // Not following: nothing is asked.
    BeginCrossSectionMode(state);
    EXPECT_EQ(Sent(20013).size(), 1u);
}

}  // namespace
