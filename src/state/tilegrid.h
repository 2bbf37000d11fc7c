// The arithmetic of the tile grid: tile size, the order in which the tiles
// around the view are visited, the tile of the view centre, the level whose
// resolution fits the view, and the request record of one image. Nothing
// here talks to the host or the peer.
#pragma once

#include <cstdint>
#include <functional>

#include "afxstr.h"
#include "state/basemapstate.h"

// Tile edge in pixels: 1024 from 3001 screen pixels on, 256 below 1501,
// else 512.
int32_t TilePixelSizeForScreen(int screenWidth);

// Visits every tile (dx, dy) with |dx| <= nx and |dy| <= ny once: the extra
// rows or columns of the longer side first, then ring by ring from the
// outside in, the centre last.
void WalkTileRing(int32_t nx, int32_t ny, const std::function<void(int32_t dx, int32_t dy)>& visit);

// The tile holding `centre` along one axis, counted from `origin` in tiles
// of `tileSize`, rounded to the nearer tile centre (truncation toward zero,
// then a fraction of 0.5 or more goes one up), and the offset from the
// centre to that tile's centre. False for sizes or positions that give no
// usable tile number.
bool TileIndexAndOffset(double centre, double origin, double tileSize, int32_t& index, double& offset);

// Half-count of tiles beyond the centre tile along one axis for a view
// extent: the extent truncated to whole units and halved, in tiles, plus 2.
// At most kMaxTileHalfCount; 0 for a size that is not positive.
const int32_t kMaxTileHalfCount = 64;
int32_t TileHalfCount(double viewExtent, double tileSize);

// The first level 1..28 whose resolution r fits the view's units per pixel
// d within 0.8 < d / r < 1.2, with that ratio; 0 when none does. Levels
// without a resolution are skipped.
int MatchingLevel(double unitsPerPixel, const double xResolution[29], double* ratio);
// The level when none matches: the finest of 28 down to 6 whose resolution
// is above 0.6 d, else 5; 28 becomes 20 unless its resolution reaches d.
int FallbackLevel(double unitsPerPixel, const double xResolution[29]);

// The next number of the module-wide request counter (1, 2, ...; a 32-bit
// counter, sign-extended).
int64_t NextTileSequence();
void ResetTileSequence();

// Puts the path (UTF-8, cut on a character boundary to fit the field with
// its terminator) and its id into the record.
void SetTileRequestPath(TileRequest& record, const CString& path);
// The path of a reply, read only within its field.
CString TileReplyPath(const TileRequest& reply);

// The decimal text of an id, as image and definition names use it.
CString IdText(uint64_t id);
