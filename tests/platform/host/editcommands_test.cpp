// The host's own editing commands: the events reactors hear and their
// order, undo and redo, cancels and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dxf_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcedreactor.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"

namespace {

// Every event in one list, as the host raises them.
struct Events : OdEditorReactor, OdDbDatabaseReactor {
    std::vector<std::wstring> log;
    void commandWillStart(const OdString& c) override { log.push_back(L"start " + c.str()); }
    void commandEnded(const OdString& c) override { log.push_back(L"ended " + c.str()); }
    void commandCancelled(const OdString& c) override { log.push_back(L"cancelled " + c.str()); }
    void commandFailed(const OdString& c) override { log.push_back(L"failed " + c.str()); }
    void objectAppended(const OdDbDatabase*, const OdDbObject* o) override { Note(L"appended ", o); }
    void objectModified(const OdDbDatabase*, const OdDbObject* o) override { Note(L"modified ", o); }
    void objectErased(const OdDbDatabase*, const OdDbObject* o, bool erased) override
    {
        Note(erased ? L"erased " : L"unerased ", o);
    }
    void Note(const wchar_t* what, const OdDbObject* o)
    {
        if (OdRxCast<OdDbEntity>(o)) log.push_back(what + o->isA()->name().str());
    }
};

class EditCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        doc = standin::CreateDocument(L"C:\\dwg\\a.dwg");
        odedEditor->addReactor(&events);
        doc->database()->addReactor(&events);
    }
    void TearDown() override
    {
        odedEditor->removeReactor(&events);
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }
    OdDbObjectId DrawLine()
    {
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(4, 0, 0));
        standin::QueueEnter();
        standin::InvokeCommand(L"LINE");
        ads_name last;
        OdDbObjectId id;
        EXPECT_EQ(gcdbEntLast(last), RTNORM);
        oddbGetObjectId(id, last);
        return id;
    }
    OdDbObjectId EntLast()
    {
        ads_name last;
        OdDbObjectId id;
        if (gcdbEntLast(last) == RTNORM) oddbGetObjectId(id, last);
        return id;
    }
    OdGePoint3d StartOf(OdDbObjectId id)
    {
        OdDbLine* line = nullptr;
        EXPECT_EQ(oddbOpenObject(line, id, OdDb::kForRead, true), eOk);
        OdGePoint3d p = line->startPoint();
        line->close();
        return p;
    }

    GcApDocument* doc = nullptr;
    Events events;
};

TEST_F(EditCommandsTest, ChangesAreHeardInOrderUndoneInReverseAndCancelsAndFailuresReported)
{
    OdDbObjectId line = DrawLine();
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start LINE", L"appended AcDbLine", L"modified AcDbLine",
                                                     L"ended LINE"}));
    standin::QueueSelection(OdDbObjectIdArray().append(line));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(1, 2, 0));
    standin::InvokeCommand(L"MOVE");
    standin::QueueSelection(OdDbObjectIdArray().append(line));
    standin::InvokeCommand(L"ERASE");
    EXPECT_TRUE(line.isErased());
    standin::InvokeCommand(L"UNDO");
    EXPECT_FALSE(line.isErased());
    EXPECT_TRUE(StartOf(line).isEqualTo(OdGePoint3d(1, 2, 0)));
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(StartOf(line).isEqualTo(OdGePoint3d(0, 0, 0)));
    // A new change drops what could be redone.
    standin::QueuePoint(OdGePoint3d(5, 5, 0));
    standin::InvokeCommand(L"POINT");
    events.log.clear();
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start REDO", L"ended REDO"}));

    events.log.clear();
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueueCancel();
    standin::InvokeCommand(L"RECTANG");
    standin::SetAppLoader([](const std::wstring& path) { return path == L"C:\\ok.grx"; });
    standin::QueueText(L"C:\\missing.grx");
    standin::InvokeCommand(L"APPLOAD");
    EXPECT_EQ(events.log,
              (std::vector<std::wstring>{L"start RECTANG", L"cancelled RECTANG", L"start APPLOAD", L"failed APPLOAD"}));
}

// The last entity is the newest of model space that is not erased: objects
// that are no entities, and erased entities, are passed over.
TEST_F(EditCommandsTest, TheLastEntityIsTheNewestNotErasedOfModelSpace)
{
    const OdDbObjectId first = DrawLine();
    const OdDbObjectId second = DrawLine();
    EXPECT_EQ(EntLast(), second);
    standin::QueueSelection(OdDbObjectIdArray().append(second));
    standin::InvokeCommand(L"ERASE");
    EXPECT_EQ(EntLast(), first);
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, first, OdDb::kForWrite), eOk);
    EXPECT_EQ(line->createExtensionDictionary(), eOk);
    line->close();
    EXPECT_EQ(EntLast(), first);
    // The dictionary, made outside a command, is a step of its own.
    standin::InvokeCommand(L"UNDO");
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(EntLast(), second);
}

// ---- what MOVE, COPY and ERASE carry ----

// Appends an entity to model space of the document's drawing.
OdDbObjectId AddEntity(OdDbDatabase* db, OdDbEntity* e)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    EXPECT_EQ(ms->appendOdDbEntity(id, e), eOk);
    e->close();
    ms->close();
    return id;
}

// The drawing as a file saves it, its lines ended by \n alone.
std::string Saved(OdDbDatabase* db)
{
    std::string bytes, lines;
    EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
    for (char c : bytes)
        if (c != '\r') lines += c;
    return lines;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The real values of the first record of that type in a saved drawing, by
// group code (the last one of each code).
std::map<int, double> RecordValues(const std::string& saved, const std::string& type)
{
    std::map<int, double> values;
    std::istringstream in(saved.substr(saved.find("\n" + type + "\n") + type.size() + 2));
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value) && std::stoi(code) != 0)
        values[std::stoi(code)] = std::strtod(value.c_str(), nullptr);
    return values;
}

std::wstring Printed(size_t from) { return standin::CommandLineText().substr(from); }

void Move(const OdDbObjectIdArray& ids, const OdGeVector3d& by)
{
    standin::QueueSelection(ids);
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(by.x, by.y, by.z));
    standin::InvokeCommand(L"MOVE");
}

void Copy(const OdDbObjectIdArray& ids, const OdGeVector3d& by)
{
    standin::QueueSelection(ids);
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(by.x, by.y, by.z));
    standin::QueueEnter();
    standin::InvokeCommand(L"COPY");
}

OdDbObjectIdArray ModelSpace(OdDbDatabase* db)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectIdArray ids;
    EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    for (const OdDbObjectId& id : ms->entityIds())
        if (!id.isErased()) ids.append(id);
    ms->close();
    return ids;
}

// Opens a drawing file of that text, written under that name, as OPEN
// does; null when it cannot be opened.
OdDbDatabase* OpenDrawing(const wchar_t* path, const std::string& dxf)
{
    std::ofstream(standin::NativePath(path), std::ios::binary) << dxf;
    standin::QueueText(path);
    if (!standin::InvokeCommand(L"OPEN")) return nullptr;
    return gcDocManagerPtr()->curDocument()->database();
}

// Records a drawing file keeps whole move and are copied by their own
// geometry; one of a kind that cannot be transformed is named, with the
// count, and the command fails. UNDO moves them back.
TEST_F(EditCommandsTest, KeptRecordsMoveAndCopyAndUnknownOnesAreNamed)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n"
        "0\n3DFACE\n8\n0\n10\n1.5\n20\n2.0\n30\n0.0\n11\n3.0\n21\n2.0\n31\n0.0\n12\n3.0\n22\n4.0\n32\n0.0\n"
        "13\n1.5\n23\n4.0\n33\n0.0\n"
        "0\nXLINE\n100\nAcDbEntity\n8\n0\n100\nAcDbXline\n10\n5.0\n20\n6.0\n30\n0.0\n11\n0.6\n21\n0.8\n31\n0.0\n"
        "0\nACAD_PROXY_ENTITY\n100\nAcDbEntity\n8\n0\n100\nAcDbProxyEntity\n90\n498\n91\n500\n95\n0\n"
        // A circle of no radius, kept whole as a kind the database models.
        "0\nCIRCLE\n8\n0\n10\n-7.0\n20\n-8.0\n30\n0.0\n40\n0.0\n"
        "0\nENDSEC\n0\nEOF\n";
    std::ofstream(standin::NativePath(L"C:\\kinds.dxf"), std::ios::binary) << dxf;
    standin::QueueText(L"C:\\kinds.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    GcApDocument* opened = gcDocManagerPtr()->curDocument();
    ASSERT_TRUE(opened && opened != doc);
    OdDbDatabase* db = opened->database();
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 4);

    // One that cannot be moved fails the command, and nothing moves.
    events.log.clear();
    size_t from = standin::CommandLineText().size();
    const std::string unmoved = Saved(db);
    Move(all, OdGeVector3d(10, 0, 0));
    EXPECT_EQ(events.log.back(), L"failed MOVE");
    EXPECT_NE(Printed(from).find(L"1 object could not be moved: 1 ACAD_PROXY_ENTITY.\nNothing was moved."),
              std::wstring::npos)
        << Printed(from);
    EXPECT_EQ(Saved(db), unmoved);
    OdDbObjectIdArray movable = all;
    movable.removeAt(2);
    Move(movable, OdGeVector3d(10, 0, 0));
    std::string saved = Saved(db);
    EXPECT_NE(saved.find("3DFACE\n"), std::string::npos);
    EXPECT_NE(saved.find(" 10\n11.5\n 20\n2.0\n 30\n0.0\n 11\n13.0\n 21\n2.0\n"), std::string::npos) << saved;
    // A direction stays as it was.
    EXPECT_NE(saved.find(" 10\n15.0\n 20\n6.0\n 30\n0.0\n 11\n0.6\n 21\n0.8\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(" 10\n3.0\n 20\n-8.0\n"), std::string::npos) << saved;

    standin::InvokeCommand(L"UNDO");
    saved = Saved(db);
    EXPECT_NE(saved.find(" 10\n1.5\n 20\n2.0\n 30\n0.0\n 11\n3.0\n 21\n2.0\n"), std::string::npos) << saved;

    from = standin::CommandLineText().size();
    Copy(all, OdGeVector3d(0, 20, 0));
    EXPECT_NE(Printed(from).find(L"1 object could not be copied: 1 ACAD_PROXY_ENTITY.\nNothing was copied to that point."),
              std::wstring::npos)
        << Printed(from);
    EXPECT_EQ(ModelSpace(db).length(), 4);
    Copy(movable, OdGeVector3d(0, 20, 0));
    EXPECT_EQ(ModelSpace(db).length(), 7);
    saved = Saved(db);
    EXPECT_NE(saved.find(" 10\n1.5\n 20\n22.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(" 10\n5.0\n 20\n26.0\n"), std::string::npos) << saved;
    EXPECT_EQ(Count(saved, "ACAD_PROXY_ENTITY\n"), 1u);

    // Turned a quarter about the origin and twice the size, a kept record's
    // point turns and scales, its direction turns.
    OdDbEntity* xline = nullptr;
    ASSERT_EQ(oddbOpenObject(xline, all[1], OdDb::kForWrite), eOk);
    EXPECT_EQ(xline->transformBy(OdGeMatrix3d::scaling(2) * OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis)),
              eOk);
    xline->close();
    const std::map<int, double> turned = RecordValues(Saved(db), "XLINE");
    EXPECT_NEAR(turned.at(10), -12, 1e-12);
    EXPECT_NEAR(turned.at(20), 10, 1e-12);
    EXPECT_NEAR(turned.at(11), -0.8, 1e-12);
    EXPECT_NEAR(turned.at(21), 0.6, 1e-12);

    // ERASE takes every kind.
    standin::QueueSelection(ModelSpace(db));
    standin::InvokeCommand(L"ERASE");
    EXPECT_EQ(ModelSpace(db).length(), 0);
}

// A copy of a record kept whole keeps its handle 360 that names nothing (a
// wipeout's reactor as one writer gives it, 0), in its place: it owns
// nothing that would then be owned twice.
TEST_F(EditCommandsTest, ACopyKeepsAKeptHandleThatNamesNothing)
{
    OdDbDatabase* db = OpenDrawing(
        L"C:\\wipeout.dxf",
        "0\nSECTION\n2\nENTITIES\n"
        "0\nWIPEOUT\n5\n160\n100\nAcDbEntity\n8\n0\n100\nAcDbWipeout\n90\n0\n10\n0.0\n20\n0.0\n30\n0.0\n"
        "11\n2.0\n21\n0.0\n31\n0.0\n12\n0.0\n22\n2.0\n32\n0.0\n13\n1.0\n23\n1.0\n340\n0\n70\n7\n280\n1\n"
        "281\n50\n282\n50\n283\n0\n360\n0\n71\n2\n91\n2\n14\n-0.5\n24\n0.5\n14\n0.5\n24\n-0.5\n290\n0\n"
        "0\nENDSEC\n0\nEOF\n");
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(ModelSpace(db).length(), 1);
    Copy(ModelSpace(db), OdGeVector3d(0, 20, 0));
    ASSERT_EQ(ModelSpace(db).length(), 2);
    const std::string saved = Saved(db);
    EXPECT_EQ(Count(saved, "\nWIPEOUT\n"), 2u);
    EXPECT_EQ(Count(saved, "\n283\n0\n360\n0\n 71\n2\n"), 2u) << saved;
}

// Kept records move by what each holds where: one written without
// subclass markers by its kind's own places (one with no position at all
// is named, not passed over), one in a plane that is not the world's in
// that plane, a MULTILEADER by its structure whatever its text says.
// UNDO and REDO give back exactly what was there.
TEST_F(EditCommandsTest, KeptRecordsMoveByTheirOwnPlacesAndUndoExactly)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n"
        "0\nLEADER\n8\n0\n3\nStandard\n71\n1\n72\n0\n73\n3\n76\n2\n10\n60.0\n20\n1.0\n30\n0.0\n"
        "10\n62.0\n20\n3.0\n30\n0.0\n211\n1.0\n221\n0.0\n231\n0.0\n"
        "0\nRAY\n8\n0\n10\n-7.0\n20\n9.0\n30\n0.0\n11\n1.0\n21\n0.0\n31\n0.0\n"
        "0\nTRACE\n100\nAcDbEntity\n8\n0\n100\nAcDbTrace\n10\n-3.0\n20\n0.5\n30\n6.0\n11\n-4.0\n21\n0.5\n31\n"
        "6.0\n12\n-3.0\n22\n0.5\n32\n7.0\n13\n-4.0\n23\n0.5\n33\n7.0\n210\n0.0\n220\n1.0\n230\n0.0\n"
        "0\nMULTILEADER\n100\nAcDbEntity\n8\n0\n100\nAcDbMLeader\n270\n2\n300\nCONTEXT_DATA{\n40\n1.0\n10\n4.0\n"
        "20\n12.0\n30\n0.0\n41\n4.0\n290\n1\n304\nOpen {\n12\n6.0\n22\n14.0\n32\n0.0\n110\n0.5\n120\n0.0\n"
        "130\n0.0\n302\nLEADER{\n10\n-4.0\n20\n12.0\n30\n0.0\n304\nLEADER_LINE{\n10\n2.0\n20\n12.0\n30\n0.0\n"
        "305\n}\n303\n}\n301\n}\n10\n1.0\n20\n1.0\n30\n1.0\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\places.dxf", dxf);
    ASSERT_TRUE(db);
    AddEntity(db, new OdDbLine(OdGePoint3d(0.1, 0.1, 0), OdGePoint3d(0.3, 0.7, 0)));
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 5);
    const std::string before = Saved(db);

    events.log.clear();
    Move(all, OdGeVector3d(10, 4, 0));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    std::string saved = Saved(db);
    std::map<int, double> v = RecordValues(saved, "LEADER");
    EXPECT_EQ(v.at(10), 72.0);  // the last vertex
    EXPECT_EQ(v.at(20), 7.0);
    EXPECT_EQ(v.at(211), 1.0);
    v = RecordValues(saved, "RAY");
    EXPECT_EQ(v.at(10), 3.0);
    EXPECT_EQ(v.at(20), 13.0);
    EXPECT_EQ(v.at(11), 1.0);
    // In the plane of normal +Y the world's x is the plane's -x and its y
    // the height above the plane.
    v = RecordValues(saved, "TRACE");
    EXPECT_EQ(v.at(13), -14.0);
    EXPECT_EQ(v.at(23), 0.5);
    EXPECT_EQ(v.at(33), 11.0);
    // Text ending in "{" opens nothing: the text location and the plane
    // origin move, the block content's scale (10 after the context) stays.
    EXPECT_NE(saved.find("304\nOpen {\n 12\n16.0\n 22\n18.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("110\n10.5\n120\n4.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("301\n}\n 10\n1.0\n 20\n1.0\n 30\n1.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("LEADER_LINE{\n 10\n12.0\n 20\n16.0\n"), std::string::npos) << saved;

    // Back by a sum that rounds, then UNDO: the drawing is as it was, to
    // the bit; REDO gives the moved one again.
    Move(all, OdGeVector3d(0.1, 0.2, 0));
    const std::string moved = Saved(db);
    Move(all, OdGeVector3d(0.2, 0.1, 0));
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(Saved(db), moved);
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(Saved(db), saved);
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(Saved(db), before);
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(Saved(db), saved);
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(Saved(db), moved);
}

// A record of a kept kind with none of the places its kind keeps positions
// in is not passed over as moved.
TEST_F(EditCommandsTest, AKeptRecordWithoutPositionsIsNamed)
{
    const std::string dxf = "0\nSECTION\n2\nENTITIES\n0\nLEADER\n100\nAcDbEntity\n8\n0\n100\nAcDbLeader\n3\n"
                            "Standard\n71\n1\n0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\bare.dxf", dxf);
    ASSERT_TRUE(db);
    ASSERT_EQ(ModelSpace(db).length(), 1);
    const size_t from = standin::CommandLineText().size();
    events.log.clear();
    Move(ModelSpace(db), OdGeVector3d(10, 0, 0));
    EXPECT_EQ(events.log.back(), L"failed MOVE");
    EXPECT_NE(Printed(from).find(L"1 object could not be moved: 1 LEADER."), std::wstring::npos) << Printed(from);
}

// An MPOLYGON moves by what its values are where they are: its first point
// is its elevation, its paths' points (vertices, a line's ends, an arc's
// and an ellipse's centre) and its seed points lie in its plane, an
// ellipse's axis is a vector; its fill's offset stays. Turned and scaled,
// an arc's radius scales and its angles turn.
TEST_F(EditCommandsTest, AnMPolygonMovesByItsPathsAndSeeds)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n0\nMPOLYGON\n100\nAcDbEntity\n8\n0\n100\nAcDbMPolygon\n70\n1\n"
        "10\n0.0\n20\n0.0\n30\n2.5\n210\n0.0\n220\n0.0\n230\n1.0\n2\nSOLID\n71\n1\n91\n2\n"
        "92\n3\n73\n1\n72\n0\n93\n2\n10\n1.0\n20\n1.0\n10\n2.0\n20\n1.0\n"
        "92\n1\n93\n3\n72\n1\n10\n0.0\n20\n0.0\n11\n4.0\n21\n0.0\n"
        "72\n2\n10\n2.0\n20\n0.0\n40\n2.0\n50\n0.0\n51\n180.0\n73\n1\n"
        "72\n3\n10\n6.0\n20\n0.0\n11\n3.0\n21\n0.0\n40\n0.5\n50\n0.0\n51\n360.0\n73\n1\n"
        "76\n1\n52\n0.0\n41\n1.0\n77\n0\n78\n0\n11\n0.5\n21\n0.5\n99\n0\n98\n1\n10\n3.0\n20\n3.0\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\mpolygon.dxf", dxf);
    ASSERT_TRUE(db);
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 1);
    // The record's values of each code, in order.
    auto values = [&](int code) {
        const std::string saved = Saved(db);
        std::istringstream in(saved.substr(saved.find("\nMPOLYGON\n") + 10));
        std::vector<double> v;
        std::string c, value;
        while (std::getline(in, c) && std::getline(in, value) && std::stoi(c) != 0)
            if (std::stoi(c) == code) v.push_back(std::strtod(value.c_str(), nullptr));
        return v;
    };
    auto near = [](const std::vector<double>& got, const std::vector<double>& want) {
        if (got.size() != want.size()) return false;
        for (size_t i = 0; i < got.size(); ++i)
            if (std::fabs(got[i] - want[i]) > 1e-9) return false;
        return true;
    };
    Move(all, OdGeVector3d(10, 4, 0));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    EXPECT_EQ(values(10), (std::vector<double>{0, 11, 12, 10, 12, 16, 13}));
    EXPECT_EQ(values(20), (std::vector<double>{0, 5, 5, 4, 4, 4, 7}));
    EXPECT_EQ(values(11), (std::vector<double>{14, 3, 0.5}));
    EXPECT_EQ(values(21), (std::vector<double>{4, 0, 0.5}));
    EXPECT_EQ(values(30), (std::vector<double>{2.5}));
    EXPECT_EQ(values(40), (std::vector<double>{2, 0.5}));

    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenObject(e, all[0], OdDb::kForWrite), eOk);
    ASSERT_EQ(e->transformBy(OdGeMatrix3d::scaling(2) * OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis)), eOk);
    e->close();
    EXPECT_TRUE(near(values(10), {0, -10, -10, -8, -8, -8, -14}));
    EXPECT_TRUE(near(values(20), {0, 22, 24, 20, 24, 32, 26}));
    EXPECT_TRUE(near(values(11), {-8, 0, 0.5}));
    EXPECT_TRUE(near(values(21), {28, 6, 0.5}));
    EXPECT_TRUE(near(values(30), {5}));
    EXPECT_TRUE(near(values(40), {4, 0.5}));
    EXPECT_TRUE(near(values(50), {90, 0}));
    EXPECT_TRUE(near(values(51), {270, 360}));
}

// Turned and scaled, a MULTILEADER's overall scale, its text's and block's
// rotations and its block's scale follow, in its context and in the
// copies outside it; moved, they stay.
TEST_F(EditCommandsTest, AMultileaderTurnsAndScalesItsTextAndBlock)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n"
        "0\nMULTILEADER\n100\nAcDbEntity\n8\n0\n100\nAcDbMLeader\n270\n2\n300\nCONTEXT_DATA{\n40\n1.0\n10\n4.0\n"
        "20\n12.0\n30\n0.0\n41\n4.0\n110\n0.0\n120\n0.0\n130\n0.0\n290\n1\n304\nnote\n12\n6.0\n22\n14.0\n"
        "32\n0.0\n42\n0.5\n296\n1\n15\n1.0\n25\n2.0\n35\n0.0\n16\n1.0\n26\n1.5\n36\n1.0\n46\n0.25\n301\n}\n"
        "10\n1.0\n20\n1.5\n30\n1.0\n43\n0.25\n45\n1.0\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\mleader.dxf", dxf);
    ASSERT_TRUE(db);
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 1);
    Move(all, OdGeVector3d(3, 0, 0));
    std::map<int, double> v = RecordValues(Saved(db), "MULTILEADER");
    EXPECT_EQ(v.at(15), 4.0);
    EXPECT_EQ(v.at(42), 0.5);
    EXPECT_EQ(v.at(16), 1.0);
    EXPECT_EQ(v.at(10), 1.0);

    OdDbEntity* ml = nullptr;
    ASSERT_EQ(oddbOpenObject(ml, all[0], OdDb::kForWrite), eOk);
    ASSERT_EQ(ml->transformBy(OdGeMatrix3d::scaling(2) * OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis)), eOk);
    ml->close();
    v = RecordValues(Saved(db), "MULTILEADER");
    EXPECT_NEAR(v.at(15), -4, 1e-12);
    EXPECT_NEAR(v.at(25), 8, 1e-12);
    EXPECT_EQ(v.at(40), 2.0);
    EXPECT_NEAR(v.at(42), 0.5 + M_PI / 2, 1e-12);
    EXPECT_NEAR(v.at(46), 0.25 + M_PI / 2, 1e-12);
    EXPECT_EQ(v.at(16), 2.0);
    EXPECT_EQ(v.at(26), 3.0);
    EXPECT_EQ(v.at(36), 2.0);
    // The copies outside the context: the block's scale, its rotation, the
    // overall scale.
    EXPECT_EQ(v.at(10), 2.0);
    EXPECT_EQ(v.at(20), 3.0);
    EXPECT_EQ(v.at(30), 2.0);
    EXPECT_NEAR(v.at(43), 0.25 + M_PI / 2, 1e-12);
    EXPECT_EQ(v.at(45), 2.0);
}

// A move changes positions only: every other value stays bit for bit, also
// when the move is by nothing.
TEST_F(EditCommandsTest, AMoveChangesPositionsAndNothingElse)
{
    OdDbDatabase* db = doc->database();
    const OdDbObjectId arc = AddEntity(db, new OdDbArc(OdGePoint3d(0.1, 0.2, 0), 2.3, 0.5811946409141117, 4.74208));
    // A coordinate of -0 keeps its sign through a move by nothing.
    auto* text = new OdDbText(OdGePoint3d(-0.0, 2.2, 0), L"t");
    text->setHeight(1.3);
    text->setRotation(0.4991641660703782);
    const OdDbObjectId textId = AddEntity(db, text);
    const OdDbObjectId ellipse = AddEntity(db, new OdDbEllipse(OdGePoint3d(5, 5, 0), OdGeVector3d(0, 0, 1),
                                                               OdGeVector3d(2.1, 1.3, 0), 0.37, 0.3, 5.1));
    auto* circle = new OdDbCircle(OdGePoint3d(-1, -1, 0.25), OdGeVector3d(0.3, 0.4, 0.866), 1.7);
    const OdDbObjectId circleId = AddEntity(db, circle);
    const OdDbObjectIdArray all = ModelSpace(db);

    struct Values {
        double a0, a1, r, height, rotation, e0, e1, ratio;
        OdGeVector3d normal, major;
        OdGePoint3d centre, position;
    };
    auto values = [&] {
        Values v{};
        OdDbArc* a = nullptr;
        OdDbText* t = nullptr;
        OdDbEllipse* e = nullptr;
        OdDbCircle* c = nullptr;
        EXPECT_EQ(oddbOpenObject(a, arc, OdDb::kForRead), eOk);
        EXPECT_EQ(oddbOpenObject(t, textId, OdDb::kForRead), eOk);
        EXPECT_EQ(oddbOpenObject(e, ellipse, OdDb::kForRead), eOk);
        EXPECT_EQ(oddbOpenObject(c, circleId, OdDb::kForRead), eOk);
        v.a0 = a->startAngle(), v.a1 = a->endAngle(), v.r = a->radius();
        v.height = t->height(), v.rotation = t->rotation(), v.position = t->position();
        v.e0 = e->startAngle(), v.e1 = e->endAngle(), v.ratio = e->radiusRatio(), v.major = e->majorAxis();
        v.normal = c->normal(), v.centre = c->center();
        a->close(), t->close(), e->close(), c->close();
        return v;
    };
    const Values before = values();
    Move(all, OdGeVector3d(0, 0, 0));
    const Values still = values();
    EXPECT_EQ(std::memcmp(&before, &still, sizeof before), 0);

    Move(all, OdGeVector3d(3.7, -1.1, 0));
    Values moved = values();
    EXPECT_EQ(moved.position.x, before.position.x + 3.7);
    EXPECT_EQ(moved.position.y, before.position.y + -1.1);
    EXPECT_EQ(moved.centre.z, before.centre.z);
    moved.position = before.position;
    moved.centre = before.centre;
    EXPECT_EQ(std::memcmp(&before, &moved, sizeof before), 0);
}

// What a file gave of the values a move does not place goes back as
// given after MOVE and COPY, and UNDO gives the file back: a reference's
// scales with a z of 0 (2-D writers flatten by it; a mirror and a half
// size stay), an ellipse's end parameter before its start, an image's
// clipping flag off beside a display option that uses a clip, and the
// image's defaults the file left out.
TEST_F(EditCommandsTest, AMoveLeavesWhatItDoesNotPlaceAsTheFileGaveIt)
{
    const std::string dxf =
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nMARK\n70\n0\n10\n0.0\n20\n0.0\n30\n0.0\n"
        "0\nLINE\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n11\n2.0\n21\n1.0\n31\n0.0\n0\nENDBLK\n8\n0\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n"
        "0\nINSERT\n5\n30\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockReference\n2\nMARK\n10\n10.0\n20\n10.0\n30\n0.0\n"
        "41\n-1.0\n43\n0.0\n"
        "0\nINSERT\n5\n31\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockReference\n2\nMARK\n10\n20.0\n20\n10.0\n30\n0.0\n"
        "41\n0.5\n42\n0.5\n43\n0\n"
        "0\nELLIPSE\n5\n32\n100\nAcDbEntity\n8\n0\n100\nAcDbEllipse\n10\n0.0\n20\n0.0\n30\n0.0\n11\n3.0\n21\n1.0\n"
        "31\n0.0\n40\n0.5\n41\n4.0\n42\n1.0\n"
        "0\nIMAGE\n5\n33\n100\nAcDbEntity\n8\n0\n100\nAcDbRasterImage\n10\n0.0\n20\n20.0\n30\n0.0\n11\n0.1\n21\n0.0\n"
        "31\n0.0\n12\n0.0\n22\n0.1\n32\n0.0\n13\n64.0\n23\n32.0\n340\n50\n70\n15\n280\n0\n"
        "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n"
        "0\nIMAGEDEF\n5\n50\n100\nAcDbRasterImageDef\n1\ntile.png\n10\n64.0\n20\n32.0\n0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\given.dxf", dxf);
    ASSERT_TRUE(db);
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 4);
    auto scales = [](OdDbObjectId id) {
        OdDbBlockReference* r = nullptr;
        EXPECT_EQ(oddbOpenObject(r, id, OdDb::kForRead), eOk);
        const OdGeScale3d s = r ? r->scaleFactors() : OdGeScale3d();
        if (r) r->close();
        return std::vector<double>{s.sx, s.sy, s.sz};
    };
    EXPECT_EQ(scales(all[0]), (std::vector<double>{-1, 1, 0}));
    EXPECT_EQ(scales(all[1]), (std::vector<double>{0.5, 0.5, 0}));
    const std::string opened = Saved(db);

    Move(all, OdGeVector3d(1, 2, 0));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    const std::string moved = Saved(db);
    auto record = [&moved](const std::string& handle) {
        const size_t at = moved.find("\n  5\n" + handle + "\n");
        return at == std::string::npos ? std::string() : moved.substr(at, moved.find("\n  0\n", at) - at);
    };
    EXPECT_NE(record("30").find(" 10\n11.0\n 20\n12.0\n 30\n0.0\n 41\n-1.0\n 43\n0.0"), std::string::npos)
        << record("30");
    EXPECT_NE(record("31").find(" 41\n0.5\n 42\n0.5\n 43\n0.0"), std::string::npos) << record("31");
    EXPECT_NE(record("32").find(" 41\n4.0\n 42\n1.0"), std::string::npos) << record("32");
    EXPECT_NE(record("33").find("\n 70\n15\n280\n0"), std::string::npos) << record("33");
    for (const char* added : {" 90\n", "281\n", " 71\n", " 14\n"})
        EXPECT_EQ(record("33").find(added), std::string::npos) << added << record("33");
    // Of the moved file, every line but the positions is the opened one's.
    EXPECT_EQ(Count(moved, "\n"), Count(opened, "\n"));

    Copy(OdDbObjectIdArray().append(all[0]), OdGeVector3d(0, 5, 0));
    EXPECT_EQ(scales(EntLast()), (std::vector<double>{-1, 1, 0}));
    // The copy of a flattened mirror is drawn mirrored: its line runs to
    // the left of its position.
    OdDbBlockReference* copy = nullptr;
    ASSERT_EQ(oddbOpenObject(copy, EntLast(), OdDb::kForRead), eOk);
    OdDbVoidPtrArray parts;
    ASSERT_EQ(copy->explode(parts), eOk);
    copy->close();
    ASSERT_EQ(parts.length(), 1);
    auto* line = static_cast<OdDbLine*>(parts[0]);
    EXPECT_EQ(line->endPoint(), OdGePoint3d(9, 18, 0));
    delete line;

    standin::InvokeCommand(L"UNDO");
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(Saved(db), opened);
}

// A record kept whole whose points the file gave without z (an ARC of no
// radius, a LEADER written 2-D) moves up as well as across: the z it left
// out is 0, written once a move makes it other than 0, and left out while
// it stays 0. UNDO gives the file back.
TEST_F(EditCommandsTest, KeptPointsWithoutZMoveUpAndAcross)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n"
        "0\nARC\n5\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbCircle\n10\n5.0\n20\n5.0\n40\n0.0\n100\nAcDbArc\n50\n30.0\n"
        "51\n120.0\n"
        "0\nLEADER\n5\n41\n100\nAcDbEntity\n8\n0\n100\nAcDbLeader\n3\nStandard\n76\n2\n10\n0.0\n20\n4.0\n10\n5.0\n"
        "20\n9.0\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\flat.dxf", dxf);
    ASSERT_TRUE(db);
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 2);
    const std::string opened = Saved(db);

    Move(all, OdGeVector3d(1, 2, 0));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    std::string saved = Saved(db);
    EXPECT_NE(saved.find(" 10\n6.0\n 20\n7.0\n 40\n0.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(" 10\n1.0\n 20\n6.0\n 10\n6.0\n 20\n11.0\n"), std::string::npos) << saved;

    Move(all, OdGeVector3d(0, 0, 3));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    saved = Saved(db);
    EXPECT_NE(saved.find(" 10\n6.0\n 20\n7.0\n 30\n3.0\n 40\n0.0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(" 10\n1.0\n 20\n6.0\n 30\n3.0\n 10\n6.0\n 20\n11.0\n 30\n3.0\n"), std::string::npos)
        << saved;

    standin::InvokeCommand(L"UNDO");
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(Saved(db), opened);
}

// Extended data follows its entity: world positions (1011) move, turn and
// scale; displacements (1012) turn and scale; directions (1013) turn;
// distances (1041) and scale factors (1042) scale.
TEST_F(EditCommandsTest, ExtendedDataPositionsFollowTheirEntity)
{
    OdDbDatabase* db = doc->database();
    OdDbSymbolTable* apps = nullptr;
    ASSERT_EQ(oddbOpenObject(apps, db->getRegAppTableId(), OdDb::kForWrite), eOk);
    auto* app = new OdDbRegAppTableRecord();
    app->setName(L"T");
    OdDbObjectId appId;
    ASSERT_EQ(apps->add(appId, app), eOk);
    app->close();
    apps->close();
    const OdDbObjectId line = AddEntity(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0)));
    OdDbLine* l = nullptr;
    ASSERT_EQ(oddbOpenObject(l, line, OdDb::kForWrite), eOk);
    OdResBuf* chain = OdResBuf::newRb(1001, OdString(L"T"));
    OdResBuf* rb = chain;
    for (int code : {1010, 1011, 1012, 1013}) {
        rb = rb->setNext(new OdResBuf(code));
        rb->setPoint3d(OdGePoint3d(1, 2, 0));
    }
    rb = rb->setNext(OdResBuf::newRb(1041, 3.0));
    rb->setNext(OdResBuf::newRb(1042, 0.5));
    ASSERT_EQ(l->setXData(chain), eOk);
    OdResBuf::releaseChain(chain);
    l->close();

    auto points = [&] {
        std::vector<OdGePoint3d> p;
        std::vector<double> r;
        OdDbLine* e = nullptr;
        EXPECT_EQ(oddbOpenObject(e, line, OdDb::kForRead), eOk);
        OdResBuf* x = e->xData(L"T");
        e->close();
        for (OdResBuf* b = x; b; b = b->next()) {
            if (b->restype() >= 1010 && b->restype() <= 1013) p.push_back(b->getPoint3d());
            if (b->restype() == 1041 || b->restype() == 1042) r.push_back(b->getDouble());
        }
        OdResBuf::releaseChain(x);
        p.push_back(OdGePoint3d(r.at(0), r.at(1), 0));
        return p;
    };
    Move(OdDbObjectIdArray().append(line), OdGeVector3d(5, 0, 0));
    std::vector<OdGePoint3d> p = points();
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0], OdGePoint3d(1, 2, 0));  // a plain point stays
    EXPECT_EQ(p[1], OdGePoint3d(6, 2, 0));
    EXPECT_EQ(p[2], OdGePoint3d(1, 2, 0));
    EXPECT_EQ(p[3], OdGePoint3d(1, 2, 0));
    EXPECT_EQ(p[4], OdGePoint3d(3, 0.5, 0));

    // A quarter turn about the origin, twice the size.
    ASSERT_EQ(oddbOpenObject(l, line, OdDb::kForWrite), eOk);
    ASSERT_EQ(l->transformBy(OdGeMatrix3d::scaling(2) * OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis)), eOk);
    l->close();
    p = points();
    EXPECT_TRUE(p[0].isEqualTo(OdGePoint3d(1, 2, 0)));
    EXPECT_TRUE(p[1].isEqualTo(OdGePoint3d(-4, 12, 0))) << p[1].x << "," << p[1].y;
    EXPECT_TRUE(p[2].isEqualTo(OdGePoint3d(-4, 2, 0)));
    EXPECT_TRUE(p[3].isEqualTo(OdGePoint3d(-2, 1, 0)));
    EXPECT_TRUE(p[4].isEqualTo(OdGePoint3d(6, 1, 0)));

    // A polyline's vertex keeps its extended data as the file gave it: that
    // follows the polyline the same way.
    const std::string dxf =
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nAPPID\n70\n1\n0\nAPPID\n2\nT\n70\n0\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n10\n0.0\n20\n0.0\n30\n0.0\n70\n0\n"
        "0\nVERTEX\n8\n0\n10\n1.0\n20\n1.0\n30\n0.0\n1001\nT\n1011\n1.0\n1021\n2.0\n1031\n0.0\n1041\n3.0\n"
        "0\nVERTEX\n8\n0\n10\n2.0\n20\n1.0\n30\n0.0\n0\nSEQEND\n8\n0\n0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* opened = OpenDrawing(L"C:\\vertexdata.dxf", dxf);
    ASSERT_TRUE(opened);
    const OdDbObjectIdArray all = ModelSpace(opened);
    ASSERT_EQ(all.length(), 1);
    Move(all, OdGeVector3d(5, 0, 0));
    std::map<int, double> v = RecordValues(Saved(opened), "VERTEX");
    EXPECT_EQ(v.at(1011), 6.0);
    EXPECT_EQ(v.at(1021), 2.0);
    EXPECT_EQ(v.at(1041), 3.0);
    OdDbEntity* polyline = nullptr;
    ASSERT_EQ(oddbOpenObject(polyline, all[0], OdDb::kForWrite), eOk);
    ASSERT_EQ(polyline->transformBy(OdGeMatrix3d::scaling(2) * OdGeMatrix3d::rotation(M_PI / 2, OdGeVector3d::kZAxis)),
              eOk);
    polyline->close();
    v = RecordValues(Saved(opened), "VERTEX");
    EXPECT_NEAR(v.at(1011), -4, 1e-12);
    EXPECT_NEAR(v.at(1021), 12, 1e-12);
    EXPECT_EQ(v.at(1041), 6.0);
}

// ERASE, MOVE and COPY leave what is on a locked layer alone and say how
// many that were.
TEST_F(EditCommandsTest, EditsLeaveLockedLayersAlone)
{
    OdDbDatabase* db = doc->database();
    standin::QueueText(L"New");
    standin::QueueText(L"Fixed");
    standin::QueueText(L"Lock");
    standin::QueueText(L"Fixed");
    standin::QueueEnter();
    standin::InvokeCommand(L"-LAYER");
    auto* fixed = new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0));
    fixed->setLayer(L"Fixed");
    const OdDbObjectId fixedId = AddEntity(db, fixed);
    const OdDbObjectId free = AddEntity(db, new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 0, 0)));
    const OdDbObjectIdArray both = OdDbObjectIdArray().append(fixedId).append(free);

    size_t from = standin::CommandLineText().size();
    Move(both, OdGeVector3d(0, 3, 0));
    EXPECT_NE(Printed(from).find(L"1 was on a locked layer."), std::wstring::npos) << Printed(from);
    EXPECT_EQ(StartOf(fixedId), OdGePoint3d(0, 0, 0));
    EXPECT_EQ(StartOf(free), OdGePoint3d(0, 3, 0));
    Copy(both, OdGeVector3d(0, 3, 0));
    EXPECT_EQ(ModelSpace(db).length(), 3);
    from = standin::CommandLineText().size();
    standin::QueueSelection(ModelSpace(db));
    standin::InvokeCommand(L"ERASE");
    EXPECT_NE(Printed(from).find(L"1 was on a locked layer."), std::wstring::npos) << Printed(from);
    EXPECT_EQ(ModelSpace(db), OdDbObjectIdArray().append(fixedId));
    EXPECT_EQ(events.log.back(), L"ended ERASE");

    // Unlocking is undone like any change; a frozen layer cannot be made
    // current.
    standin::QueueText(L"Unlock");
    standin::QueueText(L"Fixed");
    standin::QueueEnter();
    standin::InvokeCommand(L"-LAYER");
    standin::InvokeCommand(L"UNDO");
    from = standin::CommandLineText().size();
    Move(OdDbObjectIdArray().append(fixedId), OdGeVector3d(0, 3, 0));
    EXPECT_NE(Printed(from).find(L"1 was on a locked layer."), std::wstring::npos) << Printed(from);
    EXPECT_EQ(StartOf(fixedId), OdGePoint3d(0, 0, 0));
    const OdDbObjectId current = db->clayer();
    standin::QueueText(L"Freeze");
    standin::QueueText(L"Fixed");
    standin::QueueText(L"Set");
    standin::QueueText(L"Fixed");
    from = standin::CommandLineText().size();
    standin::InvokeCommand(L"-LAYER");
    EXPECT_NE(Printed(from).find(L"Cannot set frozen layer \"Fixed\" current."), std::wstring::npos)
        << Printed(from);
    EXPECT_EQ(db->clayer(), current);
}

// A copy carries what its original carries, with objects of its own: a
// block reference's attributes, and its extension dictionary's
// dictionaries with their entries and hard-ownership flag.
TEST_F(EditCommandsTest, ACopyCarriesAttributesAndNestedDictionaries)
{
    OdDbDatabase* db = doc->database();
    OdDbSymbolTable* blocks = nullptr;
    ASSERT_EQ(oddbOpenObject(blocks, db->getBlockTableId(), OdDb::kForWrite), eOk);
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"MARK");
    OdDbObjectId blockId;
    ASSERT_EQ(blocks->add(blockId, block), eOk);
    block->close();
    blocks->close();
    auto* ref = new OdDbBlockReference(OdGePoint3d(2, 2, 0), blockId);
    auto* attr = new OdDbAttribute();
    attr->setPosition(OdGePoint3d(2.5, 1, 0));
    attr->setTag(L"TAG");
    attr->setTextString(L"value");
    OdDbObjectId none;
    ASSERT_EQ(ref->appendAttribute(none, attr), eOk);
    const OdDbObjectId refId = AddEntity(db, ref);

    // Extension dictionary -> "INNER" (hard owner) -> Xrecord "DATA".
    ASSERT_EQ(oddbOpenObject(ref, refId, OdDb::kForWrite), eOk);
    ASSERT_EQ(ref->createExtensionDictionary(), eOk);
    const OdDbObjectId xdictId = ref->extensionDictionary();
    ref->close();
    OdDbDictionary* xdict = nullptr;
    ASSERT_EQ(oddbOpenObject(xdict, xdictId, OdDb::kForWrite), eOk);
    auto* inner = new OdDbDictionary();
    OdDbObjectId innerId;
    ASSERT_EQ(xdict->setAt(L"INNER", inner, innerId), eOk);
    inner->setTreatElementsAsHard(true);
    auto* data = new OdDbXrecord();
    OdResBuf* chain = OdResBuf::newRb(1, OdString(L"kept"));
    data->setFromRbChain(chain);
    OdResBuf::releaseChain(chain);
    OdDbObjectId dataId;
    ASSERT_EQ(inner->setAt(L"DATA", data, dataId), eOk);
    data->close();
    inner->close();
    xdict->close();

    Copy(OdDbObjectIdArray().append(refId), OdGeVector3d(0, 10, 0));
    const OdDbObjectId copyId = EntLast();
    ASSERT_NE(copyId, refId);
    OdDbBlockReference* copy = nullptr;
    ASSERT_EQ(oddbOpenObject(copy, copyId, OdDb::kForRead), eOk);
    OdDbObjectIterator* it = copy->attributeIterator();
    const OdDbObjectId copyXdict = copy->extensionDictionary();
    copy->close();
    ASSERT_TRUE(it && !it->done());
    OdDbAttribute* a = nullptr;
    ASSERT_EQ(oddbOpenObject(a, it->objectId(), OdDb::kForRead), eOk);
    EXPECT_EQ(a->ownerId(), copyId);
    EXPECT_EQ(a->position(), OdGePoint3d(2.5, 11, 0));
    EXPECT_EQ(a->textString(), OdString(L"value"));
    a->close();
    it->step();
    EXPECT_TRUE(it->done());
    delete it;

    ASSERT_FALSE(copyXdict.isNull());
    ASSERT_NE(copyXdict, xdictId);
    OdDbDictionary* d = nullptr;
    ASSERT_EQ(oddbOpenObject(d, copyXdict, OdDb::kForRead), eOk);
    OdDbDictionary* copiedInner = nullptr;
    ASSERT_EQ(d->getAt(L"INNER", copiedInner, OdDb::kForRead), eOk);
    d->close();
    EXPECT_NE(copiedInner->objectId(), innerId);
    EXPECT_EQ(copiedInner->ownerId(), copyXdict);
    EXPECT_TRUE(copiedInner->isTreatElementsAsHard());
    OdDbXrecord* copiedData = nullptr;
    ASSERT_EQ(copiedInner->getAt(L"DATA", copiedData, OdDb::kForRead), eOk);
    EXPECT_NE(copiedData->objectId(), dataId);
    OdResBuf* got = copiedData->rbChain();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->getString(), OdString(L"kept"));
    OdResBuf::releaseChain(got);
    copiedData->close();
    copiedInner->close();

    // Saved, each reference has its attribute and the end of its sequence.
    const std::string saved = Saved(db);
    EXPECT_EQ(Count(saved, "\nATTRIB\n"), 2u);
    EXPECT_EQ(Count(saved, "\nSEQEND\n"), 2u);
}

// A LEADER copied with its annotation names the copied annotation, which
// names it back; copied alone it names none.
TEST_F(EditCommandsTest, ACopiedLeaderFollowsItsCopiedAnnotation)
{
    const std::string dxf =
        "0\nSECTION\n2\nENTITIES\n"
        "0\nMTEXT\n5\n38\n102\n{ACAD_REACTORS\n330\n48\n102\n}\n100\nAcDbEntity\n8\n0\n100\nAcDbMText\n"
        "10\n5.0\n20\n9.0\n30\n0.0\n40\n1.0\n1\nnote\n"
        "0\nLEADER\n5\n48\n100\nAcDbEntity\n8\n0\n100\nAcDbLeader\n3\nStandard\n71\n1\n72\n0\n73\n0\n76\n2\n"
        "10\n0.0\n20\n4.0\n30\n0.0\n10\n5.0\n20\n9.0\n30\n0.0\n340\n38\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\leader.dxf", dxf);
    ASSERT_TRUE(db);
    auto Hex = [](OdDbObjectId id) {
        const std::wstring h = id.getHandle().ascii().str();
        return std::string(h.begin(), h.end());
    };
    const OdDbObjectIdArray both = ModelSpace(db);
    ASSERT_EQ(both.length(), 2);
    Copy(both, OdGeVector3d(0, 20, 0));
    OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 4);
    const std::string mtextCopy = Hex(all[2]);
    const std::string leaderCopy = Hex(all[3]);
    std::string saved = Saved(db);
    const size_t copied = saved.find("\nLEADER\n  5\n" + leaderCopy + "\n");
    ASSERT_NE(copied, std::string::npos) << saved;
    const std::string record = saved.substr(copied, saved.find("\n  0\n", copied + 1) + 1 - copied);
    EXPECT_NE(record.find("340\n" + mtextCopy + "\n"), std::string::npos) << record;
    const size_t text = saved.find("\nMTEXT\n  5\n" + mtextCopy + "\n");
    ASSERT_NE(text, std::string::npos) << saved;
    EXPECT_NE(saved.substr(text, 120).find("330\n" + leaderCopy + "\n"), std::string::npos) << saved.substr(text, 120);

    Copy(OdDbObjectIdArray().append(both[1]), OdGeVector3d(0, 40, 0));
    const std::string alone = Hex(EntLast());
    saved = Saved(db);
    const size_t at = saved.find("\nLEADER\n  5\n" + alone + "\n");
    ASSERT_NE(at, std::string::npos) << saved;
    const std::string aloneRecord = saved.substr(at, saved.find("\n  0\n", at + 1) + 1 - at);
    EXPECT_EQ(aloneRecord.find("340\n38\n"), std::string::npos) << aloneRecord;
}

// A copied dimension has graphics of its own: a block of copies of its
// source's, moved with it; UNDO of a move of it puts them back too.
TEST_F(EditCommandsTest, ACopiedDimensionHasItsOwnGraphics)
{
    OdDbDatabase* db = doc->database();
    OdDbSymbolTable* table = nullptr;
    ASSERT_EQ(oddbOpenObject(table, db->getBlockTableId(), OdDb::kForWrite), eOk);
    auto* block = new OdDbBlockTableRecord();
    block->setName(L"*D1");
    OdDbObjectId blockId;
    ASSERT_EQ(table->add(blockId, block), eOk);
    table->close();
    OdDbObjectId part;
    auto* line = new OdDbLine(OdGePoint3d(0.1, 0, 0), OdGePoint3d(4, 0, 0));
    ASSERT_EQ(block->appendOdDbEntity(part, line), eOk);
    line->close();
    block->close();
    auto* dim = new OdDbAlignedDimension(OdGePoint3d(0.1, 0, 0), OdGePoint3d(4, 0, 0), OdGePoint3d(2, 1, 0));
    dim->setDimBlockId(blockId);
    const OdDbObjectId dimId = AddEntity(db, dim);

    Copy(OdDbObjectIdArray().append(dimId), OdGeVector3d(0, 10, 0));
    const OdDbObjectId copyId = EntLast();
    ASSERT_NE(copyId, dimId);
    OdDbDimension* copy = nullptr;
    ASSERT_EQ(oddbOpenObject(copy, copyId, OdDb::kForRead), eOk);
    const OdDbObjectId copyBlock = copy->dimBlockId();
    copy->close();
    ASSERT_FALSE(copyBlock.isNull());
    EXPECT_NE(copyBlock, blockId);
    OdDbBlockTableRecord* b = nullptr;
    ASSERT_EQ(oddbOpenObject(b, copyBlock, OdDb::kForRead), eOk);
    const std::vector<OdDbObjectId> parts = b->entityIds();
    b->close();
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(StartOf(parts[0]), OdGePoint3d(0.1, 10, 0));
    EXPECT_EQ(StartOf(part), OdGePoint3d(0.1, 0, 0));

    Move(OdDbObjectIdArray().append(dimId), OdGeVector3d(0.2, 0, 0));
    EXPECT_EQ(StartOf(part).x, 0.1 + 0.2);
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(StartOf(part), OdGePoint3d(0.1, 0, 0));
}

// An ARC_DIMENSION, kept as the file gave it, moves with its graphics
// block and back on UNDO; its copy has a block of its own, moved with it.
TEST_F(EditCommandsTest, AnArcDimensionMovesAndCopiesWithItsGraphics)
{
    const std::string dxf =
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\n*D1\n70\n1\n10\n0.0\n20\n0.0\n30\n0.0\n3\n*D1\n"
        "0\nLINE\n8\n0\n10\n0.1\n20\n0.0\n30\n0.0\n11\n4.0\n21\n0.0\n31\n0.0\n0\nENDBLK\n8\n0\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n"
        "0\nARC_DIMENSION\n100\nAcDbEntity\n8\n0\n100\nAcDbDimension\n2\n*D1\n10\n30.0\n20\n12.0\n30\n0.0\n"
        "11\n35.0\n21\n10.0\n31\n0.0\n70\n40\n3\nStandard\n100\nAcDbArcDimension\n13\n33.0\n23\n5.0\n33\n0.0\n"
        "14\n30.0\n24\n8.0\n34\n0.0\n15\n30.0\n25\n5.0\n35\n0.0\n40\n0.0\n41\n0.0\n70\n0\n71\n0\n"
        "0\nENDSEC\n0\nEOF\n";
    OdDbDatabase* db = OpenDrawing(L"C:\\arcdim.dxf", dxf);
    ASSERT_TRUE(db);
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 1);
    auto graphicsOf = [](OdDbObjectId id) {
        OdDbProxyEntity* dim = nullptr;
        OdDbBlockTableRecord* block = nullptr;
        std::vector<OdDbObjectId> parts;
        if (oddbOpenObject(dim, id, OdDb::kForRead) != eOk) return parts;
        const OdDbObjectId blockId = dim->geometryBlockId();
        dim->close();
        if (oddbOpenObject(block, blockId, OdDb::kForRead) != eOk) return parts;
        parts = block->entityIds();
        block->close();
        return parts;
    };
    const std::vector<OdDbObjectId> parts = graphicsOf(all[0]);
    ASSERT_EQ(parts.size(), 1u);

    Move(all, OdGeVector3d(10, 0, 0));
    EXPECT_EQ(events.log.back(), L"ended MOVE");
    std::map<int, double> v = RecordValues(Saved(db), "ARC_DIMENSION");
    EXPECT_EQ(v.at(10), 40.0);
    EXPECT_EQ(v.at(11), 45.0);
    EXPECT_EQ(v.at(13), 43.0);
    EXPECT_EQ(v.at(15), 40.0);
    EXPECT_EQ(StartOf(parts[0]), OdGePoint3d(10.1, 0, 0));
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(StartOf(parts[0]), OdGePoint3d(0.1, 0, 0));
    EXPECT_EQ(RecordValues(Saved(db), "ARC_DIMENSION").at(10), 30.0);

    Copy(all, OdGeVector3d(0, 20, 0));
    const OdDbObjectId copyId = EntLast();
    ASSERT_NE(copyId, all[0]);
    const std::vector<OdDbObjectId> copied = graphicsOf(copyId);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_NE(copied[0], parts[0]);
    EXPECT_EQ(StartOf(copied[0]), OdGePoint3d(0.1, 20, 0));
    EXPECT_EQ(StartOf(parts[0]), OdGePoint3d(0.1, 0, 0));
    const std::string saved = Saved(db);
    EXPECT_EQ(Count(saved, "\nARC_DIMENSION\n"), 2u);
    // The copy names its own block in the saved drawing.
    const size_t second = saved.find("\nARC_DIMENSION\n", saved.find("\nARC_DIMENSION\n") + 1);
    const std::string record = saved.substr(second, saved.find("\n  0\n", second) - second);
    EXPECT_NE(record.find("\n  2\n*D2\n"), std::string::npos) << record;
}

// A copied associative hatch follows the copy of its boundary when that was
// copied with it; copied alone it is associative no more.
TEST_F(EditCommandsTest, ACopiedHatchFollowsItsCopiedBoundary)
{
    OdDbDatabase* db = doc->database();
    auto* frame = new OdDbPolyline();
    frame->addVertexAt(0, OdGePoint2d(0, 0));
    frame->addVertexAt(1, OdGePoint2d(4, 0));
    frame->addVertexAt(2, OdGePoint2d(4, 3));
    frame->setClosed(true);
    const OdDbObjectId frameId = AddEntity(db, frame);
    auto* hatch = new OdDbHatch();
    hatch->setAssociative(true);
    const OdDbObjectId hatchId = AddEntity(db, hatch);
    ASSERT_EQ(oddbOpenObject(hatch, hatchId, OdDb::kForWrite), eOk);
    ASSERT_EQ(hatch->appendLoop(OdDbHatch::kExternal, OdDbObjectIdArray().append(frameId)), eOk);
    hatch->close();

    Copy(OdDbObjectIdArray().append(frameId).append(hatchId), OdGeVector3d(10, 0, 0));
    const OdDbObjectIdArray all = ModelSpace(db);
    ASSERT_EQ(all.length(), 4);
    const OdDbObjectId frameCopy = all[2], hatchCopy = all[3];
    OdDbObjectIdArray ids;
    ASSERT_EQ(oddbOpenObject(hatch, hatchCopy, OdDb::kForRead), eOk);
    EXPECT_TRUE(hatch->associative());
    hatch->getAssocObjIds(ids);
    hatch->close();
    EXPECT_EQ(ids, OdDbObjectIdArray().append(frameCopy));
    OdDbObject* b = nullptr;
    ASSERT_EQ(oddbOpenObject(b, frameCopy, OdDb::kForRead), eOk);
    EXPECT_EQ(b->getPersistentReactors(), OdDbObjectIdArray().append(hatchCopy));
    b->close();

    Copy(OdDbObjectIdArray().append(hatchId), OdGeVector3d(0, 10, 0));
    ASSERT_EQ(oddbOpenObject(hatch, EntLast(), OdDb::kForRead), eOk);
    EXPECT_FALSE(hatch->associative());
    hatch->getAssocObjIds(ids);
    hatch->close();
    EXPECT_TRUE(ids.isEmpty());

    // Moved apart from its boundary, either way, a hatch is associative no
    // more and its boundary no longer names it; UNDO ties them again.
    auto associated = [&](OdDbObjectId h, OdDbObjectId f) {
        OdDbHatch* x = nullptr;
        OdDbObject* y = nullptr;
        EXPECT_EQ(oddbOpenObject(x, h, OdDb::kForRead), eOk);
        EXPECT_EQ(oddbOpenObject(y, f, OdDb::kForRead), eOk);
        OdDbObjectIdArray boundary;
        x->getAssocObjIds(boundary);
        const bool both = x->associative() && boundary == OdDbObjectIdArray().append(f) &&
                          y->getPersistentReactors() == OdDbObjectIdArray().append(h);
        const bool neither = !x->associative() && boundary.isEmpty() && y->getPersistentReactors().isEmpty();
        x->close();
        y->close();
        EXPECT_TRUE(both || neither);
        return both;
    };
    ASSERT_TRUE(associated(hatchCopy, frameCopy));
    Move(OdDbObjectIdArray().append(hatchCopy), OdGeVector3d(0, 5, 0));
    EXPECT_FALSE(associated(hatchCopy, frameCopy));
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(associated(hatchCopy, frameCopy));
    Move(OdDbObjectIdArray().append(frameCopy), OdGeVector3d(0, 5, 0));
    EXPECT_FALSE(associated(hatchCopy, frameCopy));
    // Moved together they stay tied.
    standin::InvokeCommand(L"UNDO");
    ASSERT_TRUE(associated(hatchCopy, frameCopy));
    Move(OdDbObjectIdArray().append(frameCopy).append(hatchCopy), OdGeVector3d(0, 5, 0));
    EXPECT_TRUE(associated(hatchCopy, frameCopy));
}

// ---- the blocks of dimensions' graphics ----

// A drawing of "|"-separated groups, opened as the host opens a file.
OdDbDatabase* OpenGroups(const std::string& blocks, const std::string& entities)
{
    std::string dxf = "0|SECTION|2|BLOCKS|" + blocks + "|0|ENDSEC|0|SECTION|2|ENTITIES|" + entities + "|0|ENDSEC|0|EOF|";
    for (char& c : dxf)
        if (c == '|') c = '\n';
    std::ofstream(standin::NativePath(L"C:\\graphics.dxf"), std::ios::binary) << dxf;
    standin::QueueText(L"C:\\graphics.dxf");
    EXPECT_TRUE(standin::InvokeCommand(L"OPEN"));
    return gcDocManagerPtr()->curDocument()->database();
}

std::string GraphicsBlock(const std::string& name, const std::string& handle, const std::string& part)
{
    return "0|BLOCK|5|" + handle + "|8|0|2|" + name + "|70|1|10|0.0|20|0.0|30|0.0|3|" + name + "|" + part + "|0|ENDBLK|8|0";
}

std::string GraphicsLine(const std::string& handle, const std::string& x)
{
    return "0|LINE|5|" + handle + "|8|0|10|" + x + "|20|5.0|30|0.0|11|3.0|21|5.0|31|0.0";
}

std::string Dimension(const std::string& handle, const std::string& block)
{
    return "0|DIMENSION|5|" + handle + "|8|0|100|AcDbEntity|100|AcDbDimension|2|" + block +
           "|10|3.0|20|5.0|30|0.0|11|1.5|21|5.0|31|0.0|70|32|3|Standard|100|AcDbAlignedDimension|13|0.0|23|0.0|"
           "33|0.0|14|3.0|24|0.0|34|0.0|50|0.0|100|AcDbRotatedDimension";
}

OdGePoint3d StartOfHandle(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    OdGePoint3d p(-1, -1, -1);
    OdDbLine* line = nullptr;
    if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) == eOk && oddbOpenObject(line, id, OdDb::kForRead) == eOk) {
        p = line->startPoint();
        line->close();
    }
    return p;
}

// A move reaches every block of graphics once and tries all it reaches
// first: two dimensions drawn by one block move it once (twice would pass
// the largest number), a block nested in a dimension's block moves with
// it, and a move that would take a coordinate of it past the largest
// number is refused whole.
TEST_F(EditCommandsTest, AMoveReachesEachBlockOfGraphicsOnce)
{
    OdDbDatabase* db = OpenGroups(GraphicsBlock("*D1", "50", GraphicsLine("51", "0.0")),
                                  Dimension("60", "*D1") + "|" + Dimension("61", "*D1"));
    std::string opened = Saved(db), saved;
    Move(ModelSpace(db), OdGeVector3d(1e308, 0, 0));
    EXPECT_EQ(StartOfHandle(db, 0x51), OdGePoint3d(1e308, 5, 0));
    EXPECT_EQ(standin::WriteDxfBytes(db, saved), eOk);
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(Saved(db) == opened);

    // *D1 draws a dimension drawn by *D2.
    db = OpenGroups(GraphicsBlock("*D2", "70", GraphicsLine("71", "0.9e308")) + "|" +
                        GraphicsBlock("*D1", "50", Dimension("51", "*D2")),
                    Dimension("60", "*D1"));
    opened = Saved(db);
    const size_t from = standin::CommandLineText().size();
    Move(ModelSpace(db), OdGeVector3d(1e308, 0, 0));
    EXPECT_NE(Printed(from).find(L"could not be moved (a coordinate would pass the largest number): 1"),
              std::wstring::npos)
        << Printed(from);
    EXPECT_TRUE(Saved(db) == opened);
    Move(ModelSpace(db), OdGeVector3d(1e307, 0, 0));
    EXPECT_EQ(StartOfHandle(db, 0x71).x, 0.9e308 + 1e307);
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(Saved(db) == opened);
}

// The block a copied dimension got goes with the copy: ERASE of the copy
// erases it (nothing else names it), UNDO brings both back; the block a
// file gave stays when its dimension is erased.
TEST_F(EditCommandsTest, ACopiedDimensionsBlockGoesWithIt)
{
    OdDbDatabase* db = OpenGroups(GraphicsBlock("*D1", "50", GraphicsLine("51", "0.0")), Dimension("60", "*D1"));
    const OdDbObjectIdArray original = ModelSpace(db);
    const size_t named = Count(Saved(db), "\n*D1\n");
    // Each COPY and ERASE leaves the file as large as before.
    for (int round = 0; round < 2; ++round) {
        Copy(original, OdGeVector3d(0, 10, 0));
        const std::string copied = Saved(db);
        EXPECT_GT(Count(copied, "\n*D2\n"), 0u) << copied;
        standin::QueueSelection(OdDbObjectIdArray().append(EntLast()));
        standin::InvokeCommand(L"ERASE");
        const std::string erased = Saved(db);
        EXPECT_EQ(Count(erased, "\n*D2\n"), 0u) << erased;
        EXPECT_EQ(Count(erased, "\nBLOCK\n"), Count(copied, "\nBLOCK\n") - 1);
        standin::InvokeCommand(L"UNDO");
        EXPECT_TRUE(Saved(db) == copied);
        standin::InvokeCommand(L"REDO");
        EXPECT_TRUE(Saved(db) == erased);
    }
    standin::QueueSelection(original);
    standin::InvokeCommand(L"ERASE");
    EXPECT_EQ(Count(Saved(db), "\n*D1\n"), named - 1);
}

}  // namespace
