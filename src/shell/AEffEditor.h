// The host-interface editor base: what the effect's dispatcher calls for the editor opcodes
// (effEditGetRect, effEditOpen, effEditClose, effEditIdle, the key and knob-mode requests).
// Portable: the system window is an opaque pointer the host hands in.
//
// All operations run on the host's user-interface thread, except postUpdate, which parameter
// changes call from whatever thread they arrive on.
#pragma once

#include <atomic>
#include <cstdint>

#include "shell/VstAbi.h"

namespace kestrane {

class AudioEffect;

class AEffEditor {
 public:
  // Stores the effect; does not register with it (the toolkit's EditorBase does that through
  // AudioEffect::setEditor).
  explicit AEffEditor(AudioEffect* owner) : effect(owner) {}
  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

  // The operations the dispatcher calls on an editor; subclasses add theirs after these.
  virtual ~AEffEditor() = default;
  // Points *rect at the editor's rectangle and answers nonzero; the base has none.
  virtual int32_t getRect(ERect** rect) {
    *rect = nullptr;
    return 0;
  }
  // window: the host's parent window (a HWND on Windows).
  virtual int32_t open(void* window) {
    systemWindow = window;
    return 0;
  }
  virtual void close() {}
  // Runs a pending update, if any.
  virtual void idle() {
    if (updateFlag.exchange(false)) update();
  }
  virtual void update() {}
  // Asks for an update at the next idle.
  virtual void postUpdate() { updateFlag = true; }
  // Key requests answer -1: not handled.
  virtual int32_t onKeyDown(VstKeyCode& keyCode) {
    (void)keyCode;
    return -1;
  }
  virtual int32_t onKeyUp(VstKeyCode& keyCode) {
    (void)keyCode;
    return -1;
  }
  virtual int32_t setKnobMode(int32_t mode) {
    (void)mode;
    return 0;
  }
  virtual bool onWheel(float distance) {
    (void)distance;
    return false;
  }

 protected:
  AudioEffect* effect;
  void* systemWindow = nullptr;  // the host's window given to open
  // An update is pending. Set by parameter changes on any thread, taken by idle on the
  // user-interface thread.
  std::atomic<bool> updateFlag{false};
};

}  // namespace kestrane
