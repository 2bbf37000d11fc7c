// The fill of a hatch between the drawing and a shape record: the hatch
// unit factor and the sending half (hatch to fill description to record).
#pragma once

#include "common/entity/hatchfillspec.h"
#include "peer/maprecords.h"

class OdDbHatch;

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
