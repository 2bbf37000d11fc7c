// The base line of the cross-section mode, the strips of its corridor and
// the process-wide section frame. The geometry over them is in
// state/sectiongeometry.h.
#pragma once

#include <cstdint>
#include <list>

#include "odgegeometry.h"

// One pair of neighbouring base-line points, in base-line order. At a free
// end (before the first point, after the last) prev or next stays (0, 0, 0)
// and the flag says so; a real point at (0, 0) is an ordinary point.
struct BaseLineSegment {
    OdGePoint3d prev, start, end, next;
    bool hasPrev = false;      // false: start is the base line's first point
    bool hasNext = false;      // false: end is the base line's last point
    double startFraction = 0;  // base-line length up to start / total length
    double endFraction = 0;
    double length = 0;         // 2-D
};

struct BaseLine {
    double totalLength = 0;
    std::list<BaseLineSegment> segments;
};

// The corridor belonging to one base-line segment of non-zero length: the
// region on the section's side between the bisectors of its two corners.
struct SectionStrip {
    double length = 0;          // 2-D, start to end
    double unused = 0;
    double startHalfAngle = 0;  // radians, half the corner angle on the section's side
    double endHalfAngle = 0;
    double startFraction = 0;
    double endFraction = 0;
    double startTan = 0;        // tan of the half angles
    double endTan = 0;
    OdGePoint3d prev, start, end, next;
    bool hasPrev = false;
    bool hasNext = false;
};

// Orientation of the section in the frame.
enum SectionMode : int32_t {
    kSectionRightUpright = 0,   // right of the base line, drawn downwards from the top edge
    kSectionRightInverted = 1,  // right, drawn upwards from the bottom edge
    kSectionLeftUpright = 2,    // left, drawn upwards from the bottom edge
    kSectionLeftInverted = 3,   // left, drawn downwards from the top edge
};

// The frame in the drawing that the corridor is unrolled into. One for the
// whole process: the frame of the last accepted base line serves every
// drawing.
struct SectionFrame {
    int32_t mode = kSectionRightUpright;
    int32_t swapEnds = 0;        // 1: the base line's points are used in reverse order
    OdGePoint3d origin;          // corner on the edge the base line runs along
    OdGePoint3d farCorner;
    double width = 0;            // drawing units
    double height = 0;
    double scale = 0;            // map units per drawing unit; 0 until a base line sets it
};

extern SectionFrame g_sectionFrame;
