// Edits made with the host's commands after the first send: what the
// reactors record, what they post for re-sending when the command ends, and
// what reaches the peer and the links at once (erasures).
#include <cstdlib>

#include "oddbblockreference.h"
#include "reactor_fixture.h"
#include "window_control.h"

namespace {

using Resends = std::vector<std::vector<uint64_t>>;

void Touch(const OdDbObjectId& id)
{
    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenOdDbEntity(e, id, OdDb::kForWrite), eOk);
    e->setColorIndex(3);
    e->close();
}

class EditTrackingTest : public ReactorTest {
protected:
    EditTrackState& Track() { return g_ptagDocIdManager->editTrack; }
};

TEST_F(EditTrackingTest, EachCommandSendsItsOwnKindOfEntityOnceAndUnlistedCommandsKeepTheirLists)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint64_t a = Line(0, 0, 10, 0), b = Line(0, 5, 10, 5);
    uint64_t text = Append(new OdDbText(OdGePoint3d(0, 9, 0), L"t"));
    Start();
    // Lines edited several times are listed once; LINE sends only lines.
    RunAs(L"LINE", [&] {
        Touch(Id(a)), Touch(Id(b)), Touch(Id(a)), Touch(Id(text));
    });
    EXPECT_EQ(TakeResends(), (Resends{{a, b}}));
    EXPECT_EQ(Track().m_lastModifiedId, Id(text));
    EXPECT_TRUE(Track().m_modifiedEntities.isEmpty());

    // COPY is not listed: its copy waits for the next listed command.
    standin::QueueSelection(Ids({a}));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(0, 20, 0));
    standin::QueueEnter();
    Run(L"COPY");
    EXPECT_TRUE(TakeResends().empty());
    uint64_t copy = Track().m_lastModifiedId.getHandle();
    standin::QueuePoint(OdGePoint3d(50, 0, 0));
    standin::QueuePoint(OdGePoint3d(60, 0, 0));
    standin::QueueEnter();
    Run(L"LINE");
    uint64_t drawn = Track().m_lastModifiedId.getHandle();
    EXPECT_EQ(TakeResends(), (Resends{{copy, drawn}}));

    // TEXT sends texts; MOVE the entity changed last.
    standin::QueuePoint(OdGePoint3d(1, 1, 0));
    standin::QueueEnter();
    standin::QueueText(L"new");
    Run(L"TEXT");
    uint64_t typed = Track().m_lastModifiedId.getHandle();
    EXPECT_EQ(TakeResends(), (Resends{{typed}}));
    MoveBy({a, b}, 1, 1);
    EXPECT_EQ(TakeResends(), (Resends{{b}}));
    // A listed command that changed nothing sends the last entity again;
    // one that no longer opens is left out.
    RunAs(L"ARC", [] {});
    EXPECT_EQ(TakeResends(), (Resends{{b}}));
    Erase({b});
    RunAs(L"ARC", [] {});
    EXPECT_TRUE(TakeResends().empty());
}

TEST_F(EditTrackingTest, UndoSendsOnlyLinkedEntitiesAndMapLayerTilesAreNeverRecorded)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint64_t linked = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), PeerObject());
    uint64_t plain = Line(0, 3, 5, 3);
    OdDbLayerTable* layers = nullptr;
    ASSERT_EQ(Db()->getLayerTable(layers, OdDb::kForWrite), eOk);
    auto* layer = new OdDbLayerTableRecord();
    layer->setName(L"MapLayer");
    OdDbObjectId layerId;
    ASSERT_EQ(layers->add(layerId, layer), eOk);
    layer->close();
    layers->close();
    auto* tileEntity = new OdDbLine(OdGePoint3d(0, 9, 0), OdGePoint3d(5, 9, 0));
    tileEntity->setLayer(layerId);
    uint64_t tile = Append(tileEntity);
    Start();

    MoveBy({tile}, 2, 0);
    EXPECT_TRUE(TakeResends().empty());
    EXPECT_TRUE(Track().m_lastModifiedId.isNull());
    MoveBy({linked, plain, tile}, 2, 0);
    EXPECT_EQ(TakeResends(), (Resends{{plain}}));
    Run(L"UNDO");
    EXPECT_EQ(TakeResends(), (Resends{{linked}}));
    Run(L"REDO");
    EXPECT_EQ(TakeResends(), (Resends{{linked}}));
}

TEST_F(EditTrackingTest, ErasingALinkedEntityDeletesItsPeerObjectAndUndoSendsItAgain)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint32_t peerId = PeerObject();
    uint64_t linked = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), peerId);
    uint64_t plain = Line(0, 3, 5, 3);
    Start();
    CDrawingData* d = g_ptagDocIdManager;
    ASSERT_NE(FindEntityLink(d->links, linked), nullptr);

    Erase({plain});
    EXPECT_TRUE(PeerDeletions().empty());
    Erase({linked});
    EXPECT_EQ(PeerDeletions(), std::vector<uint32_t>{peerId});
    EXPECT_EQ(peer->Objects().count(peerId), 0u);
    EXPECT_EQ(FindEntityLink(d->links, linked), nullptr);
    uint64_t h;
    EXPECT_FALSE(FindPeerEntity(d->peerEntities, peerId, h));
    EXPECT_TRUE(TakeResends().empty());

    // Back from erasure: sent again at once, linked or not; later edits of
    // the same command are the plug-in's own.
    Run(L"UNDO");
    EXPECT_EQ(TakeResends(), (Resends{{linked}}));
    EXPECT_EQ(g_bSuppressReactors, 1);
    Run(L"UNDO");
    EXPECT_EQ(TakeResends(), (Resends{{plain}}));
}

TEST_F(EditTrackingTest, ARescaleDuringAResendIsNotTakenForTheUsersEdit)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    OdDbBlockTable* table = nullptr;
    ASSERT_EQ(Db()->getBlockTable(table, OdDb::kForWrite), eOk);
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"well");
    OdDbObjectId blockId;
    ASSERT_EQ(table->add(blockId, block), eOk);
    table->close();
    auto* part = new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0));
    OdDbObjectId partId;
    ASSERT_EQ(block->appendOdDbEntity(partId, part), eOk);
    part->close();
    block->close();
    auto* reference = new OdDbBlockReference(OdGePoint3d(20, 20, 0), blockId);
    reference->setScaleFactors(OdGeScale3d(2, 3, 1));
    const uint64_t ref = Linked(reference, PeerObject());
    const uint64_t line = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), PeerObject());
    Start();
    // Two re-sends wait in the queue: the first one's answer lets the
    // reactors listen again while the second one runs.
    MoveBy({line}, 1, 0);
    Erase({ref});
    Run(L"UNDO");
    standin::FailHostCall("explode", eExplodeAgain);
    standin::PumpMessages();
    // The reference was sent exploded unscaled, and its scale put back.
    EXPECT_EQ(PeerMessagesOf(20112), 2u);
    EXPECT_EQ(standin::TakeHostFault("explode"), 0);
    // A listed command that changed nothing sends the user's last edit.
    RunAs(L"ARC", [] {});
    EXPECT_EQ(TakeResends(), (Resends{{line}}));
}

TEST_F(EditTrackingTest, ErasuresAreLeftAloneWhileBhatchRunsTheMapIsGeographicOrSyncIsOff)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint64_t a = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), PeerObject());
    uint64_t b = Linked(new OdDbLine(OdGePoint3d(0, 1, 0), OdGePoint3d(5, 1, 0)), PeerObject());
    uint64_t c = Linked(new OdDbLine(OdGePoint3d(0, 2, 0), OdGePoint3d(5, 2, 0)), PeerObject());
    Start();
    RunAs(L"BHATCH", [&] {
        OdDbEntity* e = nullptr;
        ASSERT_EQ(oddbOpenOdDbEntity(e, Id(a), OdDb::kForWrite), eOk);
        e->erase();
        e->close();
    });
    g_coordBinding.geographic = true;
    Erase({b});
    g_coordBinding.geographic = false;
    g_settings.autoSync = 0;
    Erase({c});
    EXPECT_TRUE(PeerDeletions().empty());
    for (uint64_t h : {a, b, c}) EXPECT_NE(FindEntityLink(g_ptagDocIdManager->links, h), nullptr);
}

TEST_F(EditTrackingTest, CopiesOfLinkedEntitiesBecomeNewObjectsAndTheSourcesKeepTheirLinks)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    uint32_t lineId = PeerObject(), signId = PeerObject();
    uint64_t line = Linked(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(5, 0, 0)), lineId);
    uint64_t text = Append(new OdDbText(OdGePoint3d(0, 10, 0), L"sign"));
    auto* image = new OdDbRasterImage();
    image->setOrientation(OdGePoint3d(0, 10, 0), OdGeVector3d(2, 0, 0), OdGeVector3d(0, 2, 0));
    uint64_t icon = Append(image);
    Link(text, signId, nullptr, icon);
    Link(icon, signId, nullptr, text);
    Start();
    // Even while the link is off and the reactors are muted.
    g_bLinkActive = 0;
    g_bSuppressReactors = 1;
    standin::QueueSelection(Ids({line, text, icon}));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(100, 0, 0));
    standin::QueueEnter();
    Run(L"COPY");

    OdDbObjectIdArray all = Db()->allObjectIds();
    std::vector<uint64_t> copies;
    for (const OdDbObjectId& id : all)
        if (id.getHandle() > icon && OdRxCast<OdDbEntity>(id.stub()->object)) copies.push_back(id.getHandle());
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(StoredLink(copies[0]).peerId, 0u);
    MapObjInfo textCopy = StoredLink(copies[1]), iconCopy = StoredLink(copies[2]);
    EXPECT_EQ(textCopy.peerId, 0u);
    EXPECT_EQ(iconCopy.peerId, 0u);
    // The copied halves of the sign name each other, not the source.
    EXPECT_EQ(textCopy.companion, copies[2]);
    EXPECT_EQ(iconCopy.companion, copies[1]);
    EXPECT_EQ(StoredLink(line).peerId, lineId);
    EXPECT_EQ(StoredLink(text).companion, icon);
    uint64_t source;
    ASSERT_TRUE(FindPeerEntity(g_ptagDocIdManager->peerEntities, lineId, source));
    EXPECT_EQ(source, line);
}

TEST_F(EditTrackingTest, MovingALabelTextBringsItsIconAlongAndStoresWhereItWent)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    g_settings.textLevelMetres = 60;
    auto* label = new OdDbText(OdGePoint3d(10, 10, 0), L"well");
    label->setHorizontalMode(OdDb::kTextLeft);
    label->setVerticalMode(OdDb::kTextBottom);
    label->setAlignmentPoint(OdGePoint3d(10, 10, 0));
    uint64_t text = Append(label);
    auto* image = new OdDbRasterImage();
    image->setOrientation(OdGePoint3d(0, 0, 0), OdGeVector3d(60, 0, 0), OdGeVector3d(0, 60, 0));
    uint64_t icon = Append(image);
    auto* note = new OdDbMText();
    note->setLocation(OdGePoint3d(0, 50, 0));
    note->setContents(L"note");
    uint64_t mtext = Append(note);
    uint64_t plainText = Linked(new OdDbText(OdGePoint3d(0, 90, 0), L"no icon"), PeerObject());
    uint32_t signId = PeerObject();
    Link(text, signId, nullptr, icon);
    Link(icon, signId, nullptr, text);
    Link(mtext, PeerObject(), nullptr, icon);
    Start();
    g_settings.textLevelMetres = 60;

    MoveBy({text, mtext, plainText}, 100, 200);
    // The icon's lower edge is centred on the label's new anchor.
    const OdGePoint3d anchor(110, 210, 0);
    OdDbRasterImage* moved = nullptr;
    ASSERT_EQ(oddbOpenObject(moved, Id(icon), OdDb::kForRead), eOk);
    OdGeExtents3d ext;
    ASSERT_EQ(moved->getGeomExtents(ext), eOk);
    moved->close();
    EXPECT_NEAR((ext.minPoint().x + ext.maxPoint().x) / 2, anchor.x, 1e-9);
    EXPECT_NEAR(ext.minPoint().y, anchor.y, 1e-9);
    EXPECT_TRUE(StoredLink(text).labelPos.isEqualTo(anchor));
    EXPECT_TRUE(StoredLink(mtext).labelPos.isEqualTo(OdGePoint3d(100, 250, 0)));
    EXPECT_TRUE(Track().m_movedTexts.isEmpty());
}

TEST_F(EditTrackingTest, APointDrawnWhileIconsAreOnBecomesASignAndWithoutIconsIsSent)
{
    standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    g_settings.pointsAsIcons = 1;
    g_settings.autoSync = 0;  // icon points need no synchronisation
    standin::QueuePoint(OdGePoint3d(5, 6, 0));
    Run(L"POINT");
    OdDbObjectId point = Track().m_pointId;
    EXPECT_TRUE(point.isErased());
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, g_pMessageDlg->GetSafeHwnd(), WM_SIGN_AT_POINT, WM_SIGN_AT_POINT, PM_REMOVE));
    auto* xy = (double*)m.lParam;
    EXPECT_EQ(xy[0], 5.0);
    EXPECT_EQ(xy[1], 6.0);
    free(xy);

    g_settings.pointsAsIcons = 0;
    g_settings.autoSync = 1;
    standin::QueuePoint(OdGePoint3d(7, 8, 0));
    Run(L"POINT");
    EXPECT_EQ(TakeResends(), (Resends{{Track().m_lastModifiedId.getHandle()}}));
    EXPECT_FALSE(PeekMessageW(&m, g_pMessageDlg->GetSafeHwnd(), WM_SIGN_AT_POINT, WM_SIGN_AT_POINT, PM_REMOVE));
}

}  // namespace
