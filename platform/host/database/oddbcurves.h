// Host SDK stand-in: points and curve entities (line, circle, arc, ellipse,
// lightweight, 2-D and 3-D polylines, spline).
#pragma once

#include <array>
#include <vector>

#include "oddbentity.h"

class OdDbPoint : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbPoint)
    OdDbPoint() = default;
    explicit OdDbPoint(const OdGePoint3d& p) : pos_(p) {}
    OdGePoint3d position() const { return pos_; }
    OdResult setPosition(const OdGePoint3d& p);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    // The angle of the point's own x axis in its plane.
    double ecsRotation() const { return rotation_; }
    OdResult setEcsRotation(double a);
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3d pos_;
    OdGeVector3d normal_{0, 0, 1};
    double thickness_ = 0, rotation_ = 0;
};

class OdDbLine : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbLine)
    OdDbLine() = default;
    OdDbLine(const OdGePoint3d& s, const OdGePoint3d& e) : s_(s), e_(e) {}
    OdGePoint3d startPoint() const { return s_; }
    OdGePoint3d endPoint() const { return e_; }
    OdResult setStartPoint(const OdGePoint3d& p);
    OdResult setEndPoint(const OdGePoint3d& p);
    // Thickness is drawn along the normal.
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    OdResult getStartParam(double& p) const override { p = 0; return eOk; }
    OdResult getEndParam(double& p) const override { p = s_.distanceTo(e_); return eOk; }
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getDistAtParam(double t, double& d) const override;
    OdResult getParamAtDist(double d, double& t) const override;
    OdResult getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool extend = false) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3d s_, e_;
    OdGeVector3d normal_{0, 0, 1};
    double thickness_ = 0;
};

// Circle and arc share a centre, a radius and a normal; the parameter is
// the angle.
class OdDbCircle : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbCircle)
    OdDbCircle() = default;
    OdDbCircle(const OdGePoint3d& c, const OdGeVector3d& normal, double r) : c_(c), n_(normal.normal()), r_(r) {}
    OdGePoint3d center() const { return c_; }
    OdResult setCenter(const OdGePoint3d& c);
    double radius() const { return r_; }
    OdResult setRadius(double r);
    OdGeVector3d normal() const { return n_; }
    OdResult setNormal(const OdGeVector3d& n);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    bool isClosed() const override { return true; }
    OdResult getStartParam(double& p) const override { p = 0; return eOk; }
    OdResult getEndParam(double& p) const override { p = 2 * M_PI; return eOk; }
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getDistAtParam(double t, double& d) const override { d = t * r_; return eOk; }
    OdResult getParamAtDist(double d, double& t) const override;
    OdResult getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool extend = false) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3d c_;
    OdGeVector3d n_{0, 0, 1};
    double r_ = 0, thickness_ = 0;
};

class OdDbArc : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbArc)
    OdDbArc() = default;
    // Angles are kept in [0, 2pi); the arc runs counter-clockwise about its
    // normal from the start angle to the end angle.
    OdDbArc(const OdGePoint3d& c, double r, double startAngle, double endAngle);
    OdDbArc(const OdGePoint3d& c, const OdGeVector3d& normal, double r, double startAngle, double endAngle);
    OdGePoint3d center() const { return c_; }
    OdResult setCenter(const OdGePoint3d& c);
    double radius() const { return r_; }
    OdResult setRadius(double r);
    OdGeVector3d normal() const { return n_; }
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    double startAngle() const { return a0_; }
    double endAngle() const { return a1_; }
    OdResult setStartAngle(double a);
    OdResult setEndAngle(double a);
    OdResult getStartParam(double& p) const override { p = a0_; return eOk; }
    OdResult getEndParam(double& p) const override { p = a1_ > a0_ ? a1_ : a1_ + 2 * M_PI; return eOk; }
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getDistAtParam(double t, double& d) const override;
    OdResult getParamAtDist(double d, double& t) const override;
    OdResult getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool extend = false) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdGePoint3d c_;
    OdGeVector3d n_{0, 0, 1};
    double r_ = 0, a0_ = 0, a1_ = 0, thickness_ = 0;
    // The angles a drawing file gave, in degrees (outside 0 to 360 too),
    // with the angles they were read as: while the arc has those, the
    // file's go back.
    struct FileAngles {
        bool set = false;
        double degrees0 = 0, degrees1 = 0, a0 = 0, a1 = 0;
    } fileAngles_;
};

// Ellipse: centre, normal, major axis (direction and half length) and the
// ratio minor/major in (0, 1]; the parameter is the ellipse's angle
// parameter, the start and end angles are measured from the major axis.
class OdDbEllipse : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbEllipse)
    OdDbEllipse() = default;
    // Values the ellipse refuses leave it as a unit circle.
    OdDbEllipse(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                double radiusRatio, double startAngle = 0.0, double endAngle = 2 * M_PI);
    // eInvalidInput for a ratio outside (0, 1], a zero axis or an axis not
    // perpendicular to the normal.
    OdResult set(const OdGePoint3d& center, const OdGeVector3d& normal, const OdGeVector3d& majorAxis,
                 double radiusRatio, double startAngle = 0.0, double endAngle = 2 * M_PI);
    OdGePoint3d center() const { return c_; }
    OdGeVector3d normal() const { return n_; }
    OdGeVector3d majorAxis() const { return maj_; }
    OdGeVector3d minorAxis() const { return n_.crossProduct(maj_) * ratio_; }
    double radiusRatio() const { return ratio_; }
    double startAngle() const { return a0_; }
    double endAngle() const { return a1_; }
    bool isClosed() const override;
    double paramAtAngle(double angle) const;
    OdResult getStartParam(double& p) const override;
    OdResult getEndParam(double& p) const override;
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdGePoint3d c_;
    OdGeVector3d n_{0, 0, 1}, maj_{1, 0, 0};
    double ratio_ = 1, a0_ = 0, a1_ = 2 * M_PI;
    // The parameters a drawing file gave, with the ratio and angles they
    // were read as: while the ellipse has those, they are its parameters
    // (converting the angles back would round them anew).
    struct FileParams {
        bool given = false;
        double ratio = 0, a0 = 0, a1 = 0, t0 = 0, t1 = 0;
        // The normal as the file gave it (not of unit length) and as read.
        OdGeVector3d normal, unit;
    } fileParams_;
    bool hasFileParams() const
    {
        return fileParams_.given && fileParams_.ratio == ratio_ && fileParams_.a0 == a0_ && fileParams_.a1 == a1_;
    }
};

namespace OdDb {
enum SegType { kLine = 0, kArc = 1, kCoincident = 2, kPoint = 3, kEmpty = 4 };
enum Poly2dType { k2dSimplePoly = 0, k2dFitCurvePoly = 1, k2dQuadSplinePoly = 2, k2dCubicSplinePoly = 3 };
enum Poly3dType { k3dSimplePoly = 0, k3dQuadSplinePoly = 1, k3dCubicSplinePoly = 2 };
// Vertex kinds, numbered as the host numbers them. Those of type 1 are the
// frame of a spline-fitted polyline: they shape the curve and do not lie on
// it. Spline-fit and curve-fit vertices lie on the curve.
enum Vertex2dType { k2dVertex = 0, k2dSplineCtlVertex = 1, k2dSplineFitVertex = 2, k2dCurveFitVertex = 3 };
enum Vertex3dType { k3dSimpleVertex = 0, k3dControlVertex = 1, k3dFitVertex = 2 };
}  // namespace OdDb

// Lightweight polyline: plane vertices with bulges and widths at an
// elevation, in the plane of its normal (object coordinates: the plane's
// axes by the arbitrary-axis rule); the parameter i runs over segment i.
// Points of three coordinates are world points.
class OdDbPolyline : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbPolyline)
    explicit OdDbPolyline(unsigned int reserved = 0) { verts_.reserve(reserved); }
    unsigned int numVerts() const { return (unsigned int)verts_.size(); }
    // Negative widths keep the polyline's constant width (0).
    OdResult addVertexAt(unsigned int index, const OdGePoint2d& p, double bulge = 0., double startWidth = -1.,
                         double endWidth = -1.);
    OdResult removeVertexAt(unsigned int index);
    OdResult getPointAt(unsigned int index, OdGePoint2d& p) const;
    OdResult getPointAt(unsigned int index, OdGePoint3d& p) const;
    OdResult setPointAt(unsigned int index, const OdGePoint2d& p);
    OdResult getBulgeAt(unsigned int index, double& bulge) const;
    double getBulgeAt(unsigned int index) const;
    OdResult setBulgeAt(unsigned int index, double bulge);
    OdResult getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
    OdResult setWidthsAt(unsigned int index, double startWidth, double endWidth);
    OdDb::SegType segType(unsigned int index) const;
    OdResult getLineSegAt(unsigned int index, OdGeLineSeg2d& seg) const;
    OdResult getArcSegAt(unsigned int index, OdGeCircArc2d& arc) const;
    bool isClosed() const override { return closed_; }
    void setClosed(bool c);
    double elevation() const { return elev_; }
    void setElevation(double e);
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    // The linetype runs on over the vertices rather than starting again at
    // each.
    bool isPlinegen() const { return plinegen_; }
    void setPlinegen(bool v);
    bool hasBulges() const;
    bool hasWidth() const;
    // Every segment's start and end width; eInvalidInput for a negative width.
    OdResult setConstantWidth(double width);
    // eInvalidInput unless all widths are the same.
    OdResult getConstantWidth(double& width) const;

    OdResult getStartParam(double& p) const override { p = 0; return eOk; }
    OdResult getEndParam(double& p) const override { p = numSegs(); return eOk; }
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getDistAtParam(double t, double& d) const override;
    OdResult getParamAtDist(double d, double& t) const override;
    OdResult getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool extend = false) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    OdResult explode(OdDbVoidPtrArray& entitySet) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    struct Vertex {
        OdGePoint2d p;
        double bulge, sw, ew;
    };
    int numSegs() const;
    double segLength(int i) const;
    OdGePoint2d segPoint(int i, double u) const;
    // A point of the plane in world coordinates.
    OdGePoint3d toWorld(const OdGePoint2d& p) const;
    bool inWorldPlane() const { return normal_.x == 0 && normal_.y == 0 && normal_.z > 0; }
    friend struct standin::DxfAccess;
    std::vector<Vertex> verts_;
    bool closed_ = false;
    double elev_ = 0, thickness_ = 0;
    OdGeVector3d normal_{0, 0, 1};
    bool plinegen_ = false;
};

// 2-D polyline: vertices with bulges and widths in a plane at an elevation.
class OdDb2dPolyline : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDb2dPolyline)
    OdDb2dPolyline() = default;
    OdDb2dPolyline(OdDb::Poly2dType type, const OdGePoint3dArray& vertices, double elevation = 0.0,
                   bool closed = false, double defStartWidth = 0.0, double defEndWidth = 0.0,
                   const OdGeDoubleArray* bulges = nullptr);
    OdDb::Poly2dType polyType() const { return type_; }
    int numVerts() const { return points_.length(); }
    // The vertex position (z is the elevation), its bulge and widths.
    OdResult getVertexAt(int i, OdGePoint3d& p, double& bulge, double& startWidth, double& endWidth) const;
    OdResult appendVertex(const OdGePoint3d& p, double bulge = 0.0, double startWidth = 0.0, double endWidth = 0.0,
                          OdDb::Vertex2dType type = OdDb::k2dVertex);
    OdDb::Vertex2dType vertexTypeAt(int i) const;
    double elevation() const { return elev_; }
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    // The widths new vertices take.
    double defaultStartWidth() const { return defStart_; }
    double defaultEndWidth() const { return defEnd_; }
    OdResult setDefaultStartWidth(double w);
    OdResult setDefaultEndWidth(double w);
    bool isLinetypeGenerationOn() const { return plinegen_; }
    void setLinetypeGenerationOn(bool v);
    bool isClosed() const override { return closed_; }
    void makeClosed();
    void makeOpen();
    OdResult getStartParam(double& p) const override { p = 0; return eOk; }
    OdResult getEndParam(double& p) const override;
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdDbPolyline asLight() const;
    OdDb::Poly2dType type_ = OdDb::k2dSimplePoly;
    OdGePoint2dArray points_;
    OdGeDoubleArray bulges_, startWidths_, endWidths_;
    std::vector<uint8_t> types_;  // missing entries: ordinary vertices
    double elev_ = 0, thickness_ = 0, defStart_ = 0, defEnd_ = 0;
    OdGeVector3d normal_{0, 0, 1};
    bool closed_ = false, plinegen_ = false;
};

class OdDb3dPolyline : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDb3dPolyline)
    OdDb3dPolyline() = default;
    OdDb3dPolyline(OdDb::Poly3dType type, const OdGePoint3dArray& vertices, bool closed = false)
        : type_(type), points_(vertices), closed_(closed)
    {
    }
    OdDb::Poly3dType polyType() const { return type_; }
    int numVerts() const { return points_.length(); }
    OdResult getVertexAt(int i, OdGePoint3d& p) const;
    OdResult appendVertex(const OdGePoint3d& p, OdDb::Vertex3dType type = OdDb::k3dSimpleVertex);
    OdDb::Vertex3dType vertexTypeAt(int i) const;
    bool isClosed() const override { return closed_; }
    void makeClosed();
    void makeOpen();
    OdResult getStartParam(double& p) const override { p = 0; return eOk; }
    OdResult getEndParam(double& p) const override;
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdDb::Poly3dType type_ = OdDb::k3dSimplePoly;
    OdGePoint3dArray points_;
    std::vector<uint8_t> types_;  // missing entries: simple vertices
    bool closed_ = false;
};

// B-spline by control points, knots and weights, or through fit points.
// A knot vector that does not fit the degree and the control points makes
// the spline null.
class OdDbSpline : public OdDbCurve {
public:
    OD_ENTITY_MEMBERS(OdDbSpline)
    OdDbSpline() = default;
    OdDbSpline(int degree, bool rational, bool closed, bool periodic, const OdGePoint3dArray& controlPoints,
               const OdGeDoubleArray& knots, const OdGeDoubleArray& weights, double controlPtTol = 0.0,
               double knotTol = 0.0);
    // Through the fit points, with clamped uniform knots of the order.
    OdDbSpline(const OdGePoint3dArray& fitPoints, const OdGeVector3d& startTangent, const OdGeVector3d& endTangent,
               int order = 4, double fitTolerance = 0.0);
    bool isNull() const;
    int degree() const { return degree_; }
    bool isRational() const { return !weights_.isEmpty(); }
    int numControlPoints() const { return ctrl_.length(); }
    OdResult getControlPointAt(int i, OdGePoint3d& p) const;
    int numKnots() const { return knots_.length(); }
    const OdGeDoubleArray& knots() const { return knots_; }
    bool hasFitData() const { return !fit_.isEmpty(); }
    int numFitPoints() const { return fit_.length(); }
    OdResult getFitPointAt(int i, OdGePoint3d& p) const;
    bool isClosed() const override;
    OdResult getStartParam(double& p) const override;
    OdResult getEndParam(double& p) const override;
    OdResult getPointAtParam(double t, OdGePoint3d& p) const override;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    int degree_ = 0;
    OdGePoint3dArray ctrl_;
    OdGeDoubleArray knots_, weights_;
    OdGePoint3dArray fit_;
    // As a drawing file gave them: its flags (-1 for a spline no file
    // gave), whether it was given by fit points alone, and then its degree
    // (the stand-in draws such a spline through its fit points with a
    // degree they allow).
    int fileFlags_ = -1;
    bool fitOnly_ = false;
    int fitDegree_ = 0;
};

namespace OdDb {
enum PolyMeshType { kSimpleMesh = 0, kQuadSurfaceMesh = 5, kCubicSurfaceMesh = 6, kBezierSurfaceMesh = 8 };
}

// Polygon mesh: an M by N grid of vertices, row by row, each direction open
// or closed.
class OdDbPolygonMesh : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbPolygonMesh)
    OdDbPolygonMesh() = default;
    // The vertices are taken row after row (mSize rows of nSize).
    OdDbPolygonMesh(OdDb::PolyMeshType type, int mSize, int nSize, const OdGePoint3dArray& vertices,
                    bool mClosed = false, bool nClosed = false);
    OdDb::PolyMeshType polyMeshType() const { return type_; }
    OdResult setPolyMeshType(OdDb::PolyMeshType t);
    int mSize() const { return m_; }
    int nSize() const { return n_; }
    // eInvalidInput for sizes below 2.
    OdResult setMSize(int m);
    OdResult setNSize(int n);
    bool isMClosed() const { return mClosed_; }
    bool isNClosed() const { return nClosed_; }
    void makeMClosed() { if (assertWriteEnabled()) mClosed_ = true; }
    void makeMOpen() { if (assertWriteEnabled()) mClosed_ = false; }
    void makeNClosed() { if (assertWriteEnabled()) nClosed_ = true; }
    void makeNOpen() { if (assertWriteEnabled()) nClosed_ = false; }
    int mSurfaceDensity() const { return mDensity_; }
    int nSurfaceDensity() const { return nDensity_; }
    OdResult setMSurfaceDensity(int d);
    OdResult setNSurfaceDensity(int d);
    int numVertices() const { return points_.length(); }
    OdGePoint3d vertexAt(int i) const { return points_[i]; }
    OdResult appendVertex(const OdGePoint3d& p);
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdDb::PolyMeshType type_ = OdDb::kSimpleMesh;
    int m_ = 0, n_ = 0, mDensity_ = 0, nDensity_ = 0;
    bool mClosed_ = false, nClosed_ = false;
    OdGePoint3dArray points_;
};

// Polyface mesh: vertices and faces of up to four of them. A face names
// its vertices by number from 1; a negative number hides the edge that
// starts there, 0 ends a face of fewer.
class OdDbPolyFaceMesh : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbPolyFaceMesh)
    int numVertices() const { return points_.length(); }
    int numFaces() const { return (int)faces_.size(); }
    OdGePoint3d vertexAt(int i) const { return points_[i]; }
    OdResult appendVertex(const OdGePoint3d& p);
    // eInvalidInput for a vertex number beyond the vertices there are.
    OdResult appendFaceRecord(int16_t v1, int16_t v2, int16_t v3, int16_t v4 = 0);
    OdResult getFaceAt(int i, int16_t vertices[4]) const;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3dArray points_;
    std::vector<std::array<int16_t, 4>> faces_;
};
