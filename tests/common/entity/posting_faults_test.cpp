// Every creating operation under a failing append: the null id, no entity
// in model space, nothing left open (and, under the sanitizer, nothing
// leaked).
#include <cmath>
#include <cstring>
#include <functional>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/entity/arcutil.h"
#include "common/entity/circleutil.h"
#include "common/entity/ellipseutil.h"
#include "common/entity/hatchutil.h"
#include "common/entity/lineutil.h"
#include "common/entity/polylineutil.h"
#include "common/entity/regionutil.h"
#include "common/entity/splineutil.h"
#include "common/entity/textutil.h"
#include "drawing_fixture.h"
#include "oddbcurves.h"

namespace {
using PostingFaultTest = DrawingTest;
}  // namespace

TEST_F(PostingFaultTest, AFailedAppendLeavesNothingBehind)
{
    EntityProps props;
    OdGePoint3d o(0, 0, 0);
    OdGeVector3d z(0, 0, 1);
    OdGePoint2dArray square{{0, 0}, {1, 0}, {1, 1}};
    OdGePoint3dArray ctrl{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}};
    HatchFillSpec fill;
    std::strcpy(fill.name, "SOLID");
    const std::vector<std::pair<const char*, std::function<OdDbObjectId()>>> adds = {
        {"arc", [&] { return CArcUtil::Add(o, 1, 0, 1, props); }},
        {"arc normal", [&] { return CArcUtil::AddWithNormal(o, z, 1, 0, 1, props); }},
        {"arc 3 points", [&] { return CArcUtil::AddBy3Points(o, {1, 1, 0}, {2, 0, 0}, props); }},
        {"arc start centre end", [&] { return CArcUtil::AddByStartCenterEnd({1, 0}, {0, 0}, {0, 1}, props); }},
        {"arc start centre angle", [&] { return CArcUtil::AddByStartCenterAngle({1, 0}, {0, 0}, 1, props); }},
        {"arc diameter", [&] { return CArcUtil::AddByDiameter({0, 0}, {2, 2}, 0, 90, props); }},
        {"circle", [&] { return CCircleUtil::Add(o, 1, props); }},
        {"circle normal", [&] { return CCircleUtil::AddWithNormal(o, z, 1, props); }},
        {"circle 2 points", [&] { return CCircleUtil::AddBy2Points({0, 0}, {2, 0}, props); }},
        {"circle 3 points", [&] { return CCircleUtil::AddBy3Points({1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, props); }},
        {"ellipse", [&] { return CEllipseUtil::Add(o, z, {2, 0, 0}, 0.5, props); }},
        {"ellipse in box", [&] { return CEllipseUtil::AddInRectangle({0, 0}, {4, 2}, props); }},
        {"ellipse arc in box", [&] { return CEllipseUtil::AddArcInRectangle({0, 0}, {4, 2}, props, 0, 1); }},
        {"polyline", [&] { return CPolylineUtil::Add(square, props, 0); }},
        {"segment", [&] { return CPolylineUtil::AddSegment({0, 0}, {1, 1}, props, 0); }},
        {"3-D polyline", [&] { return CPolylineUtil::Add3dPolyline(ctrl, props); }},
        {"polygon", [&] { return CPolylineUtil::AddPolygon({0, 0}, 5, 1, 0.5, 0, props); }},
        {"rectangle", [&] { return CPolylineUtil::AddRectangle({0, 0}, {2, 1}, 0, props); }},
        {"poly circle", [&] { return CPolylineUtil::AddPolyCircle({0, 0}, 1, 0, props); }},
        {"poly arc", [&] { return CPolylineUtil::AddPolyArc({0, 0}, 1, 0, 1, 0, props); }},
        {"spline", [&] { return CSplineUtil::Add(ctrl, props, 4); }},
        {"fit spline", [&] { return CSplineUtil::AddByFitPoints(ctrl, z, z, props, 4, 0.0); }},
        {"line", [&] { return CLineUtil::Add(o, {1, 0, 0}, props, db_); }},
        {"text", [&] { return CTextUtil::AddText(o, props, L"a", OdDbObjectId(), 2.5, 0); }},
        {"mtext", [&] { return CTextUtil::AddMText(o, props, L"a", OdDbObjectId(), 2.5, 10); }},
    };
    for (const auto& [what, add] : adds) {
        standin::FailHostCall("append", eInvalidInput);
        EXPECT_TRUE(add().isNull()) << what;
        EXPECT_EQ(standin::OpenObjectCount(), 0) << what;
    }
    EXPECT_TRUE(standin::MessageBoxes().empty());
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds().isEmpty());

    // Regions and hatches need their boundaries in the drawing first.
    OdDbObjectId ring = CPolylineUtil::AddRectangle({0, 0}, {2, 1}, 0, props);
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_TRUE(CRegionUtil::Add(OdDbObjectIdArray{ring}, props).isEmpty());
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_TRUE(CHatchUtil::Add(OdDbObjectIdArray{ring}, props, fill, false).isNull());
    standin::FailHostCall("append", eInvalidInput);
    EXPECT_TRUE(CHatchUtil::AddWithInnerLoops({OdDbObjectIdArray{ring}}, {}, props, fill, false).isNull());
    EXPECT_EQ(CDwgDatabaseUtil::GetAllEntityIds(), (OdDbObjectIdArray{ring}));
}
