// Colour words of map-object records: red in the low byte, green in the
// second and blue in the third (0x00BBGGRR).
#pragma once

#include <cstdint>

#include "odcmcolor.h"

// The colour of the word, by RGB.
OdCmColor MakeRgbColor(uint32_t colourWord);
