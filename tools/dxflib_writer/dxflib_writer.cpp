// Writes, with dxflib's own writer, one drawing per form it writes (R12 and
// 2000) holding every table and entity kind its writer offers, as it spells
// them: the drawings of another program for the check of the drawing
// files' spellings.
//
// usage: velk_dxflib_writer FOLDER   (writes FOLDER/dxflib_R12.dxf and
//                                     FOLDER/dxflib_2000.dxf)
#include <dl_codes.h>
#include <dl_dxf.h>
#include <dl_writer_ascii.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const DL_Attributes kWalls("WALLS", 1, 35, "DASHED", 2.0);
const DL_Attributes kPlain("0", 256, -1, "BYLAYER", 1.0);

void Header(DL_Dxf& dxf, DL_WriterA& dw)
{
    dxf.writeHeader(dw);
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 6);
    dw.dxfString(9, "$LTSCALE");
    dw.dxfReal(40, 1.5);
    dw.dxfString(9, "$TEXTSTYLE");
    dw.dxfString(7, "NARROW");
    dw.dxfString(9, "$LIMMAX");
    dw.dxfReal(10, 420.0);
    dw.dxfReal(20, 297.0);
    dw.sectionEnd();
}

void Tables(DL_Dxf& dxf, DL_WriterA& dw)
{
    dw.sectionTables();
    dxf.writeVPort(dw);
    double dashes[] = {10.0, -5.0};
    double dots[] = {0.0, -1.5};
    dw.tableLinetypes(5);
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("DASHED", "Dashed __ __", 0, 2, 15.0, dashes));
    dxf.writeLinetype(dw, DL_LinetypeData("DOTTED", "Dotted . .", 0, 2, 1.5, dots));
    dw.tableEnd();
    dw.tableLayers(4);
    dxf.writeLayer(dw, DL_LayerData("0", 0), DL_Attributes("", DL_Codes::white, -3, "CONTINUOUS", 1.0));
    dxf.writeLayer(dw, DL_LayerData("WALLS", 0), DL_Attributes("", 3, 25, "DASHED", 1.0));
    dxf.writeLayer(dw, DL_LayerData("HIDDEN", 0, true), DL_Attributes("", 5, -3, "DOTTED", 1.0));
    dxf.writeLayer(dw, DL_LayerData("FROZEN", 1), DL_Attributes("", 6, -3, "CONTINUOUS", 1.0));
    dw.tableEnd();
    dw.tableStyle(2);
    dxf.writeStyle(dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    dxf.writeStyle(dw, DL_StyleData("NARROW", 0, 0.0, 0.8, 15.0, 0, 2.5, "arial.ttf", ""));
    dw.tableEnd();
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(2);
    dxf.writeAppid(dw, "ACAD");
    dxf.writeAppid(dw, "SPELLINGS");
    dw.tableEnd();
    dxf.writeDimStyle(dw, 2.5, 1.25, 0.625, 0.625, 2.5);
    dxf.writeBlockRecord(dw);
    dxf.writeBlockRecord(dw, "MARK");
    dw.tableEnd();
    dw.sectionEnd();
}

void Blocks(DL_Dxf& dxf, DL_WriterA& dw)
{
    dw.sectionBlocks();
    for (const char* space : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(space, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, space);
    }
    dxf.writeBlock(dw, DL_BlockData("MARK", 0, 0.5, 0.0, 0.0));
    dxf.writeLine(dw, DL_LineData(0, 0, 0, 1, 1, 0), kPlain);
    dxf.writeCircle(dw, DL_CircleData(0.5, 0.5, 0, 0.25), kPlain);
    dxf.writeEndBlock(dw, "MARK");
    dw.sectionEnd();
}

void Hatches(DL_Dxf& dxf, DL_WriterA& dw)
{
    // Solid, one loop of lines.
    dxf.writeHatch1(dw, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), kWalls);
    dxf.writeHatchLoop1(dw, DL_HatchLoopData(4));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(0, 0, 10, 0));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(10, 0, 10, 10));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(10, 10, 0, 10));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(0, 10, 0, 0));
    dxf.writeHatchLoop2(dw, DL_HatchLoopData(4));
    dxf.writeHatch2(dw, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), kWalls);
    // A pattern, loops of an arc, an ellipse and a spline with lines.
    DL_HatchData pattern(2, false, 2.0, 30.0, "ANSI31", 1.0, 2.0);
    dxf.writeHatch1(dw, pattern, kPlain);
    dxf.writeHatchLoop1(dw, DL_HatchLoopData(2));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(20, 0, 30, 0));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(25, 0, 5, 0, 3.14159265358979, true));
    dxf.writeHatchLoop2(dw, DL_HatchLoopData(2));
    dxf.writeHatchLoop1(dw, DL_HatchLoopData(3));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(40, 0, 5, 0, 0.4, 0.0, 3.14159265358979, true));
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(35, 0, 45, 0));
    std::vector<double> knots{0, 0, 0, 1, 1, 1};
    std::vector<std::vector<double>> control{{45, 0}, {48, -3}, {45, -6}};
    dxf.writeHatchEdge(dw, DL_HatchEdgeData(2, false, false, 6, 3, 0, knots, control, {}, {}, 0, 0, 0, 0));
    dxf.writeHatchLoop2(dw, DL_HatchLoopData(3));
    dxf.writeHatch2(dw, pattern, kPlain);
}

void Dimensions(DL_Dxf& dxf, DL_WriterA& dw)
{
    auto common = [](double x, double y, int type, const char* text) {
        return DL_DimensionData(x, y, 0, x + 1, y + 1, 0, type, 5, 1, 1.0, text, "Standard", 0.0);
    };
    dxf.writeDimAligned(dw, common(0, 20, 1, ""), DL_DimAlignedData(0, 10, 0, 10, 15, 0), kWalls);
    dxf.writeDimLinear(dw, common(0, 30, 0, "<> mm"), DL_DimLinearData(0, 25, 0, 10, 25, 0, 0.0, 0.0), kPlain);
    dxf.writeDimLinear(dw, common(30, 30, 0, ""), DL_DimLinearData(20, 25, 0, 20, 35, 0, 90.0, 0.0), kPlain);
    dxf.writeDimRadial(dw, common(50, 50, 4, ""), DL_DimRadialData(53, 53, 0, 2.0), kPlain);
    dxf.writeDimDiametric(dw, common(60, 50, 3, ""), DL_DimDiametricData(64, 50, 0, 0.0), kPlain);
    dxf.writeDimAngular2L(dw, common(70, 50, 2, ""),
                          DL_DimAngular2LData(70, 40, 0, 80, 40, 0, 70, 40, 0, 78, 48, 0), kPlain);
    dxf.writeDimAngular3P(dw, common(90, 50, 5, ""), DL_DimAngular3PData(100, 40, 0, 90, 50, 0, 90, 40, 0),
                          kPlain);
    dxf.writeDimOrdinate(dw, common(110, 40, 6, ""), DL_DimOrdinateData(115, 45, 0, 120, 50, 0, true), kPlain);
    dxf.writeDimOrdinate(dw, common(110, 40, 6, ""), DL_DimOrdinateData(115, 45, 0, 120, 50, 0, false), kPlain);
}

void Entities(DL_Dxf& dxf, DL_WriterA& dw, bool r12)
{
    dw.sectionEntities();
    dxf.writePoint(dw, DL_PointData(7, 8, 9), kWalls);
    dxf.writeLine(dw, DL_LineData(0, 0, 0, 3, 4, 0.5), kWalls);
    dxf.writeXLine(dw, DL_XLineData(1, 2, 0, 0.6, 0.8, 0), kPlain);
    dxf.writeRay(dw, DL_RayData(3, 4, 0, 0, 1, 0), kPlain);
    dxf.writeCircle(dw, DL_CircleData(3, 4, 5, 7), kWalls);
    dxf.writeArc(dw, DL_ArcData(5, 5, 0, 2, 33.3, 271.7), kPlain);
    dxf.writeEllipse(dw, DL_EllipseData(20, 20, 0, 6, 2, 0, 0.4, 0.3, 5.1), kWalls);
    dxf.writeSolid(dw, DL_SolidData(0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 4, 0, 1.0), kPlain);
    dxf.writeTrace(dw, DL_TraceData(0, 10, 0, 4, 10, 0, 0, 14, 0, 4, 14, 0), kPlain);
    dxf.write3dFace(dw, DL_3dFaceData(0, 0, 0, 1, 0, 0.5, 1, 1, 0, 0, 1, 0), kPlain);
    // A closed 2-D polyline with a bulge, and a 3-D one.
    dxf.writePolyline(dw, DL_PolylineData(3, 0, 0, 1), kWalls);
    dxf.writeVertex(dw, DL_VertexData(0, 0, 0, 0.5));
    dxf.writeVertex(dw, DL_VertexData(10, 0, 0, 0));
    dxf.writeVertex(dw, DL_VertexData(10, 10, 0, -1));
    dxf.writePolylineEnd(dw);
    dxf.writePolyline(dw, DL_PolylineData(3, 0, 0, 8), kPlain);
    dxf.writeVertex(dw, DL_VertexData(0, 0, 0));
    dxf.writeVertex(dw, DL_VertexData(1, 2, 3));
    dxf.writeVertex(dw, DL_VertexData(4, 5, 6));
    dxf.writePolylineEnd(dw);
    // A spline by control points and knots, one by fit points.
    DL_SplineData spline(3, 8, 4, 0, 8);
    dxf.writeSpline(dw, spline, kWalls);
    for (double k : {0, 0, 0, 0, 1, 1, 1, 1}) dxf.writeKnot(dw, DL_KnotData(k));
    for (double x : {0, 2, 4, 6}) dxf.writeControlPoint(dw, DL_ControlPointData(x, x / 2, 0, 1.0));
    DL_SplineData fit(3, 0, 0, 4, 8);
    dxf.writeSpline(dw, fit, kPlain);
    for (double x : {0, 2, 4, 6}) dxf.writeFitPoint(dw, DL_FitPointData(x, x * x / 4, 0));
    DL_TextData text(10, 10, 0, 12, 12, 0, 2.5, 0.8, 0, 1, 2, "dxflib text", "NARROW", 0.3);
    dxf.writeText(dw, text, kWalls);
    dxf.writeMText(dw, DL_MTextData(40, 50, 0, 1, 0, 0, 3.0, 60.0, 5, 1, 1, 1.5,
                                    "{\\fArial|b1;first}\\Psecond line", "NARROW", 0.0), kWalls);
    // A reference with an attribute, one in rows and columns.
    dxf.writeInsert(dw, DL_InsertData("MARK", -10, 5, 0, 2, 1.5, 1, 0.26, 1, 1, 0, 0), kWalls);
    dxf.writeAttribute(dw, DL_AttributeData(-9.5, 4, 0, -9.5, 4, 0, 0.75, 1.0, 0, 0, 0, "TAG", "value", "Standard",
                                            0.0), kPlain);
    dxf.writeInsert(dw, DL_InsertData("MARK", 100, 100, 0, 1, 1, 1, 0.0, 3, 2, 10, 8), kPlain);
    Dimensions(dxf, dw);
    DL_LeaderData leader(1, 0, 3, 1, 0, 2.5, 10.0, 3);
    dxf.writeLeader(dw, leader, kPlain);
    dxf.writeLeaderVertex(dw, DL_LeaderVertexData(0, 4, 0));
    dxf.writeLeaderVertex(dw, DL_LeaderVertexData(5, 9, 0));
    dxf.writeLeaderVertex(dw, DL_LeaderVertexData(10, 9, 0));
    dxf.writeLeaderEnd(dw, leader);
    Hatches(dxf, dw);
    if (!r12) {
        DL_ImageData image("tile", 100, 200, 0, 0.1, 0, 0, 0, 0.1, 0, 256, 128, 50, 50, 0);
        unsigned long h = dxf.writeImage(dw, image, kPlain);
        dw.sectionEnd();
        dxf.writeObjects(dw);
        dxf.writeImageDef(dw, (int)h, image);
        dxf.writeObjectsEnd(dw);
        return;
    }
    dw.sectionEnd();
}

bool Write(const std::string& path, DL_Codes::version version)
{
    DL_Dxf dxf;
    std::unique_ptr<DL_WriterA> dw(dxf.out(path.c_str(), version));
    if (!dw) return false;
    const bool r12 = version == DL_Codes::AC1009;
    Header(dxf, *dw);
    Tables(dxf, *dw);
    Blocks(dxf, *dw);
    Entities(dxf, *dw, r12);
    if (r12) {
        dxf.writeObjects(*dw);
        dxf.writeObjectsEnd(*dw);
    }
    dw->dxfEOF();
    dw->close();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velk_dxflib_writer FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const auto& [name, version] : {std::pair{"dxflib_R12.dxf", DL_Codes::AC1009},
                                        std::pair{"dxflib_2000.dxf", DL_Codes::AC1015}}) {
        if (!Write(folder + "/" + name, version)) {
            std::fprintf(stderr, "velk_dxflib_writer: cannot write %s/%s\n", folder.c_str(), name);
            return 1;
        }
        std::printf("%s/%s\n", folder.c_str(), name);
    }
    return 0;
}
