#include "oddbblockreference.h"

#include <cmath>
#include <filesystem>

#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "hostdb_control.h"
#include "standin_control.h"

ODRX_DEFINE_MEMBERS(OdDbBlockReference, OdDbEntity, L"AcDbBlockReference")
ODRX_DEFINE_MEMBERS(OdDbMline, OdDbEntity, L"AcDbMline")
ODRX_DEFINE_MEMBERS(OdDbRasterImageDef, OdDbObject, L"AcDbRasterImageDef")
ODRX_DEFINE_MEMBERS(OdDbRasterImage, OdDbEntity, L"AcDbRasterImage")

// ---- block reference ----

// A copy refers to the same block but owns no attributes.
OdDbBlockReference::OdDbBlockReference(const OdDbBlockReference& o)
    : OdDbEntity(o), pos_(o.pos_), block_(o.block_), scale_(o.scale_), rotation_(o.rotation_)
{
}

OdDbBlockReference::~OdDbBlockReference()
{
    for (auto* attr : held_) delete attr;
}

OdResult OdDbBlockReference::setBlockTableRecord(OdDbObjectId id) { OD_SET(block_, id); }
OdResult OdDbBlockReference::setPosition(const OdGePoint3d& p) { OD_SET(pos_, p); }

OdResult OdDbBlockReference::setScaleFactors(const OdGeScale3d& s)
{
    if (s.sx == 0 || s.sy == 0 || s.sz == 0) return eInvalidInput;
    OD_SET(scale_, s);
}

OdResult OdDbBlockReference::setRotation(double a) { OD_SET(rotation_, a); }

OdGeMatrix3d OdDbBlockReference::blockTransform() const
{
    OdGePoint3d origin;
    OdDbBlockTableRecord* btr = nullptr;
    if (block_.isValid() && (btr = OdRxCast<OdDbBlockTableRecord>(block_.stub()->object))) origin = btr->origin();
    return OdGeMatrix3d::translation(pos_ - OdGePoint3d::kOrigin) *
           OdGeMatrix3d::rotation(rotation_, OdGeVector3d::kZAxis) *
           OdGeMatrix3d().setToScaling(scale_) * OdGeMatrix3d::translation(OdGePoint3d::kOrigin - origin);
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
    OdGeMatrix3d m = blockTransform();
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
    if (!m.isUniScaledOrtho()) return eCannotScaleNonUniformly;
    OdGeVector3d x(std::cos(rotation_), std::sin(rotation_), 0);
    x.transformBy(m);
    double s = m.scale();
    pos_.transformBy(m);
    rotation_ = std::atan2(x.y, x.x);
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

// ---- multiline ----

OdResult OdDbMline::appendSeg(const OdGePoint3d& p)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    points_.append(p);
    return eOk;
}

void OdDbMline::setClosedMline(bool c)
{
    if (assertWriteEnabled()) closed_ = c;
}

OdResult OdDbMline::setScale(double s) { OD_SET(scale_, s); }

OdResult OdDbMline::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    for (const auto& p : points_) ext.addPoint(p);
    return points_.isEmpty() ? eInvalidExtents : eOk;
}

OdResult OdDbMline::subTransformBy(const OdGeMatrix3d& m)
{
    for (auto& p : points_) p.transformBy(m);
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
