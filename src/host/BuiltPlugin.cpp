// The plug-in the tests load: the library this build made, unless KESTRANE_PLUGIN names another
// (for instance the 32-bit DLL under wine, or the one unpacked from a package). Only the tests
// link this: a shipped program must not carry the path of the tree it was built in.
#include <cstdlib>

#include "host/TestHost.h"

namespace kestrane::testhost {

std::string defaultPluginPath() {
  if (const char* fromEnvironment = std::getenv("KESTRANE_PLUGIN")) {
    if (*fromEnvironment) return fromEnvironment;
  }
  return KESTRANE_PLUGIN_PATH;
}

}  // namespace kestrane::testhost
