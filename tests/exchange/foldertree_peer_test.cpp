// The folder-tree cache against the stand-in peer's folders.
#include "afxmsgbox.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangetext.h"
#include "peer_fixture.h"

namespace {

using FolderTreePeerTest = PeerExchangeTest;
const char kWorkspace[] = "CAD工作空间";

std::string Utf8(const CString& s)
{
    char field[400];
    CStringToUtf8Field(s, field, sizeof field);
    return field;
}

std::vector<std::string> Children(const VelkObjNode* n)
{
    std::vector<std::string> names;
    for (const VelkObjNode* c = n ? n->firstChild : nullptr; c; c = c->next) names.push_back(Utf8(c->name));
    return names;
}

}  // namespace

TEST_F(FolderTreePeerTest, AMissingWorkspaceIsMadeAtTheTopAndEmptiesTheCache)
{
    CVelkObjTree& t = g_velkObjTree;
    t.first = new VelkObjNode();
    t.first->name = L"stale.dwg";
    uint32_t ws = t.Search(L"CAD工作空间", 0, true);
    EXPECT_EQ(t.first, nullptr);
    ASSERT_NE(ws, 0u);
    EXPECT_EQ(peer->Objects().at(ws).name, kWorkspace);
    auto uploads = Sent(20102);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(velktest::ReadAt<uint32_t>(uploads[0].bytes, 4), 1u);   // parent 1 with no ids
    EXPECT_EQ(velktest::ReadAt<uint32_t>(uploads[0].bytes, 12), 1u);  // top of the tree
    EXPECT_EQ(t.Search(L"CAD工作空间", 0, true), ws);
    EXPECT_EQ(Sent(20102).size(), 1u);
    EXPECT_EQ(g_searchName, L"CAD工作空间");
    EXPECT_EQ(t.Search(L"missing", ws, false), 0u);

    // Names are searched and made under their first 99 bytes, never half a
    // character: 50 three-byte characters give 33.
    CString longName(L'图', 50);
    uint32_t id = t.Search(longName, ws, true);
    auto searches = Sent(20107);
    const auto& last = searches.back().bytes;
    ASSERT_EQ(last.size(), 532u);
    EXPECT_EQ(strnlen((const char*)last.data() + 28, 100), 99u);
    EXPECT_EQ(last[20], 1);
    EXPECT_EQ(velktest::ReadAt<uint32_t>(last, 8), 30u);
    EXPECT_EQ(peer->Objects().at(id).name.size(), 99u);
    EXPECT_EQ(peer->Objects().at(id).name, Utf8(CString(L'图', 33)));
}

TEST_F(FolderTreePeerTest, LoadReadsBothLevelsAndNoStaleList)
{
    uint32_t ws = PutFolder(kWorkspace, 0);
    uint32_t a = PutFolder("a.dwg", ws);
    uint32_t b = PutFolder("b.dwg", ws);
    PutFolder("walls", a);
    PutFolder("roads", a);
    std::vector<uint8_t> sign(420, 0);
    peer->ObjectStore().Put(7, a, sign);  // not a folder: not cached
    CVelkObjTree& t = g_velkObjTree;
    ASSERT_TRUE(t.Load());
    ASSERT_NE(t.first, nullptr);
    EXPECT_EQ(t.workspaceId, ws);
    EXPECT_EQ(t.first->id, a);
    EXPECT_EQ(Children(t.first), (std::vector<std::string>{"walls", "roads"}));
    ASSERT_NE(t.first->next, nullptr);
    EXPECT_EQ(t.first->next->id, b);
    EXPECT_TRUE(Children(t.first->next).empty());
    EXPECT_EQ(t.GetNames().at(ws), L"CAD工作空间");
    // A loaded cache is kept.
    size_t before = peer->Messages().size();
    EXPECT_TRUE(t.Load());
    EXPECT_EQ(peer->Messages().size(), before);

    // A listing the peer does not answer leaves no earlier list behind.
    t.Clear();
    peerFolderList = {PeerFolderItem{L"stale", 99}};
    peer->QueueAnswer(20100, 0);
    EXPECT_TRUE(t.Load());
    EXPECT_EQ(t.first, nullptr);
    // A refused listing (refused again after the client registers anew) is
    // reported and fails the load.
    peer->QueueAnswer(20100, -4);
    peer->QueueAnswer(20100, -4);
    EXPECT_FALSE(t.Load());
    ASSERT_FALSE(standin::MessageBoxes().empty());
    EXPECT_EQ(standin::MessageBoxes().back().text.rfind(L"GetVelkObjListErr:", 0), 0u);
}

TEST_F(FolderTreePeerTest, EnsurePathFindsMakesAndRefreshesFolders)
{
    CVelkObjTree& t = g_velkObjTree;
    // An empty sub gives the workspace and leaves the cache alone.
    uint32_t ws = t.EnsurePath(L"site.dwg", L"", true);
    ASSERT_NE(ws, 0u);
    EXPECT_EQ(t.first, nullptr);
    // An empty cache gets both folders even without create.
    uint32_t walls = t.EnsurePath(L"site.dwg", L"walls", false);
    ASSERT_NE(walls, 0u);
    EXPECT_EQ(FoldersNamed("site.dwg"), 1);
    EXPECT_EQ(peer->Objects().at(walls).parent, t.first->id);
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"walls", false), walls);
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"roads", false), 0u);
    uint32_t roads = t.EnsurePath(L"site.dwg", L"roads", true);
    EXPECT_EQ(Children(t.first), (std::vector<std::string>{"walls", "roads"}));
    // Each visit of a cached folder asks the peer again.
    size_t searches = Sent(20107).size();
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"roads", false), roads);
    EXPECT_EQ(Sent(20107).size(), searches + 1 + 1 + 2);

    // A drawing folder a search made is found, not made twice.
    uint32_t other = t.Search(L"other.dwg", ws, true);
    EXPECT_EQ(t.first->next, nullptr);
    EXPECT_EQ(t.EnsurePath(L"other.dwg", L"0", false), 0u);
    uint32_t zero = t.EnsurePath(L"other.dwg", L"0", true);
    ASSERT_NE(zero, 0u);
    EXPECT_EQ(FoldersNamed("other.dwg"), 1);
    EXPECT_EQ(t.first->next->id, other);

    // A drawing folder deleted in the peer comes back with a new id, and
    // nothing is filed below itself.
    uint32_t ids[] = {t.first->id};
    ASSERT_EQ(PeerApiDeleteObjects(&g_peerApi, ids, 1, true, true), 0);
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"walls", false), 0u);
    uint32_t again = t.EnsurePath(L"site.dwg", L"walls", true);
    ASSERT_NE(again, 0u);
    EXPECT_NE(again, walls);
    EXPECT_EQ(peer->Objects().at(again).parent, t.first->id);
    EXPECT_EQ(Children(t.first), (std::vector<std::string>{"walls", "roads"}));
    EXPECT_EQ(FoldersNamed("site.dwg"), 1);
}

TEST_F(FolderTreePeerTest, AFolderGoneFromThePeerOnlyMattersOnItsOwnPath)
{
    CVelkObjTree& t = g_velkObjTree;
    ASSERT_NE(t.EnsurePath(L"a.dwg", L"0", true), 0u);
    ASSERT_NE(t.EnsurePath(L"site.dwg", L"old", true), 0u);
    uint32_t walls = t.EnsurePath(L"site.dwg", L"walls", true);
    ASSERT_NE(walls, 0u);
    // The user deletes another drawing's folder and a sibling layer folder.
    uint32_t gone[] = {t.first->id, t.first->next->firstChild->id};
    ASSERT_EQ(PeerApiDeleteObjects(&g_peerApi, gone, 2, true, true), 0);
    // The path asked for is still there, with or without create...
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"walls", false), walls);
    EXPECT_EQ(t.EnsurePath(L"site.dwg", L"walls", true), walls);
    // ...and the folders the user deleted are not made again on the way.
    EXPECT_EQ(FoldersNamed("a.dwg"), 0);
    EXPECT_EQ(FoldersNamed("old"), 0);
    // Asked for themselves, they are.
    EXPECT_NE(t.EnsurePath(L"site.dwg", L"old", true), 0u);
    EXPECT_EQ(FoldersNamed("old"), 1);
    EXPECT_EQ(FoldersNamed("site.dwg"), 1);
}

TEST_F(FolderTreePeerTest, LayersCarryTheLinkOfTheirFolder)
{
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    uint32_t ws = PutFolder(kWorkspace, 0);
    uint32_t folder = PutFolder("walls", ws);
    ArxOperation::RegisterPeerFolder(L"walls", folder, true);
    EXPECT_EQ(g_velkObjTree.GetNames().at(folder), L"walls");
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"walls"), folder);
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"no such layer"), 0u);
    // The layer's link is cached under the layer's handle.
    OdDbLayerTable* layers = nullptr;
    ASSERT_EQ(db_->getLayerTable(layers, OdDb::kForRead), eOk);
    OdDbObjectId layerId;
    ASSERT_EQ(layers->getAt(L"walls", layerId), eOk);
    layers->close();
    MapObjInfo* link = FindEntityLink(g_ptagDocIdManager->links, layerId.getHandle());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->peerId, folder);
    EXPECT_EQ(link->name, L"walls");
    // The peer answers for a folder only when the object is one.
    uint32_t sign = peer->ObjectStore().Put(7, ws, std::vector<uint8_t>(420, 0));
    link->peerId = sign;
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"walls"), 0u);
    // Registering again keeps the layer and rewrites its link.
    ArxOperation::RegisterPeerFolder(L"walls", folder, true);
    g_ptagDocIdManager->links.erase(layerId.getHandle());
    delete link;
    EXPECT_EQ(ArxOperation::GetLayerFolderId(L"walls"), folder);
}
