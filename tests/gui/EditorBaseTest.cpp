// The toolkit's editor base on both backends: registration with the effect, the host's size
// request, the knob mode, and idle running the frame's redraw unless the host's idle is in
// progress.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"

namespace kestrane {
namespace {

using testing::HostLog;
using testing::TestEditor;
using testing::TestEffect;

TEST(EditorBaseRegistration, TheEffectOwnsTheEditorAndAnnouncesIt) {
  HostLog::reset();
  auto* effect = new TestEffect;
  EXPECT_EQ(effect->getAeffect()->flags & effFlagsHasEditor, 0);
  auto* editor = new TestEditor(effect, 640, 489);
  EXPECT_NE(effect->getAeffect()->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  EXPECT_EQ(editor->getRect(&rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 640);
  EXPECT_EQ(rect->bottom, 489);
  EXPECT_EQ(editor->getEffect(), effect);
  delete effect;  // deletes the editor too
  EXPECT_TRUE(HostLog::editorDeleted);
}

TEST(EditorBaseRequests, KnobModeWheelAndDrawWithoutAWindow) {
  auto* effect = new TestEffect;
  auto* editor = new TestEditor(effect, 100, 100);
  EXPECT_EQ(editor->setKnobMode(2), 1);
  EXPECT_EQ(KnobMode, 2);
  editor->setKnobMode(0);
  EXPECT_FALSE(editor->onWheel(1.0f));  // no frame yet
  editor->draw(nullptr);
  EXPECT_EQ(editor->EditorBase::open(nullptr), 0);
  editor->idle();  // the update posted by open runs
  EXPECT_EQ(editor->updates, 1);
  editor->setParameter(3, 0.5f);
  editor->idle();
  EXPECT_EQ(editor->updates, 2);
  delete effect;
}

TEST(EditorBaseIdle, DoesNothingWhileTheHostsIdleIsRunning) {
  HostLog::reset();
  auto* effect = new TestEffect;
  auto* editor = new TestEditor(effect, 100, 100);
  HostLog::editorToIdle = editor;
  // pumpIdle asks the host for idle at most every 50 ms and sleeps 4 ms per pass in between.
  for (int i = 0; i < 60 && HostLog::idleRequests == 0; ++i) editor->pumpIdle();
  ASSERT_EQ(HostLog::idleRequests, 1);
  // The host's nested idle found the editor busy and left the update it posted pending.
  EXPECT_EQ(HostLog::nestedUpdatesWhileInIdle, 0);
  EXPECT_EQ(editor->updates, 0);
  HostLog::editorToIdle = nullptr;
  editor->idle();
  EXPECT_EQ(editor->updates, 1);
  delete effect;
}

}  // namespace
}  // namespace kestrane
