#ifndef PtexBadInputExercise_h
#define PtexBadInputExercise_h
// Reads everything a damaged file offers through the public API, the way a
// renderer would, so the sanitizer build sees every access the reader makes.
//
// Contract: exerciseFile opens `path` through a fresh cache with a counting
// error handler and, when it opens, queries the header, every face info,
// every face at every level (full buffers only for sane sizes; handles,
// tiles and pixels otherwise), dynamic reductions and all metadata values.
// It returns what happened; it never throws.
#include <string>

namespace PtexBadInput {

struct Outcome {
    bool opened = false;
    std::string openError;
    int readErrors = 0;   // reports through the error handler
    bool badNeighbour = false;  // an adjacent face id outside [-1, numFaces)
};

Outcome exerciseFile(const std::string& path);

// Set when any allocation above the limit was asked for (see the test's
// operator new); tests reset it before each file.
extern size_t hugeAllocation;
constexpr size_t allocationLimit = size_t(256) << 20;

}  // namespace PtexBadInput

#endif
