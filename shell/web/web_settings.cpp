#include "shell/web/web_settings.h"

#include <cstring>

#include "shell/web/page_calls.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

// Far more than any value the program keeps: a longer entry is damaged.
constexpr size_t kLongestValue = 64 * 1024;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string WebSettingsKey::Encode(uint32_t type, const uint8_t* data, uint32_t size) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = std::to_string(type) + ":";
  for (uint32_t i = 0; i < size; ++i) {
    text += kHex[data[i] >> 4];
    text += kHex[data[i] & 0xF];
  }
  return text;
}

bool WebSettingsKey::Decode(std::string_view text, uint32_t& type, std::string& bytes) {
  const size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > 10) return false;
  uint64_t number = 0;
  for (char c : text.substr(0, colon)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > 0xFFFFFFFFu) return false;
  const std::string_view hex = text.substr(colon + 1);
  if (hex.size() % 2 != 0 || hex.size() / 2 > kLongestValue) return false;
  bytes.clear();
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  type = static_cast<uint32_t>(number);
  return true;
}

std::string WebSettingsKey::EntryName(std::string_view name) const {
  std::string entry = prefix_;
  for (char c : name) entry += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return entry;
}

WebSettingsKey::~WebSettingsKey() {
  if (!pending_.empty()) page::WriteStoredTogether(pending_);
}

std::optional<std::string> WebSettingsKey::Read(const std::string& entry) const {
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
    if (it->first == entry) return it->second;
  }
  return page::ReadStored(entry);
}

// A damaged entry still exists: the program then keeps its default without storing it over
// what is there.
bool WebSettingsKey::ValueExists(std::string_view name) { return Read(EntryName(name)).has_value(); }

int32_t WebSettingsKey::QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  const auto text = Read(EntryName(name));
  uint32_t storedType = 0;
  std::string bytes;
  if (!text || !Decode(*text, storedType, bytes)) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = storedType;
  if (size == nullptr) return ERROR_SUCCESS;
  const auto length = static_cast<uint32_t>(bytes.size());
  if (data == nullptr) {
    *size = length;
    return ERROR_SUCCESS;
  }
  if (length > *size) {
    if (*size > 0) std::memcpy(data, bytes.data(), *size);
    return ERROR_MORE_DATA;
  }
  if (length > 0) std::memcpy(data, bytes.data(), length);
  *size = length;
  return ERROR_SUCCESS;
}

int32_t WebSettingsKey::SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) {
  if ((data == nullptr && size > 0) || name.empty() || size > kLongestValue) return ERROR_INVALID_PARAMETER;
  std::string entry = EntryName(name);
  std::string text = Encode(type, data, size);
  for (auto& [pendingEntry, pendingText] : pending_) {
    if (pendingEntry == entry) {
      pendingText = std::move(text);
      return ERROR_SUCCESS;
    }
  }
  pending_.emplace_back(std::move(entry), std::move(text));
  return ERROR_SUCCESS;
}

}  // namespace puzzle
