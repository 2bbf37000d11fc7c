#include "exchange/crosssectionmode.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <vector>

#include "base/rvector3d.h"
#include "peer/peerapi.h"
#include "state/sectiongeometry.h"

namespace {

// Elevation of the points inserted where a sent track crosses from one
// strip into another. Received points with this elevation are those
// crossings coming back and are not drawn; a genuine point at elevation 1
// is dropped with them, which the round trip accepts.
const int32_t kCrossingElevation = 1;
// The elevation's high half is 1 on the first point of a new piece.
const int32_t kNewPieceMark = 1;

OdGePoint3d PointOf(const TrackPoint& p) { return OdGePoint3d(p.x, p.y, (double)p.elevation); }

// A size scaled by the section scale, truncated, within the field's range.
uint32_t SizeField(double scaled)
{
    const double v = std::trunc(scaled);
    if (!(v > 0)) return 0;
    if (v >= (double)std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
    return (uint32_t)v;
}

// Replaces the list by zeroed items holding only x, y and the elevation.
bool ReplacePoints(const std::vector<OdGePoint3d>& kept, TrackPoint*& points, uint32_t& count)
{
    TrackPoint* out = nullptr;
    if (!kept.empty()) {
        out = (TrackPoint*)AllocZeroed(kept.size() * sizeof(TrackPoint));
        if (!out) return false;
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        out[i].y = kept[i].y;
        out[i].x = kept[i].x;
        out[i].elevation = (int32_t)kept[i].z;
    }
    free(points);
    points = out;
    count = (uint32_t)kept.size();
    return true;
}

const SectionStrip* StripAt(const CrossSectionState* state, int32_t index)
{
    if (index < 0 || (size_t)index >= state->strips.size()) return nullptr;
    return &*std::next(state->strips.begin(), index);
}

}  // namespace

int32_t FindSegmentOfSectionPoint(CrossSectionState* state, OdGePoint3d& point)
{
    return state ? FindStripOfSectionPoint(state->strips, point, state->frame) : -1;
}

int32_t FindSegmentOfMapPoint(CrossSectionState* state, OdGePoint3d& point)
{
    return state ? FindStripOfMapPoint(state->strips, point, state->frame) : -1;
}

bool SectionPointsToPeer(CrossSectionState* state, TrackPoint*& points, uint32_t& count)
{
    if (!state || (!points && count)) return false;
    const double rangeMinX = state->range.minPoint().x;
    const double rangeWidth = state->range.maxPoint().x - rangeMinX;
    std::vector<OdGePoint3d> out;
    int32_t prev = -1;
    for (uint32_t i = 0; i < count; ++i) {
        OdGePoint3d q = PointOf(points[i]);
        const int32_t s = FindSegmentOfSectionPoint(state, q);
        if (prev == -1) prev = s;
        if (s < 0) continue;
        if (s != prev && i > 0 && (points[i].elevation >> 16) != kNewPieceMark) {
            // The crossings of the strip boundaries between the two points,
            // in the direction of travel, each mapped as a point of its own.
            const OdGePoint3d from = PointOf(points[i - 1]), to = PointOf(points[i]);
            const int32_t step = s > prev ? 1 : -1;
            for (int32_t k = s > prev ? prev + 1 : prev; s > prev ? k <= s : k > s; k += step) {
                const SectionStrip* strip = StripAt(state, k);
                if (!strip) continue;
                const double xb = strip->startFraction * rangeWidth + rangeMinX;
                OdGePoint3d crossing;
                if (PointOnSegmentAtX(from, to, xb, crossing) && FindSegmentOfSectionPoint(state, crossing) >= 0)
                    out.push_back(crossing);
            }
        }
        out.push_back(q);
        prev = s;
    }
    return ReplacePoints(out, points, count);
}

int SectionObjectToPeer(CrossSectionState* state, void* record, uint32_t kind)
{
    if (!state || !record) return 0;
    const double scale = state->frame.scale;
    switch (kind) {
    case kMapObjSign: {
        auto* sign = (SignRecord*)record;
        OdGePoint3d q(sign->x, sign->y, 0);
        const int32_t s = FindSegmentOfSectionPoint(state, q);
        if (s < 0) return s;
        const SectionStrip* strip = StripAt(state, s);
        const RVector3d dir(strip->end.x - strip->start.x, strip->end.y - strip->start.y, 0);
        sign->rotation = (float)(dir.AngleXY() * 180.0 / kPi);
        sign->y = q.y;
        sign->x = q.x;
        sign->fontSize = SizeField(sign->fontSize * scale);
        return s;
    }
    case kMapObjTrack: {
        auto* track = (TrackRecord*)record;
        SectionPointsToPeer(state, track->points, track->count);
        track->width = SizeField(track->width * scale);
        return 1;
    }
    case kMapObjShape: {
        auto* shape = (ShapeRecord*)record;
        SectionPointsToPeer(state, shape->points, shape->count);
        shape->fillScale = (float)(shape->fillScale * scale);
        return 1;
    }
    default: return 0;
    }
}

bool MapPointsToSection(CrossSectionState* state, TrackPoint*& points, uint32_t& count)
{
    if (!state || (!points && count)) return false;
    std::vector<OdGePoint3d> kept;
    for (uint32_t i = 0; i < count; ++i) {
        if (points[i].elevation == kCrossingElevation) continue;
        OdGePoint3d q = PointOf(points[i]);
        if (FindSegmentOfMapPoint(state, q) >= 0) kept.push_back(q);
    }
    return ReplacePoints(kept, points, count);
}

bool MapSignToSection(CrossSectionState* state, SignRecord* sign)
{
    if (!state || !sign) return false;
    OdGePoint3d q(sign->x, sign->y, 0);
    if (FindSegmentOfMapPoint(state, q) < 0) return false;
    sign->rotation = 0;
    sign->y = q.y;
    sign->x = q.x;
    // Found in a strip means the frame has a positive scale.
    sign->fontSize = SizeField(sign->fontSize / state->frame.scale);
    return true;
}
