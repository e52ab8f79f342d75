// The headless backend's own promises to the native tests: the input script and the clock, the
// decoding of embedded bitmap files, the text font bound into the program, PNG output, and the
// stand-ins for edit fields and popup menus.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/headless/Headless.h"
#include "platform/headless/Objects.h"
#include "platform/raster/Raster.h"

namespace kestrane::platform {
namespace {

class HeadlessInput : public ::testing::Test {
 protected:
  HeadlessInput() { headless::resetInput(); }
  ~HeadlessInput() override { headless::resetInput(); }
};

TEST_F(HeadlessInput, EachPollTakesTheNextScriptedStateAndTheEndReleasesTheButtons) {
  headless::scriptInput({{LeftButtonBit | ShiftBit, {10, 20}}, {LeftButtonBit, {11, 22}}});
  EXPECT_EQ(pollButtons(), LeftButtonBit | ShiftBit);
  EXPECT_EQ(cursorPosition().x, 10);
  EXPECT_TRUE(keyDown(Key::Shift));
  EXPECT_TRUE(keyDown(Key::Shift));  // reading the keys takes no step
  EXPECT_EQ(pollButtons(), LeftButtonBit);
  EXPECT_EQ(cursorPosition().y, 22);
  EXPECT_FALSE(keyDown(Key::Shift));
  EXPECT_EQ(headless::scriptRemaining(), 0u);
  // Past the end: the mouse buttons come up, modifiers and position stay.
  headless::setInput({RightButtonBit | ControlBit, {5, 6}});
  EXPECT_EQ(pollButtons(), ControlBit);
  EXPECT_EQ(cursorPosition().x, 5);
  EXPECT_EQ(headless::pollCount(), 3u);
}

TEST_F(HeadlessInput, TheClockMovesOnlyBySleepsAndByTheTest) {
  EXPECT_EQ(tickCount(), headless::kClockStart);
  sleep(4);
  sleep(6);
  headless::advanceClock(100);
  EXPECT_EQ(tickCount(), headless::kClockStart + 110);
  EXPECT_EQ(headless::sleptMilliseconds(), 10u);
  EXPECT_EQ(headless::sleepCount(), 2u);
}

// A BMP file: 14-byte file header, 40-byte info header, rows of pixels.
std::vector<unsigned char> bmp(int width, int height, int bits, const std::vector<unsigned char>& rows) {
  std::vector<unsigned char> out = {'B', 'M'};
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  put(static_cast<std::uint32_t>(54 + rows.size()), 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<std::uint32_t>(width), 4);
  put(static_cast<std::uint32_t>(height), 4);
  put(1, 2);
  put(static_cast<std::uint32_t>(bits), 2);
  put(0, 4);
  put(static_cast<std::uint32_t>(rows.size()), 4);
  for (int i = 0; i < 4; ++i) put(0, 4);  // resolution and palette sizes
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

TEST(HeadlessResources, DecodeBottomUpTopDownAnd32BitFilesAndRefuseBrokenOnes) {
  // 2 x 2, 24 bits, rows padded to 8 bytes, stored bottom-up: blue green red order.
  static const auto bottomUp = bmp(2, 2, 24, {0, 0, 255, 0, 255, 0, 0, 0,    // bottom: red, green
                                              255, 0, 0, 255, 255, 255, 0, 0});  // top: blue, white
  static const auto topDown = bmp(1, -2, 32, {1, 2, 3, 0, 4, 5, 6, 0});
  static const auto truncated = bmp(4, 4, 24, {1, 2, 3});
  static const auto paletted = bmp(1, 1, 8, {0, 0, 0, 0});
  static const auto hugeTopDown = bmp(1, INT32_MIN, 24, {1, 2, 3, 0});
  static const headless::BitmapResource resources[] = {
      {7001, bottomUp.data(), bottomUp.size()},
      {7002, topDown.data(), topDown.size()},
      {7003, truncated.data(), truncated.size()},
      {7004, paletted.data(), paletted.size()},
      {7005, hugeTopDown.data(), hugeTopDown.size()},
  };
  headless::registerBitmapResources(resources, 5);

  auto pixelsOf = [](int id, int w, int h) {
    std::vector<ColorRef> px(static_cast<std::size_t>(w * h));
    ImageRef image = loadImageResource(id);
    EXPECT_NE(image, nullptr);
    if (image == nullptr) return px;
    SurfaceRef surface = createMemorySurface(nullptr);
    ImageRef previous = selectImage(surface, image);
    readPixels(surface, 0, 0, w, h, px.data());
    selectImage(surface, previous);
    deleteMemorySurface(surface);
    deleteImage(image);
    return px;
  };
  EXPECT_EQ(pixelsOf(7001, 2, 2), (std::vector<ColorRef>{0xFF0000, 0xFFFFFF, 0x0000FF, 0x00FF00}));
  EXPECT_EQ(pixelsOf(7002, 1, 2), (std::vector<ColorRef>{0x010203, 0x040506}));
  EXPECT_EQ(pixelsOf(0x10000 + 7002, 1, 2)[0], 0x010203u);
  EXPECT_EQ(loadImageResource(7003), nullptr);
  EXPECT_EQ(loadImageResource(7004), nullptr);
  EXPECT_EQ(loadImageResource(7005), nullptr);

  // The size is known at once; the pixels are decoded when the image is first selected, and
  // a second surface sees the same ones.
  ImageRef image = loadImageResource(7001);
  ASSERT_NE(image, nullptr);
  int w = 0, h = 0;
  EXPECT_TRUE(imageSize(image, w, h));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);
  EXPECT_TRUE(image->pixels.empty());
  for (int pass = 0; pass < 2; ++pass) {
    SurfaceRef surface = createMemorySurface(nullptr);
    ImageRef previous = selectImage(surface, image);
    EXPECT_NE(previous, nullptr);
    ColorRef topRight = 0;
    readPixels(surface, 1, 0, 1, 1, &topRight);
    EXPECT_EQ(topRight, 0xFFFFFFu);
    selectImage(surface, previous);
    deleteMemorySurface(surface);
  }
  deleteImage(image);
}

// The licence a face states in its name table (record 13), as ASCII; empty when it states none.
std::string faceLicence(FT_Face face) {
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != TT_NAME_ID_LICENSE) continue;
    // Windows records are UTF-16 big-endian, Macintosh ones single bytes.
    const bool wide = name.platform_id == TT_PLATFORM_MICROSOFT;
    std::string text;
    for (FT_UInt at = wide ? 1 : 0; at < name.string_len; at += wide ? 2 : 1) {
      text += static_cast<char>(name.string[at]);
    }
    return text;
  }
  return {};
}

// The rasteriser's text needs no font on the system: its four faces are inside the program, in
// the order the rasteriser picks them by weight and slant. They are the 2.x files, whose licence
// (the SIL Open Font License) allows binding them into a program that is sold: a build folder
// still pointing at the 1.x files would ship a font the product may not carry.
TEST(HeadlessText, TheFontsFourFacesAreBoundIntoTheProgramInStyleOrder) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  for (int key = 0; key < 4; ++key) {
    const raster::EmbeddedFace& embedded = raster::kEmbeddedFaces[key];
    SCOPED_TRACE(embedded.fileName);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Memory_Face(library, embedded.data, static_cast<FT_Long>(embedded.size), 0,
                                 &face),
              0);
    EXPECT_STREQ(face->family_name, "Liberation Sans");
    EXPECT_NE(faceLicence(face).find("SIL Open Font License, Version 1.1"), std::string::npos)
        << faceLicence(face);
    EXPECT_EQ((face->style_flags & FT_STYLE_FLAG_BOLD) != 0, (key & 1) != 0);
    EXPECT_EQ((face->style_flags & FT_STYLE_FLAG_ITALIC) != 0, (key & 2) != 0);
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);

  FontRequest regular;
  FontRequest bold = regular;
  bold.weight = 700;
  EXPECT_GT(raster::measureText(regular, "Threshold"), 0);
  EXPECT_GT(raster::measureText(bold, "Threshold"), raster::measureText(regular, "Threshold"));
}

TEST(HeadlessPng, WritesAReadablePngFile) {
  const std::string path = ::testing::TempDir() + "kestrane-headless.png";
  ASSERT_TRUE(headless::writePng(path, 3, 2, {0xFF, 0xFF00, 0xFF0000, 0, 0xFFFFFF, 0x808080}));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  unsigned char signature[8] = {};
  EXPECT_EQ(std::fread(signature, 1, 8, file), 8u);
  std::fclose(file);
  std::remove(path.c_str());
  const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_EQ(std::vector<unsigned char>(signature, signature + 8),
            std::vector<unsigned char>(png, png + 8));
  EXPECT_FALSE(headless::writePng(path, 4, 4, {0}));  // too few pixels
}

class DoneCounter : public EditFieldHandler {
 public:
  void editFieldDone() override { ++done; }
  int done = 0;
};

TEST(HeadlessWindows, EditFieldsAndMenusStandInForTheSystemControls) {
  WindowRef host = headless::createHostWindow(Bounds{0, 0, 100, 100});
  WindowRef frame = createChildWindow(host, 50, 50);
  DoneCounter handler;
  WindowRef field = createEditField(frame, Bounds{2, 2, 30, 14}, "12.5", EditAlignment::Center,
                                    nullptr, &handler);
  ASSERT_NE(field, nullptr);
  char text[8];
  EXPECT_EQ(editFieldText(field, text, sizeof text), 4);
  EXPECT_STREQ(text, "12.5");
  headless::typeIntoEditField(field, "-3.25 dB");
  EXPECT_EQ(editFieldText(field, text, 6), 5);  // cut to fit
  EXPECT_STREQ(text, "-3.25");
  headless::pressReturnInEditField(field);
  EXPECT_EQ(handler.done, 1);
  destroyEditField(field);

  MenuRef menu = createPopupMenu();
  appendMenuItem(menu, 0, "6 dB", MenuItemPlain);
  appendMenuItem(menu, 1, nullptr, MenuItemSeparator);
  appendMenuItem(menu, 2, "Title", MenuItemDisabled);
  appendMenuItem(menu, 3, "24 dB", MenuItemChecked);
  headless::choosePopupMenuItem(3);
  EXPECT_EQ(trackPopupMenu(menu, frame, Position{10, 10}, false), 3);
  EXPECT_EQ(trackPopupMenu(menu, frame, Position{10, 10}, false), -1);  // chosen once
  headless::choosePopupMenuItem(2);
  EXPECT_EQ(trackPopupMenu(menu, frame, Position{10, 10}, false), -1);  // disabled
  EXPECT_EQ(headless::lastPopupMenu().size(), 4u);
  destroyMenu(menu);
  destroyChildWindow(frame);
  headless::destroyHostWindow(host);
}

}  // namespace
}  // namespace kestrane::platform
