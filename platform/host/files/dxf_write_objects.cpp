// Drawing files: the objects section of a file written (dictionaries,
// Xrecords, image definitions, draw orders, objects kept whole).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_out.h"
#include "dxf_record_codes.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

void DxfOut::xrecordData(const OdResBuf* rb)
{
    for (; rb; rb = rb->next()) {
        int code = rb->restype();
        Kind kind;
        // Code 0 would end the record; codes the file form does not know
        // cannot be stored.
        // A file's value as it wrote it, whatever its code (but one that
        // would end the record or read as a comment).
        if (DxfAccess::asWritten(rb) && code != 0 && code != 999) {
            text(code, rb->getString().str());
            continue;
        }
        if (code <= 0 || code > 1071 || !KindOfCode(code, kind) || code == 999) continue;
        bool pointCode = (code >= 10 && code <= 18) || (code >= 1010 && code <= 1013);
        switch (kind) {
        case Kind::kText: text(code, rb->getString().str()); break;
        case Kind::kReal:
            if (pointCode) point(code, rb->getPoint3d());
            else real(code, rb->getDouble());
            break;
        case Kind::kInt: integer(code, FileInteger(rb)); break;
        case Kind::kHandle: handle(code, handleOf(rb->getObjectId())); break;
        }
    }
}

void DxfOut::objects()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "OBJECTS");
    std::vector<const OdDbObject*> list;
    for (const OdDbObject* o : out_)
        if (IsWrittenObject(o)) list.push_back(o);
    // The named-objects dictionary comes first, as readers expect.
    std::stable_partition(list.begin(), list.end(),
                          [this](const OdDbObject* o) { return o->objectId() == db_->getNamedObjectsDictionaryId(); });
    for (const OdDbObject* o : list) {
        auto* mo = const_cast<OdDbObject*>(o);
        if (auto* d = OdRxCast<OdDbDictionary>(mo)) {
            using C = DictionaryCodes;
            begin("DICTIONARY", o, o->ownerId());
            marker(C::kMarker);
            if (d->isTreatElementsAsHard()) integer(C::kHardOwner, 1);
            const DxfKept* k = DxfAccess::kept(d);
            std::unordered_set<OdDbObjectId, ObjectIdHash> hard;
            if (k) hard.insert(k->hardOwned.begin(), k->hardOwned.end());
            for (const auto& [key, id] : DxfAccess::entries(d)) {
                if (!written(id)) continue;
                text(C::kKey, key.str());
                handle(hard.count(id) ? C::kHardEntry : C::kEntry, id.getHandle());
            }
            softInteger(C::kCloning, 1);
            if (rec_.type == "ACDBDICTIONARYWDFLT") {
                marker(DictionaryWithDefaultCodes::kMarker);
                if (k && written(k->defaultEntry))
                    handle(DictionaryWithDefaultCodes::kDefault, k->defaultEntry.getHandle());
            }
        } else if (auto* x = OdRxCast<OdDbXrecord>(mo)) {
            begin("XRECORD", o, o->ownerId());
            marker(XrecordCodes::kMarker);
            // A file's data need not start with the cloning flag: none is
            // added while the record has the one that means.
            if (!(rec_.kept && (rec_.kept->flags & kNoCloningFlag) && x->mergeStyle() == 1))
                integer(XrecordCodes::kCloning, x->mergeStyle());
            xrecordData(DxfAccess::chain(x));
        } else if (auto* def = OdRxCast<OdDbRasterImageDef>(mo)) {
            OdGeVector2d size = def->size();
            if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
            using C = ImageDefCodes;
            begin("IMAGEDEF", o, o->ownerId());
            marker(C::kMarker);
            text(C::kFileName, def->sourceFileName().str());
            point2(C::kSize, size.x, size.y);
            integer(C::kLoaded, def->isLoaded() ? 1 : 0);
            softInteger(C::kVersion, 0);
            if (!keptHas(C::kPixelSize)) w_.point2(C::kPixelSize, 1, 1);
            softInteger(C::kUnits, 0);
        } else if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o)) {
            std::string type(f->dxfName.begin(), f->dxfName.end());
            begin(type, o, o->ownerId());
            markKeptWhole(false);
        } else if (auto* st = OdRxCast<OdDbSortentsTable>(mo)) {
            using C = SortentsCodes;
            begin("SORTENTSTABLE", o, o->ownerId());
            marker(C::kMarker);
            handle(C::kBlock, handleOf(st->blockId()));
            // The whole draw order: the entities' own handles, sorted, given
            // out in drawing order as their sort handles.
            OdDbObjectIdArray order;
            st->getFullDrawOrder(order);
            const DxfKept* k = DxfAccess::kept(st);
            if (k && !k->sortHandles.empty() && k->sortOrder == order) {
                // Unchanged since it was read: the file's own sort handles.
                for (const auto& [id, sortHandle] : k->sortHandles)
                    if (written(id)) {
                        handle(C::kEntity, id.getHandle());
                        handle(C::kSortHandle, sortHandle);
                    }
                continue;
            }
            std::vector<uint64_t> handles;
            for (const auto& id : order)
                if (written(id)) handles.push_back(id.getHandle());
            std::vector<uint64_t> sorted = handles;
            std::sort(sorted.begin(), sorted.end());
            for (size_t i = 0; i < handles.size(); ++i) {
                handle(C::kEntity, handles[i]);
                handle(C::kSortHandle, sorted[i]);
            }
        }
    }
    close();
    w_.ascii(0, "ENDSEC");
}

}  // namespace dxf
}  // namespace standin
