#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/host.h"

namespace puzzle {

// A settings key in the browser's storage: one storage entry for each value, named by the
// key's path and the value's name (without case, as the registry compares names), holding
// its type and bytes. A tab writes only the values it stores, so two tabs at once keep
// each other's records. A damaged entry exists but can't be read, and stays as it is until
// the program stores that value again. What is stored while the key is open lands when it
// is closed, all together or (storage full or refused) not at all: no value is ever kept
// without the ones it goes with (a picture's flag without its path).
class WebSettingsKey : public RegistryKey {
 public:
  explicit WebSettingsKey(std::string_view path) : prefix_(std::string(path) + "\\") {}
  ~WebSettingsKey() override;
  WebSettingsKey(const WebSettingsKey&) = delete;
  WebSettingsKey& operator=(const WebSettingsKey&) = delete;

  bool ValueExists(std::string_view name) override;
  int32_t QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) override;
  int32_t SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) override;

  // The stored text of a value, "type:hex bytes", and its reading; false when damaged.
  static std::string Encode(uint32_t type, const uint8_t* data, uint32_t size);
  static bool Decode(std::string_view text, uint32_t& type, std::string& bytes);

 private:
  std::string EntryName(std::string_view name) const;
  // The stored text of an entry: what this key stores, else what storage has.
  std::optional<std::string> Read(const std::string& entry) const;
  std::string prefix_;
  std::vector<std::pair<std::string, std::string>> pending_;
};

}  // namespace puzzle
