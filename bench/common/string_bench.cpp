// SharedString against std::string on the same work: copying, appending, finding.
// bench/common/ratios.py runs this and prints SharedString's time as a multiple of std::string's.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/shared_string.h"

namespace {

const char* Sample(size_t length) {
  static std::string text;
  text.clear();
  for (size_t i = 0; text.size() < length; ++i) text += "Subtitle line " + std::to_string(i) + ". ";
  text.resize(length);
  return text.c_str();
}

// Copy: one text copied into 64 holders, then all released.
template <typename S>
void Copy(benchmark::State& state) {
  const S source(Sample(static_cast<size_t>(state.range(0))));
  std::vector<S> holders(64);
  for (auto _ : state) {
    for (auto& h : holders) h = source;
    benchmark::DoNotOptimize(holders.data());
    for (auto& h : holders) h = S();
  }
  state.SetItemsProcessed(state.iterations() * 64);
}

// Append: a line built from pieces of 12 characters up to the given length.
template <typename S>
void Append(benchmark::State& state) {
  const size_t length = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    S s;
    for (size_t n = 0; n < length; n += 12) s += "0123456789, ";
    benchmark::DoNotOptimize(s.c_str());
  }
}

// Find: every occurrence of a character and of a word in a text of the given length.
int FindAll(const SharedString& s, const char* word) {
  int hits = 0;
  for (int at = s.Find(word); at >= 0; at = s.Find(word, at + 1)) ++hits;
  for (int at = s.Find('.'); at >= 0; at = s.Find('.', at + 1)) ++hits;
  return hits;
}
int FindAll(const std::string& s, const char* word) {
  int hits = 0;
  for (size_t at = s.find(word); at != std::string::npos; at = s.find(word, at + 1)) ++hits;
  for (size_t at = s.find('.'); at != std::string::npos; at = s.find('.', at + 1)) ++hits;
  return hits;
}

template <typename S>
void Find(benchmark::State& state) {
  const S text(Sample(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(FindAll(text, "line 1"));
}

}  // namespace

BENCHMARK_TEMPLATE(Copy, SharedString)->Arg(24)->Arg(200)->Arg(4000);
BENCHMARK_TEMPLATE(Copy, std::string)->Arg(24)->Arg(200)->Arg(4000);
BENCHMARK_TEMPLATE(Append, SharedString)->Arg(48)->Arg(480)->Arg(4800);
BENCHMARK_TEMPLATE(Append, std::string)->Arg(48)->Arg(480)->Arg(4800);
BENCHMARK_TEMPLATE(Find, SharedString)->Arg(200)->Arg(4000);
BENCHMARK_TEMPLATE(Find, std::string)->Arg(200)->Arg(4000);

BENCHMARK_MAIN();
