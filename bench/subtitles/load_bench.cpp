// Loading large subtitle files: our readers (Load with its probing, as the filter calls it) beside
// ffmpeg's demuxers reading every packet of the same file, and a plain line read of the file as
// the floor. 10 000 entries each; bench/subtitles/ratios.py prints the times side by side.
#include <benchmark/benchmark.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "subtitles/subtitle_engine.h"

namespace {

constexpr int kEntries = 10000;

std::string Stamp(int ms, char fraction) {
  char b[32];
  if (fraction == ',')
    std::snprintf(b, sizeof b, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  else
    std::snprintf(b, sizeof b, "%d:%02d:%02d.%02d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms / 10 % 100);
  return b;
}

// Starts every 2 s; the unsorted variant swaps neighbours now and then and repeats some starts,
// as files joined from several parts do.
std::vector<int> Starts(bool unsorted) {
  std::vector<int> s(kEntries);
  for (int i = 0; i < kEntries; ++i) s[i] = 1000 + i * 2000;
  if (unsorted) {
    std::mt19937 rng(3);
    for (int i = 0; i + 1 < kEntries; i += 7) {
      if (rng() % 2) std::swap(s[i], s[i + 1]);
      else s[i + 1] = s[i];
    }
  }
  return s;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = "/tmp/subtitle_bench_" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

const std::string& SubRipFile(bool unsorted) {
  static std::string paths[2];
  std::string& path = paths[unsorted];
  if (path.empty()) {
    std::string s;
    std::vector<int> starts = Starts(unsorted);
    for (int i = 0; i < kEntries; ++i)
      s += std::to_string(i + 1) + "\r\n" + Stamp(starts[i], ',') + " --> " + Stamp(starts[i] + 1500, ',') +
           "\r\n<i>Line number " + std::to_string(i) + " of the film,</i>\r\nand its second line.\r\n\r\n";
    path = WriteFile(unsorted ? "unsorted.srt" : "sorted.srt", s);
  }
  return path;
}

const std::string& SsaFile() {
  static std::string path;
  if (path.empty()) {
    std::string s =
        "[Script Info]\r\nScriptType: v4.00+\r\n\r\n[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize\r\n"
        "Style: Default,Arial,16\r\n\r\n[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
        "MarginV, Effect, Text\r\n";
    std::vector<int> starts = Starts(false);
    for (int i = 0; i < kEntries; ++i)
      s += "Dialogue: 0," + Stamp(starts[i], '.') + "," + Stamp(starts[i] + 1500, '.') +
           ",Default,,0,0,0,,{\\i1}Line number " + std::to_string(i) + " of the film,{\\i0}\\Nand its second line.\r\n";
    path = WriteFile("events.ssa", s);
  }
  return path;
}

void LoadOurs(benchmark::State& state, const std::string& path) {
  SubtitleEngine engine;
  for (auto _ : state) {
    if (engine.Load(path.c_str()) != 0 || engine.items.Count() != kEntries) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(engine.items.Count());
  }
}

void LoadFfmpeg(benchmark::State& state, const std::string& path) {
  av_log_set_level(AV_LOG_QUIET);
  for (auto _ : state) {
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) != 0) {
      state.SkipWithError("ffmpeg cannot open the file");
      break;
    }
    AVPacket* packet = av_packet_alloc();
    int packets = 0;
    while (av_read_frame(ctx, packet) >= 0) {
      ++packets;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&ctx);
    if (packets != kEntries) state.SkipWithError("ffmpeg read another number of events");
  }
}

void ReadLines(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.size();
    benchmark::DoNotOptimize(n);
  }
}

void Ours_SubRip(benchmark::State& s) { LoadOurs(s, SubRipFile(false)); }
void Ours_SubRipUnsorted(benchmark::State& s) { LoadOurs(s, SubRipFile(true)); }
void Ours_Ssa(benchmark::State& s) { LoadOurs(s, SsaFile()); }
void Ffmpeg_SubRip(benchmark::State& s) { LoadFfmpeg(s, SubRipFile(false)); }
void Ffmpeg_SubRipUnsorted(benchmark::State& s) { LoadFfmpeg(s, SubRipFile(true)); }
void Ffmpeg_Ssa(benchmark::State& s) { LoadFfmpeg(s, SsaFile()); }
void Lines_SubRip(benchmark::State& s) { ReadLines(s, SubRipFile(false)); }
void Lines_SubRipUnsorted(benchmark::State& s) { ReadLines(s, SubRipFile(true)); }
void Lines_Ssa(benchmark::State& s) { ReadLines(s, SsaFile()); }

}  // namespace

BENCHMARK(Ours_SubRip)->Unit(benchmark::kMillisecond);
BENCHMARK(Ffmpeg_SubRip)->Unit(benchmark::kMillisecond);
BENCHMARK(Lines_SubRip)->Unit(benchmark::kMillisecond);
BENCHMARK(Ours_SubRipUnsorted)->Unit(benchmark::kMillisecond);
BENCHMARK(Ffmpeg_SubRipUnsorted)->Unit(benchmark::kMillisecond);
BENCHMARK(Lines_SubRipUnsorted)->Unit(benchmark::kMillisecond);
BENCHMARK(Ours_Ssa)->Unit(benchmark::kMillisecond);
BENCHMARK(Ffmpeg_Ssa)->Unit(benchmark::kMillisecond);
BENCHMARK(Lines_Ssa)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const std::string* p : {&SubRipFile(false), &SubRipFile(true), &SsaFile()}) std::remove(p->c_str());
  return 0;
}
