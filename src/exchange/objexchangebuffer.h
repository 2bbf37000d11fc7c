// The object stream sent to the peer with request 20112 (and received in the
// answer to 20110): a packet head, a root header, then one framed record per
// object, a folder in front of its children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "peer/maprecords.h"

struct MapObjInfo;

// The 64-byte header in front of every record, and of the root.
struct ObjRecordHeader {
    uint32_t size;        // 0: bytes of the serialised record that follows
    uint32_t kind;        // 4: MapObjKind
    uint32_t peerId;      // 8: 0 for an object new to the peer
    uint32_t parentId;    // 12: the folder that holds it
    uint64_t handle;      // 16: entity handle, or the key of a group
    uint8_t reserved[40];
};
static_assert(sizeof(ObjRecordHeader) == 64 && offsetof(ObjRecordHeader, parentId) == 12 &&
                  offsetof(ObjRecordHeader, handle) == 16,
              "record header layout");

const int32_t kExchangeHeadBytes = 16 + 64;  // packet head and root header

// What a record of the buffer stands for, so that the peer's answer entry
// of the same index updates exactly that.
enum class SentTarget : uint8_t {
    kEntity,       // the entity of the handle
    kPointGroup,   // the point set of the group key
    kPieceGroup,   // the track pieces of the group key
    kLayerFolder,  // the layer folder of folderRecordLinks[index]
};

struct SentRecord {
    SentTarget target;
    uint64_t key;  // handle or group key, as the header carries it
};

struct ObjExchangeBuffer {
    PeerBuffer buffer{nullptr, 0, 0};
    uint32_t targetId = 0;
    std::vector<SentRecord> records;  // buffer order
    bool appendFailed = false;        // a record did not fit and was left out
    bool failureShown = false;        // the user was told: later misses of this send are silent
    // The buffer never grows beyond this many bytes (a growth beyond counts
    // as running out of memory).
    int32_t limit = 1 << 30;

    ObjExchangeBuffer() = default;
    ObjExchangeBuffer(const ObjExchangeBuffer&) = delete;
    ObjExchangeBuffer& operator=(const ObjExchangeBuffer&) = delete;
    ~ObjExchangeBuffer();
};

// Starts a buffer for the target folder: 1000 bytes, zero-filled, the head
// written and the root header's place kept. False when memory fails.
bool StartExchangeBuffer(ObjExchangeBuffer* b, uint32_t targetId);
// Frees the bytes; the buffer is empty afterwards.
void ReleaseExchangeBuffer(ObjExchangeBuffer* b);
bool ExchangeBufferHasRecords(const ObjExchangeBuffer* b);
// Writes the root header: size of everything behind it and the target.
void CloseExchangeBuffer(ObjExchangeBuffer* b);
// Sends the closed buffer with request 20112 and frees its bytes. The answer
// arrives inside the send and is applied by record index.
int SendExchangeBuffer(ObjExchangeBuffer* b);

// A folder that stands in front of its children: its header and record are
// reserved first, the children are appended behind, then the folder is
// written into the reserved place with their count. When the folder is not
// written (null, or its append failed) the reservation is undone with the
// children behind it: the entity is left out whole.
struct FolderReservation {
    int32_t position = 0;    // where the folder's header goes
    uint32_t size = 0;       // its serialised size
    size_t recordIndex = 0;  // its index among the records
};
bool ReserveFolderRecord(ObjExchangeBuffer* b, FolderReservation& r);
void FinishFolderRecord(ObjExchangeBuffer* b, const FolderReservation& r, FolderRecord* folder, uint32_t childCount,
                        MapObjInfo* info);

// Applies a 20112 answer to the records that were sent: entry i updates
// what record i stood for (ApplyObjectAnswer uses the buffer in flight).
void ApplyObjectAnswerTo(const std::vector<SentRecord>& records, const uint8_t* bytes, uint32_t size);

// Copies a UTF-8 name of at most 99 bytes into a 100-byte name field.
void CopyName100(char* field, const char* name, size_t count);
// Formats into a 100-byte name field (at most 99 bytes and the terminator).
void FormatName100(char* field, const char* format, ...);
