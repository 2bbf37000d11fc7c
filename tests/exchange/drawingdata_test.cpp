#include "state/drawingdata.h"

#include "exchange_fixture.h"

namespace {

using DrawingDataTest = ExchangeTest;

MapObjInfo* NewLink(uint64_t handle, uint32_t peerId, const wchar_t* name = L"")
{
    auto* r = new MapObjInfo();
    r->handle = handle;
    r->peerId = peerId;
    r->name = name;
    return r;
}

}  // namespace

TEST_F(DrawingDataTest, DrawingKeyIsTheMd5OfTheAnsiNameWithTheTopBitCleared)
{
    // MD5("abc") = 90 01 50 98 3c d2 4f b0 ...: read little-endian, bit 63 off.
    EXPECT_EQ(DrawingKeyFromName(L"abc"), 0x304fd23c98500190ull);
    // The name goes through code page 936 first (two GBK bytes per character).
    EXPECT_EQ(DrawingKeyFromName(L"图纸.dwg"), 0x04e86b7802a6ca44ull);
    EXPECT_EQ(DrawingKeyFromName(L"图纸.dwg"), DrawingKeyFromName(CString(L"图纸.dwg")));
    // Characters the code page cannot hold fold to the same bytes.
    EXPECT_EQ(DrawingKeyFromName(L"site\U0001F600.dwg"), DrawingKeyFromName(L"site\U0001F601.dwg"));
    EXPECT_NE(DrawingKeyFromName(L"site1.dwg"), DrawingKeyFromName(L"site2.dwg"));
}

TEST_F(DrawingDataTest, RecordsBelongToTheirDocument)
{
    GcApDocument* other = standin::CreateDocument(L"D:\\copy\\site.dwg", false);
    CDrawingData* a = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    CDrawingData* b = GetDrawingData(drawingRecords, L"site.dwg", other);
    ASSERT_NE(a, b);
    EXPECT_EQ(GetDrawingData(drawingRecords, L"site.dwg", doc_), a);
    UpdateEntityLink(b, 0x2A, 7, false);
    g_ptagDocIdManager = a;
    // Closing the first drawing keeps the second one's unsaved link.
    RemoveDrawingData(drawingRecords, L"site.dwg", doc_);
    EXPECT_EQ(g_ptagDocIdManager, nullptr);
    EXPECT_EQ(drawingRecords.size(), 1u);
    ASSERT_NE(FindEntityLink(b->links, 0x2A), nullptr);
    EXPECT_EQ(FindEntityLink(b->links, 0x2A)->peerId, 7u);
    // A key stored with no record gets one built in place.
    drawingRecords[DrawingRecordKey{DrawingKeyFromName(L"x.dwg"), doc_}] = nullptr;
    EXPECT_NE(GetDrawingData(drawingRecords, L"x.dwg", doc_), nullptr);
    RemoveDrawingData(drawingRecords, L"missing.dwg", doc_);
    EXPECT_EQ(drawingRecords.size(), 2u);
}

TEST_F(DrawingDataTest, LinkRecordsAreReplacedUpdatedAndCounted)
{
    CDrawingData d;
    MapObjInfo* first = NewLink(5, 1, L"old");
    SetEntityLink(d.links, 5, first, 1);
    // Storing the same record again keeps it; a different one replaces it
    // (the sanitizer catches a leak or a double free).
    SetEntityLink(d.links, 5, first, 0);
    EXPECT_EQ(first->saved, 0);
    SetEntityLink(d.links, 5, NewLink(5, 2, L"new"), 1);
    EXPECT_EQ(FindEntityLink(d.links, 5)->name, L"new");

    UpdateEntityLink(&d, 5, 9, true);
    MapObjInfo* r = FindEntityLink(d.links, 5);
    EXPECT_EQ(r->peerId, 9u);
    EXPECT_EQ(r->join, 1);
    EXPECT_EQ(r->saved, 0);
    EXPECT_EQ(r->name, L"new");
    UpdateEntityLink(&d, 6, 10, false);
    EXPECT_EQ(FindEntityLink(d.links, 6)->handle, 6u);
    EXPECT_TRUE(FindEntityLink(d.links, 6)->name.IsEmpty());
    UpdateEntityLink(nullptr, 7, 1, false);

    d.links[8] = nullptr;
    SetEntityLink(d.links, 9, NewLink(9, 3), 1);
    EXPECT_EQ(CountUnsavedLinks(d.links), 2);
    RemoveEntityLink(&d, 5);
    RemoveEntityLink(&d, 99);
    EXPECT_EQ(FindEntityLink(d.links, 5), nullptr);
    EXPECT_EQ(CountUnsavedLinks(d.links), 1);

    uint64_t h = 77;
    SetPeerEntity(d.peerEntities, 4, 0x40);
    SetPeerEntity(d.peerEntities, 4, 0x41);
    EXPECT_TRUE(FindPeerEntity(d.peerEntities, 4, h));
    EXPECT_EQ(h, 0x41u);
    ErasePeerEntity(d.peerEntities, 4);
    EXPECT_FALSE(FindPeerEntity(d.peerEntities, 4, h));
    EXPECT_EQ(h, 0u);
}

TEST_F(DrawingDataTest, GroupsCopyTheirRecordAndCollectMarkedOnesInKeyOrder)
{
    CDrawingData d;
    MapObjInfo src;
    src.handle = 0x10;
    src.peerId = 3;
    src.name = L"pts";
    src.lineStyle = 6;
    src.opacity = 80;
    src.extraText = L"x";
    src.companion = 0x99;
    SetLinkGroup(d.pointGroups, 30, &src, 1);
    src.handle = 0x11;
    SetLinkGroup(d.pointGroups, 30, &src, 1);
    MapObjGroup* g = d.pointGroups[30];
    ASSERT_NE(g->info, nullptr);
    EXPECT_EQ(g->handles, (std::vector<uint64_t>{0x10, 0x11}));
    EXPECT_EQ(g->info->lineStyle, 0u);
    EXPECT_EQ(g->info->opacity, 50u);
    EXPECT_TRUE(g->info->extraText.IsEmpty());
    EXPECT_EQ(g->info->companion, 0x99u);
    EXPECT_EQ(g->saved, 0);

    SetLinkGroup(d.pointGroups, 10, &src, 1);
    SetLinkGroup(d.pointGroups, 20, &src, 0);
    SetGroupHandles(d.pointGroups, 5, {});
    SetGroupInfo(d.pointGroups, 5, new MapObjInfo());
    MarkLinkGroup(d.pointGroups, 5, 1);
    EXPECT_FALSE(MarkLinkGroup(d.pointGroups, 6, 1));
    std::vector<GroupSendItem> items = CollectMarkedGroups(d.pointGroups);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].key, 10u);
    EXPECT_EQ(items[1].key, 30u);
    EXPECT_EQ(items[1].handles.size(), 2u);
    EXPECT_EQ(d.pointGroups[30]->marked, 0);
    // A marked group without handles is skipped and stays marked.
    EXPECT_EQ(d.pointGroups[5]->marked, 1);
    EXPECT_TRUE(CollectMarkedGroups(d.pointGroups).empty());

    EXPECT_EQ(SetGroupPeerId(d.pointGroups, 30, 44)->peerId, 44u);
    EXPECT_EQ(SetGroupPeerId(d.pointGroups, 99, 44), nullptr);
    SetGroupHandles(d.pointGroups, 30, {1, 2, 3});
    EXPECT_EQ(d.pointGroups[30]->info, nullptr);
    EXPECT_EQ(SetGroupPeerId(d.pointGroups, 30, 44), nullptr);
}

TEST_F(DrawingDataTest, RekeyingMovesTheGroupAndLinksEveryEntity)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    MapObjInfo src;
    src.peerId = 0;
    for (uint64_t h : {0x21, 0x22}) {
        src.handle = h;
        SetLinkGroup(d->pointGroups, 123456, &src, 1);
    }
    SetEntityLink(d->links, 0x21, NewLink(0x21, 0, L"kept"), 1);
    // A stale group under the new id is dropped, not leaked.
    SetLinkGroup(d->pointGroups, 500, &src, 0);
    EXPECT_FALSE(RekeyLinkGroup(d->pointGroups, 500, 999));
    ASSERT_TRUE(RekeyLinkGroup(d->pointGroups, 500, 123456));
    EXPECT_EQ(d->pointGroups.count(123456), 0u);
    MapObjGroup* g = d->pointGroups[500];
    EXPECT_EQ(g->handles, (std::vector<uint64_t>{0x21, 0x22}));
    EXPECT_EQ(g->info->peerId, 500u);
    EXPECT_EQ(g->info->join, 1);
    EXPECT_EQ(g->saved, 0);
    for (uint64_t h : {0x21, 0x22}) {
        MapObjInfo* r = FindEntityLink(d->links, h);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->peerId, 500u);
        EXPECT_EQ(r->join, 1);
        EXPECT_EQ(r->saved, 0);
    }
    EXPECT_EQ(FindEntityLink(d->links, 0x21)->name, L"kept");
    // The peer answering the key itself keeps the group where it is.
    EXPECT_TRUE(RekeyLinkGroup(d->pointGroups, 500, 500));
    EXPECT_EQ(d->pointGroups.size(), 1u);
}

TEST_F(DrawingDataTest, RemovingAGroupErasesItsEntitiesButKeepsTheGroup)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    uint64_t a = AddLine(0, 0, 1, 1);
    uint64_t b = AddLine(1, 1, 2, 2);
    uint64_t other = AddLine(5, 5, 6, 6);
    MapObjInfo src;
    for (uint64_t h : {a, b}) {
        src.handle = h;
        SetLinkGroup(d->pieceGroups, 7, &src, 0);
        UpdateEntityLink(d, h, 7, true);
    }
    UpdateEntityLink(d, other, 8, false);
    RemoveLinkGroup(d->pieceGroups, 7);
    RemoveLinkGroup(d->pieceGroups, 8);
    EXPECT_TRUE(IdOf(a).isErased());
    EXPECT_TRUE(IdOf(b).isErased());
    EXPECT_FALSE(IdOf(other).isErased());
    EXPECT_EQ(FindEntityLink(d->links, a), nullptr);
    EXPECT_NE(FindEntityLink(d->links, other), nullptr);
    ASSERT_EQ(d->pieceGroups.count(7), 1u);
    EXPECT_TRUE(d->pieceGroups[7]->handles.empty());
    EXPECT_EQ(d->pieceGroups[7]->info, nullptr);
}
