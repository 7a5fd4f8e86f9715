#include "settings/settings_store.h"

#include <cstring>
#include <vector>

#include "game/grid.h"
#include "shell/application.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

void PutLittleEndian(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

// Reads a one-byte flag; nonzero means on.
bool ReadOrCreateFlag(RegistryKey* key, std::string_view name, bool defaultValue) {
  uint8_t flag = defaultValue ? 1 : 0;
  if (key != nullptr) ReadOrCreateValue(*key, name, REG_BINARY, &flag, 1);
  return flag != 0;
}

void StoreFlag(RegistryKey& key, std::string_view name, bool value) {
  const uint8_t flag = value ? 1 : 0;
  key.SetValue(name, REG_BINARY, &flag, 1);
}

uint32_t LevelMark(int32_t width, int32_t height) {
  if (width == 4 && height == 4) return ID_OPTIONS_BEGINNER;
  if (width == 6 && height == 6) return ID_OPTIONS_INTERMEDIATE;
  if (width == 8 && height == 8) return ID_OPTIONS_EXPERT;
  return ID_OPTIONS_CUSTOM;
}

}  // namespace

uint32_t CornerInUse(int32_t columns, int32_t rows, int32_t emptyX, int32_t emptyY) {
  // The pair the menu sets names its corner whatever the board; any other pair stands for
  // the cell it resolves to, which may be a corner too.
  const int32_t lastColumn = ClampGridSize(columns) - 1;
  const int32_t lastRow = ClampGridSize(rows) - 1;
  const int32_t column = ResolveEmpty(emptyX, lastColumn + 1);
  const int32_t row = ResolveEmpty(emptyY, lastRow + 1);
  const bool left = column == 0;
  const bool top = row == 0;
  if ((!left && column != lastColumn) || (!top && row != lastRow)) return 0;
  if (top) return left ? ID_OPTIONS_EMPTY_TL : ID_OPTIONS_EMPTY_TR;
  return left ? ID_OPTIONS_EMPTY_BL : ID_OPTIONS_EMPTY_BR;
}

bool IsMenuCorner(int32_t emptyX, int32_t emptyY) {
  return (emptyX == -1 || emptyX == 100) && (emptyY == -1 || emptyY == 100);
}

std::unique_ptr<RegistryKey> OpenSettingsKey(Host& host) {
  return host.CreateSettingsKey(kSettingsKeyPath, kSettingsKeyClass);
}

int32_t ReadOrCreateValue(RegistryKey& key, std::string_view name, uint32_t type, uint8_t* data, uint32_t size) {
  if (key.ValueExists(name)) {
    uint32_t storedType = 0;
    uint32_t length = size;
    const int32_t status = key.QueryValue(name, &storedType, data, &length);
    // A text stored without its terminator ends where its bytes do, not where the
    // default that was in the buffer happens to end.
    if (type == REG_SZ && status == ERROR_SUCCESS && length < size) data[length] = 0;
    if (type == REG_SZ && size > 0 && std::memchr(data, 0, size) == nullptr) {
      // Longer than the buffer or stored without its terminator: keep what fits.
      data[size - 1] = 0;
    }
    return status;
  }
  if (type == REG_SZ) {
    const void* end = std::memchr(data, 0, size);
    const uint32_t length = end != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(end) - data) + 1 : size;
    return key.SetValue(name, type, data, length);
  }
  return key.SetValue(name, type, data, size);
}

int32_t ReadOrCreateText(Host& host, RegistryKey& key, std::string_view name, char* buffer, uint32_t size) {
  if (size == 0) return ERROR_INVALID_PARAMETER;
  // One byte more than the buffer holds: it tells whether the last character kept goes on.
  std::vector<uint8_t> data(size + 1, 0);
  std::memcpy(data.data(), buffer, size);
  data[size - 1] = 0;
  const int32_t status = ReadOrCreateValue(key, name, REG_SZ, data.data(), size + 1);
  const auto* bytes = reinterpret_cast<const char*>(data.data());
  const std::string_view text(bytes, ::strnlen(bytes, size));
  const size_t kept = host.FitText(text, size - 1);
  std::memcpy(buffer, bytes, kept);
  buffer[kept] = '\0';
  if (status == ERROR_SUCCESS && kept < text.size()) return ERROR_MORE_DATA;
  return status;
}

int32_t ReadOrCreateNumber(RegistryKey* key, std::string_view name, uint32_t defaultValue, uint32_t& value) {
  uint8_t bytes[4];
  PutLittleEndian(defaultValue, bytes);
  int32_t status = ERROR_INVALID_HANDLE;
  if (key != nullptr) status = ReadOrCreateValue(*key, name, REG_DWORD, bytes, 4);
  value = GetLittleEndian(bytes);
  return status;
}

void StoreNumber(RegistryKey& key, std::string_view name, uint32_t value) {
  uint8_t bytes[4];
  PutLittleEndian(value, bytes);
  key.SetValue(name, REG_DWORD, bytes, 4);
}

void StoreString(RegistryKey& key, std::string_view name, std::string_view text) {
  std::string terminated(text);
  key.SetValue(name, REG_SZ, reinterpret_cast<const uint8_t*>(terminated.c_str()),
               static_cast<uint32_t>(terminated.size() + 1));
}

void LoadSettings(Application& app, int32_t& width, int32_t& height, int32_t& emptyX, int32_t& emptyY,
                  bool& showNumber, bool& defaultPicture, std::array<char, 256>& picturePath) {
  width = 4;
  height = 4;
  emptyX = -1;
  emptyY = 100;
  showNumber = false;
  defaultPicture = true;
  picturePath.fill('\0');

  {
    auto key = OpenSettingsKey(app.host);
    uint32_t value = 0;
    ReadOrCreateNumber(key.get(), "dimensionX", 4, value);
    width = static_cast<int32_t>(value);
    ReadOrCreateNumber(key.get(), "dimensionY", 4, value);
    height = static_cast<int32_t>(value);
    ReadOrCreateNumber(key.get(), "emptyX", static_cast<uint32_t>(-1), value);
    emptyX = static_cast<int32_t>(value);
    ReadOrCreateNumber(key.get(), "emptyY", 100, value);
    emptyY = static_cast<int32_t>(value);
    showNumber = ReadOrCreateFlag(key.get(), "showNumber", false);
    defaultPicture = ReadOrCreateFlag(key.get(), "defaultPicture", true);
    if (key) {
      app.storedPathTooLong = ReadOrCreateText(app.host, *key, "picturePath", picturePath.data(),
                                               static_cast<uint32_t>(picturePath.size())) == ERROR_MORE_DATA;
    }
  }

  app.host.CheckMenuRadioItem(ID_OPTIONS_BEGINNER, ID_OPTIONS_CUSTOM, LevelMark(width, height));
  if (const uint32_t corner = CornerInUse(width, height, emptyX, emptyY)) {
    app.host.CheckMenuRadioItem(ID_OPTIONS_EMPTY_BL, ID_OPTIONS_EMPTY_TR, corner);
  }
  app.host.CheckMenuItem(ID_OPTIONS_SHOW_NUMBERS, showNumber ? MF_CHECKED : MF_UNCHECKED);
  app.host.CheckMenuRadioItem(ID_OPTIONS_DEFAULT_PICTURE, ID_OPTIONS_CUSTOM_PICTURE,
                              defaultPicture ? ID_OPTIONS_DEFAULT_PICTURE : ID_OPTIONS_CUSTOM_PICTURE);
}

void SaveSettings(Application& app) {
  if (!app.gamePanel) return;
  GamePanel& panel = *app.gamePanel;
  const int32_t width = panel.GetBoardWidth();
  const int32_t height = panel.GetBoardHeight();
  const int32_t emptyX = panel.GetEmptyX();
  const int32_t emptyY = panel.GetEmptyY();
  const bool showNumber = panel.IsShowNumbers();

  auto key = OpenSettingsKey(app.host);
  if (!key) return;
  StoreNumber(*key, "dimensionX", static_cast<uint32_t>(width));
  StoreNumber(*key, "dimensionY", static_cast<uint32_t>(height));
  StoreNumber(*key, "emptyX", static_cast<uint32_t>(emptyX));
  StoreNumber(*key, "emptyY", static_cast<uint32_t>(emptyY));
  StoreFlag(*key, "showNumber", showNumber);
  StoreFlag(*key, "defaultPicture", app.defaultPicture);
  // While the built-in picture is in use the last file chosen stays recorded.
  if (!app.defaultPicture) StoreString(*key, "picturePath", app.picturePath.data());
}

}  // namespace puzzle
