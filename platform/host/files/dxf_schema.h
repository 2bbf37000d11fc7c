// Drawing files (stand-in internals): which groups of a record the database
// models. The writer writes a record's values in subclasses, each opened by
// its marker (group 100); within a subclass it writes only the codes named
// here. The reader keeps every other group of a record as it was read
// (dxf_kept.h), so the two agree by construction: what the writer does not
// write is kept, and what it writes is never also kept. Some of the
// writer's groups are only defaults (soft): it writes them when the file
// gave no value of its own, which then stays kept.
#pragma once

#include <bitset>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace standin {
namespace dxf {

using CodeSet = std::bitset<1072>;

// Whether the code is the x of a point, whose y and z are 10 and 20 past it.
inline bool IsPointCode(int c)
{
    return (c >= 10 && c <= 18) || (c >= 110 && c <= 112) || c == 210 || (c >= 1010 && c <= 1013);
}

// The codes of a list, a point's x code standing for its y and z too.
CodeSet CodeSetOf(const std::vector<int>& codes);

// The codes the writer gives values of in a subclass of a record of that
// type ("" before the first marker). A subclass it does not know owns
// nothing.
const CodeSet& OwnedCodes(std::string_view recordType, std::string_view subclass);
// Whether the writer writes the code in that subclass only as a default.
bool IsSoftCode(std::string_view recordType, std::string_view subclass, int code);

// Where a file may give a record's values outside the subclass the writer
// writes them in, and still mean them, as readers of the format take them.
// The oldest kinds' codes are their own whichever marker they follow (no
// two of their subclasses share one): a value is read by its code anywhere
// in the record. The others' are read in their subclass; only the entity's
// own values (a layer, a colour) are taken also before the entity's marker
// and in the first `entityAfter` subclasses after it, where some writers
// put them.
struct ValuePlaces {
    bool byCode = false;
    int entityAfter = 1;
};
constexpr ValuePlaces kByCode{true, 0};
// Those of a record of the type; a type of no kind the database models
// has the others'.
ValuePlaces ValuePlacesOf(std::string_view recordType);

// The codes of each subclass the reader took and the writer wrote,
// by "TYPE/Subclass", while gNoteCodeUse is set (for the tests); and the
// codes the reader asked for that the subclasses it read do not list.
struct CodeUse {
    std::map<std::string, CodeSet, std::less<>> read, written;
    std::vector<std::string> askedOutside;
};
inline bool gNoteCodeUse = false;
CodeUse& NotedCodeUse();
// What of the noted use disagrees with the kinds' lists (dxf_kinds.h): a
// code listed and never read or never written, one read or written and
// not listed, one asked for outside the lists. The same of the other
// records' lists (dxf_record_codes.h).
std::vector<std::string> KindCodeMismatches();
std::vector<std::string> RecordCodeMismatches();

// The writer's breaches of the table above, recorded for the tests: a
// group written in a subclass that does not own its code.
std::vector<std::string>& SchemaViolations();

}  // namespace dxf
}  // namespace standin
