// Default input handler over stdio.
#include "PtexDefaultIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>

namespace PtexInternal {

namespace {
thread_local std::string t_lastError;

void setErrno(int err) {
    char buf[256];
    // GNU strerror_r returns the message pointer (maybe not buf)
    const char* msg = strerror_r(err, buf, sizeof(buf));
    t_lastError = msg ? msg : "unknown error";
}

// A stdio file with a buffer of its own: glibc keeps the size asked of setvbuf
// only for a supplied buffer (it otherwise allocates one sized by an fstat of
// the file, a system call per open).
struct File {
    FILE* fp = nullptr;
    char buf[8192];
};

FILE* fileOf(PtexInputHandler::Handle handle) {
    return static_cast<File*>(handle)->fp;
}
}  // namespace

PtexInputHandler::Handle DefaultInputHandler::open(const char* path) {
    File* f = new (std::nothrow) File;
    if (!f) {
        setErrno(ENOMEM);
        return nullptr;
    }
    f->fp = std::fopen(path, "rb");
    if (!f->fp) {
        const int err = errno;
        delete f;
        setErrno(err);
        return nullptr;
    }
    std::setvbuf(f->fp, f->buf, _IOFBF, sizeof(f->buf));
    return f;
}

void DefaultInputHandler::seek(Handle handle, int64_t pos) {
    if (handle) fseeko(fileOf(handle), off_t(pos), SEEK_SET);
}

size_t DefaultInputHandler::read(void* buffer, size_t size, Handle handle) {
    if (!handle) return 0;
    if (size == 0) return 0;
    size_t n = std::fread(buffer, size, 1, fileOf(handle));
    if (n != 1) {
        if (std::ferror(fileOf(handle)))
            setErrno(errno);
        else
            t_lastError = "unexpected end of file";
        return 0;
    }
    return size;
}

bool DefaultInputHandler::close(Handle handle) {
    if (!handle) return false;
    File* f = static_cast<File*>(handle);
    const bool ok = std::fclose(f->fp) == 0;
    const int err = errno;
    delete f;  // after fclose: the stream used the buffer until then
    if (!ok) setErrno(err);
    return ok;
}

bool DefaultInputHandler::fileStamp(Handle handle, uint64_t& size, int64_t& mtimeNs) {
    struct stat st;
    if (!handle || ::fstat(fileno(fileOf(handle)), &st) != 0) return false;
    size = uint64_t(st.st_size);
    mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
    return true;
}

const char* DefaultInputHandler::lastError() {
    return t_lastError.c_str();
}

DefaultInputHandler& DefaultInputHandler::instance() {
    static DefaultInputHandler handler;
    return handler;
}

}  // namespace PtexInternal
