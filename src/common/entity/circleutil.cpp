#include "common/entity/circleutil.h"

#include <cmath>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/geometry/convertutil.h"
#include "common/geometry/gepointutil.h"

OdDbObjectId CCircleUtil::AddWithNormal(const OdGePoint3d& center, const OdGeVector3d& normal, double radius,
                                        EntityProps props, OdDbDatabase* db)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbCircle(center, normal, radius), props, db);
}

OdDbObjectId CCircleUtil::Add(const OdGePoint3d& center, double radius, EntityProps props, OdDbDatabase* db)
{
    return AddWithNormal(center, OdGeVector3d(0, 0, 1), radius, props, db);
}

OdDbObjectId CCircleUtil::AddBy2Points(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props)
{
    OdGePoint2d mid = CGePointUtil::GetMiddlePoint2d(p1, p2);
    return Add(CConvertUtil::ToPoint3d(mid, 0.0), mid.distanceTo(p1), props);
}

OdDbObjectId CCircleUtil::AddBy3Points(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3,
                                       EntityProps props)
{
    double x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y, x3 = p3.x, y3 = p3.y;
    double d12 = (x1 * x1 + y1 * y1) - (x2 * x2 + y2 * y2);
    double d13 = (x1 * x1 + y1 * y1) - (x3 * x3 + y3 * y3);
    double det = (x1 - x2) * (y1 - y3) - (x1 - x3) * (y1 - y2);
    if (std::fabs(det) < 1e-6) {
        AfxMessageBox(L"所输入的参数无法创建圆形！", MB_OK);
        return OdDbObjectId();
    }
    OdGePoint3d center((d12 * (y1 - y3) - d13 * (y1 - y2)) / (2 * det),
                       (d13 * (x1 - x2) - d12 * (x1 - x3)) / (2 * det), 0);
    double radius = OdGePoint2d(center.x, center.y).distanceTo(OdGePoint2d(x1, y1));
    if (radius < 1e-6) {
        AfxMessageBox(L"半径过小！", MB_OK);
        return OdDbObjectId();
    }
    return Add(center, radius, props);
}
