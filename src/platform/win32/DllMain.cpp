// The library's load notification: records the instance handle that the toolkit loads its
// bitmaps from and names its window class after. Attach and detach do nothing else and always
// report success. Compiled into the plug-in library itself (not into a static library, where
// the linker could pass it by).
#include <windows.h>

#include "platform/Platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) kestrane::platform::setModuleInstance(instance);
  return TRUE;
}
