#include "exchange/objexchangebuffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "afxmsgbox.h"
#include "exchange/arxoperation.h"
#include "exchange/crosssectionmode.h"
#include "exchange/exchangeglobals.h"
#include "exchange/exchangetext.h"
#include "exchange/velkobjtree.h"
#include "gcedview.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "state/drawingdata.h"

LinkMap folderRecordLinks;
uint8_t g_bNewFoldersSent = 0;
uint8_t g_bShowSendProgress = 0;
uint8_t g_bSuppressReactors = 0;

namespace {

// The records of the buffer being sent, for its answer.
const std::vector<SentRecord>* g_recordsInFlight = nullptr;

const int32_t kStartCapacity = 1000;

}  // namespace

ObjExchangeBuffer::~ObjExchangeBuffer() { free(buffer.data); }

bool StartExchangeBuffer(ObjExchangeBuffer* b, uint32_t targetId)
{
    ReleaseExchangeBuffer(b);
    b->targetId = targetId;
    b->buffer.data = (uint8_t*)calloc(1, kStartCapacity);
    if (!b->buffer.data) return false;
    b->buffer.capacity = kStartCapacity;
    PeerPacketHeader head{};
    head.magic = 101;
    head.field4 = targetId;
    memcpy(b->buffer.data, &head, sizeof head);
    b->buffer.length = kExchangeHeadBytes;
    return true;
}

void ReleaseExchangeBuffer(ObjExchangeBuffer* b)
{
    free(b->buffer.data);
    b->buffer = PeerBuffer{nullptr, 0, 0};
    b->records.clear();
    b->appendFailed = false;
    b->failureShown = false;
}

bool ExchangeBufferHasRecords(const ObjExchangeBuffer* b)
{
    return b->buffer.data && b->buffer.length > kExchangeHeadBytes;
}

void CloseExchangeBuffer(ObjExchangeBuffer* b)
{
    if (!b->buffer.data || b->buffer.length < kExchangeHeadBytes) return;
    ObjRecordHeader root{};
    root.size = (uint32_t)(b->buffer.length - kExchangeHeadBytes);
    root.parentId = b->targetId;
    memcpy(b->buffer.data + 16, &root, sizeof root);
}

int SendExchangeBuffer(ObjExchangeBuffer* b)
{
    g_recordsInFlight = &b->records;
    int status = PeerApiSendBuffer(&g_peerApi, kReqSetObjTree, &b->buffer, true);
    g_recordsInFlight = nullptr;
    b->records.clear();
    b->failureShown = false;
    return status;
}

bool ArxOperation::AppendToBuffer(ObjExchangeBuffer* b, const void* bytes, int n)
{
    bool memory = n >= 0 && (bytes || n == 0) && b && b->buffer.data;
    if (memory && (int64_t)b->buffer.length + n <= b->limit &&
        AppendPeerBuffer(&b->buffer, bytes, n, true))
        return true;
    // Once a buffer is full every later record misses too: one box for the
    // send, not one per record.
    if (!b || !b->failureShown) AfxMessageBox(memory ? L"系统内存不足！操作失败！" : L"系统内存不足！");
    if (b) b->failureShown = true;
    return false;
}

void ArxOperation::AppendMapObjRecord(void* record, uint32_t kind, ObjExchangeBuffer* b, MapObjInfo* info,
                                      SentTarget target)
{
    if (!record) return;
    if (info && info->name.IsEmpty() && (kind == kMapObjSign || kind == kMapObjTrack || kind == kMapObjShape)) {
        char name[101] = {};
        memcpy(name, record, 100);
        info->name = Utf8FieldToCString(name, 100);
    }
    if (g_ptagDocIdManager && g_ptagDocIdManager->crossSection.sectionActive)
        SectionObjectToPeer(&g_ptagDocIdManager->crossSection, record, kind);
    uint32_t size = 0;
    uint8_t* body = SerializeMapObjRecord(&g_peerApi, record, kind, &size);
    FreeMapObjRecord(&g_peerApi, record, kind);
    if (!body) return;
    ObjRecordHeader header{};
    header.size = size;
    header.kind = kind;
    if (info) {
        header.peerId = info->peerId;
        header.parentId = info->parentId;
        header.handle = info->handle;
    }
    // A header must never go out without its body: on failure the buffer
    // goes back to before the header.
    int32_t before = b->buffer.length;
    if (AppendToBuffer(b, &header, (int)sizeof header) && AppendToBuffer(b, body, (int)size)) {
        b->records.push_back(SentRecord{target, header.handle});
    } else {
        b->buffer.length = before;
        b->appendFailed = true;
    }
    free(body);
}

bool ReserveFolderRecord(ObjExchangeBuffer* b, FolderReservation& r)
{
    if (!b->buffer.data) return false;
    FolderRecord* probe = NewFolderRecord(&g_peerApi);
    uint32_t size = 0;
    uint8_t* body = probe ? SerializeMapObjRecord(&g_peerApi, probe, kMapObjFolder, &size) : nullptr;
    FreeMapObjRecord(&g_peerApi, probe, kMapObjFolder);
    free(body);
    if (!body) return false;
    int64_t end = (int64_t)b->buffer.length + 64 + size;
    if (end > b->limit) {
        b->appendFailed = true;
        return false;
    }
    if (end > b->buffer.capacity) {
        int64_t capacity = 2 * (end + size) + 10;
        if (capacity > INT32_MAX) {
            b->appendFailed = true;
            return false;
        }
        auto* grown = (uint8_t*)realloc(b->buffer.data, (size_t)capacity);
        if (!grown) {
            b->appendFailed = true;
            return false;
        }
        memset(grown + b->buffer.length, 0, (size_t)(capacity - b->buffer.length));
        b->buffer.data = grown;
        b->buffer.capacity = (int32_t)capacity;
    }
    r.position = b->buffer.length;
    r.size = size;
    r.recordIndex = b->records.size();
    // The folder's slot among the records, filled when it is written.
    b->records.push_back(SentRecord{SentTarget::kEntity, 0});
    b->buffer.length = (int32_t)end;
    return true;
}

void FinishFolderRecord(ObjExchangeBuffer* b, const FolderReservation& r, FolderRecord* folder, uint32_t childCount,
                        MapObjInfo* info)
{
    int32_t end = b->buffer.length;
    size_t records = b->records.size();
    if (folder) {
        folder->childCount = childCount;
        folder->sentFlag = 1;
        b->buffer.length = r.position;
        ArxOperation::AppendMapObjRecord(folder, kMapObjFolder, b, info);
    }
    if (!folder || b->records.size() == records) {
        // No folder in its place: a zero header there would make the peer
        // misread everything behind it, so the entity goes out whole.
        b->buffer.length = r.position;
        b->records.resize(r.recordIndex);
        return;
    }
    // The folder fills exactly its reserved place; its record entry was
    // appended at the end and goes back to its slot.
    b->records[r.recordIndex] = b->records.back();
    b->records.pop_back();
    b->buffer.length = end;
}

void CopyName100(char* field, const char* name, size_t count)
{
    if (!field) return;
    size_t n = name ? strnlen(name, count < 99 ? count : 99) : 0;
    memcpy(field, name ? name : "", n);
    memset(field + n, 0, 100 - n);
}

void FormatName100(char* field, const char* format, ...)
{
    if (!field) return;
    va_list args;
    va_start(args, format);
    vsnprintf(field, 100, format, args);
    va_end(args);
}

void ApplyObjectAnswerTo(const std::vector<SentRecord>& records, const uint8_t* bytes, uint32_t size)
{
    g_bSuppressReactors = 1;
    if (g_bShowSendProgress) gcedSetStatusBarProgressMeterPos(90);
    size_t entries = bytes ? size / sizeof(ObjRecordHeader) : 0;
    for (size_t i = 0; i < entries && i < records.size(); ++i) {
        ObjRecordHeader e;
        memcpy(&e, bytes + i * sizeof e, sizeof e);
        const SentRecord& sent = records[i];
        // An entry must answer the record of its index; an id of 0 is none.
        if (e.handle != sent.key || e.peerId == 0) continue;
        switch (sent.target) {
        case SentTarget::kLayerFolder: {
            MapObjInfo* r = FindEntityLink(folderRecordLinks, i);
            if (!r) break;
            VelkObjNode* node = new VelkObjNode();
            node->name = r->name;
            node->id = e.peerId;
            g_velkObjTree.AddNode(g_subFolderName, node);
            ArxOperation::RegisterPeerFolder(r->name, e.peerId, true);
            UpdateEntityLink(g_ptagDocIdManager, r->handle, e.peerId, false);
            break;
        }
        case SentTarget::kPointGroup:
            if (g_ptagDocIdManager) RekeyLinkGroup(g_ptagDocIdManager->pointGroups, e.peerId, (uint32_t)sent.key);
            break;
        case SentTarget::kPieceGroup:
            if (g_ptagDocIdManager) RekeyLinkGroup(g_ptagDocIdManager->pieceGroups, e.peerId, (uint32_t)sent.key);
            break;
        case SentTarget::kEntity:
            if (!g_ptagDocIdManager || (int64_t)sent.key <= 0) break;
            SetPeerEntity(g_ptagDocIdManager->peerEntities, e.peerId, sent.key);
            UpdateEntityLink(g_ptagDocIdManager, sent.key, e.peerId, false);
            break;
        }
    }
    if (g_bShowSendProgress) {
        gcedSetStatusBarProgressMeterPos(100);
        gcedRestoreStatusBar();
    }
    g_bSuppressReactors = 0;
}

void ApplyObjectAnswer(const uint8_t* bytes, uint32_t size)
{
    static const std::vector<SentRecord> none;
    ApplyObjectAnswerTo(g_recordsInFlight ? *g_recordsInFlight : none, bytes, size);
}
