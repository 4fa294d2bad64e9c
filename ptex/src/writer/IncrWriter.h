#ifndef PtexIncrWriter_h
#define PtexIncrWriter_h
// Incremental writer: appends edit blocks to an existing Ptex file.
//
// Contract:
//  - The constructor takes the file opened for update ("r+b"), reads its header
//    and extended header and checks that mesh type, data type, channel count,
//    alpha channel and face count match; otherwise the writer is in error with
//    "PtexWriter::edit error: header doesn't match existing file, conversions
//    not currently supported".
//  - writeFace appends a face edit at once: the face info, the constant value
//    (average of the premultiplied full-resolution data, un-premultiplied) and
//    the level-0 block (planar, delta, tiled like the main writer, compressed at
//    zlib level 0). All-identical data and writeConstantFace give a constant
//    face edit (no data block).
//  - A file written without metadata ends without the 8-byte barrier; the first
//    edit appended to it is preceded by the barrier and editdatapos moves past
//    it, so every reader finds the edits where the section sizes say they start.
//  - close() appends one metadata edit holding every key given (however large),
//    then rewrites the extended header with editdatasize = end of file -
//    editdatapos (when editdatapos is set) and the border modes as set.
#include <cstdio>

#include "WriterBase.h"

namespace PtexWriterInternal {

class PtexIncrWriter : public PtexWriterBase {
public:
    PtexIncrWriter(const char* path, FILE* fp, Ptex::MeshType mt, Ptex::DataType dt, int nchannels,
                   int alphachan, int nfaces);

    bool writeFace(int faceid, const Ptex::FaceInfo& info, const void* data, int stride) override;
    bool writeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* data) override;

protected:
    ~PtexIncrWriter() override;
    void finish() override;

private:
    bool appendEdit(uint8_t edittype, const ByteBuffer& payload);

    FILE* _fp;
    uint32_t _extheadersize = 0;
    uint64_t _sectionsEnd = 0;  // where the edits start when the barrier is present
};

}  // namespace PtexWriterInternal

#endif
