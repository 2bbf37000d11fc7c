// velkhost's transcript: what the host printed on its command line, the
// message boxes, the shell starts and the peer's messages, one event a line,
// and the outcome of each step. Quiet, only the outcome lines are printed.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace velkpeer {
class StandinPeer;
}

namespace velkhost {

std::string Utf8(const std::wstring& text);
// "handle 6A".
std::string HandleText(uint64_t handle);
// "(500100.00, 3000050.00)".
std::string PointText(double x, double y);
// "1 entity", "3 entities".
std::string Count(size_t n, const std::string& one, const std::string& many);

// Standard output as velkhost writes it: buffered as stdio buffers it (by
// line on a terminal), written with write(2) so that a failed write is
// known, not lost. A closed pipe (EPIPE) asks the run to stop as an
// interrupt does; the first error is kept for the end, and what follows it
// is dropped.
class StandardOutput : public std::streambuf {
public:
    StandardOutput();
    ~StandardOutput() override;
    // The errno of the first write that failed; 0 when none did.
    int Error() const { return error_; }
    // Writes to standard error instead, from now on (standard output takes
    // an output of the run).
    void UseStandardError();
    bool OnStandardError() const { return fd_ == 2; }

protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool Drain();
    std::string pending_;
    int fd_ = 1;
    bool byLine_ = false;
    int error_ = 0;
};

class Transcript {
public:
    Transcript(std::ostream& out, bool quiet);

    // For the lines of detail; they go nowhere when quiet.
    std::ostream& Detail() { return quiet_ ? null_ : out_; }
    // What was printed goes out now: a step about to wait on an output (a
    // pipe no one reads) has said what it does.
    void Flush() { out_.flush(); }
    // An outcome line, always printed.
    void Outcome(const std::string& line);
    // A step that failed: printed at once and named again at the end.
    void Failed(const std::string& step, const std::string& why);
    const std::vector<std::string>& Failures() const { return failures_; }
    // The last line: every step succeeded, or each that failed.
    void Conclude();
    // The last line of a run a signal stopped (SIGINT, SIGTERM): what it did
    // not do ("the drawing was not saved to X"), and each step that failed.
    void Interrupted(int signal, const std::vector<std::string>& notDone);

    // What happened since the last report: the command line, then the
    // programs and folders the shell started, the message boxes, then the
    // peer's messages and answers (a run of the same line once, with its count).
    // The peer forgets what was reported (its counts go on).
    void Traffic(velkpeer::StandinPeer* peer);
    void HostOutput();
    void MessageBoxes();
    // The command line's text since the last report, line by line.
    std::vector<std::string> NewCommandLines();

private:
    // Quiet, the detail is dropped as it comes, not kept.
    struct NullBuffer : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    std::ostream& out_;
    NullBuffer nullBuffer_;
    std::ostream null_{&nullBuffer_};
    bool quiet_;
    std::vector<std::string> failures_;
    size_t seenMessages_ = 0, seenAnswers_ = 0, seenBoxes_ = 0, seenText_ = 0, seenStarts_ = 0;
};

}  // namespace velkhost
