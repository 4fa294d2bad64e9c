#include "support/Utf8InputHandler.h"

#include "support/Utf8Open.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <sys/stat.h>

namespace {

FILE* asFile(PtexInputHandler::Handle handle) {
    return static_cast<FILE*>(handle);
}

}  // namespace

PtexInputHandler::Handle Utf8InputHandler::open(const char* path) {
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
#ifdef _WIN32
    FILE* file = utf8Open(path, "rb");
#else
    FILE* file = mode_ == OpenMode::Wide ? utf8Open(path, "rb") : std::fopen(path, "rb");
#endif
    // The reader fetches small headers and pieces of at most 16 KiB; an 8 KiB buffer
    // matches what the library's own handler uses.
    if (file) std::setvbuf(file, nullptr, _IOFBF, 8192);
    return file;
}

void Utf8InputHandler::seek(Handle handle, int64_t pos) {
    if (!handle) return;
#ifdef _WIN32
    _fseeki64(asFile(handle), pos, SEEK_SET);
#else
    fseeko(asFile(handle), static_cast<off_t>(pos), SEEK_SET);
#endif
}

size_t Utf8InputHandler::read(void* buffer, size_t size, Handle handle) {
    if (!handle || !buffer || size == 0) return 0;
    return std::fread(buffer, size, 1, asFile(handle)) == 1 ? size : 0;
}

bool Utf8InputHandler::close(Handle handle) {
    if (!handle) return false;
    return std::fclose(asFile(handle)) == 0;
}

bool Utf8InputHandler::fileStamp(Handle handle, uint64_t& size, int64_t& mtimeNs) {
    if (!handle) return false;
#ifdef _WIN32
    struct _stat64 st;
    if (_fstat64(_fileno(asFile(handle)), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    mtimeNs = static_cast<int64_t>(st.st_mtime) * 1000000000;
#else
    struct stat st;
    if (::fstat(fileno(asFile(handle)), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    return true;
}

const char* Utf8InputHandler::lastError() {
    // Per thread, so concurrent failures on other threads cannot change the text.
    thread_local char text[256];
    const int error = errno;
#if defined(_WIN32)
    strerror_s(text, sizeof text, error);
    return text;
#elif defined(_GNU_SOURCE)
    return strerror_r(error, text, sizeof text);
#else
    if (strerror_r(error, text, sizeof text) != 0)
        std::snprintf(text, sizeof text, "error %d", error);
    return text;
#endif
}

PtexInputHandler* sharedUtf8InputHandler() {
    // Built in static storage and never destroyed: a cache released during exit may
    // still close its files through it.
    alignas(Utf8InputHandler) static unsigned char storage[sizeof(Utf8InputHandler)];
    static Utf8InputHandler* handler = new (storage) Utf8InputHandler();
    return handler;
}
