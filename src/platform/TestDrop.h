// Drag and drop from outside, for tests that run on both backends: text or files dragged onto a
// window and dropped there, as the shell or another program would do it, and shell shortcuts to
// drop. Linked into test programs only (kestrane_platform_testhost), never into the plug-in.
//
//   - Windows: a real OLE drag (DoDragDrop with a data object and a drop source of its own) over
//     the window's registered drop target; the drop happens once the target has answered the
//     drag with the wanted keys held (the key state is awaited, as the system may show input
//     late);
//   - headless: the window's drop handler is called directly with the items (no drag, no
//     effects, no shortcuts).
//
// Runs on the thread that owns the window (the test's main thread).
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrane::platform::testdrop {

// Drop effects as the system names them.
enum Effect : unsigned { EffectNone = 0, EffectCopy = 1, EffectMove = 2 };

struct Outcome {
  bool dropped = false;      // the drop reached the window (headless: a handler was registered)
  unsigned hoverEffect = 0;  // what the target answered while the drag hovered (Windows only)
  unsigned dropEffect = 0;   // what the drop ended with (Windows only)
};

// Text (CF_TEXT) dragged onto a client point of window and dropped there, with keys (ButtonBits,
// e.g. ControlBit) held during the drag.
Outcome dragText(WindowRef window, Position client, const std::string& text, int keys = 0);
// Files (CF_HDROP, their names as given) dragged and dropped likewise.
Outcome dragFiles(WindowRef window, Position client, const std::vector<std::string>& paths,
                  int keys = 0);
// Data that offers neither text nor files. Headless: nothing happens.
Outcome dragOtherData(WindowRef window, Position client);

// Drop targets that are registered or still held (Windows: the drop target objects of the
// program alive now; headless: the windows with a drop handler). A target left registered on a
// window that is gone can never be revoked again and stays counted.
int liveDropTargets();

// Whether this backend makes real drags and shortcuts (false: headless).
bool realDrags();
// A folder for scratch files, with its trailing separator.
std::string scratchFolder();
// A shell shortcut at path that points at target; false where there are none.
bool createShortcut(const std::string& path, const std::string& target);
// The system's short form of an existing path; empty where there is none.
std::string shortPath(const std::string& path);

}  // namespace kestrane::platform::testdrop
