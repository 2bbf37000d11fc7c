#include <gtest/gtest.h>

#include <type_traits>

#include "common/entity/circleutil.h"
#include "common/entity/entityutil.h"
#include "common/entity/lineutil.h"
#include "common/interaction/getinpututil.h"
#include "common/interaction/selectutil.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"

namespace {

OdDbDatabase* NewDrawing() { return standin::CreateDocument(L"C:\\d\\a.dwg")->database(); }

OdDbObjectId Line(double x1, double y1, double x2, double y2, const wchar_t* layer = L"")
{
    EntityProps props;
    props.layer = layer;
    return CLineUtil::Add(OdGePoint3d(x1, y1, 0), OdGePoint3d(x2, y2, 0), props,
                          oddbHostApplicationServices()->workingDatabase());
}

std::vector<uint64_t> Handles(const OdDbObjectIdArray& ids)
{
    std::vector<uint64_t> out;
    for (const auto& id : ids) out.push_back(id.getHandle());
    return out;
}

}  // namespace

// The list owns its nodes: a copy would free them twice.
static_assert(!std::is_copy_constructible<NamedIdList>::value && !std::is_copy_assignable<NamedIdList>::value,
              "NamedIdList must not be copied");

TEST(NamedIdList, GroupsInOrderOfFirstArrivalAndNamesAreCaseSensitive)
{
    NewDrawing();
    NamedIdList list;
    OdDbObjectId a = Line(0, 0, 1, 1), b = Line(0, 0, 2, 2), c = Line(0, 0, 3, 3), d = Line(0, 0, 4, 4);
    list.Set(a, L"A");
    list.Set(b, L"B");
    list.Set(c, L"A");
    list.Set(d, L"a");
    ASSERT_NE(list.first, nullptr);
    EXPECT_EQ(list.first->name, L"A");
    EXPECT_EQ(Handles(list.first->ids), Handles({a, c}));
    ASSERT_NE(list.first->next, nullptr);
    EXPECT_EQ(list.first->next->name, L"B");
    ASSERT_NE(list.first->next->next, nullptr);
    EXPECT_EQ(list.first->next->next->name, L"a");
    EXPECT_EQ(list.first->next->next->next, nullptr);
    EXPECT_EQ(list.current, list.first->next->next);
}

TEST(ImpliedSelection, GroupsByLayerThenClearsThePickFirstSet)
{
    NewDrawing();
    OdDbObjectId a = Line(0, 0, 1, 1, L"A"), b = Line(0, 0, 1, 1, L"B"), c = Line(0, 0, 1, 1, L"A");
    standin::SetPickFirst({a, b, c});
    NamedIdList list;
    EXPECT_TRUE(CSelectUtil::GetImpliedSelection(L"unused", list));
    ASSERT_NE(list.first, nullptr);
    EXPECT_EQ(list.first->name, L"A");
    EXPECT_EQ(Handles(list.first->ids), Handles({a, c}));
    ASSERT_NE(list.first->next, nullptr);
    EXPECT_EQ(Handles(list.first->next->ids), Handles({b}));
    EXPECT_TRUE(standin::PickFirst().isEmpty());
    EXPECT_EQ(standin::LiveSelectionSets(), 0);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(ImpliedSelection, EmptyPickFirstLeavesTheListEmptyFreesNothingAndStillClears)
{
    NewDrawing();
    // The host gives no implied selection when all it held was erased since.
    OdDbObjectId gone = Line(0, 0, 1, 1);
    CEntityUtil::Erase(gone);
    standin::SetPickFirst({gone});
    NamedIdList list;
    EXPECT_TRUE(CSelectUtil::GetImpliedSelection(L"", list));
    EXPECT_EQ(list.first, nullptr);
    EXPECT_TRUE(standin::HostViolations().empty());  // no free of a set that was never made
    EXPECT_TRUE(standin::PickFirst().isEmpty());
}

TEST(WindowSelection, CrossingIgnoresCornerOrderAndCountsTouching)
{
    NewDrawing();
    OdDbObjectId inside = Line(1, 1, 2, 2), touching = Line(10, 0, 12, 3), outside = Line(10.1, 0, 12, 3);
    OdDbObjectIdArray ids{outside, inside};  // what the caller held stays, and is added again
    CSelectUtil::SelectCrossingWindow(OdGePoint2d(10, 10), OdGePoint2d(0, 0), ids);
    EXPECT_EQ(Handles(ids), Handles({outside, inside, inside, touching}));
    OdDbObjectIdArray other;
    CSelectUtil::SelectCrossingWindow(OdGePoint2d(0, 0), OdGePoint2d(10, 10), other);
    EXPECT_EQ(Handles(other), Handles({inside, touching}));

    OdDbObjectIdArray lines;
    CSelectUtil::SelectCrossingWindowOfClass(OdGePoint2d(0, 0), OdGePoint2d(10, 10), lines, OdDbCircle::desc());
    EXPECT_TRUE(lines.isEmpty());
    CSelectUtil::SelectAllOfClass(OdDbCurve::desc(), lines);
    EXPECT_EQ(lines.length(), 3);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(WindowSelection, InsideIsStrictAndNeedsLowerLeftFirst)
{
    NewDrawing();
    OdDbObjectId inside = Line(1, 1, 2, 2);
    Line(0, 1, 2, 2);  // touches the left edge
    OdDbObjectIdArray ids;
    CSelectUtil::SelectInsideWindow(OdGePoint2d(0, 0), OdGePoint2d(10, 10), ids);
    EXPECT_EQ(Handles(ids), Handles({inside}));
    ids.clear();
    CSelectUtil::SelectInsideWindow(OdGePoint2d(10, 10), OdGePoint2d(0, 0), ids);
    EXPECT_TRUE(ids.isEmpty());
}

TEST(PromptSelection, PromptIsPrintedAsTextAndACancelFreesNoSet)
{
    NewDrawing();
    OdDbObjectId a = Line(0, 0, 1, 1);
    OdDbObjectIdArray ids{a};
    standin::QueueCancel();
    EXPECT_FALSE(CSelectUtil::PromptSelect(L"\n100%s done", nullptr, ids));
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(standin::CommandLineText(), L"\n100%s done");
    EXPECT_TRUE(standin::HostViolations().empty());

    standin::QueueSelection({a});
    EXPECT_TRUE(CSelectUtil::PromptSelect(L"", nullptr, ids));
    EXPECT_EQ(Handles(ids), Handles({a}));
    EXPECT_EQ(standin::LiveSelectionSets(), 0);
}

TEST(PromptSelection, OnlyOtherClassesGiveFalseAndAnEmptyArray)
{
    NewDrawing();
    OdDbObjectId a = Line(0, 0, 1, 1);
    OdDbObjectIdArray ids;
    standin::QueueSelection({a});
    EXPECT_FALSE(CSelectUtil::PromptSelectOfClasses(L"", {OdDbCircle::desc()}, ids));
    EXPECT_TRUE(ids.isEmpty());
    standin::QueueSelection({a});
    EXPECT_TRUE(CSelectUtil::PromptSelectOfClass(L"", OdDbLine::desc(), ids));
    EXPECT_EQ(ids.length(), 1);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(PickEntity, AWrongClassIsAskedAgainAndTheHitStaysOpen)
{
    NewDrawing();
    OdDbObjectId line = Line(0, 0, 1, 1);
    OdDbObjectId circle = CCircleUtil::Add(OdGePoint3d(5, 5, 0), 1, EntityProps(),
                                           oddbHostApplicationServices()->workingDatabase());
    OdDbObjectId layer = oddbHostApplicationServices()->workingDatabase()->getLayerZeroId();
    standin::QueuePick(circle, OdGePoint3d(6, 5, 0));  // opened, of another class, closed again
    standin::QueuePick(layer, OdGePoint3d(5, 5, 0));   // no entity: cannot be opened as one
    standin::QueuePick(line, OdGePoint3d(0.5, 0.5, 0));
    OdDbEntity* ent = nullptr;
    OdGePoint3d pt;
    ASSERT_TRUE(CSelectUtil::PickEntityOfClass(L"pick", OdDbLine::desc(), ent, pt, true));
    EXPECT_EQ(ent->objectId(), line);
    EXPECT_TRUE(ent->isWriteEnabled());
    EXPECT_EQ(pt, OdGePoint3d(0.5, 0.5, 0));
    const std::wstring again = L"\n选择的实体类型不合要求, 请再次选择...";
    EXPECT_EQ(standin::CommandLineText(), again + again);
    EXPECT_EQ(standin::OpenObjectCount(), 1);
    ent->close();

    standin::QueueCancel();
    EXPECT_FALSE(CSelectUtil::PickEntityOfClasses(L"pick", {OdDbLine::desc()}, ent, pt, false));
    EXPECT_EQ(ent, nullptr);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}

TEST(KeywordInput, DefaultOnEnterAndNoEmptyInputWithoutDefault)
{
    int index = -1;
    standin::QueueEnter();
    EXPECT_TRUE(CGetInputUtil::GetKeyword(L"Mode", L"Line Arc Text", L"Arc", 1, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(standin::Prompts().back(), L"Mode<Arc>:");

    standin::QueueEnter();
    standin::QueueText(L"t");
    EXPECT_TRUE(CGetInputUtil::GetKeyword(L"Mode ", L"Line Arc Text", nullptr, 0, index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(standin::Prompts().back(), L"Mode :");

    standin::QueueCancel();
    EXPECT_FALSE(CGetInputUtil::GetKeyword(L"Mode", L"Line Arc Text", L"Arc", 1, index));
}

TEST(KeywordInput, KeywordsLongerThanTwentyCharactersFit)
{
    int index = -1;
    standin::QueueText(L"DownloadTheWholeBaseMapAgain");
    EXPECT_TRUE(CGetInputUtil::GetKeyword(L"Mode", L"Keep DownloadTheWholeBaseMapAgain", L"Keep", 0, index));
    EXPECT_EQ(index, 1);
}

TEST(KeywordInput, AnAnswerOutsideTheListIsNoChoice)
{
    int index = 7;
    standin::QueueText(L"whatever");
    // A list of blanks gives the host no keywords, so any text comes back.
    EXPECT_FALSE(CGetInputUtil::GetKeyword(L"Mode", L"   ", nullptr, 0, index));
    EXPECT_EQ(index, 7);
}

TEST(RealInput, ShowsOnlyTheDefaultFormattedAndKeepsItOnEnter)
{
    double v = 0;
    standin::QueueEnter();
    EXPECT_TRUE(CGetInputUtil::GetReal(L"Scale 100%s: ", 2.5, 2, v));
    EXPECT_EQ(v, 2.5);
    EXPECT_EQ(standin::Prompts().back(), L"Scale 100%s<2.50>:");
    standin::QueueText(L"4");
    EXPECT_TRUE(CGetInputUtil::GetReal(L"Scale", 2.5, 0, v));
    EXPECT_EQ(v, 4);
    EXPECT_EQ(standin::Prompts().back(), L"Scale<2>:");
    EXPECT_FALSE(CGetInputUtil::GetReal(L"Scale", 2.5, 0, v));
}

TEST(PointInput, ConvertsBetweenTheUserSystemAndTheWorld)
{
    standin::SetUcs(OdGePoint3d(100, 0, 0), OdGeVector3d(0, 1, 0), OdGeVector3d(-1, 0, 0));
    OdGePoint3d p;
    standin::QueuePoint(OdGePoint3d(1, 2, 0));  // in the user system
    EXPECT_TRUE(CGetInputUtil::GetPointFromBase(OdGePoint3d(100, 5, 0), L"Next point", p));
    EXPECT_TRUE(p.isEqualTo(OdGePoint3d(98, 1, 0)));
    OdGePoint3d base;
    ASSERT_TRUE(standin::LastRubberBandBase(base));
    EXPECT_TRUE(base.isEqualTo(OdGePoint3d(5, 0, 0)));
    EXPECT_EQ(standin::Prompts().back(), L"Next point");

    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    EXPECT_EQ(CGetInputUtil::GetPointRaw(L"请在CAD中选择一个点作为关联点！\n", p), RTNORM);
    EXPECT_TRUE(p.isEqualTo(OdGePoint3d(100, 0, 0)));
    EXPECT_FALSE(standin::LastRubberBandBase(base));

    p.set(7, 7, 7);
    standin::QueueCancel();
    EXPECT_FALSE(CGetInputUtil::GetPoint(L"p", p));
    EXPECT_EQ(p, OdGePoint3d(7, 7, 7));
    standin::QueueEnter();
    EXPECT_EQ(CGetInputUtil::GetPointRaw(L"p", p), RTNONE);
}
