// UNDO gives the file back: after any edits, as many UNDOs save the drawing
// byte for byte as it saved when opened, and REDO of them all what the
// edits saved, whatever the file spelled otherwise than the writer would
// (a count, a default it left out), the handles of records the database
// does not keep, what a record owns and the blocks of dimensions.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
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
#include "oddbdictionary.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbtext.h"
#include "oddbsymboltable.h"
#include "standin_control.h"

namespace {

// A drawing of one kind: its blocks, entities and objects, each a list of
// groups with "|" for the line ends.
struct Drawing {
    const char* name;
    const char* blocks;
    const char* entities;
    const char* objects;
};

void PrintTo(const Drawing& d, std::ostream* os) { *os << d.name; }

std::string Lines(std::string groups)
{
    for (char& c : groups)
        if (c == '|') c = '\n';
    return groups + "\n";
}

std::string File(const Drawing& d)
{
    std::string dxf;
    if (*d.blocks) dxf += Lines(std::string("0|SECTION|2|BLOCKS|") + d.blocks + "|0|ENDSEC");
    dxf += Lines(std::string("0|SECTION|2|ENTITIES|") + d.entities + "|0|ENDSEC");
    if (*d.objects) dxf += Lines(std::string("0|SECTION|2|OBJECTS|") + d.objects + "|0|ENDSEC");
    return dxf + "0\nEOF\n";
}

const Drawing kDrawings[] = {
    // A count the file gave otherwise than the vertices (90 7 of two).
    {"DeclaredCount", "", "0|LWPOLYLINE|5|20|8|0|90|7|70|0|10|0.0|20|0.0|10|1.0|20|1.0", ""},
    // An image that owns its reactor (360), listed by its definition.
    {"ImageAndReactor", "",
     "0|IMAGE|5|30|8|0|10|1.0|20|2.0|30|0.0|11|0.5|21|0.0|31|0.0|12|0.0|22|0.5|32|0.0|13|10.0|23|10.0|340|31|70|3|"
     "360|32",
     "0|DICTIONARY|5|C|3|ACAD_IMAGE_DICT|350|33|0|DICTIONARY|5|33|330|C|3|pic|350|31|"
     "0|IMAGEDEF|5|31|102|{ACAD_REACTORS|330|33|330|32|102|}|330|33|100|AcDbRasterImageDef|1|pic.png|10|10.0|20|"
     "10.0|0|IMAGEDEF_REACTOR|5|32|330|30|100|AcDbRasterImageDefReactor|90|2|330|30"},
    // Vertices and sequence ends, whose handles the database does not keep.
    {"Polyline2d", "",
     "0|POLYLINE|5|21|8|0|66|1|10|0.0|20|0.0|30|0.0|70|0|0|VERTEX|5|22|8|0|10|1.0|20|1.0|30|0.0|0|VERTEX|5|23|8|0|"
     "10|2.0|20|0.5|30|0.0|0|SEQEND|5|24|8|0",
     ""},
    {"Polyline3d", "",
     "0|POLYLINE|5|21|8|0|66|1|10|0.0|20|0.0|30|0.0|70|8|0|VERTEX|5|22|8|0|10|1.0|20|1.0|30|2.0|70|32|0|VERTEX|5|"
     "23|8|0|10|2.0|20|0.5|30|1.0|70|32|0|SEQEND|5|24|8|0",
     ""},
    // A reference with an attribute, without the scales and the angle.
    {"InsertWithAttribute",
     "0|BLOCK|5|40|8|0|2|B|70|2|10|0.0|20|0.0|30|0.0|3|B|0|LINE|5|41|8|0|10|0.0|20|0.0|30|0.0|11|1.0|21|0.0|31|0.0|"
     "0|ATTDEF|5|42|8|0|10|0.0|20|0.0|30|0.0|40|1.0|1|x|3|T?|2|T|70|0|0|ENDBLK|5|43|8|0",
     "0|INSERT|5|25|8|0|66|1|2|B|10|5.0|20|5.0|30|0.0|0|ATTRIB|5|26|8|0|10|5.0|20|5.0|30|0.0|40|1.0|1|v|2|T|70|0|"
     "0|SEQEND|5|27|8|0",
     ""},
    // Defaults the file left out: an arc's normal, a text's alignments,
    // an MTEXT's direction, angle and spacing.
    {"ArcWithoutNormal", "", "0|ARC|8|0|10|1.0|20|2.0|30|0.0|40|3.0|50|10.0|51|80.0", ""},
    {"TextWithoutAlignment", "", "0|TEXT|8|0|10|2.0|20|3.0|30|0.0|40|1.0|1|Hi", ""},
    {"MTextWithoutDirection", "", "0|MTEXT|8|0|10|4.0|20|5.0|30|0.0|40|1.0|1|M text", ""},
    // A normal that is not of length 1 to the bit.
    {"CircleInItsPlane", "", "0|CIRCLE|8|0|10|1.0|20|2.0|30|0.5|40|2.0|210|0.3|220|0.4|230|0.8660254037844386", ""},
    // A dimension drawn by the block it names.
    {"DimensionWithBlock",
     "0|BLOCK|5|50|8|0|2|*D1|70|1|10|0.0|20|0.0|30|0.0|3|*D1|0|LINE|5|51|8|0|10|0.0|20|5.0|30|0.0|11|3.0|21|5.0|31|"
     "0.0|0|ENDBLK|5|52|8|0",
     "0|DIMENSION|5|53|8|0|100|AcDbEntity|100|AcDbDimension|2|*D1|10|3.0|20|5.0|30|0.0|11|1.5|21|5.0|31|0.0|70|32|3|"
     "Standard|100|AcDbAlignedDimension|13|0.0|23|0.0|33|0.0|14|3.0|24|0.0|34|0.0|50|0.0|100|AcDbRotatedDimension",
     ""},
};

class UndoGivesTheFileBack : public testing::TestWithParam<Drawing> {
protected:
    void SetUp() override
    {
        const std::wstring path = L"C:\\undo.dxf";
        std::ofstream(standin::NativePath(path), std::ios::binary) << File(GetParam());
        standin::QueueText(path);
        ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
        doc = gcDocManagerPtr()->curDocument();
        ASSERT_NE(doc, nullptr);
        opened = Saved();
        ASSERT_NE(opened.find("ENTITIES"), std::string::npos);
    }
    void TearDown() override { EXPECT_EQ(standin::OpenObjectCount(), 0); }

    std::string Saved()
    {
        std::string bytes;
        EXPECT_EQ(standin::WriteDxfBytes(doc->database(), bytes), eOk);
        return bytes;
    }
    OdDbObjectIdArray ModelSpace()
    {
        OdDbBlockTableRecord* ms = nullptr;
        OdDbObjectIdArray ids;
        EXPECT_EQ(oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForRead), eOk);
        for (const OdDbObjectId& id : ms->entityIds())
            if (!id.isErased()) ids.append(id);
        ms->close();
        return ids;
    }
    // Runs a command on every entity of model space: MOVE and COPY by the
    // offset, ERASE.
    void OnAll(const wchar_t* command, const OdGeVector3d& by = OdGeVector3d())
    {
        standin::QueueSelection(ModelSpace());
        if (std::wstring(command) != L"ERASE") {
            standin::QueuePoint(OdGePoint3d(0, 0, 0));
            standin::QueuePoint(OdGePoint3d(by.x, by.y, by.z));
        }
        if (std::wstring(command) == L"COPY") standin::QueueEnter();
        EXPECT_TRUE(standin::InvokeCommand(command));
        EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kEnded) << standin::CommandLineText();
    }
    // As many UNDOs as commands ran: the drawing as opened; then REDO of
    // them all: what the commands made.
    void ExpectUndoAndRedo(size_t commands, const char* what)
    {
        const std::string edited = Saved();
        EXPECT_EQ(standin::UndoDepth(doc), commands) << what;
        for (size_t i = 0; i < commands; ++i) standin::InvokeCommand(L"UNDO");
        EXPECT_EQ(FirstDifference(opened, Saved()), "") << what << ", then UNDO";
        for (size_t i = 0; i < commands; ++i) standin::InvokeCommand(L"REDO");
        EXPECT_EQ(FirstDifference(edited, Saved()), "") << what << ", UNDO and REDO";
        for (size_t i = 0; i < commands; ++i) standin::InvokeCommand(L"UNDO");
        EXPECT_EQ(FirstDifference(opened, Saved()), "") << what << ", UNDO, REDO and UNDO";
        EXPECT_EQ(standin::UndoDepth(doc), 0u);
    }
    // Empty for the same bytes, else the lines about the first that
    // differs, of both.
    static std::string FirstDifference(const std::string& a, const std::string& b)
    {
        if (a == b) return "";
        size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        const size_t from = a.rfind('\n', at > 200 ? at - 200 : 0);
        const size_t start = from == std::string::npos ? 0 : from;
        return "expected\n" + a.substr(start, 300) + "\n---- saved\n" + b.substr(start, 300);
    }

    GcApDocument* doc = nullptr;
    std::string opened;
};

TEST_P(UndoGivesTheFileBack, AfterMoveCopyAndErase)
{
    OnAll(L"MOVE", OdGeVector3d(0.3, 7, 0));
    EXPECT_NE(Saved(), opened);
    ExpectUndoAndRedo(1, "MOVE");
    // Away and back by sums that round: the values are put back, not
    // computed again.
    OnAll(L"MOVE", OdGeVector3d(10, 0.1, 0));
    OnAll(L"MOVE", OdGeVector3d(-10.1, -0.2, 0));
    ExpectUndoAndRedo(2, "MOVE away and back");
    OnAll(L"COPY", OdGeVector3d(0, 30, 0));
    ExpectUndoAndRedo(1, "COPY");
    OnAll(L"ERASE");
    ExpectUndoAndRedo(1, "ERASE");
    OnAll(L"COPY", OdGeVector3d(5, 5, 0));
    OnAll(L"MOVE", OdGeVector3d(1, 2, 0));
    OnAll(L"ERASE");
    ExpectUndoAndRedo(3, "COPY, MOVE and ERASE");
}

INSTANTIATE_TEST_SUITE_P(Kinds, UndoGivesTheFileBack, testing::ValuesIn(kDrawings),
                         [](const testing::TestParamInfo<Drawing>& info) { return std::string(info.param.name); });

// A copied image owns a reactor of its own, which names it and which its
// definition lists beside the original's.
TEST(UndoGivesTheFileBackOfImages, ACopiedImageHasItsOwnReactor)
{
    const Drawing& image = kDrawings[1];
    std::ofstream(standin::NativePath(L"C:\\image.dxf"), std::ios::binary) << File(image);
    standin::QueueText(L"C:\\image.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    OdDbDatabase* db = gcDocManagerPtr()->curDocument()->database();
    OdDbObjectIdArray ids;
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    for (const OdDbObjectId& id : ms->entityIds()) ids.append(id);
    ms->close();
    ASSERT_EQ(ids.length(), 1);
    standin::QueueSelection(ids);
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(20, 0, 0));
    standin::QueueEnter();
    standin::InvokeCommand(L"COPY");
    std::string saved;
    ASSERT_EQ(standin::WriteDxfBytes(db, saved), eOk);
    // The records of each type, as (code, value) lists.
    std::map<std::string, std::vector<std::vector<std::pair<int, std::string>>>> records;
    std::istringstream in(saved);
    std::string code, value, type;
    while (std::getline(in, code) && std::getline(in, value)) {
        if (!value.empty() && value.back() == '\r') value.pop_back();
        if (std::stoi(code) == 0) records[type = value].emplace_back();
        else if (!type.empty()) records[type].back().emplace_back(std::stoi(code), value);
    }
    auto all = [](const std::vector<std::pair<int, std::string>>& r, int c) {
        std::vector<std::string> v;
        for (const auto& g : r)
            if (g.first == c) v.push_back(g.second);
        return v;
    };
    ASSERT_EQ(records["IMAGE"].size(), 2u);
    ASSERT_EQ(records["IMAGEDEF_REACTOR"].size(), 2u);
    ASSERT_EQ(records["IMAGEDEF"].size(), 1u);
    const std::vector<std::string> listed = all(records["IMAGEDEF"][0], 330);
    for (int i = 0; i < 2; ++i) {
        const auto& image = records["IMAGE"][(size_t)i];
        const std::string handle = all(image, 5).at(0);
        ASSERT_EQ(all(image, 360).size(), 1u) << handle;
        const std::string owned = all(image, 360)[0];
        int found = 0;
        for (const auto& reactor : records["IMAGEDEF_REACTOR"]) {
            if (all(reactor, 5).at(0) != owned) continue;
            ++found;
            // Owned by its image, and naming it.
            EXPECT_EQ(all(reactor, 330), std::vector<std::string>({handle, handle}));
        }
        EXPECT_EQ(found, 1) << handle;
        EXPECT_NE(std::find(listed.begin(), listed.end(), owned), listed.end()) << owned;
    }
}

// An application that keeps its own record of the drawing: when a
// command ends it rewrites its Xrecord and adds another, as the module
// does with its data.
struct Application : OdEditorReactor {
    OdDbObjectId record;
    int counted = 0;
    void commandEnded(const OdString& name) override
    {
        if (name.str() == L"UNDO" || name.str() == L"REDO") return;
        OdDbXrecord* x = nullptr;
        ASSERT_EQ(oddbOpenObject(x, record, OdDb::kForWrite), eOk);
        OdResBuf* chain = OdResBuf::newRb(90, (int32_t)++counted);
        x->setFromRbChain(chain);
        OdResBuf::releaseChain(chain);
        x->close();
        OdDbDictionary* nod = nullptr;
        ASSERT_EQ(oddbOpenObject(nod, record.database()->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
        OdDbObjectId added;
        auto* more = new OdDbXrecord();
        EXPECT_EQ(nod->setAt(OdString((L"APP" + std::to_wstring(counted)).c_str()), more, added), eOk);
        more->close();
        nod->close();
    }
};

// What an application changes when it hears a command end is undone and
// redone with the command.
TEST(UndoGivesTheFileBackOfApplications, WhatAReactorChangesAsACommandEndsGoesWithIt)
{
    std::ofstream(standin::NativePath(L"C:\\app.dxf"), std::ios::binary) << File(kDrawings[0]);
    standin::QueueText(L"C:\\app.dxf");
    ASSERT_TRUE(standin::InvokeCommand(L"OPEN"));
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    OdDbDatabase* db = doc->database();
    Application app;
    OdDbDictionary* nod = nullptr;
    ASSERT_EQ(oddbOpenObject(nod, db->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
    auto* x = new OdDbXrecord();
    ASSERT_EQ(nod->setAt(L"APP", x, app.record), eOk);
    x->close();
    nod->close();
    std::string opened, edited, saved;
    ASSERT_EQ(standin::WriteDxfBytes(db, opened), eOk);
    odedEditor->addReactor(&app);
    OdDbObjectIdArray ids;
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
    for (const OdDbObjectId& id : ms->entityIds()) ids.append(id);
    ms->close();
    standin::QueueSelection(ids);
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(3, 4, 0));
    standin::InvokeCommand(L"MOVE");
    ASSERT_EQ(app.counted, 1);
    ASSERT_EQ(standin::WriteDxfBytes(db, edited), eOk);
    EXPECT_NE(edited.find("APP1"), std::string::npos);
    standin::InvokeCommand(L"UNDO");
    ASSERT_EQ(standin::WriteDxfBytes(db, saved), eOk);
    EXPECT_TRUE(saved == opened) << saved;
    standin::InvokeCommand(L"REDO");
    saved.clear();
    ASSERT_EQ(standin::WriteDxfBytes(db, saved), eOk);
    EXPECT_TRUE(saved == edited) << saved;
    odedEditor->removeReactor(&app);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

}  // namespace

namespace {

// ---- every command one step ----

OdDbObjectId g_appRecord;

// An application's command: it draws a line and rewrites its Xrecord.
void DrawAndNote()
{
    OdDbDatabase* db = gcDocManagerPtr()->curDocument()->database();
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId id;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    auto* line = new OdDbLine(OdGePoint3d(0, 5, 0), OdGePoint3d(1, 5, 0));
    EXPECT_EQ(ms->appendOdDbEntity(id, line), eOk);
    line->close();
    ms->close();
    OdDbXrecord* x = nullptr;
    ASSERT_EQ(oddbOpenObject(x, g_appRecord, OdDb::kForWrite), eOk);
    OdResBuf* chain = OdResBuf::newRb(1, L"drawn");
    x->setFromRbChain(chain);
    OdResBuf::releaseChain(chain);
    x->close();
}

// An application's command that runs the host's LINE: one step with it.
void DrawThroughTheHost()
{
    standin::QueuePoint(OdGePoint3d(0, 9, 0));
    standin::QueuePoint(OdGePoint3d(2, 9, 0));
    standin::QueueEnter();
    standin::InvokeCommand(L"LINE");
}

class UndoSteps : public testing::Test {
protected:
    void SetUp() override
    {
        doc = standin::CreateDocument(L"C:\\steps.dwg");
        db = doc->database();
        OdDbDictionary* nod = nullptr;
        ASSERT_EQ(oddbOpenObject(nod, db->getNamedObjectsDictionaryId(), OdDb::kForWrite), eOk);
        auto* x = new OdDbXrecord();
        ASSERT_EQ(nod->setAt(L"APP", x, g_appRecord), eOk);
        x->close();
        nod->close();
        // The drawing as built is where its history starts.
        standin::ForgetDocumentHistory(doc);
        odedRegCmds()->addCommand(L"APP", L"DRAWNOTE", L"DRAWNOTE", GCRX_CMD_MODAL, &DrawAndNote);
        odedRegCmds()->addCommand(L"APP", L"HOSTLINE", L"HOSTLINE", GCRX_CMD_MODAL, &DrawThroughTheHost);
    }
    void TearDown() override
    {
        odedRegCmds()->removeGroup(L"APP");
        EXPECT_EQ(standin::OpenObjectCount(), 0);
    }
    std::string Saved()
    {
        std::string bytes;
        EXPECT_EQ(standin::WriteDxfBytes(db, bytes), eOk);
        return bytes;
    }
    // The command line from `from` on.
    std::wstring Said(size_t from) { return standin::CommandLineText().substr(from); }

    GcApDocument* doc = nullptr;
    OdDbDatabase* db = nullptr;
};

// A command is one step whether it changed the drawing or not, was
// cancelled or failed: UNDO takes back that command alone, names it, and
// puts back the view and IMAGEFRAME it set; what an application's command
// changed, also through a host command it ran, goes with it.
TEST_F(UndoSteps, EveryCommandIsOneStepUndoNames)
{
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(4, 0, 0));
    standin::QueueEnter();
    standin::InvokeCommand(L"LINE");
    const std::string drawn = Saved();
    const OdGePoint3d centre = standin::SysVarPoint(L"VIEWCTR");
    const double height = standin::SysVarReal(L"VIEWSIZE");
    struct Case {
        const wchar_t* command;
        std::function<void()> answers;
    } cases[] = {
        {L"POINT", [] { standin::QueueCancel(); }},
        {L"APPLOAD", [] { standin::QueueText(L"C:\\missing.grx"); }},
        {L"-LAYER", [] { standin::QueueEnter(); }},
        {L"ZOOM", [] { standin::QueueText(L"Extents"); }},
        {L"IMAGEFRAME", [] { standin::QueueText(L"2"); }},
        {L"DRAWNOTE", [] {}},
        {L"HOSTLINE", [] {}},
    };
    standin::SetAppLoader([](const std::wstring&) { return false; });
    for (const Case& c : cases) {
        c.answers();
        ASSERT_TRUE(standin::InvokeCommand(c.command)) << c.command;
        EXPECT_EQ(standin::UndoDepth(doc), 2u) << c.command;
        const size_t from = standin::CommandLineText().size();
        standin::InvokeCommand(L"UNDO");
        EXPECT_NE(Said(from).find(std::wstring(L"Undone: ") + c.command), std::wstring::npos) << Said(from);
        EXPECT_EQ(standin::UndoDepth(doc), 1u) << c.command;
        EXPECT_TRUE(Saved() == drawn) << c.command;
        EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), centre) << c.command;
        EXPECT_EQ(standin::SysVarReal(L"VIEWSIZE"), height) << c.command;
        EXPECT_EQ(standin::SysVarShort(L"IMAGEFRAME"), 0) << c.command;
    }
    // REDO gives the application's changes and the view back.
    standin::InvokeCommand(L"DRAWNOTE");
    const std::string noted = Saved();
    standin::InvokeCommand(L"UNDO");
    size_t from = standin::CommandLineText().size();
    standin::InvokeCommand(L"REDO");
    EXPECT_NE(Said(from).find(L"Redone: DRAWNOTE"), std::wstring::npos) << Said(from);
    EXPECT_TRUE(Saved() == noted);
    standin::InvokeCommand(L"UNDO");
    standin::QueueText(L"Extents");
    standin::InvokeCommand(L"ZOOM");
    const OdGePoint3d zoomed = standin::SysVarPoint(L"VIEWCTR");
    EXPECT_NE(zoomed, centre);
    standin::InvokeCommand(L"UNDO");
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), zoomed);
    standin::InvokeCommand(L"UNDO");
    // Then the line, and nothing more.
    standin::InvokeCommand(L"UNDO");
    from = standin::CommandLineText().size();
    standin::InvokeCommand(L"UNDO");
    EXPECT_NE(Said(from).find(L"Nothing to undo."), std::wstring::npos) << Said(from);
    EXPECT_EQ(standin::UndoDepth(doc, true), 2u);
}

// A MOVE's history holds the values it changed, not copies of what it
// moved: at most 200 bytes an entity (a copy of each took 658).
TEST_F(UndoSteps, AMoveKeepsWhatItChangedNotCopies)
{
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    OdDbObjectIdArray ids;
    for (int i = 0; i < 3000; ++i) {
        OdDbEntity* e = i % 3 == 0   ? (OdDbEntity*)new OdDbLine(OdGePoint3d(i, 0, 0), OdGePoint3d(i, 1, 0))
                        : i % 3 == 1 ? (OdDbEntity*)new OdDbCircle(OdGePoint3d(i, 2, 0), OdGeVector3d(0, 0, 1), 1)
                                     : (OdDbEntity*)new OdDbText(OdGePoint3d(i, 4, 0), L"text");
        OdDbObjectId id;
        ASSERT_EQ(ms->appendOdDbEntity(id, e), eOk);
        e->close();
        ids.append(id);
    }
    ms->close();
    standin::ForgetDocumentHistory(doc);
    const std::string before = Saved();
    standin::QueueSelection(ids);
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(0.3, 7, 0));
    standin::InvokeCommand(L"MOVE");
    const std::string moved = Saved();
    const double kept = standin::HeapBytesInUse();
    standin::InvokeCommand(L"UNDO");
    standin::InvokeCommand(L"REDO");
    EXPECT_TRUE(Saved() == moved);
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(Saved() == before);
    standin::ForgetDocumentHistory(doc);
    const double perEntity = (kept - standin::HeapBytesInUse()) / ids.length();
    EXPECT_GT(perEntity, 0);
    EXPECT_LE(perEntity, 200);
}

}  // namespace
