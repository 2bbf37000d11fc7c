// Host SDK stand-in: the application framework a plug-in's application
// object derives from. It is compiled into the plug-in (header only): one
// virtual handler per entry message, the framework's own start-up and
// unload, and the plug-in's class, command and LISP tables, registered and
// unregistered in list order.
#pragma once

#include <cstdint>

#include "gced_cmd.h"
#include "gcedinput.h"
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

// One run-time class a plug-in registers: registered at load, in list
// order, and deleted at unload (its derived classes first).
struct GcRxClassEntry {
    void (*registerClass)();
    OdRxClass* (*classDesc)();
    uint8_t done;
    GcRxClassEntry* next;
};

// One command of the command table: added at load (the local name from the
// module's string table when null), removed at unload.
struct GcRxCommandEntry {
    const wchar_t* group;
    const wchar_t* globalName;
    const wchar_t* localName;
    OdInt32 flags;
    GcRxFunctionPtr function;
    void* uiContext;
    UINT localNameId;
    GcRxCommandEntry* next;
};
// Commands with this flag get no resource handle.
#define GCRX_CMD_NO_RESOURCE 0x200000

// One LISP function: defined for each drawing under its index.
struct GcRxLispEntry {
    const wchar_t* name;
    GcRxLispFunction function;
    uint8_t registerAsFunction;
    UINT nameId;
    GcRxLispEntry* next;
};

class GcRxDbxApp {
public:
    // `moduleInstance` is taken from the cell at the load message: the
    // operating system fills the cell when it loads the module, after static
    // objects such as the application object are built.
    explicit GcRxDbxApp(const HINSTANCE& moduleInstanceCell) : instanceCell_(moduleInstanceCell) {}
    virtual ~GcRxDbxApp() = default;

    HINSTANCE moduleInstance = nullptr;
    uint8_t unlockOnInit = 1;
    uint8_t mdiAwareOnInit = 1;
    GcRxClassEntry* classInitTable = nullptr;

    // Slots 0 to 15: entry messages 1 to 15, then message 0.
    virtual unsigned On_kInitAppMsg(void* pkt)
    {
        moduleInstance = instanceCell_;
        if (unlockOnInit) odrxDynamicLinker()->unlockApplication(pkt);
        if (mdiAwareOnInit) odrxDynamicLinker()->registerAppMDIAware(pkt);
        RegisterServerComponents();
        int count = 0;
        for (GcRxClassEntry* e = classInitTable; e; e = e->next) {
            if (e->registerClass) e->registerClass();
            e->done = 1;
            ++count;
        }
        if (count > 0) odrxBuildClassHierarchy();
        return kRetOK;
    }
    virtual unsigned On_kUnloadAppMsg(void*)
    {
        for (GcRxClassEntry* e = classInitTable; e; e = e->next) UnregisterClass(e);
        return kRetOK;
    }
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
    // Derived classes go before the class they derive from.
    void UnregisterClass(GcRxClassEntry* entry)
    {
        if (!entry->done) return;
        entry->done = 0;
        OdRxClass* cls = entry->classDesc ? entry->classDesc() : nullptr;
        for (GcRxClassEntry* e = classInitTable; e; e = e->next) {
            OdRxClass* other = e->done && e->classDesc ? e->classDesc() : nullptr;
            if (other && cls && other->myParent() == cls) UnregisterClass(e);
        }
        deleteOdRxClass(cls);
    }

    const HINSTANCE& instanceCell_;
};

// The framework level that owns the command and LISP tables.
class GcRxArxApp : public GcRxDbxApp {
public:
    using GcRxDbxApp::GcRxDbxApp;

    GcRxCommandEntry* commandTable = nullptr;
    GcRxLispEntry* lispFunctionTable = nullptr;

    unsigned On_kInitAppMsg(void* pkt) override
    {
        unsigned result = GcRxDbxApp::On_kInitAppMsg(pkt);
        for (GcRxCommandEntry* e = commandTable; e; e = e->next) {
            wchar_t buffer[133] = {};
            const wchar_t* localName = NameOf(e->localName, e->localNameId, buffer);
            HINSTANCE resource = (e->flags & GCRX_CMD_NO_RESOURCE) ? nullptr : moduleInstance;
            odedRegCmds()->addCommand(e->group, e->globalName, localName, e->flags, e->function, e->uiContext, -1,
                                      resource, nullptr);
        }
        return result;
    }
    unsigned On_kUnloadAppMsg(void* pkt) override
    {
        unsigned result = GcRxDbxApp::On_kUnloadAppMsg(pkt);
        for (GcRxCommandEntry* e = commandTable; e; e = e->next) odedRegCmds()->removeCmd(e->group, e->globalName);
        return result;
    }
    unsigned On_kLoadDwgMsg(void*) override
    {
        int i = 0;
        for (GcRxLispEntry* e = lispFunctionTable; e; e = e->next, ++i) {
            wchar_t buffer[133] = {};
            gcedDefun(NameOf(e->name, e->nameId, buffer), i);
            if (e->registerAsFunction) gcedRegFunc(e->function, i);
        }
        return kRetOK;
    }
    unsigned On_kUnloadDwgMsg(void*) override
    {
        int i = 0;
        for (GcRxLispEntry* e = lispFunctionTable; e; e = e->next, ++i) {
            wchar_t buffer[133] = {};
            gcedUndef(NameOf(e->name, e->nameId, buffer), i);
        }
        return kRetOK;
    }
    unsigned On_kInvkSubrMsg(void*) override
    {
        int code = gcedGetFunCode();
        int i = 0;
        for (GcRxLispEntry* e = lispFunctionTable; e; e = e->next, ++i)
            if (i == code && e->function) e->function();
        return kRetOK;
    }

private:
    // A name given, or else the module's string of that id (132 characters
    // at most).
    const wchar_t* NameOf(const wchar_t* name, UINT stringId, wchar_t (&buffer)[133]) const
    {
        if (name) return name;
        LoadStringW(moduleInstance, stringId, buffer, 133);
        return buffer;
    }
};
