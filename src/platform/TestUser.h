// The user, scripted, for tests that run on both backends: the mouse and modifier keys, typing
// into an edit field, and choosing from a popup menu. Linked into test programs only
// (kestrane_platform_testhost), never into the plug-in.
//
//   - headless: the backend's input script (one scripted state per poll of the buttons), its
//     edit fields and its scripted menu choice;
//   - Windows: real input through the system (SendInput, SetCursorPos), each change awaited
//     until the system shows it (under wine the key state follows input only once it has been
//     processed); the real edit control gets its characters and keys as messages; the real
//     popup menu is driven with its own keys while its modal loop runs.
//
// Everything runs on the thread that owns the windows (the test's main thread).
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrane::platform::testuser {

// Mouse buttons and modifier keys held (ButtonBits), and the cursor in screen coordinates.
struct Input {
  int buttons = 0;
  Position cursor;
};

// Holds exactly these buttons and keys with the cursor at that position, as pollButtons,
// keyDown and cursorPosition then report them. Headless: at once, without a poll.
void hold(Input state);

// A click: holds buttons (mouse buttons and modifiers) with the cursor at a client position of
// window, and delivers the button-down message, which the program handles before this returns
// (a control's modal loop runs inside). While a loop polls, the program sees the moves one after
// the other: headless, one per poll of the buttons; Windows, one each time nextMove() is called
// (by the test host's idle callback). Afterwards every button and key is released.
void press(WindowRef window, Position client, int buttons, const std::vector<Input>& moves = {});
// A tap: the buttons' press and release arrive together, as from a touchpad tap, a quick click or
// a click sent by automation, so that by the time the program handles the button-down message
// the system already shows the mouse buttons up. Modifier keys in buttons are held throughout;
// afterwards every button and key is released. Windows: one SendInput with every down and up.
void tap(WindowRef window, Position client, int buttons);
// Windows: the next move of the press under way (none left: nothing). Headless: nothing (the
// script advances by itself).
void nextMove();
// Moves of the press under way that the program has not been shown yet.
std::size_t movesLeft();

// The edit field open inside window, or null.
WindowRef editField(WindowRef window);
// Types text over the field's selection (all of the text is selected when a field opens).
void type(WindowRef field, const char* text);
// The Return key in the field.
void pressReturn(WindowRef field);
// The keyboard focus leaves the field (goes to its parent window).
void moveFocusAway(WindowRef field);

// The next popup menu shown chooses the item with this id, or closes without a choice (-1).
void chooseMenuItem(int id);
struct MenuItem {
  int id = 0;
  std::string text;
  unsigned flags = 0;  // MenuItemFlags as the system holds them
};
// The items of the last popup menu shown.
std::vector<MenuItem> lastMenu();

}  // namespace kestrane::platform::testuser
