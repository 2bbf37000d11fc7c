// Byte images of the wire written out by hand, field by field and byte by
// byte, so that a misreading shared by the module and the stand-in peer
// shows: the raw messages of the transport, every record kind in both
// directions, and the fixed request records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "peer/maprecords.h"
#include "peer/peerrequests.h"

namespace {

PeerApiState* const S = nullptr;  // the record operations do not read the state

// A zero-filled image with little-endian bytes placed by hand.
struct Image {
    std::vector<uint8_t> bytes;
    explicit Image(size_t n) : bytes(n, 0) {}
    Image& At(size_t offset, std::initializer_list<uint8_t> b)
    {
        size_t i = offset;
        for (uint8_t v : b) bytes.at(i++) = v;
        return *this;
    }
    Image& Text(size_t offset, const char* s)
    {
        for (size_t i = 0; s[i]; ++i) bytes.at(offset + i) = (uint8_t)s[i];
        return *this;
    }
};

std::vector<uint8_t> Serialized(const void* record, uint32_t kind)
{
    uint32_t size = 0;
    uint8_t* p = SerializeMapObjRecord(S, record, kind, &size);
    std::vector<uint8_t> out = p ? std::vector<uint8_t>(p, p + size) : std::vector<uint8_t>();
    free(p);
    return out;
}

// --- The raw messages, seen by a window of the peer's class that is not the
// stand-in peer.

struct RawMessage {
    WPARAM wParam;
    ULONG_PTR dwData;
    DWORD cbData;
    bool nullData;
    std::vector<uint8_t> bytes;
};
std::vector<RawMessage> g_raw;

LRESULT CALLBACK RawPeerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_COPYDATA) return DefWindowProcW(h, msg, wp, lp);
    auto* cds = (const COPYDATASTRUCT*)lp;
    auto* p = (const uint8_t*)cds->lpData;
    g_raw.push_back({wp, cds->dwData, cds->cbData, p == nullptr, p ? std::vector<uint8_t>(p, p + cds->cbData)
                                                                   : std::vector<uint8_t>()});
    switch (cds->dwData & 0xFFFF) {
    case 20000: return 0x8001;  // an id with bit 15 set: the data word turns negative
    case 20006: return 832;
    default: return 77;
    }
}

class RawWire : public testing::Test {
protected:
    void SetUp() override
    {
        g_raw.clear();
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RawPeerProc;
        wc.lpszClassName = L"velkWin";
        ASSERT_TRUE(RegisterClassW(&wc));
        ASSERT_TRUE(CreateWindowExW(0, L"velkWin", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    }
    // The payload of the last message, after registration.
    const std::vector<uint8_t>& Last() const { return g_raw.back().bytes; }

    PeerApiState state{};
};

std::initializer_list<uint8_t> kOne = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};  // 1.0
std::initializer_list<uint8_t> kTwo = {0, 0, 0, 0, 0, 0, 0x00, 0x40};  // 2.0

TEST_F(RawWire, RegistrationVersionAndRequestWords)
{
    PeerApiSetClientName(&state, L"A\u4e2d");
    EXPECT_EQ(PeerApiGetStatusInfo(&state), 77);
    ASSERT_EQ(g_raw.size(), 3u);

    // 20000: the bare code, 96 zero bytes, "A", U+4E2D, NUL in UTF-16LE.
    EXPECT_EQ(g_raw[0].wParam, 1001u);
    EXPECT_EQ(g_raw[0].dwData, (ULONG_PTR)0x4E20);
    EXPECT_EQ(g_raw[0].cbData, 102u);
    EXPECT_EQ(g_raw[0].bytes, Image(102).At(96, {0x41, 0x00, 0x2D, 0x4E, 0x00, 0x00}).bytes);

    // 20006: (0x8001 << 16) | 0x4E26 in 32 bits, sign-extended; no payload.
    EXPECT_EQ(g_raw[1].wParam, 1001u);
    EXPECT_EQ(g_raw[1].dwData, (ULONG_PTR)0xFFFFFFFF80014E26ull);
    EXPECT_EQ(g_raw[1].cbData, 0u);
    EXPECT_TRUE(g_raw[1].nullData);

    // 20501 = 0x5015 under the same id.
    EXPECT_EQ(g_raw[2].dwData, (ULONG_PTR)0xFFFFFFFF80015015ull);
    EXPECT_TRUE(g_raw[2].nullData);
    EXPECT_EQ(state.connectionId, 0x8001);
    EXPECT_EQ(state.peerVersion, 832);
}

TEST_F(RawWire, FixedRequestRecords)
{
    EXPECT_EQ(PeerApiSetLocation(&state, 6, 18, 2.0, 1.0, 9, 2, 0), 0);
    EXPECT_EQ(Last(), Image(80).At(0, kOne).At(8, kTwo).At(16, {2}).At(24, {6}).At(28, {18}).At(32, {9}).bytes);

    EXPECT_EQ(PeerApiSetButton(&state, kButtonAdd, "\xe5\x8f\x91" "CAD", 1), 1);
    EXPECT_EQ(Last(), Image(320)
                          .At(0, {101})
                          .At(20, {1, 0, 0, 0})
                          .At(24, {0xE5, 0x8F, 0x91, 'C', 'A', 'D'})
                          .bytes);
    EXPECT_EQ(PeerApiSetButton(&state, kButtonQuery, nullptr, 1), 1);
    EXPECT_EQ(Last(), Image(320).At(0, {101}).At(20, {0xFF, 0xFF, 0xFF, 0xFF}).bytes);

    EXPECT_EQ(PeerApiGetObject(&state, 0x01020304, 3), 0);
    EXPECT_EQ(Last(), Image(16).At(0, {101, 0, 0, 3}).At(8, {4, 3, 2, 1}).bytes);

    uint32_t ids[] = {5, 6};
    EXPECT_EQ(PeerApiDeleteObjects(&state, ids, 2, true, false), 0);
    EXPECT_EQ(Last(), Image(24).At(0, {101}).At(12, {1}).At(16, {5, 0, 0, 0, 6}).bytes);
    EXPECT_EQ(PeerApiSend20106(&state, ids, 2), 0);
    EXPECT_EQ(Last(), Image(24).At(0, {101}).At(16, {5, 0, 0, 0, 6}).bytes);

    EXPECT_EQ(PeerApiMatchView(&state, 1.0, 2.0, 1.0, 2.0, 0x0102, 19), 0);
    EXPECT_EQ(Last(), Image(112)
                          .At(0, {101})
                          .At(16, kOne)
                          .At(24, kTwo)
                          .At(32, kOne)
                          .At(40, kTwo)
                          .At(48, {2})
                          .At(56, {0x02, 0x01})
                          .At(64, {19})
                          .bytes);

    EXPECT_EQ(PeerApiGetLevelResolutions(&state, 1.0, 2.0), 0);
    EXPECT_EQ(Last(), Image(80).At(24, kOne).At(32, kTwo).bytes);
    EXPECT_EQ(PeerApiGetMapState(&state, 4), 0);
    EXPECT_EQ(Last(), Image(104).At(40, {4}).bytes);
    EXPECT_EQ(PeerApiSetFollowWinMap(&state, 1000), 77);
    EXPECT_EQ(Last(), Image(4).At(0, {0xE8, 0x03}).bytes);
}

TEST_F(RawWire, RequestsWithoutCallers)
{
    EXPECT_EQ(PeerApiSend20002(&state, 1.0, 2.0, 7), 0);
    EXPECT_EQ(Last(), Image(24).At(0, kOne).At(8, kTwo).At(16, {7}).bytes);
    EXPECT_EQ(PeerApiSend20003(&state, 1.0, 2.0, 7), 0);
    EXPECT_EQ(Last(), Image(1056).At(0, kOne).At(8, kTwo).At(16, {7}).bytes);
    EXPECT_EQ(PeerApiSend20104(&state, 0x01020304), 0);
    EXPECT_EQ(Last(), Image(20).At(0, {101}).At(16, {4, 3, 2, 1}).bytes);
    EXPECT_EQ(PeerApiSend20801(&state, 9), 0);
    EXPECT_EQ(Last(), Image(104).At(100, {9}).bytes);
    EXPECT_EQ(PeerApiSend20752(&state, 9), 0);
    EXPECT_EQ(Last(), Image(4).At(0, {9}).bytes);

    std::vector<uint8_t> record(568, 0xAA);
    EXPECT_EQ(PeerApiSend20750(&state, record.data(), "hi", 2), 0);
    Image expected(670);
    for (size_t i = 100; i < 668; ++i) expected.bytes[i] = 0xAA;
    expected.Text(668, "hi");
    EXPECT_EQ(Last(), expected.bytes);

    std::vector<uint8_t> items(2 * 184, 0x11);
    EXPECT_EQ(PeerApiSend20711(&state, items.data(), 2), 0);
    Image items184(100 + 2 * 184);
    for (size_t i = 100; i < items184.bytes.size(); ++i) items184.bytes[i] = 0x11;
    EXPECT_EQ(Last(), items184.bytes);
    EXPECT_EQ(g_raw.back().dwData & 0xFFFF, 20711u);
}

// --- Records.

TEST(GoldenRecords, SignEveryField)
{
    SignRecord* s = NewSignRecord(S);
    strcpy(s->name, "S1");
    s->remark = strdup("xyz");
    s->y = 1.0;
    s->x = 2.0;
    s->coordMode = 2;
    s->elevation = -3;
    s->iconNumber = 500;
    s->colour = 0x00332211;
    s->signType = 3;
    s->textOnly = 1;
    s->transparency = 20;
    s->level = 17;
    s->fontSize = 14;
    s->textColour = 0x00665544;
    s->rotation = 90.0f;
    s->multiLine = 1;

    Image expected(423);
    expected.Text(0, "S1")
        .At(112, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F})  // y 1.0
        .At(120, {0, 0, 0, 0, 0, 0, 0x00, 0x40})  // x 2.0
        .At(128, {2})
        .At(132, {0xFD, 0xFF, 0xFF, 0xFF})  // -3
        .At(144, {0xF4, 0x01, 0, 0})        // icon 500
        .At(148, {0x11, 0x22, 0x33, 0})
        .At(153, {3})
        .At(260, {1})
        .At(262, {20})
        .At(265, {17})
        .At(268, {14, 0, 0, 0})
        .At(272, {0x44, 0x55, 0x66, 0})
        .At(280, {0x00, 0x00, 0xB4, 0x42})  // 90.0f, single precision
        .At(376, {1})
        .At(416, {3, 0, 0, 0})
        .Text(420, "xyz");
    EXPECT_EQ(Serialized(s, kMapObjSign), expected.bytes);
    FreeMapObjRecord(S, s, kMapObjSign);

    SignRecord* back = ParseSignRecord(S, expected.bytes.data(), 423);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->name, "S1");
    EXPECT_STREQ(back->remark, "xyz");
    EXPECT_EQ(back->y, 1.0);
    EXPECT_EQ(back->x, 2.0);
    EXPECT_EQ(back->elevation, -3);
    EXPECT_EQ(back->iconNumber, 500u);
    EXPECT_EQ(back->colour, 0x00332211u);
    EXPECT_EQ(back->signType, 3);
    EXPECT_EQ(back->transparency, 20);
    EXPECT_EQ(back->level, 17);
    EXPECT_EQ(back->textColour, 0x00665544u);
    EXPECT_EQ(back->rotation, 90.0f);
    EXPECT_EQ(back->multiLine, 1);
    FreeMapObjRecord(S, back, kMapObjSign);
}

TEST(GoldenRecords, TrackPaddedTextThenPoints)
{
    TrackRecord* t = NewTrackRecord(S);
    strcpy(t->name, "T");
    t->remark = strdup("abcde");
    t->coordMode = 2;
    t->shapeType = 9;
    t->lineStyle = 5;
    t->count = 1;
    t->points = (TrackPoint*)calloc(1, sizeof(TrackPoint));
    t->points[0].y = 0.5;
    t->points[0].x = -2.0;
    t->points[0].elevation = 65536;
    t->points[0].angle = 1.0;

    // Head 204 + 5 rounded to 216; one 48-byte point from 216.
    Image expected(264);
    expected.Text(0, "T")
        .At(120, {1, 0, 0, 0})
        .At(124, {2})
        .At(144, {0x00, 0x00, 0xFF, 0x00})  // default colour 0xff0000
        .At(148, {3, 0, 0, 0})              // default width
        .At(152, {50, 9, 5})                // opacity, shape type, line style
        .At(200, {5, 0, 0, 0})
        .Text(204, "abcde")
        .At(216, {0, 0, 0, 0, 0, 0, 0xE0, 0x3F})       // y 0.5
        .At(224, {0, 0, 0, 0, 0, 0, 0x00, 0xC0})       // x -2.0
        .At(236, {0x00, 0x00, 0x01, 0x00})             // elevation 65536
        .At(240, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F});      // angle 1.0
    EXPECT_EQ(Serialized(t, kMapObjTrack), expected.bytes);
    FreeMapObjRecord(S, t, kMapObjTrack);

    TrackRecord* back = ParseTrackRecord(S, expected.bytes.data(), 264);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->remark, "abcde");
    ASSERT_EQ(back->count, 1u);
    EXPECT_EQ(back->points[0].x, -2.0);
    EXPECT_EQ(back->points[0].elevation, 65536);
    EXPECT_EQ(back->width, 3u);
    EXPECT_EQ(back->lineStyle, 5);
    FreeMapObjRecord(S, back, kMapObjTrack);
}

TEST(GoldenRecords, ShapeFillFieldsAndFolder)
{
    ShapeRecord* s = NewShapeRecord(S);
    s->outerRingCount = 2;
    s->fillType = 3;
    s->fillKind = 4;
    s->patternId = 5;
    s->secondColour = 0x010203;
    s->fillAngle = 1.0f;
    s->fillScale = 2.0f;
    s->originX = 1.0;
    s->originY = 2.0;
    s->startAngle = 0.5;
    Image expected(208);  // 204 rounded to 208, no points
    expected.At(128, {0, 0, 0, 0, 0, 0, 0xE0, 0x3F})
        .At(144, {1, 50, 50})
        .At(150, {2, 0})
        .At(152, {0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00})
        .At(160, {3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 0x03, 0x02, 0x01, 0x00})
        .At(176, {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40})  // 1.0f, 2.0f
        .At(184, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0x00, 0x40});
    EXPECT_EQ(Serialized(s, kMapObjShape), expected.bytes);
    FreeMapObjRecord(S, s, kMapObjShape);

    FolderRecord* f = NewFolderRecord(S);
    strcpy(f->name, "F");
    f->childCount = 3;
    f->sentFlag = 1;
    Image folder(176);
    folder.Text(0, "F").At(100, {3, 0, 0, 0}).At(111, {1}).At(115, {1});
    EXPECT_EQ(Serialized(f, kMapObjFolder), folder.bytes);
    FreeMapObjRecord(S, f, kMapObjFolder);
}

TEST(GoldenRecords, MultiPartFromThePeer)
{
    // Remark "r": head 485 rounded to 488; parts of 2 and 0 items; then the
    // two items of the first part.
    Image wire(488 + 2 * 1432 + 2 * 16);
    wire.Text(0, "M")
        .At(120, {2, 0, 0, 0})
        .At(425, {7, 60})
        .At(428, {0xFF, 0, 0, 0})
        .At(480, {1, 0, 0, 0})
        .Text(484, "r")
        .At(488 + 1416, {2, 0, 0, 0})
        .At(488 + 2864, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F})        // item 0 y 1.0
        .At(488 + 2864 + 24, {0, 0, 0, 0, 0, 0, 0x00, 0x40});  // item 1 x 2.0
    MultiPartRecord* m = ParseMultiPartRecord(S, wire.bytes.data(), (uint32_t)wire.bytes.size());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->partCount, 2);
    EXPECT_STREQ(m->remark, "r");
    EXPECT_EQ(m->colour, 255u);
    ASSERT_EQ(m->parts[0].itemCount, 2u);
    EXPECT_EQ(m->parts[0].items[0].y, 1.0);
    EXPECT_EQ(m->parts[0].items[1].x, 2.0);
    EXPECT_EQ(m->parts[1].items, nullptr);
    EXPECT_EQ(Serialized(m, kMapObjMultiPart), wire.bytes);
    FreeMapObjRecord(S, m, kMapObjMultiPart);
}

}  // namespace
