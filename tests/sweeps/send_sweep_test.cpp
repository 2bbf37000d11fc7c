// Sending a selection, and resending edited entities, with each host call
// failing in turn.
#include "editor_control.h"
#include "exchange/arxoperation.h"
#include "exchange/exchangeglobals.h"
#include "hostdb_control.h"
#include "peer_objects.h"
#include "sweep_fixture.h"

namespace {

class SendSweepTest : public SweepTest {
protected:
    sweep::World SendWorld(bool selection)
    {
        sweep::World w;
        w.build = [this] {
            BuildScene();
            user = AddUserEntities();
        };
        w.run = [this, selection] {
            OdDbObjectIdArray ids;
            for (uint64_t h : user) ids.append(IdOf(h));
            if (!selection) return !ArxOperation::SendObjectsToPeer(ids);
            standin::SetPickFirst(ids);
            ArxOperation::SendSelectedObjects();
            return false;
        };
        w.outcome = [this] {
            size_t objects = 0;
            for (auto& o : velkpeer::DecodeAll(peer->ObjectStore())) objects += o.kind != 30;
            return LinkedText(user) + " objects " + std::to_string(objects);
        };
        w.check = [](bool) { EXPECT_EQ(g_bSuppressReactors, 0); };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        return w;
    }
};

// A send draws nothing: no entity is appended, and only the selection
// send adds one table record.
TEST_F(SendSweepTest, ASelectionSentWithEachOpenOrAddFailing)
{
    sweep::World w = SendWorld(true);
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 30);
    EXPECT_EQ(sweep::SweepHostCalls(w, "append", eInvalidInput), 0);
    EXPECT_EQ(sweep::SweepHostCalls(w, "add", eInvalidInput), 1);
}

TEST_F(SendSweepTest, AResendWithEachOpenFailing)
{
    sweep::World w = SendWorld(false);
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 30);
    EXPECT_EQ(sweep::SweepHostCalls(w, "append", eInvalidInput), 0);
    EXPECT_EQ(sweep::SweepHostCalls(w, "add", eInvalidInput), 0);
}

}  // namespace
