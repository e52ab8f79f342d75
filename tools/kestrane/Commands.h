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

// One option of a command, as the help and the manual page list it.
struct Option {
  const char* flag;         // "--program"
  const char* value;        // what follows the flag ("N|NAME"), "" for a switch
  const char* description;  // one sentence
};

// One command. The table of them in main.cpp is the one source of `kestrane --help` and of the
// manual page (`kestrane --man`).
struct Command {
  const char* name;
  std::vector<const char*> synopses;  // the ways to call it, after the name ("" for none)
  const char* summary;
  CommandFunction run;
  const char* description;  // what the command does, one paragraph
  std::vector<Option> options;
};

// kestrane info: identity, parameters and programs of a fresh instance.
int infoCommand(const std::vector<std::string>& arguments);
// kestrane render: an audio file (or the built-in demo) through the plug-in.
int renderCommand(const std::vector<std::string>& arguments);
// kestrane snapshot: a picture of the opened editor.
int snapshotCommand(const std::vector<std::string>& arguments);

}  // namespace kestrane::cli
