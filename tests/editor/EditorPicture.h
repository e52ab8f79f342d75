// The opened editor as a picture: the expected one (tests/editor/data/editor-mastering.ppm, the
// first program on the compressor page with the meters at rest, as the software backend draws
// it) and the comparison that leaves out the text boxes, where the system's fonts differ.
//
// After a deliberate change of the editor's look, write the picture anew with the native build:
//   KESTRANE_WRITE_REFERENCE=1 build/native/tests/editor/kestrane_editor_tests
//       --gtest_filter='EditorPicture.*'
// and check that the win64 build under wine still passes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "editor/Layout.h"
#include "platform/Platform.h"

namespace kestrane::testing {

inline std::string editorReferencePath() {
  return std::string(KESTRANE_SOURCE_DIR) + "/tests/editor/data/editor-mastering.ppm";
}

// Pixels of a window's client area through its device context.
inline std::vector<platform::ColorRef> windowPicture(platform::WindowRef window) {
  std::vector<platform::ColorRef> pixels(
      static_cast<std::size_t>(layout::kEditorWidth * layout::kEditorHeight));
  platform::SurfaceRef surface = platform::acquireWindowSurface(window);
  const bool read = platform::readPixels(surface, 0, 0, layout::kEditorWidth,
                                         layout::kEditorHeight, pixels.data());
  platform::releaseWindowSurface(window, surface);
  if (!read) pixels.clear();
  return pixels;
}

// Whether a point lies in one of the text boxes (readouts and menus, edges included).
inline bool inTextBox(int x, int y) {
  for (const layout::ControlItem& item : layout::kControls) {
    const bool text = item.kind == layout::ControlKind::TextEdit ||
                      item.kind == layout::ControlKind::OptionMenu;
    if (!text) continue;
    if (x >= item.rect.left && x <= item.rect.right && y >= item.rect.top &&
        y <= item.rect.bottom) {
      return true;
    }
  }
  return false;
}

// Compares a picture of the editor with the expected one outside the text boxes; the first
// differences are reported, and the picture is kept as editor-actual.ppm when they differ.
inline void expectEditorPicture(const std::vector<platform::ColorRef>& actual) {
  const int width = layout::kEditorWidth;
  const int height = layout::kEditorHeight;
  ASSERT_EQ(actual.size(), static_cast<std::size_t>(width * height)) << "no picture";
  int expectedWidth = 0;
  int expectedHeight = 0;
  std::vector<platform::ColorRef> expected;
  ASSERT_TRUE(readPpm(editorReferencePath(), expectedWidth, expectedHeight, expected))
      << "cannot read " << editorReferencePath();
  ASSERT_EQ(expectedWidth, width);
  ASSERT_EQ(expectedHeight, height);
  int differences = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * width + x);
      if (inTextBox(x, y) || actual[i] == expected[i]) continue;
      if (++differences <= 10) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": 0x" << std::hex << actual[i]
                      << " instead of 0x" << expected[i];
      }
    }
  }
  EXPECT_EQ(differences, 0);
  if (differences > 0) writePpm("editor-actual.ppm", width, height, actual);
}

}  // namespace kestrane::testing
