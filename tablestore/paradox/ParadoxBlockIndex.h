// The chain of a .DB's data blocks as a list in chain order: each block's number, its record count
// and, in a keyed table, its first key. This is all a table not held in memory keeps of its records:
// a key is found by a search over the first keys and then in one block, a record number by the
// counts. It is what the .PX holds on its lowest level, so it is read from there when the .PX
// belongs to the data, else by walking the chain's block heads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kimport::paradox {

class BlockIndex {
public:
    explicit BlockIndex(std::size_t keyLength = 0) : keyLength_(keyLength), positionOf_(65536, kNowhere) {}

    std::size_t size() const { return blocks_.size(); }
    bool empty() const { return blocks_.empty(); }
    std::size_t keyLength() const { return keyLength_; }
    std::uint32_t block(std::size_t pos) const { return blocks_[pos]; }
    std::size_t count(std::size_t pos) const { return counts_[pos]; }
    const char* firstKey(std::size_t pos) const { return firstKeys_.data() + pos * keyLength_; }
    // The chain position of a block in the chain; none for one outside it.
    std::optional<std::size_t> positionOf(std::uint32_t block) const {
        const std::uint32_t p = block < positionOf_.size() ? positionOf_[block] : kNowhere;
        if (p == kNowhere) return std::nullopt;
        return p;
    }
    std::uint64_t records() const { return records_; }

    void append(std::uint32_t block, std::size_t count, const char* key);
    void insert(std::size_t pos, std::uint32_t block, std::size_t count, const char* key);
    void erase(std::size_t pos);
    void setCount(std::size_t pos, std::size_t count);
    void setFirstKey(std::size_t pos, const char* key);
    void setBlock(std::size_t pos, std::uint32_t block);
    void clear();

    // Records in the blocks before this position.
    std::uint64_t recordsBefore(std::size_t pos) const;
    // The position holding the record with this index (from 0) and its slot there.
    std::pair<std::size_t, std::size_t> locate(std::uint64_t record) const;

    // The data for a rebuilt .PX: the blocks, counts and first keys in chain order.
    const std::vector<std::uint32_t>& blocks() const { return blocks_; }
    const std::vector<std::uint32_t>& counts() const { return counts_; }
    const std::vector<char>& firstKeys() const { return firstKeys_; }

private:
    static constexpr std::uint32_t kNowhere = UINT32_MAX;
    void renumberFrom(std::size_t pos);
    void sumsChanged() { sumsValid_ = false; }
    void makeSums() const;

    std::size_t keyLength_;
    std::vector<std::uint32_t> blocks_;
    std::vector<std::uint32_t> counts_;
    std::vector<char> firstKeys_;
    std::vector<std::uint32_t> positionOf_;  // by block number
    std::uint64_t records_ = 0;
    mutable std::vector<std::uint64_t> before_;
    mutable bool sumsValid_ = false;
};

}  // namespace kimport::paradox
