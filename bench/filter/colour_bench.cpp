// Whole-frame row conversions of the colour converter, each kernel version, side by side with
// libswscale doing the same conversion on the same frames (one thread, fastest flags).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <random>
#include <vector>

#include "filter/colour_converter.h"
#include "filter/colour_rows.h"
#include "filter/picture_geometry.h"

namespace {

struct Frame {
  int w, h;
  std::vector<uint8_t> yuy2;
  std::vector<uint32_t> rgb;
  std::vector<uint32_t> outRgb;
  std::vector<uint16_t> out565;
  Frame(int width, int height) : w(width), h(height) {
    std::mt19937 rng(7);
    yuy2.resize(static_cast<size_t>(w) * h * 2);
    for (auto& b : yuy2) b = static_cast<uint8_t>(rng());
    rgb.resize(static_cast<size_t>(w) * h);
    for (auto& p : rgb) p = rng() & 0xFFFFFF;
    outRgb.resize(rgb.size());
    out565.resize(rgb.size());
  }
};

const int kSizes[2][2] = {{720, 576}, {1920, 1080}};

void PerPixel(benchmark::State& state, const Frame& f) {
  double pixels = static_cast<double>(f.w) * f.h;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pixels));
  state.counters["ns_per_pixel"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Kernel level -1 is the converter as the filter uses it (the best level, tails included).
void Yuy2ToRgb32(benchmark::State& state) {
  Frame f(kSizes[state.range(1)][0], kSizes[state.range(1)][1]);
  int level = static_cast<int>(state.range(0));
  const ColourRowKernels* k = level >= 0 ? ColourKernelsFor(level) : nullptr;
  if (level >= 0 && !k) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  ColourConverter cc;
  for (auto _ : state) {
    for (int y = 0; y < f.h; ++y) {
      uint32_t* dst = f.outRgb.data() + static_cast<size_t>(y) * f.w;
      const uint8_t* src = f.yuy2.data() + static_cast<size_t>(y) * f.w * 2;
      if (k) k->yuy2ToRgb32Main(dst, src, f.w);
      else cc.Yuy2RowToRgb32(dst, src, f.w);
    }
    benchmark::ClobberMemory();
  }
  PerPixel(state, f);
}

void Rgb32To565(benchmark::State& state) {
  Frame f(kSizes[state.range(1)][0], kSizes[state.range(1)][1]);
  int level = static_cast<int>(state.range(0));
  const ColourRowKernels* k = level >= 0 ? ColourKernelsFor(level) : nullptr;
  if (level >= 0 && !k) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  ColourConverter cc;
  for (auto _ : state) {
    for (int y = 0; y < f.h; ++y) {
      uint16_t* dst = f.out565.data() + static_cast<size_t>(y) * f.w;
      const uint32_t* src = f.rgb.data() + static_cast<size_t>(y) * f.w;
      if (k) k->rgb32To565Main(dst, src, f.w);
      else cc.Rgb32RowTo565(dst, src, f.w);
    }
    benchmark::ClobberMemory();
  }
  PerPixel(state, f);
}

void Swscale(benchmark::State& state, AVPixelFormat from, AVPixelFormat to) {
  Frame f(kSizes[state.range(0)][0], kSizes[state.range(0)][1]);
  SwsContext* sws = sws_getContext(f.w, f.h, from, f.w, f.h, to, SWS_POINT, nullptr, nullptr, nullptr);
  if (!sws) {
    state.SkipWithError("swscale context");
    return;
  }
  const uint8_t* src[4] = {from == AV_PIX_FMT_YUYV422 ? f.yuy2.data()
                                                      : reinterpret_cast<const uint8_t*>(f.rgb.data())};
  int srcStride[4] = {f.w * (from == AV_PIX_FMT_YUYV422 ? 2 : 4)};
  uint8_t* dst[4] = {to == AV_PIX_FMT_BGR0 ? reinterpret_cast<uint8_t*>(f.outRgb.data())
                                           : reinterpret_cast<uint8_t*>(f.out565.data())};
  int dstStride[4] = {f.w * (to == AV_PIX_FMT_BGR0 ? 4 : 2)};
  for (auto _ : state) {
    sws_scale(sws, src, srcStride, 0, f.h, dst, dstStride);
    benchmark::ClobberMemory();
  }
  sws_freeContext(sws);
  PerPixel(state, f);
}

void SwsYuyvToBgr0(benchmark::State& state) { Swscale(state, AV_PIX_FMT_YUYV422, AV_PIX_FMT_BGR0); }
void SwsBgr0To565(benchmark::State& state) { Swscale(state, AV_PIX_FMT_BGR0, AV_PIX_FMT_RGB565LE); }

// Doubling a CIF picture (352 x 288 to 704 x 576), once per frame when doubling is on.
void DoubleCif(benchmark::State& state) {
  Frame f(352, 288);
  std::vector<uint8_t> out(static_cast<size_t>(704) * 576 * 2);
  for (auto _ : state) {
    DoubleYuy2(out.data(), f.yuy2.data(), 352, 288);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_output_pixel"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 704 * 576, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(DoubleCif)->Unit(benchmark::kMicrosecond);

// Arguments: kernel level (-1 converter, 0 scalar, 1 SSE2, 2 AVX2), frame size (0 SD, 1 HD).
BENCHMARK(Yuy2ToRgb32)->ArgsProduct({{-1, 0, 1, 2}, {0, 1}})->ArgNames({"level", "hd"});
BENCHMARK(SwsYuyvToBgr0)->Arg(0)->Arg(1)->ArgName("hd");
BENCHMARK(Rgb32To565)->ArgsProduct({{-1, 0, 1, 2}, {0, 1}})->ArgNames({"level", "hd"});
BENCHMARK(SwsBgr0To565)->Arg(0)->Arg(1)->ArgName("hd");

}  // namespace

BENCHMARK_MAIN();
