// The stand-in peer's object store, driven through the client's requests.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "peer/peerrequests.h"
#include "standin_peer.h"
#include "test_support.h"

namespace {

std::vector<std::vector<uint8_t>> g_answers;

LRESULT CALLBACK StoreClientProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_COPYDATA) return DefWindowProcW(h, msg, wp, lp);
    auto* cds = (const COPYDATASTRUCT*)lp;
    auto* p = (const uint8_t*)cds->lpData;
    g_answers.emplace_back(p, p + cds->cbData);
    return 1;
}

class PeerStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_answers.clear();
        velktest::CreateReceiverWindow(&StoreClientProc);
        state = PeerApiState{};
        PeerApiSetClientName(&state, L"VelkArxWin");
    }
    void Start(uint32_t firstId = 1000)
    {
        velkpeer::PeerConfig c;
        c.firstObjectId = firstId;
        peer = std::make_unique<velkpeer::StandinPeer>(c);
    }
    int64_t NewFolder(const char* name, uint32_t parent, uint32_t topLevel)
    {
        FolderRecord* f = NewFolderRecord(&state);
        strcpy(f->name, name);
        int64_t id = 0;
        EXPECT_GE(PeerApiUploadFolder(&state, 0, f, &id, parent, topLevel), 0);
        FreeMapObjRecord(&state, f, kMapObjFolder);
        return id;
    }
    uint32_t Search(const char* name, uint32_t parent)
    {
        uint8_t search[kFolderSearchSize] = {0, 0, 0, 0, 5, 0, 0, 0, 30};
        search[20] = 1;
        memcpy(search + 12, &parent, 4);
        strcpy((char*)search + 28, name);
        EXPECT_EQ(PeerApiSearchObject(&state, search), 0);
        uint32_t id = 0;
        memcpy(&id, g_answers.back().data() + 532, 4);
        return id;
    }

    PeerApiState state;
    std::unique_ptr<velkpeer::StandinPeer> peer;
};

}  // namespace

TEST_F(PeerStoreTest, FoldersMadeAtTheTopAreFoundAtTheTop)
{
    Start();
    int64_t ws = NewFolder("CAD工作空间", 1, 1);
    EXPECT_EQ(ws, 1000);
    EXPECT_EQ(peer->Objects().at(1000).parent, 0u);
    EXPECT_EQ(Search("CAD工作空间", 0), 1000u);
    EXPECT_EQ(NewFolder("site.dwg", 1000, 0), 1001);
    EXPECT_EQ(Search("site.dwg", 1000), 1001u);
    EXPECT_EQ(Search("site.dwg", 0), 0u);
}

TEST_F(PeerStoreTest, IdsBeyondTwoToTheThirtyOneComeBackAsNegativeAnswers)
{
    Start(0x80000000u);
    EXPECT_EQ(NewFolder("a", 0, 1), 0x80000000LL);
    EXPECT_EQ(peer->Objects().count(0x80000000u), 1u);
    EXPECT_EQ(Search("a", 0), 0x80000000u);
}

TEST_F(PeerStoreTest, DeletingWithFlagBitOneTakesEverythingBelow)
{
    Start();
    uint32_t top = (uint32_t)NewFolder("top", 0, 1);
    uint32_t mid = (uint32_t)NewFolder("mid", top, 0);
    NewFolder("leaf", mid, 0);
    uint32_t other = (uint32_t)NewFolder("other", 0, 1);
    uint32_t ids[] = {mid};
    ASSERT_EQ(PeerApiDeleteObjects(&state, ids, 1, false, true), 0);
    EXPECT_EQ(peer->Objects().size(), 3u);  // only the folder itself
    // A deleted folder is no longer found; the others still are.
    EXPECT_EQ(Search("mid", top), 0u);
    EXPECT_EQ(Search("other", 0), other);
    ids[0] = top;
    ASSERT_EQ(PeerApiDeleteObjects(&state, ids, 1, true, true), 0);
    // The leaf hangs below the folder deleted first, not below the top.
    EXPECT_EQ(peer->Objects().size(), 2u);
    // Deleting that folder's id again with bit 1 takes what still hangs below it.
    ids[0] = mid;
    ASSERT_EQ(PeerApiDeleteObjects(&state, ids, 1, true, true), 0);
    EXPECT_EQ(peer->Objects().size(), 1u);
    EXPECT_EQ(peer->Objects().count(other), 1u);
    ASSERT_EQ(peer->ObjectStore().Deletions().size(), 3u);
    EXPECT_EQ(peer->ObjectStore().Deletions()[0].flags, 2u);
    EXPECT_EQ(peer->ObjectStore().Deletions()[2].flags, 3u);
    // Unknown flag bits are refused.
    std::vector<uint8_t> bad(20);
    bad[0] = 101;
    bad[12] = 4;
    EXPECT_EQ(PeerApiRequest(&state, kReqDeleteObjects, bad.data(), 20, nullptr, 0), -4);
}

TEST_F(PeerStoreTest, ChosenObjectsComeBackFramedWithTheirChildren)
{
    Start();
    FolderRecord* f = NewFolderRecord(&state);
    strcpy(f->name, "chosen");
    std::vector<uint8_t> folder((uint8_t*)f, (uint8_t*)f + sizeof *f);
    FreeMapObjRecord(&state, f, kMapObjFolder);
    velkpeer::PeerObjectStore& store = peer->ObjectStore();
    uint32_t dir = store.Put(30, 0, folder);
    SignRecord* s = NewSignRecord(&state);
    strcpy(s->name, "Sign_9");
    uint32_t size = 0;
    uint8_t* body = SerializeMapObjRecord(&state, s, kMapObjSign, &size);
    uint32_t sign = store.Put(7, dir, std::vector<uint8_t>(body, body + size));
    free(body);
    FreeMapObjRecord(&state, s, kMapObjSign);
    store.ChooseForCad({dir});
    ASSERT_EQ(PeerApiGetObjTree(&state, 0), 0);
    ASSERT_EQ(g_answers.size(), 1u);
    const std::vector<uint8_t>& tree = g_answers[0];
    ASSERT_EQ(tree.size(), 80u + 64 + 176 + 64 + size);
    uint32_t v;
    memcpy(&v, tree.data() + 16, 4);
    EXPECT_EQ(v, tree.size() - 80);
    memcpy(&v, tree.data() + 80 + 8, 4);
    EXPECT_EQ(v, dir);
    memcpy(&v, tree.data() + 80 + 64 + 100, 4);
    EXPECT_EQ(v, 1u);  // the folder's child count
    memcpy(&v, tree.data() + 80 + 64 + 176 + 8, 4);
    EXPECT_EQ(v, sign);
    EXPECT_STREQ((const char*)tree.data() + 80 + 64 + 176 + 64, "Sign_9");
}

TEST_F(PeerStoreTest, ChangesSinceAMarkKeepWhatEachObjectWasBefore)
{
    Start();
    const uint32_t kept = (uint32_t)NewFolder("kept", 0, 1);
    const uint32_t doomed = (uint32_t)NewFolder("doomed", 0, 1);
    auto& store = peer->ObjectStore();
    const std::vector<uint8_t> keptBody = store.Objects().at(kept).body;
    store.MarkChanges();
    EXPECT_TRUE(store.ChangedSinceMark().empty());

    // Changed twice: the body from before the first change is what counts.
    std::vector<uint8_t> renamed = keptBody;
    renamed[0] = 'K';
    ASSERT_TRUE(store.Change(kept, renamed));
    renamed[1] = 'E';
    ASSERT_TRUE(store.Change(kept, renamed));
    const uint32_t added = (uint32_t)NewFolder("added", 0, 1);
    uint32_t ids[] = {doomed};
    ASSERT_EQ(PeerApiDeleteObjects(&state, ids, 1, false, true), 0);

    const auto& earlier = store.ChangedSinceMark();
    ASSERT_EQ(earlier.size(), 3u);
    ASSERT_TRUE(earlier.at(kept).has_value());
    EXPECT_EQ(earlier.at(kept)->second, keptBody);
    EXPECT_FALSE(earlier.at(added).has_value());
    ASSERT_TRUE(earlier.at(doomed).has_value());
    EXPECT_EQ(earlier.at(doomed)->first, 30u);

    // The next mark forgets them; only what changes after it counts.
    store.MarkChanges();
    ASSERT_TRUE(store.Change(added, renamed));
    ASSERT_EQ(store.ChangedSinceMark().size(), 1u);
    EXPECT_TRUE(store.ChangedSinceMark().at(added).has_value());
}
