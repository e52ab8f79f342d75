// Control: a view with a value from 0 to 1 (by default) that tells its listener when the user
// changes it.
//
// The editor pushes parameter values in with setValue; a user gesture (a click, a drag, typed
// text, a menu choice) changes the value inside the control's mouse handling, which then calls
// the listener's valueChanged. A control counts as dirty while its value differs from the value
// it last drew (the old value) or while its dirty flag is set, so setting a new value is enough
// for the next idle pass to redraw it.
//
// All mouse interaction is modal: a control that follows a drag polls the buttons and the cursor
// itself until the button is released, calling pumpIdle on every pass so that the screen is
// repainted and the host keeps its idle time. A click acts however short it was: the first look
// at the buttons through the click's context reports the clicked button held even when it is
// already up again (DrawContext::getMouseButtons); a drag then lasts one pass.
//
// User-interface thread only.
#pragma once

#include <cstdint>

#include "gui/ControlListener.h"
#include "gui/View.h"

namespace kestrane {

class Bitmap;
class EditorBase;

class Control : public View {
 public:
  // Mouse enabled, not transparent; value 0, range 0..1, default 0.5, wheel step 0.1, old value
  // 1. The background (may be null) is retained while held.
  Control(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background);
  // Releases the background.
  ~Control() override;

  // --- View slots ------------------------------------------------------------------------------
  void draw(DrawContext* context) override = 0;
  // Value differs from the value last drawn, or the dirty flag is set.
  bool isDirty() override;
  // false: the current value counts as drawn. true: the old value is made to differ from the
  // value, so the control stays dirty until it draws.
  void setDirty(bool flag) override;
  // Taken out of the frame: forgets it, so a tracking loop still running notices.
  bool removed(View* parent) override;

  // --- Control slots ---------------------------------------------------------------------------
  // Lets the editor redraw and the host idle while a tracking loop runs (nothing without a frame
  // or an editor).
  virtual void pumpIdle();
  // Plain store and read; no clamping (clampValue does that).
  virtual void setValue(float newValue);
  virtual float getValue() const;
  virtual void setMin(float newMin);
  virtual float getMin() const;
  virtual void setMax(float newMax);
  virtual float getMax() const;
  virtual void setOldValue(float newOldValue);
  virtual float getOldValue() const;
  virtual void setDefaultValue(float newDefault);
  virtual float getDefaultValue() const;
  virtual void setTag(int32_t newTag);
  // Releases the old background and retains the new one (null allowed).
  virtual void setBackground(Bitmap* bitmap);
  virtual Bitmap* getBackground() const;
  virtual void setWheelStep(float step);
  virtual float getWheelStep() const;
  // A value above max becomes max, else one below min becomes min.
  virtual void clampValue();

  // --- Not virtual -----------------------------------------------------------------------------
  int32_t getTag() const { return tag; }
  ControlListener* getListener() const { return listener; }

 protected:
  // The context to draw with outside a paint or a click (a committed edit, a closed menu): the
  // one given, or else one made on the frame's window for the lifetime of this object. get()
  // is null when there is neither.
  class ContextOnFrame {
   public:
    ContextOnFrame(Frame* frame, DrawContext* given);
    ~ContextOnFrame();
    ContextOnFrame(const ContextOnFrame&) = delete;
    ContextOnFrame& operator=(const ContextOnFrame&) = delete;
    DrawContext* get() const { return context_; }

   private:
    platform::WindowRef window_ = nullptr;
    platform::SurfaceRef surface_ = nullptr;
    DrawContext* made_ = nullptr;
    DrawContext* context_;
  };

  // Draws part of a bitmap into rect from the source offset: with the transparent key when the
  // control's transparency flag is set, plainly otherwise. Nothing for a null bitmap.
  void drawBitmap(DrawContext* context, Bitmap* bitmap, const Rect& rect, const Point& offset);
  // Tells the listener (if any) that the user changed the value.
  void notifyListener(DrawContext* context);
  // The frame's editor, or null.
  EditorBase* editor() const;

  ControlListener* listener;
  int32_t tag;
  float oldValue = 1.0f;
  float defaultValue = 0.5f;
  float value = 0.0f;
  float vmin = 0.0f;
  float vmax = 1.0f;
  float wheelStep = 0.1f;
  Bitmap* background = nullptr;
};

}  // namespace kestrane
