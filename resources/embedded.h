#pragma once

#include <cstdint>
#include <span>

namespace puzzle {

enum class ResourceKind { Bitmap, Cursor, Icon };

// The bytes of one of the program's binary resources, as its file holds them; empty
// when the program has no such resource.
std::span<const uint8_t> EmbeddedResource(ResourceKind kind, int32_t id);

}  // namespace puzzle
