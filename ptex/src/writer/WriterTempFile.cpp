// Anonymous scratch file (see WriterTempFile.h).
#include "WriterTempFile.h"

#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace PtexWriterInternal {

TempFile::~TempFile() {
    if (_fp) fclose(_fp);
}

std::string TempFile::directory() {
    for (const char* var : {"TEMP", "TMP"}) {
        const char* dir = getenv(var);
        if (dir && *dir) return dir;
    }
    return "/tmp";
}

bool TempFile::create(std::string& error) {
    std::string pattern = directory() + "/PtexTmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "Error creating temp file: " + pattern + "\n" + strerror(errno);
        return false;
    }
    unlink(name.data());
    _fp = fdopen(fd, "w+b");
    if (!_fp) {
        error = std::string("Error creating temp file: ") + name.data() + "\n" + strerror(errno);
        close(fd);
        return false;
    }
    _end = 0;
    return true;
}

bool TempFile::append(const void* data, size_t size, uint64_t& offset) {
    if (!_fp) return false;
    if (fseeko(_fp, off_t(_end), SEEK_SET) != 0) return false;
    if (size && fwrite(data, size, 1, _fp) != 1) return false;
    offset = _end;
    _end += size;
    return true;
}

bool TempFile::readAt(uint64_t offset, void* data, size_t size) {
    if (!_fp || offset + size > _end) return false;
    if (size == 0) return true;
    if (fseeko(_fp, off_t(offset), SEEK_SET) != 0) return false;
    return fread(data, size, 1, _fp) == 1;
}

}  // namespace PtexWriterInternal
