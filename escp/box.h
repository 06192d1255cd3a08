// The box-drawing and block characters of the DOS code pages, drawn instead of
// printed: lines as pen strokes that meet their neighbours' at the cell borders,
// blocks and shades as filled areas.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/surface.h"

namespace nx::escp {

enum class Weight : std::uint8_t { None, Single, Double };

// The four arms of a box-drawing character, from the cell's centre to its edges.
struct Arms {
    Weight up = Weight::None, down = Weight::None, left = Weight::None, right = Weight::None;
};

// A block or shade: the part of the cell it covers and how dark.
struct Block {
    int left = 0, top = 0, right = 2, bottom = 2;  // in halves of the cell
    int percent = 100;
};

// The arms of `c` when it is a box-drawing character (heavy lines count as single).
std::optional<Arms> boxArms(char32_t c);
// The block of `c` when it is a block or shade character.
std::optional<Block> blockOf(char32_t c);

// A cell in device units: [x, x + w) x [y, y + h).
struct Cell {
    int x, y, w, h;
};

// Draws `arms` in `cell`: a single line through the middle, a double line as two
// lines `gap` units either side of it, corners and junctions closed as a drawn box
// character shows them.
void drawArms(Surface& surface, const Arms& arms, const Cell& cell);
void drawBlock(Surface& surface, const Block& block, const Cell& cell);

}  // namespace nx::escp
