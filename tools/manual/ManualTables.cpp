// kestrane-manual-tables: the manual's reference tables, in Markdown, from the parameter table
// and the factory programs, so the manual can never disagree with them.
//
//   kestrane-manual-tables parameters    every parameter: unit, first and last text, settings
//   kestrane-manual-tables programs      the eight presets: crossover and each band's settings
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "params/ParameterTable.h"
#include "params/ParameterText.h"
#include "params/Programs.h"

namespace {

using namespace kestrane;

std::string trim(const char* text) {
  std::string s(text);
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string textOf(int32_t index, float value) {
  char text[9] = {};
  formatParameterText(index, value, text);
  return trim(text);
}

// What a unit label means, for the reader: the host's labels are terse ("10*x:1").
std::string unitMeaning(const std::string& label) {
  if (label == "10*x:1") return "ratio × 10 (40 is 4:1)";
  if (label == "1:x/10") return "expansion ratio × 10 (20 is 1:2)";
  if (label == "0.1*ms") return "0.1 ms (50 is 5 ms)";
  if (label == "10*ms") return "10 ms (30 is 300 ms)";
  if (label.empty()) return "off 0, on 1";
  return label;
}

// The distinct texts a parameter shows over its whole range, in value order.
std::vector<std::string> textsOf(int32_t index) {
  std::vector<std::string> texts;
  constexpr int kSamples = 100000;
  for (int k = 0; k <= kSamples; ++k) {
    const std::string text = textOf(index, static_cast<float>(k) / kSamples);
    if (texts.empty() || texts.back() != text) texts.push_back(text);
  }
  return texts;
}

void printParameters() {
  std::printf("| # | Name | Unit | From | To | Settings |\n|---:|---|---|---:|---:|---:|\n");
  for (const ParameterInfo& info : ParameterTable) {
    const std::vector<std::string> texts = textsOf(info.id);
    const std::string unit = info.id == DisplayMode ? "page: 0 compressor, 1 expander"
                                                    : unitMeaning(trim(info.label));
    std::printf("| %d | %s | %s | %s | %s | %zu |\n", static_cast<int>(info.id),
                trim(info.name).c_str(), unit.c_str(),
                texts.front().c_str(), texts.back().c_str(), texts.size());
  }
}

std::string ratio(int32_t index, float value) {
  const std::string text = textOf(index, value);
  char out[32];
  std::snprintf(out, sizeof out, "%.1f:1", std::atof(text.c_str()) / 10.0);
  return out;
}

void printPrograms() {
  std::printf("| Program | Crossover (Hz, dB/oct) | LF | LMF | HMF | HF | Lookahead |\n"
              "|---|---|---|---|---|---|---|\n");
  for (int32_t p = 0; p < kNumPresets; ++p) {
    const KestraneProgram& program = FactoryPrograms[static_cast<std::size_t>(p)];
    std::string crossover;
    for (int32_t k = 0; k < 3; ++k) {
      crossover += (k ? ", " : "") + textOf(Fir1Freq + k, program.value(ParamId(Fir1Freq + k))) +
                   " (" + textOf(Fir1Slope + k, program.value(ParamId(Fir1Slope + k))) + ")";
    }
    std::printf("| %s | %s |", program.name, crossover.c_str());
    for (int32_t b = 0; b < kNumBands; ++b) {
      const auto v = [&](int32_t first) { return program.value(ParamId(first + b)); };
      if (v(EnableLF) == 0.0f) {
        std::printf(" off |");
        continue;
      }
      std::printf(" %s dB, %s, gain %s dB |", textOf(CompThreshLF + b, v(CompThreshLF)).c_str(),
                  ratio(CompRatioLF + b, v(CompRatioLF)).c_str(),
                  textOf(GainLF + b, v(GainLF)).c_str());
    }
    const bool lookahead = program.value(EnableLookahead) != 0.0f;
    std::printf(" %s |\n",
                lookahead ? (textOf(Lookahead, program.value(Lookahead)) + " ms").c_str() : "off");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "parameters") == 0) {
    printParameters();
  } else if (argc == 2 && std::strcmp(argv[1], "programs") == 0) {
    printPrograms();
  } else {
    std::fprintf(stderr, "usage: kestrane-manual-tables parameters|programs\n");
    return 2;
  }
  return 0;
}
