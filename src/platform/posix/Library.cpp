#include "platform/Library.h"

#include <dlfcn.h>

namespace kestrane::platform {

void* loadLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) error = dlerror();
  return library;
}

void* librarySymbol(void* library, const char* name) { return dlsym(library, name); }

void unloadLibrary(void* library) { dlclose(library); }

}  // namespace kestrane::platform
