#include "subtitles/subtitle_engine.h"

#include <algorithm>
#include <cmath>
#include <vector>

void SubtitleItemList::RemoveAt(int index) {
  if (index < 0 || index >= m_count) return;
  DeleteElement(index);
  for (int i = index; i + 1 < m_count; ++i) m_items[i] = m_items[i + 1];
  --m_count;
}

void SubtitleItemList::Swap(int i, int j) { std::swap(m_items[i], m_items[j]); }

SubtitleEngine::SubtitleEngine() { Clear(); }

SubtitleEngine::~SubtitleEngine() { Clear(); }

int SubtitleEngine::Clear() {
  framesPending = 0;
  current = -1;
  status = -1;
  items.Clear();
  fileDelay = 0;
  path.Empty();
  formatName.Empty();
  selectedStream = 0;
  streams.Clear();
  renderer.Clear();
  return 0;
}

void SubtitleEngine::ConvertFramesToTime(float fps) {
  if (!framesPending || !(fps > 0)) return;
  auto convert = [fps](int32_t frames) {
    long double ms = std::trunc(static_cast<long double>(frames) * 1000.0L / fps);
    if (ms > INT32_MAX) return INT32_MAX;
    if (ms < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(ms);
  };
  for (int i = 0; i < items.Count(); ++i) {
    SubtitleItem* item = items[i];
    item->start = convert(item->start);
    item->end = convert(item->end);
  }
  framesPending = 0;
}

// Repeated exchange passes, as the readers have always sorted. Sorted input (the common case)
// is recognised in one linear scan, which gives the same result as a pass without exchanges;
// very long unsorted files use a stable sort so that loading stays quick.
void SubtitleEngine::SortByStart() {
  int n = items.Count();
  bool sorted = true;
  for (int i = 0; i + 1 < n && sorted; ++i) sorted = items[i]->start <= items[i + 1]->start;
  if (sorted) return;
  if (n > 20000) {
    std::vector<SubtitleItem*> v;
    v.reserve(n);
    for (int i = 0; i < n; ++i) v.push_back(items[i]);
    std::stable_sort(v.begin(), v.end(), [](const SubtitleItem* a, const SubtitleItem* b) { return a->start < b->start; });
    for (int i = 0; i < n; ++i) items.Place(i, v[i]);
    return;
  }
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int i = 0; i + 1 < n; ++i)
      for (int j = i + 1; j < n; ++j)
        if (items[i]->start > items[j]->start) {
          items.Swap(i, j);
          swapped = true;
        }
  }
}

void SubtitleEngine::FillOpenEnds() {
  int n = items.Count();
  if (n == 0) return;
  if (items[n - 1]->end == 0) items[n - 1]->end = INT32_MAX;
  for (int i = 0; i + 1 < n; ++i)
    if (items[i]->end == 0 && items[i + 1]->start > 0) items[i]->end = items[i + 1]->start - 1;
}

void SubtitleEngine::DropInvalid() {
  for (int i = 0; i < items.Count();) {
    const SubtitleItem* item = items[i];
    bool invalid = item->start >= item->end || (item->kind == SubtitleItem::kText && item->text.IsEmpty()) ||
                   (item->kind == SubtitleItem::kPicture && (!item->picture || item->picture->Empty()));
    if (invalid) items.RemoveAt(i);
    else ++i;
  }
}

bool SubtitleEngine::Overlaps(int index, int64_t a, int64_t b) const {
  const SubtitleItem* item = items[index];
  return item->start <= b && item->end >= a;
}

int SubtitleEngine::FindItemAt(int32_t t0, int32_t t1) const {
  // Wide arithmetic: a file delay near the limits must not wrap the query around.
  int64_t a = int64_t(t0) - fileDelay, b = int64_t(t1) - fileDelay;
  int count = items.Count();
  if (current != -1) {
    if (current >= 0 && current < count && Overlaps(current, a, b)) return current;
    if (current + 1 >= 0 && current + 1 < count && Overlaps(current + 1, a, b)) return current + 1;
    if (current >= 0 && current < count) {
      const SubtitleItem* here = items[current];
      if (current + 1 < count) {
        const SubtitleItem* next = items[current + 1];
        if (here->start <= b && next->end >= a) return -1;  // in the gap between the two
      } else if (a > here->end) {
        return -1;  // past the last entry
      }
    }
  }
  int lo = 0, hi = count - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    if (a > items[mid]->end) lo = mid + 1;
    else if (b < items[mid]->start) hi = mid - 1;
    else return mid;
  }
  return -1;
}

int32_t SubtitleEngine::Update(int32_t t0, int32_t t1) {
  if (framesPending) return status = -1;
  int i = FindItemAt(t0, t1);
  if (i == -1) return status = -1;
  if (i == current) return status = status >= 0 ? 1 : 0;
  current = i;
  renderer.Clear();
  const SubtitleItem* item = items[i];
  if (item->kind == SubtitleItem::kText) status = renderer.RenderText(item->text.c_str());
  else if (item->kind == SubtitleItem::kPicture && item->picture) status = renderer.RenderPicture(*item->picture);
  else status = -1;
  return status;
}

void SubtitleEngine::Describe(SubtitleInfo& info) const {
  info.fileDelay = fileDelay;
  info.path = path;
  info.formatName = formatName;
  info.selectedStream = selectedStream;
  info.streams = streams;
}
