// The shared input handler serves several threads at once on different handles.
#include "support/Utf8InputHandler.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Utf8InputHandlerThreads, ConcurrentOpensReadsAndErrors)
{
    char templ[] = "/tmp/zt-utf8thr-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    const std::string dir = templ;
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) {
        names.push_back(dir + "/f\xE9" + std::to_string(i) + "\xC3\xA9.bin");
        std::ofstream(names.back(), std::ios::binary) << std::string(3000, char('a' + i));
    }
    PtexInputHandler* handler = sharedUtf8InputHandler();
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            char buffer[1000];
            for (int round = 0; round < 200; ++round) {
                const size_t which = (t + round) % names.size();
                const std::string& name = names[which];
                PtexInputHandler::Handle handle = handler->open(name.c_str());
                if (!handle) {
                    ++faults;
                    continue;
                }
                handler->seek(handle, 1000 + round);
                if (handler->read(buffer, sizeof buffer, handle) != sizeof buffer ||
                    buffer[0] != char('a' + which) || buffer[sizeof buffer - 1] != char('a' + which))
                    ++faults;
                if (!handler->close(handle)) ++faults;
                if (handler->open((name + ".missing").c_str()) != nullptr) ++faults;
                if (std::strcmp(handler->lastError(), std::strerror(ENOENT)) != 0) ++faults;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(faults.load(), 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
