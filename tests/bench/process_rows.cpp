// Whole processes: velkhost opening ezdxf's file (and opening and saving
// it) as a user runs it, start-up, the module's loading, the host's own
// walks and the teardown at exit included, against a process of dxflib
// reading the same file from disk. Each side is timed by its process's cpu
// time (wait4), so that the row sees what a user waits for; the note gives
// velkhost's peak resident memory per byte of the file, from the same
// accounting. Both are started through a small child of their own (`run`
// below), so that the benchmark's memory is not counted as theirs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "process_run.h"

extern char** environ;

namespace fs = std::filesystem;

namespace velkbench {

namespace {

std::string ReadFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts `args` (the program first) with standard output into `outputFile`
// and standard error thrown away, and waits for it; its status and
// rusage, or why it could not be run.
bool Spawn(const std::vector<std::string>& args, const std::string& outputFile, int& status, struct rusage& usage,
           std::string& error)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        error = "cannot run " + args[0] + ": " + strerror(started);
        return false;
    }
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) {
            error = std::string("wait4: ") + strerror(errno);
            return false;
        }
    return true;
}

// The child between the benchmark and the process timed
// (`--child run OUTPUT PROGRAM ARGS...`): it runs the program and prints
// its status, cpu seconds and peak resident bytes. A process started from
// the benchmark itself would count the benchmark's own peak as its own
// (the kernel keeps the larger of the memory it was started from and its
// own); started from this small one, it counts its own.
int RunChild(int argc, char** argv)
{
    if (argc < 2) return 2;
    std::vector<std::string> args(argv + 1, argv + argc);
    int status = 0;
    struct rusage usage {};
    std::string error;
    if (!Spawn(args, argv[0], status, usage, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double cpu = (double)usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + (double)usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec * 1e-6;
    printf("%d %.6f %.0f\n", status, cpu, (double)usage.ru_maxrss * 1024.0);
    return 0;
}

VELK_BENCH_CHILD("run", RunChild);

}  // namespace

// Runs `args` through the child above, with standard output into
// `outputFile`.
Process RunProcess(const std::vector<std::string>& args, const std::string& outputFile)
{
    Process p;
    std::vector<std::string> through = {SelfPath(), "--child", "run", outputFile};
    through.insert(through.end(), args.begin(), args.end());
    const std::string reportFile = outputFile + ".run";
    int status = 0;
    struct rusage usage {};
    if (!Spawn(through, reportFile, status, usage, p.error)) return p;
    const std::string report = ReadFile(reportFile);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        sscanf(report.c_str(), "%d %lf %lf", &p.status, &p.cpuSeconds, &p.peakBytes) != 3) {
        p.status = -1;
        p.error = "cannot run " + args[0];
        return p;
    }
    p.output = ReadFile(outputFile);
    return p;
}

// velkhost of the same build: <build>/tools/host beside <build>/tests/bench.
std::string VelkhostPath()
{
    const fs::path self = SelfPath();
    return (self.parent_path().parent_path().parent_path() / "tools" / "host" / "velkhost").string();
}

// The entities velkhost's outcome says it opened ("..., N entities in
// model space"), -1 when it says none.
long OpenedEntities(const std::string& output)
{
    const std::string tail = " entities in model space";
    const size_t at = output.find(tail);
    if (at == std::string::npos) return -1;
    size_t from = at;
    while (from > 0 && output[from - 1] >= '0' && output[from - 1] <= '9') --from;
    return from == at ? -1 : std::atol(output.substr(from, at - from).c_str());
}

std::string Describe(const Process& p, const char* who)
{
    if (!p.error.empty()) return p.error;
    if (!WIFEXITED(p.status)) return std::string(who) + " did not exit (status " + std::to_string(p.status) + ")";
    if (WEXITSTATUS(p.status) != 0) return std::string(who) + " exited " + std::to_string(WEXITSTATUS(p.status));
    return std::string();
}

namespace {

// Peak resident memory of velkhost per byte of the file it opens.
constexpr double kPeakBytesPerFileByte = 9;

// The child the reference runs: dxflib reads the file and the count of
// its entities outside blocks is printed.
int DxflibReadChild(int argc, char** argv)
{
    if (argc != 1) return 2;
    std::ifstream in(argv[0], std::ios::binary);
    if (!in) return 1;
    printf("%zu\n", DxflibEntityCount(in));
    return 0;
}

VELK_BENCH_CHILD("dxflib-read", DxflibReadChild);

// The file of the rows, for a profile of velkhost opening it by hand:
// `velk_bench --child ezdxf-file COUNT FILE`.
int EzdxfFileChild(int argc, char** argv)
{
    if (argc != 2) return 2;
    std::string error;
    const std::string bytes = OtherProgramsFile(std::atoi(argv[0]), error);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!error.empty() || !out.flush()) {
        fprintf(stderr, "velk_bench: %s\n", error.empty() ? "cannot write the file" : error.c_str());
        return 1;
    }
    return 0;
}

VELK_BENCH_CHILD("ezdxf-file", EzdxfFileChild);

struct Runs {
    std::string folder;  // removed with the runs
    std::string file, saved, output;
    double fileBytes = 0;
    int count = 0;
    bool save = false;
    Process host, reference;
    double peak = 0;  // the largest of velkhost's runs, bytes
    ~Runs()
    {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

Pair ProcessRow(const Scale& scale, int count, bool save)
{
    Pair pair;
    auto r = std::make_shared<Runs>();
    r->count = scale.Pick(count, 70);
    r->save = save;
    r->file = OtherProgramsFileIn("velk-bench-process", r->count, r->folder, pair.error);
    if (r->file.empty()) return pair;
    r->saved = r->folder + "/saved.dxf";
    r->output = r->folder + "/output.txt";
    std::error_code ec;
    r->fileBytes = (double)fs::file_size(r->file, ec);
    const std::string host = VelkhostPath();
    if (access(host.c_str(), X_OK) != 0) {
        pair.error = "no velkhost at " + host;
        return pair;
    }
    std::vector<std::string> hostArgs = {host, "--quiet", "--drawing", r->file};
    if (save) hostArgs.insert(hostArgs.end(), {"--save", r->saved});
    const std::vector<std::string> referenceArgs = {SelfPath(), "--child", "dxflib-read", r->file};
    pair.timedModule = [r, hostArgs]() {
        std::error_code ec;
        fs::remove(r->saved, ec);
        r->host = RunProcess(hostArgs, r->output);
        if (r->host.peakBytes > r->peak) r->peak = r->host.peakBytes;
        return r->host.cpuSeconds;
    };
    pair.timedReference = [r, referenceArgs]() {
        r->reference = RunProcess(referenceArgs, r->output);
        return r->reference.cpuSeconds;
    };
    pair.check = [r]() {
        std::string d = Describe(r->host, "velkhost");
        if (!d.empty()) return d + ": " + r->host.output;
        d = Describe(r->reference, "dxflib's process");
        if (!d.empty()) return d;
        const long opened = OpenedEntities(r->host.output), read = std::atol(r->reference.output.c_str());
        if (opened != r->count) return "velkhost opened " + std::to_string(opened) + " of " + std::to_string(r->count);
        if (read != r->count) return "dxflib read " + std::to_string(read) + " of " + std::to_string(r->count);
        std::error_code ec;
        if (r->save && fs::file_size(r->saved, ec) < (uintmax_t)(r->fileBytes / 2)) return std::string("nothing was saved");
        return std::string();
    };
    // A tiny file's bytes are nothing beside the process's own: the smoke
    // run judges no memory.
    const bool judged = !scale.smoke;
    pair.note = [r, judged]() {
        const double perByte = r->peak / r->fileBytes;
        char line[240];
        snprintf(line, sizeof line, "%s a file of %.1f MB: velkhost's peak resident memory %.2f bytes a byte of the file (target <= %.0f: %s)",
                 r->save ? "opening and saving" : "opening", r->fileBytes / 1048576.0, perByte, kPeakBytesPerFileByte,
                 !judged ? "-" : perByte <= kPeakBytesPerFileByte ? "ok" : "MISSED");
        return std::string(line);
    };
    return pair;
}

Pair Open100k(const Scale& scale) { return ProcessRow(scale, 100000, false); }
Pair OpenSave100k(const Scale& scale) { return ProcessRow(scale, 100000, true); }
Pair Open1M(const Scale& scale) { return ProcessRow(scale, 1000000, false); }
Pair OpenSave1M(const Scale& scale) { return ProcessRow(scale, 1000000, true); }

}  // namespace

VELK_BENCH_ROWS({
    {"drawing files", "velkhost process: opening ezdxf's 100,000", "a dxflib process reading it", 1.3, 7,
     Open100k},
    {"drawing files", "velkhost process: opening, saving 100,000", "a dxflib process reading it", 1.9, 7,
     OpenSave100k},
    {"drawing files", "velkhost process: opening ezdxf's 1,000,000", "a dxflib process reading it", 1.3, 5,
     Open1M},
    {"drawing files", "velkhost process: opening, saving 1,000,000", "a dxflib process reading it", 1.7, 5,
     OpenSave1M},
});

}  // namespace velkbench
