// Conversion of UTF-8 file names to UTF-16 units and back.
#include "support/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Units = std::vector<char16_t>;

// Converts through a counting pass and a buffer of count + 1, checking the terminator.
Units convert(const std::string& text)
{
    const size_t n = utf8ToUtf16(text.c_str(), nullptr, 0);
    Units out(n + 1, char16_t(0xAAAA));
    EXPECT_EQ(utf8ToUtf16(text.c_str(), out.data(), out.size()), n);
    EXPECT_EQ(out[n], 0) << "terminator missing";
    out.resize(n);
    return out;
}

std::string backToBytes(const Units& units)
{
    Units source = units;
    source.push_back(0);
    const size_t n = utf16ToUtf8(source.data(), nullptr, 0);
    std::string out(n + 1, '\x55');
    EXPECT_EQ(utf16ToUtf8(source.data(), out.data(), out.size()), n);
    EXPECT_EQ(out[n], '\0');
    out.resize(n);
    return out;
}

Units escaped(std::initializer_list<unsigned> bytes)
{
    Units out;
    for (unsigned b : bytes) {
        out.push_back(0xDBC0);
        out.push_back(char16_t(0xDC00 + b));
    }
    return out;
}

TEST(Utf8ToUtf16, EmptyNameGivesOnlyTheTerminator)
{
    char16_t buffer[4] = {0x1111, 0x1111, 0x1111, 0x1111};
    EXPECT_EQ(utf8ToUtf16("", buffer, 4), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0x1111);
    EXPECT_EQ(utf8ToUtf16(nullptr, nullptr, 0), 0u);
}

TEST(Utf8ToUtf16, AsciiIsCopiedUnitForUnit)
{
    EXPECT_EQ(convert("abc"), (Units{0x61, 0x62, 0x63}));
}

TEST(Utf8ToUtf16, ValidSequencesOfTwoThreeAndFourBytes)
{
    EXPECT_EQ(convert("\xC3\xA9"), (Units{0xE9}));              // U+00E9
    EXPECT_EQ(convert("\xDF\xBF"), (Units{0x7FF}));             // top of two bytes
    EXPECT_EQ(convert("\xE2\x82\xAC"), (Units{0x20AC}));        // U+20AC
    EXPECT_EQ(convert("\xEF\xBF\xBF"), (Units{0xFFFF}));
    EXPECT_EQ(convert("\xF0\x9F\x98\x80"), (Units{0xD83D, 0xDE00}));  // U+1F600
    EXPECT_EQ(convert("\xF0\x90\x80\x80"), (Units{0xD800, 0xDC00}));  // U+10000
    EXPECT_EQ(convert("\xF4\x8F\xBF\xBF"), (Units{0xDBFF, 0xDFFF}));  // U+10FFFF
}

TEST(Utf8ToUtf16, LeadPayloadKeepsOnlyTheValueBits)
{
    // 0xDF has payload 0x1F; a mask one bit too wide would add 0x800.
    EXPECT_EQ(convert("\xDF\x80"), (Units{0x7C0}));
    // 0xEF: payload 0x0F.
    EXPECT_EQ(convert("\xEF\x80\x80"), (Units{0xF000}));
    // 0xF3: payload 0x03.
    EXPECT_EQ(convert("\xF3\xBF\xBF\xBF"), (Units{0xDBBF, 0xDFFF}));  // U+FFFFF
}

TEST(Utf8ToUtf16, SurrogateValuesPassUnchanged)
{
    EXPECT_EQ(convert("\xED\xA0\x80"), (Units{0xD800}));
    EXPECT_EQ(convert("\xED\xBF\xBF"), (Units{0xDFFF}));
}

TEST(Utf8ToUtf16, OverlongZeroIsEscapedByteByByte)
{
    EXPECT_EQ(convert("\xC0\x80"), (Units{0xDBC0, 0xDCC0, 0xDBC0, 0xDC80}));
}

TEST(Utf8ToUtf16, EveryOverlongThresholdIsInvalid)
{
    EXPECT_EQ(convert("\xC1\xBF"), escaped({0xC1, 0xBF}));                  // 0x7F in 2
    EXPECT_EQ(convert("\xE0\x9F\xBF"), escaped({0xE0, 0x9F, 0xBF}));        // 0x7FF in 3
    EXPECT_EQ(convert("\xE0\xA0\x80"), (Units{0x800}));                     // smallest 3
    EXPECT_EQ(convert("\xF0\x8F\xBF\xBF"), escaped({0xF0, 0x8F, 0xBF, 0xBF}));  // 0xFFFF in 4
    // Five and six byte forms: at most overlong or beyond U+10FFFF, so always escaped.
    EXPECT_EQ(convert("\xF8\x88\x80\x80\x80"), escaped({0xF8, 0x88, 0x80, 0x80, 0x80}));
    EXPECT_EQ(convert("\xFC\x80\x80\x80\x80\x80"), escaped({0xFC, 0x80, 0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(convert("\xFE\xBF\xBF\xBF\xBF\xBF\xBF"),
              escaped({0xFE, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}));
    EXPECT_EQ(convert("\xFF\xBF\xBF\xBF\xBF\xBF\xBF\xBF"),
              escaped({0xFF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}));
}

TEST(Utf8ToUtf16, ValuesFromU110000AreInvalid)
{
    EXPECT_EQ(convert("\xF4\x90\x80\x80"), escaped({0xF4, 0x90, 0x80, 0x80}));
    EXPECT_EQ(convert("\xF7\xBF\xBF\xBF"), escaped({0xF7, 0xBF, 0xBF, 0xBF}));
}

TEST(Utf8ToUtf16, EscapePlaneIsNeverProducedFromASequence)
{
    // U+100041 encoded properly: F4 80 81 81.
    EXPECT_EQ(convert("\xF4\x80\x81\x81"), escaped({0xF4, 0x80, 0x81, 0x81}));
    EXPECT_EQ(convert("\xF4\x80\x80\x80"), escaped({0xF4, 0x80, 0x80, 0x80}));  // U+100000
    EXPECT_EQ(convert("\xF4\x80\x83\xBF"), escaped({0xF4, 0x80, 0x83, 0xBF}));  // U+1000FF
    EXPECT_EQ(convert("\xF4\x80\x84\x80"), (Units{0xDBC0, 0xDD00}));         // U+100100
}

TEST(Utf8ToUtf16, BreakingByteIsReadAgainAsLead)
{
    EXPECT_EQ(convert("\xE9x"), (Units{0xDBC0, 0xDCE9, 0x78}));
    Units expected = escaped({0xE2, 0x82});
    expected.push_back(0x41);
    EXPECT_EQ(convert("\xE2\x82" "A"), expected);
    // A new lead byte inside a sequence starts its own sequence.
    expected = escaped({0xE2});
    expected.push_back(0xE9);
    EXPECT_EQ(convert("\xE2\xC3\xA9"), expected);
    // Truncated at the end of the text.
    EXPECT_EQ(convert("a\xF0\x9F\x98"), (Units{0x61, 0xDBC0, 0xDCF0, 0xDBC0, 0xDC9F, 0xDBC0, 0xDC98}));
}

TEST(Utf8ToUtf16, StrayContinuationBytesAreEscaped)
{
    EXPECT_EQ(convert("\x80\xBF"), escaped({0x80, 0xBF}));
}

TEST(Utf8ToUtf16, CountingMatchesConversionForEveryLeadByte)
{
    for (unsigned lead = 1; lead < 256; ++lead) {
        for (unsigned next : {0x00u, 0x41u, 0x80u, 0xBFu, 0xC3u}) {
            std::string text(1, char(lead));
            if (next) text += char(next);
            text += "\x80\x80\x80z";
            const size_t n = utf8ToUtf16(text.c_str(), nullptr, 0);
            Units out(n + 8, 0x7777);
            EXPECT_EQ(utf8ToUtf16(text.c_str(), out.data(), out.size()), n) << lead;
            EXPECT_EQ(out[n], 0);
            EXPECT_EQ(out[n + 1], 0x7777) << "wrote past the terminator";
        }
    }
}

TEST(Utf8ToUtf16, NeverWritesPastTheCapacity)
{
    const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80\xC0\x80z";
    const Units full = convert(text);
    for (size_t capacity = 0; capacity <= full.size() + 1; ++capacity) {
        Units out(capacity + 4, 0x7777);
        const size_t n = utf8ToUtf16(text.c_str(), out.data(), capacity);
        ASSERT_LE(n, capacity);
        for (size_t i = capacity; i < out.size(); ++i)
            EXPECT_EQ(out[i], 0x7777) << "capacity " << capacity << " index " << i;
        // What was written is a prefix of the full text, never half a pair.
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(out[i], full[i]);
        if (n > 0 && n < full.size()) {
            EXPECT_FALSE(full[n - 1] >= 0xD800 && full[n - 1] <= 0xDBFF);
        }
        if (capacity > full.size()) {
            EXPECT_EQ(n, full.size());
            EXPECT_EQ(out[n], 0);
        }
        if (capacity <= full.size() && n < capacity) {
            EXPECT_NE(out[n], 0) << "terminator after a cut";
        }
    }
}

TEST(Utf8ToUtf16, ExactCapacityGivesTextWithoutTerminator)
{
    char16_t out[4] = {0x7777, 0x7777, 0x7777, 0x7777};
    EXPECT_EQ(utf8ToUtf16("abc", out, 3), 3u);
    EXPECT_EQ(out[3], 0x7777);
}

TEST(Utf16ToUtf8, RoundTripKeepsEveryByteString)
{
    const std::string cases[] = {
        "", "abc", "tex/wall_0001.ptx", "caf\xC3\xA9.ptx", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
        "\xC0\x80", "\xE9x", "\xFF\xFE", "\xF4\x80\x81\x81", "\xED\xA0\x80", "a\xF0\x9F\x98",
        "\x80", "\xF8\x88\x80\x80\x80",
    };
    for (const std::string& text : cases) EXPECT_EQ(backToBytes(convert(text)), text);
    for (unsigned a = 1; a < 256; ++a)
        for (unsigned b = 1; b < 256; b += 7) {
            const std::string text{char(a), char(b), 'q'};
            EXPECT_EQ(backToBytes(convert(text)), text) << a << " " << b;
        }
}

TEST(Utf16ToUtf8, CapacityNeverSplitsASequence)
{
    const char16_t source[] = {0x61, 0x20AC, 0xD83D, 0xDE00, 0};
    char out[12];
    for (size_t capacity = 0; capacity < 10; ++capacity) {
        std::fill(std::begin(out), std::end(out), '\x55');
        const size_t n = utf16ToUtf8(source, out, capacity);
        const size_t expected = capacity >= 8 ? 8 : capacity >= 4 ? 4 : capacity >= 1 ? 1 : 0;
        EXPECT_EQ(n, expected) << capacity;
        for (size_t i = capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], '\x55');
    }
}

TEST(Utf16ToUtf8, EscapedZeroByteEndsTheName)
{
    const char16_t source[] = {0x61, 0xDBC0, 0xDC00, 0x62, 0};
    char out[8];
    EXPECT_EQ(utf16ToUtf8(source, out, sizeof out), 1u);
    EXPECT_STREQ(out, "a");
}

}  // namespace
