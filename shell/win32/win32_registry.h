#pragma once

#include "shell/win32/windows_api.h"

#include <memory>
#include <string_view>

#include "shell/host.h"

namespace puzzle {

// An open key of the current user's registry; closed when destroyed.
class Win32RegistryKey : public RegistryKey {
 public:
  // Opens the key under HKEY_CURRENT_USER, creating it when absent (with the class string,
  // non-volatile, full access); null when that fails.
  static std::unique_ptr<Win32RegistryKey> Create(std::string_view path, std::string_view className);
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override;
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  bool ValueExists(std::string_view name) override;
  int32_t QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) override;
  int32_t SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) override;

 private:
  HKEY key_;
};

}  // namespace puzzle
