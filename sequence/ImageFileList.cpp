#include "sequence/ImageFileList.h"

#include "zento/ProgressCallback.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Appends count copies; when there is no room the capacity becomes the new element
// count rounded up to the next multiple of the step (a multiple gets one more step).
template <class T>
void appendGrowing(std::vector<T>& list, const T& value, size_t count) {
    const size_t newCount = list.size() + count;
    if (newCount > list.capacity())
        list.reserve((newCount / ImageFileList::kGrowStep + 1) * ImageFileList::kGrowStep);
    list.insert(list.end(), count, value);
}

// Reads one line into line (size bytes with its NUL), keeping at most size - 1
// characters and skipping the rest of a longer line. False when nothing was left.
bool readLine(FILE* file, char* line, int size) {
    int length = 0;
    bool any = false;
    int c;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (length < size - 1) line[length++] = static_cast<char>(c);
    }
    line[length] = 0;
    return any;
}

bool canRead(const char* path) {
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    std::fclose(file);
    return true;
}

void copyPath(char* destination, const char* source) {
    std::snprintf(destination, ImageFileList::kPathSize, "%s", source);
}

// Repeat count at the end of the line (cut off there); 1 when there is none.
int takeRepeatCount(char* line) {
    int i = static_cast<int>(std::strlen(line)) - 1;
    while (i >= 1 && isBlank(line[i])) --i;
    const int digitsEnd = i;
    while (i >= 1 && isDigit(line[i])) --i;
    if (i == digitsEnd || i < 1 || !isBlank(line[i])) return 1;
    // Saturate while reading: any count past the limit counts as the limit.
    int count = 0;
    for (int k = i + 1; k <= digitsEnd; ++k) {
        count = count * 10 + (line[k] - '0');
        if (count > ImageFileList::kMaxRepeat) {
            count = ImageFileList::kMaxRepeat;
            break;
        }
    }
    line[i] = 0;
    return count;
}

}  // namespace

bool isImageFileList(const char* path) {
    if (!path || !*path) return false;
    const char* dot = std::strrchr(path, '.');
    if (!dot) return false;
    return asciiLower(dot[1]) == 'i' && asciiLower(dot[2]) == 'f' && asciiLower(dot[3]) == 'l';
}

ImageFileList::~ImageFileList() {
    clearList();
}

void ImageFileList::emptyLists(bool releaseStorage) {
    if (releaseStorage) {
        std::vector<int32_t>().swap(frames);
        std::vector<ZUtils::CharString>().swap(fileNames);
    } else {
        frames.clear();
        fileNames.clear();
    }
}

void ImageFileList::clearList() {
    if (!loaded) return;
    loaded = false;
    std::memset(listPath, 0, sizeof listPath);
    dirLength = -1;
    emptyLists(true);
}

void ImageFileList::resetList() {
    clearList();
    std::memset(listPath, 0, sizeof listPath);
    dirLength = -1;
    emptyLists(true);
}

bool ImageFileList::loadList(const char* path, ZUtils::ProgressCallback* progress) {
    if (!path) path = "";
    if (listPath[0] && std::strcmp(path, listPath) == 0) {
        if (loaded) return true;
        if (progress) progress->warning("Image file list \"%s\" failed to load.", path);
        return false;
    }

    clearList();
    emptyLists(true);
    dirLength = -1;
    readLists_.clear();
    indexOf_.clear();
    std::memset(errorText_, 0, sizeof errorText_);

    loaded = parseListFile(*this, path, 0);

    if (progress) {
        if (loaded)
            progress->verbose("Image file list \"%s\" loaded.\n", path);
        else
            progress->warning("Image file list \"%s\" failed to load: %s\n", path, errorText_);
    }
    std::set<std::string>().swap(readLists_);
    std::unordered_map<std::string, int32_t>().swap(indexOf_);
    return loaded;
}

void ImageFileList::failOpen(const char* path, bool included) {
    if (included)
        std::snprintf(errorText_, sizeof errorText_, "Error opening included file \"%s\"", path);
    else
        std::snprintf(errorText_, sizeof errorText_, "Error opening file");
}

bool ImageFileList::parseListFile(ImageFileList& current, const char* path, int depth) {
    if (!path) path = "";
    if (!readLists_.insert(path).second) return true;
    copyPath(current.listPath, path);
    current.dirLength = -1;

    if (depth >= kMaxListDepth) {
        failOpen(path, true);
        return false;
    }
    FILE* file = std::fopen(path, "r");
    if (!file) {
        failOpen(path, depth > 0);
        return false;
    }
    // Heap line buffer: nested lists recurse and the stack should stay small.
    std::unique_ptr<char[]> line(new char[kLineSize]);
    bool ok = true;
    while (ok && readLine(file, line.get(), kLineSize)) ok = parseLine(current, line.get(), depth);
    std::fclose(file);
    return ok;
}

bool ImageFileList::parseLine(ImageFileList& current, char* line, int depth) {
    line[std::strcspn(line, ";\r\n")] = 0;

    const int count = takeRepeatCount(line);
    if (count == 0) return true;

    char* begin = line;
    while (isBlank(*begin)) ++begin;
    char* end = begin + std::strlen(begin);
    while (end > begin && isBlank(end[-1])) --end;
    *end = 0;
    if (begin == end) return true;

    std::string path;
    if (!std::strpbrk(begin, "/\\")) path.assign(current.listPath, getDirLength(current));
    path += begin;

    if (!canRead(path.c_str())) {
        failOpen(path.c_str(), true);
        return false;
    }
    if (isImageFileList(path.c_str())) {
        auto nested = std::make_unique<ImageFileList>();
        return parseListFile(*nested, path.c_str(), depth + 1);
    }

    auto [slot, isNew] = indexOf_.try_emplace(path, static_cast<int32_t>(fileNames.size()));
    if (isNew) appendGrowing(fileNames, ZUtils::CharString(path.c_str()), 1);
    appendGrowing(frames, slot->second, static_cast<size_t>(count));
    return true;
}

int ImageFileList::getDirLength(ImageFileList& current) {
    if (current.dirLength >= 0) return current.dirLength;
    int length = 0;
    for (int i = 0; i < kPathSize && current.listPath[i]; ++i)
        if (current.listPath[i] == '/' || current.listPath[i] == '\\') length = i + 1;
    current.dirLength = length;
    return length;
}

const char* ImageFileList::getFrameFileName(int frame, const FrameStepping& stepping) const {
    const int32_t startFrame = stepping.startFrame, endCondition = stepping.endCondition;
    const float playbackRate = stepping.playbackRate;
    const int64_t n = static_cast<int64_t>(frames.size());
    if (n == 0 || endCondition < 0 || endCondition > 2) return nullptr;

    // The difference wraps as 32-bit arithmetic does; the product is held in range.
    const int32_t offset =
        static_cast<int32_t>(static_cast<uint32_t>(frame) - static_cast<uint32_t>(startFrame));
    const float product = static_cast<float>(offset) * playbackRate;
    int64_t t;
    if (std::isnan(product))
        t = 0;
    else if (product >= 2147483648.0f)
        t = INT32_MAX;
    else if (product < -2147483648.0f)
        t = INT32_MIN;
    else
        t = static_cast<int32_t>(product);

    int64_t i = 0;
    if (endCondition == 2) {
        i = t <= 0 ? 0 : (t >= n ? n - 1 : t);
    } else {
        i = t % n;
        if (i < 0) i += n;
        if (endCondition == 1) {
            const bool mirror = t >= 0 ? ((t / n) % 2 == 1) : ((-t / n) % 2 == 0);
            if (mirror) i = n - 1 - i;
        }
    }
    const int32_t index = frames[static_cast<size_t>(i)];
    if (index < 0 || static_cast<size_t>(index) >= fileNames.size()) return nullptr;
    return fileNames[static_cast<size_t>(index)].ptr();
}
