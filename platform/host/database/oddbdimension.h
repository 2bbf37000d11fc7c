// Host SDK stand-in: dimensions. Each keeps its defining points, the text
// override (empty for the host's measurement), the dimension style and the
// text position; no graphics are made.
#pragma once

#include "oddbentity.h"

class OdDbDimension : public OdDbEntity {
public:
    ODRX_DECLARE_MEMBERS(OdDbDimension)
    OdGePoint3d textPosition() const { return textPos_; }
    OdResult setTextPosition(const OdGePoint3d& p);
    OdString dimensionText() const { return text_; }
    OdResult setDimensionText(const wchar_t* text);
    OdDbObjectId dimensionStyle() const { return style_; }
    OdResult setDimensionStyle(OdDbObjectId id);
    // DIMTMOVE: 0 the dimension line follows the text, 1 a leader is added,
    // 2 the text moves freely. Kept as an override of the style in the
    // dimension's extended data ("ACAD"), as the host keeps it.
    int dimtmove() const;
    virtual OdResult setDimtmove(int v);
    // The anonymous block holding the dimension's graphics; null when it
    // has none. The graphics are the dimension's own: they move with it,
    // and a copy has none (it is drawn from its points).
    OdDbObjectId dimBlockId() const { return block_; }
    OdResult setDimBlockId(OdDbObjectId id);
    // The box of the defining points and the text position.
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdDbDimension(const OdGePoint3dArray& points, const wchar_t* text, OdDbObjectId style,
                  const OdGePoint3d& textPosition);
    OdDbDimension(const OdDbDimension& o);
    OdGePoint3d pointAt(int i) const { return points_[i]; }
    OdResult subTransformBy(const OdGeMatrix3d& m) override;
    void subCopyTiesTo(OdDbObject& copy) const override { static_cast<OdDbDimension&>(copy).block_ = block_; }

private:
    friend struct standin::DxfAccess;
    OdGePoint3dArray points_;
    OdString text_;
    OdDbObjectId style_;
    OdGePoint3d textPos_;
    OdDbObjectId block_;
};

class OdDbAlignedDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDbAlignedDimension)
    // The text starts in the middle of the dimension line.
    OdDbAlignedDimension(const OdGePoint3d& xLine1, const OdGePoint3d& xLine2, const OdGePoint3d& dimLinePoint,
                         const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    OdGePoint3d xLine1Point() const { return pointAt(0); }
    OdGePoint3d xLine2Point() const { return pointAt(1); }
    OdGePoint3d dimLinePoint() const { return pointAt(2); }
};

class OdDbRotatedDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDbRotatedDimension)
    OdDbRotatedDimension(double rotation, const OdGePoint3d& xLine1, const OdGePoint3d& xLine2,
                         const OdGePoint3d& dimLinePoint, const wchar_t* text = nullptr,
                         OdDbObjectId style = OdDbObjectId::kNull);
    double rotation() const { return rotation_; }
    OdGePoint3d xLine1Point() const { return pointAt(0); }
    OdGePoint3d xLine2Point() const { return pointAt(1); }
    OdGePoint3d dimLinePoint() const { return pointAt(2); }

private:
    double rotation_;
};

class OdDbRadialDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDbRadialDimension)
    OdDbRadialDimension(const OdGePoint3d& center, const OdGePoint3d& chordPoint, double leaderLength,
                        const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    OdGePoint3d center() const { return pointAt(0); }
    OdGePoint3d chordPoint() const { return pointAt(1); }
    double leaderLength() const { return leader_; }

private:
    double leader_;
};

class OdDbDiametricDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDbDiametricDimension)
    OdDbDiametricDimension(const OdGePoint3d& chordPoint, const OdGePoint3d& farChordPoint, double leaderLength,
                           const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    OdGePoint3d chordPoint() const { return pointAt(0); }
    OdGePoint3d farChordPoint() const { return pointAt(1); }
    double leaderLength() const { return leader_; }

private:
    double leader_;
};

class OdDb2LineAngularDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDb2LineAngularDimension)
    OdDb2LineAngularDimension(const OdGePoint3d& xLine1Start, const OdGePoint3d& xLine1End,
                              const OdGePoint3d& xLine2Start, const OdGePoint3d& xLine2End,
                              const OdGePoint3d& arcPoint, const wchar_t* text = nullptr,
                              OdDbObjectId style = OdDbObjectId::kNull);
    OdGePoint3d xLine1Start() const { return pointAt(0); }
    OdGePoint3d xLine1End() const { return pointAt(1); }
    OdGePoint3d xLine2Start() const { return pointAt(2); }
    OdGePoint3d xLine2End() const { return pointAt(3); }
    OdGePoint3d arcPoint() const { return pointAt(4); }
};

class OdDb3PointAngularDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDb3PointAngularDimension)
    OdDb3PointAngularDimension(const OdGePoint3d& center, const OdGePoint3d& xLine1, const OdGePoint3d& xLine2,
                               const OdGePoint3d& arcPoint, const wchar_t* text = nullptr,
                               OdDbObjectId style = OdDbObjectId::kNull);
    OdGePoint3d centerPoint() const { return pointAt(0); }
    OdGePoint3d xLine1Point() const { return pointAt(1); }
    OdGePoint3d xLine2Point() const { return pointAt(2); }
    OdGePoint3d arcPoint() const { return pointAt(3); }
};

class OdDbOrdinateDimension : public OdDbDimension {
public:
    OD_ENTITY_MEMBERS(OdDbOrdinateDimension)
    OdDbOrdinateDimension(bool useXAxis, const OdGePoint3d& definingPoint, const OdGePoint3d& leaderEndPoint,
                          const wchar_t* text = nullptr, OdDbObjectId style = OdDbObjectId::kNull);
    bool isUsingXAxis() const { return xAxis_; }
    OdGePoint3d definingPoint() const { return pointAt(0); }
    OdGePoint3d leaderEndPoint() const { return pointAt(1); }
    // The origin the ordinate is measured from.
    OdGePoint3d origin() const { return origin_; }
    OdResult setOrigin(const OdGePoint3d& p);

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    bool xAxis_;
    OdGePoint3d origin_;
};
