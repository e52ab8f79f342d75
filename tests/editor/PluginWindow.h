// The plug-in library as a host runs it on Windows: loaded through its entry point (the library
// this build made, or the shipped 32-bit one in the 32-bit build), its editor opened into a real
// top-level host window and seen through the window's device context.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "EditorPicture.h"
#include "PluginHost.h"
#include "host/TestHost.h"
#include "platform/TestHost.h"
#include "platform/TestUser.h"
#include "shell/VstAbi.h"

namespace kestrane::testing {

inline intptr_t KESTRANE_VSTCALLBACK pluginHost(AEffect*, int32_t opcode, int32_t index,
                                                intptr_t, void*, float opt) {
  if (opcode == audioMasterIdle) {
    platform::testuser::nextMove();  // the user's hand moves while the knob follows it
    return 0;
  }
  return answerHost(opcode, index, opt);
}

class EditorWindow : public ::testing::Test {
 protected:
  static constexpr int kHostX = 40;
  static constexpr int kHostY = 50;

  EditorWindow() : library(testhost::defaultPluginPath()) {
    hostCalls.clear();
    platform::testuser::hold(platform::testuser::Input{});
    PluginEntryProc entry = library.entry();
    effect = entry != nullptr ? entry(pluginHost) : nullptr;
    window = platform::testhost::createHostWindow(kHostX, kHostY, layout::kEditorWidth,
                                                  layout::kEditorHeight);
    if (effect != nullptr) opened = dispatch(effEditOpen, 0, window) == 1;
    platform::testhost::processMessages();
  }
  ~EditorWindow() override {
    if (effect != nullptr) {
      dispatch(effEditClose);
      dispatch(effClose);
    }
    platform::testhost::destroyHostWindow(window);
    platform::testuser::hold(platform::testuser::Input{});
  }
  intptr_t dispatch(int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
  }
  // Lets the editor redraw what changed, as a host's idle does.
  void idle() {
    dispatch(effEditIdle);
    platform::testhost::processMessages();
  }
  std::vector<platform::ColorRef> picture() {
    return windowPicture(static_cast<platform::WindowRef>(window));
  }
  static std::vector<platform::ColorRef> part(const std::vector<platform::ColorRef>& all,
                                              const layout::Box& box) {
    std::vector<platform::ColorRef> out;
    for (int y = box.top; y <= box.bottom; ++y) {
      for (int x = box.left; x <= box.right; ++x) {
        out.push_back(all[static_cast<std::size_t>(y * layout::kEditorWidth + x)]);
      }
    }
    return out;
  }

  testhost::PluginLibrary library;
  AEffect* effect = nullptr;
  void* window = nullptr;
  bool opened = false;
};

}  // namespace kestrane::testing
