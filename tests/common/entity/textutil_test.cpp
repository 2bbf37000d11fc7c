#include <cmath>

#include "common/entity/textutil.h"
#include "common/symboltable/textstyleutil.h"
#include "drawing_fixture.h"

namespace {

using TextTest = DrawingTest;

CString Wrap(const wchar_t* contents, double width, double height, bool wrap = true,
             OdDbMTextEnums::FlowDirection flow = OdDbMTextEnums::kLtoR)
{
    OdDbMText m;
    m.setContents(contents);
    m.setWidth(width);
    if (height > 0) m.setTextHeight(height);
    m.setFlowDirection(flow);
    return CTextUtil::GetMTextWrapText(&m, wrap);
}

}  // namespace

TEST_F(TextTest, TextsAndMTextsArePostedWithTheirValues)
{
    EntityProps props;
    OdDbObjectId style = CTextStyleUtil::GetAt(L"Standard");
    auto* text = OpenRead<OdDbText>(CTextUtil::AddText(OdGePoint3d(1, 2, 0), props, L"井1", style, 2.5, 0.5));
    EXPECT_EQ(text->textString(), L"井1");
    EXPECT_EQ(text->textStyle(), style);
    EXPECT_DOUBLE_EQ(text->height(), 2.5);
    EXPECT_DOUBLE_EQ(text->rotation(), 0.5);
    text->close();
    auto* m = OpenRead<OdDbMText>(CTextUtil::AddMText(OdGePoint3d(1, 2, 0), props, L"a\\Pb", style, 3, 40));
    EXPECT_EQ(m->attachment(), OdDbMTextEnums::kBottomLeft);
    EXPECT_EQ(m->contents(), L"a\\Pb");
    EXPECT_EQ(m->text(), L"a\r\nb");
    EXPECT_DOUBLE_EQ(m->width(), 40);
    EXPECT_DOUBLE_EQ(m->textHeight(), 3);
    m->close();
}

TEST_F(TextTest, CurrentTextStyleByName)
{
    OdDbObjectId id = CTextStyleUtil::Add(L"Song", L"simsun.ttf", L"");
    EXPECT_EQ(CTextUtil::SetCurrentTextStyle(L"Song"), eOk);
    EXPECT_EQ(db_->textstyle(), id);
    EXPECT_EQ(CTextUtil::SetCurrentTextStyle(L"Missing"), eKeyNotFound);
    EXPECT_EQ(db_->textstyle(), id);
    OdDbDatabase other;
    EXPECT_EQ(CTextUtil::SetCurrentTextStyle(L"Song", &other), eKeyNotFound);
}

TEST(MTextWrap, ParagraphsAreCutIntoLinesOfTheBoxWidth)
{
    // n = trunc(10 / 2.5 / 1.4 + 0.1) = 2
    EXPECT_EQ(Wrap(L"abcde", 10, 2.5), L"ab\r\ncd\r\ne");
    EXPECT_EQ(Wrap(L"ab\\Pcd\\P", 10, 2.5), L"ab\r\ncd\r\n");
    EXPECT_EQ(Wrap(L"abc\\Pd", 10, 2.5), L"ab\r\nc\r\nd");
    EXPECT_EQ(Wrap(L"", 10, 2.5), L"");
    EXPECT_EQ(Wrap(L"abcde", 1, 2.5), L"a\r\nb\r\nc\r\nd\r\ne");  // at least one per line
    EXPECT_EQ(Wrap(L"地图对象", 10, 2.5), L"地图\r\n对象");
}

TEST(MTextWrap, NoWrapWhenOffByFlowWidthOrHeight)
{
    EXPECT_EQ(Wrap(L"abcde", 10, 2.5, false), L"abcde");
    EXPECT_EQ(Wrap(L"abcde", 10, 2.5, true, OdDbMTextEnums::kByStyle), L"ab\r\ncd\r\ne");
    for (auto flow : {OdDbMTextEnums::kRtoL, OdDbMTextEnums::kTtoB, OdDbMTextEnums::kBtoT})
        EXPECT_EQ(Wrap(L"abcde", 10, 2.5, true, flow), L"abcde");
    EXPECT_EQ(Wrap(L"abcde", 0, 2.5), L"abcde");
    EXPECT_EQ(Wrap(L"abcde", std::nan(""), 2.5), L"abcde");  // a width from a file that is no number
    EXPECT_EQ(Wrap(L"abcde", 1e300, 1e-300), L"abcde");  // a huge line length does not overflow
}

TEST(LabelAnchor, QuadrantsOfTheExtentsBox)
{
    OdGeExtents3d box(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 4, 0));
    auto anchor = [&](double angle, bool positive = true, bool large = false) {
        OdGePoint3d p(-1, -1, 7);
        CTextUtil::GetLabelAnchor(p, box, angle, 2, positive, large);
        EXPECT_EQ(p.z, 7);
        return p;
    };
    OdGePoint3d p = anchor(0);
    EXPECT_DOUBLE_EQ(p.x, 0);
    EXPECT_DOUBLE_EQ(p.y, 0);
    p = anchor(1.57);
    EXPECT_NEAR(p.x, 2.2 * std::sin(1.57), 1e-12);  // still the first quadrant
    EXPECT_EQ(p.y, 0);
    p = anchor(3.0);
    EXPECT_EQ(p.x, 10);
    EXPECT_NEAR(p.y, 2.2 * std::cos(0.14), 1e-12);
    p = anchor(M_PI, true, true);
    EXPECT_NEAR(p.x, 10 - 2.6 * std::sin(M_PI - 3.14), 1e-12);  // just past 3.14: third quadrant
    EXPECT_EQ(p.y, 4);
    p = anchor(5.0, false);
    EXPECT_EQ(p.x, 0);
    EXPECT_NEAR(p.y, 4 + 2.2 * std::cos(6.28 - 5.0), 1e-12);
    p = anchor(6.283);
    EXPECT_EQ(p.x, -1);
    p = anchor(-0.1);
    EXPECT_EQ(p.y, -1);

    OdGePoint3d q(3, 4, 5);
    CTextUtil::GetLabelAnchorInt(q, 1.0, 2.0, true);
    EXPECT_EQ(q, OdGePoint3d(3, 4, 5));
}
