// Names between the module's wide text and the UTF-8 fields of peer records.
#pragma once

#include <cstddef>

#include "afxstr.h"

// The UTF-8 text of a field of `fieldSize` bytes, up to its first NUL (or
// the field's end when there is none); malformed bytes end the text.
CString Utf8FieldToCString(const char* field, size_t fieldSize);
// The text as UTF-8 into a field of `fieldSize` bytes: cut on a character
// boundary to at most fieldSize - 1 bytes, NUL-terminated, zero-filled.
void CStringToUtf8Field(const CString& text, char* field, size_t fieldSize);
