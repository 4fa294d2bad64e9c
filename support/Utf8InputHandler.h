#pragma once
// The Ptex input handler of the shared cache: opens files named by UTF-8 byte strings.
//
// class Utf8InputHandler : public PtexInputHandler
//   Utf8InputHandler(OpenMode mode = OpenMode::Native)
//     Native: the path bytes go unchanged to the platform's byte-string open (Linux), so
//       every name, invalid UTF-8 included, opens exactly the file it names.
//     Wide: the name goes through utf8Open (UTF-16 conversion and the wide-character
//       open), the form used on platforms whose file calls take wide names. On Windows
//       Native behaves as Wide.
//   open(path): opens for binary reading ("rb"); null on failure, lastError() says why.
//   seek(handle, pos): absolute position from the start of the file, 64-bit.
//   read(buffer, size, handle): all or nothing, reads size bytes as one block and
//     returns size, or 0 when fewer came.
//   close(handle): false when closing reported an error (or for a null handle).
//   lastError(): the platform's text for the current error number, kept per thread.
//   fileStamp(handle, size, mtimeNs): the open file's size and modification time, so
//     the cache can tell on reopen that the file is still the one it first read.
//   One handler may serve several threads at once on different handles.
//
// PtexInputHandler* sharedUtf8InputHandler()
//   The process-wide handler (Native mode) that the plugin gives to its shared cache.
//   It lives until the process ends, so it outlives every cache made with it.

#include "Ptexture.h"

class Utf8InputHandler : public PtexInputHandler {
public:
    enum class OpenMode { Native, Wide };

    explicit Utf8InputHandler(OpenMode mode = OpenMode::Native) : mode_(mode) {}
    ~Utf8InputHandler() override = default;

    Handle open(const char* path) override;
    void seek(Handle handle, int64_t pos) override;
    size_t read(void* buffer, size_t size, Handle handle) override;
    bool close(Handle handle) override;
    const char* lastError() override;
    bool fileStamp(Handle handle, uint64_t& size, int64_t& mtimeNs) override;

    OpenMode mode() const { return mode_; }

private:
    OpenMode mode_;
};

PtexInputHandler* sharedUtf8InputHandler();
