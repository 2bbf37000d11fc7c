// A record kept whole moves by what its kind's description places: every
// code a kind places moves as it says, every other stays as read, a kind
// that places any of its values places all its points, and one that places
// none is not moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dxf_access.h"
#include "dxf_internal.h"
#include "dxf_kinds.h"
#include "dxf_schema.h"
#include "oddbproxy.h"

namespace {

using standin::KeptGroup;
using standin::KeptRun;
using standin::dxf::Placed;
using standin::dxf::PlacedCode;
using standin::dxf::Subclass;

struct Value {
    std::string marker;
    int code;
    double real;
};

// The subclasses of the kind, each once, with what each code is placed as.
struct KindRecord {
    std::vector<const Subclass*> subclasses;
    const PlacedCode* placed(const Subclass* sub, int code) const
    {
        for (const PlacedCode& p : sub->placed)
            if (p.code == code) return &p;
        return nullptr;
    }
};

// A record of the type with a real at every code its subclasses give or
// place (a point's y and z after its x): x at 1 + code/100, y at 2, z at 3,
// normals +Z, angles 30 degrees.
OdDbProxyEntity* KeptRecordOf(const char* type, const KindRecord& kind)
{
    auto* p = new OdDbProxyEntity();
    standin::DxfAccess::fileRecord(p).dxfName = std::wstring(type, type + std::strlen(type));
    standin::DxfAccess::fileRecord(p).fromFile = true;
    auto* kept = new standin::DxfKept();
    for (const Subclass* sub : kind.subclasses) {
        KeptRun run;
        run.subclass = sub->marker;
        std::vector<int> codes = sub->codes;
        for (const PlacedCode& pc : sub->placed)
            if (std::find(codes.begin(), codes.end(), pc.code) == codes.end()) codes.push_back(pc.code);
        for (int code : codes) {
            const PlacedCode* pc = kind.placed(sub, code);
            auto real = [&run](int c, double v) {
                KeptGroup g;
                g.code = c;
                g.kind = (uint8_t)standin::dxf::Kind::kReal;
                g.real = v;
                run.groups.push_back(g);
            };
            if (pc && pc->as == Placed::kNormal) {
                real(code, 0);
                real(code + 10, 0);
                real(code + 20, 1);
            } else if (standin::dxf::IsPointCode(code)) {
                real(code, 1 + code / 100.0);
                real(code + 10, 2);
                real(code + 20, 3);
            } else {
                real(code, pc && pc->as == Placed::kAngle ? 30 : 1 + code / 100.0);
            }
        }
        kept->runs.push_back(run);
    }
    standin::DxfAccess::setKept(p, kept);
    return p;
}

// What the move makes of a value placed as `as` (x, y and z of a point),
// moved by (3, 4, 5) or turned a quarter about Z and made twice the size.
void Expected(Placed as, bool turned, double v[3])
{
    const double x = v[0], y = v[1], z = v[2];
    switch (as) {
    case Placed::kPoint:
    case Placed::kPlanePoint:
        if (!turned) {
            v[0] = x + 3, v[1] = y + 4, v[2] = z + 5;
        } else {
            v[0] = -2 * y, v[1] = 2 * x, v[2] = 2 * z;
        }
        break;
    case Placed::kVector:
        if (turned) v[0] = -2 * y, v[1] = 2 * x, v[2] = 2 * z;
        break;
    case Placed::kDirection:
        if (turned) v[0] = -y, v[1] = x;
        break;
    case Placed::kElevation: v[0] = turned ? 2 * x : x + 5; break;
    case Placed::kLength: v[0] = turned ? 2 * x : x; break;
    case Placed::kAngle: v[0] = turned ? x + 90 : x; break;
    case Placed::kNormal: break;
    }
}

TEST(DxfKindMoves, AKeptRecordMovesByWhatItsKindPlaces)
{
    std::set<std::string> moved;
    for (const standin::dxf::EntityKind& k : standin::dxf::EntityKinds()) {
        KindRecord kind;
        for (const Subclass* s : k.subclasses)
            if (std::find(kind.subclasses.begin(), kind.subclasses.end(), s) == kind.subclasses.end())
                kind.subclasses.push_back(s);
        bool places = false;
        for (const Subclass* s : kind.subclasses) places = places || !s->placed.empty();
        SCOPED_TRACE(k.type);
        if (!places) {
            // Nor is one moved by places of its codes listed elsewhere.
            OdDbProxyEntity* p = KeptRecordOf(k.type, kind);
            EXPECT_FALSE(p->isTransformable());
            delete p;
            continue;
        }
        moved.insert(k.type);
        // A kind that is moved places every point it has.
        for (const Subclass* s : kind.subclasses)
            for (int code : s->codes) {
                if (!standin::dxf::IsPointCode(code)) continue;
                EXPECT_TRUE(kind.placed(s, code)) << s->marker << " " << code << " is not placed";
            }

        for (bool turned : {false, true}) {
            SCOPED_TRACE(turned ? "turned" : "moved");
            OdDbProxyEntity* p = KeptRecordOf(k.type, kind);
            ASSERT_TRUE(p->isTransformable());
            const std::vector<KeptRun> before = standin::DxfAccess::kept(p)->runs;
            const OdGeMatrix3d m = turned ? OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis) *
                                                OdGeMatrix3d::scaling(2)
                                          : OdGeMatrix3d::translation(OdGeVector3d(3, 4, 5));
            ASSERT_EQ(p->transformBy(m), eOk);
            const std::vector<KeptRun>& after = standin::DxfAccess::kept(p)->runs;
            ASSERT_EQ(after.size(), before.size());
            for (size_t r = 0; r < before.size(); ++r) {
                const Subclass* sub = kind.subclasses[r];
                const std::vector<KeptGroup>& was = before[r].groups;
                ASSERT_EQ(after[r].groups.size(), was.size());
                for (size_t i = 0; i < was.size(); ++i) {
                    const PlacedCode* pc = kind.placed(sub, was[i].code);
                    double v[3] = {was[i].real, 0, 0};
                    size_t n = 1;
                    if (pc && standin::dxf::IsPointCode(pc->code)) {
                        v[1] = was[i + 1].real, v[2] = was[i + 2].real;
                        n = 3;
                    }
                    if (pc) Expected(pc->as, turned, v);
                    for (size_t c = 0; c < n; ++c)
                        EXPECT_NEAR(after[r].groups[i + c].real, v[c], 1e-9)
                            << sub->marker << " " << after[r].groups[i + c].code;
                    i += n - 1;
                }
            }
            delete p;
        }
    }
    // The kinds the database models that a file may give whole: each is
    // moved by its own places.
    for (const char* type : {"LINE", "POINT", "CIRCLE", "ARC", "ELLIPSE", "SOLID", "LWPOLYLINE", "SPLINE", "MLINE",
                             "TEXT", "MTEXT"})
        EXPECT_TRUE(moved.count(type)) << type;
}

// A record kept whole of the type: one run in `marker` of the groups,
// integers where `integer` says so.
struct Given {
    int code;
    double value;
    bool integer = false;
};

OdDbProxyEntity* KeptRecord(const char* type, const char* marker, const std::vector<Given>& groups)
{
    auto* p = new OdDbProxyEntity();
    standin::DxfAccess::fileRecord(p).dxfName = std::wstring(type, type + std::strlen(type));
    standin::DxfAccess::fileRecord(p).fromFile = true;
    auto* kept = new standin::DxfKept();
    KeptRun run;
    run.subclass = marker;
    for (const Given& g : groups) {
        KeptGroup k;
        k.code = g.code;
        k.kind = (uint8_t)(g.integer ? standin::dxf::Kind::kInt : standin::dxf::Kind::kReal);
        k.real = g.value;
        k.integer = (int64_t)g.value;
        run.groups.push_back(k);
    }
    kept->runs.push_back(run);
    standin::DxfAccess::setKept(p, kept);
    return p;
}

// The record's groups as "code value" after moving it by `by`; "refused"
// when it cannot be moved so.
std::string MovedBy(const char* type, const char* marker, const std::vector<Given>& groups, const OdGeVector3d& by)
{
    OdDbProxyEntity* p = KeptRecord(type, marker, groups);
    std::string out;
    if (p->transformBy(OdGeMatrix3d::translation(by)) != eOk) out = "refused";
    else
        for (const KeptGroup& g : standin::DxfAccess::kept(p)->runs[0].groups)
            out += std::to_string(g.code) + " " +
                   (g.kind == (uint8_t)standin::dxf::Kind::kInt ? std::to_string(g.integer) : std::to_string(g.real)) +
                   "\n";
    delete p;
    return out;
}

}  // namespace

// Points a file gave without z lie at z 0, or at the record's elevation
// where its kind has one: moved up, a point takes the z it left out, a
// record the elevation it left out (before its first point); moved across
// they stay as given. A kind whose points all lie in its plane cannot
// take them up without the elevation it keeps in a point of its own.
TEST(DxfKindMoves, PointsGivenWithoutZTakeOneWhenMovedUp)
{
    const std::vector<Given> leader = {{10, 1}, {20, 2}, {10, 3}, {20, 4}, {40, 2.5}};
    EXPECT_EQ(MovedBy("LEADER", "AcDbLeader", leader, OdGeVector3d(1, 1, 0)),
              "10 2.000000\n20 3.000000\n10 4.000000\n20 5.000000\n40 2.500000\n");
    EXPECT_EQ(MovedBy("LEADER", "AcDbLeader", leader, OdGeVector3d(1, 1, 5)),
              "10 2.000000\n20 3.000000\n30 5.000000\n10 4.000000\n20 5.000000\n30 5.000000\n40 2.500000\n");
    // A point of x alone takes its y of 0 before its z.
    EXPECT_EQ(MovedBy("LEADER", "AcDbLeader", {{10, 1}}, OdGeVector3d(0, 0, 5)),
              "10 1.000000\n20 0.000000\n30 5.000000\n");

    const std::vector<Given> polyline = {{90, 2, true}, {70, 0, true}, {10, 1}, {20, 2}, {10, 3}, {20, 4}};
    EXPECT_EQ(MovedBy("LWPOLYLINE", "AcDbPolyline", polyline, OdGeVector3d(1, 1, 0)),
              "90 2\n70 0\n10 2.000000\n20 3.000000\n10 4.000000\n20 5.000000\n");
    EXPECT_EQ(MovedBy("LWPOLYLINE", "AcDbPolyline", polyline, OdGeVector3d(1, 1, 5)),
              "90 2\n70 0\n38 5.000000\n10 2.000000\n20 3.000000\n10 4.000000\n20 5.000000\n");

    // An MPOLYGON whose first point (its elevation) has no z.
    const std::vector<Given> mpolygon = {{70, 1, true}, {10, 0},       {20, 0},       {91, 1, true}, {92, 2, true},
                                         {72, 0, true}, {73, 1, true}, {93, 2, true}, {10, 1},       {20, 1},
                                         {10, 2},       {20, 2}};
    EXPECT_EQ(MovedBy("MPOLYGON", "AcDbMPolygon", mpolygon, OdGeVector3d(0, 0, 5)), "refused");
    EXPECT_NE(MovedBy("MPOLYGON", "AcDbMPolygon", mpolygon, OdGeVector3d(1, 1, 0)), "refused");
}
