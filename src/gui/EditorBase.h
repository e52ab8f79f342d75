// EditorBase: the toolkit's editor, below the plug-in's own. It holds the editor's size, drives
// the frame's idle redraw, and paces the host's idle while a control tracks the mouse. It knows
// its host only as an EditorHost; a format adapter puts it in front of its host (the VST 2.x
// shell through shell/VstEditor.h, the LV2 UI through its ports).
//
// Runs on the host's user-interface thread, except postUpdate (see there).
#pragma once

#include <atomic>
#include <cstdint>

#include "gui/EditorHost.h"
#include "gui/Graphics.h"

namespace kestrane {

class Frame;

// The host's knob mode (effSetEditKnobMode): 2 makes knobs follow linear drags; 0 until set.
// Process-wide.
extern int32_t KnobMode;

class EditorBase {
 public:
  // host: the editor's way to its host, or null (then nothing is asked of any host). Notes the
  // tick count and initialises OLE for drag and drop.
  explicit EditorBase(EditorHost* host);
  virtual ~EditorBase();
  EditorBase(const EditorBase&) = delete;
  EditorBase& operator=(const EditorBase&) = delete;

  // --- What the host asks of the editor --------------------------------------------------------
  // Posts an update and stores the host's window; the subclass builds the frame. Answers 0.
  // window: the host's parent window (a HWND on Windows, an X11 window id on Linux).
  virtual int32_t open(void* window);
  // Nothing here; the subclass deletes the frame.
  virtual void close();
  // Pending update, then the frame's idle redraw; nothing while pumpIdle is asking the host.
  virtual void idle();
  // What a pending update does; nothing here.
  virtual void update() {}
  // Asks for an update at the next idle. Any thread.
  virtual void postUpdate() { updateFlag = true; }
  // The host's knob mode (see KnobMode); answers 1.
  virtual int32_t setKnobMode(int32_t mode);
  // A wheel turn over the editor, handed to the frame; true when a view took it.
  virtual bool onWheel(float distance);

  // --- For the host's adapter and the controls ------------------------------------------------
  // A parameter changed (index 0..48, or one of the editor's own tags); posts an update here.
  virtual void setParameter(int32_t index, float value);
  // Redraws the whole frame (rect: the host's box, not used).
  virtual void draw(Rect* rect);
  // Called by controls on every pass of a mouse-tracking loop: redraws dirty views, sleeps 4 ms
  // between polls, and at most about every 50 ms lets a waiting paint through and gives the
  // host its idle time.
  virtual void pumpIdle();

  // The editor's rectangle in pixels, from (0, 0); what a host is told for its window.
  const Rect& editorSize() const { return rect; }
  EditorHost* getHost() const { return host; }
  Frame* getFrame() const { return frame; }

 protected:
  EditorHost* host;
  Rect rect{};
  void* systemWindow = nullptr;  // the host's window given to open
  // An update is pending. Set by parameter changes on any thread, taken by idle on the
  // user-interface thread.
  std::atomic<bool> updateFlag{false};
  Frame* frame = nullptr;
  uint32_t lastIdleTick = 0;  // ms
  bool inIdle = false;
};

}  // namespace kestrane
