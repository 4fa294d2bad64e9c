// Rewrites every golden file from its decoded level-0 data (test-side decoder,
// no library reader) and checks that the writer regenerates what the common
// writer stored: face records with their flags (constant-neighbourhood
// included), constant values, level counts and reduction order, every
// reduction level texel for texel, the encodings and tiling, and metadata.
#include <gtest/gtest.h>

#include "Ptexture.h"
#include "writer_file_parser.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using PtexTestFile::Bytes;
using PtexTestFile::ParsedFile;

namespace {

void writeMetaRecord(PtexWriter* w, const PtexTestFile::MetaRecord& r)
{
    const char* key = r.key.c_str();
    const void* d = r.data.data();
    const int n = int(r.data.size());
    switch (r.type) {
    case Ptex::mdt_string: w->writeMeta(key, reinterpret_cast<const char*>(d)); break;
    case Ptex::mdt_int8: w->writeMeta(key, static_cast<const int8_t*>(d), n); break;
    case Ptex::mdt_int16: w->writeMeta(key, static_cast<const int16_t*>(d), n / 2); break;
    case Ptex::mdt_int32: w->writeMeta(key, static_cast<const int32_t*>(d), n / 4); break;
    case Ptex::mdt_float: w->writeMeta(key, static_cast<const float*>(d), n / 4); break;
    case Ptex::mdt_double: w->writeMeta(key, static_cast<const double*>(d), n / 8); break;
    default: break;
    }
}

Ptex::FaceInfo toInfo(const PtexTestFile::FaceRecord& r)
{
    Ptex::FaceInfo info{Ptex::Res(r.ulog2, r.vlog2)};
    info.adjedges = r.adjedges;
    info.flags = r.flags;
    for (int e = 0; e < 4; e++) info.adjfaces[e] = r.adjfaces[e];
    return info;
}

// Tile res of a tiled block, or -1 -1.
std::pair<int, int> tileRes(const ParsedFile& pf, const PtexTestFile::Block& b)
{
    if (b.encoding != 3) return {-1, -1};
    return {int8_t(pf.file[b.offset]), int8_t(pf.file[b.offset + 1])};
}

class GoldenRewrite : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRewrite, RegeneratesTheStoredLevels)
{
    const std::string src = GetParam();
    if (src == "missing") GTEST_SKIP() << "golden Ptex data not found in " << testdataDir();
    ParsedFile gold;
    std::string error;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(src, gold, error)) << error;
    if (!gold.edits.empty()) GTEST_SKIP() << "file carries edits (covered by the round-trip tests)";

    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string out = dir.file("rewrite.ptx");
    Ptex::String werror;
    PtexWriter* w = PtexWriter::open(out.c_str(), Ptex::MeshType(gold.meshtype), Ptex::DataType(gold.datatype),
                                     gold.nchannels, gold.alphachan, int(gold.nfaces), werror, gold.nlevels > 1);
    ASSERT_TRUE(w) << werror;
    w->setBorderModes(Ptex::BorderMode(gold.ubordermode), Ptex::BorderMode(gold.vbordermode));
    w->setEdgeFilterMode(Ptex::EdgeFilterMode(gold.edgefiltermode));
    for (const auto& r : gold.meta) writeMetaRecord(w, r);
    const int ps = gold.pixelSize();
    for (uint32_t f = 0; f < gold.nfaces; f++) {
        const Ptex::FaceInfo info = toInfo(gold.faces[f]);
        if (info.isConstant()) {
            ASSERT_TRUE(w->writeConstantFace(int(f), info, &gold.constdata[size_t(f) * ps]));
        } else {
            Bytes px;
            int ul, vl;
            ASSERT_TRUE(PtexTestFile::decodeFaceLevel(gold, int(f), 0, px, ul, vl)) << f;
            ASSERT_TRUE(w->writeFace(int(f), info, px.data()));
        }
    }
    ASSERT_TRUE(w->close(werror)) << werror;
    w->release();

    ParsedFile ours;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(out, ours, error)) << error;
    EXPECT_EQ(ours.nlevels, gold.nlevels);
    EXPECT_EQ(ours.ubordermode, gold.ubordermode);
    EXPECT_EQ(ours.vbordermode, gold.vbordermode);
    EXPECT_EQ(ours.edgefiltermode, gold.edgefiltermode);
    EXPECT_EQ(ours.metadatamemsize, gold.metadatamemsize);
    EXPECT_EQ(ours.lmdheadermemsize, gold.lmdheadermemsize);
    ASSERT_EQ(ours.faces.size(), gold.faces.size());
    for (size_t f = 0; f < gold.faces.size(); f++) {
        const auto &a = ours.faces[f], &b = gold.faces[f];
        EXPECT_EQ(a.ulog2, b.ulog2) << f;
        EXPECT_EQ(a.vlog2, b.vlog2) << f;
        EXPECT_EQ(a.flags, b.flags) << f;
        EXPECT_EQ(a.adjedges, b.adjedges) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(a.adjfaces[e], b.adjfaces[e]) << f;
    }
    EXPECT_EQ(ours.constdata, gold.constdata);
    for (size_t i = 0; i < std::min(ours.levels.size(), gold.levels.size()); i++) {
        ASSERT_EQ(ours.levels[i].nfaces, gold.levels[i].nfaces) << "level " << i;
        for (uint32_t k = 0; k < gold.levels[i].nfaces; k++) {
            const auto &ba = ours.levels[i].blocks[k], &bb = gold.levels[i].blocks[k];
            EXPECT_EQ(ba.encoding, bb.encoding) << "level " << i << " entry " << k;
            EXPECT_EQ(tileRes(ours, ba), tileRes(gold, bb)) << "level " << i << " entry " << k;
        }
    }
    for (uint32_t f = 0; f < gold.nfaces; f++)
        for (int i = 0; i < gold.nlevels; i++) {
            Bytes pa, pb;
            int ua, va, ub, vb;
            const bool hasGold = PtexTestFile::decodeFaceLevel(gold, int(f), i, pb, ub, vb);
            const bool hasOurs = PtexTestFile::decodeFaceLevel(ours, int(f), i, pa, ua, va);
            if (gold.faces[f].flags & 1) break;
            ASSERT_EQ(hasOurs, hasGold) << "face " << f << " level " << i;
            if (!hasGold) break;
            EXPECT_EQ(pa, pb) << "face " << f << " level " << i;
        }
    ASSERT_EQ(ours.meta.size(), gold.meta.size());
    for (size_t k = 0; k < gold.meta.size(); k++) {
        EXPECT_EQ(ours.meta[k].key, gold.meta[k].key);
        EXPECT_EQ(ours.meta[k].type, gold.meta[k].type);
        EXPECT_EQ(ours.meta[k].large, gold.meta[k].large);
        EXPECT_EQ(ours.meta[k].data, gold.meta[k].data);
    }
    // Same compressor at the same level, and every golden file has metadata (so
    // the common writer wrote the barrier too): the files match byte for byte.
    EXPECT_EQ(ours.file.size(), gold.file.size());
    EXPECT_TRUE(ours.file == gold.file) << "rewritten file differs from " << src;
}

std::string paramName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string n = info.param.substr(info.param.find_last_of('/') + 1);
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

std::vector<std::string> goldenOrPlaceholder()
{
    std::vector<std::string> files = goldenFiles();
    if (files.empty()) files.push_back("missing");
    return files;
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRewrite, ::testing::ValuesIn(goldenOrPlaceholder()), paramName);

// Keeps the suite meaningful when the data is absent.
TEST(GoldenRewriteData, Available)
{
    if (goldenFiles().empty()) GTEST_SKIP() << "golden Ptex data not found in " << testdataDir();
    SUCCEED();
}

}  // namespace
