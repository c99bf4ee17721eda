#include "render/osd_clock.h"

#include <cstdio>
#include <ctime>

void OsdClock::SetModes(int videoMode, int world) {
  videoTimeMode = videoMode;
  worldTime = world;
}

void OsdClock::LocalTime(int& hour, int& minute) const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  hour = local.tm_hour;
  minute = local.tm_min;
}

int OsdClock::Update(LONG t0, LONG) {
  SharedString text;
  if (videoTimeMode != 0) {
    // 64-bit so that the extremes of the 32-bit times cannot overflow on negation.
    int64_t d = t0;
    if (videoTimeMode == 2) {
      d = int64_t(t0) - durationMs;
      if (d > 0) d = 0;
    }
    const char* sign = "";
    if (d < 0) {
      sign = "-";
      d = -d;
    }
    int64_t s = d / 1000, m = s / 60, h = m / 60;
    char part[40];
    std::snprintf(part, sizeof part, "%s%d:%02d:%02d", sign, static_cast<int>(h), static_cast<int>(m % 60),
                  static_cast<int>(s % 60));
    text = part;
  }
  if (worldTime != 0) {
    int hour = 0, minute = 0;
    LocalTime(hour, minute);
    char world[24];
    std::snprintf(world, sizeof world, "%2d:%02d", hour, minute);
    if (!text.IsEmpty()) text += "\n";
    text += world;
  }
  text.TrimLeft();
  text.TrimRight();
  if (text.IsEmpty()) return -1;
  if (text == lastText) return 1;
  renderer.Clear();
  lastText = text;
  return renderer.RenderText(lastText.c_str());
}
