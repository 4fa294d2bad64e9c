#pragma once
// Image file lists (IFL): text files naming, line by line, the images of an animated
// texture. One ImageFileList belongs to each texture instance.
//
// bool isImageFileList(const char* path)
//   True when the extension after the path's last '.' begins with "ifl" in any letter
//   case ("shot.IFL", "shot.iflx", "dir.ifl/shot"); false for null, empty, no '.'.
//
// FrameStepping: how host frames step through the entries (the ifl_start_frame,
//   ifl_playback_rate and ifl_end_condition parameters).
//
// class ImageFileList
//   bool loadList(const char* path, ZUtils::ProgressCallback* progress)
//     Makes the list at path (at most 1023 characters) the current one. The remembered
//     path answers from memory: true when it loaded, false plus the warning
//     "Image file list \"%s\" failed to load." when it failed (the file is not read
//     again). Any other path empties the lists and reads the file; success sends
//     verbose "Image file list \"%s\" loaded.\n", failure sends warning
//     "Image file list \"%s\" failed to load: %s\n" with the reason ("Error opening file",
//     or "Error opening included file \"%s\"" with the path as built). progress may be null.
//   void clearList()
//     Forgets a loaded list (frame end): it is read from its file at the next load. A
//     failed path stays remembered.
//   void resetList()
//     clearList() that also forgets a failed path (render end), so a list that appears
//     between renders is read.
//   const char* getFrameFileName(int frame, const FrameStepping& stepping) const
//     Path of the entry for a host frame, or null (no entries, end condition not 0..2).
//     t = trunc(float(frame - startFrame) * playbackRate); Loop (0): t mod N; Ping Pong
//     (1): back and forth, each end shown twice; Hold (2): first entry up to t = 0, last
//     from t = N - 1. A NaN product counts as t = 0 and a product outside the 32-bit
//     range is held at the nearest end of that range, so every rate picks an entry
//     inside the list. The text stays valid until the next clear or load.
//   bool parseListFile(ImageFileList& current, const char* path, int depth)
//     One step of a load: reads one list file into this object's frames and fileNames,
//     resolving relative entries against current's directory. Lists already read in
//     the load contribute nothing; nesting deeper than kMaxListDepth lists fails with
//     "Error opening included file \"%s\"". Stops at the first entry that cannot be
//     opened for reading. Called by loadList; outside a load it starts from an empty set
//     of read lists.
//   int getDirLength(ImageFileList& current)
//     Length of current's directory prefix (up to and including its last '/' or '\'),
//     computed once and cached in current.dirLength.
//
// File format: one entry per line (LF or CR LF; at most 2047 characters are kept, the
// rest of a longer line is skipped); ';' starts a comment; spaces and tabs around the
// entry are removed; an optional repeat count after a blank at the end of the line
// (0 drops the line, counts above 1000, however many digits, count as 1000); an entry
// without '/' or '\' is relative to the list's directory; an entry whose extension
// begins with "ifl" is a nested list whose entries are inserted in its place (its count
// is ignored). Lists grow in whole steps of 100 elements.
//
// Not thread safe: used from frame begin, frame end and render end only.

#include "zento/CharString.h"

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace ZUtils {
class ProgressCallback;
}

bool isImageFileList(const char* path);

struct FrameStepping {
    int32_t startFrame = 0;
    float playbackRate = 1.0f;
    int32_t endCondition = 0;  // 0 loop, 1 ping pong, 2 hold
};

class ImageFileList {
public:
    static constexpr int kPathSize = 1024;
    static constexpr int kLineSize = 2048;
    static constexpr int kErrorSize = 2048;
    static constexpr int kMaxRepeat = 1000;
    static constexpr int kMaxListDepth = 64;
    static constexpr size_t kGrowStep = 100;

    ImageFileList() = default;
    ~ImageFileList();
    ImageFileList(const ImageFileList&) = delete;
    ImageFileList& operator=(const ImageFileList&) = delete;

    bool loadList(const char* path, ZUtils::ProgressCallback* progress);
    void clearList();
    void resetList();
    const char* getFrameFileName(int frame, const FrameStepping& stepping) const;

    bool parseListFile(ImageFileList& current, const char* path, int depth);
    int getDirLength(ImageFileList& current);

    bool loaded = false;
    char listPath[kPathSize] = {};
    std::vector<int32_t> frames;
    std::vector<ZUtils::CharString> fileNames;
    int32_t dirLength = -1;

    // Reason of the last failed load (empty after a success).
    const char* errorText() const { return errorText_; }

private:
    void emptyLists(bool releaseStorage);
    bool parseLine(ImageFileList& current, char* line, int depth);
    void failOpen(const char* path, bool included);

    // Per-load state, emptied at the end of every load.
    std::set<std::string> readLists_;
    std::unordered_map<std::string, int32_t> indexOf_;
    char errorText_[kErrorSize] = {};
};
