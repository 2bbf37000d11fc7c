// Changing, finding, erasing and transforming existing entities.
#pragma once

#include "oddbentity.h"

class CEntityUtil {
public:
    CEntityUtil() = default;
    virtual ~CEntityUtil() = default;

    // Colour index 0 (ByBlock) to 256 (ByLayer).
    static void SetColor(OdDbObjectId id, int colorIndex);
    static void SetLayer(OdDbObjectId id, const wchar_t* layerName);
    // The entity's layer; null when the entity cannot be opened.
    static OdDbObjectId GetLayer(OdDbObjectId id);
    static void SetLinetype(OdDbObjectId id, const wchar_t* linetype);
    // The id of a handle in the working database; null when there is none.
    static OdDbObjectId HandleToObjectId(OdDbHandle handle);
    static void Erase(OdDbObjectId id);
    static void EraseByHandle(OdDbHandle handle);
    // Rotation about the z axis through the base point; the host status.
    static int Rotate(OdDbObjectId id, const OdGePoint2d& basePoint, double angle);
    static int Move(OdDbObjectId id, const OdGePoint3d& fromPoint, const OdGePoint3d& toPoint);
    static int Scale(OdDbObjectId id, const OdGePoint3d& basePoint, double factor);
    static int OpenForWrite(OdDbEntity*& ent, OdDbObjectId id, OdDb::OpenMode mode, bool openErased);
};
