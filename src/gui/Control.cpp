#include "gui/Control.h"

#include <new>

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"

namespace kestrane {

Control::Control(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap)
    : View(rect), listener(owner), tag(controlTag) {
  mouseEnabled = true;
  transparencyEnabled = false;
  setBackground(bitmap);
}

Control::~Control() { setBackground(nullptr); }

bool Control::isDirty() { return value != oldValue || dirty; }

void Control::setDirty(bool flag) {
  dirty = flag;
  if (flag) {
    oldValue = value != -1.0f ? -1.0f : 0.0f;
  } else {
    oldValue = value;
  }
}

bool Control::removed(View* parent) {
  frame = nullptr;
  return View::removed(parent);
}

void Control::pumpIdle() {
  if (EditorBase* owner = editor()) owner->pumpIdle();
}

void Control::setValue(float newValue) { value = newValue; }
float Control::getValue() const { return value; }
void Control::setMin(float newMin) { vmin = newMin; }
float Control::getMin() const { return vmin; }
void Control::setMax(float newMax) { vmax = newMax; }
float Control::getMax() const { return vmax; }
void Control::setOldValue(float newOldValue) { oldValue = newOldValue; }
float Control::getOldValue() const { return oldValue; }
void Control::setDefaultValue(float newDefault) { defaultValue = newDefault; }
float Control::getDefaultValue() const { return defaultValue; }
void Control::setTag(int32_t newTag) { tag = newTag; }

void Control::setBackground(Bitmap* bitmap) {
  if (bitmap != nullptr) bitmap->retain();
  if (background != nullptr) background->release();
  background = bitmap;
}

Bitmap* Control::getBackground() const { return background; }
void Control::setWheelStep(float step) { wheelStep = step; }
float Control::getWheelStep() const { return wheelStep; }

void Control::clampValue() {
  if (value > vmax) {
    value = vmax;
  } else if (value < vmin) {
    value = vmin;
  }
}

void Control::drawBitmap(DrawContext* context, Bitmap* bitmap, const Rect& rect,
                         const Point& offset) {
  if (bitmap == nullptr) return;
  if (transparencyEnabled) {
    bitmap->drawTransparent(context, rect, offset);
  } else {
    bitmap->draw(context, rect, offset);
  }
}

void Control::notifyListener(DrawContext* context) {
  if (listener != nullptr) listener->valueChanged(context, this);
}

Control::ContextOnFrame::ContextOnFrame(Frame* frame, DrawContext* given) : context_(given) {
  if (given != nullptr || frame == nullptr) return;
  window_ = frame->getSystemWindow();
  if (window_ == nullptr) return;
  surface_ = platform::acquireWindowSurface(window_);
  if (surface_ == nullptr) return;
  made_ = new (std::nothrow) DrawContext(frame, surface_, window_);
  context_ = made_;
}

Control::ContextOnFrame::~ContextOnFrame() {
  delete made_;  // before its surface goes back
  if (surface_ != nullptr) platform::releaseWindowSurface(window_, surface_);
}

EditorBase* Control::editor() const { return frame != nullptr ? frame->getEditor() : nullptr; }

}  // namespace kestrane
