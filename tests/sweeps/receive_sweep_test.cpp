// Receiving a buffer of map objects into a drawing of user entities, the
// first time and again (when what showed the objects before is replaced),
// with each host call failing in turn.
#include <map>

#include "common/document/dwgdatabaseutil.h"
#include "exchange/arxoperation.h"
#include "exchange/exchangeglobals.h"
#include "hostdb_control.h"
#include "oddbentity.h"
#include "peer_encode.h"
#include "state/settings.h"
#include "sweep_fixture.h"
#include "window_control.h"

namespace {

using velkpeer::PeerMultiPart;
using velkpeer::PeerShape;
using velkpeer::PeerSign;
using velkpeer::PeerTrack;

class ReceiveSweepTest : public SweepTest {
protected:
    // A folder holding two signs (one with an icon), three tracks, two
    // shapes and a multi-part object; their ids.
    std::vector<uint32_t> PutMapObjects()
    {
        auto& store = peer->ObjectStore();
        std::vector<uint32_t> ids;
        uint32_t folder = store.Put(30, 0, velkpeer::EncodeFolder("surveys"));
        ids.push_back(folder);
        const double x = 500000, y = 3000000;
        PeerSign well;
        well.name = "well";
        well.remark = "depth 30";
        well.x = x + 10;
        well.y = y + 10;
        well.iconNumber = 12;
        ids.push_back(store.Put(7, folder, velkpeer::EncodeSign(well)));
        PeerSign label = well;
        label.name = "north gate";
        label.signType = 3;
        label.iconNumber = 0;
        label.fontSize = 12;
        label.x = x + 50;
        ids.push_back(store.Put(7, folder, velkpeer::EncodeSign(label)));
        for (int i = 0; i < 3; ++i) {
            PeerTrack t;
            t.name = "track " + std::to_string(i);
            t.points = {{x, y + i * 10, 0, 0}, {x + 30, y + i * 10 + 5, 0, 0}, {x + 60, y + i * 10, 0, 0}};
            ids.push_back(store.Put(8, folder, velkpeer::EncodeTrack(t)));
        }
        for (int i = 0; i < 2; ++i) {
            PeerShape s;
            s.name = "plot " + std::to_string(i);
            const double x0 = x + 100 + i * 50;
            s.points = {{x0, y, 0, 0}, {x0 + 40, y, 0, 0}, {x0 + 40, y + 40, 0, 0}, {x0, y + 40, 0, 0}};
            s.outerRingCount = 1;
            ids.push_back(store.Put(13, folder, velkpeer::EncodeShape(s)));
        }
        PeerMultiPart m;
        m.name = "fence";
        m.parts = {{{x, y - 20}, {x + 20, y - 20}}, {{x + 30, y - 20}, {x + 50, y - 25}}};
        ids.push_back(store.Put(11, folder, velkpeer::EncodeMultiPart(m)));
        return ids;
    }
    bool Receive(const std::vector<uint32_t>& ids)
    {
        peer->ObjectStore().ChooseForCad(ids);
        std::vector<uint8_t> frame = peer->ObjectStore().FrameChosen();
        return ArxOperation::ReceiveMapObjects(frame.data(), (uint32_t)frame.size());
    }

    sweep::World ReceiveWorld(bool again)
    {
        sweep::World w;
        w.build = [this, again] {
            BuildScene();
            g_settings.pointsAsIcons = 1;
            user = AddUserEntities();
            objects = PutMapObjects();
            if (again) {
                ASSERT_TRUE(Receive(objects));
                standin::AdvanceClockMs(100);
            }
        };
        w.run = [this] {
            bool failed = !Receive(objects);
            standin::AdvanceClockMs(100);
            return failed;
        };
        w.outcome = [this] {
            size_t linked = 0;
            for (auto& [h, link] : drawing->links) linked += link && link->peerId != 0;
            std::map<std::string, int> kinds;
            for (const OdDbObjectId& id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, db)) {
                OdDbEntity* e = nullptr;
                if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
                const OdString& name = e->isA()->name();
                ++kinds[std::string(name.c_str(), name.c_str() + name.getLength())];
                e->close();
            }
            std::string text = "linked " + std::to_string(linked);
            for (auto& [kind, n] : kinds) text += " " + kind + " " + std::to_string(n);
            return text;
        };
        w.check = [](bool) { EXPECT_EQ(g_bSuppressReactors, 0); };
        w.teardown = [this] { peer.reset(); };
        w.drawings = [this] { return Drawings(); };
        // Only the user's records: a receipt replaces what it made before.
        w.watched = [this](uint64_t handle) { return handle <= user.back(); };
        return w;
    }

    std::vector<uint32_t> objects;
};

TEST_F(ReceiveSweepTest, AFirstReceiptWithEachOpenAppendOrAddFailing)
{
    sweep::World w = ReceiveWorld(false);
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 20);
    EXPECT_GT(sweep::SweepHostCalls(w, "append", eInvalidInput), 8);
    EXPECT_GT(sweep::SweepHostCalls(w, "add", eInvalidInput), 0);
}

TEST_F(ReceiveSweepTest, AReceiptReplacingTheLastWithEachOpenAppendOrAddFailing)
{
    sweep::World w = ReceiveWorld(true);
    EXPECT_GT(sweep::SweepHostCalls(w, "open", eWasOpenForWrite), 20);
    EXPECT_GT(sweep::SweepHostCalls(w, "append", eInvalidInput), 8);
}

}  // namespace
