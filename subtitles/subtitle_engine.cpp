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

// The order is that of repeated exchange passes: for every position i, and every later j in
// turn, entries i and j swap when i starts later. One such pass already sorts, so the result is
// that pass. Sorted input (the common case) is recognised in one linear scan; without equal
// starts any sort gives the same order; otherwise the pass is replayed exactly, finding each
// exchange with a tree of minimum starts instead of comparing every pair.
void SubtitleEngine::SortByStart() {
  const int n = items.Count();
  bool sorted = true;
  for (int i = 0; i + 1 < n && sorted; ++i) sorted = items[i]->start <= items[i + 1]->start;
  if (sorted) return;
  std::vector<SubtitleItem*> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[i] = items[i];
  auto byStart = [](const SubtitleItem* a, const SubtitleItem* b) { return a->start < b->start; };

  std::vector<int32_t> starts(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) starts[i] = v[i]->start;
  std::sort(starts.begin(), starts.end());
  if (std::adjacent_find(starts.begin(), starts.end()) == starts.end()) {
    std::sort(v.begin(), v.end(), byStart);
  } else {
    ExchangeOrder(v);
  }
  for (int i = 0; i < n; ++i) items.Place(i, v[i]);
}

// One exchange pass, replayed. At position i the entry in hand is swapped with the first later
// entry that starts earlier, then with the first entry after that one starting earlier still,
// and so on: a chain of ever smaller starts whose entries each move one link along. A tree of
// minimum starts finds each link in logarithmic time. Adversarial input can make the chains
// quadratic in total; past a fixed budget the rest is ordered stably, which differs from the
// pass only in the order of entries with equal starts.
void SubtitleEngine::ExchangeOrder(std::vector<SubtitleItem*>& v) {
  const int n = static_cast<int>(v.size());
  int size = 1;
  while (size < n) size *= 2;
  std::vector<int32_t> tree(2 * static_cast<size_t>(size), INT32_MAX);
  auto set = [&](int pos) {
    int k = pos + size;
    tree[k] = v[pos]->start;
    for (k /= 2; k >= 1; k /= 2) tree[k] = std::min(tree[2 * k], tree[2 * k + 1]);
  };
  for (int i = 0; i < n; ++i) tree[i + size] = v[i]->start;
  for (int k = size - 1; k >= 1; --k) tree[k] = std::min(tree[2 * k], tree[2 * k + 1]);
  // First position >= from whose start is below x, or -1.
  auto firstBelow = [&](int from, int32_t x) -> int {
    if (from >= n) return -1;
    int k = from + size;
    // Climb until a node to the right of the path holds a smaller start.
    if (tree[k] < x) return from;
    while (true) {
      while (k & 1) {
        k /= 2;
        if (k == 0) return -1;
      }
      ++k;  // the right sibling covers the next positions
      if (tree[k] < x) break;
    }
    while (k < size) k = tree[2 * k] < x ? 2 * k : 2 * k + 1;
    return k - size;
  };

  int64_t budget = int64_t{16} * n + (int64_t{1} << 20);
  std::vector<int> chain;
  for (int i = 0; i + 1 < n; ++i) {
    chain.clear();
    int32_t x = v[i]->start;
    for (int p = firstBelow(i + 1, x); p != -1; p = firstBelow(p + 1, x)) {
      chain.push_back(p);
      x = v[p]->start;
    }
    if (chain.empty()) continue;
    budget -= static_cast<int64_t>(chain.size());
    SubtitleItem* hand = v[i];
    v[i] = v[chain.back()];
    for (size_t c = chain.size() - 1; c > 0; --c) v[chain[c]] = v[chain[c - 1]];
    v[chain[0]] = hand;
    set(i);
    for (int p : chain) set(p);
    if (budget < 0) {
      std::stable_sort(v.begin() + i + 1, v.end(), [](const SubtitleItem* a, const SubtitleItem* b) {
        return a->start < b->start;
      });
      return;
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

// Removes in one pass, keeping the order of the rest (removing one at a time would make a file
// with many empty entries quadratic).
void SubtitleEngine::DropInvalid() {
  items.RemoveWhere([](const SubtitleItem* item) {
    return item->start >= item->end || (item->kind == SubtitleItem::kText && item->text.IsEmpty()) ||
           (item->kind == SubtitleItem::kPicture && (!item->picture || item->picture->Empty()));
  });
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
