// Option menus: the entry list (insertion, removal, the current entry, separators and titles,
// the 1024-entry limit) and the popup: what it shows and what a choice does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "gui/OptionMenu.h"

namespace kestrane {
namespace {

using testing::HostedControls;

std::string entryText(const OptionMenu* menu, int32_t index) {
  char text[256] = "";
  return menu->getEntry(index, text) ? std::string(text) : std::string("<none>");
}

OptionMenu* menuWith(const std::vector<const char*>& entries, int32_t style = 0) {
  auto* menu = new OptionMenu(Rect(0, 0, 40, 12), nullptr, 0, nullptr, nullptr, style);
  for (const char* entry : entries) EXPECT_TRUE(menu->addEntry(entry));
  return menu;
}

TEST(OptionMenuEntries, TheFirstEntryBecomesCurrentAndInsertionsKeepTheCurrentEntry) {
  OptionMenu* menu = menuWith({});
  EXPECT_EQ(menu->getCurrent(), -1);
  menu->addEntry("A");
  EXPECT_EQ(menu->getCurrent(), 0);
  menu->addEntry("B");
  menu->addEntry(nullptr);  // an empty entry
  EXPECT_EQ(entryText(menu, 2), "");
  menu->setEntry(2, "C");
  EXPECT_TRUE(menu->setCurrent(2));
  menu->checkEntry(1, true);
  // Before "B": texts move down, the check flag stays at index 1, the current entry moves along.
  EXPECT_TRUE(menu->addEntry("X", 1));
  EXPECT_EQ(entryText(menu, 1), "X");
  EXPECT_EQ(entryText(menu, 2), "B");
  EXPECT_TRUE(menu->isEntryChecked(1));
  EXPECT_FALSE(menu->isEntryChecked(2));
  EXPECT_EQ(menu->getCurrent(), 3);
  char text[256];
  EXPECT_EQ(menu->getCurrent(text), 3);
  EXPECT_STREQ(text, "C");
  // After the current entry: it stays.
  EXPECT_TRUE(menu->addEntry("Y", 3));
  EXPECT_EQ(menu->getCurrent(), 4);
  menu->addEntry("Z");  // appended
  EXPECT_EQ(menu->getCurrent(), 4);
  // Out of range: fails, nothing changes.
  EXPECT_FALSE(menu->addEntry("W", 6));  // the count itself is no insertion point
  EXPECT_FALSE(menu->addEntry("W", -2));
  EXPECT_EQ(menu->getEntryCount(), 6);
  EXPECT_EQ(menu->getIndex("Y"), 3);
  EXPECT_EQ(menu->getIndex("nothing"), -1);
  menu->release();
}

TEST(OptionMenuEntries, RemovalClosesTheGapAndMovesTheCurrentEntryBack) {
  OptionMenu* menu = menuWith({"a", "b", "c", "d"});
  menu->checkEntry(2, true);
  menu->setCurrent(2);
  EXPECT_TRUE(menu->removeEntry(0));
  EXPECT_EQ(menu->getCurrent(), 1);  // still "c"
  EXPECT_TRUE(menu->isEntryChecked(1));  // its check mark came along
  EXPECT_TRUE(menu->removeEntry(1));   // the current one: the one before becomes current
  EXPECT_EQ(menu->getCurrent(), 0);
  EXPECT_EQ(entryText(menu, 1), "d");
  EXPECT_FALSE(menu->isEntryChecked(1));
  EXPECT_TRUE(menu->removeEntry(1));  // after the current one: stays
  EXPECT_EQ(menu->getCurrent(), 0);
  EXPECT_FALSE(menu->removeEntry(1));
  EXPECT_TRUE(menu->removeEntry(0));
  EXPECT_EQ(menu->getCurrent(), -1);
  EXPECT_EQ(menu->getEntryCount(), 0);
  menu->release();
}

TEST(OptionMenuEntries, RemoveAllClearsEntriesChecksAndTheCurrentEntry) {
  OptionMenu* menu = menuWith({"6 dB", "12 dB", "18 dB", "24 dB"});
  menu->checkOnlyEntry(2);
  menu->removeAllEntries();
  EXPECT_EQ(menu->getEntryCount(), 0);
  EXPECT_EQ(menu->getCurrent(), -1);
  menu->addEntry("x");
  menu->addEntry("y");
  menu->addEntry("z");
  EXPECT_FALSE(menu->isEntryChecked(2));
  EXPECT_TRUE(menu->checkOnlyEntry(1));
  EXPECT_TRUE(menu->isEntryChecked(1));
  menu->checkEntry(0, true);
  EXPECT_TRUE(menu->checkOnlyEntry(2));
  EXPECT_FALSE(menu->isEntryChecked(0));
  EXPECT_FALSE(menu->checkOnlyEntry(3));
  EXPECT_TRUE(menu->isEntryChecked(2));
  menu->release();
}

TEST(OptionMenuEntries, SeparatorsAndTitlesDoNotCountWhenNumberingWithoutThem) {
  OptionMenu* menu = menuWith({"-TTitle", "a", "-", "b", "-Gc", "d"});
  EXPECT_TRUE(menu->setCurrent(5));
  EXPECT_EQ(menu->getCurrent(nullptr, false), 3);  // a, b and the greyed c come before
  EXPECT_EQ(menu->getCurrent(nullptr, true), 5);
  EXPECT_TRUE(menu->setCurrent(2, false));  // a, b, c: the third counted entry
  EXPECT_EQ(menu->getCurrent(), 4);
  EXPECT_TRUE(menu->setCurrent(4, false));  // only four counted entries: the last entry
  EXPECT_EQ(menu->getCurrent(), 5);
  EXPECT_FALSE(menu->setCurrent(6, false));
  EXPECT_FALSE(menu->setCurrent(2, true));  // a separator
  EXPECT_EQ(menu->getCurrent(), 5);
  EXPECT_TRUE(menu->setCurrent(0, true));   // a title can be made current by its index
  EXPECT_EQ(menu->getCurrent(nullptr, false), 0);
  menu->setDirty(false);
  menu->setCurrent(1);
  EXPECT_TRUE(menu->isDirty());
  menu->release();
}

TEST(OptionMenuEntries, At1024EntriesAddingFailsAndTextsAreCutTo255) {
  OptionMenu* menu = menuWith({});
  const std::string longText(400, 'e');
  for (int i = 0; i < OptionMenu::kMaxEntries; ++i) ASSERT_TRUE(menu->addEntry(longText.c_str()));
  EXPECT_FALSE(menu->addEntry("one too many"));
  EXPECT_FALSE(menu->addEntry("one too many", 0));
  EXPECT_EQ(menu->getEntryCount(), OptionMenu::kMaxEntries);
  EXPECT_EQ(entryText(menu, 1023).size(), 255u);
  EXPECT_FALSE(menu->getEntry(1024, nullptr));
  EXPECT_FALSE(menu->checkEntry(-1, true));
  EXPECT_FALSE(menu->isEntryChecked(5000));
  menu->release();
}

// --- The popup --------------------------------------------------------------------------------

class OptionMenuPopup : public HostedControls {
 protected:
  OptionMenuPopup()
      : menu(add(new OptionMenu(Rect(30, 40, 69, 51), &listener, 3, nullptr, nullptr,
                                ParamDisplay::kShadowText | ParamDisplay::kCheckCurrent))) {
    for (const char* entry : {"-TSplit", "50 Hz", "-", "100 Hz", "-G200 Hz", "400 Hz"}) {
      menu->addEntry(entry);
    }
    menu->setCurrent(1);
  }
  OptionMenu* menu;
};

TEST_F(OptionMenuPopup, ShowsEveryEntryWithItsKindAndChecksTheCurrentOne) {
  testuser::chooseMenuItem(-1);
  press(40, 45, kLButton);
  const std::vector<testuser::MenuItem> items = testuser::lastMenu();
  ASSERT_EQ(items.size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(items[static_cast<std::size_t>(i)].id, i);
  EXPECT_EQ(items[0].text, "Split");
  EXPECT_NE(items[0].flags & platform::MenuItemDisabled, 0u);
  EXPECT_EQ(items[1].text, "50 Hz");
  EXPECT_NE(items[1].flags & platform::MenuItemChecked, 0u);
  EXPECT_NE(items[2].flags & platform::MenuItemSeparator, 0u);
  EXPECT_EQ(items[3].flags & (platform::MenuItemChecked | platform::MenuItemGrayed), 0u);
  EXPECT_EQ(items[4].text, "200 Hz");
  EXPECT_NE(items[4].flags & platform::MenuItemGrayed, 0u);
  EXPECT_EQ(items[5].flags & platform::MenuItemColumnBreak, 0u);
  // Nothing chosen: nothing changes, nobody is told, the focus is given back.
  EXPECT_EQ(menu->getCurrent(), 1);
  EXPECT_EQ(listener.calls(), 0);
  EXPECT_EQ(frame()->getFocusView(), nullptr);
}

TEST_F(OptionMenuPopup, AChoiceBecomesCurrentAndTheValueAndTheListenerHearsOfIt) {
  testuser::chooseMenuItem(5);
  press(40, 45, kLButton);
  EXPECT_EQ(menu->getCurrent(), 5);
  EXPECT_EQ(menu->getValue(), 5.0f);
  ASSERT_EQ(listener.calls(), 1);
  EXPECT_EQ(listener.values[0], 5.0f);
  EXPECT_FALSE(menu->isDirty());  // redrawn
  EXPECT_EQ(menu->getLastButton() & kLButton, kLButton);
  // The right button opens it too; choosing the current entry again still tells the listener.
  testuser::chooseMenuItem(5);
  press(40, 45, kRButton);
  EXPECT_EQ(listener.calls(), 2);
  EXPECT_EQ(menu->getLastButton() & kRButton, kRButton);
  // A greyed entry cannot be chosen.
  testuser::chooseMenuItem(4);
  press(40, 45, kLButton);
  EXPECT_EQ(menu->getCurrent(), 5);
  EXPECT_EQ(listener.calls(), 2);
}

TEST_F(OptionMenuPopup, ATapOpensThePopupWithEitherButton) {
  testuser::chooseMenuItem(3);
  tap(40, 45, kLButton);
  EXPECT_EQ(menu->getCurrent(), 3);
  EXPECT_EQ(menu->getLastButton() & (kLButton | kRButton), kLButton);
  testuser::chooseMenuItem(5);
  tap(40, 45, kRButton);
  EXPECT_EQ(menu->getCurrent(), 5);
  EXPECT_EQ(menu->getLastButton() & (kLButton | kRButton), kRButton);
  EXPECT_EQ(listener.calls(), 2);
  EXPECT_EQ(frame()->getFocusView(), nullptr);
}

TEST_F(OptionMenuPopup, MultipleCheckModeTogglesTheChosenEntrysMark) {
  menu->setStyle(ParamDisplay::kMultipleCheck);
  menu->checkEntry(3, true);
  testuser::chooseMenuItem(-1);
  press(40, 45, kLButton);
  std::vector<testuser::MenuItem> items = testuser::lastMenu();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_NE(items[3].flags & platform::MenuItemChecked, 0u);
  EXPECT_EQ(items[1].flags & platform::MenuItemChecked, 0u);  // current, but no check style
  testuser::chooseMenuItem(3);
  press(40, 45, kLButton);
  EXPECT_FALSE(menu->isEntryChecked(3));
  testuser::chooseMenuItem(5);
  press(40, 45, kLButton);
  EXPECT_TRUE(menu->isEntryChecked(5));
}

TEST_F(OptionMenuPopup, LongMenusBreakIntoColumnsUnlessTheyAreVeryLong) {
  menu->setColumnLength(2);
  testuser::chooseMenuItem(-1);
  press(40, 45, kLButton);
  std::vector<testuser::MenuItem> items = testuser::lastMenu();
  ASSERT_EQ(items.size(), 6u);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const bool breaks = i == 2 || i == 4;
    EXPECT_EQ((items[i].flags & platform::MenuItemColumnBreak) != 0, breaks) << i;
  }
  menu->removeAllEntries();
  for (int i = 0; i < OptionMenu::kMaxEntriesForColumns; ++i) menu->addEntry("x");
  menu->setColumnLength(20);
  testuser::chooseMenuItem(-1);
  press(40, 45, kLButton);
  items = testuser::lastMenu();
  ASSERT_EQ(items.size(), 160u);
  for (const testuser::MenuItem& item : items) {
    EXPECT_EQ(item.flags & platform::MenuItemColumnBreak, 0u);
  }
}

TEST_F(OptionMenuPopup, NothingWithoutAMouseButtonOrWhenDisabled) {
  testuser::chooseMenuItem(5);
  menu->setMouseEnabled(false);
  press(40, 45, kLButton);
  EXPECT_EQ(menu->getCurrent(), 1);
  menu->setMouseEnabled(true);
  press(40, 45, kMButton);
  EXPECT_EQ(menu->getCurrent(), 1);
  EXPECT_EQ(listener.calls(), 0);
  testuser::chooseMenuItem(-1);
}

}  // namespace
}  // namespace kestrane
