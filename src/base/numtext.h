// Number text, the library's UTF-8 validity rule, and conversions between
// the ANSI code page, UTF-16 and UTF-8.
//
// Validity rule: a character is a byte below 0x80, a lead 0xC0-0xDF with one
// continuation byte, or a lead 0xE0-0xEF with two; nothing else (no
// character beyond U+FFFF, no stray continuation, no cut sequence).
// Wide texts hold UTF-16 units; a wchar_t above U+FFFF counts as the two
// units of its surrogate pair.
#pragma once

#include <cstdint>

// Hexadecimal after "0x" (at most 16 digits), else decimal (at most 23
// characters, wrapping modulo 2^64); stops at the first other character.
uint64_t ParseUInt64(const char* text);
// Radix 2 to 36 (lower-case digits); only radix 10 writes a sign. Null, with
// the buffer untouched, for any other radix. The buffer holds up to 65 bytes.
char* Int64ToText(int64_t value, char* buffer, int32_t radix);
// Cuts the text at its first invalid sequence; the kept length.
int32_t Utf8CutInvalid(char* text);

// At most 10 decimal digits, modulo 2^32.
uint32_t ParseUInt32(const char* text);
int64_t ParseInt64(const char* text);
int64_t Abs64(int64_t value);
// As Int64ToText on 32 bits (up to 33 bytes).
char* Int32ToText(int32_t value, char* buffer, int32_t radix);
uint32_t ByteSwap32(uint32_t value);
uint64_t ByteSwap64(uint64_t value);
// Truncates, but snaps a value within 1e-6 of the next integer away from
// zero to it (2.9999999 gives 3); out-of-range values clamp, NaN gives 0.
int32_t SnapDoubleToInt(double value);
int32_t DoubleToInt(double value);

// ANSI text to a new wide string (delete[] it).
wchar_t* AnsiToWideNew(const char* ansi);
// The output needs 3 bytes per character and one; the bytes written.
int32_t AnsiToUtf8(char* output, const char* ansi);
// Bytes written with the terminator, 0 on failure.
int32_t WideToAnsi(const wchar_t* text, char* output, int32_t capacity);
// Bytes written (the output is always terminated).
int32_t Utf8ToAnsi(const char* text, char* output, int32_t capacity);
// Decodes valid 1- to 3-byte sequences; stops at the first other byte
// (4- to 6-byte sequences are skipped). A null output is allocated with
// malloc (strlen + 1 units). The unit count goes to `count` when given.
wchar_t* Utf8DecodeToWide(const char* text, wchar_t* output, int32_t* count);
// Each UTF-16 unit as 1 to 3 bytes; stops while the terminator still fits.
int32_t WideEncodeToUtf8(const wchar_t* text, char* output, int32_t capacity);
// A new UTF-8 text (free it with free); `swap` exchanges the two bytes of
// every unit first (big-endian input).
char* WideToUtf8Alloc(const wchar_t* text, uint8_t swap);
// Width in a double-byte code page: 1 per ASCII byte, 2 per other character;
// stops at the first invalid sequence.
int32_t Utf8CountWidth(const char* text);
int32_t WideCountWidth(const wchar_t* text);
int32_t WideCountUnits(const wchar_t* text);
// Behind the first n characters (or at the terminator); null for an invalid
// sequence among them.
const char* Utf8SkipChars(const char* text, int32_t n);
// At the n-th character counted back from the end (or at the start); null
// when the bytes before the end are not valid characters.
const char* Utf8BackChars(const char* text, int32_t n);
bool Utf8IsValid(const char* text);
// Turns every byte that does not begin a valid character into a blank.
int32_t Utf8BlankInvalid(char* text);
