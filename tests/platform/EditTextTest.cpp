// The text model of the edit fields the X11 and headless backends draw themselves: what keys
// do to the text and its selection, what is let in, and the clipboard's conversions.
#include "platform/EditText.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane::platform {
namespace {

TEST(EditText, ItOpensAllSelectedAndTheKeysMoveAndExtendTheSelection) {
  EditText edit("12.5");
  EXPECT_EQ(edit.selectedText(), "12.5");
  // Left and Right without Shift collapse the selection to its own end on that side.
  edit.moveLeft(false);
  EXPECT_FALSE(edit.hasSelection());
  EXPECT_EQ(edit.caret(), 0u);
  edit.selectAll();
  edit.moveRight(false);
  EXPECT_EQ(edit.caret(), 4u);
  EXPECT_FALSE(edit.hasSelection());
  // Shift: the anchor stays, the caret moves, either way past the anchor.
  edit.moveLeft(true);
  edit.moveLeft(true);
  EXPECT_EQ(edit.selectedText(), ".5");
  edit.moveEnd(true);
  edit.moveRight(true);  // nothing past the end
  EXPECT_FALSE(edit.hasSelection());
  edit.moveTo(1, false);
  edit.moveHome(true);
  EXPECT_EQ(edit.selectedText(), "1");
  edit.moveTo(3, true);
  EXPECT_EQ(edit.anchor(), 1u);
  EXPECT_EQ(edit.selectedText(), "2.");
  edit.moveTo(99, false);  // clamped
  EXPECT_EQ(edit.caret(), 4u);
}

TEST(EditText, TypingReplacesTheSelectionAndErasingTakesItOrOneCharacter) {
  EditText edit("12.5");
  EXPECT_TRUE(edit.insert("7"));
  EXPECT_EQ(edit.text(), "7");
  EXPECT_TRUE(edit.insert(".25"));
  edit.moveLeft(false);
  EXPECT_TRUE(edit.erasePrevious());
  EXPECT_EQ(edit.text(), "7.5");
  EXPECT_EQ(edit.caret(), 2u);
  EXPECT_TRUE(edit.eraseNext());
  EXPECT_EQ(edit.text(), "7.");
  EXPECT_FALSE(edit.eraseNext());  // at the end
  edit.moveHome(false);
  EXPECT_FALSE(edit.erasePrevious());  // at the start
  edit.moveEnd(true);
  EXPECT_TRUE(edit.eraseNext());  // the selection, not the character after it
  EXPECT_EQ(edit.text(), "");
  EXPECT_FALSE(edit.insert(""));

  edit.setText("-3 dB");
  edit.moveTo(2, true);
  EXPECT_EQ(edit.cutSelection(), "-3");
  EXPECT_EQ(edit.text(), " dB");
  EXPECT_EQ(edit.caret(), 0u);
  EXPECT_EQ(edit.cutSelection(), "");  // nothing selected: nothing goes
  EXPECT_EQ(edit.text(), " dB");
}

TEST(EditText, OnlyPrintableCharactersGoInAndNoMoreThanTheLimit) {
  EditText edit;
  EXPECT_TRUE(edit.insert("-3\tdB\r\n\x1B[2J\x7F\x85\xB0"));
  EXPECT_EQ(edit.text(), "-3dB[2J\xB0");
  EXPECT_FALSE(edit.insert("\n"));  // nothing printable, nothing selected: unchanged
  edit.setText("a\nb");
  EXPECT_EQ(edit.text(), "ab");

  edit.setText(std::string(EditText::kMaxLength + 10, '5'));
  EXPECT_EQ(edit.text().size(), EditText::kMaxLength);
  edit.moveEnd(false);
  EXPECT_FALSE(edit.insert("6"));
  // The selection's room counts: replacing two characters takes two.
  edit.moveLeft(true);
  edit.moveLeft(true);
  EXPECT_TRUE(edit.insert("6789"));
  EXPECT_EQ(edit.text().size(), EditText::kMaxLength);
  EXPECT_EQ(edit.text().substr(edit.text().size() - 3), "567");
}

TEST(EditText, TheClipboardsUtf8ConvertsToTheFieldsCharactersAndBack) {
  std::string every;
  for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
  EXPECT_EQ(latin1FromUtf8(utf8FromLatin1(every)), every);
  EXPECT_EQ(utf8FromLatin1("-3\xB0"), "-3\xC2\xB0");
  // Beyond the field's characters: one question mark per character.
  EXPECT_EQ(latin1FromUtf8("\xE2\x82\xAC 5 \xF0\x9F\x8E\xB9"), "? 5 ?");
  // Malformed: a question mark per byte that starts no whole sequence.
  EXPECT_EQ(latin1FromUtf8("\xC0\x80"), "??");          // overlong
  EXPECT_EQ(latin1FromUtf8("\xED\xA0\x80"), "???");     // a surrogate
  EXPECT_EQ(latin1FromUtf8("\xF5\x80\x80\x80"), "????");  // past Unicode
  EXPECT_EQ(latin1FromUtf8("1\xC3"), "1?");             // cut short
  EXPECT_EQ(latin1FromUtf8("\x80" "2"), "?2");           // a stray continuation
  EXPECT_EQ(latin1FromUtf8("\xC3" "A"), "?A");
}

}  // namespace
}  // namespace kestrane::platform
