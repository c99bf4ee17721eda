// One subtitle entry: a text or a picture, visible from start to end inclusive (milliseconds of
// subtitle time, or frame numbers while the engine's times are pending).
#pragma once

#include <cstdint>

#include "common/shared_string.h"
#include "subtitles/subtitle_bitmap.h"

class SubtitleItem {
public:
  enum Kind { kText = 1, kPicture = 2 };

  SubtitleItem(int32_t start, int32_t end, const SharedString& text)
      : start(start), end(end), kind(kText), text(text) {}
  // Takes ownership of the picture.
  SubtitleItem(int32_t start, int32_t end, SubtitleBitmap* picture)
      : start(start), end(end), kind(kPicture), picture(picture) {}
  SubtitleItem(const SubtitleItem&) = delete;
  SubtitleItem& operator=(const SubtitleItem&) = delete;
  virtual ~SubtitleItem() { delete picture; }

  int32_t start;
  int32_t end;
  int32_t kind;
  SharedString text;
  SubtitleBitmap* picture = nullptr;
};
