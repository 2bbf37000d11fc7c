// Drawing files: the objects section of a file read (dictionaries,
// Xrecords, image definitions, draw orders); other kinds are kept whole.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_loader.h"
#include "dxf_record_codes.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"

namespace standin {
namespace dxf {

void Loader::readObjects()
{
    std::vector<OdDbObjectId> ownerless;
    for (const auto& r : objects_) {
        bool xrecord = r.type == "XRECORD";
        View v = view(r, expected(r, false), xrecord);
        if (r.type == "DICTIONARY" || r.type == "ACDBDICTIONARYWDFLT") {
            using C = DictionaryCodes;
            auto* d = new OdDbDictionary();
            d->setTreatElementsAsHard(v.integer(C::kHardOwner, 0) != 0);
            OdDbObjectId id = place(d, v, OdDbObjectId());
            if (v.owner() == 0) ownerless.push_back(id);
            // Entries: a key and the object it names (index of the key).
            // One refused goes back where it stands: gathered with the
            // others where the writer writes entries, a lone key and a
            // lone handle the file kept apart would meet and read back as
            // an entry.
            std::vector<std::pair<size_t, uint64_t>> entries;
            std::vector<size_t> hard;
            for (size_t k = v.begin(); k < v.end(); ++k) {
                auto isEntry = [](int code) { return code == C::kEntry || code == C::kHardEntry; };
                const int code = v.at(k).code;
                if (!v.readable(k) || (code != C::kKey && !isEntry(code))) continue;
                if (code == C::kKey && k + 1 < v.end() && v.readable(k + 1) && isEntry(v.at(k + 1).code)) {
                    entries.emplace_back(k, v.at(k + 1).handle);
                    if (v.at(k + 1).code == C::kHardEntry) hard.push_back(k + 1);
                    v.take(k);
                    v.take(++k);
                } else {
                    v.refuse(&v.at(k));  // a key or an object without the other half
                    state_[k] |= kInPlace;
                }
            }
            // A dictionary with a default: the object it names, wherever
            // the record gives it.
            size_t defaultAt = SIZE_MAX;
            if (r.type == "ACDBDICTIONARYWDFLT") {
                using W = DictionaryWithDefaultCodes;
                const Group* x = v.find(W::kDefault, W::kMarker);
                if (x && x->kind == Kind::kHandle) defaultAt = v.indexOf(x);
                else v.refuse(x);
            }
            // Objects name their owners themselves: the dictionary owns the
            // entries that name none it has.
            adoptions_.push_back([this, d, entries, hard, defaultAt] {
                // A default that names nothing the file holds goes back as read.
                if (defaultAt != SIZE_MAX) {
                    if (OdDbObjectId e = idAt(defaultAt, g_[defaultAt].handle); !e.isNull()) keptOf(d).defaultEntry = e;
                    else state_[defaultAt] |= kRefused;
                }
                for (size_t at : hard)
                    if (OdDbObjectId e = idAt(at, g_[at].handle); !e.isNull()) keptOf(d).hardOwned.push_back(e);
                std::set<std::wstring> keys;  // keys compare without case
                for (const auto& [at, h] : entries) {
                    const std::wstring key = codec_.decode(g_[at].text);
                    OdDbObjectId e = idAt(at + 1, h);
                    // The named-objects dictionary is the root: no entry.
                    // An entry the dictionary cannot hold goes back as read.
                    if (key.empty() || e.isNull() || e == d->objectId() || e == roots_.nod ||
                        !keys.insert(Lower(key)).second) {
                        state_[at] |= kRefused | kInPlace;
                        state_[at + 1] |= kRefused | kInPlace;
                        continue;
                    }
                    DxfAccess::addEntry(d, key, e);
                    if (obj(e)->ownerId().isNull()) DxfAccess::setOwner(obj(e), d->objectId());
                }
            });
        } else if (xrecord) {
            auto* x = new OdDbXrecord();
            // The data: every group after the subclass marker and the
            // cloning flag, points gathered from their coordinates.
            size_t k = r.e;
            for (size_t i = r.b; i < r.e; ++i)
                if (g_[i].code == 100 && TrimView(g_[i].text) == XrecordCodes::kMarker) {
                    k = i + 1;
                    break;
                }
            // Without its marker, the data follows the head.
            for (size_t i = r.b; i < r.e && k == r.e; ++i)
                if ((state_[i] & kClassMask) != kFrame) k = i;
            if (k < r.e && g_[k].code == XrecordCodes::kCloning && !g_[k].unreadable)
                x->setMergeStyle((int)g_[k++].integer);
            else keptFlags_ = kNoCloningFlag;
            place(x, v, OdDbObjectId());
            size_t from = k, to = r.e;
            fixups_.push_back([this, x, from, to] {
                OdResBuf head;
                OdResBuf* tail = &head;
                auto readable = [this](size_t i) { return (state_[i] & kClassMask) == kObjectValue; };
                for (size_t i = from; i < to; ++i) {
                    if (!readable(i)) continue;
                    const int code = g_[i].code;
                    bool pointCode = (code >= 10 && code <= 18) || (code >= 1010 && code <= 1013);
                    tail = tail->setNext(dataItem(i, to, pointCode, readable))->last();
                }
                DxfAccess::setChain(x, head.next());
                OdResBuf::releaseChain(head.next());
            });
        } else if (r.type == "IMAGEDEF") {
            using C = ImageDefCodes;
            auto* d = new OdDbRasterImageDef();
            d->setSourceFileName(v.text(C::kFileName));
            double w = v.real(C::kSize, 0), h = v.real(C::kSize + 10, 0);
            DxfAccess::setImageDef(d, v.integer(C::kLoaded, 0) != 0, OdGeVector2d(w >= 1 ? w : 0, h >= 1 ? h : 0));
            place(d, v, OdDbObjectId());
        } else if (r.type == "SORTENTSTABLE") {
            auto* t = new OdDbSortentsTable();
            place(t, v, OdDbObjectId());
            using C = SortentsCodes;
            uint64_t block = v.ref(C::kBlock, C::kMarker);
            // (entity, sort handle, index of the pair)
            std::vector<std::tuple<uint64_t, uint64_t, size_t>> pairs;
            size_t from = v.subclassStart(C::kMarker);
            for (size_t k = from; k + 1 < v.end(); ++k)
                if (v.readable(k) && v.readable(k + 1) && v.at(k).code == C::kEntity &&
                    v.at(k + 1).code == C::kSortHandle) {
                    pairs.emplace_back(v.at(k).handle, v.at(k + 1).handle, k);
                    v.take(k);
                    v.take(++k);
                }
            fixups_.push_back([this, t, block, pairs] {
                auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(block)));
                // Pairs naming no entity of the block go back as read.
                for (const auto& [e, s, at] : pairs)
                    if (!btr || obj(idOf(e)) == nullptr || obj(idOf(e))->ownerId() != btr->objectId()) {
                        state_[at] |= kRefused;
                        state_[at + 1] |= kRefused;
                    }
                if (!btr) return;
                // Each entity sorts by its sort handle, its own handle when
                // the table gives none; equal ones keep their block order.
                std::map<uint64_t, uint64_t> sortOf;
                for (const auto& [e, s, at] : pairs) sortOf[e] = s;
                std::vector<std::pair<uint64_t, OdDbObjectId>> keyed;
                for (const auto& id : btr->entityIds()) {
                    auto it = sortOf.find(id.getHandle());
                    keyed.emplace_back(it == sortOf.end() ? (uint64_t)id.getHandle() : it->second, id);
                }
                std::stable_sort(keyed.begin(), keyed.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                OdDbObjectIdArray order;
                for (const auto& k : keyed) order.append(k.second);
                DxfAccess::setSortents(t, btr->objectId(), order);
                // The file's own sort handles go back while the order holds.
                DxfKept& kept = keptOf(t);
                for (const auto& [e, s, at] : pairs)
                    if (OdDbObjectId id = idOf(e); !(state_[at] & kRefused)) kept.sortHandles.emplace_back(id, s);
                t->getFullDrawOrder(kept.sortOrder);
            });
        } else {
            // Objects of kinds the database does not know are kept whole.
            auto* p = new OdDbProxyObject();
            DxfAccess::fileRecord(p).dxfName = std::wstring(r.type.begin(), r.type.end());
            DxfAccess::fileRecord(p).fromFile = true;
            place(p, v, OdDbObjectId());
        }
    }
    // The root is the first dictionary without an owner that no record
    // names as its extension dictionary.
    std::unordered_set<OdDbObjectId, ObjectIdHash> claimed;
    for (uint64_t h : xdicts_) claimed.insert(idOf(h));
    for (OdDbObjectId id : ownerless)
        if (!claimed.count(id)) {
            roots_.nod = id;
            break;
        }
}

}  // namespace dxf
}  // namespace standin
