#pragma once

#include <cstdint>
#include <vector>

#include "game/board.h"

namespace puzzle::e2e {

// Moves that solve the board from where it stands, as the arrow keys that make them;
// empty for boards of more than 16 cells or when none is found.
std::vector<uint32_t> SolveBoard(Board& board);

}  // namespace puzzle::e2e
