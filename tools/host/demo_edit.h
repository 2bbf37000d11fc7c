// The reactors' part of the demo: after the first send the user goes on
// editing; the edits reach the peer and the links are saved with the drawing.
#pragma once

#include <ostream>

#include "standin_peer.h"

namespace velkhost {

// Switches automatic synchronisation on in the options dialog, moves the
// sent text, erases the sent line and saves the drawing, showing what the
// peer received and the links stored in the saved file.
void RunEditDemo(velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
