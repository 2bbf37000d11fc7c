// The transport against the stand-in peer: lazy registration, the version
// gate, refusals, the one resend and what follows it, 20102 ids, the time-out
// form and a missing peer; and the two text converters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "peer/peerapi.h"
#include "standin_peer.h"
#include "window_control.h"

namespace {

using velkpeer::StandinPeer;

class TransportTest : public testing::Test {
protected:
    void SetUp() override
    {
        state = PeerApiState{};
        PeerApiSetClientName(&state, L"VelkArxWin");
        peer = std::make_unique<StandinPeer>();
    }
    int Request(uint32_t code, int64_t* answer = nullptr, int timeoutMs = 0)
    {
        static const char payload[] = "abc";
        return PeerApiRequest(&state, code, payload, 3, answer, timeoutMs);
    }

    PeerApiState state;
    std::unique_ptr<StandinPeer> peer;
};

TEST_F(TransportTest, FirstRequestRegistersThenAsksTheVersion)
{
    int64_t answer = -99;
    EXPECT_EQ(Request(20202, &answer), 0);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20202}));
    const auto& reg = peer->Messages()[0];
    EXPECT_EQ(reg.connectionId, 0);
    ASSERT_EQ(reg.bytes.size(), 118u);  // 98 + 2 x 10 units
    for (size_t i = 0; i < 96; ++i) EXPECT_EQ(reg.bytes[i], 0) << i;
    EXPECT_EQ(reg.bytes[96], 'V');
    EXPECT_EQ(reg.bytes[97], 0);
    EXPECT_EQ(reg.bytes[114], 'n');
    EXPECT_EQ(reg.bytes[116], 0);
    EXPECT_EQ(reg.bytes[117], 0);
    EXPECT_EQ(peer->Messages()[1].connectionId, 1);
    EXPECT_TRUE(peer->Messages()[1].bytes.empty());
    EXPECT_EQ(peer->Messages()[2].connectionId, 1);
    EXPECT_EQ(state.connectionId, 1);
    EXPECT_EQ(state.peerVersion, 900);
    EXPECT_EQ(Request(20202), 0);
    EXPECT_EQ(peer->Codes().size(), 4u);  // no second registration
}

TEST_F(TransportTest, VersionGateRefusesObjectCodesBelow621)
{
    peer->Config().version = 620;
    EXPECT_EQ(Request(20100), -3);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006}));
    EXPECT_EQ(Request(20202), 0);
    peer->Config().version = 621;
    state.connectionId = 0;
    peer->QueueAnswer(20100, 0);  // the three-byte payload is no object packet
    EXPECT_EQ(Request(20100), 0);
    EXPECT_EQ(peer->Codes().back(), 20100u);
}

TEST_F(TransportTest, RefusalsPassWithoutResend)
{
    for (int refusal : {-6, -8}) {
        peer->QueueAnswer(20011, refusal);
        int64_t answer = 0;
        EXPECT_EQ(Request(20011, &answer), refusal);
        EXPECT_EQ(answer, refusal);
    }
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20011, 20011}));
}

TEST_F(TransportTest, LostRegistrationIsRenewedAndTheRequestSentOnce)
{
    ASSERT_EQ(Request(20202), 0);
    peer->ForgetClients();
    int64_t answer = -99;
    EXPECT_EQ(Request(20202, &answer), 0);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20202, 20202, 20000, 20006, 20202}));
    EXPECT_EQ(peer->Messages()[3].answer, -1);
    EXPECT_EQ(state.connectionId, 2);
}

TEST_F(TransportTest, ANegativeSecondAnswerIsAFailureAndNotResent)
{
    peer->QueueAnswer(20112, -1);
    peer->QueueAnswer(20112, -5);
    int64_t answer = 0;
    EXPECT_EQ(Request(20112, &answer), -5);
    EXPECT_EQ(answer, -5);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20112, 20000, 20006, 20112}));

    // -6 and -8 keep their meaning on the second answer too.
    peer->QueueAnswer(20112, -1);
    peer->QueueAnswer(20112, -8);
    EXPECT_EQ(Request(20112), -8);
}

TEST_F(TransportTest, AnswerSlotIsLeftAloneWhenTheResendNeverHappens)
{
    ASSERT_EQ(Request(20202), 0);
    // The peer forgot us and then refuses the new registration.
    peer->ForgetClients();
    peer->Config().refuseRegistration = true;
    int64_t answer = -99;
    EXPECT_EQ(Request(20202, &answer), -2);
    EXPECT_EQ(answer, -99);

    // Registered again, but the peer now reports a version below the gate.
    peer->Config().refuseRegistration = false;
    ASSERT_EQ(Request(20202), 0);
    peer->ForgetClients();
    peer->Config().version = 600;
    peer->QueueAnswer(20100, 0);
    state.peerVersion = 900;
    EXPECT_EQ(Request(20100, &answer), -3);
    EXPECT_EQ(answer, -99);
}

TEST_F(TransportTest, UploadAnswersBelowMinus100AreIds)
{
    peer->QueueAnswer(20102, -200);
    int64_t answer = 0;
    EXPECT_EQ(Request(20102, &answer), 0);
    EXPECT_EQ(answer, 0xFFFFFF38);

    // -50 is a failure like any other: renewed registration, one resend.
    peer->QueueAnswer(20102, -50);
    peer->QueueAnswer(20102, 77);
    EXPECT_EQ(Request(20102, &answer), 0);
    EXPECT_EQ(answer, 77);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20102, 20102, 20000, 20006, 20102}));

    // After the resend an id answer is still an id.
    peer->QueueAnswer(20102, -1);
    peer->QueueAnswer(20102, -300);
    EXPECT_EQ(Request(20102, &answer), 0);
    EXPECT_EQ(answer, (int64_t)(uint32_t)-300);
}

TEST_F(TransportTest, MissingPeerResetsTheStateAndFailedRegistrationGivesMinus2)
{
    ASSERT_EQ(Request(20202), 0);
    peer.reset();
    EXPECT_EQ(Request(20202), -1);
    EXPECT_EQ(state.connectionId, 0);
    EXPECT_EQ(state.peerVersion, 0);

    velkpeer::PeerConfig refusing;
    refusing.refuseRegistration = true;
    peer = std::make_unique<StandinPeer>(refusing);
    EXPECT_EQ(Request(20202), -2);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000}));
}

TEST_F(TransportTest, BlockedIdStopsRequestsUntilThePeerIsGone)
{
    ASSERT_EQ(Request(20202), 0);
    state.connectionId = -10;
    EXPECT_EQ(Request(20202), -10);
    EXPECT_EQ(peer->Codes().size(), 3u);
    peer.reset();
    EXPECT_EQ(Request(20202), -1);
    peer = std::make_unique<StandinPeer>();
    EXPECT_EQ(Request(20202), 0);
}

TEST_F(TransportTest, AReRegistrationAnsweredBlockedEndsTheRequest)
{
    ASSERT_EQ(Request(20202), 0);
    // The peer lost the registration and now blocks the client: the
    // request ends there, and is not sent again under the blocked id.
    peer->ForgetClients();
    peer->QueueAnswer(20000, -10);
    int64_t answer = -99;
    EXPECT_EQ(Request(20202, &answer), -10);
    EXPECT_EQ(answer, -99);
    EXPECT_EQ(peer->Codes(), (std::vector<uint32_t>{20000, 20006, 20202, 20202, 20000, 20006}));
    EXPECT_EQ(state.connectionId, -10);
}

TEST_F(TransportTest, TimeoutFormAnswersOneZeroOrMinusOne)
{
    int64_t answer = 55;
    peer->QueueAnswer(20401, 3);
    EXPECT_EQ(Request(20401, &answer, 1), 1);
    EXPECT_EQ(answer, 3);

    standin::SetSendTimeoutOutcome(peer->Window(), standin::SendTimeoutOutcome::TimeOut);
    answer = 55;
    size_t sent = peer->Messages().size();
    EXPECT_EQ(Request(20401, &answer, 1), 0);
    EXPECT_EQ(answer, 55);
    EXPECT_EQ(peer->Messages().size(), sent);
    standin::PumpMessages();  // the peer handles it late
    EXPECT_EQ(peer->Messages().size(), sent + 1);

    standin::SetSendTimeoutOutcome(peer->Window(), standin::SendTimeoutOutcome::Fail);
    peer->QueueAnswer(20401, -1);
    EXPECT_EQ(Request(20401, &answer, 1), -1);
    EXPECT_EQ(peer->Messages().size(), sent + 1);  // never resent
}

TEST(ClientName, LongNamesAreCutTo99Units)
{
    PeerApiState state{};
    std::wstring name(120, L'x');
    PeerApiSetClientName(&state, name.c_str());
    EXPECT_EQ(std::wstring(state.clientName), std::wstring(99, L'x'));
}

TEST(Converters, WideToUtf8NeverSplitsACharacter)
{
    char out[8];
    memset(out, 'z', sizeof out);
    EXPECT_EQ(WideToUtf8(L"a\u00e9\u4e2d", out, 4), 3);
    EXPECT_EQ(std::string(out), "a\xc3\xa9");
    EXPECT_EQ(out[3], 0);
    // A character beyond the BMP goes out as two three-byte surrogate halves.
    char wide[16];
    EXPECT_EQ(WideToUtf8(L"\U0001F600", wide, 16), 6);
    EXPECT_EQ(std::string(wide), "\xed\xa0\xbd\xed\xb8\x80");
    wchar_t back[8];
    Utf8ToWide(wide, back, nullptr);
    EXPECT_EQ(std::wstring(back), L"\U0001F600");
}

TEST(Converters, Utf8ToWideIsLenient)
{
    uint32_t count = 99;
    wchar_t* out = Utf8ToWide("ab\xF0\x9F\x98\x80" "c", nullptr, &count);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::wstring(out), L"ab\U0001F600c");  // four-byte characters are kept
    EXPECT_EQ(count, 4u);
    free(out);

    wchar_t buf[8];
    Utf8ToWide("a\x80" "b", buf, &count);
    EXPECT_EQ(std::wstring(buf), L"a");
    Utf8ToWide("\xe4\xb8\xad\xe4\xb8", buf, &count);  // a cut character ends it
    EXPECT_EQ(std::wstring(buf), L"\u4e2d");
    Utf8ToWide("x\xF8\x80\x80\x80\x80y", buf, &count);  // five-byte forms are skipped
    EXPECT_EQ(std::wstring(buf), L"xy");
    Utf8ToWide("\xF0\x9F\x98", buf, &count);
    EXPECT_EQ(count, 0u);
    // A four-byte lead that begins no character is skipped with its three
    // followers, and the text goes on.
    Utf8ToWide("a\xF0" "bcdef", buf, &count);
    EXPECT_EQ(std::wstring(buf), L"aef");
    Utf8ToWide("a\xF4\x90\x80\x80" "b", buf, &count);  // beyond U+10FFFF
    EXPECT_EQ(std::wstring(buf), L"ab");
    EXPECT_EQ(count, 2u);
}

}  // namespace
