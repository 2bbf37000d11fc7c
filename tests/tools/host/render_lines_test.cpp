// Lines, hatches and blocks in the picture: line types dashed by their
// record, resolved through the layer and the block reference and scaled by
// the entity; hatches in their pattern lines, solid or gradient, islands
// left open; block references at uneven scales; a window of the drawing.
#include <gtest/gtest.h>

#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "render_fixture.h"

namespace {

using rendertest::Is;
using rendertest::IsInk;
using rendertest::Pixels;

class RenderLines : public rendertest::RenderTest {
protected:
    OdDbLine* Line(double x0, double y0, double x1, double y1)
    {
        return new OdDbLine(OdGePoint3d(x0, y0, 0), OdGePoint3d(x1, y1, 0));
    }
    // Inked and blank runs along the horizontal line at y, inside its ends.
    std::vector<long> Along(const PxImage& png, double y, double x0, double x1) const
    {
        return Runs(png, Py(y), Px(x0), Px(x1));
    }
    static OdDbHatch* Square(double x, double y, double side)
    {
        auto* h = new OdDbHatch();
        h->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}},
                      OdGeDoubleArray{0, 0, 0, 0});
        return h;
    }
};

// The line type comes from the entity, or through ByLayer from its layer,
// or through ByBlock from the reference that draws it; the entity's scale
// lengthens the dashes; dots show; a continuous line has no gap.
TEST_F(RenderLines, LinetypesResolvedAndScaled)
{
    OdDbObjectId dashed = AddLinetype(L"DASHED", OdGeDoubleArray{10, -5});
    OdDbObjectId dotted = AddLinetype(L"DOT", OdGeDoubleArray{0, -5});
    AddLayer(L"Dashes", dashed);
    OdDbLine* own = Line(0, 0, 200, 0);
    own->setLinetype(dashed);
    Add(own);
    OdDbLine* byLayer = Line(0, 20, 200, 20);
    byLayer->setLayer(L"Dashes");
    Add(byLayer);
    OdDbLine* scaled = Line(0, 40, 200, 40);
    scaled->setLinetype(dashed);
    scaled->setLinetypeScale(2);
    Add(scaled);
    OdDbObjectId block = AddBlock(L"B");
    OdDbLine* inside = Line(0, 0, 200, 0);
    inside->setLinetype(db->getLinetypeByBlockId());
    Add(inside, block);
    auto* ref = new OdDbBlockReference(OdGePoint3d(0, 60, 0), block);
    ref->setLinetype(dashed);
    Add(ref);
    OdDbLine* dots = Line(0, 80, 200, 80);
    dots->setLinetype(dotted);
    Add(dots);
    Add(Line(0, 100, 200, 100));
    PxImage png;
    RenderTo(png, 800);
    const double unit = stats.pixelsPerUnit;
    for (double y : {0.0, 20.0, 60.0}) {
        std::vector<long> runs = Along(png, y, 0, 200);
        ASSERT_GE(runs.size(), 20u) << "line at " << y;
        EXPECT_NEAR(runs[1], 5 * unit, 2) << "line at " << y;
        EXPECT_NEAR(runs[2], 10 * unit, 2) << "line at " << y;
    }
    std::vector<long> runs = Along(png, 40, 0, 200);
    ASSERT_GE(runs.size(), 10u);
    EXPECT_NEAR(runs[1], 10 * unit, 2);
    EXPECT_NEAR(runs[2], 20 * unit, 2);
    runs = Along(png, 80, 0, 200);
    EXPECT_GE(runs.size(), 70u);  // a dot every 5 units
    EXPECT_LE(runs[2], 4);
    EXPECT_EQ(Along(png, 100, 1, 199).size(), 1u);
}

// The drawing's line type scale lengthens every dash on top of the
// entity's own scale.
TEST_F(RenderLines, TheDrawingsLinetypeScaleLengthensTheDashes)
{
    OdDbObjectId dashed = AddLinetype(L"DASHED", OdGeDoubleArray{10, -5});
    ASSERT_EQ(db->setLTSCALE(1.5), eOk);
    OdDbLine* plain = Line(0, 0, 200, 0);
    plain->setLinetype(dashed);
    Add(plain);
    OdDbLine* scaled = Line(0, 40, 200, 40);
    scaled->setLinetype(dashed);
    scaled->setLinetypeScale(2);
    Add(scaled);
    PxImage png;
    RenderTo(png, 800);
    const double unit = stats.pixelsPerUnit;
    std::vector<long> runs = Along(png, 0, 0, 200);
    ASSERT_GE(runs.size(), 10u);
    EXPECT_NEAR(runs[1], 7.5 * unit, 2);
    EXPECT_NEAR(runs[2], 15 * unit, 2);
    runs = Along(png, 40, 0, 200);
    ASSERT_GE(runs.size(), 6u);
    EXPECT_NEAR(runs[1], 15 * unit, 2);
    EXPECT_NEAR(runs[2], 30 * unit, 2);
}

// A pattern hatch is its lines in its colour over the ground, and leaves
// an island open; a user-defined pattern runs at its angle; a solid hatch
// fills; a gradient runs from its first colour to its second along its
// angle.
TEST_F(RenderLines, HatchPatternsIslandsAndGradients)
{
    OdDbHatch* lines = Square(0, 0, 60);
    ASSERT_EQ(lines->setPattern(OdDbHatch::kUserDefined, L"_USER"), eOk);
    lines->setPatternScale(4);  // horizontal lines 4 units apart
    lines->appendLoop(OdDbHatch::kDefault, OdGePoint2dArray{{20, 20}, {40, 20}, {40, 40}, {20, 40}},
                      OdGeDoubleArray{0, 0, 0, 0});
    lines->setColorIndex(5);
    Add(lines);
    OdDbHatch* solid = Square(80, 0, 60);
    solid->appendLoop(OdDbHatch::kDefault, OdGePoint2dArray{{100, 20}, {120, 20}, {120, 40}, {100, 40}},
                      OdGeDoubleArray{0, 0, 0, 0});
    solid->setColorIndex(3);
    Add(solid);
    OdDbHatch* gradient = Square(160, 0, 60);
    ASSERT_EQ(gradient->setHatchObjectType(OdDbHatch::kGradientObject), eOk);
    ASSERT_EQ(gradient->setGradient(OdDbHatch::kPreDefinedGradient, L"LINEAR"), eOk);
    OdCmColor colors[2];
    colors[0].setRGB(255, 0, 0);
    colors[1].setRGB(0, 0, 255);
    const double values[2] = {0, 1};
    ASSERT_EQ(gradient->setGradientColors(2, colors, values), eOk);
    Add(gradient);
    PxImage png;
    RenderTo(png, 800);
    EXPECT_EQ(stats.hatches, 3);

    // Blue horizontal lines every 4 units down a column, none in the
    // island.
    std::vector<long> column;
    bool last = false;
    long marks = 0;
    for (long y = Py(2); y <= Py(18); ++y) {
        PxRgbQuad c = png.GetPixelColor(Px(10), y, false);
        bool blue = c.blue == 255 && c.red < 160 && c.red == c.green;
        if (blue && !last) ++marks;
        last = blue;
        EXPECT_TRUE(blue || Is(c, 255, 255, 255) || (c.blue == 255 && c.red == c.green)) << y;
    }
    EXPECT_NEAR(marks, 4, 1);
    EXPECT_EQ(Coverage(png, Under(22, 22, 38, 38)), 0);

    EXPECT_TRUE(Is(At(png, 90, 10), 0, 255, 0));        // solid, colour 3
    EXPECT_TRUE(Is(At(png, 110, 30), 255, 255, 255));  // its island

    PxRgbQuad left = At(png, 162, 30), right = At(png, 218, 30);
    EXPECT_GT(left.red, 200);
    EXPECT_LT(left.blue, 60);
    EXPECT_GT(right.blue, 200);
    EXPECT_LT(right.red, 60);
    PxRgbQuad mid = At(png, 190, 30);
    EXPECT_NEAR(mid.red, 128, 20);
    EXPECT_NEAR(mid.blue, 128, 20);
}

// A block reference scaled twice as wide draws its circle as an ellipse and
// its square as a rectangle, nested references multiply their scales, and
// a window pictures only its part of the drawing, fitted.
TEST_F(RenderLines, UnevenBlockScalesNestingAndWindow)
{
    OdDbObjectId inner = AddBlock(L"Inner");
    OdDbHatch* dot = Square(-1, -1, 2);
    dot->setColorIndex(1);
    Add(dot, inner);
    OdDbObjectId outer = AddBlock(L"Outer");
    Add(new OdDbCircle(OdGePoint3d(0, 0, 0), OdGeVector3d::kZAxis, 10), outer);
    auto* nested = new OdDbBlockReference(OdGePoint3d(5, 0, 0), inner);
    nested->setScaleFactors(OdGeScale3d(1, 2, 1));
    Add(nested, outer);
    auto* ref = new OdDbBlockReference(OdGePoint3d(50, 50, 0), outer);
    ref->setScaleFactors(OdGeScale3d(2, 1, 1));
    Add(ref);
    Add(Line(0, 0, 100, 100));
    PxImage png;
    RenderTo(png, 500);
    auto dark = [](PxRgbQuad c) { return IsInk(c) && !rendertest::IsRed(c); };
    EXPECT_TRUE(Near(png, 70, 50, dark));   // the circle 20 wide
    EXPECT_TRUE(Near(png, 50, 60, dark));   // and 10 high
    EXPECT_FALSE(Near(png, 50, 70, dark));
    // The inner square, 2 by 2, scaled 2 up by the inner reference and 2
    // across by the outer one: 4 by 4 around (60, 50).
    EXPECT_TRUE(rendertest::IsRed(At(png, 61.5, 51.5)));
    EXPECT_TRUE(rendertest::IsRed(At(png, 58.5, 48.5)));
    EXPECT_FALSE(rendertest::IsRed(At(png, 62.5, 50)));

    // The window around the circle only: the picture spans it.
    velkhost::RenderWindow window;
    window.minX = 25, window.minY = 35, window.maxX = 75, window.maxY = 65;
    RenderTo(png, 500, window);
    EXPECT_EQ(stats.width, 500);
    EXPECT_NEAR(stats.height, 8 + 8 + 484 * 30.0 / 50, 1);
    EXPECT_NEAR(stats.originX, 25 - 8 / stats.pixelsPerUnit, 1e-9);
    EXPECT_TRUE(Near(png, 70, 50, dark));
    EXPECT_TRUE(rendertest::IsRed(At(png, 60, 50)));
}

// Extents start empty, not at a large number: a drawing wholly beyond
// 1e300 is pictured around itself.
TEST_F(RenderLines, ExtentsFarOutAreTheDrawingsOwn)
{
    Add(new OdDbPoint(OdGePoint3d(2e300, 3e300, 0)));
    Add(new OdDbPoint(OdGePoint3d(2.5e300, 3.5e300, 0)));
    PxImage png;
    RenderTo(png, 100);
    EXPECT_NEAR(stats.originX, 2e300 - 8 / stats.pixelsPerUnit, 1e286);
    EXPECT_NEAR(stats.originY, 3e300 - 8 / stats.pixelsPerUnit, 1e286);
}

}  // namespace

namespace {

// Ink pixels down the column under x, within `reach` pixels of the row
// under y: how thick a horizontal line there is drawn.
long Thickness(const PxImage& png, long x, long y, long reach)
{
    long ink = 0;
    for (long dy = -reach; dy <= reach; ++dy) ink += IsInk(png.GetPixelColor(x, y + dy, false));
    return ink;
}

}  // namespace

// Line weights: the entity's own, its layer's through ByLayer, the
// reference's through ByBlock; the default is a thin line.
TEST_F(RenderLines, LineWeightsResolved)
{
    OdDbObjectId heavy = AddLayer(L"Heavy");
    {
        OdDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(oddbOpenObject(layer, heavy, OdDb::kForWrite), eOk);
        ASSERT_EQ(layer->setLineWeight(OdDb::kLnWt100), eOk);
        layer->close();
    }
    OdDbLine* own = Line(0, 0, 100, 0);
    ASSERT_EQ(own->setLineWeight(OdDb::kLnWt200), eOk);
    Add(own);
    OdDbLine* byLayer = Line(0, 20, 100, 20);
    byLayer->setLayer(L"Heavy");
    Add(byLayer);
    Add(Line(0, 40, 100, 40));
    OdDbObjectId block = AddBlock(L"W");
    OdDbLine* inside = Line(0, 0, 100, 0);
    ASSERT_EQ(inside->setLineWeight(OdDb::kLnWtByBlock), eOk);
    Add(inside, block);
    auto* ref = new OdDbBlockReference(OdGePoint3d(0, 60, 0), block);
    ASSERT_EQ(ref->setLineWeight(OdDb::kLnWt200), eOk);
    Add(ref);
    PxImage png;
    RenderTo(png, 400);
    const double perMm = 96 / 25.4;
    EXPECT_NEAR(Thickness(png, Px(50), Py(0), 12), 2.0 * perMm, 1.5);
    EXPECT_NEAR(Thickness(png, Px(50), Py(20), 12), 1.0 * perMm, 1.5);
    EXPECT_LE(Thickness(png, Px(50), Py(40), 12), 2);
    EXPECT_NEAR(Thickness(png, Px(50), Py(60), 12), 2.0 * perMm, 1.5);
}

// A MINSERT draws its block in every row and column; a polyface mesh its
// visible edges; a dimension the block that holds its graphics, or without
// one its lines and measurement.
TEST_F(RenderLines, ArraysMeshesAndDimensionBlocks)
{
    OdDbObjectId dot = AddBlock(L"Dot");
    OdDbHatch* square = Square(0, 0, 2);
    square->setColorIndex(1);
    Add(square, dot);
    Add(new OdDbMInsertBlock(OdGePoint3d(0, 0, 0), dot, 3, 2, 10, 10));
    auto* mesh = new OdDbPolyFaceMesh();
    for (OdGePoint3d p : {OdGePoint3d(40, 0, 0), OdGePoint3d(60, 0, 0), OdGePoint3d(60, 20, 0), OdGePoint3d(40, 20, 0)})
        ASSERT_EQ(mesh->appendVertex(p), eOk);
    ASSERT_EQ(mesh->appendFaceRecord(1, 2, 3, -4), eOk);  // the edge from the fourth vertex back is hidden
    Add(mesh);
    OdDbObjectId graphics = AddBlock(L"DimGraphics");
    Add(Line(70, 0, 90, 0), graphics);
    auto* dim = new OdDbAlignedDimension(OdGePoint3d(70, 0, 0), OdGePoint3d(90, 0, 0), OdGePoint3d(80, 0, 0));
    ASSERT_EQ(dim->setDimBlockId(graphics), eOk);
    Add(dim);
    Add(new OdDbRotatedDimension(0, OdGePoint3d(0, -30, 0), OdGePoint3d(40, -30, 0), OdGePoint3d(20, -20, 0)));
    PxImage png;
    RenderTo(png, 500);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(rendertest::IsRed(At(png, 1 + 10 * c, 1 + 10 * r))) << r << " " << c;
    EXPECT_TRUE(Is(At(png, 5, 5), 255, 255, 255));
    EXPECT_FALSE(rendertest::IsRed(At(png, 31, 1)));  // three columns only
    auto ink = [](PxRgbQuad c) { return IsInk(c); };
    EXPECT_TRUE(Near(png, 50, 0, ink));   // first edge
    EXPECT_TRUE(Near(png, 60, 10, ink));  // second
    EXPECT_FALSE(Near(png, 40, 10, ink));  // the hidden one
    EXPECT_TRUE(Near(png, 80, 0, ink));    // the dimension's line
    // Without a block: the dimension line, its extension lines and the
    // measurement "40" over the middle, two marks 2.5 units high.
    EXPECT_TRUE(Near(png, 10, -20, ink));
    EXPECT_TRUE(Near(png, 0, -25, ink));
    Pixels text = InkBox(png, Under(15, -19.5, 25, -15));
    ASSERT_FALSE(text.empty());
    EXPECT_NEAR(text.height(), 2.5 * stats.pixelsPerUnit, 2);
    EXPECT_NEAR((text.x0 + text.x1) / 2.0, Px(20), 2);
    int marks = 0, holes = 0;
    Shapes(png, text, marks, holes);
    EXPECT_EQ(marks, 2);
}

// Islands by the hatch style: normal alternates, outer leaves everything
// inside the first island open, ignore fills the outer loop whole. A
// pattern's own lines are drawn as carried (two crossing families here);
// a one-colour gradient runs from its colour to white at a tint of 1.
TEST_F(RenderLines, HatchStylesCarriedLinesAndOneColourGradient)
{
    const OdDbHatch::HatchStyle styles[3] = {OdDbHatch::kNormal, OdDbHatch::kOuter, OdDbHatch::kIgnore};
    for (int i = 0; i < 3; ++i) {
        OdDbHatch* h = Square(40 * i, 0, 30);
        for (double inset : {5.0, 10.0})
            h->appendLoop(OdDbHatch::kDefault,
                          OdGePoint2dArray{{40 * i + inset, inset}, {40 * i + 30 - inset, inset},
                                           {40 * i + 30 - inset, 30 - inset}, {40 * i + inset, 30 - inset}},
                          OdGeDoubleArray{0, 0, 0, 0});
        ASSERT_EQ(h->setHatchStyle(styles[i]), eOk);
        h->setColorIndex(1);
        Add(h);
    }
    OdDbHatch* fine = Square(120, 0, 30);
    ASSERT_EQ(fine->setPattern(OdDbHatch::kPreDefined, L"ANSI31"), eOk);
    ASSERT_EQ(fine->setPatternScale(0.001), eOk);
    fine->setColorIndex(1);
    Add(fine);
    OdHatchPattern grid;
    OdHatchPatternLine across, up;
    across.m_patternOffset = OdGeVector2d(0, 4);
    up.m_dLineAngle = M_PI / 2;
    up.m_patternOffset = OdGeVector2d(-4, 0);
    grid.append(across);
    grid.append(up);
    OdDbHatch* lines = Square(0, -40, 30);
    ASSERT_EQ(lines->setPattern(OdDbHatch::kCustomDefined, L"GRID", 0, 1, grid), eOk);
    lines->setColorIndex(5);
    Add(lines);
    OdDbHatch* gradient = Square(40, -40, 30);
    ASSERT_EQ(gradient->setHatchObjectType(OdDbHatch::kGradientObject), eOk);
    ASSERT_EQ(gradient->setGradient(OdDbHatch::kPreDefinedGradient, L"LINEAR"), eOk);
    OdCmColor colors[2];
    colors[0].setRGB(255, 0, 0);
    colors[1].setRGB(0, 0, 255);  // not drawn: one colour
    const double values[2] = {0, 1};
    ASSERT_EQ(gradient->setGradientColors(2, colors, values), eOk);
    ASSERT_EQ(gradient->setGradientOneColorMode(true), eOk);
    ASSERT_EQ(gradient->setShadeTintValue(1), eOk);
    Add(gradient);
    PxImage png;
    RenderTo(png, 600);

    // Filled: the first island under the ignore style only, the innermost
    // loop under the normal and ignore styles.
    const bool innermost[3] = {true, false, true};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(rendertest::IsRed(At(png, 40 * i + 2, 2))) << i;  // between the outer loop and the island
        EXPECT_EQ(rendertest::IsRed(At(png, 40 * i + 7, 7)), i == 2) << i;
        EXPECT_EQ(rendertest::IsRed(At(png, 40 * i + 15, 15)), innermost[i]) << i;
    }

    // Both families: marks every 4 units along a row and down a column.
    std::vector<long> row = Runs(png, Py(-38), Px(1), Px(29)), column;
    bool last = false;
    for (long y = Py(-39); y <= Py(-11); ++y) {
        bool ink = false;
        for (long dx = -1; dx <= 1; ++dx) ink = ink || IsInk(png.GetPixelColor(Px(15) + dx, y, false));
        if (column.empty() || ink != last) column.push_back(0);
        ++column.back();
        last = ink;
    }
    EXPECT_GE(row.size(), 12u);
    EXPECT_GE(column.size(), 12u);

    // Lines closer than the pixels: the pattern's tone, even all over.
    PxRgbQuad a = At(png, 122, 5), b = At(png, 148, 25);
    EXPECT_TRUE(a.red == 255 && a.green > 100 && a.green < 220) << (int)a.green;
    EXPECT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue);

    PxRgbQuad left = At(png, 41, -25), right = At(png, 69, -25);
    EXPECT_TRUE(rendertest::IsRed(left));
    EXPECT_GT(right.green, 220);
    EXPECT_GT(right.blue, 220);
}

// Geometry as a drawing file may hold it: points not numbers, sizes far
// out of range, pattern lines with no step between them, an array of an
// empty block in every row and column there can be. The picture is made,
// in bounded time.
TEST_F(RenderLines, MalformedGeometryStillPictures)
{
    const double nan = std::nan(""), huge = 1e300;
    Add(Line(0, 0, nan, 5));
    Add(Line(0, 0, huge, -huge));
    Add(new OdDbCircle(OdGePoint3d(0, 0, 0), OdGeVector3d::kZAxis, 1e200));
    auto* pl = new OdDbPolyline();
    pl->addVertexAt(0, OdGePoint2d(0, 0), nan);
    pl->addVertexAt(1, OdGePoint2d(10, 10), 1e300);
    pl->addVertexAt(2, OdGePoint2d(20, 0), 0, 1e300, nan);
    Add(pl);
    OdHatchPattern lines;
    OdHatchPatternLine none, tiny, far;
    tiny.m_patternOffset = OdGeVector2d(0, 1e-300);
    tiny.m_dashes.append(1e-300);
    tiny.m_dashes.append(-1e-300);
    far.m_basePoint = OdGePoint2d(1e18, -1e18);
    far.m_patternOffset = OdGeVector2d(3, 7);
    for (const auto& l : {none, tiny, far}) lines.append(l);
    OdDbHatch* h = Square(0, 0, 10);
    ASSERT_EQ(h->setPattern(OdDbHatch::kCustomDefined, L"ODD", 0, 1, lines), eOk);
    Add(h);
    OdDbHatch* g = Square(20, 0, 10);
    ASSERT_EQ(g->setHatchObjectType(OdDbHatch::kGradientObject), eOk);
    ASSERT_EQ(g->setGradient(OdDbHatch::kPreDefinedGradient, L"SPHERICAL"), eOk);
    g->setGradientAngle(nan);
    g->setGradientShift(nan);
    Add(g);
    OdDbObjectId empty = AddBlock(L"Empty");
    Add(new OdDbMInsertBlock(OdGePoint3d(0, 0, 0), empty, 65535, 65535, 1, 1));
    OdDbObjectId one = AddBlock(L"One");
    Add(Line(0, 0, 1, 0), one);
    Add(new OdDbMInsertBlock(OdGePoint3d(0, 0, 0), one, 65535, 65535, 1e-300, nan));
    std::string error;
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 300, stats, error)) << error;
    velkhost::RenderWindow window;
    window.minX = 0, window.minY = 0, window.maxX = 10, window.maxY = 10;
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 300, stats, error, window)) << error;
    EXPECT_EQ(stats.hatches, 2);
}

// A complex line type's text stands in its gap in every repeat, along the
// line; the same dashes without the text leave the gaps empty.
TEST_F(RenderLines, LinetypeTextsInTheirGaps)
{
    OdDbObjectId gas = AddLinetype(L"GAS", OdGeDoubleArray{10, -4, -5});
    {
        OdDbLinetypeTableRecord* lt = nullptr;
        ASSERT_EQ(oddbOpenObject(lt, gas, OdDb::kForWrite), eOk);
        ASSERT_EQ(lt->setTextAt(1, L"GAS"), eOk);
        ASSERT_EQ(lt->setShapeScaleAt(1, 2), eOk);
        ASSERT_EQ(lt->setShapeOffsetAt(1, OdGeVector2d(-2, -1)), eOk);
        lt->close();
    }
    OdDbObjectId plain = AddLinetype(L"PLAIN", OdGeDoubleArray{10, -4, -5});
    OdDbLine* withText = Line(0, 0, 190, 0);
    withText->setLinetype(gas);
    Add(withText);
    OdDbLine* without = Line(0, -20, 190, -20);
    without->setLinetype(plain);
    Add(without);
    PxImage png;
    RenderTo(png, 800);
    int texts = 0;
    for (int k = 0; k < 10; ++k) {
        const double gap = 19 * k + 10;  // the gap runs 9 units from here
        Pixels in = Under(gap + 0.5, -1.5, gap + 8.5, 1.5);
        double cover = Coverage(png, in);
        texts += cover > 0.05 && cover < 0.6;
        EXPECT_EQ(Coverage(png, Under(gap + 0.5, -21.5, gap + 8.5, -18.5)), 0) << k;
    }
    EXPECT_EQ(texts, 10);
}

// Polylines lie in their own plane: seen from above, one whose normal
// points down is drawn mirrored across the y axis, thin or wide, light or
// not. A spline-fitted polyline is drawn through its fitted vertices, not
// along the frame that shapes it.
TEST_F(RenderLines, PolylinesInTheirOwnPlane)
{
    const OdGeVector3d down(0, 0, -1);
    auto* light = new OdDbPolyline();
    light->addVertexAt(0, OdGePoint2d(10, 0));
    light->addVertexAt(1, OdGePoint2d(30, 0));
    ASSERT_EQ(light->setNormal(down), eOk);
    Add(light);
    auto* wide = new OdDbPolyline();
    wide->addVertexAt(0, OdGePoint2d(10, 10));
    wide->addVertexAt(1, OdGePoint2d(30, 10));
    ASSERT_EQ(wide->setConstantWidth(2), eOk);
    ASSERT_EQ(wide->setNormal(down), eOk);
    Add(wide);
    auto* heavy = new OdDb2dPolyline(OdDb::k2dSimplePoly, OdGePoint3dArray{{10, 20, 0}, {30, 20, 0}});
    ASSERT_EQ(heavy->setNormal(down), eOk);
    Add(heavy);
    // The frame rises to (20, 60) and falls back; the fitted vertices run
    // along y = 40.
    auto* fitted = new OdDb2dPolyline();
    ASSERT_EQ(fitted->appendVertex(OdGePoint3d(0, 40, 0), 0, 0, 0, OdDb::k2dSplineCtlVertex), eOk);
    ASSERT_EQ(fitted->appendVertex(OdGePoint3d(20, 60, 0), 0, 0, 0, OdDb::k2dSplineCtlVertex), eOk);
    ASSERT_EQ(fitted->appendVertex(OdGePoint3d(40, 40, 0), 0, 0, 0, OdDb::k2dSplineCtlVertex), eOk);
    for (double x : {0.0, 10.0, 20.0, 30.0, 40.0})
        ASSERT_EQ(fitted->appendVertex(OdGePoint3d(x, 40, 0), 0, 0, 0, OdDb::k2dSplineFitVertex), eOk);
    Add(fitted);
    auto* fitted3d = new OdDb3dPolyline();
    ASSERT_EQ(fitted3d->appendVertex(OdGePoint3d(-40, 40, 0), OdDb::k3dControlVertex), eOk);
    ASSERT_EQ(fitted3d->appendVertex(OdGePoint3d(-20, 60, 0), OdDb::k3dControlVertex), eOk);
    for (double x : {-40.0, -20.0})
        ASSERT_EQ(fitted3d->appendVertex(OdGePoint3d(x, 40, 0), OdDb::k3dFitVertex), eOk);
    Add(fitted3d);
    PxImage png;
    RenderTo(png, 400);
    auto ink = [](PxRgbQuad c) { return IsInk(c); };
    for (double y : {0.0, 10.0, 20.0}) {
        EXPECT_TRUE(Near(png, -20, y, ink)) << y;
        EXPECT_FALSE(Near(png, 20, y, ink)) << y;
    }
    EXPECT_GE(Thickness(png, Px(-20), Py(10), 12), (long)(2 * stats.pixelsPerUnit) - 1);
    EXPECT_TRUE(Near(png, 25, 40, ink));
    EXPECT_TRUE(Near(png, -30, 40, ink));
    EXPECT_EQ(Coverage(png, Under(5, 45, 35, 58)), 0);
    EXPECT_EQ(Coverage(png, Under(-38, 45, -22, 58)), 0);
}

// The pattern of a polyline's line type starts again at every vertex
// unless its linetype generation is on; a line, or a polyline's segment,
// too short to hold the pattern once is drawn continuous, as the host
// draws it.
TEST_F(RenderLines, LinetypeGenerationAndShortLines)
{
    OdDbObjectId dashed = AddLinetype(L"DASHED", OdGeDoubleArray{10, -5});
    auto polyline = [&](double y, double step, bool generation) {
        auto* pl = new OdDbPolyline();
        for (unsigned i = 0; i * step <= 200; ++i) pl->addVertexAt(i, OdGePoint2d(i * step, y));
        pl->setPlinegen(generation);
        pl->setLinetype(dashed);
        Add(pl);
    };
    polyline(0, 8, false);   // every segment shorter than the pattern
    polyline(20, 8, true);   // the pattern runs on over the vertices
    polyline(40, 40, false);  // the pattern starts again at 40, 80, ...
    polyline(60, 40, true);
    OdDbLine* shortLine = Line(0, 80, 12, 80);
    shortLine->setLinetype(dashed);
    Add(shortLine);
    PxImage png;
    RenderTo(png, 800);
    const double unit = stats.pixelsPerUnit;
    EXPECT_EQ(Along(png, 0, 1, 199).size(), 1u);
    std::vector<long> runs = Along(png, 20, 0, 200);
    ASSERT_GE(runs.size(), 20u);
    EXPECT_NEAR(runs[1], 5 * unit, 2);
    auto ink = [](PxRgbQuad c) { return IsInk(c); };
    // Restarted: a dash from 30 to 50 across the vertex at 40. Run on: the
    // gap from 40 to 45.
    EXPECT_TRUE(Near(png, 42.5, 40, ink));
    EXPECT_FALSE(Near(png, 42.5, 60, ink));
    EXPECT_TRUE(Near(png, 12.5, 40, ink) == Near(png, 12.5, 60, ink));
    EXPECT_EQ(Along(png, 80, 0.5, 11.5).size(), 1u);
}

// A line from far outside a window keeps its direction where it crosses
// the window, and a dashed one its pattern, counted from where it starts.
// Dots are drawn a pixel long without lengthening the pattern, so a dotted
// line keeps its dots where the drawing puts them.
TEST_F(RenderLines, FarLinesKeepDirectionAndPattern)
{
    OdDbObjectId dashed = AddLinetype(L"DASHED", OdGeDoubleArray{10, -5});
    OdDbObjectId dotted = AddLinetype(L"DOT", OdGeDoubleArray{0, -1});
    Add(Line(-1e6, -2e5, 100, 0));  // slope 0.2: through (50, -10)
    OdDbLine* far = Line(-5 - 15 * 66667, 20, 100, 20);  // a whole number of patterns before the next one
    far->setLinetype(dashed);
    Add(far);
    OdDbLine* near = Line(-5, 30, 100, 30);  // the same pattern from nearby
    near->setLinetype(dashed);
    Add(near);
    OdDbLine* dots = Line(0, 40, 100, 40);
    dots->setLinetype(dotted);
    Add(dots);
    velkhost::RenderWindow window;
    window.minX = 0, window.minY = -20, window.maxX = 100, window.maxY = 50;
    PxImage png;
    RenderTo(png, 400, window);
    auto ink = [](PxRgbQuad c) { return IsInk(c); };
    EXPECT_TRUE(Near(png, 50, -10, ink));
    EXPECT_TRUE(Near(png, 75, -5, ink));
    EXPECT_FALSE(Near(png, 50, -5, ink));
    std::vector<long> farRuns = Along(png, 20, 1, 99), nearRuns = Along(png, 30, 1, 99);
    ASSERT_EQ(farRuns.size(), nearRuns.size());
    for (size_t i = 0; i < farRuns.size(); ++i) EXPECT_NEAR(farRuns[i], nearRuns[i], 1) << i;
    // A dot every unit, about 4 pixels apart: 100 along the line.
    std::vector<long> dotRuns = Along(png, 40, 0.5, 99.5);
    EXPECT_NEAR(dotRuns.size(), 2 * 99, 4);
}
