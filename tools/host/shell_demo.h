// The shell's part of the demo: the plug-in meets a peer that is installed
// but not running, starts it, keeps its button in it, fetches the objects
// its button sends, binds the drawing to the peer's coordinate system, runs
// its timers and unloads. Each step is written to the transcript.
#pragma once

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "oddbdatabase.h"
#include "peer_objects.h"
#include "standin_peer.h"

namespace velkhost {

std::string Utf8(const std::wstring& text);

// Before the module loads: the peer installed and not running, a drawing
// open, and the user's answer to the offer to start the peer queued (yes).
void PrepareShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out);
// After the module loaded.
void RunShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out);
// The peer's folders and objects as a tree, one line each.
void PrintPeerTree(const std::vector<velkpeer::DecodedObject>& objects, std::ostream& out);
// The handles of model space's entities (none without a drawing).
std::set<uint64_t> ModelSpaceHandles(OdDbDatabase* db);
// A closed rectangle appended to model space; its id (null on failure).
OdDbObjectId AddOutline(OdDbDatabase* db, double x0, double y0, double x1, double y1);
// The peer's follow value with what it means.
std::string FollowValue(int32_t value);
// What the host's command line printed and the programs and folders
// started since the last report.
void NewHostOutput(std::ostream& out);
// The message boxes shown since the last report.
void NewMessageBoxes(std::ostream& out);
// The host's output, the message boxes, then the peer's messages and answers, since the last
// report.
void NewTraffic(const velkpeer::StandinPeer* peer, std::ostream& out);
// After the module unloaded.
void ReportShellUnload(const velkpeer::StandinPeer* peer, std::ostream& out);

}  // namespace velkhost
