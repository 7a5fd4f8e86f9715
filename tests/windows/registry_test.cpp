// The settings key on the real registry: created with its class, values of each type,
// and a value longer than the buffer read cut, never past it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "shell/win32/win32_registry.h"

namespace puzzle {
namespace {

constexpr const char* kTestKey = "Software\\brindlewick\\brindlewick Puzzle Registry Test";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(RegistryTest, KeyIsCreatedWhenAbsentAndValuesKeepTheirTypes) {
  auto key = Win32RegistryKey::Create(kTestKey, "brindlewick Puzzle");
  ASSERT_TRUE(key);
  EXPECT_FALSE(key->ValueExists("dimensionX"));
  const uint32_t four = 4;
  const uint8_t on = 1;
  const char path[] = "C:\\pictures\\a.png";
  EXPECT_EQ(key->SetValue("dimensionX", REG_DWORD, reinterpret_cast<const uint8_t*>(&four), 4), ERROR_SUCCESS);
  EXPECT_EQ(key->SetValue("showNumber", REG_BINARY, &on, 1), ERROR_SUCCESS);
  EXPECT_EQ(key->SetValue("picturePath", REG_SZ, reinterpret_cast<const uint8_t*>(path), sizeof path), ERROR_SUCCESS);
  EXPECT_TRUE(key->ValueExists("DIMENSIONX"));  // names compare without case

  uint32_t type = 0;
  uint32_t number = 0;
  uint32_t size = 4;
  EXPECT_EQ(key->QueryValue("dimensionX", &type, reinterpret_cast<uint8_t*>(&number), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<uint32_t>(REG_DWORD));
  EXPECT_EQ(number, 4u);
  std::array<char, 256> text{};
  size = 256;
  EXPECT_EQ(key->QueryValue("picturePath", &type, reinterpret_cast<uint8_t*>(text.data()), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<uint32_t>(REG_SZ));
  EXPECT_STREQ(text.data(), path);
  EXPECT_EQ(size, sizeof path);
  key.reset();

  // Seen from outside the program: the class string is the key's.
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &raw), ERROR_SUCCESS);
  char keyClass[64] = {};
  DWORD classLength = sizeof keyClass;
  EXPECT_EQ(RegQueryInfoKeyA(raw, keyClass, &classLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(keyClass, "brindlewick Puzzle");
  RegCloseKey(raw);
}

TEST_F(RegistryTest, LongerValueIsReadCutToTheBufferAndNothingBeyondIsTouched) {
  auto key = Win32RegistryKey::Create(kTestKey, "brindlewick Puzzle");
  ASSERT_TRUE(key);
  const char name[] = "a name far longer than fifteen bytes";
  ASSERT_EQ(key->SetValue("nameBeginner", REG_SZ, reinterpret_cast<const uint8_t*>(name), sizeof name), ERROR_SUCCESS);
  std::array<uint8_t, 20> buffer;
  buffer.fill(0xEE);
  uint32_t type = 0;
  uint32_t size = 15;
  EXPECT_EQ(key->QueryValue("nameBeginner", &type, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 15u);
  EXPECT_EQ(std::memcmp(buffer.data(), name, 15), 0);
  for (size_t i = 15; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << i;
}

// Texts are UTF-8 in the program and the registry's own characters outside it: a name
// outside the ANSI code page survives both ways, and a value an older version stored
// through the ANSI calls reads as the characters it meant.
TEST_F(RegistryTest, TextsAreUtf8InsideAndTheRegistrysOwnCharactersOutside) {
  auto key = Win32RegistryKey::Create(kTestKey, "brindlewick Puzzle");
  ASSERT_TRUE(key);
  const char utf8[] = "C:\\pictures\\Zo\xC3\xAB-\xE6\x97\xA5\xE6\x9C\xAC.png";
  const wchar_t wide[] = L"C:\\pictures\\Zo\x00EB-\x65E5\x672C.png";
  ASSERT_EQ(key->SetValue("picturePath", REG_SZ, reinterpret_cast<const uint8_t*>(utf8), sizeof utf8), ERROR_SUCCESS);
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\brindlewick\\brindlewick Puzzle Registry Test", 0,
                          KEY_ALL_ACCESS, &raw),
            ERROR_SUCCESS);
  std::array<wchar_t, 64> stored{};
  DWORD type = 0;
  DWORD bytes = sizeof stored;
  ASSERT_EQ(RegQueryValueExW(raw, L"picturePath", nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, sizeof wide);
  EXPECT_EQ(std::wstring(stored.data()), std::wstring(wide));

  // Written by the wide call, read as UTF-8 with its exact length.
  ASSERT_EQ(RegSetValueExW(raw, L"nameBeginner", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Zo\x00EB"), 8),
            ERROR_SUCCESS);
  std::array<char, 15> name{};
  uint32_t size = 15;
  uint32_t textType = 0;
  EXPECT_EQ(key->QueryValue("nameBeginner", &textType, reinterpret_cast<uint8_t*>(name.data()), &size), ERROR_SUCCESS);
  EXPECT_STREQ(name.data(), "Zo\xC3\xAB");
  EXPECT_EQ(size, 5u);

  // Written by an older version in the ANSI code page: the same characters come back.
  const wchar_t plain[] = L"D:\\Bilder\\Zo\x00EB.png";
  char ansi[64] = {};
  BOOL lossy = FALSE;
  const int ansiLength = WideCharToMultiByte(CP_ACP, 0, plain, -1, ansi, sizeof ansi, nullptr, &lossy);
  ASSERT_GT(ansiLength, 0);
  ASSERT_EQ(RegSetValueExA(raw, "picturePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi),
                           static_cast<DWORD>(ansiLength)),
            ERROR_SUCCESS);
  std::array<char, 256> path{};
  size = 256;
  EXPECT_EQ(key->QueryValue("picturePath", &textType, reinterpret_cast<uint8_t*>(path.data()), &size), ERROR_SUCCESS);
  if (!lossy) {
    EXPECT_STREQ(path.data(), "D:\\Bilder\\Zo\xC3\xAB.png");
  }
  RegCloseKey(raw);
}

}  // namespace
}  // namespace puzzle
