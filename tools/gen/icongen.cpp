// velk_icongen OUT.cpp: draws the module's PNG icons and writes them as byte
// arrays with a resource table.
//
// Icon n (resource 10000 + n) is a 32×32 sign: a coloured symbol, one shape
// per range of numbers, a colour taken from n, and n written across it in a
// small digit font. Resource 8315, the default icon, is a 24×24 marker. The
// icons are stored in four PNG forms in turn (RGBA; a palette with alpha
// values; RGB with a transparent colour; grey with alpha), every seventh one
// interlaced, so the module's own images exercise every decoding path.
//
// The toolbar's nine button icons go into a second table: icon groups 8328,
// 8130, 8149, 8212, 8129, 8361, 8132, 8131 and 8360, each over one 24x24
// icon image that holds a PNG.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
    bool operator<(const Rgba& o) const
    {
        return (uint32_t)(r << 24 | g << 16 | b << 8 | a) < (uint32_t)(o.r << 24 | o.g << 16 | o.b << 8 | o.a);
    }
};

struct Canvas {
    int size;
    std::vector<Rgba> pixels;
    explicit Canvas(int size) : size(size), pixels((size_t)size * size, Rgba{0, 0, 0, 0}) {}
    Rgba& at(int x, int y) { return pixels[(size_t)y * size + x]; }
};

// The icon numbers the module carries.
const int kRanges[][2] = {{1, 178}, {200, 253}, {1000, 1114}, {1200, 1295}, {1300, 1347}, {1400, 1469}, {1600, 1669}};
const int kDefaultIconId = 8315;
const int kIconIdBase = 10000;

// 3×5 digits, one row a byte, the top row first.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

Rgba HueColor(double hue)
{
    // Saturated, not too light, so white digits stay legible.
    double h = fmod(hue, 360.0) / 60.0;
    double x = 1.0 - fabs(fmod(h, 2.0) - 1.0);
    double r = 0, g = 0, b = 0;
    switch ((int)h) {
    case 0: r = 1, g = x; break;
    case 1: r = x, g = 1; break;
    case 2: g = 1, b = x; break;
    case 3: g = x, b = 1; break;
    case 4: r = x, b = 1; break;
    default: r = 1, b = x; break;
    }
    auto level = [](double v) { return (uint8_t)(40 + v * 170); };
    return Rgba{level(r), level(g), level(b), 255};
}

// Whether (x, y), in units of the icon's size with the centre at 0, lies in
// the symbol of the given shape.
bool InShape(int shape, double x, double y)
{
    const double pi = 3.14159265358979;
    switch (shape) {
    case 0: return x * x + y * y <= 0.21;                               // circle
    case 1: return fabs(x) <= 0.4 && fabs(y) <= 0.4;                   // square
    case 2: return y <= 0.38 && y >= -0.42 + 2 * fabs(x) * 1.0;        // triangle, point up
    case 3: return fabs(x) + fabs(y) <= 0.48;                          // diamond
    case 4: {                                                          // hexagon
        double ax = fabs(x), ay = fabs(y);
        return ay <= 0.4 && ax * 0.866 + ay * 0.5 <= 0.42;
    }
    case 5: {                                                          // five-pointed star
        double r = sqrt(x * x + y * y), a = atan2(y, x) + pi / 2;
        double sector = fmod(fmod(a, 2 * pi / 5) + 2 * pi / 5, 2 * pi / 5) - pi / 5;
        double edge = 0.22 / cos(sector) * (1.0 + 0.9 * (1.0 - fabs(sector) / (pi / 5)));
        return r <= edge && r <= 0.5;
    }
    default: {                                                         // pin: round head over a point
        double hy = y + 0.1;
        return x * x + hy * hy <= 0.1 || (y >= 0 && y <= 0.45 && fabs(x) <= 0.32 * (0.45 - y) / 0.45 + 0.0);
    }
    }
}

void DrawShape(Canvas& c, int shape, Rgba fill)
{
    const int samples = 4;
    const Rgba outline{(uint8_t)(fill.r / 3), (uint8_t)(fill.g / 3), (uint8_t)(fill.b / 3), 255};
    for (int y = 0; y < c.size; ++y) {
        for (int x = 0; x < c.size; ++x) {
            int inside = 0, core = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    double px = (x + (sx + 0.5) / samples) / c.size - 0.5;
                    double py = (y + (sy + 0.5) / samples) / c.size - 0.5;
                    if (InShape(shape, px, py)) ++inside;
                    if (InShape(shape, px * 1.15, py * 1.15)) ++core;
                }
            }
            if (!inside) continue;
            Rgba p = core == samples * samples ? fill : outline;
            p.a = (uint8_t)(255 * inside / (samples * samples));
            c.at(x, y) = p;
        }
    }
}

void DrawNumber(Canvas& c, int n, int centreY)
{
    std::string text = std::to_string(n);
    int scale = (int)text.size() * 4 * 2 - 2 <= c.size - 6 ? 2 : 1;
    int width = ((int)text.size() * 4 - 1) * scale;
    int left = (c.size - width) / 2, top = centreY - 5 * scale / 2;
    const Rgba white{255, 255, 255, 255}, dark{20, 20, 20, 255};
    // A dark rim first, then the white strokes over it.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t* glyph = kDigits[text[i] - '0'];
            for (int gy = 0; gy < 5; ++gy)
                for (int gx = 0; gx < 3; ++gx) {
                    if (!(glyph[gy] & (4 >> gx))) continue;
                    int x0 = left + ((int)i * 4 + gx) * scale, y0 = top + gy * scale;
                    for (int y = y0 - (1 - pass); y < y0 + scale + (1 - pass); ++y)
                        for (int x = x0 - (1 - pass); x < x0 + scale + (1 - pass); ++x)
                            if (x >= 0 && y >= 0 && x < c.size && y < c.size) c.at(x, y) = pass ? white : dark;
                }
        }
    }
}

int ShapeFor(int n)
{
    for (int i = 0; i < (int)(sizeof kRanges / sizeof kRanges[0]); ++i)
        if (n >= kRanges[i][0] && n <= kRanges[i][1]) return i;
    return 0;
}

// --- PNG writing ---

struct Writer {
    std::vector<uint8_t> bytes;
    jmp_buf failed;
};

void WriteBytes(png_structp png, png_bytep data, size_t length)
{
    Writer* w = (Writer*)png_get_io_ptr(png);
    w->bytes.insert(w->bytes.end(), data, data + length);
}

void OnError(png_structp png, png_const_charp message)
{
    fprintf(stderr, "velk_icongen: %s\n", message);
    longjmp(((Writer*)png_get_error_ptr(png))->failed, 1);
}

enum Form { kRgba, kPaletteAlpha, kRgbKeyed, kGreyAlpha };

struct PngLayout {
    int size, bitDepth, colorType;
    bool interlaced;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    bool keyed;
    png_color_16 key;
};

// Writes the prepared rows as one PNG; libpng's errors come back here.
bool WritePng(const PngLayout& layout, std::vector<png_bytep>& rows, std::vector<uint8_t>& out)
{
    Writer w;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, OnError, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) return false;
    if (setjmp(w.failed)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &w, WriteBytes, nullptr);
    png_set_IHDR(png, info, layout.size, layout.size, layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), (int)layout.palette.size());
        png_set_tRNS(png, info, layout.paletteAlpha.data(), (int)layout.paletteAlpha.size(), nullptr);
    }
    if (layout.keyed) png_set_tRNS(png, info, nullptr, 1, &layout.key);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    out = std::move(w.bytes);
    return true;
}

bool EncodePng(Canvas& c, Form form, bool interlaced, std::vector<uint8_t>& out)
{
    const Rgba key{255, 0, 255, 0};  // the transparent colour of keyed RGB icons
    std::vector<Rgba> palette;
    std::map<Rgba, int> indexOf;
    if (form == kPaletteAlpha) {
        for (const Rgba& p : c.pixels) {
            Rgba q = p.a ? p : Rgba{0, 0, 0, 0};
            if (!indexOf.count(q)) {
                indexOf[q] = (int)palette.size();
                palette.push_back(q);
            }
        }
        if (palette.size() > 256) form = kRgba;
    }
    PngLayout layout{c.size, 8, PNG_COLOR_TYPE_RGB_ALPHA, interlaced, {}, {}, false, {}};
    int channels = 4;
    if (form == kPaletteAlpha) {
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        channels = 1;
        layout.bitDepth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
        for (const Rgba& p : palette) {
            layout.palette.push_back(png_color{p.r, p.g, p.b});
            layout.paletteAlpha.push_back(p.a);
        }
    } else if (form == kRgbKeyed) {
        layout.colorType = PNG_COLOR_TYPE_RGB, channels = 3;
        layout.keyed = true;
        layout.key.red = key.r, layout.key.green = key.g, layout.key.blue = key.b;
    } else if (form == kGreyAlpha) {
        layout.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, channels = 2;
    }

    std::vector<png_byte> rows((size_t)c.size * c.size * channels);
    std::vector<png_bytep> rowPointers;
    for (int y = 0; y < c.size; ++y) {
        png_bytep row = rows.data() + (size_t)y * c.size * channels;
        rowPointers.push_back(row);
        for (int x = 0; x < c.size; ++x) {
            Rgba p = c.at(x, y);
            switch (form) {
            case kRgba: row[4 * x] = p.r, row[4 * x + 1] = p.g, row[4 * x + 2] = p.b, row[4 * x + 3] = p.a; break;
            case kRgbKeyed:
                if (p.a < 128) p = key;
                row[3 * x] = p.r, row[3 * x + 1] = p.g, row[3 * x + 2] = p.b;
                break;
            case kGreyAlpha:
                row[2 * x] = (png_byte)((p.r * 299 + p.g * 587 + p.b * 114) / 1000), row[2 * x + 1] = p.a;
                break;
            case kPaletteAlpha: {
                int index = indexOf[p.a ? p : Rgba{0, 0, 0, 0}];
                int perByte = 8 / layout.bitDepth, slot = x % perByte;
                if (slot == 0) row[x / perByte] = 0;
                row[x / perByte] |= (png_byte)(index << (8 - layout.bitDepth * (slot + 1)));
                break;
            }
            }
        }
    }
    return WritePng(layout, rowPointers, out);
}

struct Resource {
    int id;
    std::vector<uint8_t> bytes;
};

// The toolbar's icon groups: each is a GRPICONDIR of one 24x24 entry whose
// RT_ICON image (id 1, 2, ... in order) is a PNG.
const int kToolbarGroups[] = {8328, 8130, 8149, 8212, 8129, 8361, 8132, 8131, 8360};

std::vector<uint8_t> GroupDirectory(int imageId, size_t imageBytes)
{
    std::vector<uint8_t> d = {0, 0, 1, 0, 1, 0};  // reserved, type 1 (icon), one entry
    uint32_t n = (uint32_t)imageBytes;
    uint8_t entry[14] = {24, 24, 0, 0, 1, 0, 32, 0, (uint8_t)n, (uint8_t)(n >> 8), (uint8_t)(n >> 16),
                         (uint8_t)(n >> 24), (uint8_t)imageId, (uint8_t)(imageId >> 8)};
    d.insert(d.end(), entry, entry + 14);
    return d;
}

void WriteBytes(FILE* f, const char* name, const std::vector<uint8_t>& bytes)
{
    fprintf(f, "const BYTE %s[] = {", name);
    for (size_t i = 0; i < bytes.size(); ++i) fprintf(f, "%s%u,", i % 24 ? "" : "\n    ", bytes[i]);
    fprintf(f, "\n};\n");
}

bool WriteTable(const char* path, const std::vector<Resource>& resources, const std::vector<Resource>& toolbarIcons)
{
    FILE* f = fopen(path, "w");
    if (!f) return false;
    fprintf(f, "// Generated by velk_icongen: the module's PNG icons. Do not edit.\n");
    fprintf(f, "#include \"module_resources.h\"\n\nnamespace velkres {\nnamespace {\n\n");
    for (const Resource& r : resources) {
        fprintf(f, "const BYTE kPng%d[] = {", r.id);
        for (size_t i = 0; i < r.bytes.size(); ++i) fprintf(f, "%s%u,", i % 24 ? "" : "\n    ", r.bytes[i]);
        fprintf(f, "\n};\n");
    }
    fprintf(f, "\n}  // namespace\n\nextern const standin::ModuleResource kPngResources[] = {\n");
    for (const Resource& r : resources)
        fprintf(f, "    {L\"PNG\", %d, 0x804, kPng%d, sizeof kPng%d},\n", r.id, r.id, r.id);
    fprintf(f, "};\nextern const size_t kPngResourceCount = %zu;\n\nnamespace {\n", resources.size());
    for (size_t i = 0; i < toolbarIcons.size(); ++i) {
        char name[32];
        snprintf(name, sizeof name, "kIcon%zu", i + 1);
        WriteBytes(f, name, toolbarIcons[i].bytes);
        snprintf(name, sizeof name, "kGroup%d", toolbarIcons[i].id);
        WriteBytes(f, name, GroupDirectory((int)i + 1, toolbarIcons[i].bytes.size()));
    }
    fprintf(f, "}  // namespace\n\nextern const standin::ModuleResource kIconResources[] = {\n");
    for (size_t i = 0; i < toolbarIcons.size(); ++i) {
        fprintf(f, "    {RT_ICON, %zu, 0x804, kIcon%zu, sizeof kIcon%zu},\n", i + 1, i + 1, i + 1);
        fprintf(f, "    {RT_GROUP_ICON, %d, 0x804, kGroup%d, sizeof kGroup%d},\n", toolbarIcons[i].id,
                toolbarIcons[i].id, toolbarIcons[i].id);
    }
    fprintf(f, "};\nextern const size_t kIconResourceCount = %zu;\n\n}  // namespace velkres\n",
            2 * toolbarIcons.size());
    return fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: velk_icongen OUT.cpp\n");
        return 2;
    }
    std::vector<Resource> resources;

    Canvas marker(24);
    DrawShape(marker, 6, Rgba{220, 60, 40, 255});
    Resource defaultIcon{kDefaultIconId, {}};
    if (!EncodePng(marker, kRgba, false, defaultIcon.bytes)) return 1;
    resources.push_back(defaultIcon);

    int count = 0;
    for (const auto& range : kRanges) {
        for (int n = range[0]; n <= range[1]; ++n, ++count) {
            Canvas icon(32);
            int shape = ShapeFor(n);
            DrawShape(icon, shape, HueColor(n * 47.0));
            DrawNumber(icon, n, shape == 2 ? 20 : shape == 6 ? 13 : 16);
            Resource r{kIconIdBase + n, {}};
            if (!EncodePng(icon, (Form)(count % 4), count % 7 == 3, r.bytes)) return 1;
            resources.push_back(std::move(r));
        }
    }
    // The toolbar's nine button icons: one symbol each on a light square.
    std::vector<Resource> toolbarIcons;
    for (int i = 0; i < (int)(sizeof kToolbarGroups / sizeof kToolbarGroups[0]); ++i) {
        Canvas icon(24);
        for (Rgba& p : icon.pixels) p = Rgba{236, 236, 228, 255};
        DrawShape(icon, i % 7, HueColor(i * 40.0 + 200));
        Resource r{kToolbarGroups[i], {}};
        if (!EncodePng(icon, kRgba, false, r.bytes)) return 1;
        toolbarIcons.push_back(std::move(r));
    }
    if (!WriteTable(argv[1], resources, toolbarIcons)) {
        fprintf(stderr, "velk_icongen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
