// The module's operator new: the report of a refused request, the other forms,
// and the bounded formatting of its lines. Refusals are forced through the
// allocation hook, never by exhausting memory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "support/alloc_heap.h"
#include "zento/Plugin.h"

namespace {

char g_lines[16][DEBUG_OUTPUT_BUFFER_SIZE];  // debugger lines, kept without allocating
std::atomic<int> g_lineCount{0};
void recordLine(const char* text) {
    const int i = g_lineCount.fetch_add(1);
    if (i < 16) std::snprintf(g_lines[i], sizeof g_lines[0], "%s", text);
}

std::atomic<size_t> g_refuse{SIZE_MAX};  // requests of this size are refused
void* volatile g_block = nullptr;  // where a request lands, so that it is never optimised away
void* refusingAllocate(size_t size) {
    return size == g_refuse.load() ? nullptr : std::malloc(size);
}

// Runs `call` with requests of `size` bytes refused; returns the thrown text
// (null: nothing thrown). Anything else thrown fails the test.
template <class Call>
const char* refused(size_t size, Call&& call) {
    g_refuse = size;
    const char* text = nullptr;
    try {
        call();
    } catch (char* message) {
        text = message;
    }
    g_refuse = SIZE_MAX;
    return text;
}

uint64_t fixedTotal() {
    return 7000000000ull;
}  // beyond 32 bits on purpose
FreeHeapFigures fixedFree() {
    return FreeHeapFigures{6000000000ull, 12, HEAP_END};
}
FreeHeapFigures badWalk() {
    return FreeHeapFigures{0, 0, HEAP_BADNODE};
}
bool sound() {
    return true;
}
bool damaged() {
    return false;
}
const HeapInspector kSoundHeap{&fixedTotal, &fixedFree, &sound};
const HeapInspector kDamagedHeap{&fixedTotal, &badWalk, &damaged};

class AllocReport : public testing::Test {
protected:
    void SetUp() override { g_lineCount = 0; }
    ~AllocReport() override {
        setAllocateFunction(alloc_);
        setDebugOutputSink(sink_);
        setHeapInspector(heap_);
    }
    const DebugOutputSink sink_ = setDebugOutputSink(&recordLine);
    const AllocateFunction alloc_ = setAllocateFunction(&refusingAllocate);
    const HeapInspector* const heap_ = setHeapInspector(&kSoundHeap);
};

}  // namespace

TEST_F(AllocReport, RefusalWritesFourLinesAndThrowsTheMessageText) {
    const char* sound = "7000000000 bytes already in heap; 6000000000 bytes free heap space.";
    // {heap, size, new[], heap status, blocks visited, the message after the size}
    const std::tuple<const HeapInspector*, size_t, bool, int, int, const char*> cases[] = {
        {&kSoundHeap, 100, false, -5, 12, sound},
        {&kDamagedHeap, 100, false, -4, 0,
         "7000000000 bytes already in heap; 0 bytes free heap space. Heap is reported damaged.\n"},
        {&kSoundHeap, 5368709120ull, false, -5, 12,
         sound},  // its low 32 bits would read 1073741824
        {&kSoundHeap, 4096, true, -5, 12, sound}};
    for (const auto& [heap, size, array, status, blocks, rest] : cases) {
        SCOPED_TRACE(size);
        g_lineCount = 0;
        setHeapInspector(heap);
        const char* text =
            refused(size, [&] { g_block = array ? ::operator new[](size) : ::operator new(size); });
        EXPECT_EQ(text ? text : "", "Memory allocation failure; " + std::to_string(size) +
                                        " bytes requested; " + rest);
        ASSERT_EQ(g_lineCount.load(), 4);
        EXPECT_EQ(g_lines[0], "[operator new] failed (size is " + std::to_string(size) + ")\n");
        EXPECT_STREQ(g_lines[1], "[getFreeHeapMemory] Getting free heap memory.\n");
        EXPECT_EQ(g_lines[2], "[getFreeHeapMemory] heapstatus=" + std::to_string(status) + "\n");
        EXPECT_EQ(g_lines[3],
                  "[getFreeHeapMemory] Number of blocks visited: " + std::to_string(blocks) + "\n");
    }
}

TEST_F(AllocReport, MessageIsTheThreadsOwnBufferAndOutlivesTheThrow) {
    const char* kept = refused(100, [] { g_block = ::operator new(100); });
    ASSERT_NE(kept, nullptr);
    std::vector<std::string> churn;  // heap traffic after the handler leaves the text alone
    for (int i = 0; i < 1000; ++i) churn.emplace_back(200, 'c');
    EXPECT_EQ(kept, lastAllocationFailureMessage());
    EXPECT_STREQ(
        kept,
        "Memory allocation failure; 100 bytes requested; 7000000000 bytes already in heap; "
        "6000000000 bytes free heap space.");
    // Two threads alive at once, failing in turn: the second must not overwrite the first's text.
    std::string first, second;
    std::atomic<int> stage{0};
    std::thread a([&] {
        const char* mine = refused(333, [] { g_block = ::operator new(333); });
        stage = 1;
        while (stage.load() != 2) std::this_thread::yield();
        first = mine ? mine : "";
    });
    std::thread b([&] {
        while (stage.load() != 1) std::this_thread::yield();
        if (const char* text = refused(444, [] { g_block = ::operator new(444); })) second = text;
        stage = 2;
    });
    a.join();
    b.join();
    EXPECT_NE(first.find("; 333 bytes requested;"), std::string::npos) << first;
    EXPECT_NE(second.find("; 444 bytes requested;"), std::string::npos) << second;
}

TEST_F(AllocReport, AlignedFormsAndTheAbsorbingFormReportThenAnswerNull) {
    struct alignas(128) Wide {
        char bytes[128];
    };
    Wide* many = new Wide[3];
    EXPECT_EQ(reinterpret_cast<uintptr_t>(many) % 128, 0u);
    delete[] many;
    EXPECT_EQ(g_lineCount.load(), 0);
    g_refuse = 128;
    EXPECT_EQ(::operator new(128, std::nothrow), nullptr);
    EXPECT_EQ(g_lineCount.load(), 4);  // the whole report, without the throw
    EXPECT_STREQ(g_lines[0], "[operator new] failed (size is 128)\n");
    EXPECT_EQ(
        std::string(lastAllocationFailureMessage()).rfind("Memory allocation failure; 128 ", 0),
        0u);
    g_block = new (std::nothrow) char[128];
    EXPECT_EQ(g_block, nullptr);
    EXPECT_EQ(g_lineCount.load(), 8);
    g_refuse = SIZE_MAX;
    g_lineCount = 0;

    setHeapInspector(nullptr);  // the C library's figures
    EXPECT_EQ(&heapInspector(), &defaultHeapInspector());
    const FreeHeapFigures f = getFreeHeapMemory();
    EXPECT_EQ(f.status, HEAP_END);
    EXPECT_EQ(g_lineCount.load(), 3);
    EXPECT_LE(f.freeBytes, heapInspector().totalBytes() + 1);
}

// A refused copy leaves the plugin as it was: the old name, the old list.
TEST_F(AllocReport, RefusedCopiesLeavePluginStateIntact) {
    struct Iface : PluginInterface {
        ZUtils::InterfaceID getInterfaceID() const override { return 3; }
        PluginBase* getPlugin() override { return nullptr; }
    };
    struct : Plugin {
    } plugin;
    Iface a, b;
    plugin.setPluginName("original");
    plugin.addInterface(&a, 0);
    EXPECT_NE(refused(std::strlen("replacement") + 1, [&] { plugin.setPluginName("replacement"); }),
              nullptr);
    EXPECT_NE(refused(sizeof(void*) * 3, [&] { plugin.addInterface(&b, 0); }),
              nullptr);  // one list entry
    EXPECT_STREQ(plugin.getPluginName(), "original");
    EXPECT_EQ(plugin.getInterface(3), &a);
}

TEST(BoundedSprintf, CutsTerminatesAndNeverWritesBeyondTheSize) {
    // {size, text, result, what is written (null: nothing)}
    const std::tuple<int, const char*, int, const char*> cases[] = {
        {0, "xyz", 0, nullptr},     {-3, "xyz", 0, nullptr}, {6, "12345", 5, "12345"},
        {6, "123456", -1, "12345"}, {1, "a", -1, ""},        {1, "", 0, ""}};
    for (const auto& [size, text, result, written] : cases) {
        char b[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
        EXPECT_EQ(boundedSprintf(b, size, "%s", text), result) << size << " " << text;
        const size_t n = written ? std::strlen(written) + 1 : 0;
        EXPECT_EQ(std::string(b, 8),
                  (written ? std::string(written, n) : "") + std::string("abcdefgh").substr(n));
    }
    EXPECT_EQ(boundedSprintf(nullptr, 10, "%s", "xyz"), 0);
    char b[8] = "keep";
    EXPECT_EQ(boundedVsprintf(b, 8, nullptr, nullptr), -1);
    EXPECT_STREQ(b, "");
}
