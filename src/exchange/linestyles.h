// The peer's line styles by index (LineStyleTable).
#pragma once

#include <cstdint>

extern const wchar_t* const LineStyleTable[8];

// The linetype name of a style index; "Continuous" for an index the table
// does not have.
const wchar_t* LineStyleName(uint32_t index);
