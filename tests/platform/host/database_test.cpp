// The drawing database's object protocol, tables, dictionaries, reactors
// and documents, as the utility classes rely on them.
#include <gtest/gtest.h>

#include "gcapdocmanager.h"
#include "test_support.h"
#include "oddbblockreference.h"
#include "gcdbutil.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"

namespace {

OdDbDatabase* NewDrawing() { return standin::CreateDocument(L"C:\\dwg\\a.dwg")->database(); }

using velktest::AppendEntity;

struct RecordingReactor : OdDbDatabaseReactor {
    std::vector<std::wstring> events;
    void objectAppended(const OdDbDatabase*, const OdDbObject* o) override { add(L"appended ", o); }
    void objectModified(const OdDbDatabase*, const OdDbObject* o) override { add(L"modified ", o); }
    void objectErased(const OdDbDatabase*, const OdDbObject* o, bool erased) override
    {
        add(erased ? L"erased " : L"unerased ", o);
    }
    void add(const wchar_t* what, const OdDbObject* o) { events.push_back(what + o->isA()->name().str()); }
};

}  // namespace

TEST(HostDatabase, NewDrawingHasTheDefaultTablesAndIncreasingHandles)
{
    OdDbDatabase* db = NewDrawing();
    OdDbBlockTable* bt = nullptr;
    ASSERT_EQ(db->getBlockTable(bt, OdDb::kForRead), eOk);
    OdDbObjectId ms;
    EXPECT_EQ(bt->getAt(L"*MODEL_SPACE", ms), eOk);  // names ignore case
    EXPECT_EQ(ms, db->getModelSpaceId());
    bt->close();

    OdDbLayerTableRecord* zero = nullptr;
    ASSERT_EQ(oddbOpenObject(zero, db->clayer(), OdDb::kForRead), eOk);
    EXPECT_EQ(zero->getName(), L"0");
    zero->close();
    OdDbLinetypeTable* lt = nullptr;
    ASSERT_EQ(db->getLinetypeTable(lt, OdDb::kForRead), eOk);
    EXPECT_TRUE(lt->has(L"ByLayer") && lt->has(L"ByBlock") && lt->has(L"Continuous"));
    EXPECT_FALSE(lt->has(L"DASHED"));
    lt->close();
    OdDbSymbolTableRecordPointer<OdDbTextStyleTableRecord> standard(L"Standard", db, OdDb::kForRead);
    EXPECT_EQ(standard.openStatus(), eOk);
    OdDbSymbolTableRecordPointer<OdDbViewportTableRecord> active(L"*ACTIVE", db, OdDb::kForRead);
    EXPECT_EQ(active.openStatus(), eOk);
    OdDbSymbolTableRecordPointer<OdDbLayerTableRecord> missing(L"nope", db, OdDb::kForRead);
    EXPECT_EQ(missing.openStatus(), eKeyNotFound);
    EXPECT_TRUE(OdDbRasterImageDef::imageDictionary(db).isNull());

    OdDbObjectId a = AppendEntity(db, new OdDbPoint());
    OdDbObjectId b = AppendEntity(db, new OdDbPoint());
    EXPECT_GT((uint64_t)b.getHandle(), (uint64_t)a.getHandle());
    OdDbObjectId found;
    EXPECT_EQ(db->getOdDbObjectId(found, false, a.getHandle()), eOk);
    EXPECT_EQ(found, a);
    EXPECT_NE(db->getOdDbObjectId(found, false, OdDbHandle(0xFFFFFF)), eOk);
    EXPECT_TRUE(found.isNull());
}

TEST(HostDatabase, ManyReadersOrOneWriterAndEveryOpenIsCounted)
{
    OdDbDatabase* db = NewDrawing();
    OdDbObjectId id = AppendEntity(db, new OdDbLine());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    OdDbLine *r1 = nullptr, *r2 = nullptr, *w = nullptr;
    ASSERT_EQ(oddbOpenObject(r1, id, OdDb::kForRead), eOk);
    ASSERT_EQ(oddbOpenObject(r2, id, OdDb::kForRead), eOk);
    EXPECT_EQ(oddbOpenObject(w, id, OdDb::kForWrite), eWasOpenForRead);
    EXPECT_EQ(standin::OpenObjectCount(), 2);
    r1->close();
    r2->close();
    ASSERT_EQ(oddbOpenObject(w, id, OdDb::kForWrite), eOk);
    EXPECT_EQ(oddbOpenObject(r1, id, OdDb::kForRead), eWasOpenForWrite);
    ASSERT_EQ(standin::OpenObjects().size(), 1u);
    EXPECT_NE(standin::OpenObjects()[0].find(L"AcDbLine"), std::wstring::npos);

    EXPECT_EQ(w->erase(), eOk);
    w->close();
    EXPECT_EQ(oddbOpenObject(r1, id, OdDb::kForRead), eWasErased);
    ASSERT_EQ(oddbOpenObject(r1, id, OdDb::kForRead, true), eOk);
    r1->close();

    // The typed open refuses another class and leaves nothing open.
    OdDbCircle* c = nullptr;
    EXPECT_EQ(oddbOpenObject(c, id, OdDb::kForRead, true), eNotThatKindOfClass);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    EXPECT_TRUE(standin::HostViolations().empty());
}

TEST(HostDatabase, ProtocolMisuseIsRecorded)
{
    OdDbDatabase* db = NewDrawing();
    OdDbObjectId id = AppendEntity(db, new OdDbLine());
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForRead), eOk);
    EXPECT_EQ(line->setStartPoint(OdGePoint3d(1, 1, 0)), eNotOpenForWrite);
    EXPECT_EQ(line->erase(), eNotOpenForWrite);
    line->close();
    EXPECT_EQ(line->close(), eNotApplicable);
    EXPECT_EQ(standin::HostViolations().size(), 2u);
}

TEST(HostDatabase, FaultsFailTheChosenCallsOnly)
{
    OdDbDatabase* db = NewDrawing();
    OdDbObjectId id = AppendEntity(db, new OdDbLine());
    standin::FailHostCall("openWrite", eLockViolation, 1);
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForRead), eOk);  // reads are not counted
    line->close();
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);  // skipped
    line->close();
    EXPECT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eLockViolation);
    ASSERT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);  // only once
    standin::FailHostCall("setLayer", 77);
    EXPECT_EQ(line->setLayer(L"0"), 77);
    EXPECT_EQ(line->setLayer(L"0"), eOk);
    line->close();

    standin::FailHostCall("append", 99);
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* p = new OdDbPoint();
    OdDbObjectId pid;
    EXPECT_EQ(ms->appendOdDbEntity(pid, p), 99);
    EXPECT_TRUE(pid.isNull());
    EXPECT_TRUE(p->isNewObject());
    ms->close();
    standin::FailHostCall("setPosition", 55);
    EXPECT_EQ(p->setPosition(OdGePoint3d(1, 0, 0)), 55);  // any setter, by its name
    EXPECT_EQ(p->setPosition(OdGePoint3d(1, 0, 0)), eOk);
    p->close();  // an object in no database is deleted by close
    EXPECT_EQ(standin::HostCallCount("append"), 2);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(HostDatabase, LayersMissingInUseOrCurrentAreHandledAsOnTheHost)
{
    OdDbDatabase* db = NewDrawing();
    auto* line = new OdDbLine();
    EXPECT_EQ(line->setLayer(L"Roads"), eKeyNotFound);  // resolved in the working database

    OdDbLayerTable* table = nullptr;
    ASSERT_EQ(db->getLayerTable(table, OdDb::kForWrite), eOk);
    OdDbObjectId roads, spare;
    for (auto [name, out] : {std::pair<const wchar_t*, OdDbObjectId*>{L"Roads", &roads}, {L"Spare", &spare}}) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(name);
        ASSERT_EQ(table->add(*out, rec), eOk);
        rec->close();
    }
    auto* dup = new OdDbLayerTableRecord();
    dup->setName(L"ROADS");
    EXPECT_EQ(table->add(dup), eDuplicateRecordName);
    delete dup;
    table->close();

    EXPECT_EQ(line->setLayer(L"roads"), eOk);
    AppendEntity(db, line);
    auto eraseLayer = [](OdDbObjectId id) {
        OdDbObject* o = nullptr;
        EXPECT_EQ(oddbOpenObject(o, id, OdDb::kForWrite), eOk);
        OdResult r = o->erase();
        o->close();
        return r;
    };
    EXPECT_EQ(eraseLayer(db->getLayerZeroId()), eCannotBeErasedByCaller);
    EXPECT_EQ(eraseLayer(roads), eCannotBeErasedByCaller);  // in use
    EXPECT_EQ(db->setClayer(spare), eOk);
    EXPECT_EQ(eraseLayer(spare), eCannotBeErasedByCaller);  // current
    EXPECT_EQ(db->setClayer(db->getLayerZeroId()), eOk);
    EXPECT_EQ(eraseLayer(spare), eOk);
    ASSERT_EQ(db->getLayerTable(table, OdDb::kForRead), eOk);
    EXPECT_FALSE(table->has(L"Spare"));
    table->close();
}

TEST(HostDatabase, LinetypesLoadFromTheMetricFile)
{
    OdDbDatabase* db = NewDrawing();
    for (const wchar_t* name : {L"DOT", L"JIS_02_1.0", L"DASHDOT", L"DIVIDE", L"DASHED", L"DASHDOTX2", L"DIVIDEX2"})
        EXPECT_EQ(gcdbLoadLineTypeFile(name, L"ACADISO.LIN", db), 0) << name;
    EXPECT_EQ(gcdbLoadLineTypeFile(L"DOT", L"ACADISO.LIN", db), eDuplicateRecordName);
    EXPECT_EQ(gcdbLoadLineTypeFile(L"NOSUCH", L"ACADISO.LIN", db), eUndefinedLineType);
    EXPECT_EQ(gcdbLoadLineTypeFile(L"HIDDEN", L"OTHER.LIN", db), eFileNotFound);
    EXPECT_EQ(gcdbLoadLineTypeFile(L"", L"ACADISO.LIN", db), eUndefinedLineType);

    auto* line = new OdDbLine();
    EXPECT_EQ(line->setLinetype(L""), eKeyNotFound);
    EXPECT_EQ(line->setLinetype(L"dashed"), eOk);
    EXPECT_EQ(line->linetype(), L"DASHED");
    delete line;
}

TEST(HostDatabase, ModelSpaceKeepsAppendOrderAndIteratorsSkipErased)
{
    OdDbDatabase* db = NewDrawing();
    OdDbObjectId ids[3];
    for (auto& id : ids) id = AppendEntity(db, new OdDbPoint());
    OdDbEntity* ent = nullptr;
    ASSERT_EQ(oddbOpenOdDbEntity(ent, ids[1], OdDb::kForWrite), eOk);
    ent->erase();
    ent->close();

    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    OdDbBlockTableRecordIterator* it = nullptr;
    ms->newIterator(it);
    std::vector<OdDbObjectId> seen;
    for (it->start(); !it->done(); it->step()) {
        OdDbObjectId id;
        it->getEntityId(id);
        seen.push_back(id);
    }
    delete it;
    ms->close();
    EXPECT_EQ(seen, (std::vector<OdDbObjectId>{ids[0], ids[2]}));
}

TEST(HostDatabase, ReactorsHearAppendsModificationsAndErasures)
{
    OdDbDatabase* db = NewDrawing();
    RecordingReactor reactor;
    db->addReactor(&reactor);
    OdDbObjectId id = AppendEntity(db, new OdDbPoint());
    OdDbPoint* pt = nullptr;
    ASSERT_EQ(oddbOpenObject(pt, id, OdDb::kForWrite), eOk);
    pt->close();  // unchanged: nothing to report
    ASSERT_EQ(oddbOpenObject(pt, id, OdDb::kForWrite), eOk);
    pt->setPosition(OdGePoint3d(1, 2, 3));
    pt->close();
    ASSERT_EQ(oddbOpenObject(pt, id, OdDb::kForWrite), eOk);
    pt->erase();
    pt->close();
    db->removeReactor(&reactor);
    // A new entity is appended and modified when it is first closed (before
    // model space); erasing reports itself only.
    EXPECT_EQ(reactor.events,
              (std::vector<std::wstring>{L"appended AcDbPoint", L"modified AcDbPoint", L"modified AcDbBlockTableRecord",
                                         L"modified AcDbPoint", L"erased AcDbPoint"}));
}

TEST(HostDatabase, DictionariesAndXrecordsKeepTheirChains)
{
    OdDbDatabase* db = NewDrawing();
    OdDbObjectId lineId = AppendEntity(db, new OdDbLine());
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, lineId, OdDb::kForRead), eOk);
    EXPECT_EQ(line->createExtensionDictionary(), eNotOpenForWrite);
    line->close();
    ASSERT_EQ(oddbOpenObject(line, lineId, OdDb::kForWrite), eOk);
    ASSERT_EQ(line->createExtensionDictionary(), eOk);
    OdDbObjectId xdictId = line->extensionDictionary();
    EXPECT_EQ(line->createExtensionDictionary(), eOk);
    EXPECT_EQ(line->extensionDictionary(), xdictId);
    line->close();

    OdDbDictionary* dict = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, xdictId, OdDb::kForWrite), eOk);
    auto* xrec = new OdDbXrecord();
    OdDbObjectId xrecId;
    ASSERT_EQ(dict->setAt(L"VelkArx", xrec, xrecId), eOk);
    OdResBuf* chain = OdResBuf::newRb(1, OdString(L"42"));
    chain->setNext(OdResBuf::newRb(90, (int32_t)-7))->setNext(OdResBuf::newRb(40, 2.5));
    ASSERT_EQ(xrec->setFromRbChain(chain), eOk);
    OdResBuf::releaseChain(chain);
    xrec->close();
    EXPECT_TRUE(dict->has(L"velkarx"));
    dict->close();

    OdDbXrecord* back = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, xdictId, OdDb::kForRead), eOk);
    ASSERT_EQ(dict->getAt(L"VelkArx", back, OdDb::kForRead), eOk);
    OdResBuf* got = back->rbChain();
    back->close();
    dict->close();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->restype(), 1);
    EXPECT_EQ(got->getString(), L"42");
    EXPECT_EQ(got->next()->getInt32(), -7);
    EXPECT_DOUBLE_EQ(got->next()->next()->getDouble(), 2.5);
    EXPECT_EQ(got->next()->next()->next(), nullptr);
    OdResBuf::releaseChain(got);

    // remove takes the entry out without erasing the object.
    ASSERT_EQ(oddbOpenObject(dict, xdictId, OdDb::kForWrite), eOk);
    EXPECT_EQ(dict->remove(L"VelkArx"), eOk);
    EXPECT_EQ(dict->remove(L"VelkArx"), eKeyNotFound);
    dict->close();
    EXPECT_FALSE(xrecId.isErased());
    EXPECT_TRUE(db->newRegApp(L"VelkArx"));
    EXPECT_FALSE(db->newRegApp(L"VELKARX"));
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(HostDatabase, ClassNamesFollowTheHost)
{
    OdDbAttribute attr;
    OdDbAttributeDefinition def;
    OdDbMText mtext;
    EXPECT_EQ(attr.isA()->name(), L"AcDbAttribute");
    EXPECT_TRUE(attr.isKindOf(OdDbText::desc()));
    EXPECT_TRUE(def.isKindOf(OdDbText::desc()));
    EXPECT_EQ(def.isA()->name(), L"AcDbAttributeDefinition");
    EXPECT_FALSE(mtext.isKindOf(OdDbText::desc()));
    EXPECT_TRUE(OdDbPolyline().isKindOf(OdDbCurve::desc()));
    EXPECT_EQ(OdDbRasterImage().isA()->name(), L"AcDbRasterImage");
    EXPECT_EQ(OdDbMText::desc()->name(), L"AcDbMText");
}

TEST(HostDocuments, TheWorkingDatabaseFollowsTheCurrentDocument)
{
    EXPECT_EQ(oddbHostApplicationServices()->workingDatabase(), nullptr);
    EXPECT_EQ(odTransactionManagerPtr(), nullptr);
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    GcApDocument* b = standin::CreateDocument(L"Drawing2.dwg");
    EXPECT_EQ(gcDocManagerPtr()->curDocument(), b);
    EXPECT_EQ(oddbHostApplicationServices()->workingDatabase(), b->database());
    standin::ActivateDocument(a);
    EXPECT_EQ(oddbHostApplicationServices()->workingDatabase(), a->database());
    EXPECT_EQ(gcDocManagerPtr()->document(b->database()), b);

    standin::RequireDocumentLock(true);
    OdDbLayerTable* table = nullptr;
    EXPECT_EQ(a->database()->getLayerTable(table, OdDb::kForWrite), eLockViolation);
    ASSERT_EQ(gcDocManagerPtr()->lockDocument(a), eOk);
    ASSERT_EQ(a->database()->getLayerTable(table, OdDb::kForWrite), eOk);
    table->close();
    EXPECT_EQ(gcDocManagerPtr()->unlockDocument(a), eOk);
    EXPECT_EQ(gcDocManagerPtr()->unlockDocument(a), eNotApplicable);

    OdDbTransactionManager* tm = odTransactionManagerPtr();
    tm->startTransaction();
    EXPECT_EQ(tm->numActiveTransactions(), 1);
    EXPECT_EQ(tm->endTransaction(), eOk);
    EXPECT_EQ(tm->endTransaction(), eNotApplicable);

    standin::CloseDocument(a);
    EXPECT_EQ(gcDocManagerPtr()->curDocument(), b);
    EXPECT_EQ(gcDocManagerPtr()->documentCount(), 1);
}
