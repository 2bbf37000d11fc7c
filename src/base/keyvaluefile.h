// Tags in text and key=value text files named by UTF-8 paths. Files are
// read and written whole.
#pragma once

#include <cstdint>

// Copies the text between "<tag>" and the next "</tag>" into out (at most
// size - 1 characters); false when either is missing or the tag name is
// longer than 96 characters.
bool ExtractTag(const char* text, const char* tag, char* out, int32_t size);
// The first "key =" that starts a line (blanks and tabs may come before the
// key and before "="): the position behind "=", or null.
const char* FindKeyValue(const char* text, const char* key);
// 0 when the key is missing.
int64_t KvReadInt64(const char* text, const char* key);
// The text between the first two double quotes behind "=" on the key's
// line, which must end with a line feed; out is zeroed over size bytes. The
// length, or 0 when missing or not shorter than size.
int32_t KvReadQuoted(const char* text, const char* key, char* out, int32_t size);
// The default when the file, the key or a non-zero value is missing (a
// stored 0 reads as the default).
int64_t KvFileReadInt64(const char* path, const char* key, int64_t defaultValue);
// A shared buffer that each call overwrites, holding the quoted value or the
// default (cut to fit).
const char* KvFileReadText(const char* path, const char* key, const char* defaultText);
// Replaces the key's value up to its line end, or appends "key=value" and
// CR LF; a missing file counts as empty.
void KvFileWriteInt64(const char* path, const char* key, int64_t value);
// The same with the value in double quotes.
void KvFileWriteText(const char* path, const char* key, const char* text);
