// Drawing files: the entities of a file written, each kind by its writer.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_out.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

// The block's live entities; those a file cannot carry are named in the
// losses instead.
void DxfOut::writeEntities(const OdDbBlockTableRecord* block)
{
    for (const auto& e : block->entityIds()) {
        OdDbObject* o = obj(e);
        if (!o || o->isErased()) continue;
        if (const wchar_t* why = cannotGo(o)) {
            lose(o, why);
            continue;
        }
        if (auto* ent = OdRxCast<OdDbEntity>(o)) entity(ent);
    }
}

OdGePoint3d DxfOut::asRead(const OdDbEntity* e, size_t slot, const OdGePoint3d& now, const OdGeVector3d& normal,
                           const OdGePoint3d& otherwise) const
{
    auto same = [](const OdGePoint3d& a, const OdGePoint3d& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    const DxfKept* k = DxfAccess::kept(e);
    if (k && slot < k->planePoints.size() && same(k->planePoints[slot].world, now) &&
        normal.x == k->planeNormal.x && normal.y == k->planeNormal.y && normal.z == k->planeNormal.z)
        return k->planePoints[slot].plane;
    return otherwise;
}

void DxfOut::entityCommon(const std::string& type, const OdDbEntity* e)
{
    using C = EntityCodes;
    begin(type, e, e->ownerId());
    marker(C::kMarker);
    if (e->ownerId() == paperSpace_) integer(C::kPaperSpace, 1);
    OdString layer = nameOf(e->layerId());
    text(C::kLayer, layer.isEmpty() ? L"0" : layer.str());
    OdString lt = nameOf(e->linetypeId());
    // Most entities' linetype is ByLayer: told without making a copy.
    auto byLayer = [](const std::wstring& name) {
        static const wchar_t word[] = L"bylayer";
        if (name.size() != 7) return false;
        for (size_t i = 0; i < 7; ++i)
            if (LowerLetter(name[i]) != word[i]) return false;
        return true;
    };
    if (!lt.isEmpty() && !byLayer(lt.str())) text(C::kLinetype, lt.str());
    color(C::kColour, C::kTrueColour, e->color());
    if (e->linetypeScale() != kDefaultOf<C, C::kLinetypeScale>) real(C::kLinetypeScale, e->linetypeScale());
    if (e->transparency().method() != OdCmTransparency::kByLayer)
        integer(C::kTransparency, e->transparency().serializeOut());
    if (e->lineWeight() != OdDb::kLnWtByLayer) integer(C::kLineWeight, e->lineWeight());
    const int invisible = e->visibility() == OdDb::kInvisible ? 1 : 0;
    if (invisible != kDefaultIntegerOf<C, C::kInvisible>) integer(C::kInvisible, invisible);
}

void DxfOut::checkSubRecords(const OdDbEntity* parent, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    if (!kept || kept->subRecords.empty() || kept->subRecords.size() == count) return;
    if (std::any_of(kept->subRecords.begin(), kept->subRecords.end(), [](const auto& s) { return s && !s->runs.empty(); }))
        lose(parent, L"what the file gave its vertices beyond their points no longer fits them and is not saved");
}

uint64_t DxfOut::recordHandle(uint64_t fromFile)
{
    // A handle the file gave (or the open gave for it) that no object has
    // goes to one record. New objects take none of them: they lie below
    // the seed, or the database reserves them.
    if (fromFile && !DxfAccess::hasHandle(db_, fromFile) && recordHandles_.insert(fromFile, true)) return fromFile;
    return synthetic();
}

// The head of a record a sequence is made of (vertices, its end): it goes
// with the entity, under the handle the file gave it or one of its own.
void DxfOut::subRecordHead(const char* type, const OdDbEntity* parent, size_t index, size_t count)
{
    const DxfKept* kept = DxfAccess::kept(parent);
    const DxfKept* mine = kept && kept->subRecords.size() == count ? kept->subRecords[index].get() : nullptr;
    const uint64_t fromFile = kept && kept->subHandles.size() == count ? kept->subHandles[index] : 0;
    open(type, nullptr, mine, parent, (int)index, count);
    head(recordHandle(fromFile), parent->handle());
    marker(EntityCodes::kMarker);
    if (parent->ownerId() == paperSpace_) integer(EntityCodes::kPaperSpace, 1);
    text(EntityCodes::kLayer, nameOf(parent->layerId()).str());
}

void DxfOut::seqend(const OdDbEntity* parent, size_t count) { subRecordHead("SEQEND", parent, count - 1, count); }

void DxfOut::entity(const OdDbEntity* e)
{
    // Each kind is written by its writer (dxf_kinds.h).
    if (const EntityKind* kind = KindOfEntity(e)) {
        (this->*kind->write)(e);
        return;
    }
    // A record kept whole.
    if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(e)) {
        std::string type(f->dxfName.begin(), f->dxfName.end());
        entityCommon(type, e);
        markKeptWhole(true);
        // The records of its sequence, as they came.
        const DxfKept* kept = DxfAccess::kept(e);
        const size_t n = kept ? kept->subRecords.size() : 0;
        for (size_t i = 0; i < n; ++i) {
            const DxfKept* record = kept->subRecords[i].get();
            if (!record || record->dxfType.empty()) continue;
            open(record->dxfType, nullptr, record, e, (int)i, n);
            head(recordHandle(kept->subHandles.size() == n ? kept->subHandles[i] : 0), e->handle());
        }
    }
}

}  // namespace dxf
}  // namespace standin
