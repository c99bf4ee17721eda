#include "control/filter_settings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/gdi.h"

LONG MulDiv(LONG a, LONG b, LONG c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  // Round half away from zero, as the system call does.
  int64_t q = (p >= 0) == (c > 0) ? (std::llabs(p) + std::llabs(c) / 2) / std::llabs(c)
                                  : -((std::llabs(p) + std::llabs(c) / 2) / std::llabs(c));
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<LONG>(q);
}

float ParseAspectRatio(const char* text) {
  float a = 0, b = 0;
  if (text && std::sscanf(text, "%f:%f", &a, &b) == 2 && a > 0 && b > 0) return a / b;
  return 0;
}

namespace {
LOGFONTA BaseFont(int points, LONG weight) {
  LOGFONTA f{};
  f.lfHeight = -MulDiv(points, GetScreenLogPixelsY(), 72);
  f.lfWeight = weight;
  f.lfCharSet = ANSI_CHARSET;
  f.lfOutPrecision = OUT_TT_PRECIS;
  f.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  f.lfQuality = ANTIALIASED_QUALITY;
  std::strcpy(f.lfFaceName, "Arial");
  return f;
}
}  // namespace

std::string DefaultSubPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home == '/') base = std::string(home) + "/.local/share";
  if (base.empty()) return ".";
  return base + "/orvanta/subtitles;.";
}

LOGFONTA DefaultSubtitleFont() { return BaseFont(20, FW_NORMAL); }
LOGFONTA DefaultOsdFont() { return BaseFont(12, FW_BOLD); }

FilterSettings::FilterSettings(NoLoad) { SetDefaults(); }

void FilterSettings::SetDefaults() {
  LoadMode = 0;
  SysTrayIcon = 1;
  bOverscan = 0;
  Overscan = 8;
  bFill = 0;
  Fill = 75;
  bFillH = 0;
  FillH = 100;
  bFill2 = 1;
  TV = 0;
  Flip = 0;
  bDouble = 0;
  Double = 352;
  YShift = 0;
  FPSConv = 0;
  Economic = 0;
  Overlay = 0;
  AspectComp = 0;
  std::snprintf(AspectComp2, sizeof AspectComp2, "%s", "4:3");
  aspectRatio = ParseAspectRatio(AspectComp2);
  subtitle = SubtitleSettings{};
  subtitle.font = FontSettings{DefaultSubtitleFont(), 0xFFFFFF, 1, 50, 8, 0};
  std::snprintf(subtitle.SubPath, sizeof subtitle.SubPath, "%s", DefaultSubPath().c_str());
  std::snprintf(subtitle.SubLang, sizeof subtitle.SubLang, "%s", "English");
  subtitle.SubDelay = 0;
  subtitle.SubSpeed = 1000;
  osd = OsdSettings{};
  osd.font = FontSettings{DefaultOsdFont(), 0xFFFFFF, 1, 94, 94, 0};
  osd.OSDVideoTime = 0;
  osd.OSDWorldTime = 0;
}

LONG FilterSettings::SubtitleTime(LONG ms) const {
  return MulDiv(ms, subtitle.SubSpeed, 1000) - subtitle.SubDelay;
}

LONG FilterSettings::ClockFactor(LONG frameDuration) const {
  switch (FPSConv) {
    case 1: return frameDuration >= 408163 && frameDuration <= 425531 ? frameDuration : 0;
    case 2: return 417083;  // 23.976 frames per second
    case 3: return 416666;  // 24 frames per second
    default: return 0;      // off, or TV standard selection only
  }
}
