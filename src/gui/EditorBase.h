// EditorBase: the toolkit's editor, between the host-interface editor (AEffEditor) and the
// plug-in's own. It registers itself with the effect, answers the host's size request, drives
// the frame's idle redraw, and paces the host's idle while a control tracks the mouse.
//
// Runs on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "shell/AEffEditor.h"

namespace kestrane {

class AudioEffect;
class Frame;

// The host's knob mode (effSetEditKnobMode): 2 makes knobs follow linear drags; 0 until set.
// Process-wide.
extern int32_t KnobMode;

class EditorBase : public AEffEditor {
 public:
  // Registers with the effect (which then owns the editor and announces it with
  // effFlagsHasEditor), notes the tick count and initialises OLE for drag and drop.
  explicit EditorBase(AudioEffect* effect);
  ~EditorBase() override;

  // --- What the host asks of the editor (the effect's editor opcodes) -------------------------
  // Points *rect at the editor rectangle; answers 1.
  int32_t getRect(ERect** rect) override;
  // Posts an update and stores the host's window; the subclass builds the frame. Answers 0.
  int32_t open(void* window) override;
  // Nothing here; the subclass deletes the frame.
  void close() override;
  // Pending update, then the frame's idle redraw; nothing while pumpIdle is asking the host.
  void idle() override;
  int32_t setKnobMode(int32_t mode) override;
  bool onWheel(float distance) override;

  // --- Added by the toolkit, for the effect and the controls ----------------------------------
  // A parameter changed (index 0..48, or one of the editor's own tags); posts an update here.
  virtual void setParameter(int32_t index, float value);
  // Redraws the whole frame.
  virtual void draw(ERect* rect);
  // Called by controls on every pass of a mouse-tracking loop: redraws dirty views, sleeps 4 ms
  // between polls, and at most about every 50 ms lets a waiting paint through and gives the
  // host its idle time.
  virtual void pumpIdle();

  AudioEffect* getEffect() const { return effect; }
  Frame* getFrame() const { return frame; }

 protected:
  ERect rect{};
  Frame* frame = nullptr;
  uint32_t lastIdleTick = 0;  // ms
  bool inIdle = false;
};

}  // namespace kestrane
