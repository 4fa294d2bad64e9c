// Image file lists: detection, frame selection, and reading real list files.
#include "sequence/ImageFileList.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using ZUtils::ProgressLevel;
using Strings = std::vector<std::string>;
using Frames = std::vector<int32_t>;

TEST(ImageFileListDetection, ExtensionBeginningWithIfl) {
    for (const char* yes :
         {"shot.ifl", "shot.IFL", "shot.Ifl", "shot.iflx", "dir.ifl/shot", ".ifl"})
        EXPECT_TRUE(isImageFileList(yes)) << yes;
    for (const char* no : {"shot.if", "shot.i", "shot.", "shot", "shot.ifl.ptx", "shot.ptx", "",
                           "shot.\xC9"
                           "FL"})
        EXPECT_FALSE(isImageFileList(no)) << no;
    EXPECT_FALSE(isImageFileList(nullptr));
}

// The entry (0 = a, 1 = b, 2 = c, -1 = none) of each frame of a three-entry list.
std::vector<int> entries(const std::vector<int>& frames, int condition, float rate = 1,
                         int start = 0) {
    ImageFileList list;
    for (const char* name : {"a", "b", "c"}) list.fileNames.emplace_back(name);
    list.frames = {0, 1, 2};
    const FrameStepping stepping{start, rate, condition};
    std::vector<int> result;
    for (int frame : frames) {
        const char* name = list.getFrameFileName(frame, stepping);
        result.push_back(name ? name[0] - 'a' : -1);
    }
    return result;
}

TEST(FrameSelection, EntryTablesForTheEndConditionsRatesAndStartFramesAndExtremeProducts) {
    const std::vector<int> t = {-4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(entries(t, 0), (std::vector<int>{2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));  // Loop
    EXPECT_EQ(entries(t, 1),
              (std::vector<int>{2, 0, 1, 0, 0, 1, 2, 2, 1, 0, 0, 1, 2}));  // Ping Pong
    EXPECT_EQ(entries(t, 2), (std::vector<int>{0, 0, 0, 0, 0, 1, 2, 2, 2, 2, 2, 2, 2}));  // Hold
    // Rate 0.5 from frame 10: -0.5 truncates to 0; Loop before the start counts back from the last
    // entry.
    EXPECT_EQ(entries({8, 9, 10, 11, 12, 13, 14}, 0, 0.5f, 10),
              (std::vector<int>{2, 0, 0, 0, 1, 1, 2}));
    for (int condition = 0; condition <= 2; ++condition)  // rate 0: the first entry
        EXPECT_EQ(entries({-100, -1, 0, 1, 7, 1000}, condition, 0.0f), (std::vector<int>(6, 0)))
            << condition;
    EXPECT_EQ(entries({5, 6, 7}, 0, -1.0f, 5),
              (std::vector<int>{0, 2, 1}));  // negative rates run backwards
    EXPECT_EQ(entries({6, 2}, 2, -1.0f, 5), (std::vector<int>{0, 2}));
    EXPECT_EQ(entries({0}, 3), (std::vector<int>{-1}));  // unknown end conditions
    EXPECT_EQ(entries({0}, -1), (std::vector<int>{-1}));
    EXPECT_EQ(ImageFileList().getFrameFileName(0, {}), nullptr);
    // Products outside the 32-bit range or not a number stay inside the list.
    const std::vector<int> frames = {INT_MIN, -1, 0, 1, INT_MAX};
    for (int condition = 0; condition <= 2; ++condition)
        for (float rate : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3e9f})
            for (int e : entries(frames, condition, rate))
                EXPECT_TRUE(e >= 0 && e <= 2) << condition << " " << rate;
    EXPECT_EQ(entries({50}, 2, NAN), (std::vector<int>{0})) << "NaN counts as t = 0";
    EXPECT_EQ(entries({1}, 2, 1e30f), (std::vector<int>{2}));
    EXPECT_GE(entries({INT_MAX}, 0, 1.0f, INT_MIN)[0], 0)
        << "the frame difference wraps without fault";
}

// Lists written into a fresh directory; the working directory moves there so that
// relative paths can be checked.
class ListFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(::mkdtemp(root_.data()), nullptr);
        fs::current_path(root_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }
    static void write(const fs::path& path, const std::string& text) {
        if (path.has_parent_path()) fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static void touch(std::initializer_list<std::string> paths) {
        for (const std::string& p : paths) write(p, "x");
    }
    std::string abs(const std::string& relative) const { return root_ + "/" + relative; }
    Strings names() const {
        Strings result;
        for (const auto& name : list.fileNames) result.push_back(name.ptr());
        return result;
    }
    std::string lastText() const {
        return progress.count() ? progress.text(progress.count() - 1) : "";
    }
    static std::string failed(const std::string& path, const std::string& why) {
        return "Image file list \"" + path + "\" failed to load: " + why + "\n";
    }
    static std::string included(const std::string& path) {
        return "Error opening included file \"" + path + "\"";
    }
    bool load(const std::string& path, const std::string& text) {
        write(path, text);
        return list.loadList(path.c_str(), &progress);
    }

    std::string root_ = "/tmp/zt-ifl-XXXXXX";
    fs::path previous_ = fs::current_path();
    ZUtils::RecordingProgressCallback progress;
    ImageFileList list;
};

TEST_F(ListFiles, RepeatCountsLineSyntaxCapsAndEmptyLists) {
    touch({"shots/a.ptx", "shots/b.ptx", "d/a.ptx", "d/my file", "d/my file 2.ptx", "d/3x",
           "d/wall_12"});
    ASSERT_TRUE(load("shots/list.ifl", "a.ptx 3\nb.ptx\na.ptx\n"));
    EXPECT_EQ(names(), (Strings{"shots/a.ptx", "shots/b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1, 0}));
    ASSERT_TRUE(progress.count() == 1u && progress.level(0) == ProgressLevel::Verbose);
    EXPECT_STREQ(progress.text(0), "Image file list \"shots/list.ifl\" loaded.\n");
    EXPECT_TRUE(list.loaded && std::string(list.getFrameFileName(3, {})) == "shots/b.ptx");
    const std::string body =
        "a.ptx   4   ; four frames\r\nmy file 2\nmy file 2.ptx\nmissing.ptx 0\n\t \n"
        "; only a comment\n\n3x\nwall_12\n\ta.ptx\t2\t\na.ptx 0002\na.ptx 00\n";
    ASSERT_TRUE(load("d/l.ifl", body + "a.ptx"));
    EXPECT_EQ(names(), (Strings{"d/a.ptx", "d/my file", "d/my file 2.ptx", "d/3x", "d/wall_12"}));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 0, 1, 1, 2, 3, 4, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(load("d/l5.ifl", body + " 5\n"));
    EXPECT_STREQ(list.errorText(), included("d/5").c_str());
    ASSERT_TRUE(
        load("huge.ifl",
             "d/a.ptx 5000\nd/a.ptx 99999999999999999999999999\nd/a.ptx 1000\nd/a.ptx 1001\n"));
    EXPECT_EQ(list.frames.size(), 4000u) << "counts above 1000 count as 1000";
    for (auto [path, text] :
         {std::pair{"empty.ifl", ""}, {"comments.ifl", "; nothing\r\n   \r\n\r\n"}})
        EXPECT_TRUE(load(path, text) && list.getFrameFileName(0, {}) == nullptr) << path;
}

TEST_F(ListFiles, RelativeAbsoluteAndBackslashPaths) {
    touch({"sub/a.ptx", abs("abs/b.ptx"), "shots/sub/c.ptx", "w/a.ptx"});
    // Entries with a separator are used as written, not against the list's directory.
    ASSERT_TRUE(load("shots/l.ifl", "sub/a.ptx\n" + abs("abs/b.ptx") + "\n"));
    EXPECT_EQ(names(), (Strings{"sub/a.ptx", abs("abs/b.ptx")}));
    EXPECT_FALSE(load("shots/l2.ifl", "sub/c.ptx\n"));
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
    ASSERT_TRUE(load(path, "a.ptx\n"));
    EXPECT_EQ(names(), (Strings{dir + "a.ptx"}));
}

TEST_F(ListFiles, NestedSelfAndMutuallyIncludingListsAreReadOnceUpToSixtyFourDeep) {
    touch({"a.ptx", "b.ptx", "n/b.ptx", "n/c.ptx"});
    write("n/inner.IFL", "b.ptx 2\nc.ptx\n");
    ASSERT_TRUE(load("outer.ifl", "a.ptx\nn/inner.IFL 7\na.ptx\n"));
    EXPECT_EQ(names(), (Strings{"a.ptx", "n/b.ptx", "n/c.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1, 1, 2, 0}))
        << "inserted in place; the nested list's count is ignored";
    EXPECT_STREQ(list.listPath, "outer.ifl");
    ASSERT_TRUE(load("self.ifl", "a.ptx\nself.ifl\na.ptx 2\n"));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0}));
    write("one.ifl", "a.ptx\ntwo.ifl\n");
    write("two.ifl", "b.ptx\none.ifl\ntwo.ifl\n");
    ASSERT_TRUE(list.loadList("one.ifl", &progress));
    EXPECT_EQ(names(), (Strings{"a.ptx", "b.ptx"}));
    EXPECT_EQ(list.frames, (Frames{0, 1}));
    ASSERT_TRUE(load("twice.ifl", "two.ifl\ntwo.ifl\n"));
    EXPECT_EQ(list.frames, (Frames{0, 1}));
    auto chain = [&](const std::string& stem, int lists) {
        for (int i = 0; i < lists; ++i)
            write(stem + std::to_string(i) + ".ifl",
                  i + 1 < lists ? stem + std::to_string(i + 1) + ".ifl" : "a.ptx");
    };
    chain("ok", ImageFileList::kMaxListDepth);
    ASSERT_TRUE(list.loadList("ok0.ifl", nullptr) && list.frames.size() == 1u);
    chain("deep", ImageFileList::kMaxListDepth + 5);
    EXPECT_FALSE(list.loadList("deep0.ifl", &progress));
    const std::string beyond = "deep" + std::to_string(ImageFileList::kMaxListDepth) + ".ifl";
    EXPECT_EQ(lastText(), failed("deep0.ifl", included(beyond)));
}

TEST_F(ListFiles, MissingEntriesAndListsFailAndFailedPathsAreRememberedUntilRenderEnd) {
    touch({"a.ptx", "b.ptx"});
    EXPECT_FALSE(load("l.ifl", "a.ptx\nb.ptx 3\nmissing.ptx\na.ptx\n"));
    ASSERT_TRUE(progress.count() == 1u && progress.level(0) == ProgressLevel::Warning);
    EXPECT_EQ(progress.text(0), failed("l.ifl", included("missing.ptx")));
    EXPECT_FALSE(list.loaded);
    EXPECT_FALSE(load("n.ifl", "a.ptx\nsub/gone.ifl\n"));
    EXPECT_EQ(lastText(), failed("n.ifl", included("sub/gone.ifl")));
    ASSERT_TRUE(load("good.ifl", "b.ptx\n"));
    EXPECT_TRUE(names() == Strings{"b.ptx"} && list.frames == Frames{0})
        << "another path starts from nothing";
    EXPECT_STREQ(list.errorText(), "");
    EXPECT_FALSE(list.loadList("nowhere.ifl", &progress));
    EXPECT_EQ(lastText(), failed("nowhere.ifl", "Error opening file"));
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

TEST_F(ListFiles, LongLinesAreCutAndListsGrowInSteps) {
    touch({"a.ptx", "b.ptx"});
    // The comment runs far past the line limit; the next line is still read.
    ASSERT_TRUE(load("comment.ifl", "a.ptx ;" + std::string(5000, 'x') + "\nb.ptx\n"));
    EXPECT_EQ(names(), (Strings{"a.ptx", "b.ptx"}));
    // Kept: "b.ptx" and blanks up to the limit; the junk beyond belongs to that line.
    ASSERT_TRUE(load("cut.ifl", "b.ptx" + std::string(ImageFileList::kLineSize - 1 - 5, ' ') +
                                    "junk.ptx\na.ptx\n"));
    EXPECT_EQ(names(), (Strings{"b.ptx", "a.ptx"}));
    // A line of exactly the limit is whole.
    ASSERT_TRUE(load("exact.ifl", "a.ptx" + std::string(ImageFileList::kLineSize - 1 - 5 - 2, ' ') +
                                      " 3\nb.ptx\n"));
    EXPECT_EQ(list.frames, (Frames{0, 0, 0, 1}));
    std::string text;  // lists grow in steps of a hundred
    for (int i = 0; i < 150; ++i) text += "f" + std::to_string(i) + ".ptx\n";
    for (int i = 0; i < 150; ++i) touch({"f" + std::to_string(i) + ".ptx"});
    ASSERT_TRUE(load("many.ifl", text));
    EXPECT_TRUE(list.fileNames.size() == 150u && list.fileNames.capacity() == 200u &&
                list.frames.capacity() == 200u);
    ASSERT_TRUE(load("block.ifl", "f1.ptx 1000\nf2.ptx 50\n"));
    EXPECT_TRUE(list.frames.size() == 1050u && list.frames.capacity() == 1100u)
        << "a multiple gets one more step";
    EXPECT_EQ(list.fileNames.capacity(), 100u);
}

}  // namespace
