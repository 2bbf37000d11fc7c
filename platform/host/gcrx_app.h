// Host SDK stand-in: the application framework a plug-in's application
// object derives from. It is compiled into the plug-in (header only): one
// virtual handler per entry message, and the framework's own start-up.
#pragma once

#include "gced_cmd.h"
#include "odrx_module.h"
#include "windows.h"

// Entry messages the host sends a plug-in.
enum GcRxAppMsg : unsigned {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
};

// The host's application return codes.
enum GcRxAppRetCode : unsigned {
    kRetOK = 0,
    kRetError = 3,
};

class GcRxDbxApp {
public:
    // `moduleInstance` is taken from the cell at the load message: the
    // operating system fills the cell when it loads the module, after static
    // objects such as the application object are built.
    explicit GcRxDbxApp(const HINSTANCE& moduleInstanceCell) : instanceCell_(moduleInstanceCell) {}
    virtual ~GcRxDbxApp() = default;

    HINSTANCE moduleInstance = nullptr;
    bool unlockOnInit = true;
    bool mdiAwareOnInit = true;

    // Slots 0 to 15: entry messages 1 to 15, then message 0.
    virtual unsigned On_kInitAppMsg(void* pkt)
    {
        moduleInstance = instanceCell_;
        if (unlockOnInit) odrxDynamicLinker()->unlockApplication(pkt);
        if (mdiAwareOnInit) odrxDynamicLinker()->registerAppMDIAware(pkt);
        RegisterServerComponents();
        return kRetOK;
    }
    virtual unsigned On_kUnloadAppMsg(void*) { return kRetOK; }
    virtual unsigned On_kLoadDwgMsg(void*) { return kRetOK; }
    virtual unsigned On_kUnloadDwgMsg(void*) { return kRetOK; }
    virtual unsigned On_kInvkSubrMsg(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg6(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg7(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg8(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg9(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg10(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg11(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg12(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg13(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg14(void*) { return kRetOK; }
    virtual unsigned On_kAppMsg15(void*) { return kRetOK; }
    virtual unsigned On_kNullMsg(void*) { return kRetOK; }
    virtual void RegisterServerComponents() {}

private:
    const HINSTANCE& instanceCell_;
};

// The framework level that owns the command and LISP tables of a plug-in
// declared through them (this stand-in's plug-ins register commands
// themselves, so the tables are not modelled).
class GcRxArxApp : public GcRxDbxApp {
public:
    using GcRxDbxApp::GcRxDbxApp;
};
