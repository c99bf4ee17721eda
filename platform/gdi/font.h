// A font made from a LOGFONT: the best installed face plus, for characters it lacks, the other
// installed faces in fontconfig's order of preference. Internal to the drawing layer.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/logfont.h"

struct GlyphImage {
  int left = 0, top = 0;  // offset of the bitmap from the pen position (top: above the baseline)
  int width = 0, rows = 0;
  int advance = 0;        // whole pixels
  std::vector<uint8_t> coverage;
};

struct GdiFont {
  LOGFONTA lf{};
  double emPixels = 16;  // em size in pixels
  int ascent = 0, descent = 0;
  int underlinePos = 0, underlineThickness = 1;  // below the baseline
  int strikePos = 0, strikeThickness = 1;        // above the baseline

  struct Face {
    std::string file;
    int index = 0;
    void* charset = nullptr;  // FcCharSet*, owned
    FT_Face face = nullptr;   // opened on first use
    bool failed = false;
    bool synthBold = false, synthItalic = false;
  };
  std::vector<Face> faces;
  double widthScale = 1.0;

  ~GdiFont();
  // The glyph for a character, drawn from the first face that has it; null when no face does.
  // The pointer stays valid until the next call (the cache is emptied when it grows large).
  const GlyphImage* Glyph(char32_t c);

private:
  FT_Face Open(Face& f);
  std::unordered_map<char32_t, std::unique_ptr<GlyphImage>> cache;
  size_t cacheBytes = 0;
};

// Builds the font; null when no face is installed at all.
GdiFont* MakeFont(const LOGFONTA& lf);
