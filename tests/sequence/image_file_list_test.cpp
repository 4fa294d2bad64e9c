// Image file lists: detection, frame selection, and reading real list files.
#include "sequence/ImageFileList.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ZUtils::ProgressLevel;
using ZUtils::RecordingProgressCallback;

TEST(ImageFileListDetection, ExtensionBeginningWithIfl)
{
    EXPECT_TRUE(isImageFileList("shot.ifl"));
    EXPECT_TRUE(isImageFileList("shot.IFL"));
    EXPECT_TRUE(isImageFileList("shot.Ifl"));
    EXPECT_TRUE(isImageFileList("shot.iflx"));
    EXPECT_TRUE(isImageFileList("dir.ifl/shot"));
    EXPECT_TRUE(isImageFileList(".ifl"));
    EXPECT_FALSE(isImageFileList("shot.if"));
    EXPECT_FALSE(isImageFileList("shot.i"));
    EXPECT_FALSE(isImageFileList("shot."));
    EXPECT_FALSE(isImageFileList("shot"));
    EXPECT_FALSE(isImageFileList("shot.ifl.ptx"));
    EXPECT_FALSE(isImageFileList("shot.ptx"));
    EXPECT_FALSE(isImageFileList(""));
    EXPECT_FALSE(isImageFileList(nullptr));
    EXPECT_FALSE(isImageFileList("shot.\xC9" "FL"));
}

// A list of three files a, b, c, one frame each.
class FrameSelection : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a", "b", "c"}) list.fileNames.emplace_back(name);
        list.frames = {0, 1, 2};
    }
    int entry(int frame) const
    {
        const char* name = list.getFrameFileName(frame);
        if (!name) return -1;
        return name[0] - 'a';
    }
    std::vector<int> row(int condition)
    {
        list.endCondition = condition;
        std::vector<int> result;
        for (int t = -4; t <= 8; ++t) result.push_back(entry(t));
        return result;
    }
    ImageFileList list;
};

TEST_F(FrameSelection, EntryTableForTheThreeEndConditions)
{
    EXPECT_EQ(row(0), (std::vector<int>{2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(row(1), (std::vector<int>{2, 0, 1, 0, 0, 1, 2, 2, 1, 0, 0, 1, 2}));
    EXPECT_EQ(row(2), (std::vector<int>{0, 0, 0, 0, 0, 1, 2, 2, 2, 2, 2, 2, 2}));
}

TEST_F(FrameSelection, StartFrameAndHalfRate)
{
    list.startFrame = 10;
    list.playbackRate = 0.5f;
    EXPECT_EQ(entry(9), 0) << "-0.5 truncates to 0";
    EXPECT_EQ(entry(10), 0);
    EXPECT_EQ(entry(11), 0);
    EXPECT_EQ(entry(12), 1);
    EXPECT_EQ(entry(13), 1);
    EXPECT_EQ(entry(14), 2);
    EXPECT_EQ(entry(8), 2) << "Loop before the start counts back from the last entry";
}

TEST_F(FrameSelection, ZeroRateShowsTheFirstEntry)
{
    list.playbackRate = 0.0f;
    for (int condition = 0; condition <= 2; ++condition) {
        list.endCondition = condition;
        for (int frame : {-100, -1, 0, 1, 7, 1000}) EXPECT_EQ(entry(frame), 0) << condition << " " << frame;
    }
}

TEST_F(FrameSelection, NegativeRateRunsBackwards)
{
    list.playbackRate = -1.0f;
    list.startFrame = 5;
    EXPECT_EQ(entry(5), 0);
    EXPECT_EQ(entry(6), 2);
    EXPECT_EQ(entry(7), 1);
    list.endCondition = 2;
    EXPECT_EQ(entry(6), 0);
    EXPECT_EQ(entry(2), 2);
}

TEST_F(FrameSelection, UnknownEndConditionOrEmptyListGivesNothing)
{
    list.endCondition = 3;
    EXPECT_EQ(list.getFrameFileName(0), nullptr);
    list.endCondition = -1;
    EXPECT_EQ(list.getFrameFileName(0), nullptr);
    ImageFileList empty;
    EXPECT_EQ(empty.getFrameFileName(0), nullptr);
}

TEST_F(FrameSelection, ExtremeProductsStayInsideTheList)
{
    const float rates[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e9f};
    const int frames[] = {INT_MIN, -1, 0, 1, INT_MAX};
    for (int condition = 0; condition <= 2; ++condition) {
        list.endCondition = condition;
        for (float rate : rates) {
            list.playbackRate = rate;
            for (int frame : frames) {
                const int e = entry(frame);
                EXPECT_TRUE(e >= 0 && e <= 2) << condition << " " << rate << " " << frame;
            }
        }
    }
    list.playbackRate = std::numeric_limits<float>::quiet_NaN();
    list.endCondition = 2;
    EXPECT_EQ(entry(50), 0) << "NaN counts as t = 0";
    list.playbackRate = 1e30f;
    EXPECT_EQ(entry(1), 2);
    // The frame difference wraps as 32-bit arithmetic does, without fault.
    list.playbackRate = 1.0f;
    list.startFrame = INT_MIN;
    list.endCondition = 0;
    EXPECT_GE(entry(INT_MAX), 0);
}

TEST_F(FrameSelection, PingPongRepeatsWithTwiceTheLength)
{
    list.endCondition = 1;
    for (int t = 0; t < 60; ++t) EXPECT_EQ(entry(t), entry(t + 6)) << t;
}

// Lists written into a fresh directory; the working directory moves there so that
// relative paths can be checked.
class ListFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/zt-ifl-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root_ = templ;
        previous_ = fs::current_path();
        fs::current_path(root_);
    }
    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }
    static void write(const std::string& path, const std::string& text)
    {
        const fs::path p(path);
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static void touch(const std::string& path) { write(path, "x"); }
    std::string abs(const std::string& relative) const { return (root_ / relative).string(); }

    std::vector<std::string> names(const ImageFileList& list) const
    {
        std::vector<std::string> result;
        for (const auto& name : list.fileNames) result.push_back(name.ptr());
        return result;
    }
    static std::string failedLoad(const std::string& path, const std::string& reason)
    {
        return "Image file list \"" + path + "\" failed to load: " + reason + "\n";
    }
    static std::string included(const std::string& path) { return "Error opening included file \"" + path + "\""; }

    fs::path root_;
    fs::path previous_;
    RecordingProgressCallback progress;
    ImageFileList list;
};

using Strings = std::vector<std::string>;
using Frames = std::vector<int32_t>;

TEST_F(ListFiles, RepeatCountsAndDistinctFiles)
{
    touch("shots/a.ptx");
    touch("shots/b.ptx");
    write("shots/list.ifl", "a.ptx 3\nb.ptx\na.ptx\n");
    ASSERT_TRUE(list.loadList("shots/list.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"shots/a.ptx", "shots/b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1, 0}));
    ASSERT_EQ(progress.count(), 1u);
    EXPECT_EQ(progress.level(0), ProgressLevel::Verbose);
    EXPECT_STREQ(progress.text(0), "Image file list \"shots/list.ifl\" loaded.\n");
    EXPECT_TRUE(list.loaded);
    EXPECT_STREQ(list.listPath, "shots/list.ifl");
    EXPECT_STREQ(list.getFrameFileName(3), "shots/b.ptx");
}

TEST_F(ListFiles, LineSyntax)
{
    touch("d/a.ptx");
    touch("d/my file");
    touch("d/my file 2.ptx");
    touch("d/3x");
    touch("d/wall_12");
    write("d/l.ifl",
          "a.ptx   4   ; four frames\r\n"
          "my file 2\n"
          "my file 2.ptx\n"
          "missing.ptx 0\n"
          "\t \n"
          "; only a comment\n"
          "\n"
          "3x\n"
          "wall_12\n"
          "\ta.ptx\t2\t\n"
          "a.ptx 0002\n"
          "a.ptx 00\n"
          " 5\n");  // the first character is never a count: entry "5", missing
    EXPECT_FALSE(list.loadList("d/l.ifl", &progress));
    EXPECT_STREQ(list.errorText(), included("d/5").c_str());

    write("d/l2.ifl",
          "a.ptx   4   ; four frames\r\n"
          "my file 2\n"
          "my file 2.ptx\n"
          "missing.ptx 0\n"
          "\t \n"
          "; only a comment\n"
          "\n"
          "3x\n"
          "wall_12\n"
          "\ta.ptx\t2\t\n"
          "a.ptx 0002\n"
          "a.ptx 00\n"
          "a.ptx");  // last line without a line end
    ASSERT_TRUE(list.loadList("d/l2.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"d/a.ptx", "d/my file", "d/my file 2.ptx", "d/3x", "d/wall_12"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 0, 1, 1, 2, 3, 4, 0, 0, 0, 0, 0}));
}

TEST_F(ListFiles, CountsAreCappedAtAThousand)
{
    touch("a.ptx");
    write("big.ifl", "a.ptx 5000\n");
    ASSERT_TRUE(list.loadList("big.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 1000u);
    write("huge.ifl", "a.ptx 99999999999999999999999999\na.ptx 1000\na.ptx 1001\n");
    ASSERT_TRUE(list.loadList("huge.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 3000u);
    EXPECT_STREQ(list.getFrameFileName(2999), "a.ptx") << "a list without a directory resolves as written";
}

TEST_F(ListFiles, EntriesWithSeparatorsAreUsedAsWritten)
{
    touch("sub/a.ptx");
    touch(abs("abs/b.ptx"));
    write("shots/l.ifl", "sub/a.ptx\n" + abs("abs/b.ptx") + "\n");
    ASSERT_TRUE(list.loadList("shots/l.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"sub/a.ptx", abs("abs/b.ptx")}));

    touch("shots/sub/c.ptx");
    write("shots/l2.ifl", "sub/c.ptx\n");
    EXPECT_FALSE(list.loadList("shots/l2.ifl", &progress)) << "not resolved against the list's directory";
    EXPECT_EQ(progress.text(progress.count() - 1), failedLoad("shots/l2.ifl", included("sub/c.ptx")));
}

TEST_F(ListFiles, BackslashAndAbsoluteListPaths)
{
    touch("w/a.ptx");
    write("w/l.ifl", "a.ptx\n");
    ASSERT_TRUE(list.loadList(abs("w/l.ifl").c_str(), nullptr));
    EXPECT_EQ(names(list), (Strings{abs("w/a.ptx")}));
    EXPECT_EQ(list.getDirLength(list), static_cast<int>(abs("w/").size()));

    ImageFileList other;
    std::snprintf(other.listPath, sizeof other.listPath, "%s", "dir\\sub/x\\list.ifl");
    EXPECT_EQ(list.getDirLength(other), 10);
    std::snprintf(other.listPath, sizeof other.listPath, "%s", "dir\\sub/y/list.ifl");
    EXPECT_EQ(list.getDirLength(other), 10) << "computed once and cached";
    other.dirLength = -1;
    EXPECT_EQ(list.getDirLength(other), 10);
    std::snprintf(other.listPath, sizeof other.listPath, "%s", "list.ifl");
    other.dirLength = -1;
    EXPECT_EQ(list.getDirLength(other), 0);
}

TEST_F(ListFiles, NestedListsAreInsertedInPlace)
{
    touch("a.ptx");
    touch("n/b.ptx");
    touch("n/c.ptx");
    write("n/inner.IFL", "b.ptx 2\nc.ptx\n");
    write("outer.ifl", "a.ptx\nn/inner.IFL 7\na.ptx\n");
    ASSERT_TRUE(list.loadList("outer.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"a.ptx", "n/b.ptx", "n/c.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1, 1, 2, 0})) << "the nested list's own count is ignored";
    EXPECT_STREQ(list.listPath, "outer.ifl");
}

TEST_F(ListFiles, SelfAndMutuallyIncludingListsAreReadOnce)
{
    touch("a.ptx");
    touch("b.ptx");
    write("self.ifl", "a.ptx\nself.ifl\na.ptx 2\n");
    ASSERT_TRUE(list.loadList("self.ifl", &progress));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0}));

    write("one.ifl", "a.ptx\ntwo.ifl\n");
    write("two.ifl", "b.ptx\none.ifl\ntwo.ifl\n");
    ASSERT_TRUE(list.loadList("one.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"a.ptx", "b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1}));

    // Within one load a list seen earlier contributes nothing the second time.
    write("twice.ifl", "two.ifl\ntwo.ifl\n");
    ASSERT_TRUE(list.loadList("twice.ifl", nullptr));
    EXPECT_EQ(list.frames, (Frames{0, 1}));
}

TEST_F(ListFiles, NestingDeeperThanTheLimitFails)
{
    touch("a.ptx");
    auto chain = [&](const std::string& stem, int lists) {
        for (int i = 0; i < lists; ++i) {
            const std::string next = i + 1 < lists ? stem + std::to_string(i + 1) + ".ifl\n" : "a.ptx\n";
            write(stem + std::to_string(i) + ".ifl", next);
        }
    };
    chain("ok", ImageFileList::kMaxListDepth);
    ASSERT_TRUE(list.loadList("ok0.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 1u);

    chain("deep", ImageFileList::kMaxListDepth + 5);
    EXPECT_FALSE(list.loadList("deep0.ifl", &progress));
    const std::string beyond = "deep" + std::to_string(ImageFileList::kMaxListDepth) + ".ifl";
    EXPECT_EQ(progress.text(progress.count() - 1), failedLoad("deep0.ifl", included(beyond)));
}

TEST_F(ListFiles, MissingEntryFailsTheWholeLoad)
{
    touch("a.ptx");
    write("l.ifl", "a.ptx\nmissing.ptx\na.ptx\n");
    EXPECT_FALSE(list.loadList("l.ifl", &progress));
    ASSERT_EQ(progress.count(), 1u);
    EXPECT_EQ(progress.level(0), ProgressLevel::Warning);
    EXPECT_EQ(progress.text(0), failedLoad("l.ifl", included("missing.ptx")));
    EXPECT_FALSE(list.loaded);
    EXPECT_STREQ(list.listPath, "l.ifl");

    write("n.ifl", "a.ptx\nsub/gone.ifl\n");
    EXPECT_FALSE(list.loadList("n.ifl", &progress));
    EXPECT_EQ(progress.text(1), failedLoad("n.ifl", included("sub/gone.ifl")));
}

TEST_F(ListFiles, MissingListAndTheRepeatedFailure)
{
    EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
    ASSERT_EQ(progress.count(), 1u);
    EXPECT_EQ(progress.text(0), failedLoad("nowhere.ifl", "Error opening file"));

    // The failed path is answered from memory: the file that now exists is not read.
    touch("a.ptx");
    write("nowhere.ifl", "a.ptx\n");
    EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
    ASSERT_EQ(progress.count(), 2u);
    EXPECT_EQ(progress.level(1), ProgressLevel::Warning);
    EXPECT_STREQ(progress.text(1), "Image file list \"nowhere.ifl\" failed to load.");

    list.clearList();  // frame end keeps a failed path
    EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
    EXPECT_STREQ(progress.text(2), "Image file list \"nowhere.ifl\" failed to load.");

    list.resetList();  // render end forgets it
    EXPECT_TRUE(list.loadList("nowhere.ifl", &progress));
    EXPECT_STREQ(progress.text(3), "Image file list \"nowhere.ifl\" loaded.\n");
}

TEST_F(ListFiles, AnotherPathStartsFromNothing)
{
    touch("a.ptx");
    touch("b.ptx");
    write("bad.ifl", "a.ptx\nb.ptx 3\nmissing.ptx\n");
    EXPECT_FALSE(list.loadList("bad.ifl", nullptr));
    write("good.ifl", "b.ptx\n");
    ASSERT_TRUE(list.loadList("good.ifl", nullptr));
    EXPECT_EQ(names(list), (Strings{"b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0}));
    EXPECT_STREQ(list.errorText(), "");
}

TEST_F(ListFiles, LoadedListIsAnsweredFromMemoryUntilCleared)
{
    touch("a.ptx");
    touch("b.ptx");
    write("l.ifl", "a.ptx\n");
    ASSERT_TRUE(list.loadList("l.ifl", &progress));
    write("l.ifl", "b.ptx\n");
    ASSERT_TRUE(list.loadList("l.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"a.ptx"}));
    EXPECT_EQ(progress.count(), 1u) << "no message for the remembered list";

    list.clearList();  // frame end
    EXPECT_FALSE(list.loaded);
    EXPECT_STREQ(list.listPath, "");
    EXPECT_EQ(list.dirLength, -1);
    EXPECT_TRUE(list.frames.empty());
    EXPECT_EQ(list.frames.capacity(), 0u);
    ASSERT_TRUE(list.loadList("l.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"b.ptx"}));
    EXPECT_EQ(progress.count(), 2u);
}

TEST_F(ListFiles, EmptyListLoadsWithoutFrames)
{
    write("empty.ifl", "");
    write("comments.ifl", "; nothing\r\n   \r\n\r\n");
    for (const char* path : {"empty.ifl", "comments.ifl"}) {
        ASSERT_TRUE(list.loadList(path, &progress)) << path;
        EXPECT_TRUE(list.frames.empty());
        EXPECT_EQ(list.getFrameFileName(0), nullptr);
    }
}

TEST_F(ListFiles, LongLinesAreCutAndTheRestSkipped)
{
    touch("a.ptx");
    touch("b.ptx");
    // The comment runs far past the line limit; the next line is still read.
    write("comment.ifl", "a.ptx ;" + std::string(5000, 'x') + "\nb.ptx\n");
    ASSERT_TRUE(list.loadList("comment.ifl", nullptr));
    EXPECT_EQ(names(list), (Strings{"a.ptx", "b.ptx"}));

    // Kept: "b.ptx" and blanks up to the limit; the junk beyond belongs to that line.
    std::string line = "b.ptx" + std::string(ImageFileList::kLineSize - 1 - 5, ' ') + "junk.ptx";
    write("cut.ifl", line + "\na.ptx\n");
    ASSERT_TRUE(list.loadList("cut.ifl", &progress));
    EXPECT_EQ(names(list), (Strings{"b.ptx", "a.ptx"}));

    // A line of exactly the limit is whole.
    line = "a.ptx" + std::string(ImageFileList::kLineSize - 1 - 5 - 2, ' ') + " 3";
    ASSERT_EQ(line.size(), static_cast<size_t>(ImageFileList::kLineSize - 1));
    write("exact.ifl", line + "\nb.ptx\n");
    ASSERT_TRUE(list.loadList("exact.ifl", nullptr));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1}));
}

TEST_F(ListFiles, ListsGrowInStepsOfAHundred)
{
    std::string text;
    for (int i = 0; i < 150; ++i) {
        touch("f" + std::to_string(i) + ".ptx");
        text += "f" + std::to_string(i) + ".ptx\n";
    }
    write("many.ifl", text);
    ASSERT_TRUE(list.loadList("many.ifl", nullptr));
    EXPECT_EQ(list.fileNames.size(), 150u);
    EXPECT_EQ(list.fileNames.capacity(), 200u);
    EXPECT_EQ(list.frames.capacity(), 200u);

    write("block.ifl", "f1.ptx 1000\nf2.ptx 50\n");
    ASSERT_TRUE(list.loadList("block.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 1050u);
    EXPECT_EQ(list.frames.capacity(), 1100u) << "a multiple of the step gets one more step";
    EXPECT_EQ(list.fileNames.capacity(), 100u);
}

TEST_F(ListFiles, LongestListPath)
{
    // 1023 characters of path: nested directories of 200-character names.
    std::string dir;
    while (dir.size() + 201 < 1023 - 10) dir += std::string(200, 'd') + "/";
    const std::string path = dir + std::string(1023 - dir.size() - 4, 'l') + ".ifl";
    ASSERT_EQ(path.size(), 1023u);
    touch(dir + "a.ptx");
    write(path, "a.ptx\n");
    ASSERT_TRUE(list.loadList(path.c_str(), nullptr));
    EXPECT_EQ(names(list), (Strings{dir + "a.ptx"}));
}

}  // namespace
