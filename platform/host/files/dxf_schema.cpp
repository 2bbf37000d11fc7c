// Drawing files: the groups the writer gives values of, per subclass.
#include "dxf_schema.h"

#include "dxf_control.h"
#include "dxf_kinds.h"
#include "dxf_record_codes.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace standin {
namespace dxf {

const std::vector<std::pair<std::string_view, const Subclass*>>& RecordSubclasses()
{
    static const Subclass kTable = Describe<TableCodes>(), kRecord = Describe<TableRecordCodes>(),
                          kLayer = Describe<LayerCodes>(), kLinetype = Describe<LinetypeCodes, LinetypeDashCodes>(),
                          kTextStyle = Describe<TextStyleCodes>(), kViewport = Describe<ViewportCodes>(),
                          kView = Describe<ViewCodes>(), kUcs = Describe<UcsCodes>(), kRegApp = Describe<RegAppCodes>(),
                          kDimStyle = Describe<DimStyleCodes>(), kBlockRecord = Describe<BlockRecordCodes>(),
                          kBlockBegin = Describe<BlockBeginCodes>(), kBlockEnd = Describe<BlockEndCodes>(),
                          kDictionary = Describe<DictionaryCodes>(), kImageDef = Describe<ImageDefCodes>(),
                          kDictionaryWithDefault = Describe<DictionaryWithDefaultCodes>(),
                          kSortents = Describe<SortentsCodes>();
    static const std::vector<std::pair<std::string_view, const Subclass*>> kList = {
        {"TABLE", &kTable},
        {"LAYER", &kRecord},          {"LAYER", &kLayer},
        {"LTYPE", &kRecord},          {"LTYPE", &kLinetype},
        {"STYLE", &kRecord},          {"STYLE", &kTextStyle},
        {"VPORT", &kRecord},          {"VPORT", &kViewport},
        {"VIEW", &kRecord},           {"VIEW", &kView},
        {"UCS", &kRecord},            {"UCS", &kUcs},
        {"APPID", &kRecord},          {"APPID", &kRegApp},
        {"DIMSTYLE", &kRecord},       {"DIMSTYLE", &kDimStyle},
        {"BLOCK_RECORD", &kRecord},   {"BLOCK_RECORD", &kBlockRecord},
        {"BLOCK", &kBlockBegin},      {"ENDBLK", &kBlockEnd},
        {"DICTIONARY", &kDictionary}, {"ACDBDICTIONARYWDFLT", &kDictionary},
        {"ACDBDICTIONARYWDFLT", &kDictionaryWithDefault},
        {"IMAGEDEF", &kImageDef},     {"SORTENTSTABLE", &kSortents},
    };
    return kList;
}

namespace {

// Codes; a point's x code stands for its y and z codes too.
template <class List>
CodeSet CodesOf(const List& codes)
{
    CodeSet s;
    for (int c : codes) {
        s.set((size_t)c);
        if (IsPointCode(c)) {
            s.set((size_t)c + 10);
            s.set((size_t)c + 20);
        }
    }
    return s;
}
CodeSet Codes(std::initializer_list<int> codes) { return CodesOf(codes); }
CodeSet Codes(const std::vector<int>& codes) { return CodesOf(codes); }

struct Schema {
    std::map<std::string, CodeSet, std::less<>> owned;  // "SUBCLASS" or "TYPE/SUBCLASS"
    std::map<std::string, CodeSet, std::less<>> soft;
    CodeSet all;
    Schema()
    {
        all.set();
        // Before the first marker: a record's handle and owner are its
        // frame, not values; a table's name is.
        owned[""] = Codes({});
        owned["TABLE/"] = Codes({TableCodes::kName});
        // Entities.
        using E = EntityCodes;
        owned[E::kMarker] = CodesOf(E::kAll);
        for (const char* sub : {"BLOCK", "ENDBLK", "VERTEX", "SEQEND"})
            owned[std::string(sub) + "/" + E::kMarker] = CodesOf(E::kOfSubRecords);
        // The entities' own subclasses and those of the records of their
        // sequences, as their kinds describe them; those of the other
        // records, as dxf_record_codes.h does.
        auto describe = [this](const Subclass* sub) {
            owned[sub->marker] = Codes(sub->codes) | Codes(sub->readToo);
            if (!sub->soft.empty()) soft[sub->marker] = Codes(sub->soft);
        };
        for (const Subclass* sub : EntitySubclasses()) describe(sub);
        for (const auto& [type, sub] : RecordSubclasses()) describe(sub);
        // An Xrecord's data may be of any code.
        owned[XrecordCodes::kMarker] = all;
    }
};

const Schema& TheSchema()
{
    static const Schema s;
    return s;
}

// Types with sets of their own for some subclasses.
bool HasOwnSets(std::string_view type)
{
    return type == "BLOCK" || type == "ENDBLK" || type == "VERTEX" || type == "SEQEND" || type == "TABLE";
}

template <class M>
const CodeSet* Find(const M& m, std::string_view type, std::string_view sub)
{
    if (HasOwnSets(type)) {
        std::string both = std::string(type) + "/" + std::string(sub);
        auto it = m.find(both);
        if (it != m.end()) return &it->second;
    }
    auto it = m.find(sub);
    return it != m.end() ? &it->second : nullptr;
}

}  // namespace

namespace {

// The subclasses' sets by name, in a table of their own: every record of a
// file asks for its subclasses, at the open and at each save, and the names
// share their start ("AcDb") and tell apart by their length and last
// bytes, which is all the hash takes.
class SetsByName {
public:
    explicit SetsByName(const std::map<std::string, CodeSet, std::less<>>& sets)
    {
        size_t n = 64;
        while (n < sets.size() * 4) n *= 2;
        slots_.resize(n);
        mask_ = n - 1;
        for (const auto& [name, set] : sets) {
            size_t i = Hash(name) & mask_;
            while (slots_[i].set) i = (i + 1) & mask_;
            slots_[i] = Slot{name, &set};
        }
    }
    const CodeSet* find(std::string_view name) const
    {
        for (size_t i = Hash(name) & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (!slot.set || slot.name == name) return slot.set;
        }
    }

private:
    struct Slot {
        std::string_view name;
        const CodeSet* set = nullptr;
    };
    static size_t Hash(std::string_view s)
    {
        uint64_t first = 0, last = 0;
        const size_t n = s.size();
        if (n >= 8) {
            std::memcpy(&first, s.data(), 8);
            std::memcpy(&last, s.data() + n - 8, 8);
        } else if (n > 0) {
            std::memcpy(&first, s.data(), n);
        }
        const uint64_t h = (first ^ (last * 0x9E3779B97F4A7C15ull) ^ n) * 0xC2B2AE3D27D4EB4Full;
        return (size_t)(h >> 40);
    }
    std::vector<Slot> slots_;
    size_t mask_ = 0;
};

}  // namespace

CodeSet CodeSetOf(const std::vector<int>& codes) { return Codes(codes); }

const CodeSet& OwnedCodes(std::string_view type, std::string_view sub)
{
    static const CodeSet none;
    static const SetsByName bySubclass(TheSchema().owned);
    if (!HasOwnSets(type)) {
        const CodeSet* set = bySubclass.find(sub);
        return set ? *set : none;
    }
    const CodeSet* s = Find(TheSchema().owned, type, sub);
    return s ? *s : none;
}

ValuePlaces ValuePlacesOf(std::string_view type)
{
    if (const EntityKind* kind = KindOfType(type)) return kind->places;
    // The records of sequences and blocks, the table records and the kinds
    // kept whole that readers read by code.
    static const std::set<std::string_view> kByCodeTypes = {"VERTEX", "SEQEND", "BLOCK", "ENDBLK",
                                                            "LAYER",  "STYLE",  "UCS",   "VIEW",
                                                            "BLOCK_RECORD", "TRACE", "3DFACE", "SHAPE"};
    return kByCodeTypes.count(type) ? kByCode : ValuePlaces{};
}

bool IsSoftCode(std::string_view type, std::string_view sub, int code)
{
    const CodeSet* s = Find(TheSchema().soft, type, sub);
    return s && code >= 0 && code < 1072 && s->test((size_t)code);
}

std::vector<std::string>& SchemaViolations()
{
    static std::vector<std::string> v;
    return v;
}

CodeUse& NotedCodeUse()
{
    static CodeUse use;
    return use;
}

namespace {

// What of the noted use disagrees with the subclasses' lists, each with the
// type of the records written in it.
std::vector<std::string> CodeMismatches(const std::vector<std::pair<std::string, const Subclass*>>& subclasses)
{
    const CodeUse& use = NotedCodeUse();
    std::vector<std::string> out;
    for (const std::string& asked : use.askedOutside)
        for (const auto& [type, sub] : subclasses)
            if (asked.compare(0, asked.find_first_of("/:"), type) == 0) {
                out.push_back(asked);
                break;
            }
    static const CodeSet none;
    auto noted = [&](const std::map<std::string, CodeSet, std::less<>>& m, const std::string& key) -> const CodeSet& {
        auto it = m.find(key);
        return it == m.end() ? none : it->second;
    };
    // A subclass several kinds are written in (a text's in an attribute's
    // record) lists what any of them reads and writes there.
    std::map<const Subclass*, std::pair<CodeSet, CodeSet>> bySubclass;
    for (const auto& [type, sub] : subclasses) {
        const std::string key = type + "/" + sub->marker;
        bySubclass[sub].first |= noted(use.read, key);
        bySubclass[sub].second |= noted(use.written, key);
    }
    for (const auto& [sub, both] : bySubclass)
        for (int c : sub->codes) {
            const std::string key = std::string(sub->marker) + ": " + std::to_string(c);
            const bool derived = std::find(sub->derived.begin(), sub->derived.end(), c) != sub->derived.end();
            if (std::find(sub->passed.begin(), sub->passed.end(), c) != sub->passed.end()) {
                if (both.first.test((size_t)c) || both.second.test((size_t)c)) out.push_back(key + " passed over, yet used");
                continue;
            }
            if (!derived && !both.first.test((size_t)c)) out.push_back(key + " never read");
            if (!both.second.test((size_t)c)) out.push_back(key + " never written");
        }
    for (const auto& [type, sub] : subclasses) {
        const std::string key = type + "/" + sub->marker;
        const CodeSet& read = noted(use.read, key);
        const CodeSet& written = noted(use.written, key);
        const CodeSet listed = Codes(sub->codes) | Codes(sub->soft);
        const CodeSet readable = listed | Codes(sub->readToo);
        for (size_t c = 0; c < listed.size(); ++c) {
            if (read.test(c) && !readable.test(c)) out.push_back(key + ": " + std::to_string(c) + " read, not listed");
            if (written.test(c) && !listed.test(c)) out.push_back(key + ": " + std::to_string(c) + " written, not listed");
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

std::vector<std::string> KindCodeMismatches()
{
    // Each subclass with the type of the records written in it: a kind's
    // own, and those of the records of its sequence.
    std::vector<std::pair<std::string, const Subclass*>> subclasses;
    for (KindFamily family : KindFamilies())
        for (const EntityKind& kind : family()) {
            for (const Subclass* sub : kind.subclasses) subclasses.emplace_back(kind.type, sub);
            for (const VertexForm& form : kind.vertices)
                for (const Subclass* sub : form.subclasses) subclasses.emplace_back("VERTEX", sub);
        }
    return CodeMismatches(subclasses);
}

std::vector<std::string> RecordCodeMismatches()
{
    std::vector<std::pair<std::string, const Subclass*>> subclasses;
    for (const auto& [type, sub] : RecordSubclasses()) subclasses.emplace_back(std::string(type), sub);
    return CodeMismatches(subclasses);
}

}  // namespace dxf

std::vector<std::string>& DxfWriteSchemaViolations() { return dxf::SchemaViolations(); }

void NoteDxfKindCodes(bool on)
{
    dxf::gNoteCodeUse = on;
    if (on) dxf::NotedCodeUse() = dxf::CodeUse();
}

std::vector<std::string> DxfKindCodeMismatches() { return dxf::KindCodeMismatches(); }

std::vector<std::string> DxfRecordCodeMismatches() { return dxf::RecordCodeMismatches(); }

std::vector<std::string> DxfKindFormFaults() { return dxf::KindFormFaults(); }

}  // namespace standin
