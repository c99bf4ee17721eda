// Every registry-backed option of the video filter. Field names are the registry value names.
#pragma once

#include <string>

#include "platform/gdi/logfont.h"
#include "platform/sys/types.h"

struct FontSettings {
  LOGFONTA font;
  LONG Color;
  LONG Transparent;
  LONG XPos;
  LONG YPos;
  LONG DeadZone;
};

struct SubtitleSettings {
  FontSettings font;
  char SubPath[1024];
  char SubLang[128];
  LONG SubDelay;
  LONG SubSpeed;
};

struct OsdSettings {
  FontSettings font;
  LONG OSDVideoTime;
  LONG OSDWorldTime;
};

class FilterSettings {
public:
  // Loads every value (defaults for what the store lacks).
  FilterSettings();
  virtual ~FilterSettings() = default;

  int LoadAll();
  int SaveAll() const;
  // Fills every field with its default without touching the store.
  void SetDefaults();

  // Subtitle clock for a stream time in milliseconds.
  LONG SubtitleTime(LONG ms) const;
  // Source frame duration (100 ns units) the clock is sped up from to 25 frames per second, by
  // the FPSConv mode; 0 for no conversion.
  LONG ClockFactor(LONG frameDuration) const;

  LONG LoadMode = 0;
  LONG SysTrayIcon = 1;
  LONG bOverscan = 0;
  LONG Overscan = 8;
  LONG bFill = 0;
  LONG Fill = 75;
  LONG bFillH = 0;
  LONG FillH = 100;
  LONG bFill2 = 1;
  LONG TV = 0;
  LONG Flip = 0;
  LONG bDouble = 0;
  LONG Double = 352;
  LONG YShift = 0;
  LONG FPSConv = 0;
  LONG Economic = 0;
  LONG Overlay = 0;
  LONG AspectComp = 0;
  char AspectComp2[128] = "4:3";
  float aspectRatio = 0;
  SubtitleSettings subtitle{};
  OsdSettings osd{};

  struct NoLoad {};
  // A record with the defaults, not read from the store (tests and the geometry's callers).
  explicit FilterSettings(NoLoad);
};

// aspectRatio from an AspectComp2 text such as "16:9"; 0 when it does not parse.
float ParseAspectRatio(const char* text);
// Default search path for subtitle files: the per-user folder
// ${XDG_DATA_HOME:-$HOME/.local/share}/orvanta/subtitles, then the movie's own folder ".".
std::string DefaultSubPath();
// Default LOGFONTs of the two text layers.
LOGFONTA DefaultSubtitleFont();
LOGFONTA DefaultOsdFont();
// Rounded a * b / c with 64-bit intermediate; -1 when c is 0.
LONG MulDiv(LONG a, LONG b, LONG c);
