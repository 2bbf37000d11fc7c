// Layers of the working drawing.
#pragma once

#include "oddbsymboltable.h"

class CLayerUtil {
public:
    CLayerUtil() = default;
    virtual ~CLayerUtil() = default;

    // A new layer of the colour index 1..255; an existing layer is left as
    // it is.
    static void Add(const wchar_t* layerName, int colorIndex);
    // The layer's id; the current layer for a null name. A missing layer is
    // created (default properties) when asked, else the id is null.
    static OdDbObjectId GetLayerId(const wchar_t* layerName, bool create);
    // 1 when the colour (1..255) was set, 0 otherwise.
    static int SetColor(const wchar_t* layerName, int colorIndex);
    // Appends the ids of all layers in table order.
    static void GetLayerList(OdDbObjectIdArray& ids);
    // The host status; the working database when db is null.
    static int SetCurrent(const wchar_t* layerName, OdDbDatabase* db);
    // Appends the ids of the drawing's entities on the layer, in selection
    // order: 0 when there were any, 5 when none.
    static int GetEntitiesOnLayer(const wchar_t* layerName, OdDbObjectIdArray& ids);
    static void Erase(OdDbObjectId id);
};
