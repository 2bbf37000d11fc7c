// Map-object records as they cross the peer link: their fixed layouts, their
// allocation with defaults, flattening into one byte block and bounded
// reading back, the packet head and the growable payload buffer.
//
// A record's fixed part is the same bytes in memory and on the wire; its
// pointer slots carry nothing across the link (they are written as zero).
// Wire form: the fixed part, then for kinds with a text a u32 text length
// and the UTF-8 text (no NUL), then the arrays. All values little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "peer/peerapi.h"

enum MapObjKind : uint32_t {
    kMapObjSign = 7,
    kMapObjTrack = 8,
    kMapObjMultiPart = 11,
    kMapObjShape = 13,
    kMapObjFolder = 30,
};

struct FolderRecord {
    char name[100];            // 0: UTF-8, NUL-terminated, at most 99 bytes
    uint32_t childCount;       // 100: records that follow as its children
    uint8_t reserved104[7];
    uint8_t defaultFlag;       // 111: 1 by default
    uint8_t reserved112[3];
    uint8_t sentFlag;          // 115: 1 in the folders the exchange sends
    uint8_t reserved116[60];
};

// Values of a sign's type byte.
enum SignType : uint8_t {
    kPointSign = 1,  // a point or icon sign
    kTextSign = 3,
};

struct SignRecord {
    char name[100];            // 0
    uint8_t reserved100[4];
    char* remark;              // 104: heap text or null
    double y;                  // 112
    double x;                  // 120
    uint8_t coordMode;         // 128: always 2
    uint8_t reserved129[3];
    int32_t elevation;         // 132
    uint8_t reserved136[8];
    uint32_t iconNumber;       // 144: 0 = no icon
    uint32_t colour;           // 148: 0x00BBGGRR
    uint8_t reserved152;
    uint8_t signType;          // 153: SignType
    uint8_t reserved154[106];
    uint8_t textOnly;          // 260
    uint8_t reserved261;
    uint8_t transparency;      // 262: percent
    uint8_t reserved263[2];
    uint8_t level;             // 265
    uint8_t reserved266[2];
    uint32_t fontSize;         // 268
    uint32_t textColour;       // 272
    uint8_t reserved276[4];
    float rotation;            // 280: degrees
    uint8_t reserved284[92];
    uint8_t multiLine;         // 376
    uint8_t reserved377[39];
};

struct TrackPoint {
    double y;                  // 0
    double x;                  // 8
    uint8_t reserved16[4];
    int32_t elevation;         // 20: 65536 starts a new piece or ring
    double angle;              // 24: bulge, or ellipse angles in degrees
    uint8_t reserved32[16];
};

struct TrackRecord {
    char name[100];            // 0
    uint8_t reserved100[4];
    char* remark;              // 104
    TrackPoint* points;        // 112
    uint32_t count;            // 120
    uint8_t coordMode;         // 124: always 2
    uint8_t reserved125[19];
    uint32_t colour;           // 144: default 0xff0000
    uint32_t width;            // 148: hundredths, default 3
    uint8_t opacity;           // 152: percent, default 50
    uint8_t shapeType;         // 153: TrackShapeType
    uint8_t lineStyle;         // 154: LineStyleTable index
    uint8_t reserved155[45];
};

struct ShapeRecord {
    char name[100];            // 0
    uint8_t reserved100[4];
    char* remark;              // 104
    TrackPoint* points;        // 112
    uint32_t count;            // 120
    uint8_t coordMode;         // 124
    uint8_t reserved125[3];
    double startAngle;         // 128
    double endAngle;           // 136
    uint8_t flag;              // 144: default 1
    uint8_t outline;           // 145: default 50
    uint8_t opacity;           // 146: fill opacity percent, default 50
    uint8_t reserved147[3];
    uint16_t outerRingCount;   // 150
    uint32_t colour;           // 152: outline, default 0xff0000
    uint32_t fillColour;       // 156: default 0xff0000
    uint32_t fillType;         // 160
    uint32_t fillKind;         // 164
    uint32_t patternId;        // 168
    uint32_t secondColour;     // 172
    float fillAngle;           // 176
    float fillScale;           // 180
    double originX;            // 184
    double originY;            // 192
};

struct MultiPartItem {
    double y;
    double x;
};

struct MultiPartPart {
    uint8_t fields[1416];
    uint32_t itemCount;        // 1416
    uint8_t reserved1420[4];
    MultiPartItem* items;      // 1424
};

struct MultiPartRecord {
    char name[100];            // 0
    uint8_t reserved100[4];
    char* remark;              // 104
    MultiPartPart* parts;      // 112
    int32_t partCount;         // 120
    uint8_t reserved124[301];
    uint8_t byte425;           // default 7
    uint8_t byte426;           // default 60
    uint8_t reserved427;
    uint32_t colour;           // 428: default 255
    uint8_t reserved432[48];
};

// The 16-byte head of every packet payload.
struct PeerPacketHeader {
    uint16_t magic;            // 101
    uint8_t kind;              // record kind of an upload, else 0
    uint8_t flag;
    uint32_t field4;           // target or parent folder id, or a count
    uint32_t field8;           // object or folder id
    uint32_t field12;          // flags or a further value
};

static_assert(sizeof(FolderRecord) == 176, "folder layout");
static_assert(sizeof(SignRecord) == 416 && offsetof(SignRecord, remark) == 104 &&
                  offsetof(SignRecord, rotation) == 280 && offsetof(SignRecord, multiLine) == 376,
              "sign layout");
static_assert(sizeof(TrackPoint) == 48 && offsetof(TrackPoint, elevation) == 20, "point layout");
static_assert(sizeof(TrackRecord) == 200 && offsetof(TrackRecord, count) == 120 &&
                  offsetof(TrackRecord, colour) == 144 && offsetof(TrackRecord, lineStyle) == 154,
              "track layout");
static_assert(sizeof(ShapeRecord) == 200 && offsetof(ShapeRecord, outerRingCount) == 150 &&
                  offsetof(ShapeRecord, colour) == 152 && offsetof(ShapeRecord, originY) == 192,
              "shape layout");
static_assert(sizeof(MultiPartPart) == 1432 && offsetof(MultiPartPart, items) == 1424, "part layout");
static_assert(sizeof(MultiPartRecord) == 480 && offsetof(MultiPartRecord, partCount) == 120 &&
                  offsetof(MultiPartRecord, colour) == 428,
              "multi-part layout");
static_assert(sizeof(PeerPacketHeader) == 16, "packet head layout");

// A payload built piece by piece and sent whole.
struct PeerBuffer {
    uint8_t* data;
    int32_t length;    // bytes in use
    int32_t capacity;  // bytes allocated
};

// Zero-filled block of n + 16 bytes starting with the packet head's 101.
uint8_t* NewPeerPacket(size_t n);

FolderRecord* NewFolderRecord(PeerApiState* state);
SignRecord* NewSignRecord(PeerApiState* state);
TrackRecord* NewTrackRecord(PeerApiState* state);
ShapeRecord* NewShapeRecord(PeerApiState* state);
MultiPartRecord* NewMultiPartRecord(PeerApiState* state);
// Frees a record of that kind with everything it owns.
void FreeMapObjRecord(PeerApiState* state, void* record, uint32_t kind);

// The record's wire form in a new heap block; null for an unknown kind.
uint8_t* SerializeMapObjRecord(PeerApiState* state, const void* record, uint32_t kind, uint32_t* size);

// Each reads a record body of `size` bytes; null when the bytes do not form one.
FolderRecord* ParseFolderRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size);
SignRecord* ParseSignRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size);
TrackRecord* ParseTrackRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size);
ShapeRecord* ParseShapeRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size);
MultiPartRecord* ParseMultiPartRecord(PeerApiState* state, const uint8_t* bytes, uint32_t size);

// Appends n bytes, growing the block to 2 x (length + n) + 10 when needed;
// with `zeroTail` the grown part is zero-filled. False (buffer unchanged) for
// a negative n, a failed allocation or a size beyond the 32-bit fields.
bool AppendPeerBuffer(PeerBuffer* buffer, const void* bytes, int n, bool zeroTail);
