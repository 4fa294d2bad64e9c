// UTF-8 file names: conversion to UTF-16 units and back, and opening real files
// whose names are not ASCII or not even valid UTF-8, from one or many threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Utf8.h"
#include "support/Utf8InputHandler.h"
#include "support/Utf8Open.h"

namespace {

namespace fs = std::filesystem;
using Units = std::vector<char16_t>;
using Mode = Utf8InputHandler::OpenMode;
constexpr char16_t E = 0xDBC0;  // lead unit of an escaped byte

// Converts through a counting pass and a buffer of count + 1, checking the terminator.
Units convert(const std::string& text) {
    const size_t n = utf8ToUtf16(text.c_str(), nullptr, 0);
    Units out(n + 1, char16_t(0xAAAA));
    EXPECT_EQ(utf8ToUtf16(text.c_str(), out.data(), out.size()), n);
    EXPECT_EQ(out[n], 0) << "terminator missing";
    out.resize(n);
    return out;
}

std::string backToBytes(Units units) {
    units.push_back(0);
    std::string out(utf16ToUtf8(units.data(), nullptr, 0) + 1, '\x55');
    out.resize(utf16ToUtf8(units.data(), out.data(), out.size()));
    return out;
}

TEST(Utf8ToUtf16, ValidSequencesAndEscapedBytes) {
    const std::pair<std::string, Units> cases[] = {
        {"", {}},
        {"abc", {0x61, 0x62, 0x63}},
        {"\xC3\xA9", {0xE9}},
        {"\xDF\xBF", {0x7FF}},
        {"\xE0\xA0\x80", {0x800}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xEF\xBF\xBF", {0xFFFF}},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        // Only the value bits of a lead byte count (a mask one bit too wide adds 0x800).
        {"\xDF\x80", {0x7C0}},
        {"\xEF\x80\x80", {0xF000}},
        {"\xF3\xBF\xBF\xBF", {0xDBBF, 0xDFFF}},
        {"\xED\xA0\x80", {0xD800}},
        {"\xED\xBF\xBF", {0xDFFF}},         // surrogate values pass unchanged
        {"\xF4\x80\x84\x80", {E, 0xDD00}},  // U+100100, just above the escape plane
        // A byte that breaks a sequence is read again as a lead byte.
        {"\xE9x", {E, 0xDCE9, 0x78}},
        {"\xE2\xC3\xA9", {E, 0xDCE2, 0xE9}},
        {"\xE2\x82"
         "A",
         {E, 0xDCE2, E, 0xDC82, 0x41}},
        {"a\xF0\x9F\x98", {0x61, E, 0xDCF0, E, 0xDC9F, E, 0xDC98}},
    };
    for (const auto& [bytes, units] : cases) {
        EXPECT_EQ(convert(bytes), units) << testing::PrintToString(bytes);
        EXPECT_EQ(backToBytes(units), bytes);
    }
    // Invalid sequences: every byte escaped on its own.
    for (const std::string bytes :
         {"\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF",
          "\xF0\x8F\xBF\xBF",  // overlong, at every threshold
          "\xF8\x88\x80\x80\x80", "\xFC\x80\x80\x80\x80\x80", "\xFE\xBF\xBF\xBF\xBF\xBF\xBF",
          "\xFF\xBF\xBF\xBF\xBF\xBF\xBF\xBF",                          // five to eight byte forms
          "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF",                      // from U+110000
          "\xF4\x80\x80\x80", "\xF4\x80\x81\x81", "\xF4\x80\x83\xBF",  // the escape plane itself
          "\x80\xBF"}) {                                               // stray continuation bytes
        Units escaped;
        for (unsigned char b : bytes) escaped.insert(escaped.end(), {E, char16_t(0xDC00 + b)});
        EXPECT_EQ(convert(bytes), escaped) << testing::PrintToString(bytes);
        EXPECT_EQ(backToBytes(escaped), bytes);
    }
    EXPECT_EQ(utf8ToUtf16(nullptr, nullptr, 0), 0u);
}

// For every lead byte before a few tails: the counting pass matches the
// conversion, the units read back as the bytes, and no capacity is ever
// exceeded nor a pair (an escaped byte's included) split.
TEST(Utf8ToUtf16, CountingCapacityAndRoundTripForEveryLeadByte) {
    for (unsigned lead = 1; lead < 256; ++lead) {
        for (const char* tail : {"\x80\x80\x80z", "A", "\xBF\x80", "\xC3\xA9\xF0\x9F\x98\x80z"}) {
            const std::string text = char(lead) + std::string(tail);
            SCOPED_TRACE(testing::PrintToString(text));
            const Units full = convert(text);
            EXPECT_EQ(backToBytes(full), text);
            for (size_t capacity = 0; capacity <= full.size() + 1; ++capacity) {
                Units out(capacity + 1, 0x7777);
                const size_t n = utf8ToUtf16(text.c_str(), out.data(), capacity);
                // All that fits, less a pair cut off whole; a terminator only when room is left.
                const size_t fits = std::min(capacity, full.size());
                ASSERT_TRUE(n == fits || (n + 1 == fits && full[n] >= 0xD800 && full[n] <= 0xDBFF))
                    << capacity;
                EXPECT_TRUE(std::equal(out.begin(), out.begin() + long(n), full.begin()))
                    << capacity;
                EXPECT_EQ(out[n], capacity > full.size() ? 0 : 0x7777) << capacity;
                EXPECT_EQ(out[capacity], 0x7777) << "wrote beyond the capacity " << capacity;
            }
        }
    }
    EXPECT_EQ(backToBytes({0x61, E, 0xDC00, 0x62}), "a");  // an escaped zero byte ends the name
}

// Names given as raw bytes: the file system stores them unchanged.
const std::string kNames[] = {
    "w\xC3\xBCrfel_\xE2\x82\xAC_\xF0\x9F\x98\x80.bin",  // not ASCII
    "bad\xE9name.bin",
    "bad\xC3\xA9name.bin",  // lone 0xE9 and its valid twin
    "z\xC0\x80.bin",
    "q\xF4\x80\x81\x81.bin",  // overlong, escape plane
};

class Utf8Files : public testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        char templ[] = "/tmp/zt-utf8-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root_ = templ;
        for (const std::string& name : kNames)
            std::ofstream(path(name), std::ios::binary) << "content of " + name;
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    std::string root_;
};

// One handler serves several threads at once on different handles, each name
// opening the file it denotes; each thread sees its own last error.
TEST_P(Utf8Files, OpensEveryNameFromManyThreadsAtOnce) {
    Utf8InputHandler handler(GetParam());
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 100; ++round) {
                const std::string& name = kNames[size_t(t + round) % std::size(kNames)];
                PtexInputHandler::Handle h = handler.open(path(name).c_str());
                if (!h) {
                    ++faults;
                    continue;
                }
                char text[64] = {};
                faults += handler.read(text, 11 + name.size(), h) != 11 + name.size() ||
                          "content of " + name != text;
                handler.seek(h, 8);
                faults += handler.read(text, 100, h) != 0;  // fewer bytes than asked is a failure
                handler.seek(h, 11);
                faults += handler.read(text, name.size(), h) != name.size() ||
                          std::string(text, name.size()) != name;
                faults += !handler.close(h);
                faults += handler.open(path(name + ".missing").c_str()) != nullptr;
                faults += std::strcmp(handler.lastError(), std::strerror(ENOENT)) != 0;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(handler.open(nullptr), nullptr);
    EXPECT_FALSE(handler.close(nullptr));
    errno = 0;  // and utf8Open, under both opens, fails with the reason
    EXPECT_EQ(utf8Open(std::string(20000, '\xE9').c_str(), "rb"), nullptr);  // 40000 units
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(utf8Open("/tmp", std::string(40, 'r').c_str()), nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(utf8Open("/nonexistent/dir/file", "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

INSTANTIATE_TEST_SUITE_P(BothOpens, Utf8Files, testing::Values(Mode::Native, Mode::Wide),
                         [](const auto& info) {
                             return info.param == Mode::Native ? "Native" : "Wide";
                         });

}  // namespace
