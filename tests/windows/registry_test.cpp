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

}  // namespace
}  // namespace puzzle
