// The base-map part of the demo: the peer serves map tiles, the user
// switches the online base map on, pans and zooms (and moves the peer's
// map, which the view follows), then captures the map under the site plan
// as one picture and switches the base map on again. The transcript counts
// what the peer served and what the drawing holds.
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

void RunBaseMapDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
