// Text of the software rasteriser: FreeType renders the metric-compatible sans-serif substitute
// (Liberation Sans 2.x, bound into the program) at the requested character height, laid out as the system's single-line,
// vertically centred text: the cell is ascent + descent high, advances are whole pixels, the
// glyphs are blended in the text colour and the whole is clipped to the given box.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <utility>

#include "platform/raster/Raster.h"

namespace kestrane::platform::raster {

namespace {

struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};

class FontLibrary {
 public:
  FontLibrary() { ready_ = FT_Init_FreeType(&library_) == 0; }
  ~FontLibrary() {
    faces_.clear();
    if (ready_) FT_Done_FreeType(library_);
  }
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // The face for a weight and slant, or null when FreeType cannot open it. The faces are read
  // in place from the bytes bound into the program (kEmbeddedFaces), which live as long as it.
  FT_Face face(bool bold, bool italic) {
    if (!ready_) return nullptr;
    const int key = (bold ? 1 : 0) | (italic ? 2 : 0);
    auto found = faces_.find(key);
    if (found != faces_.end()) return found->second.get();
    const EmbeddedFace& embedded = kEmbeddedFaces[key];
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library_, embedded.data, static_cast<FT_Long>(embedded.size), 0,
                           &face) != 0) {
      face = nullptr;
    }
    faces_.emplace(key, std::unique_ptr<FT_FaceRec_, FaceDeleter>(face));
    return face;
  }

 private:
  FT_Library library_ = nullptr;
  bool ready_ = false;
  std::map<int, std::unique_ptr<FT_FaceRec_, FaceDeleter>> faces_;
};

FontLibrary& fonts() {
  static FontLibrary library;
  return library;
}

ColorRef blend(ColorRef under, ColorRef over, unsigned coverage) {
  auto channel = [&](int shift) {
    const unsigned a = (under >> shift) & 0xFF;
    const unsigned b = (over >> shift) & 0xFF;
    return ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

// The character height in pixels a font request asks for (0: the default, 12).
int pixelSize(const FontRequest& request) {
  return request.height < 0 ? -request.height : (request.height == 0 ? 12 : request.height);
}

// The face for a font request set to its character height, or null without font files.
FT_Face sizedFace(const FontRequest& request) {
  FT_Face face = fonts().face(request.weight >= 600, request.italic);
  if (face == nullptr) return nullptr;
  return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize(request))) == 0 ? face
                                                                                     : nullptr;
}

// Advances in whole pixels (hinted), no kerning.
int advanceWidth(FT_Face face, const char* text) {
  int width = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(*p));
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) == 0) {
      width += static_cast<int>((face->glyph->advance.x + 32) >> 6);
    }
  }
  return width;
}

}  // namespace

int measureText(const FontRequest& font, const char* text) {
  FT_Face face = text != nullptr ? sizedFace(font) : nullptr;
  return face != nullptr ? advanceWidth(face, text) : 0;
}

void renderText(OpaqueSurface& surface, const char* text, Bounds bounds, unsigned format) {
  OpaqueImage* image = surface.target();
  if (image == nullptr) return;
  FontRequest request;
  if (surface.font != nullptr) request = surface.font->request;
  FT_Face face = sizedFace(request);
  if (face == nullptr) return;
  const int size = pixelSize(request);

  // Cell metrics from the font's Windows ascent and descent, as the system computes them.
  int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  int descent = static_cast<int>(-face->size->metrics.descender >> 6);
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
    const double scale = static_cast<double>(size) / face->units_per_EM;
    ascent = static_cast<int>(std::lround(os2->usWinAscent * scale));
    descent = static_cast<int>(std::lround(os2->usWinDescent * scale));
  }
  const int cellHeight = ascent + descent;

  const int textWidth = advanceWidth(face, text);

  int x;
  if (format & TextCenter) {
    x = (bounds.left + bounds.right - textWidth) / 2;
  } else if (format & TextRight) {
    x = bounds.right - textWidth;
  } else {
    x = bounds.left;
  }
  int y = bounds.top;
  if (format & TextVCenter) y = bounds.top + (bounds.bottom - bounds.top) / 2 - cellHeight / 2;

  auto inClip = [&](int px, int py) {
    return px >= bounds.left && px < bounds.right && py >= bounds.top && py < bounds.bottom &&
           image->contains(px, py);
  };

  if (surface.backgroundMode == BackgroundMode::Opaque) {
    for (int py = y; py < y + cellHeight; ++py) {
      for (int px = x; px < x + textWidth; ++px) {
        if (inClip(px, py)) image->at(px, py) = surface.backgroundColor;
      }
    }
  }

  const int baseline = y + ascent;
  int penX = x;
  for (const char* p = text; *p != '\0'; ++p) {
    const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(*p));
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) continue;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int left = penX + face->glyph->bitmap_left;
    const int top = baseline - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned col = 0; col < bitmap.width; ++col) {
        const unsigned coverage = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col];
        const int px = left + static_cast<int>(col);
        const int py = top + static_cast<int>(row);
        if (coverage == 0 || !inClip(px, py)) continue;
        ColorRef& pixel = image->at(px, py);
        pixel = image->monochrome ? (coverage >= 128 ? (surface.textColor == 0xFFFFFF ? 0xFFFFFF : 0) : pixel)
                                  : blend(pixel, surface.textColor, coverage);
      }
    }
    penX += static_cast<int>((face->glyph->advance.x + 32) >> 6);
  }
  if (request.underline) {
    const int underlineY = baseline + 1;
    for (int px = x; px < penX; ++px) {
      if (inClip(px, underlineY)) image->at(px, underlineY) = surface.textColor;
    }
  }
  // Everything drawn lies in the box, clipped to the image.
  image->touch(std::max(bounds.left, 0), std::max(bounds.top, 0),
               std::min(bounds.right, image->width), std::min(bounds.bottom, image->height));
}

}  // namespace kestrane::platform::raster
