// Host SDK stand-in: block references with attributes, multilines, and
// raster images with their definitions.
#pragma once

#include <vector>

#include "oddbentity.h"
#include "oddbtext.h"

class OdDbObjectIterator {
public:
    explicit OdDbObjectIterator(const OdDbObjectIdArray& ids) : ids_(ids) {}
    void start() { pos_ = 0; }
    bool done() const { return pos_ >= ids_.length(); }
    void step() { ++pos_; }
    OdDbObjectId objectId() const { return ids_[pos_]; }

private:
    OdDbObjectIdArray ids_;
    int pos_ = 0;
};

class OdDbBlockReference : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbBlockReference)
    OdDbBlockReference() = default;
    OdDbBlockReference(const OdGePoint3d& position, OdDbObjectId blockTableRecord)
        : pos_(position), block_(blockTableRecord)
    {
    }
    OdDbBlockReference(const OdDbBlockReference& o);
    // Deletes the attributes it holds while in no database.
    ~OdDbBlockReference() override;
    OdDbObjectId blockTableRecord() const { return block_; }
    OdResult setBlockTableRecord(OdDbObjectId id);
    OdGePoint3d position() const { return pos_; }
    OdResult setPosition(const OdGePoint3d& p);
    OdGeScale3d scaleFactors() const { return scale_; }
    // eInvalidInput for an x or y scale of 0; a z scale of 0 is taken.
    OdResult setScaleFactors(const OdGeScale3d& s);
    double rotation() const { return rotation_; }
    OdResult setRotation(double a);
    // The block's x-y plane lies in the plane of the normal; the rotation
    // is taken in that plane from its x axis (arbitrary-axis rule).
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    // Block coordinates to world: the block origin moved to the position,
    // scaled and turned about it in the plane of the normal.
    OdGeMatrix3d blockTransform() const;
    // The reference owns the new attribute from now on. A reference in a
    // database (open for write) adds it there, open for write; a new
    // reference holds it (id null, close() leaves it alone) until the
    // reference is appended, when it gets its id and handle, closed.
    OdResult appendAttribute(OdDbObjectId& id, OdDbAttribute* attr);
    // Null when the reference has no attributes; the caller deletes it. The
    // ids are null while the reference is in no database.
    OdDbObjectIterator* attributeIterator() const;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    // Transformed copies of the block's entities (attribute definitions
    // included). eExplodeAgain (137) when a non-uniform scale meets an
    // entity that cannot take it. A test may script its status ("explode").
    OdResult explode(OdDbVoidPtrArray& entitySet) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;
    OdResult subErase(bool erasing) override;
    void subAddHeldObjects() override;
    void forEachSubent(const std::function<void(OdDbEntity*)>& change) override;

private:
    friend struct standin::DxfAccess;
    OdResult explodeParts(OdDbVoidPtrArray& entitySet) const;
    OdGeMatrix3d transformScaledBy(const OdGeScale3d& scale) const;
    OdGePoint3d pos_;
    OdGeVector3d normal_{0, 0, 1};
    OdDbObjectId block_;
    OdGeScale3d scale_;
    double rotation_ = 0;
    void swapOwned(OdDbObject& other) override
    {
        auto& o = static_cast<OdDbBlockReference&>(other);
        std::swap(attributes_, o.attributes_);
        std::swap(held_, o.held_);
    }
    OdDbObjectIdArray attributes_;
    std::vector<OdDbAttribute*> held_;
};

// A block reference repeated in rows and columns: copy (r, c) lies
// c column spacings along the block's x axis and r row spacings along its y
// axis (both turned with the reference).
class OdDbMInsertBlock : public OdDbBlockReference {
public:
    OD_ENTITY_MEMBERS(OdDbMInsertBlock)
    OdDbMInsertBlock() = default;
    OdDbMInsertBlock(const OdGePoint3d& position, OdDbObjectId blockTableRecord, uint16_t columns, uint16_t rows,
                     double columnSpacing, double rowSpacing);
    uint16_t columns() const { return columns_; }
    // eInvalidInput for 0.
    OdResult setColumns(uint16_t n);
    uint16_t rows() const { return rows_; }
    OdResult setRows(uint16_t n);
    double columnSpacing() const { return columnSpacing_; }
    OdResult setColumnSpacing(double d);
    double rowSpacing() const { return rowSpacing_; }
    OdResult setRowSpacing(double d);
    // Every copy's extents.
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    // Every copy's entities.
    OdResult explode(OdDbVoidPtrArray& entitySet) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    uint16_t columns_ = 1, rows_ = 1;
    double columnSpacing_ = 0, rowSpacing_ = 0;
};

namespace Mline {
enum MlineJustification { kTop = 0, kZero = 1, kBottom = 2 };
}

// Multiline: its vertices in order, drawn in the lines of its style.
class OdDbMline : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbMline)
    OdResult appendSeg(const OdGePoint3d& p);
    int numVertices() const { return points_.length(); }
    OdGePoint3d vertexAt(int i) const { return points_[i]; }
    bool closedMline() const { return closed_; }
    void setClosedMline(bool c);
    double scale() const { return scale_; }
    OdResult setScale(double s);
    Mline::MlineJustification justification() const { return justification_; }
    OdResult setJustification(Mline::MlineJustification j);
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    // The multiline style (an object of the named-objects dictionary's
    // "ACAD_MLINESTYLE"); null for the host's standard one.
    OdDbObjectId style() const { return style_; }
    OdResult setStyle(OdDbObjectId id);
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;
    // Stand-in: what a drawing file gave each vertex: the direction on to the next
    // vertex, the mitre, and each line's distances along it and its fill's.
    struct Segment {
        OdGeVector3d direction, miter;
        std::vector<OdGeDoubleArray> params, fills;
    };

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdGePoint3dArray points_;
    bool closed_ = false;
    double scale_ = 1;
    Mline::MlineJustification justification_ = Mline::kTop;
    OdGeVector3d normal_{0, 0, 1};
    OdDbObjectId style_;
    OdString styleName_ = L"Standard";
    std::vector<Segment> segments_;  // empty or one per vertex
};

// The image file behind raster images; kept in the image dictionary.
class OdDbRasterImageDef : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbRasterImageDef)
    // The id of the image dictionary ("ACAD_IMAGE_DICT" in the named-objects
    // dictionary); null when the drawing has none.
    static OdDbObjectId imageDictionary(OdDbDatabase* db);
    static OdResult createImageDictionary(OdDbDatabase* db, OdDbObjectId& dictId);
    OdString sourceFileName() const { return file_; }
    OdResult setSourceFileName(const OdString& path);
    // eFileNotFound when the file does not exist (the name is mapped into
    // the stand-in machine).
    OdResult load(bool modifyDatabase = true);
    OdResult unload(bool modifyDatabase = true);
    bool isLoaded() const { return loaded_; }
    // The image's size in pixels as the drawing file gave it; zero when not
    // known.
    OdGeVector2d size() const { return size_; }

private:
    friend struct standin::DxfAccess;
    OdString file_;
    bool loaded_ = false;
    OdGeVector2d size_;
};

class OdDbRasterImage : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbRasterImage)
    enum ImageDisplayOpt { kShow = 1, kShowUnAligned = 2, kClip = 4, kTransparent = 8 };
    OdDbObjectId imageDefId() const { return def_; }
    OdResult setImageDefId(OdDbObjectId id);
    // Lower-left corner, the bottom edge and the left edge.
    bool setOrientation(const OdGePoint3d& origin, const OdGeVector3d& u, const OdGeVector3d& v);
    void getOrientation(OdGePoint3d& origin, OdGeVector3d& u, OdGeVector3d& v) const;
    void setDisplayOpt(ImageDisplayOpt opt, bool on);
    bool isSetDisplayOpt(ImageDisplayOpt opt) const { return (display_ & opt) != 0; }
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdDbObjectId def_;
    OdGePoint3d origin_;
    OdGeVector3d u_{1, 0, 0}, v_{0, 1, 0};
    int display_ = kShow;
    // Whether the clip boundary is on, as a drawing file gave it (its own
    // flag beside the display option); -1 for an image made here, whose
    // flag the option gives.
    int clipping_ = -1;
};
