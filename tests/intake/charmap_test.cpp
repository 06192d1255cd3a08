#include "intake/charmap.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>

namespace nx {
namespace {

// The system's converter as an independent oracle: one byte of `from` to UTF-8, as
// a code point (0 when it does not convert).
char32_t toCodePoint(const char* from, std::uint8_t byte) {
    iconv_t cd = iconv_open("UTF-32LE", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    std::size_t il = 1, ol = sizeof out;
    const std::size_t rc = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || ol != 4) return 0;
    return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

bool haveIconv() {
    iconv_t cd = iconv_open("UTF-32LE", "CP852");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

const std::set<int> kLetters = {0x81, 0x82, 0x8A, 0x8B, 0x90, 0x94, 0x99, 0x9A, 0xA0,
                                0xA1, 0xA2, 0xA3, 0xB5, 0xD6, 0xE0, 0xE9, 0xEB, 0xFB};

TEST(CharMap, LettersKeepTheirCharacterAcrossCodePages) {
    if (!haveIconv()) GTEST_SKIP() << "iconv lacks CP852";
    for (int b : kLetters) {
        const char32_t src = toCodePoint("CP852", static_cast<std::uint8_t>(b));
        const char32_t dst = toCodePoint("CP1250", mapByte(static_cast<std::uint8_t>(b)));
        ASSERT_NE(src, 0u) << b;
        EXPECT_EQ(src, dst) << "byte " << b;
    }
}

TEST(CharMap, LineDrawingIsExactlyTheBoxRange) {
    if (!haveIconv()) GTEST_SKIP() << "iconv lacks CP852";
    int drawing = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const char32_t cp = toCodePoint("CP852", byte);
        const bool isLine = cp >= 0x2500 && cp <= 0x257F;
        if (isLine) {
            ++drawing;
            EXPECT_GE(mapByte(byte), 20) << b;
            EXPECT_LE(mapByte(byte), 30) << b;
        } else if (b == 0x20) {
            EXPECT_EQ(mapByte(byte), 11);
        } else if (!kLetters.count(b)) {
            EXPECT_EQ(mapByte(byte), byte) << "byte " << b << " must pass unchanged";
        }
    }
    EXPECT_EQ(drawing, 22);
}

TEST(CharMap, SingleAndDoubleFormsShareACode) {
    // Each code 20..30 is reached by exactly two sources.
    int hits[31] = {};
    for (int b = 0x21; b < 256; ++b) {
        const std::uint8_t m = mapByte(static_cast<std::uint8_t>(b));
        if (m >= 20 && m <= 30) ++hits[m];
    }
    for (int c = 20; c <= 30; ++c) EXPECT_EQ(hits[c], 2) << c;
    EXPECT_EQ(mapByte(0xC4), 27);
    EXPECT_EQ(mapByte(0xCD), 27);
    EXPECT_EQ(mapByte(0xC9), 30);
    EXPECT_EQ(mapByte(0xBC), 29);
}

TEST(CharMap, ControlCodesPassAndMapIsNotIdempotent) {
    for (int b = 0; b < 0x20; ++b) EXPECT_EQ(mapByte(static_cast<std::uint8_t>(b)), b);
    EXPECT_EQ(mapByte(0x7F), 0x7F);
    for (int b : {0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF, 0x84}) EXPECT_EQ(mapByte(static_cast<std::uint8_t>(b)), b);
    // Applied to a result byte, the map changes some of them again.
    EXPECT_EQ(mapByte(mapByte(0x82)), 0xDA);
    EXPECT_EQ(mapByte(mapByte(0x99)), 0xCD);
    EXPECT_EQ(mapByte(mapByte(0xB5)), 24);
    EXPECT_EQ(mapByte(mapByte(0x90)), 30);
    EXPECT_EQ(mapByte(mapByte(0xD6)), 27);
    EXPECT_EQ(mapByte(mapByte(0x20)), 11);
}

}  // namespace
}  // namespace nx
