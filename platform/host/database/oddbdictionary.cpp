#include "oddbdictionary.h"

#include <algorithm>

#include "dxf_kept.h"
#include "oddbdatabase.h"
#include "oddbproxy.h"
#include "hostdb_control.h"

ODRX_DEFINE_MEMBERS(OdDbDictionary, OdDbObject, L"AcDbDictionary")
ODRX_DEFINE_MEMBERS(OdDbXrecord, OdDbObject, L"AcDbXrecord")

OdResBuf* OdResBuf::newRb(int restype, const OdString& s)
{
    auto* rb = new OdResBuf(restype);
    rb->setString(s);
    return rb;
}

OdResBuf* OdResBuf::newRb(int restype, int32_t v)
{
    auto* rb = new OdResBuf(restype);
    rb->setInt32(v);
    return rb;
}

OdResBuf* OdResBuf::newRb(int restype, double v)
{
    auto* rb = new OdResBuf(restype);
    rb->setDouble(v);
    return rb;
}

void OdResBuf::releaseChain(OdResBuf* chain)
{
    while (chain) {
        OdResBuf* next = chain->next_;
        delete chain;
        chain = next;
    }
}

OdResBuf* OdResBuf::copyChain(const OdResBuf* chain)
{
    OdResBuf* head = nullptr;
    OdResBuf* tail = nullptr;
    for (; chain; chain = chain->next_) {
        auto* rb = new OdResBuf(*chain);
        rb->next_ = nullptr;
        if (tail) tail->next_ = rb;
        else head = rb;
        tail = rb;
    }
    return head;
}

OdResBuf* OdResBuf::last()
{
    OdResBuf* rb = this;
    while (rb->next_) rb = rb->next_;
    return rb;
}

int OdDbDictionary::find(const OdString& key) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].first.iCompare(key) == 0) return (int)i;
    return -1;
}

OdResult OdDbDictionary::getAt(const OdString& key, OdDbObjectId& id) const
{
    int i = find(key);
    id = i < 0 ? OdDbObjectId() : entries_[(size_t)i].second;
    return i < 0 ? eKeyNotFound : eOk;
}

bool OdDbDictionary::has(const OdString& key) const { return find(key) >= 0; }

bool OdDbDictionary::has(OdDbObjectId id) const
{
    for (const auto& e : entries_)
        if (e.second == id) return true;
    return false;
}

OdResult OdDbDictionary::setAt(const OdString& key, OdDbObject* obj, OdDbObjectId& id)
{
    id = OdDbObjectId();
    if (!obj || key.isEmpty()) return eInvalidInput;
    if (!isWriteEnabled()) return eNotOpenForWrite;
    if (!database()) return eNotInDatabase;
    if (int s = standin::TakeHostFault("setAt")) return (OdResult)s;
    assertWriteEnabled();
    int i = find(key);
    if (i >= 0) {
        OdDbObject* old = nullptr;
        if (oddbOpenObject(old, entries_[(size_t)i].second, OdDb::kForWrite) == eOk) {
            old->erase();
            old->close();
        }
        entries_.erase(entries_.begin() + i);
    }
    if (obj->isNewObject()) {
        id = database()->addOdDbObject(obj, objectId());
    } else {
        id = obj->objectId();
        obj->setOwnerId(objectId());
    }
    entries_.emplace_back(key, id);
    return eOk;
}

OdResult OdDbDictionary::remove(const OdString& key)
{
    OdDbObjectId id;
    return remove(key, id);
}

OdResult OdDbDictionary::remove(const OdString& key, OdDbObjectId& id)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    int i = find(key);
    if (i < 0) return eKeyNotFound;
    id = entries_[(size_t)i].second;
    entries_.erase(entries_.begin() + i);
    return eOk;
}

OdDbDictionaryIterator* OdDbDictionary::newIterator() const { return new OdDbDictionaryIterator(this); }

OdDbDictionaryIterator::OdDbDictionaryIterator(const OdDbDictionary* dict)
    : entries_(dict->entries_)
{
}

int OdDbDictionary::copyEntriesFrom(const OdDbDictionary* from)
{
    if (!from || !isWriteEnabled() || !database()) return from ? from->numEntries() : 0;
    const standin::DxfKept* fromKept = from->keptRecord();
    int notCopied = 0;
    for (const auto& [key, sourceId] : from->entries_) {
        OdDbObject* source = nullptr;
        if (oddbOpenObject(source, sourceId, OdDb::kForRead) != eOk) {
            ++notCopied;
            continue;
        }
        OdDbObject* copy = nullptr;
        auto* dict = OdRxCast<OdDbDictionary>(source);
        if (auto* x = OdRxCast<OdDbXrecord>(source)) {
            copy = new OdDbXrecord(*x);
        } else if (dict) {
            auto* d = new OdDbDictionary(*dict);
            d->entries_.clear();
            if (standin::DxfKept* k = d->keptRecord()) k->hardOwned.clear();
            copy = d;
        } else if (auto* p = OdRxCast<OdDbProxyObject>(source)) {
            copy = new OdDbProxyObject(*p);
        }
        OdDbObjectId id;
        if (!copy || setAt(key, copy, id) != eOk) {
            delete copy;
            source->close();
            ++notCopied;
            continue;
        }
        if (fromKept && std::find(fromKept->hardOwned.begin(), fromKept->hardOwned.end(), sourceId) !=
                            fromKept->hardOwned.end()) {
            if (!keptRecord()) setKeptRecord(new standin::DxfKept());
            keptRecord()->hardOwned.push_back(id);
        }
        // A default that is one of the entries is the copy's own entry.
        if (fromKept && fromKept->defaultEntry == sourceId && keptRecord()) keptRecord()->defaultEntry = id;
        if (dict) notCopied += static_cast<OdDbDictionary*>(copy)->copyEntriesFrom(dict);
        copy->close();
        source->close();
    }
    return notCopied;
}

OdDbXrecord::OdDbXrecord(const OdDbXrecord& o) : OdDbObject(o), chain_(OdResBuf::copyChain(o.chain_)) {}

OdDbXrecord::~OdDbXrecord() { OdResBuf::releaseChain(chain_); }

OdResult OdDbXrecord::setFromRbChain(const OdResBuf* chain)
{
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    OdResBuf::releaseChain(chain_);
    chain_ = OdResBuf::copyChain(chain);
    return eOk;
}
