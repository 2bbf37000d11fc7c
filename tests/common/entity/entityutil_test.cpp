#include <cmath>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/entity/entityutil.h"
#include "drawing_fixture.h"
#include "oddbcurves.h"

namespace {
using EntityUtilTest = DrawingTest;

OdDbObjectId PostPoint(const OdGePoint3d& p)
{
    EntityProps props;
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(p), props);
}
}  // namespace

TEST_F(EntityUtilTest, PropertySettersAndTheLayerGetter)
{
    OdDbObjectId id = PostPoint(OdGePoint3d());
    EntityProps props;
    props.layer = L"Signs";
    CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(), props);  // creates "Signs"
    CEntityUtil::SetColor(id, 5);
    CEntityUtil::SetLayer(id, L"Signs");
    CEntityUtil::SetLinetype(id, L"Continuous");
    CEntityUtil::SetLayer(id, L"NoSuchLayer");  // ignored
    OdDbPoint* pt = OpenRead<OdDbPoint>(id);
    EXPECT_EQ(pt->colorIndex(), 5);
    EXPECT_EQ(pt->layer(), L"Signs");
    EXPECT_EQ(pt->linetype(), L"Continuous");
    OdDbObjectId layer = pt->layerId();
    // Read while another reader holds it: the getter opens for read.
    EXPECT_EQ(CEntityUtil::GetLayer(id), layer);
    pt->close();
    EXPECT_TRUE(CEntityUtil::GetLayer(OdDbObjectId()).isNull());
}

TEST_F(EntityUtilTest, HandlesFindEntitiesAndEraseByHandle)
{
    OdDbObjectId id = PostPoint(OdGePoint3d());
    EXPECT_EQ(CEntityUtil::HandleToObjectId(id.getHandle()), id);
    EXPECT_TRUE(CEntityUtil::HandleToObjectId(OdDbHandle(0x7FFFFF)).isNull());
    CEntityUtil::EraseByHandle(OdDbHandle(0x7FFFFF));  // unknown: nothing happens
    EXPECT_FALSE(id.isErased());
    CEntityUtil::EraseByHandle(id.getHandle());
    EXPECT_TRUE(id.isErased());
    CEntityUtil::Erase(id);  // already erased: cannot be opened
    EXPECT_TRUE(id.isErased());

    standin::CloseDocument(gcDocManagerPtr()->curDocument());
    EXPECT_TRUE(CEntityUtil::HandleToObjectId(OdDbHandle(1)).isNull());
}

TEST_F(EntityUtilTest, RotateMoveAndScaleTransformTheEntity)
{
    OdDbObjectId id = PostPoint(OdGePoint3d(2, 0, 5));
    EXPECT_EQ(CEntityUtil::Rotate(id, OdGePoint2d(1, 0), M_PI / 2), eOk);
    OdDbPoint* pt = OpenRead<OdDbPoint>(id);
    ExpectNear(pt->position(), 1, 1, 5);
    pt->close();
    EXPECT_EQ(CEntityUtil::Move(id, OdGePoint3d(1, 1, 1), OdGePoint3d(2, 3, 4)), eOk);
    EXPECT_EQ(CEntityUtil::Scale(id, OdGePoint3d(0, 0, 0), 2), eOk);
    pt = OpenRead<OdDbPoint>(id);
    ExpectNear(pt->position(), 4, 6, 16);
    pt->close();
    EXPECT_TRUE(standin::MessageBoxes().empty());
}

TEST_F(EntityUtilTest, TransformationsReportFailedOpens)
{
    OdDbObjectId id = PostPoint(OdGePoint3d());
    OdDbPoint* holder = OpenRead<OdDbPoint>(id);
    EXPECT_EQ(CEntityUtil::Rotate(id, OdGePoint2d(), 1.0), eWasOpenForRead);
    EXPECT_EQ(CEntityUtil::Move(id, OdGePoint3d(), OdGePoint3d(1, 0, 0)), eWasOpenForRead);
    EXPECT_EQ(CEntityUtil::Scale(id, OdGePoint3d(), 3), eWasOpenForRead);
    holder->close();
    ASSERT_EQ(standin::MessageBoxes().size(), 2u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"CEntityUtil::Rotate ErrorCode:82");
    EXPECT_EQ(standin::MessageBoxes()[1].text, L"CEntityUtil::Scale ErrorCode:82");

    // A refusal of the transformation itself comes back as its status.
    EntityProps props;
    OdDbObjectId circle = CDwgDatabaseUtil::PostToModelSpace(new OdDbCircle(OdGePoint3d(), OdGeVector3d::kZAxis, 1), props);
    standin::FailHostCall("transformBy", eInvalidInput);
    EXPECT_EQ(CEntityUtil::Move(circle, OdGePoint3d(), OdGePoint3d(1, 0, 0)), eInvalidInput);
}
