// The UTF-8 input handler and the wide-character open, on real files whose names are
// not ASCII or not even valid UTF-8.
#include "support/Utf8.h"
#include "support/Utf8InputHandler.h"
#include "support/Utf8Open.h"

#include "Ptexture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Mode = Utf8InputHandler::OpenMode;

// Names given as raw bytes: the file system stores them unchanged.
const std::string kNonAscii = "w\xC3\xBCrfel_\xE2\x82\xAC_\xF0\x9F\x98\x80.bin";  // "würfel_€_😀"
const std::string kInvalid = "bad\xE9name.bin";                                  // lone 0xE9
const std::string kValidTwin = "bad\xC3\xA9name.bin";                            // the valid é
const std::string kOverlong = "z\xC0\x80.bin";
const std::string kEscapePlane = "q\xF4\x80\x81\x81.bin";

class HandlerFiles : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/zt-utf8-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root_ = templ;
        for (const std::string& name : {kNonAscii, kInvalid, kValidTwin, kOverlong, kEscapePlane})
            write(name, "content of " + name);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string path(const std::string& name) const { return root_ + "/" + name; }
    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string readAll(Utf8InputHandler& handler, const std::string& name)
    {
        PtexInputHandler::Handle handle = handler.open(path(name).c_str());
        EXPECT_NE(handle, nullptr) << handler.lastError();
        if (!handle) return {};
        std::string text;
        char c;
        while (handler.read(&c, 1, handle) == 1) text += c;
        EXPECT_TRUE(handler.close(handle));
        return text;
    }

    std::string root_;
};

TEST_P(HandlerFiles, OpensTheFileEachNameDenotes)
{
    Utf8InputHandler handler(GetParam());
    for (const std::string& name : {kNonAscii, kInvalid, kValidTwin, kOverlong, kEscapePlane})
        EXPECT_EQ(readAll(handler, name), "content of " + name);
}

TEST_P(HandlerFiles, ReadIsAllOrNothingAndSeekIsAbsolute)
{
    Utf8InputHandler handler(GetParam());
    write("data.bin", "0123456789");
    PtexInputHandler::Handle handle = handler.open(path("data.bin").c_str());
    ASSERT_NE(handle, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(handler.read(buffer, 4, handle), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    handler.seek(handle, 7);
    EXPECT_EQ(handler.read(buffer, 3, handle), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    handler.seek(handle, 2);
    EXPECT_EQ(handler.read(buffer, 9, handle), 0u) << "fewer bytes than asked is a failure";
    handler.seek(handle, int64_t(1));
    EXPECT_EQ(handler.read(buffer, 9, handle), 9u);
    EXPECT_EQ(std::string(buffer, 9), "123456789");
    EXPECT_EQ(handler.read(buffer, 0, handle), 0u);
    EXPECT_TRUE(handler.close(handle));
}

TEST_P(HandlerFiles, MissingFileGivesNullAndTheSystemText)
{
    Utf8InputHandler handler(GetParam());
    EXPECT_EQ(handler.open(path("missing\xE9.ptx").c_str()), nullptr);
    EXPECT_STREQ(handler.lastError(), std::strerror(ENOENT));
    EXPECT_EQ(handler.open(nullptr), nullptr);
    EXPECT_FALSE(handler.close(nullptr));
    EXPECT_EQ(handler.read(nullptr, 4, nullptr), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothOpens, HandlerFiles, ::testing::Values(Mode::Native, Mode::Wide),
                         [](const auto& info) { return info.param == Mode::Native ? "Native" : "Wide"; });

TEST(Utf8Open, OpensThroughTheWideNameWithTheGivenMode)
{
    char templ[] = "/tmp/zt-utf8open-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    const std::string dir = templ;
    const std::string name = dir + "/\xE9t\xC3\xA9.txt";
    FILE* out = utf8Open(name.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("hello", out);
    std::fclose(out);
    EXPECT_TRUE(fs::exists(fs::path(name))) << "the bytes on disk are the UTF-8 name's bytes";

    // Through wide units made by hand: escaped 0xE9, then a valid é.
    std::vector<char16_t> wide(utf8ToUtf16(name.c_str(), nullptr, 0) + 2);
    utf8ToUtf16(name.c_str(), wide.data(), wide.size());
    const char16_t mode[] = {u'r', u'b', 0};
    FILE* in = wideOpen(wide.data(), mode);
    ASSERT_NE(in, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, 5, in), 5u);
    EXPECT_STREQ(text, "hello");
    std::fclose(in);
    fs::remove_all(dir);
}

TEST(Utf8Open, OverlongNamesFailCleanly)
{
    const std::string huge(20000, '\xE9');  // 40000 units
    errno = 0;
    EXPECT_EQ(utf8Open(huge.c_str(), "rb"), nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
    const std::string longMode(40, 'r');
    EXPECT_EQ(utf8Open("/tmp", longMode.c_str()), nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(utf8Open("/nonexistent/dir/file", "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST(Utf8InputHandlerShared, OneProcessWideNativeHandler)
{
    PtexInputHandler* shared = sharedUtf8InputHandler();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared, sharedUtf8InputHandler());
    auto* handler = dynamic_cast<Utf8InputHandler*>(shared);
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->mode(), Mode::Native);
}

// A golden texture copied under awkward names, opened through a cache that reads
// with the handler.
class HandlerCache : public ::testing::TestWithParam<Mode> {};

TEST_P(HandlerCache, TexturesWithAwkwardNamesOpen)
{
    const fs::path golden = fs::path(ZENTO_TESTDATA_DIR) / "ptex" / "cube_rgb8.ptx";
    if (!fs::exists(golden)) GTEST_SKIP() << "golden data not found at " << golden;
    char templ[] = "/tmp/zt-utf8cache-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    const std::string dir = templ;
    const std::string nonAscii = dir + "/w\xC3\xBCrfel_\xE2\x82\xAC.ptx";
    const std::string invalid = dir + "/bad\xE9.ptx";
    const std::string twin = dir + "/bad\xC3\xA9.ptx";  // what a lossy conversion would open
    fs::copy_file(golden, nonAscii);
    fs::copy_file(golden, invalid);
    std::ofstream(twin, std::ios::binary) << "not a texture";

    Utf8InputHandler handler(GetParam());
    PtexCache* cache = PtexCache::create(0, 0, false, &handler);
    ASSERT_NE(cache, nullptr);

    // Reference: the golden file read with the library's own file access.
    Ptex::String openError;
    PtexTexture* reference = PtexTexture::open(golden.c_str(), openError);
    ASSERT_NE(reference, nullptr) << openError;

    for (const std::string& name : {nonAscii, invalid}) {
        Ptex::String error;
        PtexTexture* texture = cache->get(name.c_str(), error);
        ASSERT_NE(texture, nullptr) << error;
        EXPECT_EQ(texture->numFaces(), 6);
        EXPECT_EQ(texture->numChannels(), 3);
        // Every face's data, read through the handler's seeks and reads, is the same.
        for (int face = texture->numFaces() - 1; face >= 0; --face) {
            const Ptex::Res res = texture->getFaceInfo(face).res;
            const size_t bytes = size_t(res.size()) * 3;
            std::vector<uint8_t> got(bytes, 0xAB), want(bytes, 0xCD);
            texture->getData(face, got.data(), 0);
            reference->getData(face, want.data(), 0);
            EXPECT_EQ(got, want) << name << " face " << face;
        }
        texture->release();
    }
    reference->release();
    Ptex::String error;
    EXPECT_EQ(cache->get(twin.c_str(), error), nullptr);
    EXPECT_NE(std::string(error).find("Not a ptex file"), std::string::npos) << error;
    error = "";
    EXPECT_EQ(cache->get((dir + "/gone\xE9.ptx").c_str(), error), nullptr);
    EXPECT_NE(std::string(error).find(std::strerror(ENOENT)), std::string::npos) << error;
    cache->release();
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(BothOpens, HandlerCache, ::testing::Values(Mode::Native, Mode::Wide),
                         [](const auto& info) { return info.param == Mode::Native ? "Native" : "Wide"; });

}  // namespace
