// What the user picks: base-map tiles stay out of selections and
// highlighting, and a double click opens the plug-in's editor on one entity
// or leaves the click to the host.
#include "dialog_control.h"
#include "gcedinput.h"
#include "reactor_fixture.h"

namespace {

class SelectionTest : public ReactorTest {
protected:
    // Lines standing for placed tiles of the active drawing.
    uint64_t Tile(double x)
    {
        uint64_t h = Line(x, 100, x + 1, 100);
        g_ptagDocIdManager->baseMap.placedHandles[h] = h;
        return h;
    }
    short DblClkEdit()
    {
        resbuf rb{};
        gcedGetVar(L"DBLCLKEDIT", &rb);
        return rb.resval.rint;
    }
};

TEST_F(SelectionTest, TilesAreDroppedFromSelectionsAndHighlighting)
{
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    uint64_t line1 = Line(0, 0, 1, 1), line2 = Line(0, 2, 1, 3);
    // Nothing placed yet: nothing is filtered.
    uint64_t early = Line(9, 9, 9, 8);
    EXPECT_EQ(standin::RollOver(Ids({early})), Ids({early}));
    uint64_t t1 = Tile(0), t2 = Tile(5), t3 = Tile(10);

    // Tiles at the front, between and at the end of one selection.
    Erase({t1, line1, t2, t3, line2});
    for (uint64_t h : {line1, line2}) EXPECT_TRUE(Id(h).isErased());
    for (uint64_t h : {t1, t2, t3}) EXPECT_FALSE(Id(h).isErased());
    // Only tiles: nothing is left to select.
    standin::QueueSelection(Ids({t2, t3}));
    Run(L"ERASE");
    EXPECT_FALSE(Id(t2).isErased());

    EXPECT_TRUE(standin::RollOver(Ids({t1})).isEmpty());
    EXPECT_EQ(standin::RollOver(Ids({early})), Ids({early}));
    EXPECT_EQ(standin::RollOver(Ids({early, t1, line1})), Ids({early, line1}));

    // Another drawing's entities are judged by that drawing's own tiles.
    GcApDocument* b = standin::CreateDocument(L"C:\\dwg\\b.dwg");
    EXPECT_EQ(g_ptagDocIdManager, Record(b));
    while (Line(0, 0, 1, 0, b) < t1) {
    }
    EXPECT_EQ(standin::RollOver(Ids({t1}, b)), Ids({t1}, b));
    standin::ActivateDocument(a);
    EXPECT_TRUE(standin::RollOver(Ids({t1})).isEmpty());
}

TEST_F(SelectionTest, ADoubleClickOpensThePluginsEditorOnOneEntityOnly)
{
    GcApDocument* a = standin::CreateDocument(L"C:\\dwg\\a.dwg");
    Start();
    Line(0, 0, 10, 0);
    Line(0, 0, 0, 10);
    uint64_t single = Line(20, 0, 30, 0);

    // With the option off the host edits what is clicked.
    g_settings.doubleClickProperties = 0;
    standin::DoubleClick(OdGePoint3d(25, 0, 0));
    ASSERT_EQ(standin::HostDoubleClickEdits().length(), 1);
    EXPECT_EQ(standin::HostDoubleClickEdits().last(), Id(single));
    g_settings.doubleClickProperties = 1;

    // Empty space: nothing is opened and the host keeps its own editor.
    standin::DoubleClick(OdGePoint3d(50, 50, 0));
    EXPECT_EQ(DblClkEdit(), 1);
    // Two entities under the point: the same.
    standin::DoubleClick(OdGePoint3d(0, 0, 0));
    EXPECT_EQ(DblClkEdit(), 1);
    ASSERT_EQ(standin::HostDoubleClickEdits().length(), 2);
    // One entity: the plug-in takes the click from the host.
    standin::DoubleClick(OdGePoint3d(25, 0, 0));
    EXPECT_EQ(DblClkEdit(), 0);
    EXPECT_EQ(standin::HostDoubleClickEdits().length(), 2);
    EXPECT_EQ(standin::LiveSelectionSets(), 0);
    EXPECT_EQ(a->lockCount(), 0);
    EXPECT_TRUE(TakeResends().empty());

    // Confirmed with a change, the entity goes to the peer again.
    standin::QueueDialogAnswer(8337, [](HWND dialog) {
        standin::TypeIntoDialogItem(dialog, 8136, L"renamed");
        return IDOK;
    });
    standin::DoubleClick(OdGePoint3d(25, 0, 0));
    EXPECT_EQ(TakeResends(), (std::vector<std::vector<uint64_t>>{{single}}));
    EXPECT_EQ(g_bSuppressReactors, 1);
    EXPECT_EQ(FindEntityLink(g_ptagDocIdManager->links, single)->name, CString(L"renamed"));
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

}  // namespace
