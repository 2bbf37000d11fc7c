// Events of the stand-in machine.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "standin_control.h"
#include "windows.h"

namespace {

struct Event {
    bool manualReset;
    bool signalled;
};

// Live events by handle; a handle not in here is invalid.
std::map<HANDLE, Event*>& Events()
{
    static std::map<HANDLE, Event*> events;
    return events;
}

Event* Find(HANDLE h)
{
    auto it = Events().find(h);
    if (it == Events().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

void ResetEvents()
{
    for (auto& e : Events()) delete e.second;
    Events().clear();
}

standin::ResetHook g_reset(&ResetEvents);

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR)
{
    Event* e = new Event{manualReset != FALSE, initialState != FALSE};
    Events()[e] = e;
    return e;
}

BOOL SetEvent(HANDLE event)
{
    Event* e = Find(event);
    if (!e) return FALSE;
    e->signalled = true;
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    Event* e = Find(event);
    if (!e) return FALSE;
    e->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    Event* e = Find(handle);
    if (!e) return WAIT_FAILED;
    if (e->signalled) {
        if (!e->manualReset) e->signalled = false;
        return WAIT_OBJECT_0;
    }
    if (milliseconds == INFINITE) {
        fprintf(stderr, "WaitForSingleObject: waiting forever on an event nobody can signal\n");
        abort();
    }
    standin::SetClockMs(standin::ClockMs() + milliseconds);
    return WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle)
{
    Event* e = Find(handle);
    if (!e) return FALSE;
    Events().erase(handle);
    delete e;
    return TRUE;
}

void Sleep(DWORD ms) { standin::SetClockMs(standin::ClockMs() + ms); }
