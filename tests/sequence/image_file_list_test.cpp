// Image file lists: detection, frame selection, and reading real list files.
#include "sequence/ImageFileList.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ZUtils::ProgressLevel;
using Strings = std::vector<std::string>;
using Frames = std::vector<int32_t>;

TEST(ImageFileListDetection, ExtensionBeginningWithIfl)
{
    for (const char* yes : {"shot.ifl", "shot.IFL", "shot.Ifl", "shot.iflx", "dir.ifl/shot", ".ifl"})
        EXPECT_TRUE(isImageFileList(yes)) << yes;
    for (const char* no : {"shot.if", "shot.i", "shot.", "shot", "shot.ifl.ptx", "shot.ptx", "", "shot.\xC9" "FL"})
        EXPECT_FALSE(isImageFileList(no)) << no;
    EXPECT_FALSE(isImageFileList(nullptr));
}

// The entry (0 = a, 1 = b, 2 = c, -1 = none) of each frame of a three-entry list.
std::vector<int> entries(const std::vector<int>& frames, int condition, float rate = 1, int start = 0)
{
    ImageFileList list;
    for (const char* name : {"a", "b", "c"}) list.fileNames.emplace_back(name);
    list.frames = {0, 1, 2};
    list.endCondition = condition;
    list.playbackRate = rate;
    list.startFrame = start;
    std::vector<int> result;
    for (int frame : frames) {
        const char* name = list.getFrameFileName(frame);
        result.push_back(name ? name[0] - 'a' : -1);
    }
    return result;
}

TEST(FrameSelection, EntryTablesForTheEndConditionsRatesAndStartFrames)
{
    const std::vector<int> t = {-4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(entries(t, 0), (std::vector<int>{2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));  // Loop
    EXPECT_EQ(entries(t, 1), (std::vector<int>{2, 0, 1, 0, 0, 1, 2, 2, 1, 0, 0, 1, 2}));  // Ping Pong
    EXPECT_EQ(entries(t, 2), (std::vector<int>{0, 0, 0, 0, 0, 1, 2, 2, 2, 2, 2, 2, 2}));  // Hold
    // Rate 0.5 from frame 10: -0.5 truncates to 0; Loop before the start counts back from the last entry.
    EXPECT_EQ(entries({8, 9, 10, 11, 12, 13, 14}, 0, 0.5f, 10), (std::vector<int>{2, 0, 0, 0, 1, 1, 2}));
    for (int condition = 0; condition <= 2; ++condition)  // rate 0: the first entry
        EXPECT_EQ(entries({-100, -1, 0, 1, 7, 1000}, condition, 0.0f), (std::vector<int>(6, 0))) << condition;
    EXPECT_EQ(entries({5, 6, 7}, 0, -1.0f, 5), (std::vector<int>{0, 2, 1}));  // negative rates run backwards
    EXPECT_EQ(entries({6, 2}, 2, -1.0f, 5), (std::vector<int>{0, 2}));
    EXPECT_EQ(entries({0}, 3), (std::vector<int>{-1}));  // unknown end conditions
    EXPECT_EQ(entries({0}, -1), (std::vector<int>{-1}));
    EXPECT_EQ(ImageFileList().getFrameFileName(0), nullptr);
}

TEST(FrameSelection, ProductsOutsideTheIntRangeOrNotANumberStayInsideTheList)
{
    const std::vector<int> frames = {INT_MIN, -1, 0, 1, INT_MAX};
    for (int condition = 0; condition <= 2; ++condition)
        for (float rate : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3e9f})
            for (int e : entries(frames, condition, rate)) EXPECT_TRUE(e >= 0 && e <= 2) << condition << " " << rate;
    EXPECT_EQ(entries({50}, 2, NAN), (std::vector<int>{0})) << "NaN counts as t = 0";
    EXPECT_EQ(entries({1}, 2, 1e30f), (std::vector<int>{2}));
    EXPECT_GE(entries({INT_MAX}, 0, 1.0f, INT_MIN)[0], 0) << "the frame difference wraps without fault";
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
        if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static void touch(std::initializer_list<std::string> paths)
    {
        for (const std::string& p : paths) write(p, "x");
    }
    std::string abs(const std::string& relative) const { return (root_ / relative).string(); }
    Strings names() const
    {
        Strings result;
        for (const auto& name : list.fileNames) result.push_back(name.ptr());
        return result;
    }
    std::string lastText() const { return progress.count() ? progress.text(progress.count() - 1) : ""; }
    static std::string failed(const std::string& path, const std::string& reason)
    {
        return "Image file list \"" + path + "\" failed to load: " + reason + "\n";
    }
    static std::string included(const std::string& path) { return "Error opening included file \"" + path + "\""; }

    fs::path root_, previous_;
    ZUtils::RecordingProgressCallback progress;
    ImageFileList list;
};

TEST_F(ListFiles, RepeatCountsDistinctFilesAndTheMessage)
{
    touch({"shots/a.ptx", "shots/b.ptx"});
    write("shots/list.ifl", "a.ptx 3\nb.ptx\na.ptx\n");
    ASSERT_TRUE(list.loadList("shots/list.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"shots/a.ptx", "shots/b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1, 0}));
    ASSERT_EQ(progress.count(), 1u);
    EXPECT_EQ(progress.level(0), ProgressLevel::Verbose);
    EXPECT_STREQ(progress.text(0), "Image file list \"shots/list.ifl\" loaded.\n");
    EXPECT_TRUE(list.loaded);
    EXPECT_STREQ(list.getFrameFileName(3), "shots/b.ptx");
}

TEST_F(ListFiles, LineSyntaxCountsCapsAndEmptyLists)
{
    touch({"d/a.ptx", "d/my file", "d/my file 2.ptx", "d/3x", "d/wall_12"});
    const std::string body = "a.ptx   4   ; four frames\r\nmy file 2\nmy file 2.ptx\nmissing.ptx 0\n\t \n"
                             "; only a comment\n\n3x\nwall_12\n\ta.ptx\t2\t\na.ptx 0002\na.ptx 00\n";
    write("d/l.ifl", body + "a.ptx");  // the last line without a line end
    ASSERT_TRUE(list.loadList("d/l.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"d/a.ptx", "d/my file", "d/my file 2.ptx", "d/3x", "d/wall_12"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 0, 1, 1, 2, 3, 4, 0, 0, 0, 0, 0}));
    write("d/l5.ifl", body + " 5\n");  // the first character is never a count: entry "5", missing
    EXPECT_FALSE(list.loadList("d/l5.ifl", &progress));
    EXPECT_STREQ(list.errorText(), included("d/5").c_str());
    write("huge.ifl", "d/a.ptx 5000\nd/a.ptx 99999999999999999999999999\nd/a.ptx 1000\nd/a.ptx 1001\n");
    ASSERT_TRUE(list.loadList("huge.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 4000u) << "counts above 1000 count as 1000";
    write("empty.ifl", "");
    write("comments.ifl", "; nothing\r\n   \r\n\r\n");
    for (const char* path : {"empty.ifl", "comments.ifl"}) {
        ASSERT_TRUE(list.loadList(path, &progress)) << path;
        EXPECT_EQ(list.getFrameFileName(0), nullptr);
    }
}

TEST_F(ListFiles, RelativeAbsoluteAndBackslashPaths)
{
    touch({"sub/a.ptx", abs("abs/b.ptx"), "shots/sub/c.ptx", "w/a.ptx"});
    // Entries with a separator are used as written, not against the list's directory.
    write("shots/l.ifl", "sub/a.ptx\n" + abs("abs/b.ptx") + "\n");
    ASSERT_TRUE(list.loadList("shots/l.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"sub/a.ptx", abs("abs/b.ptx")}));
    write("shots/l2.ifl", "sub/c.ptx\n");
    EXPECT_FALSE(list.loadList("shots/l2.ifl", &progress));
    EXPECT_EQ(lastText(), failed("shots/l2.ifl", included("sub/c.ptx")));
    write("w/l.ifl", "a.ptx\n");
    ASSERT_TRUE(list.loadList(abs("w/l.ifl").c_str(), nullptr));
    EXPECT_EQ(names(), (Strings{abs("w/a.ptx")}));
    ImageFileList other;
    for (auto [path, length] : {std::pair{"dir\\sub/x\\list.ifl", 10}, {"list.ifl", 0}}) {
        std::snprintf(other.listPath, sizeof other.listPath, "%s", path);
        other.dirLength = -1;
        EXPECT_EQ(list.getDirLength(other), length) << path;
    }
    // The longest list path, 1023 characters in directories of 200-character names.
    std::string dir;
    while (dir.size() + 201 < 1023 - 10) dir += std::string(200, 'd') + "/";
    const std::string path = dir + std::string(1023 - dir.size() - 4, 'l') + ".ifl";
    touch({dir + "a.ptx"});
    write(path, "a.ptx\n");
    ASSERT_TRUE(list.loadList(path.c_str(), nullptr));
    EXPECT_EQ(names(), (Strings{dir + "a.ptx"}));
}

TEST_F(ListFiles, NestedSelfAndMutuallyIncludingListsAreReadOnce)
{
    touch({"a.ptx", "b.ptx", "n/b.ptx", "n/c.ptx"});
    write("n/inner.IFL", "b.ptx 2\nc.ptx\n");
    write("outer.ifl", "a.ptx\nn/inner.IFL 7\na.ptx\n");
    ASSERT_TRUE(list.loadList("outer.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"a.ptx", "n/b.ptx", "n/c.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1, 1, 2, 0})) << "inserted in place; the nested list's count is ignored";
    EXPECT_STREQ(list.listPath, "outer.ifl");
    write("self.ifl", "a.ptx\nself.ifl\na.ptx 2\n");
    ASSERT_TRUE(list.loadList("self.ifl", &progress));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0}));
    write("one.ifl", "a.ptx\ntwo.ifl\n");
    write("two.ifl", "b.ptx\none.ifl\ntwo.ifl\n");
    ASSERT_TRUE(list.loadList("one.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"a.ptx", "b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1}));
    write("twice.ifl", "two.ifl\ntwo.ifl\n");  // seen earlier in the load: nothing the second time
    ASSERT_TRUE(list.loadList("twice.ifl", nullptr));
    EXPECT_EQ(list.frames, (Frames{0, 1}));
}

TEST_F(ListFiles, NestingDeeperThanSixtyFourListsFails)
{
    touch({"a.ptx"});
    auto chain = [&](const std::string& stem, int lists) {
        for (int i = 0; i < lists; ++i)
            write(stem + std::to_string(i) + ".ifl", i + 1 < lists ? stem + std::to_string(i + 1) + ".ifl\n" : "a.ptx\n");
    };
    chain("ok", ImageFileList::kMaxListDepth);
    ASSERT_TRUE(list.loadList("ok0.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 1u);
    chain("deep", ImageFileList::kMaxListDepth + 5);
    EXPECT_FALSE(list.loadList("deep0.ifl", &progress));
    EXPECT_EQ(lastText(), failed("deep0.ifl", included("deep" + std::to_string(ImageFileList::kMaxListDepth) + ".ifl")));
}

TEST_F(ListFiles, MissingEntriesAndListsFailWithTheirMessages)
{
    touch({"a.ptx", "b.ptx"});
    write("l.ifl", "a.ptx\nb.ptx 3\nmissing.ptx\na.ptx\n");
    EXPECT_FALSE(list.loadList("l.ifl", &progress));
    ASSERT_EQ(progress.count(), 1u);
    EXPECT_EQ(progress.level(0), ProgressLevel::Warning);
    EXPECT_EQ(progress.text(0), failed("l.ifl", included("missing.ptx")));
    EXPECT_FALSE(list.loaded);
    write("n.ifl", "a.ptx\nsub/gone.ifl\n");
    EXPECT_FALSE(list.loadList("n.ifl", &progress));
    EXPECT_EQ(lastText(), failed("n.ifl", included("sub/gone.ifl")));
    write("good.ifl", "b.ptx\n");  // another path starts from nothing
    ASSERT_TRUE(list.loadList("good.ifl", nullptr));
    EXPECT_EQ(names(), (Strings{"b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0}));
    EXPECT_STREQ(list.errorText(), "");
}

TEST_F(ListFiles, FailedPathIsRememberedUntilRenderEndAndLoadedOneUntilFrameEnd)
{
    EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
    EXPECT_EQ(lastText(), failed("nowhere.ifl", "Error opening file"));
    touch({"a.ptx", "b.ptx"});
    write("nowhere.ifl", "a.ptx\n");
    for (int pass = 0; pass < 2; ++pass) {  // answered from memory, also after a frame end
        EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
        EXPECT_EQ(progress.level(progress.count() - 1), ProgressLevel::Warning);
        EXPECT_EQ(lastText(), "Image file list \"nowhere.ifl\" failed to load.");
        list.clearList();
    }
    list.resetList();  // render end forgets it
    EXPECT_TRUE(list.loadList("nowhere.ifl", &progress));
    EXPECT_EQ(lastText(), "Image file list \"nowhere.ifl\" loaded.\n");
    write("nowhere.ifl", "b.ptx\n");
    const size_t messages = progress.count();
    ASSERT_TRUE(list.loadList("nowhere.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"a.ptx"})) << "remembered";
    EXPECT_EQ(progress.count(), messages) << "no message for the remembered list";
    list.clearList();  // frame end: read again
    EXPECT_TRUE(!list.loaded && list.frames.capacity() == 0u);
    ASSERT_TRUE(list.loadList("nowhere.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"b.ptx"}));
}

TEST_F(ListFiles, LongLinesAreCutAndTheRestSkipped)
{
    touch({"a.ptx", "b.ptx"});
    // The comment runs far past the line limit; the next line is still read.
    write("comment.ifl", "a.ptx ;" + std::string(5000, 'x') + "\nb.ptx\n");
    ASSERT_TRUE(list.loadList("comment.ifl", nullptr));
    EXPECT_EQ(names(), (Strings{"a.ptx", "b.ptx"}));
    // Kept: "b.ptx" and blanks up to the limit; the junk beyond belongs to that line.
    write("cut.ifl", "b.ptx" + std::string(ImageFileList::kLineSize - 1 - 5, ' ') + "junk.ptx\na.ptx\n");
    ASSERT_TRUE(list.loadList("cut.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"b.ptx", "a.ptx"}));
    // A line of exactly the limit is whole.
    write("exact.ifl", "a.ptx" + std::string(ImageFileList::kLineSize - 1 - 5 - 2, ' ') + " 3\nb.ptx\n");
    ASSERT_TRUE(list.loadList("exact.ifl", nullptr));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1}));
}

TEST_F(ListFiles, ListsGrowInStepsOfAHundred)
{
    std::string text;
    for (int i = 0; i < 150; ++i) {
        touch({"f" + std::to_string(i) + ".ptx"});
        text += "f" + std::to_string(i) + ".ptx\n";
    }
    write("many.ifl", text);
    ASSERT_TRUE(list.loadList("many.ifl", nullptr));
    EXPECT_TRUE(list.fileNames.size() == 150u && list.fileNames.capacity() == 200u && list.frames.capacity() == 200u);
    write("block.ifl", "f1.ptx 1000\nf2.ptx 50\n");
    ASSERT_TRUE(list.loadList("block.ifl", nullptr));
    EXPECT_EQ(list.frames.size(), 1050u);
    EXPECT_EQ(list.frames.capacity(), 1100u) << "a multiple of the step gets one more step";
    EXPECT_EQ(list.fileNames.capacity(), 100u);
}

}  // namespace
