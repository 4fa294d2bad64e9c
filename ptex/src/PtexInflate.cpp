// zlib-stream inflation through libdeflate (whole buffer, fast) or zlib.
#include "PtexInflate.h"

#include <zlib.h>

#include <atomic>
#include <climits>
#include <memory>

#ifdef PTEX_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

// One z_stream per thread, reset between uses (inflateInit is costly).
struct ZlibState {
    z_stream strm{};
    bool ok = false;
    ZlibState() { ok = inflateInit(&strm) == Z_OK; }
    ~ZlibState() {
        if (ok) inflateEnd(&strm);
    }
};

#ifdef PTEX_HAVE_LIBDEFLATE
struct DeflateState {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~DeflateState() {
        if (d) libdeflate_free_decompressor(d);
    }
};
#endif

}  // namespace

namespace PtexInflate {

bool inflateZlib(const void* src, size_t srcsize, void* dst, size_t dstsize) {
    if (srcsize > UINT_MAX || dstsize > UINT_MAX) return false;
    thread_local ZlibState state;
    if (!state.ok) return false;
    z_stream& s = state.strm;
    if (inflateReset(&s) != Z_OK) return false;
    s.next_in = static_cast<Bytef*>(const_cast<void*>(src));
    s.avail_in = uInt(srcsize);
    s.next_out = static_cast<Bytef*>(dst);
    s.avail_out = uInt(dstsize);
    int r = ::inflate(&s, Z_FINISH);
    return r == Z_STREAM_END && s.total_out == dstsize;
}

bool inflateLibdeflate(const void* src, size_t srcsize, void* dst, size_t dstsize) {
#ifdef PTEX_HAVE_LIBDEFLATE
    thread_local DeflateState state;
    if (!state.d) return false;
    // a null actual-size pointer makes libdeflate demand exactly dstsize bytes
    return libdeflate_zlib_decompress(state.d, src, srcsize, dst, dstsize, nullptr) ==
           LIBDEFLATE_SUCCESS;
#else
    (void)src;
    (void)srcsize;
    (void)dst;
    (void)dstsize;
    return false;
#endif
}

bool haveLibdeflate() {
#ifdef PTEX_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

namespace {
std::atomic<bool> g_useZlib{false};
}

void setBackend(Backend b) {
    g_useZlib.store(b == Backend::Zlib, std::memory_order_relaxed);
}

bool inflate(const void* src, size_t srcsize, void* dst, size_t dstsize) {
#ifdef PTEX_HAVE_LIBDEFLATE
    if (g_useZlib.load(std::memory_order_relaxed)) return inflateZlib(src, srcsize, dst, dstsize);
    return inflateLibdeflate(src, srcsize, dst, dstsize);
#else
    return inflateZlib(src, srcsize, dst, dstsize);
#endif
}

}  // namespace PtexInflate
