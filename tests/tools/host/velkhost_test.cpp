// velkhost as a user runs it, as a process: it damages nothing it is given
// (the machine folder, the input drawing and the files beside it), plain
// mode adds nothing, scripts draw and save, and every failure gives a
// non-zero exit with the failed step named on the last line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <spawn.h>
#include <sys/stat.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "drawing_files.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "machine_folder.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbdatabase.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "test_support.h"
#include "text_internal.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
    std::string lastLine;
};

std::string Quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs velkhost with the arguments, and the module as built unless they
// name one; output and errors together. `environment`: NAME=VALUE words
// it runs with besides the test's own.
Outcome Velkhost(const std::vector<std::string>& args, const std::string& environment = std::string())
{
    std::string command = environment + " " + Quoted(VELKHOST_PROGRAM);
    if (std::find(args.begin(), args.end(), "--module") == args.end())
        command += " --module " + Quoted(VELK_MODULE_FILE);
    for (const std::string& a : args) command += " " + Quoted(a);
    Outcome r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string out = r.output;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    r.lastLine = out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    return r;
}

std::string LastLine(std::string out)
{
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
}

// A velkhost run as a child process, with the module as built: its output
// and errors read together through a pipe. A run still going at the end of
// the test is killed.
class Child {
public:
    // `tmpdir`: the TMPDIR it runs with, when not empty. It starts with the
    // default action for the signals velkhost catches, whatever the test
    // runner ignores.
    // `stalled`: its output is a pipe already full, which the test reads
    // only once the run ended.
    Child(const std::vector<std::string>& args, const std::string& tmpdir = std::string(), bool stalled = false)
    {
        std::vector<std::string> all = {VELKHOST_PROGRAM, "--module", VELK_MODULE_FILE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string tmp = "TMPDIR=" + tmpdir;
        for (char** e = environ; *e; ++e)
            if (tmpdir.empty() || strncmp(*e, "TMPDIR=", 7) != 0) envp.push_back(*e);
        if (!tmpdir.empty()) envp.push_back(const_cast<char*>(tmp.c_str()));
        envp.push_back(nullptr);
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        if (stalled) {
            fcntl(fds[1], F_SETPIPE_SZ, 4096);
            fcntl(fds[1], F_SETFL, O_NONBLOCK);
            const std::string filler(4096, '.');
            while (write(fds[1], filler.data(), filler.size()) > 0) {
            }
            fcntl(fds[1], F_SETFL, 0);
        }
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, fds[1], 1);
        posix_spawn_file_actions_adddup2(&files, fds[1], 2);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        if (posix_spawn(&pid, VELKHOST_PROGRAM, &files, &attr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&files);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child()
    {
        if (pid > 0 && !waited_) {
            kill(pid, SIGKILL);
            Wait();
        }
        if (out_ >= 0) close(out_);
    }

    // Reads until the output holds `text`; false when it ended or the time
    // passed first.
    bool ReadUntil(const std::string& text, int seconds = 60)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        size_t from = 0;
        while (output.find(text, from) == std::string::npos) {
            from = output.size() > text.size() ? output.size() - text.size() : 0;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            pollfd p = {out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, (int)left.count()) <= 0) return false;
            char buf[65536];
            const ssize_t n = read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            output.append(buf, (size_t)n);
        }
        return true;
    }
    void ReadToEnd() { ReadUntil(std::string(1, '\0'), 280); }
    // The status waitpid gives.
    int Wait()
    {
        int status = 0;
        if (pid > 0 && !waited_ && waitpid(pid, &status, 0) == pid) waited_ = true, status_ = status;
        return status_;
    }

    pid_t pid = -1;
    std::string output;

private:
    int out_ = -1;
    bool waited_ = false;
    int status_ = -1;
};

// The writing end of a pipe the run reads its script from, once the run
// opened it (it has made its machine by then); -1 when the run ended or a
// minute passed first.
int OpenWriter(const fs::path& fifo, Child& run)
{
    for (int i = 0; i < 6000; ++i) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        int status = 0;
        if (errno != ENXIO || waitpid(run.pid, &status, WNOHANG) == run.pid) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void WriteAll(int fd, const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n <= 0) return;
        at += (size_t)n;
    }
}

// True once the process has taken the signal sent to it (it is no longer
// pending): its handler has run or runs, so a second is a second.
bool SignalTaken(pid_t pid, int signal)
{
    for (int i = 0; i < 6000; ++i) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        bool pending = false;
        while (std::getline(status, line)) {
            if (line.rfind("SigPnd:", 0) != 0 && line.rfind("ShdPnd:", 0) != 0) continue;
            pending |= (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
        }
        if (!pending) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Every file below a folder with its bytes.
std::map<std::string, std::string> Contents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = velktest::ReadNativeFile(e.path());
    return files;
}

// Model space of a saved drawing, read by the stand-in host: handle ->
// class name.
std::map<std::string, std::string> Entities(const fs::path& nativeDxf)
{
    std::map<std::string, std::string> out;
    const std::wstring copy = L"C:\\read\\drawing.dxf";
    fs::create_directories(fs::path(standin::NativePath(copy)).parent_path());
    fs::copy_file(nativeDxf, standin::NativePath(copy), fs::copy_options::overwrite_existing);
    OdDbDatabase db(false);
    EXPECT_EQ(db.readDwgFile(copy.c_str()), eOk) << nativeDxf;
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db.getModelSpaceId(), OdDb::kForRead) != eOk) return out;
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        out[standin::WideToUtf8(id.getHandle().ascii().c_str())] = standin::WideToUtf8(e->isA()->name().c_str());
        e->close();
    }
    ms->close();
    return out;
}

// While `first` holds `machine`, reading its script from `writer`: a second
// run naming the folder is refused and touches nothing; the first then gets
// its script, draws a point and saves it into `out`.
void ASecondRunIsRefusedWhileTheFirstHolds(const fs::path& machine, Child& first, int writer, const fs::path& out)
{
    const auto before = Contents(machine);
    ASSERT_FALSE(before.empty());
    const Outcome second = Velkhost({"--machine", machine.string(), "--quiet"});
    EXPECT_EQ(second.status, 2) << second.output;
    EXPECT_EQ(second.lastLine, "velkhost: the machine folder " + machine.string() +
                                   " is in use by another velkhost run; give another folder, or wait for that run "
                                   "to end");
    EXPECT_TRUE(Contents(machine) == before);
    WriteAll(writer, "POINT\n1,1\n");
    close(writer);
    first.ReadToEnd();
    const int status = first.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << first.output;
    EXPECT_EQ(LastLine(first.output), "velkhost: every step succeeded") << first.output;
    EXPECT_EQ(Entities(out).size(), 1u);
}

class VelkhostProcess : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(velktest::MachineRoot()) / "native";
        fs::create_directories(dir);
    }

    // The demo's drawing in a folder of its own, with a file beside it.
    fs::path UserDrawing()
    {
        const fs::path folder = dir / "user";
        fs::create_directories(folder / "images");
        fs::copy_file(fs::path(VELK_SOURCE_DIR) / "tools/host/demo.dxf", folder / "site.dxf");
        velktest::WriteNativeFile((folder / "notes.txt").string(), "mine");
        velktest::WriteNativeFile((folder / "images" / "a.png").string(), "not a picture");
        return folder / "site.dxf";
    }

    fs::path Script(const std::string& text)
    {
        const fs::path p = dir / ("script" + std::to_string(++scripts) + ".scr");
        velktest::WriteNativeFile(p.string(), text);
        return p;
    }

    fs::path dir;
    int scripts = 0;
};

// A folder of the user's is refused before anything is touched; a folder
// velkhost made is taken again and cleared; without --machine a new folder
// under the temporary folder is used and removed.
TEST_F(VelkhostProcess, MachineFolderIsOnlyEverOneOfItsOwn)
{
    const fs::path mine = dir / "mine";
    velktest::WriteNativeFile((mine / "thesis.txt").string(), "years of work");
    velktest::WriteNativeFile((mine / "C" / "keep.txt").string(), "also mine");
    const auto before = Contents(mine);
    Outcome r = Velkhost({"--machine", mine.string()});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find(mine.string()), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("not empty"), std::string::npos) << r.output;
    EXPECT_EQ(Contents(mine), before);
    EXPECT_FALSE(fs::exists(mine / ".velkhost-machine"));

    const fs::path file = dir / "a-file";
    velktest::WriteNativeFile(file.string(), "x");
    EXPECT_EQ(Velkhost({"--machine", file.string()}).status, 2);
    EXPECT_EQ(velktest::ReadNativeFile(file.string()), "x");

    const fs::path own = dir / "own";
    r = Velkhost({"--machine", own.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::exists(own / ".velkhost-machine"));
    // Taken again, it is cleared; what velkhost made there goes unnamed...
    r = Velkhost({"--machine", own.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("cleared"), std::string::npos) << r.output;
    // ... and what a user put there, or changed, is named as it goes.
    velktest::WriteNativeFile((own / "C" / "left-over.txt").string(), "old run");
    velktest::WriteNativeFile((own / "C" / "mine" / "a" / "b.txt").string(), "old run");
    const fs::path settings = own / "C/Users/user/AppData/Local/VelkArx_setting.ini";
    ASSERT_TRUE(fs::exists(settings));
    velktest::WriteNativeFile(settings.string(), velktest::ReadNativeFile(settings.string()) + "[Mine]\n");
    r = Velkhost({"--machine", own.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("machine folder " + own.string() + ": cleared what velkhost did not make there: "),
              std::string::npos)
        << r.output;
    for (const char* name : {"C/left-over.txt", "C/mine/ (a folder, with 1 file)",
                             "C/Users/user/AppData/Local/VelkArx_setting.ini (changed since velkhost made it)"})
        EXPECT_NE(r.output.find(name), std::string::npos) << name << r.output;
    EXPECT_FALSE(fs::exists(own / "C" / "left-over.txt"));
    EXPECT_TRUE(fs::exists(own / "C"));

    r = Velkhost({});
    ASSERT_EQ(r.status, 0) << r.output;
    const size_t at = r.output.find("machine: ");
    ASSERT_NE(at, std::string::npos) << r.output;
    const std::string temporary = r.output.substr(at + 9, r.output.find(' ', at + 9) - at - 9);
    EXPECT_NE(temporary.find("velkhost-"), std::string::npos) << temporary;
    EXPECT_FALSE(fs::exists(temporary)) << temporary;
}

// Clearing takes only what velkhost made: a marker copied into a user's
// folder (beside the user's files, or beside nothing but a drive-like
// folder of theirs), a folder holding what the run reads or writes, and a
// link spelled with a trailing slash are each refused and left as they
// were.
TEST_F(VelkhostProcess, MachineFolderClearsOnlyWhatVelkhostMade)
{
    const fs::path own = dir / "own";
    ASSERT_EQ(Velkhost({"--machine", own.string(), "--quiet"}).status, 0);
    const std::string marker = velktest::ReadNativeFile((own / ".velkhost-machine").string());
    auto refused = [&](const fs::path& folder, const std::vector<std::string>& more, const std::string& why) {
        const auto before = Contents(folder);
        std::vector<std::string> args = {"--machine", folder.string()};
        args.insert(args.end(), more.begin(), more.end());
        const Outcome r = Velkhost(args);
        EXPECT_EQ(r.status, 2) << r.output;
        EXPECT_NE(r.output.find(why), std::string::npos) << r.output;
        EXPECT_TRUE(Contents(folder) == before) << folder;
    };

    const fs::path copied = dir / "copied";
    velktest::WriteNativeFile((copied / "thesis.txt").string(), "years of work");
    velktest::WriteNativeFile((copied / ".velkhost-machine").string(), marker);
    refused(copied, {}, "written for another folder");
    const fs::path drives = dir / "drives";
    velktest::WriteNativeFile((drives / "C" / "keep.txt").string(), "mine");
    velktest::WriteNativeFile((drives / ".velkhost-machine").string(), marker);
    refused(drives, {}, "written for another folder");
    // A marker velkhost did not write is named as such, not as missing.
    velktest::WriteNativeFile((copied / ".velkhost-machine").string(), "forged\n");
    refused(copied, {}, "its .velkhost-machine is not one velkhost wrote");
    EXPECT_EQ(Velkhost({"--machine", copied.string()}).output.find("has no"), std::string::npos);
    fs::remove(copied / ".velkhost-machine");
    refused(copied, {}, "(it has no .velkhost-machine)");
    // The first velkhost's marker named no folder.
    velktest::WriteNativeFile((drives / ".velkhost-machine").string(),
                              "A machine folder of velkhost: it clears this folder's contents when it starts.\n");
    refused(drives, {}, "earlier velkhost");

    // Its own folder, with a file of the user's dropped in beside the drives.
    velktest::WriteNativeFile((own / "notes.txt").string(), "mine");
    refused(own, {}, "it holds notes.txt");
    fs::remove(own / "notes.txt");

    // What the run reads or writes, kept in its own folder.
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "tools/host/demo.dxf", own / "C" / "site.dxf");
    refused(own, {"--drawing", (own / "C" / "site.dxf").string()}, "it holds the input drawing");
    velktest::WriteNativeFile((own / "C" / "s.scr").string(), "POINT\n1,1\n");
    refused(own, {"--script", (own / "C" / "s.scr").string()}, "it holds the script");
    refused(own, {"--save", (own / "C" / "out.dxf").string()}, "--save");

    const fs::path target = dir / "target";
    fs::create_directories(target);
    fs::create_directory_symlink(target, dir / "link");
    const Outcome r = Velkhost({"--machine", (dir / "link").string() + "/"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("symbolic link"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_empty(target));
}

// A run stopped by Ctrl-C or SIGTERM ends with its temporary machine folder
// removed: it stops reading its script and runs none of it and, its
// transcript whole, ends by that signal (a shell shows 130, 143); a second
// signal stops it at once, the folder still removed. The run is held
// reading its script from a pipe.
TEST_F(VelkhostProcess, AStoppedRunRemovesItsTemporaryMachine)
{
    const fs::path temp = dir / "tmp", pipe = dir / "held.scr";
    fs::create_directories(temp);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (int signal : {SIGINT, SIGTERM}) {
        Child run({"--script", pipe.string(), "--quiet"}, temp.string());
        const int writer = OpenWriter(pipe, run);
        ASSERT_GE(writer, 0) << run.output;
        EXPECT_FALSE(fs::is_empty(temp));
        kill(run.pid, signal);
        // The read waiting for the pipe ends; the end of the pipe that
        // follows is not taken for the end of the script.
        ASSERT_TRUE(SignalTaken(run.pid, signal));
        close(writer);
        run.ReadToEnd();
        const int status = run.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status << run.output;
        EXPECT_NE(run.output.find("script: " + pipe.string() + ", interrupted while it was read: none of it was run\n"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(LastLine(run.output),
                  std::string("velkhost: interrupted by ") + (signal == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM") +
                      ": the script was not run to its end")
            << run.output;
        EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();
    }

    // timeout sends SIGTERM twice, to the run and then to its group: the
    // same signal again from the same process is that one signal, and the
    // run ends whole.
    {
        Child run({"--script", pipe.string(), "--quiet"}, temp.string());
        const int writer = OpenWriter(pipe, run);
        ASSERT_GE(writer, 0) << run.output;
        kill(run.pid, SIGTERM);
        ASSERT_TRUE(SignalTaken(run.pid, SIGTERM));
        kill(run.pid, SIGTERM);
        ASSERT_TRUE(SignalTaken(run.pid, SIGTERM));
        close(writer);
        run.ReadToEnd();
        const int status = run.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status << run.output;
        EXPECT_EQ(LastLine(run.output), "velkhost: interrupted by SIGTERM: the script was not run to its end")
            << run.output;
        EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();
    }

    // A second one from another process (the user interrupting again)
    // stops the run at once.
    Child run({"--script", pipe.string(), "--quiet"}, temp.string());
    const int writer = OpenWriter(pipe, run);
    ASSERT_GE(writer, 0) << run.output;
    kill(run.pid, SIGINT);
    ASSERT_TRUE(SignalTaken(run.pid, SIGINT));
    EXPECT_EQ(system(("kill -INT " + std::to_string(run.pid)).c_str()), 0);
    const int status = run.Wait();
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();
}

// Ctrl-C in a long script: the line it is on is finished, the command
// waiting for the next answer is cancelled as Esc cancels it, nothing more
// is run, saved or pictured, and the transcript ends whole with a line that
// says what was not done; the process then ends by the signal, so that a
// shell running it in a script or a loop stops too.
TEST_F(VelkhostProcess, CtrlCFinishesTheLineAndSaysWhatWasNotDone)
{
    std::string text = "LINE\n0,0\n";
    for (int i = 1; i <= 200000; ++i) text += std::to_string(i) + "," + std::to_string(i % 7) + "\n";
    const fs::path script = Script(text + "\n");
    for (int signal : {SIGINT, SIGTERM}) {
        const fs::path save = dir / "never.dxf", png = dir / "never.png";
        Child run({"--machine", (dir / "m").string(), "--script", script.string(), "--save", save.string(), "--png",
                   png.string()});
        ASSERT_TRUE(run.ReadUntil("] Specify next point: 30,2\n")) << run.output;
        kill(run.pid, signal);
        run.ReadToEnd();
        const int status = run.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status << LastLine(run.output);
        ASSERT_FALSE(run.output.empty());
        EXPECT_EQ(run.output.back(), '\n');
        EXPECT_NE(run.output.find("  interrupted: the command waiting for \"Specify next point:\" is cancelled\n"),
                  std::string::npos)
            << LastLine(run.output);
        EXPECT_NE(run.output.find("script: " + script.string() + ", interrupted: lines "), std::string::npos);
        EXPECT_EQ(run.output.find("FAILED"), std::string::npos);
        EXPECT_EQ(LastLine(run.output),
                  std::string("velkhost: interrupted by ") + (signal == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM") +
                      ": the script was not run to its end; the drawing was not saved to " + save.string() +
                      "; no picture was written to " + png.string());
        // Every answer line is whole.
        std::istringstream lines(run.output);
        std::string line;
        int answers = 0;
        while (std::getline(lines, line)) {
            if (line.find("] Specify next point:") == std::string::npos) continue;
            ++answers;
            EXPECT_TRUE(isdigit((unsigned char)line.back())) << line;
        }
        EXPECT_GE(answers, 30);
        EXPECT_FALSE(fs::exists(save));
        EXPECT_FALSE(fs::exists(png));
        // The machine was released before the signal ended the process.
        EXPECT_TRUE(fs::exists(dir / "m" / ".velkhost-made"));
        fs::remove(dir / "m" / ".velkhost-made");
    }
}

// Two runs on one machine folder: the second is refused while the first
// holds it (exit status 2, naming it) and touches nothing, and the first
// goes on to its end. A run killed with SIGKILL leaves no lock behind: the
// next takes the folder, saying it cannot tell what the killed run made
// from other files.
TEST_F(VelkhostProcess, AMachineFolderServesOneRunAtATime)
{
    const fs::path machine = dir / "shared", pipe = dir / "first.scr", out = dir / "first.dxf";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    {
        Child first({"--machine", machine.string(), "--script", pipe.string(), "--save", out.string(), "--quiet"});
        const int writer = OpenWriter(pipe, first);
        ASSERT_GE(writer, 0) << first.output;
        ASecondRunIsRefusedWhileTheFirstHolds(machine, first, writer, out);
    }
    EXPECT_EQ(Velkhost({"--machine", machine.string(), "--quiet"}).status, 0);

    Child killed({"--machine", machine.string(), "--script", pipe.string(), "--quiet"});
    const int writer = OpenWriter(pipe, killed);
    ASSERT_GE(writer, 0) << killed.output;
    kill(killed.pid, SIGKILL);
    const int status = killed.Wait();
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    const Outcome next = Velkhost({"--machine", machine.string(), "--quiet"});
    EXPECT_EQ(next.status, 0) << next.output;
    EXPECT_NE(next.output.find("machine folder " + machine.string() + ": cleared "), std::string::npos) << next.output;
    EXPECT_NE(next.output.find("the run before left no list of what it made there"), std::string::npos)
        << next.output;
}

// A temporary machine folder is locked as a given one is: a run naming it
// is refused while the run that made it holds it, and touches nothing; the
// first goes on to its end. The first is held reading its script from a
// pipe.
TEST_F(VelkhostProcess, ATemporaryMachineFolderServesOnlyTheRunThatMadeIt)
{
    const fs::path temp = dir / "tmp", pipe = dir / "held.scr", out = dir / "held.dxf";
    fs::create_directories(temp);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    Child first({"--script", pipe.string(), "--save", out.string(), "--quiet"}, temp.string());
    const int writer = OpenWriter(pipe, first);
    ASSERT_GE(writer, 0) << first.output;
    ASSERT_FALSE(fs::is_empty(temp));
    ASecondRunIsRefusedWhileTheFirstHolds(fs::directory_iterator(temp)->path(), first, writer, out);
    EXPECT_TRUE(fs::is_empty(temp));
}

// A file system that cannot lock a folder (NFS, whose flock needs a file
// open for writing, fails with EBADF) does not refuse every machine folder
// on it: the folder is used unlocked, with a warning that a second run
// would not be noticed. A folder another run holds is still refused.
TEST_F(VelkhostProcess, AMachineFolderThatCannotBeLockedIsUsedWithAWarning)
{
    // Real locks again after the test, whatever it stops at.
    struct Restore {
        ~Restore() { velkhost::FailFolderLocksWith(0); }
    } restore;
    for (int e : {EBADF, ENOLCK, EOPNOTSUPP, EINVAL}) {
        velkhost::FailFolderLocksWith(e);
        const fs::path folder = dir / ("unlockable-" + std::to_string(e));
        velkhost::MachineFolder machine;
        std::string error;
        ASSERT_TRUE(machine.Prepare(folder.string(), {}, error)) << e << error;
        EXPECT_EQ(machine.LockWarning(), "the machine folder " + folder.string() +
                                             " cannot be locked on its file system (" + strerror(e) +
                                             "): another velkhost run on it at the same time would not be noticed");
        EXPECT_TRUE(fs::exists(folder / ".velkhost-machine")) << e;
    }
    velkhost::FailFolderLocksWith(EWOULDBLOCK);
    {
        velkhost::MachineFolder machine;
        std::string error;
        EXPECT_FALSE(machine.Prepare((dir / "held").string(), {}, error));
        EXPECT_NE(error.find(" is in use by another velkhost run"), std::string::npos) << error;
        EXPECT_TRUE(machine.LockWarning().empty()) << machine.LockWarning();
    }
    // The real lock: a second holder is refused, the first warned of nothing.
    velkhost::FailFolderLocksWith(0);
    velkhost::MachineFolder first, second;
    std::string error;
    ASSERT_TRUE(first.Prepare((dir / "locked").string(), {}, error)) << error;
    EXPECT_TRUE(first.LockWarning().empty()) << first.LockWarning();
    EXPECT_FALSE(second.Prepare((dir / "locked").string(), {}, error));
    EXPECT_NE(error.find(" is in use by another velkhost run"), std::string::npos) << error;
}

// An output is written beside its file and renamed over it: a copy that
// fails part way (a read error) leaves the old file byte for byte as it
// was and nothing beside it; one that succeeds leaves only the file, and a
// link to it stays a link to the file it leads to.
TEST_F(VelkhostProcess, AnOutputIsReplacedWholeOrNotAtAll)
{
    const fs::path folder = dir / "outputs", good = folder / "result.dxf";
    fs::create_directories(folder);
    velktest::WriteNativeFile(good.string(), "the good result of the run before");
    auto names = [&] {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
        return out;
    };
    std::string error;
    // Its size is 0 and its first read fails (EIO).
    EXPECT_FALSE(velkhost::ReplaceFile("/proc/self/mem", good.string(), error));
    EXPECT_NE(error.find("cannot write " + good.string() + ": "), std::string::npos) << error;
    EXPECT_EQ(velktest::ReadNativeFile(good.string()), "the good result of the run before");
    EXPECT_EQ(names(), std::set<std::string>{"result.dxf"});

    const fs::path fresh = dir / "fresh.dxf";
    velktest::WriteNativeFile(fresh.string(), "a new result");
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, good.string(), error)) << error;
    EXPECT_EQ(velktest::ReadNativeFile(good.string()), "a new result");
    EXPECT_EQ(names(), std::set<std::string>{"result.dxf"});

    fs::create_symlink("result.dxf", folder / "link.dxf");
    velktest::WriteNativeFile(fresh.string(), "through the link");
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, (folder / "link.dxf").string(), error)) << error;
    EXPECT_TRUE(fs::is_symlink(folder / "link.dxf"));
    EXPECT_EQ(velktest::ReadNativeFile(good.string()), "through the link");
    EXPECT_EQ(names(), (std::set<std::string>{"link.dxf", "result.dxf"}));

    // A name as long as a file's may be still has a temporary of its own.
    const fs::path longest = folder / (std::string(251, 'n') + ".dxf");
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, longest.string(), error)) << error;
    EXPECT_EQ(velktest::ReadNativeFile(longest.string()), "through the link");
    EXPECT_EQ(names().size(), 3u);

    // A device and a pipe are filled through, not renamed over.
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, "/dev/null", error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    const fs::path pipe = dir / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, pipe.string(), error)) << error;
    char got[64] = {};
    EXPECT_EQ(read(reader, got, sizeof got - 1), (ssize_t)strlen("through the link"));
    EXPECT_STREQ(got, "through the link");
    close(reader);
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// A run that replaces its outputs, the saved drawing and its picture,
// leaves nothing else in their folder.
TEST_F(VelkhostProcess, ARunReplacingItsOutputsLeavesNothingBesideThem)
{
    const fs::path input = UserDrawing(), out = dir / "out";
    fs::create_directories(out);
    const fs::path save = out / "site.dxf", png = out / "site.png";
    velktest::WriteNativeFile(save.string(), "an old save");
    velktest::WriteNativeFile(png.string(), "an old picture");
    const Outcome r =
        Velkhost({"--drawing", input.string(), "--save", save.string(), "--png", png.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    for (const auto& e : fs::recursive_directory_iterator(out))
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    EXPECT_EQ(Entities(save), Entities(input));
    EXPECT_EQ(velktest::ReadNativeFile(png.string()).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// A cache root that climbs out of the machine folder, with clear-cache-on-
// exit set, deletes nothing outside the machine when the module unloads.
TEST_F(VelkhostProcess, CacheRootClimbingOutDeletesNothingOutside)
{
    const fs::path outside = dir / "x" / "MapTemp" / "keep.txt";
    velktest::WriteNativeFile(outside.string(), "not the machine's");
    const fs::path script = Script("> dialog 8133, type 8139 C:\\..\\..\\x, check 8359, ok\n"
                                   "> click 设置属性\n"
                                   "> show settings TempPath\n");
    const Outcome r = Velkhost({"--machine", (dir / "m").string(), "--script", script.string()});
    EXPECT_NE(r.output.find("MapTemp=C:\\..\\..\\x"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(outside)) << r.output;
}

// Plain mode adds, moves and erases nothing: the saved drawing holds the
// entities it was opened with; the input and the files beside it are
// never written, and --save may name the input only with --overwrite.
TEST_F(VelkhostProcess, PlainModeRoundTripsTheDrawingAndNeverWritesBesideIt)
{
    const fs::path input = UserDrawing();
    const auto before = Contents(input.parent_path());
    const fs::path out = dir / "out" / "saved.dxf";
    fs::create_directories(out.parent_path());
    Outcome r = Velkhost({"--drawing", input.string(), "--save", out.string(), "--png", (dir / "out" / "p.png").string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.lastLine, "velkhost: every step succeeded");
    EXPECT_NE(r.output.find("load: the module started, the peer started as it asked"), std::string::npos) << r.output;
    EXPECT_EQ(Entities(out), Entities(input));
    EXPECT_EQ(Entities(input).size(), 27u);
    EXPECT_TRUE(fs::exists(dir / "out" / "p.png"));
    EXPECT_EQ(Contents(input.parent_path()), before);

    r = Velkhost({"--drawing", input.string(), "--save", input.string()});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("--overwrite"), std::string::npos) << r.output;
    r = Velkhost({"--drawing", input.string(), "--save", (input.parent_path() / "notes.txt").string()});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(Contents(input.parent_path()), before);

    // Outputs in a folder below it are the user's to name, and a run can be
    // made again; --save and --png may not be one file by another name.
    const fs::path below = input.parent_path() / "out";
    fs::create_directories(below);
    for (int run = 0; run < 2; ++run) {
        r = Velkhost({"--drawing", input.string(), "--save", (below / "site.dxf").string(), "--png",
                      (below / "site.png").string(), "--quiet"});
        EXPECT_EQ(r.status, 0) << r.output;
    }
    fs::create_directory_symlink(below, dir / "out-link");
    r = Velkhost({"--drawing", input.string(), "--save", (below / "x.dxf").string(), "--png",
                  (dir / "out-link" / "x.dxf").string()});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("name the same file"), std::string::npos) << r.output;
    fs::remove_all(below);

    // A new file beside it is no harm; the input itself with --overwrite.
    r = Velkhost({"--drawing", input.string(), "--save", (input.parent_path() / "copy.dxf").string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    r = Velkhost({"--drawing", input.string(), "--save", input.string(), "--overwrite", "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(Entities(input).size(), 27u);
}

// The demo on a user's drawing edits only what it drew or received: the
// user's line and text where the demo draws, moves and erases its own stay
// as they were.
TEST_F(VelkhostProcess, TheDemoLeavesTheUsersEntitiesAlone)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\u\\user.dxf")->database();
    OdDbSymbolTable* layers = nullptr;
    ASSERT_EQ(oddbOpenObject(layers, db->getLayerTableId(), OdDb::kForWrite), eOk);
    for (const wchar_t* name : {L"道路", L"注记"}) {
        auto* layer = new OdDbLayerTableRecord();
        layer->setName(name);
        OdDbObjectId layerId;
        ASSERT_EQ(layers->add(layerId, layer), eOk);
        layer->close();
    }
    layers->close();
    // On the layers and at the places where the demo draws its own.
    auto* userLine = new OdDbLine(OdGePoint3d(500000, 3000000, 0), OdGePoint3d(500120, 3000010, 0));
    userLine->setLayer(L"道路");
    auto* userText = new OdDbText(OdGePoint3d(500005, 3000015, 0), L"滨江路", OdDbObjectId::kNull, 4, 0.08);
    userText->setLayer(L"注记");
    const OdDbObjectId lineId = velktest::AppendEntity(db, userLine);
    const OdDbObjectId textId = velktest::AppendEntity(db, userText);
    CreateDirectoryW(L"C:\\u", nullptr);
    ASSERT_EQ(db->saveAs(L"C:\\u\\user.dxf"), eOk);
    const std::string line = standin::WideToUtf8(lineId.getHandle().ascii().c_str());
    const std::string text = standin::WideToUtf8(textId.getHandle().ascii().c_str());
    const fs::path input = dir / "user.dxf", out = dir / "demo-out.dxf";
    fs::copy_file(standin::NativePath(L"C:\\u\\user.dxf"), input);

    const Outcome r = Velkhost({"--demo", "--drawing", input.string(), "--save", out.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    const std::wstring copy = L"C:\\read\\demo-out.dxf";
    fs::create_directories(fs::path(standin::NativePath(copy)).parent_path());
    fs::copy_file(out, standin::NativePath(copy));
    OdDbDatabase saved(false);
    ASSERT_EQ(saved.readDwgFile(copy.c_str()), eOk);
    OdDbObjectId id;
    OdDbLine* l = nullptr;
    ASSERT_EQ(saved.getOdDbObjectId(id, false, OdDbHandle(std::stoull(line, nullptr, 16))), eOk);
    ASSERT_EQ(oddbOpenObject(l, id, OdDb::kForRead), eOk) << "the user's line is gone";
    EXPECT_EQ(l->startPoint(), OdGePoint3d(500000, 3000000, 0));
    EXPECT_EQ(l->endPoint(), OdGePoint3d(500120, 3000010, 0));
    l->close();
    OdDbText* t = nullptr;
    ASSERT_EQ(saved.getOdDbObjectId(id, false, OdDbHandle(std::stoull(text, nullptr, 16))), eOk);
    ASSERT_EQ(oddbOpenObject(t, id, OdDb::kForRead), eOk) << "the user's text is gone";
    EXPECT_EQ(t->position(), OdGePoint3d(500005, 3000015, 0));
    t->close();
    // The demo did its edits on its own: its text moved, its line erased.
    int texts = 0, lines = 0;
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, saved.getModelSpaceId(), OdDb::kForRead), eOk);
    for (const OdDbObjectId& e : ms->entityIds()) {
        OdDbEntity* entity = nullptr;
        if (oddbOpenObject(entity, e, OdDb::kForRead) != eOk) continue;
        if (auto* x = OdRxCast<OdDbText>(entity))
            texts += x->textString() == L"滨江路" && x->position().isEqualTo(OdGePoint3d(500035, 3000035, 0), 0.5);
        if (auto* x = OdRxCast<OdDbLine>(entity)) lines += x->startPoint() == OdGePoint3d(500000, 3000000, 0);
        entity->close();
    }
    ms->close();
    EXPECT_EQ(texts, 1);
    EXPECT_EQ(lines, 1);
}

// Images the drawing names beside it come along into the machine and go
// out beside the saved copy; one that is not there is reported and does not
// fail the save (the user's drawing never had it).
TEST_F(VelkhostProcess, ImagesBesideTheDrawingGoAlongAndMissingOnesAreReported)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\u\\pictured.dxf")->database();
    OdDbObjectId dictId;
    ASSERT_EQ(OdDbRasterImageDef::createImageDictionary(db, dictId), eOk);
    OdDbDictionary* dict = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, dictId, OdDb::kForWrite), eOk);
    OdDbObjectId defs[2];
    const wchar_t* names[2] = {L"pics\\here.png", L"pics\\gone.png"};
    for (int i = 0; i < 2; ++i) {
        auto* def = new OdDbRasterImageDef();
        def->setSourceFileName(names[i]);
        ASSERT_EQ(dict->setAt(i ? L"GONE" : L"HERE", def, defs[i]), eOk);
        def->close();
        auto* image = new OdDbRasterImage();
        image->setOrientation(OdGePoint3d(10.0 * i, 0, 0), OdGeVector3d(5, 0, 0), OdGeVector3d(0, 5, 0));
        image->setImageDefId(defs[i]);
        velktest::AppendEntity(db, image);
    }
    dict->close();
    CreateDirectoryW(L"C:\\u", nullptr);
    ASSERT_EQ(db->saveAs(L"C:\\u\\pictured.dxf"), eOk);
    const fs::path input = dir / "in" / "pictured.dxf";
    fs::create_directories(input.parent_path() / "pics");
    fs::copy_file(standin::NativePath(L"C:\\u\\pictured.dxf"), input);
    velktest::WriteNativeFile((input.parent_path() / "pics" / "here.png").string(), "the user's picture");

    const fs::path out = dir / "out" / "pictured.dxf";
    fs::create_directories(out.parent_path());
    // Quiet, the outcome lines still say what was missing.
    const Outcome r = Velkhost({"--drawing", input.string(), "--save", out.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("images it names that are not beside it: pics/gone.png"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("with the images it names beside it: pics/here.png); images it names that the machine does "
                            "not hold, not copied: pics/gone.png"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(velktest::ReadNativeFile((out.parent_path() / "pics" / "here.png").string()), "the user's picture");
    EXPECT_FALSE(fs::exists(out.parent_path() / "pics" / "gone.png"));

    // An image the drawing uses is the user's like the drawing itself.
    const fs::path used = input.parent_path() / "pics" / "here.png";
    Outcome refused = Velkhost({"--drawing", input.string(), "--png", used.string()});
    EXPECT_EQ(refused.status, 2) << refused.output;
    EXPECT_NE(refused.output.find("is an image the input drawing names"), std::string::npos) << refused.output;
    EXPECT_EQ(velktest::ReadNativeFile(used.string()), "the user's picture");

    // The images a save takes along never replace a different file the user
    // did not name: nothing is written, unless --overwrite is given.
    const fs::path elsewhere = dir / "elsewhere" / "pictured.dxf";
    velktest::WriteNativeFile((elsewhere.parent_path() / "pics" / "here.png").string(), "another picture");
    refused = Velkhost({"--drawing", input.string(), "--save", elsewhere.string()});
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.lastLine.find("would replace a different file"), std::string::npos) << refused.output;
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_EQ(velktest::ReadNativeFile((elsewhere.parent_path() / "pics" / "here.png").string()), "another picture");
    EXPECT_EQ(Velkhost({"--drawing", input.string(), "--save", elsewhere.string(), "--overwrite"}).status, 0);
    EXPECT_EQ(velktest::ReadNativeFile((elsewhere.parent_path() / "pics" / "here.png").string()), "the user's picture");
}

// An image beside the drawing whose file is there but cannot be read is
// drawn as a frame, and the picture's line says why: a damaged file, as
// the image library read it; a TIFF while the GeoTIFF library cannot be
// loaded, as the loader said.
TEST_F(VelkhostProcess, AnImageThatCannotBeReadIsNamedWithWhy)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\u\\mapped.dxf")->database();
    OdDbObjectId dictId, defId;
    ASSERT_EQ(OdDbRasterImageDef::createImageDictionary(db, dictId), eOk);
    OdDbDictionary* dict = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, dictId, OdDb::kForWrite), eOk);
    auto* def = new OdDbRasterImageDef();
    def->setSourceFileName(L"pics\\map.tif");
    ASSERT_EQ(dict->setAt(L"MAP", def, defId), eOk);
    def->close();
    dict->close();
    auto* image = new OdDbRasterImage();
    image->setOrientation(OdGePoint3d(0, 0, 0), OdGeVector3d(13, 0, 0), OdGeVector3d(0, 11, 0));
    image->setImageDefId(defId);
    velktest::AppendEntity(db, image);
    CreateDirectoryW(L"C:\\u", nullptr);
    ASSERT_EQ(db->saveAs(L"C:\\u\\mapped.dxf"), eOk);
    const fs::path input = dir / "in" / "mapped.dxf", tif = dir / "in" / "pics" / "map.tif";
    fs::create_directories(tif.parent_path());
    fs::copy_file(standin::NativePath(L"C:\\u\\mapped.dxf"), input);

    velktest::WriteNativeFile(tif.string(), std::string("II*\0\x08\0\0\0\xFF\xFF", 10));
    Outcome r = Velkhost({"--drawing", input.string(), "--png", (dir / "damaged.png").string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(", 0 images, 0 image files missing, 1 image whose file cannot be read (pics\\map.tif: "),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("TIFF"), std::string::npos) << r.output;

    // A library of the name that is no library: the loader's reason.
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "tests" / "image" / "data" / "t_pal8.tif", tif,
                  fs::copy_options::overwrite_existing);
    const fs::path libs = dir / "libs";
    fs::create_directories(libs);
    for (const char* name : {"libgeotiff.so", "libgeotiff.so.5", "libgeotiff.so.2"})
        velktest::WriteNativeFile((libs / name).string(), "no library");
    r = Velkhost({"--drawing", input.string(), "--png", (dir / "unloaded.png").string(), "--quiet"},
                 "LD_LIBRARY_PATH=" + Quoted(libs.string()));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("1 image whose file cannot be read (pics\\map.tif: Error: libgeotiff ("), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(") cannot be loaded: " + libs.string() + "/libgeotiff"), std::string::npos) << r.output;
    // Loaded, the same file is drawn.
    r = Velkhost({"--drawing", input.string(), "--png", (dir / "loaded.png").string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(", 1 image, 0 image files missing)"), std::string::npos) << r.output;
}

// Quiet, only the outcome of each step is printed; --help lists the
// options and the script forms.
TEST_F(VelkhostProcess, QuietPrintsOutcomesAndHelpListsEveryOption)
{
    const fs::path input = UserDrawing();
    Outcome r = Velkhost({"--drawing", input.string(), "--save", (dir / "q.dxf").string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("peer <-"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("interface version"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("open: " + input.string()), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("save: "), std::string::npos) << r.output;

    r = Velkhost({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--drawing", "--script", "--save", "--overwrite", "--png", "--png-size", "--png-window",
                               "--machine", "--module", "--demo", "--quiet", "--help", "> click", "> select",
                               "> dialog", "> answer", "> peer send", "> show"})
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
    r = Velkhost({"--frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("--frobnicate"), std::string::npos);

    // An option that takes one value, given twice: the second would win
    // silently.
    const std::map<std::string, std::pair<std::string, std::string>> twice = {
        {"--module", {VELK_MODULE_FILE, VELK_MODULE_FILE}},
        {"--machine", {(dir / "m1").string(), (dir / "m2").string()}},
        {"--drawing", {input.string(), input.string()}},
        {"--script", {"a.scr", "b.scr"}},
        {"--save", {(dir / "a.dxf").string(), (dir / "b.dxf").string()}},
        {"--png", {(dir / "a.png").string(), (dir / "b.png").string()}},
        {"--png-size", {"100", "200"}},
        {"--png-window", {"0,0,1,1", "0,0,2,2"}}};
    for (const auto& [option, values] : twice) {
        r = Velkhost({option, values.first, option, values.second});
        EXPECT_EQ(r.status, 2) << option << r.output;
        EXPECT_NE(r.output.find("velkhost: " + option + " is given twice (" + values.first + " and " + values.second +
                                "); give it once"),
                  std::string::npos)
            << option << r.output;
        EXPECT_FALSE(fs::exists(dir / "m1") || fs::exists(dir / "a.dxf") || fs::exists(dir / "a.png")) << option;
    }
}

// A script draws with the host's commands and the drawing is saved with
// what it drew; a line that fails names its number and fails the run.
TEST_F(VelkhostProcess, ScriptsDrawAndNameTheLineThatFailed)
{
    const fs::path out = dir / "drawn.dxf";
    const fs::path script = Script("; a line\nLINE\n0,0\n@10,5\n\n");
    Outcome r = Velkhost({"--script", script.string(), "--save", out.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    // Counts read as counts: every line was read, one command started.
    EXPECT_NE(r.output.find("script: " + script.string() + ", 5 lines read, 1 command or action at the command prompt\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("(saved in the machine as C:\\Drawings\\drawn.dxf, 1 entity)"), std::string::npos) << r.output;
    const auto drawn = Entities(out);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn.begin()->second, "AcDbLine");

    // The script stops at the line that failed; the save still runs.
    const fs::path partial = dir / "partial.dxf";
    r = Velkhost({"--script", Script("POINT\n1,1\nFROB\nPOINT\n2,2\n").string(), "--save", partial.string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(Entities(partial).size(), 1u);

    struct Case {
        std::string script, line, why;
    };
    const Case cases[] = {
        {"LINE\n0,0\n1,1\n\nFROB\n", "script line 5", "unknown command \"FROB\""},
        {"; comment\n\nLINE\nnowhere\n", "script line 4", "\"nowhere\" is refused at \"Specify first point:\""},
        {"RECTANG\n0,0\n", "script line 1", "the script ended while a command waited"},
        {"> answer yes\n", "script line 1", "no message box came"},
        {"> click 不存在\n", "script line 1", "no toolbar button"},
        {"LINE\n0,0\n> click 设置属性\n", "script line 3", "cannot be done now"},
        {"> select all\n", "script line 1", "the selection is empty"},
        {"POINT\n1,1\nRECTANG\n\n", "script line 3", "RECTANG was cancelled"},
        {"> wait 1e300 s\n", "script line 1", "up to a day"},
        // A picture that cannot be written says why.
        {"POINT\n1,1\n> picture C:\\no\\where\\p.png\n", "script line 3",
         "no picture: the folder C:\\no\\where does not exist; velkhost makes no folder for a picture"},
        // Refused as --png refuses it: no folder is made, on no drive.
        {"POINT\n1,1\n> picture C:\\new\\p.png\n", "script line 3", "no picture: the folder C:\\new does not exist"},
        {"POINT\n1,1\n> picture D:\\p.png\n", "script line 3", "no picture: there is no drive D:"},
        // The drive before its folder, as SAVEAS says it.
        {"POINT\n1,1\n> picture D:p.png\n", "script line 3", "no picture: there is no drive D:"},
        {"POINT\n1,1\n> picture D:\\sub\\p.png\n", "script line 3", "no picture: there is no drive D:"},
        {"SAVEAS\nC:\\Drawings\n", "script line 1", "C:\\Drawings: it is a folder."},
        {"SAVEAS\nC:\\\n", "script line 1", "C:\\: it is a folder."},
        {"SAVEAS\n\\\\server\\share\\x.dxf\n", "script line 1", "x.dxf: there is no share \\\\server\\share."},
        // SAVEAS says why a name cannot be saved to.
        {"SAVEAS\nC:\\Drawings\\con.dxf\n", "script line 1", "it is a name Windows gives no file"},
        {"SAVEAS\nC:\\Drawings\\a|b.dxf\n", "script line 1", "it is a name Windows gives no file"},
        {"SAVEAS\nQ:\\x.dxf\n", "script line 1", "x.dxf: there is no drive Q:."},
        {"SAVEAS\nC:\\nowhere\\x.dxf\n", "script line 1", "x.dxf: its folder does not exist."},
        {"POINT\n1,1\n> picture C:\\Drawings\\con.png\n", "script line 3",
         "C:\\Drawings\\con.png is a name Windows gives no file"},
        {"POINT\n1,1\n> picture C:\\Drawings\n", "script line 3", "C:\\Drawings is a folder"},
        // The picture to join it to is looked for before anything is drawn.
        {"POINT\n1,1\n> picture p.png beside missing.png\n", "script line 3",
         "the picture C:\\Drawings\\missing.png to put it beside cannot be read"},
        {"POINT\n1,1\n> picture p.png beside missing.png\n", "script line 3",
         "missing.png: No such file or directory"},
        {"> peer sign s at 1,2\n> peer send s\n", "script line 2", "knows no plug-in window yet"},
        // Named by its line and its start, not as the command cancelled.
        {"TEXT\n0,0\n2.5\n" + std::string(1100, 'x') + "\n", "script line 4 (\"" + std::string(60, 'x') + "...\"",
         "longer than the 1023 characters it takes"},
    };
    for (const Case& c : cases) {
        r = Velkhost({"--script", Script(c.script).string(), "--quiet"});
        EXPECT_EQ(r.status, 1) << c.script << r.output;
        EXPECT_NE(r.lastLine.find(c.line), std::string::npos) << c.script << r.output;
        EXPECT_NE(r.lastLine.find(c.why), std::string::npos) << c.script << r.output;
    }
}

// "> show added" names what the line before it added, also when that line
// brought back an erased entity (UNDO) or opened another drawing; "> select
// last" passes over erased entities and takes the last of those its other
// words choose.
TEST_F(VelkhostProcess, ShowAddedAndSelectLastFollowErasingUndoAndOpening)
{
    const Outcome r = Velkhost({"--script", Script("LINE\n0,0\n10,10\n\n> show added\n"
                                                   "POINT\n5,5\nERASE\n> select last\n> show added\n"
                                                   "UNDO\n> show added\n"
                                                   "REDO\n> select last\nUNDO\n"
                                                   "LINE\n1,1\n2,2\n\n> select type POINT last\n"
                                                   "COPY\n> select type LINE last\n0,0\n0,5\n\n> show added\n> show added\n"
                                                   "SAVEAS\nC:\\Drawings\\other.dxf\nERASE\n> select last\n"
                                                   "OPEN\nC:\\Drawings\\other.dxf\n> show added\n")
                                                .string()});
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string line = "  handle 11 AcDbLine on layer 0: from (0.00, 0.00) to (10.00, 10.00)\n";
    const std::string point = "  handle 12 AcDbPoint on layer 0\n";
    const std::string copy = "  handle 14 AcDbLine on layer 0: from (1.00, 6.00) to (2.00, 7.00)\n";
    const std::pair<std::string, std::string> steps[] = {
        {"[5] > show added\n", "  1 entity added:\n" + line},
        {"[9] > select last\n", "  selected 1: handle 12 AcDbPoint\n"},
        {"[10] > show added\n", "  0 entities added:\n  none\n"},
        {"[12] > show added\n", "  1 entity added:\n" + point},
        {"[14] > select last\n", "  selected 1: handle 11 AcDbLine\n"},
        {"[20] > select type POINT last\n", "  selected 1: handle 12 AcDbPoint\n"},
        {"[22] > select type LINE last\n", "  selected 1: handle 13 AcDbLine\n"},
        {"[26] > show added\n", "  1 entity added:\n" + copy},
        {"[27] > show added\n", "  1 entity added:\n" + copy},
        {"[31] > select last\n", "  selected 1: handle 14 AcDbLine\n"},
        // The copy was saved, then erased before the saved drawing was opened.
        {"[34] > show added\n", "  1 entity added:\n" + copy},
    };
    for (const auto& [step, said] : steps) {
        const size_t at = r.output.find(step);
        ASSERT_NE(at, std::string::npos) << step << r.output;
        EXPECT_EQ(r.output.substr(at + step.size(), said.size()), said) << step << r.output;
    }
}

// "> show peer-changes" reports what the line before changed in the peer,
// with the counts before it; show lines between change nothing.
TEST_F(VelkhostProcess, ShowPeerChangesReportsTheLineBefore)
{
    const Outcome r = Velkhost({"--script", Script("> peer sign A at 500000,3000000\n> show peer-changes\n"
                                                   "> show peer-changes\n> peer sign B at 500010,3000000\n"
                                                   "> show peer-changes\n> wait 5 s\n> show peer-changes\n")
                                                .string()});
    ASSERT_EQ(r.status, 0) << r.output;
    auto after = [&r](const std::string& step) {
        const size_t at = r.output.find(step);
        EXPECT_NE(at, std::string::npos) << step << r.output;
        const size_t end = r.output.find("\n[", at + 1);
        return at == std::string::npos ? std::string() : r.output.substr(at, end - at);
    };
    for (const char* step : {"[2] > show peer-changes\n", "[3] > show peer-changes\n"}) {
        const std::string said = after(step);
        EXPECT_NE(said.find("  added: sign "), std::string::npos) << said;
        EXPECT_NE(said.find("\"A\""), std::string::npos) << said;
        EXPECT_NE(said.find("the peer holds 1 object in 0 folders (before: 0 and 0)"), std::string::npos) << said;
    }
    const std::string second = after("[5] > show peer-changes\n");
    EXPECT_EQ(second.find("\"A\""), std::string::npos) << second;
    EXPECT_NE(second.find("\"B\""), std::string::npos) << second;
    EXPECT_NE(second.find("(before: 1 and 0)"), std::string::npos) << second;
    EXPECT_NE(after("[7] > show peer-changes\n").find("  the peer's objects did not change\n"), std::string::npos);
}

// "> snapshot" writes what a save writes without a step of UNDO: the next
// UNDO takes back the MOVE before it, and the snapshot of a state equals
// the drawing --save writes of it. It is refused while a command waits.
// "> select A + B" names both selections in turn: MOVE of the line named
// twice moves it once. The peer's objects of the other forms reach the
// drawing as the kinds they are: a multi-part object, a track with
// elevations, in pieces, as a circle, and a shape by two corners turned
// into a sector.
TEST_F(VelkhostProcess, SnapshotsJoinedSelectionsAndThePeersOtherForms)
{
    const fs::path out = dir / "snapped.dxf";
    Outcome r = Velkhost({"--script", Script("LINE\n0,0\n10,0\n\nMOVE\n> select last + last\n0,0\n5,0\n"
                                             "> snapshot moved.dxf\nUNDO\nREDO\n> snapshot again.dxf\n")
                                          .string(),
                          "--save", out.string(), "--machine", (dir / "machine").string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("selected 2: handle 11 AcDbLine, handle 11 AcDbLine\n"), std::string::npos) << r.output;
    const std::string moved = velktest::ReadNativeFile((dir / "machine/C/Drawings/moved.dxf").string());
    EXPECT_NE(moved.find("AcDbLine\r\n 10\r\n5.0\r\n 20\r\n0.0\r\n"), std::string::npos) << moved;
    // The snapshot made no step: UNDO and REDO are the MOVE's.
    const size_t undone = r.output.find("Undone: ");
    ASSERT_NE(undone, std::string::npos);
    EXPECT_EQ(r.output.substr(undone, 13), "Undone: MOVE\n");
    EXPECT_EQ(velktest::ReadNativeFile((dir / "machine/C/Drawings/again.dxf").string()), moved);
    EXPECT_EQ(velktest::ReadNativeFile(out.string()), moved);

    r = Velkhost({"--script", Script("> wait 5 s\n"
                                     "> peer multipart M 0,0 40,0 / 50,0 60,30\n> peer send M\n> show added\n"
                                     "> peer track T 0,0,5 40,0,7 / 50,0 60,30,9\n> peer send T\n> show added\n"
                                     "> peer track C 0,0 40,0 type=7\n> peer send C\n> show added\n"
                                     "> peer shape S 0,40 40,0 start=30 end=120\n> peer send S\n> show added\n")
                                  .string()});
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* added :
         {"  1 entity added:\n  handle 11 AcDbPolyline on layer 0: 4 vertices, linetype ByLayer, from (0.00, 0.00) "
          "to (60.00, 30.00)\n",
          "  2 entities added:\n  handle 12 AcDb3dPolyline on layer 0\n  handle 13 AcDb3dPolyline on layer 0\n",
          "  1 entity added:\n  handle 14 AcDbCircle on layer 0\n",
          "  3 entities added:\n  handle 15 AcDbArc on layer 0\n"})
        EXPECT_NE(r.output.find(added), std::string::npos) << added << r.output;

    const Outcome refused = Velkhost({"--script", Script("MOVE\n> snapshot x.dxf\n").string()});
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.lastLine.find("\"> snapshot\" cannot be done now"), std::string::npos) << refused.output;
    const Outcome half = Velkhost({"--script", Script("LINE\n0,0\n1,1\n\nERASE\n> select last +\n").string()});
    EXPECT_EQ(half.status, 1) << half.output;
    EXPECT_NE(half.lastLine.find("\"+\" joins two selections: one is missing"), std::string::npos) << half.output;
}

// A day of waiting delivers every timer due in it; the transcript says each
// day's messages, and the counts at the end hold all of them, though the
// peer lets each line's records go once they are said; what comes again and
// again is said once with its count.
TEST_F(VelkhostProcess, LongWaitsReportEveryMessage)
{
    const Outcome r = Velkhost({"--script", Script("> wait 86400 s\n> wait 86400 s\n").string()});
    ASSERT_EQ(r.status, 0) << r.output;
    // The button is set again every five seconds.
    const size_t second = r.output.find("[2] > wait 86400 s\n");
    ASSERT_NE(second, std::string::npos) << r.output;
    EXPECT_NE(r.output.find("    peer <- 20401 set button (320 bytes) answered 1, 17280 times\n", second), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("the peer at the end: 34569 requests from the plug-in, 34563 messages to it"), std::string::npos)
        << r.output;

    // Bound, with follow mode on, the timer sets the button and the follow
    // mode in turn: each day is a group said once with its count.
    const Outcome bound = Velkhost({"--script", Script("> wait 5 s\n> peer relate-ok\n> dialog 8133, choose 8135 3, ok\n"
                                                       "> click 设置属性\n> wait 86400 s\n> wait 86400 s\n")
                                                    .string()});
    ASSERT_EQ(bound.status, 0) << bound.output;
    const std::string day = "    peer <- 20401 set button (320 bytes) answered 1\n"
                            "    peer <- 20013 set follow mode (4 bytes) answered 0\n"
                            "    the 2 lines above in turn, 17280 times\n";
    const size_t first = bound.output.find("[5] > wait 86400 s\n");
    EXPECT_NE(bound.output.find(day, first), std::string::npos) << bound.output;
    EXPECT_NE(bound.output.find("[6] > wait 86400 s\n" + day, first), std::string::npos) << bound.output;
    EXPECT_LT(bound.output.size(), 20000u);
}

// A script file is read as editors save it (a byte-order mark, CRLF
// lines, CR lines of old machines); one that is a folder or not UTF-8
// fails the run, saying so.
TEST_F(VelkhostProcess, ScriptFilesAreReadAsEditorsSaveThem)
{
    const fs::path out = dir / "marked.dxf";
    Outcome r = Velkhost({"--script", Script("\xEF\xBB\xBFPOINT\r\n1,1\r\nTEXT\r\n0,0\r\n2.5\r\n\xE4\xBD\xA0\xE5\xA5\xBD\r\n").string(),
                          "--save", out.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(Entities(out).size(), 2u);
    // A CR alone ends a line too; CRs before an LF end one line with it.
    // An empty line between CRs is Enter, ending the second LINE.
    const fs::path cr = dir / "cr.dxf";
    r = Velkhost({"--script", Script("LINE\r0,0\r10,10\r\rLINE\r\r\n1,1\r\n2,2\r\rPOINT\r5,5").string(), "--save",
                  cr.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("(10 lines)"), std::string::npos) << r.output;
    std::map<std::string, int> kinds;
    for (const auto& [handle, kind] : Entities(cr)) ++kinds[kind];
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"AcDbLine", 2}, {"AcDbPoint", 1}}));

    fs::create_directories(dir / "folder.scr");
    r = Velkhost({"--script", (dir / "folder.scr").string(), "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.lastLine.find("script (the script " + (dir / "folder.scr").string() + " is a folder"),
              std::string::npos)
        << r.output;
    // UTF-16, with its byte-order mark or without, in either order of
    // bytes (one with no NUL byte: CJK text after the mark), is named.
    const std::string ascii = "POINT\n1,1\n";
    std::string little, big;
    for (char c : ascii) little += std::string(1, c) + '\0', big += std::string(1, '\0') + c;
    for (const std::string& text : {"\xFF\xFE" + little, little, "\xFE\xFF" + big, big,
                                    std::string("\xFF\xFE\x60\x4F\x7D\x59")}) {
        const std::string path = Script(text).string();
        r = Velkhost({"--script", path, "--quiet"});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.lastLine.find("the script " + path + " is UTF-16 text; save it as UTF-8"), std::string::npos)
            << r.output;
    }
    // "你好" as GBK, and a UTF-8 sequence cut short.
    for (const std::string& text : {std::string("POINT\n1,1\nTEXT\n\xC4\xE3\xBA\xC3\n"), std::string("POINT\n1,1\n\n\xE4\xBD")}) {
        r = Velkhost({"--script", Script(text).string(), "--quiet"});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.lastLine.find("is not UTF-8 text (line 4)"), std::string::npos) << r.output;
    }
}

// ";" starts a comment; a text answer holding ";" or blanks at its ends is
// written in quotes, and a quote inside unquoted text is only a character.
TEST_F(VelkhostProcess, TextAnswersInQuotesKeepSemicolons)
{
    const fs::path out = dir / "texts.dxf";
    const Outcome r = Velkhost({"--script",
                                Script("TEXT\n0,0\n2.5\n\"A;B\" ; a comment\n"
                                       "TEXT\n0,10\n2.5\n12\" pipe ; inches\n"
                                       "TEXT\n0,20\n2.5\n\" say \\\"hi\\\" \\\\ \"\n")
                                    .string(),
                                "--save", out.string(), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<std::string> texts;
    const std::wstring copy = L"C:\\read\\texts.dxf";
    fs::create_directories(fs::path(standin::NativePath(copy)).parent_path());
    fs::copy_file(out, standin::NativePath(copy));
    OdDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(copy.c_str()), eOk);
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db.getModelSpaceId(), OdDb::kForRead), eOk);
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbText* t = nullptr;
        if (oddbOpenObject(t, id, OdDb::kForRead) != eOk) continue;
        texts.push_back(standin::WideToUtf8(t->textString().c_str()));
        t->close();
    }
    ms->close();
    EXPECT_EQ(texts, (std::vector<std::string>{"A;B", "12\" pipe", " say \"hi\" \\ "}));

    const Outcome unclosed = Velkhost({"--script", Script("TEXT\n0,0\n2.5\n\"A;B\n").string(), "--quiet"});
    EXPECT_EQ(unclosed.status, 1) << unclosed.output;
    EXPECT_NE(unclosed.lastLine.find("script line 4 (a text in quotes takes the whole line"), std::string::npos)
        << unclosed.output;
}

// Windows the script gave no answer for take what a user pressing Enter or
// Escape would: a message box its default button, a dialog Cancel; the
// transcript says each.
TEST_F(VelkhostProcess, UnansweredWindowsAreSaidInTheTranscript)
{
    const Outcome r = Velkhost({"--script", Script("> click 设置属性\ntestConnect\n").string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("  dialog 8133 was shown and, with no answer from the script, cancelled\n"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("  message box: \"测试数据接收成功！\", answered 确定\n"), std::string::npos) << r.output;
}

// Every command of the host can be scripted: drawing, editing, undo and
// redo, the view, layers and the file commands.
TEST_F(VelkhostProcess, EveryHostCommandCanBeScripted)
{
    const fs::path out = dir / "every.dxf";
    const Outcome r = Velkhost({"--script", std::string(VELK_TEST_DATA_DIR) + "/every_command.scr", "--save", out.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* command : {"LINE", "POINT", "TEXT", "MTEXT", "RECTANG", "HATCH", "COPY", "MOVE", "ERASE", "UNDO",
                                "REDO", "ZOOM", "-LAYER", "SAVEAS", "QSAVE", "OPEN", "CLOSE"})
        EXPECT_NE(r.output.find("Command: " + std::string(command) + "\n"), std::string::npos) << command;
    std::map<std::string, int> kinds;
    for (const auto& [handle, kind] : Entities(out)) ++kinds[kind];
    // The text erased, brought back, erased again and brought back.
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"AcDbHatch", 1}, {"AcDbLine", 2}, {"AcDbMText", 1}, {"AcDbPoint", 1},
                                                {"AcDbPolyline", 2}, {"AcDbText", 1}}));
}

// Every command velkhost knows, the host's and the module's, is one step
// of UNDO, whether or not it changed the drawing: after each, answered so
// that it changes nothing where it can (what is on a locked layer
// selected, Enter), UNDO takes back that command alone and names it.
// UNDO, REDO and the commands that open and close a drawing are no steps.
TEST_F(VelkhostProcess, UndoTakesBackEachCommandAloneAndNamesIt)
{
    const Outcome listed = Velkhost({"--script", Script("> show commands\n").string()});
    ASSERT_EQ(listed.status, 0) << listed.output;
    std::vector<std::string> names;
    for (const char* which : {"  the host's commands:", "  registered commands:"}) {
        const size_t at = listed.output.find(which);
        ASSERT_NE(at, std::string::npos) << listed.output;
        std::istringstream line(listed.output.substr(at + strlen(which), listed.output.find('\n', at) - at - strlen(which)));
        for (std::string name; line >> name;) names.push_back(name);
    }
    // What each command is answered with.
    const std::map<std::string, std::string> answers = {
        {"LINE", "\n"}, {"POINT", "3,3\n"}, {"TEXT", "1,1\n2.5\n\n"}, {"DTEXT", "1,1\n2.5\n\n"},
        {"MTEXT", "0,0\n5,5\n\n"}, {"RECTANG", "0,0\n1,1\n"}, {"HATCH", "> select last\n"},
        {"BHATCH", "> select last\n"}, {"ERASE", "> select layer L\n"}, {"MOVE", "> select layer L\n0,0\n1,1\n"},
        {"COPY", "> select layer L\n0,0\n1,1\n\n"}, {"IMAGEFRAME", "1\n"}, {"ZOOM", "E\n"}, {"-LAYER", "\n"},
        {"LAYER", "\n"}, {"QSAVE", "C:\\Drawings\\q.dxf\n"}, {"SAVEAS", "C:\\Drawings\\s.dxf\n"},
        {"APPLOAD", "C:\\Program Files\\CadHost\\Plugins\\Velk\\VelkGrx2020(x64).grx\n"}, {"VELK", ""},
        {"testConnect", ""}};
    const std::set<std::string> noStep = {"UNDO", "REDO", "OPEN", "CLOSE", "QUIT"};
    // A point on the locked layer L, and a line moved.
    std::string script = "-LAYER\nMake\nL\n\nPOINT\n9,9\n-LAYER\nSet\n0\nLock\nL\n\n"
                         "LINE\n0,0\n10,0\n\nMOVE\n> select last\n0,0\n5,5\n";
    std::vector<std::string> undone;
    for (const std::string& name : names) {
        if (noStep.count(name)) continue;
        const auto it = answers.find(name);
        if (it == answers.end()) {
            ADD_FAILURE() << "no answers for the command " << name;
            continue;
        }
        script += name + "\n" + it->second + "UNDO\n";
        undone.push_back(name);
    }
    EXPECT_EQ(undone.size() + noStep.size(), names.size());
    script += "UNDO\n";
    undone.push_back("MOVE");
    const fs::path out = dir / "undone.dxf";
    const Outcome r = Velkhost({"--script", Script(script).string(), "--save", out.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    size_t at = 0;
    for (const std::string& name : undone) {
        at = r.output.find("Undone: " + name + "\n", at);
        ASSERT_NE(at, std::string::npos) << "UNDO did not take back " << name << "\n" << r.output;
        ++at;
    }
    // The point and the line, where it was drawn.
    EXPECT_EQ(Entities(out).size(), 2u) << r.output;
    const std::string saved = velktest::ReadNativeFile(out.string());
    EXPECT_NE(saved.find("AcDbLine\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n"), std::string::npos);
}

// An output into a folder that does not exist is refused before anything
// runs, as cp refuses it: exit status 1, the folder named, no folder made
// and the machine folder not touched.
TEST_F(VelkhostProcess, OutputsGoOnlyIntoFoldersThatExist)
{
    const fs::path machine = dir / "m";
    ASSERT_EQ(Velkhost({"--machine", machine.string(), "--quiet"}).status, 0);
    velktest::WriteNativeFile((machine / "C" / "kept.txt").string(), "a file of the user's");
    const fs::path missing = dir / "nonexistent" / "dir";
    const fs::path script = Script("POINT\n1,1\n");
    for (const char* option : {"--save", "--png"}) {
        const std::string file = (missing / (option == std::string("--save") ? "x.dxf" : "x.png")).string();
        const std::string step = option == std::string("--save") ? "save" : "picture";
        const Outcome r = Velkhost({"--machine", machine.string(), "--script", script.string(), option, file});
        EXPECT_EQ(r.status, 1) << r.output;
        const std::string why = "cannot write " + file + ": the folder " + missing.string() +
                                " does not exist; velkhost makes no folder for an output";
        EXPECT_NE(r.output.find("FAILED: " + step + ": " + why + "\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("nothing was run"), std::string::npos) << r.output;
        EXPECT_EQ(r.lastLine, "velkhost: 1 step failed: " + step + " (" + why + ")");
        EXPECT_EQ(r.output.find("open:"), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(dir / "nonexistent"));
        EXPECT_TRUE(fs::exists(machine / "C" / "kept.txt"));
    }
    // An output that names a folder is refused before the script runs too.
    const fs::path folder = dir / "a-folder";
    fs::create_directories(folder);
    for (const char* option : {"--save", "--png"}) {
        const std::string step = option == std::string("--save") ? "save" : "picture";
        const Outcome r = Velkhost({"--machine", machine.string(), "--script", script.string(), option, folder.string()});
        EXPECT_EQ(r.status, 1) << r.output;
        const std::string why = "cannot write " + folder.string() + ": it is a folder, not a file";
        EXPECT_NE(r.output.find("FAILED: " + step + ": " + why + "\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("nothing was run"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Command: POINT"), std::string::npos) << r.output;
        EXPECT_TRUE(fs::is_directory(folder));
    }
}

// A save that cannot be written, a missing drawing and files that are no
// readable DXF each end the run non-zero, naming the file.
TEST_F(VelkhostProcess, FailuresExitNonZeroWithTheirMessage)
{
    const fs::path input = UserDrawing();
    velktest::WriteNativeFile((dir / "plain-file").string(), "x");
    Outcome r = Velkhost({"--drawing", input.string(), "--save", (dir / "plain-file" / "out.dxf").string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.lastLine.find("save ("), std::string::npos) << r.output;
    EXPECT_NE(r.lastLine.find("plain-file"), std::string::npos) << r.output;
    EXPECT_NE(r.lastLine.find("cannot write"), std::string::npos) << r.output;

    // A module that cannot be loaded says why.
    velktest::WriteNativeFile((dir / "not-a-module.grx").string(), "text");
    r = Velkhost({"--module", (dir / "not-a-module.grx").string(), "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.lastLine.find("load (the host did not load " + (dir / "not-a-module.grx").string() + ": "),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.lastLine.find("file too short"), std::string::npos) << r.output;

    const std::string dxf = velktest::ReadNativeFile(input.string());
    // The cut falls inside the ENTITIES section.
    const size_t entities = dxf.find("ENTITIES");
    ASSERT_NE(entities, std::string::npos);
    const std::string cut = dxf.substr(0, dxf.find('\n', entities + 200) + 1);
    const size_t cutLines = (size_t)std::count(cut.begin(), cut.end(), '\n');
    struct Bad {
        std::string name, bytes, why;
    };
    const Bad bad[] = {
        {"missing.dxf", "", "does not exist"},
        {"binary.dxf", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + std::string(200, '\x01'),
         "binary DXF is not read; save it as an ASCII DXF"},
        {"drawing.dwg", std::string("AC1027") + std::string(300, '\0'),
         "it is a DWG drawing (version AC1027), which is not read; save it as an ASCII DXF"},
        {"picture.dxf", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, '\0'), "it is a PNG image, not a DXF file"},
        {"cut.dxf", cut, "the file is cut short: it ends at line " + std::to_string(cutLines) + ", inside section ENTITIES"},
        {"group.dxf", "  0\nSECTION\n  2\nHEADER\nnot a code\n", "line 5"},
    };
    for (const Bad& b : bad) {
        const fs::path file = dir / "bad" / b.name;
        if (b.name != "missing.dxf") velktest::WriteNativeFile(file.string(), b.bytes);
        r = Velkhost({"--drawing", file.string(), "--save", (dir / "never.dxf").string()});
        EXPECT_EQ(r.status, 1) << b.name << r.output;
        EXPECT_NE(r.lastLine.find("open ("), std::string::npos) << b.name << r.output;
        EXPECT_NE(r.lastLine.find(file.string()), std::string::npos) << b.name << r.output;
        EXPECT_NE(r.lastLine.find(b.why), std::string::npos) << b.name << r.output;
        EXPECT_FALSE(fs::exists(dir / "never.dxf")) << b.name;
    }
}

// The demo on a small drawing of the user's far from where it works (a
// line and a text near the origin): every step succeeds, the picture of
// everything included, and the demo's pictures stay on its site, wider
// than high, instead of shrinking it to a sliver of the whole extent.
TEST_F(VelkhostProcess, TheDemoRunsOnASmallDrawingFarFromItsSite)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\u\\mine.dxf")->database();
    velktest::AppendEntity(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(100, 50, 0)));
    velktest::AppendEntity(db, new OdDbText(OdGePoint3d(10, 10, 0), L"hello", OdDbObjectId::kNull, 5));
    CreateDirectoryW(L"C:\\u", nullptr);
    ASSERT_EQ(db->saveAs(L"C:\\u\\mine.dxf"), eOk);
    const fs::path input = dir / "in" / "mine.dxf", machine = dir / "machine", png = dir / "all.png";
    fs::create_directories(input.parent_path());
    fs::copy_file(standin::NativePath(L"C:\\u\\mine.dxf"), input);
    // At 1200 pixels the capture is some 40,000 times finer than the picture.
    const Outcome r = Velkhost({"--demo", "--drawing", input.string(), "--machine", machine.string(), "--png",
                                png.string(), "--png-size", "1200", "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.lastLine, "velkhost: every step succeeded") << r.output;
    // Width and height from the PNG's header.
    auto size = [](const fs::path& file, uint32_t& w, uint32_t& h) {
        const std::string bytes = velktest::ReadNativeFile(file.string());
        if (bytes.size() < 24 || bytes.compare(12, 4, "IHDR") != 0) return false;
        auto word = [&](size_t at) {
            uint32_t v = 0;
            for (size_t i = at; i < at + 4; ++i) v = v << 8 | (uint8_t)bytes[i];
            return v;
        };
        w = word(16), h = word(20);
        return true;
    };
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(size(png, w, h)) << png;
    for (const char* name : {"demo-basemap-tiles.png", "contours-and-section.png", "contours-labels.png"}) {
        ASSERT_TRUE(size(machine / "C" / "Drawings" / name, w, h)) << name;
        EXPECT_GT(w, h) << name;
    }
}

// ---- Outputs written as cp writes them; inputs that end cleanly ----

// A velkhost run whose standard output goes to `out` (-1: a pipe whose
// reader has gone), its standard error read back. `user` other than 0 runs
// it as that user and group; `ignorePipe` starts it with SIGPIPE ignored.
struct Detached {
    int status = -1;
    std::string errors;
};

Detached RunDetached(const std::vector<std::string>& args, int out, const std::string& tmpdir, uid_t user = 0,
                     bool ignorePipe = false)
{
    std::vector<std::string> all = {VELKHOST_PROGRAM, "--module", VELK_MODULE_FILE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string tmp = "TMPDIR=" + tmpdir;
    for (char** e = environ; *e; ++e)
        if (strncmp(*e, "TMPDIR=", 7) != 0) envp.push_back(*e);
    envp.push_back(tmp.data());
    envp.push_back(nullptr);
    Detached r;
    int errors[2], gone[2] = {-1, -1};
    if (pipe2(errors, O_CLOEXEC) != 0) return r;
    if (out < 0) {
        if (pipe2(gone, O_CLOEXEC) != 0) return r;
        close(gone[0]);
        out = gone[1];
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out, 1);
        dup2(errors[1], 2);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(signal, SIG_DFL);
        if (ignorePipe) ::signal(SIGPIPE, SIG_IGN);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (user && (setgroups(0, nullptr) != 0 || setgid(user) != 0 || setuid(user) != 0)) _exit(126);
        execve(VELKHOST_PROGRAM, argv.data(), envp.data());
        _exit(127);
    }
    close(errors[1]);
    if (gone[1] >= 0) close(gone[1]);
    // Read to its end; two minutes only as a safety net.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (pid > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p = {errors[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, (int)left.count()) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        char buf[4096];
        const ssize_t n = read(errors[0], buf, sizeof buf);
        if (n <= 0) break;
        r.errors.append(buf, (size_t)n);
    }
    close(errors[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) r.status = status;
    return r;
}

// A file replaced keeps its owner, group and mode; one with other hard
// links is written in place, so that every name shows the new content.
TEST_F(VelkhostProcess, AReplacedOutputKeepsItsOwnerModeAndLinks)
{
    const fs::path folder = dir / "kept", fresh = dir / "fresh.dxf";
    fs::create_directories(folder);
    velktest::WriteNativeFile(fresh.string(), "the new drawing");
    std::string error;
    struct stat st;

    const fs::path shared = folder / "shared.dxf", other = folder / "other-name.dxf";
    velktest::WriteNativeFile(shared.string(), "old");
    ASSERT_EQ(link(shared.c_str(), other.c_str()), 0);
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    const ino_t inode = st.st_ino;
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, shared.string(), error)) << error;
    EXPECT_EQ(velktest::ReadNativeFile(other.string()), "the new drawing");
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode);
    EXPECT_EQ(st.st_nlink, 2u);

    const fs::path mine = folder / "mode.dxf";
    velktest::WriteNativeFile(mine.string(), "old");
    ASSERT_EQ(chmod(mine.c_str(), 0604), 0);
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, mine.string(), error)) << error;
    ASSERT_EQ(stat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(velktest::ReadNativeFile(mine.string()), "the new drawing");

    // Extended attributes go along, an access list among them (owner rw,
    // user 65534 r, group r, mask r, others nothing).
    const fs::path tagged = folder / "tagged.dxf";
    velktest::WriteNativeFile(tagged.string(), "old");
    struct AclEntry {
        uint16_t tag, perm;
        uint32_t id;
    };
    struct {
        uint32_t version;
        AclEntry entries[5];
    } acl = {2, {{0x01, 6, ~0u}, {0x02, 4, 65534}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}}};
    ASSERT_EQ(setxattr(tagged.c_str(), "user.velkhost", "kept", 4, 0), 0) << strerror(errno);
    ASSERT_EQ(setxattr(tagged.c_str(), "system.posix_acl_access", &acl, sizeof acl, 0), 0) << strerror(errno);
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, tagged.string(), error)) << error;
    EXPECT_EQ(velktest::ReadNativeFile(tagged.string()), "the new drawing");
    char value[256];
    ASSERT_EQ(getxattr(tagged.c_str(), "user.velkhost", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "kept");
    ASSERT_EQ(getxattr(tagged.c_str(), "system.posix_acl_access", value, sizeof value), (ssize_t)sizeof acl);
    EXPECT_EQ(memcmp(value, &acl, sizeof acl), 0);
    if (geteuid() != 0) return;  // the rest takes giving a file to another user

    // In a setgid folder a new file takes the folder's group: the one
    // replaced keeps its own.
    const fs::path sharedFolder = folder / "setgid", grouped = sharedFolder / "group.dxf";
    fs::create_directories(sharedFolder);
    ASSERT_EQ(chown(sharedFolder.c_str(), 0, 65534), 0);
    ASSERT_EQ(chmod(sharedFolder.c_str(), 02775), 0);
    velktest::WriteNativeFile(grouped.string(), "old");
    ASSERT_EQ(chown(grouped.c_str(), 0, 0), 0);
    ASSERT_TRUE(velkhost::ReplaceFile(fresh, grouped.string(), error)) << error;
    ASSERT_EQ(stat(grouped.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 0u);
    EXPECT_EQ(velktest::ReadNativeFile(grouped.string()), "the new drawing");

    // Another user's file, 640, and a read-only one root may write: both
    // replaced (beside and renamed) as they were.
    const fs::path theirs = folder / "theirs.dxf", readOnly = folder / "read-only.dxf";
    velktest::WriteNativeFile(theirs.string(), "old");
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(theirs.c_str(), 0640), 0);
    velktest::WriteNativeFile(readOnly.string(), "old");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    for (const fs::path& f : {theirs, readOnly}) ASSERT_TRUE(velkhost::ReplaceFile(fresh, f.string(), error)) << error;
    ASSERT_EQ(stat(theirs.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(velktest::ReadNativeFile(theirs.string()), "the new drawing");
    ASSERT_EQ(stat(readOnly.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(velktest::ReadNativeFile(readOnly.string()), "the new drawing");
    for (const auto& e : fs::directory_iterator(folder)) EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

// A picture's line counts what it does not draw, by the kind the file gave
// it; a drawing of nothing else fails saying so. A leader is drawn.
TEST_F(VelkhostProcess, ThePictureLineNamesWhatItDoesNotDraw)
{
    const std::string xline = "0\nXLINE\n100\nAcDbEntity\n8\n0\n100\nAcDbXline\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n";
    const std::string leader = "0\nLEADER\n100\nAcDbEntity\n8\n0\n100\nAcDbLeader\n71\n1\n76\n2\n10\n0\n20\n0\n30\n0\n"
                               "10\n10\n20\n10\n30\n0\n";
    auto drawing = [&](const std::string& name, const std::string& entities) {
        const fs::path file = dir / name;
        std::ofstream(file) << "0\nSECTION\n2\nENTITIES\n" << entities << "0\nENDSEC\n0\nEOF\n";
        return file.string();
    };
    const fs::path png = dir / "kinds.png";
    Outcome r = Velkhost({"--drawing", drawing("both.dxf", xline + leader), "--png", png.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(", 2 entities, 1 entity not drawn (1 XLINE))"), std::string::npos) << r.output;
    r = Velkhost({"--drawing", drawing("xline.dxf", xline), "--png", png.string(), "--overwrite", "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("FAILED: picture: nothing in model space can be drawn: 1 entity is of a kind the picture "
                            "does not draw or has no drawable points (1 XLINE)"),
              std::string::npos)
        << r.output;
}

// --save naming a link to the file --png names is refused though that file
// is not there yet (the picture would replace the drawing); a window that
// is not finite, or wider than a number holds, is a usage error; a
// drawing whose extents no number holds is not pictured, and says why.
TEST_F(VelkhostProcess, OutputsAndWindowsThatCannotBeAreRefused)
{
    const fs::path link = dir / "link.dxf", png = dir / "picture.png";
    fs::create_symlink(png.filename(), link);
    Outcome r = Velkhost({"--save", link.string(), "--png", png.string(), "--quiet"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("--save and --png name the same file"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(png));

    // Links are followed as the file system follows them: a ".." after a
    // linked folder leaves the folder the link leads to.
    const fs::path x = dir / "x", a = dir / "a";
    fs::create_directories(x / "y");
    fs::create_symlink(x / "y", a);
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "tools/host/demo.dxf", x / "in.dxf");
    velktest::WriteNativeFile((x / "other.dxf").string(), "mine");
    r = Velkhost({"--drawing", (x / "in.dxf").string(), "--save", (a / ".." / "other.dxf").string(), "--quiet"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("other.dxf is a file beside the input drawing; give --overwrite"), std::string::npos)
        << r.output;
    EXPECT_EQ(velktest::ReadNativeFile((x / "other.dxf").string()), "mine");
    fs::create_symlink("../X.png", x / "y" / "L.dxf");
    const std::string point = Script("POINT\n1,1\n").string();
    for (const fs::path& save : {a / "L.dxf", a / ".." / "X.png"}) {
        r = Velkhost({"--script", point, "--save", save.string(), "--png", (x / "X.png").string(), "--quiet"});
        EXPECT_EQ(r.status, 2) << save << r.output;
        EXPECT_NE(r.output.find("--save and --png name the same file"), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(x / "X.png"));
    }

    for (const char* window : {"0,0,inf,1", "nan,0,1,1", "0,-inf,1,1", "-1e308,0,1e308,1"}) {
        r = Velkhost({"--png", png.string(), "--png-window", window, "--quiet"});
        EXPECT_EQ(r.status, 2) << window << r.output;
        EXPECT_NE(r.output.find("--png-window takes X0,Y0,X1,Y1, finite numbers"), std::string::npos) << r.output;
        // Finite and in order, yet wider than a number holds: said so.
        EXPECT_EQ(r.output.find("(its width or height is beyond what a number holds)") != std::string::npos,
                  std::string(window) == "-1e308,0,1e308,1")
            << r.output;
    }

    // A curve whose length no number holds is not drawn, and said so.
    r = Velkhost({"--script", Script("LINE\n0,0\n1e200,1e200\n\n").string(), "--png", png.string(), "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("FAILED: picture: nothing in model space can be drawn: 1 curve has no drawable points "
                            "(1 Line; points or a length beyond what a number holds)"),
              std::string::npos)
        << r.output;
    r = Velkhost({"--script", Script("LINE\n0,0\n1e200,1e200\n\nPOINT\n1,1\n").string(), "--png", png.string(),
                  "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(", 2 entities, 1 curve beyond what a number holds, not drawn)"), std::string::npos)
        << r.output;
    fs::remove(png);

    const fs::path temp = dir / "tmp";
    fs::create_directories(temp);
    const std::string script = Script("POINT\n1e308,0\nPOINT\n-1e308,0\n").string();
    const fs::path transcript = dir / "transcript.txt";
    const int out = open(transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
    const Detached far = RunDetached({"--script", script, "--png", png.string(), "--quiet"}, out, temp.string());
    close(out);
    EXPECT_TRUE(WIFEXITED(far.status) && WEXITSTATUS(far.status) == 1) << far.status << far.errors;
    EXPECT_NE(velktest::ReadNativeFile(transcript.string())
                  .find("FAILED: picture: model space from (-1e+308, 0) to (1e+308, 0) is too large to picture"),
              std::string::npos)
        << velktest::ReadNativeFile(transcript.string()) << far.errors;
    EXPECT_FALSE(fs::exists(png));
    EXPECT_TRUE(fs::is_empty(temp));
}

// Standard output that cannot be written: a closed pipe stops the run as an
// interrupt does and ends it by SIGPIPE, its temporary machine folder
// removed (exit status 1, saying so, when SIGPIPE is ignored), whether the
// transcript or a drawing saved there was written into it; a full disk
// (/dev/full) is exit status 1 with a message on standard error.
TEST_F(VelkhostProcess, AnOutputThatCannotBeWrittenEndsTheRunCleanly)
{
    const fs::path temp = dir / "tmp", machine = dir / "machine";
    fs::create_directories(temp);
    const std::string script = Script("POINT\n1,1\n> wait 5 s\n").string();
    Detached r = RunDetached({"--script", script}, -1, temp.string());
    EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGPIPE) << r.status << r.errors;
    EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();
    // A kept folder is released: it has its list of what the run made.
    r = RunDetached({"--script", script, "--machine", machine.string()}, -1, temp.string(), 0, true);
    EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 1) << r.status << r.errors;
    EXPECT_EQ(r.errors, "velkhost: cannot write to standard output: Broken pipe\n");
    EXPECT_TRUE(fs::exists(machine / ".velkhost-made"));

    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--script", script},
                                                  std::vector<std::string>{"--help"}}) {
        r = RunDetached(args, full, temp.string());
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 1) << r.status << r.errors;
        EXPECT_EQ(r.errors, "velkhost: cannot write to standard output: No space left on device\n");
    }
    close(full);
    EXPECT_TRUE(fs::is_empty(temp));

    // A drawing saved to standard output whose reader goes away after ten
    // bytes (`--save /dev/stdout | head -c 10`) ends the run the same way;
    // a caller ignoring SIGPIPE has it exit 1. The transcript, on standard
    // error, says what was not done.
    for (const bool ignored : {false, true}) {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        // The drawing outgrows the pipe: it is still being written when the
        // reader goes.
        fcntl(fds[1], F_SETPIPE_SZ, 4096);
        std::thread head([reader = fds[0]] {
            char ten[10];
            for (size_t got = 0; got < sizeof ten;) {
                const ssize_t n = read(reader, ten + got, sizeof ten - got);
                if (n <= 0) break;
                got += (size_t)n;
            }
            close(reader);
        });
        r = RunDetached({"--drawing", VELK_SOURCE_DIR "/tools/host/demo.dxf", "--save", "/dev/stdout"}, fds[1],
                        temp.string(), 0, ignored);
        close(fds[1]);
        head.join();
        if (ignored) EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 1) << r.status << r.errors;
        else EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGPIPE) << r.status << r.errors;
        EXPECT_NE(r.errors.find("FAILED: save: cannot write /dev/stdout: Broken pipe\n"), std::string::npos) << r.errors;
        EXPECT_NE(r.errors.find("velkhost: interrupted by a closed output pipe (SIGPIPE): the drawing was not saved to "
                                "/dev/stdout; 1 step failed"),
                  std::string::npos)
            << r.errors;
    }
    EXPECT_TRUE(fs::is_empty(temp));
}

// A pipe no one reads, named as --save, holds the run only until a signal:
// the single SIGTERM timeout sends ends it, the save failed, the temporary
// machine folder removed.
TEST_F(VelkhostProcess, ASignalEndsARunWaitingOnAnOutput)
{
    const fs::path temp = dir / "tmp", fifo = dir / "nobody-reads.dxf";
    fs::create_directories(temp);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Child run({"--save", fifo.string()}, temp.string());
    ASSERT_TRUE(run.ReadUntil("Command: SAVEAS\n")) << run.output;
    kill(run.pid, SIGTERM);
    // The minute is a safety net only: the run ends at once.
    EXPECT_FALSE(run.ReadUntil(std::string(1, '\0'), 60));
    const int ended = (int)syscall(SYS_pidfd_open, run.pid, 0);
    ASSERT_GE(ended, 0) << strerror(errno);
    pollfd p = {ended, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 60000), 1);
    close(ended);
    int status = 0;
    ASSERT_EQ(waitpid(run.pid, &status, WNOHANG), run.pid) << run.output;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status << run.output;
    EXPECT_NE(run.output.find("FAILED: save: cannot write " + fifo.string() +
                              ": the run was stopped while it waited to write it\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(LastLine(run.output).substr(0, 78 + fifo.string().size()),
              "velkhost: interrupted by SIGTERM: the drawing was not saved to " + fifo.string() + "; 1 step failed")
        << run.output;
    EXPECT_TRUE(fs::is_empty(temp));

    // Standard output no one reads (a full pipe) holds the run only until
    // a signal too: what it cannot take then is dropped.
    {
        std::string text;
        for (int i = 0; i < 3000; ++i) text += "POINT\n" + std::to_string(i) + ",1\n";
        const fs::path script = dir / "held-output.scr";
        ASSERT_EQ(mkfifo(script.c_str(), 0600), 0);
        Child held({"--script", script.string()}, temp.string(), true);
        const int writer = OpenWriter(script, held);
        ASSERT_GE(writer, 0);
        WriteAll(writer, text);
        close(writer);
        kill(held.pid, SIGTERM);
        const int gone = (int)syscall(SYS_pidfd_open, held.pid, 0);
        ASSERT_GE(gone, 0) << strerror(errno);
        pollfd q = {gone, POLLIN, 0};
        // The minute is a safety net only.
        EXPECT_EQ(poll(&q, 1, 60000), 1);
        close(gone);
        ASSERT_EQ(waitpid(held.pid, &status, WNOHANG), held.pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        EXPECT_TRUE(fs::is_empty(temp));
    }

    // A socket is no pipe: open refuses it at once, and the save fails.
    const fs::path socketFile = dir / "socket.dxf", transcript = dir / "socket.txt";
    const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketFile.string().size(), sizeof address.sun_path);
    strcpy(address.sun_path, socketFile.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << strerror(errno);
    const int out = open(transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
    const Detached r = RunDetached({"--save", socketFile.string(), "--quiet"}, out, temp.string());
    close(out);
    close(sock);
    EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 1) << r.status << r.errors;
    EXPECT_NE(velktest::ReadNativeFile(transcript.string())
                  .find("FAILED: save: cannot write " + socketFile.string() + ": No such device or address"),
              std::string::npos)
        << velktest::ReadNativeFile(transcript.string());
}

// A script is refused as it is read when it cannot be one: a NUL byte
// (/dev/zero), a line longer than a line may be, a script longer than
// velkhost reads (an endless pipe), each naming the line, none of it run.
TEST_F(VelkhostProcess, EndlessOrBinaryScriptsAreRefusedAsTheyAreRead)
{
    Outcome r = Velkhost({"--script", "/dev/zero", "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.lastLine, "velkhost: 1 step failed: script (the script /dev/zero holds a NUL byte on line 1: it is "
                          "no text)")
        << r.output;
    const std::string longLine = Script("POINT\n1,1\n" + std::string(70000, 'x') + "\n").string();
    r = Velkhost({"--script", longLine, "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.lastLine.find("line 3 of the script " + longLine + " is longer than 65536 bytes"), std::string::npos)
        << r.output;
    // A line's end (CR LF) and a byte-order mark do not count toward it.
    const std::string full = "; " + std::string(65534, 'x');
    r = Velkhost({"--script", Script("\xEF\xBB\xBF" + full + "\r\nPOINT\r\n1,1\r\n" + full + "\r\n").string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.lastLine;
    const std::string endless = Quoted(VELKHOST_PROGRAM) + " --module " + Quoted(VELK_MODULE_FILE) +
                                " --script /dev/stdin --quiet 2>&1";
    FILE* pipe = popen(("yes POINT | " + endless).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << output;
    EXPECT_NE(output.find("FAILED: script: the script /dev/stdin is longer than 16 MiB (16777216 bytes)"),
              std::string::npos)
        << output;
}

// Sets a file's flags (FS_APPEND_FL, FS_IMMUTABLE_FL); false when the file
// system or the user's rights do not allow it.
bool SetFileFlags(const fs::path& file, int flags)
{
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

// A folder under /tmp that other users may enter, removed with all it
// holds when the test ends, however it ends.
struct OpenTempFolder {
    explicit OpenTempFolder(const std::string& name)
    {
        std::string pattern = "/tmp/" + name + "-XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
        chmod(path.c_str(), 0755);
    }
    ~OpenTempFolder()
    {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
            chmod(it->path().c_str(), 0755);
            SetFileFlags(it->path(), 0);
        }
        fs::remove_all(path, ec);
    }
    fs::path path;
};

// What cannot be removed from one's own machine folder is found before
// anything is cleared, the run refused and every file kept: a folder one
// may not write (read-only), one in a sticky folder of another user's, and
// one in an append-only folder.
// Twenty files lie where clearing would reach them first, whatever order
// the folder is read in.
TEST_F(VelkhostProcess, AMachineFolderThatCannotBeClearedIsLeftWhole)
{
    if (geteuid() != 0) GTEST_SKIP() << "takes running velkhost as another user";
    const uid_t user = 65534;
    struct Case {
        std::string blocked, message;
    };
    const Case cases[] = {{"C/p/k", "C/p cannot be cleared (Permission denied)"},
                          {"C/st/sub", "C/st/sub cannot be removed (Operation not permitted)"},
                          {"C/ap/k", "C/ap cannot be removed (Operation not permitted)"}};
    for (const Case& c : cases) {
        OpenTempFolder base("velkhost-clear");
        ASSERT_FALSE(base.path.empty());
        const fs::path machine = base.path / "machine", blocked = machine / c.blocked;
        ASSERT_EQ(Velkhost({"--machine", machine.string(), "--quiet"}).status, 0);
        fs::create_directories(blocked);
        for (int i = 0; i < 20; ++i) velktest::WriteNativeFile((blocked / std::to_string(i)).string(), "x");
        for (const auto& e : fs::recursive_directory_iterator(machine)) lchown(e.path().c_str(), user, user);
        ASSERT_EQ(chown(machine.c_str(), user, user), 0);
        if (c.blocked == "C/p/k") {
            ASSERT_EQ(chmod(blocked.parent_path().c_str(), 0555), 0);
        } else if (c.blocked == "C/ap/k") {
            if (!SetFileFlags(blocked.parent_path(), FS_APPEND_FL)) continue;  // no right to set it here
        } else {
            // Root's sticky folder, open to all, holding root's folder.
            ASSERT_EQ(chown(blocked.parent_path().c_str(), 0, 0), 0);
            ASSERT_EQ(chmod(blocked.parent_path().c_str(), 01777), 0);
            ASSERT_EQ(chown(blocked.c_str(), 0, 0), 0);
            ASSERT_EQ(chmod(blocked.c_str(), 0777), 0);
        }
        const Detached r = RunDetached({"--machine", machine.string(), "--quiet"}, -1, base.path.string(), user);
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 2) << r.status << r.errors;
        EXPECT_EQ(r.errors, "velkhost: the machine folder " + machine.string() + " is refused: " + c.message +
                                "; nothing in it was cleared\n");
        size_t left = 0;
        for (int i = 0; i < 20; ++i) left += fs::exists(blocked / std::to_string(i));
        EXPECT_EQ(left, 20u) << c.blocked;
    }
}

// SAVEAS through a link that leads out of the machine says so.
TEST_F(VelkhostProcess, SaveAsSaysALinkLeadsOut)
{
    OpenTempFolder outside("velkhost-outside");
    ASSERT_FALSE(outside.path.empty());
    const fs::path links = standin::NativePath(L"C:\\links");
    fs::create_directories(links);
    fs::create_symlink(outside.path, links / "out");
    standin::CreateDocument(L"Drawing1.dwg");
    const size_t before = standin::CommandLineText().size();
    standin::QueueText(L"C:\\links\\out\\x.dxf");
    standin::InvokeCommand(L"SAVEAS");
    EXPECT_EQ(standin::CommandLineText().substr(before),
              L"\nThe drawing cannot be saved as C:\\links\\out\\x.dxf: it leads out of the machine through a link.");
    EXPECT_TRUE(fs::is_empty(outside.path));
}

// ---- edits on every kind of entity, locked and frozen layers ----

// Runs the script of tests/tools/host/data with the arguments; its
// output, and false when it exits non-zero.
bool DataScript(const std::string& script, const std::string& args, std::string& output)
{
    const std::string command = "/usr/bin/python3 " + Quoted(std::string(VELK_SOURCE_DIR) + "/tests/tools/host/data/" +
                                                           script) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    return pclose(pipe) == 0;
}

bool EditKinds(const std::string& args, std::string& output) { return DataScript("edit_kinds.py", args, output); }

// A drawing of one entity of every kind ezdxf makes (3DFACE, TRACE, MESH,
// LEADER, MULTILEADER, XLINE, RAY, TOLERANCE, MPOLYGON, and ARC_DIMENSION
// with its graphics block among them), with a block
// reference with an attribute, a line on a locked layer and a circle on a
// frozen one: MOVE of all by 10,0 moves each by its own geometry, as
// ezdxf reads the saved drawing, and the locked and frozen ones stay. COPY
// doubles what it takes, each copy moved. Records written without subclass
// markers move too. A kind that cannot be transformed (a 3DSOLID) is named
// and fails the step.
TEST_F(VelkhostProcess, EditsMoveAndCopyEveryKindAndLeaveLockedAndFrozenLayers)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path kinds = dir / "kinds.dxf", moved = dir / "moved.dxf";
    std::string out;
    ASSERT_TRUE(EditKinds("make " + Quoted(kinds.string()), out)) << out;
    Outcome r = Velkhost({"--drawing", kinds.string(), "--script", Script("MOVE\n> select all\n0,0\n10,0\n").string(),
                          "--save", moved.string()});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("1 was on a locked layer."), std::string::npos) << r.output;
    out.clear();
    EXPECT_TRUE(EditKinds("check " + Quoted(kinds.string()) + " " + Quoted(moved.string()) + " 10 0", out)) << out;

    const fs::path copied = dir / "copied.dxf";
    r = Velkhost({"--drawing", kinds.string(), "--script", Script("COPY\n> select all\n0,0\n0,30\n\n").string(),
                  "--save", copied.string()});
    EXPECT_EQ(r.status, 0) << r.output;
    const size_t before = Entities(kinds).size();
    // Every entity but the two on the locked and the frozen layer, once more,
    // each copy where the offset puts it.
    EXPECT_EQ(Entities(copied).size(), 2 * before - 2);
    out.clear();
    EXPECT_TRUE(EditKinds("copies " + Quoted(kinds.string()) + " " + Quoted(copied.string()) + " 0 30", out)) << out;

    // ERASE of all leaves the frozen circle and the locked line.
    const fs::path erased = dir / "erased.dxf";
    r = Velkhost({"--drawing", kinds.string(), "--script", Script("ERASE\n> select all\n").string(), "--save",
                  erased.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    const auto left = Entities(erased);
    EXPECT_EQ(left.size(), 2u);
    EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const auto& e) { return e.second == "AcDbCircle"; }), 1);

    // Written without subclass markers, the kept kinds still move by their
    // own places.
    const fs::path bare = dir / "bare.dxf", bareMoved = dir / "bare-moved.dxf";
    out.clear();
    ASSERT_TRUE(EditKinds("make " + Quoted(bare.string()) + " bare", out)) << out;
    r = Velkhost({"--drawing", bare.string(), "--script", Script("MOVE\n> select all\n0,0\n10,0\n").string(),
                  "--save", bareMoved.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    out.clear();
    EXPECT_TRUE(EditKinds("bare " + Quoted(bare.string()) + " " + Quoted(bareMoved.string()) + " 10 0", out)) << out;

    // No selection takes what is on a frozen layer; a type filter names
    // kept records by their own type.
    r = Velkhost({"--drawing", kinds.string(), "--script",
                  Script("MOVE\n> select layer FROZEN\n0,0\n10,0\n").string(), "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("the selection is empty"), std::string::npos) << r.output;
    const fs::path typed = dir / "typed.dxf";
    r = Velkhost({"--drawing", kinds.string(), "--script", Script("ERASE\n> select type 3DFACE,XLINE\n").string(),
                  "--save", typed.string(), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(Entities(typed).size(), before - 2);

    const fs::path solid = dir / "solid.dxf";
    out.clear();
    ASSERT_TRUE(EditKinds("make " + Quoted(solid.string()) + " solid", out)) << out;
    r = Velkhost({"--drawing", solid.string(), "--script", Script("MOVE\n> select all\n0,0\n10,0\n").string(),
                  "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("1 object could not be moved: 1 3DSOLID."), std::string::npos) << r.output;
    EXPECT_NE(r.lastLine.find("script line 1"), std::string::npos) << r.output;
}

// The records of a DXF file's ENTITIES section that stand alone (not a
// polyline's vertices, a sequence's end or a reference's attributes):
// handle -> the type group 0 gives.
std::map<std::string, std::string> EntityRecords(const fs::path& dxf)
{
    std::ifstream in(dxf, std::ios::binary);
    std::map<std::string, std::string> out;
    std::string code, value, section, type;
    bool sectionName = false;
    auto trim = [](std::string& t) {
        t.erase(0, t.find_first_not_of(" \r"));
        t.erase(t.find_last_not_of(" \r") + 1);
    };
    while (std::getline(in, code) && std::getline(in, value)) {
        trim(code), trim(value);
        if (code == "0") {
            if (value == "ENDSEC") section.clear();
            sectionName = value == "SECTION";
            const bool part = value == "VERTEX" || value == "SEQEND" || value == "ATTRIB";
            type = section == "ENTITIES" && !part && !sectionName ? value : std::string();
        } else if (code == "2" && sectionName) {
            section = value;
            sectionName = false;
        } else if (code == "5" && !type.empty()) {
            out[value] = type;
            type.clear();
        }
    }
    return out;
}

// The handles a "> select" line of the transcript named.
std::set<std::string> SelectedBy(const std::string& output, const std::string& line)
{
    std::set<std::string> handles;
    const size_t at = output.find("] " + line + "\n");
    if (at == std::string::npos) return handles;
    const size_t from = output.find('\n', at) + 1, to = output.find('\n', from);
    const std::string selected = output.substr(from, to - from);
    for (size_t h = selected.find("handle "); h != std::string::npos; h = selected.find("handle ", h + 1)) {
        const size_t start = h + 7;
        handles.insert(selected.substr(start, selected.find_first_of(" ,", start) - start));
    }
    return handles;
}

// "> select type T" takes exactly the records the file names T in group 0:
// every 2-D and 3-D polyline and mesh for POLYLINE (ERASE of them leaves
// the LWPOLYLINE), every dimension, a MINSERT among the INSERTs, ATTDEF,
// MLINE and the kinds kept whole. A name that is no record type, or names
// a part of another record, is refused; a selection left empty by a frozen
// layer says so.
TEST_F(VelkhostProcess, SelectTypeTakesTheRecordsOfThatType)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path kinds = dir / "types.dxf", erased = dir / "erased.dxf";
    std::string out;
    ASSERT_TRUE(EditKinds("make " + Quoted(kinds.string()) + " types", out)) << out;
    const auto records = EntityRecords(kinds);
    auto ofType = [&records](const std::set<std::string>& types) {
        std::set<std::string> handles;
        for (const auto& [handle, type] : records)
            if (types.count(type)) handles.insert(handle);
        return handles;
    };
    ASSERT_EQ(ofType({"POLYLINE"}).size(), 4u);
    ASSERT_EQ(ofType({"DIMENSION"}).size(), 5u);
    const std::vector<std::pair<std::string, std::set<std::string>>> lines = {
        {"> select type lwpolyline", {"LWPOLYLINE"}},
        {"> select type DIMENSION", {"DIMENSION"}},
        {"> select type INSERT", {"INSERT"}},
        {"> select type ATTDEF,MLINE", {"ATTDEF", "MLINE"}},
        {"> select type LEADER,3DFACE,ARC_DIMENSION", {"LEADER", "3DFACE", "ARC_DIMENSION"}},
        {"> select type LINE", {"LINE"}}};
    std::string script = "ERASE\n> select type POLYLINE\n";
    for (const auto& [line, types] : lines) script += line + "\n";
    Outcome r = Velkhost({"--drawing", kinds.string(), "--script", Script(script).string(), "--save", erased.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SelectedBy(r.output, "> select type POLYLINE"), ofType({"POLYLINE"})) << r.output;
    for (const auto& [line, types] : lines) EXPECT_EQ(SelectedBy(r.output, line), ofType(types)) << line << r.output;
    const auto left = EntityRecords(erased);
    EXPECT_EQ(left.size(), records.size() - 4);
    EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const auto& e) { return e.second == "POLYLINE"; }), 0);
    EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const auto& e) { return e.second == "LWPOLYLINE"; }), 1);

    const std::vector<std::pair<std::string, std::string>> refusals = {
        {"AcDbLine", "\"AcDbLine\" is no record type"},
        {"LINE,PLINE", "\"PLINE\" is no record type"},
        {"VERTEX", "\"VERTEX\" records are parts of the entity before them"},
        {"CIRCLE", "the selection is empty: the 1 entity the filter takes is on the frozen layer FROZEN"}};
    for (const auto& [type, why] : refusals) {
        r = Velkhost({"--drawing", kinds.string(), "--script", Script("> select type " + type + "\n").string(),
                      "--quiet"});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.lastLine.find("script line 1"), std::string::npos) << r.output;
        EXPECT_NE(r.lastLine.find(why), std::string::npos) << r.output;
    }
}

// A file-size limit ends the run as SIGTERM does: the write past it is
// named with its file and the reason, the temporary machine folder is
// removed and the process ends by SIGXFSZ.
TEST_F(VelkhostProcess, AFileSizeLimitEndsTheRunAsSIGTERMDoes)
{
    const fs::path temp = dir / "tmp";
    fs::create_directories(temp);
    // The module, megabytes, goes past the limit (512 blocks: 256 KiB as
    // dash counts them, 512 KiB as bash does); it holds only for the run.
    auto run = [&temp](const std::string& args, std::string& output) {
        const std::string command = "ulimit -f 512 && TMPDIR=" + Quoted(temp.string()) + " " +
                                    Quoted(VELKHOST_PROGRAM) + " --module " + Quoted(VELK_MODULE_FILE) + args + " 2>&1";
        FILE* pipe = popen(("sh -c " + Quoted(command)).c_str(), "r");
        if (!pipe) return -1;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
        return pclose(pipe);
    };
    auto endedBySignal = [](int status) {
        // By the signal, or sh saying so as 128 + its number.
        return (WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) ||
               (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGXFSZ);
    };
    ASSERT_GT(fs::file_size(VELK_MODULE_FILE), 1024u * 1024u);
    std::string output;
    int status = run("", output);
    EXPECT_TRUE(endedBySignal(status)) << status << output;
    EXPECT_NE(output.find("FAILED: load: cannot copy the module into the machine: writing "), std::string::npos)
        << output;
    EXPECT_NE(output.find("failed: File too large"), std::string::npos) << output;
    EXPECT_EQ(output.find("cannot read"), std::string::npos) << output;
    // Its last line; sh may say more after it.
    EXPECT_NE(output.find("\nvelkhost: interrupted by a file-size limit (SIGXFSZ: a write went past ulimit -f) after "
                          "every step was done; 1 step failed: load (cannot copy the module"),
              std::string::npos)
        << output;
    EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();

    // A drawing past the limit is no drawing that cannot be read: its copy
    // into the machine is what failed.
    const fs::path big = dir / "big.dxf";
    velktest::WriteNativeFile(big.string(), std::string(1024 * 1024, 'x'));
    output.clear();
    status = run(" --drawing " + Quoted(big.string()), output);
    EXPECT_TRUE(endedBySignal(status)) << status << output;
    EXPECT_NE(output.find("FAILED: open: " + big.string() + ": cannot copy the drawing into the machine: writing "),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("failed: File too large"), std::string::npos) << output;
    EXPECT_EQ(output.find("cannot read"), std::string::npos) << output;
    EXPECT_TRUE(fs::is_empty(temp)) << fs::directory_iterator(temp)->path();
}

// A write that fails names its file and the system's reason: an output
// (/dev/full), and SAVEAS in the machine, whose file on a full disk is no
// read-only one.
TEST_F(VelkhostProcess, AFailedWriteNamesItsFileAndTheReason)
{
    Outcome r = Velkhost({"--script", Script("POINT\n1,1\n").string(), "--save", "/dev/full", "--quiet"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.lastLine.find("save (cannot write /dev/full: No space left on device)"), std::string::npos)
        << r.output;

    standin::CreateDocument(L"Drawing1.dwg");
    const fs::path drawings = standin::NativePath(L"C:\\Drawings");
    fs::create_directories(drawings);
    // The file the save writes first, beside its target, leads to a disk
    // that is full.
    fs::create_symlink("/dev/full", drawings / "full.dxf.velktmp");
    const size_t before = standin::CommandLineText().size();
    standin::QueueText(L"C:\\Drawings\\full.dxf");
    standin::InvokeCommand(L"SAVEAS");
    EXPECT_EQ(standin::CommandLineText().substr(before),
              L"\nThe drawing cannot be saved as C:\\Drawings\\full.dxf: the file cannot be written: No space left "
              L"on device.");
    EXPECT_FALSE(fs::exists(drawings / "full.dxf"));
}

// An output on standard output takes it alone: the transcript goes to
// standard error. With standard error there too, the run is refused.
TEST_F(VelkhostProcess, AnOutputOnStandardOutputTakesItAlone)
{
    const fs::path errors = dir / "errors.txt";
    const std::string run = Quoted(VELKHOST_PROGRAM) + " --module " + Quoted(VELK_MODULE_FILE) + " --script " +
                            Quoted(Script("POINT\n1,1\n").string()) + " --save /dev/stdout";
    auto read = [](const std::string& command, int& status) {
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return output;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
        status = pclose(pipe);
        return output;
    };
    int status = -1;
    // Read through a pipe, as "| cat" reads it.
    const std::string drawing = read(run + " 2>" + Quoted(errors.string()), status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string transcript = velktest::ReadNativeFile(errors.string());
    EXPECT_EQ(LastLine(transcript), "velkhost: every step succeeded") << transcript;
    EXPECT_EQ(drawing.find("velkhost"), std::string::npos);
    const fs::path saved = dir / "piped.dxf";
    velktest::WriteNativeFile(saved.string(), drawing);
    EXPECT_EQ(Entities(saved).size(), 1u);

    const std::string both = read(run + " 2>&1", status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status << both;
    EXPECT_EQ(both, "velkhost: /dev/stdout is standard output, and standard error goes there too: the transcript "
                    "would be mixed into the output; send standard error elsewhere (2>FILE)\n");
}

// A drawing of the kinds whose values a move is apt to disturb (ellipses
// with parameters the model holds as angles, splines of flags 0, a 3-point
// angular dimension with a point 16, hatches of line, arc, ellipse and
// spline edges, entities in planes of their own): moved by 10,0, by
// 0.1,0.2, by 0.1,0.2,0.3 and by 1e-9,0, each position of the saved drawing
// is the file's moved by ezdxf's own translate and every other value the
// file's, compared exactly.
TEST_F(VelkhostProcess, AMoveAddsTheVectorOnceAndKeepsEveryOtherValue)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path kinds = dir / "kinds.dxf";
    std::string out;
    ASSERT_TRUE(DataScript("translate_exact.py", "make " + Quoted(kinds.string()), out)) << out;
    for (const char* by : {"10,0", "0.1,0.2", "0.1,0.2,0.3", "1e-9,0"}) {
        const fs::path moved = dir / "moved.dxf";
        Outcome r = Velkhost({"--drawing", kinds.string(), "--script",
                              Script(std::string("MOVE\n> select all\n0,0,0\n") + by + "\n").string(), "--save",
                              moved.string(), "--quiet", "--overwrite"});
        ASSERT_EQ(r.status, 0) << by << r.output;
        std::string d = by;
        std::replace(d.begin(), d.end(), ',', ' ');
        if (std::count(d.begin(), d.end(), ' ') == 1) d += " 0";
        out.clear();
        EXPECT_TRUE(DataScript("translate_exact.py", "check " + Quoted(kinds.string()) + " " + Quoted(moved.string()) +
                                                         " " + d, out))
            << "moved by " << by << ":\n" << out;
    }
}

// A MOVE or COPY that one selected object refuses (a 3DSOLID), or that
// would take a coordinate past the largest number (a LINE to x = 1.7e308
// moved by 1e308, anything moved by a displacement past it), changes
// nothing: the objects are named, the command fails, and the drawing saved
// is the one opened. A point given from the last one past the largest
// number is refused too.
TEST_F(VelkhostProcess, AMoveThatWouldOverflowIsRefusedWhole)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    const fs::path huge = dir / "huge.dxf", solid = dir / "solid.dxf";
    std::string out;
    ASSERT_TRUE(DataScript("translate_exact.py", "huge " + Quoted(huge.string()), out)) << out;
    ASSERT_TRUE(EditKinds("make " + Quoted(solid.string()) + " solid", out)) << out;
    struct Case {
        const fs::path* drawing;
        std::string script, said;
    } cases[] = {
        {&huge, "MOVE\n> select all\n0,0\n1e308,0\n",
         "1 object could not be moved (a coordinate would pass the largest number): 1 AcDbLine. Nothing was moved."},
        {&huge, "COPY\n> select all\n0,0\n1e308,0\n\n",
         "1 object could not be copied (a coordinate would pass the largest number): 1 AcDbLine. "
         "Nothing was copied to that point."},
        // A displacement past the largest number.
        {&huge, "MOVE\n> select all\n-1.7e308,0\n1.7e308,0\n",
         "2 objects could not be moved (a coordinate would pass the largest number): 2 AcDbLine. Nothing was moved."},
        // A point given from the last one.
        {&huge, "LINE\n1.7e308,0\n@1e308,0\n\n", "@1e308,0 from the last point is past the largest number"},
        {&solid, "MOVE\n> select all\n0,0\n10,0\n", "1 object could not be moved: 1 3DSOLID. Nothing was moved."},
        {&solid, "COPY\n> select all\n0,0\n10,0\n\n",
         "1 object could not be copied: 1 3DSOLID. Nothing was copied to that point."},
    };
    for (const Case& c : cases) {
        const fs::path plain = dir / "plain.dxf", edited = dir / "edited.dxf";
        Outcome r = Velkhost({"--drawing", c.drawing->string(), "--save", plain.string(), "--quiet", "--overwrite"});
        ASSERT_EQ(r.status, 0) << r.output;
        r = Velkhost({"--drawing", c.drawing->string(), "--script", Script(c.script).string(), "--save",
                      edited.string(), "--overwrite"});
        EXPECT_EQ(r.status, 1) << c.script << r.output;
        EXPECT_NE(r.output.find(c.said), std::string::npos) << c.script << r.output;
        EXPECT_EQ(velktest::ReadNativeFile(edited.string()), velktest::ReadNativeFile(plain.string())) << c.script;
    }
}

}  // namespace
