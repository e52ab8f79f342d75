// The frame's child window, its window class and procedure, the live input and time queries,
// cursors, popup menus, the edit field and OLE: the seam's window half.
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <cstdio>
#include <new>

#include "platform/Platform.h"
#include "platform/win32/Handles.h"

namespace kestrane::platform {

using win32::fromHandle;
using win32::toHandle;

namespace {

void* storedModuleInstance = nullptr;

// Windows of the frame class alive in this process; the class is registered while it is not 0.
int classUseCount = 0;
char className[32] = "";

LRESULT CALLBACK frameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* handler = reinterpret_cast<WindowHandler*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (handler == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      // The whole frame is drawn, whatever part of it is invalid.
      if (GetUpdateRect(hwnd, nullptr, FALSE)) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        handler->windowPaint(fromHandle<SurfaceRef>(dc));
        EndPaint(hwnd, &paint);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // Controls track the drag themselves by polling; no move or button-up message is used.
      const Position where{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const int button = message == WM_LBUTTONDOWN   ? LeftButtonBit
                         : message == WM_RBUTTONDOWN ? RightButtonBit
                                                     : MiddleButtonBit;
      handler->windowMouseDown(where, button);
      return 0;
    }
    case WM_CTLCOLOREDIT: {
      BrushRef brush = handler->windowEditFieldColors(fromHandle<SurfaceRef>(wParam));
      if (brush != nullptr) return reinterpret_cast<LRESULT>(toHandle<HBRUSH>(brush));
      break;
    }
    case WM_DESTROY:
      handler->windowDestroyed();
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HINSTANCE instanceHandle() { return static_cast<HINSTANCE>(moduleInstance()); }

const char* frameClassName() {
  if (className[0] == '\0') {
    std::snprintf(className, sizeof className, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(moduleInstance())));
  }
  return className;
}

bool registerFrameClass() {
  WNDCLASSA windowClass{};
  windowClass.style = CS_GLOBALCLASS;
  windowClass.lpfnWndProc = frameWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instanceHandle();
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = frameClassName();
  return RegisterClassA(&windowClass) != 0;
}

void releaseFrameClass() {
  if (classUseCount > 0 && --classUseCount == 0) {
    UnregisterClassA(frameClassName(), instanceHandle());
  }
}

// --- Edit field ---------------------------------------------------------------------------------

// The edit control's own procedure, replaced while the field is open. One field at a time.
WNDPROC previousEditProc = nullptr;

LRESULT CALLBACK editFieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = previousEditProc;
  if (message == WM_KILLFOCUS || (message == WM_KEYDOWN && wParam == VK_RETURN)) {
    auto* handler = reinterpret_cast<EditFieldHandler*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (handler != nullptr) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);  // report once
      handler->editFieldDone();
    }
    // The owner usually destroys the field while handling this; then nothing is left to pass on.
    if (!IsWindow(hwnd)) return 0;
  }
  if (previous == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Module

void setModuleInstance(void* instance) { storedModuleInstance = instance; }

void* moduleInstance() {
  if (storedModuleInstance != nullptr) return storedModuleInstance;
  // Without a load notification (the test programs) the module holding this code serves.
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&frameWindowProc), &self);
  return self;
}

// ---------------------------------------------------------------------------------------------
// Child window

WindowRef createChildWindow(void* parent, int width, int height) {
  if (parent == nullptr) return nullptr;
  if (classUseCount == 0 && !registerFrameClass()) return nullptr;
  ++classUseCount;
  HWND window = CreateWindowExA(0, frameClassName(), "Window", WS_CHILD | WS_VISIBLE, 0, 0, width,
                                height, static_cast<HWND>(parent), nullptr, instanceHandle(),
                                nullptr);
  if (window == nullptr) releaseFrameClass();
  return fromHandle<WindowRef>(window);
}

void destroyChildWindow(WindowRef window) {
  if (window == nullptr) return;
  // The host may have destroyed it already with its own window; the use is given up either way.
  if (IsWindow(toHandle<HWND>(window))) DestroyWindow(toHandle<HWND>(window));
  releaseFrameClass();
}

void setWindowHandler(WindowRef window, WindowHandler* handler) {
  if (window == nullptr || !IsWindow(toHandle<HWND>(window))) return;
  SetWindowLongPtrA(toHandle<HWND>(window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler));
}

WindowHandler* windowHandler(WindowRef window) {
  if (window == nullptr) return nullptr;
  return reinterpret_cast<WindowHandler*>(GetWindowLongPtrA(toHandle<HWND>(window), GWLP_USERDATA));
}

Bounds windowScreenBounds(WindowRef window) {
  RECT rect{};
  if (window == nullptr || !GetWindowRect(toHandle<HWND>(window), &rect)) return Bounds{};
  return Bounds{rect.left, rect.top, rect.right, rect.bottom};
}

void* systemWindowHandle(WindowRef window) { return toHandle<HWND>(window); }

const char* windowClassName() { return frameClassName(); }

int windowClassUseCount() { return classUseCount; }

// The host's message loop delivers every event.
bool processWindowEvents(WindowRef /*window*/) { return true; }

bool dispatchPendingPaint() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) return false;
  DispatchMessageA(&message);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Input, cursor and time

namespace {
bool held(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
}  // namespace

int pollButtons() {
  int buttons = 0;
  if (held(VK_LBUTTON)) buttons |= LeftButtonBit;
  if (held(VK_MBUTTON)) buttons |= MiddleButtonBit;
  if (held(VK_RBUTTON)) buttons |= RightButtonBit;
  if (held(VK_SHIFT)) buttons |= ShiftBit;
  if (held(VK_CONTROL)) buttons |= ControlBit;
  if (held(VK_MENU)) buttons |= AltBit;
  return buttons;
}

bool keyDown(Key key) {
  switch (key) {
    case Key::Shift: return held(VK_SHIFT);
    case Key::Control: return held(VK_CONTROL);
    case Key::Alt: return held(VK_MENU);
    case Key::Return: return held(VK_RETURN);
  }
  return false;
}

Position cursorPosition() {
  POINT point{};
  GetCursorPos(&point);
  return Position{point.x, point.y};
}

std::uint32_t doubleClickTime() { return GetDoubleClickTime(); }

std::uint32_t tickCount() { return GetTickCount(); }

void sleep(std::uint32_t milliseconds) { Sleep(milliseconds); }

CursorRef currentCursor() { return fromHandle<CursorRef>(GetCursor()); }

CursorRef systemCursor(CursorShape shape) {
  LPCSTR id = reinterpret_cast<LPCSTR>(IDC_ARROW);
  switch (shape) {
    case CursorShape::Arrow: id = reinterpret_cast<LPCSTR>(IDC_ARROW); break;
    case CursorShape::Wait: id = reinterpret_cast<LPCSTR>(IDC_WAIT); break;
    case CursorShape::SizeWE: id = reinterpret_cast<LPCSTR>(IDC_SIZEWE); break;
    case CursorShape::SizeNS: id = reinterpret_cast<LPCSTR>(IDC_SIZENS); break;
    case CursorShape::SizeAll: id = reinterpret_cast<LPCSTR>(IDC_SIZEALL); break;
    case CursorShape::SizeNESW: id = reinterpret_cast<LPCSTR>(IDC_SIZENESW); break;
    case CursorShape::SizeNWSE: id = reinterpret_cast<LPCSTR>(IDC_SIZENWSE); break;
  }
  return fromHandle<CursorRef>(LoadCursorA(nullptr, id));
}

void setCursor(CursorRef cursor) { SetCursor(toHandle<HCURSOR>(cursor)); }

// ---------------------------------------------------------------------------------------------
// Popup menu

MenuRef createPopupMenu() { return fromHandle<MenuRef>(CreatePopupMenu()); }

bool appendMenuItem(MenuRef menu, int id, const char* text, unsigned flags) {
  if (menu == nullptr) return false;
  const UINT kind = (flags & MenuItemSeparator) != 0 ? MF_SEPARATOR : MF_STRING;
  return AppendMenuA(toHandle<HMENU>(menu), kind | (flags & ~static_cast<unsigned>(MF_SEPARATOR)),
                     static_cast<UINT_PTR>(id), (flags & MenuItemSeparator) != 0 ? nullptr : text) !=
         FALSE;
}

int trackPopupMenu(MenuRef menu, WindowRef owner, Position screen, bool rightButton) {
  if (menu == nullptr || owner == nullptr) return -1;
  TrackPopupMenu(toHandle<HMENU>(menu),
                 TPM_LEFTALIGN | (rightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON), screen.x,
                 screen.y, 0, toHandle<HWND>(owner), nullptr);
  // The choice arrives as a command message for the owner.
  MSG message;
  if (PeekMessageA(&message, toHandle<HWND>(owner), WM_COMMAND, WM_COMMAND, PM_REMOVE) &&
      message.wParam < 0x10000) {
    return static_cast<int>(message.wParam);
  }
  return -1;
}

void destroyMenu(MenuRef menu) {
  if (menu != nullptr) DestroyMenu(toHandle<HMENU>(menu));
}

void discardMouseMessages(WindowRef window) {
  MSG message;
  for (int pass = 0; pass < 2; ++pass) {
    while (PeekMessageA(&message, toHandle<HWND>(window), WM_LBUTTONDOWN, WM_MBUTTONDBLCLK,
                        PM_REMOVE)) {
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Edit field

WindowRef createEditField(WindowRef parent, Bounds bounds, const char* text,
                          EditAlignment alignment, FontRef font, EditFieldHandler* handler) {
  if (parent == nullptr) return nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
  style |= alignment == EditAlignment::Center ? ES_CENTER
           : alignment == EditAlignment::Right ? ES_RIGHT
                                                : ES_LEFT;
  HWND field = CreateWindowExA(0, "EDIT", text, style, bounds.left, bounds.top,
                               bounds.right - bounds.left, bounds.bottom - bounds.top,
                               toHandle<HWND>(parent), nullptr, instanceHandle(), nullptr);
  if (field == nullptr) return nullptr;
  if (font != nullptr) SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SendMessageA(field, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  SendMessageA(field, EM_SETSEL, 0, -1);
  SetWindowLongPtrA(field, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler));
  previousEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editFieldProc)));
  SetFocus(field);
  return fromHandle<WindowRef>(field);
}

int editFieldText(WindowRef field, char* text, int capacity) {
  if (field == nullptr || text == nullptr || capacity <= 0) return 0;
  return GetWindowTextA(toHandle<HWND>(field), text, capacity);
}

void destroyEditField(WindowRef field) {
  if (field == nullptr || !IsWindow(toHandle<HWND>(field))) return;
  // The owner closes the field on purpose: the focus it loses on the way is not reported.
  SetWindowLongPtrA(toHandle<HWND>(field), GWLP_USERDATA, 0);
  DestroyWindow(toHandle<HWND>(field));
}

// ---------------------------------------------------------------------------------------------
// OLE

void initializeOle() { OleInitialize(nullptr); }

void uninitializeOle() { OleUninitialize(); }

// The drop target itself: platform/win32/DropTarget.cpp.

}  // namespace kestrane::platform
