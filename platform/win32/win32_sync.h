// Win32 stand-in: events. There is one thread, so a wait can only find an
// event signalled or time out; a wait without a time limit on an event
// that is not signalled would never end, and aborts the process instead.
#pragma once

#include "win32_types.h"
#include "win32_file.h"

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)

// The name is ignored: every event is private to the process.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// An auto-reset event is reset by a wait that finds it signalled. A wait
// that times out moves the virtual clock on by its time-out.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
// Moves the virtual clock on by `ms`; nothing else runs meanwhile.
void Sleep(DWORD ms);
