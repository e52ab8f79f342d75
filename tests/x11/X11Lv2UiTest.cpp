// The LV2 UI hosted as an LV2 host hosts it, on a real X server: Kestrane_ui.so loaded with
// dlopen from the bundle, its descriptor instantiated for the plug-in with a window of the
// test's own as ui:parent (and urid:map, ui:touch, ui:resize), driven by its idle interface.
// A knob dragged by real input (XTest) writes its port in the users' units inside the touch
// bracket; the host's port events move the controls (the picture is what `kestrane snapshot`
// draws for the same program); the meter ports move the meters. Also: the bundle that carries
// the UI passes the standard's validator.
#include <dlfcn.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "X11Snapshot.h"
#include "editor/Layout.h"
#include "editor/PluginHost.h"
#include "lv2/Lv2Ports.h"
#include "params/ParamId.h"
#include "params/ParameterTable.h"
#include "params/Programs.h"
#include "platform/x11/TestX11.h"

namespace kestrane {
namespace {

namespace testx11 = platform::testx11;
using layout::Role;
using testing::controlOf;

const std::string kBundle = KESTRANE_LV2_BUNDLE;
constexpr int kHostX = 30;
constexpr int kHostY = 20;
constexpr int kWidth = layout::kEditorWidth;
constexpr int kHeight = layout::kEditorHeight;

// What the UI told the host, in order.
struct Told {
  enum Kind { Write, TouchBegin, TouchEnd } kind;
  uint32_t port;
  float value;  // writes: the value written
};
std::vector<Told> told;
// For the user's hand on its own thread: the bracket is open, and the value last written.
std::atomic<bool> touching{false};
std::atomic<float> lastWritten{0.0f};
int resizedWidth = 0;
int resizedHeight = 0;

void writePort(LV2UI_Controller, uint32_t port, uint32_t size, uint32_t protocol,
               const void* buffer) {
  float value = -1e9f;
  if (size == sizeof value && protocol == 0) std::memcpy(&value, buffer, sizeof value);
  told.push_back({Told::Write, port, value});
  lastWritten = value;
}

void touch(LV2UI_Feature_Handle, uint32_t port, bool grabbed) {
  told.push_back({grabbed ? Told::TouchBegin : Told::TouchEnd, port, 0.0f});
  touching = grabbed;
}

int resize(LV2UI_Feature_Handle, int width, int height) {
  resizedWidth = width;
  resizedHeight = height;
  return 0;
}

// urid:map as a host gives it (the UI needs none; a host passes it all the same).
std::vector<std::string> uris;
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
  for (std::size_t i = 0; i < uris.size(); ++i) {
    if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
  }
  uris.emplace_back(uri);
  return static_cast<LV2_URID>(uris.size());
}

class Lv2UiHost : public ::testing::Test {
 protected:
  void SetUp() override {
    told.clear();
    touching = false;
    lastWritten = 0.0f;
    resizedWidth = resizedHeight = 0;
    ASSERT_TRUE(testx11::connect()) << "no X server at DISPLAY (scripts/test-all.sh x11 starts one)";
    library = dlopen((kBundle + "/" + lv2::kUiBinaryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using DescriptorFunction = const LV2UI_Descriptor* (*)(uint32_t);
    auto entry = reinterpret_cast<DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor = entry(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(entry(1), nullptr);
    EXPECT_STREQ(descriptor->URI, lv2::kUiUri);
    host = testx11::createHostWindow(kHostX, kHostY, kWidth, kHeight);
    ASSERT_NE(host, nullptr);
  }
  void TearDown() override {
    testx11::button(1, false);
    if (handle != nullptr) descriptor->cleanup(handle);
    if (host != nullptr) testx11::destroyHostWindow(host);
    if (library != nullptr) dlclose(library);
  }

  // Instantiates the UI in the host window with the features a host offers, as it would.
  bool instantiate(bool withParent = true, const char* pluginUri = lv2::kPluginUri) {
    const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(
                                                 static_cast<uintptr_t>(testx11::windowId(host)))};
    const LV2_Feature map{LV2_URID__map, &uridMap};
    const LV2_Feature touchFeature{LV2_UI__touch, &touchData};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resizeData};
    const LV2_Feature* features[] = {&map, &touchFeature, &resizeFeature,
                                     withParent ? &parent : nullptr, nullptr};
    widget = nullptr;
    handle = descriptor->instantiate(descriptor, pluginUri, kBundle.c_str(), writePort, this,
                                     &widget, features);
    if (handle == nullptr) return false;
    const auto* idleInterface = static_cast<const LV2UI_Idle_Interface*>(
        descriptor->extension_data(LV2_UI__idleInterface));
    if (idleInterface == nullptr) return false;
    idle = idleInterface->idle;
    settle();
    return true;
  }
  // The host's idle calls a few times, with the server caught up in between.
  void settle(int rounds = 4) {
    for (int i = 0; i < rounds; ++i) {
      testx11::sync();
      EXPECT_EQ(idle(handle), 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(6));  // past the meters' pace
    }
    testx11::sync();
  }
  void portEvent(uint32_t port, float value) {
    descriptor->port_event(handle, port, sizeof value, 0, &value);
  }
  // Every parameter port as the host sets it for a factory program.
  void sendProgram(int program) {
    for (int32_t index = 0; index < kNumParams; ++index) {
      portEvent(lv2::parameterPort(index),
                lv2::portValueForNormalised(index, FactoryPrograms[program].value(
                                                       static_cast<ParamId>(index))));
    }
  }
  std::uint32_t widgetId() const {
    return static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(widget));
  }
  std::vector<platform::ColorRef> picture() {
    return testx11::windowPixels(widgetId(), kWidth, kHeight);
  }
  // The pixels of a control's box.
  std::vector<platform::ColorRef> pixelsOf(const layout::ControlItem& item) {
    const std::vector<platform::ColorRef> whole = picture();
    std::vector<platform::ColorRef> box;
    if (whole.size() != static_cast<std::size_t>(kWidth * kHeight)) return box;
    for (int y = item.rect.top; y < item.rect.bottom; ++y) {
      for (int x = item.rect.left; x < item.rect.right; ++x) box.push_back(whole[y * kWidth + x]);
    }
    return box;
  }
  platform::Position screenOf(int x, int y) const { return {kHostX + x, kHostY + y}; }
  // The pixels that differ from the snapshot of a program and page, with the box around them.
  // A port holds a step, so the snapshot is of the program with each value at the normalised
  // value of its port's step, as the plug-in runs it.
  std::string differencesFrom(const std::string& tool, int program, int page) {
    std::string steps;
    for (int32_t index = 0; index < kNumParams; ++index) {
      if (index == DisplayMode) continue;  // the page, given by --page
      std::string name = ParameterTable[index].name;
      name.erase(name.find_last_not_of(' ') + 1);
      const float stepped = lv2::normalisedForPortValue(
          index, lv2::portValueForNormalised(
                     index, FactoryPrograms[program].value(static_cast<ParamId>(index))));
      char value[32];
      std::snprintf(value, sizeof value, "%.9g", static_cast<double>(stepped));
      steps += " --set '" + name + "=" + value + "'";
    }
    const std::vector<platform::ColorRef> shown = picture();
    const std::vector<platform::ColorRef> expected =
        testing::snapshot(tool, program, page, kWidth, kHeight, steps);
    const int count = testing::differences(shown, expected);
    if (count <= 0) return std::to_string(count);
    int left = kWidth, top = kHeight, right = -1, bottom = -1;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (shown[y * kWidth + x] == expected[y * kWidth + x]) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    return std::to_string(count) + " in (" + std::to_string(left) + ", " + std::to_string(top) +
           ") .. (" + std::to_string(right) + ", " + std::to_string(bottom) + ")";
  }

  void* library = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  void* host = nullptr;
  LV2UI_Handle handle = nullptr;
  LV2UI_Widget widget = nullptr;
  int (*idle)(LV2UI_Handle) = nullptr;
  LV2_URID_Map uridMap{nullptr, mapUri};
  LV2UI_Touch touchData{nullptr, touch};
  LV2UI_Resize resizeData{nullptr, resize};
};

TEST_F(Lv2UiHost, OpensInTheParentWindowAndTellsTheHostItsSize) {
  ASSERT_TRUE(instantiate());
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(testx11::childWindows(testx11::windowId(host)),
            std::vector<std::uint32_t>{widgetId()});
  const platform::Bounds bounds = testx11::screenBounds(widgetId());
  EXPECT_EQ(bounds.right - bounds.left, 640);
  EXPECT_EQ(bounds.bottom - bounds.top, 489);
  EXPECT_EQ(resizedWidth, 640);
  EXPECT_EQ(resizedHeight, 489);
  EXPECT_TRUE(told.empty()) << "opening wrote a port";
  descriptor->cleanup(handle);
  handle = nullptr;
  testx11::sync();
  EXPECT_TRUE(testx11::childWindows(testx11::windowId(host)).empty());
}

TEST_F(Lv2UiHost, RefusesAnotherPluginAndAHostWithoutAParentWindow) {
  EXPECT_FALSE(instantiate(false));
  EXPECT_FALSE(instantiate(true, "urn:another:plugin"));
  EXPECT_TRUE(testx11::childWindows(testx11::windowId(host)).empty());
}

// The host's port events show on the editor exactly as the VST 2.x editor shows the same
// settings (the snapshot), on both pages (the page is a port as well).
TEST_F(Lv2UiHost, PortEventsMoveTheControls) {
  const std::string tool = testing::snapshotTool();
  if (tool.empty()) GTEST_SKIP() << "KESTRANE_SNAPSHOT names no `kestrane` command";
  ASSERT_TRUE(instantiate());
  EXPECT_EQ(differencesFrom(tool, 0, 0), "0");
  for (int program : {6, 3}) {
    SCOPED_TRACE("program " + std::to_string(program));
    sendProgram(program);
    portEvent(lv2::parameterPort(DisplayMode), 0.0f);
    settle();
    EXPECT_EQ(differencesFrom(tool, program, 0), "0");
    portEvent(lv2::parameterPort(DisplayMode), 1.0f);
    settle();
    EXPECT_EQ(differencesFrom(tool, program, 1), "0");
  }
  EXPECT_TRUE(told.empty()) << "the host's own changes were written back";
}

// A circular drag of the LF gain knob by the user's hand (XTest) while the host keeps calling
// the UI's idle: the knob's loop holds the idle call, so the hand moves from a thread of its own,
// once the bracket is open, and lets go once the last move has been written.
TEST_F(Lv2UiHost, AKnobDragWritesThePortInsideTheTouchBracket) {
  ASSERT_TRUE(instantiate());
  const layout::ControlItem& knob = controlOf(Role::GainKnob, 3);  // the LF gain
  const std::vector<platform::ColorRef> before = pixelsOf(knob);
  const int hub = knob.rect.width() / 2;
  testx11::movePointer(screenOf(knob.rect.left + hub, knob.rect.top + 4));
  testx11::button(1, true);
  std::atomic<bool> released{false};
  std::thread hand([&] {
    const auto pause = std::chrono::milliseconds(10);
    for (int wait = 0; wait < 300 && !touching; ++wait) std::this_thread::sleep_for(pause);
    testx11::movePointer(screenOf(knob.rect.left + hub, knob.rect.top - 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    testx11::movePointer(screenOf(knob.rect.left + hub + 30, knob.rect.top + hub));
    // Pointing right is about +16.7 dB; lets go once the knob has written it.
    for (int wait = 0; wait < 300 && lastWritten < 15.0f; ++wait) {
      std::this_thread::sleep_for(pause);
    }
    testx11::button(1, false);
    released = true;
  });
  for (int i = 0; i < 1000 && !released; ++i) {
    idle(handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  hand.join();
  settle();

  const uint32_t port = lv2::parameterPort(GainLF);
  ASSERT_GE(told.size(), 3u);
  EXPECT_EQ(told.front().kind, Told::TouchBegin);
  EXPECT_EQ(told.front().port, port);
  EXPECT_EQ(told.back().kind, Told::TouchEnd);
  EXPECT_EQ(told.back().port, port);
  for (std::size_t i = 1; i + 1 < told.size(); ++i) {
    EXPECT_EQ(told[i].kind, Told::Write);
    EXPECT_EQ(told[i].port, port);
    // Each value written is a step of the port, in dB.
    const int32_t step = lv2::stepForPortValue(GainLF, told[i].value);
    EXPECT_EQ(told[i].value, lv2::stepValue(GainLF, step));
  }
  // Five sixths of the knob's sweep: about +16.7 dB on the -25.1 .. +25 dB scale.
  const float last = told[told.size() - 2].value;
  EXPECT_NEAR(lv2::normalisedForPortValue(GainLF, last), 5.0f / 6.0f, 0.03f);
  EXPECT_NE(pixelsOf(knob), before) << "the knob did not move";

  // The host's echo of the written value leaves the knob where the hand put it.
  const std::vector<platform::ColorRef> dragged = pixelsOf(knob);
  told.clear();
  portEvent(port, last);
  settle();
  EXPECT_EQ(pixelsOf(knob), dragged);
  EXPECT_TRUE(told.empty());
}

TEST_F(Lv2UiHost, TheMetersFollowTheMeterPorts) {
  ASSERT_TRUE(instantiate());
  const layout::ControlItem& inputLeft = controlOf(Role::LevelMeter, -1, 0, 0);
  const layout::ControlItem& reductionLf = controlOf(Role::ReductionMeter, 3);
  const std::vector<platform::ColorRef> emptyLevel = pixelsOf(inputLeft);
  const std::vector<platform::ColorRef> noReduction = pixelsOf(reductionLf);

  // Ports in the order of the level slots, then per band (LF first) reduction and mode.
  const uint32_t levelInLeft = lv2::kFirstMeterPort;
  const uint32_t reductionPortLf = lv2::kFirstMeterPort + kNumLevelSlots;
  const uint32_t expandingLf = reductionPortLf + 1;
  portEvent(levelInLeft, 1.0f);  // full scale
  portEvent(reductionPortLf, 0.4f);
  settle(1);
  const std::vector<platform::ColorRef> fullLevel = pixelsOf(inputLeft);
  const std::vector<platform::ColorRef> compressing = pixelsOf(reductionLf);
  EXPECT_NE(fullLevel, emptyLevel);
  EXPECT_NE(compressing, noReduction);

  // The same reduction while the expander governs shows in the expander's colour.
  portEvent(reductionPortLf, 0.5f);
  settle(1);
  portEvent(expandingLf, 1.0f);
  portEvent(reductionPortLf, 0.4f);
  settle(1);
  EXPECT_NE(pixelsOf(reductionLf), compressing);
  EXPECT_NE(pixelsOf(reductionLf), noReduction);

  // Readings back at rest show the meters at rest.
  portEvent(expandingLf, 0.0f);
  portEvent(levelInLeft, 0.0f);
  portEvent(reductionPortLf, 1.0f);
  settle(1);
  EXPECT_EQ(pixelsOf(inputLeft), emptyLevel);
  EXPECT_EQ(pixelsOf(reductionLf), noReduction);
  EXPECT_TRUE(told.empty());
}

// The validator accepts the bundle that declares the UI, without a warning.
TEST(Lv2UiBundle, ValidatorAcceptsTheBundleWithItsUi) {
  const std::string command =
      "sord_validate /usr/lib/lv2/*.lv2/*.ttl '" + kBundle + "'/*.ttl 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text.rfind("Found 0 errors among ", 0), 0u) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1) << "more than the summary:\n" << text;
  FILE* manifest = std::fopen((kBundle + "/manifest.ttl").c_str(), "r");
  ASSERT_NE(manifest, nullptr);
  std::string ttl;
  while (std::fgets(buffer, sizeof buffer, manifest) != nullptr) ttl += buffer;
  std::fclose(manifest);
  EXPECT_NE(ttl.find("a ui:X11UI"), std::string::npos);
  EXPECT_NE(ttl.find(std::string("lv2:binary <") + lv2::kUiBinaryName + ">"), std::string::npos);
}

}  // namespace
}  // namespace kestrane
