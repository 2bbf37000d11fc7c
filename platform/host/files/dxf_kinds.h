// Drawing files (stand-in internals): one description per kind of entity,
// which reading, writing and the list of what the writer writes share:
// the record's type, the database's class, the subclasses its record is
// written in with the codes each gives values of, and the kind's reader
// and writer. The families of kinds are in files of their own
// (dxf_kind_*.cpp), each naming its codes once, for the description, the
// reader and the writer; the other kinds are in dxf_kinds.cpp. The reader
// sees only the codes listed (View), and the writer records any other it
// writes (SchemaViolations).
#pragma once

#include <iterator>
#include <string_view>
#include <type_traits>
#include <vector>

#include "oddbentity.h"

namespace standin {
namespace dxf {

class Loader;
class DxfOut;
struct EntityRecord;

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
};

// A subclass described from its codes' names: a struct with the marker
// (kMarker) and the list of its codes (kAll), which the kind's reader and
// writer name one by one.
// Optional lists: kSoft, kReadToo and kDerived, as above.
template <class Codes, class = void>
struct SoftOf {
    static std::vector<int> list() { return {}; }
};
template <class Codes>
struct SoftOf<Codes, std::void_t<decltype(Codes::kSoft)>> {
    static std::vector<int> list() { return {std::begin(Codes::kSoft), std::end(Codes::kSoft)}; }
};
template <class Codes, class = void>
struct ReadTooOf {
    static std::vector<int> list() { return {}; }
};
template <class Codes>
struct ReadTooOf<Codes, std::void_t<decltype(Codes::kReadToo)>> {
    static std::vector<int> list() { return {std::begin(Codes::kReadToo), std::end(Codes::kReadToo)}; }
};
template <class Codes, class = void>
struct DerivedOf {
    static std::vector<int> list() { return {}; }
};
template <class Codes>
struct DerivedOf<Codes, std::void_t<decltype(Codes::kDerived)>> {
    static std::vector<int> list() { return {std::begin(Codes::kDerived), std::end(Codes::kDerived)}; }
};
template <class Codes>
Subclass Describe()
{
    return Subclass{Codes::kMarker, std::vector<int>(std::begin(Codes::kAll), std::end(Codes::kAll)),
                    SoftOf<Codes>::list(), ReadTooOf<Codes>::list(), DerivedOf<Codes>::list()};
}

struct EntityKind {
    const char* type;
    OdRxClass* (*cls)();
    // After the entity's own ("AcDbEntity"), in the order written.
    std::vector<const Subclass*> subclasses;
    // Null for a kind read with the record before it (an attribute).
    OdDbEntity* (Loader::*read)(const EntityRecord&);
    void (DxfOut::*write)(const OdDbEntity*);
};

// The kinds of a family, each family in a file of its own
// (dxf_kind_*.cpp) with its codes, reader and writer.
std::vector<EntityKind> CurveKinds();
std::vector<EntityKind> TextKinds();
std::vector<EntityKind> ReferenceKinds();
std::vector<EntityKind> PolylineKinds();
std::vector<EntityKind> DimensionKinds();
std::vector<EntityKind> MlineKinds();
// The families above, whose readers and writers name their codes (the
// other kinds' are still spelled in dxf_read_entities.cpp and
// dxf_write_entities.cpp).
using KindFamily = std::vector<EntityKind> (*)();
const std::vector<KindFamily>& KindFamilies();

// Every kind; a type may be written from several classes (POLYLINE), and a
// class written as several types is listed under each.
const std::vector<EntityKind>& EntityKinds();
// The kind a record of the type is read as; null for none.
const EntityKind* KindOfType(std::string_view type);
// The kind an entity is written as: that of its class, or of the nearest
// class above it that has one; null for none.
const EntityKind* KindOfEntity(const OdDbEntity* e);
// Every subclass the kinds are written in, each once.
const std::vector<const Subclass*>& EntitySubclasses();

}  // namespace dxf
}  // namespace standin
