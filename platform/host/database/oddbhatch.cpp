#include "oddbhatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

#include "hostdb_control.h"
#include "oddbdictionary.h"
#include <map>

ODRX_DEFINE_MEMBERS(OdDbHatch, OdDbEntity, L"AcDbHatch")
ODRX_DEFINE_MEMBERS(OdDbSolid, OdDbEntity, L"AcDbSolid")
ODRX_DEFINE_MEMBERS(OdDbRegion, OdDbEntity, L"AcDbRegion")

namespace {

// The predefined patterns the stand-in host knows.
const wchar_t* const kPatterns[] = {
    L"SOLID", L"ANGLE", L"ANSI31", L"ANSI32", L"ANSI33", L"ANSI34", L"ANSI35", L"ANSI36", L"ANSI37", L"ANSI38",
    L"BRICK", L"BOX", L"CROSS", L"DASH", L"DOTS",
    L"EARTH", L"GRASS", L"GRAVEL", L"HEX", L"HONEY", L"LINE", L"NET", L"NET3", L"SQUARE", L"STARS", L"STEEL",
    L"TRIANG", L"ZIGZAG", L"ACAD_ISO02W100", L"ACAD_ISO03W100", L"ACAD_ISO04W100", L"ACAD_ISO05W100",
    L"ACAD_ISO06W100", L"ACAD_ISO07W100", L"ACAD_ISO08W100", L"ACAD_ISO09W100", L"ACAD_ISO10W100",
    L"ACAD_ISO11W100", L"ACAD_ISO12W100", L"ACAD_ISO13W100", L"ACAD_ISO14W100", L"ACAD_ISO15W100"};

const wchar_t* const kGradients[] = {L"LINEAR",        L"CYLINDER", L"INVCYLINDER",     L"SPHERICAL", L"HEMISPHERICAL",
                                     L"CURVED",        L"INVSPHERICAL", L"INVHEMISPHERICAL", L"INVCURVED"};

template <size_t N>
bool InList(const wchar_t* const (&list)[N], const wchar_t* name)
{
    for (const wchar_t* p : list)
        if (name && wcscasecmp(p, name) == 0) return true;
    return false;
}

OdGePoint2d P2(const OdGePoint3d& p) { return {p.x, p.y}; }

// Coordinates of the plane of that normal (z along the normal) to world
// coordinates, or, with `back`, world coordinates to the plane's.
OdGeMatrix3d PlaneMatrix(const OdGeVector3d& normal, bool back)
{
    OdGeMatrix3d m;
    if (normal.x == 0 && normal.y == 0 && normal.z > 0) return m;
    OdGeVector3d x, y;
    OdGePlaneAxes(normal, x, y);
    const OdGeVector3d axes[3] = {x, y, normal.normal()};
    for (int a = 0; a < 3; ++a) {
        const double v[3] = {axes[a].x, axes[a].y, axes[a].z};
        for (int k = 0; k < 3; ++k) (back ? m.entry[a][k] : m.entry[k][a]) = v[k];
    }
    return m;
}

// The plane edge of a curve entity, or null for one that has none.
OdGeCurve2d* EdgeOf(const OdDbCurve* c, int& type)
{
    if (auto* l = OdRxCast<OdDbLine>(const_cast<OdDbCurve*>(c))) {
        type = OdDbHatch::kLine;
        return new OdGeLineSeg2d(P2(l->startPoint()), P2(l->endPoint()));
    }
    if (auto* a = OdRxCast<OdDbArc>(const_cast<OdDbCurve*>(c))) {
        type = OdDbHatch::kCirArc;
        double e;
        a->getEndParam(e);
        return new OdGeCircArc2d(P2(a->center()), a->radius(), a->startAngle(), e);
    }
    if (auto* ci = OdRxCast<OdDbCircle>(const_cast<OdDbCurve*>(c))) {
        type = OdDbHatch::kCirArc;
        return new OdGeCircArc2d(P2(ci->center()), ci->radius());
    }
    if (auto* el = OdRxCast<OdDbEllipse>(const_cast<OdDbCurve*>(c))) {
        type = OdDbHatch::kEllArc;
        double s, e;
        el->getStartParam(s);
        el->getEndParam(e);
        OdGeVector3d maj = el->majorAxis(), mn = el->minorAxis();
        return new OdGeEllipArc2d(P2(el->center()), OdGeVector2d(maj.x, maj.y), OdGeVector2d(mn.x, mn.y),
                                  maj.length(), mn.length(), s, e);
    }
    if (auto* sp = OdRxCast<OdDbSpline>(const_cast<OdDbCurve*>(c))) {
        if (sp->isNull()) return nullptr;
        type = OdDbHatch::kSpline;
        OdGePoint2dArray ctrl;
        for (int i = 0; i < sp->numControlPoints(); ++i) {
            OdGePoint3d p;
            sp->getControlPointAt(i, p);
            ctrl.append(P2(p));
        }
        return new OdGeNurbCurve2d(sp->degree(), sp->knots(), ctrl);
    }
    return nullptr;
}

// Ends closer than this join in a loop.
constexpr double kJoinTol = 1e-6;

// Keys of a coordinate for finding ends closer than kJoinTol. Below 2^33 in size a coordinate falls in a cell 4 * kJoinTol wide:
// its quotient stays below 2^51, so rounding cannot put two such ends more
// than one cell apart. From 2^33 on, doubles lie further apart than the
// tolerance, so ends within it have equal coordinates there, and the key is
// the coordinate's bits (no cell number is that large). Just above the
// bound a coordinate has both keys, so that a lookup from below finds it.
constexpr double kExactFrom = 8589934592.0;  // 2^33
constexpr double kCellsLookedUpBelow = kExactFrom + 1, kCellsKeptBelow = kExactFrom + 2;
static_assert(kExactFrom * 0x1p-52 > kJoinTol, "doubles from kExactFrom on lie further apart than kJoinTol");

int64_t CellKey(double v) { return (int64_t)std::floor(v / (4 * kJoinTol)); }

int64_t ExactKey(double v)
{
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The keys an end is kept under (one or two).
int KeysOf(double v, int64_t out[2])
{
    int k = 0;
    if (std::fabs(v) < kCellsKeptBelow) out[k++] = CellKey(v);
    if (std::fabs(v) >= kExactFrom) out[k++] = ExactKey(v);
    return k;
}

// The keys to look under for ends near v (one or three).
int NearKeys(double v, int64_t out[3])
{
    if (!(std::fabs(v) < kCellsLookedUpBelow)) {
        out[0] = ExactKey(v);
        return 1;
    }
    const int64_t c = CellKey(v);
    out[0] = c - 1, out[1] = c, out[2] = c + 1;
    return 3;
}

// Puts the edges in ring order, each starting where the one before ends
// (turned round where it runs the other way), as the host keeps a boundary
// loop; false when they do not join into one closed ring or an end is no
// finite point. Each step takes the first remaining edge in the given order
// that joins; the ends are found through the keys above and grouped by
// their exact point, so that ends in the same place, however many, cost
// one look a step.
bool ChainRing(std::vector<OdGeCurve2d*>& edges, OdGeIntArray& types)
{
    const double tol = kJoinTol;
    if (edges.empty()) return false;
    const size_t n = edges.size();
    // Ends of the edges still to place, by key, then by the end's exact
    // point: many edges ending at one point cost one look, not one each.
    struct Ends {
        std::vector<std::pair<size_t, bool>> at;  // (edge, its end rather than its start), by edge
        size_t first = 0;                          // those before it are placed
    };
    std::map<std::pair<int64_t, int64_t>, std::map<std::pair<double, double>, Ends>> cells;
    auto keep = [&cells](const OdGePoint2d& p, size_t i, bool end) {
        int64_t kx[2], ky[2];
        const int nx = KeysOf(p.x, kx), ny = KeysOf(p.y, ky);
        for (int a = 0; a < nx; ++a)
            for (int b = 0; b < ny; ++b) cells[{kx[a], ky[b]}][{p.x, p.y}].at.emplace_back(i, end);
    };
    auto finite = [](const OdGePoint2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    std::vector<OdGePoint2d> starts(n), ends(n);
    for (size_t i = 0; i < n; ++i) {
        starts[i] = edges[i]->startPoint();
        ends[i] = edges[i]->endPoint();
        if (!finite(starts[i]) || !finite(ends[i])) return false;
        if (i == 0) continue;
        keep(starts[i], i, false);
        keep(ends[i], i, true);
    }
    std::vector<char> used(n, 0);
    used[0] = 1;
    // order[k]: the edge placed k-th, and whether it is turned round.
    std::vector<std::pair<size_t, bool>> order{{0, false}};
    OdGePoint2d cur = ends[0];
    for (size_t k = 1; k < n; ++k) {
        int64_t kx[3], ky[3];
        const int nx = NearKeys(cur.x, kx), ny = NearKeys(cur.y, ky);
        size_t best = SIZE_MAX;
        bool turn = false;
        for (int a = 0; a < nx; ++a)
            for (int b = 0; b < ny; ++b) {
                auto it = cells.find({kx[a], ky[b]});
                if (it == cells.end()) continue;
                for (auto& [point, e] : it->second) {
                    if (OdGePoint2d(point.first, point.second).distanceTo(cur) >= tol) continue;
                    while (e.first < e.at.size() && used[e.at[e.first].first]) ++e.first;
                    if (e.first == e.at.size()) continue;
                    // The first unplaced edge ending here; its start wins over its end.
                    const auto [i, end] = e.at[e.first];
                    if (i < best || (i == best && !end)) best = i, turn = end;
                }
            }
        if (best == SIZE_MAX) return false;
        used[best] = 1;
        order.emplace_back(best, turn);
        cur = turn ? starts[best] : ends[best];
    }
    if (cur.distanceTo(starts[0]) >= tol) return false;
    std::vector<OdGeCurve2d*> placed;
    OdGeIntArray placedTypes;
    for (const auto& [i, turn] : order) {
        if (turn) edges[i]->reverseParam();
        placed.push_back(edges[i]);
        placedTypes.append(types[(int)i]);
    }
    edges.swap(placed);
    types = placedTypes;
    return true;
}

// Lines turned about the origin by `a` and scaled by `s`.
void TransformLines(OdHatchPattern& lines, double a, double s)
{
    double c = std::cos(a), n = std::sin(a);
    for (auto& l : lines) {
        l.m_dLineAngle += a;
        OdGePoint2d b = l.m_basePoint;
        l.m_basePoint.set((b.x * c - b.y * n) * s, (b.x * n + b.y * c) * s);
        OdGeVector2d o = l.m_patternOffset;
        l.m_patternOffset = OdGeVector2d((o.x * c - o.y * n) * s, (o.x * n + o.y * c) * s);
        for (auto& d : l.m_dashes) d *= s;
    }
}

}  // namespace

OdDbHatch::OdDbHatch(const OdDbHatch& o)
    : OdDbEntity(o), normal_(o.normal_), elevation_(o.elevation_), associative_(o.associative_),
      evaluated_(o.evaluated_), origin_(o.origin_), objectType_(o.objectType_), patternType_(o.patternType_),
      patternName_(o.patternName_), patternAngle_(o.patternAngle_), patternScale_(o.patternScale_),
      pixelSize_(o.pixelSize_), tint_(o.tint_), shift_(o.shift_), double_(o.double_), style_(o.style_),
      lines_(o.lines_), seeds_(o.seeds_), gradientType_(o.gradientType_), gradientName_(o.gradientName_),
      gradientAngle_(o.gradientAngle_), oneColor_(o.oneColor_), gradientColors_(o.gradientColors_),
      gradientValues_(o.gradientValues_)
{
    for (const auto& l : o.loops_) loops_.push_back(copyLoop(l));
}

OdDbHatch::~OdDbHatch()
{
    for (auto& l : loops_) freeLoop(l);
}

void OdDbHatch::freeLoop(Loop& l)
{
    for (auto* e : l.edges) delete e;
    l.edges.clear();
}

OdDbHatch::Loop OdDbHatch::copyLoop(const Loop& l)
{
    Loop c = l;
    for (auto*& e : c.edges) e = e->copy();
    return c;
}

OdResult OdDbHatch::setNormal(const OdGeVector3d& n) { OD_SET(normal_, n.normal()); }
OdResult OdDbHatch::setElevation(double e) { OD_SET(elevation_, e); }
OdResult OdDbHatch::setAssociative(bool v) { OD_SET(associative_, v); }
OdResult OdDbHatch::setOriginPoint(const OdGePoint2d& p)
{
    if (int s = standin::TakeHostFault(__func__)) return (OdResult)s;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    // The pattern's lines move with its origin.
    for (auto& l : lines_) l.m_basePoint += p - origin_;
    origin_ = p;
    return eOk;
}
OdResult OdDbHatch::setHatchObjectType(HatchObjectType t) { OD_SET(objectType_, t); }
// The lines turned or scaled about the pattern's origin.
void OdDbHatch::transformLines(double turn, double scale)
{
    for (auto& l : lines_) l.m_basePoint += OdGePoint2d::kOrigin - origin_;
    TransformLines(lines_, turn, scale);
    for (auto& l : lines_) l.m_basePoint += origin_ - OdGePoint2d::kOrigin;
}

OdResult OdDbHatch::setPatternAngle(double a)
{
    if (int s = standin::TakeHostFault(__func__)) return (OdResult)s;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    transformLines(a - patternAngle_, 1.0);
    patternAngle_ = a;
    return eOk;
}

void OdDbHatch::makePatternLines()
{
    lines_.clear();
    if (isSolidFill()) return;
    if (patternType_ == kPreDefined) {
        standin::PredefinedPattern(patternName_.c_str(), lines_);
    } else if (patternType_ == kUserDefined) {
        // One family the scale apart, and a second across it when doubled.
        for (int k = 0; k < (double_ ? 2 : 1); ++k) {
            OdHatchPatternLine l;
            l.m_dLineAngle = k * M_PI / 2;
            l.m_patternOffset = OdGeVector2d(-std::sin(l.m_dLineAngle), std::cos(l.m_dLineAngle));
            lines_.append(l);
        }
    }
    TransformLines(lines_, patternAngle_, patternScale_);
    for (auto& l : lines_) l.m_basePoint += origin_ - OdGePoint2d::kOrigin;
}

OdResult OdDbHatch::setPattern(HatchPatternType type, const wchar_t* name)
{
    if (!name || !*name) return eInvalidInput;
    if (type == kPreDefined && !InList(kPatterns, name)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    patternType_ = type;
    patternName_ = name;
    makePatternLines();
    return eOk;
}

OdResult OdDbHatch::setPattern(HatchPatternType type, const wchar_t* name, double angle, double scale,
                               const OdHatchPattern& lines)
{
    if (!name || !*name || !(scale > 0)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    patternType_ = type;
    patternName_ = name;
    patternAngle_ = angle;
    patternScale_ = scale;
    lines_ = lines;
    return eOk;
}

OdResult OdDbHatch::setPatternScale(double s)
{
    if (!(s > 0)) return eInvalidInput;
    if (int f = standin::TakeHostFault(__func__)) return (OdResult)f;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    transformLines(0, s / patternScale_);
    patternScale_ = s;
    return eOk;
}

OdResult OdDbHatch::setPatternDouble(bool v)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    double_ = v;
    if (patternType_ == kUserDefined) makePatternLines();
    return eOk;
}

OdResult OdDbHatch::getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY, double& offsetX,
                                           double& offsetY, OdGeDoubleArray& dashes) const
{
    if (index < 0 || index >= lines_.length()) return eInvalidIndex;
    const OdHatchPatternLine& l = lines_[index];
    angle = l.m_dLineAngle;
    baseX = l.m_basePoint.x;
    baseY = l.m_basePoint.y;
    offsetX = l.m_patternOffset.x;
    offsetY = l.m_patternOffset.y;
    dashes = l.m_dashes;
    return eOk;
}

OdResult OdDbHatch::setHatchStyle(HatchStyle st)
{
    if (st != kNormal && st != kOuter && st != kIgnore) return eInvalidInput;
    OD_SET(style_, st);
}

OdResult OdDbHatch::setPixelSize(double v)
{
    if (!(v >= 0)) return eInvalidInput;
    OD_SET(pixelSize_, v);
}

OdResult OdDbHatch::appendSeedPoint(const OdGePoint2d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    seeds_.append(p);
    return eOk;
}

OdResult OdDbHatch::removeSeedPointAt(int i)
{
    if (i < 0 || i >= seeds_.length()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    seeds_.removeAt(i);
    return eOk;
}

OdResult OdDbHatch::setShadeTintValue(double v)
{
    if (!(v >= 0 && v <= 1)) return eInvalidInput;
    OD_SET(tint_, v);
}

OdResult OdDbHatch::setGradientShift(double v)
{
    if (!(v >= 0 && v <= 1)) return eInvalidInput;
    OD_SET(shift_, v);
}

OdCmColor OdDbHatch::backgroundColor() const
{
    // The colour's method in the top byte, its index or value below.
    OdCmColor back(OdCmEntityColor::kNone);
    OdResBuf* data = xData(L"HATCHBACKGROUNDCOLOR");
    for (const OdResBuf* rb = data; rb; rb = rb->next()) {
        if (rb->restype() != 1071) continue;
        uint32_t value = (uint32_t)rb->getInt32();
        if (value >> 24 == OdCmEntityColor::kByColor)
            back.setRGB((uint8_t)(value >> 16), (uint8_t)(value >> 8), (uint8_t)value);
        else if (value >> 24 == OdCmEntityColor::kByACI && (value & 0xFFFFFF) <= 255)
            back.setColorIndex((int16_t)(value & 0xFF));
        else if (value >> 24 == OdCmEntityColor::kByBlock)
            back.setColorMethod(OdCmEntityColor::kByBlock);
        else if (value >> 24 == OdCmEntityColor::kByLayer)
            back.setColorMethod(OdCmEntityColor::kByLayer);
        break;
    }
    OdResBuf::releaseChain(data);
    return back;
}

OdResult OdDbHatch::setBackgroundColor(const OdCmColor& c)
{
    if (int s = standin::TakeHostFault(__func__)) return (OdResult)s;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    OdResBuf* chain = OdResBuf::newRb(1001, OdString(L"HATCHBACKGROUNDCOLOR"));
    if (c.colorMethod() != OdCmEntityColor::kNone) {
        uint32_t value = c.isByColor()  ? (uint32_t)c.red() << 16 | (uint32_t)c.green() << 8 | c.blue()
                         : c.isByACI() ? (uint32_t)c.colorIndex()
                                       : 0;
        chain->setNext(OdResBuf::newRb(1071, (int32_t)((uint32_t)c.colorMethod() << 24 | value)));
    }
    putXData(chain);
    OdResBuf::releaseChain(chain);
    return eOk;
}

OdResult OdDbHatch::setGradient(GradientPatternType type, const wchar_t* name)
{
    if (!InList(kGradients, name)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    gradientType_ = type;
    gradientName_ = name;
    return eOk;
}

OdResult OdDbHatch::setGradientAngle(double a) { OD_SET(gradientAngle_, a); }
OdResult OdDbHatch::setGradientOneColorMode(bool v) { OD_SET(oneColor_, v); }

OdResult OdDbHatch::setGradientColors(unsigned int count, const OdCmColor* colors, const double* values)
{
    if (count < 2 || !colors || !values) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    gradientColors_.clear();
    gradientValues_.clear();
    for (unsigned int i = 0; i < count; ++i) {
        gradientColors_.append(colors[i]);
        gradientValues_.append(values[i]);
    }
    return eOk;
}

OdResult OdDbHatch::getGradientColors(unsigned int& count, OdArray<OdCmColor>& colors, OdGeDoubleArray& values) const
{
    count = (unsigned int)gradientColors_.length();
    colors = gradientColors_;
    values = gradientValues_;
    return eOk;
}

int OdDbHatch::loopTypeAt(int i) const { return i >= 0 && i < numLoops() ? loops_[(size_t)i].type : 0; }

OdResult OdDbHatch::addLoop(Loop loop)
{
    if (!assertWriteEnabled()) {
        freeLoop(loop);
        return eNotOpenForWrite;
    }
    loops_.push_back(std::move(loop));
    evaluated_ = false;
    return eOk;
}

OdResult OdDbHatch::appendLoop(int loopType, const OdDbObjectIdArray& ids)
{
    if (ids.isEmpty()) return eInvalidInput;
    Loop loop;
    loop.type = loopType;
    OdResult res = eOk;
    for (const auto& id : ids) {
        OdDbCurve* c = nullptr;
        res = oddbOpenObject(c, id, OdDb::kForRead);
        if (res != eOk) break;
        auto* pl = OdRxCast<OdDbPolyline>(c);
        if (pl && ids.length() == 1 && pl->isClosed()) {
            loop.type |= kPolyline;
            for (unsigned int i = 0; i < pl->numVerts(); ++i) {
                OdGePoint2d p;
                pl->getPointAt(i, p);
                loop.vertices.append(p);
                loop.bulges.append(pl->getBulgeAt(i));
            }
        } else if (pl) {
            OdDbVoidPtrArray parts;
            pl->explode(parts);
            for (void* p : parts) {
                int type = 0;
                if (OdGeCurve2d* e = EdgeOf(static_cast<OdDbCurve*>(p), type)) {
                    loop.edges.push_back(e);
                    loop.edgeTypes.append(type);
                }
                delete static_cast<OdDbEntity*>(p);
            }
        } else {
            int type = 0;
            OdGeCurve2d* e = EdgeOf(c, type);
            if (!e) res = eInvalidInput;
            else {
                loop.edges.push_back(e);
                loop.edgeTypes.append(type);
            }
        }
        c->close();
        if (res != eOk) break;
    }
    if (res == eOk && loop.vertices.isEmpty() && !ChainRing(loop.edges, loop.edgeTypes)) res = eInvalidInput;
    if (res != eOk) {
        freeLoop(loop);
        return res;
    }
    if (associative_) loop.ids = ids;
    return addLoop(std::move(loop));
}

OdResult OdDbHatch::appendLoop(int loopType, const OdGePoint2dArray& vertices, const OdGeDoubleArray& bulges)
{
    if (vertices.length() < 2) return eInvalidInput;
    Loop loop;
    loop.type = loopType | kPolyline;
    loop.vertices = vertices;
    loop.bulges = bulges;
    loop.bulges.setLogicalLength(vertices.length());
    return addLoop(std::move(loop));
}

OdResult OdDbHatch::appendLoop(int loopType, const OdGeVoidPointerArray& edges, const OdGeIntArray& edgeTypes)
{
    if (edges.isEmpty() || edges.length() != edgeTypes.length()) return eInvalidInput;
    Loop loop;
    loop.type = loopType & ~kPolyline;
    for (int i = 0; i < edges.length(); ++i) {
        if (!edges[i]) {
            freeLoop(loop);
            return eInvalidInput;
        }
        loop.edges.push_back(static_cast<OdGeCurve2d*>(edges[i])->copy());
    }
    loop.edgeTypes = edgeTypes;
    if (!ChainRing(loop.edges, loop.edgeTypes)) {
        freeLoop(loop);
        return eInvalidInput;
    }
    return addLoop(std::move(loop));
}

OdResult OdDbHatch::getLoopAt(int i, int& loopType, OdGePoint2dArray& vertices, OdGeDoubleArray& bulges) const
{
    if (i < 0 || i >= numLoops()) return eInvalidIndex;
    const Loop& l = loops_[(size_t)i];
    if (!(l.type & kPolyline)) return eInvalidInput;
    loopType = l.type;
    vertices = l.vertices;
    bulges = l.bulges;
    return eOk;
}

OdResult OdDbHatch::getLoopAt(int i, int& loopType, OdGeVoidPointerArray& edges, OdGeIntArray& edgeTypes) const
{
    if (i < 0 || i >= numLoops()) return eInvalidIndex;
    const Loop& l = loops_[(size_t)i];
    if (l.type & kPolyline) return eInvalidInput;
    loopType = l.type;
    edges.clear();
    for (auto* e : l.edges) edges.append(e);
    edgeTypes = l.edgeTypes;
    return eOk;
}

OdResult OdDbHatch::removeLoopAt(int i)
{
    if (i < 0 || i >= numLoops()) return eInvalidIndex;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    freeLoop(loops_[(size_t)i]);
    loops_.erase(loops_.begin() + i);
    return eOk;
}

OdResult OdDbHatch::evaluateHatch(bool)
{
    if (loops_.empty()) return eInvalidInput;
    OD_SET(evaluated_, true);
}

OdResult OdDbHatch::takeCopiedBoundary(const std::function<OdDbObjectId(OdDbObjectId)>& copyOf)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    bool whole = true;
    for (const auto& l : loops_)
        for (const auto& id : l.ids) whole = whole && !copyOf(id).isNull();
    for (auto& l : loops_) {
        if (!whole) {
            l.ids.clear();
            continue;
        }
        for (auto& id : l.ids) id = copyOf(id);
    }
    if (!whole) associative_ = false;
    return eOk;
}

OdResult OdDbHatch::getAssocObjIds(OdDbObjectIdArray& ids) const
{
    ids.clear();
    for (const auto& l : loops_)
        for (const auto& id : l.ids) ids.append(id);
    return eOk;
}

// Loops are in the hatch's plane; extents are world ones.
OdResult OdDbHatch::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    const OdGeMatrix3d toWorld = PlaneMatrix(normal_, false);
    for (const auto& l : loops_) {
        if (l.type & kPolyline) {
            OdDbPolyline pl;
            for (int i = 0; i < l.vertices.length(); ++i)
                pl.addVertexAt((unsigned)i, l.vertices[i], l.bulges[i]);
            pl.setClosed(true);
            pl.setNormal(normal_);
            pl.setElevation(elevation_);
            OdGeExtents3d e;
            if (pl.getGeomExtents(e) == eOk) ext.addExt(e);
        }
        for (auto* e : l.edges) {
            OdGePoint2dArray pts;
            e->getSamplePoints(65, pts);
            for (const auto& p : pts) ext.addPoint(OdGePoint3d(p.x, p.y, elevation_).transformBy(toWorld));
        }
    }
    return ext.isValidExtents() ? eOk : eInvalidExtents;
}

// Loops, seed points and pattern lines are in the hatch's plane: a change
// of the world is taken as the change it makes from the coordinates of
// that plane to those of the plane the normal goes to.
OdResult OdDbHatch::subTransformBy(const OdGeMatrix3d& world)
{
    OdGeVector3d d;
    if (world.isTranslation(&d)) return moveBy(d);
    if (!world.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    OdGeVector3d normal = normal_;
    normal.transformBy(world);
    if (normal.isZeroLength()) return eCannotScaleNonUniformly;
    normal = normal.normal();
    const OdGeMatrix3d m = PlaneMatrix(normal, true) * world * PlaneMatrix(normal_, false);
    bool mirror = m.entry[0][0] * m.entry[1][1] - m.entry[0][1] * m.entry[1][0] < 0;
    for (auto& l : loops_) {
        for (auto& v : l.vertices) {
            OdGePoint3d p(v.x, v.y, elevation_);
            p.transformBy(m);
            v.set(p.x, p.y);
        }
        if (mirror)
            for (auto& b : l.bulges) b = -b;
        for (auto* e : l.edges) e->transformBy(m);
    }
    for (auto& sp : seeds_) {
        OdGePoint3d p(sp.x, sp.y, elevation_);
        p.transformBy(m);
        sp.set(p.x, p.y);
    }
    // The pattern's lines move, turn and scale with the hatch.
    OdGeVector3d x(1, 0, 0);
    x.transformBy(m);
    double turn = std::atan2(x.y, x.x), s = m.scale();
    for (auto& l : lines_) {
        OdGePoint3d b(l.m_basePoint.x, l.m_basePoint.y, elevation_);
        b.transformBy(m);
        l.m_basePoint.set(b.x, b.y);
        OdGeVector3d o(l.m_patternOffset.x, l.m_patternOffset.y, 0);
        o.transformBy(m);
        l.m_patternOffset = OdGeVector2d(o.x, o.y);
        l.m_dLineAngle += turn;
        for (auto& d : l.m_dashes) d *= s;
    }
    OdGePoint3d o(origin_.x, origin_.y, elevation_);
    o.transformBy(m);
    origin_.set(o.x, o.y);
    elevation_ = o.z;
    patternScale_ *= m.scale();
    normal_ = normal;
    return eOk;
}

// A move changes positions alone: the loops, seed points, pattern lines'
// bases and the origin move by its part in the hatch's plane.
OdResult OdDbHatch::moveBy(const OdGeVector3d& world)
{
    OdGeVector3d d = world;
    if (!(normal_.x == 0 && normal_.y == 0 && normal_.z > 0)) {
        OdGeVector3d x, y;
        OdGePlaneAxes(normal_, x, y);
        d.set(world.dotProduct(x), world.dotProduct(y), world.dotProduct(normal_.normal()));
    }
    const OdGeMatrix3d m = OdGeMatrix3d::translation(d);
    auto move = [&](OdGePoint2d& p) { p.set(OdGeMoved(p.x, d.x), OdGeMoved(p.y, d.y)); };
    for (auto& l : loops_) {
        for (auto& v : l.vertices) move(v);
        for (auto* e : l.edges) e->transformBy(m);
    }
    for (auto& sp : seeds_) move(sp);
    for (auto& l : lines_) move(l.m_basePoint);
    move(origin_);
    elevation_ = OdGeMoved(elevation_, d.z);
    return eOk;
}

// ---- solid ----

OdDbSolid::OdDbSolid(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3)
    : p_{p0, p1, p2, p3}
{
}

OdDbSolid::OdDbSolid(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2) : p_{p0, p1, p2, p2} {}

OdResult OdDbSolid::getPointAt(int i, OdGePoint3d& p) const
{
    if (i < 0 || i > 3) return eInvalidIndex;
    p = p_[i];
    return eOk;
}

OdResult OdDbSolid::setPointAt(int i, const OdGePoint3d& p)
{
    if (i < 0 || i > 3) return eInvalidIndex;
    OD_SET(p_[i], p);
}

OdResult OdDbSolid::setThickness(double t) { OD_SET(thickness_, t); }

OdResult OdDbSolid::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdResult OdDbSolid::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto& p : p_) ext.addPoint(p);
    return eOk;
}

OdResult OdDbSolid::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : p_) p.transformBy(m);
    if (m.isTranslation()) return eOk;
    normal_.transformBy(m);
    normal_ = normal_.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal_.normal();
    return eOk;
}

// ---- region ----

OdDbRegion::OdDbRegion(const OdDbRegion& o) : OdDbEntity(o)
{
    for (auto* c : o.curves_) curves_.push_back(static_cast<OdDbCurve*>(c->clone()));
}

OdDbRegion::~OdDbRegion()
{
    for (auto* c : curves_) delete c;
}

OdResult OdDbRegion::createFromCurves(const OdDbVoidPtrArray& input, OdDbVoidPtrArray& regions)
{
    const double tol = 1e-6;
    std::vector<const OdDbCurve*> open;
    OdDbVoidPtrArray made;
    for (void* p : input) {
        auto* c = OdRxCast<OdDbCurve>(static_cast<OdRxObject*>(p));
        if (!c) continue;
        if (c->isClosed()) {
            auto* r = new OdDbRegion();
            r->curves_.push_back(static_cast<OdDbCurve*>(c->clone()));
            made.append(r);
        } else {
            open.push_back(c);
        }
    }
    std::vector<bool> used(open.size(), false);
    bool leftover = false;
    for (size_t i = 0; i < open.size(); ++i) {
        if (used[i]) continue;
        used[i] = true;
        std::vector<const OdDbCurve*> ring{open[i]};
        OdGePoint3d first, cur;
        open[i]->getStartPoint(first);
        open[i]->getEndPoint(cur);
        bool grown = true;
        while (cur.distanceTo(first) >= tol && grown) {
            grown = false;
            for (size_t j = 0; j < open.size() && !grown; ++j) {
                if (used[j]) continue;
                OdGePoint3d s, e;
                open[j]->getStartPoint(s);
                open[j]->getEndPoint(e);
                if (s.distanceTo(cur) < tol) cur = e, grown = true;
                else if (e.distanceTo(cur) < tol) cur = s, grown = true;
                if (grown) {
                    used[j] = true;
                    ring.push_back(open[j]);
                }
            }
        }
        if (cur.distanceTo(first) >= tol) {
            leftover = true;
            continue;
        }
        auto* r = new OdDbRegion();
        for (auto* c : ring) r->curves_.push_back(static_cast<OdDbCurve*>(c->clone()));
        made.append(r);
    }
    if (leftover || made.isEmpty()) {
        for (void* p : made) delete static_cast<OdDbRegion*>(p);
        return eInvalidInput;
    }
    regions.append(made);
    return eOk;
}

double OdDbRegion::area() const
{
    // Shoelace over the boundary sampled in ring order.
    OdGePoint3dArray pts;
    OdGePoint3d cur;
    bool started = false;
    for (auto* c : curves_) {
        double t0, t1;
        c->getStartParam(t0);
        c->getEndParam(t1);
        OdGePoint3d s, e;
        c->getStartPoint(s);
        c->getEndPoint(e);
        bool reversed = started && e.distanceTo(cur) < s.distanceTo(cur);
        for (int i = 0; i <= 128; ++i) {
            double u = reversed ? 1.0 - i / 128.0 : i / 128.0;
            OdGePoint3d p;
            c->getPointAtParam(t0 + (t1 - t0) * u, p);
            pts.append(p);
        }
        cur = reversed ? s : e;
        started = true;
    }
    double a = 0;
    for (int i = 0; i < pts.length(); ++i) {
        const auto& p = pts[i];
        const auto& q = pts[(i + 1) % pts.length()];
        a += p.x * q.y - q.x * p.y;
    }
    return std::fabs(a) / 2;
}

OdResult OdDbRegion::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (auto* c : curves_) {
        OdGeExtents3d e;
        if (c->getGeomExtents(e) == eOk) ext.addExt(e);
    }
    return ext.isValidExtents() ? eOk : eInvalidExtents;
}

OdResult OdDbRegion::explode(OdDbVoidPtrArray& set) const
{
    if (int s = standin::TakeHostFault("explode")) return (OdResult)s;
    for (auto* c : curves_) {
        OdDbEntity* e = c->clone();
        e->setPropertiesFrom(this);
        set.append(e);
    }
    return eOk;
}

OdResult OdDbRegion::subTransformBy(const OdGeMatrix3d& m)
{
    // Transform copies first so that a refusal leaves the region unchanged.
    std::vector<OdDbCurve*> moved;
    for (auto* c : curves_) {
        OdDbEntity* copy = nullptr;
        if (c->getTransformedCopy(m, copy) != eOk) {
            for (auto* d : moved) delete d;
            return eCannotScaleNonUniformly;
        }
        moved.push_back(static_cast<OdDbCurve*>(copy));
    }
    for (auto* c : curves_) delete c;
    curves_ = moved;
    return eOk;
}
