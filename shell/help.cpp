#include <cstring>

#include "shell/application.h"

namespace puzzle {

namespace {
constexpr uint32_t kHelpPathSize = 260;
constexpr uint32_t kHtmlHelpOrdinal = 14;
// Where the help engine's class registers its library.
constexpr std::string_view kHelpEngineClass = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
}  // namespace

bool Application::GetHtmlHelpPath(char* buffer, uint32_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  const bool read = host.ReadClassRegistration(kHelpEngineClass, buffer, size);
  // A stored value may fill the buffer without a terminator.
  buffer[size - 1] = '\0';
  return read;
}

uintptr_t Application::CallHtmlHelp(std::string_view file, uint32_t command, uintptr_t data) {
  if (helpModule == 0 && !helpLoadFailed) {
    char path[kHelpPathSize];
    if (GetHtmlHelpPath(path, kHelpPathSize)) helpModule = host.LoadLibrary(path);
    if (helpModule == 0) helpModule = host.LoadLibrary("hhctrl.ocx");
    if (helpModule == 0) {
      helpLoadFailed = true;
      return 0;
    }
  }
  // Once the engine could not be found, it is not looked for again.
  if (helpModule == 0) return 0;
  if (helpEntry == 0) {
    helpEntry = host.GetProcAddress(helpModule, kHtmlHelpOrdinal);
    if (helpEntry == 0) {
      helpLoadFailed = true;
      return 0;
    }
  }
  return host.CallHelpEntry(helpEntry, file, command, data);
}

}  // namespace puzzle
