#include "state/tilegrid.h"

#include <cmath>
#include <cstring>

#include "state/coordbinding.h"
#include "state/peerhelpers.h"

namespace {
// Tile numbers stay far inside 32 bits so that a walk's offsets cannot
// overflow them.
const double kMaxTileIndex = 1 << 30;
uint32_t g_tileSequence = 0;
}  // namespace

int32_t TilePixelSizeForScreen(int screenWidth)
{
    if (screenWidth >= 3001) return 1024;
    if (screenWidth < 1501) return 256;
    return 512;
}

void WalkTileRing(int32_t nx, int32_t ny, const std::function<void(int32_t, int32_t)>& visit)
{
    if (nx < ny) {
        for (int32_t r = ny; r > nx; --r)
            for (int32_t s = -nx; s <= nx; ++s) {
                visit(s, r);
                visit(s, -r);
            }
    } else if (nx > ny) {
        for (int32_t r = nx; r > ny; --r)
            for (int32_t s = -ny; s <= ny; ++s) {
                visit(r, s);
                visit(-r, s);
            }
    }
    for (int32_t r = nx < ny ? nx : ny; r >= 1; --r) {
        for (int32_t s = r; s >= 1; --s) {
            visit(r, s);
            visit(r, -s);
            visit(-r, s);
            visit(-r, -s);
            if (s < r) {
                visit(s, r);
                visit(s, -r);
                visit(-s, r);
                visit(-s, -r);
            }
        }
        visit(r, 0);
        visit(-r, 0);
        visit(0, r);
        visit(0, -r);
    }
    visit(0, 0);
}

bool TileIndexAndOffset(double centre, double origin, double tileSize, int32_t& index, double& offset)
{
    if (!(tileSize > 0)) return false;
    const double q = (centre - origin) / tileSize;
    if (!std::isfinite(q) || std::fabs(q) > kMaxTileIndex) return false;
    index = (int32_t)q;
    const double f = q - index;
    if (f < 0.5) {
        offset = -f * tileSize;
    } else {
        ++index;
        offset = (1 - f) * tileSize;
    }
    return true;
}

int32_t TileHalfCount(double viewExtent, double tileSize)
{
    if (!(tileSize > 0) || !std::isfinite(viewExtent) || viewExtent < 0) return 0;
    // Whole units, halved as integers.
    const double tiles = std::floor(std::trunc(viewExtent) / 2) / tileSize + 2.0;
    return tiles < kMaxTileHalfCount ? (int32_t)tiles : kMaxTileHalfCount;
}

int MatchingLevel(double unitsPerPixel, const double xResolution[29], double* ratio)
{
    for (int level = 1; level <= 28; ++level) {
        if (!(xResolution[level] > 0)) continue;
        const double r = unitsPerPixel / xResolution[level];
        if (r > 0.8 && r < 1.2) {
            if (ratio) *ratio = r;
            return level;
        }
    }
    return 0;
}

int FallbackLevel(double unitsPerPixel, const double xResolution[29])
{
    int level = 5;
    if (!(unitsPerPixel > 0)) return level;
    for (int l = 28; l >= 6; --l) {
        if (xResolution[l] / unitsPerPixel > 0.6) {
            level = l;
            break;
        }
    }
    if (level == 28 && xResolution[28] / unitsPerPixel < 1.0) level = 20;
    return level;
}

int64_t NextTileSequence()
{
    ++g_tileSequence;
    return (int64_t)(int32_t)g_tileSequence;
}

void ResetTileSequence() { g_tileSequence = 0; }

void SetTileRequestPath(TileRequest& record, const CString& path)
{
    memset(record.path, 0, sizeof record.path);
    CStringToUtf8Buf(path, record.path, (int)sizeof record.path, (int)sizeof record.path - 1);
    record.id = StringToId64(path);
}

CString TileReplyPath(const TileRequest& reply)
{
    char field[sizeof reply.path];
    memcpy(field, reply.path, sizeof field);
    field[sizeof field - 1] = 0;
    return Utf8ToCString((const uint8_t*)field, sizeof field);
}

CString IdText(uint64_t id)
{
    CString text;
    text.Format(L"%I64d", (int64_t)id);
    return text;
}
