// Control interface of the drawing-database stand-in, for tests and the
// stand-in host: documents, fault injection, open counters and the record of
// protocol violations.
#pragma once

#include <string>
#include <vector>

class GcApDocument;
class OdDbDatabase;

namespace standin {

// Opens a new drawing of that file name (an unsaved drawing has a name
// without a backslash) with a new default database; it becomes the current
// document when asked. The document manager owns it.
GcApDocument* CreateDocument(const wchar_t* fileName, bool makeCurrent = true);
// Makes it the current document (its database the working database).
void ActivateDocument(GcApDocument* doc);
// Closes the drawing: the document and its database are destroyed.
void CloseDocument(GcApDocument* doc);
// Write opens of a document's database need its write lock when on.
void RequireDocumentLock(bool on);

// The next calls of the named host operation fail with `status`: `skip`
// calls pass first, then `times` calls fail. Operations: "open" (any mode),
// "openRead", "openWrite", "append" (to a block), "add" (to a symbol
// table), "setAt" (dictionary), "setColor", "setLayer", "setLinetype",
// "setTransparency", "transformBy", "loadLineType", "addBlockExt",
// "moveToBottom" and "moveToTop" (draw order), "explode" (block references,
// regions and proxies, 137 included), and the other setters that
// return a status by their own names (for example "setPosition",
// "setTextString", "setSourceFileName").
void FailHostCall(const std::string& op, int status, int skip = 0, int times = 1);
// Used by the stand-in: the status to fail with, 0 to go on.
int TakeHostFault(const char* op);
// Whether a fault set for the named operation has not struck yet (its
// calls ran out first).
bool HostFaultPending(const std::string& op);
// How many calls of the named operation were made since the reset.
int HostCallCount(const std::string& op);
void CountHostCall(const char* op);

// Objects of any database currently open (each read or write open counts).
int OpenObjectCount();
// Database objects in memory (in a database or not, open or not).
int LiveObjectCount();
// The bytes the allocator has handed out and not yet taken back, for the
// measures of what a drawing and its undo history hold.
double HeapBytesInUse();
// Descriptions ("AcDbLine #2A read") of the objects still open.
std::vector<std::wstring> OpenObjects();

// Misuse of the host protocol (a setter on an object not open for write, a
// close of an object that is not open); tests expect none.
const std::vector<std::string>& HostViolations();
void RecordHostViolation(const std::string& what);

}  // namespace standin
