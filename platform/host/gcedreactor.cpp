#include "gcedreactor.h"

#include <algorithm>
#include <map>
#include <vector>

#include "standin_control.h"

namespace {

std::vector<OdEditorReactor*> g_editorReactors;
// Per document: the filters of either kind, by address.
std::map<const GcApDocument*, std::vector<const void*>> g_filters;

standin::ResetHook g_reset([] {
    g_editorReactors.clear();
    g_filters.clear();
});

bool IsOpen(const GcApDocument* doc)
{
    GcApDocManager* m = gcDocManagerPtr();
    for (int i = 0; i < m->documentCount(); ++i)
        if (m->documentAt(i) == doc) return true;
    return false;
}

OdResult AddFilter(GcApDocument* doc, const void* filter)
{
    if (!filter || !IsOpen(doc)) return eInvalidInput;
    auto& list = g_filters[doc];
    if (std::find(list.begin(), list.end(), filter) == list.end()) list.push_back(filter);
    return eOk;
}

OdResult RemoveFilter(GcApDocument* doc, const void* filter)
{
    auto it = g_filters.find(doc);
    if (it == g_filters.end()) return eInvalidInput;
    auto& list = it->second;
    auto f = std::find(list.begin(), list.end(), filter);
    if (f == list.end()) return eInvalidInput;
    list.erase(f);
    return eOk;
}

template <class Fn>
void Fire(Fn fn)
{
    for (OdEditorReactor* r : std::vector<OdEditorReactor*>(g_editorReactors)) fn(r);
}

OdEditor g_editor;

}  // namespace

OdEditor* const odedEditor = &g_editor;

void OdEditor::addReactor(OdEditorReactor* reactor)
{
    if (reactor && std::find(g_editorReactors.begin(), g_editorReactors.end(), reactor) == g_editorReactors.end())
        g_editorReactors.push_back(reactor);
}

void OdEditor::removeReactor(OdEditorReactor* reactor)
{
    g_editorReactors.erase(std::remove(g_editorReactors.begin(), g_editorReactors.end(), reactor),
                           g_editorReactors.end());
}

OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter) { return AddFilter(doc, filter); }
OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter) { return AddFilter(doc, filter); }
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter)
{
    return RemoveFilter(doc, filter);
}
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter)
{
    return RemoveFilter(doc, filter);
}

namespace standin {

int EditorReactorCount() { return (int)g_editorReactors.size(); }

int SSGetFilterCount(const GcApDocument* doc)
{
    auto it = g_filters.find(doc);
    return it == g_filters.end() ? 0 : (int)it->second.size();
}

void FireCommandWillStart(const wchar_t* name) { Fire([&](OdEditorReactor* r) { r->commandWillStart(name); }); }
void FireCommandEnded(const wchar_t* name) { Fire([&](OdEditorReactor* r) { r->commandEnded(name); }); }
void FireCommandCancelled(const wchar_t* name) { Fire([&](OdEditorReactor* r) { r->commandCancelled(name); }); }
void FireCommandFailed(const wchar_t* name) { Fire([&](OdEditorReactor* r) { r->commandFailed(name); }); }
void FireViewChanged() { Fire([](OdEditorReactor* r) { r->viewChanged(); }); }

}  // namespace standin
