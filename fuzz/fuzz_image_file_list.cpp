// Fuzz target: the image file list reader.
// Input: 1 byte of end condition, 4 bytes of start frame, 4 bytes of playback rate,
// then the text of a list file. The list is written into a scratch directory that
// holds a few entry files and nested lists, loaded, and asked for several frames.
// Checks: every answer is null or one of the list's names; the frame/index invariant
// holds; a second load of the same path answers from memory with the same outcome.
#include "sequence/ImageFileList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void writeFile(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// Kept in static storage without a destructor: the exit handler still needs it.
char scratchDir[64];

const std::string& scratch() {
    static const std::string dir = [] {
        std::strcpy(scratchDir, "/tmp/zt-fuzz-ifl-XXXXXX");
        if (!::mkdtemp(scratchDir)) std::abort();
        const std::string d = scratchDir;
        const std::string sub = d + "/sub";
        ::mkdir(sub.c_str(), 0700);
        for (const char* name : {"/a.ptx", "/b.ptx", "/c d.ptx", "/sub/e.ptx"})
            writeFile(d + name, "x", 1);
        const char nested[] = "a.ptx 2\nb.ptx\nlist.ifl\nnested.ifl\n";
        writeFile(d + "/nested.ifl", nested, sizeof nested - 1);
        const std::string deep = "sub/e.ptx 3 ; deep\r\n" + d + "/nested.ifl\n";
        writeFile(d + "/sub/deep.IFL", deep.data(), deep.size());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir, ignored);
        });
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    const std::string path = scratch() + "/list.ifl";
    writeFile(path, data + 9, size - 9);

    ImageFileList list;
    FrameStepping stepping;
    stepping.endCondition = static_cast<int8_t>(data[0]) % 4;
    std::memcpy(&stepping.startFrame, data + 1, 4);
    std::memcpy(&stepping.playbackRate, data + 5, 4);

    const bool loaded = list.loadList(path.c_str(), nullptr);
    for (int32_t index : list.frames)
        require(index >= 0 && static_cast<size_t>(index) < list.fileNames.size());
    for (int frame : {-1000000, -7, -1, 0, 1, 2, 3, 50, 2147483647, -2147483647 - 1}) {
        const char* name = list.getFrameFileName(frame, stepping);
        if (!name) continue;
        bool known = false;
        for (const auto& entry : list.fileNames) known = known || entry.ptr() == name;
        require(known);
    }
    require(list.loadList(path.c_str(), nullptr) == loaded);
    list.clearList();
    list.resetList();
    require(list.frames.empty() && list.fileNames.empty() && !list.loaded);
    return 0;
}
