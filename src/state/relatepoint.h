// The 80-byte relate point of request 20201: a place in the peer's map
// (longitude, latitude) tied to a drawing point.
#pragma once

#include <cstddef>
#include <cstdint>

struct RelatePoint {
    double longitude;       // 0
    double latitude;        // 8
    uint8_t flag;           // 16: 1
    uint8_t reserved17[7];
    double x;               // 24: drawing units
    double y;               // 32
    uint8_t reserved40[40];
};
static_assert(sizeof(RelatePoint) == 80 && offsetof(RelatePoint, flag) == 16 && offsetof(RelatePoint, x) == 24 &&
                  offsetof(RelatePoint, y) == 32,
              "relate point layout");

// The relate point last sent (by the coordinate window or the cross-section
// mode), which the peer may ask for again; zero at start.
extern RelatePoint g_relatePoint;
