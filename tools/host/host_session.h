// One run of velkhost: the machine, the drawing, the module and the peer,
// and the steps a run takes in order: open, load, script, save, picture,
// unload. Each step writes its lines of the transcript and its outcome.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host_options.h"
#include "machine_folder.h"
#include "standin_peer.h"
#include "transcript.h"

class OdRxModule;
class OdDbDatabase;

namespace velkhost {

struct Session {
    Session(const Options& options, Transcript& log) : options(options), log(log), guard(options.drawing, options.overwrite) {}

    const Options& options;
    Transcript& log;
    OutputGuard guard;
    MachineFolder machine;
    std::unique_ptr<velkpeer::StandinPeer> peer;
    OdRxModule* module = nullptr;
    // The entities of model space as the drawing was opened: the user's
    // (their handles, sorted).
    std::vector<uint64_t> opened;
};

// The current drawing's database; null without one.
OdDbDatabase* CurrentDrawing();
// The handles of model space's entities that are not erased, sorted: a
// drawing of a million entities takes them in one array, not a node each.
std::vector<uint64_t> ModelSpaceHandles(OdDbDatabase* db);

// Refusals that stop the run before anything is touched (exit status 2):
// an output naming the input drawing, a file beside it or an image it
// names (known once it is open), or --save and --png naming one file.
bool CheckOutputs(const Session& s, std::string& error);
// The folders --save and --png write into exist: velkhost makes none, as
// cp does not, so a mistyped folder is not made silently. False, each that
// does not failed in the transcript (as the save or the picture), before
// anything is touched (exit status 1).
bool CheckOutputFolders(Session& s);
// The machine folder (locked for the run), the module copied into its
// plug-in folder and the peer installed; false (exit status 2) when the
// folder is refused or another run holds it. What the folder held that
// velkhost did not make is named as it is cleared.
bool PrepareMachine(Session& s, std::string& error);
// Opens the drawing (or starts a new one). Refused (exit status 2, the
// reason in `refusal`) when an output would replace an image the drawing
// names.
enum class OpenResult { kOpened, kFailed, kRefused };
OpenResult OpenStep(Session& s, std::string& refusal);
bool LoadStep(Session& s);
void SaveStep(Session& s);
void PictureStep(Session& s);
void UnloadStep(Session& s);
// The peer's state at the end and the module's debug log.
void Summary(Session& s);

}  // namespace velkhost
