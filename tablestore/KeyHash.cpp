#include "tablestore/KeyHash.h"

#include <cstring>

namespace kimport {

std::uint64_t KeyHash::hashOf(const char* key) const {
    // Eight bytes at a time, each mixed in by a multiply; the end mixed once more so that keys that
    // differ only in their last bits spread over the table.
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ keyLength_;
    std::size_t i = 0;
    for (; i + 8 <= keyLength_; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, key + i, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    if (i < keyLength_) {
        std::uint64_t w = 0;
        std::memcpy(&w, key + i, keyLength_ - i);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ULL;
    }
    h ^= h >> 29;
    h *= 0x94D049BB133111EBULL;
    return h ^ (h >> 32);
}

void KeyHash::clear() {
    std::vector<Slot>().swap(slots_);
    used_ = removed_ = 0;
    built_ = false;
}

void KeyHash::build() {
    clear();
    built_ = true;
    std::size_t capacity = 64;
    while (capacity < image_.order.size() * 2 + 2) capacity *= 2;
    slots_.assign(capacity, Slot{});
    image_.order.forEach([&](std::uint32_t r) { add(r); });
}

void KeyHash::grow() {
    // Twice the size when it fills, the same size when removed marks are what fills it.
    std::vector<Slot> old;
    old.swap(slots_);
    const std::size_t capacity = (used_ + 1) * 4 > old.size() ? old.size() * 2 : old.size();
    slots_.assign(capacity < 64 ? 64 : capacity, Slot{});
    used_ = removed_ = 0;
    for (const Slot& s : old)
        if (s.row >= 2) place(s.row - 2, hashOf(image_.row(s.row - 2)));
}

std::optional<std::uint32_t> KeyHash::find(const char* key) const {
    if (slots_.empty()) return std::nullopt;
    const std::uint64_t hash = hashOf(key);
    const auto check = static_cast<std::uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.row == kEmpty) return std::nullopt;
        if (s.row >= 2 && s.check == check && std::memcmp(image_.row(s.row - 2), key, keyLength_) == 0) return s.row - 2;
    }
}

void KeyHash::place(std::uint32_t row, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        if (slots_[i].row == kEmpty) {
            slots_[i] = Slot{row + 2, static_cast<std::uint32_t>(hash >> 32)};
            ++used_;
            return;
        }
    }
}

void KeyHash::add(std::uint32_t row) {
    if ((used_ + removed_ + 1) * 2 > slots_.size()) grow();
    place(row, hashOf(image_.row(row)));
}

void KeyHash::remove(std::uint32_t row) {
    if (slots_.empty()) return;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hashOf(image_.row(row)) & mask;; i = (i + 1) & mask) {
        Slot& s = slots_[i];
        if (s.row == kEmpty) return;
        if (s.row == row + 2) {
            s.row = kRemoved;
            --used_;
            ++removed_;
            return;
        }
    }
}

}  // namespace kimport
