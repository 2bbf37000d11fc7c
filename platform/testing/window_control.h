// Control of the stand-in window manager and shell, for tests and the
// stand-in host: the message loop, the clock, scripted SendMessageTimeoutW
// outcomes, and the record of shell starts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace standin {

// Runs the message loop until idle: posted messages, late answers of timed-out
// sends and the timers due at the current time, in order.
void PumpMessages();
// Moves the clock forward by `ms`, stopping at every timer that falls due on
// the way to deliver it (posted messages first, as Windows does).
void AdvanceClockMs(uint64_t ms);
// How far the clock moves while a message box is open (0 by default): the
// box runs the message loop, so timers due meanwhile fire inside it.
void SetModalDwellMs(uint64_t ms);
// The primary screen's size that GetSystemMetrics reports (1920 x 1080 on
// a new machine).
void SetScreenSize(int width, int height);
size_t QueuedMessageCount();
bool HasTimer(HWND hwnd, UINT_PTR id);
// The timer's period in ms; 0 when there is no such timer.
UINT TimerInterval(HWND hwnd, UINT_PTR id);

// What SendMessageTimeoutW does when it targets this window.
enum class SendTimeoutOutcome {
    Answer,   // handled in time (the default)
    TimeOut,  // fails with ERROR_TIMEOUT; the window handles it later
    Fail,     // fails at once with another error; never handled
};
void SetSendTimeoutOutcome(HWND hwnd, SendTimeoutOutcome outcome);

struct ShellExecuteRecord {
    std::wstring verb;
    std::wstring file;
    std::wstring params;
    std::wstring dir;
    int show;
};
const std::vector<ShellExecuteRecord>& ShellExecutes();
// Runs in place of the program at `programPath` (compared without case)
// when the shell is asked to open it; false makes the start fail.
using Launcher = std::function<bool(const std::wstring& params)>;
void RegisterLauncher(const std::wstring& programPath, Launcher launcher);

// What a modal loop (a message box or a modal dialog) runs while it is open.
void RunModalLoop();

}  // namespace standin
