#include "sequence/SequenceName.h"

#include "zento/AssetPath.h"

#include <climits>
#include <cstring>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal text of n into text (at least 12 bytes); returns its length.
int formatNumber(int n, char* text) {
    // Work on the magnitude in 64 bits so INT_MIN has a value.
    int64_t magnitude = n < 0 ? -static_cast<int64_t>(n) : n;
    char reversed[12];
    int digits = 0;
    do {
        reversed[digits++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    int length = 0;
    if (n < 0) text[length++] = '-';
    while (digits > 0) text[length++] = reversed[--digits];
    text[length] = 0;
    return length;
}

// out[0..start) stays; then the sign, zeros, the digits and the tail, cut at limit.
void writeCandidate(char* out, int limit, int start, const char* number, int numberLength,
                    int zeros, const char* tail) {
    int pos = start;
    const char* digits = number;
    if (*digits == '-') {
        if (pos < limit) out[pos++] = '-';
        ++digits;
        --numberLength;
    }
    for (int i = 0; i < zeros && pos < limit; ++i) out[pos++] = '0';
    for (int i = 0; i < numberLength && pos < limit; ++i) out[pos++] = digits[i];
    for (; *tail && pos < limit; ++tail) out[pos++] = *tail;
    out[pos] = 0;
}

}  // namespace

void makeSequenceFileName(const char* pattern, int sequenceNumber, char* out, int outSize,
                          ZUtils::ProgressCallback* progress, AssetCheck check) {
    if (!out || outSize <= 0) return;
    if (!pattern) pattern = "";
    const int limit = outSize - 1;

    int length = 0;
    while (length < limit && pattern[length]) {
        out[length] = pattern[length];
        ++length;
    }
    out[length] = 0;

    int last = length - 1;
    while (last >= 0 && !isDigit(out[last])) --last;
    if (last < 0) return;
    int start = last;
    while (start > 0 && isDigit(out[start - 1])) --start;
    const int runLength = last - start + 1;
    const char* tail = pattern + last + 1;

    char number[12];
    const int numberLength = formatNumber(sequenceNumber, number);
    const int widthZeros = runLength > numberLength ? runLength - numberLength : 0;

    writeCandidate(out, limit, start, number, numberLength, widthZeros, tail);
    if (check(out, outSize, progress, false)) return;

    for (int zeros = 0; zeros <= 4; ++zeros) {
        if (start + zeros >= limit) break;
        writeCandidate(out, limit, start, number, numberLength, zeros, tail);
        if (check(out, outSize, progress, false)) return;
    }
    writeCandidate(out, limit, start, number, numberLength, widthZeros, tail);
}

void makeSequenceFileName(const char* pattern, int sequenceNumber, char* out, int outSize,
                          ZUtils::ProgressCallback* progress) {
    makeSequenceFileName(pattern, sequenceNumber, out, outSize, progress, &ZUtils::checkAssetPath);
}

int sequenceNumber(int imageNumber, int imageOffset) {
    const int64_t sum = static_cast<int64_t>(imageNumber) + imageOffset;
    if (sum > INT_MAX) return INT_MAX;
    if (sum < INT_MIN) return INT_MIN;
    return static_cast<int>(sum);
}
