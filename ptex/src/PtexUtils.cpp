// Image helpers of PtexUtils: planar/interleaved transforms, delta coding,
// reductions, averages and alpha premultiplication, per sample type.
#include "PtexUtils.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Reductions, averages and alpha steps convert to half with ties away from zero,
// the rounding the stored files were made with.
inline PtexHalf tiesAway(float f) {
    PtexHalf h;
    h.bits = PtexHalf::fromFloatTiesAway(f);
    return h;
}

// Sample arithmetic per type: integers sum in int and truncate; halves and
// floats sum in float.
template <typename T>
struct Sample {
    typedef int Acc;
    static Acc get(const T& v) { return int(v); }
    static T put(Acc a) { return T(a); }
};
template <>
struct Sample<PtexHalf> {
    typedef float Acc;
    static Acc get(const PtexHalf& v) { return float(v); }
    static PtexHalf put(Acc a) { return tiesAway(a); }
};
template <>
struct Sample<float> {
    typedef float Acc;
    static Acc get(const float& v) { return v; }
    static float put(Acc a) { return a; }
};

template <typename T>
inline const T* pix(const void* base, int stride, int x, int y, int nchan) {
    return reinterpret_cast<const T*>(static_cast<const char*>(base) + ptrdiff_t(y) * stride) +
           ptrdiff_t(x) * nchan;
}
template <typename T>
inline T* pixw(void* base, int stride, int x, int y, int nchan) {
    return reinterpret_cast<T*>(static_cast<char*>(base) + ptrdiff_t(y) * stride) +
           ptrdiff_t(x) * nchan;
}

template <typename T>
void reduceT(const void* src, int sstride, int ures, int vres, void* dst, int dstride, int nchan) {
    typedef Sample<T> S;
    int du = ures / 2, dv = vres / 2;
    for (int j = 0; j < dv; j++) {
        const T* r0 = pix<T>(src, sstride, 0, 2 * j, nchan);
        const T* r1 = pix<T>(src, sstride, 0, 2 * j + 1, nchan);
        T* d = pixw<T>(dst, dstride, 0, j, nchan);
        for (int i = 0; i < du; i++) {
            const T* a = r0 + 2 * i * nchan;
            const T* c = r1 + 2 * i * nchan;
            for (int k = 0; k < nchan; k++)
                d[k] = S::put(PtexUtils::quarter(
                    ((S::get(a[k]) + S::get(a[k + nchan])) + S::get(c[k])) + S::get(c[k + nchan])));
            d += nchan;
        }
    }
}

template <typename T>
void reduceuT(const void* src, int sstride, int ures, int vres, void* dst, int dstride, int nchan) {
    typedef Sample<T> S;
    int du = ures / 2;
    for (int j = 0; j < vres; j++) {
        const T* s = pix<T>(src, sstride, 0, j, nchan);
        T* d = pixw<T>(dst, dstride, 0, j, nchan);
        for (int i = 0; i < du; i++) {
            for (int k = 0; k < nchan; k++)
                d[k] = S::put(PtexUtils::halve(S::get(s[k]) + S::get(s[k + nchan])));
            s += 2 * nchan;
            d += nchan;
        }
    }
}

template <typename T>
void reducevT(const void* src, int sstride, int ures, int vres, void* dst, int dstride, int nchan) {
    typedef Sample<T> S;
    int dv = vres / 2;
    int n = ures * nchan;
    for (int j = 0; j < dv; j++) {
        const T* r0 = pix<T>(src, sstride, 0, 2 * j, nchan);
        const T* r1 = pix<T>(src, sstride, 0, 2 * j + 1, nchan);
        T* d = pixw<T>(dst, dstride, 0, j, nchan);
        for (int k = 0; k < n; k++) d[k] = S::put(PtexUtils::halve(S::get(r0[k]) + S::get(r1[k])));
    }
}

template <typename T>
void reduceTriT(const void* src, int sstride, int ures, int /*vres*/, void* dst, int dstride,
                int nchan) {
    typedef Sample<T> S;
    int N = ures, dn = ures / 2;
    for (int j = 0; j < dn; j++) {
        T* d = pixw<T>(dst, dstride, 0, j, nchan);
        for (int i = 0; i < dn; i++) {
            const T* a = pix<T>(src, sstride, 2 * i, 2 * j, nchan);
            const T* b = a + nchan;
            const T* c = pix<T>(src, sstride, 2 * i, 2 * j + 1, nchan);
            const T* e = pix<T>(src, sstride, N - 1 - 2 * j, N - 1 - 2 * i, nchan);
            for (int k = 0; k < nchan; k++)
                d[k] = S::put(PtexUtils::quarter(((S::get(a[k]) + S::get(b[k])) + S::get(c[k])) +
                                                 S::get(e[k])));
            d += nchan;
        }
    }
}

template <typename T>
inline float toF(const T& v) {
    return float(v);
}

template <typename T>
inline T fromFTrunc(float f) {
    if constexpr (std::is_same_v<T, PtexHalf>) {
        return tiesAway(f);
    } else if constexpr (std::is_same_v<T, float>) {
        return f;
    } else {
        // truncation toward zero, saturated to the type's range (never UB)
        if (!(f > 0.0f)) return T(0);
        if (f >= float(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
        return T(f);
    }
}

template <typename T>
void averageT(const void* src, int sstride, int ures, int vres, void* dst, int nchan) {
    float sum[64];
    std::vector<float> big;
    float* acc = sum;
    if (nchan > 64) {
        big.assign(size_t(nchan), 0.0f);
        acc = big.data();
    } else {
        std::fill(sum, sum + nchan, 0.0f);
    }
    for (int j = 0; j < vres; j++) {
        const T* s = pix<T>(src, sstride, 0, j, nchan);
        for (int i = 0; i < ures; i++)
            for (int k = 0; k < nchan; k++) acc[k] += toF(*s++);
    }
    float scale = 1.0f / float(ures * vres);
    T* d = static_cast<T*>(dst);
    for (int k = 0; k < nchan; k++) d[k] = fromFTrunc<T>(acc[k] * scale);
}

inline void alphaRange(int nchan, int alphachan, int& first, int& end) {
    if (alphachan == 0) {
        first = 1;
        end = nchan;
    } else {
        first = 0;
        end = alphachan;
    }
}

template <typename T>
void multalphaT(void* data, int npixels, Ptex::DataType dt, int nchan, int alphachan) {
    int c0, c1;
    alphaRange(nchan, alphachan, c0, c1);
    float inv = Ptex::OneValueInv(dt);
    T* p = static_cast<T*>(data);
    for (int i = 0; i < npixels; i++, p += nchan) {
        float a = inv * toF(p[alphachan]);
        for (int k = c0; k < c1; k++) p[k] = fromFTrunc<T>(toF(p[k]) * a);
    }
}

template <typename T>
void divalphaT(void* data, int npixels, Ptex::DataType dt, int nchan, int alphachan) {
    int c0, c1;
    alphaRange(nchan, alphachan, c0, c1);
    float one = Ptex::OneValue(dt);
    T* p = static_cast<T*>(data);
    for (int i = 0; i < npixels; i++, p += nchan) {
        float alpha = toF(p[alphachan]);
        if (alpha == 0.0f) continue;
        float a = one / alpha;
        for (int k = c0; k < c1; k++) p[k] = fromFTrunc<T>(toF(p[k]) * a);
    }
}

template <int N>
struct Word;
template <>
struct Word<1> {
    typedef uint8_t T;
};
template <>
struct Word<2> {
    typedef uint16_t T;
};
template <>
struct Word<4> {
    typedef uint32_t T;
};

template <typename W>
void interleaveT(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                 int nchan) {
    for (int c = 0; c < nchan; c++) {
        const char* plane = static_cast<const char*>(src) + ptrdiff_t(c) * vres * sstride;
        for (int j = 0; j < vres; j++) {
            const W* s = reinterpret_cast<const W*>(plane + ptrdiff_t(j) * sstride);
            W* d = reinterpret_cast<W*>(static_cast<char*>(dst) + ptrdiff_t(j) * dstride) + c;
            for (int i = 0; i < ures; i++, d += nchan) *d = s[i];
        }
    }
}

template <typename W>
void deinterleaveT(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                   int nchan) {
    for (int c = 0; c < nchan; c++) {
        char* plane = static_cast<char*>(dst) + ptrdiff_t(c) * vres * dstride;
        for (int j = 0; j < vres; j++) {
            const W* s =
                reinterpret_cast<const W*>(static_cast<const char*>(src) + ptrdiff_t(j) * sstride) +
                c;
            W* d = reinterpret_cast<W*>(plane + ptrdiff_t(j) * dstride);
            for (int i = 0; i < ures; i++, s += nchan) d[i] = *s;
        }
    }
}

}  // namespace

namespace PtexUtils {

bool isConstant(const void* data, int stride, int ures, int vres, int pixelSize) {
    const char* first = static_cast<const char*>(data);
    int rowlen = ures * pixelSize;
    // first row: every pixel equals the first; later rows: equal to the first row
    for (int i = 1; i < ures; i++)
        if (std::memcmp(first, first + ptrdiff_t(i) * pixelSize, size_t(pixelSize)) != 0)
            return false;
    for (int j = 1; j < vres; j++)
        if (std::memcmp(first, first + ptrdiff_t(j) * stride, size_t(rowlen)) != 0) return false;
    return true;
}

void interleave(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                Ptex::DataType dt, int nchannels) {
    switch (Ptex::DataSize(dt)) {
        case 1:
            interleaveT<uint8_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        case 2:
            interleaveT<uint16_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        case 4:
            interleaveT<uint32_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        default:
            break;
    }
}

void deinterleave(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                  Ptex::DataType dt, int nchannels) {
    switch (Ptex::DataSize(dt)) {
        case 1:
            deinterleaveT<uint8_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        case 2:
            deinterleaveT<uint16_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        case 4:
            deinterleaveT<uint32_t>(src, sstride, ures, vres, dst, dstride, nchannels);
            break;
        default:
            break;
    }
}

void encodeDifference(void* data, size_t size, Ptex::DataType dt) {
    if (dt == Ptex::dt_uint8) {
        uint8_t* p = static_cast<uint8_t*>(data);
        uint8_t prev = 0;
        for (size_t i = 0; i < size; i++) {
            uint8_t cur = p[i];
            p[i] = uint8_t(cur - prev);
            prev = cur;
        }
    } else if (dt == Ptex::dt_uint16) {
        uint8_t* p = static_cast<uint8_t*>(data);
        size_t n = size / 2;
        uint16_t prev = 0;
        for (size_t i = 0; i < n; i++) {
            uint16_t cur;
            std::memcpy(&cur, p + 2 * i, 2);
            uint16_t d = uint16_t(cur - prev);
            std::memcpy(p + 2 * i, &d, 2);
            prev = cur;
        }
    }
}

void decodeDifference(void* data, size_t size, Ptex::DataType dt) {
    if (dt == Ptex::dt_uint8) {
        uint8_t* p = static_cast<uint8_t*>(data);
        uint8_t prev = 0;
        for (size_t i = 0; i < size; i++) {
            prev = uint8_t(prev + p[i]);
            p[i] = prev;
        }
    } else if (dt == Ptex::dt_uint16) {
        uint8_t* p = static_cast<uint8_t*>(data);
        size_t n = size / 2;
        uint16_t prev = 0;
        for (size_t i = 0; i < n; i++) {
            uint16_t d;
            std::memcpy(&d, p + 2 * i, 2);
            prev = uint16_t(prev + d);
            std::memcpy(p + 2 * i, &prev, 2);
        }
    }
}

#define PTEX_DISPATCH(fn, ...)         \
    switch (dt) {                      \
        case Ptex::dt_uint8:           \
            fn<uint8_t>(__VA_ARGS__);  \
            break;                     \
        case Ptex::dt_uint16:          \
            fn<uint16_t>(__VA_ARGS__); \
            break;                     \
        case Ptex::dt_half:            \
            fn<PtexHalf>(__VA_ARGS__); \
            break;                     \
        case Ptex::dt_float:           \
            fn<float>(__VA_ARGS__);    \
            break;                     \
    }

void reduce(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
            Ptex::DataType dt, int nchannels) {
    PTEX_DISPATCH(reduceT, src, sstride, ures, vres, dst, dstride, nchannels)
}

void reduceu(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
             Ptex::DataType dt, int nchannels) {
    PTEX_DISPATCH(reduceuT, src, sstride, ures, vres, dst, dstride, nchannels)
}

void reducev(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
             Ptex::DataType dt, int nchannels) {
    PTEX_DISPATCH(reducevT, src, sstride, ures, vres, dst, dstride, nchannels)
}

void reduceTri(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
               Ptex::DataType dt, int nchannels) {
    PTEX_DISPATCH(reduceTriT, src, sstride, ures, vres, dst, dstride, nchannels)
}

void average(const void* src, int sstride, int ures, int vres, void* dst, Ptex::DataType dt,
             int nchannels) {
    PTEX_DISPATCH(averageT, src, sstride, ures, vres, dst, nchannels)
}

void multalpha(void* data, int npixels, Ptex::DataType dt, int nchannels, int alphachan) {
    if (alphachan < 0 || alphachan >= nchannels) return;
    PTEX_DISPATCH(multalphaT, data, npixels, dt, nchannels, alphachan)
}

void divalpha(void* data, int npixels, Ptex::DataType dt, int nchannels, int alphachan) {
    if (alphachan < 0 || alphachan >= nchannels) return;
    PTEX_DISPATCH(divalphaT, data, npixels, dt, nchannels, alphachan)
}

#undef PTEX_DISPATCH

void fill(const void* src, void* dst, int dstride, int ures, int vres, int pixelsize) {
    char* row = static_cast<char*>(dst);
    int rowlen = ures * pixelsize;
    if (vres <= 0 || ures <= 0) return;
    for (int i = 0; i < ures; i++)
        std::memcpy(row + ptrdiff_t(i) * pixelsize, src, size_t(pixelsize));
    for (int j = 1; j < vres; j++) std::memcpy(row + ptrdiff_t(j) * dstride, row, size_t(rowlen));
}

void copy(const void* src, int sstride, void* dst, int dstride, int nrows, int rowlen) {
    if (nrows <= 0 || rowlen <= 0) return;
    if (sstride == rowlen && dstride == rowlen) {
        std::memcpy(dst, src, size_t(nrows) * size_t(rowlen));
        return;
    }
    const char* s = static_cast<const char*>(src);
    char* d = static_cast<char*>(dst);
    for (int j = 0; j < nrows; j++)
        std::memcpy(d + ptrdiff_t(j) * dstride, s + ptrdiff_t(j) * sstride, size_t(rowlen));
}

void genRfaceids(const Ptex::FaceInfo* faces, int nfaces, uint32_t* rfaceids, uint32_t* faceids) {
    if (nfaces <= 0) return;
    // stable counting sort by decreasing key (keys are small: log2 sizes)
    auto key = [&](int i) {
        const Ptex::FaceInfo& f = faces[i];
        int k = f.isConstant() ? 1 : std::min(int(f.res.ulog2), int(f.res.vlog2));
        return std::clamp(k, 0, 127);
    };
    uint32_t start[129] = {};
    for (int i = 0; i < nfaces; i++) start[127 - key(i) + 1]++;
    for (int k = 1; k <= 128; k++) start[k] += start[k - 1];
    for (int i = 0; i < nfaces; i++) {
        uint32_t r = start[127 - key(i)]++;
        if (faceids) faceids[r] = uint32_t(i);
        if (rfaceids) rfaceids[i] = r;
    }
}

}  // namespace PtexUtils
