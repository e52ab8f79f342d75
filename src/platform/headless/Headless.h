// What the native tests and tools can do with the headless backend beyond the seam: script the
// mouse and keys, drive the clock, play the host (its window, paint and click messages), look at
// pixels and write them to PNG files.
//
// Input script. The seam's pollButtons() is what every polling loop calls once per pass: each
// call takes the next scripted state (buttons and modifiers as ButtonBits, and the cursor
// position in screen coordinates), which then stays current for cursorPosition() and keyDown()
// until the next poll. When the script is used up, the next poll releases the mouse buttons
// (modifiers stay), so every modal loop ends.
//
// Clock. tickCount() starts at a fixed value and moves only when the toolkit sleeps (sleep(ms)
// adds ms) or when a test advances it, so timing-dependent code runs the same way every time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/raster/Raster.h"

namespace kestrane::platform::headless {

struct InputState {
  int buttons = 0;    // ButtonBits
  Position cursor;    // screen coordinates
};

// Back to a clean start: no script, nothing held, cursor at (0, 0), clock at its start value,
// counters cleared. Windows and resources are not touched.
void resetInput();
// Sets the current state at once (without a poll).
void setInput(InputState state);
// Appends states that the next polls take one by one.
void scriptInput(const std::vector<InputState>& states);
std::size_t scriptRemaining();
// Drops the states not yet polled (the current state stays).
void clearScript();
// The state the last poll (or setInput) left current.
InputState currentInput();
// How many times pollButtons() was called since the last reset.
std::uint32_t pollCount();

constexpr std::uint32_t kClockStart = 100000;
void setTickCount(std::uint32_t milliseconds);
void advanceClock(std::uint32_t milliseconds);
// Total milliseconds slept through the seam since the last reset, and how many sleeps.
std::uint32_t sleptMilliseconds();
std::uint32_t sleepCount();

// The host: a top-level window at a screen position, which the frame's child window goes into.
WindowRef createHostWindow(Bounds screen);
// Destroys the host window; its child windows are told (windowDestroyed) first, as when a host
// closes its window before the plug-in.
void destroyHostWindow(WindowRef host);
// Marks a window as needing paint (the next dispatchPendingPaint() delivers it).
void invalidateWindow(WindowRef window);
bool paintPending(WindowRef window);
// Delivers a paint message now.
void sendPaint(WindowRef window);
// Delivers a mouse-button-down message of button (a ButtonBits mouse bit) at a client position.
// The button state polled afterwards comes from the input script, as on the real system.
void sendMouseDown(WindowRef window, Position client, int button = LeftButtonBit);
// Windows not yet deleted that have a drop handler registered (destroyed ones included).
int dropTargetCount();
// The live child windows of a window (the frame's window inside a host, edit fields inside a
// frame's window).
std::vector<WindowRef> childWindows(WindowRef parent);
// Text typed into an edit field (replaces its text: its printable characters, up to the field's
// limit), and the owner's notification as when Return is pressed.
void typeIntoEditField(WindowRef field, const std::string& text);
void pressReturnInEditField(WindowRef field);
// The id a popup menu returns on its next trackPopupMenu (-1: nothing chosen), and the texts
// and flags of the last menu shown.
void choosePopupMenuItem(int id);
struct MenuItemRecord {
  int id;
  std::string text;
  unsigned flags;
};
std::vector<MenuItemRecord> lastPopupMenu();

// Writes pixels (ColorRef values, row by row) as an 8-bit RGB PNG. False on failure.
bool writePng(const std::string& path, int width, int height, const std::vector<ColorRef>& pixels);
// Reads a surface's whole target image (window pixels or the selected memory image).
using raster::surfacePixels;
// Pixels of a window's client area.
std::vector<ColorRef> windowPixels(WindowRef window, int& width, int& height);

// Bitmap resources, as the program's embedded BMP files (the shared rasteriser keeps them).
using raster::BitmapResource;
using raster::registerBitmapResources;

}  // namespace kestrane::platform::headless
