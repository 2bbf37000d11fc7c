// Host SDK stand-in: a plane, for projecting intersections.
#pragma once

#include "odgegeometry.h"

class OdGePlane {
public:
    OdGePlane() = default;
    OdGePlane(const OdGePoint3d& origin, const OdGeVector3d& normal) : origin_(origin), normal_(normal.normal()) {}
    static const OdGePlane kXYPlane;
    OdGePoint3d pointOnPlane() const { return origin_; }
    OdGeVector3d normal() const { return normal_; }

private:
    OdGePoint3d origin_;
    OdGeVector3d normal_{0, 0, 1};
};
