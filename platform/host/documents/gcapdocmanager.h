// Host SDK stand-in: the document manager and its documents (one drawing
// each, with its database and lock).
#pragma once

#include <vector>

#include "oddbdatabase.h"
#include "windows.h"

namespace GcAp {
enum DocLockMode { kNone = 0, kAutoWrite = 1, kNotLocked = 2, kWrite = 4, kProtectedAutoWrite = 20, kRead = 32, kXWrite = 64 };
}

class GcApDocument {
public:
    // The full path of the drawing; an unsaved drawing has a bare name.
    const OdString& fileName() const { return fileName_; }
    OdDbDatabase* database() const { return db_; }
    GcAp::DocLockMode lockMode() const;
    int lockCount() const { return locks_; }

private:
    friend class GcApDocManager;
    GcApDocument(const wchar_t* fileName, OdDbDatabase* db);
    ~GcApDocument();
    OdString fileName_;
    OdDbDatabase* db_;
    int locks_ = 0;
};

class GcApDocManagerReactor {
public:
    virtual ~GcApDocManagerReactor() = default;
    virtual void documentCreated(GcApDocument* /*doc*/) {}
    virtual void documentToBeDestroyed(GcApDocument* /*doc*/) {}
    virtual void documentActivated(GcApDocument* /*doc*/) {}
    virtual void documentBecameCurrent(GcApDocument* /*doc*/) {}
    virtual void documentLockModeChanged(GcApDocument* /*doc*/) {}
};

// Walks the open documents in the manager's order; the caller deletes it.
class GcApDocumentIterator {
public:
    bool done() const;
    void step();
    GcApDocument* document() const;

private:
    friend class GcApDocManager;
    explicit GcApDocumentIterator(const class GcApDocManager* manager) : manager_(manager) {}
    const class GcApDocManager* manager_;
    int index_ = 0;
};

// Owns its documents: those still open are destroyed when the machine is
// reset and when the program ends.
class GcApDocManager {
public:
    GcApDocManager() = default;
    GcApDocManager(const GcApDocManager&) = delete;
    GcApDocManager& operator=(const GcApDocManager&) = delete;
    ~GcApDocManager();
    // The current document; null when no drawing is open.
    GcApDocument* curDocument() const { return current_; }
    GcApDocument* mdiActiveDocument() const { return current_; }
    int documentCount() const { return (int)docs_.size(); }
    GcApDocument* documentAt(int i) const { return docs_.at((size_t)i); }
    GcApDocument* document(const OdDbDatabase* db) const;
    // Locks are counted; every lock needs its unlock.
    OdResult lockDocument(GcApDocument* doc, GcAp::DocLockMode mode = GcAp::kWrite,
                          const wchar_t* globalCmdName = nullptr, const wchar_t* localCmdName = nullptr,
                          bool prompt = true);
    OdResult unlockDocument(GcApDocument* doc);
    void addReactor(GcApDocManagerReactor* r);
    void removeReactor(GcApDocManagerReactor* r);
    int reactorCount() const { return (int)reactors_.size(); }
    GcApDocumentIterator* newGcApDocumentIterator() const { return new GcApDocumentIterator(this); }
    // Queues a command string for the document, as typed by the user; it
    // runs after the current command (the record of editor_control.h).
    OdResult sendStringToExecute(GcApDocument* doc, const wchar_t* text, bool activate = true,
                                 bool wrapUpInactiveDoc = false, bool echo = true);
    // The stack of MFC resource handles: push makes `resource` the current
    // resource handle and keeps the one it replaces; pop makes the kept one
    // current again (nothing when the stack is empty).
    void pushResourceHandle(HINSTANCE resource);
    void popResourceHandle();

    // Stand-in internals (the control interface drives them). A document
    // made with a database owns it; without one it gets a new default
    // drawing.
    GcApDocument* createDocument(const wchar_t* fileName, bool makeCurrent, OdDbDatabase* db = nullptr);
    // The drawing's file name after a save under another name.
    void setFileName(GcApDocument* doc, const wchar_t* fileName);
    void activate(GcApDocument* doc);
    void close(GcApDocument* doc);
    // Destroys every document without notifying reactors, which are dropped.
    void closeAll();

private:
    std::vector<GcApDocument*> docs_;
    std::vector<GcApDocManagerReactor*> reactors_;
    GcApDocument* current_ = nullptr;
};

GcApDocManager* gcDocManagerPtr();
