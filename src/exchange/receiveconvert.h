// What the converters of received map objects share: cutting point lists
// at their break marks, the closing end angle of curves, and the colour of
// the entities they make.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "common/document/entityprops.h"
#include "peer/maprecords.h"

// The elevation that marks the first point of a further piece or ring.
const int32_t kBreakElevation = 65536;

// [begin, end) of each piece of a point list: a marked point opens the piece
// after it, the last piece runs to the end. A piece of fewer than 2 points
// makes no curve; it is listed all the same, so that pieces keep their
// numbers.
std::vector<std::pair<uint32_t, uint32_t>> SplitAtBreaks(const TrackPoint* points, uint32_t count);

// True when every point's coordinates and angle slot are numbers: a point
// that is not makes its object nothing.
bool ArePointsFinite(const TrackPoint* points, uint32_t count);

// Tells the user on the command line that the drawing could not take (part
// of) a received object: `what` names the part, `name` is the record's.
void ReportNotDrawn(const wchar_t* what, const char (&name)[100]);

// An angle in degrees within one turn (the sign kept), for arcs.
double WithinTurn(double degrees);

// True for an end angle in degrees that closes a curve: 360, or the full
// turn as the sender writes it in single precision (a little off 360).
bool IsFullTurn(double degrees);

// ByLayer under the colour-by-layer setting, else the colour word's colour.
void SetReceivedColour(EntityProps& props, uint32_t colourWord);
