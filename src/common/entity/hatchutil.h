// Hatches from boundary objects, and hatch loops as point lists.
#pragma once

#include <functional>
#include <vector>

#include "common/document/entityprops.h"
#include "common/entity/hatchfillspec.h"
#include "oddbhatch.h"

class CHatchUtil {
public:
    CHatchUtil() = default;
    virtual ~CHatchUtil() = default;

    // A predefined-pattern hatch over one external loop of the boundary
    // objects. Not associative: the boundaries are erased once the hatch is
    // posted; associative: they get the hatch as a persistent reactor.
    static OdDbObjectId Add(const OdDbObjectIdArray& boundaryIds, EntityProps props, const HatchFillSpec& fill,
                            bool associative);
    // As Add, with outer loops and inner (outermost) loops; null when a loop
    // or the evaluation fails.
    static OdDbObjectId AddWithInnerLoops(const std::vector<OdDbObjectIdArray>& outerLoops,
                                          const std::vector<OdDbObjectIdArray>& innerLoops, EntityProps props,
                                          const HatchFillSpec& fill, bool associative);
    // The same two with the fill given by a function that sets it on the
    // new hatch before its loops are appended.
    using FillSetter = std::function<void(OdDbHatch*)>;
    static OdDbObjectId Add(const OdDbObjectIdArray& boundaryIds, EntityProps props, const FillSetter& setFill,
                            bool associative);
    static OdDbObjectId AddWithInnerLoops(const std::vector<OdDbObjectIdArray>& outerLoops,
                                          const std::vector<OdDbObjectIdArray>& innerLoops, EntityProps props,
                                          const FillSetter& setFill, bool associative);
    // A polyline loop as points, bulge segments sampled every 3 degrees.
    static void GetPolylineLoopPoints(OdGePoint3dArray& points, OdGePoint2dArray vertices, OdGeDoubleArray bulges);
    // An edge loop as points: a line gives its start, curves their points
    // up to their end (the final edge keeps its end).
    static void GetLoopPoints(OdGePoint3dArray& points, OdGeVoidPointerArray edges, OdGeIntArray edgeTypes);
    // The points differ beyond the global tolerance.
    static bool IsPointDiffer(const OdGePoint3d& p1, const OdGePoint3d& p2);
};
