#include "intake/intconv.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace nx {
namespace {

TEST(TextToInteger, Accepted) {
    EXPECT_EQ(parseInteger("12"), 12);
    EXPECT_EQ(parseInteger("   12"), 12);
    EXPECT_EQ(parseInteger("-7"), -7);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("  -0"), 0);
    EXPECT_EQ(parseInteger("$10"), 16);
    EXPECT_EQ(parseInteger("x1f"), 31);
    EXPECT_EQ(parseInteger("X1F"), 31);
    EXPECT_EQ(parseInteger("0x10"), 16);
    EXPECT_EQ(parseInteger("0XfF"), 255);
    EXPECT_EQ(parseInteger("-$10"), -16);
    EXPECT_EQ(parseInteger("007"), 7);
    EXPECT_EQ(parseInteger("0"), 0);
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInteger("$7FFFFFFF"), 2147483647);
    EXPECT_EQ(parseInteger("-$80000000"), INT32_MIN);
    EXPECT_EQ(parseInteger("0000000000000000000012"), 12);
}

TEST(TextToInteger, Rejected) {
    for (const char* bad : {"", " ", "12 ", "1 2", "+", "-", "$", "0x", "x", "12a", "--1",
                            "- 1", "$G", "1.0", "2147483648", "-2147483649", "$80000000",
                            "$FFFFFFFF", "99999999999999999999", "1e3"}) {
        EXPECT_FALSE(parseInteger(bad).has_value()) << "'" << bad << "'";
    }
}

TEST(TextToInteger, ConversionErrorNamesTheText) {
    EXPECT_EQ(textToInteger(" 42"), 42);
    try {
        textToInteger("12 ");
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
    }
    try {
        textToInteger("");
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

}  // namespace
}  // namespace nx
