// Host SDK stand-in: the entity root (colour, layer, linetype,
// transparency, extents, transformation) and the curve root.
#pragma once

#include <functional>
#include <memory>

#include "odcmcolor.h"
#include "oddbobject.h"
#include "odgegeometry.h"

class OdGePlane;

namespace OdDb {
// Which operands of an intersection are taken as extended without end.
enum Intersect { kOnBothOperands = 0, kExtendThis = 1, kExtendArg = 2, kExtendBoth = 3 };
enum Visibility { kVisible = 0, kInvisible = 1 };
// Line weights in hundredths of a millimetre, or taken from elsewhere.
enum LineWeight : int {
    kLnWt000 = 0, kLnWt005 = 5, kLnWt009 = 9, kLnWt013 = 13, kLnWt015 = 15, kLnWt018 = 18, kLnWt020 = 20,
    kLnWt025 = 25, kLnWt030 = 30, kLnWt035 = 35, kLnWt040 = 40, kLnWt050 = 50, kLnWt053 = 53, kLnWt060 = 60,
    kLnWt070 = 70, kLnWt080 = 80, kLnWt090 = 90, kLnWt100 = 100, kLnWt106 = 106, kLnWt120 = 120, kLnWt140 = 140,
    kLnWt158 = 158, kLnWt200 = 200, kLnWt211 = 211,
    kLnWtByLayer = -1, kLnWtByBlock = -2, kLnWtByLwDefault = -3
};
}
namespace standin {
// Whether the value is one of the host's line weights.
bool IsLineWeight(int value);
}

class OdDbEntity : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbEntity)

    // Colour, layer, linetype and transparency set with doSubents also go to
    // the entity's sub-entities (the attributes of a block reference).
    OdCmColor color() const { return color_; }
    int16_t colorIndex() const { return color_.colorIndex(); }
    OdResult setColor(const OdCmColor& c, bool doSubents = true);
    OdResult setColorIndex(uint16_t index, bool doSubents = true);

    OdDbObjectId layerId() const { return layer_; }
    // The layer's name; empty when none is set yet.
    OdString layer() const;
    // The name is looked up in the entity's database, or in the working
    // database for an entity in none: eKeyNotFound (26) when missing,
    // eInvalidInput for a hidden layer unless allowed.
    OdResult setLayer(const wchar_t* name, bool doSubents = true, bool allowHiddenLayer = false);
    OdResult setLayer(OdDbObjectId layerId, bool doSubents = true, bool allowHiddenLayer = false);

    OdDbObjectId linetypeId() const { return linetype_; }
    OdString linetype() const;
    // A name that is not loaded (the empty name included) gives eKeyNotFound.
    OdResult setLinetype(const wchar_t* name, bool doSubents = true);
    OdResult setLinetype(OdDbObjectId id, bool doSubents = true);
    double linetypeScale() const { return ltScale_; }
    OdResult setLinetypeScale(double s, bool doSubents = true);

    OdCmTransparency transparency() const { return transparency_; }
    OdResult setTransparency(const OdCmTransparency& t, bool doSubents = true);

    // ByLayer unless set; eInvalidInput for a value that is no line weight.
    OdDb::LineWeight lineWeight() const { return lineWeight_; }
    OdResult setLineWeight(OdDb::LineWeight w, bool doSubents = true);

    OdDb::Visibility visibility() const { return visibility_; }
    OdResult setVisibility(OdDb::Visibility v, bool doSubents = true);

    // Current layer, linetype ByLayer, colour ByLayer of the database (the
    // working database when none is given).
    void setDatabaseDefaults(OdDbDatabase* db = nullptr);
    void setPropertiesFrom(const OdDbEntity* other, bool doSubents = true);

    virtual OdResult getGeomExtents(OdGeExtents3d& ext) const;
    virtual OdResult transformBy(const OdGeMatrix3d& m);
    // A transformed copy in no database, which the caller owns.
    virtual OdResult getTransformedCopy(const OdGeMatrix3d& m, OdDbEntity*& copy) const;
    // New entities in no database, owned by the caller (OdDbEntity pointers).
    virtual OdResult explode(OdDbVoidPtrArray& entitySet) const;
    // Intersection points with another entity, appended to points
    // (oddbintersect.cpp). Lines, arcs and circles; eNotImplemented for
    // others. The plane form intersects the projections onto the plane.
    OdResult intersectWith(const OdDbEntity* other, OdDb::Intersect type, OdGePoint3dArray& points) const;
    OdResult intersectWith(const OdDbEntity* other, OdDb::Intersect type, const OdGePlane& projPlane,
                           OdGePoint3dArray& points) const;
    // A copy of the entity in no database.
    virtual OdDbEntity* clone() const { return nullptr; }

    // Stand-in internal: fills unset properties from the database at append.
    void applyAppendDefaults(OdDbDatabase* db);

protected:
    // transformBy runs the fault hook and the write check, then this.
    virtual OdResult subTransformBy(const OdGeMatrix3d& /*m*/) { return eNotApplicable; }
    // Calls `change` with each sub-entity open for write (those that cannot
    // be opened are left alone).
    virtual void forEachSubent(const std::function<void(OdDbEntity*)>& /*change*/) {}

private:
    friend struct standin::DxfAccess;
    OdDbDatabase* lookupDatabase() const;
    OdCmColor color_;
    OdDbObjectId layer_;
    OdDbObjectId linetype_;
    double ltScale_ = 1.0;
    OdCmTransparency transparency_;
    OdDb::LineWeight lineWeight_ = OdDb::kLnWtByLayer;
    OdDb::Visibility visibility_ = OdDb::kVisible;
    // The normal a drawing file gave (of a length other than 1) and the
    // unit normal read from it: while the entity has that one, the file's
    // goes back. Few entities have one: it is held apart, shared by copies.
    struct FileNormal {
        OdGeVector3d given, unit;
    };
    std::shared_ptr<const FileNormal> fileNormal_;
};

#define OD_ENTITY_MEMBERS(ClassName) \
    ODRX_DECLARE_MEMBERS(ClassName)  \
    OdDbEntity* clone() const override { return new ClassName(*this); }

OdResult oddbOpenOdDbEntity(OdDbEntity*& ent, OdDbObjectId id, OdDb::OpenMode mode, bool openErased = false);

// A curve maps a parameter interval onto points; distances run along it
// from the start.
class OdDbCurve : public OdDbEntity {
public:
    ODRX_DECLARE_MEMBERS(OdDbCurve)
    virtual bool isClosed() const { return false; }
    virtual OdResult getStartParam(double& p) const = 0;
    virtual OdResult getEndParam(double& p) const = 0;
    virtual OdResult getPointAtParam(double param, OdGePoint3d& p) const = 0;
    // Arc length from the start to the parameter (numerical by default).
    virtual OdResult getDistAtParam(double param, double& dist) const;
    virtual OdResult getParamAtDist(double dist, double& param) const;
    // The nearest point of the curve (numerical by default).
    virtual OdResult getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool extend = false) const;
    OdResult getStartPoint(OdGePoint3d& p) const;
    OdResult getEndPoint(OdGePoint3d& p) const;
    // eInvalidInput for a distance outside the curve.
    OdResult getPointAtDist(double dist, OdGePoint3d& p) const;
    OdResult getDistAtPoint(const OdGePoint3d& p, double& dist) const;
};
