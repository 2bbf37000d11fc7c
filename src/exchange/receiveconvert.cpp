#include "exchange/receiveconvert.h"

#include <cmath>

#include "exchange/entitycolor.h"
#include "exchange/exchangetext.h"
#include "gcutprint.h"
#include "state/settings.h"

namespace {

// The sender's single-precision full turn lies within this of 360 degrees.
const double kFullTurnSlack = 1e-4;

}  // namespace

std::vector<std::pair<uint32_t, uint32_t>> SplitAtBreaks(const TrackPoint* points, uint32_t count)
{
    std::vector<std::pair<uint32_t, uint32_t>> pieces;
    uint32_t begin = 0;
    for (uint32_t i = 1; i <= count; ++i) {
        if (i < count && points[i].elevation != kBreakElevation) continue;
        pieces.emplace_back(begin, i);
        begin = i;
    }
    return pieces;
}

bool ArePointsFinite(const TrackPoint* points, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) || !std::isfinite(points[i].angle))
            return false;
    return true;
}

double WithinTurn(double degrees) { return std::fmod(degrees, 360.0); }

bool IsFullTurn(double degrees) { return std::fabs(degrees - 360.0) <= kFullTurnSlack; }

void SetReceivedColour(EntityProps& props, uint32_t colourWord)
{
    props.byLayer = g_settings.colourByLayer != 0;
    if (!props.byLayer) props.color = MakeRgbColor(colourWord);
}

void ReportNotDrawn(const wchar_t* what, const char (&name)[100])
{
    gcutPrintf(L"\n转化失败信息：拓岚%s(%s)无法加入图形！", what, Utf8FieldToCString(name, sizeof name).GetString());
}
