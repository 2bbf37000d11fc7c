// Texts in the picture are glyphs a person reads: shaped ink (marks and
// holes, not a filled box) in their height, placed by their alignment,
// turned, widened and slanted; multiline texts wrapped and broken into
// paragraphs with their format codes left out; Chinese included.
#include <gtest/gtest.h>

#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbtext.h"
#include "render_fixture.h"

namespace {

using rendertest::IsInk;
using rendertest::IsRed;
using rendertest::Pixels;

class RenderText : public rendertest::RenderTest {
protected:
    OdDbText* Text(double x, double y, const wchar_t* s, double height)
    {
        return new OdDbText(OdGePoint3d(x, y, 0), s, OdDbObjectId::kNull, height);
    }
    OdDbMText* MText(double x, double y, const wchar_t* s, double height)
    {
        auto* m = new OdDbMText();
        m->setLocation(OdGePoint3d(x, y, 0));
        m->setContents(s);
        m->setTextHeight(height);
        return m;
    }
    // The ink of the picture inside a world box.
    Pixels InkIn(const PxImage& png, double x0, double y0, double x1, double y1) const
    {
        return InkBox(png, Under(x0, y0, x1, y1));
    }
    // A second picture of the same size: its pixels, row by row.
    static std::vector<uint32_t> PixelsOf(const PxImage& png)
    {
        std::vector<uint32_t> out;
        for (long y = 0; y < (long)png.GetHeight(); ++y)
            for (long x = 0; x < (long)png.GetWidth(); ++x) {
                PxRgbQuad c = png.GetPixelColor(x, y, false);
                out.push_back((uint32_t)c.red << 16 | c.green << 8 | c.blue);
            }
        return out;
    }
};

// The picture of a drawing with a large text, a Chinese text, a dashed
// line and a pattern hatch: letters as marks with their holes, the Chinese
// characters with theirs, gaps along the line, the hatch's red lines with
// ground between them inside its loop and nothing of it outside.
TEST_F(RenderText, LargeAndChineseTextDashedLineAndPatternHatch)
{
    Add(Text(0, 0, L"AB08", 20));
    Add(Text(0, -40, L"田三", 20));
    OdDbObjectId dashed = AddLinetype(L"DASHED", OdGeDoubleArray{10, -5});
    auto* line = new OdDbLine(OdGePoint3d(0, -60, 0), OdGePoint3d(200, -60, 0));
    line->setLinetype(dashed);
    Add(line);
    auto* hatch = new OdDbHatch();
    ASSERT_EQ(hatch->setPattern(OdDbHatch::kPreDefined, L"ANSI31"), eOk);
    hatch->setPatternScale(2);
    hatch->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{140, 0}, {200, 0}, {200, 60}, {140, 60}},
                      OdGeDoubleArray{0, 0, 0, 0});
    hatch->setColorIndex(1);
    Add(hatch);
    PxImage png;
    RenderTo(png, 800);
    EXPECT_EQ(stats.texts, 2);
    EXPECT_EQ(stats.hatches, 1);

    // The large text: cap height 20 units, about 78 pixels.
    Pixels latin = InkIn(png, -5, -10, 130, 30);
    ASSERT_FALSE(latin.empty());
    EXPECT_NEAR(latin.height(), 20 * stats.pixelsPerUnit, 0.1 * 20 * stats.pixelsPerUnit);
    EXPECT_GT(latin.width(), 2 * latin.height());  // four letters, not a square
    double cover = Coverage(png, latin);
    EXPECT_GT(cover, 0.1);
    EXPECT_LT(cover, 0.6);  // a box would be filled whole
    int marks = 0, holes = 0;
    Shapes(png, latin, marks, holes);
    EXPECT_EQ(marks, 4);  // A, B, 0, 8
    EXPECT_EQ(holes, 6);  // one in A, two in B, one in 0, two in 8

    // The Chinese text: 田 one mark with four holes, 三 three marks.
    Pixels chinese = InkIn(png, -5, -50, 130, -15);
    ASSERT_FALSE(chinese.empty());
    EXPECT_GT(chinese.height(), 15 * stats.pixelsPerUnit);
    cover = Coverage(png, chinese);
    EXPECT_GT(cover, 0.1);
    EXPECT_LT(cover, 0.6);
    Shapes(png, chinese, marks, holes);
    EXPECT_EQ(marks, 4);
    EXPECT_EQ(holes, 4);

    // The dashed line: dashes of 10 and gaps of 5 units.
    std::vector<long> runs = Runs(png, Py(-60), Px(0), Px(180));
    ASSERT_GE(runs.size(), 20u);
    const double unit = stats.pixelsPerUnit;
    for (size_t i = 1; i + 1 < runs.size(); ++i)
        EXPECT_NEAR(runs[i], (i % 2 ? 5 : 10) * unit, 0.25 * 5 * unit) << "run " << i;

    // The hatch: red lines 45 degrees apart by 6.35 units, ground between.
    Pixels inside = Under(142, 2, 198, 58);
    long red = 0, white = 0, other = 0;
    for (long y = inside.y0; y <= inside.y1; ++y)
        for (long x = inside.x0; x <= inside.x1; ++x) {
            PxRgbQuad c = png.GetPixelColor(x, y, false);
            if (IsRed(c)) ++red;
            else if (rendertest::Is(c, 255, 255, 255)) ++white;
            else if (!(c.red == 255 && c.green == c.blue)) ++other;  // anything but red mixed with white
        }
    const double area = (double)inside.width() * inside.height();
    EXPECT_GT(red / area, 0.02);
    EXPECT_GT(white / area, 0.5);
    EXPECT_EQ(other, 0);
    // Along a row the lines come every 6.35 * sqrt(2) units.
    runs = Runs(png, Py(30), Px(142), Px(198));
    EXPECT_GE(runs.size(), 2 * (size_t)(56 / (6.35 * 1.414)) - 1);
    EXPECT_EQ(Coverage(png, Under(205, 0, 215, 60)), 0);  // nothing beside it
}

// Centre, right, top and middle alignments put the ink on the alignment
// point; a turned text runs up; a width factor widens the letters; the
// oblique angle slants them; the fit mode stretches between its points.
TEST_F(RenderText, AlignmentRotationWidthObliqueAndFit)
{
    OdDbText* t = Text(0, 0, L"MMMM", 10);
    t->setHorizontalMode(OdDb::kTextCenter);
    t->setAlignmentPoint(OdGePoint3d(100, 100, 0));
    Add(t);
    t = Text(0, 0, L"MMMM", 10);
    t->setHorizontalMode(OdDb::kTextRight);
    t->setVerticalMode(OdDb::kTextTop);
    t->setAlignmentPoint(OdGePoint3d(100, 60, 0));
    Add(t);
    t = Text(0, 0, L"MMMM", 10);
    t->setHorizontalMode(OdDb::kTextMid);
    t->setAlignmentPoint(OdGePoint3d(100, 30, 0));
    Add(t);
    t = Text(160, 0, L"MMMM", 10);
    t->setRotation(M_PI / 2);
    Add(t);
    t = Text(0, -40, L"MMMM", 10);
    t->setWidthFactor(2);
    Add(t);
    t = Text(0, -70, L"IIII", 10);
    t->setOblique(30 * M_PI / 180);
    Add(t);
    t = Text(100, -70, L"MM", 10);
    t->setHorizontalMode(OdDb::kTextFit);
    t->setAlignmentPoint(OdGePoint3d(190, -70, 0));
    Add(t);
    Add(new OdDbLine(OdGePoint3d(-10, -90, 0), OdGePoint3d(-10, 120, 0)));  // room around them
    Add(new OdDbLine(OdGePoint3d(200, -90, 0), OdGePoint3d(200, 120, 0)));
    PxImage png;
    RenderTo(png, 900);
    const double unit = stats.pixelsPerUnit;

    Pixels centred = InkIn(png, 50, 95, 150, 115);
    ASSERT_FALSE(centred.empty());
    EXPECT_NEAR((centred.x0 + centred.x1) / 2.0, Px(100), 2);
    EXPECT_NEAR(centred.y0, Py(100), 2);  // on its base line
    Pixels right = InkIn(png, 40, 45, 110, 65);
    ASSERT_FALSE(right.empty());
    EXPECT_NEAR(right.x1, Px(100), 0.2 * 10 * unit);  // the last letter's side bearing short of it
    EXPECT_NEAR(right.y1, Py(60), 2);  // hanging from the point
    Pixels middle = InkIn(png, 50, 20, 150, 40);
    ASSERT_FALSE(middle.empty());
    EXPECT_NEAR((middle.y0 + middle.y1) / 2.0, Py(30), 2);
    EXPECT_NEAR((middle.x0 + middle.x1) / 2.0, Px(100), 2);

    Pixels turned = InkIn(png, 145, -5, 165, 80);
    ASSERT_FALSE(turned.empty());
    EXPECT_GT(turned.height(), 3 * turned.width());
    EXPECT_NEAR(turned.x1, Px(160), 2);  // runs up with its base line on the right

    Pixels wide = InkIn(png, -5, -45, 150, -25);
    Pixels plain = centred;
    EXPECT_NEAR(wide.width(), 2 * plain.width(), 0.1 * plain.width());
    EXPECT_NEAR(wide.height(), plain.height(), 2);

    // Slanted: the top of the ink sits to the right of its bottom by about
    // tan 30 of the height.
    Pixels slanted = InkIn(png, -5, -75, 60, -55);
    ASSERT_FALSE(slanted.empty());
    Pixels bottom = InkBox(png, {slanted.x0, slanted.y0, slanted.x1, slanted.y0 + 1});
    Pixels top = InkBox(png, {slanted.x0, slanted.y1 - 1, slanted.x1, slanted.y1});
    EXPECT_NEAR(top.x0 - bottom.x0, std::tan(M_PI / 6) * slanted.height(), 0.25 * slanted.height());

    Pixels fitted = InkIn(png, 95, -75, 195, -55);
    ASSERT_FALSE(fitted.empty());
    // Side bearings stretch too: the ink is centred and nearly as wide.
    EXPECT_NEAR((fitted.x0 + fitted.x1) / 2.0, Px(145), 0.1 * 10 * unit);
    EXPECT_GT(fitted.width(), 0.8 * 90 * unit);
    EXPECT_LE(fitted.width(), 90 * unit);
    EXPECT_NEAR(fitted.height(), 10 * unit, 0.1 * 10 * unit);  // the height stays
}

// A multiline text's format codes change nothing a person reads but the
// size: the same words with fonts, colours and stacked parts written in
// codes draw as they do plain; wrapping breaks at the box width, paragraph
// breaks start new lines, and the attachment point places the block.
TEST_F(RenderText, MTextCodesWrappingParagraphsAndAttachment)
{
    OdDbObjectId coded = Add(MText(0, 0, L"{\\fArial|b1|i0|c0;AB}\\PC\\~D {\\H1x;\\C7;E}\\S1^2;", 10));
    PxImage withCodes;
    RenderTo(withCodes, 500);
    const auto codedPixels = PixelsOf(withCodes);
    {
        OdDbMText* m = nullptr;
        ASSERT_EQ(oddbOpenObject(m, coded, OdDb::kForWrite), eOk);
        m->setContents(L"AB\\PC D E1/2");
        m->close();
    }
    PxImage plain;
    RenderTo(plain, 500);
    EXPECT_TRUE(PixelsOf(plain) == codedPixels);
    // Two lines: the second below the first by the line spacing.
    Pixels first = InkIn(plain, -1, -12, 200, 1), second = InkIn(plain, -1, -30, 200, -15);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NEAR(first.y1, Py(0), 2);  // top left at the location
    EXPECT_GT(second.width(), 2 * first.width());

    // Wrapped at 35 units: three words of four letters, each some 20 units
    // wide, make three lines.
    {
        OdDbMText* m = nullptr;
        ASSERT_EQ(oddbOpenObject(m, coded, OdDb::kForWrite), eOk);
        m->setContents(L"WORD WORD WORD");
        m->setTextHeight(5);
        m->setWidth(35);
        m->setAttachment(OdDbMTextEnums::kMiddleCenter);
        m->close();
    }
    Add(new OdDbLine(OdGePoint3d(-60, -60, 0), OdGePoint3d(-60, 60, 0)));  // room around it
    Add(new OdDbLine(OdGePoint3d(60, -60, 0), OdGePoint3d(60, 60, 0)));
    PxImage wrapped;
    RenderTo(wrapped, 500);
    Pixels all = InkIn(wrapped, -50, -50, 50, 50);
    int lines = 0;
    bool in = false;
    for (long y = all.y0; y <= all.y1; ++y) {
        long ink = 0;
        for (long x = all.x0; x <= all.x1; ++x) ink += IsInk(wrapped.GetPixelColor(x, y, false));
        bool text = ink > 6;
        if (text && !in) ++lines;
        in = text;
    }
    EXPECT_EQ(lines, 3);
    Pixels words = InkBox(wrapped, Under(-30, -30, 30, 30));
    EXPECT_NEAR((words.y0 + words.y1) / 2.0, Py(0), 0.2 * 5 * stats.pixelsPerUnit);  // centred on the location
    EXPECT_NEAR((words.x0 + words.x1) / 2.0, Px(0), 0.2 * 5 * stats.pixelsPerUnit);
    EXPECT_LT(words.width(), 35 * stats.pixelsPerUnit);
}

// Texts in a block reference scaled unevenly are stretched with it, and
// attributes are drawn where the reference puts them.
TEST_F(RenderText, TextsInBlocksTakeTheReferenceScale)
{
    OdDbObjectId block = AddBlock(L"Label");
    Add(Text(0, 0, L"HH", 10), block);
    auto* ref = new OdDbBlockReference(OdGePoint3d(0, 0, 0), block);
    ref->setScaleFactors(OdGeScale3d(3, 1, 1));
    Add(ref);
    Add(Text(0, -30, L"HH", 10));
    PxImage png;
    RenderTo(png, 600);
    Pixels stretched = InkIn(png, -2, -2, 100, 15), plain = InkIn(png, -2, -32, 100, -15);
    ASSERT_FALSE(stretched.empty());
    ASSERT_FALSE(plain.empty());
    EXPECT_NEAR(stretched.width(), 3 * plain.width(), 0.1 * plain.width());
    EXPECT_NEAR(stretched.height(), plain.height(), 2);
    EXPECT_EQ(stats.texts, 2);
}

// Without its font a picture of texts fails with a reason that names the
// package, and a picture with no text is still made.
TEST_F(RenderText, MissingFontFailsWithTheReason)
{
    velkhost::SetRenderFontFile("/nonexistent/font.ttc");
    Add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 10, 0)));
    PxImage png;
    RenderTo(png);
    Add(Text(0, 0, L"A", 5));
    std::string error;
    EXPECT_FALSE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 400, stats, error));
    EXPECT_NE(error.find("/nonexistent/font.ttc"), std::string::npos) << error;
    EXPECT_NE(error.find("fonts-wqy-microhei"), std::string::npos) << error;
    velkhost::SetRenderFontFile("");
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 400, stats, error)) << error;
}

}  // namespace

namespace {

// Ink pixels in the columns from x0 to x1 of the rectangle.
long InkColumns(const PxImage& png, const Pixels& in, long x0, long x1)
{
    long ink = 0;
    for (long y = in.y0; y <= in.y1; ++y)
        for (long x = x0; x <= x1; ++x) ink += IsInk(png.GetPixelColor(x, y, false));
    return ink;
}

long InkRows(const PxImage& png, const Pixels& in, long y0, long y1)
{
    long ink = 0;
    for (long y = y0; y <= y1; ++y)
        for (long x = in.x0; x <= in.x1; ++x) ink += IsInk(png.GetPixelColor(x, y, false));
    return ink;
}

}  // namespace

// A text written backwards runs to the left of its point with its letters
// mirrored (the stem of an F on the right); upside down it hangs below its
// base line with the F's arms at the bottom.
TEST_F(RenderText, MirroredTexts)
{
    Add(Text(0, 0, L"F", 20));
    OdDbText* backwards = Text(80, 0, L"F", 20);
    ASSERT_EQ(backwards->mirrorInX(true), eOk);
    Add(backwards);
    OdDbText* upsideDown = Text(100, 0, L"F", 20);
    ASSERT_EQ(upsideDown->mirrorInY(true), eOk);
    Add(upsideDown);
    Add(new OdDbLine(OdGePoint3d(-5, -30, 0), OdGePoint3d(-5, 30, 0)));  // room around them
    Add(new OdDbLine(OdGePoint3d(130, -30, 0), OdGePoint3d(130, 30, 0)));
    PxImage png;
    RenderTo(png, 600);
    Pixels plain = InkIn(png, -2, -25, 40, 25), back = InkIn(png, 41, -25, 90, 25), down = InkIn(png, 95, -25, 125, 25);
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(back.empty());
    ASSERT_FALSE(down.empty());
    // The stem: the left third of a plain F holds more ink than its right.
    EXPECT_GT(InkColumns(png, plain, plain.x0, plain.x0 + plain.width() / 3),
              InkColumns(png, plain, plain.x1 - plain.width() / 3, plain.x1));
    EXPECT_LE(back.x1, Px(80) + 1);
    EXPECT_GT(InkColumns(png, back, back.x1 - back.width() / 3, back.x1),
              InkColumns(png, back, back.x0, back.x0 + back.width() / 3));
    EXPECT_LE(down.y1, Py(0) + 1);
    EXPECT_NEAR(down.height(), plain.height(), 2);
    // The top arm of a plain F is in its top rows; upside down in its
    // bottom ones.
    EXPECT_GT(InkRows(png, plain, plain.y1 - 3, plain.y1), InkRows(png, plain, plain.y0, plain.y0 + 3));
    EXPECT_GT(InkRows(png, down, down.y0, down.y0 + 3), InkRows(png, down, down.y1 - 3, down.y1));
}

// A multiline text's background mask fills its box grown by the margin in
// its colour, behind the text; the spacing factor spreads its lines.
TEST_F(RenderText, MTextBackgroundAndLineSpacing)
{
    OdDbMText* masked = MText(0, 0, L"AB", 10);
    ASSERT_EQ(masked->setBackgroundFill(true), eOk);
    OdCmColor green;
    green.setColorIndex(3);
    ASSERT_EQ(masked->setBackgroundFillColor(green), eOk);
    ASSERT_EQ(masked->setBackgroundScaleFactor(1.5), eOk);
    Add(masked);
    Add(MText(60, 0, L"A\\PA", 10));
    OdDbMText* spread = MText(90, 0, L"A\\PA", 10);
    ASSERT_EQ(spread->setLineSpacingFactor(2), eOk);
    Add(spread);
    Add(new OdDbLine(OdGePoint3d(-10, -60, 0), OdGePoint3d(-10, 10, 0)));  // room around them
    PxImage png;
    RenderTo(png, 600);
    EXPECT_TRUE(rendertest::Is(At(png, -2, 2), 0, 255, 0));  // in the margin
    EXPECT_TRUE(rendertest::Is(At(png, -7, 2), 255, 255, 255));  // past it
    Pixels letters = InkBox(png, Under(-1, -11, 30, 1));
    long black = 0;
    for (long y = letters.y0; y <= letters.y1; ++y)
        for (long x = letters.x0; x <= letters.x1; ++x) {
            PxRgbQuad c = png.GetPixelColor(x, y, false);
            black += c.red < 60 && c.green < 60 && c.blue < 60;
        }
    EXPECT_GT(black, 20);  // the letters over the mask

    // Line pitch: the second line's top below the first's top.
    auto pitch = [&](double x) {
        Pixels top = InkIn(png, x - 1, -11, x + 12, 1);
        Pixels all = InkIn(png, x - 1, -60, x + 12, 1);
        return (double)(top.y1 - (all.y0 + top.height() - 1));
    };
    EXPECT_NEAR(pitch(60), 10 * 5.0 / 3 * stats.pixelsPerUnit, 2);
    EXPECT_NEAR(pitch(90), 2 * 10 * 5.0 / 3 * stats.pixelsPerUnit, 2);
}

// Texts too small to read (capitals under two pixels) are a faint stroke
// where they stand, not glyphs; a word longer than a multiline text's
// width stays whole on its line.
TEST_F(RenderText, TinyTextsAndOverlongWords)
{
    Add(Text(0, 0, L"tiny text here", 0.5));
    Add(new OdDbLine(OdGePoint3d(0, -200, 0), OdGePoint3d(0, 200, 0)));
    OdDbMText* m = MText(20, 0, L"ABCDEFGHIJ KL", 10);
    m->setWidth(30);
    Add(m);
    PxImage png;
    RenderTo(png, 500);
    Pixels faint = InkBox(png, Under(1, -1, 6, 1));
    EXPECT_TRUE(faint.empty());  // nothing dark
    long touched = 0;
    for (long x = Px(1); x <= Px(5); ++x)
        for (long y = Py(-1); y <= Py(1); ++y) {
            PxRgbQuad c = png.GetPixelColor(x, y, false);
            touched += c.red < 255 && c.red > 100;
        }
    EXPECT_GT(touched, 0);
    // Two lines, the first as wide as the whole long word (wider than 30).
    Pixels first = InkIn(png, 19, -11, 200, 1);
    EXPECT_GT(first.width(), 30 * stats.pixelsPerUnit);
    EXPECT_FALSE(InkIn(png, 19, -30, 200, -12).empty());
}

// Texts as a drawing file may hold them, however malformed: codes cut off,
// groups never closed, sizes out of range, stray surrogates and control
// characters, a giant text. Each is drawn or left out; the picture is made.
TEST_F(RenderText, MalformedContentsStillPicture)
{
    const wchar_t* contents[] = {
        L"\\", L"{", L"}}}{{", L"\\H", L"\\H;", L"\\H-5;x", L"\\H1e308;big", L"\\H0.0000001x;small", L"\\W;\\Q89;\\Q-1e9;",
        L"\\C999;\\c-1;\\c99999999999;", L"\\S", L"\\S^;", L"\\S1#", L"\\U+", L"\\U+12", L"\\U+D800x", L"%%", L"%%9999999",
        L"^", L"^J^I^M^ ", L"\\P\\P\\P", L"\\fArial", L"\\pxi-3,l10;A", L"\\A9;\\T-1;B", L"\x1\x2\x7f", L"\xD83D\xDE00"};
    double y = 0;
    for (const wchar_t* s : contents) {
        Add(MText(0, y, s, 2));
        Add(Text(50, y, s, 2));
        y -= 5;
    }
    Add(Text(0, 20, std::wstring(20000, L'W').c_str(), 1e-6));
    OdDbText* giant = Text(0, 30, L"G", 1e12);
    Add(giant);
    OdDbText* zero = Text(0, 40, L"Z", 0);
    zero->setWidthFactor(0);
    Add(zero);
    std::string error;
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 300, stats, error)) << error;
    EXPECT_GE(stats.texts, 40);
    velkhost::RenderWindow window;
    window.minX = 0, window.minY = 0, window.maxX = 10, window.maxY = 10;
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 300, stats, error, window)) << error;
}

namespace {

// Lines under and over parts of a text, switched by "%%u" and "%%o" in a
// single-line text and by "\L", "\l", "\O" and "\o" in a multiline one:
// under "AB" and over "EF" only, below the base line and above the
// capitals.
TEST_F(RenderText, UnderAndOverLines)
{
    Add(Text(0, 0, L"%%uAB%%u CD %%oEF", 10));
    Add(MText(0, -30, L"\\LAB\\l CD \\OEF\\o", 10));  // base line at -40
    PxImage png;
    RenderTo(png, 600);
    for (double base : {0.0, -40.0}) {
        Pixels letters = InkIn(png, -1, base + 0.5, 300, base + 9.5);
        Pixels under = InkIn(png, -1, base - 5, 300, base - 0.5);  // no descenders here
        Pixels over = InkIn(png, -1, base + 10.5, 300, base + 15);
        ASSERT_FALSE(letters.empty()) << base;
        ASSERT_FALSE(under.empty()) << base;
        ASSERT_FALSE(over.empty()) << base;
        EXPECT_LE(under.height(), stats.pixelsPerUnit + 1) << base;  // a tenth of the height
        EXPECT_LE(over.height(), stats.pixelsPerUnit + 1) << base;
        EXPECT_NEAR(under.x0, letters.x0, 4) << base;
        EXPECT_NEAR(over.x1, letters.x1, 4) << base;
        EXPECT_LT(under.width(), 0.4 * letters.width()) << base;
        EXPECT_LT(over.width(), 0.4 * letters.width()) << base;
    }
}

}  // namespace

namespace {

// Special codes of single-line texts, attributes and dimension texts, and
// those a user types in a multiline text: the signs they stand for, the
// diameter sign drawn from the fallback font (a circle crossed by a
// stroke: one mark, two holes, not the missing-glyph box), "%%u" switching
// a dimension text's underline.
TEST_F(RenderText, SpecialCodesDrawTheirSigns)
{
    using velkhost::LaidOutText;
    EXPECT_EQ(LaidOutText(L"%%c20", false, 2.5, 0), U"\u230020");
    EXPECT_EQ(LaidOutText(L"%%C1%%d%%p%%%%%065", false, 2.5, 0), U"\u23001\u00B0\u00B1%A");
    EXPECT_EQ(LaidOutText(L"%%uAB%%U%%oC%%O", false, 2.5, 0), U"ABC");
    EXPECT_EQ(LaidOutText(L"%%c20\\P%%d%%p\\U+2205", true, 2.5, 0), U"\u230020\n\u00B0\u00B1\u2205");

    Add(Text(0, 0, L"%%c", 20));
    OdDbObjectId block = AddBlock(L"Tag");
    auto* ref = new OdDbBlockReference(OdGePoint3d(40, 0, 0), block);
    OdDbObjectId refId = Add(ref);
    OdDbBlockReference* open = nullptr;
    ASSERT_EQ(oddbOpenObject(open, refId, OdDb::kForWrite), eOk);
    auto* attribute = new OdDbAttribute();
    attribute->setPosition(OdGePoint3d(40, 0, 0));
    attribute->setHeight(20);
    attribute->setTag(L"D");
    attribute->setTextString(L"%%c");
    OdDbObjectId attributeId;
    ASSERT_EQ(open->appendAttribute(attributeId, attribute), eOk);
    attribute->close();
    open->close();
    auto* dim = new OdDbRotatedDimension(0, OdGePoint3d(0, -40, 0), OdGePoint3d(40, -40, 0), OdGePoint3d(20, -30, 0));
    dim->setDimensionText(L"%%uAB%%u");
    OdDbObjectId dimId = Add(dim);
    PxImage png;
    RenderTo(png, 800);
    for (double x : {0.0, 40.0}) {
        Pixels sign = InkIn(png, x - 1, -6, x + 25, 25);
        ASSERT_FALSE(sign.empty()) << x;
        EXPECT_GT(sign.height(), 10 * stats.pixelsPerUnit) << x;
        int marks = 0, holes = 0;
        Shapes(png, sign, marks, holes);
        EXPECT_EQ(marks, 1) << x;
        EXPECT_EQ(holes, 2) << x;
    }
    // Between the dimension line (at -30) and the letters: the underline,
    // as wide as they are; nothing there without "%%u".
    OdDbRotatedDimension* d = nullptr;
    ASSERT_EQ(oddbOpenObject(d, dimId, OdDb::kForWrite), eOk);
    d->setDimensionText(L"AB");
    d->close();
    PxImage plain;
    RenderTo(plain, 800);
    const Pixels letters = InkIn(plain, 10, -29.5, 30, -20);
    ASSERT_FALSE(letters.empty());
    const Pixels below{letters.x0, Py(-30) + 2, letters.x1, letters.y0 - 1};
    ASSERT_GT(below.height(), 2);
    EXPECT_TRUE(InkBox(plain, below).empty());
    const Pixels under = InkBox(png, below);
    ASSERT_FALSE(under.empty());
    EXPECT_GT(under.width(), 0.9 * letters.width());
    EXPECT_LE(under.height(), 3);
}

}  // namespace
