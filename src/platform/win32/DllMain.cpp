// The library's load notification: keeps the plug-in library's instance handle, from which
// the bitmaps are loaded and the editor's window class is named. Attach and detach do nothing
// else and always report success. Linked into Kestrane.dll only.
#include <windows.h>

#include "platform/Platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) kestrane::platform::setModuleInstance(instance);
  return TRUE;
}
