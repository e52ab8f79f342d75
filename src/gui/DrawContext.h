// DrawContext: everything is drawn through one. It wraps a surface (a window's device context
// or, for OffscreenContext, a memory one), owns the pen, brush and font it creates, and gives
// them back to the surface when it goes. Short-lived: made for one paint, one click, one idle
// pass, and deleted right after.
//
// Pixel rules the toolkit relies on: lines leave out their end pixel; drawRect outlines
// left..right x top..bottom inclusive; fillRect fills the inside of that outline only
// (left + 1 .. right - 1, top + 1 .. bottom - 1), so fillRect then drawRect keeps the outline.
// Every coordinate is shifted by the drawing offset.
#pragma once

#include <cstdint>

#include "gui/Graphics.h"
#include "platform/Platform.h"

namespace kestrane {

class Frame;

enum LineStyle : int32_t { kLineSolid = 0, kLineOnOffDash = 1 };

class DrawContext {
 public:
  // surface and window may be null (the offscreen context brings its own surface). With a
  // surface: saves its brush, pen and font, makes the background transparent, selects a
  // solid pen of the frame colour (white, width 1) and a brush of the fill colour (black), and
  // sets the text colour to the font colour (white).
  DrawContext(Frame* frame, platform::SurfaceRef surface, platform::WindowRef window);
  DrawContext(const DrawContext&) = delete;
  DrawContext& operator=(const DrawContext&) = delete;
  // Selects the saved brush, pen and font back and deletes those it created.
  virtual ~DrawContext();

  void moveTo(const Point& point);
  void lineTo(const Point& point);
  void drawRect(const Rect& rect);
  void fillRect(const Rect& rect);

  void setLineStyle(int32_t style);  // kLineSolid or kLineOnOffDash (dotted)
  int32_t getLineStyle() const { return lineStyle; }
  void setLineWidth(int32_t width);
  int32_t getLineWidth() const { return frameWidth; }
  void setFrameColor(const Color& color);
  Color getFrameColor() const { return frameColor; }
  void setFillColor(const Color& color);
  Color getFillColor() const { return fillColor; }
  void setFontColor(const Color& color);
  Color getFontColor() const { return fontColor; }
  // id outside 0..7 becomes 0; size 0: the table's height; style: FontStyle bits.
  void setFont(int32_t id, int32_t size = 0, int32_t style = 0);
  int32_t getFont() const { return fontId; }
  int32_t getFontSize() const { return fontSize; }

  // One line of text, vertically centred in rect. alignment: 1 centred, 2 right, anything else
  // left (one pixel in from the left edge). opaque fills the text cell with the fill colour.
  void drawString(const char* text, const Rect& rect, bool opaque = false, int32_t alignment = 1);

  // The button and modifier state (ButtonState bits), read live. On the context of a click
  // (notePress), the first call also reports the clicked button as held: a press that arrives
  // together with its release (a tap, a quick click, a click sent by a program) finds the button
  // already up by the time the control looks, and is a click all the same. Every later call is
  // live only, so a drag still ends as soon as the button is up.
  int32_t getMouseButtons();
  // Makes this the context of a press of button (kLButton, kMButton or kRButton), for the next
  // getMouseButtons. Called by the frame before it hands the click to a view.
  void notePress(int32_t button) { pressedButton = button; }
  // The cursor position relative to the context's window.
  void getMouseLocation(Point& point);

  void setOffset(const Point& point) { offset = point; }
  const Point& getOffset() const { return offset; }
  void setClipRect(const Rect& rect) { clipRect = rect; }
  const Rect& getClipRect() const { return clipRect; }

  platform::SurfaceRef getSurface() const { return surface; }
  platform::WindowRef getWindow() const { return window; }
  Frame* getFrame() const { return frame; }

 protected:
  // Takes over a surface: saves what is selected in it and selects this context's pen, brush
  // and text settings.
  void attachSurface(platform::SurfaceRef newSurface);
  // Gives the surface back its saved objects and deletes the ones made here. Idempotent; the
  // offscreen context calls it before deleting its memory surface.
  void detachSurface();

  Point windowOrigin;  // screen position of the window's top left corner
  Point offset;        // added to every coordinate drawn
  platform::SurfaceRef surface = nullptr;
  platform::WindowRef window = nullptr;
  Frame* frame = nullptr;
  int32_t fontSize = 0;
  int32_t fontId = 0;
  Color fontColor = kWhite;
  int32_t frameWidth = 1;
  Color frameColor = kWhite;
  Color fillColor = kBlack;
  int32_t lineStyle = kLineSolid;
  Rect clipRect;
  platform::BrushRef brush = nullptr;
  platform::PenRef pen = nullptr;
  platform::FontRef font = nullptr;
  platform::BrushRef savedBrush = nullptr;
  platform::PenRef savedPen = nullptr;
  platform::FontRef savedFont = nullptr;
  platform::PenStyle penStyle = platform::PenStyle::Solid;

 private:
  void recreatePen();

  int32_t pressedButton = 0;  // the clicked button, until the first look at the buttons
};

}  // namespace kestrane
