#include "peer_encode.h"

#include <algorithm>

#include "peer_wire.h"

namespace velkpeer {

namespace {

const size_t kSignFixed = 416;
const size_t kTrackFixed = 200;
const size_t kMultiFixed = 480;
const size_t kPointSize = 48;
const size_t kPartSize = 1432;
const size_t kItemSize = 16;
const size_t kRecordHeader = 64;
const size_t kPatternHead = 96;
const size_t kPatternItem = 384;

size_t RoundUp8(size_t n) { return (n + 7) / 8 * 8; }

void PutF32(std::vector<uint8_t>& b, size_t at, float f)
{
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    PutU32(b, at, bits);
}

void PutName(std::vector<uint8_t>& b, const std::string& name)
{
    memcpy(b.data(), name.data(), std::min<size_t>(name.size(), 99));
}

// The text behind a fixed part: its u32 length, then the bytes; padded to 8
// for kinds with arrays behind it.
void PutText(std::vector<uint8_t>& b, const std::string& text, bool pad)
{
    size_t at = b.size();
    PutU32(b, at, (uint32_t)text.size());
    b.insert(b.end(), text.begin(), text.end());
    if (pad) b.resize(RoundUp8(b.size()));
}

void PutPoints(std::vector<uint8_t>& b, const std::vector<PeerPoint>& points)
{
    for (const PeerPoint& p : points) {
        size_t at = b.size();
        b.resize(at + kPointSize);
        PutF64(b, at, p.y);
        PutF64(b, at + 8, p.x);
        PutU32(b, at + 20, (uint32_t)p.elevation);
        PutF64(b, at + 24, p.angle);
    }
}


}  // namespace

std::vector<uint8_t> EncodeFolder(const std::string& name)
{
    std::vector<uint8_t> b(176, 0);
    PutName(b, name);
    b[111] = 1;
    return b;
}

std::vector<uint8_t> EncodeSign(const PeerSign& s)
{
    std::vector<uint8_t> b(kSignFixed, 0);
    PutName(b, s.name);
    PutF64(b, 112, s.y);
    PutF64(b, 120, s.x);
    b[128] = 2;
    PutU32(b, 132, (uint32_t)s.elevation);
    PutU32(b, 144, s.iconNumber);
    PutU32(b, 148, s.colour);
    b[153] = s.signType;
    b[260] = s.textOnly;
    b[262] = s.transparency;
    b[265] = s.level;
    PutU32(b, 268, s.fontSize);
    PutU32(b, 272, s.textColour);
    PutF32(b, 280, s.rotation);
    b[376] = s.multiLine;
    PutText(b, s.remark, false);
    return b;
}

namespace {

// The fixed part of a track or shape with its name and point count.
std::vector<uint8_t> PointRecordHead(const std::string& name, size_t count)
{
    std::vector<uint8_t> b(kTrackFixed, 0);
    PutName(b, name);
    PutU32(b, 120, (uint32_t)count);
    b[124] = 2;
    return b;
}

}  // namespace

std::vector<uint8_t> EncodeTrack(const PeerTrack& t)
{
    std::vector<uint8_t> b = PointRecordHead(t.name, t.points.size());
    PutU32(b, 144, t.colour);
    PutU32(b, 148, t.width);
    b[152] = t.opacity;
    b[153] = t.shapeType;
    b[154] = t.lineStyle;
    PutText(b, t.remark, true);
    PutPoints(b, t.points);
    return b;
}

std::vector<uint8_t> EncodeShape(const PeerShape& s)
{
    std::vector<uint8_t> b = PointRecordHead(s.name, s.points.size());
    PutF64(b, 128, s.startAngle);
    PutF64(b, 136, s.endAngle);
    b[144] = 1;
    b[145] = s.outline;
    b[146] = s.opacity;
    b[150] = (uint8_t)s.outerRingCount;
    b[151] = (uint8_t)(s.outerRingCount >> 8);
    PutU32(b, 152, s.colour);
    PutU32(b, 156, s.fillColour);
    PutU32(b, 160, s.fillType);
    PutU32(b, 164, s.fillKind);
    PutU32(b, 168, s.patternId);
    PutU32(b, 172, s.secondColour);
    PutF32(b, 176, s.fillAngle);
    PutF32(b, 180, s.fillScale);
    PutF64(b, 184, s.originX);
    PutF64(b, 192, s.originY);
    PutText(b, s.remark, true);
    PutPoints(b, s.points);
    return b;
}

std::vector<uint8_t> EncodeMultiPart(const PeerMultiPart& m)
{
    std::vector<uint8_t> b(kMultiFixed, 0);
    PutName(b, m.name);
    PutU32(b, 120, (uint32_t)m.parts.size());
    b[425] = 7;
    b[426] = 60;
    PutU32(b, 428, m.colour);
    PutText(b, m.remark, true);
    for (const auto& part : m.parts) {
        size_t at = b.size();
        b.resize(at + kPartSize);
        PutU32(b, at + 1416, (uint32_t)part.size());
    }
    for (const auto& part : m.parts)
        for (const auto& [x, y] : part) {
            size_t at = b.size();
            b.resize(at + kItemSize);
            PutF64(b, at, y);
            PutF64(b, at + 8, x);
        }
    return b;
}

std::vector<uint8_t> Malform(std::vector<uint8_t> frame, Malformation how)
{
    const size_t first = kPacketHead + kRecordHeader;
    if (frame.size() < first) return frame;
    switch (how) {
    case Malformation::kNone: break;
    case Malformation::kTotalBeyondEnd: PutU32(frame, kPacketHead, U32(frame, kPacketHead) + 4096); break;
    case Malformation::kLastBodyCut: {
        size_t last = 0;
        for (size_t at = first; at + kRecordHeader <= frame.size(); at += kRecordHeader + U32(frame, at)) last = at;
        if (last && frame.size() > last + kRecordHeader + 1) frame.resize(frame.size() - 1);
        break;
    }
    case Malformation::kHugeBodySize:
        if (frame.size() >= first + kRecordHeader) PutU32(frame, first, 0x7FFFFFF0u);
        break;
    case Malformation::kNegativeBodySize:
        if (frame.size() >= first + kRecordHeader) PutU32(frame, first, 0xFFFFFF00u);
        break;
    case Malformation::kHeaderCut:
        frame.resize(frame.size() + kRecordHeader / 2, 0);
        PutU32(frame, kPacketHead, (uint32_t)(frame.size() - first));
        break;
    case Malformation::kBodyNotARecord: {
        // The first record's text length claims more than its body holds.
        uint32_t kind = U32(frame, first + 4);
        size_t text = kind == 7 ? kSignFixed : kind == 11 ? kMultiFixed : kind == 8 || kind == 13 ? kTrackFixed : 0;
        if (text && frame.size() >= first + kRecordHeader + text + 4)
            PutU32(frame, first + kRecordHeader + text, 0x10000);
        break;
    }
    }
    return frame;
}

std::vector<uint8_t> EncodePatternTable(const std::vector<PeerPattern>& patterns)
{
    std::vector<uint8_t> b(kPatternHead, 0);
    PutU32(b, 4, (uint32_t)patterns.size());
    for (const PeerPattern& p : patterns) {
        size_t at = b.size();
        b.resize(at + kPatternItem);
        memcpy(b.data() + at, p.name.data(), std::min<size_t>(p.name.size(), 319));
        PutF64(b, at + 320, p.scale);
        PutU32(b, at + 328, p.id);
    }
    return b;
}

}  // namespace velkpeer
