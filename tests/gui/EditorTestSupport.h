// An effect and an editor for the toolkit tests: the smallest AudioEffect, a host callback that
// counts what it is asked, and an EditorBase that counts its updates, as the effect's editor.
#pragma once

#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "shell/AudioEffect.h"
#include "shell/VstAbi.h"
#include "shell/VstEditor.h"

namespace kestrane::testing {

class TestEditorContent;
using TestEditor = VstEditor<TestEditorContent>;

// What the host saw. Reset by each test that reads it.
struct HostLog {
  static inline int idleRequests = 0;
  static inline int beginEdits = 0;
  static inline int endEdits = 0;
  static inline int nestedUpdatesWhileInIdle = 0;
  static inline bool editorDeleted = false;
  // When set, the host answers its idle request by calling this editor's idle with an update
  // pending, as some hosts do.
  static inline TestEditor* editorToIdle = nullptr;
  static void reset() {
    idleRequests = beginEdits = endEdits = nestedUpdatesWhileInIdle = 0;
    editorDeleted = false;
    editorToIdle = nullptr;
  }
};

intptr_t KESTRANE_VSTCALLBACK testHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float);

class TestEffect : public AudioEffect {
 public:
  TestEffect() : AudioEffect(testHost, 1, 1) {}
  void process(float**, float**, int32_t) override {}
};

class TestEditorContent : public EditorBase {
 public:
  TestEditorContent(EditorHost* owner, int32_t width, int32_t height) : EditorBase(owner) {
    rect.right = width;
    rect.bottom = height;
  }
  ~TestEditorContent() override {
    delete frame;
    HostLog::editorDeleted = true;
  }
  void update() override { ++updates; }
  // Opens a frame of the editor's size in the host's window.
  int32_t open(void* window) override {
    EditorBase::open(window);
    if (window != nullptr) frame = new Frame(Rect(0, 0, rect.right, rect.bottom), window, this);
    return 1;
  }
  void close() override {
    delete frame;
    frame = nullptr;
  }
  int updates = 0;
};

inline intptr_t KESTRANE_VSTCALLBACK testHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*,
                                              float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterIdle:
      ++HostLog::idleRequests;
      if (HostLog::editorToIdle != nullptr) {
        TestEditor* editor = HostLog::editorToIdle;
        editor->postUpdate();
        const int before = editor->updates;
        editor->idle();
        if (editor->updates != before) ++HostLog::nestedUpdatesWhileInIdle;
      }
      return 0;
    case audioMasterBeginEdit:
      ++HostLog::beginEdits;
      return 1;
    case audioMasterEndEdit:
      ++HostLog::endEdits;
      return 1;
    default:
      return 0;
  }
}

}  // namespace kestrane::testing
