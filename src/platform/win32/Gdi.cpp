// Device contexts, images, pens, brushes, fonts, text and block transfers: the seam's drawing
// half, one GDI call each. Handles pass through the seam as opaque pointers.
#include <windows.h>

#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Handles.h"

namespace kestrane::platform {

using win32::fromHandle;
using win32::toHandle;

SurfaceRef acquireWindowSurface(WindowRef window) {
  return fromHandle<SurfaceRef>(GetDC(toHandle<HWND>(window)));
}

void releaseWindowSurface(WindowRef window, SurfaceRef surface) {
  if (surface != nullptr) ReleaseDC(toHandle<HWND>(window), toHandle<HDC>(surface));
}

SurfaceRef createMemorySurface(SurfaceRef compatibleWith) {
  return fromHandle<SurfaceRef>(CreateCompatibleDC(toHandle<HDC>(compatibleWith)));
}

void deleteMemorySurface(SurfaceRef surface) {
  if (surface != nullptr) DeleteDC(toHandle<HDC>(surface));
}

ImageRef createCompatibleImage(SurfaceRef surface, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  if (surface != nullptr) {
    return fromHandle<ImageRef>(CreateCompatibleBitmap(toHandle<HDC>(surface), width, height));
  }
  HDC screen = GetDC(nullptr);
  HBITMAP image = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return fromHandle<ImageRef>(image);
}

ImageRef createMonochromeImage(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  return fromHandle<ImageRef>(CreateBitmap(width, height, 1, 1, nullptr));
}

ImageRef loadImageResource(int resourceId) {
  auto* instance = static_cast<HINSTANCE>(moduleInstance());
  return fromHandle<ImageRef>(
      LoadBitmapA(instance, MAKEINTRESOURCEA(static_cast<WORD>(resourceId & 0xFFFF))));
}

void deleteImage(ImageRef image) {
  if (image != nullptr) DeleteObject(toHandle<HBITMAP>(image));
}

bool imageSize(ImageRef image, int& width, int& height) {
  BITMAP info{};
  if (image == nullptr || GetObjectA(toHandle<HBITMAP>(image), sizeof info, &info) == 0) {
    return false;
  }
  width = info.bmWidth;
  height = info.bmHeight;
  return true;
}

ImageRef selectImage(SurfaceRef surface, ImageRef image) {
  if (surface == nullptr || image == nullptr) return nullptr;
  return fromHandle<ImageRef>(SelectObject(toHandle<HDC>(surface), toHandle<HBITMAP>(image)));
}

int mapMode(SurfaceRef surface) { return GetMapMode(toHandle<HDC>(surface)); }

void setMapMode(SurfaceRef surface, int mode) { SetMapMode(toHandle<HDC>(surface), mode); }

Position deviceToLogical(SurfaceRef surface, Position device) {
  POINT point{device.x, device.y};
  DPtoLP(toHandle<HDC>(surface), &point, 1);
  return Position{point.x, point.y};
}

bool readPixels(SurfaceRef surface, int x, int y, int width, int height, ColorRef* out) {
  if (surface == nullptr || out == nullptr || width <= 0 || height <= 0) return false;
  // Copy through a 32-bit top-down DIB section: the one format whose bytes we can read directly.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section == nullptr || bits == nullptr) return false;
  HDC memory = CreateCompatibleDC(toHandle<HDC>(surface));
  HGDIOBJ previous = SelectObject(memory, section);
  const BOOL copied = BitBlt(memory, 0, 0, width, height, toHandle<HDC>(surface), x, y, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t bgra = pixels[i];
    // Stored as blue, green, red bytes: swap into red | green << 8 | blue << 16.
    out[i] = ((bgra >> 16) & 0xFF) | (bgra & 0xFF00) | ((bgra & 0xFF) << 16);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(section);
  return copied != FALSE;
}

PenRef createPen(PenStyle style, int width, ColorRef color) {
  return fromHandle<PenRef>(CreatePen(style == PenStyle::Dotted ? PS_DOT : PS_SOLID, width, color));
}

PenRef nullPen() { return fromHandle<PenRef>(GetStockObject(NULL_PEN)); }

PenRef selectPen(SurfaceRef surface, PenRef pen) {
  if (surface == nullptr || pen == nullptr) return nullptr;
  return fromHandle<PenRef>(SelectObject(toHandle<HDC>(surface), toHandle<HPEN>(pen)));
}

void deletePen(PenRef pen) {
  if (pen != nullptr) DeleteObject(toHandle<HPEN>(pen));
}

BrushRef createSolidBrush(ColorRef color) { return fromHandle<BrushRef>(CreateSolidBrush(color)); }

BrushRef selectBrush(SurfaceRef surface, BrushRef brush) {
  if (surface == nullptr || brush == nullptr) return nullptr;
  return fromHandle<BrushRef>(SelectObject(toHandle<HDC>(surface), toHandle<HBRUSH>(brush)));
}

void deleteBrush(BrushRef brush) {
  if (brush != nullptr) DeleteObject(toHandle<HBRUSH>(brush));
}

FontRef createFont(const FontRequest& request) {
  // Character height (negative), output precision 1 (string), clip precision 2 (stroke),
  // default quality, the ANSI character set.
  return fromHandle<FontRef>(CreateFontA(
      -request.height, 0, 0, 0, request.weight, request.italic ? TRUE : FALSE,
      request.underline ? TRUE : FALSE, FALSE, ANSI_CHARSET, 1, 2, DEFAULT_QUALITY,
      static_cast<DWORD>(request.pitchAndFamily), request.face));
}

FontRef selectFont(SurfaceRef surface, FontRef font) {
  if (surface == nullptr || font == nullptr) return nullptr;
  return fromHandle<FontRef>(SelectObject(toHandle<HDC>(surface), toHandle<HFONT>(font)));
}

FontRef currentFont(SurfaceRef surface) {
  return fromHandle<FontRef>(GetCurrentObject(toHandle<HDC>(surface), OBJ_FONT));
}

void deleteFont(FontRef font) {
  if (font != nullptr) DeleteObject(toHandle<HFONT>(font));
}

PenRef currentPen(SurfaceRef surface) {
  return fromHandle<PenRef>(GetCurrentObject(toHandle<HDC>(surface), OBJ_PEN));
}

BrushRef currentBrush(SurfaceRef surface) {
  return fromHandle<BrushRef>(GetCurrentObject(toHandle<HDC>(surface), OBJ_BRUSH));
}

void setBackgroundMode(SurfaceRef surface, BackgroundMode mode) {
  SetBkMode(toHandle<HDC>(surface), mode == BackgroundMode::Opaque ? OPAQUE : TRANSPARENT);
}

ColorRef setBackgroundColor(SurfaceRef surface, ColorRef color) {
  return SetBkColor(toHandle<HDC>(surface), color);
}

ColorRef setTextColor(SurfaceRef surface, ColorRef color) {
  return SetTextColor(toHandle<HDC>(surface), color);
}

void moveTo(SurfaceRef surface, int x, int y) { MoveToEx(toHandle<HDC>(surface), x, y, nullptr); }

void lineTo(SurfaceRef surface, int x, int y) { LineTo(toHandle<HDC>(surface), x, y); }

void rectangle(SurfaceRef surface, Bounds b) {
  Rectangle(toHandle<HDC>(surface), b.left, b.top, b.right, b.bottom);
}

void drawText(SurfaceRef surface, const char* text, Bounds bounds, unsigned format) {
  if (surface == nullptr || text == nullptr) return;
  RECT rect{bounds.left, bounds.top, bounds.right, bounds.bottom};
  DrawTextA(toHandle<HDC>(surface), text, -1, &rect, format);
}

bool blit(SurfaceRef destination, int x, int y, int width, int height, SurfaceRef source,
          int srcX, int srcY, RasterOp op) {
  return BitBlt(toHandle<HDC>(destination), x, y, width, height, toHandle<HDC>(source), srcX, srcY,
                static_cast<DWORD>(op)) != FALSE;
}

}  // namespace kestrane::platform
