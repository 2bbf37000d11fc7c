// Midpoints, polar points, tolerant comparison and thinning of point arrays.
#pragma once

#include "odgegeometry.h"

class CGePointUtil {
public:
    CGePointUtil() = default;
    virtual ~CGePointUtil() = default;

    static OdGePoint3d GetMiddlePoint(const OdGePoint3d& p1, const OdGePoint3d& p2);
    static OdGePoint2d GetMiddlePoint2d(const OdGePoint2d& p1, const OdGePoint2d& p2);
    static OdGePoint3d GetPolarPoint(const OdGePoint3d& base, double angle, double distance);
    static OdGePoint2d GetPolarPoint2d(const OdGePoint2d& base, double angle, double distance);
    static OdGePoint3d RelativePoint(const OdGePoint3d& point, double dx, double dy);
    static bool IsEqual3d(const OdGePoint3d& p1, const OdGePoint3d& p2, double tol);
    static bool IsEqual2d(const OdGePoint2d& p1, const OdGePoint2d& p2, double tol);
    // Index of the first point equal within tol, -1 when none.
    static int FindPoint(const OdGePoint3dArray& points, const OdGePoint3d& point, double tol);
    static int FindPoint2d(const OdGePoint2dArray& points, const OdGePoint2d& point, double tol);
    // Removes each point whose x and y equal those of an earlier point.
    static void RemoveDuplicates(OdGePoint3dArray& points, double tol);
    // Keeps only the points farther than tol from the point (x and y).
    static void RemoveNearPoints(OdGePoint3dArray& points, const OdGePoint2d& point, double tol);
};
