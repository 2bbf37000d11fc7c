// Sending drawing entities to the stand-in peer: entities in model space of
// the test's drawing, a pick-first selection, the toolbar's send, and the
// objects as the peer decoded them.
#pragma once

#include <string>
#include <vector>

#include "editor_control.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/hatchfill.h"
#include "peer_fixture.h"
#include "peer_objects.h"
#include "state/peerhelpers.h"
#include "state/settings.h"

class SendTest : public PeerExchangeTest {
protected:
    void SetUp() override
    {
        PeerExchangeTest::SetUp();
        g_ptagDocIdManager = GetDrawingData(drawingRecords, L"site.dwg", doc_);
        g_settings = PluginSettings{};
        g_sendColour = 0;
        g_level19PixelSize = 0;
        ResetMeasurement();
    }
    void TearDown() override
    {
        ResetMeasurement();
        FreeLinetypeTable(g_pLinetypeTable, true);
        g_pLinetypeTable = nullptr;
        PeerExchangeTest::TearDown();
    }

    // Selects the entities and presses the send button.
    void SendSelected(const std::vector<uint64_t>& handles)
    {
        OdDbObjectIdArray ids;
        for (uint64_t h : handles) ids.append(IdOf(h));
        standin::SetPickFirst(ids);
        ArxOperation::SendSelectedObjects();
    }
    // The objects the peer keeps that are not folders, in id order.
    std::vector<velkpeer::DecodedObject> MapObjects() const
    {
        std::vector<velkpeer::DecodedObject> out;
        for (auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
            if (o.kind != 30) out.push_back(o);
        return out;
    }
    // The one map object; a failure when there is not exactly one.
    velkpeer::DecodedObject OnlyObject() const
    {
        auto all = MapObjects();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? velkpeer::DecodedObject() : all.front();
    }
    std::vector<velkpeer::DecodedObject> Folders() const
    {
        std::vector<velkpeer::DecodedObject> out;
        for (auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
            if (o.kind == 30) out.push_back(o);
        return out;
    }
    // Converts one entity (open, or in no database) with the link given,
    // sends it on its own and returns what the peer made of it.
    std::vector<velkpeer::DecodedObject> Convert(OdDbEntity* entity, MapObjInfo info = MapObjInfo())
    {
        uint32_t known = peer->Objects().empty() ? 0 : peer->Objects().rbegin()->first;
        ObjExchangeBuffer buffer;
        StartExchangeBuffer(&buffer, 0);
        PointQueue points;
        std::vector<uint64_t> pieces;
        std::vector<uint32_t> replaced;
        uint32_t count = 0;
        ArxOperation::ConvertEntity(entity, &buffer, &info, points, pieces, count, replaced, false);
        if (ExchangeBufferHasRecords(&buffer)) {
            CloseExchangeBuffer(&buffer);
            EXPECT_EQ(SendExchangeBuffer(&buffer), 0);
        }
        std::vector<velkpeer::DecodedObject> made;
        for (auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
            if (o.id > known) made.push_back(o);
        return made;
    }
    velkpeer::DecodedObject ConvertOne(OdDbEntity* entity, MapObjInfo info = MapObjInfo())
    {
        auto made = Convert(entity, info);
        EXPECT_EQ(made.size(), 1u);
        return made.empty() ? velkpeer::DecodedObject() : made.front();
    }
    static bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
    // The entity's link in the drawing's cache; null when there is none.
    MapObjInfo* LinkOf(uint64_t handle) const { return FindEntityLink(g_ptagDocIdManager->links, handle); }
    // Opens an entity of the drawing for write; the caller closes it.
    template <class T>
    T* Open(uint64_t handle)
    {
        T* e = nullptr;
        EXPECT_EQ(oddbOpenObject(e, IdOf(handle), OdDb::kForWrite), eOk);
        return e;
    }
};
