// Rows of the benchmark table. A row times one operation of the module next
// to a reference doing the same work in the same process and run: each timed
// pair runs both once, in alternating order, and the row reports the median
// of the pairs' ratios (module time ÷ reference time), which holds up on a
// busy machine far better than two separate timings would.
//
// A row group is one file in this folder that registers its rows with
// VELK_BENCH_ROWS; the benchmark program picks up every file here. Groups so
// far: image_rows.cpp, md5_rows.cpp, exchange_rows.cpp (framing),
// send_rows.cpp (converting entities), drawing_rows.cpp (the receive walk,
// and the large drawing sent and received through the stand-in peer),
// basemap_rows.cpp (the tile ring and level choice, placing tiles),
// host_rows.cpp (scripts of the stand-in host), process_rows.cpp (whole
// processes of the stand-in host against a dxflib process), history_rows.cpp
// (the undo history of a MOVE of a large drawing), handle_rows.cpp (files
// whose handles follow odd patterns against handles in a run),
// handle_process_rows.cpp (whole processes opening such files).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velkbench {

// How large the inputs are: full for `./run bench`, tiny for the smoke run
// in the test suite, which only keeps every row building and running.
struct Scale {
    bool smoke = false;
    // `full` for a real run, `tiny` for the smoke run.
    int Pick(int full, int tiny) const { return smoke ? tiny : full; }
};

// What a row's setup hands back: the two operations, and a check run once
// after one untimed run of each, which says how their results differ (empty
// when they agree). `prepare`, when set, runs untimed before every run of
// the module, for an operation that uses up its input; `prepareReference`
// the same for the reference. `note`, when set, gives a line printed under
// the row once it has run. A failed setup leaves the operations empty and
// says why in `error`. A row whose operations run in other processes sets
// `timedModule` and `timedReference` instead, which do the work and return
// the seconds it took (the children's cpu time).
struct Pair {
    std::function<void()> prepare;
    std::function<void()> prepareReference;
    std::function<std::string()> note;
    std::function<void()> module;
    std::function<void()> reference;
    std::function<std::string()> check;
    std::function<double()> timedModule;
    std::function<double()> timedReference;
    std::string error;
};

struct Row {
    std::string group;      // "image", "md5", ...
    std::string operation;  // what the module does, with the input's size
    std::string reference;  // what it is measured against
    double target = 0;      // the largest ratio wanted; 0 when none is set
    int pairs = 15;         // timed pairs in a full run
    std::function<Pair(const Scale&)> setup;
};

std::vector<Row>& Rows();

// A child the benchmark runs itself as (`velk_bench --child NAME ARGS...`),
// for a reference that has to be a process of its own; it returns the
// exit status.
using Child = int (*)(int argc, char** argv);
std::vector<std::pair<std::string, Child>>& Children();

struct ChildAdder {
    ChildAdder(const char* name, Child child) { Children().emplace_back(name, child); }
};

struct RowAdder {
    explicit RowAdder(std::vector<Row> rows)
    {
        for (Row& r : rows) Rows().push_back(std::move(r));
    }
};

}  // namespace velkbench

#define VELK_BENCH_CONCAT2(a, b) a##b
#define VELK_BENCH_CONCAT(a, b) VELK_BENCH_CONCAT2(a, b)
// VELK_BENCH_ROWS({row, row, ...}); at namespace scope in a row group file.
#define VELK_BENCH_ROWS(...) \
    static const ::velkbench::RowAdder VELK_BENCH_CONCAT(velkBenchRows, __LINE__)(std::vector<::velkbench::Row> __VA_ARGS__)
// VELK_BENCH_CHILD("name", function); at namespace scope.
#define VELK_BENCH_CHILD(name, child) \
    static const ::velkbench::ChildAdder VELK_BENCH_CONCAT(velkBenchChild, __LINE__)(name, child)
