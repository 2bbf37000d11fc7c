// Entity and geometry behaviour of the stand-in that the utility classes
// rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "gcapdocmanager.h"
#include "gcdbutil.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"

namespace {

void ExpectPoint(const OdGePoint2d& p, double x, double y)
{
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

void ExpectPoint(const OdGePoint3d& p, double x, double y, double z)
{
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

}  // namespace

TEST(HostGeometry, CurvesSampleFromStartToEndAndLinesIntersectWithinBounds)
{
    OdGeCircArc2d quarter(OdGePoint2d(0, 0), 2.0, 0.0, M_PI / 2);
    OdGePoint2dArray pts;
    quarter.getSamplePoints(5, pts);
    ASSERT_EQ(pts.length(), 5);
    ExpectPoint(pts[0], 2, 0);
    ExpectPoint(pts[4], 0, 2);

    // A clockwise three-point arc still starts at its first point.
    OdGeCircArc2d cw(OdGePoint2d(0, 0), OdGePoint2d(1, 1), OdGePoint2d(2, 0));
    EXPECT_TRUE(cw.isClockWise());
    ExpectPoint(cw.center(), 1, 0);
    ExpectPoint(cw.startPoint(), 0, 0);
    ExpectPoint(cw.evalPoint((cw.startAng() + cw.endAng()) / 2), 1, 1);
    OdGeCircArc2d line(OdGePoint2d(0, 0), OdGePoint2d(1, 0), OdGePoint2d(2, 0));
    EXPECT_TRUE(std::isnan(line.center().x));

    OdGeRay2d ray(OdGePoint2d(0, 0), OdGePoint2d(1, 0));
    OdGePoint2d hit;
    EXPECT_TRUE(OdGeLineSeg2d(OdGePoint2d(5, -1), OdGePoint2d(5, 1)).intersectWith(ray, hit));
    ExpectPoint(hit, 5, 0);
    EXPECT_FALSE(OdGeLineSeg2d(OdGePoint2d(-5, -1), OdGePoint2d(-5, 1)).intersectWith(ray, hit));
    int n = 0;
    OdGePoint2d p1, p2;
    EXPECT_TRUE(quarter.intersectWith(OdGeRay2d(OdGePoint2d(-5, 1), OdGePoint2d(0, 1)), n, p1, p2));
    ASSERT_EQ(n, 1);  // the other crossing lies outside the quarter
    ExpectPoint(p1, std::sqrt(3.0), 1);
}

TEST(HostGeometry, ReversedCurvesRunBackOverTheSamePoints)
{
    OdGeCircArc2d arc(OdGePoint2d(0, 0), 1.0, 0.0, M_PI / 2);
    arc.reverseParam();
    ExpectPoint(arc.startPoint(), 0, 1);
    ExpectPoint(arc.endPoint(), 1, 0);
    ExpectPoint(arc.evalPoint((arc.startAng() + arc.endAng()) / 2), std::sqrt(0.5), std::sqrt(0.5));

    OdGeEllipArc2d ell(OdGePoint2d(0, 0), OdGeVector2d(1, 0), OdGeVector2d(0, 1), 2, 1, 0, M_PI / 2);
    ell.reverseParam();
    ExpectPoint(ell.startPoint(), 0, 1);
    ExpectPoint(ell.endPoint(), 2, 0);

    // Cubic Bezier (0, 0), (1, 2), (3, 2), (4, 0); at 0.75 it passes
    // (1 x 0.140625 + 3 x 0.421875 + 4 x 0.421875, 2 x 0.140625 + 2 x 0.421875).
    OdGeNurbCurve2d bezier(3, OdGeDoubleArray{0, 0, 0, 0, 1, 1, 1, 1},
                           OdGePoint2dArray{{0, 0}, {1, 2}, {3, 2}, {4, 0}});
    bezier.reverseParam();
    ExpectPoint(bezier.startPoint(), 4, 0);
    ExpectPoint(bezier.endPoint(), 0, 0);
    ExpectPoint(bezier.evalPoint(0.25), 3.09375, 1.125);  // the old point at 0.75

    OdGeLineSeg2d seg(OdGePoint2d(1, 2), OdGePoint2d(3, 5));
    seg.reverseParam();
    ExpectPoint(seg.startPoint(), 3, 5);
    ExpectPoint(seg.endPoint(), 1, 2);
}

TEST(HostGeometry, MatricesRotateScaleAndExtentsStartInvalid)
{
    OdGePoint3d p(2, 0, 5);
    p.transformBy(OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis, OdGePoint3d(1, 0, 0)));
    ExpectPoint(p, 1, 1, 5);
    OdGePoint3d q(3, 3, 3);
    q.transformBy(OdGeMatrix3d::scaling(2, OdGePoint3d(1, 1, 1)));
    ExpectPoint(q, 5, 5, 5);
    OdGeExtents3d ext;
    EXPECT_FALSE(ext.isValidExtents());
    EXPECT_EQ(ext.minPoint().x, 1e20);
    ext.addPoint(OdGePoint3d(1, 2, 3));
    EXPECT_TRUE(ext.isValidExtents());

    double a[3] = {0, 0, 1}, b[3] = {0, -2, 1}, r[3];
    EXPECT_DOUBLE_EQ(gcutAngle(a, b), 1.5 * M_PI);
    EXPECT_DOUBLE_EQ(gcutDistance(a, b), 2.0);
    gcutPolar(a, M_PI, 3, r);
    ExpectPoint(OdGePoint3d(r[0], r[1], r[2]), -3, 0, 1);
}

TEST(HostColours, PaletteAndColourMethods)
{
    EXPECT_EQ(gcedGetRGB(1), 0x0000FFu);  // red in the low byte
    EXPECT_EQ(gcedGetRGB(5), 0xFF0000u);
    EXPECT_EQ(gcedGetRGB(7), 0xFFFFFFu);
    EXPECT_EQ(gcedGetRGB(11), 0x7F7FFFu);  // half-saturated red
    EXPECT_EQ(gcedGetRGB(256), 0u);
    EXPECT_EQ(gcedGetRGB(-1), 0u);
    OdCmColor c;
    EXPECT_TRUE(c.isByLayer());
    EXPECT_EQ(c.colorIndex(), 256);
    c.setColorIndex(0);
    EXPECT_TRUE(c.isByBlock());
    c.setRGB(1, 2, 3);
    EXPECT_EQ(c.colorMethod(), 194);
    EXPECT_EQ(c.blue(), 3);
    OdCmTransparency t = OdCmTransparency::fromSerialized(0x020000FE);
    EXPECT_EQ(t.method(), OdCmTransparency::kByAlpha);
    EXPECT_EQ(t.alpha(), 254);
}

TEST(HostEntities, ArcsKeepAnglesInOneTurnAndEllipsesRefuseBadRatios)
{
    OdDbArc arc(OdGePoint3d(0, 0, 0), 1, -M_PI / 2, 2.5 * M_PI);
    EXPECT_NEAR(arc.startAngle(), 1.5 * M_PI, 1e-12);
    EXPECT_NEAR(arc.endAngle(), 0.5 * M_PI, 1e-12);
    OdGePoint3d p;
    ASSERT_EQ(arc.getPointAtDist(M_PI / 2, p), eOk);  // a quarter past the bottom
    ExpectPoint(p, 1, 0, 0);
    EXPECT_NE(arc.getPointAtDist(4, p), eOk);

    OdDbEllipse e;
    EXPECT_EQ(e.set(OdGePoint3d(), OdGeVector3d::kZAxis, OdGeVector3d(2, 0, 0), 1.5), eInvalidInput);
    EXPECT_EQ(e.set(OdGePoint3d(), OdGeVector3d::kZAxis, OdGeVector3d(2, 0, 0), 0.0), eInvalidInput);
    ASSERT_EQ(e.set(OdGePoint3d(1, 1, 0), OdGeVector3d::kZAxis, OdGeVector3d(2, 0, 0), 0.5, 0, M_PI / 2), eOk);
    e.getEndPoint(p);
    ExpectPoint(p, 1, 2, 0);

    // A knot vector that does not fit makes the spline null.
    OdGePoint3dArray ctrl{OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0), OdGePoint3d(2, 0, 0)};
    OdDbSpline bad(3, false, false, false, ctrl, OdGeDoubleArray{0, 0, 0, 1, 1, 1}, OdGeDoubleArray());
    EXPECT_TRUE(bad.isNull());
    OdDbSpline good(2, false, false, false, ctrl, OdGeDoubleArray{0, 0, 0, 1, 1, 1}, OdGeDoubleArray());
    EXPECT_FALSE(good.isNull());
    good.getPointAtParam(0.5, p);
    ExpectPoint(p, 1, 0.5, 0);
}

TEST(HostEntities, PolylineSegmentsClosestPointsAndTransformation)
{
    OdDbPolyline pl;
    pl.addVertexAt(0, OdGePoint2d(0, 0), 1.0);  // half circle below (1, 0)
    pl.addVertexAt(1, OdGePoint2d(2, 0));
    pl.addVertexAt(2, OdGePoint2d(2, 2));
    EXPECT_EQ(pl.segType(0), OdDb::kArc);
    OdGeCircArc2d arc;
    ASSERT_EQ(pl.getArcSegAt(0, arc), eOk);
    ExpectPoint(arc.center(), 1, 0);
    ExpectPoint(arc.evalPoint((arc.startAng() + arc.endAng()) / 2), 1, -1);
    OdGeLineSeg2d seg;
    EXPECT_NE(pl.getLineSegAt(0, seg), eOk);
    EXPECT_NE(pl.getLineSegAt(2, seg), eOk);  // open: no closing segment
    OdGePoint3d c;
    pl.getClosestPointTo(OdGePoint3d(1, -3, 0), c);
    ExpectPoint(c, 1, -1, 0);
    OdGeExtents3d ext;
    pl.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().y, -1, 1e-9);

    ASSERT_EQ(pl.transformBy(OdGeMatrix3d::rotation(M_PI, OdGeVector3d::kZAxis)), eOk);
    OdGePoint2d v;
    pl.getPointAt(2, v);
    ExpectPoint(v, -2, -2);
    OdGeMatrix3d mirror;
    mirror.setToScaling(OdGeScale3d(-1, 1, 1));
    pl.transformBy(mirror);
    EXPECT_EQ(pl.getBulgeAt(0), -1.0);
    OdGeMatrix3d stretch;
    stretch.setToScaling(OdGeScale3d(2, 1, 1));
    EXPECT_EQ(pl.transformBy(stretch), eCannotScaleNonUniformly);

    // A parameter that is no number is outside the curve.
    OdDb3dPolyline pl3;
    pl3.appendVertex(OdGePoint3d(0, 0, 0));
    pl3.appendVertex(OdGePoint3d(1, 0, 0));
    OdGePoint3d at;
    for (double t : {std::nan(""), HUGE_VAL, -1e300}) {
        EXPECT_EQ(pl.getPointAtParam(t, at), eInvalidInput);
        EXPECT_EQ(pl3.getPointAtParam(t, at), eInvalidInput);
    }
    ASSERT_EQ(pl3.getPointAtParam(0.5, at), eOk);
    ExpectPoint(at, 0.5, 0, 0);
}

TEST(HostEntities, MTextPlainTextTurnsParagraphsIntoLineBreaks)
{
    OdDbMText m;
    m.setContents(L"{\\fArial|b0;ab}\\Pc\\\\d\\P\\H2.5x;e\\~f\\U+5730");
    EXPECT_EQ(m.text(), L"ab\r\nc\\d\r\ne f地");
    // A code that is no hexadecimal number is text, never a NUL that would
    // cut the string short.
    m.setContents(L"a\\U+zz12b\\U+4");
    EXPECT_EQ(m.text(), L"a\\U+zz12b\\U+4");
    EXPECT_EQ(m.flowDirection(), OdDbMTextEnums::kLtoR);
}

TEST(HostEntities, HatchLoopsMustCloseAndPatternsMustExist)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto add = [&](OdDbEntity* e) {
        OdDbObjectId id;
        ms->appendOdDbEntity(id, e);
        e->close();
        return id;
    };
    OdDbObjectId l1 = add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0)));
    OdDbObjectId l2 = add(new OdDbLine(OdGePoint3d(1, 0, 0), OdGePoint3d(0, 1, 0)));
    OdDbObjectId l3 = add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(0, 1, 0)));
    ms->close();

    OdDbHatch hatch;
    EXPECT_EQ(hatch.setPattern(OdDbHatch::kPreDefined, L"NOSUCH"), eInvalidInput);
    EXPECT_EQ(hatch.setPattern(OdDbHatch::kPreDefined, L"ANSI31"), eOk);
    EXPECT_EQ(hatch.evaluateHatch(), eInvalidInput);
    EXPECT_EQ(hatch.appendLoop(OdDbHatch::kExternal, OdDbObjectIdArray{l1, l2}), eInvalidInput);
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, OdDbObjectIdArray{l1, l2, l3}), eOk);
    EXPECT_EQ(hatch.evaluateHatch(), eOk);
    int type = 0;
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    ASSERT_EQ(hatch.getLoopAt(0, type, edges, types), eOk);
    EXPECT_EQ(edges.length(), 3);
    EXPECT_EQ(types, (OdGeIntArray{1, 1, 1}));
    // The third line was drawn the other way: the loop turns it round so
    // that the ring runs (0, 0), (1, 0), (0, 1) and back.
    auto* third = static_cast<OdGeCurve2d*>(edges[2]);
    ExpectPoint(third->startPoint(), 0, 1);
    ExpectPoint(third->endPoint(), 0, 0);
    EXPECT_EQ(standin::OpenObjectCount(), 0);

    // Regions: one from the ring of three lines.
    OdDbLine a(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0)), b(OdGePoint3d(1, 0, 0), OdGePoint3d(0, 1, 0)),
        c(OdGePoint3d(0, 1, 0), OdGePoint3d(0, 0, 0));
    OdDbVoidPtrArray curves{&a, &b, &c}, regions;
    ASSERT_EQ(OdDbRegion::createFromCurves(curves, regions), eOk);
    ASSERT_EQ(regions.length(), 1);
    EXPECT_NEAR(static_cast<OdDbRegion*>(regions[0])->area(), 0.5, 1e-9);
    delete static_cast<OdDbRegion*>(regions[0]);
    OdDbVoidPtrArray open{&a, &b}, none;
    EXPECT_EQ(OdDbRegion::createFromCurves(open, none), eInvalidInput);
    EXPECT_TRUE(none.isEmpty());
}

TEST(HostEntities, HatchLoopsJoinEndsFarOutAndRefuseEndsThatAreNoPoints)
{
    // A loop of lines through the points, given with every other line
    // turned round and the lines out of order: what appendLoop gives back.
    auto join = [](const std::vector<OdGePoint2d>& pts, std::vector<OdGePoint2d>* ring = nullptr) {
        std::vector<OdGeLineSeg2d> lines;
        for (size_t i = 0; i < pts.size(); ++i) {
            const OdGePoint2d &a = pts[i], &b = pts[(i + 1) % pts.size()];
            lines.emplace_back(i % 2 ? b : a, i % 2 ? a : b);
        }
        OdGeVoidPointerArray edges;
        OdGeIntArray types;
        edges.append(&lines[0]);
        for (size_t i = lines.size() - 1; i > 0; --i) edges.append(&lines[i]);
        for (size_t i = 0; i < lines.size(); ++i) types.append(OdDbHatch::kLine);
        OdDbHatch hatch;
        const OdResult res = hatch.appendLoop(OdDbHatch::kExternal, edges, types);
        if (res == eOk && ring) {
            int type = 0;
            OdGeVoidPointerArray got;
            hatch.getLoopAt(0, type, got, types);
            ring->clear();
            for (void* e : got) ring->push_back(static_cast<OdGeCurve2d*>(e)->startPoint());
        }
        return res;
    };
    const double far = 1e33, big = std::ldexp(1.0, 33), below = std::nextafter(big, 0.0);
    for (const auto& pts : std::vector<std::vector<OdGePoint2d>>{
             {{far, far}, {far * 3, far}, {far * 3, far * 2}, {far, far * 5}},
             {{-far, 0}, {far, 0}, {far, 1}, {-far, 1}},
             {{-1e307, -1e307}, {1e307, -1e307}, {1e307, 1e307}},
             {{0, 0}, {big * 2, 0}, {big * 2, 3}},
         }) {
        std::vector<OdGePoint2d> ring;
        ASSERT_EQ(join(pts, &ring), eOk) << pts[1].x;
        ASSERT_EQ(ring.size(), pts.size());
        for (size_t i = 0; i < pts.size(); ++i) EXPECT_EQ(ring[i], pts[i]) << pts[1].x << " " << i;
    }

    // Ends a step of a double apart join on either side of 2^33, where
    // the step grows past the tolerance, and across it.
    auto gap = [&](double x0, double x1) {
        OdGeLineSeg2d a(OdGePoint2d(x0, 0), OdGePoint2d(x0, 5)), b(OdGePoint2d(x1, 5), OdGePoint2d(0, 0)),
            c(OdGePoint2d(0, 0), OdGePoint2d(x0, 0));
        OdDbHatch hatch;
        return hatch.appendLoop(OdDbHatch::kExternal, OdGeVoidPointerArray{&a, &b, &c},
                                OdGeIntArray{OdDbHatch::kLine, OdDbHatch::kLine, OdDbHatch::kLine});
    };
    EXPECT_EQ(gap(below, std::nextafter(below, 0.0)), eOk);
    EXPECT_EQ(gap(below, big), eOk);
    EXPECT_EQ(gap(big, below), eOk);
    EXPECT_EQ(gap(big + 1, big + 1), eOk);
    EXPECT_EQ(gap(big, std::nextafter(big, 1e300)), eInvalidInput);  // 2^-19 apart
    EXPECT_EQ(gap(far, std::nextafter(far, 1e300)), eInvalidInput);

    for (double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
        EXPECT_EQ(join({{0, 0}, {bad, 0}, {1, 1}}), eInvalidInput);
        EXPECT_EQ(join({{0, 0}, {1, 0}, {0, bad}}), eInvalidInput);
    }
}

// Many edges ending at one point are all placed, each where the one before
// ends, whichever way round they were given.
TEST(HostEntities, HatchLoopsTakeEveryEdgeOfCoincidentEnds)
{
    const OdGePoint2d a(0, 0), b(10, 0), c(10, 10), d(0, 10);
    std::vector<OdGeLineSeg2d> lines{{a, b}};
    const size_t zeros = 500;
    for (size_t i = 0; i < zeros; ++i) lines.emplace_back(b, b);
    lines.emplace_back(b, c);
    lines.emplace_back(d, c);  // turned round
    lines.emplace_back(a, a);  // at the start: placed last
    lines.emplace_back(d, a);
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    for (auto& l : lines) edges.append(&l), types.append(OdDbHatch::kLine);
    OdDbHatch hatch;
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, edges, types), eOk);
    int type = 0;
    OdGeVoidPointerArray got;
    hatch.getLoopAt(0, type, got, types);
    std::vector<std::pair<OdGePoint2d, OdGePoint2d>> ring, expected{{a, b}};
    for (void* e : got)
        ring.emplace_back(static_cast<OdGeCurve2d*>(e)->startPoint(), static_cast<OdGeCurve2d*>(e)->endPoint());
    for (size_t i = 0; i < zeros; ++i) expected.emplace_back(b, b);
    for (const auto& [from, to] : {std::pair{b, c}, {c, d}, {d, a}, {a, a}}) expected.emplace_back(from, to);
    EXPECT_TRUE(ring == expected);
}

TEST(HostEntities, BlockReferencesExplodeAndRefuseNonUniformScaleOfArcs)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    OdDbBlockTable* bt = nullptr;
    ASSERT_EQ(db->getBlockTable(bt, OdDb::kForWrite), eOk);
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"B");
    OdDbObjectId blockId;
    ASSERT_EQ(bt->add(blockId, block), eOk);
    bt->close();
    OdDbObjectId id;
    auto* circle = new OdDbCircle(OdGePoint3d(1, 0, 0), OdGeVector3d::kZAxis, 1);
    block->appendOdDbEntity(id, circle);
    circle->close();
    block->close();

    OdDbBlockReference ref(OdGePoint3d(10, 0, 0), blockId);
    ref.setRotation(M_PI / 2);
    OdDbVoidPtrArray parts;
    ASSERT_EQ(ref.explode(parts), eOk);
    ASSERT_EQ(parts.length(), 1);
    auto* c = static_cast<OdDbCircle*>(parts[0]);
    ExpectPoint(c->center(), 10, 1, 0);
    EXPECT_TRUE(c->isNewObject());
    delete c;
    ref.setScaleFactors(OdGeScale3d(2, 1, 1));
    OdDbVoidPtrArray none;
    EXPECT_EQ(ref.explode(none), eExplodeAgain);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(ref.attributeIterator(), nullptr);
}

TEST(HostEntities, AttributesBelongToTheirReference)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* ref = new OdDbBlockReference(OdGePoint3d(5, 5, 0), db->getModelSpaceId());
    OdDbObjectId refId, attrId;
    auto* loose = new OdDbAttribute();
    ASSERT_EQ(ms->appendOdDbEntity(refId, ref), eOk);
    ms->close();

    OdDbAttributeDefinition def(OdGePoint3d(1, 0, 0), L"默认", L"name", L"Name?");
    def.setHeight(2);
    EXPECT_EQ(def.tag(), L"NAME");
    ASSERT_EQ(loose->setAttributeFromBlock(&def, ref->blockTransform()), eOk);
    ASSERT_EQ(ref->appendAttribute(attrId, loose), eOk);
    EXPECT_EQ(loose->tag(), L"NAME");
    EXPECT_EQ(loose->textString(), L"默认");
    EXPECT_EQ(loose->position(), OdGePoint3d(6, 5, 0));
    loose->close();
    // Properties set with sub-entities (the default) reach the attributes.
    ASSERT_EQ(ref->setColorIndex(3), eOk);
    ASSERT_EQ(ref->setColorIndex(5, false), eOk);
    OdDbAttribute* attr = nullptr;
    ASSERT_EQ(oddbOpenObject(attr, attrId, OdDb::kForRead), eOk);
    EXPECT_EQ(attr->colorIndex(), 3);
    attr->close();
    OdDbObjectIterator* it = ref->attributeIterator();
    ASSERT_NE(it, nullptr);
    it->start();
    EXPECT_EQ(it->objectId(), attrId);
    it->step();
    EXPECT_TRUE(it->done());
    delete it;
    EXPECT_EQ(ref->erase(), eOk);  // its attributes go with it
    ref->close();
    EXPECT_TRUE(attrId.isErased());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(HostEntities, ANewReferenceHoldsItsAttributesUntilItIsAppended)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    auto* ref = new OdDbBlockReference(OdGePoint3d(5, 5, 0), db->getModelSpaceId());
    auto* first = new OdDbAttribute();
    auto* second = new OdDbAttribute();
    first->setTag(L"A");
    first->setPosition(OdGePoint3d(6, 5, 0));
    second->setTag(L"B");
    OdDbObjectId id;
    ASSERT_EQ(ref->appendAttribute(id, first), eOk);
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(first->close(), eOk);  // the reference keeps it
    EXPECT_TRUE(first->isHeld());
    ASSERT_EQ(ref->appendAttribute(id, second), eOk);
    EXPECT_EQ(ref->appendAttribute(id, second), eInvalidInput);  // already held

    OdDbBlockReference other;
    EXPECT_EQ(other.appendAttribute(id, first), eInvalidInput);
    EXPECT_EQ(first->erase(), eNotInDatabase);
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    EXPECT_EQ(ms->appendOdDbEntity(id, first), eAlreadyInDb);
    OdDbObjectIterator* it = ref->attributeIterator();
    ASSERT_NE(it, nullptr);
    int count = 0;
    for (it->start(); !it->done(); it->step(), ++count) EXPECT_TRUE(it->objectId().isNull());
    EXPECT_EQ(count, 2);
    delete it;
    ASSERT_EQ(ref->transformBy(OdGeMatrix3d::translation(OdGeVector3d(1, 0, 0))), eOk);  // they move with it

    // Appending the reference adds them after it, closed, owned by it.
    OdDbObjectId refId;
    ASSERT_EQ(ms->appendOdDbEntity(refId, ref), eOk);
    ms->close();
    EXPECT_FALSE(first->isHeld());
    EXPECT_EQ(first->ownerId(), refId);
    EXPECT_EQ(first->handle(), ref->handle() + 1);
    EXPECT_EQ(second->handle(), ref->handle() + 2);
    EXPECT_EQ(first->layerId(), db->clayer());
    it = ref->attributeIterator();
    it->start();
    EXPECT_EQ(it->objectId(), first->objectId());
    delete it;
    ref->close();
    EXPECT_EQ(standin::OpenObjectCount(), 0);

    OdDbAttribute* attr = nullptr;
    ASSERT_EQ(oddbOpenObject(attr, first->objectId(), OdDb::kForRead), eOk);
    ExpectPoint(attr->position(), 7, 5, 0);
    attr->close();
    OdDbEntity* opened = nullptr;
    ASSERT_EQ(oddbOpenOdDbEntity(opened, refId, OdDb::kForWrite), eOk);
    EXPECT_EQ(opened->erase(), eOk);
    opened->close();
    EXPECT_TRUE(first->objectId().isErased() && second->objectId().isErased());
    EXPECT_TRUE(standin::HostViolations().empty());
}

TEST(HostEntities, AttributesHeldByAReferenceThatNeverEntersADatabaseGoWithIt)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    auto* ref = new OdDbBlockReference(OdGePoint3d(), db->getModelSpaceId());
    OdDbObjectId id;
    auto* attr = new OdDbAttribute();
    ASSERT_EQ(ref->appendAttribute(id, attr), eOk);
    attr->close();
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    standin::FailHostCall("append", eLockViolation);
    EXPECT_EQ(ms->appendOdDbEntity(id, ref), eLockViolation);
    ms->close();
    EXPECT_TRUE(attr->isHeld());
    OdDbBlockReference* copy = static_cast<OdDbBlockReference*>(ref->clone());
    EXPECT_EQ(copy->attributeIterator(), nullptr);  // a copy holds none
    delete copy;
    delete ref;  // the sanitizer reports the attribute if it is left behind
}

TEST(HostEntities, ImageDefinitionsLoadExistingFilesOnly)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\a.dwg")->database();
    OdDbObjectId dictId;
    ASSERT_EQ(OdDbRasterImageDef::createImageDictionary(db, dictId), eOk);
    EXPECT_EQ(OdDbRasterImageDef::imageDictionary(db), dictId);
    OdDbObjectId again;
    EXPECT_EQ(OdDbRasterImageDef::createImageDictionary(db, again), eOk);
    EXPECT_EQ(again, dictId);

    OdDbRasterImageDef def;
    EXPECT_EQ(def.setSourceFileName(L"C:\\tiles\\0_0.png"), eOk);
    EXPECT_EQ(def.load(), eFileNotFound);
    std::string native = standin::NativePath(L"C:\\tiles\\0_0.png");
    std::filesystem::create_directories(std::filesystem::path(native).parent_path());
    std::ofstream(native) << "png";
    EXPECT_EQ(def.load(), eOk);
    EXPECT_TRUE(def.isLoaded());
    standin::FailHostCall("setSourceFileName", eInvalidInput);
    EXPECT_EQ(def.setSourceFileName(L"x.png"), eInvalidInput);

    OdDbRasterImage image;
    EXPECT_FALSE(image.setOrientation(OdGePoint3d(), OdGeVector3d(1, 0, 0), OdGeVector3d(2, 0, 0)));
    EXPECT_TRUE(image.setOrientation(OdGePoint3d(1, 1, 0), OdGeVector3d(4, 0, 0), OdGeVector3d(0, 2, 0)));
    image.setDisplayOpt(OdDbRasterImage::kTransparent, true);
    EXPECT_TRUE(image.isSetDisplayOpt(OdDbRasterImage::kTransparent));
    OdGeExtents3d ext;
    image.getGeomExtents(ext);
    EXPECT_EQ(ext.maxPoint(), OdGePoint3d(5, 3, 0));
}

TEST(HostEntities, ProxiesGoByTheHostsClassNamesAndExplodeIntoTheirGraphics)
{
    OdDbProxyEntity proxy;
    EXPECT_EQ(proxy.isA()->name(), L"AcDbZombieEntity");
    EXPECT_TRUE(proxy.isKindOf(OdDbEntity::desc()));
    EXPECT_EQ(OdDbProxyObject().isA()->name(), L"AcDbProxyObject");
    EXPECT_FALSE(OdDbProxyObject().isKindOf(OdDbEntity::desc()));

    OdDbVoidPtrArray parts;
    EXPECT_NE(proxy.explode(parts), eOk);  // no graphics
    ASSERT_EQ(proxy.addGraphics(OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(4, 0, 0))), eOk);
    ASSERT_EQ(proxy.addGraphics(OdDbCircle(OdGePoint3d(4, 0, 0), OdGeVector3d::kZAxis, 1)), eOk);
    OdGeExtents3d ext;
    ASSERT_EQ(proxy.getGeomExtents(ext), eOk);
    ExpectPoint(ext.minPoint(), 0, -1, 0);
    ExpectPoint(ext.maxPoint(), 5, 1, 0);

    OdDbProxyEntity copy(proxy);  // owns graphics of its own
    ASSERT_EQ(copy.explode(parts), eOk);
    ASSERT_EQ(parts.length(), 2);
    auto* line = OdRxCast<OdDbLine>(static_cast<OdDbEntity*>(parts[0]));
    ASSERT_NE(line, nullptr);
    ExpectPoint(line->endPoint(), 4, 0, 0);
    EXPECT_NE(OdRxCast<OdDbCircle>(static_cast<OdDbEntity*>(parts[1])), nullptr);
    for (void* p : parts) static_cast<OdDbEntity*>(p)->close();  // in no database: deleted
}

TEST(HostEntities, HatchGradientsUseTheHostNames)
{
    OdDbHatch hatch;
    EXPECT_EQ(hatch.setGradient(OdDbHatch::kPreDefinedGradient, L"WAVY"), eInvalidInput);
    ASSERT_EQ(hatch.setGradient(OdDbHatch::kPreDefinedGradient, L"INVSPHERICAL"), eOk);
    OdCmColor colors[2];
    colors[0].setColorIndex(1);
    colors[1].setRGB(0, 0, 255);
    double values[2] = {0, 1};
    EXPECT_EQ(hatch.setGradientColors(1, colors, values), eInvalidInput);
    ASSERT_EQ(hatch.setGradientColors(2, colors, values), eOk);
    unsigned int n = 0;
    OdArray<OdCmColor> got;
    OdGeDoubleArray gotValues;
    hatch.getGradientColors(n, got, gotValues);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(got[1], colors[1]);

    // Polyline loops and edge loops are given back in their own form.
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{0, 0}, {4, 0}, {4, 4}},
                               OdGeDoubleArray{0, 0.5, 0}),
              eOk);
    OdGeCircArc2d circle(OdGePoint2d(10, 10), 1);
    ASSERT_EQ(hatch.appendLoop(OdDbHatch::kOutermost, OdGeVoidPointerArray{&circle}, OdGeIntArray{2}), eOk);
    int type = 0;
    OdGePoint2dArray vertices;
    OdGeDoubleArray bulges;
    ASSERT_EQ(hatch.getLoopAt(0, type, vertices, bulges), eOk);
    EXPECT_EQ(type, OdDbHatch::kExternal | OdDbHatch::kPolyline);
    EXPECT_EQ(bulges[1], 0.5);
    OdGeVoidPointerArray edges;
    OdGeIntArray types;
    EXPECT_NE(hatch.getLoopAt(0, type, edges, types), eOk);
    ASSERT_EQ(hatch.getLoopAt(1, type, edges, types), eOk);
    EXPECT_NE(edges[0], (void*)&circle);  // the hatch keeps a copy
    OdGeExtents3d ext;
    ASSERT_EQ(hatch.getGeomExtents(ext), eOk);
    EXPECT_NEAR(ext.maxPoint().x, 11, 1e-9);
}

TEST(HostEntities, AnOrdinateDimensionsOriginMovesWithIt)
{
    OdDbOrdinateDimension dim(true, OdGePoint3d(5, 2, 0), OdGePoint3d(5, 8, 0));
    ASSERT_EQ(dim.setOrigin(OdGePoint3d(1, 1, 0)), eOk);
    ASSERT_EQ(dim.transformBy(OdGeMatrix3d::translation(OdGeVector3d(10, 20, 0))), eOk);
    EXPECT_EQ(dim.origin(), OdGePoint3d(11, 21, 0));
    EXPECT_EQ(dim.definingPoint(), OdGePoint3d(15, 22, 0));
}
