#include "gui/View.h"

namespace kestrane {

View::View(const Rect& rect) : size(rect), hitArea(rect) {}

View::~View() = default;

void View::draw(DrawContext*) {}

void View::mouse(DrawContext*, Point&) {}

void View::update(DrawContext* context) {
  if (isDirty()) {
    draw(context);
    setDirty(false);
  }
}

bool View::onDrop(void**, long, long, Point&) { return false; }

bool View::onWheel(DrawContext*, Point&, float) { return false; }

void View::loseFocus(DrawContext*) {}

void View::gainFocus(DrawContext*) {}

bool View::isDirty() { return dirty; }

void View::setDirty(bool flag) { dirty = flag; }

void View::setMouseEnabled(bool flag) { mouseEnabled = flag; }

bool View::getMouseEnabled() { return mouseEnabled; }

void View::setHitArea(const Rect& rect) { hitArea = rect; }

void View::getHitArea(Rect& rect) { rect = hitArea; }

void View::setTransparency(bool flag) { transparencyEnabled = flag; }

bool View::getTransparency() { return transparencyEnabled; }

void View::setSize(const Rect& rect) {
  size = rect;
  setDirty(true);
}

void View::setFrame(Frame* newFrame) { frame = newFrame; }

bool View::removed(View*) { return true; }

bool View::attached(View*) { return true; }

void View::release() {
  if (refCount <= 0) return;
  if (--refCount == 0) delete this;
}

void View::retain() { ++refCount; }

int32_t View::getRefCount() { return refCount; }

platform::BrushRef View::editFieldColors(platform::SurfaceRef) { return nullptr; }

}  // namespace kestrane
