// OptionMenu: a text display of the current entry of a list; a click opens the list as a popup
// menu of the system below the control (or above, with the popup-at-top style), and the entry
// chosen becomes current, its index the value, and the listener hears of it.
//
// Entry conventions: "-" is a separator; "-G<text>" shows <text> greyed; "-T<text>" is a title,
// shown disabled. Titles and separators do not count when entries are numbered without them
// (getCurrent and setCurrent with countSeparator false). Check marks: every entry keeps its own
// with the multiple-check style, or the current entry shows one with the check-current style.
// A column length n > 0 starts a new column at every n-th entry (menus under 160 entries).
//
// At most 1024 entries of at most 255 characters each. Index arguments outside 0..count-1 make
// the operations fail (false or -1) without change. User-interface thread only.
#pragma once

#include "gui/ParamDisplay.h"
#include "platform/Platform.h"

namespace kestrane {

class OptionMenu : public ParamDisplay {
 public:
  static constexpr int32_t kMaxEntries = 1024;
  static constexpr int32_t kEntryBytes = 256;
  // Menus with at least this many entries never break into columns.
  static constexpr int32_t kMaxEntriesForColumns = 160;

  // background and bitmapWhileOpen may be null; bitmapWhileOpen is shown under the current text
  // while the menu is open (retained while held).
  OptionMenu(const Rect& size, ControlListener* listener, int32_t tag,
             Bitmap* background = nullptr, Bitmap* bitmapWhileOpen = nullptr,
             int32_t style = 0);
  ~OptionMenu() override;

  // --- View slots ------------------------------------------------------------------------------
  // The current entry's text; nothing while no entry is current.
  void draw(DrawContext* context) override;
  // Opens the popup on a left or right click (the right button then also tracks it).
  void mouse(DrawContext* context, Point& where) override;
  // Builds the popup, runs it, and applies the choice. context may be null.
  void gainFocus(DrawContext* context) override;

  // --- OptionMenu slots ------------------------------------------------------------------------
  // index -1 appends; 0..count-1 inserts before that entry (texts move down, check flags stay,
  // the current index follows its entry). text null: an empty entry. The first entry of an
  // empty menu becomes current. false when full.
  virtual bool addEntry(const char* text, int32_t index = -1);
  // The current index, -1 when none; with countSeparator false, the number of entries before
  // the current one that are neither separators nor titles. Copies the current text into out
  // (256 bytes) when given.
  virtual int32_t getCurrent(char* out = nullptr, bool countSeparator = true) const;
  // countSeparator true: entry index (not a separator); false: the index-th entry that is
  // neither a separator nor a title, or the last entry when there are fewer. Marks dirty.
  virtual bool setCurrent(int32_t index, bool countSeparator = true);
  virtual bool getEntry(int32_t index, char* out) const;
  virtual bool setEntry(int32_t index, const char* text);
  // Closes the gap; the current index moves back when at or after the removed entry.
  virtual bool removeEntry(int32_t index);
  virtual bool removeAllEntries();
  virtual int32_t getEntryCount() const;
  // The first entry equal to text, or -1.
  virtual int32_t getIndex(const char* text) const;
  virtual bool checkEntry(int32_t index, bool flag);
  virtual bool checkOnlyEntry(int32_t index);
  virtual bool isEntryChecked(int32_t index) const;
  virtual void setColumnLength(int32_t entriesPerColumn);
  virtual int32_t getColumnLength() const;

  // --- Not virtual -----------------------------------------------------------------------------
  // The button state of the click that opened the menu last (ButtonState bits).
  int32_t getLastButton() const { return lastButton; }

 private:
  bool validIndex(int32_t index) const { return index >= 0 && index < entryCount; }
  bool isSeparator(int32_t index) const;
  bool isTitle(int32_t index) const;
  // What the popup shows for an entry: its text without a "-G"/"-T" prefix, and its flags.
  const char* itemText(int32_t index, unsigned& flags) const;

  platform::MenuRef popupMenu = nullptr;
  char* entries[kMaxEntries] = {};
  bool checks[kMaxEntries] = {};
  int32_t entryCount = 0;
  int32_t currentIndex = -1;
  int32_t lastButton = kRButton;
  Bitmap* bitmapWhileOpen;
  int32_t itemsPerColumn = -1;
};

}  // namespace kestrane
