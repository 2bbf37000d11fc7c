// Host SDK stand-in: the editor's command stack. Commands are registered in
// groups; the host runs a command by its global or local name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "odrx_module.h"
#include "windows.h"

class GcApDocument;

typedef void (*GcRxFunctionPtr)();

#define GCRX_CMD_MODAL 0x00000000
#define GCRX_CMD_TRANSPARENT 0x00000001

class OdEdCommandStack {
public:
    // 0 on success; 1 when the group already has a command of that global name.
    int addCommand(const wchar_t* group, const wchar_t* globalName, const wchar_t* localName, OdInt32 flags,
                   GcRxFunctionPtr function, void* uiContext = nullptr, int functionCode = -1,
                   HINSTANCE resource = nullptr, void** commandOut = nullptr);
    // 0 on success; 1 when there is no such command or group.
    int removeCmd(const wchar_t* group, const wchar_t* globalName);
    int removeGroup(const wchar_t* group);
};
OdEdCommandStack* odedRegCmds();

namespace standin {
// Runs the command of that name (global or local, without case), as the user
// typing it would: a registered command, else the host's own of that name
// (OPEN, QSAVE, SAVEAS, CLOSE in gced_filecmds.cpp; LINE, POINT, TEXT,
// DTEXT, MTEXT, RECTANG, HATCH, BHATCH, ERASE, MOVE, COPY, UNDO, REDO,
// QUIT, APPLOAD, IMAGEFRAME, ZOOM, -LAYER in gced_editcmds.cpp); ".NAME" runs the host's own one and
// "_NAME" is the same command under its global name. Editor reactors hear commandWillStart with the command's global
// name before it runs and commandEnded, commandCancelled or commandFailed
// after. False when there is no such command.
bool InvokeCommand(const std::wstring& name);
// The host's own command of that name; null when there is none.
GcRxFunctionPtr HostCommand(const std::wstring& name);
// A table of host commands and its lookup without regard to case.
struct HostCommandEntry {
    const wchar_t* name;
    GcRxFunctionPtr function;
};
GcRxFunctionPtr FindHostCommand(const HostCommandEntry* table, size_t count, const std::wstring& name);
// Its drawing and editing commands (gced_editcmds.cpp).
GcRxFunctionPtr EditHostCommand(const std::wstring& name);
std::vector<std::wstring> EditHostCommands();
// APPLOAD loads the typed file with this instead of the dynamic linker;
// false makes the command fail.
void SetAppLoader(std::function<bool(const std::wstring&)> loader);
// Drops the undo history of a document that closes.
void ForgetDocumentHistory(const GcApDocument* doc);
// How many steps UNDO (REDO, with `redo`) can take back in the document.
size_t UndoDepth(const GcApDocument* doc, bool redo = false);
// A document locked for write under a command name, outside any command,
// is that command: one step, from the lock to its unlock.
void OpenLockStep(GcApDocument* doc, const std::wstring& command);
void CloseLockStep(GcApDocument* doc);
// While on, what changes a drawing is no step (a drawing being opened).
void QuietWhile(bool on);
// How many commands are running, one inside another (0 outside any).
int CommandDepth();
// Every command is one undo step of the current document, whether or not
// it changed the drawing, named by its global name (gced_editcmds.cpp):
// its group opens before the reactors hear it start (but for the host's
// UNDO, REDO, OPEN, CLOSE and QUIT, and a command run by another, which is
// part of that one) and ends once they heard it end, so that what they
// change in the drawing is undone with the command.
void OpenUndoGroup(const std::wstring& command, bool hostCommand, int depth);
void CloseUndoGroup(int depth);
// How the running host command ended (commandEnded unless it says so).
enum class CommandOutcome { kEnded, kCancelled, kFailed };
void SetCommandOutcome(CommandOutcome outcome);
// How the last command that ran ended (of a command run from inside
// another, the outer one once it has ended).
CommandOutcome LastCommandOutcome();
bool HasCommand(const std::wstring& name);
// The global names of the registered commands, and of the host's own.
std::vector<std::wstring> RegisteredCommands();
std::vector<std::wstring> HostCommands();
std::vector<std::wstring> HostCommandNames(const HostCommandEntry* table, size_t count);
// The group of a registered command, empty when none.
std::wstring CommandGroup(const std::wstring& name);
}  // namespace standin
