// The LV2 UI: the Kestrane editor in an X11 window inside the host's (ui:X11UI), talking to the
// plug-in only through its ports. The host hands control port values in (port_event), the UI
// writes the user's edits out (write_function, the port's value in its users' units) with the
// touch feature's begin and end around a drag, and the meter output ports feed the editor's
// meters.
//
// Threads, as the LV2 UI extension defines them: everything here runs on the host's UI thread
// (instantiate, port_event, the idle interface, cleanup), which is also the editor's thread.
// No C++ exception leaves a callback: nothing here throws (allocation is nothrow).
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "editor/KestraneEditor.h"
#include "gui/Frame.h"
#include "gui/EditorHost.h"
#include "lv2/Lv2Ports.h"
#include "params/ParamId.h"
#include "platform/Platform.h"

namespace kestrane::lv2 {
namespace {

// The editor's host over the plug-in's ports.
//
// Values: the editor reads normalised values. The UI keeps, per parameter, the value it last
// showed: the host's port value as the normalised value of its step, or the user's own value
// while it edits (a knob moves smoothly between steps; the port takes the nearest step). A
// port event that only repeats the step already shown leaves the user's value alone.
class PortHost final : public EditorHost {
 public:
  PortHost(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
      : write_(write), controller_(controller), touch_(touch) {
    for (int32_t index = 0; index < kNumParams; ++index) {
      values_[index] = normalisedForPortValue(index, defaultPortValue(index));
    }
  }

  void attach(KestraneEditor* editor) { editor_ = editor; }

  // --- EditorHost ---------------------------------------------------------------------------
  float getParameter(int32_t index) override {
    return isParamIndex(index) ? values_[index] : 0.0f;
  }
  // LV2 has no automation call of its own: writing the port is the user's change, which the
  // host records while the touch bracket is open.
  void setParameterAutomated(int32_t index, float value) override {
    if (!isParamIndex(index)) {
      setParameter(index, value);
      return;
    }
    values_[index] = value;
    const float portValue = portValueForNormalised(index, value);
    if (write_ != nullptr) {
      write_(controller_, parameterPort(index), sizeof portValue, 0, &portValue);
    }
    if (editor_ != nullptr) editor_->setParameter(index, value);
  }
  // The editor's own tags have no port: they go straight back to the editor.
  void setParameter(int32_t index, float value) override {
    if (isParamIndex(index)) {
      setParameterAutomated(index, value);
    } else if (editor_ != nullptr) {
      editor_->postUpdate();
      editor_->setParameter(index, value);
    }
  }
  bool beginEdit(int32_t index) override { return touch(index, true); }
  bool endEdit(int32_t index) override { return touch(index, false); }
  // An LV2 host has no idle of its own to offer: its loop resumes when the control's does.
  void hostIdle() override {}

  // --- From the host ------------------------------------------------------------------------
  // A control input port's value (users' units): shown unless it is the step already shown.
  void parameterPortChanged(int32_t index, float portValue) {
    if (portValueForNormalised(index, values_[index]) == portValue) return;
    values_[index] = normalisedForPortValue(index, portValue);
    if (editor_ != nullptr) editor_->setParameter(index, values_[index]);
  }

 private:
  bool touch(int32_t index, bool grabbed) {
    if (touch_ == nullptr || touch_->touch == nullptr || !isParamIndex(index)) return false;
    touch_->touch(touch_->handle, parameterPort(index), grabbed);
    return true;
  }

  LV2UI_Write_Function write_;
  LV2UI_Controller controller_;
  const LV2UI_Touch* touch_;
  KestraneEditor* editor_ = nullptr;
  float values_[kNumParams] = {};
};

class Ui {
 public:
  Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
      : host_(write, controller, touch), editor_(&host_) {
    host_.attach(&editor_);
  }
  ~Ui() { editor_.close(); }
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;

  // Opens the editor in the host's window; its own window, or null when it cannot open.
  void* open(void* parent) {
    if (editor_.open(parent) != 1 || editor_.getFrame() == nullptr) return nullptr;
    return platform::systemWindowHandle(editor_.getFrame()->getSystemWindow());
  }
  int32_t width() const { return editor_.editorSize().width(); }
  int32_t height() const { return editor_.editorSize().height(); }

  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port >= kFirstParameterPort && port < kLatencyPort) {
      host_.parameterPortChanged(static_cast<int32_t>(port - kFirstParameterPort), value);
    } else if (port >= kFirstMeterPort && port < kNumPorts) {
      storeMeterPortValue(editor_.meterSlots(), port - kFirstMeterPort, value);
    }
  }

  // The editor's idle: its window's events, the meters, the redraw. 0: keep calling.
  int idle() {
    editor_.idle();
    return 0;
  }

 private:
  PortHost host_;
  KestraneEditor editor_;
};

const void* featureData(const LV2_Feature* const* features, const char* uri) {
  if (features == nullptr) return nullptr;
  for (const LV2_Feature* const* f = features; *f != nullptr; ++f) {
    if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  }
  return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || widget == nullptr) {
    return nullptr;
  }
  void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
  if (parent == nullptr) return nullptr;
  const auto* touch = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
  const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));

  auto* ui = new (std::nothrow) Ui(write, controller, touch);
  if (ui == nullptr) return nullptr;
  void* window = ui->open(parent);
  if (window == nullptr) {
    delete ui;
    return nullptr;
  }
  *widget = window;
  if (resize != nullptr && resize->ui_resize != nullptr) {
    resize->ui_resize(resize->handle, ui->width(), ui->height());
  }
  return ui;
}

void cleanup(LV2UI_Handle handle) { delete static_cast<Ui*>(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
  static_cast<Ui*>(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) { return static_cast<Ui*>(handle)->idle(); }

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
  if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace
}  // namespace kestrane::lv2

// The UI library's one entry point: the host asks for UI descriptors by index until null.
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kestrane::lv2::kDescriptor : nullptr;
}
