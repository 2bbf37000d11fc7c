// A linked text following its icon, and icon images placed and recognised
// at the standard offset.
#include <gtest/gtest.h>

#include "common/entity/entityutil.h"
#include "exchange/entitylink.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "plugin_state.h"
#include "standin_control.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"
#include "state/settings.h"

namespace {

class LinkedEntityTest : public testing::Test {
protected:
    void SetUp() override
    {
        velktest::ResetPluginState();
        g_settings.textLevelMetres = 60;
        doc_ = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        g_ptagDocIdManager = GetDrawingData(drawingRecords, L"C:\\dwg\\site.dwg", doc_);
    }
    int64_t Append(OdDbEntity* e)
    {
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, doc_->database()->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, e), eOk);
        e->close();
        ms->close();
        return (int64_t)(uint64_t)id.getHandle();
    }
    int64_t Image(const OdGePoint3d& origin, double side)
    {
        auto* image = new OdDbRasterImage();
        image->setOrientation(origin, OdGeVector3d(side, 0, 0), OdGeVector3d(0, side, 0));
        return Append(image);
    }
    void TearDown() override
    {
        velktest::ResetPluginState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    GcApDocument* doc_ = nullptr;
};

TEST_F(LinkedEntityTest, ALinkedTextFollowsItsIconByItsAlignment)
{
    struct Case {
        OdDb::TextHorzMode h;
        OdDb::TextVertMode v;
        double dx, dy;
    };
    const Case cases[] = {{OdDb::kTextLeft, OdDb::kTextTop, 30, 30},     {OdDb::kTextRight, OdDb::kTextTop, -30, 30},
                          {OdDb::kTextLeft, OdDb::kTextBottom, 30, 30},  {OdDb::kTextRight, OdDb::kTextBottom, -30, 30},
                          {OdDb::kTextCenter, OdDb::kTextBottom, 0, 60}, {OdDb::kTextCenter, OdDb::kTextTop, 0, 0},
                          {OdDb::kTextMid, OdDb::kTextBase, 30, 30}};
    for (const Case& c : cases) {
        auto* text = new OdDbText();
        text->setTextString(L"A");
        text->setHorizontalMode(c.h);
        text->setVerticalMode(c.v);
        int64_t handle = Append(text);
        ASSERT_TRUE(UpdateLinkedTextEntity(handle, OdGePoint3d(100, 200, 0)));
        OdDbText* back = nullptr;
        ASSERT_EQ(oddbOpenObject(back, CEntityUtil::HandleToObjectId(OdDbHandle((uint64_t)handle)), OdDb::kForRead), eOk);
        EXPECT_TRUE(back->alignmentPoint().isEqualTo(OdGePoint3d(100 + c.dx, 200 + c.dy, 0))) << c.h << "," << c.v;
        MapObjInfo* link = GetEntityLink(back, true, false);
        EXPECT_TRUE(link->labelPos.isEqualTo(OdGePoint3d(100, 200, 0)));
        EXPECT_EQ(link->saved, 1);
        back->close();
    }
    EXPECT_FALSE(UpdateLinkedTextEntity(0x7FFFFF, OdGePoint3d()));
}

TEST_F(LinkedEntityTest, IconImagesArePlacedAndRecognisedAtTheStandardOffset)
{
    int64_t image = Image(OdGePoint3d(0, 0, 0), 10);
    ASSERT_TRUE(UpdateLinkedImageEntity(image, OdGePoint3d(100, 200, 0)));
    // Lower-edge middle at (100, 200): L/2 right of and L above (70, 140).
    EXPECT_TRUE(IsRasterIconSized(image, OdGePoint3d(70, 140, 0)));
    EXPECT_TRUE(GetImageEntityExtents(image, OdGePoint3d(40, 140, 0)));   // ratio 2 in x
    EXPECT_FALSE(IsRasterIconSized(image, OdGePoint3d(100, 140, 0)));     // no x offset
    EXPECT_FALSE(IsRasterIconSized(image, OdGePoint3d(75, 140, 0)));
    auto* text = new OdDbText();
    int64_t notImage = Append(text);
    EXPECT_FALSE(UpdateLinkedImageEntity(notImage, OdGePoint3d()));
    EXPECT_FALSE(IsRasterIconSized(notImage, OdGePoint3d()));
    EXPECT_FALSE(IsRasterIconSized(0x7FFFFF, OdGePoint3d()));
}

}  // namespace
