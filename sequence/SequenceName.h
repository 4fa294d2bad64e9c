#pragma once
// The file name of one frame of a numbered image sequence.
//
// void makeSequenceFileName(const char* pattern, int sequenceNumber, char* out,
//                           int outSize, ZUtils::ProgressCallback* progress)
//   Writes into out (outSize bytes, at most outSize - 1 characters and a NUL) the pattern
//   with its last run of decimal digits, wherever it stands (directory names included),
//   replaced by sequenceNumber. A null pattern counts as empty; out and pattern must not
//   overlap. Without any digit the pattern is copied unchanged and no asset check is made.
//   Otherwise the written forms of the number are offered to ZUtils::checkAssetPath(out,
//   outSize, progress, false) in this order, the first accepted one (possibly rewritten by
//   the host) being kept:
//     1. padded with zeros to the width of the original run ("run width");
//     2. with 0, 1, 2, 3 and 4 leading zeros (ending early once the prefix plus the zeros
//        fill the buffer).
//   When none is accepted, out holds the run-width form. At most six checks; no
//   allocation. Every candidate is cut to fit the buffer.
//   Negative numbers are written with a leading '-' and padded as printf's "%0*d" does:
//   the width counts the sign and the zeros go after it (-5 in a run of four digits is
//   "-005"; with k leading zeros it is '-', k zeros, "5"). INT_MIN is written exactly.
//   The text before the run (a '-' there included) is kept as it is.
//
// int sequenceNumber(int imageNumber, int imageOffset)
//   image_number + image_offset, saturated to the 32-bit range instead of wrapping.
//
// void makeSequenceFileName(..., AssetCheck check)
//   The same with another asset check in place of ZUtils::checkAssetPath (tests, tools).

#include <cstdint>

namespace ZUtils {
class ProgressCallback;
}

using AssetCheck = bool (*)(char* path, int size, ZUtils::ProgressCallback* progress, bool flag);

void makeSequenceFileName(const char* pattern, int sequenceNumber, char* out, int outSize,
                          ZUtils::ProgressCallback* progress);

void makeSequenceFileName(const char* pattern, int sequenceNumber, char* out, int outSize,
                          ZUtils::ProgressCallback* progress, AssetCheck check);

int sequenceNumber(int imageNumber, int imageOffset);
