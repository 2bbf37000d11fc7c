// velkhost --machine <folder> --module <VelkGrx2020(x64).grx>
//          [--drawing <file.dxf>] [--save <file.dxf>] [--png <file.png>]
//
// Plays the CAD host on a fresh stand-in machine: the peer map program is
// installed (not running), the module is copied to its plug-in folder and
// loaded, which starts the peer; the shell's steps run (shell_demo.h),
// testConnect runs, the module is unloaded, and a transcript of the command
// line, the message boxes, the shell starts and the peer's messages is
// printed. A drawing given is opened before the module loads; it is then
// saved and pictured as asked.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "afxmsgbox.h"
#include "drawing_files.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "machine_control.h"
#include "odrx_module.h"
#include "demo_dialogs.h"
#include "demo_receive.h"
#include "demo_send.h"
#include "demo_basemap.h"
#include "demo_edit.h"
#include "demo_section.h"
#include "shell_demo.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "window_control.h"
#include "windows.h"

namespace fs = std::filesystem;
using velkhost::Utf8;

namespace {

std::string Indented(const std::string& text)
{
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += "  | " + line + "\n";
    }
    return out;
}

int Usage()
{
    std::cerr << "usage: velkhost --machine <folder> --module <module file> [--drawing <dxf>] [--save <dxf>] "
                 "[--png <png>]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string machine, modulePath, drawing, saveAs, picture;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string opt = argv[i];
        if (opt == "--machine") machine = argv[i + 1];
        else if (opt == "--module") modulePath = argv[i + 1];
        else if (opt == "--drawing") drawing = argv[i + 1];
        else if (opt == "--save") saveAs = argv[i + 1];
        else if (opt == "--png") picture = argv[i + 1];
        else return Usage();
    }
    if (machine.empty() || modulePath.empty()) return Usage();

    std::error_code ec;
    fs::path root = fs::absolute(machine);
    fs::remove_all(root, ec);
    fs::create_directories(root);
    standin::ResetMachine(root.string());
    std::cout << "machine: " << root.string() << "\n";

    // The module goes where the host keeps its plug-ins.
    fs::path installed = standin::NativePath(standin::kModulePath);
    fs::create_directories(installed.parent_path());
    if (!fs::copy_file(modulePath, installed, fs::copy_options::overwrite_existing, ec)) {
        std::cerr << "cannot copy the module " << modulePath << ": " << ec.message() << "\n";
        return 1;
    }

    std::unique_ptr<velkpeer::StandinPeer> peer;
    velkhost::PrepareShellDemo(peer, std::cout);
    if (!drawing.empty() && !velkhost::OpenForTranscript(drawing, std::cout)) return 1;

    std::cout << "\nload " << Utf8(standin::kModulePath) << "\n";
    OdRxModule* module = odrxDynamicLinker()->loadModule(standin::kModulePath);
    if (!module) {
        std::cerr << "the module did not load\n";
        return 1;
    }
    const auto& loaded = standin::LoadedModules().back();
    std::cout << "  interface version " << loaded.apiVersion[0] << "." << loaded.apiVersion[1] << "."
              << loaded.apiVersion[2] << "." << loaded.apiVersion[3] << "\n";
    std::cout << "  module name " << Utf8(module->moduleName().str()) << "\n";
    for (const wchar_t* name : {L"VELK", L"testConnect"})
        std::cout << "  command " << Utf8(name) << ": "
                  << (standin::HasCommand(name) ? "registered in group " + Utf8(standin::CommandGroup(name))
                                                : std::string("missing"))
                  << "\n";

    velkhost::RunShellDemo(peer, std::cout);
    velkhost::RunSendDemo(peer.get(), std::cout);
    velkhost::RunReceiveDemo(peer.get(), std::cout);
    velkhost::RunDialogsDemo(peer.get(), std::cout);
    velkhost::RunEditDemo(peer.get(), std::cout);
    velkhost::RunBaseMapDemo(peer.get(), std::cout);
    velkhost::RunSectionDemo(peer.get(), std::cout);

    std::cout << "\nCommand: testConnect\n";
    standin::InvokeCommand(L"testConnect");
    standin::PumpMessages();
    velkhost::NewTraffic(peer.get(), std::cout);
    fs::path answerFile = standin::NativePath(std::wstring(standin::kLocalAppDataFolder) + L"\\TestData.txt");
    std::ifstream in(answerFile, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::cout << "  the test data as the peer received it (TestData.txt, whose folder was opened):\n"
              << Indented(content.str());

    if (!saveAs.empty()) {
        velkhost::SaveForTranscript(saveAs, std::cout);
        velkhost::NewTraffic(peer.get(), std::cout);
    }
    if (!picture.empty()) velkhost::PictureForTranscript(picture, std::cout);

    std::cout << "\nunload\n";
    odrxDynamicLinker()->unloadModule(module);
    velkhost::ReportShellUnload(peer.get(), std::cout);

    if (peer) {
        std::cout << "\nthe peer at the end: " << peer->Messages().size() << " requests from the plug-in, "
                  << peer->Answers().size() << " messages to it; its folders and objects:\n";
        velkhost::PrintPeerTree(velkpeer::DecodeAll(peer->ObjectStore()), std::cout);
    }
    fs::path log = installed.parent_path() / "DebugLog.txt";
    std::cout << "the module's debug log: " << (fs::exists(log) ? log.string() : std::string("none written")) << "\n";
    peer.reset();
    return 0;
}
