// The receiving half of the hatch fill: a shape record's fill fields read
// into a fill description, and hatches built with it.
#include <cmath>
#include <cstring>

#include "base/numtext.h"
#include "common/entity/gradientname.h"
#include "common/entity/hatchutil.h"
#include "common/geometry/mathutil.h"
#include "exchange/entitycolor.h"
#include "exchange/hatchfill.h"
#include "gcedview.h"
#include "state/peerhelpers.h"

namespace {

enum FillType : int32_t {
    kFillGradient = 1,
    kFillPattern = 3,
};

// The host's own pattern names for the peer's ISO patterns carry a prefix.
void SetPatternName(HatchFillSpec* fill, const char* name)
{
    memset(fill->name, 0, sizeof fill->name);
    const char* prefix = strncmp(name, "ISO", 3) == 0 ? "ACAD_" : "";
    // A name longer than the field is cut on a character boundary.
    if (snprintf(fill->name, sizeof fill->name, "%s%s", prefix, name) >= (int)sizeof fill->name)
        Utf8CutInvalid(fill->name);
}

// The fill as the peer gave it; anything but a pattern or a gradient is a
// solid fill.
void SetReceivedFill(OdDbHatch* hatch, const HatchFillSpec& fill)
{
    if (fill.fillType == kFillPattern || fill.fillType == kFillGradient) {
        ApplyFillSpec(hatch, fill);
        return;
    }
    hatch->setOriginPoint(OdGePoint2d(fill.originX, fill.originY));
    hatch->setPattern(OdDbHatch::kPreDefined, L"SOLID");
}

}  // namespace

void ShapeToFillSpec(const ShapeRecord* shape, HatchFillSpec* fill)
{
    const double pi = 4 * std::atan(1.0);
    const int factor = GetMeasurement();
    fill->originX = shape->originX;
    fill->originY = shape->originY;
    fill->angle = shape->fillAngle * pi / 180;
    fill->scale = (double)shape->fillScale * factor;
    fill->fillType = (int32_t)shape->fillType;
    fill->fillKind = (int32_t)shape->fillKind;
    if (fill->fillType == kFillPattern) {
        // A pattern the peer's table does not know is drawn solid at scale 1.
        const LinetypeItem* entry = GetLinetypeEntryById(shape->patternId);
        char name[sizeof entry->name + 1] = "SOLID";
        if (!entry) {
            fill->scale = 1.0;
        } else {
            memcpy(name, entry->name, sizeof entry->name);
            if (fill->fillKind != 1 || fill->scale == 0) fill->scale = entry->scale * factor;
        }
        SetPatternName(fill, name);
        fill->patternId = shape->patternId;
        fill->colour = shape->fillColour;
        fill->secondColour = (shape->secondColour & 0x1000000u) ? shape->secondColour & 0xFFFFFFu : 0;
    } else if (fill->fillType == kFillGradient) {
        memset(fill->name, 0, sizeof fill->name);
        strncpy(fill->name, GetGradientName(*fill, fill->fillKind), sizeof fill->name - 1);
        fill->colour = shape->fillColour;
        fill->secondColour = shape->secondColour;
    }
}

void ApplyFillSpec(OdDbHatch* hatch, const HatchFillSpec& fill)
{
    hatch->setOriginPoint(OdGePoint2d(fill.originX, fill.originY));
    char name[sizeof fill.name + 1] = {};
    memcpy(name, fill.name, sizeof fill.name);
    if (fill.fillType == kFillPattern) {
        hatch->setHatchObjectType(OdDbHatch::kHatchObject);
        hatch->setPatternAngle(fill.angle);
        hatch->setPatternScale(fill.scale);
        if (hatch->setPattern(OdDbHatch::kPreDefined, CString(name)) != eOk)
            hatch->setPattern(OdDbHatch::kPreDefined, L"SOLID");
        hatch->setColorIndex((uint16_t)CMathUtil::GetColorIndex((int)fill.colour), true);
        if (fill.secondColour != 0) hatch->setBackgroundColor(MakeRgbColor(fill.secondColour));
    } else if (fill.fillType == kFillGradient) {
        hatch->setHatchObjectType(OdDbHatch::kGradientObject);
        hatch->setGradientAngle(fill.angle);
        hatch->setGradient(OdDbHatch::kPreDefinedGradient, CString(name));
        OdCmColor colours[2] = {MakeRgbColor(fill.colour), MakeRgbColor(fill.secondColour)};
        double values[2] = {0.0, 1.0};
        hatch->setGradientColors(2, colours, values);
    }
}

OdDbObjectId AddHatchFromLoop(const OdDbObjectIdArray& boundaryIds, EntityProps props, const HatchFillSpec& fill,
                              bool associative)
{
    return CHatchUtil::Add(
        boundaryIds, props, [&fill](OdDbHatch* hatch) { SetReceivedFill(hatch, fill); }, associative);
}

OdDbObjectId AddHatchWithHoles(const std::vector<OdDbObjectIdArray>& outerLoops,
                               const std::vector<OdDbObjectIdArray>& holeLoops, EntityProps props,
                               const HatchFillSpec& fill, bool associative)
{
    // A fill that is neither pattern nor gradient is solid here too: a hatch
    // without a pattern would show nothing.
    return CHatchUtil::AddWithInnerLoops(
        outerLoops, holeLoops, props, [&fill](OdDbHatch* hatch) { SetReceivedFill(hatch, fill); }, associative);
}
