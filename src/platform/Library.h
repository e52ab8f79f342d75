// Loading a plug-in library and finding its exported functions: the part of the platform a
// host needs, apart from the toolkit's seam (Platform.h). Two implementations, one per system:
//   - platform/win32/Library.cpp: LoadLibraryA, GetProcAddress, FreeLibrary;
//   - platform/posix/Library.cpp: dlopen, dlsym, dlclose.
// Any thread; nothing here keeps state. Failures answer null and say why in `error`.
#pragma once

#include <string>

namespace kestrane::platform {

// The library at path (a Unix path also names the file under wine), or null with the reason
// in error.
void* loadLibrary(const std::string& path, std::string& error);
// The function exported under name, or null.
void* librarySymbol(void* library, const char* name);
// Unloads a library loadLibrary answered (not null).
void unloadLibrary(void* library);

}  // namespace kestrane::platform
