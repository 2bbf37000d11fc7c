// The contour download: the user chooses a range (a rectangle drawn for the
// purpose, or the outline of an entity), the peer computes contour lines
// from its elevation data and sends them back as tracks, which the object
// exchange draws. Without elevation data for the range, the range can go
// to the peer as a shape, for the user to download the data there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gcedinput.h"
#include "state/contourstate.h"

// The 192-byte record of request 20303 and of each of its answers. An
// answer carries, from byte 192, `dataLength` bytes of an exchange buffer
// whose tracks are the contour lines.
struct ContourRequest {
    int64_t requestId;       // 0: the request counter's value, echoed by the answers
    int64_t keptValue8;      // 8: 1
    double minX;             // 16
    double minY;             // 24
    double maxX;             // 32
    double maxY;             // 40
    uint8_t kind;            // 48: 2
    uint8_t reserved49[3];
    int32_t level;           // 52
    int32_t precision;       // 56: metres
    int32_t firstRequest;    // 60: 1 in the first request, 0 in the second
    int32_t dataState;       // 64: answer: 1 enough elevation data, 2 incomplete, other none
    int32_t status;          // 68: answer: 0 or above done, -102 more follows, -101, -7, ...
    uint8_t reserved72[8];
    uint8_t dataSlot[8];     // 80: a pointer slot of the peer's; never read or written here
    int32_t dataLength;      // 88: answer: bytes of data after the record
    uint8_t reserved92[12];
    int32_t keptValue104;    // 104: 1
    uint32_t connectionId;   // 108: written by PeerApiGetContour
    uint8_t reserved112[80];
};
static_assert(sizeof(ContourRequest) == 192 && offsetof(ContourRequest, kind) == 48 &&
                  offsetof(ContourRequest, level) == 52 && offsetof(ContourRequest, dataState) == 64 &&
                  offsetof(ContourRequest, status) == 68 && offsetof(ContourRequest, dataSlot) == 80 &&
                  offsetof(ContourRequest, dataLength) == 88 && offsetof(ContourRequest, keptValue104) == 104 &&
                  offsetof(ContourRequest, connectionId) == 108,
              "contour request layout");

// Answer statuses besides 0 and above (done).
const int32_t kContourMoreFollows = -102;
const int32_t kContourRangeTooLarge = -101;
const int32_t kContourNoElevation = -7;

// Numbers the first requests; read, then incremented, by each.
extern int32_t g_contourRequestCounter;

// The command: the dialog, then the range is drawn or picked.
void ContourCommand(ContourState* state);
// Takes the range from the entity's extents and sends the first request;
// true when it was sent. A range smaller than 10 x 10 drawing units is
// refused (a rectangle drawn for it is erased).
bool ContourFromExtents(ContourState* state, const ads_name entity);
// A 20303 answer of `size` bytes: its record and the data behind it.
// Answers shorter than the record plus the data they announce are dropped.
void OnContourReply(ContourState* state, const uint8_t* payload, uint32_t size);
// The peer's progress while it extracts the contours: a meter from a total
// above 20.
void OnContourProgress(ContourState* state, int32_t done, int32_t total);
// Sends the range, widened by 20 pixels of the level, to the peer as a
// shape and moves the peer's map there; true when the peer took it.
bool SendContourRequest(ContourState* state);
// Erases the rectangle drawn for the command (never a picked entity, nor a
// rectangle sent to the peer).
void EndContourCommand(ContourState* state);

// The two requests as built from the state (the first widens the range by
// 10 pixels of the level on every side).
ContourRequest BuildFirstContourRequest(const ContourState& state);
ContourRequest BuildSecondContourRequest(const ContourState& state);
