#include "exchange/hatchfill.h"

#include <cmath>
#include <cstring>

#include "common/entity/gradientname.h"
#include "exchange/entitycolor.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "oddbhatch.h"
#include "state/peerhelpers.h"
#include "windows.h"

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

namespace {

// A name in the thread's ANSI code page, cut to the field.
void AnsiName(const OdString& name, char (&field)[100])
{
    memset(field, 0, sizeof field);
    if (name.isEmpty()) return;
    char bytes[400] = {};
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, name.c_str(), name.getLength(), bytes, (int)sizeof bytes - 1,
                                nullptr, nullptr);
    if (n <= 0) return;
    memcpy(field, bytes, (size_t)(n < 99 ? n : 99));
}

}  // namespace

void HatchToFillSpec(const OdDbHatch* hatch, HatchFillSpec* fill)
{
    if (!hatch || !fill) return;
    OdGePoint2d origin = hatch->originPoint();
    fill->originX = origin.x;
    fill->originY = origin.y;
    if (hatch->hatchObjectType() == OdDbHatch::kHatchObject) {
        OdString name = hatch->patternName();
        if (name.isEmpty() || wcsncmp(name.c_str(), L"SOLID", 5) == 0) {
            fill->fillType = 0;
            return;
        }
        fill->angle = hatch->patternAngle() * 180.0 / M_PI;
        fill->scale = hatch->patternScale() / GetMeasurement();
        fill->fillType = 3;
        // The record's own scale applies: without this the receiving side
        // takes the pattern table's scale and the hatch's is lost.
        fill->fillKind = 1;
        AnsiName(name, fill->name);
        char lookup[100];
        memcpy(lookup, fill->name, sizeof lookup);
        fill->patternId = GetLinetypeIdByName(lookup);
        // ByLayer and ByBlock resolved as for every entity: a pattern by
        // layer is drawn in the layer's colour, not black.
        fill->colour = GetEntityRgbColor(hatch);
        OdCmColor background = hatch->backgroundColor();
        int16_t index = background.colorIndex();
        bool given = background.isByColor() || (index >= 0 && index <= 255);
        fill->secondColour = given ? (ColorToRgbWord(background) | 0x1000000u) & 0x1FFFFFFu : 0;
        return;
    }
    if (hatch->hatchObjectType() != OdDbHatch::kGradientObject) return;
    fill->angle = hatch->gradientAngle() * 180.0 / M_PI;
    fill->fillType = 1;
    AnsiName(hatch->gradientName(), fill->name);
    int shape = GetGradientShape(fill, fill->name);
    unsigned int count = 0;
    OdArray<OdCmColor> colors;
    OdGeDoubleArray values;
    hatch->getGradientColors(count, colors, values);
    if (colors.isEmpty()) return;
    if (hatch->getGradientOneColorMode() || colors.length() == 1) {
        fill->colour = fill->secondColour = ColorToRgbWord(colors[0]);
        return;
    }
    fill->colour = ColorToRgbWord(colors[0]);
    fill->secondColour = ColorToRgbWord(colors[1]);
    if (shape < 0) std::swap(fill->colour, fill->secondColour);
}

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
