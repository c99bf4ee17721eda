// One subtitle reader over hostile file contents: the bytes become a file with the reader's
// extension, the reader runs on it, and the engine it leaves must be consistent. Built once per
// reader (FUZZ_READER names the operation, FUZZ_EXTENSION the file's extension).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "subtitles/subtitle_engine.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Touches every pixel, so that a picture whose size and block disagree is caught.
void CheckPicture(const SubtitleBitmap& b) {
  if (b.Empty()) return;
  Check(b.width > 0 && b.height > 0);
  unsigned sum = 0;
  for (int64_t i = 0; i < int64_t(b.width) * b.height; ++i) sum += b.pixels[i];
  Check(sum <= 255u * uint64_t(b.width) * b.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/subtitle_fuzz_" + std::to_string(getpid()) + FUZZ_EXTENSION;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

#ifdef FUZZ_PICTURE
  SubtitleBitmap bitmap;
  const int loaded = bitmap.LoadPicture(path.c_str());
  Check(loaded == 0 || loaded == -1);
  if (loaded != 0) Check(bitmap.Empty() && bitmap.pixels == nullptr);
  CheckPicture(bitmap);
#else
  SubtitleEngine engine;
  engine.preferredLanguage = "French";
  const int result = engine.FUZZ_READER(path.c_str());
  Check(result == 0 || result == 1 || result == -1);
  if (result == 0) Check(engine.items.Count() > 0);
  if (result == 1) Check(engine.items.Count() == 0);
  if (result >= 0) {
    for (int i = 0; i + 1 < engine.items.Count(); ++i)
      Check(engine.items[i]->start <= engine.items[i + 1]->start);
  }
  for (int i = 0; i < engine.items.Count(); ++i) {
    const SubtitleItem* item = engine.items[i];
    Check(item != nullptr);
    Check(item->kind == SubtitleItem::kText || item->kind == SubtitleItem::kPicture);
    if (item->kind == SubtitleItem::kText) Check(item->text.Length() >= 0 && !item->picture);
    else CheckPicture(*item->picture);
  }
  Check(engine.selectedStream >= 0 && engine.selectedStream <= engine.streams.Count());
  engine.ConvertFramesToTime(23.976f);
  for (int t = 0; t < 4; ++t) engine.FindItemAt(t * 1000, t * 1000 + 40);
#endif
  std::remove(path.c_str());
  return 0;
}
