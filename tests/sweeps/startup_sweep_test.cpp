// Start-up over two open drawings whose entities carry links, with each
// host call failing in turn.
#include "afxwin.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "plugin_state.h"
#include "shell/velkarxapp.h"
#include "sweep_fixture.h"

namespace {

class StartUpSweepTest : public SweepTest {
protected:
    sweep::World StartUpWorld()
    {
        sweep::World w;
        w.build = [this] {
            velktest::InstallStandinPeer(900, peer);
            peer = std::make_unique<velkpeer::StandinPeer>();
            peer->Config().statusWord = 0x100;
            AfxSetResourceHandle(gcedGetGcadResourceInstance());
            other = standin::CreateDocument(L"C:\\dwg\\other.dwg");
            doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
            db = doc->database();
            user = AddUserEntities();
            // Links stored with the drawing: every other entity linked.
            uint32_t peerId = 1000;
            for (size_t i = 0; i < user.size(); i += 2) {
                MapObjInfo link;
                link.handle = user[i];
                link.peerId = ++peerId;
                link.name = L"linked";
                ASSERT_EQ(WriteEntityLinkOf(link, db), 1);
            }
        };
        w.run = [this] {
            theApp.StartPlugin();
            drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
            return false;
        };
        w.outcome = [this] {
            size_t linked = 0;
            for (auto& [h, link] : drawing->links) linked += link && link->peerId != 0;
            return "linked " + std::to_string(linked) + " peer ids " + std::to_string(drawing->peerEntities.size());
        };
        w.check = [this](bool) { EXPECT_EQ(g_ptagDocIdManager, drawing); };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        w.reportedMayMissLinks = true;
        return w;
    }
    GcApDocument* other = nullptr;
};

// Start-up only reads the drawings: it appends and adds nothing.
TEST_F(StartUpSweepTest, StartingUpWithEachOpenFailing)
{
    sweep::World w = StartUpWorld();
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 20);
    EXPECT_EQ(sweep::SweepHostCalls(w, "append", eInvalidInput), 0);
    EXPECT_EQ(sweep::SweepHostCalls(w, "add", eInvalidInput), 0);
}

}  // namespace
