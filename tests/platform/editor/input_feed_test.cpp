// The editor's input as a host reading a script file takes it: the feeder
// is asked for each answer only when an input call needs one, refused
// answers reach the refusal handler, and the host's view and layer
// commands and the command line's breaks that scripts rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcedreactor.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbsymboltable.h"

namespace {

struct ViewEvents : OdEditorReactor {
    int changes = 0;
    void viewChanged() override { ++changes; }
};

class InputFeedTest : public testing::Test {
protected:
    void SetUp() override { db = standin::CreateDocument(L"C:\\dwg\\feed.dwg")->database(); }

    std::vector<OdDbObjectId> ModelSpace()
    {
        std::vector<OdDbObjectId> ids;
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead), eOk);
        for (const OdDbObjectId& id : ms->entityIds())
            if (!id.isErased()) ids.push_back(id);
        ms->close();
        return ids;
    }

    // A feeder that gives the lines in order, one an input call, and notes
    // what it was asked.
    void FeedLines(std::vector<std::wstring> lines)
    {
        feed = std::move(lines);
        standin::SetInputFeeder([this](const standin::InputRequest& r) {
            asked.push_back(r.prompt);
            kinds.push_back(r.kind);
            if (feed.empty()) return false;
            const std::wstring line = feed.front();
            feed.erase(feed.begin());
            if (line.empty()) standin::QueueEnter();
            else if (line.find(L',') != std::wstring::npos) {
                const size_t c = line.find(L',');
                standin::QueuePoint(OdGePoint3d(std::stod(line.substr(0, c)), std::stod(line.substr(c + 1)), 0));
            } else standin::QueueText(line);
            return true;
        });
    }

    OdDbDatabase* db = nullptr;
    std::vector<std::wstring> feed, asked;
    std::vector<standin::InputKind> kinds;
};

// LINE takes its points one prompt at a time; answers queued ahead come
// first; a feeder with nothing more cancels the call, and the command's
// outcome says so.
TEST_F(InputFeedTest, TheFeederIsAskedOnlyWhenAnInputCallNeedsAnAnswer)
{
    FeedLines({L"0,0", L"10,0", L"10,5", L""});
    ASSERT_TRUE(standin::InvokeCommand(L"LINE"));
    EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kEnded);
    EXPECT_EQ(ModelSpace().size(), 2u);
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"Specify first point: ", L"Specify next point: ",
                                                L"Specify next point: ", L"Specify next point: "}));
    EXPECT_EQ(kinds.front(), standin::InputKind::kPoint);
    EXPECT_TRUE(feed.empty());

    asked.clear();
    standin::QueuePoint(OdGePoint3d(1, 1, 0));
    FeedLines({L"2,2"});
    ASSERT_TRUE(standin::InvokeCommand(L"LINE"));
    // The queued point, the fed one, then nothing more: cancelled.
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kCancelled);
    EXPECT_EQ(ModelSpace().size(), 3u);
    EXPECT_EQ(standin::LastPoint(), OdGePoint3d(2, 2, 0));
}

// An answer the call does not take is asked again, unless the refusal
// handler cancels the call; each refusal says why.
TEST_F(InputFeedTest, RefusedAnswersReachTheHandlerWhichMayCancel)
{
    std::vector<std::wstring> why;
    bool askAgain = true;
    standin::SetRefusalHandler([&](const standin::InputRequest&, const std::wstring& w) {
        why.push_back(w);
        return askAgain;
    });
    FeedLines({L"many", L"2.5"});
    double v = 0;
    EXPECT_EQ(gcedGetReal(L"Height: ", &v), RTNORM);
    EXPECT_EQ(v, 2.5);
    FeedLines({L"nowhere"});
    ads_point p;
    EXPECT_EQ(gcedGetPoint(nullptr, L"Point: ", p), RTCAN);  // refused, then nothing more
    askAgain = false;
    FeedLines({L"Sideways", L"Left"});
    gcedInitGet(0, L"Left Right");
    wchar_t word[16];
    EXPECT_EQ(gcedGetKword(L"Side: ", word, 16), RTCAN);
    EXPECT_EQ(feed.size(), 1u);  // cancelled at once, "Left" never asked for
    FeedLines({L"0,0"});
    ads_name ss;
    EXPECT_EQ(gcedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN);
    EXPECT_EQ(why, (std::vector<std::wstring>{L"not a number", L"not a point", L"not one of the keywords",
                                              L"not a selection"}));
}

// ZOOM shows a centre and height, a window fitted to the screen's aspect,
// or model space's extents; each tells the editor's reactors.
TEST_F(InputFeedTest, ZoomSetsTheViewAndTellsTheReactors)
{
    ViewEvents events;
    odedEditor->addReactor(&events);
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(1000, 500, 0));
    FeedLines({L"C", L"100,50", L"20"});
    ASSERT_TRUE(standin::InvokeCommand(L"ZOOM"));
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), OdGePoint3d(100, 50, 0));
    EXPECT_EQ(standin::SysVarReal(L"VIEWSIZE"), 20);
    FeedLines({L"W", L"0,0", L"40,10"});
    ASSERT_TRUE(standin::InvokeCommand(L"ZOOM"));
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), OdGePoint3d(20, 5, 0));
    EXPECT_EQ(standin::SysVarReal(L"VIEWSIZE"), 20);  // 40 wide on a 2:1 screen
    auto* line = new OdDbLine(OdGePoint3d(-10, -10, 0), OdGePoint3d(10, 30, 0));
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    OdDbObjectId lineId;
    ms->appendOdDbEntity(lineId, line);
    line->close();
    ms->close();
    FeedLines({L""});
    ASSERT_TRUE(standin::InvokeCommand(L"ZOOM"));
    EXPECT_EQ(standin::SysVarPoint(L"VIEWCTR"), OdGePoint3d(0, 10, 0));
    EXPECT_EQ(standin::SysVarReal(L"VIEWSIZE"), 40);
    EXPECT_EQ(events.changes, 3);
    FeedLines({L"C", L"0,0", L"-1"});
    ASSERT_TRUE(standin::InvokeCommand(L"ZOOM"));
    EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kFailed);
    EXPECT_EQ(events.changes, 3);
    odedEditor->removeReactor(&events);
}

// -LAYER makes a layer current (new entities land on it) and turns layers
// off; a layer that does not exist cannot be set. IMAGEFRAME takes 0 to 2.
TEST_F(InputFeedTest, LayerAndImageFrameCommands)
{
    FeedLines({L"Make", L"截图", L"OFF", L"0", L""});
    ASSERT_TRUE(standin::InvokeCommand(L"-LAYER"));
    EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kEnded);
    FeedLines({L"1,1"});
    ASSERT_TRUE(standin::InvokeCommand(L"POINT"));
    OdDbEntity* e = nullptr;
    ASSERT_EQ(oddbOpenObject(e, ModelSpace().back(), OdDb::kForRead), eOk);
    EXPECT_EQ(e->layer(), L"截图");
    e->close();
    OdDbLayerTableRecord* zero = nullptr;
    ASSERT_EQ(oddbOpenObject(zero, db->getLayerZeroId(), OdDb::kForRead), eOk);
    EXPECT_TRUE(zero->isOff());
    zero->close();

    FeedLines({L"Set", L"nowhere"});
    ASSERT_TRUE(standin::InvokeCommand(L"-LAYER"));
    EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kFailed);
    EXPECT_NE(standin::CommandLineText().find(L"nowhere"), std::wstring::npos);

    FeedLines({L"2"});
    ASSERT_TRUE(standin::InvokeCommand(L"IMAGEFRAME"));
    EXPECT_EQ(standin::SysVarShort(L"IMAGEFRAME"), 2);
    for (const wchar_t* bad : {L"3", L"1.5", L"1e30", L"-1e30"}) {
        FeedLines({bad});
        ASSERT_TRUE(standin::InvokeCommand(L"IMAGEFRAME"));
        EXPECT_EQ(standin::LastCommandOutcome(), standin::CommandOutcome::kFailed) << bad;
        EXPECT_EQ(standin::SysVarShort(L"IMAGEFRAME"), 2);
    }
}

// Messages printed without line breaks, and commands that start and end,
// leave breaks where a transcript starts new lines.
TEST_F(InputFeedTest, TheCommandLineBreaksAtCommandsAndMessages)
{
    struct Printer : OdEditorReactor {
        void commandEnded(const OdString& c) override { gcutPrintf(L"%s Ended", c.c_str()); }
    } printer;
    odedEditor->addReactor(&printer);
    gcutPrintf(L"one");
    gcutPrintf(L"two");
    FeedLines({L"0,0", L"1,1"});
    standin::InvokeCommand(L"RECTANG");
    odedEditor->removeReactor(&printer);
    const std::wstring& text = standin::CommandLineText();
    EXPECT_EQ(text, L"onetwoRECTANG Ended");
    std::vector<std::wstring> pieces;
    size_t from = 0;
    for (size_t at : standin::CommandLineBreaks()) {
        if (at > from) pieces.push_back(text.substr(from, at - from));
        from = at;
    }
    pieces.push_back(text.substr(from));
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"one", L"two", L"RECTANG Ended"}));
}

}  // namespace
