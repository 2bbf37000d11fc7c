#include "common/entity/hatchutil.h"

#include <algorithm>
#include <cstring>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/arcutil.h"
#include "common/entity/splineutil.h"
#include "common/geometry/convertutil.h"

namespace {

// A new hatch in the XY plane with its fill.
OdDbHatch* NewHatch(const CHatchUtil::FillSetter& setFill, bool associative)
{
    auto* hatch = new OdDbHatch();
    hatch->setNormal(OdGeVector3d(0, 0, 1));
    hatch->setElevation(0.0);
    hatch->setAssociative(associative);
    if (setFill) setFill(hatch);
    return hatch;
}

// The fill's predefined pattern.
CHatchUtil::FillSetter PatternOf(const HatchFillSpec& fill)
{
    return [&fill](OdDbHatch* hatch) {
        char name[sizeof fill.name + 1] = {};
        memcpy(name, fill.name, sizeof fill.name);
        hatch->setPattern(OdDbHatch::kPreDefined, CString(name));
        hatch->setPatternScale(fill.scale);
        hatch->setPatternAngle(fill.angle);
    };
}

void EraseObjects(const OdDbObjectIdArray& ids)
{
    for (const auto& id : ids) {
        OdDbObject* obj = nullptr;
        if (oddbOpenObject(obj, id, OdDb::kForWrite) != eOk) continue;
        obj->erase(true);
        obj->close();
    }
}

// Makes every associated boundary object follow the hatch.
void AttachBoundaries(OdDbObjectId hatchId)
{
    OdDbHatch* hatch = nullptr;
    if (oddbOpenObject(hatch, hatchId, OdDb::kForRead) != eOk) return;
    OdDbObjectIdArray assoc;
    hatch->getAssocObjIds(assoc);
    for (const auto& id : assoc) {
        OdDbObject* obj = nullptr;
        if (oddbOpenObject(obj, id, OdDb::kForWrite) != eOk) continue;
        obj->addPersistentReactor(hatchId);
        obj->close();
    }
    hatch->close();
}

void FinishBoundaries(OdDbObjectId hatchId, const std::vector<const OdDbObjectIdArray*>& loops, bool associative)
{
    if (associative) {
        AttachBoundaries(hatchId);
        return;
    }
    for (const auto* loop : loops) EraseObjects(*loop);
}

}  // namespace

OdDbObjectId CHatchUtil::Add(const OdDbObjectIdArray& boundaryIds, EntityProps props, const HatchFillSpec& fill,
                             bool associative)
{
    return Add(boundaryIds, props, PatternOf(fill), associative);
}

OdDbObjectId CHatchUtil::AddWithInnerLoops(const std::vector<OdDbObjectIdArray>& outerLoops,
                                           const std::vector<OdDbObjectIdArray>& innerLoops, EntityProps props,
                                           const HatchFillSpec& fill, bool associative)
{
    return AddWithInnerLoops(outerLoops, innerLoops, props, PatternOf(fill), associative);
}

OdDbObjectId CHatchUtil::Add(const OdDbObjectIdArray& boundaryIds, EntityProps props, const FillSetter& setFill,
                             bool associative)
{
    OdDbHatch* hatch = NewHatch(setFill, associative);
    // A boundary that forms no loop would give an empty hatch and then lose
    // the boundary objects too.
    if (hatch->appendLoop(OdDbHatch::kExternal, boundaryIds) != eOk || hatch->evaluateHatch(false) != eOk) {
        delete hatch;
        return OdDbObjectId();
    }
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(hatch, props);
    if (!id.isNull()) FinishBoundaries(id, {&boundaryIds}, associative);
    return id;
}

OdDbObjectId CHatchUtil::AddWithInnerLoops(const std::vector<OdDbObjectIdArray>& outerLoops,
                                           const std::vector<OdDbObjectIdArray>& innerLoops, EntityProps props,
                                           const FillSetter& setFill, bool associative)
{
    OdDbHatch* hatch = NewHatch(setFill, associative);
    std::vector<const OdDbObjectIdArray*> loops;
    bool ok = true;
    for (const auto& loop : outerLoops) {
        ok = ok && hatch->appendLoop(OdDbHatch::kExternal, loop) == eOk;
        loops.push_back(&loop);
    }
    int innerType = outerLoops.empty() ? OdDbHatch::kExternal : OdDbHatch::kOutermost;
    for (const auto& loop : innerLoops) {
        ok = ok && hatch->appendLoop(innerType, loop) == eOk;
        loops.push_back(&loop);
    }
    if (!ok || hatch->evaluateHatch(false) != eOk) {
        delete hatch;
        return OdDbObjectId();
    }
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(hatch, props);
    if (!id.isNull()) FinishBoundaries(id, loops, associative);
    return id;
}

void CHatchUtil::GetPolylineLoopPoints(OdGePoint3dArray& points, OdGePoint2dArray vertices, OdGeDoubleArray bulges)
{
    int n = vertices.length();
    for (int i = 0; i < n; ++i) {
        if (i >= n - 1) {
            OdGePoint3d last = CConvertUtil::ToPoint3d(vertices[n - 1], 0.0);
            if (points.isEmpty() || IsPointDiffer(points.last(), last)) points.append(last);
            return;
        }
        if (i < bulges.length() && bulges[i] != 0.0) {
            CArcUtil::GetBulgePoints(CConvertUtil::ToPoint3d(vertices[i], 0.0),
                                     CConvertUtil::ToPoint3d(vertices[i + 1], 0.0), bulges[i], points, false, 3);
            continue;
        }
        points.append(CConvertUtil::ToPoint3d(vertices[i], 0.0));
        if (i == n - 2) points.append(CConvertUtil::ToPoint3d(vertices[n - 1], 0.0));
    }
}

void CHatchUtil::GetLoopPoints(OdGePoint3dArray& points, OdGeVoidPointerArray edges, OdGeIntArray edgeTypes)
{
    int n = std::min(edges.length(), edgeTypes.length());
    for (int i = 0; i < n; ++i) {
        bool last = i == n - 1;
        auto* curve = static_cast<const OdGeCurve2d*>(edges[i]);
        if (!curve) continue;
        switch (edgeTypes[i]) {
        case OdDbHatch::kLine:
            points.append(CConvertUtil::ToPoint3d(curve->startPoint(), 0.0));
            break;
        case OdDbHatch::kCirArc:
            CArcUtil::GetArcPoints(*static_cast<const OdGeCircArc2d*>(curve), points, last, 3);
            break;
        case OdDbHatch::kEllArc:
            CArcUtil::GetEllipArcPoints(*static_cast<const OdGeEllipArc2d*>(curve), points, last, 3);
            break;
        case OdDbHatch::kSpline:
            CSplineUtil::GetSplinePoints(*static_cast<const OdGeSplineEnt2d*>(curve), points, last);
            break;
        default:
            break;
        }
    }
}

bool CHatchUtil::IsPointDiffer(const OdGePoint3d& p1, const OdGePoint3d& p2)
{
    return !p1.isEqualTo(p2, OdGeContext::gTol);
}
