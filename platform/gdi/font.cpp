#include "platform/gdi/font.h"

#include <fontconfig/fontconfig.h>
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {
// FreeType's library object and fontconfig's configuration are shared; opening and closing
// faces is serialised, drawing with an open face is per font.
std::mutex& LibraryLock() {
  static std::mutex m;
  return m;
}

// Leak checking hooks of sanitizer builds (absent otherwise).
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    // fontconfig loses a few bytes while parsing its configuration, once per process; the leak
    // checker of sanitizer builds is not to count them against us.
    if (__lsan_disable) __lsan_disable();
    FcInit();
    if (__lsan_enable) __lsan_enable();
    return l;
  }();
  return lib;
}

constexpr size_t kMaxFaces = 48;                   // fallback candidates kept per font
constexpr size_t kMaxCacheBytes = size_t(32) << 20;  // glyph pixels kept per font
}  // namespace

GdiFont::~GdiFont() {
  std::lock_guard<std::mutex> lock(LibraryLock());
  for (Face& f : faces) {
    if (f.face) FT_Done_Face(f.face);
    if (f.charset) FcCharSetDestroy(static_cast<FcCharSet*>(f.charset));
  }
}

FT_Face GdiFont::Open(Face& f) {
  if (f.face || f.failed) return f.face;
  {
    std::lock_guard<std::mutex> lock(LibraryLock());
    if (!Library() || FT_New_Face(Library(), f.file.c_str(), f.index, &f.face) != 0) f.face = nullptr;
  }
  if (!f.face || !FT_IS_SCALABLE(f.face) ||
      FT_Set_Char_Size(f.face, 0, static_cast<FT_F26Dot6>(std::lround(emPixels * 64)), 72, 72) != 0) {
    if (f.face) {
      std::lock_guard<std::mutex> lock(LibraryLock());
      FT_Done_Face(f.face);
      f.face = nullptr;
    }
    f.failed = true;
    return nullptr;
  }
  FT_Matrix m{static_cast<FT_Fixed>(std::lround(widthScale * 65536)), 0, 0, 0x10000};
  if (f.synthItalic) m.xy = static_cast<FT_Fixed>(0.2 * 65536);  // about 11 degrees of slant
  FT_Set_Transform(f.face, &m, nullptr);
  return f.face;
}

const GlyphImage* GdiFont::Glyph(char32_t c) {
  auto it = cache.find(c);
  if (it != cache.end()) return it->second.get();
  std::unique_ptr<GlyphImage> g;
  for (Face& f : faces) {
    if (f.charset && !FcCharSetHasChar(static_cast<FcCharSet*>(f.charset), c)) continue;
    FT_Face face = Open(f);
    if (!face) continue;
    FT_UInt index = FT_Get_Char_Index(face, c);
    if (index == 0) continue;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    FT_Pos extra = 0;
    if (f.synthBold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      extra = static_cast<FT_Pos>(emPixels * 64 / 24);
      FT_Outline_Embolden(&slot->outline, extra);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
    g = std::make_unique<GlyphImage>();
    g->left = slot->bitmap_left;
    g->top = slot->bitmap_top;
    g->width = static_cast<int>(slot->bitmap.width);
    g->rows = static_cast<int>(slot->bitmap.rows);
    g->advance = static_cast<int>((slot->advance.x + extra + 32) >> 6);
    g->coverage.resize(static_cast<size_t>(g->width) * g->rows);
    // Grey bitmaps flow downwards with at least one byte per pixel; anything else stays blank.
    if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && slot->bitmap.pitch >= g->width && slot->bitmap.buffer)
      for (int y = 0; y < g->rows; ++y)
        std::memcpy(&g->coverage[static_cast<size_t>(y) * g->width],
                    slot->bitmap.buffer + static_cast<ptrdiff_t>(y) * slot->bitmap.pitch, g->width);
    break;
  }
  const GlyphImage* result = g.get();
  size_t bytes = sizeof(GlyphImage) + (g ? g->coverage.size() : 0);
  if (cacheBytes + bytes > kMaxCacheBytes) {
    cache.clear();
    cacheBytes = 0;
  }
  cacheBytes += bytes;
  cache.emplace(c, std::move(g));
  return result;
}

GdiFont* MakeFont(const LOGFONTA& lf) {
  {
    std::lock_guard<std::mutex> lock(LibraryLock());
    if (!Library()) return nullptr;
  }
  auto font = std::make_unique<GdiFont>();
  font->lf = lf;
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, lf.lfFaceName, LF_FACESIZE);  // the record's name need not be terminated
  LONG weight = lf.lfWeight <= 0 ? 400 : std::min<LONG>(lf.lfWeight, 1000);

  FcPattern* pat = FcPatternCreate();
  if (face[0]) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  FcPatternAddDouble(pat, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight));
  FcPatternAddInteger(pat, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcFontSet* set = nullptr;
  {
    std::lock_guard<std::mutex> lock(LibraryLock());
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    set = FcFontSort(nullptr, pat, FcTrue, nullptr, &result);
  }
  FcPatternDestroy(pat);
  if (!set) return nullptr;
  for (int i = 0; i < set->nfont && font->faces.size() < kMaxFaces; ++i) {
    FcPattern* p = set->fonts[i];
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) continue;
    FcPatternGetInteger(p, FC_INDEX, 0, &index);
    FcBool scalable = FcFalse;
    if (FcPatternGetBool(p, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) continue;
    GdiFont::Face f;
    f.file = reinterpret_cast<const char*>(file);
    f.index = index;
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(p, FC_CHARSET, 0, &cs) == FcResultMatch) f.charset = FcCharSetCopy(cs);
    double w = 0;
    int slant = FC_SLANT_ROMAN;
    FcPatternGetDouble(p, FC_WEIGHT, 0, &w);
    FcPatternGetInteger(p, FC_SLANT, 0, &slant);
    f.synthBold = weight >= 600 && FcWeightToOpenTypeDouble(w) < 600;
    f.synthItalic = lf.lfItalic && slant == FC_SLANT_ROMAN;
    font->faces.push_back(std::move(f));
  }
  FcFontSetDestroy(set);
  if (font->faces.empty()) return nullptr;

  // Metrics come from the primary face, as the cell of every line does.
  GdiFont::Face probe = font->faces[0];
  FT_Face ft = nullptr;
  {
    std::lock_guard<std::mutex> lock(LibraryLock());
    if (FT_New_Face(Library(), probe.file.c_str(), probe.index, &ft) != 0) ft = nullptr;
  }
  double upem = 2048, winAscent = 1854, winDescent = 434, avgWidth = 0;
  double ulPos = -217, ulThick = 150, stPos = 530, stThick = 102;
  if (ft) {
    upem = ft->units_per_EM ? ft->units_per_EM : 2048;
    winAscent = ft->ascender;
    winDescent = -ft->descender;
    ulPos = ft->underline_position;
    ulThick = ft->underline_thickness;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2))) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
      }
      avgWidth = os2->xAvgCharWidth;
      if (os2->yStrikeoutSize > 0) {
        stPos = os2->yStrikeoutPosition;
        stThick = os2->yStrikeoutSize;
      }
    }
    std::lock_guard<std::mutex> lock(LibraryLock());
    FT_Done_Face(ft);
  }
  // Negative heights give the character (em) height, positive ones the cell height.
  double em;
  if (lf.lfHeight < 0) em = -static_cast<double>(lf.lfHeight);
  else if (lf.lfHeight > 0) em = lf.lfHeight * upem / std::max(1.0, winAscent + winDescent);
  else em = 16;
  em = std::min(em, 2048.0);  // a corrupt record must not ask for gigantic glyphs
  font->emPixels = em;
  double scale = em / upem;
  font->ascent = static_cast<int>(std::lround(winAscent * scale));
  font->descent = static_cast<int>(std::lround(winDescent * scale));
  font->underlinePos = static_cast<int>(std::lround(-ulPos * scale));
  font->underlineThickness = std::max(1, static_cast<int>(std::lround(ulThick * scale)));
  font->strikePos = static_cast<int>(std::lround(stPos * scale));
  font->strikeThickness = std::max(1, static_cast<int>(std::lround(stThick * scale)));
  if (lf.lfWidth > 0 && avgWidth > 0)
    font->widthScale = std::clamp(lf.lfWidth / (avgWidth * scale), 0.1, 10.0);
  return font.release();
}

