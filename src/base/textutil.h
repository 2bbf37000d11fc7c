// C-style text toolkit on NUL-terminated 8-bit strings: character sets,
// comparisons and searches, and bounded edits. Case-insensitive operations
// fold only A-Z and a-z. Where a result is "0 or -1", 0 means a match.
#pragma once

#include <cstdint>

// A set is a NUL-terminated list of characters.
void AsciiToLower(char* text);
void AsciiToUpper(char* text);
// The first character not in the set (the terminator when all are); null
// for a null text.
const char* SkipCharsOf(const char* text, const char* set);
int32_t HasAnyCharOf(const char* text, const char* set);
const char* FindAnyCharOf(const char* text, const char* set);
// Looks at no more than `limit` characters when the limit is 0 or more.
int32_t CountCharsOf(const char* text, const char* set, int32_t limit);
// 1 when every character is in the set, also for the empty text.
int32_t OnlyCharsOf(const char* text, const char* set);
void ReplaceCharsOf(char* text, const char* set, char with);
char* RemoveCharsOf(char* text, const char* set);
// Removes leading and trailing blanks, tabs, CR and LF.
void TrimText(char* text);
// 0 for the empty text, else 1 plus the number of LF.
int32_t CountLines(const char* text);
void AppendCrLf(char* text);

int32_t StartsWithNoCase(const char* text, const char* prefix);
int32_t EndsWithText(const char* text, const char* suffix);
// 0 on a match; -1 for a null or longer suffix.
int32_t EndsWithNoCase(const char* text, const char* suffix);
int32_t CompareNoCase(const char* a, const char* b);
// Null sorts first; the same pointer is equal.
int32_t CompareNoCaseN(const char* a, const char* b, int32_t n);
const char* FindTextNoCase(const char* text, const char* needle);
const char* FindTextNoCaseB(const char* text, const char* needle);
const char* FindLastText(const char* text, const char* needle);
// "?" takes one character, "*" the first case-insensitive occurrence of
// the pattern piece behind it (up to the next "?" or "*"), without
// backtracking; a "*" with an empty piece behind it matches the rest.
int32_t WildcardMatchNoCase(const char* text, const char* pattern);
// True when two printf formats hold the same conversions in the same order.
bool SameFormatSpecs(const char* a, const char* b);

// Zero-fills the target over `size` bytes and copies at most size - 1
// characters.
void SafeTextCopy(char* target, const char* source, int32_t size);
// Appends at most size - length - 1 characters, zero-filling the rest.
void SafeTextAppend(char* target, const char* source, int32_t size);
// A zeroed copy with at least 10 spare bytes (free it with MemFree).
char* DupTextPadded(const char* text, int32_t extra);
// left and right must each hold the whole text.
void SplitAtText(const char* text, char* left, char* right, const char* separator);
// Copies at most `size` characters before the first CR LF into out (which
// holds size + 1 bytes); the position behind the CR LF, or null.
const char* ReadCrLfLine(const char* text, char* out, int32_t size);
// Replaces occurrences left to right, at most maxCount when that is not 0.
// A replacement that makes the text longer is made only while the text and
// its terminator stay within `capacity` bytes (none for capacity 0).
void ReplaceAllText(char* text, const char* from, const char* to, int32_t maxCount, int32_t capacity);
// Removes every stretch from `open` to the next `close`, both included.
void RemoveSpans(char* text, const char* open, const char* close);
// Replaces the rest of the line at `position` (up to CR LF, LF or the end)
// by `value`; the buffer must hold the longer text.
void ReplaceLineValue(char* position, const char* value);
