#pragma once
// The choice of a frame's texture file (the first steps of the texture's load).
//
// template <class InstanceCheck>
// void chooseFrameFile(const FrameFileRequest& request, ImageFileList& list, char* buffer,
//                      int bufferSize, ZUtils::ProgressCallback* progress, InstanceCheck&& check)
//   1. Zero-fills buffer (bufferSize bytes, normally 1024).
//   2. use_image_sequence 0: copies ptex_file (when set, at most bufferSize - 1
//      characters) and calls check(buffer, bufferSize, progress) - the instance's asset
//      check, which may rewrite the buffer; its result is not examined.
//      Otherwise: makeSequenceFileName with ptex_file ("" when unset) and the number
//      sequenceNumber(image_number, image_offset) (saturated, never wrapping).
//   3. When the buffer names an image file list and list.loadList(buffer, progress)
//      succeeds, the entry of request.frameNumber (if any) replaces the buffer's text.
//   The buffer then holds the file to open. No message of its own.

#include "sequence/ImageFileList.h"
#include "sequence/SequenceName.h"

#include <cstring>

struct FrameFileRequest {
    const char* ptexFile = nullptr;  // the parameter's text, null when unset
    int useImageSequence = 0;
    int imageNumber = 0;
    int imageOffset = 0;
    int frameNumber = 0;  // the host's current frame
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
        makeSequenceFileName(request.ptexFile ? request.ptexFile : "",
                             sequenceNumber(request.imageNumber, request.imageOffset), buffer,
                             bufferSize, progress);
    }
    if (isImageFileList(buffer) && list.loadList(buffer, progress)) {
        if (const char* entry = list.getFrameFileName(request.frameNumber))
            frame_file_detail::copyCut(buffer, bufferSize, entry);
    }
}
