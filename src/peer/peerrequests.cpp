#include "peer/peerrequests.h"

#include <cstdlib>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "payload fields are written in host order");

namespace {

template <class T>
void Put(uint8_t* block, size_t offset, T value)
{
    memcpy(block + offset, &value, sizeof(T));
}

// Sends a payload built by the wrapper and frees it, whatever the status.
int SendOwned(PeerApiState* state, uint32_t code, uint8_t* block, size_t size, int64_t* answer = nullptr,
              int timeoutMs = 0, const PeerIdStamp& stampId = nullptr)
{
    if (!block) return kPeerBadArguments;
    int status = PeerApiRequest(state, code, block, (uint32_t)size, answer, timeoutMs, stampId);
    free(block);
    return status;
}

int SendEmpty(PeerApiState* state, uint32_t code) { return PeerApiRequest(state, code, nullptr, 0, nullptr, 0); }

int SendBytes(PeerApiState* state, uint32_t code, const void* bytes, size_t size)
{
    if (!bytes) return kPeerBadArguments;
    auto* block = (uint8_t*)AllocZeroed(size);
    if (block) memcpy(block, bytes, size);
    return SendOwned(state, code, block, size);
}

// The value requests return the low 32 bits of the answer unless they failed.
int ValueOrStatus(int status, int64_t answer) { return status < 0 ? status : (int32_t)(uint32_t)answer; }

int SendValue(PeerApiState* state, uint32_t code, int32_t value)
{
    int64_t answer = 0;
    int status = PeerApiRequest(state, code, &value, sizeof value, &answer, 0);
    return ValueOrStatus(status, answer);
}

// Payloads of a packet head and `count` caller items from byte 16.
uint8_t* PacketWithItems(const void* items, int count, size_t itemSize)
{
    uint8_t* block = NewPeerPacket(itemSize * (size_t)count);
    if (block && count) memcpy(block + sizeof(PeerPacketHeader), items, itemSize * (size_t)count);
    return block;
}

bool BadItems(const void* items, int count) { return count < 0 || (count > 0 && !items); }

// The 20700 and 20800 blocks: 100 zero bytes, then the caller's bytes.
int SendAfterZeroHead(PeerApiState* state, uint32_t code, const void* first, size_t firstSize, const void* second,
                      size_t secondSize)
{
    auto* block = (uint8_t*)AllocZeroed(100 + firstSize + secondSize);
    if (block) {
        if (firstSize) memcpy(block + 100, first, firstSize);
        if (secondSize) memcpy(block + 100 + firstSize, second, secondSize);
    }
    return SendOwned(state, code, block, 100 + firstSize + secondSize);
}

int SendItems184(PeerApiState* state, uint32_t code, const void* items, int count)
{
    if (!items || count < 1) return kPeerBadArguments;
    return SendAfterZeroHead(state, code, items, 184 * (size_t)count, nullptr, 0);
}

int SendIdList(PeerApiState* state, uint32_t code, const uint32_t* ids, int count, uint32_t flags)
{
    if (!ids || count < 1) return kPeerBadArguments;
    uint8_t* block = PacketWithItems(ids, count, sizeof(uint32_t));
    if (block) Put<uint32_t>(block, 12, flags);
    return SendOwned(state, code, block, sizeof(PeerPacketHeader) + 4 * (size_t)count);
}

int Upload(PeerApiState* state, uint32_t kind, uint32_t objectId, const void* record, int64_t* answer,
           uint32_t parentId, uint32_t flag)
{
    uint32_t size = 0;
    uint8_t* body = SerializeMapObjRecord(state, record, kind, &size);
    if (!body) return kPeerBadArguments;
    uint8_t* block = NewPeerPacket(size);
    if (block) {
        block[2] = (uint8_t)kind;
        Put<uint32_t>(block, 4, objectId == 0 && parentId == 0 ? 1 : parentId);
        Put<uint32_t>(block, 8, objectId);
        Put<uint32_t>(block, 12, flag);
        memcpy(block + sizeof(PeerPacketHeader), body, size);
    }
    free(body);
    return SendOwned(state, kReqUploadObject, block, sizeof(PeerPacketHeader) + (size_t)size, answer);
}

uint8_t* TwoDoublesAndFlag(size_t size, double a, double b, uint8_t flag)
{
    auto* block = (uint8_t*)AllocZeroed(size);
    if (block) {
        Put(block, 0, a);
        Put(block, 8, b);
        block[16] = flag;
    }
    return block;
}

}  // namespace

int PeerApiSetLocation(PeerApiState* state, uint32_t value24, uint32_t level, double x, double y, uint8_t value32,
                       uint8_t mode, int timeoutMs)
{
    auto* block = (SetLocationRecord*)AllocZeroed(sizeof(SetLocationRecord));
    if (block) {
        block->y = y;
        block->x = x;
        block->mode = mode;
        block->value24 = value24;
        block->level = level;
        block->value32 = value32;
    }
    return SendOwned(state, kReqSetLocation, (uint8_t*)block, sizeof(SetLocationRecord), nullptr, timeoutMs);
}

int PeerApiGetMapState(PeerApiState* state, uint8_t flag)
{
    auto* block = (uint8_t*)AllocZeroed(104);
    if (block) block[40] = flag;
    return SendOwned(state, kReqGetMapState, block, 104);
}

int PeerApiSetFollowWinMap(PeerApiState* state, int32_t value) { return SendValue(state, kReqSetFollowWinMap, value); }

int PeerApiSendTestData(PeerApiState* state, const uint8_t* testRecord)
{
    if (!testRecord) return kPeerBadArguments;
    int32_t n;
    const void* text;
    memcpy(&n, testRecord + 272, sizeof n);
    memcpy(&text, testRecord + 280, sizeof text);
    if (n < 0 || (n > 0 && !text)) return kPeerBadArguments;
    size_t size = kTestBlockHead + kTestRecordSize + (size_t)n;
    auto* block = (uint8_t*)AllocZeroed(size);
    if (block) {
        memcpy(block + kTestBlockHead, testRecord, kTestRecordSize);
        memset(block + kTestBlockHead + 280, 0, sizeof text);  // an address means nothing to the peer
        if (n) memcpy(block + kTestBlockHead + kTestRecordSize, text, (size_t)n);
    }
    int64_t received = 0;
    int status = SendOwned(state, kReqSendTestData, block, size, &received);
    return received == (int64_t)size ? status : -1;
}

int PeerApiGetObjList(PeerApiState* state, uint32_t folderId)
{
    uint8_t* block = NewPeerPacket(0);
    if (block) Put<uint32_t>(block, 8, folderId ? folderId : 1);
    return SendOwned(state, kReqGetObjList, block, sizeof(PeerPacketHeader));
}

int PeerApiGetObject(PeerApiState* state, uint32_t objectId, uint8_t flag)
{
    uint8_t* block = NewPeerPacket(0);
    if (block) {
        block[3] = flag;
        Put<uint32_t>(block, 8, objectId);
    }
    return SendOwned(state, kReqGetObject, block, sizeof(PeerPacketHeader));
}

int PeerApiDeleteObjects(PeerApiState* state, const uint32_t* ids, int count, bool flagA, bool flagB)
{
    return SendIdList(state, kReqDeleteObjects, ids, count, (flagA ? 1u : 0u) | (flagB ? 2u : 0u));
}

int PeerApiSearchObject(PeerApiState* state, const uint8_t* folderSearchRequest)
{
    if (!folderSearchRequest) return kPeerBadArguments;
    return PeerApiRequest(state, kReqSearchFolder, folderSearchRequest, kFolderSearchSize, nullptr, 0);
}

int PeerApiGetObjTree(PeerApiState* state, uint8_t flag)
{
    uint8_t* block = NewPeerPacket(0);
    if (block) block[3] = flag;
    return SendOwned(state, kReqGetObjTree, block, sizeof(PeerPacketHeader));
}

int PeerApiSendBuffer(PeerApiState* state, uint32_t code, PeerBuffer* buffer, bool freeAfter)
{
    if (!buffer) return kPeerBadArguments;
    int status = buffer->length < 0 || (buffer->length > 0 && !buffer->data)
                     ? kPeerBadArguments
                     : PeerApiRequest(state, code, buffer->data, (uint32_t)buffer->length, nullptr, 0);
    if (freeAfter) {
        free(buffer->data);
        *buffer = PeerBuffer{nullptr, 0, 0};
    }
    return status;
}

int PeerApiSetRelatePoints(PeerApiState* state, uint32_t mode, const void* points, int count)
{
    if (count < 1) return kPeerNoWindow;
    if (!points) return kPeerBadArguments;
    uint8_t* block = NewPeerPacket(40 + kRelatePointSize * (size_t)count);
    if (block) {
        Put<uint32_t>(block, 16, mode);
        memcpy(block + 56, points, kRelatePointSize * (size_t)count);
    }
    return SendOwned(state, kReqSetRelatePoints, block, 56 + kRelatePointSize * (size_t)count);
}

int PeerApiGetCoordSystem(PeerApiState* state) { return SendEmpty(state, kReqGetCoordSystem); }
int PeerApiGetPluginVersion(PeerApiState* state) { return SendEmpty(state, kReqGetPluginVersion); }
int PeerApiGetOrigin(PeerApiState* state) { return SendEmpty(state, kReqGetOrigin); }
int PeerApiGetLinetypes(PeerApiState* state) { return SendEmpty(state, kReqGetLinetypes); }

int PeerApiGetLevelResolutions(PeerApiState* state, double x, double y)
{
    auto* block = (uint8_t*)AllocZeroed(80);
    if (block) {
        Put(block, 24, x);
        Put(block, 32, y);
    }
    return SendOwned(state, kReqGetLevelResolutions, block, 80);
}

int PeerApiMatchView(PeerApiState* state, double minX, double minY, double maxX, double maxY, uint64_t length,
                     uint32_t maxLevel)
{
    uint8_t* block = NewPeerPacket(96);
    if (block) {
        Put(block, 16, minX);
        Put(block, 24, minY);
        Put(block, 32, maxX);
        Put(block, 40, maxY);
        block[48] = 2;
        Put(block, 56, length);
        Put(block, 64, maxLevel);
    }
    return SendOwned(state, kReqMatchView, block, 112);
}

int PeerApiGetMapFile(PeerApiState* state, const void* tileRequests, int count)
{
    if (BadItems(tileRequests, count)) return kPeerBadArguments;
    return SendOwned(state, kReqGetMapFile, PacketWithItems(tileRequests, count, kTileRequestSize),
                     sizeof(PeerPacketHeader) + kTileRequestSize * (size_t)count);
}

int PeerApiGetContour(PeerApiState* state, const void* items, int count)
{
    if (BadItems(items, count)) return kPeerBadArguments;
    uint8_t* block = PacketWithItems(items, count, kContourItemSize);
    // The items carry the id of the send they go out with: the one made at a
    // lazy registration, and the new one on the resend after a
    // re-registration.
    auto stampItems = [block, count](int32_t connectionId) {
        for (int i = 0; i < count; ++i)
            Put<uint32_t>(block, sizeof(PeerPacketHeader) + kContourItemSize * (size_t)i + 108,
                          (uint32_t)connectionId);
    };
    return SendOwned(state, kReqGetContour, block, sizeof(PeerPacketHeader) + kContourItemSize * (size_t)count,
                     nullptr, 0, stampItems);
}

int PeerApiSetButton(PeerApiState* state, int32_t action, const char* caption, int timeoutMs)
{
    uint8_t* block = NewPeerPacket(kButtonRecordSize - sizeof(PeerPacketHeader));
    if (block) {
        Put(block, 20, action);
        if (caption) memcpy(block + 24, caption, strnlen(caption, 255));
    }
    return SendOwned(state, kReqSetButton, block, kButtonRecordSize, nullptr, timeoutMs);
}

int PeerApiGetStatusInfo(PeerApiState* state)
{
    int64_t answer = 0;
    int status = PeerApiRequest(state, kReqGetStatusInfo, nullptr, 0, &answer, 0);
    return ValueOrStatus(status, answer);
}

int PeerApiUploadFolder(PeerApiState* state, uint32_t objectId, const FolderRecord* record, int64_t* answer,
                        uint32_t parentId, uint32_t flag)
{
    return Upload(state, kMapObjFolder, objectId, record, answer, parentId, flag);
}

int PeerApiUploadSign(PeerApiState* state, uint32_t objectId, const SignRecord* record, int64_t* answer,
                      uint32_t parentId, uint32_t flag)
{
    return Upload(state, kMapObjSign, objectId, record, answer, parentId, flag);
}

int PeerApiUploadTrack(PeerApiState* state, uint32_t objectId, const TrackRecord* record, int64_t* answer,
                       uint32_t parentId, uint32_t flag)
{
    return Upload(state, kMapObjTrack, objectId, record, answer, parentId, flag);
}

int PeerApiUploadShape(PeerApiState* state, uint32_t objectId, const ShapeRecord* record, int64_t* answer,
                       uint32_t parentId, uint32_t flag)
{
    return Upload(state, kMapObjShape, objectId, record, answer, parentId, flag);
}

int PeerApiUploadMultiPart(PeerApiState* state, uint32_t objectId, const MultiPartRecord* record,
                           int64_t* answer, uint32_t parentId, uint32_t flag)
{
    return Upload(state, kMapObjMultiPart, objectId, record, answer, parentId, flag);
}

int PeerApiSend20002(PeerApiState* state, double a, double b, uint8_t flag)
{
    return SendOwned(state, kReq20002, TwoDoublesAndFlag(24, a, b, flag), 24);
}

int PeerApiSend20003(PeerApiState* state, double a, double b, uint8_t flag)
{
    return SendOwned(state, kReq20003, TwoDoublesAndFlag(1056, a, b, flag), 1056);
}

int PeerApiSend20010(PeerApiState* state) { return SendEmpty(state, kReq20010); }
int PeerApiSend20014(PeerApiState* state, int32_t value) { return SendValue(state, kReq20014, value); }

int PeerApiSend20104(PeerApiState* state, uint32_t value)
{
    uint8_t* block = NewPeerPacket(4);
    if (block) Put(block, 16, value);
    return SendOwned(state, kReq20104, block, 20);
}

int PeerApiSend20106(PeerApiState* state, const uint32_t* ids, int count)
{
    return SendIdList(state, kReq20106, ids, count, 0);
}

int PeerApiSend20203(PeerApiState* state, const uint8_t* block64) { return SendBytes(state, kReq20203, block64, 64); }

int PeerApiSend20221(PeerApiState* state, const uint8_t* record688)
{
    return SendBytes(state, kReq20221, record688, kTestRecordSize);
}

int PeerApiSend20222(PeerApiState* state) { return SendEmpty(state, kReq20222); }
int PeerApiSend20701(PeerApiState* state, const void* items, int count) { return SendItems184(state, kReq20701, items, count); }
int PeerApiSend20703(PeerApiState* state, const void* items, int count) { return SendItems184(state, kReq20703, items, count); }
int PeerApiSend20711(PeerApiState* state, const void* items, int count) { return SendItems184(state, kReq20711, items, count); }
int PeerApiSend20713(PeerApiState* state, const void* items, int count) { return SendItems184(state, kReq20713, items, count); }

int PeerApiSend20702(PeerApiState* state, const void* bytes, int n)
{
    if (!bytes || n < 1) return kPeerBadArguments;
    return SendAfterZeroHead(state, kReq20702, bytes, (size_t)n, nullptr, 0);
}

int PeerApiSend20712(PeerApiState* state, const void* bytes, int n)
{
    if (!bytes || n < 1) return kPeerBadArguments;
    return SendAfterZeroHead(state, kReq20712, bytes, (size_t)n, nullptr, 0);
}

int PeerApiSend20721(PeerApiState* state) { return SendEmpty(state, kReq20721); }
int PeerApiSend20730(PeerApiState* state) { return SendEmpty(state, kReq20730); }

int PeerApiSend20722(PeerApiState* state, uint32_t value)
{
    return PeerApiRequest(state, kReq20722, &value, sizeof value, nullptr, 0);
}

int PeerApiSend20751(PeerApiState* state, uint32_t value)
{
    return PeerApiRequest(state, kReq20751, &value, sizeof value, nullptr, 0);
}

int PeerApiSend20752(PeerApiState* state, uint32_t value)
{
    return PeerApiRequest(state, kReq20752, &value, sizeof value, nullptr, 0);
}

int PeerApiSend20731(PeerApiState* state, const uint8_t* record120, const void* text, int n)
{
    if (!record120 || n < 0 || (n > 0 && !text)) return kPeerBadArguments;
    return SendAfterZeroHead(state, kReq20731, record120, 120, text, (size_t)n);
}

int PeerApiSend20742(PeerApiState* state, const void* items168, int count)
{
    if (!items168 || count < 1) return kPeerBadArguments;
    return SendAfterZeroHead(state, kReq20742, items168, 168 * (size_t)count, nullptr, 0);
}

int PeerApiSend20750(PeerApiState* state, const uint8_t* record568, const void* text, int n)
{
    if (!record568 || n < 0 || (n > 0 && !text)) return kPeerBadArguments;
    return SendAfterZeroHead(state, kReq20750, record568, 568, text, (size_t)n);
}

int PeerApiSend20801(PeerApiState* state, uint32_t value) { return SendAfterZeroHead(state, kReq20801, &value, 4, nullptr, 0); }
int PeerApiSend20802(PeerApiState* state, uint32_t value) { return SendAfterZeroHead(state, kReq20802, &value, 4, nullptr, 0); }
int PeerApiSend20850(PeerApiState* state) { return SendEmpty(state, kReq20850); }
int PeerApiSend20860(PeerApiState* state) { return SendEmpty(state, kReq20860); }

LinetypeTable* ParseLinetypeTable(PeerApiState*, const uint8_t* bytes, uint32_t size)
{
    const uint64_t itemSize = sizeof(LinetypeItem);
    const uint64_t subSize = 248;
    if (!bytes || size < sizeof(LinetypeTable)) return nullptr;
    auto* table = (LinetypeTable*)AllocZeroed(sizeof(LinetypeTable));
    if (!table) return nullptr;
    memcpy(table, bytes, sizeof(LinetypeTable));
    table->items = nullptr;
    uint32_t count = table->count;
    table->count = 0;
    // The count comes from the peer: no more items than the bytes can hold.
    if (count > (size - sizeof(LinetypeTable)) / itemSize) {
        free(table);
        return nullptr;
    }
    if (count) {
        table->items = (LinetypeItem*)AllocZeroed(itemSize * count);
        if (!table->items) {
            free(table);
            return nullptr;
        }
    }
    uint64_t offset = sizeof(LinetypeTable);
    for (uint32_t i = 0; i < count; ++i) {
        // Sub-items of earlier items may have taken the bytes of this one.
        if (offset + itemSize > size) {
            FreeLinetypeTable(table, true);
            return nullptr;
        }
        const uint8_t* item = bytes + offset;
        uint32_t k;
        memcpy(&k, item + offsetof(LinetypeItem, subCount), sizeof k);
        uint64_t subBytes = subSize * k;
        if (offset + itemSize + subBytes > size) {
            FreeLinetypeTable(table, true);
            return nullptr;
        }
        LinetypeItem& out = table->items[i];
        memcpy(&out, item, itemSize);
        out.subItems = nullptr;
        // The name is read as a C string: it ends within its field.
        out.name[sizeof out.name - 1] = 0;
        table->count = i + 1;  // the items so far go with the table on failure
        if (subBytes) {
            out.subItems = (uint8_t*)malloc(subBytes);
            if (!out.subItems) {
                FreeLinetypeTable(table, true);
                return nullptr;
            }
            memcpy(out.subItems, item + itemSize, subBytes);
        }
        offset += itemSize + subBytes;
    }
    return table;
}

void FreeLinetypeTable(LinetypeTable* table, bool freeHead)
{
    if (!table) return;
    if (table->items)
        for (uint32_t i = 0; i < table->count; ++i) free(table->items[i].subItems);
    free(table->items);
    table->items = nullptr;
    table->count = 0;
    if (freeHead) free(table);
}

namespace {

int ParseItems184(const uint8_t* bytes, uint32_t size, uint8_t* items, int capacity, uint64_t unit)
{
    const uint64_t itemSize = 184;
    if (!bytes || size <= 100) return kPeerBadArguments;
    uint32_t first;
    memcpy(&first, bytes, sizeof first);
    if (first != 0) return -11;
    uint64_t offset = 100;
    int n = 0;
    for (;;) {
        if (n >= capacity || offset == size) return n;
        if (offset + itemSize > size) return kPeerBadArguments;
        uint8_t* item = items + itemSize * (uint64_t)n;
        memcpy(item, bytes + offset, itemSize);
        offset += itemSize;
        int32_t extra;
        memcpy(&extra, item + 172, sizeof extra);
        if (extra > 0) {
            uint64_t extraBytes = unit * (uint64_t)extra;
            if (offset + extraBytes > size) return kPeerBadArguments;
            const uint8_t* at = bytes + offset;
            memcpy(item + 176, &at, sizeof at);
            offset += extraBytes;
        } else {
            const void* slot;
            memcpy(&slot, item + 176, sizeof slot);
            if (slot) return kPeerBadArguments;
        }
        ++n;
    }
}

}  // namespace

int ParseItemList184(const uint8_t* bytes, uint32_t size, uint8_t* items, int capacity)
{
    return ParseItems184(bytes, size, items, capacity, 1);
}

int ParseItemList184Words(const uint8_t* bytes, uint32_t size, uint8_t* items, int capacity)
{
    return ParseItems184(bytes, size, items, capacity, 4);
}
