// The tile grid's arithmetic: walk order, the centre tile, the level that
// fits a view, and the request record's path field.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "state/coordbinding.h"
#include "state/tilegrid.h"

namespace {

using Tile = std::pair<int32_t, int32_t>;

std::vector<Tile> Walk(int32_t nx, int32_t ny)
{
    std::vector<Tile> tiles;
    WalkTileRing(nx, ny, [&](int32_t dx, int32_t dy) { tiles.emplace_back(dx, dy); });
    return tiles;
}

int Ring(const Tile& t) { return std::max(std::abs(t.first), std::abs(t.second)); }

TEST(TileWalk, SquareWalkGoesRingByRingFromTheOutsideAndEndsAtTheCentre)
{
    std::vector<Tile> tiles = Walk(3, 3);
    ASSERT_EQ(tiles.size(), 49u);
    EXPECT_EQ(std::set<Tile>(tiles.begin(), tiles.end()).size(), 49u);
    // The outer ring opens with its corners, then s steps inwards.
    EXPECT_EQ(std::vector<Tile>(tiles.begin(), tiles.begin() + 12),
              (std::vector<Tile>{{3, 3}, {3, -3}, {-3, 3}, {-3, -3}, {3, 2}, {3, -2}, {-3, 2}, {-3, -2}, {2, 3},
                                 {2, -3}, {-2, 3}, {-2, -3}}));
    // A ring ends with its four axis tiles; rings never go outwards again.
    EXPECT_EQ(std::vector<Tile>(tiles.begin() + 20, tiles.begin() + 24),
              (std::vector<Tile>{{3, 0}, {-3, 0}, {0, 3}, {0, -3}}));
    for (size_t i = 1; i < tiles.size(); ++i) EXPECT_LE(Ring(tiles[i]), Ring(tiles[i - 1])) << i;
    EXPECT_EQ(tiles.back(), Tile(0, 0));
    EXPECT_EQ(Walk(0, 0), (std::vector<Tile>{{0, 0}}));
}

TEST(TileWalk, TheLongerSideIsWalkedFirstAcrossTheShorterOne)
{
    // Wider than high: columns 3 and 2 first, each from -1 up to 1.
    std::vector<Tile> wide = Walk(3, 1);
    ASSERT_EQ(wide.size(), 21u);
    EXPECT_EQ(std::vector<Tile>(wide.begin(), wide.begin() + 6),
              (std::vector<Tile>{{3, -1}, {-3, -1}, {3, 0}, {-3, 0}, {3, 1}, {-3, 1}}));
    EXPECT_EQ(wide[6], Tile(2, -1));
    EXPECT_EQ(std::set<Tile>(wide.begin(), wide.end()).size(), 21u);
    // Higher than wide: rows first, each from -nx up to nx.
    std::vector<Tile> tall = Walk(1, 2);
    ASSERT_EQ(tall.size(), 15u);
    EXPECT_EQ(std::vector<Tile>(tall.begin(), tall.begin() + 6),
              (std::vector<Tile>{{-1, 2}, {-1, -2}, {0, 2}, {0, -2}, {1, 2}, {1, -2}}));
    EXPECT_EQ(tall.back(), Tile(0, 0));
}

TEST(TileGridArithmetic, TheCentreTileRoundsHalvesAwayFromTruncation)
{
    int32_t index = 0;
    double offset = 0;
    // q = 2.5: truncated to 2, the half goes up: tile 3, half a tile on.
    ASSERT_TRUE(TileIndexAndOffset(25.0, 0.0, 10.0, index, offset));
    EXPECT_EQ(index, 3);
    EXPECT_DOUBLE_EQ(offset, 5.0);
    // q = -2.5: truncated to -2, the fraction -0.5 stays: tile -2, +0.5.
    ASSERT_TRUE(TileIndexAndOffset(-25.0, 0.0, 10.0, index, offset));
    EXPECT_EQ(index, -2);
    EXPECT_DOUBLE_EQ(offset, 5.0);
    // Below half a tile: the same tile, back to its centre.
    ASSERT_TRUE(TileIndexAndOffset(1024.0 + 2.4 * 32, 1024.0, 32.0, index, offset));
    EXPECT_EQ(index, 2);
    EXPECT_NEAR(offset, -0.4 * 32, 1e-9);
    // No tile size, or a centre no tile number reaches.
    EXPECT_FALSE(TileIndexAndOffset(5.0, 0.0, 0.0, index, offset));
    EXPECT_FALSE(TileIndexAndOffset(1e300, 0.0, 1e-3, index, offset));
    EXPECT_FALSE(TileIndexAndOffset(std::nan(""), 0.0, 1.0, index, offset));

    // Half-counts: whole units halved as integers, in tiles, plus 2.
    EXPECT_EQ(TileHalfCount(120.9, 32.0), 3);   // 60 / 32 + 2
    EXPECT_EQ(TileHalfCount(127.9, 32.0), 3);   // 63 / 32 + 2
    EXPECT_EQ(TileHalfCount(128.0, 32.0), 4);
    EXPECT_EQ(TileHalfCount(1e12, 1.0), kMaxTileHalfCount);
    EXPECT_EQ(TileHalfCount(50.0, 0.0), 0);

    // Tile sizes follow the screen width.
    EXPECT_EQ(TilePixelSizeForScreen(1500), 256);
    EXPECT_EQ(TilePixelSizeForScreen(1501), 512);
    EXPECT_EQ(TilePixelSizeForScreen(3000), 512);
    EXPECT_EQ(TilePixelSizeForScreen(3001), 1024);
}

TEST(TileGridArithmetic, TheLevelBandAndItsFallbacks)
{
    double res[29] = {};
    for (int level = 1; level <= 28; ++level) res[level] = 4096.0 / (1 << level);
    double ratio = 0;
    // Exactly level 16, and inside the band on both sides.
    EXPECT_EQ(MatchingLevel(res[16], res, &ratio), 16);
    EXPECT_DOUBLE_EQ(ratio, 1.0);
    EXPECT_EQ(MatchingLevel(res[16] * 1.19, res, &ratio), 16);
    EXPECT_EQ(MatchingLevel(res[16] * 0.81, res, &ratio), 16);
    // Between two levels: 1.3 x level 16 is 0.65 x level 15, in no band.
    EXPECT_EQ(MatchingLevel(res[16] * 1.3, res, &ratio), 0);
    // Fallback: the finest level above 0.6 of the view's units per pixel.
    EXPECT_EQ(FallbackLevel(res[16] * 1.3, res), 16);  // 1 / 1.3 = 0.77 > 0.6
    EXPECT_EQ(FallbackLevel(res[16] * 1.7, res), 15);  // 0.59 at 16
    // Between levels 27 and 28 (0.67 of 28's resolution): 20, not 28.
    EXPECT_EQ(FallbackLevel(res[28] * 1.5, res), 20);
    // Finer than level 28: its resolution reaches d, 28 stays.
    EXPECT_EQ(FallbackLevel(res[28] / 10, res), 28);
    // Coarser than level 6 allows: 5.
    EXPECT_EQ(FallbackLevel(res[3], res), 5);
    // No tables: nothing matches, the fallback is 5.
    double none[29] = {};
    EXPECT_EQ(MatchingLevel(1.0, none, &ratio), 0);
    EXPECT_EQ(FallbackLevel(1.0, none), 5);
    EXPECT_EQ(FallbackLevel(0.0, res), 5);
}

TEST(TileRequestRecord, ThePathIsCutOnACharacterBoundaryAndReadBackWithinItsField)
{
    TileRequest r;
    memset(&r, 0xAB, sizeof r);
    // 86 characters of three UTF-8 bytes: 258 bytes do not fit 259.
    CString path = L"C:\\";
    while (path.GetLength() < 89) path += L"图";
    SetTileRequestPath(r, path);
    const size_t n = strnlen(r.path, sizeof r.path);
    EXPECT_EQ(n, 258u);  // 3 + 85 x 3: the 86th character did not fit
    EXPECT_EQ((uint8_t)r.path[n - 1], 0xBE);  // the last byte of 图
    for (size_t i = n; i < sizeof r.path; ++i) EXPECT_EQ(r.path[i], 0) << i;
    EXPECT_EQ(r.id, StringToId64(path));

    // A reply whose field has no terminator is read to the field's end only,
    // the byte behind it untouched.
    memset(r.path, 'a', sizeof r.path);
    r.reserved284[0] = 'b';
    EXPECT_EQ(TileReplyPath(r).GetLength(), 259);
    // The ready mark at 280 lies beyond the terminator of a short path.
    SetTileRequestPath(r, L"C:\\t\\1_2.png");
    r.path[kTileReadyByte] = 1;
    EXPECT_EQ(TileReplyPath(r), L"C:\\t\\1_2.png");
}

}  // namespace
