// The settings file: whatever bytes stand in it, a value read has one type and one length
// however it is asked for, a text comes back terminated within its buffer with whole
// characters only, a value written reads back exactly as written (any name, type and bytes
// the store takes), nothing understood before a write is lost by it, and a file the store
// could not wholly understand is kept aside byte for byte instead of being overwritten.
//
// Input: a byte for the type written (text, number, bytes, or any type from the next four
// bytes), a byte for the length of the name, the name, two bytes for the length of the
// data, the data, a byte for the size of a text buffer, then the file.

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/settings_store.h"
#include "shell/headless/headless_host.h"
#include "shell/linux/settings_file.h"
#include "shell/text/utf8.h"
#include "tests/fuzz/fuzz_support.h"
#include "toolkit/platform_codes.h"

using namespace puzzle;
namespace fs = std::filesystem;

namespace {

// One of each kind the game reads: a number, a flag, a path, a name.
const char* const kGameNames[] = {"dimensionX", "showNumber", "picturePath", "nameBeginner"};
constexpr size_t kMostNames = 8;

struct Read {
  bool found = false;
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
};

bool operator==(const Read& a, const Read& b) { return a.found == b.found && a.type == b.type && a.bytes == b.bytes; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// A value asked for its length, then read whole.
Read QuickRead(RegistryKey& key, const std::string& name) {
  Read read;
  uint32_t length = 0;
  read.found = key.QueryValue(name, nullptr, nullptr, &length) == ERROR_SUCCESS;
  if (!read.found) return read;
  read.bytes.resize(length);
  FUZZ_CHECK(key.QueryValue(name, &read.type, read.bytes.data(), &length) == ERROR_SUCCESS);
  FUZZ_CHECK(length == read.bytes.size());
  return read;
}

// The same, and every other way of asking agrees: whether it exists, a read into a buffer
// one byte short.
Read ReadValue(RegistryKey& key, const std::string& name) {
  Read read;
  uint32_t type = 0;
  uint32_t length = 0;
  const int32_t status = key.QueryValue(name, &type, nullptr, &length);
  read.found = status == ERROR_SUCCESS;
  FUZZ_CHECK(read.found || status == ERROR_FILE_NOT_FOUND);
  FUZZ_CHECK(key.ValueExists(name) == read.found);
  if (!read.found) return read;
  FUZZ_CHECK(length <= SettingsFile::kMaxFileSize);
  read.type = type;
  read.bytes.assign(length, 0xA5);
  uint32_t got = length;
  uint32_t typeAgain = ~type;
  FUZZ_CHECK(key.QueryValue(name, &typeAgain, read.bytes.data(), &got) == ERROR_SUCCESS);
  FUZZ_CHECK(got == length && typeAgain == type);
  if (length > 0) {
    // A buffer of its own even when it holds nothing: no buffer asks for the length.
    std::vector<uint8_t> shorter(length, 0x5A);
    uint32_t room = length - 1;
    FUZZ_CHECK(key.QueryValue(name, nullptr, shorter.data(), &room) == ERROR_MORE_DATA);
    FUZZ_CHECK(std::equal(shorter.begin(), shorter.end() - 1, read.bytes.begin()) && shorter.back() == 0x5A);
  }
  return read;
}

// The names the file's lines give, as a reader of the file would pick them out.
std::vector<std::string> NamesIn(std::string_view text) {
  std::vector<std::string> names(std::begin(kGameNames), std::end(kGameNames));
  names.emplace_back("");
  size_t pos = 0;
  while (pos < text.size() && names.size() < kMostNames + std::size(kGameNames)) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '"') continue;
    std::string name;
    for (size_t i = 1; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      name += line[i];
    }
    names.push_back(name);
  }
  return names;
}

bool IsHeaderLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  return SameName(line, "Windows Registry Editor Version 5.00") || SameName(line, "REGEDIT4");
}

// Files that can't be taken whole, by rules anyone reading the file can apply: one without
// the header line, one cut short in its last line.
bool PlainlyDamaged(std::string_view text) {
  if (text.empty()) return false;
  bool header = false;
  for (size_t pos = 0; pos < text.size() && !header;) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    header = IsHeaderLine(text.substr(pos, end - pos));
    pos = end + 1;
  }
  if (!header) return true;
  const size_t lastBreak = text.rfind('\n');
  const std::string_view last = lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1);
  return last.find_first_not_of(" \t\r") != std::string_view::npos;
}

std::vector<uint8_t> Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Storable(const std::string& name) {
  return name.size() <= 16383 &&
         std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // In memory where there is a place for it: every write is synced.
  static const fs::path home =
      (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) / ("settings-fuzz-" + std::to_string(getpid()));
  fuzz::Prefix prefix(data, size);
  const uint8_t kind = prefix.Byte();
  const uint32_t type = (kind & 3) == 0 ? REG_SZ : (kind & 3) == 1 ? REG_DWORD : (kind & 3) == 2 ? REG_BINARY : prefix.Word();
  const std::vector<uint8_t> nameBytes = prefix.Take(prefix.Byte());
  const std::string name(nameBytes.begin(), nameBytes.end());
  const size_t dataLength = prefix.Byte() | size_t{prefix.Byte()} << 8;
  const std::vector<uint8_t> value = prefix.Take(dataLength);
  const uint32_t bufferSize = 1 + prefix.Byte() % 64;
  const std::vector<uint8_t> original = prefix.Rest();
  const std::string_view text(reinterpret_cast<const char*>(original.data()), original.size());

  std::error_code ignored;
  fs::remove_all(home, ignored);
  const SettingsFile store(home);
  const fs::path file = *store.KeyFile(kSettingsKeyPath);
  fs::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::unique_ptr<RegistryKey> key = store.OpenKey(kSettingsKeyPath, kSettingsKeyClass);
  FUZZ_CHECK(key != nullptr);

  const std::vector<std::string> names = NamesIn(text);
  std::vector<Read> before;
  for (const std::string& n : names) before.push_back(ReadValue(*key, n));
  // Reading changes nothing on disk.
  FUZZ_CHECK(Contents(file) == original);

  const int32_t status = key->SetValue(name, type, value.data(), static_cast<uint32_t>(value.size()));
  if (Storable(name)) {
    FUZZ_CHECK(status == ERROR_SUCCESS);
  } else {
    FUZZ_CHECK(status == ERROR_INVALID_PARAMETER);
  }

  // The file as it was, kept aside whole, or not at all.
  std::vector<fs::path> aside;
  for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path())) {
    const std::string leaf = entry.path().filename().string();
    if (leaf.find(".corrupt-") != std::string::npos) aside.push_back(entry.path());
    FUZZ_CHECK(leaf.find(".tmp-") == std::string::npos);
  }
  FUZZ_CHECK(aside.size() <= 1);
  if (!aside.empty()) FUZZ_CHECK(Contents(aside.front()) == original);
  if (status == ERROR_SUCCESS && PlainlyDamaged(text)) FUZZ_CHECK(aside.size() == 1);
  if (status != ERROR_SUCCESS) FUZZ_CHECK(aside.empty() && Contents(file) == original);

  if (status == ERROR_SUCCESS) {
    const Read written = ReadValue(*key, name);
    FUZZ_CHECK(written.found && written.type == type && written.bytes == value);
    // Every value understood before is still there, but the one written over.
    for (size_t i = 0; i < names.size(); ++i) {
      if (SameName(names[i], name) || !before[i].found) continue;
      FUZZ_CHECK(QuickRead(*key, names[i]) == before[i]);
    }
  }

  // The game's own reads: numbers of four bytes, texts cut at a whole character.
  static HeadlessHost host;
  std::vector<std::string> gameReads(std::begin(kGameNames), std::end(kGameNames));
  gameReads.push_back(name);
  for (const std::string& n : gameReads) {
    uint32_t number = 0;
    ReadOrCreateNumber(key.get(), n, 7, number);
    std::vector<char> buffer(bufferSize + 1, 'x');
    buffer[0] = '\0';
    ReadOrCreateText(host, *key, n, buffer.data(), bufferSize);
    FUZZ_CHECK(buffer[bufferSize] == 'x');
    const size_t kept = ::strnlen(buffer.data(), bufferSize);
    FUZZ_CHECK(kept < bufferSize);
    const Read stored = QuickRead(*key, n);
    // Read or, when absent, stored with its default.
    FUZZ_CHECK(stored.found || !Storable(n));
    if (!stored.found) continue;
    std::string_view whole(reinterpret_cast<const char*>(stored.bytes.data()), stored.bytes.size());
    whole = whole.substr(0, whole.find('\0'));
    FUZZ_CHECK(whole.starts_with(std::string_view(buffer.data(), kept)));
    if (whole.size() < bufferSize) FUZZ_CHECK(kept == whole.size());
    if (utf8::IsValid(whole)) FUZZ_CHECK(utf8::IsValid(std::string_view(buffer.data(), kept)));
  }
  fs::remove_all(home, ignored);
  return 0;
}
