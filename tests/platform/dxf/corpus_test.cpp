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
// host in plain mode, as a user runs it on a drawing of their own; with a
// script, that run between.
bool OpenAndSave(const std::string& in, const std::string& out, std::string& error,
                 const std::string& script = std::string())
{
    return RunCommand("'" VELKHOST_PROGRAM "' --quiet --module '" VELKGRX_MODULE "' --drawing '" + in + "' --save '" +
                          out + "'" + (script.empty() ? std::string() : " --script '" + script + "'"),
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

// Files ezdxf reads that name records as the writer never does: a reference
// that says attributes follow and has none (its lone sequence end); a
// layer with the handle of a block record that a layout names; a line with
// the handle of the layout "Model", which model space names; a text in
// columns, copied alone and with its columns. ezdxf reads each save
// strictly and its audit finds no error, a second save is the first, and
// the open says what became of each record.
TEST(DxfCorpus, SavesOfSpellingsEzdxfReadsAreReadByItToo)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path data = fs::path(VELK_TEST_DATA_DIR) / "others_read";
    const fs::path folder = fs::path(VELK_BINARY_DIR) / "dxf_others_read";
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder / "again");
    const std::string all = (folder / "all.scr").string(), one = (folder / "one.scr").string();
    velktest::WriteNativeFile(all, "COPY\n> select all\n0,0\n0,30\n\n");
    velktest::WriteNativeFile(one, "COPY\n> select handle 30\n0,0\n0,30\n\n");
    const struct {
        const char* file;
        std::string script;
        const char* said;  // in the open's outcome
    } cases[] = {
        {"insert_says_attributes_follow_and_has_none.dxf", {},
         "1 record of the file not read: SEQEND at line 311: the end of a sequence of attributes after a reference "
         "without any"},
        {"layer_with_a_block_records_handle.dxf", {},
         "1 record of the file read under new handles: LAYER at line 31: its handle 1B is also the BLOCK_RECORD's at "
         "line 105, which the records naming it refer to; it has handle 69 instead"},
        {"line_with_the_model_layouts_handle.dxf", {},
         "1 record of the file read under new handles: LINE at line 213: its handle 1A is also the LAYOUT's at line "
         "275, which the records naming it refer to; it has handle 6C instead"},
        {"text_in_columns.dxf", all, ", 3 entities in model space\n"},
        {"text_in_columns.dxf", one, ", 3 entities in model space\n"},
    };
    std::string saves;
    for (const auto& c : cases) {
        const std::string in = (data / c.file).string();
        const std::string out = (folder / (std::to_string(&c - cases) + "-" + c.file)).string();
        std::string said, again;
        EXPECT_TRUE(OpenAndSave(in, out, said, c.script)) << in << ": " << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        saves += " '" + out + "'";
        const std::string next = (folder / "again" / fs::path(out).filename()).string();
        EXPECT_TRUE(OpenAndSave(out, next, again)) << out << ": " << again;
        EXPECT_EQ(velktest::ReadNativeFile(next), velktest::ReadNativeFile(out)) << out;
    }
    std::string report;
    EXPECT_TRUE(RunCommand("/usr/bin/python3 '" VELK_TEST_DATA_DIR "/ezdxf_reads.py'" + saves, report)) << report;
}
