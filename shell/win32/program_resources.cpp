#include "shell/win32/program_resources.h"

#include "toolkit/platform_codes.h"

namespace puzzle::win32 {

const int32_t kAcceleratorsResource = IDR_ACCELERATORS;
const int32_t kHandCursorResource = IDC_HAND;
const int32_t kArrowCursor = static_cast<int32_t>(IDC_ARROW);
const uint32_t kHelpSearchCommand = HH_DISPLAY_SEARCH;

}  // namespace puzzle::win32
