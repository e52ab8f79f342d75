#include "platform/EditText.h"

#include <algorithm>
#include <cstdint>

namespace kestrane::platform {

namespace {

// The printable characters of `characters`, in order, no more than `room` of them.
std::string printablePart(const std::string& characters, std::size_t room) {
  std::string taken;
  for (const char c : characters) {
    if (taken.size() == room) break;
    if (printableCharacter(c)) taken += c;
  }
  return taken;
}

}  // namespace

EditText::EditText(const std::string& text) { setText(text); }

std::string EditText::selectedText() const {
  return text_.substr(selectionFrom(), selectionTo() - selectionFrom());
}

int EditText::copyText(char* text, int capacity) const {
  if (text == nullptr || capacity <= 0) return 0;
  const int n = text_.size() < static_cast<std::size_t>(capacity - 1)
                    ? static_cast<int>(text_.size())
                    : capacity - 1;
  for (int i = 0; i < n; ++i) text[i] = text_[static_cast<std::size_t>(i)];
  text[n] = '\0';
  return n;
}

void EditText::setText(const std::string& text) {
  text_ = printablePart(text, kMaxLength);
  selectAll();
}

void EditText::selectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

void EditText::moveTo(std::size_t position, bool extend) {
  caret_ = std::min(position, text_.size());
  if (!extend) anchor_ = caret_;
}

void EditText::moveLeft(bool extend) {
  if (!extend && hasSelection()) {
    moveTo(selectionFrom(), false);
  } else {
    moveTo(caret_ > 0 ? caret_ - 1 : 0, extend);
  }
}

void EditText::moveRight(bool extend) {
  if (!extend && hasSelection()) {
    moveTo(selectionTo(), false);
  } else {
    moveTo(caret_ + 1, extend);
  }
}

bool EditText::insert(const std::string& characters) {
  const std::size_t from = selectionFrom();
  const std::size_t removed = selectionTo() - from;
  const std::size_t room = kMaxLength - (text_.size() - removed);
  const std::string taken = printablePart(characters, room);
  // Nothing to put in and nothing selected: the text stays (and so does the caret).
  if (taken.empty() && removed == 0) return false;
  text_.replace(from, removed, taken);
  caret_ = anchor_ = from + taken.size();
  return true;
}

bool EditText::erasePrevious() {
  if (!hasSelection()) {
    if (caret_ == 0) return false;
    anchor_ = caret_ - 1;
  }
  return insert(std::string());
}

bool EditText::eraseNext() {
  if (!hasSelection()) {
    if (caret_ == text_.size()) return false;
    anchor_ = caret_ + 1;
  }
  return insert(std::string());
}

std::string EditText::cutSelection() {
  std::string cut = selectedText();
  insert(std::string());
  return cut;
}

std::string latin1FromUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    // The sequence's length and the bits of the lead byte; 0 for a byte that cannot lead.
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    }
    bool whole = length > 0 && i + length <= utf8.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0u) != 0x80u) whole = false;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and numbers past Unicode are malformed too.
    static constexpr std::uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (whole && (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)) {
      whole = false;
    }
    if (!whole) {
      out += '?';
      ++i;
      continue;
    }
    out += code <= 0xFF ? static_cast<char>(code) : '?';
    i += length;
  }
  return out;
}

std::string utf8FromLatin1(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (const char c : latin1) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace kestrane::platform
