// The scripted user on Windows: real input through the system, the real edit control driven by
// its messages, and the real popup menu driven with its own keys from inside its modal loop.
#include <windows.h>

#include <deque>

#include "platform/TestHost.h"
#include "platform/TestUser.h"
#include "platform/win32/Handles.h"

namespace kestrane::platform::testuser {

using win32::fromHandle;
using win32::toHandle;

namespace {

// How long the system may take to show a change of input (under wine the key state follows
// input only once it has been processed).
constexpr DWORD kInputTimeoutMs = 5000;

struct KeyBit {
  int bit;
  WORD virtualKey;
  DWORD downFlag;  // mouse buttons: the event flags; 0 for keys
  DWORD upFlag;
};

constexpr KeyBit kModifiers[] = {
    {ShiftBit, VK_SHIFT, 0, 0},
    {ControlBit, VK_CONTROL, 0, 0},
    {AltBit, VK_MENU, 0, 0},
};
constexpr KeyBit kMouseButtons[] = {
    {LeftButtonBit, VK_LBUTTON, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
    {MiddleButtonBit, VK_MBUTTON, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
    {RightButtonBit, VK_RBUTTON, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
};

std::deque<Input> pendingMoves;
int heldButtons = 0;

bool isDown(WORD virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

bool shown(const Input& state) {
  for (const KeyBit& key : kModifiers) {
    if (isDown(key.virtualKey) != ((state.buttons & key.bit) != 0)) return false;
  }
  for (const KeyBit& button : kMouseButtons) {
    if (isDown(button.virtualKey) != ((state.buttons & button.bit) != 0)) return false;
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  return cursor.x == state.cursor.x && cursor.y == state.cursor.y;
}

// Sends the changes from what is held now to state, then waits until the system shows them.
void apply(const Input& state) {
  SetCursorPos(state.cursor.x, state.cursor.y);
  INPUT events[6] = {};
  UINT count = 0;
  for (const KeyBit& key : kModifiers) {
    const bool want = (state.buttons & key.bit) != 0;
    if (want == ((heldButtons & key.bit) != 0)) continue;
    INPUT& event = events[count++];
    event.type = INPUT_KEYBOARD;
    event.ki.wVk = key.virtualKey;
    event.ki.dwFlags = want ? 0 : KEYEVENTF_KEYUP;
  }
  for (const KeyBit& button : kMouseButtons) {
    const bool want = (state.buttons & button.bit) != 0;
    if (want == ((heldButtons & button.bit) != 0)) continue;
    INPUT& event = events[count++];
    event.type = INPUT_MOUSE;
    event.mi.dwFlags = want ? button.downFlag : button.upFlag;  // at the cursor, no move
  }
  if (count > 0) SendInput(count, events, sizeof(INPUT));
  heldButtons = state.buttons;
  const DWORD start = GetTickCount();
  while (!shown(state) && GetTickCount() - start < kInputTimeoutMs) Sleep(1);
}

Position cursorNow() {
  POINT cursor{};
  GetCursorPos(&cursor);
  return Position{cursor.x, cursor.y};
}

// --- Popup menus ---------------------------------------------------------------------------------

int menuChoice = -1;
HHOOK menuHook = nullptr;
std::vector<MenuItem> shownMenu;

std::vector<MenuItem> readMenu(HMENU menu) {
  std::vector<MenuItem> items;
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MenuItem item;
    item.id = static_cast<int>(GetMenuItemID(menu, position));
    item.flags = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & 0xFFFF;
    char text[256] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    item.text = text;
    items.push_back(item);
  }
  return items;
}

void postKey(HWND window, WPARAM key) { PostMessageA(window, WM_KEYDOWN, key, 1); }

// Sees the menu's start (WM_INITMENU to its owner) and queues the keys that choose the item: the
// menu's loop moves the selection down over everything but separators, and Return executes it.
LRESULT CALLBACK menuStarts(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call != nullptr && call->message == WM_INITMENU) {
    HHOOK hook = menuHook;
    menuHook = nullptr;
    UnhookWindowsHookEx(hook);
    shownMenu = readMenu(reinterpret_cast<HMENU>(call->wParam));
    int downs = -1;
    for (std::size_t i = 0; i < shownMenu.size(); ++i) {
      if ((shownMenu[i].flags & MF_SEPARATOR) == 0) ++downs;
      if (shownMenu[i].id == menuChoice) {
        for (int press = 0; press <= downs; ++press) postKey(call->hwnd, VK_DOWN);
        PostMessageA(call->hwnd, WM_CHAR, '\r', 1);
        break;
      }
    }
    // Whatever was chosen (or not), the menu ends: Escape is left over only when it already has.
    postKey(call->hwnd, VK_ESCAPE);
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void hold(Input state) { apply(state); }

void press(WindowRef window, Position client, int buttons, const std::vector<Input>& moves) {
  HWND hwnd = toHandle<HWND>(window);
  RECT bounds{};
  if (hwnd == nullptr || !GetWindowRect(hwnd, &bounds)) return;
  pendingMoves.assign(moves.begin(), moves.end());
  apply(Input{buttons, Position{bounds.left + client.x, bounds.top + client.y}});
  // The system queues the button-down message for the window under the cursor; handling it runs
  // the control's loop, during which the test host's idle plays the moves.
  MSG message;
  const DWORD start = GetTickCount();
  while (!PeekMessageA(&message, nullptr, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_NOREMOVE) &&
         GetTickCount() - start < kInputTimeoutMs) {
    Sleep(1);
  }
  testhost::processMessages();
  pendingMoves.clear();
  apply(Input{0, cursorNow()});
  testhost::processMessages();
}

void tap(WindowRef window, Position client, int buttons) {
  HWND hwnd = toHandle<HWND>(window);
  RECT bounds{};
  if (hwnd == nullptr || !GetWindowRect(hwnd, &bounds)) return;
  pendingMoves.clear();
  const Input modifiersOnly{buttons & ~(LeftButtonBit | MiddleButtonBit | RightButtonBit),
                            Position{bounds.left + client.x, bounds.top + client.y}};
  apply(modifiersOnly);
  // Every button's down, then every up, in one call: the system takes them in at once.
  INPUT events[6] = {};
  UINT count = 0;
  for (bool down : {true, false}) {
    for (const KeyBit& button : kMouseButtons) {
      if ((buttons & button.bit) == 0) continue;
      events[count].type = INPUT_MOUSE;
      events[count++].mi.dwFlags = down ? button.downFlag : button.upFlag;  // at the cursor
    }
  }
  if (count > 0) SendInput(count, events, sizeof(INPUT));
  // The button-down message waits in the queue while the system already shows the button up.
  MSG message;
  const DWORD start = GetTickCount();
  while ((!PeekMessageA(&message, nullptr, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_NOREMOVE) ||
          !shown(modifiersOnly)) &&
         GetTickCount() - start < kInputTimeoutMs) {
    Sleep(1);
  }
  testhost::processMessages();
  apply(Input{0, cursorNow()});
  testhost::processMessages();
}

void nextMove() {
  if (pendingMoves.empty()) return;
  const Input move = pendingMoves.front();
  pendingMoves.pop_front();
  apply(move);
}

std::size_t movesLeft() { return pendingMoves.size(); }

WindowRef editField(WindowRef window) {
  for (HWND child = GetWindow(toHandle<HWND>(window), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Edit") == 0) return fromHandle<WindowRef>(child);
  }
  return nullptr;
}

void type(WindowRef field, const char* text) {
  HWND hwnd = toHandle<HWND>(field);
  if (hwnd == nullptr || text == nullptr) return;
  SendMessageA(hwnd, EM_SETSEL, 0, -1);
  for (const char* c = text; *c != '\0'; ++c) {
    SendMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(*c), 1);
  }
  testhost::processMessages();
}

void pressReturn(WindowRef field) {
  if (field == nullptr) return;
  SendMessageA(toHandle<HWND>(field), WM_KEYDOWN, VK_RETURN, 1);
  testhost::processMessages();
}

void moveFocusAway(WindowRef field) {
  if (field == nullptr) return;
  SetFocus(GetParent(toHandle<HWND>(field)));
  testhost::processMessages();
}

void chooseMenuItem(int id) {
  menuChoice = id;
  if (menuHook == nullptr) {
    menuHook = SetWindowsHookExA(WH_CALLWNDPROC, menuStarts, nullptr, GetCurrentThreadId());
  }
}

std::vector<MenuItem> lastMenu() { return shownMenu; }

}  // namespace kestrane::platform::testuser
