// Drawing files (stand-in internals): the rules by which a value a file
// spelled goes back as spelled, one set for the open, which notes what the
// object holds otherwise than the file (Loader::noteHeldOtherwise), and
// for the saves, which compare each record written with the file's
// (Respellings, and WrittenAsRead for a record written as read).
#pragma once

#include <string>
#include <string_view>

#include "dxf_internal.h"
#include "dxf_kinds.h"

namespace standin {
namespace dxf {

// A value the writer wrote of a code, as the rules compare it.
struct WrittenValue {
    enum Form : uint8_t { kNone, kNumber, kText, kHandle };
    Form form = kNone;
    double number = 0;
    std::wstring_view text;
    uint64_t handle = 0;
};

// The value a written value line holds, read as its code says; a text's
// characters go to `room`.
WrittenValue ValueOfLine(int code, std::string_view line, std::wstring& room);

// Whether the writer's value is the value the file's group means, compared
// as FormOfValue says: the same number however spelled, an angle a whole
// turn apart, the same handle, the same text once its escapes and caret
// codes are read, the same name in any letters. A value its code cannot
// hold means none; normals are compared whole (SameDirection).
bool SameValue(const Group& file, const TextCodec& codec, ValueForm form, const WrittenValue& written);

// Whether two normals point the same way (both finite and not zero).
bool SameDirection(const double a[3], const double b[3]);

// What a file's silence of a code of the subclass means, against a value
// written of it, by the descriptions (kDefaults, kMeant): that value,
// another, or nothing they say.
enum class Silence : uint8_t { kMeant, kOther, kUnsaid };
Silence DescribedSilence(std::string_view subclass, int code, std::string_view written);

// Whether what leaving a code out means is told by other values of the
// record rather than by a description, so that only the save, with the
// record's values at hand, can tell it (Comparison::silenceOf): an MTEXT's
// contents (1, 3: its pieces joined) and its direction or rotation (11,
// 21, 31, 50: either says the other), a point's z where its x and y are
// given (30 to 37: 0), a 2-D polyline vertex's widths (40, 41: its
// polyline's) and a gradient's colour numbers (HATCH 63: white beside true
// colours). The one list of them, for the open, the saves and WrittenAsRead.
bool SilenceToldByTheRecord(std::string_view type, bool vertexOf2dPolyline, int code, bool xAndYGiven);

// Whether the writer writes a code the file left out (its `occurrence`-th
// value line) as it wrote it when the file was read, where no description
// says what leaving it out means.
bool LeftOutAsAtTheOpen(const DxfFileRecords& file, const DxfFileRecords::Record& record, int code, int occurrence,
                        std::string_view written);

}  // namespace dxf
}  // namespace standin
