// Whole velkhost processes opening a million POINTs whose handles a writer
// chose oddly (all just below 2^64; each given to two records, so that half
// of them take new handles), against a process opening the same POINTs under
// handles in a run, in the same run. The row's ratio is of cpu time; its
// note gives the ratio of the peaks of resident memory, and the bytes of
// that peak per byte of the file of plain handles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "process_run.h"

namespace fs = std::filesystem;

namespace velkbench {

namespace {

// What memory the odd handles may take beside plain ones, and the peak of
// a file of plain POINTs per byte of it.
constexpr double kPeakRatio = 1.5;
constexpr double kPeakBytesPerFileByte = 9;

enum class Handles { kRun, kBelowTop, kTwice };

std::string PointsOf(int count, Handles pattern, std::string& error)
{
    // The last POINT has the last handle there is.
    return PointsFile(
        count,
        [&](int i, uint64_t seed) {
            return pattern == Handles::kBelowTop ? UINT64_MAX - (uint64_t)(count - 1 - i)
                   : pattern == Handles::kTwice  ? seed + (uint64_t)(i / 2)
                                                 : seed + (uint64_t)i;
        },
        error);
}

// The files of the rows, for a profile by hand:
// `velk_bench --child points-file run|below-top|twice COUNT FILE`.
int PointsFileChild(int argc, char** argv)
{
    if (argc != 3) return 2;
    const std::string name = argv[0];
    const Handles pattern = name == "below-top" ? Handles::kBelowTop : name == "twice" ? Handles::kTwice : Handles::kRun;
    std::string error;
    const std::string bytes = PointsOf(std::atoi(argv[1]), pattern, error);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!error.empty() || !out.flush()) {
        fprintf(stderr, "velk_bench: %s\n", error.empty() ? "cannot write the file" : error.c_str());
        return 1;
    }
    return 0;
}

VELK_BENCH_CHILD("points-file", PointsFileChild);

struct PointRuns {
    std::string folder;  // removed with the runs
    std::string odd, plain, output;
    double plainBytes = 0;
    int count = 0;
    Process oddRun, plainRun;
    double oddPeak = 0, plainPeak = 0;  // the largest of each side's runs
    ~PointRuns()
    {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

bool WriteFile(const std::string& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out.flush();
}

Pair PointsRow(const Scale& scale, int full, Handles pattern)
{
    Pair pair;
    auto r = std::make_shared<PointRuns>();
    r->count = scale.Pick(full, 300);
    std::string tmpl = (fs::temp_directory_path() / "velk-bench-points-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        pair.error = "no temporary folder";
        return pair;
    }
    r->folder = tmpl;
    r->odd = r->folder + "/odd.dxf";
    r->plain = r->folder + "/plain.dxf";
    r->output = r->folder + "/output.txt";
    const std::string odd = PointsOf(r->count, pattern, pair.error);
    const std::string plain = pair.error.empty() ? PointsOf(r->count, Handles::kRun, pair.error) : std::string();
    if (!pair.error.empty()) return pair;
    if (!WriteFile(r->odd, odd) || !WriteFile(r->plain, plain)) {
        pair.error = "cannot write the files";
        return pair;
    }
    r->plainBytes = (double)plain.size();
    const std::string host = VelkhostPath();
    pair.timedModule = [r, host]() {
        r->oddRun = RunProcess({host, "--quiet", "--drawing", r->odd}, r->output);
        if (r->oddRun.peakBytes > r->oddPeak) r->oddPeak = r->oddRun.peakBytes;
        return r->oddRun.cpuSeconds;
    };
    pair.timedReference = [r, host]() {
        r->plainRun = RunProcess({host, "--quiet", "--drawing", r->plain}, r->output);
        if (r->plainRun.peakBytes > r->plainPeak) r->plainPeak = r->plainRun.peakBytes;
        return r->plainRun.cpuSeconds;
    };
    pair.check = [r]() {
        std::string d = Describe(r->oddRun, "velkhost on the odd handles");
        if (d.empty()) d = Describe(r->plainRun, "velkhost on handles in a run");
        if (!d.empty()) return d;
        const long odd = OpenedEntities(r->oddRun.output), plain = OpenedEntities(r->plainRun.output);
        if (odd != r->count || plain != r->count)
            return "opened " + std::to_string(odd) + " and " + std::to_string(plain) + " of " + std::to_string(r->count);
        return std::string();
    };
    // A tiny file's bytes are nothing beside the process's own.
    const bool judged = !scale.smoke;
    pair.note = [r, judged]() {
        const double ratio = r->oddPeak / r->plainPeak, perByte = r->plainPeak / r->plainBytes;
        auto verdict = [judged](bool ok) { return !judged ? "-" : ok ? "ok" : "MISSED"; };
        char line[300];
        snprintf(line, sizeof line,
                 "peak resident memory %.2f of the run's (target <= %.1f: %s); the run's %.2f bytes a byte of its "
                 "file of %.1f MB (target <= %.0f: %s)",
                 ratio, kPeakRatio, verdict(ratio <= kPeakRatio), perByte, r->plainBytes / 1048576.0,
                 kPeakBytesPerFileByte, verdict(perByte <= kPeakBytesPerFileByte));
        return std::string(line);
    };
    return pair;
}

const int kPoints = 1048576;

}  // namespace

VELK_BENCH_ROWS({
    {"file handles", "velkhost: 1,048,576 POINTs, handles below 2^64", "their handles in a run", 1.5, 3,
     [](const Scale& s) { return PointsRow(s, kPoints, Handles::kBelowTop); }},
    {"file handles", "velkhost: 1,048,576 POINTs, each handle twice", "their handles in a run", 1.5, 3,
     [](const Scale& s) { return PointsRow(s, kPoints, Handles::kTwice); }},
});

}  // namespace velkbench
