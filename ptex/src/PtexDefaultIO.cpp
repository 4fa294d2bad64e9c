// Default input handler over stdio.
#include "PtexDefaultIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace PtexInternal {

namespace {
thread_local std::string t_lastError;

void setErrno()
{
    char buf[256];
    // GNU strerror_r returns the message pointer (maybe not buf)
    const char* msg = strerror_r(errno, buf, sizeof(buf));
    t_lastError = msg ? msg : "unknown error";
}
}  // namespace

PtexInputHandler::Handle DefaultInputHandler::open(const char* path)
{
    FILE* fp = std::fopen(path, "rb");
    if (!fp) {
        setErrno();
        return nullptr;
    }
    std::setvbuf(fp, nullptr, _IOFBF, 8192);
    return fp;
}

void DefaultInputHandler::seek(Handle handle, int64_t pos)
{
    if (handle) fseeko(static_cast<FILE*>(handle), off_t(pos), SEEK_SET);
}

size_t DefaultInputHandler::read(void* buffer, size_t size, Handle handle)
{
    if (!handle) return 0;
    if (size == 0) return 0;
    size_t n = std::fread(buffer, size, 1, static_cast<FILE*>(handle));
    if (n != 1) {
        if (std::ferror(static_cast<FILE*>(handle))) setErrno();
        else t_lastError = "unexpected end of file";
        return 0;
    }
    return size;
}

bool DefaultInputHandler::close(Handle handle)
{
    if (!handle) return false;
    bool ok = std::fclose(static_cast<FILE*>(handle)) == 0;
    if (!ok) setErrno();
    return ok;
}

const char* DefaultInputHandler::lastError() { return t_lastError.c_str(); }

DefaultInputHandler& DefaultInputHandler::instance()
{
    static DefaultInputHandler handler;
    return handler;
}

}  // namespace PtexInternal
