// The stand-in peer's contour lines (request 20303): the elevation is an
// analytic surface, a base height with Gaussian hills; the peer draws its
// contour lines over the asked range at the asked interval and sends them
// back as tracks, in one or several answers. Without elevation data it
// answers -7 with its data state, and a range too large gets -101.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "windows.h"

namespace velkpeer {

struct Hill {
    double x = 0, y = 0;    // centre, the peer's plane coordinates
    double height = 0;      // metres above the base
    double sigma = 1;       // spread, plane units
};

// The request as the peer reads it (its own decoding).
struct ContourAsk {
    int64_t id = 0;
    int64_t value8 = 0;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    uint8_t kind = 0;
    int32_t level = 0;
    int32_t precision = 0;
    int32_t first = 0;      // byte 60
    int32_t value104 = 0;
    uint32_t connectionId = 0;
};

class PeerContourCodes {
public:
    using Reply = std::function<void(uint32_t code, const std::vector<uint8_t>& bytes)>;
    static bool Serves(uint32_t code) { return code == 20303; }
    // `client`: the window that takes the progress messages (may be null).
    int64_t Handle(const std::vector<uint8_t>& bytes, HWND client, const Reply& reply);

    // The surface.
    double baseElevation = 1000;
    std::vector<Hill> hills;
    // The elevation data the peer holds for any range: 1 enough, 2
    // incomplete, 0 none. With anything but 1 a first request is answered
    // -7 with this state; a second request is always computed.
    int32_t dataState = 1;
    // A first request with enough data is answered -7 with state 1 instead
    // of the contours, so that the client asks again at once.
    bool askAgain = false;
    // A range wider or higher than this gets -101.
    double largestRange = 1e7;
    // The contour lines are spread over this many answers: -102 for all
    // but the last, 0 for the last.
    int answers = 2;
    // Cells of the sampling grid on each side.
    int grid = 48;
    // Progress messages posted before the answers (total; 0 for none).
    uint32_t progressTotal = 0;
    // Statuses that the next requests get instead of their answer, in order.
    std::deque<int32_t> failures;

    const std::vector<ContourAsk>& Asks() const { return asks_; }
    // The surface's height at a point.
    double Elevation(double x, double y) const;
    // The contour lines of a range at an interval, each a list of points
    // at one elevation.
    struct Line {
        int32_t elevation;
        std::vector<std::pair<double, double>> points;  // (x, y)
        bool closed;
    };
    std::vector<Line> Lines(double minX, double minY, double maxX, double maxY, int32_t interval) const;
    // Hills that give a few closed and open contour lines over a range.
    static std::vector<Hill> HillsOver(double minX, double minY, double maxX, double maxY);

private:
    std::vector<ContourAsk> asks_;
};

}  // namespace velkpeer
