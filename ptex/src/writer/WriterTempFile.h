#ifndef PtexWriterTempFile_h
#define PtexWriterTempFile_h
// Anonymous scratch file for face blocks waiting to be assembled into a file.
//
// Contract: create() makes a unique file in the temporary directory (TEMP, else
// TMP, else /tmp) and unlinks it at once, so it vanishes with the process even
// after a crash; on failure it returns false with "Error creating temp file:
// PATH\nREASON". append() writes at the end and reports the block's offset;
// readAt() reads back exactly `size` bytes. The file is closed by the destructor.
#include <cstdint>
#include <cstdio>
#include <string>

namespace PtexWriterInternal {

class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool create(std::string& error);
    bool isOpen() const { return _fp != nullptr; }
    bool append(const void* data, size_t size, uint64_t& offset);
    bool readAt(uint64_t offset, void* data, size_t size);

    // The directory scratch files go into (TEMP, TMP, or /tmp).
    static std::string directory();

private:
    FILE* _fp = nullptr;
    uint64_t _end = 0;
};

}  // namespace PtexWriterInternal

#endif
