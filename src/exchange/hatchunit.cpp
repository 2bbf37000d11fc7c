// The hatch unit factor between the peer's pattern scales and the drawing's.
#include "exchange/hatchfill.h"
#include "gcedview.h"

namespace {

int g_hatchUnitFactor = 0;  // 0 until read

}  // namespace

int GetMeasurement()
{
    if (g_hatchUnitFactor == 0) {
        resbuf rb{};
        bool metric = gcedGetVar(L"MEASUREMENT", &rb) != RTNORM || rb.resval.rint != 0;
        g_hatchUnitFactor = metric ? 1 : 25;
    }
    return g_hatchUnitFactor;
}

void ForgetMeasurement() { g_hatchUnitFactor = 0; }
