// The online base map's state of one drawing: the tile grid of the view,
// the tiles placed in the drawing, the tile cache index, the images waiting
// to be placed and the tile requests sent to the peer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <utility>

#include "afxstr.h"
#include "common/symboltable/viewextents.h"
#include "oddbobject.h"
#include "odgegeometry.h"

// The grid of tiles around the current view.
struct TileGrid {
    OdGePoint3d origin;        // the grid's origin (z 0)
    OdGePoint3d viewCentre;
    int32_t centreColumn = 0;  // tile of the view centre
    int32_t centreRow = 0;
    double offsetX = 0;        // view centre to the centre of that tile
    double offsetY = 0;
    int32_t halfCountX = 0;    // nx, ny
    int32_t halfCountY = 0;
    double tileWidth = 0;      // drawing units
    double tileHeight = 0;
    int32_t viewLevel = 1;
    int32_t peerLevel = 0;     // from the peer's map state, 5..18
    int32_t mapType = 0;       // from the peer's map state
    CString cacheFolder;
};

// One tile image in the drawing.
struct PlacedTile {
    CString imagePath;
    int64_t id = 0;            // key of the path
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    int32_t pixelWidth = 0;
    int32_t pixelHeight = 0;
    OdDbObjectId imageId;
    int32_t level = 0;
    int32_t mapType = 0;
    uint64_t coordKey = 0;
};

// An image waiting to be placed, or the one-off capture in progress.
struct MapImageRecord {
    uint8_t meterShown = 0;
    uint32_t meterSpan = 0;
    uint32_t spare = 0;
    uint8_t stalled = 0;       // two progress reports in a row with the same count
    uint32_t lastDone = 0;
    uint32_t mapType = 0;
    uint64_t level = 0;
    double minX = 0, minY = 0;
    double maxX = 0, maxY = 0;
    CString imagePath;
    CString imageName;
    uint64_t id = 0;
    uint8_t fromReply = 0;     // made from a peer reply
    uint8_t busy = 0;          // a capture request is outstanding
    int32_t retryDelay = 0;    // ms
};

// The 472-byte record of a map image request, and of each answer to it.
struct TileRequest {
    uint64_t id;               // 0: key of the image path
    int64_t sequence;          // 8: module-wide counter from 1, sign-extended
    int32_t tileFlag;          // 16: 1; a capture whose progress stalled 0
    int32_t status;            // 20: replies: 1 or 2 written, -102 not ready, else failure
    // 24..283: UTF-8, NUL-terminated. In replies to tiles byte 280 (path[256])
    // must be non-zero for the tile to be used.
    char path[260];
    uint8_t reserved284[20];
    double minX;               // 304
    double minY;               // 312
    double maxX;               // 320
    double maxY;               // 328
    uint8_t coordMode;         // 336: 2
    uint8_t reserved337[3];
    int32_t level;             // 340
    int32_t mapType;           // 344
    int32_t pixelWidth;        // 348
    int32_t pixelHeight;       // 352
    uint8_t reserved356[12];
    int32_t totalUnits;        // 368: capture progress replies
    int32_t doneUnits;         // 372
    int32_t captureMark;       // 376: captures 20, tiles 0
    uint8_t reserved380[4];
    uint8_t byte384;           // 384: 1
    uint8_t reserved385[87];
};
static_assert(sizeof(TileRequest) == 472, "tile request size");
static_assert(offsetof(TileRequest, sequence) == 8 && offsetof(TileRequest, tileFlag) == 16 &&
                  offsetof(TileRequest, status) == 20 && offsetof(TileRequest, path) == 24 &&
                  offsetof(TileRequest, path) + 256 == 280 && offsetof(TileRequest, minX) == 304 &&
                  offsetof(TileRequest, maxY) == 328 && offsetof(TileRequest, coordMode) == 336 &&
                  offsetof(TileRequest, level) == 340 && offsetof(TileRequest, mapType) == 344 &&
                  offsetof(TileRequest, pixelWidth) == 348 && offsetof(TileRequest, pixelHeight) == 352 &&
                  offsetof(TileRequest, totalUnits) == 368 && offsetof(TileRequest, doneUnits) == 372 &&
                  offsetof(TileRequest, captureMark) == 376 && offsetof(TileRequest, byte384) == 384,
              "tile request layout");
// Offset of the reply's ready mark inside the path field.
const size_t kTileReadyByte = 256;

// The base map of one drawing (a member of its CDrawingData).
struct BaseMapState {
    // The tile size follows the screen width; everything else starts empty.
    BaseMapState();
    // Erases the tiles placed in the drawing, then the layer "MapLayer".
    ~BaseMapState();
    BaseMapState(const BaseMapState&) = delete;
    BaseMapState& operator=(const BaseMapState&) = delete;

    int32_t failedTiles = 0;
    std::list<std::pair<int32_t, int32_t>> cachedToPlace;  // (dx, dy)
    std::list<std::pair<int32_t, int32_t>> toRequest;
    double xResolution[29] = {};  // levels 1..28; 0 = not received
    double yResolution[29] = {};
    uint64_t coordKey = 0;
    int32_t tilePixelSize = 0;    // 256, 512 or 1024 by the screen width
    TileGrid grid;
    ViewExtents doubledView;
    std::map<uint64_t, PlacedTile> placedTiles;
    std::map<uint64_t, uint64_t> placedHandles;  // the selection filters drop these
    std::map<uint64_t, CString> cacheIndex;
    std::map<OdDbObjectId, CString> capturedImages;
    uint8_t loaded = 0;
    uint8_t ready = 0;
    uint8_t clearing = 0;
    uint8_t rangeMessageArmed = 1;
    uint8_t levelMessageArmed = 1;
    int32_t lastLevel = 0;
    OdDbObjectId mapLayer;
    std::list<MapImageRecord> imageQueue;
    MapImageRecord currentCapture;
    std::list<TileRequest> retryList;
    std::map<OdDbObjectId, uint64_t> toMoveDown;
};

// Erases every placed tile image; the cache stays. The destructor calls it.
void ClearBaseMapTiles(BaseMapState* state);
