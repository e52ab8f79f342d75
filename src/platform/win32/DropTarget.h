// What platform/win32/DropTarget.cpp tells the test programs beyond the seam. Internal to
// platform/win32.
#pragma once

namespace kestrane::platform::win32 {

// Drop targets of this module alive now: registered, or still held by the system after a
// registration that was never revoked. User-interface thread.
int liveDropTargets();

}  // namespace kestrane::platform::win32
