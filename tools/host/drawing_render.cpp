// Model space drawn into a PNG: the entities become strokes, fills,
// hatches, glyph runs and images in world coordinates first, so that the
// picture can be fitted to what is there, and are then drawn in draw order
// with cairo, antialiased, and written with the project's image library.
#include "drawing_render.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "image/pximage.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdimension.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "standin_control.h"
#include "text_internal.h"

namespace velkhost {

const char* const kRenderFontFile = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
const char* const kRenderFallbackFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

namespace {

// Enough for any drawing a person looks at; a file of blocks nested to
// multiply beyond it is drawn in part.
const int kMaxEntities = 500000;
const int kMaxNesting = 64;
// Points of one curve at most, and of a whole circle.
const int kMaxCurvePoints = 20000;
const int kCircleSteps = 128;
// A line weight of 0.01 mm at 96 dots an inch, as a screen shows them.
const double kPixelsPerHundredthMm = 96.0 / 2540.0;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

using Ring = std::vector<OdGePoint2d>;

// A plane affine map: x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    OdGePoint2d operator()(const OdGePoint2d& p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    OdGePoint2d operator()(const OdGePoint3d& p) const { return (*this)(OdGePoint2d(p.x, p.y)); }
    OdGeVector2d vec(const OdGeVector2d& v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
    // This after o.
    Affine operator*(const Affine& o) const
    {
        return {a * o.a + c * o.b, b * o.a + d * o.b, a * o.c + c * o.d, b * o.c + d * o.d, a * o.e + c * o.f + e,
                b * o.e + d * o.f + f};
    }
    double det() const { return a * d - b * c; }
    // The length a unit length takes on average.
    double scale() const { return std::sqrt(std::fabs(det())); }
    static Affine Move(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Affine Turn(double angle)
    {
        double c = std::cos(angle), s = std::sin(angle);
        return {c, s, -s, c, 0, 0};
    }
    static Affine Scale(double x, double y) { return {x, 0, 0, y, 0, 0}; }
    static Affine Of(const OdGeMatrix3d& m)
    {
        return {m.entry[0][0], m.entry[1][0], m.entry[0][1], m.entry[1][1], m.entry[0][3], m.entry[1][3]};
    }
};

bool Finite(const Affine& m) { return std::isfinite(m.a + m.b + m.c + m.d + m.e + m.f); }

struct Box {
    // Empty until a point is added.
    double lx = HUGE_VAL, ly = HUGE_VAL, hx = -HUGE_VAL, hy = -HUGE_VAL;
    void add(const OdGePoint2d& p)
    {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        lx = std::min(lx, p.x), hx = std::max(hx, p.x), ly = std::min(ly, p.y), hy = std::max(hy, p.y);
    }
    void add(const Box& o)
    {
        if (o.valid()) add(OdGePoint2d(o.lx, o.ly)), add(OdGePoint2d(o.hx, o.hy));
    }
    bool valid() const { return lx <= hx && ly <= hy; }
    bool meets(const Box& o) const { return valid() && o.valid() && lx <= o.hx && o.lx <= hx && ly <= o.hy && o.ly <= hy; }
};

// ---- the font ----

// The glyph index of a character and how far it moves the pen, in ems;
// from the fallback font when the font lacks it.
struct Glyph {
    unsigned index = 0;
    double advance = 0;
    bool fallback = false;
};

// One font, loaded once a process and kept: FreeType for metrics, cairo
// for drawing from the same face.
class Font {
public:
    static Font* Get(const std::string& file, std::string& error)
    {
        static std::mutex mutex;
        static std::map<std::string, std::unique_ptr<Font>> loaded;
        static FT_Library library = nullptr;
        std::lock_guard<std::mutex> lock(mutex);
        auto it = loaded.find(file);
        if (it != loaded.end()) return it->second.get();
        if (!library && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            error = "texts cannot be drawn: FreeType does not start";
            return nullptr;
        }
        FT_Face face = nullptr;
        if (FT_New_Face(library, file.c_str(), 0, &face) != 0 || !face->units_per_EM) {
            if (face) FT_Done_Face(face);
            error = "texts cannot be drawn: the font file " + file +
                    " cannot be read (the fonts-wqy-microhei package installs it)";
            return nullptr;
        }
        std::unique_ptr<Font> font(new Font(face));
        if (cairo_font_face_status(font->face_) != CAIRO_STATUS_SUCCESS) {
            error = "texts cannot be drawn: cairo cannot use the font file " + file;
            return nullptr;
        }
        // Signs the font lacks (the diameter sign) come from the fallback;
        // without it they stay the font's missing-glyph box.
        FT_Face other = nullptr;
        if (file != kRenderFallbackFontFile && FT_New_Face(library, kRenderFallbackFontFile, 0, &other) == 0) {
            if (other->units_per_EM) {
                font->fallbackFt_ = other;
                font->fallback_ = cairo_ft_font_face_create_for_ft_face(other, FT_LOAD_NO_HINTING);
                if (cairo_font_face_status(font->fallback_) != CAIRO_STATUS_SUCCESS) font->fallbackFt_ = nullptr;
            } else {
                FT_Done_Face(other);
            }
        }
        return (loaded[file] = std::move(font)).get();
    }

    // The cairo face of the font, or of the fallback.
    cairo_font_face_t* face(bool fallback = false) const { return fallback ? fallback_ : face_; }
    // The height of capitals and the depth below the baseline, in ems.
    double cap() const { return cap_; }
    double descent() const { return descent_; }
    // Where the underline runs (below the base line) and how thick, in ems.
    double underline() const { return underline_; }
    double lineThickness() const { return thickness_; }

    Glyph glyph(char32_t c)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph g;
        g.index = FT_Get_Char_Index(face_ft_, c);
        if (!g.index && c == 0xA0) g.index = FT_Get_Char_Index(face_ft_, ' ');
        FT_Face from = face_ft_;
        if (!g.index && c > ' ' && fallbackFt_) {
            if (const unsigned other = FT_Get_Char_Index(fallbackFt_, c)) g.index = other, g.fallback = true, from = fallbackFt_;
        }
        FT_Fixed advance = 0;
        if (FT_Get_Advance(from, g.index, FT_LOAD_NO_SCALE, &advance) == 0)
            g.advance = (double)advance / from->units_per_EM;
        if (glyphs_.size() < 65536) glyphs_.emplace(c, g);
        return g;
    }

private:
    explicit Font(FT_Face face) : face_ft_(face)
    {
        const double em = face->units_per_EM;
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->version >= 2 && os2->sCapHeight > 0) cap_ = os2->sCapHeight / em;
        else if (FT_Load_Char(face, 'H', FT_LOAD_NO_SCALE) == 0 && face->glyph->metrics.height > 0)
            cap_ = face->glyph->metrics.height / em;
        descent_ = face->descender < 0 ? -face->descender / em : 0.2;
        if (face->underline_position < 0) underline_ = -face->underline_position / em;
        if (face->underline_thickness > 0) thickness_ = face->underline_thickness / em;
        // The face lives as long as the process, as does the font.
        face_ = cairo_ft_font_face_create_for_ft_face(face, FT_LOAD_NO_HINTING);
    }

    FT_Face face_ft_;
    cairo_font_face_t* face_ = nullptr;
    FT_Face fallbackFt_ = nullptr;  // null: no fallback
    cairo_font_face_t* fallback_ = nullptr;
    double cap_ = 0.7, descent_ = 0.2, underline_ = 0.1, thickness_ = 0.05;
    std::mutex mutex_;
    std::unordered_map<char32_t, Glyph> glyphs_;
};

std::mutex gFontFileMutex;
std::string gFontFile = kRenderFontFile;

// ---- what is drawn ----

struct Stroke {
    Ring points;
    Rgb color;
    uint8_t alpha = 255;
    bool closed = false;
    bool point = false;  // a point: a small cross
    float widthPx = 0;   // 0: a thin line
    int dashes = -1;     // index into the dash table; -1 continuous
};
struct Fill {
    std::vector<Ring> rings;  // even-odd
    Rgb color;
    uint8_t alpha = 255;
};
// One family of hatch lines in world units: line k passes through
// base + k * offset and runs along the unit vector dir, dashed from there.
struct HatchLines {
    OdGePoint2d base;
    OdGeVector2d dir, offset;
    std::vector<double> dashes;  // dash > 0, gap < 0, dot 0
};
struct Gradient {
    std::wstring name;
    Rgb c1, c2;
    double angle = 0, shift = 0;
};
struct Hatch {
    std::vector<Ring> rings;  // even-odd, islands already chosen by the style
    Rgb color;
    uint8_t alpha = 255;
    enum Kind { kSolid, kPattern, kGradient } kind = kSolid;
    std::vector<HatchLines> lines;
    Gradient gradient;
    bool background = false;
    Rgb backgroundColor;
};
// Glyphs of one size, slant and colour, placed in text space (y up, the
// base line of the first line at y = 0 before alignment).
struct GlyphRun {
    double em = 1, widthFactor = 1, slant = 0, height = 1;
    Rgb color;
    bool under = false, over = false;
    bool fallback = false;  // glyphs of the fallback font
    std::vector<cairo_glyph_t> glyphs;
    double x0 = 0, x1 = 0, baseline = 0;
};
struct Text {
    Affine toWorld;
    std::vector<GlyphRun> runs;
    uint8_t alpha = 255;
};
struct Raster {
    cairo_surface_t* surface = nullptr;
    int width = 0, height = 0;
    // The image halved again and again across and down, by the number of
    // halvings each way, made when first needed: cairo's filters run out of
    // memory shrinking an image thousands of times.
    std::map<std::pair<int, int>, cairo_surface_t*> halves;
    ~Raster()
    {
        if (surface) cairo_surface_destroy(surface);
        for (auto& h : halves) cairo_surface_destroy(h.second);
    }
    // The image at most `timesX` narrower and `timesY` lower, each way
    // halved a whole number of times down to a single pixel; null when
    // cairo cannot hold it.
    cairo_surface_t* shrunk(double timesX, double timesY);

private:
    cairo_surface_t* halved(int kx, int ky);
};

cairo_surface_t* Raster::shrunk(double timesX, double timesY)
{
    if (!surface) return nullptr;
    auto halvings = [](double times, int size) {
        int k = 0;
        for (; times >= 2 && size > 1; times /= 2, size = (size + 1) / 2) ++k;
        return k;
    };
    return halved(halvings(timesX, cairo_image_surface_get_width(surface)),
                  halvings(timesY, cairo_image_surface_get_height(surface)));
}

cairo_surface_t* Raster::halved(int kx, int ky)
{
    if (kx == 0 && ky == 0) return surface;
    if (auto it = halves.find({kx, ky}); it != halves.end()) return it->second;
    // One halving more than an image already made, across first.
    const bool across = kx > 0;
    cairo_surface_t* s = across ? halved(kx - 1, ky) : halved(kx, ky - 1);
    if (!s) return nullptr;
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    // Each pixel the mean of the two under it, premultiplied channels alike.
    const int hw = across ? (w + 1) / 2 : w, hh = across ? h : (h + 1) / 2;
    cairo_surface_t* half = cairo_image_surface_create(cairo_image_surface_get_format(s), hw, hh);
    if (cairo_surface_status(half) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(half);
        return nullptr;
    }
    cairo_surface_flush(s);
    cairo_surface_flush(half);
    const unsigned char* from = cairo_image_surface_get_data(s);
    unsigned char* to = cairo_image_surface_get_data(half);
    const int fromStride = cairo_image_surface_get_stride(s), toStride = cairo_image_surface_get_stride(half);
    for (int y = 0; y < hh; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(to + (size_t)y * toStride);
        const int y0 = across ? y : 2 * y, y1 = across ? y : std::min(2 * y + 1, h - 1);
        const auto* r0 = reinterpret_cast<const uint32_t*>(from + (size_t)y0 * fromStride);
        const auto* r1 = reinterpret_cast<const uint32_t*>(from + (size_t)y1 * fromStride);
        for (int x = 0; x < hw; ++x) {
            const uint32_t a = across ? r0[2 * x] : r0[x], b = across ? r0[std::min(2 * x + 1, w - 1)] : r1[x];
            uint32_t v = 0;
            // Halves round up and down in turn, so that many halvings add no bias.
            const uint32_t up = (uint32_t)(x + y) & 1;
            for (int shift = 0; shift < 32; shift += 8) v |= (((a >> shift & 0xFF) + (b >> shift & 0xFF) + up) / 2) << shift;
            out[x] = v;
        }
    }
    cairo_surface_mark_dirty(half);
    halves[{kx, ky}] = half;
    return half;
}
struct Picture {
    OdGePoint2d origin;
    OdGeVector2d u, v;
    std::shared_ptr<Raster> image;
};
using Item = std::variant<Stroke, Fill, Hatch, Text, Picture>;

OdGePoint2d P2(const OdGePoint3d& p) { return OdGePoint2d(p.x, p.y); }

Rgb FromBgr(uint32_t bgr) { return Rgb{(uint8_t)(bgr & 0xFF), (uint8_t)(bgr >> 8 & 0xFF), (uint8_t)(bgr >> 16 & 0xFF)}; }

Rgb Mix(Rgb a, Rgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    auto m = [t](uint8_t x, uint8_t y) { return (uint8_t)std::lround(x + (y - x) * t); };
    return Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb IndexColor(int index)
{
    // Index 7 is drawn black on the white background, as hosts do.
    if (index == 7 || index <= 0 || index > 255) return Rgb{0, 0, 0};
    return FromBgr(gcedGetRGB(index));
}

// The points of the arc from a to b with that bulge, a excluded.
void AddBulge(Ring& ring, const OdGePoint2d& a, const OdGePoint2d& b, double bulge)
{
    if (std::fabs(bulge) < 1e-9 || !std::isfinite(bulge)) {
        ring.push_back(b);
        return;
    }
    double theta = 4 * std::atan(bulge);  // signed sweep
    OdGeVector2d chord = b - a;
    double d = chord.length();
    if (!(d > 0)) return;
    double r = d / (2 * std::sin(std::fabs(theta) / 2));
    OdGePoint2d mid(a.x + chord.x / 2, a.y + chord.y / 2);
    OdGeVector2d n(-chord.y / d, chord.x / d);
    double h = r * std::cos(theta / 2);
    OdGePoint2d c(mid.x + n.x * h * (bulge > 0 ? 1 : -1), mid.y + n.y * h * (bulge > 0 ? 1 : -1));
    double a0 = std::atan2(a.y - c.y, a.x - c.x);
    int steps = std::clamp((int)std::ceil(std::fabs(theta) / (2 * M_PI / kCircleSteps)), 2, kCircleSteps);
    for (int i = 1; i <= steps; ++i) {
        double t = a0 + theta * i / steps;
        ring.emplace_back(c.x + r * std::cos(t), c.y + r * std::sin(t));
    }
}

template <class T>
const T* Record(OdDbObjectId id)
{
    return id.isValid() && !id.isErased() && id.stub() ? OdRxCast<T>(id.stub()->object) : nullptr;
}

const OdDbLayerTableRecord* LayerOf(const OdDbEntity* e) { return Record<OdDbLayerTableRecord>(e->layerId()); }

// A plane seen from above: its x and y axes by the arbitrary-axis rule for
// its normal, moved along the normal by the elevation.
Affine PlaneOf(const OdGeVector3d& normal, double elevation = 0)
{
    if (!std::isfinite(normal.x + normal.y + normal.z) || normal.isZeroLength() || !std::isfinite(elevation))
        return Affine();
    OdGeVector3d n = normal.normal(), x, y;
    if (n.x == 0 && n.y == 0 && n.z > 0) return Affine::Move(0, 0);
    OdGePlaneAxes(n, x, y);
    return {x.x, x.y, y.x, y.y, elevation * n.x, elevation * n.y};
}

// The angle of a world direction in a plane's own axes.
double AngleIn(const Affine& plane, const OdGeVector2d& d)
{
    return std::atan2(d.x * plane.c + d.y * plane.d, d.x * plane.a + d.y * plane.b);
}

// ---- text content ----

// Wide text to code points; UTF-16 pairs, where a wide string holds them,
// joined.
std::u32string Chars(const std::wstring& s)
{
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = (uint32_t)s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && (uint32_t)s[i + 1] >= 0xDC00 && (uint32_t)s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + ((uint32_t)s[++i] - 0xDC00);
        out += (char32_t)std::min<uint32_t>(c, 0x10FFFF);
    }
    return out;
}

bool IsHex(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// "%%d", "%%p", "%%c", "%%%" and "%%nnn" at i: the character, with i moved
// past the code; "%%u" and "%%o" (under and over lines) give 0.
bool SpecialCode(const std::u32string& s, size_t& i, char32_t& out)
{
    if (i + 2 >= s.size() || s[i] != '%' || s[i + 1] != '%') return false;
    char32_t k = s[i + 2];
    switch (k) {
    case 'd': case 'D': out = 0xB0; break;
    case 'p': case 'P': out = 0xB1; break;
    case 'c': case 'C': out = 0x2300; break;
    case '%': out = '%'; break;
    case 'u': case 'U': case 'o': case 'O': out = 0; break;
    default:
        if (k >= '0' && k <= '9') {
            uint32_t v = 0;
            size_t j = i + 2;
            for (; j < s.size() && j < i + 5 && s[j] >= '0' && s[j] <= '9'; ++j) v = v * 10 + (s[j] - '0');
            out = (char32_t)v;
            i = j - 1;
            return true;
        }
        return false;
    }
    i += 2;
    return true;
}

// "\U+XXXX" at i (the backslash): the character, with i at its last digit.
bool UnicodeCode(const std::u32string& s, size_t& i, char32_t& out)
{
    if (i + 6 >= s.size() + 0 || s[i + 1] != 'U' || s[i + 2] != '+') return false;
    for (size_t k = i + 3; k < i + 7; ++k)
        if (!IsHex(s[k])) return false;
    uint32_t v = 0;
    for (size_t k = i + 3; k < i + 7; ++k) v = v * 16 + (s[k] <= '9' ? s[k] - '0' : (s[k] | 0x20) - 'a' + 10);
    out = (char32_t)v;
    i += 6;
    return true;
}

struct RunStyle {
    double height = 1, widthFactor = 1, slant = 0;
    Rgb color;
    bool under = false, over = false;  // lines under and over the characters
    bool operator==(const RunStyle& o) const
    {
        return height == o.height && widthFactor == o.widthFactor && slant == o.slant && color == o.color &&
               under == o.under && over == o.over;
    }
};

struct StyledChar {
    char32_t c;
    int style;
};
using Paragraph = std::vector<StyledChar>;

// A single-line text's characters with its codes replaced, "%%u" and "%%o"
// switching the lines under and over the characters that follow on and
// off: styles[0] is the text's own, the others are added.
Paragraph TextParagraph(const std::wstring& text, std::vector<RunStyle>& styles)
{
    const std::u32string s = Chars(text);
    Paragraph out;
    int cur = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        const size_t at = i;
        if (!SpecialCode(s, i, c) && !(s[i] == '\\' && UnicodeCode(s, i, c))) {
            out.push_back({c, cur});
            continue;
        }
        const char32_t code = s[at] == '%' ? (s[at + 2] | 0x20) : 0;
        if (c) {
            out.push_back({c, cur});
        } else if (code == 'u' || code == 'o') {
            RunStyle st = styles[(size_t)cur];
            if (code == 'u') st.under = !st.under;
            else st.over = !st.over;
            auto it = std::find(styles.begin(), styles.end(), st);
            cur = (int)(it - styles.begin());
            if (it == styles.end()) styles.push_back(st);
        }
    }
    return out;
}

double Number(const std::u32string& s, bool& relative, bool& ok)
{
    std::string n;
    for (char32_t c : s)
        if (c < 128) n += (char)c;
    relative = !n.empty() && (n.back() == 'x' || n.back() == 'X');
    if (relative) n.pop_back();
    char* end = nullptr;
    double v = std::strtod(n.c_str(), &end);
    ok = end && end != n.c_str() && *end == 0 && std::isfinite(v);
    return v;
}

// A multiline text's contents as paragraphs of styled characters: the
// format codes change the style (height, width, slant, colour) or are left
// out (fonts, lines, tracking, alignment), stacked fractions read "a/b".
class MTextParser {
public:
    MTextParser(const RunStyle& base, Rgb byLayer, Rgb byBlock) : byLayer_(byLayer), byBlock_(byBlock)
    {
        styles.push_back(base);
        paragraphs.emplace_back();
    }

    void parse(const std::u32string& s)
    {
        std::vector<int> stack;
        int cur = 0;
        auto put = [&](char32_t c) {
            if (paragraphs.back().size() < 100000) paragraphs.back().push_back({c, cur});
        };
        auto value = [&](size_t& i) {
            size_t end = s.find(U';', i + 1);
            std::u32string v = s.substr(i + 1, end == std::u32string::npos ? std::u32string::npos : end - i - 1);
            i = end == std::u32string::npos ? s.size() : end;
            return v;
        };
        auto change = [&](const RunStyle& st) {
            auto it = std::find(styles.begin(), styles.end(), st);
            if (it != styles.end()) cur = (int)(it - styles.begin());
            else if (styles.size() < 4096) {
                styles.push_back(st);
                cur = (int)styles.size() - 1;
            }
        };
        for (size_t i = 0; i < s.size(); ++i) {
            char32_t c = s[i];
            if (c == '{') {
                if (stack.size() < 256) stack.push_back(cur);
                continue;
            }
            if (c == '}') {
                if (!stack.empty()) cur = stack.back(), stack.pop_back();
                continue;
            }
            if (c == '^' && i + 1 < s.size()) {
                char32_t k = s[++i];
                if (k == 'J') paragraphs.emplace_back();
                else if (k == 'I') put('\t');
                else if (k == ' ') put('^');
                else if (k != 'M') put('^'), put(k);
                continue;
            }
            char32_t special = 0;
            if (SpecialCode(s, i, special)) {
                if (special) put(special);
                continue;
            }
            if (c != '\\' || i + 1 >= s.size()) {
                put(c);
                continue;
            }
            if (UnicodeCode(s, i, special)) {
                put(special);
                continue;
            }
            char32_t k = s[++i];
            RunStyle st = styles[cur];
            bool relative = false, ok = false;
            switch (k) {
            case 'P': case 'N': case 'X': paragraphs.emplace_back(); break;
            case '~': put(0xA0); break;
            case '\\': case '{': case '}': put(k); break;
            case 'L': case 'l':
                st.under = k == 'L';
                change(st);
                break;
            case 'O': case 'o':
                st.over = k == 'O';
                change(st);
                break;
            case 'K': case 'k': break;
            case 'H': {
                double v = Number(value(i), relative, ok);
                if (ok && v > 0) {
                    st.height = relative ? st.height * v : v;
                    change(st);
                }
                break;
            }
            case 'W': {
                double v = Number(value(i), relative, ok);
                if (ok && v > 0) {
                    st.widthFactor = relative ? st.widthFactor * v : v;
                    change(st);
                }
                break;
            }
            case 'Q': {
                double v = Number(value(i), relative, ok);
                if (ok && std::fabs(v) < 85) {
                    st.slant = std::tan(v * M_PI / 180);
                    change(st);
                }
                break;
            }
            case 'C': {
                double v = Number(value(i), relative, ok);
                if (ok && v >= 0 && v <= 256) {
                    int n = (int)v;
                    st.color = n == 256 ? byLayer_ : n == 0 ? byBlock_ : IndexColor(n);
                    change(st);
                }
                break;
            }
            case 'c': {
                double v = Number(value(i), relative, ok);
                if (ok && v >= 0 && v <= 0xFFFFFF) {
                    st.color = FromBgr((uint32_t)v);
                    change(st);
                }
                break;
            }
            case 'S': {
                // Stacked text: the parts on one line with a slash between.
                for (++i; i < s.size() && s[i] != ';'; ++i) {
                    if (s[i] == '\\' && i + 1 < s.size()) put(s[++i]);
                    else if (s[i] == '^' || s[i] == '/' || s[i] == '#') put('/');
                    else put(s[i]);
                }
                break;
            }
            case 'A': case 'T': case 'f': case 'F': case 'p': value(i); break;
            default: put('\\'), put(k); break;
            }
        }
    }

    std::vector<RunStyle> styles;
    std::vector<Paragraph> paragraphs;

private:
    Rgb byLayer_, byBlock_;
};

bool IsWide(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || c >= 0x20000;
}

// Lays styled characters out: paragraphs into lines wrapped to a width (0:
// not wrapped) at spaces and around Chinese characters, lines into glyph
// runs from a point on their base line.
class Layout {
public:
    Layout(Font& font, const std::vector<RunStyle>& styles) : font_(font), styles_(styles) {}

    double advance(const StyledChar& ch)
    {
        const RunStyle& st = styles_[ch.style];
        double em = st.height / font_.cap();
        if (ch.c == '\t') return 4 * font_.glyph(' ').advance * em * st.widthFactor;
        if (ch.c < 0x20) return 0;
        return font_.glyph(ch.c).advance * em * st.widthFactor;
    }

    struct Line {
        std::vector<StyledChar> chars;
        double width = 0, height = 0;
    };

    std::vector<Line> wrap(const std::vector<Paragraph>& paragraphs, double wrapWidth, double baseHeight)
    {
        std::vector<Line> lines;
        for (const auto& p : paragraphs) {
            size_t start = 0;
            while (true) {
                size_t end = p.size(), brk = 0;
                double x = 0;
                if (wrapWidth > 0) {
                    for (size_t j = start; j < p.size(); ++j) {
                        bool space = p[j].c == ' ' || p[j].c == '\t';
                        if (j > start && !space && (IsWide(p[j].c) || IsWide(p[j - 1].c))) brk = j;
                        double a = advance(p[j]);
                        // A word longer than the width stands on a line of
                        // its own, past the width.
                        if (!space && j > start && x + a > wrapWidth && brk > start) {
                            end = brk;
                            break;
                        }
                        x += a;
                        if (space) brk = j + 1;
                    }
                }
                Line line;
                size_t last = end;
                while (last > start && (p[last - 1].c == ' ' || p[last - 1].c == '\t')) --last;
                line.height = baseHeight;
                for (size_t j = start; j < last; ++j) {
                    line.chars.push_back(p[j]);
                    line.width += advance(p[j]);
                    line.height = std::max(line.height, styles_[p[j].style].height);
                }
                lines.push_back(std::move(line));
                if (end >= p.size() || lines.size() > 20000) break;
                start = end;
                while (start < p.size() && p[start].c == ' ') ++start;
                if (start >= p.size()) break;
            }
        }
        return lines;
    }

    // The glyphs of one line from x along the base line y.
    void place(const Line& line, double x, double y, std::vector<GlyphRun>& runs)
    {
        int style = -1;
        bool fallback = false;
        for (const auto& ch : line.chars) {
            double a = advance(ch);
            const Glyph glyph = ch.c > ' ' && ch.c != 0xA0 ? font_.glyph(ch.c) : Glyph();
            if (ch.style != style || runs.empty() || (glyph.index && glyph.fallback != fallback)) {
                style = ch.style;
                if (glyph.index) fallback = glyph.fallback;
                const RunStyle& st = styles_[style];
                GlyphRun run;
                run.em = st.height / font_.cap();
                run.widthFactor = st.widthFactor;
                run.slant = st.slant;
                run.height = st.height;
                run.color = st.color;
                run.under = st.under;
                run.over = st.over;
                run.fallback = fallback;
                run.x0 = run.x1 = x;
                run.baseline = y;
                runs.push_back(std::move(run));
            }
            GlyphRun& run = runs.back();
            if (glyph.index || (ch.c > ' ' && ch.c != 0xA0)) run.glyphs.push_back(cairo_glyph_t{glyph.index, x, y});
            x += a;
            run.x1 = x;
        }
    }

private:
    Font& font_;
    const std::vector<RunStyle>& styles_;
};

// ---- collecting ----

// What an entity inside a block reference takes from it.
struct Context {
    Affine xf;                                          // block to world
    Rgb byBlock{0, 0, 0};                               // colour ByBlock
    const OdDbLinetypeTableRecord* byBlockLinetype = nullptr;  // null: continuous
    double byBlockLinetypeScale = 1;
    int byBlockLineWeight = OdDb::kLnWtByLwDefault;
    const OdDbLayerTableRecord* layer0 = nullptr;       // what layer "0" means here (the reference's layer)
    int depth = 0;
};

// The kind of an entity as a picture line names it: the type its file gave
// one kept as read, else its class without the "AcDb".
std::string KindOf(const OdDbEntity* e)
{
    if (auto* kept = OdRxCast<OdDbProxyEntity>(e))
        if (!kept->originalDxfName().isEmpty()) return standin::WideToUtf8(kept->originalDxfName().c_str());
    std::string kind = standin::WideToUtf8(e->isA()->name().c_str());
    if (kind.compare(0, 4, "AcDb") == 0) kind.erase(0, 4);
    return kind;
}

class Collector {
public:
    Collector(OdDbDatabase* db, const std::string& fontFile) : db_(db), fontFile_(fontFile) {}
    void entity(const OdDbEntity* e, const Context& ctx);
    // The font glyphs were laid out in; null when there were none.
    Font* usedFont() const { return font_; }

    std::vector<Item> items;
    std::vector<Box> boxes;
    std::vector<std::vector<double>> dashTable;  // world lengths
    int entities = 0, images = 0, missing = 0, unreadableImages = 0, texts = 0, hatches = 0;
    // The image files that are there but cannot be read, with why.
    std::vector<std::pair<std::string, std::string>> unreadable;
    // Curves nothing could be drawn of, by kind.
    std::map<std::string, int> undrawn;
    // Entities of kinds the picture has no drawing for (kept as a file gave
    // them, with no graphics), or whose points give nothing to draw, by kind.
    std::map<std::string, int> leftOut;
    std::wstring imageFolder;  // where relative image names are found
    std::string fontError;

private:
    void add(Item item, const Box& box)
    {
        items.push_back(std::move(item));
        boxes.push_back(box);
    }
    void stroke(Ring points, bool closed, const Context& ctx, const OdDbEntity* e, Rgb color);
    void curve(const OdDbCurve* c, const Context& ctx, Rgb color);
    void polyline(const std::vector<OdGePoint2d>& v, const std::vector<double>& bulges, bool closed, bool plinegen,
                  const Context& ctx, const OdDbEntity* e, Rgb color);
    void sampled(const OdDbCurve* c, const Context& ctx, Rgb color);
    const OdDbLayerTableRecord* layerOf(const OdDbEntity* e, const Context& ctx) const;
    void widePolyline(const std::vector<OdGePoint2d>& pts, const std::vector<double>& bulges,
                      const std::vector<std::pair<double, double>>& widths, bool closed, const Affine& xf, Rgb color);
    void text(const OdDbText* t, const Context& ctx, Rgb color);
    void mtext(const OdDbMText* m, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer);
    void hatch(const OdDbHatch* h, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer);
    void image(const OdDbRasterImage* img, const Context& ctx);
    void blockReference(const OdDbBlockReference* ref, const Context& ctx, Rgb color,
                        const OdDbLayerTableRecord* layer);
    Font* font();
    int dashesOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer, const Context& ctx);
    int lineWeightOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer, const Context& ctx) const;
    void blockContents(const OdDbBlockTableRecord* block, const Context& inner);
    void textLine(const std::wstring& text, const RunStyle& st, const Affine& toWorld, double alignX, double dy);
    void dimension(const OdDbDimension* dim, const Context& ctx, Rgb color);
    void arrowhead(const OdGePoint2d& tip, const OdGeVector2d& back, const Context& ctx, Rgb color);
    void leader(const OdDbProxyEntity* p, const Context& ctx, Rgb color);
    void faceOrTrace(const OdDbProxyEntity* p, bool face, const Context& ctx, Rgb color);
    void lineTexts(const Ring& points, bool closed, const OdDbEntity* e, const OdDbLayerTableRecord* layer,
                   const Context& ctx, Rgb color);
    Context inside(const OdDbEntity* owner, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer,
                   const Affine& xf) const;
    void mesh(const OdDbEntity* e, const Context& ctx, Rgb color);
    const OdDbLinetypeTableRecord* linetypeOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer,
                                              const Context& ctx, double& scale) const;
    Rgb colorOf(OdCmColor c, const OdDbLayerTableRecord* layer, Rgb byBlock) const;

    OdDbDatabase* db_;
    std::string fontFile_;
    Font* font_ = nullptr;
    bool fontTried_ = false;
    std::map<std::pair<const void*, double>, int> dashIndex_;
    std::map<std::wstring, std::shared_ptr<Raster>> rasters_;
    std::map<const void*, bool> lineTexts_;  // line types with texts in their dashes
    int lineTextCount_ = 0;
};

Font* Collector::font()
{
    if (!fontTried_) {
        fontTried_ = true;
        font_ = Font::Get(fontFile_, fontError);
    }
    return font_;
}

Rgb Collector::colorOf(OdCmColor c, const OdDbLayerTableRecord* layer, Rgb byBlock) const
{
    if (c.isByLayer()) {
        c = layer ? layer->color() : OdCmColor();
        if (c.isByLayer() || c.isByBlock()) c.setColorIndex(7);
    }
    if (c.isByBlock()) return byBlock;
    if (c.isByColor()) return Rgb{c.red(), c.green(), c.blue()};
    return IndexColor(c.isByACI() ? c.colorIndex() : 7);
}

const OdDbLinetypeTableRecord* Collector::linetypeOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer,
                                                     const Context& ctx, double& scale) const
{
    scale = e->linetypeScale() > 0 && std::isfinite(e->linetypeScale()) ? e->linetypeScale() : 1;
    OdDbObjectId id = e->linetypeId();
    if (db_ && id == db_->getLinetypeByBlockId()) {
        scale *= ctx.byBlockLinetypeScale;
        return ctx.byBlockLinetype;
    }
    if (!id.isValid() || (db_ && id == db_->getLinetypeByLayerId())) id = layer ? layer->linetypeObjectId() : OdDbObjectId();
    if (db_ && (id == db_->getLinetypeByLayerId() || id == db_->getLinetypeByBlockId())) return nullptr;
    return Record<OdDbLinetypeTableRecord>(id);
}

// The entity's line weight in hundredths of a millimetre, ByLayer and
// ByBlock resolved; the default weight is negative.
int Collector::lineWeightOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer, const Context& ctx) const
{
    int w = e->lineWeight();
    if (w == OdDb::kLnWtByLayer) w = layer ? layer->lineWeight() : OdDb::kLnWtByLwDefault;
    if (w == OdDb::kLnWtByBlock) w = ctx.byBlockLineWeight;
    return w;
}

// The entity's line type as world lengths, in the dash table; -1 for a
// continuous line.
int Collector::dashesOf(const OdDbEntity* e, const OdDbLayerTableRecord* layer, const Context& ctx)
{
    double scale = 1;
    const OdDbLinetypeTableRecord* lt = linetypeOf(e, layer, ctx, scale);
    if (!lt || lt->numDashes() < 2) return -1;
    scale *= ctx.xf.scale() * (db_ ? db_->getLTSCALE() : 1.0);
    if (!(scale > 0) || !std::isfinite(scale)) return -1;
    auto key = std::make_pair(static_cast<const void*>(lt), scale);
    auto it = dashIndex_.find(key);
    if (it != dashIndex_.end()) return it->second;
    std::vector<double> d;
    bool anyGap = false;
    for (int i = 0; i < lt->numDashes() && i < 64; ++i) {
        double v = lt->dashLengthAt(i);
        if (!std::isfinite(v)) return -1;
        d.push_back(v * scale);
        anyGap = anyGap || v < 0;
    }
    int index = -1;
    if (anyGap) {
        index = (int)dashTable.size();
        dashTable.push_back(std::move(d));
    }
    dashIndex_[key] = index;
    return index;
}

// The layer an entity is drawn on: inside a block, layer "0" stands for
// the reference's.
const OdDbLayerTableRecord* Collector::layerOf(const OdDbEntity* e, const Context& ctx) const
{
    if (db_ && ctx.layer0 && e->layerId() == db_->getLayerZeroId()) return ctx.layer0;
    return LayerOf(e);
}

void Collector::stroke(Ring points, bool closed, const Context& ctx, const OdDbEntity* e, Rgb color)
{
    if (points.size() < 2) return;
    Stroke s;
    s.color = color;
    s.closed = closed;
    const OdDbLayerTableRecord* layer = layerOf(e, ctx);
    s.dashes = dashesOf(e, layer, ctx);
    // Weights up to the default show as thin lines.
    int weight = lineWeightOf(e, layer, ctx);
    if (weight > OdDb::kLnWt025) s.widthPx = (float)(weight * kPixelsPerHundredthMm);
    Box box;
    double length = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        points[i] = ctx.xf(points[i]);
        box.add(points[i]);
        if (i) length += (points[i] - points[i - 1]).length();
    }
    if (closed) length += (points.front() - points.back()).length();
    // A line too short to hold its pattern once is drawn continuous, as
    // the host draws it.
    if (s.dashes >= 0) {
        double period = 0;
        for (double d : dashTable[(size_t)s.dashes]) period += std::fabs(d);
        if (length < period) s.dashes = -1;
    }
    const bool dashed = s.dashes >= 0;
    if (dashed) lineTexts(points, closed, e, layer, ctx, color);
    s.points = std::move(points);
    add(std::move(s), box);
}

// One line of text, its special codes read: its base line starts
// `alignX` of its width back from the origin of `toWorld`, `dy` up.
void Collector::textLine(const std::wstring& text, const RunStyle& st, const Affine& toWorld, double alignX, double dy)
{
    Font* f = font();
    if (!f || text.empty() || !Finite(toWorld) || !(st.height > 0) || !std::isfinite(st.height)) return;
    std::vector<RunStyle> styles{st};
    const Paragraph para = TextParagraph(text, styles);
    if (para.empty()) return;
    Layout layout(*f, styles);
    auto lines = layout.wrap({para}, 0, st.height);
    if (lines.empty()) return;
    const double x = -alignX * lines[0].width, below = f->descent() * st.height / f->cap();
    Text item;
    layout.place(lines[0], x, dy, item.runs);
    item.toWorld = toWorld;
    const double above = st.height * (1 + 2 * f->underline() / f->cap());  // room for a line over it
    Box box;
    for (OdGePoint2d q : {OdGePoint2d(x, dy - below), OdGePoint2d(x + lines[0].width, dy - below),
                          OdGePoint2d(x + lines[0].width, dy + above), OdGePoint2d(x, dy + above)})
        box.add(toWorld(q));
    add(std::move(item), box);
}

// The size of arrowheads and texts of what is drawn from its points, as
// the host's standard dimension style has them.
const double kDimensionSize = 2.5;

// A filled arrowhead with its tip at `tip`, its base back along `back`.
void Collector::arrowhead(const OdGePoint2d& tip, const OdGeVector2d& back, const Context& ctx, Rgb color)
{
    const double len = back.length(), size = kDimensionSize;
    if (!(len > 0) || !std::isfinite(len)) return;
    OdGeVector2d u = back * (1 / len), n(-u.y, u.x);
    Ring r{ctx.xf(tip), ctx.xf(tip + u * size + n * (size / 6)), ctx.xf(tip + u * size - n * (size / 6))};
    Box box;
    for (const auto& q : r) box.add(q);
    add(Fill{{r}, color, 255}, box);
}

// A dimension without a block of graphics, drawn as the host's standard
// style would: extension lines, the dimension line (an arc for an angle,
// a leader for an ordinate) with arrowheads and the measurement (or the
// dimension's own text, "<>" standing for the measurement), 2.5 units
// high, over the middle of the line or at the text's position.
void Collector::dimension(const OdDbDimension* dim, const Context& ctx, Rgb color)
{
    const double size = kDimensionSize;
    auto arrow = [&](const OdGePoint2d& tip, const OdGeVector2d& back) { arrowhead(tip, back, ctx, color); };
    auto line = [&](const OdGePoint2d& a, const OdGePoint2d& b) { stroke({a, b}, false, ctx, dim, color); };
    auto number = [](double measured) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", std::isfinite(measured) ? measured : 0.0);
        std::string n = buf;
        while (n.find('.') != std::string::npos && (n.back() == '0' || n.back() == '.')) n.pop_back();
        return std::wstring(n.begin(), n.end());
    };
    // The text along `along` (turned to read left to right or upwards),
    // `alignX` of its width back from `at`, its base line `dy` above it.
    auto label = [&](const std::wstring& value, const OdGePoint2d& at, OdGeVector2d along, double alignX, double dy) {
        std::wstring text = dim->dimensionText().str();
        if (text == L" ") return;  // suppressed
        if (text.empty()) text = L"<>";
        for (size_t k = 0; (k = text.find(L"<>", k)) != std::wstring::npos; k += value.size()) text.replace(k, 2, value);
        if (along.x < 0 || (along.x == 0 && along.y < 0)) along = along * -1, alignX = 1 - alignX;
        double angle = std::atan2(along.y, along.x);
        RunStyle st;
        st.height = size;
        st.color = color;
        OdGePoint2d w = ctx.xf(at);
        textLine(text, st, Affine::Move(w.x, w.y) * Affine::Turn(std::isfinite(angle) ? angle : 0), alignX, dy);
    };
    // Extension lines run from a little off the point measured to a
    // little past the dimension line.
    auto extension = [&](const OdGePoint2d& from, const OdGePoint2d& to) {
        OdGeVector2d v = to - from;
        double l = v.length();
        if (l > 0 && std::isfinite(l)) line(from + v * (size / 4 / l), to + v * (size / 2 / l));
    };
    auto linear = [&](const OdGePoint2d& x1, const OdGePoint2d& x2, const OdGePoint2d& on, OdGeVector2d u) {
        double len = u.length();
        if (!(len > 0)) return;
        u = u * (1 / len);
        OdGePoint2d p1 = on + u * ((x1 - on).x * u.x + (x1 - on).y * u.y);
        OdGePoint2d p2 = on + u * ((x2 - on).x * u.x + (x2 - on).y * u.y);
        extension(x1, p1), extension(x2, p2), line(p1, p2);
        arrow(p1, p2 - p1), arrow(p2, p1 - p2);
        label(number((p2 - p1).length()), P2(dim->textPosition()), u, 0.5, size / 2);
    };
    auto direction = [](const OdGeVector2d& v) { return std::atan2(v.y, v.x); };
    // Counter-clockwise from a to b, in [0, 2 pi).
    auto ccw = [](double a, double b) {
        double d = std::fmod(b - a, 2 * M_PI);
        return d < 0 ? d + 2 * M_PI : d;
    };
    // The arc about c through `through`, from the direction `from` turning
    // `sweep` counter-clockwise, with arrowheads at its ends; each measured
    // line (its ends, on the ray of its end of the arc) gets an extension
    // line out to the arc where the arc lies beyond it.
    auto angular = [&](const OdGePoint2d& c, const OdGePoint2d& through, double from, double sweep,
                       const OdGePoint2d ends1[2], const OdGePoint2d ends2[2]) {
        const double r = (through - c).length();
        if (!(r > 0) || !std::isfinite(r + from + sweep) || !(sweep > 0)) return;
        auto at = [&](double a) { return c + OdGeVector2d(std::cos(a), std::sin(a)) * r; };
        const int steps = std::clamp((int)std::ceil(sweep / (2 * M_PI / kCircleSteps)), 2, kCircleSteps);
        Ring arc;
        for (int i = 0; i <= steps; ++i) arc.push_back(at(from + sweep * i / steps));
        stroke(std::move(arc), false, ctx, dim, color);
        const double to = from + sweep;
        arrow(at(from), OdGeVector2d(-std::sin(from), std::cos(from)));
        arrow(at(to), OdGeVector2d(std::sin(to), -std::cos(to)));
        for (int k = 0; k < 2; ++k) {
            const double a = k ? to : from;
            const OdGePoint2d* ends = k ? ends2 : ends1;
            const OdGeVector2d u(std::cos(a), std::sin(a));
            const double t0 = (ends[0] - c).dotProduct(u), t1 = (ends[1] - c).dotProduct(u);
            if (r > std::max(t0, t1)) extension(t0 > t1 ? ends[0] : ends[1], at(a));
            else if (r < std::min(t0, t1)) extension(t0 < t1 ? ends[0] : ends[1], at(a));
        }
        const OdGePoint2d text = P2(dim->textPosition());
        const double ta = (text - c).length() > 0 ? direction(text - c) : from + sweep / 2;
        label(number(sweep * 180 / M_PI) + L"\u00b0", text, OdGeVector2d(-std::sin(ta), std::cos(ta)), 0.5, size / 2);
    };
    if (auto* a = OdRxCast<OdDbAlignedDimension>(dim)) {
        linear(P2(a->xLine1Point()), P2(a->xLine2Point()), P2(a->dimLinePoint()), P2(a->xLine2Point()) - P2(a->xLine1Point()));
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(dim)) {
        linear(P2(r->xLine1Point()), P2(r->xLine2Point()), P2(r->dimLinePoint()),
               OdGeVector2d(std::cos(r->rotation()), std::sin(r->rotation())));
    } else if (auto* rad = OdRxCast<OdDbRadialDimension>(dim)) {
        OdGePoint2d c = P2(rad->center()), p = P2(rad->chordPoint());
        line(c, p), arrow(p, c - p);
        label(L"R" + number((p - c).length()), P2(dim->textPosition()), p - c, 0.5, size / 2);
    } else if (auto* dia = OdRxCast<OdDbDiametricDimension>(dim)) {
        OdGePoint2d a = P2(dia->chordPoint()), b = P2(dia->farChordPoint());
        line(a, b), arrow(a, b - a), arrow(b, a - b);
        label(L"\u2300" + number((b - a).length()), P2(dim->textPosition()), b - a, 0.5, size / 2);
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(dim)) {
        // Between the rays from the centre through the two points, on the
        // side of the arc point.
        const OdGePoint2d c = P2(a3->centerPoint()), p1 = P2(a3->xLine1Point()), p2 = P2(a3->xLine2Point()),
                          q = P2(a3->arcPoint());
        const double a1 = direction(p1 - c), a2 = direction(p2 - c), sweep = ccw(a1, a2);
        const OdGePoint2d ends1[2] = {p1, p1}, ends2[2] = {p2, p2};
        if (ccw(a1, direction(q - c)) <= sweep) angular(c, q, a1, sweep, ends1, ends2);
        else angular(c, q, a2, 2 * M_PI - sweep, ends2, ends1);
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(dim)) {
        // Between the two lines, in the one of the four angles they make
        // that holds the arc point.
        const OdGePoint2d s1 = P2(a2->xLine1Start()), e1 = P2(a2->xLine1End()), s2 = P2(a2->xLine2Start()),
                          e2 = P2(a2->xLine2End()), q = P2(a2->arcPoint());
        const OdGeVector2d d1 = e1 - s1, d2 = e2 - s2;
        const double cross = d1.x * d2.y - d1.y * d2.x;
        if (!(std::fabs(cross) > 1e-12 * d1.length() * d2.length())) return;  // parallel: no angle
        const OdGePoint2d c = s1 + d1 * (((s2 - s1).x * d2.y - (s2 - s1).y * d2.x) / cross);
        const double rays[4] = {direction(d1), direction(d2), direction(d1) + M_PI, direction(d2) + M_PI};
        // The ray clockwise of the arc point, and the next one on. An arc
        // point on a line (or on the crossing) leaves the angle between the
        // rays towards the lines' middles.
        double aq = direction(q - c);
        bool onRay = !((q - c).length() > 0);
        for (double ray : rays) onRay = onRay || std::fabs(std::remainder(aq - ray, 2 * M_PI)) < 1e-9;
        if (onRay) {
            const OdGeVector2d m1 = (s1 - c) + (e1 - c), m2 = (s2 - c) + (e2 - c);
            const OdGeVector2d r1 = m1.dotProduct(d1) < 0 ? -d1 : d1, r2 = m2.dotProduct(d2) < 0 ? -d2 : d2;
            aq = direction(r1 + r2);
        }
        int first = 0;
        for (int k = 1; k < 4; ++k)
            if (ccw(rays[k], aq) < ccw(rays[first], aq)) first = k;
        int last = (first + 1) % 4;
        for (int k = 0; k < 4; ++k)
            if (k != first && ccw(rays[first], rays[k]) < ccw(rays[first], rays[last])) last = k;
        const OdGePoint2d line1[2] = {s1, e1}, line2[2] = {s2, e2};
        angular(c, q, rays[first], ccw(rays[first], rays[last]), first % 2 ? line2 : line1, last % 2 ? line2 : line1);
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(dim)) {
        // A leader from the feature to its end, along the axis across the
        // one measured, with a jog in its middle third where the end is to
        // one side; the ordinate at its end, or at the text's position.
        const OdGePoint2d f = P2(o->definingPoint()), end = P2(o->leaderEndPoint()), origin = P2(o->origin());
        const bool x = o->isUsingXAxis();
        const double run = x ? end.y - f.y : end.x - f.x;
        const OdGeVector2d u = x ? OdGeVector2d(0, run < 0 ? -1 : 1) : OdGeVector2d(run < 0 ? -1 : 1, 0);
        auto along = [&](double t) { return x ? OdGePoint2d(f.x, f.y + run * t) : OdGePoint2d(f.x + run * t, f.y); };
        const double gap = std::min(size / 4, std::fabs(run) / 3);
        Ring leader{f + u * gap};
        if (x ? end.x != f.x : end.y != f.y) {
            const OdGePoint2d k1 = along(1.0 / 3), k2 = along(2.0 / 3);
            leader.push_back(k1);
            leader.push_back(x ? OdGePoint2d(end.x, k2.y) : OdGePoint2d(k2.x, end.y));
        }
        leader.push_back(end);
        stroke(std::move(leader), false, ctx, dim, color);
        const std::wstring value = number(std::fabs(x ? f.x - origin.x : f.y - origin.y));
        const OdGePoint2d text = P2(dim->textPosition());
        if ((text - end).length() <= 1e-9 * std::max(1.0, std::fabs(end.x) + std::fabs(end.y)))
            label(value, end + u * (size / 4), u, 0, -size / 2);
        else
            label(value, text, u, 0.5, -size / 2);
    }
}

// A LEADER as its file gave it: its vertices as a line (a spline path
// through the same points), an arrowhead at the first where its flag asks
// for one (the default). Its text is an entity of its own.
void Collector::leader(const OdDbProxyEntity* p, const Context& ctx, Rgb color)
{
    const std::vector<std::pair<int, double>> values = p->fileNumbers("AcDbLeader");
    Ring vertices;
    bool arrow = true;
    for (size_t i = 0; i < values.size() && vertices.size() < (size_t)kMaxCurvePoints; ++i) {
        const int code = values[i].first;
        if (code == 71) arrow = values[i].second != 0;
        if (code == 10 && i + 1 < values.size() && values[i + 1].first == 20)
            vertices.emplace_back(values[i].second, values[i + 1].second);
    }
    Ring drawn;
    for (const OdGePoint2d& v : vertices)
        if (std::isfinite(v.x) && std::isfinite(v.y) && (drawn.empty() || !(drawn.back() == v))) drawn.push_back(v);
    if (drawn.size() < 2) return;
    const OdGeVector2d back = drawn[1] - drawn[0];
    stroke(drawn, false, ctx, p, color);
    // The host leaves the arrowhead out where the first segment is too
    // short to hold it.
    if (arrow && back.length() >= kDimensionSize) arrowhead(drawn[0], back, ctx, color);
}

// A 3DFACE as its visible edges (flag 70: 1, 2, 4 and 8 hide the edge from
// the first, second, third and fourth corner), a TRACE filled between its
// corners in its own plane as a solid is; as their file gave them. A
// fourth corner left out is the third.
void Collector::faceOrTrace(const OdDbProxyEntity* p, bool face, const Context& ctx, Rgb color)
{
    const std::vector<std::pair<int, double>> values = p->fileNumbers(face ? "AcDbFace" : "AcDbTrace");
    OdGePoint3d corner[4];
    bool given[4] = {false, false, false, false};
    int flags = 0;
    OdGeVector3d normal(0, 0, 1);
    for (size_t i = 0; i < values.size(); ++i) {
        const int code = values[i].first;
        auto next = [&](size_t k, int want) { return i + k < values.size() && values[i + k].first == want; };
        if (code >= 10 && code <= 13 && next(1, code + 10)) {
            OdGePoint3d& c = corner[code - 10];
            c.set(values[i].second, values[i + 1].second, next(2, code + 20) ? values[i + 2].second : 0);
            given[code - 10] = true;
        } else if (code == 70) {
            flags = (int)values[i].second;
        } else if (code == 210 && next(1, 220) && next(2, 230)) {
            normal.set(values[i].second, values[i + 1].second, values[i + 2].second);
        }
    }
    if (!given[0] || !given[1] || !given[2]) return;
    if (!given[3]) corner[3] = corner[2];
    if (face) {
        for (int k = 0; k < 4; ++k) {
            const OdGePoint2d a = P2(corner[k]), b = P2(corner[(k + 1) % 4]);
            if (!(flags & (1 << k)) && !(a == b)) stroke({a, b}, false, ctx, p, color);
        }
        return;
    }
    const Affine xf = ctx.xf * PlaneOf(normal, corner[0].z);
    Ring r{xf(P2(corner[0])), xf(P2(corner[1])), xf(P2(corner[3])), xf(P2(corner[2]))};
    Box box;
    for (const auto& q : r) box.add(q);
    if (box.valid()) add(Fill{{r}, color, 255}, box);
}

// The texts of a complex line type along a stroke (world points): each at
// the end of its dash in every repeat of the pattern, moved by its offset
// along and across the line, turned with the line (or not) and kept
// upright where asked. Shapes of shape files are not drawn.
void Collector::lineTexts(const Ring& points, bool closed, const OdDbEntity* e, const OdDbLayerTableRecord* layer,
                          const Context& ctx, Rgb color)
{
    double scale = 1;
    const OdDbLinetypeTableRecord* lt = linetypeOf(e, layer, ctx, scale);
    if (!lt) return;
    auto known = lineTexts_.find(lt);
    if (known == lineTexts_.end()) {
        bool any = false;
        for (int i = 0; i < lt->numDashes() && i < 64 && !any; ++i) any = !lt->textAt(i).isEmpty();
        known = lineTexts_.emplace(lt, any).first;
    }
    if (!known->second || lineTextCount_ >= kMaxEntities / 10) return;
    Font* f = font();
    if (!f) return;
    scale *= ctx.xf.scale();
    double period = 0;
    std::vector<double> ends;
    for (int i = 0; i < lt->numDashes() && i < 64; ++i) {
        period += std::fabs(lt->dashLengthAt(i)) * scale;
        ends.push_back(period);
    }
    if (!(period > 0) || !std::isfinite(period)) return;
    Ring path(points);
    if (closed) path.push_back(points.front());
    size_t seg = 0;
    double segStart = 0;  // distance along the path where segment seg starts
    int placed = 0;
    for (long k = 0; placed < 2000 && k < 20000; ++k) {
        bool past = false;
        for (size_t i = 0; i < ends.size() && placed < 2000; ++i) {
            const std::wstring text = lt->textAt((int)i).str();
            const double at = k * period + ends[i];
            // Find the segment holding the distance.
            while (seg + 1 < path.size() && segStart + (path[seg + 1] - path[seg]).length() < at)
                segStart += (path[seg + 1] - path[seg]).length(), ++seg;
            if (seg + 1 >= path.size()) {
                past = true;
                break;
            }
            if (text.empty()) continue;
            OdGeVector2d d = path[seg + 1] - path[seg];
            const double len = d.length();
            if (!(len > 0)) continue;
            OdGeVector2d u = d * (1 / len), n(-u.y, u.x);
            OdGePoint2d p = path[seg] + u * (at - segStart);
            OdGeVector2d off = lt->shapeOffsetAt((int)i);
            auto* style = Record<OdDbTextStyleTableRecord>(lt->shapeStyleAt((int)i));
            RunStyle st;
            st.height = lt->shapeScaleAt((int)i) * (style && style->textSize() > 0 ? style->textSize() : 1) * scale;
            st.widthFactor = style && style->xScale() > 0 ? style->xScale() : 1;
            st.color = color;
            if (!(st.height > 0) || !std::isfinite(st.height + st.widthFactor + off.x + off.y)) continue;
            double angle = lt->shapeRotationAt((int)i) + (lt->shapeIsUcsOrientedAt((int)i) ? 0 : std::atan2(u.y, u.x));
            if (lt->shapeIsUprightAt((int)i) && std::cos(angle) < -1e-9) angle += M_PI;
            OdGePoint2d origin = p + u * (off.x * scale) + n * (off.y * scale);
            textLine(text, st, Affine::Move(origin.x, origin.y) * Affine::Turn(std::isfinite(angle) ? angle : 0), 0, 0);
            ++placed, ++lineTextCount_;
        }
        if (past) break;
    }
}

void Collector::curve(const OdDbCurve* c, const Context& ctx, Rgb color)
{
    // Polylines from their vertices, in their own plane: bulges as arcs,
    // the frame of a spline-fitted one left out (it shapes the curve and
    // does not lie on it).
    std::vector<OdGePoint2d> v;
    std::vector<double> bulges;
    std::vector<std::pair<double, double>> widths;
    bool closed = false, plinegen = false, wide = false;
    Affine plane;
    if (auto* pl = OdRxCast<OdDbPolyline>(c)) {
        for (unsigned i = 0; i < pl->numVerts(); ++i) {
            OdGePoint2d p;
            double sw = 0, ew = 0;
            pl->getPointAt(i, p);
            pl->getWidthsAt(i, sw, ew);
            v.push_back(p);
            bulges.push_back(pl->getBulgeAt(i));
            widths.emplace_back(sw, ew);
        }
        wide = pl->hasWidth();
        closed = pl->isClosed();
        plinegen = pl->isPlinegen();
        plane = PlaneOf(pl->normal(), pl->elevation());
    } else if (auto* p2 = OdRxCast<OdDb2dPolyline>(c)) {
        for (int i = 0; i < p2->numVerts(); ++i) {
            if (p2->vertexTypeAt(i) == OdDb::k2dSplineCtlVertex) continue;
            OdGePoint3d p;
            double b = 0, sw = 0, ew = 0;
            p2->getVertexAt(i, p, b, sw, ew);
            v.push_back(P2(p));
            bulges.push_back(p2->polyType() == OdDb::k2dSimplePoly || p2->polyType() == OdDb::k2dFitCurvePoly ? b : 0);
            widths.emplace_back(sw, ew);
            wide = wide || sw > 0 || ew > 0;
        }
        closed = p2->isClosed();
        plinegen = p2->isLinetypeGenerationOn();
        plane = PlaneOf(p2->normal(), p2->elevation());
    } else if (auto* p3 = OdRxCast<OdDb3dPolyline>(c)) {
        Ring pts;
        for (int i = 0; i < p3->numVerts(); ++i) {
            OdGePoint3d p;
            if (p3->vertexTypeAt(i) != OdDb::k3dControlVertex && p3->getVertexAt(i, p) == eOk) pts.push_back(P2(p));
        }
        if (p3->isClosed() && pts.size() > 2) pts.push_back(pts.front());
        stroke(std::move(pts), false, ctx, c, color);
        return;
    } else {
        sampled(c, ctx, color);
        return;
    }
    Context flat = ctx;
    flat.xf = ctx.xf * plane;
    if (wide) widePolyline(v, bulges, widths, closed, flat.xf, color);
    else polyline(v, bulges, closed, plinegen, flat, c, color);
}

// A polyline's segments as one stroke, along which the line type runs on;
// without linetype generation each segment is a stroke of its own, so that
// the pattern starts again at every vertex.
void Collector::polyline(const std::vector<OdGePoint2d>& v, const std::vector<double>& bulges, bool closed,
                         bool plinegen, const Context& ctx, const OdDbEntity* e, Rgb color)
{
    const size_t n = v.size();
    if (n < 2) return;
    const size_t segs = closed ? n : n - 1;
    if (plinegen || segs == 1 || dashesOf(e, layerOf(e, ctx), ctx) < 0) {
        Ring pts{v[0]};
        for (size_t i = 0; i < segs; ++i) AddBulge(pts, v[i], v[(i + 1) % n], bulges[i]);
        stroke(std::move(pts), false, ctx, e, color);
        return;
    }
    for (size_t i = 0; i < segs; ++i) {
        Ring seg{v[i]};
        AddBulge(seg, v[i], v[(i + 1) % n], bulges[i]);
        stroke(std::move(seg), false, ctx, e, color);
    }
}

// Any other curve by points at even steps of its parameter.
void Collector::sampled(const OdDbCurve* c, const Context& ctx, Rgb color)
{
    Ring pts;
    double t0 = 0, t1 = 0;
    if (c->getStartParam(t0) != eOk || c->getEndParam(t1) != eOk || !std::isfinite(t0) || !std::isfinite(t1)) return;
    int steps = 1;
    if (OdRxCast<OdDbLine>(c)) steps = 1;
    else if (OdRxCast<OdDbCircle>(c) || OdRxCast<OdDbArc>(c) || OdRxCast<OdDbEllipse>(c))
        steps = (int)std::ceil(std::min(std::fabs(t1 - t0), 4 * M_PI) / (2 * M_PI / kCircleSteps));
    else if (auto* sp = OdRxCast<OdDbSpline>(c))
        steps = std::min(kMaxCurvePoints, 16 * std::max(4, sp->numControlPoints()));
    else
        steps = std::min(kMaxCurvePoints, 16 * std::max(6, (int)std::ceil(std::min(std::fabs(t1 - t0), 1e4))));
    steps = std::clamp(steps, 1, kMaxCurvePoints);
    for (int i = 0; i <= steps; ++i) {
        OdGePoint3d p;
        if (c->getPointAtParam(t0 + (t1 - t0) * i / steps, p) == eOk) pts.push_back(P2(p));
    }
    stroke(std::move(pts), false, ctx, c, color);
}

// A polyline with widths: each segment a band from its start width to its
// end width.
void Collector::widePolyline(const std::vector<OdGePoint2d>& v, const std::vector<double>& bulges,
                             const std::vector<std::pair<double, double>>& widths, bool closed, const Affine& xf,
                             Rgb color)
{
    size_t n = v.size(), segs = closed ? n : (n ? n - 1 : 0);
    Fill f;
    f.color = color;
    Box box;
    for (size_t i = 0; i < segs && n > 1; ++i) {
        Ring mid{v[i]};
        AddBulge(mid, v[i], v[(i + 1) % n], bulges[i]);
        double sw = std::max(0.0, widths[i].first), ew = std::max(0.0, widths[i].second);
        if (mid.size() < 2) continue;
        Ring left, right;
        for (size_t k = 0; k < mid.size(); ++k) {
            OdGeVector2d d = mid[std::min(k + 1, mid.size() - 1)] - mid[k ? k - 1 : 0];
            double len = d.length();
            if (!(len > 0)) continue;
            OdGeVector2d nrm(-d.y / len, d.x / len);
            double w = (sw + (ew - sw) * k / (mid.size() - 1)) / 2;
            left.push_back(xf(mid[k] + nrm * w));
            right.push_back(xf(mid[k] - nrm * w));
        }
        if (left.size() < 2) continue;
        Ring band(left);
        band.insert(band.end(), right.rbegin(), right.rend());
        for (const auto& p : band) box.add(p);
        f.rings.push_back(std::move(band));
    }
    // Each band on its own: overlaps must not cancel out.
    for (auto& r : f.rings) add(Fill{{std::move(r)}, color, 255}, box);
}

void Collector::text(const OdDbText* t, const Context& ctx, Rgb color)
{
    std::wstring contents = t->textString().str();
    if (auto* def = OdRxCast<OdDbAttributeDefinition>(t)) {
        // A definition shows its tag in model space and its value only when
        // constant inside a block.
        contents = ctx.depth > 0 ? (def->isConstant() ? contents : std::wstring()) : def->tag().str();
    }
    if (contents.empty()) return;
    Font* f = font();
    if (!f) return;
    double height = t->height();
    if (!(height > 0) || !std::isfinite(height)) {
        auto* style = Record<OdDbTextStyleTableRecord>(t->textStyle());
        height = style && style->textSize() > 0 ? style->textSize() : 2.5;
    }
    RunStyle st;
    st.height = height;
    st.widthFactor = t->widthFactor() > 0 && std::isfinite(t->widthFactor()) ? t->widthFactor() : 1;
    st.slant = std::isfinite(t->oblique()) && std::fabs(t->oblique()) < 1.48 ? std::tan(t->oblique()) : 0;
    st.color = color;
    std::vector<RunStyle> styles{st};
    const Paragraph p = TextParagraph(contents, styles);
    if (p.empty()) return;
    Layout layout(*f, styles);
    auto lines = layout.wrap({p}, 0, height);
    if (lines.empty()) return;
    const double width = lines[0].width;
    OdGePoint2d origin = P2(t->position());
    const Affine plane = PlaneOf(t->normal());
    double angle = std::isfinite(t->rotation()) ? t->rotation() : 0;
    double dx = 0, dy = 0;
    const auto hm = t->horizontalMode();
    const auto vm = t->verticalMode();
    if (hm == OdDb::kTextAlign || hm == OdDb::kTextFit) {
        OdGePoint2d to = P2(t->alignmentPoint());
        OdGeVector2d d = to - origin;
        double len = d.length();
        if (len > 0 && width > 0 && std::isfinite(len)) {
            angle = AngleIn(plane, d);
            double k = len / width;
            for (auto& one : styles) {
                if (hm == OdDb::kTextFit) one.widthFactor *= k;
                else one.height *= k;
            }
            if (hm != OdDb::kTextFit) height *= k;
        }
    } else if (hm != OdDb::kTextLeft || vm != OdDb::kTextBase) {
        origin = P2(t->alignmentPoint());
        if (hm == OdDb::kTextCenter || hm == OdDb::kTextMid) dx = -width / 2;
        else if (hm == OdDb::kTextRight) dx = -width;
        if (hm == OdDb::kTextMid) dy = -height / 2;
        else if (vm == OdDb::kTextBottom) dy = f->descent() * height / f->cap();
        else if (vm == OdDb::kTextVertMid) dy = -height / 2;
        else if (vm == OdDb::kTextTop) dy = -height;
    }
    Text item;
    Layout fitted(*f, styles);
    auto placed = fitted.wrap({p}, 0, height);
    fitted.place(placed[0], dx, dy, item.runs);
    const double w = placed[0].width;
    // Mirrored about the alignment point: backwards, upside down.
    item.toWorld = ctx.xf * Affine::Move(origin.x, origin.y) * plane * Affine::Turn(angle) *
                   Affine::Scale(t->isMirroredInX() ? -1 : 1, t->isMirroredInY() ? -1 : 1);
    if (!Finite(item.toWorld)) return;
    Box box;
    const double below = f->descent() * height / f->cap();
    double above = height;
    for (const auto& one : styles)
        if (one.over) above = height + 2 * f->underline() * height / f->cap();
    for (OdGePoint2d q : {OdGePoint2d(dx, dy - below), OdGePoint2d(dx + w, dy - below), OdGePoint2d(dx + w, dy + above),
                          OdGePoint2d(dx, dy + above)})
        box.add(item.toWorld(q));
    ++texts;
    add(std::move(item), box);
}

void Collector::mtext(const OdDbMText* m, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer)
{
    Font* f = font();
    if (!f) return;
    RunStyle base;
    base.height = m->textHeight() > 0 && std::isfinite(m->textHeight()) ? m->textHeight() : 2.5;
    auto* style = Record<OdDbTextStyleTableRecord>(m->textStyle());
    base.widthFactor = style && style->xScale() > 0 && std::isfinite(style->xScale()) ? style->xScale() : 1;
    if (style && std::isfinite(style->obliquingAngle()) && std::fabs(style->obliquingAngle()) < 1.48)
        base.slant = std::tan(style->obliquingAngle());
    base.color = color;
    MTextParser parser(base, colorOf(OdCmColor(), layer, ctx.byBlock), ctx.byBlock);
    parser.parse(Chars(m->contents().str()));
    Layout layout(*f, parser.styles);
    double wrap = m->width() > 0 && std::isfinite(m->width()) ? m->width() : 0;
    auto lines = layout.wrap(parser.paragraphs, wrap, base.height);
    if (lines.empty()) return;
    // Lines five thirds of their height apart times the factor, at least
    // (by the tallest characters) or exactly (by the text's height).
    double factor = m->lineSpacingFactor();
    factor = std::isfinite(factor) ? std::clamp(factor, 0.25, 4.0) : 1;
    const bool exactly = m->lineSpacingStyle() == OdDb::kExactly;
    double y = 0, widest = 0;
    std::vector<double> baselines;
    for (size_t i = 0; i < lines.size(); ++i) {
        const double h = exactly ? base.height : lines[i].height;
        y -= i == 0 ? lines[i].height : factor * 5.0 / 3.0 * h;
        baselines.push_back(y);
        widest = std::max(widest, lines[i].width);
    }
    const double total = -y;
    int a = (int)m->attachment();
    double alignX = (a - 1) % 3 == 1 ? 0.5 : (a - 1) % 3 == 2 ? 1 : 0;
    double shiftY = a >= 7 ? total : a >= 4 ? total / 2 : 0;
    Text item;
    for (size_t i = 0; i < lines.size(); ++i)
        layout.place(lines[i], -alignX * lines[i].width, baselines[i] + shiftY, item.runs);
    if (item.runs.empty()) return;
    OdGePoint2d at = P2(m->location());
    double angle = std::isfinite(m->rotation()) ? m->rotation() : 0;
    item.toWorld = ctx.xf * Affine::Move(at.x, at.y) * PlaneOf(m->normal()) * Affine::Turn(angle);
    if (!Finite(item.toWorld)) return;
    const double frame = wrap > 0 ? wrap : widest;
    const double below = f->descent() * base.height / f->cap();
    // The text's box in text space, and grown by the background's margin.
    auto rect = [&](double grow) {
        double x0 = -alignX * frame - grow, x1 = (1 - alignX) * frame + grow;
        double y0 = shiftY - total - below - grow, y1 = shiftY + grow;
        Ring r{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        for (auto& p : r) p = item.toWorld(p);
        return r;
    };
    Box box;
    for (const auto& p : rect(0)) box.add(p);
    if (m->backgroundFillOn()) {
        double scale = 1.5;
        m->getBackgroundScaleFactor(scale);
        scale = std::isfinite(scale) ? std::clamp(scale, 1.0, 5.0) : 1.5;
        Fill back{{rect((scale - 1) * base.height)}, Rgb{255, 255, 255}, 255};
        OdCmColor c;
        if (!m->useBackgroundColorOn() && m->getBackgroundFillColor(c) == eOk) back.color = colorOf(c, layer, ctx.byBlock);
        OdCmTransparency tr;
        if (m->getBackgroundTransparency(tr) == eOk && tr.isByAlpha()) back.alpha = tr.alpha();
        Box grown;
        for (const auto& p : back.rings[0]) grown.add(p);
        add(std::move(back), grown);
    }
    ++texts;
    add(std::move(item), box);
    if (m->showBorders()) add(Stroke{rect(0), color, 255, true}, box);
}

// Point-in-ring by crossings.
bool Inside(const Ring& r, const OdGePoint2d& p)
{
    bool in = false;
    for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
        if ((r[i].y > p.y) != (r[j].y > p.y) &&
            p.x < (r[j].x - r[i].x) * (p.y - r[i].y) / (r[j].y - r[i].y) + r[i].x)
            in = !in;
    return in;
}

void Collector::hatch(const OdDbHatch* h, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer)
{
    Affine plane = ctx.xf * PlaneOf(h->normal(), h->elevation());
    Hatch item;
    item.color = color;
    std::vector<Ring> local;
    for (int i = 0; i < h->numLoops(); ++i) {
        int type = 0;
        Ring ring;
        OdGePoint2dArray verts;
        OdGeDoubleArray bulges;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (h->getLoopAt(i, type, verts, bulges) == eOk && !verts.isEmpty()) {
            ring.push_back(verts[0]);
            for (int k = 0; k < verts.length(); ++k)
                AddBulge(ring, ring.back(), verts[(k + 1) % verts.length()], k < bulges.length() ? bulges[k] : 0);
        } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
            for (int k = 0; k < edges.length(); ++k) {
                auto* edge = static_cast<const OdGeCurve2d*>(edges[k]);
                if (!edge) continue;
                OdGePoint2dArray pts;
                int kind = k < edgeTypes.length() ? edgeTypes[k] : 0;
                edge->getSamplePoints(kind == OdDbHatch::kLine ? 2 : 49, pts);
                for (const auto& q : pts) ring.push_back(q);
                if (ring.size() > (size_t)kMaxCurvePoints * 16) break;
            }
        }
        if (ring.size() >= 3) local.push_back(std::move(ring));
    }
    if (local.empty()) return;
    // Islands by the style: normal alternates at every loop, outer stops
    // inside the first islands, ignore fills the outer loops whole.
    const int style = (int)h->hatchStyle();
    if (style != 0 && local.size() > 1 && local.size() <= 2000) {
        std::vector<Box> boxes(local.size());
        for (size_t i = 0; i < local.size(); ++i)
            for (const auto& p : local[i]) boxes[i].add(p);
        std::vector<Ring> kept;
        for (size_t i = 0; i < local.size(); ++i) {
            int depth = 0;
            const OdGePoint2d& p = local[i][0];
            for (size_t j = 0; j < local.size(); ++j)
                if (j != i && p.x >= boxes[j].lx && p.x <= boxes[j].hx && p.y >= boxes[j].ly && p.y <= boxes[j].hy &&
                    Inside(local[j], p))
                    ++depth;
            if (depth == 0 || (style == 1 && depth == 1)) kept.push_back(local[i]);
        }
        local = std::move(kept);
    }
    Box box;
    for (const auto& r : local) {
        Ring w;
        w.reserve(r.size());
        for (const auto& p : r) {
            w.push_back(plane(p));
            box.add(w.back());
        }
        item.rings.push_back(std::move(w));
    }
    if (h->hatchObjectType() == OdDbHatch::kGradientObject) {
        item.kind = Hatch::kGradient;
        unsigned n = 0;
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        h->getGradientColors(n, colors, values);
        Rgb c1 = colors.length() > 0 ? colorOf(colors[0], layer, ctx.byBlock) : color, c2;
        if (colors.length() > 1 && !h->getGradientOneColorMode()) {
            c2 = colorOf(colors[1], layer, ctx.byBlock);
        } else {
            // One colour: towards black for a tint of 0, white for 1.
            double tint = std::isfinite(h->shadeTintValue()) ? std::clamp(h->shadeTintValue(), 0.0, 1.0) : 1;
            c2 = tint < 0.5 ? Mix(c1, Rgb{0, 0, 0}, 1 - 2 * tint) : Mix(c1, Rgb{255, 255, 255}, 2 * tint - 1);
        }
        item.gradient.name = h->gradientName().str();
        item.gradient.c1 = c1;
        item.gradient.c2 = c2;
        OdGeVector2d dir = plane.vec(OdGeVector2d(std::cos(h->gradientAngle()), std::sin(h->gradientAngle())));
        item.gradient.angle = std::isfinite(dir.x + dir.y) ? std::atan2(dir.y, dir.x) : 0;
        item.gradient.shift = std::isfinite(h->gradientShift()) ? std::clamp(h->gradientShift(), -1.0, 1.0) : 0;
    } else if (!h->isSolidFill()) {
        item.kind = Hatch::kPattern;
        // The hatch carries its pattern's lines at its angle and scale.
        for (int i = 0; i < h->numPatternDefinitions() && i < 256; ++i) {
            double angle = 0, bx = 0, by = 0, ox = 0, oy = 0;
            OdGeDoubleArray dashes;
            if (h->getPatternDefinitionAt(i, angle, bx, by, ox, oy, dashes) != eOk) continue;
            OdGeVector2d dir = plane.vec(OdGeVector2d(std::cos(angle), std::sin(angle)));
            double along = dir.length();
            if (!(along > 0) || !std::isfinite(along + bx + by + ox + oy)) continue;
            HatchLines lines;
            lines.base = plane(OdGePoint2d(bx, by));
            lines.dir = dir * (1 / along);
            lines.offset = plane.vec(OdGeVector2d(ox, oy));
            for (int k = 0; k < dashes.length() && k < 64; ++k)
                if (std::isfinite(dashes[k])) lines.dashes.push_back(dashes[k] * along);
            item.lines.push_back(std::move(lines));
        }
        OdCmColor bg = h->backgroundColor();
        if (bg.colorMethod() != OdCmEntityColor::kNone && !bg.isByLayer() && !bg.isByBlock()) {
            item.background = true;
            item.backgroundColor = colorOf(bg, layer, ctx.byBlock);
        }
    }
    ++hatches;
    add(std::move(item), box);
}

// The kind of image the file's first bytes say it is; unknown when they
// say none.
DWORD KindByItsStart(const std::wstring& file)
{
    char start[4] = {};
    FILE* f = _wfopen(file.c_str(), L"rb");
    if (!f) return PXIMAGE_FORMAT_UNKNOWN;
    const size_t n = fread(start, 1, sizeof start, f);
    fclose(f);
    const std::string_view s(start, n);
    return s.substr(0, 4) == "\x89PNG"                                         ? PXIMAGE_FORMAT_PNG
           : s.substr(0, 3) == "\xFF\xD8\xFF"                                  ? PXIMAGE_FORMAT_JPG
           : s.substr(0, 3) == "GIF"                                           ? PXIMAGE_FORMAT_GIF
           : s.substr(0, 2) == "BM"                                            ? PXIMAGE_FORMAT_BMP
           : s == std::string_view("II*\0", 4) || s == std::string_view("MM\0*", 4) ? PXIMAGE_FORMAT_TIF
                                                                               : PXIMAGE_FORMAT_UNKNOWN;
}

// The image of the file; null, with why when the file is there but cannot
// be read (empty when it is not there).
std::shared_ptr<Raster> LoadRaster(const std::wstring& file, std::string& why)
{
    why.clear();
    PxImage img;
    if (!img.Load(file.c_str(), PXIMAGE_FORMAT_UNKNOWN) || !img.IsValid()) {
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
        // Its own kind's reader says why (a damaged file, a library that
        // cannot be loaded), not the search through the kinds.
        const DWORD kind = KindByItsStart(file);
        PxImage own;
        if (kind != PXIMAGE_FORMAT_UNKNOWN && !own.Load(file.c_str(), kind) && *own.GetLastErrorText())
            why = own.GetLastErrorText();
        else
            why = "it is no image of a kind the picture reads (BMP, GIF, JPEG, PNG, TIFF)";
        return nullptr;
    }
    int w = (int)img.GetWidth(), h = (int)img.GetHeight();
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767) {
        why = std::to_string(w) + " x " + std::to_string(h) + " pixels, more than a picture draws (32767 a side)";
        return nullptr;
    }
    auto r = std::make_shared<Raster>();
    r->width = w, r->height = h;
    const bool alpha = img.alpha != nullptr;
    r->surface = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, w, h);
    if (cairo_surface_status(r->surface) != CAIRO_STATUS_SUCCESS) {
        why = std::string("cairo: ") + cairo_status_to_string(cairo_surface_status(r->surface));
        return nullptr;
    }
    cairo_surface_flush(r->surface);
    unsigned char* data = cairo_image_surface_get_data(r->surface);
    int stride = cairo_image_surface_get_stride(r->surface);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + (size_t)y * stride);
        const long from = h - 1 - y;  // the image's rows count from the bottom
        for (int x = 0; x < w; ++x) {
            PxRgbQuad q = img.GetPixelColor(x, from, false);
            uint32_t a = alpha ? img.alpha[(size_t)from * w + x] : 255;
            row[x] = a << 24 | (q.red * a / 255) << 16 | (q.green * a / 255) << 8 | (q.blue * a / 255);
        }
    }
    cairo_surface_mark_dirty(r->surface);
    return r;
}

void Collector::image(const OdDbRasterImage* img, const Context& ctx)
{
    OdGePoint3d o;
    OdGeVector3d u, v;
    img->getOrientation(o, u, v);
    Picture pic{ctx.xf(o), ctx.xf.vec(OdGeVector2d(u.x, u.y)), ctx.xf.vec(OdGeVector2d(v.x, v.y)), nullptr};
    if (auto* def = Record<OdDbRasterImageDef>(img->imageDefId())) {
        std::wstring file = def->sourceFileName().c_str();
        const bool absolute = (file.size() > 1 && file[1] == L':') || (!file.empty() && file[0] == L'\\');
        if (!absolute && !imageFolder.empty()) file = imageFolder + L"\\" + file;
        auto it = rasters_.find(file);
        if (it == rasters_.end()) {
            std::string why;
            it = rasters_.emplace(file, LoadRaster(file, why)).first;
            if (!why.empty()) unreadable.emplace_back(standin::WideToUtf8(def->sourceFileName().c_str()), why);
        }
        pic.image = it->second;
        if (!pic.image) {
            const std::string name = standin::WideToUtf8(def->sourceFileName().c_str());
            const bool there = std::any_of(unreadable.begin(), unreadable.end(),
                                           [&name](const auto& u) { return u.first == name; });
            (there ? unreadableImages : missing)++;
        }
    } else {
        missing++;
    }
    if (pic.image) images++;
    OdGePoint2d a = pic.origin, b = a + pic.u, c = b + pic.v, d = a + pic.v;
    Box box;
    for (const auto& p : {a, b, c, d}) box.add(p);
    if (pic.image && !img->isSetDisplayOpt(OdDbRasterImage::kShow)) {
        // An image switched off shows its frame.
        add(Stroke{{a, b, c, d}, Rgb{128, 128, 128}, 255, true}, box);
    } else if (!pic.image) {
        Rgb grey{128, 128, 128};
        add(Stroke{{a, b, c, d}, grey, 255, true}, box);
        add(Stroke{{a, c}, grey}, box);
        add(Stroke{{b, d}, grey}, box);
    } else {
        add(std::move(pic), box);
    }
}

// What the entities of a block take from the entity that draws them there.
Context Collector::inside(const OdDbEntity* owner, const Context& ctx, Rgb color, const OdDbLayerTableRecord* layer,
                          const Affine& xf) const
{
    Context inner;
    inner.xf = ctx.xf * xf;
    inner.byBlock = color;
    inner.byBlockLinetype = linetypeOf(owner, layer, ctx, inner.byBlockLinetypeScale);
    inner.byBlockLineWeight = lineWeightOf(owner, layer, ctx);
    inner.layer0 = layer;
    inner.depth = ctx.depth + 1;
    return inner;
}

void Collector::blockContents(const OdDbBlockTableRecord* block, const Context& inner)
{
    if (!block || !Finite(inner.xf) || inner.xf.det() == 0 || inner.depth > kMaxNesting) return;
    for (const auto& id : block->entityIds()) {
        if (entities >= kMaxEntities) break;
        if (auto* part = Record<OdDbEntity>(id)) entity(part, inner);
    }
}

void Collector::blockReference(const OdDbBlockReference* ref, const Context& ctx, Rgb color,
                               const OdDbLayerTableRecord* layer)
{
    if (ctx.depth >= kMaxNesting) return;
    auto* block = Record<OdDbBlockTableRecord>(ref->blockTableRecord());
    const Affine placed = Affine::Of(ref->blockTransform());
    if (auto* array = OdRxCast<OdDbMInsertBlock>(ref)) {
        // Each copy moved by whole column and row spacings along the
        // reference's turned axes.
        const Affine axes = PlaneOf(ref->normal()) * Affine::Turn(std::isfinite(ref->rotation()) ? ref->rotation() : 0);
        // Copies of an empty block cost nothing but the loop: it is bounded
        // too.
        long copies = 0;
        for (int r = 0; r < array->rows() && entities < kMaxEntities && copies < kMaxEntities; ++r)
            for (int c = 0; c < array->columns() && entities < kMaxEntities && ++copies <= kMaxEntities; ++c) {
                OdGeVector2d step = axes.vec(OdGeVector2d(c * array->columnSpacing(), r * array->rowSpacing()));
                blockContents(block, inside(ref, ctx, color, layer, Affine::Move(step.x, step.y) * placed));
            }
    } else {
        blockContents(block, inside(ref, ctx, color, layer, placed));
    }
    std::unique_ptr<OdDbObjectIterator> it(ref->attributeIterator());
    Context attrs = ctx;
    attrs.depth = ctx.depth + 1;
    for (; it && !it->done(); it->step())
        if (auto* a = Record<OdDbAttribute>(it->objectId()))
            if (!a->isInvisible()) entity(a, attrs);
}

// Meshes as their edges: the grid's rows and columns, the faces' visible
// edges.
void Collector::mesh(const OdDbEntity* e, const Context& ctx, Rgb color)
{
    if (auto* grid = OdRxCast<OdDbPolygonMesh>(e)) {
        const int m = grid->mSize(), n = grid->nSize();
        if (m < 1 || n < 1 || (long)m * n > grid->numVertices() || (long)m * n > 1000000) return;
        auto at = [&](int i, int j) { return P2(grid->vertexAt(i * n + j)); };
        for (int i = 0; i < m; ++i) {
            Ring row;
            for (int j = 0; j < n; ++j) row.push_back(at(i, j));
            if (grid->isNClosed()) row.push_back(at(i, 0));
            stroke(std::move(row), false, ctx, e, color);
        }
        for (int j = 0; j < n; ++j) {
            Ring column;
            for (int i = 0; i < m; ++i) column.push_back(at(i, j));
            if (grid->isMClosed()) column.push_back(at(0, j));
            stroke(std::move(column), false, ctx, e, color);
        }
    } else if (auto* faces = OdRxCast<OdDbPolyFaceMesh>(e)) {
        for (int f = 0; f < faces->numFaces() && f < 1000000; ++f) {
            int16_t v[4] = {0, 0, 0, 0};
            if (faces->getFaceAt(f, v) != eOk) continue;
            int count = 0;
            while (count < 4 && v[count] != 0) ++count;
            for (int k = 0; k < count; ++k) {
                // A negative number hides the edge that starts there.
                if (v[k] < 0) continue;
                int a = std::abs(v[k]) - 1, b = std::abs(v[(k + 1) % count]) - 1;
                if (a < 0 || b < 0 || a >= faces->numVertices() || b >= faces->numVertices()) continue;
                stroke({P2(faces->vertexAt(a)), P2(faces->vertexAt(b))}, false, ctx, e, color);
            }
        }
    }
}

void Collector::entity(const OdDbEntity* e, const Context& ctx)
{
    const OdDbLayerTableRecord* layer = layerOf(e, ctx);
    if (entities >= kMaxEntities || e->visibility() == OdDb::kInvisible || (layer && layer->isFrozen())) return;
    // A block reference on a layer that is off still shows the parts of
    // its block that lie on other layers, as the host shows them; those on
    // layer "0" take its layer and stay hidden.
    if (layer && layer->isOff() && !OdRxCast<OdDbBlockReference>(e)) return;
    ++entities;
    Rgb color = colorOf(e->color(), layer, ctx.byBlock);
    const size_t first = items.size();
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        blockReference(ref, ctx, color, layer);
    } else if (auto* t = OdRxCast<OdDbText>(e)) {
        text(t, ctx, color);
    } else if (auto* m = OdRxCast<OdDbMText>(e)) {
        mtext(m, ctx, color, layer);
    } else if (auto* h = OdRxCast<OdDbHatch>(e)) {
        hatch(h, ctx, color, layer);
    } else if (auto* so = OdRxCast<OdDbSolid>(e)) {
        OdGePoint3d p[4];
        for (int i = 0; i < 4; ++i) so->getPointAt(i, p[i]);
        // The host's order of a solid's corners: the third and fourth
        // close the shape crosswise.
        Ring r{ctx.xf(p[0]), ctx.xf(p[1]), ctx.xf(p[3]), ctx.xf(p[2])};
        Box box;
        for (const auto& q : r) box.add(q);
        add(Fill{{r}, color, 255}, box);
    } else if (auto* img = OdRxCast<OdDbRasterImage>(e)) {
        image(img, ctx);
    } else if (auto* pt = OdRxCast<OdDbPoint>(e)) {
        OdGePoint2d q = ctx.xf(pt->position());
        Stroke s{{q, q}, color};
        s.point = true;
        Box box;
        box.add(q);
        add(std::move(s), box);
    } else if (auto* c = OdRxCast<OdDbCurve>(e)) {
        curve(c, ctx, color);
        // Points or a length beyond what a number holds, or too few points.
        if (items.size() == first) ++undrawn[KindOf(e)];
    } else if (OdRxCast<OdDbPolygonMesh>(e) || OdRxCast<OdDbPolyFaceMesh>(e)) {
        mesh(e, ctx, color);
    } else if (auto* dim = OdRxCast<OdDbDimension>(e)) {
        // A dimension is drawn by its block, in world coordinates; from its
        // points when it has none, or an empty one (a file that named a
        // block it did not give, a save of one that had none).
        auto* block = Record<OdDbBlockTableRecord>(dim->dimBlockId());
        if (block && !block->entityIds().empty()) {
            if (ctx.depth < kMaxNesting) blockContents(block, inside(e, ctx, color, layer, Affine()));
        } else {
            dimension(dim, ctx, color);
            if (items.size() == first) ++leftOut[KindOf(e)];
        }
    } else if (auto* ml = OdRxCast<OdDbMline>(e)) {
        Ring r;
        for (int i = 0; i < ml->numVertices(); ++i) r.push_back(P2(ml->vertexAt(i)));
        if (ml->closedMline() && !r.empty()) r.push_back(r.front());
        stroke(std::move(r), false, ctx, e, color);
    } else {
        OdDbVoidPtrArray parts;
        auto* kept = OdRxCast<OdDbProxyEntity>(e);
        if (ctx.depth < kMaxNesting && e->explode(parts) == eOk && !parts.empty()) {
            Context inner = ctx;
            inner.depth = ctx.depth + 1;
            for (void* p : parts) {
                entity(static_cast<OdDbEntity*>(p), inner);
                delete static_cast<OdDbEntity*>(p);
            }
        } else if (kept && kept->originalDxfName().iCompare(L"LEADER") == 0) {
            leader(kept, ctx, color);
            if (items.size() == first) ++leftOut[KindOf(e)];
        } else if (kept && (kept->originalDxfName().iCompare(L"3DFACE") == 0 ||
                            kept->originalDxfName().iCompare(L"TRACE") == 0)) {
            faceOrTrace(kept, kept->originalDxfName().iCompare(L"3DFACE") == 0, ctx, color);
            if (items.size() == first) ++leftOut[KindOf(e)];
        } else if (ctx.depth < kMaxNesting) {
            ++leftOut[KindOf(e)];
        }
    }
    // Transparency of the entity itself (not ByLayer or ByBlock).
    OdCmTransparency tr = e->transparency();
    if (tr.isByAlpha() && tr.alpha() < 255)
        for (size_t i = first; i < items.size(); ++i)
            std::visit([&](auto& it) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(it)>, Picture>) it.alpha = std::min(it.alpha, tr.alpha());
            }, items[i]);
}

// ---- drawing ----

// Dashes as cairo takes them: on and off lengths in pixels, starting on,
// and where the pattern starts in them. False for a continuous line (also
// when the pattern is too fine to show).
bool DeviceDashes(const std::vector<double>& world, double scale, std::vector<double>& out, double& offset)
{
    struct Part {
        bool on;
        double len;
    };
    std::vector<Part> parts;
    double period = 0, grown = 0, gaps = 0;
    for (double d : world) {
        Part p{d >= 0, std::fabs(d) * scale};
        period += p.len;
        // Dots show as short dashes, taken from the gaps so that the
        // pattern keeps its length and stays in step with the drawing.
        if (p.on && p.len < 1) grown += 1 - p.len, p.len = 1;
        if (!p.on) gaps += p.len;
        if (!parts.empty() && parts.back().on == p.on) parts.back().len += p.len;
        else parts.push_back(p);
    }
    if (grown > 0) {
        if (!(gaps > grown)) return false;
        for (auto& p : parts)
            if (!p.on) p.len *= (gaps - grown) / gaps;
    }
    offset = 0;
    if (parts.size() > 1 && parts.front().on == parts.back().on) {
        offset = parts.back().len;
        parts.front().len += parts.back().len;
        parts.pop_back();
    }
    if (parts.size() < 2 || period < 3 || !std::isfinite(period)) return false;
    if (!parts.front().on) {
        offset += period - parts.front().len;
        parts.push_back(parts.front());
        parts.erase(parts.begin());
        offset = std::fmod(offset, period);
    }
    out.clear();
    for (const auto& p : parts) out.push_back(p.len);
    return true;
}

// The part [t0, t1] of the segment from a to b inside the box (Liang and
// Barsky); false when none of it is.
bool ClipSegment(const OdGePoint2d& a, const OdGePoint2d& b, const Box& g, double& t0, double& t1)
{
    t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy}, q[4] = {a.x - g.lx, g.hx - a.x, a.y - g.ly, g.hy - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    return t0 <= t1;
}

// A closed ring cut to the box (Sutherland and Hodgman): inside the box it
// encloses what the ring did.
Ring ClipRing(Ring r, const Box& g)
{
    for (int edge = 0; edge < 4 && !r.empty(); ++edge) {
        auto in = [&](const OdGePoint2d& p) {
            return edge == 0 ? p.x >= g.lx : edge == 1 ? p.x <= g.hx : edge == 2 ? p.y >= g.ly : p.y <= g.hy;
        };
        auto cross = [&](const OdGePoint2d& a, const OdGePoint2d& b) {
            const double t = edge < 2 ? ((edge == 0 ? g.lx : g.hx) - a.x) / (b.x - a.x)
                                      : ((edge == 2 ? g.ly : g.hy) - a.y) / (b.y - a.y);
            return OdGePoint2d(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
        };
        Ring out;
        out.reserve(r.size() + 4);
        for (size_t i = 0; i < r.size(); ++i) {
            const OdGePoint2d& a = r[(i + r.size() - 1) % r.size()];
            const OdGePoint2d& b = r[i];
            if (in(b)) {
                if (!in(a)) out.push_back(cross(a, b));
                out.push_back(b);
            } else if (in(a)) {
                out.push_back(cross(a, b));
            }
        }
        r = std::move(out);
    }
    return r;
}

class Painter {
    // Room round the picture, in pixels, that paths keep before they are
    // cut: more than the widest line.
    static constexpr double kGuard = 4096;

public:
    Painter(int w, int h, double minX, double minY, double scale, double margin)
        : w_(w), h_(h), minX_(minX), minY_(minY), s_(scale), m_(margin)
    {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cr_ = cairo_create(surface_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        cairo_font_options_t* fo = cairo_font_options_create();
        cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
        cairo_set_font_options(cr_, fo);
        cairo_font_options_destroy(fo);
        view_.lx = minX - margin / scale, view_.ly = minY - margin / scale;
        view_.hx = minX + (w - margin) / scale, view_.hy = minY + (h - margin) / scale;
        guard_.lx = -kGuard, guard_.ly = -kGuard, guard_.hx = w + kGuard, guard_.hy = h + kGuard;
    }
    ~Painter()
    {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
    // Images left out because cairo could not hold them at their size.
    int undrawnImages() const { return undrawnImages_; }
    const char* status() const { return cairo_status_to_string(cairo_status(cr_)); }
    const Box& view() const { return view_; }

    // Device pixels: x from the left, y from the top.
    double X(double wx) const { return (wx - minX_) * s_ + m_; }
    double Y(double wy) const { return h_ - ((wy - minY_) * s_ + m_); }
    cairo_matrix_t toDevice() const
    {
        cairo_matrix_t m;
        cairo_matrix_init(&m, s_, 0, 0, -s_, m_ - minX_ * s_, h_ - m_ + minY_ * s_);
        return m;
    }

    void color(Rgb c, uint8_t alpha)
    {
        cairo_set_source_rgba(cr_, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha / 255.0);
    }

    // Device points of world points; points that are not finite are left
    // out. True when all of them lie inside the guard.
    bool device(const Ring& r, Ring& out) const
    {
        out.clear();
        out.reserve(r.size());
        bool inside = true;
        for (const auto& p : r) {
            const double x = X(p.x), y = Y(p.y);
            if (!std::isfinite(x) || !std::isfinite(y)) continue;
            out.emplace_back(x, y);
            inside = inside && x >= guard_.lx && x <= guard_.hx && y >= guard_.ly && y <= guard_.hy;
        }
        return inside;
    }

    void path(const Ring& d, bool closed, cairo_t* cr = nullptr)
    {
        if (!cr) cr = cr_;
        for (size_t i = 0; i < d.size(); ++i) {
            if (i) cairo_line_to(cr, d[i].x, d[i].y);
            else cairo_move_to(cr, d[i].x, d[i].y);
        }
        if (closed && !d.empty()) cairo_close_path(cr);
    }

    // A closed ring into the path (of `cr`, or the picture's), cut to the
    // guard: far outside the picture cairo's fixed-point coordinates would
    // wrap.
    void area(const Ring& r, cairo_t* cr = nullptr)
    {
        Ring d;
        if (device(r, d)) path(d, true, cr);
        else path(ClipRing(std::move(d), guard_), true, cr);
    }

    // A line into the path of the pending stroke. Cut to the guard where it
    // leaves it, so that it keeps its direction; each part a dashed line
    // keeps inside is stroked alone, its pattern moved on by the length cut
    // away before it.
    void line(const Ring& r, bool closed)
    {
        Ring d;
        if (device(r, d)) {
            path(d, closed);
            return;
        }
        if (closed && !d.empty()) d.push_back(d.front());
        const bool dashed = key_.dashes >= 0;
        if (dashed) flush();
        bool open = false;
        double along = 0, start = 0;
        auto end = [&] {
            if (open && dashed) pending_ = true, flush(start);
            open = false;
        };
        for (size_t i = 1; i < d.size(); ++i) {
            const OdGePoint2d &a = d[i - 1], &b = d[i];
            const double len = (b - a).length();
            double t0 = 0, t1 = 0;
            if (ClipSegment(a, b, guard_, t0, t1)) {
                if (!open || t0 > 0) {
                    end();
                    start = along + len * t0;
                    cairo_move_to(cr_, a.x + (b.x - a.x) * t0, a.y + (b.y - a.y) * t0);
                    open = true;
                }
                cairo_line_to(cr_, a.x + (b.x - a.x) * t1, a.y + (b.y - a.y) * t1);
                if (t1 < 1) end();
            } else {
                end();
            }
            along += len;
        }
        end();
    }

    // Strokes of one look go into one path.
    void stroke(const Stroke& s, const std::vector<std::vector<double>>& dashTable)
    {
        StrokeKey key{s.color, s.alpha, s.widthPx, s.dashes};
        if (pending_ && !(key == key_)) flush();
        key_ = key;
        pending_ = true;
        if (s.point) {
            double x = X(s.points[0].x), y = Y(s.points[0].y);
            cairo_move_to(cr_, x - 2.5, y), cairo_line_to(cr_, x + 2.5, y);
            cairo_move_to(cr_, x, y - 2.5), cairo_line_to(cr_, x, y + 2.5);
        } else {
            dashTable_ = &dashTable;
            line(s.points, s.closed);
        }
        dashTable_ = &dashTable;
        if (++segments_ > 5000) flush();
    }

    // Strokes the pending path; a dashed one with its pattern moved on by
    // `advance` pixels.
    void flush(double advance = 0)
    {
        if (!pending_) return;
        pending_ = false;
        segments_ = 0;
        color(key_.color, key_.alpha);
        cairo_set_line_width(cr_, key_.width > 0 ? key_.width : 1.0);
        std::vector<double> dashes;
        double offset = 0;
        if (key_.dashes >= 0 && dashTable_ && DeviceDashes((*dashTable_)[key_.dashes], s_, dashes, offset)) {
            double period = 0;
            for (double d : dashes) period += d;
            cairo_set_dash(cr_, dashes.data(), (int)dashes.size(), std::fmod(offset + advance, period));
        }
        cairo_stroke(cr_);
        cairo_set_dash(cr_, nullptr, 0, 0);
    }

    void fill(const Fill& f)
    {
        flush();
        for (const auto& r : f.rings) area(r);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        color(f.color, f.alpha);
        cairo_fill(cr_);
    }

    void hatch(const Hatch& h)
    {
        flush();
        cairo_save(cr_);
        for (const auto& r : h.rings) area(r);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        if (h.kind == Hatch::kSolid) {
            color(h.color, h.alpha);
            cairo_fill(cr_);
        } else if (h.kind == Hatch::kGradient) {
            gradient(h);
        } else {
            if (h.background) {
                color(h.backgroundColor, h.alpha);
                cairo_fill_preserve(cr_);
            }
            // A pattern without lines, or whose lines all lie closer than
            // the pixels, is its tone: filled, not clipped (cheaper by far
            // for the many small hatches of a whole drawing).
            int dense = 0, drawn = 0;
            for (const auto& lines : h.lines) {
                double step = spacing(lines);
                dense += std::fabs(step) < 1.5;
                drawn += std::fabs(step) >= 1.5;
            }
            if (!drawn) {
                color(h.color, (uint8_t)(h.alpha * 0.45));
                for (int i = 0; i < std::max(dense, h.lines.empty() ? 1 : 0); ++i) cairo_fill_preserve(cr_);
                cairo_new_path(cr_);
                cairo_restore(cr_);
                return;
            }
            cairo_clip(cr_);
            double x0, y0, x1, y1;
            cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
            for (const auto& lines : h.lines) patternLines(lines, h, x0, y0, x1, y1);
        }
        cairo_restore(cr_);
    }

    void text(const Text& t, Font& font)
    {
        cairo_matrix_t d = toDevice(), a, m;
        cairo_matrix_init(&a, t.toWorld.a, t.toWorld.b, t.toWorld.c, t.toWorld.d, t.toWorld.e, t.toWorld.f);
        cairo_matrix_multiply(&m, &a, &d);  // text space to world, then to the device
        double det = m.xx * m.yy - m.xy * m.yx;
        if (!(std::fabs(det) > 1e-18) || !std::isfinite(det)) return;
        const double unit = std::sqrt(std::fabs(det));  // pixels a text unit
        bool readable = false;
        for (const auto& run : t.runs) {
            const double cap = run.height * unit;
            if (cap >= 2) {
                readable = readable || !run.glyphs.empty();
                continue;
            }
            // Too small to read: a faint stroke where the text is, drawn
            // with the lines.
            if (!(run.x1 > run.x0) || cap < 0.05) continue;
            StrokeKey key{run.color, (uint8_t)(t.alpha / 2), (float)std::clamp(std::round(cap * 4) / 4, 0.25, 2.0), -1};
            if (pending_ && !(key == key_)) flush();
            key_ = key;
            pending_ = true;
            const double y = run.baseline + run.height / 2;
            line({t.toWorld(OdGePoint2d(run.x0, y)), t.toWorld(OdGePoint2d(run.x1, y))}, false);
            if (++segments_ > 5000) flush();
        }
        if (!readable) return;
        flush();
        cairo_save(cr_);
        cairo_set_matrix(cr_, &m);
        for (const auto& run : t.runs) {
            const double cap = run.height * unit;
            // Glyphs far larger than any picture are not drawn: cairo's
            // fixed-point device coordinates would not hold them.
            if (cap < 2 || cap > 50000 || run.glyphs.empty()) continue;
            // Only the glyphs that reach into the picture.
            const double reach = (4 + std::fabs(run.slant)) * cap * std::max(1.0, run.widthFactor) + 8;
            std::vector<cairo_glyph_t> shown;
            shown.reserve(run.glyphs.size());
            for (const auto& g : run.glyphs) {
                double x = m.xx * g.x + m.xy * g.y + m.x0, y = m.yx * g.x + m.yy * g.y + m.y0;
                if (x > -reach && y > -reach && x < w_ + reach && y < h_ + reach) shown.push_back(g);
            }
            if (shown.empty()) continue;
            color(run.color, t.alpha);
            cairo_set_font_face(cr_, font.face(run.fallback));
            cairo_matrix_t fm;
            cairo_matrix_init(&fm, run.em * run.widthFactor, 0, -run.em * run.slant, -run.em, 0, 0);
            cairo_set_font_matrix(cr_, &fm);
            if (cap > 300) {
                // Glyphs that large are filled as outlines rather than
                // cached as masks.
                cairo_glyph_path(cr_, shown.data(), (int)shown.size());
                cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
                cairo_fill(cr_);
            } else {
                cairo_show_glyphs(cr_, shown.data(), (int)shown.size());
            }
        }
        cairo_restore(cr_);
        // Lines under and over the characters, at least a pixel thick.
        for (const auto& run : t.runs) {
            if ((!run.under && !run.over) || run.height * unit < 2 || !(run.x1 > run.x0)) continue;
            color(run.color, t.alpha);
            cairo_set_line_width(cr_, std::max(1.0, font.lineThickness() * run.em * unit));
            const double below = font.underline() * run.em;
            for (int k = 0; k < 2; ++k) {
                if (!(k ? run.over : run.under)) continue;
                const double y = k ? run.baseline + run.height + below : run.baseline - below;
                const double x0 = m.xx * run.x0 + m.xy * y + m.x0, y0 = m.yx * run.x0 + m.yy * y + m.y0;
                const double x1 = m.xx * run.x1 + m.xy * y + m.x0, y1 = m.yx * run.x1 + m.yy * y + m.y0;
                double t0 = 0, t1 = 0;
                if (!ClipSegment({x0, y0}, {x1, y1}, guard_, t0, t1)) continue;
                cairo_move_to(cr_, x0 + (x1 - x0) * t0, y0 + (y1 - y0) * t0);
                cairo_line_to(cr_, x0 + (x1 - x0) * t1, y0 + (y1 - y0) * t1);
            }
            cairo_stroke(cr_);
        }
    }

    void picture(const Picture& p)
    {
        flush();
        if (!p.image || !p.image->surface) return;
        // Pixels far smaller than the picture's are averaged beforehand,
        // each way as far as it is fine: cairo's filters are for shrinking
        // a few times, not thousands.
        const double acrossPerPixel = p.u.length() / p.image->width * s_, downPerPixel = p.v.length() / p.image->height * s_;
        cairo_surface_t* source = p.image->shrunk(acrossPerPixel > 0 ? 0.5 / acrossPerPixel : 1,
                                                  downPerPixel > 0 ? 0.5 / downPerPixel : 1);
        if (!source) {
            ++undrawnImages_;
            return;
        }
        // Image pixels (x right, y down from the top row) to the device.
        OdGePoint2d top = p.origin + p.v;
        cairo_matrix_t m;
        const double iw = cairo_image_surface_get_width(source), ih = cairo_image_surface_get_height(source);
        cairo_matrix_init(&m, p.u.x / iw * s_, -p.u.y / iw * s_, -p.v.x / ih * s_, p.v.y / ih * s_, X(top.x), Y(top.y));
        if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return;
        // On a context of its own, so that its clip and filter stay its own.
        cairo_t* cr = cairo_create(surface_);
        area({p.origin, p.origin + p.u, p.origin + p.u + p.v, top}, cr);
        cairo_pattern_t* pat = cairo_pattern_create_for_surface(source);
        cairo_pattern_set_matrix(pat, &m);
        // Pixels larger than the picture's show as squares, as hosts show
        // them; smaller ones are averaged.
        cairo_pattern_set_filter(pat, p.u.length() / iw * s_ >= 1 && p.v.length() / ih * s_ >= 1 ? CAIRO_FILTER_NEAREST
                                                                                              : CAIRO_FILTER_GOOD);
        cairo_set_source(cr, pat);
        cairo_fill(cr);
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) ++undrawnImages_;
        cairo_pattern_destroy(pat);
        cairo_destroy(cr);
    }

    // The picture as 24-bit rows, bottom row first, into the image.
    bool save(const std::wstring& path)
    {
        flush();
        cairo_surface_flush(surface_);
        PxImage img((DWORD)w_, (DWORD)h_, 24, PXIMAGE_FORMAT_PNG);
        if (!img.IsValid() || !img.GetBits()) return false;
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        for (int y = 0; y < h_; ++y) {
            auto* src = reinterpret_cast<const uint32_t*>(data + (size_t)(h_ - 1 - y) * stride);
            BYTE* dst = img.GetBits() + (size_t)y * img.GetEffWidth();
            for (int x = 0; x < w_; ++x) {
                uint32_t v = src[x];
                dst[3 * x] = (BYTE)(v & 0xFF), dst[3 * x + 1] = (BYTE)(v >> 8 & 0xFF), dst[3 * x + 2] = (BYTE)(v >> 16 & 0xFF);
            }
        }
        return img.Save(path.c_str(), PXIMAGE_FORMAT_PNG);
    }

private:
    struct StrokeKey {
        Rgb color;
        uint8_t alpha = 255;
        float width = 0;
        int dashes = -1;
        bool operator==(const StrokeKey& o) const
        {
            return color == o.color && alpha == o.alpha && width == o.width && dashes == o.dashes;
        }
    };

    // Pixels between a family's lines, across them.
    double spacing(const HatchLines& l) const
    {
        OdGeVector2d dir(l.dir.x, -l.dir.y), off(l.offset.x * s_, -l.offset.y * s_);
        return -dir.y * off.x + dir.x * off.y;
    }

    void patternLines(const HatchLines& l, const Hatch& h, double x0, double y0, double x1, double y1)
    {
        // The family in device pixels (y down).
        OdGePoint2d base(X(l.base.x), Y(l.base.y));
        OdGeVector2d dir(l.dir.x, -l.dir.y), off(l.offset.x * s_, -l.offset.y * s_);
        OdGeVector2d nrm(-dir.y, dir.x);
        double step = spacing(l);
        if (!std::isfinite(step + base.x + base.y)) return;
        if (std::fabs(step) < 1.5) {
            // Denser than the pixels: the pattern's tone.
            color(h.color, (uint8_t)(h.alpha * 0.45));
            cairo_paint(cr_);
            return;
        }
        double lo = 1e300, hi = -1e300, tlo = 1e300, thi = -1e300;
        for (OdGePoint2d c : {OdGePoint2d(x0, y0), OdGePoint2d(x1, y0), OdGePoint2d(x0, y1), OdGePoint2d(x1, y1)}) {
            OdGeVector2d r = c - base;
            double n = r.x * nrm.x + r.y * nrm.y;
            lo = std::min(lo, n / step), hi = std::max(hi, n / step);
        }
        double k0 = std::floor(std::min(lo, hi)), k1 = std::ceil(std::max(lo, hi));
        if (!(k1 - k0 <= 20000)) return;
        // Counted from the first line that reaches the box: a base far
        // away leaves the line numbers too large to step through.
        const OdGePoint2d first = base + off * k0;
        const int count = (int)(k1 - k0);
        std::vector<double> dashes;
        double dashOffset = 0, period = 0;
        bool dashed = !l.dashes.empty() && DeviceDashes(l.dashes, s_, dashes, dashOffset);
        for (double d : dashes) period += d;
        color(h.color, h.alpha);
        cairo_set_line_width(cr_, 1.0);
        for (int k = 0; k <= count; ++k) {
            OdGePoint2d p = first + off * k;
            tlo = 1e300, thi = -1e300;
            for (OdGePoint2d c : {OdGePoint2d(x0, y0), OdGePoint2d(x1, y0), OdGePoint2d(x0, y1), OdGePoint2d(x1, y1)}) {
                OdGeVector2d r = c - p;
                double t = r.x * dir.x + r.y * dir.y;
                tlo = std::min(tlo, t), thi = std::max(thi, t);
            }
            // Each line starts a whole number of periods before the box,
            // so one dash offset serves them all.
            if (dashed) tlo = std::floor(tlo / period) * period;
            if (dashed && !((thi - tlo) / period <= 100000)) {
                cairo_new_path(cr_);
                return;
            }
            cairo_move_to(cr_, p.x + dir.x * tlo, p.y + dir.y * tlo);
            cairo_line_to(cr_, p.x + dir.x * thi, p.y + dir.y * thi);
        }
        if (dashed) cairo_set_dash(cr_, dashes.data(), (int)dashes.size(), dashOffset);
        cairo_stroke(cr_);
        cairo_set_dash(cr_, nullptr, 0, 0);
    }

    void gradient(const Hatch& h)
    {
        // Over the whole hatch, also where its path was cut.
        Box all;
        for (const auto& r : h.rings)
            for (const auto& p : r) all.add(OdGePoint2d(X(p.x), Y(p.y)));
        if (!all.valid()) return;
        const double x0 = all.lx, y0 = all.ly, x1 = all.hx, y1 = all.hy;
        const Gradient& g = h.gradient;
        std::wstring name = g.name;
        for (auto& c : name) c = (wchar_t)std::towupper(c);
        const bool inverse = name.rfind(L"INV", 0) == 0;
        if (inverse) name = name.substr(3);
        Rgb c1 = inverse ? g.c2 : g.c1, c2 = inverse ? g.c1 : g.c2;
        double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        OdGeVector2d dir(std::cos(g.angle), -std::sin(g.angle));
        double half = (std::fabs(dir.x) * (x1 - x0) + std::fabs(dir.y) * (y1 - y0)) / 2;
        cx += dir.x * g.shift * half, cy += dir.y * g.shift * half;
        cairo_pattern_t* pat = nullptr;
        auto stop = [&](double at, Rgb c) {
            cairo_pattern_add_color_stop_rgba(pat, at, c.r / 255.0, c.g / 255.0, c.b / 255.0, h.alpha / 255.0);
        };
        if (name == L"SPHERICAL" || name == L"HEMISPHERICAL") {
            double radius = std::hypot(x1 - x0, y1 - y0) / 2;
            if (name == L"HEMISPHERICAL") {
                // The light spot on the lower edge.
                cy = y1;
                radius *= 1.5;
            }
            pat = cairo_pattern_create_radial(cx, cy, 0, cx, cy, std::max(radius, 1.0));
            stop(0, c2), stop(1, c1);
        } else {
            pat = cairo_pattern_create_linear(cx - dir.x * half, cy - dir.y * half, cx + dir.x * half, cy + dir.y * half);
            if (name == L"CYLINDER") stop(0, c1), stop(0.5, c2), stop(1, c1);
            else if (name == L"CURVED") stop(0, c2), stop(0.35, Mix(c2, c1, 0.7)), stop(1, c1);
            else stop(0, c1), stop(1, c2);
        }
        cairo_set_source(cr_, pat);
        cairo_fill(cr_);
        cairo_pattern_destroy(pat);
    }

    int w_, h_;
    double minX_, minY_, s_, m_;
    Box view_;
    Box guard_;  // device pixels: the picture with room round it
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    int undrawnImages_ = 0;
    bool pending_ = false;
    int segments_ = 0;
    StrokeKey key_;
    const std::vector<std::vector<double>>* dashTable_ = nullptr;
};

}  // namespace

void SetRenderFontFile(const std::string& nativePath)
{
    std::lock_guard<std::mutex> lock(gFontFileMutex);
    gFontFile = nativePath.empty() ? kRenderFontFile : nativePath;
}

std::u32string LaidOutText(const std::wstring& contents, bool multiline, double height, double wrapWidth)
{
    std::string fontFile, error;
    {
        std::lock_guard<std::mutex> lock(gFontFileMutex);
        fontFile = gFontFile;
    }
    Font* font = Font::Get(fontFile, error);
    if (!font) return std::u32string();
    RunStyle base;
    base.height = height;
    MTextParser parser(base, Rgb{255, 0, 0}, Rgb{0, 0, 255});
    if (multiline) {
        parser.parse(Chars(contents));
    } else {
        parser.paragraphs.back() = TextParagraph(contents, parser.styles);
        wrapWidth = 0;
    }
    Layout layout(*font, parser.styles);
    std::u32string out;
    std::vector<GlyphRun> runs;
    double y = 0;
    bool first = true;
    for (const auto& line : layout.wrap(parser.paragraphs, wrapWidth, height)) {
        if (!first) out += U'\n';
        first = false;
        for (const auto& ch : line.chars) out += ch.c;
        layout.place(line, 0, y, runs);
        y -= line.height;
    }
    return out;
}

bool RenderModelSpace(OdDbDatabase* db, const std::wstring& pngPath, int size, RenderStats& stats, std::string& error,
                      const RenderWindow& window, const std::wstring& drawingFile)
{
    stats = RenderStats();
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) {
        error = "model space cannot be opened";
        return false;
    }
    OdDbObjectIdArray order;
    OdDbSortentsTable* sortents = nullptr;
    if (ms->getSortentsTable(sortents, OdDb::kForRead) == eOk) {
        sortents->getFullDrawOrder(order);
        sortents->close();
    } else {
        for (const auto& id : ms->entityIds())
            if (!id.isErased()) order.append(id);
    }
    ms->close();

    std::string fontFile;
    {
        std::lock_guard<std::mutex> lock(gFontFileMutex);
        fontFile = gFontFile;
    }
    Collector collect(db, fontFile);
    const size_t slash = drawingFile.rfind(L'\\');
    if (slash != std::wstring::npos) collect.imageFolder = drawingFile.substr(0, slash);
    for (const auto& id : order) {
        if (auto* e = Record<OdDbEntity>(id)) collect.entity(e, Context());
        if (!collect.fontError.empty()) {
            error = collect.fontError;
            return false;
        }
    }
    Box all;
    for (const auto& b : collect.boxes) all.add(b);
    int undrawn = 0;
    std::string kinds;
    for (const auto& [kind, n] : collect.undrawn) {
        undrawn += n;
        kinds += (kinds.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    }
    int leftOut = 0;
    std::string leftOutKinds;
    for (const auto& [kind, n] : collect.leftOut) {
        leftOut += n;
        leftOutKinds += (leftOutKinds.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    }
    if (!all.valid()) {
        std::string why;
        if (undrawn)
            why = std::to_string(undrawn) + (undrawn == 1 ? " curve has" : " curves have") + " no drawable points (" +
                  kinds + "; points or a length beyond what a number holds)";
        if (leftOut)
            why += (why.empty() ? "" : "; ") + std::to_string(leftOut) + (leftOut == 1 ? " entity is" : " entities are") +
                   " of a kind the picture does not draw or has no drawable points (" + leftOutKinds + ")";
        error = why.empty() ? "model space has nothing to draw" : "nothing in model space can be drawn: " + why;
        return false;
    }
    double lx = all.lx, ly = all.ly, hx = all.hx, hy = all.hy;
    if (window.maxX > window.minX && window.maxY > window.minY)
        lx = window.minX, ly = window.minY, hx = window.maxX, hy = window.maxY;
    // Extents as wide as a double holds (points at +-1e308) have no finite
    // width: no scale fits them into pixels.
    if (!std::isfinite(hx - lx) || !std::isfinite(hy - ly)) {
        char text[160];
        snprintf(text, sizeof text, "from (%g, %g) to (%g, %g)", lx, ly, hx, hy);
        error = std::string(window.maxX > window.minX && window.maxY > window.minY ? "the window " : "model space ") +
                text + " is too large to picture: its width or height is beyond what a number holds" +
                (window.maxX > window.minX && window.maxY > window.minY ? std::string() : "; give a window");
        return false;
    }
    // A single point or a straight line still gets a picture around it.
    double dx = std::max(hx - lx, 1e-9), dy = std::max(hy - ly, 1e-9);
    double extent = std::max(dx, dy);
    dx = std::max(dx, extent / 64), dy = std::max(dy, extent / 64);
    size = std::clamp(size, 16, 16384);
    const double margin = 8;
    double scale = (size - 2 * margin) / std::max(dx, dy);
    int w = (int)std::ceil(dx * scale + 2 * margin), h = (int)std::ceil(dy * scale + 2 * margin);
    double minX = lx - (dx - (hx - lx)) / 2, minY = ly - (dy - (hy - ly)) / 2;
    Painter painter(w, h, minX, minY, scale, margin);
    const std::string pixels = std::to_string(w) + " x " + std::to_string(h) + " pixels";
    if (!painter.ok()) {
        error = "the picture of " + pixels + " cannot be made (cairo: " + painter.status() + ")";
        return false;
    }
    Font* font = collect.usedFont();
    for (size_t i = 0; i < collect.items.size(); ++i) {
        if (!collect.boxes[i].meets(painter.view())) continue;
        const Item& item = collect.items[i];
        if (auto* s = std::get_if<Stroke>(&item)) painter.stroke(*s, collect.dashTable);
        else if (auto* f = std::get_if<Fill>(&item)) painter.fill(*f);
        else if (auto* hh = std::get_if<Hatch>(&item)) painter.hatch(*hh);
        else if (auto* t = std::get_if<Text>(&item)) {
            if (font) painter.text(*t, *font);
        } else painter.picture(std::get<Picture>(item));
    }
    painter.flush();
    stats.entities = collect.entities;
    stats.images = collect.images - painter.undrawnImages();
    stats.undrawnImages = painter.undrawnImages();
    stats.undrawnCurves = undrawn;
    stats.undrawnEntities = leftOut;
    stats.undrawnKinds = leftOutKinds;
    stats.missingImages = collect.missing;
    stats.unreadableImages = collect.unreadableImages;
    stats.unreadable = collect.unreadable;
    stats.texts = collect.texts;
    stats.hatches = collect.hatches;
    stats.width = w;
    stats.height = h;
    stats.originX = minX - margin / scale;
    stats.originY = minY - margin / scale;
    stats.pixelsPerUnit = scale;
    if (!painter.ok()) {
        error = "the picture of " + pixels + " cannot be drawn (cairo: " + painter.status() + ")";
        return false;
    }
    errno = 0;
    if (!painter.save(pngPath)) {
        // The system's reason, when a write failed (a full disk).
        const int e = errno;
        error = "the picture cannot be written to " + standin::NativePath(pngPath) +
                (e ? std::string(": ") + strerror(e) : std::string());
        return false;
    }
    return true;
}

}  // namespace velkhost
