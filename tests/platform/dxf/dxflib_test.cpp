// dxflib, a second reader the project did not write, finds in the
// stand-in's file the entities of the drawing under their handles and
// layers, and its layers.
#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "dxf_test_support.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "test_support.h"
#include "text_internal.h"

namespace {

// What dxflib reports: each entity's handle with its kind and layer.
struct Collector : DL_CreationAdapter {
    std::map<long, std::string> entities;
    std::set<std::string> layers;

    void note(const char* kind) { entities[getAttributes().getHandle()] = std::string(kind) + "|" + getAttributes().getLayer(); }
    void addLayer(const DL_LayerData& d) override { layers.insert(d.name); }
    void addLine(const DL_LineData&) override { note("LINE"); }
    void addArc(const DL_ArcData&) override { note("ARC"); }
    void addCircle(const DL_CircleData&) override { note("CIRCLE"); }
    void addEllipse(const DL_EllipseData&) override { note("ELLIPSE"); }
    void addPolyline(const DL_PolylineData&) override { note("POLYLINE"); }
    void addSpline(const DL_SplineData&) override { note("SPLINE"); }
    void addPoint(const DL_PointData&) override { note("POINT"); }
    void addText(const DL_TextData&) override { note("TEXT"); }
    void addMText(const DL_MTextData&) override { note("MTEXT"); }
    void addInsert(const DL_InsertData&) override { note("INSERT"); }
    void addHatch(const DL_HatchData&) override { note("HATCH"); }
    void addSolid(const DL_SolidData&) override { note("SOLID"); }
    void addImage(const DL_ImageData&) override { note("IMAGE"); }
};

}  // namespace

TEST(DxfDxflib, FindsTheEntitiesUnderTheirHandlesAndLayers)
{
    OdDbDatabase* db = new OdDbDatabase(true);
    dxftest::BuildSampleDrawing(db);
    std::string path = velktest::MachineRoot() + "/sample.dxf";
    velktest::WriteNativeFile(path, dxftest::Save(db));
    Collector c;
    DL_Dxf reader;
    ASSERT_TRUE(reader.in(path, &c));

    // The same from the database, for the kinds dxflib reports (it takes
    // both polyline forms as one, and has no multilines).
    std::map<long, std::string> expected;
    for (const auto& line : dxftest::Summary(db)) {
        if (line.rfind("ENTITY ", 0) != 0) continue;
        std::string h, kind, layer, rest = line.substr(7);
        h = rest.substr(0, rest.find('|'));
        rest = rest.substr(h.size() + 1);
        kind = rest.substr(0, rest.find('|'));
        rest = rest.substr(kind.size() + 1);
        layer = rest.substr(0, rest.find('|'));
        if (kind == "LWPOLYLINE") kind = "POLYLINE";
        if (kind == "ATTDEF" || kind == "DIMENSION" || kind == "MLINE") continue;
        expected[std::stol(h, nullptr, 16)] = kind + "|" + layer;
    }
    EXPECT_EQ(c.entities, expected);
    std::set<std::string> layers;
    OdDbLayerTable* lt = nullptr;
    db->getLayerTable(lt, OdDb::kForRead);
    for (const auto& id : lt->recordIds())
        layers.insert(standin::WideToUtf8(static_cast<OdDbSymbolTableRecord*>(id.stub()->object)->getName().str()));
    lt->close();
    EXPECT_EQ(c.layers, layers);
    delete db;
}
