// Lines, hatches and blocks in the picture: line types dashed by their
// record, resolved through the layer and the block reference and scaled by
// the entity; hatches in their pattern lines, solid or gradient, islands
// left open; block references at uneven scales; a window of the drawing.
#include <gtest/gtest.h>

#include "oddbblockreference.h"
#include "oddbcurves.h"
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

}  // namespace
