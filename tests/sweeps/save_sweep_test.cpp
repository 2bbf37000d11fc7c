// Saving the links of two drawings into their entities, with each host
// call failing in turn.
#include "common/document/dwgdatabaseutil.h"
#include "editor_control.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/linkstore.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "sweep_fixture.h"

namespace {

class SaveSweepTest : public SweepTest {
protected:
    // Entities whose Xrecord holds a link with a peer id.
    size_t StoredLinks(OdDbDatabase* database) const
    {
        size_t n = 0;
        for (const OdDbObjectId& id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, database)) {
            std::unique_ptr<MapObjInfo> link(ReadEntityLink(id));
            n += link && link->peerId != 0;
        }
        return n;
    }

    sweep::World SaveWorld()
    {
        sweep::World w;
        w.build = [this] {
            BuildScene();
            user = AddUserEntities();
            // The selection sent: every entity linked, nothing saved yet.
            OdDbObjectIdArray ids;
            for (uint64_t h : user) ids.append(IdOf(h));
            standin::SetPickFirst(ids);
            ArxOperation::SendSelectedObjects();
            ASSERT_GT(CountUnsavedLinks(drawing->links), 10);
        };
        w.run = [] {
            ArxOperation::SaveAllLinks();
            return false;
        };
        w.outcome = [this] {
            return "stored " + std::to_string(StoredLinks(db)) + " pending " +
                   std::to_string(CountUnsavedLinks(drawing->links));
        };
        w.check = [](bool) { EXPECT_EQ(g_bSuppressReactors, 0); };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        return w;
    }
};

TEST_F(SaveSweepTest, SavingLinksWithEachOpenOrDictionaryEntryFailing)
{
    sweep::World w = SaveWorld();
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 20);
    EXPECT_GT(sweep::SweepHostCalls(w, "setAt", eInvalidInput), 10);
}

}  // namespace
