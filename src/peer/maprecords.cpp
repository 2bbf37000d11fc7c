#include "peer/maprecords.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Tracks and shapes hold at most this many points.
const uint32_t kMaxPoints = 1000000;

uint64_t RoundUp8(uint64_t n) { return (n + 7) & ~(uint64_t)7; }

uint32_t ReadU32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void WriteU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

uint32_t TextLength(const char* text) { return text ? (uint32_t)strlen(text) : 0; }

// A record's text from the wire: a heap copy with a NUL, or null when empty.
// False when the copy cannot be had.
bool ReadRemark(char** remark, const uint8_t* bytes, uint32_t length)
{
    *remark = length ? DupBytes(bytes, length) : nullptr;
    return !length || *remark;
}

template <class Record>
Record* NewRecord()
{
    return (Record*)AllocZeroed(sizeof(Record));
}

// The wire form shared by tracks and shapes: fixed part, text length, text
// padded to 8, then the points.
template <class Record>
uint8_t* SerializePoints(const Record* r, uint32_t* size)
{
    uint32_t t = TextLength(r->remark);
    uint64_t head = RoundUp8(sizeof(Record) + 4 + (uint64_t)t);
    uint64_t total = head + 48ull * r->count;
    if (total > UINT32_MAX || (r->count && !r->points)) return nullptr;
    auto* out = (uint8_t*)AllocZeroed(total);
    if (!out) return nullptr;
    memcpy(out, r, sizeof(Record));
    memset(out + offsetof(Record, remark), 0, 16);  // remark and points slots
    WriteU32(out + sizeof(Record), t);
    if (t) memcpy(out + sizeof(Record) + 4, r->remark, t);
    if (r->count) memcpy(out + head, r->points, 48ull * r->count);
    *size = (uint32_t)total;
    return out;
}

template <class Record>
Record* ParsePoints(Record* (*allocate)(PeerApiState*), PeerApiState* state, uint32_t kind, const uint8_t* bytes,
                    uint32_t size)
{
    const uint64_t fixed = sizeof(Record);
    if (!bytes || size < fixed + 4) return nullptr;
    uint32_t t = ReadU32(bytes + fixed);
    uint64_t head = RoundUp8(fixed + 4 + (uint64_t)t);
    uint32_t count = ReadU32(bytes + offsetof(Record, count));
    if (size < head || count > kMaxPoints || size != head + 48ull * count) return nullptr;
    Record* r = allocate(state);
    if (!r) return nullptr;
    memcpy(r, bytes, fixed);
    r->points = nullptr;
    bool ok = ReadRemark(&r->remark, bytes + fixed + 4, t);
    if (ok && count) {
        r->points = (TrackPoint*)malloc(48ull * count);
        ok = r->points != nullptr;
        if (ok) memcpy(r->points, bytes + head, 48ull * count);
    }
    if (!ok) {
        FreeMapObjRecord(state, r, kind);
        return nullptr;
    }
    return r;
}

uint8_t* SerializeMultiPart(const MultiPartRecord* r, uint32_t* size)
{
    if (r->partCount < 0 || (r->partCount && !r->parts)) return nullptr;
    uint32_t t = TextLength(r->remark);
    uint64_t head = RoundUp8(sizeof(MultiPartRecord) + 4 + (uint64_t)t);
    uint64_t items = 0;
    for (int32_t i = 0; i < r->partCount; ++i) {
        if (r->parts[i].itemCount && !r->parts[i].items) return nullptr;
        items += r->parts[i].itemCount;
    }
    uint64_t partsEnd = head + sizeof(MultiPartPart) * (uint64_t)r->partCount;
    uint64_t total = partsEnd + sizeof(MultiPartItem) * items;
    if (total > UINT32_MAX) return nullptr;
    auto* out = (uint8_t*)AllocZeroed(total);
    if (!out) return nullptr;
    memcpy(out, r, sizeof(MultiPartRecord));
    memset(out + offsetof(MultiPartRecord, remark), 0, 16);  // remark and parts slots
    WriteU32(out + sizeof(MultiPartRecord), t);
    if (t) memcpy(out + sizeof(MultiPartRecord) + 4, r->remark, t);
    uint8_t* part = out + head;
    uint8_t* item = out + partsEnd;
    for (int32_t i = 0; i < r->partCount; ++i, part += sizeof(MultiPartPart)) {
        memcpy(part, &r->parts[i], sizeof(MultiPartPart));
        memset(part + offsetof(MultiPartPart, items), 0, 8);
        size_t n = sizeof(MultiPartItem) * r->parts[i].itemCount;
        if (n) memcpy(item, r->parts[i].items, n);
        item += n;
    }
    *size = (uint32_t)total;
    return out;
}

}  // namespace

uint8_t* NewPeerPacket(size_t n)
{
    auto* p = (uint8_t*)AllocZeroed(n + sizeof(PeerPacketHeader));
    if (p) p[0] = 101;
    return p;
}

FolderRecord* NewFolderRecord(PeerApiState*)
{
    auto* r = NewRecord<FolderRecord>();
    if (r) r->defaultFlag = 1;
    return r;
}

SignRecord* NewSignRecord(PeerApiState*) { return NewRecord<SignRecord>(); }

TrackRecord* NewTrackRecord(PeerApiState*)
{
    auto* r = NewRecord<TrackRecord>();
    if (r) {
        r->colour = 0xff0000;
        r->width = 3;
        r->opacity = 50;
    }
    return r;
}

ShapeRecord* NewShapeRecord(PeerApiState*)
{
    auto* r = NewRecord<ShapeRecord>();
    if (r) {
        r->flag = 1;
        r->outline = 50;
        r->opacity = 50;
        r->colour = 0xff0000;
        r->fillColour = 0xff0000;
    }
    return r;
}

MultiPartRecord* NewMultiPartRecord(PeerApiState*)
{
    auto* r = NewRecord<MultiPartRecord>();
    if (r) {
        r->byte425 = 7;
        r->byte426 = 60;
        r->colour = 255;
    }
    return r;
}

void FreeMapObjRecord(PeerApiState*, void* record, uint32_t kind)
{
    if (!record) return;
    switch (kind) {
    case kMapObjSign: free(((SignRecord*)record)->remark); break;
    case kMapObjTrack:
        free(((TrackRecord*)record)->remark);
        free(((TrackRecord*)record)->points);
        break;
    case kMapObjShape:
        free(((ShapeRecord*)record)->remark);
        free(((ShapeRecord*)record)->points);
        break;
    case kMapObjMultiPart: {
        auto* r = (MultiPartRecord*)record;
        free(r->remark);
        if (r->parts)
            for (int32_t i = 0; i < r->partCount; ++i) free(r->parts[i].items);
        free(r->parts);
        break;
    }
    default: break;
    }
    free(record);
}

uint8_t* SerializeMapObjRecord(PeerApiState*, const void* record, uint32_t kind, uint32_t* size)
{
    if (!record) return nullptr;
    switch (kind) {
    case kMapObjFolder: {
        auto* out = (uint8_t*)AllocZeroed(sizeof(FolderRecord));
        if (!out) return nullptr;
        memcpy(out, record, sizeof(FolderRecord));
        *size = sizeof(FolderRecord);
        return out;
    }
    case kMapObjSign: {
        auto* r = (const SignRecord*)record;
        uint32_t t = TextLength(r->remark);
        uint64_t total = sizeof(SignRecord) + 4 + (uint64_t)t;
        if (total > UINT32_MAX) return nullptr;
        auto* out = (uint8_t*)AllocZeroed(total);
        if (!out) return nullptr;
        memcpy(out, r, sizeof(SignRecord));
        memset(out + offsetof(SignRecord, remark), 0, 8);
        WriteU32(out + sizeof(SignRecord), t);
        if (t) memcpy(out + sizeof(SignRecord) + 4, r->remark, t);
        *size = (uint32_t)total;
        return out;
    }
    case kMapObjTrack: return SerializePoints((const TrackRecord*)record, size);
    case kMapObjShape: return SerializePoints((const ShapeRecord*)record, size);
    case kMapObjMultiPart: return SerializeMultiPart((const MultiPartRecord*)record, size);
    default: return nullptr;
    }
}

FolderRecord* ParseFolderRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size)
{
    if (!bytes || size != sizeof(FolderRecord)) return nullptr;
    FolderRecord* r = NewFolderRecord(state);
    if (r) memcpy(r, bytes, sizeof(FolderRecord));
    return r;
}

SignRecord* ParseSignRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size)
{
    const uint64_t fixed = sizeof(SignRecord);
    if (!bytes || size < fixed + 4) return nullptr;
    uint32_t t = ReadU32(bytes + fixed);
    if (size != fixed + 4 + (uint64_t)t) return nullptr;
    SignRecord* r = NewSignRecord(state);
    if (!r) return nullptr;
    memcpy(r, bytes, fixed);
    if (!ReadRemark(&r->remark, bytes + fixed + 4, t)) {
        FreeMapObjRecord(state, r, kMapObjSign);
        return nullptr;
    }
    return r;
}

TrackRecord* ParseTrackRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size)
{
    return ParsePoints(&NewTrackRecord, state, kMapObjTrack, bytes, size);
}

ShapeRecord* ParseShapeRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size)
{
    return ParsePoints(&NewShapeRecord, state, kMapObjShape, bytes, size);
}

MultiPartRecord* ParseMultiPartRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size)
{
    const uint64_t fixed = sizeof(MultiPartRecord);
    if (!bytes || size < fixed + 4) return nullptr;
    uint32_t t = ReadU32(bytes + fixed);
    uint64_t head = RoundUp8(fixed + 4 + (uint64_t)t);
    int32_t partCount = (int32_t)ReadU32(bytes + offsetof(MultiPartRecord, partCount));
    if (size < head || partCount < 0) return nullptr;
    uint64_t partsEnd = head + sizeof(MultiPartPart) * (uint64_t)partCount;
    if (size < partsEnd) return nullptr;
    uint64_t items = 0;
    for (int32_t i = 0; i < partCount; ++i)
        items += ReadU32(bytes + head + sizeof(MultiPartPart) * (uint64_t)i + offsetof(MultiPartPart, itemCount));
    if (size < partsEnd + sizeof(MultiPartItem) * items) return nullptr;

    MultiPartRecord* r = NewMultiPartRecord(state);
    if (!r) return nullptr;
    memcpy(r, bytes, fixed);
    r->parts = nullptr;
    r->partCount = 0;
    bool ok = ReadRemark(&r->remark, bytes + fixed + 4, t);
    if (ok && partCount) {
        r->parts = (MultiPartPart*)malloc(sizeof(MultiPartPart) * (size_t)partCount);
        ok = r->parts != nullptr;
    }
    const uint8_t* item = bytes + partsEnd;
    for (int32_t i = 0; ok && i < partCount; ++i) {
        MultiPartPart& part = r->parts[i];
        memcpy(&part, bytes + head + sizeof(MultiPartPart) * (uint64_t)i, sizeof(MultiPartPart));
        part.items = nullptr;
        r->partCount = i + 1;  // the parts so far are freed on failure
        size_t n = sizeof(MultiPartItem) * part.itemCount;
        if (!n) continue;
        part.items = (MultiPartItem*)malloc(n);
        ok = part.items != nullptr;
        if (ok) memcpy(part.items, item, n);
        item += n;
    }
    if (!ok) {
        FreeMapObjRecord(state, r, kMapObjMultiPart);
        return nullptr;
    }
    return r;
}

bool AppendPeerBuffer(PeerBuffer* buffer, const void* bytes, int n, bool zeroTail)
{
    if (!buffer || n < 0 || (n > 0 && !bytes)) return false;
    int64_t needed = (int64_t)buffer->length + n;
    if (needed > buffer->capacity) {
        int64_t capacity = 2 * needed + 10;
        if (capacity > INT32_MAX) return false;
        auto* grown = (uint8_t*)realloc(buffer->data, (size_t)capacity);
        if (!grown) return false;
        if (zeroTail) memset(grown + buffer->length, 0, (size_t)(capacity - buffer->length));
        buffer->data = grown;
        buffer->capacity = (int32_t)capacity;
    }
    if (n) memcpy(buffer->data + buffer->length, bytes, (size_t)n);
    buffer->length = (int32_t)needed;
    return true;
}
