// The contour download's state of one drawing (a member of its CDrawingData).
#pragma once

#include <cstdint>

#include "oddbobject.h"

struct ContourState {
    OdDbObjectId entityId;     // the rectangle drawn, or the entity picked, as the range
    uint8_t mode = 0;          // 0 drawn rectangle, 1 rectangle sent for download, 2 picked entity
    uint8_t busy = 0;          // an answer's objects are being built
    double minX = 0, maxX = 0, minY = 0, maxY = 0;  // the range as chosen
    int64_t requestId = 0;     // id of the last first request
    int32_t precision = 0;     // metres, at least 1
    int32_t level = 0;         // 5 to 12
    int32_t keptValue8 = 0;    // set to 1 by a first request, sent back in the second
    int32_t keptValue104 = 0;
};
