// Handles of records the database does not keep (a polyline's vertices
// and its end), which the writer gives back as the file gave them and
// holds in a set of the save's handles: the row opens and saves polylines
// whose vertex and SEQEND handles are multiples of the bucket count the
// standard hashed set of that many handles has (the identity hash put them
// all in one bucket), against the same polylines with those handles in a
// run, in the same run. A ratio near 1 says the chosen handles cost what a
// run costs.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "dxf_control.h"
#include "oddbdatabase.h"

namespace velkbench {

namespace {

const int kRecords = 4;  // three vertices and the end

std::string PolylinesFile(int count, uint64_t step, std::string& error)
{
    OdDbDatabase db(true);
    size_t at = 0;
    std::string text = FileAround(db, (size_t)count * 420, at, error);
    if (!error.empty()) return std::string();
    const unsigned long long owner = (unsigned long long)db.getModelSpaceId().getHandle();
    const uint64_t seed = (uint64_t)db.handseed() + 0x100;
    const uint64_t run = seed + (uint64_t)count;
    std::string out;
    out.reserve((size_t)count * 420);
    char line[300];
    for (int i = 0; i < count; ++i) {
        snprintf(line, sizeof line,
                 "  0\nPOLYLINE\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n0\n100\nAcDb2dPolyline\n 66\n1\n"
                 " 10\n0.0\n 20\n0.0\n 30\n0.0\n",
                 (unsigned long long)(seed + (uint64_t)i), owner);
        out += line;
        for (int r = 0; r < kRecords; ++r) {
            const uint64_t n = (uint64_t)i * kRecords + (uint64_t)r + 1;
            const unsigned long long h = step ? n * step : run + n;
            if (r + 1 < kRecords)
                snprintf(line, sizeof line,
                         "  0\nVERTEX\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n0\n100\nAcDbVertex\n100\n"
                         "AcDb2dVertex\n 10\n%d.5\n 20\n%d.25\n 30\n0.0\n",
                         h, (unsigned long long)(seed + (uint64_t)i), r, i % 1000);
            else
                snprintf(line, sizeof line, "  0\nSEQEND\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n0\n", h,
                         (unsigned long long)(seed + (uint64_t)i));
            out += line;
        }
    }
    text.insert(at, out);
    return text;
}

struct PolylineFiles {
    int count = 0;
    std::string chosen, run;
    size_t chosenSaved = 0, runSaved = 0;
};

Pair WriterBucketsRow(const Scale& scale, int full)
{
    Pair pair;
    auto f = std::make_shared<PolylineFiles>();
    f->count = scale.Pick(full, 200);
    // The bucket count of the standard set once it holds them all.
    std::unordered_set<uint64_t> standard;
    for (int i = 0; i < f->count * kRecords; ++i) standard.insert((uint64_t)i + 1);
    f->chosen = PolylinesFile(f->count, standard.bucket_count(), pair.error);
    if (pair.error.empty()) f->run = PolylinesFile(f->count, 0, pair.error);
    if (!pair.error.empty()) return pair;
    auto openAndSave = [](const std::string& bytes) {
        OdDbDatabase db(false);
        standin::ReadDxfBytes(&db, bytes);
        std::string saved;
        standin::WriteDxfBytes(&db, saved);
        return saved.size();
    };
    pair.module = [f, openAndSave]() { f->chosenSaved = openAndSave(f->chosen); };
    pair.reference = [f, openAndSave]() { f->runSaved = openAndSave(f->run); };
    pair.check = [f]() {
        // The same records under handles of one length or another.
        std::string d;
        if (f->chosenSaved < f->chosen.size() / 2 || f->runSaved < f->run.size() / 2)
            d = "a save lost the polylines: " + std::to_string(f->chosenSaved) + " and " + std::to_string(f->runSaved) +
                " bytes";
        return d;
    };
    return pair;
}

}  // namespace

VELK_BENCH_ROWS({
    {"file handles", "16,000 polylines, vertex handles on the standard set's buckets, open and save",
     "vertex handles in a run", 1.5, 9, [](const Scale& s) { return WriterBucketsRow(s, 16000); }},
});

}  // namespace velkbench
