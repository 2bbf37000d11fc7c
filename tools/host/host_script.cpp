#include "host_script.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "dxf_kinds.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "host_session.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "text_internal.h"
#include "window_control.h"

namespace velkhost {

namespace {

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// ";" starts a comment. In a ">" line quotes keep it as text, as they keep
// blanks in a word; any other line may be wholly in quotes (with \" and \\)
// to answer a text holding ";" or blanks at its ends, and otherwise takes
// quotes as they are (12" pipe).
ScriptRunner::Line ReadLine(int number, const std::string& raw)
{
    ScriptRunner::Line line;
    line.number = number;
    const std::string trimmed = Trim(raw);
    size_t cut = std::string::npos;
    if (!trimmed.empty() && trimmed[0] == '"') {
        line.quoted = true;
        size_t i = 1;
        for (; i < trimmed.size() && trimmed[i] != '"'; ++i) {
            if (trimmed[i] == '\\' && i + 1 < trimmed.size() && (trimmed[i + 1] == '"' || trimmed[i + 1] == '\\')) ++i;
            line.text += trimmed[i];
        }
        const std::string rest = i < trimmed.size() ? Trim(trimmed.substr(i + 1)) : std::string();
        if (i >= trimmed.size() || (!rest.empty() && rest[0] != ';'))
            line.error = "a text in quotes takes the whole line: \"TEXT\", then at most a comment";
        else if (!rest.empty())
            line.comment = Trim(rest.substr(1));
        if (!rest.empty() && line.comment.empty()) line.comment = " ";
        return line;
    }
    bool quoted = false;
    const bool action = !trimmed.empty() && trimmed[0] == '>';
    for (size_t i = 0; i < trimmed.size() && cut == std::string::npos; ++i) {
        if (action && trimmed[i] == '"' && (i == 0 || trimmed[i - 1] != '\\')) quoted = !quoted;
        if (trimmed[i] == ';' && !quoted) cut = i;
    }
    line.text = Trim(trimmed.substr(0, cut));
    line.action = action;
    if (cut != std::string::npos) line.comment = Trim(trimmed.substr(cut + 1));
    if (cut != std::string::npos && line.comment.empty()) line.comment = " ";
    return line;
}

std::string Prompt(const std::wstring& prompt)
{
    std::string p = Utf8(prompt);
    while (!p.empty() && (p.front() == '\n' || p.front() == '\r')) p.erase(0, 1);
    return Trim(p);
}

std::wstring Wide(const std::string& s) { return standin::Utf8ToWide(s); }

std::string Upper(std::string s)
{
    for (char& c : s) c = (char)toupper((unsigned char)c);
    return s;
}

// The type a DXF file names the entity's record in group 0, as the writer
// writes it: its kind's (every form of POLYLINE, DIMENSION and INSERT is
// of its type), or that of a record kept as the file gave it; empty for
// an entity the writer writes no record of.
std::string RecordTypeOf(OdDbEntity* e)
{
    if (const standin::dxf::EntityKind* kind = standin::dxf::KindOfEntity(e)) return kind->type;
    if (auto* kept = OdRxCast<OdDbProxyEntity>(e)) return Upper(Utf8(kept->originalDxfName().c_str()));
    return std::string();
}

// The records of entities a DXF file may hold that the reader keeps as
// they came, besides the kinds it reads (dxf_kinds.h).
const char* const kKeptEntityTypes[] = {
    "3DFACE",         "3DSOLID",          "ACAD_PROXY_ENTITY", "ACAD_TABLE",      "ARC_DIMENSION",
    "BODY",           "DGNUNDERLAY",      "DWFUNDERLAY",       "EXTRUDEDSURFACE", "HELIX",
    "LEADER",         "LIGHT",            "LOFTEDSURFACE",     "MESH",            "MLEADER",
    "MPOLYGON",       "MULTILEADER",      "NURBSURFACE",       "OLE2FRAME",       "OLEFRAME",
    "PDFUNDERLAY",    "PLANESURFACE",     "POINTCLOUD",        "RAY",             "REGION",
    "REVOLVEDSURFACE", "SECTION",         "SHAPE",             "SURFACE",         "SWEPTSURFACE",
    "TOLERANCE",      "TRACE",            "VIEWPORT",          "WIPEOUT",         "XLINE"};

// Why `type` names no record a selection can take; empty when it does.
// `inDrawing`: the record types model space holds.
std::string NoRecordType(const std::string& type, const std::set<std::string>& inDrawing)
{
    const std::string u = Upper(type);
    if (u == "VERTEX" || u == "SEQEND" || u == "ATTRIB")
        return "\"" + type + "\" records are parts of the entity before them (a POLYLINE's vertices, an INSERT's "
               "attributes, their SEQEND), not entities of their own: select that entity's type";
    if (standin::dxf::KindOfType(u) || inDrawing.count(u) ||
        std::any_of(std::begin(kKeptEntityTypes), std::end(kKeptEntityTypes),
                    [&u](const char* t) { return u == t; }))
        return std::string();
    return "\"" + type +
           "\" is no record type: \"type\" takes the name a DXF file gives an entity's record in group 0 (LINE, "
           "LWPOLYLINE, POLYLINE, INSERT, DIMENSION, MTEXT ...), and this drawing has no record of that name";
}

bool InList(const std::string& list, const std::string& value, bool wideCompare)
{
    std::stringstream s(list);
    std::string item;
    while (std::getline(s, item, ',')) {
        if (wideCompare ? wcscasecmp(Wide(item).c_str(), Wide(value).c_str()) == 0 : item == value) return true;
    }
    return false;
}

// The first line holding bytes that are not UTF-8; 0 when all are.
int NotUtf8Line(const std::string& s)
{
    int line = 1;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = (unsigned char)s[i];
        if (c == '\n') ++line;
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int more = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
        if (more < 0 || i + (size_t)more >= s.size()) return line;
        uint32_t code = c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            const unsigned char d = (unsigned char)s[i + k];
            if ((d & 0xC0) != 0x80) return line;
            code = code << 6 | (d & 0x3F);
        }
        // Too long a form, a surrogate or past the last code point.
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return line;
        i += (size_t)more + 1;
    }
    return 0;
}

// Text saved as UTF-16 (as some editors save it): its byte-order mark, or
// a start whose every other byte is 0, as Latin letters are in it.
bool LooksUtf16(const std::string& start)
{
    const auto byte = [&start](size_t i) { return (unsigned char)start[i]; };
    if (start.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF)))
        return true;
    const size_t n = std::min<size_t>(start.size() & ~(size_t)1, 64);
    size_t zeros[2] = {0, 0};
    for (size_t i = 0; i < n; ++i) zeros[i % 2] += byte(i) == 0;
    return n >= 2 && (zeros[0] == 0) != (zeros[1] == 0) && zeros[0] + zeros[1] >= n / 4;
}

std::string Utf16Refusal(const std::string& path)
{
    return "the script " + path + " is UTF-16 text; save it as UTF-8";
}

std::string EntityText(OdDbEntity* e)
{
    if (auto* t = OdRxCast<OdDbText>(e)) return Utf8(t->textString().c_str());
    if (auto* m = OdRxCast<OdDbMText>(e)) return Utf8(m->contents().c_str());
    return std::string();
}

}  // namespace

std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            word += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            any = true;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) {
            if (any || !word.empty()) words.push_back(word);
            word.clear();
            any = false;
            continue;
        }
        word += c;
    }
    if (any || !word.empty()) words.push_back(word);
    return words;
}

bool ParsePoint(const std::string& text, OdGePoint3d& point)
{
    double v[3] = {0, 0, 0};
    size_t start = 0;
    int n = 0;
    while (n < 3) {
        const size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        v[n] = strtod(part.c_str(), &end);
        if (part.empty() || !end || *end != 0 || !std::isfinite(v[n])) return false;
        ++n;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (n < 2 || text.find(',', start) != std::string::npos) return false;
    point = OdGePoint3d(v[0], v[1], v[2]);
    return true;
}

template <class F>
bool ModelSpaceSet::EachChanged(OdDbDatabase* db, const OdDbBlockTableRecord* ms, F f) const
{
    // Model space's list of entities grows, or UNDO takes out of it what it
    // erased; an entity leaves the set only by being erased. A list UNDO
    // changed and that grew again no longer ends where it was seen to: it
    // is read whole.
    const std::vector<OdDbObjectId>& ids = ms->entityIds();
    const std::vector<OdDbObjectId>& erasures = db->erasedFlagChanges();
    if (db->serial() != database_ || ids.size() < appended_ || erasures.size() < erasures_) return false;
    if (appended_ > 0 && ids[appended_ - 1] != last_) return false;
    for (size_t i = appended_; i < ids.size(); ++i) f(ids[i]);
    for (size_t i = erasures_; i < erasures.size(); ++i) {
        const OdDbObjectId& id = erasures[i];
        if (id.isValid() && id.stub()->object->ownerId() == ms->objectId()) f(id);
    }
    return true;
}

void ModelSpaceSet::Update(OdDbDatabase* db)
{
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) {
        handles_.clear();
        database_ = 0;
        return;
    }
    const bool followed = EachChanged(db, ms, [this](const OdDbObjectId& id) {
        if (id.isErased()) handles_.erase((uint64_t)id.getHandle());
        else handles_.insert((uint64_t)id.getHandle());
    });
    if (!followed) {
        handles_.clear();
        for (const OdDbObjectId& id : ms->entityIds())
            if (!id.isErased()) handles_.insert((uint64_t)id.getHandle());
    }
    database_ = db->serial();
    appended_ = ms->entityIds().size();
    last_ = appended_ > 0 ? ms->entityIds()[appended_ - 1] : OdDbObjectId();
    erasures_ = db->erasedFlagChanges().size();
    ms->close();
}

std::set<uint64_t> ModelSpaceSet::AddedSince(OdDbDatabase* db) const
{
    std::set<uint64_t> added;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return added;
    auto add = [&](const OdDbObjectId& id) {
        if (!id.isErased() && !handles_.count((uint64_t)id.getHandle())) added.insert((uint64_t)id.getHandle());
    };
    if (!EachChanged(db, ms, add))
        for (const OdDbObjectId& id : ms->entityIds()) add(id);
    ms->close();
    return added;
}

ScriptRunner::ScriptRunner(Session& session) : session_(session) {}

ScriptRunner::~ScriptRunner()
{
    standin::SetInputFeeder(nullptr);
    standin::SetRefusalHandler(nullptr);
}

bool ScriptRunner::ReadScript(const std::string& path, std::string& text)
{
    Transcript& log = session_.log;
    // Not blocking in open: a pipe no one writes yet is waited for in poll,
    // where Ctrl-C ends the wait.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        log.Failed("script", "cannot read the script " + path + ": " + strerror(errno));
        return false;
    }
    std::string why;
    int line = 1;
    size_t lineLength = 0, got = 0;
    // A line ends in LF, in CR LF (any CRs before the LF) or, as on old
    // machines, in a CR alone: the text keeps LF alone. CRs not yet
    // followed by anything but CRs wait here.
    size_t crs = 0;
    char buf[65536];
    while (why.empty()) {
        if (InterruptSignal()) {
            close(fd);
            log.Outcome("script: " + path + ", interrupted while it was read: none of it was run");
            return false;
        }
        // A pipe no writer opened yet reads as its end: it is waited for.
        if (!WaitForFile(fd, POLLIN)) continue;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) {
            why = "cannot read the script " + path + ": " + strerror(errno);
            break;
        }
        if (n == 0) break;
        // What cannot be a script is refused as it comes, not once an
        // endless file was read.
        for (ssize_t i = 0; i < n && why.empty(); ++i, ++got) {
            const char c = buf[i];
            if (c == '\r') {
                ++crs;
                continue;
            }
            // CRs before an LF end one line with it; others, a line each.
            if (crs && c != '\n') text.append(crs, '\n'), line += (int)crs, lineLength = 0;
            crs = 0;
            if (c == '\n') {
                ++line, lineLength = 0;
            } else if (got < 3 && c == "\xEF\xBB\xBF"[got]) {
                // The byte-order mark holds no text.
            } else if (c == '\0') {
                std::string start = text.substr(0, 64);
                start.append(buf + i, std::min<size_t>((size_t)(n - i), 64 - start.size()));
                why = LooksUtf16(start) ? Utf16Refusal(path)
                                        : "the script " + path + " holds a NUL byte on line " + std::to_string(line) +
                                              ": it is no text";
            } else if (++lineLength > kScriptLineBytes) {
                why = "line " + std::to_string(line) + " of the script " + path + " is longer than " +
                      std::to_string(kScriptLineBytes) + " bytes, the most a line may hold";
            }
            text += c;
        }
        if (why.empty() && got > kScriptBytes)
            why = "the script " + path + " is longer than " + std::to_string(kScriptBytes >> 20) + " MiB (" +
                  std::to_string(kScriptBytes) + " bytes), the most velkhost reads; nothing of it was run";
    }
    if (crs) text.append(crs, '\n');
    close(fd);
    if (!why.empty()) {
        text.clear();
        log.Failed("script", why);
        return false;
    }
    return true;
}

bool ScriptRunner::RunFile(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        session_.log.Failed("script", "the script " + path + " is a folder, not a file");
        return false;
    }
    std::string s;
    if (!ReadScript(path, s)) return false;
    // Editors that save UTF-8 may put a byte-order mark first.
    if (s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
    if (LooksUtf16(s.substr(0, 2))) {
        session_.log.Failed("script", Utf16Refusal(path));
        return false;
    }
    if (const int bad = NotUtf8Line(s)) {
        session_.log.Failed("script", "the script " + path + " is not UTF-8 text (line " + std::to_string(bad) +
                                          "); save it as UTF-8");
        return false;
    }
    return Run(s, path);
}

ScriptRunner::Line ScriptRunner::NextLine()
{
    const size_t end = std::min(text_.find('\n', at_), text_.size());
    const std::string raw = text_.substr(at_, end - at_);
    at_ = end + 1;
    return ReadLine((int)++next_, raw);
}

void ScriptRunner::Fail(int line, const std::string& why)
{
    if (failedLine_) return;
    failedLine_ = line ? line : -1;
    session_.log.Failed("script line " + std::to_string(line), why);
}

void ScriptRunner::Narrate(const Line& line)
{
    if (line.comment == " ") return;
    if (!narrated_) session_.log.Detail() << "\n";
    session_.log.Detail() << line.comment << "\n";
    narrated_ = true;
}

bool ScriptRunner::Run(const std::string& text, const std::string& name)
{
    // The lines are read from the text as they run, not held apart.
    text_ = text;
    at_ = 0;
    next_ = 0;
    total_ = (size_t)std::count(text_.begin(), text_.end(), '\n') + (!text_.empty() && text_.back() != '\n');
    Transcript& log = session_.log;
    log.Detail() << "\nscript " << name << " (" << total_ << (total_ == 1 ? " line)\n" : " lines)\n");
    narrated_ = true;
    standin::SetInputFeeder([this](const standin::InputRequest& r) { return Feed(r); });
    standin::SetRefusalHandler([this](const standin::InputRequest& r, const std::wstring& why) { return Refused(r, why); });
    boxesSeen_ = standin::MessageBoxes().size();
    dialogsSeen_ = standin::DialogsShown().size();
    int ran = 0;
    RunSentCommands(0);
    while (next_ < total_ && !Failed()) {
        if (InterruptSignal()) break;  // Ctrl-C: the line before is done, no other is run
        const Line line = NextLine();
        if (!line.error.empty()) {
            Fail(line.number, line.error);
            break;
        }
        if (line.text.empty()) {
            if (!line.comment.empty()) Narrate(line);
            continue;  // Enter at the command prompt does nothing here
        }
        RunLine(line);
        ++ran;
    }
    const bool interrupted = InterruptSignal() && next_ < total_;
    if (!Failed() && !interrupted) CheckPendingAnswers();
    standin::SetInputFeeder(nullptr);
    standin::SetRefusalHandler(nullptr);
    if (Failed()) return false;
    if (interrupted) {
        const std::string last = std::to_string(total_);
        log.Outcome("script: " + name + ", interrupted: " +
                    (next_ + 1 == total_ ? "line " + last + " was"
                                                : "lines " + std::to_string(next_ + 1) + " to " + last + " were") +
                    " not run");
        return false;
    }
    // Every line was read; the commands and actions took the rest as answers.
    text_.clear();
    text_.shrink_to_fit();
    log.Outcome("script: " + name + ", " + Count(total_, "line", "lines") + " read, " +
                Count(ran, "command or action", "commands and actions") + " at the command prompt");
    return true;
}

void ScriptRunner::RunLine(const Line& line)
{
    const bool show = line.action && SplitWords(line.text.substr(1)).size() > 0 &&
                      SplitWords(line.text.substr(1))[0] == "show";
    if (!show) {
        // What this line changes is what "> show added" and
        // "> show peer-changes" report after it.
        handlesBefore_.Update(CurrentDrawing());
        if (session_.peer) session_.peer->ObjectStore().MarkChanges();
    }
    narrated_ = false;
    if (line.action) {
        session_.log.Detail() << "[" << line.number << "] " << line.text << "\n";
        Action(line, nullptr);
    } else {
        RunCommand(Wide(line.text), line.number, line.text);
    }
    if (Failed()) {
        session_.log.Traffic(session_.peer.get());
        ReportUnansweredDialogs();
        return;
    }
    standin::PumpMessages();
    RunSentCommands(line.number);
    session_.log.Traffic(session_.peer.get());
    ReportUnansweredDialogs();
    // The message boxes that came took the answers given for them.
    const size_t boxes = standin::MessageBoxes().size();
    size_t shown = boxes >= boxesSeen_ ? boxes - boxesSeen_ : 0;
    boxesSeen_ = boxes;
    while (shown-- > 0 && boxesQueued_ > 0) {
        --boxesQueued_;
        boxLines_.erase(boxLines_.begin());
    }
}

// A dialog the script gave no "> dialog" answer for is cancelled by the
// stand-in; the transcript says so, as it says each message box's answer.
void ScriptRunner::ReportUnansweredDialogs()
{
    const std::vector<UINT>& shown = standin::DialogsShown();
    for (; dialogsSeen_ < shown.size(); ++dialogsSeen_) {
        const std::string name = "dialog " + std::to_string(shown[dialogsSeen_]);
        int answered = 0;
        for (const PendingAnswer& p : pending_) answered += p.what == name && *p.done;
        if (++dialogsShown_[name] > answered)
            session_.log.Detail() << "  " << name << " was shown and, with no answer from the script, cancelled\n";
    }
}

void ScriptRunner::RunCommand(const std::wstring& name, int line, const std::string& shown, bool sent)
{
    session_.log.Detail() << (sent ? std::string("  ") : "[" + std::to_string(line) + "] ") << "Command: " << shown
                          << "\n";
    const int outer = commandLine_;
    commandLine_ = line;
    if (!standin::InvokeCommand(name)) {
        session_.log.HostOutput();
        Fail(line, "unknown command \"" + Utf8(name) + "\"");
        commandLine_ = outer;
        return;
    }
    commandLine_ = outer;
    if (Failed()) return;
    const standin::CommandOutcome outcome = standin::LastCommandOutcome();
    if (outcome == standin::CommandOutcome::kCancelled && !InterruptSignal()) Fail(line, Utf8(name) + " was cancelled");
    if (outcome == standin::CommandOutcome::kFailed) {
        std::string printed;
        for (const std::string& l : session_.log.NewCommandLines()) printed += (printed.empty() ? "" : " ") + l;
        Fail(line, Utf8(name) + " failed" + (printed.empty() ? std::string() : ": " + printed));
    }
}

// Commands the module sent to the command line run when the line that made
// it send them is done, their words as typed; the prompts the words do not
// answer take the next lines.
void ScriptRunner::RunSentCommands(int line)
{
    const auto& sent = standin::SentCommandStrings();
    while (!Failed() && sentSeen_ < sent.size()) {
        const std::wstring text = sent[sentSeen_++];
        std::vector<std::wstring> words;
        std::wstringstream in(text);
        std::wstring word;
        while (in >> word) words.push_back(word);
        session_.log.Traffic(session_.peer.get());
        session_.log.Detail() << "  the module sent \"" << Utf8(text) << "\" to the command line\n";
        if (words.empty()) continue;
        typed_.assign(words.begin() + 1, words.end());
        RunCommand(words[0], line, Utf8(words[0]), true);
        typed_.clear();
        standin::PumpMessages();
    }
}

bool ScriptRunner::Feed(const standin::InputRequest& request)
{
    if (Failed()) return false;
    if (!typed_.empty()) {
        const std::string text = Utf8(typed_.front());
        typed_.pop_front();
        return Answer(request, text, commandLine_, true);
    }
    while (next_ < total_) {
        if (InterruptSignal()) {  // Ctrl-C: the command waiting is cancelled, as Esc cancels it
            session_.log.Detail() << "  interrupted: the command waiting for \"" << Prompt(request.prompt)
                                  << "\" is cancelled\n";
            return false;
        }
        const Line line = NextLine();
        if (!line.error.empty()) {
            Fail(line.number, line.error);
            return false;
        }
        if (line.text.empty() && !line.quoted && !line.comment.empty()) {
            Narrate(line);
            continue;
        }
        if (line.action) {
            session_.log.Detail() << "[" << line.number << "] " << line.text << "\n";
            const size_t queued = (size_t)standin::PendingAnswers();
            Action(line, &request);
            if (Failed()) return false;
            if ((size_t)standin::PendingAnswers() > queued) return true;  // it answered the prompt
            continue;
        }
        return Answer(request, line.text, line.number);
    }
    Fail(commandLine_, "the script ended while a command waited for \"" + Prompt(request.prompt) + "\"");
    return false;
}

bool ScriptRunner::Answer(const standin::InputRequest& request, const std::string& text, int line, bool sent)
{
    answerLine_ = line;
    lastAnswer_ = text;
    session_.log.Detail() << "  " << (sent ? std::string("(sent) ") : "[" + std::to_string(line) + "] ")
                          << Prompt(request.prompt) << " " << (text.empty() ? "(Enter)" : text) << "\n";
    if (text.empty()) {
        standin::QueueEnter();
        return true;
    }
    OdGePoint3d p;
    const bool relative = text[0] == '@' && ParsePoint(text.substr(1), p);
    if (relative) p = standin::LastPoint() + OdGeVector3d(p.x, p.y, p.z);
    if (relative && !(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))) {
        Fail(line, text + " from the last point is past the largest number (\"" + Prompt(request.prompt) + "\")");
        return false;
    }
    const bool point = relative || ParsePoint(text, p);
    if (request.kind == standin::InputKind::kPoint && point) {
        standin::QueuePoint(p);
        return true;
    }
    if (request.kind == standin::InputKind::kEntity && point) {
        const OdDbObjectIdArray hits = standin::EntitiesAt(p, 1e-3);
        if (hits.isEmpty()) {
            Fail(line, "nothing to pick at " + text + " (\"" + Prompt(request.prompt) + "\")");
            return false;
        }
        standin::QueuePick(hits[hits.length() - 1], p);
        return true;
    }
    standin::QueueText(Wide(text));
    return true;
}

bool ScriptRunner::Refused(const standin::InputRequest& request, const std::wstring& why)
{
    // A long answer is named by its start: the reason says the rest.
    std::string shown = lastAnswer_;
    if (shown.size() > 60) {
        size_t cut = 60;
        while (cut > 0 && ((unsigned char)shown[cut] & 0xC0) == 0x80) --cut;
        shown = shown.substr(0, cut) + "...";
    }
    Fail(answerLine_, "\"" + shown + "\" is refused at \"" + Prompt(request.prompt) + "\": " + Utf8(why));
    return false;
}

void ScriptRunner::CheckPendingAnswers()
{
    if (boxesQueued_ > 0 && !boxLines_.empty()) {
        Fail(boxLines_.front(), "no message box came for this answer");
        return;
    }
    for (const PendingAnswer& p : pending_)
        if (!*p.done) {
            Fail(p.line, p.what + " was never shown");
            return;
        }
}

OdDbObjectIdArray ScriptRunner::Select(const std::vector<std::string>& words, std::string& error)
{
    OdDbDatabase* db = CurrentDrawing();
    OdDbObjectIdArray chosen;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) {
        error = "no drawing is open";
        return chosen;
    }
    // The words as steps: a test each entity must pass, or "last".
    using Test = std::function<bool(const OdDbObjectId&, OdDbEntity*)>;
    struct Step {
        bool last = false;
        Test test;
    };
    std::vector<Step> steps;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const bool hasValue = i + 1 < words.size();
        if (w == "all") continue;  // what is on a frozen layer is left out below
        if (w == "new") {
            steps.push_back({false, [this](const OdDbObjectId& id, OdDbEntity*) {
                                 return !std::binary_search(session_.opened.begin(), session_.opened.end(),
                                                            (uint64_t)id.getHandle());
                             }});
        } else if (w == "last") {
            steps.push_back({true, nullptr});
        } else if ((w == "layer" || w == "type" || w == "handle" || w == "text") && hasValue) {
            const std::string value = words[++i];
            steps.push_back({false, [w, value](const OdDbObjectId& id, OdDbEntity* e) {
                                 if (w == "layer") return InList(value, Utf8(e->layer().c_str()), true);
                                 if (w == "handle")
                                     return InList(Upper(value), Upper(Utf8(id.getHandle().ascii().str())), false);
                                 if (w == "text") return EntityText(e) == value;
                                 const std::string type = RecordTypeOf(e);
                                 return !type.empty() && InList(value, type, true);
                             }});
            // A name no kind has is looked for in the drawing only then.
            std::stringstream list(w == "type" ? value : std::string());
            std::string type;
            std::unique_ptr<std::set<std::string>> inDrawing;
            while (std::getline(list, type, ',')) {
                if (NoRecordType(type, {}).empty()) continue;
                if (!inDrawing) {
                    inDrawing = std::make_unique<std::set<std::string>>();
                    for (const OdDbObjectId& id : ms->entityIds()) {
                        OdDbEntity* e = nullptr;
                        if (id.isErased() || oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
                        inDrawing->insert(RecordTypeOf(e));
                        e->close();
                    }
                }
                if (!(error = NoRecordType(type, *inDrawing)).empty()) {
                    ms->close();
                    return chosen;
                }
            }
        } else if (w == "window" && i + 2 < words.size()) {
            OdGePoint3d a, b;
            if (!ParsePoint(words[i + 1], a) || !ParsePoint(words[i + 2], b)) {
                error = "a window needs two corners X0,Y0 X1,Y1";
                ms->close();
                return chosen;
            }
            i += 2;
            const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
            steps.push_back({false, [=](const OdDbObjectId&, OdDbEntity* e) {
                                 OdGeExtents3d ext;
                                 if (e->getGeomExtents(ext) != eOk || !ext.isValidExtents()) return false;
                                 return ext.minPoint().x >= x0 && ext.maxPoint().x <= x1 && ext.minPoint().y >= y0 &&
                                        ext.maxPoint().y <= y1;
                             }});
        } else if (w == "at" && hasValue) {
            auto hit = std::make_shared<std::set<OdDbStub*>>();
            while (i + 1 < words.size()) {
                OdGePoint3d p;
                if (!ParsePoint(words[i + 1], p)) break;
                ++i;
                for (const OdDbObjectId& id : standin::EntitiesAt(p, 1e-3)) hit->insert(id.stub());
            }
            steps.push_back({false, [hit](const OdDbObjectId& id, OdDbEntity*) { return hit->count(id.stub()) > 0; }});
        } else if (w == "layer" || w == "type" || w == "handle" || w == "text" || w == "window" || w == "at") {
            error = "the filter \"" + w + "\" needs " +
                    (w == "window" ? "two corners X0,Y0 X1,Y1" : w == "at" ? "a point X,Y" : "a value");
            ms->close();
            return chosen;
        } else {
            error = "\"" + w + "\" is no selection filter (all, new, last, layer, type, handle, text, window, at)";
            ms->close();
            return chosen;
        }
    }

    std::vector<OdDbObjectId> ids;
    size_t step = 0;
    const std::vector<OdDbObjectId>& all = ms->entityIds();
    const auto firstLast =
        std::find_if(steps.begin(), steps.end(), [](const Step& st) { return st.last; }) - steps.begin();
    if ((size_t)firstLast < steps.size()) {
        // The last entity passing the tests before the first "last": found
        // from the end, without a walk over the whole drawing.
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            if (it->isErased()) continue;
            OdDbEntity* e = nullptr;
            if (oddbOpenObject(e, *it, OdDb::kForRead) != eOk) continue;
            bool ok = true;
            for (size_t k = 0; k < (size_t)firstLast && ok; ++k) ok = steps[k].test(*it, e);
            e->close();
            if (ok) {
                ids.push_back(*it);
                break;
            }
        }
        step = (size_t)firstLast + 1;
    } else {
        for (const OdDbObjectId& id : all)
            if (!id.isErased()) ids.push_back(id);
    }
    ms->close();
    for (; step < steps.size(); ++step) {
        if (steps[step].last) {
            if (!ids.empty()) ids.erase(ids.begin(), ids.end() - 1);
            continue;
        }
        std::vector<OdDbObjectId> kept;
        for (const OdDbObjectId& id : ids) {
            OdDbEntity* e = nullptr;
            if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
            const bool ok = steps[step].test(id, e);
            e->close();
            if (ok) kept.push_back(id);
        }
        ids.swap(kept);
    }
    // As the host's selection: what is on a frozen layer is not there to
    // pick, whatever the filter.
    size_t onFrozen = 0;
    std::vector<std::string> frozenLayers;
    for (const OdDbObjectId& id : ids) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        OdDbLayerTableRecord* layer = nullptr;
        bool frozen = false;
        if (oddbOpenObject(layer, e->layerId(), OdDb::kForRead) == eOk) {
            frozen = layer->isFrozen();
            layer->close();
        }
        if (frozen) {
            ++onFrozen;
            const std::string name = Utf8(e->layer().c_str());
            if (std::find(frozenLayers.begin(), frozenLayers.end(), name) == frozenLayers.end())
                frozenLayers.push_back(name);
        }
        e->close();
        if (!frozen) chosen.append(id);
    }
    if (chosen.isEmpty()) {
        error = "the selection is empty";
        // Said, so that a frozen layer does not pass for a filter that takes nothing.
        if (onFrozen) {
            std::string names;
            for (const std::string& l : frozenLayers) names += (names.empty() ? "" : ", ") + l;
            error += ": the " + Count(onFrozen, "entity", "entities") + " the filter takes " +
                     (onFrozen == 1 ? "is" : "are") + " on the frozen " + (frozenLayers.size() == 1 ? "layer " : "layers ") +
                     names + ", which no selection takes (thaw it with -LAYER)";
        }
    }
    return chosen;
}

}  // namespace velkhost
