// The X11 tests' host: Kestrane.so loaded through its entry point, its editor opened into a
// top-level window of the test's own on the X server ($DISPLAY), the host's callbacks recorded,
// and the user's hand (XTest) moving on while a control's loop gives the host its idle.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "editor/Layout.h"
#include "editor/PluginHost.h"
#include "host/TestHost.h"
#include "params/ParamId.h"
#include "platform/x11/TestX11.h"
#include "shell/VstAbi.h"

namespace kestrane {
namespace testx11 = platform::testx11;
}  // namespace kestrane

namespace kestrane::testing {

// What the user does next while a control's loop runs (one step per host idle).
inline std::deque<std::function<void()>> userSteps;

inline intptr_t KESTRANE_VSTCALLBACK x11Host(AEffect*, int32_t opcode, int32_t index, intptr_t,
                                             void*, float opt) {
  if (opcode == audioMasterIdle) {
    if (!userSteps.empty()) {
      std::function<void()> step = userSteps.front();
      userSteps.pop_front();
      step();
    }
    return 0;
  }
  return answerHost(opcode, index, opt);
}

inline std::vector<int32_t> callsOf(int32_t opcode) {
  std::vector<int32_t> indices;
  for (const Call& call : hostCalls) {
    if (call.opcode == opcode) indices.push_back(call.index);
  }
  return indices;
}

class X11Editor : public ::testing::Test {
 protected:
  static constexpr int kHostX = 30;
  static constexpr int kHostY = 20;
  static constexpr int kWidth = layout::kEditorWidth;
  static constexpr int kHeight = layout::kEditorHeight;

  X11Editor() : library(testhost::defaultPluginPath()) {
    hostCalls.clear();
    userSteps.clear();
  }
  void SetUp() override {
    ASSERT_TRUE(library.loaded()) << library.error();
    ASSERT_TRUE(testx11::connect()) << "no X server at DISPLAY (scripts/test-all.sh x11 starts one)";
    PluginEntryProc entry = library.entry("VSTPluginMain");
    ASSERT_NE(entry, nullptr);
    effect = entry(x11Host);
    ASSERT_NE(effect, nullptr);
    host = testx11::createHostWindow(kHostX, kHostY, kWidth, kHeight);
    ASSERT_NE(host, nullptr);
  }
  void TearDown() override {
    // Nothing held over into the next test.
    testx11::button(1, false);
    testx11::key(testx11::KeyShift, false);
    testx11::key(testx11::KeyControl, false);
    if (effect != nullptr) {
      dispatch(effEditClose);
      dispatch(effClose);
    }
    testx11::destroyHostWindow(host);
    userSteps.clear();
  }

  intptr_t dispatch(int32_t opcode, intptr_t value = 0, void* ptr = nullptr, int32_t index = 0) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  }
  float get(int32_t index) { return effect->getParameter(effect, index); }
  void set(int32_t index, float value) { effect->setParameter(effect, index, value); }

  // Opens the editor in the host window and lets it paint.
  bool open() {
    const bool opened = dispatch(effEditOpen, 0, host) == 1;
    settle();
    return opened;
  }
  // The host's idle a few times, with the server caught up in between: whatever the editor was
  // sent is handled and drawn.
  void settle(int rounds = 4) {
    for (int i = 0; i < rounds; ++i) {
      testx11::sync();
      dispatch(effEditIdle);
    }
    testx11::sync();
  }
  std::uint32_t editorWindow() {
    const std::vector<std::uint32_t> children = testx11::childWindows(testx11::windowId(host));
    return children.empty() ? 0 : children.front();
  }
  std::vector<platform::ColorRef> picture() {
    return testx11::windowPixels(editorWindow(), kWidth, kHeight);
  }
  platform::Position screenOf(int x, int y) const { return {kHostX + x, kHostY + y}; }
  platform::Position centreOf(const layout::ControlItem& item) const {
    return screenOf((item.rect.left + item.rect.right) / 2, (item.rect.top + item.rect.bottom) / 2);
  }
  // A click (press and release) at a screen point, handled by the editor.
  void click(platform::Position at, int button = 1) {
    testx11::movePointer(at);
    testx11::button(button, true);
    testx11::button(button, false);
    settle();
  }

  testhost::PluginLibrary library;
  AEffect* effect = nullptr;
  void* host = nullptr;
};

}  // namespace kestrane::testing
