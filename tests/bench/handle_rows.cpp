// Handles a file may give its records: each row opens a file of POINTs
// whose handles follow one pattern a hostile or an odd writer may choose
// (multiples of a power of two, which share their low bits; one high
// handle first; falling; random), against the same POINTs under handles
// in a run, in the same run. A ratio near 1 says the pattern costs what a
// run costs; the row of twice as many POINTs says that it grows linearly.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_drawing.h"
#include "bench_rows.h"
#include "dxf_control.h"
#include "oddbdatabase.h"

namespace velkbench {

namespace {

enum class Handles { kRun, kPowerOfTwo, kHighFirst, kFalling, kRandom };

// The handle of the i-th of `count` POINTs; `seed` is the first handle the
// file leaves free, `shift` the power of two of kPowerOfTwo.
uint64_t HandleOf(Handles pattern, int i, int count, uint64_t seed, int shift)
{
    const uint64_t top = uint64_t(1) << 59;
    switch (pattern) {
    case Handles::kPowerOfTwo: return (uint64_t)(i + 1) << shift;
    case Handles::kHighFirst: return i == 0 ? top + 1 : seed + (uint64_t)i;
    case Handles::kFalling: return seed + (uint64_t)(count - i);
    // An odd multiplier takes each number below 2^59 to another.
    case Handles::kRandom: return top | (((uint64_t)i + 1) * 0x9E3779B97F4A7C15ull & (top - 1));
    default: return seed + (uint64_t)i;
    }
}

struct PointFiles {
    int count = 0;
    std::string pattern, run;
    std::unique_ptr<OdDbDatabase> drawing, reference;
    size_t moduleResult = 0, referenceResult = 0;
};

Pair PatternRow(const Scale& scale, int full, Handles pattern, int shift = 0)
{
    Pair pair;
    auto f = std::make_shared<PointFiles>();
    f->count = scale.Pick(full, 300);
    f->pattern = PointsFile(
        f->count, [&](int i, uint64_t seed) { return HandleOf(pattern, i, f->count, seed, shift); }, pair.error);
    if (pair.error.empty()) f->run = PointsFile(
        f->count, [&](int i, uint64_t seed) { return HandleOf(Handles::kRun, i, f->count, seed, 0); }, pair.error);
    if (!pair.error.empty()) return pair;
    auto open = [](std::unique_ptr<OdDbDatabase>& db, const std::string& bytes) {
        db = std::make_unique<OdDbDatabase>(false);
        standin::ReadDxfBytes(db.get(), bytes);
        return ModelSpaceCount(db.get());
    };
    pair.prepare = [f]() { f->drawing.reset(); };
    pair.prepareReference = [f]() { f->reference.reset(); };
    pair.module = [f, open]() { f->moduleResult = open(f->drawing, f->pattern); };
    pair.reference = [f, open]() { f->referenceResult = open(f->reference, f->run); };
    pair.check = [f]() {
        std::string d;
        if (f->moduleResult != (size_t)f->count)
            d += "POINTs read under the pattern: " + std::to_string(f->moduleResult) + " of " + std::to_string(f->count);
        if (f->referenceResult != (size_t)f->count)
            d += "POINTs read under a run: " + std::to_string(f->referenceResult) + " of " + std::to_string(f->count);
        return d;
    };
    return pair;
}

const int kPoints = 131072;

}  // namespace

VELK_BENCH_ROWS({
    {"file handles", "131,072 POINTs, handles multiples of 2^8", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kPowerOfTwo, 8); }},
    {"file handles", "131,072 POINTs, handles multiples of 2^16", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kPowerOfTwo, 16); }},
    {"file handles", "131,072 POINTs, handles multiples of 2^32", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kPowerOfTwo, 32); }},
    {"file handles", "131,072 POINTs, handles multiples of 2^40", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kPowerOfTwo, 40); }},
    {"file handles", "262,144 POINTs, handles multiples of 2^16", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, 2 * kPoints, Handles::kPowerOfTwo, 16); }},
    {"file handles", "131,072 POINTs, one high handle first", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kHighFirst); }},
    {"file handles", "131,072 POINTs, handles falling", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kFalling); }},
    {"file handles", "131,072 POINTs, random handles", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, kPoints, Handles::kRandom); }},
    {"file handles", "262,144 POINTs, random handles", "handles in a run", 1.5, 9,
     [](const Scale& s) { return PatternRow(s, 2 * kPoints, Handles::kRandom); }},
});

}  // namespace velkbench
