// The plug-in loaded into the stand-in host with the stand-in peer running:
// drawings with linked entities, the host's commands run as the user types
// them, and the re-sends the reactors post to the receiver window taken off
// its queue.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "editor_control.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "plugin_state.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "standin_peer.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/settings.h"
#include "test_support.h"

class ReactorTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        AfxSetResourceHandle(gcedGetGcadResourceInstance());
        velktest::InstallStandinPeer(900, peer);
        peer = std::make_unique<velkpeer::StandinPeer>();
        peer->Config().statusWord = 0x100;
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }

    // Loads the plug-in with synchronisation on; the first command's binding
    // check is taken as done unless a test wants it.
    void Start()
    {
        theApp.StartPlugin();
        g_settings.autoSync = 1;
        g_settings.pointsAsIcons = 0;
        g_settings.doubleClickProperties = 1;
        g_settings.onlineBaseMap = 0;
        g_bFirstCommand = 0;
        sentBefore = peer->Messages().size();
    }

    OdDbDatabase* Db(GcApDocument* doc = nullptr) const
    {
        return (doc ? doc : gcDocManagerPtr()->curDocument())->database();
    }
    uint64_t Append(OdDbEntity* e, GcApDocument* doc = nullptr)
    {
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, Db(doc)->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, e), eOk);
        e->close();
        ms->close();
        return (uint64_t)id.getHandle();
    }
    uint64_t Line(double x0, double y0, double x1, double y1, GcApDocument* doc = nullptr)
    {
        return Append(new OdDbLine(OdGePoint3d(x0, y0, 0), OdGePoint3d(x1, y1, 0)), doc);
    }
    // An object in the peer; its id.
    uint32_t PeerObject()
    {
        std::vector<uint8_t> body(176, 0);
        body[111] = 1;
        return peer->ObjectStore().Put(30, 0, body);
    }
    // Stores a link to `peerId` in the entity's Xrecord; a sign's halves
    // name each other as companions and carry an icon number.
    void Link(uint64_t handle, uint32_t peerId, GcApDocument* doc = nullptr, uint64_t companion = 0)
    {
        MapObjInfo link;
        link.handle = handle;
        link.peerId = peerId;
        link.companion = companion;
        link.iconNumber = companion ? 4 : 0;
        link.name = L"linked";
        EXPECT_EQ(WriteEntityLinkOf(link, Db(doc)), 1);
    }
    uint64_t Linked(OdDbEntity* e, uint32_t peerId, GcApDocument* doc = nullptr)
    {
        uint64_t handle = Append(e, doc);
        Link(handle, peerId, doc);
        return handle;
    }
    OdDbObjectId Id(uint64_t handle, GcApDocument* doc = nullptr) const
    {
        OdDbObjectId id;
        Db(doc)->getOdDbObjectId(id, false, OdDbHandle(handle));
        return id;
    }
    OdDbObjectIdArray Ids(std::initializer_list<uint64_t> handles, GcApDocument* doc = nullptr) const
    {
        OdDbObjectIdArray ids;
        for (uint64_t h : handles) ids.append(Id(h, doc));
        return ids;
    }
    // The link stored in the entity's Xrecord (peer id 0 without one).
    MapObjInfo StoredLink(uint64_t handle, GcApDocument* doc = nullptr) const
    {
        MapObjInfo* read = ReadEntityLink(Id(handle, doc));
        MapObjInfo copy = read ? *read : MapObjInfo();
        delete read;
        return copy;
    }
    CDrawingData* Record(GcApDocument* doc) const
    {
        return GetDrawingData(drawingRecords, doc->fileName().c_str(), doc);
    }

    // Runs a host command as typed; every queued answer must be used.
    void Run(const wchar_t* command)
    {
        ASSERT_TRUE(standin::InvokeCommand(command)) << command;
        EXPECT_EQ(standin::PendingAnswers(), 0) << command;
    }
    // Runs `body` as a command `name` of the test's own, which comes before
    // the host's command of that name.
    void RunAs(const wchar_t* name, std::function<void()> body)
    {
        Body() = std::move(body);
        odedRegCmds()->addCommand(L"TEST", name, name, 0, [] { Body()(); });
        Run(name);
        odedRegCmds()->removeGroup(L"TEST");
    }
    static std::function<void()>& Body()
    {
        static std::function<void()> body;
        return body;
    }
    void MoveBy(std::initializer_list<uint64_t> handles, double dx, double dy)
    {
        standin::QueueSelection(Ids(handles));
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(dx, dy, 0));
        Run(L"MOVE");
    }
    void Erase(std::initializer_list<uint64_t> handles)
    {
        standin::QueueSelection(Ids(handles));
        Run(L"ERASE");
    }

    // The handle lists posted for re-sending since the last call, taken off
    // the receiver's queue.
    std::vector<std::vector<uint64_t>> TakeResends()
    {
        std::vector<std::vector<uint64_t>> out;
        MSG m;
        HWND receiver = g_pMessageDlg->GetSafeHwnd();
        while (PeekMessageW(&m, receiver, WM_RESEND_OBJECTS, WM_RESEND_OBJECTS, PM_REMOVE)) {
            auto* ids = (OdDbObjectIdArray*)m.lParam;
            std::vector<uint64_t> handles;
            for (const OdDbObjectId& id : *ids) handles.push_back(id.getHandle());
            delete ids;
            out.push_back(handles);
        }
        return out;
    }
    // The peer ids of the deletions the peer received since Start.
    std::vector<uint32_t> PeerDeletions() const
    {
        std::vector<uint32_t> ids;
        const auto& all = peer->Messages();
        for (size_t i = sentBefore; i < all.size(); ++i)
            if (all[i].code == 20103) ids.push_back(velktest::ReadAt<uint32_t>(all[i].bytes, 16));
        return ids;
    }
    size_t PeerMessagesOf(uint32_t code) const
    {
        size_t n = 0;
        const auto& all = peer->Messages();
        for (size_t i = sentBefore; i < all.size(); ++i) n += all[i].code == code;
        return n;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    size_t sentBefore = 0;
};
