// The X11 backend's own objects: a connection to the X server per editor window, the windows
// behind the seam's handles (the frame's child window inside the host's, its edit fields, its
// popup menus), and how pixels of the shared rasteriser reach the screen. Internal to
// platform/x11, the only folder that includes X11 headers.
//
// Everything runs on the host's user-interface thread. Requests are never checked one by one
// except where the answer matters (creating the window): errors of the others come back as
// events on the window's own connection and are dropped there, so no process-wide error
// handler is ever installed and a window that the host destroyed under the editor costs
// nothing but those events.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/EditText.h"
#include "platform/Platform.h"
#include "platform/raster/Raster.h"

namespace kestrane::platform {

namespace x11 {

// The keysyms the backend reads (the X protocol's numbers for them).
namespace keysym {
constexpr xcb_keysym_t kBackSpace = 0xFF08;
constexpr xcb_keysym_t kReturn = 0xFF0D;
constexpr xcb_keysym_t kEscape = 0xFF1B;
constexpr xcb_keysym_t kHome = 0xFF50;
constexpr xcb_keysym_t kLeft = 0xFF51;
constexpr xcb_keysym_t kUp = 0xFF52;
constexpr xcb_keysym_t kRight = 0xFF53;
constexpr xcb_keysym_t kDown = 0xFF54;
constexpr xcb_keysym_t kEnd = 0xFF57;
constexpr xcb_keysym_t kInsert = 0xFF63;
constexpr xcb_keysym_t kEnter = 0xFF8D;  // the keypad's
constexpr xcb_keysym_t kKeypadSubtract = 0xFFAD;
constexpr xcb_keysym_t kKeypadDecimal = 0xFFAE;
constexpr xcb_keysym_t kKeypad0 = 0xFFB0;
constexpr xcb_keysym_t kKeypad9 = 0xFFB9;
constexpr xcb_keysym_t kDelete = 0xFFFF;
}  // namespace keysym

// The system's highlight, behind a menu's chosen item and a field's selected text.
constexpr ColorRef kHighlightBack = 0xD77800;  // red 0, green 120, blue 215
constexpr ColorRef kHighlightText = 0xFFFFFF;

// Atoms the backend uses, interned once per connection.
struct Atoms {
  xcb_atom_t xdndAware = XCB_NONE;
  xcb_atom_t xdndEnter = XCB_NONE;
  xcb_atom_t xdndPosition = XCB_NONE;
  xcb_atom_t xdndStatus = XCB_NONE;
  xcb_atom_t xdndLeave = XCB_NONE;
  xcb_atom_t xdndDrop = XCB_NONE;
  xcb_atom_t xdndFinished = XCB_NONE;
  xcb_atom_t xdndSelection = XCB_NONE;
  xcb_atom_t xdndTypeList = XCB_NONE;
  xcb_atom_t xdndActionCopy = XCB_NONE;
  xcb_atom_t xdndActionMove = XCB_NONE;
  xcb_atom_t uriList = XCB_NONE;       // text/uri-list: files
  xcb_atom_t textPlainUtf8 = XCB_NONE;  // text/plain;charset=utf-8
  xcb_atom_t textPlain = XCB_NONE;     // text/plain
  xcb_atom_t utf8String = XCB_NONE;
  xcb_atom_t incr = XCB_NONE;
  xcb_atom_t dropProperty = XCB_NONE;  // where a dropped selection is delivered to us
  xcb_atom_t clipboard = XCB_NONE;     // CLIPBOARD
  xcb_atom_t targets = XCB_NONE;       // TARGETS: the types a selection owner offers
  xcb_atom_t pasteProperty = XCB_NONE;  // where a pasted selection is delivered to us
};

// How the screen stores a pixel: the root visual's channel masks, bits per pixel and byte order.
struct PixelFormat {
  std::uint8_t depth = 0;
  int bitsPerPixel = 0;  // 16 or 32
  int scanlinePad = 32;
  bool msbFirst = false;
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
  // Each channel's lowest bit and width in the pixel, from the masks (prepare()).
  int shifts[3] = {0, 0, 0};
  int widths[3] = {0, 0, 0};
  void prepare();
  // The pixel value for a ColorRef (red | green << 8 | blue << 16).
  std::uint32_t pixel(ColorRef color) const;
  // A pixel value back to a ColorRef.
  ColorRef color(std::uint32_t pixel) const;
  // Bytes of one row of width pixels, padded as the server wants.
  std::size_t rowBytes(int width) const;
  // Stores one pixel value at p in the server's byte order.
  void store(std::uint8_t* p, std::uint32_t value) const;
};

// One connection to the X server, owned by one frame window (and shared by its edit fields and
// popup menus).
struct Connection {
  xcb_connection_t* xcb = nullptr;
  xcb_screen_t* screen = nullptr;  // the screen of the host's window
  xcb_visualid_t visual = 0;
  xcb_colormap_t colormap = 0;
  PixelFormat format;
  bool shm = false;  // the server offers shared memory images
  std::uint32_t maxRequestBytes = 0;
  Atoms atoms;
  // The keyboard: keysyms per keycode, from minKeycode on.
  xcb_keycode_t minKeycode = 8;
  std::uint8_t keysymsPerKeycode = 0;
  std::vector<xcb_keysym_t> keysyms;
  // Nested event deliveries running on this connection (a control's loop inside one).
  int dispatching = 0;
  // Windows let go while an event for them was being handled, freed once delivery is over.
  std::vector<OpaqueWindow*> released;
  bool lost = false;  // the server closed the connection
  // The text an edit field copied to CLIPBOARD, offered by the frame window that owns the
  // selection since the server time given, until another client takes it (SelectionClear).
  struct Clipboard {
    std::string text;  // the field's characters
    xcb_window_t owner = 0;
    xcb_timestamp_t since = 0;
  } clipboard;
  // Events read ahead while a paste waited for its answer, delivered before any newer ones.
  std::deque<xcb_generic_event_t*> deferred;

  // Opens a connection to the display named by $DISPLAY; null when there is none.
  static Connection* open();
  ~Connection();
  bool alive();
  // The next event to deliver (one read ahead first), or null when none is waiting; the caller
  // frees it.
  xcb_generic_event_t* nextEvent();
  // Chooses the screen of root and reads its visual; false when its pixels are of no kind
  // this backend can write.
  bool useScreenOf(xcb_window_t root);
  void loadKeyboard();
  // The keysym of a key event's keycode with the modifier state (Shift and Lock choose the
  // second column).
  xcb_keysym_t keysym(xcb_keycode_t code, std::uint16_t state) const;
  // Sends a request and waits for the server to have handled everything before it.
  void sync();
  // Sends a client message of 32-bit data to a window (of any client) and flushes.
  void sendMessage(xcb_window_t window, xcb_atom_t type, const std::uint32_t (&data)[5]);
  // Tells the client that asked for a selection that its data is in property (XCB_NONE:
  // refused), and flushes.
  void answerSelection(const xcb_selection_request_event_t& request, xcb_atom_t property);
};

// Shared memory of an image the server reads from.
struct SharedImage {
  std::uint32_t segment = 0;  // 0: none
  int id = -1;
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

enum class WindowKind { Frame, EditField, Popup };

// Whose window surface the rasteriser draws into: the whole picture of a window, kept here and
// sent to the server in the parts drawn since the last time.
struct Picture {
  OpaqueImage image{0, 0, false, 0};
  SharedImage shared;
  xcb_gcontext_t gc = 0;
};

}  // namespace x11

struct OpaqueWindow {
  x11::WindowKind kind = x11::WindowKind::Frame;
  x11::Connection* connection = nullptr;  // owned by the frame window
  xcb_window_t id = 0;
  OpaqueWindow* owner = nullptr;  // edit fields and popups: the frame window
  int width = 0;
  int height = 0;
  x11::Picture picture;
  WindowHandler* handler = nullptr;
  bool painted = false;    // drawn whole once (before that, an exposure paints it)
  bool destroyed = false;  // the server destroyed it (its parent went first) or the link broke
  bool released = false;   // its owner let it go; freed once event delivery is over
  // Edit fields: the text and its selection, and the mouse in the field (a drag selecting
  // from where the button went down; the last press, for a double click).
  EditText edit;
  bool selecting = false;
  xcb_timestamp_t lastPressTime = 0;
  Position lastPress;
  EditAlignment alignment = EditAlignment::Left;
  FontRequest font;
  std::string fontFace;
  EditFieldHandler* editHandler = nullptr;
  // Frame windows: the open edit field, and drops
  OpaqueWindow* field = nullptr;
  DropHandler* dropHandler = nullptr;
  struct Drag {
    xcb_window_t source = 0;
    xcb_atom_t type = XCB_NONE;  // the offered type taken; none: refused
    bool files = false;
    Position where;       // client position of the last report
    bool waiting = false;  // the data is asked for
  } drag;
};

namespace x11 {

// Every live frame window (the newest last); input queries go through the newest one's
// connection unless a window is delivering events.
std::vector<OpaqueWindow*>& frames();
// The connection input queries use now; null when no editor is open.
Connection* activeConnection();
// The window whose events are being delivered (innermost), or null.
OpaqueWindow*& deliveringWindow();

// The state a button press carried, which the first poll of the buttons after it reports (the
// button may be up again by the time the press is handled: a tap).
struct PressState {
  bool pending = false;
  int buttons = 0;  // ButtonBits
  Position cursor;  // screen
};
PressState& pendingPress();
int buttonBits(std::uint16_t state);

// Sends the part of a window's picture drawn since the last time (or the box given) to the
// server: through shared memory where the server offers it, as plain image requests otherwise.
void present(OpaqueWindow* window);
void presentBox(OpaqueWindow* window, Bounds box);
// Gives up the picture's server resources.
void dropPicture(Connection& connection, Picture& picture);
bool makePicture(Connection& connection, OpaqueWindow* window);
// The window's top-left corner on the screen.
Position screenOrigin(OpaqueWindow* window);

// Handles one event of a connection (Window.cpp); the edit field, popup and drop parts answer
// whether the event was theirs.
void deliver(Connection& connection, xcb_generic_event_t* event);
bool editFieldEvent(Connection& connection, xcb_generic_event_t* event);
bool dropEvent(Connection& connection, xcb_generic_event_t* event);
// A request for the selection the connection owns (answered from the copied text) or the news
// that it lost it (EditField.cpp).
bool clipboardEvent(Connection& connection, xcb_generic_event_t* event);
// Draws an edit field into its picture and shows it.
void drawEditField(OpaqueWindow* field);
// Destroys a window's server side and frees it now or, while events are delivered, later.
void releaseWindow(OpaqueWindow* window);
void freeReleased(Connection& connection);

// Wait for the connection's next event up to milliseconds; null on timeout or a lost link.
xcb_generic_event_t* waitEvent(Connection& connection, int milliseconds);

}  // namespace x11

}  // namespace kestrane::platform
