// Framing records into the exchange buffer and applying the peer's answer.
#include "exchange/objexchangebuffer.h"

#include "afxmsgbox.h"
#include "editor_control.h"
#include "gcedview.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "peer_fixture.h"

namespace {

class ExchangeBufferTest : public PeerExchangeTest {
protected:
    std::vector<uint8_t> Bytes(const ObjExchangeBuffer& b) const
    {
        return std::vector<uint8_t>(b.buffer.data, b.buffer.data + b.buffer.length);
    }
    void AppendSign(ObjExchangeBuffer& b, const char* name, MapObjInfo* info, SentTarget target = SentTarget::kEntity)
    {
        SignRecord* s = NewSignRecord(&g_peerApi);
        strcpy(s->name, name);
        s->x = 10;
        s->y = 20;
        ArxOperation::AppendMapObjRecord(s, kMapObjSign, &b, info, target);
    }
    static MapObjInfo Link(uint64_t handle)
    {
        MapObjInfo info;
        info.handle = handle;
        return info;
    }
    // A 64-byte answer entry.
    static void Entry(std::vector<uint8_t>& answer, uint32_t kind, uint32_t id, uint64_t echo)
    {
        size_t at = answer.size();
        answer.resize(at + 64);
        memcpy(answer.data() + at + 4, &kind, 4);
        memcpy(answer.data() + at + 8, &id, 4);
        memcpy(answer.data() + at + 16, &echo, 8);
    }
};

using velktest::ReadAt;

}  // namespace

TEST_F(ExchangeBufferTest, ASignIsFramedBehindItsHeaderAndTheRootCountsIt)
{
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 55));
    EXPECT_EQ(b.buffer.capacity, 1000);
    EXPECT_FALSE(ExchangeBufferHasRecords(&b));
    MapObjInfo info;
    info.handle = 0x2A;
    info.parentId = 9;
    info.peerId = 0;
    AppendSign(b, "Sign_1", &info);
    CloseExchangeBuffer(&b);
    std::vector<uint8_t> bytes = Bytes(b);
    ASSERT_EQ(bytes.size(), 80u + 64 + 420);
    EXPECT_EQ(ReadAt<uint16_t>(bytes, 0), 101);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 4), 55u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 8), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 16), 484u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 16 + 12), 55u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 80), 420u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 84), 7u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 88), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 92), 9u);
    EXPECT_EQ(ReadAt<uint64_t>(bytes, 96), 0x2Au);
    for (size_t i = 104; i < 144; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_STREQ((const char*)bytes.data() + 144, "Sign_1");
    EXPECT_EQ(ReadAt<double>(bytes, 144 + 120), 10.0);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 144 + 416), 0u);  // no remark
    // An unnamed link takes the record's name.
    EXPECT_EQ(info.name, L"Sign_1");
    EXPECT_TRUE(ExchangeBufferHasRecords(&b));
    ASSERT_EQ(b.records.size(), 1u);
    EXPECT_EQ(b.records[0].key, 0x2Au);
}

TEST_F(ExchangeBufferTest, AFolderStandsInFrontOfItsChildren)
{
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 3));
    MapObjInfo first = Link(1);
    AppendSign(b, "before", &first);
    int32_t p = b.buffer.length;
    size_t recordsBefore = b.records.size();
    FolderReservation r;
    ASSERT_TRUE(ReserveFolderRecord(&b, r));
    EXPECT_EQ(r.position, p);
    EXPECT_EQ(r.size, 176u);
    EXPECT_EQ(b.buffer.length, p + 64 + 176);
    MapObjInfo child = Link(0x51);
    for (int i = 0; i < 3; ++i) AppendSign(b, "child", &child);
    FolderRecord* folder = NewFolderRecord(&g_peerApi);
    strcpy(folder->name, "BlockRef_1");
    MapObjInfo block;
    block.handle = 0x50;
    block.peerId = 77;
    FinishFolderRecord(&b, r, folder, 3, &block);
    CloseExchangeBuffer(&b);
    std::vector<uint8_t> bytes = Bytes(b);
    EXPECT_EQ(bytes.size(), (size_t)p + 64 + 176 + 3 * (64 + 420));
    EXPECT_EQ(ReadAt<uint32_t>(bytes, p), 176u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, p + 4), 30u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, p + 8), 77u);
    EXPECT_EQ(ReadAt<uint64_t>(bytes, p + 16), 0x50u);
    EXPECT_STREQ((const char*)bytes.data() + p + 64, "BlockRef_1");
    EXPECT_EQ(ReadAt<uint32_t>(bytes, p + 64 + 100), 3u);
    EXPECT_EQ(bytes[p + 64 + 115], 1);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, p + 64 + 176 + 4), 7u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 16), bytes.size() - 80);
    // The folder's record comes before its children's.
    ASSERT_EQ(b.records.size(), recordsBefore + 4);
    EXPECT_EQ(b.records[recordsBefore].key, 0x50u);
    EXPECT_EQ(b.records[recordsBefore + 1].key, 0x51u);
    // The peer takes the buffer as it is: the children go into the folder.
    EXPECT_EQ(SendExchangeBuffer(&b), 0);
    EXPECT_EQ(b.buffer.data, nullptr);
    uint32_t folderId = 0;
    for (auto& [id, o] : peer->Objects())
        if (o.name == "BlockRef_1") folderId = id;
    int inside = 0;
    for (auto& [id, o] : peer->Objects()) inside += o.parent == folderId;
    EXPECT_EQ(inside, 3);
}

TEST_F(ExchangeBufferTest, AReservationPastTheCapacityGrowsTheBuffer)
{
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 3));
    std::vector<uint8_t> pad(900 - 80, 0xAB);
    ASSERT_TRUE(ArxOperation::AppendToBuffer(&b, pad.data(), (int)pad.size()));
    FolderReservation r;
    ASSERT_TRUE(ReserveFolderRecord(&b, r));
    EXPECT_EQ(b.buffer.capacity, 2 * (900 + 64 + 176 + 176) + 10);
    EXPECT_EQ(b.buffer.length, 900 + 64 + 176);
    // The reserved place is zero until the folder is written into it.
    for (int i = 900; i < b.buffer.length; ++i) ASSERT_EQ(b.buffer.data[i], 0) << i;
    EXPECT_EQ(b.buffer.data[899], 0xAB);
    // Exactly at the capacity nothing grows.
    ObjExchangeBuffer c;
    ASSERT_TRUE(StartExchangeBuffer(&c, 3));
    std::vector<uint8_t> pad2(1000 - 240 - 80, 0);
    ASSERT_TRUE(ArxOperation::AppendToBuffer(&c, pad2.data(), (int)pad2.size()));
    ASSERT_TRUE(ReserveFolderRecord(&c, r));
    EXPECT_EQ(c.buffer.capacity, 1000);
}

TEST_F(ExchangeBufferTest, AFolderNeverWrittenLeavesNoHoleInTheBuffer)
{
    // A folder reserved and then not written (no record to write, or its
    // append failed) must not leave its zero-filled place in the stream.
    for (bool appendFails : {false, true}) {
        SCOPED_TRACE(appendFails);
        ObjExchangeBuffer b;
        ASSERT_TRUE(StartExchangeBuffer(&b, 3));
        MapObjInfo first = Link(1);
        AppendSign(b, "before", &first);
        const int32_t p = b.buffer.length;
        FolderReservation r;
        ASSERT_TRUE(ReserveFolderRecord(&b, r));
        MapObjInfo child = Link(2);
        AppendSign(b, "child", &child);
        FolderRecord* folder = nullptr;
        if (appendFails) {
            folder = NewFolderRecord(&g_peerApi);
            b.limit = p + 10;  // the folder's header no longer fits
        }
        MapObjInfo block = Link(3);
        FinishFolderRecord(&b, r, folder, 1, &block);
        EXPECT_EQ(b.buffer.length, p);
        ASSERT_EQ(b.records.size(), 1u);
        EXPECT_EQ(b.records[0].key, 1u);
        CloseExchangeBuffer(&b);
        EXPECT_EQ(SendExchangeBuffer(&b), 0);
        EXPECT_EQ(peer->Objects().size(), 1u);
        peer = std::make_unique<velkpeer::StandinPeer>();
    }
}

TEST_F(ExchangeBufferTest, ARecordThatDoesNotFitLeavesNoHeaderBehind)
{
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 3));
    MapObjInfo info = Link(0x10);
    AppendSign(b, "fits", &info);
    // Room for a header but not for its body.
    b.limit = b.buffer.length + 64 + 100;
    int32_t before = b.buffer.length;
    AppendSign(b, "too big", &info);
    EXPECT_EQ(b.buffer.length, before);
    EXPECT_TRUE(b.appendFailed);
    EXPECT_EQ(b.records.size(), 1u);
    ASSERT_FALSE(standin::MessageBoxes().empty());
    EXPECT_EQ(standin::MessageBoxes().back().text, L"系统内存不足！操作失败！");
    FolderReservation r;
    EXPECT_FALSE(ReserveFolderRecord(&b, r));
    EXPECT_EQ(b.buffer.length, before);
    // What fitted goes out whole and the peer can read it.
    CloseExchangeBuffer(&b);
    EXPECT_EQ(SendExchangeBuffer(&b), 0);
    EXPECT_EQ(peer->Objects().size(), 1u);
    EXPECT_FALSE(ArxOperation::AppendToBuffer(&b, "x", -1));
    EXPECT_EQ(standin::MessageBoxes().back().text, L"系统内存不足！");
}

TEST_F(ExchangeBufferTest, AFullBufferIsReportedOncePerSendHoweverManyRecordsMiss)
{
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 3));
    MapObjInfo info = Link(0x10);
    b.limit = b.buffer.length + 64 + 100;
    const size_t boxes = standin::MessageBoxes().size();
    for (int i = 0; i < 1000; ++i) AppendSign(b, "too big", &info);
    EXPECT_FALSE(ArxOperation::AppendToBuffer(&b, "x", -1));
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(standin::MessageBoxes().back().text, L"系统内存不足！操作失败！");
    EXPECT_TRUE(b.records.empty());
    // The next send starts afresh and is reported again.
    ASSERT_TRUE(StartExchangeBuffer(&b, 3));
    b.limit = b.buffer.length + 10;
    AppendSign(b, "too big", &info);
    AppendSign(b, "too big", &info);
    EXPECT_EQ(standin::MessageBoxes().size(), boxes + 2);
}

TEST_F(ExchangeBufferTest, EachAnswerEntryUpdatesWhatItsRecordWas)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    // A point set under a temporary key that equals an entity's handle.
    MapObjInfo point;
    for (uint64_t h : {0x31, 0x32}) {
        point.handle = h;
        SetLinkGroup(d->pointGroups, 0x20, &point, 1);
    }
    std::vector<SentRecord> sent = {
        {SentTarget::kEntity, 0x20},      // an entity whose handle is the group's key
        {SentTarget::kPointGroup, 0x20},  // the point set itself
        {SentTarget::kEntity, 0x40},      // an entity given its own handle as id
        {SentTarget::kEntity, 0x41},      // answered with another record's echo
        {SentTarget::kEntity, 0x42},      // answered with id 0: the peer made nothing
    };
    std::vector<uint8_t> answer;
    Entry(answer, 7, 900, 0x20);
    Entry(answer, 8, 901, 0x20);
    Entry(answer, 7, 0x40, 0x40);
    Entry(answer, 7, 903, 0x99);
    Entry(answer, 7, 0, 0x42);
    ApplyObjectAnswerTo(sent, answer.data(), 64 * 2 + 2);  // two whole entries
    EXPECT_EQ(FindEntityLink(d->links, 0x20)->peerId, 900u);
    uint64_t h = 0;
    EXPECT_TRUE(FindPeerEntity(d->peerEntities, 900, h));
    EXPECT_EQ(h, 0x20u);
    ASSERT_EQ(d->pointGroups.count(901), 1u);
    EXPECT_EQ(d->pointGroups.count(0x20), 0u);
    EXPECT_EQ(FindEntityLink(d->links, 0x31)->peerId, 901u);
    EXPECT_EQ(FindEntityLink(d->links, 0x31)->join, 1);
    EXPECT_EQ(FindEntityLink(d->links, 0x40), nullptr);

    ApplyObjectAnswerTo(sent, answer.data(), (uint32_t)answer.size());
    ASSERT_NE(FindEntityLink(d->links, 0x40), nullptr);
    EXPECT_EQ(FindEntityLink(d->links, 0x40)->peerId, 0x40u);
    EXPECT_EQ(FindEntityLink(d->links, 0x41), nullptr);
    EXPECT_EQ(FindEntityLink(d->links, 0x42), nullptr);
    EXPECT_FALSE(FindPeerEntity(d->peerEntities, 0, h));
    // A point set answered again with its id stays where it is.
    EXPECT_EQ(d->pointGroups.count(901), 1u);
    EXPECT_EQ(g_bSuppressReactors, 0);
    // Without a buffer in flight an answer changes nothing.
    size_t links = d->links.size();
    ApplyObjectAnswer(answer.data(), (uint32_t)answer.size());
    EXPECT_EQ(d->links.size(), links);
}

TEST_F(ExchangeBufferTest, TheAnswerOfASendArrivesInsideIt)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    g_subFolderName = L"site.dwg";
    g_velkObjTree.first = new VelkObjNode();
    g_velkObjTree.first->name = L"site.dwg";
    g_velkObjTree.first->id = 5;
    // A layer folder, then an entity, with the meter of a large send up.
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, 5));
    auto* layerLink = new MapObjInfo();
    layerLink->name = L"walls";
    layerLink->handle = 0x7777;
    layerLink->parentId = 5;
    FolderRecord* f = NewFolderRecord(&g_peerApi);
    strcpy(f->name, "walls");
    ArxOperation::AppendMapObjRecord(f, kMapObjFolder, &b, layerLink, SentTarget::kLayerFolder);
    SetEntityLink(folderRecordLinks, 0, layerLink, 0);
    MapObjInfo sign = Link(0x2B);
    AppendSign(b, "Sign_2", &sign);
    CloseExchangeBuffer(&b);
    g_bShowSendProgress = 1;
    g_bNewFoldersSent = 1;
    gcedSetStatusBarProgressMeter(L"发送数据", 0, 100);
    ASSERT_EQ(SendExchangeBuffer(&b), 0);
    EXPECT_EQ(standin::StatusBarProgress().positions, (std::vector<int>{90, 100}));
    EXPECT_FALSE(standin::StatusBarProgress().shown);
    uint32_t folderId = 0, signId = 0;
    for (auto& [id, o] : peer->Objects()) (o.kind == 30 ? folderId : signId) = id;
    EXPECT_EQ(FindEntityLink(d->links, 0x2B)->peerId, signId);
    EXPECT_EQ(FindEntityLink(d->links, 0x7777)->peerId, folderId);
    ASSERT_NE(g_velkObjTree.first->firstChild, nullptr);
    EXPECT_EQ(g_velkObjTree.first->firstChild->id, folderId);
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"walls"), folderId);
}

TEST_F(ExchangeBufferTest, ALayerFolderOfAnUncachedDrawingIsNotFiledAsADrawing)
{
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    uint32_t ws = PutFolder("CAD工作空间", 0);
    PutFolder("a.dwg", ws);
    ASSERT_TRUE(g_velkObjTree.Load());
    // The drawing's folder is made by a search: in the peer, not cached.
    g_subFolderName = L"site.dwg";
    uint32_t site = g_velkObjTree.Search(g_subFolderName, ws, true);
    ASSERT_NE(site, 0u);
    ObjExchangeBuffer b;
    ASSERT_TRUE(StartExchangeBuffer(&b, site));
    auto* layerLink = new MapObjInfo();
    layerLink->name = L"walls";
    layerLink->parentId = site;
    FolderRecord* f = NewFolderRecord(&g_peerApi);
    strcpy(f->name, "walls");
    ArxOperation::AppendMapObjRecord(f, kMapObjFolder, &b, layerLink, SentTarget::kLayerFolder);
    SetEntityLink(folderRecordLinks, 0, layerLink, 0);
    CloseExchangeBuffer(&b);
    g_bNewFoldersSent = 1;
    ASSERT_EQ(SendExchangeBuffer(&b), 0);
    for (VelkObjNode* n = g_velkObjTree.first; n; n = n->next) EXPECT_FALSE(n->name == L"walls");
    // Walking the cache for another layer makes no second "walls" at the
    // top of the workspace, and finds the drawing's folders the peer has.
    uint32_t roads = g_velkObjTree.EnsurePath(L"site.dwg", L"roads", true);
    ASSERT_NE(roads, 0u);
    EXPECT_EQ(FoldersNamed("walls"), 1);
    EXPECT_EQ(FoldersNamed("site.dwg"), 1);
    EXPECT_EQ(peer->Objects().at(roads).parent, site);
    EXPECT_EQ(g_velkObjTree.EnsurePath(L"site.dwg", L"walls", true), ArxOperation::GetLayerFolderId(L"walls"));
    EXPECT_EQ(FoldersNamed("walls"), 1);
}

TEST_F(ExchangeBufferTest, AnErasedEntitysPeerObjectIsDeleted)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    DeletePeerObjectOfEntity(0x30);  // no drawing active: nothing
    g_ptagDocIdManager = d;
    DeletePeerObjectOfEntity(0x30);  // no link: nothing
    UpdateEntityLink(d, 0x31, 0, false);
    DeletePeerObjectOfEntity(0x31);  // not in the peer: nothing
    EXPECT_TRUE(Sent(20103).empty());
    uint32_t id = PutFolder("x", 0);
    UpdateEntityLink(d, 0x30, id, false);
    DeletePeerObjectOfEntity(0x30);
    auto deletes = Sent(20103);
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_EQ(deletes[0].bytes.size(), 20u);
    EXPECT_EQ(ReadAt<uint32_t>(deletes[0].bytes, 12), 0u);  // neither flag
    EXPECT_EQ(ReadAt<uint32_t>(deletes[0].bytes, 16), id);
    EXPECT_TRUE(peer->Objects().empty());
}
