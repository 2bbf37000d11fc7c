// The contour download: the two requests byte by byte, the shape that
// hands a range to the peer, the answers by status, the refused ranges and
// answers, the progress meter, and the command with its dialog.
#include "section/contour.h"

#include "contour_fixture.h"

namespace {

const UINT kContourDialog = 8218;

class ContourTest : public PeerJobTest {
protected:
    void SetUp() override
    {
        PeerJobTest::SetUp();
        state = &drawing->contour;
        state->level = 12;
        state->precision = 10;
    }

    // The user drew this rectangle for the command (mode 0) and RECTANG ended.
    bool Drawn(OdDbObjectId rectangle)
    {
        state->mode = 0;
        ads_name name;
        oddbGetAdsName(name, rectangle);
        return ContourFromExtents(state, name);
    }
    // The contour request the peer received last: its 192-byte record.
    std::vector<uint8_t> LastRecord() const
    {
        std::vector<velkpeer::PeerMessage> sent = Sent(20303);
        if (sent.empty()) return {};
        const std::vector<uint8_t>& b = sent.back().bytes;
        return std::vector<uint8_t>(b.begin() + 16, b.end());
    }
    // An answer record carrying `data`, as the peer answers a request.
    static const int64_t kDataSize = INT64_MIN;
    std::vector<uint8_t> Answer(int32_t status, int32_t dataState, const std::vector<uint8_t>& data,
                                int64_t announced = kDataSize)
    {
        std::vector<uint8_t> answer(192 + data.size());
        memcpy(answer.data() + 64, &dataState, 4);
        memcpy(answer.data() + 68, &status, 4);
        int32_t length = announced == kDataSize ? (int32_t)data.size() : (int32_t)announced;
        memcpy(answer.data() + 88, &length, 4);
        std::copy(data.begin(), data.end(), answer.begin() + 192);
        return answer;
    }
    // An exchange buffer of contour tracks.
    static std::vector<uint8_t> Tracks(const std::vector<int32_t>& heights)
    {
        std::vector<uint8_t> out(16 + 64);
        out[0] = 101;
        for (int32_t h : heights) {
            velkpeer::PeerTrack t;
            t.points = {{0, 0, h}, {10, 0, h}, {20, 5, h}};
            std::vector<uint8_t> body = velkpeer::EncodeTrack(t);
            std::vector<uint8_t> head(64);
            uint32_t size = (uint32_t)body.size(), kind = 8;
            memcpy(head.data(), &size, 4);
            memcpy(head.data() + 4, &kind, 4);
            out.insert(out.end(), head.begin(), head.end());
            out.insert(out.end(), body.begin(), body.end());
        }
        uint32_t total = (uint32_t)(out.size() - 80);
        memcpy(out.data() + 16, &total, 4);
        return out;
    }
    void Reply(const std::vector<uint8_t>& answer) { OnContourReply(state, answer.data(), (uint32_t)answer.size()); }
    size_t OnContourLayer() const
    {
        size_t n = 0;
        for (const auto& id : CDwgDatabaseUtil::GetAllEntityIds(L"Velk_contour", db)) n += id.isNull() ? 0 : 1;
        return n;
    }

    ContourState* state = nullptr;
};

TEST_F(ContourTest, TheFirstRequestWidensTheRangeByTenPixelsAndTheSecondSendsItAsChosen)
{
    // Level 12 shows 2^8 = 256 drawing units per pixel.
    peer->ContourCodes().dataState = 2;
    standin::QueueMessageBoxAnswer(IDNO);  // download what there is
    OdDbObjectId rectangle = Rectangle(1000, 2000, 1100, 2050);
    ASSERT_TRUE(Drawn(rectangle));

    std::vector<velkpeer::PeerMessage> sent = Sent(20303);
    ASSERT_EQ(sent.size(), 2u);
    // The level resolutions were asked at the centre of the range first.
    std::vector<velkpeer::PeerMessage> levels = Sent(20212);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(At<double>(levels.back().bytes, 24), 1050.0);
    EXPECT_EQ(At<double>(levels.back().bytes, 32), 2025.0);

    for (size_t i = 0; i < 2; ++i) {
        const std::vector<uint8_t>& whole = sent[i].bytes;
        ASSERT_EQ(whole.size(), 16u + 192u);
        EXPECT_EQ(At<uint16_t>(whole, 0), 101);
        std::vector<uint8_t> r(whole.begin() + 16, whole.end());
        const bool first = i == 0;
        const double widen = first ? 2560.0 : 0.0;
        EXPECT_EQ(At<int64_t>(r, 0), 0);
        EXPECT_EQ(At<int64_t>(r, 8), 1);
        EXPECT_EQ(At<double>(r, 16), 1000.0 - widen);
        EXPECT_EQ(At<double>(r, 24), 2000.0 - widen);
        EXPECT_EQ(At<double>(r, 32), 1100.0 + widen);
        EXPECT_EQ(At<double>(r, 40), 2050.0 + widen);
        EXPECT_EQ(r[48], 2);
        EXPECT_EQ(At<int32_t>(r, 52), 12);
        EXPECT_EQ(At<int32_t>(r, 56), 10);
        EXPECT_EQ(At<int32_t>(r, 60), first ? 1 : 0);
        EXPECT_EQ(At<int32_t>(r, 104), 1);
        EXPECT_EQ(At<uint32_t>(r, 108), (uint32_t)sent[i].connectionId);
        EXPECT_NE(sent[i].connectionId, 0);
        // Nothing else is set.
        for (size_t at : {49, 50, 51, 64, 68, 72, 80, 88, 96, 100}) EXPECT_EQ(r[at], 0) << at;
        for (size_t at = 112; at < 192; ++at) ASSERT_EQ(r[at], 0) << at;
    }
    // The second request ended the job: the rectangle is gone.
    EXPECT_FALSE(Exists(rectangle));
    EXPECT_EQ(BoxTexts().size(), 1u);

    // Each new range takes the next number.
    Drawn(Rectangle(0, 0, 50, 50));
    EXPECT_EQ(At<int64_t>(LastRecord(), 0), 1);
    EXPECT_EQ(state->requestId, 1);
    // After the largest number the count goes on from the smallest.
    g_contourRequestCounter = INT32_MAX;
    Drawn(Rectangle(0, 0, 60, 60));
    EXPECT_EQ(state->requestId, INT32_MAX);
    Drawn(Rectangle(0, 0, 70, 70));
    EXPECT_EQ(state->requestId, INT32_MIN);
    EXPECT_EQ(g_contourRequestCounter, INT32_MIN + 1);
}

TEST_F(ContourTest, WithoutElevationDataTheRangeGoesToThePeerAsAShapeAndStays)
{
    peer->ContourCodes().dataState = 0;
    OdDbObjectId rectangle = Rectangle(1000, 2000, 1100, 2050);
    ASSERT_TRUE(Drawn(rectangle));
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], L"当前拓岚尚未下载高程数据，请先到拓岚下载。\r\n系统将发送该矩形区域到拓岚。");
    EXPECT_TRUE(Exists(rectangle));
    EXPECT_EQ(state->mode, 1);
    EXPECT_EQ(Sent(20303).size(), 1u);

    // The shape: 20 pixels wider than the range, at the peer's top level.
    std::vector<velkpeer::PeerMessage> uploads = Sent(20102);
    ASSERT_EQ(uploads.size(), 1u);
    const std::vector<uint8_t>& u = uploads[0].bytes;
    EXPECT_EQ(u[2], 13);
    EXPECT_EQ(At<uint32_t>(u, 4), 1u);  // a new object at the top
    EXPECT_EQ(At<uint32_t>(u, 8), 0u);
    std::vector<uint8_t> shape(u.begin() + 16, u.end());
    EXPECT_EQ(std::string((const char*)shape.data()).rfind("Contour_Shape_", 0), 0u);
    EXPECT_EQ(shape[124], 2);
    EXPECT_EQ(At<uint32_t>(shape, 120), 2u);
    EXPECT_EQ(At<double>(shape, 128), 0.0);
    EXPECT_EQ(At<double>(shape, 136), 0.0);
    const size_t points = shape.size() - 2 * 48;
    EXPECT_EQ(At<double>(shape, points), 2000.0 - 5120);      // y
    EXPECT_EQ(At<double>(shape, points + 8), 1000.0 - 5120);  // x
    EXPECT_EQ(At<double>(shape, points + 48), 2050.0 + 5120);
    EXPECT_EQ(At<double>(shape, points + 56), 1100.0 + 5120);
    ASSERT_EQ(peer->Objects().size(), 1u);
    EXPECT_EQ(peer->Objects().begin()->second.kind, 13u);
    // The peer's map moved to the centre of the range at the level.
    std::vector<velkpeer::PeerMessage> moves = Sent(20011);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(At<double>(moves[0].bytes, 0), 2025.0);
    EXPECT_EQ(At<double>(moves[0].bytes, 8), 1050.0);
    EXPECT_EQ(moves[0].bytes[16], 2);
    EXPECT_EQ(At<uint32_t>(moves[0].bytes, 28), 12u);

    // Incomplete data, and the user goes to the peer first: the same.
    standin::QueueMessageBoxAnswer(IDYES);
    peer->ContourCodes().dataState = 2;
    OdDbObjectId second = Rectangle(0, 0, 40, 40);
    ASSERT_TRUE(Drawn(second));
    EXPECT_TRUE(Exists(second));
    EXPECT_EQ(state->mode, 1);
    EXPECT_EQ(Sent(20102).size(), 2u);
    EXPECT_EQ(Sent(20303).size(), 2u);

    // Data the peer has enough of but wants asked again: the second request
    // goes at once.
    peer->ContourCodes().dataState = 1;
    peer->ContourCodes().askAgain = true;
    OdDbObjectId third = Rectangle(0, 0, 40, 40);
    ASSERT_TRUE(Drawn(third));
    EXPECT_EQ(Sent(20303).size(), 4u);
    EXPECT_EQ(At<int32_t>(LastRecord(), 60), 0);
    EXPECT_FALSE(Exists(third));
}

TEST_F(ContourTest, APeerAskingAgainForTheSecondRequestGetsItOnce)
{
    // Every request answered "enough data, ask again": the second request
    // is the last one sent, not the start of an endless exchange.
    peer->ContourCodes().dataState = 1;
    peer->ContourCodes().failures = {kContourNoElevation, kContourNoElevation, kContourNoElevation};
    OdDbObjectId rectangle = Rectangle(0, 0, 200, 200);
    ASSERT_TRUE(Drawn(rectangle));
    ASSERT_EQ(Sent(20303).size(), 2u);
    EXPECT_EQ(At<int32_t>(LastRecord(), 60), 0);
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n其他错误！"));
    // The job ended once: the rectangle is gone.
    EXPECT_FALSE(Exists(rectangle));

    // Incomplete data and "No" inside the second request: the same.
    peer->ContourCodes().dataState = 2;
    peer->ContourCodes().failures = {kContourNoElevation, kContourNoElevation};
    const size_t boxes = BoxTexts().size();
    standin::QueueMessageBoxAnswer(IDNO);
    ASSERT_TRUE(Drawn(Rectangle(0, 0, 200, 200)));
    EXPECT_EQ(Sent(20303).size(), 4u);
    EXPECT_EQ(BoxTexts().size(), boxes + 1);
    // A new job asks again as before.
    peer->ContourCodes().failures = {kContourNoElevation};
    peer->ContourCodes().dataState = 1;
    ASSERT_TRUE(Drawn(Rectangle(0, 0, 200, 200)));
    EXPECT_EQ(Sent(20303).size(), 6u);
}

TEST_F(ContourTest, AnswersInPartsDrawTheLinesAndOnlyTheLastEndsTheJob)
{
    OdDbObjectId rectangle = Rectangle(0, 0, 200, 200);
    state->entityId = rectangle;
    state->mode = 0;
    Reply(Answer(kContourMoreFollows, 1, Tracks({1200, 1250})));
    EXPECT_EQ(OnContourLayer(), 4u);  // two lines and their labels
    EXPECT_EQ(state->busy, 0);
    EXPECT_TRUE(Exists(rectangle));
    EXPECT_FALSE(Has(standin::CommandLineText(), L"下载完毕"));

    const int restored = standin::RestoreStatusBarCount();
    Reply(Answer(0, 1, Tracks({1230})));
    EXPECT_EQ(OnContourLayer(), 6u);
    EXPECT_FALSE(Exists(rectangle));
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n下载完毕"));
    EXPECT_GT(standin::RestoreStatusBarCount(), restored);

    // A final answer without data only ends the job.
    OdDbObjectId next = Rectangle(0, 0, 200, 200);
    state->entityId = next;
    Reply(Answer(0, 1, {}));
    EXPECT_EQ(OnContourLayer(), 6u);
    EXPECT_FALSE(Exists(next));
}

TEST_F(ContourTest, TheWholeJobAgainstThePeersSurface)
{
    peer->ContourCodes().hills = velkpeer::PeerContourCodes::HillsOver(0, 0, 100000, 80000);
    peer->ContourCodes().answers = 3;
    state->precision = 50;
    OdDbObjectId rectangle = Rectangle(0, 0, 100000, 80000);
    ASSERT_TRUE(Drawn(rectangle));
    EXPECT_FALSE(Exists(rectangle));
    std::vector<OdDbObjectId> lines = All<OdDb3dPolyline>();
    ASSERT_GT(lines.size(), 4u);
    for (auto id : lines) EXPECT_EQ(Reading<OdDb3dPolyline>(id)->layer(), L"Velk_contour");
    // Every line lies at a multiple of the precision above the base.
    for (auto id : All<OdDbText>()) {
        int height = std::stoi(Reading<OdDbText>(id)->textString().c_str());
        EXPECT_EQ(height % 50, 0) << height;
    }
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n下载完毕"));
}

TEST_F(ContourTest, AnswersShorterThanTheDataTheyAnnounceAreDropped)
{
    OdDbObjectId rectangle = Rectangle(0, 0, 200, 200);
    state->entityId = rectangle;
    std::vector<uint8_t> data = Tracks({1200});
    // One byte short of what it announces.
    std::vector<uint8_t> cut = Answer(0, 1, data, (int32_t)data.size() + 1);
    Reply(cut);
    // Short of the record itself.
    std::vector<uint8_t> head = Answer(0, 1, {});
    head.resize(191);
    Reply(head);
    EXPECT_EQ(EntityCount(), 1u);
    EXPECT_TRUE(Exists(rectangle));
    EXPECT_FALSE(Has(standin::CommandLineText(), L"下载完毕"));

    // Bytes beyond the announced data are not read as data; a negative
    // length is no data.
    std::vector<uint8_t> longer = Answer(kContourMoreFollows, 1, data);
    longer.insert(longer.end(), 300, 0xEE);
    Reply(longer);
    Reply(Answer(kContourMoreFollows, 1, {}, 0));
    std::vector<uint8_t> negative = Answer(0, 1, data, -5);
    Reply(negative);
    EXPECT_EQ(OnContourLayer(), 2u);
    EXPECT_FALSE(Exists(rectangle));
}

TEST_F(ContourTest, RangesSmallerThanTenUnitsBothWaysAreRefused)
{
    OdDbObjectId tiny = Rectangle(0, 0, 9.9, 9.9);
    EXPECT_FALSE(Drawn(tiny));
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n您选择的范围太小，无法生成地图！\\"));
    // The rectangle drawn for it goes too.
    EXPECT_FALSE(Exists(tiny));
    EXPECT_TRUE(Sent(20303).empty());

    // A picked entity stays.
    OdDbObjectId picked = Rectangle(0, 0, 5, 5);
    state->mode = 2;
    ads_name name;
    oddbGetAdsName(name, picked);
    EXPECT_FALSE(ContourFromExtents(state, name));
    EXPECT_TRUE(Exists(picked));

    // Narrow one way only is enough.
    EXPECT_TRUE(Drawn(Rectangle(0, 0, 5, 100)));
    EXPECT_EQ(Sent(20303).size(), 1u);
    // An entity that does not open sends nothing.
    ads_name none{0, 0};
    EXPECT_FALSE(ContourFromExtents(state, none));
    EXPECT_EQ(Sent(20303).size(), 1u);
}

TEST_F(ContourTest, RangeErrorsAndOtherFailures)
{
    OdDbObjectId rectangle = Rectangle(0, 0, 200, 200);
    state->entityId = rectangle;
    Reply(Answer(kContourRangeTooLarge, 1, {}));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"当前操作(取高程)超出系统支持的范围！\r\n请缩小范围后再操作！"});
    EXPECT_FALSE(Exists(rectangle));

    // Any other failure is told on the command line; the rectangle stays.
    OdDbObjectId kept = Rectangle(0, 0, 200, 200);
    state->entityId = kept;
    Reply(Answer(-103, 1, {}));
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n地图尺寸太大！"));
    EXPECT_TRUE(Exists(kept));

    // The peer refusing the request: reported in a box, the rectangle stays.
    peer->QueueAnswer(20303, -6);
    OdDbObjectId refused = Rectangle(0, 0, 200, 200);
    EXPECT_TRUE(Drawn(refused));
    EXPECT_TRUE(Has(BoxTexts().back(), L"GetVelkContourErr:"));
    EXPECT_TRUE(Exists(refused));
}

TEST_F(ContourTest, TheMeterShowsOnlyForTotalsAboveTwenty)
{
    OnContourProgress(state, 5, 20);
    EXPECT_FALSE(standin::StatusBarProgress().shown);
    OnContourProgress(state, 7, 21);
    EXPECT_TRUE(standin::StatusBarProgress().shown);
    EXPECT_EQ(standin::StatusBarProgress().label, L"正在提取高程数据");
    EXPECT_EQ(standin::StatusBarProgress().maxPos, 21);
    EXPECT_EQ(standin::StatusBarProgress().pos, 7);

    // An answer that ends the job without a result takes the meter away.
    for (int32_t status : {kContourRangeTooLarge, -103, kContourNoElevation}) {
        OnContourProgress(state, 7, 21);
        ASSERT_TRUE(standin::StatusBarProgress().shown);
        if (status == kContourNoElevation) standin::QueueMessageBoxAnswer(IDOK);
        Reply(Answer(status, 0, {}));
        EXPECT_FALSE(standin::StatusBarProgress().shown) << status;
    }
    // A part of the result keeps it.
    OnContourProgress(state, 7, 21);
    Reply(Answer(kContourMoreFollows, 1, {}));
    EXPECT_TRUE(standin::StatusBarProgress().shown);

    // The peer's own progress messages reach it through the receiver window.
    peer->ContourCodes().progressTotal = 40;
    Drawn(Rectangle(0, 0, 100, 100));
    standin::PumpMessages();
    EXPECT_EQ(standin::StatusBarProgress().maxPos, 40);
    EXPECT_EQ(standin::StatusBarProgress().pos, 40);
}

TEST_F(ContourTest, TheCommandAsksTheDialogThenADrawnRectangleOrAPick)
{
    // The user draws: the editor reactor waits for RECTANG.
    standin::QueueDialogAnswer(kContourDialog, [](HWND dlg) {
        standin::DialogItem(dlg, 8143).selection = 2;
        standin::DialogItem(dlg, 8213).text = L"50";
        return IDOK;
    });
    ContourCommand(state);
    EXPECT_EQ(state->level, 7);
    EXPECT_EQ(state->precision, 50);
    EXPECT_EQ(state->mode, 0);
    EXPECT_EQ(g_pEditorReactor->m_nPendingRect, 2);
    EXPECT_EQ(standin::SentCommandStrings(), std::vector<std::wstring>{L"_rectang "});
    EXPECT_TRUE(Has(standin::CommandLineText(), L"\n请框选一个矩形区域！"));

    // The user picks an entity; after the range went to the peer the next
    // command opens on that option.
    state->mode = 1;
    OdDbObjectId picked = Rectangle(0, 0, 300, 300);
    standin::QueuePick(picked, OdGePoint3d(0, 0, 0));
    int entityOption = -1;
    standin::QueueDialogAnswer(kContourDialog, [&](HWND dlg) {
        entityOption = standin::DialogItem(dlg, 8215).check;
        return IDOK;
    });
    ContourCommand(state);
    EXPECT_EQ(entityOption, 1);
    EXPECT_EQ(state->mode, 2);
    EXPECT_EQ(state->entityId, picked);
    EXPECT_EQ(standin::Prompts().back(), L"\n请选择一个实体：");
    ASSERT_EQ(Sent(20303).size(), 1u);
    // The job ended, and the picked entity stays.
    EXPECT_TRUE(Exists(picked));

    // A cancelled dialog, and a peer in longitude and latitude, send nothing.
    ContourCommand(state);
    peer->Config().coordKind = 2;
    standin::QueueDialogAnswer(kContourDialog, [](HWND) { return IDOK; });
    ContourCommand(state);
    EXPECT_EQ(BoxTexts().back(), L"当前系统为经纬度坐标系，请设置！");
    EXPECT_EQ(Sent(20303).size(), 1u);
    EXPECT_EQ(standin::DialogsShown().size(), 4u);
}

}  // namespace
