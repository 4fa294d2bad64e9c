// Damaged and hostile files: every golden file truncated at many lengths and
// with flipped bytes, and hand-made files with huge counts, resolutions and
// sizes. Each must fail to open with an error or read with errors, without
// crashing, reading out of bounds (sanitizer build) or asking for a huge
// allocation.
#include <gtest/gtest.h>

#include <zlib.h>

#include "badinput_exercise.h"
#include "writer_file_parser.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using PtexBadInput::exerciseFile;
using PtexBadInput::Outcome;
using Bytes = std::vector<uint8_t>;

namespace {

void put32(Bytes& b, size_t pos, uint32_t v)
{
    for (int i = 0; i < 4; i++) b[pos + i] = uint8_t(v >> (8 * i));
}
void put64(Bytes& b, size_t pos, uint64_t v)
{
    for (int i = 0; i < 8; i++) b[pos + i] = uint8_t(v >> (8 * i));
}

Bytes zip(const Bytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    compress(out.data(), &size, raw.data(), uLong(raw.size()));
    out.resize(size);
    return out;
}

// Opens and reads a variant; fails the test on a huge allocation or an escaping exception.
Outcome check(const ScratchDir& dir, const Bytes& data, const std::string& what)
{
    const std::string p = dir.file("variant.ptx");
    writeFile(p, data);
    PtexBadInput::hugeAllocation = 0;
    Outcome o;
    try {
        o = exerciseFile(p);
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": exception " << e.what();
    }
    EXPECT_EQ(PtexBadInput::hugeAllocation, 0u) << what << ": allocation of " << PtexBadInput::hugeAllocation;
    EXPECT_FALSE(o.badNeighbour) << what << ": neighbour id outside the face range";
    if (!o.opened) {
        EXPECT_FALSE(o.openError.empty()) << what << ": open failed without an error text";
    }
    return o;
}

class GoldenDamage : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "missing") GTEST_SKIP() << "golden Ptex data not found in " << testdataDir();
        ASSERT_TRUE(dir.ok());
        data = readFile(GetParam());
        ASSERT_GT(data.size(), 200u);
    }
    ScratchDir dir;
    Bytes data;
};

TEST_P(GoldenDamage, Truncated)
{
    // Every length through the headers and the first blocks, then spread out.
    std::vector<size_t> lengths;
    for (size_t n = 0; n < 160; n += (n < 110 ? 1 : 7)) lengths.push_back(n);
    const int spread = data.size() > 100000 ? 24 : 60;
    for (int i = 1; i < spread; i++) lengths.push_back(160 + (data.size() - 160) * i / spread);
    for (size_t k = 1; k <= 9; k++) lengths.push_back(data.size() - k);
    for (size_t n : lengths) {
        Bytes cut(data.begin(), data.begin() + long(n));
        const Outcome o = check(dir, cut, "cut at " + std::to_string(n));
        // Until the metadata, every section is needed: a cut file cannot read clean.
        if (n + 8 < data.size() - 2000 && o.opened) {
            EXPECT_GT(o.readErrors, 0) << "cut at " << n << " read without error";
        }
        if (HasFailure()) return;
    }
}

TEST_P(GoldenDamage, FlippedBytes)
{
    Rng rng(uint32_t(data.size()));
    std::vector<std::pair<size_t, uint8_t>> flips;
    const bool big = data.size() > 100000;  // reading it whole is slow: fewer variants
    for (size_t pos = 0; pos < 104; pos++) flips.push_back({pos, 0xff});
    for (size_t pos = 0; pos < 104 && !big; pos++) flips.push_back({pos, uint8_t(1u << (rng.next() % 8))});
    const int spread = big ? 40 : 120;
    for (int i = 0; i < spread; i++) flips.push_back({104 + rng.next() % (data.size() - 104), uint8_t(rng.next() | 1)});
    for (const auto& [pos, mask] : flips) {
        Bytes bad = data;
        bad[pos] ^= mask;
        check(dir, bad, "byte " + std::to_string(pos) + " ^ " + std::to_string(mask));
        if (HasFailure()) return;
    }
}

std::vector<std::string> goldenOrPlaceholder()
{
    std::vector<std::string> files = goldenFiles();
    if (files.empty()) files.push_back("missing");
    return files;
}

std::string paramName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string n = info.param.substr(info.param.find_last_of('/') + 1);
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenDamage, ::testing::ValuesIn(goldenOrPlaceholder()), paramName);

// Hand-made hostile files, built by patching a small valid file.
class Hostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        const std::string p = dir.file("base.ptx");
        Ptex::String error;
        PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 2, error);
        ASSERT_TRUE(w);
        const Bytes img0 = makeImage(Ptex::Res(8, 8), Ptex::dt_uint8, 4, 1);  // tiled
        const Bytes img1 = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 4, 2);
        ASSERT_TRUE(w->writeFace(0, quadInfo(8, 8, 1, -1, -1, -1, 3), img0.data()));
        ASSERT_TRUE(w->writeFace(1, quadInfo(3, 3, -1, -1, -1, 0, 0, 0, 0, 1), img1.data()));
        w->writeMeta("small", "text");
        std::vector<int32_t> big(400, 7);
        w->writeMeta("large", big.data(), int(big.size()));
        ASSERT_TRUE(w->close(error)) << error;
        w->release();
        std::string perr;
        ASSERT_TRUE(PtexTestFile::parsePtexFile(p, pf, perr)) << perr;
        base = pf.file;
        ASSERT_TRUE(check(dir, base, "base").opened);
    }

    // Replaces the face info block by the given records (re-zipped), shifting the rest.
    Bytes withFaceInfo(const std::vector<PtexTestFile::FaceRecord>& faces) const
    {
        Bytes raw;
        for (const auto& f : faces) {
            raw.push_back(uint8_t(f.ulog2));
            raw.push_back(uint8_t(f.vlog2));
            raw.push_back(f.adjedges);
            raw.push_back(f.flags);
            for (int e = 0; e < 4; e++)
                for (int i = 0; i < 4; i++) raw.push_back(uint8_t(uint32_t(f.adjfaces[e]) >> (8 * i)));
        }
        return replaced(104, pf.faceinfosize, zip(raw), 32);
    }

    // Replaces bytes [pos, pos + oldSize) and updates the header size field at
    // sizeField and the edit position.
    Bytes replaced(size_t pos, size_t oldSize, const Bytes& bytes, size_t sizeField) const
    {
        Bytes out(base.begin(), base.begin() + long(pos));
        out.insert(out.end(), bytes.begin(), bytes.end());
        out.insert(out.end(), base.begin() + long(pos + oldSize), base.end());
        put32(out, sizeField, uint32_t(bytes.size()));
        put64(out, 64 + 32, out.size());
        return out;
    }

    size_t metaPos() const
    {
        return 104 + pf.faceinfosize + pf.constdatasize + pf.levelinfosize + size_t(pf.leveldatasize);
    }

    ScratchDir dir;
    PtexTestFile::ParsedFile pf;
    Bytes base;
};

TEST_F(Hostile, HugeFaceCount)
{
    for (uint32_t n : {0x7fffffffu, 0xffffffffu, 3000000u, 0u}) {
        Bytes b = base;
        put32(b, 24, n);
        check(dir, b, "nfaces " + std::to_string(n));
    }
}

TEST_F(Hostile, HugeSectionSizes)
{
    for (size_t field : {28u, 32u, 36u, 40u, 56u, 60u}) {
        for (uint32_t v : {0xffffffffu, 0x7ffffff0u, 0u, 1u}) {
            Bytes b = base;
            put32(b, field, v);
            check(dir, b, "header field " + std::to_string(field) + " = " + std::to_string(v));
        }
    }
    for (size_t field : {48u, 64u + 16, 64u + 24, 64u + 32}) {
        Bytes b = base;
        put64(b, field, ~uint64_t(0) - 5);
        check(dir, b, "64-bit field " + std::to_string(field));
    }
    for (size_t field : {64u + 8, 64u + 12}) {
        Bytes b = base;
        put32(b, field, 0xfffffff0u);
        check(dir, b, "lmd field " + std::to_string(field));
    }
}

TEST_F(Hostile, HugeLevelCounts)
{
    Bytes b = base;
    b[22] = 0xff;
    b[23] = 0xff;  // nlevels 65535
    check(dir, b, "nlevels 65535");
    const size_t li = 104 + pf.faceinfosize + pf.constdatasize;
    for (int level = 0; level < pf.nlevels; level++) {
        Bytes c = base;
        put32(c, li + 16 * level + 12, 0x7fffffffu);
        check(dir, c, "level nfaces");
        c = base;
        put64(c, li + 16 * level, ~uint64_t(0) >> 2);
        check(dir, c, "level data size");
        c = base;
        put32(c, li + 16 * level + 8, 0xfffffff0u);
        check(dir, c, "level header size");
    }
}

TEST_F(Hostile, HugeAndNegativeResolutions)
{
    const int8_t values[][2] = {{30, 30}, {31, 0}, {0, 31}, {-1, 3}, {3, -128}, {127, 127}, {20, 20}, {15, 15}};
    for (const auto& v : values) {
        std::vector<PtexTestFile::FaceRecord> faces = pf.faces;
        faces[1].ulog2 = v[0];
        faces[1].vlog2 = v[1];
        check(dir, withFaceInfo(faces), "res " + std::to_string(v[0]) + " " + std::to_string(v[1]));
        faces = pf.faces;
        faces[0].ulog2 = v[0];
        faces[0].vlog2 = v[1];
        faces[0].flags = 1;  // constant: no data is read for it
        check(dir, withFaceInfo(faces), "constant res " + std::to_string(v[0]) + " " + std::to_string(v[1]));
    }
}

TEST_F(Hostile, NeighboursOutOfRange)
{
    std::vector<PtexTestFile::FaceRecord> faces = pf.faces;
    faces[0].adjfaces[0] = 2;
    faces[0].adjfaces[1] = -7;
    faces[1].adjfaces[2] = 0x7fffffff;
    faces[1].adjfaces[3] = int32_t(0x80000000u);
    check(dir, withFaceInfo(faces), "neighbours");
}

TEST_F(Hostile, BadHeaderValues)
{
    const struct {
        size_t pos;
        uint32_t value;
    } cases[] = {{12, 7}, {12, 0xffffffff}, {20, 0}, {20, 0xffff}, {16, 99}, {16, 0x80000000u}, {8, 2}, {4, 2}};
    for (const auto& c : cases) {
        Bytes b = base;
        if (c.pos == 20) {
            b[20] = uint8_t(c.value);
            b[21] = uint8_t(c.value >> 8);
        } else {
            put32(b, c.pos, c.value);
        }
        check(dir, b, "header " + std::to_string(c.pos) + " = " + std::to_string(c.value));
    }
}

TEST_F(Hostile, HugeMetadataLengths)
{
    const size_t mp = metaPos();
    // Small metadata claiming 4 GiB uncompressed.
    Bytes b = base;
    put32(b, 60, 0xfffffff0u);
    check(dir, b, "metadatamemsize");
    // A record whose datasize runs past the block.
    Bytes raw;
    raw.push_back(4);
    raw.insert(raw.end(), {'k', 'e', 'y', 0});
    raw.push_back(3);
    raw.insert(raw.end(), {0xf0, 0xff, 0xff, 0xff});
    raw.insert(raw.end(), {1, 2, 3, 4});
    Bytes z = zip(raw);
    Bytes c = replaced(mp, pf.metadatazipsize, z, 56);
    put32(c, 60, uint32_t(raw.size()));
    check(dir, c, "record datasize");
    // keysize 0 and a key without its NUL.
    raw[0] = 0;
    c = replaced(mp, pf.metadatazipsize, zip(raw), 56);
    put32(c, 60, uint32_t(raw.size()));
    check(dir, c, "keysize 0");
    raw[0] = 200;
    c = replaced(mp, pf.metadatazipsize, zip(raw), 56);
    put32(c, 60, uint32_t(raw.size()));
    check(dir, c, "keysize past the end");
}

TEST_F(Hostile, HugeLargeMetadataEntry)
{
    // Large metadata header record claiming 4 GiB of data and a huge zip size.
    const size_t lp = metaPos() + pf.metadatazipsize + 8;
    Bytes raw;
    raw.push_back(6);
    raw.insert(raw.end(), {'l', 'a', 'r', 'g', 'e', 0});
    raw.push_back(3);
    raw.insert(raw.end(), {0xfc, 0xff, 0xff, 0xff});
    raw.insert(raw.end(), {0xff, 0xff, 0xff, 0x7f});
    Bytes b = base;
    const Bytes z = zip(raw);
    Bytes out(b.begin(), b.begin() + long(lp));
    out.insert(out.end(), z.begin(), z.end());
    out.insert(out.end(), b.begin() + long(lp + pf.lmdheaderzipsize), b.end());
    put32(out, 64 + 8, uint32_t(z.size()));
    put32(out, 64 + 12, uint32_t(raw.size()));
    put64(out, 64 + 32, out.size());
    check(dir, out, "large entry");
}

TEST_F(Hostile, TiledBlockFields)
{
    const PtexTestFile::Block& blk = pf.levels[0].blocks[0];
    ASSERT_EQ(blk.encoding, 3u);
    const int8_t tiles[][2] = {{9, 9}, {-1, 7}, {0, 0}, {100, 2}, {8, 8}};
    for (const auto& t : tiles) {
        Bytes b = base;
        b[blk.offset] = uint8_t(t[0]);
        b[blk.offset + 1] = uint8_t(t[1]);
        check(dir, b, "tile res " + std::to_string(t[0]) + " " + std::to_string(t[1]));
    }
    for (uint32_t v : {0xffffffffu, 0u, 7u}) {
        Bytes b = base;
        put32(b, blk.offset + 2, v);
        check(dir, b, "tile header size " + std::to_string(v));
    }
    // Level header words with huge block sizes and every encoding.
    const size_t l0 = 104 + pf.faceinfosize + pf.constdatasize + pf.levelinfosize;
    Bytes words(8);
    for (uint32_t w : {0x3fffffffu, 0xffffffffu, 0x80000010u, 0x40000003u}) {
        put32(words, 0, w);
        put32(words, 4, w);
        Bytes c = replaced(l0, pf.levels[0].headerSize, zip(words), 104 + pf.faceinfosize + pf.constdatasize + 8);
        check(dir, c, "fdh " + std::to_string(w));
    }
}

TEST_F(Hostile, EditBlocks)
{
    auto edit = [&](uint8_t type, const Bytes& payload, uint32_t claimed) {
        Bytes b = base;
        b.push_back(type);
        for (int i = 0; i < 4; i++) b.push_back(uint8_t(claimed >> (8 * i)));
        b.insert(b.end(), payload.begin(), payload.end());
        return b;
    };
    check(dir, edit(0, Bytes(10, 0), 0xffffffffu), "edit size huge");
    Bytes face(28 + 4, 0);
    put32(face, 0, 0x7fffffffu);  // face id out of range
    check(dir, edit(0, face, uint32_t(face.size())), "edit face id");
    put32(face, 0, 1);
    face[4] = 20;
    face[5] = 20;
    put32(face, 24, 0x3fffffffu | (1u << 30));  // huge zipped block
    check(dir, edit(0, face, uint32_t(face.size())), "edit huge block");
    face[4] = 3;
    face[5] = 3;
    put32(face, 24, 0xc0000010u);  // tiled, too short
    check(dir, edit(0, face, uint32_t(face.size())), "edit tiled");
    Bytes meta(8 + 4, 0);
    put32(meta, 0, 0xfffffff0u);
    put32(meta, 4, 0xfffffff0u);
    check(dir, edit(1, meta, uint32_t(meta.size())), "meta edit sizes");
    put32(meta, 0, 4);
    check(dir, edit(1, meta, uint32_t(meta.size())), "meta edit memsize");
    check(dir, edit(7, Bytes(3, 1), 3), "unknown edit type");
}

}  // namespace
