// Fuzz target: the Ptex writer, checked by reading its files back.
// The input bytes describe a small texture: mesh and data type, channels, alpha
// channel, mip-map choice, border and edge filter modes, a few faces (res,
// adjacency, sub-face flag, texels of several kinds, constant faces, faces left
// unwritten, faces written twice, padded strides) and metadata of every type
// (small and large, repeated keys). The texture is written to a scratch file,
// optionally edited once (incrementally or by a rewrite, incremental edits then
// possibly folded in with applyEdits) and read back after every step.
// Checks (abort on failure): the writer accepts every valid description; the
// header values, face infos and metadata read back are the ones given; every
// texel reads back with its exact bits (float and half included), at full
// resolution and as float through getPixel; every reduction stored in the file
// is the premultiplied 2x2 (or triangle) reduction of the level above, bit for
// bit; the constant value of every face is the writer's documented average;
// mip-maps exist exactly when asked for and some face is large enough.
#include "PtexHalf.h"
#include "PtexUtils.h"
#include "Ptexture.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Prints what differed (to help reading a crash) and aborts.
#define REQUIRE(cond)                                                                     \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "fuzz_ptex_writer: check failed: %s (line %d)\n", #cond, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

using Bytes = std::vector<uint8_t>;

struct Format {
    Ptex::MeshType mt;
    Ptex::DataType dt;
    int nchan;
    int alpha;
    int psize;
    bool hasAlpha() const { return alpha >= 0; }
};

// What a face is expected to read back as.
struct FaceModel {
    bool written = false;
    bool constant = true;      // stored as a constant face
    bool incremental = false;  // last written by an incremental edit
    Ptex::FaceInfo info;       // as written (adjacency unfiltered)
    Bytes texels;              // full-resolution data (constant faces: one pixel)
};

struct MetaModel {
    std::string key;
    Ptex::MetaDataType type;
    Bytes bytes;  // strings with their NUL
};

class Rng {
public:
    explicit Rng(uint32_t seed) : _s(seed | 1) {}
    uint32_t next() {
        _s ^= _s << 13;
        _s ^= _s >> 17;
        _s ^= _s << 5;
        return _s;
    }

private:
    uint32_t _s;
};

// Fills texels in one of several styles: raw input bytes, random bits (float
// and half NaNs and infinities included), a few distinct pixels, one pixel
// everywhere (becomes a constant face), or a smooth ramp.
Bytes makeTexels(FuzzedDataProvider& in, const Format& fmt, Ptex::Res res) {
    size_t npix = size_t(res.size());
    Bytes data(npix * size_t(fmt.psize));
    const int style = in.ConsumeIntegralInRange<int>(0, 4);
    Rng rng(in.ConsumeIntegral<uint32_t>());
    switch (style) {
        case 0: {
            Bytes raw = in.ConsumeBytes<uint8_t>(std::min<size_t>(data.size(), 64));
            if (raw.empty()) raw.push_back(0x3c);
            for (size_t i = 0; i < data.size(); i++) data[i] = raw[i % raw.size()];
            break;
        }
        case 1:
            for (uint8_t& b : data) b = uint8_t(rng.next() >> 7);
            break;
        case 2:
        case 3: {
            Bytes palette(size_t(fmt.psize) * 3);
            for (uint8_t& b : palette) b = uint8_t(rng.next() >> 9);
            for (size_t p = 0; p < npix; p++) {
                size_t which = style == 3 ? 0 : rng.next() % 3;
                std::memcpy(&data[p * size_t(fmt.psize)], &palette[which * size_t(fmt.psize)],
                            size_t(fmt.psize));
            }
            break;
        }
        default: {
            std::vector<float> pixel(size_t(fmt.nchan));
            for (int v = 0; v < res.v(); v++)
                for (int u = 0; u < res.u(); u++) {
                    for (int c = 0; c < fmt.nchan; c++)
                        pixel[size_t(c)] = float((u * (c + 1) + v * 3) % 97) / 96.0f;
                    Ptex::ConvertFromFloat(
                        &data[(size_t(v) * size_t(res.u()) + size_t(u)) * size_t(fmt.psize)],
                        pixel.data(), fmt.dt, fmt.nchan);
                }
            break;
        }
    }
    return data;
}

Ptex::FaceInfo makeInfo(FuzzedDataProvider& in, const Format& fmt, int nfaces, size_t& bytesLeft) {
    // Mostly small faces; now and then one large enough for mip-maps of several
    // levels or for tiles.
    const int maxLog2 = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? 8 : 5;
    int8_t ul = int8_t(in.ConsumeIntegralInRange<int>(0, maxLog2));
    int8_t vl =
        fmt.mt == Ptex::mt_triangle ? ul : int8_t(in.ConsumeIntegralInRange<int>(0, maxLog2));
    // Keep the whole texture small: shrink faces once the byte budget is used.
    while ((size_t(1) << (ul + vl)) * size_t(fmt.psize) > bytesLeft && (ul > 0 || vl > 0)) {
        if (ul >= vl && ul > 0)
            ul--;
        else
            vl--;
        if (fmt.mt == Ptex::mt_triangle) ul = vl = std::min(ul, vl);
    }
    bytesLeft -= std::min(bytesLeft, (size_t(1) << (ul + vl)) * size_t(fmt.psize));
    int adj[4], edges[4];
    for (int e = 0; e < 4; e++) {
        // Some neighbours out of range: the reader must drop them.
        adj[e] = in.ConsumeIntegralInRange<int>(-2, nfaces);
        edges[e] = in.ConsumeIntegralInRange<int>(0, 3);
    }
    return Ptex::FaceInfo(Ptex::Res(ul, vl), adj, edges, in.ConsumeBool());
}

// The face info the reader must give back for a model face.
Ptex::FaceInfo expectedInfo(const FaceModel& m, const Format& fmt, int nfaces) {
    if (!m.written) {
        Ptex::FaceInfo f;
        f.flags = Ptex::FaceInfo::flag_constant;
        return f;
    }
    Ptex::FaceInfo f = m.info;
    if (fmt.mt == Ptex::mt_triangle) {
        f.flags = 0;
        f.adjfaces[3] = -1;
        f.adjedges &= 0x3f;
    } else {
        f.flags &= Ptex::FaceInfo::flag_subface;
    }
    if (m.constant) f.flags |= Ptex::FaceInfo::flag_constant;
    for (int e = 0; e < 4; e++)
        if (f.adjfaces[e] < -1 || f.adjfaces[e] >= nfaces) f.adjfaces[e] = -1;
    return f;
}

Bytes premultiplied(const Bytes& data, const Format& fmt) {
    Bytes out = data;
    if (fmt.hasAlpha())
        PtexUtils::multalpha(out.data(), int(out.size() / size_t(fmt.psize)), fmt.dt, fmt.nchan,
                             fmt.alpha);
    return out;
}

// The stored reductions of a face, as the writer makes them: from premultiplied
// data, 2x2 (triangles: the triangle reduction) while both sides exceed 4 texels.
std::vector<Bytes> expectedLevels(const FaceModel& m, const Format& fmt, bool mipmaps) {
    std::vector<Bytes> levels;
    Ptex::Res res = m.info.res;
    Bytes current = premultiplied(m.texels, fmt);
    while (mipmaps && res.ulog2 > 2 && res.vlog2 > 2) {
        Ptex::Res next(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1));
        Bytes dst(size_t(next.size()) * size_t(fmt.psize));
        if (fmt.mt == Ptex::mt_triangle)
            PtexUtils::reduceTri(current.data(), res.u() * fmt.psize, res.u(), res.v(), dst.data(),
                                 next.u() * fmt.psize, fmt.dt, fmt.nchan);
        else
            PtexUtils::reduce(current.data(), res.u() * fmt.psize, res.u(), res.v(), dst.data(),
                              next.u() * fmt.psize, fmt.dt, fmt.nchan);
        levels.push_back(dst);
        current.swap(dst);
        res = next;
    }
    return levels;
}

// The constant value: the average of the smallest stored level (premultiplied),
// un-premultiplied; incremental edits average the full-resolution data.
Bytes expectedConstant(const FaceModel& m, const Format& fmt, bool mipmaps) {
    if (!m.written) return Bytes(size_t(fmt.psize), 0);
    if (m.constant) return m.texels;
    Ptex::Res res = m.info.res;
    Bytes smallest = premultiplied(m.texels, fmt);
    if (!m.incremental) {
        std::vector<Bytes> levels = expectedLevels(m, fmt, mipmaps);
        if (!levels.empty()) {
            smallest = levels.back();
            res = Ptex::Res(int8_t(res.ulog2 - int(levels.size())),
                            int8_t(res.vlog2 - int(levels.size())));
        }
    }
    Bytes pixel(size_t(fmt.psize));
    PtexUtils::average(smallest.data(), res.u() * fmt.psize, res.u(), res.v(), pixel.data(), fmt.dt,
                       fmt.nchan);
    if (fmt.hasAlpha()) PtexUtils::divalpha(pixel.data(), 1, fmt.dt, fmt.nchan, fmt.alpha);
    return pixel;
}

// Writes face f of the model through the writer (data possibly with a padded stride).
void writeFace(FuzzedDataProvider& in, PtexWriter* w, const Format& fmt, FaceModel& m, int f,
               bool incremental) {
    const Ptex::Res res = m.info.res;
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
        m.texels = makeTexels(in, fmt, Ptex::Res(0, 0));
        m.constant = true;
        REQUIRE(w->writeConstantFace(f, m.info, m.texels.data()));
    } else {
        m.texels = makeTexels(in, fmt, res);
        m.constant = PtexUtils::isConstant(m.texels.data(), res.u() * fmt.psize, res.u(), res.v(),
                                           fmt.psize);
        const size_t row = size_t(res.u()) * size_t(fmt.psize);
        const int pad = in.ConsumeBool() ? fmt.psize * in.ConsumeIntegralInRange<int>(1, 3) : 0;
        if (pad) {
            Bytes padded((row + size_t(pad)) * size_t(res.v()), 0xEE);
            for (int v = 0; v < res.v(); v++)
                std::memcpy(&padded[size_t(v) * (row + size_t(pad))], &m.texels[size_t(v) * row],
                            row);
            REQUIRE(w->writeFace(f, m.info, padded.data(), int(row) + pad));
        } else {
            REQUIRE(w->writeFace(f, m.info, m.texels.data(), 0));
        }
        if (m.constant) m.texels.resize(size_t(fmt.psize));
    }
    m.written = true;
    m.incremental = incremental;
}

void addMeta(FuzzedDataProvider& in, PtexWriter* w, std::vector<MetaModel>& meta) {
    MetaModel e;
    e.key = in.ConsumeRandomLengthString(24);
    std::replace(e.key.begin(), e.key.end(), '\0', 'k');
    // A few fixed keys so keys repeat (a repeated key replaces the value).
    if (e.key.size() < 2) e.key = "key" + std::to_string(e.key.size());
    e.type = Ptex::MetaDataType(in.ConsumeIntegralInRange<int>(0, 5));
    static const int sizes[] = {1, 1, 2, 4, 4, 8};
    const int elem = sizes[e.type];
    // Mostly small; sometimes past the 1024-byte limit of the small block.
    const int maxCount = (in.ConsumeIntegralInRange<int>(0, 7) == 0 ? 3000 : 40) / elem;
    int count = in.ConsumeIntegralInRange<int>(1, std::max(1, maxCount));
    Rng rng(in.ConsumeIntegral<uint32_t>());
    e.bytes.resize(size_t(count) * size_t(elem));
    for (uint8_t& b : e.bytes) b = uint8_t(rng.next() >> 11);
    switch (e.type) {
        case Ptex::mdt_string:
            for (uint8_t& b : e.bytes) b = uint8_t(' ' + b % 95);
            e.bytes.back() = 0;
            w->writeMeta(e.key.c_str(), reinterpret_cast<const char*>(e.bytes.data()));
            break;
        case Ptex::mdt_int8:
            w->writeMeta(e.key.c_str(), reinterpret_cast<const int8_t*>(e.bytes.data()), count);
            break;
        case Ptex::mdt_int16:
            w->writeMeta(e.key.c_str(), reinterpret_cast<const int16_t*>(e.bytes.data()), count);
            break;
        case Ptex::mdt_int32:
            w->writeMeta(e.key.c_str(), reinterpret_cast<const int32_t*>(e.bytes.data()), count);
            break;
        case Ptex::mdt_float:
            w->writeMeta(e.key.c_str(), reinterpret_cast<const float*>(e.bytes.data()), count);
            break;
        case Ptex::mdt_double:
            w->writeMeta(e.key.c_str(), reinterpret_cast<const double*>(e.bytes.data()), count);
            break;
    }
    for (MetaModel& old : meta)
        if (old.key == e.key) {
            old = e;
            return;
        }
    meta.push_back(e);
}

void checkMeta(PtexTexture* tex, const std::vector<MetaModel>& meta) {
    PtexMetaData* md = tex->getMetaData();
    REQUIRE(md != nullptr);
    REQUIRE(md->numKeys() == int(meta.size()));
    for (const MetaModel& e : meta) {
        int index = -1;
        Ptex::MetaDataType type;
        REQUIRE(md->findKey(e.key.c_str(), index, type));
        REQUIRE(type == e.type);
        const void* value = nullptr;
        int count = 0;
        switch (e.type) {
            case Ptex::mdt_string: {
                const char* s = nullptr;
                md->getValue(index, s);
                value = s;
                count = s ? int(std::strlen(s) + 1) : 0;
                break;
            }
#define ZENTO_META_CASE(MDT, T)        \
    case MDT: {                        \
        const T* v = nullptr;          \
        md->getValue(index, v, count); \
        value = v;                     \
        count *= int(sizeof(T));       \
        break;                         \
    }
                ZENTO_META_CASE(Ptex::mdt_int8, int8_t)
                ZENTO_META_CASE(Ptex::mdt_int16, int16_t)
                ZENTO_META_CASE(Ptex::mdt_int32, int32_t)
                ZENTO_META_CASE(Ptex::mdt_float, float)
                ZENTO_META_CASE(Ptex::mdt_double, double)
#undef ZENTO_META_CASE
        }
        REQUIRE(value != nullptr && size_t(count) == e.bytes.size());
        REQUIRE(std::memcmp(value, e.bytes.data(), e.bytes.size()) == 0);
    }
    md->release();
}

// True if some stored face is reduced when mip-maps are made.
bool anyLargeFace(const std::vector<FaceModel>& faces) {
    for (const FaceModel& m : faces)
        if (m.written && !m.constant && m.info.res.ulog2 > 2 && m.info.res.vlog2 > 2) return true;
    return false;
}

void checkTexture(const std::string& path, const Format& fmt, const std::vector<FaceModel>& faces,
                  const std::vector<MetaModel>& meta, bool mipmaps, Ptex::BorderMode ub,
                  Ptex::BorderMode vb, Ptex::EdgeFilterMode efm, bool premultiply,
                  bool afterIncremental) {
    Ptex::String error;
    PtexTexture* tex = PtexTexture::open(path.c_str(), error, premultiply);
    if (!tex) std::fprintf(stderr, "open: %s\n", error.c_str());
    REQUIRE(tex != nullptr);
    const int nfaces = int(faces.size());
    REQUIRE(tex->meshType() == fmt.mt && tex->dataType() == fmt.dt);
    REQUIRE(tex->numChannels() == fmt.nchan && tex->alphaChannel() == fmt.alpha);
    REQUIRE(tex->numFaces() == nfaces);
    REQUIRE(tex->uBorderMode() == ub && tex->vBorderMode() == vb && tex->edgeFilterMode() == efm);
    REQUIRE(tex->hasEdits() == afterIncremental);
    if (!afterIncremental) REQUIRE(tex->hasMipMaps() == (mipmaps && anyLargeFace(faces)));
    const bool premult = premultiply && fmt.hasAlpha();
    Bytes got, want;
    std::vector<float> floats(size_t(fmt.nchan)), wantFloats(size_t(fmt.nchan));
    for (int f = 0; f < nfaces; f++) {
        const FaceModel& m = faces[size_t(f)];
        const Ptex::FaceInfo& info = tex->getFaceInfo(f);
        const Ptex::FaceInfo exp = expectedInfo(m, fmt, nfaces);
        const uint8_t flagsMask =
            uint8_t(~(Ptex::FaceInfo::flag_hasedits | Ptex::FaceInfo::flag_nbconstant));
        REQUIRE(info.res == exp.res && info.adjedges == exp.adjedges);
        REQUIRE((info.flags & flagsMask) == exp.flags);
        if (info.flags & Ptex::FaceInfo::flag_nbconstant) REQUIRE(info.isConstant());
        for (int e = 0; e < 4; e++) REQUIRE(info.adjfaces[e] == exp.adjfaces[e]);

        // Full resolution, exact bits.
        const Ptex::Res res = exp.res;
        const size_t bytes = size_t(res.size()) * size_t(fmt.psize);
        got.assign(bytes + 8, 0x5A);
        tex->getData(f, got.data(), 0);
        want.resize(bytes);
        if (!m.written)
            std::fill(want.begin(), want.end(), 0);
        else if (m.constant)
            PtexUtils::fill(m.texels.data(), want.data(), res.u() * fmt.psize, res.u(), res.v(),
                            fmt.psize);
        else
            want = m.texels;
        if (premult) want = premultiplied(want, fmt);
        REQUIRE(std::memcmp(got.data(), want.data(), bytes) == 0);
        for (int i = 0; i < 8; i++) REQUIRE(got[bytes + size_t(i)] == 0x5A);

        // getPixel converts the same texel to float.
        const int u = res.u() - 1, v = res.v() / 2;
        tex->getPixel(f, u, v, floats.data(), 0, fmt.nchan);
        Ptex::ConvertToFloat(wantFloats.data(),
                             &want[(size_t(v) * size_t(res.u()) + size_t(u)) * size_t(fmt.psize)],
                             fmt.dt, fmt.nchan);
        REQUIRE(std::memcmp(floats.data(), wantFloats.data(), floats.size() * sizeof(float)) == 0);

        // The constant value.
        Bytes constant = expectedConstant(m, fmt, mipmaps);
        if (premult) constant = premultiplied(constant, fmt);
        PtexFaceData* cd = tex->getData(f, Ptex::Res(0, 0));
        REQUIRE(cd != nullptr && cd->isConstant());
        REQUIRE(std::memcmp(cd->getData(), constant.data(), size_t(fmt.psize)) == 0);
        cd->release();

        // Stored reductions, exact bits (faces replaced by incremental edits have
        // none: theirs are computed on demand).
        if (m.written && !m.constant && !info.hasEdits()) {
            std::vector<Bytes> levels = expectedLevels(m, fmt, mipmaps);
            for (size_t k = 0; k < levels.size(); k++) {
                Ptex::Res r(int8_t(res.ulog2 - int(k) - 1), int8_t(res.vlog2 - int(k) - 1));
                got.assign(levels[k].size(), 0);
                tex->getData(f, got.data(), 0, r);
                if (std::getenv("FUZZ_DEBUG") &&
                    std::memcmp(got.data(), levels[k].data(), got.size()) != 0)
                    std::fprintf(stderr, "face %d/%d level %zu res %d %d mt %d edits %d incr %d\n",
                                 f, nfaces, k, res.ulog2, res.vlog2, int(fmt.mt),
                                 int(tex->hasEdits()), int(afterIncremental));
                REQUIRE(std::memcmp(got.data(), levels[k].data(), got.size()) == 0);
            }
        }
    }
    checkMeta(tex, meta);
    tex->release();
}

// A scratch directory per input, removed with its file when the input is done
// (libFuzzer may leave without running exit handlers).
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/fuzz-ptex-writer-XXXXXX";
        REQUIRE(mkdtemp(pattern) != nullptr);
        _dir = pattern;
        path = _dir + "/t.ptx";
    }
    ~Scratch() {
        unlink(path.c_str());
        unlink((path + ".new").c_str());
        rmdir(_dir.c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string path;

private:
    std::string _dir;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Format fmt;
    fmt.mt = in.ConsumeBool() ? Ptex::mt_quad : Ptex::mt_triangle;
    fmt.dt = Ptex::DataType(in.ConsumeIntegralInRange<int>(0, 3));
    fmt.nchan = in.ConsumeIntegralInRange<int>(1, 6);
    fmt.alpha = in.ConsumeIntegralInRange<int>(-1, fmt.nchan - 1);
    fmt.psize = Ptex::DataSize(fmt.dt) * fmt.nchan;
    const bool mipmaps = in.ConsumeBool();
    const int nfaces = in.ConsumeIntegralInRange<int>(1, 8);
    const Ptex::BorderMode ub = Ptex::BorderMode(in.ConsumeIntegralInRange<int>(0, 2));
    const Ptex::BorderMode vb = Ptex::BorderMode(in.ConsumeIntegralInRange<int>(0, 2));
    const Ptex::EdgeFilterMode efm = Ptex::EdgeFilterMode(in.ConsumeIntegralInRange<int>(0, 1));

    Scratch scratch;
    const std::string& path = scratch.path;
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), fmt.mt, fmt.dt, fmt.nchan, fmt.alpha, nfaces,
                                     error, mipmaps);
    REQUIRE(w != nullptr);
    w->setBorderModes(ub, vb);
    w->setEdgeFilterMode(efm);

    std::vector<FaceModel> faces(static_cast<size_t>(nfaces));
    std::vector<MetaModel> meta;
    size_t bytesLeft = size_t(144) << 10;  // room for one tiled face (128 KiB)
    bool anything = false;
    for (int f = 0; f < nfaces; f++) {
        FaceModel& m = faces[size_t(f)];
        const int what = in.ConsumeIntegralInRange<int>(0, 7);
        if (what == 0) continue;  // left unwritten: a constant zero face of res (0,0)
        m.info = makeInfo(in, fmt, nfaces, bytesLeft);
        writeFace(in, w, fmt, m, f, false);
        if (what == 1) {  // written again: the last one counts
            m.info = makeInfo(in, fmt, nfaces, bytesLeft);
            writeFace(in, w, fmt, m, f, false);
        }
        anything = true;
    }
    const int nmeta = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < nmeta; i++) addMeta(in, w, meta);
    anything = anything || nmeta > 0;
    const bool premultiply = in.ConsumeBool();
    const int edit = in.ConsumeIntegralInRange<int>(0, 2);  // none, incremental, rewrite

    REQUIRE(w->close(error));
    w->release();
    if (!anything) {
        REQUIRE(access(path.c_str(), F_OK) != 0);  // nothing given: no file
        return 0;
    }
    checkTexture(path, fmt, faces, meta, mipmaps, ub, vb, efm, premultiply, false);
    const bool baseMipMaps = mipmaps && anyLargeFace(faces);

    if (edit) {
        const bool incremental = edit == 1;
        w = PtexWriter::edit(path.c_str(), incremental, fmt.mt, fmt.dt, fmt.nchan, fmt.alpha,
                             nfaces, error, mipmaps);
        if (!w) std::fprintf(stderr, "edit: %s\n", error.c_str());
        REQUIRE(w != nullptr);
        const int nedits = in.ConsumeIntegralInRange<int>(1, 2);
        for (int i = 0; i < nedits; i++) {
            const int f = in.ConsumeIntegralInRange<int>(0, nfaces - 1);
            FaceModel& m = faces[size_t(f)];
            m.info = makeInfo(in, fmt, nfaces, bytesLeft);
            writeFace(in, w, fmt, m, f, incremental);
        }
        if (in.ConsumeBool()) addMeta(in, w, meta);
        REQUIRE(w->close(error));
        w->release();
        if (!incremental)
            for (FaceModel& m : faces) m.incremental = false;  // a rewrite stores every face anew
        checkTexture(path, fmt, faces, meta, mipmaps, ub, vb, efm, premultiply, incremental);

        // Folding the edits in rewrites every face, with mip-maps when the file had them.
        if (incremental && in.ConsumeBool()) {
            REQUIRE(PtexWriter::applyEdits(path.c_str(), error));
            for (FaceModel& m : faces) m.incremental = false;
            checkTexture(path, fmt, faces, meta, baseMipMaps, ub, vb, efm, premultiply, false);
        }
    }
    return 0;
}
