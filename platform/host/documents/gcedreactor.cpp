#include "gcedreactor.h"

#include <algorithm>
#include <map>
#include <vector>

#include "editor_control.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "standin_control.h"

namespace {

// A filter as it was attached: the same object may be attached as a plain
// filter and as a rollover filter.
struct AttachedFilter {
    GcEdSSGetFilter* filter;
    GcEdSSGetFilter2* rollover;  // null when attached as a plain filter
    bool operator==(const AttachedFilter& o) const { return filter == o.filter && rollover == o.rollover; }
};

std::vector<OdEditorReactor*> g_editorReactors;
// Per document, in the order attached.
std::map<const GcApDocument*, std::vector<AttachedFilter>> g_filters;
OdDbObjectIdArray g_hostEdits;

standin::ResetHook g_reset([] {
    g_editorReactors.clear();
    g_filters.clear();
    g_hostEdits.clear();
});

bool IsOpen(const GcApDocument* doc)
{
    GcApDocManager* m = gcDocManagerPtr();
    for (int i = 0; i < m->documentCount(); ++i)
        if (m->documentAt(i) == doc) return true;
    return false;
}

OdResult AddFilter(GcApDocument* doc, AttachedFilter f)
{
    if (!f.filter || !IsOpen(doc)) return eInvalidInput;
    auto& list = g_filters[doc];
    if (std::find(list.begin(), list.end(), f) == list.end()) list.push_back(f);
    return eOk;
}

OdResult RemoveFilter(GcApDocument* doc, AttachedFilter f)
{
    auto it = g_filters.find(doc);
    if (it == g_filters.end()) return eInvalidInput;
    auto& list = it->second;
    auto found = std::find(list.begin(), list.end(), f);
    if (found == list.end()) return eInvalidInput;
    list.erase(found);
    return eOk;
}

// The current document's filters; a filter may detach itself while called.
std::vector<AttachedFilter> CurrentFilters()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    auto it = g_filters.find(doc);
    return it == g_filters.end() ? std::vector<AttachedFilter>() : it->second;
}

template <class Fn>
void Fire(Fn fn)
{
    for (OdEditorReactor* r : std::vector<OdEditorReactor*>(g_editorReactors)) fn(r);
}

OdEditor g_editor;

}  // namespace

OdEditor* const odedEditor = &g_editor;

OdResult GcEdSelectionSetService::remove(int index)
{
    if (index < 0 || index >= toAdd_.length()) return eInvalidIndex;
    toAdd_.removeAt(index);
    return eOk;
}

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

OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter)
{
    return AddFilter(doc, {filter, nullptr});
}
OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter)
{
    return AddFilter(doc, {filter, filter});
}
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter)
{
    return RemoveFilter(doc, {filter, nullptr});
}
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter)
{
    return RemoveFilter(doc, {filter, filter});
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

void FilterSelection(OdDbObjectIdArray& toAdd)
{
    const OdDbObjectIdArray none;
    for (const AttachedFilter& f : CurrentFilters()) {
        if (toAdd.isEmpty()) return;
        GcEdSelectionSetService service(toAdd);
        f.filter->ssgetAddFilter(0, service, none, toAdd);
    }
}

OdDbObjectIdArray RollOver(const OdDbObjectIdArray& path)
{
    const OdDbFullSubentPath under(path, OdDbSubentId());
    OdDbFullSubentPath highlight = under;
    for (const AttachedFilter& f : CurrentFilters())
        if (f.rollover) f.rollover->ssgetRolloverFilter(under, highlight);
    return highlight.objectIds();
}

void DoubleClick(const OdGePoint3d& point)
{
    Fire([&](OdEditorReactor* r) { r->beginDoubleClick(point); });
    resbuf v{};
    if (gcedGetVar(L"DBLCLKEDIT", &v) != RTNORM || v.resval.rint == 0) return;
    OdDbObjectIdArray hits = EntitiesAt(point);
    if (!hits.isEmpty()) g_hostEdits.append(hits.last());
}

const OdDbObjectIdArray& HostDoubleClickEdits() { return g_hostEdits; }

}  // namespace standin
