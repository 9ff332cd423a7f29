// Memo and blob values of an open table. A record holds a 4-byte handle in
// the field's place; handle 0 means no value. Values are kept as the bytes of
// the table's code page (memos) or as raw bytes (blobs). A handle let go of is
// handed out again by a later add, so that a table read as needed does not
// pile up the values of the records it has passed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kimport {

class BlobStore {
public:
    // Adds a value and returns its handle (never 0; an empty value gives 0).
    // origin: where the value lies in the memo file it was read from (0 for a new value).
    std::uint32_t add(std::string bytes, std::uint64_t origin = 0) {
        if (bytes.empty()) return 0;
        if (!free_.empty()) {
            const std::uint32_t handle = free_.back();
            free_.pop_back();
            values_[handle - 1] = std::move(bytes);
            origins_[handle - 1] = origin;
            return handle;
        }
        values_.push_back(std::move(bytes));
        origins_.push_back(origin);
        return static_cast<std::uint32_t>(values_.size());
    }
    std::uint64_t origin(std::uint32_t handle) const {
        return handle == 0 || handle > origins_.size() ? 0 : origins_[handle - 1];
    }
    void setOrigin(std::uint32_t handle, std::uint64_t origin) {
        if (handle != 0 && handle <= origins_.size()) origins_[handle - 1] = origin;
    }
    // Drops a value whose handle no row holds any longer; the handle may come back from add. A
    // handle let go of already, 0 or an unknown one is ignored.
    void release(std::uint32_t handle) {
        // A held value is never empty, so an empty one was let go of before.
        if (handle == 0 || handle > values_.size() || values_[handle - 1].empty()) return;
        std::string().swap(values_[handle - 1]);
        origins_[handle - 1] = 0;
        free_.push_back(handle);
    }
    // Values count as new from now on (the memo file is written afresh).
    void forgetOrigins() { std::fill(origins_.begin(), origins_.end(), 0); }
    // The value of a handle; empty for 0 or an unknown handle.
    const std::string& get(std::uint32_t handle) const {
        static const std::string empty;
        return handle == 0 || handle > values_.size() ? empty : values_[handle - 1];
    }
    std::size_t count() const { return values_.size(); }
    void clear() {
        values_.clear();
        origins_.clear();
        free_.clear();
    }

    static std::uint32_t handleAt(const char* field) {
        std::uint32_t h;
        std::memcpy(&h, field, 4);
        return h;
    }
    static void storeHandle(char* field, std::uint32_t h) { std::memcpy(field, &h, 4); }

private:
    std::vector<std::string> values_;
    std::vector<std::uint64_t> origins_;
    std::vector<std::uint32_t> free_;  // handles let go of, for the next adds
};

}  // namespace kimport
