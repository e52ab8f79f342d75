#include "platform/Library.h"

#include <windows.h>

namespace kestrane::platform {

namespace {

// Under wine a Unix path is reached through the drive that maps the root directory.
std::string systemPath(const std::string& path) {
  return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

}  // namespace

void* loadLibrary(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(systemPath(path).c_str());
  if (!module) error = "LoadLibraryA failed for " + path;
  return module;
}

void* librarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace kestrane::platform
