// The online base map: placing tiles in a drawing, and choosing the level
// and the tiles of a 4K view.
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "basemap/basemap.h"
#include "bench_rows.h"
#include "common/symboltable/layerutil.h"
#include "common/symboltable/viewutil.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbdatabase.h"
#include "standin_control.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/drawingdata.h"
#include "state/settings.h"
#include "state/tilegrid.h"

namespace velkbench {
namespace {

const int kTileColumns = 40;
const double kTile = 32.0;

// A stand-in machine with one drawing and the files of its tiles, made once
// for the process.
struct TileDrawing {
    std::string root;
    GcApDocument* doc = nullptr;
    CDrawingData* drawing = nullptr;
    std::vector<MapImageRecord> tiles;

    explicit TileDrawing(int count)
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return;
        root = tmpl;
        standin::ResetMachine(root);
        std::filesystem::create_directories(root + "/C/cache");
        doc = standin::CreateDocument(L"C:\\dwg\\bench.dwg");
        drawing = new CDrawingData();
        BaseMapState& s = drawing->baseMap;
        CLayerUtil::Add(L"MapLayer", 1);
        s.mapLayer = CLayerUtil::GetLayerId(L"MapLayer", false);
        s.grid.cacheFolder = L"C:\\cache";
        s.grid.viewLevel = 16;
        const int rows = (count + kTileColumns - 1) / kTileColumns;
        s.doubledView = ViewExtents{-1, -1, kTileColumns * kTile + 1, rows * kTile + 1, 1920, 1080};
        for (int i = 0; i < count; ++i) {
            MapImageRecord image;
            const int column = i % kTileColumns, row = i / kTileColumns;
            CString name;
            name.Format(L"C:\\cache\\%d_%d.png", column, row);
            std::FILE* f = std::fopen(standin::NativePath(name.GetString()).c_str(), "wb");
            if (f) {
                std::fputs("tile", f);
                std::fclose(f);
            }
            image.imagePath = name;
            image.id = StringToId64(name);
            image.minX = column * kTile;
            image.minY = row * kTile;
            image.maxX = image.minX + kTile;
            image.maxY = image.minY + kTile;
            image.level = 16;
            tiles.push_back(image);
        }
    }
    ~TileDrawing()
    {
        delete drawing;
        if (doc) standin::CloseDocument(doc);
        std::error_code ec;
        if (!root.empty()) std::filesystem::remove_all(root, ec);
    }
    TileDrawing(const TileDrawing&) = delete;
    TileDrawing& operator=(const TileDrawing&) = delete;
};

// Places the tiles as timer 1009 does, then erases them again; the
// reference inserts and erases the same images without the base map's
// bookkeeping (replacement, placed-tile tables, the draw-order list).
Pair PlacingRow(const Scale& scale)
{
    Pair pair;
    auto t = std::make_shared<TileDrawing>(scale.Pick(1000, 20));
    if (!t->drawing) {
        pair.error = "no machine folder";
        return pair;
    }
    auto placed = std::make_shared<size_t>(0);
    auto inserted = std::make_shared<size_t>(0);
    pair.module = [t, placed]() {
        BaseMapState& s = t->drawing->baseMap;
        for (const MapImageRecord& image : t->tiles) InsertTileImage(&s, image);
        InsertQueuedTiles(&s, true);
        *placed = s.placedTiles.size();
        ClearBaseMapTiles(&s);
    };
    pair.reference = [t, inserted]() {
        DocumentWriteLock lock;
        OdDbObjectIdArray images;
        for (const MapImageRecord& image : t->tiles) {
            OdDbObjectId id;
            if (CViewUtil::InsertIMGFile(id, t->drawing->baseMap.mapLayer, image.imagePath, IdText(image.id),
                                         OdGePoint2d(image.minX, image.minY), OdGePoint2d(image.maxX, image.maxY),
                                         false) == 0)
                images.append(id);
        }
        CViewUtil::MoveImgToBottom(images, nullptr);
        CViewUtil::RefreshDisplay();
        *inserted = images.size();
        for (size_t i = 0; i < (size_t)images.size(); ++i)
            CViewUtil::EraseRasterImage(images[i], IdText(t->tiles[i].id), nullptr);
    };
    pair.check = [t, placed, inserted]() -> std::string {
        if (*placed != t->tiles.size()) return "placed " + std::to_string(*placed) + " tiles";
        if (*inserted != t->tiles.size()) return "inserted " + std::to_string(*inserted) + " images";
        return std::string();
    };
    return pair;
}

// A 3840 x 2160 view at level 16 (1/16 unit a pixel) with 1024-pixel
// tiles, somewhere east of the origin.
struct RingInput {
    double xRes[29] = {};
    double viewMinX = 0, viewMinY = 0, viewMaxX = 0, viewMaxY = 0;
    int screenWidth = 3840;
    double originX = 500000, originY = 3000000;
    int repeats = 0;
    std::vector<std::pair<int32_t, int32_t>> moduleTiles, referenceTiles;
    int moduleLevel = 0, referenceLevel = 0;
    int32_t moduleColumn = 0, moduleRow = 0, referenceColumn = 0, referenceRow = 0;
};

Pair RingRow(const Scale& scale)
{
    Pair pair;
    auto in = std::make_shared<RingInput>();
    for (int level = 1; level <= 28; ++level) in->xRes[level] = 4096.0 / (1 << level);
    const double cx = 500000 + 1000.3, cy = 3000000 + 777.7;
    in->viewMinX = cx - 120, in->viewMaxX = cx + 120;
    in->viewMinY = cy - 67.5, in->viewMaxY = cy + 67.5;
    in->repeats = scale.Pick(100000, 10);
    pair.module = [in]() {
        for (int k = 0; k < in->repeats; ++k) {
            const double d = (in->viewMaxX - in->viewMinX) / in->screenWidth;
            double ratio = 0;
            int level = MatchingLevel(d, in->xRes, &ratio);
            if (level == 0) level = FallbackLevel(d, in->xRes);
            const double tile = 1024 * in->xRes[level];
            double ox = 0, oy = 0;
            TileIndexAndOffset((in->viewMinX + in->viewMaxX) / 2, in->originX, tile, in->moduleColumn, ox);
            TileIndexAndOffset((in->viewMinY + in->viewMaxY) / 2, in->originY, tile, in->moduleRow, oy);
            in->moduleTiles.clear();
            WalkTileRing(TileHalfCount(in->viewMaxX - in->viewMinX, tile),
                         TileHalfCount(in->viewMaxY - in->viewMinY, tile),
                         [&](int32_t dx, int32_t dy) { in->moduleTiles.emplace_back(dx, dy); });
            in->moduleLevel = level;
        }
    };
    // The level from the logarithm of the scale, the tile by rounding, the
    // tiles row by row.
    pair.reference = [in]() {
        for (int k = 0; k < in->repeats; ++k) {
            const double d = (in->viewMaxX - in->viewMinX) / in->screenWidth;
            const int level = (int)std::lround(std::log2(4096.0 / d));
            const double tile = 1024 * 4096.0 / std::ldexp(1.0, level);
            in->referenceColumn = (int32_t)std::lround(((in->viewMinX + in->viewMaxX) / 2 - in->originX) / tile);
            in->referenceRow = (int32_t)std::lround(((in->viewMinY + in->viewMaxY) / 2 - in->originY) / tile);
            const int nx = (int)(std::floor(std::trunc(in->viewMaxX - in->viewMinX) / 2) / tile + 2);
            const int ny = (int)(std::floor(std::trunc(in->viewMaxY - in->viewMinY) / 2) / tile + 2);
            in->referenceTiles.clear();
            for (int dy = -ny; dy <= ny; ++dy)
                for (int dx = -nx; dx <= nx; ++dx) in->referenceTiles.emplace_back(dx, dy);
            in->referenceLevel = level;
        }
    };
    pair.check = [in]() -> std::string {
        if (in->moduleLevel != in->referenceLevel) return "levels differ";
        if (in->moduleColumn != in->referenceColumn || in->moduleRow != in->referenceRow)
            return "centre tiles differ";
        std::set<std::pair<int32_t, int32_t>> a(in->moduleTiles.begin(), in->moduleTiles.end());
        std::set<std::pair<int32_t, int32_t>> b(in->referenceTiles.begin(), in->referenceTiles.end());
        if (a != b || a.size() != in->moduleTiles.size()) return "tile sets differ";
        return std::string();
    };
    return pair;
}

VELK_BENCH_ROWS({
    {"basemap", "placing and clearing 1,000 tiles", "same images inserted, erased directly", 0, 9, PlacingRow},
    {"basemap", "4K view: level, tiles x 100,000", "log2, rounding, row-by-row loop", 0, 15, RingRow},
});

}  // namespace
}  // namespace velkbench
