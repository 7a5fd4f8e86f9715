#pragma once

// UTF-8, the program's text encoding on the hosts that use it (the Linux desktop and the
// headless host): where a character ends, where a text may be cut, and how bytes that are
// no UTF-8 are shown. The program itself treats its texts as bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace puzzle::utf8 {

inline bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// How many bytes a character that starts with this byte has; 0 for a byte that starts none.
inline size_t AnnouncedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The length of the well-formed character at text[pos], or 0 when the bytes there are not
// one (a stray continuation byte, a sequence cut short, an overlong form, a surrogate, a
// code point past U+10FFFF).
inline size_t CharacterLength(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  const size_t length = AnnouncedLength(lead);
  if (length <= 1) return length;
  if (text.size() - pos < length) return 0;
  // The second byte's range rules out overlong forms, surrogates and too large code points.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

inline bool IsValid(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = CharacterLength(text, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

// How many of the text's first bytes, at most maxBytes, end on a whole character: where a
// text too long for its buffer is cut. The byte at maxBytes tells whether a character goes
// on past the cut; bytes that are no UTF-8 count as characters of their own.
inline size_t Fit(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  // A character has at most three continuation bytes: back up to its lead byte.
  size_t end = maxBytes;
  for (size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
    if (!IsContinuation(static_cast<unsigned char>(text[maxBytes - back + 1]))) break;
    const size_t start = maxBytes - back;
    if (!IsContinuation(static_cast<unsigned char>(text[start]))) {
      if (AnnouncedLength(static_cast<unsigned char>(text[start])) > back) end = start;
      break;
    }
  }
  return end;
}

// The text with every maximal run of bytes that begins no character replaced by U+FFFD,
// as a viewer shows broken text: never garbled, never dropped silently.
inline std::string ReplaceBroken(std::string_view text) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = CharacterLength(text, pos);
    if (length > 0) {
      out.append(text.substr(pos, length));
      pos += length;
      continue;
    }
    out.append(kReplacement);
    // A lead byte and the continuation bytes it began count as one broken character.
    const size_t expected = AnnouncedLength(static_cast<unsigned char>(text[pos]));
    size_t skipped = 1;
    while (skipped < expected && pos + skipped < text.size() &&
           IsContinuation(static_cast<unsigned char>(text[pos + skipped]))) {
      ++skipped;
    }
    pos += skipped;
  }
  return out;
}

}  // namespace puzzle::utf8
