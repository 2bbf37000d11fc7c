// Values a group's code cannot hold (a name where a handle goes, an integer
// past its code's range, a real that is no number) do not refuse a drawing:
// it opens without them, and they go back as the file wrote them, in their
// records, from save to save.
#include <gtest/gtest.h>

#include <memory>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "standin_control.h"

namespace {

using dxftest::Groups;

std::string File(const Groups& tables, const Groups& entities, const Groups& objects = {})
{
    return dxftest::SectionsFile({{9, "$ACADVER"}, {1, "AC1024"}, {9, "$HANDSEED"}, {5, "FFFF"}, {9, "$LTSCALE"},
                                  {40, "one"}, {9, "$PDMODE"}, {70, "1.0"}},
                                 {{"TABLES", tables}, {"ENTITIES", entities}, {"OBJECTS", objects}});
}

// The object of a handle, of the class asked for; null for none.
template <class T>
T* At(OdDbDatabase& db, uint64_t handle)
{
    OdDbObjectId id;
    if (db.getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk || id.isNull()) return nullptr;
    return OdRxCast<T>(id.stub()->object);
}

// The groups of a record as the writer spells them.
std::string Spelled(const Groups& groups)
{
    std::string s;
    for (const auto& [code, value] : groups) {
        const std::string c = std::to_string(code);
        s += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + "\r\n" + value + "\r\n";
    }
    return s;
}

const Groups kTables = {
    {0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {100, "AcDbSymbolTable"}, {70, "1"},
    {0, "LAYER"}, {5, "10"}, {330, "2"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"},
    {2, "PARTS"}, {70, "0"}, {62, "3.0"}, {6, "Continuous"}, {390, "Normal"},
    {0, "ENDTAB"},
    {0, "TABLE"}, {2, "DIMSTYLE"}, {5, "3"}, {100, "AcDbSymbolTable"}, {70, "1"},
    {0, "DIMSTYLE"}, {105, "20"}, {330, "3"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbDimStyleTableRecord"},
    {2, "Standard"}, {70, "0"}, {340, "Standard"}, {342, "_Dot"}, {40, "1.0"},
    {0, "ENDTAB"},
};

const Groups kEntities = {
    // A colour written as a real: read as its whole number.
    {0, "LINE"}, {5, "30"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "PARTS"}, {62, "1.0"},
    {100, "AcDbLine"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {11, "4.0"}, {21, "3.0"}, {31, "0.0"},
    {1001, "ACAD"}, {1040, "n/a"}, {1010, "1.0"}, {1020, "y?"}, {1030, "3.0"}, {1070, "7"},
    // An x that is no number: the line is read without it.
    {0, "LINE"}, {5, "31"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"},
    {100, "AcDbLine"}, {10, "abc"}, {20, "2.0"}, {30, "0.0"}, {11, "5.0"}, {21, "6.0"}, {31, "0.0"},
    // Flags written as a real, a reactor that is no handle.
    {0, "LWPOLYLINE"}, {5, "32"}, {102, "{ACAD_REACTORS"}, {330, "OWNER"}, {102, "}"}, {330, "1F"},
    {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbPolyline"}, {90, "3"}, {70, "1.0"},
    {10, "0.0"}, {20, "0.0"}, {10, "4.0"}, {20, "0.0"}, {10, "4.0"}, {20, "4.0"},
};

const Groups kObjects = {
    {0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"}, {3, "DATA"}, {350, "40"},
    {0, "XRECORD"}, {5, "40"}, {330, "C"}, {100, "AcDbXrecord"}, {280, "1"}, {40, "1.5"}, {70, "99999"},
    {340, "a name"},
};

TEST(DxfUnreadable, ValuesTheirCodesCannotHoldOpenAndGoBackAsWrittenFromSaveToSave)
{
    const std::string file = File(kTables, kEntities, kObjects);
    OdDbDatabase db(false);
    std::string why;
    ASSERT_EQ(standin::ReadDxfBytes(&db, file, &why), eOk) << why;

    // What could be read is read; what could not is none of the objects'.
    auto* red = At<OdDbLine>(db, 0x30);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->colorIndex(), 1);
    auto* noX = At<OdDbLine>(db, 0x31);
    ASSERT_NE(noX, nullptr);
    EXPECT_EQ(noX->startPoint(), OdGePoint3d(0, 2, 0));
    auto* closed = At<OdDbPolyline>(db, 0x32);
    ASSERT_NE(closed, nullptr);
    EXPECT_TRUE(closed->isClosed());
    EXPECT_EQ(closed->numVerts(), 3u);
    auto* layer = At<OdDbLayerTableRecord>(db, 0x10);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->color().colorIndex(), 3);

    // Each goes back in its record as the file wrote it.
    const std::string saved = dxftest::Save(&db);
    for (const Groups& written : std::vector<Groups>{
             {{9, "$LTSCALE"}, {40, "one"}},
             {{9, "$PDMODE"}, {70, "1.0"}},
             {{340, "Standard"}, {342, "_Dot"}},
             {{390, "Normal"}},
             {{62, "3.0"}},
             {{62, "1.0"}},
             {{1040, "n/a"}, {1010, "1.0"}, {1020, "y?"}, {1030, "3.0"}, {1070, "7"}},
             {{10, "abc"}, {20, "2.0"}},
             {{102, "{ACAD_REACTORS"}, {330, "OWNER"}, {102, "}"}},
             {{70, "1.0"}},
             {{70, "99999"}, {340, "a name"}},
         })
        EXPECT_NE(saved.find(Spelled(written)), std::string::npos) << Spelled(written) << "\n" << saved;
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
    ASSERT_NE(again, nullptr);
    const std::string second = dxftest::Save(again.get());
    EXPECT_EQ(second, saved) << dxftest::FirstDifferingLine(saved, second);

    // A line moved is written as it now is: the file's x was none.
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, noX->objectId(), OdDb::kForWrite), eOk);
    line->setStartPoint(OdGePoint3d(1, 2, 0));
    line->close();
    const std::string moved = dxftest::Save(&db);
    EXPECT_EQ(moved.find(Spelled({{10, "abc"}})), std::string::npos);
    EXPECT_NE(moved.find(Spelled({{10, "1.0"}, {20, "2.0"}})), std::string::npos);
}

// A handle that is none, of 0 (which names nothing) or empty: the record
// is read under a new one, said as such, not as a record left out.
TEST(DxfUnreadable, ARecordsOwnHandleThatIsNoneIsReplacedAndSaid)
{
    for (const std::string handle : {"NOT-A-HANDLE", "0", ""}) {
        SCOPED_TRACE("handle \"" + handle + "\"");
        const std::string file = File({}, {{0, "LINE"}, {5, handle}, {100, "AcDbEntity"}, {8, "0"},
                                           {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"},
                                           {31, "0"}});
        OdDbDatabase db(false);
        std::string why;
        ASSERT_EQ(standin::ReadDxfBytes(&db, file, &why), eOk) << why;
        EXPECT_TRUE(standin::DxfNotRead(&db).empty());
        const std::vector<std::wstring> notes = standin::DxfRenumbered(&db);
        ASSERT_EQ(notes.size(), 1u);
        OdDbBlockTableRecord* ms = nullptr;
        ASSERT_EQ(oddbOpenObject(ms, db.getModelSpaceId(), OdDb::kForRead), eOk);
        ASSERT_EQ(ms->entityIds().size(), 1u);
        const std::wstring now = ms->entityIds()[0].getHandle().ascii().str();
        ms->close();
        EXPECT_EQ(notes[0].rfind(L"LINE at line ", 0), 0u) << notes[0].c_str();
        EXPECT_NE(notes[0].find(L"its handle \"" + std::wstring(handle.begin(), handle.end()) +
                                L"\" is no handle; it has handle " + now + L" instead"),
                  std::wstring::npos)
            << notes[0].c_str();
        // One handle a record: the file's goes.
        const std::string saved = dxftest::Save(&db);
        EXPECT_EQ(saved.find("NOT-A-HANDLE"), std::string::npos);
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
        EXPECT_EQ(dxftest::Save(again.get()), saved);
    }
}

TEST(DxfUnreadable, OnlyALineThatIsNoGroupCodeOrTooLongIsRefused)
{
    // Values that are no numbers, in a file of LF lines and one of CR
    // lines (where a line feed is part of a value), and codes no drawing
    // file defines (ezdxf reads them too): each file opens, and its values
    // go back as written.
    const std::pair<std::string, Groups> cases[] = {
        {File({}, {{0, "LINE"}, {10, "abc"}}), {{10, "abc"}}},
        {"0\rSECTION\r2\rENTITIES\r0\rLINE\r10\r1\n\r0\rENDSEC\r0\rEOF\r", {{10, "1^J"}}},
        {File({}, {{0, "LINE"}, {10, "nan"}, {62, "1.5"}, {70, "-99999"}}), {{10, "nan"}, {62, "1.5"}, {70, "-99999"}}},
        {File({}, {{0, "LINE"}, {100, "AcDbEntity"}, {8, "0"}, {250, "x"}, {-5, "y"}, {100, "AcDbLine"}, {5000, "z"}},
              {{0, "XRECORD"}, {5, "40"}, {100, "AcDbXrecord"}, {2000, "data"}, {1010, "1"}, {1020, "2"},
               {1030, "3"}, {1072, "more"}}),
         {{250, "x"}, {-5, "y"}, {5000, "z"}, {2000, "data"}, {1072, "more"}}},
    };
    for (const auto& [bytes, kept] : cases) {
        OdDbDatabase db(false);
        std::string why;
        EXPECT_EQ(standin::ReadDxfBytes(&db, bytes, &why), eOk) << why;
        const std::string saved = dxftest::Save(&db);
        for (const auto& group : kept) EXPECT_NE(saved.find(Spelled({group})), std::string::npos) << Spelled({group});
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(dxftest::Save(again.get()), saved);
    }
    OdDbDatabase db(false);
    std::string why;
    EXPECT_NE(standin::ReadDxfBytes(&db, File({}, {{0, "LINE"}, {10, std::string(300 << 10, '1')}}), &why), eOk);
    EXPECT_NE(why.find("a value line is too long"), std::string::npos) << why;
    EXPECT_NE(standin::ReadDxfBytes(&db, File({}, {{0, "LINE"}, {40000, "1"}}), &why), eOk);
    EXPECT_NE(why.find("\"40000\" is not a group code"), std::string::npos) << why;
}

}  // namespace
