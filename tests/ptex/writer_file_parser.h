#ifndef PtexWriterFileParser_h
#define PtexWriterFileParser_h
// Test-side decoder of a Ptex file, written from the format description alone
// and independent of the library's reader: it lets the writer's output be
// checked field by field and block by block.
//
// parsePtexFile() checks what the common reader relies on (contiguous
// sections, exact size fields, streams inflating to exactly the stated size,
// level entries in reduction order, barrier, editdatapos) and fails with a
// message otherwise. decodeFaceLevel() expands any stored block (constant,
// zipped, diff-zipped, tiled) to packed interleaved pixels.
#include <cstdint>
#include <string>
#include <vector>

namespace PtexTestFile {

using Bytes = std::vector<uint8_t>;

struct FaceRecord {
    int8_t ulog2 = 0, vlog2 = 0;
    uint8_t adjedges = 0, flags = 0;
    int32_t adjfaces[4] = {-1, -1, -1, -1};
};

struct Block {
    uint32_t encoding = 0, size = 0;
    uint64_t offset = 0;  // in the file
};

struct Level {
    uint64_t dataSize = 0;
    uint32_t headerSize = 0, nfaces = 0;
    std::vector<Block> blocks;
};

struct MetaRecord {
    std::string key;
    uint8_t type = 0;
    Bytes data;
    bool large = false;
};

struct EditBlock {
    uint8_t type = 0;
    uint32_t size = 0;
    uint64_t payload = 0;  // file offset of the payload
};

struct ParsedFile {
    Bytes file;
    uint32_t magic = 0, version = 0, meshtype = 0, datatype = 0, minorversion = 0;
    int32_t alphachan = 0;
    uint16_t nchannels = 0, nlevels = 0;
    uint32_t nfaces = 0, extheadersize = 0, faceinfosize = 0, constdatasize = 0, levelinfosize = 0;
    uint64_t leveldatasize = 0;
    uint32_t metadatazipsize = 0, metadatamemsize = 0;
    uint16_t ubordermode = 0, pad = 0, vbordermode = 0, edgefiltermode = 0;
    uint32_t lmdheaderzipsize = 0, lmdheadermemsize = 0;
    uint64_t lmddatasize = 0, editdatasize = 0, editdatapos = 0;

    std::vector<FaceRecord> faces;
    Bytes constdata;
    std::vector<Level> levels;
    std::vector<MetaRecord> meta;  // small records, then large entries
    bool barrierFound = false;
    uint64_t sectionsEnd = 0;  // computed end of the large metadata
    std::vector<EditBlock> edits;

    int pixelSize() const;
};

bool inflateExact(const uint8_t* data, size_t zipsize, size_t expected, Bytes& out);
bool parsePtexFile(const std::string& path, ParsedFile& pf, std::string& error);

// Rfaceid order recomputed from the face records: key 1 for constant faces,
// else min(ulog2, vlog2); stable sort by decreasing key.
std::vector<uint32_t> reductionOrder(const std::vector<FaceRecord>& faces);

// Expands the block of face `faceid` at level `level` (entry found through the
// reduction order for levels >= 1) into packed pixels; false on a bad block.
bool decodeFaceLevel(const ParsedFile& pf, int faceid, int level, Bytes& pixels, int& ulog2, int& vlog2);
// Expands one block of a given resolution.
bool decodeBlock(const ParsedFile& pf, const Block& b, int ulog2, int vlog2, Bytes& pixels);

}  // namespace PtexTestFile

#endif
