#include "hostdb_control.h"

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own count (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <map>

#include "gcapdocmanager.h"
#include "standin_control.h"

namespace standin {
namespace {

struct Fault {
    int status;
    int skip;
    int times;
};

std::map<std::string, Fault> g_faults;
std::map<std::string, int> g_calls;
std::vector<std::string> g_violations;

void ResetControl()
{
    g_faults.clear();
    g_calls.clear();
    g_violations.clear();
}

ResetHook g_reset(&ResetControl);

}  // namespace

double HeapBytesInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return (double)__sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return (double)m.uordblks + (double)m.hblkhd;
#endif
}

GcApDocument* CreateDocument(const wchar_t* fileName, bool makeCurrent)
{
    return gcDocManagerPtr()->createDocument(fileName, makeCurrent);
}

void ActivateDocument(GcApDocument* doc) { gcDocManagerPtr()->activate(doc); }

void CloseDocument(GcApDocument* doc) { gcDocManagerPtr()->close(doc); }

void FailHostCall(const std::string& op, int status, int skip, int times) { g_faults[op] = {status, skip, times}; }

int TakeHostFault(const char* op)
{
    auto it = g_faults.find(op);
    if (it == g_faults.end()) return 0;
    Fault& f = it->second;
    if (f.skip > 0) {
        --f.skip;
        return 0;
    }
    int s = f.status;
    if (--f.times <= 0) g_faults.erase(it);
    return s;
}

bool HostFaultPending(const std::string& op) { return g_faults.count(op) != 0; }

int HostCallCount(const std::string& op)
{
    auto it = g_calls.find(op);
    return it == g_calls.end() ? 0 : it->second;
}

void CountHostCall(const char* op) { ++g_calls[op]; }

const std::vector<std::string>& HostViolations() { return g_violations; }

void RecordHostViolation(const std::string& what) { g_violations.push_back(what); }

}  // namespace standin
