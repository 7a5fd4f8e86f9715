// UTF-8 as the Linux hosts use it: where a text too long for its buffer is cut, and how
// bytes that are no UTF-8 are shown.
#include "shell/text/utf8.h"

#include <gtest/gtest.h>

namespace puzzle {
namespace {

TEST(Utf8Test, ATextIsCutAtTheLastWholeCharacterThatFits) {
  // "é" is two bytes, "€" three, "𝄞" four.
  EXPECT_EQ(utf8::Fit("abc", 14), 3u);
  EXPECT_EQ(utf8::Fit("abcdef", 4), 4u);
  EXPECT_EQ(utf8::Fit("aé", 2), 1u);   // the cut falls inside "é"
  EXPECT_EQ(utf8::Fit("aéb", 3), 3u);  // right after it
  EXPECT_EQ(utf8::Fit("a€", 2), 1u);
  EXPECT_EQ(utf8::Fit("a€", 3), 1u);
  EXPECT_EQ(utf8::Fit("a€b", 4), 4u);
  EXPECT_EQ(utf8::Fit("a\xF0\x9D\x84\x9E", 4), 1u);
  EXPECT_EQ(utf8::Fit("a\xF0\x9D\x84\x9E", 2), 1u);
  EXPECT_EQ(utf8::Fit("\xC3\xA9\xC3\xA9", 0), 0u);
  // Fourteen bytes of a name of accented letters.
  const std::string name = "José Ångström-Ünal";
  EXPECT_EQ(name.substr(0, utf8::Fit(name, 14)), "José Ångstr");
}

// A field that takes fourteen bytes, as the New Record name does.
TEST(Utf8Test, AFullFieldTakesNoMoreAndAPasteIntoItIsCutToWholeCharacters) {
  // Typing at the end of a full field does nothing; the caret stays after what was kept.
  utf8::Edit edit = utf8::FitEdit("Zoë Łukasz ", "Zoë Łukasz 日", 14);
  EXPECT_EQ(edit.text, "Zoë Łukasz ");
  EXPECT_EQ(edit.caret, edit.text.size());
  // A whole name pasted over the field: as much of it as fits, in whole characters.
  edit = utf8::FitEdit("Anonymous", "Zoë Łukasz 日本語", 14);
  EXPECT_EQ(edit.text, "Zoë Łukasz ");
  EXPECT_EQ(utf8::FitEdit("", "ééééééééééééééé", 14).text, "ééééééé");
  // Typed in the middle: the text either side stays, the typed character is what goes.
  edit = utf8::FitEdit("abcdefghijklmn", "abcdefgXhijklmn", 14);
  EXPECT_EQ(edit.text, "abcdefghijklmn");
  EXPECT_EQ(edit.caret, 7u);
  edit = utf8::FitEdit("abcdefghijkl", "abcdefgéXhijkl", 14);
  EXPECT_EQ(edit.text, "abcdefgéhijkl");
  EXPECT_EQ(edit.caret, 9u);
  // What fits is taken as it is; a text too long before the change is cut from its end.
  EXPECT_EQ(utf8::FitEdit("abc", "abcd", 14).text, "abcd");
  EXPECT_EQ(utf8::FitEdit("", "a very long name indeed", 14).text, "a very long na");
  EXPECT_EQ(utf8::FitEdit("ääääääääääääääää", "ääääääääääääääää!", 14).text, "äääääää");
}

TEST(Utf8Test, BrokenBytesCountAsCharactersOfTheirOwnWhenCutting) {
  // Stray continuation bytes and a lead byte without its continuation: cut where asked.
  EXPECT_EQ(utf8::Fit("ab\x80\x80\x80\x80\x80", 4), 4u);
  EXPECT_EQ(utf8::Fit("ab\xC3z", 3), 3u);
  // An overlong form is no character that goes on past the cut.
  EXPECT_EQ(utf8::Fit("a\xC0\x80", 2), 2u);
}

TEST(Utf8Test, BrokenSequencesShowAsReplacementCharacters) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  EXPECT_EQ(utf8::ReplaceBroken("Zoë"), "Zoë");
  EXPECT_EQ(utf8::ReplaceBroken("Zo\xC3"), std::string("Zo").append(kReplacement));
  EXPECT_EQ(utf8::ReplaceBroken("Jos\xE9"), std::string("Jos").append(kReplacement));
  // A sequence cut short counts once; the character after it survives.
  EXPECT_EQ(utf8::ReplaceBroken("a\xE2\x82z"), std::string("a").append(kReplacement).append("z"));
  EXPECT_EQ(utf8::ReplaceBroken("\x80\x80"), std::string(kReplacement).append(kReplacement));
  // Surrogates, overlong forms and code points past U+10FFFF are no characters either.
  EXPECT_FALSE(utf8::IsValid("\xED\xA0\x80"));
  EXPECT_FALSE(utf8::IsValid("\xC0\xAF"));
  EXPECT_FALSE(utf8::IsValid("\xF4\x90\x80\x80"));
  EXPECT_TRUE(utf8::IsValid("\xF4\x8F\xBF\xBF"));
  EXPECT_TRUE(utf8::IsValid(utf8::ReplaceBroken("\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80\xFF")));
}

}  // namespace
}  // namespace puzzle
