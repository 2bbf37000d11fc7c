// Drawing files (stand-in internals): a table keyed by handles, which a
// file chooses freely. Any fixed hash has handles that all meet in one slot
// (for the identity under a prime count of buckets, its multiples; for one
// of the high bits, multiples of a power of two), and a hostile file gives
// exactly those. So each table draws its key anew (getrandom), and no
// handle lies further than kMaxProbe slots from its own: a table that would
// place one further is keyed again, and should a few keys fail, its handles
// go to an ordered map, which no choice of handles makes slower than its
// logarithm. The reader's table of the objects handles name (HandleIds)
// and the writer's set of the handles a save gave (DxfOut) are of this.
#pragma once

#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace standin {
namespace dxf {

// Slots looked at by the tables of this thread, for the tests that hold
// hostile handles against a run.
inline uint64_t& HandleTableProbes()
{
    thread_local uint64_t probes = 0;
    return probes;
}

template <class Value>
class HandleTable {
public:
    // Room for `n` handles without growing.
    void reserve(size_t n)
    {
        size_t want = 16;
        while (want < 2 * n) want *= 2;
        if (n > 0 && want > slots_.size() && !ordered_) rekey(want);
    }
    // Gives h the value; false when h had one (it is replaced). 0 is no
    // handle and is not kept.
    bool set(uint64_t h, const Value& value)
    {
        if (!h) return false;
        if (!ordered_) {
            if (2 * (count_ + 1) > slots_.size()) rekey(std::max<size_t>(16, 2 * slots_.size()));
            for (int k = 0; !ordered_; ++k) {
                int placed = place(h, value);
                if (placed >= 0) return placed == 1;
                if (k < kKeys) rekey(slots_.size());
                else toOrdered(slots_);
            }
        }
        return map_.insert_or_assign(h, value).second;
    }
    // Adds h with the value unless it has one; true when it was added.
    bool insert(uint64_t h, const Value& value) { return !find(h) && set(h, value); }
    // The value of h, null for none.
    const Value* find(uint64_t h) const
    {
        if (!h) return nullptr;
        if (ordered_) {
            auto it = map_.find(h);
            return it == map_.end() ? nullptr : &it->second;
        }
        if (slots_.empty()) return nullptr;
        const size_t mask = slots_.size() - 1;
        size_t d = 0;
        const Value* found = nullptr;
        for (size_t i = home(h); d <= kMaxProbe; ++d, i = (i + 1) & mask) {
            if (slots_[i].handle == h) {
                found = &slots_[i].value;
                break;
            }
            if (!slots_[i].handle) break;
        }
        HandleTableProbes() += d + 1;
        return found;
    }
    bool contains(uint64_t h) const { return find(h) != nullptr; }
    size_t size() const { return ordered_ ? map_.size() : count_; }
    // Whether the handles went to the ordered map, and how far a handle lies
    // from its own slot at most (for the tests).
    bool ordered() const { return ordered_; }
    size_t longestProbe() const
    {
        size_t longest = 0;
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].handle) longest = std::max(longest, (i - home(slots_[i].handle)) & (slots_.size() - 1));
        return longest;
    }

private:
    // A random key places half a million handles at most about 70 slots
    // from their own; one that places any further is no chance.
    static const size_t kMaxProbe = 128;
    static const int kKeys = 4;  // keys tried before the ordered map
    struct Slot {
        uint64_t handle = 0;  // 0: empty
        Value value{};
    };
    size_t home(uint64_t h) const
    {
        uint64_t x = h ^ key_;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return (size_t)(x ^ (x >> 31)) & (slots_.size() - 1);
    }
    // Places h within kMaxProbe slots of its own: 1 added, 0 replaced, -1
    // when it cannot.
    int place(uint64_t h, const Value& value)
    {
        const size_t mask = slots_.size() - 1;
        size_t d = 0;
        int placed = -1;
        for (size_t i = home(h); d <= kMaxProbe; ++d, i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.handle && s.handle != h) continue;
            placed = s.handle ? 0 : 1;
            count_ += (size_t)placed;
            s = Slot{h, value};
            break;
        }
        HandleTableProbes() += d + 1;
        return placed;
    }
    // The table made `size` slots long and its handles placed again under
    // a new key; to the ordered map when none of kKeys keys places them.
    void rekey(size_t size)
    {
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (int k = 0; k < kKeys; ++k) {
            key_ = NewKey();
            std::fill(slots_.begin(), slots_.end(), Slot());
            count_ = 0;
            bool placed = true;
            for (size_t i = 0; i < old.size() && placed; ++i)
                placed = !old[i].handle || place(old[i].handle, old[i].value) >= 0;
            if (placed) return;
        }
        toOrdered(old);
    }
    void toOrdered(const std::vector<Slot>& from)
    {
        for (const Slot& s : from)
            if (s.handle) map_.insert_or_assign(s.handle, s.value);
        ordered_ = true;
        std::vector<Slot>().swap(slots_);
        count_ = 0;
    }
    static uint64_t NewKey()
    {
        uint64_t key = 0;
        if (getrandom(&key, sizeof key, GRND_NONBLOCK) != (ssize_t)sizeof key) {
            static std::atomic<uint64_t> counter{0};
            key = (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count() ^ (++counter << 40);
        }
        return key;
    }
    std::vector<Slot> slots_;  // a power of two long, at most half full
    size_t count_ = 0;
    uint64_t key_ = 0;
    bool ordered_ = false;
    std::map<uint64_t, Value> map_;  // all of them, once ordered_
};

}  // namespace dxf
}  // namespace standin
