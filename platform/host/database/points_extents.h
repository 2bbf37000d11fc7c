// The extents of entities that are a list of points (3D polylines, meshes,
// multilines): the box round the points, invalid when there are none.
#pragma once

#include "odgegeometry.h"
#include "odrxobject.h"

namespace standin {

inline OdResult PointsExtents(const OdGePoint3dArray& points, OdGeExtents3d& ext)
{
    ext = OdGeExtents3d();
    for (const auto& p : points) ext.addPoint(p);
    return points.isEmpty() ? eInvalidExtents : eOk;
}

}  // namespace standin
