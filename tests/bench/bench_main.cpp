// The benchmark program: every row of every row group as one Google
// Benchmark, timed in alternating pairs, and one table of the ratios at the
// end. `--smoke` runs each row on tiny inputs for two pairs and still runs
// the rows' checks (the test suite does this under the sanitizers).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_rows.h"

namespace velkbench {

std::vector<Row>& Rows()
{
    static std::vector<Row> rows;
    return rows;
}

std::vector<std::pair<std::string, Child>>& Children()
{
    static std::vector<std::pair<std::string, Child>> children;
    return children;
}

namespace {

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string BenchmarkName(const Row& row) { return row.group + ": " + row.operation + " / " + row.reference; }

// Lines printed under rows, by benchmark name.
std::map<std::string, std::string>& Notes()
{
    static std::map<std::string, std::string> notes;
    return notes;
}

double Seconds(const std::function<void()>& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunRow(benchmark::State& state, const Row& row, const Scale& scale)
{
    Pair pair = row.setup(scale);
    if (!pair.error.empty()) {
        state.SkipWithError(pair.error.c_str());
        return;
    }
    auto timeModule = [&pair]() {
        if (pair.prepare) pair.prepare();
        return pair.timedModule ? pair.timedModule() : Seconds(pair.module);
    };
    auto timeReference = [&pair]() {
        if (pair.prepareReference) pair.prepareReference();
        return pair.timedReference ? pair.timedReference() : Seconds(pair.reference);
    };
    // One untimed run of each warms caches and allocators, and gives the
    // results the check compares.
    timeModule();
    timeReference();
    if (pair.check) {
        const std::string difference = pair.check();
        if (!difference.empty()) {
            state.SkipWithError(("results differ: " + difference).c_str());
            return;
        }
    }
    std::vector<double> moduleTimes, referenceTimes, ratios;
    bool moduleFirst = true;
    for (auto _ : state) {
        double m, r;
        if (moduleFirst) {
            m = timeModule();
            r = timeReference();
        } else {
            r = timeReference();
            m = timeModule();
        }
        moduleFirst = !moduleFirst;
        state.SetIterationTime(m);
        moduleTimes.push_back(m);
        referenceTimes.push_back(r);
        ratios.push_back(r > 0 ? m / r : 0);
    }
    state.counters["module_ms"] = Median(moduleTimes) * 1e3;
    state.counters["reference_ms"] = Median(referenceTimes) * 1e3;
    state.counters["ratio"] = Median(ratios);
    state.counters["target"] = row.target;
    if (pair.note) Notes()[BenchmarkName(row)] = pair.note();
}

std::string Fit(std::string s, size_t width)
{
    // Widths count characters, not bytes: "×" and "²" are two bytes each.
    size_t chars = 0;
    for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
    if (chars < width) s.append(width - chars, ' ');
    return s;
}

// Prints the table once every row has run; rows that failed say why.
class TableReporter : public benchmark::BenchmarkReporter {
public:
    TableReporter(const std::vector<const Row*>& rows, bool smoke) : rows_(rows), smoke_(smoke) {}

    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                failed_[name] = run.error_message;
                fprintf(stderr, "%s: %s\n", name.c_str(), run.error_message.c_str());
                continue;
            }
            auto value = [&](const char* key) {
                auto it = run.counters.find(key);
                return it == run.counters.end() ? 0.0 : (double)it->second;
            };
            results_[name] = Result{value("module_ms"), value("reference_ms"), value("ratio"), (long)run.iterations};
            fprintf(stderr, "  %-100s %8.3f ms %8.3f ms  %.2f\n", name.c_str(), value("module_ms"),
                    value("reference_ms"), value("ratio"));
        }
    }

    void Finalize() override
    {
        std::string out;
        char line[512];
        if (smoke_) out += "\nSmoke run: tiny inputs and two pairs a row; the figures mean nothing.\n";
        out += "\n" + Fit("operation", 50) + Fit("reference", 40) + "  module ms   ref ms  pairs  ratio  target\n";
        out += std::string(50 + 40 + 46, '-') + "\n";
        for (const Row* row : rows_) {
            const std::string name = BenchmarkName(*row);
            auto f = failed_.find(name);
            if (f != failed_.end()) {
                out += Fit(row->operation, 50) + Fit(row->reference, 40) + "  FAILED: " + f->second + "\n";
                continue;
            }
            auto r = results_.find(name);
            if (r == results_.end()) continue;  // filtered out
            const Result& x = r->second;
            std::string target = "     -";
            if (row->target > 0 && !smoke_) {
                snprintf(line, sizeof line, "≤ %.2f %s", row->target, x.ratio <= row->target ? "ok" : "MISSED");
                target = line;
            }
            snprintf(line, sizeof line, "  %9.3f %8.3f %6ld %6.2f  %s\n", x.moduleMs, x.referenceMs, x.pairs, x.ratio,
                     target.c_str());
            out += Fit(row->operation, 50) + Fit(row->reference, 40) + line;
            auto note = Notes().find(name);
            if (note != Notes().end() && !note->second.empty()) out += "    " + note->second + "\n";
        }
        fputs(out.c_str(), stdout);
        fflush(stdout);
    }

    bool AnyFailed() const { return !failed_.empty(); }

private:
    struct Result {
        double moduleMs, referenceMs, ratio;
        long pairs;
    };
    std::vector<const Row*> rows_;
    bool smoke_;
    std::map<std::string, Result> results_;
    std::map<std::string, std::string> failed_;
};

// The image library first, then the base library, then the module's own
// paths in name order.
int GroupRank(const std::string& group)
{
    static const char* const kOrder[] = {"image", "md5"};
    for (int i = 0; i < 2; ++i)
        if (group == kOrder[i]) return i;
    return 2;
}

}  // namespace
}  // namespace velkbench

int main(int argc, char** argv)
{
    using namespace velkbench;
    if (argc >= 3 && strcmp(argv[1], "--child") == 0) {
        for (const auto& [name, child] : Children())
            if (name == argv[2]) return child(argc - 3, argv + 3);
        fprintf(stderr, "velk_bench: no child %s\n", argv[2]);
        return 2;
    }
    Scale scale;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--smoke") == 0) scale.smoke = true;
        else args.push_back(argv[i]);
    }
    int count = (int)args.size();
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    std::vector<const Row*> rows;
    for (const Row& row : Rows()) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const Row* a, const Row* b) {
        const int ra = GroupRank(a->group), rb = GroupRank(b->group);
        return ra != rb ? ra < rb : (ra == 2 && a->group < b->group);
    });
    for (const Row* row : rows) {
        benchmark::RegisterBenchmark(BenchmarkName(*row).c_str(),
                                     [row, scale](benchmark::State& state) { RunRow(state, *row, scale); })
            ->Iterations(scale.smoke ? 2 : row->pairs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    TableReporter table(rows, scale.smoke);
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return table.AnyFailed() ? 1 : 0;
}
