#ifndef PtexMainWriter_h
#define PtexMainWriter_h
// Writer of a complete Ptex file (new files, full rewrites of edited files and
// applyEdits).
//
// Contract:
//  - writeFace stores the level-0 block of a face and, with mip-maps on, every
//    reduction the face belongs to (computed from premultiplied data), in an
//    anonymous temp file; all-identical data becomes a constant face. Writing a
//    face again replaces it.
//  - The constant value of a face is the average of its smallest stored level
//    (premultiplied), un-premultiplied.
//  - close() copies every face not written from the old file (when editing),
//    stores never-written faces as constant zero faces of res (0,0), sets the
//    constant-neighbourhood flags, orders the reduction levels by rfaceid and
//    writes "<path>.new" section after section (the 8-byte barrier always
//    present, editdatapos = file size), then replaces <path> with it. Nothing
//    is written when no face and no metadata were given.
#include <vector>

#include "WriterBase.h"
#include "WriterTempFile.h"

namespace PtexWriterInternal {

class PtexMainWriter : public PtexWriterBase {
public:
    // `reader` (may be null) is the file being rewritten; the writer owns it.
    PtexMainWriter(const char* path, PtexTexture* reader, Ptex::MeshType mt, Ptex::DataType dt,
                   int nchannels, int alphachan, int nfaces, bool genmipmaps);

    bool writeFace(int faceid, const Ptex::FaceInfo& info, const void* data, int stride) override;
    bool writeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* data) override;

    // Rewrite on close even when nothing new was given (applyEdits).
    void forceRewrite() { _hasNewData = true; }

protected:
    ~PtexMainWriter() override;
    void finish() override;

private:
    struct BlockRef {
        uint64_t offset;  // in the temp file
        PtexIO::FaceDataHeader fdh;
    };

    bool storeFace(int faceid, const Ptex::FaceInfo& info, const void* data, int stride);
    bool storeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* pixel);
    bool storeBlock(const uint8_t* data, Ptex::Res res, std::vector<BlockRef>& levels);
    void copyUnwrittenFaces();
    bool writeFile(const std::string& newpath);

    PtexTexture* _reader;
    bool _genmipmaps;
    TempFile _tmp;
    std::vector<Ptex::FaceInfo> _faceinfo;
    std::vector<uint8_t> _written;
    ByteBuffer _constdata;
    std::vector<std::vector<BlockRef>> _blocks;  // per face: level 0, then its reductions
};

}  // namespace PtexWriterInternal

#endif
