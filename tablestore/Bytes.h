// Little- and big-endian integers in byte buffers.
#pragma once

#include <cstdint>
#include <cstring>

namespace kimport::bytes {

inline std::uint16_t le16(const char* p) {
    auto u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(u[0] | (u[1] << 8));
}
inline std::uint32_t le32(const char* p) {
    auto u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(u[0]) | (static_cast<std::uint32_t>(u[1]) << 8) |
           (static_cast<std::uint32_t>(u[2]) << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}
inline std::uint64_t le64(const char* p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }
inline std::uint16_t be16(const char* p) {
    auto u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>((u[0] << 8) | u[1]);
}
inline std::uint32_t be32(const char* p) {
    auto u = reinterpret_cast<const unsigned char*>(p);
    return (static_cast<std::uint32_t>(u[0]) << 24) | (static_cast<std::uint32_t>(u[1]) << 16) |
           (static_cast<std::uint32_t>(u[2]) << 8) | static_cast<std::uint32_t>(u[3]);
}
inline std::uint64_t be64(const char* p) { return (static_cast<std::uint64_t>(be32(p)) << 32) | be32(p + 4); }

inline void putLe16(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void putLe32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void putLe64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void putBe16(char* p, std::uint32_t v) {
    p[0] = static_cast<char>((v >> 8) & 0xFF);
    p[1] = static_cast<char>(v & 0xFF);
}
inline void putBe32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}
inline void putBe64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((v >> (56 - 8 * i)) & 0xFF);
}

inline bool allZero(const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

}  // namespace kimport::bytes
