// The fuzzer's corpus and every input that once found a fault, replayed through the same
// driver in the ordinary test run (with whatever sanitizer the build carries).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/DispatcherFuzzer.h"

namespace kestrane::fuzz {
namespace {

std::filesystem::path fuzzFolder() {
  std::string path = std::string(KESTRANE_SOURCE_DIR) + "/tests/fuzz";
#ifdef _WIN32
  if (path[0] == '/') path = "Z:" + path;  // under wine, the root directory's drive
#endif
  return std::filesystem::path(path);
}

std::vector<uint8_t> readFile(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(stream), {});
}

// Replays every file of one folder; answers how many there were.
size_t replayFolder(const std::filesystem::path& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
    const std::vector<uint8_t> input = readFile(entry.path());
    EXPECT_EQ(runDispatcherInput(input.data(), input.size()), "")
        << "input " << entry.path().filename().string();
    ++count;
  }
  return count;
}

TEST(DispatcherFuzzInputs, Regressions) {
  const std::filesystem::path folder = fuzzFolder() / "regressions" / "dispatcher";
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder.string();
  replayFolder(folder);
}

TEST(DispatcherFuzzInputs, Corpus) {
  EXPECT_GT(replayFolder(fuzzFolder() / "corpus" / "dispatcher"), 0u);
}

TEST(DispatcherFuzzInputs, EmptyInputOpensAndClosesOneInstance) {
  EXPECT_EQ(runDispatcherInput(nullptr, 0), "");
}

}  // namespace
}  // namespace kestrane::fuzz
