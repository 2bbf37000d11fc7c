// Scripts of the stand-in host: one script of 10,000 commands run in a new
// drawing, against ten scripts of 1,000 each run in a new drawing of its own,
// so that the ratio is the time per command of a long script over that of a
// short one: near 1 while a command costs the same however large the drawing
// it runs in has grown. A command of the long script runs the same
// instructions as one of a short script; what the long one loses is the
// allocator's and the caches' work on a heap ten times the size, hence
// the target of 1.3, where a cost that grows with the drawing gives 5 to 10.
#include <sstream>
#include <string>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "host_script.h"
#include "host_session.h"
#include "oddbsymboltable.h"

namespace velkbench {

namespace {

// Blocks of eight commands: four lines, one moved, one erased and brought
// back by UNDO, one copied; each picked with the script's selection.
std::string EditingScript(int commands)
{
    std::ostringstream s;
    for (int block = 0; block < commands / 8; ++block) {
        const int x = (block % 100) * 20, y = (block / 100) * 10;
        auto line = [&](int dx) { s << "LINE\n" << x + dx << "," << y << "\n" << x + dx + 3 << "," << y + 3 << "\n\n"; };
        line(0);
        s << "MOVE\n> select last\n0,0\n1,1\n";
        line(5);
        s << "ERASE\n> select last\nUNDO\n";
        line(10);
        s << "COPY\n> select last\n0,0\n0,5\n\n";
        line(15);
    }
    s << "> show added\n";
    return s.str();
}

size_t LiveModelSpaceCount()
{
    OdDbDatabase* db = velkhost::CurrentDrawing();
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return 0;
    size_t n = 0;
    for (const OdDbObjectId& id : ms->entityIds()) n += !id.isErased();
    ms->close();
    return n;
}

// One run as velkhost makes it, quiet, on a clear command line in the new
// drawing, which is closed at the end (a new one takes its place); the
// entities it held, 0 when the script failed.
size_t RunScript(const std::string& text)
{
    standin::ClearCommandLine();
    std::ostringstream out;
    velkhost::Options options;
    velkhost::Transcript log(out, true);
    velkhost::Session session(options, log);
    velkhost::ScriptRunner runner(session);
    const size_t entities = runner.Run(text, "bench.scr") ? LiveModelSpaceCount() : 0;
    FreshDrawing();
    return entities;
}

struct Scripts {
    int parts = 10;
    std::string whole, part;
    size_t moduleResult = 0, referenceResult = 0;
};

Pair ScriptGrowthRow(const Scale& scale)
{
    Pair pair;
    FreshSite();
    if (!Site().error.empty()) {
        pair.error = Site().error;
        return pair;
    }
    auto s = std::make_shared<Scripts>();
    const int commands = scale.Pick(10000, 80);
    s->whole = EditingScript(commands);
    s->part = EditingScript(commands / s->parts);
    pair.module = [s]() { s->moduleResult = RunScript(s->whole); };
    pair.reference = [s]() {
        s->referenceResult = 0;
        for (int i = 0; i < s->parts; ++i) s->referenceResult += RunScript(s->part);
    };
    pair.check = [s]() {
        if (s->moduleResult == 0 || s->referenceResult == 0) return std::string("a script failed");
        if (s->moduleResult != s->referenceResult)
            return "entities left: " + std::to_string(s->referenceResult) + " of ten scripts, " +
                   std::to_string(s->moduleResult) + " of one";
        return std::string();
    };
    return pair;
}

}  // namespace

VELK_BENCH_ROWS({
    {"stand-in host", "a script of 10,000 drawing and editing commands", "ten scripts of 1,000", 1.3, 7,
     ScriptGrowthRow},
});

}  // namespace velkbench
