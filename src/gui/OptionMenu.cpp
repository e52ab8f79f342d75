#include "gui/OptionMenu.h"

#include <cstring>
#include <new>

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/Frame.h"

namespace kestrane {

namespace {

constexpr char kSeparator[] = "-";
constexpr char kGreyedPrefix[] = "-G";
constexpr char kTitlePrefix[] = "-T";
constexpr std::size_t kPrefixLength = 2;

bool startsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

OptionMenu::OptionMenu(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap,
                       Bitmap* whileOpen, int32_t styleBits)
    : ParamDisplay(rect, owner, controlTag, bitmap, styleBits), bitmapWhileOpen(whileOpen) {
  if (bitmapWhileOpen != nullptr) bitmapWhileOpen->retain();
}

OptionMenu::~OptionMenu() {
  removeAllEntries();
  if (bitmapWhileOpen != nullptr) bitmapWhileOpen->release();
}

// --- Entries ---------------------------------------------------------------------------------

bool OptionMenu::isSeparator(int32_t index) const {
  return std::strcmp(entries[index], kSeparator) == 0;
}

bool OptionMenu::isTitle(int32_t index) const { return startsWith(entries[index], kTitlePrefix); }

bool OptionMenu::addEntry(const char* text, int32_t index) {
  if (entryCount >= kMaxEntries) return false;
  if (index != -1 && !validIndex(index)) return false;
  char* entry = new (std::nothrow) char[kEntryBytes];
  if (entry == nullptr) return false;
  copyText(entry, text, kEntryBytes);
  if (index == -1) {
    entries[entryCount] = entry;
  } else {
    // Texts at and after the insertion point move down; the check flags stay where they are.
    for (int32_t i = entryCount; i > index; --i) entries[i] = entries[i - 1];
    entries[index] = entry;
    if (currentIndex >= index) ++currentIndex;
  }
  ++entryCount;
  if (currentIndex < 0) currentIndex = 0;
  return true;
}

int32_t OptionMenu::getCurrent(char* out, bool countSeparator) const {
  if (!validIndex(currentIndex)) return -1;
  if (out != nullptr)
    std::memcpy(out, entries[currentIndex], std::strlen(entries[currentIndex]) + 1);
  if (countSeparator) return currentIndex;
  int32_t counted = 0;
  for (int32_t i = 0; i < currentIndex; ++i) {
    if (!isSeparator(i) && !isTitle(i)) ++counted;
  }
  return counted;
}

bool OptionMenu::setCurrent(int32_t index, bool countSeparator) {
  if (!validIndex(index)) return false;
  if (countSeparator) {
    if (isSeparator(index)) return false;
    currentIndex = index;
  } else {
    int32_t chosen = entryCount - 1;  // fewer such entries: the last one
    for (int32_t i = 0, counted = 0; i < entryCount; ++i) {
      if (isSeparator(i) || isTitle(i)) continue;
      if (counted++ == index) {
        chosen = i;
        break;
      }
    }
    currentIndex = chosen;
  }
  setDirty(true);
  return true;
}

bool OptionMenu::getEntry(int32_t index, char* out) const {
  if (!validIndex(index) || out == nullptr) return false;
  std::memcpy(out, entries[index], std::strlen(entries[index]) + 1);
  return true;
}

bool OptionMenu::setEntry(int32_t index, const char* text) {
  if (!validIndex(index)) return false;
  copyText(entries[index], text, kEntryBytes);
  return true;
}

bool OptionMenu::removeEntry(int32_t index) {
  if (!validIndex(index)) return false;
  delete[] entries[index];
  for (int32_t i = index; i + 1 < entryCount; ++i) {
    entries[i] = entries[i + 1];
    checks[i] = checks[i + 1];
  }
  --entryCount;
  entries[entryCount] = nullptr;
  checks[entryCount] = false;
  if (currentIndex >= index) --currentIndex;
  if (entryCount == 0) currentIndex = -1;
  return true;
}

bool OptionMenu::removeAllEntries() {
  for (int32_t i = 0; i < entryCount; ++i) {
    delete[] entries[i];
    entries[i] = nullptr;
  }
  std::memset(checks, 0, sizeof checks);
  entryCount = 0;
  currentIndex = -1;
  return true;
}

int32_t OptionMenu::getEntryCount() const { return entryCount; }

int32_t OptionMenu::getIndex(const char* text) const {
  if (text == nullptr) return -1;
  for (int32_t i = 0; i < entryCount; ++i) {
    if (std::strcmp(entries[i], text) == 0) return i;
  }
  return -1;
}

bool OptionMenu::checkEntry(int32_t index, bool flag) {
  if (!validIndex(index)) return false;
  checks[index] = flag;
  return true;
}

bool OptionMenu::checkOnlyEntry(int32_t index) {
  if (!validIndex(index)) return false;
  std::memset(checks, 0, sizeof checks);
  checks[index] = true;
  return true;
}

bool OptionMenu::isEntryChecked(int32_t index) const { return validIndex(index) && checks[index]; }

void OptionMenu::setColumnLength(int32_t entriesPerColumn) { itemsPerColumn = entriesPerColumn; }

int32_t OptionMenu::getColumnLength() const { return itemsPerColumn; }

// --- Drawing and the popup -------------------------------------------------------------------

void OptionMenu::draw(DrawContext* context) {
  if (validIndex(currentIndex)) drawText(context, entries[currentIndex]);
}

void OptionMenu::mouse(DrawContext* context, Point&) {
  if (!mouseEnabled || frame == nullptr || context == nullptr) return;
  lastButton = context->getMouseButtons();
  if ((lastButton & (kLButton | kRButton)) == 0) return;
  if (bitmapWhileOpen != nullptr) {
    drawText(context, validIndex(currentIndex) ? entries[currentIndex] : "", bitmapWhileOpen);
  }
  frame->setFocusView(this);
  gainFocus(context);
}

const char* OptionMenu::itemText(int32_t index, unsigned& flags) const {
  const char* text = entries[index];
  flags = platform::MenuItemPlain;
  if (isSeparator(index)) {
    flags = platform::MenuItemSeparator;
  } else if (startsWith(text, kGreyedPrefix)) {
    flags = platform::MenuItemGrayed;
    text += kPrefixLength;
  } else if (isTitle(index)) {
    flags = platform::MenuItemDisabled;
    text += kPrefixLength;
  } else if (((style & kMultipleCheck) != 0 && checks[index]) ||
             ((style & kCheckCurrent) != 0 && index == currentIndex)) {
    flags = platform::MenuItemChecked;
  }
  if (entryCount < kMaxEntriesForColumns && itemsPerColumn > 0 && index != 0 &&
      index % itemsPerColumn == 0) {
    flags |= platform::MenuItemColumnBreak;
  }
  return text;
}

void OptionMenu::gainFocus(DrawContext* context) {
  if (frame == nullptr || popupMenu != nullptr) return;
  platform::WindowRef window = frame->getSystemWindow();
  popupMenu = window != nullptr ? platform::createPopupMenu() : nullptr;
  if (popupMenu == nullptr) {
    if (frame->getFocusView() == this) frame->setFocusView(nullptr);
    return;
  }
  for (int32_t i = 0; i < entryCount; ++i) {
    unsigned flags = 0;
    const char* text = itemText(i, flags);
    platform::appendMenuItem(popupMenu, i, text, flags);
  }

  const platform::Bounds screen = platform::windowScreenBounds(window);
  const platform::Position where{
      screen.left + size.left, screen.top + ((style & kPopupAtTop) != 0 ? size.top : size.bottom)};
  // The menu's loop runs here; the control stays alive through it whatever the frame does.
  retain();
  const int chosen =
      platform::trackPopupMenu(popupMenu, window, where, (lastButton & kRButton) != 0);
  platform::discardMouseMessages(window);
  platform::destroyMenu(popupMenu);
  popupMenu = nullptr;
  if (frame != nullptr && frame->getFocusView() == this) frame->setFocusView(nullptr);

  if (frame != nullptr && (chosen >= 0 || bitmapWhileOpen != nullptr)) {
    ContextOnFrame drawing(frame, context);
    if (validIndex(chosen)) {
      currentIndex = chosen;
      if ((style & kMultipleCheck) != 0) checks[chosen] = !checks[chosen];
      value = static_cast<float>(currentIndex);
      notifyListener(drawing.get());
    }
    if (drawing.get() != nullptr) draw(drawing.get());
  }
  release();
}

}  // namespace kestrane
