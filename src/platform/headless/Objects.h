// The headless backend's windows: the host windows the tests make, the frames' child windows
// and the edit fields, each with the pixels the shared rasteriser draws into. Internal to
// platform/headless.
#pragma once

#include <string>

#include "platform/EditText.h"
#include "platform/Platform.h"
#include "platform/raster/Raster.h"

namespace kestrane::platform {

struct OpaqueWindow {
  OpaqueWindow* parent = nullptr;
  Bounds screen;              // position on the screen
  OpaqueImage pixels{0, 0, false, 0};
  WindowHandler* handler = nullptr;
  bool child = false;         // a frame window (counts as a use of the window class)
  bool paintPending = false;  // a new or invalidated window waits for its paint message
  bool destroyed = false;
  // Edit fields: the text and its selection, as the X11 backend keeps them
  bool editField = false;
  EditText edit;
  EditFieldHandler* editHandler = nullptr;
  DropHandler* dropHandler = nullptr;
};

}  // namespace kestrane::platform
