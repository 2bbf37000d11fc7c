// The stand-in peer's reading of the map objects it keeps: every field the
// exchange gives a meaning, decoded from the stored wire form with the
// peer's own readers, so that tests and the demo look at objects, not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peer_store.h"

namespace velkpeer {

struct DecodedPoint {
    double x, y;
    int32_t elevation;  // 65536 starts a new piece or ring
    double angle;       // bulge, or an ellipse's angle in degrees
};

struct DecodedObject {
    uint32_t id = 0, kind = 0, parent = 0;
    uint64_t handle = 0;  // the header's entity handle or group key
    std::string name, remark;
    // Folders.
    uint32_t childCount = 0;
    uint8_t sentFlag = 0;
    // Signs.
    double x = 0, y = 0;
    int32_t elevation = 0;
    uint8_t coordMode = 0;
    uint32_t iconNumber = 0;
    uint8_t signType = 0, textOnly = 0, transparency = 0, level = 0, multiLine = 0;
    uint32_t fontSize = 0, textColour = 0;
    float rotation = 0;
    // Signs (icon), tracks (line) and shapes (outline).
    uint32_t colour = 0;
    // Tracks.
    uint32_t width = 0;
    uint8_t opacity = 0;  // tracks, and a shape's fill (byte 146)
    uint8_t shapeType = 0, lineStyle = 0;
    // Shapes.
    uint8_t outline = 0;  // byte 145
    uint16_t outerRingCount = 0;
    uint32_t fillColour = 0, fillType = 0, fillKind = 0, patternId = 0, secondColour = 0;
    float fillAngle = 0, fillScale = 0;
    double originX = 0, originY = 0;
    // Tracks and shapes.
    std::vector<DecodedPoint> points;
};

DecodedObject DecodeObject(const StoredObject& object);
// Every object of the store, decoded, in id order.
std::vector<DecodedObject> DecodeAll(const PeerObjectStore& store);
// The text with its line breaks shown as " | ".
std::string OneLine(const std::string& text);
// One line for a transcript.
std::string DescribeObject(const DecodedObject& object);
// A folder's line with the objects and folders the store holds in it.
std::string DescribeFolder(const DecodedObject& folder, const std::vector<DecodedObject>& all);

}  // namespace velkpeer
