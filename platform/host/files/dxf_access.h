// Drawing files (stand-in internals): the stored state of the objects that
// a file carries but the host's interface does not set, such as handles,
// owners and the members of containers. Only dxf_read.cpp and
// dxf_write.cpp use it.
#pragma once

#include "oddbblockreference.h"
#include "oddbcurves.h"
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

    // Adds a new object, closed, under the handle the file gave it (no
    // reactor hears of it: the drawing is being loaded).
    static OdDbObjectId add(OdDbDatabase* db, OdDbObject* o, uint64_t handle)
    {
        auto* stub = new OdDbStub{db, OdDbHandle(handle), o};
        db->stubs_[handle] = stub;
        o->stub_ = stub;
        if (handle >= db->nextHandle_) db->nextHandle_ = handle + 1;
        return OdDbObjectId(stub);
    }
    static bool hasHandle(const OdDbDatabase* db, uint64_t handle) { return db->stubs_.count(handle) != 0; }
    static bool isEmpty(const OdDbDatabase* db) { return db->stubs_.empty(); }
    static void setHandseed(OdDbDatabase* db, uint64_t h)
    {
        if (h > db->nextHandle_) db->nextHandle_ = h;
    }
    static uint64_t nextHandle(OdDbDatabase* db) { return db->nextHandle_++; }

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
    static void markErased(OdDbObject* o) { o->erased_ = true; }
    static void setImageDef(OdDbRasterImageDef* d, bool loaded, const OdGeVector2d& size)
    {
        d->loaded_ = loaded;
        d->size_ = size;
    }

    // The database's own records, set once a file has been read.
    struct Roots {
        OdDbObjectId blockTable, layerTable, linetypeTable, textStyleTable, viewTable, viewportTable, regAppTable,
            nod, modelSpace, ltByLayer, ltByBlock, ltContinuous, layerZero, clayer, textstyle, celtype;
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
    }
};

}  // namespace standin
