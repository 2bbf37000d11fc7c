// The peer's request codes and one wrapper per code. Each builds its payload
// zero-filled, sends it through PeerApiRequest, frees it and returns the
// status (the value wrappers return the peer's answer). Data answers arrive
// at the receiver window inside the send. Wrappers never report: callers
// pass a negative result with an operation tag to ReportVelkMsgError.
#pragma once

#include <cstddef>
#include <cstdint>

#include "peer/maprecords.h"
#include "peer/peerapi.h"

enum PeerRequestCode : uint32_t {
    kReqRegister = 20000,
    kReqActivate = 20001,
    kReq20002 = 20002,
    kReq20003 = 20003,
    kReqGetVersion = 20006,
    kReqGated = 20007,
    kReqAcknowledge = 20009,
    kReq20010 = 20010,
    kReqSetLocation = 20011,
    kReqGetMapState = 20012,
    kReqSetFollowWinMap = 20013,
    kReq20014 = 20014,
    kReqSendTestData = 20020,
    kReqGetObjList = 20100,
    kReqGetObject = 20101,
    kReqUploadObject = 20102,
    kReqDeleteObjects = 20103,
    kReq20104 = 20104,
    kReqItemList = 20105,
    kReq20106 = 20106,
    kReqSearchFolder = 20107,
    kReqGetObjTree = 20110,
    kReqSetObjTree = 20112,
    kReqSetRelatePoints = 20201,
    kReqGetCoordSystem = 20202,
    kReq20203 = 20203,
    kReqGetPluginVersion = 20204,
    kReqGetOrigin = 20211,
    kReqGetLevelResolutions = 20212,
    kReq20221 = 20221,
    kReq20222 = 20222,
    kReqMatchView = 20301,
    kReqGetMapFile = 20302,
    kReqGetContour = 20303,
    kReqSetButton = 20401,
    kReqButtonPressed = 20402,
    kReqGetStatusInfo = 20501,
    kReqGetLinetypes = 20601,
    kReq20701 = 20701,
    kReq20702 = 20702,
    kReq20703 = 20703,
    kReq20711 = 20711,
    kReq20712 = 20712,
    kReq20713 = 20713,
    kReq20721 = 20721,
    kReq20722 = 20722,
    kReq20730 = 20730,
    kReq20731 = 20731,
    kReq20742 = 20742,
    kReq20750 = 20750,
    kReq20751 = 20751,
    kReq20752 = 20752,
    kReq20801 = 20801,
    kReq20802 = 20802,
    kReq20850 = 20850,
    kReq20860 = 20860,
};

// Sizes of the records callers hand over whole.
const uint32_t kTestRecordSize = 688;
const uint32_t kTestBlockHead = 100;
const uint32_t kFolderSearchSize = 532;
const uint32_t kTileRequestSize = 472;
const uint32_t kContourItemSize = 192;
const uint32_t kRelatePointSize = 80;
const uint32_t kButtonRecordSize = 320;

// Button actions of 20401.
enum PeerButtonAction : int32_t {
    kButtonQuery = -1,
    kButtonRemove = 0,
    kButtonAdd = 1,
};

// The payload of request 20011: the centre and level the peer's map moves to.
struct SetLocationRecord {
    double y;                 // 0
    double x;                 // 8
    uint8_t mode;             // 16
    uint8_t reserved17[7];
    uint32_t value24;         // 24
    uint32_t level;           // 28
    uint8_t value32;          // 32
    uint8_t reserved33[47];
};
static_assert(sizeof(SetLocationRecord) == 80 && offsetof(SetLocationRecord, mode) == 16 &&
                  offsetof(SetLocationRecord, value24) == 24 && offsetof(SetLocationRecord, level) == 28 &&
                  offsetof(SetLocationRecord, value32) == 32,
              "location record layout");

// Requests in use.
int PeerApiSetLocation(PeerApiState* state, uint32_t value24, uint32_t level, double x, double y, uint8_t value32,
                       uint8_t mode, int timeoutMs);
int PeerApiGetMapState(PeerApiState* state, uint8_t flag);
// The peer's answer, or a negative status.
int PeerApiSetFollowWinMap(PeerApiState* state, int32_t value);
// The caller's 688-byte test record: its text length is the i32 at byte 272
// and its text pointer sits at byte 280. -1 unless the peer confirms the
// whole block.
int PeerApiSendTestData(PeerApiState* state, const uint8_t* testRecord);
int PeerApiGetObjList(PeerApiState* state, uint32_t folderId);
int PeerApiGetObject(PeerApiState* state, uint32_t objectId, uint8_t flag);
int PeerApiDeleteObjects(PeerApiState* state, const uint32_t* ids, int count, bool flagA, bool flagB);
int PeerApiSearchObject(PeerApiState* state, const uint8_t* folderSearchRequest);
int PeerApiGetObjTree(PeerApiState* state, uint8_t flag);
// Sends the buffer's used bytes; with `freeAfter` the buffer is left empty.
int PeerApiSendBuffer(PeerApiState* state, uint32_t code, PeerBuffer* buffer, bool freeAfter);
int PeerApiSetRelatePoints(PeerApiState* state, uint32_t mode, const void* points, int count);
int PeerApiGetCoordSystem(PeerApiState* state);
int PeerApiGetPluginVersion(PeerApiState* state);
int PeerApiGetOrigin(PeerApiState* state);
int PeerApiGetLevelResolutions(PeerApiState* state, double x, double y);
int PeerApiMatchView(PeerApiState* state, double minX, double minY, double maxX, double maxY, uint64_t length,
                     uint32_t maxLevel);
int PeerApiGetMapFile(PeerApiState* state, const void* tileRequests, int count);
// Writes the connection id of each send into every item (u32 at byte 108).
int PeerApiGetContour(PeerApiState* state, const void* items, int count);
// Caption in UTF-8, at most 255 bytes are sent.
int PeerApiSetButton(PeerApiState* state, int32_t action, const char* caption, int timeoutMs);
// The peer's status word, or a negative status.
int PeerApiGetStatusInfo(PeerApiState* state);
int PeerApiGetLinetypes(PeerApiState* state);

// Uploads one record as object `objectId` (0 for a new one) below
// `parentId`; the answer slot receives the new object's id.
int PeerApiUploadFolder(PeerApiState* state, uint32_t objectId, const FolderRecord* record, int64_t* answer,
                        uint32_t parentId, uint32_t flag);
int PeerApiUploadSign(PeerApiState* state, uint32_t objectId, const SignRecord* record, int64_t* answer,
                      uint32_t parentId, uint32_t flag);
int PeerApiUploadTrack(PeerApiState* state, uint32_t objectId, const TrackRecord* record, int64_t* answer,
                       uint32_t parentId, uint32_t flag);
int PeerApiUploadShape(PeerApiState* state, uint32_t objectId, const ShapeRecord* record, int64_t* answer,
                       uint32_t parentId, uint32_t flag);
int PeerApiUploadMultiPart(PeerApiState* state, uint32_t objectId, const MultiPartRecord* record,
                           int64_t* answer, uint32_t parentId, uint32_t flag);

// Requests of the interface without a caller in the plug-in.
int PeerApiSend20002(PeerApiState* state, double a, double b, uint8_t flag);
int PeerApiSend20003(PeerApiState* state, double a, double b, uint8_t flag);
int PeerApiSend20010(PeerApiState* state);
int PeerApiSend20014(PeerApiState* state, int32_t value);
int PeerApiSend20104(PeerApiState* state, uint32_t value);
int PeerApiSend20106(PeerApiState* state, const uint32_t* ids, int count);
int PeerApiSend20203(PeerApiState* state, const uint8_t* block64);
int PeerApiSend20221(PeerApiState* state, const uint8_t* record688);
int PeerApiSend20222(PeerApiState* state);
int PeerApiSend20701(PeerApiState* state, const void* items184, int count);
int PeerApiSend20703(PeerApiState* state, const void* items184, int count);
int PeerApiSend20711(PeerApiState* state, const void* items184, int count);
int PeerApiSend20713(PeerApiState* state, const void* items184, int count);
int PeerApiSend20702(PeerApiState* state, const void* bytes, int n);
int PeerApiSend20712(PeerApiState* state, const void* bytes, int n);
int PeerApiSend20721(PeerApiState* state);
int PeerApiSend20730(PeerApiState* state);
int PeerApiSend20722(PeerApiState* state, uint32_t value);
int PeerApiSend20751(PeerApiState* state, uint32_t value);
int PeerApiSend20752(PeerApiState* state, uint32_t value);
int PeerApiSend20731(PeerApiState* state, const uint8_t* record120, const void* text, int n);
int PeerApiSend20742(PeerApiState* state, const void* items168, int count);
int PeerApiSend20750(PeerApiState* state, const uint8_t* record568, const void* text, int n);
int PeerApiSend20801(PeerApiState* state, uint32_t value);
int PeerApiSend20802(PeerApiState* state, uint32_t value);
int PeerApiSend20850(PeerApiState* state);
int PeerApiSend20860(PeerApiState* state);

// The peer's line types (the data answer to 20601): a 96-byte head whose
// u32 at 4 is the item count, then per item 384 bytes and k x 248 bytes of
// sub-items, k being the u32 at item byte 332.
struct LinetypeItem {
    char name[320];            // 0: UTF-8
    double scale;              // 320
    uint32_t id;               // 328
    uint32_t subCount;         // 332
    uint8_t* subItems;         // 336: heap copy, subCount x 248 bytes
    uint8_t reserved344[40];
};
struct LinetypeTable {
    uint8_t reserved0[4];
    uint32_t count;            // 4
    LinetypeItem* items;       // 8
    uint8_t reserved16[80];
};
static_assert(sizeof(LinetypeItem) == 384 && offsetof(LinetypeItem, subItems) == 336, "line-type item layout");
static_assert(sizeof(LinetypeTable) == 96 && offsetof(LinetypeTable, items) == 8, "line-type head layout");

LinetypeTable* ParseLinetypeTable(PeerApiState* state, const uint8_t* bytes, uint32_t size);
void FreeLinetypeTable(LinetypeTable* table, bool freeHead);

// Answers of the 20700 range: items of 184 bytes from byte 100, each followed
// by extra bytes (i32 length at item byte 172, counted in bytes, or in 4-byte
// words for the second form); the item's slot at 176 points at them inside
// `bytes`. The number of items, -4 for a malformed answer, -11 when the
// answer's first u32 is not 0.
int ParseItemList184(const uint8_t* bytes, uint32_t size, uint8_t* items, int capacity);
int ParseItemList184Words(const uint8_t* bytes, uint32_t size, uint8_t* items, int capacity);
