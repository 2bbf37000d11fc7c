#include "peer_contour.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <cstdio>
#include <map>

#include "peer_encode.h"
#include "peer_shell.h"
#include "peer_wire.h"

namespace velkpeer {

namespace {

const size_t kItem = 192;
const size_t kRecordHeader = 64;
const uint32_t kContourCode = 20303;
const uint32_t kTrackKind = 8;
const int32_t kDone = 0;
const int32_t kMoreFollows = -102;
const int32_t kTooLarge = -101;
const int32_t kNoData = -7;
// More levels than this in one range are not drawn.
const int kMostLevels = 2000;
// Contour lines in the peer's contour colour (0x00BBGGRR).
const uint32_t kContourColour = 0x002060A0;

ContourAsk Decode(const std::vector<uint8_t>& b, size_t at)
{
    ContourAsk a;
    a.id = (int64_t)U64(b, at);
    a.value8 = (int64_t)U64(b, at + 8);
    a.minX = F64(b, at + 16);
    a.minY = F64(b, at + 24);
    a.maxX = F64(b, at + 32);
    a.maxY = F64(b, at + 40);
    a.kind = b[at + 48];
    a.level = I32(b, at + 52);
    a.precision = I32(b, at + 56);
    a.first = I32(b, at + 60);
    a.value104 = I32(b, at + 104);
    a.connectionId = U32(b, at + 108);
    return a;
}

// An exchange buffer of tracks: the packet head, the root header, then each
// record behind its header.
std::vector<uint8_t> FrameTracks(const std::vector<std::vector<uint8_t>>& bodies)
{
    std::vector<uint8_t> out(kPacketHead + kRecordHeader);
    out[0] = 101;
    for (const auto& body : bodies) {
        size_t at = out.size();
        out.resize(at + kRecordHeader);
        PutU32(out, at, (uint32_t)body.size());
        PutU32(out, at + 4, kTrackKind);
        out.insert(out.end(), body.begin(), body.end());
    }
    PutU32(out, kPacketHead, (uint32_t)(out.size() - kPacketHead - kRecordHeader));
    return out;
}

// The answer: the request's record with the peer's fields, and room for
// `dataSize` bytes of data after it.
std::vector<uint8_t> AnswerRecord(const std::vector<uint8_t>& request, size_t at, int32_t status, int32_t state,
                                  size_t dataSize = 0)
{
    std::vector<uint8_t> answer(kItem + dataSize);
    std::copy(request.begin() + (long)at, request.begin() + (long)(at + kItem), answer.begin());
    PutU32(answer, 64, (uint32_t)state);
    PutU32(answer, 68, (uint32_t)status);
    PutU32(answer, 88, (uint32_t)dataSize);
    return answer;
}

}  // namespace

double PeerContourCodes::Elevation(double x, double y) const
{
    double z = baseElevation;
    for (const Hill& h : hills) {
        const double dx = x - h.x, dy = y - h.y;
        z += h.height * std::exp(-(dx * dx + dy * dy) / (2 * h.sigma * h.sigma));
    }
    return z;
}

std::vector<Hill> PeerContourCodes::HillsOver(double minX, double minY, double maxX, double maxY)
{
    const double w = maxX - minX, h = maxY - minY, s = std::min(w, h);
    return {{minX + 0.35 * w, minY + 0.45 * h, 320, 0.18 * s},
            {minX + 0.7 * w, minY + 0.6 * h, 210, 0.12 * s},
            {minX + 0.55 * w, minY + 0.15 * h, -90, 0.2 * s}};
}

std::vector<PeerContourCodes::Line> PeerContourCodes::Lines(double minX, double minY, double maxX, double maxY,
                                                            int32_t interval) const
{
    std::vector<Line> lines;
    const int n = std::max(2, grid);
    if (!(std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY)) ||
        !(maxX > minX) || !(maxY > minY) || interval < 1)
        return lines;
    const double dx = (maxX - minX) / n, dy = (maxY - minY) / n;
    std::vector<double> v((size_t)(n + 1) * (n + 1));
    auto at = [&](int i, int j) -> double& { return v[(size_t)j * (n + 1) + i]; };
    double low = 1e300, high = -1e300;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            at(i, j) = Elevation(minX + i * dx, minY + j * dy);
            low = std::min(low, at(i, j));
            high = std::max(high, at(i, j));
        }
    const long long first = (long long)std::ceil(low / interval), last = (long long)std::floor(high / interval);
    if (last - first + 1 > kMostLevels) return lines;

    // Edges: 2 (j (n + 1) + i) runs from node (i, j) to (i + 1, j), the next
    // id to (i, j + 1). A crossed edge holds the one point of the level on it.
    auto hEdge = [&](int i, int j) { return 2 * ((long long)j * (n + 1) + i); };
    auto vEdge = [&](int i, int j) { return 2 * ((long long)j * (n + 1) + i) + 1; };
    for (long long k = first; k <= last; ++k) {
        const double level = (double)k * interval;
        std::map<long long, std::pair<double, double>> point;
        auto cross = [&](long long id, int i0, int j0, int i1, int j1) {
            const double a = at(i0, j0), b = at(i1, j1);
            const double t = (level - a) / (b - a);
            point[id] = {minX + (i0 + t * (i1 - i0)) * dx, minY + (j0 + t * (j1 - j0)) * dy};
        };
        std::vector<std::pair<long long, long long>> segments;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const bool b0 = at(i, j) >= level, b1 = at(i + 1, j) >= level, b2 = at(i + 1, j + 1) >= level,
                           b3 = at(i, j + 1) >= level;
                const long long bottom = hEdge(i, j), right = vEdge(i + 1, j), top = hEdge(i, j + 1),
                                left = vEdge(i, j);
                std::vector<long long> crossed;
                if (b0 != b1) cross(bottom, i, j, i + 1, j), crossed.push_back(bottom);
                if (b1 != b2) cross(right, i + 1, j, i + 1, j + 1), crossed.push_back(right);
                if (b3 != b2) cross(top, i, j + 1, i + 1, j + 1), crossed.push_back(top);
                if (b0 != b3) cross(left, i, j, i, j + 1), crossed.push_back(left);
                if (crossed.size() == 2) {
                    segments.push_back({crossed[0], crossed[1]});
                } else if (crossed.size() == 4) {
                    // A saddle: the centre decides which corners the lines cut off.
                    const bool centre = (at(i, j) + at(i + 1, j) + at(i + 1, j + 1) + at(i, j + 1)) / 4 >= level;
                    if (centre == b0) {
                        segments.push_back({bottom, right});
                        segments.push_back({top, left});
                    } else {
                        segments.push_back({left, bottom});
                        segments.push_back({right, top});
                    }
                }
            }
        // Segments meet on shared edges: chain them into lines.
        std::multimap<long long, size_t> byEdge;
        for (size_t s = 0; s < segments.size(); ++s) {
            byEdge.insert({segments[s].first, s});
            byEdge.insert({segments[s].second, s});
        }
        std::vector<bool> used(segments.size());
        auto next = [&](long long edge) -> long long {
            auto range = byEdge.equal_range(edge);
            for (auto it = range.first; it != range.second; ++it)
                if (!used[it->second]) {
                    used[it->second] = true;
                    const auto& seg = segments[it->second];
                    return seg.first == edge ? seg.second : seg.first;
                }
            return -1;
        };
        for (size_t s = 0; s < segments.size(); ++s) {
            if (used[s]) continue;
            used[s] = true;
            std::deque<long long> chain{segments[s].first, segments[s].second};
            for (long long e = next(chain.back()); e >= 0; e = next(chain.back())) chain.push_back(e);
            for (long long e = next(chain.front()); e >= 0; e = next(chain.front())) chain.push_front(e);
            Line line{(int32_t)level, {}, chain.front() == chain.back()};
            for (long long e : chain) line.points.push_back(point[e]);
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

int64_t PeerContourCodes::Handle(const std::vector<uint8_t>& bytes, HWND client, const Reply& reply)
{
    // The head, then whole items.
    if (!IsPacket(bytes, bytes.size()) || bytes.size() == kPacketHead || (bytes.size() - kPacketHead) % kItem)
        return -4;
    for (size_t at = kPacketHead; at < bytes.size(); at += kItem) {
        const ContourAsk ask = Decode(bytes, at);
        asks_.push_back(ask);
        if (!failures.empty()) {
            const int32_t status = failures.front();
            failures.pop_front();
            reply(kContourCode, AnswerRecord(bytes, at, status, dataState));
            continue;
        }
        if (!(ask.maxX - ask.minX <= largestRange) || !(ask.maxY - ask.minY <= largestRange)) {
            reply(kContourCode, AnswerRecord(bytes, at, kTooLarge, dataState));
            continue;
        }
        if (ask.first == 1 && (dataState != 1 || askAgain)) {
            reply(kContourCode, AnswerRecord(bytes, at, kNoData, askAgain ? 1 : dataState));
            continue;
        }
        std::vector<std::vector<uint8_t>> tracks;
        for (const Line& line : Lines(ask.minX, ask.minY, ask.maxX, ask.maxY, ask.precision)) {
            PeerTrack track;
            char name[32];
            snprintf(name, sizeof name, "%d", line.elevation);
            track.name = name;
            track.colour = kContourColour;
            track.width = 1;
            for (auto& [x, y] : line.points) track.points.push_back({x, y, line.elevation, 0});
            tracks.push_back(EncodeTrack(track));
        }
        if (progressTotal && client) {
            PeerShellCodes::PostProgress(client, true, progressTotal, progressTotal / 2);
            PeerShellCodes::PostProgress(client, true, progressTotal, progressTotal);
        }
        const size_t parts = (size_t)std::max(1, answers);
        const size_t per = (tracks.size() + parts - 1) / parts;
        for (size_t p = 0; p < parts; ++p) {
            std::vector<std::vector<uint8_t>> group;
            for (size_t t = p * per; t < tracks.size() && t < (p + 1) * per; ++t) group.push_back(tracks[t]);
            const bool last = p + 1 == parts;
            const std::vector<uint8_t> data = group.empty() ? std::vector<uint8_t>() : FrameTracks(group);
            std::vector<uint8_t> answer = AnswerRecord(bytes, at, last ? kDone : kMoreFollows, dataState, data.size());
            std::copy(data.begin(), data.end(), answer.begin() + kItem);
            reply(kContourCode, answer);
        }
    }
    return 0;
}

}  // namespace velkpeer
