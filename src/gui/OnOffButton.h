// OnOffButton: a two-state switch. Its background holds both pictures stacked vertically, off
// in the upper half and on in the lower half. A left click toggles the value between 0 and 1,
// draws the new state at once and tells the listener; there is no drag and no edit bracket.
//
// User-interface thread only.
#pragma once

#include "gui/Control.h"

namespace kestrane {

class OnOffButton : public Control {
 public:
  OnOffButton(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background);

  // The off picture for a value of exactly 0, the on picture otherwise.
  void draw(DrawContext* context) override;
  // A value whose integer part is not 0 becomes 0, any other 1 (so 0.7 turns on). The listener
  // hears of every click, changed or not.
  void mouse(DrawContext* context, Point& where) override;
};

}  // namespace kestrane
