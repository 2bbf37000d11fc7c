#include "exchange/entitylink.h"

#include "exchange/documentrecord.h"
#include "exchange/linkstore.h"
#include "exchange_fixture.h"
#include "oddbblockreference.h"
#include "oddbdictionary.h"
#include "oddbtext.h"

namespace {

class EntityLinkTest : public ExchangeTest {
protected:
    // Writes the link onto the entity of the handle and reads it back
    // without the cache.
    MapObjInfo ReadBack(uint64_t handle)
    {
        MapObjInfo* r = ReadEntityLink(IdOf(handle));
        EXPECT_NE(r, nullptr);
        MapObjInfo copy = r ? *r : MapObjInfo();
        delete r;
        return copy;
    }
    // The stored chain's items as (group code, text or number).
    std::vector<std::pair<int, std::wstring>> StoredItems(uint64_t handle)
    {
        std::vector<std::pair<int, std::wstring>> items;
        OdDbEntity* ent = nullptr;
        EXPECT_EQ(oddbOpenObject(ent, IdOf(handle), OdDb::kForRead), eOk);
        OdDbDictionary* dict = nullptr;
        EXPECT_EQ(oddbOpenObject(dict, ent->extensionDictionary(), OdDb::kForRead), eOk);
        OdDbXrecord* x = nullptr;
        EXPECT_EQ(dict->getAt(L"VelkArx", x, OdDb::kForRead), eOk);
        OdResBuf* chain = x->rbChain();
        for (OdResBuf* rb = chain; rb; rb = rb->next()) {
            std::wstring v = rb->restype() == 1    ? rb->getString().str()
                             : rb->restype() == 90 ? std::to_wstring(rb->getInt32())
                                                   : std::to_wstring(rb->getDouble());
            items.emplace_back(rb->restype(), v);
        }
        OdResBuf::releaseChain(chain);
        x->close();
        dict->close();
        ent->close();
        return items;
    }
    // Stores a chain of our own under "VelkArx".
    void StoreChain(uint64_t handle, OdResBuf* chain)
    {
        OdDbEntity* ent = nullptr;
        ASSERT_EQ(oddbOpenObject(ent, IdOf(handle), OdDb::kForWrite), eOk);
        ent->createExtensionDictionary();
        OdDbDictionary* dict = nullptr;
        ASSERT_EQ(oddbOpenObject(dict, ent->extensionDictionary(), OdDb::kForWrite), eOk);
        auto* x = new OdDbXrecord();
        OdDbObjectId id;
        ASSERT_EQ(dict->setAt(L"VelkArx", x, id), eOk);
        x->setFromRbChain(chain);
        x->close();
        dict->close();
        ent->close();
        OdResBuf::releaseChain(chain);
    }
    uint64_t AddText(const wchar_t* s)
    {
        auto* t = new OdDbText();
        t->setTextString(s);
        return AddEntity(t);
    }
};

MapObjInfo SignLink(uint64_t handle)
{
    MapObjInfo r;
    r.handle = handle;
    r.peerId = 4000000001u;
    r.name = L"标志";
    r.remark = L"remark";
    r.join = 1;
    r.companion = 0x80000005;
    r.iconNumber = 12;
    r.labelPos = OdGePoint3d(1.5, -2.5, 9);
    return r;
}

}  // namespace

TEST_F(EntityLinkTest, EachFillingRoundTripsThroughATextEntity)
{
    uint64_t t = AddText(L"标志");
    MapObjInfo r = SignLink(t);
    ASSERT_EQ(WriteEntityLinkOf(r), 1);
    auto items = StoredItems(t);
    ASSERT_EQ(items.size(), 12u);
    const int codes[12] = {1, 1, 1, 1, 90, 90, 90, 90, 40, 40, 40, 40};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(items[i].first, codes[i]) << i;
    EXPECT_EQ(items[0].second, L"4000000001");
    EXPECT_EQ(items[3].second, L"");
    MapObjInfo back = ReadBack(t);
    EXPECT_EQ(back.handle, t);
    EXPECT_EQ(back.peerId, 4000000001u);
    EXPECT_EQ(back.name, L"标志");
    EXPECT_EQ(back.remark, L"remark");
    EXPECT_EQ(back.join, 1);
    // The companion is stored in 32 bits and read back without a sign.
    EXPECT_EQ(back.companion, 0x80000005u);
    EXPECT_EQ(back.iconNumber, 12);
    EXPECT_DOUBLE_EQ(back.labelPos.x, 1.5);
    EXPECT_DOUBLE_EQ(back.labelPos.y, -2.5);
    EXPECT_DOUBLE_EQ(back.labelPos.z, 0.0);

    // No icon: the companion stays, the position does not.
    r.iconNumber = 0;
    WriteEntityLinkOf(r);
    back = ReadBack(t);
    EXPECT_EQ(back.companion, 0x80000005u);
    EXPECT_EQ(back.iconNumber, 0);
    EXPECT_DOUBLE_EQ(back.labelPos.x, 0.0);
    // Neither icon nor companion: items 6 and 7 are zero too.
    r.companion = 0;
    r.iconNumber = -3;
    WriteEntityLinkOf(r);
    back = ReadBack(t);
    EXPECT_EQ(back.iconNumber, 0);
    EXPECT_EQ(StoredItems(t)[6].second, L"0");
}

TEST_F(EntityLinkTest, ReadingDependsOnTheClassOfTheEntity)
{
    uint64_t line = AddLine(0, 0, 1, 1);
    auto* img = new OdDbRasterImage();
    uint64_t image = AddEntity(img);
    for (uint64_t h : {line, image}) ASSERT_EQ(WriteEntityLinkOf(SignLink(h)), 1);
    MapObjInfo l = ReadBack(line);
    EXPECT_EQ(l.peerId, 4000000001u);
    EXPECT_EQ(l.join, 1);
    EXPECT_EQ(l.companion, 0u);
    EXPECT_EQ(l.iconNumber, 0);
    MapObjInfo i = ReadBack(image);
    EXPECT_EQ(i.companion, 0x80000005u);
    EXPECT_EQ(i.iconNumber, 12);
    EXPECT_DOUBLE_EQ(i.labelPos.x, 0.0);

    // join is "value mod 10 is 1"; a chain ending after item 6 leaves the
    // rest at its defaults.
    uint64_t t = AddText(L"x");
    const std::pair<int32_t, uint8_t> joins[] = {{11, 1}, {2, 0}, {-9, 0}, {1, 1}};
    for (auto [stored, expected] : joins) {
        OdResBuf* c = OdResBuf::newRb(1, OdString(L"-1"));
        c->setNext(OdResBuf::newRb(1, OdString(L"n")))
            ->setNext(OdResBuf::newRb(1, OdString(L"r")))
            ->setNext(OdResBuf::newRb(1, OdString()))
            ->setNext(OdResBuf::newRb(90, stored))
            ->setNext(OdResBuf::newRb(90, (int32_t)7));
        uint64_t h = AddText(L"x");
        StoreChain(h, c);
        MapObjInfo r = ReadBack(h);
        EXPECT_EQ(r.join, expected) << stored;
        EXPECT_EQ(r.peerId, 0xFFFFFFFFu);
        EXPECT_EQ(r.companion, 7u);
        EXPECT_EQ(r.iconNumber, 0);
    }
    // An entity without a dictionary has no link to read.
    EXPECT_EQ(ReadEntityLink(IdOf(t)), nullptr);
}

TEST_F(EntityLinkTest, LongRemarksAreCutAndTextsKeepTheirString)
{
    uint64_t t = AddText(L"a long text that was cut for its name");
    MapObjInfo r;
    r.handle = t;
    r.name = L"a long text";  // derived, not chosen by the user
    r.remark = CString(L'x', 6001);
    WriteEntityLinkOf(r);
    EXPECT_EQ(ReadBack(t).remark.GetLength(), 6000);
    OdDbText* text = nullptr;
    ASSERT_EQ(oddbOpenObject(text, IdOf(t), OdDb::kForRead), eOk);
    EXPECT_EQ(text->textString(), L"a long text that was cut for its name");
    text->close();
    r.remark = CString(L'x', 6000);
    r.nameEdited = 1;
    WriteEntityLinkOf(r);
    EXPECT_EQ(ReadBack(t).remark.GetLength(), 6000);
    ASSERT_EQ(oddbOpenObject(text, IdOf(t), OdDb::kForRead), eOk);
    EXPECT_EQ(text->textString(), L"a long text");
    text->close();
    // A formatted multi-line text keeps its contents through a save of a
    // link whose name was derived from them.
    auto* m = new OdDbMText();
    m->setContents(L"{\\fSimSun|b0;first line}\\Psecond line");
    uint64_t mh = AddEntity(m);
    MapObjInfo ml;
    ml.handle = mh;
    ml.name = L"first line\r\nsecond line";
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    SetEntityLink(g_ptagDocIdManager->links, mh, new MapObjInfo(ml), 0);
    SaveAllXData(drawingRecords);
    OdDbMText* mtext = nullptr;
    ASSERT_EQ(oddbOpenObject(mtext, IdOf(mh), OdDb::kForRead), eOk);
    EXPECT_EQ(mtext->contents(), L"{\\fSimSun|b0;first line}\\Psecond line");
    mtext->close();
    // The application name is registered.
    OdDbRegAppTable* apps = nullptr;
    ASSERT_EQ(db_->getRegAppTable(apps, OdDb::kForRead), eOk);
    EXPECT_TRUE(apps->has(L"VelkArx"));
    apps->close();
    // A refused write open writes nothing.
    standin::FailHostCall("openWrite", 65);
    EXPECT_EQ(WriteEntityLinkOf(r), 0);
    r.handle = 0xFFFF;
    EXPECT_EQ(WriteEntityLinkOf(r), 0);
}

TEST_F(EntityLinkTest, ARenameReachesTheTextOnceAndLaterEditsStay)
{
    uint64_t t = AddText(L"old");
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    auto* link = new MapObjInfo();
    link->handle = t;
    link->peerId = 5;
    link->name = L"renamed";
    link->nameEdited = 1;
    SetEntityLink(g_ptagDocIdManager->links, t, link, 0);
    SaveAllXData(drawingRecords);
    auto textOf = [&]() {
        OdDbText* text = nullptr;
        EXPECT_EQ(oddbOpenObject(text, IdOf(t), OdDb::kForWrite), eOk);
        OdString s = text ? text->textString() : OdString();
        return std::make_pair(text, s);
    };
    auto [text, s] = textOf();
    EXPECT_EQ(s, L"renamed");
    // The user then edits the text in the drawing; the link changes later
    // for another reason and is saved again.
    text->setTextString(L"edited in the drawing");
    text->close();
    UpdateEntityLink(g_ptagDocIdManager, t, 6, false);
    SaveAllXData(drawingRecords);
    auto [again, now] = textOf();
    EXPECT_EQ(now, L"edited in the drawing");
    if (again) again->close();
    EXPECT_EQ(ReadBack(t).peerId, 6u);
}

TEST_F(EntityLinkTest, TheCacheOwnsWhatItReads)
{
    uint64_t t = AddText(L"x");
    WriteEntityLinkOf(SignLink(t));
    OdDbEntity* ent = nullptr;
    ASSERT_EQ(oddbOpenObject(ent, IdOf(t), OdDb::kForRead), eOk);
    EXPECT_EQ(GetEntityLink(ent, true, true), nullptr);  // no drawing active
    MapObjInfo* own = GetEntityLink(ent, true, false);
    EXPECT_EQ(own->peerId, 4000000001u);
    delete own;
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    EXPECT_EQ(GetEntityLink(ent, true, true), nullptr);
    MapObjInfo* cached = GetEntityLink(ent, true, false);
    EXPECT_EQ(cached->saved, 1);
    EXPECT_EQ(GetEntityLink(ent, true, true), cached);
    EXPECT_EQ(FindEntityLink(g_ptagDocIdManager->links, t), cached);
    ent->close();
}

TEST_F(EntityLinkTest, LoadingADocumentFillsItsRecord)
{
    uint64_t text = AddText(L"current string");
    auto* p1 = new OdDbPoint(OdGePoint3d(1, 1, 0));
    auto* p2 = new OdDbPoint(OdGePoint3d(2, 2, 0));
    uint64_t a = AddEntity(p1);
    uint64_t b = AddEntity(p2);
    uint64_t piece = AddEntity(new OdDbPolyline());
    uint64_t plain = AddLine(0, 0, 3, 3);
    uint64_t unlinked = AddLine(0, 0, 4, 4);
    MapObjInfo r = SignLink(text);
    r.name = L"stale name";
    WriteEntityLinkOf(r);
    for (uint64_t h : {a, b}) {
        MapObjInfo p;
        p.handle = h;
        p.peerId = 70;
        WriteEntityLinkOf(p);
    }
    MapObjInfo j;
    j.handle = piece;
    j.peerId = 80;
    j.join = 1;
    WriteEntityLinkOf(j);
    MapObjInfo l;
    l.handle = plain;
    l.peerId = 90;
    WriteEntityLinkOf(l);

    LoadDocumentRecord(L"site.dwg", doc_);
    CDrawingData* d = g_ptagDocIdManager;
    ASSERT_EQ(d, GetDrawingData(drawingRecords, L"site.dwg", doc_));
    EXPECT_EQ(d->links.size(), 6u);
    EXPECT_EQ(FindEntityLink(d->links, unlinked)->peerId, 0u);
    // A text's name follows its current string.
    EXPECT_EQ(FindEntityLink(d->links, text)->name, L"current string");
    uint64_t h = 0;
    EXPECT_TRUE(FindPeerEntity(d->pairedPeerEntities, 4000000001u, h));
    EXPECT_EQ(h, text);
    EXPECT_TRUE(FindPeerEntity(d->peerEntities, 90, h));
    EXPECT_EQ(h, plain);
    ASSERT_EQ(d->pointGroups.count(70), 1u);
    EXPECT_EQ(d->pointGroups[70]->handles, (std::vector<uint64_t>{a, b}));
    ASSERT_EQ(d->pieceGroups.count(80), 1u);
    EXPECT_EQ(d->pieceGroups[80]->handles, (std::vector<uint64_t>{piece}));
}
