#include "fuzz/DispatcherFuzzer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "params/Programs.h"
#include "shell/KestraneProcessorWithEditor.h"
#include "shell/VstAbi.h"

// How the bytes are read (the dictionary and the seed inputs follow it):
//
//   input    := request*                        reading past the end gives zero bytes
//   request  := op-byte arguments               op-byte modulo 10 picks the request
//   integer  := b < 0xE0: b - 16 | b < 0xFF: one of kSpecialIntegers | 0xFF word
//   real     := b < 0x80: b / 127 | b < 0xFF: one of kSpecialReals   | 0xFF word
//   word     := four bytes, little-endian (a raw int32 or float bit pattern)
//
//   0 dispatch     opcode-byte [word] index:integer value:integer pointer-byte opt:real
//                  (opcode-byte < 0xF0: opcode-byte modulo 72; otherwise a word follows)
//   1 set          index:integer value:real
//   2 get          index:integer
//   3 program      value:integer                      (effSetProgram)
//   4 rate         b < 0xF0: one of kRates | word     (effSetSampleRate)
//   5 block size   integer, then a byte: odd also sends a rate (effSetBlockSizeAndSampleRate)
//   6 replacing    frames signal-byte arrangement-byte [signal arguments]
//   7 accumulating frames signal-byte arrangement-byte [signal arguments]
//   8 texts        every name, label and display text for indices -1..49
//   9 reopen       effClose, then a new instance
namespace kestrane::fuzz {
namespace {

constexpr int32_t kSpecialIntegers[] = {
    std::numeric_limits<int32_t>::min(), -65536, -256, -17, -1, 0, 1, 2, 15, 16, 17, 47,
    48, 49, 50, 68, 69, 70, 127, 255, 256, 1000, 65535, 65536, 0x12345678,
    std::numeric_limits<int32_t>::max()};

constexpr uint32_t kSpecialRealBits[] = {
    0x00000000,  // 0
    0x80000000,  // -0
    0x3F800000,  // 1
    0xBF800000,  // -1
    0x3F000000,  // 0.5
    0x3F004168,  // 0.500998 (0 dB gain)
    0x3F7FFFFF,  // just below 1
    0x3F800001,  // just above 1
    0x40000000,  // 2
    0x7FC00000,  // NaN
    0xFFC00000,  // -NaN
    0x7F800001,  // signalling NaN
    0x7F800000,  // +infinity
    0xFF800000,  // -infinity
    0x7149F2CA,  // 1e30
    0xF149F2CA,  // -1e30
    0x7F7FFFFF,  // largest float
    0xFF7FFFFF,  // most negative float
    0x00800000,  // smallest normal
    0x000B6A6C,  // a denormal (about 1e-39)
    0x800B6A6C,  // a negative denormal
    0x43800000,  // 256: the first sample that no longer fits Q23
    0xC3800000,  // -256
    0x437FFFFF,  // just below 256
    0x322BCC77,  // 1e-8
    0x4F000000,  // 2^31
};

constexpr uint32_t kRateBits[] = {
    0x472C4400,  // 44100
    0x473B8000,  // 48000
    0x47BB8000,  // 96000
    0x46FA0000,  // 32000
    0x46AC4400,  // 22050
    0x483B8000,  // 192000
    0x48BB8000,  // 384000
    0x45FA0000,  // 8000
    0x3F800000,  // 1
    0x3F000000,  // 0.5
    0x00000000,  // 0
    0xC72C4400,  // -44100
    0x7FC00000,  // NaN
    0x7F800000,  // +infinity
    0x4E6E6B28,  // 1e9
    0x472C4480,  // 44100.5
};

constexpr int32_t kSpecialFrames[] = {
    0, -1, -4, -65536, std::numeric_limits<int32_t>::min(), 1, 3, 4, 5, 512, 1024, 4096,
    65535, 65536, 100000, std::numeric_limits<int32_t>::max()};

// Enough audio per input to reach every state, little enough to keep each run short.
constexpr int64_t kFrameBudget = 1 << 16;
constexpr int32_t kReopenBudget = 8;
constexpr int32_t kLargestBlock = 65535;  // the longest block processReplacing accepts
constexpr int32_t kLongestBuffer = 100000;  // the longest buffers this host makes
constexpr uint8_t kUntouched = 0xA5;  // what buffers hold before the plug-in writes

float fromBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t bitsOf(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Exactly the stored value: the same bits (a NaN may come back quieted on some calling
// conventions, so any NaN matches any NaN).
bool sameValue(float a, float b) {
  return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b));
}

template <typename T, size_t N>
constexpr size_t countOf(const T (&)[N]) {
  return N;
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool more() const { return pos_ < size_; }

  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  uint32_t word() {
    uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= static_cast<uint32_t>(byte()) << (8 * k);
    return w;
  }

  int32_t integer() {
    const uint8_t b = byte();
    if (b < 0xE0) return static_cast<int32_t>(b) - 16;
    if (b < 0xFF) return kSpecialIntegers[(b - 0xE0) % countOf(kSpecialIntegers)];
    return static_cast<int32_t>(word());
  }

  float real() {
    const uint8_t b = byte();
    if (b < 0x80) return static_cast<float>(b) / 127.0f;
    if (b < 0xFF) return fromBits(kSpecialRealBits[(b - 0x80) % countOf(kSpecialRealBits)]);
    return fromBits(word());
  }

  float rate() {
    const uint8_t b = byte();
    return b < 0xF0 ? fromBits(kRateBits[b % countOf(kRateBits)]) : fromBits(word());
  }

  int32_t frames() {
    const uint8_t b = byte();
    return b < 0xF0 ? b : kSpecialFrames[b - 0xF0];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The host's side: it answers the version query, so that instances are made, and nothing else.
intptr_t KESTRANE_VSTCALLBACK fuzzHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*,
                                       float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// What the instance must hold: the 16 programs' values (in ParamId order) and names, and the
// current program.
struct Expected {
  float values[kNumPrograms][kNumParams];
  char names[kNumPrograms][kProgramNameSize];
  int32_t current = 0;

  Expected() {
    for (int32_t p = 0; p < kNumPrograms; ++p) {
      for (int32_t id = 0; id < kNumParams; ++id) {
        values[p][id] = FactoryPrograms[p].values[recordSlot(id)];
      }
      std::memcpy(names[p], FactoryPrograms[p].name, kProgramNameSize);
    }
  }
};

// The buffer a pointer-carrying request needs, in bytes (0: the request takes no pointer).
size_t bufferSizeFor(int32_t opcode) {
  switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetProgramNameIndexed:
      return kProgramNameSize;
    case effGetParamLabel:
    case effGetParamDisplay:
      return 9;
    case effGetParamName:
      return 12;
    case effEditGetRect:
    case effGetChunk:
      return sizeof(void*);
    case effSetChunk:
    case effProcessEvents:
    case effString2Parameter:
    case effCanDo:
    case effGetEffectName:
      return 64;
    case effGetInputProperties:
    case effGetOutputProperties:
      return sizeof(VstPinProperties);
    case effGetVendorString:
    case effGetProductString:
      return 64;
    case effGetErrorText:
    case effVendorSpecific:
      return 256;
    case effGetParameterProperties:
      return 152;
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
      return 80;
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
      return 512;
    default:
      return 0;
  }
}

// Requests that write a zero-terminated text into the buffer.
bool writesText(int32_t opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetProgramNameIndexed:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
      return true;
    default:
      return false;
  }
}

// Requests that read a zero-terminated text from the buffer.
bool readsText(int32_t opcode) {
  return opcode == effCanDo || opcode == effString2Parameter;
}

class Driver {
 public:
  Driver(const uint8_t* data, size_t size) : in_(data, size) {}

  ~Driver() {
    if (effect_) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
  }

  std::string run() {
    if (!open()) return finding_;
    while (in_.more() && finding_.empty()) {
      step();
      if (finding_.empty()) checkState();
    }
    return finding_;
  }

 private:
  bool open() {
    effect_ = createKestraneInstance(fuzzHost);
    if (!effect_) fail("the entry point made no instance");
    expected_ = Expected{};
    return effect_ != nullptr;
  }

  void fail(const std::string& what) {
    if (finding_.empty()) finding_ = what;
  }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  }

  void step() {
    switch (in_.byte() % 10) {
      case 0: dispatchRequest(); break;
      case 1: setParameter(); break;
      case 2: getParameter(); break;
      case 3: setProgram(in_.integer()); break;
      case 4: dispatch(effSetSampleRate, 0, 0, nullptr, in_.rate()); break;
      case 5: setBlockSize(); break;
      case 6: processReplacing(); break;
      case 7: processAccumulating(); break;
      case 8: readAllTexts(); break;
      case 9: reopen(); break;
    }
  }

  // --- Parameters and programs ------------------------------------------------------------

  void setParameter() {
    const int32_t index = in_.integer();
    const float value = in_.real();
    effect_->setParameter(effect_, index, value);
    if (isParamIndex(index)) expected_.values[expected_.current][index] = value;
  }

  void getParameter() {
    const int32_t index = in_.integer();
    const float answer = effect_->getParameter(effect_, index);
    const float want = isParamIndex(index) ? expected_.values[expected_.current][index] : 0.0f;
    if (!sameValue(answer, want)) fail("getParameter(" + std::to_string(index) + ") changed");
  }

  void setProgram(intptr_t value) {
    dispatch(effSetProgram, 0, value);
    if (value >= 0 && value < kNumPrograms) expected_.current = static_cast<int32_t>(value);
  }

  void setBlockSize() {
    const int32_t size = in_.integer();
    if (in_.byte() & 1) {
      if (dispatch(effSetBlockSizeAndSampleRate, 0, size, nullptr, in_.rate()) != 1) {
        fail("effSetBlockSizeAndSampleRate did not answer 1");
      }
    } else {
      dispatch(effSetBlockSize, 0, size);
    }
  }

  // Every value of the current program reads back as sent, and the program is the one the
  // requests selected.
  void checkState() {
    if (dispatch(effGetProgram) != expected_.current) {
      fail("effGetProgram answers another program");
      return;
    }
    for (int32_t id = 0; id < kNumParams; ++id) {
      if (!sameValue(effect_->getParameter(effect_, id), expected_.values[expected_.current][id])) {
        fail("parameter " + std::to_string(id) + " lost its value");
        return;
      }
    }
  }

  void readAllTexts() {
    for (int32_t index = -1; index <= kNumParams; ++index) {
      for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        std::vector<char> text(bufferSizeFor(opcode), static_cast<char>(kUntouched));
        dispatch(opcode, index, 0, text.data());
        checkText(opcode, text, isParamIndex(index));
      }
    }
  }

  // A text the plug-in wrote ends inside the buffer; one it should not write is untouched.
  void checkText(int32_t opcode, const std::vector<char>& text, bool written) {
    const bool untouched = std::all_of(text.begin(), text.end(), [](char c) {
      return static_cast<uint8_t>(c) == kUntouched;
    });
    if (!written) {
      if (!untouched) fail("opcode " + std::to_string(opcode) + " wrote an unasked text");
      return;
    }
    if (std::memchr(text.data(), '\0', text.size()) == nullptr) {
      fail("opcode " + std::to_string(opcode) + " left a text without its end");
    }
  }

  // --- Dispatcher -------------------------------------------------------------------------

  void dispatchRequest() {
    const uint8_t b = in_.byte();
    const int32_t opcode = b < 0xF0 ? b % 72 : static_cast<int32_t>(in_.word());
    const int32_t index = in_.integer();
    const intptr_t value = in_.integer();
    const uint8_t pointerKind = in_.byte() % 3;
    const float opt = in_.real();

    switch (opcode) {
      case effClose: reopen(); return;
      case effSetProgram: setProgram(value); return;
      default: break;
    }

    // The editor gets no parent window (it then opens without a system window).
    const size_t size = bufferSizeFor(opcode);
    std::vector<char> buffer(size, static_cast<char>(kUntouched));
    const bool withBuffer = pointerKind == 1 && size > 0;
    void* ptr = nullptr;
    if (withBuffer) {
      fillRequestBuffer(opcode, buffer);
      ptr = buffer.data();
    } else if (pointerKind == 2 && size == 0 && opcode != effEditOpen) {
      // A request that takes no pointer must not follow one.
      ptr = reinterpret_cast<void*>(static_cast<uintptr_t>(0x10));
    }
    const std::vector<char> before = buffer;
    const intptr_t answer = dispatch(opcode, index, value, ptr, opt);
    if (withBuffer) {
      checkAnswer(opcode, index, answer, before, buffer);
    } else if (opcode == effCopyProgram) {
      noteProgramChange(opcode, index, answer, nullptr);
    }
  }

  void fillRequestBuffer(int32_t opcode, std::vector<char>& buffer) {
    if (opcode == effSetProgramName) {
      // Any 32 bytes, terminated or not: the plug-in keeps at most 31 characters.
      for (char& c : buffer) c = static_cast<char>(in_.byte());
    } else if (readsText(opcode)) {
      for (size_t i = 0; i + 1 < buffer.size(); ++i) {
        buffer[i] = static_cast<char>(in_.byte());
        if (buffer[i] == '\0') break;
      }
      buffer.back() = '\0';
    } else if (opcode == effProcessEvents || opcode == effGetChunk || opcode == effEditGetRect) {
      // Records and pointers the host fills: empty event list, null pointers.
      std::fill(buffer.begin(), buffer.end(), '\0');
    }
  }

  void noteProgramChange(int32_t opcode, int32_t index, intptr_t answer, const char* name) {
    if (opcode == effCopyProgram) {
      const bool valid = isProgramIndex(index);
      if (answer != (valid ? 1 : 0)) fail("effCopyProgram answered " + std::to_string(answer));
      if (!valid) return;
      std::memcpy(expected_.values[index], expected_.values[expected_.current],
                  sizeof expected_.values[index]);
      std::memcpy(expected_.names[index], expected_.names[expected_.current], kProgramNameSize);
    } else if (opcode == effSetProgramName && name) {
      char* stored = expected_.names[expected_.current];
      std::memset(stored, 0, kProgramNameSize);
      for (int32_t i = 0; i < kProgramNameSize - 1 && name[i] != '\0'; ++i) stored[i] = name[i];
    }
  }

  void checkAnswer(int32_t opcode, int32_t index, intptr_t answer,
                   const std::vector<char>& before, const std::vector<char>& after) {
    if (opcode == effSetProgramName || opcode == effCopyProgram) {
      noteProgramChange(opcode, index, answer, before.data());
      return;
    }
    if (opcode == effGetInputProperties || opcode == effGetOutputProperties) {
      checkPinProperties(opcode, index, answer, before, after);
      return;
    }
    if (!writesText(opcode)) return;
    bool written = true;
    if (opcode == effGetParamLabel || opcode == effGetParamDisplay || opcode == effGetParamName) {
      written = isParamIndex(index);
    } else if (opcode == effGetProgramNameIndexed) {
      written = isProgramIndex(index);
      if (answer != (written ? 1 : 0)) fail("effGetProgramNameIndexed answered wrongly");
      if (written && std::strcmp(after.data(), expected_.names[index]) != 0) {
        fail("program " + std::to_string(index) + " lost its name");
      }
    } else if (opcode == effGetErrorText) {
      written = answer != 0;
    }
    if (opcode == effGetProgramName) checkProgramName(after.data());
    checkText(opcode, after, written);
  }

  void checkProgramName(const char* answer) {
    const char* stored = expected_.names[expected_.current];
    char want[kProgramNameSize + 16];
    if (std::strcmp(stored, "Init") == 0) {
      std::snprintf(want, sizeof want, "Init %d", static_cast<int>(expected_.current + 1));
    } else {
      std::snprintf(want, sizeof want, "%s", stored);
    }
    if (std::strncmp(answer, want, kProgramNameSize) != 0) fail("the program name changed");
  }

  void checkPinProperties(int32_t opcode, int32_t index, intptr_t answer,
                          const std::vector<char>& before, const std::vector<char>& after) {
    const bool valid = index == 0 || index == 1;
    if (answer != (valid ? 1 : 0)) fail("pin properties answered " + std::to_string(answer));
    VstPinProperties want;
    std::memcpy(&want, before.data(), sizeof want);
    if (valid) {
      std::memset(want.label, 0, sizeof want.label);
      std::snprintf(want.label, sizeof want.label,
                    opcode == effGetInputProperties ? "Kestrane %d In" : "Kestrane %d Out",
                    index + 1);
      want.flags = kVstPinIsActive | kVstPinIsStereo;
    }
    VstPinProperties got;
    std::memcpy(&got, after.data(), sizeof got);
    const size_t compared = valid ? std::strlen(want.label) + 1 : sizeof got.label;
    const bool labelOk = std::memcmp(got.label, want.label, compared) == 0;
    const bool restOk = std::memcmp(reinterpret_cast<const char*>(&got) + sizeof got.label,
                                    reinterpret_cast<const char*>(&want) + sizeof want.label,
                                    sizeof got - sizeof got.label) == 0;
    if (!labelOk || !restOk) fail("pin properties written outside label and flags");
  }

  // --- Audio ------------------------------------------------------------------------------

  struct Block {
    std::vector<float> in[2], out[2];
  };

  void fillSignal(Block& block, int32_t frames) {
    const uint8_t kind = in_.byte() % 8;
    const float amplitude = kind == 1 || kind == 2 || kind == 3 ? in_.real() : 0.0f;
    const int32_t period = kind == 2 || kind == 4 ? in_.byte() + 1 : 1;
    for (int32_t ch = 0; ch < 2; ++ch) {
      std::vector<float>& x = block.in[ch];
      for (int32_t i = 0; i < frames; ++i) {
        switch (kind) {
          case 0: x[i] = fromBits(in_.word()); break;
          case 1: x[i] = amplitude; break;
          case 2: x[i] = (i / period) % 2 ? -amplitude : amplitude; break;
          case 3: x[i] = amplitude * static_cast<float>(std::sin(0.05 * i + ch)); break;
          case 4:
            x[i] = fromBits(kSpecialRealBits[(static_cast<size_t>(period) + i) %
                                             countOf(kSpecialRealBits)]);
            break;
          case 5: x[i] = 0.0f; break;
          case 6: x[i] = fromBits(0x00000001u + static_cast<uint32_t>(i)); break;
          case 7: x[i] = i % 2 ? -1.0f : 1.0f; break;
        }
      }
    }
  }

  // Reads the block's shape and signal; answers false when the block cannot be offered (the
  // frame budget is spent, or an accumulating block longer than any buffer this host makes).
  bool prepareBlock(Block& block, int32_t& frames, uint8_t& arrangement, bool accumulating) {
    frames = in_.frames();
    // Buffers as long as the block; refused lengths get a few samples, to see that nothing is
    // touched.
    const bool buffered = frames > 0 && frames <= kLongestBuffer;
    if (accumulating && frames > kLongestBuffer) return false;
    const int32_t allocated = buffered ? frames : 16;
    if (framesUsed_ + allocated > kFrameBudget) return false;
    framesUsed_ += allocated;
    for (int32_t ch = 0; ch < 2; ++ch) {
      block.in[ch].assign(static_cast<size_t>(allocated), 0.0f);
      block.out[ch].assign(static_cast<size_t>(allocated), 0.25f);
    }
    fillSignal(block, allocated);
    arrangement = in_.byte();
    return true;
  }

  // The channel pointers the host passes: separate buffers or in place, and sometimes missing
  // channels or no arrays at all.
  struct Pointers {
    float* in[2];
    float* out[2];
    float** inputs;
    float** outputs;
    bool complete;
  };

  static Pointers pointersFor(Block& block, uint8_t arrangement) {
    Pointers p{};
    const bool inPlace = arrangement & 1;
    for (int32_t ch = 0; ch < 2; ++ch) {
      p.in[ch] = block.in[ch].data();
      p.out[ch] = inPlace ? block.in[ch].data() : block.out[ch].data();
    }
    if (arrangement & 2) p.out[1] = nullptr;
    if (arrangement & 4) p.in[0] = nullptr;
    p.inputs = (arrangement & 8) ? nullptr : p.in;
    p.outputs = (arrangement & 16) ? nullptr : p.out;
    p.complete = (arrangement & (2 | 4 | 8 | 16)) == 0;
    return p;
  }

  void processReplacing() {
    Block block;
    int32_t frames = 0;
    uint8_t arrangement = 0;
    if (!prepareBlock(block, frames, arrangement, false)) return;
    const Block before = block;
    Pointers p = pointersFor(block, arrangement);
    effect_->processReplacing(effect_, p.inputs, p.outputs, frames);

    const bool processed = p.complete && frames > 0 && frames <= kLargestBlock;
    if (!processed) {
      if (!sameBlock(block, before)) fail("a refused block touched the buffers");
      return;
    }
    for (int32_t ch = 0; ch < 2; ++ch) {
      for (int32_t i = 0; i < frames; ++i) {
        if (!std::isfinite(p.out[ch][i])) {
          fail("output not finite after " + std::to_string(framesUsed_) + " frames");
          return;
        }
      }
    }
  }

  void processAccumulating() {
    Block block;
    int32_t frames = 0;
    uint8_t arrangement = 0;
    if (!prepareBlock(block, frames, arrangement, true)) return;
    arrangement &= static_cast<uint8_t>(~1u);  // accumulating in place means output = 2 x input
    const Block before = block;
    Pointers p = pointersFor(block, arrangement);
    effect_->process(effect_, p.inputs, p.outputs, frames);

    const bool processed = p.complete && frames > 0;
    if (!processed) {
      if (!sameBlock(block, before)) fail("a refused accumulating block touched the buffers");
      return;
    }
    for (int32_t ch = 0; ch < 2; ++ch) {
      for (int32_t i = 0; i < frames; ++i) {
        const float want = before.out[ch][i] + before.in[ch][i];
        if (!sameValue(block.out[ch][i], want)) {
          fail("the accumulating entry did not add the input");
          return;
        }
      }
    }
  }

  static bool sameBlock(const Block& a, const Block& b) {
    for (int32_t ch = 0; ch < 2; ++ch) {
      if (a.in[ch].size() != b.in[ch].size() || a.out[ch].size() != b.out[ch].size()) return false;
      if (std::memcmp(a.in[ch].data(), b.in[ch].data(), a.in[ch].size() * sizeof(float)) != 0 ||
          std::memcmp(a.out[ch].data(), b.out[ch].data(), a.out[ch].size() * sizeof(float)) != 0) {
        return false;
      }
    }
    return true;
  }

  // --- Lifetime ---------------------------------------------------------------------------

  void reopen() {
    if (reopens_ >= kReopenBudget) return;
    ++reopens_;
    const intptr_t answer = dispatch(effClose);
    effect_ = nullptr;
    if (answer != 1) fail("effClose answered " + std::to_string(answer));
    open();
  }

  ByteReader in_;
  AEffect* effect_ = nullptr;
  Expected expected_;
  std::string finding_;
  int64_t framesUsed_ = 0;
  int32_t reopens_ = 0;
};

}  // namespace

std::string runDispatcherInput(const uint8_t* data, size_t size) {
  Driver driver(data, size);
  return driver.run();
}

}  // namespace kestrane::fuzz
