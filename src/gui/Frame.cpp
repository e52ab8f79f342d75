#include "gui/Frame.h"

#include <new>

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"

namespace kestrane {

namespace {

constexpr int32_t kViewArrayStep = 10;

// A drawing context on a window's own surface (GetDC), for work done outside a paint message;
// none without a window. The context is destroyed before the surface goes back.
class WindowContext {
 public:
  WindowContext(Frame* frame, platform::WindowRef window)
      : surface_(window), context_(frame, surface_.surface, window) {}
  DrawContext* get() { return &context_; }
  bool valid() const { return surface_.surface != nullptr; }

 private:
  struct WindowSurface {
    explicit WindowSurface(platform::WindowRef w)
        : window(w), surface(w != nullptr ? platform::acquireWindowSurface(w) : nullptr) {}
    ~WindowSurface() {
      if (surface != nullptr) platform::releaseWindowSurface(window, surface);
    }
    WindowSurface(const WindowSurface&) = delete;
    WindowSurface& operator=(const WindowSurface&) = delete;
    platform::WindowRef window;
    platform::SurfaceRef surface;
  };
  WindowSurface surface_;  // declared first: outlives the context
  DrawContext context_;
};

platform::CursorShape cursorShape(int32_t kind) {
  switch (kind) {
    case 1: return platform::CursorShape::Wait;
    case 2: return platform::CursorShape::SizeWE;
    case 3: return platform::CursorShape::SizeNS;
    case 4: return platform::CursorShape::SizeAll;
    case 5: return platform::CursorShape::SizeNESW;
    default: return platform::CursorShape::SizeNWSE;
  }
}

}  // namespace

Frame::Frame(const Rect& rect, void* parentWindow, EditorBase* owner)
    : View(rect), editor(owner), parentSystemWindow(parentWindow) {
  if (parentWindow == nullptr) return;
  childWindow = platform::createChildWindow(parentWindow, rect.width(), rect.height());
  if (childWindow == nullptr) return;
  platform::setWindowHandler(childWindow, this);
  enableDrop(true);
}

Frame::~Frame() {
  setCursor(0);
  enableDrop(false);
  removeAll(true);
  setBackground(nullptr);
  if (childWindow != nullptr) {
    platform::setWindowHandler(childWindow, nullptr);
    platform::destroyChildWindow(childWindow);
    childWindow = nullptr;
  }
}

// --- Views -----------------------------------------------------------------------------------

View* Frame::getView(int32_t index) const {
  return index >= 0 && index < viewCount ? views[index] : nullptr;
}

int32_t Frame::indexOf(View* view) const {
  for (int32_t i = 0; i < viewCount; ++i) {
    if (views[i] == view) return i;
  }
  return -1;
}

bool Frame::addView(View* view) {
  if (view == nullptr) return false;
  if (viewCount == viewCapacity) {
    // Grow in steps of 10; a failed growth leaves the views held so far as they were.
    View** grown = new (std::nothrow) View*[static_cast<std::size_t>(viewCapacity + kViewArrayStep)];
    if (grown == nullptr) return false;
    for (int32_t i = 0; i < viewCount; ++i) grown[i] = views[i];
    delete[] views;
    views = grown;
    viewCapacity += kViewArrayStep;
  }
  views[viewCount++] = view;
  view->setFrame(this);
  view->attached(this);
  return true;
}

bool Frame::removeView(View* view, bool withRelease) {
  const int32_t index = indexOf(view);
  if (index < 0) return false;
  // A view that goes must not stay behind as the focus.
  if (focusView == view) setFocusView(nullptr);
  for (int32_t i = index; i + 1 < viewCount; ++i) views[i] = views[i + 1];
  --viewCount;
  view->removed(this);
  if (withRelease) view->release();
  return true;
}

bool Frame::removeAll(bool withRelease) {
  if (focusView != nullptr) {
    View* previous = focusView;
    focusView = nullptr;
    previous->loseFocus(nullptr);
  }
  // The frame is empty before the first view hears of it, so a view that reacts by asking the
  // frame finds a consistent one.
  View** list = views;
  const int32_t count = viewCount;
  views = nullptr;
  viewCount = 0;
  viewCapacity = 0;
  for (int32_t i = 0; i < count; ++i) {
    list[i]->removed(this);
    if (withRelease) list[i]->release();
  }
  delete[] list;
  return true;
}

bool Frame::containsView(View* view) { return view != nullptr && indexOf(view) >= 0; }

// --- Drawing and events ----------------------------------------------------------------------

void Frame::draw(DrawContext* context) {
  firstDraw = false;
  if (background != nullptr) {
    background->draw(context, Rect(0, 0, background->getWidth(), background->getHeight()),
                     Point(0, 0));
  }
  for (int32_t i = 0; i < viewCount; ++i) {
    View* view = views[i];
    const bool wasDirty = view->isDirty();
    view->draw(context);
    view->setDirty(wasDirty);
  }
}

void Frame::mouse(DrawContext* context, Point& where) {
  if (focusView != nullptr) {
    focusView->loseFocus(nullptr);
    focusView = nullptr;
  }
  for (int32_t i = viewCount - 1; i >= 0; --i) {
    View* view = views[i];
    if (view->getMouseEnabled() && view->getSize().pointInside(where)) {
      view->mouse(context, where);
      return;
    }
  }
}

void Frame::update(DrawContext* context) {
  if (!openFlag) return;
  if (isDirty()) {
    draw(context);
    setDirty(false);
    return;
  }
  for (int32_t i = 0; i < viewCount; ++i) views[i]->update(context);
}

bool Frame::onDrop(void** items, long count, long type, Point& where) {
  if (focusView != nullptr) return false;
  for (int32_t i = viewCount - 1; i >= 0; --i) {
    View* view = views[i];
    if (view->getMouseEnabled() && view->getSize().pointInside(where) &&
        view->onDrop(items, count, type, where)) {
      return true;
    }
  }
  return false;
}

bool Frame::onWheel(DrawContext*, Point&, float distance) {
  if (!openFlag) return false;  // the window is gone
  View* view = getViewAt();
  if (view == nullptr) return false;
  WindowContext context(this, childWindow);
  Point location;
  context.get()->getMouseLocation(location);
  return view->onWheel(context.get(), location, distance);
}

bool Frame::anyDirty() {
  if (isDirty()) return true;
  for (int32_t i = 0; i < viewCount; ++i) {
    if (views[i]->isDirty()) return true;
  }
  return false;
}

void Frame::idle() {
  // What waits for the window first (X11: paints, clicks, keys and drops of the editor's own
  // connection); a handler there may close the editor, and then nothing here is left to touch.
  if (childWindow != nullptr && !platform::processWindowEvents(childWindow)) return;
  if (!openFlag || firstDraw || !anyDirty()) return;
  WindowContext context(this, childWindow);
  if (context.valid()) update(context.get());
}

void Frame::redrawView(View* view) {
  if (!openFlag) return;  // the window is gone
  WindowContext context(this, childWindow);
  if (!context.valid()) return;
  if (view != nullptr && containsView(view)) {
    view->draw(context.get());
  } else {
    draw(context.get());
  }
}

void Frame::setFocusView(View* view) {
  View* previous = focusView;
  focusView = view;
  if (previous != nullptr) previous->loseFocus(nullptr);
}

void Frame::setBackground(Bitmap* bitmap) {
  if (bitmap != nullptr) bitmap->retain();
  if (background != nullptr) background->release();
  background = bitmap;
}

View* Frame::getViewAt() {
  Point where;
  getMouseLocation(where);
  for (int32_t i = viewCount - 1; i >= 0; --i) {
    if (views[i] != nullptr && views[i]->getSize().pointInside(where)) return views[i];
  }
  return nullptr;
}

void Frame::getMouseLocation(Point& point) {
  const platform::Position cursor = platform::cursorPosition();
  const platform::Bounds screen = platform::windowScreenBounds(childWindow);
  point = Point(cursor.x - screen.left, cursor.y - screen.top);
}

void Frame::setCursor(int32_t kind) {
  if (defaultCursor == nullptr) defaultCursor = platform::currentCursor();
  if (kind == 0) {
    platform::setCursor(defaultCursor);
  } else if (kind >= 1 && kind <= 6) {
    platform::setCursor(platform::systemCursor(cursorShape(kind)));
  }
}

bool Frame::enableDrop(bool flag) {
  if (!flag && !dropEnabled) return true;
  if (flag && dropEnabled) return true;
  if (childWindow == nullptr) return false;
  if (flag) {
    dropEnabled = platform::registerDropTarget(childWindow, this);
    return dropEnabled;
  }
  platform::revokeDropTarget(childWindow);
  dropEnabled = false;
  return true;
}

// --- Window events ---------------------------------------------------------------------------

void Frame::windowPaint(platform::SurfaceRef surface) {
  DrawContext context(this, surface, childWindow);
  draw(&context);
}

void Frame::windowMouseDown(platform::Position where, int button) {
  WindowContext context(this, childWindow);
  if (!context.valid()) return;
  // The view under the click learns of it through this context, however short the press was.
  context.get()->notePress(button);
  Point point(where.x, where.y);
  mouse(context.get(), point);
}

platform::BrushRef Frame::windowEditFieldColors(platform::SurfaceRef editSurface) {
  return focusView != nullptr ? focusView->editFieldColors(editSurface) : nullptr;
}

void Frame::windowWheel(float distance) {
  Point origin(0, 0);
  onWheel(nullptr, origin, distance);
}

void Frame::windowDestroyed() {
  // The host may destroy its window, and this one with it, before it closes the editor. The
  // drop target goes now, while the window still exists: once it is gone the registration can
  // no longer be revoked, and the target would be held for good.
  enableDrop(false);
  openFlag = false;
  parentSystemWindow = nullptr;
}

bool Frame::dropped(void** items, long count, long type, platform::Position where) {
  Point point(where.x, where.y);
  return onDrop(items, count, type, point);
}

}  // namespace kestrane
