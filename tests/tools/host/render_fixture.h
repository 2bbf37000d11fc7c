// A drawing to picture and the picture read back: where world points land,
// and what the ink in a part of the picture looks like (how much of it,
// how many separate marks, how many enclosed holes).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "drawing_render.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "image/pximage.h"
#include "oddbsymboltable.h"
#include "test_support.h"

namespace rendertest {

inline bool Is(PxRgbQuad c, int r, int g, int b) { return c.red == r && c.green == g && c.blue == b; }
// Ink: anything clearly darker or more coloured than the white ground.
inline bool IsInk(PxRgbQuad c) { return std::min({c.red, c.green, c.blue}) < 150; }
// Reddish: the colour index 1 drawn, or mostly drawn, in a pixel.
inline bool IsRed(PxRgbQuad c) { return c.red > 200 && c.green < 150 && c.blue < 150; }

// A rectangle of pixels, x from the left and y from the bottom, ends
// included.
struct Pixels {
    long x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    long width() const { return x1 - x0 + 1; }
    long height() const { return y1 - y0 + 1; }
    bool empty() const { return x1 < x0 || y1 < y0; }
};

class RenderTest : public testing::Test {
protected:
    void SetUp() override
    {
        db = standin::CreateDocument(L"C:\\dwg\\r.dwg")->database();
        CreateDirectoryW(L"C:\\out", nullptr);
    }
    void TearDown() override { velkhost::SetRenderFontFile(""); }

    OdDbObjectId Add(OdDbEntity* e, OdDbObjectId block = OdDbObjectId())
    {
        return velktest::AppendEntity(db, e, block);
    }

    OdDbObjectId AddLinetype(const wchar_t* name, const OdGeDoubleArray& dashes)
    {
        auto* lt = new OdDbLinetypeTableRecord();
        lt->setName(name);
        lt->setDashes(dashes);
        OdDbLinetypeTable* table = nullptr;
        EXPECT_EQ(db->getLinetypeTable(table, OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(table->add(id, lt), eOk);
        lt->close();
        table->close();
        return id;
    }

    OdDbObjectId AddLayer(const wchar_t* name, OdDbObjectId linetype = OdDbObjectId())
    {
        auto* layer = new OdDbLayerTableRecord();
        layer->setName(name);
        if (linetype.isValid()) layer->setLinetypeObjectId(linetype);
        OdDbLayerTable* table = nullptr;
        EXPECT_EQ(db->getLayerTable(table, OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(table->add(id, layer), eOk);
        layer->close();
        table->close();
        return id;
    }

    OdDbObjectId AddBlock(const wchar_t* name)
    {
        auto* block = new OdDbBlockTableRecord();
        block->setName(name);
        OdDbBlockTable* bt = nullptr;
        EXPECT_EQ(db->getBlockTable(bt, OdDb::kForWrite), eOk);
        OdDbObjectId id;
        bt->add(id, block);
        bt->close();
        block->close();
        return id;
    }

    void RenderTo(PxImage& png, int size = 400, const velkhost::RenderWindow& window = velkhost::RenderWindow())
    {
        std::string error;
        ASSERT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", size, stats, error, window)) << error;
        ASSERT_TRUE(png.Load(L"C:\\out\\r.png", PXIMAGE_FORMAT_PNG));
        EXPECT_EQ((int)png.GetWidth(), stats.width);
        EXPECT_EQ((int)png.GetHeight(), stats.height);
    }

    long Px(double wx) const { return (long)((wx - stats.originX) * stats.pixelsPerUnit); }
    long Py(double wy) const { return (long)((wy - stats.originY) * stats.pixelsPerUnit); }
    // The pixels under a box of world coordinates.
    Pixels Under(double x0, double y0, double x1, double y1) const { return {Px(x0), Py(y0), Px(x1), Py(y1)}; }

    // The colour of the rendered pixel under a world point.
    PxRgbQuad At(const PxImage& png, double wx, double wy) const { return png.GetPixelColor(Px(wx), Py(wy), false); }

    // Whether the pixel under a world point or one next to it passes.
    bool Near(const PxImage& png, double wx, double wy, const std::function<bool(PxRgbQuad)>& test) const
    {
        for (long dy = -1; dy <= 1; ++dy)
            for (long dx = -1; dx <= 1; ++dx)
                if (test(png.GetPixelColor(Px(wx) + dx, Py(wy) + dy, false))) return true;
        return false;
    }

    // The smallest rectangle holding the ink inside `in`; empty when none.
    static Pixels InkBox(const PxImage& png, const Pixels& in)
    {
        Pixels box{in.x1 + 1, in.y1 + 1, in.x0 - 1, in.y0 - 1};
        for (long y = in.y0; y <= in.y1; ++y)
            for (long x = in.x0; x <= in.x1; ++x)
                if (IsInk(png.GetPixelColor(x, y, false)))
                    box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x), box.y0 = std::min(box.y0, y),
                    box.y1 = std::max(box.y1, y);
        return box;
    }

    // The share of ink pixels in the rectangle.
    static double Coverage(const PxImage& png, const Pixels& in)
    {
        long ink = 0;
        for (long y = in.y0; y <= in.y1; ++y)
            for (long x = in.x0; x <= in.x1; ++x) ink += IsInk(png.GetPixelColor(x, y, false));
        return in.empty() ? 0 : (double)ink / (in.width() * in.height());
    }

    // Separate marks (4-connected ink) and holes (ground enclosed by ink,
    // touching no edge of the rectangle grown by a pixel) in the rectangle.
    static void Shapes(const PxImage& png, const Pixels& in, int& marks, int& holes)
    {
        marks = holes = 0;
        const long x0 = in.x0 - 1, y0 = in.y0 - 1, w = in.width() + 2, h = in.height() + 2;
        std::vector<int8_t> ink((size_t)(w * h)), seen((size_t)(w * h));
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) {
                bool inside = x > 0 && y > 0 && x < w - 1 && y < h - 1;
                ink[(size_t)(y * w + x)] = inside && IsInk(png.GetPixelColor(x0 + x, y0 + y, false));
            }
        for (long start = 0; start < w * h; ++start) {
            if (seen[(size_t)start]) continue;
            const int8_t kind = ink[(size_t)start];
            bool edge = false;
            std::vector<long> stack{start};
            seen[(size_t)start] = 1;
            while (!stack.empty()) {
                long p = stack.back();
                stack.pop_back();
                long x = p % w, y = p / w;
                edge = edge || x == 0 || y == 0 || x == w - 1 || y == h - 1;
                const long next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto& n : next) {
                    if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
                    long q = n[1] * w + n[0];
                    if (!seen[(size_t)q] && ink[(size_t)q] == kind) seen[(size_t)q] = 1, stack.push_back(q);
                }
            }
            if (kind) ++marks;
            else if (!edge) ++holes;
        }
    }

    // Runs of ink and ground along a row of pixels from x0 to x1: their
    // lengths, the first one starting at x0.
    static std::vector<long> Runs(const PxImage& png, long y, long x0, long x1)
    {
        std::vector<long> runs;
        bool last = false;
        for (long x = x0; x <= x1; ++x) {
            bool ink = false;
            for (long dy = -1; dy <= 1; ++dy) ink = ink || IsInk(png.GetPixelColor(x, y + dy, false));
            if (runs.empty() || ink != last) runs.push_back(0);
            ++runs.back();
            last = ink;
        }
        return runs;
    }

    OdDbDatabase* db = nullptr;
    velkhost::RenderStats stats;
};

}  // namespace rendertest
