#include "shell_demo.h"

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedreactor.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbsymboltable.h"
#include "machine_control.h"
#include "standin_control.h"
#include "toolbar_control.h"
#include "window_control.h"
#include "windows.h"

namespace velkhost {

namespace {

const wchar_t kDrawing[] = L"C:\\dwg\\site.dwg";
const wchar_t kSettingsFile[] = L"C:\\Users\\user\\AppData\\Local\\VelkArx_setting.ini";
size_t g_seenMessages = 0;
size_t g_seenAnswers = 0;
size_t g_seenBoxes = 0;
size_t g_seenCommandText = 0;
size_t g_seenShellStarts = 0;

}  // namespace

void NewMessageBoxes(std::ostream& out)
{
    const auto& boxes = standin::MessageBoxes();
    for (; g_seenBoxes < boxes.size(); ++g_seenBoxes) {
        std::string text = Utf8(boxes[g_seenBoxes].text);
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 5)) text.replace(at, 1, "\n    ");
        out << "  message box: \"" << text << "\"\n";
    }
}

void NewHostOutput(std::ostream& out)
{
    const std::wstring& text = standin::CommandLineText();
    std::istringstream lines(Utf8(text.substr(std::min(g_seenCommandText, text.size()))));
    g_seenCommandText = text.size();
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out << "  command line: " << line << "\n";
    }
    const auto& starts = standin::ShellExecutes();
    for (; g_seenShellStarts < starts.size(); ++g_seenShellStarts)
        out << "  shell start: " << Utf8(starts[g_seenShellStarts].verb) << " " << Utf8(starts[g_seenShellStarts].file)
            << "\n";
}

void NewTraffic(const velkpeer::StandinPeer* peer, std::ostream& out)
{
    NewHostOutput(out);
    NewMessageBoxes(out);
    if (!peer) return;
    // A run of the same line is printed once with its count.
    std::string last;
    int repeats = 0;
    auto emit = [&](const std::string& line) {
        if (line == last) {
            ++repeats;
            return;
        }
        if (repeats) out << last << (repeats > 1 ? ", " + std::to_string(repeats) + " times" : std::string()) << "\n";
        last = line;
        repeats = line.empty() ? 0 : 1;
    };
    for (; g_seenMessages < peer->Messages().size(); ++g_seenMessages) {
        const auto& m = peer->Messages()[g_seenMessages];
        emit("    peer <- " + std::to_string(m.code) + " " + velkpeer::CodeName(m.code) + " (" +
             std::to_string(m.bytes.size()) + " bytes) answered " + std::to_string(m.answer));
    }
    for (; g_seenAnswers < peer->Answers().size(); ++g_seenAnswers) {
        const auto& a = peer->Answers()[g_seenAnswers];
        emit("    peer -> " + std::to_string(a.code) + " " + velkpeer::CodeName(a.code) + ": " +
             std::to_string(a.bytes.size()) + " bytes to the plug-in, which answered " + std::to_string(a.result));
    }
    emit(std::string());
}

namespace {

// A sign of the peer's own, 420 bytes and an empty text.
std::vector<uint8_t> DemoSign(const std::string& name, double x, double y)
{
    std::vector<uint8_t> body(420);
    memcpy(body.data(), name.data(), std::min<size_t>(name.size(), 99));
    memcpy(body.data() + 112, &y, 8);
    memcpy(body.data() + 120, &x, 8);
    body[128] = 2;
    body[153] = 1;
    return body;
}

void PrintTree(const std::vector<velkpeer::DecodedObject>& objects, uint32_t parent, int depth, std::ostream& out)
{
    if (depth > 8) return;
    for (const auto& o : objects) {
        if (o.parent != parent) continue;
        out << std::string(4 + 2 * (size_t)depth, ' ') << velkpeer::DescribeObject(o) << "\n";
        if (o.kind == 30) PrintTree(objects, o.id, depth + 1, out);
    }
}

std::string FileText(const std::wstring& windowsPath)
{
    std::ifstream in(standin::NativePath(windowsPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? (size_t)n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
    if (!out.empty()) out.pop_back();
    return out;
}

void PrintPeerTree(const std::vector<velkpeer::DecodedObject>& objects, std::ostream& out)
{
    PrintTree(objects, 0, 0, out);
}

std::string FollowValue(int32_t value)
{
    return std::to_string(value) + (value == 1000 ? " (its map follows the CAD view)" : " (its map does not follow)");
}

std::set<uint64_t> ModelSpaceHandles(OdDbDatabase* db)
{
    std::set<uint64_t> out;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return out;
    OdDbBlockTableRecordIterator* it = nullptr;
    if (ms->newIterator(it, true, true) == eOk) {
        for (; !it->done(); it->step(true, true)) {
            OdDbObjectId id;
            if (it->getEntityId(id) == eOk) out.insert((uint64_t)id.getHandle());
        }
    }
    delete it;
    ms->close();
    return out;
}

OdDbObjectId AddOutline(OdDbDatabase* db, double x0, double y0, double x1, double y1)
{
    auto* frame = new OdDbPolyline();
    frame->addVertexAt(0, OdGePoint2d(x0, y0));
    frame->addVertexAt(1, OdGePoint2d(x1, y0));
    frame->addVertexAt(2, OdGePoint2d(x1, y1));
    frame->addVertexAt(3, OdGePoint2d(x0, y1));
    frame->setClosed(true);
    frame->setDatabaseDefaults(db);
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) != eOk) {
        delete frame;
        return id;
    }
    if (ms->appendOdDbEntity(id, frame) == eOk) frame->close();
    else delete frame;
    ms->close();
    return id;
}

void PrepareShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out)
{
    velkpeer::InstallPeer(900, [&peer] {
        if (!peer) peer = std::make_unique<velkpeer::StandinPeer>();
        // The peer is free for requests.
        peer->Config().statusWord = 0x101;
        return true;
    });
    out << "peer installed, not running: " << Utf8(velkpeer::kPeerProgramPath)
        << " (LastVersion 900); once started it answers 257 (0x101: free for requests) when asked its status\n";
    standin::CreateDocument(kDrawing);
    out << "drawing open: " << Utf8(kDrawing) << "\n";
    // The user answers the offer to start the peer with "是".
    standin::QueueDialogAnswer(8353, [](HWND) { return IDOK; });
}

void RunShellDemo(std::unique_ptr<velkpeer::StandinPeer>& peer, std::ostream& out)
{
    // Without the commands the load stopped at the folder check.
    const bool started = standin::HasCommand(L"VELK");
    out << "  folder check: " << (started ? "passed" : "refused, nothing started") << "\n";
    NewMessageBoxes(out);
    if (!started) return;
    out << "  settings file: " << Utf8(kSettingsFile)
        << (FileText(kSettingsFile).find("[VelkArx]") != std::string::npos ? " (record written)" : " (missing)")
        << "\n";
    for (UINT dialog : standin::DialogsShown())
        out << "  dialog " << dialog << (dialog == 8353 ? ": \"是否打开拓岚程序？\" answered 是" : "") << "\n";
    NewHostOutput(out);
    out << "  peer running: " << (peer ? "yes, window \"velkWin\"" : "no") << "\n";
    for (HWND bar : standin::ToolBars()) {
        standin::ToolBarState s;
        standin::GetToolBarState(bar, s);
        out << "  toolbar \"" << Utf8(s.caption) << "\", " << s.buttons.size() << " buttons, " << s.imageCount
            << " icons, floating at (" << s.floatPoint.x << ", " << s.floatPoint.y << "), "
            << (IsWindowVisible(bar) ? "visible" : "hidden") << "\n";
    }
    HWND receiver = FindWindowW(L"VelkArxWin", nullptr);
    out << "  receiver window \"VelkArxWin\": " << (receiver ? (IsWindowVisible(receiver) ? "visible" : "hidden") : "missing")
        << "\n";
    out << "  reactors: editor " << standin::EditorReactorCount() << ", documents "
        << gcDocManagerPtr()->reactorCount() << ", selection filters on the drawing "
        << standin::SSGetFilterCount(gcDocManagerPtr()->curDocument()) << "\n";
    out << "  the peer was just started, so no request yet: registration waits for the first one\n";
    NewTraffic(peer.get(), out);

    out << "\nclock +5 s: timer 5000 keeps the plug-in's button in the peer\n";
    standin::AdvanceClockMs(5000);
    NewTraffic(peer.get(), out);
    if (!peer) return;
    out << "  peer button: " << (peer->ButtonPresent() ? "\"" + peer->ButtonCaption() + "\"" : std::string("none"))
        << "\n";

    out << "\nthe user chooses a sign in the peer and presses \"发送所选对象到CAD\"\n";
    uint32_t sign = peer->ObjectStore().Put(7, 0, DemoSign("Sign_demo", 500100.0, 3000200.0));
    peer->ObjectStore().ChooseForCad({sign});
    OdDbDatabase* db = gcDocManagerPtr()->curDocument() ? gcDocManagerPtr()->curDocument()->database() : nullptr;
    const std::set<uint64_t> before = ModelSpaceHandles(db);
    peer->SendToClient(20402, {});
    standin::PumpMessages();
    NewTraffic(peer.get(), out);
    for (uint64_t handle : ModelSpaceHandles(db)) {
        OdDbObjectId id;
        OdDbEntity* e = nullptr;
        if (before.count(handle) || db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk ||
            oddbOpenObject(e, id, OdDb::kForRead) != eOk)
            continue;
        out << "  the drawing received " << Utf8(OdDbHandle(handle).ascii().str()) << " " << Utf8(e->isA()->name().str())
            << " on layer " << Utf8(e->layer().c_str()) << "\n";
        e->close();
    }

    out << "\nthe peer accepts the drawing's relate points and the plug-in binds the drawing\n";
    peer->SendToClient(20201, std::vector<uint8_t>(4, 0));
    NewTraffic(peer.get(), out);
    std::string settings = FileText(kSettingsFile);
    size_t section = settings.find("[FILE_MD5]");
    if (section != std::string::npos) {
        out << "  the binding in the settings file (key of the drawing's name = key of the peer's coordinate "
               "system):\n";
        std::istringstream lines(settings.substr(section));
        std::string line;
        while (std::getline(lines, line) && (line.empty() || line[0] != '[' || line.rfind("[FILE_MD5]", 0) == 0)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) out << "    " << line << "\n";
        }
    }

    out << "\nclock +10 s: timers 5000 (button), 1006 (view), 1007 and 1009 (tiles)\n";
    standin::AdvanceClockMs(10000);
    NewTraffic(peer.get(), out);
    // Timer 1008 ran two seconds after the load.
    for (auto& command : standin::SentCommandStrings())
        out << "  timer 1008 (two seconds after the load) sent the command \"" << Utf8(command) << "\"\n";
}

void ReportShellUnload(const velkpeer::StandinPeer* peer, std::ostream& out)
{
    NewTraffic(peer, out);
    out << "  peer button: " << (peer && peer->ButtonPresent() ? "still there" : "removed") << "\n";
    out << "  command group VELK: " << (standin::HasCommand(L"VELK") || standin::HasCommand(L"testConnect") ? "still registered" : "removed")
        << "\n";
    out << "  reactors: editor " << standin::EditorReactorCount() << ", documents "
        << gcDocManagerPtr()->reactorCount() << ", selection filters on the drawing "
        << standin::SSGetFilterCount(gcDocManagerPtr()->curDocument()) << "\n";
    out << "  toolbars: " << standin::ToolBars().size() << ", receiver window: "
        << (FindWindowW(L"VelkArxWin", nullptr) ? "still there" : "gone") << "\n";
}

}  // namespace velkhost
