#include "shell/linux/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "shell/text/utf8.h"
#include "toolkit/platform_codes.h"

// The file, as the registry editor exports a key:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\brindlewick\brindlewick Puzzle]
//   "dimensionX"=dword:00000004
//   "showNumber"=hex:00
//   "picturePath"="/home/ann/Pictures/cat.png"
//
// A quoted string stands for its UTF-8 bytes and the terminator. Everything else keeps
// its exact bytes as a hex list: hex(1) for a string that isn't plain text, hex(N) for
// other types. Unlike the editor's own hex(1), which holds UTF-16, our lists hold the
// bytes the game stored.
//
// Replacing the file: under an exclusive flock() of the lock file beside it, the writer
// reads the file afresh, changes its one value, writes a temporary file in the same folder,
// syncs it, renames it over the file and syncs the folder. A file that is a symbolic link
// is replaced where the link leads, the temporary file beside it. Readers take the lock shared;
// they would see a whole file even without it, since a rename never shows half of one.
// flock() rather than fcntl() locks, because its locks belong to the open file and not to
// the process: two keys open in one process keep each other out too, and closing one
// descriptor doesn't drop another's lock.
//
// What is read from a damaged file, and what becomes of it:
// - A file without the header line (binary junk, another format) or larger than
//   kMaxFileSize holds no values as far as the game is concerned: it falls back to its
//   defaults. An empty file is an empty key.
// - Within a file with the header, a line that doesn't parse is skipped and only that
//   line: one mangled record doesn't cost the good ones. A last line without its newline
//   counts as mangled, since every file we write ends with one: the file was cut short,
//   and "dword:0000001" may be what is left of "dword:00000010".
// - Either way the next write keeps the file under "<file>.corrupt-<UTC time>" and puts
//   a fresh one in its place, with the values that were understood and the new one. A
//   file we couldn't fully understand is never overwritten or deleted.
// - A file that can't be read at all (permissions, I/O error) is neither read nor
//   replaced; writes fail until it can be.
// Sections of other keys are ignored when reading and copied unchanged when rewriting.
// Comments are not kept across a rewrite.

namespace puzzle {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxNameLength = 16383;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kShortRoot = "HKCU\\";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX

// ---------------------------------------------------------------------------------------
// Text helpers

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Value and key names compare as the registry compares them, without regard to case
// (ASCII letters only; the game's names are ASCII).
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool HasControlBytes(std::string_view text, bool tabAllowed) {
  for (char c : text) {
    if (IsControl(static_cast<unsigned char>(c)) && !(tabAllowed && c == '\t')) return true;
  }
  return false;
}

std::optional<uint32_t> ParseHexNumber(std::string_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  uint32_t value = 0;
  for (char c : digits) {
    const char lower = LowerAscii(c);
    uint32_t digit = 0;
    if (lower >= '0' && lower <= '9') {
      digit = static_cast<uint32_t>(lower - '0');
    } else if (lower >= 'a' && lower <= 'f') {
      digit = static_cast<uint32_t>(lower - 'a' + 10);
    } else {
      return std::nullopt;
    }
    value = (value << 4) | digit;
  }
  return value;
}

// ---------------------------------------------------------------------------------------
// The key's contents

struct Value {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct Document {
  std::vector<Value> values;        // in file order
  std::vector<std::string> others;  // sections of other keys, verbatim
  bool damaged = false;             // some lines were skipped

  const Value* Find(std::string_view name) const {
    for (const Value& value : values) {
      if (EqualsIgnoringCase(value.name, name)) return &value;
    }
    return nullptr;
  }

  // A value already there keeps its place and its spelling, as in the registry.
  void Set(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
    for (Value& value : values) {
      if (EqualsIgnoringCase(value.name, name)) {
        value.type = type;
        value.data = std::move(data);
        return;
      }
    }
    values.push_back(Value{std::string(name), type, std::move(data)});
  }

  void Remove(std::string_view name) {
    std::erase_if(values, [&](const Value& value) { return EqualsIgnoringCase(value.name, name); });
  }
};

// ---------------------------------------------------------------------------------------
// Reading

struct Line {
  std::string text;  // continuation lines joined
  std::string raw;   // the lines as they stood, for copying other keys' sections
};

// Reads a quoted string starting at text[pos]; only \\ and \" are escapes.
std::optional<std::string> ReadQuoted(std::string_view text, size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  ++pos;
  std::string out;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (c == '"') return out;
    if (c == '\\') {
      if (pos >= text.size()) return std::nullopt;
      const char escaped = text[pos++];
      if (escaped != '\\' && escaped != '"') return std::nullopt;
      out += escaped;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

struct NameAndData {
  std::string name;
  std::string_view data;  // after '=', trimmed
};

// Splits `"name"=data` or `@=data`.
std::optional<NameAndData> SplitValueLine(std::string_view line) {
  line = TrimLeft(line);
  NameAndData result;
  size_t pos = 0;
  if (!line.empty() && line[0] == '@') {
    pos = 1;
  } else {
    auto name = ReadQuoted(line, pos);
    if (!name) return std::nullopt;
    result.name = std::move(*name);
  }
  std::string_view rest = TrimLeft(line.substr(pos));
  if (rest.empty() || rest[0] != '=') return std::nullopt;
  result.data = Trim(rest.substr(1));
  return result;
}

// Only hex lists continue on the next line, after a trailing backslash.
bool ContinuesOnNextLine(std::string_view line) {
  const std::string_view trimmed = TrimRight(line);
  if (trimmed.empty() || trimmed.back() != '\\') return false;
  const auto split = SplitValueLine(trimmed);
  return split && StartsWithIgnoringCase(split->data, "hex");
}

// Splits the text into lines, joining continuations. cutOff tells that the text ended in
// the middle of a line, which is then left out.
std::vector<Line> SplitLines(std::string_view text, bool& cutOff) {
  std::vector<Line> lines;
  bool continuing = false;
  cutOff = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    const bool terminated = end != std::string_view::npos;
    std::string_view physical = text.substr(pos, (terminated ? end : text.size()) - pos);
    pos = terminated ? end + 1 : text.size();
    if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
    if (!terminated) {
      if (!Trim(physical).empty()) cutOff = true;
      break;
    }
    if (continuing) {
      Line& line = lines.back();
      line.text += TrimLeft(physical);
      line.raw += '\n';
      line.raw += physical;
    } else {
      lines.push_back(Line{std::string(physical), std::string(physical)});
    }
    Line& line = lines.back();
    continuing = ContinuesOnNextLine(line.text);
    if (continuing) line.text.resize(TrimRight(line.text).size() - 1);
  }
  if (continuing) {
    // The list's next line never came.
    cutOff = true;
    lines.pop_back();
  }
  return lines;
}

std::optional<std::vector<uint8_t>> ParseHexList(std::string_view list) {
  std::vector<uint8_t> bytes;
  list = Trim(list);
  if (list.empty()) return bytes;
  while (true) {
    const size_t comma = list.find(',');
    const auto byte = ParseHexNumber(Trim(list.substr(0, comma)), 2);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*byte));
    if (comma == std::string_view::npos) return bytes;
    list.remove_prefix(comma + 1);
  }
}

struct ParsedValue {
  std::string name;
  bool deletion = false;  // "name"=- removes the value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

std::optional<ParsedValue> ParseValueLine(std::string_view line) {
  auto split = SplitValueLine(line);
  if (!split) return std::nullopt;
  ParsedValue value;
  value.name = std::move(split->name);
  std::string_view data = split->data;
  if (data == "-") {
    value.deletion = true;
    return value;
  }
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    auto text = ReadQuoted(data, pos);
    if (!text || pos != data.size()) return std::nullopt;
    value.type = REG_SZ;
    value.data.assign(text->begin(), text->end());
    value.data.push_back(0);
    return value;
  }
  if (StartsWithIgnoringCase(data, "dword:")) {
    const auto number = ParseHexNumber(Trim(data.substr(6)), 8);
    if (!number) return std::nullopt;
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(*number >> (8 * i)));
    return value;
  }
  if (StartsWithIgnoringCase(data, "hex:")) {
    value.type = REG_BINARY;
    data.remove_prefix(4);
  } else if (StartsWithIgnoringCase(data, "hex(")) {
    const size_t close = data.find(')');
    if (close == std::string_view::npos || close + 1 >= data.size() || data[close + 1] != ':') return std::nullopt;
    const auto type = ParseHexNumber(data.substr(4, close - 4), 8);
    if (!type) return std::nullopt;
    value.type = *type;
    data.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  auto bytes = ParseHexList(data);
  if (!bytes) return std::nullopt;
  value.data = std::move(*bytes);
  return value;
}

bool IsHeader(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  return EqualsIgnoringCase(trimmed, kHeader) || EqualsIgnoringCase(trimmed, kOldHeader);
}

bool IsOurKey(std::string_view name, std::string_view keyPath) {
  name = Trim(name);
  for (std::string_view root : {kRoot, kShortRoot}) {
    if (StartsWithIgnoringCase(name, root) && EqualsIgnoringCase(name.substr(root.size()), keyPath)) return true;
  }
  return false;
}

bool IsBlankOrComment(std::string_view line) {
  const std::string_view trimmed = TrimLeft(line);
  return trimmed.empty() || trimmed[0] == ';';
}

// Nothing when the text isn't a registry file at all.
std::optional<Document> Parse(std::string_view text, std::string_view keyPath) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  Document document;
  bool cutOff = false;
  const std::vector<Line> lines = SplitLines(text, cutOff);
  document.damaged = cutOff;

  size_t index = 0;
  while (index < lines.size() && IsBlankOrComment(lines[index].text) && !IsHeader(lines[index].text)) ++index;
  if (index == lines.size() || !IsHeader(lines[index].text)) return std::nullopt;
  ++index;

  enum class Section { None, Ours, Other, Unknown } section = Section::None;
  for (; index < lines.size(); ++index) {
    const Line& line = lines[index];
    const std::string_view trimmed = Trim(line.text);
    if (!trimmed.empty() && trimmed[0] == '[') {
      if (trimmed.size() < 2 || trimmed.back() != ']') {
        // Whose values follow is anyone's guess: take none of them.
        document.damaged = true;
        section = Section::Unknown;
      } else if (IsOurKey(trimmed.substr(1, trimmed.size() - 2), keyPath)) {
        section = Section::Ours;
      } else {
        section = Section::Other;
        document.others.push_back(line.raw);
      }
      continue;
    }
    switch (section) {
      case Section::Other:
        document.others.back() += '\n';
        document.others.back() += line.raw;
        break;
      case Section::Unknown:
        break;
      case Section::None:
        if (!IsBlankOrComment(line.text)) document.damaged = true;
        break;
      case Section::Ours: {
        if (IsBlankOrComment(line.text)) break;
        auto value = HasControlBytes(line.text, true) ? std::nullopt : ParseValueLine(line.text);
        if (!value) {
          document.damaged = true;
        } else if (value->deletion) {
          document.Remove(value->name);
        } else {
          // A name given twice: the later line wins, as on import.
          document.Remove(value->name);
          document.values.push_back(Value{std::move(value->name), value->type, std::move(value->data)});
        }
        break;
      }
    }
  }
  return document;
}

enum class FileState { Absent, Parsed, NotUnderstood, Unreadable };

struct Loaded {
  FileState state = FileState::Absent;
  Document document;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, for the error that close itself may report.
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

Loaded LoadFile(const fs::path& file, std::string_view keyPath) {
  Loaded loaded;
  // Non-blocking, so a FIFO in the file's place can't hang the game.
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    loaded.state = errno == ENOENT ? FileState::Absent : FileState::Unreadable;
    return loaded;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    loaded.state = FileState::Unreadable;
    return loaded;
  }
  if (static_cast<uintmax_t>(info.st_size) > SettingsFile::kMaxFileSize) {
    loaded.state = FileState::NotUnderstood;
    return loaded;
  }
  std::string text;
  char buffer[16384];
  while (true) {
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      loaded.state = FileState::Unreadable;
      return loaded;
    }
    if (count == 0) break;
    text.append(buffer, static_cast<size_t>(count));
    if (text.size() > SettingsFile::kMaxFileSize) {
      loaded.state = FileState::NotUnderstood;
      return loaded;
    }
  }
  if (text.empty()) {
    // Nothing in it to lose, nothing to keep aside.
    loaded.state = FileState::Parsed;
    return loaded;
  }
  auto document = Parse(text, keyPath);
  if (!document) {
    loaded.state = FileState::NotUnderstood;
    return loaded;
  }
  loaded.state = FileState::Parsed;
  loaded.document = std::move(*document);
  return loaded;
}

// ---------------------------------------------------------------------------------------
// Writing

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// A string the file can show as quoted text and give back byte for byte.
bool IsPlainString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (IsControl(data[i])) return false;
  }
  return utf8::IsValid(std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1));
}

std::string HexList(std::string out, const std::vector<uint8_t>& data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  // Lines stay within 80 columns, as the registry editor keeps them.
  size_t lineStart = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) {
      out += ',';
      // Room for the next byte, its comma and the continuation mark.
      if (out.size() - lineStart + 4 > 80) {
        out += "\\\n  ";
        lineStart = out.size() - 2;
      }
    }
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0xF];
  }
  return out;
}

std::string FormatValue(const Value& value) {
  std::string out = value.name.empty() ? std::string("@") : Quote(value.name);
  out += '=';
  if (value.type == REG_DWORD && value.data.size() == 4) {
    const uint32_t number = uint32_t{value.data[0]} | uint32_t{value.data[1]} << 8 | uint32_t{value.data[2]} << 16 |
                            uint32_t{value.data[3]} << 24;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    return out + "dword:" + digits;
  }
  if (value.type == REG_SZ && IsPlainString(value.data)) {
    return out + Quote(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  }
  if (value.type == REG_BINARY) return HexList(out + "hex:", value.data);
  char type[24];
  std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
  return HexList(out + type, value.data);
}

std::string Serialize(const Document& document, std::string_view keyPath) {
  std::string out(kHeader);
  out += "\n\n[";
  out += kRoot;
  out += keyPath;
  out += "]\n";
  for (const Value& value : document.values) {
    out += FormatValue(value);
    out += '\n';
  }
  for (std::string_view other : document.others) {
    while (!other.empty() && (other.back() == '\n' || IsBlank(other.back()))) other.remove_suffix(1);
    out += '\n';
    out += other;
    out += '\n';
  }
  return out;
}

bool MakeDirectories(const fs::path& directory) {
  fs::path partial;
  for (const fs::path& part : directory) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) == 0) continue;
    struct stat info {};
    if (::stat(partial.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  }
  return true;
}

// Held until destroyed; closing the descriptor releases it.
class FileLock {
 public:
  FileLock(const fs::path& path, int operation) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_.get() < 0) return;
    while (::flock(fd_.get(), operation) != 0) {
      if (errno != EINTR) return;
    }
    held_ = true;
  }
  bool Held() const { return held_; }

 private:
  FileDescriptor fd_;
  bool held_ = false;
};

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    text.remove_prefix(static_cast<size_t>(count));
  }
  return true;
}

// The text on disk under a new name in the file's folder; nothing on failure.
std::optional<fs::path> WriteTemporary(const fs::path& file, std::string_view text) {
  std::string pattern = file.string();
  pattern += kTemporaryInfix;
  pattern.append(kTemporarySuffixLength, 'X');
  FileDescriptor fd(::mkstemp(pattern.data()));
  if (fd.get() < 0) return std::nullopt;
  ::fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
  if (!WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0 || !fd.Close()) {
    ::unlink(pattern.c_str());
    return std::nullopt;
  }
  return fs::path(pattern);
}

void SyncDirectory(const fs::path& directory) {
  // Some file systems can't sync a folder; the rename stands either way.
  FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

// Temporary files left by a writer that died before its rename. Only a writer holding the
// exclusive lock has one, so while we hold it every one we find is abandoned.
void RemoveAbandonedTemporaries(const fs::path& file) {
  const std::string prefix = file.filename().string() + std::string(kTemporaryInfix);
  DIR* directory = ::opendir(file.parent_path().c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (name.size() == prefix.size() + kTemporarySuffixLength && name.starts_with(prefix)) {
      ::unlink((file.parent_path() / fs::path(name)).c_str());
    }
  }
  ::closedir(directory);
}

// A free name to keep a damaged file under.
std::optional<fs::path> AsideName(const fs::path& file) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  char stamp[32] = "unknown";
  if (::gmtime_r(&now, &utc) != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  const std::string base = file.string() + ".corrupt-" + stamp;
  for (int n = 1; n <= 1000; ++n) {
    const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    struct stat info {};
    if (::lstat(candidate.c_str(), &info) != 0 && errno == ENOENT) return fs::path(candidate);
  }
  return std::nullopt;
}

bool IsStorableName(std::string_view name) { return name.size() <= kMaxNameLength && !HasControlBytes(name, false); }

// Where a save has to go: the file itself, or, when it is a symbolic link (a dotfiles
// folder), the file the link leads to, so that the link stays and its target is updated.
fs::path WriteTarget(const fs::path& file) {
  fs::path target = file;
  // As many hops as the system itself follows before it gives up.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    std::error_code error;
    const fs::path next = fs::read_symlink(target, error);
    if (error) return target;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

fs::path LockPath(const fs::path& file) {
  fs::path lock = file;
  lock += ".lock";
  return lock;
}

class FileKey final : public RegistryKey {
 public:
  FileKey(fs::path file, std::string keyPath)
      : file_(std::move(file)), lock_(LockPath(file_)), keyPath_(std::move(keyPath)) {}

  bool ValueExists(std::string_view name) override {
    const Loaded loaded = Read();
    return loaded.state == FileState::Parsed && loaded.document.Find(name) != nullptr;
  }

  int32_t QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) override {
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    const Loaded loaded = Read();
    const Value* value = loaded.state == FileState::Parsed ? loaded.document.Find(name) : nullptr;
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = value->type;
    if (size == nullptr) return ERROR_SUCCESS;
    const auto length = static_cast<uint32_t>(value->data.size());
    if (data == nullptr) {
      *size = length;
      return ERROR_SUCCESS;
    }
    if (length > *size) {
      if (*size > 0) std::memcpy(data, value->data.data(), *size);
      return ERROR_MORE_DATA;
    }
    if (length > 0) std::memcpy(data, value->data.data(), length);
    *size = length;
    return ERROR_SUCCESS;
  }

  int32_t SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) override {
    if ((data == nullptr && size > 0) || !IsStorableName(name)) return ERROR_INVALID_PARAMETER;
    // The folders again: the player may have removed them while the game ran.
    if (!MakeDirectories(file_.parent_path())) return ERROR_ACCESS_DENIED;
    FileLock lock(lock_, LOCK_EX);
    if (!lock.Held()) return ERROR_ACCESS_DENIED;
    // The temporary file, and a damaged file kept aside, go beside the target: a rename
    // onto the link itself would replace it.
    const fs::path target = WriteTarget(file_);
    RemoveAbandonedTemporaries(target);

    Loaded loaded = LoadFile(target, keyPath_);
    // A file we couldn't read may hold records: never replace it unseen.
    if (loaded.state == FileState::Unreadable) return ERROR_ACCESS_DENIED;
    const bool keepAside = loaded.state == FileState::NotUnderstood || loaded.document.damaged;
    Document& document = loaded.document;
    std::vector<uint8_t> bytes(data, data + size);
    if (!keepAside) {
      // The settings written at every exit are mostly unchanged: spare the disk.
      const Value* old = document.Find(name);
      if (old != nullptr && old->type == type && old->data == bytes) return ERROR_SUCCESS;
    }
    document.Set(name, type, std::move(bytes));
    const std::string text = Serialize(document, keyPath_);
    // A file we would refuse to read back must not be written.
    if (text.size() > SettingsFile::kMaxFileSize) return ERROR_INVALID_PARAMETER;

    const auto temporary = WriteTemporary(target, text);
    if (!temporary) return ERROR_ACCESS_DENIED;
    std::optional<fs::path> aside;
    if (keepAside) {
      aside = AsideName(target);
      if (!aside || ::rename(target.c_str(), aside->c_str()) != 0) {
        ::unlink(temporary->c_str());
        return ERROR_ACCESS_DENIED;
      }
    }
    if (::rename(temporary->c_str(), target.c_str()) != 0) {
      ::unlink(temporary->c_str());
      if (aside) ::rename(aside->c_str(), target.c_str());
      return ERROR_ACCESS_DENIED;
    }
    SyncDirectory(target.parent_path());
    return ERROR_SUCCESS;
  }

 private:
  Loaded Read() const {
    // Without the lock (a read-only folder) the read is still whole, thanks to the rename.
    FileLock lock(lock_, LOCK_SH);
    return LoadFile(file_, keyPath_);
  }

  fs::path file_;
  fs::path lock_;
  std::string keyPath_;
};

}  // namespace

SettingsFile::SettingsFile(std::filesystem::path configDirectory) : configDirectory_(std::move(configDirectory)) {}

std::optional<SettingsFile> SettingsFile::ForCurrentUser() {
  auto directory = ConfigDirectory(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!directory) return std::nullopt;
  return SettingsFile(std::move(*directory));
}

std::optional<std::filesystem::path> SettingsFile::ConfigDirectory(const char* xdgConfigHome, const char* home) {
  // A relative path would put the store wherever the game happened to be started.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') return fs::path(xdgConfigHome);
  if (home != nullptr && home[0] == '/') return fs::path(home) / ".config";
  return std::nullopt;
}

std::optional<std::filesystem::path> SettingsFile::KeyFile(std::string_view keyPath) const {
  std::vector<std::string_view> parts;
  while (true) {
    const size_t separator = keyPath.find('\\');
    parts.push_back(keyPath.substr(0, separator));
    if (separator == std::string_view::npos) break;
    keyPath.remove_prefix(separator + 1);
  }
  if (parts.size() > 1 && EqualsIgnoringCase(parts.front(), "Software")) parts.erase(parts.begin());
  for (std::string_view part : parts) {
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string_view::npos ||
        HasControlBytes(part, false)) {
      return std::nullopt;
    }
  }
  fs::path file = configDirectory_;
  for (size_t i = 0; i + 1 < parts.size(); ++i) file /= fs::path(parts[i]);
  file /= fs::path(std::string(parts.back()) + ".reg");
  return file;
}

std::unique_ptr<RegistryKey> SettingsFile::OpenKey(std::string_view keyPath, std::string_view /*className*/) const {
  auto file = KeyFile(keyPath);
  if (!file || !MakeDirectories(file->parent_path())) return nullptr;
  // A key opened for full access must be writable: the lock file proves the folder is.
  FileDescriptor lock(::open(LockPath(*file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) return nullptr;
  return std::make_unique<FileKey>(std::move(*file), std::string(keyPath));
}

}  // namespace puzzle
