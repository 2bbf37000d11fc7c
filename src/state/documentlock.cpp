#include "state/documentlock.h"

#include "gcapdocmanager.h"

DocumentWriteLock::DocumentWriteLock()
{
    GcApDocManager* manager = gcDocManagerPtr();
    GcApDocument* doc = manager ? manager->curDocument() : nullptr;
    if (doc && manager->lockDocument(doc, GcAp::kWrite, nullptr, nullptr, true) == eOk) doc_ = doc;
}

DocumentWriteLock::~DocumentWriteLock()
{
    GcApDocManager* manager = gcDocManagerPtr();
    if (doc_ && manager) manager->unlockDocument(doc_);
}
