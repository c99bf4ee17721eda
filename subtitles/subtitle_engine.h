// The loaded subtitle file: its entries on one timeline, the lookup of the entry showing in a
// frame's interval, and the hand-over of that entry to the subtitle text layer.
#pragma once

#include <cstdint>
#include <vector>

#include "common/ptr_array.h"
#include "common/shared_string.h"
#include "common/string_list.h"
#include "render/text_renderer.h"
#include "subtitles/subtitle_item.h"

// The entries, owned; also removes and exchanges entries in place.
class SubtitleItemList : public OwningPtrArray<SubtitleItem> {
public:
  void RemoveAt(int index);
  void Swap(int i, int j);
  // Stores p at index without deleting what was there (for reordering).
  void Place(int index, SubtitleItem* p) { m_items[index] = p; }
  // Deletes every entry for which drop(entry) is true, keeping the others in order.
  template <typename Drop>
  void RemoveWhere(Drop drop) {
    int kept = 0;
    for (int i = 0; i < m_count; ++i) {
      auto* item = static_cast<SubtitleItem*>(m_items[i]);
      if (drop(item)) delete item;
      else m_items[kept++] = item;
    }
    for (int i = kept; i < m_count; ++i) m_items[i] = nullptr;
    m_count = kept;
  }
};

struct SubtitleInfo {
  int32_t fileDelay = 0;
  SharedString path;
  SharedString formatName;
  int32_t selectedStream = 0;
  StringList streams;
};

class SubtitleEngine {
public:
  SubtitleEngine();
  SubtitleEngine(const SubtitleEngine&) = delete;
  SubtitleEngine& operator=(const SubtitleEngine&) = delete;
  virtual ~SubtitleEngine();

  int Clear();
  // Loads a subtitle file with the readers its extension calls for. 0 when one accepted it.
  int Load(const char* path);
  void ConvertFramesToTime(float fps);
  // -1 nothing to show, 0 an entry has just become visible, 1 unchanged since the last call.
  int32_t Update(int32_t t0, int32_t t1);
  void Describe(SubtitleInfo& info) const;

  // Steps the readers run after reading a file.
  void SortByStart();
  void FillOpenEnds();
  void DropInvalid();
  int FindItemAt(int32_t t0, int32_t t1) const;

  // Format readers: 0 entries stored, 1 file read without entries, -1 not this format.
  int ReadMicroDvd(const char* path);         // frame_formats.cpp
  int ReadAqTitle(const char* path);
  int ReadMicroDvdIni(const char* path);
  int ReadSubRip(const char* path);           // line_formats.cpp
  int ReadSubViewer1(const char* path);
  int ReadSubViewer2(const char* path);
  int ReadTmPlayer(const char* path);
  int ReadDvdSubtitle(const char* path);
  int ReadSubStationAlpha(const char* path);  // script_formats.cpp
  int ReadJacoSub(const char* path);
  int ReadRealText(const char* path);

  TextRenderer renderer{10, 10};
  int32_t fileDelay = 0;
  SharedString path;
  SharedString formatName;
  int32_t selectedStream = 0;
  StringList streams;
  SubtitleItemList items;
  int32_t current = -1;
  int32_t status = -1;
  int32_t framesPending = 0;
  SharedString preferredLanguage;

private:
  void ExchangeOrder(std::vector<SubtitleItem*>& v);
  bool Overlaps(int index, int64_t a, int64_t b) const;
};
