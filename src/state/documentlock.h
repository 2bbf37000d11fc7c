// The current document's write lock for the span of a scope.
#pragma once

class GcApDocument;

class DocumentWriteLock {
public:
    DocumentWriteLock();
    ~DocumentWriteLock();
    DocumentWriteLock(const DocumentWriteLock&) = delete;
    DocumentWriteLock& operator=(const DocumentWriteLock&) = delete;

private:
    GcApDocument* doc_ = nullptr;
};
