// The base line of the cross-section mode and the strips of its corridor.
#pragma once

#include <list>

#include "odgegeometry.h"

// One pair of neighbouring base-line points; prev of the first segment and
// next of the last stay (0, 0, 0), a free end.
struct BaseLineSegment {
    OdGePoint3d prev, start, end, next;
    double startFraction = 0;  // length up to start / total length
    double endFraction = 0;
    double length = 0;         // 2-D
};

struct BaseLine {
    double totalLength = 0;
    std::list<BaseLineSegment> segments;
};

// The corridor belonging to one base-line segment of non-zero length.
struct SectionStrip {
    double length = 0;
    double unused = 0;
    double startHalfAngle = 0;  // radians, on the section's side
    double endHalfAngle = 0;
    double startFraction = 0;
    double endFraction = 0;
    double startTan = 0;
    double endTan = 0;
    OdGePoint3d prev, start, end, next;
};
