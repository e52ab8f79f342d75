// What the X11 editor shows, read back from the server, is what `kestrane snapshot` draws for
// the same state: every factory program on both pages, after a change of program while open
// (only the changed parts are sent), after another window covered it (exposures), and through
// the plain image transfer as through shared memory.
#include <cstdlib>
#include <string>
#include <vector>

#include "X11EditorSupport.h"
#include "X11Snapshot.h"

namespace kestrane {
namespace {

using testing::differences;
using testing::X11Editor;

class X11Picture : public X11Editor {
 protected:
  void SetUp() override {
    X11Editor::SetUp();
    tool = testing::snapshotTool();
    if (tool.empty()) {
      GTEST_SKIP() << "KESTRANE_SNAPSHOT names no `kestrane` command to draw the expected pictures "
                      "(scripts/test-all.sh x11 gives it)";
    }
  }
  // The software backend's picture of the editor on a program and page.
  std::vector<platform::ColorRef> snapshot(int program, int page) {
    return testing::snapshot(tool, program, page, kWidth, kHeight);
  }
  void showPage(int page) {
    set(DisplayMode, static_cast<float>(page));
    settle();
  }
  std::string tool;
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
