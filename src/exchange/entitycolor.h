// The three properties every sent map object carries from its entity (the
// colour word, the opacity percent and the peer's line style), and the way
// back from a colour word to an entity colour.
#pragma once

#include <cstdint>

#include "odcmcolor.h"

class OdDbEntity;

// The peer's line styles by index, the same both ways.
const uint32_t kLineStyleCount = 8;
extern const wchar_t* const LineStyleTable[kLineStyleCount];
// The name of a line-style index; "Continuous" for an index the table does
// not have (the index may come from the peer).
const wchar_t* LineStyleName(uint32_t index);

// Colour word 0x00BBGGRR of the entity: ByBlock is white, ByLayer takes the
// layer's colour, an index goes through the host palette, a true colour is
// sent as it is. 0 when the colour cannot be resolved.
uint32_t GetEntityRgbColor(const OdDbEntity* entity);
// The colour word of one colour value (no ByLayer resolution): a true colour
// as it is, an index through the palette (0 outside 0..255).
uint32_t ColorToRgbWord(const OdCmColor& color);
// Opacity percent from the transparency's alpha; 0 reads as 50.
uint32_t GetEntityOpacity(const OdDbEntity* entity);
// Index into LineStyleTable of the entity's linetype (ByLayer and ByBlock
// resolved through the layer); 0 for an entity that is no curve.
uint32_t GetEntityLineStyle(const OdDbEntity* entity);
// The line-style index of a linetype name.
uint32_t LineStyleOfName(const wchar_t* name);
// An RGB colour from a colour word.
OdCmColor MakeRgbColor(uint32_t word);
