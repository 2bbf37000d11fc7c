// Dimensions. Each operation posts to model space of the working database
// and returns the new id, null on failure. A null text gives the host's
// measurement, a null style the host's default style.
#pragma once

#include "common/document/entityprops.h"
#include "oddbdimension.h"

class CDimensionUtil {
public:
    CDimensionUtil() = default;
    virtual ~CDimensionUtil() = default;

    static OdDbObjectId AddDimAligned(const OdGePoint3d& xLine1, const OdGePoint3d& xLine2,
                                      const OdGePoint3d& dimLinePoint, EntityProps props, const wchar_t* text = nullptr,
                                      OdDbObjectId style = OdDbObjectId::kNull);
    // An aligned dimension whose text is moved by the offset.
    static OdDbObjectId AddDimAlignedMoveText(const OdGePoint3d& xLine1, const OdGePoint3d& xLine2,
                                              const OdGePoint3d& dimLinePoint, EntityProps props,
                                              const OdGeVector3d& textOffset, const wchar_t* text = nullptr);
    static OdDbObjectId AddDimRotated(const OdGePoint3d& xLine1, const OdGePoint3d& xLine2,
                                      const OdGePoint3d& dimLinePoint, EntityProps props, double rotation,
                                      const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    static OdDbObjectId AddDimRadial(const OdGePoint3d& center, const OdGePoint3d& chordPoint, double leaderLength,
                                     EntityProps props, const wchar_t* text = nullptr,
                                     OdDbObjectId style = OdDbObjectId::kNull);
    // The chord point lies at the radius from the centre in the angle's
    // direction.
    static OdDbObjectId AddDimRadialByAngle(const OdGePoint3d& center, double radius, double angle,
                                            EntityProps props, double leaderLength);
    static OdDbObjectId AddDimDiametric(const OdGePoint3d& chordPoint, const OdGePoint3d& farChordPoint,
                                        double leaderLength, EntityProps props, const wchar_t* text = nullptr,
                                        OdDbObjectId style = OdDbObjectId::kNull);
    // Between the points at the radius in the angle's direction and the
    // opposite one.
    static OdDbObjectId AddDimDiametricByAngle(const OdGePoint3d& center, double radius, double angle,
                                               EntityProps props, double leaderLength);
    static OdDbObjectId AddDim2LineAngular(const OdGePoint3d& line1Start, const OdGePoint3d& line1End,
                                           const OdGePoint3d& line2Start, const OdGePoint3d& line2End,
                                           const OdGePoint3d& arcPoint, EntityProps props,
                                           const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    static OdDbObjectId AddDim3PtAngular(const OdGePoint3d& center, const OdGePoint3d& xLine1,
                                         const OdGePoint3d& xLine2, EntityProps props, const OdGePoint3d& arcPoint,
                                         const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    // xAxis true gives an x-datum ordinate dimension.
    static OdDbObjectId AddDimOrdinate(bool xAxis, const OdGePoint3d& definingPoint, const OdGePoint3d& leaderEnd,
                                       EntityProps props, const wchar_t* text = nullptr,
                                       OdDbObjectId style = OdDbObjectId::kNull);
    // The x-datum dimension, then the y-datum one.
    static OdDbObjectIdArray AddDimOrdinateXY(const OdGePoint3d& definingPoint, const OdGePoint3d& leaderEndX,
                                              const OdGePoint3d& leaderEndY, EntityProps props);
    static OdDbObjectIdArray AddDimOrdinateXYByOffset(const OdGePoint3d& definingPoint, const OdGeVector3d& offsetX,
                                                      const OdGeVector3d& offsetY, EntityProps props);
};
