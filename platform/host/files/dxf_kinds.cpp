// Drawing files: the kinds of entity, each described once (dxf_kinds.h).
#include "dxf_kinds.h"
#include "dxf_record_codes.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

const std::vector<KindFamily>& KindFamilies()
{
#define DXF_KIND_FAMILY_ENTRY(F) F,
    static const std::vector<KindFamily> families = {DXF_KIND_FAMILIES(DXF_KIND_FAMILY_ENTRY)};
#undef DXF_KIND_FAMILY_ENTRY
    return families;
}

const std::vector<EntityKind>& EntityKinds()
{
    static const std::vector<EntityKind> kinds = [] {
        std::vector<EntityKind> all;
        for (KindFamily family : KindFamilies()) {
            std::vector<EntityKind> kinds = family();
            all.insert(all.end(), kinds.begin(), kinds.end());
        }
        return all;
    }();
    return kinds;
}

const std::vector<const Subclass*>& EntityKind::vertexSubclasses(int flags) const
{
    static const std::vector<const Subclass*> none;
    for (const VertexForm& form : vertices)
        if ((flags & form.mask) == form.value) return form.subclasses;
    return none;
}

const EntityKind* KindOfType(std::string_view type)
{
    static const std::unordered_map<std::string_view, const EntityKind*> byType = [] {
        std::unordered_map<std::string_view, const EntityKind*> m;
        for (const EntityKind& k : EntityKinds()) m.emplace(k.type, &k);
        return m;
    }();
    auto it = byType.find(type);
    return it == byType.end() ? nullptr : it->second;
}

namespace {

// The kinds of each type in the table's order.
const std::vector<const EntityKind*>* KindsOfType(std::string_view type)
{
    static const std::unordered_map<std::string_view, std::vector<const EntityKind*>> byType = [] {
        std::unordered_map<std::string_view, std::vector<const EntityKind*>> m;
        for (const EntityKind& k : EntityKinds()) m[k.type].push_back(&k);
        return m;
    }();
    auto it = byType.find(type);
    return it == byType.end() ? nullptr : &it->second;
}

}  // namespace

const EntityKind* KindOfRecord(std::string_view type, int flags)
{
    const std::vector<const EntityKind*>* kinds = KindsOfType(type);
    if (!kinds) return nullptr;
    for (const EntityKind* k : *kinds)
        if ((flags & k->form.mask) == k->form.value) return k;
    return nullptr;
}

bool MarkerOfAKind(std::string_view type, std::string_view marker)
{
    const std::vector<const EntityKind*>* kinds = KindsOfType(type);
    if (!kinds || kinds->size() < 2) return false;
    for (const EntityKind* k : *kinds)
        for (const Subclass* sub : k->subclasses)
            if (marker == sub->marker) return true;
    return false;
}

std::vector<std::string> KindFormFaults()
{
    std::map<std::string_view, std::vector<const EntityKind*>> byType;
    for (const EntityKind& k : EntityKinds()) byType[k.type].push_back(&k);
    std::vector<std::string> faults;
    for (const auto& [type, kinds] : byType) {
        // Bits no mask tests change nothing: every subset of the others.
        int bits = 0;
        for (const EntityKind* k : kinds) bits |= k->form.mask;
        for (int flags = bits;; flags = (flags - 1) & bits) {
            const auto n = std::count_if(kinds.begin(), kinds.end(), [flags](const EntityKind* k) {
                return (flags & k->form.mask) == k->form.value;
            });
            if (n != 1)
                faults.push_back(std::string(type) + " flags " + std::to_string(flags) + ": " + std::to_string(n) +
                                 " kinds");
            if (flags == 0) break;
        }
    }
    return faults;
}

const std::vector<const Subclass*>& VertexSubclasses(std::string_view polylineSubclass, int flags)
{
    static const std::unordered_map<std::string_view, const EntityKind*> bySubclass = [] {
        std::unordered_map<std::string_view, const EntityKind*> m;
        for (const EntityKind& k : EntityKinds())
            if (!k.vertices.empty() && !k.subclasses.empty()) m.emplace(k.subclasses.front()->marker, &k);
        return m;
    }();
    auto it = bySubclass.find(polylineSubclass);
    return (it != bySubclass.end() ? it->second : KindOfType("POLYLINE"))->vertexSubclasses(flags);
}

const EntityKind* KindOfEntity(const OdDbEntity* e)
{
    static const std::unordered_map<const OdRxClass*, const EntityKind*> byClass = [] {
        std::unordered_map<const OdRxClass*, const EntityKind*> m;
        for (const EntityKind& k : EntityKinds()) m.emplace(k.cls(), &k);
        return m;
    }();
    for (const OdRxClass* c = e->isA(); c; c = c->myParent())
        if (auto it = byClass.find(c); it != byClass.end()) return it->second;
    return nullptr;
}

const char* DefaultWrittenAs(std::string_view subclass, int code)
{
    static const std::map<std::pair<std::string_view, int>, const char*> defaults = [] {
        std::map<std::pair<std::string_view, int>, const char*> m;
        for (const Default& d : EntityCodes::kDefaults) m.emplace(std::make_pair(EntityCodes::kMarker, d.code), d.spelled);
        for (const Subclass* sub : EntitySubclasses())
            for (const Default& d : sub->defaults) m.emplace(std::make_pair(sub->marker, d.code), d.spelled);
        return m;
    }();
    auto it = defaults.find({subclass, code});
    return it == defaults.end() ? nullptr : it->second;
}

bool DefaultPoint(const char* spelled, double xyz[3])
{
    if (!spelled) return false;
    if (!*spelled) {
        xyz[0] = xyz[1] = 0;
        xyz[2] = 1;
        return true;
    }
    const char* at = spelled;
    const char* end = spelled + std::strlen(spelled);
    for (int i = 0; i < 3; ++i) {
        auto r = std::from_chars(at, end, xyz[i]);
        if (r.ec != std::errc()) return false;
        at = r.ptr;
        if (i < 2) {
            if (at == end || *at != ',') return false;
            ++at;
        }
    }
    return at == end;
}

namespace {
// What the entities' subclasses, the table records' and the objects' list
// in `of`, by marker and code.
template <class Item>
std::map<std::pair<std::string_view, int>, const Item*> ListedBySubclass(std::vector<Item> Subclass::*of)
{
    std::map<std::pair<std::string_view, int>, const Item*> m;
    for (const Subclass* sub : EntitySubclasses())
        for (const Item& item : sub->*of) m.emplace(std::make_pair(sub->marker, item.code), &item);
    for (const auto& [type, sub] : RecordSubclasses())
        for (const Item& item : sub->*of) m.emplace(std::make_pair(sub->marker, item.code), &item);
    return m;
}

const char* MeantBy(std::string_view subclass, int code)
{
    static const auto meant = ListedBySubclass(&Subclass::meant);
    auto it = meant.find({subclass, code});
    if (it != meant.end()) return it->second->spelled;
    return DefaultWrittenAs(subclass, code);
}
}  // namespace

namespace {
// The x code of the point the code is the part-th coordinate of; 0 for
// none. A file's points have their z in 30 to 37: 38 and 39 are values of
// their own (an elevation, a thickness), though 18 and 28 are a point's.
int PointOfCode(int code, int& part)
{
    for (part = 0; part < 3; ++part) {
        const int x = code - 10 * part;
        if (IsPointCode(x)) return part == 2 && x == 18 ? 0 : x;
    }
    return 0;
}
}  // namespace

namespace {
// What leaving each code out means in a subclass: whether it means a value,
// and which (NaN where it means none, or none a number spells).
struct Meanings {
    std::bitset<1072> meaning;
    std::vector<double> value;
};

const Meanings& MeaningsOf(std::string_view subclass)
{
    // Asked for most records of a file opened or saved: each subclass's
    // codes are told once (a few dozen subclasses; a file's own markers
    // never reach here, but the room is bounded all the same).
    thread_local std::unordered_map<std::string, Meanings> told;
    thread_local std::string key;
    key.assign(subclass.data(), subclass.size());
    auto it = told.find(key);
    if (it != told.end()) return it->second;
    if (told.size() >= 512) told.clear();
    Meanings m;
    m.value.assign(1072, std::nan(""));
    for (int c = 0; c < 1072; ++c) {
        int part = 0;
        double xyz[3];
        const int x = PointOfCode(c, part);
        const char* d = MeantBy(subclass, x ? x : c);
        if (x) {
            m.meaning[(size_t)c] = DefaultPoint(d, xyz);
            if (m.meaning[(size_t)c]) m.value[(size_t)c] = xyz[part];
        } else if (d && *d) {
            m.meaning[(size_t)c] = true;
            double want = 0;
            auto w = std::from_chars(d, d + std::strlen(d), want);
            if (w.ec == std::errc()) m.value[(size_t)c] = want;
        }
    }
    return told.emplace(key, std::move(m)).first->second;
}
}  // namespace

bool HasMeaning(std::string_view subclass, int code)
{
    if (code < 0 || code >= 1072) return false;
    return MeaningsOf(subclass).meaning.test((size_t)code);
}

bool IsDefaultValue(std::string_view subclass, int code, std::string_view value)
{
    double v = 0;
    auto r = std::from_chars(value.data(), value.data() + value.size(), v);
    if (r.ec != std::errc() || r.ptr != value.data() + value.size()) return false;
    if (code < 0 || code >= 1072) return false;
    return MeaningsOf(subclass).value[(size_t)code] == v;
}

NameOf NameTableOf(std::string_view subclass, int code)
{
    static const auto names = [] {
        auto m = ListedBySubclass(&Subclass::names);
        for (const NamedCode& n : EntityCodes::kNames) m.emplace(std::make_pair(EntityCodes::kMarker, n.code), &n);
        return m;
    }();
    auto it = names.find({subclass, code});
    return it == names.end() ? NameOf::kNone : it->second->table;
}

ValueForm FormOfValue(std::string_view subclass, int code)
{
    if (NameTableOf(subclass, code) != NameOf::kNone) return ValueForm::kName;
    Kind kind = Kind::kText;
    if (!KindOfCode(code, kind)) return ValueForm::kText;
    switch (kind) {
    case Kind::kText: return ValueForm::kText;
    case Kind::kInt: return ValueForm::kInteger;
    case Kind::kHandle: return ValueForm::kHandle;
    case Kind::kReal: break;
    }
    // The format's angles are in degrees, its extrusions directions.
    if (code >= 50 && code <= 58) return ValueForm::kAngle;
    if (code == 210 || code == 220 || code == 230) return ValueForm::kNormal;
    return ValueForm::kNumber;
}

const std::vector<const Subclass*>& EntitySubclasses()
{
    static const std::vector<const Subclass*> all = [] {
        std::vector<const Subclass*> v;
        auto add = [&v](const Subclass* s) {
            if (std::find(v.begin(), v.end(), s) == v.end()) v.push_back(s);
        };
        for (const EntityKind& k : EntityKinds()) {
            for (const Subclass* s : k.subclasses) add(s);
            for (const VertexForm& form : k.vertices)
                for (const Subclass* s : form.subclasses) add(s);
        }
        return v;
    }();
    return all;
}

}  // namespace dxf
}  // namespace standin
