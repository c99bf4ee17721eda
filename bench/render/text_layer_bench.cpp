// Per-frame cost of a text layer: preparing a two-line subtitle and reading its rows on a
// 720x576 layer, and the rows of a layer with no text (one flag test per row).
#include <benchmark/benchmark.h>

#include "control/filter_settings.h"
#include "render/text_blend.h"
#include "render/text_renderer.h"

namespace {

const char kTwoLines[] = "They say the night is young,\nbut the morning knows better.";

void Styled(TextRenderer& r) {
  r.SetStyle(DefaultSubtitleFont(), 50, 8, 0xFFFFFF, 1);
}

// Drawing the text (once per subtitle entry).
void RenderTwoLines(benchmark::State& state) {
  TextRenderer r(720, 576);
  Styled(r);
  for (auto _ : state) {
    r.Clear();
    benchmark::DoNotOptimize(r.RenderText(kTwoLines));
  }
}

// Prepare in a layout (after a change) plus Line for every row, as a frame reads them.
void PrepareAndLines(benchmark::State& state) {
  int layout = static_cast<int>(state.range(0));
  TextRenderer r(720, 576);
  Styled(r);
  r.RenderText(kTwoLines);
  int other = layout == TextRenderer::kRgb ? TextRenderer::kYuy2 : TextRenderer::kRgb;
  for (auto _ : state) {
    state.PauseTiming();
    r.Prepare(other);  // so the next Prepare does the work
    state.ResumeTiming();
    r.Prepare(layout);
    for (int y = 0; y < 576; ++y) benchmark::DoNotOptimize(r.Line(y));
  }
}

// A frame of an empty layer: the cached prepare is a no-op and each row is one flag test.
void NoTextFrame(benchmark::State& state) {
  TextRenderer r(720, 576);
  Styled(r);
  for (auto _ : state) {
    r.Prepare(TextRenderer::kYuy2);
    for (int y = 0; y < 576; ++y) benchmark::DoNotOptimize(r.Line(y));
  }
}

// Blending the prepared two-line subtitle into a frame (rows with text only), per version:
// argument 0 scalar, 1 SSE2; layout 1 RGB32, 2 YUY2.
void BlendTwoLines(benchmark::State& state) {
  const BlendKernels* k = BlendKernelsFor(static_cast<int>(state.range(0)));
  if (!k) {
    state.SkipWithError("not supported here");
    return;
  }
  int layout = static_cast<int>(state.range(1));
  TextRenderer r(720, 576);
  Styled(r);
  r.RenderText(kTwoLines);
  r.Prepare(layout);
  std::vector<uint8_t> yuy2(720 * 576 * 2, 0x80);
  std::vector<uint32_t> rgb(720 * 576, 0x808080);
  for (auto _ : state) {
    for (int y = 0; y < 576; ++y)
      if (const uint32_t* line = r.Line(y)) {
        if (layout == TextRenderer::kYuy2) k->yuy2(yuy2.data() + y * 1440, line, 720);
        else k->rgb32(rgb.data() + y * 720, line, 720);
      }
    benchmark::ClobberMemory();
  }
}

BENCHMARK(RenderTwoLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(PrepareAndLines)->Arg(1)->Arg(2)->ArgName("layout")->Unit(benchmark::kMicrosecond);
BENCHMARK(NoTextFrame)->Unit(benchmark::kNanosecond);
BENCHMARK(BlendTwoLines)->ArgsProduct({{0, 1}, {1, 2}})->ArgNames({"level", "layout"})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
