// Drawing files (stand-in internals): one description per kind of entity,
// which reading, writing and the list of what the writer writes share:
// the record's type, the database's class, the subclasses its record is
// written in with the codes each gives values of, and the kind's reader
// and writer. The families of kinds are in files of their own
// (dxf_kind_*.cpp; a family's codes in its own header where they are many,
// dxf_kind_hatch.h), each naming its codes once, for the description, the
// reader and the writer; dxf_kinds.cpp gathers them. The reader
// sees only the codes listed (View), and the writer records any other it
// writes (SchemaViolations).
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "dxf_schema.h"
#include "oddbentity.h"

namespace standin {
namespace dxf {

class Loader;
class DxfOut;
struct EntityRecord;

// A value the writer leaves out of its subclass as the default, spelled as
// it writes it where it must write it after all (before a kept value of
// its code, which would otherwise be read as the value); "" for a normal.
struct Default {
    int code;
    const char* spelled;
};

// What a value is to a move of the record kept whole (one the database
// could not make into its kind's entity): the move transforms the codes a
// kind's subclasses place and leaves every other value as read.
enum class Placed : uint8_t {
    kPoint,       // a world position (a point's x code stands for its y and z)
    kPlanePoint,  // a position in the plane of the subclass's normal; one
                  // of x and y only lies at the elevation
    kElevation,   // the height of that plane above the origin
    kVector,      // a displacement: turns and scales
    kDirection,   // a direction: turns
    kNormal,      // the normal of the plane
    kLength,      // scales
    kAngle,       // degrees in the plane from its x axis
};
struct PlacedCode {
    int code;
    Placed as;
};

// The table a name names (a layer, a linetype ...): such a value is compared
// as a name, without regard to case, and its record may be missing.
enum class NameOf : uint8_t { kNone, kLinetype, kTextStyle, kDimensionStyle, kLayer, kBlock };
struct NamedCode {
    int code;
    NameOf table;
};

// A subclass of a record: its marker, the codes the writer gives values of
// in it (a point's x code stands for its y and z) and those it writes only
// as defaults, when the file gave none.
struct Subclass {
    const char* marker;
    std::vector<int> codes;
    std::vector<int> soft;
    // Codes the reader also takes here, from files that give them here,
    // which the writer writes in another subclass.
    std::vector<int> readToo = {};
    // Codes the writer works out from the object's other values, which
    // the reader passes over.
    std::vector<int> derived = {};
    // Codes that mean nothing for the kind (a mesh's normal): neither the
    // reader nor the writer has a value of them, and a file's goes back
    // where it was.
    std::vector<int> passed = {};
    // The values left out as defaults.
    std::vector<Default> defaults = {};
    // What a file that leaves out a code the writer always writes means by
    // it (a text's alignments, a reference's scales).
    std::vector<Default> meant = {};
    // What a move makes of its values, when the record is kept whole.
    std::vector<PlacedCode> placed = {};
    // The codes whose values name a table's records.
    std::vector<NamedCode> names = {};
};

// A subclass described from its codes' names: a struct with the marker
// (kMarker) and the list of its codes (kAll), which the kind's reader and
// writer name one by one.
// Optional lists: kSoft, kReadToo, kDerived, kPassed, kDefaults, kMeant and
// kNames, as above (the codes of kDerived and kPassed are in kAll too), and the codes
// of each Placed: kPoints, kPlanePoints, kElevations, kVectors, kDirections,
// kNormals, kLengths and kAngles (a code a file may give the subclass that
// the kind has no value of, a spline's normal, is named there only).
// NAME<Codes>::list() is the struct's MEMBER, or empty when it has none.
#define DXF_OPTIONAL_LIST(NAME, MEMBER, T)                                                                  \
    template <class Codes, class = void>                                                                    \
    struct NAME {                                                                                           \
        static std::vector<T> list() { return {}; }                                                         \
    };                                                                                                      \
    template <class Codes>                                                                                  \
    struct NAME<Codes, std::void_t<decltype(Codes::MEMBER)>> {                                              \
        static std::vector<T> list() { return {std::begin(Codes::MEMBER), std::end(Codes::MEMBER)}; }       \
    };
DXF_OPTIONAL_LIST(SoftOf, kSoft, int)
DXF_OPTIONAL_LIST(ReadTooOf, kReadToo, int)
DXF_OPTIONAL_LIST(DerivedOf, kDerived, int)
DXF_OPTIONAL_LIST(PassedOf, kPassed, int)
DXF_OPTIONAL_LIST(DefaultsOf, kDefaults, Default)
DXF_OPTIONAL_LIST(MeantOf, kMeant, Default)
DXF_OPTIONAL_LIST(NamesOf, kNames, NamedCode)
DXF_OPTIONAL_LIST(PointsOf, kPoints, int)
DXF_OPTIONAL_LIST(PlanePointsOf, kPlanePoints, int)
DXF_OPTIONAL_LIST(ElevationsOf, kElevations, int)
DXF_OPTIONAL_LIST(VectorsOf, kVectors, int)
DXF_OPTIONAL_LIST(DirectionsOf, kDirections, int)
DXF_OPTIONAL_LIST(NormalsOf, kNormals, int)
DXF_OPTIONAL_LIST(LengthsOf, kLengths, int)
DXF_OPTIONAL_LIST(AnglesOf, kAngles, int)
#undef DXF_OPTIONAL_LIST
// The number a default is spelled as ("0.0", "1", "-2.5"); only in a
// constant expression, where anything else does not compile.
constexpr double SpelledNumber(const char* s)
{
    if (!s || !*s) throw "a default that is no number";
    const bool negative = *s == '-';
    if (negative) ++s;
    double whole = 0, fraction = 0, scale = 1;
    for (; *s >= '0' && *s <= '9'; ++s) whole = whole * 10 + (*s - '0');
    if (*s == '.')
        for (++s; *s >= '0' && *s <= '9'; ++s) {
            fraction = fraction * 10 + (*s - '0');
            scale *= 10;
        }
    if (*s) throw "a default that is no number";
    const double v = whole + fraction / scale;
    return negative ? -v : v;
}
template <class Codes, class = void>
struct HasDefaults : std::false_type {};
template <class Codes>
struct HasDefaults<Codes, std::void_t<decltype(Codes::kDefaults)>> : std::true_type {};
template <class Codes, class = void>
struct HasMeant : std::false_type {};
template <class Codes>
struct HasMeant<Codes, std::void_t<decltype(Codes::kMeant)>> : std::true_type {};
template <class Codes>
constexpr const char* OmittedSpelling(int code)
{
    if constexpr (HasDefaults<Codes>::value)
        for (const Default& d : Codes::kDefaults)
            if (d.code == code) return d.spelled;
    if constexpr (HasMeant<Codes>::value)
        for (const Default& d : Codes::kMeant)
            if (d.code == code) return d.spelled;
    (void)code;
    return nullptr;
}
// The value a subclass's kDefaults or kMeant gives its code: what the
// reader takes when the file leaves the code out, and what the writer
// leaves out. A code with neither does not compile.
template <class Codes, int code>
constexpr double kDefaultOf = SpelledNumber(OmittedSpelling<Codes>(code));
// The same of an integer's code.
constexpr int64_t SpelledInteger(const char* s)
{
    const double v = SpelledNumber(s);
    if (v != (double)(int64_t)v) throw "a default that is no integer";
    return (int64_t)v;
}
template <class Codes, int code>
constexpr int64_t kDefaultIntegerOf = SpelledInteger(OmittedSpelling<Codes>(code));

// Parts that repeat within the subclass (a hatch's loops and edges) may
// have structs of their own, with their own kAll and optional lists, after
// the first.
template <class Codes, class... Parts>
Subclass Describe()
{
    Subclass s{Codes::kMarker, {}, {}};
    auto add = [&s](auto part) {
        using P = typename decltype(part)::type;
        auto append = [](std::vector<int>& to, const std::vector<int>& from) {
            to.insert(to.end(), from.begin(), from.end());
        };
        append(s.codes, std::vector<int>(std::begin(P::kAll), std::end(P::kAll)));
        append(s.soft, SoftOf<P>::list());
        append(s.readToo, ReadTooOf<P>::list());
        append(s.derived, DerivedOf<P>::list());
        append(s.passed, PassedOf<P>::list());
        const std::vector<Default> defaults = DefaultsOf<P>::list();
        s.defaults.insert(s.defaults.end(), defaults.begin(), defaults.end());
        const std::vector<Default> meant = MeantOf<P>::list();
        s.meant.insert(s.meant.end(), meant.begin(), meant.end());
        const std::vector<NamedCode> names = NamesOf<P>::list();
        s.names.insert(s.names.end(), names.begin(), names.end());
        auto place = [&s](const std::vector<int>& codes, Placed as) {
            for (int code : codes) s.placed.push_back({code, as});
        };
        place(PointsOf<P>::list(), Placed::kPoint);
        place(PlanePointsOf<P>::list(), Placed::kPlanePoint);
        place(ElevationsOf<P>::list(), Placed::kElevation);
        place(VectorsOf<P>::list(), Placed::kVector);
        place(DirectionsOf<P>::list(), Placed::kDirection);
        place(NormalsOf<P>::list(), Placed::kNormal);
        place(LengthsOf<P>::list(), Placed::kLength);
        place(AnglesOf<P>::list(), Placed::kAngle);
    };
    add(std::common_type<Codes>{});
    (add(std::common_type<Parts>{}), ...);
    return s;
}

// What every entity's record holds in its own subclass, before its kind's:
// the same codes for every kind. The records of a sequence (vertices, its
// end) and a block's begin and end give only its layer and space.
struct EntityCodes {
    static constexpr const char* kMarker = "AcDbEntity";
    static constexpr int kPaperSpace = 67, kLayer = 8, kLinetype = 6, kColour = 62, kTrueColour = 420,
                         kLinetypeScale = 48, kTransparency = 440, kLineWeight = 370, kInvisible = 60;
    static constexpr int kAll[] = {kPaperSpace,    kLayer,         kLinetype,   kColour,   kTrueColour,
                                   kLinetypeScale, kTransparency, kLineWeight, kInvisible};
    static constexpr int kOfSubRecords[] = {kPaperSpace, kLayer};
    static constexpr Default kDefaults[] = {{kLinetypeScale, "1.0"}, {kInvisible, "0"}};
    static constexpr NamedCode kNames[] = {{kLayer, NameOf::kLayer}, {kLinetype, NameOf::kLinetype}};
};

// The codes of the entity's own subclass as readers by marker take them:
// those the database models, and the ones it keeps (a material, a plot
// style, the proxy graphics and their size).
inline bool IsEntityCode(int code)
{
    switch (code) {
    case 6: case 8: case 48: case 60: case 62: case 67: case 92: case 160: case 284: case 310: case 347: case 348:
    case 370: case 380: case 390: case 410: case 420: case 430: case 440:
        return true;
    default:
        return false;
    }
}

// A form of the records of a kind's sequence (a polyline's vertices): a
// record is of the first form whose `mask` of its flags is `value`, and
// is written in the form's subclasses after the entity's.
struct VertexForm {
    int mask, value;
    std::vector<const Subclass*> subclasses;
};

struct EntityKind {
    const char* type;
    OdRxClass* (*cls)();
    // After the entity's own ("AcDbEntity"), in the order written.
    std::vector<const Subclass*> subclasses;
    // Null for a kind read with the record before it (an attribute).
    OdDbEntity* (Loader::*read)(const EntityRecord&);
    void (DxfOut::*write)(const OdDbEntity*);
    // The forms of its sequence's records; none for a kind without them.
    std::vector<VertexForm> vertices = {};
    // Where kinds share a type (INSERT, POLYLINE, DIMENSION), a record is
    // of the one whose `mask` of its flags is `value`: exactly one of them
    // for any flags.
    struct Form {
        int mask = 0, value = 0;
    } form = {};
    // Where its values may be besides their subclass (dxf_schema.h).
    ValuePlaces places = {};
    // The subclasses a record of its sequence with those flags is written
    // in; none for a kind without such records.
    const std::vector<const Subclass*>& vertexSubclasses(int flags) const;
};

// The kinds of a family, each family in a file of its own
// (dxf_kind_*.cpp) with its codes, reader and writer.
// Listed once here: the list declares them, makes them friends of the
// loader and the writer (whose readers and writers they name) and gathers
// them (KindFamilies).
#define DXF_KIND_FAMILIES(X) \
    X(CurveKinds) X(TextKinds) X(ReferenceKinds) X(PolylineKinds) X(DimensionKinds) X(MlineKinds) \
    X(VertexPolylineKinds) X(HatchKinds)
#define DXF_DECLARE_KIND_FAMILY(F) std::vector<EntityKind> F();
DXF_KIND_FAMILIES(DXF_DECLARE_KIND_FAMILY)
#undef DXF_DECLARE_KIND_FAMILY
#define DXF_FRIEND_KIND_FAMILY(F) friend std::vector<EntityKind> F();
// The families above: every kind.
using KindFamily = std::vector<EntityKind> (*)();
const std::vector<KindFamily>& KindFamilies();

// Every kind; a type may be written from several classes (POLYLINE), and a
// class written as several types is listed under each.
const std::vector<EntityKind>& EntityKinds();
// The kind a record of the type is read as; null for none.
const EntityKind* KindOfType(std::string_view type);
// The kind a record of the type with those flags is of (the first in the
// table whose form they match); null for none.
const EntityKind* KindOfRecord(std::string_view type, int flags);
// Whether the marker is that of a subclass of one of the kinds of a type
// that has several (a POLYLINE's "AcDbPolyFaceMesh").
bool MarkerOfAKind(std::string_view type, std::string_view marker);
// For the tests: each type and flags that match no kind of the type, or
// more than one; empty when the forms of every type part its records.
std::vector<std::string> KindFormFaults();
// The subclasses a vertex with those flags is written in after the
// entity's, in a polyline written in that subclass (its first after the
// entity's); in one of any other, those of a 2-D polyline's.
const std::vector<const Subclass*>& VertexSubclasses(std::string_view polylineSubclass, int flags);
// The kind an entity is written as: that of its class, or of the nearest
// class above it that has one; null for none.
const EntityKind* KindOfEntity(const OdDbEntity* e);
// The value the writer leaves out of the subclass as the default, spelled
// as it writes it; null for codes it always writes or that repeat.
const char* DefaultWrittenAs(std::string_view subclass, int code);
// A point's default: "" is the normal (0, 0, 1), else "x,y,z".
bool DefaultPoint(const char* spelled, double xyz[3]);
// Whether `value`, as written of `code` (a point's x, y or z too), is what
// a file that leaves the code out of the subclass means (its default, or
// its kMeant).
bool IsDefaultValue(std::string_view subclass, int code, std::string_view value);
// Whether the subclass says what leaving the code out means (a point's x,
// y or z by its point's).
bool HasMeaning(std::string_view subclass, int code);
// How a value of the code in the subclass is compared with the file's, so
// that the file's spelling goes back only where the value is the same:
// as a number (an angle modulo a turn, a normal by the way it points), a
// whole number (a flag, a count), a handle, a text once its escapes are
// read, or a name of a table's record without regard to case. Names are
// what the descriptions list (kNames); the rest follows from the code.
enum class ValueForm : uint8_t { kNumber, kAngle, kNormal, kInteger, kHandle, kText, kName };
ValueForm FormOfValue(std::string_view subclass, int code);
// The table a value of the code names, where it is a name.
NameOf NameTableOf(std::string_view subclass, int code);
// Every subclass the kinds and the records of their sequences are
// written in, each once.
const std::vector<const Subclass*>& EntitySubclasses();

}  // namespace dxf
}  // namespace standin
