// The selection filters: the placed tiles of the active drawing's base map
// are never selected nor highlighted.
#include "shell/reactors.h"
#include "state/drawingdata.h"

namespace {

// Tiles of the active drawing only: handles repeat across drawings.
bool IsProtected(const CDrawingData* drawing, const OdDbObjectId& id)
{
    return drawing->baseMap.placedHandles.count((uint64_t)id.getHandle()) != 0 &&
           DrawingDataOfDatabase(id.database()) == drawing;
}

}  // namespace

void AcEdContextReactor::ssgetAddFilter(int, GcEdSelectionSetService& service, const OdDbObjectIdArray&,
                                        const OdDbObjectIdArray& subSelectionSet)
{
    const CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing || drawing->baseMap.placedHandles.empty() || subSelectionSet.isEmpty()) return;
    // From the last entry down: a removal moves only the entries after it.
    for (int i = subSelectionSet.length() - 1; i >= 0; --i)
        if (IsProtected(drawing, subSelectionSet[i])) service.remove(i);
}

OdResult CEntHilightReactor::ssgetRolloverFilter(const OdDbFullSubentPath&, OdDbFullSubentPath& highlightPath)
{
    const CDrawingData* drawing = g_ptagDocIdManager;
    if (!drawing || drawing->baseMap.placedHandles.empty()) return eOk;
    const OdDbSubentId subent = highlightPath.subentId();
    const OdDbObjectIdArray ids = highlightPath.objectIds();
    if (ids.isEmpty()) return eOk;
    // The path keeps its order, without the tiles.
    OdDbObjectIdArray kept;
    for (const OdDbObjectId& id : ids)
        if (!IsProtected(drawing, id)) kept.append(id);
    highlightPath = OdDbFullSubentPath(kept, subent);
    return eOk;
}
