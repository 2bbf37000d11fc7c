// The stand-in peer's side of the shell's link: the plug-in version it
// announces (20204), the relate points it takes or asks for again (20201),
// the scale of its map at a view (20301),
// and the messages it sends on its own: the button press (20402), the
// update notice (20203), its map state (20012) and the progress of its long
// jobs (registered messages, posted).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace velkpeer {

class PeerShellCodes {
public:
    using Reply = std::function<void(uint32_t code, const std::vector<uint8_t>& bytes)>;
    static bool Serves(uint32_t code);
    int64_t Handle(uint32_t code, const std::vector<uint8_t>& bytes, const Reply& reply);

    // The newest plug-in version the 20204 answer names.
    int32_t newestPluginVersion = 162;
    // The image size the answer to a view match (20301) reports at byte 68,
    // and the second size at 72.
    int32_t matchSize = 800;
    int32_t matchSize2 = 600;
    // The results the next 20201 answers give, in order (0 accepted, -1 ask
    // again); 0 when none is queued.
    std::deque<int32_t> relateResults;
    // The relate points of every 20201 taken: mode, then the 80-byte records.
    struct RelateRequest {
        uint32_t mode;
        std::vector<std::vector<uint8_t>> points;
    };
    const std::vector<RelateRequest>& RelateRequests() const { return relateRequests_; }

    // The peer's own messages, as its code would build them.
    static std::vector<uint8_t> UpdateNotice(int32_t version, const std::string& text);
    static std::vector<uint8_t> MapState(int32_t level, int32_t mapType);
    // Posts a progress message of a long job to the client's window: wParam
    // the total, lParam the count done.
    static void PostProgress(HWND client, bool contour, uint32_t total, uint32_t done);

private:
    std::vector<RelateRequest> relateRequests_;
};

}  // namespace velkpeer
