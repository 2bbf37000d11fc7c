#include "dxf_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>

#include "dxf_control.h"
#include "exchange/entitylink.h"
#include "gcdbutil.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "state/drawingdata.h"
#include "text_internal.h"

namespace dxftest {
namespace {

std::string U8(const OdString& s) { return standin::WideToUtf8(s.str()); }

// Text in a summary line: line ends escaped.
std::string Line(const OdString& s)
{
    std::string out;
    for (char c : U8(s)) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

// Tables entries ezdxf adds to every drawing it reads.
bool AddedByEzdxf(const OdString& name) { return name.compare(L"ACAD") == 0 || name.compare(L"Defpoints") == 0; }

std::string Num(double v)
{
    char buf[40];
    snprintf(buf, sizeof buf, "%.9g", v == 0 ? 0.0 : v);
    return buf;
}

std::string Hex(OdDbObjectId id) { return id.isNull() ? "0" : U8(id.getHandle().ascii()); }
std::string Pt(const OdGePoint3d& p) { return Num(p.x) + "," + Num(p.y) + "," + Num(p.z); }
std::string Vec(const OdGeVector3d& v) { return Num(v.x) + "," + Num(v.y) + "," + Num(v.z); }

OdDbObject* Open(OdDbObjectId id)
{
    OdDbObject* o = nullptr;
    EXPECT_EQ(oddbOpenObject(o, id, OdDb::kForRead), eOk);
    return o;
}

std::string NameOf(OdDbObjectId id)
{
    if (id.isNull()) return "";
    auto* r = OdRxCast<OdDbSymbolTableRecord>(Open(id));
    std::string n = r ? U8(r->getName()) : "?";
    if (r) r->close();
    return n;
}


template <class T>
OdDbObjectId AddRecord(OdDbObjectId tableId, T* rec, const wchar_t* name)
{
    OdDbSymbolTable* t = nullptr;
    EXPECT_EQ(oddbOpenObject(t, tableId, OdDb::kForWrite), eOk);
    rec->setName(name);
    OdDbObjectId id;
    EXPECT_EQ(t->add(id, rec), eOk);
    rec->close();
    t->close();
    return id;
}

// A link written by the module, as its saving of links writes it.
void WriteLink(OdDbObjectId owner, uint32_t peerId, const wchar_t* name, const wchar_t* remark, int join,
               uint64_t companion, int icon, double x, double y)
{
    MapObjInfo link;
    link.handle = owner.getHandle();
    link.peerId = peerId;
    link.name = name;
    link.remark = remark;
    link.join = (uint8_t)join;
    link.companion = companion;
    link.iconNumber = icon;
    link.labelPos = OdGePoint3d(x, y, 0);
    OdDbObject* o = nullptr;
    ASSERT_EQ(oddbOpenObject(o, owner, OdDb::kForWrite), eOk);
    if (auto* layer = OdRxCast<OdDbLayerTableRecord>(o)) EXPECT_EQ(WriteFolderLayerLink(layer, link), 1);
    else EXPECT_EQ(WriteEntityLink(static_cast<OdDbEntity*>(o), link), 1);
    o->close();
}

}  // namespace

OdDbObjectId Append(OdDbDatabase* db, OdDbEntity* e, OdDbObjectId block) { return velktest::AppendEntity(db, e, block); }

void BuildSampleDrawing(OdDbDatabase* db)
{
    db->newRegApp(L"VelkArx");
    // Registered as the host does when a hatch gets a background colour
    // and a dimension a setting of its own.
    db->newRegApp(L"HATCHBACKGROUNDCOLOR");
    db->newRegApp(L"ACAD");
    ASSERT_EQ(gcdbLoadLineTypeFile(L"DASHED", L"ACADISO.LIN", db), eOk);
    OdDbObjectId dashed;
    OdDbLinetypeTable* lt = nullptr;
    db->getLinetypeTable(lt, OdDb::kForRead);
    lt->getAt(L"DASHED", dashed);
    lt->close();

    auto* roads = new OdDbLayerTableRecord();
    OdCmColor red;
    red.setColorIndex(1);
    roads->setColor(red);
    roads->setLinetypeObjectId(dashed);
    roads->setIsLocked(true);
    OdDbObjectId roadsId = AddRecord(db->getLayerTableId(), roads, L"道路");
    auto* water = new OdDbLayerTableRecord();
    OdCmColor blue;
    blue.setColorIndex(5);
    water->setColor(blue);
    water->setLinetypeObjectId(db->getLinetypeContinuousId());
    water->setIsOff(true);
    water->setIsFrozen(true);
    AddRecord(db->getLayerTableId(), water, L"Water");
    auto* style = new OdDbTextStyleTableRecord();
    style->setFileName(L"simfang.ttf");
    style->setXScale(0.8);
    OdDbObjectId styleId = AddRecord(db->getTextStyleTableId(), style, L"仿宋");

    // A block with attribute definitions, referenced with its attributes.
    auto* block = new OdDbBlockTableRecord();
    block->setOrigin(OdGePoint3d(1, 1, 0));
    OdDbObjectId blockId = AddRecord(db->getBlockTableId(), block, L"Sign");
    Append(db, new OdDbCircle(OdGePoint3d(1, 1, 0), OdGeVector3d::kZAxis, 2), blockId);
    Append(db, new OdDbAttributeDefinition(OdGePoint3d(0, 3, 0), L"N1", L"name", L"Name?", styleId), blockId);
    auto* ref = new OdDbBlockReference(OdGePoint3d(50, 60, 0), blockId);
    ref->setScaleFactors(OdGeScale3d(2, 2, 2));
    ref->setRotation(0.5);
    auto* attr = new OdDbAttribute();
    attr->setTag(L"NAME");
    attr->setTextString(L"标志一");
    attr->setPosition(OdGePoint3d(50, 66, 0));
    attr->setHeight(1.5);
    OdDbObjectId attrId;
    ref->appendAttribute(attrId, attr);
    ref->setLayer(L"道路");
    Append(db, ref);

    OdDbObjectId lineId = Append(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(100, 40, 0)));
    {
        OdDbEntity* e = nullptr;
        oddbOpenObject(e, lineId, OdDb::kForWrite);
        e->setLayer(L"道路");
        OdCmColor rgb;
        rgb.setRGB(10, 200, 30);
        e->setColor(rgb);
        e->setLinetypeScale(2.5);
        e->setTransparency(OdCmTransparency(128));
        e->close();
    }
    Append(db, new OdDbArc(OdGePoint3d(10, 10, 0), 5, 0.25, 4.0));
    Append(db, new OdDbCircle(OdGePoint3d(3, 4, 5), OdGeVector3d(0.3, -0.4, 0.866).normal(), 7));
    Append(db, new OdDbArc(OdGePoint3d(-3, 4, 1), OdGeVector3d(0, 0, -1), 2, 1.0, 2.0));
    Append(db, new OdDbEllipse(OdGePoint3d(20, 20, 0), OdGeVector3d::kZAxis, OdGeVector3d(6, 2, 0), 0.4, 0.3, 5.0));
    auto* pl = new OdDbPolyline();
    pl->addVertexAt(0, OdGePoint2d(0, 0), 0.5, 0.2, 0.4);
    pl->addVertexAt(1, OdGePoint2d(10, 0), 0, 0.4, 0.2);
    pl->addVertexAt(2, OdGePoint2d(10, 10), -1.0);
    pl->setClosed(true);
    pl->setElevation(3);
    Append(db, pl);
    OdGeDoubleArray bulges{0.0, 0.3, 0.0};
    auto* p2 = new OdDb2dPolyline(OdDb::k2dSimplePoly, OdGePoint3dArray{{0, 0, 0}, {5, 5, 0}, {9, 1, 0}}, 2.0, true,
                                  0.1, 0.3, &bulges);
    Append(db, p2);
    Append(db, new OdDb3dPolyline(OdDb::k3dSimplePoly, OdGePoint3dArray{{0, 0, 0}, {1, 2, 3}, {4, 5, 6}}));
    Append(db, new OdDbSpline(3, true, false, false, OdGePoint3dArray{{0, 0, 0}, {1, 3, 0}, {4, 3, 0}, {5, 0, 0}},
                              OdGeDoubleArray{0, 0, 0, 0, 1, 1, 1, 1}, OdGeDoubleArray{1, 0.5, 0.5, 1}));
    Append(db, new OdDbSpline(OdGePoint3dArray{{0, 0, 0}, {2, 2, 0}, {4, 0, 0}, {6, 3, 0}}, OdGeVector3d(),
                              OdGeVector3d()));
    Append(db, new OdDbPoint(OdGePoint3d(7, 8, 9)));
    auto* text = new OdDbText(OdGePoint3d(30, 30, 0), L"河流 ^ 标注", styleId, 2.5, 0.3);
    text->setHorizontalMode(OdDb::kTextCenter);
    text->setVerticalMode(OdDb::kTextVertMid);
    text->setAlignmentPoint(OdGePoint3d(32, 31, 0));
    text->setWidthFactor(0.9);
    text->setOblique(0.1);
    OdDbObjectId textId = Append(db, text);
    auto* mt = new OdDbMText();
    std::wstring contents = L"{\\fSimSun|b0;第一行}\\P";
    for (int i = 0; i < 40; ++i) contents += L"长文本" + std::to_wstring(i) + L" ";
    mt->setContents(contents.c_str());
    mt->setLocation(OdGePoint3d(40, 50, 0));
    mt->setTextHeight(3);
    mt->setWidth(60);
    mt->setRotation(0.2);
    mt->setAttachment(OdDbMTextEnums::kMiddleCenter);
    Append(db, mt);

    // Hatches: a polyline loop, a loop of edges, a gradient.
    auto* h1 = new OdDbHatch();
    h1->setPattern(OdDbHatch::kPreDefined, L"ANSI31");
    h1->setPatternAngle(0.5);
    h1->setPatternScale(2);
    OdCmColor back;
    back.setRGB(200, 220, 255);
    h1->setBackgroundColor(back);
    h1->setOriginPoint(OdGePoint2d(2.5, -1));
    h1->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                   OdGeDoubleArray{0, 0.4, 0, 0});
    Append(db, h1);
    auto* h2 = new OdDbHatch();
    OdGeLineSeg2d bottom(OdGePoint2d(0, 0), OdGePoint2d(10, 0));
    OdGeCircArc2d right(OdGePoint2d(10, 5), 5, 1.5 * M_PI, 2.5 * M_PI);
    OdGeEllipArc2d top(OdGePoint2d(5, 10), OdGeVector2d(1, 0), OdGeVector2d(0, 1), 5, 2, 0, M_PI);
    OdGeNurbCurve2d left(2, OdGeDoubleArray{0, 0, 0, 1, 1, 1}, OdGePoint2dArray{{0, 10}, {-3, 5}, {0, 0}});
    h2->appendLoop(OdDbHatch::kExternal, OdGeVoidPointerArray{&bottom, &right, &top, &left},
                   OdGeIntArray{OdDbHatch::kLine, OdDbHatch::kCirArc, OdDbHatch::kEllArc, OdDbHatch::kSpline});
    Append(db, h2);
    auto* h3 = new OdDbHatch();
    h3->setHatchObjectType(OdDbHatch::kGradientObject);
    h3->setGradient(OdDbHatch::kPreDefinedGradient, L"CYLINDER");
    h3->setGradientAngle(0.7);
    OdCmColor gc[2];
    gc[0].setColorIndex(3);
    gc[1].setRGB(250, 240, 10);
    double gv[2] = {0, 1};
    h3->setGradientColors(2, gc, gv);
    h3->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{20, 0}, {30, 0}, {30, 8}}, OdGeDoubleArray{0, 0, 0});
    Append(db, h3);
    Append(db, new OdDbSolid(OdGePoint3d(0, 0, 0), OdGePoint3d(4, 0, 0), OdGePoint3d(0, 4, 0), OdGePoint3d(4, 4, 0)));
    auto* mline = new OdDbMline();
    for (const auto& p : {OdGePoint3d(0, 50, 0), OdGePoint3d(20, 50, 0), OdGePoint3d(20, 70, 0)}) mline->appendSeg(p);
    mline->setScale(2);
    mline->setClosedMline(true);
    Append(db, mline);
    auto* dim = new OdDbAlignedDimension(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 0, 0), OdGePoint3d(5, -3, 0), L"10m");
    dim->setDimtmove(1);
    Append(db, dim);
    Append(db, new OdDbRadialDimension(OdGePoint3d(10, 10, 0), OdGePoint3d(15, 10, 0), 2));

    // A raster image on its definition in the image dictionary.
    OdDbObjectId imageDict;
    ASSERT_EQ(OdDbRasterImageDef::createImageDictionary(db, imageDict), eOk);
    OdDbDictionary* dict = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, imageDict, OdDb::kForWrite), eOk);
    auto* def = new OdDbRasterImageDef();
    def->setSourceFileName(L"C:\\Maps\\tile_12_3.png");
    OdDbObjectId defId;
    ASSERT_EQ(dict->setAt(L"tile_12_3", def, defId), eOk);
    def->close();
    dict->close();
    auto* image = new OdDbRasterImage();
    image->setImageDefId(defId);
    image->setOrientation(OdGePoint3d(100, 200, 0), OdGeVector3d(256, 0, 0), OdGeVector3d(0, 128, 0));
    image->setDisplayOpt(OdDbRasterImage::kTransparent, true);
    OdDbObjectId imageId = Append(db, image);

    // The image below everything else.
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    OdDbSortentsTable* sortents = nullptr;
    ASSERT_EQ(ms->getSortentsTable(sortents, OdDb::kForWrite, true), eOk);
    ms->close();
    ASSERT_EQ(sortents->moveToBottom(OdDbObjectIdArray{imageId}), eOk);
    sortents->close();

    WriteLink(textId, 4000000001u, L"河流", L"line one\r\nline two ^ and more", 1, 0xFFFFFFFFFFFFFFFBull, 12, 1234.5,
              -0.125);
    WriteLink(imageId, 77, L"tile", L"", 0, 9, 0, 0, 0);
    WriteLink(lineId, 8, L"路", std::wstring(6001, L'长').c_str(), 1, 0, 0, 0, 0);
    WriteLink(roadsId, 501, L"道路文件夹", L"", 0, 0, 0, 0, 0);
}

void AppendEveryKindsValues(OdDbDatabase* db)
{
    // Thickness, tilted planes and rotations.
    auto* line = new OdDbLine(OdGePoint3d(1, 2, 3), OdGePoint3d(4, 5, 6));
    line->setThickness(2);
    line->setNormal(OdGeVector3d(0, 0.6, 0.8));
    Append(db, line);
    auto* point = new OdDbPoint(OdGePoint3d(7, 8, 9));
    point->setThickness(1.5);
    point->setNormal(OdGeVector3d(0.6, 0, 0.8));
    point->setEcsRotation(0.3);
    Append(db, point);
    auto* circle = new OdDbCircle(OdGePoint3d(1, 1, 0), OdGeVector3d::kZAxis, 3);
    circle->setThickness(4);
    Append(db, circle);
    auto* arc = new OdDbArc(OdGePoint3d(2, 2, 0), 1, 0.5, 2.5);
    arc->setThickness(0.5);
    Append(db, arc);
    auto* solid = new OdDbSolid(OdGePoint3d(0, 0, 1), OdGePoint3d(1, 0, 1), OdGePoint3d(1, 1, 1), OdGePoint3d(0, 1, 1));
    solid->setNormal(OdGeVector3d(0, -0.6, 0.8));
    solid->setThickness(3);
    Append(db, solid);
    const OdDbObjectId style = AddRecord(db->getTextStyleTableId(), new OdDbTextStyleTableRecord(), L"Narrow");
    auto tilted = [&](OdDbText* t) {
        t->setThickness(0.5);
        t->setNormal(OdGeVector3d(0, 0.6, 0.8));
        t->mirrorInX(true);
        t->setRotation(0.2);
        t->setWidthFactor(0.9);
        t->setOblique(0.1);
        t->setHorizontalMode(OdDb::kTextCenter);
        t->setVerticalMode(OdDb::kTextTop);
        t->setAlignmentPoint(OdGePoint3d(3, 3, 0));
        t->setTextStyle(style);
        return t;
    };
    Append(db, tilted(new OdDbText(OdGePoint3d(1, 1, 0), L"tilted", style)));
    const OdDbObjectId signId = AddRecord(db->getBlockTableId(), new OdDbBlockTableRecord(), L"TiltedSign");
    Append(db, tilted(new OdDbAttributeDefinition(OdGePoint3d(0, 1, 0), L"v", L"TAG", L"Tag?", style)),
                    signId);
    // A plain reference and one in rows and columns, in tilted planes, with
    // an attribute.
    for (OdDbBlockReference* ref : {new OdDbBlockReference(OdGePoint3d(9, 9, 0), signId),
                                    static_cast<OdDbBlockReference*>(
                                        new OdDbMInsertBlock(OdGePoint3d(5, 5, 0), signId, 3, 2, 10, 20))}) {
        ref->setNormal(OdGeVector3d(0.6, 0, 0.8));
        auto* attribute = new OdDbAttribute();
        attribute->setTag(L"TAG");
        attribute->setTextString(L"v");
        tilted(attribute);
        OdDbObjectId attributeId;
        ref->appendAttribute(attributeId, attribute);
        Append(db, ref);
    }
    auto* light = new OdDbPolyline();
    light->addVertexAt(0, OdGePoint2d(0, 0), 0, 1, 1);
    light->addVertexAt(1, OdGePoint2d(5, 0), 0, 1, 1);
    light->setThickness(2);
    Append(db, light);
    // A dimension of each kind.
    const OdGePoint3d a(0, 0, 0), b(10, 0, 0), c(10, 5, 0), d(0, 5, 0), e(5, 8, 0);
    for (OdDbDimension* dim : std::vector<OdDbDimension*>{
             new OdDbRotatedDimension(0.3, a, b, c), new OdDbAlignedDimension(a, b, c),
             new OdDbRadialDimension(a, b, 2), new OdDbDiametricDimension(a, b, 2),
             new OdDb2LineAngularDimension(a, b, a, d, e), new OdDb3PointAngularDimension(a, b, d, e),
             new OdDbOrdinateDimension(true, c, e)})
        Append(db, dim);
    // A long text in pieces, with a fill of a numbered colour and one of a
    // true colour.
    for (bool trueColour : {false, true}) {
        auto* m = new OdDbMText();
        m->setContents(std::wstring(600, L'x').c_str());
        m->setTextStyle(style);
        m->setNormal(OdGeVector3d(0.6, 0, 0.8));
        m->setBackgroundFill(true);
        OdCmColor c;
        if (trueColour) c.setRGB(1, 2, 3);
        else c.setColorIndex(3);
        m->setBackgroundFillColor(c);
        m->setBackgroundScaleFactor(2);
        m->setBackgroundTransparency(OdCmTransparency(100));
        Append(db, m);
    }
    // The polylines of vertex records, each form with the values written
    // only when they are not the default.
    auto* p2 = new OdDb2dPolyline(OdDb::k2dQuadSplinePoly, OdGePoint3dArray(), 2, true, 0.5, 0.25);
    p2->appendVertex(OdGePoint3d(0, 0, 2), 0.3, 1, 2, OdDb::k2dSplineCtlVertex);
    p2->appendVertex(OdGePoint3d(5, 1, 2), 0, 0.5, 0.25, OdDb::k2dSplineFitVertex);
    p2->setThickness(1.5);
    p2->setNormal(OdGeVector3d(0, 0.6, 0.8));
    Append(db, p2);
    auto* p3 = new OdDb3dPolyline(OdDb::k3dQuadSplinePoly, OdGePoint3dArray());
    p3->appendVertex(OdGePoint3d(0, 0, 1), OdDb::k3dControlVertex);
    p3->appendVertex(OdGePoint3d(4, 2, 3), OdDb::k3dFitVertex);
    Append(db, p3);
    auto* grid = new OdDbPolygonMesh(OdDb::kQuadSurfaceMesh, 2, 2,
                                     OdGePoint3dArray{{0, 0, 0}, {0, 1, 0}, {1, 0, 1}, {1, 1, 0}}, true, true);
    grid->setMSurfaceDensity(3);
    grid->setNSurfaceDensity(4);
    Append(db, grid);
    auto* faces = new OdDbPolyFaceMesh();
    for (const OdGePoint3d& q : {OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0), OdGePoint3d(1, 1, 0), OdGePoint3d(0, 1, 1)})
        faces->appendVertex(q);
    faces->appendFaceRecord(1, 2, 3, -4);
    Append(db, faces);
}

namespace {

std::string DxfType(OdDbObject* o)
{
    struct Kind {
        OdRxClass* cls;
        const char* name;
    };
    // Most derived classes first.
    const Kind kinds[] = {
        {OdDbAttributeDefinition::desc(), "ATTDEF"}, {OdDbAttribute::desc(), "ATTRIB"}, {OdDbText::desc(), "TEXT"},
        {OdDbMText::desc(), "MTEXT"},  {OdDbLine::desc(), "LINE"},         {OdDbArc::desc(), "ARC"},
        {OdDbCircle::desc(), "CIRCLE"}, {OdDbEllipse::desc(), "ELLIPSE"}, {OdDbPolyline::desc(), "LWPOLYLINE"},
        {OdDb2dPolyline::desc(), "POLYLINE"}, {OdDb3dPolyline::desc(), "POLYLINE"}, {OdDbSpline::desc(), "SPLINE"},
        {OdDbPoint::desc(), "POINT"},  {OdDbBlockReference::desc(), "INSERT"}, {OdDbHatch::desc(), "HATCH"},
        {OdDbSolid::desc(), "SOLID"},  {OdDbRasterImage::desc(), "IMAGE"}, {OdDbDimension::desc(), "DIMENSION"},
        {OdDbMline::desc(), "MLINE"},
    };
    for (const auto& k : kinds)
        if (o->isKindOf(k.cls)) return k.name;
    if (auto* p = OdRxCast<OdDbProxyEntity>(o)) return U8(p->originalDxfName());
    return "?";
}

std::string ChainText(const OdResBuf* rb)
{
    std::string s;
    for (; rb; rb = rb->next()) {
        int c = rb->restype();
        std::string v;
        if ((c >= 10 && c <= 18)) v = Pt(rb->getPoint3d());
        else if (c <= 9 || (c >= 300 && c <= 309) || (c >= 1000 && c <= 1009)) v = Line(rb->getString());
        else if ((c >= 38 && c <= 59) || (c >= 140 && c <= 149) || (c >= 1040 && c <= 1042)) v = Num(rb->getDouble());
        else if (c >= 320 && c <= 369) v = Hex(rb->getObjectId());
        else v = std::to_string(rb->getInt32());
        s += (s.empty() ? "" : "|") + std::to_string(c) + ":" + v;
    }
    return s;
}

std::string Coord(double v)
{
    char buf[40];
    double r = std::round(v * 1e6) / 1e6;
    snprintf(buf, sizeof buf, "%.6f", r == 0 ? 0.0 : r);
    return buf;
}

// Points of an entity in world coordinates (see geometry() in
// data/dxf_summary.py); empty for kinds without such a line.
std::string Geometry(OdDbEntity* e)
{
    std::vector<OdGePoint3d> pts;
    OdGePoint3d p;
    if (auto* l = OdRxCast<OdDbLine>(e)) pts = {l->startPoint(), l->endPoint()};
    else if (auto* c = OdRxCast<OdDbCircle>(e)) pts = {c->center()};
    else if (OdRxCast<OdDbArc>(e) || OdRxCast<OdDbEllipse>(e)) {
        auto* cv = static_cast<OdDbCurve*>(e);
        OdGePoint3d q;
        cv->getStartPoint(p);
        cv->getEndPoint(q);
        pts = {p, q};
    } else if (auto* pl = OdRxCast<OdDbPolyline>(e)) {
        for (unsigned i = 0; i < pl->numVerts(); ++i) {
            pl->getPointAt(i, p);
            pts.push_back(p);
        }
    } else if (auto* pt = OdRxCast<OdDbPoint>(e)) pts = {pt->position()};
    else if (auto* t = OdRxCast<OdDbText>(e)) {
        if (OdRxCast<OdDbAttribute>(e)) return "";
        pts = {t->position()};
    } else if (auto* r = OdRxCast<OdDbBlockReference>(e)) pts = {r->position()};
    else if (auto* so = OdRxCast<OdDbSolid>(e)) {
        for (int i = 0; i < 4; ++i) {
            so->getPointAt(i, p);
            pts.push_back(p);
        }
    } else if (auto* img = OdRxCast<OdDbRasterImage>(e)) {
        OdGeVector3d u, v;
        img->getOrientation(p, u, v);
        pts = {p, p + u + v};
    } else if (auto* m = OdRxCast<OdDbMline>(e)) {
        for (int i = 0; i < m->numVertices(); ++i) pts.push_back(m->vertexAt(i));
    }
    std::string s;
    for (const auto& q : pts) s += (s.empty() ? "" : ";") + Coord(q.x) + "," + Coord(q.y) + "," + Coord(q.z);
    return s;
}

// The Xrecords in an object's extension dictionary, as summary lines.
void Xrecords(std::vector<std::string>& lines, const std::string& owner, OdDbObject* o)
{
    if (o->extensionDictionary().isNull()) return;
    auto* dict = OdRxCast<OdDbDictionary>(Open(o->extensionDictionary()));
    if (!dict) return;
    std::unique_ptr<OdDbDictionaryIterator> it(dict->newIterator());
    for (; !it->done(); it->next()) {
        auto* x = OdRxCast<OdDbXrecord>(Open(it->objectId()));
        if (!x) continue;
        OdResBuf* chain = x->rbChain();
        lines.push_back("XRECORD " + owner + " " + U8(it->name()) + " " + ChainText(chain));
        OdResBuf::releaseChain(chain);
        x->close();
    }
    dict->close();
}

template <class F>
void ForRecords(OdDbObjectId tableId, F f)
{
    auto* t = OdRxCast<OdDbSymbolTable>(Open(tableId));
    std::vector<OdDbObjectId> ids = t->recordIds();
    t->close();
    for (const auto& id : ids) {
        if (id.isErased()) continue;
        OdDbObject* r = Open(id);
        f(r);
        r->close();
    }
}

}  // namespace

std::vector<std::string> Summary(OdDbDatabase* db)
{
    std::vector<std::string> lines;
    ForRecords(db->getLayerTableId(), [&](OdDbObject* o) {
        auto* la = static_cast<OdDbLayerTableRecord*>(o);
        if (AddedByEzdxf(la->getName())) return;
        int aci = la->color().isByACI() ? la->color().colorIndex() : 7;
        std::string lt = NameOf(la->linetypeObjectId());
        lines.push_back("LAYER " + U8(la->getName()) + "|" + std::to_string(aci) + "|" +
                        (lt.empty() ? "Continuous" : lt) + "|" + std::to_string(la->isFrozen()) + "|" +
                        std::to_string(la->isLocked()) + "|" + std::to_string(la->isOff()));
        Xrecords(lines, Hex(la->objectId()), la);
    });
    ForRecords(db->getLinetypeTableId(), [&](OdDbObject* o) {
        lines.push_back("LTYPE " + U8(static_cast<OdDbSymbolTableRecord*>(o)->getName()));
    });
    ForRecords(db->getTextStyleTableId(), [&](OdDbObject* o) {
        lines.push_back("STYLE " + U8(static_cast<OdDbSymbolTableRecord*>(o)->getName()));
    });
    ForRecords(db->getRegAppTableId(), [&](OdDbObject* o) {
        OdString name = static_cast<OdDbSymbolTableRecord*>(o)->getName();
        if (!AddedByEzdxf(name)) lines.push_back("APPID " + U8(name));
    });
    std::vector<std::pair<std::string, std::string>> images;
    ForRecords(db->getBlockTableId(), [&](OdDbObject* o) {
        auto* btr = static_cast<OdDbBlockTableRecord*>(o);
        std::string name = U8(btr->getName());
        std::vector<OdDbObjectId> live;
        for (const auto& id : btr->entityIds())
            if (!id.isErased()) live.push_back(id);
        lines.push_back("BLOCK " + name + "|" + std::to_string(live.size()));
        OdDbSortentsTable* st = nullptr;
        if (btr->getSortentsTable(st, OdDb::kForRead) == eOk) {
            OdDbObjectIdArray order;
            st->getFullDrawOrder(order);
            std::string s;
            for (const auto& id : order) s += (s.empty() ? "" : ",") + Hex(id);
            lines.push_back("DRAWORDER " + name + " " + s);
            st->close();
        }
        for (const auto& id : live) {
            OdDbEntity* e = static_cast<OdDbEntity*>(Open(id));
            std::string h = Hex(id), type = DxfType(e);
            lines.push_back("ENTITY " + h + "|" + type + "|" + U8(e->layer()) + "|" + name);
            Xrecords(lines, h, e);
            std::string geom = Geometry(e);
            if (!geom.empty()) lines.push_back("GEOM " + h + " " + geom);
            if (auto* t = OdRxCast<OdDbText>(e)) lines.push_back("TEXT " + h + " " + Line(t->textString()));
            if (auto* m = OdRxCast<OdDbMText>(e)) lines.push_back("TEXT " + h + " " + Line(m->contents()));
            if (auto* r = OdRxCast<OdDbBlockReference>(e)) {
                lines.push_back("INSERT " + h + " " + NameOf(r->blockTableRecord()));
                std::unique_ptr<OdDbObjectIterator> it(r->attributeIterator());
                for (; it && !it->done(); it->step()) {
                    auto* a = static_cast<OdDbAttribute*>(Open(it->objectId()));
                    lines.push_back("ATTRIB " + h + " " + Hex(a->objectId()) + " " + U8(a->tag()) + "=" +
                                    Line(a->textString()));
                    Xrecords(lines, Hex(a->objectId()), a);
                    a->close();
                }
            }
            if (auto* img = OdRxCast<OdDbRasterImage>(e)) {
                auto* def = OdRxCast<OdDbRasterImageDef>(Open(img->imageDefId()));
                images.emplace_back(h, def ? U8(def->sourceFileName()) : "-");
                if (def) def->close();
            }
            if (auto* ha = OdRxCast<OdDbHatch>(e)) {
                bool gradient = ha->hatchObjectType() == OdDbHatch::kGradientObject;
                lines.push_back("HATCH " + h + " " + std::to_string(ha->numLoops()) + " " +
                                (gradient ? "SOLID" : U8(ha->patternName())) + " " +
                                (gradient ? U8(ha->gradientName()) : "-"));
            }
            e->close();
        }
    });
    for (const auto& [h, file] : images) lines.push_back("IMAGE " + h + " " + file);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> Describe(OdDbDatabase* db)
{
    std::vector<std::string> out;
    for (const auto& id : db->allObjectIds()) {
        if (id.isErased()) continue;
        OdDbObject* o = Open(id);
        std::string s = Hex(id) + " " + U8(o->isA()->name()) + " owner=" + Hex(o->ownerId()) +
                        " xdict=" + Hex(o->extensionDictionary());
        for (const auto& r : o->getPersistentReactors()) s += " reactor=" + Hex(r);
        if (auto* r = OdRxCast<OdDbSymbolTableRecord>(o)) s += " name=" + U8(r->getName());
        if (auto* e = OdRxCast<OdDbEntity>(o)) {
            OdCmColor c = e->color();
            s += " layer=" + U8(e->layer()) + " ltype=" + U8(e->linetype()) + " color=" +
                 std::to_string(c.colorMethod()) + ":" + std::to_string(c.colorIndex()) + ":" +
                 std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue()) +
                 " ltscale=" + Num(e->linetypeScale()) + " transparency=" + std::to_string(e->transparency().serializeOut());
            OdGeExtents3d ext;
            if (e->getGeomExtents(ext) == eOk) s += " extents=" + Pt(ext.minPoint()) + ";" + Pt(ext.maxPoint());
        }
        if (auto* c = OdRxCast<OdDbCurve>(o)) {
            double t0 = 0, t1 = 0;
            OdGePoint3d a, b;
            if (c->getStartParam(t0) == eOk && c->getEndParam(t1) == eOk) {
                c->getPointAtParam(t0, a);
                c->getPointAtParam(t1, b);
                s += " start=" + Pt(a) + " end=" + Pt(b) + " mid=";
                c->getPointAtParam((t0 + t1) / 2, a);
                s += Pt(a) + " closed=" + std::to_string(c->isClosed());
            }
        }
        if (auto* pl = OdRxCast<OdDbPolyline>(o))
            for (unsigned i = 0; i < pl->numVerts(); ++i) {
                double sw, ew;
                pl->getWidthsAt(i, sw, ew);
                s += " v=" + Num(pl->getBulgeAt(i)) + "/" + Num(sw) + "/" + Num(ew);
            }
        if (auto* p2 = OdRxCast<OdDb2dPolyline>(o)) {
            s += " type=" + std::to_string(p2->polyType());
            for (int i = 0; i < p2->numVerts(); ++i) {
                OdGePoint3d p;
                double b, sw, ew;
                p2->getVertexAt(i, p, b, sw, ew);
                s += " v=" + Pt(p) + "/" + Num(b) + "/" + Num(sw) + "/" + Num(ew);
            }
        }
        if (auto* sp = OdRxCast<OdDbSpline>(o))
            s += " degree=" + std::to_string(sp->degree()) + " rational=" + std::to_string(sp->isRational()) +
                 " fit=" + std::to_string(sp->numFitPoints());
        if (auto* t = OdRxCast<OdDbText>(o))
            s += " text=" + U8(t->textString()) + " pos=" + Pt(t->position()) + " align=" + Pt(t->alignmentPoint()) +
                 " h=" + Num(t->height()) + " rot=" + Num(t->rotation()) + " wf=" + Num(t->widthFactor()) +
                 " obl=" + Num(t->oblique()) + " modes=" + std::to_string(t->horizontalMode()) +
                 std::to_string(t->verticalMode()) + " style=" + NameOf(t->textStyle());
        if (auto* d = OdRxCast<OdDbAttributeDefinition>(o))
            s += " tag=" + U8(d->tag()) + " prompt=" + U8(d->prompt()) + " flags=" + std::to_string(d->isInvisible()) +
                 std::to_string(d->isConstant());
        if (auto* a = OdRxCast<OdDbAttribute>(o)) s += " tag=" + U8(a->tag());
        if (auto* m = OdRxCast<OdDbMText>(o))
            s += " contents=" + U8(m->contents()) + " loc=" + Pt(m->location()) + " h=" + Num(m->textHeight()) +
                 " w=" + Num(m->width()) + " rot=" + Num(m->rotation()) + " attach=" + std::to_string(m->attachment()) +
                 " style=" + NameOf(m->textStyle());
        if (auto* r = OdRxCast<OdDbBlockReference>(o)) {
            s += " block=" + NameOf(r->blockTableRecord()) + " pos=" + Pt(r->position()) + " scale=" +
                 Num(r->scaleFactors().sx) + "," + Num(r->scaleFactors().sy) + " rot=" + Num(r->rotation());
            std::unique_ptr<OdDbObjectIterator> it(r->attributeIterator());
            for (; it && !it->done(); it->step()) s += " attr=" + Hex(it->objectId());
        }
        if (auto* h = OdRxCast<OdDbHatch>(o)) {
            s += " pattern=" + std::to_string(h->patternType()) + ":" + U8(h->patternName()) + " angle=" +
                 Num(h->patternAngle()) + " scale=" + Num(h->patternScale()) + " origin=" +
                 Num(h->originPoint().x) + "," + Num(h->originPoint().y) + " type=" +
                 std::to_string(h->hatchObjectType()) + " gradient=" + U8(h->gradientName()) + ":" +
                 Num(h->gradientAngle());
            unsigned n = 0;
            OdArray<OdCmColor> colors;
            OdGeDoubleArray values;
            h->getGradientColors(n, colors, values);
            for (int i = 0; i < colors.length(); ++i)
                s += " gc=" + std::to_string(colors[i].red()) + "," + std::to_string(colors[i].green()) + "," +
                     std::to_string(colors[i].blue()) + "@" + Num(values[i]);
            for (int i = 0; i < h->numLoops(); ++i) s += " loop=" + std::to_string(h->loopTypeAt(i));
            OdCmColor back = h->backgroundColor();
            s += " background=" + std::to_string(back.colorMethod()) + ":" + std::to_string(back.red()) + "," +
                 std::to_string(back.green()) + "," + std::to_string(back.blue());
        }
        if (auto* img = OdRxCast<OdDbRasterImage>(o)) {
            OdGePoint3d p;
            OdGeVector3d u, v;
            img->getOrientation(p, u, v);
            s += " def=" + Hex(img->imageDefId()) + " at=" + Pt(p) + " u=" + Vec(u) + " v=" + Vec(v) + " opts=" +
                 std::to_string(img->isSetDisplayOpt(OdDbRasterImage::kTransparent));
        }
        if (auto* d = OdRxCast<OdDbRasterImageDef>(o)) s += " file=" + U8(d->sourceFileName());
        if (auto* m = OdRxCast<OdDbMline>(o))
            s += " mline=" + std::to_string(m->numVertices()) + "/" + std::to_string(m->closedMline()) + "/" +
                 Num(m->scale());
        if (auto* d = OdRxCast<OdDbDimension>(o))
            s += " dimtext=" + U8(d->dimensionText()) + " textpos=" + Pt(d->textPosition()) +
                 " dimtmove=" + std::to_string(d->dimtmove());
        if (auto* la = OdRxCast<OdDbLayerTableRecord>(o))
            s += " flags=" + std::to_string(la->isOff()) + std::to_string(la->isFrozen()) +
                 std::to_string(la->isLocked()) + " color=" + std::to_string(la->color().colorIndex()) +
                 " ltype=" + NameOf(la->linetypeObjectId());
        if (auto* lt = OdRxCast<OdDbLinetypeTableRecord>(o)) {
            s += " comments=" + U8(lt->comments());
            for (int i = 0; i < lt->numDashes(); ++i) s += " dash=" + Num(lt->dashLengthAt(i));
        }
        if (auto* st = OdRxCast<OdDbTextStyleTableRecord>(o))
            s += " file=" + U8(st->fileName()) + " x=" + Num(st->xScale()) + " size=" + Num(st->textSize());
        if (auto* b = OdRxCast<OdDbBlockTableRecord>(o)) {
            s += " origin=" + Pt(b->origin());
            for (const auto& e : b->entityIds())
                if (!e.isErased()) s += " e=" + Hex(e);
        }
        if (auto* d = OdRxCast<OdDbDictionary>(o)) {
            std::unique_ptr<OdDbDictionaryIterator> it(d->newIterator());
            for (; !it->done(); it->next()) s += " " + U8(it->name()) + "=" + Hex(it->objectId());
        }
        if (auto* x = OdRxCast<OdDbXrecord>(o)) {
            OdResBuf* chain = x->rbChain();
            s += " data=" + ChainText(chain);
            OdResBuf::releaseChain(chain);
        }
        if (auto* p = OdRxCast<OdDbProxyObject>(o)) s += " dxf=" + U8(p->originalDxfName());
        if (auto* p = OdRxCast<OdDbProxyEntity>(o)) s += " dxf=" + U8(p->originalDxfName());
        if (auto* st = OdRxCast<OdDbSortentsTable>(o)) {
            OdDbObjectIdArray order;
            st->getFullDrawOrder(order);
            s += " block=" + Hex(st->blockId());
            for (const auto& e : order) s += " " + Hex(e);
        }
        o->close();
        out.push_back(s);
    }
    return out;
}

bool EzdxfAvailable(std::string& why)
{
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0) return true;
    why = "ezdxf cannot be imported by /usr/bin/python3 (Debian package python3-ezdxf)";
    return false;
}

namespace {

// Runs a script of data/ with Debian's Python: what it printed, and false
// when it failed.
bool RunDataScript(const std::string& scriptAndArgs, std::string& out)
{
    out.clear();
    const std::string cmd = "/usr/bin/python3 '" VELK_TEST_DATA_DIR "/" + scriptAndArgs + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        out = "cannot run " + cmd;
        return false;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0;
}

}  // namespace

bool EzdxfCompare(const std::vector<std::pair<std::string, std::string>>& pairs, const std::string& encoding,
                  std::string& report)
{
    std::string args = encoding.empty() ? std::string() : " --encoding '" + encoding + "'";
    for (const auto& [first, saved] : pairs) args += " '" + first + "' '" + saved + "'";
    return RunDataScript("dxf_compare.py'" + args, report);
}

bool EzdxfSummary(const std::string& nativePath, std::vector<std::string>& lines, std::string& why)
{
    lines.clear();
    if (!EzdxfAvailable(why)) return false;
    std::string out;
    if (!RunDataScript("dxf_summary.py' '" + nativePath + "'", out)) {
        why = "dxf_summary.py failed:\n" + out;
        return false;
    }
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos) end = out.size();
        lines.push_back(out.substr(pos, end - pos));
        pos = end + 1;
    }
    return true;
}

std::string LineDiff(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::vector<std::string> sa = a, sb = b, onlyA, onlyB;
    std::sort(sa.begin(), sa.end());
    std::sort(sb.begin(), sb.end());
    std::set_difference(sa.begin(), sa.end(), sb.begin(), sb.end(), std::back_inserter(onlyA));
    std::set_difference(sb.begin(), sb.end(), sa.begin(), sa.end(), std::back_inserter(onlyB));
    std::string out;
    for (const auto& l : onlyA) out += "- " + l + "\n";
    for (const auto& l : onlyB) out += "+ " + l + "\n";
    return out;
}

std::string FirstDifferingLine(const std::string& a, const std::string& b)
{
    auto lines = [](const std::string& s) {
        std::vector<std::string> out;
        size_t pos = 0;
        while (pos < s.size()) {
            size_t end = s.find('\n', pos);
            if (end == std::string::npos) end = s.size();
            out.push_back(s.substr(pos, end - pos));
            if (!out.back().empty() && out.back().back() == '\r') out.back().pop_back();
            pos = end + 1;
        }
        return out;
    };
    std::vector<std::string> la = lines(a), lb = lines(b);
    size_t i = 0;
    while (i < la.size() && i < lb.size() && la[i] == lb[i]) ++i;
    std::string s = "first difference at line " + std::to_string(i + 1) + ":";
    for (size_t k = i >= 3 ? i - 3 : 0; k < i + 4; ++k)
        s += "\n  " + (k < la.size() ? la[k] : "-") + "   |   " + (k < lb.size() ? lb[k] : "-");
    return s;
}

std::string Save(OdDbDatabase* db)
{
    std::string bytes;
    EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
    return bytes;
}

OdDbDatabase* Reopen(const std::string& bytes)
{
    auto* db = new OdDbDatabase(false);
    EXPECT_EQ(standin::ReadDxfBytes(db, bytes), eOk);
    return db;
}

std::vector<std::string> FileLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < bytes.size();) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

// The saved file's groups as "code value" lines, values trimmed.
std::vector<std::string> GroupLines(const std::string& bytes)
{
    std::vector<std::string> lines, out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string l = bytes.substr(pos, end - pos);
        while (!l.empty() && (l.back() == '\r' || l.back() == ' ')) l.pop_back();
        while (!l.empty() && l.front() == ' ') l.erase(0, 1);
        lines.push_back(l);
        pos = end + 1;
    }
    for (size_t i = 0; i + 1 < lines.size(); i += 2) out.push_back(lines[i] + " " + lines[i + 1]);
    return out;
}

// The groups of the record that starts with "0 type" and "5 handle".
std::vector<std::string> Record(const std::vector<std::string>& groups, const std::string& type, const std::string& handle)
{
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
        if (groups[i] != "0 " + type || groups[i + 1] != "5 " + handle) continue;
        size_t end = i + 1;
        while (end < groups.size() && groups[end].rfind("0 ", 0) != 0) ++end;
        return std::vector<std::string>(groups.begin() + (long)i, groups.begin() + (long)end);
    }
    return {};
}

std::string GroupText(const Groups& groups)
{
    std::string s;
    for (const auto& [code, value] : groups) s += std::to_string(code) + "\n" + value + "\n";
    return s;
}

std::string SectionsFile(const Groups& header, const std::vector<std::pair<const char*, Groups>>& sections)
{
    Groups g{{0, "SECTION"}, {2, "HEADER"}};
    g.insert(g.end(), header.begin(), header.end());
    g.push_back({0, "ENDSEC"});
    for (const auto& [name, body] : sections) {
        g.push_back({0, "SECTION"});
        g.push_back({2, name});
        g.insert(g.end(), body.begin(), body.end());
        g.push_back({0, "ENDSEC"});
    }
    g.push_back({0, "EOF"});
    return GroupText(g);
}

}  // namespace dxftest
