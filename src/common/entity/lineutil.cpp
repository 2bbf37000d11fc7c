#include "common/entity/lineutil.h"

#include <cmath>

#include "common/document/dwgdatabaseutil.h"

OdDbObjectId CLineUtil::Add(const OdGePoint3d& start, const OdGePoint3d& end, EntityProps props, OdDbDatabase* db)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbLine(start, end), props, db);
}

bool CLineUtil::IsCollinear(const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3)
{
    return std::fabs((p1.x - p2.x) * (p1.y - p3.y) - (p1.x - p3.x) * (p1.y - p2.y)) < 1e-5;
}

int CLineUtil::GetPointSide(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& c, double tol)
{
    double cross = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::fabs(cross) < tol) return 0;
    return cross > 0 ? 1 : -1;
}
