#include "escp/box.h"

#include <algorithm>
#include <array>

namespace nx::escp {
namespace {

constexpr Weight N = Weight::None, S = Weight::Single, D = Weight::Double;

// U+2500 to U+256C, by (up, down, left, right); characters without a table entry
// here (dashed and rounded ones) are printed as letters.
struct BoxEntry {
    char32_t c;
    Arms arms;
};
constexpr std::array<BoxEntry, 52> kBoxes = {{
    {0x2500, {N, N, S, S}}, {0x2501, {N, N, S, S}}, {0x2502, {S, S, N, N}}, {0x2503, {S, S, N, N}},
    {0x250C, {N, S, N, S}}, {0x250F, {N, S, N, S}}, {0x2510, {N, S, S, N}}, {0x2513, {N, S, S, N}},
    {0x2514, {S, N, N, S}}, {0x2517, {S, N, N, S}}, {0x2518, {S, N, S, N}}, {0x251B, {S, N, S, N}},
    {0x251C, {S, S, N, S}}, {0x2523, {S, S, N, S}}, {0x2524, {S, S, S, N}}, {0x252B, {S, S, S, N}},
    {0x252C, {N, S, S, S}}, {0x2533, {N, S, S, S}}, {0x2534, {S, N, S, S}}, {0x253B, {S, N, S, S}},
    {0x253C, {S, S, S, S}}, {0x254B, {S, S, S, S}},
    {0x2550, {N, N, D, D}}, {0x2551, {D, D, N, N}}, {0x2552, {N, S, N, D}}, {0x2553, {N, D, N, S}},
    {0x2554, {N, D, N, D}}, {0x2555, {N, S, D, N}}, {0x2556, {N, D, S, N}}, {0x2557, {N, D, D, N}},
    {0x2558, {S, N, N, D}}, {0x2559, {D, N, N, S}}, {0x255A, {D, N, N, D}}, {0x255B, {S, N, D, N}},
    {0x255C, {D, N, S, N}}, {0x255D, {D, N, D, N}}, {0x255E, {S, S, N, D}}, {0x255F, {D, D, N, S}},
    {0x2560, {D, D, N, D}}, {0x2561, {S, S, D, N}}, {0x2562, {D, D, S, N}}, {0x2563, {D, D, D, N}},
    {0x2564, {N, S, D, D}}, {0x2565, {N, D, S, S}}, {0x2566, {N, D, D, D}}, {0x2567, {S, N, D, D}},
    {0x2568, {D, N, S, S}}, {0x2569, {D, N, D, D}}, {0x256A, {S, S, D, D}}, {0x256B, {D, D, S, S}},
    {0x256C, {D, D, D, D}}, {0x2574, {N, N, S, N}},
}};

void line(Surface& s, int x1, int y1, int x2, int y2) {
    s.moveTo(x1, y1);
    s.lineTo(x2, y2);
}

}  // namespace

std::optional<Arms> boxArms(char32_t c) {
    if (c < 0x2500 || c > 0x2574) return std::nullopt;
    for (const BoxEntry& e : kBoxes)
        if (e.c == c) return e.arms;
    return std::nullopt;
}

std::optional<Block> blockOf(char32_t c) {
    switch (c) {
        case 0x2580: return Block{0, 0, 2, 1, 100};  // upper half
        case 0x2584: return Block{0, 1, 2, 2, 100};  // lower half
        case 0x2588: return Block{0, 0, 2, 2, 100};  // full
        case 0x258C: return Block{0, 0, 1, 2, 100};  // left half
        case 0x2590: return Block{1, 0, 2, 2, 100};  // right half
        case 0x2591: return Block{0, 0, 2, 2, 25};   // light shade
        case 0x2592: return Block{0, 0, 2, 2, 50};   // medium shade
        case 0x2593: return Block{0, 0, 2, 2, 75};   // dark shade
        default: return std::nullopt;
    }
}

void drawArms(Surface& s, const Arms& a, const Cell& cell) {
    const int x = cell.x, y = cell.y, r = cell.x + cell.w, b = cell.y + cell.h;
    const int cx = x + cell.w / 2, cy = y + cell.h / 2;
    // The two strokes of a double line stand apart by a third of the narrower side.
    const int d = std::max(1, std::min(cell.w, cell.h) / 6);
    const bool upD = a.up == D, downD = a.down == D, leftD = a.left == D, rightD = a.right == D;
    const bool vDouble = upD || downD, hDouble = leftD || rightD;

    // A single line that goes straight through is one stroke.
    if (a.up == S && a.down == S) {
        line(s, cx, y, cx, b);
    } else {
        // A single arm meets a double line that passes across on its near stroke, a
        // double corner on its far one.
        const bool across = leftD && rightD;
        if (a.up == S) line(s, cx, y, cx, hDouble ? (across ? cy - d : cy + d) : cy);
        if (a.down == S) line(s, cx, hDouble ? (across ? cy + d : cy - d) : cy, cx, b);
    }
    if (a.left == S && a.right == S) {
        line(s, x, cy, r, cy);
    } else {
        const bool across = upD && downD;
        if (a.left == S) line(s, x, cy, vDouble ? (across ? cx - d : cx + d) : cx, cy);
        if (a.right == S) line(s, vDouble ? (across ? cx + d : cx - d) : cx, cy, r, cy);
    }

    // Double arms: each stroke ends where it meets its partner of the other direction.
    if (leftD) {
        line(s, x, cy - d, upD ? cx - d : downD ? cx + d : cx, cy - d);
        line(s, x, cy + d, downD ? cx - d : upD ? cx + d : cx, cy + d);
    }
    if (rightD) {
        line(s, upD ? cx + d : downD ? cx - d : cx, cy - d, r, cy - d);
        line(s, downD ? cx + d : upD ? cx - d : cx, cy + d, r, cy + d);
    }
    if (upD) {
        line(s, cx - d, y, cx - d, leftD ? cy - d : rightD ? cy + d : cy);
        line(s, cx + d, y, cx + d, rightD ? cy - d : leftD ? cy + d : cy);
    }
    if (downD) {
        line(s, cx - d, leftD ? cy + d : rightD ? cy - d : cy, cx - d, b);
        line(s, cx + d, rightD ? cy + d : leftD ? cy - d : cy, cx + d, b);
    }
}

void drawBlock(Surface& s, const Block& k, const Cell& cell) {
    auto at = [](int origin, int size, int halves) { return origin + size * halves / 2; };
    const int left = at(cell.x, cell.w, k.left), top = at(cell.y, cell.h, k.top);
    const int right = at(cell.x, cell.w, k.right), bottom = at(cell.y, cell.h, k.bottom);
    if (right > left && bottom > top) s.fillInk(left, top, right, bottom, k.percent);
}

}  // namespace nx::escp
