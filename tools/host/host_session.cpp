#include "host_session.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "drawing_files.h"
#include "dxf_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedreactor.h"
#include "hostdb_control.h"
#include "host_reports.h"
#include "machine_control.h"
#include "machine_folder.h"
#include "mostly_sorted.h"
#include "odrx_module.h"
#include "oddbsymboltable.h"
#include "peer_objects.h"
#include "standin_control.h"
#include "toolbar_control.h"
#include "window_control.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace velkhost {

namespace {

const wchar_t kSettingsFile[] = L"C:\\Users\\user\\AppData\\Local\\VelkArx_setting.ini";
// The offer to start the peer when the module loads.
const UINT kStartPeerDialog = 8353;

std::string FileText(const std::wstring& windowsPath)
{
    std::ifstream in(standin::NativePath(windowsPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string List(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : " ") + item;
    return out;
}

// What the host said it left out, for an outcome line: the first few and
// how many more.
std::string LeftOut(size_t count, const std::function<std::wstring(size_t)>& item)
{
    const size_t shown = 3;
    std::string out;
    for (size_t i = 0; i < count && i < shown; ++i) out += (i ? "; " : "") + Utf8(item(i));
    if (count > shown)
        out += "; and " + std::to_string(count - shown) + " more (the transcript without --quiet names them all)";
    return out;
}

std::string LeftOut(const std::vector<std::wstring>& items)
{
    return LeftOut(items.size(), [&](size_t i) { return items[i]; });
}

// The records of the drawing's file read under new handles, as LeftOut
// says them (a file may give half a million).
std::string Renumbered(const OdDbDatabase* db)
{
    return LeftOut(standin::DxfRenumberedCount(db), [db](size_t i) { return standin::DxfRenumberedSaid(db, i); });
}

// Why an output cannot go into its folder: the folder is missing or is no
// folder, or the output names a folder itself; empty when it can.
std::string OutputFolderProblem(const std::string& nativeFile)
{
    std::error_code ec;
    if (fs::is_directory(fs::status(nativeFile, ec)))
        return "cannot write " + nativeFile + ": it is a folder, not a file";
    const fs::path folder = fs::absolute(nativeFile, ec).parent_path();
    const fs::file_status status = fs::status(folder, ec);
    if (fs::is_directory(status)) return std::string();
    if (!fs::exists(status))
        return "cannot write " + nativeFile + ": the folder " + folder.string() +
               " does not exist; velkhost makes no folder for an output";
    return "cannot write " + nativeFile + ": " + folder.string() + " is not a folder";
}

// Names, the first few and how many more.
std::string FirstNames(const std::vector<std::string>& names)
{
    const size_t shown = 10;
    std::string out;
    for (size_t i = 0; i < names.size() && i < shown; ++i) out += (i ? ", " : "") + names[i];
    if (names.size() > shown) out += " and " + std::to_string(names.size() - shown) + " more";
    return out;
}

}  // namespace

OdDbDatabase* CurrentDrawing()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    return doc ? doc->database() : nullptr;
}

std::vector<uint64_t> ModelSpaceHandles(OdDbDatabase* db)
{
    std::vector<uint64_t> out;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return out;
    const std::vector<OdDbObjectId>& ids = ms->entityIds();
    out.reserve(ids.size());
    for (const OdDbObjectId& id : ids)
        if (!id.isErased()) out.push_back((uint64_t)id.getHandle());
    ms->close();
    // Entities are mostly in the order of their handles already.
    standin::SortMostlySorted(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool CheckOutputs(const Session& s, std::string& error)
{
    const Options& o = s.options;
    if (!o.save.empty() && !s.guard.MayWrite(o.save, error)) {
        error = "--save: " + error;
        return false;
    }
    if (!o.png.empty() && !s.guard.MayWrite(o.png, error)) {
        error = "--png: " + error;
        return false;
    }
    if (!o.save.empty() && !o.png.empty() && SameFile(o.save, o.png)) {
        error = "--save and --png name the same file " + o.save;
        return false;
    }
    return true;
}

bool CheckOutputFolders(Session& s)
{
    bool ok = true;
    for (const auto& [step, file] : {std::pair<const char*, std::string>{"save", s.options.save},
                                     std::pair<const char*, std::string>{"picture", s.options.png}}) {
        const std::string why = file.empty() ? std::string() : OutputFolderProblem(file);
        if (why.empty()) continue;
        s.log.Failed(step, why);
        ok = false;
    }
    return ok;
}

bool PrepareMachine(Session& s, std::string& error)
{
    const Options& o = s.options;
    const std::vector<NamedFile> files = {{"the input drawing", o.drawing}, {"the script", o.script},
                                          {"the module", o.module},         {"the file --save names", o.save},
                                          {"the file --png names", o.png}};
    if (!s.machine.Prepare(o.machine, files, error)) return false;
    // Said whether quiet or not: the run goes on unguarded.
    if (!s.machine.LockWarning().empty()) s.log.Outcome("warning: " + s.machine.LockWarning());
    // Files a user put in a machine folder are theirs until it is cleared:
    // the outcome names them, quiet or not.
    const std::vector<std::string>& foreign = s.machine.ClearedForeign();
    if (!foreign.empty())
        s.log.Outcome("machine folder " + s.machine.Root() + ": cleared what velkhost did not make there: " +
                      FirstNames(foreign));
    else if (s.machine.Untold() && s.machine.ClearedCount())
        s.log.Outcome("machine folder " + s.machine.Root() + ": cleared " +
                      Count(s.machine.ClearedCount(), "file", "files") +
                      "; the run before left no list of what it made there (it was killed, or was an older "
                      "velkhost), so files that are not velkhost's cannot be named");
    standin::ResetMachine(s.machine.Root());
    // Where drawings are opened from and saved to, as a user keeps them.
    CreateDirectoryW(kDrawingsFolder, nullptr);
    // The host's drawing window.
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(1920, 1080, 0));
    s.log.Detail() << "machine: " << s.machine.Root()
                   << (s.machine.Temporary() ? " (a new folder, removed at the end)" : "") << "\n";

    velkpeer::InstallPeer(900, [&s] {
        if (!s.peer) s.peer = std::make_unique<velkpeer::StandinPeer>();
        // The peer is free for requests.
        s.peer->Config().statusWord = 0x101;
        return true;
    });
    s.log.Detail() << "peer installed, not running: " << Utf8(velkpeer::kPeerProgramPath)
                   << " (LastVersion 900); once started it answers 257 (0x101: free for requests) when asked its status\n";
    return true;
}

OpenResult OpenStep(Session& s, std::string& refusal)
{
    const Options& o = s.options;
    if (o.drawing.empty()) {
        standin::CreateDocument(L"Drawing1.dwg");
        s.log.Outcome("open: a new drawing, Drawing1.dwg");
        return OpenResult::kOpened;
    }
    s.log.Detail() << "\nCommand: OPEN " << o.drawing << "\n";
    std::wstring opened;
    std::vector<std::string> images, missing;
    std::string error;
    if (!OpenDrawing(o.drawing, opened, images, missing, error)) {
        s.log.HostOutput();
        s.log.Failed("open", error.find(o.drawing) == std::string::npos ? o.drawing + ": " + error : error);
        return OpenResult::kFailed;
    }
    s.log.HostOutput();
    s.opened = ModelSpaceHandles(CurrentDrawing());
    // The images it uses are the user's as much as the drawing is.
    const fs::path beside = fs::absolute(o.drawing).parent_path();
    for (const std::string& image : images) s.guard.Protect((beside / image).string());
    if (!CheckOutputs(s, refusal)) return OpenResult::kRefused;
    // Missing images are part of the outcome: a quiet run says them too.
    // So are the records of the file the host could not read.
    const std::vector<std::wstring> notRead = standin::DxfNotRead(CurrentDrawing());
    const std::wstring page = standin::DxfCodePageAssumed(CurrentDrawing());
    const size_t renumbered = standin::DxfRenumberedCount(CurrentDrawing());
    s.log.Outcome("open: " + o.drawing + " as " + Utf8(opened) + ", " +
                  Count(s.opened.size(), "entity", "entities") + " in model space" +
                  (missing.empty() ? std::string() : "; images it names that are not beside it: " + List(missing)) +
                  (notRead.empty() ? std::string()
                                   : "; " + Count(notRead.size(), "record", "records") + " of the file not read: " +
                                         LeftOut(notRead)) +
                  (!renumbered ? std::string()
                               : "; " + Count(renumbered, "record", "records") +
                                     " of the file read under new handles: " + Renumbered(CurrentDrawing())) +
                  (page.empty() ? std::string() : "; its texts read as " + Utf8(page)));
    return OpenResult::kOpened;
}

bool LoadStep(Session& s)
{
    Transcript& log = s.log;
    // The module goes where the host keeps its plug-ins.
    const std::string module = s.options.module;
    fs::path installed = standin::NativePath(standin::kModulePath);
    std::error_code ec;
    fs::create_directories(installed.parent_path(), ec);
    bool reading = false;
    std::string why;
    if (!CopyFileInto(module, installed.string(), reading, why)) {
        log.Failed("load", reading ? "cannot read the module " + module + ": " + why
                                   : "cannot copy the module into the machine: writing " + installed.string() +
                                         " failed: " + why);
        return false;
    }
    // The user answers the offer to start the peer with "是".
    standin::QueueDialogAnswer(kStartPeerDialog, [](HWND) { return IDOK; });

    log.Detail() << "\nload " << Utf8(standin::kModulePath) << "\n";
    dlerror();  // the loader's reason below is this load's
    s.module = odrxDynamicLinker()->loadModule(standin::kModulePath);
    if (!s.module) {
        const char* loader = dlerror();
        std::string why = loader ? loader : "it has no module entry points, or made no module object";
        // The loader names the machine's copy; the user knows the file they gave.
        const std::string copy = installed.string();
        for (size_t at = why.find(copy); at != std::string::npos; at = why.find(copy, at + module.size()))
            why.replace(at, copy.size(), module);
        log.Traffic(s.peer.get());
        log.Failed("load", "the host did not load " + module + ": " + why);
        return false;
    }
    const auto& loaded = standin::LoadedModules().back();
    log.Detail() << "  interface version " << loaded.apiVersion[0] << "." << loaded.apiVersion[1] << "."
                 << loaded.apiVersion[2] << "." << loaded.apiVersion[3] << "\n";
    log.Detail() << "  module name " << Utf8(s.module->moduleName().str()) << "\n";
    for (const wchar_t* name : {L"VELK", L"testConnect"})
        log.Detail() << "  command " << Utf8(name) << ": "
                     << (standin::HasCommand(name) ? "registered in group " + Utf8(standin::CommandGroup(name))
                                                   : std::string("missing"))
                     << "\n";
    // Without its commands the module stopped at its folder check.
    const bool started = standin::HasCommand(L"VELK");
    log.Detail() << "  folder check: " << (started ? "passed" : "refused, nothing started") << "\n";
    log.MessageBoxes();
    if (!started) {
        log.Failed("load", "the module did not start (its folder check refused)");
        return false;
    }
    log.Detail() << "  settings file: " << Utf8(kSettingsFile)
                 << (FileText(kSettingsFile).find("[VelkArx]") != std::string::npos ? " (record written)" : " (missing)")
                 << "\n";
    for (UINT dialog : standin::DialogsShown())
        log.Detail() << "  dialog " << dialog
                     << (dialog == kStartPeerDialog ? ": \"是否打开拓岚程序？\" answered 是" : "") << "\n";
    log.HostOutput();
    log.Detail() << "  peer running: " << (s.peer ? "yes, window \"velkWin\"" : "no") << "\n";
    ShowToolbars(log.Detail());
    HWND receiver = FindWindowW(L"VelkArxWin", nullptr);
    log.Detail() << "  receiver window \"VelkArxWin\": "
                 << (receiver ? (IsWindowVisible(receiver) ? "visible" : "hidden") : "missing") << "\n";
    log.Detail() << "  reactors: editor " << standin::EditorReactorCount() << ", documents "
                 << gcDocManagerPtr()->reactorCount() << ", selection filters on the drawing "
                 << standin::SSGetFilterCount(gcDocManagerPtr()->curDocument()) << "\n";
    if (s.peer) log.Detail() << "  the peer was just started, so no request yet: registration waits for the first one\n";
    standin::PumpMessages();
    log.Traffic(s.peer.get());
    log.Outcome(std::string("load: the module started") +
                (s.peer ? ", the peer started as it asked" : ", the peer is not running"));
    return true;
}

void SaveStep(Session& s)
{
    const std::string& out = s.options.save;
    // The folder may have gone since the run started.
    if (const std::string why = OutputFolderProblem(out); !why.empty()) {
        s.log.Failed("save", why);
        return;
    }
    s.log.Detail() << "\nCommand: SAVEAS\n";
    s.log.Flush();
    std::wstring saved;
    std::vector<std::string> images, missing;
    std::string error;
    const bool ok = SaveDrawing(out, s.guard, saved, images, missing, error);
    s.log.Traffic(s.peer.get());
    if (!ok) {
        s.log.Failed("save", error);
        return;
    }
    s.log.Outcome("save: " + out + " (saved in the machine as " + Utf8(saved) + ", " +
                  Count(ModelSpaceCount(CurrentDrawing()), "entity", "entities") +
                  (images.empty() ? std::string() : ", with the images it names beside it: " + List(images)) + ")" +
                  (missing.empty() ? std::string()
                                   : "; images it names that the machine does not hold, not copied: " + List(missing)) +
                  (standin::LastDxfSaveLosses().empty()
                       ? std::string()
                       : "; not saved: " + LeftOut(standin::LastDxfSaveLosses())) +
                  (!standin::DxfRenumberedCount(CurrentDrawing())
                       ? std::string()
                       : "; saved under new handles: " + Renumbered(CurrentDrawing())));
}

void PictureStep(Session& s)
{
    const Options& o = s.options;
    if (const std::string why = OutputFolderProblem(o.png); !why.empty()) {
        s.log.Failed("picture", why);
        return;
    }
    RenderStats stats;
    std::string error;
    s.log.Flush();
    if (!PictureDrawingTo(o.png, s.guard, o.pngSize, o.pngWindow, stats, error)) {
        s.log.Failed("picture", error);
        return;
    }
    std::string line = "picture of model space: " + o.png + " (" + std::to_string(stats.width) + " x " +
                       std::to_string(stats.height) + " pixels, " + Count(stats.entities, "entity", "entities");
    if (stats.images || stats.missingImages || stats.unreadableImages)
        line += ", " + Count(stats.images, "image", "images") + ", " +
                Count(stats.missingImages, "image file", "image files") + " missing";
    if (stats.unreadableImages) {
        line += ", " + Count(stats.unreadableImages, "image", "images") + " whose file cannot be read (";
        for (size_t i = 0; i < stats.unreadable.size(); ++i)
            line += (i ? "; " : "") + stats.unreadable[i].first + ": " + stats.unreadable[i].second;
        line += ")";
    }
    if (stats.undrawnImages) line += ", " + Count(stats.undrawnImages, "image", "images") + " too large to draw";
    if (stats.undrawnCurves)
        line += ", " + Count(stats.undrawnCurves, "curve", "curves") + " beyond what a number holds, not drawn";
    if (stats.undrawnEntities)
        line += ", " + Count(stats.undrawnEntities, "entity", "entities") + " not drawn (" + stats.undrawnKinds + ")";
    s.log.Outcome(line + ")");
}

void UnloadStep(Session& s)
{
    Transcript& log = s.log;
    log.Detail() << "\nunload\n";
    if (!odrxDynamicLinker()->unloadModule(s.module)) {
        log.Failed("unload", "the host could not unload the module");
        return;
    }
    s.module = nullptr;
    log.Traffic(s.peer.get());
    const bool commands = standin::HasCommand(L"VELK") || standin::HasCommand(L"testConnect");
    log.Detail() << "  peer button: " << (s.peer && s.peer->ButtonPresent() ? "still there" : "removed") << "\n";
    log.Detail() << "  command group VELK: " << (commands ? "still registered" : "removed") << "\n";
    log.Detail() << "  reactors: editor " << standin::EditorReactorCount() << ", documents "
                 << gcDocManagerPtr()->reactorCount() << ", selection filters on the drawing "
                 << standin::SSGetFilterCount(gcDocManagerPtr()->curDocument()) << "\n";
    log.Detail() << "  toolbars: " << standin::ToolBars().size()
                 << ", receiver window: " << (FindWindowW(L"VelkArxWin", nullptr) ? "still there" : "gone") << "\n";
    log.Outcome(std::string("unload: ") + (commands ? "the module's commands are still registered" : "done"));
}

void Summary(Session& s)
{
    if (s.peer) {
        s.log.Detail() << "\nthe peer at the end: " << s.peer->MessageCount() << " requests from the plug-in, "
                       << s.peer->AnswerCount() << (s.peer->AnswerCount() == 1 ? " message" : " messages")
                       << " to it; its folders and objects:\n";
        ShowPeerTree(*s.peer, s.log.Detail());
    }
    fs::path log = fs::path(standin::NativePath(standin::kModulePath)).parent_path() / "DebugLog.txt";
    std::error_code ec;
    s.log.Detail() << "the module's debug log: " << (fs::exists(log, ec) ? log.string() : std::string("none written"))
                   << "\n";
}

}  // namespace velkhost
