#include "common/entity/dimensionutil.h"

#include "common/document/dwgdatabaseutil.h"
#include "common/geometry/gepointutil.h"
#include "common/geometry/mathutil.h"

OdDbObjectId CDimensionUtil::AddDimAligned(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& dimLine,
                                           EntityProps props, const wchar_t* text, OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbAlignedDimension(x1, x2, dimLine, text, style), props);
}

OdDbObjectId CDimensionUtil::AddDimAlignedMoveText(const OdGePoint3d& x1, const OdGePoint3d& x2,
                                                   const OdGePoint3d& dimLine, EntityProps props,
                                                   const OdGeVector3d& textOffset, const wchar_t* text)
{
    OdDbObjectId id = AddDimAligned(x1, x2, dimLine, props, text);
    OdDbAlignedDimension* dim = nullptr;
    if (oddbOpenObject(dim, id, OdDb::kForWrite) == eOk) {
        // Text movement 1: the text moves alone, with a leader.
        dim->setDimtmove(1);
        dim->setTextPosition(dim->textPosition() + textOffset);
        dim->close();
    }
    return id;
}

OdDbObjectId CDimensionUtil::AddDimRotated(const OdGePoint3d& x1, const OdGePoint3d& x2, const OdGePoint3d& dimLine,
                                           EntityProps props, double rotation, const wchar_t* text,
                                           OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbRotatedDimension(rotation, x1, x2, dimLine, text, style),
                                              props);
}

OdDbObjectId CDimensionUtil::AddDimRadial(const OdGePoint3d& center, const OdGePoint3d& chord, double leaderLength,
                                          EntityProps props, const wchar_t* text, OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbRadialDimension(center, chord, leaderLength, text, style),
                                              props);
}

OdDbObjectId CDimensionUtil::AddDimRadialByAngle(const OdGePoint3d& center, double radius, double angle,
                                                 EntityProps props, double leaderLength)
{
    return AddDimRadial(center, CGePointUtil::GetPolarPoint(center, angle, radius), leaderLength, props);
}

OdDbObjectId CDimensionUtil::AddDimDiametric(const OdGePoint3d& chord, const OdGePoint3d& farChord,
                                             double leaderLength, EntityProps props, const wchar_t* text,
                                             OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbDiametricDimension(chord, farChord, leaderLength, text, style),
                                              props);
}

OdDbObjectId CDimensionUtil::AddDimDiametricByAngle(const OdGePoint3d& center, double radius, double angle,
                                                    EntityProps props, double leaderLength)
{
    return AddDimDiametric(CGePointUtil::GetPolarPoint(center, angle, radius),
                           CGePointUtil::GetPolarPoint(center, angle + CMathUtil::PI(), radius), leaderLength, props);
}

OdDbObjectId CDimensionUtil::AddDim2LineAngular(const OdGePoint3d& s1, const OdGePoint3d& e1, const OdGePoint3d& s2,
                                                const OdGePoint3d& e2, const OdGePoint3d& arcPoint, EntityProps props,
                                                const wchar_t* text, OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDb2LineAngularDimension(s1, e1, s2, e2, arcPoint, text, style),
                                              props);
}

OdDbObjectId CDimensionUtil::AddDim3PtAngular(const OdGePoint3d& center, const OdGePoint3d& x1, const OdGePoint3d& x2,
                                              EntityProps props, const OdGePoint3d& arcPoint, const wchar_t* text,
                                              OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDb3PointAngularDimension(center, x1, x2, arcPoint, text, style),
                                              props);
}

OdDbObjectId CDimensionUtil::AddDimOrdinate(bool xAxis, const OdGePoint3d& definingPoint,
                                            const OdGePoint3d& leaderEnd, EntityProps props, const wchar_t* text,
                                            OdDbObjectId style)
{
    return CDwgDatabaseUtil::PostToModelSpace(
        new OdDbOrdinateDimension(xAxis, definingPoint, leaderEnd, text, style), props);
}

OdDbObjectIdArray CDimensionUtil::AddDimOrdinateXY(const OdGePoint3d& definingPoint, const OdGePoint3d& leaderEndX,
                                                   const OdGePoint3d& leaderEndY, EntityProps props)
{
    OdDbObjectIdArray ids;
    ids.append(AddDimOrdinate(true, definingPoint, leaderEndX, props));
    ids.append(AddDimOrdinate(false, definingPoint, leaderEndY, props));
    return ids;
}

OdDbObjectIdArray CDimensionUtil::AddDimOrdinateXYByOffset(const OdGePoint3d& definingPoint,
                                                           const OdGeVector3d& offsetX, const OdGeVector3d& offsetY,
                                                           EntityProps props)
{
    return AddDimOrdinateXY(definingPoint, definingPoint + offsetX, definingPoint + offsetY, props);
}
