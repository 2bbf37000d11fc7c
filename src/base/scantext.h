// A scanf-like matcher in which white space is flexible.
#pragma once

#include <cstdint>

// The format's literal pieces are found in the text in turn (a run of
// blanks, tabs, CR or LF in a literal matches any such run; the first piece
// must match at the start). The text between two pieces, at most 1000
// characters, is the value of the conversion between them:
//   %s  the text (char*, room for 1001 bytes),
//   %d  optional "-" and digits (int*),
//   %u  digits (unsigned*),
//   %f  optional "-", digits and at most one "." (float*),
//   %I  a dotted IPv4 address, parts 0-255 (uint32_t*, first part on top).
// For d, u and f only the characters before the first white space are
// tested. A null destination is skipped. 1 when every piece matched, else 0.
int32_t ScanText(const char* text, const char* format, ...);
