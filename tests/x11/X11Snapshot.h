// The pictures the X11 tests compare against: what `kestrane snapshot` (the native build's
// command, named by $KESTRANE_SNAPSHOT) draws for a factory program and page, read from its PNG
// file, and the count of pixels in which two pictures differ.
#pragma once

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrane::testing {

// A PNG file's pixels as ColorRef values; false when it cannot be read.
inline bool readPng(const std::string& path, int& width, int& height,
                    std::vector<platform::ColorRef>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> data(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, data.data(), 0, nullptr) == 0) return false;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  pixels.clear();
  for (std::size_t i = 0; i + 2 < data.size(); i += 3) {
    pixels.push_back(data[i] | data[i + 1] << 8 | static_cast<platform::ColorRef>(data[i + 2]) << 16);
  }
  return true;
}

// The `kestrane` command that draws the expected pictures, or empty.
inline std::string snapshotTool() {
  const char* tool = std::getenv("KESTRANE_SNAPSHOT");
  return tool != nullptr ? tool : "";
}

// The software backend's picture of the editor (width x height) on a program and page, with
// the tool's further arguments (such as --set NAME=VALUE); empty (with a failure added) when
// the tool draws none.
inline std::vector<platform::ColorRef> snapshot(const std::string& tool, int program, int page,
                                                int expectedWidth, int expectedHeight,
                                                const std::string& arguments = "") {
  // A name of this process's own: test programs run side by side (ctest -j, other builds).
  const std::string file =
      ::testing::TempDir() + "kestrane-x11-expected-" + std::to_string(getpid()) + ".png";
  const std::string command = "'" + tool + "' snapshot '" + file + "' --program " +
                              std::to_string(program) + " --page " +
                              (page == 0 ? "compressor" : "expander") + arguments + " > /dev/null";
  std::vector<platform::ColorRef> pixels;
  int width = 0;
  int height = 0;
  if (std::system(command.c_str()) != 0 || !readPng(file, width, height, pixels) ||
      width != expectedWidth || height != expectedHeight) {
    ADD_FAILURE() << "no snapshot from: " << command;
    pixels.clear();
  }
  std::remove(file.c_str());
  return pixels;
}

// The number of pixels that differ; -1 when the sizes do.
inline int differences(const std::vector<platform::ColorRef>& shown,
                       const std::vector<platform::ColorRef>& expected) {
  if (shown.size() != expected.size()) return -1;
  int count = 0;
  for (std::size_t i = 0; i < shown.size(); ++i) count += shown[i] != expected[i] ? 1 : 0;
  return count;
}

}  // namespace kestrane::testing
