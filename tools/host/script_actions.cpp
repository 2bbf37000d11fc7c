// The ">" lines of host scripts: what the user does with the mouse (the
// toolbar, selections, picks, message boxes, dialogs, the folder browser,
// windows), the clock, pictures and reports. The peer's side is in
// script_peer.cpp.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "afxmsgbox.h"
#include "demo_site.h"
#include "dialog_control.h"
#include "drawing_files.h"
#include "dxf_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "host_reports.h"
#include "host_script.h"
#include "host_session.h"
#include "image/pximage.h"
#include "standin_control.h"
#include "text_internal.h"
#include "toolbar_control.h"
#include "window_control.h"
#include "windows.h"

namespace velkhost {

namespace {

std::wstring Wide(const std::string& s) { return standin::Utf8ToWide(s); }

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The parts of a line between commas outside quotes.
std::vector<std::string> Parts(const std::string& text)
{
    std::vector<std::string> parts;
    std::string part;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"' && (i == 0 || text[i - 1] != '\\')) quoted = !quoted;
        if (text[i] == ',' && !quoted) {
            parts.push_back(Trim(part));
            part.clear();
            continue;
        }
        part += text[i];
    }
    parts.push_back(Trim(part));
    return parts;
}

bool Whole(const std::string& text, long& value)
{
    char* end = nullptr;
    value = strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == 0;
}

// A picture's name: a Windows path, or a name in the drawings folder.
std::wstring PicturePath(const std::string& name)
{
    const std::wstring w = Wide(name);
    if (w.find(L':') != std::wstring::npos || (!w.empty() && w[0] == L'\\')) return w;
    return std::wstring(kDrawingsFolder) + L"\\" + w;
}

// Why a picture cannot be written to a Windows path of the machine, as the
// file system says it: a path that names no file there, a folder that is
// missing or no folder, a file that is a folder or read-only, or the
// error opening it gives. Empty when it can be written.
std::string WhyNotWritable(const std::wstring& windowsFile)
{
    const std::string shown = Utf8(windowsFile);
    SetLastError(0);
    const std::string native = standin::NativePath(windowsFile);
    if (native.empty()) {
        GetFileAttributesW(windowsFile.c_str());
        const DWORD error = GetLastError();
        return shown + (error == ERROR_INVALID_NAME ? " is a name Windows gives no file (a device's, or < > : \" | ? *)"
                        : error == ERROR_ACCESS_DENIED ? " leads out of the machine through a link"
                                                        : " names no file on the machine");
    }
    // The drive before its folder, as SAVEAS says it.
    if (windowsFile.size() >= 2 && windowsFile[1] == L':') {
        const std::wstring drive = windowsFile.substr(0, 2);
        const DWORD a = GetFileAttributesW((drive + L"\\").c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return "there is no drive " + Utf8(drive);
    }
    const size_t slash = windowsFile.find_last_of(L"\\/");
    const std::string folder = slash == std::wstring::npos ? std::string() : Utf8(windowsFile.substr(0, slash));
    const size_t cut = native.rfind('/');
    const std::string nativeFolder = cut == std::string::npos ? std::string(".") : native.substr(0, cut);
    struct stat st;
    if (stat(nativeFolder.c_str(), &st) != 0) {
        const bool drive = folder.size() == 2 && folder[1] == ':';
        if (errno != ENOENT && errno != ENOTDIR) return "the folder " + folder + ": " + strerror(errno);
        return drive ? "there is no drive " + folder
                     : "the folder " + folder + " does not exist; velkhost makes no folder for a picture";
    }
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    const bool existed = stat(native.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) return shown + " is a folder";
    // The read-only attribute is the owner's write bit, whoever runs it.
    if (existed && !(st.st_mode & S_IWUSR)) return shown + " is read-only";
    FILE* f = fopen(native.c_str(), "ab");
    if (!f) return std::string("it cannot be opened to write: ") + strerror(errno);
    fclose(f);
    if (!existed) unlink(native.c_str());
    return std::string();
}

// Two pictures side by side, the earlier on the left, on white.
// Puts `left` and `right` side by side into `out`; false, with the reason,
// when one cannot be read or `out` cannot be written.
bool SideBySide(const std::wstring& left, const std::wstring& right, const std::wstring& out, int& width, int& height,
                std::string& why)
{
    PxImage a, b;
    for (const auto& [image, name] : {std::pair<PxImage*, const std::wstring*>{&a, &left}, {&b, &right}}) {
        if (image->Load(name->c_str(), PXIMAGE_FORMAT_PNG)) continue;
        const std::string native = standin::NativePath(*name);
        struct stat st;
        why = stat(native.c_str(), &st) != 0 ? native + " cannot be read: " + strerror(errno)
              : S_ISDIR(st.st_mode)          ? native + " is a folder"
                                             : native + " is no PNG picture";
        return false;
    }
    const int gap = 24;
    width = (int)(a.GetWidth() + gap + b.GetWidth());
    height = (int)std::max(a.GetHeight(), b.GetHeight());
    PxImage both;
    if (!both.Create(width, height, 24, PXIMAGE_FORMAT_PNG)) {
        why = "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels cannot be made";
        return false;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) both.SetPixelColor(x, y, PxRgbQuad{255, 255, 255, 255});
    // Rows are stored from the bottom: both are aligned at the top.
    auto place = [&](const PxImage& p, int left) {
        const int lift = height - (int)p.GetHeight();
        for (int y = 0; y < (int)p.GetHeight(); ++y)
            for (int x = 0; x < (int)p.GetWidth(); ++x) both.SetPixelColor(left + x, lift + y, p.GetPixelColor(x, y, false));
    };
    place(a, 0);
    place(b, (int)a.GetWidth() + gap);
    errno = 0;
    if (both.Save(out.c_str(), PXIMAGE_FORMAT_PNG)) return true;
    const int e = errno;
    why = standin::NativePath(out) + " cannot be written" + (e ? std::string(": ") + strerror(e) : std::string());
    return false;
}

const char* ButtonName(int id)
{
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return nullptr;
    }
}

}  // namespace

void ScriptRunner::Action(const Line& line, const standin::InputRequest* prompting)
{
    const std::string body = Trim(line.text.substr(1));
    std::vector<std::string> words = SplitWords(body);
    // A dialog's or window's head stands before the first comma.
    if (!words.empty() && (words[0] == "dialog" || words[0] == "window")) words = SplitWords(Parts(body).front());
    Transcript& log = session_.log;
    const int n = line.number;
    if (words.empty()) return Fail(n, "an empty \">\" line");
    const std::string& verb = words[0];
    if (prompting) {
        const bool forLater = verb == "answer" || verb == "dialog" || verb == "browse";
        const bool answers = (verb == "select" && prompting->kind == standin::InputKind::kSelection) ||
                             (verb == "pick" && (prompting->kind == standin::InputKind::kEntity ||
                                                 prompting->kind == standin::InputKind::kPoint));
        if (!forLater && !answers) {
            std::string prompt = Utf8(prompting->prompt);
            while (!prompt.empty() && prompt.front() == '\n') prompt.erase(0, 1);
            return Fail(n, "a command waits for \"" + prompt + "\": \"> " + verb + "\" cannot be done now");
        }
    }

    if (verb == "click") {
        if (words.size() != 2) return Fail(n, "> click takes a button's caption or id");
        long id = 0;
        const bool byId = Whole(words[1], id);
        for (HWND bar : standin::ToolBars()) {
            standin::ToolBarState state;
            if (!standin::GetToolBarState(bar, state)) continue;
            for (const auto& b : state.buttons) {
                const std::wstring caption = standin::ToolBarTooltip(bar, b.id);
                if (b.id == 0 || (byId ? (long)b.id != id : caption != Wide(words[1]))) continue;
                log.Detail() << "  toolbar button " << b.id << " \"" << Utf8(caption) << "\"\n";
                if (!b.enabled || !standin::ClickToolBarButton(bar, b.id))
                    return Fail(n, "the button " + words[1] + " cannot be clicked");
                standin::PumpMessages();
                return;
            }
        }
        std::string captions;
        for (HWND bar : standin::ToolBars()) {
            standin::ToolBarState state;
            if (!standin::GetToolBarState(bar, state)) continue;
            for (const auto& b : state.buttons)
                if (b.id) captions += (captions.empty() ? "" : ", ") + Utf8(standin::ToolBarTooltip(bar, b.id));
        }
        return Fail(n, "no toolbar button \"" + words[1] + "\"" +
                           (captions.empty() ? std::string(" (no toolbar)") : " (the buttons: " + captions + ")"));
    }

    if (verb == "select") {
        // Selections joined by "+" follow one another, as a user goes on
        // picking at the same prompt: what is named twice stays twice here,
        // and the host's selection set takes it once.
        std::vector<std::vector<std::string>> parts(1);
        for (size_t i = 1; i < words.size(); ++i) {
            if (words[i] == "+") parts.emplace_back();
            else parts.back().push_back(words[i]);
        }
        OdDbObjectIdArray ids;
        for (const std::vector<std::string>& part : parts) {
            if (part.empty() && parts.size() > 1) return Fail(n, "\"+\" joins two selections: one is missing");
            std::string error;
            const OdDbObjectIdArray some = Select(part, error);
            if (some.isEmpty()) return Fail(n, error);
            for (const OdDbObjectId& id : some) ids.append(id);
        }
        log.Detail() << "  selected " << ids.length() << ":";
        for (const OdDbObjectId& id : ids) {
            OdDbObject* o = nullptr;
            std::string kind;
            if (oddbOpenObject(o, id, OdDb::kForRead) == eOk) {
                kind = " " + Utf8(o->isA()->name().str());
                o->close();
            }
            log.Detail() << (&id == ids.begin() ? " " : ", ") << HandleText((uint64_t)id.getHandle()) << kind;
        }
        log.Detail() << "\n";
        if (prompting) standin::QueueSelection(ids);
        else standin::SetPickFirst(ids);
        return;
    }

    if (verb == "pick") {
        OdGePoint3d p;
        if (words.size() != 2 || !ParsePoint(words[1], p)) return Fail(n, "> pick takes a point X,Y");
        if (!prompting) return Fail(n, "no prompt asks for a pick now");
        if (prompting->kind == standin::InputKind::kPoint) {
            standin::QueuePoint(p);
            return;
        }
        const OdDbObjectIdArray hits = standin::EntitiesAt(p, 1e-3);
        if (hits.isEmpty()) return Fail(n, "nothing to pick at " + words[1]);
        const OdDbObjectId id = hits[hits.length() - 1];
        log.Detail() << "  picked " << HandleText((uint64_t)id.getHandle()) << "\n";
        standin::QueuePick(id, p);
        return;
    }

    if (verb == "answer") {
        static const std::pair<const char*, int> kAnswers[] = {{"yes", IDYES}, {"no", IDNO}, {"ok", IDOK},
                                                                {"cancel", IDCANCEL}};
        if (words.size() == 2)
            for (const auto& [name, id] : kAnswers)
                if (words[1] == name) {
                    standin::QueueMessageBoxAnswer(id);
                    ++boxesQueued_;
                    boxLines_.push_back(n);
                    return;
                }
        return Fail(n, "> answer takes yes, no, ok or cancel");
    }

    if (verb == "dialog" || verb == "window") return Dialog(words, body, n, verb == "window");

    if (verb == "browse") {
        if (words.size() != 2) return Fail(n, "> browse takes a folder or cancel");
        doneFlags_.push_back(std::make_unique<bool>(false));
        bool* done = doneFlags_.back().get();
        pending_.push_back({n, "the folder browser", done});
        const std::wstring folder = Wide(words[1]);
        Transcript* out = &log;
        standin::QueueFolderBrowse([=](HWND browser) {
            *done = true;
            if (folder == L"cancel") {
                out->Detail() << "  folder browser: cancelled\n";
                standin::ClickDialogItem(browser, IDCANCEL);
                return;
            }
            // Made when missing, as the browser's new-folder button makes it.
            for (size_t at = folder.find(L'\\', 3); ; at = folder.find(L'\\', at + 1)) {
                CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
                if (at == std::wstring::npos) break;
            }
            standin::TypeIntoDialogItem(browser, 14148, folder);
            out->Detail() << "  folder browser: chose " << Utf8(folder) << "\n";
            standin::ClickDialogItem(browser, IDOK);
        });
        return;
    }

    if (verb == "wait") {
        std::string amount = words.size() > 1 ? words[1] : std::string();
        std::string unit = words.size() > 2 ? words[2] : std::string();
        if (unit.empty()) {
            const size_t at = amount.find_first_not_of("0123456789.");
            if (at != std::string::npos) unit = amount.substr(at), amount = amount.substr(0, at);
        }
        char* end = nullptr;
        const double value = strtod(amount.c_str(), &end);
        const double ms = unit == "s" ? value * 1000 : value;
        // A day at most: the clock stops at every timer on the way.
        if (amount.empty() || *end || !(ms >= 0 && ms <= 86400000.0) || (unit != "s" && unit != "ms") || words.size() > 3)
            return Fail(n, "> wait takes a time up to a day: 5 s, 500 ms");
        standin::AdvanceClockMs((uint64_t)ms);
        standin::PumpMessages();
        return;
    }

    if (verb == "picture") return Picture(words, n);
    if (verb == "snapshot") return Snapshot(words, n);
    if (verb == "show") return Show(words, n);
    if (verb == "peer") return Peer(words, n);

    if (verb == "demo") {
        if (words.size() != 2 || words[1] != "site-plan") return Fail(n, "> demo knows site-plan");
        GcApDocument* doc = gcDocManagerPtr()->curDocument();
        if (!doc) return Fail(n, "no drawing is open");
        const int drawn = DrawDemoSitePlan(doc->database(), doc->fileName().c_str(), log.Detail());
        if (drawn <= 0) return Fail(n, "the site plan could not be drawn");
        return;
    }
    Fail(n, "\"> " + verb + "\" is no action (click, select, pick, answer, dialog, window, browse, wait, picture, "
              "snapshot, show, peer, demo)");
}

// "> dialog ID, ACTION, ..." answers the next modal run; "> window CAPTION,
// ACTION, ..." acts on a window that is open.
void ScriptRunner::Dialog(const std::vector<std::string>& words, const std::string& body, int n, bool modeless)
{
    std::vector<std::string> parts = Parts(body);
    const std::string head = parts.front();
    parts.erase(parts.begin());
    struct Step {
        std::string verb;
        int item = 0;
        std::string value;
        std::vector<int> items;
    };
    std::vector<Step> steps;
    int ending = modeless ? 0 : IDOK;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::vector<std::string> w = SplitWords(parts[i]);
        if (w.empty()) continue;
        Step s;
        s.verb = w[0];
        long v = 0;
        const bool last = i + 1 == parts.size();
        if ((s.verb == "ok" || s.verb == "cancel") && w.size() == 1 && last) {
            ending = s.verb == "ok" ? IDOK : IDCANCEL;
            continue;
        }
        if (s.verb == "press" && w.size() == 2 && Whole(w[1], v) && last) {
            ending = (int)v;
            continue;
        }
        const bool oneItem = s.verb == "click" || s.verb == "check" || s.verb == "uncheck";
        const bool itemValue = s.verb == "type" || s.verb == "choose";
        if ((oneItem && w.size() == 2 && Whole(w[1], v)) || (itemValue && w.size() == 3 && Whole(w[1], v))) {
            s.item = (int)v;
            if (itemValue) s.value = w[2];
            long row = 0;
            if (s.verb == "choose" && !Whole(s.value, row)) return Fail(n, "choose takes an item and a row number");
            steps.push_back(s);
            continue;
        }
        if (s.verb == "show" && w.size() >= 2) {
            for (size_t k = 1; k < w.size(); ++k) {
                if (!Whole(w[k], v)) return Fail(n, "show takes item numbers");
                s.items.push_back((int)v);
            }
            steps.push_back(s);
            continue;
        }
        return Fail(n, "\"" + parts[i] +
                           "\" is no dialog action (type ITEM TEXT, choose ITEM N, check ITEM, uncheck ITEM, click "
                           "ITEM, show ITEM..., then ok, cancel or press ITEM)");
    }
    Transcript* log = &session_.log;
    // Runs the steps on the window; false when one cannot be done.
    auto run = [this, steps, n, log](HWND d, const std::string& name) {
        std::string said;
        for (const Step& s : steps) {
            standin::DialogControl* item = nullptr;
            for (int id : s.items.empty() ? std::vector<int>{s.item} : s.items) {
                item = standin::FindDialogItem(d, id);
                if (!item) {
                    Fail(n, name + " has no item " + std::to_string(id));
                    return false;
                }
            }
            if (s.verb == "type") {
                standin::TypeIntoDialogItem(d, s.item, standin::Utf8ToWide(s.value));
                said += ", type " + std::to_string(s.item) + " \"" + s.value + "\"";
            } else if (s.verb == "choose") {
                const int row = atoi(s.value.c_str());
                if (!item->items.empty() && (row < 0 || row >= (int)item->items.size())) {
                    Fail(n, "the list " + std::to_string(s.item) + " of " + name + " has " +
                                std::to_string(item->items.size()) + " rows");
                    return false;
                }
                item->selection = row;
                said += ", choose " + std::to_string(s.item) + " row " + s.value +
                        (row >= 0 && row < (int)item->items.size() ? " \"" + Utf8(item->items[row]) + "\"" : "");
            } else if (s.verb == "check" || s.verb == "uncheck") {
                item->check = s.verb == "check";
                said += ", " + s.verb + " " + std::to_string(s.item);
            } else if (s.verb == "click") {
                if (!item->enabled || !item->visible) {
                    Fail(n, "the item " + std::to_string(s.item) + " of " + name + " cannot be clicked");
                    return false;
                }
                said += ", click " + std::to_string(s.item);
                log->Detail() << "  " << name << ":" << said.substr(1) << "\n";
                said.clear();
                standin::ClickDialogItem(d, s.item);
            } else {
                for (int id : s.items) {
                    const standin::DialogControl* c = standin::FindDialogItem(d, id);
                    std::wstring text = c->text;
                    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n"))
                        text.replace(at, 2, L" ");
                    log->Detail() << "  " << name << " item " << id << ": \"" << Utf8(text) << "\""
                                  << (c->visible ? "" : " (hidden)") << (c->enabled ? "" : " (disabled)") << "\n";
                }
            }
        }
        if (!said.empty()) log->Detail() << "  " << name << ":" << said.substr(1) << "\n";
        return true;
    };

    if (!modeless) {
        long id = 0;
        if (words.size() != 2 || !Whole(words[1], id)) return Fail(n, "> dialog takes the dialog's number");
        doneFlags_.push_back(std::make_unique<bool>(false));
        bool* done = doneFlags_.back().get();
        pending_.push_back({n, "dialog " + words[1], done});
        const std::string name = "dialog " + words[1];
        standin::QueueDialogAnswer((UINT)id, [=](HWND d) {
            *done = true;
            if (!run(d, name)) return IDCANCEL;
            const char* button = ButtonName(ending);
            log->Detail() << "  " << name << ": " << (button ? button : "press " + std::to_string(ending)) << "\n";
            return ending;
        });
        return;
    }
    const std::string caption = Trim(head.substr(std::string("window").size()));
    if (caption.empty()) return Fail(n, "> window takes a window's caption");
    const std::string name = "window " + caption;
    HWND w = FindWindowW(nullptr, Wide(caption).c_str());
    if (!w || !IsWindow(w)) {
        if (steps.empty() && ending == 0) {
            session_.log.Detail() << "  " << name << ": not open\n";
            return;
        }
        return Fail(n, "no window \"" + caption + "\" is open");
    }
    if (steps.empty() && ending == 0) {
        session_.log.Detail() << "  " << name << ": " << (IsWindowVisible(w) ? "shown" : "hidden") << "\n";
        return;
    }
    if (!run(w, name)) return;
    if (ending) {
        standin::ClickDialogItem(w, ending);
        const char* button = ButtonName(ending);
        session_.log.Detail() << "  " << name << ": " << (button ? button : "press " + std::to_string(ending)) << "\n";
    }
    standin::PumpMessages();
}

// "> snapshot FILE.dxf": the drawing's bytes as a save writes them, taken
// without a command, so that the history and the module hear nothing of
// it: checks compare what UNDO and REDO leave with what was there before.
// The host's IMAGEFRAME, which UNDO also gives back but no file holds, is
// said with it.
void ScriptRunner::Snapshot(const std::vector<std::string>& words, int n)
{
    if (words.size() != 2) return Fail(n, "> snapshot takes a file name");
    OdDbDatabase* db = CurrentDrawing();
    if (!db) return Fail(n, "no drawing is open");
    const std::wstring file = PicturePath(words[1]);
    if (const std::string why = WhyNotWritable(file); !why.empty()) return Fail(n, "no snapshot: " + why);
    std::string bytes;
    if (standin::WriteDxfBytes(db, bytes) != eOk) return Fail(n, "no snapshot: the drawing cannot be written");
    const std::string native = standin::NativePath(file);
    FILE* f = fopen(native.c_str(), "wb");
    const bool written = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int e = errno;
    if (f && fclose(f) != 0 && written) return Fail(n, "no snapshot: " + native + ": " + strerror(errno));
    if (!written) return Fail(n, "no snapshot: " + native + ": " + strerror(e));
    session_.log.Detail() << "  snapshot " << native << ": " << bytes.size() << " bytes, IMAGEFRAME "
                          << standin::SysVarShort(L"IMAGEFRAME") << "\n";
}

void ScriptRunner::Picture(const std::vector<std::string>& words, int n)
{
    if (words.size() < 2) return Fail(n, "> picture takes a file name");
    const std::wstring file = PicturePath(words[1]);
    int size = 1600;
    RenderWindow window;
    std::wstring beside;
    for (size_t i = 2; i < words.size(); ++i) {
        long v = 0;
        OdGePoint3d a, b;
        if (Whole(words[i], v) && v >= 16 && v <= 16384) {
            size = (int)v;
        } else if (words[i] == "window" && i + 2 < words.size() && ParsePoint(words[i + 1], a) &&
                   ParsePoint(words[i + 2], b) && a.x != b.x && a.y != b.y) {
            window.minX = std::min(a.x, b.x), window.maxX = std::max(a.x, b.x);
            window.minY = std::min(a.y, b.y), window.maxY = std::max(a.y, b.y);
            i += 2;
        } else if (words[i] == "beside" && i + 1 < words.size()) {
            beside = PicturePath(words[++i]);
        } else {
            return Fail(n, "\"" + words[i] + "\": > picture takes FILE [PIXELS] [window X0,Y0 X1,Y1] [beside FILE]");
        }
    }
    // Refused before it is drawn, as --png refuses it: no folder is made.
    if (const std::string why = WhyNotWritable(file); !why.empty()) return Fail(n, "no picture: " + why);
    struct stat st;
    if (!beside.empty() && stat(standin::NativePath(beside).c_str(), &st) != 0) {
        const int e = errno;
        return Fail(n, "no picture: the picture " + Utf8(beside) + " to put it beside cannot be read (" +
                           standin::NativePath(beside) + ": " + strerror(e) + ")" +
                           (e == ENOENT ? "; an earlier \"> picture\" makes it" : ""));
    }
    RenderStats stats;
    std::string error;
    if (!PictureDrawing(file, size, window, stats, error)) {
        const std::string why = WhyNotWritable(file);
        return Fail(n, "no picture: " + error + (why.empty() ? std::string() : ": " + why));
    }
    std::string line = "  picture of model space: " + standin::NativePath(file) + " (" + std::to_string(stats.width) +
                       " x " + std::to_string(stats.height) + " pixels, " + Count(stats.entities, "entity", "entities") +
                       ", " + Count(stats.images, "image", "images") + " drawn from their files" +
                       (stats.undrawnImages ? ", " + Count(stats.undrawnImages, "image", "images") + " too large to draw"
                                            : std::string()) +
                       (stats.undrawnCurves ? ", " + Count(stats.undrawnCurves, "curve", "curves") +
                                                  " beyond what a number holds, not drawn"
                                            : std::string()) +
                       (stats.undrawnEntities ? ", " + Count(stats.undrawnEntities, "entity", "entities") +
                                                    " not drawn (" + stats.undrawnKinds + ")"
                                              : std::string());
    if (!beside.empty()) {
        int width = 0, height = 0;
        std::string why;
        if (!SideBySide(beside, file, file, width, height, why))
            return Fail(n, "the picture " + Utf8(beside) + " cannot be put beside it: " + why);
        line += "; to the right of " + Utf8(beside) + ", " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels in all";
    }
    session_.log.Detail() << line << ")\n";
}

void ScriptRunner::Show(const std::vector<std::string>& words, int n)
{
    std::ostream& out = session_.log.Detail();
    const std::string what = words.size() > 1 ? words[1] : std::string();
    velkpeer::StandinPeer* peer = session_.peer.get();
    const bool needsPeer = what == "peer" || what == "peer-state" || what == "peer-changes" || what == "links" ||
                           what == "tiles";
    if (needsPeer && !peer) return Fail(n, "the peer is not running");
    OdDbDatabase* db = CurrentDrawing();
    if (what == "peer" && words.size() == 2) {
        out << "  the peer's folders and objects:\n";
        ShowPeerTree(*peer, out);
    } else if (what == "peer-state" && words.size() == 2) {
        ShowPeerState(*peer, out);
    } else if (what == "peer-changes" && words.size() == 2) {
        ShowPeerChanges(*peer, out);
    } else if (what == "links" && words.size() == 2) {
        ShowLinks(*peer, db, out);
    } else if (what == "stored-links" && words.size() == 2) {
        ShowStoredLinks(db, out);
    } else if (what == "added" && words.size() == 2) {
        const std::set<uint64_t> added = handlesBefore_.AddedSince(db);
        out << "  " << Count(added.size(), "entity", "entities") << " added:\n";
        ShowEntities(db, added, out);
    } else if (what == "layer" && words.size() == 3) {
        ShowLayer(db, Wide(words[2]), out);
    } else if (what == "tiles" && words.size() == 2) {
        tiles_.Show(*peer, db, out);
    } else if (what == "toolbar" && words.size() == 2) {
        ShowToolbars(out, true);
    } else if (what == "commands" && words.size() == 2) {
        auto list = [](const std::vector<std::wstring>& names) {
            std::string line;
            for (const std::wstring& name : names) line += " " + Utf8(name);
            return line;
        };
        out << "  the host's commands:" << list(standin::HostCommands()) << "\n";
        out << "  registered commands:" << list(standin::RegisteredCommands()) << "\n";
    } else if (what == "settings" && words.size() <= 3) {
        ShowSettings(words.size() == 3 ? words[2] : std::string(), out);
    } else if (what == "file" && words.size() == 3) {
        if (!ShowFile(Wide(words[2]), out)) return Fail(n, "there is no file " + words[2]);
    } else {
        Fail(n, "> show takes peer, peer-state, peer-changes, links, stored-links, added, layer NAME, tiles, toolbar, "
                "commands, settings [SECTION] or file PATH");
    }
}

}  // namespace velkhost
