// The bundle through the LV2 standard's own tools, as a Linux user's system sees it: the
// validator accepts its data files with the schemas of the LV2 headers package, the host
// library lists it and reads its ports and presets, and its command-line host renders files
// that equal, sample for sample once the reported latency is removed, what the VST 2.x
// edition renders with the same program.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Lv2TestHost.h"
#include "core/ParameterSteps.h"
#include "lv2/Lv2Ports.h"
#include "params/Programs.h"

namespace kestrane::lv2 {
namespace {

const std::string kBundle = KESTRANE_LV2_BUNDLE;
const std::string kWork = KESTRANE_LV2_WORK;

struct Output {
  int status;
  std::string text;  // stdout and stderr together
};

// Runs a shell command with the bundle's folder as the only LV2 path.
Output run(const std::string& command) {
  const std::string path = kBundle.substr(0, kBundle.find_last_of('/'));
  const std::string full = "LV2_PATH='" + path + "' " + command + " 2>&1";
  Output out{-1, ""};
  FILE* pipe = popen(full.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.text.append(buffer, n);
  const int status = pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

const char* const kSchemas = "/usr/lib/lv2/*.lv2/*.ttl";

TEST(Lv2Tools, ValidatorAcceptsTheBundleWithoutAWord) {
  const Output out = run(std::string("sord_validate ") + kSchemas + " '" + kBundle + "'/*.ttl");
  EXPECT_EQ(out.status, 0) << out.text;
  const std::vector<std::string> said = lines(out.text);
  ASSERT_EQ(said.size(), 1u) << out.text;  // the summary alone: no error, no warning
  EXPECT_EQ(said[0].rfind("Found 0 errors among ", 0), 0u) << out.text;
}

// The validator does read the bundle's data against the schemas: a port index that is no number
// is an error.
TEST(Lv2Tools, ValidatorCatchesABrokenPort) {
  const Output copy = run("mkdir -p '" + kWork + "/broken' && sed 's/lv2:index 4 ;/lv2:index \"four\" ;/' '" +
                          kBundle + "/Kestrane.ttl' > '" + kWork + "/broken/Kestrane.ttl'");
  ASSERT_EQ(copy.status, 0) << copy.text;
  const Output out = run(std::string("sord_validate ") + kSchemas + " '" + kWork + "/broken/Kestrane.ttl'");
  EXPECT_NE(out.status, 0);
  EXPECT_NE(out.text.find("Found 1 errors"), std::string::npos) << out.text;
}

TEST(Lv2Tools, HostLibraryListsThePlugin) {
  const Output out = run("lv2ls");
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(lines(out.text), std::vector<std::string>{kPluginUri}) << out.text;
}

// lv2info's port blocks, by index: "Symbol", "Minimum", ... and whether it is an input control.
struct InfoPort {
  std::map<std::string, std::string> fields;
  bool inputControl = false;
};

std::map<int, InfoPort> infoPorts(const std::string& text, std::vector<std::string>& presets) {
  std::map<int, InfoPort> ports;
  int current = -1;
  bool inPresets = false, isInput = false, isControl = false;
  for (const std::string& raw : lines(text)) {
    const std::size_t start = raw.find_first_not_of(" \t");
    const std::string line = start == std::string::npos ? "" : raw.substr(start);
    if (line.rfind("Presets:", 0) == 0) {
      inPresets = true;
      continue;
    }
    if (line.rfind("Port ", 0) == 0) {
      inPresets = false;
      current = std::atoi(line.c_str() + 5);
      isInput = isControl = false;
      continue;
    }
    if (inPresets) {
      if (!line.empty()) presets.push_back(line);
      continue;
    }
    if (current < 0) continue;
    if (line.find("lv2core#InputPort") != std::string::npos) isInput = true;
    if (line.find("lv2core#ControlPort") != std::string::npos) isControl = true;
    ports[current].inputControl = isInput && isControl;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && line.find("http") != 0) {
      const std::size_t value = line.find_first_not_of(' ', colon + 1);
      ports[current].fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
    }
  }
  return ports;
}

TEST(Lv2Tools, HostLibraryReadsPortsRangesLatencyAndPresets) {
  const Output out = run(std::string("lv2info ") + kPluginUri);
  ASSERT_EQ(out.status, 0) << out.text;
  EXPECT_NE(out.text.find("Has latency:       yes, reported by port " + std::to_string(kLatencyPort)),
            std::string::npos) << out.text;
  std::vector<std::string> presets;
  std::map<int, InfoPort> ports = infoPorts(out.text, presets);
  EXPECT_EQ(ports.size(), kNumPorts);
  int controls = 0;
  for (const auto& [index, port] : ports) controls += port.inputControl ? 1 : 0;
  EXPECT_EQ(controls, kNumParams);
  for (int32_t index = 0; index < kNumParams; ++index) {
    const InfoPort& port = ports[static_cast<int>(parameterPort(index))];
    ASSERT_TRUE(port.inputControl) << index;
    EXPECT_EQ(port.fields.at("Symbol"), parameterPortInfo(index).symbol);
    auto number = [&](const char* field) { return std::strtof(port.fields.at(field).c_str(), nullptr); };
    EXPECT_FLOAT_EQ(number("Minimum"), stepValue(index, 0)) << index;
    EXPECT_FLOAT_EQ(number("Maximum"), stepValue(index, stepCount(index) - 1)) << index;
    EXPECT_FLOAT_EQ(number("Default"), defaultPortValue(index)) << index;
  }
  // A few ranges as a user reads them.
  auto range = [&](int32_t index) {
    const InfoPort& port = ports[static_cast<int>(parameterPort(index))];
    return port.fields.at("Minimum") + " .. " + port.fields.at("Maximum");
  };
  EXPECT_EQ(range(Fir1Freq), "50.000000 .. 5000.000000");
  EXPECT_EQ(range(Fir3Freq), "125.000000 .. 12500.000000");
  EXPECT_EQ(range(CompThreshLF), "-40.000000 .. 0.000000");
  EXPECT_EQ(range(ExpThreshHF), "-51.000000 .. 0.000000");
  EXPECT_EQ(range(CompRatioLMF), "1.000000 .. 50.000000");
  EXPECT_EQ(range(ExpAttackHMF), "0.500000 .. 100.000000");
  EXPECT_EQ(range(CompReleaseHF), "50.000000 .. 5000.000000");
  EXPECT_EQ(range(GainLF), "-25.100000 .. 25.000000");
  EXPECT_EQ(range(Lookahead), "0.000000 .. 100.000000");
  EXPECT_EQ(range(EnableHF), "0.000000 .. 1.000000");
  EXPECT_EQ(ports[static_cast<int>(kLatencyPort)].fields.at("Symbol"), "latency");
  const std::vector<std::string> expected = {"Dance", "Drum Loop", "Extreme", "Instrumental",
                                             "Mastering", "Radio Voice", "Rock", "Vocal"};
  EXPECT_EQ(presets, expected);
}

// --- Rendering -------------------------------------------------------------------------------

// A preset's control values as the bundle stores them: "-c symbol value" for lv2apply, read
// from the presets file through the RDF library's own reader.
std::string presetArguments(const std::string& name) {
  const Output nt = run("sordi -o ntriples '" + kBundle + "/presets.ttl'");
  std::map<std::string, std::string> label, symbol, value;
  std::multimap<std::string, std::string> ports;
  for (const std::string& line : lines(nt.text)) {
    const std::size_t a = line.find(' '), b = line.find(' ', a + 1);
    if (a == std::string::npos || b == std::string::npos || line.size() < b + 3) continue;
    const std::string s = line.substr(0, a), p = line.substr(a + 1, b - a - 1);
    std::string o = line.substr(b + 1, line.size() - b - 3);  // without " ."
    if (o[0] == '"') o = o.substr(1, o.find('"', 1) - 1);
    if (p == "<http://www.w3.org/2000/01/rdf-schema#label>") label[s] = o;
    if (p == "<http://lv2plug.in/ns/lv2core#port>") ports.emplace(s, o);
    if (p == "<http://lv2plug.in/ns/lv2core#symbol>") symbol[s] = o;
    if (p == "<http://lv2plug.in/ns/ext/presets#value>") value[s] = o;
  }
  for (const auto& [preset, text] : label) {
    if (text != name) continue;
    std::string arguments;
    int count = 0;
    for (auto [it, end] = ports.equal_range(preset); it != end; ++it, ++count) {
      arguments += " -c " + symbol[it->second] + " " + value[it->second];
    }
    return count == kNumParams ? arguments : "";
  }
  return "";
}

// A reproducible stereo test file, 32-bit float: tones in bursts and a sweep, loud enough to
// make every band's compressor work.
bool writeInput(const std::string& path, int rate, int frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  std::vector<float> samples(2 * static_cast<std::size_t>(frames));
  uint32_t seed = 1;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    seed = seed * 1664525u + 1013904223u;
    const double noise = ((seed >> 9) / 8388608.0 - 1.0) * 0.05;
    const double burst = std::fmod(t, 0.2) < 0.07 ? 0.8 : 0.1;
    const double sweep = std::sin(2 * M_PI * (60 + 4000 * t) * t);
    samples[2 * i] = static_cast<float>(burst * std::sin(2 * M_PI * 80 * t) + 0.3 * sweep + noise);
    samples[2 * i + 1] = static_cast<float>(0.4 * std::sin(2 * M_PI * 3000 * t) * burst + 0.3 * sweep - noise);
  }
  const bool ok = sf_writef_float(f, samples.data(), frames) == frames;
  return sf_close(f) == 0 && ok;
}

std::vector<float> readSamples(const std::string& path, SF_INFO& info) {
  info = SF_INFO{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(f, samples.data(), info.frames);
  sf_close(f);
  return samples;
}

class Lv2Render : public ::testing::TestWithParam<std::tuple<int32_t, int>> {};

TEST_P(Lv2Render, EqualsTheVstEditionSampleForSample) {
  const auto [program, rate] = GetParam();
  const std::string name = FactoryPrograms[program].name;
  const std::string tag = std::to_string(program) + "-" + std::to_string(rate);
  const std::string input = kWork + "/in-" + tag + ".wav";
  const std::string lv2Out = kWork + "/lv2-" + tag + ".wav";
  const std::string vstOut = kWork + "/vst-" + tag + ".wav";
  const int frames = rate / 2;
  ASSERT_TRUE(writeInput(input, rate, frames));

  const std::string arguments = presetArguments(name);
  ASSERT_FALSE(arguments.empty()) << "no preset named " << name;
  const Output applied = run("lv2apply -i '" + input + "' -o '" + lv2Out + "'" + arguments + " " + kPluginUri);
  ASSERT_EQ(applied.status, 0) << applied.text;
  const Output rendered = run(std::string("'") + KESTRANE_CLI + "' render '" + input + "' '" + vstOut +
                              "' --program '" + name + "'");
  ASSERT_EQ(rendered.status, 0) << rendered.text;

  // The delay the plug-in reports with this preset at this rate.
  test::Library library;
  test::Plugin fx(library, rate);
  fx.setProgram(program);
  fx.run(0);
  const int latency = static_cast<int>(fx.latency());
  EXPECT_NE(rendered.text.find("Delay      " + std::to_string(latency) + " samples"), std::string::npos)
      << rendered.text;

  SF_INFO lv2Info, vstInfo;
  const std::vector<float> lv2 = readSamples(lv2Out, lv2Info);
  const std::vector<float> vst = readSamples(vstOut, vstInfo);
  ASSERT_EQ(lv2Info.frames, frames);
  ASSERT_EQ(vstInfo.frames, frames);
  ASSERT_EQ(lv2Info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
  ASSERT_EQ(vstInfo.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
  // lv2apply's output still carries the delay; the VST render's is aligned with its input.
  int differences = 0, first = -1;
  for (std::size_t i = 0; i + 2 * static_cast<std::size_t>(latency) < lv2.size(); ++i) {
    if (lv2[i + 2 * static_cast<std::size_t>(latency)] != vst[i]) {
      if (first < 0) first = static_cast<int>(i / 2);
      ++differences;
    }
  }
  EXPECT_EQ(differences, 0) << name << " at " << rate << " Hz, first at frame " << first;
  // The comparison compares something: the plug-in changed the signal.
  SF_INFO inInfo;
  EXPECT_NE(readSamples(input, inInfo), vst);
}

INSTANTIATE_TEST_SUITE_P(FactoryPresets, Lv2Render,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Values(44100, 96000)),
                         [](const auto& param) {
                           std::string name = FactoryPrograms[std::get<0>(param.param)].name;
                           for (char& c : name) c = c == ' ' ? '_' : c;
                           return name + "_" + std::to_string(std::get<1>(param.param));
                         });

}  // namespace
}  // namespace kestrane::lv2
