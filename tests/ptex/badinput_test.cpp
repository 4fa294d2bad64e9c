// Damaged and hostile files: every golden file cut at many lengths and with
// flipped bytes, and a table of hand-made variants of a small file (huge counts,
// sizes, resolutions and offsets, bad neighbours, metadata and edit blocks).
// Each must fail to open with a clear error or read with errors, never crash,
// read out of bounds (sanitizer build) or ask for a huge allocation.
#include "ptex_test_util.h"

#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <new>

using namespace PtexTest;

namespace {

// Set when an allocation above the limit was asked for (operator new below).
size_t hugeAllocation = 0;
constexpr size_t allocationLimit = size_t(256) << 20;

void* guardedAlloc(size_t size, size_t align) {
    if (size > allocationLimit) {
        if (!hugeAllocation) hugeAllocation = size;
        return nullptr;
    }
    if (size == 0) size = 1;
    if (align <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(align, (size + align - 1) / align * align);
}

void* guardedNew(size_t size, size_t align) {
    if (void* p = guardedAlloc(size, align)) return p;
    throw std::bad_alloc();
}

}  // namespace

// Every form of new and delete is replaced, so all pair malloc with free (the
// sanitizer checks the pairing).
void* operator new(size_t size) {
    return guardedNew(size, 0);
}
void* operator new[](size_t size) {
    return guardedNew(size, 0);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return guardedAlloc(size, 0);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return guardedAlloc(size, 0);
}
void* operator new(size_t size, std::align_val_t a) {
    return guardedNew(size, size_t(a));
}
void* operator new[](size_t size, std::align_val_t a) {
    return guardedNew(size, size_t(a));
}
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return guardedAlloc(size, size_t(a));
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return guardedAlloc(size, size_t(a));
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace {

struct Outcome {
    bool opened = false;
    Ptex::String openError;
    std::vector<std::string> errors;  // reported through the error handler
};

bool saneRes(Ptex::Res r) {
    return r.ulog2 >= 0 && r.vlog2 >= 0 && r.ulog2 <= 12 && r.vlog2 <= 12;
}

void touchData(PtexFaceData* d, int pixelSize) {
    Bytes px(size_t(pixelSize) + 16);
    const Ptex::Res r = d->res(), tr = d->isTiled() ? d->tileRes() : r;
    for (int t = 0;
         d->isTiled() && saneRes(r) && saneRes(tr) && r >= tr && t < r.ntiles(tr) && t < 4096;
         t++) {
        PtexFaceData* tile = d->getTile(t);
        if (tile && saneRes(tile->res()))
            tile->getPixel(tile->res().u() - 1, tile->res().v() - 1, px.data());
        if (tile) tile->release();
    }
    if (!d->isTiled() && saneRes(r)) {
        d->getPixel(r.u() - 1, r.v() - 1, px.data());
        if (d->getData() && !d->isConstant())
            (void)static_cast<const volatile uint8_t*>(
                d->getData())[size_t(r.size()) * pixelSize - 1];
    }
    d->release();
}

// Reads everything a file offers through the public API, as a renderer would;
// fails the test on a huge allocation, an escaping exception, a neighbour out
// of range or a failed open without a message.
Outcome check(const std::string& path, const Bytes& data, const std::string& what) {
    writeFile(path, data);
    hugeAllocation = 0;
    Outcome out;
    Collect handler;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &handler);
    try {
        PtexTexture* tex = cache->get(path.c_str(), out.openError);
        out.opened = tex != nullptr;
        const int nfaces = tex ? tex->numFaces() : 0, nch = tex ? tex->numChannels() : 0;
        const int pixelSize = tex ? Ptex::DataSize(tex->dataType()) * nch : 0;
        std::vector<float> result(size_t(std::max(nch, 1)) + 4);
        for (int f = -1; tex && f <= nfaces && f < 100000; f++) {
            const Ptex::FaceInfo& info = tex->getFaceInfo(f);
            for (int e = 0; e < 4; e++)
                EXPECT_TRUE(info.adjfaces[e] >= -1 && info.adjfaces[e] < nfaces)
                    << what << ": neighbour out of range";
            touchData(tex->getData(f), pixelSize);
            touchData(tex->getData(f, Ptex::Res(0, 0)), pixelSize);
            tex->getPixel(f, 1 << 20, -5, result.data(), 0, nch);
            if (!saneRes(info.res) || pixelSize <= 0) continue;
            for (Ptex::Res r = info.res;; r = Ptex::Res(int8_t(r.ulog2 - 1), int8_t(r.vlog2 - 1))) {
                Bytes buffer(size_t(r.size()) * pixelSize);
                tex->getData(f, buffer.data(), 0, r);
                touchData(tex->getData(f, r), pixelSize);
                if (r.ulog2 == 0 || r.vlog2 == 0) break;
            }
            if (info.res.ulog2 > 0)  // an anisotropic reduction
                touchData(tex->getData(f, Ptex::Res(int8_t(info.res.ulog2 - 1), info.res.vlog2)),
                          pixelSize);
        }
        PtexMetaData* m = tex ? tex->getMetaData() : nullptr;
        for (int i = 0, n = 0; m && i < m->numKeys() && i < 100000; i++) {
            const char* key = nullptr;
            Ptex::MetaDataType type = Ptex::mdt_string;
            m->getKey(i, key, type);
            if (key) m->findKey(key, n, type);
            auto last = [&](auto* p) {
                m->getValue(i, p, n);
                if (p && n > 0) (void)p[n - 1];
            };
            const char* s = nullptr;
            m->getValue(i, s);
            if (s) (void)strlen(s);
            last(static_cast<const int8_t*>(nullptr)), last(static_cast<const int16_t*>(nullptr));
            last(static_cast<const int32_t*>(nullptr)), last(static_cast<const float*>(nullptr));
            last(static_cast<const double*>(nullptr));
        }
        if (tex) tex->release();
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": exception " << e.what();
    }
    cache->release();
    out.errors = handler.errors;
    EXPECT_EQ(hugeAllocation, 0u) << what << ": allocation of " << hugeAllocation;
    EXPECT_TRUE(out.opened || !out.openError.empty())
        << what << ": open failed without an error text";
    return out;
}

class GoldenDamage : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenDamage, CutAndFlipped) {
    PTEX_REQUIRE_GOLDEN(GetParam());
    ScratchDir dir;
    const Bytes data = readFile(GetParam());
    ASSERT_GT(data.size(), 200u);
    std::vector<size_t> lengths;  // every length through the headers, then spread out
    for (size_t n = 0; n < 160; n += (n < 110 ? 1 : 7)) lengths.push_back(n);
    const bool big = data.size() > 100000;  // reading it whole is slow: fewer variants
    for (int i = 1; i < (big ? 24 : 60); i++)
        lengths.push_back(160 + (data.size() - 160) * i / (big ? 24 : 60));
    for (size_t k = 1; k <= 9; k++) lengths.push_back(data.size() - k);
    const std::string p = dir.file("damaged.ptx");
    for (size_t n : lengths) {
        const Outcome o =
            check(p, Bytes(data.begin(), data.begin() + long(n)), "cut at " + std::to_string(n));
        EXPECT_TRUE(n >= 64 || o.openError == "Not a ptex file: " + p) << o.openError;
        // until the metadata every section is needed: a cut file cannot read clean
        EXPECT_TRUE(n + 8 >= data.size() - 2000 || !o.opened || !o.errors.empty())
            << "cut at " << n << " read clean";
        if (HasFailure()) return;
    }
    Rng rng{uint32_t(data.size()) | 1};
    std::vector<std::pair<size_t, uint8_t>> flips;
    for (size_t pos = 0; pos < 104; pos++) flips.push_back({pos, 0xff});
    for (size_t pos = 0; pos < 104 && !big; pos++)
        flips.push_back({pos, uint8_t(1u << (rng.next() % 8))});
    for (int i = 0; i < (big ? 40 : 120); i++)
        flips.push_back({104 + rng.next() % (data.size() - 104), uint8_t(rng.next() | 1)});
    for (const auto& [pos, mask] : flips) {
        Bytes bad = data;
        bad[pos] ^= mask;
        check(p, bad, "byte " + std::to_string(pos) + " ^ " + std::to_string(mask));
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenDamage, ::testing::ValuesIn(goldenParams()), paramName);

// Little-endian field of n bytes.
void put(Bytes& b, size_t pos, uint64_t v, int n = 4) {
    for (int i = 0; i < n; i++) b[pos + i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const Bytes& b, size_t pos) {
    return uint32_t(b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16) | uint32_t(b[pos + 3]) << 24;
}

// Variants of a small valid file: a tiled RGBA face, a small face, small and
// large metadata. Offsets as in the file format: 64-byte header, 40-byte
// extension, then face infos, constant data, level infos, levels, metadata.
class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        Ptex::String error;
        PtexWriter* w =
            PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 2, error);
        ASSERT_TRUE(w) << error;
        const Bytes img0 = makeImage(Ptex::Res(8, 8), Ptex::dt_uint8, 4, 1);  // tiled
        const Bytes img1 = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 4, 2);
        ASSERT_TRUE(w->writeFace(0, quadInfo(8, 8, 1, -1, -1, -1, 3), img0.data()));
        ASSERT_TRUE(w->writeFace(1, quadInfo(3, 3, -1, -1, -1, 0, 0, 0, 0, 1), img1.data()));
        w->writeMeta("small", "text");
        std::vector<int32_t> large(400, 7);
        w->writeMeta("large", large.data(), int(large.size()));
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
        base = readFile(path);
        const Outcome o = check(path, base, "base");
        ASSERT_TRUE(o.opened && o.errors.empty());
        levelInfo = 104 + get32(base, 32) + get32(base, 36);
        level0 = levelInfo + get32(base, 40);
        meta = level0 + get32(base, 48);
        faceRecords.resize(40);
        uLongf n = 40;
        ASSERT_EQ(Z_OK, uncompress(faceRecords.data(), &n, &base[104], get32(base, 32)));
    }

    Bytes with(size_t pos, uint64_t v, int n = 4) const {
        Bytes b = base;
        put(b, pos, v, n);
        return b;
    }
    // The zipped section at pos (size in the field at sizeField) replaced by
    // raw zipped; memField (if any) gets the raw size, editdatapos the end.
    Bytes withSection(size_t pos, size_t sizeField, const Bytes& raw, size_t memField = 0) const {
        uLongf size = compressBound(uLong(raw.size()));
        Bytes z(size);
        compress(z.data(), &size, raw.data(), uLong(raw.size()));
        Bytes out(base.begin(), base.begin() + long(pos));
        out.insert(out.end(), z.begin(), z.begin() + long(size));
        out.insert(out.end(), base.begin() + long(pos + get32(base, sizeField)), base.end());
        put(out, sizeField, size);
        if (memField) put(out, memField, raw.size());
        put(out, 96, out.size(), 8);
        return out;
    }
    Bytes withFaces(const std::function<void(Bytes&)>& edit) const {
        Bytes raw = faceRecords;  // 20 bytes a face: ulog2, vlog2, adjedges, flags, 4 neighbours
        edit(raw);
        return withSection(104, 32, raw);
    }
    Bytes withEdit(uint8_t type, const Bytes& payload, uint32_t claimed) const {
        Bytes b = base;
        b.resize(b.size() + 5);
        b[b.size() - 5] = type;
        put(b, b.size() - 4, claimed);
        b.insert(b.end(), payload.begin(), payload.end());
        return b;
    }

    ScratchDir dir;
    const std::string path = dir.file("variant.ptx");
    Bytes base, faceRecords;
    size_t levelInfo = 0, level0 = 0, meta = 0;
};

struct Variant {
    std::string name;
    Bytes bytes;
    std::string error = "";   // the exact open error ("@" for the path), if the reader must refuse
    bool readErrors = false;  // opens but must report errors while reading
};

TEST_F(Hostile, EveryVariantFailsCleanly) {
    std::vector<Variant> v = {
        {"magic", with(0, 0x12345678), "Not a ptex file: @"},
        {"version", with(4, 2), "Unsupported ptex file version (2): @"},
        {"mesh type", with(8, 7), "Invalid mesh type (7): @"},
        {"data type", with(12, 4), "Invalid data type (4): @"},
        {"data type -1", with(12, 0xffffffff)},
        {"alpha 99", with(16, 99)},
        {"alpha huge", with(16, 0x80000000u)},
        {"no channels", with(20, 0, 2), "Invalid number of channels (0): @"},
        {"65535 channels", with(20, 0xffff, 2)},
        {"no levels", with(22, 0, 2), "Invalid number of levels (0): @"},
        {"65535 levels", with(22, 0xffff, 2)},
        {"nfaces 2^32-1", with(24, 0xffffffffu), "Invalid number of faces (4294967295): @"},
        {"nfaces 2^26-1", with(24, (1u << 26) - 1),
         "PtexReader error: unzip failed, file corrupt PtexFile: @\n"},
        {"nfaces 2^31-1", with(24, 0x7fffffffu)},
        {"nfaces 3000000", with(24, 3000000u)},
        {"nfaces 0", with(24, 0)},
        {"level data size", with(48, ~uint64_t(0), 8),
         "PtexReader error: invalid data, file corrupt PtexFile: @\n"},
        {"metadata memsize", with(60, 0xfffffff0u), "", true},
        {"face 1 res 30x2", withFaces([](Bytes& r) { put(r, 20, 0x21e, 2); }),
         "PtexReader error: invalid face resolution (face 1) PtexFile: @\n"},
        {"face 0 res 9x9, data of 8x8", withFaces([](Bytes& r) { put(r, 0, 0x909, 2); }), "", true},
        {"neighbours", withFaces([](Bytes& r) {
             put(r, 4, 2), put(r, 8, uint32_t(-7)), put(r, 32, 0x7fffffff), put(r, 36, 0x80000000u);
         })},
    };
    for (size_t field : {28u, 32u, 36u, 40u, 56u, 60u})
        for (uint32_t x : {0xffffffffu, 0x7ffffff0u, 0u, 1u})
            v.push_back({"header field " + std::to_string(field) + " = " + std::to_string(x),
                         with(field, x)});
    for (size_t field : {48u, 80u, 88u, 96u})
        v.push_back({"64-bit field " + std::to_string(field), with(field, ~0ull - 5, 8)});
    for (size_t field : {72u, 76u})
        v.push_back({"large metadata field " + std::to_string(field), with(field, 0xfffffff0u)});
    for (size_t level = 0; level < get32(base, 40) / 16; level++) {
        v.push_back({"level nfaces", with(levelInfo + 16 * level + 12, 0x7fffffffu)});
        v.push_back({"level data size", with(levelInfo + 16 * level, ~0ull >> 2, 8)});
        v.push_back({"level header size", with(levelInfo + 16 * level + 8, 0xfffffff0u)});
    }
    for (int res :
         {0x1e1e, 0x1f, 0x1f00, 0x03ff, 0x8003, 0x7f7f, 0x1414, 0x0f0f}) {  // vlog2 << 8 | ulog2
        v.push_back(
            {"res " + std::to_string(res), withFaces([&](Bytes& r) { put(r, 20, res, 2); })});
        v.push_back({"constant res " + std::to_string(res),
                     withFaces([&](Bytes& r) { put(r, 0, res, 2), r[3] = 1; })});
    }
    // The tiled block of face 0 (tile res, tile header size); level header words.
    const size_t block = level0 + get32(base, levelInfo + 8);
    for (int t : {0x0909, 0x07ff, 0x0000, 0x0264, 0x0808})
        v.push_back({"tile res " + std::to_string(t), with(block, t, 2)});
    for (uint32_t x : {0xffffffffu, 0u, 7u})
        v.push_back({"tile header size " + std::to_string(x), with(block + 2, x)});
    for (uint64_t x : {0x3fffffffull, 0xffffffffull, 0x80000010ull, 0x40000003ull}) {
        Bytes words(8);
        put(words, 0, x * 0x100000001ull, 8);
        v.push_back(
            {"level header words " + std::to_string(x), withSection(level0, levelInfo + 8, words)});
    }
    // Metadata records: keysize, key, type, datasize, data (large ones: zipsize, no data).
    Bytes rec = {4, 'k', 'e', 'y', 0, 3, 0xf0, 0xff, 0xff, 0xff, 1, 2, 3, 4};
    v.push_back({"record past the block", withSection(meta, 56, rec, 60)});
    rec[0] = 0;
    v.push_back({"key size 0", withSection(meta, 56, rec, 60)});
    rec[0] = 200;
    v.push_back({"key past the end", withSection(meta, 56, rec, 60)});
    const Bytes lrec = {6,    'l',  'a',  'r',  'g',  'e',  0,    3,
                        0xfc, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f};
    v.push_back({"large entry of 4 GiB", withSection(meta + get32(base, 56) + 8, 72, lrec, 76)});
    // Edit blocks appended: type, size, payload (face: id, face info, block header, pixel, data).
    v.push_back({"edit size huge", withEdit(0, Bytes(10, 0), 0xffffffffu)});
    Bytes face(32, 0);
    put(face, 0, 0x7fffffffu);
    v.push_back({"edit face id", withEdit(0, face, 32)});
    put(face, 0, 1), put(face, 4, 0x1414, 2), put(face, 24, 0x7fffffffu);
    v.push_back({"edit huge block", withEdit(0, face, 32)});
    put(face, 4, 0x0303, 2), put(face, 24, 0xc0000010u);
    v.push_back({"edit tiled, too short", withEdit(0, face, 32)});
    Bytes me(12, 0);
    put(me, 0, 0xfffffff0fffffff0ull, 8);
    v.push_back({"metadata edit sizes", withEdit(1, me, 12)});
    put(me, 0, 4);
    v.push_back({"metadata edit memsize", withEdit(1, me, 12)});
    v.push_back({"unknown edit type", withEdit(7, Bytes(3, 1), 3)});

    for (const Variant& var : v) {
        const Outcome o = check(path, var.bytes, var.name);
        std::string text = var.error;
        if (!text.empty()) text.replace(text.find('@'), 1, path);
        EXPECT_TRUE(text.empty() || o.openError == text) << var.name << ": " << o.openError;
        EXPECT_TRUE(!var.readErrors || (o.opened && !o.errors.empty())) << var.name;
    }
}

TEST_F(Hostile, BadRequestsAreHarmlessAndErrorsGiveZeroData) {
    Collect errs;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &errs);
    Ptex::String err;
    for (bool cut : {false, true}) {
        if (cut)
            writeFile(path,
                      Bytes(base.begin(), base.begin() + long(level0 + 30)));  // cut in the levels
        PtexTexture* t = cache->get(path.c_str(), err);
        ASSERT_TRUE(t) << err;
        Bytes buf(8 * 8 * 4, 0xab);
        t->getData(cut ? 1 : 99, buf.data(), 0,
                   Ptex::Res(3, 3));  // invalid face or read error: zero pixels
        EXPECT_EQ(buf, Bytes(buf.size(), 0));
        ASSERT_EQ(errs.errors.size(), cut ? 3u : 0u);
        if (cut) {
            EXPECT_EQ(0u, errs.errors[2].rfind("PtexReader error:", 0)) << errs.errors[2];
            EXPECT_NE(std::string::npos, errs.errors[2].find(" PtexFile: " + path + "\n"));
        }
        for (Ptex::Res r :
             {Ptex::Res(4, 4), Ptex::Res(-1, 2), Ptex::Res(2, 3)}) {  // enlarged, below one texel
            PtexFaceData* d = t->getData(cut ? 0 : 1, r);
            EXPECT_EQ(d->isConstant() && static_cast<uint8_t*>(d->getData())[0] == 0,
                      cut || r != Ptex::Res(2, 3));
            d->release();
        }
        t->getData(1, buf.data(),
                   0);  // bad requests do not put the texture in error, read errors do
        EXPECT_EQ(buf == Bytes(buf.size(), 0), cut);
        float px[5] = {7, 7, 7, 7, 7};
        t->getPixel(1, 0, 0, px, 2, 5);  // channel range clipped to the file's
        EXPECT_TRUE((px[0] != 0) != cut && px[2] == 0 && px[4] == 0);
        t->release();
        cache->purgeAll();
    }
    cache->release();
    EXPECT_EQ(nullptr, PtexTexture::open("/no/such/dir/x.ptx", err));
    EXPECT_EQ("Can't open ptex file: /no/such/dir/x.ptx\nNo such file or directory", err);
}

}  // namespace
