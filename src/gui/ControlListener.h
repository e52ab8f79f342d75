// What a control tells its listener (the editor) after the user changed its value.
#pragma once

namespace kestrane {

class Control;
class DrawContext;

class ControlListener {
 public:
  virtual ~ControlListener() = default;
  // Runs on the user-interface thread, inside the control's mouse handling; context is the one
  // the control draws with (may be null).
  virtual void valueChanged(DrawContext* context, Control* control) = 0;
};

}  // namespace kestrane
