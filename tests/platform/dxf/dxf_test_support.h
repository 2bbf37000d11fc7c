// Drawing-file tests: a drawing with every kind of object the database
// keeps, and a summary of a database in the form that data/dxf_summary.py
// gives of what ezdxf reads from a file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "oddbdatabase.h"
#include "oddbentity.h"

namespace dxftest {

// Fills a database that has the default drawing: layers with colours,
// linetypes and states, a linetype with dashes, a text style, the
// application "VelkArx", a block with attribute definitions and a
// reference to it with attributes, every entity kind in model space, a
// hatch of each loop form and a gradient one, a raster image with its
// definition, a draw order, and links written by the module on a text, an
// image, a line and a layer.
void BuildSampleDrawing(OdDbDatabase* db);

// Appends a new entity to a block (model space when none is named) and
// closes it.
OdDbObjectId Append(OdDbDatabase* db, OdDbEntity* e, OdDbObjectId block = OdDbObjectId());
// Appends what the sample drawing lacks of every kind: each with the values
// a kind writes only when they are not the default (thickness, tilted
// planes, rotations), references plain and in rows and columns with
// attributes, a dimension of each kind, long texts in pieces with fills,
// and each form of the polylines of vertex records.
void AppendEveryKindsValues(OdDbDatabase* db);

// Sorted summary lines (see data/dxf_summary.py).
std::vector<std::string> Summary(OdDbDatabase* db);

// Every property the host's interface gives of each live object, one line
// per object keyed by its handle, for comparing two databases in full.
std::vector<std::string> Describe(OdDbDatabase* db);

// Runs data/dxf_summary.py on a native file with Debian's Python; false
// (with the reason) when ezdxf cannot be imported or the script fails.
bool EzdxfSummary(const std::string& nativePath, std::vector<std::string>& lines, std::string& why);
// Whether Debian's Python imports ezdxf; `why` says it when not.
bool EzdxfAvailable(std::string& why);
// Runs data/dxf_compare.py on pairs of native files (a file, the stand-in's
// save of it), the first of each read in `encoding` (a Python codec's
// name; empty: the one ezdxf finds); true when ezdxf finds nothing of any
// first file lost in its save. `report` gets what the script printed.
bool EzdxfCompare(const std::vector<std::pair<std::string, std::string>>& pairs, const std::string& encoding,
                  std::string& report);

// The lines only one of the two lists has, marked "-" (first) and "+"
// (second); empty when they hold the same lines.
std::string LineDiff(const std::vector<std::string>& a, const std::vector<std::string>& b);

// Where two files differ: the number of the first line that differs and the
// lines around it in each, side by side.
std::string FirstDifferingLine(const std::string& a, const std::string& b);

// Groups of a file as (code, value), and their text, a line each.
using Groups = std::vector<std::pair<int, std::string>>;
// A file's groups as "code value" lines, values trimmed; and the groups of
// the record that starts with "0 type" and "5 handle" among them.
// A file's lines, without their line ends (LF or CR LF).
std::vector<std::string> FileLines(const std::string& bytes);
std::vector<std::string> GroupLines(const std::string& bytes);
std::vector<std::string> Record(const std::vector<std::string>& groups, const std::string& type, const std::string& handle);
std::string GroupText(const Groups& groups);
// A file: a header section of `header`, then each section named with its
// groups, then EOF.
std::string SectionsFile(const Groups& header, const std::vector<std::pair<const char*, Groups>>& sections);

// The stand-in's bytes of the database, and a new database read from them.
std::string Save(OdDbDatabase* db);
OdDbDatabase* Reopen(const std::string& bytes);

}  // namespace dxftest
