#include "oddbproxy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "block_graphics.h"
#include "dxf_access.h"
#include "oddbblockreference.h"
#include "oddbdimension.h"
#include "dxf_internal.h"
#include "dxf_kept.h"
#include "dxf_kinds.h"
#include "oddbsymboltable.h"

ODRX_DEFINE_MEMBERS(OdDbProxyEntity, OdDbEntity, L"AcDbZombieEntity")
ODRX_DEFINE_MEMBERS(OdDbProxyObject, OdDbObject, L"AcDbProxyObject")

OdDbProxyEntity::OdDbProxyEntity(const OdDbProxyEntity& o) : OdDbEntity(o), file_(o.file_)
{
    for (const auto* g : o.graphics_) graphics_.push_back(g->clone());
}

OdDbProxyEntity::~OdDbProxyEntity()
{
    for (auto* g : graphics_) delete g;
}

OdResult OdDbProxyEntity::addGraphics(const OdDbEntity& ent)
{
    OdDbEntity* copy = ent.clone();
    if (!copy) return eInvalidInput;
    if (!assertWriteEnabled()) {
        delete copy;
        return eNotOpenForWrite;
    }
    graphics_.push_back(copy);
    return eOk;
}

OdResult OdDbProxyEntity::explode(OdDbVoidPtrArray& entitySet) const
{
    if (int s = standin::TakeHostFault("explode")) return (OdResult)s;
    if (graphics_.empty()) return eNotApplicable;
    for (const auto* g : graphics_) entitySet.append(g->clone());
    return eOk;
}

OdResult OdDbProxyEntity::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto* g : graphics_) {
        OdGeExtents3d e;
        if (g->getGeomExtents(e) == eOk) ext.addExt(e);
    }
    return ext.isValidExtents() ? eOk : eInvalidExtents;
}

// ---- records kept whole that move with their entity ----

namespace {

using standin::KeptGroup;
using standin::KeptRun;

// What a value of a kept record is, for transforming it.
enum class Role : uint8_t {
    kPoint,       // a world position: x here, y and z in the next groups (code + 10, + 20)
    kPlanePoint,  // a position in the record's own plane (its normal, 210); a
                  // point of x and y only lies at the record's elevation
    kElevation,   // the height of the record's plane above the origin
    kVector,      // a displacement: turns and scales
    kDirection,   // a direction: turns
    kNormal,      // the normal of the record's plane
    kDistance,    // a length: scales
    kPlaneAngle,  // degrees in the record's plane from its x axis
    kPlaneRadians,  // the same in radians
    kFactors,     // scale factors along x, y and z: each scales
    kPlaneVector,  // a displacement in the record's plane: turns and scales
    kMatrix,      // 16 values of the code, a 4x4 matrix row by row
};

struct Rule {
    const char* where;  // the subclass marker, or the "{" section, the code is found in
    int code;
    Role role;
};

struct KindRules {
    const char* type;
    std::vector<Rule> rules;
};

// The kinds a drawing file keeps whole whose values are all known: where
// their positions, directions and lengths are. Each is transformed by
// these; every other value of the record stays as read. Kinds the database
// models are kept whole when a record of theirs could not be read as one
// (a circle of no radius, a spline whose knots do not fit): they move by
// what their own descriptions place (dxf_kinds.h). The rest are here.
struct KeptOnly {
    const char* type;
    const char* like;  // a described kind whose places it has too, or null
    std::vector<Rule> rules;
};

Role RoleOf(standin::dxf::Placed as)
{
    using P = standin::dxf::Placed;
    switch (as) {
    case P::kPoint: return Role::kPoint;
    case P::kPlanePoint: return Role::kPlanePoint;
    case P::kElevation: return Role::kElevation;
    case P::kVector: return Role::kVector;
    case P::kDirection: return Role::kDirection;
    case P::kNormal: return Role::kNormal;
    case P::kLength: return Role::kDistance;
    case P::kAngle: return Role::kPlaneAngle;
    }
    return Role::kDistance;
}

// The places the descriptions of a type's kinds give, each subclass's once,
// in the order the kinds' subclasses are written.
std::vector<Rule> DescribedRules(std::string_view type)
{
    std::vector<Rule> rules;
    for (const standin::dxf::EntityKind& k : standin::dxf::EntityKinds()) {
        if (type != k.type) continue;
        for (const standin::dxf::Subclass* sub : k.subclasses)
            for (const standin::dxf::PlacedCode& p : sub->placed) {
                const bool known = std::any_of(rules.begin(), rules.end(), [&](const Rule& r) {
                    return r.code == p.code && std::strcmp(r.where, sub->marker) == 0;
                });
                if (!known) rules.push_back({sub->marker, p.code, RoleOf(p.as)});
            }
    }
    return rules;
}

const std::vector<KindRules>& Kinds()
{
    using R = Role;
    static const std::vector<KeptOnly> keptOnly = {
        {"3DFACE", nullptr, {{"AcDbFace", 10, R::kPoint}, {"AcDbFace", 11, R::kPoint}, {"AcDbFace", 12, R::kPoint},
                             {"AcDbFace", 13, R::kPoint}}},
        // A solid's subclass.
        {"TRACE", "SOLID", {}},
        {"SHAPE", nullptr, {{"AcDbShape", 10, R::kPlanePoint}, {"AcDbShape", 40, R::kDistance},
                            {"AcDbShape", 50, R::kPlaneAngle}, {"AcDbShape", 39, R::kDistance},
                            {"AcDbShape", 210, R::kNormal}}},
        {"MESH", nullptr, {{"AcDbSubDMesh", 10, R::kPoint}}},
        {"LEADER", nullptr, {{"AcDbLeader", 10, R::kPoint}, {"AcDbLeader", 40, R::kDistance},
                             {"AcDbLeader", 41, R::kDistance}, {"AcDbLeader", 210, R::kNormal},
                             {"AcDbLeader", 211, R::kDirection}, {"AcDbLeader", 212, R::kVector},
                             {"AcDbLeader", 213, R::kVector}}},
        {"MULTILEADER",
         nullptr,
         {{"CONTEXT_DATA{", 10, R::kPoint},      {"CONTEXT_DATA{", 11, R::kDirection},
          {"CONTEXT_DATA{", 12, R::kPoint},      {"CONTEXT_DATA{", 13, R::kDirection},
          {"CONTEXT_DATA{", 14, R::kDirection},  {"CONTEXT_DATA{", 15, R::kPoint},
          {"CONTEXT_DATA{", 41, R::kDistance},   {"CONTEXT_DATA{", 43, R::kDistance},
          {"CONTEXT_DATA{", 44, R::kDistance},   {"CONTEXT_DATA{", 140, R::kDistance},
          {"CONTEXT_DATA{", 145, R::kDistance},  {"CONTEXT_DATA{", 47, R::kMatrix},
          {"CONTEXT_DATA{", 110, R::kPoint},     {"CONTEXT_DATA{", 111, R::kDirection},
          {"CONTEXT_DATA{", 112, R::kDirection}, {"LEADER{", 10, R::kPoint},
          {"LEADER{", 11, R::kDirection},        {"LEADER{", 12, R::kPoint},
          {"LEADER{", 13, R::kPoint},            {"LEADER{", 40, R::kDistance},
          {"LEADER_LINE{", 10, R::kPoint},       {"LEADER_LINE{", 11, R::kPoint},
          {"LEADER_LINE{", 12, R::kPoint},       {"AcDbMLeader", 41, R::kDistance},
          {"AcDbMLeader", 42, R::kDistance},
          // The overall scale, the text's and the block's rotation and the
          // block's scale, and the copies of the last three the record
          // keeps outside its context.
          {"CONTEXT_DATA{", 40, R::kDistance},    {"CONTEXT_DATA{", 42, R::kPlaneRadians},
          {"CONTEXT_DATA{", 46, R::kPlaneRadians}, {"CONTEXT_DATA{", 16, R::kFactors},
          {"AcDbMLeader", 10, R::kFactors},      {"AcDbMLeader", 43, R::kPlaneRadians},
          {"AcDbMLeader", 45, R::kDistance}}},
        // Its graphics are a block of their own (group 2), which goes with it.
        {"ARC_DIMENSION",
         nullptr,
         {{"AcDbDimension", 10, R::kPoint},        {"AcDbDimension", 11, R::kPlanePoint},
          {"AcDbDimension", 12, R::kPlanePoint},   {"AcDbDimension", 51, R::kPlaneAngle},
          {"AcDbDimension", 53, R::kPlaneAngle},   {"AcDbDimension", 210, R::kNormal},
          {"AcDbArcDimension", 13, R::kPoint},     {"AcDbArcDimension", 14, R::kPoint},
          {"AcDbArcDimension", 15, R::kPoint},     {"AcDbArcDimension", 16, R::kPoint},
          {"AcDbArcDimension", 17, R::kPoint}}},
        // What its codes are depends on where they are (MPolygonSlots).
        {"MPOLYGON", nullptr, {{"AcDbMPolygon", 210, R::kNormal}}},
        {"XLINE", nullptr, {{"AcDbXline", 10, R::kPoint}, {"AcDbXline", 11, R::kDirection}}},
        {"RAY", nullptr, {{"AcDbRay", 10, R::kPoint}, {"AcDbRay", 11, R::kDirection}}},
        {"TOLERANCE", nullptr,
         {{"AcDbFcf", 10, R::kPoint}, {"AcDbFcf", 11, R::kDirection}, {"AcDbFcf", 210, R::kNormal}}},
        // A spline's subclass, then its own.
        {"HELIX", "SPLINE", {{"AcDbHelix", 10, R::kPoint}, {"AcDbHelix", 11, R::kPoint},
                             {"AcDbHelix", 12, R::kVector}, {"AcDbHelix", 40, R::kDistance},
                             {"AcDbHelix", 42, R::kDistance}}},
        {"WIPEOUT", nullptr, {{"AcDbWipeout", 10, R::kPoint}, {"AcDbWipeout", 11, R::kVector},
                              {"AcDbWipeout", 12, R::kVector}, {"AcDbRasterImage", 10, R::kPoint},
                              {"AcDbRasterImage", 11, R::kVector}, {"AcDbRasterImage", 12, R::kVector}}},
        {"OLE2FRAME", nullptr, {{"AcDbOle2Frame", 10, R::kPoint}, {"AcDbOle2Frame", 11, R::kPoint}}},
        {"LIGHT", nullptr, {{"AcDbLight", 10, R::kPoint}, {"AcDbLight", 11, R::kPoint}}},
        {"SECTION", nullptr, {{"AcDbSection", 10, R::kDirection}, {"AcDbSection", 11, R::kPoint},
                              {"AcDbSection", 12, R::kPoint}, {"AcDbSection", 40, R::kDistance},
                              {"AcDbSection", 41, R::kDistance}}},
        {"ACAD_TABLE", nullptr, {{"AcDbBlockReference", 10, R::kPoint}, {"AcDbTable", 11, R::kDirection}}},
    };
    static const std::vector<Rule> underlay = {{"AcDbUnderlayReference", 10, Role::kPoint},
                                               {"AcDbUnderlayReference", 41, Role::kDistance},
                                               {"AcDbUnderlayReference", 42, Role::kDistance},
                                               {"AcDbUnderlayReference", 43, Role::kDistance},
                                               {"AcDbUnderlayReference", 50, Role::kPlaneAngle},
                                               {"AcDbUnderlayReference", 210, Role::kNormal}};
    static const std::vector<KindRules> all = [&] {
        std::vector<KindRules> a;
        for (const KeptOnly& k : keptOnly) {
            std::vector<Rule> rules = k.like ? DescribedRules(k.like) : std::vector<Rule>();
            rules.insert(rules.end(), k.rules.begin(), k.rules.end());
            a.push_back({k.type, std::move(rules)});
        }
        for (const char* t : {"PDFUNDERLAY", "DWFUNDERLAY", "DGNUNDERLAY"}) a.push_back({t, underlay});
        // Every type a kind is described for whose descriptions place any
        // of its values.
        for (const standin::dxf::EntityKind& k : standin::dxf::EntityKinds()) {
            const bool listed = std::any_of(a.begin(), a.end(), [&](const KindRules& r) {
                return std::strcmp(r.type, k.type) == 0;
            });
            std::vector<Rule> rules = listed ? std::vector<Rule>() : DescribedRules(k.type);
            if (!rules.empty()) a.push_back({k.type, std::move(rules)});
        }
        return a;
    }();
    return all;
}

const KindRules* RulesOf(const std::wstring& type)
{
    for (const KindRules& k : Kinds())
        if (type.size() == std::strlen(k.type) && std::equal(type.begin(), type.end(), k.type)) return &k;
    return nullptr;
}

bool IsReal(const KeptGroup& g) { return g.kind == (uint8_t)standin::dxf::Kind::kReal; }

// A group of a kept record with where it is: its run, its place, the
// subclass or section it is in.
struct Slot {
    KeptRun* run;
    size_t at;
    Role role;
};

// Whether the record was written with none of its kind's subclass markers.
bool Unmarked(const std::vector<KeptRun>& runs, const KindRules& kind)
{
    for (const KeptRun& run : runs) {
        for (const Rule& r : kind.rules)
            if (run.subclass == r.where) return false;
        for (const KeptGroup& g : run.groups)
            if (g.code == 100) return false;
    }
    return true;
}

// An MPOLYGON's values, whose meaning depends on their place: its first
// point is its elevation (only its z counts); its boundary paths hold, in
// its plane, polyline vertices and edges (a line's ends, an arc's centre,
// radius and angles, an ellipse's centre and major axis, a spline's
// control and fit points and tangents); after its pattern come its seed
// points. Pattern lines and the fill's offset stay in the pattern's terms.
std::vector<Slot> MPolygonSlots(std::vector<KeptRun>& runs)
{
    std::vector<Slot> slots;
    bool marked = false;
    for (const KeptRun& run : runs) {
        marked = marked || run.subclass == "AcDbMPolygon";
        for (const KeptGroup& g : run.groups) marked = marked || (g.code == 100 && g.spelled == "AcDbMPolygon");
    }
    enum { kHead, kPaths, kAfter } phase = kHead;
    bool polyline = false, seeds = false, elevation = false;
    int64_t edge = 0;
    for (KeptRun& run : runs) {
        std::string marker = run.subclass;
        for (size_t i = 0; i < run.groups.size(); ++i) {
            const KeptGroup& g = run.groups[i];
            if (g.code == 100) {
                marker = g.spelled;
                continue;
            }
            if (marked ? marker != "AcDbMPolygon" : !marker.empty()) continue;
            const bool integer = g.kind == (uint8_t)standin::dxf::Kind::kInt;
            if (integer && phase == kHead && g.code == 91) phase = kPaths;
            else if (integer && phase == kPaths && (g.code == 75 || g.code == 76)) phase = kAfter;
            else if (integer && phase == kPaths && g.code == 92) polyline = (g.integer & 2) != 0;
            else if (integer && phase == kPaths && g.code == 72 && !polyline) edge = g.integer;
            else if (integer && phase == kAfter && g.code == 98) seeds = true;
            if (!IsReal(g)) continue;
            Role role;
            if (phase == kHead && g.code == 210) {
                role = Role::kNormal;
            } else if (phase == kHead && g.code == 10 && !elevation) {
                // Its z is the elevation; x and y are nothing.
                elevation = true;
                if (i + 2 >= run.groups.size() || run.groups[i + 2].code != 30 || !IsReal(run.groups[i + 2])) continue;
                slots.push_back({&run, i + 2, Role::kElevation});
                continue;
            } else if (phase == kPaths && g.code == 10) {
                role = Role::kPlanePoint;
            } else if (phase == kPaths && g.code == 11) {
                role = !polyline && edge == 3 ? Role::kPlaneVector : Role::kPlanePoint;
            } else if (phase == kPaths && (g.code == 12 || g.code == 13) && !polyline && edge == 4) {
                role = Role::kPlaneVector;
            } else if (phase == kPaths && g.code == 40 && !polyline && edge == 2) {
                role = Role::kDistance;
            } else if (phase == kPaths && (g.code == 50 || g.code == 51) && !polyline && edge == 2) {
                role = Role::kPlaneAngle;
            } else if (phase == kAfter && seeds && g.code == 10) {
                role = Role::kPlanePoint;
            } else {
                continue;
            }
            slots.push_back({&run, i, role});
        }
    }
    return slots;
}

// The groups the rules name, in order. Sections ("NAME{" in a 300-305
// text group, up to "}") nest; outside them the subclass marker counts. A
// record written without markers has its values where the kind's own
// marker would be.
std::vector<Slot> SlotsOf(std::vector<KeptRun>& runs, const KindRules& kind)
{
    if (std::strcmp(kind.type, "MPOLYGON") == 0) return MPolygonSlots(runs);
    std::vector<Slot> slots;
    const bool unmarked = Unmarked(runs, kind);
    std::string ownMarker;
    for (const Rule& r : kind.rules)
        if (ownMarker.empty() && std::strchr(r.where, '{') == nullptr) ownMarker = r.where;
    for (KeptRun& run : runs) {
        std::string marker = run.subclass;
        std::vector<std::string> sections;
        for (size_t i = 0; i < run.groups.size(); ++i) {
            const KeptGroup& g = run.groups[i];
            if (g.code == 100) {
                marker = std::string(g.spelled);
                sections.clear();
                continue;
            }
            if (g.code >= 300 && g.code <= 305 && !IsReal(g)) {
                // Only the structure opens and closes a section, each at its
                // own code and depth: text content (304 too) may end in "{".
                static const char* const kOpen[] = {"CONTEXT_DATA{", "LEADER{", "LEADER_LINE{"};
                const size_t depth = sections.size();
                if (g.code % 2 == 0 && depth < 3 && g.code == 300 + 2 * (int)depth && g.spelled == kOpen[depth])
                    sections.push_back(g.spelled);
                else if (g.code % 2 == 1 && depth > 0 && g.code == 299 + 2 * (int)depth && g.spelled == "}")
                    sections.pop_back();
                continue;
            }
            const std::string& where = sections.empty() ? marker : sections.back();
            const bool own = sections.empty() && unmarked;
            for (const Rule& r : kind.rules)
                if (r.code == g.code && IsReal(g) && (where == r.where || (own && r.where == ownMarker))) {
                    slots.push_back({&run, i, r.role});
                    break;
                }
        }
    }
    return slots;
}

// The point at a slot: its x, and y and z when the next groups give them.
struct PointAt {
    double* c[3] = {nullptr, nullptr, nullptr};
    KeptRun* run = nullptr;
    size_t at = 0;  // its x
};

PointAt PointOf(const Slot& s)
{
    PointAt p;
    p.run = s.run;
    p.at = s.at;
    std::vector<KeptGroup>& g = s.run->groups;
    p.c[0] = &g[s.at].real;
    const int code = g[s.at].code;
    size_t k = s.at + 1;
    if (k < g.size() && g[k].code == code + 10 && IsReal(g[k])) p.c[1] = &g[k++].real;
    if (p.c[1] && k < g.size() && g[k].code == code + 20 && IsReal(g[k])) p.c[2] = &g[k].real;
    return p;
}

OdGeVector3d Get(const PointAt& p)
{
    return OdGeVector3d(*p.c[0], p.c[1] ? *p.c[1] : 0, p.c[2] ? *p.c[2] : 0);
}

// Groups a transformation gives a record that left them out, put in once
// every value is transformed (putting them in sooner would move the
// groups the slots point at).
struct Added {
    KeptRun* run;
    size_t before;  // the group they go before
    std::vector<KeptGroup> groups;
};

KeptGroup RealGroup(int code, double v)
{
    KeptGroup g;
    g.code = code;
    g.kind = (uint8_t)standin::dxf::Kind::kReal;
    g.real = v;
    return g;
}

// A coordinate the file left out is 0: one the transformation makes
// other than 0 is added after those given (a y of 0 before a z).
void Put(const PointAt& p, const OdGeVector3d& v, std::vector<Added>& added)
{
    *p.c[0] = v.x;
    if (p.c[1]) *p.c[1] = v.y;
    if (p.c[2]) *p.c[2] = v.z;
    if (p.c[2] || (p.c[1] && v.z == 0) || (!p.c[1] && v.y == 0 && v.z == 0)) return;
    const int code = p.run->groups[p.at].code;
    Added a{p.run, p.at + (p.c[1] ? 2 : 1), {}};
    if (!p.c[1]) a.groups.push_back(RealGroup(code + 10, v.y));
    if (v.z != 0) a.groups.push_back(RealGroup(code + 20, v.z));
    added.push_back(std::move(a));
}

// Each run is built again once, so that a record of many such points
// costs no more than its length. `places` gets where each went: its run
// (counted from `first`), first group and count.
void PutAdded(std::vector<Added>& added, const KeptRun* first, std::vector<uint32_t>& places)
{
    std::stable_sort(added.begin(), added.end(), [](const Added& a, const Added& b) {
        return a.run != b.run ? std::less<KeptRun*>()(a.run, b.run) : a.before < b.before;
    });
    for (size_t from = 0; from < added.size();) {
        KeptRun* run = added[from].run;
        std::vector<KeptGroup> groups;
        size_t k = from;
        for (size_t i = 0; i <= run->groups.size(); ++i) {
            for (; k < added.size() && added[k].run == run && added[k].before == i; ++k) {
                places.insert(places.end(), {(uint32_t)(run - first), (uint32_t)groups.size(),
                                             (uint32_t)added[k].groups.size()});
                groups.insert(groups.end(), added[k].groups.begin(), added[k].groups.end());
            }
            if (i < run->groups.size()) groups.push_back(std::move(run->groups[i]));
        }
        run->groups = std::move(groups);
        from = k;
    }
}

bool Finite(const OdGeVector3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The axes of the plane of a normal: x, y and the unit normal.
void Axes(const OdGeVector3d& n, OdGeVector3d axes[3])
{
    OdGePlaneAxes(n, axes[0], axes[1]);
    axes[2] = n.isZeroLength() ? OdGeVector3d(0, 0, 1) : n.normal();
}

OdGeVector3d ToPlane(const OdGeVector3d& w, const OdGeVector3d axes[3])
{
    return OdGeVector3d(w.dotProduct(axes[0]), w.dotProduct(axes[1]), w.dotProduct(axes[2]));
}

OdGeVector3d FromPlane(const OdGeVector3d& p, const OdGeVector3d axes[3])
{
    return axes[0] * p.x + axes[1] * p.y + axes[2] * p.z;
}

bool InWorldPlane(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

// Transforms the values the slots name; false when one cannot be. A
// record's points of x and y alone lie at its elevation (`elevationCode`,
// added before the first of them when the record left it out; 0 for a
// kind without one: their z is 0, and added when it is not; -1 for one
// whose points cannot leave its plane).
bool TransformSlots(std::vector<KeptRun>& runs, const std::vector<Slot>& slots, const OdGeMatrix3d& m,
                    int elevationCode, std::vector<uint32_t>& places, OdGeVector3d normal = OdGeVector3d(0, 0, 1))
{
    double elevation = 0;
    bool hasElevation = false;
    std::vector<Added> added;
    // The elevation a record that left it out is given.
    std::optional<double> madeElevation;
    for (const Slot& s : slots) {
        if (s.role == Role::kNormal) normal = Get(PointOf(s));
        if (s.role == Role::kElevation) {
            elevation = s.run->groups[s.at].real;
            hasElevation = true;
        }
    }
    OdGeVector3d before[3], after[3];
    Axes(normal, before);
    OdGeVector3d d;
    const bool move = m.isTranslation(&d);
    OdGeVector3d turned = normal;
    if (!move) {
        turned.transformBy(m);
        if (turned.isZeroLength()) return false;
        turned = turned.normal();
    }
    Axes(turned, after);
    const double scale = move ? 1.0 : m.scale();
    for (const Slot& s : slots) {
        KeptGroup& g = s.run->groups[s.at];
        const PointAt p = PointOf(s);
        switch (s.role) {
        case Role::kPoint: {
            OdGePoint3d w = OdGePoint3d::kOrigin + Get(p);
            w.transformBy(m);
            Put(p, w - OdGePoint3d::kOrigin, added);
            break;
        }
        case Role::kPlanePoint:
        case Role::kElevation: {
            // A point of x and y only, and the elevation, take the plane's
            // height from the elevation.
            OdGeVector3d at = s.role == Role::kElevation ? OdGeVector3d(0, 0, g.real) : Get(p);
            bool flat = s.role == Role::kElevation || !p.c[2];
            if (flat) at.z = elevation;
            OdGeVector3d to;
            if (move) {
                const OdGeVector3d in = InWorldPlane(normal) ? d : ToPlane(d, before);
                to.set(OdGeMoved(at.x, in.x), OdGeMoved(at.y, in.y), OdGeMoved(at.z, in.z));
            } else {
                OdGePoint3d w = OdGePoint3d::kOrigin + FromPlane(at, before);
                w.transformBy(m);
                to = ToPlane(w - OdGePoint3d::kOrigin, after);
            }
            if (s.role == Role::kElevation) {
                g.real = to.z;
                break;
            }
            if (flat && !hasElevation && to.z != 0) {
                if (elevationCode < 0) {
                    return false;
                } else if (!elevationCode) {
                    flat = false;  // its z, left out, is 0
                } else if (!madeElevation) {
                    madeElevation = to.z;
                    added.push_back({p.run, p.at, {RealGroup(elevationCode, to.z)}});
                } else if (*madeElevation != to.z) {
                    return false;
                }
            }
            if (flat) to.z = 0;
            Put(p, to, added);
            break;
        }
        case Role::kVector:
        case Role::kDirection: {
            if (move) break;
            OdGeVector3d v = Get(p);
            v.transformBy(m);
            if (s.role == Role::kDirection && scale > 0) v = v / scale;
            Put(p, v, added);
            break;
        }
        case Role::kNormal:
            if (!move) Put(p, turned, added);
            break;
        case Role::kDistance:
            g.real *= scale;
            break;
        case Role::kPlaneAngle:
        case Role::kPlaneRadians: {
            if (move) break;
            const bool degrees = s.role == Role::kPlaneAngle;
            const double a = degrees ? g.real * M_PI / 180 : g.real;
            OdGeVector3d x = before[0] * std::cos(a) + before[1] * std::sin(a);
            x.transformBy(m);
            double turned = std::atan2(x.dotProduct(after[1]), x.dotProduct(after[0]));
            if (degrees) turned = turned * 180 / M_PI;
            if (turned < 0) turned += degrees ? 360 : 2 * M_PI;
            g.real = turned;
            break;
        }
        case Role::kPlaneVector: {
            if (move) break;
            OdGeVector3d v = FromPlane(Get(p), before);
            v.transformBy(m);
            v = ToPlane(v, after);
            // One of x and y only stays in the plane.
            if (!p.c[2]) v.z = 0;
            Put(p, v, added);
            break;
        }
        case Role::kFactors:
            if (!move) Put(p, Get(p) * scale, added);
            break;
        case Role::kMatrix: {
            std::vector<KeptGroup>& gs = s.run->groups;
            // The first of the 16 values holds the matrix.
            if (s.at > 0 && gs[s.at - 1].code == g.code) break;
            if (s.at + 16 > gs.size()) return false;
            OdGeMatrix3d held;
            for (size_t k = 0; k < 16; ++k) {
                if (gs[s.at + k].code != g.code || !IsReal(gs[s.at + k])) return false;
                held.entry[k / 4][k % 4] = gs[s.at + k].real;
            }
            if (move) {
                // A move adds to the column the last row weighs, each
                // number once, as every position a move changes.
                const double by[3] = {d.x, d.y, d.z};
                for (size_t k = 0; k < 12; ++k)
                    gs[s.at + k].real = OdGeMoved(held.entry[k / 4][k % 4], by[k / 4] * held.entry[3][k % 4]);
                break;
            }
            const OdGeMatrix3d moved = m * held;
            for (size_t k = 0; k < 16; ++k) gs[s.at + k].real = moved.entry[k / 4][k % 4];
            break;
        }
        }
    }
    for (const Slot& s : slots) {
        const PointAt p = PointOf(s);
        if (!Finite(Get(p))) return false;
    }
    for (const Added& a : added)
        for (const KeptGroup& g : a.groups)
            if (!std::isfinite(g.real)) return false;
    PutAdded(added, runs.data(), places);
    return true;
}

// Takes out the groups a move put in (places as PutAdded gives them, the
// last first); false when one is not there.
bool TakeOutAdded(std::vector<KeptRun>& runs, const uint32_t* places, size_t count)
{
    for (size_t k = count; k-- > 0;) {
        const uint32_t* p = places + 3 * k;
        if (p[0] >= runs.size()) return false;
        std::vector<KeptGroup>& groups = runs[p[0]].groups;
        if (p[1] > groups.size() || p[2] > groups.size() - p[1]) return false;
        groups.erase(groups.begin() + p[1], groups.begin() + p[1] + p[2]);
    }
    return true;
}

// Where a move put groups into a record, for UNDO (OdGeMoveJournal): kept
// as the move goes; put back, the groups it put there are taken out.
void JournalPlaces(std::vector<KeptRun>& runs, const std::vector<uint32_t>& places)
{
    OdGeMoveJournal* j = g_odgeMoveJournal;
    if (!j) return;
    if (!j->back && j->keptPlaces) {
        j->keptPlaces->push_back((uint32_t)(places.size() / 3));
        j->keptPlaces->insert(j->keptPlaces->end(), places.begin(), places.end());
    } else if (j->back && j->backPlaces) {
        // Put back, the record has every place the move gave it.
        const std::vector<uint32_t>& back = *j->backPlaces;
        const size_t count = j->nextPlace < back.size() ? back[j->nextPlace] : 0;
        if (j->nextPlace >= back.size() || count > (back.size() - j->nextPlace - 1) / 3 ||
            !TakeOutAdded(runs, back.data() + j->nextPlace + 1, count)) {
            j->overrun = true;
        } else {
            j->nextPlace += 1 + 3 * count;
        }
    }
}

// The group naming a dimension's graphics block (2 of its dimension
// subclass), or null; `placed` says whether the record places that block
// at a point of its own (12), so that the block's entities are not where
// they are drawn.
KeptGroup* BlockNameOf(std::vector<KeptRun>& runs, bool* placed = nullptr)
{
    KeptGroup* name = nullptr;
    if (placed) *placed = false;
    for (KeptRun& run : runs) {
        std::string marker = run.subclass;
        for (KeptGroup& g : run.groups) {
            if (g.code == 100) {
                marker = g.spelled;
                continue;
            }
            if (!marker.empty() && marker != "AcDbDimension") continue;
            if (g.code == 2 && g.kind == (uint8_t)standin::dxf::Kind::kText && !name) name = &g;
            if (g.code == 12 && IsReal(g) && placed) *placed = true;
        }
    }
    return name;
}

OdDbObjectId BlockNamed(OdDbDatabase* db, const std::wstring& name)
{
    OdDbSymbolTable* table = nullptr;
    OdDbObjectId id;
    if (!db || name.empty() || oddbOpenObject(table, db->getBlockTableId(), OdDb::kForRead) != eOk) return id;
    if (table->getAt(name.c_str(), id) != eOk) id = OdDbObjectId();
    table->close();
    return id;
}

bool HasGraphicsBlock(const std::wstring& type) { return type == L"ARC_DIMENSION"; }

}  // namespace

OdDbObjectId OdDbProxyEntity::geometryBlockId() const
{
    if (!keptRecord() || !HasGraphicsBlock(file_.dxfName)) return OdDbObjectId();
    if (!block_.isNull()) return block_;
    const KeptGroup* name = BlockNameOf(keptRecord()->runs);
    return name ? BlockNamed(database(), name->text) : OdDbObjectId();
}

OdResult OdDbProxyEntity::setGeometryBlockId(OdDbObjectId id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    KeptGroup* name = keptRecord() && HasGraphicsBlock(file_.dxfName) ? BlockNameOf(keptRecord()->runs) : nullptr;
    if (!name) return eNotApplicable;
    OdDbBlockTableRecord* block = nullptr;
    if (oddbOpenObject(block, id, OdDb::kForRead) != eOk) return eInvalidInput;
    const OdString made = block->getName();
    block->close();
    const std::wstring text(made.c_str());
    // Block names the host makes are ASCII ("*D7").
    if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c > 0x7e; })) return eInvalidInput;
    name->text = text;
    name->spelled.assign(text.begin(), text.end());
    block_ = id;
    return eOk;
}

bool OdDbProxyEntity::isTransformable() const
{
    return file_.fromFile && keptRecord() && RulesOf(file_.dxfName);
}

OdResult OdDbProxyEntity::subTransformBy(const OdGeMatrix3d& m)
{
    if (!isTransformable()) return eNotApplicable;
    const KindRules* kind = RulesOf(file_.dxfName);
    OdGeVector3d d;
    if (!m.isTranslation(&d) && !m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    // The values are transformed in a copy, so that a refusal changes nothing.
    std::vector<KeptRun> runs = keptRecord()->runs;
    const std::vector<Slot> slots = SlotsOf(runs, *kind);
    // A record with no position where its kind has them is not one this
    // knows how to move: refused, so that it is named, not left behind.
    if (std::none_of(slots.begin(), slots.end(),
                     [](const Slot& s) { return s.role == Role::kPoint || s.role == Role::kPlanePoint; }))
        return eInvalidInput;
    // An MPOLYGON's points are all in its plane: none takes a z.
    int elevationCode = 0;
    for (const Rule& r : kind->rules)
        if (r.role == Role::kElevation) elevationCode = r.code;
    if (std::strcmp(kind->type, "MPOLYGON") == 0) elevationCode = -1;
    std::vector<uint32_t> places;
    if (!TransformSlots(runs, slots, m, elevationCode, places)) return eInvalidInput;
    JournalPlaces(runs, places);
    keptRecord()->runs = std::move(runs);
    standin::TransformBlockGraphics(movedGraphicsBlockId(), m);
    return eOk;
}

// Graphics in world positions go along; ones the record places at a point
// of its own moved with that point.
OdDbObjectId OdDbProxyEntity::movedGraphicsBlockId() const
{
    if (!keptRecord() || !HasGraphicsBlock(file_.dxfName)) return OdDbObjectId();
    bool placed = false;
    return BlockNameOf(keptRecord()->runs, &placed) && !placed ? geometryBlockId() : OdDbObjectId();
}

OdDbObjectId standin::MovedGraphicsBlock(const OdDbEntity* e)
{
    if (auto* dim = OdRxCast<OdDbDimension>(const_cast<OdDbEntity*>(e))) return dim->dimBlockId();
    auto* kept = OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(e));
    return kept ? kept->movedGraphicsBlockId() : OdDbObjectId();
}

OdResult OdDbProxyEntity::takeCopiedReferences(const std::function<OdDbObjectId(OdDbObjectId)>& copyOf)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (!keptRecord()) return eOk;
    for (KeptRun& run : keptRecord()->runs)
        for (KeptGroup& g : run.groups) {
            if (g.kind != (uint8_t)standin::dxf::Kind::kHandle || g.id.isNull() || !g.id.isValid()) continue;
            const OdDbObjectId copy = copyOf(g.id);
            if (!copy.isNull()) {
                g.id = copy;
                continue;
            }
            OdDbEntity* named = nullptr;
            if (oddbOpenOdDbEntity(named, g.id, OdDb::kForRead, true) == eOk) {
                named->close();
                g.id = OdDbObjectId();
            }
        }
    return eOk;
}

std::vector<std::pair<int, double>> OdDbProxyEntity::fileNumbers(const char* subclass) const
{
    std::vector<std::pair<int, double>> out;
    if (!keptRecord() || !subclass) return out;
    for (const KeptRun& run : keptRecord()->runs) {
        std::string marker = run.subclass;
        for (const KeptGroup& g : run.groups) {
            if (g.code == 100) {
                marker = g.spelled;
                continue;
            }
            if (marker != subclass) continue;
            if (IsReal(g)) out.emplace_back(g.code, g.real);
            else if (g.kind == (uint8_t)standin::dxf::Kind::kInt) out.emplace_back(g.code, (double)g.integer);
        }
    }
    return out;
}

void standin::FollowCopiedData(OdDbObject* copy, const std::function<OdDbObjectId(OdDbObjectId)>& copyOf)
{
    for (auto* rb = const_cast<OdResBuf*>(DxfAccess::xdata(copy)); rb; rb = rb->next()) {
        if (rb->restype() != 1005 || rb->getObjectId().isNull()) continue;
        if (const OdDbObjectId c = copyOf(rb->getObjectId()); !c.isNull()) {
            rb->setObjectId(c);
            continue;
        }
        OdDbEntity* named = nullptr;
        if (oddbOpenOdDbEntity(named, rb->getObjectId(), OdDb::kForRead, true) == eOk) {
            named->close();
            rb->setObjectId(OdDbObjectId());
        }
    }
}

void standin::CopyOwnedRecords(OdDbObjectId sourceId, OdDbObjectId copyId, std::vector<OdDbObjectId>& made,
                               std::vector<std::pair<OdDbObjectId, OdDbObjectId>>& reacted)
{
    OdDbObject* source = nullptr;
    if (oddbOpenObject(source, sourceId, OdDb::kForRead) != eOk) return;
    const DxfKept* from = DxfAccess::kept(source);
    const std::vector<KeptRun> runs = from ? from->runs : std::vector<KeptRun>();
    // What may name an owned record as its reactor: what the record names
    // (an image its definition).
    OdDbObjectIdArray named;
    if (auto* image = OdRxCast<OdDbRasterImage>(source)) named.append(image->imageDefId());
    std::vector<std::vector<bool>> own;
    for (const KeptRun& r : runs) {
        own.push_back(OwnApplicationGroups(r));
        for (size_t at = 0; at < r.groups.size(); ++at) {
            const KeptGroup& g = r.groups[at];
            if (!own.back()[at] && g.code != 360 && g.kind == (uint8_t)dxf::Kind::kHandle && !g.id.isNull())
                named.append(g.id);
        }
    }
    source->close();
    OdDbObject* copy = nullptr;
    if (oddbOpenObject(copy, copyId, OdDb::kForWrite) != eOk) return;
    DxfKept* to = DxfAccess::kept(copy);
    OdDbDatabase* db = copyId.database();
    // The copy's runs are the source's without the 360 groups that name
    // something and the object's own application groups (CopyKept).
    for (size_t i = 0; to && db && i < runs.size() && i < to->runs.size(); ++i) {
        size_t dropped = 0;
        for (size_t at = 0; at < runs[i].groups.size(); ++at) {
            const KeptGroup& g = runs[i].groups[at];
            if (own[i][at]) {
                ++dropped;
                continue;
            }
            if (!NamesWhatItOwns(g)) continue;
            OdDbProxyObject* owned = nullptr;
            if (oddbOpenObject(owned, g.id, OdDb::kForRead) != eOk) {
                ++dropped;
                continue;
            }
            auto* c = new OdDbProxyObject(*owned);
            owned->close();
            if (DxfKept* k = DxfAccess::kept(c))
                for (KeptRun& r : k->runs)
                    for (KeptGroup& h : r.groups)
                        if (h.id == sourceId) h.id = copyId;
            const OdDbObjectId cid = db->addOdDbObject(c, copyId);
            c->close();
            made.push_back(cid);
            KeptGroup own = g;
            own.id = cid;
            auto& into = to->runs[i].groups;
            into.insert(into.begin() + (long)std::min(at - dropped, into.size()), own);
            for (const OdDbObjectId& n : named) {
                OdDbObject* o = nullptr;
                if (oddbOpenObject(o, n, OdDb::kForWrite) != eOk) continue;
                const OdDbObjectIdArray& reactors = o->getPersistentReactors();
                if (std::find(reactors.begin(), reactors.end(), g.id) != reactors.end()) {
                    o->addPersistentReactor(cid);
                    reacted.emplace_back(n, cid);
                }
                o->close();
            }
        }
    }
    copy->close();
}

// A record of a kind the database models keeps, beyond its object's
// values, what it gives of them again (a LINE's second start, kept where it
// was): a move moves those positions too, as every position a record
// holds moves, in the world or in the plane the record keeps.
bool standin::MoveKeptPositions(const OdDbEntity* e, DxfKept* kept, const OdGeMatrix3d& m)
{
    OdGeVector3d d;
    if (!kept || kept->runs.empty() || !m.isTranslation(&d) || OdRxCast<OdDbProxyEntity>(const_cast<OdDbEntity*>(e)))
        return true;
    const standin::dxf::EntityKind* kind = standin::dxf::KindOfEntity(e);
    if (!kind) return true;
    const std::vector<Rule> rules = DescribedRules(kind->type);
    std::vector<Slot> slots;
    for (KeptRun& run : kept->runs) {
        if (run.whole) continue;
        for (size_t i = 0; i < run.groups.size(); ++i) {
            const KeptGroup& g = run.groups[i];
            if (!IsReal(g)) continue;
            for (const Rule& r : rules)
                if (r.code == g.code && run.subclass == r.where &&
                    (r.role == Role::kPoint || r.role == Role::kPlanePoint || r.role == Role::kElevation)) {
                    slots.push_back({&run, i, r.role});
                    break;
                }
        }
    }
    if (slots.empty()) return true;
    const OdGeVector3d normal = kept->planeNormal.isZeroLength() ? OdGeVector3d(0, 0, 1) : kept->planeNormal;
    std::vector<KeptRun> runs = kept->runs;
    // The slots name groups of the copy: the same places.
    for (Slot& s : slots) s.run = &runs[(size_t)(s.run - kept->runs.data())];
    std::vector<uint32_t> places;
    if (!TransformSlots(runs, slots, m, 0, places, normal)) return false;
    JournalPlaces(runs, places);
    kept->runs = std::move(runs);
    return true;
}
