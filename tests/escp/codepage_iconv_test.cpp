// The code page tables of ESC/P jobs against the system's iconv.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "escp/codepages.h"
#include "platform/utf8.h"

namespace nx::escp {
namespace {

TEST(EscpCodePages, EveryUpperByteMatchesIconv) {
    for (const auto& [page, name] : {std::pair{CodePage::Cp437, "IBM437"},
                                     std::pair{CodePage::Cp850, "IBM850"},
                                     std::pair{CodePage::Cp852, "IBM852"}}) {
        iconv_t cd = iconv_open("UTF-8", name);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
        for (int b = 0x80; b <= 0xFF; ++b) {
            char in = static_cast<char>(b);
            char out[8] = {};
            char* src = &in;
            char* dst = out;
            std::size_t left = 1, room = sizeof out;
            ASSERT_NE(iconv(cd, &src, &left, &dst, &room), static_cast<std::size_t>(-1)) << name << b;
            std::string expected;
            appendUtf8(expected, toUnicode(page, static_cast<std::uint8_t>(b)));
            EXPECT_EQ(std::string(out, sizeof out - room), expected) << name << " byte " << b;
        }
        iconv_close(cd);
    }
}

}  // namespace
}  // namespace nx::escp
