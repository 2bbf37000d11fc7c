// Finding, checking and starting the peer map program, and the hints that
// go with it: a peer that is too old, and a newer plug-in.
#pragma once

#include <cstdint>

#include "afxstr.h"
#include "windows.h"

// The installed peer's version from the registry ("LastVersion"); read
// while it is below 832, kept once it reached 832.
extern int32_t g_installedPeerVersion;
// Armed at load: each hint comes at most once per load.
extern bool g_bPeerTooOldHintArmed;
extern bool g_bUpdateNoticeArmed;
// The pages the hints open (deployment configuration).
extern const wchar_t* const kPeerDownloadPage;
extern const wchar_t* const kPluginUpdatePage;

// True when the peer's window exists, its installation is new enough and it
// is free for a request. The user is told why not unless `report` is false.
bool CheckVelkStatus(bool report = true);
// At start-up: 1 the peer runs and is ready; 0 it runs but is busy, or the
// user was offered to start it; -1 it is not installed or too old.
int StartVelkProgram();
// Restores the peer's window when minimised and raises it; 0 without one.
BOOL ActivateVelkWindow();
void StartPeerProgram(const CString& path, HWND owner);
// 1 to go on, 0 when the user chose to open the page; "不再提示" clears the flag.
int ShowHintOnce(uint8_t& hintFlag, const CString& text, const CString& page);
int PeerTooOldHint();
int UpdateNotice(const CString& text, int32_t version);
// The answer to 20204 (at least 408 bytes).
void OnPluginVersionAnswer(const uint8_t* payload, uint32_t size);
