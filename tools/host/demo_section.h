// The contours and the cross-section mode in the demo: contour lines for
// the drawing's extents from the peer's surface, then the section mode
// entered along a track of the peer, objects sent and received through it,
// and left again.
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

void RunSectionDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
