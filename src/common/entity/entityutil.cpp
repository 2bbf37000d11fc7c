#include "common/entity/entityutil.h"

#include "afxmsgbox.h"
#include "afxstr.h"
#include "oddbdatabase.h"

namespace {

// Opens the entity for write, transforms it and closes it; a failed open is
// shown with the label when there is one.
int TransformEntity(OdDbObjectId id, const OdGeMatrix3d& m, const wchar_t* label)
{
    OdDbEntity* ent = nullptr;
    int res = CEntityUtil::OpenForWrite(ent, id, OdDb::kForWrite, false);
    if (res != eOk) {
        if (label) {
            CString msg;
            msg.Format(L"%s ErrorCode:%d", label, res);
            AfxMessageBox(msg, MB_OK);
        }
        return res;
    }
    res = ent->transformBy(m);
    ent->close();
    return res;
}

}  // namespace

void CEntityUtil::SetColor(OdDbObjectId id, int colorIndex)
{
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) return;
    ent->setColorIndex((uint16_t)colorIndex, true);
    ent->close();
}

void CEntityUtil::SetLayer(OdDbObjectId id, const wchar_t* layerName)
{
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) return;
    ent->setLayer(layerName, true, false);
    ent->close();
}

OdDbObjectId CEntityUtil::GetLayer(OdDbObjectId id)
{
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) return OdDbObjectId();
    OdDbObjectId layer = ent->layerId();
    ent->close();
    return layer;
}

void CEntityUtil::SetLinetype(OdDbObjectId id, const wchar_t* linetype)
{
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) return;
    ent->setLinetype(linetype, true);
    ent->close();
}

OdDbObjectId CEntityUtil::HandleToObjectId(OdDbHandle handle)
{
    OdDbObjectId id;
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    if (db) db->getOdDbObjectId(id, false, handle, 0);
    return id;
}

void CEntityUtil::Erase(OdDbObjectId id)
{
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk) return;
    ent->erase(true);
    ent->close();
}

void CEntityUtil::EraseByHandle(OdDbHandle handle) { Erase(HandleToObjectId(handle)); }

int CEntityUtil::Rotate(OdDbObjectId id, const OdGePoint2d& basePoint, double angle)
{
    OdGeMatrix3d m;
    m.setToRotation(angle, OdGeVector3d::kZAxis, OdGePoint3d(basePoint.x, basePoint.y, 0));
    return TransformEntity(id, m, L"CEntityUtil::Rotate");
}

int CEntityUtil::Move(OdDbObjectId id, const OdGePoint3d& fromPoint, const OdGePoint3d& toPoint)
{
    OdGeMatrix3d m;
    m.setToTranslation(toPoint - fromPoint);
    return TransformEntity(id, m, nullptr);
}

int CEntityUtil::Scale(OdDbObjectId id, const OdGePoint3d& basePoint, double factor)
{
    OdGeMatrix3d m;
    m.setToScaling(factor, basePoint);
    return TransformEntity(id, m, L"CEntityUtil::Scale");
}

int CEntityUtil::OpenForWrite(OdDbEntity*& ent, OdDbObjectId id, OdDb::OpenMode mode, bool openErased)
{
    return oddbOpenOdDbEntity(ent, id, mode, openErased);
}
