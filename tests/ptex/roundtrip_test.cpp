// What the writer writes, the reader reads back exactly: every data type,
// channel counts 1..6, mip-maps on and off, constant and never-written faces,
// tiles, strides, metadata of every type, triangle meshes, incremental and full
// edits and applyEdits. The stored reductions and constant values must be those
// of the premultiplied data (the layout itself is proven byte for byte by the
// golden rewrite in writer_test.cpp).
#include "PtexUtils.h"
#include "ptex_test_util.h"

#include <memory>

using namespace PtexTest;

namespace {

struct TexCloser {
    void operator()(PtexTexture* t) const
    {
        if (t) t->release();
    }
};
using TexPtr = std::unique_ptr<PtexTexture, TexCloser>;

TexPtr openTex(const std::string& path)
{
    Ptex::String error;
    TexPtr t(PtexTexture::open(path.c_str(), error));
    EXPECT_TRUE(t) << error;
    return t;
}

Bytes readFace(PtexTexture* t, int f, Ptex::Res res)
{
    Bytes b(size_t(res.size()) * Ptex::DataSize(t->dataType()) * t->numChannels(), 0xcd);
    t->getData(f, b.data(), 0, res);
    return b;
}

Bytes constPixel(PtexTexture* t, int f)
{
    Bytes b(size_t(Ptex::DataSize(t->dataType()) * t->numChannels()), 0);
    t->getData(f, b.data(), 0, Ptex::Res(0, 0));
    return b;
}

// What the writer stores for a face: reductions of the premultiplied data and
// the un-premultiplied average of the smallest one.
struct Expected {
    std::vector<Bytes> levels;  // levels[0] = data as given
    Bytes constant;
};

Expected expectFace(const Bytes& img, Ptex::Res res, Ptex::DataType dt, int nch, int alpha, bool mip, bool tri)
{
    const int ps = Ptex::DataSize(dt) * nch;
    Expected e{{img}, Bytes(size_t(ps))};
    Bytes cur = img;
    if (alpha >= 0) PtexUtils::multalpha(cur.data(), res.size(), dt, nch, alpha);
    while (mip && res.ulog2 > 2 && res.vlog2 > 2) {
        const Ptex::Res next(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1));
        Bytes r(size_t(next.size()) * ps);
        (tri ? PtexUtils::reduceTri : PtexUtils::reduce)(cur.data(), res.u() * ps, res.u(), res.v(), r.data(),
                                                         next.u() * ps, dt, nch);
        e.levels.push_back(r);
        cur = r;
        res = next;
    }
    PtexUtils::average(cur.data(), res.u() * ps, res.u(), res.v(), e.constant.data(), dt, nch);
    if (alpha >= 0) PtexUtils::divalpha(e.constant.data(), 1, dt, nch, alpha);
    return e;
}

void expectLevels(PtexTexture* t, int f, const Expected& e, Ptex::Res res)
{
    EXPECT_EQ(readFace(t, f, res), e.levels[0]) << "face " << f;
    for (size_t i = 1; i < e.levels.size(); i++)
        EXPECT_EQ(readFace(t, f, Ptex::Res(int8_t(res.ulog2 - i), int8_t(res.vlog2 - i))), e.levels[i])
            << "face " << f << " level " << i;
    EXPECT_EQ(constPixel(t, f), e.constant) << "face " << f;
}

struct Format {
    Ptex::DataType dt;
    int nch;
    bool mip;
};

class RoundTripFormats : public ::testing::TestWithParam<Format> {};

TEST_P(RoundTripFormats, FacesLevelsAndConstants)
{
    const Format fmt = GetParam();
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("rt.ptx");
    const int alpha = fmt.nch >= 2 && fmt.nch % 2 == 0 ? fmt.nch - 1 : (fmt.nch == 3 ? 0 : -1);
    const int ps = Ptex::DataSize(fmt.dt) * fmt.nch;
    const Ptex::Res res[6] = {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(2, 6),
                              Ptex::Res(3, 3), Ptex::Res(5, 5), Ptex::Res(0, 0)};
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, fmt.dt, fmt.nch, alpha, 7, error, fmt.mip);
    ASSERT_TRUE(w) << error;
    std::vector<Bytes> imgs(6);
    std::vector<Ptex::FaceInfo> infos(7);
    for (int f = 0; f < 6; f++) {
        infos[f] = quadInfo(res[f].ulog2, res[f].vlog2, (f + 1) % 6, (f + 2) % 6, -1, (f + 5) % 6, f % 4, 2, 0, 1);
        if (f == 2) infos[f].flags = Ptex::FaceInfo::flag_subface;
        imgs[f] = makeImage(res[f], fmt.dt, fmt.nch, 100 + f);
    }
    for (size_t i = 0; i < imgs[3].size(); i++) imgs[3][i] = imgs[3][i % ps];  // uniform data
    for (int f = 0; f < 6; f++)  // face 4 written constant, face 6 never written
        ASSERT_TRUE(f == 4 ? w->writeConstantFace(f, infos[f], imgs[0].data())
                           : w->writeFace(f, infos[f], imgs[f].data()));
    ASSERT_TRUE(w->close(error)) << error;
    w->release();

    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->dataType(), fmt.dt);
    EXPECT_EQ(t->numChannels(), fmt.nch);
    EXPECT_EQ(t->alphaChannel(), alpha);
    EXPECT_EQ(t->numFaces(), 7);
    EXPECT_EQ(t->hasMipMaps(), fmt.mip);
    for (int f = 0; f < 7; f++) {
        const Ptex::FaceInfo& fi = t->getFaceInfo(f);
        const Ptex::FaceInfo& wi = infos[f];
        EXPECT_EQ(fi.res, wi.res) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(fi.adjface(e), wi.adjface(e)) << f;
        EXPECT_EQ(fi.adjedges, wi.adjedges) << f;
        EXPECT_EQ(fi.isConstant(), f >= 3) << f;  // uniform, written constant, 1x1 and unwritten faces
        EXPECT_EQ(fi.isSubface(), f == 2) << f;
    }
    for (int f : {0, 1, 2})
        expectLevels(t.get(), f, expectFace(imgs[f], res[f], fmt.dt, fmt.nch, alpha, fmt.mip, false), res[f]);
    EXPECT_EQ(constPixel(t.get(), 3), Bytes(imgs[3].begin(), imgs[3].begin() + ps));  // constants kept as given
    EXPECT_EQ(constPixel(t.get(), 5), imgs[5]);
    EXPECT_EQ(constPixel(t.get(), 6), Bytes(ps, 0));
    const Bytes full = readFace(t.get(), 4, res[4]);  // expands to its logical res
    for (int i = 0; i < res[4].size(); i++) EXPECT_EQ(0, std::memcmp(&full[size_t(i) * ps], imgs[0].data(), ps));
}

std::vector<Format> allFormats()
{
    std::vector<Format> v;
    for (int dt = 0; dt < 4; dt++)
        for (int nch = 1; nch <= 6; nch++)
            for (bool mip : {true, false}) v.push_back(Format{Ptex::DataType(dt), nch, mip});
    return v;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RoundTripFormats, ::testing::ValuesIn(allFormats()), [](const auto& info) {
    return std::string(Ptex::DataTypeName(info.param.dt)) + "_" + std::to_string(info.param.nch) + "ch_" +
           (info.param.mip ? "mip" : "nomip");
});

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    ScratchDir dir;
};

TEST_F(RoundTrip, TiledFacesStridesAndTriangles)
{
    const std::string path = dir.file("tiled.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 2, error);
    ASSERT_TRUE(w);
    Bytes img0 = makeImage(Ptex::Res(9, 8), Ptex::dt_uint8, 4, 1);  // 512 KiB
    for (int v = 0; v < 128; v++)                                   // tile 0 uniform
        for (int u = 0; u < 128; u++) std::memcpy(&img0[(size_t(v) * 512 + u) * 4], "\x01\x02\x03\x04", 4);
    const Bytes img1 = makeImage(Ptex::Res(3, 2), Ptex::dt_uint8, 4, 2);
    const int row = 8 * 4, stride = row + 5;  // face 1 given with a padded stride
    Bytes padded(size_t(stride) * 4, 0xee);
    for (int v = 0; v < 4; v++) std::memcpy(&padded[size_t(v) * stride], &img1[size_t(v) * row], row);
    ASSERT_TRUE(w->writeFace(0, quadInfo(9, 8, 1), img0.data()));
    ASSERT_TRUE(w->writeFace(1, quadInfo(3, 2, 0), padded.data(), stride));
    ASSERT_TRUE(w->close(error));
    w->release();
    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    expectLevels(t.get(), 0, expectFace(img0, Ptex::Res(9, 8), Ptex::dt_uint8, 4, 3, true, false), Ptex::Res(9, 8));
    PtexFaceData* d = t->getData(0);
    ASSERT_TRUE(d && d->isTiled());
    EXPECT_EQ(d->tileRes(), Ptex::Res(7, 7));  // 512 KiB: 2^3 tiles of 128x128
    PtexFaceData* tile = d->getTile(0);
    EXPECT_TRUE(tile->isConstant());
    tile->release();
    d->release();
    Bytes pad(size_t(stride) * 4), flip(size_t(row) * 4);  // read back with padded and negative strides
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
    t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->getFaceInfo(0).flags, 0);
    EXPECT_EQ(t->getFaceInfo(0).adjface(3), -1);
    EXPECT_EQ(t->getFaceInfo(0).adjedge(0), 1);
    expectLevels(t.get(), 0, expectFace(tri, Ptex::Res(4, 4), Ptex::dt_half, 3, -1, true, true), Ptex::Res(4, 4));
}

// Base file for the edit tests: 4 RGB8 faces of 16x16, metadata with a
// replaced and an empty value.
std::vector<Bytes> writeEditBase(const std::string& path, bool withMeta)
{
    std::vector<Bytes> imgs;
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
    if (!w) return imgs;
    for (int f = 0; f < 4; f++) {
        imgs.push_back(makeImage(Ptex::Res(4, 4), Ptex::dt_uint8, 3, 10 + f));
        w->writeFace(f, quadInfo(4, 4, (f + 1) % 4, -1, -1, (f + 3) % 4, 3, 0, 0, 1), imgs[f].data());
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

std::string metaString(PtexTexture* t, const char* key)
{
    const char* s = nullptr;
    t->getMetaData()->getValue(key, s);
    return s ? s : "(none)";
}

TEST_F(RoundTrip, IncrementalEditsAndApplyEdits)
{
    for (bool withMeta : {true, false}) {
        const std::string path = dir.file(withMeta ? "edits_meta.ptx" : "edits_nometa.ptx");
        const std::vector<Bytes> base = writeEditBase(path, withMeta);
        ASSERT_EQ(base.size(), 4u);
        const Bytes img1 = makeImage(Ptex::Res(5, 3), Ptex::dt_uint8, 3, 77);
        const Bytes img3 = makeImage(Ptex::Res(4, 4), Ptex::dt_uint8, 3, 78);
        const uint8_t px[3] = {200, 40, 90};
        Ptex::String error;
        PtexWriter* w = PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
        ASSERT_TRUE(w) << error;
        ASSERT_TRUE(w->writeFace(1, quadInfo(5, 3, 2, -1, -1, 0, 3, 0, 0, 1), img1.data()));
        ASSERT_TRUE(w->writeConstantFace(2, quadInfo(4, 4, 3, -1, -1, 1), px));
        w->writeMeta("content", "edited");
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
        w = PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);  // a later session
        ASSERT_TRUE(w) << error;
        ASSERT_TRUE(w->writeFace(3, quadInfo(4, 4, 0, -1, -1, 2, 3, 0, 0, 1), img3.data()));
        w->writeMeta("added", "5");
        ASSERT_TRUE(w->close(error)) << error;
        w->release();

        auto check = [&](PtexTexture* t, bool edited) {
            EXPECT_EQ(t->hasEdits(), edited);
            EXPECT_EQ(t->uBorderMode(), Ptex::m_black);
            EXPECT_EQ(readFace(t, 0, Ptex::Res(4, 4)), base[0]);
            EXPECT_EQ(t->getFaceInfo(1).hasEdits(), edited);
            EXPECT_EQ(readFace(t, 1, Ptex::Res(5, 3)), img1);
            EXPECT_TRUE(t->getFaceInfo(2).isConstant());
            EXPECT_EQ(constPixel(t, 2), Bytes(px, px + 3));
            EXPECT_EQ(readFace(t, 3, Ptex::Res(4, 4)), img3);
            EXPECT_EQ(metaString(t, "content"), "edited");
            EXPECT_EQ(metaString(t, "added"), "5");
            EXPECT_EQ(metaString(t, "empty"), withMeta ? "" : "(none)");
        };
        check(openTex(path).get(), true);
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        TexPtr t = openTex(path);
        check(t.get(), false);
        // the rewritten face has reductions of its new data
        expectLevels(t.get(), 3, expectFace(img3, Ptex::Res(4, 4), Ptex::dt_uint8, 3, -1, true, false),
                     Ptex::Res(4, 4));
        const Bytes before = readFile(path);
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        EXPECT_EQ(readFile(path), before) << "nothing left to apply";
    }
}

TEST_F(RoundTrip, FullEditKeepsWhatIsNotRewritten)
{
    const std::string path = dir.file("full.ptx");
    const std::vector<Bytes> base = writeEditBase(path, true);
    ASSERT_EQ(base.size(), 4u);
    Ptex::String error;
    EXPECT_EQ(PtexWriter::edit(path.c_str(), false, Ptex::mt_quad, Ptex::dt_uint8, 4, -1, 4, error), nullptr);
    EXPECT_EQ(error, "PtexWriter::edit error: header doesn't match existing file, conversions not currently supported");
    PtexWriter* w = PtexWriter::edit(path.c_str(), false, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
    ASSERT_TRUE(w) << error;
    const Bytes img = makeImage(Ptex::Res(3, 5), Ptex::dt_uint8, 3, 99);
    ASSERT_TRUE(w->writeFace(2, quadInfo(3, 5), img.data()));
    w->writeMeta("content", "rewritten");
    ASSERT_TRUE(w->close(error)) << error;
    w->release();
    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->hasEdits());
    EXPECT_EQ(t->uBorderMode(), Ptex::m_black);
    for (int f : {0, 1, 3}) {
        EXPECT_EQ(readFace(t.get(), f, Ptex::Res(4, 4)), base[f]) << f;
        EXPECT_EQ(t->getFaceInfo(f).adjface(0), (f + 1) % 4);
    }
    EXPECT_EQ(readFace(t.get(), 2, Ptex::Res(3, 5)), img);
    EXPECT_EQ(t->getMetaData()->numKeys(), 2);
    EXPECT_EQ(metaString(t.get(), "content"), "rewritten");
    EXPECT_EQ(metaString(t.get(), "empty"), "");
}

}  // namespace
