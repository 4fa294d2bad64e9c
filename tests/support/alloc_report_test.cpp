// The module's operator new: success, and the report of a refused request.
// Refusals are forced through the allocation hook, never by exhausting memory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "support/alloc_heap.h"
#include "zento/Plugin.h"

namespace {

// Debugger lines, kept without allocating.
char g_lines[16][DEBUG_OUTPUT_BUFFER_SIZE];
std::atomic<int> g_lineCount{0};

void recordLine(const char* text) {
    const int i = g_lineCount.fetch_add(1);
    if (i < 16) std::snprintf(g_lines[i], sizeof g_lines[0], "%s", text);
}

// Refuses requests of exactly this size (other allocations go on normally).
std::atomic<size_t> g_refuseSize{SIZE_MAX};

// And requests in [g_refuseLow, g_refuseHigh).
std::atomic<size_t> g_refuseLow{0}, g_refuseHigh{0};

void* refusingAllocate(size_t size) {
    if (size == g_refuseSize.load() || (size >= g_refuseLow.load() && size < g_refuseHigh.load())) return nullptr;
    return std::malloc(size);
}

uint64_t fixedTotal() { return 7000000000ull; }  // beyond 32 bits on purpose
FreeHeapFigures fixedFree() { return FreeHeapFigures{6000000000ull, 12, HEAP_END}; }
bool sound() { return true; }
bool damaged() { return false; }
FreeHeapFigures badWalk() { return FreeHeapFigures{0, 0, HEAP_BADNODE}; }

const HeapInspector kSoundHeap{&fixedTotal, &fixedFree, &sound};
const HeapInspector kDamagedHeap{&fixedTotal, &badWalk, &damaged};

class AllocReport : public testing::Test {
protected:
    void SetUp() override {
        g_lineCount = 0;
        previousSink_ = setDebugOutputSink(&recordLine);
        previousAlloc_ = setAllocateFunction(&refusingAllocate);
        previousHeap_ = setHeapInspector(&kSoundHeap);
    }
    void TearDown() override {
        g_refuseSize = SIZE_MAX;
        setAllocateFunction(previousAlloc_);
        setDebugOutputSink(previousSink_);
        setHeapInspector(previousHeap_);
    }

    // Allocates `size` bytes with the refusal armed; returns the thrown text.
    static std::string refuse(size_t size, bool array = false) {
        g_refuseSize = size;
        std::string text = "(nothing thrown)";
        try {
            void* p = array ? ::operator new[](size) : ::operator new(size);
            ::operator delete(p);
        } catch (char* message) {
            text = message;
        } catch (...) {
            text = "(other exception)";
        }
        g_refuseSize = SIZE_MAX;
        return text;
    }

    DebugOutputSink previousSink_ = nullptr;
    AllocateFunction previousAlloc_ = nullptr;
    const HeapInspector* previousHeap_ = nullptr;
};

}  // namespace

TEST_F(AllocReport, SuccessReturnsTheBlockAndWritesNothing) {
    int* p = new int[100];
    p[99] = 5;
    EXPECT_EQ(p[99], 5);
    delete[] p;
    auto* s = new std::string(100, 'x');
    delete s;
    EXPECT_EQ(g_lineCount.load(), 0);
}

TEST_F(AllocReport, RefusalWritesFourLinesAndThrowsTheMessage) {
    const std::string message = refuse(100);
    ASSERT_EQ(g_lineCount.load(), 4);
    EXPECT_STREQ(g_lines[0], "[operator new] failed (size is 100)\n");
    EXPECT_STREQ(g_lines[1], "[getFreeHeapMemory] Getting free heap memory.\n");
    EXPECT_STREQ(g_lines[2], "[getFreeHeapMemory] heapstatus=-5\n");
    EXPECT_STREQ(g_lines[3], "[getFreeHeapMemory] Number of blocks visited: 12\n");
    EXPECT_EQ(message,
              "Memory allocation failure; 100 bytes requested; 7000000000 bytes already in heap; "
              "6000000000 bytes free heap space.");
}

TEST_F(AllocReport, DamagedHeapAddsTheNote) {
    setHeapInspector(&kDamagedHeap);
    const std::string message = refuse(100);
    ASSERT_EQ(g_lineCount.load(), 4);
    EXPECT_STREQ(g_lines[2], "[getFreeHeapMemory] heapstatus=-4\n");
    EXPECT_STREQ(g_lines[3], "[getFreeHeapMemory] Number of blocks visited: 0\n");
    EXPECT_EQ(message,
              "Memory allocation failure; 100 bytes requested; 7000000000 bytes already in heap; "
              "0 bytes free heap space. Heap is reported damaged.\n");
}

TEST_F(AllocReport, SizesAreFullSixtyFourBitValues) {
    std::string message = refuse(3221225472ull);  // 3 GiB
    EXPECT_STREQ(g_lines[0], "[operator new] failed (size is 3221225472)\n");
    EXPECT_NE(message.find("; 3221225472 bytes requested;"), std::string::npos) << message;
    g_lineCount = 0;
    message = refuse(5368709120ull);  // 5 GiB: its low 32 bits would read 1073741824
    EXPECT_STREQ(g_lines[0], "[operator new] failed (size is 5368709120)\n");
    EXPECT_NE(message.find("; 5368709120 bytes requested;"), std::string::npos) << message;
    EXPECT_EQ(message.find("1073741824"), std::string::npos);
}

TEST_F(AllocReport, ArraysGoThroughTheSameReport) {
    const std::string message = refuse(4096, true);
    EXPECT_EQ(g_lineCount.load(), 4);
    EXPECT_NE(message.find("4096 bytes requested"), std::string::npos);
}

TEST_F(AllocReport, NotAStandardException) {
    g_refuseSize = 64;
    bool standard = false, text = false;
    try {
        try {
            (void)::operator new(64);
        } catch (const std::exception&) {
            standard = true;
        }
    } catch (const char*) {
        text = true;
    }
    EXPECT_FALSE(standard);
    EXPECT_TRUE(text);
}

TEST_F(AllocReport, MessageOutlivesTheThrowAndUsesNoHeapBlock) {
    g_refuseSize = 100;
    const char* kept = nullptr;
    try {
        (void)::operator new(100);
    } catch (char* message) {
        kept = message;
    }
    g_refuseSize = SIZE_MAX;
    ASSERT_NE(kept, nullptr);
    // Heap traffic after the handler leaves the text alone: it is the thread's
    // own fixed buffer, not a heap block.
    std::vector<std::string> churn;
    for (int i = 0; i < 1000; ++i) churn.emplace_back(200, 'c');
    EXPECT_EQ(kept, lastAllocationFailureMessage());
    EXPECT_EQ(std::strncmp(kept, "Memory allocation failure; 100 bytes", 36), 0);
}

TEST_F(AllocReport, EachThreadHasItsOwnMessage) {
    // Two threads alive at once, each failing in turn: the second failure must
    // not overwrite the first thread's text.
    std::string firstAfter, secondText;
    std::atomic<int> stage{0};
    g_refuseLow = 300;
    g_refuseHigh = 500;
    std::thread a([&] {
        const char* mine = nullptr;
        try {
            (void)::operator new(333);
        } catch (char* message) {
            mine = message;
        }
        stage = 1;
        while (stage.load() != 2) std::this_thread::yield();
        firstAfter = mine ? mine : "";
    });
    std::thread b([&] {
        while (stage.load() != 1) std::this_thread::yield();
        try {
            (void)::operator new(444);
        } catch (char* message) {
            secondText = message;
        }
        stage = 2;
    });
    a.join();
    b.join();
    g_refuseLow = g_refuseHigh = 0;
    EXPECT_NE(firstAfter.find("; 333 bytes requested;"), std::string::npos) << firstAfter;
    EXPECT_NE(secondText.find("; 444 bytes requested;"), std::string::npos) << secondText;
}

TEST_F(AllocReport, NothrowFormsReturnNull) {
    g_refuseSize = 128;
    void* p = ::operator new(128, std::nothrow);
    void* q = ::operator new[](128, std::nothrow);
    g_refuseSize = SIZE_MAX;
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(q, nullptr);
    EXPECT_EQ(g_lineCount.load(), 0);
}

TEST_F(AllocReport, AlignedFormsAlign) {
    struct alignas(128) Wide {
        char bytes[128];
    };
    Wide* w = new Wide;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(w) % 128, 0u);
    delete w;
    Wide* many = new Wide[3];
    EXPECT_EQ(reinterpret_cast<uintptr_t>(many) % 128, 0u);
    delete[] many;
}

TEST_F(AllocReport, DefaultHeapFiguresComeFromTheCLibrary) {
    setHeapInspector(nullptr);
    EXPECT_EQ(&heapInspector(), &defaultHeapInspector());
    const HeapInspector& heap = heapInspector();
    EXPECT_TRUE(heap.isSound());
    const FreeHeapFigures f = getFreeHeapMemory();
    EXPECT_EQ(f.status, HEAP_END);
    EXPECT_EQ(g_lineCount.load(), 3);
    EXPECT_LE(f.freeBytes, heap.totalBytes() + 1);  // free bytes lie within the heap
}

// Naming a plugin copies the name before freeing the old one: a refused copy
// leaves the old name in place.
TEST_F(AllocReport, PluginNameSurvivesARefusedCopy) {
    class Named : public Plugin {};
    Named plugin;
    plugin.setPluginName("original");
    g_refuseSize = std::strlen("replacement") + 1;
    bool thrown = false;
    try {
        plugin.setPluginName("replacement");
    } catch (char*) {
        thrown = true;
    }
    g_refuseSize = SIZE_MAX;
    EXPECT_TRUE(thrown);
    EXPECT_STREQ(plugin.getPluginName(), "original");
}

TEST_F(AllocReport, RefusedInterfaceEntryLeavesTheListIntact) {
    struct Iface : PluginInterface {
        ZUtils::InterfaceID getInterfaceID() const override { return 3; }
        PluginBase* getPlugin() override { return nullptr; }
    };
    class Bare : public Plugin {};
    Bare plugin;
    Iface a, b;
    plugin.addInterface(&a, 0);
    g_refuseSize = sizeof(void*) * 3;  // one interface entry
    bool thrown = false;
    try {
        plugin.addInterface(&b, 0);
    } catch (char*) {
        thrown = true;
    }
    g_refuseSize = SIZE_MAX;
    EXPECT_TRUE(thrown);
    EXPECT_EQ(plugin.getInterface(3), &a);
}
