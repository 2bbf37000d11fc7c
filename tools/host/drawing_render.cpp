// Model space drawn into a PNG: the entities become strokes, fills, text
// boxes and images in world coordinates first, so that the picture can be
// fitted to what is there, and are then rasterised in draw order.
#include "drawing_render.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <variant>
#include <vector>

#include "image/pximage.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"

namespace velkhost {
namespace {

// Enough for any drawing a person looks at; a file of blocks nested to
// multiply beyond it is drawn in part.
const int kMaxEntities = 200000;
const int kMaxNesting = 64;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

using Ring = std::vector<OdGePoint2d>;

struct Stroke {
    Ring points;
    bool closed = false;
    Rgb color;
};
struct Fill {
    std::vector<Ring> rings;  // even-odd
    Rgb color;
};
struct Picture {
    OdGePoint2d origin;
    OdGeVector2d u, v;
    std::shared_ptr<PxImage> image;  // null: the file could not be read
};
using Item = std::variant<Stroke, Fill, Picture>;

OdGePoint2d P2(const OdGePoint3d& p) { return OdGePoint2d(p.x, p.y); }

Rgb FromBgr(uint32_t bgr) { return Rgb{(uint8_t)(bgr & 0xFF), (uint8_t)(bgr >> 8 & 0xFF), (uint8_t)(bgr >> 16 & 0xFF)}; }

// A colour mixed with white: how patterns and text boxes are shown.
Rgb Tint(Rgb c, double amount)
{
    auto mix = [amount](uint8_t v) { return (uint8_t)std::lround(v + (255 - v) * amount); };
    return Rgb{mix(c.r), mix(c.g), mix(c.b)};
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
    if (d <= 0) return;
    double r = d / (2 * std::sin(std::fabs(theta) / 2));
    OdGePoint2d mid(a.x + chord.x / 2, a.y + chord.y / 2);
    OdGeVector2d n(-chord.y / d, chord.x / d);
    double h = r * std::cos(theta / 2);
    OdGePoint2d c(mid.x + n.x * h * (bulge > 0 ? 1 : -1), mid.y + n.y * h * (bulge > 0 ? 1 : -1));
    double a0 = std::atan2(a.y - c.y, a.x - c.x);
    int steps = std::max(2, (int)std::ceil(std::fabs(theta) / (M_PI / 36)));
    for (int i = 1; i <= steps; ++i) {
        double t = a0 + theta * i / steps;
        ring.emplace_back(c.x + r * std::cos(t), c.y + r * std::sin(t));
    }
}

const OdDbLayerTableRecord* LayerOf(const OdDbEntity* e)
{
    return e->layerId().isValid() ? OdRxCast<OdDbLayerTableRecord>(e->layerId().stub()->object) : nullptr;
}

// The colour drawn for a colour setting of an entity on that layer.
Rgb ColorValue(OdCmColor c, const OdDbLayerTableRecord* layer, Rgb byBlock)
{
    if (c.isByLayer()) {
        c = layer ? layer->color() : OdCmColor();
        if (c.isByLayer()) c.setColorIndex(7);
    }
    if (c.isByBlock()) return byBlock;
    if (c.isByColor()) return Rgb{c.red(), c.green(), c.blue()};
    int index = c.isByACI() ? c.colorIndex() : 7;
    // Index 7 is drawn black on the white background, as hosts do.
    return index == 7 ? Rgb{0, 0, 0} : FromBgr(gcedGetRGB(index));
}

class Collector {
public:
    void entity(OdDbEntity* e, Rgb byBlock, int depth);
    std::vector<Item> items;
    int entities = 0, images = 0, missing = 0;
    std::wstring imageFolder;  // where relative image names are found

private:
    void curve(OdDbCurve* c, Rgb color);
    void textBox(const OdGePoint3d& base, double rotation, double width, double height, Rgb color);
};

void Collector::curve(OdDbCurve* c, Rgb color)
{
    Stroke s;
    s.color = color;
    if (auto* pl = OdRxCast<OdDbPolyline>(c)) {
        unsigned n = pl->numVerts();
        for (unsigned i = 0; i < n; ++i) {
            OdGePoint2d p;
            pl->getPointAt(i, p);
            if (i == 0) s.points.push_back(p);
            else {
                OdGePoint2d prev;
                pl->getPointAt(i - 1, prev);
                AddBulge(s.points, prev, p, pl->getBulgeAt(i - 1));
            }
        }
        if (pl->isClosed() && n > 1) {
            OdGePoint2d last, first;
            pl->getPointAt(n - 1, last);
            pl->getPointAt(0, first);
            AddBulge(s.points, last, first, pl->getBulgeAt(n - 1));
        }
    } else {
        double t0 = 0, t1 = 0;
        if (c->getStartParam(t0) != eOk || c->getEndParam(t1) != eOk || !std::isfinite(t0) || !std::isfinite(t1)) return;
        int steps = OdRxCast<OdDbLine>(c) ? 1 : 96;
        for (int i = 0; i <= steps; ++i) {
            OdGePoint3d p;
            if (c->getPointAtParam(t0 + (t1 - t0) * i / steps, p) == eOk) s.points.push_back(P2(p));
        }
    }
    if (s.points.size() >= 2) items.emplace_back(std::move(s));
}

void Collector::textBox(const OdGePoint3d& base, double rotation, double width, double height, Rgb color)
{
    if (!(width > 0) || !(height > 0)) return;
    OdGeVector2d x(std::cos(rotation), std::sin(rotation)), y(-x.y, x.x);
    OdGePoint2d p = P2(base);
    Ring box{p, p + x * width, p + x * width + y * height, p + y * height};
    items.emplace_back(Fill{{box}, Tint(color, 0.75)});
    items.emplace_back(Stroke{box, true, color});
}

void Collector::entity(OdDbEntity* e, Rgb byBlock, int depth)
{
    const OdDbLayerTableRecord* layer = LayerOf(e);
    if (entities >= kMaxEntities || (layer && (layer->isOff() || layer->isFrozen()))) return;
    ++entities;
    Rgb color = ColorValue(e->color(), layer, byBlock);
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        if (depth >= kMaxNesting) return;
        OdDbVoidPtrArray parts;
        if (ref->explode(parts) == eOk)
            for (void* p : parts) {
                auto* part = static_cast<OdDbEntity*>(p);
                // Attribute definitions show in the block, not in references.
                if (!OdRxCast<OdDbAttributeDefinition>(part)) entity(part, color, depth + 1);
                delete part;
            }
        std::unique_ptr<OdDbObjectIterator> it(ref->attributeIterator());
        for (; it && !it->done(); it->step())
            if (it->objectId().isValid() && !it->objectId().isErased())
                if (auto* a = OdRxCast<OdDbAttribute>(it->objectId().stub()->object))
                    if (!a->isInvisible()) entity(a, color, depth + 1);
    } else if (auto* t = OdRxCast<OdDbText>(e)) {
        textBox(t->position(), t->rotation(), t->textString().getLength() * t->height() * t->widthFactor(), t->height(),
                color);
    } else if (auto* m = OdRxCast<OdDbMText>(e)) {
        OdGeExtents3d ext;
        if (m->getGeomExtents(ext) == eOk)
            textBox(ext.minPoint(), 0, ext.maxPoint().x - ext.minPoint().x, ext.maxPoint().y - ext.minPoint().y, color);
    } else if (auto* h = OdRxCast<OdDbHatch>(e)) {
        Fill f;
        bool gradient = h->hatchObjectType() == OdDbHatch::kGradientObject;
        f.color = h->isSolidFill() && !gradient ? color : Tint(color, 0.5);
        if (gradient) {
            unsigned n = 0;
            OdArray<OdCmColor> colors;
            OdGeDoubleArray values;
            h->getGradientColors(n, colors, values);
            if (!colors.isEmpty()) f.color = ColorValue(colors[0], layer, color);
        }
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
                    AddBulge(ring, verts[k], verts[(k + 1) % verts.length()], k < bulges.length() ? bulges[k] : 0);
            } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
                for (void* p : edges) {
                    OdGePoint2dArray pts;
                    static_cast<OdGeCurve2d*>(p)->getSamplePoints(49, pts);
                    for (const auto& q : pts) ring.push_back(q);
                }
            }
            if (ring.size() >= 3) f.rings.push_back(ring);
        }
        if (!f.rings.empty()) {
            std::vector<Ring> rings = f.rings;
            items.emplace_back(std::move(f));
            for (auto& r : rings) items.emplace_back(Stroke{std::move(r), true, color});
        }
    } else if (auto* so = OdRxCast<OdDbSolid>(e)) {
        OdGePoint3d p[4];
        for (int i = 0; i < 4; ++i) so->getPointAt(i, p[i]);
        // The host's order of a solid's corners: the third and fourth
        // close the shape crosswise.
        items.emplace_back(Fill{{{P2(p[0]), P2(p[1]), P2(p[3]), P2(p[2])}}, color});
    } else if (auto* img = OdRxCast<OdDbRasterImage>(e)) {
        OdGePoint3d o;
        OdGeVector3d u, v;
        img->getOrientation(o, u, v);
        Picture pic{P2(o), OdGeVector2d(u.x, u.y), OdGeVector2d(v.x, v.y), nullptr};
        auto* def = img->imageDefId().isValid() ? OdRxCast<OdDbRasterImageDef>(img->imageDefId().stub()->object) : nullptr;
        if (def) {
            auto loaded = std::make_shared<PxImage>();
            std::wstring file = def->sourceFileName().c_str();
            const bool absolute = (file.size() > 1 && file[1] == L':') || (!file.empty() && file[0] == L'\\');
            if (!absolute && !imageFolder.empty()) file = imageFolder + L"\\" + file;
            if (loaded->Load(file.c_str(), PXIMAGE_FORMAT_UNKNOWN) && loaded->IsValid()) pic.image = loaded;
        }
        (pic.image ? images : missing)++;
        if (!pic.image) {
            OdGePoint2d a = pic.origin, b = a + pic.u, c = b + pic.v, d = a + pic.v;
            Rgb grey{128, 128, 128};
            items.emplace_back(Stroke{{a, b, c, d}, true, grey});
            items.emplace_back(Stroke{{a, c}, false, grey});
            items.emplace_back(Stroke{{b, d}, false, grey});
        } else {
            items.emplace_back(std::move(pic));
        }
    } else if (auto* pt = OdRxCast<OdDbPoint>(e)) {
        items.emplace_back(Stroke{{P2(pt->position()), P2(pt->position())}, false, color});
    } else if (auto* c = OdRxCast<OdDbCurve>(e)) {
        curve(c, color);
    } else {
        OdDbVoidPtrArray parts;
        if (depth < kMaxNesting && e->explode(parts) == eOk)
            for (void* p : parts) {
                entity(static_cast<OdDbEntity*>(p), color, depth + 1);
                delete static_cast<OdDbEntity*>(p);
            }
    }
}

// ---- rasterising ----

class Canvas {
public:
    Canvas(int w, int h, double minX, double minY, double scale, double margin)
        : w_(w), h_(h), minX_(minX), minY_(minY), s_(scale), m_(margin), px_((size_t)w * h * 3, 255)
    {
    }
    // Pixel coordinates: x from the left, y from the bottom.
    double X(double wx) const { return (wx - minX_) * s_ + m_; }
    double Y(double wy) const { return (wy - minY_) * s_ + m_; }

    void set(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
        uint8_t* p = &px_[((size_t)y * w_ + x) * 3];
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }

    void line(double x0, double y0, double x1, double y1, Rgb c)
    {
        if (!clip(x0, y0, x1, y1)) return;
        int steps = (int)std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
        for (int i = 0; i <= steps; ++i) {
            double t = steps ? (double)i / steps : 0;
            set((int)std::floor(x0 + (x1 - x0) * t), (int)std::floor(y0 + (y1 - y0) * t), c);
        }
    }

    void stroke(const Stroke& s)
    {
        for (size_t i = 0; i + 1 < s.points.size(); ++i)
            line(X(s.points[i].x), Y(s.points[i].y), X(s.points[i + 1].x), Y(s.points[i + 1].y), s.color);
        if (s.closed && s.points.size() > 2)
            line(X(s.points.back().x), Y(s.points.back().y), X(s.points[0].x), Y(s.points[0].y), s.color);
        if (s.points.size() == 2 && s.points[0].x == s.points[1].x && s.points[0].y == s.points[1].y)
            for (int d = -2; d <= 2; ++d) {  // a point: a small cross
                set((int)X(s.points[0].x) + d, (int)Y(s.points[0].y), s.color);
                set((int)X(s.points[0].x), (int)Y(s.points[0].y) + d, s.color);
            }
    }

    // Even-odd scanline fill at pixel centres.
    void fill(const Fill& f)
    {
        struct Edge {
            double x0, y0, x1, y1;
        };
        std::vector<Edge> edges;
        double lo = 1e300, hi = -1e300;
        for (const auto& r : f.rings)
            for (size_t i = 0; i < r.size(); ++i) {
                const auto& a = r[i];
                const auto& b = r[(i + 1) % r.size()];
                Edge e{X(a.x), Y(a.y), X(b.x), Y(b.y)};
                if (!std::isfinite(e.x0 + e.y0 + e.x1 + e.y1) || e.y0 == e.y1) continue;
                edges.push_back(e);
                lo = std::min({lo, e.y0, e.y1});
                hi = std::max({hi, e.y0, e.y1});
            }
        int y0 = std::max(0, (int)std::floor(lo)), y1 = std::min(h_ - 1, (int)std::ceil(hi));
        std::vector<double> xs;
        for (int y = y0; y <= y1; ++y) {
            double yc = y + 0.5;
            xs.clear();
            for (const auto& e : edges)
                if ((e.y0 <= yc) != (e.y1 <= yc)) xs.push_back(e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0));
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2) {
                int a = std::max(0, (int)std::ceil(xs[i] - 0.5)), b = std::min(w_ - 1, (int)std::floor(xs[i + 1] - 0.5));
                for (int x = a; x <= b; ++x) set(x, y, f.color);
            }
        }
    }

    // Each pixel of the image's parallelogram takes the image pixel under
    // its centre: (0, 0) of the image at the origin, its rows going up v.
    void picture(const Picture& p)
    {
        OdGePoint2d corners[4] = {p.origin, p.origin + p.u, p.origin + p.u + p.v, p.origin + p.v};
        double lx = 1e300, hx = -1e300, ly = 1e300, hy = -1e300;
        for (const auto& c : corners) {
            lx = std::min(lx, X(c.x)), hx = std::max(hx, X(c.x));
            ly = std::min(ly, Y(c.y)), hy = std::max(hy, Y(c.y));
        }
        double det = p.u.x * p.v.y - p.u.y * p.v.x;
        if (!std::isfinite(lx + hx + ly + hy) || det == 0) return;
        long iw = (long)p.image->GetWidth(), ih = (long)p.image->GetHeight();
        for (int y = std::max(0, (int)std::floor(ly)); y <= std::min(h_ - 1, (int)std::ceil(hy)); ++y)
            for (int x = std::max(0, (int)std::floor(lx)); x <= std::min(w_ - 1, (int)std::ceil(hx)); ++x) {
                double wx = (x + 0.5 - m_) / s_ + minX_ - p.origin.x, wy = (y + 0.5 - m_) / s_ + minY_ - p.origin.y;
                double s = (wx * p.v.y - wy * p.v.x) / det, t = (p.u.x * wy - p.u.y * wx) / det;
                if (s < 0 || t < 0 || s >= 1 || t >= 1) continue;
                PxRgbQuad q = p.image->GetPixelColor((long)(s * iw), (long)(t * ih));
                set(x, y, Rgb{q.red, q.green, q.blue});
            }
    }

    bool save(const std::wstring& path) const
    {
        PxImage img((DWORD)w_, (DWORD)h_, 24, PXIMAGE_FORMAT_PNG);
        if (!img.IsValid()) return false;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                const uint8_t* p = &px_[((size_t)y * w_ + x) * 3];
                img.SetPixelColor(x, y, PxRgbQuad{p[2], p[1], p[0], 0});
            }
        return img.Save(path.c_str(), PXIMAGE_FORMAT_PNG);
    }

private:
    // Liang-Barsky against a frame one pixel wider than the canvas.
    bool clip(double& x0, double& y0, double& x1, double& y1) const
    {
        if (!std::isfinite(x0 + y0 + x1 + y1)) return false;
        double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
        auto edge = [&](double p, double q) {
            if (p == 0) return q >= 0;
            double r = q / p;
            if (p < 0) t0 = std::max(t0, r);
            else t1 = std::min(t1, r);
            return t0 <= t1;
        };
        if (!edge(-dx, x0 + 1) || !edge(dx, w_ - x0) || !edge(-dy, y0 + 1) || !edge(dy, h_ - y0)) return false;
        double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
        x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
        return true;
    }

    int w_, h_;
    double minX_, minY_, s_, m_;
    std::vector<uint8_t> px_;
};

void AddBounds(const Item& item, double& lx, double& ly, double& hx, double& hy)
{
    auto add = [&](const OdGePoint2d& p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        lx = std::min(lx, p.x), hx = std::max(hx, p.x), ly = std::min(ly, p.y), hy = std::max(hy, p.y);
    };
    if (auto* s = std::get_if<Stroke>(&item))
        for (const auto& p : s->points) add(p);
    else if (auto* f = std::get_if<Fill>(&item)) {
        for (const auto& r : f->rings)
            for (const auto& p : r) add(p);
    } else if (auto* p = std::get_if<Picture>(&item)) {
        add(p->origin);
        add(p->origin + p->u + p->v);
        add(p->origin + p->u);
        add(p->origin + p->v);
    }
}

}  // namespace

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

    Collector collect;
    const size_t slash = drawingFile.rfind(L'\\');
    if (slash != std::wstring::npos) collect.imageFolder = drawingFile.substr(0, slash);
    for (const auto& id : order) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        collect.entity(e, Rgb{0, 0, 0}, 0);
        e->close();
    }
    double lx = 1e300, ly = 1e300, hx = -1e300, hy = -1e300;
    for (const auto& item : collect.items) AddBounds(item, lx, ly, hx, hy);
    if (lx > hx) {
        error = "model space has nothing to draw";
        return false;
    }
    if (window.maxX > window.minX && window.maxY > window.minY)
        lx = window.minX, ly = window.minY, hx = window.maxX, hy = window.maxY;
    // A single point or a straight line still gets a picture around it.
    double dx = std::max(hx - lx, 1e-9), dy = std::max(hy - ly, 1e-9);
    double extent = std::max(dx, dy);
    dx = std::max(dx, extent / 64), dy = std::max(dy, extent / 64);
    size = std::clamp(size, 16, 8192);
    const double margin = 8;
    double scale = (size - 2 * margin) / std::max(dx, dy);
    int w = (int)std::ceil(dx * scale + 2 * margin), h = (int)std::ceil(dy * scale + 2 * margin);
    double minX = lx - (dx - (hx - lx)) / 2, minY = ly - (dy - (hy - ly)) / 2;
    Canvas canvas(w, h, minX, minY, scale, margin);
    for (const auto& item : collect.items) {
        if (auto* s = std::get_if<Stroke>(&item)) canvas.stroke(*s);
        else if (auto* f = std::get_if<Fill>(&item)) canvas.fill(*f);
        else canvas.picture(std::get<Picture>(item));
    }
    stats.entities = collect.entities;
    stats.images = collect.images;
    stats.missingImages = collect.missing;
    stats.width = w;
    stats.height = h;
    stats.originX = minX - margin / scale;
    stats.originY = minY - margin / scale;
    stats.pixelsPerUnit = scale;
    if (!canvas.save(pngPath)) {
        error = "the picture cannot be written";
        return false;
    }
    return true;
}

}  // namespace velkhost
