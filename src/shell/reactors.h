// The host reactors and selection filters the plug-in attaches at start-up
// and removes at unload: the database reactor records the user's edits of
// each drawing, the editor reactor turns them into re-sends when a command
// ends, the document reactor keeps the active drawing's record, and the
// filters keep the base map's tiles out of selections and highlighting.
#pragma once

#include <cstdint>

#include "common/symboltable/viewextents.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "oddbdatabase.h"
#include "state/reactorflags.h"

class CDrawingData;

// Keeps the placed base-map tiles out of the objects a selection adds.
class AcEdContextReactor : public GcEdSSGetFilter {
public:
    void ssgetAddFilter(int ssgetFlags, GcEdSelectionSetService& service, const OdDbObjectIdArray& selectionSet,
                        const OdDbObjectIdArray& subSelectionSet) override;
};

// Keeps them from being highlighted under the cursor.
class CEntHilightReactor : public GcEdSSGetFilter2 {
public:
    OdResult ssgetRolloverFilter(const OdDbFullSubentPath& subEntityPath, OdDbFullSubentPath& highlightPath) override;
};

// Its flags, which the features read too, are in state/reactorflags.h.
class CEditorReactor : public EditorReactorFlags {
public:
    void commandWillStart(const OdString& commandName) override;
    void commandEnded(const OdString& commandName) override;
    void commandCancelled(const OdString& commandName) override;
    void commandFailed(const OdString& commandName) override;
    // Opens the property dialog on the entity double-clicked.
    void beginDoubleClick(const OdGePoint3d& point) override;
    void viewChanged() override;

private:
    // The drawing's last entity when RECTANG started: the rectangle is the
    // entity after it, and without one RECTANG drew nothing.
    uint64_t rectangStartLast_ = 0;
    uint8_t rectangStarted_ = 0;
    void FinishCopy(CDrawingData* drawing);
    void FinishMove(CDrawingData* drawing);
    bool FinishRectangle(CDrawingData* drawing, const OdString& name);
};

class CDocReactor : public GcApDocManagerReactor {
public:
    void documentCreated(GcApDocument* doc) override;
    void documentToBeDestroyed(GcApDocument* doc) override;
    void documentActivated(GcApDocument* doc) override;
};

class CDbReactor : public OdDbDatabaseReactor {
public:
    void objectAppended(const OdDbDatabase* /*db*/, const OdDbObject* /*obj*/) override {}
    void objectModified(const OdDbDatabase* db, const OdDbObject* obj) override;
    void objectErased(const OdDbDatabase* db, const OdDbObject* obj, bool erased) override;
};

// No user command has started since the load.
extern uint8_t g_bFirstCommand;
// A command started while the link was active (since the load or the last
// APPLOAD end).
extern uint8_t g_bCommandSeen;
// BHATCH is the command running (cleared by timer 1002).
extern uint8_t g_bBhatchRunning;
// A document was created since the toolbar's last check.
extern uint8_t g_bNewDocument;

// The record of the drawing whose database this is; null when the drawing
// has none (an unnamed drawing opened after the load, or no drawing).
CDrawingData* DrawingDataOfDatabase(const OdDbDatabase* db);

// After a command ended or was cancelled: posts the entities the command
// changed to the receiver window for re-sending, or turns the point just
// drawn into a sign.
void PostAutoSyncForCommand(const OdString& commandName);
