#include "Painter.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <vector>

namespace kestrane::artgen {

namespace {

FT_Library library = nullptr;
cairo_font_face_t* faces[2] = {nullptr, nullptr};

cairo_font_face_t* face(Weight weight) { return faces[weight == Weight::Bold ? 1 : 0]; }

void selectFont(cairo_t* cr, double size, Weight weight) {
  cairo_set_font_face(cr, face(weight));
  cairo_set_font_size(cr, size);
  // Fixed options: grey anti-aliasing, no hinting, unhinted metrics. The look and the output
  // bytes then depend on nothing but the font files.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// The UTF-8 sequence starting at text[i], and its length.
std::string glyphAt(const std::string& text, std::size_t i, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return text.substr(i, length);
}

}  // namespace

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

bool loadFonts(const std::string& fontDir) {
  if (library == nullptr && FT_Init_FreeType(&library) != 0) return false;
  const char* files[2] = {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf"};
  for (int i = 0; i < 2; ++i) {
    if (faces[i] != nullptr) continue;
    FT_Face ft = nullptr;
    const std::string path = fontDir + "/" + files[i];
    if (FT_New_Face(library, path.c_str(), 0, &ft) != 0) return false;
    faces[i] = cairo_ft_font_face_create_for_ft_face(ft, 0);
  }
  return true;
}

Image::Image(int width, int height)
    : width_(width), height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_)) {
  fill(Rgb{0, 0, 0});
}

Image::~Image() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

uint32_t Image::pixel(int x, int y) {
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  uint32_t value;  // native-endian 0x00RRGGBB
  std::memcpy(&value, data + y * stride + x * 4, sizeof value);
  return value & 0xFFFFFF;
}

void Image::setPixel(int x, int y, uint32_t rgb) {
  cairo_surface_flush(surface_);
  unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const uint32_t value = rgb & 0xFFFFFF;
  std::memcpy(data + y * stride + x * 4, &value, sizeof value);
  cairo_surface_mark_dirty(surface_);
}

void Image::paste(Image& source, int sx, int sy, int w, int h, int x, int y) {
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) setPixel(x + col, y + row, source.pixel(sx + col, sy + row));
  }
}

void Image::fill(Rgb color) { fillRect(0, 0, width_, height_, color); }

void Image::fillRect(double x, double y, double w, double h, Rgb color, double alpha) {
  cairo_set_source_rgba(cr_, color.r, color.g, color.b, alpha);
  cairo_rectangle(cr_, x, y, w, h);
  cairo_fill(cr_);
}

void Image::fillVertical(double x, double y, double w, double h, Rgb top, Rgb bottom) {
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(gradient, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(gradient, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr_, gradient);
  cairo_rectangle(cr_, x, y, w, h);
  cairo_fill(cr_);
  cairo_pattern_destroy(gradient);
}

void Image::roundedRect(double x, double y, double w, double h, double radius) {
  const double pi = 3.14159265358979323846;
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, x + w - radius, y + radius, radius, -pi / 2, 0);
  cairo_arc(cr_, x + w - radius, y + h - radius, radius, 0, pi / 2);
  cairo_arc(cr_, x + radius, y + h - radius, radius, pi / 2, pi);
  cairo_arc(cr_, x + radius, y + radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr_);
}

void Image::line(double x0, double y0, double x1, double y1, Rgb color, double width,
                 double alpha) {
  cairo_set_source_rgba(cr_, color.r, color.g, color.b, alpha);
  cairo_set_line_width(cr_, width);
  cairo_move_to(cr_, x0, y0);
  cairo_line_to(cr_, x1, y1);
  cairo_stroke(cr_);
}

double Image::textWidth(const std::string& utf8, double size, Weight weight, double tracking) {
  selectFont(cr_, size, weight);
  double width = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 0;
    const std::string glyph = glyphAt(utf8, i, length);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, glyph.c_str(), &extents);
    width += extents.x_advance;
    i += length;
    ++count;
  }
  return width + tracking * static_cast<double>(count > 0 ? count - 1 : 0);
}

void Image::text(const std::string& utf8, double x, double baseline, double size, Weight weight,
                 Rgb color, Align align, double tracking, double alpha) {
  const double width = textWidth(utf8, size, weight, tracking);
  double pen = align == Align::Left ? x : align == Align::Center ? x - width / 2 : x - width;
  selectFont(cr_, size, weight);
  cairo_set_source_rgba(cr_, color.r, color.g, color.b, alpha);
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 0;
    const std::string glyph = glyphAt(utf8, i, length);
    cairo_move_to(cr_, pen, baseline);
    cairo_show_text(cr_, glyph.c_str());
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, glyph.c_str(), &extents);
    pen += extents.x_advance + tracking;
    i += length;
  }
}

bool Image::writeBmp(const std::string& path) {
  // 24-bit, bottom-up rows padded to four bytes: the format the resource compiler binds and the
  // system's bitmap loader reads.
  const int stride = (width_ * 3 + 3) & ~3;
  const uint32_t imageSize = static_cast<uint32_t>(stride * height_);
  const uint32_t fileSize = 14 + 40 + imageSize;
  std::vector<unsigned char> out;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
  };
  out.push_back('B');
  out.push_back('M');
  put(fileSize, 4);
  put(0, 4);
  put(14 + 40, 4);
  put(40, 4);
  put(static_cast<uint32_t>(width_), 4);
  put(static_cast<uint32_t>(height_), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);  // BI_RGB
  put(imageSize, 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      const uint32_t rgb = pixel(x, y);
      out.push_back(static_cast<unsigned char>(rgb & 0xFF));
      out.push_back(static_cast<unsigned char>((rgb >> 8) & 0xFF));
      out.push_back(static_cast<unsigned char>((rgb >> 16) & 0xFF));
    }
    for (int pad = width_ * 3; pad < stride; ++pad) out.push_back(0);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written;
}

bool Image::writePng(const std::string& path) {
  cairo_surface_flush(surface_);
  return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace kestrane::artgen
