// Block references, regions and proxies go to the peer as a folder that
// holds the records of their exploded parts; nested parents are flattened
// into the outermost folder.
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/entitylink.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"

namespace {

const int kRegionKind = 20, kBlockRefKind = 21, kProxyKind = 22;

void DeleteParts(OdDbVoidPtrArray& parts, int from)
{
    for (int i = from; i < parts.length(); ++i) delete static_cast<OdDbEntity*>(parts[i]);
    parts.clear();
}

// Converts one part (or attribute) with its own link; the counter grows by
// what it wrote. False when the part has no link.
bool ConvertPart(OdDbEntity* part, ObjExchangeBuffer* buffer, PointQueue& points, uint32_t& counter)
{
    MapObjInfo* link = GetEntityLink(part, false, false);
    if (!link) return false;
    std::vector<uint64_t> pieces;
    std::vector<uint32_t> replaced;
    uint32_t local = 0;
    ArxOperation::ConvertEntity(part, buffer, link, points, pieces, local, replaced, true);
    counter += local;
    delete link;
    return true;
}

// Converts the exploded parts in order; attribute definitions only tell
// that the block has some. False when a part without a link ended the walk.
bool ConvertParts(OdDbVoidPtrArray& parts, ObjExchangeBuffer* buffer, PointQueue& points, uint32_t& counter,
                  bool& hasAttributeDefinitions)
{
    for (int i = 0; i < parts.length(); ++i) {
        auto* part = static_cast<OdDbEntity*>(parts[i]);
        if (part->isA()->name() == L"AcDbAttributeDefinition") {
            hasAttributeDefinitions = true;
        } else if (!ConvertPart(part, buffer, points, counter)) {
            DeleteParts(parts, i);
            return false;
        }
        delete part;
    }
    parts.clear();
    return true;
}

// The point set of the parts' points; the counter grows when it is written.
void SendPartPoints(const PointQueue& points, ObjExchangeBuffer* buffer, const MapObjInfo* partsInfo,
                    uint32_t& counter)
{
    if (points.positions.length() < 2) return;
    MapObjInfo info = *partsInfo;
    size_t before = buffer->records.size();
    if (ArxOperation::PointSetFromBlockPoints(points.positions, buffer, &info))
        counter += (uint32_t)(buffer->records.size() - before);
}

// Explodes the parent and converts its parts (no scale retry, no
// attributes).
bool ExplodeToFolder(OdDbEntity* parent, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo, uint32_t& counter,
                     const wchar_t* failure)
{
    OdDbVoidPtrArray parts;
    if (parent->explode(parts) != eOk) {
        DeleteParts(parts, 0);
        gcutPrintf(L"%s", failure);
        return false;
    }
    PointQueue points;
    bool hasAttributeDefinitions = false;
    if (!ConvertParts(parts, buffer, points, counter, hasAttributeDefinitions)) return false;
    SendPartPoints(points, buffer, partsInfo, counter);
    return true;
}

}  // namespace

bool ArxOperation::EntityToFolder(OdDbEntity* entity, ObjExchangeBuffer* buffer, MapObjInfo* info, uint32_t& count,
                                  std::vector<uint32_t>& replacedFolderIds, bool inBlock)
{
    auto* reference = OdRxCast<OdDbBlockReference>(entity);
    auto* region = OdRxCast<OdDbRegion>(entity);
    if (info->peerId != 0 && !inBlock) replacedFolderIds.push_back(info->peerId);
    FolderRecord* folder = nullptr;
    FolderReservation reservation;
    if (!inBlock) {
        folder = NewFolderRecord(&g_peerApi);
        if (!folder) return false;
        int kind = reference ? kBlockRefKind : region ? kRegionKind : kProxyKind;
        SetRecordName(folder->name, MakeDefaultObjectName(kind));
        if (!ReserveFolderRecord(buffer, reservation)) {
            FreeMapObjRecord(&g_peerApi, folder, kMapObjFolder);
            return false;
        }
    }
    MapObjInfo partsInfo;
    partsInfo.opacity = info->opacity;
    if (reference && !inBlock) {
        OdDbBlockTableRecord* block = nullptr;
        if (oddbOpenObject(block, reference->blockTableRecord(), OdDb::kForRead) == eOk) {
            OdString name = block->getName();
            block->close();
            if (!name.isEmpty()) SetRecordName(folder->name, CString(name.c_str()));
        }
    }
    uint32_t counter = 0;
    if (reference) BlockRefToFolder(reference, buffer, &partsInfo, counter);
    else if (region) RegionToFolder(region, buffer, &partsInfo, counter);
    else ProxyToFolder(entity, buffer, &partsInfo, counter);
    if (inBlock) count += counter;
    else FinishFolderRecord(buffer, reservation, folder, counter, info);
    return false;
}

bool ArxOperation::BlockRefToFolder(OdDbBlockReference* reference, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                                    uint32_t& counter)
{
    if (!reference || !partsInfo) return false;
    OdDbVoidPtrArray parts;
    OdResult status = reference->explode(parts);
    bool rescaled = false;
    OdGeScale3d scale = reference->scaleFactors();
    // A scale the parts cannot take: explode the unscaled block instead.
    if (status == eExplodeAgain && reference->isWriteEnabled() &&
        reference->setScaleFactors(OdGeScale3d(1, 1, 1)) == eOk) {
        rescaled = true;
        DeleteParts(parts, 0);
        status = reference->explode(parts);
    }
    bool result = false;
    if (status != eOk) {
        DeleteParts(parts, 0);
        gcutPrintf(L"炸开块失败\n");
    } else {
        PointQueue points;
        bool hasAttributeDefinitions = false;
        result = ConvertParts(parts, buffer, points, counter, hasAttributeDefinitions);
        if (result && hasAttributeDefinitions) {
            if (OdDbObjectIterator* it = reference->attributeIterator()) {
                for (it->start(); result && !it->done(); it->step()) {
                    OdDbEntity* attribute = nullptr;
                    if (oddbOpenObject(attribute, it->objectId(), OdDb::kForRead) != eOk) continue;
                    result = ConvertPart(attribute, buffer, points, counter);
                    attribute->close();
                }
                delete it;
            }
        }
        if (result) SendPartPoints(points, buffer, partsInfo, counter);
    }
    if (rescaled) reference->setScaleFactors(scale);
    return result;
}

bool ArxOperation::RegionToFolder(OdDbRegion* region, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                                  uint32_t& counter)
{
    if (!region || !partsInfo) return false;
    return ExplodeToFolder(region, buffer, partsInfo, counter, L"炸开面域失败\n");
}

bool ArxOperation::ProxyToFolder(OdDbEntity* proxy, ObjExchangeBuffer* buffer, MapObjInfo* partsInfo,
                                 uint32_t& counter)
{
    if (!proxy || !partsInfo) return false;
    return ExplodeToFolder(proxy, buffer, partsInfo, counter, L"炸开块失败\n");
}
