// Asset lookup: the path as given, then below each search directory.
#include "zento/AssetPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "zento/ProgressCallback.h"

namespace ZUtils {

namespace {

std::mutex& searchMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& searchPaths() {
    static std::vector<std::string> paths;
    return paths;
}

bool isReadableFile(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::access(path, R_OK) == 0;
}

// Writes `candidate` over `path` when it fits with its NUL.
bool takeIfFits(char* path, int size, const std::string& candidate) {
    if (candidate.size() + 1 > static_cast<size_t>(size)) return false;
    std::memcpy(path, candidate.c_str(), candidate.size() + 1);
    return true;
}

}  // namespace

bool checkAssetPath(char* path, int size, ProgressCallback* progress, bool reportMissing) {
    if (!path || size <= 0) return false;
    const size_t length = strnlen(path, static_cast<size_t>(size));
    if (length == static_cast<size_t>(size)) return false;  // not terminated within size
    if (length == 0) return false;
    if (isReadableFile(path)) return true;

    const std::string given(path, length);
    const size_t slash = given.find_last_of('/');
    const std::string base = slash == std::string::npos ? given : given.substr(slash + 1);
    std::vector<std::string> dirs;
    {
        std::lock_guard<std::mutex> lock(searchMutex());
        dirs = searchPaths();
    }
    for (const std::string& dir : dirs) {
        std::string prefix = dir;
        if (!prefix.empty() && prefix.back() != '/') prefix += '/';
        if (given[0] != '/') {
            const std::string candidate = prefix + given;
            if (isReadableFile(candidate.c_str()) && takeIfFits(path, size, candidate)) return true;
        }
        if (!base.empty()) {
            const std::string candidate = prefix + base;
            if (isReadableFile(candidate.c_str()) && takeIfFits(path, size, candidate)) return true;
        }
    }
    if (reportMissing && progress) progress->warning("Asset not found: %s", given.c_str());
    return false;
}

void addAssetSearchPath(const char* directory) {
    if (!directory || !*directory) return;
    std::lock_guard<std::mutex> lock(searchMutex());
    searchPaths().emplace_back(directory);
}

void clearAssetSearchPaths() {
    std::lock_guard<std::mutex> lock(searchMutex());
    searchPaths().clear();
}

int numAssetSearchPaths() {
    std::lock_guard<std::mutex> lock(searchMutex());
    return static_cast<int>(searchPaths().size());
}

}  // namespace ZUtils
