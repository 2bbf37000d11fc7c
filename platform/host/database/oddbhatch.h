// Host SDK stand-in: hatches (loops of polyline or edge form, patterns and
// gradients), solids and regions.
#pragma once

#include <vector>

#include "oddbcurves.h"

// One family of parallel lines of a hatch pattern: their angle, a point one
// of them passes through, the step from one line to the next, and the
// dashes along each (negative lengths are gaps, 0 a dot; none: solid).
struct OdHatchPatternLine {
    double m_dLineAngle = 0;
    OdGePoint2d m_basePoint;
    OdGeVector2d m_patternOffset;
    OdGeDoubleArray m_dashes;
};
typedef OdArray<OdHatchPatternLine> OdHatchPattern;

namespace standin {
// The lines of a pattern of the host's pattern file (acadiso.pat, drawing
// units of millimetres) at angle 0 and scale 1; false for a name it does
// not define.
bool PredefinedPattern(const wchar_t* name, OdHatchPattern& lines);
}

class OdDbHatch : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbHatch)
    enum HatchPatternType { kUserDefined = 0, kPreDefined = 1, kCustomDefined = 2 };
    enum HatchLoopType { kDefault = 0, kExternal = 1, kPolyline = 2, kDerived = 4, kTextbox = 8, kOutermost = 16 };
    enum HatchEdgeType { kLine = 1, kCirArc = 2, kEllArc = 3, kSpline = 4 };
    enum HatchObjectType { kHatchObject = 0, kGradientObject = 1 };
    enum GradientPatternType { kPreDefinedGradient = 0, kUserDefinedGradient = 1 };
    // Which islands are filled: every other one, only the outermost area,
    // or the outer loops alone.
    enum HatchStyle { kNormal = 0, kOuter = 1, kIgnore = 2 };

    OdDbHatch() = default;
    OdDbHatch(const OdDbHatch& o);
    ~OdDbHatch() override;

    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    double elevation() const { return elevation_; }
    OdResult setElevation(double e);
    bool associative() const { return associative_; }
    OdResult setAssociative(bool v);
    OdGePoint2d originPoint() const { return origin_; }
    OdResult setOriginPoint(const OdGePoint2d& p);

    HatchObjectType hatchObjectType() const { return objectType_; }
    OdResult setHatchObjectType(HatchObjectType t);
    HatchPatternType patternType() const { return patternType_; }
    OdString patternName() const { return patternName_; }
    // A predefined name must be one of the host's patterns (eInvalidInput
    // otherwise); its lines come from the host's pattern file, turned by
    // the pattern angle and scaled. A user-defined pattern is one family
    // of lines (two crossing ones when doubled) the scale apart.
    OdResult setPattern(HatchPatternType type, const wchar_t* name);
    // The pattern with lines of its own, as they are drawn (already at the
    // angle and scale given).
    OdResult setPattern(HatchPatternType type, const wchar_t* name, double angle, double scale,
                        const OdHatchPattern& lines);
    double patternAngle() const { return patternAngle_; }
    // Turns the pattern's lines with it.
    OdResult setPatternAngle(double a);
    double patternScale() const { return patternScale_; }
    // Scales the pattern's lines with it.
    OdResult setPatternScale(double s);
    bool patternDouble() const { return double_; }
    OdResult setPatternDouble(bool v);
    // The pattern's line families as drawn; none for a solid fill.
    int numPatternDefinitions() const { return lines_.length(); }
    OdResult getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY, double& offsetX,
                                    double& offsetY, OdGeDoubleArray& dashes) const;
    HatchStyle hatchStyle() const { return style_; }
    OdResult setHatchStyle(HatchStyle s);
    // The size below which a pattern is drawn solid.
    double pixelSize() const { return pixelSize_; }
    OdResult setPixelSize(double s);
    // Points the boundary was picked from.
    int numSeedPoints() const { return seeds_.length(); }
    OdGePoint2d getSeedPointAt(int i) const { return seeds_[i]; }
    OdResult appendSeedPoint(const OdGePoint2d& p);
    OdResult removeSeedPointAt(int i);
    bool isSolidFill() const { return patternName_.iCompare(L"SOLID") == 0; }
    // Kept in the hatch's extended data ("HATCHBACKGROUNDCOLOR"), as the
    // host keeps it.
    OdCmColor backgroundColor() const;
    OdResult setBackgroundColor(const OdCmColor& c);

    // Gradients: the name is one of the host's gradient names.
    OdResult setGradient(GradientPatternType type, const wchar_t* name);
    OdString gradientName() const { return gradientName_; }
    GradientPatternType gradientType() const { return gradientType_; }
    double gradientAngle() const { return gradientAngle_; }
    OdResult setGradientAngle(double a);
    bool getGradientOneColorMode() const { return oneColor_; }
    OdResult setGradientOneColorMode(bool v);
    OdResult setGradientColors(unsigned int count, const OdCmColor* colors, const double* values);
    OdResult getGradientColors(unsigned int& count, OdArray<OdCmColor>& colors, OdGeDoubleArray& values) const;
    // A one-colour gradient runs from its colour to the colour darkened
    // (0) or lightened (1) by this tint.
    double shadeTintValue() const { return tint_; }
    OdResult setShadeTintValue(double v);
    // Where the gradient's middle lies, from 0 (centred) to 1.
    double gradientShift() const { return shift_; }
    OdResult setGradientShift(double v);

    int numLoops() const { return (int)loops_.size(); }
    int loopTypeAt(int i) const;
    // A loop of boundary objects: one closed curve, or curves that join end
    // to end into a closed ring; eInvalidInput for anything else. Edges are
    // kept in ring order, each running on from the end of the one before.
    OdResult appendLoop(int loopType, const OdDbObjectIdArray& ids);
    // A loop of polyline form (a closed ring of vertices with bulges).
    OdResult appendLoop(int loopType, const OdGePoint2dArray& vertices, const OdGeDoubleArray& bulges);
    // A loop of edges (OdGeCurve2d pointers with their edge types); the
    // hatch keeps copies, in ring order like the loops of objects.
    OdResult appendLoop(int loopType, const OdGeVoidPointerArray& edges, const OdGeIntArray& edgeTypes);
    OdResult getLoopAt(int i, int& loopType, OdGePoint2dArray& vertices, OdGeDoubleArray& bulges) const;
    // The edges stay the hatch's and live as long as it is unchanged.
    OdResult getLoopAt(int i, int& loopType, OdGeVoidPointerArray& edges, OdGeIntArray& edgeTypes) const;
    OdResult removeLoopAt(int i);
    // eInvalidInput when the hatch has no loop.
    OdResult evaluateHatch(bool underEstimateNumLines = false);
    bool isEvaluated() const { return evaluated_; }
    // The boundary objects of associative loops.
    OdResult getAssocObjIds(OdDbObjectIdArray& ids) const;
    // Stand-in: the boundary of a copy made with its boundary objects:
    // each is replaced by its copy, found by `copyOf`. When one of them has
    // no copy the hatch is associative no more (its loops keep their
    // shapes). Needs a write open.
    OdResult takeCopiedBoundary(const std::function<OdDbObjectId(OdDbObjectId)>& copyOf);

    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

    // Stand-in: the fit data a drawing file gave a spline edge.
    struct SplineFit {
        OdGePoint2dArray points;
        bool hasStart = false, hasEnd = false;
        OdGeVector2d start, end;
    };

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdResult moveBy(const OdGeVector3d& world);
    struct Loop {
        int type = 0;
        OdGePoint2dArray vertices;
        OdGeDoubleArray bulges;
        bool closed = true;  // a polyline loop's flag as a file gave it
        std::vector<OdGeCurve2d*> edges;
        OdGeIntArray edgeTypes;
        std::vector<SplineFit> fits;  // empty or one per edge
        OdDbObjectIdArray ids;
    };
    static void freeLoop(Loop& l);
    static Loop copyLoop(const Loop& l);
    OdResult addLoop(Loop loop);
    // The pattern's lines for its type and name at its angle and scale.
    void makePatternLines();
    void transformLines(double turn, double scale);

    OdGeVector3d normal_{0, 0, 1};
    double elevation_ = 0;
    bool associative_ = false;
    bool evaluated_ = false;
    OdGePoint2d origin_;
    HatchObjectType objectType_ = kHatchObject;
    HatchPatternType patternType_ = kPreDefined;
    OdString patternName_ = L"SOLID";
    double patternAngle_ = 0, patternScale_ = 1, pixelSize_ = 0, tint_ = 0, shift_ = 0;
    bool double_ = false;
    HatchStyle style_ = kNormal;
    OdHatchPattern lines_;
    OdGePoint2dArray seeds_;
    GradientPatternType gradientType_ = kPreDefinedGradient;
    OdString gradientName_;
    double gradientAngle_ = 0;
    bool oneColor_ = false;
    OdArray<OdCmColor> gradientColors_;
    OdGeDoubleArray gradientValues_;
    std::vector<Loop> loops_;
};

// A filled triangle or quadrilateral of four points (the third and fourth
// equal for a triangle).
class OdDbSolid : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbSolid)
    OdDbSolid() = default;
    OdDbSolid(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2, const OdGePoint3d& p3);
    OdDbSolid(const OdGePoint3d& p0, const OdGePoint3d& p1, const OdGePoint3d& p2);
    // World points.
    OdResult getPointAt(int i, OdGePoint3d& p) const;
    OdResult setPointAt(int i, const OdGePoint3d& p);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3d p_[4];
    OdGeVector3d normal_{0, 0, 1};
    double thickness_ = 0;
};

// A region bounded by closed rings of curves; it explodes into copies of
// its boundary curves.
class OdDbRegion : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbRegion)
    OdDbRegion() = default;
    OdDbRegion(const OdDbRegion& o);
    ~OdDbRegion() override;
    // One region for each closed curve and each ring of curves joined end
    // to end (OdDbCurve pointers in, new OdDbRegion pointers out, owned by
    // the caller). eInvalidInput when no ring is found or a curve is left
    // over.
    static OdResult createFromCurves(const OdDbVoidPtrArray& curves, OdDbVoidPtrArray& regions);
    int numCurves() const { return (int)curves_.size(); }
    double area() const;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    OdResult explode(OdDbVoidPtrArray& entitySet) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    std::vector<OdDbCurve*> curves_;
};
