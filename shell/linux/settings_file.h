#pragma once

// The per-user settings store on Linux. There is no registry here, so each key under
// HKEY_CURRENT_USER is a text file in the registry's own export format, below the user's
// configuration directory: "Software\brindlewick\brindlewick Puzzle" is kept in
// "<config>/brindlewick/brindlewick Puzzle.reg". A player can read and edit it, and a
// file exported from a Windows registry imports by copying it into place.
//
// Every call goes to the file: a value stored is on disk when SetValue returns, and
// several copies of the game can share the file without losing each other's records.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "shell/host.h"

namespace puzzle {

class SettingsFile {
 public:
  // A file larger than this is never read; it counts as damaged.
  static constexpr size_t kMaxFileSize = size_t{1} << 20;

  // The store below configDirectory, which stands for ~/.config.
  explicit SettingsFile(std::filesystem::path configDirectory);

  // The store of the user running the game: $XDG_CONFIG_HOME, else $HOME/.config.
  // Nothing when the environment gives neither.
  static std::optional<SettingsFile> ForCurrentUser();

  // The configuration directory as the XDG rules give it from the two variables (either
  // may be null): XDG_CONFIG_HOME when it is an absolute path, else HOME/.config when
  // HOME is one.
  static std::optional<std::filesystem::path> ConfigDirectory(const char* xdgConfigHome, const char* home);

  const std::filesystem::path& Directory() const { return configDirectory_; }

  // The file that holds the key: the path's components below "Software" are folders,
  // the last one the file's name with ".reg" added. Nothing when the path can't name a
  // file (empty components, "." or "..", a '/'). Its lock file is the same path with
  // ".lock" added.
  std::optional<std::filesystem::path> KeyFile(std::string_view keyPath) const;

  // Opens the key, creating its folders (owner-only) when absent; the file itself comes
  // with the first value stored. Null when the store can't be used at all. The class
  // string has no place in the file and is not kept.
  std::unique_ptr<RegistryKey> OpenKey(std::string_view keyPath, std::string_view className) const;

 private:
  std::filesystem::path configDirectory_;
};

}  // namespace puzzle
