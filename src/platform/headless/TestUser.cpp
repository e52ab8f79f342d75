// The scripted user on the headless backend: the input script, the scripted edit fields and the
// scripted menu choice of platform/headless/Headless.h behind the portable test interface.
#include "platform/TestUser.h"

#include "platform/headless/Headless.h"
#include "platform/headless/Objects.h"

namespace kestrane::platform::testuser {

namespace {
constexpr int kMouseButtons = LeftButtonBit | MiddleButtonBit | RightButtonBit;

// The button whose down message a press delivers (0: none held).
int pressedButton(int buttons) {
  for (int bit : {LeftButtonBit, RightButtonBit, MiddleButtonBit}) {
    if ((buttons & bit) != 0) return bit;
  }
  return 0;
}
}  // namespace

void hold(Input state) { headless::setInput({state.buttons, state.cursor}); }

void press(WindowRef window, Position client, int buttons, const std::vector<Input>& moves) {
  if (window == nullptr) return;
  const Position screen{window->screen.left + client.x, window->screen.top + client.y};
  // The click's own state is what the control's first poll sees; the moves follow, one a poll.
  std::vector<headless::InputState> script{{buttons, screen}};
  for (const Input& move : moves) script.push_back({move.buttons, move.cursor});
  headless::scriptInput(script);
  headless::setInput({buttons & ~kMouseButtons, screen});
  headless::sendMouseDown(window, client, pressedButton(buttons));
  // What the program did not poll is not played; then nothing is held.
  headless::clearScript();
  headless::setInput({0, headless::currentInput().cursor});
}

void tap(WindowRef window, Position client, int buttons) {
  if (window == nullptr) return;
  const Position screen{window->screen.left + client.x, window->screen.top + client.y};
  // No script: every poll sees the buttons up already, the modifiers still held.
  headless::clearScript();
  headless::setInput({buttons & ~kMouseButtons, screen});
  headless::sendMouseDown(window, client, pressedButton(buttons));
  headless::setInput({0, screen});
}

void nextMove() {}

std::size_t movesLeft() { return headless::scriptRemaining(); }

WindowRef editField(WindowRef window) {
  for (WindowRef child : headless::childWindows(window)) {
    if (child->editField) return child;
  }
  return nullptr;
}

void type(WindowRef field, const char* text) {
  headless::typeIntoEditField(field, text != nullptr ? text : "");
}

void pressReturn(WindowRef field) { headless::pressReturnInEditField(field); }

void moveFocusAway(WindowRef field) {
  // The field tells its owner the same way as for Return.
  headless::pressReturnInEditField(field);
}

void chooseMenuItem(int id) { headless::choosePopupMenuItem(id); }

std::vector<MenuItem> lastMenu() {
  std::vector<MenuItem> items;
  for (const auto& record : headless::lastPopupMenu()) {
    items.push_back({record.id, record.text, record.flags});
  }
  return items;
}

}  // namespace kestrane::platform::testuser
