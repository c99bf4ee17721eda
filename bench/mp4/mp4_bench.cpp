// Writing and reading 100 000 samples through the sample tables, beside a plain write of the same
// bytes and a plain read of them back: the difference is what the tables cost.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mp4/mp4file.h"

namespace {

constexpr uint32_t kSamples = 100000;
const std::string kPath = "/tmp/mp4_bench_" + std::to_string(::getpid()) + ".mp4";
const std::string kPlain = kPath + ".raw";

uint32_t SizeOf(uint32_t i) { return 200 + (i * 7919) % 1800; }

std::vector<uint8_t>& Data() {
  static std::vector<uint8_t> d(4096, 0x5A);
  return d;
}

void WriteFile(const std::string& path) {
  mp4file* h = mp4file_create(path.c_str(), 1000, 0);
  int track = mp4file_add_track(h, 0x20, 30000, "und");
  for (uint32_t i = 0; i < kSamples; ++i)
    mp4file_add_raw_sample(h, track, Data().data(), SizeOf(i), i % 30 == 0, 1001, (i % 3) * 1001);
  mp4file_close(h);
}

void BM_WriteSamples(benchmark::State& state) {
  for (auto _ : state) WriteFile(kPath);
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_WriteSamples)->Unit(benchmark::kMillisecond);

void BM_WritePlain(benchmark::State& state) {
  for (auto _ : state) {
    std::FILE* f = std::fopen(kPlain.c_str(), "wb");
    for (uint32_t i = 0; i < kSamples; ++i) std::fwrite(Data().data(), 1, SizeOf(i), f);
    std::fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_WritePlain)->Unit(benchmark::kMillisecond);

void BM_ReadSamples(benchmark::State& state) {
  WriteFile(kPath);
  std::vector<uint8_t> buffer(4096);
  for (auto _ : state) {
    mp4file* h = mp4file_open(kPath.c_str());
    uint64_t sum = 0;
    for (uint32_t i = 0; i < kSamples; ++i) {
      uint64_t time;
      mp4file_get_sample_time(h, 1, i, &time, nullptr);
      sum += time + mp4file_read_sample(h, 1, i, buffer.data(), 4096) + mp4file_is_sync_sample(h, 1, i + 1);
    }
    benchmark::DoNotOptimize(sum);
    mp4file_close(h);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_ReadSamples)->Unit(benchmark::kMillisecond);

void BM_ReadPlain(benchmark::State& state) {
  std::FILE* w = std::fopen(kPlain.c_str(), "wb");
  for (uint32_t i = 0; i < kSamples; ++i) std::fwrite(Data().data(), 1, SizeOf(i), w);
  std::fclose(w);
  std::vector<uint8_t> buffer(4096);
  for (auto _ : state) {
    std::FILE* f = std::fopen(kPlain.c_str(), "rb");
    uint64_t offset = 0, sum = 0;
    for (uint32_t i = 0; i < kSamples; ++i) {
      std::fseek(f, static_cast<long>(offset), SEEK_SET);
      sum += std::fread(buffer.data(), 1, SizeOf(i), f);
      offset += SizeOf(i);
    }
    benchmark::DoNotOptimize(sum);
    std::fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_ReadPlain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(kPath.c_str());
  std::remove(kPlain.c_str());
  return 0;
}
