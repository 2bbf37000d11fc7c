// Received signs: texts, multi-line texts, icons and points, their sizes,
// colours and the defaults written back into the record.
#include "peer/peerapi.h"
#include "receive_fixture.h"
#include "ui/pluginfolder.h"

namespace {

using velkpeer::PeerSign;
using ReceiveSignTest = ReceiveTest;

PeerSign Sign(const std::string& name, uint8_t type)
{
    PeerSign s;
    s.name = name;
    s.signType = type;
    s.x = 100;
    s.y = 200;
    s.elevation = 3;
    return s;
}

// A module record of the sign, as the converters take it.
struct ModuleSign {
    explicit ModuleSign(const PeerSign& s)
    {
        std::vector<uint8_t> body = velkpeer::EncodeSign(s);
        record = ParseSignRecord(&g_peerApi, body.data(), (uint32_t)body.size());
    }
    ~ModuleSign() { FreeMapObjRecord(&g_peerApi, record, kMapObjSign); }
    SignRecord* record = nullptr;
};

// Text height of a font size at a level: 2^(20 - level) units per pixel.
double Height(int fontSize, int level) { return fontSize * std::ldexp(1.0, 20 - level) / 1.414 + 0.5; }

}  // namespace

TEST_F(ReceiveSignTest, MissingSizeAndLevelAreDefaultedAndWrittenBack)
{
    g_settings.textLevelMetres = 60;  // level 16
    PeerSign s = Sign("水井", 3);
    s.textColour = 0x0000FF;
    s.colour = 0x00FF00;
    s.rotation = 90;
    ModuleSign sign(s);
    ASSERT_NE(sign.record, nullptr);
    OdDbObjectId icon, text;
    ArxOperation::SignToTextEx(sign.record, L"wells", icon, text, true);
    EXPECT_EQ(sign.record->fontSize, 14u);
    EXPECT_EQ(sign.record->level, 16);
    EXPECT_TRUE(icon.isNull());
    Reading<OdDbText> t(text);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->textString(), L"水井");
    EXPECT_DOUBLE_EQ(t->height(), Height(14, 16));
    EXPECT_NEAR(t->rotation(), 1.5707963705062866, 1e-7);
    // At the sign point, moved only by what sending adds back (a fraction
    // of the height along the rotation).
    EXPECT_EQ(t->alignmentPoint(), t->position());
    EXPECT_DOUBLE_EQ(t->alignmentPoint().x, 100);
    EXPECT_NEAR(t->alignmentPoint().y, 200, 0.01 * t->height());
    EXPECT_EQ(t->alignmentPoint().z, 3);
    EXPECT_EQ(t->verticalMode(), OdDb::kTextBottom);
    EXPECT_EQ(t->layer(), L"wells");
    // A text sign takes the text colour.
    EXPECT_EQ(t->color().red(), 0xFF);
    EXPECT_EQ(t->color().green(), 0);

    // A level the peer does not have is the default level too; a given
    // level and size are kept.
    s.level = 29;
    s.fontSize = 20;
    ModuleSign odd(s);
    ArxOperation::SignToTextEx(odd.record, L"", icon, text, false);
    EXPECT_EQ(odd.record->level, 16);
    s.level = 18;
    ModuleSign given(s);
    OdDbObjectId third;
    ArxOperation::SignToTextEx(given.record, L"", icon, third, false);
    Reading<OdDbText> t3(third);
    EXPECT_DOUBLE_EQ(t3->height(), Height(20, 18));
}

TEST_F(ReceiveSignTest, IconSignsGetAnIconBesideTheirText)
{
    g_settings.pointsAsIcons = 1;
    g_settings.textLevelMetres = 8;
    PeerSign s = Sign("pump", 1);
    s.iconNumber = 12;
    s.colour = 0x00FF00;
    ModuleSign sign(s);
    OdDbObjectId icon, text;
    ArxOperation::SignToTextEx(sign.record, L"", icon, text, false);
    {
        Reading<OdDbRasterImage> image(icon);
        ASSERT_TRUE(image);
        OdGePoint3d origin;
        OdGeVector3d u, v;
        image->getOrientation(origin, u, v);
        EXPECT_EQ(origin, OdGePoint3d(96, 200, 0));  // its bottom middle at the sign
        EXPECT_EQ(u.length(), 8);
    }
    // Not a text sign: its own colour; the record's text colour becomes white.
    Reading<OdDbText> t(text);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->color().green(), 0xFF);
    EXPECT_EQ(t->color().red(), 0);
    EXPECT_EQ(sign.record->textColour, 0xFFFFFFu);

    // Text only: no icon.
    s.textOnly = 1;
    ModuleSign plain(s);
    OdDbObjectId icon2, text2;
    ArxOperation::SignToTextEx(plain.record, L"", icon2, text2, false);
    EXPECT_TRUE(icon2.isNull());
    EXPECT_FALSE(text2.isNull());
}

TEST_F(ReceiveSignTest, MultiLineSignsShowTheirRemark)
{
    PeerSign s = Sign("note", 3);
    s.multiLine = 1;
    s.remark = "line one\r\nline two";
    ModuleSign sign(s);
    OdDbObjectId icon, text;
    ArxOperation::SignToTextEx(sign.record, L"", icon, text, false);
    Reading<OdDbMText> m(text);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->contents(), L"line one\\Pline two");
    EXPECT_EQ(m->attachment(), OdDbMTextEnums::kBottomLeft);
    EXPECT_EQ(m->location(), OdGePoint3d(100, 200, 3));

    // Nothing to show makes nothing.
    s.remark.clear();
    ModuleSign empty(s);
    OdDbObjectId none;
    ArxOperation::SignToTextEx(empty.record, L"", icon, none, false);
    EXPECT_TRUE(none.isNull());
    s.multiLine = 0;
    s.name.clear();
    ModuleSign nameless(s);
    ArxOperation::SignToTextEx(nameless.record, L"", icon, none, false);
    EXPECT_TRUE(none.isNull());
}

TEST_F(ReceiveSignTest, SignToTextMakesOneEntity)
{
    // A line break after the first character makes a multi-line text; one
    // at the start does not.
    PeerSign s = Sign("a\r\nb", 3);
    ModuleSign two(s);
    Reading<OdDbMText> m(ArxOperation::SignToText(two.record, L"", true));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->contents(), L"a\\Pb");
    EXPECT_DOUBLE_EQ(m->textHeight(), Height(14, 18));  // the received-sign level
    s.name = "\r\nab";
    ModuleSign one(s);
    EXPECT_TRUE(Reading<OdDbText>(ArxOperation::SignToText(one.record, L"", false)));

    // Without a level of its own or a setting, a text sign makes nothing.
    g_settings.receivedSignLevel = 0;
    ModuleSign unlevelled(s);
    EXPECT_TRUE(ArxOperation::SignToText(unlevelled.record, L"", false).isNull());

    // Any other sign is an icon, or a point without one: opaque, in the
    // sign's colour.
    PeerSign point = Sign("", 0);
    point.iconNumber = 4;
    point.colour = 0x0000FF;
    ModuleSign p(point);
    Reading<OdDbPoint> made(ArxOperation::SignToText(p.record, L"", false));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->position(), OdGePoint3d(100, 200, 3));
    EXPECT_EQ(made->transparency().alpha(), 254);
    EXPECT_EQ(made->color().red(), 0xFF);
    // Drawn as a point, the sign leaves no icon file behind it.
    const CString iconFile = g_cacheRoot + L"\\VelkArxIcon\\Icon0004.png";
    EXPECT_EQ(GetFileAttributesW(iconFile), INVALID_FILE_ATTRIBUTES);
    g_settings.pointsAsIcons = 1;
    ModuleSign q(point);
    EXPECT_TRUE(Reading<OdDbRasterImage>(ArxOperation::SignToText(q.record, L"", false)));
    EXPECT_NE(GetFileAttributesW(iconFile), INVALID_FILE_ATTRIBUTES);
}
