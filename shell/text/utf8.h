#pragma once

// UTF-8, the program's text encoding on the hosts that use it (the Linux desktop and the
// headless host): where a character ends, where a text may be cut, and how bytes that are
// no UTF-8 are shown. The program itself treats its texts as bytes.

#include <algorithm>
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

// An edit's text after a change, kept to maxBytes: what the change kept from before (the
// text ahead of the change and after it) stays, and of what it put in, as much as fits in
// whole characters - a full field takes no more typing, and a paste into it is cut.
// caret is where the inserted text ends.
struct Edit {
  std::string text;
  size_t caret = 0;
};

inline Edit FitEdit(std::string_view before, std::string_view after, size_t maxBytes) {
  if (after.size() <= maxBytes) return Edit{std::string(after), after.size()};
  size_t head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  // Never in the middle of a character: the shared head ends on a whole one.
  while (head > 0 && head < after.size() && IsContinuation(static_cast<unsigned char>(after[head]))) --head;
  size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  while (tail > 0 && IsContinuation(static_cast<unsigned char>(after[after.size() - tail]))) --tail;
  const std::string_view kept = after.substr(0, head);
  const std::string_view rest = after.substr(after.size() - tail);
  std::string_view inserted = after.substr(head, after.size() - head - tail);
  const size_t room = kept.size() + rest.size() < maxBytes ? maxBytes - kept.size() - rest.size() : 0;
  inserted = inserted.substr(0, Fit(inserted, room));
  Edit edit{std::string(kept).append(inserted), 0};
  edit.caret = edit.text.size();
  edit.text.append(rest);
  // What was there before the change was too long already: cut from the end.
  if (edit.text.size() > maxBytes) edit.text.resize(Fit(edit.text, maxBytes));
  edit.caret = std::min(edit.caret, edit.text.size());
  return edit;
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
