#include "odcmcolor.h"

#include <cmath>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// The colour-index palette: 1..9 the named colours, 10..249 24 hues in five
// shades each, full and half saturated, 250..255 greys.
Rgb PaletteEntry(int i)
{
    static const Rgb named[10] = {{0, 0, 0},       {255, 0, 0},   {255, 255, 0},   {0, 255, 0},   {0, 255, 255},
                                  {0, 0, 255},     {255, 0, 255}, {255, 255, 255}, {128, 128, 128}, {192, 192, 192}};
    static const uint8_t greys[6] = {51, 80, 105, 130, 190, 255};
    if (i < 10) return named[i];
    if (i >= 250) return {greys[i - 250], greys[i - 250], greys[i - 250]};
    static const double shade[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    double hue = (i / 10 - 1) * 15.0;
    double f = shade[(i % 10) / 2];
    bool pastel = (i % 2) == 1;
    // Full-saturation colour of the hue, channels 0..1.
    double h = hue / 60.0;
    double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    double c[3];
    switch ((int)h) {
    case 0: c[0] = 1; c[1] = x; c[2] = 0; break;
    case 1: c[0] = x; c[1] = 1; c[2] = 0; break;
    case 2: c[0] = 0; c[1] = 1; c[2] = x; break;
    case 3: c[0] = 0; c[1] = x; c[2] = 1; break;
    case 4: c[0] = x; c[1] = 0; c[2] = 1; break;
    default: c[0] = 1; c[1] = 0; c[2] = x; break;
    }
    uint8_t out[3];
    for (int k = 0; k < 3; ++k) {
        double v = 255.0 * f * c[k];
        if (pastel) v = (255.0 * f + v) / 2;
        out[k] = (uint8_t)std::floor(v);
    }
    return {out[0], out[1], out[2]};
}

}  // namespace

uint32_t gcedGetRGB(int colorIndex)
{
    if (colorIndex < 0 || colorIndex > 255) return 0;
    Rgb c = PaletteEntry(colorIndex);
    return (uint32_t)c.r | ((uint32_t)c.g << 8) | ((uint32_t)c.b << 16);
}

OdCmColor::OdCmColor(OdCmEntityColor::ColorMethod m) { setColorMethod(m); }

void OdCmColor::setColorMethod(OdCmEntityColor::ColorMethod m)
{
    method_ = m;
    if (m != OdCmEntityColor::kByACI && m != OdCmEntityColor::kByColor) value_ = 0;
}

void OdCmColor::setColorIndex(int16_t index)
{
    if (index == 256) {
        setColorMethod(OdCmEntityColor::kByLayer);
    } else if (index == 0) {
        setColorMethod(OdCmEntityColor::kByBlock);
    } else {
        method_ = OdCmEntityColor::kByACI;
        value_ = (uint32_t)(uint16_t)index;
    }
}

int16_t OdCmColor::colorIndex() const
{
    switch (method_) {
    case OdCmEntityColor::kByLayer: return 256;
    case OdCmEntityColor::kByBlock: return 0;
    case OdCmEntityColor::kByACI: return (int16_t)value_;
    case OdCmEntityColor::kForeground: return 7;
    default: return 257;  // no index: a true colour or none
    }
}

void OdCmColor::setRGB(uint8_t r, uint8_t g, uint8_t b)
{
    method_ = OdCmEntityColor::kByColor;
    value_ = ((uint32_t)r << 16) | ((uint32_t)g << 8) | b;
}

uint8_t OdCmColor::red() const
{
    if (method_ == OdCmEntityColor::kByColor) return (uint8_t)(value_ >> 16);
    return method_ == OdCmEntityColor::kByACI ? (uint8_t)gcedGetRGB((int)value_) : 0;
}

uint8_t OdCmColor::green() const
{
    if (method_ == OdCmEntityColor::kByColor) return (uint8_t)(value_ >> 8);
    return method_ == OdCmEntityColor::kByACI ? (uint8_t)(gcedGetRGB((int)value_) >> 8) : 0;
}

uint8_t OdCmColor::blue() const
{
    if (method_ == OdCmEntityColor::kByColor) return (uint8_t)value_;
    return method_ == OdCmEntityColor::kByACI ? (uint8_t)(gcedGetRGB((int)value_) >> 16) : 0;
}

OdCmTransparency::transparencyMethod OdCmTransparency::method() const
{
    uint32_t m = value_ >> 24;
    return m <= 2 ? (transparencyMethod)m : kErrorValue;
}
