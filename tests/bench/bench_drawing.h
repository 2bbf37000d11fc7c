// Drawings for the rows that send and receive: entities to send, and the
// stand-in machine with the stand-in peer and the module's receiver window.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "oddbdatabase.h"
#include "oddbentity.h"

class GcApDocument;
class CDrawingData;

namespace velkpeer {
class StandinPeer;
}

namespace velkbench {

// One entity of ten kinds in turn (lines, circles, arcs, polylines, texts,
// MTexts, points, hatches, solids, ellipses), spread over the map.
OdDbEntity* MakeMixedEntity(int i);
// `count` of them in the model space, coloured 1 to 7 in turn; their ids
// (fewer when the database refused some).
OdDbObjectIdArray AddMixedEntities(OdDbDatabase* db, int count);

// Part `i` of `all` cut in `parts` equal parts (an uneven rest left out).
template <class List>
List PartOf(const List& all, int i, int parts)
{
    List part;
    const int size = (int)all.size() / parts;
    for (int k = size * i; k < size * (i + 1); ++k) part.push_back(all[k]);
    return part;
}

// The entities of the drawing's model space.
size_t ModelSpaceCount(OdDbDatabase* db);
// The drawing as the stand-in writes it, its lines ending in a line feed
// alone, with `room` to spare, and where entities go in it (after the
// ENTITIES section's name); `error` says what failed.
std::string FileAround(OdDbDatabase& db, size_t room, size_t& entitiesAt, std::string& error);
// A drawing file of `count` POINTs in model space, the i-th under the handle
// `handleOf(i, seed)`, where `seed` is the first handle the rest of the file
// leaves free; `error` says what failed.
std::string PointsFile(int count, const std::function<uint64_t(int i, uint64_t seed)>& handleOf, std::string& error);
// A drawing file as ezdxf writes one, of `count` entities outside blocks
// (lines, light polylines, texts, circles, arcs, block references and
// hatches in turn); `error` says what failed.
std::string OtherProgramsFile(int count, std::string& error);
// That file written as drawing.dxf in a new temporary folder named from
// `prefix` (`folder`, which the caller removes): its path, or empty with
// `error` saying why.
std::string OtherProgramsFileIn(const char* prefix, int count, std::string& folder, std::string& error);
// The benchmark program's own path, for running it again as a child.
std::string SelfPath();
// The entities outside blocks dxflib reads from the stream.
size_t DxflibEntityCount(std::istream& in);

// The stand-in machine, made on first use: a peer of its own, the module's
// receiver window, and one current drawing.
struct PeerSite {
    std::string root;
    std::unique_ptr<velkpeer::StandinPeer> peer;
    GcApDocument* doc = nullptr;
    CDrawingData* drawing = nullptr;
    std::string error;  // empty when the site is ready
    ~PeerSite();        // the machine's folder goes
};

PeerSite& Site();
// A new peer holding nothing, and a new empty current drawing; the earlier
// ones are closed, so that runs do not pile up.
void FreshSite();
// A new empty current drawing in place of the last one, the peer kept.
void FreshDrawing();

}  // namespace velkbench
