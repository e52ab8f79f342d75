// kestrane: a command-line host for the plug-in. It loads the plug-in library through its
// entry point, as any host does ($KESTRANE_PLUGIN, or where PluginPath.cpp finds it), and runs
// one subcommand. The command table below is the one description of the commands and their
// options: `kestrane --help` prints it as text, `kestrane --man` as the manual page.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "host/TestHost.h"

namespace kestrane::cli {
namespace {

const Command kCommands[] = {
    {"info",
     {""},
     "print the identity, the 49 parameters and the 16 programs",
     infoCommand,
     "Opens one instance of the plug-in as a host does and prints what a host learns from it: "
     "its name, vendor, product, version and unique identifier, each parameter with its value, "
     "display text and unit, and the programs with the current one marked.",
     {}},
    {"render",
     {"[IN OUT] [options]", "IN... --out-dir DIR [options]"},
     "process audio files through the plug-in (no files: the demo, into out/)",
     renderCommand,
     "Processes an audio file (WAV, FLAC or AIFF, mono or stereo, at its own sample rate) "
     "through the plug-in, as a host bouncing a track would, and prints a summary: the "
     "program and settings, the delay removed, the peaks and, when asked, each band's largest "
     "gain reduction. The output is aligned with the input and takes the format its extension "
     "names; it is written under a temporary name and renamed only when complete. With "
     "--out-dir every IN is rendered into DIR under its own name, with the same settings, "
     "several files at once; a file that cannot be rendered is named, skipped, and makes the "
     "exit status 1. Without files a built-in demo (twelve seconds of generated music) is "
     "written to out/kestrane-demo-dry.wav and rendered to out/kestrane-demo.wav.",
     {
         {"--program", "N|NAME", "start from program N (0 to 15) or the program so named; "
                                 "default 0"},
         {"--set", "NAME=VALUE", "set a parameter, named as `kestrane info` lists it, to the "
                                 "value its display text reads or to a normalised value from 0 "
                                 "to 1; may be given many times"},
         {"--block", "N", "hand the plug-in N frames per call, 1 to 65535; default 4096 "
                          "(the output does not depend on it)"},
         {"--gain-reduction", "", "measure each band's largest gain reduction (two more passes "
                                  "per band)"},
         {"--out-dir", "DIR", "render every IN into DIR, made if missing, under its own name"},
         {"--jobs", "N", "with --out-dir: render N files at once; default one per processor"},
     }},
    {"snapshot",
     {"OUT.png [options]"},
     "draw the opened editor into a PNG picture",
     snapshotCommand,
     "Opens the effect with its editor on the software drawing backend and writes what the "
     "editor window shows to OUT.png.",
     {
         {"--page", "compressor|expander", "the page the editor shows; default compressor"},
         {"--program", "N|NAME", "start from program N (0 to 15) or the program so named; "
                                 "default 0"},
         {"--set", "NAME=VALUE", "set a parameter, named as `kestrane info` lists it, to a "
                                 "normalised value from 0 to 1; may be given many times"},
         {"--signal", "", "run a second of program material through the effect first, so that "
                          "the meters show levels and gain reduction"},
     }},
};

// Options of the program itself rather than of a command.
const Option kProgramOptions[] = {
    {"--help", "", "print the commands and their options"},
    {"--version", "", "print the version"},
    {"--man", "", "print this manual page as troff (man -l <(kestrane --man))"},
};

std::string optionText(const Option& option) {
  return std::string(option.flag) + (*option.value ? " " : "") + option.value;
}

// "<lead><text>" with the text broken into lines of at most 100 columns, each continuation
// indented to where the text began.
void printWrapped(std::FILE* out, const std::string& lead, const std::string& text) {
  constexpr std::size_t kWidth = 100;
  std::string line = lead;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!first && line.size() + 1 + word.size() > kWidth) {
      std::fprintf(out, "%s\n", line.c_str());
      line = std::string(lead.size(), ' ') + word;
    } else {
      line += (first ? "" : " ") + word;
    }
    first = false;
    start = end + 1;
  }
  std::fprintf(out, "%s\n", line.c_str());
}

// A column of option names, padded to `width`, before the description.
std::string padded(const std::string& text, std::size_t width) {
  return text.size() + 1 > width ? text + " " : text + std::string(width - text.size(), ' ');
}

void printUsage(std::FILE* out) {
  std::fprintf(out, "usage: kestrane <command> [arguments]\n"
                    "       kestrane --help | --version | --man\n\ncommands:\n");
  for (const Command& command : kCommands) {
    for (const char* synopsis : command.synopses) {
      std::fprintf(out, "  kestrane %s%s%s\n", command.name, *synopsis ? " " : "", synopsis);
    }
    printWrapped(out, "      ", command.summary);
    for (const Option& option : command.options) {
      printWrapped(out, "      " + padded(optionText(option), 29), option.description);
    }
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "options:\n");
  for (const Option& option : kProgramOptions) {
    printWrapped(out, "  " + padded(optionText(option), 33), option.description);
  }
  std::fprintf(out,
               "\nThe plug-in loaded is $KESTRANE_PLUGIN, or else the first that exists of\n"
               "Kestrane.so beside this program, the library of the build it belongs to,\n"
               "~/.vst, ~/.lxvst, /usr/local/lib/vst and /usr/lib/vst (Kestrane.so); here:\n"
               "  %s\n",
               testhost::defaultPluginPath().c_str());
}

// Text as troff reads it literally: backslashes and hyphens escaped, no request at a line's start.
std::string troff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

void printOptionItem(const Option& option) {
  std::printf(".TP\n.B %s%s%s\n%s.\n", troff(option.flag).c_str(), *option.value ? " " : "",
              troff(option.value).c_str(), troff(option.description).c_str());
}

// The manual page, kestrane.1, in the man macros. No date: the page is the same for a version
// whenever it is made.
void printManualPage() {
  std::printf(".\\\" Generated by kestrane --man from the command table in tools/kestrane/main.cpp;"
              " do not edit.\n");
  std::printf(".TH KESTRANE 1 \"\" \"Kestrane %s\" \"User Commands\"\n", KESTRANE_VERSION);
  // Option names are never hyphenated at a line's end.
  std::printf(".nh\n.ad l\n");
  std::printf(".SH NAME\nkestrane \\- command\\-line host for the Kestrane dynamics processor\n");
  std::printf(".SH SYNOPSIS\n");
  for (const Command& command : kCommands) {
    for (const char* synopsis : command.synopses) {
      std::printf(".B kestrane %s\n%s\n.br\n", command.name, troff(synopsis).c_str());
    }
  }
  std::printf(".B kestrane\n\\-\\-help | \\-\\-version | \\-\\-man\n");
  std::printf(".SH DESCRIPTION\n"
              "kestrane loads the Kestrane plug-in library through its entry point, as any host "
              "does, and runs one command with it.\n");
  std::printf(".SH COMMANDS\n");
  for (const Command& command : kCommands) {
    std::printf(".SS %s\n%s\n", command.name, troff(command.description).c_str());
    for (const Option& option : command.options) printOptionItem(option);
  }
  std::printf(".SH OPTIONS\n");
  for (const Option& option : kProgramOptions) printOptionItem(option);
  std::printf(".SH ENVIRONMENT\n.TP\n.B KESTRANE_PLUGIN\nThe plug-in library to load. Without "
              "it, kestrane loads the first that exists of Kestrane.so beside the program, the "
              "library of the build the program belongs to, and Kestrane.so in ~/.vst, ~/.lxvst, "
              "/usr/local/lib/vst and /usr/lib/vst.\n");
  std::printf(".SH EXIT STATUS\n0 when the command did its work, 1 when it could not (for "
              "render with \\-\\-out\\-dir: when any file failed), 2 for arguments it does not "
              "understand.\n");
  std::printf(".SH EXAMPLES\n.nf\nkestrane render mix.wav mix-mastered.flac \\-\\-program "
              "Mastering\nkestrane render *.wav \\-\\-out\\-dir rendered \\-\\-set "
              "\"C.Thr.LF=\\-20\"\nkestrane snapshot editor.png \\-\\-page expander \\-\\-signal\n"
              ".fi\n");
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
  if (name == "--version") {
    std::printf("kestrane %s\n", KESTRANE_VERSION);
    return kExitOk;
  }
  if (name == "--man") {
    printManualPage();
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
