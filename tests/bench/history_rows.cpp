// The undo history of a MOVE of everything in ezdxf's file of 100,000 and
// of 1,000,000 entities: the MOVE command, which keeps its history, against
// the same entities moved one by one (transformBy) with nothing kept. Each
// runs in a child of the benchmark (`velk_bench --child move-history`), so
// that the large drawing's memory is not the benchmark's; the child opens
// the file as the host's OPEN does, times the moving alone by its cpu time
// and, for the command, gives the bytes the history holds: the allocator's
// bytes in use after the MOVE less those once the document's history is
// forgotten. That is the memory the history really takes, the allocator's
// own headers included; a process's peak resident memory cannot tell it,
// as the open's peak (its reading buffers, freed before the MOVE) is above
// what the drawing and its history hold afterwards. A third row runs
// twenty cycles of COPY of every entity and UNDO against one cycle alone,
// each in a child, by the time a cycle takes and the heap's peak above the
// opened drawing.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "hostdb_control.h"
#include "oddbsymboltable.h"
#include "standin_control.h"

namespace fs = std::filesystem;

namespace velkbench {

namespace {

// The history's bytes a moved entity, at most.
constexpr double kHistoryBytesPerEntity = 200;

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

// Opens `file` as the host's OPEN does, in a machine folder of its own
// made from `pattern` (`root`, which the caller removes; empty when none
// was made): the document, null when the open failed, and model space's
// entities in `ids`.
GcApDocument* OpenAlone(const char* file, const char* pattern, std::string& root, OdDbObjectIdArray& ids)
{
    root = (fs::temp_directory_path() / pattern).string();
    if (!mkdtemp(root.data())) {
        root.clear();
        return nullptr;
    }
    standin::ResetMachine(root);
    std::error_code ec;
    fs::copy_file(file, standin::NativePath(L"C:\\drawing.dxf"), ec);
    standin::QueueText(L"C:\\drawing.dxf");
    GcApDocument* doc = nullptr;
    OdDbBlockTableRecord* ms = nullptr;
    if (!ec && standin::InvokeCommand(L"OPEN") && (doc = gcDocManagerPtr()->curDocument()) &&
        oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForRead) == eOk) {
        for (const OdDbObjectId& id : ms->entityIds()) ids.append(id);
        ms->close();
    }
    return doc;
}

// `velk_bench --child move-history FILE command|plain`: opens the file in a
// machine folder of its own and moves every entity of model space by
// 10.5,-3.25, by MOVE or one by one; prints the seconds the moving took,
// the bytes the history holds and the entities moved.
int MoveHistoryChild(int argc, char** argv)
{
    if (argc != 2) return 2;
    const bool command = strcmp(argv[1], "command") == 0;
    std::string root;
    OdDbObjectIdArray ids;
    GcApDocument* doc = OpenAlone(argv[0], "velk-bench-history-XXXXXX", root, ids);
    if (root.empty()) return 1;
    std::error_code ec;
    const OdGeVector3d by(10.5, -3.25, 0);
    size_t moved = 0;
    double seconds = 0, history = 0;
    if (command) {
        standin::QueueSelection(ids);
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(by.x, by.y, by.z));
        const double start = CpuSeconds();
        standin::InvokeCommand(L"MOVE");
        seconds = CpuSeconds() - start;
        if (doc && standin::LastCommandOutcome() == standin::CommandOutcome::kEnded && standin::UndoDepth(doc) == 1)
            moved = (size_t)ids.length();
        const double kept = standin::HeapBytesInUse();
        if (doc) standin::ForgetDocumentHistory(doc);
        history = kept - standin::HeapBytesInUse();
    } else {
        const double start = CpuSeconds();
        for (const OdDbObjectId& id : ids) {
            OdDbEntity* e = nullptr;
            if (oddbOpenOdDbEntity(e, id, OdDb::kForWrite) != eOk) continue;
            moved += e->transformBy(OdGeMatrix3d::translation(by)) == eOk;
            e->close();
        }
        seconds = CpuSeconds() - start;
    }
    printf("%.6f %.0f %zu\n", seconds, history, moved);
    fflush(stdout);
    fs::remove_all(root, ec);
    // The drawing is not taken down piece by piece: the process ends.
    _exit(0);
}

VELK_BENCH_CHILD("move-history", MoveHistoryChild);

struct Moves {
    std::string folder, file, output;
    int count = 0;
    std::string error;
    double history = -1;  // bytes, of the last MOVE
    size_t moved[2] = {0, 0};
    ~Moves()
    {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
    // Runs the child; its seconds, or 0 when it failed (said in `error`).
    double Run(bool command)
    {
        const std::string out = output + (command ? ".command" : ".plain");
        const std::string line = "'" + SelfPath() + "' --child move-history '" + file + "' " +
                                 (command ? "command" : "plain") + " > '" + out + "'";
        double seconds = 0, bytes = 0;
        size_t n = 0;
        std::ifstream in;
        if (std::system(line.c_str()) != 0 || (in.open(out), !(in >> seconds >> bytes >> n))) {
            error = "the child moving the drawing failed";
            return 0;
        }
        moved[command] = n;
        if (command) history = bytes;
        return seconds;
    }
};

Pair HistoryRow(const Scale& scale, int count)
{
    Pair pair;
    auto m = std::make_shared<Moves>();
    m->count = scale.Pick(count, 70);
    m->file = OtherProgramsFileIn("velk-bench-moves", m->count, m->folder, pair.error);
    if (m->file.empty()) return pair;
    m->output = m->folder + "/output";
    pair.timedModule = [m]() { return m->Run(true); };
    pair.timedReference = [m]() { return m->Run(false); };
    pair.check = [m]() {
        if (!m->error.empty()) return m->error;
        for (const size_t n : m->moved)
            if (n != (size_t)m->count)
                return "moved " + std::to_string(n) + " of " + std::to_string(m->count) + " entities";
        return std::string();
    };
    const bool judged = !scale.smoke;
    pair.note = [m, judged]() {
        const double perEntity = m->history / m->count;
        char line[200];
        snprintf(line, sizeof line,
                 "the history of a MOVE of %d entities: %.0f bytes an entity (target <= %.0f: %s)", m->count,
                 perEntity, kHistoryBytesPerEntity,
                 !judged ? "-" : perEntity <= kHistoryBytesPerEntity ? "ok" : "MISSED");
        return std::string(line);
    };
    return pair;
}

Pair History100k(const Scale& scale) { return HistoryRow(scale, 100000); }
Pair History1M(const Scale& scale) { return HistoryRow(scale, 1000000); }

// `velk_bench --child copy-undo FILE CYCLES`: opens the file as the host's
// OPEN does, then CYCLES times copies every entity of model space by COPY
// and takes the copy back by UNDO; prints the cpu seconds of the cycles,
// the most heap in use above the opened drawing's after any COPY, and
// whether every cycle ended as it should.
int CopyUndoChild(int argc, char** argv)
{
    if (argc != 2) return 2;
    const int cycles = atoi(argv[1]);
    std::string root;
    OdDbObjectIdArray ids;
    GcApDocument* doc = OpenAlone(argv[0], "velk-bench-copy-undo-XXXXXX", root, ids);
    if (root.empty()) return 1;
    std::error_code ec;
    bool ok = doc && !ids.isEmpty();
    const double base = standin::HeapBytesInUse();
    double peak = 0;
    const double start = CpuSeconds();
    for (int i = 0; ok && i < cycles; ++i) {
        standin::QueueSelection(ids);
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(10.5, -3.25, 0));
        standin::QueueEnter();
        standin::InvokeCommand(L"COPY");
        ok = standin::LastCommandOutcome() == standin::CommandOutcome::kEnded && standin::UndoDepth(doc) == 1;
        peak = std::max(peak, standin::HeapBytesInUse() - base);
        standin::InvokeCommand(L"UNDO");
        ok = ok && standin::UndoDepth(doc) == 0 && standin::UndoDepth(doc, true) == 1;
    }
    const double seconds = CpuSeconds() - start;
    printf("%.6f %.0f %d\n", seconds, peak, ok ? 1 : 0);
    fflush(stdout);
    fs::remove_all(root, ec);
    _exit(0);
}

VELK_BENCH_CHILD("copy-undo", CopyUndoChild);

// Twenty cycles of COPY of every entity and UNDO, each cycle's time against
// one cycle alone: a COPY drops the copy the UNDO before it took back, so
// no cycle costs more than the one before, and the heap's peak does not
// grow with the cycles (its note, target 1.2). A cycle after the first
// also frees the objects of the copy it drops, which the first has not
// to do: the time's target is 1.4.
Pair CopyUndoCycles(const Scale& scale)
{
    constexpr int kCycles = 20;
    struct Cycles {
        std::string folder, file, output, error;
        int count = 0;
        double peak[2] = {-1, -1};  // one cycle, twenty
        ~Cycles()
        {
            std::error_code ec;
            if (!folder.empty()) fs::remove_all(folder, ec);
        }
        double Run(int cycles)
        {
            const std::string out = output + "." + std::to_string(cycles);
            const std::string line = "'" + SelfPath() + "' --child copy-undo '" + file + "' " +
                                     std::to_string(cycles) + " > '" + out + "'";
            double seconds = 0, bytes = 0;
            int ok = 0;
            std::ifstream in;
            if (std::system(line.c_str()) != 0 || (in.open(out), !(in >> seconds >> bytes >> ok)) || !ok) {
                error = "the child copying and undoing failed";
                return 0;
            }
            peak[cycles > 1] = bytes;
            return cycles > 1 ? seconds / cycles : seconds;
        }
    };
    Pair pair;
    auto c = std::make_shared<Cycles>();
    c->count = scale.Pick(100000, 70);
    c->file = OtherProgramsFileIn("velk-bench-copy-undo", c->count, c->folder, pair.error);
    if (c->file.empty()) return pair;
    c->output = c->folder + "/output";
    pair.timedModule = [c]() { return c->Run(kCycles); };
    pair.timedReference = [c]() { return c->Run(1); };
    pair.check = [c]() { return c->error; };
    const bool judged = !scale.smoke;
    pair.note = [c, judged]() {
        const double ratio = c->peak[0] > 0 ? c->peak[1] / c->peak[0] : 0;
        char line[200];
        snprintf(line, sizeof line,
                 "COPY+UNDO of %d entities: heap peak above the drawing %.0f MB in %d cycles, %.0f MB in one: "
                 "%.2f (target <= 1.2: %s)",
                 c->count, c->peak[1] / 1048576.0, kCycles, c->peak[0] / 1048576.0, ratio,
                 !judged ? "-" : ratio <= 1.2 ? "ok" : "MISSED");
        return std::string(line);
    };
    return pair;
}

}  // namespace

VELK_BENCH_ROWS({
    {"undo history", "MOVE of ezdxf's 100,000, history kept", "the same moves, nothing kept", 0, 5, History100k},
    {"undo history", "MOVE of ezdxf's 1,000,000, history kept", "the same moves, nothing kept", 0, 3, History1M},
    {"undo history", "COPY+UNDO of ezdxf's 100,000, a cycle of twenty", "one cycle alone", 1.4, 3, CopyUndoCycles},
});

}  // namespace velkbench
