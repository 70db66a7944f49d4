// An open-addressing hash table with linear probing, kept in one array so
// that a lookup touches one or two cache lines and an insert allocates
// nothing except when the table grows. Holds values of type V; Traits say
// how to get a value's key, hash a key, and which value marks an empty slot:
//   static K KeyOf(const V &);  static size_t Hash(const K &);
//   static bool Empty(const V &);  static V EmptyValue();
#ifndef HALVEX_FLAT_TABLE_H
#define HALVEX_FLAT_TABLE_H

#include <cstddef>
#include <vector>

namespace halvex {

template <class K, class V, class Traits>
class FlatTable {
public:
    // The value with key k, or null.
    V *Find(const K &k) {
        if (slots_.empty()) return nullptr;
        size_t h = Traits::Hash(k);
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            Slot &s = slots_[i];
            if (Traits::Empty(s.value)) return nullptr;
            if (s.hash == h && Traits::KeyOf(s.value) == k) return &s.value;
        }
    }
    const V *Find(const K &k) const { return const_cast<FlatTable *>(this)->Find(k); }

    // Adds v unless its key is present; returns false when it was. May throw
    // std::bad_alloc, leaving the table unchanged.
    bool Insert(const V &v) {
        const K k = Traits::KeyOf(v);
        if (Find(k)) return false;
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        size_t h = Traits::Hash(k);
        size_t i = h & mask_;
        while (!Traits::Empty(slots_[i].value)) i = (i + 1) & mask_;
        slots_[i] = Slot{h, v};
        ++used_;
        return true;
    }

    // Removes the value that Find returned; later members of its probe run
    // move back so that no lookup stops early.
    void Erase(V *value) {
        size_t hole = reinterpret_cast<Slot *>(reinterpret_cast<char *>(value) -
                                               offsetof(Slot, value)) -
                      slots_.data();
        for (size_t i = (hole + 1) & mask_; !Traits::Empty(slots_[i].value); i = (i + 1) & mask_) {
            size_t home = slots_[i].hash & mask_;
            // Moves back only what its home position lets it reach.
            if (((i - home) & mask_) >= ((i - hole) & mask_)) {
                slots_[hole] = slots_[i];
                hole = i;
            }
        }
        slots_[hole] = Slot{0, Traits::EmptyValue()};
        --used_;
    }

    size_t Size() const { return used_; }

private:
    struct Slot {
        size_t hash;
        V value;
    };

    void Grow() {
        size_t capacity = slots_.empty() ? 16 : slots_.size() * 2;
        std::vector<Slot> bigger(capacity, Slot{0, Traits::EmptyValue()});
        size_t mask = capacity - 1;
        for (const Slot &s : slots_) {
            if (Traits::Empty(s.value)) continue;
            size_t i = s.hash & mask;
            while (!Traits::Empty(bigger[i].value)) i = (i + 1) & mask;
            bigger[i] = s;
        }
        slots_.swap(bigger);
        mask_ = mask;
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t used_ = 0;
};

}  // namespace halvex

#endif
