// Which plug-in the command-line tool loads when none is named. The tool ships without the path
// of the tree it was built in, so it looks where the plug-in is: first $KESTRANE_PLUGIN, then
// Kestrane.so beside the program (an unpacked package), then the library of the build the
// program belongs to (at a path relative to the program, for a developer running it from the
// build folder), then the folders hosts scan for VST 2.x plug-ins, in the order the install
// note names them. When none exists, the first place beside the program is the answer, so that
// the error names a path a user can act on.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/TestHost.h"

namespace kestrane::testhost {

namespace {

// The folder of the running program (from /proc/self/exe), with a trailing slash; empty when
// unknown.
std::string programFolder() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return {};
  const std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool exists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}  // namespace

std::string defaultPluginPath() {
  if (const char* fromEnvironment = std::getenv("KESTRANE_PLUGIN")) {
    if (*fromEnvironment) return fromEnvironment;
  }
  const std::string folder = programFolder();
  std::vector<std::string> places = {folder + "Kestrane.so", folder + KESTRANE_PLUGIN_FROM_TOOL};
  if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    places.push_back(std::string(home) + "/.vst/Kestrane.so");
    places.push_back(std::string(home) + "/.lxvst/Kestrane.so");
  }
  places.push_back("/usr/local/lib/vst/Kestrane.so");
  places.push_back("/usr/lib/vst/Kestrane.so");
  for (const std::string& place : places) {
    if (exists(place)) return place;
  }
  return places.front();
}

}  // namespace kestrane::testhost
