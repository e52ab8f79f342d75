// The text of a one-line edit field and its selection, for the backends that draw their own
// fields (X11, headless): what the keys and the mouse do to it, and the conversions the
// clipboard needs. Portable; no window system here.
//
// The text is in the rasteriser's single-byte characters (each byte is the Unicode character of
// that number, Latin-1), the characters the system's edit control of the Windows builds holds
// in this product. Positions are byte offsets from 0 to the text's length. The selection runs
// between the anchor (where it started) and the caret (the end that moves); with both at the
// same place nothing is selected and the caret is where typing goes.
//
// Runs on the thread that owns the field (the host's user-interface thread).
#pragma once

#include <cstddef>
#include <string>

namespace kestrane::platform {

class EditText {
 public:
  // The most characters a field holds (about what the system's control takes by default);
  // typing and pasting stop there.
  static constexpr std::size_t kMaxLength = 32767;

  // A field opens with its whole text selected, as the system's control does when its owner
  // selects it all: the first key typed replaces it.
  explicit EditText(const std::string& text = std::string());

  const std::string& text() const { return text_; }
  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  bool hasSelection() const { return anchor_ != caret_; }
  // The selection's ends, first the lower.
  std::size_t selectionFrom() const { return anchor_ < caret_ ? anchor_ : caret_; }
  std::size_t selectionTo() const { return anchor_ < caret_ ? caret_ : anchor_; }
  std::string selectedText() const;
  // editFieldText of a backend's field: at most capacity - 1 characters and a terminator into
  // text (nothing for a null buffer or a capacity below 1); answers the length copied.
  int copyText(char* text, int capacity) const;

  // The text replaced as a whole (its printable characters, up to the limit), all selected.
  void setText(const std::string& text);
  void selectAll();
  // The caret to a position (clamped to the text); extend keeps the anchor where it is (Shift
  // held, or a drag), otherwise the selection collapses there.
  void moveTo(std::size_t position, bool extend);
  // Left and Right: one character; without extend a selection collapses to its own end on
  // that side instead. Home and End: the text's ends.
  void moveLeft(bool extend);
  void moveRight(bool extend);
  void moveHome(bool extend) { moveTo(0, extend); }
  void moveEnd(bool extend) { moveTo(text_.size(), extend); }

  // Typed or pasted characters replace the selection (or go in at the caret): only printable
  // ones are taken, and no more than the limit leaves room for. The caret ends after them.
  // Answers whether the text changed.
  bool insert(const std::string& characters);
  // Backspace and Delete: the selection, or else the character before / after the caret.
  bool erasePrevious();
  bool eraseNext();
  // Removes the selection and answers what it was (Cut).
  std::string cutSelection();

 private:
  std::string text_;
  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
};

// Whether a single-byte character can stand in a one-line field: not a control character of
// either range (0-31, 127, 128-159), so no line break, tab or terminal escape.
inline bool printableCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u != 0x7F && !(u >= 0x80 && u < 0xA0);
}

// The clipboard's text encodings and the field's characters. UTF-8 to the field's characters:
// a character beyond 255 becomes '?' (as the system converts for its single-byte programs), as
// does each byte of a malformed sequence; the field's characters to UTF-8: each as itself.
std::string latin1FromUtf8(const std::string& utf8);
std::string utf8FromLatin1(const std::string& latin1);

}  // namespace kestrane::platform
