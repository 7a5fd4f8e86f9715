#include "shell/linux/file_patterns.h"

#include <cctype>
#include <utility>

namespace puzzle {

namespace {

// Extensions whose files go by a longer spelling too.
constexpr std::pair<std::string_view, std::string_view> kLongSpellings[] = {
    {"*.jpg", "*.jpeg;*.jpe"},
    {"*.tif", "*.tiff"},
};

std::string IgnoringCase(std::string_view pattern) {
  std::string out;
  for (char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u) != 0) {
      out += '[';
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

void Append(std::string& out, std::string_view pattern) {
  if (!out.empty()) out += ';';
  out += IgnoringCase(pattern);
}

}  // namespace

std::string ChooserPatterns(std::string_view patterns) {
  std::string out;
  while (!patterns.empty()) {
    const size_t end = patterns.find(';');
    const std::string_view pattern = patterns.substr(0, end);
    patterns.remove_prefix(end == std::string_view::npos ? patterns.size() : end + 1);
    if (pattern.empty()) continue;
    Append(out, pattern);
    std::string lower(pattern);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [shortSpelling, longSpellings] : kLongSpellings) {
      if (lower != shortSpelling) continue;
      std::string_view rest = longSpellings;
      while (!rest.empty()) {
        const size_t cut = rest.find(';');
        Append(out, rest.substr(0, cut));
        rest.remove_prefix(cut == std::string_view::npos ? rest.size() : cut + 1);
      }
    }
  }
  return out;
}

}  // namespace puzzle
