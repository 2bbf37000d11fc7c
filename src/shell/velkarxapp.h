// The plug-in's application object: entry messages, start-up and unload, and
// its two commands.
#pragma once

#include <string>

#include "gcrx_app.h"

class AcEdContextReactor;
class CEntHilightReactor;
class CDocReactor;
class CDbReactor;

class CVelkArxApp : public GcRxArxApp {
public:
    CVelkArxApp();

    // Message n from 1 to 15 goes to handler n - 1, message 0 to handler 15;
    // any other message gives 0.
    unsigned DispatchAppMessage(unsigned message, void* packet);

    // The framework's start-up, then the folder check (3 when it fails:
    // nothing of the plug-in starts) and the plug-in's start-up.
    unsigned On_kInitAppMsg(void* packet) override;
    unsigned On_kUnloadAppMsg(void* packet) override;

    void StartPlugin();
    void StopPlugin();
};

// The one application object.
extern CVelkArxApp theApp;

// What the start-up creates and the unload removes (null when absent); the
// editor reactor, g_pEditorReactor, is in state/reactorflags.h.
extern AcEdContextReactor* g_pSelectionFilter;
extern CEntHilightReactor* g_pHighlightFilter;
extern CDocReactor* g_pDocReactor;
extern CDbReactor* g_pDbReactor;

// The answer file testConnect named (UTF-8); the peer's echo is written
// there and nowhere else.
extern std::string g_testDataFile;

// Registers the receiver window's class, names the peer client after it and
// loads the settings.
void RegisterPluginWindowClass();
// Command VELK: floats the toolbar again and shows it.
void CmdShowToolBar();
// Command testConnect: sends a test block to the peer.
void CmdTestConnect();
