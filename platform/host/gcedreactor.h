// Host SDK stand-in: the editor's reactors (command and view events) and the
// selection filters a plug-in attaches to each document's input context.
#pragma once

#include "gcapdocmanager.h"
#include "odgegeometry.h"
#include "odstring.h"

class OdRxEventReactor {
public:
    virtual ~OdRxEventReactor() = default;
};

class OdEditorReactor : public OdRxEventReactor {
public:
    virtual void commandWillStart(const OdString& commandName) {}
    virtual void commandEnded(const OdString& commandName) {}
    virtual void commandCancelled(const OdString& commandName) {}
    virtual void commandFailed(const OdString& commandName) {}
    virtual void beginDoubleClick(const OdGePoint3d& point) {}
    virtual void viewChanged() {}
};

class OdEditor {
public:
    void addReactor(OdEditorReactor* reactor);
    void removeReactor(OdEditorReactor* reactor);
};
// The editor of the host.
extern OdEditor* const odedEditor;

// Selection filters, asked while the user selects and while the cursor
// rolls over entities.
class GcEdSSGetFilter {
public:
    virtual ~GcEdSSGetFilter() = default;
};
class GcEdSSGetFilter2 {
public:
    virtual ~GcEdSSGetFilter2() = default;
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
}  // namespace standin
