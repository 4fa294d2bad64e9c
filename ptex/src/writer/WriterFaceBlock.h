#ifndef PtexWriterFaceBlock_h
#define PtexWriterFaceBlock_h
// Encoding of one face image (a level-0 face or one of its reductions) into the
// block stored in a level or an edit.
//
// Contract:
//  - Input: packed pixels, v-major, channels interleaved, at resolution `res`.
//  - Faces of 128 KiB and more are cut into tiles (blockTileRes); each tile, or
//    the whole face when untiled, is made planar, delta-coded for uint8/uint16
//    (enc_diffzipped, else enc_zipped) and compressed into one zlib stream. A
//    tile whose pixels are all byte-identical is stored as one raw pixel
//    (enc_constant).
//  - Output: the block bytes appended to `out` and the FaceDataHeader word
//    (blocksize in bits 0..29, encoding in bits 30..31) in `fdh`.
//  - Returns false with an error text when compression fails or the block would
//    not fit the 30-bit size field.
#include <string>

#include "PtexIO.h"
#include "WriterBytes.h"

namespace PtexWriterInternal {

// Tile resolution the common writer chooses for a face block; equal to `res`
// when the face is stored untiled.
Ptex::Res blockTileRes(Ptex::Res res, int pixelSize);

bool encodeFaceBlock(const void* data, Ptex::Res res, Ptex::DataType dt, int nchannels,
                     int zipLevel, ByteBuffer& out, PtexIO::FaceDataHeader& fdh,
                     std::string& error);

}  // namespace PtexWriterInternal

#endif
