// The entity property mark-up (EntityPropertyMarkup): a linked object's
// remark written as a small key/value list that the property dialog shows
// as rows.
//
//   header text (optional, any lines)
//   <?brisan_ct name=...CR LF            the tag line, kept verbatim
//   "key":"value",CR LF                  one row per property; the value is
//   "flag":true CR LF                    quoted, or a bare word
//   }tail text (optional)
//
// Rows hold the header and the tail as their first and last row, under the
// keys below, with each CR LF shown as three spaces; bare true and false are
// shown as "bool_true" and "bool_false". The functions work on wide text
// throughout: no code-page conversion, no length limit.
#pragma once

#include <vector>

#include "afxstr.h"

extern const wchar_t kMarkupHeaderKey[];  // "头部信息"
extern const wchar_t kMarkupTailKey[];    // "尾部信息"

struct MarkupRow {
    CString key;
    CString value;
};

// One row line (without its CR LF): true with the key and the value, false
// for a line that is not a row.
bool ParseMarkupLine(const CString& line, CString& key, CString& value);

// The rows of a remark. tagLine is filled (with its CR LF) only when it is
// empty, so that a dialog keeps the tag line of its first parse. The rows end
// at the closing "}" or at the first line that is not a row; later lines are
// not in the rows.
std::vector<MarkupRow> ParseMarkup(const CString& remark, CString& tagLine);

// The remark written back from rows in the canonical form: no space around
// the colon, values quoted unless bare true or false, the tag line in front
// of the first row (or of the closing "}" when there are no rows).
CString BuildMarkup(const std::vector<MarkupRow>& rows, const CString& tagLine);

// The remark is written in the mark-up: "brisan_ct name" appears after its
// first character.
bool HasPropertyMarkup(const CString& remark);

// Parsing and rebuilding gives back exactly the remark: editing it as rows
// loses nothing.
bool MarkupRoundTrips(const CString& remark);
