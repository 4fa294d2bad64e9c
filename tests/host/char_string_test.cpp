#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "zento/CharString.h"
#include "zento/ListValue.h"

using ZUtils::CharString;

TEST(CharString, UnsetHasNoText) {
    CharString s;
    EXPECT_EQ(s.ptr(), nullptr);
    EXPECT_FALSE(s.isSet());
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.useCount(), 0);
    CharString fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ(fromNull.ptr(), nullptr);
}

TEST(CharString, EmptyTextIsSetButEmpty) {
    CharString s("");
    ASSERT_NE(s.ptr(), nullptr);
    EXPECT_STREQ(s.ptr(), "");
    EXPECT_TRUE(s.isSet());
    EXPECT_TRUE(s.empty());
    EXPECT_FALSE(s == CharString());
}

TEST(CharString, CopiesShareOneBlock) {
    CharString a("wall.ptx");
    CharString b = a;
    EXPECT_EQ(a.ptr(), b.ptr());
    EXPECT_EQ(a.useCount(), 2);
    {
        CharString c;
        c = b;
        EXPECT_EQ(a.useCount(), 3);
    }
    EXPECT_EQ(a.useCount(), 2);
    CharString moved = std::move(b);
    EXPECT_EQ(b.ptr(), nullptr);
    EXPECT_EQ(a.useCount(), 2);
    EXPECT_STREQ(moved.ptr(), "wall.ptx");
}

TEST(CharString, SetFromOwnTextIsSafe) {
    CharString a("abcdef");
    a.set(a.ptr() + 2);
    EXPECT_STREQ(a.ptr(), "cdef");
    a = a;  // self-assignment keeps the text
    EXPECT_STREQ(a.ptr(), "cdef");
    a.set(nullptr);
    EXPECT_EQ(a.ptr(), nullptr);
}

TEST(CharString, LengthConstructorCopiesExactly) {
    CharString a("abcdef", 3);
    EXPECT_STREQ(a.ptr(), "abc");
    EXPECT_EQ(a.length(), 3u);
    EXPECT_TRUE(a == CharString("abc"));
    EXPECT_FALSE(a == CharString("abd"));
}

TEST(CharString, CopiesOnManyThreads) {
    CharString shared("shared text");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 10000; ++i) {
                CharString copy = shared;
                ASSERT_STREQ(copy.ptr(), "shared text");
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(shared.useCount(), 1);
}

TEST(ListHandle, SelfAssignmentKeepsTheBlock) {
    ZUtils::ListHandle h = ZUtils::ListHandle::allocate(16);
    const ZUtils::ListHandle& same = h;
    h = same;
    EXPECT_TRUE(h.valid());
    EXPECT_EQ(h.useCount(), 1);
    EXPECT_EQ(h.bytes(), 16u);
    ZUtils::ListHandle copy = h;
    EXPECT_EQ(h.useCount(), 2);
    copy.reset();
    EXPECT_EQ(h.useCount(), 1);
}
