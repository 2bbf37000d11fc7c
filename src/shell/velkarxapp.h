// The plug-in's application object: entry messages, start-up and unload, and
// its two commands.
#pragma once

#include "gcrx_app.h"

class CVelkArxApp : public GcRxArxApp {
public:
    CVelkArxApp();

    // Message n from 1 to 15 goes to handler n - 1, message 0 to handler 15;
    // any other message gives 0.
    unsigned DispatchAppMessage(unsigned message, void* packet);

    unsigned On_kInitAppMsg(void* packet) override;
    unsigned On_kUnloadAppMsg(void* packet) override;

    void StartPlugin();
    void StopPlugin();
};

// The one application object.
extern CVelkArxApp theApp;

// Registers the receiver window's class and names the peer client after it.
void RegisterPluginWindowClass();
// Command VELK: shows the toolbar again.
void CmdShowToolBar();
// Command testConnect: sends a test block to the peer.
void CmdTestConnect();
