// The opened editor's controls against the background picture they are laid over, read from
// the shipped bitmaps' pixels rather than from the layout table: a control whose rectangle is
// a pixel off its well, socket or panel fails here even if the artwork was regenerated from the
// same wrong table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "GuiTestSupport.h"
#include "editor/TransferCurveView.h"
#include "gui/Bitmap.h"
#include "gui/FilmStripDisplay.h"
#include "gui/Knob.h"
#include "gui/OnOffButton.h"
#include "gui/OptionMenu.h"
#include "gui/TextEdit.h"
#include "gui/VuMeter.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::rgb;
using platform::ColorRef;

// The near-black the artwork draws as the edge of every recess and around every curve graph.
const ColorRef kWellEdge = rgb(5, 5, 6);

class ArtworkPlacement : public testing::OpenEditor {
 protected:
  ArtworkPlacement() : canvas(layout::kEditorWidth, layout::kEditorHeight) {
    frame()->getBackground()->draw(&canvas.context(),
                                   Rect(0, 0, layout::kEditorWidth, layout::kEditorHeight));
    background = canvas.pixels();
  }
  ColorRef at(int x, int y) const { return testing::at(background, layout::kEditorWidth, x, y); }

  // A bitmap's pixels from (x, y), width by height.
  static std::vector<ColorRef> pixelsOf(Bitmap* bitmap, int x, int y, int width, int height) {
    Canvas picture(width, height);
    bitmap->draw(&picture.context(), Rect(0, 0, width, height), Point(x, y));
    return picture.pixels();
  }

  Canvas canvas;
  std::vector<ColorRef> background;
};

// Meters, readouts and menus sit in recesses: one even colour inside the rectangle, the edge
// colour in the pixels just left of, right of and above it.
TEST_F(ArtworkPlacement, DrawnControlsFillTheirRecessesExactly) {
  int checked = 0;
  for (int32_t i = 0; i < frame()->getViewCount(); ++i) {
    View* view = frame()->getView(i);
    if (!dynamic_cast<VuMeter*>(view) && !dynamic_cast<TextEdit*>(view) &&
        !dynamic_cast<OptionMenu*>(view)) {
      continue;
    }
    ++checked;
    const Rect r = view->getSize();
    SCOPED_TRACE("view " + std::to_string(i) + " at " + std::to_string(r.left) + "," +
                 std::to_string(r.top));
    const ColorRef inside = at(r.left, r.top);
    ASSERT_NE(inside, kWellEdge);
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) ASSERT_EQ(at(x, y), inside) << x << "," << y;
    }
    for (int y = r.top - 1; y < r.bottom; ++y) {
      ASSERT_EQ(at(r.left - 1, y), kWellEdge) << "left edge, y " << y;
      ASSERT_EQ(at(r.right, y), kWellEdge) << "right edge, y " << y;
    }
    for (int x = r.left - 1; x <= r.right; ++x) ASSERT_EQ(at(x, r.top - 1), kWellEdge) << x;
  }
  EXPECT_EQ(checked, 12 + 4 + 21 + 6);  // meters, reduction meters, readouts, menus
}

// Each curve graph lies on a dark plate that reaches exactly two pixels beyond it to the left,
// right and top.
TEST_F(ArtworkPlacement, CurveViewsSitCentredOnTheirPlates) {
  int checked = 0;
  for (int32_t i = 0; i < frame()->getViewCount(); ++i) {
    View* view = frame()->getView(i);
    if (!dynamic_cast<TransferCurveView*>(view)) continue;
    ++checked;
    const Rect r = view->getSize();
    SCOPED_TRACE("curve view at " + std::to_string(r.left) + "," + std::to_string(r.top));
    for (int y = r.top - 2; y < r.bottom; ++y) {
      EXPECT_EQ(at(r.left - 2, y), kWellEdge) << y;
      EXPECT_EQ(at(r.right + 1, y), kWellEdge) << y;
      EXPECT_NE(at(r.left - 3, y), kWellEdge) << y;
      EXPECT_NE(at(r.right + 2, y), kWellEdge) << y;
    }
    for (int x = r.left - 2; x < r.right + 2; ++x) {
      EXPECT_EQ(at(x, r.top - 2), kWellEdge) << x;
      EXPECT_NE(at(x, r.top - 3), kWellEdge) << x;
    }
  }
  EXPECT_EQ(checked, 4);
}

// The page panel is the band-knob area of the background itself: its first frame, laid on the
// background at the panel's rectangle, matches it pixel for pixel.
TEST_F(ArtworkPlacement, ThePagePanelCoversItsOwnPictureExactly) {
  int checked = 0;
  for (int32_t i = 0; i < frame()->getViewCount(); ++i) {
    auto* panel = dynamic_cast<FilmStripDisplay*>(frame()->getView(i));
    if (panel == nullptr) continue;
    ++checked;
    const Rect r = panel->getSize();
    const std::vector<ColorRef> first =
        pixelsOf(panel->getBackground(), 0, 0, r.width(), r.height());
    for (int y = 0; y < r.height(); ++y) {
      for (int x = 0; x < r.width(); ++x) {
        ASSERT_EQ(testing::at(first, r.width(), x, y), at(r.left + x, r.top + y)) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(checked, 1);
}

// Knob and switch strips carry, around what they draw, the background that lay under their
// rectangle when the artwork was made. The sockets shade from top to bottom, so the strips'
// first frames match the background under the control's rectangle better than under the same
// rectangle a row higher or lower. (Across, the sockets are even: a control moved sideways
// shows nothing in these pixels.)
TEST_F(ArtworkPlacement, KnobAndSwitchStripsSitAtTheHeightTheyWereCutFrom) {
  int checked = 0;
  for (int32_t i = 0; i < frame()->getViewCount(); ++i) {
    auto* control = dynamic_cast<Control*>(frame()->getView(i));
    if (!dynamic_cast<AnimatedKnob*>(control) && !dynamic_cast<OnOffButton*>(control)) continue;
    ++checked;
    const Rect r = control->getSize();
    SCOPED_TRACE("view " + std::to_string(i) + " at " + std::to_string(r.left) + "," +
                 std::to_string(r.top));
    const std::vector<ColorRef> first =
        pixelsOf(control->getBackground(), 0, 0, r.width(), r.height());
    auto matching = [&](int dy) {
      int same = 0;
      for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x) {
          same += testing::at(first, r.width(), x, y) == at(r.left + x, r.top + y + dy) ? 1 : 0;
        }
      }
      return same;
    };
    const int here = matching(0);
    EXPECT_GT(here, matching(-1));
    EXPECT_GT(here, matching(1));
  }
  EXPECT_EQ(checked, 1 + 4 + 16 + 5 + 2);  // knobs, switches, page buttons
}

}  // namespace
}  // namespace kestrane
