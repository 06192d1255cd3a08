// The character map as one 256-entry table, built at compile time.
#include "intake/charmap.h"

namespace nx {

namespace {

constexpr std::array<std::uint8_t, 256> buildTable() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(i);

    t[0x20] = 0x0B;  // space code of the print stream

    // The Hungarian letters: code page 852 -> code page 1250.
    constexpr std::uint8_t letters[][2] = {
        {0x81, 0xFC}, {0x82, 0xE9}, {0x8A, 0xD5}, {0x8B, 0xF5}, {0x90, 0xC9}, {0x94, 0xF6},
        {0x99, 0xD6}, {0x9A, 0xDC}, {0xA0, 0xE1}, {0xA1, 0xED}, {0xA2, 0xF3}, {0xA3, 0xFA},
        {0xB5, 0xC1}, {0xD6, 0xCD}, {0xE0, 0xD3}, {0xE9, 0xDA}, {0xEB, 0xDB}, {0xFB, 0xFB},
    };
    for (const auto& l : letters) t[l[0]] = l[1];

    // Line drawing, single and double forms folded into one box-drawing code each.
    constexpr std::uint8_t boxes[][3] = {
        {20, 0xB3, 0xBA}, {21, 0xB4, 0xB9}, {22, 0xBF, 0xBB}, {23, 0xC0, 0xC8},
        {24, 0xC1, 0xCA}, {25, 0xC2, 0xCB}, {26, 0xC3, 0xCC}, {27, 0xC4, 0xCD},
        {28, 0xC5, 0xCE}, {29, 0xD9, 0xBC}, {30, 0xDA, 0xC9},
    };
    for (const auto& b : boxes) {
        t[b[1]] = b[0];
        t[b[2]] = b[0];
    }
    return t;
}

constexpr std::array<std::uint8_t, 256> kTable = buildTable();

}  // namespace

const std::array<std::uint8_t, 256>& charMapTable() { return kTable; }

}  // namespace nx
