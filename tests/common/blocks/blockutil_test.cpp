#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/entity/blockutil.h"
#include "common/entity/dimensionutil.h"
#include "common/entity/lineutil.h"
#include "common/geometry/mathutil.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

class Blocks : public testing::Test {
protected:
    void SetUp() override { db = standin::CreateDocument(L"C:\\d\\a.dwg")->database(); }

    // A block "B" with a line along x from 0 to 10, a multi-line text and,
    // when asked, the attribute definitions NAME and CODE.
    OdDbObjectId MakeBlock(const wchar_t* name, bool withAttributes)
    {
        OdDbBlockTable* bt = nullptr;
        db->getBlockTable(bt, OdDb::kForWrite);
        auto* block = new OdDbBlockTableRecord();
        block->setName(name);
        OdDbObjectId id;
        EXPECT_EQ(bt->add(id, block), eOk);
        bt->close();
        Append(block, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 0, 0)));
        auto* text = new OdDbMText();
        text->setContents(L"note");
        Append(block, text);
        if (withAttributes) {
            Append(block, new OdDbAttributeDefinition(OdGePoint3d(1, 2, 0), L"default name", L"name", L"Name?"));
            Append(block, new OdDbAttributeDefinition(OdGePoint3d(1, 4, 0), L"C1", L"CODE", L"Code?"));
        }
        block->close();
        return id;
    }

    static void Append(OdDbBlockTableRecord* block, OdDbEntity* ent)
    {
        OdDbObjectId id;
        EXPECT_EQ(block->appendOdDbEntity(id, ent), eOk);
        ent->close();
    }

    OdDbBlockReference* OpenRef(OdDbObjectId id)
    {
        OdDbBlockReference* ref = nullptr;
        EXPECT_EQ(oddbOpenObject(ref, id, OdDb::kForWrite), eOk);
        return ref;
    }

    OdDbDatabase* db = nullptr;
};

}  // namespace

TEST_F(Blocks, AttributesFollowTheDefinitionsAndAreFoundWithoutRegardToCase)
{
    OdDbObjectId block = MakeBlock(L"B", true);
    EXPECT_EQ(CBlockUtil::GetBlockDefId(L"b", db), block);
    EXPECT_TRUE(CBlockUtil::GetBlockDefId(L"none", db).isNull());
    EntityProps props;
    props.layer = L"Marks";
    OdDbObjectId id = CBlockUtil::InsertBlockRefWithAttribute(block, OdGePoint3d(100, 50, 0), props, 2.0, 0.0);
    ASSERT_FALSE(id.isNull());

    OdDbBlockReference* ref = OpenRef(id);
    EXPECT_EQ(ref->scaleFactors().sx, 2.0);
    CString text;
    ASSERT_TRUE(CBlockUtil::GetBlockRefAttribute(ref, L"name", text));
    EXPECT_EQ(text, L"default name");
    OdDbObjectIterator* it = ref->attributeIterator();
    OdDbAttribute* attr = nullptr;
    ASSERT_EQ(oddbOpenObject(attr, it->objectId(), OdDb::kForRead), eOk);
    EXPECT_EQ(attr->position(), OdGePoint3d(102, 54, 0));
    attr->close();
    delete it;

    EXPECT_TRUE(CBlockUtil::SetBlockRefAttribute(ref, L"Code", L"C2"));
    EXPECT_TRUE(CBlockUtil::GetBlockRefAttribute(ref, L"CODE", text));
    EXPECT_EQ(text, L"C2");
    EXPECT_TRUE(CBlockUtil::SetBlockRefAttribute(ref, L"MISSING", L"x"));  // the definition lacks it
    EXPECT_FALSE(CBlockUtil::GetBlockRefAttribute(ref, L"MISSING", text));
    ref->close();
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(Blocks, AttributesAreAddedBeforeTheReferenceIsPostedAndTakeItsProperties)
{
    OdDbObjectId block = MakeBlock(L"B", true);
    EntityProps props;
    props.layer = L"Marks";  // missing: posting creates it
    props.color.setColorIndex(3);
    OdDbObjectId id = CBlockUtil::InsertBlockRefWithAttribute(block, OdGePoint3d(), props, 1.0, 0.0);
    ASSERT_FALSE(id.isNull());
    EXPECT_EQ(standin::OpenObjectCount(), 0);

    OdDbBlockReference* ref = OpenRef(id);
    OdDbObjectIterator* it = ref->attributeIterator();
    ASSERT_NE(it, nullptr);
    OdDbHandle expected = id.getHandle();
    int count = 0;
    for (it->start(); !it->done(); it->step(), ++count) {
        OdDbAttribute* attr = nullptr;
        ASSERT_EQ(oddbOpenObject(attr, it->objectId(), OdDb::kForRead), eOk);
        // They entered the database with the reference, before the layer
        // that posting made.
        EXPECT_EQ(attr->handle(), expected = expected + 1);
        EXPECT_EQ(attr->layer(), L"Marks");
        EXPECT_EQ(attr->colorIndex(), 3);
        attr->close();
    }
    delete it;
    EXPECT_EQ(count, 2);
    EXPECT_GT(ref->layerId().getHandle(), expected);
    ref->close();
    EXPECT_TRUE(standin::HostViolations().empty());
}

TEST_F(Blocks, AReferenceThatCannotBePostedTakesItsAttributesWithIt)
{
    OdDbObjectId block = MakeBlock(L"B", true);
    standin::FailHostCall("append", eLockViolation);
    EXPECT_TRUE(CBlockUtil::InsertBlockRefWithAttribute(block, OdGePoint3d(), EntityProps(), 1.0, 0.0).isNull());
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    EXPECT_TRUE(CDwgDatabaseUtil::GetAllEntityIds(nullptr, db).isEmpty());
    // The sanitizer's leak check covers the attributes that were never added.
}

TEST_F(Blocks, AReferenceWhoseDefinitionCannotBeOpenedIsPostedWithoutAttributes)
{
    OdDbObjectId block = MakeBlock(L"B", true);
    standin::FailHostCall("openRead", eLockViolation);
    OdDbObjectId id = CBlockUtil::InsertBlockRefWithAttribute(block, OdGePoint3d(), EntityProps(), 1.0, 0.0);
    ASSERT_FALSE(id.isNull());
    OdDbBlockReference* ref = OpenRef(id);
    EXPECT_EQ(ref->attributeIterator(), nullptr);
    ref->close();
}

TEST_F(Blocks, SettingAnAttributeTheReferenceLacksAddsItWithTheGivenText)
{
    OdDbObjectId block = MakeBlock(L"B", true);
    OdDbObjectId id = CBlockUtil::InsertBlockRef(block, OdGePoint3d(0, 0, 0), EntityProps(), 1.0, 0.0);
    OdDbBlockReference* ref = OpenRef(id);
    CString text;
    EXPECT_FALSE(CBlockUtil::GetBlockRefAttribute(ref, L"NAME", text));
    EXPECT_TRUE(CBlockUtil::SetBlockRefAttribute(ref, L"name", L"given"));
    EXPECT_TRUE(CBlockUtil::GetBlockRefAttribute(ref, L"NAME", text));
    EXPECT_EQ(text, L"given");
    ref->close();
}

TEST_F(Blocks, SettingFailsWithoutAttributeDefinitionsOrAnOpenableDefinition)
{
    OdDbObjectId plain = MakeBlock(L"Plain", false);
    OdDbBlockReference* ref = OpenRef(CBlockUtil::InsertBlockRef(plain, OdGePoint3d(), EntityProps(), 1.0, 0.0));
    EXPECT_FALSE(CBlockUtil::SetBlockRefAttribute(ref, L"NAME", L"x"));
    ref->close();

    OdDbObjectId block = MakeBlock(L"B", true);
    ref = OpenRef(CBlockUtil::InsertBlockRefWithAttribute(block, OdGePoint3d(), EntityProps(), 1.0, 0.0));
    standin::FailHostCall("open", eWasOpenForWrite);
    EXPECT_FALSE(CBlockUtil::SetBlockRefAttribute(ref, L"NAME", L"x"));
    CString text;
    CBlockUtil::GetBlockRefAttribute(ref, L"NAME", text);
    EXPECT_EQ(text, L"default name");
    ref->close();
}

TEST_F(Blocks, IntersectionsOfThePlacedContents)
{
    OdDbObjectId block = MakeBlock(L"B", false);
    OdDbBlockReference* ref = OpenRef(CBlockUtil::InsertBlockRef(block, OdGePoint3d(5, 5, 0), EntityProps(), 2.0, 0.0));
    OdDbLine crossing(OdGePoint3d(10, 0, 0), OdGePoint3d(10, 10, 0));
    OdGePoint3dArray pts;
    CBlockUtil::IntersectWithBlockRef(ref, &crossing, pts, false, false, false);
    ASSERT_EQ(pts.length(), 1);
    EXPECT_EQ(pts[0], OdGePoint3d(10, 5, 0));

    OdDbLine shortLine(OdGePoint3d(12, 0, 0), OdGePoint3d(12, 1, 0));
    pts.clear();
    CBlockUtil::IntersectWithBlockRef(ref, &shortLine, pts, false, true, false);
    EXPECT_TRUE(pts.isEmpty());
    CBlockUtil::IntersectWithBlockRef(ref, &shortLine, pts, false, true, true);
    ASSERT_EQ(pts.length(), 1);
    EXPECT_EQ(pts[0], OdGePoint3d(12, 5, 0));
    ref->close();
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(Blocks, BinaryDrawingFilesCannotBeReadAndAnExistingDefinitionIsKept)
{
    OdDbObjectId block = MakeBlock(L"B", false);
    EXPECT_EQ(CBlockUtil::InsertDwgBlockDef(L"C:\\missing.dwg", L"B", false, db), block);
    EXPECT_TRUE(standin::MessageBoxes().empty());

    EXPECT_EQ(CBlockUtil::InsertDwgBlockDef(L"C:\\missing.dwg", L"B", true, db), block);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"CBlockUtil::InsertDwgBlockDef函数, 未找到指定的图块文件.");

    velktest::WriteNativeFile(standin::NativePath(L"C:\\d\\part.dwg"), "AC1032");
    EXPECT_TRUE(CBlockUtil::InsertDwgBlockDef(L"C:\\d\\part.dwg", L"New", false, db).isNull());
    ASSERT_EQ(standin::MessageBoxes().size(), 2u);
    EXPECT_EQ(standin::MessageBoxes()[1].text, L"CBlockUtil::InsertDwgBlockDef函数, readDwgFile失败:1.");

    EXPECT_TRUE(CBlockUtil::CopyBlockDefFromDwg(L"C:\\d\\part.dwg", L"B").isNull());
    EXPECT_EQ(standin::CommandLineText(), L"\n读入dwg图形错误, 图形名称: C:\\d\\part.dwg");
}

// The block names, entity kinds and layers of a block definition.
std::vector<std::wstring> Contents(OdDbObjectId blockId)
{
    std::vector<std::wstring> out;
    OdDbBlockTableRecord* block = nullptr;
    EXPECT_EQ(oddbOpenObject(block, blockId, OdDb::kForRead), eOk);
    if (!block) return out;
    out.push_back(block->getName().str());
    for (const auto& id : block->entityIds()) {
        OdDbEntity* e = nullptr;
        EXPECT_EQ(oddbOpenObject(e, id, OdDb::kForRead), eOk);
        out.push_back(e->isA()->name().str() + L" on " + e->layer().str());
        e->close();
    }
    block->close();
    return out;
}

TEST_F(Blocks, DefinitionsAreImportedFromADrawingFile)
{
    // part.dxf: made by data/make_fixtures.py with ezdxf.
    std::string bytes = velktest::ReadNativeFile(VELK_TEST_DATA_DIR "/part.dxf");
    ASSERT_FALSE(bytes.empty());
    velktest::WriteNativeFile(standin::NativePath(L"C:\\lib\\part.dxf"), bytes);

    OdDbObjectId valve = CBlockUtil::CopyBlockDefFromDwg(L"C:\\lib\\part.dxf", L"Valve");
    EXPECT_EQ(Contents(valve), (std::vector<std::wstring>{L"Valve", L"AcDbCircle on Valves", L"AcDbLine on Valves",
                                                          L"AcDbAttributeDefinition on 0"}));
    EXPECT_EQ(valve.database(), db);
    EXPECT_TRUE(CBlockUtil::CopyBlockDefFromDwg(L"C:\\lib\\part.dxf", L"Missing").isNull());
    EXPECT_EQ(standin::CommandLineText(), L"\n给定的DWG文件中, 不存在指定名称的块表记录.");

    // The whole drawing as a block; an existing one only when asked.
    OdDbObjectId part = CBlockUtil::InsertDwgBlockDef(L"C:\\lib\\part.dxf", L"Part", false, db);
    EXPECT_EQ(Contents(part), (std::vector<std::wstring>{L"Part", L"AcDbLine on Pipes", L"AcDbCircle on 0"}));
    EXPECT_EQ(CBlockUtil::InsertDwgBlockDef(L"C:\\lib\\part.dxf", L"Part", false, db), part);
    OdDbObjectId again = CBlockUtil::InsertDwgBlockDef(L"C:\\lib\\part.dxf", L"Part", true, db);
    EXPECT_NE(again, part);
    EXPECT_TRUE(part.isErased());
    EXPECT_EQ(Contents(again).size(), 3u);
    EXPECT_TRUE(standin::MessageBoxes().empty());

    velktest::WriteNativeFile(standin::NativePath(L"C:\\lib\\cut.dxf"), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(CBlockUtil::InsertDwgBlockDef(L"C:\\lib\\cut.dxf", L"Cut", false, db), OdDbObjectId());
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"CBlockUtil::InsertDwgBlockDef函数, readDwgFile失败:3.");
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST_F(Blocks, OrdinatePairAndDiametricByAngle)
{
    OdDbObjectIdArray ids =
        CDimensionUtil::AddDimOrdinateXYByOffset(OdGePoint3d(1, 2, 0), OdGeVector3d(5, 0, 0), OdGeVector3d(0, 5, 0),
                                                 EntityProps());
    ASSERT_EQ(ids.length(), 2);
    OdDbOrdinateDimension* dim = nullptr;
    ASSERT_EQ(oddbOpenObject(dim, ids[0], OdDb::kForRead), eOk);
    EXPECT_TRUE(dim->isUsingXAxis());
    EXPECT_EQ(dim->leaderEndPoint(), OdGePoint3d(6, 2, 0));
    dim->close();
    ASSERT_EQ(oddbOpenObject(dim, ids[1], OdDb::kForRead), eOk);
    EXPECT_FALSE(dim->isUsingXAxis());
    EXPECT_EQ(dim->leaderEndPoint(), OdGePoint3d(1, 7, 0));
    dim->close();

    OdDbObjectId dia = CDimensionUtil::AddDimDiametricByAngle(OdGePoint3d(0, 0, 0), 5, 0, EntityProps(), 2);
    OdDbDiametricDimension* d = nullptr;
    ASSERT_EQ(oddbOpenObject(d, dia, OdDb::kForRead), eOk);
    EXPECT_EQ(d->chordPoint(), OdGePoint3d(5, 0, 0));
    EXPECT_EQ(d->farChordPoint(), OdGePoint3d(-5, 0, 0));
    d->close();
}

TEST_F(Blocks, AlignedTextMovesByTheOffset)
{
    OdDbObjectId id = CDimensionUtil::AddDimAlignedMoveText(OdGePoint3d(0, 0, 0), OdGePoint3d(10, 0, 0),
                                                            OdGePoint3d(3, 4, 0), EntityProps(),
                                                            OdGeVector3d(1, 2, 0), L"<>m");
    OdDbAlignedDimension* dim = nullptr;
    ASSERT_EQ(oddbOpenObject(dim, id, OdDb::kForRead), eOk);
    EXPECT_EQ(dim->textPosition(), OdGePoint3d(6, 6, 0));  // the middle of the dimension line, (5, 4), moved
    EXPECT_EQ(dim->dimensionText().str(), L"<>m");
    EXPECT_EQ(dim->dimtmove(), 1);
    dim->close();

    OdDbObjectId radial = CDimensionUtil::AddDimRadialByAngle(OdGePoint3d(1, 1, 0), 2, CMathUtil::PI() / 2,
                                                              EntityProps(), 3);
    OdDbRadialDimension* r = nullptr;
    ASSERT_EQ(oddbOpenObject(r, radial, OdDb::kForRead), eOk);
    EXPECT_EQ(r->chordPoint(), OdGePoint3d(1, 3, 0));
    EXPECT_EQ(r->leaderLength(), 3);
    r->close();
}
