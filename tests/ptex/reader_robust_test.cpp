// Damaged and hostile files: truncated and byte-flipped copies of every golden
// file, and headers with hostile counts, sizes and resolutions. The reader must
// fail with a clear error or read with errors, never crash, read out of bounds
// or make a huge allocation (the sanitizer build checks the last two).
#include "PtexIO.h"
#include "Ptexture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string goldenDir() { return std::string(ZENTO_TESTDATA_DIR) + "/ptex"; }

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Collect : public PtexErrorHandler {
    std::vector<std::string> errors;
    void reportError(const char* e) override { errors.push_back(e); }
};

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/ptex-reader-test-XXXXXX";
        char* d = mkdtemp(tmpl);
        path = d ? d : "/tmp";
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

// Touches everything a user can reach; sizes come from the texture, so the
// buffers are bounded by what the reader accepted.
void readEverything(PtexTexture* tx)
{
    int nf = tx->numFaces();
    int ps = Ptex::DataSize(tx->dataType()) * tx->numChannels();
    std::vector<uint8_t> buf;
    std::vector<float> px(size_t(tx->numChannels()) + 2);
    for (int f = 0; f < nf && f < 64; f++) {
        const Ptex::FaceInfo& fi = tx->getFaceInfo(f);
        for (int e = 0; e < 4; e++) ASSERT_TRUE(fi.adjfaces[e] >= -1 && fi.adjfaces[e] < nf);
        Ptex::Res r = fi.res;
        ASSERT_TRUE(r.ulog2 >= 0 && r.ulog2 <= 15 && r.vlog2 >= 0 && r.vlog2 <= 15);
        if (r.size() > (1 << 22)) continue;
        buf.assign(size_t(r.size()) * size_t(ps), 0);
        tx->getData(f, buf.data(), 0);
        for (int ru = r.ulog2; ru >= 0; ru -= 2)
            for (int rv = r.vlog2; rv >= 0; rv -= 3) {
                Ptex::Res rr{int8_t(ru), int8_t(rv)};
                tx->getData(f, buf.data(), 0, rr);
                PtexFaceData* d = tx->getData(f, rr);
                ASSERT_TRUE(d);
                if (d->isTiled()) {
                    Ptex::Res tr = d->tileRes();
                    int nt = rr.ntiles(tr);
                    for (int t = 0; t < nt; t++) {
                        PtexFaceData* tile = d->getTile(t);
                        ASSERT_TRUE(tile);
                        tile->release();
                    }
                }
                d->release();
            }
        tx->getPixel(f, r.u() - 1, r.v() - 1, px.data(), 0, int(px.size()));
        tx->getPixel(f, 1 << 20, -5, px.data(), 1, 2, Ptex::Res(1, 1));
    }
    PtexMetaData* md = tx->getMetaData();
    ASSERT_TRUE(md);
    for (int i = 0; i < md->numKeys(); i++) {
        const char* key = nullptr;
        Ptex::MetaDataType t;
        md->getKey(i, key, t);
        ASSERT_TRUE(key);
        int n;
        const char* s;
        const int8_t* i8;
        const int16_t* i16;
        const int32_t* i32;
        const float* fl;
        const double* db;
        md->getValue(i, s);
        if (s) (void)std::strlen(s);
        md->getValue(i, i8, n);
        md->getValue(i, i16, n);
        md->getValue(i, i32, n);
        md->getValue(i, fl, n);
        md->getValue(i, db, n);
        if (db && n > 0) (void)db[n - 1];
    }
}

// Opens through a private cache (errors collected, not printed) and reads all.
void openAndRead(const std::string& path, Collect& errs, bool expectOpen = false)
{
    PtexCache* c = PtexCache::create(0, 1 << 20, false, nullptr, &errs);
    Ptex::String err;
    PtexTexture* tx = c->get(path.c_str(), err);
    if (expectOpen) {
        EXPECT_TRUE(tx) << err;
    }
    if (tx) {
        readEverything(tx);
        tx->release();
    } else {
        EXPECT_FALSE(err.empty()) << path;
    }
    c->release();
}

std::vector<std::string> goldenFiles()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(goldenDir(), ec))
        if (e.path().extension() == ".ptx") names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

#define REQUIRE_GOLDEN()                                                                              \
    if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();

TEST(PtexReaderRobust, TruncatedFilesNeverCrash)
{
    REQUIRE_GOLDEN();
    TempDir tmp;
    for (const std::string& name : goldenFiles()) {
        std::vector<uint8_t> bytes = readFile(name);
        std::vector<size_t> lengths;
        for (size_t n = 0; n < std::min<size_t>(bytes.size(), 160); n++) lengths.push_back(n);
        for (int k = 1; k < 60; k++) lengths.push_back(bytes.size() * size_t(k) / 60);
        lengths.push_back(bytes.size() - 1);
        int opened = 0;
        for (size_t n : lengths) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + ptrdiff_t(n));
            std::string p = tmp.path + "/cut_" + std::to_string(n) + ".ptx";
            writeFile(p, cut);
            Collect errs;
            openAndRead(p, errs);
            Ptex::String err;
            PtexTexture* t = PtexTexture::open(p.c_str(), err);
            if (t) {
                opened++;
                t->release();
            } else if (n < 64) {
                EXPECT_EQ("Not a ptex file: " + p, err);
            }
            fs::remove(p);
        }
        SCOPED_TRACE(name);
        EXPECT_LT(opened, int(lengths.size()));
    }
}

TEST(PtexReaderRobust, FlippedBytesNeverCrash)
{
    REQUIRE_GOLDEN();
    TempDir tmp;
    std::mt19937 rng(20261207);
    for (const std::string& name : goldenFiles()) {
        std::vector<uint8_t> bytes = readFile(name);
        int variants = bytes.size() > 100000 ? 40 : 150;
        for (int v = 0; v < variants; v++) {
            std::vector<uint8_t> b = bytes;
            int flips = 1 + int(rng() % 3);
            for (int k = 0; k < flips; k++) {
                // half the flips hit the first 256 bytes, where the headers and tables live
                size_t pos = (rng() & 1) ? rng() % std::min<size_t>(256, b.size()) : rng() % b.size();
                b[pos] ^= uint8_t(1 + rng() % 255);
            }
            std::string p = tmp.path + "/flip.ptx";
            writeFile(p, b);
            Collect errs;
            openAndRead(p, errs);
        }
    }
}

// A golden file split into its sections, so single blocks can be replaced.
struct Image {
    std::vector<uint8_t> bytes;
    PtexIO::Header h;
    PtexIO::ExtHeader e;
    explicit Image(const std::string& path) : bytes(readFile(path))
    {
        std::memcpy(&h, bytes.data(), 64);
        std::memset(&e, 0, sizeof(e));
        std::memcpy(&e, bytes.data() + 64, std::min<size_t>(40, h.extheadersize));
    }
    void store()
    {
        std::memcpy(bytes.data(), &h, 64);
        std::memcpy(bytes.data() + 64, &e, std::min<size_t>(40, h.extheadersize));
    }
    size_t faceinfoPos() const { return 64 + h.extheadersize; }
    std::vector<Ptex::FaceInfo> faceInfos() const
    {
        std::vector<Ptex::FaceInfo> f(h.nfaces);
        uLongf n = uLongf(f.size() * 20);
        uncompress(reinterpret_cast<Bytef*>(f.data()), &n, bytes.data() + faceinfoPos(), h.faceinfosize);
        return f;
    }
    // replaces the face info block; later sections shift with it
    void setFaceInfos(const std::vector<Ptex::FaceInfo>& f)
    {
        uLongf n = compressBound(uLong(f.size() * 20));
        std::vector<uint8_t> z(n);
        compress(z.data(), &n, reinterpret_cast<const Bytef*>(f.data()), uLong(f.size() * 20));
        z.resize(n);
        std::vector<uint8_t> out(bytes.begin(), bytes.begin() + ptrdiff_t(faceinfoPos()));
        out.insert(out.end(), z.begin(), z.end());
        out.insert(out.end(), bytes.begin() + ptrdiff_t(faceinfoPos() + h.faceinfosize), bytes.end());
        int64_t delta = int64_t(n) - int64_t(h.faceinfosize);
        h.faceinfosize = uint32_t(n);
        if (e.editdatapos) e.editdatapos = uint64_t(int64_t(e.editdatapos) + delta);
        bytes = out;
        store();
    }
};

class PtexReaderHostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();
        src = goldenDir() + "/cube_rgb8.ptx";
    }
    std::string write(const Image& img, const char* name)
    {
        std::string p = tmp.path + "/" + name;
        writeFile(p, img.bytes);
        return p;
    }
    std::string openError(const std::string& p)
    {
        Ptex::String err;
        PtexTexture* t = PtexTexture::open(p.c_str(), err);
        if (t) {
            t->release();
            return "";
        }
        return err;
    }
    TempDir tmp;
    std::string src;
};

TEST_F(PtexReaderHostile, OpenErrorTexts)
{
    EXPECT_EQ("Can't open ptex file: /no/such/dir/x.ptx\nNo such file or directory", openError("/no/such/dir/x.ptx"));
    Image img(src);
    img.h.magic = 0x12345678;
    img.store();
    std::string p = write(img, "magic.ptx");
    EXPECT_EQ("Not a ptex file: " + p, openError(p));
    Image v(src);
    v.h.version = 2;
    v.store();
    p = write(v, "version.ptx");
    EXPECT_EQ("Unsupported ptex file version (2): " + p, openError(p));
    Image m(src);
    m.h.meshtype = 7;
    m.store();
    p = write(m, "mesh.ptx");
    EXPECT_EQ("Invalid mesh type (7): " + p, openError(p));
    Image d(src);
    d.h.datatype = 4;
    d.store();
    p = write(d, "dtype.ptx");
    EXPECT_EQ("Invalid data type (4): " + p, openError(p));
    Image c(src);
    c.h.nchannels = 0;
    c.store();
    p = write(c, "nchan.ptx");
    EXPECT_EQ("Invalid number of channels (0): " + p, openError(p));
    Image l(src);
    l.h.nlevels = 0;
    l.store();
    p = write(l, "nlevels.ptx");
    EXPECT_EQ("Invalid number of levels (0): " + p, openError(p));
}

TEST_F(PtexReaderHostile, HugeCountsAreRefusedBeforeAllocating)
{
    Image img(src);
    img.h.nfaces = 0xffffffffu;
    img.store();
    std::string p = write(img, "nfaces.ptx");
    EXPECT_EQ("Invalid number of faces (4294967295): " + p, openError(p));

    // a plausible-looking count whose tiny compressed block cannot hold it
    Image big(src);
    big.h.nfaces = (1u << 26) - 1;
    big.store();
    p = write(big, "nfaces2.ptx");
    EXPECT_EQ("PtexReader error: unzip failed, file corrupt PtexFile: " + p + "\n", openError(p));

    // huge compressed size: reading stops at the end of the file
    Image zs(src);
    zs.h.faceinfosize = 0xfffffff0u;
    zs.store();
    p = write(zs, "zipsize.ptx");
    EXPECT_NE("", openError(p));

    Image ext(src);
    ext.h.extheadersize = 0xffffffffu;
    ext.store();
    p = write(ext, "ext.ptx");
    EXPECT_NE("", openError(p));

    Image lds(src);
    lds.h.leveldatasize = ~uint64_t(0);
    lds.store();
    p = write(lds, "leveldata.ptx");
    EXPECT_EQ("PtexReader error: invalid data, file corrupt PtexFile: " + p + "\n", openError(p));

    Image md(src);
    md.h.metadatamemsize = 0xffffffffu;
    md.store();
    p = write(md, "meta.ptx");
    Collect errs;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &errs);
    Ptex::String err;
    PtexTexture* t = cache->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    PtexMetaData* meta = t->getMetaData();
    ASSERT_TRUE(meta);
    EXPECT_EQ(0, meta->numKeys());
    ASSERT_FALSE(errs.errors.empty());
    EXPECT_EQ("PtexReader error: unzip failed, file corrupt PtexFile: " + p + "\n", errs.errors[0]);
    t->release();
    cache->release();
}

TEST_F(PtexReaderHostile, BadResolutionsAndNeighbours)
{
    Image img(src);
    std::vector<Ptex::FaceInfo> f = img.faceInfos();
    ASSERT_EQ(6u, f.size());
    f[2].res = Ptex::Res(30, 2);
    img.setFaceInfos(f);
    std::string p = write(img, "res.ptx");
    EXPECT_EQ("PtexReader error: invalid face resolution (face 2) PtexFile: " + p + "\n", openError(p));

    Image neg(src);
    f = neg.faceInfos();
    f[0].res = Ptex::Res(-3, 2);
    neg.setFaceInfos(f);
    p = write(neg, "negres.ptx");
    EXPECT_NE("", openError(p));

    Image adj(src);
    f = adj.faceInfos();
    f[1].adjfaces[0] = 6;        // one past the end
    f[1].adjfaces[2] = -7;       // negative but not -1
    f[1].adjfaces[3] = 1 << 30;  // far away
    adj.setFaceInfos(f);
    p = write(adj, "adj.ptx");
    Ptex::String err;
    PtexPtr<PtexTexture> t(PtexTexture::open(p.c_str(), err));
    ASSERT_TRUE(t) << err;
    EXPECT_EQ(-1, t->getFaceInfo(1).adjface(0));
    EXPECT_EQ(-1, t->getFaceInfo(1).adjface(2));
    EXPECT_EQ(-1, t->getFaceInfo(1).adjface(3));
    EXPECT_EQ(f[1].adjfaces[1], t->getFaceInfo(1).adjface(1));
    readEverything(t);

    // a resolution change of a face without matching data: errors, no overrun
    Image grow(src);
    f = grow.faceInfos();
    f[0].res = Ptex::Res(9, 9);
    grow.setFaceInfos(f);
    p = write(grow, "grow.ptx");
    Collect errs;
    openAndRead(p, errs, true);
    EXPECT_FALSE(errs.errors.empty());
}

TEST_F(PtexReaderHostile, ErrorsAfterOpenGiveZeroData)
{
    // cut the file in the middle of the level data: open works, face reads fail
    Image img(src);
    size_t levelStart = 64 + img.h.extheadersize + img.h.faceinfosize + img.h.constdatasize + img.h.levelinfosize;
    img.bytes.resize(levelStart + 30);
    std::string p = write(img, "cut.ptx");
    Collect errs;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &errs);
    Ptex::String err;
    PtexTexture* t = cache->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    std::vector<uint8_t> buf(32 * 32 * 3, 0xab);
    t->getData(0, buf.data(), 0);
    ASSERT_FALSE(errs.errors.empty());
    EXPECT_NE(std::string::npos, errs.errors[0].find("PtexReader error:")) << errs.errors[0];
    EXPECT_NE(std::string::npos, errs.errors[0].find(" PtexFile: " + p + "\n"));
    // from now on every request gives zero pixels
    std::fill(buf.begin(), buf.end(), 0xab);
    t->getData(0, buf.data(), 0);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0; }));
    PtexFaceData* d = t->getData(5, Ptex::Res(2, 3));
    EXPECT_TRUE(d->isConstant());
    EXPECT_EQ(0, static_cast<uint8_t*>(d->getData())[0]);
    d->release();
    float px[3] = {9, 9, 9};
    t->getPixel(0, 1, 1, px, 0, 3);
    EXPECT_EQ(0.0f, px[0]);
    t->release();
    cache->release();
}

TEST_F(PtexReaderHostile, BadRequestsAreHarmless)
{
    Collect errs;
    PtexCache* cache = PtexCache::create(0, 0, false, nullptr, &errs);
    Ptex::String err;
    PtexTexture* t = cache->get(src.c_str(), err);
    ASSERT_TRUE(t) << err;
    // invalid face: zero pixels at the requested res
    std::vector<uint8_t> buf(4 * 4 * 3, 0xab);
    t->getData(99, buf.data(), 0, Ptex::Res(2, 2));
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0; }));
    PtexFaceData* d = t->getData(-1, Ptex::Res(2, 2));
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->isConstant());
    d->release();
    // enlargement and below-one-pixel requests give the error face
    d = t->getData(0, Ptex::Res(6, 5));
    EXPECT_TRUE(d->isConstant());
    EXPECT_EQ(0, static_cast<uint8_t*>(d->getData())[0]);
    d->release();
    d = t->getData(0, Ptex::Res(-1, 2));
    EXPECT_TRUE(d->isConstant());
    d->release();
    EXPECT_EQ(2u, errs.errors.size());
    // the texture is not put in error by bad requests
    std::vector<uint8_t> full(32 * 32 * 3);
    t->getData(0, full.data(), 0);
    EXPECT_FALSE(std::all_of(full.begin(), full.end(), [](uint8_t b) { return b == 0; }));
    // getPixel clips the channel range and the coordinates
    float px[5] = {7, 7, 7, 7, 7};
    t->getPixel(0, 0, 0, px, 2, 5);
    EXPECT_NE(0.0f, px[0]);
    EXPECT_EQ(0.0f, px[1]);
    EXPECT_EQ(0.0f, px[4]);
    t->getPixel(0, 0, 0, px, 3, 2);
    EXPECT_EQ(0.0f, px[0]);
    t->getPixel(0, 100000, -100000, px, 0, 3);
    t->release();
    cache->release();
}

TEST_F(PtexReaderHostile, StridesAndFlips)
{
    Ptex::String err;
    PtexPtr<PtexTexture> t(PtexTexture::open(src.c_str(), err));
    ASSERT_TRUE(t) << err;
    // face 1 is 8x64 RGB
    const int u = 8, v = 64, ps = 3;
    std::vector<uint8_t> packed(size_t(u * v * ps)), padded(size_t((u * ps + 5) * v)), flipped(packed.size());
    t->getData(1, packed.data(), 0);
    t->getData(1, padded.data(), u * ps + 5);
    t->getData(1, flipped.data() + (v - 1) * u * ps, -u * ps);
    for (int j = 0; j < v; j++) {
        EXPECT_EQ(0, std::memcmp(packed.data() + j * u * ps, padded.data() + j * (u * ps + 5), size_t(u * ps)));
        EXPECT_EQ(0, std::memcmp(packed.data() + j * u * ps, flipped.data() + (v - 1 - j) * u * ps, size_t(u * ps)));
    }
    // constant face expanded at its logical res, and at a reduced res
    std::vector<uint8_t> c(16 * 16 * 3), c2(4 * 2 * 3);
    t->getData(3, c.data(), 0);
    t->getData(3, c2.data(), 0, Ptex::Res(2, 1));
    for (int i = 1; i < 16 * 16; i++) ASSERT_EQ(0, std::memcmp(c.data(), c.data() + i * 3, 3));
    EXPECT_EQ(0, std::memcmp(c.data(), c2.data() + 3, 3));
}

}  // namespace
