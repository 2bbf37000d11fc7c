// The scene the sweeps share: the module's receiver window, the stand-in
// peer, and a current drawing holding a dozen user entities of mixed kinds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "standin_peer.h"
#include "state/drawingdata.h"
#include "sweep_support.h"

class GcApDocument;
class OdDbDatabase;

class SweepTest : public testing::Test {
protected:
    void TearDown() override { peer.reset(); }

    // The receiver window, the peer (running with the configuration's
    // levels) and a drawing "C:\dwg\site.dwg" with its record, current.
    void BuildScene();
    // The same for the base map: the peer serving tiles (level L at 4096 /
    // 2^L units a pixel), the editor's reactor, the base map on with its
    // cache in "C:\Temp", a small window at level 16 about the peer's
    // origin.
    void BuildBaseMapScene();
    // Line, line on "roads", closed polyline, circle, arc, ellipse, text,
    // multiline text, two points, hatch and a block reference: their
    // handles.
    std::vector<uint64_t> AddUserEntities();
    // The entities' links that name a peer object, as text ("h:1 h:0 ...").
    std::string LinkedText(const std::vector<uint64_t>& handles) const;
    OdDbObjectId IdOf(uint64_t handle) const;
    // The world's drawings: the scene's one.
    std::vector<std::pair<CDrawingData*, OdDbDatabase*>> Drawings() const { return {{drawing, db}}; }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    GcApDocument* doc = nullptr;
    OdDbDatabase* db = nullptr;
    CDrawingData* drawing = nullptr;
    std::vector<uint64_t> user;
};
