// The shell's part of the demo: the plug-in meets a peer that is installed
// but not running, starts it, keeps its button in it, fetches the objects
// its button sends, binds the drawing to the peer's coordinate system, runs
// its timers and unloads. Each step is written to the transcript.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "standin_peer.h"

namespace velkhost {

std::string Utf8(const std::wstring& text);

// Before the module loads: the peer installed and not running, a drawing
// open, and the user's answer to the offer to start the peer queued (yes).
void PrepareShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out);
// After the module loaded.
void RunShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out);
// The message boxes shown since the last report.
void NewMessageBoxes(std::ostream& out);
// The message boxes, then the peer's messages and answers, since the last
// report.
void NewTraffic(const velkpeer::StandinPeer* peer, std::ostream& out);
// After the module unloaded.
void ReportShellUnload(const velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
