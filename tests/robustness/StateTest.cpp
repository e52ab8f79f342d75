// The host's save and restore: without chunks, a host keeps each program as its 49 parameter
// values and its name, read through getParameter and effGetProgramName, and restores them into
// a new instance with effSetProgram, effSetProgramName and setParameter. Every program must come
// back with the same values (bit for bit), the same name and the same sound.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "params/Programs.h"
#include "robustness/RobustnessSupport.h"

namespace kestrane::robustness {
namespace {

struct SavedProgram {
  std::array<float, kNumParams> values;
  std::string name;
};

// The user's session before the save: every program edited, some far outside 0..1, and names
// that test the edges (an "Init" program reads with its number; 31 characters is the most kept).
void editEveryProgram(Effect& fx) {
  test::Noise gen(2024);
  for (int32_t p = 0; p < kNumPrograms; ++p) {
    fx.setProgram(p);
    for (int32_t k = 0; k < 6; ++k) {
      const auto id = static_cast<int32_t>(gen.next() % kNumParams);
      fx.setParameter(id, static_cast<float>(gen.next() % 1001) / 1000.0f);
    }
  }
  fx.setProgram(3);
  fx.setParameter(CompRatioLF, 1.75f);
  fx.setParameter(GainHF, -0.5f);
  char init[] = "Init";
  fx.dispatch(effSetProgramName, 0, 0, init);
  fx.setProgram(12);
  char longest[] = "A name of thirty-one characters";
  fx.dispatch(effSetProgramName, 0, 0, longest);
}

std::vector<SavedProgram> save(Effect& fx) {
  std::vector<SavedProgram> bank(kNumPrograms);
  for (int32_t p = 0; p < kNumPrograms; ++p) {
    fx.setProgram(p);
    for (int32_t id = 0; id < kNumParams; ++id) bank[p].values[id] = fx.getParameter(id);
    bank[p].name = fx.text(effGetProgramName);
  }
  return bank;
}

void restore(Effect& fx, const std::vector<SavedProgram>& bank) {
  for (int32_t p = 0; p < kNumPrograms; ++p) {
    fx.setProgram(p);
    std::vector<char> name(bank[p].name.begin(), bank[p].name.end());
    name.push_back('\0');
    fx.dispatch(effSetProgramName, 0, 0, name.data());
    for (int32_t id = 0; id < kNumParams; ++id) fx.setParameter(id, bank[p].values[id]);
  }
}

TEST(SaveAndRestore, EveryProgramComesBackWithItsValuesNameAndSound) {
  Effect original(openFromLibrary());
  ASSERT_TRUE(original.valid());
  editEveryProgram(original);
  const std::vector<SavedProgram> bank = save(original);
  EXPECT_EQ(bank[3].name, "Init 4");
  EXPECT_EQ(bank[12].name, "A name of thirty-one characters");

  Effect restored(openFromLibrary());
  ASSERT_TRUE(restored.valid());
  restore(restored, bank);

  // Neither instance has played yet; from here both hear the same audio in the same order.
  const test::StereoSignal in = test::programMaterial(44100.0, 0.75);
  for (int32_t p = 0; p < kNumPrograms; ++p) {
    SCOPED_TRACE("program " + std::to_string(p));
    original.setProgram(p);
    restored.setProgram(p);
    EXPECT_EQ(restored.text(effGetProgramName), bank[p].name);
    for (int32_t id = 0; id < kNumParams; ++id) {
      const float a = original.getParameter(id), b = restored.getParameter(id);
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "parameter " << id;
      EXPECT_EQ(restored.text(effGetParamDisplay, id), original.text(effGetParamDisplay, id));
    }
    EXPECT_EQ(largestDifference(restored.process(in), original.process(in), 0), 0.0f);
  }
}

// A program named "Init" is saved under its numbered name and comes back under it: the host
// shows the same name, though the stored name now carries the number.
TEST(SaveAndRestore, AnInitProgramKeepsTheNameTheHostShowed) {
  Effect original(openFromLibrary()), restored(openFromLibrary());
  ASSERT_TRUE(original.valid() && restored.valid());
  original.setProgram(5);
  char init[] = "Init";
  original.dispatch(effSetProgramName, 0, 0, init);
  restore(restored, save(original));
  restored.setProgram(5);
  EXPECT_EQ(restored.text(effGetProgramName), "Init 6");
  EXPECT_EQ(restored.text(effGetProgramNameIndexed, 5), "Init 6");
  EXPECT_EQ(original.text(effGetProgramNameIndexed, 5), "Init");
}

}  // namespace
}  // namespace kestrane::robustness
