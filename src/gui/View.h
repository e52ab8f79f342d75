// View: the reference-counted base of every visual element. A view occupies a rectangle of the
// frame, draws itself into a DrawContext, may react to the mouse, and is owned by the frame
// once added. Subclasses override its virtual operations and declare their own after them,
// never in between, so every class down the hierarchy keeps the same virtual-table order.
//
// Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "gui/Graphics.h"

namespace kestrane {

class DrawContext;
class Frame;

class View {
 public:
  // Reference count 1, hit area = size, dirty, mouse-enabled, not transparent.
  explicit View(const Rect& size);
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // --- The virtual operations; subclasses add theirs after these ------------------------------
  virtual ~View();
  virtual void draw(DrawContext* context);
  // A mouse button went down at where (frame coordinates); drags are tracked in here.
  virtual void mouse(DrawContext* context, Point& where);
  // Draws when dirty, then clears the dirty flag.
  virtual void update(DrawContext* context);
  // A drop of items (type 0: file names, count names; type 1: text, count bytes).
  virtual bool onDrop(void** items, long count, long type, Point& where);
  virtual bool onWheel(DrawContext* context, Point& where, float distance);
  virtual void loseFocus(DrawContext* context);
  virtual void gainFocus(DrawContext* context);
  virtual bool isDirty();
  virtual void setDirty(bool flag);
  virtual void setMouseEnabled(bool flag);
  virtual bool getMouseEnabled();
  virtual void setHitArea(const Rect& rect);
  virtual void getHitArea(Rect& rect);
  virtual void setTransparency(bool flag);
  virtual bool getTransparency();
  // Stores the size and marks the view dirty.
  virtual void setSize(const Rect& rect);
  virtual void setFrame(Frame* newFrame);
  // Told when taken out of or put into a parent; true to accept.
  virtual bool removed(View* parent);
  virtual bool attached(View* parent);
  // Reference counting: release on a count of 0 or below does nothing; the count reaching 0
  // deletes the view.
  virtual void release();
  virtual void retain();
  virtual int32_t getRefCount();

  // --- Added late, for the edit fields -------------------------------------------------------
  // An open edit field inside the frame's window asks for its colours (text and background on
  // editSurface, the brush answered for its background). Only a view that opens an edit field
  // answers; the frame asks its focus view.
  virtual platform::BrushRef editFieldColors(platform::SurfaceRef editSurface);

  const Rect& getSize() const { return size; }
  Frame* getFrame() const { return frame; }

 protected:
  int32_t refCount = 1;
  Rect size;
  Rect hitArea;
  Frame* frame = nullptr;
  bool dirty = true;
  bool mouseEnabled = true;
  bool transparencyEnabled = false;
};

}  // namespace kestrane
