// Fuzz target: the .ptx reader fed any bytes through an input handler over the
// fuzz input (no file is written).
// Opens the bytes through a cache, then asks for everything a renderer or tool
// may ask: every face info, every face at every isotropic level and a few
// anisotropic ones (both getData forms and getPixel), every tile of tiled data,
// every metadata entry as every type (by index and by key), and one box,
// bicubic and Mitchell filter evaluation per face. Every byte handed out is read
// so the sanitizers see any access outside the data.
// Checks (abort on failure): face infos only name faces that exist; face data
// handles are never null and say what they hold; copies never write past the
// buffer they were given; metadata lookups by index and by key agree.
// Work per input is bounded by a texel budget: faces are still opened when the
// budget is spent, but not copied or reduced any more. The reader itself must
// refuse sizes no file can hold; nothing here filters hostile sizes out.
#include "Ptexture.h"
#include "filters/PtexFilterFactory.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Reads the fuzz bytes as a file. Short reads at the end, like a truncated file.
class MemoryInput : public PtexInputHandler {
public:
    MemoryInput(const uint8_t* data, size_t size) : _data(data), _size(size) {}

    Handle open(const char*) override {
        ++opens;
        return new Stream{0};
    }
    void seek(Handle handle, int64_t pos) override {
        static_cast<Stream*>(handle)->pos = pos < 0 ? UINT64_MAX : uint64_t(pos);
    }
    size_t read(void* buffer, size_t size, Handle handle) override {
        Stream* s = static_cast<Stream*>(handle);
        if (s->pos >= _size) return 0;
        size_t n = std::min<size_t>(size, _size - size_t(s->pos));
        std::memcpy(buffer, _data + s->pos, n);
        s->pos += n;
        return n;
    }
    bool close(Handle handle) override {
        delete static_cast<Stream*>(handle);
        return true;
    }
    const char* lastError() override { return "no error"; }

    int opens = 0;

private:
    struct Stream {
        uint64_t pos;
    };
    const uint8_t* _data;
    size_t _size;
};

class QuietErrors : public PtexErrorHandler {
public:
    void reportError(const char* error) override {
        require(error != nullptr);
        ++count;
    }
    int count = 0;
};

// Everything read goes into this sum so no read can be optimised away.
volatile uint32_t gSink = 0;

// Reads every byte (8 at a time: the sanitizer checks each load) without
// coverage tracing, which would dominate the run time on large faces.
__attribute__((no_sanitize("coverage"))) void touch(const void* data, size_t bytes) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        sum += word;
    }
    for (; i < bytes; i++) sum += p[i];
    gSink = gSink + uint32_t(sum);
}

constexpr uint64_t TexelBudget = uint64_t(1) << 22;   // texels copied or reduced per input
constexpr int64_t MaxCopyTexels = int64_t(1) << 20;   // largest face copied into our own buffer
constexpr int64_t MaxAnisoTexels = int64_t(1) << 16;  // largest face reduced in one direction only
constexpr int Guard = 16;                             // guard bytes behind every copy buffer
constexpr uint8_t GuardByte = 0xA5;

struct Reader {
    PtexTexture* tex;
    int nchan;
    int psize;
    uint64_t budget;
    std::vector<uint8_t> buffer;

    Reader(PtexTexture* t, int n, int p, uint64_t b = TexelBudget)
        : tex(t), nchan(n), psize(p), budget(b) {}

    bool spend(int64_t texels) {
        if (texels < 0 || uint64_t(texels) > budget) return false;
        budget -= uint64_t(texels);
        return true;
    }

    // Reads a face data handle completely (tiles too) and releases it.
    void readHandle(PtexFaceData* fd, bool allowTiles) {
        require(fd != nullptr);
        Ptex::Res r = fd->res();
        std::vector<uint8_t> pixel(size_t(psize) + Guard, GuardByte);
        if (fd->isConstant()) {
            require(fd->getData() != nullptr);
            touch(fd->getData(), size_t(psize));
            fd->getPixel(0, 0, pixel.data());
        } else if (fd->isTiled()) {
            require(fd->getData() == nullptr);
            Ptex::Res tr = fd->tileRes();
            require(tr.ulog2 >= 0 && tr.vlog2 >= 0 && tr.ulog2 <= r.ulog2 && tr.vlog2 <= r.vlog2);
            require(fd->getTile(-1) == nullptr);
            int ntiles = r.ntiles(tr);
            require(fd->getTile(ntiles) == nullptr);
            for (int t = 0; t < ntiles && allowTiles; t++) {
                if (!spend(1)) break;
                PtexFaceData* tile = fd->getTile(t);
                require(tile != nullptr && !tile->isTiled());
                if (!tile->isConstant() && !spend(tile->res().size())) {
                    tile->release();
                    break;
                }
                readHandle(tile, false);
            }
            fd->getPixel(r.u() - 1, r.v() - 1, pixel.data());
        } else {
            require(r.ulog2 >= 0 && r.vlog2 >= 0);
            require(fd->getData() != nullptr);
            if (spend(r.size())) touch(fd->getData(), size_t(r.size()) * size_t(psize));
            fd->getPixel(0, 0, pixel.data());
            fd->getPixel(r.u() - 1, r.v() - 1, pixel.data());
        }
        for (int i = 0; i < Guard; i++) require(pixel[size_t(psize + i)] == GuardByte);
        fd->release();
    }

    // getData into our buffer (packed or with a padded stride), guard checked.
    void copyFace(int f, Ptex::Res res, bool atRes, int pad) {
        if (res.ulog2 < 0 || res.vlog2 < 0 || res.ulog2 > 20 || res.vlog2 > 20) return;
        int64_t texels = int64_t(1) << (res.ulog2 + res.vlog2);
        if (texels > MaxCopyTexels || !spend(texels)) return;
        size_t row = size_t(res.u()) * size_t(psize);
        int stride = pad ? int(row) + pad : 0;
        size_t bytes = (stride ? size_t(stride) : row) * size_t(res.v());
        buffer.assign(bytes + Guard, GuardByte);
        if (atRes)
            tex->getData(f, buffer.data(), stride, res);
        else
            tex->getData(f, buffer.data(), stride);
        for (int i = 0; i < Guard; i++) require(buffer[bytes + size_t(i)] == GuardByte);
        touch(buffer.data(), bytes);
    }

    void pixels(int f, Ptex::Res res, bool atRes) {
        float result[64 + 4];
        const int us[] = {0, res.u() - 1, -1, 1 << 30};
        for (int k = 0; k < 4; k++) {
            for (float& x : result) x = -7.0f;
            int n = std::min(nchan, 64);
            if (atRes)
                tex->getPixel(f, us[k], us[3 - k], result, 0, n, res);
            else
                tex->getPixel(f, us[k], us[3 - k], result, 0, n);
            for (int i = n; i < 68; i++) require(result[i] == -7.0f);
        }
        // Channel ranges partly or wholly outside the texture.
        for (float& x : result) x = -7.0f;
        tex->getPixel(f, 0, 0, result, nchan - 1, 3);
        for (int i = 3; i < 68; i++) require(result[i] == -7.0f);
        tex->getPixel(f, 0, 0, result, -1, 2);
        tex->getPixel(f, 0, 0, result, nchan + 5, 2);
        require(result[0] == 0.0f && result[1] == 0.0f);
        tex->getPixel(f, 0, 0, result, 0, 0);
    }

    void level(int f, Ptex::Res res) {
        readHandle(tex->getData(f, res), true);
        copyFace(f, res, true, 0);
        if (res.ulog2 >= 0 && res.vlog2 >= 0) pixels(f, res, true);
    }

    void face(int f, int nfaces) {
        const Ptex::FaceInfo& info = tex->getFaceInfo(f);
        for (int e = 0; e < 4; e++) require(info.adjfaces[e] >= -1 && info.adjfaces[e] < nfaces);
        Ptex::Res res = info.res;

        readHandle(tex->getData(f), true);
        copyFace(f, res, false, 0);
        copyFace(f, res, false, 3 * psize + 1);
        pixels(f, res, false);

        // Every isotropic level down to one texel, then the constant value.
        for (int k = 1; k <= std::min<int>(res.ulog2, res.vlog2) && budget; k++)
            level(f, Ptex::Res(int8_t(res.ulog2 - k), int8_t(res.vlog2 - k)));
        level(f, Ptex::Res(0, 0));
        // Anisotropic reductions (an error on triangles), computed from the full
        // face: they cost about twice its size.
        const int64_t texels = int64_t(1) << (res.ulog2 + res.vlog2);
        if (texels <= MaxAnisoTexels && spend(2 * texels)) {
            if (res.ulog2 > 0) level(f, Ptex::Res(int8_t(res.ulog2 - 1), res.vlog2));
            if (res.vlog2 > 1) level(f, Ptex::Res(res.ulog2, int8_t(res.vlog2 - 2)));
            if (res.ulog2 > 0 && res.vlog2 > 0) level(f, Ptex::Res(0, res.vlog2));
        }
        // An enlargement and a negative resolution (both refused).
        level(f, Ptex::Res(int8_t(res.ulog2 + 1), res.vlog2));
        level(f, Ptex::Res(int8_t(-1), res.vlog2));
    }
};

void readMetaData(PtexMetaData* md) {
    require(md != nullptr);
    int n = md->numKeys();
    require(n >= 0);
    for (int i = -1; i <= n; i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::MetaDataType(-1);
        md->getKey(i, key, type);
        if (i < 0 || i == n) {
            require(key == nullptr);
            continue;
        }
        require(key != nullptr);
        touch(key, std::strlen(key));
        int index = -2;
        Ptex::MetaDataType found = Ptex::MetaDataType(-1);
        require(md->findKey(key, index, found));
        require(found == type && index >= 0 && index < n);

        const char* s = nullptr;
        md->getValue(i, s);
        if (s) touch(s, std::strlen(s));
        md->getValue(key, s);
        if (s) touch(s, std::strlen(s));
        int count = 0;
#define ZENTO_READ_META(T)                          \
    {                                               \
        const T* v = nullptr;                       \
        md->getValue(i, v, count);                  \
        if (v)                                      \
            touch(v, size_t(count) * sizeof(T));    \
        else                                        \
            require(count == 0);                    \
        md->getValue(key, v, count);                \
        if (v) touch(v, size_t(count) * sizeof(T)); \
    }
        ZENTO_READ_META(int8_t)
        ZENTO_READ_META(int16_t)
        ZENTO_READ_META(int32_t)
        ZENTO_READ_META(float)
        ZENTO_READ_META(double)
#undef ZENTO_READ_META
    }
    int index = 0;
    Ptex::MetaDataType type = Ptex::mdt_string;
    require(!md->findKey("", index, type) || index >= 0);
    md->release();
}

void filterFaces(PtexTexture* tex, int nfaces, int maxFaces) {
    PtexFilter::Options box(PtexFilter::f_box), bicubic(PtexFilter::f_bicubic, true, 0.5f);
    PtexFilter* filters[3] = {PtexFilter::getFilter(tex, box), PtexFilter::getFilter(tex, bicubic),
                              nullptr};
    if (tex->meshType() == Ptex::mt_quad) {
        static const bool registered = registerPluginFilterTypes();
        require(registered);
        PtexFilter::Options mitchell(PtexFilter::FilterType(kMitchellFilterType), false,
                                     2.0f / 3.0f);
        filters[2] = PtexFilter::getFilter(tex, mitchell);
        require(filters[2] != nullptr);
    }
    const int nchan = tex->numChannels();
    float result[64 + 4];
    for (int f = 0; f < std::min(nfaces, maxFaces); f++) {
        // A different point and footprint per face, small to wide.
        float u = std::fmod(0.618034f * float(f + 1), 1.0f),
              v = std::fmod(0.414214f * float(f + 3), 1.0f);
        float w = std::ldexp(1.0f, -(f % 9));
        for (int k = 0; k < 3; k++) {
            if (!filters[k]) continue;
            for (float& x : result) x = -7.0f;
            int n = std::min(nchan, 64);
            filters[k]->eval(result, 0, n, f, u, v, w, 0, 0, w * 0.5f, 1.0f, 0.0f);
            for (int i = n; i < 68; i++) require(result[i] == -7.0f);
        }
    }
    // Requests a renderer can make by mistake.
    for (int k = 0; k < 3; k++) {
        if (!filters[k]) continue;
        filters[k]->eval(result, 0, 4, -1, 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
        filters[k]->eval(result, 0, 4, nfaces, 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
        if (nfaces > 0) {
            filters[k]->eval(result, 0, 4, 0, NAN, 0.5f, INFINITY, 0, 0, 0.1f);
            filters[k]->eval(result, nchan - 1, 4, 0, 1.5f, -0.5f, 0, 0, 0, 0);
        }
        filters[k]->release();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryInput input(data, size);
    QuietErrors errors;
    // The premultiply choice comes from the input's length so both paths are fuzzed.
    PtexCache* cache = PtexCache::create(2, 0, (size & 1) != 0, &input, &errors);
    Ptex::String error;
    PtexTexture* tex = cache->get("fuzz.ptx", error);
    if (!tex) {
        require(!error.empty());
        cache->release();
        return 0;
    }

    PtexTexture::Info info = tex->getInfo();
    require(info.numFaces >= 0 && info.numChannels > 0);
    require(info.alphaChannel >= -1 && info.alphaChannel < info.numChannels);
    require(Ptex::DataSize(info.dataType) > 0);
    gSink = gSink + uint32_t(tex->hasEdits()) + uint32_t(tex->hasMipMaps());

    Reader reader(tex, info.numChannels, Ptex::DataSize(info.dataType) * info.numChannels);
    const int nfaces = info.numFaces;
    // A face costs at least one unit of budget, so huge face counts end early.
    for (int f = 0; f < nfaces && reader.spend(64); f++) reader.face(f, nfaces);
    const Ptex::FaceInfo& none = tex->getFaceInfo(nfaces);
    require(none.adjfaces[0] == -1 && none.res.ulog2 == 0);
    reader.readHandle(tex->getData(-1), true);
    reader.readHandle(tex->getData(nfaces, Ptex::Res(1, 1)), true);

    readMetaData(tex->getMetaData());
    filterFaces(tex, nfaces, 4096);
    tex->release();

    // Forget everything and read a face and the metadata again (reopen path).
    cache->purgeAll();
    tex = cache->get("fuzz.ptx", error);
    if (tex) {
        if (nfaces > 0) {
            Reader again(tex, info.numChannels, reader.psize, uint64_t(1) << 16);
            again.readHandle(tex->getData(nfaces - 1), true);
        }
        readMetaData(tex->getMetaData());
        tex->release();
    }
    PtexCache::Stats stats;
    cache->getStats(stats);
    cache->release();
    return 0;
}
