#include <gtest/gtest.h>

#include <cstdint>

#include "engine/ResultTables.h"

TEST(ResultTable, GrowsInStepsOfThirty) {
    ResultTable t;
    t.resize(1, false);
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(t.capacity, 30);
    t.entries[0] = ResultEntry{7, ZUtils::AColor(1, 2, 3, 4)};
    t.resize(46, false);
    EXPECT_EQ(t.count, 46);
    EXPECT_EQ(t.capacity, 60);
    EXPECT_EQ(t.entries[0].key, 7u);
    EXPECT_EQ(t.entries[0].color, ZUtils::AColor(1, 2, 3, 4));
    t.resize(10, false);  // shrinking the count keeps the entries
    EXPECT_EQ(t.count, 10);
    EXPECT_EQ(t.capacity, 60);
}

TEST(ResultTable, StepBoundaries) {
    for (const auto& [n, cap] : {std::pair{1, 30}, {29, 30}, {30, 60}, {31, 60}}) {
        ResultTable t;
        t.resize(n, false);
        EXPECT_EQ(t.capacity, cap) << n;
    }
    ResultTable exact;
    exact.resize(31, true);
    EXPECT_EQ(exact.capacity, 31);
    ResultTable doubling;
    doubling.growStep = 0;
    doubling.resize(5, false);
    EXPECT_EQ(doubling.capacity, 5);
    doubling.resize(11, false);
    EXPECT_EQ(doubling.capacity, 20);
}

TEST(ResultTables, OnePerThreadAlignedAndCleared) {
    ResultTables tables;
    EXPECT_FALSE(tables.exist());
    tables.create(4);
    ASSERT_TRUE(tables.exist());
    EXPECT_EQ(tables.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(&tables.table(i)) % 128, 0u);
        EXPECT_EQ(tables.table(i).count, 0);
        EXPECT_EQ(tables.table(i).growStep, 30);
    }
    tables.table(2).resize(3, false);
    tables.table(2).entries[1] = ResultEntry{9, ZUtils::AColor(1, 1, 1, 1)};
    tables.clear();
    EXPECT_EQ(tables.table(2).entries[1].key, 0u);
    EXPECT_EQ(tables.table(2).count, 3);
    EXPECT_EQ(tables.table(2).capacity, 30);
    tables.destroy();
    EXPECT_FALSE(tables.exist());
    EXPECT_EQ(tables.count(), 0);
    tables.destroy();
    tables.create(0);
    EXPECT_FALSE(tables.exist());
    tables.create(-3);
    EXPECT_FALSE(tables.exist());
}
