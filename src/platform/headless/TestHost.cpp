// The headless host: a window object at a screen position; messages are whatever paints wait.
#include "platform/TestHost.h"

#include "platform/headless/Headless.h"

namespace kestrane::platform::testhost {

void* createHostWindow(int x, int y, int width, int height) {
  return headless::createHostWindow(Bounds{x, y, x + width, y + height});
}

void destroyHostWindow(void* host) { headless::destroyHostWindow(static_cast<WindowRef>(host)); }

void processMessages() {
  while (dispatchPendingPaint()) {
  }
}

}  // namespace kestrane::platform::testhost
