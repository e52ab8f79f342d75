// The host and the user on an X server, for the tests of the X11 editor: the test's own
// connection (the host's), a top-level host window whose id goes to the plug-in, the server's
// picture of a window, real input through the XTest extension, and a drag source that speaks
// XDND. Linked into test programs only (kestrane_platform_testhost), never into the plug-in;
// nothing here shows an X11 type.
//
// Everything runs on the test's main thread. The plug-in reads its own connection only when the
// host gives the editor its idle, so a test alternates: act here, sync(), then idle the editor.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"

namespace kestrane::platform::testx11 {

// Opens the test's connection to $DISPLAY; false when there is no X server.
bool connect();
void disconnect();

// A mapped top-level window at a screen position with a client area of width x height; the
// answer is its window id as a host passes it to effEditOpen (null on failure).
void* createHostWindow(int x, int y, int width, int height);
void destroyHostWindow(void* host);
// The child windows of a window, bottom to top.
std::vector<std::uint32_t> childWindows(std::uint32_t window);
std::uint32_t windowId(void* host);
bool windowExists(std::uint32_t window);
// The mapped override-redirect windows on the screen (popup menus), bottom to top.
std::vector<std::uint32_t> popupWindows();
// A window's rectangle in screen coordinates.
Bounds screenBounds(std::uint32_t window);
// What the server shows in a window: width x height pixels as ColorRef values, row by row
// (empty when it cannot be read).
std::vector<ColorRef> windowPixels(std::uint32_t window, int width, int height);

// Real input (XTest). Buttons are numbered as X numbers them (1 left, 2 middle, 3 right, 4 and 5
// the wheel); keys by their keysym. Each waits until the server has handled it.
void movePointer(Position screen);
void button(int number, bool down);
void key(std::uint32_t keysym, bool down);
// Types text key by key (Shift where the character needs it).
void typeText(const std::string& text);
// Waits until the server has handled everything sent on the test's connection.
void sync();

// Keysyms the tests use.
enum Keysym : std::uint32_t {
  KeyReturn = 0xFF0D,
  KeyEscape = 0xFF1B,
  KeyDown = 0xFF54,
  KeyUp = 0xFF52,
  KeyShift = 0xFFE1,
  KeyControl = 0xFFE3,
  KeyBackSpace = 0xFF08,
  KeyHome = 0xFF50,
  KeyEnd = 0xFF57,
  KeyLeft = 0xFF51,
  KeyRight = 0xFF53,
  KeyDelete = 0xFFFF,
  KeyInsert = 0xFF63,
};

// A key pressed and released with Control (and Shift) held, as for a shortcut.
void chord(std::uint32_t keysym, bool control, bool shift = false);

// A client of the test's own owning a selection ("CLIPBOARD" or "PRIMARY") on a connection and
// a thread of its own: the editor waits for an owner's answer on the test's thread, so the
// owner must answer from elsewhere. It answers each request as told, well or badly.
class SelectionOwner {
 public:
  enum class Answer {
    Utf8,         // UTF8_STRING with the data; STRING refused
    StringOnly,   // STRING with the data; UTF8_STRING refused
    Incremental,  // INCR: the data would come in pieces
    Huge,         // UTF8_STRING of 1 MiB of digits, whatever the data
    WrongFormat,  // "UTF8_STRING" of 32-bit units
    Silent,       // never answers
  };
  SelectionOwner(const std::string& selection, Answer answer, const std::string& data);
  ~SelectionOwner();
  SelectionOwner(const SelectionOwner&) = delete;
  SelectionOwner& operator=(const SelectionOwner&) = delete;
  // Whether the server made it the owner.
  bool owns() const { return owns_; }
  int requests() const { return requests_; }

 private:
  void serve();
  void* connection_ = nullptr;  // its own x11::Connection
  std::uint32_t window_ = 0;
  std::uint32_t selection_ = 0;
  Answer answer_;
  std::string data_;
  bool owns_ = false;
  std::atomic<int> requests_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The current owner of CLIPBOARD, or 0; and making it no one.
std::uint32_t clipboardOwner();
void clearClipboard();
// Asks the owner of CLIPBOARD for its data as target (e.g. "TARGETS", "UTF8_STRING") into a
// window of the test's; clipboardAnswer collects the answer once the owner has given it: the
// property's type and bytes (type empty when refused). False while none has come.
void requestClipboard(const std::string& target);
bool clipboardAnswer(std::string& type, std::string& data);
// The names of the atoms in a TARGETS answer's bytes.
std::vector<std::string> atomNames(const std::string& data);

// A drag source of the test's own: a window that owns the XDND selection with data of one type
// ("text/uri-list", "UTF8_STRING", ...) and sends the protocol's messages to a target.
class DragSource {
 public:
  DragSource(const std::string& type, const std::string& data);
  ~DragSource();
  DragSource(const DragSource&) = delete;
  DragSource& operator=(const DragSource&) = delete;

  void enter(std::uint32_t target);
  void position(std::uint32_t target, Position screen);
  void drop(std::uint32_t target);
  void leave(std::uint32_t target);
  // Handles what came for the source: answers requests for the data, notes the target's status
  // and the end of the drop.
  void serve();

  bool statusSeen = false;
  bool accepted = false;
  std::string statusAction;  // "XdndActionCopy", "XdndActionMove" or empty
  bool finished = false;
  bool finishedAccepted = false;
  std::string finishedAction;
  int dataRequests = 0;

 private:
  std::uint32_t window_ = 0;
  std::uint32_t type_ = 0;
  std::string data_;
};

}  // namespace kestrane::platform::testx11
