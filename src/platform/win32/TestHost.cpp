// The Windows host for tests: a plain top-level window without frame decorations, so that its
// client area starts at its screen position, and a message loop that empties the queue.
#include <windows.h>

#include "platform/TestHost.h"

namespace kestrane::platform::testhost {

namespace {
constexpr char kHostClass[] = "KestraneTestHost";

bool registerHostClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kHostClass;
  registered = RegisterClassA(&windowClass) != 0;
  return registered;
}
}  // namespace

void* createHostWindow(int x, int y, int width, int height) {
  if (!registerHostClass()) return nullptr;
  HWND host = CreateWindowExA(0, kHostClass, "Kestrane test host", WS_POPUP | WS_VISIBLE, x, y,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  processMessages();
  return host;
}

void destroyHostWindow(void* host) {
  if (host != nullptr) DestroyWindow(static_cast<HWND>(host));
  processMessages();
}

void processMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kestrane::platform::testhost
