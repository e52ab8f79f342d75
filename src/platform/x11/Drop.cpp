// The drop target of a frame window, by the X drag-and-drop protocol (XDND, version 5): files
// (text/uri-list, local file: addresses) and text dragged onto the window from another program
// are handed to the window's DropHandler, by the same rules as the Windows drop target: the
// drag shows a copy while Control is held and a move otherwise; a name that does not fit the
// handler's 1024-byte names is left out rather than cut; the drop ends as a copy when taken and
// as nothing when not, so that a source never deletes what was not taken.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/x11/X11.h"

namespace kestrane::platform {

namespace {

constexpr std::uint32_t kXdndVersion = 5;
constexpr std::size_t kNameBytes = 1024;
constexpr long kDropFiles = 0;
constexpr long kDropText = 1;
// The most a drop delivers, in 32-bit units of the property.
constexpr std::uint32_t kLongestDrop = 1u << 20;

OpaqueWindow* frameWithId(x11::Connection& connection, xcb_window_t id) {
  for (OpaqueWindow* frame : x11::frames()) {
    if (frame->connection == &connection && frame->id == id && !frame->released) return frame;
  }
  return nullptr;
}

void finishDrop(x11::Connection& c, OpaqueWindow* frame, bool taken) {
  const std::uint32_t data[5] = {frame->id, taken ? 1u : 0u,
                                 taken ? c.atoms.xdndActionCopy : xcb_atom_t{XCB_NONE}, 0, 0};
  c.sendMessage(frame->drag.source, c.atoms.xdndFinished, data);
  frame->drag = OpaqueWindow::Drag{};
}

// The best type on offer: files first, then text; none when neither is.
xcb_atom_t chooseType(const x11::Atoms& a, const std::vector<xcb_atom_t>& offered, bool& files) {
  files = false;
  for (xcb_atom_t type : offered) {
    if (type == a.uriList) {
      files = true;
      return type;
    }
  }
  for (xcb_atom_t wanted : {a.utf8String, a.textPlainUtf8, a.textPlain, xcb_atom_t{XCB_ATOM_STRING}}) {
    for (xcb_atom_t type : offered) {
      if (type == wanted && type != XCB_NONE) return type;
    }
  }
  return XCB_NONE;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The local file name of a file: address, or empty for any other (another host, another
// scheme, a broken escape).
std::string fileName(const std::string& uri) {
  if (uri.compare(0, 5, "file:") != 0) return std::string();
  std::string rest = uri.substr(5);
  if (rest.compare(0, 2, "//") == 0) {
    const std::size_t slash = rest.find('/', 2);
    if (slash == std::string::npos) return std::string();
    const std::string host = rest.substr(2, slash - 2);
    char here[256] = "";
    gethostname(here, sizeof here - 1);
    if (!host.empty() && host != "localhost" && host != here) return std::string();
    rest = rest.substr(slash);
  }
  std::string name;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      name += rest[i];
      continue;
    }
    if (i + 2 >= rest.size() + 0 || hexValue(rest[i + 1]) < 0 || hexValue(rest[i + 2]) < 0) {
      return std::string();
    }
    const char decoded = static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
    if (decoded == '\0') return std::string();
    name += decoded;
    i += 2;
  }
  return name;
}

bool dropFiles(OpaqueWindow* frame, const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string name = fileName(line);
    if (!name.empty() && name.size() < kNameBytes) names.push_back(name);
  }
  if (names.empty()) return false;
  // Each name in a buffer of its own of the handler's size, as the Windows target hands them.
  std::vector<std::unique_ptr<char[]>> buffers;
  std::vector<void*> items;
  for (const std::string& name : names) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kNameBytes]);
    if (!buffer) return false;
    std::memset(buffer.get(), 0, kNameBytes);
    std::memcpy(buffer.get(), name.c_str(), name.size());
    items.push_back(buffer.get());
    buffers.push_back(std::move(buffer));
  }
  return frame->dropHandler->dropped(items.data(), static_cast<long>(items.size()), kDropFiles,
                                     frame->drag.where);
}

bool dropText(OpaqueWindow* frame, const std::string& text) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  void* item = copy.data();
  return frame->dropHandler->dropped(&item, static_cast<long>(text.size()), kDropText,
                                     frame->drag.where);
}

void onClientMessage(x11::Connection& c, xcb_client_message_event_t* message) {
  OpaqueWindow* frame = frameWithId(c, message->window);
  if (frame == nullptr || frame->destroyed) return;
  const x11::Atoms& a = c.atoms;
  const std::uint32_t* data = message->data.data32;
  if (message->type == a.xdndEnter) {
    frame->drag = OpaqueWindow::Drag{};
    frame->drag.source = data[0];
    std::vector<xcb_atom_t> offered;
    if ((data[1] & 1u) != 0) {
      // More than three types: the list is a property of the source.
      xcb_get_property_reply_t* list = xcb_get_property_reply(
          c.xcb, xcb_get_property(c.xcb, 0, data[0], a.xdndTypeList, XCB_ATOM_ATOM, 0, 64),
          nullptr);
      if (list != nullptr && list->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(list));
        offered.assign(atoms, atoms + xcb_get_property_value_length(list) / 4);
      }
      std::free(list);
    } else {
      offered.assign(data + 2, data + 5);
    }
    if (frame->dropHandler != nullptr) frame->drag.type = chooseType(a, offered, frame->drag.files);
  } else if (message->type == a.xdndPosition) {
    if (data[0] != frame->drag.source) return;
    const Position origin = x11::screenOrigin(frame);
    const int rootX = static_cast<int>(data[2] >> 16);
    const int rootY = static_cast<int>(data[2] & 0xFFFF);
    frame->drag.where = Position{rootX - origin.x, rootY - origin.y};
    const bool accept = frame->drag.type != XCB_NONE && frame->dropHandler != nullptr;
    const bool copy = (pollButtons() & ControlBit) != 0;
    const std::uint32_t status[5] = {
        frame->id, accept ? 3u : 2u, 0, 0,
        !accept ? xcb_atom_t{XCB_NONE} : copy ? a.xdndActionCopy : a.xdndActionMove};
    c.sendMessage(frame->drag.source, a.xdndStatus, status);
  } else if (message->type == a.xdndLeave) {
    frame->drag = OpaqueWindow::Drag{};
  } else if (message->type == a.xdndDrop) {
    if (data[0] != frame->drag.source) return;
    if (frame->drag.type == XCB_NONE || frame->dropHandler == nullptr) {
      finishDrop(c, frame, false);
      return;
    }
    // The data comes as a selection, answered later (SelectionNotify).
    frame->drag.waiting = true;
    xcb_convert_selection(c.xcb, frame->id, a.xdndSelection, frame->drag.type,
                          a.dropProperty, data[2]);
    xcb_flush(c.xcb);
  }
}

void onSelection(x11::Connection& c, xcb_selection_notify_event_t* notify) {
  OpaqueWindow* frame = frameWithId(c, notify->requestor);
  if (frame == nullptr || !frame->drag.waiting || notify->selection != c.atoms.xdndSelection) {
    return;
  }
  bool taken = false;
  if (notify->property != XCB_NONE && frame->dropHandler != nullptr) {
    xcb_get_property_reply_t* value = xcb_get_property_reply(
        c.xcb,
        xcb_get_property(c.xcb, 1, frame->id, notify->property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                         kLongestDrop),
        nullptr);
    // Data sent in pieces (INCR) or cut off is refused, not taken in part.
    if (value != nullptr && value->format == 8 && value->type != c.atoms.incr &&
        value->bytes_after == 0) {
      const std::string data(static_cast<const char*>(xcb_get_property_value(value)),
                             static_cast<std::size_t>(xcb_get_property_value_length(value)));
      taken = frame->drag.files ? dropFiles(frame, data) : dropText(frame, data);
    }
    std::free(value);
  }
  if (frameWithId(c, notify->requestor) == frame) finishDrop(c, frame, taken);
}

}  // namespace

namespace x11 {

bool dropEvent(Connection& connection, xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7F;
  if (type == XCB_CLIENT_MESSAGE) {
    onClientMessage(connection, reinterpret_cast<xcb_client_message_event_t*>(event));
    return true;
  }
  if (type == XCB_SELECTION_NOTIFY) {
    onSelection(connection, reinterpret_cast<xcb_selection_notify_event_t*>(event));
    return true;
  }
  return false;
}

}  // namespace x11

bool registerDropTarget(WindowRef window, DropHandler* handler) {
  if (window == nullptr || window->kind != x11::WindowKind::Frame || window->destroyed ||
      window->released || !window->connection->alive()) {
    return false;
  }
  window->dropHandler = handler;
  const std::uint32_t version = kXdndVersion;
  xcb_change_property(window->connection->xcb, XCB_PROP_MODE_REPLACE, window->id,
                      window->connection->atoms.xdndAware, XCB_ATOM_ATOM, 32, 1, &version);
  xcb_flush(window->connection->xcb);
  return true;
}

void revokeDropTarget(WindowRef window) {
  if (window == nullptr || window->kind != x11::WindowKind::Frame) return;
  window->dropHandler = nullptr;
  if (!window->destroyed && !window->released && window->connection->alive()) {
    xcb_delete_property(window->connection->xcb, window->id, window->connection->atoms.xdndAware);
    xcb_flush(window->connection->xcb);
  }
}

}  // namespace kestrane::platform
