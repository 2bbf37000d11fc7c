// Module-wide values that the features read and the shell keeps: the
// module's instance, the link-active flag, the plug-in's version, the follow
// switch, and what the peer's answers leave for the features.
#pragma once

#include <cstdint>

#include "common/symboltable/viewextents.h"
#include "windows.h"

// Set by the DLL entry when the operating system loads the module.
extern HINSTANCE g_hModuleInstance;

// 1 at load, then the toolbar's visibility as the last check saw it; while
// 0 the receiver window, its timers and the reactors ignore everything.
extern int32_t g_bLinkActive;
// The plug-in's version, shown as 1.6.2.
extern int32_t g_pluginVersion;
// 1 at load; 0 while the coordinate window is shown, which stops follow
// mode 3 in both directions.
extern uint8_t g_bFollow3Enabled;

// Written by the receiver window: the level resolutions of the last 20212
// answer (index = map level), the match values of a 20301 answer to
// MATCHVELK with the flag that asks for them, and the tile guard of timer
// 1009.
extern double g_levelResolutionX[29];
extern double g_levelResolutionY[29];
extern bool g_bMatchOnly;
extern int32_t g_matchValues[2];
extern bool g_bTileGuard;
// The view of the last view-based base-map request (its screen width is
// read by the 20301 answer).
extern ViewExtents g_lastViewMatchExtents;
