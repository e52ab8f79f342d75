// The subcommands of the kestrane command-line host. Each lives in its own file and is listed
// once in main.cpp's command table.
#pragma once

#include <string>
#include <vector>

namespace kestrane::cli {

// Exit codes shared by all commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command could not do its work
inline constexpr int kExitUsage = 2;  // bad arguments: main prints the usage text

using CommandFunction = int (*)(const std::vector<std::string>& arguments);

struct Command {
  const char* name;
  const char* arguments;  // synopsis of the command's arguments, "" for none
  const char* summary;
  CommandFunction run;
};

// kestrane info: identity, parameters and programs of a fresh instance.
int infoCommand(const std::vector<std::string>& arguments);
// kestrane render: an audio file (or the built-in demo) through the plug-in.
int renderCommand(const std::vector<std::string>& arguments);
// kestrane snapshot: a picture of the opened editor.
int snapshotCommand(const std::vector<std::string>& arguments);

}  // namespace kestrane::cli
