#include "exchange/hatchfill.h"

#include "gcedinput.h"
#include "gcedview.h"

namespace {

int g_measurement = 0;  // 0: not read yet

}  // namespace

int GetMeasurement()
{
    if (g_measurement == 0) {
        resbuf rb{};
        int value = 1;
        if (gcedGetVar(L"MEASUREMENT", &rb) == RTNORM && rb.restype == RTSHORT) value = rb.resval.rint;
        g_measurement = value != 0 ? 1 : 25;
    }
    return g_measurement;
}

void ResetMeasurement() { g_measurement = 0; }

void FillSpecToShape(ShapeRecord* shape, const HatchFillSpec& fill)
{
    if (!shape) return;
    shape->originX = fill.originX;
    shape->originY = fill.originY;
    shape->fillAngle = (float)fill.angle;
    shape->fillScale = (float)fill.scale;
    shape->fillType = (uint32_t)fill.fillType;
    shape->fillKind = (uint32_t)fill.fillKind;
    shape->patternId = fill.patternId;
    shape->fillColour = fill.colour;
    if (fill.fillType == 3) shape->secondColour = fill.secondColour & 0x1FFFFFF;
    else if (fill.fillType == 1) shape->secondColour = fill.secondColour;
}
