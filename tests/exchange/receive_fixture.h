// Receiving map objects: the module's receiver window over a current
// drawing, the stand-in peer holding the objects a test makes, and readers
// of what the drawing received.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/entityutil.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/hatchfill.h"
#include "exchange/velkobjtree.h"
#include "exchange_fixture.h"
#include "gcedinput.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbtext.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "plugin_state.h"
#include "standin_peer.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/settings.h"

// An object open for read for the span of a scope; null when it is not of
// that class or does not open.
template <class T>
class Reading {
public:
    explicit Reading(OdDbObjectId id)
    {
        if (oddbOpenObject(object_, id, OdDb::kForRead) != eOk) object_ = nullptr;
    }
    ~Reading()
    {
        if (object_) object_->close();
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

class ReceiveTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetState();
        SetDefaultSettings(g_settings);
        g_cacheRoot = L"C:\\Temp";
        velkpeer::PeerConfig config = velktest::LevelledPeerConfig();
        peer = std::make_unique<velkpeer::StandinPeer>(config);
        ASSERT_TRUE(velktest::OpenReceiverWindow());
        PeerApiSetClientName(&g_peerApi, L"VelkArxWin");
        doc = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        db = doc->database();
        drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc);
        g_ptagDocIdManager = drawing;
        // What the peer's level answer gives, as it arrives before a receipt.
        ASSERT_EQ(PeerApiGetLevelResolutions(&g_peerApi, 0, 0), 0);
    }
    void TearDown() override
    {
        ResetState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }

    static void ResetState()
    {
        velktest::ResetPluginState();
        ResetMeasurement();
        g_velkObjTree.Clear();
        g_velkObjTree.names.clear();
        g_velkObjTree.workspaceId = 0;
    }

    uint32_t PutFolder(const std::string& name, uint32_t parent = 0)
    {
        return peer->ObjectStore().Put(30, parent, velkpeer::EncodeFolder(name));
    }
    uint32_t Put(const velkpeer::PeerSign& s, uint32_t parent = 0)
    {
        return peer->ObjectStore().Put(7, parent, velkpeer::EncodeSign(s));
    }
    uint32_t Put(const velkpeer::PeerTrack& t, uint32_t parent = 0)
    {
        return peer->ObjectStore().Put(8, parent, velkpeer::EncodeTrack(t));
    }
    uint32_t Put(const velkpeer::PeerShape& s, uint32_t parent = 0)
    {
        return peer->ObjectStore().Put(13, parent, velkpeer::EncodeShape(s));
    }
    uint32_t Put(const velkpeer::PeerMultiPart& m, uint32_t parent = 0)
    {
        return peer->ObjectStore().Put(11, parent, velkpeer::EncodeMultiPart(m));
    }

    // The peer frames the chosen objects and the module receives them.
    bool Receive(const std::vector<uint32_t>& ids)
    {
        peer->ObjectStore().ChooseForCad(ids);
        std::vector<uint8_t> frame = peer->ObjectStore().FrameChosen();
        return ArxOperation::ReceiveMapObjects(frame.data(), (uint32_t)frame.size());
    }

    // Model-space entities of the class, in drawing order.
    template <class T>
    std::vector<OdDbObjectId> All() const
    {
        std::vector<OdDbObjectId> out;
        for (const auto& id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, db))
            if (Reading<T>(id)) out.push_back(id);
        return out;
    }
    size_t EntityCount() const { return (size_t)CDwgDatabaseUtil::GetAllEntityIds(nullptr, db).length(); }

    static uint64_t HandleOf(OdDbObjectId id) { return (uint64_t)id.getHandle(); }
    const MapObjInfo* LinkOf(OdDbObjectId id) const { return FindEntityLink(drawing->links, HandleOf(id)); }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    GcApDocument* doc = nullptr;
    OdDbDatabase* db = nullptr;
    CDrawingData* drawing = nullptr;
};
