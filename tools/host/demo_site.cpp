#include "demo_site.h"

#include <cmath>
#include <string>

#include "image/pximage.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdatabase.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "windows.h"

namespace velkhost {

namespace {

OdDbObjectId AddLayer(OdDbDatabase* db, const wchar_t* name, int16_t colour)
{
    OdDbSymbolTable* table = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(table, db->getLayerTableId(), OdDb::kForWrite) != eOk) return id;
    if (table->getAt(name, id) == eOk) {
        table->close();
        return id;
    }
    auto* layer = new OdDbLayerTableRecord();
    layer->setName(name);
    OdCmColor c;
    c.setColorIndex(colour);
    layer->setColor(c);
    if (table->add(id, layer) == eOk) layer->close();
    else delete layer;
    table->close();
    return id;
}

// Appends the entity to the block on the layer; its id.
OdDbObjectId Add(OdDbDatabase* db, OdDbObjectId block, OdDbEntity* e, const wchar_t* layer)
{
    OdDbBlockTableRecord* owner = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(owner, block, OdDb::kForWrite) != eOk) {
        delete e;
        return id;
    }
    e->setDatabaseDefaults(db);
    if (layer) e->setLayer(layer);
    if (owner->appendOdDbEntity(id, e) == eOk) e->close();
    else delete e;
    owner->close();
    return id;
}

OdGePoint2dArray Ring(double x, double y, double w, double h)
{
    OdGePoint2dArray r;
    r.append(OdGePoint2d(x, y));
    r.append(OdGePoint2d(x + w, y));
    r.append(OdGePoint2d(x + w, y + h));
    r.append(OdGePoint2d(x, y + h));
    return r;
}

// A 32-pixel well icon written beside the drawing (demo_icons\well.png)
// and its image definition, which names it relative to the drawing's
// folder as a user's drawing does; null when the file cannot be written.
OdDbObjectId IconDefinition(OdDbDatabase* db, const std::wstring& drawing)
{
    const size_t slash = drawing.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : drawing.substr(0, slash);
    const wchar_t kRelative[] = L"demo_icons\\well.png";
    CreateDirectoryW((folder + L"\\demo_icons").c_str(), nullptr);
    PxImage icon;
    if (!icon.Create(32, 32, 24, PXIMAGE_FORMAT_PNG)) return OdDbObjectId();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const double r = std::hypot(x - 15.5, y - 15.5);
            const bool ink = (r > 11 && r < 14.5) || ((x == 15 || x == 16 || y == 15 || y == 16) && r < 11);
            icon.SetPixelColor(x, y, ink ? PxRgbQuad{160, 64, 0, 255} : PxRgbQuad{255, 255, 255, 255});
        }
    if (!icon.Save((folder + L"\\" + kRelative).c_str(), PXIMAGE_FORMAT_PNG)) return OdDbObjectId();
    OdDbObjectId dictId = OdDbRasterImageDef::imageDictionary(db), id;
    if (!dictId.isValid() && OdDbRasterImageDef::createImageDictionary(db, dictId) != eOk) return id;
    OdDbDictionary* dict = nullptr;
    if (oddbOpenObject(dict, dictId, OdDb::kForWrite) != eOk) return id;
    auto* def = new OdDbRasterImageDef();
    def->setSourceFileName(kRelative);
    if (dict->setAt(L"WELL_ICON", def, id) == eOk) def->close();
    else delete def;
    dict->close();
    return id;
}

// A small site plan near the peer's map origin.
OdDbObjectIdArray DrawSite(OdDbDatabase* db, const std::wstring& drawing)
{
    const double x0 = 500000, y0 = 3000000;
    AddLayer(db, L"道路", 1);
    AddLayer(db, L"建筑", 5);
    AddLayer(db, L"注记", 3);
    OdDbObjectId ms = db->getModelSpaceId();
    OdDbObjectIdArray ids;
    ids.append(Add(db, ms, new OdDbLine(OdGePoint3d(x0, y0, 0), OdGePoint3d(x0 + 120, y0 + 10, 0)), L"道路"));
    ids.append(Add(db, ms, new OdDbArc(OdGePoint3d(x0 + 60, y0 + 40, 0), 25, 0.2, 2.4), L"道路"));
    auto* road = new OdDbPolyline();
    road->addVertexAt(0, OdGePoint2d(x0, y0 + 80), 0, 0.5, 0.5);
    road->addVertexAt(1, OdGePoint2d(x0 + 40, y0 + 80), 0.4, 0.5, 0.5);
    road->addVertexAt(2, OdGePoint2d(x0 + 80, y0 + 95), 0, 0.5, 0.5);
    road->addVertexAt(3, OdGePoint2d(x0 + 120, y0 + 95), 0, 0.5, 0.5);
    ids.append(Add(db, ms, road, L"道路"));
    ids.append(Add(db, ms, new OdDbCircle(OdGePoint3d(x0 + 150, y0 + 60, 0), OdGeVector3d(0, 0, 1), 12), L"建筑"));
    auto* yard = new OdDbHatch();
    yard->appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, Ring(x0 + 20, y0 + 20, 40, 30), OdGeDoubleArray());
    yard->appendLoop(OdDbHatch::kPolyline | OdDbHatch::kDerived | OdDbHatch::kOutermost,
                     Ring(x0 + 30, y0 + 28, 10, 10), OdGeDoubleArray());
    ids.append(Add(db, ms, yard, L"建筑"));
    ids.append(Add(db, ms, new OdDbText(OdGePoint3d(x0 + 5, y0 + 15, 0), L"滨江路", OdDbObjectId::kNull, 4.0, 0.08),
                   L"注记"));
    auto* note = new OdDbMText();
    note->setContents(L"一号楼\\P六层");
    note->setLocation(OdGePoint3d(x0 + 140, y0 + 90, 0));
    note->setTextHeight(4);
    ids.append(Add(db, ms, note, L"注记"));
    ids.append(Add(db, ms, new OdDbPoint(OdGePoint3d(x0 + 10, y0 + 60, 12.5)), L"0"));
    ids.append(Add(db, ms, new OdDbPoint(OdGePoint3d(x0 + 14, y0 + 66, 13.1)), L"0"));

    // A well: a block of a circle and a cross with a numbered attribute.
    OdDbBlockTable* blocks = nullptr;
    OdDbObjectId wellId;
    if (db->getBlockTable(blocks, OdDb::kForWrite) == eOk) {
        auto* well = new OdDbBlockTableRecord();
        well->setName(L"检查井");
        if (blocks->add(wellId, well) == eOk) well->close();
        else delete well;
        blocks->close();
    }
    Add(db, wellId, new OdDbCircle(OdGePoint3d(0, 0, 0), OdGeVector3d(0, 0, 1), 1.5), nullptr);
    Add(db, wellId, new OdDbLine(OdGePoint3d(-1.5, 0, 0), OdGePoint3d(1.5, 0, 0)), nullptr);
    Add(db, wellId, new OdDbAttributeDefinition(OdGePoint3d(2, 0, 0), L"W-00", L"NO", L"编号"), nullptr);
    auto* reference = new OdDbBlockReference(OdGePoint3d(x0 + 105, y0 + 45, 0), wellId);
    OdDbObjectId refId = Add(db, ms, reference, L"建筑");
    OdDbBlockReference* ref = nullptr;
    if (oddbOpenObject(ref, refId, OdDb::kForWrite) == eOk) {
        auto* number = new OdDbAttribute();
        number->setPosition(OdGePoint3d(x0 + 107, y0 + 45, 0));
        number->setHeight(3);
        number->setTag(L"NO");
        number->setTextString(L"W-17");
        OdDbObjectId numberId;
        if (ref->appendAttribute(numberId, number) == eOk) number->close();
        ref->close();
    }
    ids.append(refId);
    // An icon of 15 units: it goes as a point sign.
    auto* icon = new OdDbRasterImage();
    icon->setOrientation(OdGePoint3d(x0 + 175, y0 + 5, 0), OdGeVector3d(15, 0, 0), OdGeVector3d(0, 15, 0));
    icon->setImageDefId(IconDefinition(db, drawing));
    ids.append(Add(db, ms, icon, L"注记"));
    return ids;
}

}  // namespace

int DrawDemoSitePlan(OdDbDatabase* db, const std::wstring& drawing, std::ostream& out)
{
    if (!db) return 0;
    const OdDbObjectIdArray ids = DrawSite(db, drawing);
    int drawn = 0;
    for (const OdDbObjectId& id : ids) drawn += id.isNull() ? 0 : 1;
    out << "  the site plan: " << drawn << " entities on the layers 道路, 建筑 and 注记 (and two points on 0): a line, "
           "an arc, a polyline with bulges, a circle, a hatch with an island, a text, an MText, two points, a block "
           "reference with an attribute and an icon image\n";
    return drawn;
}

}  // namespace velkhost
