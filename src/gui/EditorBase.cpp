#include "gui/EditorBase.h"

#include "gui/Frame.h"
#include "platform/Platform.h"

namespace kestrane {

int32_t KnobMode = 0;

namespace {
// pumpIdle pacing, in milliseconds.
constexpr uint32_t kSleepBelow = 100;  // passes closer than this to the last full one sleep
constexpr uint32_t kPollSleep = 4;
constexpr uint32_t kFullPassEvery = 50;  // paint messages and host idle at most this often
}  // namespace

EditorBase::EditorBase(EditorHost* editorHost) : host(editorHost) {
  lastIdleTick = platform::tickCount();
  platform::initializeOle();
}

EditorBase::~EditorBase() { platform::uninitializeOle(); }

int32_t EditorBase::open(void* window) {
  postUpdate();
  systemWindow = window;
  return 0;
}

void EditorBase::close() {}

void EditorBase::idle() {
  if (inIdle) return;
  if (updateFlag) {
    updateFlag = false;
    update();
  }
  if (frame != nullptr) frame->idle();
}

int32_t EditorBase::setKnobMode(int32_t mode) {
  KnobMode = mode;
  return 1;
}

bool EditorBase::onWheel(float distance) {
  if (frame == nullptr) return false;
  Point origin(0, 0);
  return frame->onWheel(nullptr, origin, distance);
}

void EditorBase::setParameter(int32_t, float) { postUpdate(); }

void EditorBase::draw(Rect*) {
  if (frame != nullptr) frame->redrawView(nullptr);
}

void EditorBase::pumpIdle() {
  // Tick differences rather than sums, so the pacing survives the counter's wrap-around.
  uint32_t now = platform::tickCount();
  idle();
  if (now - lastIdleTick < kSleepBelow) {
    platform::sleep(kPollSleep);
    now += kPollSleep;
    if (now - lastIdleTick < kFullPassEvery) return;
  }
  platform::dispatchPendingPaint();
  lastIdleTick = now;
  inIdle = true;
  if (host != nullptr) host->hostIdle();
  inIdle = false;
}

}  // namespace kestrane
