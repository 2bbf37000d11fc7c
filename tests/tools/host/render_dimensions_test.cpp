// Dimensions without a block of graphics and leaders, as other programs
// write them, pictured alone from their points; kinds the picture does not
// draw are named in what it reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dxf_control.h"
#include "oddbdimension.h"
#include "render_fixture.h"

namespace {

using rendertest::IsInk;

// A file of entities alone: each group a code and its value.
std::string Entities(const std::vector<std::vector<std::pair<int, std::string>>>& records)
{
    std::string s = "0\nSECTION\n2\nENTITIES\n";
    for (const auto& groups : records)
        for (const auto& [code, value] : groups) s += std::to_string(code) + "\n" + value + "\n";
    return s + "0\nENDSEC\n0\nEOF\n";
}

std::vector<std::pair<int, std::string>> Dimension(int type, std::vector<std::pair<int, std::string>> points)
{
    std::vector<std::pair<int, std::string>> g = {{0, "DIMENSION"}, {100, "AcDbEntity"}, {8, "0"},
                                                  {100, "AcDbDimension"}, {70, std::to_string(type)}};
    g.insert(g.end(), points.begin(), points.end());
    return g;
}

std::vector<std::pair<int, std::string>> Leader(int arrow)
{
    return {{0, "LEADER"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLeader"}, {3, "Standard"},
            {71, std::to_string(arrow)}, {72, "0"}, {76, "3"}, {10, "0"}, {20, "0"}, {30, "0"},
            {10, "20"}, {20, "20"}, {30, "0"}, {10, "40"}, {20, "20"}, {30, "0"}};
}

class RenderFromPoints : public rendertest::RenderTest {
protected:
    // Reads the file into a drawing of its own and pictures it.
    bool Picture(const std::string& bytes, PxImage& png, std::string& error)
    {
        read_.reset(new OdDbDatabase(false));
        std::string why;
        if (standin::ReadDxfBytes(read_.get(), bytes, &why) != eOk) {
            error = "not read: " + why;
            return false;
        }
        if (!velkhost::RenderModelSpace(read_.get(), L"C:\\out\\r.png", 800, stats, error)) return false;
        return png.Load(L"C:\\out\\r.png", PXIMAGE_FORMAT_PNG);
    }
    bool InkNear(const PxImage& png, double x, double y) const
    {
        return Near(png, x, y, [](PxRgbQuad c) { return IsInk(c); });
    }
    std::unique_ptr<OdDbDatabase> read_;
};

// Each kind alone is drawn: its lines where its points put them, nothing
// on the side its points do not choose, and nothing counted as left out.
TEST_F(RenderFromPoints, EveryDimensionKindAndALeaderAloneHasInk)
{
    struct Case {
        const char* kind;
        std::vector<std::pair<int, std::string>> record;
        std::vector<std::pair<double, double>> ink, blank;
    };
    const std::vector<Case> cases = {
        {"rotated",
         Dimension(0, {{10, "20"}, {20, "10"}, {100, "AcDbAlignedDimension"}, {13, "0"}, {23, "0"}, {14, "40"},
                       {24, "0"}, {50, "0"}, {100, "AcDbRotatedDimension"}}),
         {{10, 10}, {0, 5}, {40, 5}},
         {{20, -5}}},
        {"aligned",
         Dimension(1, {{10, "0"}, {20, "10"}, {100, "AcDbAlignedDimension"}, {13, "0"}, {23, "0"}, {14, "40"},
                       {24, "0"}}),
         {{10, 10}, {30, 10}},
         {{20, -5}}},
        // Lines along x and at 45 degrees from the origin; the arc point
        // picks the angle between them, not the one across.
        {"angular (two lines)",
         Dimension(2, {{10, "40"}, {20, "40"}, {100, "AcDb2LineAngularDimension"}, {13, "0"}, {23, "0"},
                       {14, "40"}, {24, "0"}, {15, "0"}, {25, "0"}, {16, "30"}, {26, "10"}}),
         {{25.904, 18.138}, {31.449, 3.306}},
         {{0, 31.6}, {-31.6, 0}}},
        // The arc (radius 30) inside the points: extension lines run in
        // from them to it.
        {"angular (three points)",
         Dimension(5, {{10, "21.2132"}, {20, "21.2132"}, {100, "AcDb3PointAngularDimension"}, {13, "40"},
                       {23, "0"}, {14, "0"}, {24, "40"}, {15, "0"}, {25, "0"}}),
         {{28.191, 10.261}, {10.261, 28.191}, {35, 0}, {0, 35}},
         {{-21.2, -21.2}}},
        {"diameter",
         Dimension(3, {{10, "20"}, {20, "0"}, {100, "AcDbDiametricDimension"}, {15, "-20"}, {25, "0"}}),
         {{10, 0}, {-10, 0}},
         {{0, -10}}},
        {"radius",
         Dimension(4, {{10, "0"}, {20, "0"}, {100, "AcDbRadialDimension"}, {15, "20"}, {25, "20"}}),
         {{7, 7}, {14, 14}},
         {{-10, -10}}},
        // Measuring x from the origin: a leader up from the feature, its
        // ordinate "30" beyond the leader's end.
        {"ordinate",
         Dimension(6 | 64, {{10, "0"}, {20, "0"}, {100, "AcDbOrdinateDimension"}, {13, "30"}, {23, "0"},
                            {14, "30"}, {24, "30"}}),
         {{30, 10}, {30, 25}},
         {{15, 15}}},
        {"leader", Leader(1), {{10, 10}, {30, 20}}, {{30, 5}}},
    };
    for (const Case& c : cases) {
        PxImage png;
        std::string error;
        ASSERT_TRUE(Picture(Entities({c.record}), png, error)) << c.kind << ": " << error;
        EXPECT_EQ(stats.undrawnEntities, 0) << c.kind << ": " << stats.undrawnKinds;
        for (const auto& [x, y] : c.ink) EXPECT_TRUE(InkNear(png, x, y)) << c.kind << " at " << x << "," << y;
        for (const auto& [x, y] : c.blank) EXPECT_FALSE(InkNear(png, x, y)) << c.kind << " at " << x << "," << y;
        if (c.kind == std::string("ordinate")) {
            // The text, turned to run up the leader, starts past its end.
            rendertest::Pixels text = InkBox(png, Under(25, 30.5, 35, 40));
            ASSERT_FALSE(text.empty());
            EXPECT_GT(text.height(), text.width());
        }
    }
}

// The arrowhead of a leader is there where its flag asks for one, and a
// dimension whose block is empty is drawn from its points.
TEST_F(RenderFromPoints, LeaderArrowFlagAndEmptyDimensionBlocks)
{
    PxImage png;
    std::string error;
    // Beside the first segment, near its tip: inside the arrowhead only.
    const double bx = 1.556 + 0.212, by = 1.556 - 0.212;
    ASSERT_TRUE(Picture(Entities({Leader(1)}), png, error)) << error;
    EXPECT_TRUE(InkNear(png, bx, by));
    ASSERT_TRUE(Picture(Entities({Leader(0)}), png, error)) << error;
    EXPECT_FALSE(InkNear(png, bx, by));
    EXPECT_TRUE(InkNear(png, 10, 10));

    // A block the file names but does not give is an empty one.
    const std::string named =
        Entities({Dimension(1, {{2, "*D1"}, {10, "0"}, {20, "10"}, {100, "AcDbAlignedDimension"}, {13, "0"},
                                {23, "0"}, {14, "40"}, {24, "0"}})});
    ASSERT_TRUE(Picture(named, png, error)) << error;
    EXPECT_TRUE(InkNear(png, 10, 10));
}

// A 3DFACE and a TRACE, which the database keeps as their file gave them,
// are drawn from their corners: the face's edges but the one its flags
// hide, the trace filled.
TEST_F(RenderFromPoints, FacesAndTracesAreDrawnFromTheirCorners)
{
    const std::vector<std::pair<int, std::string>> face = {
        {0, "3DFACE"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbFace"}, {10, "0"}, {20, "0"}, {30, "0"},
        {11, "40"},    {21, "0"},           {31, "0"}, {12, "40"},         {22, "40"}, {32, "0"}, {13, "0"},
        {23, "40"},    {33, "0"},           {70, "2"}};
    const std::vector<std::pair<int, std::string>> trace = {
        {0, "TRACE"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbTrace"}, {10, "0"}, {20, "50"}, {30, "0"},
        {11, "40"},   {21, "50"},          {31, "0"}, {12, "0"},          {22, "60"}, {32, "0"}, {13, "40"},
        {23, "60"},   {33, "0"}};
    PxImage png;
    std::string error;
    ASSERT_TRUE(Picture(Entities({face, trace}), png, error)) << error;
    EXPECT_EQ(stats.undrawnEntities, 0) << stats.undrawnKinds;
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{{20, 0}, {20, 40}, {0, 20}, {20, 55}, {5, 52}})
        EXPECT_TRUE(InkNear(png, x, y)) << x << "," << y;
    EXPECT_FALSE(InkNear(png, 40, 20));  // the hidden edge
    EXPECT_FALSE(InkNear(png, 20, 20));
}

// What the picture does not draw is counted by kind; a drawing of nothing
// else is refused saying so, not as an empty one.
TEST_F(RenderFromPoints, KindsNotDrawnAreNamed)
{
    const std::vector<std::pair<int, std::string>> xline = {
        {0, "XLINE"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbXline"}, {10, "0"}, {20, "0"}, {30, "0"},
        {11, "1"},    {21, "0"},           {31, "0"}};
    const std::vector<std::pair<int, std::string>> line = {{0, "LINE"}, {8, "0"}, {10, "0"}, {20, "0"},
                                                           {11, "5"},   {21, "5"}};
    PxImage png;
    std::string error;
    EXPECT_FALSE(Picture(Entities({xline, xline}), png, error));
    EXPECT_EQ(error, "nothing in model space can be drawn: 2 entities are of a kind the picture does not draw or "
                     "has no drawable points (2 XLINE)");
    // Two parallel lines make no angle.
    const auto parallel = Dimension(2, {{10, "40"}, {20, "5"}, {100, "AcDb2LineAngularDimension"}, {13, "0"},
                                        {23, "0"}, {14, "40"}, {24, "0"}, {15, "0"}, {25, "5"}, {16, "30"},
                                        {26, "10"}});
    ASSERT_TRUE(Picture(Entities({xline, line, parallel}), png, error)) << error;
    EXPECT_EQ(stats.undrawnEntities, 2);
    EXPECT_EQ(stats.undrawnKinds, "1 2LineAngularDimension, 1 XLINE");
}

}  // namespace
