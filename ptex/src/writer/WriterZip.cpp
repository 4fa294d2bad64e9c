// zlib compression of one writer block (see WriterZip.h).
#include "WriterZip.h"

#include <zlib.h>

namespace PtexWriterInternal {

bool zipAppend(const void* data, size_t size, int level, ByteBuffer& out) {
    z_stream zs;
    std::memset(&zs, 0, sizeof(zs));
    if (deflateInit(&zs, level) != Z_OK) return false;

    const size_t start = out.size();
    // Feed and drain in pieces so sizes above 4 GiB (uInt) stay correct.
    const uint8_t* src = static_cast<const uint8_t*>(data);
    size_t remaining = size;
    const size_t chunk = 1u << 20;
    int ret = Z_OK;
    do {
        size_t in = remaining < chunk ? remaining : chunk;
        zs.next_in = const_cast<Bytef*>(src);
        zs.avail_in = uInt(in);
        src += in;
        remaining -= in;
        const int flush = remaining == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            size_t used = out.size();
            size_t room = deflateBound(&zs, zs.avail_in) + 64;
            out.resize(used + room);
            zs.next_out = out.data() + used;
            zs.avail_out = uInt(room);
            ret = deflate(&zs, flush);
            out.resize(used + (room - zs.avail_out));
            if (ret == Z_STREAM_ERROR) {
                deflateEnd(&zs);
                out.resize(start);
                return false;
            }
        } while (zs.avail_out == 0 || (flush == Z_FINISH && ret != Z_STREAM_END));
    } while (remaining > 0);

    deflateEnd(&zs);
    if (ret != Z_STREAM_END) {
        out.resize(start);
        return false;
    }
    return true;
}

}  // namespace PtexWriterInternal
