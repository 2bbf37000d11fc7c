// The peer API client's transport: every request to the peer map program is
// one synchronous WM_COPYDATA to its main window (class "velkWin"), with lazy
// registration, a version gate and one resend after a lost registration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "windows.h"

// Result of every request.
enum PeerRequestStatus : int {
    kPeerAnsweredInTime = 1,  // time-out form: handled within the time-out
    kPeerOk = 0,              // answered; in the time-out form also: timed out
    kPeerNoWindow = -1,
    kPeerRegisterFailed = -2,
    kPeerTooOld = -3,
    kPeerBadArguments = -4,
    kPeerRefused6 = -6,
    kPeerRefused8 = -8,
    kPeerBlocked = -10,
};

struct PeerApiState {
    int32_t connectionId;      // 0 while not registered; -10 blocks every request
    wchar_t clientName[100];   // the receiver window's class, where answers arrive
    int32_t peerVersion;       // answered at registration; 0 until then
};

// The module's one client.
extern PeerApiState g_peerApi;

// Writes the connection id into a payload that carries it in its items.
using PeerIdStamp = std::function<void(int32_t connectionId)>;

// Sends `size` bytes of `data` under `code`. A time-out of 0 or below waits
// for the answer; above 0 it is the send time-out in ms. The answer slot, when
// given, receives the peer's answer. `stampId`, when given, is called with the
// connection id just before the request goes out, and again before the
// resend that follows a re-registration.
int PeerApiRequest(PeerApiState* state, uint32_t code, const void* data, uint32_t size, int64_t* answer,
                   int timeoutMs, const PeerIdStamp& stampId = nullptr);
// Registers (20000) and asks the peer's version (20006).
void PeerApiConnect(PeerApiState* state);
bool PeerApiIsSupported(const PeerApiState* state, uint32_t code);
void PeerApiSetClientName(PeerApiState* state, const wchar_t* name);

// Each UTF-16 unit is encoded on its own (a surrogate half becomes three
// bytes); a character is never split. Always NUL-terminates; returns the
// bytes written. `destSize` must be at least 1.
int WideToUtf8(const wchar_t* src, char* dest, int destSize);
// Lenient decoder: stops at malformed input and keeps what it converted.
// With a null destination a buffer is allocated (free it with free()); the
// caller's destination must hold strlen(src) + 1 units.
wchar_t* Utf8ToWide(const char* src, wchar_t* dest, uint32_t* count);

void* AllocZeroed(size_t n);
// Heap copy of a NUL-terminated byte string.
char* DupString(const char* s);
// Heap block of n + 1 bytes: the n bytes and a NUL.
char* DupBytes(const void* p, size_t n);
