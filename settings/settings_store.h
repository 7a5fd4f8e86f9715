#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "shell/host.h"

namespace puzzle {

class Application;

inline constexpr std::string_view kSettingsKeyPath = "Software\\brindlewick\\brindlewick Puzzle";
inline constexpr std::string_view kSettingsKeyClass = "brindlewick Puzzle";

// The one key of settings and records, created when absent; null when it can't be had.
std::unique_ptr<RegistryKey> OpenSettingsKey(Host& host);

// Reads the value into data (at most size bytes); when it doesn't exist, stores what
// data holds, the default. Answers the status of the last call. A string value always
// comes back terminated within its buffer.
int32_t ReadOrCreateValue(RegistryKey& key, std::string_view name, uint32_t type, uint8_t* data, uint32_t size);

// A string value into a buffer of size bytes, or the default the buffer holds, which is then
// stored. A stored text too long for the buffer keeps the whole characters that fit, never
// half of one. Answers the status of the last call, ERROR_MORE_DATA when the text was cut.
int32_t ReadOrCreateText(Host& host, RegistryKey& key, std::string_view name, char* buffer, uint32_t size);

// The corner item (ID_OPTIONS_EMPTY_*) of the cell a requested empty pair gives on a board of
// that size, or 0 when that cell is no corner.
uint32_t CornerInUse(int32_t columns, int32_t rows, int32_t emptyX, int32_t emptyY);
// Whether the pair is one of the four the menu sets.
bool IsMenuCorner(int32_t emptyX, int32_t emptyY);

// 32-bit values as the store keeps them, least significant byte first.
int32_t ReadOrCreateNumber(RegistryKey* key, std::string_view name, uint32_t defaultValue, uint32_t& value);
void StoreNumber(RegistryKey& key, std::string_view name, uint32_t value);
void StoreString(RegistryKey& key, std::string_view name, std::string_view text);

// Reads every setting, storing the default of any that is missing, and marks the menu.
void LoadSettings(Application& app, int32_t& width, int32_t& height, int32_t& emptyX, int32_t& emptyY,
                  bool& showNumber, bool& defaultPicture, std::array<char, 256>& picturePath);

// Writes the settings back from the game panel and the picture state.
void SaveSettings(Application& app);

}  // namespace puzzle
