// Drawing files: the kinds of entity, each described once (dxf_kinds.h).
#include "dxf_kinds.h"

#include <unordered_map>

#include "dxf_loader.h"
#include "dxf_out.h"
#include "oddbdimension.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

namespace {

// The subclasses, with the codes the writer gives values of in each.
const Subclass k2dPolyline{"AcDb2dPolyline", {66, 10, 39, 70, 40, 41, 75, 210}, {}};
const Subclass k3dPolyline{"AcDb3dPolyline", {66, 10, 70, 75}, {}};
const Subclass kPolygonMesh{"AcDbPolygonMesh", {66, 10, 70, 71, 72, 73, 74, 75, 210}, {}};
const Subclass kPolyFaceMesh{"AcDbPolyFaceMesh", {66, 10, 70, 71, 72, 210}, {}};
const Subclass kHatch{"AcDbHatch",
                      {10, 210, 2, 70, 71, 91, 92, 93, 72, 73, 74, 94, 95, 96, 97, 11, 12, 13, 40, 42, 50, 51, 330,
                       75, 76, 52, 41, 77, 78, 53, 43, 44, 45, 46, 79, 49, 47, 98, 450, 451, 452, 453, 460, 461, 462,
                       463, 63, 421, 470},
                      {}};

}  // namespace

const std::vector<KindFamily>& KindFamilies()
{
    static const std::vector<KindFamily> families = {CurveKinds,    TextKinds,      ReferenceKinds,
                                                         PolylineKinds, DimensionKinds, MlineKinds};
    return families;
}

const std::vector<EntityKind>& EntityKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const std::vector<EntityKind> kinds = [] {
        std::vector<EntityKind> all;
        for (KindFamily family : KindFamilies()) {
            std::vector<EntityKind> kinds = family();
            all.insert(all.end(), kinds.begin(), kinds.end());
        }
        const std::vector<EntityKind> rest = {
        // A polyline's kind is in its flags (SubclassesOfRecord).
        {"POLYLINE", &OdDb2dPolyline::desc, {&k2dPolyline}, &L::readPolyline, &W::write2dPolyline},
        {"POLYLINE", &OdDb3dPolyline::desc, {&k3dPolyline}, &L::readPolyline, &W::write3dPolyline},
        {"POLYLINE", &OdDbPolygonMesh::desc, {&kPolygonMesh}, &L::readPolyline, &W::writePolygonMesh},
        {"POLYLINE", &OdDbPolyFaceMesh::desc, {&kPolyFaceMesh}, &L::readPolyline, &W::writePolyFaceMesh},
        {"HATCH", &OdDbHatch::desc, {&kHatch}, &L::readHatch, &W::writeHatch},
        };
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    }();
    return kinds;
}

const EntityKind* KindOfType(std::string_view type)
{
    static const std::unordered_map<std::string_view, const EntityKind*> byType = [] {
        std::unordered_map<std::string_view, const EntityKind*> m;
        for (const EntityKind& k : EntityKinds()) m.emplace(k.type, &k);
        return m;
    }();
    auto it = byType.find(type);
    return it == byType.end() ? nullptr : it->second;
}

const EntityKind* KindOfEntity(const OdDbEntity* e)
{
    static const std::unordered_map<const OdRxClass*, const EntityKind*> byClass = [] {
        std::unordered_map<const OdRxClass*, const EntityKind*> m;
        for (const EntityKind& k : EntityKinds()) m.emplace(k.cls(), &k);
        return m;
    }();
    for (const OdRxClass* c = e->isA(); c; c = c->myParent())
        if (auto it = byClass.find(c); it != byClass.end()) return it->second;
    return nullptr;
}

const std::vector<const Subclass*>& EntitySubclasses()
{
    static const std::vector<const Subclass*> all = [] {
        std::vector<const Subclass*> v;
        for (const EntityKind& k : EntityKinds())
            for (const Subclass* s : k.subclasses)
                if (std::find(v.begin(), v.end(), s) == v.end()) v.push_back(s);
        return v;
    }();
    return all;
}

}  // namespace dxf
}  // namespace standin
