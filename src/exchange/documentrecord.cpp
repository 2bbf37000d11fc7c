#include "exchange/documentrecord.h"

#include <vector>

#include "exchange/arxoperation.h"
#include "gcapdocmanager.h"
#include "state/drawingdata.h"

void LoadDocumentRecord(const CString& name, GcApDocument* document)
{
    GcApDocManager* manager = gcDocManagerPtr();
    if (!document && manager) document = manager->curDocument();
    g_ptagDocIdManager = GetDrawingData(drawingRecords, name, document);
    // The drawing's own database: at start-up every open drawing is loaded,
    // not only the one that is current.
    OdDbDatabase* db = document ? document->database() : oddbHostApplicationServices()->workingDatabase();
    std::vector<MapObjInfo*> found;
    ArxOperation::GetEntProperty(found, true, nullptr, db);
    CDrawingData* drawing = g_ptagDocIdManager;
    for (MapObjInfo* r : found) {
        if (r->companion != 0) SetPeerEntity(drawing->pairedPeerEntities, r->peerId, r->handle);
        else SetPeerEntity(drawing->peerEntities, r->peerId, r->handle);
    }
}
