// kestrane snapshot: a picture of the opened editor, drawn by the software backend.
//
//   kestrane snapshot OUT.png [--page compressor|expander] [--program N|NAME] [--signal]
//
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

struct Options {
  std::string output;
  std::string program;  // a number or a program name; empty: the first program
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

}  // namespace

int snapshotCommand(const std::vector<std::string>& arguments) {
  Options options;
  if (const int result = parse(arguments, options); result != kExitOk) return result;

  AEffect* effect = createKestraneInstance(snapshotHost);
  if (effect == nullptr) return fail(kExitFailure, "the effect could not be made");
  const auto dispatch = [effect](int32_t opcode, int32_t index, intptr_t value, void* ptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  };
  int result = kExitOk;
  const int32_t program = findProgram(effect, options.program);
  ERect* size = nullptr;
  platform::WindowRef host = nullptr;
  if (program < 0) {
    result = fail(kExitUsage, "no such program: ", options.program);
  } else if (dispatch(effEditGetRect, 0, 0, &size) == 0 || size == nullptr) {
    result = fail(kExitFailure, "the effect has no editor");
  } else {
    dispatch(effSetProgram, 0, program, nullptr);
    host = headless::createHostWindow(
        platform::Bounds{0, 0, size->right - size->left, size->bottom - size->top});
    if (dispatch(effEditOpen, 0, 0, host) == 0) {
      result = fail(kExitFailure, "the editor did not open");
    } else {
      // The page is a parameter the editor follows while it is open.
      effect->setParameter(effect, DisplayMode, static_cast<float>(options.page));
      if (options.signal) playSignal(effect);
      const std::vector<platform::WindowRef> children = headless::childWindows(host);
      int width = 0, height = 0;
      std::vector<platform::ColorRef> pixels;
      if (!children.empty()) {
        headless::sendPaint(children.front());
        pixels = headless::windowPixels(children.front(), width, height);
      }
      if (pixels.empty() || !headless::writePng(options.output, width, height, pixels)) {
        result = fail(kExitFailure, "cannot write ", options.output);
      } else {
        std::printf("%s: %d x %d\n", options.output.c_str(), width, height);
      }
      dispatch(effEditClose, 0, 0, nullptr);
    }
  }
  dispatch(effClose, 0, 0, nullptr);
  headless::destroyHostWindow(host);
  return result;
}

}  // namespace kestrane::cli
