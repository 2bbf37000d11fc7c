// velkhost: the CAD host played on a machine folder of its own, with the
// module loaded and the stand-in peer installed. Plain mode opens the
// drawing, loads the module, runs the script if one is given, saves,
// pictures and unloads, and adds nothing of its own; --demo runs the demo
// script. `velkhost --help` lists the options and the script forms.
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "host_options.h"
#include "host_script.h"
#include "host_session.h"
#include "machine_folder.h"
#include "transcript.h"

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
#define VELKHOST_FREES_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define VELKHOST_FREES_AT_EXIT 1
#endif
#endif
#ifndef VELKHOST_FREES_AT_EXIT
#define VELKHOST_FREES_AT_EXIT 0
#endif

namespace {

// The module built beside velkhost: <build>/module next to <build>/tools/host.
std::string BuiltModule()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    return (self.parent_path().parent_path().parent_path() / "module" / "VelkGrx2020(x64).grx").string();
}

// The file is standard output itself (/dev/stdout, the pipe or file it is).
bool IsStandardOutput(const std::string& path, int fd = STDOUT_FILENO)
{
    struct stat out, file;
    return !path.empty() && fstat(fd, &out) == 0 && stat(path.c_str(), &file) == 0 && out.st_dev == file.st_dev &&
           out.st_ino == file.st_ino;
}

// The run, its machine released and the module unloaded by the time it
// returns its exit status.
int Run(int argc, char** argv, velkhost::StandardOutput& standardOutput)
{
    using namespace velkhost;
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "velkhost: " << error << "\n(velkhost --help lists the options)\n";
        return 2;
    }
    if (options.help) {
        std::cout << HelpText();
        return 0;
    }
    // An output written to standard output (--save /dev/stdout | ...) takes
    // it alone: the transcript goes to standard error, unless that is the
    // same file, which would mix it into the output.
    for (const std::string* output : {&options.save, &options.png}) {
        if (!IsStandardOutput(*output)) continue;
        if (IsStandardOutput(*output, STDERR_FILENO)) {
            std::cerr << "velkhost: " << *output
                      << " is standard output, and standard error goes there too: the transcript would be mixed "
                         "into the output; send standard error elsewhere (2>FILE)\n";
            return 2;
        }
        standardOutput.UseStandardError();
    }
    if (options.module.empty()) options.module = BuiltModule();
    if (options.demo) {
        const std::string folder = VELKHOST_SOURCE_DIR;
        if (options.drawing.empty()) options.drawing = folder + "/demo.dxf";
        if (options.script.empty()) options.script = folder + "/demo.scr";
    }

    // Ctrl-C and SIGTERM stop the run between steps (and script lines),
    // with the transcript whole and its last line saying what was not done.
    CatchInterrupts();
    Transcript log(std::cout, options.quiet);
    Session session(options, log);
    if (!CheckOutputs(session, error)) {
        std::cerr << "velkhost: " << error << "\n";
        return 2;
    }
    // Before anything is touched: no work is lost to a mistyped folder.
    if (!CheckOutputFolders(session)) {
        log.Outcome("nothing was run: the outputs have no folder to go into");
        log.Conclude();
        return 1;
    }
    if (!PrepareMachine(session, error)) {
        std::cerr << "velkhost: " << error << "\n";
        return 2;
    }
    // Kept to the end: answers a script gave for later belong to it.
    std::unique_ptr<ScriptRunner> script;
    // The steps that were begun, to tell what an interrupted run did not do.
    bool openBegun = false, loadBegun = false, scriptBegun = false, scriptCut = false, saveBegun = false,
         pictureBegun = false, saveCut = false, pictureCut = false;
    // A step that failed because the run was stopped while it waited (an
    // output no one reads) was not done.
    auto cut = [&log](size_t failedBefore) { return InterruptSignal() && log.Failures().size() > failedBefore; };
    OpenResult opened = OpenResult::kFailed;
    if (!InterruptSignal()) {
        openBegun = true;
        opened = OpenStep(session, error);
    }
    if (opened == OpenResult::kOpened) {
        bool loaded = false;
        if (!InterruptSignal()) {
            loadBegun = true;
            loaded = LoadStep(session);
        }
        if (loaded && !options.script.empty() && !InterruptSignal()) {
            scriptBegun = true;
            script = std::make_unique<ScriptRunner>(session);
            scriptCut = !script->RunFile(options.script) && InterruptSignal();
        }
        if (!options.save.empty() && !InterruptSignal()) {
            saveBegun = true;
            const size_t failed = log.Failures().size();
            SaveStep(session);
            saveCut = cut(failed);
        }
        if (!options.png.empty() && !InterruptSignal()) {
            pictureBegun = true;
            const size_t failed = log.Failures().size();
            PictureStep(session);
            pictureCut = cut(failed);
        }
        // The module is unloaded, interrupted or not, as a host that closes.
        if (loaded) UnloadStep(session);
        Summary(session);
    }
    script.reset();
    session.peer.reset();
    const std::string root = session.machine.Root();
    const bool temporary = session.machine.Temporary();
    session.machine.Release();
    if (temporary) log.Detail() << "the machine folder " << root << " is removed\n";
    if (opened == OpenResult::kRefused) {
        std::cout.flush();
        std::cerr << "velkhost: " << error << "\n";
        return 2;
    }
    if (const int signal = InterruptSignal()) {
        std::vector<std::string> notDone;
        if (!openBegun) notDone.push_back("the drawing was not opened");
        else if (opened == OpenResult::kOpened && !loadBegun) notDone.push_back("the module was not loaded");
        if (!options.script.empty() && (scriptCut || !scriptBegun))
            notDone.push_back(scriptBegun ? "the script was not run to its end" : "the script was not run");
        if (!options.save.empty() && (!saveBegun || saveCut))
            notDone.push_back("the drawing was not saved to " + options.save);
        if (!options.png.empty() && (!pictureBegun || pictureCut))
            notDone.push_back("no picture was written to " + options.png);
        log.Interrupted(signal, notDone);
        return 128 + signal;
    }
    log.Conclude();
    return log.Failures().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    velkhost::StandardOutput standardOutput;
    std::streambuf* const was = std::cout.rdbuf(&standardOutput);
    int status = Run(argc, argv, standardOutput);
    std::cout.flush();
    std::cout.rdbuf(was);
    // A transcript that could not be written is no success, as coreutils
    // have it; a closed pipe ends the process by SIGPIPE, as it ends any
    // program writing into one, unless the caller ignores that signal.
    const int lost = standardOutput.Error();
    const bool closedPipe = lost == EPIPE && !velkhost::BrokenPipeIgnored();
    if (lost && !closedPipe) {
        std::cerr << "velkhost: cannot write to standard " << (standardOutput.OnStandardError() ? "error" : "output")
                  << ": " << strerror(lost) << "\n";
        if (status == 0 || status == 128 + SIGPIPE) status = 1;
    }
    std::cerr.flush();
    fflush(nullptr);
    // A run the user stopped ends by that signal, so that a shell running it
    // in a script or a loop stops too (it goes on after a child that merely
    // exited), and shows 130 or 143.
    // Only a signal the run stopped for: one that came after its last line
    // was written does not turn a finished run into a stopped one.
    int signal = velkhost::InterruptSignal();
    if (closedPipe) signal = SIGPIPE, status = 128 + SIGPIPE;
    // A caller that ignores SIGPIPE is told by the status and the
    // transcript's last line (an output's reader went away).
    if (signal == SIGPIPE && status == 128 + SIGPIPE && velkhost::BrokenPipeIgnored()) signal = 0, status = 1;
    if (signal && status == 128 + signal) {
        // A file-size limit is no fault of the program: no core file.
        if (signal == SIGXFSZ) prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
        std::signal(signal, SIG_DFL);
        raise(signal);
    }
#if !VELKHOST_FREES_AT_EXIT
    // What is still held, the drawing above all (a tenth of a second for a
    // million entities), goes back to the system with the process: every
    // output is written and flushed, and the machine folder released, by
    // now. Sanitizer builds free it all, so that a leak shows.
    _exit(status);
#endif
    return status;
}
