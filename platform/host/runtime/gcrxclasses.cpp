// The runtime's class registry and the editor's LISP functions.
#include <map>
#include <string>

#include "gcedinput.h"
#include "odrxobject.h"
#include "standin_control.h"

namespace {

int g_builds = 0;
int g_deleted = 0;
std::map<std::wstring, int> g_lisp;
std::map<int, GcRxLispFunction> g_lispFunctions;
int g_currentCode = -1;

standin::ResetHook g_reset([] {
    g_builds = 0;
    g_deleted = 0;
    g_lisp.clear();
    g_lispFunctions.clear();
    g_currentCode = -1;
});

}  // namespace

void odrxBuildClassHierarchy() { ++g_builds; }
void deleteOdRxClass(OdRxClass* cls)
{
    if (cls) ++g_deleted;
}

int gcedDefun(const wchar_t* name, int code)
{
    if (!name || !*name) return RTERROR;
    g_lisp[name] = code;
    return RTNORM;
}

int gcedUndef(const wchar_t* name, int code)
{
    auto it = name ? g_lisp.find(name) : g_lisp.end();
    if (it == g_lisp.end() || it->second != code) return RTERROR;
    g_lisp.erase(it);
    g_lispFunctions.erase(code);
    return RTNORM;
}

int gcedRegFunc(GcRxLispFunction function, int code)
{
    g_lispFunctions[code] = function;
    return RTNORM;
}

int gcedGetFunCode() { return g_currentCode; }

namespace standin {

int ClassHierarchyBuilds() { return g_builds; }
int DeletedClasses() { return g_deleted; }

bool LispFunctionCode(const std::wstring& name, int& code)
{
    auto it = g_lisp.find(name);
    if (it == g_lisp.end()) return false;
    code = it->second;
    return true;
}

bool InvokeLispFunction(const std::wstring& name, int (*dispatch)())
{
    auto it = g_lisp.find(name);
    if (it == g_lisp.end()) return false;
    int saved = g_currentCode;
    g_currentCode = it->second;
    auto direct = g_lispFunctions.find(it->second);
    if (direct != g_lispFunctions.end() && direct->second) direct->second();
    else if (dispatch) dispatch();
    g_currentCode = saved;
    return true;
}

}  // namespace standin
