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

}  // namespace
