// Files that change or fail under the cache: truncated or overwritten while the
// shared cache holds them, and an input whose k-th read comes back short (or
// k-th seek lands past the end) for every k of a whole read. Each time a clear
// error, zero data or no texture, no crash, every handle closed (leaks: LSan).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "support/Utf8InputHandler.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

namespace {

struct ErrorRecorder : PtexErrorHandler {
    std::vector<std::string> messages;
    void reportError(const char* error) override { messages.emplace_back(error); }
};

// The UTF-8 file input, with operation `failAt` (reads and seeks counted from 1) going wrong.
struct FailingInput : PtexInputHandler {
    PtexInputHandler* inner = sharedUtf8InputHandler();
    long failAt = 0, ops = 0;
    int opened = 0, closed = 0;
    size_t failedRead = 0;  // bytes asked by the failed read, or by the read after the failed seek
    Handle open(const char* path) override {
        Handle h = inner->open(path);
        return opened += h != nullptr, h;
    }
    void seek(Handle h, int64_t pos) override {
        inner->seek(h, ++ops == failAt ? pos + (int64_t(1) << 40) : pos);
    }
    size_t read(void* buffer, size_t size, Handle h) override {
        const size_t n = inner->read(buffer, size, h);
        if (++ops == failAt || (ops == failAt + 1 && n == 0)) failedRead = size;
        return ops == failAt ? n / 2 : n;
    }
    bool close(Handle h) override { return ++closed, inner->close(h); }
    const char* lastError() override { return inner->lastError(); }
};

// The metadata and every face at every resolution down to 1x1.
std::vector<uint8_t> readEverything(PtexTexture* t) {
    std::vector<uint8_t> all;
    char slot[16] = {};  // fixed size, so that the face data lines up in every read
    if (PtexMetaData* meta = t->getMetaData()) {
        const char* value = nullptr;
        meta->getValue("seed", value);
        if (value) std::strncpy(slot, value, sizeof slot - 1);
    }
    all.insert(all.end(), slot, slot + sizeof slot);
    const size_t pixel = size_t(t->numChannels() * Ptex::DataSize(t->dataType()));
    for (int f = 0; f < t->numFaces(); ++f) {
        const Ptex::Res full = t->getFaceInfo(f).res;
        for (int8_t k = 0; k <= std::max(full.ulog2, full.vlog2); ++k) {
            const Ptex::Res res(int8_t(std::max(full.ulog2 - k, 0)),
                                int8_t(std::max(full.vlog2 - k, 0)));
            std::vector<uint8_t> texels(size_t(res.size()) * pixel, 0xAB);
            t->getData(f, texels.data(), 0, res);
            all.insert(all.end(), texels.begin(), texels.end());
        }
    }
    return all;
}

class FileFault : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sharedPtexCache().cache, nullptr);
        ASSERT_TRUE(hard::writeGridTexture(path, 3, 6) &&
                    hard::writeGridTexture(dir.file("intact.ptx"), 3, 6));
    }
    void TearDown() override {  // a failed test gives back what it held
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
    }
    hard::ScratchDir dir;
    std::string path = dir.file("damaged.ptx");
};

TEST_F(FileFault, TruncatedAndOverwrittenWhileTheSharedCacheHoldsIt) {
    const int descriptors = hard::openFileDescriptors();
    PtexCache* cache = sharedPtexCache().acquireCache(nullptr);
    Ptex::String error;
    PtexTexture* intact = PtexTexture::open(dir.file("intact.ptx").c_str(), error);
    ASSERT_NE(intact, nullptr) << error;
    PtexTexture* tex = cache->get(path.c_str(), error);
    ASSERT_NE(tex, nullptr) << error;
    tex->getData(0)->release();  // only face 0 is loaded before the damage

    const auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size / 2);
    for (int round = 0; round < 2; ++round) {  // as held, then purged (pending) and fetched again
        testing::internal::CaptureStderr();
        const std::vector<uint8_t> got = readEverything(tex), want = readEverything(intact);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("PtexReader error"), std::string::npos) << "round " << round;
        ASSERT_EQ(got.size(), want.size());  // no face data is lost or invented
        EXPECT_NE(got, want) << "the cut-off faces cannot read as before";
        EXPECT_GT(std::count(got.begin(), got.end(), 0), long(got.size() / 4))
            << "unreadable faces read as zero";
        cache->purge(tex);
        tex->release();
        tex = cache->get(path.c_str(), error);
        ASSERT_NE(tex, nullptr) << "the header is still there: " << error;
    }
    tex->release();

    // Overwritten: after a purge, an instance's next frame warns with the library's
    // text and shades white.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, '\xFF');
    cache->purge(path.c_str());
    hard::Instance in;
    in.setFile(path);
    ZUtils::ZentoRenderer renderer;
    ZUtils::RecordingProgressCallback messages;
    renderer.getRenderSetup().progress = &messages;
    in.tex().renderBegin(&renderer);
    in.tex().frameBegin(&renderer);
    ASSERT_GE(messages.count(), 1u);
    EXPECT_EQ(messages.level(messages.count() - 1), ZUtils::ProgressLevel::Warning);
    EXPECT_EQ(std::string(messages.text(messages.count() - 1)), "Not a ptex file: " + path);
    EXPECT_EQ(in.tex().getTexColor(hard::shadingPoint(0, 1)), ZUtils::AColor(1, 1, 1, 1));
    in.tex().frameEnd(&renderer);
    in.tex().renderEnd(&renderer);
    sharedPtexCache().releaseCache();
    intact->release();
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    EXPECT_EQ(hard::openFileDescriptors(), descriptors);
}

// Our grid files (faces of 256^2 texels are tiled) and, when present, golden
// files with edits, triangles and five 16-bit channels.
TEST_F(FileFault, EveryReadAndSeekOfAWholeReadMayFail) {
    std::vector<std::string> files{path, dir.file("tiled.ptx")};
    ASSERT_TRUE(hard::writeGridTexture(files[1], 4, 8));
    for (const char* name : {"edits_rgb8.ptx", "ico_rgb8.ptx", "grid_5ch_u16.ptx"})
        if (std::filesystem::exists(std::string(ZENTO_TESTDATA_DIR) + "/ptex/" + name))
            files.push_back(std::string(ZENTO_TESTDATA_DIR) + "/ptex/" + name);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        long total = 1;  // the ops of the run without a fault (k = 0)
        std::vector<uint8_t> reference;
        int refusedAtOpen = 0;
        for (long k = 0; k <= total && !HasFailure(); ++k) {
            FailingInput input;
            input.failAt = k;
            ErrorRecorder errors;
            PtexCache* cache = PtexCache::create(0, 1 << 30, false, &input, &errors);
            Ptex::String error;
            if (PtexTexture* t = cache->get(file.c_str(), error); t && k == 0) {
                reference = readEverything(t);
                total = input.ops;
                EXPECT_TRUE(errors.messages.empty()) << file;
                t->release();
            } else if (t) {
                const std::vector<uint8_t> got = readEverything(t);
                // A short edit block header ends the edits (a format rule): no error then.
                const bool reported = !errors.messages.empty(), editEnd = input.failedRead == 5;
                EXPECT_TRUE(reported || editEnd) << "operation " << k << " failed without a report";
                EXPECT_TRUE(got != reference || editEnd) << "operation " << k << " failed unseen";
                for (const std::string& m : errors.messages)
                    EXPECT_NE(m.find("PtexFile: " + file), std::string::npos) << m;
                t->release();
            } else {
                ++refusedAtOpen;
                EXPECT_FALSE(error.empty()) << "operation " << k;
            }
            cache->release();
            EXPECT_EQ(input.opened, input.closed) << "operation " << k;
        }
        EXPECT_GT(total, 8);
        std::printf("whole read of %s: %ld reads and seeks, %d failures refused at open\n",
                    std::filesystem::path(file).filename().c_str(), total, refusedAtOpen);
    }
}

}  // namespace
