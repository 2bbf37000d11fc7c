#include "common/entity/gradientname.h"

#include <cstdlib>
#include <cstring>

const char* const GradientNames[9] = {"LINEAR",       "CYLINDER",     "INVCYLINDER",      "SPHERICAL", "HEMISPHERICAL",
                                      "CURVED",       "INVSPHERICAL", "INVHEMISPHERICAL", "INVCURVED"};

int GetGradientShape(HatchFillSpec* fill, const char* name)
{
    int index = 0;
    for (int i = 0; i < 9; ++i)
        if (name && std::strcmp(name, GradientNames[i]) == 0) index = i;
    static const int kCodes[9] = {0, 1, -1, 2, 0, 0, -2, -7, -7};
    int code = kCodes[index];
    int field = std::abs(code);
    fill->fillKind = field == 7 ? 0 : field;
    return code;
}

const char* GetGradientName(const HatchFillSpec&, int shape)
{
    switch (shape) {
    case 1: return GradientNames[1];
    case 2: return GradientNames[3];
    default: return GradientNames[0];
    }
}
