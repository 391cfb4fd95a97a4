#pragma once
// Little-endian reads that never leave the buffer: a field that would pass
// its end reads as 0. Record parsers check their sizes before they trust a
// count, so a zero here only ever stands for a field the record lacks.

#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint16_t U16(const uint8_t* d, size_t n, size_t off) {
    return off <= n && n - off >= 2 ? uint16_t(d[off] | d[off + 1] << 8) : 0;
}
inline int16_t I16(const uint8_t* d, size_t n, size_t off) {
    return int16_t(U16(d, n, off));
}
inline uint32_t U32(const uint8_t* d, size_t n, size_t off) {
    return off <= n && n - off >= 4
               ? uint32_t(d[off] | d[off + 1] << 8 | d[off + 2] << 16) | uint32_t(d[off + 3]) << 24
               : 0;
}
inline int32_t I32(const uint8_t* d, size_t n, size_t off) {
    return int32_t(U32(d, n, off));
}
inline float F32(const uint8_t* d, size_t n, size_t off) {
    const uint32_t v = U32(d, n, off);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}
