// Popup menus of the X11 backend: an override-redirect window on the screen above the editor,
// drawn by the shared rasteriser, with its own loop while it is open. The loop has the pointer
// and the keyboard to itself (grabbed) and ends with a choice (a click or a release on an item,
// Return on the highlighted one), or without one (a click outside, Escape, the safety limit).
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/x11/X11.h"

namespace kestrane::platform {

struct OpaqueMenu {
  struct Item {
    int id = 0;
    std::string text;
    unsigned flags = 0;
    Bounds box;  // in the popup
  };
  std::vector<Item> items;
};

namespace {

// The look: the system's menu colours and metrics.
constexpr int kItemHeight = 18;
constexpr int kSeparatorHeight = 7;
constexpr int kCheckColumn = 20;
constexpr int kRightMargin = 20;
constexpr int kFontHeight = 13;
constexpr ColorRef kMenuBack = 0xF0F0F0;
constexpr ColorRef kMenuText = 0x000000;
constexpr ColorRef kGreyText = 0x6D6D6D;
constexpr ColorRef kBorder = 0xA0A0A0;
// The longest a menu stays open, as the longest drag of a control.
constexpr std::uint32_t kLongestOpen = 120000;
constexpr int kWaitMilliseconds = 20;

using namespace x11::keysym;
using x11::kHighlightBack;
using x11::kHighlightText;

FontRequest menuFont() {
  FontRequest font;
  font.height = kFontHeight;
  return font;
}

bool choosable(const OpaqueMenu::Item& item) {
  return (item.flags & (MenuItemSeparator | MenuItemGrayed | MenuItemDisabled)) == 0;
}

// Lays the items out in columns (a column break starts a new one); answers the popup's size.
void layOut(OpaqueMenu& menu, int& width, int& height) {
  const FontRequest font = menuFont();
  std::vector<int> columnWidths{0};
  int y = 1;
  height = 2;
  std::vector<std::size_t> columnOf;
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    OpaqueMenu::Item& item = menu.items[i];
    if ((item.flags & MenuItemColumnBreak) != 0 && i > 0) {
      columnWidths.push_back(0);
      y = 1;
    }
    const int itemHeight = (item.flags & MenuItemSeparator) != 0 ? kSeparatorHeight : kItemHeight;
    item.box = Bounds{0, y, 0, y + itemHeight};
    y += itemHeight;
    height = std::max(height, y + 1);
    const int textWidth = raster::measureText(font, item.text.c_str());
    columnWidths.back() = std::max(columnWidths.back(), kCheckColumn + textWidth + kRightMargin);
    columnOf.push_back(columnWidths.size() - 1);
  }
  std::vector<int> columnLeft;
  int x = 1;
  for (int w : columnWidths) {
    columnLeft.push_back(x);
    x += std::max(w, 60);
  }
  width = x + 1;
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const std::size_t column = columnOf[i];
    menu.items[i].box.left = columnLeft[column];
    menu.items[i].box.right = columnLeft[column] + std::max(columnWidths[column], 60);
  }
}

void drawMenu(OpaqueWindow* popup, const OpaqueMenu& menu, int hot) {
  SurfaceRef surface = acquireWindowSurface(popup);
  if (surface == nullptr) return;
  BrushRef back = createSolidBrush(kMenuBack);
  BrushRef highlight = createSolidBrush(kHighlightBack);
  PenRef border = createPen(PenStyle::Solid, 1, kBorder);
  FontRef font = createFont(menuFont());
  PenRef oldPen = selectPen(surface, border);
  BrushRef oldBrush = selectBrush(surface, back);
  FontRef oldFont = selectFont(surface, font);
  rectangle(surface, Bounds{0, 0, popup->width, popup->height});
  setBackgroundMode(surface, BackgroundMode::Transparent);
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const OpaqueMenu::Item& item = menu.items[i];
    const Bounds& box = item.box;
    if ((item.flags & MenuItemSeparator) != 0) {
      moveTo(surface, box.left + 2, box.top + kSeparatorHeight / 2);
      lineTo(surface, box.right - 2, box.top + kSeparatorHeight / 2);
      continue;
    }
    const bool lit = static_cast<int>(i) == hot && choosable(item);
    if (lit) {
      selectPen(surface, nullPen());
      selectBrush(surface, highlight);
      rectangle(surface, Bounds{box.left, box.top, box.right + 1, box.bottom + 1});
      selectPen(surface, border);
    }
    const ColorRef ink = lit ? kHighlightText : choosable(item) || (item.flags & MenuItemChecked)
                                                    ? kMenuText
                                                    : kGreyText;
    setTextColor(surface, (item.flags & (MenuItemGrayed | MenuItemDisabled)) != 0 ? kGreyText
                                                                                  : ink);
    drawText(surface, item.text.c_str(),
             Bounds{box.left + kCheckColumn, box.top, box.right, box.bottom},
             TextLeft | TextVCenter | TextSingleLine);
    if ((item.flags & MenuItemChecked) != 0) {
      // A tick in the check column.
      PenRef tick = createPen(PenStyle::Solid, 2, lit ? kHighlightText : kMenuText);
      selectPen(surface, tick);
      const int cx = box.left + 6;
      const int cy = box.top + kItemHeight / 2;
      moveTo(surface, cx, cy);
      lineTo(surface, cx + 3, cy + 3);
      lineTo(surface, cx + 9, cy - 4);
      selectPen(surface, border);
      deletePen(tick);
    }
  }
  selectPen(surface, oldPen);
  selectBrush(surface, oldBrush);
  selectFont(surface, oldFont);
  releaseWindowSurface(popup, surface);
  deleteFont(font);
  deletePen(border);
  deleteBrush(highlight);
  deleteBrush(back);
}

int itemAt(const OpaqueMenu& menu, int x, int y) {
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const Bounds& b = menu.items[i].box;
    if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) return static_cast<int>(i);
  }
  return -1;
}

// The next choosable item from hot in a direction, round the end; hot when there is none.
int step(const OpaqueMenu& menu, int hot, int direction) {
  const int count = static_cast<int>(menu.items.size());
  int i = hot;
  for (int n = 0; n < count; ++n) {
    i = i < 0 ? (direction > 0 ? 0 : count - 1) : (i + direction + count) % count;
    if (choosable(menu.items[static_cast<std::size_t>(i)])) return i;
  }
  return hot;
}

OpaqueWindow* openPopup(x11::Connection& c, OpaqueWindow* owner, Position at, int width,
                        int height) {
  auto* popup = new (std::nothrow) OpaqueWindow;
  if (popup == nullptr) return nullptr;
  popup->kind = x11::WindowKind::Popup;
  popup->connection = &c;
  popup->owner = owner;
  popup->width = width;
  popup->height = height;
  popup->id = xcb_generate_id(c.xcb);
  // On the screen, moved in where it would stick out.
  const int x = std::max(0, std::min(at.x, c.screen->width_in_pixels - width));
  const int y = std::max(0, std::min(at.y, c.screen->height_in_pixels - height));
  const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                               XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                               XCB_EVENT_MASK_KEY_PRESS;
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, 1, events, c.colormap};
  xcb_create_window(c.xcb, c.format.depth, popup->id, c.screen->root,
                    static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, c.visual,
                    XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                        XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
                    values);
  x11::makePicture(c, popup);
  popup->painted = true;
  xcb_map_window(c.xcb, popup->id);
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c.xcb, popup->id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(c.xcb);
  return popup;
}

// The pointer and the keyboard go to the popup while it is open; another client may hold a
// grab for a moment, so each is tried for a while. Without them the menu still works by
// clicks on it and keys while the editor has the focus.
void grabInput(x11::Connection& c, xcb_window_t popup) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(
        c.xcb,
        xcb_grab_pointer(c.xcb, 0, popup,
                         XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                             XCB_EVENT_MASK_POINTER_MOTION,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                         XCB_CURRENT_TIME),
        nullptr);
    const bool grabbed = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (grabbed) break;
    sleep(5);
  }
  for (int attempt = 0; attempt < 20; ++attempt) {
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        c.xcb,
        xcb_grab_keyboard(c.xcb, 0, popup, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                          XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool grabbed = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (grabbed) break;
    sleep(5);
  }
}

}  // namespace

MenuRef createPopupMenu() { return new (std::nothrow) OpaqueMenu; }

bool appendMenuItem(MenuRef menu, int id, const char* text, unsigned flags) {
  if (menu == nullptr) return false;
  OpaqueMenu::Item item;
  item.id = id;
  item.text = text != nullptr && (flags & MenuItemSeparator) == 0 ? text : "";
  item.flags = flags;
  menu->items.push_back(item);
  return true;
}

int trackPopupMenu(MenuRef menu, WindowRef owner, Position screen, bool /*rightButton*/) {
  if (menu == nullptr || menu->items.empty() || owner == nullptr ||
      owner->kind != x11::WindowKind::Frame || owner->destroyed || owner->released ||
      !owner->connection->alive()) {
    return -1;
  }
  x11::Connection& c = *owner->connection;
  int width = 0;
  int height = 0;
  layOut(*menu, width, height);
  OpaqueWindow* popup = openPopup(c, owner, screen, width, height);
  if (popup == nullptr) return -1;
  int hot = -1;
  drawMenu(popup, *menu, hot);
  grabInput(c, popup->id);

  // The loop counts as a delivery of the owner's events: its exposures and its going are
  // handled as they come, clicks meant for it are not.
  ++c.dispatching;
  int chosen = -1;
  bool done = false;
  bool tracked = false;  // the pointer went over an item, or a button went down on the menu
  const std::uint32_t opened = tickCount();
  while (!done && c.alive() && !owner->released && !owner->destroyed &&
         tickCount() - opened < kLongestOpen) {
    xcb_generic_event_t* event = x11::waitEvent(c, kWaitMilliseconds);
    if (event == nullptr) continue;
    const std::uint8_t type = event->response_type & 0x7F;
    const int lastHot = hot;
    switch (type) {
      case XCB_EXPOSE: {
        auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
        if (expose->window == popup->id) {
          x11::presentBox(popup, Bounds{0, 0, width, height});
        } else {
          x11::deliver(c, event);
        }
        break;
      }
      case XCB_MOTION_NOTIFY: {
        auto* motion = reinterpret_cast<xcb_motion_notify_event_t*>(event);
        const int at = itemAt(*menu, motion->event_x, motion->event_y);
        if (at >= 0) tracked = true;
        hot = at;
        break;
      }
      case XCB_BUTTON_PRESS: {
        auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (press->detail > 3) break;  // the wheel
        if (press->event_x < 0 || press->event_y < 0 || press->event_x >= width ||
            press->event_y >= height) {
          done = true;  // a click outside closes the menu without a choice
        } else {
          tracked = true;
        }
        break;
      }
      case XCB_BUTTON_RELEASE: {
        auto* release = reinterpret_cast<xcb_button_release_event_t*>(event);
        if (release->detail > 3 || !tracked) break;  // the release of the opening click
        const int at = itemAt(*menu, release->event_x, release->event_y);
        if (at >= 0 && choosable(menu->items[static_cast<std::size_t>(at)])) {
          chosen = menu->items[static_cast<std::size_t>(at)].id;
          done = true;
        }
        break;
      }
      case XCB_KEY_PRESS: {
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        const xcb_keysym_t sym = c.keysym(key->detail, key->state);
        if (sym == kEscape) {
          done = true;
        } else if (sym == kDown || sym == kUp) {
          hot = step(*menu, hot, sym == kDown ? 1 : -1);
        } else if ((sym == kReturn || sym == kEnter) && hot >= 0 &&
                   choosable(menu->items[static_cast<std::size_t>(hot)])) {
          chosen = menu->items[static_cast<std::size_t>(hot)].id;
          done = true;
        }
        break;
      }
      default:
        x11::deliver(c, event);
        break;
    }
    std::free(event);
    if (hot != lastHot && !done) drawMenu(popup, *menu, hot);
  }
  --c.dispatching;

  if (c.alive()) {
    xcb_ungrab_pointer(c.xcb, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(c.xcb, XCB_CURRENT_TIME);
    xcb_destroy_window(c.xcb, popup->id);
    xcb_flush(c.xcb);
  }
  x11::dropPicture(c, popup->picture);
  delete popup;
  return chosen;
}

void destroyMenu(MenuRef menu) { delete menu; }

// The menu's loop took every click made while it was open.
void discardMouseMessages(WindowRef /*window*/) {}

}  // namespace kestrane::platform
