// kestrane render: processes an audio file through the plug-in, as a host bouncing a track
// would. The plug-in is loaded through its entry point and driven through its AEffect record
// only; libsndfile reads and writes the files.
//
//   kestrane render IN OUT [--program N|NAME] [--set NAME=VALUE]... [--block FRAMES]
//                          [--gain-reduction]
//   kestrane render IN... --out-dir DIR [--jobs N] [options]    many files, several at once
//   kestrane render [options]          renders a built-in demo into out/
//
// The file is processed at its own sample rate; a mono file feeds both inputs and is written
// back as mono. The output is aligned with the input: the crossover and lookahead delay that
// the plug-in reports to its host (the record's initialDelay) is removed. It is written to a
// temporary file next to OUT and renamed only when complete, and never over the input.
//
// The render itself is one pass of the plug-in over the file. --gain-reduction adds a reading
// of each band's largest gain reduction, measured on the band alone against the band without
// dynamics: two more passes per band that is switched on.
#include <sndfile.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Batch.h"
#include "Commands.h"
#include "Demo.h"
#include "host/TestHost.h"
#include "params/ParameterTable.h"

namespace kestrane::cli {
namespace {

using testhost::Instance;
using testhost::TestHost;

constexpr const char* kTool = "kestrane render";
// Frames per processReplacing call unless --block says otherwise: long, as an offline bounce
// would use. The plug-in's output does not depend on the block size, and fewer calls spend
// less on the work done once per block (the meters, the call through the plug-in's record).
constexpr int32_t kDefaultBlock = 4096;
constexpr float kGainUnity = 0.500998f;  // the gain value that reads 0 dB

// --- Messages ------------------------------------------------------------------------------

// Prints "kestrane render: <message>" on stderr and answers code.
__attribute__((format(printf, 2, 3))) int fail(int code, const char* format, ...) {
  std::fprintf(stderr, "%s: ", kTool);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return code;
}

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The whole text as a number, or false.
bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(value);
}

double toDb(double ratio) { return ratio > 0.0 ? 20.0 * std::log10(ratio) : -INFINITY; }

// --- Options ---------------------------------------------------------------------------------

struct Setting {
  std::string name;
  std::string value;
};

struct Options {
  std::string input, output;        // both empty: the demo
  std::vector<std::string> inputs;  // with outDir: a batch, each into outDir under its name
  std::string outDir;
  int jobs = 0;                     // files of a batch at once, 0: one per processor
  std::string program;              // empty: program 0
  std::vector<Setting> settings;
  int32_t block = kDefaultBlock;
  bool gainReduction = false;  // measure each band's largest reduction (two passes per band)
};

int parseOptions(const std::vector<std::string>& arguments, Options& options) {
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto next = [&](std::string& into) {
      if (i + 1 >= arguments.size()) return false;
      into = arguments[++i];
      return true;
    };
    if (a == "--program") {
      if (!next(options.program)) return fail(kExitUsage, "--program needs a number or a name");
    } else if (a == "--set") {
      std::string s;
      const std::size_t eq = next(s) ? s.find('=') : std::string::npos;
      if (eq == std::string::npos || eq == 0) {
        return fail(kExitUsage, "--set needs NAME=VALUE, for example --set \"C.Thr.LF=-20\"");
      }
      options.settings.push_back({s.substr(0, eq), s.substr(eq + 1)});
    } else if (a == "--block") {
      std::string s;
      double frames = 0.0;
      if (!next(s) || !parseNumber(s, frames) || frames < 1 || frames > 65535 ||
          frames != std::floor(frames)) {
        return fail(kExitUsage, "--block needs a whole number of frames from 1 to 65535");
      }
      options.block = static_cast<int32_t>(frames);
    } else if (a == "--gain-reduction") {
      options.gainReduction = true;
    } else if (a == "--out-dir") {
      if (!next(options.outDir) || options.outDir.empty()) {
        return fail(kExitUsage, "--out-dir needs a folder");
      }
    } else if (a == "--jobs") {
      std::string s;
      double jobs = 0.0;
      if (!next(s) || !parseNumber(s, jobs) || jobs < 1 || jobs > 256 || jobs != std::floor(jobs)) {
        return fail(kExitUsage, "--jobs needs a whole number of files from 1 to 256");
      }
      options.jobs = static_cast<int>(jobs);
    } else if (a.size() > 1 && a[0] == '-') {
      return fail(kExitUsage, "unknown option '%s'", a.c_str());
    } else {
      positional.push_back(a);
    }
  }
  if (!options.outDir.empty()) {
    if (positional.empty()) return fail(kExitUsage, "--out-dir needs input files to render");
    options.inputs = positional;
  } else if (options.jobs != 0) {
    return fail(kExitUsage, "--jobs goes with --out-dir");
  } else if (positional.size() == 2) {
    options.input = positional[0];
    options.output = positional[1];
  } else if (!positional.empty()) {
    return fail(kExitUsage, "give an input and an output file, or neither for the demo");
  }
  return kExitOk;
}

// --- The plug-in -------------------------------------------------------------------------------

// A parameter value chosen by name and value text.
struct ResolvedSetting {
  int32_t index;
  float value;
};

std::vector<std::string> parameterNames(Instance& fx) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < fx.effect()->numParams; ++i) names.push_back(trim(fx.parameterName(i)));
  return names;
}

// A parameter by index, by the name the host shows, or by its enumerator (case ignored).
int32_t findParameter(Instance& fx, const std::string& name) {
  const std::vector<std::string> names = parameterNames(fx);
  double number = 0.0;
  if (parseNumber(name, number) && number == std::floor(number) && number >= 0 &&
      number < static_cast<double>(names.size())) {
    return static_cast<int32_t>(number);
  }
  const std::string wanted = lower(trim(name));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (lower(names[i]) == wanted) return static_cast<int32_t>(i);
  }
  for (const ParameterInfo& info : ParameterTable) {
    if (lower(info.enumeratorName) == wanted) return info.id;
  }
  std::fprintf(stderr, "%s: no parameter '%s'. The parameters are:\n", kTool, name.c_str());
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::fprintf(stderr, "  %2d  %-12s%s", static_cast<int>(i), names[i].c_str(),
                 i % 4 == 3 || i + 1 == names.size() ? "\n" : "");
  }
  return -1;
}

// Values to try when looking for a display text: a quarter step above every step of every
// rule (so that the host's text and the value the engine uses name the same step), the ends,
// and values just above 0 for the switches.
std::vector<float> candidateValues() {
  std::vector<float> values = {0.0f, 1.0f};
  for (int d : {3, 10, 36, 40, 51, 62, 97, 100, 501}) {
    for (int k = 0; k < d; ++k) values.push_back(static_cast<float>((k + 0.25) / d));
  }
  return values;
}

// Whether text names the display text shown (numbers compare by value, "-20 dB" names "-20").
bool textMatches(const std::string& wanted, const std::string& shown, const std::string& unit) {
  std::string w = lower(trim(wanted));
  const std::string u = lower(unit);
  if (!u.empty() && w.size() > u.size() && w.compare(w.size() - u.size(), u.size(), u) == 0) {
    w = trim(w.substr(0, w.size() - u.size()));
  }
  const std::string s = lower(trim(shown));
  double a = 0.0, b = 0.0;
  if (parseNumber(w, a) && parseNumber(s, b)) return a == b;
  return w == s;
}

// The value whose display text matches `text`; failing that, `text` as a normalised value
// 0..1. The search runs on `scratch`, an instance used for nothing else.
bool resolveValue(Instance& scratch, int32_t index, const std::string& text, float& value) {
  const std::string unit = trim(scratch.parameterLabel(index));
  const float before = scratch.getParameter(index);
  const float neutral = ParameterTable[index].emptyValue;
  std::vector<float> candidates = candidateValues();
  std::sort(candidates.begin(), candidates.end());
  std::vector<std::string> shown;  // every text the parameter can show, in value order
  bool found = false;
  for (float v : candidates) {
    scratch.setParameter(index, v);
    const std::string display = trim(scratch.parameterDisplay(index));
    if (std::find(shown.begin(), shown.end(), display) == shown.end()) shown.push_back(display);
    // Several values can show one text (a gain text covers up to 19 steps): the one nearest
    // the neutral value is the text's own (3 dB means +3.0, not +3.9).
    if (textMatches(text, display, unit) &&
        (!found || std::fabs(v - neutral) < std::fabs(value - neutral))) {
      value = v;
      found = true;
    }
  }
  scratch.setParameter(index, before);
  if (found) return true;

  double number = 0.0;
  if (parseNumber(trim(text), number) && number >= 0.0 && number <= 1.0) {
    value = static_cast<float>(number);
    return true;
  }
  std::fprintf(stderr, "%s: %s cannot show '%s'; give one of its texts or a value from 0 to 1:\n ",
               kTool, trim(scratch.parameterName(index)).c_str(), text.c_str());
  for (const std::string& s : shown) std::fprintf(stderr, " %s", s.c_str());
  std::fprintf(stderr, "\n");
  return false;
}

int32_t findProgram(Instance& fx, const std::string& text) {
  const int32_t count = fx.effect()->numPrograms;
  if (text.empty()) return 0;
  double number = 0.0;
  if (parseNumber(text, number) && number == std::floor(number) && number >= 0 && number < count) {
    return static_cast<int32_t>(number);
  }
  for (int32_t i = 0; i < count; ++i) {
    if (lower(trim(fx.programNameIndexed(i))) == lower(trim(text))) return i;
  }
  std::fprintf(stderr, "%s: no program '%s'. The programs are:\n", kTool, text.c_str());
  for (int32_t i = 0; i < count; ++i) {
    std::fprintf(stderr, "  %2d  %s\n", static_cast<int>(i), fx.programNameIndexed(i).c_str());
  }
  return -1;
}

// Runs one block through an instance: frames of left and right in, the same out.
// The same from sample `from` of the buffers on.
void processBlock(Instance& fx, std::vector<float>* in, std::vector<float>* out, int32_t frames,
                  int32_t from = 0) {
  float* inputs[2] = {in[0].data() + from, in[1].data() + from};
  float* outputs[2] = {out[0].data() + from, out[1].data() + from};
  fx.effect()->processReplacing(fx.effect(), inputs, outputs, frames);
}

// An instance set up for the file: rate and block size, resumed, the program, the settings
// and any changes of its own. The engine takes a new sample rate into its coefficients at
// the first parameter update after a processed block, as in any host: one detector step of
// silence and a display request bring it there before the file starts.
std::unique_ptr<Instance> openConfigured(TestHost& host, float rate, int32_t block,
                                         int32_t program,
                                         const std::vector<ResolvedSetting>& settings) {
  std::unique_ptr<Instance> fx = host.openInstance();
  if (!fx) return nullptr;
  fx->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  fx->dispatch(effSetBlockSize, 0, block);
  fx->dispatch(effMainsChanged, 0, 1);
  fx->setProgram(program);
  for (const ResolvedSetting& s : settings) fx->setParameter(s.index, s.value);
  std::vector<float> silence[2] = {std::vector<float>(4), std::vector<float>(4)};
  std::vector<float> out[2] = {std::vector<float>(4), std::vector<float>(4)};
  processBlock(*fx, silence, out, 4);
  fx->parameterDisplay(0);
  return fx;
}

// --- Files -----------------------------------------------------------------------------------

std::string extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return lower(path.substr(dot + 1));
}

int majorFormatFor(const std::string& extension) {
  if (extension == "wav") return SF_FORMAT_WAV;
  if (extension == "flac") return SF_FORMAT_FLAC;
  if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF;
  return 0;
}

// The input's format, or the format OUT's extension names, keeping the input's sample
// encoding where the new container allows it (else 24-bit); 0 for an extension that names
// no format we write. Without an extension the input's format stays.
int outputFormat(const SF_INFO& input, const std::string& path) {
  const int major = majorFormatFor(extensionOf(path));
  if (major == (input.format & SF_FORMAT_TYPEMASK) || extensionOf(path).empty()) {
    return input.format;
  }
  if (major == 0) return 0;
  SF_INFO probe = input;
  probe.format = major | (input.format & SF_FORMAT_SUBMASK);
  if (sf_format_check(&probe)) return probe.format;
  return major | SF_FORMAT_PCM_24;
}

// Full scale of an integer encoding as the file stores it (2^(bits - 1)), 0 for any other.
// The files are read and written at this scale rather than through libsndfile's own float
// normalisation, which scales reading by 2^(bits - 1) but writing by 2^(bits - 1) - 1: a
// file would not come back bit for bit even through a plug-in that changes nothing.
double integerFullScale(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 128.0;
    case SF_FORMAT_PCM_16: return 32768.0;
    case SF_FORMAT_PCM_24: return 8388608.0;
    case SF_FORMAT_PCM_32: return 2147483648.0;
    default: return 0.0;
  }
}

bool isIntegerFormat(int format) {
  const int sub = format & SF_FORMAT_SUBMASK;
  return sub != SF_FORMAT_FLOAT && sub != SF_FORMAT_DOUBLE;
}

// Whether two paths name one existing file.
bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A temporary file beside `path`, removed on destruction unless committed by renaming.
class PendingOutput {
 public:
  explicit PendingOutput(const std::string& path) : target_(path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = dir + "." + name + ".kestrane-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = mkstemp(buffer.data());
    if (fd_ < 0) return;
    temp_ = buffer.data();
    // mkstemp creates the file for its owner only; the output gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
  }
  ~PendingOutput() {
    if (file_) sf_close(file_);
    if (fd_ >= 0 && !file_) close(fd_);
    if (!temp_.empty()) std::remove(temp_.c_str());
  }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  bool open(SF_INFO& info) {
    if (fd_ < 0) return false;
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_TRUE);
    return file_ != nullptr;
  }
  SNDFILE* file() const { return file_; }
  const std::string& temporaryPath() const { return temp_; }

  // Closes the file and moves it over the target.
  bool commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    fd_ = -1;
    if (closed != 0 || std::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  std::string target_, temp_;
  int fd_ = -1;
  SNDFILE* file_ = nullptr;
};

// --- Analysis ----------------------------------------------------------------------------------

// The largest gain reduction of one band, measured on the band itself: the band alone through
// the real settings at 0 dB makeup, against the band alone with its dynamics switched off,
// compared in 10 ms windows wherever the band carries signal.
struct BandMeter {
  std::unique_ptr<Instance> dry, processed;
  std::vector<float> dryOut[2], processedOut[2];
  double dryEnergy = 0.0, processedEnergy = 0.0;
  int32_t windowFill = 0;
  double largestReductionDb = 0.0;  // <= 0
  bool heard = false;               // the band carried signal above -60 dBFS somewhere
  bool muted = false;               // the band was closed completely somewhere it carried signal

  void add(int32_t window, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
      for (int ch = 0; ch < 2; ++ch) {
        dryEnergy += static_cast<double>(dryOut[ch][i]) * dryOut[ch][i];
        processedEnergy += static_cast<double>(processedOut[ch][i]) * processedOut[ch][i];
      }
      if (++windowFill < window) continue;
      if (dryEnergy / (2.0 * window) > 1e-6) {  // -60 dBFS RMS
        heard = true;
        if (processedEnergy <= 0.0) {
          muted = true;
        } else {
          largestReductionDb =
              std::min(largestReductionDb, 10.0 * std::log10(processedEnergy / dryEnergy));
        }
      }
      dryEnergy = processedEnergy = 0.0;
      windowFill = 0;
    }
  }
};

// --- Progress ----------------------------------------------------------------------------------

class Progress {
 public:
  Progress(int64_t total, bool show) : total_(total), show_(show) {}
  void update(int64_t done) {
    const int percent = static_cast<int>(100 * done / std::max<int64_t>(total_, 1));
    if (percent == shown_) return;
    shown_ = percent;
    reportBatchProgress(percent);
    if (!show_) return;
    const int width = 40, filled = percent * width / 100;
    std::fprintf(stderr, "\rrendering [%s%s] %3d%%", std::string(filled, '=').c_str(),
                 std::string(width - filled, ' ').c_str(), percent);
    std::fflush(stderr);
  }
  void finish() {
    if (show_ && shown_ >= 0) std::fprintf(stderr, "\n");
  }

 private:
  int64_t total_;
  bool show_;
  int shown_ = -1;
};

// --- The demo ----------------------------------------------------------------------------------

// The built-in demo (Demo.h), written as a 32-bit float WAV, so that the rendered demo (same
// format) keeps any peak above full scale instead of clipping it.
bool writeDemo(const std::string& path) {
  const DemoAudio demo = makeDemo();
  SF_INFO info{};
  info.samplerate = demo.rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  const sf_count_t frames = static_cast<sf_count_t>(demo.samples.size() / 2);
  PendingOutput pending(path);
  if (!pending.open(info)) return false;
  if (sf_writef_float(pending.file(), demo.samples.data(), frames) != frames) return false;
  return pending.commit();
}

// --- The command -------------------------------------------------------------------------------

// The file's interleaved samples (as libsndfile delivers them, float or 16-bit), times `unit`,
// into the plug-in's two inputs (a mono file feeds both), frames `from` to `frames`; answers
// the largest magnitude taken, or `peak` if larger. Plain loops of a fixed stride.
template <int Channels, typename Sample>
float takeFramesOf(const Sample* interleaved, int32_t from, int32_t frames, float unit,
                   float* left, float* right, float peak) {
  for (int32_t i = from; i < frames; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * Channels;
    left[i] = static_cast<float>(interleaved[at]) * unit;
    right[i] = static_cast<float>(interleaved[at + (Channels - 1)]) * unit;
    const float magnitude = std::max(std::fabs(left[i]), std::fabs(right[i]));
    peak = magnitude > peak ? magnitude : peak;
  }
  return peak;
}

#if defined(__SSE2__)
// The largest of the four lanes and `peak`.
float largestLane(__m128 lanes, float peak) {
  alignas(16) float v[4];
  _mm_store_ps(v, lanes);
  for (float x : v) peak = x > peak ? x : peak;
  return peak;
}

// Four frames at a time, the same results as the plain loops (the samples are never NaN, so
// the order of the comparisons does not matter); answers how many frames were done.
int32_t takeStereo16(const int16_t* interleaved, int32_t frames, float unit, float* left,
                     float* right, float& peak) {
  const __m128 scale = _mm_set1_ps(unit);
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128 top = _mm_setzero_ps();
  int32_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    // L0 R0 .. L3 R3: the left samples are the low halves of the 32-bit lanes.
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(interleaved + 2 * i));
    const __m128 l = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(x, 16), 16)), scale);
    const __m128 r = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(x, 16)), scale);
    _mm_storeu_ps(left + i, l);
    _mm_storeu_ps(right + i, r);
    top = _mm_max_ps(_mm_max_ps(_mm_and_ps(l, signless), _mm_and_ps(r, signless)), top);
  }
  peak = largestLane(top, peak);
  return i;
}
#endif

template <typename Sample>
__attribute__((noinline)) float takeFrames(const Sample* interleaved, int channels, int32_t frames,
                                           float unit, float* left, float* right, float peak) {
  if (channels != 2) return takeFramesOf<1>(interleaved, 0, frames, unit, left, right, peak);
  int32_t done = 0;
#if defined(__SSE2__)
  if constexpr (std::is_same_v<Sample, int16_t>) {
    done = takeStereo16(interleaved, frames, unit, left, right, peak);
  }
#endif
  return takeFramesOf<2>(interleaved, done, frames, unit, left, right, peak);
}

// A scaled output sample as a 16-bit sample, exactly as libsndfile's clipping conversion from
// float makes it for WAV and AIFF. That works on the sample times 2^16 (exact in single
// precision): from 2^31 up it gives 32767, from -2^31 down (and for NaN) -32768, else the
// product rounded to an integer in the processor's rounding mode (ties to even) and shifted
// down 16 bits.
inline int16_t pcm16Sample(float v) {
  const float scaled = v * 65536.0f;
  if (scaled >= 2147483647.0) return 32767;
  if (!(scaled > -2147483648.0)) return -32768;
  return static_cast<int16_t>(std::lrint(scaled) >> 16);
}

#if defined(__SSE2__)
// The same for four samples, each in the low half of a 32-bit lane. The clamp is to the
// largest float below 2^31, which shifts down to 32767 too; maxps answers its second operand
// for NaN.
inline __m128i pcm16Lanes(__m128 v) {
  const __m128 scaled =
      _mm_max_ps(_mm_mul_ps(v, _mm_set1_ps(65536.0f)), _mm_set1_ps(-2147483648.0f));
  return _mm_srai_epi32(_mm_cvtps_epi32(_mm_min_ps(scaled, _mm_set1_ps(2147483520.0f))), 16);
}
#endif

inline void toFileSample(float v, float* at) { *at = v; }
inline void toFileSample(float v, int16_t* at) { *at = pcm16Sample(v); }

// The plug-in's outputs, times `unit`, into the file's interleaved samples (the left one only
// for a mono file) as the file stores them, floats or 16-bit; answers the largest magnitude
// written (before scaling), or `peak` if larger, and counts the samples above full scale into
// `overs`.
template <typename Sample>
__attribute__((noinline)) float putFrames(const float* left, const float* right, int32_t frames,
                                          float unit, int channels, Sample* interleaved,
                                          float peak, int64_t& overs) {
  int32_t above = 0;
  auto count = [&](float v) {
    const float magnitude = std::fabs(v);
    peak = magnitude > peak ? magnitude : peak;
    above += magnitude > 1.0f ? 1 : 0;
  };
  int32_t i = 0;
  if (channels == 2) {
#if defined(__SSE2__)
    // Four frames at a time (the plug-in's outputs are never NaN, so the order of the
    // comparisons does not matter).
    const __m128 scale = _mm_set1_ps(unit), one = _mm_set1_ps(1.0f);
    const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 top = _mm_setzero_ps();
    __m128i aboveLanes = _mm_setzero_si128();
    for (; i + 4 <= frames; i += 4) {
      const __m128 l = _mm_loadu_ps(left + i), r = _mm_loadu_ps(right + i);
      const __m128 ls = _mm_mul_ps(l, scale), rs = _mm_mul_ps(r, scale);
      if constexpr (std::is_same_v<Sample, float>) {
        _mm_storeu_ps(interleaved + 2 * i, _mm_unpacklo_ps(ls, rs));
        _mm_storeu_ps(interleaved + 2 * i + 4, _mm_unpackhi_ps(ls, rs));
      } else {
        const __m128i li = pcm16Lanes(ls), ri = pcm16Lanes(rs);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(interleaved + 2 * i),
                         _mm_packs_epi32(_mm_unpacklo_epi32(li, ri), _mm_unpackhi_epi32(li, ri)));
      }
      const __m128 ml = _mm_and_ps(l, signless), mr = _mm_and_ps(r, signless);
      top = _mm_max_ps(_mm_max_ps(ml, mr), top);
      // A comparison that holds is all ones: -1 per sample above full scale.
      aboveLanes = _mm_sub_epi32(aboveLanes, _mm_castps_si128(_mm_cmpgt_ps(ml, one)));
      aboveLanes = _mm_sub_epi32(aboveLanes, _mm_castps_si128(_mm_cmpgt_ps(mr, one)));
    }
    peak = largestLane(top, peak);
    alignas(16) int32_t counts[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), aboveLanes);
    above = counts[0] + counts[1] + counts[2] + counts[3];
#endif
    for (; i < frames; ++i) {
      toFileSample(left[i] * unit, interleaved + 2 * static_cast<std::size_t>(i));
      toFileSample(right[i] * unit, interleaved + 2 * static_cast<std::size_t>(i) + 1);
      count(left[i]);
      count(right[i]);
    }
  } else {
    for (; i < frames; ++i) {
      toFileSample(left[i] * unit, interleaved + i);
      count(left[i]);
    }
  }
  overs += above;
  return peak;
}

struct FileSummary {
  double peakIn = 0.0, peakOut = 0.0;
  int64_t overs = 0;  // output samples above full scale
};

int render(const Options& options) {
  SF_INFO inInfo{};
  SNDFILE* in = sf_open(options.input.c_str(), SFM_READ, &inInfo);
  if (!in) return fail(kExitFailure, "cannot read '%s': %s", options.input.c_str(), sf_strerror(nullptr));
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> inGuard(in, sf_close);
  if (inInfo.channels < 1 || inInfo.channels > 2) {
    return fail(kExitFailure, "'%s' has %d channels; only mono and stereo files can be rendered",
                options.input.c_str(), inInfo.channels);
  }
  const float rate = static_cast<float>(inInfo.samplerate);
  const int64_t frames = inInfo.frames;
  const double inScale = integerFullScale(inInfo.format);
  if (inScale != 0.0) sf_command(in, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);

  TestHost host;
  if (!host.library().loaded()) return fail(kExitFailure, "%s", host.library().error().c_str());
  std::unique_ptr<Instance> scratch = host.openInstance();
  if (!scratch) return fail(kExitFailure, "the plug-in made no instance");

  const int32_t program = findProgram(*scratch, options.program);
  if (program < 0) return kExitFailure;
  scratch->setProgram(program);
  std::vector<ResolvedSetting> settings;
  for (const Setting& s : options.settings) {
    ResolvedSetting r{findParameter(*scratch, s.name), 0.0f};
    if (r.index < 0 || !resolveValue(*scratch, r.index, s.value, r.value)) return kExitFailure;
    scratch->setParameter(r.index, r.value);
    settings.push_back(r);
  }

  SF_INFO outInfo = inInfo;
  outInfo.format = outputFormat(inInfo, options.output);
  outInfo.frames = 0;
  if (outInfo.format == 0) {
    return fail(kExitFailure, "cannot tell a file format from '.%s'; use .wav, .flac, .aif or .aiff",
                extensionOf(options.output).c_str());
  }
  PendingOutput pending(options.output);
  if (!pending.open(outInfo)) {
    return fail(kExitFailure, "cannot write '%s': %s", options.output.c_str(),
                pending.temporaryPath().empty() ? std::strerror(errno) : sf_strerror(nullptr));
  }
  const double outScale = integerFullScale(outInfo.format);
  if (outScale != 0.0) sf_command(pending.file(), SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
  if (isIntegerFormat(outInfo.format)) sf_command(pending.file(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

  // The instances: the render itself and, when asked for, per band a pair for its
  // gain-reduction reading.
  const int32_t block = options.block;
  std::unique_ptr<Instance> effect = openConfigured(host, rate, block, program, settings);
  BandMeter bands[kNumBands];
  std::vector<bool> bandOn(kNumBands);
  for (int32_t b = 0; b < kNumBands; ++b) {
    bandOn[b] = scratch->getParameter(EnableLF + b) != 0.0f;
    if (!bandOn[b] || !options.gainReduction) continue;
    // The band alone: the other bands on but muted, this one at 0 dB makeup; the dry twin
    // has this band switched off (unity).
    std::vector<ResolvedSetting> alone = settings;
    for (int32_t o = 0; o < kNumBands; ++o) {
      if (o == b) continue;
      alone.push_back({EnableLF + o, 1.0f});
      alone.push_back({GainLF + o, 0.0f});
    }
    alone.push_back({GainLF + b, kGainUnity});
    bands[b].processed = openConfigured(host, rate, block, program, alone);
    alone.push_back({EnableLF + b, 0.0f});
    bands[b].dry = openConfigured(host, rate, block, program, alone);
    for (int ch = 0; ch < 2; ++ch) {
      bands[b].dryOut[ch].resize(static_cast<std::size_t>(block));
      bands[b].processedOut[ch].resize(static_cast<std::size_t>(block));
    }
  }
  if (!effect) return fail(kExitFailure, "the plug-in made no instance");
  // The delay the plug-in reports for the settings the render runs with, as a host that
  // compensates delays reads it.
  const int32_t latency = effect->effect()->initialDelay;
  if (latency < 0) return fail(kExitFailure, "the plug-in reports a negative delay (%d)", latency);

  // Stream: the file, then `latency` frames of silence to bring out the delayed end; the
  // first `latency` output frames (the delay) are dropped. The file is read and written in
  // runs of whole blocks of about 8192 frames; the plug-in gets them block by block.
  const int channels = inInfo.channels;
  const int32_t run = block * std::max(1, 8192 / block);
  // 16-bit files in and out (the common case) move as 16-bit samples: libsndfile then only
  // copies them, and the conversions to and from the plug-in's floats are the loops above.
  // Only into WAV and AIFF, whose float conversion toFileSample repeats (FLAC's differs).
  const int outMajor = outInfo.format & SF_FORMAT_TYPEMASK;
  const bool pcm16 = (inInfo.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
                     (outInfo.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
                     (outMajor == SF_FORMAT_WAV || outMajor == SF_FORMAT_AIFF);
  // One buffer of the file's interleaved samples serves the run's reading and then its writing
  // (the input and output files have the same channels, and a run's input is taken in full
  // before its output is put).
  const std::size_t runSamples = static_cast<std::size_t>(run) * channels;
  std::vector<float> interleaved(pcm16 ? 0 : runSamples);
  std::vector<int16_t> interleaved16(pcm16 ? runSamples : 0);
  std::vector<float> input[2], output[2];
  for (int ch = 0; ch < 2; ++ch) {
    input[ch].resize(static_cast<std::size_t>(run));
    output[ch].resize(static_cast<std::size_t>(run));
  }
  const int32_t window = std::max(1, inInfo.samplerate / 100);
  const int64_t total = frames + latency;
  Progress progress(total, frames > 5 * static_cast<int64_t>(inInfo.samplerate) && isatty(2));
  FileSummary summary;
  // Integer samples arrive as whole numbers and leave scaled back up: scaling by the power of
  // two 2^-(bits - 1) or 2^(bits - 1) is exact in single precision.
  const float inUnit = inScale != 0.0 ? static_cast<float>(1.0 / inScale) : 1.0f;
  const float outUnit = outScale != 0.0 ? static_cast<float>(outScale) : 1.0f;
  float peakIn = 0.0f, peakOut = 0.0f;
  int64_t done = 0, outputDone = 0;
  while (done < total) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(run, total - done));
    sf_count_t got = 0;
    if (done < frames) {
      const sf_count_t want = std::min<int64_t>(n, frames - done);
      got = pcm16 ? sf_readf_short(in, interleaved16.data(), want)
                  : sf_readf_float(in, interleaved.data(), want);
      if (got != want) return fail(kExitFailure, "'%s' ended early", options.input.c_str());
    }
    const int32_t filled = static_cast<int32_t>(got);
    peakIn = pcm16 ? takeFrames(interleaved16.data(), channels, filled, inUnit, input[0].data(),
                                input[1].data(), peakIn)
                   : takeFrames(interleaved.data(), channels, filled, inUnit, input[0].data(),
                                input[1].data(), peakIn);
    for (int ch = 0; ch < 2; ++ch) {
      std::fill(input[ch].begin() + filled, input[ch].begin() + n, 0.0f);
    }
    for (int32_t from = 0; from < n; from += block) {
      const int32_t count = std::min(block, n - from);
      processBlock(*effect, input, output, count, from);
      for (int32_t b = 0; b < kNumBands; ++b) {
        if (!bandOn[b] || !options.gainReduction) continue;
        float* blockIn[2] = {input[0].data() + from, input[1].data() + from};
        float* dry[2] = {bands[b].dryOut[0].data(), bands[b].dryOut[1].data()};
        float* processed[2] = {bands[b].processedOut[0].data(), bands[b].processedOut[1].data()};
        AEffect* e = bands[b].dry->effect();
        e->processReplacing(e, blockIn, dry, count);
        e = bands[b].processed->effect();
        e->processReplacing(e, blockIn, processed, count);
        bands[b].add(window, count);
      }
    }

    // Keep output frames latency .. latency + frames - 1 of the stream.
    const int32_t keepFrom = static_cast<int32_t>(std::clamp<int64_t>(latency - done, 0, n));
    const int32_t keepTo = static_cast<int32_t>(std::clamp<int64_t>(frames + latency - done, 0, n));
    const int32_t kept = keepTo - keepFrom;
    const float* const keptOut[2] = {output[0].data() + keepFrom, output[1].data() + keepFrom};
    sf_count_t put = 0;
    if (pcm16) {
      peakOut = putFrames(keptOut[0], keptOut[1], kept, outUnit, channels, interleaved16.data(),
                          peakOut, summary.overs);
      if (kept > 0) put = sf_writef_short(pending.file(), interleaved16.data(), kept);
    } else {
      peakOut = putFrames(keptOut[0], keptOut[1], kept, outUnit, channels, interleaved.data(),
                          peakOut, summary.overs);
      if (kept > 0) put = sf_writef_float(pending.file(), interleaved.data(), kept);
    }
    if (kept > 0 && put != kept) {
      progress.finish();
      return fail(kExitFailure, "writing '%s' failed: %s", options.output.c_str(),
                  sf_strerror(pending.file()));
    }
    outputDone += kept;
    done += n;
    progress.update(done);
  }
  progress.finish();
  summary.peakIn = peakIn;
  summary.peakOut = peakOut;
  if (!pending.commit()) {
    return fail(kExitFailure, "could not complete '%s': %s", options.output.c_str(),
                std::strerror(errno));
  }

  // Summary.
  std::printf("Rendered   %s -> %s\n", options.input.c_str(), options.output.c_str());
  std::printf("Audio      %lld frames, %d Hz, %s, %.1f s\n", static_cast<long long>(outputDone),
              inInfo.samplerate, channels == 1 ? "mono" : "stereo",
              static_cast<double>(frames) / inInfo.samplerate);
  std::printf("Program    %d %s", static_cast<int>(program),
              trim(scratch->programNameIndexed(program)).c_str());
  for (const ResolvedSetting& s : settings) {
    std::printf(", %s = %s %s", trim(scratch->parameterName(s.index)).c_str(),
                trim(scratch->parameterDisplay(s.index)).c_str(),
                trim(scratch->parameterLabel(s.index)).c_str());
  }
  std::printf("\nDelay      %d samples of crossover and lookahead delay, as the plug-in reports"
              " it, removed (output aligned)\n",
              static_cast<int>(latency));
  std::printf("Peak       in %.2f dBFS, out %.2f dBFS\n", toDb(summary.peakIn), toDb(summary.peakOut));
  if (summary.overs > 0) {
    std::printf("           %lld output samples above full scale%s\n",
                static_cast<long long>(summary.overs),
                isIntegerFormat(outInfo.format) ? " (clipped in the file)" : "");
  }
  if (options.gainReduction) {
    std::printf("Gain reduction, largest per band (band alone, 10 ms windows, makeup excluded):\n");
  } else {
    std::printf("Gain reduction, largest per band: --gain-reduction measures it (two more passes "
                "per band)\n");
  }
  const char* bandNames[kNumBands] = {"LF", "LMF", "HMF", "HF"};
  for (int32_t b = 0; b < kNumBands; ++b) {
    std::printf("  %-4s ", bandNames[b]);
    if (!bandOn[b]) {
      std::printf("band off\n");
    } else if (!options.gainReduction) {
      std::printf("not measured\n");
    } else if (!bands[b].heard) {
      std::printf("no signal above -60 dBFS\n");
    } else if (bands[b].muted) {
      std::printf("closed completely (expander)\n");
    } else {
      std::printf("%5.1f dB\n", std::fabs(bands[b].largestReductionDb));
    }
  }
  return kExitOk;
}

// One file, IN to OUT, with the options' settings.
int renderFile(const Options& options) {
  struct stat st {};
  if (stat(options.input.c_str(), &st) != 0) {
    return fail(kExitFailure, "no input file '%s'", options.input.c_str());
  }
  if (sameFile(options.input, options.output)) {
    return fail(kExitFailure, "the output '%s' is the input file; choose another name",
                options.output.c_str());
  }
  return render(options);
}

}  // namespace

int renderCommand(const std::vector<std::string>& arguments) {
  Options options;
  if (const int code = parseOptions(arguments, options); code != kExitOk) return code;

  if (!options.outDir.empty()) {
    return renderBatch(options.inputs, options.outDir, options.jobs,
                       [&options](const std::string& input, const std::string& output) {
                         Options one = options;
                         one.input = input;
                         one.output = output;
                         return renderFile(one);
                       });
  }

  if (options.input.empty()) {
    // The demo: written to out/, then rendered like any file.
    if (mkdir("out", 0777) != 0 && errno != EEXIST) {
      return fail(kExitFailure, "cannot create out/: %s", std::strerror(errno));
    }
    options.input = "out/kestrane-demo-dry.wav";
    options.output = "out/kestrane-demo.wav";
    if (!writeDemo(options.input)) return fail(kExitFailure, "cannot write %s", options.input.c_str());
  }
  return renderFile(options);
}

}  // namespace kestrane::cli
