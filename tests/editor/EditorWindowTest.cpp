// The plug-in library as a host runs it on Windows: loaded through its entry point, its editor
// opened into a real top-level host window, seen through the window's device context, and a
// knob turned with real mouse input. The picture must be the software backend's (text boxes
// aside); the parameter, the readout and the host's automation must follow the knob.
//
// Runs against the library this build made (win64 under wine64), and against the shipped
// 32-bit library in the 32-bit build.
#include <gtest/gtest.h>

#include <vector>

#include "EditorPicture.h"
#include "host/TestHost.h"
#include "platform/TestHost.h"
#include "platform/TestUser.h"
#include "shell/VstAbi.h"

namespace kestrane {
namespace {

namespace testuser = platform::testuser;
using layout::Role;

struct Call {
  int32_t opcode;
  int32_t index;
  float value;
};
std::vector<Call> hostCalls;

intptr_t KESTRANE_VSTCALLBACK host(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                   float opt) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      hostCalls.push_back({opcode, index, opt});
      return opcode == audioMasterAutomate ? 0 : 1;
    case audioMasterIdle:
      testuser::nextMove();  // the user's hand moves while the knob follows it
      return 0;
    default:
      return 0;
  }
}

const layout::ControlSpec& controlOf(Role role, int row) {
  for (const layout::ControlSpec& spec : layout::kControls) {
    if (spec.role == role && spec.row == row) return spec;
  }
  return layout::kControls[0];
}

class EditorWindow : public ::testing::Test {
 protected:
  static constexpr int kHostX = 40;
  static constexpr int kHostY = 50;

  EditorWindow() : library(testhost::defaultPluginPath()) {
    hostCalls.clear();
    testuser::hold(testuser::Input{});
    PluginEntryProc entry = library.entry();
    effect = entry != nullptr ? entry(host) : nullptr;
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
    testuser::hold(testuser::Input{});
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
    return testing::windowPicture(static_cast<platform::WindowRef>(window));
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

TEST_F(EditorWindow, OpensInTheHostWindowAsTheSoftwareBackendDrawsIt) {
  ASSERT_TRUE(library.loaded()) << library.error();
  ASSERT_NE(effect, nullptr);
  ASSERT_TRUE(opened);
  ERect* rect = nullptr;
  ASSERT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right, layout::kEditorWidth);
  EXPECT_EQ(rect->bottom, layout::kEditorHeight);
  idle();
  testing::expectEditorPicture(picture());
}

TEST_F(EditorWindow, AKnobTurnedWithTheMouseMovesItsParameterReadoutAndAutomation) {
  ASSERT_TRUE(opened);
  const layout::ControlSpec& knob = controlOf(Role::GainKnob, 3);  // the LF gain
  const layout::ControlSpec& readout = controlOf(Role::GainReadout, 3);
  const float before = effect->getParameter(effect, knob.tag);
  idle();
  const std::vector<platform::ColorRef> shownBefore = picture();

  // Down on the knob, up above its hub (the middle of the range), round to its right (five
  // sixths), and up.
  const int hubX = kHostX + knob.rect.left + knob.rect.width() / 2;
  const int hubY = kHostY + knob.rect.top + knob.rect.width() / 2;
  const platform::Position up{hubX, hubY - 40};
  const platform::Position right{hubX + 40, hubY};
  testuser::press(static_cast<platform::WindowRef>(window),
                  platform::Position{knob.rect.left + 22, knob.rect.top + 17},
                  platform::LeftButtonBit,
                  {{platform::LeftButtonBit, up}, {platform::LeftButtonBit, right}, {0, right}});
  idle();

  const float after = effect->getParameter(effect, knob.tag);
  EXPECT_NEAR(after, 5.0f / 6.0f, 0.02f);
  ASSERT_GE(hostCalls.size(), 3u);
  EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
  EXPECT_EQ(hostCalls.front().index, knob.tag);
  EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
  EXPECT_EQ(hostCalls.back().index, knob.tag);
  const Call& lastAutomation = hostCalls[hostCalls.size() - 2];
  EXPECT_EQ(lastAutomation.opcode, audioMasterAutomate);
  EXPECT_EQ(lastAutomation.index, knob.tag);
  EXPECT_EQ(lastAutomation.value, after);

  // The knob and its readout show the new value, and show the old one again once the host
  // puts it back.
  const std::vector<platform::ColorRef> shownAfter = picture();
  EXPECT_NE(part(shownAfter, knob.rect), part(shownBefore, knob.rect));
  EXPECT_NE(part(shownAfter, readout.rect), part(shownBefore, readout.rect));
  effect->setParameter(effect, knob.tag, before);
  idle();
  const std::vector<platform::ColorRef> shownAgain = picture();
  EXPECT_EQ(part(shownAgain, knob.rect), part(shownBefore, knob.rect));
  EXPECT_EQ(part(shownAgain, readout.rect), part(shownBefore, readout.rect));
}

}  // namespace
}  // namespace kestrane
