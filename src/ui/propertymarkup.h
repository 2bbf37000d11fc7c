// The entity property mark-up: a linked object's remark written as a small
// key/value list that the property dialog shows as rows.
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

// A remark as the list holds it: its rows and its tag line (with its CR LF).
struct EntityPropertyMarkup {
    std::vector<MarkupRow> rows;
    CString tagLine;
};

// One row line (without its CR LF): true with the key and the value, false
// for a line that is not a row.
bool ParseMarkupLine(const CString& line, CString& key, CString& value);

// The rows of a remark and its tag line; a non-empty keptTagLine is taken
// instead of the remark's, so that a dialog keeps the tag line of its first
// parse. The rows end at the closing "}" or at the first line that is not a
// row; later lines are not in the rows.
EntityPropertyMarkup ParseMarkup(const CString& remark, const CString& keptTagLine = CString());

// The remark written back from rows in the canonical form: no space around
// the colon, values quoted unless bare true or false, the tag line in front
// of the first row; without rows only the closing "}" and the tail.
CString BuildMarkup(const EntityPropertyMarkup& markup);

// The remark is written in the mark-up: "brisan_ct name" appears after its
// first character.
bool HasPropertyMarkup(const CString& remark);

// Parsing (with keptTagLine as above) and rebuilding gives back exactly the
// remark: editing it as rows loses nothing.
bool MarkupRoundTrips(const CString& remark, const CString& keptTagLine = CString());
