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
    OdResult setScaleFactors(const OdGeScale3d& s);
    double rotation() const { return rotation_; }
    OdResult setRotation(double a);
    OdGeVector3d normal() const { return {0, 0, 1}; }
    // Block coordinates to world: the block origin moved to the position,
    // scaled and turned about it.
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
    OdGePoint3d pos_;
    OdDbObjectId block_;
    OdGeScale3d scale_;
    double rotation_ = 0;
    OdDbObjectIdArray attributes_;
    std::vector<OdDbAttribute*> held_;
};

// Multiline: its vertices in order.
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
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    OdGePoint3dArray points_;
    bool closed_ = false;
    double scale_ = 1;
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
};
