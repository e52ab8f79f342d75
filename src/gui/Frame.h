// Frame: the root view. It owns a child window inside the host's window, the background bitmap
// and every view added to it, dispatches the window's paint and click messages to the views,
// and redraws dirty views when the editor idles.
//
// Views are drawn in the order they were added and hit-tested in the reverse order (the last
// added wins). Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "gui/View.h"
#include "platform/Platform.h"

namespace kestrane {

class Bitmap;
class EditorBase;

class Frame : public View, private platform::WindowHandler, private platform::DropHandler {
 public:
  // Creates the child window at once when parentWindow (the host's window) is given: the size's
  // width and height at (0, 0), the frame as the window's owner, drop target registered.
  Frame(const Rect& size, void* parentWindow, EditorBase* editor);
  // Restores the cursor, revokes the drop target, releases every view and the background,
  // detaches from the window and destroys it.
  ~Frame() override;

  // --- View slots ------------------------------------------------------------------------------
  // Background whole at (0, 0), then every view in insertion order; pending updates survive.
  void draw(DrawContext* context) override;
  // Clears the focus view, then the last-added mouse-enabled view under where gets the click.
  void mouse(DrawContext* context, Point& where) override;
  // Nothing once the window is gone; the whole frame when it is dirty, else each view's update.
  void update(DrawContext* context) override;
  bool onDrop(void** items, long count, long type, Point& where) override;
  // To the view under the mouse, with a context of its own; false once the window is gone.
  bool onWheel(DrawContext* context, Point& where, float distance) override;

  // --- Frame slots -----------------------------------------------------------------------------
  // Takes over the caller's reference (no retain). False when the array cannot grow; the view
  // is then not added and stays the caller's.
  virtual bool addView(View* view);
  // False when the view is not in the frame.
  virtual bool removeView(View* view, bool withRelease = true);
  virtual bool removeAll(bool withRelease = true);
  virtual bool containsView(View* view);

  // --- Not virtual -----------------------------------------------------------------------------
  // Redraws dirty views through a context on the window; nothing before the first paint.
  void idle();
  // Draws one of the frame's views at once, or the whole frame when view is null or not here;
  // nothing once the window is gone.
  void redrawView(View* view);
  void setFocusView(View* view);
  View* getFocusView() const { return focusView; }
  void setBackground(Bitmap* bitmap);
  Bitmap* getBackground() const { return background; }
  // The last-added view under the mouse (mouse-enabled or not), or null.
  View* getViewAt() ;
  // The cursor position relative to the child window.
  void getMouseLocation(Point& point);
  // 0 restores the cursor saved by the first call; 1 wait, 2 size west-east, 3 size
  // north-south, 4 size all, 5 size north-east/south-west, 6 size north-west/south-east.
  void setCursor(int32_t kind);
  // Registers or revokes the window's drop target; turning off what is off succeeds, and
  // without a window it fails. The target is revoked by itself when the window is destroyed
  // (also when the host's window goes first).
  bool enableDrop(bool flag);

  EditorBase* getEditor() const { return editor; }
  platform::WindowRef getSystemWindow() const { return childWindow; }
  void* getParentSystemWindow() const { return parentSystemWindow; }
  bool isOpen() const { return openFlag; }
  bool isFirstDraw() const { return firstDraw; }
  int32_t getViewCount() const { return viewCount; }
  View* getView(int32_t index) const;

 private:
  // Window events (platform::WindowHandler).
  void windowPaint(platform::SurfaceRef surface) override;
  void windowMouseDown(platform::Position where, int button) override;
  platform::BrushRef windowEditFieldColors(platform::SurfaceRef editSurface) override;
  void windowDestroyed() override;
  void windowWheel(float distance) override;
  // Drops (platform::DropHandler).
  bool dropped(void** items, long count, long type, platform::Position where) override;

  bool anyDirty();
  int32_t indexOf(View* view) const;

  EditorBase* editor;
  void* parentSystemWindow;
  Bitmap* background = nullptr;
  int32_t viewCount = 0;
  int32_t viewCapacity = 0;
  View** views = nullptr;
  View* focusView = nullptr;
  bool firstDraw = true;
  bool openFlag = true;
  bool dropEnabled = false;
  platform::WindowRef childWindow = nullptr;
  platform::CursorRef defaultCursor = nullptr;
};

}  // namespace kestrane
