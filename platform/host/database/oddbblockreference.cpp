#include "oddbblockreference.h"

#include <cmath>
#include <filesystem>

#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "hostdb_control.h"
#include "standin_control.h"
#include "points_extents.h"

ODRX_DEFINE_MEMBERS(OdDbBlockReference, OdDbEntity, L"AcDbBlockReference")
ODRX_DEFINE_MEMBERS(OdDbMInsertBlock, OdDbBlockReference, L"AcDbMInsertBlock")
ODRX_DEFINE_MEMBERS(OdDbMline, OdDbEntity, L"AcDbMline")
ODRX_DEFINE_MEMBERS(OdDbRasterImageDef, OdDbObject, L"AcDbRasterImageDef")
ODRX_DEFINE_MEMBERS(OdDbRasterImage, OdDbEntity, L"AcDbRasterImage")

// ---- block reference ----

// A copy refers to the same block but owns no attributes.
OdDbBlockReference::OdDbBlockReference(const OdDbBlockReference& o)
    : OdDbEntity(o), pos_(o.pos_), normal_(o.normal_), block_(o.block_), scale_(o.scale_), rotation_(o.rotation_)
{
}

OdDbBlockReference::~OdDbBlockReference()
{
    for (auto* attr : held_) delete attr;
}

OdResult OdDbBlockReference::setBlockTableRecord(OdDbObjectId id) { OD_SET(block_, id); }
OdResult OdDbBlockReference::setPosition(const OdGePoint3d& p) { OD_SET(pos_, p); }

// A z scale of 0 is what 2-D writers give a reference: it flattens the
// block into the reference's plane and leaves x and y as they are.
OdResult OdDbBlockReference::setScaleFactors(const OdGeScale3d& s)
{
    if (s.sx == 0 || s.sy == 0 || !std::isfinite(s.sx) || !std::isfinite(s.sy) || !std::isfinite(s.sz))
        return eInvalidInput;
    OD_SET(scale_, s);
}

OdResult OdDbBlockReference::setRotation(double a) { OD_SET(rotation_, a); }

OdResult OdDbBlockReference::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

namespace {
// Object coordinates of the plane of that normal to world coordinates.
OdGeMatrix3d PlaneToWorld(const OdGeVector3d& n)
{
    OdGeMatrix3d m;
    if (n.x == 0 && n.y == 0 && n.z > 0) return m;
    OdGeVector3d x, y;
    OdGePlaneAxes(n, x, y);
    const OdGeVector3d axes[3] = {x, y, n};
    for (int c = 0; c < 3; ++c) {
        m.entry[0][c] = axes[c].x;
        m.entry[1][c] = axes[c].y;
        m.entry[2][c] = axes[c].z;
    }
    return m;
}
}  // namespace

OdGeMatrix3d OdDbBlockReference::blockTransform() const { return transformScaledBy(scale_); }

OdGeMatrix3d OdDbBlockReference::transformScaledBy(const OdGeScale3d& scale) const
{
    OdGePoint3d origin;
    OdDbBlockTableRecord* btr = nullptr;
    if (block_.isValid() && (btr = OdRxCast<OdDbBlockTableRecord>(block_.stub()->object))) origin = btr->origin();
    return OdGeMatrix3d::translation(pos_ - OdGePoint3d::kOrigin) * PlaneToWorld(normal_) *
           OdGeMatrix3d::rotation(rotation_, OdGeVector3d::kZAxis) *
           OdGeMatrix3d().setToScaling(scale) * OdGeMatrix3d::translation(OdGePoint3d::kOrigin - origin);
}

OdResult OdDbBlockReference::appendAttribute(OdDbObjectId& id, OdDbAttribute* attr)
{
    id = OdDbObjectId();
    if (!attr || !attr->isNewObject() || attr->isHeld()) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    if (!database()) {
        setHeldBy(attr, this);
        held_.push_back(attr);
        return eOk;
    }
    id = database()->addOdDbObject(attr, objectId());
    attr->applyAppendDefaults(database());
    attributes_.append(id);
    return eOk;
}

void OdDbBlockReference::subAddHeldObjects()
{
    for (auto* attr : held_) {
        setHeldBy(attr, nullptr);
        attributes_.append(database()->addOdDbObject(attr, objectId()));
        attr->applyAppendDefaults(database());
        attr->close();
    }
    held_.clear();
}

OdDbObjectIterator* OdDbBlockReference::attributeIterator() const
{
    OdDbObjectIdArray ids = attributes_;
    for (size_t i = 0; i < held_.size(); ++i) ids.append(OdDbObjectId());
    return ids.isEmpty() ? nullptr : new OdDbObjectIterator(ids);
}

OdResult OdDbBlockReference::explode(OdDbVoidPtrArray& set) const
{
    if (int s = standin::TakeHostFault("explode")) return (OdResult)s;
    return explodeParts(set);
}

OdResult OdDbBlockReference::explodeParts(OdDbVoidPtrArray& set) const
{
    auto* btr = block_.isValid() ? OdRxCast<OdDbBlockTableRecord>(block_.stub()->object) : nullptr;
    if (!btr) return eInvalidInput;
    // A flattened reference's parts take the x scale's size for z, so that
    // a block drawn in its x-y plane comes out as the reference shows it
    // (mirrored, scaled) instead of failing as a scale no curve can take.
    OdGeScale3d s = scale_;
    if (s.sz == 0) s.sz = std::fabs(s.sx);
    OdGeMatrix3d m = transformScaledBy(s);
    OdDbVoidPtrArray made;
    for (const auto& id : btr->entityIds()) {
        if (id.isErased()) continue;
        auto* ent = OdRxCast<OdDbEntity>(id.stub()->object);
        OdDbEntity* copy = nullptr;
        if (!ent || ent->getTransformedCopy(m, copy) != eOk) {
            for (void* p : made) delete static_cast<OdDbEntity*>(p);
            return eExplodeAgain;
        }
        made.append(copy);
    }
    set.append(made);
    return eOk;
}

OdResult OdDbBlockReference::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    OdDbVoidPtrArray parts;
    if (explodeParts(parts) != eOk) return eInvalidExtents;
    for (void* p : parts) {
        auto* e = static_cast<OdDbEntity*>(p);
        OdGeExtents3d x;
        if (e->getGeomExtents(x) == eOk) ext.addExt(x);
        delete e;
    }
    return ext.isValidExtents() ? eOk : eInvalidExtents;
}

OdResult OdDbBlockReference::subTransformBy(const OdGeMatrix3d& m)
{
    if (m.isTranslation()) {
        pos_.transformBy(m);
        forEachSubent([&](OdDbEntity* a) { a->transformBy(m); });
        return eOk;
    }
    if (!m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    OdGeVector3d x(std::cos(rotation_), std::sin(rotation_), 0);
    x.transformBy(PlaneToWorld(normal_));
    OdGeVector3d n = normal_;
    x.transformBy(m);
    n.transformBy(m);
    double s = m.scale();
    pos_.transformBy(m);
    normal_ = n.isZeroLength() ? normal_ : n.normal();
    OdGeVector3d ax, ay;
    OdGePlaneAxes(normal_, ax, ay);
    rotation_ = normal_.x == 0 && normal_.y == 0 && normal_.z > 0 ? std::atan2(x.y, x.x)
                                                                  : std::atan2(x.dotProduct(ay), x.dotProduct(ax));
    scale_ = OdGeScale3d(scale_.sx * s, scale_.sy * s, scale_.sz * s);
    forEachSubent([&](OdDbEntity* a) { a->transformBy(m); });
    return eOk;
}

void OdDbBlockReference::forEachSubent(const std::function<void(OdDbEntity*)>& change)
{
    for (auto* attr : held_) change(attr);
    for (const auto& id : attributes_) {
        OdDbEntity* a = nullptr;
        if (oddbOpenObject(a, id, OdDb::kForWrite) == eOk) {
            change(a);
            a->close();
        }
    }
}

OdResult OdDbBlockReference::subErase(bool erasing)
{
    for (const auto& id : attributes_) {
        OdDbObject* a = nullptr;
        if (oddbOpenObject(a, id, OdDb::kForWrite, true) == eOk) {
            a->erase(erasing);
            a->close();
        }
    }
    return eOk;
}

// ---- block reference in rows and columns ----

OdDbMInsertBlock::OdDbMInsertBlock(const OdGePoint3d& position, OdDbObjectId block, uint16_t columns, uint16_t rows,
                                   double columnSpacing, double rowSpacing)
    : OdDbBlockReference(position, block), columns_(columns ? columns : 1), rows_(rows ? rows : 1),
      columnSpacing_(columnSpacing), rowSpacing_(rowSpacing)
{
}

OdResult OdDbMInsertBlock::setColumns(uint16_t n)
{
    if (n == 0) return eInvalidInput;
    OD_SET(columns_, n);
}

OdResult OdDbMInsertBlock::setRows(uint16_t n)
{
    if (n == 0) return eInvalidInput;
    OD_SET(rows_, n);
}

OdResult OdDbMInsertBlock::setColumnSpacing(double d) { OD_SET(columnSpacing_, d); }
OdResult OdDbMInsertBlock::setRowSpacing(double d) { OD_SET(rowSpacing_, d); }

namespace {
// The move from the first copy to copy (r, c), in world coordinates.
OdGeMatrix3d CopyMove(const OdDbMInsertBlock* m, int r, int c)
{
    OdGeVector3d step(c * m->columnSpacing(), r * m->rowSpacing(), 0);
    step.transformBy(PlaneToWorld(m->normal()) * OdGeMatrix3d::rotation(m->rotation(), OdGeVector3d::kZAxis));
    return OdGeMatrix3d::translation(step);
}
}  // namespace

OdResult OdDbMInsertBlock::getGeomExtents(OdGeExtents3d& ext) const
{
    OdGeExtents3d one;
    OdResult res = OdDbBlockReference::getGeomExtents(one);
    if (res != eOk) return res;
    ext = OdGeExtents3d();
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c) {
            OdGeExtents3d e = one;
            ext.addExt(e.transformBy(CopyMove(this, r, c)));
        }
    return eOk;
}

OdResult OdDbMInsertBlock::explode(OdDbVoidPtrArray& set) const
{
    OdDbVoidPtrArray one;
    OdResult res = OdDbBlockReference::explode(one);
    if (res != eOk) return res;
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c)
            for (void* p : one) {
                OdDbEntity* copy = nullptr;
                if (static_cast<OdDbEntity*>(p)->getTransformedCopy(CopyMove(this, r, c), copy) == eOk) set.append(copy);
            }
    for (void* p : one) delete static_cast<OdDbEntity*>(p);
    return eOk;
}

OdResult OdDbMInsertBlock::subTransformBy(const OdGeMatrix3d& m)
{
    OdResult res = OdDbBlockReference::subTransformBy(m);
    if (res == eOk && !m.isTranslation()) {
        columnSpacing_ *= m.scale();
        rowSpacing_ *= m.scale();
    }
    return res;
}

// ---- multiline ----

OdResult OdDbMline::appendSeg(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    points_.append(p);
    segments_.clear();  // the file's layout no longer fits
    return eOk;
}

OdResult OdDbMline::setJustification(Mline::MlineJustification j) { OD_SET(justification_, j); }
OdResult OdDbMline::setStyle(OdDbObjectId id) { OD_SET(style_, id); }

OdResult OdDbMline::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

void OdDbMline::setClosedMline(bool c)
{
    if (assertWriteEnabled()) closed_ = c;
}

OdResult OdDbMline::setScale(double s) { OD_SET(scale_, s); }

OdResult OdDbMline::getGeomExtents(OdGeExtents3d& ext) const
{
    return standin::PointsExtents(points_, ext);
}

OdResult OdDbMline::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
    if (m.isTranslation()) return eOk;
    double s = m.scale();
    for (auto& seg : segments_) {
        seg.direction.transformBy(m);
        seg.miter.transformBy(m);
        if (!seg.direction.isZeroLength()) seg.direction = seg.direction.normal();
        if (!seg.miter.isZeroLength()) seg.miter = seg.miter.normal();
        for (auto& p : seg.params)
            for (auto& v : p) v *= s;
        for (auto& f : seg.fills)
            for (auto& v : f) v *= s;
    }
    normal_.transformBy(m);
    normal_ = normal_.isZeroLength() ? OdGeVector3d(0, 0, 1) : normal_.normal();
    return eOk;
}

// ---- raster images ----

OdDbObjectId OdDbRasterImageDef::imageDictionary(OdDbDatabase* db)
{
    OdDbDictionary* nod = nullptr;
    OdDbObjectId id;
    if (db && db->getNamedObjectsDictionary(nod, OdDb::kForRead) == eOk) {
        nod->getAt(L"ACAD_IMAGE_DICT", id);
        nod->close();
    }
    return id;
}

OdResult OdDbRasterImageDef::createImageDictionary(OdDbDatabase* db, OdDbObjectId& dictId)
{
    dictId = imageDictionary(db);
    if (!dictId.isNull()) return eOk;
    if (!db) return eNullObjectId;
    OdDbDictionary* nod = nullptr;
    OdResult res = db->getNamedObjectsDictionary(nod, OdDb::kForWrite);
    if (res != eOk) return res;
    auto* dict = new OdDbDictionary();
    res = nod->setAt(L"ACAD_IMAGE_DICT", dict, dictId);
    if (res == eOk) dict->close();
    else delete dict;
    nod->close();
    return res;
}

OdResult OdDbRasterImageDef::setSourceFileName(const OdString& path)
{
    OD_SET(file_, path);
}

OdResult OdDbRasterImageDef::load(bool)
{
    if (file_.isEmpty()) return eInvalidInput;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(standin::NativePath(file_.str()), ec)) return eFileNotFound;
    OD_SET(loaded_, true);
}

OdResult OdDbRasterImageDef::unload(bool) { OD_SET(loaded_, false); }

OdResult OdDbRasterImage::setImageDefId(OdDbObjectId id) { OD_SET(def_, id); }

bool OdDbRasterImage::setOrientation(const OdGePoint3d& origin, const OdGeVector3d& u, const OdGeVector3d& v)
{
    if (u.isZeroLength() || v.isZeroLength() || u.crossProduct(v).isZeroLength()) return false;
    if (!assertWriteEnabled()) return false;
    origin_ = origin;
    u_ = u;
    v_ = v;
    return true;
}

void OdDbRasterImage::getOrientation(OdGePoint3d& origin, OdGeVector3d& u, OdGeVector3d& v) const
{
    origin = origin_;
    u = u_;
    v = v_;
}

void OdDbRasterImage::setDisplayOpt(ImageDisplayOpt opt, bool on)
{
    if (assertWriteEnabled()) display_ = on ? (display_ | opt) : (display_ & ~opt);
}

OdResult OdDbRasterImage::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    ext.addPoint(origin_).addPoint(origin_ + u_).addPoint(origin_ + v_).addPoint(origin_ + u_ + v_);
    return eOk;
}

OdResult OdDbRasterImage::subTransformBy(const OdGeMatrix3d& m)
{
    origin_.transformBy(m);
    u_.transformBy(m);
    v_.transformBy(m);
    return eOk;
}
