#include "common/interaction/selectutil.h"

#include <functional>

#include "common/geometry/convertutil.h"
#include "common/geometry/gerectangleutil.h"
#include "gcutprint.h"
#include "oddbsymboltable.h"

namespace {

// Appends the id of every model-space entity of the working database that
// passes the test.
void WalkModelSpace(const std::function<bool(const OdDbEntity*)>& test, OdDbObjectIdArray& ids)
{
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    OdDbBlockTable* bt = nullptr;
    if (!db || db->getBlockTable(bt, OdDb::kForRead) != eOk) return;
    OdDbBlockTableRecord* ms = nullptr;
    OdResult res = bt->getAt(L"*Model_Space", ms, OdDb::kForRead);
    bt->close();
    if (res != eOk) return;
    OdDbBlockTableRecordIterator* it = nullptr;
    if (ms->newIterator(it, true, true) == eOk) {
        for (; !it->done(); it->step()) {
            OdDbEntity* ent = nullptr;
            res = it->getEntity(ent, OdDb::kForRead);
            if (res != eOk) {
                gcutPrintf(L"\nCDwgDatabaseUtil::GetAllEntityIds中打开实体失败(错误代码:%d).", (int)res);
                continue;
            }
            if (test(ent)) ids.append(ent->objectId());
            ent->close();
        }
        delete it;
    }
    ms->close();
}

// The 2-D corners of the entity's extents; false when it has none.
bool Extents2d(const OdDbEntity* ent, OdGePoint2d& minPt, OdGePoint2d& maxPt)
{
    OdGeExtents3d ext;
    if (ent->getGeomExtents(ext) != eOk || !ext.isValidExtents()) return false;
    minPt = CConvertUtil::ToPoint2d(ext.minPoint());
    maxPt = CConvertUtil::ToPoint2d(ext.maxPoint());
    return true;
}

bool CrossesWindow(const OdDbEntity* ent, const OdGePoint2d& p1, const OdGePoint2d& p2)
{
    OdGePoint2d mn, mx;
    return Extents2d(ent, mn, mx) && CGeRectangleUtil::IsIntersect(mn, mx, p1, p2);
}

bool IsOfClasses(const OdDbObject* obj, const std::vector<OdRxClass*>& classes)
{
    for (const OdRxClass* c : classes)
        if (obj->isKindOf(c)) return true;
    return false;
}

// Runs the selection and hands each member's id to the visitor; the set is
// freed afterwards. The result code of the selection.
int ForEachMember(const wchar_t* mode, const resbuf* filter, const std::function<void(OdDbObjectId)>& visit)
{
    ads_name ss;
    int rc = gcedSSGet(mode, nullptr, nullptr, filter, ss);
    if (rc != RTNORM) return rc;
    int32_t n = 0;
    gcedSSLength(ss, &n);
    for (int32_t i = 0; i < n; ++i) {
        ads_name ent;
        OdDbObjectId id;
        if (gcedSSName(ss, i, ent) == RTNORM && oddbGetObjectId(id, ent) == eOk) visit(id);
    }
    gcedSSFree(ss);
    return rc;
}

}  // namespace

void CSelectUtil::SelectAllOfClass(const OdRxClass* cls, OdDbObjectIdArray& ids)
{
    WalkModelSpace([cls](const OdDbEntity* e) { return e->isKindOf(cls); }, ids);
}

void CSelectUtil::SelectCrossingWindow(const OdGePoint2d& p1, const OdGePoint2d& p2, OdDbObjectIdArray& ids)
{
    WalkModelSpace([&](const OdDbEntity* e) { return CrossesWindow(e, p1, p2); }, ids);
}

void CSelectUtil::SelectInsideWindow(const OdGePoint2d& lb, const OdGePoint2d& tr, OdDbObjectIdArray& ids)
{
    WalkModelSpace(
        [&](const OdDbEntity* e) {
            OdGePoint2d mn, mx;
            return Extents2d(e, mn, mx) && mn.x > lb.x && mn.y > lb.y && tr.x > mx.x && tr.y > mx.y;
        },
        ids);
}

void CSelectUtil::SelectCrossingWindowOfClass(const OdGePoint2d& p1, const OdGePoint2d& p2, OdDbObjectIdArray& ids,
                                              const OdRxClass* cls)
{
    WalkModelSpace([&](const OdDbEntity* e) { return e->isKindOf(cls) && CrossesWindow(e, p1, p2); }, ids);
}

bool CSelectUtil::PromptSelect(const wchar_t* prompt, const resbuf* filter, OdDbObjectIdArray& ids)
{
    ids.clear();
    gcutPrintf(L"%s", prompt);
    return ForEachMember(nullptr, filter, [&](OdDbObjectId id) { ids.append(id); }) == RTNORM;
}

bool CSelectUtil::PromptSelectOfClass(const wchar_t* prompt, const OdRxClass* cls, OdDbObjectIdArray& ids)
{
    return PromptSelectOfClasses(prompt, {const_cast<OdRxClass*>(cls)}, ids);
}

bool CSelectUtil::PromptSelectOfClasses(const wchar_t* prompt, const std::vector<OdRxClass*>& classes,
                                        OdDbObjectIdArray& ids)
{
    ids.clear();
    gcutPrintf(L"%s", prompt);
    int rc = ForEachMember(nullptr, nullptr, [&](OdDbObjectId id) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenObject(ent, id, OdDb::kForRead) != eOk) return;
        if (IsOfClasses(ent, classes)) ids.append(id);
        ent->close();
    });
    return rc == RTNORM && !ids.isEmpty();
}

bool CSelectUtil::PickEntityOfClass(const wchar_t* prompt, const OdRxClass* cls, OdDbEntity*& entity,
                                    OdGePoint3d& pickPoint, bool openForWrite)
{
    return PickEntityOfClasses(prompt, {const_cast<OdRxClass*>(cls)}, entity, pickPoint, openForWrite);
}

bool CSelectUtil::PickEntityOfClasses(const wchar_t* prompt, const std::vector<OdRxClass*>& classes,
                                      OdDbEntity*& entity, OdGePoint3d& pickPoint, bool openForWrite)
{
    while (true) {
        entity = nullptr;
        ads_name name;
        ads_point pt;
        if (gcedEntSel(prompt, name, pt) != RTNORM) return false;
        OdDbObjectId id;
        // An entity that cannot be opened as asked counts as a wrong pick.
        if (oddbGetObjectId(id, name) == eOk &&
            oddbOpenObject(entity, id, openForWrite ? OdDb::kForWrite : OdDb::kForRead) == eOk) {
            if (IsOfClasses(entity, classes)) {
                pickPoint.set(pt[0], pt[1], pt[2]);
                return true;
            }
            entity->close();
        }
        gcutPrintf(L"\n选择的实体类型不合要求, 请再次选择...");
    }
}

bool CSelectUtil::GetImpliedSelection(const wchar_t*, NamedIdList& list)
{
    ForEachMember(L"I", nullptr, [&](OdDbObjectId id) {
        OdDbEntity* ent = nullptr;
        if (OdResult res = oddbOpenObject(ent, id, OdDb::kForRead)) {
            gcutPrintf(L"\nCSelectUtil::GetImpliedSelection中打开实体失败(错误代码:%d).", (int)res);
            return;
        }
        list.Set(id, CString(ent->layer().c_str()));
        ent->close();
    });
    gcedSSSetFirst(nullptr, nullptr);
    return true;
}
