// The browser's settings entries: whatever text stands in an entry (another tab, an older
// version, a damaged profile), reading it never writes past the buffer given, a value has
// one type and one length however it is asked for, a damaged entry reads as unreadable and
// stays as it was, and a value written reads back exactly as written, before the key
// closes and from storage after.
//
// Input: a byte for the size of the read buffer, a byte for the length of the name, the
// name, four bytes of the type written, then the text of the entry (its first half) and
// the bytes written (its second half).

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/web/page_calls.h"
#include "shell/web/web_settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "toolkit/platform_codes.h"

using namespace puzzle;

// The page's storage, in memory: the only page calls the settings key makes.
namespace {
std::map<std::string, std::string> storage;
}  // namespace

namespace puzzle::page {
std::optional<std::string> ReadStored(std::string_view key) {
  auto found = storage.find(std::string(key));
  if (found == storage.end()) return std::nullopt;
  return found->second;
}
void WriteStoredTogether(const std::vector<std::pair<std::string, std::string>>& entries) {
  for (const auto& [key, value] : entries) storage[key] = value;
}
}  // namespace puzzle::page

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  storage.clear();
  fuzz::Prefix input(data, size);
  const uint32_t bufferSize = input.Byte();
  const std::vector<uint8_t> nameBytes = input.Take(input.Byte() % 24);
  std::string name(nameBytes.begin(), nameBytes.end());
  if (name.empty() || name.find('\0') != std::string::npos) name = "timeBeginner";
  const uint32_t type = input.Word();
  const std::vector<uint8_t> rest = input.Rest();
  const std::string entry(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(rest.size() / 2));
  const std::vector<uint8_t> written(rest.begin() + static_cast<ptrdiff_t>(rest.size() / 2), rest.end());

  auto open = std::make_unique<WebSettingsKey>("Software\\brindlewick\\brindlewick Puzzle");
  WebSettingsKey& key = *open;
  std::string folded;
  for (char c : name) folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  const std::string stored = "Software\\brindlewick\\brindlewick Puzzle\\" + folded;
  storage[stored] = entry;

  // Read with no buffer, then with a buffer of the input's size guarded on both sides.
  FUZZ_CHECK(key.ValueExists(name));
  uint32_t lengthType = 0;
  uint32_t length = 0;
  const int32_t sized = key.QueryValue(name, &lengthType, nullptr, &length);
  std::vector<uint8_t> guarded(bufferSize + 16, 0xA5);
  uint32_t readType = 0;
  uint32_t read = bufferSize;
  const int32_t status = key.QueryValue(name, &readType, guarded.data() + 8, &read);
  for (size_t i = 0; i < 8; ++i) FUZZ_CHECK(guarded[i] == 0xA5 && guarded[guarded.size() - 1 - i] == 0xA5);
  uint32_t decodedType = 0;
  std::string bytes;
  const bool readable = WebSettingsKey::Decode(entry, decodedType, bytes);
  if (!readable) {
    FUZZ_CHECK(sized == ERROR_FILE_NOT_FOUND && status == ERROR_FILE_NOT_FOUND);
  } else {
    FUZZ_CHECK(sized == ERROR_SUCCESS && lengthType == decodedType && length == bytes.size());
    FUZZ_CHECK(readType == decodedType);
    if (bytes.size() <= bufferSize) {
      FUZZ_CHECK(status == ERROR_SUCCESS && read == bytes.size());
    } else {
      FUZZ_CHECK(status == ERROR_MORE_DATA);
    }
    const size_t copied = bytes.size() < bufferSize ? bytes.size() : bufferSize;
    FUZZ_CHECK(std::memcmp(guarded.data() + 8, bytes.data(), copied) == 0);
    // The reading written out again reads as the same value.
    const std::string again = WebSettingsKey::Encode(decodedType, reinterpret_cast<const uint8_t*>(bytes.data()),
                                                     static_cast<uint32_t>(bytes.size()));
    uint32_t againType = 0;
    std::string againBytes;
    FUZZ_CHECK(WebSettingsKey::Decode(again, againType, againBytes));
    FUZZ_CHECK(againType == decodedType && againBytes == bytes);
  }
  // Reading changed nothing stored.
  FUZZ_CHECK(storage[stored] == entry);

  // A value written reads back exactly.
  const int32_t set = key.SetValue(name, type, written.data(), static_cast<uint32_t>(written.size()));
  FUZZ_CHECK(set == ERROR_SUCCESS);
  std::vector<uint8_t> back(written.size() + 1, 0);
  uint32_t backType = 0;
  uint32_t backSize = static_cast<uint32_t>(back.size());
  FUZZ_CHECK(key.QueryValue(name, &backType, back.data(), &backSize) == ERROR_SUCCESS);
  FUZZ_CHECK(backType == type && backSize == written.size());
  FUZZ_CHECK(written.empty() || std::memcmp(back.data(), written.data(), written.size()) == 0);
  // Stored when the key closes, and read back from storage then as it was written.
  open.reset();
  FUZZ_CHECK(storage[stored] == WebSettingsKey::Encode(type, written.data(), static_cast<uint32_t>(written.size())));
  return 0;
}
