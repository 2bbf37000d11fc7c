// Cross-section geometry: unrolls a corridor of the map along a base line
// into a straight rectangular frame of the drawing. Positions along the base
// line become the frame's x, distances from the base line its y. Pure
// geometry: nothing here talks to the host or the peer.
//
// Map points are the peer's plane coordinates (x east, y north); only x and
// y are read unless stated. Every function that depends on the frame takes
// it as its last argument, the process-wide g_sectionFrame by default.
//
// Order of use for a new base line (track points as received):
//   ReverseTrackPoints when the frame's swapEnds is 1;
//   BuildBaseLineSegments;
//   SetSectionFrame(range, baseLine.totalLength / range width) on a frame;
//   ValidateBaseLine on that frame: anything but 0 refuses the base line;
//   BuildSectionStrips; then FindStripOfMapPoint / FindStripOfSectionPoint
//   convert points with the same frame.
#pragma once

#include <cstdint>
#include <list>

#include "peer/maprecords.h"
#include "state/sectiontypes.h"

// Angles and strip lengths within this count as equal.
const double kSectionTolerance = 1e-9;

// ValidateBaseLine results.
const int32_t kBaseLineValid = 0;
const int32_t kBaseLineRepeatedPoint = -1;
const int32_t kBaseLineSharpCorner = -2;
// Fewer than 2 points, no length, a point or frame value that is not a
// finite number, a frame without width or scale, or an unknown mode: no
// section can be built at all.
const int32_t kBaseLineUnusable = -3;

double Distance2D(const OdGePoint3d& p, const OdGePoint3d& q);

// Distance from p to the segment ab: to the foot of the perpendicular when
// it lies within the segment's bounding box, else to the nearer end.
// `foot` gets the foot on the line through a and b in any case (z 0).
double PointSegmentDistance(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& p,
                            OdGePoint3d* foot = nullptr);

// The point of segment ab at abscissa x, with z = 1.0 (the mark of a strip
// boundary crossing). False when x lies outside the segment's x range; a
// vertical segment gives a only for x equal to its abscissa.
bool PointOnSegmentAtX(const OdGePoint3d& a, const OdGePoint3d& b, double x, OdGePoint3d& out);

// -1 for a counter-clockwise turn p0 -> p1 -> p2, 1 for a clockwise one, 0
// when the three are collinear.
int32_t Orientation(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2);

// The angle at b on the right-hand side of the path a -> b -> c, in
// [0, 2 pi): pi for a straight path, below pi for a right turn, above for a
// left one. 0 when a or c coincides with b. Free ends are the caller's
// business (see CornerHalfAngles).
double VectorAngle(const OdGePoint3d& a, const OdGePoint3d& b, const OdGePoint3d& c);

// Fills baseLine from the track's points (x, y, 0). Fewer than 2 points give
// no segments; a base line without length gives fractions of 0.
void BuildBaseLineSegments(BaseLine& baseLine, const TrackRecord& track);

// Reverses the order of the track's points; only y, x and elevation move.
void ReverseTrackPoints(TrackRecord& track);

// Puts the frame onto the range by its mode: modes 0 and 3 take the origin
// at the top-left corner, modes 1 and 2 at the bottom-left; another mode
// keeps both corners. Width and height are the range's sizes.
void SetSectionFrame(const OdGeExtents3d& range, double scale, SectionFrame& frame = g_sectionFrame);

// Fills the strip of a segment: its ends, the half corner angles on the
// section's side (pi / 2 at a free end) and their tangents, length and
// fractions. False for a segment of length 0, which gets no strip.
bool CornerHalfAngles(SectionStrip& strip, const BaseLineSegment& segment,
                      const SectionFrame& frame = g_sectionFrame);

// Checks that the base line can carry a corridor as deep as the frame
// (height x scale map units) on the section's side: kBaseLineValid, or
// kBaseLineRepeatedPoint / kBaseLineSharpCorner with *pointNumber the
// 1-based number of the point to look at, or kBaseLineUnusable.
int32_t ValidateBaseLine(const TrackPoint* points, uint32_t count, int32_t* pointNumber,
                         const SectionFrame& frame = g_sectionFrame);

// Appends the strip of every segment of non-zero length, in base-line order.
void BuildSectionStrips(const BaseLine& baseLine, std::list<SectionStrip>& strips,
                        const SectionFrame& frame = g_sectionFrame);

// Map to section: when map point p lies in the strip, p's x and y become
// section (drawing) coordinates and the result is true; otherwise p stays.
// z is not changed.
bool MapSegmentContains(const SectionStrip& strip, OdGePoint3d& p,
                        const SectionFrame& frame = g_sectionFrame);

// Section to map, the inverse: when section point p lies in the strip's
// part of the frame (on the section's side of the base line), p's x and y
// become map coordinates. z is not changed.
bool SectionSegmentContains(const SectionStrip& strip, OdGePoint3d& p,
                            const SectionFrame& frame = g_sectionFrame);

// The first strip, in order, that accepts p converts it; its index, or -1
// with p unchanged.
int32_t FindStripOfMapPoint(const std::list<SectionStrip>& strips, OdGePoint3d& p,
                            const SectionFrame& frame = g_sectionFrame);
int32_t FindStripOfSectionPoint(const std::list<SectionStrip>& strips, OdGePoint3d& p,
                                const SectionFrame& frame = g_sectionFrame);
