#include "shell/win32/win32_registry.h"

#include "shell/win32/wide_text.h"

#include <algorithm>
#include <cstring>
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
  return RegQueryValueExW(key_, win32::Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Texts are kept as Windows keeps every text value, in UTF-16, and handed to the program
// as UTF-8: a value any version stored, through the ANSI calls or the wide ones, reads as
// the characters it holds.
int32_t Win32RegistryKey::QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) {
  const std::wstring value = win32::Wide(name);
  DWORD storedType = 0;
  DWORD length = 0;
  LONG status = RegQueryValueExW(key_, value.c_str(), nullptr, &storedType, nullptr, &length);
  if (status != ERROR_SUCCESS) {
    *size = 0;
    if (type != nullptr) *type = storedType;
    return static_cast<int32_t>(status);
  }
  std::vector<uint8_t> whole(length);
  status = RegQueryValueExW(key_, value.c_str(), nullptr, &storedType, whole.data(), &length);
  whole.resize(status == ERROR_SUCCESS ? length : 0);
  if (storedType == REG_SZ || storedType == REG_EXPAND_SZ) {
    std::wstring wide(whole.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), whole.data(), wide.size() * sizeof(wchar_t));
    const std::string text = win32::Utf8(wide);
    whole.assign(text.begin(), text.end());
  }
  // A value longer than the buffer, one nobody should have written, is read cut to it.
  const uint32_t copied = static_cast<uint32_t>(std::min<size_t>(*size, whole.size()));
  std::copy_n(whole.begin(), copied, data);
  if (status == ERROR_SUCCESS && whole.size() > *size) status = ERROR_MORE_DATA;
  if (type != nullptr) *type = storedType;
  *size = copied;
  return static_cast<int32_t>(status);
}

int32_t Win32RegistryKey::SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) {
  const std::wstring value = win32::Wide(name);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const std::wstring text = win32::Wide(std::string_view(reinterpret_cast<const char*>(data), size));
    return static_cast<int32_t>(RegSetValueExW(key_, value.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                                               static_cast<DWORD>(text.size() * sizeof(wchar_t))));
  }
  return static_cast<int32_t>(RegSetValueExW(key_, value.c_str(), 0, type, data, size));
}

}  // namespace puzzle
