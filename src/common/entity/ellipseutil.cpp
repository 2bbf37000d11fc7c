#include "common/entity/ellipseutil.h"

#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "common/geometry/convertutil.h"
#include "common/geometry/gepointutil.h"
#include "common/geometry/mathutil.h"

namespace {

OdDbObjectId AddInBox(const OdGePoint2d& p1, const OdGePoint2d& p2, const EntityProps& props, double startAngle,
                      double endAngle, bool shiftAngles)
{
    double dx = std::fabs(p1.x - p2.x), dy = std::fabs(p1.y - p2.y);
    if (dx == 0 || dy == 0) return OdDbObjectId();
    OdGePoint3d center = CGePointUtil::GetMiddlePoint(CConvertUtil::ToPoint3d(p1, 0), CConvertUtil::ToPoint3d(p2, 0));
    OdGeVector3d major;
    double ratio;
    if (dx > dy) {
        major.set(dx / 2, 0, 0);
        ratio = std::fabs((p1.y - p2.y) / (p1.x - p2.x));
    } else {
        major.set(0, dy / 2, 0);
        ratio = std::fabs((p1.x - p2.x) / (p1.y - p2.y));
        if (shiftAngles) {
            startAngle -= CMathUtil::PI() / 2;
            endAngle -= CMathUtil::PI() / 2;
        }
    }
    return CEllipseUtil::Add(center, OdGeVector3d(0, 0, 1), major, ratio, props, startAngle, endAngle);
}

}  // namespace

OdDbObjectId CEllipseUtil::Add(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                               double radiusRatio, EntityProps props, double startAngle, double endAngle)
{
    auto* ellipse = new OdDbEllipse();
    if (ellipse->set(center, normal, majorAxis, radiusRatio, startAngle, endAngle) != eOk) {
        delete ellipse;
        return OdDbObjectId();
    }
    return CDwgDatabaseUtil::PostToModelSpace(ellipse, props);
}

OdDbObjectId CEllipseUtil::AddInRectangle(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props)
{
    return AddInBox(p1, p2, props, 0.0, 2 * CMathUtil::PI(), false);
}

OdDbObjectId CEllipseUtil::AddArcInRectangle(const OdGePoint2d& p1, const OdGePoint2d& p2, EntityProps props,
                                             double startAngle, double endAngle)
{
    return AddInBox(p1, p2, props, startAngle, endAngle, true);
}

OdGePoint2dArray CEllipseUtil::GetKeyPoints(OdDbObjectId id)
{
    OdGePoint2dArray points;
    OdDbEntity* ent = nullptr;
    if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk) return points;
    if (auto* ellipse = OdRxCast<OdDbEllipse>(ent)) {
        OdGePoint3d s, e;
        ellipse->getStartPoint(s);
        ellipse->getEndPoint(e);
        points.append(CConvertUtil::ToPoint2d(s));
        points.append(CConvertUtil::ToPoint2d(ellipse->center()));
        points.append(CConvertUtil::ToPoint2d(e));
    }
    ent->close();
    return points;
}
