// Fault sweeps: an operation is run once per host call of a kind it makes,
// with that call failing, on a fresh machine each time; after every run the
// drawing and the module's state are checked for what a failure must never
// leave behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "state/drawingdata.h"

class OdDbDatabase;

namespace sweep {

// The DXF form of every table record, block entity and entity of a drawing,
// by handle, without the groups that tie it to its extension dictionary (a
// saved link adds one).
using Snapshot = std::map<uint64_t, std::string>;
Snapshot TakeSnapshot(OdDbDatabase* db);
// One line per record of `before` that is gone or changed in `after`.
std::vector<std::string> Changes(const Snapshot& before, const Snapshot& after);

// One line per broken promise of a drawing's link tables: every link names
// a live entity of the drawing, one saved with a peer id carries it in its
// Xrecord, every entity carrying a peer id has its link in memory, and the
// peer-id and group tables name linked entities.
std::vector<std::string> LinkProblems(CDrawingData* drawing, OdDbDatabase* db);

// What a user was told: message boxes and the command line.
std::wstring Reports();

// One world a sweep runs in. `build` sets the scene up on a fresh machine,
// `run` does the operation (true when its return value said it failed),
// `outcome` tells what it achieved as text (compared with the clean run's:
// a run that achieved less must have been reported), `check` adds the
// operation's own checks, `teardown` drops what the world keeps outside
// the machine (the peer).
struct World {
    std::function<void()> build;
    std::function<bool()> run;
    std::function<std::string()> outcome;
    std::function<void(bool faulted)> check;
    std::function<void()> teardown;
    // The drawings whose records and entities are checked.
    std::function<std::vector<std::pair<CDrawingData*, OdDbDatabase*>>()> drawings;
    // The records the user's drawing is compared by; all when unset.
    std::function<bool(uint64_t handle)> watched;
    // A failure the operation reported may leave links it could not load
    // out of the tables (never a wrong one in): loading does so.
    bool reportedMayMissLinks = false;
    // Whether the outcome of a faulted run may differ silently (a fault the
    // operation is designed to absorb, such as a write open that falls back
    // to a read).
    std::function<bool(const std::string& clean, const std::string& faulted)> sameEnough;
};

// Sweeps failures of host calls of kind `op` (as hostdb_control names them)
// with `status` through the world. The number of faulted runs.
int SweepHostCalls(World& world, const char* op, int status);

// A new machine: the module's state, the stand-ins and the machine folder
// as a new test has them. Objects still in memory afterwards were leaked.
void FreshMachine();

}  // namespace sweep
