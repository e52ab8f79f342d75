// The platform seam: everything the widget toolkit asks of the operating system, and no more.
//
// The toolkit (gui/) talks to windows, device contexts, pens, brushes, fonts and bitmaps only
// through the functions below, which follow the operating system's drawing model (GDI) closely:
// a surface is a device context with one pen, one brush, one font and one image selected at a
// time; lines leave out their end pixel; block transfers convert between colour and monochrome
// images through the text and background colours. Two backends implement it:
//   - platform/win32: the real Win32 and GDI calls (the shipped plug-in and the Windows tests);
//   - platform/headless: a software renderer with scripted input and time (the native tests);
//   - platform/x11: real windows and input on an X server (the Linux plug-in), drawn by the same
//     software renderer (platform/raster) as the headless backend.
// Only those folders know which one is linked; nothing here includes a system header.
//
// Threads: every function runs on the host's user-interface thread. Nothing is locked.
// Units: pixels, milliseconds; colours are ColorRef values (red | green << 8 | blue << 16).
// Failures answer null, false, 0 or -1 and leave state unchanged; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrane::platform {

// Opaque handles. A backend defines what they point to (the win32 backend casts its system
// handles; the headless one allocates its own objects). Null is never a valid object.
struct OpaqueWindow;
struct OpaqueSurface;
struct OpaquePen;
struct OpaqueBrush;
struct OpaqueFont;
struct OpaqueImage;
struct OpaqueCursor;
struct OpaqueMenu;
using WindowRef = OpaqueWindow*;
using SurfaceRef = OpaqueSurface*;
using PenRef = OpaquePen*;
using BrushRef = OpaqueBrush*;
using FontRef = OpaqueFont*;
using ImageRef = OpaqueImage*;
using CursorRef = OpaqueCursor*;
using MenuRef = OpaqueMenu*;

// A colour as the operating system stores it: red | green << 8 | blue << 16.
using ColorRef = std::uint32_t;

struct Position {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// left/top inclusive, right/bottom exclusive where the operating system's rules say so
// (a filled rectangle, a text box); the toolkit's own Rect keeps its inclusive hit tests.
struct Bounds {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// ---------------------------------------------------------------------------------------------
// Module

// The plug-in library's instance handle, stored by the library load notification. Bitmaps are
// loaded from it and the window class is named after it. Without one, the module that contains
// this code is used (the test programs, which carry their own resources).
void setModuleInstance(void* instance);
void* moduleInstance();

// ---------------------------------------------------------------------------------------------
// Child window

// What a child window reports to its owner (the toolkit's Frame). Called from the window
// procedure on the user-interface thread; implementations must not throw.
class WindowHandler {
 public:
  virtual ~WindowHandler() = default;
  // The window needs painting; surface is valid for the duration of the call.
  virtual void windowPaint(SurfaceRef surface) = 0;
  // A mouse button went down at a client position; button is its ButtonBits bit (LeftButtonBit,
  // MiddleButtonBit or RightButtonBit). The press counts even when the live state already shows
  // the button up again (a tap, or a click sent by a program, arrives with its release).
  // Controls track the drag themselves.
  virtual void windowMouseDown(Position where, int button) = 0;
  // An edit field inside the window asks for its colours: set text and background colours on
  // editSurface and answer the brush for its background, or null for the system's default.
  virtual BrushRef windowEditFieldColors(SurfaceRef editSurface) = 0;
  // The window is being destroyed (also when its parent goes first).
  virtual void windowDestroyed() = 0;
  // The mouse wheel turned over the window by distance notches (positive: away from the user).
  // Only where the window receives the wheel itself (X11); on Windows the host passes it on.
  virtual void windowWheel(float distance) { static_cast<void>(distance); }
};

// Creates a visible child window of width x height at (0, 0) inside parent (a system window
// handle given by the host: an HWND on Windows, an X11 window id on X11). The window class is
// registered on first use and counted per window; null when parent is null or not a window,
// or creation fails (X11: no display, the parent is gone).
WindowRef createChildWindow(void* parent, int width, int height);
// Destroys the window and gives up its use of the window class (the last use unregisters it).
void destroyChildWindow(WindowRef window);
// The owner that receives the window's events (the window's user data); null detaches it.
void setWindowHandler(WindowRef window, WindowHandler* handler);
WindowHandler* windowHandler(WindowRef window);
// The window's rectangle in screen coordinates.
Bounds windowScreenBounds(WindowRef window);
// The window's own system handle, in the form a host takes a window from a plug-in (the
// same form as createChildWindow's parent): an HWND on Windows, the X11 window id as an
// integer in a pointer on X11, the backend's own record headless. Null for null.
void* systemWindowHandle(WindowRef window);
// The window class name ("Plugin%08x" of the module instance) and the number of live windows
// that use it (0 when the class is not registered).
const char* windowClassName();
int windowClassUseCount();

// Removes one waiting paint message (for any window of this thread) and dispatches it.
// Answers whether there was one.
bool dispatchPendingPaint();
// Delivers the events waiting for the window and its edit fields, at most one batch, without
// waiting for more. Where the window has a connection of its own to the window system (X11),
// nobody else reads it: the owner calls this from its idle time. Elsewhere the host's message
// loop delivers them and this does nothing. A handler may run a control's own loop inside.
// Answers false when the window was destroyed meanwhile (its owner let it go from a handler):
// the caller must then touch nothing of its owner.
bool processWindowEvents(WindowRef window);

// ---------------------------------------------------------------------------------------------
// Input, cursor and time (always read live, never from a window message)

// Bits of the button state.
enum ButtonBits : int {
  LeftButtonBit = 1,
  MiddleButtonBit = 2,
  RightButtonBit = 4,
  ShiftBit = 8,
  ControlBit = 16,
  AltBit = 32,
};

enum class Key { Shift, Control, Alt, Return };

// Whether a modifier key is among the ButtonBits `bits` (Return has no bit: false). For the
// backends that read all modifiers in one state word.
inline bool modifierIn(int bits, Key key) {
  switch (key) {
    case Key::Shift: return (bits & ShiftBit) != 0;
    case Key::Control: return (bits & ControlBit) != 0;
    case Key::Alt: return (bits & AltBit) != 0;
    case Key::Return: return false;
  }
  return false;
}

// One poll of the mouse buttons and modifier keys (ButtonBits). Polling loops call it once per
// pass; the headless backend advances its input script here.
int pollButtons();
// Whether a key is held now (does not advance a script).
bool keyDown(Key key);
// The cursor position in screen coordinates.
Position cursorPosition();
// The system's double-click interval in milliseconds.
std::uint32_t doubleClickTime();
// Milliseconds since an arbitrary start; wraps like the system tick count.
std::uint32_t tickCount();
void sleep(std::uint32_t milliseconds);

enum class CursorShape { Arrow, Wait, SizeWE, SizeNS, SizeAll, SizeNESW, SizeNWSE };
CursorRef currentCursor();
CursorRef systemCursor(CursorShape shape);
void setCursor(CursorRef cursor);

// ---------------------------------------------------------------------------------------------
// Surfaces (device contexts) and images

// The drawing surface of a window's client area (null window: the whole screen). Every acquired
// surface is released exactly once.
SurfaceRef acquireWindowSurface(WindowRef window);
void releaseWindowSurface(WindowRef window, SurfaceRef surface);

// A memory surface compatible with another (null: the screen). It starts with a 1 x 1 monochrome
// image selected, as the operating system's memory contexts do.
SurfaceRef createMemorySurface(SurfaceRef compatibleWith);
void deleteMemorySurface(SurfaceRef surface);

// An image in the format of the surface's current image (a window or screen surface: colour).
ImageRef createCompatibleImage(SurfaceRef surface, int width, int height);
// A monochrome image (one plane, one bit per pixel), all black.
ImageRef createMonochromeImage(int width, int height);
// The bitmap resource with the given id from the module; null when it does not exist.
ImageRef loadImageResource(int resourceId);
void deleteImage(ImageRef image);
// Width and height in pixels; false for a null image.
bool imageSize(ImageRef image, int& width, int& height);
// Selects an image into a memory surface and answers the one selected before; null (and nothing
// selected) when the image cannot be made ready for drawing.
ImageRef selectImage(SurfaceRef surface, ImageRef image);

// Map mode: the toolkit copies the destination's mode to its mask source and converts sizes
// from device to logical units; both backends use the identity text mode in practice.
int mapMode(SurfaceRef surface);
void setMapMode(SurfaceRef surface, int mode);
Position deviceToLogical(SurfaceRef surface, Position device);

// Reads width x height pixels starting at (x, y) as ColorRef values, row by row. Pixels outside
// the surface read as 0. Answers false when the surface cannot be read.
bool readPixels(SurfaceRef surface, int x, int y, int width, int height, ColorRef* out);

// ---------------------------------------------------------------------------------------------
// Pens, brushes, fonts and surface state

enum class PenStyle { Solid, Dotted };
PenRef createPen(PenStyle style, int width, ColorRef color);
// The stock pen that draws nothing (never deleted).
PenRef nullPen();
PenRef selectPen(SurfaceRef surface, PenRef pen);
void deletePen(PenRef pen);

BrushRef createSolidBrush(ColorRef color);
BrushRef selectBrush(SurfaceRef surface, BrushRef brush);
void deleteBrush(BrushRef brush);

struct FontRequest {
  const char* face = "Arial";
  int height = 12;  // character height in pixels (the em size; the system gets -height)
  int weight = 400;
  bool italic = false;
  bool underline = false;
  int pitchAndFamily = 0x22;  // VARIABLE_PITCH | FF_SWISS
};
FontRef createFont(const FontRequest& request);
FontRef selectFont(SurfaceRef surface, FontRef font);
FontRef currentFont(SurfaceRef surface);
void deleteFont(FontRef font);

// Current pen and brush of a surface (what the toolkit restores when it lets go of it).
PenRef currentPen(SurfaceRef surface);
BrushRef currentBrush(SurfaceRef surface);

enum class BackgroundMode { Transparent, Opaque };
void setBackgroundMode(SurfaceRef surface, BackgroundMode mode);
// Answers the previous background colour.
ColorRef setBackgroundColor(SurfaceRef surface, ColorRef color);
ColorRef setTextColor(SurfaceRef surface, ColorRef color);

// ---------------------------------------------------------------------------------------------
// Drawing

void moveTo(SurfaceRef surface, int x, int y);
// A line from the current position in the current pen; the end pixel is not drawn.
void lineTo(SurfaceRef surface, int x, int y);
// The operating system's rectangle: outline in the current pen, inside in the current brush,
// covering left .. right - 1 and top .. bottom - 1; with the null pen only the brush is drawn,
// over left .. right - 2 and top .. bottom - 2.
void rectangle(SurfaceRef surface, Bounds bounds);

// Text layout flags (the system's values).
enum TextFormat : unsigned {
  TextLeft = 0x0,
  TextCenter = 0x1,
  TextRight = 0x2,
  TextVCenter = 0x4,
  TextSingleLine = 0x20,
  TextNoPrefix = 0x800,
};
// Draws one line of text into bounds with the selected font and text colour; clipped to bounds.
// In opaque background mode the text cell is filled with the background colour first.
void drawText(SurfaceRef surface, const char* text, Bounds bounds, unsigned format);

// Raster operations of block transfers (the system's codes).
enum class RasterOp : std::uint32_t {
  SrcCopy = 0x00CC0020,
  SrcAnd = 0x008800C6,
  SrcPaint = 0x00EE0086,
  NotSrcCopy = 0x00330008,
};
// Copies width x height pixels from (srcX, srcY) of source to (x, y) of destination. A colour
// source becomes monochrome by its background colour (that colour gives 1, any other 0); a
// monochrome source becomes colour through the destination's text colour (0) and background
// colour (1).
bool blit(SurfaceRef destination, int x, int y, int width, int height, SurfaceRef source,
          int srcX, int srcY, RasterOp op);

// ---------------------------------------------------------------------------------------------
// Popup menu, edit field and drop target (used by the text edit, the option menu and drag and
// drop)

enum MenuItemFlags : unsigned {
  MenuItemPlain = 0x0,
  MenuItemGrayed = 0x1,
  MenuItemDisabled = 0x2,
  MenuItemChecked = 0x8,
  MenuItemSeparator = 0x800,
  MenuItemColumnBreak = 0x20,
};
MenuRef createPopupMenu();
bool appendMenuItem(MenuRef menu, int id, const char* text, unsigned flags);
// Shows the menu at a screen position and runs its modal loop. Answers the chosen item id,
// or -1 when nothing was chosen.
int trackPopupMenu(MenuRef menu, WindowRef owner, Position screen, bool rightButton);
void destroyMenu(MenuRef menu);
// Drops mouse-button messages waiting for the window (after a menu closed).
void discardMouseMessages(WindowRef window);

// What an edit field reports to its owner: it lost the keyboard focus or Return was pressed.
class EditFieldHandler {
 public:
  virtual ~EditFieldHandler() = default;
  virtual void editFieldDone() = 0;
};
enum class EditAlignment { Left, Center, Right };
// A single-line edit child window of parent at bounds, showing text all selected, with the font
// and keyboard focus. Null on failure.
WindowRef createEditField(WindowRef parent, Bounds bounds, const char* text,
                          EditAlignment alignment, FontRef font, EditFieldHandler* handler);
// Copies at most capacity - 1 characters and a terminator; answers the length copied.
int editFieldText(WindowRef field, char* text, int capacity);
void destroyEditField(WindowRef field);

// What a window's drop target hands over: file names (type 0) or text (type 1).
class DropHandler {
 public:
  virtual ~DropHandler() = default;
  virtual bool dropped(void** items, long count, long type, Position where) = 0;
};
// OLE for the calling thread (drag and drop needs it); balanced calls.
void initializeOle();
void uninitializeOle();
bool registerDropTarget(WindowRef window, DropHandler* handler);
void revokeDropTarget(WindowRef window);

}  // namespace kestrane::platform
