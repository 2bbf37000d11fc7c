// UTF-16 at the module's edges. Inside the module text is wchar_t with one
// code point per unit; wherever UTF-16 crosses a wire, a file or a fixed
// record it goes through these conversions, never a copy of wchar_t memory.
#pragma once

#include <cstddef>
#include <string>

// Wide text to UTF-16 units (characters beyond U+FFFF become surrogate pairs;
// values that are no character become U+FFFD).
std::u16string Utf16FromWide(const wchar_t* s, size_t n);
inline std::u16string Utf16FromWide(const std::wstring& s) { return Utf16FromWide(s.data(), s.size()); }

// UTF-16 units to wide text; unpaired surrogates become U+FFFD.
std::wstring WideFromUtf16(const char16_t* s, size_t n);

// Writes at most `maxUnits` UTF-16 units of `s` little-endian into `dst`
// and zero-fills the rest of the field (maxUnits units); a surrogate pair is
// never cut. Returns the units written.
size_t PutUtf16Field(unsigned char* dst, size_t maxUnits, const wchar_t* s);
// Reads a little-endian UTF-16 field of `maxUnits` units up to its first NUL.
std::wstring GetUtf16Field(const unsigned char* src, size_t maxUnits);
