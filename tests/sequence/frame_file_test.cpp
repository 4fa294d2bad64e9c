// Choosing the file of a frame: plain names, numbered sequences, lists, and both.
#include "sequence/FrameFile.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FrameFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/zt-frame-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root_ = templ;
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    std::string choose(const FrameFileRequest& request)
    {
        char buffer[ImageFileList::kPathSize];
        std::memset(buffer, 'x', sizeof buffer);
        chooseFrameFile(request, list, buffer, sizeof buffer, &progress,
                        [this](char* p, int size, ZUtils::ProgressCallback* cb) {
                            checks.push_back(p);
                            EXPECT_EQ(size, ImageFileList::kPathSize);
                            EXPECT_EQ(cb, &progress);
                            return false;
                        });
        return buffer;
    }

    std::string root_;
    ImageFileList list;
    ZUtils::RecordingProgressCallback progress;
    std::vector<std::string> checks;
};

TEST_F(FrameFile, PlainNameGoesThroughTheInstanceCheck)
{
    FrameFileRequest request;
    request.ptexFile = "tex/wall_0001.ptx";
    EXPECT_EQ(choose(request), "tex/wall_0001.ptx");
    EXPECT_EQ(checks, (std::vector<std::string>{"tex/wall_0001.ptx"}));

    request.ptexFile = nullptr;
    EXPECT_EQ(choose(request), "");
    EXPECT_EQ(checks.size(), 2u) << "checked even when unset";

    const std::string longName(1500, 'n');
    request.ptexFile = longName.c_str();
    EXPECT_EQ(choose(request).size(), 1023u);
}

TEST_F(FrameFile, NumberedSequenceUsesNumberPlusOffset)
{
    write("wall_0007.ptx", "x");
    FrameFileRequest request;
    const std::string pattern = path("wall_0001.ptx");
    request.ptexFile = pattern.c_str();
    request.useImageSequence = 1;
    request.imageNumber = 10;
    request.imageOffset = -3;
    EXPECT_EQ(choose(request), path("wall_0007.ptx"));
    EXPECT_TRUE(checks.empty()) << "the instance check is only for plain names";
    request.ptexFile = nullptr;
    EXPECT_EQ(choose(request), "");
}

TEST_F(FrameFile, ListEntryFollowsTheHostFrame)
{
    write("a.ptx", "x");
    write("b.ptx", "x");
    write("shot.ifl", "a.ptx 2\nb.ptx\n");
    FrameFileRequest request;
    const std::string listPath = path("shot.ifl");
    request.ptexFile = listPath.c_str();
    const char* expected[] = {"a.ptx", "a.ptx", "b.ptx", "a.ptx"};
    for (int frame = 0; frame < 4; ++frame) {
        request.frameNumber = frame;
        EXPECT_EQ(choose(request), path(expected[frame])) << frame;
        list.clearList();  // frame end
    }
    EXPECT_EQ(progress.countOf(ZUtils::ProgressLevel::Verbose,
                               ("Image file list \"" + listPath + "\" loaded.\n").c_str()),
              4u);
}

TEST_F(FrameFile, NumberedListThenItsEntry)
{
    write("a.ptx", "x");
    write("b.ptx", "x");
    write("take_02.ifl", "a.ptx\n");
    write("take_03.ifl", "b.ptx\n");
    FrameFileRequest request;
    const std::string pattern = path("take_01.ifl");
    request.ptexFile = pattern.c_str();
    request.useImageSequence = 1;
    request.imageNumber = 3;
    request.frameNumber = 17;
    EXPECT_EQ(choose(request), path("b.ptx"));
}

TEST_F(FrameFile, FailedOrEmptyListKeepsItsOwnPath)
{
    FrameFileRequest request;
    const std::string missing = path("missing.ifl");
    request.ptexFile = missing.c_str();
    EXPECT_EQ(choose(request), missing);
    write("empty.ifl", "; nothing\n");
    const std::string empty = path("empty.ifl");
    request.ptexFile = empty.c_str();
    EXPECT_EQ(choose(request), empty);
    write("a.ptx", "x");
    write("odd.ifl", "a.ptx\n");
    const std::string odd = path("odd.ifl");
    request.ptexFile = odd.c_str();
    list.endCondition = 3;
    EXPECT_EQ(choose(request), odd);
}

}  // namespace
