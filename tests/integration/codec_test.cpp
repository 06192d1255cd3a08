// The code page 1250 codec of the Qt edge and the core's UTF-8 conversion, checked
// against the system's iconv.
#include <QString>
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/cp1250_utf8.h"
#include "platform/qt/codec.h"

namespace {

// One CP1250 byte to UTF-8 by iconv; empty when iconv has no character for it.
std::string iconvUtf8(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* ip = in;
    char* op = out;
    std::size_t il = 1, ol = sizeof out;
    const std::size_t rc = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return {};
    return std::string(out, sizeof out - ol);
}

TEST(Cp1250Codec, EveryDefinedByteAgreesWithIconvAndEveryByteSurvivesARoundTrip) {
    int defined = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string expected = iconvUtf8(static_cast<unsigned char>(b));
        if (!expected.empty()) {
            ++defined;
            EXPECT_EQ(nx::cp1250ToUtf8(byte), expected) << "byte " << b;
            EXPECT_EQ(nx::qt::fromCp1250(byte).toStdString(), expected) << "byte " << b;
        }
        EXPECT_EQ(nx::qt::toCp1250(nx::qt::fromCp1250(byte)), byte) << "byte " << b;
    }
    if (defined == 0) GTEST_SKIP() << "iconv lacks CP1250";
    EXPECT_GE(defined, 251);
    EXPECT_EQ(nx::qt::toCp1250(QStringLiteral("Árvíztűrő tükörfúrógép \u4e2d")),
              "\xc1rv\xedzt\xfbr\xf5 t\xfck\xf6rf\xfar\xf3g\xe9p ?");
}

TEST(Cp1250Codec, Utf8IsRecognised) {
    EXPECT_TRUE(nx::isUtf8("plain"));
    EXPECT_TRUE(nx::isUtf8("sz\xc3\xa1mla \xe2\x82\xac"));
    EXPECT_FALSE(nx::isUtf8("sz\xe1mla"));         // code page 1250 á
    EXPECT_FALSE(nx::isUtf8("\xc3"));              // cut short
    EXPECT_FALSE(nx::isUtf8("\xc0\xaf"));          // overlong
}

}  // namespace
