// Request payloads as the stand-in peer receives them, the value requests,
// argument checks, and the readers of the line-type and 20700 answers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "peer/peerrequests.h"
#include "standin_peer.h"
#include "test_support.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;
using velktest::ReadAt;

class RequestTest : public testing::Test {
protected:
    void SetUp() override
    {
        state = PeerApiState{};
        PeerApiSetClientName(&state, L"VelkArxWin");
        peer = std::make_unique<StandinPeer>();
    }
    // The last message the peer received.
    const velkpeer::PeerMessage& Last() { return peer->Messages().back(); }

    PeerApiState state;
    std::unique_ptr<StandinPeer> peer;
};

TEST_F(RequestTest, ObjectPacketsAndDeletes)
{
    EXPECT_EQ(PeerApiGetObjList(&state, 0), 0);
    EXPECT_EQ(Last().code, 20100u);
    ASSERT_EQ(Last().bytes.size(), 16u);
    EXPECT_EQ(ReadAt<uint16_t>(Last().bytes, 0), 101);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 8), 1u);

    EXPECT_EQ(PeerApiGetObjTree(&state, 3), 0);
    EXPECT_EQ(Last().bytes[3], 3);

    uint32_t ids[] = {11, 12, 13};
    EXPECT_EQ(PeerApiDeleteObjects(&state, ids, 3, false, true), 0);
    ASSERT_EQ(Last().bytes.size(), 28u);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 12), 2u);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 24), 13u);

    size_t sent = peer->Messages().size();
    EXPECT_EQ(PeerApiDeleteObjects(&state, ids, 0, true, true), -4);
    EXPECT_EQ(PeerApiSend20106(&state, nullptr, 2), -4);
    EXPECT_EQ(PeerApiSetRelatePoints(&state, 3, ids, 0), -1);
    EXPECT_EQ(PeerApiSend20701(&state, ids, 0), -4);
    EXPECT_EQ(peer->Messages().size(), sent);
}

TEST_F(RequestTest, UploadsFrameTheRecordBehindTheHead)
{
    ShapeRecord* shape = NewShapeRecord(&state);
    strcpy(shape->name, "Contour_1");
    shape->remark = strdup("abcd");
    shape->count = 3;
    shape->points = (TrackPoint*)calloc(3, sizeof(TrackPoint));
    int64_t id = 0;
    EXPECT_EQ(PeerApiUploadShape(&state, 0, shape, &id, 0, 5), 0);
    FreeMapObjRecord(&state, shape, kMapObjShape);
    const auto& upload = Last();
    ASSERT_EQ(upload.bytes.size(), 368u);
    EXPECT_EQ(upload.bytes[2], 13);
    EXPECT_EQ(ReadAt<uint32_t>(upload.bytes, 4), 1u);  // new top-level object
    EXPECT_EQ(ReadAt<uint32_t>(upload.bytes, 8), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(upload.bytes, 12), 5u);
    EXPECT_EQ(ReadAt<uint32_t>(upload.bytes, 16 + 200), 4u);
    EXPECT_EQ(id, 1000);
    ASSERT_TRUE(peer->Objects().count(1000));
    EXPECT_EQ(peer->Objects().at(1000).name, "Contour_1");

    // An existing object below no folder keeps parent 0.
    FolderRecord* folder = NewFolderRecord(&state);
    EXPECT_EQ(PeerApiUploadFolder(&state, 1000, folder, &id, 0, 0), 0);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 4), 0u);
    EXPECT_EQ(Last().bytes.size(), 16u + 176);

    // Ids with the top bit set come back whole.
    peer = std::make_unique<StandinPeer>([] {
        velkpeer::PeerConfig c;
        c.firstObjectId = 0xFFFFFF00u;
        return c;
    }());
    state.connectionId = 0;
    EXPECT_EQ(PeerApiUploadFolder(&state, 0, folder, &id, 7, 0), 0);
    EXPECT_EQ(id, 0xFFFFFF00);
    FreeMapObjRecord(&state, folder, kMapObjFolder);
}

TEST_F(RequestTest, TestBlockSucceedsOnlyWhenThePeerConfirmsEveryByte)
{
    uint8_t record[kTestRecordSize] = {};
    record[0] = 1;
    const char text[] = "ABCDEF12344xy";  // 14 bytes with its NUL
    int32_t n = sizeof text;
    memcpy(record + 272, &n, 4);
    const char* p = text;
    memcpy(record + 280, &p, sizeof p);
    EXPECT_EQ(PeerApiSendTestData(&state, record), 0);
    const auto& block = Last();
    ASSERT_EQ(block.bytes.size(), 802u);
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(block.bytes[i], 0);
    EXPECT_EQ(block.bytes[100], 1);
    EXPECT_EQ(ReadAt<uint64_t>(block.bytes, 380), 0u);  // no address on the wire
    EXPECT_EQ(std::string((const char*)block.bytes.data() + 788), "ABCDEF12344xy");

    peer->Config().testDataShortBy = 1;
    EXPECT_EQ(PeerApiSendTestData(&state, record), -1);
    peer.reset();
    EXPECT_EQ(PeerApiSendTestData(&state, record), -1);
}

TEST_F(RequestTest, ButtonCaptionIsCutAndSentWithATimeout)
{
    std::string caption(300, 'c');
    EXPECT_EQ(PeerApiSetButton(&state, kButtonAdd, caption.c_str(), 1), 1);
    ASSERT_EQ(Last().bytes.size(), 320u);
    EXPECT_EQ(ReadAt<int32_t>(Last().bytes, 20), 1);
    EXPECT_EQ(Last().bytes[24 + 254], 'c');
    EXPECT_EQ(Last().bytes[24 + 255], 0);
    EXPECT_EQ(peer->ButtonCaption(), std::string(255, 'c'));

    standin::SetSendTimeoutOutcome(peer->Window(), standin::SendTimeoutOutcome::TimeOut);
    EXPECT_EQ(PeerApiSetButton(&state, kButtonRemove, nullptr, 1), 0);
    EXPECT_TRUE(peer->ButtonPresent());
    standin::PumpMessages();
    EXPECT_FALSE(peer->ButtonPresent());
}

TEST_F(RequestTest, ValueRequestsReturnThePeersAnswer)
{
    peer->Config().statusWord = 0x12345;
    EXPECT_EQ(PeerApiGetStatusInfo(&state), 0x12345);
    peer->Config().followAnswer = 7;
    EXPECT_EQ(PeerApiSetFollowWinMap(&state, 1000), 7);
    EXPECT_EQ(peer->FollowMode(), 1000);
    peer->QueueAnswer(20014, -6);
    EXPECT_EQ(PeerApiSend20014(&state, 1), -6);
    peer.reset();
    EXPECT_EQ(PeerApiGetStatusInfo(&state), -1);
}

TEST_F(RequestTest, ContourItemsCarryTheCurrentConnectionId)
{
    std::vector<uint8_t> items(2 * kContourItemSize, 0xAB);
    ASSERT_EQ(state.connectionId, 0);
    EXPECT_EQ(PeerApiGetContour(&state, items.data(), 2), 0);
    const auto& sent = Last();
    ASSERT_EQ(sent.bytes.size(), 16u + 2 * kContourItemSize);
    EXPECT_EQ(ReadAt<uint32_t>(sent.bytes, 16 + 108), 1u);
    EXPECT_EQ(ReadAt<uint32_t>(sent.bytes, 16 + kContourItemSize + 108), 1u);
    EXPECT_EQ(sent.bytes[16 + 107], 0xAB);
    EXPECT_EQ(sent.connectionId, 1);
    EXPECT_EQ(sent.itemConnectionIds, (std::vector<int32_t>{1, 1}));
    // The caller's items are copied, never stamped themselves.
    EXPECT_EQ(items, std::vector<uint8_t>(2 * kContourItemSize, 0xAB));
}

TEST_F(RequestTest, TheContourResendAfterAReRegistrationCarriesTheNewIdInItsItems)
{
    std::vector<uint8_t> items(2 * kContourItemSize, 0);
    ASSERT_EQ(PeerApiGetContour(&state, items.data(), 2), 0);
    ASSERT_EQ(state.connectionId, 1);

    // The peer lost the registration: the request is refused, the module
    // registers again and the one resend names the new connection.
    peer->ForgetClients();
    size_t first = peer->Messages().size();
    EXPECT_EQ(PeerApiGetContour(&state, items.data(), 2), 0);
    ASSERT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20303, 20303, 20000, 20006, 20303}));
    const auto& refused = peer->Messages()[first];
    EXPECT_EQ(refused.answer, -1);
    EXPECT_EQ(refused.itemConnectionIds, (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(Last().connectionId, 2);
    EXPECT_EQ(Last().itemConnectionIds, (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(Last().answer, 0);

    // A negative answer to the resend as well fails without a third send.
    peer->QueueAnswer(20303, -1);
    peer->QueueAnswer(20303, -1);
    first = peer->Messages().size();
    EXPECT_EQ(PeerApiGetContour(&state, items.data(), 2), -1);
    ASSERT_EQ(peer->Messages().size(), first + 4);
    EXPECT_EQ(peer->Messages()[first].itemConnectionIds, (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(Last().connectionId, 3);
    EXPECT_EQ(Last().itemConnectionIds, (std::vector<int32_t>{3, 3}));
}

TEST_F(RequestTest, FixedLayoutsOfLocationViewAndLevels)
{
    EXPECT_EQ(PeerApiSetLocation(&state, 0, 17, 500.0, 300.0, 0, 2, 0), 0);
    ASSERT_EQ(Last().bytes.size(), 80u);
    EXPECT_EQ(ReadAt<double>(Last().bytes, 0), 300.0);
    EXPECT_EQ(ReadAt<double>(Last().bytes, 8), 500.0);
    EXPECT_EQ(Last().bytes[16], 2);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 28), 17u);

    EXPECT_EQ(PeerApiMatchView(&state, 1, 2, 3, 4, 20000, 20), 0);
    ASSERT_EQ(Last().bytes.size(), 112u);
    EXPECT_EQ(ReadAt<double>(Last().bytes, 40), 4.0);
    EXPECT_EQ(Last().bytes[48], 2);
    EXPECT_EQ(ReadAt<uint64_t>(Last().bytes, 56), 20000u);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 64), 20u);

    EXPECT_EQ(PeerApiGetLevelResolutions(&state, 5.0, 6.0), 0);
    ASSERT_EQ(Last().bytes.size(), 80u);
    EXPECT_EQ(ReadAt<double>(Last().bytes, 32), 6.0);

    EXPECT_EQ(PeerApiGetMapState(&state, 2), 0);
    EXPECT_EQ(Last().bytes.size(), 104u);
    EXPECT_EQ(Last().bytes[40], 2);

    uint32_t point[20] = {9};
    EXPECT_EQ(PeerApiSetRelatePoints(&state, 3, point, 1), 0);
    ASSERT_EQ(Last().bytes.size(), 136u);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 16), 3u);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 56), 9u);

    uint8_t record120[120] = {1};
    EXPECT_EQ(PeerApiSend20731(&state, record120, "tx", 2), 0);
    ASSERT_EQ(Last().bytes.size(), 222u);
    EXPECT_EQ(Last().bytes[100], 1);
    EXPECT_EQ(Last().bytes[220], 't');
    EXPECT_EQ(PeerApiSend20801(&state, 0x55), 0);
    EXPECT_EQ(ReadAt<uint32_t>(Last().bytes, 100), 0x55u);
}

TEST_F(RequestTest, BufferIsSentWholeAndLeftEmpty)
{
    PeerBuffer buffer{(uint8_t*)calloc(1000, 1), 0, 1000};
    uint8_t head[80] = {101};
    ASSERT_TRUE(AppendPeerBuffer(&buffer, head, 80, true));
    EXPECT_EQ(PeerApiSendBuffer(&state, kReqSetObjTree, &buffer, true), 0);
    EXPECT_EQ(Last().bytes.size(), 80u);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.length, 0);
    EXPECT_EQ(buffer.capacity, 0);
}

std::vector<uint8_t> LinetypeAnswer(std::vector<uint32_t> subCounts, uint32_t count)
{
    std::vector<uint8_t> b(96);
    memcpy(b.data() + 4, &count, 4);
    uint32_t id = 100;
    for (uint32_t k : subCounts) {
        size_t at = b.size();
        b.resize(at + 384 + 248 * k, 0x11);
        memset(b.data() + at, 0, 384);
        memcpy(b.data() + at, "DASHED", 6);
        memcpy(b.data() + at + 328, &id, 4);
        memcpy(b.data() + at + 332, &k, 4);
        ++id;
    }
    return b;
}

TEST(LinetypeAnswers, ParsedWithTheirSubItemsOrRefusedWhole)
{
    std::vector<uint8_t> good = LinetypeAnswer({2, 0}, 2);
    LinetypeTable* t = ParseLinetypeTable(nullptr, good.data(), (uint32_t)good.size());
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->count, 2u);
    EXPECT_STREQ(t->items[0].name, "DASHED");
    EXPECT_EQ(t->items[1].id, 101u);
    EXPECT_EQ(t->items[0].subItems[495], 0x11);
    EXPECT_EQ(t->items[1].subItems, nullptr);
    FreeLinetypeTable(t, true);

    EXPECT_EQ(ParseLinetypeTable(nullptr, good.data(), 95), nullptr);
    EXPECT_EQ(ParseLinetypeTable(nullptr, good.data(), (uint32_t)good.size() - 1), nullptr);
    // A count the payload cannot hold is refused before anything is allocated.
    std::vector<uint8_t> lying = LinetypeAnswer({0}, 0x7FFFFFFF);
    EXPECT_EQ(ParseLinetypeTable(nullptr, lying.data(), (uint32_t)lying.size()), nullptr);
    std::vector<uint8_t> pastEnd = LinetypeAnswer({0, 0}, 2);
    uint32_t k = 0x40000000;
    memcpy(pastEnd.data() + 96 + 384 + 332, &k, 4);
    EXPECT_EQ(ParseLinetypeTable(nullptr, pastEnd.data(), (uint32_t)pastEnd.size()), nullptr);
}

TEST(ItemListAnswers, ItemsWithExtraBytes)
{
    std::vector<uint8_t> b(100);
    auto add = [&b](int32_t extra, size_t extraBytes) {
        size_t at = b.size();
        b.resize(at + 184 + extraBytes, 0x22);
        memset(b.data() + at, 0, 184);
        memcpy(b.data() + at + 172, &extra, 4);
    };
    add(3, 3);
    add(0, 0);
    std::vector<uint8_t> items(4 * 184);
    ASSERT_EQ(ParseItemList184(b.data(), (uint32_t)b.size(), items.data(), 4), 2);
    const uint8_t* extra;
    memcpy(&extra, items.data() + 176, sizeof extra);
    EXPECT_EQ(extra, b.data() + 284);
    EXPECT_EQ(ParseItemList184(b.data(), (uint32_t)b.size(), items.data(), 1), 1);
    EXPECT_EQ(ParseItemList184Words(b.data(), (uint32_t)b.size(), items.data(), 4), -4);  // 3 words pass the end
    EXPECT_EQ(ParseItemList184(b.data(), 100, items.data(), 4), -4);
    b[0] = 1;
    EXPECT_EQ(ParseItemList184(b.data(), (uint32_t)b.size(), items.data(), 4), -11);
    b[0] = 0;
    int32_t huge = INT_MAX;
    memcpy(b.data() + 100 + 172, &huge, 4);
    EXPECT_EQ(ParseItemList184Words(b.data(), (uint32_t)b.size(), items.data(), 4), -4);
}

}  // namespace
