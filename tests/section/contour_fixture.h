// The contour download and the cross-section mode against the stand-in
// peer: the module's receiver window over a current drawing (the receive
// fixture), the peer installed so that its check passes, and drawn
// rectangles.
#pragma once

#include <cmath>
#include <cstring>
#include <string>

#include "../exchange/receive_fixture.h"
#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcutprint.h"
#include "peer_encode.h"
#include "plugin_state.h"
#include "state/reactorflags.h"
#include "test_support.h"
#include "window_control.h"

class PeerJobTest : public ReceiveTest {
protected:
    void SetUp() override
    {
        ReceiveTest::SetUp();
        velkpeer::InstallPeer(900, [] { return true; });
        peer->Config().statusWord = 0x101;  // free for requests
        g_pEditorReactor = velktest::NewEditorReactor();
        standin::ClearCommandLine();
    }

    // A closed rectangle of a polyline in model space.
    OdDbObjectId Rectangle(double x0, double y0, double x1, double y1)
    {
        auto* p = new OdDbPolyline();
        p->addVertexAt(0, OdGePoint2d(x0, y0));
        p->addVertexAt(1, OdGePoint2d(x1, y0));
        p->addVertexAt(2, OdGePoint2d(x1, y1));
        p->addVertexAt(3, OdGePoint2d(x0, y1));
        p->setClosed(true);
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, p), eOk);
        p->close();
        ms->close();
        return id;
    }
    bool Exists(OdDbObjectId id) { return (bool)Reading<OdDbEntity>(id); }

    // The messages of one code the peer received, in order.
    std::vector<velkpeer::PeerMessage> Sent(uint32_t code) const
    {
        std::vector<velkpeer::PeerMessage> out;
        for (auto& m : peer->Messages())
            if (m.code == code) out.push_back(m);
        return out;
    }
    std::vector<std::wstring> BoxTexts() const
    {
        std::vector<std::wstring> out;
        for (auto& b : standin::MessageBoxes()) out.push_back(b.text);
        return out;
    }
    static bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

    template <class T>
    static T At(const std::vector<uint8_t>& b, size_t offset)
    {
        return velktest::ReadAt<T>(b, offset);
    }
};
