// The round-trip corpus: drawings ezdxf makes at test time
// (data/make_corpus.py: every form from R12 to R2018, every entity and table
// kind, the hard cases) are opened and saved by the stand-in host in plain
// mode (velkhost: open, load the module, save, nothing added), and ezdxf
// (data/dxf_compare.py) finds nothing of them lost in what was saved and no
// audit error in it; what was saved, opened and saved again, twice, is the
// same file. Dimensions without graphics and leaders are pictured with
// nothing left out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "dxf_test_support.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Runs a command and gives what it printed; false when it failed.
bool RunCommand(const std::string& cmd, std::string& out)
{
    out.clear();
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// The step the corpus checks: the drawing opened and saved by the stand-in
// host in plain mode, as a user runs it on a drawing of their own.
bool OpenAndSave(const std::string& in, const std::string& out, std::string& error)
{
    return RunCommand("'" VELKHOST_PROGRAM "' --quiet --module '" VELKGRX_MODULE "' --drawing '" + in + "' --save '" +
                          out + "'",
                      error);
}

}  // namespace

TEST(DxfCorpus, EzdxfFindsNothingLostInWhatTheHostSaved)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path folder = fs::path(VELK_BINARY_DIR) / "dxf_corpus";
    std::error_code ec;
    fs::remove_all(folder, ec);
    std::string made;
    ASSERT_TRUE(RunCommand("/usr/bin/python3 '" VELK_TEST_DATA_DIR "/make_corpus.py' '" + folder.string() + "'", made))
        << made;
    std::vector<std::string> files = Lines(made);
    ASSERT_GE(files.size(), 15u);
    // velkhost saves only into folders that exist.
    for (const char* saved : {"saved", "saved2", "saved3"}) fs::create_directories(folder / saved);
    std::string pairs;
    for (const std::string& in : files) {
        const fs::path name = fs::path(in).filename();
        const std::string out = (folder / "saved" / name).string();
        std::string error;
        EXPECT_TRUE(OpenAndSave(in, out, error)) << in << ": " << error;
        pairs += " '" + in + "' '" + out + "'";
        // The saved file opened and saved again, and that save once more,
        // are the saved file byte for byte.
        const std::string saved = velktest::ReadNativeFile(out);
        std::string previous = out;
        for (const char* again : {"saved2", "saved3"}) {
            if (saved.empty()) break;
            const std::string next = (folder / again / name).string();
            if (!OpenAndSave(previous, next, error)) {
                ADD_FAILURE() << next << ": " << error;
                break;
            }
            const std::string bytes = velktest::ReadNativeFile(next);
            EXPECT_TRUE(bytes == saved) << next << ": " << dxftest::FirstDifferingLine(saved, bytes);
            previous = next;
        }
    }
    // Dimensions without graphics and leaders, as ezdxf writes them, are
    // each drawn from their points: nothing of them is left out.
    for (const std::string& in : files) {
        if (fs::path(in).filename().string().rfind("blockless_", 0) != 0) continue;
        std::string out;
        const std::string png = (folder / "saved" / fs::path(in).filename()).replace_extension(".png").string();
        EXPECT_TRUE(RunCommand("'" VELKHOST_PROGRAM "' --quiet --drawing '" + in + "' --png '" + png + "'", out))
            << in << ": " << out;
        EXPECT_NE(out.find("picture of model space: " + png + " ("), std::string::npos) << out;
        EXPECT_EQ(out.find("not drawn"), std::string::npos) << out;
        // The blocks the save gives them are listed in the order they were
        // made, whatever the dimensions' places in memory.
        const std::string saved = velktest::ReadNativeFile((folder / "saved" / fs::path(in).filename()).string());
        size_t previous = 0;
        int made = 0;
        for (size_t at; (at = saved.find("\n*D" + std::to_string(made + 1) + "\r\n")) != std::string::npos; ++made) {
            EXPECT_GT(at, previous) << in << ": *D" << made + 1 << " is listed before *D" << made;
            previous = at;
        }
        EXPECT_GE(made, 2) << in;
    }
    std::string report;
    bool same = RunCommand("/usr/bin/python3 '" VELK_TEST_DATA_DIR "/dxf_compare.py'" + pairs, report);
    EXPECT_TRUE(same) << report;
    std::vector<std::string> lines = Lines(report);
    for (const std::string& in : files)
        EXPECT_NE(std::find(lines.begin(), lines.end(), "ok " + fs::path(in).filename().string()), lines.end())
            << in;
}
