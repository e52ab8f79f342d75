// kestrane snapshot: a picture of the opened editor, drawn by the software backend.
//
//   kestrane snapshot OUT.png [--page compressor|expander] [--program N|NAME]
//                             [--set NAME=VALUE]... [--signal]
//
// --set gives a parameter (named as `kestrane info` lists it) a normalised value from 0 to 1
// after the program is chosen.
// Unlike the other commands this one does not load the plug-in library: the library's own
// software backend is private to it, so the command carries the effect and its editor itself
// (statically linked, made through the same entry path `main` uses) and asks its host window
// for the pixels. With --signal a second of program material runs through the effect first, so
// that the meters show levels and gain reduction.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "golden/ProgramMaterial.h"
#include "platform/headless/Headless.h"
#include "shell/KestraneProcessorWithEditor.h"

namespace kestrane::cli {

namespace {

namespace headless = platform::headless;

intptr_t KESTRANE_VSTCALLBACK snapshotHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*,
                                           float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

int fail(int code, const char* message, const std::string& detail = "") {
  std::fprintf(stderr, "kestrane snapshot: %s%s\n", message, detail.c_str());
  return code;
}

struct Setting {
  std::string name;
  float value;
};

struct Options {
  std::string output;
  std::string program;  // a number or a program name; empty: the first program
  std::vector<Setting> settings;
  int page = 0;
  bool signal = false;
};

int parse(const std::vector<std::string>& arguments, Options& options) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--page" && hasValue) {
      const std::string page = arguments[++i];
      if (page != "compressor" && page != "expander") {
        return fail(kExitUsage, "the page is 'compressor' or 'expander', not ", page);
      }
      options.page = page == "expander" ? 1 : 0;
    } else if (argument == "--program" && hasValue) {
      options.program = arguments[++i];
    } else if (argument == "--set" && hasValue) {
      const std::string setting = arguments[++i];
      const std::size_t equals = setting.find('=');
      char* end = nullptr;
      const float value = equals != std::string::npos
                              ? std::strtof(setting.c_str() + equals + 1, &end)
                              : -1.0f;
      if (equals == std::string::npos || equals == 0 || *end != '\0' || !(value >= 0.0f) ||
          value > 1.0f) {
        return fail(kExitUsage, "--set needs NAME=VALUE with a value from 0 to 1, not ", setting);
      }
      options.settings.push_back({setting.substr(0, equals), value});
    } else if (argument == "--signal") {
      options.signal = true;
    } else if (argument.rfind("--", 0) != 0 && options.output.empty()) {
      options.output = argument;
    } else {
      return fail(kExitUsage, "unexpected argument ", argument);
    }
  }
  if (options.output.empty()) return fail(kExitUsage, "give the picture's file name");
  return kExitOk;
}

// The program's index from a number or a name; -1 when there is none such.
int32_t findProgram(AEffect* effect, const std::string& wanted) {
  if (wanted.empty()) return 0;
  char* end = nullptr;
  const long number = std::strtol(wanted.c_str(), &end, 10);
  if (end != wanted.c_str() && *end == '\0') {
    return number >= 0 && number < effect->numPrograms ? static_cast<int32_t>(number) : -1;
  }
  for (int32_t program = 0; program < effect->numPrograms; ++program) {
    char name[64] = "";
    effect->dispatcher(effect, effGetProgramNameIndexed, program, 0, name, 0.0f);
    if (wanted == name) return program;
  }
  return -1;
}

// The parameter with this name (trailing blanks aside); -1 when there is none.
int32_t findParameter(AEffect* effect, const std::string& wanted) {
  for (int32_t index = 0; index < effect->numParams; ++index) {
    char name[64] = "";
    effect->dispatcher(effect, effGetParamName, index, 0, name, 0.0f);
    std::string trimmed = name;
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    if (trimmed == wanted) return index;
  }
  return -1;
}

// A second of program material through the effect, then one editor idle: the meters show the
// readings of the last blocks.
void playSignal(AEffect* effect) {
  constexpr int32_t kBlock = 512;
  const double rate = 44100.0;
  test::StereoSignal material = test::programMaterial(rate, 1.0);
  const auto frames = static_cast<int32_t>(material.left.size());
  std::vector<float> outLeft(kBlock), outRight(kBlock);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  for (int32_t start = 0; start + kBlock <= frames; start += kBlock) {
    float* inputs[2] = {material.left.data() + start, material.right.data() + start};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processReplacing(effect, inputs, outputs, kBlock);
  }
  headless::advanceClock(100);
  effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
}

// Chooses the program and the settings, opens the editor in a host window of its size on the
// page asked for, and writes what its window shows.
int drawEditor(AEffect* effect, const Options& options) {
  const auto dispatch = [effect](int32_t opcode, int32_t index, intptr_t value, void* ptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  };
  const int32_t program = findProgram(effect, options.program);
  if (program < 0) return fail(kExitUsage, "no such program: ", options.program);
  dispatch(effSetProgram, 0, program, nullptr);
  for (const Setting& setting : options.settings) {
    const int32_t index = findParameter(effect, setting.name);
    if (index < 0) return fail(kExitUsage, "no such parameter: ", setting.name);
    effect->setParameter(effect, index, setting.value);
  }
  ERect* size = nullptr;
  if (dispatch(effEditGetRect, 0, 0, &size) == 0 || size == nullptr) {
    return fail(kExitFailure, "the effect has no editor");
  }
  platform::WindowRef host = headless::createHostWindow(
      platform::Bounds{0, 0, size->right - size->left, size->bottom - size->top});
  if (dispatch(effEditOpen, 0, 0, host) == 0) {
    headless::destroyHostWindow(host);
    return fail(kExitFailure, "the editor did not open");
  }
  // The page is a parameter the editor follows while it is open.
  effect->setParameter(effect, DisplayMode, static_cast<float>(options.page));
  if (options.signal) playSignal(effect);
  const std::vector<platform::WindowRef> children = headless::childWindows(host);
  int width = 0;
  int height = 0;
  std::vector<platform::ColorRef> pixels;
  if (!children.empty()) {
    headless::sendPaint(children.front());
    pixels = headless::windowPixels(children.front(), width, height);
  }
  dispatch(effEditClose, 0, 0, nullptr);
  headless::destroyHostWindow(host);
  if (pixels.empty() || !headless::writePng(options.output, width, height, pixels)) {
    return fail(kExitFailure, "cannot write ", options.output);
  }
  std::printf("%s: %d x %d\n", options.output.c_str(), width, height);
  return kExitOk;
}

}  // namespace

int snapshotCommand(const std::vector<std::string>& arguments) {
  Options options;
  if (const int result = parse(arguments, options); result != kExitOk) return result;
  AEffect* effect = createKestraneInstance(snapshotHost);
  if (effect == nullptr) return fail(kExitFailure, "the effect could not be made");
  const int result = drawEditor(effect, options);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  return result;
}

}  // namespace kestrane::cli
