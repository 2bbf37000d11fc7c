// Whole processes for the rows that time them (process_rows.cpp): each is
// started through a small child of the benchmark, so that its peak resident
// memory is its own, and timed by its cpu time.
#pragma once

#include <string>
#include <vector>

namespace velkbench {

struct Process {
    int status = -1;       // as wait4 gives it; -1 when it did not start
    double cpuSeconds = 0;
    double peakBytes = 0;
    std::string output;    // its standard output
    std::string error;     // why it could not be run
};

// Runs `args` (the program first) with standard output into `outputFile`.
Process RunProcess(const std::vector<std::string>& args, const std::string& outputFile);
// velkhost of the same build as the benchmark.
std::string VelkhostPath();
// The entities velkhost's outcome says it opened ("..., N entities in
// model space"), -1 when it says none.
long OpenedEntities(const std::string& output);
// Why the process failed (`who` names it), empty when it exited 0.
std::string Describe(const Process& p, const char* who);

}  // namespace velkbench
