// Map-object records: defaults, byte images of every kind, round trips, every
// refusal of the readers, and the payload buffer's growth.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "peer/maprecords.h"

namespace {

PeerApiState* const S = nullptr;  // the record operations do not read the state

uint32_t U32At(const uint8_t* p, size_t at)
{
    uint32_t v;
    memcpy(&v, p + at, 4);
    return v;
}

std::vector<uint8_t> Bytes(const uint8_t* p, uint32_t n) { return std::vector<uint8_t>(p, p + n); }

struct Wire {
    std::vector<uint8_t> bytes;
};

Wire Serialize(const void* record, uint32_t kind)
{
    uint32_t size = 0;
    uint8_t* p = SerializeMapObjRecord(S, record, kind, &size);
    EXPECT_NE(p, nullptr);
    Wire w{p ? Bytes(p, size) : std::vector<uint8_t>()};
    free(p);
    return w;
}

TrackRecord* MakeTrack(const char* remark, uint32_t points)
{
    TrackRecord* t = NewTrackRecord(S);
    strcpy(t->name, "line");
    t->remark = remark ? strdup(remark) : nullptr;
    t->count = points;
    t->points = (TrackPoint*)calloc(points, sizeof(TrackPoint));
    for (uint32_t i = 0; i < points; ++i) {
        t->points[i].y = 10.0 + i;
        t->points[i].x = 20.0 + i;
        t->points[i].elevation = i == 1 ? 65536 : (int32_t)i;
    }
    return t;
}

TEST(RecordDefaults, EachKindStartsWithItsDefaults)
{
    FolderRecord* f = NewFolderRecord(S);
    EXPECT_EQ(((uint8_t*)f)[111], 1);
    TrackRecord* t = NewTrackRecord(S);
    EXPECT_EQ(U32At((uint8_t*)t, 144), 0xff0000u);
    EXPECT_EQ(U32At((uint8_t*)t, 148), 3u);
    EXPECT_EQ(((uint8_t*)t)[152], 50);
    ShapeRecord* s = NewShapeRecord(S);
    const uint8_t* sb = (uint8_t*)s;
    EXPECT_EQ(sb[144], 1);
    EXPECT_EQ(sb[145], 50);
    EXPECT_EQ(sb[146], 50);
    EXPECT_EQ(U32At(sb, 152), 0xff0000u);
    EXPECT_EQ(U32At(sb, 156), 0xff0000u);
    MultiPartRecord* m = NewMultiPartRecord(S);
    EXPECT_EQ(((uint8_t*)m)[425], 7);
    EXPECT_EQ(((uint8_t*)m)[426], 60);
    EXPECT_EQ(U32At((uint8_t*)m, 428), 255u);
    FreeMapObjRecord(S, f, kMapObjFolder);
    FreeMapObjRecord(S, t, kMapObjTrack);
    FreeMapObjRecord(S, s, kMapObjShape);
    FreeMapObjRecord(S, m, kMapObjMultiPart);
}

TEST(RecordImages, TrackTextIsPaddedToEightAndPointsFollow)
{
    TrackRecord* t = MakeTrack("abcd", 3);
    Wire w = Serialize(t, kMapObjTrack);
    ASSERT_EQ(w.bytes.size(), 352u);
    EXPECT_EQ(std::string((char*)w.bytes.data()), "line");
    EXPECT_EQ(U32At(w.bytes.data(), 120), 3u);
    EXPECT_EQ(U32At(w.bytes.data(), 200), 4u);
    EXPECT_EQ(std::string((char*)w.bytes.data() + 204, 4), "abcd");
    for (size_t i = 104; i < 120; ++i) EXPECT_EQ(w.bytes[i], 0) << "pointer slots carry nothing: " << i;
    double y;
    memcpy(&y, w.bytes.data() + 208 + 48, 8);
    EXPECT_EQ(y, 11.0);
    EXPECT_EQ((int32_t)U32At(w.bytes.data(), 208 + 48 + 20), 65536);
    FreeMapObjRecord(S, t, kMapObjTrack);

    TrackRecord* five = MakeTrack("abcde", 0);
    Wire w5 = Serialize(five, kMapObjTrack);
    ASSERT_EQ(w5.bytes.size(), 216u);
    for (size_t i = 209; i < 216; ++i) EXPECT_EQ(w5.bytes[i], 0);
    FreeMapObjRecord(S, five, kMapObjTrack);
}

TEST(RecordImages, SignIsNotPaddedAndKeepsItsFloatRotation)
{
    SignRecord* s = NewSignRecord(S);
    s->coordMode = 2;
    s->rotation = 30.5f;
    s->x = 1.5;
    Wire empty = Serialize(s, kMapObjSign);
    ASSERT_EQ(empty.bytes.size(), 420u);
    EXPECT_EQ(U32At(empty.bytes.data(), 416), 0u);
    EXPECT_EQ(U32At(empty.bytes.data(), 128), 2u);
    float rotation;
    memcpy(&rotation, empty.bytes.data() + 280, 4);
    EXPECT_EQ(rotation, 30.5f);
    EXPECT_EQ(U32At(empty.bytes.data(), 284), 0u);

    s->remark = strdup("xyz");
    Wire w = Serialize(s, kMapObjSign);
    ASSERT_EQ(w.bytes.size(), 423u);
    EXPECT_EQ(std::string((char*)w.bytes.data() + 420, 3), "xyz");
    SignRecord* back = ParseSignRecord(S, w.bytes.data(), (uint32_t)w.bytes.size());
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->remark, "xyz");
    EXPECT_EQ(back->x, 1.5);
    EXPECT_EQ(back->rotation, 30.5f);
    FreeMapObjRecord(S, back, kMapObjSign);
    FreeMapObjRecord(S, s, kMapObjSign);
}

TEST(RecordImages, MultiPartPartsThenAllItems)
{
    MultiPartRecord* m = NewMultiPartRecord(S);
    m->remark = strdup("r");
    m->partCount = 2;
    m->parts = (MultiPartPart*)calloc(2, sizeof(MultiPartPart));
    m->parts[0].itemCount = 1;
    m->parts[0].items = (MultiPartItem*)calloc(1, sizeof(MultiPartItem));
    m->parts[0].items[0] = {1.0, 2.0};
    m->parts[1].itemCount = 2;
    m->parts[1].items = (MultiPartItem*)calloc(2, sizeof(MultiPartItem));
    m->parts[1].items[1] = {5.0, 6.0};
    Wire w = Serialize(m, kMapObjMultiPart);
    // 480 + 4 + 1 -> 488, two parts, three items.
    ASSERT_EQ(w.bytes.size(), 488u + 2 * 1432 + 3 * 16);
    EXPECT_EQ(U32At(w.bytes.data(), 488 + 1416), 1u);
    EXPECT_EQ(U32At(w.bytes.data(), 488 + 1432 + 1416), 2u);
    double y;
    memcpy(&y, w.bytes.data() + 488 + 2 * 1432 + 2 * 16, 8);
    EXPECT_EQ(y, 5.0);

    MultiPartRecord* back = ParseMultiPartRecord(S, w.bytes.data(), (uint32_t)w.bytes.size());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->partCount, 2);
    EXPECT_EQ(back->parts[0].items[0].x, 2.0);
    EXPECT_EQ(back->parts[1].items[1].y, 5.0);
    EXPECT_STREQ(back->remark, "r");
    FreeMapObjRecord(S, back, kMapObjMultiPart);
    FreeMapObjRecord(S, m, kMapObjMultiPart);
}

TEST(RecordImages, FolderAndShapeRoundTrip)
{
    FolderRecord* f = NewFolderRecord(S);
    strcpy(f->name, "CAD工作空间");
    f->childCount = 4;
    Wire wf = Serialize(f, kMapObjFolder);
    ASSERT_EQ(wf.bytes.size(), 176u);
    FolderRecord* fb = ParseFolderRecord(S, wf.bytes.data(), 176);
    ASSERT_NE(fb, nullptr);
    EXPECT_STREQ(fb->name, "CAD工作空间");
    EXPECT_EQ(fb->childCount, 4u);
    FreeMapObjRecord(S, fb, kMapObjFolder);
    FreeMapObjRecord(S, f, kMapObjFolder);

    ShapeRecord* s = NewShapeRecord(S);
    s->count = 2;
    s->points = (TrackPoint*)calloc(2, sizeof(TrackPoint));
    s->points[1].x = 9.0;
    s->fillScale = 2.5f;
    Wire ws = Serialize(s, kMapObjShape);
    ASSERT_EQ(ws.bytes.size(), 208u + 96);
    ShapeRecord* sb = ParseShapeRecord(S, ws.bytes.data(), (uint32_t)ws.bytes.size());
    ASSERT_NE(sb, nullptr);
    EXPECT_EQ(sb->remark, nullptr);
    EXPECT_EQ(sb->points[1].x, 9.0);
    EXPECT_EQ(sb->fillScale, 2.5f);
    FreeMapObjRecord(S, sb, kMapObjShape);
    FreeMapObjRecord(S, s, kMapObjShape);

    uint32_t size = 7;
    EXPECT_EQ(SerializeMapObjRecord(S, f, 99, &size), nullptr);
    EXPECT_EQ(size, 7u);
}

TEST(RecordReaders, RefuseEveryMalformedBody)
{
    std::vector<uint8_t> folder(177);
    EXPECT_EQ(ParseFolderRecord(S, folder.data(), 175), nullptr);
    EXPECT_EQ(ParseFolderRecord(S, folder.data(), 177), nullptr);

    std::vector<uint8_t> sign(430);
    uint32_t t = 10;
    memcpy(sign.data() + 416, &t, 4);
    SignRecord* fits = ParseSignRecord(S, sign.data(), 430);
    EXPECT_NE(fits, nullptr);
    FreeMapObjRecord(S, fits, kMapObjSign);
    EXPECT_EQ(ParseSignRecord(S, sign.data(), 429), nullptr);
    EXPECT_EQ(ParseSignRecord(S, sign.data(), 419), nullptr);
    t = 0xFFFFFFF0u;  // 420 + t would wrap in 32 bits
    memcpy(sign.data() + 416, &t, 4);
    EXPECT_EQ(ParseSignRecord(S, sign.data(), 404 + 16 + 12), nullptr);

    TrackRecord* tr = MakeTrack("abcd", 3);
    Wire w = Serialize(tr, kMapObjTrack);
    FreeMapObjRecord(S, tr, kMapObjTrack);
    std::vector<uint8_t> longer = w.bytes;
    longer.push_back(0);
    EXPECT_EQ(ParseTrackRecord(S, longer.data(), (uint32_t)longer.size()), nullptr);
    EXPECT_EQ(ParseTrackRecord(S, w.bytes.data(), (uint32_t)w.bytes.size() - 1), nullptr);
    EXPECT_EQ(ParseTrackRecord(S, w.bytes.data(), 203), nullptr);
    std::vector<uint8_t> huge = w.bytes;
    uint32_t count = 0x05555556;  // 48 x count wraps to a small number in 32 bits
    memcpy(huge.data() + 120, &count, 4);
    EXPECT_EQ(ParseTrackRecord(S, huge.data(), (uint32_t)huge.size()), nullptr);
    TrackRecord* ok = ParseTrackRecord(S, w.bytes.data(), (uint32_t)w.bytes.size());
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->points[2].x, 22.0);
    FreeMapObjRecord(S, ok, kMapObjTrack);

    // Multi-part: a negative part count, and items past the end.
    std::vector<uint8_t> multi(488 + 1432);
    int32_t parts = -1;
    memcpy(multi.data() + 120, &parts, 4);
    EXPECT_EQ(ParseMultiPartRecord(S, multi.data(), (uint32_t)multi.size()), nullptr);
    parts = 1;
    memcpy(multi.data() + 120, &parts, 4);
    uint32_t items = 1;
    memcpy(multi.data() + 488 + 1416, &items, 4);
    EXPECT_EQ(ParseMultiPartRecord(S, multi.data(), (uint32_t)multi.size()), nullptr);
    multi.resize(multi.size() + 16);
    MultiPartRecord* m = ParseMultiPartRecord(S, multi.data(), (uint32_t)multi.size());
    ASSERT_NE(m, nullptr);
    FreeMapObjRecord(S, m, kMapObjMultiPart);
    EXPECT_EQ(ParseMultiPartRecord(S, multi.data(), 483), nullptr);
}

TEST(RecordReaders, TracksOfMoreThanAMillionPointsAreRefusedWhateverTheirSize)
{
    // A body exactly as long as its count asks is still refused above the
    // bound: the count alone decides what a reader allocates.
    TrackRecord* tr = MakeTrack(nullptr, 0);
    Wire w = Serialize(tr, kMapObjTrack);
    FreeMapObjRecord(S, tr, kMapObjTrack);
    const size_t head = w.bytes.size();
    for (uint32_t count : {1000000u, 1000001u}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> body(head + 48ull * count);
        memcpy(body.data(), w.bytes.data(), head);
        memcpy(body.data() + 120, &count, 4);
        memcpy(body.data() + head + 48ull * (count - 1), "\0\0\0\0\0\0\x24\x40", 8);  // last point's y: 10
        TrackRecord* r = ParseTrackRecord(S, body.data(), (uint32_t)body.size());
        if (count == 1000000u) {
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(r->count, count);
            EXPECT_EQ(r->points[count - 1].y, 10.0);
            FreeMapObjRecord(S, r, kMapObjTrack);
        } else {
            EXPECT_EQ(r, nullptr);
        }
    }
}

TEST(RecordReaders, MultiPartCountsThatWouldWrapIn32BitsAreRefused)
{
    // Two parts of 0x10000000 items each: 16 x 0x20000000 bytes wrap to 0 in
    // 32 bits, so the body would seem to need no item bytes.
    std::vector<uint8_t> multi(488 + 2 * 1432);
    int32_t parts = 2;
    memcpy(multi.data() + 120, &parts, 4);
    uint32_t items = 0x10000000;
    memcpy(multi.data() + 488 + 1416, &items, 4);
    memcpy(multi.data() + 488 + 1432 + 1416, &items, 4);
    EXPECT_EQ(ParseMultiPartRecord(S, multi.data(), (uint32_t)multi.size()), nullptr);
    // A part count whose parts alone wrap past the size in 32 bits.
    parts = 0x7FFFFFFF;
    memcpy(multi.data() + 120, &parts, 4);
    EXPECT_EQ(ParseMultiPartRecord(S, multi.data(), (uint32_t)multi.size()), nullptr);
}

TEST(PeerBuffers, GrowGeometricallyAndRefuseOverflow)
{
    PeerBuffer b{(uint8_t*)calloc(1000, 1), 995, 1000};
    uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(AppendPeerBuffer(&b, ten, 10, true));
    EXPECT_EQ(b.capacity, 2020);
    EXPECT_EQ(b.length, 1005);
    EXPECT_EQ(b.data[1004], 10);
    EXPECT_EQ(b.data[2019], 0);
    b.length = b.capacity;
    ASSERT_TRUE(AppendPeerBuffer(&b, ten, 0, true));
    EXPECT_EQ(b.capacity, 2020);
    EXPECT_FALSE(AppendPeerBuffer(&b, ten, -1, true));

    // A size the 32-bit fields cannot hold fails and leaves the buffer alone.
    uint8_t* data = b.data;
    b.length = INT_MAX / 2;
    b.capacity = INT_MAX / 2;
    EXPECT_FALSE(AppendPeerBuffer(&b, ten, 10, true));
    EXPECT_EQ(b.data, data);
    EXPECT_EQ(b.length, INT_MAX / 2);
    free(b.data);

    uint8_t* packet = NewPeerPacket(4);
    EXPECT_EQ(packet[0], 101);
    EXPECT_EQ(packet[1], 0);
    free(packet);
}

}  // namespace
