#ifndef PtexIO_h
#define PtexIO_h
// PtexIO.h - the on-disk records of a Ptex file, shared by the reader and the
// writer. All numbers are little-endian and records are packed; every struct
// below has the exact file size (checked by static_assert) and natural
// alignment, so on a little-endian host a record is read with one memcpy.
// Records with unaligned fields (edit block header, tiled face prefix, metadata
// records) are given as byte sizes and read/written field by field.
#include "Ptexture.h"

#include <cstring>

namespace PtexIO {

inline constexpr uint32_t Magic = 0x78657450u;  // "Ptex"
inline constexpr int HeaderSize = 64;
inline constexpr int ExtHeaderSize = 40;
inline constexpr int FaceInfoSize = 20;
inline constexpr int LevelInfoSize = 16;
inline constexpr int FaceDataHeaderSize = 4;
inline constexpr int EditFaceDataHeaderSize = 28;
inline constexpr int EditMetaDataHeaderSize = 8;
inline constexpr int EditBlockHeaderSize = 5;   // uint8 edittype + unaligned uint32 editsize
inline constexpr int TiledPrefixSize = 6;       // Res tileres + unaligned uint32 tileheadersize
inline constexpr int BarrierSize = 8;           // zero bytes after the small metadata
inline constexpr int BlockSize = 16384;         // read / inflate piece size
inline constexpr int MetaDataThreshold = 1024;  // larger entries go to large metadata

/// File header (64 bytes).
struct Header {
    uint32_t magic;
    uint32_t version;
    uint32_t meshtype;
    uint32_t datatype;
    int32_t alphachan;
    uint16_t nchannels;
    uint16_t nlevels;
    uint32_t nfaces;
    uint32_t extheadersize;
    uint32_t faceinfosize;
    uint32_t constdatasize;
    uint32_t levelinfosize;
    uint32_t minorversion;
    uint64_t leveldatasize;
    uint32_t metadatazipsize;
    uint32_t metadatamemsize;

    int pixelSize() const { return Ptex::DataSize(Ptex::DataType(datatype)) * nchannels; }
    bool hasAlpha() const { return alphachan >= 0 && alphachan < int(nchannels); }
};
static_assert(sizeof(Header) == HeaderSize);

/// Extended header (40 bytes in minor version 4; read min(40, extheadersize)).
struct ExtHeader {
    uint16_t ubordermode;
    uint16_t pad;
    uint16_t vbordermode;
    uint16_t edgefiltermode;
    uint32_t lmdheaderzipsize;
    uint32_t lmdheadermemsize;
    uint64_t lmddatasize;
    uint64_t editdatasize;
    uint64_t editdatapos;
};
static_assert(sizeof(ExtHeader) == ExtHeaderSize);

static_assert(sizeof(Ptex::FaceInfo) == FaceInfoSize);
static_assert(sizeof(Ptex::Res) == 2);

/// One record per level (16 bytes).
struct LevelInfo {
    uint64_t leveldatasize;    // compressed level header + all face blocks
    uint32_t levelheadersize;  // compressed level header
    uint32_t nfaces;           // face entries in the level
};
static_assert(sizeof(LevelInfo) == LevelInfoSize);

/// Encoding of a face (or tile) block.
enum Encoding { enc_constant = 0, enc_zipped = 1, enc_diffzipped = 2, enc_tiled = 3 };

/// Face data header word: bits 0..29 block size, bits 30..31 encoding.
struct FaceDataHeader {
    uint32_t data;

    FaceDataHeader() : data(0) {}
    FaceDataHeader(uint32_t blocksize, Encoding enc)
        : data((blocksize & 0x3fffffffu) | (uint32_t(enc) << 30)) {}
    uint32_t blocksize() const { return data & 0x3fffffffu; }
    Encoding encoding() const { return Encoding((data >> 30) & 3u); }
    void set(uint32_t blocksize, Encoding enc) {
        data = (blocksize & 0x3fffffffu) | (uint32_t(enc) << 30);
    }
};
static_assert(sizeof(FaceDataHeader) == FaceDataHeaderSize);

/// Edit block types.
enum EditType { et_editfacedata = 0, et_editmetadata = 1 };

/// Payload start of a face edit (28 bytes); followed by the constant pixel and
/// then fdh.blocksize() bytes of face data.
struct EditFaceDataHeader {
    uint32_t faceid;
    Ptex::FaceInfo faceinfo;
    FaceDataHeader fdh;
};
static_assert(sizeof(EditFaceDataHeader) == EditFaceDataHeaderSize);

/// Payload start of a metadata edit (8 bytes); followed by the zlib stream.
struct EditMetaDataHeader {
    uint32_t metadatazipsize;
    uint32_t metadatamemsize;
};
static_assert(sizeof(EditMetaDataHeader) == EditMetaDataHeaderSize);

/// Unaligned little-endian access (the host is little-endian).
inline uint32_t readU32(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void writeU32(void* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

}  // namespace PtexIO

#endif
