// PtexWriter entry points and error handling: argument checks with their exact
// texts, errors kept until close, metadata limits, temp directory use, no file
// when nothing was written, and incremental edit blocks as laid out on disk.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PtexUtils.h"
#include "Ptexture.h"
#include "writer_file_parser.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using PtexTestFile::Bytes;
using PtexTestFile::ParsedFile;

namespace {

class WriterApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    ScratchDir dir;
};

std::string openError(const std::string& path, int mt, int dt, int nch, int alpha, int nfaces)
{
    Ptex::String error;
    PtexWriter* w =
        PtexWriter::open(path.c_str(), Ptex::MeshType(mt), Ptex::DataType(dt), nch, alpha, nfaces, error);
    if (w) {
        w->release();
        return "(opened)";
    }
    return error;
}

TEST_F(WriterApi, ArgumentChecks)
{
    const std::string p = dir.file("a.ptx");
    EXPECT_EQ(openError(p, 2, 0, 1, -1, 1), "PtexWriter error: Invalid mesh type");
    EXPECT_EQ(openError(p, -1, 0, 1, -1, 1), "PtexWriter error: Invalid mesh type");
    EXPECT_EQ(openError(p, 1, 4, 1, -1, 1), "PtexWriter error: Invalid data type");
    EXPECT_EQ(openError(p, 1, 0, 0, -1, 1), "PtexWriter error: Invalid number of channels");
    EXPECT_EQ(openError(p, 1, 0, -3, -1, 1), "PtexWriter error: Invalid number of channels");
    EXPECT_EQ(openError(p, 1, 0, 3, 3, 1), "PtexWriter error: Invalid alpha channel");
    EXPECT_EQ(openError(p, 1, 0, 3, -2, 1), "PtexWriter error: Invalid alpha channel");
    EXPECT_EQ(openError(p, 1, 0, 3, 2, 1), "(opened)");
    EXPECT_EQ(openError(p, 0, 3, 1, 0, 1), "(opened)");
    EXPECT_FALSE(fileExists(p));  // nothing written, nothing produced

    Ptex::String error;
    EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::MeshType(5), Ptex::dt_uint8, 1, -1, 1, error), nullptr);
    EXPECT_EQ(error, "PtexWriter error: Invalid mesh type");
}

TEST_F(WriterApi, FaceIdOutOfRangeIsKeptUntilClose)
{
    const std::string p = dir.file("range.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 2, error);
    ASSERT_TRUE(w);
    const uint8_t px = 1;
    EXPECT_TRUE(w->writeConstantFace(0, quadInfo(0, 0), &px));
    EXPECT_FALSE(w->writeConstantFace(2, quadInfo(0, 0), &px));
    EXPECT_FALSE(w->writeFace(-1, quadInfo(0, 0), &px));
    EXPECT_FALSE(w->writeConstantFace(1, quadInfo(0, 0), &px));  // refused once in error
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error, "PtexWriter error: faceid out of range\nPtex file: " + p);
    w->release();
    EXPECT_FALSE(fileExists(p));
}

TEST_F(WriterApi, InvalidResIsRefused)
{
    const std::string p = dir.file("res.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const uint8_t px = 1;
    EXPECT_FALSE(w->writeFace(0, quadInfo(-1, 2), &px));
    EXPECT_FALSE(w->close(error));
    EXPECT_NE(error.find("Invalid face res"), std::string::npos);
    w->release();
    w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->writeConstantFace(0, quadInfo(20, 20), &px));  // 2^40 texels
    w->release();
}

TEST_F(WriterApi, MetadataLimits)
{
    const std::string p = dir.file("meta.ptx");
    Ptex::String error;
    const int32_t one = 1;

    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const std::string key254(254, 'k');
    w->writeMeta(key254.c_str(), &one, 1);
    EXPECT_TRUE(w->close(error)) << error;
    w->release();
    ParsedFile pf;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(p, pf, error)) << error;
    ASSERT_EQ(pf.meta.size(), 1u);
    EXPECT_EQ(pf.meta[0].key, key254);

    const std::string key255(255, 'k');
    w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    w->writeMeta(key255.c_str(), &one, 1);
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error, "PtexWriter error: meta data key too long (max=255) \"" + key255 + "\"\nPtex file: " + p);
    w->release();

    w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    w->writeMeta("empty", &one, 0);
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error, "PtexWriter error: meta data size <= 0 for \"empty\"\nPtex file: " + p);
    w->release();
}

TEST_F(WriterApi, TempFilesGoToTheTempDirectory)
{
    const char* old = getenv("TEMP");
    const std::string saved = old ? old : "";
    setenv("TEMP", (dir.path() + "/missing-dir").c_str(), 1);
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(dir.file("t.ptx").c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(error.rfind("Error creating temp file: " + dir.path() + "/missing-dir/", 0), 0u) << error;
    EXPECT_NE(error.find("\nNo such file or directory"), std::string::npos) << error;
    setenv("TEMP", dir.path().c_str(), 1);
    w = PtexWriter::open(dir.file("t.ptx").c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    EXPECT_NE(w, nullptr);
    if (w) w->release();
    if (old) setenv("TEMP", saved.c_str(), 1);
    else unsetenv("TEMP");
}

TEST_F(WriterApi, UnwritableDestination)
{
    const std::string p = dir.path() + "/no/such/dir/x.ptx";
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const uint8_t px = 1;
    EXPECT_TRUE(w->writeConstantFace(0, quadInfo(0, 0), &px));
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error.rfind("Can't write to ptex file: " + p + ".new\n", 0), 0u) << error;
    EXPECT_NE(error.find("\nPtex file: " + p), std::string::npos);
    w->release();
}

TEST_F(WriterApi, ReleaseWithoutCloseWritesTheFile)
{
    const std::string p = dir.file("rel.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const uint8_t px = 9;
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(1, 1), &px));
    w->release();
    ParsedFile pf;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(p, pf, error)) << error;
    EXPECT_EQ(pf.constdata[0], 9);
}

TEST_F(WriterApi, ExistingFileIsReplaced)
{
    const std::string p = dir.file("replace.ptx");
    writeFile(p, Bytes(10, 'x'));
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w);
    const uint8_t px = 2;
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(1, 1), &px));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf;
    EXPECT_TRUE(PtexTestFile::parsePtexFile(p, pf, error)) << error;
}

// Writes a small 2-face RGB8 file through the main writer.
void writeBase(const std::string& p, const Bytes& img)
{
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 2, error);
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->writeFace(0, quadInfo(3, 3), img.data()));
    ASSERT_TRUE(w->writeFace(1, quadInfo(3, 3), img.data()));
    w->writeMeta("name", "base");
    ASSERT_TRUE(w->close(error));
    w->release();
}

TEST_F(WriterApi, IncrementalEditBlocksOnDisk)
{
    const std::string p = dir.file("incr.ptx");
    const Bytes img = makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 3, 1);
    writeBase(p, img);
    const size_t baseSize = readFile(p).size();

    Ptex::String error;
    PtexWriter* w = PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 2, error);
    ASSERT_TRUE(w) << error;
    const Bytes img2 = makeImage(Ptex::Res(4, 2), Ptex::dt_uint8, 3, 2);
    ASSERT_TRUE(w->writeFace(1, quadInfo(4, 2, -1, 0, -1, -1, 0, 3, 0, 0), img2.data()));
    const uint8_t px[3] = {7, 8, 9};
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(3, 3), px));
    w->writeMeta("name", "edited");
    w->setBorderModes(Ptex::m_periodic, Ptex::m_clamp);
    ASSERT_TRUE(w->close(error)) << error;
    w->release();

    ParsedFile pf;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(p, pf, error)) << error;
    EXPECT_EQ(pf.editdatapos, baseSize);
    EXPECT_EQ(pf.editdatasize, pf.file.size() - baseSize);
    EXPECT_EQ(pf.ubordermode, Ptex::m_periodic);
    ASSERT_EQ(pf.edits.size(), 3u);

    // Face edit: faceid, face info, fdh, constant pixel, block.
    const PtexTestFile::EditBlock& e0 = pf.edits[0];
    EXPECT_EQ(e0.type, 0);
    const uint8_t* q = &pf.file[e0.payload];
    uint32_t faceid, fdh;
    std::memcpy(&faceid, q, 4);
    std::memcpy(&fdh, q + 24, 4);
    EXPECT_EQ(faceid, 1u);
    EXPECT_EQ(int8_t(q[4]), 4);
    EXPECT_EQ(int8_t(q[5]), 2);
    EXPECT_EQ(q[7], 0);  // flags
    EXPECT_EQ(e0.size, 28u + 3u + (fdh & 0x3fffffffu));
    uint8_t avg[3];
    PtexUtils::average(img2.data(), 16 * 3, 16, 4, avg, Ptex::dt_uint8, 3);
    EXPECT_EQ(0, std::memcmp(avg, q + 28, 3));
    PtexTestFile::Block b;
    b.encoding = fdh >> 30;
    b.size = fdh & 0x3fffffffu;
    b.offset = e0.payload + 31;
    EXPECT_EQ(b.encoding, 2u);
    Bytes decoded;
    ASSERT_TRUE(PtexTestFile::decodeBlock(pf, b, 4, 2, decoded));
    EXPECT_EQ(decoded, img2);

    // Constant face edit: fdh 0, the pixel, nothing else.
    const PtexTestFile::EditBlock& e1 = pf.edits[1];
    EXPECT_EQ(e1.type, 0);
    EXPECT_EQ(e1.size, 31u);
    q = &pf.file[e1.payload];
    std::memcpy(&faceid, q, 4);
    std::memcpy(&fdh, q + 24, 4);
    EXPECT_EQ(faceid, 0u);
    EXPECT_EQ(fdh, 0u);
    EXPECT_EQ(q[7], 1);
    EXPECT_EQ(0, std::memcmp(q + 28, px, 3));

    // Metadata edit: zip size, mem size, records.
    const PtexTestFile::EditBlock& e2 = pf.edits[2];
    EXPECT_EQ(e2.type, 1);
    q = &pf.file[e2.payload];
    uint32_t zipsize, memsize;
    std::memcpy(&zipsize, q, 4);
    std::memcpy(&memsize, q + 4, 4);
    EXPECT_EQ(e2.size, 8 + zipsize);
    Bytes records;
    ASSERT_TRUE(PtexTestFile::inflateExact(q + 8, zipsize, memsize, records));
    ASSERT_EQ(records.size(), 1u + 5 + 1 + 4 + 7);
    EXPECT_EQ(records[0], 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[1])), "name");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[11])), "edited");
}

TEST_F(WriterApi, IncrementalEditNeedsAMatchingHeader)
{
    const std::string p = dir.file("mismatch.ptx");
    writeBase(p, makeImage(Ptex::Res(3, 3), Ptex::dt_uint8, 3, 1));
    const Bytes before = readFile(p);
    const char* text = "PtexWriter::edit error: header doesn't match existing file, conversions not currently supported";
    Ptex::String error;
    EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint16, 3, -1, 2, error), nullptr);
    EXPECT_EQ(error, text);
    EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 3, error), nullptr);
    EXPECT_EQ(error, text);
    EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 3, 0, 2, error), nullptr);
    EXPECT_EQ(error, text);
    EXPECT_EQ(readFile(p), before);
}

TEST_F(WriterApi, IncrementalEditOfAMissingFileWritesANewFile)
{
    const std::string p = dir.file("fresh.ptx");
    Ptex::String error;
    PtexWriter* w = PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w) << error;
    const uint8_t px = 4;
    ASSERT_TRUE(w->writeConstantFace(0, quadInfo(2, 2), &px));
    ASSERT_TRUE(w->close(error));
    w->release();
    ParsedFile pf;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(p, pf, error)) << error;
    EXPECT_TRUE(pf.edits.empty());
    EXPECT_EQ(pf.constdata[0], 4);
}

TEST_F(WriterApi, EditOfAFileThatCannotBeOpened)
{
    const std::string p = dir.path();  // a directory
    Ptex::String error;
    EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error), nullptr);
    EXPECT_EQ(error.rfind("Can't open ptex file for update: " + p + "\n", 0), 0u) << error;
}

}  // namespace
