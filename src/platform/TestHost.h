// A stand-in for the host in tests that run on both backends: the window the host would give
// the editor, and the host's message loop. Linked into test programs only
// (kestrane_platform_testhost), never into the plug-in.
#pragma once

#include "platform/Platform.h"

namespace kestrane::platform::testhost {

// A top-level window at a screen position with a client area of width x height; answers the
// system window handle to hand to the editor as its parent (null on failure).
void* createHostWindow(int x, int y, int width, int height);
void destroyHostWindow(void* host);
// Delivers every message waiting for this thread's windows (paint messages among them).
void processMessages();

}  // namespace kestrane::platform::testhost
