// Drawing files: the groups the writer gives values of, per subclass.
#include "dxf_schema.h"

#include "dxf_control.h"

#include <map>

namespace standin {
namespace dxf {
namespace {

// Codes; a point's x code stands for its y and z codes too.
CodeSet Codes(std::initializer_list<int> codes)
{
    CodeSet s;
    for (int c : codes) {
        s.set((size_t)c);
        if (IsPointCode(c)) {
            s.set((size_t)c + 10);
            s.set((size_t)c + 20);
        }
    }
    return s;
}

struct Schema {
    std::map<std::string, CodeSet, std::less<>> owned;  // "SUBCLASS" or "TYPE/SUBCLASS"
    std::map<std::string, CodeSet, std::less<>> soft;
    CodeSet all;
    Schema()
    {
        all.set();
        // Before the first marker: a record's handle and owner are its
        // frame, not values; a table's name is.
        owned[""] = Codes({});
        owned["TABLE/"] = Codes({2});
        // Entities.
        owned["AcDbEntity"] = Codes({8, 6, 62, 420, 48, 440, 370, 60, 67});
        for (const char* sub : {"BLOCK", "ENDBLK", "VERTEX", "SEQEND"}) owned[std::string(sub) + "/AcDbEntity"] = Codes({67, 8});
        owned["AcDbBlockBegin"] = Codes({2, 70, 10, 3});
        soft["BLOCK/AcDbBlockBegin"] = Codes({1});
        owned["AcDbBlockEnd"] = Codes({});
        owned["AcDbLine"] = Codes({39, 10, 11, 210});
        owned["AcDbPoint"] = Codes({10, 39, 210, 50});
        owned["AcDbCircle"] = Codes({39, 10, 40, 210});
        owned["AcDbArc"] = Codes({50, 51});
        owned["AcDbEllipse"] = Codes({10, 11, 210, 40, 41, 42});
        owned["AcDbPolyline"] = Codes({90, 70, 43, 38, 39, 10, 40, 41, 42, 210});
        owned["AcDb2dPolyline"] = Codes({66, 10, 39, 70, 40, 41, 75, 210});
        owned["AcDb3dPolyline"] = Codes({66, 10, 70, 75});
        owned["AcDbPolygonMesh"] = Codes({66, 10, 70, 71, 72, 73, 74, 75, 210});
        owned["AcDbPolyFaceMesh"] = Codes({66, 10, 70, 71, 72, 210});
        owned["AcDbVertex"] = Codes({});
        owned["AcDb2dVertex"] = Codes({10, 40, 41, 42, 70});
        owned["AcDb3dPolylineVertex"] = Codes({10, 70});
        owned["AcDbPolygonMeshVertex"] = Codes({10, 70});
        owned["AcDbPolyFaceMeshVertex"] = Codes({10, 70});
        owned["AcDbFaceRecord"] = Codes({10, 70, 71, 72, 73, 74});
        owned["AcDbSpline"] = Codes({70, 71, 72, 73, 74, 40, 41, 10, 11});
        owned["AcDbText"] = Codes({10, 40, 1, 50, 41, 51, 7, 71, 72, 11, 39, 210, 73});
        // Some files give an attribute's text values after its own marker.
        owned["AcDbAttribute"] = Codes({2, 70, 73, 74, 50, 41, 51, 7, 71, 72, 11, 39, 210});
        owned["AcDbAttributeDefinition"] = Codes({3, 2, 70, 73, 74, 50, 41, 51, 7, 71, 72, 11, 39, 210});
        owned["AcDbMText"] = Codes({10, 40, 41, 71, 72, 1, 3, 7, 11, 50, 210, 73, 44, 90, 63, 421, 45, 441});
        owned["AcDbBlockReference"] = Codes({66, 2, 10, 41, 42, 43, 50, 210});
        owned["AcDbMInsertBlock"] = Codes({66, 2, 10, 41, 42, 43, 50, 70, 71, 44, 45, 210});
        owned["AcDbHatch"] = Codes({10, 210, 2, 70, 71, 91, 92, 93, 72, 73, 74, 94, 95, 96, 97, 11, 12, 13, 40, 42,
                                    50, 51, 330, 75, 76, 52, 41, 77, 78, 53, 43, 44, 45, 46, 79, 49, 47, 98, 450,
                                    451, 452, 453, 460, 461, 462, 463, 63, 421, 470});
        owned["AcDbTrace"] = Codes({10, 11, 12, 13, 39, 210});
        owned["AcDbRasterImage"] = Codes({90, 10, 11, 12, 13, 340, 70, 280});
        soft["AcDbRasterImage"] = Codes({281, 282, 283, 71, 91, 14});
        owned["AcDbDimension"] = Codes({2, 10, 11, 70, 1, 3});
        owned["AcDbAlignedDimension"] = Codes({13, 14, 50});
        owned["AcDbRotatedDimension"] = Codes({});
        owned["AcDb2LineAngularDimension"] = Codes({13, 14, 15, 16});
        owned["AcDb3PointAngularDimension"] = Codes({13, 14, 15});
        owned["AcDbDiametricDimension"] = Codes({15, 40});
        owned["AcDbRadialDimension"] = Codes({15, 40});
        owned["AcDbOrdinateDimension"] = Codes({13, 14});
        owned["AcDbMline"] = Codes({2, 340, 40, 70, 71, 72, 73, 10, 210, 11, 12, 13, 74, 41, 75, 42});
        // Objects.
        owned["AcDbDictionary"] = Codes({280, 3, 350, 360});
        soft["AcDbDictionary"] = Codes({281});
        owned["AcDbXrecord"] = all;
        owned["AcDbRasterImageDef"] = Codes({1, 10, 280});
        soft["AcDbRasterImageDef"] = Codes({90, 11, 281});
        owned["AcDbSortentsTable"] = Codes({330, 331, 5});
        // Tables and their records.
        owned["AcDbSymbolTable"] = Codes({70});
        owned["AcDbSymbolTableRecord"] = Codes({});
        owned["AcDbLayerTableRecord"] = Codes({2, 70, 62, 420, 6, 370, 290});
        owned["AcDbLinetypeTableRecord"] = Codes({2, 70, 3, 72, 73, 40, 49, 74, 75, 340, 46, 50, 44, 45, 9});
        owned["AcDbTextStyleTableRecord"] = Codes({2, 70, 40, 41, 50, 71, 42, 3, 4});
        owned["AcDbViewportTableRecord"] = Codes({2, 70, 12, 16, 17, 40, 41, 42, 43, 44, 51, 71});
        soft["AcDbViewportTableRecord"] = Codes({10, 11});
        owned["AcDbViewTableRecord"] = Codes({2, 70, 40, 10, 41, 11, 12, 42, 43, 44, 50, 71});
        owned["AcDbUCSTableRecord"] = Codes({2, 70, 10, 11, 12});
        owned["AcDbRegAppTableRecord"] = Codes({2, 70});
        owned["AcDbDimStyleTableRecord"] = Codes({2, 70});
        owned["AcDbBlockTableRecord"] = Codes({2});
        soft["AcDbBlockTableRecord"] = Codes({70, 280, 281});
    }
};

const Schema& TheSchema()
{
    static const Schema s;
    return s;
}

// Types with sets of their own for some subclasses.
bool HasOwnSets(std::string_view type)
{
    return type == "BLOCK" || type == "ENDBLK" || type == "VERTEX" || type == "SEQEND" || type == "TABLE";
}

template <class M>
const CodeSet* Find(const M& m, std::string_view type, std::string_view sub)
{
    if (HasOwnSets(type)) {
        std::string both = std::string(type) + "/" + std::string(sub);
        auto it = m.find(both);
        if (it != m.end()) return &it->second;
    }
    auto it = m.find(sub);
    return it != m.end() ? &it->second : nullptr;
}

}  // namespace

const CodeSet& OwnedCodes(std::string_view type, std::string_view sub)
{
    static const CodeSet none;
    const CodeSet* s = Find(TheSchema().owned, type, sub);
    return s ? *s : none;
}

bool IsSoftCode(std::string_view type, std::string_view sub, int code)
{
    const CodeSet* s = Find(TheSchema().soft, type, sub);
    return s && code >= 0 && code < 1072 && s->test((size_t)code);
}

std::vector<std::string>& SchemaViolations()
{
    static std::vector<std::string> v;
    return v;
}

}  // namespace dxf

std::vector<std::string>& DxfWriteSchemaViolations() { return dxf::SchemaViolations(); }

}  // namespace standin
