// Drawing files (stand-in internals): the stored state of the objects that
// a file carries but the host's interface does not set, such as handles,
// owners and the members of containers. Only dxf_read.cpp and
// dxf_write.cpp use it.
#pragma once

#include <cwctype>

#include "dxf_kept.h"
#include "mostly_sorted.h"
#include "oddbblockreference.h"
#include "oddbcurves.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "oddbdatabase.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbproxy.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"

namespace standin {

struct DxfAccess {
    static OdDbObject* object(OdDbObjectId id) { return id.isValid() ? id.stub()->object : nullptr; }
    static const OdDbObjectIdArray& reactors(const OdDbObject* o) { return o->reactors_; }
    static const std::vector<OdDbObjectId>& records(const OdDbSymbolTable* t) { return t->records_; }
    static const std::vector<std::pair<OdString, OdDbObjectId>>& entries(const OdDbDictionary* d)
    {
        return d->entries_;
    }
    static const OdResBuf* chain(const OdDbXrecord* x) { return x->chain_; }
    // An integer as a file gave it: one of its range written unsigned (a
    // 16-bit 65535) reads as the host's type does (-1) and goes back as
    // the file wrote it.
    static void setFileInteger(OdResBuf* rb, int64_t v) { rb->i_ = v; }
    static int64_t fileInteger(const OdResBuf* rb) { return rb->i_; }
    // A value of a number's or a handle's code that is neither, held as
    // the file wrote it and written back so.
    static void setAsWritten(OdResBuf* rb, const OdString& text)
    {
        rb->s_ = text;
        rb->asWritten_ = true;
    }
    static bool asWritten(const OdResBuf* rb) { return rb->asWritten_; }
    static const OdDbObjectIdArray& attributes(const OdDbBlockReference* r) { return r->attributes_; }
    static const OdGeDoubleArray& weights(const OdDbSpline* s) { return s->weights_; }
    static const OdGePoint3dArray& fitPoints(const OdDbSpline* s) { return s->fit_; }
    static OdDbProxyFileRecord& fileRecord(OdDbProxyEntity* e) { return e->file_; }
    static OdDbProxyFileRecord& fileRecord(OdDbProxyObject* o) { return o->file_; }
    static const OdDbProxyFileRecord* fileRecordOf(const OdDbObject* o)
    {
        if (auto* e = OdRxCast<OdDbProxyEntity>(const_cast<OdDbObject*>(o))) return &e->file_;
        if (auto* p = OdRxCast<OdDbProxyObject>(const_cast<OdDbObject*>(o))) return &p->file_;
        return nullptr;
    }
    static const OdDbObjectIdArray& loopIds(const OdDbHatch* h, int loop) { return h->loops_[(size_t)loop].ids; }
    static bool loopClosed(const OdDbHatch* h, int loop) { return h->loops_[(size_t)loop].closed; }
    static const std::vector<OdDbHatch::SplineFit>& loopFits(const OdDbHatch* h, int loop)
    {
        return h->loops_[(size_t)loop].fits;
    }
    // A loop of edges as the file gave them, joined or not.
    static void appendLoopAsRead(OdDbHatch* h, int type, const std::vector<OdGeCurve2d*>& edges,
                                 const OdGeIntArray& types, std::vector<OdDbHatch::SplineFit> fits)
    {
        OdDbHatch::Loop l;
        l.type = type & ~OdDbHatch::kPolyline;
        for (auto* e : edges) l.edges.push_back(e->copy());
        l.edgeTypes = types;
        l.fits = std::move(fits);
        h->loops_.push_back(std::move(l));
    }
    static void setLoopClosed(OdDbHatch* h, int loop, bool closed) { h->loops_[(size_t)loop].closed = closed; }

    // What an object keeps of its record, and its extended data.
    static DxfKept* kept(const OdDbObject* o) { return o->kept_; }
    static void setKept(OdDbObject* o, DxfKept* k)
    {
        DeleteKept(o->kept_);
        o->kept_ = k;
    }
    static const OdResBuf* xdata(const OdDbObject* o) { return o->xdata_; }
    static void setXData(OdDbObject* o, const OdResBuf* chain)
    {
        OdResBuf::releaseChain(o->xdata_);
        o->xdata_ = OdResBuf::copyChain(chain);
    }
    static void takeXData(OdDbObject* o, OdResBuf* chain)
    {
        OdResBuf::releaseChain(o->xdata_);
        o->xdata_ = chain;
    }
    static DxfFileKept* fileKept(const OdDbDatabase* db) { return db->fileKept_; }
    static void setFileKept(OdDbDatabase* db, DxfFileKept* k)
    {
        delete db->fileKept_;
        db->fileKept_ = k;
    }
    static int fileFlags(const OdDbSymbolTableRecord* r) { return r->fileFlags_; }
    static void setFileFlags(OdDbSymbolTableRecord* r, int f) { r->fileFlags_ = f; }
    static void setLineWeight(OdDbEntity* e, int w) { e->lineWeight_ = (OdDb::LineWeight)w; }
    static int splineFlags(const OdDbSpline* s) { return s->fileFlags_; }
    static bool splineFitOnly(const OdDbSpline* s) { return s->fitOnly_; }
    static void setSplineFile(OdDbSpline* s, int flags, bool fitOnly, int fitDegree = 0)
    {
        s->fileFlags_ = flags;
        s->fitOnly_ = fitOnly;
        s->fitDegree_ = fitDegree;
    }
    static int splineFitDegree(const OdDbSpline* s) { return s->fitDegree_; }
    static void setEllipseParams(OdDbEllipse* e, double t0, double t1, const OdGeVector3d& normal)
    {
        e->fileParams_ = {true, e->ratio_, e->a0_, e->a1_, t0, t1, normal, e->n_};
    }
    // The parameters a file gave an ellipse, while it has the shape read
    // from them: an end before the start (or past a turn from it) means the
    // same arc as the one a turn on, and goes back as given.
    static bool ellipseFileParams(const OdDbEllipse* e, double& t0, double& t1)
    {
        if (!e->hasFileParams()) return false;
        t0 = e->fileParams_.t0;
        t1 = e->fileParams_.t1;
        return true;
    }
    // The normal a file gave an ellipse, while it has the one read from it.
    static OdGeVector3d ellipseNormal(const OdDbEllipse* e)
    {
        const OdGeVector3d& u = e->fileParams_.unit;
        return e->fileParams_.given && u.x == e->n_.x && u.y == e->n_.y && u.z == e->n_.z ? e->fileParams_.normal
                                                                                          : e->n_;
    }
    // A normal a file gave of a length other than 1, with the unit one the
    // entity was given; the file's is written while the entity has that.
    static void setFileNormal(OdDbEntity* e, const OdGeVector3d& given, const OdGeVector3d& unit)
    {
        const bool differs = given.x != unit.x || given.y != unit.y || given.z != unit.z;
        if (differs && std::isfinite(given.x) && std::isfinite(given.y) && std::isfinite(given.z) && !given.isZeroLength())
            e->fileNormal_ = std::make_shared<const OdDbEntity::FileNormal>(OdDbEntity::FileNormal{given, unit});
    }
    static bool hasFileNormal(const OdDbEntity* e, const OdGeVector3d& now)
    {
        if (!e->fileNormal_) return false;
        const OdGeVector3d& u = e->fileNormal_->unit;
        return u.x == now.x && u.y == now.y && u.z == now.z;
    }
    static OdGeVector3d fileNormal(const OdDbEntity* e, const OdGeVector3d& now)
    {
        return hasFileNormal(e, now) ? e->fileNormal_->given : now;
    }
    static void setArcFileAngles(OdDbArc* a, double degrees0, double degrees1)
    {
        a->fileAngles_ = {true, degrees0, degrees1, a->a0_, a->a1_};
    }
    // An arc's angles in degrees, as the file gave them while it has them.
    static double arcStartDegrees(const OdDbArc* a, double otherwise)
    {
        return a->fileAngles_.set && a->fileAngles_.a0 == a->a0_ ? a->fileAngles_.degrees0 : otherwise;
    }
    static double arcEndDegrees(const OdDbArc* a, double otherwise)
    {
        return a->fileAngles_.set && a->fileAngles_.a1 == a->a1_ ? a->fileAngles_.degrees1 : otherwise;
    }
    static void setImageClipping(OdDbRasterImage* i, int clipping) { i->clipping_ = clipping; }
    static bool imageFromFile(const OdDbRasterImage* i) { return i->clipping_ >= 0; }
    static int imageClipping(const OdDbRasterImage* i)
    {
        return i->clipping_ >= 0 ? i->clipping_ : i->isSetDisplayOpt(OdDbRasterImage::kClip) ? 1 : 0;
    }
    static std::vector<OdDbMline::Segment>& mlineSegments(OdDbMline* m) { return m->segments_; }
    static const std::vector<OdDbMline::Segment>& mlineSegments(const OdDbMline* m) { return m->segments_; }
    static OdString& mlineStyleName(OdDbMline* m) { return m->styleName_; }
    static const OdString& mlineStyleName(const OdDbMline* m) { return m->styleName_; }
    static void setMlineStyle(OdDbMline* m, OdDbObjectId id) { m->style_ = id; }
    static void setShapeStyle(OdDbLinetypeTableRecord* lt, int dash, OdDbObjectId id)
    {
        lt->dashes_[(size_t)dash].style = id;
    }
    // Texts whole, as the file gave them: the interface's setters take
    // strings a NUL ends, and a file's text may hold one ("^@").
    static void setTextString(OdDbText* t, const std::wstring& s) { t->text_ = s; }
    static void setContents(OdDbMText* m, const std::wstring& s) { m->contents_ = s; }
    static void setDimensionText(OdDbDimension* d, const std::wstring& s) { d->text_ = s; }
    static void setPrompt(OdDbAttributeDefinition* d, const std::wstring& s) { d->prompt_ = s; }
    // Tags are kept in upper case, as the interface's setter keeps them.
    static void setTag(OdDbAttributeDefinition* d, const std::wstring& s) { d->tag_ = UpperTag(s); }
    static void setTag(OdDbAttribute* a, const std::wstring& s) { a->tag_ = UpperTag(s); }
    static std::wstring UpperTag(std::wstring s)
    {
        for (auto& c : s) c = (wchar_t)std::towupper(c);
        return s;
    }
    static void setMTextFill(OdDbMText* m, int flags) { m->fill_ = flags; }
    static int mtextFill(const OdDbMText* m) { return m->fill_; }
    static void setPolylineWidths(OdDbPolyline* p, unsigned i, double sw, double ew)
    {
        p->verts_[i].sw = sw;
        p->verts_[i].ew = ew;
    }

    // Adds a new object, closed, under the handle the file gave it (no
    // reactor hears of it: the drawing is being loaded).
    static OdDbObjectId add(OdDbDatabase* db, OdDbObject* o, uint64_t handle)
    {
        OdDbObjectId id = unplaced(db, o, handle);
        std::map<uint64_t, OdDbStub*>::iterator hint;
        place(db, id.stub(), hint, false);
        return id;
    }
    // The object's record under the file's handle, not yet among the
    // database's records by handle (none is looked up by handle while a
    // file is read): the file's records go there at once, in handle order
    // (`placeAll`), so that handles in no order cost no search each.
    static OdDbObjectId unplaced(OdDbDatabase* db, OdDbObject* o, uint64_t handle)
    {
        auto* stub = standin::NewStub(db, handle, o);
        stub->entity = OdRxCast<OdDbEntity>(o) != nullptr;
        stub->erased = o->erased_;
        o->stub_ = stub;
        return OdDbObjectId(stub);
    }
    // Places records made by `unplaced` (of handles no record has).
    template <class List>
    static void placeAll(OdDbDatabase* db, List& stubs)
    {
        SortMostlySorted(stubs, [](const OdDbStub* a, const OdDbStub* b) { return a->handle < b->handle; });
        std::map<uint64_t, OdDbStub*>::iterator hint;
        bool hinted = false;
        for (OdDbStub* stub : stubs) {
            place(db, stub, hint, hinted);
            hinted = true;
        }
    }
    static bool hasHandle(const OdDbDatabase* db, uint64_t handle)
    {
        // A file's handles mostly rise: one past the last is no object's.
        if (db->stubs_.empty() || db->stubs_.rbegin()->first < handle) return false;
        return db->stubs_.count(handle) != 0;
    }
    // Puts the record among the database's, after `hint` (the one placed
    // before it, when `hinted`) without a search where it goes there.
    static void place(OdDbDatabase* db, OdDbStub* stub, std::map<uint64_t, OdDbStub*>::iterator& hint, bool hinted)
    {
        auto& stubs = db->stubs_;
        const uint64_t handle = (uint64_t)stub->handle;
        auto at = stubs.end();
        if (hinted && hint->first < handle && (std::next(hint) == stubs.end() || std::next(hint)->first > handle))
            at = std::next(hint);
        else if (!stubs.empty() && stubs.rbegin()->first >= handle)
            at = stubs.lower_bound(handle);
        hint = stubs.emplace_hint(at, handle, stub);
    }
    // Every object's record in handle order, without making a list of them.
    template <class F>
    static void forEachStub(const OdDbDatabase* db, F f)
    {
        for (const auto& [h, stub] : db->stubs_) f(stub);
    }
    static bool isEmpty(const OdDbDatabase* db) { return db->stubs_.empty(); }
    // Raises the seed to h (0: past the last handle) while the file is read.
    static void raiseHandseed(OdDbDatabase* db, uint64_t h)
    {
        if (h - 1 > db->nextHandle_ - 1) db->nextHandle_ = h;
    }
    static uint64_t nextHandle(OdDbDatabase* db) { return db->takeHandle(); }
    static void setNextHandle(OdDbDatabase* db, uint64_t h) { db->nextHandle_ = h; }
    // The handles a file names that no object of the drawing has, which new
    // objects must not take (sorted).
    static void setReserved(OdDbDatabase* db, std::vector<uint64_t> handles) { db->reserved_ = std::move(handles); }
    static std::vector<uint64_t>& reserved(OdDbDatabase* db) { return db->reserved_; }

    static void setOwner(OdDbObject* o, OdDbObjectId id) { o->owner_ = id; }
    static void setExtensionDictionary(OdDbObject* o, OdDbObjectId id) { o->xdict_ = id; }
    // The caller makes sure the object has no such reactor yet.
    static void appendReactor(OdDbObject* o, OdDbObjectId id) { o->reactors_.append(id); }
    static void addRecord(OdDbSymbolTable* t, OdDbObjectId id) { t->records_.push_back(id); }
    static void addEntity(OdDbBlockTableRecord* b, OdDbObjectId id) { b->entities_.push_back(id); }
    static void addEntry(OdDbDictionary* d, const OdString& key, OdDbObjectId id) { d->entries_.emplace_back(key, id); }
    static void setChain(OdDbXrecord* x, const OdResBuf* chain)
    {
        OdResBuf::releaseChain(x->chain_);
        x->chain_ = OdResBuf::copyChain(chain);
    }
    static void addAttribute(OdDbBlockReference* r, OdDbObjectId id) { r->attributes_.append(id); }
    static void setSortents(OdDbSortentsTable* t, OdDbObjectId block, const OdDbObjectIdArray& order)
    {
        t->block_ = block;
        t->order_ = order;
    }
    static void setSplineData(OdDbSpline* s, const OdGeDoubleArray& weights, const OdGePoint3dArray& fit)
    {
        s->weights_ = weights;
        s->fit_ = fit;
    }
    static void setLoopIds(OdDbHatch* h, int loop, const OdDbObjectIdArray& ids) { h->loops_[(size_t)loop].ids = ids; }
    static void setOrigin(OdDbBlockTableRecord* b, const OdGePoint3d& p) { b->origin_ = p; }
    static void setImageDefId(OdDbRasterImage* i, OdDbObjectId def) { i->def_ = def; }
    static void markErased(OdDbObject* o)
    {
        o->erased_ = true;
        if (o->stub_) o->stub_->erased = true;
    }
    static void setImageDef(OdDbRasterImageDef* d, bool loaded, const OdGeVector2d& size)
    {
        d->loaded_ = loaded;
        d->size_ = size;
    }

    // The database's own records, set once a file has been read.
    struct Roots {
        OdDbObjectId blockTable, layerTable, linetypeTable, textStyleTable, viewTable, viewportTable, regAppTable,
            nod, modelSpace, ltByLayer, ltByBlock, ltContinuous, layerZero, clayer, textstyle, celtype,
            dimStyleTable, ucsTable, dimstyle;
    };
    static void setRoots(OdDbDatabase* db, const Roots& r)
    {
        db->blockTable_ = r.blockTable;
        db->layerTable_ = r.layerTable;
        db->linetypeTable_ = r.linetypeTable;
        db->textStyleTable_ = r.textStyleTable;
        db->viewTable_ = r.viewTable;
        db->viewportTable_ = r.viewportTable;
        db->regAppTable_ = r.regAppTable;
        db->nod_ = r.nod;
        db->modelSpace_ = r.modelSpace;
        db->ltByLayer_ = r.ltByLayer;
        db->ltByBlock_ = r.ltByBlock;
        db->ltContinuous_ = r.ltContinuous;
        db->layerZero_ = r.layerZero;
        db->clayer_ = r.clayer;
        db->textstyle_ = r.textstyle;
        db->celtype_ = r.celtype;
        db->dimStyleTable_ = r.dimStyleTable;
        db->ucsTable_ = r.ucsTable;
        db->dimstyle_ = r.dimstyle;
    }
};

}  // namespace standin
