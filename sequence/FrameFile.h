#pragma once
// The choice of a frame's texture file, the first step of a texture's frame load.
//
// chooseFrameFile(request, list, buffer, bufferSize, progress, check)
//   Leaves in `buffer` (bufferSize bytes, normally 1024; zero-filled first, the
//   text always terminated and cut to bufferSize - 1 characters) the name of the
//   file to open for the frame: ptex_file as it is, or the member of its
//   numbered sequence, then, when that names an image file list that loads, the
//   list's entry for the frame. `check` is the instance's asset check
//   (char* path, int size, ProgressCallback*): it is called for plain names
//   only, may rewrite the buffer and its result is not examined. `list` keeps
//   the loaded list. Messages: only those of the sequence naming and the list;
//   progress may be null. Frame preparation only (not thread-safe).

#include <cstring>

#include "sequence/ImageFileList.h"
#include "sequence/SequenceName.h"

struct FrameFileRequest {
    const char* ptexFile = nullptr;  // the parameter's text, null when unset
    int useImageSequence = 0;
    int imageNumber = 0;
    int imageOffset = 0;
    int frameNumber = 0;  // the host's current frame
    FrameStepping stepping;
};

namespace frame_file_detail {

inline void copyCut(char* buffer, int bufferSize, const char* text) {
    const size_t room = static_cast<size_t>(bufferSize - 1);
    const size_t length = strnlen(text, room);
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
}

}  // namespace frame_file_detail

template <class InstanceCheck>
void chooseFrameFile(const FrameFileRequest& request, ImageFileList& list, char* buffer,
                     int bufferSize, ZUtils::ProgressCallback* progress, InstanceCheck&& check) {
    if (!buffer || bufferSize <= 0) return;
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    if (request.useImageSequence == 0) {
        if (request.ptexFile) frame_file_detail::copyCut(buffer, bufferSize, request.ptexFile);
        check(buffer, bufferSize, progress);
    } else {
        // The last digit run of the name becomes image_number + image_offset
        // (saturated, never wrapping).
        makeSequenceFileName(request.ptexFile ? request.ptexFile : "",
                             sequenceNumber(request.imageNumber, request.imageOffset), buffer,
                             bufferSize, progress);
    }
    // A list that fails to load, or has no entry for the frame, leaves its own
    // path, which the cache then fails to open.
    if (isImageFileList(buffer) && list.loadList(buffer, progress)) {
        if (const char* entry = list.getFrameFileName(request.frameNumber, request.stepping))
            frame_file_detail::copyCut(buffer, bufferSize, entry);
    }
}
