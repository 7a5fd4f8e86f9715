#include "shell/win32/win32_registry.h"

#include <string>
#include <vector>

namespace puzzle {

std::unique_ptr<Win32RegistryKey> Win32RegistryKey::Create(std::string_view path, std::string_view className) {
  const std::string subKey(path);
  std::string keyClass(className);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, keyClass.data(), REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

Win32RegistryKey::~Win32RegistryKey() { RegCloseKey(key_); }

bool Win32RegistryKey::ValueExists(std::string_view name) {
  const std::string value(name);
  return RegQueryValueExA(key_, value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int32_t Win32RegistryKey::QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) {
  const std::string value(name);
  DWORD storedType = 0;
  DWORD length = *size;
  LONG status = RegQueryValueExA(key_, value.c_str(), nullptr, &storedType, data, &length);
  if (status == ERROR_MORE_DATA) {
    // The registry leaves the buffer alone when the value is longer; a value nobody
    // should have written is read cut to the buffer instead.
    std::vector<uint8_t> whole(length);
    DWORD wholeLength = length;
    if (RegQueryValueExA(key_, value.c_str(), nullptr, &storedType, whole.data(), &wholeLength) == ERROR_SUCCESS) {
      std::copy_n(whole.begin(), std::min<size_t>(*size, wholeLength), data);
    }
    length = *size;
  }
  if (type != nullptr) *type = storedType;
  *size = length;
  return static_cast<int32_t>(status);
}

int32_t Win32RegistryKey::SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) {
  const std::string value(name);
  return static_cast<int32_t>(RegSetValueExA(key_, value.c_str(), 0, type, data, size));
}

}  // namespace puzzle
