// kestrane render, run as a user runs it: files in a scratch folder, the command line, the exit
// code, the messages and the files left behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "golden/ProgramMaterial.h"

namespace {

struct Result {
  int exitCode;
  std::string out, err;
};

std::string readText(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class RenderCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrane-render-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  std::string path(const std::string& name) const { return dir + "/" + name; }

  Result run(const std::string& arguments) const {
    const std::string command = "cd '" + dir + "' && '" KESTRANE_CLI "' render " + arguments +
                                " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(path("stdout.txt")),
            readText(path("stderr.txt"))};
  }

  // Writes frames of the given channels (interleaved) in the given format.
  void writeFile(const std::string& name, int channels, int rate, int format,
                 const std::vector<float>& interleaved) const {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(f);
  }

  // A file's samples, interleaved, as floats or as 16-bit integers.
  template <typename Sample>
  std::vector<Sample> samplesOf(const std::string& name, SF_INFO& info) const {
    info = SF_INFO{};
    SNDFILE* f = sf_open(path(name).c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<Sample> samples(static_cast<std::size_t>(info.frames * info.channels));
    if constexpr (std::is_same_v<Sample, short>) {
      sf_readf_short(f, samples.data(), info.frames);
    } else {
      sf_readf_float(f, samples.data(), info.frames);
    }
    sf_close(f);
    return samples;
  }
  std::vector<float> readFile(const std::string& name, SF_INFO& info) const {
    return samplesOf<float>(name, info);
  }
  std::vector<short> shortsOf(const std::string& name) const {
    SF_INFO info;
    return samplesOf<short>(name, info);
  }

  // The names in a folder of the scratch folder ("" for itself), without . and .., sorted.
  std::vector<std::string> entries(const std::string& folder = "") const {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.empty() ? dir.c_str() : path(folder).c_str())) {
      while (dirent* e = readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") {
          names.push_back(e->d_name);
        }
      }
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Program material at half scale, interleaved.
  std::vector<float> material(int channels, double seconds) const {
    const kestrane::test::StereoSignal s = kestrane::test::programMaterial(44100.0, seconds);
    std::vector<float> out;
    for (std::size_t i = 0; i < s.frames(); ++i) {
      out.push_back(0.5f * s.left[i]);
      if (channels == 2) out.push_back(0.5f * s.right[i]);
    }
    return out;
  }

  std::string dir;
};

TEST_F(RenderCommand, RefusesWhatItCannotDoAndLeavesNoOutput) {
  writeFile("in.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_24, material(2, 0.2));
  writeFile("three.wav", 3, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16,
            std::vector<float>(3 * 1000, 0.1f));
  const std::string original = readText(path("in.wav"));

  Result r = run("missing.wav out.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no input file 'missing.wav'"), std::string::npos) << r.err;

  r = run("in.wav out.wav --loudness 11");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("unknown option '--loudness'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("usage:"), std::string::npos);

  r = run("in.wav out.wav --block 70000");
  EXPECT_EQ(r.exitCode, 2);

  r = run("in.wav");
  EXPECT_EQ(r.exitCode, 2);

  r = run("in.wav out.wav --set Threshold=-20");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no parameter 'Threshold'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("C.Thr.LF"), std::string::npos) << "lists the valid names: " << r.err;
  EXPECT_NE(r.err.find("Enable Lkhd"), std::string::npos);

  r = run("in.wav out.wav --set C.Thr.LF=-50");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("-40 -39"), std::string::npos) << "lists the texts: " << r.err;

  r = run("in.wav out.wav --program Jazz");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Radio Voice"), std::string::npos) << r.err;

  r = run("three.wav out.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("has 3 channels"), std::string::npos) << r.err;

  r = run("in.wav out.mp3");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("'.mp3'"), std::string::npos) << r.err;

  // The input is never the output, however it is named.
  for (const char* same : {"in.wav", "./in.wav", "../$(basename $PWD)/in.wav"}) {
    r = run(std::string("in.wav ") + same);
    EXPECT_EQ(r.exitCode, 1) << same;
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(readText(path("in.wav")) == original) << "the input changed";

  r = run("in.wav no/such/folder/out.wav");
  EXPECT_EQ(r.exitCode, 1);

  // Nothing was written: no output and no temporary file.
  for (const std::string& name : entries()) {
    EXPECT_TRUE(name == "in.wav" || name == "three.wav" || name.rfind("std", 0) == 0)
        << "left behind: " << name;
  }
}

// Many files into one folder, several at once: each as its own render would make it, the
// summaries in the inputs' order, and the files that cannot be rendered named and skipped.
TEST_F(RenderCommand, BatchRendersTheGoodFilesAndNamesTheOnesItCannot) {
  writeFile("a.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, material(2, 1.5));
  writeFile("b.flac", 1, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, material(1, 1.0));
  writeFile("three.wav", 3, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16,
            std::vector<float>(3 * 1000, 0.1f));
  std::ofstream(path("broken.wav")) << "RIFF, but no audio";

  Result r = run("a.wav b.flac broken.wav three.wav --out-dir out/ --program Rock --jobs 3");
  EXPECT_EQ(r.exitCode, 1) << "a failed file fails the batch";
  EXPECT_NE(r.err.find("cannot read 'broken.wav'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("failed: broken.wav"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("failed: three.wav"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Batch      2 of 4 files rendered into out/"), std::string::npos) << r.out;
  const std::size_t first = r.out.find("Rendered   a.wav -> out/a.wav");
  const std::size_t second = r.out.find("Rendered   b.flac -> out/b.flac");
  EXPECT_NE(first, std::string::npos) << r.out;
  EXPECT_NE(second, std::string::npos) << r.out;
  EXPECT_LT(first, second) << "the summaries come in the inputs' order";
  EXPECT_EQ(entries("out"), (std::vector<std::string>{"a.wav", "b.flac"}))
      << "only the good files' outputs, no temporary files";

  // The same files one at a time: the same bits.
  ASSERT_EQ(run("a.wav single-a.wav --program Rock").exitCode, 0);
  ASSERT_EQ(run("b.flac single-b.flac --program Rock").exitCode, 0);
  SF_INFO info;
  EXPECT_EQ(readFile("out/a.wav", info), readFile("single-a.wav", info));
  EXPECT_EQ(shortsOf("out/b.flac"), shortsOf("single-b.flac"));
  readFile("out/b.flac", info);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.samplerate, 48000);

  // Every file good: success. One job at a time gives the same files.
  r = run("a.wav b.flac --out-dir serial --program Rock --jobs 1");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile("serial/a.wav", info), readFile("single-a.wav", info));
}

TEST_F(RenderCommand, BatchRefusesWhatItCannotDoBeforeRenderingAnything) {
  writeFile("a.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, material(2, 0.2));
  ASSERT_EQ(mkdir(path("sub").c_str(), 0777), 0);
  writeFile("sub/a.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, material(2, 0.2));

  Result r = run("--out-dir out");
  EXPECT_EQ(r.exitCode, 2) << "no inputs";
  r = run("a.wav out.wav --jobs 2");
  EXPECT_EQ(r.exitCode, 2) << "--jobs without --out-dir";
  r = run("a.wav --out-dir out --jobs 0");
  EXPECT_EQ(r.exitCode, 2);

  // Two inputs of one name would overwrite each other's output.
  r = run("a.wav sub/a.wav --out-dir out");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("would both be written to 'out/a.wav'"), std::string::npos) << r.err;
  EXPECT_TRUE(entries("out").empty());

  // The folder is a file.
  r = run("a.wav --out-dir a.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("is not a folder"), std::string::npos) << r.err;

  // An input rendered into its own folder would be its own output.
  r = run("a.wav --out-dir .");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("failed: a.wav"), std::string::npos) << r.err;
}

TEST_F(RenderCommand, WithEveryBandOffTheOutputIsTheInputAligned) {
  // Switched-off bands pass at unity: what remains is the crossover and lookahead delay, which
  // the plug-in reports and the command removes. 24-bit samples are Q23 samples: they come
  // back bit for bit.
  writeFile("in.wav", 2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_24, material(2, 1.5));
  SF_INFO inInfo;
  const std::vector<float> in = readFile("in.wav", inInfo);
  const Result r = run("in.wav out.wav --program Extreme --set 'Enable LF=0' --set 'Enable LMF=0' "
                       "--set EnableHMF=0 --set 47=0 --set Lookahead=50 --block 333");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  SF_INFO info;
  const std::vector<float> out = readFile("out.wav", info);
  EXPECT_EQ(info.samplerate, 48000);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  ASSERT_EQ(out.size(), in.size());
  for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], in[i]) << "sample " << i;
  EXPECT_NE(r.out.find("Lookahead = 50 ms"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("band off"), std::string::npos) << r.out;
}

TEST_F(RenderCommand, MonoStaysMonoAndTheExtensionChoosesTheFormat) {
  writeFile("in.wav", 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, material(1, 0.5));
  const Result r = run("in.wav out.flac --program 'drum loop'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  SF_INFO info;
  const std::vector<float> out = readFile("out.flac", info);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.frames, 22050);
  EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);  // FLAC holds no floats
  EXPECT_NE(r.out.find("Program    6 Drum Loop"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Peak       in"), std::string::npos);
  EXPECT_NE(r.out.find("Gain reduction"), std::string::npos);
}

TEST_F(RenderCommand, ValuesByDisplayTextOrNormalised) {
  // A full-scale 1 kHz tone, every band compressing at -20 dB and 4:1 (the tone lies in LF
  // with the empty program's split points): about 15 dB of reduction.
  std::vector<float> tone;
  kestrane::test::Oscillator osc(1000.0, 44100.0);
  for (int i = 0; i < 44100; ++i) {
    const float v = static_cast<float>(osc.next());
    tone.push_back(v);
    tone.push_back(v);
  }
  writeFile("tone.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, tone);
  std::string settings;
  for (const char* band : {"LF", "LMF", "HMF", "HF"}) {
    settings += std::string(" --set C.Thr.") + band + "=-20dB --set C.Rat." + band + "=40";
  }
  Result r = run("tone.wav out.wav --program 8 --gain-reduction" + settings);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("LF    15.0 dB"), std::string::npos) << r.out;

  // The same through normalised values: 0.5 is -20 dB, 20/36 is 4:1.
  settings.clear();
  for (int band = 0; band < 4; ++band) {
    settings += " --set " + std::to_string(6 + band) + "=0.5 --set " + std::to_string(10 + band) +
                "=0.5555556";
  }
  r = run("tone.wav out2.wav --program Empty" + settings);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The reading costs two more passes per band, so it is made only when asked for.
  EXPECT_NE(r.out.find("LF   not measured"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("15.0 dB"), std::string::npos) << r.out;
  SF_INFO info;
  const std::vector<float> byText = readFile("out.wav", info);
  ASSERT_EQ(byText.size(), tone.size());
  EXPECT_TRUE(byText == readFile("out2.wav", info));
}

TEST_F(RenderCommand, SixteenBitFilesHoldWhatLibsndfileMakesOfTheFloatRender) {
  // 16-bit files are converted by the command itself; the samples must be those libsndfile
  // writes from the same render in floats (with clipping: the makeup drives the output far
  // past full scale). The same samples go in as 16-bit and as float files; odd lengths and
  // mono reach the plain loops after the vector ones.
  for (const int channels : {2, 1}) {
    for (const char* extension : {"wav", "aiff"}) {
      const std::string name = std::string("in.") + extension;
      std::vector<float> samples = material(channels, 0.3);
      samples.resize(samples.size() - static_cast<std::size_t>(3 * channels));
      std::vector<short> whole;
      for (float& v : samples) {
        whole.push_back(static_cast<short>(std::lround(std::fmin(4.0f * v, 0.99f) * 32768.0f)));
        v = whole.back() / 32768.0f;
      }
      const int major = extension[0] == 'w' ? SF_FORMAT_WAV : SF_FORMAT_AIFF;
      SF_INFO inInfo{};
      inInfo.channels = channels;
      inInfo.samplerate = 44100;
      inInfo.format = major | SF_FORMAT_PCM_16;
      SNDFILE* in = sf_open(path(name).c_str(), SFM_WRITE, &inInfo);
      ASSERT_NE(in, nullptr);
      sf_writef_short(in, whole.data(), static_cast<sf_count_t>(whole.size() / channels));
      sf_close(in);
      writeFile("float.wav", channels, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, samples);
      const std::string settings =
          " --program Extreme --set 'LF gain=12' --set 'HMF gain=12' --set 'HF gain=-3'";
      Result r = run(name + " out16." + extension + settings);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_NE(r.out.find("(clipped in the file)"), std::string::npos) << r.out;
      r = run("float.wav out-float.wav" + settings);
      ASSERT_EQ(r.exitCode, 0) << r.err;

      SF_INFO info;
      const std::vector<float> rendered = readFile("out-float.wav", info);
      std::vector<float> scaled;
      for (float v : rendered) scaled.push_back(v * 32768.0f);
      SF_INFO expectedInfo{};
      expectedInfo.channels = channels;
      expectedInfo.samplerate = 44100;
      expectedInfo.format = major | SF_FORMAT_PCM_16;
      SNDFILE* f = sf_open(path("expected").c_str(), SFM_WRITE, &expectedInfo);
      ASSERT_NE(f, nullptr);
      sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
      sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
      sf_writef_float(f, scaled.data(), info.frames);
      sf_close(f);
      EXPECT_TRUE(shortsOf("expected") == shortsOf(std::string("out16.") + extension))
          << channels << " channels, " << extension;
    }
  }
}

TEST_F(RenderCommand, WithoutFilesTheDemoLandsInOut) {
  const Result r = run("--program Rock");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  SF_INFO info;
  const std::vector<float> dry = readFile("out/kestrane-demo-dry.wav", info);
  const std::vector<float> wet = readFile("out/kestrane-demo.wav", info);
  EXPECT_EQ(info.channels, 2);
  EXPECT_GT(info.frames, 5 * 44100);
  EXPECT_EQ(dry.size(), wet.size());
  EXPECT_NE(dry, wet);
  EXPECT_NE(r.out.find("Rendered   out/kestrane-demo-dry.wav -> out/kestrane-demo.wav"),
            std::string::npos)
      << r.out;
}

// The demo shows what the product does: the default program's compressor works in every band.
TEST_F(RenderCommand, TheDemoMakesEveryBandOfTheDefaultProgramWork) {
  const Result r = run("--gain-reduction");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Program    0 Mastering"), std::string::npos) << r.out;
  for (const char* band : {"LF", "LMF", "HMF", "HF"}) {
    const std::string label = std::string("\n  ") + band + " ";
    const std::size_t at = r.out.find(label);
    ASSERT_NE(at, std::string::npos) << band << " missing from\n" << r.out;
    double reduction = 0.0;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at + label.size(), " %lf dB", &reduction), 1)
        << band << ": " << r.out.substr(at + 1, 30);
    EXPECT_GE(reduction, 0.5) << band << " barely works on the demo:\n" << r.out;
  }
}

}  // namespace
