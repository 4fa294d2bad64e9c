#ifndef PtexInfoPrinter_h
#define PtexInfoPrinter_h
// Text report of an open Ptex texture for the ptex-info tool.
//
// Contract: each print* call writes one section to `out`:
//  - printHeader: what the texture reports (mesh/data type, channels, alpha,
//    faces, mip-maps, edits, border and edge filter modes) and, when the raw
//    header of the file could be read, its layout fields (version, levels,
//    section sizes).
//  - printFaces: one line per face: res (log2 and texels), adjacent faces and
//    edges, flags by name.
//  - printMeta: every metadata entry with type, count and values (long arrays
//    shortened unless `allValues`).
//  - printTexels: the texels of one face at one level (level i = both
//    directions reduced by i, each at least 1 texel); integers raw, halves and
//    floats as floats.
//  - checkAll: reads every face at every level of its mip chain and every
//    metadata value, so damage anywhere in the file gets reported.
// Read errors are not handled here: the caller's error handler collects them.
#include <cstdio>
#include <string>

#include "Ptexture.h"

namespace PtexInfo {

struct RawLayout {
    bool valid = false;
    uint32_t version = 0, minorVersion = 0, nlevels = 0, extHeaderSize = 0;
    uint32_t faceInfoSize = 0, constDataSize = 0, levelInfoSize = 0;
    uint64_t levelDataSize = 0;
    uint32_t metaZipSize = 0, metaMemSize = 0, lmdHeaderZipSize = 0, lmdHeaderMemSize = 0;
    uint64_t lmdDataSize = 0, editDataSize = 0, editDataPos = 0, fileSize = 0;

    // Bytes the header's sections need: everything up to the large metadata,
    // the 8-byte barrier counted only when there is metadata (files without
    // metadata may lack it).
    uint64_t requiredSize() const;
};

// Reads the fixed header fields straight from the file (no validation beyond size).
RawLayout readRawLayout(const char* path);

void printHeader(FILE* out, PtexTexture* tex, const RawLayout& layout);
void printFaces(FILE* out, PtexTexture* tex);
void printMeta(FILE* out, PtexTexture* tex, bool allValues);
// False (with a message on `err`) when the face or level is out of range.
bool printTexels(FILE* out, FILE* err, PtexTexture* tex, int faceid, int level);
// False (with a message on `err`) when a face claims a res too large to read.
bool checkAll(FILE* err, PtexTexture* tex);

}  // namespace PtexInfo

#endif
