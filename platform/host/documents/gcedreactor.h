// Host SDK stand-in: the editor's reactors (command and view events) and the
// selection filters a plug-in attaches to each document's input context.
#pragma once

#include "gcapdocmanager.h"
#include "oddbsubentpath.h"
#include "odgegeometry.h"
#include "odstring.h"

class OdRxEventReactor {
public:
    virtual ~OdRxEventReactor() = default;
};

class OdEditorReactor : public OdRxEventReactor {
public:
    virtual void commandWillStart(const OdString& /*commandName*/) {}
    virtual void commandEnded(const OdString& /*commandName*/) {}
    virtual void commandCancelled(const OdString& /*commandName*/) {}
    virtual void commandFailed(const OdString& /*commandName*/) {}
    virtual void beginDoubleClick(const OdGePoint3d& /*point*/) {}
    virtual void viewChanged() {}
};

class OdEditor {
public:
    void addReactor(OdEditorReactor* reactor);
    void removeReactor(OdEditorReactor* reactor);
};
// The editor of the host.
extern OdEditor* const odedEditor;

// What a selection filter may do with the objects about to be added.
class GcEdSelectionSetService {
public:
    explicit GcEdSelectionSetService(OdDbObjectIdArray& toAdd) : toAdd_(toAdd) {}
    // Takes entry `index` out of the objects about to be added; the entries
    // after it move down by one. eInvalidIndex when there is no such entry.
    OdResult remove(int index);

private:
    OdDbObjectIdArray& toAdd_;
};

// Told about the editor's input requests.
class GcEdInputContextReactor {
public:
    virtual ~GcEdInputContextReactor() = default;
};

// Selection filters, asked while the user selects and while the cursor
// rolls over entities.
class GcEdSSGetFilter : public GcEdInputContextReactor {
public:
    // `subSelectionSet` is the list the service removes from.
    virtual void ssgetAddFilter(int /*ssgetFlags*/, GcEdSelectionSetService& /*service*/,
                                const OdDbObjectIdArray& /*selectionSet*/, const OdDbObjectIdArray& /*subSelectionSet*/)
    {
    }
};
class GcEdSSGetFilter2 : public GcEdSSGetFilter {
public:
    // The host highlights `highlightPath` as the filter leaves it.
    virtual OdResult ssgetRolloverFilter(const OdDbFullSubentPath& /*subEntityPath*/, OdDbFullSubentPath& /*highlightPath*/)
    {
        return eOk;
    }
};

// eOk; eInvalidInput for a document that is not open or a null filter.
OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter);
OdResult addSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter);
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter* filter);
OdResult removeSSgetFilterInputContextReactor(GcApDocument* doc, GcEdSSGetFilter2* filter);

namespace standin {
// Editor reactors added and not removed.
int EditorReactorCount();
// Selection filters of both kinds attached to the document.
int SSGetFilterCount(const GcApDocument* doc);
// The editor's events, as the host fires them.
void FireCommandWillStart(const wchar_t* name);
void FireCommandEnded(const wchar_t* name);
void FireCommandCancelled(const wchar_t* name);
void FireCommandFailed(const wchar_t* name);
void FireViewChanged();
// The user's selection passes the add filters of the current document, in
// the order they were attached.
void FilterSelection(OdDbObjectIdArray& toAdd);
// The cursor rests on the entity at the end of `path` (block references
// first): the ids the host highlights after the current document's
// rollover filters.
OdDbObjectIdArray RollOver(const OdDbObjectIdArray& path);
// A double click at a point of the current drawing (world coordinates): the
// editor reactors hear beginDoubleClick; then, while DBLCLKEDIT is not 0 and
// an entity lies there, the host opens its own editor on it.
void DoubleClick(const OdGePoint3d& point);
// The entities the host's own double-click editor opened, in order.
const OdDbObjectIdArray& HostDoubleClickEdits();
}  // namespace standin
