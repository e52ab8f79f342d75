#include "gui/TextEdit.h"

#include <cstdio>
#include <cstring>

#include "gui/DrawContext.h"
#include "gui/Frame.h"

namespace kestrane {

namespace {

constexpr std::size_t kTextBytes = TextEdit::kMaxTextLength + 1;
constexpr int32_t kEditFontWeight = 400;
constexpr int32_t kSwissVariablePitch = 0x22;  // VARIABLE_PITCH | FF_SWISS

platform::EditAlignment fieldAlignment(int32_t alignment) {
  switch (alignment) {
    case ParamDisplay::kCenterText: return platform::EditAlignment::Center;
    case ParamDisplay::kRightText: return platform::EditAlignment::Right;
    default: return platform::EditAlignment::Left;
  }
}

}  // namespace

TextEdit::TextEdit(const Rect& rect, ControlListener* owner, int32_t controlTag,
                   const char* initialText, Bitmap* bitmap, int32_t styleBits)
    : ParamDisplay(rect, owner, controlTag, bitmap, styleBits) {
  copyText(textBuffer, initialText, kTextBytes);
}

TextEdit::~TextEdit() { closeField(); }

void TextEdit::draw(DrawContext* context) {
  char shown[kTextBytes] = "";
  if (textConverterWithData != nullptr) {
    textConverterWithData(textBuffer, shown, userData);
  } else if (textConverter != nullptr) {
    textConverter(textBuffer, shown);
  } else {
    std::snprintf(shown, sizeof shown, "%s", textBuffer);
  }
  drawText(context, shown);
}

void TextEdit::setText(const char* newText) {
  if (newText == nullptr) return;
  char cut[kTextBytes];
  copyText(cut, newText, kTextBytes);
  if (std::strcmp(cut, textBuffer) == 0) return;
  std::memcpy(textBuffer, cut, kTextBytes);
  setDirty(true);
}

void TextEdit::getText(char* out) const {
  if (out != nullptr) std::memcpy(out, textBuffer, std::strlen(textBuffer) + 1);
}

void TextEdit::setTextFormatter(TextToTextWithData newConverter, void* data) {
  textConverterWithData = newConverter;
  userData = data;
}

void TextEdit::setTextFormatter(TextToText newConverter) { textConverter = newConverter; }

void TextEdit::mouse(DrawContext* context, Point&) {
  if (!mouseEnabled || context == nullptr || frame == nullptr) return;
  if ((context->getMouseButtons() & kLButton) == 0) return;
  if (frame->getFocusView() == this) return;
  if ((style & kDoubleClickEdit) != 0 && editor() != nullptr) {
    const uint32_t now = platform::tickCount();
    if (!firstClickPending) {
      firstClickPending = true;
      firstClickTick = now;
      return;
    }
    firstClickPending = false;
    if (now - firstClickTick >= platform::doubleClickTime()) return;
  }
  frame->setFocusView(this);
  gainFocus(context);
}

void TextEdit::gainFocus(DrawContext*) {
  if (editWindow != nullptr || frame == nullptr) return;
  platform::WindowRef parent = frame->getSystemWindow();
  if (parent == nullptr) return;
  const FontEntry& entry = kFontTable[fontId >= 0 && fontId < kFontCount ? fontId : 0];
  platform::FontRequest request;
  request.face = entry.face;
  request.height = entry.height;
  request.weight = kEditFontWeight;
  request.pitchAndFamily = kSwissVariablePitch;
  editFont = platform::createFont(request);
  // The field covers the control's rectangle including its right and bottom edges.
  const platform::Bounds bounds{size.left, size.top, size.right + 1, size.bottom + 1};
  editWindow = platform::createEditField(parent, bounds, textBuffer,
                                         fieldAlignment(horizontalAlignment), editFont, this);
  if (editWindow == nullptr) {
    platform::deleteFont(editFont);
    editFont = nullptr;
    if (frame->getFocusView() == this) frame->setFocusView(nullptr);
  }
}

platform::BrushRef TextEdit::editFieldColors(platform::SurfaceRef editSurface) {
  platform::setTextColor(editSurface, fontColor.toColorRef());
  platform::setBackgroundColor(editSurface, backColor.toColorRef());
  platform::BrushRef brush = platform::createSolidBrush(backColor.toColorRef());
  platform::deleteBrush(editBrush);
  editBrush = brush;
  return editBrush;
}

void TextEdit::editFieldDone() { loseFocus(nullptr); }

void TextEdit::loseFocus(DrawContext* context) {
  if (editWindow == nullptr || frame == nullptr || frame->getFocusView() != this) return;
  // The focus goes first, so that the notifications that closing the field causes find nothing
  // left to do.
  frame->setFocusView(nullptr);
  char before[kTextBytes];
  std::memcpy(before, textBuffer, kTextBytes);
  char typed[kTextBytes] = "";
  platform::editFieldText(editWindow, typed, static_cast<int>(kTextBytes));
  std::memcpy(textBuffer, typed, kTextBytes);
  closeField();

  ContextOnFrame drawing(frame, context);
  if (std::strcmp(before, textBuffer) != 0) notifyListener(drawing.get());
  if (drawing.get() != nullptr) draw(drawing.get());
}

void TextEdit::closeField() {
  platform::WindowRef field = editWindow;
  editWindow = nullptr;  // before the field goes: it reports the loss of its focus
  if (field != nullptr) platform::destroyEditField(field);
  platform::deleteFont(editFont);
  editFont = nullptr;
  platform::deleteBrush(editBrush);
  editBrush = nullptr;
}

}  // namespace kestrane
