// Drawing files (stand-in internals): the codes of a hatch's record
// (HATCH), named once for its description, reader and writer
// (dxf_kind_hatch.cpp) and its edges' (dxf_kind_hatch_edges.cpp).
#pragma once

#include "dxf_view.h"
#include "oddbhatch.h"

namespace standin {
namespace dxf {

// A loop: its type, then a polyline's vertices or its edges (kCount of
// either), then the boundary objects it was made from.
struct HatchLoopCodes {
    static constexpr int kType = 92, kCount = 93, kBulged = 72, kClosed = 73, kVertex = 10, kBulge = 42,
                         kSourceCount = 97, kSource = 330;
    static constexpr int kAll[] = {kType, kCount, kBulged, kClosed, kVertex, kBulge, kSourceCount, kSource};
};
// An edge: its type, then its values as the type has them. A spline's fit
// count shares its code with the loop's count of boundary objects.
struct HatchEdgeCodes {
    static constexpr int kType = 72;
    // Line, arc and elliptic arc.
    static constexpr int kStart = 10, kEnd = 11, kCenter = 10, kRadius = 40, kMajorAxis = 11, kRatio = 40,
                         kStartAngle = 50, kEndAngle = 51, kCounterClockwise = 73;
    // Spline.
    static constexpr int kDegree = 94, kRational = 73, kPeriodic = 74, kKnotCount = 95, kControlCount = 96,
                         kKnot = 40, kControlPoint = 10, kWeight = 42, kFitCount = 97, kFitPoint = 11,
                         kStartTangent = 12, kEndTangent = 13;
    static constexpr int kAll[] = {kType,     kStart,      kEnd,       kRadius,      kStartAngle,   kEndAngle,
                                   kCounterClockwise, kDegree, kPeriodic, kKnotCount, kControlCount,
                                   kWeight,   kFitCount,   kFitPoint,  kStartTangent, kEndTangent};
};
// A line of the pattern: its angle, base point, offset and dashes.
struct HatchPatternLineCodes {
    static constexpr int kAngle = 53, kBaseX = 43, kBaseY = 44, kOffsetX = 45, kOffsetY = 46, kDashCount = 79,
                         kDash = 49;
    static constexpr int kAll[] = {kAngle, kBaseX, kBaseY, kOffsetX, kOffsetY, kDashCount, kDash};
};
// A gradient's colours, each a value with a colour number and, for a true
// colour, its value too. The writer works out their count.
struct HatchGradientCodes {
    static constexpr int kGradient = 450, kUserDefined = 451, kOneColour = 452, kColourCount = 453,
                         kColourValue = 463, kColourIndex = 63, kColourRgb = 421, kAngle = 460, kShift = 461,
                         kTint = 462, kName = 470;
    static constexpr int kAll[] = {kGradient,   kUserDefined, kOneColour, kColourCount, kColourValue, kColourIndex,
                                   kColourRgb, kAngle,       kShift,     kTint,        kName};
    static constexpr int kDerived[] = {kColourCount};
};
// The hatch's own values: its plane (the point's z is the elevation), the
// loops after their count, and after them the style, the pattern, its
// lines after their count, the seed points after theirs and the gradient.
struct HatchCodes {
    static constexpr const char* kMarker = "AcDbHatch";
    static constexpr int kElevation = 10, kNormal = 210, kPatternName = 2, kSolidFill = 70, kAssociative = 71,
                         kLoopCount = 91, kStyle = 75, kPatternType = 76, kPatternAngle = 52, kPatternScale = 41,
                         kPatternDouble = 77, kPatternLineCount = 78, kPixelSize = 47, kSeedCount = 98, kSeed = 10;
    static constexpr int kAll[] = {kElevation,    kNormal,        kPatternName,   kSolidFill,        kAssociative,
                                   kLoopCount,    kStyle,         kPatternType,   kPatternAngle,     kPatternScale,
                                   kPatternDouble, kPatternLineCount, kPixelSize, kSeedCount};
};

// One edge of a boundary loop of the type read at the cursor, or null when
// its groups are broken; a spline's fit data goes to `fit`.
OdGeCurve2d* ReadHatchEdge(Cursor& c, int64_t type, bool lastEdge, OdDbHatch::SplineFit& fit);

}  // namespace dxf
}  // namespace standin
