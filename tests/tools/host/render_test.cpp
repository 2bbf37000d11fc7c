// The stand-in host's picture of model space: things land where the
// drawing puts them, up is up, images keep their orientation, what is
// hidden stays hidden; and its save, which takes the images along.
#include <gtest/gtest.h>

#include <filesystem>

#include "drawing_files.h"
#include "drawing_render.h"
#include "gcapdocmanager.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "render_fixture.h"
#include "standin_control.h"

namespace {

using rendertest::Is;

class Render : public rendertest::RenderTest {
protected:
    OdDbHatch* Square(double x, double y, double side, int color)
    {
        auto* h = new OdDbHatch();
        h->appendLoop(OdDbHatch::kExternal, OdGePoint2dArray{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}},
                      OdGeDoubleArray{0, 0, 0, 0});
        h->setColorIndex((uint16_t)color);
        return h;
    }

    // The image at that file placed with its lower-left corner at the
    // origin.
    void AddImage(const wchar_t* file, const OdGePoint3d& origin, const OdGeVector3d& u, const OdGeVector3d& v)
    {
        OdDbObjectId dictId;
        ASSERT_EQ(OdDbRasterImageDef::createImageDictionary(db, dictId), eOk);
        OdDbDictionary* dict = nullptr;
        ASSERT_EQ(oddbOpenObject(dict, dictId, OdDb::kForWrite), eOk);
        auto* def = new OdDbRasterImageDef();
        def->setSourceFileName(file);
        OdDbObjectId defId;
        ASSERT_EQ(dict->setAt(file, def, defId), eOk);
        def->close();
        dict->close();
        auto* img = new OdDbRasterImage();
        img->setImageDefId(defId);
        img->setOrientation(origin, u, v);
        Add(img);
    }
};

// Dark enough to be a black line drawn antialiased across pixels.
bool Dark(PxRgbQuad c) { return c.red < 160 && c.green < 160 && c.blue < 160; }
bool Grey(PxRgbQuad c) { return c.red == c.green && c.green == c.blue && c.red > 100 && c.red < 220; }

}  // namespace

TEST_F(Render, FillsLinesAndImagesLandWhereTheDrawingPutsThem)
{
    CreateDirectoryW(L"C:\\Maps", nullptr);
    CreateDirectoryW(L"C:\\out", nullptr);
    // A 2 x 2 image: blue and green in its bottom row, yellow and magenta
    // in its top row (rows counted from the bottom).
    PxImage quad(2, 2, 24, PXIMAGE_FORMAT_PNG);
    quad.SetPixelColor(0, 0, PxRgbQuad{255, 0, 0, 0});
    quad.SetPixelColor(1, 0, PxRgbQuad{0, 255, 0, 0});
    quad.SetPixelColor(0, 1, PxRgbQuad{0, 255, 255, 0});
    quad.SetPixelColor(1, 1, PxRgbQuad{255, 0, 255, 0});
    ASSERT_TRUE(quad.Save(L"C:\\Maps\\quad.png", PXIMAGE_FORMAT_PNG));

    Add(Square(0, 0, 10, 1));
    AddImage(L"C:\\Maps\\quad.png", OdGePoint3d(20, 0, 0), OdGeVector3d(20, 0, 0), OdGeVector3d(0, 10, 0));
    Add(new OdDbLine(OdGePoint3d(0, 20, 0), OdGePoint3d(40, 20, 0)));
    PxImage png;
    RenderTo(png);
    EXPECT_GT(stats.width, stats.height);  // the drawing is twice as wide as high
    EXPECT_EQ(stats.images, 1);
    EXPECT_TRUE(Is(At(png, 5, 5), 255, 0, 0));       // inside the red hatch
    EXPECT_TRUE(Is(At(png, 15, 5), 255, 255, 255));  // between things: background
    EXPECT_TRUE(Is(At(png, 25, 2.5), 0, 0, 255));    // the image's lower left
    EXPECT_TRUE(Is(At(png, 35, 2.5), 0, 255, 0));
    EXPECT_TRUE(Is(At(png, 25, 7.5), 255, 255, 0));  // its upper left
    EXPECT_TRUE(Is(At(png, 35, 7.5), 255, 0, 255));
    EXPECT_TRUE(Near(png, 30, 20, Dark));             // the line, colour 7 drawn black
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(Render, HiddenLayersBlocksAndMissingImages)
{
    CreateDirectoryW(L"C:\\out", nullptr);
    auto* off = new OdDbLayerTableRecord();
    off->setName(L"Off");
    off->setIsOff(true);
    OdDbLayerTable* lt = nullptr;
    db->getLayerTable(lt, OdDb::kForWrite);
    lt->add(off);
    off->close();
    lt->close();
    OdDbHatch* cover = Square(-100, -100, 300, 3);
    cover->setLayer(L"Off");
    Add(cover);
    // A block of a blue square, referenced at (50, 0) twice as large.
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"Sq");
    OdDbBlockTable* bt = nullptr;
    db->getBlockTable(bt, OdDb::kForWrite);
    OdDbObjectId blockId;
    bt->add(blockId, block);
    bt->close();
    OdDbObjectId id;
    OdDbHatch* inner = Square(0, 0, 5, 5);
    block->appendOdDbEntity(id, inner);
    inner->close();
    block->close();
    auto* ref = new OdDbBlockReference(OdGePoint3d(50, 0, 0), blockId);
    ref->setScaleFactors(OdGeScale3d(2, 2, 2));
    Add(ref);
    AddImage(L"C:\\Maps\\none.png", OdGePoint3d(0, 0, 0), OdGeVector3d(20, 0, 0), OdGeVector3d(0, 10, 0));
    PxImage png;
    RenderTo(png);
    EXPECT_EQ(stats.missingImages, 1);
    EXPECT_TRUE(Is(At(png, 55, 5), 0, 0, 255));      // the block's square, scaled and moved
    EXPECT_TRUE(Is(At(png, 45, 5), 255, 255, 255));  // not the hidden cover
    EXPECT_TRUE(Near(png, 10, 5, Grey));              // the missing image's cross
}

// A reference of z scale 0, as 2-D writers flatten one, is pictured by
// its x and y scales: mirrored, or at half size, as its block's square
// shows.
TEST_F(Render, FlattenedReferencesArePicturedByTheirXAndYScales)
{
    OdDbObjectId block = AddBlock(L"Sq");
    Add(Square(0, 0, 4, 5), block);
    for (const auto& [x, scale] : {std::pair<double, OdGeScale3d>{20, OdGeScale3d(-1, 1, 0)},
                                   std::pair<double, OdGeScale3d>{40, OdGeScale3d(0.5, 0.5, 0)}}) {
        auto* ref = new OdDbBlockReference(OdGePoint3d(x, 0, 0), block);
        EXPECT_EQ(ref->setScaleFactors(scale), eOk);
        Add(ref);
    }
    Add(Square(0, 10, 1, 1));  // the picture's corners
    Add(Square(50, -1, 1, 1));
    PxImage png;
    RenderTo(png);
    EXPECT_TRUE(Is(At(png, 18, 2), 0, 0, 255));       // mirrored: to the left of its place
    EXPECT_TRUE(Is(At(png, 22, 2), 255, 255, 255));
    EXPECT_TRUE(Is(At(png, 41, 1), 0, 0, 255));       // half the size
    EXPECT_TRUE(Is(At(png, 43, 3), 255, 255, 255));
}

// A block reference on a layer that is off still shows the parts of its
// block on other layers; its parts on layer "0" are hidden with it. On a
// frozen layer nothing of it shows.
TEST_F(Render, BlocksOnLayersOffShowTheirOtherLayers)
{
    for (const wchar_t* name : {L"Off", L"Frozen", L"Parts"}) {
        OdDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(oddbOpenObject(layer, AddLayer(name), OdDb::kForWrite), eOk);
        layer->setIsOff(name == std::wstring(L"Off"));
        layer->setIsFrozen(name == std::wstring(L"Frozen"));
        layer->close();
    }
    OdDbObjectId block = AddBlock(L"Two");
    OdDbHatch* onParts = Square(0, 0, 5, 3);
    onParts->setLayer(L"Parts");
    Add(onParts, block);
    Add(Square(10, 0, 5, 1), block);  // on layer "0"
    auto* offRef = new OdDbBlockReference(OdGePoint3d(0, 0, 0), block);
    offRef->setLayer(L"Off");
    Add(offRef);
    auto* frozenRef = new OdDbBlockReference(OdGePoint3d(0, 20, 0), block);
    frozenRef->setLayer(L"Frozen");
    Add(frozenRef);
    Add(Square(0, 40, 1, 5));  // something on a layer that is on
    PxImage png;
    RenderTo(png);
    EXPECT_TRUE(Is(At(png, 2.5, 2.5), 0, 255, 0));
    EXPECT_TRUE(Is(At(png, 12.5, 2.5), 255, 255, 255));
    EXPECT_TRUE(Is(At(png, 2.5, 22.5), 255, 255, 255));
    EXPECT_TRUE(Is(At(png, 12.5, 22.5), 255, 255, 255));
}

TEST_F(Render, NothingToDrawOrNowhereToWriteFails)
{
    velkhost::RenderStats s;
    std::string error;
    EXPECT_FALSE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 400, s, error));
    EXPECT_EQ(error, "model space has nothing to draw");
    Add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0)));
    EXPECT_FALSE(velkhost::RenderModelSpace(db, L"C:\\missing\\r.png", 400, s, error));
    EXPECT_EQ(error, "the picture cannot be written to " + standin::NativePath(L"C:\\missing\\r.png") +
                         ": No such file or directory");
}

// An image far finer than the picture, as when the picture must hold
// entities far apart: averaged down before it is drawn, it keeps its
// colours where they are, and a picture thousands of times coarser than
// the image is still made.
TEST_F(Render, ImagesFarFinerThanThePictureKeepTheirColours)
{
    CreateDirectoryW(L"C:\\Maps", nullptr);
    // 4096 x 512: red on the left half, blue on the right.
    PxImage halves(4096, 512, 24, PXIMAGE_FORMAT_PNG);
    for (long y = 0; y < 512; ++y)
        for (long x = 0; x < 4096; ++x)
            halves.SetPixelColor(x, y, x < 2048 ? PxRgbQuad{0, 0, 255, 0} : PxRgbQuad{255, 0, 0, 0});
    ASSERT_TRUE(halves.Save(L"C:\\Maps\\halves.png", PXIMAGE_FORMAT_PNG));
    AddImage(L"C:\\Maps\\halves.png", OdGePoint3d(0, 0, 0), OdGeVector3d(64, 0, 0), OdGeVector3d(0, 8, 0));
    PxImage png;
    RenderTo(png, 80);  // a pixel a unit: 64 image pixels a picture pixel
    ASSERT_NEAR(stats.pixelsPerUnit, 1, 1e-9);
    EXPECT_TRUE(Is(At(png, 16, 4), 255, 0, 0));
    EXPECT_TRUE(Is(At(png, 48, 4), 0, 0, 255));
    Add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(3e6, 1e6, 0)));
    std::string error;
    EXPECT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 1200, stats, error)) << error;
    EXPECT_EQ(stats.images, 1);
}

// An image drawn far lower than its pixels keeps its detail across: it is
// averaged down each way only as far as that way is fine.
TEST_F(Render, ImagesSquashedOneWayKeepTheirDetailTheOther)
{
    CreateDirectoryW(L"C:\\Maps", nullptr);
    // 256 x 4096: stripes 16 pixels wide, red and blue in turn.
    PxImage stripes(256, 4096, 24, PXIMAGE_FORMAT_PNG);
    for (long y = 0; y < 4096; ++y)
        for (long x = 0; x < 256; ++x)
            stripes.SetPixelColor(x, y, x / 16 % 2 ? PxRgbQuad{255, 0, 0, 0} : PxRgbQuad{0, 0, 255, 0});
    ASSERT_TRUE(stripes.Save(L"C:\\Maps\\stripes.png", PXIMAGE_FORMAT_PNG));
    AddImage(L"C:\\Maps\\stripes.png", OdGePoint3d(0, 0, 0), OdGeVector3d(256, 0, 0), OdGeVector3d(0, 8, 0));
    PxImage png;
    RenderTo(png, 272);  // a pixel a unit: one image pixel across, 512 down
    ASSERT_NEAR(stats.pixelsPerUnit, 1, 1e-9);
    EXPECT_EQ(stats.images, 1);
    for (int stripe = 0; stripe < 16; ++stripe)
        EXPECT_TRUE(stripe % 2 ? Is(At(png, stripe * 16 + 8, 4), 0, 0, 255) : Is(At(png, stripe * 16 + 8, 4), 255, 0, 0))
            << stripe;
}

TEST_F(Render, RelativeImageNamesAreFoundBesideTheDrawing)
{
    CreateDirectoryW(L"C:\\out", nullptr);
    CreateDirectoryW(L"C:\\dwg", nullptr);
    CreateDirectoryW(L"C:\\dwg\\maps", nullptr);
    PxImage red(2, 2, 24, PXIMAGE_FORMAT_PNG);
    red.Clear(0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) red.SetPixelColor(x, y, PxRgbQuad{0, 0, 255, 0});
    ASSERT_TRUE(red.Save(L"C:\\dwg\\maps\\red.png", PXIMAGE_FORMAT_PNG));
    AddImage(L"maps\\red.png", OdGePoint3d(0, 0, 0), OdGeVector3d(10, 0, 0), OdGeVector3d(0, 10, 0));
    std::string error;
    ASSERT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 100, stats, error, velkhost::RenderWindow(),
                                           L"C:\\dwg\\r.dwg"))
        << error;
    EXPECT_EQ(stats.images, 1);
    EXPECT_EQ(stats.missingImages, 0);
    PxImage png;
    ASSERT_TRUE(png.Load(L"C:\\out\\r.png", PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(Is(At(png, 5, 5), 255, 0, 0));
    // Switched off, the image shows its frame only.
    {
        OdDbBlockTableRecord* ms = nullptr;
        ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
        OdDbObjectId imageId = ms->entityIds().back();
        ms->close();
        OdDbRasterImage* img = nullptr;
        ASSERT_EQ(oddbOpenObject(img, imageId, OdDb::kForWrite), eOk);
        img->setDisplayOpt(OdDbRasterImage::kShow, false);
        img->close();
    }
    ASSERT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 100, stats, error, velkhost::RenderWindow(),
                                           L"C:\\dwg\\r.dwg"))
        << error;
    ASSERT_TRUE(png.Load(L"C:\\out\\r.png", PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(Is(At(png, 5, 5), 255, 255, 255));
    EXPECT_TRUE(Near(png, 5, 0, Grey));
    // Without the drawing's folder the name means nothing.
    ASSERT_TRUE(velkhost::RenderModelSpace(db, L"C:\\out\\r.png", 100, stats, error)) << error;
    EXPECT_EQ(stats.missingImages, 1);
}

// Saving copies the drawing out of the machine with the image files it
// names relative to its folder, so that the copy opens with its images;
// names that climb out of the folder are not followed.
TEST_F(Render, SavingCopiesTheImagesTheDrawingNamesBesideIt)
{
    CreateDirectoryW(velkhost::kDrawingsFolder, nullptr);
    CreateDirectoryW(L"C:\\Drawings\\maps", nullptr);
    PxImage dot(1, 1, 24, PXIMAGE_FORMAT_PNG);
    ASSERT_TRUE(dot.Save(L"C:\\Drawings\\maps\\a.png", PXIMAGE_FORMAT_PNG));
    ASSERT_TRUE(dot.Save(L"C:\\up.png", PXIMAGE_FORMAT_PNG));
    AddImage(L"maps\\a.png", OdGePoint3d(0, 0, 0), OdGeVector3d(10, 0, 0), OdGeVector3d(0, 10, 0));
    AddImage(L"C:\\Drawings\\maps\\a.png", OdGePoint3d(20, 0, 0), OdGeVector3d(10, 0, 0), OdGeVector3d(0, 10, 0));
    AddImage(L"..\\up.png", OdGePoint3d(40, 0, 0), OdGeVector3d(10, 0, 0), OdGeVector3d(0, 10, 0));
    const std::filesystem::path out = std::filesystem::path(standin::MachineRoot()) / "native" / "out" / "result.dxf";
    std::wstring saved;
    std::vector<std::string> images;
    std::string error;
    ASSERT_TRUE(velkhost::SaveDrawing(out.string(), saved, images, error)) << error;
    EXPECT_EQ(saved, L"C:\\Drawings\\result.dxf");
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(images, std::vector<std::string>{"maps/a.png"});
    EXPECT_TRUE(std::filesystem::exists(out.parent_path() / "maps" / "a.png"));
    EXPECT_FALSE(std::filesystem::exists(out.parent_path().parent_path() / "up.png"));
}
