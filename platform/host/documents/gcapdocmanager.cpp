#include "gcapdocmanager.h"

#include <algorithm>

#include "afxwin.h"
#include "gced_cmd.h"
#include "hostdb_control.h"
#include "standin_control.h"

namespace {
// The handles that pushes replaced, the latest last.
std::vector<HINSTANCE> g_savedResources;
standin::ResetHook g_reset([] { g_savedResources.clear(); });
}  // namespace

GcApDocument::GcApDocument(const wchar_t* fileName, OdDbDatabase* db)
    : fileName_(fileName), db_(db ? db : new OdDbDatabase())
{
}

GcApDocument::~GcApDocument() { delete db_; }

GcAp::DocLockMode GcApDocument::lockMode() const { return locks_ > 0 ? GcAp::kWrite : GcAp::kNotLocked; }

GcApDocument* GcApDocManager::document(const OdDbDatabase* db) const
{
    for (auto* d : docs_)
        if (d->database() == db) return d;
    return nullptr;
}

OdResult GcApDocManager::lockDocument(GcApDocument* doc, GcAp::DocLockMode mode, const wchar_t* globalCmdName,
                                     const wchar_t* localCmdName, bool)
{
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return eInvalidInput;
    ++doc->locks_;
    // Locked for write under a command name, the document runs that
    // command: one undo step until the unlock.
    const wchar_t* name = globalCmdName && *globalCmdName ? globalCmdName : localCmdName;
    if (mode != GcAp::kRead && name && *name) standin::OpenLockStep(doc, name);
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentLockModeChanged(doc);
    return eOk;
}

OdResult GcApDocManager::unlockDocument(GcApDocument* doc)
{
    if (!doc || doc->locks_ == 0) return eNotApplicable;
    --doc->locks_;
    standin::CloseLockStep(doc);
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentLockModeChanged(doc);
    return eOk;
}

void GcApDocManager::addReactor(GcApDocManagerReactor* r)
{
    if (std::find(reactors_.begin(), reactors_.end(), r) == reactors_.end()) reactors_.push_back(r);
}

void GcApDocManager::removeReactor(GcApDocManagerReactor* r)
{
    reactors_.erase(std::remove(reactors_.begin(), reactors_.end(), r), reactors_.end());
}

void GcApDocManager::pushResourceHandle(HINSTANCE resource)
{
    g_savedResources.push_back(AfxGetResourceHandle());
    AfxSetResourceHandle(resource);
}

void GcApDocManager::popResourceHandle()
{
    if (g_savedResources.empty()) return;
    AfxSetResourceHandle(g_savedResources.back());
    g_savedResources.pop_back();
}

GcApDocument* GcApDocManager::createDocument(const wchar_t* fileName, bool makeCurrent, OdDbDatabase* db)
{
    auto* doc = new GcApDocument(fileName ? fileName : L"Drawing1.dwg", db);
    docs_.push_back(doc);
    // What the reactors change in a drawing being opened is no undo step.
    standin::QuietWhile(true);
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentCreated(doc);
    standin::QuietWhile(false);
    if (makeCurrent || !current_) activate(doc);
    return doc;
}

void GcApDocManager::setFileName(GcApDocument* doc, const wchar_t* fileName)
{
    if (doc && fileName) doc->fileName_ = fileName;
}

void GcApDocManager::activate(GcApDocument* doc)
{
    if (!doc) return;
    current_ = doc;
    oddbHostApplicationServices()->setWorkingDatabase(nullptr);
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentBecameCurrent(doc);
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentActivated(doc);
}

void GcApDocManager::close(GcApDocument* doc)
{
    auto it = std::find(docs_.begin(), docs_.end(), doc);
    if (it == docs_.end()) return;
    for (auto* r : std::vector<GcApDocManagerReactor*>(reactors_)) r->documentToBeDestroyed(doc);
    docs_.erase(it);
    standin::ForgetDocumentHistory(doc);
    if (current_ == doc) {
        current_ = nullptr;
        if (!docs_.empty()) activate(docs_.back());
    }
    delete doc;
}

GcApDocManager::~GcApDocManager() { closeAll(); }

void GcApDocManager::closeAll()
{
    for (auto* d : docs_) delete d;
    docs_.clear();
    reactors_.clear();
    current_ = nullptr;
}

bool GcApDocumentIterator::done() const { return index_ >= manager_->documentCount(); }
void GcApDocumentIterator::step() { ++index_; }
GcApDocument* GcApDocumentIterator::document() const { return done() ? nullptr : manager_->documentAt(index_); }

namespace {
std::vector<std::wstring> g_sentStrings;
standin::ResetHook g_resetSent([] { g_sentStrings.clear(); });
}  // namespace

OdResult GcApDocManager::sendStringToExecute(GcApDocument* doc, const wchar_t* text, bool, bool, bool)
{
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end() || !text) return eInvalidInput;
    g_sentStrings.push_back(text);
    return eOk;
}

namespace standin {
const std::vector<std::wstring>& SentCommandStrings() { return g_sentStrings; }
}  // namespace standin

GcApDocManager* gcDocManagerPtr()
{
    static GcApDocManager m;
    return &m;
}
