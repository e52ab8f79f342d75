// Drag and drop onto the open editor: text and files reach the frame and the view under the
// drop point; no control of the editor takes them, so they change nothing. On Windows the drags
// are real OLE drags through the frame window's registered drop target, which also resolves
// shell shortcuts and answers the drag with a copy or a move.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "platform/TestDrop.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::EditorHostLog;
using testing::layoutIndex;
using testing::rowOf;
namespace testdrop = platform::testdrop;

// A view that takes every drop and keeps what it got.
struct DropLog {
  int drops = 0;
  long type = -1;
  long count = 0;
  std::vector<std::string> items;
  Point where;
};

class DropCatcher : public View {
 public:
  DropCatcher(const Rect& area, DropLog& log) : View(area), log_(log) {}
  bool onDrop(void** items, long count, long type, Point& where) override {
    ++log_.drops;
    log_.type = type;
    log_.count = count;
    log_.where = where;
    log_.items.clear();
    const long names = type == 0 ? count : 1;
    for (long i = 0; i < names; ++i) log_.items.emplace_back(static_cast<const char*>(items[i]));
    return true;
  }

 private:
  DropLog& log_;
};

class EditorDrops : public testing::OpenEditor {
 protected:
  std::vector<float> parameters() {
    std::vector<float> values;
    for (int32_t index = 0; index < kNumParams; ++index) values.push_back(get(index));
    return values;
  }
  std::string scratchFile(const std::string& name) {
    const std::string path = testdrop::scratchFolder() + name;
    std::ofstream(path) << "Kestrane drop test\n";
    return path;
  }
  // A view taking drops laid over the lookahead readout.
  void addCatcher() {
    const layout::Box& box = layout::kControls[layoutIndex(Role::LookaheadReadout, -1)].rect;
    ASSERT_TRUE(frame()->addView(new DropCatcher(Rect(box.left, box.top, box.right, box.bottom),
                                                 log)));
  }
  platform::Position catcherPoint() const {
    return centreOf(layoutIndex(Role::LookaheadReadout, -1));
  }
  DropLog log;
};

TEST_F(EditorDrops, TextAndFilesDroppedOnTheControlsChangeNothing) {
  const std::vector<float> before = parameters();
  const platform::Position onKnob = centreOf(layoutIndex(Role::GainKnob, rowOf(BandLF)));
  const testdrop::Outcome textDrop = testdrop::dragText(window(), onKnob, "12.5");
  EXPECT_TRUE(textDrop.dropped);
  EXPECT_EQ(textDrop.dropEffect, testdrop::EffectNone);  // nobody took it
  const std::string file = scratchFile("kestrane-drop.txt");
  const platform::Position onReadout = centreOf(layoutIndex(Role::BandReadout, 0, 0));
  const testdrop::Outcome files = testdrop::dragFiles(window(), onReadout, {file});
  EXPECT_TRUE(files.dropped);
  EXPECT_EQ(files.dropEffect, testdrop::EffectNone);
  EXPECT_EQ(parameters(), before);
  EXPECT_TRUE(EditorHostLog::automations().empty());
  // The editor goes on working.
  set(GainLF, 0.0f);
  EXPECT_EQ(text(layoutIndex(Role::GainReadout, rowOf(BandLF))), "-inf");
}

TEST_F(EditorDrops, TheViewUnderTheDropPointGetsTheTextAndTheNames) {
  addCatcher();
  const testdrop::Outcome textDrop = testdrop::dragText(window(), catcherPoint(), "-12 dB");
  ASSERT_EQ(log.drops, 1);
  EXPECT_EQ(log.type, 1);
  EXPECT_GE(log.count, 7);  // the size of the block holding the text and its terminator
  EXPECT_EQ(log.items, (std::vector<std::string>{"-12 dB"}));
  EXPECT_EQ(log.where.h, catcherPoint().x);
  EXPECT_EQ(log.where.v, catcherPoint().y);
  EXPECT_EQ(textDrop.dropEffect, testdrop::EffectCopy);  // taken, and never as a move

  const std::vector<std::string> names = {scratchFile("kestrane-one.wav"),
                                          scratchFile("kestrane-two.wav")};
  testdrop::dragFiles(window(), catcherPoint(), names);
  ASSERT_EQ(log.drops, 2);
  EXPECT_EQ(log.type, 0);
  EXPECT_EQ(log.count, 2);
  EXPECT_EQ(log.items, names);
}

TEST_F(EditorDrops, AShortcutArrivesAsItsTargetsShortPath) {
  if (!testdrop::realDrags()) GTEST_SKIP() << "shortcuts are the shell's";
  addCatcher();
  const std::string target = scratchFile("Kestrane drop target with a long name.txt");
  const std::string shortcut = testdrop::scratchFolder() + "Kestrane Target Shortcut.LNK";
  ASSERT_TRUE(testdrop::createShortcut(shortcut, target));
  const std::string expected = testdrop::shortPath(target);
  ASSERT_FALSE(expected.empty());
  // A file named like a shortcut that is none passes under its own name.
  const std::string fake = scratchFile("not really a shortcut.lnk");
  testdrop::dragFiles(window(), catcherPoint(), {shortcut, fake});
  ASSERT_EQ(log.drops, 1);
  EXPECT_EQ(log.items, (std::vector<std::string>{expected, fake}));
}

TEST_F(EditorDrops, ANameTooLongForItsBufferIsLeftOutNotCut) {
  if (!testdrop::realDrags()) GTEST_SKIP() << "the software backend hands names over as given";
  addCatcher();
  const std::string first = scratchFile("kestrane-first.wav");
  const std::string last = scratchFile("kestrane-last.wav");
  const std::string tooLong = testdrop::scratchFolder() + std::string(1100, 'x') + ".wav";
  testdrop::dragFiles(window(), catcherPoint(), {first, tooLong, last});
  ASSERT_EQ(log.drops, 1);
  EXPECT_EQ(log.count, 2);
  EXPECT_EQ(log.items, (std::vector<std::string>{first, last}));
}

TEST_F(EditorDrops, TheDragShowsACopyWithControlHeldAndAMoveWithout) {
  if (!testdrop::realDrags()) GTEST_SKIP() << "no drag feedback without the system";
  EXPECT_EQ(testdrop::dragText(window(), catcherPoint(), "move").hoverEffect,
            testdrop::EffectMove);
  EXPECT_EQ(testdrop::dragText(window(), catcherPoint(), "copy", platform::ControlBit).hoverEffect,
            testdrop::EffectCopy);
  // Data with neither text nor files is refused all along.
  addCatcher();
  const testdrop::Outcome other = testdrop::dragOtherData(window(), catcherPoint());
  EXPECT_EQ(other.hoverEffect, testdrop::EffectNone);
  EXPECT_EQ(log.drops, 0);
}

TEST_F(EditorDrops, AHostThatDestroysItsWindowFirstLeavesNoDropTargetAndALaterOpenWorks) {
  const int targetsBefore = testdrop::liveDropTargets();
  const int classUses = platform::windowClassUseCount();
  ASSERT_GE(targetsBefore, 1);
  // A readout's edit field is open when the host's window goes.
  click(layoutIndex(Role::GainReadout, rowOf(BandLF)));
  platform::testhost::destroyHostWindow(host);
  host = nullptr;
  // The registration went with the window, not later on a window that no longer exists.
  EXPECT_EQ(testdrop::liveDropTargets(), targetsBefore - 1);
  effect->dispatch(effEditIdle);
  effect->dispatch(effEditClose);
  EXPECT_EQ(editor()->getFrame(), nullptr);
  EXPECT_EQ(testdrop::liveDropTargets(), targetsBefore - 1);
  EXPECT_EQ(platform::windowClassUseCount(), classUses - 1);

  // The host opens the editor again in a new window: it draws, takes clicks and drops.
  host = platform::testhost::createHostWindow(kHostX, kHostY, layout::kEditorWidth,
                                              layout::kEditorHeight);
  ASSERT_TRUE(open());
  EXPECT_EQ(testdrop::liveDropTargets(), targetsBefore);
  EXPECT_FALSE(frame()->isFirstDraw());
  set(EnableLF, 1.0f);
  click(layoutIndex(Role::EnableButton, rowOf(BandLF)));
  EXPECT_EQ(get(EnableLF), 0.0f);
  addCatcher();
  EXPECT_TRUE(testdrop::dragText(window(), catcherPoint(), "again").dropped);
  EXPECT_EQ(log.items, (std::vector<std::string>{"again"}));
}

}  // namespace
}  // namespace kestrane
