#ifndef PtexDefaultIO_h
#define PtexDefaultIO_h
// The default input handler: stdio files with an 8 KiB buffer, positioned with
// fseeko, read all-or-nothing. Stateless apart from the per-thread error text,
// so one instance serves every texture and thread.
#include "Ptexture.h"

namespace PtexInternal {

class DefaultInputHandler : public PtexInputHandler {
public:
    Handle open(const char* path) override;
    void seek(Handle handle, int64_t pos) override;
    size_t read(void* buffer, size_t size, Handle handle) override;
    bool close(Handle handle) override;
    const char* lastError() override;
    bool fileStamp(Handle handle, uint64_t& size, int64_t& mtimeNs) override;

    /// The shared instance used by readers without a handler of their own.
    static DefaultInputHandler& instance();
};

}  // namespace PtexInternal

#endif
