// Choosing the file of a frame: plain names, numbered sequences, lists, and both.
#include "sequence/FrameFile.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class FrameFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(::mkdtemp(root_.data()), nullptr); }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name)) << text;
    }

    // The file chosen for a request naming `file` ("" for none); plain names go through
    // the instance check, which records them.
    std::string choose(const std::string& file, int sequence = 0, int number = 0, int offset = 0,
                       int frame = 0) {
        const FrameFileRequest request{
            file.empty() ? nullptr : file.c_str(), sequence, number, offset, frame, stepping};
        char buffer[ImageFileList::kPathSize];
        std::memset(buffer, 'x', sizeof buffer);
        auto check = [this](char* p, int size, ZUtils::ProgressCallback* cb) {
            checks.push_back(p);
            EXPECT_TRUE(size == ImageFileList::kPathSize && cb == &progress);
            return false;
        };
        chooseFrameFile(request, list, buffer, sizeof buffer, &progress, check);
        return buffer;
    }

    std::string root_ = "/tmp/zt-frame-XXXXXX";
    ImageFileList list;
    FrameStepping stepping;
    ZUtils::RecordingProgressCallback progress;
    std::vector<std::string> checks;
};

TEST_F(FrameFile, PlainNamesSequencesAndListEntries) {
    EXPECT_EQ(choose("tex/wall_0001.ptx"), "tex/wall_0001.ptx");
    EXPECT_EQ(choose(""), "");
    EXPECT_EQ(checks, (std::vector<std::string>{"tex/wall_0001.ptx", ""}))
        << "checked even when unset";
    EXPECT_EQ(choose(std::string(1500, 'n')).size(), 1023u);
    checks.clear();
    write("wall_0007.ptx", "x");
    EXPECT_EQ(choose(path("wall_0001.ptx"), 1, 10, -3), path("wall_0007.ptx"))
        << "number plus offset";
    EXPECT_EQ(choose("", 1, 10, -3), "");
    EXPECT_TRUE(checks.empty());
    // List entries follow the host frame, also for numbered lists, else the list path stays.
    for (const char* name : {"a.ptx", "b.ptx"}) write(name, "x");
    write("shot.ifl", "a.ptx 2\nb.ptx\n");
    const char* expected[] = {"a.ptx", "a.ptx", "b.ptx", "a.ptx"};
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_EQ(choose(path("shot.ifl"), 0, 0, 0, frame), path(expected[frame])) << frame;
        list.clearList();  // frame end
    }
    const std::string loaded = "Image file list \"" + path("shot.ifl") + "\" loaded.\n";
    EXPECT_EQ(progress.countOf(ZUtils::ProgressLevel::Verbose, loaded.c_str()), 4u);
    write("take_02.ifl", "a.ptx\n");
    write("take_03.ifl", "b.ptx\n");
    EXPECT_EQ(choose(path("take_01.ifl"), 1, 3, 0, 17), path("b.ptx"));
    // A failed, empty or unusable list keeps its own path.
    write("empty.ifl", "; nothing\n");
    for (const char* name : {"missing.ifl", "empty.ifl"}) EXPECT_EQ(choose(path(name)), path(name));
    stepping.endCondition = 3;
    EXPECT_EQ(choose(path("take_02.ifl")), path("take_02.ifl"));
}

}  // namespace
