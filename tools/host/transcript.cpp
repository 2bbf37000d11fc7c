#include "transcript.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "afxmsgbox.h"
#include "gcutprint.h"
#include "machine_folder.h"
#include "oddbobject.h"
#include "standin_peer.h"
#include "window_control.h"
#include "windows.h"

namespace velkhost {

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? (size_t)n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
    if (!out.empty()) out.pop_back();
    return out;
}

std::string HandleText(uint64_t handle) { return "handle " + Utf8(OdDbHandle(handle).ascii().str()); }

std::string PointText(double x, double y)
{
    char text[96];
    snprintf(text, sizeof text, "(%.2f, %.2f)", x, y);
    return text;
}

std::string Count(size_t n, const std::string& one, const std::string& many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

namespace {
// As stdio's buffer for a file or a pipe.
const size_t kOutputBuffer = 8192;
}  // namespace

StandardOutput::StandardOutput() : byLine_(isatty(STDOUT_FILENO) == 1) { pending_.reserve(kOutputBuffer); }

StandardOutput::~StandardOutput() { Drain(); }

void StandardOutput::UseStandardError()
{
    Drain();
    fd_ = STDERR_FILENO;
    byLine_ = isatty(fd_) == 1;
}

bool StandardOutput::Drain()
{
    for (size_t at = 0; at < pending_.size() && !error_;) {
        // A reader that takes nothing (a pipe no one reads) is waited for as
        // an output is, so that a signal ends the wait; once the run is
        // stopped, what it cannot take at once is dropped. A pipe ready
        // takes PIPE_BUF bytes without blocking.
        pollfd p = {fd_, POLLOUT, 0};
        const bool ready = InterruptSignal() ? poll(&p, 1, 0) != 0 : WaitForFile(fd_, POLLOUT);
        if (!ready) break;
        const ssize_t n = write(fd_, pending_.data() + at, std::min<size_t>(pending_.size() - at, PIPE_BUF));
        if (n > 0) {
            at += (size_t)n;
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            error_ = n == 0 ? EIO : errno;
            // The reader went away: the run stops, as the signal would
            // have stopped it.
            if (error_ == EPIPE) AskRunToStop(SIGPIPE);
        }
    }
    pending_.clear();
    return !error_;
}

int StandardOutput::overflow(int c)
{
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (error_) return c;
    pending_ += (char)c;
    if (pending_.size() >= kOutputBuffer || (byLine_ && c == '\n')) Drain();
    return c;
}

std::streamsize StandardOutput::xsputn(const char* s, std::streamsize n)
{
    if (error_) return n;
    pending_.append(s, (size_t)n);
    if (pending_.size() >= kOutputBuffer || (byLine_ && memchr(s, '\n', (size_t)n))) Drain();
    return n;
}

int StandardOutput::sync() { return Drain() ? 0 : -1; }

Transcript::Transcript(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}

void Transcript::Outcome(const std::string& line) { out_ << line << "\n"; }

void Transcript::Failed(const std::string& step, const std::string& why)
{
    failures_.push_back(step + " (" + why + ")");
    out_ << "FAILED: " << step << ": " << why << "\n";
}

void Transcript::Conclude()
{
    out_.flush();
    if (failures_.empty()) {
        out_ << "velkhost: every step succeeded\n";
        return;
    }
    out_ << "velkhost: " << failures_.size() << (failures_.size() == 1 ? " step" : " steps") << " failed: ";
    for (size_t i = 0; i < failures_.size(); ++i) out_ << (i ? "; " : "") << failures_[i];
    out_ << "\n";
}

void Transcript::Interrupted(int signal, const std::vector<std::string>& notDone)
{
    out_.flush();
    out_ << "velkhost: interrupted by "
         << (signal == SIGINT    ? std::string("Ctrl-C (SIGINT)")
             : signal == SIGTERM ? std::string("SIGTERM")
             : signal == SIGXFSZ ? std::string("a file-size limit (SIGXFSZ: a write went past ulimit -f)")
             : signal == SIGPIPE ? std::string("a closed output pipe (SIGPIPE)")
                                 : "signal " + std::to_string(signal));
    if (notDone.empty()) out_ << " after every step was done";
    for (size_t i = 0; i < notDone.size(); ++i) out_ << (i ? "; " : ": ") << notDone[i];
    if (!failures_.empty()) {
        out_ << "; " << failures_.size() << (failures_.size() == 1 ? " step" : " steps") << " failed: ";
        for (size_t i = 0; i < failures_.size(); ++i) out_ << (i ? "; " : "") << failures_[i];
    }
    out_ << "\n";
}

std::vector<std::string> Transcript::NewCommandLines()
{
    const std::wstring& text = standin::CommandLineText();
    std::vector<std::string> lines;
    if (seenText_ > text.size()) seenText_ = text.size();
    // The host starts a line of its own where a command starts and ends.
    // The breaks rise: only those past what was seen are looked at.
    const std::vector<size_t>& breaks = standin::CommandLineBreaks();
    std::vector<size_t> cuts;
    for (auto at = std::upper_bound(breaks.begin(), breaks.end(), seenText_); at != breaks.end() && *at < text.size(); ++at)
        cuts.push_back(*at);
    cuts.push_back(text.size());
    size_t from = seenText_;
    for (size_t cut : cuts) {
        std::wstring piece = text.substr(from, cut - from);
        from = cut;
        size_t start = 0;
        while (start <= piece.size()) {
            size_t end = piece.find_first_of(L"\r\n", start);
            std::wstring line = piece.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
            if (!line.empty()) lines.push_back(Utf8(line));
            if (end == std::wstring::npos) break;
            start = end + 1;
        }
    }
    seenText_ = text.size();
    return lines;
}

void Transcript::HostOutput()
{
    // A quiet transcript prints none of them: they are passed over, not
    // converted (a file may make the host say half a million lines).
    if (quiet_) seenText_ = standin::CommandLineText().size();
    else
        for (const std::string& line : NewCommandLines()) Detail() << "  command line: " << line << "\n";
    const auto& starts = standin::ShellExecutes();
    for (; seenStarts_ < starts.size(); ++seenStarts_)
        Detail() << "  shell start: " << Utf8(starts[seenStarts_].verb) << " " << Utf8(starts[seenStarts_].file) << "\n";
}

void Transcript::MessageBoxes()
{
    const auto& boxes = standin::MessageBoxes();
    if (seenBoxes_ > boxes.size()) seenBoxes_ = boxes.size();
    for (; seenBoxes_ < boxes.size(); ++seenBoxes_) {
        std::string text = Utf8(boxes[seenBoxes_].text);
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 5)) text.replace(at, 1, "\n    ");
        const int answer = boxes[seenBoxes_].answer;
        const char* said = answer == IDYES ? "是" : answer == IDNO ? "否" : answer == IDCANCEL ? "取消" : "确定";
        Detail() << "  message box: \"" << text << "\", answered " << said << "\n";
    }
}

namespace {

// Lines as the transcript prints them, a run of the same line once with its
// count, and a group of up to four lines that comes again and again (a
// timer's two messages, each day of a wait) once with its count.
class Repeats {
public:
    explicit Repeats(std::ostream& out) : out_(out) {}
    void Add(const std::string& line)
    {
        if (!cycle_.empty()) {
            if (line == cycle_[at_]) {
                if (++at_ == cycle_.size()) ++times_, at_ = 0;
                return;
            }
            const std::vector<std::string> begun(cycle_.begin(), cycle_.begin() + (long)at_);
            EndCycle();
            for (const std::string& l : begun) Add(l);
            Add(line);
            return;
        }
        recent_.push_back(line);
        for (size_t k = 1; k <= kLongest; ++k) {
            // A line twice is a run; a group only from its third time, so
            // that two lines said twice stay as they came.
            const size_t span = k * (k == 1 ? 2 : 3), n = recent_.size();
            if (n < span) break;
            bool again = true;
            for (size_t i = n - span; i + k < n && again; ++i) again = recent_[i] == recent_[i + k];
            if (!again) continue;
            for (size_t i = 0; i < n - span; ++i) out_ << recent_[i] << "\n";
            cycle_.assign(recent_.end() - (long)k, recent_.end());
            times_ = span / k;
            at_ = 0;
            recent_.clear();
            return;
        }
        if (recent_.size() >= kLongest * 3) {
            out_ << recent_.front() << "\n";
            recent_.erase(recent_.begin());
        }
    }
    void Finish()
    {
        const std::vector<std::string> begun(cycle_.begin(), cycle_.begin() + (long)at_);
        EndCycle();
        for (const std::string& l : begun) Add(l);
        EndCycle();
        for (const std::string& l : recent_) out_ << l << "\n";
        recent_.clear();
    }

private:
    static const size_t kLongest = 4;
    void EndCycle()
    {
        if (cycle_.size() == 1) {
            out_ << cycle_[0] << (times_ > 1 ? ", " + std::to_string(times_) + " times" : std::string()) << "\n";
        } else if (!cycle_.empty()) {
            for (const std::string& l : cycle_) out_ << l << "\n";
            out_ << "    the " << cycle_.size() << " lines above in turn, " << times_ << " times\n";
        }
        cycle_.clear();
        times_ = at_ = 0;
    }
    std::ostream& out_;
    std::vector<std::string> recent_;
    std::vector<std::string> cycle_;
    size_t times_ = 0, at_ = 0;
};

}  // namespace

void Transcript::Traffic(velkpeer::StandinPeer* peer)
{
    HostOutput();
    MessageBoxes();
    if (!peer) return;
    Repeats lines(Detail());
    auto emit = [&](const std::string& line) { lines.Add(line); };
    for (; seenMessages_ < peer->Messages().size(); ++seenMessages_) {
        const auto& m = peer->Messages()[seenMessages_];
        emit("    peer <- " + std::to_string(m.code) + " " + velkpeer::CodeName(m.code) + " (" +
             std::to_string(m.bytes.size()) + " bytes) answered " + std::to_string(m.answer));
    }
    for (; seenAnswers_ < peer->Answers().size(); ++seenAnswers_) {
        const auto& a = peer->Answers()[seenAnswers_];
        emit("    peer -> " + std::to_string(a.code) + " " + velkpeer::CodeName(a.code) + ": " +
             std::to_string(a.bytes.size()) + " bytes to the plug-in, which answered " + std::to_string(a.result));
    }
    lines.Finish();
    // What is reported is let go: a long run keeps no record of its traffic.
    if (peer->ForgetRecords()) seenMessages_ = seenAnswers_ = 0;
}

}  // namespace velkhost
