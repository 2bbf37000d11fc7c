#include "oddbentity.h"

#include <algorithm>

#include "block_graphics.h"
#include "dxf_internal.h"
#include "dxf_kept.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "hostdb_control.h"

ODRX_DEFINE_MEMBERS(OdDbEntity, OdDbObject, L"AcDbEntity")
ODRX_DEFINE_MEMBERS(OdDbCurve, OdDbEntity, L"AcDbCurve")

namespace {
OdString RecordName(OdDbObjectId id)
{
    if (!id.isValid()) return OdString();
    auto* rec = OdRxCast<OdDbSymbolTableRecord>(id.stub()->object);
    return rec ? rec->getName() : OdString();
}

OdResult FindRecord(OdDbDatabase* db, OdDbObjectId tableId, const wchar_t* name, OdDbObjectId& id)
{
    if (!db) return eNullObjectId;
    auto* table = OdRxCast<OdDbSymbolTable>(tableId.stub()->object);
    return table ? table->getAt(name, id) : eKeyNotFound;
}
// Extended data that follows its entity: world positions (1011) move, turn
// and scale, displacements (1012) turn and scale, directions (1013) turn,
// distances (1041) and scale factors (1042) scale. A move changes the
// positions alone.
void TransformXData(OdResBuf* chain, const OdGeMatrix3d& m)
{
    const bool move = m.isTranslation();
    const double s = move ? 1.0 : m.scale();
    for (OdResBuf* rb = chain; rb; rb = rb->next()) {
        const int code = rb->restype();
        if (code == 1011) {
            OdGePoint3d p = rb->getPoint3d();
            rb->setPoint3d(p.transformBy(m));
        } else if (move) {
            continue;
        } else if (code == 1012 || code == 1013) {
            const OdGePoint3d p = rb->getPoint3d();
            OdGeVector3d v(p.x, p.y, p.z);
            v.transformBy(m);
            if (code == 1013 && s > 0) v = v / s;
            rb->setPoint3d(OdGePoint3d(v.x, v.y, v.z));
        } else if (code == 1041 || code == 1042) {
            rb->setDouble(rb->getDouble() * s);
        }
    }
}

// The extended data of the records an entity is written with (a
// polyline's vertices), kept as the file gave them, follows it the same way.
void TransformKeptXData(standin::DxfKept* kept, const OdGeMatrix3d& m)
{
    if (!kept) return;
    const auto real = [](const standin::KeptGroup& g) { return g.kind == (uint8_t)standin::dxf::Kind::kReal; };
    for (const auto& sub : kept->subRecords) {
        if (!sub) continue;
        for (standin::KeptRun& run : sub->runs) {
            std::vector<standin::KeptGroup>& g = run.groups;
            for (size_t i = 0; i < g.size(); ++i) {
                const int code = g[i].code;
                if (!real(g[i]) || !((code >= 1011 && code <= 1013) || code == 1041 || code == 1042)) continue;
                OdResBuf rb(code);
                if (code >= 1041) {
                    rb.setDouble(g[i].real);
                    TransformXData(&rb, m);
                    g[i].real = rb.getDouble();
                    continue;
                }
                // y and z follow as the next codes, when the file gave them.
                double* c[3] = {&g[i].real, nullptr, nullptr};
                size_t k = i + 1;
                for (int axis = 1; axis < 3 && k < g.size() && g[k].code == code + 10 * axis && real(g[k]); ++axis)
                    c[axis] = &g[k++].real;
                rb.setPoint3d(OdGePoint3d(*c[0], c[1] ? *c[1] : 0, c[2] ? *c[2] : 0));
                TransformXData(&rb, m);
                const OdGePoint3d p = rb.getPoint3d();
                *c[0] = p.x;
                if (c[1]) *c[1] = p.y;
                if (c[2]) *c[2] = p.z;
                i = k - 1;
            }
        }
    }
}

// The points a file gave in the entity's own plane, with the world points
// they were read as, move with it: the world ones by the move, the plane
// ones by its part in that plane, so that each number is added to once
// (the moved world point taken back into the plane would round anew). An
// MTEXT's is its direction, which a move leaves.
void MoveKeptPlanePoints(const OdDbEntity* e, standin::DxfKept* kept, const OdGeMatrix3d& m)
{
    OdGeVector3d d;
    if (!kept || kept->planePoints.empty() || !m.isTranslation(&d) || e->isKindOf(OdDbMText::desc())) return;
    OdGeVector3d x, y;
    OdGePlaneAxes(kept->planeNormal, x, y);
    const OdGeVector3d in(d.dotProduct(x), d.dotProduct(y), d.dotProduct(kept->planeNormal.normal()));
    for (standin::DxfKept::PlanePoint& p : kept->planePoints) {
        p.world.transformBy(m);
        p.plane.set(OdGeMoved(p.plane.x, in.x), OdGeMoved(p.plane.y, in.y), OdGeMoved(p.plane.z, in.z));
    }
}
}  // namespace

OdResult oddbOpenOdDbEntity(OdDbEntity*& ent, OdDbObjectId id, OdDb::OpenMode mode, bool openErased)
{
    return oddbOpenObject(ent, id, mode, openErased);
}

OdDbDatabase* OdDbEntity::lookupDatabase() const
{
    return database() ? database() : oddbHostApplicationServices()->workingDatabase();
}

OdResult OdDbEntity::setColor(const OdCmColor& c, bool doSubents)
{
    if (int s = standin::TakeHostFault("setColor")) return (OdResult)s;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    color_ = c;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setColor(c, true); });
    return eOk;
}

OdResult OdDbEntity::setColorIndex(uint16_t index, bool doSubents)
{
    if (index > 256) return eInvalidInput;
    OdCmColor c;
    c.setColorIndex((int16_t)index);
    return setColor(c, doSubents);
}

OdString OdDbEntity::layer() const { return RecordName(layer_); }

OdResult OdDbEntity::setLayer(const wchar_t* name, bool doSubents, bool allowHiddenLayer)
{
    standin::CountHostCall("setLayer");
    if (int s = standin::TakeHostFault("setLayer")) return (OdResult)s;
    OdDbDatabase* db = lookupDatabase();
    if (!db) return eNullObjectId;
    OdDbObjectId id;
    OdResult res = FindRecord(db, db->getLayerTableId(), name, id);
    if (res != eOk) return res;
    return setLayer(id, doSubents, allowHiddenLayer);
}

OdResult OdDbEntity::setLayer(OdDbObjectId id, bool doSubents, bool allowHiddenLayer)
{
    auto* rec = id.isValid() ? OdRxCast<OdDbLayerTableRecord>(id.stub()->object) : nullptr;
    if (!rec) return eInvalidInput;
    if (database() && id.database() != database()) return eWrongDatabase;
    if (rec->isHidden() && !allowHiddenLayer) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    layer_ = id;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setLayer(id, true, allowHiddenLayer); });
    return eOk;
}

OdString OdDbEntity::linetype() const { return RecordName(linetype_); }

OdResult OdDbEntity::setLinetype(const wchar_t* name, bool doSubents)
{
    standin::CountHostCall("setLinetype");
    if (int s = standin::TakeHostFault("setLinetype")) return (OdResult)s;
    OdDbDatabase* db = lookupDatabase();
    if (!db) return eNullObjectId;
    OdDbObjectId id;
    OdResult res = FindRecord(db, db->getLinetypeTableId(), name ? name : L"", id);
    if (res != eOk) return res;
    return setLinetype(id, doSubents);
}

OdResult OdDbEntity::setLinetype(OdDbObjectId id, bool doSubents)
{
    if (!id.isValid() || !OdRxCast<OdDbLinetypeTableRecord>(id.stub()->object)) return eInvalidInput;
    if (database() && id.database() != database()) return eWrongDatabase;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    linetype_ = id;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setLinetype(id, true); });
    return eOk;
}

OdResult OdDbEntity::setLinetypeScale(double s, bool)
{
    if (!(s > 0)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    ltScale_ = s;
    return eOk;
}

OdResult OdDbEntity::setTransparency(const OdCmTransparency& t, bool doSubents)
{
    if (int s = standin::TakeHostFault("setTransparency")) return (OdResult)s;
    if (t.method() == OdCmTransparency::kErrorValue) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    transparency_ = t;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setTransparency(t, true); });
    return eOk;
}

bool standin::IsLineWeight(int v)
{
    static const int kWeights[] = {0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (v >= -3 && v <= -1) return true;
    return std::find(std::begin(kWeights), std::end(kWeights), v) != std::end(kWeights);
}

OdResult OdDbEntity::setLineWeight(OdDb::LineWeight w, bool doSubents)
{
    if (int s = standin::TakeHostFault("setLineWeight")) return (OdResult)s;
    if (!standin::IsLineWeight(w)) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    lineWeight_ = w;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setLineWeight(w, true); });
    return eOk;
}

OdResult OdDbEntity::setVisibility(OdDb::Visibility v, bool doSubents)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    visibility_ = v;
    if (doSubents) forEachSubent([&](OdDbEntity* e) { e->setVisibility(v, true); });
    return eOk;
}

void OdDbEntity::setDatabaseDefaults(OdDbDatabase* db)
{
    if (!db) db = lookupDatabase();
    if (!db || !assertWriteEnabled()) return;
    layer_ = db->clayer();
    linetype_ = db->celtype();
    color_ = OdCmColor();
    transparency_ = OdCmTransparency();
    ltScale_ = 1.0;
    lineWeight_ = OdDb::kLnWtByLayer;
}

void OdDbEntity::applyAppendDefaults(OdDbDatabase* db)
{
    if (layer_.isNull() || layer_.database() != db) layer_ = db->clayer();
    if (linetype_.isNull() || linetype_.database() != db) linetype_ = db->celtype();
}

void OdDbEntity::setPropertiesFrom(const OdDbEntity* o, bool)
{
    if (!o || !assertWriteEnabled()) return;
    color_ = o->color_;
    layer_ = o->layer_;
    linetype_ = o->linetype_;
    ltScale_ = o->ltScale_;
    transparency_ = o->transparency_;
    lineWeight_ = o->lineWeight_;
}

OdResult OdDbEntity::getGeomExtents(OdGeExtents3d&) const { return eInvalidExtents; }

OdResult OdDbEntity::transformBy(const OdGeMatrix3d& m)
{
    if (int s = standin::TakeHostFault("transformBy")) return (OdResult)s;
    if (!isWriteEnabled()) return eNotOpenForWrite;
    OdResult res = subTransformBy(m);
    if (res == eOk) {
        assertWriteEnabled();
        TransformXData(xDataInPlace(), m);
        TransformKeptXData(keptRecord(), m);
        MoveKeptPlanePoints(this, keptRecord(), m);
        standin::MoveKeptPositions(this, keptRecord(), m);
    }
    return res;
}

OdResult OdDbEntity::getTransformedCopy(const OdGeMatrix3d& m, OdDbEntity*& copy) const
{
    copy = clone();
    if (!copy) return eNotApplicable;
    OdResult res = copy->subTransformBy(m);
    if (res != eOk) {
        delete copy;
        copy = nullptr;
    } else {
        TransformXData(copy->xDataInPlace(), m);
        TransformKeptXData(copy->keptRecord(), m);
        MoveKeptPlanePoints(copy, copy->keptRecord(), m);
        standin::MoveKeptPositions(copy, copy->keptRecord(), m);
    }
    return res;
}

OdResult OdDbEntity::explode(OdDbVoidPtrArray&) const { return eNotApplicable; }

// ---- curves ----

OdResult OdDbCurve::getStartPoint(OdGePoint3d& p) const
{
    double t;
    getStartParam(t);
    return getPointAtParam(t, p);
}

OdResult OdDbCurve::getEndPoint(OdGePoint3d& p) const
{
    double t;
    getEndParam(t);
    return getPointAtParam(t, p);
}

namespace {
const int kSteps = 2048;
}

OdResult OdDbCurve::getDistAtParam(double param, double& dist) const
{
    double t0, t1;
    getStartParam(t0);
    getEndParam(t1);
    if (param < t0 - 1e-12 || param > t1 + 1e-12) return eInvalidInput;
    dist = 0;
    OdGePoint3d prev, cur;
    getPointAtParam(t0, prev);
    for (int i = 1; i <= kSteps; ++i) {
        getPointAtParam(t0 + (param - t0) * i / kSteps, cur);
        dist += prev.distanceTo(cur);
        prev = cur;
    }
    return eOk;
}

OdResult OdDbCurve::getParamAtDist(double dist, double& param) const
{
    double t0, t1, total;
    getStartParam(t0);
    getEndParam(t1);
    getDistAtParam(t1, total);
    if (dist < -1e-9 || dist > total + 1e-9) return eInvalidInput;
    double lo = t0, hi = t1;
    for (int i = 0; i < 60; ++i) {
        double mid = (lo + hi) / 2, d;
        getDistAtParam(mid, d);
        (d < dist ? lo : hi) = mid;
    }
    param = (lo + hi) / 2;
    return eOk;
}

OdResult OdDbCurve::getClosestPointTo(const OdGePoint3d& given, OdGePoint3d& p, bool) const
{
    double t0, t1;
    getStartParam(t0);
    getEndParam(t1);
    double best = 1e300, bestT = t0;
    OdGePoint3d q;
    for (int i = 0; i <= kSteps; ++i) {
        double t = t0 + (t1 - t0) * i / kSteps;
        getPointAtParam(t, q);
        if (q.distanceTo(given) < best) {
            best = q.distanceTo(given);
            bestT = t;
        }
    }
    double h = (t1 - t0) / kSteps;
    double lo = std::max(t0, bestT - h), hi = std::min(t1, bestT + h);
    for (int i = 0; i < 80; ++i) {
        double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
        OdGePoint3d pa, pb;
        getPointAtParam(a, pa);
        getPointAtParam(b, pb);
        if (pa.distanceTo(given) < pb.distanceTo(given)) hi = b;
        else lo = a;
    }
    return getPointAtParam((lo + hi) / 2, p);
}

OdResult OdDbCurve::getPointAtDist(double dist, OdGePoint3d& p) const
{
    double t;
    OdResult res = getParamAtDist(dist, t);
    return res != eOk ? res : getPointAtParam(t, p);
}

OdResult OdDbCurve::getDistAtPoint(const OdGePoint3d& p, double& dist) const
{
    OdGePoint3d q;
    getClosestPointTo(p, q);
    if (q.distanceTo(p) > 1e-6) return eInvalidInput;
    double t0, t1;
    getStartParam(t0);
    getEndParam(t1);
    // Nearest parameter by sampling, then the distance there.
    double best = 1e300, bestT = t0;
    for (int i = 0; i <= kSteps; ++i) {
        double t = t0 + (t1 - t0) * i / kSteps;
        OdGePoint3d s;
        getPointAtParam(t, s);
        if (s.distanceTo(p) < best) {
            best = s.distanceTo(p);
            bestT = t;
        }
    }
    return getDistAtParam(bestT, dist);
}
