#include "gui/Knob.h"

#include <cmath>

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "platform/Platform.h"

namespace kestrane {

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kDefaultStart = 3.9269908f;  // 5 pi / 4: lower left
constexpr float kDefaultRange = -4.712389f;  // -3 pi / 2: 270 degrees clockwise
constexpr float kLinearRange = 200.0f;       // pixels of a linear drag for the whole range
constexpr float kWheelFine = 0.1f;           // wheel steps while shift is held
constexpr int32_t kLinearKnobMode = 2;       // the host's knob mode for linear drags

// An angle brought into 0 .. 2 pi by one turn either way.
float wrapOnce(float angle) {
  if (angle < 0.0f) return angle + kTwoPi;
  if (angle > kTwoPi) return angle - kTwoPi;
  return angle;
}

// The edit bracket of one drag: begin-edit for the tag on construction, end-edit on destruction,
// through the host of the frame's editor as it was when the drag started (the frame may go
// while the drag runs; the editor and its host stay).
class EditBracket {
 public:
  EditBracket(EditorBase* editor, int32_t tag)
      : host_(editor != nullptr ? editor->getHost() : nullptr), tag_(tag) {
    if (host_ != nullptr) host_->beginEdit(tag_);
  }
  ~EditBracket() {
    if (host_ != nullptr) host_->endEdit(tag_);
  }
  EditBracket(const EditBracket&) = delete;
  EditBracket& operator=(const EditBracket&) = delete;

 private:
  EditorHost* host_;
  int32_t tag_;
};

}  // namespace

// --- Knob ------------------------------------------------------------------------------------

Knob::Knob(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap,
           Bitmap* handleBitmap, const Point& offset)
    : Control(rect, owner, controlTag, bitmap),
      backgroundOffset(offset),
      radius(static_cast<float>(rect.right - rect.left) / 2.0f) {
  if (handleBitmap != nullptr) {
    handle = handleBitmap;
    handle->retain();
    inset = static_cast<int32_t>(static_cast<float>(handle->getWidth()) * 0.5f + 2.5f);
  }
  // rangeAngle starts at 1 so that setting the start divides by something.
  setSweepStart(kDefaultStart);
  setSweepAngle(kDefaultRange);
}

Knob::~Knob() {
  if (handle != nullptr) handle->release();
}

void Knob::draw(DrawContext* context) {
  if (background != nullptr) drawBitmap(context, background, size, backgroundOffset);
  drawHandle(context);
  setDirty(false);
}

void Knob::drawHandle(DrawContext* context) {
  Point p;
  pointForValue(p);
  if (handle != nullptr) {
    const int32_t w = handle->getWidth();
    const int32_t h = handle->getHeight();
    const int32_t left = size.left + p.h - w / 2;
    const int32_t top = size.top + p.v - h / 2;
    handle->drawTransparent(context, Rect(left, top, left + w, top + h), Point(0, 0));
    return;
  }
  p.offset(size.left - 1, size.top);
  Point centre(size.left + (size.right - size.left) / 2 - 1,
               size.top + (size.bottom - size.top) / 2);
  context->setFrameColor(shadowColor);
  context->moveTo(p);
  context->lineTo(centre);
  p.offset(1, -1);
  centre.offset(1, -1);
  context->setFrameColor(handleColor);
  context->moveTo(p);
  context->lineTo(centre);
}

void Knob::computeMapping() {
  halfGap = (kTwoPi - std::fabs(rangeAngle)) / 2.0f;
  a = (vmax - vmin) / rangeAngle;
  b = vmin - a * startAngle;
}

void Knob::setSweepStart(float angle) {
  startAngle = angle;
  computeMapping();
  setDirty(true);
}

float Knob::getSweepStart() const { return startAngle; }

void Knob::setSweepAngle(float angle) {
  rangeAngle = angle;
  computeMapping();
  setDirty(true);
}

float Knob::getSweepAngle() const { return rangeAngle; }

void Knob::pointForValue(Point& point) {
  const float angle = (value - b) / a;
  const float reach = radius - static_cast<float>(inset);
  point.h = static_cast<int32_t>(radius + std::cos(angle) * reach + 0.5f);
  point.v = static_cast<int32_t>(radius - std::sin(angle) * reach + 0.5f);
}

float Knob::valueAtPoint(const Point& point) {
  float angle =
      std::atan2(radius - static_cast<float>(point.v), static_cast<float>(point.h) - radius);
  if (angle < 0.0f) angle += kTwoPi;
  angle -= startAngle;
  const float perRadian = (vmax - vmin) / rangeAngle;
  if (rangeAngle > 0.0f) {
    // Measured from the start: the dead zone lies beyond the end, split at its middle.
    const float w = wrapOnce(angle);
    if (w > rangeAngle + halfGap) return vmin;
    if (w > rangeAngle) return vmax;
    if (angle > rangeAngle + halfGap) {
      angle -= kTwoPi;
    } else if (angle < -halfGap) {
      angle += kTwoPi;
    }
    return vmin + perRadian * angle;
  }
  // Measured from the end (the sweep runs clockwise).
  angle -= rangeAngle;
  const float w = wrapOnce(angle);
  if (w > halfGap - rangeAngle) return vmax;
  if (w > -rangeAngle) return vmin;
  if (angle > halfGap - rangeAngle) {
    angle -= kTwoPi;
  } else if (angle < -halfGap) {
    angle += kTwoPi;
  }
  return vmax + perRadian * angle;
}

void Knob::setInset(int32_t pixels) { inset = pixels; }

void Knob::setShadowColor(const Color& color) {
  shadowColor = color;
  setDirty(true);
}

void Knob::setHandleColor(const Color& color) {
  handleColor = color;
  setDirty(true);
}

void Knob::setHandleImage(Bitmap* bitmap) {
  if (handle != nullptr) handle->release();
  handle = bitmap;
  if (handle != nullptr) {
    handle->retain();
    inset = static_cast<int32_t>(static_cast<float>(handle->getWidth()) * 0.5f + 2.5f);
  }
}

void Knob::setFineFactor(float factor) { fineFactor = factor; }

float Knob::getFineFactor() const { return fineFactor; }

void Knob::mouse(DrawContext* context, Point& where) {
  if (!mouseEnabled || context == nullptr) return;
  const int32_t buttons = context->getMouseButtons();
  if ((buttons & kLButton) == 0) return;

  // Control-click alone: back to the default value, no drag.
  if (buttons == (kLButton | kControl)) {
    value = defaultValue;
    if (isDirty()) notifyListener(context);
    return;
  }

  const bool alt = (buttons & kAlt) != 0;
  const bool linear = KnobMode == kLinearKnobMode ? !alt : alt;
  if (linear) {
    trackLinear(context, buttons, where);
  } else {
    trackCircular(context, where);
  }
}

template <typename HandlePosition>
void Knob::trackDrag(DrawContext* context, const Point& start, HandlePosition&& handlePosition) {
  // The frame may take the knob out (the host closes the editor during its idle time): the
  // knob stays alive until the loop is done, and the loop ends when it has no frame.
  retain();
  {
    EditBracket bracket(editor(), tag);
    const uint32_t began = platform::tickCount();
    Point where = start;
    Point last(-1, -1);  // the first pass always computes
    int32_t buttons = 0;
    do {
      buttons = context->getMouseButtons();
      if (where.h != last.h || where.v != last.v) {
        last = where;
        handlePosition(where, buttons);
        if (isDirty()) notifyListener(context);
      }
      context->getMouseLocation(where);
      pumpIdle();
    } while ((buttons & kLButton) != 0 && frame != nullptr && frame->isOpen() &&
             platform::tickCount() - began < kLongestDrag);
  }
  release();
}

void Knob::trackLinear(DrawContext* context, int32_t buttons, const Point& where) {
  const Point first = where;
  float entryValue = value;
  auto stepFor = [this](int32_t state) {
    const float range = (state & kShift) != 0 ? kLinearRange * fineFactor : kLinearRange;
    return (vmax - vmin) / range;
  };
  float step = stepFor(buttons);
  int32_t stepButtons = buttons;
  trackDrag(context, where, [&](const Point& p, int32_t state) {
    const float delta = static_cast<float>((p.h - first.h) + (first.v - p.v));
    if (state != stepButtons) {
      // A new step from here on; the entry value moves so that the value does not jump.
      stepButtons = state;
      const float newStep = stepFor(state);
      entryValue += (step - newStep) * delta;
      step = newStep;
    }
    value = delta * step + entryValue;
    clampValue();
  });
}

void Knob::trackCircular(DrawContext* context, const Point& where) {
  const Point corner(size.left, size.top);
  auto relative = [&corner](const Point& p) { return Point(p.h - corner.h, p.v - corner.v); };
  float previous = valueAtPoint(relative(where));
  const float halfSpan = (vmax - vmin) / 2.0f;
  trackDrag(context, where, [&](const Point& p, int32_t) {
    value = valueAtPoint(relative(p));
    if (previous - value > halfSpan) {
      value = vmax;  // jumped across the dead zone from the maximum: stays there
    } else if (value - previous > halfSpan) {
      value = vmin;
    } else {
      previous = value;
    }
  });
}

bool Knob::onWheel(DrawContext* context, Point&, float distance) {
  if (!mouseEnabled) return false;
  float step = wheelStep;
  if (platform::keyDown(platform::Key::Shift)) step *= kWheelFine;
  value += distance * step;
  clampValue();
  if (isDirty()) notifyListener(context);
  return true;
}

// --- AnimatedKnob ----------------------------------------------------------------------------

AnimatedKnob::AnimatedKnob(const Rect& rect, ControlListener* owner, int32_t controlTag,
                           int32_t frames, int32_t height, Bitmap* bitmap, const Point& offset)
    : Knob(rect, owner, controlTag, bitmap, nullptr, offset),
      frameCount(frames),
      frameHeight(height) {
  inset = 0;
}

AnimatedKnob::~AnimatedKnob() = default;

void AnimatedKnob::draw(DrawContext* context) {
  const int32_t span = frameHeight * (frameCount - 1);
  int32_t offset = 0;
  if (value >= 1.0f) {
    offset = span;  // the last frame, also for values past the end of the strip
  } else if (value > 0.0f) {
    const auto pos = static_cast<int32_t>(value * static_cast<float>(span));
    offset = pos >= span || frameHeight <= 0 ? pos : pos - pos % frameHeight;
  }
  if (background != nullptr) {
    drawBitmap(context, background, size, Point(backgroundOffset.h, backgroundOffset.v + offset));
  }
  setDirty(false);
}

}  // namespace kestrane
