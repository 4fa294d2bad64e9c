// Reads everything a damaged file offers (see badinput_exercise.h), and the
// allocation guard that catches oversized requests.
#include "badinput_exercise.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Ptexture.h"

namespace PtexBadInput {

size_t hugeAllocation = 0;

namespace {

class CountingHandler : public PtexErrorHandler {
public:
    void reportError(const char*) override { count++; }
    int count = 0;
};

bool saneRes(Ptex::Res r) { return r.ulog2 >= 0 && r.vlog2 >= 0 && r.ulog2 <= 12 && r.vlog2 <= 12; }

void touchData(PtexFaceData* d, int pixelSize)
{
    if (!d) return;
    std::vector<uint8_t> px(size_t(pixelSize) + 16);
    d->isConstant();
    const Ptex::Res r = d->res();
    if (d->isTiled()) {
        const Ptex::Res tr = d->tileRes();
        if (saneRes(r) && saneRes(tr) && r >= tr) {
            const int n = r.ntiles(tr);
            for (int t = 0; t < n && t < 4096; t++) {
                PtexFaceData* tile = d->getTile(t);
                if (!tile) continue;
                const Ptex::Res tres = tile->res();
                if (saneRes(tres)) {
                    tile->getPixel(0, 0, px.data());
                    tile->getPixel(tres.u() - 1, tres.v() - 1, px.data());
                }
                tile->release();
            }
        }
    } else if (saneRes(r)) {
        d->getPixel(0, 0, px.data());
        d->getPixel(r.u() - 1, r.v() - 1, px.data());
        if (d->getData() && !d->isConstant()) {
            const volatile uint8_t* p = static_cast<const uint8_t*>(d->getData());
            (void)p[size_t(r.size()) * pixelSize - 1];
        }
    }
    d->release();
}

void exerciseMeta(PtexTexture* tex)
{
    PtexMetaData* m = tex->getMetaData();
    if (!m) return;
    const int n = m->numKeys();
    for (int i = 0; i < n && i < 100000; i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        m->getKey(i, key, type);
        int index = -1;
        if (key) m->findKey(key, index, type);
        int count = 0;
        const char* s = nullptr;
        m->getValue(i, s);
        if (s) (void)strlen(s);
        const int8_t* a;
        m->getValue(i, a, count);
        const int16_t* b;
        m->getValue(i, b, count);
        const int32_t* c;
        m->getValue(i, c, count);
        const float* f;
        m->getValue(i, f, count);
        const double* d;
        m->getValue(i, d, count);
        if (d && count > 0) (void)d[count - 1];
    }
    const char* none = nullptr;
    Ptex::MetaDataType noneType = Ptex::mdt_string;
    m->getKey(-1, none, noneType);
    m->getKey(n, none, noneType);
    m->release();
}

}  // namespace

Outcome exerciseFile(const std::string& path)
{
    Outcome out;
    CountingHandler handler;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &handler);
    if (!cache) return out;
    Ptex::String error;
    PtexTexture* tex = cache->get(path.c_str(), error);
    out.opened = tex != nullptr;
    out.openError = error;
    if (tex) {
        tex->getInfo();
        tex->hasEdits();
        tex->hasMipMaps();
        const int nfaces = tex->numFaces();
        const int pixelSize = Ptex::DataSize(tex->dataType()) * tex->numChannels();
        std::vector<uint8_t> buffer;
        std::vector<float> result(size_t(tex->numChannels() > 0 ? tex->numChannels() : 1) + 4);
        for (int f = -1; f <= nfaces && f < 100000; f++) {
            const Ptex::FaceInfo& info = tex->getFaceInfo(f);
            for (int e = 0; e < 4; e++)
                if (info.adjfaces[e] < -1 || info.adjfaces[e] >= nfaces) out.badNeighbour = true;
            touchData(tex->getData(f), pixelSize);
            touchData(tex->getData(f, Ptex::Res(0, 0)), pixelSize);
            tex->getPixel(f, 0, 0, result.data(), 0, tex->numChannels());
            if (!saneRes(info.res) || pixelSize <= 0) continue;
            // Every symmetric level, then two anisotropic dynamic reductions.
            Ptex::Res r = info.res;
            for (;;) {
                buffer.assign(size_t(r.size()) * pixelSize, 0);
                tex->getData(f, buffer.data(), 0, r);
                touchData(tex->getData(f, r), pixelSize);
                if (r.ulog2 == 0 || r.vlog2 == 0) break;
                r = Ptex::Res(int8_t(r.ulog2 - 1), int8_t(r.vlog2 - 1));
            }
            if (info.res.ulog2 > 0) touchData(tex->getData(f, Ptex::Res(int8_t(info.res.ulog2 - 1), info.res.vlog2)), pixelSize);
            if (info.res.vlog2 > 0) touchData(tex->getData(f, Ptex::Res(info.res.ulog2, int8_t(info.res.vlog2 - 1))), pixelSize);
            tex->getPixel(f, info.res.u() - 1, info.res.v() - 1, result.data(), 0, tex->numChannels(), Ptex::Res(0, 0));
        }
        exerciseMeta(tex);
        tex->release();
    }
    cache->release();
    out.readErrors = handler.count;
    return out;
}

}  // namespace PtexBadInput

// Allocation guard: a damaged size must never turn into a huge request. Every
// form of new and delete is replaced so they all pair malloc with free (the
// sanitizer checks the pairing).
namespace {

void* guardedAlloc(size_t size, size_t align)
{
    if (size > PtexBadInput::allocationLimit) {
        if (!PtexBadInput::hugeAllocation) PtexBadInput::hugeAllocation = size;
        return nullptr;
    }
    if (size == 0) size = 1;
    if (align <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(align, (size + align - 1) / align * align);
}

void* guardedNew(size_t size, size_t align)
{
    if (void* p = guardedAlloc(size, align)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) { return guardedNew(size, 0); }
void* operator new[](size_t size) { return guardedNew(size, 0); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return guardedAlloc(size, 0); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return guardedAlloc(size, 0); }
void* operator new(size_t size, std::align_val_t a) { return guardedNew(size, size_t(a)); }
void* operator new[](size_t size, std::align_val_t a) { return guardedNew(size, size_t(a)); }
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return guardedAlloc(size, size_t(a)); }
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return guardedAlloc(size, size_t(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
