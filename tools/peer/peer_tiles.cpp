#include "peer_tiles.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "peer_shell.h"
#include "peer_wire.h"
#include "standin_peer.h"

namespace velkpeer {

namespace {

const uint32_t kSetLocation = 20011;
const uint32_t kMapStateCode = 20012;
const uint32_t kMapFile = 20302;
const size_t kLocationRecord = 80;
const size_t kMapState = 104;
const size_t kImageRecord = 472;
const int32_t kNotReady = -102;
const int32_t kCannotWrite = -105;
const int32_t kTooManyPixels = -104;
const int32_t kCaptureMark = 20;

int32_t PositiveMod(int64_t v, int32_t n) { return (int32_t)(((v % n) + n) % n); }

// ---- drawing ----

struct Canvas {
    int width, height;
    std::vector<uint8_t> rgb;
    Canvas(int w, int h, uint32_t colour) : width(w), height(h), rgb((size_t)w * h * 3)
    {
        for (size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = (uint8_t)(colour >> 16);
            rgb[i + 1] = (uint8_t)(colour >> 8);
            rgb[i + 2] = (uint8_t)colour;
        }
    }
    void Fill(int x0, int y0, int x1, int y1, uint32_t colour)
    {
        x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, width), y1 = std::min(y1, height);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                uint8_t* p = &rgb[((size_t)y * width + x) * 3];
                p[0] = (uint8_t)(colour >> 16), p[1] = (uint8_t)(colour >> 8), p[2] = (uint8_t)colour;
            }
    }
};

// 5 x 7 glyphs, one row a byte (bit 4 the left column).
const uint8_t* Glyph(char c)
{
    static const uint8_t digits[10][7] = {
        {14, 17, 19, 21, 25, 17, 14}, {4, 12, 4, 4, 4, 4, 14},   {14, 17, 1, 2, 4, 8, 31},  {31, 2, 4, 2, 1, 17, 14},
        {2, 6, 10, 18, 31, 2, 2},     {31, 16, 30, 1, 1, 17, 14}, {6, 8, 16, 30, 17, 17, 14}, {31, 1, 2, 4, 8, 8, 8},
        {14, 17, 17, 14, 17, 17, 14}, {14, 17, 17, 15, 1, 2, 12}};
    static const uint8_t letterL[7] = {16, 16, 16, 16, 16, 16, 31};
    static const uint8_t letterC[7] = {14, 17, 16, 16, 16, 17, 14};
    static const uint8_t letterR[7] = {30, 17, 17, 30, 20, 18, 17};
    static const uint8_t letterT[7] = {31, 4, 4, 4, 4, 4, 4};
    static const uint8_t minus[7] = {0, 0, 0, 31, 0, 0, 0};
    static const uint8_t blank[7] = {0, 0, 0, 0, 0, 0, 0};
    if (c >= '0' && c <= '9') return digits[c - '0'];
    switch (c) {
    case 'L': return letterL;
    case 'C': return letterC;
    case 'R': return letterR;
    case 'T': return letterT;
    case '-': return minus;
    default: return blank;
    }
}

void DrawText(Canvas& canvas, const std::string& text, int x, int y, int scale, uint32_t colour)
{
    for (char c : text) {
        const uint8_t* rows = Glyph(c);
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < 5; ++col)
                if (rows[r] & (16 >> col))
                    canvas.Fill(x + col * scale, y + r * scale, x + (col + 1) * scale, y + (r + 1) * scale, colour);
        x += 6 * scale;
    }
}

// Each map type has its ground colour; levels differ in their grid.
uint32_t GroundColour(int32_t mapType) { return mapType == 1 ? 0x9DB88Au : mapType == 5 ? 0xE8E0C8u : 0xF2EFE6u; }

Canvas TilePicture(const ServedImage& tile)
{
    Canvas canvas(tile.width, tile.height, GroundColour(tile.mapType));
    const int cells = 2 + PositiveMod(tile.level, 4);
    for (int i = 1; i < cells; ++i) {
        canvas.Fill(tile.width * i / cells, 0, tile.width * i / cells + 1, tile.height, 0xC8C8C8);
        canvas.Fill(0, tile.height * i / cells, tile.width, tile.height * i / cells + 1, 0xC8C8C8);
    }
    canvas.Fill(0, 0, tile.width, 2, 0x505050);
    canvas.Fill(0, tile.height - 2, tile.width, tile.height, 0x505050);
    canvas.Fill(0, 0, 2, tile.height, 0x505050);
    canvas.Fill(tile.width - 2, 0, tile.width, tile.height, 0x505050);
    const int scale = std::max(1, tile.width / 96);
    const std::string lines[3] = {"L" + std::to_string(tile.level), "C" + std::to_string(tile.column),
                                  "R" + std::to_string(tile.row)};
    for (int i = 0; i < 3; ++i) DrawText(canvas, lines[i], 6 * scale, (6 + 10 * i) * scale, scale, 0x203040);
    return canvas;
}

// The asked extent with grid lines at round world coordinates.
Canvas CapturePicture(const ServedImage& capture)
{
    Canvas canvas(capture.width, capture.height, GroundColour(capture.mapType));
    const double spanX = capture.maxX - capture.minX, spanY = capture.maxY - capture.minY;
    double step = std::pow(10.0, std::floor(std::log10(std::max(spanX, spanY) / 4)));
    if (!(step > 0) || !std::isfinite(step)) step = 1;
    for (double x = std::ceil(capture.minX / step) * step; x < capture.maxX; x += step) {
        int px = (int)((x - capture.minX) / spanX * capture.width);
        canvas.Fill(px, 0, px + 2, capture.height, 0x707070);
    }
    for (double y = std::ceil(capture.minY / step) * step; y < capture.maxY; y += step) {
        int py = capture.height - (int)((y - capture.minY) / spanY * capture.height);
        canvas.Fill(0, py, capture.width, py + 2, 0x707070);
    }
    const int scale = std::max(1, capture.width / 200);
    DrawText(canvas, "CT" + std::to_string(capture.mapType) + "L" + std::to_string(capture.level), 4 * scale,
             4 * scale, scale, 0x203040);
    return canvas;
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo)
{
    auto* err = (JpegError*)cinfo->err;
    longjmp(err->jump, 1);
}

}  // namespace

bool WritePngFile(const std::string& nativePath, int width, int height, const std::vector<uint8_t>& rgb)
{
    FILE* f = fopen(nativePath.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) png_write_row(png, (png_const_bytep)&rgb[(size_t)y * width * 3]);
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0 && ok;
}

bool WriteJpegFile(const std::string& nativePath, int width, int height, const std::vector<uint8_t>& rgb)
{
    FILE* f = fopen(nativePath.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    bool ok = false;
    if (setjmp(err.jump) == 0) {
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, f);
        cinfo.image_width = (JDIMENSION)width;
        cinfo.image_height = (JDIMENSION)height;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 85, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = (JSAMPROW)&rgb[(size_t)cinfo.next_scanline * width * 3];
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        ok = true;
    }
    jpeg_destroy_compress(&cinfo);
    return fclose(f) == 0 && ok;
}

bool PeerTileServer::Serves(uint32_t code)
{
    return code == kSetLocation || code == kMapStateCode || code == kMapFile;
}

std::vector<uint8_t> PeerTileServer::MapStateReport(double x, double y, int32_t level, int32_t mapType)
{
    std::vector<uint8_t> state(kMapState);
    PutF64(state, 24, x);
    PutF64(state, 32, y);
    PutU32(state, 44, (uint32_t)level);
    PutU32(state, 48, (uint32_t)mapType);
    return state;
}

std::vector<uint8_t> PeerTileServer::MoveView(PeerConfig& config, double x, double y, int32_t level)
{
    viewX = x;
    viewY = y;
    config.mapLevel = level;
    return MapStateReport(x, y, level, config.mapType);
}

void PeerTileServer::ReleaseHeldAnswers(const Reply& reply)
{
    while (!held_.empty()) {
        std::vector<uint8_t> answer = std::move(held_.front());
        held_.pop_front();
        reply(kMapFile, answer);
    }
}

int64_t PeerTileServer::Handle(uint32_t code, const std::vector<uint8_t>& bytes, PeerConfig& config,
                               const Reply& reply, HWND client, bool reportMoves)
{
    if (code == kSetLocation) {
        // The peer follows the plug-in: y at 0, x at 8, level at 28.
        if (bytes.size() != kLocationRecord) return -4;
        viewY = F64(bytes, 0);
        viewX = F64(bytes, 8);
        int32_t level = I32(bytes, 28);
        if (level >= 1 && level <= 28) config.mapLevel = level;
        if (reportMoves) reply(kMapStateCode, MapStateReport(viewX, viewY, config.mapLevel, config.mapType));
        return 0;
    }
    if (code == kMapStateCode) {
        if (bytes.size() != kMapState) return -4;
        reply(code, MapStateReport(viewX, viewY, config.mapLevel, config.mapType));
        return 0;
    }
    return ServeImages(bytes, config, reply, client);
}

int64_t PeerTileServer::ServeImages(const std::vector<uint8_t>& bytes, const PeerConfig& config, const Reply& reply,
                                    HWND client)
{
    if (bytes.size() < kPacketHead + kImageRecord || !IsPacket(bytes, bytes.size()) ||
        (bytes.size() - kPacketHead) % kImageRecord)
        return -4;
    for (size_t at = kPacketHead; at < bytes.size(); at += kImageRecord) {
        std::vector<uint8_t> record(bytes.begin() + (long)at, bytes.begin() + (long)(at + kImageRecord));
        ServedImage served = I32(record, 376) == kCaptureMark ? ServeCapture(record, client)
                                                               : ServeTile(record, config);
        served_.push_back(served);
        if (config_.holdAnswers) held_.push_back(record);
        else reply(kMapFile, record);
    }
    return 0;
}

// Reads the request's fields into the account of what was asked.
static ServedImage ReadImageRequest(const std::vector<uint8_t>& record)
{
    ServedImage s{};
    s.id = U64(record, 0);
    s.sequence = (int64_t)U64(record, 8);
    s.tileFlag = I32(record, 16);
    s.path = Text(record, 24, 260);
    s.minX = F64(record, 304);
    s.minY = F64(record, 312);
    s.maxX = F64(record, 320);
    s.maxY = F64(record, 328);
    s.level = I32(record, 340);
    s.mapType = I32(record, 344);
    s.width = I32(record, 348);
    s.height = I32(record, 352);
    s.capture = I32(record, 376) == kCaptureMark;
    return s;
}

ServedImage PeerTileServer::ServeTile(std::vector<uint8_t>& record, const PeerConfig& config)
{
    ServedImage tile = ReadImageRequest(record);
    const double w = tile.maxX - tile.minX, h = tile.maxY - tile.minY;
    // The tile by the peer's own grid: tiles are centred on the origin's
    // multiples of their size.
    const double qx = w > 0 ? ((tile.minX + tile.maxX) / 2 - config.originX) / w : 0;
    const double qy = h > 0 ? ((tile.minY + tile.maxY) / 2 - config.originY) / h : 0;
    tile.column = std::isfinite(qx) && std::fabs(qx) < 1e9 ? (int32_t)std::lround(qx) : 0;
    tile.row = std::isfinite(qy) && std::fabs(qy) < 1e9 ? (int32_t)std::lround(qy) : 0;

    int32_t status = 1;
    if (tile.width < 1 || tile.height < 1 || tile.width > config_.maxImageSide || tile.height > config_.maxImageSide) {
        status = kTooManyPixels;
    } else if (config_.failEvery > 0 && PositiveMod((int64_t)tile.column - tile.row, config_.failEvery) == 0) {
        status = config_.failStatus;
    } else if (config_.pendingEvery > 0 &&
               PositiveMod((int64_t)tile.column + tile.row, config_.pendingEvery) == 0 &&
               askedBefore_.insert(tile.id).second) {
        status = kNotReady;
    } else {
        std::string native = MachineFile(tile.path);
        Canvas picture = TilePicture(tile);
        tile.written = !native.empty() && WritePngFile(native, tile.width, tile.height, picture.rgb);
        if (!tile.written) status = kCannotWrite;
    }
    tile.status = status;
    PutU32(record, 20, (uint32_t)status);
    // The answer marks a usable tile at 280 (the path is kept shorter).
    if (status == 1) record[280] = 1;
    return tile;
}

ServedImage PeerTileServer::ServeCapture(std::vector<uint8_t>& record, HWND client)
{
    ServedImage capture = ReadImageRequest(record);
    int32_t status = 1;
    size_t& steps = captureSteps_[capture.id];
    if (config_.captureFailure) {
        status = config_.captureFailure;
    } else if (capture.width < 1 || capture.height < 1 || capture.width > config_.maxImageSide ||
               capture.height > config_.maxImageSide) {
        status = kTooManyPixels;
    } else if (steps < config_.captureProgress.size()) {
        const int32_t done = config_.captureProgress[steps++];
        status = kNotReady;
        PutU32(record, 368, (uint32_t)config_.captureTotal);
        PutU32(record, 372, (uint32_t)done);
        if (client) PeerShellCodes::PostProgress(client, false, (uint32_t)config_.captureTotal, (uint32_t)done);
    } else {
        std::string native = MachineFile(capture.path);
        Canvas picture = CapturePicture(capture);
        capture.written = !native.empty() && WriteJpegFile(native, capture.width, capture.height, picture.rgb);
        if (!capture.written) status = kCannotWrite;
    }
    capture.status = status;
    PutU32(record, 20, (uint32_t)status);
    return capture;
}

}  // namespace velkpeer
