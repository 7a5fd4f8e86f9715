#include "shell/linux/settings_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "toolkit/platform_codes.h"

namespace puzzle {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKeyPath = "Software\\brindlewick\\brindlewick Puzzle";
constexpr std::string_view kClass = "brindlewick Puzzle";
constexpr uint32_t kRegQword = 11;

using Bytes = std::vector<uint8_t>;

Bytes Dword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

// A string as the game stores it: its bytes and the terminator.
Bytes Sz(std::string_view text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

struct Stored {
  uint32_t type = 0;
  Bytes data;
  bool operator==(const Stored&) const = default;
};

void PrintTo(const Stored& stored, std::ostream* out) {
  *out << "type " << stored.type << " [";
  for (uint8_t b : stored.data) *out << ' ' << static_cast<int>(b);
  *out << " ]";
}

std::optional<Stored> Get(RegistryKey& key, std::string_view name) {
  Stored stored;
  uint32_t size = 0;
  if (key.QueryValue(name, &stored.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  stored.data.resize(size);
  uint32_t copied = size;
  EXPECT_EQ(key.QueryValue(name, &stored.type, stored.data.data(), &copied), ERROR_SUCCESS);
  EXPECT_EQ(copied, size);
  return stored;
}

int32_t Set(RegistryKey& key, std::string_view name, uint32_t type, const Bytes& data) {
  return key.SetValue(name, type, data.data(), static_cast<uint32_t>(data.size()));
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

fs::path MakeTemporaryDirectory() {
  std::string pattern = ::testing::TempDir() + "puzzle-settings-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// Sets or clears an environment variable for the length of a test.
class EnvironmentOverride {
 public:
  EnvironmentOverride(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvironmentOverride() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LinuxSettingsFileTest : public ::testing::Test {
 protected:
  LinuxSettingsFileTest() : root(MakeTemporaryDirectory()), store(root / "config") {}
  ~LinuxSettingsFileTest() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  std::unique_ptr<RegistryKey> Open() {
    auto key = store.OpenKey(kKeyPath, kClass);
    EXPECT_NE(key, nullptr);
    return key;
  }
  fs::path File() const { return *store.KeyFile(kKeyPath); }
  // Files beside the store whose names continue its own with this infix.
  std::vector<fs::path> Beside(std::string_view infix) const {
    std::vector<fs::path> found;
    const std::string prefix = File().filename().string() + std::string(infix);
    for (const auto& entry : fs::directory_iterator(File().parent_path())) {
      if (entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
    }
    return found;
  }

  fs::path root;
  SettingsFile store;
};

TEST_F(LinuxSettingsFileTest, ValuesComeBackWithTheirExactTypeAndBytes) {
  Bytes longBinary;
  for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<uint8_t>(i * 7));
  const std::vector<std::pair<std::string, Stored>> values = {
      {"dimensionX", {REG_DWORD, Dword(10)}},
      {"emptyX", {REG_DWORD, Dword(0xFFFFFFFFu)}},
      {"showNumber", {REG_BINARY, {0x00}}},
      {"defaultPicture", {REG_BINARY, {0x01}}},
      {"picturePath", {REG_SZ, Sz(R"(C:\pics\"quoted" café ü.png)")}},
      {"nameBeginner", {REG_SZ, Sz("")}},
      {"embeddedNul", {REG_SZ, {'a', 0, 'b', 0}}},
      {"unterminated", {REG_SZ, {'a', 'b', 'c'}}},
      {"controls", {REG_SZ, Sz("line\nbreak\ttab")}},
      {"latin1", {REG_SZ, Sz("caf\xE9")}},
      {"emptyString", {REG_SZ, {}}},
      {"emptyBinary", {REG_BINARY, {}}},
      {"shortDword", {REG_DWORD, {1, 2}}},
      {"qword", {kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {"none", {REG_NONE, {}}},
      {"long", {REG_BINARY, longBinary}},
      {"", {REG_SZ, Sz("the default value")}},
  };
  auto writer = Open();
  for (const auto& [name, value] : values) ASSERT_EQ(Set(*writer, name, value.type, value.data), ERROR_SUCCESS) << name;

  // Another key reads them from the file.
  auto reader = Open();
  for (const auto& [name, value] : values) {
    EXPECT_TRUE(reader->ValueExists(name)) << name;
    EXPECT_EQ(Get(*reader, name), value) << name;
  }
  std::istringstream lines(ReadText(File()));
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;

  ASSERT_EQ(Set(*writer, "dimensionX", REG_BINARY, Dword(10)), ERROR_SUCCESS);
  EXPECT_EQ(Get(*Open(), "dimensionX"), (Stored{REG_BINARY, Dword(10)})) << "the same bytes under a new type";
}

TEST_F(LinuxSettingsFileTest, QueryReportsTheLengthAndNeverWritesPastTheBuffer) {
  auto key = Open();
  ASSERT_EQ(Set(*key, "nameExpert", REG_SZ, Sz("Anonymous")), ERROR_SUCCESS);

  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(key->QueryValue("nameExpert", nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(key->QueryValue("nameExpert", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 10u);

  Bytes buffer(16, 0xEE);
  size = 4;
  type = 0;
  EXPECT_EQ(key->QueryValue("nameExpert", &type, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), Bytes({'A', 'n', 'o', 'n'}));
  EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.end()), Bytes(12, 0xEE));

  buffer.assign(16, 0xEE);
  size = 0;
  EXPECT_EQ(key->QueryValue("nameExpert", nullptr, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(buffer, Bytes(16, 0xEE));

  size = 10;
  EXPECT_EQ(key->QueryValue("nameExpert", nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);

  buffer.assign(16, 0xEE);
  size = 15;
  EXPECT_EQ(key->QueryValue("nameExpert", nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10), Sz("Anonymous"));
  EXPECT_EQ(Bytes(buffer.begin() + 10, buffer.end()), Bytes(6, 0xEE));

  // A missing value answers so and leaves the outputs alone.
  type = 77;
  size = 15;
  buffer.assign(16, 0xEE);
  EXPECT_FALSE(key->ValueExists("nameIntermediate"));
  EXPECT_EQ(key->QueryValue("nameIntermediate", &type, buffer.data(), &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key->QueryValue("nameIntermediate", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(size, 15u);
  EXPECT_EQ(buffer, Bytes(16, 0xEE));
}

TEST_F(LinuxSettingsFileTest, NamesIgnoreCaseAndKeepTheSpellingFirstStored) {
  auto key = Open();
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(9999)), ERROR_SUCCESS);
  ASSERT_EQ(Set(*key, "TIMEBEGINNER", REG_DWORD, Dword(120)), ERROR_SUCCESS);
  EXPECT_TRUE(key->ValueExists("TimeBeginner"));
  EXPECT_EQ(Get(*key, "timebeginner"), (Stored{REG_DWORD, Dword(120)}));
  const std::string text = ReadText(File());
  EXPECT_NE(text.find("\"timeBeginner\"=dword:00000078\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("TIMEBEGINNER"), std::string::npos) << text;
}

TEST_F(LinuxSettingsFileTest, TheFileIsRegistryExportText) {
  auto key = Open();
  Set(*key, "dimensionX", REG_DWORD, Dword(10));
  Set(*key, "emptyX", REG_DWORD, Dword(0xFFFFFFFFu));
  Set(*key, "showNumber", REG_BINARY, {0x01});
  Set(*key, "picturePath", REG_SZ, Sz(R"(C:\a "b".bmp)"));
  Set(*key, "nameExpert", REG_SZ, Sz(""));
  Set(*key, "nameBeginner", REG_SZ, {'A', 'n', 0, 'n'});
  Set(*key, "moves", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(ReadText(File()),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
            "\"dimensionX\"=dword:0000000a\n"
            "\"emptyX\"=dword:ffffffff\n"
            "\"showNumber\"=hex:01\n"
            R"("picturePath"="C:\\a \"b\".bmp")"
            "\n"
            "\"nameExpert\"=\"\"\n"
            "\"nameBeginner\"=hex(1):41,6e,00,6e\n"
            "\"moves\"=hex(b):01,00,00,00,00,00,00,00\n");
  EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(LinuxSettingsFileTest, ReadsExportedAndHandEditedFiles) {
  auto key = Open();
  WriteText(File(),
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; settings copied from the old machine\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"onlyElsewhere\"=dword:00000063\r\n"
            "\r\n"
            "[hkey_current_user\\software\\brindlewick\\BRINDLEWICK PUZZLE]\r\n"
            "  \"dimensionX\" = DWORD:0000000A\r\n"
            "; the corner\r\n"
            "\"emptyY\"=dword:64\r\n"
            "\"picture\"=hex:01,02,\\\r\n"
            "  03,04\r\n"
            "\"gone\"=\"x\"\r\n"
            "\"gone\"=-\r\n"
            "\"twice\"=dword:00000001\r\n"
            "\"twice\"=dword:00000002\r\n"
            "@=\"default\"\r\n"
            "\r\n");
  EXPECT_EQ(Get(*key, "dimensionX"), (Stored{REG_DWORD, Dword(10)}));
  EXPECT_EQ(Get(*key, "emptyY"), (Stored{REG_DWORD, Dword(100)}));
  EXPECT_EQ(Get(*key, "picture"), (Stored{REG_BINARY, {1, 2, 3, 4}}));
  EXPECT_EQ(Get(*key, "twice"), (Stored{REG_DWORD, Dword(2)}));
  EXPECT_EQ(Get(*key, ""), (Stored{REG_SZ, Sz("default")}));
  EXPECT_FALSE(key->ValueExists("gone"));
  EXPECT_FALSE(key->ValueExists("onlyElsewhere"));

  // A file understood in full is rewritten in place, other keys and all.
  ASSERT_EQ(Set(*key, "showNumber", REG_BINARY, {1}), ERROR_SUCCESS);
  EXPECT_TRUE(Beside(".corrupt").empty());
  const std::string text = ReadText(File());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Other]\n\"onlyElsewhere\"=dword:00000063\n"), std::string::npos)
      << text;
  auto reader = Open();
  EXPECT_EQ(Get(*reader, "picture"), (Stored{REG_BINARY, {1, 2, 3, 4}}));
  EXPECT_EQ(Get(*reader, "showNumber"), (Stored{REG_BINARY, {1}}));
  EXPECT_FALSE(reader->ValueExists("onlyElsewhere"));

  WriteText(File(),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n\"moveExpert\"=dword:00000001\n");
  EXPECT_EQ(Get(*key, "moveExpert"), (Stored{REG_DWORD, Dword(1)}));
}

TEST_F(LinuxSettingsFileTest, TheConfigDirectoryFollowsTheXdgRules) {
  EXPECT_EQ(SettingsFile::ConfigDirectory("/x/conf", "/home/ann"), fs::path("/x/conf"));
  EXPECT_EQ(SettingsFile::ConfigDirectory("relative/conf", "/home/ann"), fs::path("/home/ann/.config"));
  EXPECT_EQ(SettingsFile::ConfigDirectory("", "/home/ann"), fs::path("/home/ann/.config"));
  EXPECT_EQ(SettingsFile::ConfigDirectory(nullptr, "/home/ann"), fs::path("/home/ann/.config"));
  EXPECT_EQ(SettingsFile::ConfigDirectory(nullptr, nullptr), std::nullopt);
  EXPECT_EQ(SettingsFile::ConfigDirectory(nullptr, "home/ann"), std::nullopt);

  const fs::path xdg = root / "xdg" / "config";
  {
    EnvironmentOverride xdgHome("XDG_CONFIG_HOME", xdg.c_str());
    EnvironmentOverride home("HOME", (root / "home").c_str());
    auto user = SettingsFile::ForCurrentUser();
    ASSERT_TRUE(user.has_value());
    auto key = user->OpenKey(kKeyPath, kClass);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(Set(*key, "dimensionX", REG_DWORD, Dword(6)), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_regular_file(xdg / "brindlewick" / "brindlewick Puzzle.reg"));
    EXPECT_EQ(fs::status(xdg).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(xdg / "brindlewick").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(root / "home"));
  }
  {
    EnvironmentOverride xdgHome("XDG_CONFIG_HOME", "not/absolute");
    EnvironmentOverride home("HOME", (root / "home").c_str());
    auto user = SettingsFile::ForCurrentUser();
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->KeyFile(kKeyPath), root / "home" / ".config" / "brindlewick" / "brindlewick Puzzle.reg");
  }
  {
    EnvironmentOverride xdgHome("XDG_CONFIG_HOME", nullptr);
    EnvironmentOverride home("HOME", nullptr);
    EXPECT_FALSE(SettingsFile::ForCurrentUser().has_value());
  }
}

TEST_F(LinuxSettingsFileTest, KeyPathsNameFilesAndUnusableStoresOpenNothing) {
  EXPECT_EQ(store.KeyFile(kKeyPath), root / "config" / "brindlewick" / "brindlewick Puzzle.reg");
  EXPECT_EQ(store.KeyFile("brindlewick\\Solo"), root / "config" / "brindlewick" / "Solo.reg");
  EXPECT_EQ(store.KeyFile("Software\\..\\escape"), std::nullopt);
  EXPECT_EQ(store.KeyFile("Software\\a/b"), std::nullopt);
  EXPECT_EQ(store.KeyFile("Software\\\\empty"), std::nullopt);
  EXPECT_EQ(store.KeyFile(""), std::nullopt);
  EXPECT_EQ(store.OpenKey("Software\\..\\escape", kClass), nullptr);

  // A file where a folder must go: the store can't be had at all.
  WriteText(root / "blocked", "");
  SettingsFile blocked(root / "blocked" / "config");
  EXPECT_EQ(blocked.OpenKey(kKeyPath, kClass), nullptr);
}

TEST_F(LinuxSettingsFileTest, AnotherCopysWritesAreSeenAtOnce) {
  auto first = Open();
  auto second = Open();
  EXPECT_FALSE(first->ValueExists("timeExpert"));
  ASSERT_EQ(Set(*second, "timeExpert", REG_DWORD, Dword(300)), ERROR_SUCCESS);
  EXPECT_EQ(Get(*first, "timeExpert"), (Stored{REG_DWORD, Dword(300)}));
  ASSERT_EQ(Set(*first, "moveExpert", REG_DWORD, Dword(400)), ERROR_SUCCESS);
  EXPECT_EQ(Get(*second, "timeExpert"), (Stored{REG_DWORD, Dword(300)}));
  EXPECT_EQ(Get(*second, "moveExpert"), (Stored{REG_DWORD, Dword(400)}));
}

TEST_F(LinuxSettingsFileTest, AFileThatIsNotOursReadsAsEmptyAndIsKeptAside) {
  const std::string header = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n";
  std::string oversized = header + "\"timeBeginner\"=dword:00000010\n";
  while (oversized.size() <= SettingsFile::kMaxFileSize) oversized += "; padding padding padding padding padding\n";
  std::string utf16;
  for (char c : header + "\"timeBeginner\"=dword:00000010\n") {
    utf16 += c;
    utf16 += '\0';
  }
  const std::vector<std::pair<std::string, std::string>> files = {
      {"garbage text", "this is not a settings file\n\"timeBeginner\"=dword:00000010\n"},
      {"binary junk", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\xFF\xFE\n\0\x01", 15)},
      {"no header", "[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n\"timeBeginner\"=dword:00000010\n"},
      {"UTF-16", "\xFF\xFE" + utf16},
      {"header cut off", "Windows Registry Edit"},
      {"larger than the cap", oversized},
  };
  for (const auto& [label, contents] : files) {
    SCOPED_TRACE(label);
    fs::remove_all(root / "config");
    auto key = Open();
    WriteText(File(), contents);

    EXPECT_FALSE(key->ValueExists("timeBeginner"));
    uint32_t size = 4;
    uint8_t buffer[4] = {};
    EXPECT_EQ(key->QueryValue("timeBeginner", nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadText(File()), contents);

    ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(9999)), ERROR_SUCCESS);
    const auto aside = Beside(".corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(aside[0]), contents);
    EXPECT_EQ(ReadText(File()), header + "\"timeBeginner\"=dword:0000270f\n");
    EXPECT_TRUE(Beside(".tmp-").empty());
  }
}

TEST_F(LinuxSettingsFileTest, AFileThatCannotBeReadIsNeverReplaced) {
  auto key = Open();
  ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
  EXPECT_FALSE(key->ValueExists("timeBeginner"));
  EXPECT_NE(Set(*key, "timeBeginner", REG_DWORD, Dword(120)), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_fifo(File()));
}

TEST_F(LinuxSettingsFileTest, DamagedLinesCostOnlyThemselves) {
  auto key = Open();
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
      "\"timeBeginner\"=dword:00000078\n"
      "\"moveBeginner\"=dword:zz\n"
      "\"timeIntermediate\"=dword:100000010\n"  // more than 32 bits
      "\"nameBeginner\"=\"Ann\"\n"
      "\"bad\x01line\"=hex:01\n"
      "\"timeExpert\"=\n";
  WriteText(File(), damaged);

  EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
  EXPECT_EQ(Get(*key, "nameBeginner"), (Stored{REG_SZ, Sz("Ann")}));
  EXPECT_FALSE(key->ValueExists("moveBeginner"));
  EXPECT_FALSE(key->ValueExists("timeIntermediate"));
  EXPECT_FALSE(key->ValueExists("timeExpert"));
  EXPECT_EQ(ReadText(File()), damaged);

  ASSERT_EQ(Set(*key, "moveBeginner", REG_DWORD, Dword(85)), ERROR_SUCCESS);
  auto aside = Beside(".corrupt-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadText(aside[0]), damaged);
  auto reader = Open();
  EXPECT_EQ(Get(*reader, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
  EXPECT_EQ(Get(*reader, "nameBeginner"), (Stored{REG_SZ, Sz("Ann")}));
  EXPECT_EQ(Get(*reader, "moveBeginner"), (Stored{REG_DWORD, Dword(85)}));

  // The fresh file is whole: later writes keep nothing more aside.
  ASSERT_EQ(Set(*key, "timeExpert", REG_DWORD, Dword(1)), ERROR_SUCCESS);
  EXPECT_EQ(Beside(".corrupt-").size(), 1u);
}

TEST_F(LinuxSettingsFileTest, ALastLineCutShortIsNotTakenForAShorterValue) {
  auto key = Open();
  const std::string cut =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
      "\"timeBeginner\"=dword:00000078\n"
      "\"timeExpert\"=dword:0000001";  // was 00000010
  WriteText(File(), cut);
  EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
  EXPECT_FALSE(key->ValueExists("timeExpert"));

  ASSERT_EQ(Set(*key, "moveExpert", REG_DWORD, Dword(50)), ERROR_SUCCESS);
  const auto aside = Beside(".corrupt-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadText(aside[0]), cut);
  EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
}

TEST_F(LinuxSettingsFileTest, TwoCopiesWritingAtOnceLoseNothing) {
  constexpr int kCopies = 2;
  constexpr int kValuesEach = 200;
  Open();  // the folders exist before the race
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int copy = 0; copy < kCopies; ++copy) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(gate[1]);
      char ignored;
      (void)::read(gate[0], &ignored, 1);  // both start when the gate closes
      auto key = store.OpenKey(kKeyPath, kClass);
      if (key == nullptr) ::_exit(2);
      for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = "copy" + std::to_string(copy) + "value" + std::to_string(i);
        if (Set(*key, name, REG_DWORD, Dword(static_cast<uint32_t>(copy * 1000 + i))) != ERROR_SUCCESS) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  auto key = Open();
  for (int copy = 0; copy < kCopies; ++copy) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = "copy" + std::to_string(copy) + "value" + std::to_string(i);
      EXPECT_EQ(Get(*key, name), (Stored{REG_DWORD, Dword(static_cast<uint32_t>(copy * 1000 + i))})) << name;
    }
  }
  EXPECT_TRUE(Beside(".corrupt-").empty());
  EXPECT_TRUE(Beside(".tmp-").empty());
}

TEST_F(LinuxSettingsFileTest, AWriterDyingMidWriteCostsNothing) {
  auto key = Open();
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(120)), ERROR_SUCCESS);
  ASSERT_EQ(Set(*key, "nameBeginner", REG_SZ, Sz("Ann")), ERROR_SUCCESS);
  const std::string before = ReadText(File());

  // Another copy takes the lock, gets half its new file written and is killed.
  fs::path lockPath = File();
  lockPath += ".lock";
  fs::path halfWritten = File();
  halfWritten += ".tmp-Ab12Cd";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) ::_exit(1);
    WriteText(halfWritten, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Soft");
    ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));

  EXPECT_EQ(ReadText(File()), before);
  EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
  ASSERT_EQ(Set(*key, "moveBeginner", REG_DWORD, Dword(85)), ERROR_SUCCESS);
  EXPECT_FALSE(fs::exists(halfWritten));
  EXPECT_TRUE(Beside(".corrupt-").empty());
  auto reader = Open();
  EXPECT_EQ(Get(*reader, "nameBeginner"), (Stored{REG_SZ, Sz("Ann")}));
  EXPECT_EQ(Get(*reader, "moveBeginner"), (Stored{REG_DWORD, Dword(85)}));
}

TEST_F(LinuxSettingsFileTest, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
  auto key = Open();
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(120)), ERROR_SUCCESS);
  ASSERT_EQ(Set(*key, "nameBeginner", REG_SZ, Sz("Ann")), ERROR_SUCCESS);
  const std::string before = ReadText(File());

  // The disk fills up halfway through the new file.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = before.size() / 2;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    ::_exit(Set(*key, "picturePath", REG_SZ, Sz(std::string(300, 'p'))) == ERROR_SUCCESS ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failure is reported: " << status;
  EXPECT_EQ(ReadText(File()), before);
  EXPECT_TRUE(Beside(".tmp-").empty());
  EXPECT_EQ(Get(*key, "nameBeginner"), (Stored{REG_SZ, Sz("Ann")}));
}

// A dotfiles folder keeps the real file elsewhere and links it into place: saves go
// through the link to its target, and the link stays a link.
TEST_F(LinuxSettingsFileTest, ALinkedFileIsWrittenThroughItsLink) {
  const std::string header =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n";
  const fs::path dotfiles = root / "dotfiles";
  fs::create_directories(dotfiles / "deeper");
  struct Case {
    const char* label;
    fs::path target;      // the real file
    fs::path linkTarget;  // what the link says
    bool chained;         // a link to a link to the file
  };
  const std::vector<Case> cases = {
      {"absolute link", dotfiles / "puzzle.reg", dotfiles / "puzzle.reg", false},
      {"relative link", dotfiles / "deeper" / "puzzle.reg", fs::path("../../dotfiles/deeper/puzzle.reg"), false},
      {"link to a link", dotfiles / "puzzle.reg", dotfiles / "alias.reg", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(root / "config");
    fs::remove(dotfiles / "alias.reg");
    auto key = Open();
    WriteText(c.target, header + "\"timeBeginner\"=dword:00000010\n");
    if (c.chained) fs::create_symlink(c.target, dotfiles / "alias.reg");
    fs::create_symlink(c.linkTarget, File());

    EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(16)}));
    ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(12)), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(fs::read_symlink(File()), c.linkTarget);
    EXPECT_EQ(fs::is_symlink(dotfiles / "alias.reg"), c.chained);
    EXPECT_EQ(ReadText(c.target), header + "\"timeBeginner\"=dword:0000000c\n");
    EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(12)}));
    // The temporary file went beside the target and is gone.
    for (const fs::path& folder : {File().parent_path(), c.target.parent_path()}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
      }
    }
    fs::remove(c.target);
  }

  // A damaged target is kept aside beside itself, and the link still points at the new file.
  fs::remove_all(root / "config");
  auto key = Open();
  WriteText(dotfiles / "puzzle.reg", "not a settings file\n");
  fs::create_symlink(dotfiles / "puzzle.reg", File());
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(12)), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_EQ(ReadText(dotfiles / "puzzle.reg"), header + "\"timeBeginner\"=dword:0000000c\n");
  int kept = 0;
  for (const auto& entry : fs::directory_iterator(dotfiles)) {
    if (entry.path().filename().string().starts_with("puzzle.reg.corrupt-")) {
      ++kept;
      EXPECT_EQ(ReadText(entry.path()), "not a settings file\n");
    }
  }
  EXPECT_EQ(kept, 1);

  // A link to a file not there yet: the file is made where the link points.
  fs::remove(File());
  fs::remove(dotfiles / "fresh.reg");
  fs::create_symlink(dotfiles / "fresh.reg", File());
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(7)), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_EQ(ReadText(dotfiles / "fresh.reg"), header + "\"timeBeginner\"=dword:00000007\n");
}

TEST_F(LinuxSettingsFileTest, AValueTooLargeToReadBackIsRefused) {
  auto key = Open();
  ASSERT_EQ(Set(*key, "timeBeginner", REG_DWORD, Dword(120)), ERROR_SUCCESS);
  const Bytes huge(SettingsFile::kMaxFileSize / 2, 0xAB);
  EXPECT_NE(Set(*key, "huge", REG_BINARY, huge), ERROR_SUCCESS);
  EXPECT_FALSE(key->ValueExists("huge"));
  EXPECT_EQ(Get(*key, "timeBeginner"), (Stored{REG_DWORD, Dword(120)}));
  EXPECT_LE(fs::file_size(File()), SettingsFile::kMaxFileSize);
}

}  // namespace
}  // namespace puzzle
