#include "transcript.h"

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "afxmsgbox.h"
#include "gcutprint.h"
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

void Transcript::Traffic(velkpeer::StandinPeer* peer)
{
    HostOutput();
    MessageBoxes();
    if (!peer) return;
    std::string last;
    int repeats = 0;
    auto emit = [&](const std::string& line) {
        if (line == last) {
            ++repeats;
            return;
        }
        if (repeats) Detail() << last << (repeats > 1 ? ", " + std::to_string(repeats) + " times" : std::string()) << "\n";
        last = line;
        repeats = line.empty() ? 0 : 1;
    };
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
    emit(std::string());
    // What is reported is let go: a long run keeps no record of its traffic.
    if (peer->ForgetRecords()) seenMessages_ = seenAnswers_ = 0;
}

}  // namespace velkhost
