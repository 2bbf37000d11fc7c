#include "peer/peerapi.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "base/utf16text.h"

PeerApiState g_peerApi{};

namespace {

const wchar_t kPeerWindowClass[] = L"velkWin";
const WPARAM kPeerWParam = 1001;
const uint32_t kRegisterCode = 20000;
const uint32_t kVersionCode = 20006;
const uint32_t kUploadCode = 20102;
const int32_t kMinGatedVersion = 621;

HWND FindPeerWindow() { return FindWindowW(kPeerWindowClass, nullptr); }

void ResetConnection(PeerApiState* state)
{
    state->connectionId = 0;
    state->peerVersion = 0;
}

COPYDATASTRUCT MakeMessage(int32_t connectionId, uint32_t code, const void* data, uint32_t size)
{
    // Computed in 32 bits, then sign-extended into the pointer-sized field.
    int32_t word = (int32_t)(((uint32_t)connectionId << 16) | code);
    COPYDATASTRUCT cds;
    cds.dwData = (ULONG_PTR)(LONG_PTR)word;
    cds.cbData = data ? size : 0;
    cds.lpData = data && size ? const_cast<void*>(data) : nullptr;
    return cds;
}

LRESULT Send(HWND peer, int32_t connectionId, uint32_t code, const void* data, uint32_t size)
{
    COPYDATASTRUCT cds = MakeMessage(connectionId, code, data, size);
    return SendMessageW(peer, WM_COPYDATA, kPeerWParam, (LPARAM)&cds);
}

bool IsRefusal(LRESULT answer) { return answer == kPeerRefused6 || answer == kPeerRefused8; }

int AsStatus(LRESULT answer) { return answer < INT_MIN ? INT_MIN : (int)answer; }

int SendWithTimeout(HWND peer, const PeerApiState* state, uint32_t code, const void* data, uint32_t size,
                    int64_t* answer, int timeoutMs)
{
    COPYDATASTRUCT cds = MakeMessage(state->connectionId, code, data, size);
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(peer, WM_COPYDATA, kPeerWParam, (LPARAM)&cds, SMTO_NORMAL, (UINT)timeoutMs, &result)) {
        if (answer) *answer = (int64_t)(LONG_PTR)result;
        return kPeerAnsweredInTime;
    }
    return GetLastError() == ERROR_TIMEOUT ? kPeerOk : kPeerNoWindow;
}

}  // namespace

int PeerApiRequest(PeerApiState* state, uint32_t code, const void* data, uint32_t size, int64_t* answer,
                   int timeoutMs, const PeerIdStamp& stampId)
{
    HWND peer = FindPeerWindow();
    if (!peer) {
        ResetConnection(state);
        return kPeerNoWindow;
    }
    if (state->connectionId == 0) {
        PeerApiConnect(state);
        if (state->connectionId == 0) return kPeerRegisterFailed;
    }
    if (state->connectionId == kPeerBlocked) return kPeerBlocked;
    if (!PeerApiIsSupported(state, code)) return kPeerTooOld;
    if (stampId) stampId(state->connectionId);
    if (timeoutMs > 0) return SendWithTimeout(peer, state, code, data, size, answer, timeoutMs);

    // The peer's answer handlers may send requests of their own while this
    // send waits, so the state is read afresh after every send.
    for (bool resent = false;; resent = true) {
        LRESULT reply = Send(peer, state->connectionId, code, data, size);
        if (code == kUploadCode && reply < -100) {
            // A new object's id with its top bit set.
            if (answer) *answer = (int64_t)(uint32_t)reply;
            return kPeerOk;
        }
        // The slot holds only an answer that is final: a failed
        // re-registration below must not leave this one behind.
        if (reply >= 0 || IsRefusal(reply) || resent) {
            if (answer) *answer = reply;
            return reply >= 0 ? kPeerOk : AsStatus(reply);
        }
        // The peer lost our registration: register again and send once more.
        ResetConnection(state);
        PeerApiConnect(state);
        if (state->connectionId == 0) return kPeerRegisterFailed;
        if (state->connectionId == kPeerBlocked) return kPeerBlocked;
        if (!PeerApiIsSupported(state, code)) return kPeerTooOld;
        if (stampId) stampId(state->connectionId);
    }
}

void PeerApiConnect(PeerApiState* state)
{
    HWND peer = FindPeerWindow();
    if (!peer) return;
    std::u16string name = Utf16FromWide(state->clientName, wcslen(state->clientName));
    size_t size = 98 + 2 * name.size();
    auto* record = (unsigned char*)AllocZeroed(size);
    if (!record) return;
    for (size_t i = 0; i < name.size(); ++i) {
        record[96 + 2 * i] = (unsigned char)(name[i] & 0xFF);
        record[96 + 2 * i + 1] = (unsigned char)(name[i] >> 8);
    }
    LRESULT id = Send(peer, 0, kRegisterCode, record, (uint32_t)size);
    free(record);
    state->connectionId = (int32_t)(uint32_t)id;
    if (state->connectionId == 0) return;
    int32_t version = (int32_t)(uint32_t)Send(peer, state->connectionId, kVersionCode, nullptr, 0);
    state->peerVersion = version < 0 && version != kPeerBlocked ? 0 : version;
}

bool PeerApiIsSupported(const PeerApiState* state, uint32_t code)
{
    if (state->peerVersion >= kMinGatedVersion) return true;
    switch (code) {
    case 20007:
    case 20100:
    case 20101:
    case 20102:
    case 20103: return false;
    default: return true;
    }
}

void PeerApiSetClientName(PeerApiState* state, const wchar_t* name)
{
    const size_t cap = sizeof state->clientName / sizeof state->clientName[0];
    size_t n = name ? wcsnlen(name, cap - 1) : 0;
    if (n) wmemcpy(state->clientName, name, n);
    state->clientName[n] = 0;
}

int WideToUtf8(const wchar_t* src, char* dest, int destSize)
{
    if (!dest || destSize < 1) return 0;
    std::u16string units = src ? Utf16FromWide(src, wcslen(src)) : std::u16string();
    int o = 0;
    for (char16_t u : units) {
        if (u < 0x80) {
            if (o >= destSize - 1) break;
            dest[o++] = (char)u;
        } else if (u < 0x800) {
            if (o >= destSize - 2) break;
            dest[o++] = (char)(0xC0 | (u >> 6));
            dest[o++] = (char)(0x80 | (u & 0x3F));
        } else {
            if (o >= destSize - 3) break;
            dest[o++] = (char)(0xE0 | (u >> 12));
            dest[o++] = (char)(0x80 | ((u >> 6) & 0x3F));
            dest[o++] = (char)(0x80 | (u & 0x3F));
        }
    }
    dest[o] = 0;
    return o;
}

namespace {
bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }
}  // namespace

wchar_t* Utf8ToWide(const char* src, wchar_t* dest, uint32_t* count)
{
    if (count) *count = 0;
    auto* s = (const unsigned char*)(src ? src : "");
    size_t len = strlen((const char*)s);
    wchar_t* out = dest ? dest : (wchar_t*)malloc((len + 1) * sizeof(wchar_t));
    if (!out) return nullptr;
    size_t n = 0;
    size_t i = 0;
    while (i < len) {
        unsigned char b = s[i];
        uint32_t unit;
        if (b < 0x80) {
            unit = b;
            i += 1;
        } else if (b >= 0xC0 && b <= 0xDF) {
            if (i >= len - 1 || !IsContinuation(s[i + 1])) break;
            unit = ((uint32_t)(b - 0xC0) << 6) + (s[i + 1] - 0x80);
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (i + 2 >= len || !IsContinuation(s[i + 1]) || !IsContinuation(s[i + 2])) break;
            unit = ((uint32_t)(b - 0xE0) << 12) + ((uint32_t)(s[i + 1] - 0x80) << 6) + (s[i + 2] - 0x80);
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF7) {
            // Characters beyond the Basic Multilingual Plane are kept; a
            // four-byte form that is no character is skipped whole, as the
            // five- and six-byte forms are.
            if (i + 3 >= len || !IsContinuation(s[i + 1]) || !IsContinuation(s[i + 2]) ||
                !IsContinuation(s[i + 3])) {
                i += 4;
                continue;
            }
            unit = ((uint32_t)(b - 0xF0) << 18) + ((uint32_t)(s[i + 1] - 0x80) << 12) +
                   ((uint32_t)(s[i + 2] - 0x80) << 6) + (s[i + 3] - 0x80);
            i += 4;
            if (unit > 0x10FFFF) continue;
        } else if (b >= 0xF8 && b <= 0xFB) {
            i += 5;
            continue;
        } else if (b >= 0xFC && b <= 0xFD) {
            i += 6;
            continue;
        } else {
            break;
        }
        // A surrogate pair written half by half (as WideToUtf8 does) is one
        // character again.
        if (unit >= 0xDC00 && unit <= 0xDFFF && n > 0 && out[n - 1] >= 0xD800 && out[n - 1] <= 0xDBFF)
            out[n - 1] = (wchar_t)(0x10000 + (((uint32_t)out[n - 1] - 0xD800) << 10) + (unit - 0xDC00));
        else
            out[n++] = (wchar_t)unit;
    }
    out[n] = 0;
    if (count) *count = (uint32_t)n;
    return out;
}

void* AllocZeroed(size_t n)
{
    void* p = malloc(n ? n : 1);
    if (p) memset(p, 0, n ? n : 1);
    return p;
}

char* DupString(const char* s)
{
    if (!s) return nullptr;
    size_t n = strlen(s);
    auto* p = (char*)AllocZeroed(n + 1);
    if (p) memcpy(p, s, n);
    return p;
}

char* DupBytes(const void* p, size_t n)
{
    auto* out = (char*)AllocZeroed(n + 1);
    if (out && n) memcpy(out, p, n);
    return out;
}
