// Host SDK stand-in: dictionaries, Xrecords and result-buffer chains.
#pragma once

#include <utility>
#include <vector>

#include "oddbobject.h"
#include "odgegeometry.h"

// One item of a result-buffer chain. The group code says what it holds:
// 1..9 and 1000..1009 text, 10..18 points, 38..59 and 1040..1042 reals,
// 60..79 and 1070 16-bit integers, 90..99 and 1071 32-bit integers,
// 330..369 object ids.
class OdResBuf {
public:
    explicit OdResBuf(int restype = 5000) : type_(restype) {}
    static OdResBuf* newRb(int restype, const OdString& s);
    static OdResBuf* newRb(int restype, int32_t v);
    static OdResBuf* newRb(int restype, double v);
    // Frees every item of a chain.
    static void releaseChain(OdResBuf* chain);
    // A copy of the whole chain.
    static OdResBuf* copyChain(const OdResBuf* chain);

    int restype() const { return type_; }
    void setRestype(int t) { type_ = t; }
    OdString getString() const { return s_; }
    void setString(const OdString& s) { s_ = s; }
    int16_t getInt16() const { return (int16_t)i_; }
    void setInt16(int16_t v) { i_ = v; }
    int32_t getInt32() const { return (int32_t)i_; }
    void setInt32(int32_t v) { i_ = v; }
    double getDouble() const { return d_; }
    void setDouble(double v) { d_ = v; }
    OdGePoint3d getPoint3d() const { return p_; }
    void setPoint3d(const OdGePoint3d& p) { p_ = p; }
    OdDbObjectId getObjectId() const { return id_; }
    void setObjectId(OdDbObjectId id) { id_ = id; }

    OdResBuf* next() const { return next_; }
    // Links the item after this one; returns it.
    OdResBuf* setNext(OdResBuf* rb) { next_ = rb; return rb; }
    OdResBuf* last();

private:
    friend struct standin::DxfAccess;
    int type_;
    OdString s_;
    int64_t i_ = 0;
    double d_ = 0;
    OdGePoint3d p_;
    OdDbObjectId id_;
    // A file's value its code cannot hold, kept in the string as written.
    bool asWritten_ = false;
    OdResBuf* next_ = nullptr;
};

class OdDbDictionaryIterator;

class OdDbDictionary : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbDictionary)
    // Keys compare without regard to case.
    OdResult getAt(const OdString& key, OdDbObjectId& id) const;
    template <class T>
    OdResult getAt(const OdString& key, T*& obj, OdDb::OpenMode mode) const
    {
        obj = nullptr;
        OdDbObjectId id;
        OdResult res = getAt(key, id);
        return res != eOk ? res : oddbOpenObject(obj, id, mode);
    }
    bool has(const OdString& key) const;
    bool has(OdDbObjectId id) const;
    int numEntries() const { return (int)entries_.size(); }
    // Needs a write open. A new object is added to the database and stays
    // open for write; an object already under the key is erased.
    OdResult setAt(const OdString& key, OdDbObject* obj, OdDbObjectId& id);
    // Takes the entry out of the dictionary without erasing the object.
    OdResult remove(const OdString& key);
    OdResult remove(const OdString& key, OdDbObjectId& id);
    OdDbDictionaryIterator* newIterator() const;
    // A dictionary that owns its entries hard keeps them alive with it.
    bool isTreatElementsAsHard() const { return hard_; }
    void setTreatElementsAsHard(bool v) { if (assertWriteEnabled()) hard_ = v; }
    // Stand-in: copies the entries of `from` into this dictionary (open for
    // write, in a database) as the host's deep clone copies what an object
    // owns: Xrecords, dictionaries with all they hold and their flags, and
    // objects of classes the host does not know, each owned as hard as in
    // `from`. The number of entries of other kinds, which are not copied.
    int copyEntriesFrom(const OdDbDictionary* from);

private:
    friend class OdDbDictionaryIterator;
    friend struct standin::DxfAccess;

    int find(const OdString& key) const;
    std::vector<std::pair<OdString, OdDbObjectId>> entries_;
    bool hard_ = false;
};

class OdDbDictionaryIterator {
public:
    explicit OdDbDictionaryIterator(const OdDbDictionary* dict);
    bool done() const { return pos_ >= entries_.size(); }
    bool next() { ++pos_; return !done(); }
    OdString name() const { return entries_[pos_].first; }
    OdDbObjectId objectId() const { return entries_[pos_].second; }

private:
    std::vector<std::pair<OdString, OdDbObjectId>> entries_;
    size_t pos_ = 0;
};

class OdDbXrecord : public OdDbObject {
public:
    ODRX_DECLARE_MEMBERS(OdDbXrecord)
    OdDbXrecord() = default;
    OdDbXrecord(const OdDbXrecord& o);
    ~OdDbXrecord() override;
    // A copy of the chain, which the caller releases; null when empty.
    OdResBuf* rbChain() const { return OdResBuf::copyChain(chain_); }
    // Stores a copy of the chain (needs a write open).
    OdResult setFromRbChain(const OdResBuf* chain);
    // What cloning does when the record's key is taken (1: keep the
    // existing one).
    int mergeStyle() const { return merge_; }
    void setMergeStyle(int v) { if (assertWriteEnabled()) merge_ = v; }

private:
    friend struct standin::DxfAccess;
    OdResBuf* chain_ = nullptr;
    int merge_ = 1;
};
