#include "peer_shell.h"

#include <algorithm>

#include "peer_wire.h"

namespace velkpeer {

namespace {
const size_t kRelateHead = 40;
const size_t kRelatePoint = 80;
const size_t kVersionAnswer = 408;
const size_t kNoticeHead = 64;
const size_t kMapState = 104;
const size_t kMatchRequest = 112;
}  // namespace

bool PeerShellCodes::Serves(uint32_t code) { return code == 20201 || code == 20204 || code == 20301; }

int64_t PeerShellCodes::Handle(uint32_t code, const std::vector<uint8_t>& bytes, const Reply& reply)
{
    if (code == 20204) {
        std::vector<uint8_t> answer(kVersionAnswer);
        PutU32(answer, 4, (uint32_t)newestPluginVersion);
        reply(code, answer);
        return 0;
    }
    if (code == 20301) {
        // The request's record comes back with the sizes and some point data.
        if (!IsPacket(bytes, kMatchRequest)) return -4;
        std::vector<uint8_t> answer(bytes);
        PutU32(answer, 68, (uint32_t)matchSize);
        PutU32(answer, 72, (uint32_t)matchSize2);
        answer.resize(kMatchRequest + 16);
        reply(code, answer);
        return 0;
    }
    // 20201: the head, the 40-byte block, whole relate points.
    const size_t fixed = kPacketHead + kRelateHead;
    if (!IsPacket(bytes, bytes.size()) || bytes.size() < fixed + kRelatePoint ||
        (bytes.size() - fixed) % kRelatePoint)
        return -4;
    RelateRequest request{U32(bytes, kPacketHead), {}};
    for (size_t at = fixed; at < bytes.size(); at += kRelatePoint)
        request.points.emplace_back(bytes.begin() + (long)at, bytes.begin() + (long)(at + kRelatePoint));
    relateRequests_.push_back(std::move(request));
    int32_t result = 0;
    if (!relateResults.empty()) {
        result = relateResults.front();
        relateResults.pop_front();
    }
    std::vector<uint8_t> answer;
    PutU32(answer, 0, (uint32_t)result);
    reply(code, answer);
    return 0;
}

std::vector<uint8_t> PeerShellCodes::UpdateNotice(int32_t version, const std::string& text)
{
    std::vector<uint8_t> notice(kNoticeHead + text.size() + 1);  // the text and its NUL
    PutU32(notice, 4, (uint32_t)version);
    std::copy(text.begin(), text.end(), notice.begin() + kNoticeHead);
    return notice;
}

std::vector<uint8_t> PeerShellCodes::MapState(int32_t level, int32_t mapType)
{
    std::vector<uint8_t> state(kMapState);
    PutU32(state, 44, (uint32_t)level);
    PutU32(state, 48, (uint32_t)mapType);
    return state;
}

void PeerShellCodes::PostProgress(HWND client, bool contour, uint32_t total, uint32_t done)
{
    UINT message = RegisterWindowMessageW(contour ? L"R_VELK_API_MSG_GET_CONTOUR_LINE_PROGRESS"
                                                  : L"R_VELK_API_MSG_GET_MAP_FILE_PROGRESS");
    PostMessageW(client, message, total, done);
}

}  // namespace velkpeer
