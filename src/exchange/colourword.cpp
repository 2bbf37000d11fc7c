#include "exchange/colourword.h"

OdCmColor MakeRgbColor(uint32_t colourWord)
{
    OdCmColor colour;
    colour.setRGB((uint8_t)colourWord, (uint8_t)(colourWord >> 8), (uint8_t)(colourWord >> 16));
    return colour;
}
