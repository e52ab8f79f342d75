// kestrane info: what a host learns from a fresh instance: identity, the 49 parameters with
// their values and texts, and the 16 programs with the current one marked.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "host/TestHost.h"

namespace kestrane::cli {

namespace {

// An identifier's four bytes as characters, most significant first ('312c').
std::string fourCharacters(int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xff);
    text += (c >= 32 && c < 127) ? c : '.';
  }
  return text;
}

// The shortest decimal that reads back as the same float (0.33333334, 0.7, 1).
std::string shortestDecimal(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

int infoCommand(const std::vector<std::string>& arguments) {
  if (!arguments.empty()) {
    std::fprintf(stderr, "kestrane info: unexpected argument '%s'\n\n", arguments[0].c_str());
    return kExitUsage;
  }
  testhost::TestHost host;
  if (!host.library().loaded()) {
    std::fprintf(stderr, "kestrane info: %s\n", host.library().error().c_str());
    return kExitFailure;
  }
  const std::unique_ptr<testhost::Instance> fx = host.openInstance();
  if (!fx) {
    std::fprintf(stderr, "kestrane info: the plug-in made no instance\n");
    return kExitFailure;
  }
  const AEffect& record = *fx->effect();

  std::printf("Effect      %s\n", fx->effectName().c_str());
  std::printf("Vendor      %s\n", fx->vendorString().c_str());
  std::printf("Product     %s\n", fx->productString().c_str());
  std::printf("Version     %ld (vendor version %ld)\n", static_cast<long>(record.version),
              static_cast<long>(fx->dispatch(effGetVendorVersion)));
  std::printf("Unique ID   '%s' (0x%08x)\n", fourCharacters(record.uniqueID).c_str(),
              static_cast<unsigned>(record.uniqueID));
  std::printf("Channels    %d in, %d out\n", static_cast<int>(record.numInputs),
              static_cast<int>(record.numOutputs));

  std::printf("\nParameters (%d)\n", static_cast<int>(record.numParams));
  std::printf("   #  %-11s  %-10s  %8s  %s\n", "Name", "Value", "Display", "Label");
  for (int32_t i = 0; i < record.numParams; ++i) {
    std::printf("  %2d  %-11s  %-10s  %8s  %s\n", static_cast<int>(i),
                fx->parameterName(i).c_str(), shortestDecimal(fx->getParameter(i)).c_str(),
                fx->parameterDisplay(i).c_str(), fx->parameterLabel(i).c_str());
  }

  const int32_t current = fx->program();
  std::printf("\nPrograms (%d)\n", static_cast<int>(record.numPrograms));
  for (int32_t i = 0; i < record.numPrograms; ++i) {
    std::printf("  %c %2d  %s%s\n", i == current ? '*' : ' ', static_cast<int>(i),
                fx->programNameIndexed(i).c_str(), i == current ? "  (current)" : "");
  }
  return kExitOk;
}

}  // namespace kestrane::cli
