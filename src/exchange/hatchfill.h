// The fill of a hatch between a drawing hatch and the fill fields of a
// shape record, and the hatches built over boundary entities with it.
#pragma once

#include <vector>

#include "common/document/entityprops.h"
#include "common/entity/hatchfillspec.h"
#include "oddbhatch.h"
#include "peer/maprecords.h"

// The hatch unit factor: 1 in a metric drawing ("MEASUREMENT" not 0), 25
// otherwise; read on first use and kept until ForgetMeasurement.
int GetMeasurement();
void ForgetMeasurement();

// Receiving: the record's fill fields as a fill description (angle in
// radians, scale in drawing units, the pattern's name from the peer's
// pattern table).
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
