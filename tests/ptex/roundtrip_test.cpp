// What the writer writes, the reader reads back exactly: every data type,
// channel counts 1..6, mip-maps on and off, constant and never-written faces,
// tiles, strides, metadata of every type, triangle meshes, incremental and full
// edits and applyEdits. The stored reductions and constant values must be those
// of the premultiplied data (the layout itself is proven byte for byte by the
// golden rewrite in writer_test.cpp).
#include "PtexUtils.h"
#include "ptex_test_util.h"

#include <cstring>
#include <tuple>

using namespace PtexTest;

namespace {

PtexTexture* openTex(const std::string& path) {
    Ptex::String error;
    PtexTexture* t = PtexTexture::open(path.c_str(), error);
    EXPECT_TRUE(t) << error;
    return t;
}

Bytes readFace(PtexTexture* t, int f, Ptex::Res res) {
    Bytes b(size_t(res.size()) * Ptex::DataSize(t->dataType()) * t->numChannels(), 0xcd);
    t->getData(f, b.data(), 0, res);
    return b;
}

// What the writer must store for a face: the data as given, reductions of the
// premultiplied data and the un-premultiplied average of the smallest one.
void expectStored(PtexTexture* t, int f, const Bytes& img, Ptex::Res res, bool mip = true) {
    const Ptex::DataType dt = t->dataType();
    const int nch = t->numChannels(), ps = Ptex::DataSize(dt) * nch, alpha = t->alphaChannel();
    EXPECT_EQ(readFace(t, f, res), img) << "face " << f;
    Bytes cur = img, avg(static_cast<size_t>(ps));
    if (alpha >= 0) PtexUtils::multalpha(cur.data(), res.size(), dt, nch, alpha);
    for (; mip && res.ulog2 > 2 && res.vlog2 > 2;
         res = Ptex::Res(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1))) {
        Bytes r(size_t(res.size() / 4) * ps);
        (t->meshType() == Ptex::mt_triangle ? PtexUtils::reduceTri : PtexUtils::reduce)(
            cur.data(), res.u() * ps, res.u(), res.v(), r.data(), res.u() / 2 * ps, dt, nch);
        cur = r;
        EXPECT_EQ(readFace(t, f, Ptex::Res(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1))), cur)
            << "face " << f << " below " << int(res.ulog2) << "x" << int(res.vlog2);
    }
    PtexUtils::average(cur.data(), res.u() * ps, res.u(), res.v(), avg.data(), dt, nch);
    if (alpha >= 0) PtexUtils::divalpha(avg.data(), 1, dt, nch, alpha);
    EXPECT_EQ(readFace(t, f, Ptex::Res(0, 0)), avg) << "face " << f << " constant";
}

class RoundTripFormats : public ::testing::TestWithParam<std::tuple<Ptex::DataType, int, bool>> {};

TEST_P(RoundTripFormats, FacesLevelsAndConstants) {
    const auto [dt, nch, mip] = GetParam();
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("rt.ptx");
    const int alpha = nch >= 2 && nch % 2 == 0 ? nch - 1 : (nch == 3 ? 0 : -1);
    const int ps = Ptex::DataSize(dt) * nch;
    const Ptex::Res res[6] = {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(2, 6),
                              Ptex::Res(3, 3), Ptex::Res(5, 5), Ptex::Res(0, 0)};
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, dt, nch, alpha, 7, error, mip);
    ASSERT_TRUE(w) << error;
    std::vector<Bytes> imgs(6);
    std::vector<Ptex::FaceInfo> infos(7);
    for (int f = 0; f < 6; f++) {
        infos[f] = quadInfo(res[f].ulog2, res[f].vlog2, (f + 1) % 6, (f + 2) % 6, -1, (f + 5) % 6,
                            f % 4, 2, 0, 1);
        infos[f].flags = f == 2 ? Ptex::FaceInfo::flag_subface : 0;
        imgs[f] = makeImage(res[f], dt, nch, 100 + f);
    }
    for (size_t i = 0; i < imgs[3].size(); i++) imgs[3][i] = imgs[3][i % ps];  // uniform data
    for (int f = 0; f < 6; f++)  // face 4 written constant, face 6 never written
        ASSERT_TRUE(f == 4 ? w->writeConstantFace(f, infos[f], imgs[0].data())
                           : w->writeFace(f, infos[f], imgs[f].data()));
    ASSERT_TRUE(w->close(error)) << error;
    w->release();

    PtexPtr<PtexTexture> t(openTex(path));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->dataType(), dt);
    EXPECT_EQ(t->numChannels(), nch);
    EXPECT_EQ(t->alphaChannel(), alpha);
    EXPECT_EQ(t->numFaces(), 7);
    EXPECT_EQ(t->hasMipMaps(), mip);
    for (int f = 0; f < 7; f++) {
        const Ptex::FaceInfo& fi = t->getFaceInfo(f);
        EXPECT_EQ(fi.res, infos[f].res) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(fi.adjface(e), infos[f].adjface(e)) << f;
        EXPECT_EQ(fi.adjedges, infos[f].adjedges) << f;
        // uniform, written constant, 1x1 and unwritten faces are constant
        EXPECT_EQ(fi.flags & (Ptex::FaceInfo::flag_constant | Ptex::FaceInfo::flag_subface),
                  (f >= 3 ? Ptex::FaceInfo::flag_constant : 0) | infos[f].flags)
            << f;
    }
    for (int f : {0, 1, 2}) expectStored(t, f, imgs[f], res[f], mip);
    EXPECT_EQ(readFace(t, 3, Ptex::Res(0, 0)),
              Bytes(imgs[3].begin(), imgs[3].begin() + ps));  // as given
    EXPECT_EQ(readFace(t, 5, Ptex::Res(0, 0)), imgs[5]);
    EXPECT_EQ(readFace(t, 6, Ptex::Res(0, 0)), Bytes(ps, 0));
    const Bytes full = readFace(t, 4, res[4]);  // expands to its logical res
    for (int i = 0; i < res[4].size(); i++)
        EXPECT_EQ(0, std::memcmp(&full[size_t(i) * ps], imgs[0].data(), ps));
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RoundTripFormats,
                         ::testing::Combine(::testing::Values(Ptex::dt_uint8, Ptex::dt_uint16,
                                                              Ptex::dt_half, Ptex::dt_float),
                                            ::testing::Range(1, 7), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(Ptex::DataTypeName(std::get<0>(info.param))) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "ch_" +
                                    (std::get<2>(info.param) ? "mip" : "nomip");
                         });

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    ScratchDir dir;
};

TEST_F(RoundTrip, TiledFacesStridesAndTriangles) {
    const std::string path = dir.file("tiled.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 2, error);
    ASSERT_TRUE(w);
    Bytes img0 = makeImage(Ptex::Res(9, 8), Ptex::dt_uint8, 4, 1);  // 512 KiB
    for (int v = 0; v < 128; v++)                                   // tile 0 uniform
        for (int u = 0; u < 128; u++)
            std::memcpy(&img0[(size_t(v) * 512 + u) * 4], "\x01\x02\x03\x04", 4);
    const Bytes img1 = makeImage(Ptex::Res(3, 2), Ptex::dt_uint8, 4, 2);
    const int row = 8 * 4, stride = row + 5;  // face 1 given with a padded stride
    Bytes padded(size_t(stride) * 4, 0xee);
    for (int v = 0; v < 4; v++)
        std::memcpy(&padded[size_t(v) * stride], &img1[size_t(v) * row], row);
    ASSERT_TRUE(w->writeFace(0, quadInfo(9, 8, 1), img0.data()));
    ASSERT_TRUE(w->writeFace(1, quadInfo(3, 2, 0), padded.data(), stride));
    ASSERT_TRUE(w->close(error));
    w->release();
    PtexPtr<PtexTexture> t(openTex(path));
    ASSERT_TRUE(t);
    expectStored(t, 0, img0, Ptex::Res(9, 8));
    PtexFaceData* d = t->getData(0);
    ASSERT_TRUE(d && d->isTiled());
    EXPECT_EQ(d->tileRes(), Ptex::Res(7, 7));  // 512 KiB: 2^3 tiles of 128x128
    PtexFaceData* tile = d->getTile(0);
    EXPECT_TRUE(tile->isConstant());
    tile->release();
    d->release();
    Bytes pad(size_t(stride) * 4),
        flip(size_t(row) * 4);  // read back with padded and negative strides
    t->getData(1, pad.data(), stride);
    t->getData(1, flip.data() + 3 * row, -row);
    for (int v = 0; v < 4; v++) {
        EXPECT_EQ(0, std::memcmp(&pad[size_t(v) * stride], &img1[size_t(v) * row], row));
        EXPECT_EQ(0, std::memcmp(&flip[size_t(3 - v) * row], &img1[size_t(v) * row], row));
    }

    // Triangles keep three neighbours and no flags.
    w = PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_half, 3, -1, 1, error);
    ASSERT_TRUE(w);
    const Bytes tri = makeImage(Ptex::Res(4, 4), Ptex::dt_half, 3, 50);
    Ptex::FaceInfo info = quadInfo(4, 4, 0, 0, -1, 0, 1, 0, 2, 3);
    info.flags = Ptex::FaceInfo::flag_subface;
    ASSERT_TRUE(w->writeFace(0, info, tri.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    t.reset(openTex(path));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->getFaceInfo(0).flags, 0);
    EXPECT_EQ(t->getFaceInfo(0).adjface(3), -1);
    EXPECT_EQ(t->getFaceInfo(0).adjedge(0), 1);
    expectStored(t, 0, tri, Ptex::Res(4, 4));
}

// Base file for the edit tests: 4 RGB8 faces of 16x16, metadata with a
// replaced and an empty value.
std::vector<Bytes> writeEditBase(const std::string& path, bool withMeta) {
    std::vector<Bytes> imgs;
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
    if (!w) return imgs;
    for (int f = 0; f < 4; f++) {
        imgs.push_back(makeImage(Ptex::Res(4, 4), Ptex::dt_uint8, 3, 10 + f));
        w->writeFace(f, quadInfo(4, 4, (f + 1) % 4, -1, -1, (f + 3) % 4, 3, 0, 0, 1),
                     imgs[f].data());
    }
    w->setBorderModes(Ptex::m_black, Ptex::m_clamp);
    if (withMeta) {
        w->writeMeta("content", "first");
        w->writeMeta("empty", "");
        w->writeMeta("content", "base");
    }
    if (!w->close(error)) imgs.clear();
    w->release();
    return imgs;
}

// Where a file's edit section starts by its section sizes (the barrier counted)
// and by its recorded editdatapos; readers that take the larger of the two and
// readers that take editdatapos must agree.
struct EditStart {
    uint64_t bySizes, recorded, fileSize;
};
EditStart editStart(const Bytes& f) {
    auto u32 = [&](size_t o) {
        uint32_t v;
        std::memcpy(&v, f.data() + o, 4);
        return uint64_t(v);
    };
    auto u64 = [&](size_t o) {
        uint64_t v;
        std::memcpy(&v, f.data() + o, 8);
        return v;
    };
    const uint64_t ext = 64, sizes = 64 + u32(28) + u32(32) + u32(36) + u32(40) + u64(48) +
                                     u32(56) + 8 + u32(ext + 8) + u64(ext + 16);
    return {sizes, u64(ext + 32), f.size()};
}

std::string metaString(PtexTexture* t, const char* key) {
    const char* s = nullptr;
    t->getMetaData()->getValue(key, s);
    return s ? s : "(none)";
}

// Incremental edits (with and without metadata in the base file) and a full
// edit; two sessions each, then applyEdits.
TEST_F(RoundTrip, EditsAndApplyEdits) {
    for (int mode = 0; mode < 3; mode++) {
        const bool incremental = mode < 2, withMeta = mode != 1;
        const std::string path = dir.file("edits" + std::to_string(mode) + ".ptx");
        const std::vector<Bytes> base = writeEditBase(path, withMeta);
        ASSERT_EQ(base.size(), 4u);
        {  // without metadata the file ends with its level data, as the common writer's do
            const EditStart e = editStart(readFile(path));
            EXPECT_EQ(e.recorded, e.fileSize) << mode;
            EXPECT_EQ(e.bySizes, e.fileSize + (withMeta ? 0 : 8)) << mode;
        }
        const Bytes img1 = makeImage(Ptex::Res(5, 3), Ptex::dt_uint8, 3, 77);
        const Bytes img3 = makeImage(Ptex::Res(4, 4), Ptex::dt_uint8, 3, 78);
        const uint8_t px[3] = {200, 40, 90};
        Ptex::String error;
        EXPECT_EQ(PtexWriter::edit(path.c_str(), incremental, Ptex::mt_quad, Ptex::dt_uint8, 4, -1,
                                   4, error),
                  nullptr);
        EXPECT_EQ(error,
                  "PtexWriter::edit error: header doesn't match existing file, conversions not "
                  "currently supported");
        PtexWriter* w = PtexWriter::edit(path.c_str(), incremental, Ptex::mt_quad, Ptex::dt_uint8,
                                         3, -1, 4, error);
        ASSERT_TRUE(w) << error;
        ASSERT_TRUE(w->writeFace(1, quadInfo(5, 3, 2, -1, -1, 0, 3, 0, 0, 1), img1.data()));
        ASSERT_TRUE(w->writeConstantFace(2, quadInfo(4, 4, 3, -1, -1, 1), px));
        w->writeMeta("content", "edited");
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
        w = PtexWriter::edit(path.c_str(), incremental, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4,
                             error);  // later
        ASSERT_TRUE(w) << error;
        ASSERT_TRUE(w->writeFace(3, quadInfo(4, 4, 0, -1, -1, 2, 3, 0, 0, 1), img3.data()));
        w->writeMeta("added", "5");
        ASSERT_TRUE(w->close(error)) << error;
        w->release();

        auto check = [&](PtexTexture* t, bool edited) {
            EXPECT_EQ(t->hasEdits(), edited) << mode;
            EXPECT_EQ(t->uBorderMode(), Ptex::m_black) << mode;
            EXPECT_EQ(readFace(t, 0, Ptex::Res(4, 4)), base[0]) << mode;
            EXPECT_EQ(t->getFaceInfo(0).adjface(0), 1) << mode;
            EXPECT_EQ(t->getFaceInfo(1).hasEdits(), edited) << mode;
            EXPECT_EQ(readFace(t, 1, Ptex::Res(5, 3)), img1) << mode;
            EXPECT_TRUE(t->getFaceInfo(2).isConstant()) << mode;
            EXPECT_EQ(readFace(t, 2, Ptex::Res(0, 0)), Bytes(px, px + 3)) << mode;
            EXPECT_EQ(readFace(t, 3, Ptex::Res(4, 4)), img3) << mode;
            EXPECT_EQ(metaString(t, "content"), "edited") << mode;
            EXPECT_EQ(metaString(t, "added"), "5") << mode;
            EXPECT_EQ(metaString(t, "empty"), withMeta ? "" : "(none)") << mode;
        };
        if (incremental) {
            const EditStart e = editStart(readFile(path));
            EXPECT_EQ(e.recorded, e.bySizes) << mode;
            EXPECT_GT(e.fileSize, e.recorded) << mode;
        }
        check(PtexPtr<PtexTexture>(openTex(path)), incremental);
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        PtexPtr<PtexTexture> t(openTex(path));
        check(t, false);
        expectStored(t, 3, img3, Ptex::Res(4, 4));  // reductions of the new data
        const Bytes before = readFile(path);
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        EXPECT_EQ(readFile(path), before) << "nothing left to apply";
    }
}

}  // namespace
