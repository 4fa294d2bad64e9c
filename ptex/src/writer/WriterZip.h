#ifndef PtexWriterZip_h
#define PtexWriterZip_h
// zlib compression of one writer block.
//
// Contract: zipAppend compresses `size` bytes into one complete zlib stream
// (zlib header, deflate data finished with Z_FINISH, Adler-32 trailer) and
// appends it to `out`. `level` is a zlib level (Z_DEFAULT_COMPRESSION for the
// main writer, 0 for edit blocks). Returns false only on an internal zlib
// failure; `out` is then unchanged.
#include "WriterBytes.h"

namespace PtexWriterInternal {

bool zipAppend(const void* data, size_t size, int level, ByteBuffer& out);

}  // namespace PtexWriterInternal

#endif
