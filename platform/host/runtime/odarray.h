// Host SDK stand-in: the runtime's growable array.
#pragma once

#include <algorithm>
#include <vector>

template <class T>
class OdArray {
public:
    typedef T* iterator;
    typedef const T* const_iterator;

    OdArray() = default;
    explicit OdArray(int reserve) { v_.reserve(reserve > 0 ? (size_t)reserve : 0); }
    OdArray(std::initializer_list<T> items) : v_(items) {}

    int length() const { return (int)v_.size(); }
    int size() const { return (int)v_.size(); }
    int logicalLength() const { return (int)v_.size(); }
    bool isEmpty() const { return v_.empty(); }
    bool empty() const { return v_.empty(); }

    OdArray& append(const T& x) { v_.push_back(x); return *this; }
    OdArray& append(const OdArray& o) { v_.insert(v_.end(), o.v_.begin(), o.v_.end()); return *this; }
    void push_back(const T& x) { v_.push_back(x); }
    OdArray& insertAt(int i, const T& x) { v_.insert(v_.begin() + i, x); return *this; }
    OdArray& removeAt(int i) { v_.erase(v_.begin() + i); return *this; }
    OdArray& removeLast() { v_.pop_back(); return *this; }
    OdArray& removeFirst() { v_.erase(v_.begin()); return *this; }
    void clear() { v_.clear(); }
    OdArray& setLogicalLength(int n) { v_.resize(n > 0 ? (size_t)n : 0); return *this; }
    void resize(int n) { v_.resize(n > 0 ? (size_t)n : 0); }
    void reverse() { std::reverse(v_.begin(), v_.end()); }

    T& operator[](int i) { return v_.at((size_t)i); }
    const T& operator[](int i) const { return v_.at((size_t)i); }
    T& at(int i) { return v_.at((size_t)i); }
    const T& at(int i) const { return v_.at((size_t)i); }
    T& first() { return v_.front(); }
    const T& first() const { return v_.front(); }
    T& last() { return v_.back(); }
    const T& last() const { return v_.back(); }
    const T* asArrayPtr() const { return v_.data(); }

    bool contains(const T& x) const { return std::find(v_.begin(), v_.end(), x) != v_.end(); }
    bool find(const T& x, int& index) const
    {
        auto it = std::find(v_.begin(), v_.end(), x);
        if (it == v_.end()) return false;
        index = (int)(it - v_.begin());
        return true;
    }

    bool operator==(const OdArray& o) const { return v_ == o.v_; }
    bool operator!=(const OdArray& o) const { return v_ != o.v_; }

    T* begin() { return v_.data(); }
    T* end() { return v_.data() + v_.size(); }
    const T* begin() const { return v_.data(); }
    const T* end() const { return v_.data() + v_.size(); }

private:
    std::vector<T> v_;
};

typedef OdArray<double> OdGeDoubleArray;
typedef OdArray<int> OdGeIntArray;
typedef OdArray<int> OdIntArray;
typedef OdArray<void*> OdGeVoidPointerArray;
typedef OdArray<void*> OdDbVoidPtrArray;
