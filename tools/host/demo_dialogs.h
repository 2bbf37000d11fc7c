// The dialogs' part of the demo: the user sets the options (follow mode,
// highest base-map level, a new cache folder chosen in the folder browser)
// and ties a drawing point to a place in the peer's map in the coordinate
// window.
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

void RunDialogsDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
