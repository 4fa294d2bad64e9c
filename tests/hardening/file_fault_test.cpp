// Files that change or fail under the cache: a file truncated or overwritten
// while the shared cache holds it, and an input handler whose k-th read comes
// back short (or whose k-th seek lands past the end) for every k of a file's
// whole read. Each time: a clear error, error (zero) data or no texture, no
// crash, every handle closed; leaks are left to LeakSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "support/Utf8InputHandler.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

namespace {

struct ErrorRecorder : PtexErrorHandler {
    std::mutex lock;
    std::vector<std::string> messages;
    void reportError(const char* error) override {
        std::lock_guard<std::mutex> hold(lock);
        messages.emplace_back(error);
    }
};

// The UTF-8 file input, with operation `failAt` (reads and seeks counted from 1) going wrong.
struct FailingInput : PtexInputHandler {
    PtexInputHandler* inner = sharedUtf8InputHandler();
    long failAt = 0, ops = 0;
    int opened = 0, closed = 0;
    Handle open(const char* path) override {
        Handle h = inner->open(path);
        opened += h != nullptr;
        return h;
    }
    void seek(Handle h, int64_t pos) override { inner->seek(h, ++ops == failAt ? pos + (int64_t(1) << 40) : pos); }
    size_t read(void* buffer, size_t size, Handle h) override {
        const size_t n = inner->read(buffer, size, h);
        return ++ops == failAt ? n / 2 : n;
    }
    bool close(Handle h) override {
        ++closed;
        return inner->close(h);
    }
    const char* lastError() override { return inner->lastError(); }
};

// Every face at every resolution down to 1x1, a pixel of each and the metadata;
// the texels in one list.
std::vector<uint8_t> readEverything(PtexTexture* t) {
    std::vector<uint8_t> all;
    char slot[16] = {};  // fixed size, so that the face data lines up in every read
    if (PtexMetaData* meta = t->getMetaData()) {
        const char* value = nullptr;
        meta->getValue("seed", value);
        if (value) std::strncpy(slot, value, sizeof slot - 1);
    }
    all.insert(all.end(), slot, slot + sizeof slot);
    for (int f = 0; f < t->numFaces(); ++f) {
        const Ptex::Res full = t->getFaceInfo(f).res;
        for (int8_t r = full.ulog2; r >= 0; --r) {
            const Ptex::Res res(r, r);
            std::vector<uint8_t> texels(size_t(res.size()) * 3, 0xAB);
            t->getData(f, texels.data(), 0, res);
            all.insert(all.end(), texels.begin(), texels.end());
        }
        float pixel[3] = {-1, -1, -1};
        t->getPixel(f, 1, 2, pixel, 0, 3);
        for (float p : pixel) all.push_back(uint8_t(p * 255.0f + 0.5f));
    }
    return all;
}

class FileFault : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sharedPtexCache().cache, nullptr);
        path = dir.file("damaged.ptx");
        ASSERT_TRUE(hard::writeGridTexture(path, 3, 6));
        ASSERT_TRUE(hard::writeGridTexture(dir.file("intact.ptx"), 3, 6));
    }
    void TearDown() override {  // a failed test gives back what it held
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
    }
    hard::ScratchDir dir;
    std::string path;
};

TEST_F(FileFault, TruncatedAndOverwrittenWhileTheSharedCacheHoldsIt) {
    const int descriptors = hard::openFileDescriptors();
    PtexCache* cache = sharedPtexCache().acquireCache(nullptr);
    Ptex::String error;
    PtexTexture* intact = PtexTexture::open(dir.file("intact.ptx").c_str(), error);
    ASSERT_NE(intact, nullptr) << error;
    PtexTexture* tex = cache->get(path.c_str(), error);
    ASSERT_NE(tex, nullptr) << error;
    float first[3], expect[3];
    tex->getPixel(0, 3, 4, first, 0, 3);  // face 0 is loaded before the damage
    intact->getPixel(0, 3, 4, expect, 0, 3);
    EXPECT_EQ(std::vector<float>(first, first + 3), std::vector<float>(expect, expect + 3));

    const auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size / 2);
    for (int round = 0; round < 2; ++round) {  // as held, then purged (pending) and fetched again
        testing::internal::CaptureStderr();
        const std::vector<uint8_t> got = readEverything(tex), want = readEverything(intact);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("PtexReader error"), std::string::npos) << "round " << round;
        ASSERT_EQ(got.size(), want.size());
        size_t same = 0, zero = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            same += got[i] == want[i];
            zero += got[i] == 0;
        }
        EXPECT_LT(same, got.size()) << "the cut-off faces cannot read as before";
        EXPECT_GT(zero, got.size() / 4) << "faces that cannot be read come back as zero data";
        cache->purge(tex);
        tex->release();
        tex = cache->get(path.c_str(), error);
        ASSERT_NE(tex, nullptr) << "the header is still there: " << error;
    }
    tex->release();

    // Overwritten: the next fetch after a purge refuses the file with a clear text.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, '\xFF');
    cache->purge(path.c_str());
    error = "";
    EXPECT_EQ(cache->get(path.c_str(), error), nullptr);
    EXPECT_NE(error.find("Not a ptex file"), std::string::npos) << error;

    // An instance asking for it in the next frame warns with the library's text and
    // shades white (purged first: a remembered failure comes back without a text).
    cache->purge(path.c_str());
    hard::Instance in;
    in.setFile(path);
    ZUtils::ZentoRenderer renderer;
    ZUtils::RecordingProgressCallback messages;
    renderer.getRenderSetup().progress = &messages;
    in.tex().renderBegin(&renderer);
    in.tex().frameBegin(&renderer);
    bool warned = false;
    for (size_t i = 0; i < messages.count(); ++i)
        warned |= messages.level(i) == ZUtils::ProgressLevel::Warning &&
                  std::strstr(messages.text(i), "Not a ptex file") != nullptr;
    EXPECT_TRUE(warned);
    EXPECT_EQ(in.tex().getTexColor(hard::shadingPoint(0, 1)), ZUtils::AColor(1, 1, 1, 1));
    in.tex().frameEnd(&renderer);
    in.tex().renderEnd(&renderer);
    sharedPtexCache().releaseCache();
    intact->release();
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    EXPECT_EQ(hard::openFileDescriptors(), descriptors);
}

TEST_F(FileFault, EveryReadAndSeekOfAWholeReadMayFail) {
    FailingInput counter;
    std::vector<uint8_t> reference;
    {
        PtexCache* cache = PtexCache::create(0, 1 << 30, false, &counter);
        Ptex::String error;
        PtexTexture* t = cache->get(path.c_str(), error);
        ASSERT_NE(t, nullptr) << error;
        reference = readEverything(t);
        t->release();
        cache->release();
    }
    const long total = counter.ops;
    ASSERT_GT(total, 8);
    int refusedAtOpen = 0;
    for (long k = 1; k <= total; ++k) {
        FailingInput input;
        input.failAt = k;
        ErrorRecorder errors;
        PtexCache* cache = PtexCache::create(0, 1 << 30, false, &input, &errors);
        Ptex::String error;
        if (PtexTexture* t = cache->get(path.c_str(), error)) {
            const std::vector<uint8_t> got = readEverything(t);
            EXPECT_FALSE(errors.messages.empty()) << "operation " << k << " failed without a report";
            if (!errors.messages.empty()) {
                EXPECT_NE(errors.messages[0].find("PtexFile: " + path), std::string::npos) << errors.messages[0];
            }
            EXPECT_NE(got, reference) << "operation " << k;
            t->release();
        } else {
            ++refusedAtOpen;
            EXPECT_FALSE(error.empty()) << "operation " << k;
        }
        cache->release();
        EXPECT_EQ(input.opened, input.closed) << "operation " << k;
    }
    std::printf("whole read: %ld reads and seeks, %d failures refused at open\n", total, refusedAtOpen);
}

}  // namespace
