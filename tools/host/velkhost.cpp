// velkhost: the CAD host played on a machine folder of its own, with the
// module loaded and the stand-in peer installed. Plain mode opens the
// drawing, loads the module, runs the script if one is given, saves,
// pictures and unloads, and adds nothing of its own; --demo runs the demo
// script. `velkhost --help` lists the options and the script forms.
#include <filesystem>
#include <iostream>
#include <memory>

#include "host_options.h"
#include "host_script.h"
#include "host_session.h"
#include "transcript.h"

namespace fs = std::filesystem;

namespace {

// The module built beside velkhost: <build>/module next to <build>/tools/host.
std::string BuiltModule()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    return (self.parent_path().parent_path().parent_path() / "module" / "VelkGrx2020(x64).grx").string();
}

}  // namespace

int main(int argc, char** argv)
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
    if (options.module.empty()) options.module = BuiltModule();
    if (options.demo) {
        const std::string folder = VELKHOST_SOURCE_DIR;
        if (options.drawing.empty()) options.drawing = folder + "/demo.dxf";
        if (options.script.empty()) options.script = folder + "/demo.scr";
    }

    Transcript log(std::cout, options.quiet);
    Session session(options, log);
    if (!CheckOutputs(session, error) || !PrepareMachine(session, error)) {
        std::cerr << "velkhost: " << error << "\n";
        return 2;
    }
    // Kept to the end: answers a script gave for later belong to it.
    std::unique_ptr<ScriptRunner> script;
    const OpenResult opened = OpenStep(session, error);
    if (opened == OpenResult::kOpened) {
        const bool loaded = LoadStep(session);
        if (loaded && !options.script.empty()) {
            script = std::make_unique<ScriptRunner>(session);
            script->RunFile(options.script);
        }
        if (!options.save.empty()) SaveStep(session);
        if (!options.png.empty()) PictureStep(session);
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
    log.Conclude();
    return log.Failures().empty() ? 0 : 1;
}
