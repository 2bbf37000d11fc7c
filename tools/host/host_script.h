// Host scripts, run as the host runs its script files: each line is what a
// user types at the command line. A command name starts a command; the
// editor's input calls take the next lines as the answers to its prompts
// when they need input (nothing is queued ahead). Lines beginning with ">"
// are what the user does with the mouse and what happens in the peer
// (host_options.cpp lists the forms). A line that fails stops the script.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editor_control.h"
#include "host_reports.h"
#include "oddbobject.h"

class OdDbBlockTableRecord;

namespace velkhost {

struct Session;

// The handles of model space's entities that are not erased, brought up to
// date from what changed since the last look (the entities appended to model
// space, those whose erased flag changed): the cost of a look grows with the
// changes, not with the drawing. Another drawing is walked whole.
class ModelSpaceSet {
public:
    // Becomes the drawing's set; empty without a drawing.
    void Update(OdDbDatabase* db);
    // The handles in the drawing's set now that are not in this one.
    std::set<uint64_t> AddedSince(OdDbDatabase* db) const;

private:
    // Calls f with each entity of model space that may have changed since
    // the last Update; false when that cannot be told (another drawing).
    template <class F>
    bool EachChanged(OdDbDatabase* db, const OdDbBlockTableRecord* ms, F f) const;

    std::set<uint64_t> handles_;
    uint64_t database_ = 0;  // the drawing's serial; 0: none
    size_t appended_ = 0;    // model space's entities seen
    OdDbObjectId last_;      // the last of them
    size_t erasures_ = 0;    // erased-flag changes seen
};

class ScriptRunner {
public:
    explicit ScriptRunner(Session& session);
    ~ScriptRunner();

    // Reads and runs the script; false, with the failure in the transcript
    // ("script line N"), when a line failed or the file cannot be read. It
    // is read whole before it runs, so that the transcript can say how many
    // lines it has: a script longer than kScriptBytes, a line longer than
    // kScriptLineBytes and a NUL byte are refused as they are read, naming
    // the line, and Ctrl-C ends a read that waits (a pipe).
    bool RunFile(const std::string& path);
    static const size_t kScriptBytes = 16 << 20;
    static const size_t kScriptLineBytes = 65536;
    // Runs script text; `name` names it in the transcript.
    bool Run(const std::string& text, const std::string& name);

    // One line of the script: its number and text without the comment.
    struct Line {
        int number = 0;
        std::string text;     // a text in quotes without them
        std::string comment;
        bool action = false;  // a ">" line
        bool quoted = false;  // the text was in quotes: never a command or an action
        std::string error;    // why the line cannot be read
    };

    // For the actions (script_actions.cpp).
    Session& session() { return session_; }
    // Fails the line: the script stops.
    void Fail(int line, const std::string& why);
    bool Failed() const { return failedLine_ != 0; }
    // The entities the selection words choose; empty, with the reason, when
    // they choose none or cannot be read.
    OdDbObjectIdArray Select(const std::vector<std::string>& words, std::string& error);
    // The script's answers still waiting for their message box, dialog or
    // browser; each names its line.
    struct PendingAnswer {
        int line;
        std::string what;
        bool* done;
    };

private:
    bool Feed(const standin::InputRequest& request);
    bool Refused(const standin::InputRequest& request, const std::wstring& why);
    void RunLine(const Line& line);
    // `sent`: a command the module sent; its failure is the line's.
    void RunCommand(const std::wstring& name, int line, const std::string& shown, bool sent = false);
    void RunSentCommands(int line);
    // Runs a "> ..." line; `prompting`: an input call waits (only answers
    // for later may be given then).
    void Action(const Line& line, const standin::InputRequest* prompting);
    // `sent`: a word of a command the module sent, not a line of the script.
    bool Answer(const standin::InputRequest& request, const std::string& text, int line, bool sent = false);
    void Show(const std::vector<std::string>& words, int line);
    void Peer(const std::vector<std::string>& words, int line);
    void Picture(const std::vector<std::string>& words, int line);
    void Snapshot(const std::vector<std::string>& words, int line);
    void Dialog(const std::vector<std::string>& words, const std::string& rest, int line, bool modeless);
    void CheckPendingAnswers();
    void ReportUnansweredDialogs();
    void Narrate(const Line& line);

    // False, the failure or the interruption in the transcript, when the
    // file cannot be read as a script.
    bool ReadScript(const std::string& path, std::string& text);
    Line NextLine();

    Session& session_;
    std::string text_;     // the script; its lines are read as they run
    size_t at_ = 0;        // where the next line starts in it
    size_t next_ = 0;      // the lines read
    size_t total_ = 0;
    int failedLine_ = 0;
    int commandLine_ = 0;         // the line of the command running
    int answerLine_ = 0;          // the line of the answer being given
    std::string lastAnswer_;
    std::deque<std::wstring> typed_;  // answers the module sent along with a command
    size_t sentSeen_ = 0;
    bool narrated_ = false;       // the last line printed was narration
    // What the line before changed, for "> show added" and "> show peer-changes".
    ModelSpaceSet handlesBefore_;
    TileReport tiles_;
    std::vector<PendingAnswer> pending_;
    std::vector<std::unique_ptr<bool>> doneFlags_;
    int boxesQueued_ = 0;         // message-box answers given and not taken yet
    size_t boxesSeen_ = 0;
    std::vector<int> boxLines_;   // the lines of those answers, in order
    size_t dialogsSeen_ = 0;      // modal dialogs reported
    std::map<std::string, int> dialogsShown_;  // "dialog ID" -> times shown
};

// The words of a line: blanks separate them, "..." keeps blanks and takes
// \" \\ \n \r \t.
std::vector<std::string> SplitWords(const std::string& text);
// A point "x,y" or "x,y,z".
bool ParsePoint(const std::string& text, OdGePoint3d& point);

}  // namespace velkhost
