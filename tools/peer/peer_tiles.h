// The stand-in peer's map: its view (20011 moves it, 20012 reports it) and
// its image server (20302). Each tile request gets a PNG of the asked size
// showing the tile's level, column and row over a grid, written at the path
// the request names, and a 472-byte answer: status 1, -102 the first time
// for some tiles, or a failure. A capture request gets -102 answers with
// its progress (and posted progress messages), then a JPEG of the asked
// extent. The files are written with libpng and libjpeg directly.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "windows.h"

namespace velkpeer {

struct PeerConfig;

struct TileServerConfig {
    // Tiles with (column + row) divisible by this answer -102 the first time
    // they are asked (0: none).
    int32_t pendingEvery = 0;
    // Tiles with (column - row) divisible by this fail with failStatus
    // every time (0: none).
    int32_t failEvery = 0;
    int32_t failStatus = -105;
    // Not-ready answers of a capture, their done counts of captureTotal.
    std::vector<int32_t> captureProgress = {25, 60};
    int32_t captureTotal = 100;
    // Non-zero: every capture request gets this status instead.
    int32_t captureFailure = 0;
    // Held answers go out only when ReleaseHeldAnswers is called.
    bool holdAnswers = false;
    // Larger images are refused with -104.
    int32_t maxImageSide = 4096;
};

// One image request as the peer read it, with what it did.
struct ServedImage {
    uint64_t id;
    int64_t sequence;
    std::string path;          // as sent, UTF-8
    bool capture;              // byte 376 was 20
    int32_t tileFlag;          // byte 16
    int32_t level, mapType, width, height;
    double minX, minY, maxX, maxY;
    int32_t column, row;       // of the tile, by the peer's own grid
    int32_t status;            // the answer's status
    bool written;              // an image file was written
};

class PeerTileServer {
public:
    using Reply = std::function<void(uint32_t code, const std::vector<uint8_t>& bytes)>;
    static bool Serves(uint32_t code);
    // `reportMoves`: the client asked to hear of the map's moves (20013 with
    // 1000); a move it asked for is then reported too (20012).
    int64_t Handle(uint32_t code, const std::vector<uint8_t>& bytes, PeerConfig& config, const Reply& reply,
                   HWND client, bool reportMoves);

    TileServerConfig& Config() { return config_; }
    const std::vector<ServedImage>& Served() const { return served_; }
    // The peer's view centre (its level and map type are the configuration's).
    double viewX = 500000.0;
    double viewY = 3000000.0;
    // The user moves the peer's map: the view changes, and the 20012 report
    // the peer sends a following client is returned.
    std::vector<uint8_t> MoveView(PeerConfig& config, double x, double y, int32_t level);
    static std::vector<uint8_t> MapStateReport(double x, double y, int32_t level, int32_t mapType);
    // Sends the answers held back (holdAnswers) through `reply`.
    void ReleaseHeldAnswers(const Reply& reply);

private:
    int64_t ServeImages(const std::vector<uint8_t>& bytes, const PeerConfig& config, const Reply& reply,
                        HWND client);
    ServedImage ServeTile(std::vector<uint8_t>& record, const PeerConfig& config);
    ServedImage ServeCapture(std::vector<uint8_t>& record, HWND client);

    TileServerConfig config_;
    std::vector<ServedImage> served_;
    std::set<uint64_t> askedBefore_;              // tiles answered -102 once
    std::map<uint64_t, size_t> captureSteps_;     // capture id -> not-ready answers given
    std::deque<std::vector<uint8_t>> held_;
};

// Image files as the peer writes them (8-bit RGB, rows top down); false
// when the file cannot be written.
bool WritePngFile(const std::string& nativePath, int width, int height, const std::vector<uint8_t>& rgb);
bool WriteJpegFile(const std::string& nativePath, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace velkpeer
