// The sending part of the demo: the host draws a small drawing, selects it
// and presses the toolbar's send button; the transcript shows the peer's
// folders and objects as the peer decoded them and the links they carry.
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

void RunSendDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
