// The fill of a hatch between the drawing and a shape record: the hatch
// unit factor, the sending half (hatch to fill description to record) and
// the receiving half (record to fill description to a new hatch).
#pragma once

#include <vector>

#include "common/document/entityprops.h"
#include "common/entity/hatchfillspec.h"
#include "oddbhatch.h"
#include "peer/maprecords.h"

// The hatch unit factor: 1 in a metric drawing (host variable "MEASUREMENT"
// not 0), 25 otherwise. Read on first use and kept until ResetMeasurement.
int GetMeasurement();
// Forgets the factor (unload); the next use reads the variable again.
void ResetMeasurement();

// Reads the fill of the hatch: pattern (angle in degrees, scale divided by
// the unit factor, the peer's pattern id), gradient, or solid (fill type 0).
void HatchToFillSpec(const OdDbHatch* hatch, HatchFillSpec* fill);
// Copies the description into the record's fill fields (bytes 156 to 199).
void FillSpecToShape(ShapeRecord* shape, const HatchFillSpec& fill);

// The record's fill fields as a description: angle in radians, scale times
// the unit factor, the pattern's name from the peer's pattern table (an
// unknown pattern is solid at scale 1).
void ShapeToFillSpec(const ShapeRecord* shape, HatchFillSpec* fill);
// Sets origin and pattern or gradient of a hatch open for write.
void ApplyFillSpec(OdDbHatch* hatch, const HatchFillSpec& fill);
// A hatch over one external loop of the boundary entities; null on failure.
OdDbObjectId AddHatchFromLoop(const OdDbObjectIdArray& boundaryIds, EntityProps props, const HatchFillSpec& fill,
                              bool associative);
// A hatch over outer loops with holes; null on failure.
OdDbObjectId AddHatchWithHoles(const std::vector<OdDbObjectIdArray>& outerLoops,
                               const std::vector<OdDbObjectIdArray>& holeLoops, EntityProps props,
                               const HatchFillSpec& fill, bool associative);
