#include "gui/OnOffButton.h"

#include <cmath>

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"

namespace kestrane {

OnOffButton::OnOffButton(const Rect& rect, ControlListener* owner, int32_t controlTag,
                         Bitmap* bitmap)
    : Control(rect, owner, controlTag, bitmap) {}

void OnOffButton::draw(DrawContext* context) {
  if (background != nullptr) {
    const Point offset(0, value == 0.0f ? 0 : background->getHeight() / 2);
    drawBitmap(context, background, size, offset);
  }
  setDirty(false);
}

void OnOffButton::mouse(DrawContext* context, Point&) {
  if (!mouseEnabled || context == nullptr) return;
  if ((context->getMouseButtons() & kLButton) == 0) return;
  // The integer part is not 0 exactly when the magnitude reaches 1 (no conversion to overflow).
  value = std::fabs(value) >= 1.0f ? 0.0f : 1.0f;
  draw(context);
  notifyListener(context);
}

}  // namespace kestrane
