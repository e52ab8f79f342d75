// What the X11 editor shows, read back from the server, is what `kestrane snapshot` draws for
// the same state: every factory program on both pages, after a change of program while open
// (only the changed parts are sent), after another window covered it (exposures), and through
// the plain image transfer as through shared memory.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "X11EditorSupport.h"

namespace kestrane {
namespace {

using testing::X11Editor;

// A PNG file's pixels as ColorRef values; false when it cannot be read.
bool readPng(const std::string& path, int& width, int& height,
             std::vector<platform::ColorRef>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> data(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, data.data(), 0, nullptr) == 0) return false;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  pixels.clear();
  for (std::size_t i = 0; i + 2 < data.size(); i += 3) {
    pixels.push_back(data[i] | data[i + 1] << 8 | static_cast<platform::ColorRef>(data[i + 2]) << 16);
  }
  return true;
}

class X11Picture : public X11Editor {
 protected:
  void SetUp() override {
    X11Editor::SetUp();
    const char* tool = std::getenv("KESTRANE_SNAPSHOT");
    if (tool == nullptr || *tool == '\0') {
      GTEST_SKIP() << "KESTRANE_SNAPSHOT names no `kestrane` command to draw the expected pictures "
                      "(scripts/test-all.sh x11 gives it)";
    }
    snapshotTool = tool;
  }
  // The software backend's picture of the editor on a program and page.
  std::vector<platform::ColorRef> snapshot(int program, int page) {
    const std::string file = ::testing::TempDir() + "kestrane-x11-expected.png";
    const std::string command = "'" + snapshotTool + "' snapshot '" + file + "' --program " +
                                std::to_string(program) + " --page " +
                                (page == 0 ? "compressor" : "expander") + " > /dev/null";
    std::vector<platform::ColorRef> pixels;
    int width = 0;
    int height = 0;
    if (std::system(command.c_str()) != 0 || !readPng(file, width, height, pixels) ||
        width != kWidth || height != kHeight) {
      ADD_FAILURE() << "no snapshot from: " << command;
      pixels.clear();
    }
    std::remove(file.c_str());
    return pixels;
  }
  void showPage(int page) {
    set(DisplayMode, static_cast<float>(page));
    settle();
  }
  static int differences(const std::vector<platform::ColorRef>& shown,
                         const std::vector<platform::ColorRef>& expected) {
    if (shown.size() != expected.size()) return -1;
    int count = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) count += shown[i] != expected[i] ? 1 : 0;
    return count;
  }

  std::string snapshotTool;
};

TEST_F(X11Picture, EveryFactoryProgramOnBothPagesShowsAsTheSnapshotDrawsIt) {
  for (int program = 0; program < effect->numPrograms; ++program) {
    dispatch(effSetProgram, program);
    ASSERT_TRUE(open());
    for (int page = 0; page < 2; ++page) {
      SCOPED_TRACE("program " + std::to_string(program) + ", page " + std::to_string(page));
      showPage(page);
      EXPECT_EQ(differences(picture(), snapshot(program, page)), 0);
    }
    dispatch(effEditClose);
  }
}

TEST_F(X11Picture, AProgramChangedWhileOpenRedrawsToItsPicture) {
  ASSERT_TRUE(open());
  EXPECT_EQ(differences(picture(), snapshot(0, 0)), 0);
  dispatch(effSetProgram, 6);
  settle();
  EXPECT_EQ(differences(picture(), snapshot(6, 0)), 0);
}

TEST_F(X11Picture, AWindowThatCoveredTheEditorLeavesItWhole) {
  ASSERT_TRUE(open());
  const std::vector<platform::ColorRef> before = picture();
  void* cover = testx11::createHostWindow(kHostX + 100, kHostY + 80, 300, 200);
  settle();
  EXPECT_NE(picture(), before);
  testx11::destroyHostWindow(cover);
  settle();
  EXPECT_EQ(differences(picture(), before), 0);
  EXPECT_EQ(differences(before, snapshot(0, 0)), 0);
}

TEST_F(X11Picture, WithoutSharedMemoryThePlainTransferShowsTheSame) {
  setenv("KESTRANE_X11_SHM", "0", 1);
  const bool opened = open();
  unsetenv("KESTRANE_X11_SHM");
  ASSERT_TRUE(opened);
  showPage(1);
  EXPECT_EQ(differences(picture(), snapshot(0, 1)), 0);
}

}  // namespace
}  // namespace kestrane
