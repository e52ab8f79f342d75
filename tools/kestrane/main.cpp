// kestrane: a command-line host for the plug-in. It loads the plug-in library through its
// entry point, as any host does ($KESTRANE_PLUGIN, or the library this build made), and runs
// one subcommand.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "host/TestHost.h"

namespace kestrane::cli {
namespace {

constexpr Command kCommands[] = {
    {"info", "", "print the identity, the 49 parameters and the 16 programs", infoCommand},
    {"render", "[IN OUT] [--program P] [--set NAME=VALUE]... [--block N] [--gain-reduction]",
     "process an audio file (no files: the demo, into out/)", renderCommand},
    {"snapshot", "OUT.png [--page P] [--program N|NAME] [--set NAME=V]... [--signal]",
     "draw the opened editor into a PNG picture", snapshotCommand},
};

void printUsage(std::FILE* out) {
  std::fprintf(out, "usage: kestrane <command> [arguments]\n\ncommands:\n");
  for (const Command& command : kCommands) {
    const std::string synopsis = std::string(command.name) +
                                 (*command.arguments ? " " : "") + command.arguments;
    std::fprintf(out, "  %-28s %s\n", synopsis.c_str(), command.summary);
  }
  std::fprintf(out,
               "\nThe plug-in loaded is $KESTRANE_PLUGIN, or else\n  %s\n",
               testhost::defaultPluginPath().c_str());
}

int run(int argc, char** argv) {
  if (argc < 2) {
    printUsage(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    printUsage(stdout);
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    const int result = command.run(std::vector<std::string>(argv + 2, argv + argc));
    if (result == kExitUsage) printUsage(stderr);
    return result;
  }
  std::fprintf(stderr, "kestrane: unknown command '%s'\n\n", name.c_str());
  printUsage(stderr);
  return kExitUsage;
}

}  // namespace
}  // namespace kestrane::cli

int main(int argc, char** argv) { return kestrane::cli::run(argc, argv); }
