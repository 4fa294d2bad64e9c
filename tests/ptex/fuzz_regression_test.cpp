// Faults the fuzz targets (fuzz/) found, each kept as a test of the input that
// showed it. The inputs are made here: a small file from our writer, then the
// bytes the fuzzer changed are changed the same way, and the file is read from
// memory through an input handler like the reader target does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PtexUtils.h"
#include "Ptexture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Serves one byte buffer as the file behind every path.
class MemoryInput : public PtexInputHandler {
public:
    explicit MemoryInput(const Bytes& data) : _data(data) {}
    Handle open(const char*) override { return new uint64_t(0); }
    void seek(Handle handle, int64_t pos) override {
        *static_cast<uint64_t*>(handle) = pos < 0 ? UINT64_MAX : uint64_t(pos);
    }
    size_t read(void* buffer, size_t size, Handle handle) override {
        uint64_t& pos = *static_cast<uint64_t*>(handle);
        if (pos >= _data.size()) return 0;
        size_t n = std::min<size_t>(size, _data.size() - size_t(pos));
        std::memcpy(buffer, _data.data() + pos, n);
        pos += n;
        return n;
    }
    bool close(Handle handle) override {
        delete static_cast<uint64_t*>(handle);
        return true;
    }
    const char* lastError() override { return "no error"; }

private:
    const Bytes& _data;
};

class CountingErrors : public PtexErrorHandler {
public:
    void reportError(const char*) override { ++count; }
    int count = 0;
};

// A texture opened from memory through a cache; released in order.
class MemoryTexture {
public:
    explicit MemoryTexture(const Bytes& data) : _input(data) {
        _cache = PtexCache::create(1, 0, false, &_input, &errors);
        tex = _cache->get("fuzz.ptx", error);
    }
    ~MemoryTexture() {
        if (tex) tex->release();
        _cache->release();
    }
    MemoryTexture(const MemoryTexture&) = delete;
    MemoryTexture& operator=(const MemoryTexture&) = delete;

    CountingErrors errors;
    Ptex::String error;
    PtexTexture* tex = nullptr;

private:
    MemoryInput _input;
    PtexCache* _cache = nullptr;
};

// A 2-face quad RGB8 texture with mip-maps, as bytes (written through a scratch file).
Bytes smallTexture() {
    char dir[] = "/tmp/fuzz-regression-XXXXXX";
    if (!mkdtemp(dir)) return {};
    const std::string path = std::string(dir) + "/t.ptx";
    Ptex::String error;
    PtexWriter* w =
        PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 2, error, true);
    if (!w) return {};
    for (int f = 0; f < 2; f++) {
        int adj[4] = {-1, 1 - f, -1, -1}, edges[4] = {0, 3, 0, 1};
        Ptex::FaceInfo info(Ptex::Res(3, 3), adj, edges);
        Bytes texels(size_t(info.res.size()) * 3);
        for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(i * 7 + size_t(f) * 50);
        w->writeFace(f, info, texels.data());
    }
    bool ok = w->close(error);
    w->release();
    Bytes bytes;
    if (ok) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    unlink(path.c_str());
    rmdir(dir);
    return bytes;
}

// A scratch directory removed with its files.
class Scratch {
public:
    Scratch() {
        char dir[] = "/tmp/fuzz-regression-XXXXXX";
        if (mkdtemp(dir)) _dir = dir;
    }
    ~Scratch() {
        for (const std::string& f : _files) unlink(f.c_str());
        if (!_dir.empty()) rmdir(_dir.c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool ok() const { return !_dir.empty(); }
    std::string file(const std::string& name) {
        _files.push_back(_dir + "/" + name);
        return _files.back();
    }

private:
    std::string _dir;
    std::vector<std::string> _files;
};

// Texels of face `face` at res: a different ramp per face. Multiples of 4, so
// every order of 2x2, u and v reductions gives the same integers.
Bytes faceTexels(Ptex::Res res, int face) {
    Bytes texels(size_t(res.size()) * 3);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t((i * 5 + size_t(face) * 71) * 4);
    return texels;
}

Bytes levelData(PtexTexture* tex, int face, Ptex::Res res) {
    Bytes data(size_t(res.size()) * size_t(tex->numChannels()));
    tex->getData(face, data.data(), 0, res);
    return data;
}

void putU16(Bytes& data, size_t offset, uint16_t value) {
    std::memcpy(&data[offset], &value, 2);
}

// Extended header fields (it follows the 64-byte header).
constexpr size_t UBorderModeOffset = 64, VBorderModeOffset = 68, EdgeFilterModeOffset = 70;

}  // namespace

// Found by fuzz_ptex_reader: border modes read from a damaged file went into the
// BorderMode enum unchecked (257 is no value the enum can hold) and the
// separable filter switched on it. Unknown modes now read as the defaults.
TEST(FuzzRegression, UnknownBorderAndEdgeFilterModesReadAsDefaults) {
    const Bytes good = smallTexture();
    ASSERT_FALSE(good.empty());
    for (uint16_t bad : {uint16_t(3), uint16_t(257), uint16_t(0xffff)}) {
        SCOPED_TRACE("stored mode " + std::to_string(bad));
        Bytes data = good;
        putU16(data, UBorderModeOffset, bad);
        putU16(data, VBorderModeOffset, bad);
        putU16(data, EdgeFilterModeOffset, bad);
        MemoryTexture t(data);
        ASSERT_NE(t.tex, nullptr) << t.error;
        EXPECT_EQ(t.tex->uBorderMode(), Ptex::m_clamp);
        EXPECT_EQ(t.tex->vBorderMode(), Ptex::m_clamp);
        EXPECT_EQ(t.tex->edgeFilterMode(), Ptex::efm_none);
        PtexTexture::Info info = t.tex->getInfo();
        EXPECT_EQ(info.uBorderMode, Ptex::m_clamp);
        EXPECT_EQ(info.vBorderMode, Ptex::m_clamp);
        EXPECT_EQ(info.edgeFilterMode, Ptex::efm_none);
        EXPECT_STREQ(Ptex::BorderModeName(t.tex->uBorderMode()), "clamp");

        // The filters that switch on the modes give what clamped borders give.
        for (PtexFilter::FilterType type : {PtexFilter::f_box, PtexFilter::f_bilinear,
                                            PtexFilter::f_gaussian, PtexFilter::f_bicubic}) {
            PtexFilter::Options opts(type);
            PtexPtr<PtexFilter> filter(PtexFilter::getFilter(t.tex, opts));
            ASSERT_TRUE(filter);
            for (float u : {-0.5f, 0.25f, 1.5f}) {
                float result[3] = {-1, -1, -1};
                filter->eval(result, 0, 3, 0, u, 0.5f, 0.2f, 0, 0, 0.2f);
                for (float r : result) EXPECT_TRUE(std::isfinite(r) && r >= 0.0f && r <= 1.0f) << r;
            }
        }
        EXPECT_EQ(t.errors.count, 0);
    }
}

// Found by fuzz_ptex_writer: after an incremental edit that changes a face's
// resolution, the stored reductions of the other faces read back wrong. The
// reduction order (which entry of a level is which face) was computed after the
// first edit had already replaced its face info, so it no longer matched the
// order the levels were written in. It is now taken before any edit applies.
TEST(FuzzRegression, IncrementalResolutionEditKeepsTheStoredReductionOrder) {
    Scratch scratch;
    ASSERT_TRUE(scratch.ok());
    const std::string path = scratch.file("edited.ptx");
    scratch.file("edited.ptx.new");
    const int nfaces = 3;
    const Ptex::Res res[nfaces] = {Ptex::Res(5, 5), Ptex::Res(4, 4), Ptex::Res(3, 3)};
    Ptex::String error;
    {
        PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, nfaces,
                                         error, true);
        ASSERT_NE(w, nullptr) << error;
        for (int f = 0; f < nfaces; f++) {
            Bytes texels = faceTexels(res[f], f);
            ASSERT_TRUE(w->writeFace(f, Ptex::FaceInfo(res[f]), texels.data()));
        }
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
    }
    // The stored reductions as read before the edit.
    Bytes before0, before1;
    {
        PtexPtr<PtexTexture> tex(PtexTexture::open(path.c_str(), error));
        ASSERT_TRUE(tex) << error;
        before0 = levelData(tex, 0, Ptex::Res(4, 4));
        before1 = levelData(tex, 1, Ptex::Res(3, 3));
    }
    // Face 2 grows past the others: by the edited infos it would come first.
    {
        PtexWriter* w = PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1,
                                         nfaces, error, true);
        ASSERT_NE(w, nullptr) << error;
        Bytes texels = faceTexels(Ptex::Res(6, 6), 9);
        ASSERT_TRUE(w->writeFace(2, Ptex::FaceInfo(Ptex::Res(6, 6)), texels.data()));
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
    }
    PtexPtr<PtexTexture> tex(PtexTexture::open(path.c_str(), error));
    ASSERT_TRUE(tex) << error;
    ASSERT_TRUE(tex->hasEdits());
    EXPECT_TRUE(tex->getFaceInfo(2).hasEdits());
    EXPECT_EQ(tex->getFaceInfo(2).res, Ptex::Res(6, 6));
    EXPECT_EQ(levelData(tex, 0, Ptex::Res(4, 4)), before0);
    EXPECT_EQ(levelData(tex, 1, Ptex::Res(3, 3)), before1);
    // The edited face reduces its own new data.
    Bytes full = faceTexels(Ptex::Res(6, 6), 9), reduced(size_t(Ptex::Res(5, 5).size()) * 3);
    Bytes got(full.size());
    tex->getData(2, got.data(), 0);
    EXPECT_EQ(got, full);
    PtexUtils::reduce(full.data(), 64 * 3, 64, 64, reduced.data(), 32 * 3, Ptex::dt_uint8, 3);
    EXPECT_EQ(levelData(tex, 2, Ptex::Res(5, 5)), reduced);
}
