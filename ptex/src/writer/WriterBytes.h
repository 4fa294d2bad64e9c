#ifndef PtexWriterBytes_h
#define PtexWriterBytes_h
// Little-endian byte assembly for the writer.
//
// Contract: ByteBuffer is a growable byte vector; the put* helpers append one
// value in the file's byte order (little-endian, packed, no alignment), so the
// on-disk records are built field by field and never depend on struct layout.
#include <cstdint>
#include <cstring>
#include <vector>

namespace PtexWriterInternal {

using ByteBuffer = std::vector<uint8_t>;

inline void putBytes(ByteBuffer& b, const void* data, size_t size) {
    if (size == 0) return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    b.insert(b.end(), p, p + size);
}

inline void putU8(ByteBuffer& b, uint8_t v) {
    b.push_back(v);
}

inline void putU16(ByteBuffer& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void putU32(ByteBuffer& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

inline void putI32(ByteBuffer& b, int32_t v) {
    putU32(b, uint32_t(v));
}

inline void putU64(ByteBuffer& b, uint64_t v) {
    for (int i = 0; i < 8; i++) b.push_back(uint8_t(v >> (8 * i)));
}

// Overwrites a uint32 at a position already present in the buffer.
inline void patchU32(ByteBuffer& b, size_t pos, uint32_t v) {
    for (int i = 0; i < 4; i++) b[pos + i] = uint8_t(v >> (8 * i));
}

inline uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint64_t getU64(const uint8_t* p) {
    return uint64_t(getU32(p)) | (uint64_t(getU32(p + 4)) << 32);
}

}  // namespace PtexWriterInternal

#endif
