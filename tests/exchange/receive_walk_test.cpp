// The walk over a received exchange buffer: links, replacement of objects
// received before, folders left out, contour labels, the follow zoom, and
// buffers the peer got wrong.
#include <algorithm>
#include <limits>

#include "common/entity/polylineutil.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcutprint.h"
#include "receive_fixture.h"
#include "window_control.h"

namespace {

using velkpeer::Malformation;
using velkpeer::PeerSign;
using velkpeer::PeerTrack;
using ReceiveWalkTest = ReceiveTest;

const UINT kMessageDialog = 8314;
const int kNoMoreButton = 8354;

PeerSign Sign(const std::string& name, double x = 100, double y = 200)
{
    PeerSign s;
    s.name = name;
    s.remark = name + " remark";
    s.x = x;
    s.y = y;
    s.signType = 1;
    s.iconNumber = 12;
    return s;
}

PeerTrack Contour(int32_t elevation)
{
    PeerTrack t;
    t.colour = 0x00FFFF;
    t.points = {{0, 0, elevation}, {10, 0, elevation}, {20, 5, elevation}};
    return t;
}

std::vector<std::wstring> Texts(const std::vector<OdDbObjectId>& ids)
{
    std::vector<std::wstring> out;
    for (auto id : ids) out.push_back(Reading<OdDbText>(id)->textString().c_str());
    return out;
}

}  // namespace

TEST_F(ReceiveWalkTest, AnEmptyBufferMakesNothingButEndsCleanly)
{
    int restored = standin::RestoreStatusBarCount();
    ASSERT_TRUE(Receive({}));
    EXPECT_EQ(EntityCount(), 0u);
    EXPECT_TRUE(standin::DialogsShown().empty());
    EXPECT_EQ(odTransactionManagerPtr()->numActiveTransactions(), 0);
    EXPECT_EQ(doc->lockCount(), 0);
    EXPECT_EQ(standin::RestoreStatusBarCount(), restored + 1);
    // The reactors listen again 100 ms later.
    EXPECT_EQ(g_bSuppressReactors, 1);
    standin::AdvanceClockMs(100);
    EXPECT_EQ(g_bSuppressReactors, 0);
}

TEST_F(ReceiveWalkTest, ReceivedSignsAreLinkedAndReplacedWhenTheyComeAgain)
{
    g_settings.pointsAsIcons = 1;
    uint32_t id = Put(Sign("well"));
    ASSERT_TRUE(Receive({id}));
    auto texts = All<OdDbText>();
    auto icons = All<OdDbRasterImage>();
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(icons.size(), 1u);
    const MapObjInfo* text = LinkOf(texts[0]);
    const MapObjInfo* icon = LinkOf(icons[0]);
    ASSERT_NE(text, nullptr);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(text->peerId, id);
    EXPECT_EQ(text->name, L"well");
    EXPECT_EQ(text->remark, L"well remark");
    EXPECT_EQ(text->companion, HandleOf(icons[0]));
    EXPECT_EQ(text->iconNumber, 12);
    EXPECT_EQ(text->signFlag, 0);
    EXPECT_EQ(text->labelPos, OdGePoint3d(100, 200, 0));
    EXPECT_EQ(text->saved, 0);
    EXPECT_EQ(icon->peerId, id);
    EXPECT_EQ(icon->companion, HandleOf(texts[0]));
    EXPECT_EQ(drawing->peerEntities.at(id), HandleOf(texts[0]));
    EXPECT_EQ(drawing->pairedPeerEntities.at(id), HandleOf(icons[0]));

    // Moved in the peer and sent again: the new text and icon replace the
    // old ones, and only they are linked.
    PeerSign moved = Sign("well");
    moved.x = 150;
    ASSERT_TRUE(peer->ObjectStore().Change(id, velkpeer::EncodeSign(moved)));
    ASSERT_TRUE(Receive({id}));
    auto texts2 = All<OdDbText>();
    auto icons2 = All<OdDbRasterImage>();
    ASSERT_EQ(texts2.size(), 1u);
    ASSERT_EQ(icons2.size(), 1u);
    EXPECT_NE(texts2[0], texts[0]);
    EXPECT_EQ(Reading<OdDbText>(texts2[0])->position().x, 150);
    EXPECT_EQ(drawing->links.size(), 2u);
    EXPECT_EQ(drawing->peerEntities.at(id), HandleOf(texts2[0]));
    EXPECT_EQ(drawing->pairedPeerEntities.at(id), HandleOf(icons2[0]));
}

TEST_F(ReceiveWalkTest, AShapeReceivedAgainTakesItsOutlineAlong)
{
    velkpeer::PeerShape s;
    s.points = {{0, 0}, {10, 10}};
    uint32_t id = Put(s);
    ASSERT_TRUE(Receive({id}));
    ASSERT_TRUE(Receive({id}));
    EXPECT_EQ(All<OdDbHatch>().size(), 1u);
    EXPECT_EQ(All<OdDbPolyline>().size(), 1u);
}

TEST_F(ReceiveWalkTest, AHatchSentFromTheDrawingKeepsOutlinesThatAreNotOnlyItsOwn)
{
    // Two hatches drawn here and sent: one over an outline that was sent as
    // a track of its own, one over an outline a third hatch follows too.
    OdGePoint2dArray square;
    for (auto [x, y] : {std::pair{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}) square.append(OdGePoint2d(x, y));
    EntityProps props;
    HatchFillSpec solid;
    OdDbObjectId tracked = CPolylineUtil::Add(square, props, 0.0);
    OdDbObjectId shared = CPolylineUtil::Add(square, props, 0.0);
    OdDbObjectId first = AddHatchFromLoop(OdDbObjectIdArray{tracked}, props, solid, true);
    OdDbObjectId second = AddHatchFromLoop(OdDbObjectIdArray{shared}, props, solid, true);
    OdDbObjectId third = AddHatchFromLoop(OdDbObjectIdArray{shared}, props, solid, true);
    ASSERT_FALSE(first.isNull() || second.isNull() || third.isNull());
    velkpeer::PeerShape s;
    s.points = {{0, 0}, {10, 10}};
    const uint32_t track = 9000, ids[] = {Put(s), Put(s)};
    const OdDbObjectId hatches[] = {first, second};
    for (int i = 0; i < 2; ++i) {
        auto* link = new MapObjInfo();
        link->peerId = ids[i];
        link->handle = HandleOf(hatches[i]);
        SetEntityLink(drawing->links, link->handle, link, 0);
        SetPeerEntity(drawing->peerEntities, ids[i], link->handle);
    }
    auto* link = new MapObjInfo();
    link->peerId = track;
    link->handle = HandleOf(tracked);
    SetEntityLink(drawing->links, link->handle, link, 0);
    SetPeerEntity(drawing->peerEntities, track, link->handle);

    ASSERT_TRUE(Receive({ids[0], ids[1]}));
    auto lines = All<OdDbPolyline>();
    EXPECT_NE(std::find(lines.begin(), lines.end(), tracked), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), shared), lines.end());
    EXPECT_NE(LinkOf(tracked), nullptr);
    EXPECT_EQ(drawing->peerEntities.at(track), HandleOf(tracked));
    // The received shapes replaced the two hatches, each with its outline.
    EXPECT_EQ(All<OdDbHatch>().size(), 3u);
    EXPECT_EQ(lines.size(), 4u);
}

TEST_F(ReceiveWalkTest, ObjectsWithNumbersThatAreNoNumbersMakeNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    PeerSign sign = Sign("nowhere", nan);
    PeerSign turned = Sign("turned");
    turned.rotation = (float)inf;
    PeerTrack track;
    track.points = {{0, 0}, {inf, 5}};
    velkpeer::PeerShape shape;
    shape.points = {{0, 0}, {10, 5}, {nan, 0}};
    velkpeer::PeerShape fill;
    fill.points = {{0, 0}, {10, 5}};
    fill.fillType = 3;
    fill.patternId = 1;
    fill.fillKind = 1;
    fill.fillScale = 2;
    velkpeer::PeerShape angle = fill, origin = fill;
    angle.fillAngle = (float)nan;
    origin.originY = -inf;
    fill.fillScale = (float)inf;
    velkpeer::PeerMultiPart parts;
    parts.parts = {{{0, 0}, {1, nan}}};
    ASSERT_TRUE(Receive({Put(sign), Put(turned), Put(track), Put(shape), Put(fill), Put(angle), Put(origin),
                         Put(parts)}));
    EXPECT_EQ(EntityCount(), 0u);
    EXPECT_TRUE(drawing->links.empty());
}

TEST_F(ReceiveWalkTest, FoldersOfBlocksSentEarlierAreLeftOutAndListed)
{
    uint32_t block = PutFolder("BlockRef_door");
    for (int i = 0; i < 3; ++i) Put(Sign("part"), block);
    uint32_t after = Put(Sign("after"));
    // This drawing sent the block: its folder is linked to the block reference.
    SetPeerEntity(drawing->peerEntities, block, 0x4242);
    std::wstring shown;
    standin::QueueDialogAnswer(kMessageDialog, [&](HWND dialog) {
        shown = standin::DialogItem(dialog, 8138).text;
        return IDOK;
    });
    ASSERT_TRUE(Receive({block, after}));
    EXPECT_EQ(Texts(All<OdDbText>()), (std::vector<std::wstring>{L"after"}));
    EXPECT_EQ(shown, L"以下[块/面域]对象被系统忽略：\r\n\r\nBlockRef_door");
    EXPECT_EQ(g_velkObjTree.names.at(block), L"BlockRef_door");
    EXPECT_EQ(g_settings.receiveHintOff, 0);

    // "不再提示" stores the choice; then the list is not shown again.
    standin::QueueDialogAnswer(kMessageDialog, [](HWND) { return kNoMoreButton; });
    ASSERT_TRUE(Receive({block}));
    EXPECT_EQ(g_settings.receiveHintOff, 1);
    size_t shownCount = standin::DialogsShown().size();
    ASSERT_TRUE(Receive({block}));
    EXPECT_EQ(standin::DialogsShown().size(), shownCount);
}

TEST_F(ReceiveWalkTest, ObjectsInsideALinkedFolderArePassedOver)
{
    uint32_t block = PutFolder("Region_1");
    uint32_t inside = Put(Sign("inside"), block);
    uint32_t outside = Put(Sign("outside"));
    SetPeerEntity(drawing->peerEntities, block, 0x4242);
    ASSERT_TRUE(Receive({inside, outside}));
    EXPECT_EQ(Texts(All<OdDbText>()), (std::vector<std::wstring>{L"outside"}));
    EXPECT_TRUE(standin::DialogsShown().empty());
}

TEST_F(ReceiveWalkTest, FoldersBecomeLayersOfTheirObjects)
{
    uint32_t roads = PutFolder("roads");
    PeerTrack t;
    t.points = {{0, 0}, {5, 5}};
    Put(t, roads);
    ASSERT_TRUE(Receive({roads}));
    auto lines = All<OdDbPolyline>();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Reading<OdDbPolyline>(lines[0])->layer(), L"roads");
    EXPECT_EQ(g_velkObjTree.names.at(roads), L"roads");
}

TEST_F(ReceiveWalkTest, ContourLinesGetLabelsSizedByTheirHeight)
{
    drawing->contour.busy = 1;
    g_settings.textLevelMetres = 60;  // level 16
    const int32_t heights[] = {1200, 1250, 1230, -100, -50};
    const int sizes[] = {18, 16, 14, 18, 14};
    std::vector<uint32_t> ids;
    for (int32_t h : heights) ids.push_back(Put(Contour(h)));
    ASSERT_TRUE(Receive(ids));
    auto labels = All<OdDbText>();
    ASSERT_EQ(Texts(labels), (std::vector<std::wstring>{L"1200", L"1250", L"1230", L"-100", L"-50"}));
    for (size_t i = 0; i < labels.size(); ++i) {
        Reading<OdDbText> t(labels[i]);
        EXPECT_DOUBLE_EQ(t->height(), sizes[i] * std::ldexp(1.0, 4) / 1.414 + 0.5) << i;
        EXPECT_EQ(t->layer(), L"Velk_contour");
        EXPECT_EQ(t->position(), OdGePoint3d(10, 0, heights[i]));  // the middle point
        EXPECT_EQ(LinkOf(labels[i]), nullptr);
    }
    for (auto id : All<OdDbPolyline>()) EXPECT_EQ(Reading<OdDbPolyline>(id)->layer(), L"Velk_contour");
}

TEST_F(ReceiveWalkTest, TheViewFollowsTheLastObjectOnly)
{
    g_settings.followMode = 2;
    int views = standin::SetCurrentViewCount();
    PeerTrack nearTrack, farTrack;
    nearTrack.points = {{-1, -1}, {2, 1}};
    farTrack.points = {{4990, 5990}, {5010, 6010}};
    uint32_t near = Put(nearTrack);
    uint32_t far = Put(farTrack);
    ASSERT_TRUE(Receive({far, near}));
    EXPECT_EQ(standin::SetCurrentViewCount(), views);
    ASSERT_TRUE(Receive({near, far}));
    EXPECT_GT(standin::SetCurrentViewCount(), views);
    ViewExtents v;
    CViewUtil::GetViewExtents(v, 1.0);
    EXPECT_NEAR((v.minX + v.maxX) / 2, 5000, 1e-6);
    EXPECT_NEAR((v.minY + v.maxY) / 2, 6000, 1e-6);

    g_settings.followMode = 1;
    views = standin::SetCurrentViewCount();
    ASSERT_TRUE(Receive({far}));
    EXPECT_EQ(standin::SetCurrentViewCount(), views);
}

TEST_F(ReceiveWalkTest, BuffersTheWalkCannotTrustStopItAtTheFault)
{
    uint32_t a = Put(Sign("first"));
    PeerTrack t;
    t.points = {{0, 0}, {5, 5}};
    uint32_t b = Put(t);
    struct Case {
        Malformation how;
        size_t texts, lines;
    } cases[] = {
        {Malformation::kTotalBeyondEnd, 1, 1},    // kept to what arrived
        {Malformation::kLastBodyCut, 1, 0},
        {Malformation::kHugeBodySize, 0, 0},
        {Malformation::kNegativeBodySize, 0, 0},
        {Malformation::kHeaderCut, 1, 1},
        {Malformation::kBodyNotARecord, 0, 1},  // that record only
    };
    for (const Case& c : cases) {
        for (auto id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, db)) CEntityUtil::Erase(id);
        ClearEntityLinks(drawing->links);
        drawing->peerEntities.clear();
        peer->ObjectStore().ChooseForCad({a, b});
        std::vector<uint8_t> frame = velkpeer::Malform(peer->ObjectStore().FrameChosen(), c.how);
        // An exact copy: anything read beyond it is caught.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[frame.size()]);
        memcpy(exact.get(), frame.data(), frame.size());
        EXPECT_TRUE(ArxOperation::ReceiveMapObjects(exact.get(), (uint32_t)frame.size()));
        EXPECT_EQ(All<OdDbText>().size(), c.texts) << (int)c.how;
        EXPECT_EQ(All<OdDbPolyline>().size(), c.lines) << (int)c.how;
        EXPECT_EQ(doc->lockCount(), 0);
    }
    // Shorter than the heads: nothing, but a clean end.
    uint8_t tiny[20] = {101};
    EXPECT_TRUE(ArxOperation::ReceiveMapObjects(tiny, sizeof tiny));
}

TEST_F(ReceiveWalkTest, ThePeersButtonBringsTheChosenObjects)
{
    peer->Config().statusWord = 0x100;
    velkpeer::InstallPeer(900, [] { return true; });
    uint32_t id = Put(Sign("from the map"));
    peer->ObjectStore().ChooseForCad({id});
    peer->SendToClient(20402, {});
    standin::PumpMessages();
    EXPECT_EQ(Texts(All<OdDbText>()), (std::vector<std::wstring>{L"from the map"}));
    EXPECT_EQ(drawing->peerEntities.count(id), 1u);
}
