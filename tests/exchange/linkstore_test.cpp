// Saving pending links into the drawings and reading them back.
#include "exchange/linkstore.h"

#include "editor_control.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange_fixture.h"
#include "gcutprint.h"
#include "oddbsymboltable.h"

namespace {

using LinkStoreTest = ExchangeTest;

uint32_t StoredPeerId(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk) return 0;
    MapObjInfo* r = ReadEntityLink(id);
    uint32_t peerId = r ? r->peerId : 0;
    delete r;
    return peerId;
}

}  // namespace

TEST_F(LinkStoreTest, NothingPendingShowsNoMeter)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    uint64_t h = AddLine(0, 0, 1, 1);
    auto* r = new MapObjInfo();
    r->handle = h;
    r->peerId = 5;
    SetEntityLink(d->links, h, r, 1);
    SaveAllXData(drawingRecords);
    EXPECT_FALSE(standin::StatusBarProgress().shown);
    EXPECT_TRUE(standin::StatusBarProgress().label.empty());
    EXPECT_EQ(standin::RestoreStatusBarCount(), 0);
    EXPECT_EQ(StoredPeerId(db_, h), 0u);
}

TEST_F(LinkStoreTest, PendingLinksAreWrittenWithTheMeterInSteps)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    std::vector<uint64_t> handles;
    for (int i = 0; i < 120; ++i) {
        uint64_t h = AddLine(i, 0, i, 1);
        handles.push_back(h);
        UpdateEntityLink(d, h, 1000 + i, false);
    }
    // A link whose entity is gone is marked saved all the same.
    UpdateEntityLink(d, 0xFFFFF, 1, false);
    ArxOperation::SaveAllLinks();
    const standin::ProgressMeter& m = standin::StatusBarProgress();
    EXPECT_EQ(m.label, L"正在保存xData数据");
    EXPECT_EQ(m.maxPos, 100);
    // 121 pending: the meter moves every 121 / 50 + 1 = 3 links.
    ASSERT_EQ(m.positions.size(), 41u);
    EXPECT_EQ(m.positions[0], 0);
    EXPECT_EQ(m.positions[1], 2);  // 3 of 121
    EXPECT_EQ(m.positions[2], 4);  // 6 of 121
    EXPECT_EQ(m.positions.back(), 99);
    EXPECT_FALSE(m.shown);
    EXPECT_EQ(standin::RestoreStatusBarCount(), 1);
    EXPECT_EQ(CountUnsavedLinks(d->links), 0);
    EXPECT_EQ(db_->transactionManager()->numActiveTransactions(), 0);
    EXPECT_EQ(g_bSuppressReactors, 0);
    EXPECT_EQ(doc_->lockCount(), 0);
    EXPECT_EQ(StoredPeerId(db_, handles[0]), 1000u);
    EXPECT_EQ(StoredPeerId(db_, handles[119]), 1119u);
}

// A sent layer's folder link waits among the entities' links: saving writes
// it into the layer, reports nothing and leaves nothing pending.
TEST_F(LinkStoreTest, ALayersFolderLinkIsSavedIntoTheLayer)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    OdDbLayerTable* table = nullptr;
    ASSERT_EQ(db_->getLayerTable(table, OdDb::kForWrite), eOk);
    auto* layer = new OdDbLayerTableRecord();
    ASSERT_EQ(layer->setName(L"道路"), eOk);
    ASSERT_EQ(table->add(layer), eOk);
    const uint64_t h = (uint64_t)layer->handle();
    const OdDbObjectId layerId = layer->objectId();
    layer->close();
    table->close();
    UpdateEntityLink(d, h, 1003, false);
    standin::ClearCommandLine();
    ArxOperation::SaveAllLinks();
    EXPECT_EQ(CountUnsavedLinks(d->links), 0);
    EXPECT_EQ(standin::CommandLineText().find(L"保存失败"), std::wstring::npos) << standin::CommandLineText();
    OdDbLayerTableRecord* read = nullptr;
    ASSERT_EQ(oddbOpenObject(read, layerId, OdDb::kForRead), eOk);
    EXPECT_FALSE(read->extensionDictionary().isNull());
    read->close();
}

TEST_F(LinkStoreTest, EachDrawingsLinksGoIntoItsOwnDrawing)
{
    // The two drawings' first lines have the same handle.
    GcApDocument* other = standin::CreateDocument(L"D:\\copy\\site.dwg", false);
    uint64_t mine = AddLine(0, 0, 1, 1);
    uint64_t theirs = AddEntity(new OdDbLine(OdGePoint3d(), OdGePoint3d(1, 0, 0)), other->database());
    ASSERT_EQ(mine, theirs);
    UpdateEntityLink(GetDrawingData(drawingRecords, L"site.dwg", doc_), mine, 11, false);
    UpdateEntityLink(GetDrawingData(drawingRecords, L"site.dwg", other), theirs, 22, false);
    SaveAllXData(drawingRecords);
    EXPECT_EQ(StoredPeerId(db_, mine), 11u);
    EXPECT_EQ(StoredPeerId(other->database(), theirs), 22u);
    // A record whose document is closed is not written anywhere.
    CDrawingData* closed = GetDrawingData(drawingRecords, L"gone.dwg", other);
    UpdateEntityLink(closed, mine, 33, false);
    standin::CloseDocument(other);
    SaveAllXData(drawingRecords);
    EXPECT_EQ(StoredPeerId(db_, mine), 11u);
    EXPECT_EQ(CountUnsavedLinks(closed->links), 0);
}

TEST_F(LinkStoreTest, ADrawingThatIsNotCurrentIsLockedForItsLinks)
{
    // The host refuses a write into a drawing whose document is not locked;
    // saving before a command runs locks only the current one by itself.
    GcApDocument* other = standin::CreateDocument(L"D:\\other\\road.dwg", false);
    uint64_t mine = AddLine(0, 0, 1, 1);
    uint64_t theirs = AddEntity(new OdDbLine(OdGePoint3d(), OdGePoint3d(1, 0, 0)), other->database());
    UpdateEntityLink(GetDrawingData(drawingRecords, L"site.dwg", doc_), mine, 11, false);
    UpdateEntityLink(GetDrawingData(drawingRecords, L"road.dwg", other), theirs, 22, false);
    standin::RequireDocumentLock(true);
    ArxOperation::SaveAllLinks();
    standin::RequireDocumentLock(false);
    EXPECT_EQ(StoredPeerId(db_, mine), 11u);
    EXPECT_EQ(StoredPeerId(other->database(), theirs), 22u);
    EXPECT_EQ(doc_->lockCount(), 0);
    EXPECT_EQ(other->lockCount(), 0);
}

TEST_F(LinkStoreTest, ALayerFilterKeepsOnlyItsEntities)
{
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    uint64_t a = AddLine(0, 0, 1, 1);
    MapObjInfo r;
    r.handle = a;
    r.peerId = 8;
    WriteEntityLinkOf(r);
    std::vector<MapObjInfo*> found;
    ArxOperation::GetEntProperty(found, false, L"no such layer", db_);
    EXPECT_TRUE(found.empty());
    ArxOperation::GetEntProperty(found, false, L"0", db_);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->handle, a);
    found.clear();
    ArxOperation::GetEntProperty(found, false, nullptr, nullptr);
    EXPECT_TRUE(found.empty());
    // The locked entry points hand the cache's records out.
    OdDbEntity* ent = nullptr;
    ASSERT_EQ(oddbOpenObject(ent, IdOf(a), OdDb::kForRead), eOk);
    EXPECT_EQ(ArxOperation::LockedGetEntityLink(ent), FindEntityLink(g_ptagDocIdManager->links, a));
    ent->close();
    MapObjInfo* read = ArxOperation::LockedReadEntityLink(IdOf(a));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->peerId, 8u);
    delete read;
    r.peerId = 9;
    EXPECT_EQ(ArxOperation::SaveEntityLink(r), 1);
    EXPECT_EQ(StoredPeerId(db_, a), 9u);
    EXPECT_EQ(doc_->lockCount(), 0);
}

// A link that could not be written stays pending, is reported and goes in
// with the next save, instead of being marked saved and lost with the file.
TEST_F(LinkStoreTest, ALinkThatCannotBeWrittenStaysPendingForTheNextSave)
{
    CDrawingData* d = GetDrawingData(drawingRecords, L"site.dwg", doc_);
    g_ptagDocIdManager = d;
    const uint64_t a = AddLine(0, 0, 1, 1), b = AddLine(2, 0, 3, 1);
    UpdateEntityLink(d, a, 1001, false);
    UpdateEntityLink(d, b, 1002, false);
    standin::ClearCommandLine();
    standin::FailHostCall("openWrite", eWasOpenForRead);
    ArxOperation::SaveAllLinks();
    EXPECT_FALSE(standin::HostFaultPending("openWrite"));
    EXPECT_EQ(CountUnsavedLinks(d->links), 1);
    EXPECT_NE(standin::CommandLineText().find(L"1个对象的xData数据保存失败，下次保存时重试."), std::wstring::npos)
        << standin::CommandLineText();
    EXPECT_EQ((StoredPeerId(db_, a) != 0) + (StoredPeerId(db_, b) != 0), 1);  // one written, one not

    standin::ClearCommandLine();
    ArxOperation::SaveAllLinks();
    EXPECT_EQ(CountUnsavedLinks(d->links), 0);
    EXPECT_EQ(standin::CommandLineText().find(L"保存失败"), std::wstring::npos);
    EXPECT_EQ(StoredPeerId(db_, a), 1001u);
    EXPECT_EQ(StoredPeerId(db_, b), 1002u);
}
