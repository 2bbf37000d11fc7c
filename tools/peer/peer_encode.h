// Map objects as the stand-in peer makes them: every kind of record in its
// wire form, written with the peer's own code; exchange buffers spoiled on
// purpose for the client's bounds checks; the hatch pattern table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velkpeer {

// A point of a track or shape.
struct PeerPoint {
    double x = 0, y = 0;
    int32_t elevation = 0;  // 65536 opens a new piece or ring
    double angle = 0;       // bulge, or circle and ellipse angles in degrees
};

const int32_t kBreakMark = 65536;

struct PeerSign {
    std::string name, remark;
    double x = 0, y = 0;
    int32_t elevation = 0;
    uint32_t iconNumber = 0;
    uint32_t colour = 0;      // 0x00BBGGRR
    uint8_t signType = 1;     // 1 point or icon, 3 text
    uint8_t textOnly = 0;
    uint8_t transparency = 0;
    uint8_t level = 0;
    uint32_t fontSize = 0;
    uint32_t textColour = 0;
    float rotation = 0;       // degrees
    uint8_t multiLine = 0;
};

struct PeerTrack {
    std::string name, remark;
    std::vector<PeerPoint> points;
    uint32_t colour = 0xff0000;
    uint32_t width = 3;       // hundredths
    uint8_t opacity = 50;
    uint8_t shapeType = 5;    // 5 line, 6 point set, 7 circle or arc, 9 ellipse, 10 spline
    uint8_t lineStyle = 0;
};

struct PeerShape {
    std::string name, remark;
    std::vector<PeerPoint> points;
    double startAngle = 0, endAngle = 0;  // degrees, two-point shapes
    uint8_t outline = 50;
    uint8_t opacity = 50;
    uint16_t outerRingCount = 0;
    uint32_t colour = 0xff0000;
    uint32_t fillColour = 0xff0000;
    uint32_t fillType = 0;    // 3 pattern, 1 gradient, other solid
    uint32_t fillKind = 0;
    uint32_t patternId = 0;
    uint32_t secondColour = 0;
    float fillAngle = 0;      // degrees
    float fillScale = 0;
    double originX = 0, originY = 0;
};

struct PeerMultiPart {
    std::string name, remark;
    std::vector<std::vector<std::pair<double, double>>> parts;  // (x, y)
    uint32_t colour = 255;
};

std::vector<uint8_t> EncodeFolder(const std::string& name);
std::vector<uint8_t> EncodeSign(const PeerSign& s);
std::vector<uint8_t> EncodeTrack(const PeerTrack& t);
std::vector<uint8_t> EncodeShape(const PeerShape& s);
std::vector<uint8_t> EncodeMultiPart(const PeerMultiPart& m);

// Ways to spoil an exchange buffer.
enum class Malformation {
    kNone,
    kTotalBeyondEnd,    // the root header counts more bytes than follow
    kLastBodyCut,       // the last record's body ends early
    kHugeBodySize,      // the first header's size runs far past the end
    kNegativeBodySize,  // the first header's size is negative as an i32
    kHeaderCut,         // the buffer ends inside a record header
    kBodyNotARecord,    // the first body's own framing disagrees with its size
};
std::vector<uint8_t> Malform(std::vector<uint8_t> frame, Malformation how);

// One pattern of the peer's hatch pattern table (answer to 20601).
struct PeerPattern {
    std::string name;
    double scale = 1.0;
    uint32_t id = 0;
};
std::vector<uint8_t> EncodePatternTable(const std::vector<PeerPattern>& patterns);

}  // namespace velkpeer
