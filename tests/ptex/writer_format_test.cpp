// Writer output checked byte-wise against the file format with the test-side
// decoder (no use of the library's reader): layout, sizes, encodings, tiling,
// reductions, constant faces, metadata placement, triangle rules and the
// constant-neighbourhood flag.
#include <gtest/gtest.h>

#include <cmath>

#include "PtexUtils.h"
#include "Ptexture.h"
#include "writer_file_parser.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using PtexTestFile::Bytes;
using PtexTestFile::ParsedFile;

namespace {

ParsedFile parseOrFail(const std::string& path)
{
    ParsedFile pf;
    std::string error;
    EXPECT_TRUE(PtexTestFile::parsePtexFile(path, pf, error)) << error;
    return pf;
}

// Reference 2x2 box reduction of uint8 data (truncating).
Bytes reduceU8(const Bytes& src, int u, int v, int nch)
{
    Bytes dst(size_t(u / 2) * (v / 2) * nch);
    for (int j = 0; j < v / 2; j++)
        for (int i = 0; i < u / 2; i++)
            for (int c = 0; c < nch; c++) {
                auto s = [&](int x, int y) { return int(src[(size_t(y) * u + x) * nch + c]); };
                dst[(size_t(j) * (u / 2) + i) * nch + c] =
                    uint8_t((s(2 * i, 2 * j) + s(2 * i + 1, 2 * j) + s(2 * i, 2 * j + 1) + s(2 * i + 1, 2 * j + 1)) >> 2);
            }
    return dst;
}

void premultU8(Bytes& img, int nch, int alpha)
{
    for (size_t p = 0; p < img.size(); p += nch) {
        const float a = float(img[p + alpha]) * (1.0f / 255.0f);
        for (int c = 0; c < nch; c++) {
            const bool affected = alpha == 0 ? c > 0 : c < alpha;
            if (affected) img[p + c] = uint8_t(float(img[p + c]) * a);
        }
    }
}

class WriterFormat : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    ScratchDir dir;
};

TEST_F(WriterFormat, HeaderAndSectionsOfASimpleFile)
{
    const std::string path = dir.file("simple.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 2, error);
    ASSERT_TRUE(w) << error;
    w->setBorderModes(Ptex::m_black, Ptex::m_periodic);
    w->setEdgeFilterMode(Ptex::efm_tanvec);
    const Bytes img0 = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 3, 1);
    const Bytes img1 = makeImage(Ptex::Res(4, 2), Ptex::dt_uint8, 3, 2);
    EXPECT_TRUE(w->writeFace(0, quadInfo(3, 3, -1, 1, -1, -1, 0, 3, 0, 0), img0.data()));
    EXPECT_TRUE(w->writeFace(1, quadInfo(4, 2, -1, -1, -1, 0, 0, 0, 0, 1), img1.data()));
    ASSERT_TRUE(w->close(error)) << error;
    w->release();
    EXPECT_FALSE(fileExists(path + ".new"));

    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.version, 1u);
    EXPECT_EQ(pf.minorversion, 4u);
    EXPECT_EQ(pf.meshtype, 1u);
    EXPECT_EQ(pf.datatype, 0u);
    EXPECT_EQ(pf.alphachan, -1);
    EXPECT_EQ(pf.nchannels, 3);
    EXPECT_EQ(pf.nfaces, 2u);
    EXPECT_EQ(pf.ubordermode, Ptex::m_black);
    EXPECT_EQ(pf.vbordermode, Ptex::m_periodic);
    EXPECT_EQ(pf.edgefiltermode, Ptex::efm_tanvec);
    EXPECT_EQ(pf.pad, 0);
    // Face 0 (8x8, key 3) has one reduction; face 1 (key 2) none.
    ASSERT_EQ(pf.nlevels, 2);
    EXPECT_EQ(pf.levels[1].nfaces, 1u);
    // Always a barrier, even without metadata; edits would start right after.
    EXPECT_TRUE(pf.barrierFound);
    EXPECT_EQ(pf.metadatazipsize, 0u);
    EXPECT_EQ(pf.editdatapos, pf.file.size());
    EXPECT_EQ(pf.editdatapos, pf.sectionsEnd);
    EXPECT_EQ(pf.editdatasize, 0u);
    EXPECT_TRUE(pf.edits.empty());

    EXPECT_EQ(pf.faces[0].adjfaces[1], 1);
    EXPECT_EQ((pf.faces[0].adjedges >> 2) & 3, 3);
    EXPECT_EQ(pf.faces[1].adjfaces[3], 0);
    EXPECT_EQ(pf.levels[0].blocks[0].encoding, 2u);  // uint8: diff-zipped

    Bytes px;
    int ul, vl;
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
    EXPECT_EQ(px, img0);
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 1, 0, px, ul, vl));
    EXPECT_EQ(px, img1);
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 1, px, ul, vl));
    EXPECT_EQ(ul, 2);
    EXPECT_EQ(px, reduceU8(img0, 8, 8, 3));
}

TEST_F(WriterFormat, ConstantValueIsTheAverageOfTheSmallestLevel)
{
    const std::string path = dir.file("avg.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 2, -1, 2, error);
    ASSERT_TRUE(w);
    const Bytes img = makeImage(Ptex::Res(5, 4), Ptex::dt_uint8, 2, 7);
    ASSERT_TRUE(w->writeFace(0, quadInfo(5, 4), img.data()));
    ASSERT_TRUE(w->writeFace(1, quadInfo(1, 1), img.data()));
    ASSERT_TRUE(w->close(error)) << error;
    w->release();
    ParsedFile pf = parseOrFail(path);
    ASSERT_EQ(pf.nlevels, 3);  // key 4: levels 1 and 2
    Bytes l2 = reduceU8(reduceU8(img, 32, 16, 2), 16, 8, 2);
    for (int c = 0; c < 2; c++) {
        float sum = 0;
        for (size_t i = 0; i < l2.size() / 2; i++) sum += float(l2[2 * i + c]);
        EXPECT_EQ(pf.constdata[c], uint8_t(sum * (1.0f / 32.0f))) << c;
    }
    // A face without reductions averages its full-resolution data.
    for (int c = 0; c < 2; c++) {
        float sum = 0;
        for (int i = 0; i < 4; i++) sum += float(img[2 * i + c]);
        EXPECT_EQ(pf.constdata[2 + c], uint8_t(sum * 0.25f));
    }
}

TEST_F(WriterFormat, ReductionsComeFromPremultipliedDataAndConstantIsUnpremultiplied)
{
    const std::string path = dir.file("alpha.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 1, error);
    ASSERT_TRUE(w);
    const Bytes img = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 4, 11);
    ASSERT_TRUE(w->writeFace(0, quadInfo(3, 3), img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    Bytes px;
    int ul, vl;
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
    EXPECT_EQ(px, img);  // level 0 as given
    Bytes pm = img;
    premultU8(pm, 4, 3);
    const Bytes reduced = reduceU8(pm, 8, 8, 4);
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 1, px, ul, vl));
    EXPECT_EQ(px, reduced);
    uint8_t avg[4];
    PtexUtils::average(reduced.data(), 4 * 4, 4, 4, avg, Ptex::dt_uint8, 4);
    PtexUtils::divalpha(avg, 1, Ptex::dt_uint8, 4, 3);
    EXPECT_EQ(0, std::memcmp(avg, pf.constdata.data(), 4));
}

TEST_F(WriterFormat, UniformDataBecomesAConstantFaceWithItsLogicalRes)
{
    const std::string path = dir.file("const.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_float, 2, -1, 3, error);
    ASSERT_TRUE(w);
    std::vector<float> uniform(64 * 2);
    for (size_t i = 0; i < uniform.size(); i++) uniform[i] = (i % 2) ? 2.5f : -0.25f;
    ASSERT_TRUE(w->writeFace(0, quadInfo(3, 3), uniform.data()));
    const float pixel[2] = {1.0f, 7.0f};
    ASSERT_TRUE(w->writeConstantFace(1, quadInfo(6, 2), pixel));
    ASSERT_TRUE(w->close(error));  // face 2 never written
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.nlevels, 1);
    EXPECT_EQ(pf.faces[0].flags & 1, 1);
    EXPECT_EQ(pf.faces[0].ulog2, 3);
    EXPECT_EQ(pf.faces[1].flags & 1, 1);
    EXPECT_EQ(pf.faces[1].ulog2, 6);
    EXPECT_EQ(pf.faces[1].vlog2, 2);
    EXPECT_EQ(pf.faces[2].flags & 1, 1);
    EXPECT_EQ(pf.faces[2].ulog2, 0);
    EXPECT_EQ(pf.faces[2].adjfaces[0], -1);
    for (int f = 0; f < 3; f++) {
        EXPECT_EQ(pf.levels[0].blocks[f].size, 0u);
        EXPECT_EQ(pf.levels[0].blocks[f].encoding, 0u);
    }
    float c[6];
    std::memcpy(c, pf.constdata.data(), sizeof(c));
    EXPECT_EQ(c[0], -0.25f);
    EXPECT_EQ(c[1], 2.5f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(c[3], 7.0f);
    EXPECT_EQ(c[4], 0.0f);
    EXPECT_EQ(c[5], 0.0f);
}

TEST_F(WriterFormat, LargeFacesAreTiledLikeTheCommonWriter)
{
    // 256x256 RGBA8 = 256 KiB: four tiles of 128x128; the first tile uniform.
    const std::string path = dir.file("tiled.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, -1, 1, error);
    ASSERT_TRUE(w);
    Bytes img = makeImage(Ptex::Res(8, 8), Ptex::dt_uint8, 4, 3);
    for (int v = 0; v < 128; v++)
        for (int u = 0; u < 128; u++) std::memcpy(&img[(size_t(v) * 256 + u) * 4], "\x10\x20\x30\x40", 4);
    ASSERT_TRUE(w->writeFace(0, quadInfo(8, 8), img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    const PtexTestFile::Block& b = pf.levels[0].blocks[0];
    ASSERT_EQ(b.encoding, 3u);
    EXPECT_EQ(pf.file[b.offset], 7);
    EXPECT_EQ(pf.file[b.offset + 1], 7);
    Bytes th;
    uint32_t ths;
    std::memcpy(&ths, &pf.file[b.offset + 2], 4);
    ASSERT_TRUE(PtexTestFile::inflateExact(&pf.file[b.offset + 6], ths, 16, th));
    uint32_t w0, w1;
    std::memcpy(&w0, &th[0], 4);
    std::memcpy(&w1, &th[4], 4);
    EXPECT_EQ(w0, 4u);        // enc_constant, one pixel
    EXPECT_EQ(w1 >> 30, 2u);  // diff-zipped
    Bytes px;
    int ul, vl;
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
    EXPECT_EQ(px, img);
    // 128x128x4 = 64 KiB: the first reduction is below the tiling threshold.
    EXPECT_NE(pf.levels[1].blocks[0].encoding, 3u);
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 1, px, ul, vl));
    EXPECT_EQ(px, reduceU8(img, 256, 256, 4));
    EXPECT_EQ(pf.nlevels, 7);  // key 8: levels 1..6
}

TEST_F(WriterFormat, TileResForNonSquareFaces)
{
    // 2048x128 RGBA8 = 1 MiB: t = 4, n = 14, tiles 128x128 (ulog2 min'd to 7, vlog2 7).
    const std::string path = dir.file("wide.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, -1, 1, error, false);
    ASSERT_TRUE(w);
    const Bytes img = makeImage(Ptex::Res(11, 7), Ptex::dt_uint8, 4, 5);
    ASSERT_TRUE(w->writeFace(0, quadInfo(11, 7), img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.nlevels, 1);
    const PtexTestFile::Block& b = pf.levels[0].blocks[0];
    ASSERT_EQ(b.encoding, 3u);
    EXPECT_EQ(pf.file[b.offset], 7);
    EXPECT_EQ(pf.file[b.offset + 1], 7);
    Bytes px;
    int ul, vl;
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
    EXPECT_EQ(px, img);
}

TEST_F(WriterFormat, EncodingsPerDataType)
{
    for (int dt = 0; dt < 4; dt++) {
        const std::string path = dir.file("enc" + std::to_string(dt) + ".ptx");
        Ptex::String error;
        PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::DataType(dt), 3, -1, 1, error);
        ASSERT_TRUE(w);
        const Bytes img = makeImage(Ptex::Res(4, 3), Ptex::DataType(dt), 3, 9);
        ASSERT_TRUE(w->writeFace(0, quadInfo(4, 3), img.data()));
        ASSERT_TRUE(w->close(error));
        w->release();
        ParsedFile pf = parseOrFail(path);
        EXPECT_EQ(pf.levels[0].blocks[0].encoding, dt < 2 ? 2u : 1u) << dt;
        Bytes px;
        int ul, vl;
        ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
        EXPECT_EQ(px, img) << dt;
        // The reduction matches the library's reduce of the same data.
        Bytes ref(size_t(8 * 4) * 3 * Ptex::DataSize(Ptex::DataType(dt)));
        const int ps = 3 * Ptex::DataSize(Ptex::DataType(dt));
        PtexUtils::reduce(img.data(), 16 * ps, 16, 8, ref.data(), 8 * ps, Ptex::DataType(dt), 3);
        ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 1, px, ul, vl));
        EXPECT_EQ(px, ref) << dt;
    }
}

TEST_F(WriterFormat, LevelsFollowTheReductionOrder)
{
    const std::string path = dir.file("order.ptx");
    Ptex::String error;
    const int res[5][2] = {{3, 3}, {6, 5}, {2, 7}, {5, 5}, {4, 6}};
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 6, error);
    ASSERT_TRUE(w);
    std::vector<Bytes> imgs;
    for (int f = 0; f < 5; f++) {
        imgs.push_back(makeImage(Ptex::Res(int8_t(res[f][0]), int8_t(res[f][1])), Ptex::dt_uint8, 1, 20 + f));
        ASSERT_TRUE(w->writeFace(f, quadInfo(res[f][0], res[f][1]), imgs.back().data()));
    }
    const uint8_t px1 = 9;
    ASSERT_TRUE(w->writeConstantFace(5, quadInfo(8, 8), &px1));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    // Keys: 3, 5, 2, 5, 4, constant 1 -> order 1 3 4 0 2 5; K = 5 gives 4 levels.
    ASSERT_EQ(pf.nlevels, 4);
    EXPECT_EQ(pf.levels[1].nfaces, 4u);  // keys >= 3
    EXPECT_EQ(pf.levels[2].nfaces, 3u);  // keys >= 4
    EXPECT_EQ(pf.levels[3].nfaces, 2u);  // keys >= 5
    for (int level = 1; level < 4; level++)
        for (int f = 0; f < 5; f++) {
            const int key = std::min(res[f][0], res[f][1]);
            if (key < level + 2) continue;
            Bytes px;
            int ul, vl;
            ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, f, level, px, ul, vl)) << f << " " << level;
            Bytes ref = imgs[f];
            int u = 1 << res[f][0], v = 1 << res[f][1];
            for (int i = 0; i < level; i++, u /= 2, v /= 2) ref = reduceU8(ref, u, v, 1);
            EXPECT_EQ(px, ref) << f << " " << level;
        }
}

TEST_F(WriterFormat, MipMapsOffGivesOneLevel)
{
    const std::string path = dir.file("nomip.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint16, 2, -1, 1, error, false);
    ASSERT_TRUE(w);
    const Bytes img = makeImage(Ptex::Res(5, 5), Ptex::dt_uint16, 2, 4);
    ASSERT_TRUE(w->writeFace(0, quadInfo(5, 5), img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.nlevels, 1);
    uint16_t avg[2];
    PtexUtils::average(img.data(), 32 * 4, 32, 32, avg, Ptex::dt_uint16, 2);
    EXPECT_EQ(0, std::memcmp(avg, pf.constdata.data(), 4));
}

TEST_F(WriterFormat, StrideIsHonoured)
{
    const std::string path = dir.file("stride.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 1, error);
    ASSERT_TRUE(w);
    const Bytes img = makeImage(Ptex::Res(3, 2), Ptex::dt_uint8, 3, 8);
    const int row = 8 * 3, stride = row + 5;
    Bytes padded(size_t(stride) * 4, 0xee);
    for (int v = 0; v < 4; v++) std::memcpy(&padded[size_t(v) * stride], &img[size_t(v) * row], row);
    ASSERT_TRUE(w->writeFace(0, quadInfo(3, 2), padded.data(), stride));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    Bytes px;
    int ul, vl;
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 0, px, ul, vl));
    EXPECT_EQ(px, img);
}

TEST_F(WriterFormat, MetadataSmallLargeAndOverwrite)
{
    const std::string path = dir.file("meta.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    std::vector<int8_t> small(1024, 3), large(1025, 4);
    const int32_t ints[3] = {1, -2, 3};
    w->writeMeta("s", "hello");
    w->writeMeta("big", large.data(), int(large.size()));
    w->writeMeta("edge", small.data(), int(small.size()));
    w->writeMeta("ints", ints, 3);
    w->writeMeta("s", "again");  // overwritten in place
    ASSERT_TRUE(w->close(error)) << error;
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_TRUE(pf.barrierFound);
    ASSERT_EQ(pf.meta.size(), 4u);
    EXPECT_EQ(pf.meta[0].key, "s");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pf.meta[0].data.data()), 6), std::string("again", 6));
    EXPECT_EQ(pf.meta[1].key, "edge");
    EXPECT_FALSE(pf.meta[1].large);
    EXPECT_EQ(pf.meta[1].data.size(), 1024u);
    EXPECT_EQ(pf.meta[2].key, "ints");
    EXPECT_EQ(pf.meta[2].type, Ptex::mdt_int32);
    EXPECT_EQ(pf.meta[3].key, "big");
    EXPECT_TRUE(pf.meta[3].large);
    EXPECT_EQ(pf.meta[3].data, Bytes(large.begin(), large.end()));
    // The face was never written, yet metadata alone makes a file. An isolated
    // constant face has a constant neighbourhood.
    EXPECT_EQ(pf.faces[0].flags, 5);
    EXPECT_EQ(pf.faces[0].ulog2, 0);
}

TEST_F(WriterFormat, TriangleFacesKeepThreeNeighboursAndNoFlags)
{
    const std::string path = dir.file("tri.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_uint8, 1, -1, 2, error);
    ASSERT_TRUE(w);
    Ptex::FaceInfo info = quadInfo(3, 3, 1, -1, 1, 1, 2, 0, 1, 3);
    info.flags = Ptex::FaceInfo::flag_subface | Ptex::FaceInfo::flag_hasedits;
    const Bytes img = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 1, 6);
    ASSERT_TRUE(w->writeFace(0, info, img.data()));
    EXPECT_FALSE(w->writeFace(1, quadInfo(3, 2), img.data()));
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error, "PtexWriter error: asymmetric face res not supported for triangle textures\nPtex file: " + path);
    w->release();
    EXPECT_FALSE(fileExists(path));

    w = PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->writeFace(0, info, img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.faces[0].flags, 0);
    EXPECT_EQ(pf.faces[0].adjfaces[3], -1);
    EXPECT_EQ(pf.faces[0].adjfaces[0], 1);
    EXPECT_EQ(pf.faces[0].adjedges, uint8_t((2 | (0 << 2) | (1 << 4))));
    Bytes px, ref(16);
    int ul, vl;
    PtexUtils::reduceTri(img.data(), 8, 8, 8, ref.data(), 4, Ptex::dt_uint8, 1);
    ASSERT_TRUE(PtexTestFile::decodeFaceLevel(pf, 0, 1, px, ul, vl));
    EXPECT_EQ(px, ref);
    // Check one texel by the formula: quarter of s(0,0) + s(1,0) + s(0,1) + s(7,7).
    EXPECT_EQ(px[0], uint8_t((img[0] + img[1] + img[8] + img[63]) >> 2));
}

// 3x3 quad grid, face id = 3 * row + col, all faces constant.
void writeGrid(const std::string& path, const uint8_t values[9], Ptex::BorderMode bu = Ptex::m_clamp)
{
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 9, error);
    ASSERT_TRUE(w);
    w->setBorderModes(bu, Ptex::m_clamp);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            const int f = 3 * r + c;
            Ptex::FaceInfo info = quadInfo(2, 2, r > 0 ? f - 3 : -1, c < 2 ? f + 1 : -1, r < 2 ? f + 3 : -1,
                                           c > 0 ? f - 1 : -1, r > 0 ? 2 : 0, c < 2 ? 3 : 0, r < 2 ? 0 : 0,
                                           c > 0 ? 1 : 0);
            ASSERT_TRUE(w->writeConstantFace(f, info, &values[f]));
        }
    ASSERT_TRUE(w->close(error)) << error;
    w->release();
}

TEST_F(WriterFormat, ConstantNeighbourhoodFlag)
{
    const std::string path = dir.file("grid.ptx");
    uint8_t same[9] = {5, 5, 5, 5, 5, 5, 5, 5, 5};
    writeGrid(path, same);
    ParsedFile pf = parseOrFail(path);
    for (int f = 0; f < 9; f++) EXPECT_EQ(pf.faces[f].flags, 5) << f;

    // One different corner face: only faces not touching it keep the flag.
    uint8_t corner[9] = {5, 5, 5, 5, 5, 5, 5, 5, 6};
    writeGrid(path, corner);
    pf = parseOrFail(path);
    const bool flagged[9] = {true, true, true, true, false, false, true, false, false};
    for (int f = 0; f < 9; f++) EXPECT_EQ((pf.faces[f].flags & 4) != 0, flagged[f]) << f;

    // Borders that do not clamp: faces on the boundary are never flagged.
    writeGrid(path, same, Ptex::m_periodic);
    pf = parseOrFail(path);
    for (int f = 0; f < 9; f++) EXPECT_EQ((pf.faces[f].flags & 4) != 0, f == 4) << f;
}

TEST_F(WriterFormat, NonConstantFacesNeverGetTheNeighbourhoodFlag)
{
    const std::string path = dir.file("nb.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 2, error);
    ASSERT_TRUE(w);
    const uint8_t v = 3;
    const Bytes img = makeImage(Ptex::Res(2, 2), Ptex::dt_uint8, 1, 1);
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(2, 2, -1, 1, -1, -1, 0, 3, 0, 0), &v));
    ASSERT_TRUE(w->writeFace(1, quadInfo(2, 2, -1, -1, -1, 0, 0, 0, 0, 1), img.data()));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.faces[0].flags, 1);
    EXPECT_EQ(pf.faces[1].flags, 0);
}

TEST_F(WriterFormat, BadAdjacencyLeavesTheFlagOffWithoutCrashing)
{
    const std::string path = dir.file("badadj.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 2, error);
    ASSERT_TRUE(w);
    const uint8_t v = 3;
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(2, 2, 77, 1, -5, 1000000), &v));
    ASSERT_TRUE(w->writeConstantFace(1, quadInfo(2, 2, 1, 1, 1, 1, 3, 2, 1, 0), &v));  // loops on itself
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf = parseOrFail(path);
    EXPECT_EQ(pf.faces[0].flags & 4, 0);
    EXPECT_EQ(pf.faces[0].adjfaces[0], 77);  // adjacency is the caller's, kept as given
}

}  // namespace
