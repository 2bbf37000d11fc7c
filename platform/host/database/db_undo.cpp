#include "db_undo.h"

#include "oddbblockreference.h"
#include "oddbdictionary.h"
#include "oddbentity.h"
#include "oddbproxy.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"

namespace {

// A copy of `o` when it is a T itself, not of a class derived from it: the
// state put back must be of the very class of the object.
template <class T>
OdDbObject* CopyIfA(const OdDbObject* o)
{
    return o->isA() == T::desc() ? new T(*static_cast<const T*>(o)) : nullptr;
}

}  // namespace

namespace standin {

OdDbObject* StateCopy(const OdDbObject* o)
{
    OdDbObject* copy = nullptr;
    if (auto* e = OdRxCast<OdDbEntity>(const_cast<OdDbObject*>(o))) {
        copy = e->clone();
    } else if (o->isA() == OdDbBlockTableRecord::desc()) {
        // A block's entities may be many; a step only appends to them.
        copy = new OdDbBlockTableRecord(*static_cast<const OdDbBlockTableRecord*>(o),
                                        OdDbBlockTableRecord::KeepListPrefix());
    } else {
        static OdDbObject* (*const kCopies[])(const OdDbObject*) = {
            CopyIfA<OdDbXrecord>,          CopyIfA<OdDbDictionary>,           CopyIfA<OdDbLayerTableRecord>,
            CopyIfA<OdDbLinetypeTableRecord>,  CopyIfA<OdDbTextStyleTableRecord>,
            CopyIfA<OdDbViewTableRecord>,  CopyIfA<OdDbViewportTableRecord>,  CopyIfA<OdDbRegAppTableRecord>,
            CopyIfA<OdDbDimStyleTableRecord>, CopyIfA<OdDbUCSTableRecord>,    CopyIfA<OdDbSortentsTable>,
            CopyIfA<OdDbRasterImageDef>,   CopyIfA<OdDbProxyObject>,          CopyIfA<OdDbBlockTable>,
            CopyIfA<OdDbLayerTable>,       CopyIfA<OdDbLinetypeTable>,        CopyIfA<OdDbTextStyleTable>,
            CopyIfA<OdDbViewTable>,        CopyIfA<OdDbViewportTable>,        CopyIfA<OdDbRegAppTable>,
            CopyIfA<OdDbDimStyleTable>,    CopyIfA<OdDbUCSTable>};
        for (auto copyIf : kCopies)
            if ((copy = copyIf(o))) break;
    }
    if (copy) {
        o->copyTiesTo(*copy);
        // What owns it is part of its state: a command may move it to
        // another dictionary.
        copy->setOwnerId(o->ownerId());
    }
    return copy;
}

}  // namespace standin
