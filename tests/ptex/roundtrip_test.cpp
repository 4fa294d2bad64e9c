// What the writer writes, the reader reads back exactly: every data type,
// channel counts 1..6, mip-maps on and off, constant and never-written faces,
// tiled faces, metadata of every type, triangle meshes, incremental and full
// edits and applyEdits.
#include <gtest/gtest.h>

#include "PtexUtils.h"
#include "Ptexture.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using Bytes = std::vector<uint8_t>;

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
    const int ps = Ptex::DataSize(t->dataType()) * t->numChannels();
    Bytes b(size_t(res.size()) * ps, 0xcd);
    t->getData(f, b.data(), 0, res);
    return b;
}

Bytes constPixel(PtexTexture* t, int f)
{
    const int ps = Ptex::DataSize(t->dataType()) * t->numChannels();
    PtexFaceData* d = t->getData(f, Ptex::Res(0, 0));
    Bytes b(ps, 0);
    if (d) {
        EXPECT_TRUE(d->isConstant());
        std::memcpy(b.data(), d->getData(), ps);
        d->release();
    }
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
    Expected e;
    e.levels.push_back(img);
    Bytes cur = img;
    if (alpha >= 0) PtexUtils::multalpha(cur.data(), res.size(), dt, nch, alpha);
    while (mip && res.ulog2 > 2 && res.vlog2 > 2) {
        Ptex::Res next(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1));
        Bytes r(size_t(next.size()) * ps);
        if (tri)
            PtexUtils::reduceTri(cur.data(), res.u() * ps, res.u(), res.v(), r.data(), next.u() * ps, dt, nch);
        else
            PtexUtils::reduce(cur.data(), res.u() * ps, res.u(), res.v(), r.data(), next.u() * ps, dt, nch);
        e.levels.push_back(r);
        cur = r;
        res = next;
    }
    e.constant.resize(ps);
    PtexUtils::average(cur.data(), res.u() * ps, res.u(), res.v(), e.constant.data(), dt, nch);
    if (alpha >= 0) PtexUtils::divalpha(e.constant.data(), 1, dt, nch, alpha);
    return e;
}

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    ScratchDir dir;
};

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
    const Ptex::Res res[6] = {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(2, 6), Ptex::Res(3, 3),
                              Ptex::Res(5, 5), Ptex::Res(0, 0)};
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
    // Face 3: uniform data; face 4: written constant.
    for (size_t i = 0; i < imgs[3].size(); i++) imgs[3][i] = imgs[3][i % ps];
    for (int f = 0; f < 6; f++) {
        if (f == 4) {
            ASSERT_TRUE(w->writeConstantFace(f, infos[f], imgs[0].data()));
        } else {
            ASSERT_TRUE(w->writeFace(f, infos[f], imgs[f].data()));
        }
    }
    ASSERT_TRUE(w->close(error)) << error;
    w->release();

    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->meshType(), Ptex::mt_quad);
    EXPECT_EQ(t->dataType(), fmt.dt);
    EXPECT_EQ(t->numChannels(), fmt.nch);
    EXPECT_EQ(t->alphaChannel(), alpha);
    EXPECT_EQ(t->numFaces(), 7);
    EXPECT_FALSE(t->hasEdits());
    EXPECT_EQ(t->hasMipMaps(), fmt.mip);
    for (int f = 0; f < 7; f++) {
        const Ptex::FaceInfo& fi = t->getFaceInfo(f);
        const Ptex::FaceInfo& wi = f < 6 ? infos[f] : Ptex::FaceInfo();
        EXPECT_EQ(fi.res, wi.res) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(fi.adjface(e), wi.adjface(e)) << f;
        EXPECT_EQ(fi.adjedges, wi.adjedges) << f;
        const bool constant = f >= 3;
        EXPECT_EQ(fi.isConstant(), constant) << f;
        EXPECT_EQ(fi.isSubface(), f == 2) << f;
    }
    for (int f : {0, 1, 2}) {
        const Expected e = expectFace(imgs[f], res[f], fmt.dt, fmt.nch, alpha, fmt.mip, false);
        EXPECT_EQ(readFace(t.get(), f, res[f]), imgs[f]) << f;
        for (size_t i = 1; i < e.levels.size(); i++) {
            const Ptex::Res r(int8_t(res[f].ulog2 - i), int8_t(res[f].vlog2 - i));
            EXPECT_EQ(readFace(t.get(), f, r), e.levels[i]) << "face " << f << " level " << i;
        }
        EXPECT_EQ(constPixel(t.get(), f), e.constant) << f;
    }
    // Constant faces keep the value as given (a 1x1 face is constant too).
    EXPECT_EQ(constPixel(t.get(), 3), Bytes(imgs[3].begin(), imgs[3].begin() + ps));
    EXPECT_EQ(constPixel(t.get(), 5), imgs[5]);
    EXPECT_EQ(readFace(t.get(), 5, res[5]), imgs[5]);
    EXPECT_EQ(constPixel(t.get(), 4), Bytes(imgs[0].begin(), imgs[0].begin() + ps));
    EXPECT_EQ(constPixel(t.get(), 6), Bytes(ps, 0));
    // A constant face expands to its logical res.
    Bytes full = readFace(t.get(), 4, res[4]);
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

std::string formatName(const ::testing::TestParamInfo<Format>& info)
{
    return std::string(Ptex::DataTypeName(info.param.dt)) + "_" + std::to_string(info.param.nch) + "ch_" +
           (info.param.mip ? "mip" : "nomip");
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RoundTripFormats, ::testing::ValuesIn(allFormats()), formatName);

TEST_F(RoundTrip, TiledFaces)
{
    const std::string path = dir.file("tiled.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 2, error);
    ASSERT_TRUE(w);
    Bytes img0 = makeImage(Ptex::Res(9, 8), Ptex::dt_uint8, 4, 1);  // 512 KiB
    for (int v = 0; v < 128; v++)  // tile 0 uniform
        for (int u = 0; u < 128; u++) std::memcpy(&img0[(size_t(v) * 512 + u) * 4], "\x01\x02\x03\x04", 4);
    const Bytes img1 = makeImage(Ptex::Res(8, 8), Ptex::dt_uint8, 4, 2);
    ASSERT_TRUE(w->writeFace(0, quadInfo(9, 8, 1), img0.data()));
    ASSERT_TRUE(w->writeFace(1, quadInfo(8, 8, 0), img1.data()));
    ASSERT_TRUE(w->close(error));
    w->release();

    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(readFace(t.get(), 0, Ptex::Res(9, 8)), img0);
    EXPECT_EQ(readFace(t.get(), 1, Ptex::Res(8, 8)), img1);
    PtexFaceData* d = t->getData(0);
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->isTiled());
    const Ptex::Res tr = d->tileRes();
    EXPECT_EQ(tr, Ptex::Res(7, 7));  // 512 KiB: t = 3, n = 14
    PtexFaceData* tile = d->getTile(0);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(tile->isConstant());
    tile->release();
    tile = d->getTile(5);  // tile (1, 1)
    ASSERT_TRUE(tile);
    ASSERT_FALSE(tile->isConstant());
    const uint8_t* td = static_cast<const uint8_t*>(tile->getData());
    for (int v = 0; v < 128; v++)
        EXPECT_EQ(0, std::memcmp(td + size_t(v) * 128 * 4, &img0[((size_t(v) + 128) * 512 + 128) * 4], 128 * 4));
    tile->release();
    d->release();
    const Expected e = expectFace(img0, Ptex::Res(9, 8), Ptex::dt_uint8, 4, 3, true, false);
    for (size_t i = 1; i < e.levels.size(); i++)
        EXPECT_EQ(readFace(t.get(), 0, Ptex::Res(int8_t(9 - i), int8_t(8 - i))), e.levels[i]) << i;
}

TEST_F(RoundTrip, MetadataOfEveryType)
{
    const std::string path = dir.file("meta.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const int8_t i8[3] = {-128, 0, 127};
    const int16_t i16[2] = {-32768, 32767};
    const int32_t i32[2] = {INT32_MIN, INT32_MAX};
    const float f32[3] = {-1.5f, 0.0f, 3.0e38f};
    const double f64[2] = {1e-300, -2.5};
    std::vector<int16_t> big16(700);
    std::vector<double> big64(200);
    for (size_t i = 0; i < big16.size(); i++) big16[i] = int16_t(i * 37 - 9000);
    for (size_t i = 0; i < big64.size(); i++) big64[i] = double(i) * 1.25 - 7;
    const std::string longText(3000, 'x');
    w->writeMeta("str", "value");
    w->writeMeta("empty", "");
    w->writeMeta("utf8", "Gr\xc3\xbc\xc3\x9f" "e");
    w->writeMeta("big16", big16.data(), int(big16.size()));
    w->writeMeta("i8", i8, 3);
    w->writeMeta("i16", i16, 2);
    w->writeMeta("i32", i32, 2);
    w->writeMeta("f32", f32, 3);
    w->writeMeta("f64", f64, 2);
    w->writeMeta("long", longText.c_str());
    w->writeMeta("big64", big64.data(), int(big64.size()));
    w->writeMeta("str", "replaced");
    const uint8_t px = 0;
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(0, 0), &px));
    ASSERT_TRUE(w->close(error));
    w->release();

    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    PtexMetaData* m = t->getMetaData();
    ASSERT_TRUE(m);
    ASSERT_EQ(m->numKeys(), 11);
    // Small entries in write order, then the large ones.
    const char* order[11] = {"str", "empty", "utf8", "i8", "i16", "i32", "f32", "f64", "big16", "long", "big64"};
    for (int i = 0; i < 11; i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type;
        m->getKey(i, key, type);
        ASSERT_TRUE(key);
        EXPECT_STREQ(key, order[i]);
    }
    const char* s = nullptr;
    m->getValue("str", s);
    EXPECT_STREQ(s, "replaced");
    m->getValue("empty", s);
    EXPECT_STREQ(s, "");
    m->getValue("utf8", s);
    EXPECT_STREQ(s, "Gr\xc3\xbc\xc3\x9f" "e");
    m->getValue("long", s);
    EXPECT_EQ(std::string(s ? s : ""), longText);
    int n = 0;
    const int8_t* v8;
    m->getValue("i8", v8, n);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(0, std::memcmp(v8, i8, sizeof(i8)));
    const int16_t* v16;
    m->getValue("i16", v16, n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(0, std::memcmp(v16, i16, sizeof(i16)));
    m->getValue("big16", v16, n);
    ASSERT_EQ(n, 700);
    EXPECT_EQ(0, std::memcmp(v16, big16.data(), 1400));
    const int32_t* v32;
    m->getValue("i32", v32, n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(0, std::memcmp(v32, i32, sizeof(i32)));
    const float* vf;
    m->getValue("f32", vf, n);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(0, std::memcmp(vf, f32, sizeof(f32)));
    const double* vd;
    m->getValue("f64", vd, n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(0, std::memcmp(vd, f64, sizeof(f64)));
    m->getValue("big64", vd, n);
    ASSERT_EQ(n, 200);
    EXPECT_EQ(0, std::memcmp(vd, big64.data(), 1600));
    m->release();
}

TEST_F(RoundTrip, TriangleMesh)
{
    const std::string path = dir.file("tri.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_half, 3, -1, 4, error);
    ASSERT_TRUE(w);
    std::vector<Bytes> imgs;
    for (int f = 0; f < 4; f++) {
        const Ptex::Res r(int8_t(2 + f), int8_t(2 + f));
        imgs.push_back(makeImage(r, Ptex::dt_half, 3, 50 + f));
        ASSERT_TRUE(w->writeFace(f, quadInfo(2 + f, 2 + f, (f + 1) % 4, (f + 3) % 4, -1, 2, 1, 0, 2, 0), imgs[f].data()));
    }
    ASSERT_TRUE(w->close(error));
    w->release();
    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->meshType(), Ptex::mt_triangle);
    EXPECT_TRUE(t->hasMipMaps());
    for (int f = 0; f < 4; f++) {
        const Ptex::Res r(int8_t(2 + f), int8_t(2 + f));
        const Ptex::FaceInfo& fi = t->getFaceInfo(f);
        EXPECT_EQ(fi.res, r);
        EXPECT_EQ(fi.adjface(0), (f + 1) % 4);
        EXPECT_EQ(fi.adjface(3), -1);
        EXPECT_EQ(fi.adjedge(0), 1);
        EXPECT_EQ(fi.adjedge(3), 0);
        const Expected e = expectFace(imgs[f], r, Ptex::dt_half, 3, -1, true, true);
        EXPECT_EQ(readFace(t.get(), f, r), imgs[f]);
        for (size_t i = 1; i < e.levels.size(); i++)
            EXPECT_EQ(readFace(t.get(), f, Ptex::Res(int8_t(r.ulog2 - i), int8_t(r.vlog2 - i))), e.levels[i]);
        EXPECT_EQ(constPixel(t.get(), f), e.constant);
    }
}

// Base file for the edit tests: 4 RGB8 faces of 16x16 with metadata.
std::vector<Bytes> writeEditBase(const std::string& path, bool withMeta)
{
    std::vector<Bytes> imgs;
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
    EXPECT_TRUE(w);
    if (!w) return imgs;
    for (int f = 0; f < 4; f++) {
        imgs.push_back(makeImage(Ptex::Res(4, 4), Ptex::dt_uint8, 3, 10 + f));
        EXPECT_TRUE(w->writeFace(f, quadInfo(4, 4, (f + 1) % 4, -1, -1, (f + 3) % 4, 3, 0, 0, 1), imgs[f].data()));
    }
    w->setBorderModes(Ptex::m_black, Ptex::m_clamp);
    if (withMeta) {
        w->writeMeta("content", "base");
        const int16_t v[2] = {1, 2};
        w->writeMeta("keep", v, 2);
    }
    EXPECT_TRUE(w->close(error)) << error;
    w->release();
    return imgs;
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
        // A second session: later edits override earlier ones.
        w = PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 4, error);
        ASSERT_TRUE(w) << error;
        ASSERT_TRUE(w->writeFace(3, quadInfo(4, 4, 0, -1, -1, 2, 3, 0, 0, 1), img3.data()));
        const int32_t n[1] = {5};
        w->writeMeta("added", n, 1);
        ASSERT_TRUE(w->close(error)) << error;
        w->release();

        auto check = [&](PtexTexture* t, bool edited) {
            EXPECT_EQ(t->hasEdits(), edited);
            EXPECT_TRUE(t->hasMipMaps());
            EXPECT_EQ(t->uBorderMode(), Ptex::m_black);
            EXPECT_EQ(readFace(t, 0, Ptex::Res(4, 4)), base[0]);
            EXPECT_EQ(t->getFaceInfo(1).res, Ptex::Res(5, 3));
            EXPECT_EQ(t->getFaceInfo(1).hasEdits(), edited);
            EXPECT_EQ(readFace(t, 1, Ptex::Res(5, 3)), img1);
            EXPECT_TRUE(t->getFaceInfo(2).isConstant());
            EXPECT_EQ(constPixel(t, 2), Bytes(px, px + 3));
            EXPECT_EQ(readFace(t, 3, Ptex::Res(4, 4)), img3);
            EXPECT_EQ(t->getFaceInfo(3).adjface(0), 0);
            PtexMetaData* m = t->getMetaData();
            ASSERT_TRUE(m);
            const char* s = nullptr;
            m->getValue("content", s);
            EXPECT_STREQ(s, "edited");
            const int32_t* v = nullptr;
            int count = 0;
            m->getValue("added", v, count);
            ASSERT_EQ(count, 1);
            EXPECT_EQ(v[0], 5);
            const int16_t* k = nullptr;
            m->getValue("keep", k, count);
            EXPECT_EQ(count, withMeta ? 2 : 0);
            m->release();
        };
        {
            TexPtr t = openTex(path);
            ASSERT_TRUE(t);
            check(t.get(), true);
        }
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        {
            TexPtr t = openTex(path);
            ASSERT_TRUE(t);
            check(t.get(), false);
            // The rewritten face now has stored reductions of its new data.
            const Expected e = expectFace(img3, Ptex::Res(4, 4), Ptex::dt_uint8, 3, -1, true, false);
            EXPECT_EQ(readFace(t.get(), 3, Ptex::Res(3, 3)), e.levels[1]);
            EXPECT_EQ(constPixel(t.get(), 3), e.constant);
        }
        // Nothing left to apply: the file stays as it is.
        const Bytes before = readFile(path);
        ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
        EXPECT_EQ(readFile(path), before);
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
    EXPECT_EQ(t->getFaceInfo(2).res, Ptex::Res(3, 5));
    EXPECT_EQ(readFace(t.get(), 2, Ptex::Res(3, 5)), img);
    PtexMetaData* m = t->getMetaData();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->numKeys(), 2);
    const char* s = nullptr;
    m->getValue("content", s);
    EXPECT_STREQ(s, "rewritten");
    m->release();
}

TEST_F(RoundTrip, ApplyEditsOfTheGoldenEditedFile)
{
    const std::string src = testdataDir() + "/edits_rgb8.ptx";
    if (!fileExists(src)) GTEST_SKIP() << "golden Ptex data not found in " << testdataDir();
    const std::string path = dir.file("edits.ptx");
    writeFile(path, readFile(src));
    TexPtr orig = openTex(src);
    ASSERT_TRUE(orig);
    ASSERT_TRUE(orig->hasEdits());
    Ptex::String error;
    ASSERT_TRUE(PtexWriter::applyEdits(path.c_str(), error)) << error;
    TexPtr t = openTex(path);
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->hasEdits());
    EXPECT_TRUE(t->hasMipMaps());
    ASSERT_EQ(t->numFaces(), orig->numFaces());
    for (int f = 0; f < t->numFaces(); f++) {
        const Ptex::FaceInfo &a = t->getFaceInfo(f), &b = orig->getFaceInfo(f);
        EXPECT_EQ(a.res, b.res) << f;
        EXPECT_EQ(a.isConstant(), b.isConstant()) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(a.adjface(e), b.adjface(e));
        EXPECT_EQ(readFace(t.get(), f, a.res), readFace(orig.get(), f, b.res)) << f;
        if (!b.hasEdits()) {
            EXPECT_EQ(constPixel(t.get(), f), constPixel(orig.get(), f)) << f;
        }
    }
    PtexMetaData *ma = t->getMetaData(), *mb = orig->getMetaData();
    ASSERT_EQ(ma->numKeys(), mb->numKeys());
    const char *sa = nullptr, *sb = nullptr;
    ma->getValue("content", sa);
    mb->getValue("content", sb);
    EXPECT_STREQ(sa, sb);
    ma->release();
    mb->release();
}

}  // namespace
