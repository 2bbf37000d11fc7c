// Host SDK stand-in: entity colours, transparency and the colour-index
// palette.
#pragma once

#include <cstdint>

#include "odstring.h"

namespace OdCmEntityColor {
enum ColorMethod : uint8_t {
    kByLayer = 0xC0,
    kByBlock = 0xC1,
    kByColor = 0xC2,
    kByACI = 0xC3,
    kForeground = 0xC5,
    kNone = 0xC8,
};
}

class OdCmColor {
public:
    // ByLayer by default.
    OdCmColor() = default;
    explicit OdCmColor(OdCmEntityColor::ColorMethod m);

    OdCmEntityColor::ColorMethod colorMethod() const { return method_; }
    void setColorMethod(OdCmEntityColor::ColorMethod m);
    // 256 ByLayer, 0 ByBlock, 1..255 an index colour.
    void setColorIndex(int16_t index);
    int16_t colorIndex() const;
    void setRGB(uint8_t r, uint8_t g, uint8_t b);
    uint8_t red() const;
    uint8_t green() const;
    uint8_t blue() const;
    bool isByLayer() const { return method_ == OdCmEntityColor::kByLayer; }
    bool isByBlock() const { return method_ == OdCmEntityColor::kByBlock; }
    bool isByACI() const { return method_ == OdCmEntityColor::kByACI; }
    bool isByColor() const { return method_ == OdCmEntityColor::kByColor; }
    bool operator==(const OdCmColor& o) const { return method_ == o.method_ && value_ == o.value_; }
    bool operator!=(const OdCmColor& o) const { return !(*this == o); }

private:
    OdCmEntityColor::ColorMethod method_ = OdCmEntityColor::kByLayer;
    // Colour index for kByACI, 0x00RRGGBB for kByColor.
    uint32_t value_ = 0;
};

class OdCmTransparency {
public:
    enum transparencyMethod { kByLayer = 0, kByBlock = 1, kByAlpha = 2, kErrorValue = 3 };

    OdCmTransparency() = default;
    explicit OdCmTransparency(uint8_t alpha) : value_(0x02000000u | alpha) {}
    // The stored form: the method in the top byte, the alpha in the low byte.
    static OdCmTransparency fromSerialized(uint32_t v)
    {
        OdCmTransparency t;
        t.value_ = v;
        return t;
    }
    uint32_t serializeOut() const { return value_; }
    transparencyMethod method() const;
    uint8_t alpha() const { return (uint8_t)(value_ & 0xFF); }
    void setAlpha(uint8_t a) { value_ = 0x02000000u | a; }
    void setMethod(transparencyMethod m) { value_ = ((uint32_t)m << 24) | (value_ & 0xFF); }
    bool isByAlpha() const { return method() == kByAlpha; }
    bool operator==(const OdCmTransparency& o) const { return value_ == o.value_; }

private:
    uint32_t value_ = 0;  // ByLayer
};

// The RGB value of a colour index: red in the low byte, then green, then
// blue (0x00BBGGRR). Indexes outside 0..255 give 0.
uint32_t gcedGetRGB(int colorIndex);
