#pragma once

#include <cstdint>

namespace puzzle::win32 {

// Numbers of the program's own vocabulary that the host needs. windows.h gives some of
// the same names other meanings (IDC_HAND is its own hand cursor), so the host's files
// take them from here rather than from toolkit/platform_codes.h.
extern const int32_t kAcceleratorsResource;
extern const int32_t kHandCursorResource;
extern const int32_t kArrowCursor;
extern const uint32_t kHelpSearchCommand;

}  // namespace puzzle::win32
