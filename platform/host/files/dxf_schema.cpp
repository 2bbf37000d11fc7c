// Drawing files: the groups the writer gives values of, per subclass.
#include "dxf_schema.h"

#include "dxf_control.h"
#include "dxf_kinds.h"

#include <algorithm>
#include <map>

namespace standin {
namespace dxf {
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
        owned["TABLE/"] = Codes({2});
        // Entities.
        using E = EntityCodes;
        owned[E::kMarker] = CodesOf(E::kAll);
        for (const char* sub : {"BLOCK", "ENDBLK", "VERTEX", "SEQEND"})
            owned[std::string(sub) + "/" + E::kMarker] = CodesOf(E::kOfSubRecords);
        owned["AcDbBlockBegin"] = Codes({2, 70, 10, 3});
        soft["BLOCK/AcDbBlockBegin"] = Codes({1});
        owned["AcDbBlockEnd"] = Codes({});
        // The entities' own subclasses and those of the records of their
        // sequences, as their kinds describe them.
        for (const Subclass* sub : EntitySubclasses()) {
            owned[sub->marker] = Codes(sub->codes) | Codes(sub->readToo);
            if (!sub->soft.empty()) soft[sub->marker] = Codes(sub->soft);
        }
        // Objects.
        owned["AcDbDictionary"] = Codes({280, 3, 350, 360});
        soft["AcDbDictionary"] = Codes({281});
        owned["AcDbXrecord"] = all;
        owned["AcDbRasterImageDef"] = Codes({1, 10, 280});
        soft["AcDbRasterImageDef"] = Codes({90, 11, 281});
        owned["AcDbSortentsTable"] = Codes({330, 331, 5});
        // Tables and their records.
        owned["AcDbSymbolTable"] = Codes({70});
        owned["AcDbSymbolTableRecord"] = Codes({});
        owned["AcDbLayerTableRecord"] = Codes({2, 70, 62, 420, 6, 370, 290});
        owned["AcDbLinetypeTableRecord"] = Codes({2, 70, 3, 72, 73, 40, 49, 74, 75, 340, 46, 50, 44, 45, 9});
        owned["AcDbTextStyleTableRecord"] = Codes({2, 70, 40, 41, 50, 71, 42, 3, 4});
        owned["AcDbViewportTableRecord"] = Codes({2, 70, 12, 16, 17, 40, 41, 42, 43, 44, 51, 71});
        soft["AcDbViewportTableRecord"] = Codes({10, 11});
        owned["AcDbViewTableRecord"] = Codes({2, 70, 40, 10, 41, 11, 12, 42, 43, 44, 50, 71});
        owned["AcDbUCSTableRecord"] = Codes({2, 70, 10, 11, 12});
        owned["AcDbRegAppTableRecord"] = Codes({2, 70});
        owned["AcDbDimStyleTableRecord"] = Codes({2, 70});
        owned["AcDbBlockTableRecord"] = Codes({2});
        soft["AcDbBlockTableRecord"] = Codes({70, 280, 281});
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

const CodeSet& OwnedCodes(std::string_view type, std::string_view sub)
{
    static const CodeSet none;
    const CodeSet* s = Find(TheSchema().owned, type, sub);
    return s ? *s : none;
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

std::vector<std::string> KindCodeMismatches()
{
    const CodeUse& use = NotedCodeUse();
    // Each subclass with the type of the records written in it: a kind's
    // own, and those of the records of its sequence.
    std::vector<std::pair<std::string, const Subclass*>> subclasses;
    for (KindFamily family : KindFamilies())
        for (const EntityKind& kind : family()) {
            for (const Subclass* sub : kind.subclasses) subclasses.emplace_back(kind.type, sub);
            for (const VertexForm& form : kind.vertices)
                for (const Subclass* sub : form.subclasses) subclasses.emplace_back("VERTEX", sub);
        }
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

}  // namespace dxf

std::vector<std::string>& DxfWriteSchemaViolations() { return dxf::SchemaViolations(); }

void NoteDxfKindCodes(bool on)
{
    dxf::gNoteCodeUse = on;
    if (on) dxf::NotedCodeUse() = dxf::CodeUse();
}

std::vector<std::string> DxfKindCodeMismatches() { return dxf::KindCodeMismatches(); }

std::vector<std::string> DxfKindFormFaults() { return dxf::KindFormFaults(); }

}  // namespace standin
