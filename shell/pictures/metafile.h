#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace puzzle {

// Windows metafiles, for every host that plays them: what one looks like and the size it
// is shown at. A metafile states no pixel size of its own, and one left to pick a size from
// its drawing can be made to ask for gigabytes; so the size is chosen here, from the
// header: the placeable header's box at 96 dpi, or else the window extent, one unit a
// pixel. A file whose records don't run whole from the header to the end record gets none.

inline constexpr size_t kPlaceableHeaderBytes = 22;

struct MetafileExtent {
  int64_t width = 0;
  int64_t height = 0;
};

bool IsPlaceableMetafile(const std::vector<uint8_t>& data);
// A placeable header, or a bare one: memory or disk metafile, nine words long, Windows 3.0
// or earlier.
bool IsMetafile(const std::vector<uint8_t>& data);
std::optional<MetafileExtent> MetafileSize(const std::vector<uint8_t>& data);

// The same metafile, first outlining its whole frame (the placeable box, or the window it
// sets up) with neither pen nor brush: a player that fits the drawing's own bounds to the
// picture then fits the frame, and a drawing over part of it stays where it lies, as
// Windows plays it. Nothing for what MetafileSize refuses.
std::optional<std::vector<uint8_t>> WithFrameOutlined(const std::vector<uint8_t>& data);

}  // namespace puzzle
