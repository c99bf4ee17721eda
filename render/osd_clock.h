// The time display: the video time of the frame (elapsed or remaining) and the wall-clock time,
// drawn into its own text layer only when the text changes.
#pragma once

#include "common/shared_string.h"
#include "platform/sys/types.h"
#include "render/text_renderer.h"

class OsdClock {
public:
  OsdClock(int width, int height) : renderer(width, height) {}
  virtual ~OsdClock() = default;

  void SetModes(int videoTimeMode, int worldTime);
  void SetDuration(LONG ms) { durationMs = ms; }
  // -1 nothing to show, 1 unchanged since the last call, else the drawing's result (0 or -1).
  int Update(LONG t0, LONG t1);

  TextRenderer renderer;
  SharedString lastText;
  int videoTimeMode = 0;  // 0 off, 1 elapsed, 2 remaining
  int worldTime = 0;
  LONG durationMs = 0;

protected:
  // Local wall-clock hour and minute (tests replace it).
  virtual void LocalTime(int& hour, int& minute) const;
};
