#include <cstring>

#include "exchange/exchangeglobals.h"
#include "exchange/velkobjtree.h"
#include "exchange_fixture.h"

namespace {

using FolderTreeTest = ExchangeTest;

VelkObjNode* Node(const wchar_t* name, uint32_t id)
{
    auto* n = new VelkObjNode();
    n->name = name;
    n->id = id;
    return n;
}

std::vector<uint8_t> FolderItem(uint32_t id, uint32_t kind, const char* name)
{
    std::vector<uint8_t> item(108, 0);
    memcpy(item.data(), &id, 4);
    memcpy(item.data() + 4, &kind, 4);
    memcpy(item.data() + 8, name, strnlen(name, 100));
    return item;
}

}  // namespace

TEST_F(FolderTreeTest, AddNodeFilesUnderItsParentAndFreesWhatItDoesNotAdd)
{
    CVelkObjTree& t = g_velkObjTree;
    // Nothing is filed into an empty cache or under an empty name; the
    // sanitizer reports a node that is dropped without being freed.
    t.AddNode(L"site.dwg", Node(L"0", 5));
    t.AddNode(L"", Node(L"0", 5));
    t.AddNode(L"site.dwg", nullptr);
    EXPECT_EQ(t.first, nullptr);

    t.first = Node(L"site.dwg", 2);
    t.AddNode(L"site.dwg", Node(L"walls", 10));
    t.AddNode(L"site.dwg", Node(L"walls", 11));  // a known folder: not added
    t.AddNode(L"site.dwg", Node(L"walls", 0));   // no id yet: added again
    // A parent that is not cached files nothing (freed, not put at the top).
    t.AddNode(L"other.dwg", Node(L"walls", 3));
    ASSERT_NE(t.first->firstChild, nullptr);
    EXPECT_EQ(t.first->firstChild->id, 10u);
    ASSERT_NE(t.first->firstChild->next, nullptr);
    EXPECT_EQ(t.first->firstChild->next->id, 0u);
    EXPECT_EQ(t.first->firstChild->next->next, nullptr);
    EXPECT_EQ(t.first->next, nullptr);
    EXPECT_EQ(t.GetNames().count(3), 0u);
    EXPECT_EQ(t.GetNames().at(10), L"walls");
    EXPECT_EQ(t.GetNames().count(11), 0u);
    // An id keeps the first name registered for it.
    t.RegisterName(L"renamed", 10, false);
    EXPECT_EQ(t.GetNames().at(10), L"walls");
}

TEST_F(FolderTreeTest, FolderAnswersAreReadWithinTheirBounds)
{
    std::vector<uint8_t> list(16, 0);
    for (auto item : {FolderItem(21, 30, "walls"), FolderItem(22, 7, "a sign"), FolderItem(23, 30, "道路")})
        list.insert(list.end(), item.begin(), item.end());
    list.resize(list.size() + 50);  // a partial item at the end is not read
    ApplyFolderListAnswer(list.data(), (uint32_t)list.size());
    ASSERT_EQ(peerFolderList.size(), 2u);
    EXPECT_EQ(peerFolderList[0].id, 21u);
    EXPECT_EQ(peerFolderList[1].name, L"道路");
    // A name filling its whole field has no terminator inside the item.
    std::string longName(100, 'n');
    std::vector<uint8_t> full(16, 0);
    auto item = FolderItem(24, 30, longName.c_str());
    full.insert(full.end(), item.begin(), item.end());
    ApplyFolderListAnswer(full.data(), (uint32_t)full.size());
    ASSERT_EQ(peerFolderList.size(), 1u);
    EXPECT_EQ(peerFolderList[0].name.GetLength(), 100);
    // An empty answer leaves no children of the previous folder behind.
    ApplyFolderListAnswer(list.data(), 16);
    EXPECT_TRUE(peerFolderList.empty());

    std::vector<uint8_t> search(536, 0);
    uint32_t found = 77;
    memcpy(search.data() + 532, &found, 4);
    g_searchAnswer = 0;
    ApplyFolderSearchAnswer(search.data(), 535);
    EXPECT_EQ(g_searchAnswer, 0u);
    ApplyFolderSearchAnswer(search.data(), 536);
    EXPECT_EQ(g_searchAnswer, 77u);

    std::vector<uint8_t> lookup(16, 0);
    uint32_t id = 88;
    memcpy(lookup.data() + 8, &id, 4);
    lookup[2] = 7;
    ApplyFolderLookupAnswer(lookup.data(), 16);
    EXPECT_EQ(g_searchAnswer, 0u);
    lookup[2] = 30;
    ApplyFolderLookupAnswer(lookup.data(), 11);
    EXPECT_EQ(g_searchAnswer, 0u);
    ApplyFolderLookupAnswer(lookup.data(), 16);
    EXPECT_EQ(g_searchAnswer, 88u);
}
