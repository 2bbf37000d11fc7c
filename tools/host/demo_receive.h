// The receiving part of the demo: the peer's user makes objects of the
// peer's own and presses its button; the transcript lists the entities the
// drawing received with their layers, then a second send shows that they
// carry their links (the peer updates the same objects).
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

void RunReceiveDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
