#include "oddbdimension.h"

ODRX_DEFINE_MEMBERS(OdDbDimension, OdDbEntity, L"AcDbDimension")
ODRX_DEFINE_MEMBERS(OdDbAlignedDimension, OdDbDimension, L"AcDbAlignedDimension")
ODRX_DEFINE_MEMBERS(OdDbRotatedDimension, OdDbDimension, L"AcDbRotatedDimension")
ODRX_DEFINE_MEMBERS(OdDbRadialDimension, OdDbDimension, L"AcDbRadialDimension")
ODRX_DEFINE_MEMBERS(OdDbDiametricDimension, OdDbDimension, L"AcDbDiametricDimension")
ODRX_DEFINE_MEMBERS(OdDb2LineAngularDimension, OdDbDimension, L"AcDb2LineAngularDimension")
ODRX_DEFINE_MEMBERS(OdDb3PointAngularDimension, OdDbDimension, L"AcDb3PointAngularDimension")
ODRX_DEFINE_MEMBERS(OdDbOrdinateDimension, OdDbDimension, L"AcDbOrdinateDimension")

namespace {

OdGePoint3d Mid(const OdGePoint3d& a, const OdGePoint3d& b)
{
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// The middle of the dimension line through dimLine parallel to x1 -> x2.
OdGePoint3d DimLineMiddle(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& dimLine)
{
    OdGeVector3d along = x2 - x1;
    OdGeVector3d off = dimLine - x1;
    double len2 = along.dotProduct(along);
    if (len2 > 0) off = off - along * (off.dotProduct(along) / len2);
    return Mid(x1, x2) + off;
}

}  // namespace

OdDbDimension::OdDbDimension(const OdGePoint3dArray& points, const wchar_t* text, OdDbObjectId style,
                             const OdGePoint3d& textPosition)
    : points_(points), text_(text ? text : L""), style_(style), textPos_(textPosition)
{
}

OdResult OdDbDimension::setTextPosition(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    textPos_ = p;
    return eOk;
}

OdResult OdDbDimension::setDimensionText(const wchar_t* text)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    text_ = text ? text : L"";
    return eOk;
}

OdResult OdDbDimension::setDimensionStyle(OdDbObjectId id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    style_ = id;
    return eOk;
}

OdResult OdDbDimension::setDimtmove(int v)
{
    if (v < 0 || v > 2) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    tmove_ = v;
    return eOk;
}

OdResult OdDbDimension::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto& p : points_) ext.addPoint(p);
    ext.addPoint(textPos_);
    return eOk;
}

OdResult OdDbDimension::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
    textPos_.transformBy(m);
    return eOk;
}

OdDbAlignedDimension::OdDbAlignedDimension(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& d,
                                           const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({x1, x2, d}, text, style, DimLineMiddle(x1, x2, d))
{
}

OdDbRotatedDimension::OdDbRotatedDimension(double rotation, const OdGePoint3d& x1, const OdGePoint3d& x2,
                                           const OdGePoint3d& d, const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({x1, x2, d}, text, style, DimLineMiddle(x1, x2, d)), rotation_(rotation)
{
}

OdDbRadialDimension::OdDbRadialDimension(const OdGePoint3d& center, const OdGePoint3d& chord, double leader,
                                         const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({center, chord}, text, style, chord), leader_(leader)
{
}

OdDbDiametricDimension::OdDbDiametricDimension(const OdGePoint3d& chord, const OdGePoint3d& farChord, double leader,
                                               const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({chord, farChord}, text, style, Mid(chord, farChord)), leader_(leader)
{
}

OdDb2LineAngularDimension::OdDb2LineAngularDimension(const OdGePoint3d& s1, const OdGePoint3d& e1,
                                                     const OdGePoint3d& s2, const OdGePoint3d& e2,
                                                     const OdGePoint3d& arc, const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({s1, e1, s2, e2, arc}, text, style, arc)
{
}

OdDb3PointAngularDimension::OdDb3PointAngularDimension(const OdGePoint3d& center, const OdGePoint3d& x1,
                                                       const OdGePoint3d& x2, const OdGePoint3d& arc,
                                                       const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({center, x1, x2, arc}, text, style, arc)
{
}

OdDbOrdinateDimension::OdDbOrdinateDimension(bool useXAxis, const OdGePoint3d& defining, const OdGePoint3d& leaderEnd,
                                             const wchar_t* text, OdDbObjectId style)
    : OdDbDimension({defining, leaderEnd}, text, style, leaderEnd), xAxis_(useXAxis)
{
}
