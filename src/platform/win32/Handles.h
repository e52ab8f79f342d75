// How the win32 backend carries system handles through the seam's opaque pointer types.
// Internal to platform/win32.
#pragma once

#include <windows.h>

namespace kestrane::platform::win32 {

template <typename Ref, typename Handle>
Ref fromHandle(Handle handle) {
  return reinterpret_cast<Ref>(handle);
}

template <typename Handle, typename Ref>
Handle toHandle(Ref ref) {
  return reinterpret_cast<Handle>(ref);
}

}  // namespace kestrane::platform::win32
