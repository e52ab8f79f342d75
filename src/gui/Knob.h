// Knob: a rotary control. Its value maps linearly onto an arc, by default from 225 degrees (lower
// left) clockwise through 270 degrees to -45 degrees (lower right); the 90 degrees between the
// end and the start at the bottom are a dead zone. The knob draws its background and a handle (a
// small bitmap on the arc, or a line from the centre to the arc), and follows the mouse:
//   - control-click sets the default value (no drag);
//   - a circular drag follows the angle of the cursor around the centre; crossing the dead zone
//     sticks to the end the cursor came from;
//   - a linear drag moves the value by horizontal plus vertical distance (right and up increase),
//     200 pixels for the whole range, or 200 x the fine factor while shift is held;
//   - the wheel adds wheel steps (a tenth of one while shift is held).
// The host's knob mode 2 makes linear the plain drag and circular the alt-drag; any other mode the
// reverse. A drag is bracketed by the host's begin-edit and end-edit for the knob's tag.
//
// AnimatedKnob draws one frame of a film strip (frames stacked vertically) instead of a handle.
//
// Angles are radians, counter-clockwise from the positive x axis (screen y points down, so the
// maths flips v). Points are pixels relative to the knob's top left corner. User-interface thread.
#pragma once

#include "gui/Control.h"

namespace kestrane {

class Knob : public Control {
 public:
  // handle: the handle bitmap, or null for a drawn line (retained while held). offset: the source
  // point of the background.
  Knob(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background,
       Bitmap* handle, const Point& offset = Point(0, 0));
  ~Knob() override;

  // --- View slots ------------------------------------------------------------------------------
  // Background, then the handle.
  void draw(DrawContext* context) override;
  void mouse(DrawContext* context, Point& where) override;
  // false when mouse-disabled; otherwise moves by distance wheel steps and answers true.
  bool onWheel(DrawContext* context, Point& where, float distance) override;

  // --- Knob slots ------------------------------------------------------------------------------
  virtual void drawHandle(DrawContext* context);
  // The angle of the minimum, and the signed sweep to the maximum (negative: clockwise). Both
  // recompute the mapping and mark the knob dirty.
  virtual void setSweepStart(float angle);
  virtual float getSweepStart() const;
  virtual void setSweepAngle(float angle);
  virtual float getSweepAngle() const;
  // Where the handle stands for the current value, relative to the top left corner.
  virtual void pointForValue(Point& point);
  // The value for a point relative to the top left corner. Inside the sweep the value is linear
  // in the angle; in the dead zone it is the nearer end.
  virtual float valueAtPoint(const Point& point);
  // Distance of the handle point from the rim, in pixels.
  virtual void setInset(int32_t pixels);
  virtual void setShadowColor(const Color& color);
  virtual void setHandleColor(const Color& color);
  // Releases the old handle, retains the new one and derives the inset from its width.
  virtual void setHandleImage(Bitmap* bitmap);
  // How much finer a linear drag is while shift is held (1.5: 300 pixels for the whole range).
  virtual void setFineFactor(float factor);
  virtual float getFineFactor() const;

  // --- Not virtual -----------------------------------------------------------------------------
  int32_t getInset() const { return inset; }

  // A drag that lasts longer than this ends by itself (ms): the loop cannot spin forever when
  // the button state stays "held" for good, as when the system's state cannot be read.
  static constexpr uint32_t kLongestDrag = 120000;

 protected:
  void computeMapping();
  void trackLinear(DrawContext* context, int32_t buttons, const Point& where);
  void trackCircular(DrawContext* context, const Point& where);
  // Polls and handles the cursor until the left button is up (or the drag has to end).
  template <typename HandlePosition>
  void trackDrag(DrawContext* context, const Point& where, HandlePosition&& handlePosition);

  Point backgroundOffset;
  Color handleColor = kWhite;
  Color shadowColor = kGrey;
  Bitmap* handle = nullptr;
  int32_t inset = 3;
  float startAngle = 0.0f;
  float rangeAngle = 1.0f;
  float halfGap = 0.0f;
  float a = 1.0f;  // value per radian
  float b = 0.0f;  // value at angle 0
  float radius;
  float fineFactor = 1.5f;
};

class AnimatedKnob : public Knob {
 public:
  // frameCount frames of frameHeight pixels stacked vertically in the background.
  AnimatedKnob(const Rect& size, ControlListener* listener, int32_t tag, int32_t frameCount,
               int32_t frameHeight, Bitmap* background, const Point& offset = Point(0, 0));
  ~AnimatedKnob() override;

  // The frame for the value: frame 0 up to value 0, the last frame from value 1 on, and in
  // between the frame whose start lies at or below value x (frames - 1) x frame height.
  void draw(DrawContext* context) override;

  int32_t getFrameCount() const { return frameCount; }
  int32_t getFrameHeight() const { return frameHeight; }

 private:
  int32_t frameCount;
  int32_t frameHeight;
};

}  // namespace kestrane
