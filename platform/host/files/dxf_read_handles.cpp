// Drawing files: which record keeps a handle that several records of a
// file give themselves. One object has a handle; the others get new ones.
// The one kept is the record the file's references to that handle name
// as what they expect (a layout's block record, a block record's layout,
// an entity's owner, an extension dictionary), so that each reference
// still names a record of its kind; where they tell nothing, the first
// record keeps it.
#include <algorithm>
#include <unordered_map>

#include "dxf_loader.h"

namespace standin {
namespace dxf {

namespace {

enum Section : uint8_t { kTables, kBlocks, kEntities, kObjects };

struct Claim {
    uint64_t handle;
    size_t at;  // the group of the record's own handle
    const Rec* rec;
    Section section;
    uint32_t votes;
};

// The group of the record's own handle (before its first marker), or
// SIZE_MAX when it gives none.
size_t OwnHandleAt(const std::vector<Group>& g, const Rec& r)
{
    for (size_t i = r.b; i < r.e && g[i].code != 100; ++i)
        if ((g[i].code == 5 || g[i].code == 105) && g[i].kind == Kind::kHandle) return i;
    return SIZE_MAX;
}

// What a reference expects to name: a record of that type, or of the
// objects section; nothing when it tells nothing.
struct Expected {
    std::string_view type;
    bool object = false;
    bool any() const { return !type.empty() || object; }
};

bool IsDictionary(std::string_view type) { return type == "DICTIONARY" || type == "ACDBDICTIONARYWDFLT"; }

// What the group `code` of a record of `type` in `section` expects, where
// `owner` says it is the record's owner and `group` names the
// application group ("{ACAD_XDICTIONARY") it is in, if any.
Expected ExpectedOf(std::string_view type, Section section, int code, bool owner, std::string_view group)
{
    if (group == "{ACAD_XDICTIONARY") return {"DICTIONARY"};
    if (!group.empty()) return {};
    if (owner) {
        if (section == kTables) return {type == "TABLE" ? std::string_view() : std::string_view("TABLE")};
        // A dictionary may be another record's extension dictionary, and
        // an image's reactor is the image's.
        if (section == kObjects && IsDictionary(type)) return {};
        if (section == kObjects) return {type == "IMAGEDEF_REACTOR" ? "IMAGE" : "DICTIONARY"};
        if (type == "ATTRIB") return {"INSERT"};
        if (type == "VERTEX" || type == "SEQEND") return {};
        return {"BLOCK_RECORD"};
    }
    if (type == "BLOCK_RECORD" && code == 340) return {"LAYOUT"};
    if (type == "LAYOUT" && code == 330) return {"BLOCK_RECORD"};
    if (type == "LAYOUT" && code == 331) return {"VIEWPORT"};
    if (type == "LAYOUT" && (code == 345 || code == 346)) return {"UCS"};
    if (type == "IMAGE" && code == 340) return {"IMAGEDEF"};
    if (type == "IMAGE" && code == 360) return {"IMAGEDEF_REACTOR"};
    if (IsDictionary(type) && (code == 350 || code == 360)) return {std::string_view(), true};
    return {};
}

}  // namespace

void Loader::settleClaims(const std::vector<uint64_t>& contested)
{
    if (contested.empty()) return;
    auto isContested = [&](uint64_t h) { return std::binary_search(contested.begin(), contested.end(), h); };
    const std::pair<const std::vector<Rec>*, Section> sections[] = {
        {&tables_, kTables}, {&blocks_, kBlocks}, {&entities_, kEntities}, {&objects_, kObjects}};
    std::vector<Claim> claims;
    for (const auto& [recs, section] : sections)
        for (const Rec& r : *recs) {
            const size_t at = OwnHandleAt(g_, r);
            if (at != SIZE_MAX && isContested(g_[at].handle)) claims.push_back({g_[at].handle, at, &r, section, 0});
        }
    // In file order within a handle: the first claim is the first record.
    std::sort(claims.begin(), claims.end(),
              [](const Claim& a, const Claim& b) { return a.handle != b.handle ? a.handle < b.handle : a.at < b.at; });
    // The claims of each handle by kind (a type, or the objects section:
    // an empty type), counted: a reference asks one of these, so a file of
    // many records claiming one handle costs no more than one.
    struct ClaimKind {
        uint64_t handle;
        std::string_view type;
        size_t count, first;
        bool operator<(const ClaimKind& o) const { return handle != o.handle ? handle < o.handle : type < o.type; }
    };
    std::vector<ClaimKind> kinds;
    for (size_t i = 0; i < claims.size(); ++i) {
        kinds.push_back({claims[i].handle, TrimView(claims[i].rec->type), 1, i});
        if (claims[i].section == kObjects) kinds.push_back({claims[i].handle, std::string_view(), 1, i});
    }
    std::sort(kinds.begin(), kinds.end(),
              [](const ClaimKind& a, const ClaimKind& b) { return a < b || (!(b < a) && a.first < b.first); });
    size_t merged = 0;
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (merged > 0 && !(kinds[merged - 1] < kinds[i])) ++kinds[merged - 1].count;
        else kinds[merged++] = kinds[i];
    }
    kinds.resize(merged);
    // (group of a reference, the claim it names without doubt)
    std::vector<std::pair<size_t, size_t>> names;
    for (const auto& [recs, section] : sections)
        for (const Rec& r : *recs) {
            std::string_view group;
            bool marked = false, owned = false;
            const std::string_view type = TrimView(r.type);
            for (size_t i = r.b; i < r.e; ++i) {
                const Group& x = g_[i];
                if (x.code == 1001) break;  // extended data tells no kind
                if (x.code == 100) marked = true;
                if (x.code == 102) group = TrimView(x.text) == "}" ? std::string_view() : TrimView(x.text);
                if (x.kind != Kind::kHandle || x.code == 5 || x.code == 105) continue;
                const bool owner = x.code == 330 && !marked && group.empty() && !owned;
                if (owner) owned = true;
                if (!isContested(x.handle)) continue;
                const Expected e = ExpectedOf(type, section, x.code, owner, group);
                if (!e.any()) continue;
                const ClaimKind key{x.handle, e.object ? std::string_view() : e.type, 0, 0};
                auto k = std::lower_bound(kinds.begin(), kinds.end(), key);
                // A reference that would take several tells them not apart;
                // a record naming itself tells nothing.
                if (k != kinds.end() && !(key < *k) && k->count == 1 && claims[k->first].rec != &r) {
                    ++claims[k->first].votes;
                    names.emplace_back(i, k->first);
                }
            }
        }
    std::vector<bool> keeps(claims.size());
    for (size_t i = 0; i < claims.size();) {
        size_t j = i, best = i;
        for (; j < claims.size() && claims[j].handle == claims[i].handle; ++j)
            if (claims[j].votes > claims[best].votes) best = j;
        if (best != i) keepers_.push_back({claims[best].handle, claims[best].at, claims[best].rec});
        keeps[best] = true;
        i = j;
    }
    // A reference that names a claimant given a new handle follows it.
    for (const auto& [at, claim] : names)
        if (!keeps[claim]) redirects_.emplace_back(at, claims[claim].at);
    std::sort(redirects_.begin(), redirects_.end());
}

// The record given a new handle that the group at `at` names, null for
// none.
static OdDbObjectId Redirected(const std::vector<std::pair<size_t, size_t>>& redirects,
                               const std::vector<std::pair<size_t, OdDbObjectId>>& renumbered, size_t at)
{
    if (redirects.empty() || at == SIZE_MAX) return OdDbObjectId();
    auto r = std::lower_bound(redirects.begin(), redirects.end(), std::make_pair(at, size_t(0)));
    if (r == redirects.end() || r->first != at) return OdDbObjectId();
    auto n = std::lower_bound(renumbered.begin(), renumbered.end(), r->second,
                              [](const std::pair<size_t, OdDbObjectId>& a, size_t b) { return a.first < b; });
    return n != renumbered.end() && n->first == r->second ? n->second : OdDbObjectId();
}

OdDbObjectId Loader::idAt(size_t at, uint64_t h) const
{
    const OdDbObjectId id = Redirected(redirects_, renumberedIds_, at);
    return id.isNull() ? idOf(h) : id;
}

uint64_t Loader::handleNamed(size_t at, uint64_t h) const
{
    const OdDbObjectId id = Redirected(redirects_, renumberedIds_, at);
    return id.isNull() ? h : (uint64_t)id.getHandle();
}

void Loader::pairLayoutsWithBlockRecords()
{
    struct Link {
        OdDbObject* object;
        KeptGroup* names;  // its 330 (a layout's block record) or 340 (a record's layout)
        bool model;        // a layout named Model
    };
    std::vector<Link> layouts, records;
    auto isLayout = [](const OdDbObject* o) {
        const OdDbProxyFileRecord* f = o ? DxfAccess::fileRecordOf(o) : nullptr;
        return f && f->dxfName == L"LAYOUT";
    };
    for (const Pending& p : pending_) {
        if (p.sub != kSelf || !DxfAccess::kept(p.object)) continue;
        const bool layout = isLayout(p.object), record = OdRxCast<OdDbBlockTableRecord>(p.object) != nullptr;
        if (!layout && !record) continue;
        const std::string_view subclass = layout ? "AcDbLayout" : "AcDbBlockTableRecord";
        const int code = layout ? 330 : 340;
        KeptGroup* names = nullptr;
        bool model = false;
        // In the subclass's run, or a run of a subclass kept whole that
        // starts with its marker.
        for (KeptRun& run : DxfAccess::kept(p.object)->runs) {
            bool in = !run.whole && run.subclass == subclass;
            for (KeptGroup& g : run.groups) {
                if (run.whole && g.code == 100) in = WideToUtf8(g.text) == subclass;
                if (in && !names && g.code == code && (Kind)g.kind == Kind::kHandle) names = &g;
                if (in && layout && g.code == 1 && (Kind)g.kind == Kind::kText) model = Lower(g.text) == L"model";
            }
        }
        if (names) (layout ? layouts : records).push_back({p.object, names, model});
    }
    auto pair = [&](std::vector<Link>& from, const std::vector<Link>& to, auto fits) {
        // What names each object, and whether anything else does too.
        std::unordered_map<OdDbObjectId, std::pair<OdDbObjectId, bool>, ObjectIdHash> namedBy;
        for (const Link& b : to) {
            if (b.names->id.isNull()) continue;
            auto [it, first] = namedBy.try_emplace(b.names->id, b.object->objectId(), true);
            if (!first) it->second.second = false;
        }
        for (Link& a : from) {
            if (fits(obj(a.names->id))) continue;
            auto it = namedBy.find(a.object->objectId());
            // The model layout names model space (read back, the record
            // it names is): paired with another record it is left out.
            if (a.model && it != namedBy.end() && it->second.first != roots_.modelSpace) continue;
            if (it != namedBy.end() && it->second.second) a.names->id = it->second.first;
        }
    };
    auto isRecord = [](const OdDbObject* o) { return o && OdRxCast<OdDbBlockTableRecord>(const_cast<OdDbObject*>(o)); };
    pair(layouts, records, isRecord);
    pair(records, layouts, isLayout);
    std::unordered_map<const OdDbObject*, uint64_t> orphans;  // layout -> the handle it gives
    for (const Link& a : layouts)
        if (!isRecord(obj(a.names->id))) orphans.emplace(a.object, (uint64_t)a.names->integer);
    if (orphans.empty()) return;
    for (const Pending& p : pending_) {
        auto it = p.sub == kSelf ? orphans.find(p.object) : orphans.end();
        if (it == orphans.end() || p.object->isErased()) continue;
        DxfAccess::markErased(p.object);
        leaveOut(*p.rec, "a layout whose block record (" + GroupWriter::HandleValue(it->second) +
                             ") the drawing does not hold");
    }
}

}  // namespace dxf
}  // namespace standin
