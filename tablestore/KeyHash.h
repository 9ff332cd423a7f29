// Which row of a keyed table holds a key, found by hashing the key's bytes rather than by a search
// through the order: a keyed insert asks whether its key is taken before it knows where it belongs.
// The key fields lead a Paradox record, so a key is the record's first keyLength bytes, and two keys
// are equal exactly when those bytes are (KeyOrder's order too compares equal only then).
//
// Open addressing over row ids, each slot with 32 bits of its key's hash beside it, so that a probe
// reaches into a row only when those agree; at most half full, so that a key not there is known after
// a probe or two. A removed row leaves a mark that a later growth clears.
#pragma once

#include "tablestore/TableImage.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kimport {

class KeyHash {
public:
    KeyHash(const TableImage& image, std::size_t keyLength) : image_(image), keyLength_(keyLength) {}

    bool built() const { return built_; }
    // Takes in every row of the image's order (the live rows).
    void build();
    void clear();
    // The row whose key bytes are those at `key`.
    std::optional<std::uint32_t> find(const char* key) const;
    // Adds a row under its key as it stands; its key must not be in yet.
    void add(std::uint32_t row);
    // Removes a row under its key as it stands (before the row is changed).
    void remove(std::uint32_t row);

private:
    struct Slot {
        std::uint32_t row = kEmpty;  // row + 2
        std::uint32_t check = 0;     // the high half of the key's hash
    };
    static constexpr std::uint32_t kEmpty = 0, kRemoved = 1;
    std::uint64_t hashOf(const char* key) const;
    void grow();
    void place(std::uint32_t row, std::uint64_t hash);

    const TableImage& image_;
    std::size_t keyLength_;
    std::vector<Slot> slots_;
    std::size_t used_ = 0, removed_ = 0;
    bool built_ = false;
};

}  // namespace kimport
