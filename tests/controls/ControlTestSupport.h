// Helpers of the control tests, the same on both backends: a host that records the edit
// bracket and plays the scripted user's moves at its idle time, an editor with a frame in a
// host window, a listener that records what it hears, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "GuiTestSupport.h"
#include "gui/Bitmap.h"
#include "gui/Control.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "platform/TestHost.h"
#include "platform/TestUser.h"
#include "shell/AudioEffect.h"
#include "shell/VstAbi.h"
#include "shell/VstEditor.h"

namespace kestrane {
namespace testuser = platform::testuser;
}  // namespace kestrane

namespace kestrane::testing {

// What the host was asked. Cleared by every fixture.
struct HostCalls {
  struct Edit {
    int32_t opcode;
    int32_t index;
  };
  static inline std::vector<Edit> edits;  // audioMasterBeginEdit / audioMasterEndEdit in order
  static inline int idles = 0;
  // Run at the host's idle time, after the scripted user's next move (may be empty).
  static inline std::function<void()> onIdle;
  static void clear() {
    edits.clear();
    idles = 0;
    onIdle = nullptr;
  }
  static int count(int32_t opcode) {
    int n = 0;
    for (const Edit& e : edits) n += e.opcode == opcode ? 1 : 0;
    return n;
  }
};

inline intptr_t KESTRANE_VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index,
                                                   intptr_t, void*, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterIdle:
      ++HostCalls::idles;
      testuser::nextMove();
      if (HostCalls::onIdle) HostCalls::onIdle();
      return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      HostCalls::edits.push_back({opcode, index});
      return 1;
    default:
      return 0;
  }
}

class HostedEffect : public AudioEffect {
 public:
  HostedEffect() : AudioEffect(recordingHost, 1, 1) {}
  void process(float**, float**, int32_t) override {}
};

// An editor whose open builds a frame of its size in the host's window.
class FrameEditorContent : public EditorBase {
 public:
  FrameEditorContent(EditorHost* owner, int32_t width, int32_t height) : EditorBase(owner) {
    rect.right = width;
    rect.bottom = height;
  }
  ~FrameEditorContent() override { delete frame; }
  int32_t open(void* window) override {
    EditorBase::open(window);
    frame = new Frame(Rect(0, 0, rect.right, rect.bottom), window, this);
    return 1;
  }
  void close() override {
    delete frame;
    frame = nullptr;
  }
};
using FrameEditor = VstEditor<FrameEditorContent>;

// Records every valueChanged: the control and its value at the time. Like the editor, it then
// lets the control draw itself at once when dirty.
class RecordingListener : public ControlListener {
 public:
  void valueChanged(DrawContext* context, Control* control) override {
    values.push_back(control->getValue());
    last = control;
    if (onChange) onChange(control);
    if (context != nullptr) control->update(context);
  }
  int calls() const { return static_cast<int>(values.size()); }
  std::vector<float> values;
  Control* last = nullptr;
  std::function<void(Control*)> onChange;
};

// An opened editor with a frame in a host window at (kHostX, kHostY) on the screen, painted
// once so that idle redraws work.
class HostedControls : public ::testing::Test {
 protected:
  static constexpr int kHostX = 40;
  static constexpr int kHostY = 60;

  HostedControls() {
    HostCalls::clear();
    KnobMode = 0;
    host = platform::testhost::createHostWindow(kHostX, kHostY, 320, 240);
    effect = new HostedEffect;
    editor = new FrameEditor(effect, 320, 240);
    editor->open(host);
    platform::testhost::processMessages();
  }
  ~HostedControls() override {
    HostCalls::clear();
    KnobMode = 0;
    delete effect;  // deletes the editor and its frame
    platform::testhost::destroyHostWindow(host);
  }

  Frame* frame() const { return editor->getFrame(); }
  platform::WindowRef window() const { return frame()->getSystemWindow(); }
  template <typename ControlType>
  ControlType* add(ControlType* control) {
    EXPECT_TRUE(frame()->addView(control));
    return control;
  }
  // A point of the frame in screen coordinates.
  platform::Position screen(int h, int v) const {
    const platform::Bounds bounds = platform::windowScreenBounds(window());
    return platform::Position{bounds.left + h, bounds.top + v};
  }
  // The user presses at a frame point with buttons and then makes the moves.
  void press(int h, int v, int buttons, const std::vector<testuser::Input>& moves = {}) {
    testuser::press(window(), platform::Position{h, v}, buttons, moves);
  }
  // The user taps at a frame point: press and release arrive together.
  void tap(int h, int v, int buttons) { testuser::tap(window(), platform::Position{h, v}, buttons); }

  void* host;
  HostedEffect* effect;
  FrameEditor* editor;
  RecordingListener listener;
};

// Pixels of a canvas region, for comparing two drawings.
inline std::vector<platform::ColorRef> region(Canvas& canvas, const Rect& r) {
  std::vector<platform::ColorRef> out(static_cast<std::size_t>(r.width() * r.height()));
  platform::readPixels(canvas.context().getSurface(), r.left, r.top, r.width(), r.height(),
                       out.data());
  return out;
}

// A bitmap from the plug-in's resources, released when the holder goes.
class HeldBitmap {
 public:
  explicit HeldBitmap(int32_t id) : bitmap_(new Bitmap(id)) {}
  ~HeldBitmap() { bitmap_->release(); }
  HeldBitmap(const HeldBitmap&) = delete;
  HeldBitmap& operator=(const HeldBitmap&) = delete;
  Bitmap* get() const { return bitmap_; }
  Bitmap* operator->() const { return bitmap_; }

 private:
  Bitmap* bitmap_;
};

}  // namespace kestrane::testing
